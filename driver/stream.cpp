// The stream engine. Streaming needs the frame grabber, which is not built
// yet: every stream message is refused.
#include "driver.h"

BOOL streamInitialised = FALSE;

DWORD StreamMessage(DriverInstance* instance, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    return DV_ERR_NOTSUPPORTED;
}
