# The Debian package: `cpack -G DEB` in the build folder (or
# `cmake --build --preset default --target package`) writes
# kestrin-music-editor_<version>_<arch>.deb holding every file the install
# rules name, and kestrin-music-editor-dbgsym_<version>_<arch>.ddeb beside it.
# Its Depends line comes from dpkg-shlibdeps.
#
# The programs are built with debug information (the default preset) and
# split as Debian does: the .deb holds them stripped, the -dbgsym package
# their debug information under /usr/lib/debug/.build-id/, found by the
# build-id the crash reports give.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrin-music-editor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrin Music Editor maintainers")
set(CPACK_PACKAGE_CONTACT "Kestrin Music Editor maintainers <maintainers@users.noreply.c-seed-12e5abbb.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the music of the Kestrin ROM image")
# The long description; the summary above becomes its first line.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Opens the iNES ROM file of the NES game Kestrin and edits its music in"
  "place: songs, part lists, part headers and the two square-wave channels."
  "The companion kestrin-rom checks, lists, compares and patches ROM images"
  "from the command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Crash reports name their frames with addr2line (binutils); "Send report"
# hands them to the mail program with xdg-email (xdg-utils).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "binutils, xdg-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The -dbgsym package takes the debug information and strips the programs
# itself (objcopy --only-keep-debug, --strip-unneeded, a debug link);
# CPACK_STRIP_FILES would strip them first and leave it nothing.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/compress_docs.cmake)

# The copyright file and the changelog Debian asks every package for.
include(GNUInstallDirs)
set(KESTRIN_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrin-music-editor)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog
        DESTINATION ${KESTRIN_DOC_DIR})
include(CPack)
