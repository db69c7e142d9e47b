// The simulated camera's firmware: the command set and the exposure model.
//
// The camera refuses everything but its system group outside high power,
// and latches why in CmdError; a refused command changes nothing. Reads that
// it refuses return zeros.
#include "camera.h"

#include <string.h>

namespace {

// Sensor size in window units (8 columns, 4 rows): QCIF 176 x 144, CIF 352 x 288.
const uint8_t kColumns8[2] = {22, 44};
const uint8_t kRows4[2] = {36, 72};

// The picture's light level the automatic exposure aims at.
const int kLightTarget = 128;

// Colour-balance values the automatic balance settles on for the scene.
const uint8_t kAutoRed = 112, kAutoGreen = 128, kAutoBlue = 136;

void Latch(SimCamera* camera, uint8_t cmdError) {
    camera->status[4] |= cmdError;
}

uint32_t IntervalMillis(const SimCamera* camera) {
    return (SimFrameIntervalMicros(camera) + 999) / 1000;
}

// Lines the sensor reads in one frame, at every rate: a slower rate makes
// each line longer, not the frame taller, so the mains half-period spans
// fewer lines and the same exposure in lines collects more light. The
// exposure cannot be longer than the frame.
const int kLinesPerFrame = 312;

// Light a line collects at this rate, in thousandths of a line at 30 frames/s.
int LineWeight(const SimCamera* camera) {
    return (int)(SimFrameIntervalMicros(camera) * 1000u / 33333u);
}

void Put(uint8_t* data, const uint8_t* bytes, int count) {
    if (data) memcpy(data, bytes, count);
}

void SystemCommand(SimCamera* camera, uint8_t number, const uint8_t* p, uint8_t* data) {
    switch (number) {
        case 1:
            Put(data, camera->version, 4);
            break;
        case 3:
            Put(data, camera->status, 8);
            break;
        case 4:
            camera->status[0] = 3;
            break;
        case 5:
            // Low power stops the sensor: whatever was being captured is lost.
            camera->status[0] = 2;
            camera->grabPending = 0;
            camera->streamRunning = 0;
            break;
        case 7:
            camera->status[0] = 1;
            camera->grabPending = 0;
            camera->streamRunning = 0;
            break;
        case 10:
            if (p[0] < 2 || p[0] > 4) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            camera->status[p[0]] = (uint8_t)((camera->status[p[0]] & p[1]) | p[2]);
            break;
        default:
            Latch(camera, SIM_CMD_UNKNOWN);
    }
}

void McCommand(SimCamera* camera, uint8_t number, const uint8_t* p, uint8_t* data) {
    switch (number) {
        case 3: {
            uint8_t ports[4];
            memcpy(ports, camera->mcPorts, 4);
            // The button pulls input bit 0x02 of port 1 low while latched.
            if (camera->buttonDown) ports[1] &= (uint8_t)~0x02;
            Put(data, ports, 4);
            break;
        }
        case 4: {
            if (p[0] > 3) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            uint8_t before = camera->mcPorts[p[0]];
            uint8_t after = (uint8_t)((before & p[1]) | p[2]);
            camera->mcPorts[p[0]] = after;
            // A low pulse on port 3 bit 0x20 acknowledges the button.
            if (p[0] == 3 && (before & 0x20) && !(after & 0x20)) camera->buttonDown = 0;
            break;
        }
        case 8:
            camera->mcData[p[0]] = p[2];
            break;
        default:
            Latch(camera, SIM_CMD_UNKNOWN);
    }
}

void SetExposure(SimCamera* camera, const uint8_t* p, const uint8_t* data) {
    if (p[1] > 3 || p[3] > 2 || !data) {
        Latch(camera, SIM_CMD_BAD_PARAMETER);
        return;
    }
    if (p[0] != 0) camera->gain = (uint8_t)(p[0] - 1);
    // Mode 1 seeds the exposure from the block without changing the mode.
    if (p[1] == 1) {
        camera->coarseExposure = (uint16_t)(data[2] | (data[3] << 8));
        if (data[1] == 1) camera->gain = data[0];
    } else if (p[1] == 2 || p[1] == 3) {
        camera->exposureMode = p[1];
    }
    bool compensation = data[4] || data[5] || data[6] || data[7];
    if ((p[1] == 1 || p[2] == 1) && compensation) memcpy(camera->compensation, data + 4, 4);
    if (p[3] != 0) camera->centreWeight = p[3] == 1;
}

void ProcessorCommand(SimCamera* camera, uint8_t number, const uint8_t* p, uint8_t* data, uint32_t now) {
    switch (number) {
        case 3:
            camera->brightness = p[0];
            camera->contrast = p[1];
            camera->colour = p[2];
            break;
        case 6:
            if (p[0] < 1 || p[0] > 3) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            camera->colBalMode = p[0];
            if (p[0] == 1) {
                camera->red = p[1];
                camera->green = p[2];
                camera->blue = p[3];
            } else if (p[0] == 2) {
                camera->red = kAutoRed;
                camera->green = kAutoGreen;
                camera->blue = kAutoBlue;
            }
            break;
        case 7:
            if (p[0] > 2 || p[1] > 1) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            camera->divisorExponent = p[0];
            camera->baseRate = p[1];
            // A running stream goes on at the new rate from now.
            if (camera->streamRunning) {
                camera->streamStart = now;
                camera->streamCaptures = 0;
            }
            // The sensor's timing logic leaves stale bits behind after a
            // rate change; the driver clears them.
            camera->registers[52] |= 0x05;
            break;
        case 9:
            memcpy(camera->correctionGains, p, 4);
            break;
        case 10:
            if (p[0] > 2) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            camera->flickerMode = p[0];
            camera->flickerPeriod = p[1];
            camera->flickerAllow = p[2];
            break;
        case 11:
            memcpy(camera->vlOffset, p, 4);
            break;
        case 16: {
            uint8_t values[3] = {camera->brightness, camera->contrast, camera->colour};
            Put(data, values, 3);
            break;
        }
        case 17: {
            uint8_t values[3] = {camera->red, camera->green, camera->blue};
            Put(data, values, 3);
            break;
        }
        case 18: {
            SimUpdateExposure(camera);
            uint8_t block[8] = {camera->gain,
                                camera->exposureMode,
                                (uint8_t)(camera->coarseExposure & 0xFF),
                                (uint8_t)(camera->coarseExposure >> 8),
                                camera->compensation[0],
                                camera->compensation[1],
                                camera->compensation[2],
                                camera->compensation[3]};
            Put(data, block, 8);
            break;
        }
        case 30: {
            SimUpdateExposure(camera);
            uint8_t values[4] = {camera->registers[p[0]], camera->registers[p[1]], camera->registers[p[2]],
                                 camera->registers[p[3]]};
            Put(data, values, 4);
            break;
        }
        case 31:
            camera->registers[p[0]] = (uint8_t)((camera->registers[p[0]] & p[1]) | p[2]);
            break;
        default:
            Latch(camera, SIM_CMD_UNKNOWN);
    }
}

void Change(SimCamera* camera, uint8_t* field, uint8_t value) {
    if (*field != value) camera->settingsChanged = 1;
    *field = value;
}

bool WindowFits(uint8_t videoSize, const uint8_t* p) {
    return p[0] < p[1] && p[1] <= kColumns8[videoSize] && p[2] < p[3] && p[3] <= kRows4[videoSize];
}

void VideoCommand(SimCamera* camera, uint8_t number, const uint8_t* p, const uint8_t* data, uint32_t now) {
    switch (number) {
        case 1:
            if (camera->grabMode != 1 || camera->streamInitialised) {
                Latch(camera, SIM_CMD_OUT_OF_SEQUENCE);
                break;
            }
            camera->grabStartLine = p[1];
            camera->grabPending = 1;
            camera->grabDue = now + IntervalMillis(camera);
            camera->status[2] = SIM_STREAM_CAPTURING;
            break;
        case 3:
            if (p[0] > 1) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
            } else if (p[0] == 1 && camera->streamInitialised) {
                Latch(camera, SIM_CMD_OUT_OF_SEQUENCE);
            } else {
                camera->grabMode = p[0];
                if (p[0] == 0) camera->grabPending = 0;
            }
            break;
        case 4:
            if (camera->grabMode != 0) {
                Latch(camera, SIM_CMD_OUT_OF_SEQUENCE);
                break;
            }
            camera->streamInitialised = 1;
            camera->streamRunning = 0;
            camera->streamSkip = p[0];
            camera->grabStartLine = p[1];
            break;
        case 5:
        case 6:
        case 7:
            if (!camera->streamInitialised) {
                Latch(camera, SIM_CMD_OUT_OF_SEQUENCE);
                break;
            }
            camera->streamRunning = number == 6;
            if (number == 5) camera->streamInitialised = 0;
            if (number == 6) {
                camera->streamStart = now;
                camera->streamCaptures = 0;
                camera->status[2] = SIM_STREAM_CAPTURING;
            }
            break;
        case 8:
            if (p[0] > 1) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            Change(camera, &camera->videoSize, p[0]);
            Change(camera, &camera->subSample, p[1]);
            Change(camera, &camera->yuvOrder, p[2]);
            break;
        case 9:
            if (!WindowFits(camera->videoSize, p)) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            Change(camera, &camera->colStart8, p[0]);
            Change(camera, &camera->colEnd8, p[1]);
            Change(camera, &camera->rowStart4, p[2]);
            Change(camera, &camera->rowEnd4, p[3]);
            break;
        case 10:
            if (p[0] > 2 || p[1] > 1) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            Change(camera, &camera->compMode, p[0]);
            Change(camera, &camera->decimation, p[1]);
            break;
        case 11:
            camera->frTargeting = p[0];
            camera->targetFR = p[1];
            camera->targetQ = p[2];
            break;
        case 12:
            camera->yThreshold = p[0];
            camera->uvThreshold = p[1];
            break;
        case 13:
            if (!data) {
                Latch(camera, SIM_CMD_BAD_PARAMETER);
                break;
            }
            memcpy(camera->compressionParams, data, 8);
            break;
        default:
            Latch(camera, SIM_CMD_UNKNOWN);
    }
}

void TestCommand(SimCamera* camera, uint8_t number) {
    if (number != 8) {
        Latch(camera, SIM_CMD_UNKNOWN);
        return;
    }
    camera->testStreamReady = 1;
    camera->status[2] = SIM_STREAM_READY;
}

// Read commands of each group: they answer with a data block.
bool Reads(uint8_t group, uint8_t number) {
    if (group == 0x00) return number == 1 || number == 3;
    if (group == 0x20) return number == 3;
    if (group == 0xA0) return number == 16 || number == 17 || number == 18 || number == 30;
    return false;
}

}  // namespace

void SimCameraPowerUp(SimCamera* camera, uint8_t major, uint8_t minor, uint8_t systemState, uint8_t light) {
    memset(camera, 0, sizeof *camera);
    camera->version[0] = major;
    camera->version[1] = minor;
    camera->version[2] = 0x02;  // sensor type and board revision, passed on
    camera->version[3] = 0x01;
    camera->status[0] = systemState;
    memset(camera->mcPorts, 0xFF, sizeof camera->mcPorts);
    camera->exposureMode = 2;
    camera->centreWeight = 1;
    camera->coarseExposure = 100;
    const uint8_t compensation[4] = {220, 214, 214, 230};
    memcpy(camera->compensation, compensation, 4);
    camera->colBalMode = 2;
    camera->red = kAutoRed;
    camera->green = kAutoGreen;
    camera->blue = kAutoBlue;
    camera->brightness = 128;
    camera->contrast = 32;
    camera->colour = 128;
    camera->baseRate = 1;
    camera->videoSize = 1;
    camera->subSample = 1;
    camera->colEnd8 = kColumns8[1];
    camera->rowEnd4 = kRows4[1];
    camera->yThreshold = 6;
    camera->uvThreshold = 6;
    camera->targetFR = 15;
    camera->targetQ = 5;
    camera->light = light;
    SimUpdateExposure(camera);
}

uint32_t SimFrameIntervalMicros(const SimCamera* camera) {
    uint32_t base = camera->baseRate ? 33333u : 40000u;
    return base << (camera->divisorExponent > 2 ? 2 : camera->divisorExponent);
}

void SimFrameSize(const SimCamera* camera, uint32_t* width, uint32_t* height) {
    uint8_t size = camera->videoSize ? 1 : 0;
    // A window left over from the larger sensor is cut to the smaller one.
    uint32_t colEnd = camera->colEnd8 < kColumns8[size] ? camera->colEnd8 : kColumns8[size];
    uint32_t rowEnd = camera->rowEnd4 < kRows4[size] ? camera->rowEnd4 : kRows4[size];
    *width = colEnd > camera->colStart8 ? (colEnd - camera->colStart8) * 8 : 0;
    *height = rowEnd > camera->rowStart4 ? (rowEnd - camera->rowStart4) * 4 : 0;
}

void SimUpdateExposure(SimCamera* camera) {
    int light = camera->light ? camera->light : 1;
    int gainPercent = 100 + 25 * camera->gain;
    int weight = LineWeight(camera);
    int maximum = kLinesPerFrame - 1;
    if (camera->exposureMode == 2) {
        int64_t lines64 = (int64_t)kLightTarget * 100 * 100 * 1000 / ((int64_t)light * gainPercent * weight);
        int lines = lines64 > maximum ? maximum : (int)lines64;
        if (lines < 1) lines = 1;
        // With flicker suppression the exposure stays on the mains grid.
        int period = camera->flickerPeriod;
        if (camera->flickerMode && period > 0) lines = lines >= period ? (lines + 1) / period * period - 1 : period - 1;
        camera->coarseExposure = (uint16_t)lines;
    }
    int64_t collected = (int64_t)light * camera->coarseExposure * gainPercent * weight / (100 * 100 * 1000);
    int level = collected > 255 ? 255 : (int)collected;
    int error = kLightTarget - level;
    if (error > 127) error = 127;
    if (error < -128) error = -128;
    camera->registers[30] = (uint8_t)level;
    camera->registers[4] = (uint8_t)(int8_t)error;
    camera->registers[9] = camera->gain;
}

void SimCameraCommand(SimCamera* camera, uint8_t group, uint8_t number, const uint8_t* params, uint32_t direction,
                      uint8_t* data, uint32_t now) {
    bool reads = Reads(group, number);
    // A read's block goes back only when it was asked for the right way.
    uint8_t* reply = reads && direction == 1 ? data : NULL;
    if (reply) memset(reply, 0, 8);
    if (reads && !reply) {
        Latch(camera, SIM_CMD_BAD_PARAMETER);
        return;
    }
    if (group != 0x00 && camera->status[0] != 3) {
        Latch(camera, SIM_CMD_NOT_HIGH_POWER);
        return;
    }
    const uint8_t* block = !reads && direction == 0 ? data : NULL;
    switch (group) {
        case 0x00:
            SystemCommand(camera, number, params, reply);
            break;
        case 0x20:
            McCommand(camera, number, params, reply);
            break;
        case 0xA0:
            if (number == 4) {
                SetExposure(camera, params, block);
            } else {
                ProcessorCommand(camera, number, params, reply, now);
            }
            break;
        case 0xC0:
            VideoCommand(camera, number, params, block, now);
            break;
        case 0xE0:
            TestCommand(camera, number);
            break;
        default:
            Latch(camera, SIM_CMD_UNKNOWN);
    }
}

int SimCaptureDue(SimCamera* camera, uint32_t now) {
    if (camera->grabPending && (int32_t)(now - camera->grabDue) >= 0) {
        camera->grabPending = 0;
        return 1;
    }
    if (!camera->streamRunning) return 0;
    uint64_t period = (uint64_t)SimFrameIntervalMicros(camera) * (camera->streamSkip + 1u);
    uint64_t elapsed = (uint64_t)(uint32_t)(now - camera->streamStart) * 1000u;
    uint32_t taken = (uint32_t)(elapsed / period);
    if (taken <= camera->streamCaptures) return 0;
    camera->streamCaptures = taken;
    return 1;
}

int SimCaptureExpected(const SimCamera* camera) {
    return camera->grabPending || camera->streamRunning;
}
