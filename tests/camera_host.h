// Scaffolding for tests that act as a host on the simulated camera: the
// VIDEO_IN channel of DriverHost under the names these tests use.
#ifndef TARN2_TESTS_CAMERA_HOST_H
#define TARN2_TESTS_CAMERA_HOST_H

#include "driver_support.h"

class CameraHost : public DriverHost {
protected:
    void OpenCamera(const char* openString = "") { OpenVideoIn(openString); }
    void CloseCamera() { CloseVideoIn(); }
    using DriverHost::Configure;
    DWORD Configure(DWORD flags, BITMAPINFOHEADER* header, DWORD size = sizeof(BITMAPINFOHEADER)) {
        return Configure(videoIn, flags, header, size);
    }
    BITMAPINFOHEADER CurrentFormat() { return DriverHost::CurrentFormat(videoIn); }
    using DriverHost::Frame;
    LRESULT Frame() { return Frame(videoIn); }
};

#endif
