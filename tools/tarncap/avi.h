// An AVI file of uncompressed frames, written as frames arrive: RIFF 'AVI '
// with the header list (main header, one video stream with its format), the
// frames as '00db' chunks ('00dc' for the YUV codes) in 'movi', and the
// 'idx1' index. The counts and the frame period are filled in at the end.
#ifndef TARNCAP_AVI_H
#define TARNCAP_AVI_H

#include <stdio.h>

#include <string>
#include <vector>

#include "platform/win32.h"

// AVI 1.0 sizes are 32-bit, and many readers take them as signed.
#define AVI_SIZE_LIMIT 0x7FFFFFFFu

struct AviIndexEntry {
    DWORD offset;  // of the chunk's id, from the 'movi' list type
    DWORD size;
};

struct AviWriter {
    FILE* file = nullptr;
    std::string path;
    BITMAPINFOHEADER format = {};
    std::vector<RGBQUAD> colours;  // 8-bit RGB only
    DWORD chunkId = 0;
    std::vector<AviIndexEntry> index;
    DWORD largestFrame = 0;
    long moviType = 0;  // file position of 'movi'
    DWORD written = 0;  // bytes in the file so far
    DWORD sizeLimit = AVI_SIZE_LIMIT;
};

// Creates the file and writes the headers for frames of `format`; colours
// are the 256 entries of an 8-bit picture (ignored for other formats).
bool AviCreate(AviWriter* avi, const std::string& path, const BITMAPINFOHEADER& format,
               const std::vector<RGBQUAD>& colours, std::string* problem);
// Appends one frame. Fails, writing nothing, when the frame would take the
// file past its size limit.
bool AviWriteFrame(AviWriter* avi, const BYTE* data, DWORD bytes, std::string* problem);
// Writes the index, fills in the frame count and the period of one frame in
// microseconds, and closes the file. When the disk is full, the last frames
// are dropped until the index fits.
bool AviFinish(AviWriter* avi, DWORD microSecPerFrame, std::string* problem);
// Closes and removes an unfinished file.
void AviAbandon(AviWriter* avi);

// The 256 colours of an 8-bit picture from the driver's palette (a
// LOGPALETTE: version, count, then red, green, blue, flags per entry).
std::vector<RGBQUAD> ColoursFromPalette(const std::vector<BYTE>& palette);

#endif
