// Scaffolding for tests of the device operations without a whole bring-up:
// a camera device put together from its parts on the simulated camera and
// selected, as the bring-up leaves it before the image format is set.
#ifndef TARN2_TESTS_DEVICE_SUPPORT_H
#define TARN2_TESTS_DEVICE_SUPPORT_H

#include "device/camera_device.h"
#include "device/device.h"
#include "sim_support.h"

class SelectedCamera : public SimMachine {
protected:
    HLOCAL handle = nullptr;
    CameraDevice* device = nullptr;
    CameraState* state = nullptr;
    Viewport* viewport = nullptr;
    FrameGrabber* grabber = nullptr;

    void SetUp() override {
        SimMachine::SetUp();
        Build();
    }
    // Builds the device on LPT1 of the current scenario.
    void Build() {
        OpenCamera();
        state = CreateCameraState();
        ASSERT_NE(state, nullptr);
        state->link = link;
        BYTE major = 0, minor = 0, d2 = 0, d3 = 0;
        ASSERT_EQ(ZELT_GetVersion(link, &major, &minor, &d2, &d3), 1u);
        state->firmwareVersion = (WORD)(major << 8 | minor);
        ASSERT_EQ(ZELT_GotoLoPower(link), 1u);
        state->powerState = POWER_LOW;
        ASSERT_EQ(SetPowerState(state, POWER_HIGH), 0);
        camInitialiseCamera(state);
        if (state->frameRate == 0) state->frameRate = 1;
        viewport = CreateViewport();
        ASSERT_EQ(AttachViewport(viewport, link), 1);
        grabber = GF_Create();
        ASSERT_EQ(GF_Initialise(grabber, link, state, viewport), 1);
        handle = LocalAlloc(LHND, sizeof(CameraDevice));
        device = static_cast<CameraDevice*>(LocalLock(handle));
        device->memory = handle;
        device->port = 1;
        BYTE type = 0;
        PPLINK_GetPortInfo(link, nullptr, &type, nullptr);
        device->portMode = type;
        device->link = link;
        device->cameraState = state;
        device->viewport = viewport;
        device->frameGrabber = grabber;
        device->firmwareVersion = GetFirmwareVersion(state);
        device->frameRateTarget = 30;
        ASSERT_EQ(SelectTARNDevice(handle), device);
    }
    void Dismantle() {
        EnableTARNDevices();
        if (grabber) {
            GF_Shutdown(grabber);
            GF_Release(grabber);
        }
        if (viewport) ReleaseViewport(viewport);
        if (state) FreeCameraState(state);
        if (handle) {
            LocalUnlock(handle);
            LocalFree(handle);
        }
        grabber = nullptr;
        viewport = nullptr;
        state = nullptr;
        handle = nullptr;
        device = nullptr;
    }
    void TearDown() override {
        Dismantle();
        SimMachine::TearDown();
    }
};

#endif
