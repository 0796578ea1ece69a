# Peak memory of whole runs of plexor2-extract (memory_limit_test.cpp):
# independent of the zone's length, growing only with its longest line, and
# a 256 MiB line handled. An ASan build checks the same limits with room for
# its shadow memory; a TSan build, whose shadow memory dwarfs the program's
# own, keeps the functional checks only, with a shorter long line.
# `ctest -L limits` runs just this test.
if(UNIX)
    add_executable(memory_limit_test memory_limit_test.cpp)
    target_link_libraries(memory_limit_test PRIVATE plexor_common_config)
    # The programs it runs are built with it.
    add_dependencies(memory_limit_test plexor2-extract make_zone)
    set(_plexor_limit_args
        --runner $<TARGET_FILE:plexor2-extract> --maker $<TARGET_FILE:make_zone>
        --work ${CMAKE_CURRENT_BINARY_DIR}/memory-limits)
    if(PLEXOR_SANITIZE STREQUAL "thread")
        list(APPEND _plexor_limit_args --no-rss-limits --long-line-mib 64)
    elseif(PLEXOR_SANITIZE STREQUAL "address")
        list(APPEND _plexor_limit_args --line-factor 5)
    else()
        # Only a build without sanitizers can run under an address-space
        # limit.
        list(APPEND _plexor_limit_args --address-space-check)
    endif()
    add_test(NAME memory_limits COMMAND memory_limit_test ${_plexor_limit_args})
    set_tests_properties(memory_limits PROPERTIES
        ENVIRONMENT "${PLEXOR_TEST_ENVIRONMENT}" LABELS "engine;limits" TIMEOUT 900)
endif()
