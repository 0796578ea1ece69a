# Running the Windows build's tests on Linux: a cross build (the `windows`
# preset) runs every test program through Wine. A small launcher made here,
# build/windows/wine-run, gives each run the same surroundings: a Wine prefix
# inside the build folder, no Wine debug chatter, no display, and the locale
# C.UTF-8. Under it, the Unix side (arguments, file names) is UTF-8 while
# Wine's ANSI code page is 1252 (Western European), as on most Windows
# machines in that region: file names outside it reach a program intact only
# through the wide-character API, so the tests of such names mean what they
# would on Windows.
#
# Starting Wine in a fresh prefix takes seconds and must not happen in
# several tests at once: the test wine_prefix makes the prefix first (the
# fixture wine_prefix), and wine_shutdown stops the Wine server at the end.

find_program(PLEXOR_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(PLEXOR_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(NOT PLEXOR_WINE OR NOT PLEXOR_WINESERVER)
    message(FATAL_ERROR "Wine is needed to run the Windows build's tests: install the Debian package wine64 "
                        "(scripts/install-deps.sh does), or configure with -DPLEXOR_BUILD_TESTS=OFF")
endif()

set(PLEXOR_WINE_PREFIX "${PROJECT_BINARY_DIR}/wine-prefix")
set(PLEXOR_WINE_RUN "${PROJECT_BINARY_DIR}/wine-run")
file(CONFIGURE OUTPUT "${PLEXOR_WINE_RUN}" @ONLY CONTENT [[#!/bin/sh
# Runs a Windows program under Wine for the tests; `wine-run --start` makes
# the prefix and starts its Wine server, `wine-run --stop` ends the server.
# Made by cmake/WindowsTests.cmake.
WINEPREFIX='@PLEXOR_WINE_PREFIX@'
WINEDEBUG=-all
# No Wine Mono or Gecko: a fresh prefix would offer to download them.
WINEDLLOVERRIDES='mscoree,mshtml='
LC_ALL=C.UTF-8
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LC_ALL
unset DISPLAY WAYLAND_DISPLAY
if [ "$1" = --start ]; then
    # Makes the prefix, and keeps its Wine server running until --stop:
    # every program then starts in a fraction of a second (a server still
    # running from before is fine). The server and the helpers Wine starts
    # outlive this script: they must not hold on to its output, which ctest
    # waits for.
    exec </dev/null >/dev/null 2>&1
    '@PLEXOR_WINESERVER@' --persistent 2>/dev/null
    exec '@PLEXOR_WINE@' wineboot --init
fi
if [ "$1" = --stop ]; then
    # No server running is fine too.
    '@PLEXOR_WINESERVER@' -k 2>/dev/null
    exit 0
fi
exec '@PLEXOR_WINE@' "$@"
]])
file(CHMOD "${PLEXOR_WINE_RUN}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                             WORLD_READ WORLD_EXECUTE)

# Every target executable that a test runs goes through the launcher.
set(CMAKE_CROSSCOMPILING_EMULATOR "${PLEXOR_WINE_RUN}")
set(PLEXOR_TEST_EMULATOR "${PLEXOR_WINE_RUN}")

# Marks tests as running Windows programs: they wait for the prefix.
function(plexor_wine_tests)
    set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED wine_prefix)
endfunction()

function(plexor_add_wine_fixture)
    add_test(NAME wine_prefix COMMAND "${PLEXOR_WINE_RUN}" --start)
    set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300 LABELS windows)
    add_test(NAME wine_shutdown COMMAND "${PLEXOR_WINE_RUN}" --stop)
    set_tests_properties(wine_shutdown PROPERTIES FIXTURES_CLEANUP wine_prefix LABELS windows)
endfunction()
