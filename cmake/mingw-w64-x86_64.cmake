# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads flavour,
# so that std::thread and std::mutex work). The runtime is linked statically:
# the programs run on a bare Windows (or Wine) without MinGW's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(kavel_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${kavel_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${kavel_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${kavel_mingw}-windres)
set(CMAKE_CXX_STANDARD 20)

# Dependencies built for Windows go into one prefix; it is searched like the sysroot.
set(KAVEL_WINDOWS_DEPS "" CACHE PATH "Prefix with GoogleTest and pugixml built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/${kavel_mingw} ${KAVEL_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Test programs run under Wine when CTest starts them.
find_program(KAVEL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KAVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KAVEL_WINE})
endif()
