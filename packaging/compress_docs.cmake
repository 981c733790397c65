# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged files before it builds
# the package: Debian wants manual pages and the changelog compressed with
# gzip at its highest level and without a timestamp. `cmake --install` keeps
# them plain.
find_program(KESTRIN_GZIP gzip REQUIRED)
file(GLOB_RECURSE KESTRIN_PLAIN_DOCS
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man*/*.[1-9]"
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/kestrin-music-editor/changelog")
if(NOT KESTRIN_PLAIN_DOCS)
  message(FATAL_ERROR "no manual pages staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(document IN LISTS KESTRIN_PLAIN_DOCS)
  execute_process(COMMAND ${KESTRIN_GZIP} -9nf "${document}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip -9n ${document} failed")
  endif()
endforeach()
