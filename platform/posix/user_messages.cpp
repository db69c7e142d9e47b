// Messages of the headless window system: sending (the window procedure
// runs before SendMessageA returns), posting (one queue per thread, the
// thread that created the window), retrieval in the Windows order (posted
// messages, quit, paint, timers), window timers on the layer's clock and
// the default window procedure.
//
// A message sent from another thread than the window's runs on the sending
// thread; the driver only posts across threads (trace lines), which is
// queued for the window's own thread as on Windows.
#include <string.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>

#include "user_internal.h"

namespace w32u {

namespace {

// Windows refuses posts beyond this many waiting messages; so do we, so a
// queue nobody reads cannot grow without end.
const size_t kQueueLimit = 10000;

struct Queue {
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
};

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    uint32_t due;
    std::thread::id thread;
};

struct MessageState {
    std::map<std::thread::id, Queue> queues;
    std::condition_variable_any changed;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimer = 0x7FF0;
};

MessageState& M() {
    static MessageState* state = new MessageState;
    return *state;
}

bool DueBy(uint32_t due, uint32_t now) {
    return static_cast<int32_t>(now - due) >= 0;
}

bool Matches(const MSG& m, HWND filter, UINT first, UINT last) {
    if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd)) return false;
    if (first == 0 && last == 0) return true;
    return m.message >= first && m.message <= last;
}

MSG MakeMsg(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m;
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = PosixClockNow();
    GetCursorPos(&m.pt);
    return m;
}

}  // namespace

bool NextTimerDue(uint32_t* due) {
    Hold hold(Lock());
    std::thread::id self = std::this_thread::get_id();
    bool found = false;
    for (const Timer& t : M().timers) {
        if (t.thread != self) continue;
        if (!found || static_cast<int32_t>(t.due - *due) < 0) *due = t.due;
        found = true;
    }
    return found;
}

bool RetrieveMessage(MSG* msg, HWND filter, UINT first, UINT last, bool remove) {
    Hold hold(Lock());
    std::thread::id self = std::this_thread::get_id();
    Queue& q = M().queues[self];
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!Matches(*it, filter, first, last)) continue;
        *msg = *it;
        if (remove) q.posted.erase(it);
        return true;
    }
    if (q.quit && !filter) {
        *msg = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0);
        if (remove) q.quit = false;
        return true;
    }
    for (const WindowPtr& w : AllWindows()) {
        if (w->thread != self || !w->invalid || !IsWindowVisible(w->handle)) continue;
        MSG m = MakeMsg(w->handle, WM_PAINT, 0, 0);
        if (!Matches(m, filter, first, last)) continue;
        *msg = m;
        return true;
    }
    uint32_t now = PosixClockNow();
    Timer* best = nullptr;
    for (Timer& t : M().timers) {
        if (t.thread != self || !DueBy(t.due, now)) continue;
        MSG m = MakeMsg(t.window, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
        if (!Matches(m, filter, first, last)) continue;
        if (!best || static_cast<int32_t>(t.due - best->due) < 0) best = &t;
    }
    if (best) {
        *msg = MakeMsg(best->window, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc));
        if (remove) best->due = now + best->elapse;
        return true;
    }
    return false;
}

void KillWindowTimers(HWND window) {
    Hold hold(Lock());
    // Messages still queued for the window can reach nobody now.
    for (auto& entry : M().queues) {
        auto& posted = entry.second.posted;
        posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG& m) { return m.hwnd == window; }),
                     posted.end());
    }
    auto& timers = M().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == window; }),
                 timers.end());
}

void HandleMessage(MSG* msg) {
    HWND top = TopLevelOf(msg->hwnd);
    if (top && IsDialogWindow(Find(top)) && IsDialogMessageA(top, msg)) return;
    TranslateMessage(msg);
    DispatchMessageA(msg);
}

void ResetMessageState() {
    Hold hold(Lock());
    M().queues.clear();
    M().timers.clear();
}

}  // namespace w32u

using namespace w32u;

extern "C" {

LRESULT WINAPI SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    WNDPROC proc;
    {
        Hold hold(Lock());
        proc = w->proc;
    }
    // The full handle, also when the caller had the 16-bit form.
    return proc ? proc(w->handle, msg, wParam, lParam) : 0;
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(window, msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::thread::id thread = std::this_thread::get_id();
    if (window) {
        WindowPtr w = Find(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        thread = w->thread;
        window = w->handle;
    }
    Hold hold(Lock());
    Queue& q = M().queues[thread];
    if (q.posted.size() >= kQueueLimit) {
        SetLastError(1816);  // ERROR_NOT_ENOUGH_QUOTA
        return FALSE;
    }
    q.posted.push_back(MakeMsg(window, msg, wParam, lParam));
    M().changed.notify_all();
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    Hold hold(Lock());
    Queue& q = M().queues[std::this_thread::get_id()];
    q.quit = true;
    q.quitCode = exitCode;
    M().changed.notify_all();
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
    MSG m;
    if (!RetrieveMessage(&m, window, first, last, (remove & PM_REMOVE) != 0)) return FALSE;
    if (msg) *msg = m;
    return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT first, UINT last) {
    if (!msg) return -1;
    for (;;) {
        if (RetrieveMessage(msg, window, first, last, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
        uint32_t due = 0;
        bool timer = NextTimerDue(&due);
        if (PosixClockIsVirtual() && timer) {
            // Waiting costs no real time: the clock moves on to the timer.
            uint32_t now = PosixClockNow();
            if (!DueBy(due, now)) PosixClockAdvance(due - now);
            continue;
        }
        std::unique_lock<std::recursive_mutex> hold(Lock());
        if (timer) {
            int32_t wait = static_cast<int32_t>(due - PosixClockNow());
            if (wait > 0) M().changed.wait_for(hold, std::chrono::milliseconds(wait));
            continue;
        }
        if (PosixClockIsVirtual()) {
            // Only another thread can post now; give it a while, then give up
            // rather than wait for ever on a clock that cannot move.
            if (M().changed.wait_for(hold, std::chrono::seconds(10)) == std::cv_status::timeout) {
                hold.unlock();
                PosixReportProblem("GetMessage: nothing to wait for in virtual time");
                return -1;
            }
            continue;
        }
        M().changed.wait(hold);
    }
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    int key = static_cast<int>(msg->wParam);
    int ch = 0;
    if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || key == VK_SPACE)
        ch = key;
    else if (key >= '0' && key <= '9')
        ch = key;
    else if (key >= 'A' && key <= 'Z')
        ch = key - 'A' + 'a';
    if (!ch) return FALSE;
    PostMessageA(msg->hwnd, WM_CHAR, static_cast<WPARAM>(ch), msg->lParam);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        TIMERPROC proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (!msg->hwnd) return 0;
    LRESULT result = SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT) {
        // A procedure that did not validate would be painted for ever; the
        // headless screen takes one paint as done.
        if (WindowPtr w = Find(msg->hwnd)) {
            Hold hold(Lock());
            w->invalid = false;
            w->erase = false;
        }
    }
    return result;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    if (window) {
        WindowPtr w = Find(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        window = w->handle;
    }
    elapse = std::max<UINT>(elapse, USER_TIMER_MINIMUM);
    elapse = std::min<UINT>(elapse, USER_TIMER_MAXIMUM);
    Hold hold(Lock());
    auto& timers = M().timers;
    if (!window) {
        bool known = false;
        for (const Timer& t : timers) known = known || (!t.window && t.id == id);
        if (!known) id = M().nextThreadTimer++;
    }
    uint32_t due = PosixClockNow() + elapse;
    for (Timer& t : timers)
        if (t.window == window && t.id == id) {
            t.elapse = elapse;
            t.proc = proc;
            t.due = due;
            return window ? (id ? id : 1) : id;
        }
    timers.push_back({window, id, elapse, proc, due, std::this_thread::get_id()});
    M().changed.notify_all();
    return window ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    if (window) {
        WindowPtr w = Find(window);
        if (w) window = w->handle;
    }
    Hold hold(Lock());
    auto& timers = M().timers;
    for (auto it = timers.begin(); it != timers.end(); ++it)
        if (it->window == window && it->id == id) {
            timers.erase(it);
            return TRUE;
        }
    SetLastError(1402);  // ERROR_INVALID_TIMER_ID... as near as it gets
    return FALSE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(window);
    if (!w) return 0;
    switch (msg) {
        case WM_NCCREATE:
            return TRUE;
        case WM_SETTEXT: {
            Hold hold(Lock());
            w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            return TRUE;
        }
        case WM_GETTEXT: {
            char* out = reinterpret_cast<char*>(lParam);
            if (!out || wParam == 0) return 0;
            Hold hold(Lock());
            size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
            memcpy(out, w->text.data(), n);
            out[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH: {
            Hold hold(Lock());
            return static_cast<LRESULT>(w->text.size());
        }
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendMessageA(window, WM_CLOSE, 0, 0);
                    break;
                case SC_MINIMIZE:
                    ShowWindow(window, SW_MINIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(window, SW_RESTORE);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(window, &ps);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            HBRUSH brush = w->windowClass ? w->windowClass->background : nullptr;
            if (!brush) return 0;
            RECT client;
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            return 1;
        }
        case WM_CANCELMODE:
            if (GetCapture() == window) ReleaseCapture();
            return 0;
        default:
            return 0;
    }
}

int PosixRunMessages(void) {
    int handled = 0;
    MSG msg;
    // Bounded, so a window that keeps posting to itself cannot hang a test.
    while (handled < 1000000 && RetrieveMessage(&msg, nullptr, 0, 0, true)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        HandleMessage(&msg);
        ++handled;
    }
    return handled;
}

void PosixRunFor(DWORD ms) {
    uint32_t end = PosixClockNow() + ms;
    if (!PosixClockIsVirtual()) {
        for (;;) {
            PosixRunMessages();
            int32_t left = static_cast<int32_t>(end - PosixClockNow());
            if (left <= 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 5)));
        }
        return;
    }
    for (;;) {
        PosixRunMessages();
        uint32_t now = PosixClockNow();
        if (DueBy(end, now)) break;
        uint32_t next = end;
        uint32_t due;
        if (NextTimerDue(&due) && static_cast<int32_t>(due - next) < 0) next = due;
        if (static_cast<int32_t>(next - now) <= 0) next = now + 1;
        PosixClockAdvance(next - now);
    }
    PosixRunMessages();
}

}  // extern "C"
