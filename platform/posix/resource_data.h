// The binary resource formats, as the resource compiler writes them and
// Windows reads them: the entries of a compiled resource file (.res), dialog
// templates (DLGTEMPLATE and DLGTEMPLATEEX) and the VS_VERSIONINFO tree.
// Every read is bounded by the record it is in: a record that is cut short
// or malformed is refused with what is wrong, never read past.
#ifndef TARN2_POSIX_RESOURCE_DATA_H
#define TARN2_POSIX_RESOURCE_DATA_H

#include <string>
#include <vector>

#include "user_internal.h"

namespace w32u {

// A resource type or name: a number, or a name kept in upper case, as
// Windows compares names without regard to case.
struct ResourceId {
    bool named = false;
    WORD number = 0;
    std::string name;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    const unsigned char* data = nullptr;
    size_t size = 0;
};

// The resources of a .res image, in file order, pointing into `image`.
// False with `error` naming the entry that is malformed.
bool ReadResourceFile(const unsigned char* image, size_t size, std::vector<ResourceEntry>* out, std::string* error);

// A dialog template of `size` bytes. Texts come out in the ANSI code page;
// creation data points into `data`. False with `error` saying what is wrong.
bool ReadDialogTemplate(const unsigned char* data, size_t size, DialogTemplate* out, std::string* error);

// A value of a version block found by its path ("\" for the fixed part,
// "\StringFileInfo\040904e4\FileVersion"; keys compared without case).
struct VersionValue {
    size_t offset = 0;  // of the value, from the start of the block
    size_t length = 0;  // as stored: characters for text, else bytes
    bool text = false;
};
bool FindVersionValue(const unsigned char* block, size_t size, const char* path, VersionValue* out);

// UTF-16 (little-endian, `units` code units) in the ANSI code page,
// Windows-1252; '?' for a character it lacks.
std::string AnsiFromUtf16(const unsigned char* text, size_t units);

// The characters of Windows-1252's bytes 0x80 to 0x9F.
extern const unsigned short kCp1252High[32];

}  // namespace w32u

#endif
