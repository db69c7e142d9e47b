// Scaffolding for window-system tests: a module of our own with a small
// resource script, a dialog procedure that logs what reaches it, and a clean
// window system around each test.
#ifndef TARN2_TESTS_WINDOWS_SUPPORT_H
#define TARN2_TESTS_WINDOWS_SUPPORT_H

#include <string.h>

#include <string>
#include <vector>

#include "platform/posix/posix_windows.h"
#include "test_support.h"

namespace testwin {

const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E570000));

const char kHeader[] =
    "#ifndef TEST_IDS\n"
    "#define TEST_IDS\n"
    "#define IDD_TEST 200\n"
    "#define IDD_SECOND 201\n"
    "#define IDC_SMALL 300\n"
    "#endif\n";

const char kScript[] =
    "#include <windows.h>\n"
    "#include \"test_ids.h\"\n"
    "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
    "IDD_TEST DIALOG DISCARDABLE 10, 10, 200, 150\n"
    "STYLE DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU\n"
    "CAPTION \"Test Dialog\"\n"
    "FONT 8, \"MS Sans Serif\"\n"
    "BEGIN\n"
    "    DEFPUSHBUTTON \"&OK\", IDOK, 10, 120, 50, 14, WS_GROUP\n"
    "    PUSHBUTTON \"&Cancel\", IDCANCEL, 70, 120, 50, 14, WS_GROUP\n"
    "    PUSHBUTTON \"&More\", 360, 130, 120, 50, 14, WS_GROUP\n"
    "    GROUPBOX \"Size\", IDC_STATIC, 5, 5, 80, 60, WS_GROUP\n"
    "    AUTORADIOBUTTON \"Small\", IDC_SMALL, 10, 15, 40, 10\n"
    "    AUTORADIOBUTTON \"Medium\", 301, 10, 27, 40, 10, NOT WS_TABSTOP\n"
    "    AUTORADIOBUTTON \"Large\", 302, 10, 39, 40, 10, NOT WS_TABSTOP\n"
    "    AUTORADIOBUTTON \"Other\", 303, 100, 15, 40, 10, WS_GROUP\n"
    "    AUTOCHECKBOX \"Backlit\", 310, 100, 30, 40, 10, WS_GROUP\n"
    "    EDITTEXT 320, 100, 45, 30, 12, ES_AUTOHSCROLL\n"
    "    SCROLLBAR 330, 10, 70, 80, 10\n"
    "    LISTBOX 340, 100, 60, 80, 40, WS_VSCROLL\n"
    "    LTEXT \"Caf\xE9\", 350, 10, 100, 40, 8\n"
    "END\n"
    "IDD_SECOND DIALOG 0, 0, 100, 50\n"
    "STYLE DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION\n"
    "CAPTION \"Second\"\n"
    "BEGIN\n"
    "    DEFPUSHBUTTON \"OK\", IDOK, 10, 30, 40, 14\n"
    "END\n"
    "VS_VERSION_INFO VERSIONINFO\n"
    " FILEVERSION 1,0,3,0\n"
    " PRODUCTVERSION 1,0,0,0\n"
    " FILEFLAGSMASK 0x3fL\n"
    " FILEOS VOS_NT_WINDOWS32\n"
    " FILETYPE VFT_DRV\n"
    " FILESUBTYPE VFT2_DRV_INSTALLABLE\n"
    "BEGIN\n"
    "    BLOCK \"StringFileInfo\"\n"
    "    BEGIN\n"
    "        BLOCK \"040904e4\"\n"
    "        BEGIN\n"
    "            VALUE \"FileVersion\", \"1.0.3.0\\0\"\n"
    "            VALUE \"OriginalFilename\", \"test.drv\\0\"\n"
    "            VALUE \"Comments\", \"\"\n"
    "        END\n"
    "    END\n"
    "    BLOCK \"VarFileInfo\"\n"
    "    BEGIN\n"
    "        VALUE \"Translation\", 0x409, 1252\n"
    "    END\n"
    "END\n";

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
        const char* includes[] = {"test_ids.h", kHeader};
        ASSERT_EQ(PosixRegisterResourceScript(kModule, "test.drv", kScript, strlen(kScript), includes, 1), 1)
            << PosixLastProblem();
    }
    void TearDown() override {
        PosixResetWindows();
        PosixUnregisterResourceScript(kModule);
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
