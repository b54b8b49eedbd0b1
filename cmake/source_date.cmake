# The release date every package is stamped with, so that it never depends
# on when or where it was built: the caller's SOURCE_DATE_EPOCH when set,
# else the time of the last commit of a git checkout, else the date kept in
# a source archive (cmake/source-date-epoch, written by `make dist`), else
# (configuring only) the date of the top CMakeLists.txt.
# Included, it sets MORVEX_SOURCE_DATE_EPOCH; run with `cmake -P`, it prints it.
get_filename_component(morvex_top ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(MORVEX_SOURCE_DATE_EPOCH "")
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(MORVEX_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
elseif(EXISTS ${morvex_top}/.git)
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${morvex_top}
    OUTPUT_VARIABLE MORVEX_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
elseif(EXISTS ${morvex_top}/cmake/source-date-epoch)
  file(STRINGS ${morvex_top}/cmake/source-date-epoch MORVEX_SOURCE_DATE_EPOCH LIMIT_COUNT 1)
endif()
if(NOT MORVEX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$" AND CMAKE_SCRIPT_MODE_FILE)
  message(FATAL_ERROR "No release date: set SOURCE_DATE_EPOCH, build from a git checkout "
    "or from a source archive made by `make dist` (got '${MORVEX_SOURCE_DATE_EPOCH}')")
endif()
if(NOT MORVEX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  # Any other copy of the source: the date of its own top file.
  file(TIMESTAMP ${morvex_top}/CMakeLists.txt MORVEX_SOURCE_DATE_EPOCH "%s" UTC)
endif()
if(CMAKE_SCRIPT_MODE_FILE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${MORVEX_SOURCE_DATE_EPOCH})
endif()
