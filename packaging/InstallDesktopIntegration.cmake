# Runs at install time (cmake --install, cpack). Puts the menu entry, the icons, the batch file
# type, the manual page, the hot folder's systemd user unit and a link on the PATH into the system's folders, next to the runtime folder CMAKE_INSTALL_PREFIX.
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

# The entry names the program by its link on the PATH: menus and "Open with" look a TryExec
# and the program of Exec up there, and drop an entry whose program they do not find.
file(INSTALL ${QP_PACKAGING_DIR}/quirepress.desktop
    DESTINATION "${root}/share/applications")

# The program's icon also stands for its batch files (the type's icon name, see the MIME package).
foreach(kind apps mimetypes)
    if(kind STREQUAL apps)
        set(name quirepress.png)
    else()
        set(name application-x-quirepress-batch.png)
    endif()
    file(INSTALL ${QP_ICON_DIR}/quirepress.png
        DESTINATION "${root}/share/icons/hicolor/32x32/${kind}" RENAME ${name})
    file(INSTALL ${QP_ICON_DIR}/quirepress-256.png
        DESTINATION "${root}/share/icons/hicolor/256x256/${kind}" RENAME ${name})
endforeach()

# .qpb files as their own type; the desktop's triggers (update-mime-database) pick it up.
file(INSTALL ${QP_PACKAGING_DIR}/quirepress-mime.xml
    DESTINATION "${root}/share/mime/packages" RENAME quirepress.xml)

# The manual page, compressed as Debian wants it when gzip is there.
set(manual ${QP_PACKAGING_DIR}/quirepress.1)
find_program(QP_GZIP gzip)
if(QP_GZIP)
    execute_process(COMMAND ${QP_GZIP} -9nc ${manual}
        OUTPUT_FILE ${QP_PACKAGING_BUILD_DIR}/quirepress.1.gz RESULT_VARIABLE gzip_result)
    if(gzip_result EQUAL 0)
        set(manual ${QP_PACKAGING_BUILD_DIR}/quirepress.1.gz)
    endif()
endif()
file(INSTALL ${manual} DESTINATION "${root}/share/man/man1")

# The hot folder's systemd user unit, naming the program where it is installed.
configure_file(${QP_PACKAGING_DIR}/quirepress-watch@.service.in
    ${QP_PACKAGING_BUILD_DIR}/quirepress-watch@.service @ONLY)
file(INSTALL ${QP_PACKAGING_BUILD_DIR}/quirepress-watch@.service
    DESTINATION "${root}/lib/systemd/user")

# The link is relative, so it leads to the program in an unpacked tree as well as on the
# system. The program finds its folder from its own resolved path, not from the link.
file(RELATIVE_PATH target "${QP_DESKTOP_PREFIX}/bin" "${QP_EXECUTABLE}")
file(MAKE_DIRECTORY "${staged_root}/bin")
message(STATUS "Installing: ${staged_root}/bin/quirepress -> ${target}")
file(CREATE_LINK "${target}" "${staged_root}/bin/quirepress" SYMBOLIC)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${root}/bin/quirepress")
