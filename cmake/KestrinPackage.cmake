# The Debian package: `cpack -G DEB` in the build folder (or
# `cmake --build --preset default --target package`) writes
# kestrin-music-editor_<version>_<arch>.deb holding every file the install
# rules name. Its Depends line comes from dpkg-shlibdeps.

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
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The build keeps its debug information; the package does not need it.
set(CPACK_STRIP_FILES ON)
include(CPack)
