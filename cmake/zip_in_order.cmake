# Run by CPack after it made the zip. CPack adds the files in the order the
# file system lists them and records the builder's user and group ids, so the
# zip is written again from the same staged files: in sorted order, without
# those extra fields (-X), with times in UTC.
if(CPACK_GENERATOR STREQUAL "ZIP")
  file(GLOB entries RELATIVE ${CPACK_TEMPORARY_INSTALL_DIRECTORY} ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
  list(SORT entries)
  file(REMOVE ${CPACK_PACKAGE_FILES})
  set(ENV{TZ} UTC)
  execute_process(COMMAND zip -q -X -D ${CPACK_PACKAGE_FILES} ${entries}
    WORKING_DIRECTORY ${CPACK_TEMPORARY_INSTALL_DIRECTORY} COMMAND_ERROR_IS_FATAL ANY)
endif()
