// tarncap ctrl's command line: every mistake is named, exits 2, and leaves
// the driver unloaded (no registry hive appears in the Windows directory).
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_support.h"

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

}  // namespace
