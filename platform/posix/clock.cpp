// The millisecond clock and the multimedia timers.
//
// Real mode: timeGetTime follows the monotonic clock and timers fire on one
// timer thread. Virtual mode (tests): time moves only when timeGetTime is
// polled (one millisecond a call, so busy waits end) or when a test
// advances it; timers then fire on the advancing thread, in due order, so a
// run is the same every time and costs no real time.
#include <time.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "internal.h"

namespace {

struct Timer {
    UINT id;
    uint32_t due;
    UINT delay;
    bool periodic;
    LPTIMECALLBACK callback;
    DWORD_PTR user;
};

struct Clock {
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> isVirtual{false};
    std::atomic<uint32_t> virtualNow{0};
    std::map<UINT, Timer> timers;
    UINT nextId = 1;
    bool threadStarted = false;
    int periods = 0;
};

Clock& TheClock() {
    static Clock* clock = new Clock;  // outlives the timer thread at exit
    return *clock;
}

uint32_t RealNow() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

uint32_t Now() {
    Clock& c = TheClock();
    return c.isVirtual ? c.virtualNow.load() : RealNow();
}

// Whether timer a falls due before b, counting on a wrapping clock.
bool DueBefore(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

// Takes the earliest timer that is due at `now`, re-arming a periodic one.
bool TakeDue(Clock& c, uint32_t now, Timer* out) {
    const Timer* best = nullptr;
    for (const auto& entry : c.timers)
        if (!DueBefore(now, entry.second.due) && (!best || DueBefore(entry.second.due, best->due)))
            best = &entry.second;
    if (!best) return false;
    *out = *best;
    if (best->periodic)
        c.timers[best->id].due = best->due + std::max<UINT>(best->delay, 1);
    else
        c.timers.erase(best->id);
    return true;
}

void TimerThread() {
    Clock& c = TheClock();
    std::unique_lock<std::mutex> hold(c.lock);
    for (;;) {
        if (c.isVirtual || c.timers.empty()) {
            c.changed.wait(hold);
            continue;
        }
        Timer due;
        if (TakeDue(c, RealNow(), &due)) {
            hold.unlock();
            due.callback(due.id, 0, due.user, 0, 0);
            hold.lock();
            continue;
        }
        uint32_t next = 0;
        bool first = true;
        for (const auto& entry : c.timers)
            if (first || DueBefore(entry.second.due, next)) {
                next = entry.second.due;
                first = false;
            }
        int32_t wait = static_cast<int32_t>(next - RealNow());
        c.changed.wait_for(hold, std::chrono::milliseconds(wait > 0 ? wait : 0));
    }
}

}  // namespace

extern "C" {

DWORD WINAPI timeGetTime(void) {
    Clock& c = TheClock();
    if (!c.isVirtual) return RealNow();
    return c.virtualNow.fetch_add(1);
}

DWORD WINAPI GetTickCount(void) {
    return timeGetTime();
}

MMRESULT WINAPI timeGetDevCaps(LPTIMECAPS caps, UINT size) {
    if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeBeginPeriod(UINT period) {
    if (period < 1 || period > 1000000) return TIMERR_NOCANDO;
    std::lock_guard<std::mutex> hold(TheClock().lock);
    TheClock().periods++;
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT period) {
    if (period < 1 || period > 1000000) return TIMERR_NOCANDO;
    std::lock_guard<std::mutex> hold(TheClock().lock);
    if (TheClock().periods == 0) return TIMERR_NOCANDO;
    TheClock().periods--;
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
    if (!callback || delay < 1 || delay > 1000000) return 0;
    Clock& c = TheClock();
    std::lock_guard<std::mutex> hold(c.lock);
    if (!c.threadStarted) {
        std::thread(TimerThread).detach();
        c.threadStarted = true;
    }
    UINT id = c.nextId++;
    if (c.nextId == 0) c.nextId = 1;
    c.timers[id] = Timer{id, Now() + delay, delay, (flags & TIME_PERIODIC) != 0, callback, user};
    c.changed.notify_all();
    return id;
}

MMRESULT WINAPI timeKillEvent(UINT id) {
    Clock& c = TheClock();
    std::lock_guard<std::mutex> hold(c.lock);
    if (c.timers.erase(id) == 0) return MMSYSERR_ERROR;  // MMSYSERR_INVALPARAM in spirit
    c.changed.notify_all();
    return TIMERR_NOERROR;
}

void PosixClockSetVirtual(int enabled) {
    Clock& c = TheClock();
    std::lock_guard<std::mutex> hold(c.lock);
    if (enabled && !c.isVirtual) c.virtualNow = RealNow();
    c.isVirtual = enabled != 0;
    c.changed.notify_all();
}

int PosixClockIsVirtual(void) {
    return TheClock().isVirtual ? 1 : 0;
}

uint32_t PosixClockNow(void) {
    return Now();
}

void PosixClockSet(uint32_t ms) {
    TheClock().virtualNow = ms;
}

int PosixClockRunDueTimers(void) {
    Clock& c = TheClock();
    int fired = 0;
    for (;;) {
        Timer due;
        {
            std::lock_guard<std::mutex> hold(c.lock);
            if (!c.isVirtual || !TakeDue(c, c.virtualNow.load(), &due)) return fired;
        }
        due.callback(due.id, 0, due.user, 0, 0);
        fired++;
    }
}

void PosixClockAdvance(uint32_t ms) {
    Clock& c = TheClock();
    if (!c.isVirtual) return;
    uint32_t target = c.virtualNow.load() + ms;
    for (;;) {
        Timer due;
        {
            std::lock_guard<std::mutex> hold(c.lock);
            const Timer* best = nullptr;
            for (const auto& entry : c.timers)
                if (!DueBefore(target, entry.second.due) && (!best || DueBefore(entry.second.due, best->due)))
                    best = &entry.second;
            if (!best) break;
            // Time jumps to the timer's due moment, never backwards.
            if (DueBefore(c.virtualNow.load(), best->due)) c.virtualNow = best->due;
            if (!TakeDue(c, c.virtualNow.load(), &due)) break;
        }
        due.callback(due.id, 0, due.user, 0, 0);
    }
    if (DueBefore(c.virtualNow.load(), target)) c.virtualNow = target;
}

int PosixTimersPending(void) {
    std::lock_guard<std::mutex> hold(TheClock().lock);
    return static_cast<int>(TheClock().timers.size());
}

void WINAPI Sleep(DWORD ms) {
    if (TheClock().isVirtual) {
        PosixClockAdvance(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
}
