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

static bool ParseGrab(const std::vector<std::string>& args, GrabRequest* request) {
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if ((arg == "--size" || arg == "--format" || arg == "--count" || arg == "--out") && !hasValue) {
            fprintf(stderr, "tarncap: %s needs a value\n", arg.c_str());
            return false;
        }
        if (arg == "--size") {
            if (!ParseSize(args[++i].c_str(), &request->width, &request->height)) {
                fprintf(stderr, "tarncap: --size wants WIDTHxHEIGHT, e.g. 320x240, not %s\n", args[i].c_str());
                return false;
            }
        } else if (arg == "--format") {
            request->format = args[++i];
            if (!FindPixelFormat(request->format.c_str())) {
                fprintf(stderr, "tarncap: unknown format %s (one of %s)\n", request->format.c_str(),
                        PixelFormatNames());
                return false;
            }
        } else if (arg == "--count") {
            char* end = nullptr;
            long n = strtol(args[++i].c_str(), &end, 10);
            if (!end || *end || n < 1 || n > 100000) {
                fprintf(stderr, "tarncap: --count wants a number from 1 to 100000, not %s\n", args[i].c_str());
                return false;
            }
            request->count = (int)n;
        } else if (arg == "--out") {
            request->out = args[++i];
        } else {
            fprintf(stderr, "tarncap: grab does not know %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

int RunGrab(const Options& options) {
    GrabRequest request;
    if (!ParseGrab(options.arguments, &request)) return 2;
    Session session;
    if (!OpenSession(options, &session)) return 1;
    BITMAPINFOHEADER format;
    int status = 1;
    if (SetCaptureFormat(session, request.format.c_str(), request.width, request.height, &format)) {
        std::vector<BYTE> palette;
        if (format.biCompression == 0 && format.biBitCount == 8) GetCapturePalette(session, &palette);
        std::vector<BYTE> buffer(format.biSizeImage ? format.biSizeImage : 1);
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
            std::string path = FramePath(request.out, n, request.count, format);
            std::string problem;
            if (!WritePicture(path, format, palette, buffer.data(), header.dwBytesUsed, &problem)) {
                fprintf(stderr, "tarncap: %s\n", problem.c_str());
                break;
            }
            delivered++;
            printf("frame %d: %lu bytes at %lu ms -> %s\n", n + 1, (unsigned long)header.dwBytesUsed,
                   (unsigned long)header.dwTimeCaptured, path.c_str());
        }
        printf("grab: %d of %d frames, %ldx%ld %s\n", delivered, request.count, (long)format.biWidth,
               (long)format.biHeight, request.format.c_str());
        status = delivered == request.count ? 0 : 1;
    }
    CloseSession(&session);
    return status;
}
