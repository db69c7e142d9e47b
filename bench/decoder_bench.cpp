// Decoding throughput of the decoder library per output format, for a raw
// and a compressed frame of the simulated scene at 176 x 144 and 352 x 288,
// and the doubling to 704 x 576, each beside libyuv's conversion of the same
// picture in the same run where libyuv has one.
//
//   check/<size>/<raw|compressed>             the frame check (ordinal 4)
//   decode/<size>/<raw|compressed>/<format>   the decode entry (ordinal 5)
//       of a checked frame, pictures and bytes per second
//   libyuv/<size>/<format>                    libyuv's conversion alone
//   ratio/<size>/<raw|compressed>/<format>    ours and libyuv's, alternating
//       in one loop; the counters ours_us and libyuv_us are the fastest
//       call of each and ratio = ours_us / libyuv_us
#include <benchmark/benchmark.h>
#include <string.h>
#ifdef TARN2_HAVE_LIBYUV
// First: its enum of four-character codes shares names with our macros.
#include <libyuv.h>
#include <libyuv/scale_rgb.h>
#endif

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "decoder/frame_format.h"
#include "device/grabber.h"
#include "sim/camera.h"

namespace {

struct Format {
    const char* name;
    DWORD compression;
    WORD bits;
};

const Format kFormats[] = {
    {"rgb24", 0, 24},          {"rgb16", 0, 16},          {"rgb8", 0, 8},
    {"i420", FOURCC_I420, 12}, {"yv12", FOURCC_YV12, 12}, {"yuy2", FOURCC_YUY2, 16},
    {"uyvy", FOURCC_UYVY, 16}, {"yvu9", FOURCC_YVU9, 9},
};

struct Size {
    int width, height;
};
const Size kSizes[] = {{176, 144}, {352, 288}};

// A frame of the scene as the camera sends it: raw (compression mode 0) or
// compressed with the driver's automatic thresholds of 6.
std::vector<BYTE> SceneFrame(Size s, int compMode) {
    SimCamera camera;
    memset(&camera, 0, sizeof camera);
    SimCameraPowerUp(&camera, 1, 3, 3, 128);
    camera.videoSize = s.width > 176 ? 1 : 0;
    camera.colStart8 = 0;
    camera.colEnd8 = (uint8_t)(s.width / 8);
    camera.rowStart4 = 0;
    camera.rowEnd4 = (uint8_t)(s.height / 4);
    camera.compMode = (uint8_t)compMode;
    camera.yThreshold = camera.uvThreshold = 6;
    SimUpdateExposure(&camera);
    std::vector<BYTE> frame(FRAME_MAX_SIZE);
    frame.resize(MakeCameraFrame(&camera, 0, 1, frame.data(), FRAME_MAX_SIZE));
    return frame;
}

std::string SizeName(Size s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}

bool Started(benchmark::State& state) {
    static int started = StartDecoderLibrary();
    if (!started) state.SkipWithError("mbkdec32 did not load");
    return started != 0;
}

// The frame check (ordinal 4) of a frame that may be read to its end.
DWORD Verify(const std::vector<BYTE>& frame) {
    BYTE recordA[88], recordB[16] = {};
    recordB[0] = (BYTE)frame.size();
    recordB[1] = (BYTE)(frame.size() >> 8);
    recordB[2] = (BYTE)(frame.size() >> 16);
    return DecoderVerify(frame.data(), recordA, recordB);
}

// What one of our decodes needs: the frame, a picture and the decoder. The
// frame is checked once, as the driver checks each frame before decoding
// it; the check on its own is check/... .
struct OurDecode {
    std::vector<BYTE> frame, picture;
    DWORD decoder = 0, word = 0;
    Size size;
    bool doubling = false;
    OurDecode(const Format& f, Size s, int compMode, bool doubled)
        : frame(SceneFrame(s, compMode)),
          picture((doubled ? 4 : 1) * 352 * 288 * 3),
          decoder(DecoderOpen(f.compression, f.bits)),
          size(s),
          doubling(doubled) {
        Verify(frame);
    }
    void Run() {
        DecoderDecode(decoder, frame.data(), picture.data(), (WORD)size.width, (WORD)size.height, &word);
        if (doubling) DecoderDouble(picture.data(), (WORD)size.height, (WORD)size.width);
        benchmark::DoNotOptimize(picture.data());
    }
};

int64_t OutputBytes(const Format& f, Size s, bool doubled) {
    int k = doubled ? 2 : 1;
    return ImageSizeFor(f.compression, f.bits, s.width * k, s.height * k);
}

void Decode(benchmark::State& state, Format f, Size s, int compMode, bool doubled) {
    if (!Started(state)) return;
    OurDecode ours(f, s, compMode, doubled);
    for (auto _ : state) ours.Run();
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * OutputBytes(f, s, doubled));
}

// The frame check alone: header, end marker, the sum of every byte and,
// compressed, the walk of the token stream.
void Check(benchmark::State& state, Size s, int compMode) {
    if (!Started(state)) return;
    std::vector<BYTE> frame = SceneFrame(s, compMode);
    for (auto _ : state)
        if (Verify(frame) != 0) state.SkipWithError("the scene's frame failed its check");
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * (int64_t)frame.size());
    state.counters["frame_bytes"] = (double)frame.size();
}

#ifdef TARN2_HAVE_LIBYUV
// libyuv's conversion of the same picture, given to it as packed 4:2:2
// (YUY2, which is what the camera sends), into the same output format.
struct Reference {
    Size size;
    std::vector<BYTE> yuy2, argb, planes, picture;
    const char* format;
    bool doubling;
    Reference(const char* name, Size s, bool doubled)
        : size(s),
          yuy2(s.width * s.height * 2),
          argb(s.width * s.height * 4),
          planes(s.width * s.height * 2),
          picture(5 * 352 * 288 * 3),
          format(name),
          doubling(doubled) {
        // The picture the camera saw, through our own YUY2 output.
        Format f = {"yuy2", FOURCC_YUY2, 16};
        OurDecode source(f, s, 0, false);
        source.Run();
        memcpy(yuy2.data(), source.picture.data(), yuy2.size());
    }
    static bool Has(const char* name) {
        return strcmp(name, "rgb24") == 0 || strcmp(name, "rgb16") == 0 || strcmp(name, "i420") == 0 ||
               strcmp(name, "yv12") == 0 || strcmp(name, "yuy2") == 0 || strcmp(name, "uyvy") == 0;
    }
    void Run() {
        int w = size.width, h = size.height;
        BYTE* y = planes.data();
        BYTE* u = y + w * h;
        BYTE* v = u + w * h / 4;
        if (strcmp(format, "rgb24") == 0) {
            // libyuv has no single step from packed 4:2:2 to 24 bits.
            libyuv::YUY2ToARGB(yuy2.data(), w * 2, argb.data(), w * 4, w, -h);
            libyuv::ARGBToRGB24(argb.data(), w * 4, picture.data(), w * 3, w, h);
            // Then 2x point scaling into the rest of the buffer.
            if (doubling)
                libyuv::RGBScale(picture.data(), w * 3, w, h, picture.data() + w * h * 3, 2 * w * 3, 2 * w, 2 * h,
                                 libyuv::kFilterNone);
        } else if (strcmp(format, "rgb16") == 0) {
            libyuv::YUY2ToARGB(yuy2.data(), w * 2, argb.data(), w * 4, w, -h);
            libyuv::ARGBToARGB1555(argb.data(), w * 4, picture.data(), w * 2, w, h);
        } else if (strcmp(format, "i420") == 0) {
            libyuv::YUY2ToI420(yuy2.data(), w * 2, y, w, u, w / 2, v, w / 2, w, h);
        } else if (strcmp(format, "yv12") == 0) {
            libyuv::YUY2ToI420(yuy2.data(), w * 2, y, w, v, w / 2, u, w / 2, w, h);
        } else if (strcmp(format, "yuy2") == 0) {
            libyuv::CopyPlane(yuy2.data(), w * 2, picture.data(), w * 2, w * 2, h);
        } else if (strcmp(format, "uyvy") == 0) {
            // libyuv has no direct swap: through planar 4:2:2.
            libyuv::YUY2ToI422(yuy2.data(), w * 2, y, w, u, w / 2, v, w / 2, w, h);
            libyuv::I422ToUYVY(y, w, u, w / 2, v, w / 2, picture.data(), w * 2, w, h);
        }
        benchmark::DoNotOptimize(picture.data());
        benchmark::DoNotOptimize(planes.data());
    }
};

void Libyuv(benchmark::State& state, Format f, Size s, bool doubled) {
    Reference reference(f.name, s, doubled);
    for (auto _ : state) reference.Run();
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * OutputBytes(f, s, doubled));
}

// Ours and libyuv's alternately, each call timed; the fastest of each is
// the figure least disturbed by whatever else the machine is doing.
void CompareFastest(benchmark::State& state, const std::function<void()>& ours,
                    const std::function<void()>& reference) {
    using Clock = std::chrono::steady_clock;
    double bestOurs = 1e30, bestReference = 1e30;
    for (auto _ : state) {
        Clock::time_point t0 = Clock::now();
        ours();
        Clock::time_point t1 = Clock::now();
        reference();
        Clock::time_point t2 = Clock::now();
        double a = std::chrono::duration<double, std::micro>(t1 - t0).count();
        double b = std::chrono::duration<double, std::micro>(t2 - t1).count();
        if (a < bestOurs) bestOurs = a;
        if (b < bestReference) bestReference = b;
    }
    state.counters["ours_us"] = bestOurs;
    state.counters["libyuv_us"] = bestReference;
    state.counters["ratio"] = bestReference > 0 ? bestOurs / bestReference : 0;
}

void Ratio(benchmark::State& state, Format f, Size s, int compMode, bool doubled) {
    if (!Started(state)) return;
    // The reference first: making its picture decodes another frame, and
    // ours must be the frame checked last, as in the driver.
    Reference reference(f.name, s, doubled);
    OurDecode ours(f, s, compMode, doubled);
    CompareFastest(
        state, [&] { ours.Run(); }, [&] { reference.Run(); });
}

// The doubling alone: ours in place, libyuv's 2x point scaling of the same
// 24-bit picture into another buffer.
void DoubleRatio(benchmark::State& state) {
    if (!Started(state)) return;
    std::vector<BYTE> ours(704 * 576 * 3, 100), from(352 * 288 * 3, 100), to(704 * 576 * 3);
    CompareFastest(
        state,
        [&] {
            DecoderDouble(ours.data(), 288, 352);
            benchmark::DoNotOptimize(ours.data());
        },
        [&] {
            libyuv::RGBScale(from.data(), 352 * 3, 352, 288, to.data(), 704 * 3, 704, 576, libyuv::kFilterNone);
            benchmark::DoNotOptimize(to.data());
        });
}
#endif

int Register() {
    const char* encodings[] = {"raw", "compressed"};
    for (Size s : kSizes)
        for (int e = 0; e < 2; e++)
            benchmark::RegisterBenchmark(("check/" + SizeName(s) + "/" + encodings[e]).c_str(), Check, s, e ? 2 : 0);
    for (Size s : kSizes)
        for (const Format& f : kFormats)
            for (int e = 0; e < 2; e++) {
                int compMode = e ? 2 : 0;
                std::string tail = SizeName(s) + "/" + encodings[e] + "/" + f.name;
                benchmark::RegisterBenchmark(("decode/" + tail).c_str(), Decode, f, s, compMode, false);
#ifdef TARN2_HAVE_LIBYUV
                if (Reference::Has(f.name))
                    benchmark::RegisterBenchmark(("ratio/" + tail).c_str(), Ratio, f, s, compMode, false);
#endif
            }
    const Format rgb24 = kFormats[0];
    const Size cif = kSizes[1];
    for (int e = 0; e < 2; e++) {
        std::string tail = std::string("704x576/") + encodings[e] + "/rgb24-doubled";
        benchmark::RegisterBenchmark(("decode/" + tail).c_str(), Decode, rgb24, cif, e ? 2 : 0, true);
#ifdef TARN2_HAVE_LIBYUV
        benchmark::RegisterBenchmark(("ratio/" + tail).c_str(), Ratio, rgb24, cif, e ? 2 : 0, true);
#endif
    }
#ifdef TARN2_HAVE_LIBYUV
    // The doubling on its own against libyuv's 2x point scaling.
    benchmark::RegisterBenchmark("ratio/704x576/double", DoubleRatio);
    for (Size s : kSizes)
        for (const Format& f : kFormats)
            if (Reference::Has(f.name))
                benchmark::RegisterBenchmark(("libyuv/" + SizeName(s) + "/" + f.name).c_str(), Libyuv, f, s, false);
    benchmark::RegisterBenchmark("libyuv/704x576/rgb24-doubled", Libyuv, rgb24, cif, true);
#endif
    return 0;
}
const int registered = Register();

}  // namespace
