# Installation of the two programs and their packaging with CPack.
#
# Installed are the desktop program Plexor2 (install rule in
# app/CMakeLists.txt) with, on Linux and other freedesktop systems, its
# desktop entry, AppStream metainfo and icons; and the command-line program
# plexor2-extract with its manual page (install rules in
# tools/CMakeLists.txt). The other tools, the tests and the benchmarks are
# build products only.
#
#   cmake --install <build> --prefix <dir>
#   cpack -G DEB      (in the build folder; Linux)

include(GNUInstallDirs)

# The reverse-DNS id that names the desktop entry, the metainfo and the icon.
set(PLEXOR_APP_ID "com.velmoratech.Plexor2")
set(PLEXOR_PACKAGING_DIR "${CMAKE_CURRENT_LIST_DIR}/../packaging/linux")
cmake_path(NORMAL_PATH PLEXOR_PACKAGING_DIR)
# The icon sizes shipped as PNG in app/icons (plexor2-<size>.png).
set(PLEXOR_ICON_SIZES 16 24 32 48 64 128 256)

if(PLEXOR_BUILD_GUI AND UNIX AND NOT APPLE)
    install(FILES "${PLEXOR_PACKAGING_DIR}/${PLEXOR_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${PLEXOR_PACKAGING_DIR}/${PLEXOR_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    install(FILES "${PROJECT_SOURCE_DIR}/app/icons/plexor2.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
        RENAME "${PLEXOR_APP_ID}.svg")
    foreach(size IN LISTS PLEXOR_ICON_SIZES)
        install(FILES "${PROJECT_SOURCE_DIR}/app/icons/plexor2-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME "${PLEXOR_APP_ID}.png")
    endforeach()
endif()

set(CPACK_PACKAGE_NAME "plexor2")
set(CPACK_PACKAGE_VENDOR "Velmora Technologies")
set(CPACK_PACKAGE_CONTACT "Velmora Technologies <support@velmoratech.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Extracts domain and name-server names from DNS zone files")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.velmoratech.com/plexor2")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Plexor2")
set(CPACK_STRIP_FILES ON)

if(UNIX AND NOT APPLE)
    set(CPACK_GENERATOR "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
    # plexor2_<version>_<architecture>.deb
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora Technologies <support@velmoratech.com>")
    set(CPACK_DEBIAN_PACKAGE_SECTION "net")
    set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CPACK_PACKAGE_HOMEPAGE_URL}")
    # The long description; dpkg shows the summary above it.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Plexor2 is a desktop tool that turns a DNS zone file, as a registry
publishes it, into a plain list of names: the domain names the zone
delegates (filtered by length, excluded characters, required words and
required name servers, optionally followed by their name servers), or the
host names of its name servers. It reads the layout of the .COM, .NET and
.EDU zones and that of the .SE zone, also gzip-compressed.
The command-line program plexor2-extract carries the same runs for
servers and scripts, also from standard input to standard output.")
    # The run-time libraries (Qt 6 Widgets, Botan 2, zlib, the C++ runtime)
    # are found by dpkg-shlibdeps from what the executables link
    # (plexor2-extract, linked statically on Linux, needs none).
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
elseif(WIN32)
    set(CPACK_GENERATOR "ZIP")
else()
    set(CPACK_GENERATOR "TGZ")
endif()

include(CPack)
