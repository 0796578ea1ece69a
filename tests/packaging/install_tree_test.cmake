# Installs the build into an empty prefix and checks the tree: exactly the
# files of expected_files.cmake, nothing else; plexor2-extract runs from
# there (statically linked where the build links it so) and its manual page
# is installed; the entry's Exec names the installed executable and its Icon
# the installed icons; every PNG icon lies in the folder of its real size.
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/expected_files.cmake")
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/usr")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}" --config "${CONFIG}"
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${code}):\n${out}${err}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${prefix}" "${prefix}/*")
list(SORT installed)
expect_files("installed files" "${installed}")

# The command-line program runs from the installed tree, and needs no shared
# library where it is linked statically.
execute_process(COMMAND "${prefix}/${BINDIR}/plexor2-extract" --version
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT code EQUAL 0 OR NOT out MATCHES "^plexor2-extract [0-9]+\\.[0-9]+\\.[0-9]+\nkernel: [a-z0-9]+\n$")
    message(FATAL_ERROR "installed plexor2-extract --version: exit ${code}: ${out}${err}")
endif()
if(STATIC)
    execute_process(COMMAND ldd "${prefix}/${BINDIR}/plexor2-extract" OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT "${out}${err}" MATCHES "not a dynamic executable|statically linked")
        message(FATAL_ERROR "the installed plexor2-extract is not linked statically:\n${out}${err}")
    endif()
endif()
if(NOT GUI)
    message(STATUS "install tree: ${installed}")
    return()
endif()

# The executable is installed as a program.
execute_process(COMMAND test -x "${prefix}/${BINDIR}/Plexor2" RESULT_VARIABLE not_executable)
if(not_executable)
    message(FATAL_ERROR "${BINDIR}/Plexor2 is not executable")
endif()

# The desktop entry starts that executable and names the installed icon.
file(STRINGS "${prefix}/${DATADIR}/applications/${APP_ID}.desktop" entry)
if(NOT "Exec=Plexor2" IN_LIST entry)
    message(FATAL_ERROR "the desktop entry does not start Plexor2: ${entry}")
endif()
if(NOT "Icon=${APP_ID}" IN_LIST entry)
    message(FATAL_ERROR "the desktop entry's icon is not ${APP_ID}: ${entry}")
endif()
file(READ "${prefix}/${DATADIR}/metainfo/${APP_ID}.metainfo.xml" metainfo)
if(NOT metainfo MATCHES "<id>${APP_ID}</id>" OR NOT metainfo MATCHES "<launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>")
    message(FATAL_ERROR "the metainfo does not name ${APP_ID} and its desktop entry")
endif()

# Each PNG's width and height (PNG header, big-endian at byte 16) match its folder.
foreach(size IN LISTS ICON_SIZES)
    file(READ "${prefix}/${icons}/${size}x${size}/apps/${APP_ID}.png" header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING "${header}" 0 8 width_hex)
    string(SUBSTRING "${header}" 8 8 height_hex)
    math(EXPR width "0x${width_hex}")
    math(EXPR height "0x${height_hex}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "the ${size}x${size} icon is ${width}x${height}")
    endif()
endforeach()
message(STATUS "install tree: ${installed}")
