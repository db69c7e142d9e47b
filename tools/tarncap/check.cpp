// tarncap check: a compliance run of the driver interface. It opens the
// driver as a host does and sends every driver message and every video
// message with good parameter blocks and with bad ones (null, too short,
// the wrong channel kind, handles that are no channel, formats out of
// range), and checks each answer and what the driver wrote. One line per
// check, then "N passed, N failed"; the exit status is 1 when any failed.
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "host.h"
#include "media.h"

namespace {

// What the driver reported through the stream callback, from the timer's
// thread.
struct Reports {
    std::mutex lock;
    std::vector<UINT> messages;
    std::vector<VIDEOHDR*> data;
};

void CALLBACK StreamCallback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR) {
    Reports* reports = reinterpret_cast<Reports*>(user);
    std::lock_guard<std::mutex> hold(reports->lock);
    reports->messages.push_back(msg);
    if (msg == MM_DRVM_DATA) reports->data.push_back(reinterpret_cast<VIDEOHDR*>(param1));
}

std::string FormatText(const BITMAPINFOHEADER& f) {
    char text[128];
    snprintf(text, sizeof text, "%ld x %ld, %u bits, compression 0x%08lx, %lu bytes", static_cast<long>(f.biWidth),
             static_cast<long>(f.biHeight), static_cast<unsigned>(f.biBitCount),
             static_cast<unsigned long>(f.biCompression), static_cast<unsigned long>(f.biSizeImage));
    return text;
}

std::string ResultText(LRESULT result) {
    char text[64];
    if (result >= 0 && result <= 23)
        snprintf(text, sizeof text, "%ld (%s)", static_cast<long>(result), DvErrorName(static_cast<DWORD>(result)));
    else
        snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(result));
    return text;
}

class Checker {
public:
    Host host;
    int passed = 0;
    int failed = 0;

    void Check(bool ok, const std::string& what, const std::string& detail = "") {
        if (ok) {
            passed++;
            printf("ok    %s\n", what.c_str());
        } else {
            failed++;
            printf("FAIL  %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
        }
    }
    void Expect(LRESULT got, LRESULT want, const std::string& what) {
        Check(got == want, what + " -> " + ResultText(want), "got " + ResultText(got));
    }
    // Driver messages answer plain numbers, not DV_ERR_ codes.
    void ExpectNumber(LRESULT got, LRESULT want, const std::string& what) {
        Check(got == want, what + " -> " + std::to_string(want), "got " + std::to_string(got));
    }
    // Any refusal will do where the interface names no particular code.
    void Refused(LRESULT got, const std::string& what) {
        Check(got != DV_ERR_OK, what + " -> refused", "got " + ResultText(got));
    }
    LRESULT Send(DWORD_PTR id, UINT msg, LPARAM p1 = 0, LPARAM p2 = 0) { return ::Send(host, id, msg, p1, p2); }
    LRESULT SendPtr(DWORD_PTR id, UINT msg, const void* p1, LPARAM p2 = 0) {
        return Send(id, msg, reinterpret_cast<LPARAM>(p1), p2);
    }
};

VIDEO_OPEN_PARMS OpenParms(DWORD type) {
    VIDEO_OPEN_PARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.dwSize = sizeof parms;
    parms.fccType = mmioFOURCC('v', 'c', 'a', 'p');
    parms.dwVersion = VIDEOAPIVERSION;
    parms.dwFlags = type;
    parms.dwError = 0xDEAD;
    return parms;
}

void CheckDriverMessages(Checker& c) {
    c.ExpectNumber(c.Send(0, DRV_LOAD), 1, "DRV_LOAD");
    c.ExpectNumber(c.Send(0, DRV_ENABLE), 1, "DRV_ENABLE");
    c.ExpectNumber(c.Send(0, DRV_INSTALL), 1, "DRV_INSTALL");
    c.ExpectNumber(c.Send(0, DRV_QUERYCONFIGURE), 1, "DRV_QUERYCONFIGURE");
    // Headless, the dialog is cancelled at once; the answer is 1 either way.
    c.ExpectNumber(c.Send(0, DRV_CONFIGURE, 0, 0), 1, "DRV_CONFIGURE without an owner");
    c.ExpectNumber(c.Send(0, DRV_CONFIGURE, 0x7777, 0), 1, "DRV_CONFIGURE with an owner that is no window");
    c.ExpectNumber(c.Send(0, DRV_REMOVE), 1, "DRV_REMOVE");
    c.ExpectNumber(c.Send(0, 0x4000), 0, "a driver message it does not know (0x4000), no channel");
    c.ExpectNumber(c.Send(1, 0), 0, "message 0 on the configuration handle");
    c.ExpectNumber(c.Send(0, DRV_OPEN, 0, 0), 1, "DRV_OPEN without VIDEO_OPEN_PARMS (configuration open)");
    c.ExpectNumber(c.Send(1, DRV_CLOSE), 1, "DRV_CLOSE of the configuration handle");
    c.ExpectNumber(c.Send(0, DRV_CLOSE), 1, "DRV_CLOSE of handle 0");

    VIDEO_OPEN_PARMS parms = OpenParms(VIDEO_IN);
    parms.fccType = mmioFOURCC('v', 'i', 'd', 's');
    c.ExpectNumber(c.SendPtr(0, DRV_OPEN, "", reinterpret_cast<LPARAM>(&parms)), 0, "DRV_OPEN of type vids");
    c.Check(parms.dwError == 0xDEAD, "  ... leaves dwError alone");
    struct Kind {
        DWORD type;
        DWORD error;
        const char* name;
    } kinds[] = {{VIDEO_OUT, DV_ERR_NOTSUPPORTED, "VIDEO_OUT"},
                 {VIDEO_EXTERNALOUT, DV_ERR_NOTSUPPORTED, "VIDEO_EXTERNALOUT"},
                 {0, DV_ERR_NOTDETECTED, "channel kind 0"},
                 {VIDEO_IN | VIDEO_EXTERNALIN, DV_ERR_NOTDETECTED, "two channel kinds at once"},
                 {0x0F, DV_ERR_NOTDETECTED, "every channel kind bit"}};
    for (const Kind& k : kinds) {
        parms = OpenParms(k.type);
        LRESULT handle = c.SendPtr(0, DRV_OPEN, "", reinterpret_cast<LPARAM>(&parms));
        c.ExpectNumber(handle, 0, std::string("DRV_OPEN of ") + k.name);
        c.Expect(parms.dwError, k.error, std::string("  ... dwError for ") + k.name);
    }
}

void CheckBogusHandles(Checker& c, DWORD_PTR closed) {
    const DWORD_PTR bogus[] = {2, 0xDEADBEEF, closed};
    const char* names[] = {"handle 2", "handle 0xDEADBEEF", "a closed channel's handle"};
    for (int i = 0; i < 3; i++) {
        std::string name = names[i];
        DWORD word = 0;
        c.Refused(c.SendPtr(bogus[i], DVM_GETVIDEOAPIVER, &word), "DVM_GETVIDEOAPIVER on " + name);
        VIDEOHDR header;
        memset(&header, 0, sizeof header);
        c.Refused(c.SendPtr(bogus[i], DVM_FRAME, &header), "DVM_FRAME on " + name);
        c.Refused(c.Send(bogus[i], DVM_STREAM_FINI), "DVM_STREAM_FINI on " + name);
        c.ExpectNumber(c.Send(bogus[i], DRV_CLOSE), 0, "DRV_CLOSE of " + name);
    }
}

// Small numbers, where a driver's own memory handles (not its channels)
// may lie: none is taken for a channel while the camera is up.
void CheckSmallHandles(Checker& c) {
    int answered = 0;
    for (DWORD_PTR handle = 2; handle < 0x200; handle++) {
        DWORD word = 0;
        if (c.SendPtr(handle, DVM_GETVIDEOAPIVER, &word) == DV_ERR_OK || word != 0) answered++;
        if (c.Send(handle, DVM_STREAM_FINI) == DV_ERR_OK) answered++;
        if (c.Send(handle, DRV_CLOSE) != 0) answered++;
    }
    c.Check(answered == 0, "handles 2 to 0x1FF (no channel) are refused for every message",
            std::to_string(answered) + " messages answered as on a channel");
}

void CheckQueries(Checker& c, DWORD_PTR in, DWORD_PTR ext) {
    DWORD version = 0xAAAA;
    c.Expect(c.SendPtr(in, DVM_GETVIDEOAPIVER, &version), 0, "DVM_GETVIDEOAPIVER");
    c.Check(version == 80, "  ... answers 80", "got " + std::to_string(version));
    c.Expect(c.Send(in, DVM_GETVIDEOAPIVER, 0), DV_ERR_PARAM1, "DVM_GETVIDEOAPIVER with a null word");

    char text[16];
    memset(text, 'x', sizeof text);
    VIDEO_GETERRORTEXT_PARMS error = {DV_ERR_SYNC, text, sizeof text};
    c.Expect(c.SendPtr(in, DVM_GETERRORTEXT, &error), 0, "DVM_GETERRORTEXT");
    c.Check(text[0] == '\0' && text[1] == 'x', "  ... writes an empty text and nothing more");
    c.Expect(c.Send(in, DVM_GETERRORTEXT, 0), DV_ERR_NOTSUPPORTED, "DVM_GETERRORTEXT with a null block");
    error.dwLength = 0;
    c.Expect(c.SendPtr(in, DVM_GETERRORTEXT, &error), DV_ERR_NOTSUPPORTED, "DVM_GETERRORTEXT with length 0");
    error = {0, nullptr, 16};
    c.Expect(c.SendPtr(in, DVM_GETERRORTEXT, &error), DV_ERR_NOTSUPPORTED, "DVM_GETERRORTEXT with a null text");

    c.Expect(c.Send(in, DVM_DIALOG, 0, VIDEO_DLG_QUERY), 0, "DVM_DIALOG query on VIDEO_IN");
    c.Expect(c.Send(ext, DVM_DIALOG, 0, VIDEO_DLG_QUERY), 0, "DVM_DIALOG query on VIDEO_EXTERNALIN");
    LRESULT shown = c.Send(in, DVM_DIALOG, 0, 0);
    c.Check(shown == 0 || shown == DV_ERR_NOTSUPPORTED, "DVM_DIALOG on VIDEO_IN (cancelled) -> 0 or 17",
            "got " + ResultText(shown));
    shown = c.Send(ext, DVM_DIALOG, 0x5555, 0);
    c.Check(shown == 0 || shown == DV_ERR_NOTSUPPORTED,
            "DVM_DIALOG on VIDEO_EXTERNALIN with a parent that is no window -> 0 or 17", "got " + ResultText(shown));

    const struct {
        UINT msg;
        const char* name;
    } unsupported[] = {{DVM_CONFIGURESTORAGE, "DVM_CONFIGURESTORAGE"},
                       {DVM_GET_CHANNEL_CAPS, "DVM_GET_CHANNEL_CAPS"},
                       {DVM_UPDATE, "DVM_UPDATE"},
                       {DVM_PALETTERGB555, "DVM_PALETTERGB555"},
                       {DVM_SRC_RECT, "DVM_SRC_RECT"},
                       {DVM_DST_RECT, "DVM_DST_RECT"},
                       {DVM_STREAM_MSG_END, "stream message 0x418F"},
                       {DVM_STREAM_MSG_END + 1, "message 0x4190"},
                       {0x7FFF, "message 0x7FFF"}};
    for (const auto& u : unsupported)
        c.Expect(c.Send(in, u.msg, 0x1234, 0x5678), DV_ERR_NOTSUPPORTED, std::string(u.name) + " on VIDEO_IN");
}

VIDEOCONFIGPARMS ConfigParms(void* data, DWORD size, DWORD* ret = nullptr) {
    VIDEOCONFIGPARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.lpdwReturn = ret;
    parms.lpData1 = data;
    parms.dwSize1 = size;
    return parms;
}

BITMAPINFOHEADER Format(LONG width, LONG height, WORD bits, DWORD compression, DWORD size) {
    BITMAPINFOHEADER f;
    memset(&f, 0, sizeof f);
    f.biSize = sizeof f;
    f.biWidth = width;
    f.biHeight = height;
    f.biPlanes = 1;
    f.biBitCount = bits;
    f.biCompression = compression;
    f.biSizeImage = size;
    return f;
}

LRESULT SetFormat(Checker& c, DWORD_PTR channel, BITMAPINFOHEADER format, DWORD size = sizeof(BITMAPINFOHEADER)) {
    VIDEOCONFIGPARMS parms = ConfigParms(&format, size);
    return c.Send(channel, DVM_FORMAT, VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&parms));
}

LRESULT GetFormat(Checker& c, DWORD_PTR channel, BITMAPINFOHEADER* format, DWORD size = sizeof(BITMAPINFOHEADER)) {
    VIDEOCONFIGPARMS parms = ConfigParms(format, size);
    return c.Send(channel, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, reinterpret_cast<LPARAM>(&parms));
}

// One frame into a buffer of the format's size, with a guard behind it.
void CheckFrameInto(Checker& c, DWORD_PTR in, const BITMAPINFOHEADER& format, const std::string& name) {
    std::vector<BYTE> buffer(format.biSizeImage + 64, 0xA5);
    VIDEOHDR header;
    memset(&header, 0, sizeof header);
    header.lpData = buffer.data();
    header.dwBufferLength = format.biSizeImage;
    header.dwFlags = VHDR_PREPARED;
    c.Expect(c.SendPtr(in, DVM_FRAME, &header, sizeof header), 0, "DVM_FRAME in " + name);
    bool guard = true;
    for (size_t i = format.biSizeImage; i < buffer.size(); i++) guard = guard && buffer[i] == 0xA5;
    c.Check(header.dwBytesUsed == format.biSizeImage && (header.dwFlags & (VHDR_DONE | VHDR_KEYFRAME)) && guard,
            "  ... fills the whole picture, flags it done, writes nothing past it");
}

void CheckFormats(Checker& c, DWORD_PTR in, DWORD_PTR ext) {
    BITMAPINFOHEADER current;
    c.Expect(GetFormat(c, in, &current), 0, "DVM_FORMAT GET CURRENT");
    c.Check(current.biSize == sizeof current && current.biWidth > 0 && current.biSizeImage > 0,
            "  ... a whole BITMAPINFOHEADER");
    BITMAPINFOHEADER untouched;
    memset(&untouched, 0x5A, sizeof untouched);
    c.Expect(GetFormat(c, in, &untouched, 39), DV_ERR_SIZEFIELD, "DVM_FORMAT GET CURRENT into 39 bytes");
    c.Check(reinterpret_cast<BYTE*>(&untouched)[0] == 0x5A, "  ... copies nothing");
    c.Refused(GetFormat(c, in, nullptr), "DVM_FORMAT GET CURRENT into a null buffer");
    c.Refused(c.Send(in, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, 0),
              "DVM_FORMAT GET CURRENT without VIDEOCONFIGPARMS");
    c.Refused(c.Send(in, DVM_FORMAT, VIDEO_CONFIGURE_SET, 0), "DVM_FORMAT SET without VIDEOCONFIGPARMS");
    DWORD size = 0;
    VIDEOCONFIGPARMS query = ConfigParms(nullptr, 0, &size);
    c.Expect(c.Send(in, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE, reinterpret_cast<LPARAM>(&query)),
             0, "DVM_FORMAT QUERYSIZE");
    c.Check(size == 50, "  ... answers 50", "got " + std::to_string(size));
    query = ConfigParms(nullptr, 0, nullptr);
    c.Refused(c.Send(in, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE, reinterpret_cast<LPARAM>(&query)),
              "DVM_FORMAT QUERYSIZE with a null return word");
    query = ConfigParms(&current, sizeof current);
    c.Expect(c.Send(in, DVM_FORMAT, VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_GET, reinterpret_cast<LPARAM>(&query)), 0,
             "DVM_FORMAT QUERY GET");
    for (DWORD flags : {0x0000u, 0x1010u, 0x9000u, 0xFFFFu})
        c.Expect(c.Send(in, DVM_FORMAT, flags, reinterpret_cast<LPARAM>(&query)), DV_ERR_NOTSUPPORTED,
                 "DVM_FORMAT with flag word " + std::to_string(flags));
    c.Expect(GetFormat(c, ext, &current), DV_ERR_NOTSUPPORTED, "DVM_FORMAT on VIDEO_EXTERNALIN");
    c.Expect(SetFormat(c, in, Format(176, 144, 24, 0, 176 * 144 * 3), 39), DV_ERR_SIZEFIELD,
             "DVM_FORMAT SET from 39 bytes");
    VIDEOCONFIGPARMS nullData = ConfigParms(nullptr, sizeof current);
    c.Refused(c.Send(in, DVM_FORMAT, VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&nullData)),
              "DVM_FORMAT SET from a null buffer");

    const struct {
        BITMAPINFOHEADER format;
        const char* name;
    } refused[] = {
        {Format(0, 144, 24, 0, 0), "width 0"},
        {Format(176, 0, 24, 0, 0), "height 0"},
        {Format(-176, 144, 24, 0, 0), "width -176"},
        {Format(176, -144, 24, 0, 0), "height -144 (top-down)"},
        {Format(100, 100, 24, 0, 30000), "100 x 100"},
        {Format(1000, 1000, 24, 0, 3000000), "1000 x 1000"},
        {Format(0x7FFFFFFF, 0x7FFFFFFF, 24, 0, 0), "2^31-1 square"},
        {Format(176, 144, 32, 0, 176 * 144 * 4), "32 bits per pixel"},
        {Format(176, 144, 0, 0, 0), "0 bits per pixel"},
        {Format(176, 144, 24, mmioFOURCC('M', 'J', 'P', 'G'), 176 * 144 * 3), "MJPG"},
        {Format(176, 144, 16, mmioFOURCC('P', 'Y', 'U', 'V'), 176 * 144 * 2), "PYUV (the camera's own)"},
        {Format(704, 576, 16, 0, 704 * 576 * 2), "704 x 576 at 16 bits"},
        {Format(176, 144, 9, mmioFOURCC('Y', 'V', 'U', '9'), 176 * 144 * 9 / 8), "YVU9 (no camera layout for it)"},
    };
    for (const auto& r : refused) {
        c.Expect(SetFormat(c, in, r.format), DV_ERR_NOTSUPPORTED, std::string("DVM_FORMAT SET ") + r.name);
        BITMAPINFOHEADER after;
        c.Expect(GetFormat(c, in, &after), 0, "  ... then GET CURRENT");
        c.Check(after.biWidth > 0 && after.biHeight > 0 && after.biSizeImage > 0 &&
                    (after.biWidth != r.format.biWidth || after.biHeight != r.format.biHeight ||
                     after.biBitCount != r.format.biBitCount || after.biCompression != r.format.biCompression),
                "  ... answers a format the driver delivers, not the refused one", FormatText(after));
    }

    const struct {
        const char* format;
        LONG width, height;
    } accepted[] = {{"rgb24", 176, 144}, {"rgb16", 176, 144}, {"rgb8", 176, 144},  {"i420", 176, 144},
                    {"yv12", 176, 144},  {"yuy2", 176, 144},  {"uyvy", 176, 144},  {"yuy2", 320, 240},
                    {"rgb24", 352, 288}, {"i420", 352, 288},  {"rgb24", 704, 576}, {"rgb24", 160, 120},
                    {"rgb24", 8, 4}};
    for (const auto& a : accepted) {
        const PixelFormat* pixel = FindPixelFormat(a.format);
        if (!pixel) continue;
        BITMAPINFOHEADER want = Format(a.width, a.height, pixel->bitCount, pixel->compression, 0);
        std::string name = std::string(a.format) + " " + std::to_string(a.width) + " x " + std::to_string(a.height);
        LRESULT set = SetFormat(c, in, want);
        c.Expect(set, 0, "DVM_FORMAT SET " + name);
        if (set != 0) continue;
        BITMAPINFOHEADER got;
        c.Expect(GetFormat(c, in, &got), 0, "  ... then GET CURRENT");
        c.Check(got.biWidth == a.width && got.biHeight == a.height && got.biCompression == pixel->compression &&
                    got.biSizeImage > 0,
                "  ... answers the format set", FormatText(got));
        CheckFrameInto(c, in, got, name);
    }
    c.Expect(SetFormat(c, in, Format(176, 144, 24, 0, 176 * 144 * 3)), 0, "DVM_FORMAT SET back to rgb24 176 x 144");
}

void CheckPalette(Checker& c, DWORD_PTR in, DWORD_PTR ext) {
    DWORD size = 0;
    VIDEOCONFIGPARMS parms = ConfigParms(nullptr, 0, &size);
    c.Expect(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE, reinterpret_cast<LPARAM>(&parms)),
             0, "DVM_PALETTE QUERYSIZE");
    c.Check(size >= 8 && size <= 4 + 4 * 256, "  ... a LOGPALETTE's size", "got " + std::to_string(size));
    if (size < 4 || size > 4 + 4 * 256) size = 4 + 4 * 256;
    std::vector<BYTE> palette(size + 16, 0xA5);
    parms = ConfigParms(palette.data(), size);
    c.Expect(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_GET, reinterpret_cast<LPARAM>(&parms)), 0, "DVM_PALETTE GET");
    c.Check(palette[size] == 0xA5, "  ... writes nothing past the size it named");
    std::vector<BYTE> small(size - 1, 0xA5);
    parms = ConfigParms(small.data(), size - 1);
    c.Expect(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_GET, reinterpret_cast<LPARAM>(&parms)), DV_ERR_NOTSUPPORTED,
             "DVM_PALETTE GET into one byte less");
    parms = ConfigParms(palette.data(), size);
    c.Expect(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&parms)), 0,
             "DVM_PALETTE SET of the palette read");
    parms = ConfigParms(nullptr, size);
    c.Expect(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&parms)), DV_ERR_PARAM1,
             "DVM_PALETTE SET of a null palette");
    // A palette header that claims more entries than the block holds.
    BYTE shortPalette[8] = {0x00, 0x03, 0x00, 0x01, 1, 2, 3, 0};
    parms = ConfigParms(shortPalette, sizeof shortPalette);
    c.Refused(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&parms)),
              "DVM_PALETTE SET of 8 bytes claiming 256 entries");
    c.Refused(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_SET, 0), "DVM_PALETTE SET without VIDEOCONFIGPARMS");
    c.Refused(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_GET, 0), "DVM_PALETTE GET without VIDEOCONFIGPARMS");
    parms = ConfigParms(nullptr, 0);
    c.Expect(c.Send(in, DVM_PALETTE, VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&parms)), 0,
             "DVM_PALETTE QUERY SET");
    c.Expect(c.Send(in, DVM_PALETTE, 0x4321, reinterpret_cast<LPARAM>(&parms)), DV_ERR_NOTSUPPORTED,
             "DVM_PALETTE with flag word 0x4321");
    c.Expect(c.Send(ext, DVM_PALETTE, VIDEO_CONFIGURE_GET, reinterpret_cast<LPARAM>(&parms)), DV_ERR_NOTSUPPORTED,
             "DVM_PALETTE on VIDEO_EXTERNALIN");
}

void CheckSingleFrames(Checker& c, DWORD_PTR in, DWORD_PTR ext) {
    BITMAPINFOHEADER format;
    GetFormat(c, in, &format);
    std::vector<BYTE> buffer(format.biSizeImage, 0xA5);
    VIDEOHDR header;
    memset(&header, 0, sizeof header);
    c.Expect(c.Send(in, DVM_FRAME, 0, 0), DV_ERR_PARAM1, "DVM_FRAME without a VIDEOHDR");
    c.Expect(c.SendPtr(in, DVM_FRAME, &header, sizeof header), DV_ERR_PARAM1, "DVM_FRAME into a null buffer");
    header.lpData = buffer.data();
    c.Expect(c.SendPtr(in, DVM_FRAME, &header, sizeof header), DV_ERR_PARAM1, "DVM_FRAME into 0 bytes");
    header.dwBufferLength = format.biSizeImage - 1;
    c.Refused(c.SendPtr(in, DVM_FRAME, &header, sizeof header), "DVM_FRAME into one byte less than the picture");
    bool untouched = true;
    for (BYTE b : buffer) untouched = untouched && b == 0xA5;
    c.Check(untouched && header.dwBytesUsed == 0 && !(header.dwFlags & VHDR_DONE),
            "  ... writes nothing and leaves the header alone");
    header.dwBufferLength = format.biSizeImage;
    c.Expect(c.SendPtr(ext, DVM_FRAME, &header, sizeof header), DV_ERR_NOTSUPPORTED, "DVM_FRAME on VIDEO_EXTERNALIN");
    c.Check(header.dwFlags == 0 && header.dwBytesUsed == 0, "  ... leaves the header alone");
    CheckFrameInto(c, in, format, "the current format");
}

bool WaitFor(Reports& reports, size_t frames, int milliseconds) {
    for (int t = 0; t < milliseconds; t += 5) {
        {
            std::lock_guard<std::mutex> hold(reports.lock);
            if (reports.data.size() >= frames) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

size_t Count(Reports& reports, UINT msg) {
    std::lock_guard<std::mutex> hold(reports.lock);
    size_t n = 0;
    for (UINT m : reports.messages) n += m == msg ? 1 : 0;
    return n;
}

void CheckStream(Checker& c, DWORD_PTR in, DWORD_PTR ext) {
    Reports reports;
    VIDEO_STREAM_INIT_PARMS init = {66666, reinterpret_cast<DWORD_PTR>(StreamCallback),
                                    reinterpret_cast<DWORD_PTR>(&reports), DCB_FUNCTION << 16, in};
    const UINT streamMessages[] = {DVM_STREAM_ADDBUFFER, DVM_STREAM_FINI,          DVM_STREAM_GETERROR,
                                   DVM_STREAM_INIT,      DVM_STREAM_PREPAREHEADER, DVM_STREAM_RESET,
                                   DVM_STREAM_START,     DVM_STREAM_STOP,          DVM_STREAM_UNPREPAREHEADER};
    int refusedOnExternal = 0;
    for (UINT msg : streamMessages)
        refusedOnExternal += c.SendPtr(ext, msg, &init, sizeof init) == DV_ERR_NOTSUPPORTED ? 1 : 0;
    c.Check(refusedOnExternal == 9, "every stream message on VIDEO_EXTERNALIN -> 17",
            std::to_string(9 - refusedOnExternal) + " answered otherwise");

    BITMAPINFOHEADER format;
    GetFormat(c, in, &format);
    const int kBuffers = 3;
    std::vector<BYTE> buffers[kBuffers];
    VIDEOHDR headers[kBuffers];
    memset(headers, 0, sizeof headers);
    for (int i = 0; i < kBuffers; i++) {
        buffers[i].assign(format.biSizeImage, 0);
        headers[i].lpData = buffers[i].data();
        headers[i].dwBufferLength = format.biSizeImage;
        headers[i].dwFlags = VHDR_PREPARED;
    }
    c.Expect(c.SendPtr(in, DVM_STREAM_ADDBUFFER, &headers[0], sizeof(VIDEOHDR)), DV_ERR_NONSPECIFIC,
             "DVM_STREAM_ADDBUFFER before DVM_STREAM_INIT");
    c.Expect(c.Send(in, DVM_STREAM_START), DV_ERR_NONSPECIFIC, "DVM_STREAM_START before DVM_STREAM_INIT");
    c.Expect(c.Send(in, DVM_STREAM_RESET), DV_ERR_NONSPECIFIC, "DVM_STREAM_RESET before DVM_STREAM_INIT");
    c.Expect(c.Send(in, DVM_STREAM_FINI), DV_ERR_NONSPECIFIC, "DVM_STREAM_FINI before DVM_STREAM_INIT");
    c.Refused(c.Send(in, DVM_STREAM_INIT, 0, 0), "DVM_STREAM_INIT without VIDEO_STREAM_INIT_PARMS");
    c.Expect(c.SendPtr(in, DVM_STREAM_INIT, &init, sizeof init), 0, "DVM_STREAM_INIT at 15 frames/s");
    c.Check(Count(reports, MM_DRVM_OPEN) == 1, "  ... reports MM_DRVM_OPEN");
    c.Expect(c.SendPtr(in, DVM_STREAM_INIT, &init, sizeof init), DV_ERR_NONSPECIFIC, "DVM_STREAM_INIT twice");
    c.ExpectNumber(c.Send(in, DRV_CLOSE), 0, "DRV_CLOSE while the stream is initialised");

    c.Expect(c.Send(in, DVM_STREAM_ADDBUFFER, 0, 0), DV_ERR_NONSPECIFIC, "DVM_STREAM_ADDBUFFER of no header");
    VIDEOHDR bad = headers[0];
    bad.dwFlags = 0;
    c.Expect(c.SendPtr(in, DVM_STREAM_ADDBUFFER, &bad, sizeof bad), DV_ERR_UNPREPARED,
             "DVM_STREAM_ADDBUFFER of an unprepared header");
    bad = headers[0];
    bad.lpData = nullptr;
    c.Refused(c.SendPtr(in, DVM_STREAM_ADDBUFFER, &bad, sizeof bad), "DVM_STREAM_ADDBUFFER of a null buffer");
    bad = headers[0];
    bad.dwBufferLength = format.biSizeImage / 2;
    c.Refused(c.SendPtr(in, DVM_STREAM_ADDBUFFER, &bad, sizeof bad), "DVM_STREAM_ADDBUFFER of half a picture");
    for (int i = 0; i < kBuffers; i++)
        c.Expect(c.SendPtr(in, DVM_STREAM_ADDBUFFER, &headers[i], sizeof(VIDEOHDR)), 0,
                 "DVM_STREAM_ADDBUFFER of buffer " + std::to_string(i + 1));
    c.Expect(c.SendPtr(in, DVM_STREAM_ADDBUFFER, &headers[0], sizeof(VIDEOHDR)), DV_ERR_NONSPECIFIC,
             "DVM_STREAM_ADDBUFFER of a queued buffer");
    c.Expect(c.SendPtr(in, DVM_STREAM_PREPAREHEADER, &headers[0], sizeof(VIDEOHDR)), DV_ERR_NOTSUPPORTED,
             "DVM_STREAM_PREPAREHEADER (the host prepares)");
    c.Expect(c.SendPtr(in, DVM_STREAM_UNPREPAREHEADER, &headers[0], sizeof(VIDEOHDR)), DV_ERR_NOTSUPPORTED,
             "DVM_STREAM_UNPREPAREHEADER");
    MMTIME time;
    memset(&time, 0, sizeof time);
    c.Expect(c.SendPtr(in, DVM_STREAM_GETPOSITION, &time, 11), DV_ERR_NOTSUPPORTED,
             "DVM_STREAM_GETPOSITION with an MMTIME of 11 bytes");
    c.Expect(c.Send(in, DVM_STREAM_GETPOSITION, 0, 12), DV_ERR_NOTSUPPORTED, "DVM_STREAM_GETPOSITION of no MMTIME");
    c.Expect(c.SendPtr(in, DVM_STREAM_GETPOSITION, &time, 12), 0, "DVM_STREAM_GETPOSITION");
    c.Check(time.wType == TIME_MS, "  ... in milliseconds");
    c.Expect(c.Send(in, DVM_STREAM_GETERROR, 0, 0), 0, "DVM_STREAM_GETERROR with no words");
    c.Expect(c.Send(in, DVM_STREAM_FINI), DV_ERR_STILLPLAYING, "DVM_STREAM_FINI with buffers queued");
    c.Expect(c.Send(in, DVM_STREAM_STOP), 0, "DVM_STREAM_STOP before DVM_STREAM_START");

    c.Expect(c.Send(in, DVM_STREAM_START), 0, "DVM_STREAM_START");
    c.Expect(c.Send(in, DVM_STREAM_START), 0, "DVM_STREAM_START while running");
    bool arrived = WaitFor(reports, 2, 5000);
    c.Check(arrived, "  ... frames arrive by MM_DRVM_DATA");
    c.Expect(c.Send(in, DVM_STREAM_STOP), 0, "DVM_STREAM_STOP");
    c.Expect(c.Send(in, DVM_STREAM_RESET), 0, "DVM_STREAM_RESET");
    std::vector<VIDEOHDR*> data;
    {
        std::lock_guard<std::mutex> hold(reports.lock);
        data = reports.data;
    }
    bool once = data.size() == static_cast<size_t>(kBuffers);
    bool whole = true;
    for (VIDEOHDR* header : data) {
        whole = whole && (header->dwFlags & (VHDR_DONE | VHDR_INQUEUE)) == VHDR_DONE &&
                (header->dwBytesUsed == 0 || header->dwBytesUsed == format.biSizeImage);
    }
    for (int i = 0; i < kBuffers; i++) {
        size_t seen = 0;
        for (VIDEOHDR* header : data) seen += header == &headers[i] ? 1 : 0;
        once = once && seen == 1;
    }
    c.Check(once, "  ... every queued buffer came back exactly once",
            std::to_string(data.size()) + " returns of " + std::to_string(kBuffers) + " buffers");
    c.Check(whole, "  ... done, out of the queue, filled whole or not at all");
    c.Expect(c.Send(in, DVM_STREAM_FINI), 0, "DVM_STREAM_FINI");
    c.Check(Count(reports, MM_DRVM_CLOSE) == 1, "  ... reports MM_DRVM_CLOSE");
    c.Expect(c.Send(in, DVM_STREAM_FINI), DV_ERR_NONSPECIFIC, "DVM_STREAM_FINI twice");
    size_t before = Count(reports, MM_DRVM_DATA) + Count(reports, MM_DRVM_ERROR);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    c.Check(Count(reports, MM_DRVM_DATA) + Count(reports, MM_DRVM_ERROR) == before,
            "  ... and nothing is reported after it");
}

}  // namespace

int RunCheck(const Options& options) {
    if (!options.arguments.empty()) {
        fprintf(stderr, "tarncap: check takes no arguments\n");
        return 2;
    }
    Checker c;
    if (!LoadDriver(c.host, options.driver.c_str())) {
        fprintf(stderr, "tarncap: %s\n", c.host.error.c_str());
        return 1;
    }
    CheckDriverMessages(c);
    const char* open = options.openString.c_str();
    VIDEO_OPEN_PARMS parms = OpenParms(VIDEO_IN);
    LRESULT in = c.SendPtr(0, DRV_OPEN, open, reinterpret_cast<LPARAM>(&parms));
    c.Check(in > 1 && parms.dwError == DV_ERR_OK, "DRV_OPEN of VIDEO_IN", "refused with " + ResultText(parms.dwError));
    parms = OpenParms(VIDEO_EXTERNALIN);
    LRESULT ext = c.SendPtr(0, DRV_OPEN, open, reinterpret_cast<LPARAM>(&parms));
    c.Check(ext > 1 && parms.dwError == DV_ERR_OK, "DRV_OPEN of VIDEO_EXTERNALIN",
            "refused with " + ResultText(parms.dwError));
    if (in > 1 && ext > 1) {
        parms = OpenParms(VIDEO_IN);
        c.Expect(c.SendPtr(0, DRV_OPEN, open, reinterpret_cast<LPARAM>(&parms)), 0, "DRV_OPEN of VIDEO_IN twice");
        c.Expect(parms.dwError, DV_ERR_TOOMANYCHANNELS, "  ... dwError");
        CheckSmallHandles(c);
        CheckQueries(c, in, ext);
        CheckFormats(c, in, ext);
        CheckPalette(c, in, ext);
        CheckSingleFrames(c, in, ext);
        CheckStream(c, in, ext);
    }
    if (ext > 1) c.ExpectNumber(c.Send(ext, DRV_CLOSE), 1, "DRV_CLOSE of VIDEO_EXTERNALIN");
    if (in > 1) c.ExpectNumber(c.Send(in, DRV_CLOSE), 1, "DRV_CLOSE of VIDEO_IN");
    CheckBogusHandles(c, in > 1 ? in : 0xBAD0);
    c.ExpectNumber(c.Send(0, DRV_DISABLE), 0, "DRV_DISABLE");
    c.ExpectNumber(c.Send(0, DRV_FREE), 1, "DRV_FREE");
    UnloadDriver(c.host);
    printf("%d passed, %d failed\n", c.passed, c.failed);
    return c.failed ? 1 : 0;
}
