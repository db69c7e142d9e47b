#include "media.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const PixelFormat kFormats[] = {
    {"rgb24", 24, 0},
    {"rgb16", 16, 0},
    {"rgb8", 8, 0},
    {"i420", 12, mmioFOURCC('I', '4', '2', '0')},
    {"iyuv", 12, mmioFOURCC('I', 'Y', 'U', 'V')},
    {"yv12", 12, mmioFOURCC('Y', 'V', '1', '2')},
    {"yuy2", 16, mmioFOURCC('Y', 'U', 'Y', '2')},
    {"uyvy", 16, mmioFOURCC('U', 'Y', 'V', 'Y')},
    {"yvu9", 9, mmioFOURCC('Y', 'V', 'U', '9')},
};

const PixelFormat* FindPixelFormat(const char* name) {
    for (const PixelFormat& f : kFormats)
        if (!strcmp(f.name, name)) return &f;
    return nullptr;
}

const char* PixelFormatNames(void) {
    return "rgb24 rgb16 rgb8 i420 iyuv yv12 yuy2 uyvy yvu9";
}

const char* PixelFormatName(const BITMAPINFOHEADER& format) {
    for (const PixelFormat& f : kFormats)
        if (f.compression == format.biCompression && (f.compression != 0 || f.bitCount == format.biBitCount))
            return f.name;
    return "unknown";
}

bool ParseSize(const char* text, LONG* width, LONG* height) {
    char* end = nullptr;
    long w = strtol(text, &end, 10);
    if (!end || (*end != 'x' && *end != 'X')) return false;
    long h = strtol(end + 1, &end, 10);
    if (!end || *end || w < 1 || h < 1 || w > 4096 || h > 4096) return false;
    *width = (LONG)w;
    *height = (LONG)h;
    return true;
}

bool OpenSession(const Options& options, Session* session) {
    if (!LoadDriver(session->host, options.driver.c_str())) {
        fprintf(stderr, "tarncap: %s\n", session->host.error.c_str());
        return false;
    }
    Send(session->host, 0, DRV_LOAD, 0, 0);
    Send(session->host, 0, DRV_ENABLE, 0, 0);
    session->enabled = true;
    DWORD error = 0;
    session->videoIn = OpenChannel(session->host, VIDEO_IN, options.openString.c_str(), &error);
    if (!session->videoIn) {
        fprintf(stderr, "tarncap: the camera could not be opened: %s\n", OpenRefusal(VIDEO_IN, error).c_str());
        CloseSession(session);
        return false;
    }
    return true;
}

void CloseSession(Session* session) {
    if (session->videoIn) Send(session->host, session->videoIn, DRV_CLOSE, 0, 0);
    session->videoIn = 0;
    if (session->enabled) {
        Send(session->host, 0, DRV_DISABLE, 0, 0);
        Send(session->host, 0, DRV_FREE, 0, 0);
    }
    session->enabled = false;
    UnloadDriver(session->host);
}

static LRESULT FormatRequest(Session& session, DWORD flags, BITMAPINFOHEADER* format) {
    VIDEOCONFIGPARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.lpData1 = format;
    parms.dwSize1 = sizeof *format;
    return Send(session.host, session.videoIn, DVM_FORMAT, (LPARAM)flags, reinterpret_cast<LPARAM>(&parms));
}

static DWORD ImageBytes(const PixelFormat& f, LONG width, LONG height) {
    DWORD pw = (DWORD)((width + 3) / 4 * 4);
    // Bits per pixel give every format's size: 12 for 4:2:0, 9 for YVU9.
    return pw * (DWORD)height * f.bitCount / 8;
}

const PixelFormat* PixelFormatAt(size_t index) {
    return index < sizeof kFormats / sizeof kFormats[0] ? &kFormats[index] : nullptr;
}

bool TryCaptureFormat(Session& session, const PixelFormat& f, LONG width, LONG height, BITMAPINFOHEADER* format) {
    memset(format, 0, sizeof *format);
    format->biSize = sizeof *format;
    format->biWidth = width;
    format->biHeight = height;
    format->biPlanes = 1;
    format->biBitCount = f.bitCount;
    format->biCompression = f.compression;
    format->biSizeImage = ImageBytes(f, width, height);
    return FormatRequest(session, VIDEO_CONFIGURE_SET, format) == DV_ERR_OK;
}

// The nearest size to one the driver refused, by the rule of the sizes it
// takes: steps of 8 x 4 up to 352 x 288, of 16 x 8 beyond (24-bit RGB only).
static void NearestSize(const PixelFormat& f, LONG* width, LONG* height) {
    bool doubled = f.compression == 0 && f.bitCount == 24;
    LONG w = *width > (doubled ? 704 : 352) ? (doubled ? 704 : 352) : *width;
    LONG h = *height > (doubled ? 576 : 288) ? (doubled ? 576 : 288) : *height;
    LONG stepW = 8, stepH = 4;
    if (w > 352 || h > 288) stepW = 16, stepH = 8;
    w = (w + stepW / 2) / stepW * stepW;
    h = (h + stepH / 2) / stepH * stepH;
    *width = w < 8 ? 8 : w;
    *height = h < 4 ? 4 : h;
}

bool SetCaptureFormat(Session& session, const char* name, LONG width, LONG height, BITMAPINFOHEADER* format) {
    const PixelFormat* f = FindPixelFormat(name);
    if (!f) return false;
    if (!TryCaptureFormat(session, *f, width, height, format)) {
        LONG w = width, h = height;
        NearestSize(*f, &w, &h);
        BITMAPINFOHEADER nearest;
        if ((w != width || h != height) && TryCaptureFormat(session, *f, w, h, &nearest))
            fprintf(stderr, "tarncap: the driver refused %ldx%ld %s; the nearest size it takes is %ldx%ld\n",
                    (long)width, (long)height, name, (long)w, (long)h);
        else
            fprintf(stderr, "tarncap: the driver refused %ldx%ld %s (see tarncap formats)\n", (long)width, (long)height,
                    name);
        return false;
    }
    BITMAPINFOHEADER current;
    memset(&current, 0, sizeof current);
    if (FormatRequest(session, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, &current) == DV_ERR_OK) *format = current;
    return true;
}

bool GetCapturePalette(Session& session, std::vector<BYTE>* palette) {
    DWORD size = 0;
    VIDEOCONFIGPARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.lpdwReturn = &size;
    if (Send(session.host, session.videoIn, DVM_PALETTE, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE,
             reinterpret_cast<LPARAM>(&parms)) != DV_ERR_OK ||
        size == 0)
        return false;
    palette->assign(size, 0);
    memset(&parms, 0, sizeof parms);
    parms.lpData1 = palette->data();
    parms.dwSize1 = size;
    return Send(session.host, session.videoIn, DVM_PALETTE, VIDEO_CONFIGURE_GET, reinterpret_cast<LPARAM>(&parms)) ==
           DV_ERR_OK;
}

std::string FramePath(const std::string& base, int index, int count, const BITMAPINFOHEADER& format) {
    const char* extension = format.biCompression == 0 ? ".bmp" : ".yuv";
    if (count == 1) return base + extension;
    char number[16];
    snprintf(number, sizeof number, "-%04d", index + 1);
    return base + number + extension;
}

static void PutWord(std::vector<BYTE>& out, WORD value) {
    out.push_back((BYTE)value);
    out.push_back((BYTE)(value >> 8));
}

static void PutDword(std::vector<BYTE>& out, DWORD value) {
    PutWord(out, (WORD)value);
    PutWord(out, (WORD)(value >> 16));
}

// The 256 colours of an 8-bit picture as BMP RGBQUADs, from the driver's
// palette (a LOGPALETTE: version, count, then red, green, blue, flags).
static std::vector<BYTE> ColourTable(const std::vector<BYTE>& palette) {
    std::vector<BYTE> table(256 * 4, 0);
    if (palette.size() < 4) return table;
    size_t count = palette[2] | (palette[3] << 8);
    for (size_t i = 0; i < count && i < 256 && 4 + i * 4 + 3 < palette.size(); i++) {
        const BYTE* entry = &palette[4 + i * 4];
        table[i * 4 + 0] = entry[2];
        table[i * 4 + 1] = entry[1];
        table[i * 4 + 2] = entry[0];
    }
    return table;
}

bool WritePicture(const std::string& path, const BITMAPINFOHEADER& format, const std::vector<BYTE>& palette,
                  const BYTE* data, DWORD bytes, std::string* problem) {
    // The picture is written under a name of its own and then renamed, so a
    // write that fails (a full disk) leaves no half picture, and an earlier
    // picture of that name stays whole until the new one is.
    std::string partial = path + ".part";
    FILE* file = fopen(partial.c_str(), "wb");
    if (!file) {
        *problem = "cannot write " + path;
        return false;
    }
    bool ok = true;
    if (format.biCompression == 0) {
        std::vector<BYTE> table = format.biBitCount == 8 ? ColourTable(palette) : std::vector<BYTE>();
        DWORD offset = 14 + 40 + (DWORD)table.size();
        std::vector<BYTE> head;
        PutWord(head, 0x4D42);  // "BM"
        PutDword(head, offset + bytes);
        PutDword(head, 0);
        PutDword(head, offset);
        BITMAPINFOHEADER info = format;
        info.biSize = sizeof info;
        info.biSizeImage = bytes;
        info.biClrUsed = format.biBitCount == 8 ? 256 : 0;
        const BYTE* raw = reinterpret_cast<const BYTE*>(&info);
        head.insert(head.end(), raw, raw + sizeof info);
        head.insert(head.end(), table.begin(), table.end());
        ok = fwrite(head.data(), 1, head.size(), file) == head.size();
    }
    if (ok && bytes) ok = fwrite(data, 1, bytes, file) == bytes;
    if (fclose(file) != 0) ok = false;
    if (ok && rename(partial.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        remove(partial.c_str());
        *problem = "writing " + path + " failed";
    }
    return ok;
}
