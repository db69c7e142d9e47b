// tarncap grab: single frames through DVM_FRAME, in the format asked for,
// written as BMP pictures (RGB) or raw planes (YUV).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "media.h"

struct GrabRequest {
    LONG width = 176;
    LONG height = 144;
    std::string format = "rgb24";
    int count = 1;
    std::string out = "frame";
};

static bool EndsWith(const std::string& text, const char* tail) {
    size_t n = strlen(tail);
    return text.size() > n && text.compare(text.size() - n, n, tail) == 0;
}

static bool ParseGrab(const std::vector<std::string>& args, GrabRequest* request) {
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        bool valued = arg == "--size" || arg == "--format" || arg == "--frames" || arg == "--count" || arg == "--out";
        if (!valued) {
            fprintf(stderr, "tarncap: grab does not know %s (see tarncap --help)\n", arg.c_str());
            return false;
        }
        if (i + 1 >= args.size()) {
            fprintf(stderr, "tarncap: %s needs a value\n", arg.c_str());
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--size") {
            if (!ParseSize(value.c_str(), &request->width, &request->height)) {
                fprintf(stderr, "tarncap: --size wants WIDTHxHEIGHT, e.g. 320x240, not %s\n", value.c_str());
                return false;
            }
        } else if (arg == "--format") {
            request->format = value;
            if (!FindPixelFormat(value.c_str())) {
                fprintf(stderr, "tarncap: unknown format %s (one of %s)\n", value.c_str(), PixelFormatNames());
                return false;
            }
        } else if (arg == "--frames" || arg == "--count") {
            char* end = nullptr;
            long n = strtol(value.c_str(), &end, 10);
            if (value.empty() || !end || *end || n < 1 || n > 100000) {
                fprintf(stderr, "tarncap: %s wants a number from 1 to 100000, not %s\n", arg.c_str(), value.c_str());
                return false;
            }
            request->count = (int)n;
        } else {
            if (value.empty()) {
                fprintf(stderr, "tarncap: --out wants a file name\n");
                return false;
            }
            // The extension follows the format: a name given with one loses it.
            request->out = value;
            if (EndsWith(value, ".bmp") || EndsWith(value, ".yuv")) request->out.erase(value.size() - 4);
        }
    }
    return true;
}

// The planes of a YUV picture, for the summary line.
static std::string Layout(const BITMAPINFOHEADER& format) {
    LONG w = format.biWidth, h = format.biHeight;
    char text[96];
    switch (format.biCompression) {
        case 0:
            snprintf(text, sizeof text, "%ldx%ld %d-bit DIB, bottom-up", (long)w, (long)h, format.biBitCount);
            break;
        case mmioFOURCC('Y', 'U', 'Y', '2'):
        case mmioFOURCC('U', 'Y', 'V', 'Y'):
            snprintf(text, sizeof text, "%ldx%ld packed 4:2:2", (long)w, (long)h);
            break;
        case mmioFOURCC('Y', 'V', 'U', '9'):
            snprintf(text, sizeof text, "Y %ldx%ld, V and U %ldx%ld", (long)w, (long)h, (long)w / 4, (long)h / 4);
            break;
        default:
            snprintf(text, sizeof text, "Y %ldx%ld, %s %ldx%ld", (long)w, (long)h,
                     format.biCompression == mmioFOURCC('Y', 'V', '1', '2') ? "V and U" : "U and V", (long)w / 2,
                     (long)h / 2);
            break;
    }
    return text;
}

int RunGrab(const Options& options) {
    GrabRequest request;
    if (!ParseGrab(options.arguments, &request)) return 2;
    Session session;
    if (!OpenSession(options, &session)) return 1;
    BITMAPINFOHEADER format;
    int status = 1;
    if (!SetCaptureFormat(session, request.format.c_str(), request.width, request.height, &format)) {
        if (request.format == "yvu9")
            fprintf(stderr, "tarncap: the camera has no YUV layout for yvu9, so the driver does not offer it\n");
    } else if (format.biSizeImage == 0) {
        fprintf(stderr, "tarncap: the driver's format has no image size\n");
    } else {
        std::vector<BYTE> palette;
        if (format.biCompression == 0 && format.biBitCount == 8) GetCapturePalette(session, &palette);
        std::vector<BYTE> buffer(format.biSizeImage);
        int delivered = 0;
        for (int n = 0; n < request.count; n++) {
            VIDEOHDR header;
            memset(&header, 0, sizeof header);
            header.lpData = buffer.data();
            header.dwBufferLength = (DWORD)buffer.size();
            LRESULT result =
                Send(session.host, session.videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header);
            if (result != DV_ERR_OK) {
                printf("frame %d: DVM_FRAME -> %s (%ld)\n", n + 1, DvErrorName((DWORD)result), (long)result);
                continue;
            }
            DWORD bytes = header.dwBytesUsed <= buffer.size() ? header.dwBytesUsed : (DWORD)buffer.size();
            std::string path = FramePath(request.out, n, request.count, format);
            std::string problem;
            if (!WritePicture(path, format, palette, buffer.data(), bytes, &problem)) {
                fprintf(stderr, "tarncap: %s\n", problem.c_str());
                break;
            }
            delivered++;
            printf("frame %d: %lu bytes at %lu ms -> %s\n", n + 1, (unsigned long)bytes,
                   (unsigned long)header.dwTimeCaptured, path.c_str());
        }
        printf("grab: %d of %d frames, %s %s\n", delivered, request.count, request.format.c_str(),
               Layout(format).c_str());
        status = delivered == request.count ? 0 : 1;
    }
    CloseSession(&session);
    return status;
}
