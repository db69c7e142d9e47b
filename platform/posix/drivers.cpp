// The driver manager's services to an installable driver.
#include "internal.h"

extern "C" {

LRESULT WINAPI DefDriverProc(DWORD_PTR driverId, HDRVR driver, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    // Opening and closing are the driver's own business: the default answer
    // to them is 0, as to every message not named here.
    switch (msg) {
        case DRV_LOAD:
        case DRV_FREE:
        case DRV_ENABLE:
        case DRV_DISABLE:
            return 1;
        case DRV_INSTALL:
        case DRV_REMOVE:
            return DRVCNF_OK;
        default:
            return 0;
    }
}

BOOL WINAPI DriverCallback(DWORD_PTR callback, DWORD flags, HDRVR device, DWORD msg, DWORD_PTR user, DWORD_PTR param1,
                           DWORD_PTR param2) {
    if (!callback) return FALSE;
    switch (flags & DCB_TYPEMASK) {
        case DCB_FUNCTION:
            reinterpret_cast<LPDRVCALLBACK>(callback)(device, msg, user, param1, param2);
            return TRUE;
        case DCB_WINDOW:
            return PostMessageA(reinterpret_cast<HWND>(callback), msg, reinterpret_cast<WPARAM>(device),
                                static_cast<LPARAM>(param1));
        default:
            return FALSE;
    }
}
}
