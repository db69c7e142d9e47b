// Multimedia clock and timers of the POSIX Win32 layer.
#ifndef TARN2_POSIX_W32_MM_H
#define TARN2_POSIX_W32_MM_H

#include "w32_base.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define TIME_ONESHOT 0x0000
#define TIME_PERIODIC 0x0001
#define TIME_CALLBACK_FUNCTION 0x0000

typedef struct timecaps_tag {
    UINT wPeriodMin;
    UINT wPeriodMax;
} TIMECAPS, *LPTIMECAPS;

typedef void(CALLBACK* LPTIMECALLBACK)(UINT timerId, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);

W32_EXTERN_C DWORD WINAPI timeGetTime(void);
W32_EXTERN_C MMRESULT WINAPI timeGetDevCaps(LPTIMECAPS caps, UINT size);
W32_EXTERN_C MMRESULT WINAPI timeBeginPeriod(UINT period);
W32_EXTERN_C MMRESULT WINAPI timeEndPeriod(UINT period);
W32_EXTERN_C MMRESULT WINAPI timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user,
                                          UINT flags);
W32_EXTERN_C MMRESULT WINAPI timeKillEvent(UINT timerId);
W32_EXTERN_C DWORD WINAPI GetTickCount(void);

#endif
