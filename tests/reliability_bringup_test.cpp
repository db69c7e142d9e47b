// The camera latches an error on each command of the bring-up in turn, and
// the host opens VIDEO_IN each time: the open either works or says the
// camera was not found, and a failed one leaves nothing behind (no memory
// block, no link handle, no timer, no block released twice, no device
// selected, no channel counted). Then the Windows directory and the
// registry hive that the start-up reads are damaged or out of reach.
#include <set>
#include <string>
#include <utility>

#include "reliability_support.h"

namespace {

class BringUpFaults : public FaultHost {
protected:
    // Every distinct command the bring-up of a healthy camera sends.
    std::set<std::pair<int, int>> BringUpCommands() {
        OpenVideoIn();
        std::set<std::pair<int, int>> commands;
        for (int i = 0; i < SimCommandCount(); i++) {
            SimCommandRecord record;
            if (SimGetCommand(i, &record)) commands.insert({record.module, record.command});
        }
        CloseVideoIn();
        return commands;
    }

    // Opens VIDEO_IN under the scenario; answers whether it opened.
    bool OpenUnder(const std::string& scenario) {
        EXPECT_EQ(SimSetScenario(scenario.c_str()), 1) << scenario << PosixLastProblem();
        DWORD error = 0;
        DWORD_PTR channel = Open(VIDEO_IN, "", &error);
        if (channel > 1) {
            EXPECT_EQ(Close(channel), 1) << scenario;
        } else {
            EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_NOTDETECTED)) << scenario;
        }
        EXPECT_EQ(Holdings::Now(), before) << scenario;
        EXPECT_EQ(SelectedDevice(), nullptr) << scenario;
        EXPECT_EQ(ReadRegDword("VideoInUsage", 0), 0u) << scenario;
        EXPECT_EQ(ReadRegDword("Initialised", 0), 0u) << scenario;
        return channel > 1;
    }
};

TEST_F(BringUpFaults, AnErrorOnEachCommandInTurnReleasesEverythingOnce) {
    std::set<std::pair<int, int>> commands = BringUpCommands();
    ASSERT_GT(commands.size(), 5u);
    before = Holdings::Now();
    int refused = 0;
    for (const auto& command : commands) {
        char text[96];
        // Every time the command is sent, and only the first time.
        snprintf(text, sizeof text, "fault error 0x%02x %d cmd 0x01", command.first, command.second);
        if (!OpenUnder(text)) refused++;
        snprintf(text, sizeof text, "fault error 0x%02x %d fatal 0x80 1", command.first, command.second);
        if (!OpenUnder(text)) refused++;
    }
    // Errors on the bring-up's commands mostly stop it.
    EXPECT_GT(refused, 0);
    // And the camera comes up again once it behaves.
    EXPECT_TRUE(OpenUnder(""));
}

TEST_F(BringUpFaults, TheMessageBoxesOfAFailedBringUpAreAnsweredAndItStillCleansUp) {
    before = Holdings::Now();
    WriteRegDword("DebugLevel", OPT_BRINGUP_BOXES);
    before = Holdings::Now();
    EXPECT_FALSE(OpenUnder("fault error 0x00 4 cmd 0x01"));
    EXPECT_FALSE(OpenUnder("fault pattern all"));
}

}  // namespace
