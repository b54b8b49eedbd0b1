# Install rules and release packages. In the windows build `cpack` makes the
# zip and the installer, in the native build the Debian package.
set(CPACK_PACKAGE_VENDOR "the Morvex developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "byte patch maker")
set(CPACK_STRIP_FILES TRUE)
# `make dist` builds only the shipped programs, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/stage_times.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/zip_in_order.cmake ${PROJECT_SOURCE_DIR}/cmake/msi.cmake)
set(CPACK_MORVEX_WXS ${PROJECT_SOURCE_DIR}/resources/morvex.wxs)
set(CPACK_MORVEX_KEPT_KEYS_DLL ${PROJECT_BINARY_DIR}/installer/morvex_installer.dll)
set(CPACK_MORVEX_SOURCE_DATE_EPOCH ${MORVEX_SOURCE_DATE_EPOCH})
# Folders made by the install get 0755 whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Text files for Windows readers get CRLF line ends; @PROJECT_VERSION@ is
# filled in, and lines starting with // are notes for the developers.
function(morvex_crlf_copy source destination)
  file(READ ${source} text)
  string(CONFIGURE "${text}" text @ONLY)
  string(REGEX REPLACE "\n//[^\n]*" "" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${destination} "${text}")
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

if(WIN32)
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/morvex.rc DIRECTORY ui
    APPEND PROPERTY OBJECT_DEPENDS ${MORVEX_GENERATED}/morvex.ico)
  # The zip's files: its programs, then its texts from their sources.
  set(zip_programs morvex morvex-apply morvexc)
  set(zip_texts README.txt docs/README-windows.txt.in LICENSE.txt LICENSE)
  install(TARGETS ${zip_programs} RUNTIME DESTINATION .)
  while(zip_texts)
    list(POP_FRONT zip_texts name source)
    morvex_crlf_copy(${PROJECT_SOURCE_DIR}/${source} ${MORVEX_GENERATED}/${name})
    install(FILES ${MORVEX_GENERATED}/${name} DESTINATION .)
  endwhile()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME morvex-${PROJECT_VERSION}-win32)
else()
  include(GNUInstallDirs)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/morvexc.1)
  # The man page's header gets the release date and the version.
  set(build_time_epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} ${MORVEX_SOURCE_DATE_EPOCH})
  string(TIMESTAMP man_date "%Y-%m-%d" UTC)
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${build_time_epoch}")
  file(READ ${PROJECT_SOURCE_DIR}/docs/morvexc.1 man)
  string(REGEX REPLACE "^\\.TH MORVEXC 1 \"\" \"Morvex\"" ".TH MORVEXC 1 \"${man_date}\" \"Morvex ${PROJECT_VERSION}\"" man "${man}")
  file(WRITE ${MORVEX_GENERATED}/morvexc.1 "${man}")
  execute_process(COMMAND gzip -9n INPUT_FILE ${MORVEX_GENERATED}/morvexc.1
    OUTPUT_FILE ${MORVEX_GENERATED}/morvexc.1.gz COMMAND_ERROR_IS_FATAL ANY)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the Morvex developers <morvex@example.org>")
  # A native Debian package needs a changelog, dated with the release date.
  file(WRITE ${MORVEX_GENERATED}/changelog "morvexc (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}
")
  execute_process(COMMAND gzip -9n INPUT_FILE ${MORVEX_GENERATED}/changelog
    OUTPUT_FILE ${MORVEX_GENERATED}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  install(TARGETS morvexc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The C runtime's start files carry a .comment section; nothing needs it.
  install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
    \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/morvexc COMMAND_ERROR_IS_FATAL ANY)")
  install(FILES ${MORVEX_GENERATED}/morvexc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/morvexc.bash DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
    RENAME morvexc)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/morvexc RENAME copyright)
  install(FILES ${MORVEX_GENERATED}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/morvexc)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME morvexc)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "morvexc compares an original file with a modified copy of the
same length and writes a small patch file listing every byte that changed.
It also shows, checks and applies such patches.")
endif()

include(CPack)

if(WIN32)
  add_subdirectory(tests/package)
endif()
