// The camera controls against the simulated camera: what each sends, what
// it records, and that a refused or lost command records nothing.
#include "camera_support.h"

namespace {

class CameraControls : public CameraOps {};

using Bytes = std::vector<BYTE>;
using BytesList = std::vector<Bytes>;
const char kRefuseColPar[] = "fault error 0xA0 3 cmd 0x04 1\n";

TEST_F(CameraControls, ExposureItemsSendOneCommandAndRecordOnSuccess) {
    BringUp();
    ASSERT_EQ(camSetAutoExposure(state, 0), 0);
    EXPECT_EQ((Ints{state->exposureMode, camGetAutoExposure(state), Camera().exposureMode}), (Ints{3, 0, 3}));
    ASSERT_EQ(camSetAutoExposure(state, 1), 0);
    EXPECT_EQ(camGetAutoExposure(state), 1);
    ASSERT_EQ(ParamsOf(0xA0, 4), (BytesList{{0, 3, 0, 0}, {0, 2, 0, 0}}));
    EXPECT_EQ(Data(Sent(0xA0, 4)[1]), Bytes(8, 0));
    ASSERT_EQ(camSetGain(state, 2), 0);
    EXPECT_EQ(ParamsOf(0xA0, 4).back(), (Bytes{3, 0, 0, 0}));
    EXPECT_EQ(camGetGain(state), 2);
    // Little light: more lines than a byte holds, so the high byte counts.
    SimSetLight(2);
    int lines = camGetExposure(state);
    ASSERT_GT(lines, 255);
    EXPECT_EQ((Ints{lines, state->exposure[2] | (state->exposure[3] << 8)}), (Ints{Camera().coarseExposure, lines}));
    // The whole block is kept, the colour compensation with it.
    SimCamera camera = Camera();
    EXPECT_EQ(Bytes(state->exposure + 4, state->exposure + 8), Bytes(camera.compensation, camera.compensation + 4));
    // Older firmware keeps its own gain: nothing is sent.
    Restart("firmware 1.2\n");
    EXPECT_EQ(camSetGain(state, 3), 0);
    EXPECT_TRUE(Commands().empty());
}

}  // namespace
