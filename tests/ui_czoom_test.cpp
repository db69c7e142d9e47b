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

    POINT Position() {
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
        POINT p = Position();
        LONG left = p.x / 2 + 1 + kOrigin.x;
        LONG top = p.y / 2 + 1 + kOrigin.y;
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
    RECT ScreenRect(RECT r) {
        POINT a = {r.left, r.top}, b = {r.right, r.bottom};
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

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST_F(ZoomControl, StartsWithAQuarterOfTheSensorCentredAndPaintsFrameAndRectangle) {
    POINT p = Position();
    EXPECT_EQ(p.x, 88);
    EXPECT_EQ(p.y, 72);
    std::vector<PosixDrawCall> calls = Paint();
    ASSERT_EQ(calls.size(), 2u);
    ExpectRect(calls[0].rect, 1, 10, 179, 156);
    EXPECT_EQ(calls[0].color, RGB(0, 0, 0));
    ExpectRect(calls[1].rect, 1 + 45, 10 + 37, 1 + 133, 10 + 109);
    EXPECT_EQ(calls[1].color, RGB(0, 0, 0));
}

TEST_F(ZoomControl, TheRectangleIsRedWhileTheControlHasTheFocusAndHiddenWhileDisabled) {
    SetFocus(zoom);
    EXPECT_EQ(Paint().back().color, RGB(255, 0, 0));
    SetFocus(parent);
    EXPECT_EQ(Paint().back().color, RGB(0, 0, 0));
    EnableWindow(zoom, FALSE);
    std::vector<PosixDrawCall> calls = Paint();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].color, RGB(0, 0, 0));
    EXPECT_EQ(calls[1].color, GetSysColor(COLOR_BTNFACE));
    // A disabled control takes no focus colour either.
    SendMessageA(zoom, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(Paint().back().color, GetSysColor(COLOR_BTNFACE));
    EnableWindow(zoom, TRUE);
    EXPECT_EQ(Paint().back().color, RGB(0, 0, 0));
}

TEST_F(ZoomControl, APressOutsideTheRectangleOnlyTakesTheFocus) {
    PosixMouseDown(zoom, kOrigin.x + 10, kOrigin.y + 10);
    PosixMouseMove(zoom, kOrigin.x + 30, kOrigin.y + 30);
    PosixMouseUp(zoom, kOrigin.x + 30, kOrigin.y + 30);
    PosixRunMessages();
    EXPECT_EQ(GetFocus(), zoom);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(notifications.empty());
    EXPECT_EQ(Position().x, 88);
    // The right and bottom edges are not part of the rectangle.
    PosixMouseDown(zoom, kOrigin.x + 133, kOrigin.y + 60);
    PosixMouseDown(zoom, kOrigin.x + 60, kOrigin.y + 109);
    PosixRunMessages();
    EXPECT_TRUE(notifications.empty());
}

TEST_F(ZoomControl, ADragCapturesClipsAndReportsThroughPostedNotifications) {
    RECT pan = PanInClient(88, 72);
    PosixMouseDown(zoom, pan.left + 5, pan.top + 5);
    EXPECT_TRUE(notifications.empty()) << "notifications are posted, not sent";
    PosixRunMessages();
    EXPECT_EQ(Codes(), std::vector<WORD>({ZN_DRAGSTARTED}));
    EXPECT_EQ(GetCapture(), zoom);
    EXPECT_STREQ(PosixCursorName(), "cross");
    RECT clip;
    GetClipCursor(&clip);
    RECT expected = ScreenRect({pan.left - 1, pan.top - 1, pan.right + 1, pan.bottom + 1});
    ExpectRect(clip, expected.left, expected.top, expected.right, expected.bottom);

    notifications.clear();
    PosixMouseMove(zoom, pan.left + 5 + 10, pan.top + 5 - 4);
    PosixRunMessages();
    EXPECT_EQ(Codes(), std::vector<WORD>({ZN_MOVED}));
    EXPECT_EQ(Position().x, 88 + 20);
    EXPECT_EQ(Position().y, 72 - 8);
    GetClipCursor(&clip);
    expected = ScreenRect({pan.left + 9, pan.top - 5, pan.right + 11, pan.bottom - 3});
    ExpectRect(clip, expected.left, expected.top, expected.right, expected.bottom);

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
    GetClipCursor(&clip);
    EXPECT_GT(clip.right - clip.left, 400) << "the clipping is released";
}

TEST_F(ZoomControl, AgainstTheLeftEdgeTheRectangleStaysAndTheCursorKeepsItsGrip) {
    ASSERT_TRUE(SetPosition(0, 0));
    EXPECT_EQ(Position().x, 0);
    EXPECT_EQ(Position().y, 0);
    RECT pan = PanInClient(88, 72);
    POINT grip = {pan.left + 10, pan.top + 10};
    PosixMouseDown(zoom, grip.x, grip.y);
    // Left is blocked at the edge; down still moves.
    PosixMouseMove(zoom, grip.x - 1, grip.y + 3);
    PosixRunMessages();
    EXPECT_EQ(Position().x, 0);
    EXPECT_EQ(Position().y, 6);
    POINT cursor;
    GetCursorPos(&cursor);
    POINT held = {grip.x, grip.y + 3};
    ClientToScreen(zoom, &held);
    EXPECT_EQ(cursor.x, held.x);
    EXPECT_EQ(cursor.y, held.y);
    // Away from the edge the rectangle follows the mouse again.
    PosixMouseMove(zoom, grip.x + 4, grip.y + 3);
    PosixMouseUp(zoom, grip.x + 4, grip.y + 3);
    PosixRunMessages();
    EXPECT_EQ(Position().x, 8);
    EXPECT_EQ(Position().y, 6);
}

TEST_F(ZoomControl, PositionsOutsideTheFrameAreRefusedAxisByAxis) {
    EXPECT_TRUE(SetPosition(100, 50));
    EXPECT_EQ(Position().x, 100);
    EXPECT_EQ(Position().y, 50);
    // Both axes outside: refused, nothing changes.
    EXPECT_FALSE(SetPosition(400, 300));
    EXPECT_EQ(Position().x, 100);
    // One axis inside: adopted, and the other keeps its place so that the
    // rectangle never leaves the sensor.
    EXPECT_TRUE(SetPosition(30, 300));
    EXPECT_EQ(Position().x, 30);
    EXPECT_EQ(Position().y, 50);
    EXPECT_TRUE(SetPosition(176, 144));  // the far corner of a 176 x 144 window
    EXPECT_EQ(Position().x, 176);
    EXPECT_EQ(Position().y, 144);
    EXPECT_FALSE(SendMessageA(zoom, ZM_SETPOSITION, 0, 0));
}

TEST_F(ZoomControl, ASizeCentresTheRectangleWithoutRepainting) {
    ASSERT_TRUE(SetPosition(0, 0));
    PosixRunMessages();
    PosixClearDrawCalls(zoom);
    RECT sensor = {88, 72, 264, 216};
    EXPECT_EQ(SendMessageA(zoom, ZM_SETSIZE, 0, reinterpret_cast<LPARAM>(&sensor)), 0);
    PosixRunMessages();
    EXPECT_EQ(PosixDrawCount(zoom), 0);
    EXPECT_EQ(Position().x, 88);
    EXPECT_EQ(Position().y, 72);
    RECT small = {0, 0, 160, 120};
    SendMessageA(zoom, ZM_SETSIZE, 0, reinterpret_cast<LPARAM>(&small));
    EXPECT_EQ(Position().x, 96);
    EXPECT_EQ(Position().y, 84);
    std::vector<PosixDrawCall> calls = Paint();
    ExpectRect(calls.back().rect, kOrigin.x + 49, kOrigin.y + 43, kOrigin.x + 129, kOrigin.y + 103);
}

TEST_F(ZoomControl, LosingTheCaptureEndsTheDrag) {
    RECT pan = PanInClient(88, 72);
    PosixMouseDown(zoom, pan.left + 2, pan.top + 2);
    SetCapture(parent);
    PosixRunMessages();
    EXPECT_EQ(Codes(), std::vector<WORD>({ZN_DRAGSTARTED, ZN_DRAGENDED}));
    RECT clip;
    GetClipCursor(&clip);
    EXPECT_GT(clip.right - clip.left, 400);
    EXPECT_STRNE(PosixCursorName(), "cross");
    // The button coming up later changes nothing.
    notifications.clear();
    ReleaseCapture();
    PosixMouseMove(zoom, pan.left + 20, pan.top + 2);
    PosixMouseUp(zoom, pan.left + 20, pan.top + 2);
    PosixRunMessages();
    EXPECT_TRUE(notifications.empty());
    EXPECT_EQ(Position().x, 88);
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
    RECT clip;
    GetClipCursor(&clip);
    EXPECT_GT(clip.right - clip.left, 400);
    EXPECT_EQ(PosixLiveGdiObjects(), gdi);
    EXPECT_EQ(PosixLiveLocalBlocks(), local);
}

TEST(ZoomControlClass, TheAttachHookRegistersIt) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    UnregisterClassA(ZOOM_CLASS_NAME, module);
    WNDCLASSA found = {};
    ASSERT_FALSE(GetClassInfoA(module, ZOOM_CLASS_NAME, &found));
    DllMain(module, DLL_PROCESS_ATTACH, nullptr);
    ASSERT_TRUE(GetClassInfoA(module, ZOOM_CLASS_NAME, &found));
    EXPECT_EQ(found.hInstance, module);
    EXPECT_EQ(found.lpfnWndProc, ZoomControlProc);
    EXPECT_EQ(found.style, 0u);
    EXPECT_EQ(found.cbClsExtra, 0);
    EXPECT_EQ(found.cbWndExtra, (int)sizeof(LONG_PTR));
    EXPECT_EQ(found.hIcon, nullptr);
    EXPECT_EQ(found.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(found.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    EXPECT_EQ(found.lpszMenuName, nullptr);
}

}  // namespace
