// tarncap check against the simulated camera: the driver passes its own
// compliance run, one line per check and the summary, exit status 0; with
// no camera the run fails and says why.
#include <stdio.h>
#include <sys/wait.h>

#include <string>

#include "test_support.h"

namespace {

class TarncapCheck : public FreshHome {
protected:
    std::string output;
    // Runs tarncap check (with a scenario file, if named); its exit status.
    int RunCheck(const std::string& scenario = "") {
        std::string environment = scenario.empty() ? "" : "TARN2_SIM='" + scenario + "' ";
        return RunTarncap(home, "check", &output, environment);
    }
};

TEST_F(TarncapCheck, TheDriverPassesEveryCheck) {
    EXPECT_EQ(RunCheck(), 0) << output;
    EXPECT_EQ(output.find("FAIL"), std::string::npos) << output;
    // The last line is the summary, and there were many checks.
    size_t last = output.rfind(" passed, 0 failed\n");
    ASSERT_NE(last, std::string::npos) << output;
    size_t start = output.rfind('\n', last);
    int passed = atoi(output.c_str() + (start == std::string::npos ? 0 : start + 1));
    EXPECT_GT(passed, 150) << output;
    EXPECT_NE(output.find("ok    DVM_PALETTE SET of 8 bytes claiming 256 entries -> refused"), std::string::npos);
}

TEST_F(TarncapCheck, WithoutACameraTheOpenFailsAndSaysSo) {
    WriteFileText(HomeFile("none.sim"), "port 1 type 0x57\n");
    EXPECT_EQ(RunCheck(HomeFile("none.sim")), 1) << output;
    EXPECT_NE(output.find("FAIL  DRV_OPEN of VIDEO_IN: refused with 7 (DV_ERR_NOTDETECTED)"), std::string::npos)
        << output;
    EXPECT_NE(output.find(" failed\n"), std::string::npos) << output;
}

// A scenario that cannot be read, a folder among them, installs no link
// driver: the run fails and says why, rather than run the default camera.
TEST_F(TarncapCheck, AScenarioThatCannotBeReadLeavesNoCamera) {
    for (const std::string& path : {HomeFile("missing.sim"), home}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(RunCheck(path), 1) << output;
        EXPECT_NE(output.find("scenario " + path + ": the file cannot be read"), std::string::npos) << output;
    }
}

}  // namespace
