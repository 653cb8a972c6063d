# Cross build for 64-bit Windows (x86_64) with MinGW-w64.
set(ORVANTA_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
