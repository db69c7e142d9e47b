#include "y4m.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static const DWORD kI420 = mmioFOURCC('I', '4', '2', '0');
static const DWORD kIYUV = mmioFOURCC('I', 'Y', 'U', 'V');
static const DWORD kYV12 = mmioFOURCC('Y', 'V', '1', '2');
static const DWORD kYUY2 = mmioFOURCC('Y', 'U', 'Y', '2');
static const DWORD kUYVY = mmioFOURCC('U', 'Y', 'V', 'Y');

static bool Planar420(DWORD code) {
    return code == kI420 || code == kIYUV || code == kYV12;
}

bool Y4mTakes(const BITMAPINFOHEADER& format) {
    DWORD code = format.biCompression;
    return Planar420(code) || code == kYUY2 || code == kUYVY;
}

// Writes all of it, through interruptions and short writes.
static bool WriteAll(int fd, const BYTE* data, size_t bytes, std::string* problem) {
    while (bytes > 0) {
        ssize_t n = write(fd, data, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *problem = errno == EPIPE ? "the reader of the standard output has gone"
                                      : std::string("writing the standard output failed: ") + strerror(errno);
            return false;
        }
        data += n;
        bytes -= (size_t)n;
    }
    return true;
}

static unsigned CommonDivisor(unsigned a, unsigned b) {
    while (b != 0) {
        unsigned r = a % b;
        a = b;
        b = r;
    }
    return a;
}

bool Y4mStart(Y4mWriter* y4m, int fd, const BITMAPINFOHEADER& format, double rate, std::string* problem) {
    if (!Y4mTakes(format) || format.biWidth <= 0 || format.biHeight <= 0) {
        *problem = "a YUV4MPEG2 stream takes i420, iyuv, yv12, yuy2 or uyvy frames";
        return false;
    }
    y4m->fd = fd;
    y4m->format = format;
    y4m->planes.assign((size_t)format.biWidth * format.biHeight * (Planar420(format.biCompression) ? 3 : 4) / 2, 0);
    // The rate as a fraction in lowest terms, to a thousandth of a frame.
    unsigned n = (unsigned)(rate * 1000 + 0.5), d = 1000;
    unsigned common = CommonDivisor(n, d);
    char header[128];
    int length =
        snprintf(header, sizeof header, "YUV4MPEG2 W%ld H%ld F%u:%u Ip A1:1 %s\n", (long)format.biWidth,
                 (long)format.biHeight, n / common, d / common, Planar420(format.biCompression) ? "C420jpeg" : "C422");
    return WriteAll(fd, reinterpret_cast<const BYTE*>(header), (size_t)length, problem);
}

// Packed 4:2:2 (two pixels in four bytes) into Y, Cb and Cr planes; `y` is
// the offset of the first luminance byte in a group (0 YUY2, 1 UYVY).
static void UnpackPacked(const BYTE* data, size_t pixels, int y, BYTE* out) {
    BYTE* cb = out + pixels;
    BYTE* cr = cb + pixels / 2;
    int u = y == 0 ? 1 : 0, v = u + 2;
    for (size_t i = 0; i < pixels / 2; i++, data += 4) {
        out[2 * i] = data[y];
        out[2 * i + 1] = data[y + 2];
        cb[i] = data[u];
        cr[i] = data[v];
    }
}

bool Y4mWriteFrame(Y4mWriter* y4m, const BYTE* data, DWORD bytes, std::string* problem) {
    size_t size = y4m->planes.size();
    if (bytes < size) {
        *problem = "a frame came shorter than its format";
        return false;
    }
    size_t pixels = (size_t)y4m->format.biWidth * y4m->format.biHeight;
    const BYTE* frame = data;
    DWORD code = y4m->format.biCompression;
    if (code == kYV12) {
        // Its colour planes come Cr first; the stream wants Cb first.
        memcpy(y4m->planes.data(), data, pixels);
        memcpy(y4m->planes.data() + pixels, data + pixels * 5 / 4, pixels / 4);
        memcpy(y4m->planes.data() + pixels * 5 / 4, data + pixels, pixels / 4);
        frame = y4m->planes.data();
    } else if (!Planar420(code)) {
        UnpackPacked(data, pixels, code == kYUY2 ? 0 : 1, y4m->planes.data());
        frame = y4m->planes.data();
    }
    static const BYTE kFrame[] = {'F', 'R', 'A', 'M', 'E', '\n'};
    return WriteAll(y4m->fd, kFrame, sizeof kFrame, problem) && WriteAll(y4m->fd, frame, size, problem);
}
