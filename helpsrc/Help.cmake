# Compiles the help pages into Quirepress.chm and puts it into helpfiles/ of the runtime folder,
# where the program looks for it beside its executable; the pages themselves go to
# helpfiles/html/, for desktops without a CHM viewer. A link that leads nowhere fails the build.
find_program(QP_CHMCMD chmcmd REQUIRED DOC "CHM compiler (Debian package fp-utils)")

file(GLOB QP_HELP_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/*.html ${CMAKE_CURRENT_LIST_DIR}/*.css
    ${CMAKE_CURRENT_LIST_DIR}/*.hhc ${CMAKE_CURRENT_LIST_DIR}/*.hhk
    ${CMAKE_CURRENT_LIST_DIR}/Quirepress.hhp)

# chmcmd writes its output beside the project, so it compiles a copy in the build tree.
set(QP_HELP_STAGE ${CMAKE_BINARY_DIR}/helpsrc)
set(QP_HELP_FILE ${QP_RUNTIME_DIR}/helpfiles/Quirepress.chm)
file(MAKE_DIRECTORY ${QP_HELP_STAGE})

add_custom_command(OUTPUT ${QP_HELP_FILE}
    COMMAND ${CMAKE_COMMAND} -E rm -f Quirepress.chm
    COMMAND ${CMAKE_COMMAND} -E copy ${QP_HELP_SOURCES} .
    COMMAND ${QP_CHMCMD} --verbosity 1 Quirepress.hhp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QP_RUNTIME_DIR}/helpfiles
    COMMAND ${CMAKE_COMMAND} -E copy Quirepress.chm ${QP_HELP_FILE}
    WORKING_DIRECTORY ${QP_HELP_STAGE}
    DEPENDS ${QP_HELP_SOURCES}
    COMMENT "Compiling the help into helpfiles/Quirepress.chm"
    VERBATIM)

file(GLOB QP_HELP_PAGE_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/*.html ${CMAKE_CURRENT_LIST_DIR}/*.css)
set(QP_HELP_PAGES "")
foreach(source ${QP_HELP_PAGE_SOURCES})
    get_filename_component(name ${source} NAME)
    list(APPEND QP_HELP_PAGES ${QP_RUNTIME_DIR}/helpfiles/html/${name})
endforeach()
add_custom_command(OUTPUT ${QP_HELP_PAGES}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QP_RUNTIME_DIR}/helpfiles/html
    COMMAND ${CMAKE_COMMAND} -E copy ${QP_HELP_PAGE_SOURCES} ${QP_RUNTIME_DIR}/helpfiles/html
    DEPENDS ${QP_HELP_PAGE_SOURCES}
    COMMENT "Copying the help pages into helpfiles/html"
    VERBATIM)

set(QP_HELP_LINKS_STAMP ${QP_HELP_STAGE}/links.stamp)
string(REPLACE ";" "|" QP_HELP_SOURCE_LIST "${QP_HELP_SOURCES}")
add_custom_command(OUTPUT ${QP_HELP_LINKS_STAMP}
    COMMAND ${CMAKE_COMMAND} "-DFILES=${QP_HELP_SOURCE_LIST}" "-DSTAMP=${QP_HELP_LINKS_STAMP}"
            -P ${CMAKE_CURRENT_LIST_DIR}/CheckLinks.cmake
    DEPENDS ${QP_HELP_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/CheckLinks.cmake
    COMMENT "Checking the links of the help"
    VERBATIM)

add_custom_target(quirepress_help ALL
    DEPENDS ${QP_HELP_FILE} ${QP_HELP_PAGES} ${QP_HELP_LINKS_STAMP})

# The program expects its help beside it, so building it builds the help too.
if(TARGET quirepress)
    add_dependencies(quirepress quirepress_help)
endif()
