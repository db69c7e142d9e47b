// The "czoom" pan and tilt control.
#include "czoom.h"

typedef struct ZoomState {
    HLOCAL memory;  // the handle the record was allocated under
    BOOL dragging;
    POINT anchor;  // client coordinates of the last mouse position taken into account
    POINT origin;  // the frame's top-left corner in the client area
    RECT pan;      // frame coordinates
    HBRUSH drawBrush;
    HBRUSH eraseBrush;
    HBRUSH focusBrush;
    HCURSOR previousCursor;
} ZoomState;

// The frame's interior, in frame coordinates.
static const LONG kInteriorLeft = 1;
static const LONG kInteriorTop = 1;
static const LONG kInteriorRight = ZOOM_FRAME_WIDTH - 1;
static const LONG kInteriorBottom = ZOOM_FRAME_HEIGHT - 1;

static ZoomState* StateOf(HWND window) {
    return (ZoomState*)GetWindowLongPtrA(window, 0);
}

static LONG SensorToFrame(LONG c) {
    return c / 2 + 1;
}

// Whether the rectangle moved by dx (or dy) stays clear of the frame's border.
static BOOL HorizontalMoveInside(const RECT* r, LONG dx) {
    return r->left + dx > 0 && r->right + dx < ZOOM_FRAME_WIDTH;
}

static BOOL VerticalMoveInside(const RECT* r, LONG dy) {
    return r->top + dy > 0 && r->bottom + dy < ZOOM_FRAME_HEIGHT;
}

static BOOL TouchesInteriorEdge(const RECT* r) {
    return r->left == kInteriorLeft || r->right == kInteriorRight || r->top == kInteriorTop ||
           r->bottom == kInteriorBottom;
}

// The pan rectangle in client coordinates.
static RECT PanInClient(const ZoomState* state) {
    RECT r = state->pan;
    OffsetRect(&r, state->origin.x, state->origin.y);
    return r;
}

static void Notify(HWND window, WORD code) {
    PostMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), code), (LPARAM)window);
}

// Keeps the cursor on the rectangle grown by one pixel on each side.
static void ClipCursorToPan(HWND window, const ZoomState* state) {
    POINT corner = {state->pan.left + state->origin.x, state->pan.top + state->origin.y};
    ClientToScreen(window, &corner);
    LONG width = state->pan.right - state->pan.left;
    LONG height = state->pan.bottom - state->pan.top;
    RECT clip = {corner.x - 1, corner.y - 1, corner.x + width + 1, corner.y + height + 1};
    ClipCursor(&clip);
}

static void Repaint(HWND window) {
    InvalidateRect(window, NULL, TRUE);
    UpdateWindow(window);
}

static void SetPanSize(ZoomState* state, const RECT* sensor) {
    LONG width = SensorToFrame(sensor->right) - SensorToFrame(sensor->left);
    LONG height = SensorToFrame(sensor->bottom) - SensorToFrame(sensor->top);
    LONG left = (ZOOM_FRAME_WIDTH - width) / 2;
    LONG top = (ZOOM_FRAME_HEIGHT - height) / 2;
    SetRect(&state->pan, left, top, left + width, top + height);
}

static LRESULT OnCreate(HWND window) {
    HLOCAL memory = LocalAlloc(LPTR, sizeof(ZoomState));
    if (!memory) return -1;
    ZoomState* state = (ZoomState*)LocalLock(memory);
    if (!state) {
        LocalFree(memory);
        return -1;
    }
    state->memory = memory;
    SetWindowLongPtrA(window, 0, (LONG_PTR)state);
    RECT sensor = {0, 0, 176, 144};
    SetPanSize(state, &sensor);
    RECT client;
    GetClientRect(window, &client);
    state->origin.x = (client.right - client.left - ZOOM_FRAME_WIDTH) / 2;
    state->origin.y = (client.bottom - client.top - ZOOM_FRAME_HEIGHT) / 2;
    state->drawBrush = CreateSolidBrush(RGB(0, 0, 0));
    state->eraseBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    state->focusBrush = CreateSolidBrush(RGB(255, 0, 0));
    return 0;
}

static void OnDestroy(HWND window, ZoomState* state) {
    if (state->dragging) {
        ClipCursor(NULL);
        if (GetCapture() == window) ReleaseCapture();
    }
    DeleteObject(state->drawBrush);
    DeleteObject(state->eraseBrush);
    DeleteObject(state->focusBrush);
    SetWindowLongPtrA(window, 0, 0);
    HLOCAL memory = state->memory;
    LocalUnlock(memory);
    LocalFree(memory);
}

// Focus gains and losses alternate, so the swap leaves the rectangle red
// while the control has the focus.
static void OnFocusChange(HWND window, ZoomState* state) {
    if (!IsWindowEnabled(window)) return;
    HBRUSH draw = state->drawBrush;
    state->drawBrush = state->focusBrush;
    state->focusBrush = draw;
    Repaint(window);
}

static void OnPaint(HWND window, const ZoomState* state) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT frame = {state->origin.x, state->origin.y, state->origin.x + ZOOM_FRAME_WIDTH,
                  state->origin.y + ZOOM_FRAME_HEIGHT};
    FrameRect(dc, &frame, (HBRUSH)GetStockObject(BLACK_BRUSH));
    // A disabled control shows only the empty frame.
    RECT pan = PanInClient(state);
    FrameRect(dc, &pan, IsWindowEnabled(window) ? state->drawBrush : state->eraseBrush);
    EndPaint(window, &paint);
}

static void OnButtonDown(HWND window, ZoomState* state, LPARAM lParam) {
    POINT point = {(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
    RECT pan = PanInClient(state);
    if (PtInRect(&pan, point)) {
        state->previousCursor = SetCursor(LoadCursorA(NULL, IDC_CROSS));
        SetCapture(window);
        ClipCursorToPan(window, state);
        state->anchor = point;
        state->dragging = TRUE;
        Notify(window, ZN_DRAGSTARTED);
    }
    SetFocus(window);
}

static void OnMouseMove(HWND window, ZoomState* state, LPARAM lParam) {
    if (!state->dragging) return;
    LONG x = (SHORT)LOWORD(lParam);
    LONG y = (SHORT)HIWORD(lParam);
    LONG dx = x - state->anchor.x;
    LONG dy = y - state->anchor.y;
    BOOL horizontal = HorizontalMoveInside(&state->pan, dx);
    BOOL vertical = VerticalMoveInside(&state->pan, dy);
    if (!horizontal) dx = 0;
    if (!vertical) dy = 0;
    // Against an edge the cursor keeps its grip on the rectangle.
    if (TouchesInteriorEdge(&state->pan) && (x != state->anchor.x || y != state->anchor.y)) {
        state->anchor.x += dx;
        state->anchor.y += dy;
        POINT cursor = state->anchor;
        ClientToScreen(window, &cursor);
        SetCursorPos(cursor.x, cursor.y);
    } else {
        state->anchor.x = x;
        state->anchor.y = y;
    }
    if (!horizontal && !vertical) return;
    HDC dc = GetDC(window);
    RECT pan = PanInClient(state);
    FrameRect(dc, &pan, state->eraseBrush);
    OffsetRect(&state->pan, dx, dy);
    pan = PanInClient(state);
    FrameRect(dc, &pan, state->drawBrush);
    ReleaseDC(window, dc);
    ClipCursorToPan(window, state);
    if (dx != 0 || dy != 0) Notify(window, ZN_MOVED);
}

// Ends a drag when the button is released, or when the capture goes
// elsewhere first, so that the cursor is never left clipped and the parent
// always hears the end. The flag is cleared first: releasing the capture
// comes back here through WM_CAPTURECHANGED.
static void EndDrag(HWND window, ZoomState* state) {
    if (!state->dragging) return;
    state->dragging = FALSE;
    SetCursor(state->previousCursor);
    if (GetCapture() == window) ReleaseCapture();
    ClipCursor(NULL);
    Notify(window, ZN_DRAGENDED);
}

// A position is adopted when at least one axis lands inside the frame; an
// axis that would leave the frame keeps its place, so the rectangle never
// lies outside the sensor.
static LRESULT OnSetPosition(HWND window, ZoomState* state, const POINT* sensor) {
    if (!sensor) return 0;
    RECT moved = state->pan;
    OffsetRect(&moved, SensorToFrame(sensor->x) - moved.left, SensorToFrame(sensor->y) - moved.top);
    BOOL horizontal = HorizontalMoveInside(&moved, 0);
    BOOL vertical = VerticalMoveInside(&moved, 0);
    if (!horizontal && !vertical) return 0;
    if (horizontal) {
        state->pan.left = moved.left;
        state->pan.right = moved.right;
    }
    if (vertical) {
        state->pan.top = moved.top;
        state->pan.bottom = moved.bottom;
    }
    Repaint(window);
    return 1;
}

static LRESULT OnGetPosition(const ZoomState* state) {
    WORD x = (WORD)((state->pan.left - 1) * 2);
    WORD y = (WORD)((state->pan.top - 1) * 2);
    return MAKELRESULT(x, y);
}

LRESULT CALLBACK ZoomControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return OnCreate(window);
    ZoomState* state = StateOf(window);
    if (!state) return DefWindowProcA(window, msg, wParam, lParam);
    switch (msg) {
        case WM_DESTROY:
            OnDestroy(window, state);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            OnFocusChange(window, state);
            return 0;
        case WM_ENABLE:
            Repaint(window);
            return 0;
        case WM_PAINT:
            OnPaint(window, state);
            return 0;
        case WM_LBUTTONDOWN:
            OnButtonDown(window, state, lParam);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(window, state, lParam);
            return 0;
        case WM_LBUTTONUP:
            EndDrag(window, state);
            return 0;
        case WM_CAPTURECHANGED:
            if ((HWND)lParam != window) EndDrag(window, state);
            return 0;
        case ZM_SETPOSITION:
            return OnSetPosition(window, state, (const POINT*)lParam);
        case ZM_GETPOSITION:
            return OnGetPosition(state);
        case ZM_SETSIZE:
            if (lParam) SetPanSize(state, (const RECT*)lParam);
            return 0;
        default:
            return DefWindowProcA(window, msg, wParam, lParam);
    }
}

BOOL RegisterZoomControlClass(HINSTANCE module) {
    WNDCLASSA windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = ZoomControlProc;
    windowClass.cbClsExtra = 0;
    // One word for the state's address: 4 bytes on the 32-bit driver.
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = module;
    windowClass.hIcon = NULL;
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(INT_PTR)(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = ZOOM_CLASS_NAME;
    return RegisterClassA(&windowClass) != 0;
}
