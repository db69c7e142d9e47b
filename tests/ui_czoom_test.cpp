// The "czoom" pan and tilt control, driven with the mouse and its private
// messages inside a parent window that records the notifications.
#include <vector>

#include "driver/driver.h"
#include "platform/posix/posix_windows.h"
#include "test_support.h"
#include "ui/czoom.h"
#include "ui/resources/resource.h"

namespace {

struct Notification {
    WORD id;
    WORD code;
    HWND control;
};

std::vector<Notification> notifications;

LRESULT CALLBACK ParentProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        notifications.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

// The client area is 180 x 166, so the 178 x 146 frame starts at (1, 10).
const int kClientWidth = 180;
const int kClientHeight = 166;
const POINT kOrigin = {1, 10};

std::vector<LONG> Corners(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

class ZoomControl : public FreshHome {
protected:
    HINSTANCE module = GetModuleHandleA(nullptr);
    HWND parent = nullptr;
    HWND zoom = nullptr;

    void SetUp() override {
        FreshHome::SetUp();
        static bool registered = false;
        if (!registered) {
            WNDCLASSA parentClass = {};
            parentClass.lpfnWndProc = ParentProc;
            parentClass.hInstance = module;
            parentClass.lpszClassName = "ZoomTestParent";
            ASSERT_NE(RegisterClassA(&parentClass), 0);
            registered = true;
            // The driver's attach hook registers it too, when a test of the
            // same process loaded the driver first.
            WNDCLASSA existing;
            ASSERT_TRUE(RegisterZoomControlClass(module) || GetClassInfoA(module, ZOOM_CLASS_NAME, &existing));
        }
        notifications.clear();
        parent = CreateWindowExA(0, "ZoomTestParent", "parent", WS_POPUP | WS_VISIBLE, 100, 50, 300, 250, nullptr,
                                 nullptr, module, nullptr);
        ASSERT_NE(parent, nullptr);
        RECT frame = {0, 0, kClientWidth, kClientHeight};
        zoom = CreateWindowExA(0, ZOOM_CLASS_NAME, "pan and tilt", WS_CHILD | WS_VISIBLE, 20, 30, frame.right,
                               frame.bottom, parent, reinterpret_cast<HMENU>(IDC_PAN_TILT), module, nullptr);
        ASSERT_NE(zoom, nullptr);
        PosixRunMessages();
    }
    void TearDown() override {
        PosixResetWindows();
        FreshHome::TearDown();
    }

    typedef std::vector<LONG> Point;
    Point Position() {
        LRESULT position = SendMessageA(zoom, ZM_GETPOSITION, 0, 0);
        return {LOWORD(position), HIWORD(position)};
    }
    BOOL SetPosition(LONG x, LONG y) {
        POINT point = {x, y};
        return (BOOL)SendMessageA(zoom, ZM_SETPOSITION, 0, reinterpret_cast<LPARAM>(&point));
    }
    // The pan rectangle in client coordinates, from its reported position and
    // the given size in frame pixels.
    RECT PanInClient(LONG width, LONG height) {
        Point p = Position();
        LONG left = p[0] / 2 + 1 + kOrigin.x;
        LONG top = p[1] / 2 + 1 + kOrigin.y;
        return {left, top, left + width, top + height};
    }
    std::vector<WORD> Codes() {
        std::vector<WORD> codes;
        for (const Notification& n : notifications) {
            EXPECT_EQ(n.id, IDC_PAN_TILT);
            EXPECT_EQ(n.control, zoom);
            codes.push_back(n.code);
        }
        return codes;
    }
    // The cursor's clipping, and a client rectangle of the control, as corners on the screen.
    static std::vector<LONG> Clip() {
        RECT clip;
        GetClipCursor(&clip);
        return Corners(clip);
    }
    std::vector<LONG> Screen(LONG left, LONG top, LONG right, LONG bottom) {
        POINT a = {left, top}, b = {right, bottom};
        ClientToScreen(zoom, &a);
        ClientToScreen(zoom, &b);
        return {a.x, a.y, b.x, b.y};
    }
    std::vector<PosixDrawCall> Paint() {
        PosixClearDrawCalls(zoom);
        InvalidateRect(zoom, nullptr, TRUE);
        UpdateWindow(zoom);
        std::vector<PosixDrawCall> calls;
        for (int i = 0; i < PosixDrawCount(zoom); i++) {
            PosixDrawCall call;
            PosixGetDrawCall(zoom, i, &call);
            if (call.op == 'R') calls.push_back(call);
        }
        return calls;
    }
};

TEST_F(ZoomControl, StartsWithAQuarterOfTheSensorCentredAndPaintsFrameAndRectangle) {
    EXPECT_EQ(Position(), (Point{88, 72}));
    std::vector<PosixDrawCall> calls = Paint();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(Corners(calls[0].rect), (Point{1, 10, 179, 156}));
    EXPECT_EQ(calls[0].color, RGB(0, 0, 0));
    EXPECT_EQ(Corners(calls[1].rect), (Point{1 + 45, 10 + 37, 1 + 133, 10 + 109}));
    EXPECT_EQ(calls[1].color, RGB(0, 0, 0));
}

TEST_F(ZoomControl, ADragCapturesClipsAndReportsThroughPostedNotifications) {
    RECT pan = PanInClient(88, 72);
    PosixMouseDown(zoom, pan.left + 5, pan.top + 5);
    EXPECT_TRUE(notifications.empty()) << "notifications are posted, not sent";
    PosixRunMessages();
    EXPECT_EQ(Codes(), std::vector<WORD>({ZN_DRAGSTARTED}));
    EXPECT_EQ(GetCapture(), zoom);
    EXPECT_STREQ(PosixCursorName(), "cross");
    EXPECT_EQ(Clip(), Screen(pan.left - 1, pan.top - 1, pan.right + 1, pan.bottom + 1));

    notifications.clear();
    PosixMouseMove(zoom, pan.left + 5 + 10, pan.top + 5 - 4);
    PosixRunMessages();
    EXPECT_EQ(Codes(), std::vector<WORD>({ZN_MOVED}));
    EXPECT_EQ(Position(), (Point{88 + 20, 72 - 8}));
    EXPECT_EQ(Clip(), Screen(pan.left + 9, pan.top - 5, pan.right + 11, pan.bottom - 3));

    // A move to where the mouse already was reports nothing.
    notifications.clear();
    PosixMouseMove(zoom, pan.left + 15, pan.top + 1);
    PosixRunMessages();
    EXPECT_TRUE(notifications.empty());

    PosixMouseUp(zoom, pan.left + 15, pan.top + 1);
    PosixRunMessages();
    EXPECT_EQ(Codes(), std::vector<WORD>({ZN_DRAGENDED}));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_STRNE(PosixCursorName(), "cross");
    EXPECT_GT(Clip()[2] - Clip()[0], 400) << "the clipping is released";
}

// Against an edge the rectangle stays on that axis, still follows the
// other, and the cursor keeps its grip; away from it, it follows again.
TEST_F(ZoomControl, AgainstAnEdgeTheRectangleStaysAndTheCursorKeepsItsGrip) {
    struct Edge {
        const char* name;
        LONG x, y;   // a position touching only this edge
        int ox, oy;  // outwards
    };
    const Edge edges[] = {
        {"left", 0, 50, -1, 0}, {"top", 100, 0, 0, -1}, {"right", 176, 50, 1, 0}, {"bottom", 100, 144, 0, 1}};
    for (const Edge& e : edges) {
        SCOPED_TRACE(e.name);
        ASSERT_TRUE(SetPosition(e.x, e.y));
        ASSERT_EQ(Position(), (Point{e.x, e.y}));
        RECT pan = PanInClient(88, 72);
        LONG ax = e.oy * e.oy * 3, ay = e.ox * e.ox * 3;  // along the edge
        POINT grip = {pan.left + 10, pan.top + 10}, held = {grip.x + ax, grip.y + ay};
        PosixMouseDown(zoom, grip.x, grip.y);
        PosixMouseMove(zoom, held.x + e.ox, held.y + e.oy);
        PosixRunMessages();
        EXPECT_EQ(Position(), (Point{e.x + 2 * ax, e.y + 2 * ay}));
        POINT cursor;
        GetCursorPos(&cursor);
        ClientToScreen(zoom, &held);
        EXPECT_EQ(std::vector<LONG>({cursor.x, cursor.y}), std::vector<LONG>({held.x, held.y}));
        PosixMouseMove(zoom, grip.x + ax - 4 * e.ox, grip.y + ay - 4 * e.oy);
        PosixMouseUp(zoom, grip.x + ax - 4 * e.ox, grip.y + ay - 4 * e.oy);
        PosixRunMessages();
        EXPECT_EQ(Position(), (Point{e.x + 2 * ax - 8 * e.ox, e.y + 2 * ay - 8 * e.oy}));
    }
}

TEST_F(ZoomControl, DestroyingDuringADragReleasesTheClippingAndEverythingItMade) {
    DestroyWindow(zoom);
    int gdi = PosixLiveGdiObjects();
    long local = PosixLiveLocalBlocks();
    zoom = CreateWindowExA(0, ZOOM_CLASS_NAME, "", WS_CHILD | WS_VISIBLE, 0, 0, kClientWidth, kClientHeight, parent,
                           reinterpret_cast<HMENU>(IDC_PAN_TILT), module, nullptr);
    ASSERT_NE(zoom, nullptr);
    EXPECT_EQ(PosixLiveGdiObjects(), gdi + 3);
    RECT pan = PanInClient(88, 72);
    PosixMouseDown(zoom, pan.left + 1, pan.top + 1);
    DestroyWindow(zoom);
    EXPECT_GT(Clip()[2] - Clip()[0], 400);
    EXPECT_EQ(PosixLiveGdiObjects(), gdi);
    EXPECT_EQ(PosixLiveLocalBlocks(), local);
}

}  // namespace
