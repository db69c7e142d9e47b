// The dialog templates as the window system builds them from the module's
// resources. The layouts themselves are the resource script's; what is
// checked here are the rules every language must keep: the English
// controls with their ids, kinds and styles, a text wherever English has
// one (one accelerator at most), everything inside its dialog.
#include <stdio.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/posix_windows.h"
#include "test_support.h"
#include "ui/czoom.h"
#include "ui/resources/resource.h"

namespace {

// One control as the window system's picture of a dialog lists it.
struct Child {
    std::string kind;
    int id;
    std::string text;
    RECT rect;  // client pixels
};

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

std::string WindowText(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

DWORD StyleOf(HWND window) {
    return (DWORD)GetWindowLongA(window, GWL_STYLE);
}

class Templates : public FreshHome {
protected:
    HINSTANCE module = GetModuleHandleA(nullptr);

    void SetUp() override {
        FreshHome::SetUp();
        // The driver's attach hook may have registered it already.
        WNDCLASSA existing;
        ASSERT_TRUE(RegisterZoomControlClass(module) || GetClassInfoA(module, ZOOM_CLASS_NAME, &existing));
    }
    void TearDown() override {
        PosixResetWindows();
        FreshHome::TearDown();
    }

    HWND Open(int id) { return CreateDialogParamA(module, MAKEINTRESOURCEA(id), nullptr, QuietProc, 0); }

    static std::vector<Child> Children(HWND dialog) {
        std::vector<Child> children;
        std::istringstream lines(PosixDescribeWindow(dialog));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("  ", 0) != 0) continue;
            size_t open = line.find('"'), close = line.rfind('"');
            Child child;
            char kind[32];
            int x, y, w, h;
            if (sscanf(line.c_str(), "%31s %d", kind, &child.id) != 2 ||
                sscanf(line.c_str() + close + 1, " at %d,%d %dx%d", &x, &y, &w, &h) != 4)
                continue;
            child.kind = kind;
            child.text = line.substr(open + 1, close - open - 1);
            child.rect = {x, y, x + w, y + h};
            children.push_back(child);
        }
        return children;
    }
};

TEST_F(Templates, EveryLanguageHoldsTheEnglishControlsInsideItsDialog) {
    // English template id and caption of each set; the five other languages
    // follow every third id from 106 on, in the order of the ids.
    const struct {
        int english;
        const char* caption;
        int controls;
    } kSets[] = {
        {IDD_CAMERA_SETTINGS_ENGLISH, "Camera Settings", 21},
        {IDD_ADVANCED_SETTINGS_ENGLISH, "Advanced Camera Settings", 17},
        {IDD_VIDEO_FORMAT_ENGLISH, "Video Format", 23},
        {IDD_DRIVER_SETTINGS, "Video Capture Settings", 14},
    };
    const DWORD dialogStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    for (const auto& set : kSets) {
        HWND english = Open(set.english);
        ASSERT_NE(english, nullptr) << PosixLastProblem();
        EXPECT_EQ(WindowText(english), set.caption);
        std::vector<Child> englishChildren = Children(english);
        EXPECT_EQ((int)englishChildren.size(), set.controls) << set.caption;
        int languages = set.english == IDD_DRIVER_SETTINGS ? 1 : 6;
        for (int language = 0; language < languages; language++) {
            int id = set.english + 3 * language;
            SCOPED_TRACE("template " + std::to_string(id));
            HWND dialog = Open(id);
            ASSERT_NE(dialog, nullptr) << PosixLastProblem();
            EXPECT_FALSE(WindowText(dialog).empty());
            EXPECT_EQ(StyleOf(dialog) & 0xFFFF00FFu, dialogStyle);
            RECT client;
            GetClientRect(dialog, &client);
            std::vector<Child> children = Children(dialog);
            ASSERT_EQ(children.size(), englishChildren.size());
            for (size_t i = 0; i < children.size(); i++) {
                const Child &child = children[i], &model = englishChildren[i];
                SCOPED_TRACE("control " + std::to_string(i) + " " + model.text);
                EXPECT_EQ(child.id, model.id);
                EXPECT_EQ(child.kind, model.kind);
                EXPECT_GE(child.rect.left, 0);
                EXPECT_GE(child.rect.top, 0);
                EXPECT_LE(child.rect.right, client.right);
                EXPECT_LE(child.rect.bottom, client.bottom);
                EXPECT_EQ(child.text.empty(), model.text.empty()) << child.text;
                EXPECT_LE(std::count(child.text.begin(), child.text.end(), '&'), 1) << child.text;
                if (child.id == -1) continue;
                DWORD style = StyleOf(GetDlgItem(dialog, child.id));
                EXPECT_EQ(style, StyleOf(GetDlgItem(english, child.id)));
                EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), (DWORD)(WS_CHILD | WS_VISIBLE));
            }
            // The Video Format procedure's fourth depth choice is in no template.
            EXPECT_EQ(GetDlgItem(dialog, IDC_DEPTH_I420), nullptr);
            DestroyWindow(dialog);
        }
        DestroyWindow(english);
    }
}

TEST_F(Templates, TheTraceWindowIsAResizableFrameAroundOneUnsortedList) {
    HWND window = Open(IDD_TRACE_WINDOW);
    ASSERT_NE(window, nullptr) << PosixLastProblem();
    EXPECT_EQ(WindowText(window), "Driver Message Trace");
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
    EXPECT_EQ(StyleOf(window) & frame, frame);
    EXPECT_FALSE(IsWindowVisible(window)) << "its own procedure shows it";
    std::vector<Child> children = Children(window);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].id, IDC_TRACE_LIST);
    HWND list = GetDlgItem(window, IDC_TRACE_LIST);
    const DWORD listStyle = LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL;
    EXPECT_EQ(StyleOf(list) & listStyle, listStyle);
    // Lines keep the order they came in.
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b line"));
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a line"));
    char text[16] = "";
    SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "b line");
}

}  // namespace
