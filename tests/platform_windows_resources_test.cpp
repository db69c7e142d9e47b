// Compiled resources: finding them, dialogs from classic and extended templates, malformed records refused,
// the version record, and the driver's own resources.
#include <algorithm>

#include "windows_support.h"

namespace testwin {
namespace {

typedef std::vector<unsigned char> Bytes;

const HINSTANCE kOther = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E580000));

// A resource file of one dialog template, number 1, after the empty entry that opens every such file.
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

Bytes created;  // the first four bytes of the creation data the last probe control got

LRESULT CALLBACK ProbeProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        auto* data = static_cast<const unsigned char*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        created = data ? Bytes(data, data + 4) : Bytes();
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
    // Makes a dialog from `data` as another module's template; "" when it was built, else the problem.
    std::string Build(const Bytes& data) {
        Bytes file = ResourceFile(data);
        EXPECT_EQ(PosixRegisterResources(kOther, nullptr, file.data(), file.size()), 1) << PosixLastProblem();
        PosixClearProblems();
        HWND dialog = CreateDialogParamA(kOther, MAKEINTRESOURCEA(1), nullptr, LoggingProc, 0);
        if (!dialog) return PosixLastProblem();
        DestroyWindow(dialog);
        return "";
    }
};

TEST_F(Resources, AResourceIsFoundByTypeNameAndLanguageAsWindowsFindsIt) {
    const WORD french = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HRSRC number = FindResourceA(kModule, MAKEINTRESOURCEA(200), RT_DIALOG);
    ASSERT_NE(number, nullptr);
    // clang-format off
    const struct { const char* what; const char* type; const char* name; int language /* -1: FindResourceA */; DWORD error; } rows[] = {
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
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetLastError(0);
        HRSRC found = row.language < 0 ? FindResourceA(kModule, row.name, row.type)
                                       : FindResourceExA(kModule, row.type, row.name, static_cast<WORD>(row.language));
        EXPECT_EQ((Results{found == nullptr, GetLastError(), found && SizeofResource(kModule, found) == 0}),
                  (Results{row.error != 0, row.error, 0}));
    }
    HRSRC plain = FindResourceA(kModule, MAKEINTRESOURCEA(210), RT_DIALOG);
    EXPECT_EQ((Results{FindResourceA(kModule, "#200", RT_DIALOG) == number,
                       FindResourceExA(kModule, RT_DIALOG, MAKEINTRESOURCEA(210), french) != plain,
                       FindResourceExA(kModule, RT_DIALOG, MAKEINTRESOURCEA(210), english) == plain}),
              (Results{1, 1, 1}));
    HWND dialog = CreateDialogParamA(kModule, MAKEINTRESOURCEA(210), nullptr, LoggingProc, 0);
    EXPECT_EQ(Text(dialog), "English");
    DestroyWindow(dialog);
    // The data is the compiled file's own bytes.
    Bytes data = Resource(kModule, MAKEINTRESOURCEA(200));
    const unsigned char* end = tarn2_test_resources + tarn2_test_resources_size;
    EXPECT_NE(std::search(tarn2_test_resources, end, data.begin(), data.end()), end);
    EXPECT_EQ(
        (Results{LoadResource(kModule, reinterpret_cast<HRSRC>(&data)) == nullptr, SizeofResource(kModule, nullptr)}),
        (Results{1, 0}));
}

TEST_F(Resources, AnExtendedTemplateGivesStylesThirtyTwoBitIdsClassesByNameAndCreationData) {
    ASSERT_NE(RegisterProc("ProbeClass", ProbeProc, kModule), 0);  // the class of its third control
    HWND dialog = CreateDialogParamA(kModule, MAKEINTRESOURCEA(202), nullptr, LoggingProc, 0);
    ASSERT_TRUE(IsWindow(dialog)) << PosixLastProblem();
    HWND frame = GetDlgItem(dialog, -1), control = GetDlgItem(dialog, 5);
    char className[32] = "";
    GetClassNameA(control, className, sizeof className);
    EXPECT_EQ(Text(dialog) + " " + Text(GetDlgItem(dialog, 4)) + " " + className, "Ex Go ProbeClass");
    // An extended template keeps 32-bit ids.
    EXPECT_EQ((Results{GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, GetDlgCtrlID(frame),
                       GetWindowLongA(frame, GWL_EXSTYLE) & WS_EX_STATICEDGE, GetWindowLongA(frame, GWL_STYLE) & 0xFF,
                       GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE,
                       GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP}),
              (Results{WS_EX_TOOLWINDOW, -1, WS_EX_STATICEDGE, SS_BLACKFRAME, WS_EX_CLIENTEDGE, WS_TABSTOP}));
    EXPECT_EQ(created, (Bytes{0x34, 0x12, 0x78, 0x56}));
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
    ASSERT_NE(RegisterProc("ProbeClass", ProbeProc, kOther), 0);
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
    // clang-format off
    const struct { const char* what; Bytes data; const char* problem; } rows[] = {
        {"cut in the header", Bytes(classic.begin(), classic.begin() + 10), "the template ends inside its header"},
        {"cut in the caption", Bytes(classic.begin(), classic.begin() + 26), "the template ends inside its header"},
        {"cut in its control", cut(classic, 4), "the template ends inside control 1"},
        {"more controls than it holds", withWord(classic, 8, 2), "the template ends inside control 2"},
        {"an unknown class number", withWord(classic, classAt, 0x99), "control 1 names the class number 0x0099, which is none of 0x0080 to 0x0085"},
        {"a menu", withMenu, "the template names a menu"},
        {"an extended template of version 2", withWord(extended, 0, 2), "an extended template of version 2"},
        {"cut in the font", Bytes(extended.begin(), extended.begin() + 40), "the template ends inside its font"},
        {"cut in creation data", cut(extended, 2), "the template ends inside control 3's creation data"},
    };
    // clang-format on
    for (const auto& row : rows)
        EXPECT_EQ(Build(row.data).rfind(std::string("dialog #1: ") + row.problem, 0), 0u)
            << row.what << ": " << PosixLastProblem();
}

// Two driver templates with a font and classes by name and number; each cut a block of its own, so a read
// past it is one past the allocation.
TEST_F(Resources, EveryCutOfADriverTemplateIsRefusedAndNeverReadPast) {
    for (int id : {102, 104}) {
        Bytes whole = Resource(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
        ASSERT_FALSE(whole.empty()) << id;
        for (size_t size = 0; size < whole.size(); ++size) {
            std::string problem = Build(Bytes(whole.begin(), whole.begin() + static_cast<long>(size)));
            ASSERT_EQ(problem.rfind("dialog #1: the template ends inside ", 0), 0u) << id << " cut to " << size;
        }
    }
}

TEST_F(Resources, AMalformedResourceFileIsRefusedAndEveryCutIsReadOrRefused) {
    Bytes file(tarn2_test_resources, tarn2_test_resources + tarn2_test_resources_size), wide = file;
    wide[38] = wide[39] = 0xFF;  // the second entry's header size
    // clang-format off
    const struct { const char* what; Bytes image; const char* problem; } rows[] = {
        {"cut in an entry's sizes", Bytes(file.begin(), file.begin() + 36), "resource entry 1 at byte 32 is cut short"},
        {"a header larger than the file", wide, "resource entry 1 at byte 32 has a header of 4294"},
        {"data past the end", Bytes(file.begin(), file.begin() + 100), "resource entry 1 at byte 32 has data that runs past the end of the file"},
    };
    // clang-format on
    for (const auto& row : rows) {
        EXPECT_EQ(PosixRegisterResources(kOther, nullptr, row.image.data(), row.image.size()), 0) << row.what;
        EXPECT_NE(std::string(PosixLastProblem()).find(row.problem), std::string::npos) << PosixLastProblem();
    }
    for (size_t size = 1; size < file.size(); ++size) {
        Bytes image(file.begin(), file.begin() + static_cast<long>(size));  // a block of its own
        PosixClearProblems();
        if (!PosixRegisterResources(kOther, nullptr, image.data(), image.size())) {
            EXPECT_NE(std::string(PosixLastProblem()).find(": resource entry "), std::string::npos) << size;
        }
    }
}

TEST_F(Resources, AControlOfAnUnknownClassFailsTheDialogAndSaysWhich) {
    int before = PosixTopLevelCount();
    EXPECT_EQ((Results{DialogBoxParamA(kModule, MAKEINTRESOURCEA(203), nullptr, LoggingProc, 0), PosixTopLevelCount()}),
              (Results{-1, before}));
    EXPECT_NE(std::string(PosixLastProblem()).find("NOSUCHCLASS"), std::string::npos) << PosixLastProblem();
    PosixUnregisterResources(kModule);
    EXPECT_EQ(FindResourceA(kModule, MAKEINTRESOURCEA(203), RT_DIALOG), nullptr);
}

TEST_F(Resources, TheVersionRecordAnswersItsStringsTranslationAndFixedPart) {
    DWORD handle = 99, size = GetFileVersionInfoSizeA("/some/where/TEST.DRV", &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA("test.drv", 0, size, block.data()));
    // clang-format off
    const struct { const char* key; const char* value /* null: not there */; UINT length /* characters with the end */; } rows[] = {
        {"\\StringFileInfo\\040904e4\\FileVersion", "1.0.3.0", 8},
        {"\\StringFileInfo\\040904E4\\originalfilename", "test.drv", 9},
        {"\\StringFileInfo\\040904e4\\LegalCopyright", "\xA9 T\xE9st", 7},
        {"\\StringFileInfo\\040904e4\\Comments", "", 1},
        {"\\StringFileInfo\\040904e4\\ProductName", nullptr, 0},
        {"\\StringFileInfo\\0407\\FileVersion", nullptr, 0},
    };
    // clang-format on
    for (const auto& row : rows) {
        char* value = nullptr;
        UINT length = 99;
        SCOPED_TRACE(row.key);
        EXPECT_EQ((Results{VerQueryValueA(block.data(), row.key, (LPVOID*)&value, &length), length}),
                  (Results{row.value != nullptr, row.length}));
        EXPECT_STREQ(row.value ? value : nullptr, row.value);
    }
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (LPVOID*)&translation, &length));
    EXPECT_EQ((Results{length, translation[0], translation[1]}), (Results{4, 0x409, 1252}));
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (LPVOID*)&fixed, &length));
    EXPECT_EQ((Results{length, fixed->dwSignature, fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwFileType}),
              (Results{sizeof(VS_FIXEDFILEINFO), VS_FFI_SIGNATURE, 0x00010000, 0x00030000, 3}));
    // A buffer too small takes the record cut to it: the fixed part, not the texts.
    std::vector<char> small(100);
    ASSERT_TRUE(GetFileVersionInfoA("test.drv", 0, small.size(), small.data()));
    char junk[64] = "not a version block";
    EXPECT_EQ(
        (Results{VerQueryValueA(small.data(), "\\", (LPVOID*)&fixed, &length),
                 VerQueryValueA(small.data(), "\\StringFileInfo\\040904e4\\FileVersion", (LPVOID*)&fixed, &length),
                 GetFileVersionInfoSizeA("other.dll", &handle), GetLastError(),
                 VerQueryValueA(junk, "\\", (LPVOID*)&fixed, &length)}),
        (Results{1, 0, 0, ERROR_FILE_NOT_FOUND, 0}));
}

// Their contents are the template tests' business; here, that each is the compiled file's bytes.
TEST_F(Resources, TheDriversResourcesAreTheBytesTheBuildCompiled) {
    std::string res = ReadFileText(BinFolder() + "/../generated/tarn2.res");
    ASSERT_FALSE(res.empty());
    HMODULE self = GetModuleHandleA(nullptr);
    for (int id = 101; id <= 121; ++id) {
        Bytes data = id <= 120 ? Resource(self, MAKEINTRESOURCEA(id)) : Resource(self, MAKEINTRESOURCEA(1), RT_VERSION);
        ASSERT_FALSE(data.empty()) << id;
        EXPECT_NE(res.find(std::string(data.begin(), data.end())), std::string::npos) << id;
    }
}

}  // namespace
}  // namespace testwin
