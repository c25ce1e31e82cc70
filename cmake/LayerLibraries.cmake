# The libraries of src/, one per layer, each with an include root of its own.
#
# A root is a folder of the build tree holding symbolic links to the library's headers under
# the names the code uses ("printing/BatchRun.h"). A library's root is PUBLIC, so a target sees
# the headers of exactly the libraries it links (directly or through them), and an include of
# any other layer's header is a "No such file or directory".

set(QP_SRC_DIR "${PROJECT_SOURCE_DIR}/src")
set(QP_LAYER_ROOTS "${PROJECT_BINARY_DIR}/layer-include")

# Headers given to qp_shared stay out of the layer that keeps them, so that each header is
# reachable through one root only.
set_property(GLOBAL PROPERTY QP_SHARED_HEADERS "")

# Links the named headers (paths below src/) into the root of library.
function(_qp_link_headers library)
    set(root "${QP_LAYER_ROOTS}/${library}")
    file(REMOVE_RECURSE "${root}")
    foreach(header ${ARGN})
        get_filename_component(folder "${root}/${header}" DIRECTORY)
        file(MAKE_DIRECTORY "${folder}")
        file(CREATE_LINK "${QP_SRC_DIR}/${header}" "${root}/${header}" SYMBOLIC)
    endforeach()
endfunction()

# qp_shared_headers(<name> <headers below src/...>): an interface library for headers that
# programs outside src/ compile too (the PDF print server).
function(qp_shared_headers name)
    add_library(${name} INTERFACE)
    _qp_link_headers(${name} ${ARGN})
    target_include_directories(${name} INTERFACE "${QP_LAYER_ROOTS}/${name}")
    set_property(GLOBAL APPEND PROPERTY QP_SHARED_HEADERS ${ARGN})
endfunction()

# qp_layer_library(<name> <folder below src/> [RECURSE] [FILES <files below the folder...>]
#                  [EXTRA <files below src/...>] [LIBS <libraries...>])
# A static library of the .cpp and .h files in the folder (and its subfolders with RECURSE),
# or of just the FILES named when the folder holds more than one library, publicly linking LIBS.
function(qp_layer_library name folder)
    cmake_parse_arguments(ARG "RECURSE" "" "FILES;EXTRA;LIBS" ${ARGN})
    if(ARG_FILES)
        list(TRANSFORM ARG_FILES PREPEND "${folder}/" OUTPUT_VARIABLE files)
    else()
        set(glob GLOB)
        if(ARG_RECURSE)
            set(glob GLOB_RECURSE)
        endif()
        file(${glob} files CONFIGURE_DEPENDS RELATIVE "${QP_SRC_DIR}"
            "${QP_SRC_DIR}/${folder}/*.cpp" "${QP_SRC_DIR}/${folder}/*.h")
    endif()
    get_property(shared GLOBAL PROPERTY QP_SHARED_HEADERS)
    get_property(claimed GLOBAL PROPERTY QP_LIBRARY_FILES)
    set(sources "")
    set(headers "")
    foreach(file ${files})
        if(file IN_LIST shared)
            continue()
        endif()
        if(NOT EXISTS "${QP_SRC_DIR}/${file}")
            message(FATAL_ERROR "${name}: src/${file} does not exist")
        endif()
        if(file IN_LIST claimed)
            message(FATAL_ERROR "${name}: src/${file} belongs to another library already")
        endif()
        set_property(GLOBAL APPEND PROPERTY QP_LIBRARY_FILES "${file}")
        list(APPEND sources "${QP_SRC_DIR}/${file}")
        if(file MATCHES "\\.h$")
            list(APPEND headers "${file}")
        endif()
    endforeach()
    foreach(extra ${ARG_EXTRA})
        list(APPEND sources "${QP_SRC_DIR}/${extra}")
    endforeach()

    add_library(${name} STATIC ${sources})
    _qp_link_headers(${name} ${headers})
    target_include_directories(${name} PUBLIC "${QP_LAYER_ROOTS}/${name}")
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    target_compile_definitions(${name} PUBLIC QT_NO_KEYWORDS)
endfunction()

# qp_check_every_file_has_a_library(<files below src/ that belong to no library...>): a file
# of src/ that no library took would be compiled nowhere; say so at configure time.
function(qp_check_every_file_has_a_library)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS RELATIVE "${QP_SRC_DIR}"
        "${QP_SRC_DIR}/*.cpp" "${QP_SRC_DIR}/*.h")
    get_property(shared GLOBAL PROPERTY QP_SHARED_HEADERS)
    get_property(claimed GLOBAL PROPERTY QP_LIBRARY_FILES)
    list(REMOVE_ITEM files ${shared} ${claimed} ${ARGN})
    if(files)
        list(JOIN files ", " orphans)
        message(FATAL_ERROR "In no library (list them in src/CMakeLists.txt): ${orphans}")
    endif()
endfunction()

# qp_check_layer_includes(<libraries...>): before any of the libraries compiles, their files are
# searched for includes that their include roots alone cannot keep out: headers of Qt's window,
# GUI and D-Bus modules named through Qt's common include folder, the system's CUPS and D-Bus
# headers, UNO headers, and paths that climb out of the file's own folder.
function(qp_check_layer_includes)
    set(checked "")
    foreach(library ${ARGN})
        get_target_property(sources ${library} SOURCES)
        list(APPEND checked ${sources})
    endforeach()
    set(stamp "${PROJECT_BINARY_DIR}/layer-include/logic-includes.stamp")
    string(REPLACE ";" "|" file_list "${checked}")
    add_custom_command(OUTPUT "${stamp}"
        COMMAND ${CMAKE_COMMAND} "-DFILES=${file_list}" "-DSTAMP=${stamp}"
                -P "${PROJECT_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake"
        DEPENDS ${checked} "${PROJECT_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake"
        COMMENT "Checking that the logic layers include no window, platform or adapter header"
        VERBATIM)
    add_custom_target(qp_logic_include_check DEPENDS "${stamp}")
    foreach(library ${ARGN})
        add_dependencies(${library} qp_logic_include_check)
    endforeach()
endfunction()
