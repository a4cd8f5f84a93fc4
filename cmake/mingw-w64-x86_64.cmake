# Cross-compiling for 64-bit Windows with Debian's MinGW-w64. The "-posix" compilers use
# winpthreads, which the standard library's std::mutex and std::thread need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TH_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TH_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TH_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program carries its C++ runtime, libgcc and winpthreads inside: beside the .exe
# nothing but DLLs that are part of Windows is needed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under wine (tests, ctest's test discovery).
find_program(TH_WINE NAMES wine wine64)
if(TH_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TH_WINE})
endif()
