// The resource script as the window system builds it from the module's
// resources: every dialog template in each of its languages and the trace
// window's template (tarncap --version reads the version record).
#include <stdio.h>
#include <strings.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/posix_windows.h"
#include "test_support.h"
#include "ui/czoom.h"
#include "ui/resources/resource.h"

namespace {

// A control of an English template, rectangle in dialog units.
struct ControlSpec {
    int id;  // -1 for a control without id
    const char* className;
    DWORD type;   // the style's type bits, or ES_AUTOHSCROLL for edits
    DWORD flags;  // WS_GROUP and WS_TABSTOP
    const char* text;
    int x, y, width, height;
};

// A template: caption (Windows-1252) and place and size in dialog units.
struct TemplateSpec {
    int id;
    const char* caption;
    int x, y, width, height;
};

const DWORD GROUP = WS_GROUP, TAB = WS_TABSTOP, BOTH = WS_GROUP | WS_TABSTOP;

// The English layouts, in template order.
// clang-format off
const ControlSpec kCameraSettingsLayout[] = {
    {1, "Button", BS_DEFPUSHBUTTON, BOTH, "&OK", 28, 218, 50, 14},
    {2, "Button", BS_PUSHBUTTON, BOTH, "&Cancel", 84, 218, 50, 14},
    {-1, "Button", BS_GROUPBOX, GROUP, "Settings", 9, 4, 140, 64},
    {-1, "Static", SS_LEFT, GROUP, "&Brightness", 22, 18, 35, 10},
    {1000, "ScrollBar", SBS_HORZ, 0, "", 60, 18, 56, 10},
    {1001, "Edit", ES_AUTOHSCROLL, TAB, "", 124, 17, 19, 12},
    {-1, "Static", SS_LEFT, GROUP, "Con&trast", 22, 33, 35, 10},
    {1004, "ScrollBar", SBS_HORZ, 0, "", 60, 33, 56, 10},
    {1005, "Edit", ES_AUTOHSCROLL, TAB, "", 124, 32, 19, 12},
    {1006, "Static", SS_LEFT, GROUP, "Colo&r", 22, 48, 35, 10},
    {1002, "ScrollBar", SBS_HORZ, 0, "", 60, 48, 56, 10},
    {1003, "Edit", ES_AUTOHSCROLL, TAB, "", 124, 47, 19, 12},
    {-1, "Button", BS_GROUPBOX, GROUP, "Compression Control", 9, 74, 140, 114},
    {1008, "Button", BS_AUTORADIOBUTTON, TAB, "Optimize for Video &Preview", 14, 151, 114, 10},
    {1009, "Button", BS_AUTORADIOBUTTON, 0, "Optimize for Video &Conference", 14, 167, 114, 10},
    {-1, "Static", SS_LEFT, GROUP, "&Faster Video", 19, 110, 42, 8},
    {1010, "ScrollBar", SBS_HORZ, TAB, "", 37, 93, 86, 10},
    {-1, "Static", SS_LEFT, GROUP, "Better &Quality", 98, 111, 48, 10},
    {1014, "Button", BS_PUSHBUTTON, BOTH, "Reset &Defaults", 12, 196, 66, 14},
    {1015, "Button", BS_PUSHBUTTON, BOTH, "&Advanced...", 84, 196, 66, 14},
    {-1, "Button", BS_GROUPBOX, GROUP, "Compression Mode", 9, 133, 140, 54},
};
const ControlSpec kAdvancedSettingsLayout[] = {
    {1, "Button", BS_DEFPUSHBUTTON, BOTH, "&OK", 23, 262, 50, 14},
    {2, "Button", BS_PUSHBUTTON, BOTH, "&Cancel", 82, 262, 50, 14},
    {-1, "Button", BS_GROUPBOX, GROUP, "", 11, 81, 64, 25},
    {1150, "Button", BS_AUTORADIOBUTTON, BOTH, "&Normal", 18, 23, 40, 10},
    {1151, "Button", BS_AUTORADIOBUTTON, 0, "Me&dium", 18, 38, 38, 10},
    {1152, "Button", BS_AUTORADIOBUTTON, 0, "&Low", 18, 53, 34, 10},
    {1157, "Button", BS_AUTOCHECKBOX, BOTH, "Bac&klit", 18, 90, 45, 10},
    {-1, "Button", BS_GROUPBOX, GROUP, "&Banding Filter", 88, 9, 56, 72},
    {1155, "Button", BS_AUTOCHECKBOX, BOTH, "&Enabled", 93, 23, 44, 10},
    {-1, "Static", SS_LEFT, GROUP, "Filter Type", 93, 39, 43, 8},
    {1161, "Button", BS_AUTORADIOBUTTON, BOTH, "&50 Hz", 99, 50, 37, 10},
    {1162, "Button", BS_AUTORADIOBUTTON, 0, "&60 Hz", 99, 66, 34, 10},
    {1159, "Button", BS_GROUPBOX, GROUP, "&Pan/Tilt Control", 11, 117, 134, 137},
    {1160, "Button", BS_AUTOCHECKBOX, BOTH, "&Zoom (Enable pan/tilt)", 22, 130, 84, 10},
    {1158, "czoom", 0, GROUP, "pan and tilt", 18, 144, 120, 102},
    {1017, "Button", BS_AUTOCHECKBOX, BOTH, "&Automatic", 18, 68, 46, 10},
    {-1, "Button", BS_GROUPBOX, GROUP, "Li&ghting", 11, 9, 64, 97},
};
const ControlSpec kVideoFormatLayout[] = {
    {1, "Button", BS_DEFPUSHBUTTON, BOTH, "&OK", 23, 134, 50, 14},
    {2, "Button", BS_PUSHBUTTON, BOTH, "&Cancel", 103, 134, 50, 14},
    {-1, "Button", BS_GROUPBOX, GROUP, "&Image Size", 6, 8, 81, 116},
    {1050, "Button", BS_AUTORADIOBUTTON, TAB, "352 x 288", 11, 54, 43, 10},
    {1051, "Button", BS_AUTORADIOBUTTON, 0, "320 x 240", 11, 71, 43, 10},
    {1052, "Button", BS_AUTORADIOBUTTON, 0, "176 x 144", 11, 88, 43, 10},
    {1053, "Button", BS_AUTORADIOBUTTON, 0, "160 x 120", 11, 105, 43, 10},
    {1054, "Button", BS_AUTORADIOBUTTON, TAB, "704 x 576", 11, 20, 43, 10},
    {1055, "Button", BS_AUTORADIOBUTTON, 0, "640 x 480", 11, 37, 43, 10},
    {-1, "Button", BS_GROUPBOX, GROUP, "&RGB Format", 95, 9, 74, 63},
    {1057, "Button", BS_AUTORADIOBUTTON, TAB, "24 bit RGB", 102, 24, 53, 10},
    {1058, "Button", BS_AUTORADIOBUTTON, 0, "16 bit RGB", 102, 40, 53, 10},
    {1059, "Button", BS_AUTORADIOBUTTON, 0, "8 bit RGB", 102, 56, 53, 10},
    {1063, "Edit", ES_AUTOHSCROLL, TAB, "", 103, 100, 20, 13},
    {-1, "Static", SS_LEFT, GROUP, "x", 129, 102, 8, 8},
    {1064, "Edit", ES_AUTOHSCROLL, TAB, "", 139, 100, 22, 13},
    {1066, "Static", SS_LEFT, GROUP, "(CIF)", 57, 54, 22, 8},
    {1067, "Static", SS_LEFT, GROUP, "(SIF)", 57, 71, 22, 8},
    {-1, "Static", SS_LEFT, GROUP, "(QCIF)", 57, 88, 22, 8},
    {-1, "Static", SS_LEFT, GROUP, "(QSIF)", 57, 105, 22, 8},
    {1068, "Static", SS_LEFT, GROUP, "(4CIF)", 57, 20, 22, 8},
    {1069, "Static", SS_LEFT, GROUP, "(VGA)", 57, 37, 22, 8},
    {-1, "Button", BS_GROUPBOX, GROUP, "&Custom Image Size", 94, 85, 74, 39},
};
const ControlSpec kDriverSettingsLayout[] = {
    {1110, "Static", SS_LEFT, GROUP, "", 81, 36, 70, 8},
    {1109, "Static", SS_LEFT, GROUP, "", 81, 23, 70, 8},
    {1111, "Static", SS_LEFT, GROUP, "", 81, 74, 70, 8},
    {1100, "Static", SS_CENTER, GROUP, "Retrieving Camera Details, please wait...", 13, 49, 146, 8},
    {1, "Button", BS_DEFPUSHBUTTON, TAB, "OK", 63, 99, 50, 14},
    {1102, "Static", SS_LEFT, GROUP, "Version :", 33, 10, 30, 8},
    {1107, "Static", SS_LEFT, GROUP, "", 81, 10, 70, 8},
    {1103, "Static", SS_LEFT, GROUP, "Build Date :", 33, 23, 40, 8},
    {1104, "Static", SS_LEFT, GROUP, "Port :", 33, 36, 37, 8},
    {1105, "Static", SS_LEFT, GROUP, "Language :", 33, 75, 38, 8},
    {1101, "Static", SS_LEFT, GROUP, "Sensor :", 33, 49, 32, 8},
    {1108, "Static", SS_LEFT, GROUP, "", 81, 49, 78, 8},
    {1113, "Static", SS_LEFT, GROUP, "Firmware :", 33, 62, 36, 8},
    {1114, "Static", SS_LEFT, GROUP, "", 81, 62, 69, 7},
};

// Each set's templates: English, French, German, Spanish, Italian, Portuguese.
struct TemplateSet {
    const ControlSpec* layout;
    size_t count;
    std::vector<TemplateSpec> templates;
};
const TemplateSet kSets[] = {
    {kCameraSettingsLayout, std::size(kCameraSettingsLayout), {
        {103, "Camera Settings", 60, 40, 159, 239},
        {106, "Param\xE8tres cam\xE9ra", 60, 40, 159, 266},
        {109, "Kameraeinstellungen", 60, 40, 158, 271},
        {112, "Ajustes de la c\xE1mara", 60, 40, 165, 242},
        {115, "Settaggi della camera", 60, 40, 191, 247},
        {118, "Configura\xE7\xF5" "es da C\xE2mera", 60, 40, 159, 239}}},
    {kAdvancedSettingsLayout, std::size(kAdvancedSettingsLayout), {
        {104, "Advanced Camera Settings", 0, 0, 155, 282},
        {107, "Param\xE8tres avanc\xE9s cam\xE9ra", 0, 0, 178, 282},
        {110, "Erweiterte Kameraeinstellungen", 0, 0, 183, 282},
        {113, "Ajustes avanzados de la c\xE1mara", 0, 0, 166, 285},
        {116, "Settaggi camera avanzati", 0, 0, 183, 282},
        {119, "Configura\xE7\xF5" "es Avan\xE7" "adas da C\xE2mera", 0, 0, 155, 282}}},
    {kVideoFormatLayout, std::size(kVideoFormatLayout), {
        {105, "Video Format", 0, 0, 175, 159},
        {108, "Format vid\xE9o", 0, 0, 181, 159},
        {111, "Videoformat", 0, 0, 175, 159},
        {114, "Formato de v\xED" "deo", 0, 0, 181, 159},
        {117, "Formato video", 0, 0, 200, 159},
        {120, "Formato de v\xED" "deo", 0, 0, 191, 159}}},
    {kDriverSettingsLayout, std::size(kDriverSettingsLayout), {
        {IDD_DRIVER_SETTINGS, "Video Capture Settings", 0, 0, 173, 124}}},
};
// clang-format on

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
    // A place and a size in dialog units as the dialog's pixels, each
    // mapped on its own as the window system places a control.
    static RECT Pixels(HWND dialog, int x, int y, int width, int height) {
        RECT at = {0, 0, x, y}, size = {0, 0, width, height};
        MapDialogRect(dialog, &at);
        MapDialogRect(dialog, &size);
        return {at.right, at.bottom, at.right + size.right, at.bottom + size.bottom};
    }
};

std::vector<LONG> Corners(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

std::string KindOf(const ControlSpec& spec) {
    std::string name = spec.className;
    if (name == "Static") return "static";
    if (name == "Edit") return "edit";
    if (name == "ScrollBar") return "scrollbar";
    if (name == "czoom") return "czoom";
    if (spec.type == BS_DEFPUSHBUTTON) return "defbutton";
    if (spec.type == BS_GROUPBOX) return "groupbox";
    if (spec.type == BS_AUTORADIOBUTTON) return "radio";
    if (spec.type == BS_AUTOCHECKBOX) return "checkbox";
    return "button";
}

std::string WindowText(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

DWORD StyleOf(HWND window) {
    return (DWORD)GetWindowLongA(window, GWL_STYLE);
}

// Each template holds its set's controls: in English exactly as the layout
// says; in the other languages with the English ids, kinds and styles, a
// text wherever English has one (one accelerator at most), inside the dialog.
TEST_F(Templates, EveryTemplateHoldsItsSetsControls) {
    const DWORD dialogStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    for (const TemplateSet& set : kSets) {
        HWND english = Open(set.templates[0].id);
        ASSERT_NE(english, nullptr) << PosixLastProblem();
        std::vector<Child> englishChildren = Children(english);
        for (const TemplateSpec& spec : set.templates) {
            SCOPED_TRACE("template " + std::to_string(spec.id));
            HWND dialog = Open(spec.id);
            ASSERT_NE(dialog, nullptr) << PosixLastProblem();
            EXPECT_EQ(WindowText(dialog), spec.caption);
            EXPECT_EQ(StyleOf(dialog) & 0xFFFF00FFu, dialogStyle);
            RECT client, window;
            GetClientRect(dialog, &client);
            GetWindowRect(dialog, &window);
            RECT size = Pixels(dialog, 0, 0, spec.width, spec.height), place = Pixels(dialog, spec.x, spec.y, 0, 0);
            EXPECT_EQ(Corners(client), Corners(size));
            EXPECT_EQ(std::vector<LONG>({window.left, window.top}), std::vector<LONG>({place.left, place.top}));
            std::vector<Child> children = Children(dialog);
            ASSERT_EQ(children.size(), set.count);
            for (size_t i = 0; i < set.count; i++) {
                const ControlSpec& c = set.layout[i];
                const Child& child = children[i];
                SCOPED_TRACE("control " + std::to_string(i) + " " + c.text);
                EXPECT_EQ(child.id, c.id);
                EXPECT_EQ(child.kind, KindOf(c));
                EXPECT_GE(child.rect.left, 0);
                EXPECT_GE(child.rect.top, 0);
                EXPECT_LE(child.rect.right, client.right);
                EXPECT_LE(child.rect.bottom, client.bottom);
                if (spec.id == set.templates[0].id) {
                    EXPECT_EQ(child.text, c.text);
                    EXPECT_EQ(Corners(child.rect), Corners(Pixels(dialog, c.x, c.y, c.width, c.height)));
                } else {
                    EXPECT_EQ(child.text.empty(), englishChildren[i].text.empty()) << child.text;
                    EXPECT_LE(std::count(child.text.begin(), child.text.end(), '&'), 1) << child.text;
                }
                if (c.id == -1) continue;
                HWND control = GetDlgItem(dialog, c.id);
                ASSERT_NE(control, nullptr);
                char className[32] = "";
                GetClassNameA(control, className, sizeof className);
                EXPECT_EQ(strcasecmp(className, c.className), 0) << className;
                DWORD style = StyleOf(control);
                EXPECT_EQ(style, StyleOf(GetDlgItem(english, c.id)));
                EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), (DWORD)(WS_CHILD | WS_VISIBLE));
                EXPECT_EQ(style & (WS_GROUP | WS_TABSTOP), c.flags);
                if (std::string(c.className) == "Edit") {
                    EXPECT_EQ(style & (WS_BORDER | ES_AUTOHSCROLL), (DWORD)(WS_BORDER | ES_AUTOHSCROLL));
                } else if (std::string(c.className) != "czoom") {
                    EXPECT_EQ(style & 0x0F, c.type);
                }
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
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(Corners(client), Corners(Pixels(window, 0, 0, 226, 158)));
    std::vector<Child> children = Children(window);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].id, IDC_TRACE_LIST);
    EXPECT_EQ(Corners(children[0].rect), Corners(Pixels(window, 1, 2, 223, 156)));
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
