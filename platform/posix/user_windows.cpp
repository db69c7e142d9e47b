// Windows of the headless window system: the handle table, classes,
// creation and destruction, window words, texts, geometry, show and enable
// state, focus, capture and the cursor.
//
// A window handle is a slot number in its low 16 bits and a generation in
// the high 16, as on Windows: a handle cut to 16 bits (as DRV_CONFIGURE's
// lParam carries the owner) still finds its window, and a stale handle of a
// destroyed window does not find the slot's next tenant.
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <map>

#include "user_internal.h"

namespace w32u {

namespace {

const int kScreenWidth = 1024;
const int kScreenHeight = 768;
const int kFirstSlot = 0x20;
const int kSlots = 0x10000;

struct State {
    std::vector<WindowPtr> slots = std::vector<WindowPtr>(kSlots);
    std::vector<HWND> order;  // every live window, oldest first
    int nextSlot = kFirstSlot;
    uint32_t generation = 1;
    std::vector<std::shared_ptr<WindowClass>> classes;
    WORD nextAtom = 0xC000;
    HWND desktop = nullptr;
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    POINT cursor = {kScreenWidth / 2, kScreenHeight / 2};
    bool clipped = false;
    RECT clip = {0, 0, kScreenWidth, kScreenHeight};
    HCURSOR currentCursor = nullptr;
};

State& S() {
    static State* state = new State;  // outlives windows destroyed at exit
    return *state;
}

HWND NewHandle(const WindowPtr& w) {
    State& s = S();
    for (int tries = 0; tries < kSlots; ++tries) {
        int slot = s.nextSlot;
        s.nextSlot = s.nextSlot + 1 >= kSlots ? kFirstSlot : s.nextSlot + 1;
        if (s.slots[slot]) continue;
        s.generation = s.generation % 0x7FFF + 1;
        HWND handle =
            reinterpret_cast<HWND>(static_cast<uintptr_t>((s.generation << 16) | static_cast<uint32_t>(slot)));
        s.slots[slot] = w;
        s.order.push_back(handle);
        return handle;
    }
    return nullptr;
}

void FreeHandle(HWND handle) {
    State& s = S();
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    s.slots[value & 0xFFFF].reset();
    s.order.erase(std::remove(s.order.begin(), s.order.end(), handle), s.order.end());
}

RECT Insets(const Window& w) {
    return InsetsFor(w.style, w.exStyle, w.kind);
}

void SendSizeAndMove(HWND window) {
    WindowPtr w = Find(window);
    if (!w) return;
    RECT client = ClientRectOf(*w);
    POINT origin;
    {
        Hold hold(Lock());
        origin = {w->rect.left, w->rect.top};
    }
    SendMessageA(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    SendMessageA(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
}

bool InSubtree(HWND root, HWND window) {
    for (HWND h = window; h; h = GetParent(h))
        if (h == root) return true;
    return false;
}

// Whether the window and its parents are all enabled and not minimised.
bool CanHaveFocus(HWND window) {
    Hold hold(Lock());
    for (WindowPtr w = Find(window); w; w = Find(w->parent)) {
        if (w->style & (WS_DISABLED | WS_MINIMIZE)) return false;
        if (!(w->style & WS_CHILD)) break;
    }
    return true;
}

void DestroySubtree(HWND window);

}  // namespace

RECT InsetsFor(DWORD style, DWORD exStyle, Kind kind) {
    RECT in = {0, 0, 0, 0};
    if (kind == kDesktop) return in;
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = 4;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = 3;
    else if (style & WS_BORDER)
        frame = 1;
    if (exStyle & WS_EX_CLIENTEDGE) frame += 2;
    in.left = in.top = in.right = in.bottom = frame;
    if ((style & WS_CAPTION) == WS_CAPTION) in.top += 18;
    if (kind != kScrollBar) {
        if (style & WS_VSCROLL) in.right += 17;
        if (style & WS_HSCROLL) in.bottom += 17;
    }
    return in;
}

bool Reachable(HWND window) {
    Hold hold(Lock());
    if (!IsWindowVisible(window)) return false;
    for (WindowPtr w = Find(window); w; w = (w->style & WS_CHILD) ? Find(w->parent) : nullptr)
        if (w->style & WS_DISABLED) return false;
    return true;
}

std::recursive_mutex& Lock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

WindowPtr Find(HWND window) {
    uintptr_t value = reinterpret_cast<uintptr_t>(window);
    if (value == 0 || (value >> 32) != 0) return nullptr;
    Hold hold(Lock());
    const WindowPtr& w = S().slots[value & 0xFFFF];
    if (!w || w->destroyed) return nullptr;
    uintptr_t high = value >> 16;
    if (high != 0 && high != (reinterpret_cast<uintptr_t>(w->handle) >> 16)) return nullptr;
    return w;
}

std::vector<WindowPtr> AllWindows() {
    Hold hold(Lock());
    std::vector<WindowPtr> out;
    for (HWND h : S().order)
        if (WindowPtr w = Find(h)) out.push_back(w);
    return out;
}

bool IsDialogWindow(const WindowPtr& w) {
    return w && w->kind == kDialog;
}

HWND TopLevelOf(HWND window) {
    Hold hold(Lock());
    WindowPtr w = Find(window);
    while (w && (w->style & WS_CHILD) && Find(w->parent)) w = Find(w->parent);
    return w ? w->handle : nullptr;
}

RECT ClientRectOf(const Window& w) {
    Hold hold(Lock());
    RECT in = Insets(w);
    RECT out = {0, 0, w.rect.right - w.rect.left - in.left - in.right, w.rect.bottom - w.rect.top - in.top - in.bottom};
    if (out.right < 0) out.right = 0;
    if (out.bottom < 0) out.bottom = 0;
    return out;
}

POINT ClientOrigin(const Window& w) {
    RECT in = Insets(w);
    return {in.left, in.top};
}

POINT ClientToScreenOf(HWND window) {
    Hold hold(Lock());
    POINT p = {0, 0};
    for (WindowPtr w = Find(window); w; w = (w->style & WS_CHILD) ? Find(w->parent) : nullptr) {
        POINT origin = ClientOrigin(*w);
        p.x += w->rect.left + origin.x;
        p.y += w->rect.top + origin.y;
    }
    return p;
}

// Classes as Windows finds them: a module's own (local) class first, then
// a global or system class; with no module given, any module's class.
std::shared_ptr<WindowClass> FindClass(const char* name, HINSTANCE instance) {
    RegisterStandardClasses();
    Hold hold(Lock());
    auto matches = [&](const WindowClass& c) {
        if (IS_INTRESOURCE(name)) return c.atom == static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
        return name && strcasecmp(c.name.c_str(), name) == 0;
    };
    for (auto& c : S().classes)
        if (matches(*c) && c->local && c->instance == instance) return c;
    for (auto& c : S().classes)
        if (matches(*c) && !c->local) return c;
    if (!instance)
        for (auto& c : S().classes)
            if (matches(*c)) return c;
    return nullptr;
}

namespace {

WORD AddClass(const WNDCLASSA* wc, Kind kind) {
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc || wc->cbWndExtra < 0 ||
        wc->cbClsExtra < 0 || wc->cbWndExtra > 40000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Hold hold(Lock());
    bool local = kind == kGeneric && !(wc->style & CS_GLOBALCLASS);
    for (auto& c : S().classes) {
        if (strcasecmp(c->name.c_str(), wc->lpszClassName) != 0) continue;
        if (!c->local || !local || c->instance == wc->hInstance) {
            SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
            return 0;
        }
    }
    auto c = std::make_shared<WindowClass>();
    c->name = wc->lpszClassName;
    c->proc = wc->lpfnWndProc;
    c->style = wc->style;
    c->classExtra = wc->cbClsExtra;
    c->windowExtra = wc->cbWndExtra;
    c->instance = wc->hInstance;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    c->kind = kind;
    c->local = local;
    c->atom = S().nextAtom++;
    S().classes.push_back(c);
    return c->atom;
}

}  // namespace

void RegisterStandardClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct Standard {
            const char* name;
            WNDPROC proc;
            Kind kind;
            int extra;
        } table[] = {
            {"Button", ButtonProc, kButton, 0},
            {"Static", StaticProc, kStatic, 0},
            {"Edit", EditProc, kEdit, 0},
            {"ScrollBar", ScrollBarProc, kScrollBar, 0},
            {"ListBox", ListBoxProc, kListBox, 0},
            {"ComboBox", ComboBoxProc, kComboBox, 0},
            {"#32770", DialogProc, kDialog, DLGWINDOWEXTRA},
        };
        for (const Standard& s : table) {
            WNDCLASSA wc;
            memset(&wc, 0, sizeof wc);
            wc.lpszClassName = s.name;
            wc.lpfnWndProc = s.proc;
            wc.cbWndExtra = s.extra;
            wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
            wc.hbrBackground = s.kind == kDialog ? reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1) : nullptr;
            AddClass(&wc, s.kind);
        }
    });
}

HWND CreateWindowInternal(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int width,
                          int height, HWND parent, int id, HINSTANCE instance, void* initParam) {
    std::shared_ptr<WindowClass> c = FindClass(className, instance);
    if (!c) {
        SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
        return nullptr;
    }
    if (parent && !Find(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((style & WS_CHILD) && !parent) {
        SetLastError(1406);  // ERROR_TLW_WITH_WSCHILD
        return nullptr;
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        width = 300;
        height = 200;
    }
    auto w = std::make_shared<Window>();
    w->kind = c->kind;
    w->windowClass = c;
    w->proc = c->proc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->id = (style & WS_CHILD) ? id : 0;
    w->instance = instance;
    w->text = text && !IS_INTRESOURCE(text) ? text : "";
    w->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->extra.assign(static_cast<size_t>(c->windowExtra), 0);
    w->thread = std::this_thread::get_id();
    HWND handle;
    {
        Hold hold(Lock());
        handle = NewHandle(w);
        if (!handle) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        w->handle = handle;
        if (style & WS_CHILD) {
            w->parent = parent;
            Find(parent)->children.push_back(handle);
        } else if (parent) {
            w->owner = TopLevelOf(parent);
        }
    }
    CREATESTRUCTA cs;
    cs.lpCreateParams = initParam;
    cs.hInstance = instance;
    cs.hMenu = reinterpret_cast<HMENU>(static_cast<intptr_t>(id));
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = text;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!SendMessageA(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(handle);
        SetLastError(1400);
        return nullptr;
    }
    if (!Find(handle)) return nullptr;
    w->created = true;
    SendSizeAndMove(handle);
    if ((style & WS_VISIBLE) && Find(handle)) ShowWindow(handle, SW_SHOW);
    return Find(handle) ? handle : nullptr;
}

namespace {

void DestroySubtree(HWND window) {
    WindowPtr w = Find(window);
    if (!w) return;
    SendMessageA(window, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        Hold hold(Lock());
        children = w->children;
    }
    for (HWND child : children) DestroySubtree(child);
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    KillWindowTimers(window);
    Hold hold(Lock());
    w->destroyed = true;
    FreeSystemMenu(*w);
    if (WindowPtr parent = Find(w->parent)) {
        auto& list = parent->children;
        list.erase(std::remove(list.begin(), list.end(), window), list.end());
    }
    FreeHandle(window);
}

}  // namespace

}  // namespace w32u

using namespace w32u;

extern "C" {

WORD WINAPI RegisterClassA(const WNDCLASSA* wc) {
    RegisterStandardClasses();
    return AddClass(wc, kGeneric);
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance) {
    std::shared_ptr<WindowClass> c = FindClass(name, instance);
    Hold hold(Lock());
    if (!c || c->kind != kGeneric) {
        SetLastError(1411);  // ERROR_CLASS_DOES_NOT_EXIST
        return FALSE;
    }
    for (const WindowPtr& w : AllWindows())
        if (w->windowClass == c) {
            SetLastError(1412);  // ERROR_CLASS_HAS_WINDOWS
            return FALSE;
        }
    auto& list = S().classes;
    list.erase(std::remove(list.begin(), list.end(), c), list.end());
    return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR name, LPWNDCLASSA out) {
    std::shared_ptr<WindowClass> c = FindClass(name, instance);
    if (!c || !out) {
        SetLastError(1411);
        return FALSE;
    }
    memset(out, 0, sizeof *out);
    out->style = c->style;
    out->lpfnWndProc = c->proc;
    out->cbClsExtra = c->classExtra;
    out->cbWndExtra = c->windowExtra;
    out->hInstance = c->instance;
    out->hCursor = c->cursor;
    out->hbrBackground = c->background;
    out->lpszClassName = name;
    return TRUE;
}

int WINAPI GetClassNameA(HWND window, LPSTR out, int size) {
    WindowPtr w = Find(window);
    if (!w || !out || size <= 0) return 0;
    lstrcpynA(out, w->windowClass->name.c_str(), size);
    return lstrlenA(out);
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    int id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<intptr_t>(menu)) : 0;
    return CreateWindowInternal(exStyle, className, windowName, style, x, y, width, height, parent, id, instance,
                                param);
}

HWND WINAPI GetDesktopWindow(void) {
    Hold hold(Lock());
    State& s = S();
    if (!s.desktop) {
        auto w = std::make_shared<Window>();
        w->kind = kDesktop;
        auto c = std::make_shared<WindowClass>();
        c->name = "#32769";
        c->proc = DefWindowProcA;
        c->kind = kDesktop;
        w->windowClass = c;
        w->proc = DefWindowProcA;
        w->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        w->rect = {0, 0, kScreenWidth, kScreenHeight};
        w->thread = std::this_thread::get_id();
        w->created = true;
        w->handle = NewHandle(w);
        s.desktop = w->handle;
    }
    return s.desktop;
}

BOOL WINAPI IsWindow(HWND window) {
    return Find(window) ? TRUE : FALSE;
}

BOOL WINAPI IsChild(HWND parent, HWND window) {
    if (!Find(parent) || parent == window) return FALSE;
    return InSubtree(parent, GetParent(window)) ? TRUE : FALSE;
}

HWND WINAPI GetParent(HWND window) {
    Hold hold(Lock());
    WindowPtr w = Find(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return (w->style & WS_CHILD) ? w->parent : w->owner;
}

BOOL WINAPI DestroyWindow(HWND window) {
    WindowPtr w = Find(window);
    if (!w || w->kind == kDesktop) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // Owned windows go first, as on Windows.
    for (const WindowPtr& other : AllWindows())
        if (other->owner == window && !(other->style & WS_CHILD)) DestroyWindow(other->handle);
    if (!Find(window)) return TRUE;
    {
        Hold hold(Lock());
        w->ended = true;  // a modal loop on it stops
    }
    if (IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
    HWND capture = GetCapture();
    if (capture && InSubtree(window, capture)) ReleaseCapture();
    HWND focus = GetFocus();
    bool hadFocus = focus && InSubtree(window, focus);
    if (hadFocus) {
        HWND next = (w->style & WS_CHILD) ? w->parent : nullptr;
        if (!next || !CanHaveFocus(next)) {
            SendMessageA(focus, WM_KILLFOCUS, 0, 0);
            Hold hold(Lock());
            if (S().focus == focus) S().focus = nullptr;
        } else {
            SetFocus(next);
        }
    }
    DestroySubtree(window);
    {
        Hold hold(Lock());
        if (S().active == window) S().active = nullptr;
    }
    // A top-level window that held the focus hands it back to its owner.
    if (hadFocus && !(w->style & WS_CHILD) && w->owner && IsWindowEnabled(w->owner) && !GetFocus()) SetFocus(w->owner);
    return TRUE;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
    Hold hold(Lock());
    WindowPtr w = Find(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index >= 0) {
        if (static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
            SetLastError(1413);  // ERROR_INVALID_INDEX
            return 0;
        }
        LONG_PTR value;
        memcpy(&value, &w->extra[static_cast<size_t>(index)], sizeof value);
        return value;
    }
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
        case GWLP_ID:
            return w->id;
        case GWL_STYLE:
            return static_cast<LONG>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->exStyle);
        case GWLP_USERDATA:
            return w->userData;
        default:
            SetLastError(1413);
            return 0;
    }
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    Hold hold(Lock());
    WindowPtr w = Find(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = GetWindowLongPtrA(window, index);
    if (index >= 0) {
        if (static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
        memcpy(&w->extra[static_cast<size_t>(index)], &value, sizeof value);
        return old;
    }
    switch (index) {
        case GWLP_WNDPROC:
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWLP_ID:
            w->id = static_cast<int>(value);
            break;
        case GWL_STYLE:
            w->style = static_cast<DWORD>(value);
            break;
        case GWL_EXSTYLE:
            w->exStyle = static_cast<DWORD>(value);
            break;
        case GWLP_USERDATA:
            w->userData = value;
            break;
        default:
            SetLastError(1413);
            return 0;
    }
    return old;
}

LONG WINAPI GetWindowLongA(HWND window, int index) {
    if (index < 0) return static_cast<LONG>(GetWindowLongPtrA(window, index));
    Hold hold(Lock());
    WindowPtr w = Find(window);
    if (!w || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
        SetLastError(w ? 1413 : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG value;
    memcpy(&value, &w->extra[static_cast<size_t>(index)], sizeof value);
    return value;
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
    if (index < 0) return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
    Hold hold(Lock());
    WindowPtr w = Find(window);
    if (!w || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
        SetLastError(w ? 1413 : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG old;
    memcpy(&old, &w->extra[static_cast<size_t>(index)], sizeof old);
    memcpy(&w->extra[static_cast<size_t>(index)], &value, sizeof value);
    return old;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    if (!Find(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND window, LPSTR out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = '\0';
    if (!Find(window)) return 0;
    return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(out)));
}

int WINAPI GetWindowTextLengthA(HWND window) {
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL WINAPI IsWindowEnabled(HWND window) {
    Hold hold(Lock());
    WindowPtr w = Find(window);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
    WindowPtr w = Find(window);
    if (!w) return FALSE;
    bool wasDisabled;
    {
        Hold hold(Lock());
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable) return wasDisabled;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (!enable) {
        SendMessageA(window, WM_CANCELMODE, 0, 0);
        if (GetFocus() == window) SetFocus(nullptr);
    }
    SendMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL WINAPI IsWindowVisible(HWND window) {
    Hold hold(Lock());
    WindowPtr w = Find(window);
    if (!w) return FALSE;
    for (; w; w = (w->style & WS_CHILD) ? Find(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    WindowPtr w = Find(window);
    if (!w) return FALSE;
    bool show = command != SW_HIDE;
    bool wasVisible;
    {
        Hold hold(Lock());
        wasVisible = (w->style & WS_VISIBLE) != 0;
        if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE)
            w->style |= WS_MINIMIZE;
        else if (command == SW_RESTORE || command == SW_SHOWNORMAL)
            w->style &= ~WS_MINIMIZE;
    }
    if (wasVisible != show) {
        SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        if (!Find(window)) return wasVisible;
        {
            Hold hold(Lock());
            if (show)
                w->style |= WS_VISIBLE;
            else
                w->style &= ~WS_VISIBLE;
        }
        if (show) {
            Invalidate(window, true);
        } else {
            HWND focus = GetFocus();
            if (focus && InSubtree(window, focus)) {
                HWND parent = (w->style & WS_CHILD) ? w->parent : nullptr;
                SetFocus(parent && CanHaveFocus(parent) ? parent : nullptr);
            }
        }
    }
    if (show && !(w->style & WS_CHILD) && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
        command != SW_MINIMIZE && command != SW_SHOWMINNOACTIVE) {
        Hold hold(Lock());
        S().active = window;
    }
    return wasVisible ? TRUE : FALSE;
}

HWND WINAPI GetFocus(void) {
    Hold hold(Lock());
    if (S().focus && !Find(S().focus)) S().focus = nullptr;
    return S().focus;
}

HWND WINAPI GetActiveWindow(void) {
    Hold hold(Lock());
    if (S().active && !Find(S().active)) S().active = nullptr;
    return S().active;
}

HWND WINAPI SetFocus(HWND window) {
    HWND old = GetFocus();
    if (window) {
        WindowPtr w = Find(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (!CanHaveFocus(window)) return nullptr;
        if (window == old) return old;
    } else if (!old) {
        return nullptr;
    }
    if (old) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (window && !Find(window)) return old;
    {
        Hold hold(Lock());
        S().focus = window;
        if (window) {
            HWND top = TopLevelOf(window);
            S().active = top;
            WindowPtr t = Find(top);
            if (t && t->handle != window) t->focusSaved = window;
        }
    }
    if (window) SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    Hold hold(Lock());
    WindowPtr w = Find(window);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT origin = {0, 0};
    if (w->style & WS_CHILD) origin = ClientToScreenOf(w->parent);
    *rect = w->rect;
    OffsetRect(rect, origin.x, origin.y);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    WindowPtr w = Find(window);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = ClientRectOf(*w);
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags) {
    WindowPtr w = Find(window);
    if (!w || w->kind == kDesktop) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool moved = false, sized = false;
    {
        Hold hold(Lock());
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            moved = x != r.left || y != r.top;
            OffsetRect(&r, x - r.left, y - r.top);
        }
        if (!(flags & SWP_NOSIZE)) {
            width = std::max(width, 0);
            height = std::max(height, 0);
            sized = width != r.right - r.left || height != r.bottom - r.top;
            r.right = r.left + width;
            r.bottom = r.top + height;
        }
        w->rect = r;
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
    if (sized) {
        RECT client = ClientRectOf(*w);
        SendMessageA(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
        if (!(flags & SWP_NOREDRAW)) Invalidate(window, true);
    }
    if (moved) SendMessageA(window, WM_MOVE, 0, MAKELPARAM(w->rect.left, w->rect.top));
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI ScreenToClient(HWND window, LPPOINT point) {
    if (!Find(window) || !point) return FALSE;
    POINT origin = ClientToScreenOf(window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) {
    if (!Find(window) || !point) return FALSE;
    POINT origin = ClientToScreenOf(window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return kScreenWidth;
        case SM_CYSCREEN:
            return kScreenHeight;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 17;
        case SM_CYCAPTION:
            return 18;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        default:
            return 0;
    }
}

HWND WINAPI SetCapture(HWND window) {
    HWND old;
    {
        Hold hold(Lock());
        if (!Find(window)) return nullptr;
        old = S().capture && Find(S().capture) ? S().capture : nullptr;
        S().capture = window;
    }
    if (old && old != window) SendMessageA(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    return old;
}

BOOL WINAPI ReleaseCapture(void) {
    HWND old;
    {
        Hold hold(Lock());
        old = S().capture;
        S().capture = nullptr;
    }
    if (old && Find(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture(void) {
    Hold hold(Lock());
    if (S().capture && !Find(S().capture)) S().capture = nullptr;
    return S().capture;
}

static void KeepCursorInside() {
    State& s = S();
    RECT r = s.clipped ? s.clip : RECT{0, 0, kScreenWidth, kScreenHeight};
    if (s.cursor.x < r.left) s.cursor.x = r.left;
    if (s.cursor.x >= r.right) s.cursor.x = r.right - 1;
    if (s.cursor.y < r.top) s.cursor.y = r.top;
    if (s.cursor.y >= r.bottom) s.cursor.y = r.bottom - 1;
}

BOOL WINAPI ClipCursor(const RECT* rect) {
    Hold hold(Lock());
    State& s = S();
    if (!rect) {
        s.clipped = false;
        s.clip = {0, 0, kScreenWidth, kScreenHeight};
        return TRUE;
    }
    RECT screen = {0, 0, kScreenWidth, kScreenHeight};
    RECT r;
    if (!IntersectRect(&r, rect, &screen)) r = {rect->left, rect->top, rect->left + 1, rect->top + 1};
    s.clipped = true;
    s.clip = r;
    KeepCursorInside();
    return TRUE;
}

BOOL WINAPI GetClipCursor(LPRECT rect) {
    if (!rect) return FALSE;
    Hold hold(Lock());
    *rect = S().clip;
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    Hold hold(Lock());
    S().cursor = {x, y};
    KeepCursorInside();
    return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    Hold hold(Lock());
    *point = S().cursor;
    return TRUE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // The system cursors only; a module has no cursor resources here.
    if (instance || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (id < 32512 || id > 32650) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(0x70000 + id);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    Hold hold(Lock());
    HCURSOR old = S().currentCursor;
    S().currentCursor = cursor;
    return old;
}

HCURSOR WINAPI GetCursor(void) {
    Hold hold(Lock());
    return S().currentCursor;
}

// number * numerator / denominator in 64 bits, rounded half away from zero;
// -1 when the denominator is 0 or the result does not fit.
int WINAPI MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(number) * numerator;
    bool negative = (product < 0) != (denominator < 0);
    long long a = product < 0 ? -product : product;
    long long b = denominator < 0 ? -static_cast<long long>(denominator) : denominator;
    long long q = (a + b / 2) / b;
    if (q > 0x7FFFFFFFLL) return -1;
    return static_cast<int>(negative ? -q : q);
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL WINAPI CopyRect(LPRECT out, const RECT* in) {
    if (!out || !in) return FALSE;
    *out = *in;
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

BOOL WINAPI PtInRect(const RECT* rect, POINT p) {
    return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL WINAPI InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL WINAPI EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL WINAPI IntersectRect(LPRECT out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    RECT r = {std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
              std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(out);
        return FALSE;
    }
    *out = r;
    return TRUE;
}

const char* PosixCursorName(void) {
    HCURSOR cursor = GetCursor();
    if (!cursor) return "none";
    switch (reinterpret_cast<uintptr_t>(cursor) - 0x70000) {
        case 32512:
            return "arrow";
        case 32513:
            return "ibeam";
        case 32514:
            return "wait";
        case 32515:
            return "cross";
        case 32516:
            return "uparrow";
        case 32646:
            return "sizeall";
        case 32648:
            return "no";
        case 32649:
            return "hand";
        case 32650:
            return "appstarting";
        default:
            return "other";
    }
}

int PosixTopLevelCount(void) {
    int n = 0;
    for (const WindowPtr& w : AllWindows())
        if (!(w->style & WS_CHILD) && w->kind != kDesktop) ++n;
    return n;
}

HWND PosixTopLevelWindow(int index) {
    int n = 0;
    for (const WindowPtr& w : AllWindows())
        if (!(w->style & WS_CHILD) && w->kind != kDesktop && n++ == index) return w->handle;
    return nullptr;
}

HWND PosixFindWindow(const char* caption) {
    std::vector<WindowPtr> all = AllWindows();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (!((*it)->style & WS_CHILD) && (*it)->kind != kDesktop && caption && (*it)->text == caption)
            return (*it)->handle;
    return nullptr;
}

}  // extern "C"

namespace w32u {

// Forgets capture, clipping, focus and the cursor (between tests).
void ResetInputState() {
    Hold hold(Lock());
    State& s = S();
    s.focus = s.active = s.capture = nullptr;
    s.clipped = false;
    s.clip = {0, 0, kScreenWidth, kScreenHeight};
    s.cursor = {kScreenWidth / 2, kScreenHeight / 2};
    s.currentCursor = nullptr;
}

}  // namespace w32u
