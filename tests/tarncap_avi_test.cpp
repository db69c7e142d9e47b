// The capture host's AVI writer: the file is read back chunk by chunk as a
// video tool would, and every size, count and offset is checked.
#include <signal.h>
#include <sys/resource.h>

#include <vector>

#include "avi_reader.h"
#include "tools/tarncap/avi.h"

namespace {

class AviFile : public FreshHome {
protected:
    AviWriter avi;
    std::string problem;
    std::string path;
    BITMAPINFOHEADER format;
    Chunk riff;

    void SetUp() override {
        FreshHome::SetUp();
        path = HomeFile("out.avi");
        memset(&format, 0, sizeof format);
        format.biSize = 40;
        format.biWidth = 16;
        format.biHeight = 8;
        format.biPlanes = 1;
        format.biBitCount = 24;
        format.biSizeImage = 16 * 8 * 3;
    }
    std::string Frame(DWORD bytes, char fill) { return std::string(bytes, fill); }
    bool Write(const std::string& frame) {
        return AviWriteFrame(&avi, reinterpret_cast<const BYTE*>(frame.data()), (DWORD)frame.size(), &problem);
    }
    // Parses the finished file; the RIFF must span it exactly.
    void ReadBack() {
        std::string file = ReadFileText(path);
        std::vector<Chunk> top;
        ASSERT_TRUE(ReadChunks(file, 0, file.size(), &top));
        ASSERT_EQ(top.size(), 1u);
        riff = top[0];
        ASSERT_EQ(riff.id, "RIFF");
        ASSERT_EQ(riff.type, "AVI ");
        ASSERT_EQ(riff.children.size(), 3u);
        ASSERT_EQ(riff.children[0].type, "hdrl");
        ASSERT_EQ(riff.children[1].type, "movi");
        ASSERT_EQ(riff.children[2].id, "idx1");
    }
    const Chunk& Hdrl() { return riff.children[0]; }
    const Chunk& Movi() { return riff.children[1]; }
    const std::string& Avih() { return Hdrl().children[0].data; }
    const std::string& Strh() { return Hdrl().children[1].children[0].data; }
    const std::string& Strf() { return Hdrl().children[1].children[1].data; }
    const std::string& Index() { return riff.children[2].data; }
};

TEST_F(AviFile, FramesAreIndexedAndCountedInBothHeaders) {
    ASSERT_TRUE(AviCreate(&avi, path, format, {}, &problem)) << problem;
    std::vector<std::string> frames = {Frame(384, 'a'), Frame(384, 'b'), Frame(384, 'c')};
    for (const std::string& f : frames) ASSERT_TRUE(Write(f)) << problem;
    ASSERT_TRUE(AviFinish(&avi, 66000, &problem)) << problem;
    ReadBack();

    ASSERT_EQ(Hdrl().children.size(), 2u);
    EXPECT_EQ(Hdrl().children[0].id, "avih");
    ASSERT_EQ(Avih().size(), 56u);
    EXPECT_EQ(Dword(Avih(), 0), 66000u);  // microseconds per frame
    EXPECT_EQ(Dword(Avih(), 12), 0x10u);  // has an index
    EXPECT_EQ(Dword(Avih(), 16), 3u);     // frames
    EXPECT_EQ(Dword(Avih(), 24), 1u);     // streams
    EXPECT_EQ(Dword(Avih(), 28), 384u);   // suggested buffer
    EXPECT_EQ(Dword(Avih(), 32), 16u);
    EXPECT_EQ(Dword(Avih(), 36), 8u);
    EXPECT_EQ(Hdrl().children[1].type, "strl");
    ASSERT_EQ(Strh().size(), 56u);
    EXPECT_EQ(Strh().substr(0, 4), "vids");
    EXPECT_EQ(Strh().substr(4, 4), "DIB ");
    EXPECT_EQ(Dword(Strh(), 20), 66000u);    // scale
    EXPECT_EQ(Dword(Strh(), 24), 1000000u);  // rate: 15.15 frames a second
    EXPECT_EQ(Dword(Strh(), 32), 3u);        // length
    EXPECT_EQ(Word(Strh(), 52), 16u);
    EXPECT_EQ(Word(Strh(), 54), 8u);
    ASSERT_EQ(Strf().size(), 40u);
    EXPECT_EQ(Strf(), std::string(reinterpret_cast<const char*>(&format), 40));

    ASSERT_EQ(Movi().children.size(), 3u);
    ASSERT_EQ(Index().size(), 3u * 16);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(Movi().children[i].id, "00db");
        EXPECT_EQ(Movi().children[i].data, frames[i]);
        // Index offsets count from the 'movi' list type.
        EXPECT_EQ(Index().substr(i * 16, 4), "00db");
        EXPECT_EQ(Dword(Index(), i * 16 + 4), 0x10u);  // key frame
        EXPECT_EQ(Dword(Index(), i * 16 + 8), Movi().children[i].offset - (Movi().offset + 8));
        EXPECT_EQ(Dword(Index(), i * 16 + 12), 384u);
    }
}

TEST_F(AviFile, PalettedAndYuvFramesKeepTheirFormat) {
    format.biBitCount = 8;
    format.biSizeImage = 128;
    std::vector<BYTE> palette = {0x00, 0x03, 2, 0, 10, 20, 30, 0, 40, 50, 60, 0};  // LOGPALETTE of 2
    ASSERT_TRUE(AviCreate(&avi, path, format, ColoursFromPalette(palette), &problem)) << problem;
    ASSERT_TRUE(Write(Frame(127, 'x')));  // an odd chunk is padded, the next stays aligned
    ASSERT_TRUE(Write(Frame(128, 'y')));
    ASSERT_TRUE(AviFinish(&avi, 100000, &problem)) << problem;
    ReadBack();
    ASSERT_EQ(Strf().size(), 40u + 1024);
    EXPECT_EQ(Dword(Strf(), 32), 256u);                                                   // colours used
    EXPECT_EQ(Strf().substr(40, 8), std::string("\x1e\x14\x0a\x00\x3c\x32\x28\x00", 8));  // blue, green, red
    ASSERT_EQ(Movi().children.size(), 2u);
    EXPECT_EQ(Movi().children[0].data, Frame(127, 'x'));
    EXPECT_EQ(Movi().children[1].data, Frame(128, 'y'));
    EXPECT_EQ(Dword(Index(), 16 + 8), Movi().children[1].offset - (Movi().offset + 8));

    format.biBitCount = 12;
    format.biCompression = mmioFOURCC('I', '4', '2', '0');
    format.biSizeImage = 192;
    ASSERT_TRUE(AviCreate(&avi, path, format, ColoursFromPalette(palette), &problem)) << problem;
    ASSERT_TRUE(Write(Frame(192, 'z')));
    ASSERT_TRUE(AviFinish(&avi, 40000, &problem)) << problem;
    ReadBack();
    EXPECT_EQ(Strh().substr(4, 4), "I420");
    EXPECT_EQ(Strf().size(), 40u);  // no colour table
    EXPECT_EQ(Movi().children[0].id, "00dc");
    EXPECT_EQ(Index().substr(0, 4), "00dc");
}

TEST_F(AviFile, AFrameBeyondTheSizeLimitIsRefusedAndTheFileStaysWhole) {
    ASSERT_TRUE(AviCreate(&avi, path, format, {}, &problem)) << problem;
    avi.sizeLimit = avi.written + 2 * (8 + 384) + 8 + 2 * 16;
    EXPECT_TRUE(Write(Frame(384, '1')));
    EXPECT_TRUE(Write(Frame(384, '2')));
    EXPECT_FALSE(Write(Frame(384, '3')));
    EXPECT_NE(problem.find("size limit"), std::string::npos);
    ASSERT_TRUE(AviFinish(&avi, 33000, &problem)) << problem;
    ReadBack();
    EXPECT_EQ(Movi().children.size(), 2u);
    EXPECT_EQ(Dword(Avih(), 16), 2u);
    EXPECT_EQ(ReadFileText(path).size(), avi.sizeLimit);
}

// A full disk, as the file-size limit makes one: the frame that does not
// fit is refused, and the frames before it give way to the index until the
// file is whole again.
TEST_F(AviFile, OnAFullDiskTheFramesBeforeStayIndexed) {
    ASSERT_TRUE(AviCreate(&avi, path, format, {}, &problem)) << problem;
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit full = saved;
    full.rlim_cur = avi.written + 3 * (8 + 384) + 40;  // three frames fit, their index does not
    setrlimit(RLIMIT_FSIZE, &full);
    bool written[4];
    for (bool& w : written) w = Write(Frame(384, 'f'));
    bool finished = AviFinish(&avi, 33000, &problem);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_TRUE(written[0] && written[1] && written[2] && !written[3]);
    ASSERT_TRUE(finished) << problem;
    std::string why;
    EXPECT_EQ(AviFrames(path, &why), 2) << why;
}

TEST_F(AviFile, AnEmptyCaptureIsAValidFileAndAnUnwritablePathIsNamed) {
    ASSERT_TRUE(AviCreate(&avi, path, format, {}, &problem)) << problem;
    ASSERT_TRUE(AviFinish(&avi, 33000, &problem)) << problem;
    ReadBack();
    EXPECT_TRUE(Movi().children.empty());
    EXPECT_TRUE(Index().empty());
    EXPECT_EQ(Dword(Avih(), 16), 0u);

    std::string nowhere = HomeFile("no/such/dir/out.avi");
    EXPECT_FALSE(AviCreate(&avi, nowhere, format, {}, &problem));
    EXPECT_NE(problem.find(nowhere), std::string::npos);
    EXPECT_FALSE(Write(Frame(4, 'q')));
}

}  // namespace
