# Run by CPack after the zip (cmake/zip_in_order.cmake): the Windows installer
# morvex-VERSION.msi beside it, from the same staged files, whose times (kept
# in its cabinet) are the release date already. The product code comes from
# the version, the package code from the version, the files and the custom
# actions' DLL, and the package's own times are the release date: the same
# files give the same bytes.
if(NOT CPACK_GENERATOR STREQUAL "ZIP")
  return()
endif()
# Every version keeps it: a newer version finds and replaces an older one by it.
set(upgrade_code 7A3F0C52-9E1B-4D6A-B8C4-2F5E7D913A60)
file(GLOB staged ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
list(SORT staged)
set(sums "")
foreach(file ${staged} ${CPACK_MORVEX_KEPT_KEYS_DLL})
  file(SHA256 ${file} sum)
  string(APPEND sums " ${sum}")
endforeach()
set(version ${CPACK_PACKAGE_VERSION})
string(UUID product_code NAMESPACE ${upgrade_code} NAME "product ${version}" TYPE SHA1 UPPER)
string(UUID package_code NAMESPACE ${upgrade_code} NAME "package ${version}${sums}" TYPE SHA1 UPPER)
set(msi ${CPACK_PACKAGE_DIRECTORY}/morvex-${version}.msi)
# wixl takes its sources' paths only as relative to its working directory.
file(RELATIVE_PATH kept_keys_dll ${CPACK_TEMPORARY_INSTALL_DIRECTORY} ${CPACK_MORVEX_KEPT_KEYS_DLL})
execute_process(COMMAND wixl --arch x86 -D Version=${version} -D UpgradeCode=${upgrade_code}
    -D ProductCode=${product_code} -D KeptKeysDll=${kept_keys_dll} -o ${msi} ${CPACK_MORVEX_WXS}
  WORKING_DIRECTORY ${CPACK_TEMPORARY_INSTALL_DIRECTORY} RESULT_VARIABLE failed ERROR_VARIABLE said)
if(failed)
  message(FATAL_ERROR "wixl could not make ${msi}: ${said}")
endif()
# Debian's Python, which has the libmsi bindings.
execute_process(COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/finish_msi.py ${msi} {${package_code}}
    ${CPACK_MORVEX_SOURCE_DATE_EPOCH} COMMAND_ERROR_IS_FATAL ANY)
