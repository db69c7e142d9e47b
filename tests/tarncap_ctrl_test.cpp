// tarncap ctrl's command line: every mistake is named, exits 2, and leaves
// the driver unloaded (no registry hive appears in the Windows directory).
// Two runs at once: each either has the channel and keeps its setting, or
// is refused and says which process has it.
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include "driver_support.h"

namespace {

class CtrlCommandLine : public FreshHome {
protected:
    // Runs tarncap ctrl with the arguments; its exit code and what it said.
    int Run(const std::string& arguments, std::string* said, const std::string& options = "") {
        return RunTarncap(home, options + " ctrl " + arguments, said);
    }
};

TEST_F(CtrlCommandLine, MistakesAreNamedBeforeTheDriverIsLoaded) {
    struct Case {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"--set-ctrl bright=5", "unknown control 'bright'"},
        {"-C brightness,nonsense", "unknown control 'nonsense'"},
        {"--set-ctrl brightness=500", "brightness=500 is out of range (min=1 max=100 step=1)"},
        {"--set-ctrl window_left=12", "window_left=12 is out of range (min=0 max=344 step=8)"},
        {"--set-ctrl quality=lots", "quality wants a number, not 'lots'"},
        {"--set-ctrl quality=", "quality wants a number, not ''"},
        {"--set-ctrl firmware=2", "firmware is read only"},
        {"--get-ctrl frame_grabbing", "frame_grabbing can only be set"},
        {"--set-ctrl brightness", "--set-ctrl wants NAME=VALUE, not 'brightness'"},
        {"--set-ctrl contrast=5,contrast=6", "contrast is set twice"},
        {"--set-ctrl", "--set-ctrl needs a value"},
        {"--list", "ctrl does not know --list"},
    };
    for (const Case& c : cases) {
        std::string said;
        EXPECT_EQ(Run(c.arguments, &said), 2) << c.arguments;
        EXPECT_NE(said.find(c.message), std::string::npos) << c.arguments << ": " << said;
    }
    EXPECT_EQ(access(HomeFile("registry.reg").c_str(), F_OK), -1);
}

TEST_F(CtrlCommandLine, FlagsTakeWordsAsWellAsNumbers) {
    std::string said;
    // Accepted on the command line; only the missing driver stops it.
    EXPECT_EQ(Run("--set-ctrl backlight=on,banding_filter=off,mains_frequency=0", &said, "--driver no-such-driver.drv"),
              1);
    EXPECT_NE(said.find("cannot load the driver no-such-driver.drv"), std::string::npos) << said;
    EXPECT_EQ(Run("--set-ctrl backlight=maybe", &said), 2);
}

// Started together, two runs both reach the usage check while the other
// brings the camera up. The check and the taking of the channel are one
// step across processes, so no setting is lost when the runs end (each
// final close saves every setting it has).
TEST_F(CtrlCommandLine, TwoRunsAtOnceNeverLoseASetting) {
    struct Run {
        const char* name;
        const char* control;
        const char* value;
    } runs[] = {{"a", "brightness", "Brightness"}, {"b", "contrast", "Contrast"}};
    for (int round = 0; round < 4; round++) {
        SCOPED_TRACE(round);
        std::string script;
        for (const Run& r : runs)
            script += "'" + BinFolder() + "/tarncap' --home '" + home + "' ctrl --set-ctrl " + r.control + "=" +
                      std::to_string(20 + round) + " >'" + HomeFile(r.name) + ".out' 2>&1 & " + r.name + "=$!; ";
        for (const Run& r : runs)
            script += std::string("wait $") + r.name + "; echo $? >'" + HomeFile(r.name) + ".rc'; ";
        ASSERT_EQ(system(script.c_str()), 0);
        int done = 0;
        for (const Run& r : runs) {
            int status = atoi(ReadFileText(HomeFile(r.name) + ".rc").c_str());
            std::string said = ReadFileText(HomeFile(r.name) + ".out");
            if (status == 0) {
                done++;
                EXPECT_EQ(ReadRegDword(r.value, 0), static_cast<DWORD>(20 + round)) << r.control << " lost";
            } else {
                EXPECT_EQ(status, 1) << said;
                EXPECT_NE(said.find("DV_ERR_TOOMANYCHANNELS (6)"), std::string::npos) << said;
            }
        }
        EXPECT_GE(done, 1);
    }
}

class CtrlBesideAHost : public DriverHost {};

TEST_F(CtrlBesideAHost, AChannelInUseNamesTheProcessThatHasIt) {
    ASSERT_GT(Open(VIDEO_IN), 1u);
    std::string said;
    EXPECT_EQ(RunTarncap(home, "ctrl --get-ctrl brightness", &said), 1);
    EXPECT_NE(said.find("DV_ERR_TOOMANYCHANNELS (6), the channel is in use by process " + std::to_string(getpid())),
              std::string::npos)
        << said;
}

}  // namespace
