// Painting, device contexts, brushes and menus. Nothing is drawn: each
// drawing call is recorded on its window, in client coordinates, so a test
// can tell what was painted and with which colour.
#include <string.h>

#include <algorithm>
#include <map>

#include "user_internal.h"

namespace w32u {

namespace {

const size_t kDrawLimit = 4096;
const COLORREF kNoColor = 0xFFFFFFFF;

enum GdiKind { kBrush = 1, kPen = 2, kFont = 3 };

struct GdiObject {
    GdiKind kind;
    COLORREF color;
    bool stock;
    bool hollow;
    HGDIOBJ handle;
};

struct DeviceContext {
    HWND window;
    HGDIOBJ brush;
    HGDIOBJ pen;
};

// GDI handles are numbers never given out twice, so a deleted object's
// handle cannot come to mean a newer object.

struct GdiState {
    std::map<HGDIOBJ, GdiObject*> objects;
    std::map<HDC, DeviceContext*> dcs;
    uintptr_t nextHandle = 0x600000;
    std::map<HMENU, Menu*> menus;
    GdiObject* stock[20] = {};
    GdiObject* sysBrushes[31] = {};
};

GdiState& G() {
    static GdiState* state = new GdiState;
    return *state;
}

GdiObject* FindObject(HGDIOBJ handle) {
    auto it = G().objects.find(handle);
    return it == G().objects.end() ? nullptr : it->second;
}

DeviceContext* FindDC(HDC dc) {
    auto it = G().dcs.find(dc);
    return it == G().dcs.end() ? nullptr : it->second;
}

void* NextHandle() {
    G().nextHandle += 4;
    return reinterpret_cast<void*>(G().nextHandle);
}

Menu* FindMenu(HMENU menu) {
    auto it = G().menus.find(menu);
    return it == G().menus.end() ? nullptr : it->second;
}

GdiObject* NewObject(GdiKind kind, COLORREF color, bool stock, bool hollow) {
    GdiObject* o = new GdiObject{kind, color, stock, hollow, NextHandle()};
    G().objects[o->handle] = o;
    return o;
}

HDC NewDC(HWND window) {
    Hold hold(Lock());
    DeviceContext* d = new DeviceContext{window, GetStockObject(WHITE_BRUSH), GetStockObject(BLACK_PEN)};
    HDC handle = static_cast<HDC>(NextHandle());
    G().dcs[handle] = d;
    return handle;
}

bool FreeDC(HDC dc) {
    Hold hold(Lock());
    DeviceContext* d = FindDC(dc);
    if (!d) return false;
    G().dcs.erase(dc);
    delete d;
    return true;
}

MenuItem* FindItem(Menu& m, UINT item, UINT flags) {
    if (flags & MF_BYPOSITION) return item < m.items.size() ? &m.items[item] : nullptr;
    for (MenuItem& i : m.items)
        if (!(i.flags & MF_SEPARATOR) && i.id == item) return &i;
    return nullptr;
}

Menu* DefaultSystemMenu(const Window& w) {
    Menu* m = new Menu;
    m->owner = w.handle;
    bool top = !(w.style & WS_CHILD);
    const UINT grey = MF_GRAYED;
    m->items.push_back({grey, SC_RESTORE, "&Restore"});
    m->items.push_back({0, SC_MOVE, "&Move"});
    m->items.push_back({(w.style & WS_THICKFRAME) ? 0u : grey, SC_SIZE, "&Size"});
    m->items.push_back({top && (w.style & WS_MINIMIZEBOX) ? 0u : grey, SC_MINIMIZE, "Mi&nimize"});
    m->items.push_back({top && (w.style & WS_MAXIMIZEBOX) ? 0u : grey, SC_MAXIMIZE, "Ma&ximize"});
    m->items.push_back({MF_SEPARATOR, 0, ""});
    m->items.push_back({0, SC_CLOSE, "&Close\tAlt+F4"});
    m->handle = static_cast<HMENU>(NextHandle());
    G().menus[m->handle] = m;
    return m;
}

}  // namespace

COLORREF BrushColor(HBRUSH brush) {
    uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    if (value >= 1 && value <= 31) return GetSysColor(static_cast<int>(value - 1));
    Hold hold(Lock());
    GdiObject* o = FindObject(brush);
    if (!o || o->kind != kBrush || o->hollow) return kNoColor;
    return o->color;
}

void RecordDraw(HWND window, char op, const RECT& rect, COLORREF color) {
    WindowPtr w = Find(window);
    if (!w) return;
    Hold hold(Lock());
    RECT client = ClientRectOf(*w);
    // A fill of the whole client area covers what was drawn before.
    if ((op == 'F' || op == 'E') && rect.left <= 0 && rect.top <= 0 && rect.right >= client.right &&
        rect.bottom >= client.bottom)
        w->draws.clear();
    if (w->draws.size() >= kDrawLimit) w->draws.erase(w->draws.begin(), w->draws.begin() + kDrawLimit / 2);
    w->draws.push_back({op, rect, color});
}

void Invalidate(HWND window, bool erase) {
    WindowPtr w = Find(window);
    if (!w) return;
    Hold hold(Lock());
    w->invalid = true;
    w->erase = w->erase || erase;
}

void FreeSystemMenu(Window& w) {
    if (!w.systemMenu) return;
    G().menus.erase(w.systemMenu->handle);
    delete w.systemMenu;
    w.systemMenu = nullptr;
}

}  // namespace w32u

using namespace w32u;

extern "C" {

HDC WINAPI GetDC(HWND window) {
    if (window && !Find(window)) return nullptr;
    return NewDC(window ? window : GetDesktopWindow());
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    return FreeDC(dc) ? 1 : 0;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    WindowPtr w = Find(window);
    if (!w || !paint) return nullptr;
    HDC dc = NewDC(window);
    bool erase;
    {
        Hold hold(Lock());
        erase = w->erase;
        w->invalid = false;
        w->erase = false;
    }
    memset(paint, 0, sizeof *paint);
    paint->hdc = dc;
    paint->rcPaint = ClientRectOf(*w);
    if (erase) paint->fErase = SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint) FreeDC(paint->hdc);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (!window) return TRUE;
    if (!Find(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Invalidate(window, erase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND window, const RECT* rect) {
    WindowPtr w = Find(window);
    if (!w) return FALSE;
    Hold hold(Lock());
    w->invalid = false;
    w->erase = false;
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    WindowPtr w = Find(window);
    if (!w) return FALSE;
    if (w->invalid && IsWindowVisible(window)) {
        SendMessageA(window, WM_PAINT, 0, 0);
        Hold hold(Lock());
        w->invalid = false;
        w->erase = false;
    }
    return TRUE;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    Hold hold(Lock());
    return static_cast<HBRUSH>(NewObject(kBrush, color & 0xFFFFFF, false, false)->handle);
}

HGDIOBJ WINAPI GetStockObject(int object) {
    if (object < 0 || object >= 20) return nullptr;
    Hold hold(Lock());
    GdiState& g = G();
    if (!g.stock[object]) {
        switch (object) {
            case WHITE_BRUSH:
                g.stock[object] = NewObject(kBrush, RGB(255, 255, 255), true, false);
                break;
            case LTGRAY_BRUSH:
                g.stock[object] = NewObject(kBrush, RGB(192, 192, 192), true, false);
                break;
            case GRAY_BRUSH:
                g.stock[object] = NewObject(kBrush, RGB(128, 128, 128), true, false);
                break;
            case DKGRAY_BRUSH:
                g.stock[object] = NewObject(kBrush, RGB(64, 64, 64), true, false);
                break;
            case BLACK_BRUSH:
                g.stock[object] = NewObject(kBrush, RGB(0, 0, 0), true, false);
                break;
            case NULL_BRUSH:
                g.stock[object] = NewObject(kBrush, 0, true, true);
                break;
            case WHITE_PEN:
                g.stock[object] = NewObject(kPen, RGB(255, 255, 255), true, false);
                break;
            case BLACK_PEN:
                g.stock[object] = NewObject(kPen, RGB(0, 0, 0), true, false);
                break;
            case NULL_PEN:
                g.stock[object] = NewObject(kPen, 0, true, true);
                break;
            case SYSTEM_FONT:
            case DEFAULT_GUI_FONT:
                g.stock[object] = NewObject(kFont, 0, true, false);
                break;
            default:
                return nullptr;
        }
    }
    return g.stock[object]->handle;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    Hold hold(Lock());
    DeviceContext* d = FindDC(dc);
    GdiObject* o = FindObject(object);
    if (!d || !o) return nullptr;
    HGDIOBJ old = nullptr;
    if (o->kind == kBrush) {
        old = d->brush;
        d->brush = object;
    } else if (o->kind == kPen) {
        old = d->pen;
        d->pen = object;
    } else {
        old = GetStockObject(SYSTEM_FONT);
    }
    return old;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    Hold hold(Lock());
    GdiObject* o = FindObject(object);
    if (!o) return FALSE;
    if (o->stock) return TRUE;
    for (const auto& entry : G().dcs)
        if (entry.second->brush == object || entry.second->pen == object) return FALSE;  // still selected
    G().objects.erase(object);
    delete o;
    return TRUE;
}

DWORD WINAPI GetSysColor(int index) {
    switch (index) {
        case COLOR_WINDOW:
        case COLOR_HIGHLIGHTTEXT:
        case COLOR_BTNHIGHLIGHT:
        case COLOR_CAPTIONTEXT:
            return RGB(255, 255, 255);
        case COLOR_WINDOWTEXT:
        case COLOR_MENUTEXT:
        case COLOR_BTNTEXT:
        case COLOR_WINDOWFRAME:
            return RGB(0, 0, 0);
        case COLOR_BTNSHADOW:
        case COLOR_GRAYTEXT:
            return RGB(128, 128, 128);
        case COLOR_ACTIVECAPTION:
        case COLOR_HIGHLIGHT:
            return RGB(0, 0, 128);
        case COLOR_INACTIVECAPTION:
            return RGB(128, 128, 128);
        case COLOR_BACKGROUND:
            return RGB(0, 128, 128);
        default:
            return RGB(192, 192, 192);
    }
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    if (index < 0 || index >= 31) return nullptr;
    Hold hold(Lock());
    GdiObject*& b = G().sysBrushes[index];
    if (!b) b = NewObject(kBrush, GetSysColor(index), true, false);
    return static_cast<HBRUSH>(b->handle);
}

// A filled or framed rectangle in one brush: recorded under its kind.
static int RecordBrushRect(HDC dc, const RECT* rect, HBRUSH brush, char kind) {
    HWND window;
    {
        Hold hold(Lock());
        DeviceContext* d = FindDC(dc);
        if (!d || !rect) return 0;
        window = d->window;
    }
    COLORREF color = BrushColor(brush);
    if (color == 0xFFFFFFFF) return 0;
    RecordDraw(window, kind, *rect, color);
    return 1;
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    return RecordBrushRect(dc, rect, brush, 'F');
}

int WINAPI FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
    return RecordBrushRect(dc, rect, brush, 'R');
}

BOOL WINAPI Rectangle(HDC dc, int left, int top, int right, int bottom) {
    HWND window;
    HGDIOBJ brush;
    {
        Hold hold(Lock());
        DeviceContext* d = FindDC(dc);
        if (!d) return FALSE;
        window = d->window;
        brush = d->brush;
    }
    RecordDraw(window, 'B', RECT{left, top, right, bottom}, BrushColor(reinterpret_cast<HBRUSH>(brush)));
    return TRUE;
}

HMENU WINAPI GetSystemMenu(HWND window, BOOL revert) {
    WindowPtr w = Find(window);
    if (!w || !(w->style & WS_SYSMENU)) return nullptr;
    Hold hold(Lock());
    if (revert) {
        FreeSystemMenu(*w);
        return nullptr;
    }
    if (!w->systemMenu) w->systemMenu = DefaultSystemMenu(*w);
    return w->systemMenu->handle;
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
    Hold hold(Lock());
    Menu* m = FindMenu(menu);
    if (!m) return FALSE;
    std::string label;
    if (!(flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) && text) label = text;
    m->items.push_back({flags, id, label});
    return TRUE;
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    Hold hold(Lock());
    Menu* m = FindMenu(menu);
    MenuItem* i = m ? FindItem(*m, item, flags) : nullptr;
    if (!i) return static_cast<DWORD>(-1);
    DWORD old = i->flags & MF_CHECKED;
    i->flags = (i->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return old;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    Hold hold(Lock());
    Menu* m = FindMenu(menu);
    MenuItem* i = m ? FindItem(*m, item, flags) : nullptr;
    if (!i) return -1;
    UINT old = i->flags & (MF_GRAYED | MF_DISABLED);
    i->flags = (i->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return static_cast<BOOL>(old);
}

UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) {
    Hold hold(Lock());
    Menu* m = FindMenu(menu);
    MenuItem* i = m ? FindItem(*m, item, flags) : nullptr;
    return i ? i->flags : static_cast<UINT>(-1);
}

int WINAPI GetMenuItemCount(HMENU menu) {
    Hold hold(Lock());
    Menu* m = FindMenu(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

BOOL WINAPI DrawMenuBar(HWND window) {
    return IsWindow(window);
}

int PosixSystemCommand(HWND window, UINT command) {
    HMENU menu = GetSystemMenu(window, FALSE);
    UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
    if (!menu || state == static_cast<UINT>(-1) || (state & (MF_GRAYED | MF_DISABLED))) return 0;
    SendMessageA(window, WM_SYSCOMMAND, command, 0);
    return 1;
}

int PosixDrawCount(HWND window) {
    WindowPtr w = Find(window);
    Hold hold(Lock());
    return w ? static_cast<int>(w->draws.size()) : 0;
}

int PosixGetDrawCall(HWND window, int index, PosixDrawCall* call) {
    WindowPtr w = Find(window);
    Hold hold(Lock());
    if (!w || !call || index < 0 || static_cast<size_t>(index) >= w->draws.size()) return 0;
    *call = w->draws[static_cast<size_t>(index)];
    return 1;
}

void PosixClearDrawCalls(HWND window) {
    WindowPtr w = Find(window);
    Hold hold(Lock());
    if (w) w->draws.clear();
}

int PosixLiveGdiObjects(void) {
    Hold hold(Lock());
    int n = 0;
    for (const auto& entry : G().objects)
        if (!entry.second->stock) ++n;
    return n;
}

int PosixLiveDCs(void) {
    Hold hold(Lock());
    return static_cast<int>(G().dcs.size());
}

}  // extern "C"
