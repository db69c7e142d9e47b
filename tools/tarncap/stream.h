// tarncap's stream of frames through the driver's stream engine, for the
// commands that capture a clip (stream, try).
#ifndef TARNCAP_STREAM_H
#define TARNCAP_STREAM_H

#include <chrono>
#include <string>
#include <vector>

#include "media.h"

typedef std::chrono::steady_clock Clock;

struct StreamRequest {
    LONG width = 176;
    LONG height = 144;
    std::string format = "rgb24";
    long frames = 0;
    double seconds = 0;
    double rate = 15;
    int buffers = 4;
    double report = 0;  // seconds between report lines, 0 none
    std::string out;    // "-": a YUV4MPEG2 stream on the standard output
};

struct Stall {
    double at;      // seconds into the capture
    double length;  // seconds
};

// The stream as it runs and what it brought: frames written, capture times,
// stalls, progress.
struct Capture {
    long written = 0;
    DWORD firstTime = 0;
    DWORD lastTime = 0;
    bool failed = false;
    std::string problem;
    Clock::time_point start;
    Clock::time_point lastArrival;
    long stalls = 0;
    std::vector<Stall> listed;
    Clock::time_point lastReport;
    long reportedFrames = 0;
    double reportedCpu = 0;
    DWORD skipped = 0;        // frame times without a buffer, as the driver counted them
    double cpuSeconds = 0;    // the process's CPU while the stream ran
    double residentSeen = 0;  // the most resident memory a report line showed, MB
};

double AchievedRate(const Capture& capture);

// SIGINT, SIGTERM and SIGHUP from now on end a capture as asked, whole.
void CatchStopSignals();

// Streams into an AVI file (or, with videoFd and --out -, a YUV4MPEG2
// stream) on an open session whose format is set; fills `capture`. 0 when
// the request was met, 1 otherwise (the reason on stderr).
int StreamInto(Session& session, const StreamRequest& request, const BITMAPINFOHEADER& format, int videoFd,
               Capture& capture);

#endif
