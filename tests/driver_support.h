// Scaffolding for tests that act as a host: DriverProc on a fresh hive.
#ifndef TARN2_TESTS_DRIVER_SUPPORT_H
#define TARN2_TESTS_DRIVER_SUPPORT_H

#include <string.h>

#include <vector>

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
    // DVM_FORMAT with a flag word and a format block; its DV_ERR_ result.
    DWORD Configure(DWORD_PTR channel, DWORD flags, BITMAPINFOHEADER* header, DWORD size = sizeof(BITMAPINFOHEADER)) {
        VIDEOCONFIGPARMS parms;
        memset(&parms, 0, sizeof parms);
        parms.lpData1 = header;
        parms.dwSize1 = size;
        return static_cast<DWORD>(Send(channel, DVM_FORMAT, flags, reinterpret_cast<LPARAM>(&parms)));
    }
    // Reads the channel's current format, as a host does before it sizes
    // its buffers.
    void ReadFormat(DWORD_PTR channel, BITMAPINFOHEADER* format) {
        ASSERT_EQ(Configure(channel, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, format), DV_ERR_OK);
    }
    // One frame through DVM_FRAME into a buffer of the current format's
    // size; its DV_ERR_ result.
    LRESULT Frame(DWORD_PTR channel) {
        BITMAPINFOHEADER format;
        memset(&format, 0, sizeof format);
        Configure(channel, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, &format);
        std::vector<BYTE> buffer(format.biSizeImage ? format.biSizeImage : 1);
        VIDEOHDR header;
        memset(&header, 0, sizeof header);
        header.lpData = buffer.data();
        header.dwBufferLength = static_cast<DWORD>(buffer.size());
        header.dwFlags = VHDR_PREPARED;
        return Send(channel, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header);
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
