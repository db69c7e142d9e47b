// The automatic frame rate as a host sees it: a frame through DriverProc
// every 100 ms while the simulated scene darkens and brightens again over
// 40 s of virtual time; without the banding filter the rate drops to the
// slowest step, with it the steps keep to the mains grid.
#include "driver_support.h"

namespace {

class AutoRateHost : public DriverHost {};

TEST_F(AutoRateHost, NightfallSlowsTheRateAndDawnBringsItBack) {
    HMODULE decoder = LoadLibraryA("mbkdec32.dll");
    if (!decoder) GTEST_SKIP() << "the decoder library is not built in this tree";
    FreeLibrary(decoder);
    for (DWORD banding : {0u, 1u}) {
        SCOPED_TRACE(banding ? "banding filter" : "no banding filter");
        ASSERT_EQ(SimSetScenario("lightprofile dusk-and-dawn\n"), 1);
        WriteRegDword("AutoFrameRate", 1);
        WriteRegDword("Banding", banding);
        OpenVideoIn();
        // The frame-rate steps in the order seen.
        DWORD step = 0, automatic = 0;
        GetFrameRate(&step, &automatic, nullptr);
        EXPECT_EQ(automatic, 1u);
        std::vector<DWORD> steps = {step};
        for (DWORD start = timeGetTime(); timeGetTime() - start < 40000; PosixClockAdvance(100)) {
            EXPECT_EQ(Frame(videoIn), DV_ERR_OK);
            GetFrameRate(&step, nullptr, nullptr);
            if (step != steps.back()) steps.push_back(step);
        }
        EXPECT_EQ(steps, (std::vector<DWORD>{1, banding ? 3u : 5u, 1}));
        CloseVideoIn();
    }
}

}  // namespace
