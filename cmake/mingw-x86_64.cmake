# Cross build of the Windows driver and decoder library for 64-bit hosts with
# MinGW-w64 x86_64: the same sources, pointer-wide link request addresses.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARN2_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
