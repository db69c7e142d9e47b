// Scaffolding for tests against the simulated link driver and camera: a
// fresh machine per test, an open camera link, and the command log.
#ifndef TARN2_TESTS_SIM_SUPPORT_H
#define TARN2_TESTS_SIM_SUPPORT_H

#include <stdio.h>

#include <string>
#include <vector>

#include "camera/camera.h"
#include "link/link.h"
#include "link/protocol.h"
#include "sim/sim.h"
#include "test_support.h"

// Several values compared at once, so one line checks a row of fields.
using Ints = std::vector<long long>;

// The commands logged from that number on, as far as the log keeps them.
inline std::vector<SimCommandRecord> Commands(int from = 0) {
    std::vector<SimCommandRecord> list;
    SimCommandRecord record;
    for (int i = from; i < SimCommandCount(); i++)
        if (SimGetCommand(i, &record)) list.push_back(record);
    return list;
}
// The logged commands of one group and number.
inline std::vector<SimCommandRecord> Sent(BYTE group, BYTE number) {
    std::vector<SimCommandRecord> found;
    for (const SimCommandRecord& record : Commands())
        if (record.module == group && record.command == number) found.push_back(record);
    return found;
}
inline std::vector<BYTE> Params(const SimCommandRecord& record) {
    return std::vector<BYTE>(record.parameters, record.parameters + 4);
}
// The parameter bytes of every logged command of one group and number.
inline std::vector<std::vector<BYTE>> ParamsOf(BYTE group, BYTE number) {
    std::vector<std::vector<BYTE>> list;
    for (const SimCommandRecord& record : Sent(group, number)) list.push_back(Params(record));
    return list;
}
inline std::vector<BYTE> Data(const SimCommandRecord& record) {
    return std::vector<BYTE>(record.data, record.data + 8);
}
// Group and number of every logged command, as "A0/4" texts.
inline std::vector<std::string> Names() {
    std::vector<std::string> names;
    char text[16];
    for (const SimCommandRecord& record : Commands()) {
        snprintf(text, sizeof text, "%02X/%d", record.module, record.command);
        names.push_back(text);
    }
    return names;
}

class SimMachine : public FreshHome {
protected:
    Link* link = nullptr;

    void SetUp() override {
        FreshHome::SetUp();
        SimReset();
    }
    void TearDown() override {
        if (link) PPLINK_DestroyLink(link);
        EXPECT_EQ(SimOpenLinks(), 0);
        FreshHome::TearDown();
    }
    // Replaces the machine; the test fails on a scenario that does not parse.
    void Scenario(const char* text) { ASSERT_EQ(SimSetScenario(text), 1) << PosixLastProblem(); }

    // The port detection sequence on one port; null if any step failed.
    Link* OpenLink(int port = 1, BYTE mask = 0xFF) {
        Link* opened = PPLINK_CreateLink(port);
        if (!opened) return nullptr;
        BYTE type = 0;
        PPLINK_GetPortInfo(opened, nullptr, &type, nullptr);
        PPLINK_SetPortInfo(opened, type & mask, 80);
        if (PPLINK_InitialiseLink(opened) && PPLINK_SendWakeup(opened)) return opened;
        PPLINK_DestroyLink(opened);
        return nullptr;
    }
    void OpenCamera(BYTE mask = 0xFF) {
        link = OpenLink(1, mask);
        ASSERT_NE(link, nullptr);
    }
    void HighPower() { ASSERT_EQ(ZELT_GotoHiPower(link), 1u); }
    void OpenInHighPower() {
        OpenCamera();
        HighPower();
    }

    static SimCamera Camera() {
        SimCamera camera;
        SimReadCamera(&camera);
        return camera;
    }
    BYTE Status(int index) {
        BYTE bytes[8] = {0};
        EXPECT_EQ(ZELT_GetCameraStatus(link, &bytes[0], &bytes[1], &bytes[2], &bytes[3], &bytes[4], &bytes[5],
                                       &bytes[6], &bytes[7]),
                  1u);
        return bytes[index];
    }
    // Polls an upload until it ends; the last state.
    BYTE WaitUpload(DWORD* bytes = nullptr) {
        BYTE state = UPLOAD_STARTED;
        DWORD count = 0;
        for (int n = 0; n < 100000 && CLINK_GetUploadStatus(link, &state, &count) && state != 0 && state != 6; n++) {
        }
        if (bytes) *bytes = count;
        return state;
    }
};

#endif
