// Scaffolding for tests that act as a host: DriverProc on a fresh hive and
// the default simulated machine, the VIDEO_IN channel, frames, and the
// private control messages inside DVM_FORMAT.
#ifndef TARN2_TESTS_DRIVER_SUPPORT_H
#define TARN2_TESTS_DRIVER_SUPPORT_H

#include <string.h>

#include <ostream>
#include <vector>

#include "device/camera_device.h"
#include "device/device.h"
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
        SimReset();
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
    void OpenVideoIn(const char* openString = "") {
        videoIn = Open(VIDEO_IN, openString);
        ASSERT_GT(videoIn, 1u);
    }
    void CloseVideoIn() {
        EXPECT_EQ(Close(videoIn), 1);
        videoIn = 0;
    }
    // DVM_FORMAT with a flag word and a format block; its DV_ERR_ result.
    DWORD Configure(DWORD_PTR channel, DWORD flags, BITMAPINFOHEADER* header, DWORD size = sizeof(BITMAPINFOHEADER)) {
        VIDEOCONFIGPARMS parms;
        memset(&parms, 0, sizeof parms);
        parms.lpData1 = header;
        parms.dwSize1 = size;
        return static_cast<DWORD>(Send(channel, DVM_FORMAT, flags, reinterpret_cast<LPARAM>(&parms)));
    }
    DWORD SetFormat(DWORD_PTR channel, BITMAPINFOHEADER format) {
        return Configure(channel, VIDEO_CONFIGURE_SET, &format);
    }
    // Reads the channel's current format, as a host does before it sizes
    // its buffers.
    void ReadFormat(DWORD_PTR channel, BITMAPINFOHEADER* format) {
        ASSERT_EQ(Configure(channel, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, format), DV_ERR_OK);
    }
    BITMAPINFOHEADER CurrentFormat(DWORD_PTR channel) {
        BITMAPINFOHEADER format;
        memset(&format, 0, sizeof format);
        EXPECT_EQ(Configure(channel, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, &format), DV_ERR_OK);
        return format;
    }
    // One DVM_FRAME; its DV_ERR_ result. The buffer is *picture as given,
    // or (when empty or not given) one of the current format's size filled
    // with 0xEE; the header the driver saw goes to *seen.
    LRESULT Frame(DWORD_PTR channel, std::vector<BYTE>* picture = nullptr, VIDEOHDR* seen = nullptr) {
        std::vector<BYTE> own;
        std::vector<BYTE>& buffer = picture ? *picture : own;
        if (buffer.empty()) {
            BITMAPINFOHEADER format;
            memset(&format, 0, sizeof format);
            Configure(channel, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, &format);
            buffer.assign(format.biSizeImage ? format.biSizeImage : 1, 0xEE);
        }
        VIDEOHDR header;
        memset(&header, 0, sizeof header);
        header.lpData = buffer.data();
        header.dwBufferLength = static_cast<DWORD>(buffer.size());
        header.dwFlags = VHDR_PREPARED;
        LRESULT result = Send(channel, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header);
        if (seen) *seen = header;
        return result;
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

    // A private message on VIDEO_IN: its DVM_FORMAT result (always 17).
    DWORD Private(LONG marker, DWORD number, DWORD data) {
        BITMAPINFOHEADER header;
        memset(&header, 0, sizeof header);
        header.biSize = sizeof header;
        header.biXPelsPerMeter = marker | static_cast<LONG>(number);
        header.biYPelsPerMeter = static_cast<LONG>(data);
        return Configure(videoIn, VIDEO_CONFIGURE_SET, &header);
    }
    void Write(DWORD number, DWORD data) { EXPECT_EQ(Private(kWrite, number, data), 17u); }
    // The next GET of the current format; true when it carries an answer.
    bool Fetch(DWORD* data) {
        BITMAPINFOHEADER answer = CurrentFormat(videoIn);
        if (answer.biXPelsPerMeter != 0x57750000) return false;
        *data = static_cast<DWORD>(answer.biYPelsPerMeter);
        return true;
    }
    // Sends a read (with the data bytes `in`) and fetches its answer; false
    // when the read failed.
    bool Read(DWORD number, DWORD* data, DWORD in = 0) {
        EXPECT_EQ(Private(kRead, number, in), 17u);
        return Fetch(data);
    }
    static DWORD Bytes(DWORD d0, DWORD d1, DWORD d2, DWORD d3) { return d0 | d1 << 8 | d2 << 16 | d3 << 24; }
    static const LONG kWrite = 0x23680000, kRead = 0x68320000;

    // The device's compression settings, read whole so that one check compares all.
    struct Compression {
        LONG mode = 0, videoConf = 0;
        WORD conferenceLevel = 0, previewLevel = 0, quality = 0;
        bool operator==(const Compression& o) const {
            return mode == o.mode && videoConf == o.videoConf && conferenceLevel == o.conferenceLevel &&
                   previewLevel == o.previewLevel && quality == o.quality;
        }
        friend std::ostream& operator<<(std::ostream& out, const Compression& c) {
            return out << c.mode << "/" << c.videoConf << "/" << c.conferenceLevel << "/" << c.previewLevel << "/"
                       << c.quality;
        }
    };
    static Compression CompressionNow() {
        Compression c;
        GetCompressionSettings(&c.mode, &c.videoConf, &c.conferenceLevel, &c.previewLevel, &c.quality);
        return c;
    }
    static SimCamera Camera() {
        SimCamera camera;
        SimReadCamera(&camera);
        return camera;
    }
    std::string SyncLog() const { return ReadFileText(HomeFile("mbksynct.log")); }
    // Registry values of kinds the driver's own calls do not write.
    static void WriteRegText(const char* name, const char* text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), (DWORD)strlen(text) + 1);
        RegCloseKey(key);
    }

    DWORD_PTR videoIn = 0;
    std::vector<DWORD_PTR> open;
};

#endif
