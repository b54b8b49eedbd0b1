# Set before any target exists: the version header the resource scripts
# read, the icon, and the flags that let two builds of the same commit in
# different folders give the same bytes.
set(MORVEX_GENERATED ${PROJECT_BINARY_DIR}/generated)
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE MORVEX_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${MORVEX_GENERATED}/morvex_version.h @ONLY)
include_directories(${MORVEX_GENERATED})
include(${CMAKE_CURRENT_LIST_DIR}/source_date.cmake)

add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)

if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)

  # The icons are drawn by a script; redrawn only when the script changes, so
  # that configuring again does not relink the programs.
  set(icon_script ${PROJECT_SOURCE_DIR}/resources/make_icon.py)
  set(icons ${MORVEX_GENERATED}/morvex.ico ${MORVEX_GENERATED}/morvex-apply.ico)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${icon_script})
  foreach(icon ${icons})
    if(NOT EXISTS ${icon} OR ${icon_script} IS_NEWER_THAN ${icon})
      find_package(Python3 REQUIRED COMPONENTS Interpreter)
      execute_process(COMMAND ${Python3_EXECUTABLE} ${icon_script} ${icons} COMMAND_ERROR_IS_FATAL ANY)
      break()
    endif()
  endforeach()
endif()
