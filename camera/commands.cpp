// The command functions. Parameter bytes that a command does not name are
// sent as 0, so what reaches the camera never depends on stack contents.
#include "commands.h"

#include <string.h>

static DWORD SendParams(Link* link, BYTE group, BYTE number, BYTE p0, BYTE p1, BYTE p2, BYTE p3) {
    BYTE params[4] = {p0, p1, p2, p3};
    return CLINK_TransferMsg(link, group, number, params, 0, 0, NULL);
}

static DWORD SendPlain(Link* link, BYTE group, BYTE number) {
    return CLINK_TransferMsg(link, group, number, NULL, 0, 0, NULL);
}

// A read command: the camera fills data (8 bytes) on success.
static DWORD Read(Link* link, BYTE group, BYTE number, BYTE* params, BYTE* data) {
    memset(data, 0, 8);
    return CLINK_TransferMsg(link, group, number, params, 1, 8, data);
}

static void Give(BYTE* place, BYTE value) {
    if (place) *place = value;
}

// A reply's data block into whichever of the eight places the caller gave.
static void GiveEight(const BYTE* data, BYTE* d0, BYTE* d1, BYTE* d2, BYTE* d3, BYTE* d4, BYTE* d5, BYTE* d6,
                      BYTE* d7) {
    BYTE* places[8] = {d0, d1, d2, d3, d4, d5, d6, d7};
    for (int i = 0; i < 8; i++) Give(places[i], data[i]);
}

DWORD ZELT_GetVersion(Link* link, BYTE* major, BYTE* minor, BYTE* d2, BYTE* d3) {
    if (!major || !minor || !d2 || !d3) return 0;
    BYTE data[8];
    if (!Read(link, ZELT_GROUP_SYSTEM, 1, NULL, data)) return 0;
    *major = data[0];
    *minor = data[1];
    *d2 = data[2];
    *d3 = data[3];
    return 1;
}

DWORD ZELT_GetCameraStatus(Link* link, BYTE* d0, BYTE* d1, BYTE* d2, BYTE* d3, BYTE* d4, BYTE* d5, BYTE* d6, BYTE* d7) {
    BYTE data[8];
    if (!Read(link, ZELT_GROUP_SYSTEM, 3, NULL, data)) return 0;
    GiveEight(data, d0, d1, d2, d3, d4, d5, d6, d7);
    return 1;
}

DWORD ZELT_GotoHiPower(Link* link) {
    return SendPlain(link, ZELT_GROUP_SYSTEM, 4);
}

DWORD ZELT_GotoLoPower(Link* link) {
    return SendPlain(link, ZELT_GROUP_SYSTEM, 5);
}

DWORD ZELT_GotoSuspend(Link* link) {
    return SendPlain(link, ZELT_GROUP_SYSTEM, 7);
}

DWORD ZELT_ModifyCameraStatus(Link* link, BYTE index, BYTE keepMask, BYTE setBits) {
    return SendParams(link, ZELT_GROUP_SYSTEM, 10, index, keepMask, setBits, 0);
}

DWORD ZELT_ReadMC_Ports(Link* link, BYTE* d0, BYTE* d1, BYTE* d2, BYTE* d3) {
    BYTE data[8];
    if (!Read(link, ZELT_GROUP_MC, 3, NULL, data)) return 0;
    Give(d0, data[0]);
    Give(d1, data[1]);
    Give(d2, data[2]);
    Give(d3, data[3]);
    return 1;
}

DWORD ZELT_WriteMC_Port(Link* link, BYTE port, BYTE mask1, BYTE mask2) {
    return SendParams(link, ZELT_GROUP_MC, 4, port, mask1, mask2, 0);
}

DWORD ZELT_WriteMCData(Link* link, BYTE address, BYTE value) {
    return SendParams(link, ZELT_GROUP_MC, 8, address, 0, value, 0);
}

DWORD ZELT_SetColPar(Link* link, BYTE brightness, BYTE contrast, BYTE colour) {
    return SendParams(link, ZELT_GROUP_PROCESSOR, 3, brightness, contrast, colour, 0);
}

DWORD ZELT_SetExposure(Link* link, BYTE gain, BYTE mode, BYTE p2, BYTE centreWeight, BYTE d0, BYTE d1, BYTE d2, BYTE d3,
                       BYTE d4, BYTE d5, BYTE d6, BYTE d7) {
    BYTE params[4] = {gain, mode, p2, centreWeight};
    BYTE data[8] = {d0, d1, d2, d3, d4, d5, d6, d7};
    return CLINK_TransferMsg(link, ZELT_GROUP_PROCESSOR, 4, params, 0, 8, data);
}

DWORD ZELT_SetColBal(Link* link, BYTE mode, BYTE red, BYTE green, BYTE blue) {
    return SendParams(link, ZELT_GROUP_PROCESSOR, 6, mode, red, green, blue);
}

DWORD ZELT_SetSensorRate(Link* link, BYTE divisorExponent, BYTE baseRate) {
    return SendParams(link, ZELT_GROUP_PROCESSOR, 7, divisorExponent, baseRate, 0, 0);
}

DWORD ZELT_SetCorrectionGains(Link* link, BYTE g0, BYTE g1, BYTE g2, BYTE g3) {
    return SendParams(link, ZELT_GROUP_PROCESSOR, 9, g0, g1, g2, g3);
}

DWORD ZELT_SetFlicker(Link* link, BYTE mode, BYTE flickerPeriod, BYTE flickerAllow) {
    return SendParams(link, ZELT_GROUP_PROCESSOR, 10, mode, flickerPeriod, flickerAllow, 0);
}

DWORD ZELT_SetVLOffset(Link* link, BYTE v0, BYTE v1, BYTE v2, BYTE v3) {
    return SendParams(link, ZELT_GROUP_PROCESSOR, 11, v0, v1, v2, v3);
}

DWORD ZELT_GetColPar(Link* link, BYTE* brightness, BYTE* contrast, BYTE* colour) {
    if (!brightness || !contrast || !colour) return 0;
    BYTE data[8];
    if (!Read(link, ZELT_GROUP_PROCESSOR, 16, NULL, data)) return 0;
    *brightness = data[0];
    *contrast = data[1];
    *colour = data[2];
    return 1;
}

DWORD ZELT_GetColBal(Link* link, BYTE* red, BYTE* green, BYTE* blue) {
    if (!red || !green || !blue) return 0;
    BYTE data[8];
    if (!Read(link, ZELT_GROUP_PROCESSOR, 17, NULL, data)) return 0;
    *red = data[0];
    *green = data[1];
    *blue = data[2];
    return 1;
}

DWORD ZELT_GetExposure(Link* link, BYTE* d0, BYTE* d1, BYTE* d2, BYTE* d3, BYTE* d4, BYTE* d5, BYTE* d6, BYTE* d7) {
    BYTE data[8];
    if (!Read(link, ZELT_GROUP_PROCESSOR, 18, NULL, data)) return 0;
    GiveEight(data, d0, d1, d2, d3, d4, d5, d6, d7);
    return 1;
}

DWORD ZELT_ReadRegs(Link* link, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE* v0, BYTE* v1, BYTE* v2, BYTE* v3) {
    BYTE params[4] = {r0, r1, r2, r3};
    BYTE data[8];
    if (!Read(link, ZELT_GROUP_PROCESSOR, 30, params, data)) return 0;
    Give(v0, data[0]);
    Give(v1, data[1]);
    Give(v2, data[2]);
    Give(v3, data[3]);
    return 1;
}

DWORD ZELT_WriteReg(Link* link, BYTE reg, BYTE keepMask, BYTE setBits) {
    return SendParams(link, ZELT_GROUP_PROCESSOR, 31, reg, keepMask, setBits, 0);
}

DWORD ZELT_GrabFrame(Link* link, BYTE startLine) {
    return SendParams(link, ZELT_GROUP_VIDEO, 1, 0, startLine, 0, 0);
}

DWORD ZELT_SetGrabMode(Link* link, BYTE mode) {
    return SendParams(link, ZELT_GROUP_VIDEO, 3, mode, 0, 0, 0);
}

DWORD ZELT_InitStreamCap(Link* link, BYTE p0, BYTE p1) {
    return SendParams(link, ZELT_GROUP_VIDEO, 4, p0, p1, 0, 0);
}

DWORD ZELT_FinishStreamCap(Link* link) {
    return SendPlain(link, ZELT_GROUP_VIDEO, 5);
}

DWORD ZELT_StartStreamCap(Link* link) {
    return SendPlain(link, ZELT_GROUP_VIDEO, 6);
}

DWORD ZELT_StopStreamCap(Link* link) {
    return SendPlain(link, ZELT_GROUP_VIDEO, 7);
}

DWORD ZELT_setFormat(Link* link, BYTE videoSize, BYTE subSample, BYTE yuvOrder) {
    return SendParams(link, ZELT_GROUP_VIDEO, 8, videoSize, subSample, yuvOrder, 0);
}

DWORD ZELT_SetROI(Link* link, BYTE colStart8, BYTE colEnd8, BYTE rowStart4, BYTE rowEnd4) {
    return SendParams(link, ZELT_GROUP_VIDEO, 9, colStart8, colEnd8, rowStart4, rowEnd4);
}

DWORD ZELT_SetCompression(Link* link, BYTE compMode, BYTE decimation) {
    return SendParams(link, ZELT_GROUP_VIDEO, 10, compMode, decimation, 0, 0);
}

DWORD ZELT_SetCompressionTarget(Link* link, BYTE frTargeting, BYTE targetFR, BYTE targetQ) {
    return SendParams(link, ZELT_GROUP_VIDEO, 11, frTargeting, targetFR, targetQ, 0);
}

DWORD ZELT_SetYUVThresh(Link* link, BYTE yThreshold, BYTE uvThreshold) {
    return SendParams(link, ZELT_GROUP_VIDEO, 12, yThreshold, uvThreshold, 0, 0);
}

DWORD ZELT_SetCompressionParams(Link* link, BYTE d0, BYTE d1, BYTE d2, BYTE d3, BYTE d4, BYTE d5, BYTE d6, BYTE d7) {
    BYTE data[8] = {d0, d1, d2, d3, d4, d5, d6, d7};
    return CLINK_TransferMsg(link, ZELT_GROUP_VIDEO, 13, NULL, 0, 8, data);
}

DWORD ZELT_StartTestStream(Link* link) {
    return SendPlain(link, ZELT_GROUP_TEST, 8);
}
