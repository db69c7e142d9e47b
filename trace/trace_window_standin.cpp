// Stand-in for the trace window's procedure until the window is built.
#include "trace.h"

INT_PTR CALLBACK TraceWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return FALSE;
}
