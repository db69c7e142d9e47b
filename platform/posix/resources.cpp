// Resources of modules: the compiled resource file (.res) each module
// carries (embedded at build time, or given by a test), read once on first
// use, and what Win32 reads from it: resources by type, name and language
// (FindResourceA, FindResourceExA, LoadResource, LockResource,
// SizeofResource), dialog templates (DialogBoxParamA, CreateDialogParamA)
// and the version record (GetFileVersionInfoSizeA, GetFileVersionInfoA,
// VerQueryValueA).
//
// A module handle is matched to the resources embedded in that module. The
// main program (GetModuleHandleA(NULL)), which is what a program linked
// with the driver archive passes, gets the resources embedded in itself;
// when none belong to the handle but exactly one resource file is known,
// that one is used, as a statically linked driver has no module of its own.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <set>

#include "resource_data.h"

namespace w32u {

namespace {

struct Registration {
    HINSTANCE module = nullptr;  // given by a test, else found from the image
    bool mainProgram = false;
    std::string fileName;
    std::vector<unsigned char> copy;  // the image, when a test gave it
    const unsigned char* image = nullptr;
    size_t size = 0;
    bool read = false;
    bool failed = false;
    std::vector<ResourceEntry> entries;
};

std::vector<std::shared_ptr<Registration>>& Registrations() {
    static auto* list = new std::vector<std::shared_ptr<Registration>>;
    return *list;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

// Reads the image on first use; one that is malformed is reported once.
const std::vector<ResourceEntry>* Entries(Registration& r) {
    if (!r.read) {
        r.read = true;
        std::string error;
        if (!ReadResourceFile(r.image, r.size, &r.entries, &error)) {
            r.failed = true;
            std::string of = r.fileName.empty() ? "" : " of " + r.fileName;
            PosixReportProblem(("resource file" + of + ": " + error).c_str());
        }
    }
    return r.failed ? nullptr : &r.entries;
}

HINSTANCE MainProgram() {
    static HINSTANCE main = static_cast<HINSTANCE>(dlopen(nullptr, RTLD_NOW));
    return main;
}

// The module handle an embedded image belongs to.
bool BelongsTo(const Registration& r, HINSTANCE module) {
    if (r.module) return r.module == module;
    if (r.mainProgram) return module == MainProgram();
    Dl_info info;
    if (!dladdr(r.image, &info) || !info.dli_fname) return false;
    void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);
    return handle == static_cast<void*>(module);
}

bool SameImage(const Registration& a, const Registration& b) {
    return a.size == b.size && memcmp(a.image, b.image, a.size) == 0;
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
        if (only && !SameImage(*only, *r)) return nullptr;
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

// A type or name as Win32 passes it: a number (MAKEINTRESOURCE), "#123",
// or a name in any case.
bool IsResource(const ResourceId& id, const char* wanted) {
    if (IS_INTRESOURCE(wanted)) return !id.named && id.number == reinterpret_cast<uintptr_t>(wanted);
    if (wanted[0] == '#') return !id.named && id.number == atoi(wanted + 1);
    return id.named && strcasecmp(id.name.c_str(), wanted) == 0;
}

const WORD kAnyLanguage = 0xFFFF;
const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
const WORD kUserLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The first of `found` in `language`, or in its primary language.
const ResourceEntry* InLanguage(const std::vector<const ResourceEntry*>& found, WORD language, bool primaryOnly) {
    for (const ResourceEntry* e : found)
        if (primaryOnly ? PRIMARYLANGID(e->language) == PRIMARYLANGID(language) : e->language == language) return e;
    return nullptr;
}

// The resource of that type and name in `language`, or, for kAnyLanguage,
// in the order Windows tries: neutral, the user's language (English, US,
// in this layer), English, then the lowest language there is.
const ResourceEntry* Choose(const std::vector<ResourceEntry>& entries, const char* type, const char* name,
                            WORD language, DWORD* error) {
    std::vector<const ResourceEntry*> found;
    bool typeFound = false;
    for (const ResourceEntry& e : entries) {
        if (!IsResource(e.type, type)) continue;
        typeFound = true;
        if (IsResource(e.name, name)) found.push_back(&e);
    }
    *error = !typeFound      ? ERROR_RESOURCE_TYPE_NOT_FOUND
             : found.empty() ? ERROR_RESOURCE_NAME_NOT_FOUND
                             : ERROR_RESOURCE_LANG_NOT_FOUND;
    if (language != kAnyLanguage) return InLanguage(found, language, false);
    const ResourceEntry* e = InLanguage(found, kNeutral, false);
    if (!e) e = InLanguage(found, kUserLanguage, false);
    if (!e) e = InLanguage(found, kUserLanguage, true);
    if (e) return e;
    for (const ResourceEntry* candidate : found)
        if (!e || candidate->language < e->language) e = candidate;
    return e;
}

HRSRC Find(HMODULE module, const char* type, const char* name, WORD language) {
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<Registration> r = ForModule(module);
    Hold hold(Lock());
    const std::vector<ResourceEntry>* entries = r ? Entries(*r) : nullptr;
    if (!entries) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    DWORD error = 0;
    const ResourceEntry* e = Choose(*entries, type, name, language, &error);
    if (!e) SetLastError(error);
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(e));
}

// The entry behind a resource handle, if it is one of a module's.
const ResourceEntry* EntryOf(HRSRC resource) {
    Hold hold(Lock());
    for (auto& r : Registrations())
        for (const ResourceEntry& e : r->entries)
            if (reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&e)) == resource) return &e;
    return nullptr;
}

// The version record of the module file: its VS_VERSIONINFO resource.
const ResourceEntry* VersionOf(const char* file) {
    std::shared_ptr<Registration> r = ForFile(file);
    if (!r) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    Hold hold(Lock());
    const std::vector<ResourceEntry>* entries = Entries(*r);
    DWORD error = ERROR_RESOURCE_DATA_NOT_FOUND;
    const ResourceEntry* e =
        entries ? Choose(*entries, RT_VERSION, MAKEINTRESOURCEA(1), kAnyLanguage, &error) : nullptr;
    if (!e) SetLastError(error);
    return e;
}

// VerQueryValueA answers a text in the ANSI code page, where the block
// holds UTF-16: the copies are kept here, once per text, for the life of
// the process (Windows writes them into spare room after the block).
const char* AnsiCopy(const std::string& text) {
    static auto* copies = new std::set<std::string>;
    Hold hold(Lock());
    return copies->insert(text).first->c_str();
}

}  // namespace

bool FindDialogTemplate(HINSTANCE module, const char* name, DialogTemplate* out) {
    if (!name) return false;
    HRSRC resource = FindResourceA(module, name, RT_DIALOG);
    const ResourceEntry* e = EntryOf(resource);
    if (!e) {
        PosixReportProblem(("the module's resources hold no dialog " + TemplateName(name)).c_str());
        return false;
    }
    std::string error;
    out->name = TemplateName(name);
    if (!ReadDialogTemplate(e->data, e->size, out, &error)) {
        PosixReportProblem(("dialog " + TemplateName(name) + ": " + error).c_str());
        return false;
    }
    return true;
}

}  // namespace w32u

using namespace w32u;

extern "C" {

int PosixRegisterResources(HINSTANCE module, const char* fileName, const void* image, size_t size) {
    if (!module || !image) return 0;
    auto r = std::make_shared<Registration>();
    r->module = module;
    r->fileName = fileName ? fileName : "";
    const unsigned char* bytes = static_cast<const unsigned char*>(image);
    r->copy.assign(bytes, bytes + size);
    r->image = r->copy.data();
    r->size = size;
    if (!Entries(*r)) return 0;
    Hold hold(Lock());
    PosixUnregisterResources(module);
    Registrations().push_back(r);
    return 1;
}

void PosixUnregisterResources(HINSTANCE module) {
    Hold hold(Lock());
    auto& list = Registrations();
    for (size_t i = list.size(); i-- > 0;)
        if (list[i]->module == module) list.erase(list.begin() + static_cast<long>(i));
}

void PosixAddEmbeddedResources(const void* image, size_t size) {
    auto r = std::make_shared<Registration>();
    r->image = static_cast<const unsigned char*>(image);
    r->size = size;
    Dl_info info;
    if (dladdr(image, &info) && info.dli_fname) {
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
    return Find(module, type, name, kAnyLanguage);
}

HRSRC WINAPI FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    return Find(module, type, name, language == kNeutral ? kAnyLanguage : language);
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    const ResourceEntry* e = EntryOf(resource);
    if (!e) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return e ? reinterpret_cast<HGLOBAL>(const_cast<unsigned char*>(e->data)) : nullptr;
}

LPVOID WINAPI LockResource(HGLOBAL data) {
    return data;
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
    const ResourceEntry* e = EntryOf(resource);
    if (!e) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return e ? static_cast<DWORD>(e->size) : 0;
}

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
    if (handle) *handle = 0;
    const ResourceEntry* e = VersionOf(file);
    return e ? static_cast<DWORD>(e->size) : 0;
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data) {
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const ResourceEntry* e = VersionOf(file);
    if (!e) return FALSE;
    // A buffer too small takes the record cut to its size, and the cut
    // record says so in its length, so nothing reads past the buffer.
    size_t copied = std::min<size_t>(size, e->size);
    memcpy(data, e->data, copied);
    if (copied < e->size && copied >= 2) {
        unsigned char* bytes = static_cast<unsigned char*>(data);
        bytes[0] = static_cast<unsigned char>(copied & 0xFF);
        bytes[1] = static_cast<unsigned char>(copied >> 8);
    }
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    if (buffer) *buffer = nullptr;
    if (length) *length = 0;
    if (!block || !subBlock || !buffer) return FALSE;
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    size_t size = bytes[0] | bytes[1] << 8;
    VersionValue value;
    if (!FindVersionValue(bytes, size, subBlock, &value)) return FALSE;
    if (value.text) {
        size_t units = 0;
        while (units < value.length && (bytes[value.offset + 2 * units] | bytes[value.offset + 2 * units + 1])) ++units;
        *buffer = const_cast<char*>(AnsiCopy(AnsiFromUtf16(bytes + value.offset, units)));
    } else {
        *buffer = const_cast<unsigned char*>(bytes + value.offset);
    }
    if (length) *length = static_cast<UINT>(value.length);
    return TRUE;
}

}  // extern "C"
