# cmake -DFILES=<files separated by |> -DSTAMP=<file> -P CheckLayerIncludes.cmake
# Fails on the first logic file that includes what the logic layers must not reach.
set(forbidden
    "#[ \t]*include[ \t]*[<\"](ui|platform)/"
    "#[ \t]*include[ \t]*[<\"][^>\"]*\\.\\./"
    "#[ \t]*include[ \t]*<Qt(Gui|Widgets|DBus|PrintSupport|Network)/"
    "#[ \t]*include[ \t]*<(cups|dbus|com|cppu|cppuhelper|rtl|sal|uno|osl)/")
string(REPLACE "|" ";" FILES "${FILES}")
set(failures "")
foreach(file ${FILES})
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
        foreach(pattern ${forbidden})
            if(line MATCHES "${pattern}")
                string(APPEND failures "${file}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "A logic layer includes a window, platform or adapter header:\n"
        "${failures}")
endif()
file(TOUCH "${STAMP}")
