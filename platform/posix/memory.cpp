// Local and global memory: zero-filled blocks behind handles with lock
// counts. A fixed block's handle is its address, as on Win32; a moveable
// block's handle is a separate token, so a handle is never mistaken for a
// pointer the caller may write through.
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "internal.h"

namespace {

struct Block {
    void* data;
    SIZE_T size;
    bool fixed;
    int locks;
};

struct Heap {
    std::mutex lock;
    std::unordered_map<HANDLE, Block> blocks;
    std::unordered_map<const void*, HANDLE> byAddress;
    std::atomic<long> live{0};
    std::atomic<long> badHandles{0};
    uintptr_t nextToken = 0x10;
};

Heap& LocalHeap() {
    static Heap heap;
    return heap;
}
Heap& GlobalHeap() {
    static Heap heap;
    return heap;
}

HANDLE Allocate(Heap& heap, UINT flags, SIZE_T bytes) {
    // Every block is zero-filled whatever the flags: the driver's records
    // rely on it and stale bytes would make faults depend on history.
    void* data = calloc(1, bytes ? bytes : 1);
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(heap.lock);
    bool fixed = (flags & LMEM_MOVEABLE) == 0;
    HANDLE handle;
    if (fixed) {
        handle = data;
    } else {
        // Tokens are odd small numbers, never valid addresses.
        heap.nextToken += 2;
        handle = reinterpret_cast<HANDLE>(heap.nextToken | 1);
    }
    heap.blocks[handle] = Block{data, bytes, fixed, 0};
    heap.byAddress[data] = handle;
    heap.live++;
    return handle;
}

LPVOID Lock(Heap& heap, HANDLE handle) {
    std::lock_guard<std::mutex> hold(heap.lock);
    auto it = heap.blocks.find(handle);
    if (it == heap.blocks.end()) {
        heap.badHandles++;
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    it->second.locks++;
    return it->second.data;
}

BOOL Unlock(Heap& heap, HANDLE handle) {
    std::lock_guard<std::mutex> hold(heap.lock);
    auto it = heap.blocks.find(handle);
    if (it == heap.blocks.end()) {
        heap.badHandles++;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (it->second.locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    it->second.locks--;
    SetLastError(NO_ERROR);
    // Like Win32: non-zero while the block stays locked.
    return it->second.locks > 0 ? TRUE : FALSE;
}

HANDLE Free(Heap& heap, HANDLE handle) {
    void* data = nullptr;
    {
        std::lock_guard<std::mutex> hold(heap.lock);
        auto it = heap.blocks.find(handle);
        if (it == heap.blocks.end()) {
            heap.badHandles++;
            SetLastError(ERROR_INVALID_HANDLE);
            return handle;
        }
        data = it->second.data;
        heap.byAddress.erase(data);
        heap.blocks.erase(it);
        heap.live--;
    }
    free(data);
    return nullptr;
}

SIZE_T Size(Heap& heap, HANDLE handle) {
    std::lock_guard<std::mutex> hold(heap.lock);
    auto it = heap.blocks.find(handle);
    return it == heap.blocks.end() ? 0 : it->second.size;
}

HANDLE HandleOf(Heap& heap, LPCVOID data) {
    std::lock_guard<std::mutex> hold(heap.lock);
    auto it = heap.byAddress.find(data);
    return it == heap.byAddress.end() ? nullptr : it->second;
}

}  // namespace

extern "C" {

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
    return Allocate(LocalHeap(), flags, bytes);
}
LPVOID WINAPI LocalLock(HLOCAL handle) {
    return Lock(LocalHeap(), handle);
}
BOOL WINAPI LocalUnlock(HLOCAL handle) {
    return Unlock(LocalHeap(), handle);
}
HLOCAL WINAPI LocalFree(HLOCAL handle) {
    return Free(LocalHeap(), handle);
}
SIZE_T WINAPI LocalSize(HLOCAL handle) {
    return Size(LocalHeap(), handle);
}
HLOCAL WINAPI LocalHandle(LPCVOID data) {
    return HandleOf(LocalHeap(), data);
}
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    return Allocate(GlobalHeap(), flags, bytes);
}
LPVOID WINAPI GlobalLock(HGLOBAL handle) {
    return Lock(GlobalHeap(), handle);
}
BOOL WINAPI GlobalUnlock(HGLOBAL handle) {
    return Unlock(GlobalHeap(), handle);
}
HGLOBAL WINAPI GlobalFree(HGLOBAL handle) {
    return Free(GlobalHeap(), handle);
}
SIZE_T WINAPI GlobalSize(HGLOBAL handle) {
    return Size(GlobalHeap(), handle);
}
HGLOBAL WINAPI GlobalHandle(LPCVOID data) {
    return HandleOf(GlobalHeap(), data);
}

long PosixLiveLocalBlocks(void) {
    return LocalHeap().live.load();
}
long PosixLiveGlobalBlocks(void) {
    return GlobalHeap().live.load();
}
long PosixBadMemoryHandles(void) {
    return LocalHeap().badHandles.load() + GlobalHeap().badHandles.load();
}
}
