// What the simulated machine has: its parallel ports, the camera, the link
// driver's version, and the faults to inject. Read from a small text file
// (the one TARN2_SIM names) or set by a test; the format is in README.md.
#ifndef TARN2_SIM_SCENARIO_H
#define TARN2_SIM_SCENARIO_H

#include <stdint.h>

#include <string>
#include <vector>

struct SimPort {
    bool present = false;
    uint16_t base = 0;
    uint8_t type = 0;
    bool camera = false;  // the camera hangs on this port
    bool refuse = false;  // the link driver will not attach it
    bool hasId = false;   // something answers the IEEE 1284 device-ID read
    std::string id;
};

// Which occurrence a fault hits: the n-th (from 1), or every one (0).
enum SimUploadFaultKind { kUploadRefused, kUploadShort, kUploadFailed };

struct SimUploadFault {
    SimUploadFaultKind kind;
    uint32_t which;
    uint32_t bytes;  // missing bytes of a short upload
};

struct SimErrorFault {
    uint8_t group;
    uint8_t number;
    bool fatal;  // FatalError instead of CmdError
    uint8_t bits;
    uint32_t times;  // 0: every time
};

struct SimPatternFault {
    bool all;
    uint32_t offset;
    int value;  // -1: the expected byte inverted
};

// One point of the scene's light over time: milliseconds since the camera
// powered up, and the light level (0 black to 255 bright) at that time.
struct SimLightPoint {
    uint32_t time;
    uint8_t level;
};

struct SimScenario {
    SimPort ports[4];  // LPT1..LPT3 at 1..3
    uint8_t firmwareMajor = 1;
    uint8_t firmwareMinor = 3;
    uint16_t linkVersion = 20;
    uint8_t systemState = 1;
    uint8_t light = 128;
    // When not empty, the light follows these points (straight lines between
    // them, the last level after the last point) instead of staying at light.
    std::vector<SimLightPoint> lightProfile;
    std::vector<SimUploadFault> uploadFaults;
    std::vector<SimErrorFault> errorFaults;
    std::vector<SimPatternFault> patternFaults;
    std::vector<uint32_t> streamState3;  // frame numbers, 0 every frame
    long vanishAfter = -1;               // commands answered before the camera goes
    long freezeAt = -1;                  // frame whose read-out stops halfway; none after it
    bool noStreamInterrupt = false;
    bool detachRefused = false;
};

// The light level at a time since power-up: the profile's, or the steady light.
uint8_t SimLightAt(const SimScenario& scenario, uint32_t sincePowerUp);

// The camera's device ID when the scenario names none.
extern const char* const kSimCameraDeviceId;

// One camera on LPT1 (type 0x57), firmware 1.3.
void SimDefaultScenario(SimScenario* scenario);

// Parses scenario text over the defaults. On a problem answers false with
// "<name>, line <n>: <what is wrong>" and leaves *scenario alone.
bool SimParseScenario(const std::string& text, const std::string& name, SimScenario* scenario, std::string* problem);

#endif
