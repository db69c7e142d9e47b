// tarncap stream as a person runs it: an AVI file with the frames it says it
// delivered, and a clear refusal of arguments it cannot use.
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "avi_reader.h"
#include "settings/registry.h"
#include "tools/tarncap/y4m.h"

namespace {

class TarncapStream : public FreshHome {
protected:
    std::string output;
    // Runs tarncap stream with the arguments; answers its exit status.
    int Run(const std::string& arguments) { return RunTarncap(home, "stream " + arguments, &output); }
    // Runs a shell script with TARNCAP standing for the program and HOME
    // for this test's Windows directory; answers what it printed.
    std::string Script(const std::string& script) {
        char* where = realpath(BinFolder().c_str(), nullptr);
        std::string command = "TARNCAP='" + std::string(where ? where : ".") + "/tarncap --home " + home + "'; cd '" +
                              home + "'; { " + script + "; } 2>&1";
        free(where);
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return out;
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
        pclose(pipe);
        return out;
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
        {"--frames 3 --out -",
         "YUV4MPEG2 stream, which takes the YUV formats i420, iyuv, yv12, yuy2 and uyvy, not rgb24", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.arguments), c.status) << c.arguments << ": " << output;
        EXPECT_NE(output.find(c.reason), std::string::npos) << c.arguments << ": " << output;
    }
}

// Ctrl-C, SIGTERM and a closed terminal all end a capture as asked: the
// stream ends, the channel is released and the AVI is finished with its
// index, whatever frames it had.
TEST_F(TarncapStream, ASignalEndsTheCaptureWithAFinishedFile) {
    // Three hosts at once, each with a Windows directory (and so a camera
    // channel) of its own: one channel of a kind is all a machine has.
    std::string out = Script(
        "for s in INT TERM HUP; do ($TARNCAP --home $s stream --seconds 60 --size 64x48 --rate 15 --out $s.avi > "
        "$s.txt "
        "2>&1 & p=$!; for i in $(seq 100); do [ $(stat -c %s $s.avi 2>/dev/null || echo 0) -gt 30000 ] && break; "
        "sleep 0.05; done; kill -$s $p; wait $p; echo \"$s exit $?\" >> $s.txt) & done; wait; "
        "cat INT.txt TERM.txt HUP.txt");
    for (const char* name : {"INT", "TERM", "HUP"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(out.find(std::string(name) + " exit 1"), std::string::npos) << out;
        std::string why;
        EXPECT_GT(AviFrames(HomeFile((std::string(name) + ".avi").c_str()), &why), 0) << why;
        PosixSetWindowsDirectory(HomeFile(name).c_str());
        EXPECT_EQ(ReadRegDword("VideoInUsage", 1), 0u);
    }
    PosixSetWindowsDirectory(home.c_str());
    EXPECT_NE(out.find("Terminated, capture ended"), std::string::npos) << out;
    EXPECT_NE(out.find("Hangup, capture ended"), std::string::npos) << out;
}

// A disk that fills up (the file-size limit stands for one) stops the
// capture with the reason; the file keeps the frames before, indexed. A
// device that takes nothing is named and left alone.
TEST_F(TarncapStream, AFailedWriteEndsTheCaptureAndKeepsAWholeFile) {
    std::string out = Script("ulimit -f 1500; $TARNCAP stream --frames 30 --size 352x288 --out full.avi; echo exit $?");
    EXPECT_NE(out.find("tarncap: writing failed: full.avi"), std::string::npos) << out;
    EXPECT_NE(out.find("exit 1"), std::string::npos) << out;
    std::string why;
    int frames = AviFrames(HomeFile("full.avi"), &why);
    EXPECT_GT(frames, 0) << why;
    EXPECT_LT(frames, 30);

    EXPECT_EQ(Run("--frames 3 --out /dev/full"), 1);
    EXPECT_NE(output.find("writing failed: /dev/full"), std::string::npos) << output;
    struct stat device;
    EXPECT_TRUE(stat("/dev/full", &device) == 0 && S_ISCHR(device.st_mode));
}

// A capture of some seconds counts what it should have brought; a camera
// that stops sending shows as a stall, and too few frames fail the run.
TEST_F(TarncapStream, ACaptureOfSecondsReportsExpectedFramesAndStalls) {
    ASSERT_EQ(Run("--seconds 1 --rate 10 --size 64x48 --out " + HomeFile("a.avi")), 0) << output;
    EXPECT_NE(output.find(" of 10 expected, "), std::string::npos) << output;
    EXPECT_NE(output.find("peak resident memory"), std::string::npos) << output;
    EXPECT_EQ(output.find("stalled"), std::string::npos) << output;

    WriteFileText(HomeFile("frozen.sim"), "fault freeze 3\n");
    EXPECT_EQ(RunTarncap(home, "stream --seconds 2 --rate 10 --size 64x48 --out " + HomeFile("b.avi"), &output,
                         "TARN2_SIM='" + HomeFile("frozen.sim") + "' "),
              1);
    EXPECT_NE(output.find(" of 20 expected, "), std::string::npos) << output;
    EXPECT_NE(output.find("stream: stalled "), std::string::npos) << output;
    EXPECT_NE(output.find("fewer than asked"), std::string::npos) << output;
}

// With tracing on, the host's message loop brings the driver's lines to
// the trace window as they come, and the window's saved lines are the ones
// the synchronous log got.
TEST_F(TarncapStream, TheTraceWindowReceivesTheLinesWhileTheHostRuns) {
    ASSERT_TRUE(WriteRegDword("DebugLevel", 0x22));
    ASSERT_EQ(Run("--frames 3 --size 64x48 --out " + HomeFile("t.avi")), 0) << output;
    std::string window = ReadFileText(HomeFile("mbktrace.log")), log = ReadFileText(HomeFile("mbksynct.log"));
    EXPECT_NE(window.find("DVM_STREAM_START"), std::string::npos) << window;
    EXPECT_NE(window.find("DRV_DISABLE - ok"), std::string::npos) << window;
    // Line by line, in order, as the log has them.
    size_t at = 0;
    for (size_t begin = 0, end; (end = window.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        at = log.find(window.substr(begin, end - begin), at);
        ASSERT_NE(at, std::string::npos) << window.substr(begin, end - begin);
    }
}

// The live stream: a YUV4MPEG2 header with the size, rate and layout, then
// each frame as its planes, read back by a parser of our own.
TEST_F(TarncapStream, TheStandardOutputCarriesAYuv4mpegStream) {
    struct Case {
        const char* format;
        const char* colour;
        size_t frameBytes;
    };
    for (const Case& c : {Case{"i420", "C420jpeg", 64 * 48 * 3 / 2}, Case{"uyvy", "C422", 64 * 48 * 2}}) {
        SCOPED_TRACE(c.format);
        std::string out = Script(std::string("$TARNCAP stream --frames 3 --size 64x48 --rate 12.5 --format ") +
                                 c.format + " --out - 2>err.txt > live.y4m; echo exit $?");
        EXPECT_NE(out.find("exit 0"), std::string::npos) << out << ReadFileText(HomeFile("err.txt"));
        std::string y4m = ReadFileText(HomeFile("live.y4m"));
        std::string header = std::string("YUV4MPEG2 W64 H48 F25:2 Ip A1:1 ") + c.colour + "\n";
        ASSERT_EQ(y4m.substr(0, header.size()), header);
        ASSERT_EQ(y4m.size(), header.size() + 3 * (6 + c.frameBytes));
        for (size_t n = 0; n < 3; n++) EXPECT_EQ(y4m.substr(header.size() + n * (6 + c.frameBytes), 6), "FRAME\n");
        EXPECT_NE(ReadFileText(HomeFile("err.txt")).find("stream: 3 frames delivered"), std::string::npos);
    }
}

// Each frame layout into the stream's planes: Y, then Cb, then Cr.
TEST(Y4m, EveryYuvLayoutBecomesPlanesInStreamOrder) {
    struct Case {
        DWORD code;
        std::vector<BYTE> frame;   // 4 x 2 pixels
        std::vector<BYTE> planes;  // as the stream carries them
    };
    const Case cases[] = {
        {mmioFOURCC('I', '4', '2', '0'),
         {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 30, 31},
         {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 30, 31}},
        {mmioFOURCC('Y', 'V', '1', '2'),
         {1, 2, 3, 4, 5, 6, 7, 8, 30, 31, 20, 21},
         {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 30, 31}},
        {mmioFOURCC('Y', 'U', 'Y', '2'),
         {1, 20, 2, 30, 3, 21, 4, 31, 5, 22, 6, 32, 7, 23, 8, 33},
         {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 22, 23, 30, 31, 32, 33}},
        {mmioFOURCC('U', 'Y', 'V', 'Y'),
         {20, 1, 30, 2, 21, 3, 31, 4, 22, 5, 32, 6, 23, 7, 33, 8},
         {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 22, 23, 30, 31, 32, 33}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        BITMAPINFOHEADER format = HostFormat(4, 2, 12, c.code, (DWORD)c.frame.size());
        Y4mWriter y4m;
        std::string problem;
        ASSERT_TRUE(Y4mStart(&y4m, pipe[1], format, 30, &problem)) << problem;
        ASSERT_TRUE(Y4mWriteFrame(&y4m, c.frame.data(), (DWORD)c.frame.size(), &problem)) << problem;
        EXPECT_FALSE(Y4mWriteFrame(&y4m, c.frame.data(), (DWORD)c.frame.size() - 1, &problem));
        close(pipe[1]);
        char bytes[256];
        ssize_t n = read(pipe[0], bytes, sizeof bytes);
        close(pipe[0]);
        std::string stream(bytes, n > 0 ? (size_t)n : 0);
        size_t frame = stream.find("FRAME\n");
        ASSERT_NE(frame, std::string::npos) << stream;
        EXPECT_EQ(stream.substr(frame + 6), std::string(c.planes.begin(), c.planes.end()));
    }
}

TEST_F(TarncapStream, FormatsListsWhatTheDriverTakes) {
    ASSERT_EQ(RunTarncap(home, "formats", &output), 0) << output;
    for (const char* line :
         {"[0]: rgb24 (RGB, 24 bits per pixel)", "Size: Stepwise 8x4 - 352x288 with step 8/4",
          "Size: Stepwise 16x8 - 704x576 with step 16/8, when wider than 352 or taller than 288",
          "[3]: i420 ('I420', 12 bits per pixel)", "Amended: 107x103 is refused; the nearest size taken is 104x104",
          "yvu9 ('YVU9', 9 bits per pixel): not offered"})
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    EXPECT_EQ(output.find("Stepwise 16x8", output.find("[1]")), std::string::npos) << "only rgb24 is doubled";
}

}  // namespace
