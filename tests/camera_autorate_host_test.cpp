// The automatic frame rate as a host sees it: single frames through
// DriverProc while the simulated scene darkens and brightens again, in
// virtual time.
#include <vector>

#include "device/device.h"
#include "driver_support.h"
#include "sim/sim.h"

namespace {

class AutoRateHost : public DriverHost {
protected:
    void TearDown() override {
        DriverHost::TearDown();
        SimReset();
    }

    // Opens a capture channel with the frame rate following the light and
    // takes a frame every 100 ms; the frame-rate steps in the order seen.
    std::vector<DWORD> StepsOver(DWORD milliseconds) {
        std::vector<DWORD> steps;
        DWORD_PTR channel = Open(VIDEO_IN);
        EXPECT_GT(channel, 1u);
        if (channel <= 1) return steps;
        std::vector<char> buffer(176 * 144 * 3);
        DWORD step = 0, automatic = 0;
        GetFrameRate(&step, &automatic, nullptr);
        EXPECT_EQ(automatic, 1u);
        steps.push_back(step);
        DWORD start = timeGetTime();
        while (timeGetTime() - start < milliseconds) {
            VIDEOHDR header;
            memset(&header, 0, sizeof header);
            header.lpData = reinterpret_cast<LPBYTE>(buffer.data());
            header.dwBufferLength = (DWORD)buffer.size();
            header.dwFlags = VHDR_PREPARED;
            EXPECT_EQ(Send(channel, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_OK);
            GetFrameRate(&step, nullptr, nullptr);
            if (step != steps.back()) steps.push_back(step);
            PosixClockAdvance(100);
        }
        return steps;
    }
    bool HaveDecoder() {
        HMODULE decoder = LoadLibraryA("mbkdec32.dll");
        if (decoder) FreeLibrary(decoder);
        return decoder != nullptr;
    }
};

TEST_F(AutoRateHost, WithoutBandingFilterNightfallDropsToTheSlowestRateAndDawnBringsItBack) {
    if (!HaveDecoder()) GTEST_SKIP() << "the decoder library is not built in this tree";
    ASSERT_EQ(SimSetScenario("lightprofile dusk-and-dawn\n"), 1);
    WriteRegDword("AutoFrameRate", 1);
    WriteRegDword("Banding", 0);
    EXPECT_EQ(StepsOver(40000), (std::vector<DWORD>{1, 5, 1}));
}

TEST_F(AutoRateHost, WithBandingFilterTheRateKeepsToTheMainsGrid) {
    if (!HaveDecoder()) GTEST_SKIP() << "the decoder library is not built in this tree";
    ASSERT_EQ(SimSetScenario("lightprofile dusk-and-dawn\n"), 1);
    WriteRegDword("AutoFrameRate", 1);
    EXPECT_EQ(StepsOver(40000), (std::vector<DWORD>{1, 3, 1}));
}

}  // namespace
