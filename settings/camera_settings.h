// The camera's user-visible settings: loaded and applied after bring-up,
// read back from the live device and stored when the camera is released.
#ifndef TARN2_SETTINGS_CAMERA_SETTINGS_H
#define TARN2_SETTINGS_CAMERA_SETTINGS_H

#include "../platform/win32.h"

struct CameraDevice;

// 1 when every setting was applied; a failure of one still applies the rest.
int ReadTARNInit(struct CameraDevice* device, const char* iniPath);
// Writes every value; 0 only without a device or an INI path.
int WriteTARNInit(struct CameraDevice* device, const char* iniPath);

#endif
