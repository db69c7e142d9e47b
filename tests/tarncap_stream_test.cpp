// tarncap stream as a person runs it: an AVI file with the frames it says it
// delivered, and a clear refusal of arguments it cannot use.
#include <stdio.h>
#include <sys/wait.h>

#include "test_support.h"

namespace {

class TarncapStream : public FreshHome {
protected:
    std::string output;
    // Runs tarncap stream with the arguments; answers its exit status.
    int Run(const std::string& arguments) { return RunTarncap(home, "stream " + arguments, &output); }
    static DWORD Dword(const std::string& s, size_t at) {
        return (DWORD)(BYTE)s[at] | (DWORD)(BYTE)s[at + 1] << 8 | (DWORD)(BYTE)s[at + 2] << 16 |
               (DWORD)(BYTE)s[at + 3] << 24;
    }
};

TEST_F(TarncapStream, WritesTheFramesItReportsIntoOneAviFile) {
    std::string path = HomeFile("clip.avi");
    ASSERT_EQ(Run("--frames 5 --size 160x120 --format i420 --rate 10 --buffers 2 --out '" + path + "'"), 0) << output;
    EXPECT_NE(output.find("stream: 5 frames delivered, "), std::string::npos) << output;
    EXPECT_NE(output.find("160x120 i420"), std::string::npos) << output;
    std::string avi = ReadFileText(path);
    ASSERT_GT(avi.size(), 240u);
    EXPECT_EQ(avi.substr(0, 4), "RIFF");
    EXPECT_EQ(Dword(avi, 4), avi.size() - 8);
    EXPECT_EQ(avi.substr(8, 4), "AVI ");
    EXPECT_EQ(avi.substr(24, 4), "avih");
    EXPECT_EQ(Dword(avi, 32 + 16), 5u);     // frames
    EXPECT_EQ(Dword(avi, 32 + 32), 160u);   // width
    EXPECT_EQ(avi.substr(112, 4), "I420");  // the stream's handler
    // Five chunks of one picture each, and their index.
    size_t frame = 160 * 120 * 3 / 2;
    size_t at = avi.find("movi") + 4;
    for (int n = 0; n < 5; n++, at += 8 + frame) {
        ASSERT_EQ(avi.substr(at, 4), "00dc") << n;
        EXPECT_EQ(Dword(avi, at + 4), frame) << n;
    }
    EXPECT_EQ(avi.substr(at, 4), "idx1");
    EXPECT_EQ(Dword(avi, at + 4), 5u * 16);
}

TEST_F(TarncapStream, ArgumentsItCannotUseAreRefusedWithAReason) {
    struct Case {
        const char* arguments;
        const char* reason;
        int status;
    };
    const Case cases[] = {
        {"--out x.avi", "either --frames N or --seconds S", 2},
        {"--frames 3 --seconds 2 --out x.avi", "either --frames N or --seconds S", 2},
        {"--frames 3", "wants --out FILE.avi", 2},
        {"--frames 2.5 --out x.avi", "--frames wants a whole number", 2},
        {"--frames 0 --out x.avi", "--frames wants a number from 1 to 1000000, not 0", 2},
        {"--seconds -1 --out x.avi", "--seconds wants a number from 0.1", 2},
        {"--frames 3 --rate 60 --out x.avi", "--rate wants a number from 1 to 30, not 60", 2},
        {"--frames 3 --buffers 0 --out x.avi", "--buffers wants a number from 1 to 32", 2},
        {"--frames 3 --size 352 --out x.avi", "--size wants WIDTHxHEIGHT", 2},
        {"--frames 3 --format rgb32 --out x.avi", "unknown format rgb32", 2},
        {"--frames 3 --bogus 1 --out x.avi", "stream does not know --bogus", 2},
        {"--frames", "--frames needs a value", 2},
        {"--frames 3 --size 100x100 --out x.avi", "the driver refused 100x100", 1},
        {"--frames 3 --out /no/such/dir/x.avi", "cannot write /no/such/dir/x.avi", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.arguments), c.status) << c.arguments << ": " << output;
        EXPECT_NE(output.find(c.reason), std::string::npos) << c.arguments << ": " << output;
    }
}

}  // namespace
