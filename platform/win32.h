// The one platform header of the driver. On Windows it is the system's own
// Win32 and multimedia headers; everywhere else it declares the same names,
// types and constants and platform/posix implements them.
#ifndef TARN2_PLATFORM_WIN32_H
#define TARN2_PLATFORM_WIN32_H

#ifdef _WIN32
#include <windows.h>
// mmsystem.h needs the types windows.h declares first.
#include <mmsystem.h>
#else
#include "posix/w32_base.h"
#include "posix/w32_kernel.h"
#include "posix/w32_mm.h"
#include "posix/w32_user.h"
#endif

#include "vfw.h"

#endif
