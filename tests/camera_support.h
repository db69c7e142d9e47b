// Scaffolding for tests of the camera operations: a CameraState on the
// simulated camera, brought up as the device does it, the commands it sent,
// and the trace lines it wrote (when a trace window can be opened).
#ifndef TARN2_TESTS_CAMERA_SUPPORT_H
#define TARN2_TESTS_CAMERA_SUPPORT_H

#include <string>
#include <vector>

#include "sim_support.h"
#include "trace/trace.h"

class CameraOps : public SimMachine {
protected:
    CameraState* state = nullptr;

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

    // The camera as the bring-up leaves it: conversation opened, high power,
    // and (unless told otherwise) initialised. The command log starts empty.
    void BringUp(bool initialise = true) {
        OpenCamera();
        state = CreateCameraState();
        ASSERT_NE(state, nullptr);
        ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
        ASSERT_EQ(SetPowerState(state, POWER_HIGH), 0);
        if (initialise) {
            ASSERT_EQ(camInitialiseCamera(state), 1);
        }
        SimClearLog();
    }

    // The logged commands of one group and number.
    static std::vector<SimCommandRecord> Sent(BYTE group, BYTE number) {
        std::vector<SimCommandRecord> found;
        for (const SimCommandRecord& record : Commands())
            if (record.module == group && record.command == number) found.push_back(record);
        return found;
    }
    static std::vector<BYTE> Params(const SimCommandRecord& record) {
        return std::vector<BYTE>(record.parameters, record.parameters + 4);
    }
    static std::vector<BYTE> Data(const SimCommandRecord& record) {
        return std::vector<BYTE>(record.data, record.data + 8);
    }
    // Group and number of every logged command, as "A0/4" texts.
    static std::vector<std::string> Names() {
        std::vector<std::string> names;
        char text[16];
        for (const SimCommandRecord& record : Commands()) {
            snprintf(text, sizeof text, "%02X/%d", record.module, record.command);
            names.push_back(text);
        }
        return names;
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
