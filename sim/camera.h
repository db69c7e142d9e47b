// The simulated camera: the state its firmware keeps, and what it does with
// each command that the link driver carries to it. The camera knows its own
// command set; it shares nothing with the driver but the link protocol.
#ifndef TARN2_SIM_CAMERA_H
#define TARN2_SIM_CAMERA_H

#include <stdint.h>

#include <vector>

#include "../decoder/frame_format.h"

// Command errors the camera latches in CmdError (status byte 4).
#define SIM_CMD_NOT_HIGH_POWER 0x01
#define SIM_CMD_UNKNOWN 0x02
#define SIM_CMD_BAD_PARAMETER 0x04
#define SIM_CMD_OUT_OF_SEQUENCE 0x08

// StreamState (status byte 2).
#define SIM_STREAM_IDLE 0
#define SIM_STREAM_READY 1
#define SIM_STREAM_CAPTURING 2
#define SIM_STREAM_FAULT 3

// The largest frame the camera sends (decoder/frame_format.h): a full CIF
// picture at its worst compressed, with header and end marker.
#define SIM_FRAME_HEADER_SIZE FRAME_HEADER_SIZE
#define SIM_MAX_FRAME_SIZE FRAME_MAX_SIZE

typedef struct SimCamera {
    uint8_t version[4];  // major, minor and two more bytes of the version block
    uint8_t status[8];   // systemState, -, StreamState, FatalError, CmdError, -, -, -
    uint8_t registers[256];
    uint8_t mcData[256];
    uint8_t mcPorts[4];  // output latches; reads of port 1 show the button
    uint8_t buttonDown;  // latched until port 3 bit 0x20 is pulsed low

    // Exposure: gain index, mode (2 automatic, 3 fixed), centre weighting,
    // coarse exposure in sensor lines, four colour-compensation values.
    uint8_t gain;
    uint8_t exposureMode;
    uint8_t centreWeight;
    uint16_t coarseExposure;
    uint8_t compensation[4];

    uint8_t colBalMode;  // 1 manual, 2 automatic, 3 held
    uint8_t red, green, blue;
    uint8_t brightness, contrast, colour;

    // Sensor rate: base 1 is 30 frames/s, 0 is 25, divided by 2^exponent.
    uint8_t divisorExponent;
    uint8_t baseRate;
    uint8_t flickerMode;
    uint8_t flickerPeriod;
    uint8_t flickerAllow;
    uint8_t correctionGains[4];
    uint8_t vlOffset[4];

    // What the next frame looks like: sensor size (0 QCIF, 1 CIF), YUV
    // layout, window in units of 8 columns and 4 rows, compression.
    uint8_t videoSize;
    uint8_t subSample;
    uint8_t yuvOrder;
    uint8_t colStart8, colEnd8, rowStart4, rowEnd4;
    uint8_t compMode;  // 0 none, 1 automatic, 2 manual
    uint8_t decimation;
    uint8_t frTargeting, targetFR, targetQ;
    uint8_t yThreshold, uvThreshold;
    uint8_t compressionParams[8];

    // Capture: grab mode 1 allows single grabs; stream capture takes every
    // (streamSkip + 1)th sensor frame by itself once started.
    uint8_t grabMode;
    uint8_t grabStartLine;
    uint8_t streamInitialised;
    uint8_t streamRunning;
    uint8_t streamSkip;
    uint8_t testStreamReady;
    // A single grab in progress completes at grabDue; a running stream has
    // taken streamCaptures frames since streamStart (milliseconds).
    uint8_t grabPending;
    uint32_t grabDue;
    uint32_t streamStart;
    uint32_t streamCaptures;

    // The scene: 0 black to 255 bright; the picture's light level follows
    // from it, the exposure and the gain.
    uint8_t light;
    // 1 when format, window or compression changed since the last frame;
    // the next frame's status byte says so.
    uint8_t settingsChanged;
    // Format, window and compression of the last frame made (all zero
    // before the first), so that a setting changed and changed back
    // between two frames is no change to the picture.
    uint8_t lastFrameSettings[10];
    uint32_t framesCaptured;
} SimCamera;

// A camera just powered up, with the scenario's version and system state.
void SimCameraPowerUp(SimCamera* camera, uint8_t major, uint8_t minor, uint8_t systemState, uint8_t light);

// The sensor's frame interval in microseconds, from the sensor rate.
uint32_t SimFrameIntervalMicros(const SimCamera* camera);

// The frame's size in pixels as the window gives it, within the sensor.
void SimFrameSize(const SimCamera* camera, uint32_t* width, uint32_t* height);

// Brings the automatic exposure and the light registers up to date.
void SimUpdateExposure(SimCamera* camera);

// Carries out one command. params: 4 bytes (zeros when none came); data:
// the 8-byte block, read for writes and filled for reads, or null when the
// request had none. Errors are latched in the status block.
void SimCameraCommand(SimCamera* camera, uint8_t group, uint8_t number, const uint8_t* params, uint32_t direction,
                      uint8_t* data, uint32_t now);

// Whether a frame was captured by now (a single grab that fell due, or the
// next frame of a running stream); at most one per call, the newest.
int SimCaptureDue(SimCamera* camera, uint32_t now);
// Whether a capture is still to come without a new command.
int SimCaptureExpected(const SimCamera* camera);

// Whether the next frame's format, window or compression differ from the
// last frame's (its status byte); records them as the last frame's.
int SimFrameSettingsDiffer(SimCamera* camera);

// Fills one frame in the camera's own format from the camera's state: a
// 64-byte header whose first byte is statusByte, then the picture. Answers
// the byte count, at most capacity.
uint32_t MakeCameraFrame(const SimCamera* camera, uint8_t statusByte, uint32_t frameNumber, uint8_t* out,
                         uint32_t capacity);

#endif
