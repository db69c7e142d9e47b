// Finding the camera's port against the simulated machine.
#include "device/camera_device.h"
#include "device/device.h"
#include "settings/registry.h"
#include "sim_support.h"

class PortDetection : public SimMachine {
protected:
    Link* found = nullptr;
    void TearDown() override {
        if (found) {
            PPLINK_DeinitialiseLink(found);
            PPLINK_DestroyLink(found);
        }
        SimMachine::TearDown();
    }
    // Runs the sweep on a machine; the port it settled on (0 none).
    LONG Find(LONG preferred, BYTE mask = 0xFF, BYTE* type = nullptr, const char* scenario = nullptr) {
        if (found) {
            PPLINK_DeinitialiseLink(found);
            PPLINK_DestroyLink(found);
            found = nullptr;
        }
        if (scenario) Scenario(scenario);
        LONG port = preferred;
        found = FindCameraPort(nullptr, &port, mask, type);
        return found ? port : 0;
    }
};

// The preferred port is probed first and the sweep follows; only the maker's
// exact name, in any field, makes a port the camera's.
TEST_F(PortDetection, ThePreferredPortThenTheSweepFindTheMakersExactName) {
    // clang-format off
    struct Row { const char* scenario; LONG preferred, port; DWORD portType; } rows[] = {
        {"port 1 type 0x17\nport 2 type 0x57 camera\nport 3 type 0x01", 2, 2, 0x57},  // only LPT2 probed
        {"port 1 type 0x57 camera\nport 2 type 0x17\nport 3 type 0x03", 2, 1, 0x57},  // not LPT3 after LPT1
        {"port 1 type 0x01\nport 2 type 0x03\nport 3 type 0x17 camera", 0, 3, 0x17},
        {"port 1 type 0x01\nport 2 type 0x03\nport 3 type 0x17 camera", 7, 3, 0x17},
        {"port 1 type 0x01\nport 2 type 0x03\nport 3 type 0x17 camera", -1, 3, 0x17},
        {"port 1 type 0x57 id MFG:Marbeck Ltd;MDL:TARN2;", 0, 1, 0x57},
        {"port 1 type 0x57 id MFG:Acme;DES:made by Marbeck Ltd;", 0, 1, 0x57},
        {"port 1 type 0x57 id MFG:marbeck ltd;", 0, 0, 0x57},
        {"port 1 type 0x57 camera noid", 0, 0, 0x57},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.scenario << ", preferred " << r.preferred);
        EXPECT_EQ(Find(r.preferred, 0xFF, nullptr, r.scenario), r.port);
        EXPECT_EQ(ReadRegDword("PortType", 0), r.portType);
        // Every port that was not the camera's is closed again.
        EXPECT_EQ(SimOpenLinks(), r.port ? 1 : 0);
    }
}

TEST_F(PortDetection, AFailedSweepLeavesThePortAloneAndRecordsTheLastType) {
    Scenario("port 1 type 0x57\nport 2 refuse\nport 3 type 0x13");
    LONG port = 2;
    EXPECT_EQ(FindCameraPort(nullptr, &port, 0xFF, nullptr), nullptr);
    EXPECT_EQ(port, 2);
    EXPECT_EQ(ReadRegDword("PortType", 0), 0x13u);
}

TEST_F(PortDetection, TheMaskRestrictsTheLinkButNotTheReportedType) {
    BYTE type = 0;
    EXPECT_EQ((Ints{Find(0, 0x01, &type), type, ReadRegDword("PortType", 0)}), (Ints{1, 0x57, 0x57}));
}

TEST_F(PortDetection, TheTransferModeComesFromTheRegistryAlone) {
    struct Case {
        DWORD portType, disableFdma, disableDma, disableEcp, backoff, mode;
    } cases[] = {
        {0x57, 0, 0, 0, 0, 0x40},    {0x57, 1, 0, 0, 0, 0x10},    {0x57, 0, 1, 0, 0, 0x04},    {0x57, 0, 0, 1, 0, 0x01},
        {0x57, 0, 0, 0, 0x10, 0x01}, {0x57, 0, 0, 0, 0x08, 0x04}, {0x57, 0, 0, 0, 0x40, 0x10}, {0x03, 0, 0, 0, 0, 0x02},
        {0x00, 0, 0, 0, 0, 0x01},    {0x157, 0, 0, 0, 0, 0x40},
    };
    for (const Case& c : cases) {
        WriteRegDword("PortType", c.portType);
        WriteRegDword("DisableFDMA", c.disableFdma);
        WriteRegDword("DisableDMA", c.disableDma);
        WriteRegDword("DisableECP", c.disableEcp);
        WriteRegDword("BackoffLevel", c.backoff);
        EXPECT_EQ(GetPortTransferMode(), c.mode) << std::hex << c.portType << " " << c.backoff;
    }
}
