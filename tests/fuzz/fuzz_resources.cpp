// Fuzz target: the resource readers, on the input as a .res file with its templates and version records and
// whole as each. A refusal always says why; each record is a copy of its own, so a read past it is seen.
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/posix/resource_data.h"

namespace {

void ReadTemplate(const unsigned char* data, size_t size) {
    std::vector<unsigned char> copy(data, data + size);
    w32u::DialogTemplate dialog;
    std::string error;
    if (!w32u::ReadDialogTemplate(copy.data(), copy.size(), &dialog, &error) && error.empty()) abort();
}

void ReadVersion(const unsigned char* data, size_t size) {
    std::vector<unsigned char> copy(data, data + size);
    static const char* const paths[] = {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904e4\\FileVersion",
                                        "\\StringFileInfo\\040904E4\\originalfilename"};
    for (const char* path : paths) {
        w32u::VersionValue value;
        if (!w32u::FindVersionValue(copy.data(), copy.size(), path, &value)) continue;
        size_t bytes = value.text ? value.length * 2 : value.length;
        if (value.offset > copy.size() || copy.size() - value.offset < bytes) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 262144) return 0;
    std::vector<w32u::ResourceEntry> entries;
    std::string error;
    if (w32u::ReadResourceFile(data, size, &entries, &error)) {
        for (const w32u::ResourceEntry& e : entries) {
            if (e.data < data || e.data + e.size > data + size) abort();
            if (!e.type.named && e.type.number == 5) ReadTemplate(e.data, e.size);
            if (!e.type.named && e.type.number == 16) ReadVersion(e.data, e.size);
        }
    } else if (error.empty()) {
        abort();
    }
    ReadTemplate(data, size);
    ReadVersion(data, size);
    return 0;
}
