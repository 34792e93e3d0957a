# Cross build of the 32-bit Windows program, the one the offices install: it starts
# on 32-bit Windows 7 and 10 as well as on 64-bit Windows. Debian's MinGW-w64
# (package g++-mingw-w64-i686-posix).
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZQ_MINGW_TRIPLET i686-w64-mingw32)
# SSE2 arithmetic, as on x86-64: the x87 unit keeps doubles in 80 bits between
# operations, so a money amount rounded to the grosz could come out one grosz apart
# from the 64-bit build's. SSE2 is in every x86 processor since 2003 and a
# requirement of Windows 8. Windows keeps the stack aligned to 4 bytes only where it
# calls the program back (thread and console handlers), hence the realignment.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/win/mingw-w64-common.cmake)
