# Run by CPack after it made the zip: CPack adds the files in the order the
# file system lists them, which differs between machines, so the zip is
# written again from the same staged files in sorted order.
if(CPACK_GENERATOR STREQUAL "ZIP")
  file(GLOB entries RELATIVE ${CPACK_TEMPORARY_INSTALL_DIRECTORY} ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
  list(SORT entries)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${CPACK_PACKAGE_FILES} --format=zip -- ${entries}
    WORKING_DIRECTORY ${CPACK_TEMPORARY_INSTALL_DIRECTORY} COMMAND_ERROR_IS_FATAL ANY)
endif()
