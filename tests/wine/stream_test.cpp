// A stream on winmm's own multimedia timer, with the host's buffers coming
// back through DriverCallback: as a function called on the timer's thread,
// and as messages posted to a window of the host.
#include <algorithm>
#include <mutex>

#include "wine_host.h"

namespace {

const int kBuffers = 4;

// What came back, filled by the callback on whichever thread it runs.
struct Returns {
    std::mutex lock;
    std::vector<VIDEOHDR*> pending;  // back, not yet queued again
    std::vector<DWORD> captured;     // the capture time of each frame that came
    int opens = 0, closes = 0;
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);

    void Note(UINT msg, DWORD_PTR header) {
        std::lock_guard<std::mutex> hold(lock);
        if (msg == MM_DRVM_OPEN) opens++;
        if (msg == MM_DRVM_CLOSE) closes++;
        if (msg == MM_DRVM_DATA) {
            auto* h = reinterpret_cast<VIDEOHDR*>(header);
            pending.push_back(h);
            // RESET hands back queued buffers without a frame in them.
            if (h->dwBytesUsed) captured.push_back(h->dwTimeCaptured);
            SetEvent(event);
        }
    }
    std::vector<VIDEOHDR*> Take() {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<VIDEOHDR*> taken;
        taken.swap(pending);
        return taken;
    }
};

Returns* returns = nullptr;

void CALLBACK FunctionCallback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR) {
    reinterpret_cast<Returns*>(user)->Note(msg, param1);
}

LRESULT CALLBACK WindowCallback(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= MM_DRVM_OPEN && msg <= MM_DRVM_ERROR) {
        returns->Note(msg, static_cast<DWORD_PTR>(lParam));
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

class Stream : public VideoInHost {
protected:
    DWORD Message(UINT msg, LPARAM lParam1 = 0, LPARAM lParam2 = 0) {
        return static_cast<DWORD>(Send(videoIn, msg, lParam1, lParam2));
    }
    // Waits up to ms, handling posted callbacks, and gives every buffer
    // that came back to the driver again while the stream runs.
    void Serve(Returns* r, DWORD ms, std::vector<int>* adds, VIDEOHDR* headers, bool requeue) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            MsgWaitForMultipleObjects(1, &r->event, FALSE, 10, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            for (VIDEOHDR* header : r->Take()) {
                int i = static_cast<int>(header - headers);
                ASSERT_TRUE(i >= 0 && i < kBuffers) << "a header that is none of ours";
                (*adds)[i]--;
                EXPECT_EQ(header->dwFlags & (VHDR_DONE | VHDR_INQUEUE), (DWORD)VHDR_DONE);
                if (!requeue) continue;
                header->dwFlags &= ~VHDR_DONE;
                ASSERT_EQ(Message(DVM_STREAM_ADDBUFFER, (LPARAM)header, sizeof *header), DV_ERR_OK);
                (*adds)[i]++;
            }
        }
    }
};

TEST_F(Stream, EveryBufferComesBackOnceAtTheRateAsked) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowCallback;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "tarn2 stream host";
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    struct Row {
        const char* name;
        DWORD flags;
        DWORD_PTR callback;
    };
    const Row rows[] = {
        {"function", CALLBACK_FUNCTION, reinterpret_cast<DWORD_PTR>(FunctionCallback)},
        {"window", CALLBACK_WINDOW, reinterpret_cast<DWORD_PTR>(window)},
    };
    DWORD bytes = Current(videoIn).biSizeImage;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Returns r;
        returns = &r;
        VIDEO_STREAM_INIT_PARMS init = {};
        init.dwMicroSecPerFrame = 100000;  // 10 frames/s, every third camera frame
        init.dwCallback = row.callback;
        init.dwCallbackInst = reinterpret_cast<DWORD_PTR>(&r);
        init.dwFlags = row.flags;
        init.hVideo = reinterpret_cast<DWORD_PTR>(videoIn);
        ASSERT_EQ(Message(DVM_STREAM_INIT, (LPARAM)&init, sizeof init), DV_ERR_OK);
        VIDEOHDR headers[kBuffers] = {};
        std::vector<BYTE> buffers[kBuffers];
        std::vector<int> adds(kBuffers, 0);  // queued less returned, per header
        for (int i = 0; i < kBuffers; i++) {
            buffers[i].assign(bytes, 0);
            headers[i].lpData = buffers[i].data();
            headers[i].dwBufferLength = bytes;
            headers[i].dwFlags = VHDR_PREPARED;
            ASSERT_EQ(Message(DVM_STREAM_ADDBUFFER, (LPARAM)&headers[i], sizeof headers[i]), DV_ERR_OK);
            adds[i]++;
        }
        ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
        Serve(&r, 3000, &adds, headers, true);
        ASSERT_EQ(Message(DVM_STREAM_STOP), DV_ERR_OK);
        ASSERT_EQ(Message(DVM_STREAM_RESET), DV_ERR_OK);
        ASSERT_EQ(Message(DVM_STREAM_FINI), DV_ERR_OK);
        Serve(&r, 100, &adds, headers, false);
        EXPECT_EQ(adds, std::vector<int>(kBuffers, 0)) << "every buffer back exactly once";
        EXPECT_EQ(r.opens, 1);
        EXPECT_EQ(r.closes, 1);
        // The pace is the typical gap between two frames; a loaded machine
        // may hold the timer's thread back now and then, which shows as a
        // longer gap, not as another pace. Most frames must still come.
        const std::vector<DWORD>& t = r.captured;
        ASSERT_GE(t.size(), 20u);
        std::vector<DWORD> gaps;
        for (size_t i = 1; i < t.size(); i++) gaps.push_back(t[i] - t[i - 1]);
        std::sort(gaps.begin(), gaps.end());
        EXPECT_NEAR(1000.0 / gaps[gaps.size() / 2], 10.0, 0.5);
        EXPECT_GE((t.size() - 1) * 1000.0 / (t.back() - t.front()), 8.0) << t.size() << " frames";
        returns = nullptr;
    }
    DestroyWindow(window);
}

}  // namespace
