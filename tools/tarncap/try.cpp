// tarncap try: what a person who has just plugged the camera in wants to
// see first. It finds the camera, takes a snapshot and a five-second clip
// into a folder, says where they are and what they hold, and names the
// commands worth trying next.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "media.h"
#include "stream.h"

namespace {

const LONG kWidth = 352, kHeight = 288;  // the camera's whole picture
const double kClipSeconds = 5, kClipRate = 15;

bool ParseTry(const std::vector<std::string>& args, std::string* folder) {
    for (size_t i = 0; i < args.size(); i++) {
        if (args[i] != "--out-dir") {
            fprintf(stderr, "tarncap: try does not know %s (see tarncap --help)\n", args[i].c_str());
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            fprintf(stderr, "tarncap: --out-dir needs a folder\n");
            return false;
        }
        *folder = args[++i];
    }
    return true;
}

long FileBytes(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? (long)info.st_size : 0;
}

std::string Megabytes(long bytes) {
    char text[32];
    snprintf(text, sizeof text, "%.1f MB", bytes / (1024.0 * 1024.0));
    return text;
}

void SayWhichCamera(Session& session) {
    std::string port, mode, firmware;
    if (ReadControlText(session, "port", &port) && ReadControlText(session, "port_mode", &mode) &&
        ReadControlText(session, "firmware", &firmware))
        printf("camera:   on LPT%s (port mode %s), firmware %s\n", port.c_str(), mode.c_str(), firmware.c_str());
}

// One picture through DVM_FRAME into a BMP file.
bool Snapshot(Session& session, const std::string& path) {
    BITMAPINFOHEADER format;
    if (!SetCaptureFormat(session, "rgb24", kWidth, kHeight, &format) || format.biSizeImage == 0) return false;
    std::vector<BYTE> buffer(format.biSizeImage);
    VIDEOHDR header;
    memset(&header, 0, sizeof header);
    header.lpData = buffer.data();
    header.dwBufferLength = (DWORD)buffer.size();
    LRESULT result = Send(session.host, session.videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header);
    if (result != DV_ERR_OK) {
        fprintf(stderr, "tarncap: DVM_FRAME -> %s (%ld)\n", DvErrorName((DWORD)result), (long)result);
        return false;
    }
    std::string problem;
    DWORD bytes = header.dwBytesUsed <= buffer.size() ? header.dwBytesUsed : (DWORD)buffer.size();
    if (!WritePicture(path, format, {}, buffer.data(), bytes, &problem)) {
        fprintf(stderr, "tarncap: %s\n", problem.c_str());
        return false;
    }
    printf("snapshot: %s, %ldx%ld 24-bit RGB, %s\n", path.c_str(), (long)kWidth, (long)kHeight,
           Megabytes(FileBytes(path)).c_str());
    return true;
}

bool Clip(Session& session, const std::string& path) {
    StreamRequest request;
    request.width = kWidth;
    request.height = kHeight;
    request.seconds = kClipSeconds;
    request.rate = kClipRate;
    request.out = path;
    BITMAPINFOHEADER format;
    if (!SetCaptureFormat(session, "rgb24", kWidth, kHeight, &format)) return false;
    Capture capture;
    int status = StreamInto(session, request, format, -1, capture);
    if (capture.written > 0)
        printf("clip:     %s, %ld frames in %.0f s at %.2f fps (%.0f asked), %lu skipped, %ldx%ld 24-bit RGB, %s\n",
               path.c_str(), capture.written, kClipSeconds, AchievedRate(capture), kClipRate,
               (unsigned long)capture.skipped, (long)kWidth, (long)kHeight, Megabytes(FileBytes(path)).c_str());
    return status == 0;
}

}  // namespace

int RunTry(const Options& options) {
    std::string folder = "capture";
    if (!ParseTry(options.arguments, &folder)) return 2;
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        fprintf(stderr, "tarncap: cannot make the folder %s: %s\n", folder.c_str(), strerror(errno));
        return 1;
    }
    CatchStopSignals();
    Session session;
    if (!OpenSession(options, &session)) return 1;
    SayWhichCamera(session);
    bool done = Snapshot(session, folder + "/snapshot.bmp") && Clip(session, folder + "/clip.avi");
    CloseSession(&session);
    if (!done) return 1;
    printf(
        "\nnext, with tools/run.sh (or tarncap itself):\n"
        "  tarncap ctrl --list-ctrls                    the camera's controls and their values\n"
        "  tarncap stream --seconds 10 --out clip.avi   a longer clip, with its rate and CPU\n"
        "  tarncap dialog camera                        the Camera Settings dialog, as text\n"
        "  tarncap formats                              the formats and sizes the driver offers\n");
    return 0;
}
