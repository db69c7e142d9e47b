// Fuzz target: the resource-script reader that builds the dialog templates
// and the version record from the .rc text. The input is the script; after
// its first zero byte comes an include file the script may name as
// "fuzz.h". Every fault must come back as "FILE(LINE): what", never as a
// crash, a read past the text, or a loop without end.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/posix/resource_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 262144) return 0;
    const char* text = reinterpret_cast<const char*>(data);
    const char* zero = static_cast<const char*>(memchr(text, 0, size));
    size_t mainSize = zero ? (size_t)(zero - text) : size;
    w32u::ScriptFile main{"fuzz.rc", std::string(text, mainSize)};
    std::vector<w32u::ScriptFile> includes;
    if (zero) includes.push_back({"fuzz.h", std::string(zero + 1, size - mainSize - 1)});
    w32u::ResourceSet set;
    std::string error;
    bool parsed = w32u::ParseResourceScript(main, includes, &set, &error);
    if (!parsed && error.empty()) abort();  // a refusal always says why
    return 0;
}
