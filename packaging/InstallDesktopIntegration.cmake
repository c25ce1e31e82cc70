# Runs at install time (cmake --install, cpack). Puts the menu entry, the icon and a link on the
# PATH into the system's folders, next to the runtime folder CMAKE_INSTALL_PREFIX.
#
# Where they go: QP_DESKTOP_PREFIX when it is set; otherwise /usr for a runtime folder under
# /opt (the package's layout, /opt/quirepress); otherwise nowhere, so that installing into
# any other folder writes nothing outside it.
# Expects QP_PACKAGING_DIR, QP_PACKAGING_BUILD_DIR and QP_ICON_DIR from the install rules.

if(QP_DESKTOP_PREFIX STREQUAL "")
    if(CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
        set(QP_DESKTOP_PREFIX /usr)
    else()
        message(STATUS "Desktop entry not installed: ${CMAKE_INSTALL_PREFIX} is not under /opt "
                       "and QP_DESKTOP_PREFIX is not set")
        return()
    endif()
endif()

# file(INSTALL) puts DESTDIR in front by itself; the link is made by hand and needs it.
set(root "${QP_DESKTOP_PREFIX}")
set(staged_root "$ENV{DESTDIR}${QP_DESKTOP_PREFIX}")
set(QP_EXECUTABLE "${CMAKE_INSTALL_PREFIX}/quirepress")

configure_file(${QP_PACKAGING_DIR}/quirepress.desktop.in
    ${QP_PACKAGING_BUILD_DIR}/quirepress.desktop @ONLY)
file(INSTALL ${QP_PACKAGING_BUILD_DIR}/quirepress.desktop
    DESTINATION "${root}/share/applications")

file(INSTALL ${QP_ICON_DIR}/quirepress.png DESTINATION "${root}/share/icons/hicolor/32x32/apps")
file(INSTALL ${QP_ICON_DIR}/quirepress-256.png
    DESTINATION "${root}/share/icons/hicolor/256x256/apps"
    RENAME quirepress.png)

# The link is relative, so it leads to the program in an unpacked tree as well as on the
# system. The program finds its folder from its own resolved path, not from the link.
file(RELATIVE_PATH target "${QP_DESKTOP_PREFIX}/bin" "${QP_EXECUTABLE}")
file(MAKE_DIRECTORY "${staged_root}/bin")
message(STATUS "Installing: ${staged_root}/bin/quirepress -> ${target}")
file(CREATE_LINK "${target}" "${staged_root}/bin/quirepress" SYMBOLIC)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${root}/bin/quirepress")
