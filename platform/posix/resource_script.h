// The resource-script reader: the subset of the resource compiler's
// language that dialog templates and version records are written in.
#ifndef TARN2_POSIX_RESOURCE_SCRIPT_H
#define TARN2_POSIX_RESOURCE_SCRIPT_H

#include <map>
#include <string>
#include <vector>

#include "user_internal.h"

namespace w32u {

struct VersionRecord {
    bool present = false;
    VS_FIXEDFILEINFO fixed;
    // "\StringFileInfo\040904e4\FileVersion" -> "1.0.3.0", keys as written.
    std::vector<std::pair<std::string, std::string>> strings;
    std::vector<WORD> translations;  // language, code page, ...
};

struct ResourceSet {
    std::vector<DialogTemplate> dialogs;
    VersionRecord version;
};

struct ScriptFile {
    std::string name;
    std::string text;
};

// Parses `main` (its #includes are looked up among `includes` by base name;
// system headers in angle brackets and the usual Windows headers are known
// without a file). On failure returns false and `error` reads
// "NAME(LINE): what is wrong".
bool ParseResourceScript(const ScriptFile& main, const std::vector<ScriptFile>& includes, ResourceSet* out,
                         std::string* error);

}  // namespace w32u

#endif
