// What the camera is to send, staged: sensor size, window, YUV layout and
// compression. Changes are stored and marked in `dirty`; nothing reaches the
// camera until the frame grabber applies them just before a grab, so a
// dialog or a message can change settings from any thread while a stream
// runs without interleaving commands with an upload.
#ifndef TARN2_CAMERA_VIEWPORT_H
#define TARN2_CAMERA_VIEWPORT_H

#include "../link/link.h"

// Bits of Viewport::dirty and the command that carries them.
#define VP_DIRTY_FORMAT 0x61  // sensor size 0x01 (with 0x20), sub-sampling and order 0x40
#define VP_DIRTY_SIZE 0x22
#define VP_DIRTY_YUV 0x40
#define VP_DIRTY_WINDOW 0x02
#define VP_DIRTY_COMPRESSION 0x04
#define VP_DIRTY_TARGET 0x10

typedef struct Viewport {
    HLOCAL memory;
    Link* link;
    DWORD failed;
    DWORD dirty;
    DWORD pending;
    BYTE videoSize;  // 0 QCIF 176 x 144, 1 CIF 352 x 288
    BYTE colStart8;
    BYTE colEnd8;
    BYTE rowStart4;
    BYTE rowEnd4;
    BYTE subSample;
    BYTE yuvOrder;
    BYTE compMode;  // 0 none, 1 automatic, 2 manual
    BYTE decimation;
    BYTE yThreshold;
    BYTE uvThreshold;
    BYTE frTargeting;
    BYTE targetFR;
    BYTE targetQ;
    DWORD videoConf;
    WORD targetFps;
} Viewport;

// Sends what is marked. 1 when a command went and every check passed.
int ApplyViewportChanges(Viewport* viewport);
// Sends format and window with compression off; the real compression
// settings are marked to follow with the next apply.
DWORD ApplyViewportUncompressed(Viewport* viewport);
void SetViewportDefaults(Viewport* viewport);
int CheckViewportStatus(Viewport* viewport, const char* label);
int SetCompressionPreset(Viewport* viewport, DWORD videoConf, int conferenceLevel, int captureLevel, WORD fps);
void ComputeCompressionTarget(Viewport* viewport, DWORD videoConf, WORD fps, int level);
void AdaptCompressionTarget(Viewport* viewport, int spareTime);

#endif
