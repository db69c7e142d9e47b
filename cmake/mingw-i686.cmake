# Cross build of the Windows driver and decoder library with 32-bit MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARN2_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
