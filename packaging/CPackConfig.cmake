# The Debian package: `cpack -G DEB` in the build folder gives quirepress_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quirepress)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quirepress team")
set(CPACK_PACKAGE_CONTACT "Quirepress maintainers <maintainers@qp.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "print a batch of Word, Excel, PowerPoint and PDF files in one run")
set(CPACK_PACKAGE_DESCRIPTION
    "Quirepress collects .doc, .xls, .ppt and .pdf files in a list and prints them all, in list
order, on the default CUPS printer. Office files are printed by LibreOffice, PDF files by a
companion print server. Batches can be saved and opened again.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://qp.example.org")
set(CPACK_PACKAGE_INSTALL_DIRECTORY quirepress)

# The runtime folder; the desktop files go to /usr through DESTDIR, so absolute paths are staged.
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/quirepress)
set(CPACK_INSTALL_PREFIX /opt/quirepress)
set(CPACK_SET_DESTDIR ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link are found by dpkg-shlibdeps, with the versions they need.
# The UNO runtime lies outside the linker's folders, in the office's program folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${QP_LIBREOFFICE_DIR}/program")
# What the programs start or load by name, which no linker sees: LibreOffice (its full core, not
# the -nogui one, with the three programs that print), the CUPS client, a session bus and Qt's
# platform plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-core, libreoffice-writer, libreoffice-calc, libreoffice-impress, \
cups-client, default-dbus-session-bus | dbus-session-bus, qt6-qpa-plugins")
# Help opens with the desktop's program for .chm files, found through GLib; without one its
# pages open in the web browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xchm | kchmviewer | okular-extra-backends")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
