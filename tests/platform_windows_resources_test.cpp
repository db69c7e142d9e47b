// Resource scripts: what the reader accepts, how it reports a malformed
// script, the version record, and the driver's own embedded script.
#include "windows_support.h"

namespace testwin {
namespace {

class Resources : public WindowsTest {
protected:
    // Checks a script; returns "" when it parses, else the message.
    std::string Check(const std::string& script, const char* header = nullptr) {
        const char* includes[] = {"ids.h", header};
        char error[256] = "";
        int ok = PosixCheckResourceScript("bad.rc", script.data(), script.size(), includes, header ? 1 : 0, error,
                                          sizeof error);
        return ok ? "" : error;
    }
};

TEST_F(Resources, AMalformedScriptIsRefusedWithTheFileAndLineOfTheFault) {
    const std::string head = "1 DIALOG 0, 0, 10, 10\nBEGIN\n";
    EXPECT_EQ(Check(head + "  LTEXT \"a\", 5, 1, 2, 3, 4\nEND\n"), "");
    EXPECT_EQ(Check(head + "  LTEXT \"a\", 5, 1, 2, 3, 4\n"), "bad.rc(1): dialog 1 has no END");
    EXPECT_EQ(Check(head + "  LTEXT \"a\", 5, 1, 2, 3\nEND\n"), "bad.rc(4): expected a comma, found END");
    EXPECT_EQ(Check(head + "  SLIDER 5, 1, 2, 3, 4\nEND\n"), "bad.rc(3): unknown control statement SLIDER");
    EXPECT_EQ(Check(head + "  LTEXT \"open, 5, 1, 2, 3, 4\nEND\n"), "bad.rc(3): string not closed on its line");
    EXPECT_EQ(Check(head + "  LTEXT \"a\", IDC_NOWHERE, 1, 2, 3, 4\nEND\n"), "bad.rc(3): unknown name IDC_NOWHERE");
    EXPECT_EQ(Check(head + "  LTEXT \"a\", 99999999999, 1, 2, 3, 4\nEND\n"),
              "bad.rc(3): number 99999999999 is too large");
    EXPECT_EQ(Check("#include \"missing.h\"\n"), "bad.rc(1): cannot find the include file missing.h");
    EXPECT_EQ(Check("#ifdef X\n1 DIALOG 0,0,1,1\n"), "bad.rc(3): #if without #endif before the end of the file");
    EXPECT_EQ(Check("#endif\n"), "bad.rc(1): #endif without #if");
    EXPECT_EQ(Check("#define F(x) x\n"), "bad.rc(1): macros with parameters are not supported (F)");
    EXPECT_EQ(Check("#define A A\n1 DIALOG A, 0, 1, 1\n").find("bad.rc(2): macro A expands into itself"), 0u);
    EXPECT_EQ(Check("/* never closed\n1 DIALOG 0,0,1,1\n"), "bad.rc(1): comment not closed before the end of the file");
    EXPECT_EQ(Check("1 DIALOG 0, 0, 10, 10 CAPTION 5\nBEGIN\nEND\n"), "bad.rc(1): CAPTION needs a string");
    EXPECT_EQ(Check("1 VERSIONINFO\nBEGIN\nBLOCK \"x\"\nBEGIN\nVALUE \"a\", \"b\"\n"),
              "bad.rc(4): BEGIN without END in VERSIONINFO");
    EXPECT_EQ(Check("1 DIALOG 0, 0, 1, 1 / 0\nBEGIN\nEND\n"), "bad.rc(1): division by 0");
    EXPECT_EQ(Check("1 DIALOG 0, 0, ((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((1\n")
                  .find("bad.rc(1): expression nested too deeply"),
              0u);
    EXPECT_EQ(Check("IDD_X\n"), "bad.rc(1): resource IDD_X has no type");
    EXPECT_EQ(Check("1 BITMAP\n"), "bad.rc(1): resource type BITMAP has neither a file name nor a BEGIN block");
}

TEST_F(Resources, EveryCutOfTheDriverScriptIsEitherReadOrRefusedWithALine) {
    std::string here = __FILE__;
    std::string root = here.substr(0, here.rfind("/tests/"));
    std::string script = ReadFileText(root + "/ui/resources/tarn2.rc");
    std::string header = ReadFileText(root + "/ui/resources/resource.h");
    ASSERT_FALSE(script.empty());
    const char* includes[] = {"resource.h", header.c_str()};
    char error[256];
    ASSERT_EQ(PosixCheckResourceScript("tarn2.rc", script.data(), script.size(), includes, 1, error, sizeof error), 1)
        << error;
    for (size_t cut = 0; cut < script.size(); cut += 163) {
        error[0] = '\0';
        if (!PosixCheckResourceScript("tarn2.rc", script.data(), cut, includes, 1, error, sizeof error)) {
            EXPECT_EQ(std::string(error).rfind("tarn2.rc(", 0), 0u) << "cut at " << cut << ": " << error;
        }
    }
}

TEST_F(Resources, StatementsTakeTheResourceCompilersDefaultsAndNotRemovesBits) {
    const char script[] =
        "7 DIALOG 0, 0, 50, 50\n"
        "CAPTION \"c\"\n"
        "BEGIN\n"
        "  LTEXT \"t\", 1, 0, 0, 5, 5\n"
        "  LTEXT \"t\", 2, 0, 0, 5, 5, NOT WS_GROUP\n"
        "  EDITTEXT 3, 0, 0, 5, 5, ES_AUTOHSCROLL | NOT WS_BORDER\n"
        "  CONTROL \"\", 4, \"Button\", BS_AUTOCHECKBOX | NOT WS_VISIBLE, 0, 0, 5, 5\n"
        "  PUSHBUTTON \"p\", 5, 0, 0, 5, 5, WS_DISABLED\n"
        "END\n";
    HINSTANCE other = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E580000));
    ASSERT_EQ(PosixRegisterResourceScript(other, nullptr, script, strlen(script), nullptr, 0), 1);
    HWND dialog = CreateDialogParamA(other, MAKEINTRESOURCEA(7), nullptr, LoggingProc, 0);
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)) & (WS_POPUP | WS_CAPTION | WS_SYSMENU),
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, 1), GWL_STYLE) & WS_GROUP);
    EXPECT_FALSE(GetWindowLongA(GetDlgItem(dialog, 2), GWL_STYLE) & WS_GROUP);
    LONG edit = GetWindowLongA(GetDlgItem(dialog, 3), GWL_STYLE);
    EXPECT_EQ(edit & (WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL), static_cast<LONG>(WS_TABSTOP | ES_AUTOHSCROLL));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 4)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 5)));
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, 5), GWL_STYLE) & WS_TABSTOP);
    DestroyWindow(dialog);
    PosixUnregisterResourceScript(other);
    EXPECT_EQ(FindResourceA(other, MAKEINTRESOURCEA(7), RT_DIALOG), nullptr);
}

TEST_F(Resources, AControlOfAnUnknownClassFailsTheDialogAndSaysWhich) {
    const char script[] = "8 DIALOG 0, 0, 50, 50\nBEGIN\n  CONTROL \"z\", 1158, \"nosuchclass\", 0, 0, 0, 5, 5\nEND\n";
    HINSTANCE other = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E590000));
    ASSERT_EQ(PosixRegisterResourceScript(other, nullptr, script, strlen(script), nullptr, 0), 1);
    size_t before = PosixTopLevelCount();
    EXPECT_EQ(DialogBoxParamA(other, MAKEINTRESOURCEA(8), nullptr, LoggingProc, 0), -1);
    EXPECT_NE(std::string(PosixLastProblem()).find("nosuchclass"), std::string::npos);
    EXPECT_EQ(static_cast<size_t>(PosixTopLevelCount()), before);
    PosixUnregisterResourceScript(other);
}

TEST_F(Resources, TheVersionRecordAnswersItsStringsTranslationAndFixedPart) {
    DWORD handle = 99;
    DWORD size = GetFileVersionInfoSizeA("/some/where/TEST.DRV", &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA("test.drv", 0, size, block.data()));
    EXPECT_FALSE(GetFileVersionInfoA("test.drv", 0, size - 1, block.data()));
    char* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904e4\\FileVersion", (LPVOID*)&value, &length));
    EXPECT_STREQ(value, "1.0.3.0");
    EXPECT_EQ(length, 8u);
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\originalfilename", (LPVOID*)&value, &length));
    EXPECT_STREQ(value, "test.drv");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904e4\\Comments", (LPVOID*)&value, &length));
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904e4\\ProductName", (LPVOID*)&value, &length));
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (LPVOID*)&translation, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x409);
    EXPECT_EQ(translation[1], 1252);
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (LPVOID*)&fixed, &length));
    EXPECT_EQ(fixed->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030000u);
    EXPECT_EQ(fixed->dwFileType, 3u);
    EXPECT_EQ(GetFileVersionInfoSizeA("other.dll", &handle), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    char junk[64] = "not a version block";
    EXPECT_FALSE(VerQueryValueA(junk, "\\", (LPVOID*)&fixed, &length));
}

TEST_F(Resources, TheDriversOwnScriptIsEmbeddedWithEveryTemplateAndTheVersionRecord) {
    HMODULE self = GetModuleHandleA(nullptr);
    for (int id : {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120})
        EXPECT_NE(FindResourceA(self, MAKEINTRESOURCEA(id), RT_DIALOG), nullptr) << id;
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(self, path, sizeof path), 0u);
    DWORD size = GetFileVersionInfoSizeA(path, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));
    char* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904e4\\FileVersion", (LPVOID*)&value, &length));
    EXPECT_STREQ(value, "1.0.3.0");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904e4\\OriginalFilename", (LPVOID*)&value, &length));
    EXPECT_STREQ(value, "mbktarn2u.drv");
}

int LookAtDriverSettings(HWND dialog, void* context) {
    std::string* seen = static_cast<std::string*>(context);
    if (!seen->empty()) return 0;
    *seen = PosixDescribeWindow(dialog);
    return PosixClick(dialog, IDOK);
}

TEST_F(Resources, TheDriverSettingsTemplateOpensWithItsControlsAndTexts) {
    std::string seen;
    PosixSetDialogHook(LookAtDriverSettings, &seen);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101), nullptr, LoggingProc, 0), 1);
    EXPECT_EQ(seen.rfind("dialog \"Video Capture Settings\"", 0), 0u) << seen;
    EXPECT_NE(seen.find("static 1100 \"Retrieving Camera Details, please wait...\""), std::string::npos) << seen;
    EXPECT_NE(seen.find("defbutton 1 \"OK\""), std::string::npos) << seen;
}

}  // namespace
}  // namespace testwin
