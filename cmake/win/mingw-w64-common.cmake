# What the two MinGW-w64 toolchain files share. They set ZQ_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR and include this file.
#
# Everything is linked statically (CMakeLists.txt), so zq18-20.exe runs beside an
# installation without any DLL of the compiler. The posix thread model is preferred:
# std::thread and std::mutex need it.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${ZQ_MINGW_TRIPLET}-gcc-posix ${ZQ_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ZQ_MINGW_TRIPLET}-g++-posix ${ZQ_MINGW_TRIPLET}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ZQ_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZQ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The offices still run Windows 7: the headers offer nothing newer, so a call that
# would keep the program from starting there does not compile.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)

# Windows test programs run under wine through this wrapper (private prefix, quiet
# first start, exit code 77 when wine cannot run them).
set(CMAKE_CROSSCOMPILING_EMULATOR bash ${CMAKE_CURRENT_LIST_DIR}/../../tools/win-run.sh)
