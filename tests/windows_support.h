// Window-system tests: a module with small compiled resources, a dialog procedure that logs what reaches it.
#ifndef TARN2_TESTS_WINDOWS_SUPPORT_H
#define TARN2_TESTS_WINDOWS_SUPPORT_H

#include <string.h>

#include <string>
#include <vector>

#include "platform/posix/posix_windows.h"
#include "test_support.h"

// windows_test.rc, compiled and embedded by the build.
extern const unsigned char tarn2_test_resources[];
extern const size_t tarn2_test_resources_size;

namespace testwin {

const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E570000));

// What reached the dialog procedure, one line per message of interest.
inline std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
}

inline std::string Entry(const char* what, long a, long b) {
    return std::string(what) + " " + std::to_string(a) + " " + std::to_string(b);
}

typedef std::vector<std::string> Lines;

inline std::string Text(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

inline std::string ItemText(HWND dialog, int id) {
    char text[256] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

inline std::string Show(RECT r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// A window class of the procedure, for the module (null: the process's).
inline WORD RegisterProc(const char* name, WNDPROC proc, HINSTANCE module = nullptr, UINT style = 0,
                         HBRUSH background = nullptr) {
    WNDCLASSA wc = {style, proc, 0, 0, module, nullptr, nullptr, background, nullptr, name};
    return RegisterClassA(&wc);
}

inline HWND Child(const char* className, HWND parent, int id, int x, int y, int width, int height,
                  DWORD style = WS_CHILD | WS_VISIBLE) {
    return CreateWindowExA(0, className, "", style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

// Logs commands and scrolls; OK ends with 1, Cancel with 2; button 360
// opens the second dialog modally.
inline INT_PTR CALLBACK LoggingProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            Log().push_back("init");
            return TRUE;
        case WM_COMMAND:
            Log().push_back(Entry("command", LOWORD(wParam), HIWORD(wParam)));
            if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
            if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 2);
            if (LOWORD(wParam) == 360)
                Log().push_back(Entry(
                    "second",
                    static_cast<long>(DialogBoxParamA(kModule, MAKEINTRESOURCEA(201), dialog, LoggingProc, 0)), 0));
            return TRUE;
        case WM_HSCROLL:
            Log().push_back(Entry("hscroll", LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam))) + " " +
                            std::to_string(GetDlgCtrlID(reinterpret_cast<HWND>(lParam))));
            return TRUE;
        case WM_TIMER:
            Log().push_back(Entry("timer", static_cast<long>(wParam), static_cast<long>(PosixClockNow())));
            return TRUE;
        default:
            if (msg >= WM_USER + 10 && msg < WM_USER + 100) {
                Log().push_back(Entry("user", static_cast<long>(msg - WM_USER), static_cast<long>(wParam)));
                return TRUE;
            }
            return FALSE;
    }
}

class WindowsTest : public FreshHome {
protected:
    void SetUp() override {
        FreshHome::SetUp();
        PosixResetWindows();
        Log().clear();
        ASSERT_EQ(PosixRegisterResources(kModule, "test.drv", tarn2_test_resources, tarn2_test_resources_size), 1)
            << PosixLastProblem();
    }
    void TearDown() override {
        PosixResetWindows();
        PosixUnregisterResources(kModule);
        FreshHome::TearDown();
    }
    HWND Modeless() { return CreateDialogParamA(kModule, MAKEINTRESOURCEA(200), nullptr, LoggingProc, 0); }
    int Count(const std::string& entry) const {
        int n = 0;
        for (const std::string& e : Log()) n += e == entry;
        return n;
    }
    bool Logged(const std::string& entry) const { return Count(entry) > 0; }
};

// A test on the logging dialog, opened modeless and settled, with its log
// cleared of the opening.
class OpenDialogTest : public WindowsTest {
protected:
    HWND dialog = nullptr;
    void SetUp() override {
        WindowsTest::SetUp();
        dialog = Modeless();
        ASSERT_TRUE(IsWindow(dialog));
        PosixRunMessages();
        Log().clear();
    }
};

}  // namespace testwin

#endif
