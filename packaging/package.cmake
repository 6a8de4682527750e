# The Debian package: CPack's DEB generator over exactly what `cmake --install` places (kelvo,
# kelvo-cli, the tools folder, desktop entry, icon, metainfo and the user unit), for /usr, plus
# the copyright file and changelog Debian asks for. `cpack -G DEB` in a configured and built
# build folder writes kelvo_<version>_<arch>.deb there (`make package` does it for a Release
# build in build-release/).

set(KELVO_PACKAGE_MAINTAINER "kelvo developers <packages@kelvo.invalid>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KELVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep YouTube playlists mirrored in a folder on your disk")
# The extended description, as lines of Debian's control file (under 80 columns).
set(CPACK_PACKAGE_DESCRIPTION
    "kelvo sits in the tray and keeps YouTube playlists mirrored in a folder on
your disk: new entries are downloaded as MP4 with a sidecar for media centres,
entries that left a playlist move to its archive folder, and single videos are
saved from a copied link. kelvo-cli does the same jobs on machines without a
desktop, and a user systemd unit runs its sync loop.

All network work is done by yt-dlp; nothing else leaves the computer.")

# The DEB generator installs with the prefix /usr into a staging folder given as DESTDIR, so paths
# the install rules write into files (the unit's ExecStart) are the final ones.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/install-docs.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from dpkg-shlibdeps. What it cannot see: the QML modules the windows import
# at run time (the same list as scripts/install-deps) and the programs kelvo runs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(kelvo_runtime_packages
    yt-dlp ffmpeg
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
    qml6-module-qtquick-layouts qml6-module-qtquick-window qml6-module-qtquick-dialogs
    qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
    qml6-module-qtquick-shapes qml6-module-qt-labs-platform qml6-module-qt-labs-settings
    qml6-module-qtcore qml6-module-qt-labs-folderlistmodel)
list(JOIN kelvo_runtime_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# The Inter and JetBrains Mono fonts are compiled into kelvo: no font package is needed. Qt's
# Wayland plugin lets kelvo run as a native Wayland client (without it, through XWayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

# /usr/share/doc/kelvo/changelog.gz, compressed the way Debian wants it (gzip -9n: no name, no
# time stamp).
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog ${CMAKE_BINARY_DIR}/packaging/changelog
               COPYONLY)
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/changelog
                RESULT_VARIABLE kelvo_gzip_result)
if(NOT kelvo_gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip of the package changelog failed")
endif()
set(CPACK_KELVO_DOCS ${CMAKE_CURRENT_LIST_DIR}/copyright
                     ${CMAKE_BINARY_DIR}/packaging/changelog.gz)

include(CPack)
