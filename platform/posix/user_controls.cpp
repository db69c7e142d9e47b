// The standard controls: buttons (push, check box, radio, group box),
// statics, single-line edits, scroll bars, list boxes and combo boxes, with
// the notifications Windows sends their parents.
#include <string.h>

#include <algorithm>

#include "user_internal.h"

namespace w32u {

namespace {

const int kItemHeight = 13;

UINT ButtonType(const Window& w) {
    return w.style & BS_TYPEMASK;
}

bool IsCheckType(UINT type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

bool IsRadioType(UINT type) {
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// Clears every other radio button of the auto radio's group.
void ClearGroupOf(HWND button) {
    HWND parent = GetParent(button);
    std::vector<HWND> list;
    {
        Hold hold(Lock());
        WindowPtr p = Find(parent);
        if (!p) return;
        list = p->children;
    }
    auto at = std::find(list.begin(), list.end(), button);
    if (at == list.end()) return;
    size_t index = static_cast<size_t>(at - list.begin());
    size_t begin = index;
    while (begin > 0 && !(GetWindowLongA(list[begin], GWL_STYLE) & WS_GROUP)) --begin;
    size_t end = index + 1;
    while (end < list.size() && !(GetWindowLongA(list[end], GWL_STYLE) & WS_GROUP)) ++end;
    for (size_t i = begin; i < end; ++i) {
        if (list[i] == button) continue;
        WindowPtr c = Find(list[i]);
        if (c && c->kind == kButton && IsRadioType(ButtonType(*c)))
            SendMessageA(list[i], BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void ReplaceSelection(HWND edit, const std::string& insert, bool honourLimit, bool notify) {
    WindowPtr w = Find(edit);
    if (!w) return;
    bool changed = false, full = false;
    {
        Hold hold(Lock());
        int length = static_cast<int>(w->text.size());
        int start = std::min(std::max(std::min(w->selectionStart, w->selectionEnd), 0), length);
        int end = std::min(std::max(std::max(w->selectionStart, w->selectionEnd), 0), length);
        std::string add = insert;
        int room = w->limit - (length - (end - start));
        if (honourLimit && static_cast<int>(add.size()) > room) {
            add.resize(static_cast<size_t>(std::max(room, 0)));
            full = true;
        }
        std::string next =
            w->text.substr(0, static_cast<size_t>(start)) + add + w->text.substr(static_cast<size_t>(end));
        changed = next != w->text;
        w->text = next;
        w->selectionStart = w->selectionEnd = start + static_cast<int>(add.size());
    }
    if (full) {
        MessageBeep(0);
        NotifyParent(edit, EN_MAXTEXT);
    }
    if (changed && notify) {
        Invalidate(edit, true);
        NotifyParent(edit, EN_UPDATE);
        NotifyParent(edit, EN_CHANGE);
    }
}

void TypeChar(HWND edit, char c) {
    WindowPtr w = Find(edit);
    if (!w) return;
    if (w->style & ES_READONLY) {
        MessageBeep(0);
        return;
    }
    if (c == '\b') {
        {
            Hold hold(Lock());
            if (w->selectionStart == w->selectionEnd) {
                if (w->selectionStart <= 0) return;
                w->selectionStart -= 1;
            }
        }
        ReplaceSelection(edit, "", false, true);
        return;
    }
    if (static_cast<unsigned char>(c) < 0x20) return;
    if ((w->style & ES_NUMBER) && (c < '0' || c > '9')) {
        MessageBeep(0);
        return;
    }
    if (w->style & ES_UPPERCASE) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (w->style & ES_LOWERCASE) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    ReplaceSelection(edit, std::string(1, c), true, true);
}

int VisibleRows(const Window& w) {
    RECT client = ClientRectOf(w);
    return std::max(1, static_cast<int>(client.bottom / kItemHeight));
}

void KeepListScroll(Window& w) {
    int count = static_cast<int>(w.items.size());
    int rows = VisibleRows(w);
    w.top = std::max(0, std::min(w.top, count - rows));
    w.vertical.minimum = 0;
    w.vertical.maximum = std::max(count - 1, 0);
    w.vertical.page = static_cast<UINT>(rows);
    w.vertical.position = w.top;
}

int InsertItem(Window& w, int index, const char* text, bool sorted) {
    std::string item = text ? text : "";
    int count = static_cast<int>(w.items.size());
    if (sorted) {
        index = count;
        for (int i = 0; i < count; ++i)
            if (lstrcmpiA(item.c_str(), w.items[static_cast<size_t>(i)].text.c_str()) < 0) {
                index = i;
                break;
            }
    }
    if (index < 0 || index > count) index = count;
    w.items.insert(w.items.begin() + index, ListItem{item, 0});
    if (w.current >= index) ++w.current;
    KeepListScroll(w);
    return index;
}

// The item messages list boxes and combo boxes share, in list-box terms.
LRESULT ListMessage(Window& w, UINT msg, WPARAM wParam, LPARAM lParam, bool sorted) {
    int count = static_cast<int>(w.items.size());
    int index = static_cast<int>(wParam);
    bool inRange = index >= 0 && index < count;
    switch (msg) {
        case LB_ADDSTRING:
            return InsertItem(w, count, reinterpret_cast<const char*>(lParam), sorted);
        case LB_INSERTSTRING:
            return InsertItem(w, index < 0 ? count : index, reinterpret_cast<const char*>(lParam), false);
        case LB_DELETESTRING:
            if (!inRange) return LB_ERR;
            w.items.erase(w.items.begin() + index);
            if (w.current == index)
                w.current = -1;
            else if (w.current > index)
                --w.current;
            KeepListScroll(w);
            return static_cast<LRESULT>(w.items.size());
        case LB_RESETCONTENT:
            w.items.clear();
            w.current = -1;
            w.top = 0;
            KeepListScroll(w);
            return 0;
        case LB_SETCURSEL:
            if (!inRange) {
                if (index == -1) w.current = -1;
                return LB_ERR;
            }
            w.current = index;
            if (index < w.top) w.top = index;
            if (index >= w.top + VisibleRows(w)) w.top = index - VisibleRows(w) + 1;
            KeepListScroll(w);
            return index;
        case LB_GETCURSEL:
            return w.current;
        case LB_GETTEXT: {
            if (!inRange) return LB_ERR;
            const std::string& text = w.items[static_cast<size_t>(index)].text;
            if (lParam) memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
            return static_cast<LRESULT>(text.size());
        }
        case LB_GETTEXTLEN:
            return inRange ? static_cast<LRESULT>(w.items[static_cast<size_t>(index)].text.size()) : LB_ERR;
        case LB_GETCOUNT:
            return count;
        case LB_GETTOPINDEX:
            return w.top;
        case LB_SETTOPINDEX:
            if (!inRange && !(index == 0 && count == 0)) return LB_ERR;
            w.top = index;
            KeepListScroll(w);
            return LB_OKAY;
        case LB_GETITEMDATA:
            return inRange ? w.items[static_cast<size_t>(index)].data : LB_ERR;
        case LB_SETITEMDATA:
            if (!inRange) return LB_ERR;
            w.items[static_cast<size_t>(index)].data = lParam;
            return LB_OKAY;
        case LB_FINDSTRING:
        case LB_FINDSTRINGEXACT: {
            const char* text = reinterpret_cast<const char*>(lParam);
            if (!text || count == 0) return LB_ERR;
            size_t length = strlen(text);
            for (int n = 1; n <= count; ++n) {
                int i = ((index < 0 ? -1 : index) + n) % count;
                const std::string& item = w.items[static_cast<size_t>(i)].text;
                bool hit = msg == LB_FINDSTRINGEXACT ? lstrcmpiA(item.c_str(), text) == 0
                                                     : strncasecmp(item.c_str(), text, length) == 0;
                if (hit) return i;
            }
            return LB_ERR;
        }
        default:
            return LB_ERR;
    }
}

UINT ComboToList(UINT msg) {
    switch (msg) {
        case CB_ADDSTRING:
            return LB_ADDSTRING;
        case CB_INSERTSTRING:
            return LB_INSERTSTRING;
        case CB_DELETESTRING:
            return LB_DELETESTRING;
        case CB_RESETCONTENT:
            return LB_RESETCONTENT;
        case CB_SETCURSEL:
            return LB_SETCURSEL;
        case CB_GETCURSEL:
            return LB_GETCURSEL;
        case CB_GETLBTEXT:
            return LB_GETTEXT;
        case CB_GETLBTEXTLEN:
            return LB_GETTEXTLEN;
        case CB_GETCOUNT:
            return LB_GETCOUNT;
        case CB_GETITEMDATA:
            return LB_GETITEMDATA;
        case CB_SETITEMDATA:
            return LB_SETITEMDATA;
        case CB_FINDSTRINGEXACT:
            return LB_FINDSTRINGEXACT;
        default:
            return 0;
    }
}

}  // namespace

void NotifyParent(HWND control, int code) {
    WindowPtr w = Find(control);
    if (!w || !(w->style & WS_CHILD)) return;
    SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), static_cast<WORD>(code)),
                 reinterpret_cast<LPARAM>(w->handle));
}

void ButtonClicked(HWND button) {
    WindowPtr w = Find(button);
    if (!w) return;
    UINT type = ButtonType(*w);
    if (type == BS_GROUPBOX) return;
    if (type == BS_AUTOCHECKBOX)
        SendMessageA(button, BM_SETCHECK, w->check & BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    if (type == BS_AUTO3STATE) SendMessageA(button, BM_SETCHECK, (w->check + 1) % 3, 0);
    if (type == BS_AUTORADIOBUTTON) {
        SendMessageA(button, BM_SETCHECK, BST_CHECKED, 0);
        ClearGroupOf(button);
    }
    NotifyParent(button, BN_CLICKED);
}

ScrollState* ScrollOf(Window& w, int bar) {
    switch (bar) {
        case SB_HORZ:
            return &w.horizontal;
        case SB_VERT:
            return &w.vertical;
        case SB_CTL:
            return w.kind == kScrollBar ? &w.control : nullptr;
        default:
            return nullptr;
    }
}

// A control whose text is its picture shows a new text at once.
static LRESULT SetTextAndRepaint(HWND window, WPARAM wParam, LPARAM lParam) {
    LRESULT r = DefWindowProcA(window, WM_SETTEXT, wParam, lParam);
    Invalidate(window, true);
    return r;
}

LRESULT CALLBACK ButtonProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(window);
    if (!w) return 0;
    UINT type = ButtonType(*w);
    switch (msg) {
        case BM_GETCHECK:
            return IsCheckType(type) || IsRadioType(type) ? w->check : 0;
        case BM_SETCHECK: {
            if (!IsCheckType(type) && !IsRadioType(type)) return 0;
            UINT check = static_cast<UINT>(wParam) & 3;
            if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) check = BST_CHECKED;
            if (check == 3) check = BST_CHECKED;
            bool changed;
            {
                Hold hold(Lock());
                changed = w->check != check;
                w->check = check;
            }
            if (changed) Invalidate(window, true);
            return 0;
        }
        case BM_GETSTATE:
            return w->check | w->buttonState;
        case BM_SETSTATE:
            if (wParam)
                w->buttonState |= BST_PUSHED;
            else
                w->buttonState &= ~BST_PUSHED;
            return 0;
        case BM_SETSTYLE:
            w->style = (w->style & ~0xFFFFu) | static_cast<DWORD>(LOWORD(wParam));
            return 0;
        case BM_CLICK:
            SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            SendMessageA(window, WM_LBUTTONUP, 0, 0);
            return 0;
        case WM_LBUTTONDOWN:
            if (type == BS_GROUPBOX) return 0;
            SetFocus(window);
            SetCapture(window);
            w->buttonState |= BST_PUSHED;
            return 0;
        case WM_LBUTTONUP: {
            if (!(w->buttonState & BST_PUSHED)) return 0;
            w->buttonState &= ~BST_PUSHED;
            if (GetCapture() == window) ReleaseCapture();
            POINT p = {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
            RECT client = ClientRectOf(*w);
            if (PtInRect(&client, p)) ButtonClicked(window);
            return 0;
        }
        case WM_CHAR:
            if (wParam == ' ' && type != BS_GROUPBOX) ButtonClicked(window);
            return 0;
        case WM_SETFOCUS:
            w->buttonState |= BST_FOCUS;
            return 0;
        case WM_KILLFOCUS:
            w->buttonState &= ~BST_FOCUS;
            return 0;
        case WM_GETDLGCODE:
            if (IsRadioType(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
            if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
            if (type == BS_GROUPBOX) return DLGC_STATIC;
            return DLGC_BUTTON;
        case WM_SETTEXT:
            return SetTextAndRepaint(window, wParam, lParam);
        default:
            return DefWindowProcA(window, msg, wParam, lParam);
    }
}

LRESULT CALLBACK StaticProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(window);
    if (!w) return 0;
    switch (msg) {
        case WM_LBUTTONUP:
            if (w->style & SS_NOTIFY) NotifyParent(window, STN_CLICKED);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_SETTEXT:
            return SetTextAndRepaint(window, wParam, lParam);
        default:
            return DefWindowProcA(window, msg, wParam, lParam);
    }
}

LRESULT CALLBACK EditProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(window);
    if (!w) return 0;
    switch (msg) {
        case WM_SETTEXT: {
            // The limit governs typing only, as on Windows; a single-line edit
            // tells its parent of every text set.
            {
                Hold hold(Lock());
                w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
                w->selectionStart = w->selectionEnd = 0;
            }
            if (!w->created) return TRUE;
            Invalidate(window, true);
            if (!(w->style & ES_MULTILINE)) {
                NotifyParent(window, EN_UPDATE);
                NotifyParent(window, EN_CHANGE);
            }
            return TRUE;
        }
        case EM_LIMITTEXT:
            w->limit = wParam ? static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE)) : 0x7FFFFFFE;
            return 0;
        case EM_GETLIMITTEXT:
            return w->limit;
        case EM_SETSEL: {
            Hold hold(Lock());
            int length = static_cast<int>(w->text.size());
            int start = static_cast<int>(wParam);
            int end = static_cast<int>(lParam);
            if (start == -1) {
                w->selectionStart = w->selectionEnd;
                return 0;
            }
            if (end < 0 || end > length) end = length;
            start = std::min(std::max(start, 0), length);
            w->selectionStart = std::min(start, end);
            w->selectionEnd = std::max(start, end);
            return 0;
        }
        case EM_GETSEL: {
            Hold hold(Lock());
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(w->selectionStart);
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(w->selectionEnd);
            return MAKELRESULT(w->selectionStart, w->selectionEnd);
        }
        case EM_REPLACESEL:
            ReplaceSelection(window, lParam ? reinterpret_cast<const char*>(lParam) : "", true, true);
            return 0;
        case EM_SETREADONLY:
            if (wParam)
                w->style |= ES_READONLY;
            else
                w->style &= ~ES_READONLY;
            return TRUE;
        case WM_CHAR:
            TypeChar(window, static_cast<char>(wParam));
            return 0;
        case WM_LBUTTONDOWN: {
            SetFocus(window);
            Hold hold(Lock());
            w->selectionStart = w->selectionEnd = static_cast<int>(w->text.size());
            return 0;
        }
        case WM_SETFOCUS:
            NotifyParent(window, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            NotifyParent(window, EN_KILLFOCUS);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        default:
            return DefWindowProcA(window, msg, wParam, lParam);
    }
}

// The keyboard interface of a scroll bar control with the focus: the
// arrows move a line, Page Up and Page Down a page, Home and End to the
// ends; -1 for any other key.
static int ScrollCodeForKey(WPARAM key) {
    switch (key) {
        case VK_LEFT:
        case VK_UP:
            return SB_LINEUP;
        case VK_RIGHT:
        case VK_DOWN:
            return SB_LINEDOWN;
        case VK_PRIOR:
            return SB_PAGEUP;
        case VK_NEXT:
            return SB_PAGEDOWN;
        case VK_HOME:
            return SB_TOP;
        case VK_END:
            return SB_BOTTOM;
        default:
            return -1;
    }
}

LRESULT CALLBACK ScrollBarProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(window);
    if (!w) return 0;
    switch (msg) {
        case WM_KEYDOWN: {
            int code = ScrollCodeForKey(wParam);
            if (code >= 0)
                SendMessageA(GetParent(window), (w->style & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL,
                             static_cast<WPARAM>(code), reinterpret_cast<LPARAM>(window));
            return 0;
        }
        case SBM_SETPOS:
            return SetScrollPos(window, SB_CTL, static_cast<int>(wParam), lParam ? TRUE : FALSE);
        case SBM_GETPOS:
            return GetScrollPos(window, SB_CTL);
        case SBM_SETRANGE:
        case SBM_SETRANGEREDRAW: {
            int old = GetScrollPos(window, SB_CTL);
            SetScrollRange(window, SB_CTL, static_cast<int>(wParam), static_cast<int>(lParam),
                           msg == SBM_SETRANGEREDRAW);
            return old;
        }
        case SBM_GETRANGE:
            return GetScrollRange(window, SB_CTL, reinterpret_cast<LPINT>(wParam), reinterpret_cast<LPINT>(lParam));
        case SBM_SETSCROLLINFO:
            return SetScrollInfo(window, SB_CTL, reinterpret_cast<LPCSCROLLINFO>(lParam), wParam ? TRUE : FALSE);
        case SBM_GETSCROLLINFO:
            return GetScrollInfo(window, SB_CTL, reinterpret_cast<LPSCROLLINFO>(lParam));
        case WM_LBUTTONDOWN:
            if (w->style & WS_TABSTOP) SetFocus(window);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        default:
            return DefWindowProcA(window, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ListBoxProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(window);
    if (!w) return 0;
    if (msg >= LB_ADDSTRING && msg <= LB_FINDSTRINGEXACT) {
        LRESULT r;
        {
            Hold hold(Lock());
            r = ListMessage(*w, msg, wParam, lParam, (w->style & LBS_SORT) != 0);
        }
        if (msg != LB_GETCURSEL && msg != LB_GETTEXT && msg != LB_GETTEXTLEN && msg != LB_GETCOUNT &&
            msg != LB_GETTOPINDEX && msg != LB_GETITEMDATA && !(w->style & LBS_NOREDRAW))
            Invalidate(window, true);
        return r;
    }
    switch (msg) {
        case WM_SIZE: {
            Hold hold(Lock());
            KeepListScroll(*w);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            SetFocus(window);
            int row = static_cast<SHORT>(HIWORD(lParam)) / kItemHeight;
            int index;
            {
                Hold hold(Lock());
                index = w->top + row;
                if (index < 0 || index >= static_cast<int>(w->items.size())) return 0;
            }
            SendMessageA(window, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
            if (w->style & LBS_NOTIFY) NotifyParent(window, LBN_SELCHANGE);
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        default:
            return DefWindowProcA(window, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ComboBoxProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(window);
    if (!w) return 0;
    if (UINT list = ComboToList(msg)) {
        Hold hold(Lock());
        LRESULT r = ListMessage(*w, list, wParam, lParam, (w->style & CBS_SORT) != 0);
        // The edit part of the combo box shows the chosen item.
        if (msg == CB_SETCURSEL || msg == CB_RESETCONTENT || msg == CB_DELETESTRING)
            w->text = w->current >= 0 ? w->items[static_cast<size_t>(w->current)].text : "";
        return r;
    }
    switch (msg) {
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        default:
            return DefWindowProcA(window, msg, wParam, lParam);
    }
}

}  // namespace w32u

using namespace w32u;

extern "C" {

BOOL WINAPI SetScrollRange(HWND window, int bar, int minimum, int maximum, BOOL redraw) {
    WindowPtr w = Find(window);
    if (!w) return FALSE;
    {
        Hold hold(Lock());
        ScrollState* s = ScrollOf(*w, bar);
        if (!s) return FALSE;
        s->minimum = minimum;
        s->maximum = maximum;
        int low = std::min(minimum, maximum), high = std::max(minimum, maximum);
        s->position = std::min(std::max(s->position, low), high);
    }
    if (redraw) Invalidate(window, true);
    return TRUE;
}

BOOL WINAPI GetScrollRange(HWND window, int bar, LPINT minimum, LPINT maximum) {
    WindowPtr w = Find(window);
    Hold hold(Lock());
    ScrollState* s = w ? ScrollOf(*w, bar) : nullptr;
    if (minimum) *minimum = s ? s->minimum : 0;
    if (maximum) *maximum = s ? s->maximum : 0;
    return s ? TRUE : FALSE;
}

int WINAPI SetScrollPos(HWND window, int bar, int position, BOOL redraw) {
    WindowPtr w = Find(window);
    if (!w) return 0;
    int old;
    {
        Hold hold(Lock());
        ScrollState* s = ScrollOf(*w, bar);
        if (!s) return 0;
        old = s->position;
        int low = std::min(s->minimum, s->maximum), high = std::max(s->minimum, s->maximum);
        if (s->page > 0) high = std::max(low, high - static_cast<int>(s->page) + 1);
        s->position = std::min(std::max(position, low), high);
    }
    if (redraw) Invalidate(window, true);
    return old;
}

int WINAPI GetScrollPos(HWND window, int bar) {
    WindowPtr w = Find(window);
    Hold hold(Lock());
    ScrollState* s = w ? ScrollOf(*w, bar) : nullptr;
    return s ? s->position : 0;
}

int WINAPI SetScrollInfo(HWND window, int bar, LPCSCROLLINFO info, BOOL redraw) {
    WindowPtr w = Find(window);
    if (!w || !info) return 0;
    {
        Hold hold(Lock());
        ScrollState* s = ScrollOf(*w, bar);
        if (!s) return 0;
        if (info->fMask & SIF_RANGE) {
            s->minimum = info->nMin;
            s->maximum = info->nMax;
        }
        if (info->fMask & SIF_PAGE) s->page = info->nPage;
    }
    int position = (info->fMask & SIF_POS) ? info->nPos : GetScrollPos(window, bar);
    SetScrollPos(window, bar, position, redraw);
    return GetScrollPos(window, bar);
}

BOOL WINAPI GetScrollInfo(HWND window, int bar, LPSCROLLINFO info) {
    WindowPtr w = Find(window);
    if (!w || !info) return FALSE;
    Hold hold(Lock());
    ScrollState* s = ScrollOf(*w, bar);
    if (!s) return FALSE;
    if (info->fMask & SIF_RANGE) {
        info->nMin = s->minimum;
        info->nMax = s->maximum;
    }
    if (info->fMask & SIF_PAGE) info->nPage = s->page;
    if (info->fMask & SIF_POS) info->nPos = s->position;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s->position;
    return TRUE;
}

}  // extern "C"
