# Cross build for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix: POSIX threads, so std::thread works) and
# zlib from libz-mingw-w64-dev. The `windows` preset uses it; ctest runs the
# programs through Wine (see cmake/WindowsTests.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLEXOR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PLEXOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLEXOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PLEXOR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLEXOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs that run on a bare Windows: the C++ run time, winpthreads and
# zlib linked in, no MinGW DLL beside the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# GCC does not keep the stack 32-byte aligned on Windows (GCC bug 54412), so
# an AVX2 register spilled with an aligned move could fault: the assembler
# writes every aligned vector move as an unaligned one, which costs nothing
# on the processors that have AVX2.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
