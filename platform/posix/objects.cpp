// The table of kernel objects behind HANDLE values and CloseHandle.
#include <mutex>
#include <unordered_set>

#include "internal.h"

namespace {
std::mutex tableLock;
std::unordered_set<w32::KernelObject*>& Table() {
    static std::unordered_set<w32::KernelObject*> table;
    return table;
}
}  // namespace

namespace w32 {

HANDLE AddObject(KernelObject* object) {
    std::lock_guard<std::mutex> hold(tableLock);
    Table().insert(object);
    return object;
}

KernelObject* FindObject(HANDLE handle, ObjectKind kind) {
    std::lock_guard<std::mutex> hold(tableLock);
    auto* object = static_cast<KernelObject*>(handle);
    if (Table().count(object) == 0 || object->kind != kind) return nullptr;
    return object;
}

bool RemoveObject(HANDLE handle) {
    std::lock_guard<std::mutex> hold(tableLock);
    return Table().erase(static_cast<KernelObject*>(handle)) != 0;
}

}  // namespace w32

extern "C" BOOL WINAPI CloseHandle(HANDLE handle) {
    w32::KernelObject* object = nullptr;
    for (auto kind : {w32::kMutex, w32::kDevice, w32::kFile, w32::kProcess}) {
        object = w32::FindObject(handle, kind);
        if (object) break;
    }
    if (!object || !w32::RemoveObject(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    bool closed = object->Close();
    delete object;
    return closed ? TRUE : FALSE;
}
