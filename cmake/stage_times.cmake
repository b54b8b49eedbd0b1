# Run by CPack on its staging folder before archiving: every entry gets the
# release date, so the archive does not depend on when it was built.
file(GLOB_RECURSE entries LIST_DIRECTORIES true ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
execute_process(COMMAND touch -h -d @${CPACK_MORVEX_SOURCE_DATE_EPOCH} ${CPACK_TEMPORARY_INSTALL_DIRECTORY} ${entries}
  COMMAND_ERROR_IS_FATAL ANY)
