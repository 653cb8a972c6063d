# Cross build for 32-bit Windows (i386, every Windows from 95 on) with MinGW-w64.
set(ORVANTA_MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
