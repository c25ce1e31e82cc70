# The help, the installed layout and the Debian package.
#
# Everything the program needs at run time lies in one folder, the install prefix:
#   quirepress, quirepress-pdf-server, helpfiles/Quirepress.chm and its pages in helpfiles/html
# Batches live in each user's own folder, never in a folder shared by all users.
# For the package that folder is /opt/quirepress; the menu entry, the icon and the link
# /usr/bin/quirepress, the batch file type and the manual page go to the system's folders (packaging/InstallDesktopIntegration.cmake).

include(${CMAKE_SOURCE_DIR}/helpsrc/Help.cmake)

set(QP_DESKTOP_PREFIX "" CACHE PATH
    "Where the menu entry, icon and command link are installed (empty: /usr for a prefix under /opt, else not at all)")

# Installed programs find their libraries without the build tree: keep the folders of libraries
# outside the system's own (LibreOffice's UNO libraries) in their run path.
set(QP_INSTALLED_PROGRAMS quirepress)
if(TARGET quirepress-pdf-server)
    list(APPEND QP_INSTALLED_PROGRAMS quirepress-pdf-server)
endif()
set_target_properties(${QP_INSTALLED_PROGRAMS} PROPERTIES INSTALL_RPATH_USE_LINK_PATH TRUE)
install(TARGETS ${QP_INSTALLED_PROGRAMS} RUNTIME DESTINATION .)

install(FILES ${QP_HELP_FILE} DESTINATION helpfiles)
install(FILES ${QP_HELP_PAGES} DESTINATION helpfiles/html)

install(CODE "
    set(QP_DESKTOP_PREFIX \"${QP_DESKTOP_PREFIX}\")
    set(QP_PACKAGING_DIR \"${CMAKE_SOURCE_DIR}/packaging\")
    set(QP_PACKAGING_BUILD_DIR \"${CMAKE_BINARY_DIR}/packaging\")
    set(QP_ICON_DIR \"${CMAKE_SOURCE_DIR}/src/ui/icons\")")
install(SCRIPT ${CMAKE_SOURCE_DIR}/packaging/InstallDesktopIntegration.cmake)

include(${CMAKE_SOURCE_DIR}/packaging/CPackConfig.cmake)
