// Scaffolding for window-system tests: a module of our own with small
// compiled resources, a dialog procedure that logs what reaches it, and a clean
// window system around each test.
#ifndef TARN2_TESTS_WINDOWS_SUPPORT_H
#define TARN2_TESTS_WINDOWS_SUPPORT_H

#include <string.h>

#include <string>
#include <vector>

#include "platform/posix/posix_windows.h"
#include "test_support.h"

// The resources of the tests' module: windows_test.rc, compiled and
// embedded by the build.
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
    bool Logged(const std::string& entry) const {
        for (const std::string& e : Log())
            if (e == entry) return true;
        return false;
    }
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
