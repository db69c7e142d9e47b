// The command set as it reaches the camera: group, number, parameter bytes,
// direction and data block of every command, and the unpacking of replies.
#include <functional>
#include <vector>

#include "sim_support.h"

namespace {

class CameraCommands : public SimMachine {};

struct Expected {
    const char* name;
    std::function<DWORD(Link*)> send;
    BYTE group, number;
    std::vector<BYTE> parameters;  // empty: the command has none
    DWORD direction;
    WORD dataLength;
    std::vector<BYTE> data;  // for writes with a block
};

TEST_F(CameraCommands, EveryCommandGoesOutWithItsOwnShape) {
    BYTE b[8];
    // clang-format off
    const std::vector<Expected> table = {
        {"GetVersion", [&](Link* l) { return ZELT_GetVersion(l, &b[0], &b[1], &b[2], &b[3]); }, 0x00, 1, {}, 1, 8, {}},
        {"GetCameraStatus", [&](Link* l) { return ZELT_GetCameraStatus(l, 0, 0, 0, 0, 0, 0, 0, 0); }, 0x00, 3, {}, 1, 8, {}},
        {"GotoHiPower", ZELT_GotoHiPower, 0x00, 4, {}, 0, 0, {}},
        {"GotoLoPower", ZELT_GotoLoPower, 0x00, 5, {}, 0, 0, {}},
        {"GotoSuspend", ZELT_GotoSuspend, 0x00, 7, {}, 0, 0, {}},
        {"ModifyCameraStatus", [](Link* l) { return ZELT_ModifyCameraStatus(l, 4, 0xFE, 0); }, 0x00, 10, {4, 0xFE, 0, 0}, 0, 0, {}},
        {"ReadMC_Ports", [](Link* l) { return ZELT_ReadMC_Ports(l, 0, 0, 0, 0); }, 0x20, 3, {}, 1, 8, {}},
        {"WriteMC_Port", [](Link* l) { return ZELT_WriteMC_Port(l, 3, 0xDF, 0xDF); }, 0x20, 4, {3, 0xDF, 0xDF, 0}, 0, 0, {}},
        {"WriteMCData", [](Link* l) { return ZELT_WriteMCData(l, 27, 128); }, 0x20, 8, {27, 0, 128, 0}, 0, 0, {}},
        {"SetColPar", [](Link* l) { return ZELT_SetColPar(l, 50, 38, 90); }, 0xA0, 3, {50, 38, 90, 0}, 0, 0, {}},
        {"SetExposure", [](Link* l) { return ZELT_SetExposure(l, 0, 2, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8); }, 0xA0, 4, {0, 2, 0, 0}, 0, 8, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"SetColBal", [](Link* l) { return ZELT_SetColBal(l, 1, 30, 30, 200); }, 0xA0, 6, {1, 30, 30, 200}, 0, 0, {}},
        {"SetSensorRate", [](Link* l) { return ZELT_SetSensorRate(l, 2, 1); }, 0xA0, 7, {2, 1, 0, 0}, 0, 0, {}},
        {"SetCorrectionGains", [](Link* l) { return ZELT_SetCorrectionGains(l, 24, 22, 36, 52); }, 0xA0, 9, {24, 22, 36, 52}, 0, 0, {}},
        {"SetFlicker", [](Link* l) { return ZELT_SetFlicker(l, 2, 92, 40); }, 0xA0, 10, {2, 92, 40, 0}, 0, 0, {}},
        {"SetVLOffset", [](Link* l) { return ZELT_SetVLOffset(l, 20, 24, 26, 26); }, 0xA0, 11, {20, 24, 26, 26}, 0, 0, {}},
        {"GetColPar", [&](Link* l) { return ZELT_GetColPar(l, &b[0], &b[1], &b[2]); }, 0xA0, 16, {}, 1, 8, {}},
        {"GetColBal", [&](Link* l) { return ZELT_GetColBal(l, &b[0], &b[1], &b[2]); }, 0xA0, 17, {}, 1, 8, {}},
        {"GetExposure", [](Link* l) { return ZELT_GetExposure(l, 0, 0, 0, 0, 0, 0, 0, 0); }, 0xA0, 18, {}, 1, 8, {}},
        {"ReadRegs", [](Link* l) { return ZELT_ReadRegs(l, 30, 4, 9, 8, 0, 0, 0, 0); }, 0xA0, 30, {30, 4, 9, 8}, 1, 8, {}},
        {"WriteReg", [](Link* l) { return ZELT_WriteReg(l, 52, 0xF0, 0); }, 0xA0, 31, {52, 0xF0, 0, 0}, 0, 0, {}},
        {"GrabFrame", [](Link* l) { return ZELT_GrabFrame(l, 36); }, 0xC0, 1, {0, 36, 0, 0}, 0, 0, {}},
        {"SetGrabMode", [](Link* l) { return ZELT_SetGrabMode(l, 1); }, 0xC0, 3, {1, 0, 0, 0}, 0, 0, {}},
        {"InitStreamCap", [](Link* l) { return ZELT_InitStreamCap(l, 2, 72); }, 0xC0, 4, {2, 72, 0, 0}, 0, 0, {}},
        {"FinishStreamCap", ZELT_FinishStreamCap, 0xC0, 5, {}, 0, 0, {}},
        {"StartStreamCap", ZELT_StartStreamCap, 0xC0, 6, {}, 0, 0, {}},
        {"StopStreamCap", ZELT_StopStreamCap, 0xC0, 7, {}, 0, 0, {}},
        {"setFormat", [](Link* l) { return ZELT_setFormat(l, 1, 1, 0); }, 0xC0, 8, {1, 1, 0, 0}, 0, 0, {}},
        {"SetROI", [](Link* l) { return ZELT_SetROI(l, 2, 42, 6, 66); }, 0xC0, 9, {2, 42, 6, 66}, 0, 0, {}},
        {"SetCompression", [](Link* l) { return ZELT_SetCompression(l, 2, 1); }, 0xC0, 10, {2, 1, 0, 0}, 0, 0, {}},
        {"SetCompressionTarget", [](Link* l) { return ZELT_SetCompressionTarget(l, 1, 28, 64); }, 0xC0, 11, {1, 28, 64, 0}, 0, 0, {}},
        {"SetYUVThresh", [](Link* l) { return ZELT_SetYUVThresh(l, 6, 7); }, 0xC0, 12, {6, 7, 0, 0}, 0, 0, {}},
        {"SetCompressionParams", [](Link* l) { return ZELT_SetCompressionParams(l, 3, 9, 1, 3, 2, 5, 3, 2); }, 0xC0, 13, {}, 0, 8, {3, 9, 1, 3, 2, 5, 3, 2}},
        {"StartTestStream", ZELT_StartTestStream, 0xE0, 8, {}, 0, 0, {}},
    };
    // clang-format on
    ASSERT_EQ(table.size(), 34u);
    OpenCamera();
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        int before = SimCommandCount();
        EXPECT_EQ(e.send(link), 1u);
        std::vector<SimCommandRecord> sent = Commands(before);
        ASSERT_EQ(sent.size(), 1u);
        const SimCommandRecord& r = sent[0];
        EXPECT_EQ((Ints{r.module, r.command, r.hasParameters != 0, r.direction, r.dataLength}),
                  (Ints{e.group, e.number, !e.parameters.empty(), e.direction, e.dataLength}));
        // Parameter bytes and the data block are compared where the command has them.
        EXPECT_EQ(e.parameters.empty() ? e.parameters : Params(r), e.parameters);
        EXPECT_EQ(e.data.empty() ? e.data : Data(r), e.data);
    }
}

TEST_F(CameraCommands, RepliesGoOnlyToTheGivenPlacesAndAFailedReadLeavesThemAlone) {
    OpenCamera();
    HighPower();
    SimSetStatusByte(STATUS_STREAM_STATE, 1);
    SimSetStatusByte(STATUS_CMD_ERROR, 0x20);
    SimSetStatusByte(STATUS_FATAL_ERROR, 0x40);
    BYTE stream = 0xEE, cmd = 0xEE;
    ASSERT_EQ(ZELT_GetCameraStatus(link, nullptr, nullptr, &stream, nullptr, &cmd, nullptr, nullptr, nullptr), 1u);
    EXPECT_EQ((Ints{stream, cmd}), (Ints{1, 0x20}));
    ZELT_WriteReg(link, 52, 0, 0x35);
    BYTE v[4] = {0};
    ASSERT_EQ(ZELT_ReadRegs(link, 52, 52, 52, 52, &v[0], &v[1], &v[2], &v[3]), 1u);
    EXPECT_EQ(std::vector<BYTE>(v, v + 4), std::vector<BYTE>(4, 0x35));
    BYTE major = 0, minor = 0, d2 = 0, d3 = 0;
    ASSERT_EQ(ZELT_GetVersion(link, &major, &minor, &d2, &d3), 1u);
    EXPECT_EQ(major * 256 + minor, 0x0103);
    // The version's places are all required.
    EXPECT_EQ(ZELT_GetVersion(link, &major, nullptr, &d2, &d3), 0u);
    SimSetVanished(1);
    BYTE b = 7, c = 8, k = 9;
    EXPECT_EQ(ZELT_GetColPar(link, &b, &c, &k), 0u);
    EXPECT_EQ(ZELT_GetExposure(link, &b, 0, 0, 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(ZELT_ReadRegs(link, 30, 4, 9, 8, &c, 0, 0, 0), 0u);
    EXPECT_EQ((Ints{b, c, k}), (Ints{7, 8, 9}));
}

}  // namespace
