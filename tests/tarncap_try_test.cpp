// The main job as a newcomer runs it, in a folder of their own: a snapshot
// and a clip they can open, where they are, and no link-test chatter unless
// asked for.
#include "avi_reader.h"

namespace {

class MainJob : public FreshHome {
protected:
    // Runs tools/run.sh with the arguments in a scratch folder of this
    // test, on the build the tests came from; answers its exit status.
    int Run(const std::string& arguments, std::string* out, std::string* err, const std::string& environment = "") {
        char* where = realpath(BinFolder().c_str(), nullptr);
        std::string build = where ? std::string(where) + "/.." : "build";
        free(where);
        std::string command = "mkdir -p '" + home + "/work' && cd '" + home + "/work' && TARN2_HOME='" + home +
                              "' TARN2_SKIP_SETUP=1 TARN2_BUILD='" + build + "' " + environment +
                              TARN2_SOURCE_DIR "/tools/run.sh " + arguments + " > ../out.txt 2> ../err.txt";
        int status = system(command.c_str());
        *out = ReadFileText(HomeFile("out.txt"));
        *err = ReadFileText(HomeFile("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(MainJob, WithoutArgumentsItCapturesASnapshotAndAClip) {
    std::string out, err;
    ASSERT_EQ(Run("", &out, &err), 0) << out << err;
    for (const char* text : {"on LPT1 (port mode 0x57), firmware 1.3", "snapshot: capture/snapshot.bmp, 352x288",
                             "clip:     capture/clip.avi, ", "tarncap ctrl --list-ctrls",
                             "tarncap stream --seconds 10 --out clip.avi", "tarncap dialog camera"})
        EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
    std::string bmp = ReadFileText(HomeFile("work/capture/snapshot.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 352 * 288 * 3);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Dword(bmp, 18), 352u);
    EXPECT_EQ(Dword(bmp, 22), 288u);
    std::string why;
    EXPECT_GE(AviFrames(HomeFile("work/capture/clip.avi"), &why), 38) << why;
    // The camera's link test stays out of the way...
    EXPECT_EQ(err.find("FINISHING"), std::string::npos) << err;
    // ... unless asked for, or the camera could not be opened.
    ASSERT_EQ(Run("--verbose probe", &out, &err), 0) << out << err;
    EXPECT_NE(err.find("FINISHING"), std::string::npos) << err;
    WriteFileText(HomeFile("bad.sim"), "fault pattern all 7\n");
    ASSERT_EQ(Run("probe", &out, &err, "TARN2_SIM='" + HomeFile("bad.sim") + "' "), 1) << out << err;
    EXPECT_NE(err.find("FINISHING"), std::string::npos) << err;

    ASSERT_EQ(Run("--version", &out, &err), 0) << err;
    EXPECT_NE(out.find("tarncap 1.1.0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("FileVersion 1.0.3.0, OriginalFilename mbktarn2u.drv"), std::string::npos) << out;
    EXPECT_EQ(Run("--home .", &out, &err), 2);
    EXPECT_NE(err.find("usage: tarncap"), std::string::npos) << err;
}

}  // namespace
