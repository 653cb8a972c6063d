# The part of the MinGW-w64 cross toolchains that both Windows builds share;
# mingw-i686.cmake and mingw-x86_64.cmake name the target and include it.
# The -posix compilers are the ones with std::mutex and std::thread, which
# GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   /usr/bin/${ORVANTA_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${ORVANTA_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER  /usr/bin/${ORVANTA_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANTA_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime: every .exe runs on its own, needing only Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# CTest runs each test executable through the project's Wine wrapper, which
# points Wine at the private prefix of the build's architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec)
