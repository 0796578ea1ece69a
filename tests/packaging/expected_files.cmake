# The files that `cmake --install` and the Debian package hold, relative to
# the prefix: plexor2-extract and its manual page always, the desktop program
# with its desktop entry, metainfo and icons when it is built. Sets
# `expected` (sorted) from BINDIR, DATADIR, MANDIR, APP_ID, ICON_SIZES, GUI
# and MANPAGE.
string(REPLACE "," ";" ICON_SIZES "${ICON_SIZES}")
set(icons "${DATADIR}/icons/hicolor")
set(expected "${BINDIR}/plexor2-extract")
if(MANPAGE)
    list(APPEND expected "${MANDIR}/man1/plexor2-extract.1")
endif()
if(GUI)
    list(APPEND expected
        "${BINDIR}/Plexor2"
        "${DATADIR}/applications/${APP_ID}.desktop"
        "${DATADIR}/metainfo/${APP_ID}.metainfo.xml"
        "${icons}/scalable/apps/${APP_ID}.svg")
    foreach(size IN LISTS ICON_SIZES)
        list(APPEND expected "${icons}/${size}x${size}/apps/${APP_ID}.png")
    endforeach()
endif()
list(SORT expected)

# Fails with the differences when `installed` is not `expected`.
function(expect_files what installed)
    if(NOT installed STREQUAL expected)
        set(extra ${installed})
        list(REMOVE_ITEM extra ${expected})
        set(missing ${expected})
        list(REMOVE_ITEM missing ${installed})
        message(FATAL_ERROR "${what} differ\n  not expected: ${extra}\n  missing: ${missing}")
    endif()
endfunction()
