# Compiles the help pages into Quirepress.chm and puts it into helpfiles/ of the runtime folder,
# where the program looks for it beside its executable.
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
add_custom_target(quirepress_help ALL DEPENDS ${QP_HELP_FILE})

# The program expects its help beside it, so building it builds the help too.
if(TARGET quirepress)
    add_dependencies(quirepress quirepress_help)
endif()
