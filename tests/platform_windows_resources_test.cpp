// Compiled resources: finding them by type, name and language, dialogs
// built from binary templates (classic and extended), texts in the ANSI
// code page, malformed records refused, the version record, and the
// driver's own resources as the build compiled them.
#include <stdlib.h>

#include <algorithm>

#include "windows_support.h"

namespace testwin {
namespace {

typedef std::vector<unsigned char> Bytes;

const HINSTANCE kOther = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E580000));

// A resource file holding one dialog template, number 1: the empty entry
// that opens every such file, then the template's header and bytes.
Bytes ResourceFile(const Bytes& data) {
    Bytes file = {0, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    file.resize(32);
    unsigned char low = static_cast<unsigned char>(data.size()), high = static_cast<unsigned char>(data.size() >> 8);
    Bytes header = {low,  high, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 5,    0,
                    0xFF, 0xFF, 1, 0, 0,  0, 0, 0, 0x30, 0x10, 0x09, 0x04};
    header.resize(32);
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

Bytes Resource(HMODULE module, const char* name, const char* type = RT_DIALOG) {
    HRSRC found = FindResourceA(module, name, type);
    const unsigned char* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    return data ? Bytes(data, data + SizeofResource(module, found)) : Bytes();
}

// The first four bytes of the creation data the last probe control got.
Bytes& Created() {
    static Bytes created;
    return created;
}

LRESULT CALLBACK ProbeProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        auto* data = static_cast<const unsigned char*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        Created() = data ? Bytes(data, data + 4) : Bytes();
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

class Resources : public WindowsTest {
protected:
    void TearDown() override {
        UnregisterClassA("ProbeClass", kModule);
        UnregisterClassA("ProbeClass", kOther);
        PosixUnregisterResources(kOther);
        WindowsTest::TearDown();
    }
    // The class of the extended template's third control, for a module.
    void RegisterProbe(HINSTANCE module) {
        WNDCLASSA probe = {};
        probe.lpszClassName = "ProbeClass";
        probe.hInstance = module;
        probe.lpfnWndProc = ProbeProc;
        ASSERT_TRUE(RegisterClassA(&probe));
    }
    // Makes a dialog from `data` as the template of another module; ""
    // when it was built, else the problem reported.
    std::string Build(const Bytes& data) {
        Bytes file = ResourceFile(data);
        EXPECT_EQ(PosixRegisterResources(kOther, nullptr, file.data(), file.size()), 1) << PosixLastProblem();
        PosixClearProblems();
        HWND dialog = CreateDialogParamA(kOther, MAKEINTRESOURCEA(1), nullptr, LoggingProc, 0);
        if (!dialog) return PosixLastProblem();
        DestroyWindow(dialog);
        return "";
    }
    std::string Text(HWND window) {
        char text[128];
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
};

TEST_F(Resources, AResourceIsFoundByTypeNameAndLanguageAsWindowsFindsIt) {
    const WORD french = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HRSRC number = FindResourceA(kModule, MAKEINTRESOURCEA(200), RT_DIALOG);
    ASSERT_NE(number, nullptr);
    struct Row {
        const char* what;
        const char* type;
        const char* name;
        int language;  // -1: FindResourceA
        DWORD error;   // 0: found
    } rows[] = {
        {"a number", RT_DIALOG, MAKEINTRESOURCEA(200), -1, 0},
        {"a number written #200", RT_DIALOG, "#200", -1, 0},
        {"a name in another case", RT_DIALOG, "named", -1, 0},
        {"the version record", RT_VERSION, MAKEINTRESOURCEA(1), -1, 0},
        {"French, asked for", RT_DIALOG, MAKEINTRESOURCEA(210), french, 0},
        {"neutral: the user's language", RT_DIALOG, MAKEINTRESOURCEA(210), 0, 0},
        {"a language it is not in", RT_DIALOG, MAKEINTRESOURCEA(210), MAKELANGID(7, 1), ERROR_RESOURCE_LANG_NOT_FOUND},
        {"a name that is none", RT_DIALOG, MAKEINTRESOURCEA(299), -1, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"a type that is none", MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(200), -1, ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetLastError(0);
        HRSRC found = row.language < 0 ? FindResourceA(kModule, row.name, row.type)
                                       : FindResourceExA(kModule, row.type, row.name, static_cast<WORD>(row.language));
        EXPECT_EQ(found == nullptr, row.error != 0);
        EXPECT_EQ(GetLastError(), row.error);
        if (found) {
            EXPECT_GT(SizeofResource(kModule, found), 0u);
        }
    }
    EXPECT_EQ(FindResourceA(kModule, "#200", RT_DIALOG), number);
    HRSRC inFrench = FindResourceExA(kModule, RT_DIALOG, MAKEINTRESOURCEA(210), french);
    EXPECT_NE(inFrench, FindResourceA(kModule, MAKEINTRESOURCEA(210), RT_DIALOG));
    EXPECT_EQ(FindResourceExA(kModule, RT_DIALOG, MAKEINTRESOURCEA(210), english),
              FindResourceA(kModule, MAKEINTRESOURCEA(210), RT_DIALOG));
    HWND dialog = CreateDialogParamA(kModule, MAKEINTRESOURCEA(210), nullptr, LoggingProc, 0);
    EXPECT_EQ(Text(dialog), "English");
    DestroyWindow(dialog);
    // The data is the compiled file's own bytes.
    Bytes data = Resource(kModule, MAKEINTRESOURCEA(200));
    const unsigned char* end = tarn2_test_resources + tarn2_test_resources_size;
    EXPECT_NE(std::search(tarn2_test_resources, end, data.begin(), data.end()), end);
    EXPECT_EQ(LoadResource(kModule, reinterpret_cast<HRSRC>(&data)), nullptr);
    EXPECT_EQ(SizeofResource(kModule, nullptr), 0u);
}

TEST_F(Resources, AnExtendedTemplateGivesStylesThirtyTwoBitIdsClassesByNameAndCreationData) {
    RegisterProbe(kModule);
    HWND dialog = CreateDialogParamA(kModule, MAKEINTRESOURCEA(202), nullptr, LoggingProc, 0);
    ASSERT_TRUE(IsWindow(dialog)) << PosixLastProblem();
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(Text(dialog), "Ex");
    HWND frame = GetDlgItem(dialog, -1);
    EXPECT_EQ(GetDlgCtrlID(frame), -1) << "an extended template keeps 32-bit ids";
    EXPECT_TRUE(GetWindowLongA(frame, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_EQ(GetWindowLongA(frame, GWL_STYLE) & 0xFF, SS_BLACKFRAME);
    EXPECT_EQ(Text(GetDlgItem(dialog, 4)), "Go");
    HWND control = GetDlgItem(dialog, 5);
    char className[32];
    GetClassNameA(control, className, sizeof className);
    EXPECT_STREQ(className, "ProbeClass");
    EXPECT_TRUE(GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(Created(), (Bytes{0x34, 0x12, 0x78, 0x56}));
    DestroyWindow(dialog);
    // A classic template's ids are 16 bits.
    dialog = Modeless();
    EXPECT_NE(GetDlgItem(dialog, 0xFFFF), nullptr);
}

TEST_F(Resources, TextsComeInTheAnsiCodePageWithAQuestionMarkForWhatItLacks) {
    HWND dialog = CreateDialogParamA(kModule, "Named", nullptr, LoggingProc, 0);
    ASSERT_TRUE(IsWindow(dialog)) << PosixLastProblem();
    EXPECT_EQ(Text(dialog), "Caf\xE9 ?\x80 ?");
    EXPECT_EQ(Text(GetDlgItem(dialog, 6)), "\x91quoted\x92");
    EXPECT_EQ(Text(GetDlgItem(Modeless(), 350)), "Caf\xE9");
}

TEST_F(Resources, AMalformedTemplateIsRefusedWithWhatIsWrong) {
    const Bytes classic = Resource(kModule, MAKEINTRESOURCEA(201));
    const Bytes extended = Resource(kModule, MAKEINTRESOURCEA(202));
    ASSERT_FALSE(classic.empty());
    ASSERT_FALSE(extended.empty());
    RegisterProbe(kOther);
    ASSERT_EQ(Build(classic), "");
    ASSERT_EQ(Build(extended), "");
    auto cut = [](Bytes b, size_t drop) { return Bytes(b.begin(), b.end() - static_cast<long>(drop)); };
    auto withWord = [](Bytes b, size_t at, WORD value) {
        b[at] = static_cast<unsigned char>(value);
        b[at + 1] = static_cast<unsigned char>(value >> 8);
        return b;
    };
    // The class number of the classic template's one control follows its
    // 0xFFFF mark; its menu is the header's word at 18.
    const unsigned char button[] = {0xFF, 0xFF, 0x80, 0x00};
    size_t classAt = std::search(classic.begin(), classic.end(), button, button + 4) - classic.begin() + 2;
    Bytes withMenu = classic;
    withMenu.insert(withMenu.begin() + 18, {0xFF, 0xFF});
    withMenu = withWord(withMenu, 20, 7);
    struct Row {
        const char* what;
        Bytes data;
        const char* problem;
    } rows[] = {
        {"cut in the header", Bytes(classic.begin(), classic.begin() + 10), "the template ends inside its header"},
        {"cut in the caption", Bytes(classic.begin(), classic.begin() + 26), "the template ends inside its header"},
        {"cut in its control", cut(classic, 4), "the template ends inside control 1"},
        {"more controls than it holds", withWord(classic, 8, 2), "the template ends inside control 2"},
        {"an unknown class number", withWord(classic, classAt, 0x99),
         "control 1 names the class number 0x0099, which is none of 0x0080 to 0x0085"},
        {"a menu", withMenu, "the template names a menu"},
        {"an extended template of version 2", withWord(extended, 0, 2), "an extended template of version 2"},
        {"cut in the font", Bytes(extended.begin(), extended.begin() + 40), "the template ends inside its font"},
        {"cut in creation data", cut(extended, 2), "the template ends inside control 3's creation data"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Build(row.data).rfind(std::string("dialog #1: ") + row.problem, 0), 0u) << PosixLastProblem();
    }
}

TEST_F(Resources, EveryCutOfADriverTemplateIsRefusedAndNeverReadPast) {
    HMODULE self = GetModuleHandleA(nullptr);
    // The trace window (a font, a class by name) and Advanced Camera
    // Settings (classes by number and the pan and tilt control's by name).
    for (int id : {102, 104}) {
        Bytes whole = Resource(self, MAKEINTRESOURCEA(id));
        ASSERT_FALSE(whole.empty()) << id;
        for (size_t size = 0; size < whole.size(); ++size) {
            // Each cut is a block of its own, so that a read past it is one
            // past the allocation.
            std::string problem = Build(Bytes(whole.begin(), whole.begin() + static_cast<long>(size)));
            ASSERT_EQ(problem.rfind("dialog #1: the template ends inside ", 0), 0u) << id << " cut to " << size;
        }
    }
}

TEST_F(Resources, AMalformedResourceFileIsRefusedAndEveryCutIsReadOrRefused) {
    Bytes file(tarn2_test_resources, tarn2_test_resources + tarn2_test_resources_size);
    Bytes wide = file;
    wide[38] = wide[39] = 0xFF;  // the second entry's header size
    struct Row {
        const char* what;
        Bytes image;
        const char* problem;
    } rows[] = {
        {"cut in an entry's sizes", Bytes(file.begin(), file.begin() + 36), "resource entry 1 at byte 32 is cut short"},
        {"a header larger than the file", wide, "resource entry 1 at byte 32 has a header of 4294"},
        {"data past the end", Bytes(file.begin(), file.begin() + 100),
         "resource entry 1 at byte 32 has data that runs past the end of the file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(PosixRegisterResources(kOther, nullptr, row.image.data(), row.image.size()), 0);
        EXPECT_NE(std::string(PosixLastProblem()).find(row.problem), std::string::npos) << PosixLastProblem();
    }
    for (size_t size = 1; size < file.size(); ++size) {
        Bytes image(file.begin(), file.begin() + static_cast<long>(size));
        PosixClearProblems();
        if (!PosixRegisterResources(kOther, nullptr, image.data(), image.size())) {
            EXPECT_NE(std::string(PosixLastProblem()).find(": resource entry "), std::string::npos) << size;
        }
    }
}

TEST_F(Resources, AControlOfAnUnknownClassFailsTheDialogAndSaysWhich) {
    size_t before = PosixTopLevelCount();
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(203), nullptr, LoggingProc, 0), -1);
    EXPECT_NE(std::string(PosixLastProblem()).find("NOSUCHCLASS"), std::string::npos) << PosixLastProblem();
    EXPECT_EQ(static_cast<size_t>(PosixTopLevelCount()), before);
    PosixUnregisterResources(kModule);
    EXPECT_EQ(FindResourceA(kModule, MAKEINTRESOURCEA(203), RT_DIALOG), nullptr);
}

TEST_F(Resources, TheVersionRecordAnswersItsStringsTranslationAndFixedPart) {
    DWORD handle = 99;
    DWORD size = GetFileVersionInfoSizeA("/some/where/TEST.DRV", &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA("test.drv", 0, size, block.data()));
    struct Row {
        const char* key;
        const char* value;  // null: not there
        UINT length;        // as the record holds it: characters with the end
    } rows[] = {
        {"\\StringFileInfo\\040904e4\\FileVersion", "1.0.3.0", 8},
        {"\\StringFileInfo\\040904E4\\originalfilename", "test.drv", 9},
        {"\\StringFileInfo\\040904e4\\LegalCopyright", "\xA9 T\xE9st", 7},
        {"\\StringFileInfo\\040904e4\\Comments", "", 1},
        {"\\StringFileInfo\\040904e4\\ProductName", nullptr, 0},
        {"\\StringFileInfo\\0407\\FileVersion", nullptr, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        char* value = nullptr;
        UINT length = 99;
        EXPECT_EQ(VerQueryValueA(block.data(), row.key, (LPVOID*)&value, &length), row.value != nullptr);
        if (row.value) {
            EXPECT_STREQ(value, row.value);
        }
        EXPECT_EQ(length, row.length);
    }
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (LPVOID*)&translation, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x409);
    EXPECT_EQ(translation[1], 1252);
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (LPVOID*)&fixed, &length));
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030000u);
    EXPECT_EQ(fixed->dwFileType, 3u);
    // A buffer too small takes the record cut to it: the fixed part, not the texts.
    std::vector<char> small(100);
    ASSERT_TRUE(GetFileVersionInfoA("test.drv", 0, small.size(), small.data()));
    EXPECT_TRUE(VerQueryValueA(small.data(), "\\", (LPVOID*)&fixed, &length));
    EXPECT_FALSE(VerQueryValueA(small.data(), "\\StringFileInfo\\040904e4\\FileVersion", (LPVOID*)&fixed, &length));
    EXPECT_EQ(GetFileVersionInfoSizeA("other.dll", &handle), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    char junk[64] = "not a version block";
    EXPECT_FALSE(VerQueryValueA(junk, "\\", (LPVOID*)&fixed, &length));
}

TEST_F(Resources, TheDriversResourcesAreTheBytesTheBuildCompiled) {
    std::string res = ReadFileText(BinFolder() + "/../generated/tarn2.res");
    ASSERT_FALSE(res.empty());
    HMODULE self = GetModuleHandleA(nullptr);
    for (int id = 101; id <= 121; ++id) {
        SCOPED_TRACE(id);
        Bytes data = id <= 120 ? Resource(self, MAKEINTRESOURCEA(id)) : Resource(self, MAKEINTRESOURCEA(1), RT_VERSION);
        ASSERT_FALSE(data.empty());
        EXPECT_NE(res.find(std::string(data.begin(), data.end())), std::string::npos);
    }
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(self, path, sizeof path), 0u);
    std::vector<char> block(GetFileVersionInfoSizeA(path, nullptr));
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, block.size(), block.data()));
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
