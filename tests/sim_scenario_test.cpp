// Scenario files: what each setting gives, and that a bad line is named
// with what is wrong instead of quietly giving another machine.
#include <string.h>

#include <string>

#include "sim/scenario.h"
#include "sim_support.h"

namespace {

class SimScenarioFile : public SimMachine {
protected:
    // The problem the text gives, or "" when it parses.
    static std::string Problem(const std::string& text) {
        SimScenario scenario;
        std::string problem;
        return SimParseScenario(text, "test.sim", &scenario, &problem) ? std::string() : problem;
    }
};

TEST_F(SimScenarioFile, SettingsOverTheDefaultMachine) {
    SimScenario s;
    std::string problem;
    ASSERT_TRUE(
        SimParseScenario("# a machine\n"
                         "port 2 base 0x278 type 0x17 camera   # trailing comment\n"
                         "port 3 id MFG:Other #1;MDL:x;\n"
                         "firmware 1.2\nlinkversion 0x11\nsystemstate 2\nlight 40\n"
                         "fault error 0xA0 4 fatal 0x10 all\nfault upload-short all 100\n",
                         "test.sim", &s, &problem))
        << problem;
    // The first port line replaced the defaults.
    EXPECT_EQ((Ints{s.ports[1].present, s.ports[2].camera, s.ports[2].base, s.ports[2].type, s.ports[3].camera,
                    s.firmwareMajor, s.firmwareMinor, s.linkVersion, s.systemState}),
              (Ints{0, 1, 0x278, 0x17, 0, 1, 2, 17, 2}));
    EXPECT_EQ(s.ports[2].id, kSimCameraDeviceId);
    EXPECT_EQ(s.ports[3].id, "MFG:Other #1;MDL:x;");
    ASSERT_EQ((Ints{(long long)s.errorFaults.size(), (long long)s.uploadFaults.size()}), (Ints{1, 1}));
    EXPECT_EQ((Ints{s.errorFaults[0].fatal, s.errorFaults[0].times, s.uploadFaults[0].which, s.uploadFaults[0].bytes}),
              (Ints{1, 0, 0, 100}));
}

TEST_F(SimScenarioFile, BadLinesAreNamedWithTheirProblem) {
    EXPECT_EQ(Problem("firmware 1.3\nprot 1\n"), "test.sim, line 2: unknown keyword \"prot\"");
    EXPECT_EQ(Problem("port 4"), "test.sim, line 1: expected a port number from 1 to 3");
    EXPECT_EQ(Problem("port 1\nport 1"), "test.sim, line 2: LPT1 is declared twice");
    EXPECT_EQ(Problem("firmware 13"), "test.sim, line 1: expected the firmware version as major.minor, e.g. 1.3");
    EXPECT_EQ(Problem("light 300"), "test.sim, line 1: expected the light level from 0 to 255");
    EXPECT_EQ(Problem("light 3 4"), "test.sim, line 1: unexpected \"4\"");
    EXPECT_EQ(Problem("port 1 type"), "test.sim, line 1: expected port type bits from 0 to 0xFF");
    EXPECT_EQ(Problem("port 1 colour red"), "test.sim, line 1: unknown port setting \"colour\"");
    EXPECT_EQ(Problem("fault upload-failed 0"), "test.sim, line 1: expected \"all\" or a count from 1");
    EXPECT_EQ(Problem("fault error 0xA0 4 warn 1"),
              "test.sim, line 1: expected \"cmd\" or \"fatal\" for the error byte");
    EXPECT_EQ(Problem("fault melt"), "test.sim, line 1: unknown fault \"melt\"");
    EXPECT_EQ(Problem("fault freeze 0"),
              "test.sim, line 1: expected the number of the frame from 1 whose read-out stops");
    EXPECT_EQ(Problem("port 1 camera\nport 2 camera"), "test.sim: more than one port has the camera");
}

TEST_F(SimScenarioFile, LightProfilesGiveTheLightOverTime) {
    SimScenario s;
    std::string problem;
    ASSERT_TRUE(SimParseScenario("light 90\nlightprofile 1000:100 3000:200 5000:0\n", "test.sim", &s, &problem))
        << problem;
    EXPECT_EQ((Ints{SimLightAt(s, 0), SimLightAt(s, 2000), SimLightAt(s, 4500), SimLightAt(s, 900000)}),
              (Ints{100, 150, 50, 0}));
    ASSERT_TRUE(SimParseScenario("lightprofile steady\nlight 70\n", "test.sim", &s, &problem)) << problem;
    EXPECT_EQ(SimLightAt(s, 5000), 70);
    EXPECT_EQ(Problem("lightprofile"), std::string("test.sim, line 1: expected a light profile: steady, "
                                                   "dusk-and-dawn, dim-and-back, or points as milliseconds:level"));
    EXPECT_EQ(Problem("lightprofile sunset").rfind("test.sim, line 1: unknown light profile \"sunset\"; ", 0), 0u);
    EXPECT_EQ(Problem("lightprofile 0:10 x:5"),
              "test.sim, line 1: expected a light point as milliseconds:level (level 0 to 255), not \"x:5\"");
    EXPECT_EQ(Problem("lightprofile 0:300"),
              "test.sim, line 1: expected a light point as milliseconds:level (level 0 to 255), not \"0:300\"");
    EXPECT_EQ(Problem("lightprofile 500:1 500:2"),
              "test.sim, line 1: the light points' times must rise, \"500:2\" does not");
    EXPECT_EQ(Problem("lightprofile dusk-and-dawn 4"), "test.sim, line 1: unexpected \"4\"");
}

TEST_F(SimScenarioFile, TheCameraSeesTheProfileUntilTheLightIsSetByHand) {
    Scenario("lightprofile dusk-and-dawn\n");
    OpenCamera();
    HighPower();
    auto lightAfter = [&](DWORD milliseconds) {
        PosixClockAdvance(milliseconds);
        Status(0);
        return Camera().light;
    };
    EXPECT_EQ((Ints{lightAfter(0), lightAfter(10000)}), (Ints{128, 4}));
    SimSetLight(60);
    EXPECT_EQ(lightAfter(20000), 60);
}

TEST_F(SimScenarioFile, ABadScenarioChangesNothing) {
    Scenario("firmware 1.2\n");
    EXPECT_EQ(SimSetScenario("firmware 1.2\nlinkversion -3\n"), 0);
    EXPECT_STREQ(PosixLastProblem(), "scenario text, line 2: expected the link-driver version from 0 to 65535");
    OpenCamera();
    BYTE major = 0, minor = 0, d2 = 0, d3 = 0;
    ASSERT_EQ(ZELT_GetVersion(link, &major, &minor, &d2, &d3), 1u);
    EXPECT_EQ(minor, 2);
}

TEST_F(SimScenarioFile, ScenarioFilesAreReadWhole) {
    std::string path = HomeFile("camera.sim");
    WriteFileText(path, "port 1 type 0x57\nport 2 type 0x57 camera\n");
    ASSERT_EQ(SimLoadScenarioFile(path.c_str()), 1) << PosixLastProblem();
    Link* other = OpenLink(1);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(ZELT_GotoHiPower(other), 0u);
    PPLINK_DestroyLink(other);
    link = OpenLink(2);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(ZELT_GotoHiPower(link), 1u);
    WriteFileText(path, "port 1\n\nfirmware x\n");
    EXPECT_EQ(SimLoadScenarioFile(path.c_str()), 0);
    EXPECT_EQ(std::string(PosixLastProblem()),
              "scenario " + path + ", line 3: expected the firmware version as major.minor, e.g. 1.3");
    EXPECT_EQ(SimLoadScenarioFile(HomeFile("missing.sim").c_str()), 0);
    EXPECT_NE(strstr(PosixLastProblem(), "cannot be read"), nullptr);
}

}  // namespace
