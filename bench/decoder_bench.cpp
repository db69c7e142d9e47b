// Decoding throughput of the decoder library per output format, for a raw
// and a compressed CIF frame of the simulated scene, beside reference
// conversions of the same picture in the same run: a plain copy of the
// output's bytes, and (when installed) libyuv's 4:2:2 conversions.
#include <benchmark/benchmark.h>
#include <string.h>
#ifdef TARN2_HAVE_LIBYUV
// First: its enum of four-character codes shares names with our macros.
#include <libyuv.h>
#endif

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

std::vector<BYTE> CifFrame(int compMode) {
    SimCamera camera;
    memset(&camera, 0, sizeof camera);
    SimCameraPowerUp(&camera, 1, 3, 3, 128);
    camera.compMode = (uint8_t)compMode;
    camera.yThreshold = camera.uvThreshold = 6;
    std::vector<BYTE> frame(FRAME_MAX_SIZE);
    frame.resize(MakeCameraFrame(&camera, 0, 1, frame.data(), FRAME_MAX_SIZE));
    return frame;
}

void Decode(benchmark::State& state, const Format& f, int compMode) {
    static int started = StartDecoderLibrary();
    if (!started) {
        state.SkipWithError("mbkdec32 did not load");
        return;
    }
    std::vector<BYTE> frame = CifFrame(compMode);
    std::vector<BYTE> picture(352 * 288 * 3);
    DWORD decoder = DecoderOpen(f.compression, f.bits), word = 0;
    for (auto _ : state) {
        DecoderDecode(decoder, frame.data(), picture.data(), 352, 288, &word);
        benchmark::DoNotOptimize(picture.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * (int64_t)ImageSizeFor(f.compression, f.bits, 352, 288));
}

void Copy(benchmark::State& state) {
    std::vector<BYTE> from(352 * 288 * 3, 1), to(352 * 288 * 3);
    for (auto _ : state) {
        memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * (int64_t)to.size());
}
BENCHMARK(Copy)->Name("reference/copy-rgb24");

#ifdef TARN2_HAVE_LIBYUV
void LibyuvRgb24(benchmark::State& state) {
    std::vector<BYTE> yuyv(352 * 288 * 2, 128), argb(352 * 288 * 4), rgb(352 * 288 * 3);
    for (auto _ : state) {
        libyuv::YUY2ToARGB(yuyv.data(), 704, argb.data(), 352 * 4, 352, 288);
        libyuv::ARGBToRGB24(argb.data(), 352 * 4, rgb.data(), 352 * 3, 352, 288);
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LibyuvRgb24)->Name("reference/libyuv-yuy2-to-rgb24");

void LibyuvI420(benchmark::State& state) {
    std::vector<BYTE> yuyv(352 * 288 * 2, 128), out(352 * 288 * 3 / 2);
    BYTE* y = out.data();
    BYTE* u = y + 352 * 288;
    BYTE* v = u + 176 * 144;
    for (auto _ : state) {
        libyuv::YUY2ToI420(yuyv.data(), 704, y, 352, u, 176, v, 176, 352, 288);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LibyuvI420)->Name("reference/libyuv-yuy2-to-i420");
#endif

int Register() {
    for (const Format& f : kFormats) {
        benchmark::RegisterBenchmark((std::string("decode/raw/") + f.name).c_str(),
                                     [f](benchmark::State& s) { Decode(s, f, 0); });
        benchmark::RegisterBenchmark((std::string("decode/compressed/") + f.name).c_str(),
                                     [f](benchmark::State& s) { Decode(s, f, 2); });
    }
    return 0;
}
const int registered = Register();

}  // namespace

BENCHMARK_MAIN();
