// A YUV4MPEG2 stream of the captured frames, written to a file descriptor
// (the standard output) as they arrive, so that the rest of a video
// toolchain can read it live: a header line with the size, the rate and the
// colour layout, then each frame as "FRAME" and its Y, Cb and Cr planes.
#ifndef TARNCAP_Y4M_H
#define TARNCAP_Y4M_H

#include <string>
#include <vector>

#include "platform/win32.h"

struct Y4mWriter {
    int fd = -1;
    BITMAPINFOHEADER format = {};
    std::vector<BYTE> planes;  // one frame in the stream's plane order
};

// Whether frames of this format can go into the stream: the 4:2:0 and
// packed 4:2:2 YUV formats.
bool Y4mTakes(const BITMAPINFOHEADER& format);
// Writes the header for frames of `format` at `rate` frames per second.
bool Y4mStart(Y4mWriter* y4m, int fd, const BITMAPINFOHEADER& format, double rate, std::string* problem);
// Appends one frame of the format's image size.
bool Y4mWriteFrame(Y4mWriter* y4m, const BYTE* data, DWORD bytes, std::string* problem);

#endif
