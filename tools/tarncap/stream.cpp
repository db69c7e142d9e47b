// tarncap stream: a stream of frames through the driver's stream engine into
// an AVI file (or a YUV4MPEG2 stream on the standard output), as a capture
// host runs one: both capture channels open, the format set, the stream
// initialised with the frame period and a callback, several buffers queued,
// each returned buffer written and queued again while the host's message
// loop runs, then stop, reset, fini and close.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "avi.h"
#include "commands.h"
#include "host.h"
#include "media.h"
#include "stream.h"
#include "y4m.h"

// The format as asked for, before the driver has seen it: enough to tell
// what kind of picture it is.
static BITMAPINFOHEADER RequestedFormat(const StreamRequest& request) {
    BITMAPINFOHEADER format;
    memset(&format, 0, sizeof format);
    const PixelFormat* f = FindPixelFormat(request.format.c_str());
    format.biWidth = request.width;
    format.biHeight = request.height;
    format.biBitCount = f ? f->bitCount : 0;
    format.biCompression = f ? f->compression : 0;
    return format;
}

// What the driver's callbacks report; they arrive on the driver's timer
// thread, the writing happens on ours.
struct Delivery {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<VIDEOHDR*> done;
    DWORD skipped = 0;
    int opened = 0;
    int closed = 0;
};

static void CALLBACK StreamCallback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR) {
    Delivery* delivery = reinterpret_cast<Delivery*>(user);
    std::lock_guard<std::mutex> hold(delivery->lock);
    switch (msg) {
        case MM_DRVM_DATA:
            delivery->done.push_back(reinterpret_cast<VIDEOHDR*>(param1));
            break;
        case MM_DRVM_ERROR:
            delivery->skipped++;
            break;
        case MM_DRVM_OPEN:
            delivery->opened++;
            break;
        case MM_DRVM_CLOSE:
            delivery->closed++;
            break;
    }
    delivery->arrived.notify_one();
}

// SIGINT, SIGTERM and SIGHUP all end a capture the same way: the stream
// stops, the buffers come back, the file is finished. Only the signal's
// number is kept here; the capture loop looks at it.
static volatile sig_atomic_t stopSignal = 0;

static void OnStopSignal(int number) {
    stopSignal = number;
}

void CatchStopSignals() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

static bool ParseNumber(const std::string& option, const std::string& text, double low, double high, double* value) {
    char* end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (text.empty() || !end || *end || !(v >= low && v <= high)) {
        fprintf(stderr, "tarncap: %s wants a number from %.10g to %.10g, not %s\n", option.c_str(), low, high,
                text.c_str());
        return false;
    }
    *value = v;
    return true;
}

static bool ParseStream(const std::vector<std::string>& args, StreamRequest* request) {
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        bool known = arg == "--frames" || arg == "--seconds" || arg == "--size" || arg == "--format" ||
                     arg == "--rate" || arg == "--buffers" || arg == "--report" || arg == "--out";
        if (!known) {
            fprintf(stderr, "tarncap: stream does not know %s (see tarncap --help)\n", arg.c_str());
            return false;
        }
        if (i + 1 >= args.size()) {
            fprintf(stderr, "tarncap: %s needs a value\n", arg.c_str());
            return false;
        }
        const std::string& value = args[++i];
        double number = 0;
        if (arg == "--frames") {
            if (!ParseNumber(arg, value, 1, 1000000, &number) || number != (long)number) {
                if (number != (long)number) fprintf(stderr, "tarncap: --frames wants a whole number\n");
                return false;
            }
            request->frames = (long)number;
        } else if (arg == "--seconds") {
            if (!ParseNumber(arg, value, 0.1, 86400, &request->seconds)) return false;
        } else if (arg == "--report") {
            if (!ParseNumber(arg, value, 1, 86400, &request->report)) return false;
        } else if (arg == "--rate") {
            if (!ParseNumber(arg, value, 1, 30, &request->rate)) return false;
        } else if (arg == "--buffers") {
            if (!ParseNumber(arg, value, 1, 32, &number) || number != (int)number) {
                if (number != (int)number) fprintf(stderr, "tarncap: --buffers wants a whole number\n");
                return false;
            }
            request->buffers = (int)number;
        } else if (arg == "--size") {
            if (!ParseSize(value.c_str(), &request->width, &request->height)) {
                fprintf(stderr, "tarncap: --size wants WIDTHxHEIGHT, e.g. 352x288, not %s\n", value.c_str());
                return false;
            }
        } else if (arg == "--format") {
            if (!FindPixelFormat(value.c_str())) {
                fprintf(stderr, "tarncap: unknown format %s (one of %s)\n", value.c_str(), PixelFormatNames());
                return false;
            }
            request->format = value;
        } else {
            request->out = value;
        }
    }
    if ((request->frames > 0) == (request->seconds > 0)) {
        fprintf(stderr, "tarncap: stream wants either --frames N or --seconds S\n");
        return false;
    }
    if (request->out.empty()) {
        fprintf(stderr, "tarncap: stream wants --out FILE.avi (or --out - for a YUV4MPEG2 stream)\n");
        return false;
    }
    if (request->out == "-" && !Y4mTakes(RequestedFormat(*request))) {
        fprintf(stderr,
                "tarncap: --out - writes a YUV4MPEG2 stream, which takes the YUV formats i420, iyuv, yv12, yuy2 "
                "and uyvy, not %s\n",
                request->format.c_str());
        return false;
    }
    return true;
}

// Where the frames go: an AVI file, or a YUV4MPEG2 stream.
struct Sink {
    bool live = false;
    AviWriter avi;
    Y4mWriter y4m;
};

static bool OpenSink(Sink& sink, Session& session, const StreamRequest& request, const BITMAPINFOHEADER& format,
                     int videoFd, std::string* problem) {
    sink.live = request.out == "-";
    if (sink.live) return Y4mStart(&sink.y4m, videoFd, format, request.rate, problem);
    std::vector<BYTE> palette;
    if (format.biCompression == 0 && format.biBitCount == 8) GetCapturePalette(session, &palette);
    return AviCreate(&sink.avi, request.out, format, ColoursFromPalette(palette), problem);
}

static bool WriteToSink(Sink& sink, const BYTE* data, DWORD bytes, std::string* problem) {
    return sink.live ? Y4mWriteFrame(&sink.y4m, data, bytes, problem) : AviWriteFrame(&sink.avi, data, bytes, problem);
}

// A stream ends with the last frame; a file gets its index and counts.
static bool FinishSink(Sink& sink, DWORD microSecPerFrame, std::string* problem) {
    return sink.live || AviFinish(&sink.avi, microSecPerFrame, problem);
}

static void AbandonSink(Sink& sink) {
    if (!sink.live) AviAbandon(&sink.avi);
}

// A wait of more than this between two frames (or before the first, or
// after the last) is reported as a stall.
static const double kStallSeconds = 1.0;
// A stream of frames this long without one means the driver has stopped
// delivering; a capture of a number of frames gives up then.
static const double kGiveUpSeconds = 5.0;
// The stalls listed one by one in the summary; more are only counted.
static const size_t kStallsListed = 10;

static double SecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Notes a wait since the last frame that was long enough to be a stall.
static void NoteWait(Capture& capture, Clock::time_point now) {
    double waited = SecondsBetween(capture.lastArrival, now);
    if (waited <= kStallSeconds) return;
    capture.stalls++;
    if (capture.listed.size() < kStallsListed)
        capture.listed.push_back(Stall{SecondsBetween(capture.start, capture.lastArrival), waited});
}

double AchievedRate(const Capture& capture) {
    if (capture.written < 2 || capture.lastTime == capture.firstTime) return 0;
    return (capture.written - 1) * 1000.0 / (capture.lastTime - capture.firstTime);
}

// Frames a capture of some seconds should bring at the rate asked.
static long ExpectedFrames(const StreamRequest& request) {
    return (long)(request.seconds * request.rate + 0.5);
}

static void ShowProgress(const StreamRequest& request, const Capture& capture, DWORD skipped, double elapsed) {
    if (request.frames)
        printf("\rstream: %ld/%ld frames, %lu skipped, %.2f fps   ", capture.written, request.frames,
               (unsigned long)skipped, AchievedRate(capture));
    else
        printf("\rstream: %.1f/%.1f s, %ld frames, %lu skipped, %.2f fps   ", elapsed, request.seconds, capture.written,
               (unsigned long)skipped, AchievedRate(capture));
    fflush(stdout);
}

// The CPU time (user and system) the whole process has used, in seconds:
// the driver's timer thread, the simulated camera and the host together.
static double ProcessCpuSeconds() {
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return (double)usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + (double)usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// A memory figure of the process from the kernel ("VmRSS" now, "VmHWM" the
// peak), in megabytes; 0 where the kernel does not say.
static double MemoryMegabytes(const char* key) {
    FILE* status = fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long kilobytes = 0;
    size_t length = strlen(key);
    while (fgets(line, sizeof line, status))
        if (!strncmp(line, key, length) && line[length] == ':') kilobytes = atol(line + length + 1);
    fclose(status);
    return kilobytes / 1024.0;
}

// A line every --report seconds, for a long capture that is watched
// through a log: the rate and the CPU since the last line, the memory now.
static void Report(Capture& capture, Clock::time_point now, DWORD skipped) {
    double interval = SecondsBetween(capture.lastReport, now), cpu = ProcessCpuSeconds();
    long frames = capture.written - capture.reportedFrames;
    printf(
        "stream: %.1f s, %ld frames, %lu skipped, %.2f fps and CPU %.2f ms per frame over the last %.1f s, "
        "resident %.1f MB\n",
        SecondsBetween(capture.start, now), capture.written, (unsigned long)skipped, frames / interval,
        frames > 0 ? (cpu - capture.reportedCpu) * 1000.0 / frames : 0.0, interval, MemoryMegabytes("VmRSS"));
    fflush(stdout);
    capture.residentSeen = std::max(capture.residentSeen, MemoryMegabytes("VmRSS"));
    capture.lastReport = now;
    capture.reportedFrames = capture.written;
    capture.reportedCpu = cpu;
}

// Writes one returned buffer; false when the sink cannot take it.
static bool WriteBuffer(Sink& sink, Capture& capture, const VIDEOHDR& header) {
    DWORD bytes = header.dwBytesUsed < header.dwBufferLength ? header.dwBytesUsed : header.dwBufferLength;
    if (!WriteToSink(sink, header.lpData, bytes, &capture.problem)) return false;
    if (capture.written == 0) capture.firstTime = header.dwTimeCaptured;
    capture.lastTime = header.dwTimeCaptured;
    capture.written++;
    return true;
}

// Hands buffers back as they come until the request is met, a signal
// comes or a write fails; the stream is running. The thread's message loop
// runs between the waits.
static void RunCapture(Session& session, const StreamRequest& request, Delivery& delivery, Sink& sink,
                       Capture& capture) {
    bool tty = isatty(fileno(stdout));
    capture.start = capture.lastArrival = capture.lastReport = Clock::now();
    capture.reportedCpu = ProcessCpuSeconds();
    for (;;) {
        std::deque<VIDEOHDR*> done;
        DWORD skipped = 0;
        {
            std::unique_lock<std::mutex> hold(delivery.lock);
            delivery.arrived.wait_for(hold, std::chrono::milliseconds(10), [&] { return !delivery.done.empty(); });
            done.swap(delivery.done);
            skipped = delivery.skipped;
        }
        PumpMessages();
        for (VIDEOHDR* header : done) {
            Clock::time_point now = Clock::now();
            bool wanted = request.frames ? capture.written < request.frames
                                         : SecondsBetween(capture.start, now) < request.seconds;
            if (!wanted || capture.failed || stopSignal) continue;
            if (header->dwFlags & VHDR_DONE && header->dwBytesUsed > 0) {
                if (!WriteBuffer(sink, capture, *header)) {
                    capture.failed = true;
                    continue;
                }
                NoteWait(capture, now);
                capture.lastArrival = now;
            }
            LRESULT added = Send(session.host, session.videoIn, DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(header),
                                 sizeof *header);
            if (added != DV_ERR_OK) {
                capture.problem = std::string("the driver refused a buffer: ") + DvErrorName((DWORD)added);
                capture.failed = true;
            }
        }
        Clock::time_point now = Clock::now();
        double elapsed = SecondsBetween(capture.start, now);
        if (request.report > 0 && SecondsBetween(capture.lastReport, now) >= request.report)
            Report(capture, now, skipped);
        else if (tty)
            ShowProgress(request, capture, skipped, elapsed);
        if (capture.failed || stopSignal) break;
        if (request.frames ? capture.written >= request.frames : elapsed >= request.seconds) break;
        if (request.frames && SecondsBetween(capture.lastArrival, now) > kGiveUpSeconds) {
            capture.problem = "no frame came from the driver for 5 seconds";
            capture.failed = true;
            break;
        }
    }
    NoteWait(capture, Clock::now());
    if (tty) printf("\n");
}

static LRESULT StreamSend(Session& session, UINT msg, LPARAM lParam1 = 0, LPARAM lParam2 = 0) {
    return Send(session.host, session.videoIn, msg, lParam1, lParam2);
}

// Prepares (or unprepares) a header: the driver leaves it to the host.
static void Prepare(Session& session, VIDEOHDR* header, bool prepare) {
    LRESULT result = StreamSend(session, prepare ? DVM_STREAM_PREPAREHEADER : DVM_STREAM_UNPREPAREHEADER,
                                reinterpret_cast<LPARAM>(header), sizeof *header);
    if (result != DV_ERR_NOTSUPPORTED) return;
    if (prepare)
        header->dwFlags |= VHDR_PREPARED;
    else
        header->dwFlags &= ~VHDR_PREPARED;
}

static void Summarise(const StreamRequest& request, const BITMAPINFOHEADER& format, const Capture& capture) {
    std::string expected;
    if (request.seconds > 0) expected = " of " + std::to_string(ExpectedFrames(request)) + " expected";
    printf("stream: %ld frames delivered%s, %lu skipped, %.2f fps achieved (%.2f asked), %ldx%ld %s -> %s\n",
           capture.written, expected.c_str(), (unsigned long)capture.skipped, AchievedRate(capture), request.rate,
           (long)format.biWidth, (long)format.biHeight, PixelFormatName(format),
           request.out == "-" ? "standard output (YUV4MPEG2)" : request.out.c_str());
    for (const Stall& stall : capture.listed)
        printf("stream: stalled %.1f s, from %.1f s into the capture\n", stall.length, stall.at);
    if (capture.stalls > (long)capture.listed.size())
        printf("stream: and %ld stalls more\n", capture.stalls - (long)capture.listed.size());
    if (capture.written > 0)
        printf("stream: CPU %.2f ms per frame delivered (%.2f s in all, user and system)\n",
               capture.cpuSeconds * 1000.0 / (double)capture.written, capture.cpuSeconds);
    // The kernel's peak lags its per-thread counts a little; no reading
    // seen may exceed it.
    double peak = std::max({MemoryMegabytes("VmHWM"), MemoryMegabytes("VmRSS"), capture.residentSeen});
    printf("stream: peak resident memory %.1f MB\n", peak);
}

// Whether the capture brought what was asked: every frame of a count, or
// at least half of what some seconds should bring.
static bool Met(const StreamRequest& request, const Capture& capture) {
    if (request.frames) return capture.written == request.frames;
    return capture.written > 0 && capture.written * 2 >= ExpectedFrames(request);
}

int StreamInto(Session& session, const StreamRequest& request, const BITMAPINFOHEADER& format, int videoFd,
               Capture& capture) {
    Sink sink;
    std::string problem;
    if (!OpenSink(sink, session, request, format, videoFd, &problem)) {
        fprintf(stderr, "tarncap: %s\n", problem.c_str());
        return 1;
    }
    Delivery delivery;
    DWORD period = (DWORD)(1000000.0 / request.rate + 0.5);
    VIDEO_STREAM_INIT_PARMS parms = {period, reinterpret_cast<DWORD_PTR>(StreamCallback),
                                     reinterpret_cast<DWORD_PTR>(&delivery), DCB_FUNCTION << 16, session.videoIn};
    LRESULT result = StreamSend(session, DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&parms), sizeof parms);
    if (result != DV_ERR_OK) {
        fprintf(stderr, "tarncap: DVM_STREAM_INIT -> %s (%ld)\n", DvErrorName((DWORD)result), (long)result);
        // A stream whose camera side failed is still initialised.
        StreamSend(session, DVM_STREAM_FINI);
        AbandonSink(sink);
        return 1;
    }
    DWORD frameBytes = format.biSizeImage ? format.biSizeImage : 1;
    std::vector<std::vector<BYTE>> memory(request.buffers, std::vector<BYTE>(frameBytes));
    std::vector<VIDEOHDR> headers(request.buffers);
    for (int i = 0; i < request.buffers && !capture.failed; i++) {
        VIDEOHDR& header = headers[i];
        memset(&header, 0, sizeof header);
        header.lpData = memory[i].data();
        header.dwBufferLength = frameBytes;
        Prepare(session, &header, true);
        result = StreamSend(session, DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&header), sizeof header);
        if (result != DV_ERR_OK) {
            capture.problem = std::string("DVM_STREAM_ADDBUFFER -> ") + DvErrorName((DWORD)result);
            capture.failed = true;
        }
    }
    if (!capture.failed) {
        result = StreamSend(session, DVM_STREAM_START);
        if (result != DV_ERR_OK) {
            capture.problem = std::string("DVM_STREAM_START -> ") + DvErrorName((DWORD)result);
            capture.failed = true;
        }
    }
    double cpuStart = ProcessCpuSeconds();
    if (!capture.failed && !stopSignal) RunCapture(session, request, delivery, sink, capture);
    StreamSend(session, DVM_STREAM_STOP);
    capture.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    // The buffers still queued come back through the callback, unfilled.
    StreamSend(session, DVM_STREAM_RESET);
    DWORD error = 0, skipped = 0;
    StreamSend(session, DVM_STREAM_GETERROR, reinterpret_cast<LPARAM>(&error), reinterpret_cast<LPARAM>(&skipped));
    result = StreamSend(session, DVM_STREAM_FINI);
    if (result != DV_ERR_OK)
        fprintf(stderr, "tarncap: DVM_STREAM_FINI -> %s (%ld)\n", DvErrorName((DWORD)result), (long)result);
    for (VIDEOHDR& header : headers) Prepare(session, &header, false);

    double rate = AchievedRate(capture);
    DWORD microSecPerFrame = rate > 0 ? (DWORD)(1000000.0 / rate + 0.5) : period;
    bool finished = FinishSink(sink, microSecPerFrame, &problem);
    if (!finished) fprintf(stderr, "tarncap: %s\n", problem.c_str());
    // Each skipped frame came as a callback; the driver also keeps the count.
    {
        std::lock_guard<std::mutex> hold(delivery.lock);
        capture.skipped = delivery.skipped > skipped ? delivery.skipped : skipped;
    }
    if (capture.failed) fprintf(stderr, "tarncap: %s\n", capture.problem.c_str());
    if (stopSignal) fprintf(stderr, "tarncap: %s, capture ended\n", strsignal(stopSignal));
    return finished && Met(request, capture) && !capture.failed && !stopSignal ? 0 : 1;
}

int RunStream(const Options& options) {
    StreamRequest request;
    if (!ParseStream(options.arguments, &request)) return 2;
    CatchStopSignals();
    // The pictures of a live stream get the standard output to themselves:
    // whatever else would go there (our reports, the driver's own output)
    // goes to the standard error.
    int videoFd = -1;
    if (request.out == "-") {
        fflush(stdout);
        videoFd = dup(1);
        if (videoFd < 0 || dup2(2, 1) < 0) {
            fprintf(stderr, "tarncap: the standard output cannot be used for the stream\n");
            return 1;
        }
        setvbuf(stdout, nullptr, _IOLBF, 0);
    }
    Session session;
    if (!OpenSession(options, &session)) return 1;
    // A capture host holds the external input too, as the source of the
    // picture it captures.
    DWORD error = 0;
    DWORD_PTR externalIn = OpenChannel(session.host, VIDEO_EXTERNALIN, options.openString.c_str(), &error);
    if (!externalIn)
        fprintf(stderr, "tarncap: VIDEO_EXTERNALIN could not be opened: %s (%lu); streaming without it\n",
                DvErrorName(error), (unsigned long)error);
    int status = 1;
    BITMAPINFOHEADER format;
    if (SetCaptureFormat(session, request.format.c_str(), request.width, request.height, &format)) {
        Capture capture;
        status = StreamInto(session, request, format, videoFd, capture);
        Summarise(request, format, capture);
        if (!capture.failed && !stopSignal && !Met(request, capture))
            fprintf(stderr, "tarncap: %ld frames came, fewer than asked\n", capture.written);
    }
    if (externalIn) Send(session.host, externalIn, DRV_CLOSE, 0, 0);
    CloseSession(&session);
    if (videoFd >= 0) close(videoFd);
    return status;
}
