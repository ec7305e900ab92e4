# The Debian package (`make package`): the installed folder in /opt/quarva, with the
# desktop integration that desktop/SystemInstall.cmake adds for that prefix.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarva-zip-suite)
set(CPACK_PACKAGE_VENDOR "Quarva Software")
set(CPACK_PACKAGE_CONTACT "Quarva Software <support@quarva.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "archive manager, file splitter and file-manager menus")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "archive manager, file splitter and file-manager menus
 Quarva.Zip Suite opens, creates and changes zip archives with its own zip engine
 and reads and converts tar, gzip, cab, LHA, 7z, rar, arj, ace, UU- and
 XX-encoded files. QuarvaSplit cuts large files into chunks and joins them again.
 The suite adds its commands to the menus of Nautilus, Nemo, Dolphin and Thunar.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Everything installs with CMAKE_INSTALL_PREFIX = /opt/quarva into a staging DESTDIR,
# so the absolute desktop paths land in the package too.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${QUARVA_SYSTEM_PREFIX})
set(CPACK_INSTALL_PREFIX ${QUARVA_SYSTEM_PREFIX})
# Library dependencies come from dpkg-shlibdeps; the suite's own libraries sit
# beside the programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${QUARVA_SYSTEM_PREFIX})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs, shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-nautilus, unzip, p7zip-full, arj, lhasa")
# The registry defaults under /etc are the administrator's to change.
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles
     "/etc/quarva/registry/HKEY_CURRENT_USER.reg\n/etc/quarva/registry/HKEY_CLASSES_ROOT.reg\n/etc/quarva/registry/HKEY_LOCAL_MACHINE.reg\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
