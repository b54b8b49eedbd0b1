# Run by CPack on its staging folder before archiving: every entry gets the
# time of the last commit, so the archive does not depend on when it was built.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  file(GLOB_RECURSE entries LIST_DIRECTORIES true ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
  execute_process(COMMAND touch -h -d @$ENV{SOURCE_DATE_EPOCH} ${CPACK_TEMPORARY_INSTALL_DIRECTORY} ${entries}
    COMMAND_ERROR_IS_FATAL ANY)
endif()
