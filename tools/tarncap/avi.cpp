#include "avi.h"

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define AVIF_HASINDEX 0x00000010
#define AVIIF_KEYFRAME 0x00000010

static void PutWord(std::vector<BYTE>& out, WORD value) {
    out.push_back((BYTE)value);
    out.push_back((BYTE)(value >> 8));
}

static void PutDword(std::vector<BYTE>& out, DWORD value) {
    PutWord(out, (WORD)value);
    PutWord(out, (WORD)(value >> 16));
}

static DWORD Code(const char* code) {
    return mmioFOURCC(code[0], code[1], code[2], code[3]);
}

// A four-character code is its four bytes in order: the little-endian
// value mmioFOURCC makes of them.
static void PutCode(std::vector<BYTE>& out, const char* code) {
    PutDword(out, Code(code));
}

static DWORD Padded(DWORD bytes) {
    return bytes + (bytes & 1);
}

static DWORD FormatBytes(const AviWriter& avi) {
    return 40 + (DWORD)avi.colours.size() * 4;
}

// Everything before the first frame: the RIFF header, 'hdrl' and the
// header of the 'movi' list. Its size depends only on the format, so the
// finished file gets the same block again with the final values.
static std::vector<BYTE> Headers(const AviWriter& avi, DWORD frames, DWORD microSecPerFrame, DWORD riffSize,
                                 DWORD moviSize) {
    const BITMAPINFOHEADER& f = avi.format;
    DWORD strfSize = FormatBytes(avi);
    DWORD strlSize = 4 + (8 + 56) + (8 + strfSize);
    DWORD hdrlSize = 4 + (8 + 56) + (8 + strlSize);
    DWORD bytesPerSecond =
        microSecPerFrame ? (DWORD)((unsigned long long)avi.largestFrame * 1000000u / microSecPerFrame) : 0;
    std::vector<BYTE> out;
    PutCode(out, "RIFF");
    PutDword(out, riffSize);
    PutCode(out, "AVI ");

    PutCode(out, "LIST");
    PutDword(out, hdrlSize);
    PutCode(out, "hdrl");
    PutCode(out, "avih");
    PutDword(out, 56);
    PutDword(out, microSecPerFrame);
    PutDword(out, bytesPerSecond);
    PutDword(out, 0);  // padding granularity
    PutDword(out, AVIF_HASINDEX);
    PutDword(out, frames);
    PutDword(out, 0);  // initial frames
    PutDword(out, 1);  // streams
    PutDword(out, avi.largestFrame);
    PutDword(out, (DWORD)f.biWidth);
    PutDword(out, (DWORD)(f.biHeight < 0 ? -f.biHeight : f.biHeight));
    for (int i = 0; i < 4; i++) PutDword(out, 0);

    PutCode(out, "LIST");
    PutDword(out, strlSize);
    PutCode(out, "strl");
    PutCode(out, "strh");
    PutDword(out, 56);
    PutCode(out, "vids");
    PutDword(out, f.biCompression ? f.biCompression : Code("DIB "));
    PutDword(out, 0);  // flags
    PutWord(out, 0);   // priority
    PutWord(out, 0);   // language
    PutDword(out, 0);  // initial frames
    // The rate is dwRate / dwScale frames per second.
    PutDword(out, microSecPerFrame);
    PutDword(out, 1000000);
    PutDword(out, 0);  // start
    PutDword(out, frames);
    PutDword(out, avi.largestFrame);
    PutDword(out, 0xFFFFFFFFu);  // default quality
    PutDword(out, 0);            // frames vary in size
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, (WORD)f.biWidth);
    PutWord(out, (WORD)(f.biHeight < 0 ? -f.biHeight : f.biHeight));

    PutCode(out, "strf");
    PutDword(out, strfSize);
    BITMAPINFOHEADER info = f;
    info.biSize = 40;
    info.biClrUsed = (DWORD)avi.colours.size();
    const BYTE* raw = reinterpret_cast<const BYTE*>(&info);
    out.insert(out.end(), raw, raw + 40);
    for (const RGBQUAD& c : avi.colours) {
        out.push_back(c.rgbBlue);
        out.push_back(c.rgbGreen);
        out.push_back(c.rgbRed);
        out.push_back(0);
    }

    PutCode(out, "LIST");
    PutDword(out, moviSize);
    PutCode(out, "movi");
    return out;
}

// Ends the file at that many bytes, ready to write on from there.
static void CutAt(AviWriter* avi, DWORD bytes) {
    fseek(avi->file, (long)bytes, SEEK_SET);
    if (ftruncate(fileno(avi->file), (off_t)bytes) != 0) {
        // The file keeps its bytes; the index and the headers still say
        // where the frames end.
    }
}

static bool Fail(AviWriter* avi, const std::string& what, std::string* problem) {
    *problem = what + " " + avi->path;
    return false;
}

bool AviCreate(AviWriter* avi, const std::string& path, const BITMAPINFOHEADER& format,
               const std::vector<RGBQUAD>& colours, std::string* problem) {
    avi->path = path;
    avi->format = format;
    avi->colours.clear();
    if (format.biCompression == 0 && format.biBitCount == 8) {
        avi->colours = colours;
        avi->colours.resize(256, RGBQUAD{0, 0, 0, 0});
    }
    avi->chunkId = Code(format.biCompression == 0 ? "00db" : "00dc");
    avi->index.clear();
    avi->largestFrame = 0;
    avi->file = fopen(path.c_str(), "wb");
    if (!avi->file) return Fail(avi, "cannot write", problem);
    // Each write goes to the file at once, so a full disk shows at the frame
    // that did not fit and the file holds only whole frames before it.
    setvbuf(avi->file, nullptr, _IONBF, 0);
    std::vector<BYTE> head = Headers(*avi, 0, 0, 0, 0);
    avi->moviType = (long)head.size() - 4;
    avi->written = (DWORD)head.size();
    if (fwrite(head.data(), 1, head.size(), avi->file) != head.size()) {
        AviAbandon(avi);
        return Fail(avi, "writing failed:", problem);
    }
    return true;
}

bool AviWriteFrame(AviWriter* avi, const BYTE* data, DWORD bytes, std::string* problem) {
    if (!avi->file) return Fail(avi, "not open:", problem);
    // The frame, its index entry and the index's own header must still fit.
    unsigned long long after = (unsigned long long)avi->written + 8 + Padded(bytes) + 8 + (avi->index.size() + 1) * 16;
    if (after > avi->sizeLimit) return Fail(avi, "the AVI size limit is reached in", problem);
    std::vector<BYTE> head;
    PutDword(head, avi->chunkId);
    PutDword(head, bytes);
    bool ok = fwrite(head.data(), 1, 8, avi->file) == 8;
    if (ok && bytes) ok = fwrite(data, 1, bytes, avi->file) == bytes;
    if (ok && (bytes & 1)) ok = fputc(0, avi->file) != EOF;
    if (!ok) {
        // The index goes where the broken chunk began, and the part of it
        // that was written gives its room back.
        CutAt(avi, avi->written);
        return Fail(avi, "writing failed:", problem);
    }
    avi->index.push_back(AviIndexEntry{avi->written - (DWORD)avi->moviType, bytes});
    avi->written += 8 + Padded(bytes);
    if (bytes > avi->largestFrame) avi->largestFrame = bytes;
    return true;
}

static std::vector<BYTE> IndexChunk(const AviWriter& avi) {
    std::vector<BYTE> index;
    PutCode(index, "idx1");
    PutDword(index, (DWORD)avi.index.size() * 16);
    for (const AviIndexEntry& entry : avi.index) {
        PutDword(index, avi.chunkId);
        PutDword(index, AVIIF_KEYFRAME);
        PutDword(index, entry.offset);
        PutDword(index, entry.size);
    }
    return index;
}

bool AviFinish(AviWriter* avi, DWORD microSecPerFrame, std::string* problem) {
    if (!avi->file) return Fail(avi, "not open:", problem);
    std::vector<BYTE> index = IndexChunk(*avi);
    bool ok = fseek(avi->file, (long)avi->written, SEEK_SET) == 0 &&
              fwrite(index.data(), 1, index.size(), avi->file) == index.size();
    // On a full disk the index may not fit: the last frames give it their
    // room, so what stays is still a whole, indexed file.
    while (!ok && !avi->index.empty()) {
        avi->written = (DWORD)avi->moviType + avi->index.back().offset;
        avi->index.pop_back();
        CutAt(avi, avi->written);
        index = IndexChunk(*avi);
        ok = fwrite(index.data(), 1, index.size(), avi->file) == index.size();
    }
    DWORD total = avi->written + (DWORD)index.size();
    DWORD moviSize = avi->written - (DWORD)avi->moviType;
    std::vector<BYTE> head = Headers(*avi, (DWORD)avi->index.size(), microSecPerFrame, total - 8, moviSize);
    if (ok) ok = fseek(avi->file, 0, SEEK_SET) == 0;
    if (ok) ok = fwrite(head.data(), 1, head.size(), avi->file) == head.size();
    if (fclose(avi->file) != 0) ok = false;
    avi->file = nullptr;
    if (!ok) return Fail(avi, "writing failed:", problem);
    return true;
}

void AviAbandon(AviWriter* avi) {
    if (!avi->file) return;
    // Only a file of our own goes: --out may name a device.
    struct stat info;
    bool regular = fstat(fileno(avi->file), &info) == 0 && S_ISREG(info.st_mode);
    fclose(avi->file);
    avi->file = nullptr;
    if (regular) remove(avi->path.c_str());
}

std::vector<RGBQUAD> ColoursFromPalette(const std::vector<BYTE>& palette) {
    std::vector<RGBQUAD> colours(256, RGBQUAD{0, 0, 0, 0});
    if (palette.size() < 4) return colours;
    size_t count = palette[2] | (palette[3] << 8);
    for (size_t i = 0; i < count && i < 256 && 4 + i * 4 + 3 < palette.size(); i++) {
        const BYTE* entry = &palette[4 + i * 4];
        colours[i].rgbRed = entry[0];
        colours[i].rgbGreen = entry[1];
        colours[i].rgbBlue = entry[2];
    }
    return colours;
}
