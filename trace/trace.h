// The driver's one diagnostic call and the options word that governs it.
#ifndef TARN2_TRACE_TRACE_H
#define TARN2_TRACE_TRACE_H

#include "../platform/win32.h"

// DriverOptions bits.
#define OPT_SYNC_LOG 0x0002
#define OPT_BRINGUP_BOXES 0x0004
#define OPT_NO_DMA 0x0008
#define OPT_NO_ECP 0x0010
#define OPT_TRACE_ON 0x0020
#define OPT_NO_FAST_DMA 0x0040
#define OPT_NO_IRQ 0x0080

#define TRACE_OPEN 1
#define TRACE_MESSAGE 2
#define TRACE_END 3

// Private messages of the trace window.
#define WM_TRACE_LINE (WM_USER + 200)
#define WM_TRACE_SAVE (WM_USER + 201)

// A formatted line fits the 512-byte block with its terminator.
#define TRACE_LINE_MAX 511

extern WORD DriverOptions;
extern HWND traceWindow;
// The module whose resources hold the trace window's template; the attach
// hook sets it before the first trace call.
extern HINSTANCE traceModule;

// Level 1 open, 2 message (wsprintf format and arguments), 3 end. Does
// nothing unless DriverOptions has OPT_TRACE_ON. Always returns 1.
int trace(int level, const char* format, ...);
// Non-zero when tracing is on; callers test it before building arguments.
int TraceOn(void);
// "RGB" for 0, else the code's four characters; one shared buffer.
const char* CompressionText(DWORD compression);

// The full path of a trace file in the Windows directory, in a buffer of
// MAX_PATH characters; FALSE (and an empty path) when it does not fit.
BOOL TraceFilePath(const char* name, char* path);

// The trace window's dialog procedure (resource 102).
INT_PTR CALLBACK TraceWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

#endif
