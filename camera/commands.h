// The camera's command set: one function per command. Each packs its
// arguments into the command's four parameter bytes and optional 8-byte data
// block, sends it with CLINK_TransferMsg and unpacks a returned block into
// the given places. The answer is the transport's, 1 or 0: a command that
// the camera refuses still answers 1 and shows in the status block, which
// the callers read afterwards (CheckCameraStatus). Read commands write their
// places only on success; places marked optional may be null.
#ifndef TARN2_CAMERA_COMMANDS_H
#define TARN2_CAMERA_COMMANDS_H

#include "../link/link.h"

// Group codes.
#define ZELT_GROUP_SYSTEM 0x00
#define ZELT_GROUP_MC 0x20
#define ZELT_GROUP_PROCESSOR 0xA0
#define ZELT_GROUP_VIDEO 0xC0
#define ZELT_GROUP_TEST 0xE0

// Indices of the status block.
#define STATUS_SYSTEM_STATE 0
#define STATUS_STREAM_STATE 2
#define STATUS_FATAL_ERROR 3
#define STATUS_CMD_ERROR 4

// Version, status and power (group 0x00).
DWORD ZELT_GetVersion(Link* link, BYTE* major, BYTE* minor, BYTE* d2, BYTE* d3);
DWORD ZELT_GetCameraStatus(Link* link, BYTE* d0, BYTE* d1, BYTE* d2, BYTE* d3, BYTE* d4, BYTE* d5, BYTE* d6, BYTE* d7);
DWORD ZELT_GotoHiPower(Link* link);
DWORD ZELT_GotoLoPower(Link* link);
DWORD ZELT_GotoSuspend(Link* link);
// Status byte index (2, 3 or 4) becomes (byte AND keepMask) OR setBits.
DWORD ZELT_ModifyCameraStatus(Link* link, BYTE index, BYTE keepMask, BYTE setBits);

// Microcontroller ports and data (group 0x20).
DWORD ZELT_ReadMC_Ports(Link* link, BYTE* d0, BYTE* d1, BYTE* d2, BYTE* d3);
DWORD ZELT_WriteMC_Port(Link* link, BYTE port, BYTE mask1, BYTE mask2);
DWORD ZELT_WriteMCData(Link* link, BYTE address, BYTE value);

// Exposure, colour, flicker, frame rate and registers (group 0xA0).
DWORD ZELT_SetColPar(Link* link, BYTE brightness, BYTE contrast, BYTE colour);
DWORD ZELT_SetExposure(Link* link, BYTE gain, BYTE mode, BYTE p2, BYTE centreWeight, BYTE d0, BYTE d1, BYTE d2, BYTE d3,
                       BYTE d4, BYTE d5, BYTE d6, BYTE d7);
DWORD ZELT_SetColBal(Link* link, BYTE mode, BYTE red, BYTE green, BYTE blue);
// The sensor runs at the base rate (1: 30, 0: 25 frames/s) over 2 to the n.
DWORD ZELT_SetSensorRate(Link* link, BYTE divisorExponent, BYTE baseRate);
DWORD ZELT_SetCorrectionGains(Link* link, BYTE g0, BYTE g1, BYTE g2, BYTE g3);
DWORD ZELT_SetFlicker(Link* link, BYTE mode, BYTE flickerPeriod, BYTE flickerAllow);
DWORD ZELT_SetVLOffset(Link* link, BYTE v0, BYTE v1, BYTE v2, BYTE v3);
// All three places are required.
DWORD ZELT_GetColPar(Link* link, BYTE* brightness, BYTE* contrast, BYTE* colour);
DWORD ZELT_GetColBal(Link* link, BYTE* red, BYTE* green, BYTE* blue);
DWORD ZELT_GetExposure(Link* link, BYTE* d0, BYTE* d1, BYTE* d2, BYTE* d3, BYTE* d4, BYTE* d5, BYTE* d6, BYTE* d7);
DWORD ZELT_ReadRegs(Link* link, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE* v0, BYTE* v1, BYTE* v2, BYTE* v3);
// Register becomes (register AND keepMask) OR setBits.
DWORD ZELT_WriteReg(Link* link, BYTE reg, BYTE keepMask, BYTE setBits);

// Frame grab, stream capture, format, window and compression (group 0xC0).
DWORD ZELT_GrabFrame(Link* link, BYTE startLine);
DWORD ZELT_SetGrabMode(Link* link, BYTE mode);
DWORD ZELT_InitStreamCap(Link* link, BYTE p0, BYTE p1);
DWORD ZELT_FinishStreamCap(Link* link);
DWORD ZELT_StartStreamCap(Link* link);
DWORD ZELT_StopStreamCap(Link* link);
DWORD ZELT_setFormat(Link* link, BYTE videoSize, BYTE subSample, BYTE yuvOrder);
// The window in units of 8 columns and 4 rows.
DWORD ZELT_SetROI(Link* link, BYTE colStart8, BYTE colEnd8, BYTE rowStart4, BYTE rowEnd4);
DWORD ZELT_SetCompression(Link* link, BYTE compMode, BYTE decimation);
DWORD ZELT_SetCompressionTarget(Link* link, BYTE frTargeting, BYTE targetFR, BYTE targetQ);
DWORD ZELT_SetYUVThresh(Link* link, BYTE yThreshold, BYTE uvThreshold);
DWORD ZELT_SetCompressionParams(Link* link, BYTE d0, BYTE d1, BYTE d2, BYTE d3, BYTE d4, BYTE d5, BYTE d6, BYTE d7);

// The raw test stream (group 0xE0).
DWORD ZELT_StartTestStream(Link* link);

#endif
