# Cross build of a Windows console program with MinGW-w64 from Debian
# (g++-mingw-w64-x86-64): the posix thread model, so std::thread works, and
# everything linked statically, so elab.exe runs on a bare Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ELAB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ELAB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ELAB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ELAB_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ELAB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs of the cross build run under Wine when it is installed
# (Debian's wine64 keeps its loader out of PATH).
find_program(ELAB_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ELAB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ELAB_WINE})
endif()
