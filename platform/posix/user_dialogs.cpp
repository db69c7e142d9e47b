// Dialogs: built from the module's templates, the dialog window procedure
// with its DLGPROC, the modal loop, the dialog manager's keys, the dialog
// item calls and message boxes.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <deque>

#include "user_internal.h"

namespace w32u {

namespace {

struct Box {
    std::string text;
    std::string caption;
    UINT type;
    int answer;
};

struct DialogState {
    std::vector<HWND> modal;  // open modal dialogs, innermost last
    PosixDialogHook hook = nullptr;
    void* hookContext = nullptr;
    std::deque<int> answers;
    int policy = 0;
    std::vector<Box> boxes;
};

DialogState& D() {
    static DialogState* state = new DialogState;
    return *state;
}

DLGPROC DialogProcOf(HWND dialog) {
    return reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
}

std::vector<HWND> ChildrenOf(HWND window) {
    Hold hold(Lock());
    WindowPtr w = Find(window);
    return w ? w->children : std::vector<HWND>();
}

bool IsTabStop(HWND control) {
    return (GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP) && Reachable(control);
}

// Creates the dialog window and its controls, then runs WM_INITDIALOG.
HWND CreateFromTemplate(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param,
                        bool modal) {
    DWORD style = t.style;
    DWORD exStyle = t.exStyle;
    if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
    Kind kind = kDialog;
    RECT in = InsetsFor(style, exStyle, kind);
    int width = DialogX(t.cx) + in.left + in.right;
    int height = DialogY(t.cy) + in.top + in.bottom;
    int x = DialogX(t.x);
    int y = DialogY(t.y);
    HWND parent = owner;
    if (style & WS_CHILD) {
        if (!owner) return nullptr;
    } else {
        if (owner) owner = TopLevelOf(owner);
        parent = owner;
        POINT origin = {0, 0};
        if (owner && !(style & DS_ABSALIGN)) origin = ClientToScreenOf(owner);
        x += origin.x;
        y += origin.y;
        if (style & DS_CENTER) {
            RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            if (owner) GetWindowRect(owner, &area);
            x = area.left + (area.right - area.left - width) / 2;
            y = area.top + (area.bottom - area.top - height) / 2;
        }
    }
    const char* className = t.className.empty() ? "#32770" : t.className.c_str();
    HWND dialog = CreateWindowInternal(exStyle, className, t.caption.c_str(), style & ~WS_VISIBLE, x, y, width, height,
                                       parent, 0, instance, nullptr);
    if (!dialog) {
        PosixReportProblem(("dialog " + t.name + ": the dialog window could not be created").c_str());
        return nullptr;
    }
    // As on Windows the procedure takes over once the window exists, so it
    // does not see the creation's own WM_SIZE.
    SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (WindowPtr w = Find(dialog)) w->modal = modal;
    for (const ControlTemplate& c : t.controls) {
        DWORD controlStyle = c.style | WS_CHILD;
        HWND control = CreateWindowInternal(c.exStyle | WS_EX_NOPARENTNOTIFY, c.className.c_str(), c.text.c_str(),
                                            controlStyle, DialogX(c.x), DialogY(c.y), DialogX(c.cx), DialogY(c.cy),
                                            dialog, c.id, instance, const_cast<void*>(c.creationData));
        if (!control && !(style & DS_NOFAILCREATE)) {
            std::string why = "dialog " + t.name + ": control " + std::to_string(c.id) + " of class \"" + c.className +
                              "\" could not be created";
            PosixReportProblem(why.c_str());
            DestroyWindow(dialog);
            return nullptr;
        }
        if (!IsWindow(dialog)) return nullptr;
    }
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    LRESULT focus = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dialog)) return nullptr;
    if (focus) {
        HWND target = GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (target) SetFocus(target);
    }
    if ((t.style & WS_VISIBLE) && !modal) {
        WindowPtr w = Find(dialog);
        if (w && !w->ended) {
            ShowWindow(dialog, SW_SHOWNORMAL);
            UpdateWindow(dialog);
        }
    }
    return dialog;
}

int DefaultButtonFor(UINT type) {
    static const int buttons[][3] = {
        {IDOK, 0, 0},     {IDOK, IDCANCEL, 0},    {IDABORT, IDRETRY, IDIGNORE},      {IDYES, IDNO, IDCANCEL},
        {IDYES, IDNO, 0}, {IDRETRY, IDCANCEL, 0}, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}};
    UINT kind = type & MB_TYPEMASK;
    if (kind > 6) kind = 0;
    UINT which = (type & MB_DEFMASK) >> 8;
    if (which > 2 || buttons[kind][which] == 0) which = 0;
    return buttons[kind][which];
}

bool IsButtonOf(UINT type, int answer) {
    static const int buttons[][3] = {
        {IDOK, 0, 0},     {IDOK, IDCANCEL, 0},    {IDABORT, IDRETRY, IDIGNORE},      {IDYES, IDNO, IDCANCEL},
        {IDYES, IDNO, 0}, {IDRETRY, IDCANCEL, 0}, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}};
    UINT kind = type & MB_TYPEMASK;
    if (kind > 6) kind = 0;
    for (int b : buttons[kind])
        if (b && b == answer) return true;
    return false;
}

const char* AnswerName(int answer) {
    switch (answer) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDABORT:
            return "Abort";
        case IDRETRY:
            return "Retry";
        case IDIGNORE:
            return "Ignore";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        case IDTRYAGAIN:
            return "Try Again";
        case IDCONTINUE:
            return "Continue";
        default:
            return "?";
    }
}

// The modal loop: until the dialog ends, handle its thread's messages; when
// there are none, let the hook act; with no hook (or a finished one) press
// Escape once, and end a dialog that ignores even that.
void RunModalLoop(HWND dialog) {
    bool escaped = false;
    int idleWithoutEffect = 0;
    for (;;) {
        WindowPtr w = Find(dialog);
        if (!w || w->ended) break;
        MSG msg;
        if (RetrieveMessage(&msg, nullptr, 0, 0, true)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            idleWithoutEffect = 0;
            continue;
        }
        PosixDialogHook hook;
        void* context;
        {
            Hold hold(Lock());
            hook = D().hook;
            context = D().hookContext;
        }
        if (hook && hook(dialog, context)) continue;
        if (!escaped) {
            escaped = true;
            HWND focus = GetFocus();
            HWND target = focus && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
            PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0);
            continue;
        }
        if (++idleWithoutEffect < 2) continue;
        char caption[256];
        GetWindowTextA(dialog, caption, sizeof caption);
        std::string why = std::string("dialog \"") + caption + "\" stayed open with nobody to answer it; ended with -1";
        PosixReportProblem(why.c_str());
        EndDialog(dialog, -1);
    }
}

HWND FirstOfGroup(const std::vector<HWND>& list, size_t index) {
    size_t i = index;
    while (i > 0 && !(GetWindowLongA(list[i], GWL_STYLE) & WS_GROUP)) --i;
    return list[i];
}

}  // namespace

int DialogX(int units) {
    return MulDiv(units, 6, 4);
}

int DialogY(int units) {
    return MulDiv(units, 13, 8);
}

int DefaultButtonId(HWND dialog) {
    for (HWND child : ChildrenOf(dialog)) {
        WindowPtr c = Find(child);
        if (c && c->kind == kButton && (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return c->id;
    }
    return 0;
}

LRESULT CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = DialogProcOf(dialog);
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
    INT_PTR handled = proc ? proc(dialog, msg, wParam, lParam) : FALSE;
    if (!IsWindow(dialog)) return handled;
    if (handled) {
        switch (msg) {
            case WM_INITDIALOG:
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSTATIC:
                return handled;
            default:
                return GetWindowLongPtrA(dialog, DWLP_MSGRESULT);
        }
    }
    switch (msg) {
        case WM_INITDIALOG:
            return 0;
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(dialog, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_CLOSE:
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            return 0;
        case WM_SETFOCUS: {
            WindowPtr w = Find(dialog);
            HWND saved = w ? w->focusSaved : nullptr;
            if (!saved || !IsChild(dialog, saved) || !Reachable(saved))
                saved = GetNextDlgTabItem(dialog, nullptr, FALSE);
            if (saved) SetFocus(saved);
            return 0;
        }
        case DM_GETDEFID: {
            int id = DefaultButtonId(dialog);
            return id ? MAKELRESULT(id, DC_HASDEFID) : 0;
        }
        case WM_NEXTDLGCTL: {
            HWND next =
                lParam ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(dialog, GetFocus(), wParam ? TRUE : FALSE);
            if (next) SetFocus(next);
            return 0;
        }
        default:
            return DefWindowProcA(dialog, msg, wParam, lParam);
    }
}

void ResetDialogState() {
    Hold hold(Lock());
    DialogState& d = D();
    d.modal.clear();
    d.hook = nullptr;
    d.hookContext = nullptr;
    d.answers.clear();
    d.policy = 0;
    d.boxes.clear();
}

}  // namespace w32u

using namespace w32u;

extern "C" {

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    DialogTemplate t;
    if (!FindDialogTemplate(instance, name, &t)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (parent && !IsWindow(parent)) parent = nullptr;
    return CreateFromTemplate(instance, t, parent, proc, param, false);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    DialogTemplate t;
    if (!FindDialogTemplate(instance, name, &t)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    if (owner && !IsWindow(owner)) owner = nullptr;
    if (owner) owner = TopLevelOf(owner);
    HWND dialog = CreateFromTemplate(instance, t, owner, proc, param, true);
    if (!dialog) return -1;
    WindowPtr w = Find(dialog);
    if (!w) return -1;
    {
        Hold hold(Lock());
        D().modal.push_back(dialog);
    }
    if (owner && owner != GetDesktopWindow() && IsWindowEnabled(owner) && !w->ended) {
        EnableWindow(owner, FALSE);
        w->disabledOwner = owner;
    }
    if (!w->ended && (t.style & WS_VISIBLE)) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        UpdateWindow(dialog);
    }
    RunModalLoop(dialog);
    if (w->disabledOwner && IsWindow(w->disabledOwner)) EnableWindow(w->disabledOwner, TRUE);
    w->disabledOwner = nullptr;
    INT_PTR result = w->result;
    if (IsWindow(dialog)) DestroyWindow(dialog);
    // The owner is active again and takes the focus back.
    if (owner && owner != GetDesktopWindow() && IsWindowEnabled(owner) && !GetFocus()) SetFocus(owner);
    {
        Hold hold(Lock());
        auto& modal = D().modal;
        modal.erase(std::remove(modal.begin(), modal.end(), dialog), modal.end());
    }
    return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    WindowPtr w = Find(dialog);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    HWND owner;
    {
        Hold hold(Lock());
        w->ended = true;
        w->result = result;
        owner = w->disabledOwner;
        w->disabledOwner = nullptr;
    }
    if (owner && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindowVisible(dialog)) ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DialogProc(dialog, msg, wParam, lParam);
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (!msg || !IsWindow(dialog)) return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
    if (msg->message == WM_KEYDOWN) {
        LRESULT code = msg->hwnd ? SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, 0) : 0;
        switch (msg->wParam) {
            case VK_TAB:
                if (!(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
                    HWND next = GetNextDlgTabItem(dialog, GetFocus(), FALSE);
                    if (next) SetFocus(next);
                    return TRUE;
                }
                break;
            case VK_ESCAPE:
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
                return TRUE;
            case VK_RETURN: {
                if (code & DLGC_WANTALLKEYS) break;
                HWND focus = GetFocus();
                if (focus && (code & DLGC_UNDEFPUSHBUTTON)) {
                    SendMessageA(focus, BM_CLICK, 0, 0);
                    return TRUE;
                }
                LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
                int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
                HWND button = GetDlgItem(dialog, id);
                if (!button || IsWindowEnabled(button))
                    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
                return TRUE;
            }
            default:
                break;
        }
    }
    if (msg->message == WM_CHAR && (msg->wParam == VK_TAB || msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) {
        LRESULT code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, 0);
        if (!(code & DLGC_WANTALLKEYS)) return TRUE;
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    for (HWND child : ChildrenOf(dialog)) {
        WindowPtr c = Find(child);
        if (c && (c->id == id || (c->id == 0xFFFF && id == -1))) return child;
    }
    SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND window) {
    WindowPtr w = Find(window);
    return w ? w->id : 0;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, msg, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR out, int size) {
    if (out && size > 0) out[0] = '\0';
    HWND control = GetDlgItem(dialog, id);
    return control ? static_cast<UINT>(GetWindowTextA(control, out, size)) : 0;
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned)
        snprintf(text, sizeof text, "%d", static_cast<int>(value));
    else
        snprintf(text, sizeof text, "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}

// Leading blanks, an optional minus sign when signed, decimal digits and
// trailing blanks; anything else, or a value out of range, fails with 0.
UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    char text[64];
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    int length = GetWindowTextA(control, text, sizeof text);
    if (length >= static_cast<int>(sizeof text) - 1) return 0;
    // As the C library reads a number: white space, a sign, decimal digits
    // up to the first other character. Text after the digits is no error;
    // a number the result cannot hold is. Unsigned, a minus sign counts
    // from the top of the range, as on Windows.
    const char* p = text;
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') return 0;
    unsigned long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) return 0;
        ++p;
    }
    if (isSigned && (negative ? value > 0x80000000ull : value > 0x7FFFFFFFull)) return 0;
    if (translated) *translated = TRUE;
    return negative ? static_cast<UINT>(0 - value) : static_cast<UINT>(value);
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int check) {
    if (!IsWindow(dialog)) return FALSE;
    for (HWND child : ChildrenOf(dialog)) {
        int id = GetDlgCtrlID(child);
        if (id >= first && id <= last) SendMessageA(child, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    if (!rect || !IsWindow(dialog)) return FALSE;
    rect->left = DialogX(rect->left);
    rect->right = DialogX(rect->right);
    rect->top = DialogY(rect->top);
    rect->bottom = DialogY(rect->bottom);
    return TRUE;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    std::vector<HWND> list = ChildrenOf(dialog);
    if (list.empty()) return nullptr;
    if (previous) std::reverse(list.begin(), list.end());
    size_t start = 0;
    for (size_t i = 0; control && i < list.size(); ++i)
        if (list[i] == control) start = i + 1;
    for (size_t n = 0; n < list.size(); ++n) {
        HWND candidate = list[(start + n) % list.size()];
        if (IsTabStop(candidate)) return candidate;
    }
    return control;
}

HWND WINAPI GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    std::vector<HWND> list = ChildrenOf(dialog);
    auto at = std::find(list.begin(), list.end(), control);
    if (at == list.end()) return list.empty() ? nullptr : list.front();
    size_t index = static_cast<size_t>(at - list.begin());
    // The group: from its WS_GROUP control up to the next one.
    HWND head = FirstOfGroup(list, index);
    size_t begin = static_cast<size_t>(std::find(list.begin(), list.end(), head) - list.begin());
    size_t end = begin + 1;
    while (end < list.size() && !(GetWindowLongA(list[end], GWL_STYLE) & WS_GROUP)) ++end;
    size_t count = end - begin;
    for (size_t n = 1; n <= count; ++n) {
        size_t offset = previous ? (index - begin + count - n) % count : (index - begin + n) % count;
        HWND candidate = list[begin + offset];
        if (Reachable(candidate)) return candidate;
    }
    return control;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    std::string boxText = text ? text : "";
    std::string boxCaption = caption ? caption : "Error";
    int answer;
    {
        Hold hold(Lock());
        DialogState& d = D();
        answer = d.policy;
        if (!d.answers.empty()) {
            answer = d.answers.front();
            d.answers.pop_front();
        }
        if (!IsButtonOf(type, answer)) answer = DefaultButtonFor(type);
        d.boxes.push_back({boxText, boxCaption, type, answer});
    }
    std::string shown = "message box \"" + ToUtf8(boxCaption) + "\": " + ToUtf8(boxText) + " -> " + AnswerName(answer);
    for (char& c : shown)
        if (c == '\n') c = ' ';
    fprintf(stderr, "tarn2: %s\n", shown.c_str());
    return answer;
}

BOOL WINAPI MessageBeep(UINT type) {
    return TRUE;
}

void PosixQueueMessageBoxAnswer(int answer) {
    Hold hold(Lock());
    D().answers.push_back(answer);
}

void PosixSetMessageBoxPolicy(int answer) {
    Hold hold(Lock());
    D().policy = answer;
}

int PosixMessageBoxCount(void) {
    Hold hold(Lock());
    return static_cast<int>(D().boxes.size());
}

static const Box* BoxAt(int index) {
    const auto& boxes = D().boxes;
    return index >= 0 && static_cast<size_t>(index) < boxes.size() ? &boxes[static_cast<size_t>(index)] : nullptr;
}

const char* PosixMessageBoxText(int index) {
    Hold hold(Lock());
    const Box* b = BoxAt(index);
    return b ? b->text.c_str() : nullptr;
}

const char* PosixMessageBoxCaption(int index) {
    Hold hold(Lock());
    const Box* b = BoxAt(index);
    return b ? b->caption.c_str() : nullptr;
}

UINT PosixMessageBoxType(int index) {
    Hold hold(Lock());
    const Box* b = BoxAt(index);
    return b ? b->type : 0;
}

int PosixMessageBoxAnswer(int index) {
    Hold hold(Lock());
    const Box* b = BoxAt(index);
    return b ? b->answer : 0;
}

void PosixClearMessageBoxes(void) {
    Hold hold(Lock());
    D().boxes.clear();
    D().answers.clear();
}

void PosixSetDialogHook(PosixDialogHook hook, void* context) {
    Hold hold(Lock());
    D().hook = hook;
    D().hookContext = context;
}

int PosixModalDepth(void) {
    Hold hold(Lock());
    return static_cast<int>(D().modal.size());
}

HWND PosixModalDialog(int index) {
    Hold hold(Lock());
    const auto& modal = D().modal;
    return index >= 0 && static_cast<size_t>(index) < modal.size() ? modal[static_cast<size_t>(index)] : nullptr;
}

}  // extern "C"
