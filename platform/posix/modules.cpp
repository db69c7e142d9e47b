// Modules: a module handle is the dlopen handle of the shared object.
// LoadLibraryA takes Windows names ("mbkdec32.dll") and finds the shared
// object of that name beside the program, calling its DllMain on the first
// load and the last free, as the Windows loader does.
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"

namespace {

typedef BOOL(WINAPI* DllEntry)(HINSTANCE, DWORD, LPVOID);

std::mutex moduleLock;
std::map<void*, int> loadCounts;

std::string ProgramDirectory() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    char* slash = strrchr(path, '/');
    if (slash) *slash = '\0';
    return path;
}

// The shared-object names a Windows module name may stand for.
std::vector<std::string> Candidates(const char* name) {
    std::string path = w32::PosixPath(name);
    std::vector<std::string> result;
    if (path.find('/') != std::string::npos && path.size() > 3 && path.compare(path.size() - 3, 3, ".so") == 0) {
        result.push_back(path);
        return result;
    }
    std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    for (char& c : base) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (const char* ext : {".dll", ".drv", ".so"}) {
        size_t n = strlen(ext);
        if (base.size() > n && base.compare(base.size() - n, n, ext) == 0) {
            base.erase(base.size() - n);
            break;
        }
    }
    std::vector<std::string> dirs;
    if (const char* bin = getenv("TARN2_BIN")) dirs.push_back(bin);
    dirs.push_back(ProgramDirectory());
    for (const std::string& dir : dirs) {
        result.push_back(dir + "/" + base + ".so");
        result.push_back(dir + "/lib" + base + ".so");
    }
    result.push_back(base + ".so");
    result.push_back("lib" + base + ".so");
    return result;
}

void* Open(const char* name, int flags) {
    for (const std::string& candidate : Candidates(name)) {
        if (void* handle = dlopen(candidate.c_str(), flags)) return handle;
        // A module that is there but will not load deserves its reason.
        if ((flags & RTLD_NOLOAD) == 0 && access(candidate.c_str(), F_OK) == 0) {
            const char* why = dlerror();
            std::string text = "cannot load " + candidate + ": " + (why ? why : "unknown reason");
            PosixReportProblem(text.c_str());
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* handle = Open(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        SetLastError(126);  // ERROR_MOD_NOT_FOUND
        return nullptr;
    }
    bool first;
    {
        std::lock_guard<std::mutex> hold(moduleLock);
        first = loadCounts[handle]++ == 0;
    }
    if (first) {
        auto entry = reinterpret_cast<DllEntry>(dlsym(handle, "DllMain"));
        if (entry && !entry(static_cast<HINSTANCE>(handle), DLL_PROCESS_ATTACH, nullptr)) {
            std::lock_guard<std::mutex> hold(moduleLock);
            loadCounts.erase(handle);
            dlclose(handle);
            SetLastError(1114);  // ERROR_DLL_INIT_FAILED
            return nullptr;
        }
    }
    return static_cast<HMODULE>(handle);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    void* handle = module;
    bool last;
    {
        std::lock_guard<std::mutex> hold(moduleLock);
        auto it = loadCounts.find(handle);
        if (it == loadCounts.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        last = --it->second == 0;
        if (last) loadCounts.erase(it);
    }
    if (last) {
        auto entry = reinterpret_cast<DllEntry>(dlsym(handle, "DllMain"));
        if (entry) entry(static_cast<HINSTANCE>(handle), DLL_PROCESS_DETACH, nullptr);
    }
    dlclose(handle);
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    if (!module || !name) return nullptr;
    char symbol[32];
    if (IS_INTRESOURCE(name)) {
        // Exports by ordinal are symbols named after their number.
        snprintf(symbol, sizeof symbol, "w32_ordinal_%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(name)));
        name = symbol;
    }
    void* address = dlsym(static_cast<void*>(module), name);
    if (!address) SetLastError(127);  // ERROR_PROC_NOT_FOUND
    return reinterpret_cast<FARPROC>(address);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (!name) return static_cast<HMODULE>(dlopen(nullptr, RTLD_NOW));
    void* handle = Open(name, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);  // a module handle holds no reference
    return static_cast<HMODULE>(handle);
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size) {
    if (!out || size == 0) return 0;
    std::string path;
    struct link_map* map = nullptr;
    if (module && dlinfo(static_cast<void*>(module), RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name &&
        map->l_name[0]) {
        path = map->l_name;
    } else {
        char self[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n > 0) path.assign(self, static_cast<size_t>(n));
    }
    DWORD n = static_cast<DWORD>(path.size() < size - 1 ? path.size() : size - 1);
    memcpy(out, path.data(), n);
    out[n] = '\0';
    return n;
}
}
