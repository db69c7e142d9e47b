// What tarncap's capture commands share: the session with the driver (load,
// enable, the VIDEO_IN channel), the pixel formats by name, and the writing
// of pictures.
#ifndef TARNCAP_MEDIA_H
#define TARNCAP_MEDIA_H

#include <string>
#include <vector>

#include "commands.h"
#include "host.h"

struct PixelFormat {
    const char* name;
    WORD bitCount;
    DWORD compression;
};

const PixelFormat* FindPixelFormat(const char* name);
// The formats tarncap knows, in order; null past the last.
const PixelFormat* PixelFormatAt(size_t index);
const char* PixelFormatNames(void);
const char* PixelFormatName(const BITMAPINFOHEADER& format);
bool ParseSize(const char* text, LONG* width, LONG* height);

struct Session {
    Host host;
    DWORD_PTR videoIn = 0;
    bool enabled = false;
};

// Loads and enables the driver and opens VIDEO_IN; on failure says why on
// stderr and leaves nothing open.
bool OpenSession(const Options& options, Session* session);
void CloseSession(Session* session);

// Sets the capture format through DVM_FORMAT and reads back what the driver
// holds; on refusal says so, with the nearest size the driver would take.
bool SetCaptureFormat(Session& session, const char* name, LONG width, LONG height, BITMAPINFOHEADER* format);
// Asks the driver to take that format, quietly: whether it did.
bool TryCaptureFormat(Session& session, const PixelFormat& f, LONG width, LONG height, BITMAPINFOHEADER* format);
bool GetCapturePalette(Session& session, std::vector<BYTE>* palette);
// A camera control's value as `tarncap ctrl` shows it ("firmware" 1.3,
// "port" 1 ...), read through the private messages; false without an answer.
bool ReadControlText(Session& session, const char* name, std::string* text);

// "frame.bmp" for one picture, "frame-0001.bmp" ... for several; ".yuv" for
// the YUV formats.
std::string FramePath(const std::string& base, int index, int count, const BITMAPINFOHEADER& format);
// A BMP file for RGB (with the palette for 8 bits), the raw bytes otherwise.
bool WritePicture(const std::string& path, const BITMAPINFOHEADER& format, const std::vector<BYTE>& palette,
                  const BYTE* data, DWORD bytes, std::string* problem);

#endif
