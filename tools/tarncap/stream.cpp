// tarncap stream: a stream of frames through the driver's stream engine into
// an AVI file, as a capture host runs one: both capture channels open, the
// format set, the stream initialised with the frame period and a callback,
// several buffers queued, each returned buffer written and queued again,
// then stop, reset, fini and close.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

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

struct StreamRequest {
    LONG width = 176;
    LONG height = 144;
    std::string format = "rgb24";
    long frames = 0;
    double seconds = 0;
    double rate = 15;
    int buffers = 4;
    std::string out;
};

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

static volatile sig_atomic_t interrupted = 0;

static void OnInterrupt(int) {
    interrupted = 1;
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
                     arg == "--rate" || arg == "--buffers" || arg == "--out";
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
        fprintf(stderr, "tarncap: stream wants --out FILE.avi\n");
        return false;
    }
    return true;
}

// The stream as it runs: frames written, capture times, progress.
struct Capture {
    long written = 0;
    DWORD firstTime = 0;
    DWORD lastTime = 0;
    bool failed = false;
    std::string problem;
};

static double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

static double AchievedRate(const Capture& capture) {
    if (capture.written < 2 || capture.lastTime == capture.firstTime) return 0;
    return (capture.written - 1) * 1000.0 / (capture.lastTime - capture.firstTime);
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

// Writes one returned buffer; false when the file cannot take it.
static bool WriteBuffer(AviWriter& avi, Capture& capture, const VIDEOHDR& header) {
    DWORD bytes = header.dwBytesUsed < header.dwBufferLength ? header.dwBytesUsed : header.dwBufferLength;
    if (!AviWriteFrame(&avi, header.lpData, bytes, &capture.problem)) return false;
    if (capture.written == 0) capture.firstTime = header.dwTimeCaptured;
    capture.lastTime = header.dwTimeCaptured;
    capture.written++;
    return true;
}

// A stream of frames this long without one means the driver has stopped
// delivering.
static const double kStallSeconds = 5.0;

// Hands buffers back as they come until the request is met; the stream is
// running.
static void RunCapture(Session& session, const StreamRequest& request, Delivery& delivery, AviWriter& avi,
                       Capture& capture) {
    bool tty = isatty(fileno(stdout));
    auto start = std::chrono::steady_clock::now();
    auto lastFrame = start;
    for (;;) {
        std::deque<VIDEOHDR*> done;
        DWORD skipped = 0;
        {
            std::unique_lock<std::mutex> hold(delivery.lock);
            delivery.arrived.wait_for(hold, std::chrono::milliseconds(100), [&] { return !delivery.done.empty(); });
            done.swap(delivery.done);
            skipped = delivery.skipped;
        }
        for (VIDEOHDR* header : done) {
            bool wanted = request.frames ? capture.written < request.frames : Seconds(start) < request.seconds;
            if (!wanted || capture.failed) continue;
            if (header->dwFlags & VHDR_DONE && header->dwBytesUsed > 0) {
                if (!WriteBuffer(avi, capture, *header)) {
                    capture.failed = true;
                    continue;
                }
                lastFrame = std::chrono::steady_clock::now();
            }
            LRESULT added = Send(session.host, session.videoIn, DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(header),
                                 sizeof *header);
            if (added != DV_ERR_OK) {
                capture.problem = std::string("the driver refused a buffer: ") + DvErrorName((DWORD)added);
                capture.failed = true;
            }
        }
        double elapsed = Seconds(start);
        if (tty) ShowProgress(request, capture, skipped, elapsed);
        if (capture.failed || interrupted) break;
        if (request.frames ? capture.written >= request.frames : elapsed >= request.seconds) break;
        if (Seconds(lastFrame) > kStallSeconds) {
            capture.problem = "no frame came from the driver for 5 seconds";
            capture.failed = true;
            break;
        }
    }
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

static int StreamInto(Session& session, const StreamRequest& request, const BITMAPINFOHEADER& format) {
    std::vector<BYTE> palette;
    if (format.biCompression == 0 && format.biBitCount == 8) GetCapturePalette(session, &palette);
    AviWriter avi;
    std::string problem;
    if (!AviCreate(&avi, request.out, format, ColoursFromPalette(palette), &problem)) {
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
        AviAbandon(&avi);
        return 1;
    }
    DWORD frameBytes = format.biSizeImage ? format.biSizeImage : 1;
    std::vector<std::vector<BYTE>> memory(request.buffers, std::vector<BYTE>(frameBytes));
    std::vector<VIDEOHDR> headers(request.buffers);
    Capture capture;
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
    void (*previous)(int) = signal(SIGINT, OnInterrupt);
    if (!capture.failed) RunCapture(session, request, delivery, avi, capture);
    signal(SIGINT, previous);
    StreamSend(session, DVM_STREAM_STOP);
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
    if (!AviFinish(&avi, microSecPerFrame, &problem)) {
        fprintf(stderr, "tarncap: %s\n", problem.c_str());
        return 1;
    }
    // Each skipped frame came as a callback; the driver also keeps the count.
    DWORD skippedTotal;
    {
        std::lock_guard<std::mutex> hold(delivery.lock);
        skippedTotal = delivery.skipped > skipped ? delivery.skipped : skipped;
    }
    if (capture.failed) fprintf(stderr, "tarncap: %s\n", capture.problem.c_str());
    if (interrupted) fprintf(stderr, "tarncap: interrupted\n");
    printf("stream: %ld frames delivered, %lu skipped, %.2f fps achieved (%.2f asked), %ldx%ld %s -> %s\n",
           capture.written, (unsigned long)skippedTotal, rate, request.rate, (long)format.biWidth,
           (long)format.biHeight, PixelFormatName(format), request.out.c_str());
    bool met = request.frames ? capture.written == request.frames : capture.written > 0;
    return met && !capture.failed && !interrupted ? 0 : 1;
}

int RunStream(const Options& options) {
    StreamRequest request;
    if (!ParseStream(options.arguments, &request)) return 2;
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
    if (SetCaptureFormat(session, request.format.c_str(), request.width, request.height, &format))
        status = StreamInto(session, request, format);
    if (externalIn) Send(session.host, externalIn, DRV_CLOSE, 0, 0);
    CloseSession(&session);
    return status;
}
