# Cross build with MinGW-w64 for the target that TARN2_MINGW_TARGET names
# (set by mingw-i686.cmake or mingw-x86_64.cmake). The modules use the
# win32-thread compiler, so they need no threading runtime beside them;
# TARN2_MINGW_THREADS=posix picks the posix-thread one, whose C++ library
# has std::mutex and std::thread (the Windows test program needs them).
if(NOT TARN2_MINGW_THREADS)
  set(TARN2_MINGW_THREADS win32)
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARN2_MINGW_TARGET TARN2_MINGW_THREADS)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TARN2_MINGW_TARGET}-gcc-${TARN2_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TARN2_MINGW_TARGET}-g++-${TARN2_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${TARN2_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARN2_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
