// Scaffolding for tests that act as a host: DriverProc on a fresh hive.
#ifndef TARN2_TESTS_DRIVER_SUPPORT_H
#define TARN2_TESTS_DRIVER_SUPPORT_H

#include <string.h>

#include "driver/driver.h"
#include "settings/registry.h"
#include "sim/sim.h"
#include "test_support.h"
#include "trace/trace.h"

class DriverHost : public FreshHome {
protected:
    void SetUp() override {
        FreshHome::SetUp();
        // The default machine, whatever an earlier test of the process left.
        SimReset();
        static bool attached = false;
        if (!attached) {
            DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr);
            attached = true;
        }
        DriverOptions = 0;
        ASSERT_EQ(Send(0, DRV_LOAD), 1);
        ASSERT_EQ(Send(0, DRV_ENABLE), 1);
    }
    void TearDown() override {
        streamInitialised = FALSE;
        for (DWORD_PTR channel : open)
            if (channel) Send(channel, DRV_CLOSE);
        Send(0, DRV_DISABLE);
        DriverOptions = 0;
        FreshHome::TearDown();
    }
    LRESULT Send(DWORD_PTR id, UINT msg, LPARAM lParam1 = 0, LPARAM lParam2 = 0) {
        return DriverProc(id, nullptr, msg, lParam1, lParam2);
    }
    // Opens a channel; the handle (0 if refused) and the reason.
    DWORD_PTR Open(DWORD type, const char* openString = "", DWORD* error = nullptr) {
        VIDEO_OPEN_PARMS parms;
        memset(&parms, 0, sizeof parms);
        parms.dwSize = sizeof parms;
        parms.fccType = mmioFOURCC('v', 'c', 'a', 'p');
        parms.dwFlags = type;
        parms.dwError = 0xDEAD;
        LRESULT handle = Send(0, DRV_OPEN, reinterpret_cast<LPARAM>(openString), reinterpret_cast<LPARAM>(&parms));
        if (error) *error = parms.dwError;
        if (handle > 1) open.push_back(static_cast<DWORD_PTR>(handle));
        return static_cast<DWORD_PTR>(handle);
    }
    LRESULT Close(DWORD_PTR channel) {
        LRESULT result = Send(channel, DRV_CLOSE);
        if (result == 1)
            for (DWORD_PTR& c : open)
                if (c == channel) c = 0;
        return result;
    }
    // Reads the channel's current format, as a host does before it sizes
    // its buffers.
    void ReadFormat(DWORD_PTR channel, BITMAPINFOHEADER* format) {
        VIDEOCONFIGPARMS parms = {nullptr, format, sizeof *format, nullptr, 0};
        ASSERT_EQ(
            Send(channel, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, reinterpret_cast<LPARAM>(&parms)),
            DV_ERR_OK);
    }
    // Gives each header a zeroed buffer of the size, marked prepared.
    static void PrepareBuffers(VIDEOHDR* headers, std::vector<BYTE>* buffers, int count, DWORD size) {
        memset(headers, 0, sizeof *headers * count);
        for (int i = 0; i < count; i++) {
            buffers[i].assign(size, 0);
            headers[i].lpData = buffers[i].data();
            headers[i].dwBufferLength = size;
            headers[i].dwFlags = VHDR_PREPARED;
        }
    }
    std::vector<DWORD_PTR> open;
};

#endif
