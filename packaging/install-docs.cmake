# Run by CPack while it stages the package, never by `cmake --install`: the copyright file and
# changelog Debian asks of every package (CPACK_KELVO_DOCS), into /usr/share/doc/kelvo
# (file(INSTALL) puts DESTDIR, the staging folder, in front).
file(INSTALL ${CPACK_KELVO_DOCS}
     DESTINATION "${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/kelvo"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
