// The "Driver Message Trace" window: a modeless dialog that shows the trace
// lines posted to it, can be paused from its system menu, and writes its
// lines to a file when the trace ends.
#include "../ui/resources/resource.h"
#include "trace.h"

// The system-menu command that pauses and resumes the window.
#define TRACE_PAUSE_COMMAND 100
// The list keeps the newest lines only.
#define TRACE_LIST_LIMIT 300

// Survives the window: a new trace window starts paused if the last one was.
static BOOL traceRunning = TRUE;
static HMENU traceMenu = NULL;

static void ShowPauseState(void) {
    CheckMenuItem(traceMenu, TRACE_PAUSE_COMMAND, MF_BYCOMMAND | (traceRunning ? MF_UNCHECKED : MF_CHECKED));
}

static void InitTraceWindow(HWND window) {
    traceMenu = GetSystemMenu(window, FALSE);
    AppendMenuA(traceMenu, MF_MENUBREAK, 0, NULL);
    AppendMenuA(traceMenu, MF_STRING, TRACE_PAUSE_COMMAND, "&Pause");
    ShowPauseState();
    // The user cannot close the window; the trace end destroys it.
    EnableMenuItem(traceMenu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    DrawMenuBar(window);
    ShowWindow(window, SW_SHOW);
}

// Adds the block's line unless paused; the block is ours to free either way.
static void AddTraceLine(HWND window, HGLOBAL block) {
    if (!block) return;
    if (traceRunning) {
        const char* text = (const char*)GlobalLock(block);
        if (text) {
            // A block not terminated within itself or the line limit is cut.
            char line[TRACE_LINE_MAX + 1] = "";
            SIZE_T size = GlobalSize(block);
            int limit = size < sizeof line ? (int)size : (int)sizeof line;
            lstrcpynA(line, text, limit);
            GlobalUnlock(block);
            HWND list = GetDlgItem(window, IDC_TRACE_LIST);
            SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
            LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
            SendMessageA(list, LB_SETCURSEL, (WPARAM)(count - 1), 0);
            if (count > TRACE_LIST_LIMIT) SendMessageA(list, LB_DELETESTRING, 0, 0);
        }
    }
    GlobalFree(block);
}

static void SaveTraceLines(HWND window, const char* path) {
    if (!path) return;
    HFILE file = _lcreat(path, 0);
    if (file == HFILE_ERROR) {
        char text[1025];
        wsprintfA(text, "Unable to create %s", path);
        MessageBoxA(NULL, text, "mbkcap trace", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    HWND list = GetDlgItem(window, IDC_TRACE_LIST);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        // Room for the longest line, its line end and the terminator.
        char line[TRACE_LINE_MAX + 3];
        LRESULT length = SendMessageA(list, LB_GETTEXTLEN, (WPARAM)i, 0);
        if (length < 0 || length > TRACE_LINE_MAX) continue;
        SendMessageA(list, LB_GETTEXT, (WPARAM)i, (LPARAM)line);
        lstrcatA(line, "\r\n");
        _lwrite(file, line, (UINT)lstrlenA(line));
    }
    _lclose(file);
}

// Lines still queued when the window goes are freed, not lost as leaks.
static void DropQueuedLines(HWND window) {
    MSG msg;
    while (PeekMessageA(&msg, window, WM_TRACE_LINE, WM_TRACE_LINE, PM_REMOVE))
        if (msg.lParam) GlobalFree((HGLOBAL)msg.lParam);
}

INT_PTR CALLBACK TraceWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            InitTraceWindow(window);
            return FALSE;
        case WM_SIZE:
            MoveWindow(GetDlgItem(window, IDC_TRACE_LIST), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return TRUE;
        case WM_SYSCOMMAND:
            if (wParam != TRACE_PAUSE_COMMAND) return FALSE;
            traceRunning = !traceRunning;
            ShowPauseState();
            return TRUE;
        case WM_TRACE_LINE:
            AddTraceLine(window, (HGLOBAL)lParam);
            return TRUE;
        case WM_TRACE_SAVE:
            SaveTraceLines(window, (const char*)lParam);
            return TRUE;
        case WM_DESTROY:
            DropQueuedLines(window);
            return FALSE;
        default:
            return FALSE;
    }
}
