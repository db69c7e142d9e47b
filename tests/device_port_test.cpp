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
    // Runs the sweep; the port it settled on (0 none).
    LONG Find(LONG preferred, BYTE mask = 0xFF, BYTE* type = nullptr) {
        LONG port = preferred;
        found = FindCameraPort(nullptr, &port, mask, type);
        return found ? port : 0;
    }
};

TEST_F(PortDetection, ThePreferredPortIsProbedFirstAndTheSweepFollows) {
    Scenario("port 1 type 0x17\nport 2 type 0x57 camera\nport 3 type 0x01");
    EXPECT_EQ(Find(2), 2);
    EXPECT_EQ(ReadRegDword("PortType", 0), 0x57u) << "only LPT2 was probed";
    PPLINK_DeinitialiseLink(found);
    PPLINK_DestroyLink(found);
    found = nullptr;

    Scenario("port 1 type 0x57 camera\nport 2 type 0x17\nport 3 type 0x03");
    EXPECT_EQ(Find(2), 1);
    EXPECT_EQ(ReadRegDword("PortType", 0), 0x57u) << "LPT3 must not be probed after LPT1 answered";
}

TEST_F(PortDetection, NoPreferenceSweepsAllThreePorts) {
    for (LONG preferred : {0, 7, -1}) {
        Scenario("port 1 type 0x01\nport 2 type 0x03\nport 3 type 0x17 camera");
        EXPECT_EQ(Find(preferred), 3) << preferred;
        PPLINK_DeinitialiseLink(found);
        PPLINK_DestroyLink(found);
        found = nullptr;
        EXPECT_EQ(SimOpenLinks(), 0) << "every port that was not the camera's is closed again";
    }
}

TEST_F(PortDetection, OnlyTheMakersExactNameCounts) {
    Scenario("port 1 type 0x57 id MFG:Marbeck Ltd;MDL:TARN2;");
    EXPECT_EQ(Find(0), 1);
    PPLINK_DeinitialiseLink(found);
    PPLINK_DestroyLink(found);
    found = nullptr;
    Scenario("port 1 type 0x57 id MFG:Acme;DES:made by Marbeck Ltd;");
    EXPECT_EQ(Find(0), 1) << "the name may stand in any field";
    PPLINK_DeinitialiseLink(found);
    PPLINK_DestroyLink(found);
    found = nullptr;
    Scenario("port 1 type 0x57 id MFG:marbeck ltd;");
    EXPECT_EQ(Find(0), 0);
    Scenario("port 1 type 0x57 camera noid");
    EXPECT_EQ(Find(0), 0);
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
    EXPECT_EQ(Find(0, 0x01, &type), 1);
    EXPECT_EQ(type, 0x57);
    EXPECT_EQ(ReadRegDword("PortType", 0), 0x57u);
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
