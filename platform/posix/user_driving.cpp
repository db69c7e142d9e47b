// What a person at the screen does, for tests and the host tool: clicks,
// typing, scrolling, the mouse, keys, list choices; the script that drives
// modal dialogs; and the text picture of a window.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>

#include "resource_data.h"
#include "user_internal.h"

namespace w32u {

std::string ToUtf8(const std::string& text) {
    // Windows-1252 to UTF-8; the 0x80..0x9F block has its own characters.
    std::string out;
    for (unsigned char c : text) {
        unsigned code = c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

namespace {

HWND Control(HWND dialog, int id, Kind kind) {
    HWND control = GetDlgItem(dialog, id);
    WindowPtr w = Find(control);
    if (!w || (kind != kGeneric && w->kind != kind)) return nullptr;
    return Reachable(control) ? control : nullptr;
}

LPARAM Point(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

// Moves the cursor to a client point of `window` (clipped as the screen
// would) and sends the mouse message to the window that gets it.
void Mouse(HWND window, UINT msg, int x, int y) {
    if (!IsWindow(window)) return;
    POINT p = {x, y};
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
    GetCursorPos(&p);
    HWND target = GetCapture();
    if (!target) {
        target = window;
        if (!Reachable(target)) return;
    }
    ScreenToClient(target, &p);
    SendMessageA(target, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, Point(p.x, p.y));
}

const char* KindName(const Window& w) {
    switch (w.kind) {
        case kDialog:
            return "dialog";
        case kStatic:
            return "static";
        case kEdit:
            return "edit";
        case kScrollBar:
            return "scrollbar";
        case kListBox:
            return "listbox";
        case kComboBox:
            return "combobox";
        case kButton:
            switch (w.style & BS_TYPEMASK) {
                case BS_DEFPUSHBUTTON:
                    return "defbutton";
                case BS_CHECKBOX:
                case BS_AUTOCHECKBOX:
                case BS_3STATE:
                case BS_AUTO3STATE:
                    return "checkbox";
                case BS_RADIOBUTTON:
                case BS_AUTORADIOBUTTON:
                    return "radio";
                case BS_GROUPBOX:
                    return "groupbox";
                default:
                    return "button";
            }
        default:
            return nullptr;
    }
}

void Describe(std::ostringstream& out, const WindowPtr& w, int depth) {
    std::string indent(static_cast<size_t>(depth) * 2, ' ');
    const char* kind = KindName(*w);
    out << indent << (kind ? kind : w->windowClass->name.c_str());
    if (w->style & WS_CHILD) out << " " << (w->id == 0xFFFF ? -1 : w->id);
    out << " \"" << ToUtf8(w->text) << "\"";
    RECT r;
    GetWindowRect(w->handle, &r);
    if (w->style & WS_CHILD) {
        POINT origin = ClientToScreenOf(w->parent);
        OffsetRect(&r, -origin.x, -origin.y);
    }
    out << " at " << r.left << "," << r.top << " " << (r.right - r.left) << "x" << (r.bottom - r.top);
    if (w->kind == kButton && ((w->style & BS_TYPEMASK) != BS_PUSHBUTTON) &&
        (w->style & BS_TYPEMASK) != BS_DEFPUSHBUTTON && (w->style & BS_TYPEMASK) != BS_GROUPBOX)
        out << (w->check == BST_CHECKED ? " [x]" : w->check == BST_INDETERMINATE ? " [-]" : " [ ]");
    if (w->kind == kScrollBar)
        out << " range " << w->control.minimum << ".." << w->control.maximum << " pos " << w->control.position;
    if (w->kind == kEdit && w->limit < 30000) out << " limit " << w->limit;
    if (!(w->style & WS_VISIBLE)) out << " hidden";
    if (w->style & WS_DISABLED) out << " disabled";
    if (GetFocus() == w->handle) out << " focus";
    if (w->style & WS_GROUP && (w->style & WS_CHILD)) out << " group";
    out << "\n";
    if (w->kind == kListBox || w->kind == kComboBox) {
        for (size_t i = 0; i < w->items.size(); ++i)
            out << indent << "  " << (static_cast<int>(i) == w->current ? "> " : "  ") << ToUtf8(w->items[i].text)
                << "\n";
    }
    if (w->systemMenu) {
        out << indent << "  system menu:";
        for (const MenuItem& m : w->systemMenu->items) {
            if (m.flags & MF_SEPARATOR) continue;
            std::string text = m.text.substr(0, m.text.find('\t'));
            if (text.empty()) text = (m.flags & MF_MENUBREAK) ? "|" : "?";
            out << " " << ToUtf8(text);
            if (m.flags & MF_CHECKED) out << "(checked)";
            if (m.flags & (MF_GRAYED | MF_DISABLED)) out << "(grey)";
        }
        out << "\n";
    }
    if (!w->draws.empty() && !kind) {
        out << indent << "  drawn:";
        for (const PosixDrawCall& d : w->draws) {
            char line[96];
            snprintf(line, sizeof line, " %c(%d,%d,%d,%d #%06X)", d.op, static_cast<int>(d.rect.left),
                     static_cast<int>(d.rect.top), static_cast<int>(d.rect.right), static_cast<int>(d.rect.bottom),
                     static_cast<unsigned>(d.color));
            out << line;
        }
        out << "\n";
    }
    for (HWND child : w->children)
        if (WindowPtr c = Find(child)) Describe(out, c, depth + 1);
}

// --- the dialog script ---

struct Step {
    std::string verb;
    std::vector<std::string> args;
    std::string text;  // the rest of the line after the id, for type/set
};

struct Script {
    std::vector<Step> steps;
    size_t next = 0;
};

Script& TheScript() {
    static Script* script = new Script;
    return *script;
}

int ScrollCode(const std::string& name) {
    static const struct {
        const char* name;
        int code;
    } codes[] = {{"lineup", SB_LINEUP},    {"linedown", SB_LINEDOWN}, {"pageup", SB_PAGEUP}, {"pagedown", SB_PAGEDOWN},
                 {"thumb", SB_THUMBTRACK}, {"top", SB_TOP},           {"bottom", SB_BOTTOM}, {"end", SB_ENDSCROLL}};
    for (const auto& c : codes)
        if (name == c.name) return c.code;
    return -1;
}

int AnswerCode(const std::string& name) {
    static const struct {
        const char* name;
        int code;
    } answers[] = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"yes", IDYES},      {"no", IDNO},
                   {"abort", IDABORT}, {"retry", IDRETRY},   {"ignore", IDIGNORE}};
    for (const auto& a : answers)
        if (name == a.name) return a.code;
    return -1;
}

bool IsNumber(const std::string& s) {
    if (s.empty()) return false;
    char* end = nullptr;
    strtol(s.c_str(), &end, 0);
    return end && *end == '\0';
}

int Num(const std::string& s) {
    return static_cast<int>(strtol(s.c_str(), nullptr, 0));
}

bool ParseStep(const std::string& line, Step* step, std::string* why) {
    std::istringstream in(line);
    in >> step->verb;
    std::string word;
    while (in >> word) step->args.push_back(word);
    const std::string& v = step->verb;
    const auto& a = step->args;
    auto need = [&](size_t n) {
        if (a.size() >= n) return true;
        *why = "\"" + line + "\": " + v + " needs " + std::to_string(n) + " argument(s)";
        return false;
    };
    if (v == "type" || v == "set") {
        if (!need(1) || !IsNumber(a[0])) return need(99);
        size_t idAt = line.find(a[0], line.find(v) + v.size());
        size_t textAt = idAt + a[0].size();
        if (textAt < line.size() && line[textAt] == ' ') ++textAt;
        step->text = textAt < line.size() ? line.substr(textAt) : "";
        return true;
    }
    if (v == "click" || v == "clear" || v == "syscmd") return need(1) && (IsNumber(a[0]) || need(99));
    if (v == "choose") return need(2) && IsNumber(a[0]) && IsNumber(a[1]);
    if (v == "scroll") {
        if (!need(2) || !IsNumber(a[0])) return false;
        if (ScrollCode(a[1]) < 0) {
            *why = "\"" + line + "\": unknown scroll code " + a[1];
            return false;
        }
        return true;
    }
    if (v == "key") {
        if (!need(1)) return false;
        if (a[0] != "return" && a[0] != "escape" && a[0] != "tab") {
            *why = "\"" + line + "\": unknown key " + a[0];
            return false;
        }
        return true;
    }
    if (v == "mouse") {
        if (!need(4)) return false;
        if ((a[0] != "down" && a[0] != "move" && a[0] != "up") || !IsNumber(a[1]) || !IsNumber(a[2]) ||
            !IsNumber(a[3])) {
            *why = "\"" + line + "\": mouse down|move|up ID X Y";
            return false;
        }
        return true;
    }
    if (v == "wait") return need(1) && IsNumber(a[0]);
    if (v == "answer") {
        if (!need(1)) return false;
        if (AnswerCode(a[0]) < 0) {
            *why = "\"" + line + "\": unknown answer " + a[0];
            return false;
        }
        return true;
    }
    if (v == "show") return true;
    *why = "\"" + line + "\": unknown step " + v;
    return false;
}

void RunStep(HWND dialog, const Step& s) {
    const auto& a = s.args;
    if (s.verb == "click") PosixClick(dialog, Num(a[0]));
    if (s.verb == "type") PosixType(dialog, Num(a[0]), s.text.c_str());
    if (s.verb == "set") PosixReplaceText(dialog, Num(a[0]), s.text.c_str());
    if (s.verb == "clear") PosixClearEdit(dialog, Num(a[0]));
    if (s.verb == "choose") PosixChooseItem(dialog, Num(a[0]), Num(a[1]));
    if (s.verb == "syscmd") PosixSystemCommand(dialog, static_cast<UINT>(Num(a[0])));
    if (s.verb == "scroll") PosixScroll(dialog, Num(a[0]), ScrollCode(a[1]), a.size() > 2 ? Num(a[2]) : 0);
    if (s.verb == "key") PosixPressKey(a[0] == "return" ? VK_RETURN : a[0] == "escape" ? VK_ESCAPE : VK_TAB);
    if (s.verb == "mouse") {
        HWND control = GetDlgItem(dialog, Num(a[1]));
        UINT msg = a[0] == "down" ? WM_LBUTTONDOWN : a[0] == "move" ? WM_MOUSEMOVE : WM_LBUTTONUP;
        if (control) Mouse(control, msg, Num(a[2]), Num(a[3]));
    }
    if (s.verb == "wait") PosixRunFor(static_cast<DWORD>(Num(a[0])));
    if (s.verb == "answer") PosixQueueMessageBoxAnswer(AnswerCode(a[0]));
    if (s.verb == "show") {
        fputs(PosixDescribeWindow(dialog), stdout);
        fflush(stdout);
    }
}

int ScriptHook(HWND dialog, void* context) {
    Script& script = TheScript();
    if (script.next >= script.steps.size()) return 0;
    Step step = script.steps[script.next++];
    RunStep(dialog, step);
    return 1;
}

}  // namespace

}  // namespace w32u

using namespace w32u;

extern "C" {

int PosixClick(HWND dialog, int id) {
    HWND control = Control(dialog, id, kGeneric);
    if (!control) return 0;
    RECT client;
    GetClientRect(control, &client);
    Mouse(control, WM_LBUTTONDOWN, client.right / 2, client.bottom / 2);
    Mouse(control, WM_LBUTTONUP, client.right / 2, client.bottom / 2);
    return 1;
}

int PosixType(HWND dialog, int id, const char* text) {
    HWND edit = Control(dialog, id, kEdit);
    if (!edit || !text) return 0;
    SetFocus(edit);
    int length = GetWindowTextLengthA(edit);
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
    for (const char* p = text; *p; ++p) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*p), 1);
    return 1;
}

int PosixClearEdit(HWND dialog, int id) {
    HWND edit = Control(dialog, id, kEdit);
    if (!edit) return 0;
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 1);
    return 1;
}

int PosixReplaceText(HWND dialog, int id, const char* text) {
    HWND edit = Control(dialog, id, kEdit);
    if (!edit || !text) return 0;
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    if (!*text) SendMessageA(edit, WM_CHAR, VK_BACK, 1);
    for (const char* p = text; *p; ++p) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*p), 1);
    return 1;
}

int PosixScroll(HWND dialog, int id, int code, int position) {
    HWND bar = Control(dialog, id, kScrollBar);
    if (!bar) return 0;
    UINT msg = (GetWindowLongA(bar, GWL_STYLE) & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    HWND parent = GetParent(bar);
    LPARAM from = reinterpret_cast<LPARAM>(bar);
    if (GetWindowLongA(bar, GWL_STYLE) & WS_TABSTOP) SetFocus(bar);
    if (code == SB_THUMBTRACK) {
        SendMessageA(parent, msg, MAKEWPARAM(SB_THUMBTRACK, static_cast<WORD>(position)), from);
        SendMessageA(parent, msg, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(position)), from);
        SendMessageA(parent, msg, MAKEWPARAM(SB_ENDSCROLL, 0), from);
        return 1;
    }
    SendMessageA(parent, msg, MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(position)), from);
    if (code == SB_LINEUP || code == SB_LINEDOWN || code == SB_PAGEUP || code == SB_PAGEDOWN)
        SendMessageA(parent, msg, MAKEWPARAM(SB_ENDSCROLL, 0), from);
    return 1;
}

int PosixChooseItem(HWND dialog, int id, int index) {
    HWND control = GetDlgItem(dialog, id);
    WindowPtr w = Find(control);
    if (!w || !Reachable(control)) return 0;
    if (w->kind == kListBox) {
        if (index < 0 || index >= static_cast<int>(SendMessageA(control, LB_GETCOUNT, 0, 0))) return 0;
        SetFocus(control);
        SendMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        if (w->style & LBS_NOTIFY) NotifyParent(control, LBN_SELCHANGE);
        return 1;
    }
    if (w->kind == kComboBox) {
        if (index < 0 || index >= static_cast<int>(SendMessageA(control, CB_GETCOUNT, 0, 0))) return 0;
        SetFocus(control);
        SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        NotifyParent(control, CBN_SELCHANGE);
        return 1;
    }
    return 0;
}

void PosixPressKey(int virtualKey) {
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (!target) return;
    PostMessageA(target, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 1);
    PostMessageA(target, WM_KEYUP, static_cast<WPARAM>(virtualKey), 1);
}

void PosixMouseDown(HWND window, int x, int y) {
    Mouse(window, WM_LBUTTONDOWN, x, y);
}

void PosixMouseMove(HWND window, int x, int y) {
    Mouse(window, WM_MOUSEMOVE, x, y);
}

void PosixMouseUp(HWND window, int x, int y) {
    Mouse(window, WM_LBUTTONUP, x, y);
}

int PosixSetDialogScript(const char* text, char* error, size_t errorSize) {
    Script parsed;
    std::string why;
    std::string all = text ? text : "";
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find_first_of(";\n", start);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(start, end - start);
        size_t first = line.find_first_not_of(" \t\r");
        size_t last = line.find_last_not_of(" \t\r");
        line = first == std::string::npos ? "" : line.substr(first, last - first + 1);
        if (!line.empty() && line[0] != '#') {
            Step step;
            if (!ParseStep(line, &step, &why)) {
                if (error && errorSize) snprintf(error, errorSize, "%s", why.c_str());
                return 0;
            }
            parsed.steps.push_back(step);
        }
        start = end + 1;
    }
    {
        Hold hold(Lock());
        TheScript() = parsed;
    }
    PosixSetDialogHook(ScriptHook, nullptr);
    return 1;
}

const char* PosixDescribeWindow(HWND window) {
    static thread_local std::string text;
    WindowPtr w = Find(window);
    if (!w) {
        text = "(no window)\n";
        return text.c_str();
    }
    std::ostringstream out;
    {
        Hold hold(Lock());
        Describe(out, w, 0);
    }
    text = out.str();
    return text.c_str();
}

void PosixResetWindows(void) {
    for (int round = 0; round < 4; ++round) {
        std::vector<WindowPtr> all = AllWindows();
        bool any = false;
        for (const WindowPtr& w : all)
            if (w->kind != kDesktop && !(w->style & WS_CHILD) && IsWindow(w->handle)) {
                DestroyWindow(w->handle);
                any = true;
            }
        if (!any) break;
    }
    ResetMessageState();
    ResetDialogState();
    ResetInputState();
    Hold hold(Lock());
    TheScript() = Script();
}

}  // extern "C"
