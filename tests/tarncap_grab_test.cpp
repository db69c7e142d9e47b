// tarncap grab as a person runs it: the pictures it writes, and the clear
// refusal of arguments it cannot use.
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "test_support.h"

namespace {

class TarncapGrab : public FreshHome {
protected:
    std::string output;
    // Runs tarncap with the arguments; answers its exit status.
    int Run(const std::string& arguments) { return RunTarncap(home, "grab " + arguments, &output); }
    long FileSize(const std::string& path) {
        struct stat info;
        return stat(path.c_str(), &info) == 0 ? (long)info.st_size : -1;
    }
};

TEST_F(TarncapGrab, WritesBitmapsAndRawPlanesOfTheFormatAskedFor) {
    ASSERT_EQ(Run("--size 320x240 --format rgb24 --out '" + HomeFile("still.bmp") + "'"), 0) << output;
    EXPECT_NE(output.find("grab: 1 of 1 frames"), std::string::npos) << output;
    EXPECT_EQ(FileSize(HomeFile("still.bmp")), 54 + 320 * 240 * 3);
    std::string bmp = ReadFileText(HomeFile("still.bmp"));
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ((unsigned char)bmp[18] | ((unsigned char)bmp[19] << 8), 320);  // biWidth

    ASSERT_EQ(Run("--size 176x144 --format i420 --frames 2 --out '" + HomeFile("clip") + "'"), 0) << output;
    EXPECT_NE(output.find("grab: 2 of 2 frames"), std::string::npos) << output;
    EXPECT_EQ(FileSize(HomeFile("clip-0001.yuv")), 176 * 144 * 3 / 2);
    EXPECT_EQ(FileSize(HomeFile("clip-0002.yuv")), 176 * 144 * 3 / 2);

    ASSERT_EQ(Run("--size 160x120 --format rgb8 --out '" + HomeFile("eight") + "'"), 0) << output;
    EXPECT_EQ(FileSize(HomeFile("eight.bmp")), 54 + 256 * 4 + 160 * 120);
}

// A picture that cannot be written whole (the file-size limit stands for a
// full disk) leaves nothing behind under its name or any other.
TEST_F(TarncapGrab, AFailedWriteLeavesNoHalfPicture) {
    EXPECT_EQ(RunTarncap(home, "grab --size 352x288 --out '" + HomeFile("big") + "'", &output, "ulimit -f 100; "), 1);
    EXPECT_NE(output.find("writing " + HomeFile("big.bmp") + " failed"), std::string::npos) << output;
    EXPECT_EQ(FileSize(HomeFile("big.bmp")), -1);
    EXPECT_EQ(FileSize(HomeFile("big.bmp.part")), -1);
}

TEST_F(TarncapGrab, ArgumentsItCannotUseAreRefusedWithAReason) {
    struct Case {
        const char* arguments;
        const char* reason;
    };
    const Case cases[] = {
        {"--size 320", "--size wants WIDTHxHEIGHT"}, {"--size", "--size needs a value"},
        {"--format rgb32", "unknown format rgb32"},  {"--frames 0", "--frames wants a number from 1 to 100000"},
        {"--frames two", "--frames wants a number"}, {"--out ''", "--out wants a file name"},
        {"--bogus 1", "grab does not know --bogus"}, {"--size 100x100", "the driver refused 100x100"},
        {"--format yvu9", "no YUV layout for yvu9"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(Run(c.arguments), 0) << c.arguments;
        EXPECT_NE(output.find(c.reason), std::string::npos) << c.arguments << ": " << output;
    }
}

}  // namespace
