// Flicker suppression, the frame-rate steps, the per-frame hook and the
// automatic frame rate.
//
// Exposure counts coarse-exposure lines of the sensor. Flicker suppression
// keeps it a whole number of mains half-periods (on the grid period x k - 1)
// so that lamps do not make bands; a slower frame rate allows a longer
// exposure in poor light.
#include "camera.h"

namespace {

struct RateStep {
    BYTE baseRate;         // 1: 30 frames/s, 0: 25 frames/s
    BYTE divisorExponent;  // the sensor runs at the base rate over 2 to the n
    WORD waitBefore;       // when this is the old step
    WORD waitAfter;        // when this is the new step
    BYTE period50;         // flicker period at 50 Hz mains
    BYTE period60;         // and at 60 Hz
};

// The wait after a change is ((33 or 40) x 2^n + 2) x 5 ms: a few frames
// of the new rate before the sensor is settled.
const RateStep kSteps[5] = {
    {1, 0, 142, 175, 92, 76}, {0, 0, 170, 210, 76, 64}, {1, 1, 274, 340, 46, 38},
    {0, 1, 330, 410, 38, 32}, {1, 2, 538, 670, 23, 19},
};

const RateStep* Step(DWORD step) {
    return step >= 1 && step <= 5 ? &kSteps[step - 1] : NULL;
}

const BYTE kCompensationOff[4] = {220, 214, 214, 230};
const BYTE kMarginLines = 15;
const BYTE kMainsFlickerAllow = 40;

// The automatic frame rate's observations: module-wide, as the driver
// serves one camera.
struct Observations {
    int dark;
    int veryDark;
    int bright;
    int veryBright;
    bool started;  // an observation was made, so nextTime means something
    DWORD nextTime;
};
Observations observations;

// Whether the previous frame's hook found the port watch on.
DWORD previousPortWatch = 0;

BYTE CompensationByte(double r, double factor) {
    // Exposures between two grid values can ask for more than a byte holds;
    // the strongest compensation is then the most the camera can take.
    double value = 128.5 + r * factor;
    return value >= 255.0 ? 255 : (BYTE)value;
}

}  // namespace

void camResetControlMemory(void) {
    observations = Observations();
    previousPortWatch = 0;
}

BYTE FlickerAllowance(BYTE brightness, BYTE flickExp, BYTE flickMax) {
    WORD d = (WORD)(flickMax - brightness - 59);
    return d < flickExp ? (BYTE)d : flickExp;
}

int camSetFlickerLimits(CameraState* state, BYTE flickMax, BYTE flickExp) {
    if (!state) return -1;
    state->flickMax = flickMax;
    state->flickExp = flickExp;
    state->flickerAllow = FlickerAllowance(state->brightness, flickExp, flickMax);
    return 0;
}

int camGetFlickerLimits(CameraState* state, BYTE* flickMax, BYTE* flickExp) {
    if (!state) return -1;
    if (flickMax) *flickMax = state->flickMax;
    if (flickExp) *flickExp = state->flickExp;
    return 0;
}

int camSetMainsFrequency(CameraState* state, DWORD mains) {
    const RateStep* step = state ? Step(state->frameRate) : NULL;
    if (!step || mains > 1) return -1;
    state->flickerPeriod = mains ? step->period60 : step->period50;
    state->flickerAllow = kMainsFlickerAllow;
    state->flickerMargin = kMarginLines;
    state->mainsFrequency = mains;
    return 0;
}

int camSetFlicker(CameraState* state, DWORD on, WORD exposure) {
    // Without a mains frequency there is no grid to put the exposure on.
    if (!state || state->flickerPeriod == 0) return -1;
    if (exposure == 0) {
        int read = camGetExposure(state);
        if (read < 0) return -1;
        exposure = (WORD)read;
    }
    Link* link = state->link;
    if (!ZELT_SetFlicker(link, (BYTE)on, state->flickerPeriod, state->flickerAllow)) return -1;
    if (CheckCameraStatus(state, "camSetFlicker()") != 0) return -1;
    state->flickerState = on ? 2 : 0;

    WORD period = state->flickerPeriod;
    WORD n = exposure / period;
    if (n < 1) n = 1;
    WORD grid = (WORD)(period * n - 1);
    bool older = state->firmwareVersion == FIRMWARE_1_2;
    // Firmware 1.2 takes an exposure of one byte only.
    while (older && grid > 255) grid = (WORD)(grid - period);

    BYTE compensation[4];
    if (on && exposure > grid) {
        double r = (double)exposure / grid;
        compensation[0] = CompensationByte(r, 92);
        compensation[1] = CompensationByte(r, 86);
        compensation[2] = CompensationByte(r, 86);
        compensation[3] = CompensationByte(r, 102);
    } else {
        for (int i = 0; i < 4; i++) compensation[i] = kCompensationOff[i];
    }
    if (older) {
        if (on) {
            ZELT_WriteMCData(link, 27, (BYTE)((period & 1) * 128));
            ZELT_WriteMCData(link, 26, (BYTE)(period / 2));
        } else {
            ZELT_WriteMCData(link, 166, compensation[1]);
            ZELT_WriteMCData(link, 167, compensation[3]);
        }
    }
    BYTE p2 = on && state->firmwareVersion <= FIRMWARE_1_2 ? 0 : 1;
    if (!ZELT_SetExposure(link, 0, (BYTE)on, p2, 0, 0, 0, (BYTE)(grid & 0xFF), (BYTE)(grid >> 8), compensation[0],
                          compensation[1], compensation[2], compensation[3]))
        return -1;
    if (CheckCameraStatus(state, "camSetFlicker() : SetExposure") != 0) return -1;
    state->exposure[2] = (BYTE)(grid & 0xFF);
    state->exposure[3] = (BYTE)(grid >> 8);
    for (int i = 0; i < 4; i++) state->exposure[4 + i] = compensation[i];

    ZELT_SetVLOffset(link, 20, 24, 26, 26);
    if (on)
        ZELT_SetCorrectionGains(link, 24, 24, 22, 20);
    else
        ZELT_SetCorrectionGains(link, 24, 22, 36, 52);
    return CheckCameraStatus(state, "camSetFlicker() : SetVLOffset");
}

int camSetFrameRate(CameraState* state, DWORD step, DWORD automatic) {
    if (!state) return -1;
    if (automatic != state->autoFrameRate) {
        // Switching between automatic and fixed records only the flag; the
        // next call with the same flag makes the change.
        state->autoFrameRate = automatic;
        return 0;
    }
    if (step == state->frameRate) return 0;
    const RateStep* next = Step(step);
    if (!next) return -1;
    const RateStep* old = Step(state->frameRate);

    bool autoExposure = state->exposureMode == 2;
    bool balanceFree = state->colBalMode != 3;
    // Exposure and colour balance would chase the sensor while it settles.
    camSetAutoExposure(state, 0);
    camSetColBal(state, 3, 0, 0, 0);

    int result = 0;
    // A step not yet known waits as long as the slowest rate needs.
    DelayMs(old ? old->waitBefore : kSteps[4].waitBefore);
    if (ZELT_SetSensorRate(state->link, next->divisorExponent, next->baseRate)) {
        DelayMs(next->waitAfter);
        state->frameRate = step;
        BYTE r52 = 0;
        if (ZELT_ReadRegs(state->link, 52, 52, 52, 52, &r52, NULL, NULL, NULL) && (r52 & 0x0F) != 0)
            ZELT_WriteReg(state->link, 52, 0xF0, 0);
    } else {
        result = -1;
    }
    ZELT_WriteReg(state->link, 63, 0, 255);

    if (autoExposure) camSetAutoExposure(state, 1);
    if (balanceFree) camSetColBal(state, 2, 0, 0, 0);
    return result;
}

int camGetFrameRate(CameraState* state, DWORD* step, DWORD* automatic) {
    if (!state) return -1;
    if (step) *step = state->frameRate;
    if (automatic) *automatic = state->autoFrameRate;
    return 0;
}

namespace {

// Older firmware drops out of flicker suppression when its own exposure
// control leaves the grid; this puts it back. Answers the grid exposure
// when it re-armed suppression, else 0.
WORD FlickerFollowUp(CameraState* state, WORD e) {
    WORD period = state->flickerPeriod;
    if (period == 0) return 0;
    if (state->flickerState == 2 && e % period <= period - 3) state->flickerState = 1;
    if (state->flickerState != 1 || e <= period + state->flickerMargin) return 0;
    if (camSetFlicker(state, 1, e) != 0) return 0;
    WORD k = e / period;
    return (WORD)(period * (k < 1 ? 1 : k) - 1);
}

// The next step darker (slower) or brighter (faster) from this one; the same
// step when there is none.
DWORD DarkerStep(DWORD step, bool flicker) {
    if (flicker) return step == 1 ? 3 : step == 2 ? 4 : step;
    switch (step) {
        case 1:
            return observations.veryDark >= 3 ? 5 : 3;
        case 2:
            return 4;
        case 3:
            return 5;
        default:
            return step;
    }
}

DWORD BrighterStep(DWORD step) {
    switch (step) {
        case 3:
            return 1;
        case 4:
            return 2;
        case 5:
            return observations.veryBright >= 3 ? 1 : 3;
        default:
            return step;
    }
}

// One 2-second observation of the light into the four counters.
void Observe(CameraState* state, WORD x, BYTE level, BYTE adjust) {
    int low = state->brightness - 6 > 0 ? state->brightness - 6 : 0;
    int high = state->brightness + 134 < 255 ? state->brightness + 134 : 255;
    int veryLow = low / 2;
    bool flicker = state->flickerState == 2;
    bool dark;
    if (flicker) {
        int limit = state->firmwareVersion > FIRMWARE_1_2 ? 239 : 160;
        dark = ((adjust + 128) & 0xFF) >= limit && level < low;
    } else {
        dark = x >= 302 && level < low;
    }
    Observations& o = observations;
    if (dark) {
        o.bright = o.veryBright = 0;
        if (level >= veryLow) {
            o.dark++;
            o.veryDark = 0;
        } else {
            o.dark = 0;
            o.veryDark++;
        }
        return;
    }
    o.dark = o.veryDark = 0;
    if (x > 140 && level <= (flicker ? high : 90)) {
        o.bright = o.veryBright = 0;
    } else if (x <= 70) {
        o.bright = 0;
        o.veryBright++;
    } else {
        o.bright++;
        o.veryBright = 0;
    }
}

// The coarse exposure on the new step's grid after a change with flicker
// suppression on.
WORD GridExposure(const CameraState* state, WORD x, bool darker, bool fromSlowest, WORD maxGrid) {
    WORD period = state->flickerPeriod;
    WORD c = (WORD)(period - 1);
    if (period == 0) return 0;
    if (darker) {
        WORD t = x / 2;
        while (c < t) c = (WORD)(c + period);
        return (WORD)(c + period);
    }
    DWORD t = fromSlowest ? (DWORD)x * 4 : (DWORD)x * 2;
    while (c < t && c + period < maxGrid) c = (WORD)(c + period);
    return c;
}

// Makes the frame-rate change that the observations decided on, with the
// exposure to start the new rate from.
void ChangeStep(CameraState* state, DWORD step, WORD x, bool darker, BYTE gain) {
    DWORD old = state->frameRate;
    bool flicker = state->flickerState == 2;
    WORD maxGrid = state->firmwareVersion > FIRMWARE_1_2 ? 302 : 255;
    if (camSetFrameRate(state, step, 1) != 0) return;
    if (!flicker) {
        // At the slowest rate the light is too poor for the automatic balance.
        if (darker && step == 5) camSetColBal(state, 1, 30, 30, 200);
        WORD c = x;
        if (state->firmwareVersion <= FIRMWARE_1_2 && c > 255) c = 255;
        ZELT_SetExposure(state->link, 0, 1, 0, 0, gain, 1, (BYTE)(c & 0xFF), (BYTE)((c >> 8) & 1), 0, 0, 0, 0);
        return;
    }
    camSetMainsFrequency(state, state->mainsFrequency);
    ZELT_SetFlicker(state->link, 2, state->flickerPeriod, state->flickerAllow);
    WORD c = GridExposure(state, x, darker, old == 5 && step == 1, maxGrid);
    ZELT_SetExposure(state->link, 0, 1, 0, 0, 0, 1, (BYTE)(c & 0xFF), (BYTE)((c >> 8) & 1), 0, 0, 0, 0);
}

// Observes the light at most every 2 seconds and, after three alike
// observations, steps the frame rate. Answers 1 when it observed; newStep
// gets the step asked for, 0 when none.
int AutoFrameRateStep(CameraState* state, WORD x, DWORD* newStep) {
    if (newStep) *newStep = 0;
    DWORD now = timeGetTime();
    if (observations.started && (LONG)(now - observations.nextTime) < 0) return 0;
    observations.started = true;
    observations.nextTime = now + 2000;
    if (x == 0) {
        int read = camGetExposure(state);
        // Without the exposure there is nothing to observe.
        if (read < 0) return 0;
        x = (WORD)read;
    }
    BYTE level = 0, adjust = 0, gain = 0;
    if (!ZELT_ReadRegs(state->link, 30, 4, 9, 8, &level, &adjust, &gain, NULL)) return 0;
    Observe(state, x, level, adjust);

    Observations& o = observations;
    bool flicker = state->flickerState == 2;
    bool darker = o.dark >= 3 || o.veryDark >= 3;
    if (!darker && o.bright < 3 && o.veryBright < 3) return 1;
    DWORD step = darker ? DarkerStep(state->frameRate, flicker) : BrighterStep(state->frameRate);
    if (step != state->frameRate) {
        BYTE g = 1;
        if (darker) {
            int less = state->frameRate == 1 && step == 5 ? 2 : 1;
            g = (BYTE)(gain > less ? gain - less : 0);
        }
        ChangeStep(state, step, x, darker, g);
        if (newStep) *newStep = step;
    }
    // A new decision needs three fresh observations.
    o.dark = o.veryDark = o.bright = o.veryBright = 0;
    return 1;
}

// Watches the camera's input bit (a button on the camera) and acknowledges
// it. The first frame after the watch is turned on only clears a press left
// from before.
void WatchPort(CameraState* state) {
    BYTE port = 0;
    if (!ZELT_ReadMC_Ports(state->link, NULL, &port, NULL, NULL)) {
        CheckCameraStatus(state, "ZELT_WriteMC_Port");
        return;
    }
    if (port & 0x02) return;
    if (previousPortWatch) state->portEvent = 1;
    ZELT_WriteMC_Port(state->link, 3, 0xDF, 0xDF);
    ZELT_WriteMC_Port(state->link, 3, 0xFF, 0xFF);
}

}  // namespace

int camFrameHook(CameraState* state, const BYTE* header) {
    if (!state || !header) return 0;
    int result = 0;
    if (state->portWatch) {
        result = 1;
        WatchPort(state);
    }
    previousPortWatch = state->portWatch;
    // The header's byte 39 is half the frame's coarse exposure.
    WORD e = (WORD)(header[39] * 2);
    if (state->firmwareVersion <= FIRMWARE_1_2) {
        WORD grid = 0;
        if (state->flickerState != 0 && header[39] != 0) {
            grid = FlickerFollowUp(state, e);
            result = 1;
        }
        state->frameExposure = grid ? grid : e;
    }
    if (state->autoFrameRate) result |= AutoFrameRateStep(state, e, NULL);
    return result;
}
