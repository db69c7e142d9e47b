// The decoder library, loaded by name and called by ordinal. Every entry is
// looked up at start; a library that lacks one is not used at all, so a
// frame never reaches a half-present decoder.
#include "camera_device.h"

typedef void(__cdecl* StartEntry)(void);
typedef void(__cdecl* EndEntry)(void);
typedef DWORD(__cdecl* OpenEntry)(DWORD compression, DWORD bitCount);
typedef DWORD(__cdecl* VerifyEntry)(const BYTE* frame, BYTE* recordA, BYTE* recordB);
typedef DWORD(__cdecl* DecodeEntry)(DWORD decoder, const BYTE* frame, BYTE* target, DWORD width, DWORD height,
                                    DWORD* state);
typedef void(__cdecl* SetPaletteEntry)(const void* palette);
typedef void(__cdecl* GetPaletteEntry)(void* sizeRecord, void* destination);
typedef void(__cdecl* DoubleEntry)(BYTE* picture, DWORD height, DWORD width);

static const char kDecoderLibrary[] = "mbkdec32.dll";

static HMODULE library = NULL;
static StartEntry startEntry;
static EndEntry endEntry;
static OpenEntry openEntry;
static VerifyEntry verifyEntry;
static DecodeEntry decodeEntry;
static SetPaletteEntry setPaletteEntry;
static GetPaletteEntry getPaletteEntry;
static DoubleEntry doubleEntry;

static FARPROC Entry(int ordinal) {
    return GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
}

static void ForgetEntries(void) {
    startEntry = NULL;
    endEntry = NULL;
    openEntry = NULL;
    verifyEntry = NULL;
    decodeEntry = NULL;
    setPaletteEntry = NULL;
    getPaletteEntry = NULL;
    doubleEntry = NULL;
}

static int LoadDecoderLibrary(void) {
    if (library) return 1;
    library = LoadLibraryA(kDecoderLibrary);
    if (!library) return 0;
    startEntry = (StartEntry)Entry(1);
    endEntry = (EndEntry)Entry(2);
    openEntry = (OpenEntry)Entry(3);
    verifyEntry = (VerifyEntry)Entry(4);
    decodeEntry = (DecodeEntry)Entry(5);
    setPaletteEntry = (SetPaletteEntry)Entry(6);
    getPaletteEntry = (GetPaletteEntry)Entry(7);
    doubleEntry = (DoubleEntry)Entry(8);
    if (startEntry && endEntry && openEntry && verifyEntry && decodeEntry && setPaletteEntry && getPaletteEntry &&
        doubleEntry)
        return 1;
    FreeLibrary(library);
    library = NULL;
    ForgetEntries();
    return 0;
}

int StartDecoderLibrary(void) {
    if (!LoadDecoderLibrary()) return 0;
    startEntry();
    return 1;
}

void EndDecoderLibrary(void) {
    if (!library) return;
    endEntry();
    FreeLibrary(library);
    library = NULL;
    ForgetEntries();
}

DWORD DecoderOpen(DWORD compression, DWORD bitCount) {
    return openEntry ? openEntry(compression, bitCount) : 0;
}

DWORD DecoderVerify(const BYTE* frame, BYTE* recordA, BYTE* recordB) {
    return verifyEntry ? verifyEntry(frame, recordA, recordB) : 1;
}

DWORD DecoderDecode(DWORD decoder, const BYTE* frame, BYTE* target, WORD width, WORD height, DWORD* state) {
    return decodeEntry ? decodeEntry(decoder, frame, target, width, height, state) : 1;
}

void DecoderSetPalette(const void* palette) {
    if (setPaletteEntry) setPaletteEntry(palette);
}

void DecoderGetPalette(void* sizeRecord, void* destination) {
    if (getPaletteEntry) getPaletteEntry(sizeRecord, destination);
}

void DecoderDouble(BYTE* picture, WORD height, WORD width) {
    if (doubleEntry) doubleEntry(picture, height, width);
}
