// Scaffolding for tests of the camera operations: a CameraState on the
// simulated camera, brought up as the device does it, and the trace lines it
// wrote (when a trace window can be opened).
#ifndef TARN2_TESTS_CAMERA_SUPPORT_H
#define TARN2_TESTS_CAMERA_SUPPORT_H

#include <string>
#include <vector>

#include "sim_support.h"
#include "trace/trace.h"

class CameraOps : public SimMachine {
protected:
    CameraState* state = nullptr;
    // How far BringUp goes: the state on an open link, the conversation
    // opened (low power), high power, the camera initialised.
    enum Stage { kOpened, kTalking, kHighPower, kInitialised };

    void SetUp() override {
        SimMachine::SetUp();
        camResetControlMemory();
    }
    void TearDown() override {
        if (state) FreeCameraState(state);
        if (traceWindow) DestroyWindow(traceWindow);
        traceWindow = nullptr;
        DriverOptions = 0;
        SimMachine::TearDown();
    }

    // The camera as the bring-up leaves it at that stage; the command log
    // starts empty from kTalking on.
    void BringUp(Stage upTo = kInitialised) {
        OpenCamera();
        state = CreateCameraState();
        ASSERT_NE(state, nullptr);
        if (upTo == kOpened) return;
        ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
        if (upTo >= kHighPower) {
            ASSERT_EQ(SetPowerState(state, POWER_HIGH), 0);
        }
        if (upTo == kInitialised) {
            ASSERT_EQ(camInitialiseCamera(state), 1);
        }
        SimClearLog();
    }
    // A new machine from the scenario, brought up again, for tables whose
    // rows each need their own camera.
    void Restart(const char* scenario, Stage upTo = kInitialised) {
        if (state) FreeCameraState(state);
        if (link) PPLINK_DestroyLink(link);
        state = nullptr;
        link = nullptr;
        Scenario(scenario);
        camResetControlMemory();
        BringUp(upTo);
    }

    // Trace lines go to the synchronous log, which needs the trace window;
    // without a window system the trace cannot be read and this says so.
    bool CaptureTrace() {
        DriverOptions = OPT_TRACE_ON | OPT_SYNC_LOG;
        trace(TRACE_OPEN, nullptr);
        return traceWindow != nullptr;
    }
    std::string TraceText() const { return ReadFileText(HomeFile("mbksynct.log")); }
    static int Occurrences(const std::string& text, const std::string& part) {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
        return count;
    }
};

#endif
