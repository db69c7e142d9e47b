// tarncap as a person runs it, one real process per run: the files it
// writes read back as a video tool would, and clear refusals of what it
// cannot do.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <vector>

#include "driver_support.h"
#include "settings/registry.h"
#include "tools/tarncap/avi.h"
#include "tools/tarncap/y4m.h"

namespace {

struct Chunk {
    std::string id, type;  // type for RIFF and LIST
    size_t offset = 0;     // of the id in the file
    std::string data;      // for plain chunks
    std::vector<Chunk> children;
};

DWORD Dword(const std::string& s, size_t at) {
    return (DWORD)(BYTE)s[at] | (DWORD)(BYTE)s[at + 1] << 8 | (DWORD)(BYTE)s[at + 2] << 16 |
           (DWORD)(BYTE)s[at + 3] << 24;
}

// Reads the chunks in [begin, end); false when one overruns its parent.
bool ReadChunks(const std::string& file, size_t begin, size_t end, std::vector<Chunk>* out) {
    size_t at = begin;
    while (at < end) {
        if (at + 8 > end) return false;
        Chunk chunk;
        chunk.id = file.substr(at, 4);
        chunk.offset = at;
        DWORD size = Dword(file, at + 4);
        if (at + 8 + size > end) return false;
        if (chunk.id == "RIFF" || chunk.id == "LIST") {
            chunk.type = file.substr(at + 8, 4);
            if (!ReadChunks(file, at + 12, at + 8 + size, &chunk.children)) return false;
        } else {
            chunk.data = file.substr(at + 8, size);
        }
        out->push_back(chunk);
        at += 8 + size + (size & 1);
    }
    return at == end;
}

// The one RIFF AVI spanning the file, with hdrl (avih, strl), movi and idx1.
bool ReadAvi(const std::string& path, Chunk* riff, std::string* why) {
    std::string file = ReadFileText(path);
    std::vector<Chunk> top;
    if (!ReadChunks(file, 0, file.size(), &top) || top.size() != 1 || top[0].type != "AVI ") {
        *why = "not one RIFF AVI spanning the file of " + std::to_string(file.size()) + " bytes";
        return false;
    }
    const std::vector<Chunk>& parts = top[0].children;
    if (parts.size() != 3 || parts[0].type != "hdrl" || parts[1].type != "movi" || parts[2].id != "idx1" ||
        parts[0].children.size() != 2 || parts[0].children[0].id != "avih" || parts[0].children[0].data.size() < 56 ||
        parts[0].children[1].children.empty() || parts[0].children[1].children[0].data.size() < 56) {
        *why = "not hdrl (with avih and strl), movi and idx1";
        return false;
    }
    *riff = top[0];
    return true;
}

// The frames of a whole AVI file, counted alike by the main header, the
// stream header, 'movi' and the index; -1 (with the reason) otherwise.
int AviFrames(const std::string& path, std::string* why) {
    Chunk riff;
    if (!ReadAvi(path, &riff, why)) return -1;
    const std::vector<Chunk>& parts = riff.children;
    size_t frames = parts[1].children.size();
    DWORD main = Dword(parts[0].children[0].data, 16), stream = Dword(parts[0].children[1].children[0].data, 32);
    if (main != frames || stream != frames || parts[2].data.size() != frames * 16) {
        *why = "the counts differ: " + std::to_string(main) + " " + std::to_string(stream) + " " +
               std::to_string(frames) + " " + std::to_string(parts[2].data.size() / 16);
        return -1;
    }
    return (int)frames;
}

class AviFile : public FreshHome {
protected:
    AviWriter avi;
    std::string problem, path;
    BITMAPINFOHEADER format;
    Chunk riff;

    void SetUp() override {
        FreshHome::SetUp();
        path = HomeFile("out.avi");
        format = HostFormat(16, 8, 24, BI_RGB, 16 * 8 * 3);
    }
    bool Write(const std::string& frame) {
        return AviWriteFrame(&avi, reinterpret_cast<const BYTE*>(frame.data()), (DWORD)frame.size(), &problem);
    }
    void ReadBack() {
        std::string why;
        ASSERT_TRUE(ReadAvi(path, &riff, &why)) << why;
    }
    const Chunk& Movi() { return riff.children[1]; }
    const std::string& Avih() { return riff.children[0].children[0].data; }
    const std::string& Strh() { return riff.children[0].children[1].children[0].data; }
    const std::string& Strf() { return riff.children[0].children[1].children[1].data; }
    const std::string& Index() { return riff.children[2].data; }
};

TEST_F(AviFile, FramesAreIndexedAndCountedInBothHeaders) {
    ASSERT_TRUE(AviCreate(&avi, path, format, {}, &problem)) << problem;
    std::vector<std::string> frames = {std::string(384, 'a'), std::string(384, 'b'), std::string(384, 'c')};
    for (const std::string& f : frames) ASSERT_TRUE(Write(f)) << problem;
    ASSERT_TRUE(AviFinish(&avi, 66000, &problem)) << problem;
    ReadBack();
    EXPECT_EQ(riff.children[0].children[0].id, "avih");
    ASSERT_EQ(Avih().size(), 56u);
    // microseconds per frame, flags (has an index), frames, streams, suggested buffer, width, height
    const DWORD avih[][2] = {{0, 66000}, {12, 0x10}, {16, 3}, {24, 1}, {28, 384}, {32, 16}, {36, 8}};
    for (auto field : avih) EXPECT_EQ(Dword(Avih(), field[0]), field[1]) << "avih at " << field[0];
    EXPECT_EQ(riff.children[0].children[1].type, "strl");
    ASSERT_EQ(Strh().size(), 56u);
    EXPECT_EQ(Strh().substr(0, 8), "vidsDIB ");
    // scale and rate (15.15 frames a second), length, then the frame's right and bottom
    const DWORD strh[][2] = {{20, 66000}, {24, 1000000}, {32, 3}, {52, 16 | 8 << 16}};
    for (auto field : strh) EXPECT_EQ(Dword(Strh(), field[0]), field[1]) << "strh at " << field[0];
    EXPECT_EQ(Strf(), std::string(reinterpret_cast<const char*>(&format), 40));
    ASSERT_EQ(Movi().children.size(), 3u);
    ASSERT_EQ(Index().size(), 3u * 16);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(Movi().children[i].id, "00db");
        EXPECT_EQ(Movi().children[i].data, frames[i]);
        // A key frame; offsets count from the 'movi' list type.
        EXPECT_EQ(Index().substr(i * 16, 4), "00db");
        EXPECT_EQ(Dword(Index(), i * 16 + 4), 0x10u);
        EXPECT_EQ(Dword(Index(), i * 16 + 8), Movi().children[i].offset - (Movi().offset + 8));
        EXPECT_EQ(Dword(Index(), i * 16 + 12), 384u);
    }
}

TEST_F(AviFile, PalettedAndYuvFramesKeepTheirFormat) {
    format.biBitCount = 8;
    format.biSizeImage = 128;
    std::vector<BYTE> palette = {0x00, 0x03, 2, 0, 10, 20, 30, 0, 40, 50, 60, 0};  // LOGPALETTE of 2
    ASSERT_TRUE(AviCreate(&avi, path, format, ColoursFromPalette(palette), &problem)) << problem;
    ASSERT_TRUE(Write(std::string(127, 'x')));  // an odd chunk is padded, the next stays aligned
    ASSERT_TRUE(Write(std::string(128, 'y')));
    ASSERT_TRUE(AviFinish(&avi, 100000, &problem)) << problem;
    ReadBack();
    ASSERT_EQ(Strf().size(), 40u + 1024);
    EXPECT_EQ(Dword(Strf(), 32), 256u);                                                   // colours used
    EXPECT_EQ(Strf().substr(40, 8), std::string("\x1e\x14\x0a\x00\x3c\x32\x28\x00", 8));  // blue, green, red
    ASSERT_EQ(Movi().children.size(), 2u);
    EXPECT_EQ(Movi().children[0].data, std::string(127, 'x'));
    EXPECT_EQ(Movi().children[1].data, std::string(128, 'y'));
    EXPECT_EQ(Dword(Index(), 16 + 8), Movi().children[1].offset - (Movi().offset + 8));

    format = HostFormat(16, 8, 12, mmioFOURCC('I', '4', '2', '0'), 192);
    ASSERT_TRUE(AviCreate(&avi, path, format, ColoursFromPalette(palette), &problem)) << problem;
    ASSERT_TRUE(Write(std::string(192, 'z')));
    ASSERT_TRUE(AviFinish(&avi, 40000, &problem)) << problem;
    ReadBack();
    EXPECT_EQ(Strh().substr(4, 4), "I420");
    EXPECT_EQ(Strf().size(), 40u);  // no colour table
    EXPECT_EQ(Movi().children[0].id, "00dc");
    EXPECT_EQ(Index().substr(0, 4), "00dc");
}

// The writer's own limit and a full disk (the file-size limit makes one):
// the frame that does not fit is refused, and the frames before it give way
// to the index until the file is whole again.
TEST_F(AviFile, AFrameThatDoesNotFitIsRefusedAndTheFileStaysWhole) {
    ASSERT_TRUE(AviCreate(&avi, path, format, {}, &problem)) << problem;
    avi.sizeLimit = avi.written + 2 * (8 + 384) + 8 + 2 * 16;
    EXPECT_TRUE(Write(std::string(384, '1')) && Write(std::string(384, '2')));
    EXPECT_FALSE(Write(std::string(384, '3')));
    EXPECT_NE(problem.find("size limit"), std::string::npos);
    ASSERT_TRUE(AviFinish(&avi, 33000, &problem)) << problem;
    std::string why;
    EXPECT_EQ(AviFrames(path, &why), 2) << why;
    EXPECT_EQ(ReadFileText(path).size(), avi.sizeLimit);

    avi = AviWriter();
    ASSERT_TRUE(AviCreate(&avi, path, format, {}, &problem)) << problem;
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit full = saved;
    full.rlim_cur = avi.written + 3 * (8 + 384) + 40;  // three frames fit, their index does not
    setrlimit(RLIMIT_FSIZE, &full);
    bool written[4];
    for (bool& w : written) w = Write(std::string(384, 'f'));
    bool finished = AviFinish(&avi, 33000, &problem);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_TRUE(written[0] && written[1] && written[2] && !written[3]);
    ASSERT_TRUE(finished) << problem;
    EXPECT_EQ(AviFrames(path, &why), 2) << why;
}

TEST_F(AviFile, AnEmptyCaptureIsAValidFileAndAnUnwritablePathIsNamed) {
    ASSERT_TRUE(AviCreate(&avi, path, format, {}, &problem)) << problem;
    ASSERT_TRUE(AviFinish(&avi, 33000, &problem)) << problem;
    std::string why;
    EXPECT_EQ(AviFrames(path, &why), 0) << why;
    std::string nowhere = HomeFile("no/such/dir/out.avi");
    EXPECT_FALSE(AviCreate(&avi, nowhere, format, {}, &problem));
    EXPECT_NE(problem.find(nowhere), std::string::npos);
    EXPECT_FALSE(Write(std::string(4, 'q')));
}

// Each frame layout into the stream's planes: Y, then Cb, then Cr.
TEST(Y4m, EveryYuvLayoutBecomesPlanesInStreamOrder) {
    struct Case {
        DWORD code;
        std::vector<BYTE> frame;   // 4 x 2 pixels
        std::vector<BYTE> planes;  // as the stream carries them
    };
    // clang-format off
    const Case cases[] = {
        {mmioFOURCC('I', '4', '2', '0'), {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 30, 31}, {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 30, 31}},
        {mmioFOURCC('Y', 'V', '1', '2'), {1, 2, 3, 4, 5, 6, 7, 8, 30, 31, 20, 21}, {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 30, 31}},
        {mmioFOURCC('Y', 'U', 'Y', '2'), {1, 20, 2, 30, 3, 21, 4, 31, 5, 22, 6, 32, 7, 23, 8, 33},
                                         {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 22, 23, 30, 31, 32, 33}},
        {mmioFOURCC('U', 'Y', 'V', 'Y'), {20, 1, 30, 2, 21, 3, 31, 4, 22, 5, 32, 6, 23, 7, 33, 8},
                                         {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 22, 23, 30, 31, 32, 33}},
    };
    // clang-format on
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

class Tarncap : public FreshHome {
protected:
    std::string output;
    // Runs tarncap with the command line (after an optional shell prefix);
    // answers its exit status, with what it printed in `output`.
    int Run(const std::string& commandLine, const std::string& prefix = "") {
        return RunTarncap(home, commandLine, &output, prefix);
    }
    bool Said(const std::string& text) const { return output.find(text) != std::string::npos; }
    // Runs a shell script in the Windows directory with TARNCAP standing for
    // the program on it; answers what it printed.
    std::string Script(const std::string& script) {
        char* where = realpath(BinFolder().c_str(), nullptr);
        std::string command = "TARNCAP='" + std::string(where ? where : ".") + "/tarncap --home " + home + "'; cd '" +
                              home + "'; { " + script + "; } 2>&1";
        free(where);
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return out;
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
        pclose(pipe);
        return out;
    }
    long FileSize(const std::string& name) {
        struct stat info;
        return stat(HomeFile(name.c_str()).c_str(), &info) == 0 ? (long)info.st_size : -1;
    }
};

// Every mistake is named and ends the run with its status; one found on
// the command line (status 2) comes before the driver is loaded, so no
// registry hive appears.
TEST_F(Tarncap, ArgumentsItCannotUseAreRefusedWithAReason) {
    struct Case {
        const char* command;
        const char* reason;
        int status;
    };
    // clang-format off
    const Case cases[] = {
        {"stream --out x.avi", "either --frames N or --seconds S", 2},
        {"stream --frames 3 --seconds 2 --out x.avi", "either --frames N or --seconds S", 2},
        {"stream --frames 3", "wants --out FILE.avi", 2},
        {"stream --frames 2.5 --out x.avi", "--frames wants a whole number", 2},
        {"stream --frames 0 --out x.avi", "--frames wants a number from 1 to 1000000, not 0", 2},
        {"stream --seconds -1 --out x.avi", "--seconds wants a number from 0.1", 2},
        {"stream --frames 3 --rate 60 --out x.avi", "--rate wants a number from 1 to 30, not 60", 2},
        {"stream --frames 3 --buffers 0 --out x.avi", "--buffers wants a number from 1 to 32", 2},
        {"stream --frames 3 --size 352 --out x.avi", "--size wants WIDTHxHEIGHT", 2},
        {"stream --frames 3 --format rgb32 --out x.avi", "unknown format rgb32", 2},
        {"stream --frames 3 --bogus 1 --out x.avi", "stream does not know --bogus", 2},
        {"stream --frames", "--frames needs a value", 2},
        {"stream --frames 3 --out -", "YUV4MPEG2 stream, which takes the YUV formats i420, iyuv, yv12, yuy2 and uyvy, not rgb24", 2},
        {"grab --size 320", "--size wants WIDTHxHEIGHT", 2},
        {"grab --size", "--size needs a value", 2},
        {"grab --format rgb32", "unknown format rgb32", 2},
        {"grab --frames 0", "--frames wants a number from 1 to 100000", 2},
        {"grab --frames two", "--frames wants a number", 2},
        {"grab --out ''", "--out wants a file name", 2},
        {"grab --bogus 1", "grab does not know --bogus", 2},
        {"ctrl --set-ctrl bright=5", "unknown control 'bright'", 2},
        {"ctrl -C brightness,nonsense", "unknown control 'nonsense'", 2},
        {"ctrl --set-ctrl brightness=500", "brightness=500 is out of range (min=1 max=100 step=1)", 2},
        {"ctrl --set-ctrl window_left=12", "window_left=12 is out of range (min=0 max=344 step=8)", 2},
        {"ctrl --set-ctrl quality=lots", "quality wants a number, not 'lots'", 2},
        {"ctrl --set-ctrl quality=", "quality wants a number, not ''", 2},
        {"ctrl --set-ctrl firmware=2", "firmware is read only", 2},
        {"ctrl --get-ctrl frame_grabbing", "frame_grabbing can only be set", 2},
        {"ctrl --set-ctrl brightness", "--set-ctrl wants NAME=VALUE, not 'brightness'", 2},
        {"ctrl --set-ctrl contrast=5,contrast=6", "contrast is set twice", 2},
        {"ctrl --set-ctrl backlight=maybe", "backlight", 2},
        {"ctrl --set-ctrl", "--set-ctrl needs a value", 2},
        {"ctrl --list", "ctrl does not know --list", 2},
        {"dialog", "dialog wants camera, advanced, format or driver", 2},
        {"dialog trace", "no dialog called trace", 2},
        {"dialog camera --lang 9", "--lang wants 0 to 5", 2},
        {"dialog camera --lang", "--lang needs a value", 2},
        {"dialog camera --do 'frobnicate 3'", "frobnicate", 2},
        {"dialog camera --size 3", "dialog does not know --size", 2},
        {"--driver no-such-driver.drv ctrl --set-ctrl backlight=on,banding_filter=off,mains_frequency=0",
         "cannot load the driver no-such-driver.drv", 1},  // the flags' words are taken
        {"stream --frames 3 --size 100x100 --out x.avi", "the driver refused 100x100", 1},
        {"stream --frames 3 --out /no/such/dir/x.avi", "cannot write /no/such/dir/x.avi", 1},
        {"grab --size 100x100", "the driver refused 100x100", 1},
        {"grab --format yvu9", "no YUV layout for yvu9", 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(Run(c.command), c.status) << output;
        EXPECT_TRUE(Said(c.reason)) << output;
        if (c.status == 2) {
            EXPECT_EQ(FileSize("registry.reg"), -1);
        }
    }
}

// With tracing on, the host's message loop also brings the driver's lines
// to the trace window as they come, in order, as the synchronous log has them.
TEST_F(Tarncap, StreamWritesTheFramesItReportsIntoOneAviFileAndTheTraceWindow) {
    ASSERT_TRUE(WriteRegDword("DebugLevel", 0x22));
    ASSERT_EQ(Run("stream --frames 5 --size 160x120 --format i420 --rate 10 --buffers 2 --out " + HomeFile("clip.avi")),
              0)
        << output;
    EXPECT_TRUE(Said("stream: 5 frames delivered, ")) << output;
    EXPECT_TRUE(Said("160x120 i420")) << output;
    std::string avi = ReadFileText(HomeFile("clip.avi")), why;
    EXPECT_EQ(AviFrames(HomeFile("clip.avi"), &why), 5) << why;
    EXPECT_EQ(Dword(avi, 32 + 32), 160u);   // width
    EXPECT_EQ(avi.substr(112, 4), "I420");  // the stream's handler
    size_t frame = 160 * 120 * 3 / 2, at = avi.find("movi") + 4;
    for (int n = 0; n < 5; n++, at += 8 + frame) {
        ASSERT_EQ(avi.substr(at, 4), "00dc") << n;
        EXPECT_EQ(Dword(avi, at + 4), frame) << n;
    }
    std::string window = ReadFileText(HomeFile("mbktrace.log")), log = ReadFileText(HomeFile("mbksynct.log"));
    EXPECT_NE(window.find("DVM_STREAM_START"), std::string::npos) << window;
    EXPECT_NE(window.find("DRV_DISABLE - ok"), std::string::npos) << window;
    at = 0;
    for (size_t begin = 0, end; (end = window.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        at = log.find(window.substr(begin, end - begin), at);
        ASSERT_NE(at, std::string::npos) << window.substr(begin, end - begin);
    }
}

// Ctrl-C, SIGTERM and a closed terminal all end a capture as asked: the
// stream ends, the channel is released and the AVI is finished with its
// index. Three hosts at once, each with a Windows directory (and so a
// camera channel) of its own: one channel of a kind is all a machine has.
TEST_F(Tarncap, ASignalEndsTheCaptureWithAFinishedFile) {
    std::string out = Script(
        "for s in INT TERM HUP; do ($TARNCAP --home $s stream --seconds 60 --size 64x48 --rate 15 --out $s.avi > "
        "$s.txt 2>&1 & p=$!; for i in $(seq 100); do [ $(stat -c %s $s.avi 2>/dev/null || echo 0) -gt 30000 ] && "
        "break; sleep 0.05; done; kill -$s $p; wait $p; echo \"$s exit $?\" >> $s.txt) & done; wait; "
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

// A disk that fills up stops the capture with the reason and the file keeps
// the frames before, indexed; a device that takes nothing is left alone. A
// picture that cannot be written whole leaves nothing behind.
TEST_F(Tarncap, AFailedWriteEndsTheRunAndLeavesNoBrokenFile) {
    ASSERT_EQ(Run("stream --frames 30 --size 352x288 --out full.avi", "cd '" + home + "'; ulimit -f 1500; "), 1);
    EXPECT_TRUE(Said("tarncap: writing failed: full.avi")) << output;
    std::string why;
    int frames = AviFrames(HomeFile("full.avi"), &why);
    EXPECT_GT(frames, 0) << why;
    EXPECT_LT(frames, 30);

    EXPECT_EQ(Run("stream --frames 3 --out /dev/full"), 1);
    EXPECT_TRUE(Said("writing failed: /dev/full")) << output;
    struct stat device;
    EXPECT_TRUE(stat("/dev/full", &device) == 0 && S_ISCHR(device.st_mode));

    EXPECT_EQ(Run("grab --size 352x288 --out '" + HomeFile("big") + "'", "ulimit -f 100; "), 1);
    EXPECT_TRUE(Said("writing " + HomeFile("big.bmp") + " failed")) << output;
    EXPECT_EQ(FileSize("big.bmp"), -1);
    EXPECT_EQ(FileSize("big.bmp.part"), -1);
}

// A capture of some seconds counts what it should have brought; a camera
// that stops sending shows as a stall, and too few frames fail the run.
TEST_F(Tarncap, ACaptureOfSecondsReportsExpectedFramesAndStalls) {
    ASSERT_EQ(Run("stream --seconds 1 --rate 10 --size 64x48 --out " + HomeFile("a.avi")), 0) << output;
    EXPECT_TRUE(Said(" of 10 expected, ")) << output;
    EXPECT_TRUE(Said("peak resident memory")) << output;
    EXPECT_FALSE(Said("stalled")) << output;

    WriteFileText(HomeFile("frozen.sim"), "fault freeze 3\n");
    EXPECT_EQ(Run("stream --seconds 2 --rate 10 --size 64x48 --out " + HomeFile("b.avi"),
                  "TARN2_SIM='" + HomeFile("frozen.sim") + "' "),
              1);
    EXPECT_TRUE(Said(" of 20 expected, ")) << output;
    EXPECT_TRUE(Said("stream: stalled ")) << output;
    EXPECT_TRUE(Said("fewer than asked")) << output;
}

// The live stream: a YUV4MPEG2 header with the size, rate and layout, then
// each frame as its planes.
TEST_F(Tarncap, TheStandardOutputCarriesAYuv4mpegStream) {
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

TEST_F(Tarncap, FormatsListsWhatTheDriverTakes) {
    ASSERT_EQ(Run("formats"), 0) << output;
    for (const char* line :
         {"[0]: rgb24 (RGB, 24 bits per pixel)", "Size: Stepwise 8x4 - 352x288 with step 8/4",
          "Size: Stepwise 16x8 - 704x576 with step 16/8, when wider than 352 or taller than 288",
          "[3]: i420 ('I420', 12 bits per pixel)", "Amended: 107x103 is refused; the nearest size taken is 104x104",
          "yvu9 ('YVU9', 9 bits per pixel): not offered"})
        EXPECT_TRUE(Said(line)) << line << "\n" << output;
    EXPECT_EQ(output.find("Stepwise 16x8", output.find("[1]")), std::string::npos) << "only rgb24 is doubled";
}

TEST_F(Tarncap, GrabWritesBitmapsAndRawPlanesOfTheFormatAskedFor) {
    ASSERT_EQ(Run("grab --size 320x240 --format rgb24 --out '" + HomeFile("still.bmp") + "'"), 0) << output;
    EXPECT_TRUE(Said("grab: 1 of 1 frames")) << output;
    std::string bmp = ReadFileText(HomeFile("still.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 320 * 240 * 3);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Dword(bmp, 18), 320u);  // biWidth
    ASSERT_EQ(Run("grab --size 176x144 --format i420 --frames 2 --out '" + HomeFile("clip") + "'"), 0) << output;
    EXPECT_TRUE(Said("grab: 2 of 2 frames")) << output;
    EXPECT_EQ(FileSize("clip-0001.yuv"), 176 * 144 * 3 / 2);
    EXPECT_EQ(FileSize("clip-0002.yuv"), 176 * 144 * 3 / 2);
    ASSERT_EQ(Run("grab --size 160x120 --format rgb8 --out '" + HomeFile("eight") + "'"), 0) << output;
    EXPECT_EQ(FileSize("eight.bmp"), 54 + 256 * 4 + 160 * 120);
}

// tarncap check: the driver passes its own compliance run, one line per
// check and the summary; a scenario without a camera, or one that cannot
// be read (a folder among them) fails the run and says why.
TEST_F(Tarncap, CheckPassesTheDriverAndFailsWithoutACamera) {
    EXPECT_EQ(Run("check"), 0) << output;
    EXPECT_FALSE(Said("FAIL")) << output;
    size_t last = output.rfind(" passed, 0 failed\n");
    ASSERT_NE(last, std::string::npos) << output;
    size_t start = output.rfind('\n', last);
    EXPECT_GT(atoi(output.c_str() + (start == std::string::npos ? 0 : start + 1)), 150) << output;
    EXPECT_TRUE(Said("ok    DVM_PALETTE SET of 8 bytes claiming 256 entries -> refused"));

    WriteFileText(HomeFile("none.sim"), "port 1 type 0x57\n");
    const std::pair<std::string, std::string> scenarios[] = {
        {HomeFile("none.sim"), "FAIL  DRV_OPEN of VIDEO_IN: refused with 7 (DV_ERR_NOTDETECTED)"},
        {HomeFile("missing.sim"), "scenario " + HomeFile("missing.sim") + ": the file cannot be read"},
        {home, "scenario " + home + ": the file cannot be read"},
    };
    for (const auto& s : scenarios) {
        SCOPED_TRACE(s.first);
        EXPECT_EQ(Run("check", "TARN2_SIM='" + s.first + "' "), 1) << output;
        EXPECT_TRUE(Said(s.second)) << output;
        EXPECT_TRUE(Said(" failed\n")) << output;
    }
}

// Two runs started together both reach the usage check while the other
// brings the camera up; the check and the taking of the channel are one
// step across processes, so no setting is lost (each final close saves
// every setting it has) and a refused run says why.
TEST_F(Tarncap, TwoCtrlRunsAtOnceNeverLoseASetting) {
    const char* runs[][3] = {{"a", "brightness", "Brightness"}, {"b", "contrast", "Contrast"}};
    for (int round = 0; round < 4; round++) {
        SCOPED_TRACE(round);
        std::string script;
        for (auto r : runs)
            script += std::string("$TARNCAP ctrl --set-ctrl ") + r[1] + "=" + std::to_string(20 + round) + " >" + r[0] +
                      ".out 2>&1 & " + r[0] + "=$!; ";
        for (auto r : runs) script += std::string("wait $") + r[0] + "; echo $? >" + r[0] + ".rc; ";
        EXPECT_EQ(Script(script + "true"), "");
        int done = 0;
        for (auto r : runs) {
            int status = atoi(ReadFileText(HomeFile(r[0]) + ".rc").c_str());
            std::string said = ReadFileText(HomeFile(r[0]) + ".out");
            if (status == 0) {
                done++;
                EXPECT_EQ(ReadRegDword(r[2], 0), static_cast<DWORD>(20 + round)) << r[1] << " lost";
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

// tarncap dialog: the dialog printed before and after the script (so its
// caption twice), and what the script changed as the driver stored it (the
// rows share one Windows directory). The language chooses the template and
// is put back afterwards.
TEST_F(Tarncap, DialogScriptsDriveTheDialogsAndOkKeepsWhatTheyDid) {
    struct Case {
        const char* arguments;
        std::vector<std::string> said;
        const char* twice;  // the caption, before and after the script
    };
    // clang-format off
    const Case cases[] = {
        {"driver --do 'click 1'",
         {"dialog \"Driver Settings\"", "static 1110 \"LPT1 - ", "DRV_CONFIGURE -> 1", "stored settings: Brightness=50"}, nullptr},
        {"camera --do 'scroll 1000 75; set 1005 30; click 1'",
         {"dialog \"Camera Settings\"", "edit 1001 \"50\"", "dialog \"Camera Settings\"", "edit 1001 \"75\"",
          "DVM_DIALOG VIDEO_EXTERNALIN -> DV_ERR_OK", "Brightness=75 Contrast=30 Colour=50"}, "dialog \"Camera Settings\""},
        {"advanced --do 'click 1157; click 1'",
         {"dialog \"Advanced Camera Settings\"", "dialog \"Advanced Camera Settings\"", "Backlit=1"}, "dialog \"Advanced Camera Settings\""},
        {"format --do 'set 1063 350; set 1064 250; click 1; click 1'",
         {"Size will be amended to nearest valid size\" -> 1", "ImageCols=352 ImageRows=252"}, nullptr},
        {"format --lang german --do 'click 2'", {"dialog \"Videoformat\""}, nullptr},
        {"format --do 'click 2'", {"dialog \"Video Format\""}, nullptr},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ASSERT_EQ(Run(std::string("dialog ") + c.arguments), 0) << output;
        size_t at = 0;  // in this order
        for (const std::string& text : c.said) {
            at = output.find(text, at);
            ASSERT_NE(at, std::string::npos) << text << "\n" << output;
            at += text.size();
        }
        if (c.twice) {
            EXPECT_EQ(output.find(c.twice, output.find(c.twice, output.find(c.twice) + 1) + 1), std::string::npos);
        }
    }
}

// The main job as a newcomer runs it (tools/run.sh), in a folder of their
// own: a snapshot and a clip they can open, and no link-test chatter
// unless asked for or the camera could not be opened.
TEST_F(Tarncap, TheMainJobCapturesASnapshotAndAClip) {
    char* where = realpath(BinFolder().c_str(), nullptr);
    std::string build = where ? std::string(where) + "/.." : "build";
    free(where);
    std::string out, err;
    auto job = [&](const std::string& arguments, const std::string& environment = "") {
        std::string command = "mkdir -p '" + home + "/work' && cd '" + home + "/work' && TARN2_HOME='" + home +
                              "' TARN2_SKIP_SETUP=1 TARN2_BUILD='" + build + "' " + environment +
                              TARN2_SOURCE_DIR "/tools/run.sh " + arguments + " > ../out.txt 2> ../err.txt";
        int status = system(command.c_str());
        out = ReadFileText(HomeFile("out.txt"));
        err = ReadFileText(HomeFile("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(job(""), 0) << out << err;
    for (const char* text : {"on LPT1 (port mode 0x57), firmware 1.3", "snapshot: capture/snapshot.bmp, 352x288",
                             "clip:     capture/clip.avi, ", "tarncap ctrl --list-ctrls",
                             "tarncap stream --seconds 10 --out clip.avi", "tarncap dialog camera"})
        EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
    std::string bmp = ReadFileText(HomeFile("work/capture/snapshot.bmp")), why;
    ASSERT_EQ(bmp.size(), 54u + 352 * 288 * 3);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Dword(bmp, 18), 352u);
    EXPECT_EQ(Dword(bmp, 22), 288u);
    EXPECT_GE(AviFrames(HomeFile("work/capture/clip.avi"), &why), 38) << why;
    EXPECT_EQ(err.find("FINISHING"), std::string::npos) << err;
    ASSERT_EQ(job("--verbose probe"), 0) << out << err;
    EXPECT_NE(err.find("FINISHING"), std::string::npos) << err;
    WriteFileText(HomeFile("bad.sim"), "fault pattern all 7\n");
    ASSERT_EQ(job("probe", "TARN2_SIM='" + HomeFile("bad.sim") + "' "), 1) << out << err;
    EXPECT_NE(err.find("FINISHING"), std::string::npos) << err;

    ASSERT_EQ(job("--version"), 0) << err;
    EXPECT_NE(out.find("tarncap 1.1.0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("FileVersion 1.0.3.0, OriginalFilename mbktarn2u.drv"), std::string::npos) << out;
    EXPECT_EQ(job("--home ."), 2);
    EXPECT_NE(err.find("usage: tarncap"), std::string::npos) << err;
}

}  // namespace
