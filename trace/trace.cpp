// Trace output: lines go to the trace window by posted messages and, with
// the synchronous-log option, straight to "mbksynct.log", which is opened and
// closed for every line so that it is complete even if the host dies.
#include "trace.h"

#include "../ui/resources/resource.h"

#include <stdarg.h>

WORD DriverOptions = 0;
HWND traceWindow = NULL;
HINSTANCE traceModule = NULL;

static const char kSyncLogName[] = "mbksynct.log";
static const char kSaveFileName[] = "mbktrace.log";
static const DWORD kLineBlockSize = TRACE_LINE_MAX + 1;

int TraceOn(void) {
    return (DriverOptions & OPT_TRACE_ON) != 0;
}

BOOL TraceFilePath(const char* name, char* path) {
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    // A directory that does not fit (the answer is then the size it needs)
    // or a path that would not: no file, rather than one cut short or one
    // in the current directory.
    BOOL separator = length > 0 && length < MAX_PATH && path[length - 1] != '\\';
    if (length == 0 || length + (separator ? 1 : 0) + (UINT)lstrlenA(name) >= MAX_PATH) {
        path[0] = '\0';
        return FALSE;
    }
    if (separator) lstrcatA(path, "\\");
    lstrcatA(path, name);
    return TRUE;
}

// Writes text to a file in the Windows directory, from its start or at its end.
static void WriteLogFile(const char* name, const char* text, BOOL append) {
    char path[MAX_PATH];
    if (!TraceFilePath(name, path)) return;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    if (append) SetFilePointer(file, 0, NULL, FILE_END);
    DWORD written;
    WriteFile(file, text, (DWORD)lstrlenA(text), &written, NULL);
    CloseHandle(file);
}

static void TraceOpen(void) {
    BOOL created = FALSE;
    if (!traceWindow || !IsWindow(traceWindow)) {
        traceWindow =
            CreateDialogParamA(traceModule, MAKEINTRESOURCEA(IDD_TRACE_WINDOW), GetDesktopWindow(), TraceWindowProc, 0);
        created = traceWindow != NULL;
    }
    if (DriverOptions & OPT_SYNC_LOG) WriteLogFile(kSyncLogName, "MBKTARN2 NT4 Message Output\n", FALSE);
    // Both files have names of the same length: one line says it for both.
    char path[MAX_PATH];
    if (created && !TraceFilePath(kSaveFileName, path))
        trace(TRACE_MESSAGE, "Trace files cannot be written: the Windows directory's path is too long");
}

static void TraceMessage(const char* format, va_list args) {
    if (!traceWindow || !IsWindow(traceWindow)) return;
    HGLOBAL block = GlobalAlloc(GHND, kLineBlockSize);
    if (!block) return;
    char* line = (char*)GlobalLock(block);
    if (!line) {
        GlobalFree(block);
        return;
    }
    // wvsprintf may write up to 1024 bytes: format aside and keep what fits.
    char formatted[1025];
    wvsprintfA(formatted, format, args);
    lstrcpynA(line, formatted, (int)kLineBlockSize);
    if (DriverOptions & OPT_SYNC_LOG) {
        char withEnd[kLineBlockSize + 1];
        wsprintfA(withEnd, "%s\n", line);
        WriteLogFile(kSyncLogName, withEnd, TRUE);
    }
    GlobalUnlock(block);
    // From here the block is the window's; if it cannot be posted it is ours
    // to free, so no line leaks.
    if (!PostMessageA(traceWindow, WM_TRACE_LINE, 0, (LPARAM)block)) GlobalFree(block);
}

static void TraceEnd(void) {
    if (!traceWindow) return;
    char path[MAX_PATH];
    if (TraceFilePath(kSaveFileName, path)) {
        char question[MAX_PATH + 40];
        wsprintfA(question, "Save trace details to %s?", path);
        if (MessageBoxA(NULL, question, "Trace ends", MB_YESNO | MB_ICONQUESTION) == IDYES)
            SendMessageA(traceWindow, WM_TRACE_SAVE, 0, (LPARAM)path);
    }
    DestroyWindow(traceWindow);
    traceWindow = NULL;
}

int trace(int level, const char* format, ...) {
    if (!TraceOn()) return 1;
    switch (level) {
        case TRACE_OPEN:
            TraceOpen();
            break;
        case TRACE_MESSAGE: {
            va_list args;
            va_start(args, format);
            TraceMessage(format, args);
            va_end(args);
            break;
        }
        case TRACE_END:
            TraceEnd();
            break;
        default:
            break;
    }
    return 1;
}

const char* CompressionText(DWORD compression) {
    static char text[5];
    if (compression == 0) {
        lstrcpyA(text, "RGB");
    } else {
        text[0] = (char)(compression & 0xFF);
        text[1] = (char)((compression >> 8) & 0xFF);
        text[2] = (char)((compression >> 16) & 0xFF);
        text[3] = (char)((compression >> 24) & 0xFF);
        text[4] = '\0';
    }
    return text;
}
