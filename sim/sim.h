// Controls of the simulated link driver and camera for tests and hosts:
// choose the scenario, look at and nudge the camera, and read what the link
// carried. The driver never includes this; it only opens \\.\TARN2_0.
#ifndef TARN2_SIM_SIM_H
#define TARN2_SIM_SIM_H

#include <stdint.h>

#include "camera.h"

// Replaces the scenario with the given text (over the default machine) and
// powers the camera up afresh; every open link is detached and the logs are
// cleared. On a bad line answers 0, reports the line and the problem
// (PosixReportProblem) and changes nothing.
int SimSetScenario(const char* text);
int SimLoadScenarioFile(const char* path);
// The default machine: one camera on LPT1 (type 0x57), firmware 1.3.
void SimReset(void);

// A copy of the camera's state.
void SimReadCamera(SimCamera* camera);
// Status bytes as a test wants them (e.g. a latched error to be cleared).
void SimSetStatusByte(int index, uint8_t value);
void SimSetLight(uint8_t light);
// The camera's button: the input bit stays low until acknowledged.
void SimPressButton(void);
// 1: the camera stops answering; 0: it is back.
void SimSetVanished(int vanished);

// The commands that reached the camera's port, answered or not, numbered
// from the last clear (or power-up). Only the last 8192 are kept, so hours
// of capture keep the simulator's memory flat: SimCommandCount is the total,
// SimGetCommand answers 0 for a number forgotten. Uploads are logged alike.
typedef struct SimCommandRecord {
    uint8_t module;
    uint8_t command;
    uint8_t hasParameters;
    uint8_t parameters[4];
    uint32_t direction;
    uint16_t dataLength;
    uint8_t data[8];  // as sent, for writes
    uint32_t time;    // the millisecond clock when it arrived
    uint8_t answered;
} SimCommandRecord;

int SimCommandCount(void);
int SimGetCommand(int index, SimCommandRecord* record);
void SimClearLog(void);

typedef struct SimUploadRecord {
    uint32_t streamInterrupt;
    uint32_t pipelined;
    uint32_t byteCount;
    uintptr_t bufferAddress;
    uint32_t chunkSize;
    uint32_t frameData;
    uint8_t accepted;
    uint32_t time;
    // How it ended so far: the last state and the bytes written.
    uint8_t state;
    uint32_t bytesUploaded;
} SimUploadRecord;

int SimUploadCount(void);
int SimGetUpload(int index, SimUploadRecord* record);
// The buffer address that the last upload-status request carried.
uintptr_t SimLastStatusBuffer(void);

// How many requests the link driver has been sent on open handles, of every
// kind, since the process began: how hard a caller polls.
uint64_t SimLinkRequests(void);

// The CPU time the simulated camera has spent drawing and coding its
// frames, in nanoseconds, so that a measurement of the driver can leave out
// the camera's own work.
uint64_t SimFrameDrawingNanos(void);

// Handles open on the simulated link driver (for leak checks).
int SimOpenLinks(void);

#endif
