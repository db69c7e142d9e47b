// Resources of modules: the resource script each module carries (embedded
// at build time, or given by a test), parsed once on first use, and what
// Win32 reads from it: dialog templates by id (FindResourceA,
// DialogBoxParamA) and the version record (GetFileVersionInfoSizeA,
// GetFileVersionInfoA, VerQueryValueA).
//
// A module handle is matched to the script embedded in that module. The
// main program (GetModuleHandleA(NULL)), which is what a program linked
// with the driver archive passes, gets the script embedded in itself; when
// no script belongs to the handle but exactly one script is known, that one
// is used, as a statically linked driver has no module of its own.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "resource_script.h"

namespace w32u {

namespace {

struct Registration {
    HINSTANCE module = nullptr;  // given by a test, else found from the anchor
    const void* anchor = nullptr;
    bool mainProgram = false;
    std::string fileName;
    ScriptFile script;
    std::vector<ScriptFile> includes;
    bool parsed = false;
    bool failed = false;
    ResourceSet resources;
};

std::vector<std::shared_ptr<Registration>>& Registrations() {
    static auto* list = new std::vector<std::shared_ptr<Registration>>;
    return *list;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

std::vector<ScriptFile> Includes(const char* const* includes, int count) {
    std::vector<ScriptFile> out;
    for (int i = 0; includes && i + 1 < 2 * count; i += 2)
        if (includes[i] && includes[i + 1]) out.push_back({includes[i], includes[i + 1]});
    return out;
}

// Parses on first use; a script that does not parse is reported once.
const ResourceSet* Resources(Registration& r) {
    if (!r.parsed) {
        r.parsed = true;
        std::string error;
        if (!ParseResourceScript(r.script, r.includes, &r.resources, &error)) {
            r.failed = true;
            PosixReportProblem(("resource script " + error).c_str());
        }
    }
    return r.failed ? nullptr : &r.resources;
}

HINSTANCE MainProgram() {
    static HINSTANCE main = static_cast<HINSTANCE>(dlopen(nullptr, RTLD_NOW));
    return main;
}

// The module handle an embedded script belongs to.
bool BelongsTo(const Registration& r, HINSTANCE module) {
    if (r.module) return r.module == module;
    if (r.mainProgram) return module == MainProgram();
    Dl_info info;
    if (!dladdr(r.anchor, &info) || !info.dli_fname) return false;
    void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);
    return handle == static_cast<void*>(module);
}

std::shared_ptr<Registration> ForModule(HINSTANCE module) {
    Hold hold(Lock());
    auto& list = Registrations();
    for (auto& r : list)
        if (r->module && r->module == module) return r;
    for (auto& r : list)
        if (!r->module && BelongsTo(*r, module)) return r;
    std::shared_ptr<Registration> only;
    for (auto& r : list) {
        if (r->module) continue;
        if (only && only->script.text != r->script.text) return nullptr;
        if (!only) only = r;
    }
    return only;
}

std::shared_ptr<Registration> ForFile(const char* file) {
    if (!file) return nullptr;
    std::string wanted = RealPath(file);
    std::string base = wanted.substr(wanted.find_last_of('/') + 1);
    Hold hold(Lock());
    for (auto& r : Registrations())
        if (!r->fileName.empty() && RealPath(r->fileName) == wanted) return r;
    for (auto& r : Registrations()) {
        std::string name = r->fileName.substr(r->fileName.find_last_of("/\\") + 1);
        if (!name.empty() && strcasecmp(name.c_str(), base.c_str()) == 0) return r;
    }
    return nullptr;
}

std::string TemplateName(const char* name) {
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    std::string out = name;
    if (!out.empty() && out[0] == '#') return "#" + std::to_string(atoi(out.c_str() + 1));
    for (char& c : out) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return out;
}

const DialogTemplate* FindIn(const ResourceSet& set, const std::string& name) {
    for (const DialogTemplate& d : set.dialogs)
        if (d.name == name) return &d;
    return nullptr;
}

// The version block handed to callers: self-contained, so a caller may copy
// it. Layout: a header, the fixed record, the translations, then records of
// key and value, each zero-terminated and 4-aligned.
struct BlockHeader {
    char magic[8];
    DWORD size;
    DWORD stringCount;
    DWORD translationCount;
    VS_FIXEDFILEINFO fixed;
};

const char kMagic[8] = {'T', '2', 'V', 'E', 'R', 'S', '0', '1'};

size_t Align4(size_t n) {
    return (n + 3) & ~static_cast<size_t>(3);
}

std::vector<char> BuildBlock(const VersionRecord& v) {
    std::vector<char> block(sizeof(BlockHeader));
    BlockHeader h;
    memcpy(h.magic, kMagic, sizeof kMagic);
    h.stringCount = static_cast<DWORD>(v.strings.size());
    h.translationCount = static_cast<DWORD>(v.translations.size());
    h.fixed = v.fixed;
    for (WORD w : v.translations) {
        block.push_back(static_cast<char>(w & 0xFF));
        block.push_back(static_cast<char>(w >> 8));
    }
    block.resize(Align4(block.size()));
    for (const auto& entry : v.strings) {
        for (const std::string* s : {&entry.first, &entry.second}) {
            block.insert(block.end(), s->begin(), s->end());
            block.push_back('\0');
            block.resize(Align4(block.size()));
        }
    }
    h.size = static_cast<DWORD>(block.size());
    memcpy(block.data(), &h, sizeof h);
    return block;
}

std::string CanonicalKey(const char* key) {
    std::string out;
    for (const char* p = key; *p; ++p) {
        char c = *p == '/' ? '\\' : *p;
        if (c == '\\' && !out.empty() && out.back() == '\\') continue;
        out += static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    if (out.empty() || out[0] != '\\') out = "\\" + out;
    if (out.size() > 1 && out.back() == '\\') out.pop_back();
    return out;
}

}  // namespace

bool FindDialogTemplate(HINSTANCE module, const char* name, DialogTemplate* out) {
    if (!name) return false;
    std::shared_ptr<Registration> r = ForModule(module);
    if (!r) {
        PosixReportProblem(("no resource script for the module asking for dialog " + TemplateName(name)).c_str());
        return false;
    }
    Hold hold(Lock());
    const ResourceSet* set = Resources(*r);
    if (!set) return false;
    const DialogTemplate* d = FindIn(*set, TemplateName(name));
    if (!d) {
        PosixReportProblem(("the resource script has no dialog " + TemplateName(name)).c_str());
        return false;
    }
    *out = *d;
    return true;
}

}  // namespace w32u

using namespace w32u;

extern "C" {

int PosixRegisterResourceScript(HINSTANCE module, const char* fileName, const char* script, size_t size,
                                const char* const* includes, int includeCount) {
    if (!module || !script) return 0;
    auto r = std::make_shared<Registration>();
    r->module = module;
    r->fileName = fileName ? fileName : "";
    r->script = {fileName ? fileName : "script.rc", std::string(script, size)};
    r->includes = Includes(includes, includeCount);
    std::string error;
    if (!ParseResourceScript(r->script, r->includes, &r->resources, &error)) {
        PosixReportProblem(("resource script " + error).c_str());
        return 0;
    }
    r->parsed = true;
    Hold hold(Lock());
    PosixUnregisterResourceScript(module);
    Registrations().push_back(r);
    return 1;
}

void PosixUnregisterResourceScript(HINSTANCE module) {
    Hold hold(Lock());
    auto& list = Registrations();
    for (size_t i = list.size(); i-- > 0;)
        if (list[i]->module == module) list.erase(list.begin() + static_cast<long>(i));
}

int PosixCheckResourceScript(const char* name, const char* script, size_t size, const char* const* includes,
                             int includeCount, char* error, size_t errorSize) {
    ResourceSet set;
    std::string why;
    bool ok = script && ParseResourceScript({name ? name : "script.rc", std::string(script, size)},
                                            Includes(includes, includeCount), &set, &why);
    if (!script) why = "no script";
    if (error && errorSize) {
        size_t n = std::min(why.size(), errorSize - 1);
        memcpy(error, why.data(), n);
        error[n] = '\0';
    }
    return ok ? 1 : 0;
}

void PosixAddEmbeddedScript(const void* anchor, const char* name, const char* script, size_t size,
                            const char* const* includes, int includeCount) {
    auto r = std::make_shared<Registration>();
    r->anchor = anchor;
    r->script = {name ? name : "script.rc", std::string(script, size)};
    r->includes = Includes(includes, includeCount);
    Dl_info info;
    if (dladdr(anchor, &info) && info.dli_fname) {
        r->fileName = info.dli_fname;
        void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
        // The main program has no name of its own in the loader's list.
        r->mainProgram = !handle;
        if (handle) dlclose(handle);
        if (r->mainProgram) {
            char self[PATH_MAX];
            ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
            if (n > 0) r->fileName.assign(self, static_cast<size_t>(n));
        }
    }
    Hold hold(Lock());
    Registrations().push_back(r);
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    if (!name) return nullptr;
    std::shared_ptr<Registration> r = ForModule(module);
    Hold hold(Lock());
    const ResourceSet* set = r ? Resources(*r) : nullptr;
    if (!set) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    uintptr_t kind = IS_INTRESOURCE(type) ? reinterpret_cast<uintptr_t>(type) : 0;
    if (kind == 16) {
        if (!set->version.present) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return nullptr;
        }
        return reinterpret_cast<HRSRC>(const_cast<VersionRecord*>(&set->version));
    }
    if (kind != 5) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const DialogTemplate* d = FindIn(*set, TemplateName(name));
    if (!d) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return reinterpret_cast<HRSRC>(const_cast<DialogTemplate*>(d));
}

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
    if (handle) *handle = 0;
    std::shared_ptr<Registration> r = ForFile(file);
    if (!r) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    Hold hold(Lock());
    const ResourceSet* set = Resources(*r);
    if (!set || !set->version.present) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(BuildBlock(set->version).size());
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data) {
    std::shared_ptr<Registration> r = ForFile(file);
    if (!r || !data) {
        SetLastError(r ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    Hold hold(Lock());
    const ResourceSet* set = Resources(*r);
    if (!set || !set->version.present) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    std::vector<char> block = BuildBlock(set->version);
    if (size < block.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    if (buffer) *buffer = nullptr;
    if (length) *length = 0;
    if (!block || !subBlock || !buffer) return FALSE;
    const char* base = static_cast<const char*>(block);
    // The magic first: a block that is not ours may be shorter than a header.
    if (memcmp(base, kMagic, sizeof kMagic) != 0) return FALSE;
    BlockHeader h;
    memcpy(&h, base, sizeof h);
    std::string key = CanonicalKey(subBlock);
    if (key == "\\") {
        *buffer = const_cast<char*>(base + offsetof(BlockHeader, fixed));
        if (length) *length = sizeof(VS_FIXEDFILEINFO);
        return TRUE;
    }
    size_t at = sizeof h;
    if (key == "\\varfileinfo\\translation") {
        if (h.translationCount == 0) return FALSE;
        *buffer = const_cast<char*>(base + at);
        if (length) *length = h.translationCount * 2;
        return TRUE;
    }
    at = Align4(at + h.translationCount * 2);
    for (DWORD i = 0; i < h.stringCount && at < h.size; ++i) {
        const char* name = base + at;
        size_t nameLength = strnlen(name, h.size - at);
        at = Align4(at + nameLength + 1);
        const char* value = base + at;
        size_t valueLength = strnlen(value, h.size - at);
        at = Align4(at + valueLength + 1);
        if (CanonicalKey(name) == key) {
            *buffer = const_cast<char*>(value);
            if (length) *length = static_cast<UINT>(valueLength ? valueLength + 1 : 0);
            return TRUE;
        }
    }
    return FALSE;
}

}  // extern "C"
