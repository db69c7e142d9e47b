// CreateFileA, DeviceIoControl and the device table. A name of the form
// \\.\NAME opens a registered device; anything else is a plain file.
#include <string.h>
#include <strings.h>

#include <map>
#include <mutex>
#include <string>

#include "internal.h"

HANDLE OpenPlainFile(LPCSTR name, DWORD access, DWORD creation);

namespace {

struct Registration {
    PosixDeviceOps ops;
    void* registration;
};

struct Devices {
    std::mutex lock;
    std::map<std::string, Registration> registered;
    std::map<std::string, Registration> defaults;
    bool defaultsInstalled = false;
};

Devices& TheDevices() {
    static Devices devices;
    return devices;
}

std::string Upper(const char* text) {
    std::string result = text;
    for (char& c : result) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return result;
}

struct DeviceObject : w32::KernelObject {
    PosixDeviceOps ops;
    void* context;
    bool Close() override {
        if (ops.close) ops.close(context);
        return true;
    }
};

bool IsDeviceName(LPCSTR name) {
    return strncmp(name, "\\\\.\\", 4) == 0;
}

}  // namespace

// Without the simulator, the layer has no default devices.
extern "C" __attribute__((weak)) void PosixInstallDefaultDevices(void) {}

extern "C" {

void PosixRegisterDevice(const char* name, const PosixDeviceOps* ops, void* registration) {
    if (!name) return;
    Devices& d = TheDevices();
    std::lock_guard<std::mutex> hold(d.lock);
    if (ops)
        d.registered[Upper(name)] = Registration{*ops, registration};
    else
        d.registered.erase(Upper(name));
}

void PosixSetDefaultDevice(const char* name, const PosixDeviceOps* ops, void* registration) {
    if (!name) return;
    Devices& d = TheDevices();
    std::lock_guard<std::mutex> hold(d.lock);
    if (ops)
        d.defaults[Upper(name)] = Registration{*ops, registration};
    else
        d.defaults.erase(Upper(name));
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                          DWORD flags, HANDLE templateFile) {
    if (!name || !*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!IsDeviceName(name)) return OpenPlainFile(name, access, creation);
    Devices& d = TheDevices();
    bool install = false;
    {
        std::lock_guard<std::mutex> hold(d.lock);
        install = !d.defaultsInstalled;
        d.defaultsInstalled = true;
    }
    if (install) PosixInstallDefaultDevices();
    Registration found;
    {
        std::lock_guard<std::mutex> hold(d.lock);
        std::string key = Upper(name + 4);
        auto it = d.registered.find(key);
        if (it != d.registered.end()) {
            found = it->second;
        } else {
            auto fallback = d.defaults.find(key);
            if (fallback == d.defaults.end()) {
                SetLastError(ERROR_FILE_NOT_FOUND);
                return INVALID_HANDLE_VALUE;
            }
            found = fallback->second;
        }
    }
    void* context = found.ops.open ? found.ops.open(found.registration) : found.registration;
    if (!context) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto* object = new DeviceObject;
    object->kind = w32::kDevice;
    object->ops = found.ops;
    object->context = context;
    return w32::AddObject(object);
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                            LPDWORD returned, LPOVERLAPPED overlapped) {
    auto* object = static_cast<DeviceObject*>(w32::FindObject(device, w32::kDevice));
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((!in && inSize) || (!out && outSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD count = 0;
    int ok = object->ops.control ? object->ops.control(object->context, code, in, inSize, out, outSize, &count) : 0;
    if (returned) *returned = count;
    if (!ok) SetLastError(ERROR_NOT_SUPPORTED);
    return ok ? TRUE : FALSE;
}
}
