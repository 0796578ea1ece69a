# One interface target that every Plexor2 target links to: language level,
# warnings and the sanitizer flags of the build.
add_library(plexor_common_config INTERFACE)
add_library(Plexor::CommonConfig ALIAS plexor_common_config)

target_compile_features(plexor_common_config INTERFACE cxx_std_20)

if(MSVC)
    target_compile_options(plexor_common_config INTERFACE /W4 /permissive- /utf-8)
    if(PLEXOR_WARNINGS_AS_ERRORS)
        target_compile_options(plexor_common_config INTERFACE /WX)
    endif()
else()
    target_compile_options(plexor_common_config INTERFACE -Wall -Wextra)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        # g++ 12 reports a false -Wrestrict inside libstdc++ for
        # "literal" + std::string at -O2 (GCC bug 105329).
        target_compile_options(plexor_common_config INTERFACE -Wno-restrict)
    endif()
    if(PLEXOR_WARNINGS_AS_ERRORS)
        target_compile_options(plexor_common_config INTERFACE -Werror)
    endif()
endif()

if(PLEXOR_SANITIZE STREQUAL "address")
    set(_plexor_san_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(PLEXOR_SANITIZE STREQUAL "thread")
    set(_plexor_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT PLEXOR_SANITIZE STREQUAL "")
    message(FATAL_ERROR "PLEXOR_SANITIZE must be empty, 'address' or 'thread', not '${PLEXOR_SANITIZE}'")
endif()
if(_plexor_san_flags)
    target_compile_options(plexor_common_config INTERFACE ${_plexor_san_flags})
    target_link_options(plexor_common_config INTERFACE ${_plexor_san_flags})
    target_sources(plexor_common_config INTERFACE ${CMAKE_CURRENT_LIST_DIR}/sanitizer_options.cpp)
endif()

# Environment for every test: Qt runs headless, and no sanitizer report is
# tolerated (the same options are also compiled in, see sanitizer_options.cpp).
set(PLEXOR_TEST_ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1"
    "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
    "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")

# Registers every GoogleTest case of a test executable with CTest.
# gtest_discover_tests cannot pass a list-valued property, so these tests get
# only the display setting; the sanitizer options are compiled in.
# In a cross build the whole executable is one test instead: each case would
# start the emulator (Wine) anew.
function(plexor_discover_gtests target label)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
        set_tests_properties(${target} PROPERTIES LABELS "${label}" TIMEOUT 900)
        if(COMMAND plexor_wine_tests)
            plexor_wine_tests(${target})
        endif()
        return()
    endif()
    gtest_discover_tests(${target}
        DISCOVERY_TIMEOUT 120
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${label}")
endfunction()

# What runs the build's programs in the tests that start them from a script:
# nothing natively, Wine's launcher in the Windows cross build.
set(PLEXOR_TEST_EMULATOR "")
