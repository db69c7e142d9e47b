// Scaffolding for tests that act as a host on the simulated camera: the
// default machine, the VIDEO_IN channel, frames, and the private control
// messages inside DVM_FORMAT.
#ifndef TARN2_TESTS_CAMERA_HOST_H
#define TARN2_TESTS_CAMERA_HOST_H

#include <vector>

#include "driver_support.h"
#include "sim/sim.h"

class CameraHost : public DriverHost {
protected:
    DWORD_PTR videoIn = 0;

    void OpenCamera(const char* openString = "") {
        videoIn = Open(VIDEO_IN, openString);
        ASSERT_GT(videoIn, 1u);
    }
    void CloseCamera() {
        ASSERT_EQ(Close(videoIn), 1);
        videoIn = 0;
    }
    static SimCamera Camera() {
        SimCamera camera;
        SimReadCamera(&camera);
        return camera;
    }
    using DriverHost::Configure;
    DWORD Configure(DWORD flags, BITMAPINFOHEADER* header, DWORD size = sizeof(BITMAPINFOHEADER)) {
        return Configure(videoIn, flags, header, size);
    }
    BITMAPINFOHEADER CurrentFormat() {
        BITMAPINFOHEADER header;
        memset(&header, 0, sizeof header);
        EXPECT_EQ(Configure(VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, &header), 0u);
        return header;
    }
    // A private message: its DVM_FORMAT result (always 17).
    DWORD Private(LONG marker, DWORD number, DWORD data) {
        BITMAPINFOHEADER header;
        memset(&header, 0, sizeof header);
        header.biSize = sizeof header;
        header.biXPelsPerMeter = marker | static_cast<LONG>(number);
        header.biYPelsPerMeter = static_cast<LONG>(data);
        return Configure(VIDEO_CONFIGURE_SET, &header);
    }
    void Write(DWORD number, DWORD data) { EXPECT_EQ(Private(0x23680000, number, data), 17u); }
    // Sends a read and fetches the answer with the next GET; false when
    // the read failed.
    bool Read(DWORD number, DWORD* data) {
        EXPECT_EQ(Private(0x68320000, number, 0), 17u);
        BITMAPINFOHEADER answer = CurrentFormat();
        if (answer.biXPelsPerMeter != 0x57750000) return false;
        *data = static_cast<DWORD>(answer.biYPelsPerMeter);
        return true;
    }
    using DriverHost::Frame;
    LRESULT Frame() { return Frame(videoIn); }
    static DWORD Bytes(DWORD d0, DWORD d1, DWORD d2, DWORD d3) { return d0 | d1 << 8 | d2 << 16 | d3 << 24; }
};

#endif
