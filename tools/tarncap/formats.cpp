// tarncap formats: what the driver offers on VIDEO_IN, found by asking it
// (DVM_FORMAT SET with one size after another), listed as a video tool
// lists a device's formats: the code or RGB depth, bits per pixel, each
// range of sizes with its step, the sizes the driver doubles, and an
// example of a size it amends.
#include <stdio.h>

#include <string>

#include "commands.h"
#include "media.h"

namespace {

struct SizeRange {
    LONG minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0, stepWidth = 0, stepHeight = 0;
};

bool Takes(Session& session, const PixelFormat& f, LONG width, LONG height) {
    BITMAPINFOHEADER format;
    return TryCaptureFormat(session, f, width, height, &format);
}

// The first width (or height) from `from` up to `to` that the driver takes
// with the other side fixed; 0 if none.
LONG FirstTaken(Session& session, const PixelFormat& f, bool width, LONG from, LONG to, LONG other) {
    for (LONG n = from; n <= to; n++)
        if (width ? Takes(session, f, n, other) : Takes(session, f, other, n)) return n;
    return 0;
}

// The last width (or height) taken when stepping on from `from`.
LONG LastTaken(Session& session, const PixelFormat& f, bool width, LONG from, LONG step, LONG other) {
    LONG n = from;
    while (n + step <= 4096 && (width ? Takes(session, f, n + step, other) : Takes(session, f, other, n + step)))
        n += step;
    return n;
}

// The range of sizes that holds (width, height) with the step found from
// its smallest sides; false when the driver takes no size there.
bool FindRange(Session& session, const PixelFormat& f, LONG width, LONG height, SizeRange* range) {
    range->minWidth = FirstTaken(session, f, true, 1, width, height);
    range->minHeight = FirstTaken(session, f, false, 1, height, width);
    if (!range->minWidth || !range->minHeight) return false;
    range->stepWidth =
        FirstTaken(session, f, true, range->minWidth + 1, range->minWidth + 64, height) - range->minWidth;
    range->stepHeight =
        FirstTaken(session, f, false, range->minHeight + 1, range->minHeight + 64, width) - range->minHeight;
    if (range->stepWidth <= 0 || range->stepHeight <= 0) return false;
    range->maxWidth = LastTaken(session, f, true, range->minWidth, range->stepWidth, height);
    range->maxHeight = LastTaken(session, f, false, range->minHeight, range->stepHeight, width);
    return true;
}

void PrintRange(const SizeRange& r, const char* note) {
    printf("\t\tSize: Stepwise %ldx%ld - %ldx%ld with step %ld/%ld%s\n", (long)r.minWidth, (long)r.minHeight,
           (long)r.maxWidth, (long)r.maxHeight, (long)r.stepWidth, (long)r.stepHeight, note);
}

std::string Describe(const PixelFormat& f) {
    char text[64];
    if (f.compression == 0) {
        snprintf(text, sizeof text, "RGB, %u bits per pixel", f.bitCount);
    } else {
        char code[5] = {(char)f.compression, (char)(f.compression >> 8), (char)(f.compression >> 16),
                        (char)(f.compression >> 24), 0};
        snprintf(text, sizeof text, "'%s', %u bits per pixel", code, f.bitCount);
    }
    return text;
}

// Lists one format; false when the driver does not offer it at all.
bool ListFormat(Session& session, const PixelFormat& f, int number) {
    if (!Takes(session, f, 176, 144)) {
        printf("\t%s (%s): not offered\n", f.name, Describe(f).c_str());
        return false;
    }
    printf("\t[%d]: %s (%s)\n", number, f.name, Describe(f).c_str());
    SizeRange camera;
    if (!FindRange(session, f, 176, 144, &camera)) return true;
    PrintRange(camera, "");
    // Beyond the camera's largest picture: sizes the driver makes by
    // doubling a picture half their size.
    SizeRange doubled;
    LONG wide = camera.maxWidth * 2, tall = camera.maxHeight * 2;
    if (Takes(session, f, wide, tall) && FindRange(session, f, wide, tall, &doubled)) {
        char note[96];
        snprintf(note, sizeof note, ", when wider than %ld or taller than %ld: doubled from half the size",
                 (long)camera.maxWidth, (long)camera.maxHeight);
        PrintRange(doubled, note);
    }
    // A size between two steps, and what the driver takes instead.
    LONG width = camera.minWidth + camera.stepWidth * 12 + camera.stepWidth / 2 - 1;
    LONG height = camera.minHeight + camera.stepHeight * 24 + camera.stepHeight / 2 + 1;
    LONG nearWidth = (width + camera.stepWidth / 2) / camera.stepWidth * camera.stepWidth;
    LONG nearHeight = (height + camera.stepHeight / 2) / camera.stepHeight * camera.stepHeight;
    if (!Takes(session, f, width, height) && Takes(session, f, nearWidth, nearHeight))
        printf("\t\tAmended: %ldx%ld is refused; the nearest size taken is %ldx%ld\n", (long)width, (long)height,
               (long)nearWidth, (long)nearHeight);
    return true;
}

}  // namespace

int RunFormats(const Options& options) {
    if (!options.arguments.empty()) {
        fprintf(stderr, "tarncap: formats takes no arguments\n");
        return 2;
    }
    Session session;
    if (!OpenSession(options, &session)) return 1;
    printf("formats: what %s offers on VIDEO_IN, asked through DVM_FORMAT\n", options.driver.c_str());
    int offered = 0;
    for (size_t i = 0; const PixelFormat* f = PixelFormatAt(i); i++)
        if (ListFormat(session, *f, offered)) offered++;
    CloseSession(&session);
    return offered > 0 ? 0 : 1;
}
