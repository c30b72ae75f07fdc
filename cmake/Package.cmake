# The Debian package, built by CPack (`make deb`, or cpack in the build
# folder): lumaro-eq_<version>_<arch>.deb with the system layout under /usr,
# so the bundle lands in /usr/lib/vst3 and lumaro-render in /usr/bin, and the
# licences of what the binaries embed in /usr/share/doc/lumaro-eq. The
# runtime dependencies are read off the binaries by dpkg-shlibdeps.
# The Apache licence's full text travels with the font it covers; Debian's
# base-files has it on every build machine.
set(LUMARO_APACHE_LICENSE "/usr/share/common-licenses/Apache-2.0" CACHE FILEPATH
    "Full text of the Apache License 2.0, shipped with the embedded Roboto font")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" "${LUMARO_APACHE_LICENSE}"
        DESTINATION "${LUMARO_DOC_DIR}" COMPONENT docs EXCLUDE_FROM_ALL)

# CPack installs from the build as it stands and does not build first (the
# Makefile's `deb` builds; the package test runs on a finished build).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "lumaro-eq")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Corvane Audio")
set(CPACK_PACKAGE_CONTACT "Corvane Audio <support@corvane-audio.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "five-band console-style equalizer (VST 3 plug-in)")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lumaro EQ is a VST 3 audio effect for Linux hosts: a switchable high-pass,\n"
    "a low shelf, two stepped peaking mid bands and a high shelf, each with its\n"
    "gain, then an output gain, with the level-dependent colour of a vintage\n"
    "console channel and optional four-times oversampling.\n"
    "\n"
    "The package also holds lumaro-render, which runs audio files through the\n"
    "plug-in from the command line.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.corvane-audio.com")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT") # lumaro-eq_4.0.6_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
# Only the system layout and the licences, never the per-user layout.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};system;/"
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};docs;/")
include(CPack)
