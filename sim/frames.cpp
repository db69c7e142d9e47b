// The camera's frames. Until the synthetic scene exists this is a stand-in
// picture of the right size: the 64-byte header with the status byte and
// the coarse exposure, then a grey ramp that moves with the frame number,
// in the frame's YUV 4:2:2 bytes (compressed frames are only cut short).
#include <string.h>

#include "camera.h"

uint32_t MakeCameraFrame(const SimCamera* camera, uint8_t statusByte, uint32_t frameNumber, uint8_t* out,
                         uint32_t capacity) {
    uint32_t width = 0, height = 0;
    SimFrameSize(camera, &width, &height);
    uint32_t picture = width * height * 2;
    if (camera->compMode != 0) picture /= camera->decimation ? 8 : 4;
    uint32_t size = SIM_FRAME_HEADER_SIZE + picture;
    if (size > capacity) size = capacity;
    if (size < SIM_FRAME_HEADER_SIZE) return 0;
    memset(out, 0, SIM_FRAME_HEADER_SIZE);
    out[0] = statusByte;
    uint32_t exposure = camera->coarseExposure / 2u;
    out[39] = (uint8_t)(exposure > 255 ? 255 : exposure);
    for (uint32_t i = SIM_FRAME_HEADER_SIZE; i < size; i++) {
        uint32_t offset = i - SIM_FRAME_HEADER_SIZE;
        // Even bytes luminance, odd bytes colour at its neutral value.
        out[i] = (offset & 1) ? 128 : (uint8_t)(offset / 2 + frameNumber);
    }
    return size;
}
