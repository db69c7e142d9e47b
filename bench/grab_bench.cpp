// The whole GF_GetFrame path against the simulated camera: command, status
// polls, upload, frame check and decode into the picture, as DVM_FRAME runs
// it. The clock is virtual, so the link's transfer time (which the
// simulator spends as waits on the millisecond clock) costs no real time;
// what is left is the CPU spent per picture: `us_per_picture` in all,
// `camera_us_per_picture` the simulated camera drawing and coding its
// frame (a real camera does that in its own hardware), and
// `driver_us_per_picture` the rest: driver, link requests, check and
// decode. Allocations are counted by the bench's own malloc; the
// simulator's logs of commands and uploads grow by doubling, which shows as
// a few thousandths of an allocation.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include "bench/alloc_count.h"
#include "device/camera_device.h"
#include "device/device.h"
#include "device/grabber.h"
#include "driver/driver.h"
#include "platform/posix/posix_control.h"
#include "sim/sim.h"

namespace {

// A brought-up camera device in a fresh Windows directory, on the virtual
// clock, selected as a DRV_OPEN leaves it.
struct GrabMachine {
    HLOCAL device = nullptr;
    std::string home;
    bool Up() {
        char pattern[] = "/tmp/tarn2-bench-XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir) return false;
        home = dir;
        PosixSetWindowsDirectory(home.c_str());
        PosixClockSetVirtual(1);
        SimReset();
        DWORD port = 0, error = 0;
        device = CreateTARNDevice("mbkzelt.ini", &port, &error);
        return device && SelectTARNDevice(device);
    }
    ~GrabMachine() {
        if (device) DestroyTARNDevice(device, "mbkzelt.ini");
        if (!home.empty()) {
            std::string command = "rm -rf '" + home + "'";
            if (system(command.c_str()) != 0) fprintf(stderr, "bench: could not remove %s\n", home.c_str());
        }
    }
};

double ThreadCpuMicroseconds() {
    struct timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return (double)now.tv_sec * 1e6 + (double)now.tv_nsec / 1e3;
}

void GetFrame(benchmark::State& state, LONG width, LONG height, DWORD compressed) {
    GrabMachine machine;
    if (!machine.Up()) {
        state.SkipWithError("the camera did not come up");
        return;
    }
    BITMAPINFOHEADER format;
    InitBitmapHeader(&format);
    SetBitmapFormat(&format, 24, 0);
    SetBitmapSize(&format, width, height);
    if (!SetImageFormat(&format)) {
        state.SkipWithError("the format was refused");
        return;
    }
    if (!SetCompressionSettings(compressed ? 1 : 0, 0, 50, 50, 50)) {
        state.SkipWithError("the compression was refused");
        return;
    }
    FrameGrabber* grabber = SelectedFrameGrabber();
    std::vector<BYTE> picture(format.biSizeImage);
    DWORD captureTime = 0;
    // The first frames bring the staged format to the camera.
    for (int i = 0; i < 3; i++) GF_GetFrame(grabber, picture.data(), format.biSizeImage, &captureTime);
    int failed = 0;
    AllocationCounting(1);
    double cpuStart = ThreadCpuMicroseconds();
    uint64_t drawingStart = SimFrameDrawingNanos();
    for (auto _ : state) {
        if (!GF_GetFrame(grabber, picture.data(), format.biSizeImage, &captureTime)) failed++;
        benchmark::DoNotOptimize(picture.data());
    }
    // The simulated camera runs on this thread, inside the link requests.
    double cpu = ThreadCpuMicroseconds() - cpuStart;
    double drawing = (double)(SimFrameDrawingNanos() - drawingStart) / 1e3;
    long allocations = AllocationCounting(0);
    double pictures = (double)state.iterations();
    state.SetItemsProcessed(state.iterations());
    state.counters["us_per_picture"] = cpu / pictures;
    state.counters["camera_us_per_picture"] = drawing / pictures;
    state.counters["driver_us_per_picture"] = (cpu - drawing) / pictures;
    state.counters["allocs_per_picture"] = (double)allocations / (double)state.iterations();
    state.counters["failed"] = failed;
    // The encoding byte of the last frame's header: 1 when compressed.
    state.counters["compressed"] = grabber->headerValid ? grabber->frameHeader[2] : -1;
}

BENCHMARK_CAPTURE(GetFrame, rgb24_176x144_raw, 176, 144, 0)
    ->Name("getframe/176x144/raw/rgb24")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GetFrame, rgb24_352x288_raw, 352, 288, 0)
    ->Name("getframe/352x288/raw/rgb24")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GetFrame, rgb24_352x288_comp, 352, 288, 1)
    ->Name("getframe/352x288/compressed/rgb24")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GetFrame, rgb24_704x576_raw, 704, 576, 0)
    ->Name("getframe/704x576/raw/rgb24")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
