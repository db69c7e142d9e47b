// The scenario reader. Every line is checked, and the first bad one is
// reported with its number and what is wrong with it, so a typo never
// silently gives a different machine.
#include "scenario.h"

#include <stdlib.h>

#include <sstream>

const char* const kSimCameraDeviceId =
    "MFG:Marbeck Ltd;MDL:TARN2 Colour Camera;CMD:TARN2;CLS:MEDIA;DES:Marbeck TARN2 parallel-port colour camera;";

namespace {

const char* const kProfileHelp =
    "expected a light profile: steady, dusk-and-dawn, dim-and-back, or points as milliseconds:level";

// Light over time that makes the automatic frame rate step: dusk-and-dawn
// goes so dark that 30 frames/s drop to 7.5 and then bright enough to come
// back; dim-and-back only dims enough for 15 frames/s.
bool NamedLightProfile(const std::string& name, std::vector<SimLightPoint>* points) {
    if (name == "steady") {
        points->clear();
        return true;
    }
    if (name == "dusk-and-dawn") {
        *points = {{0, 128}, {4000, 128}, {6000, 4}, {24000, 4}, {26000, 160}};
        return true;
    }
    if (name == "dim-and-back") {
        *points = {{0, 128}, {4000, 128}, {6000, 10}, {24000, 10}, {26000, 128}};
        return true;
    }
    return false;
}

struct Line {
    std::vector<std::string> words;
    size_t next = 0;
    std::string raw;

    bool More() const { return next < words.size(); }
    std::string Word() { return More() ? words[next++] : std::string(); }
};

Line Split(const std::string& text) {
    Line line;
    line.raw = text;
    std::istringstream in(text);
    std::string word;
    while (in >> word) line.words.push_back(word);
    return line;
}

// The text after the first occurrence of the word "id" that follows the
// port fields, verbatim but for the spaces around it.
std::string RestAfter(const std::string& raw, const std::string& word) {
    size_t at = 0;
    for (;;) {
        at = raw.find(word, at);
        if (at == std::string::npos) return std::string();
        bool startOk = at == 0 || raw[at - 1] == ' ' || raw[at - 1] == '\t';
        size_t end = at + word.size();
        bool endOk = end == raw.size() || raw[end] == ' ' || raw[end] == '\t';
        if (startOk && endOk) {
            std::string rest = raw.substr(end);
            size_t first = rest.find_first_not_of(" \t");
            size_t last = rest.find_last_not_of(" \t\r");
            return first == std::string::npos ? std::string() : rest.substr(first, last - first + 1);
        }
        at = end;
    }
}

bool Number(const std::string& word, unsigned long maximum, unsigned long* value) {
    if (word.empty()) return false;
    char* end = nullptr;
    int base = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X') ? 16 : 10;
    if (word[0] == '-' || word[0] == '+') return false;
    unsigned long parsed = strtoul(word.c_str(), &end, base);
    if (*end != '\0' || parsed > maximum) return false;
    *value = parsed;
    return true;
}

class Parser {
public:
    Parser(SimScenario* scenario, std::string* problem) : s(*scenario), problem(*problem) {}

    bool ParseLine(Line& line) {
        std::string keyword = line.Word();
        if (keyword == "port") return Port(line);
        if (keyword == "firmware") return Firmware(line);
        if (keyword == "linkversion") return Value(line, 65535, "the link-driver version", &s.linkVersion);
        if (keyword == "systemstate") return Value(line, 255, "the system state", &s.systemState);
        if (keyword == "light") return Value(line, 255, "the light level", &s.light);
        if (keyword == "lightprofile") return LightProfile(line);
        if (keyword == "fault") return Fault(line);
        return Fail("unknown keyword \"" + keyword + "\"");
    }

    bool Finish() {
        int cameras = 0;
        for (int port = 1; port <= 3; port++) cameras += s.ports[port].camera ? 1 : 0;
        if (cameras > 1) return Fail("more than one port has the camera");
        return true;
    }

private:
    SimScenario& s;
    std::string& problem;
    bool portsDeclared = false;

    bool Fail(const std::string& what) {
        problem = what;
        return false;
    }

    template <typename T>
    bool Value(Line& line, unsigned long maximum, const char* what, T* field) {
        unsigned long value = 0;
        if (!Number(line.Word(), maximum, &value))
            return Fail(std::string("expected ") + what + " from 0 to " + std::to_string(maximum));
        *field = (T)value;
        return Done(line);
    }

    bool Done(Line& line) {
        if (line.More()) return Fail("unexpected \"" + line.Word() + "\"");
        return true;
    }

    bool Port(Line& line) {
        unsigned long number = 0;
        if (!Number(line.Word(), 3, &number) || number < 1) return Fail("expected a port number from 1 to 3");
        // The first port line replaces the default machine's ports.
        if (!portsDeclared) {
            for (SimPort& port : s.ports) port = SimPort();
            portsDeclared = true;
        }
        SimPort& port = s.ports[number];
        if (port.present) return Fail("LPT" + std::to_string(number) + " is declared twice");
        port.present = true;
        port.base = number == 1 ? 0x378 : number == 2 ? 0x278 : 0x3BC;
        port.type = 0x01;
        bool noId = false;
        bool ownId = false;
        while (line.More()) {
            std::string word = line.Word();
            unsigned long value = 0;
            if (word == "base") {
                if (!Number(line.Word(), 0xFFFF, &value)) return Fail("expected a base address from 0 to 0xFFFF");
                port.base = (uint16_t)value;
            } else if (word == "type") {
                if (!Number(line.Word(), 0xFF, &value)) return Fail("expected port type bits from 0 to 0xFF");
                port.type = (uint8_t)value;
            } else if (word == "camera") {
                port.camera = true;
            } else if (word == "refuse") {
                port.refuse = true;
            } else if (word == "noid") {
                noId = true;
            } else if (word == "id") {
                port.id = RestAfter(line.raw, "id");
                if (port.id.empty()) return Fail("expected the device-ID text after \"id\"");
                ownId = true;
                line.next = line.words.size();
            } else {
                return Fail("unknown port setting \"" + word + "\"");
            }
        }
        if (noId && ownId) return Fail("\"noid\" and \"id\" on the same port");
        if (port.camera && !ownId) port.id = kSimCameraDeviceId;
        port.hasId = !noId && !port.id.empty();
        return true;
    }

    // A named profile, or points "milliseconds:level" with rising times.
    bool LightProfile(Line& line) {
        std::vector<SimLightPoint> points;
        if (!line.More()) return Fail(kProfileHelp);
        std::string first = line.words[line.next];
        if (first.find(':') == std::string::npos) {
            line.Word();
            if (!NamedLightProfile(first, &points))
                return Fail("unknown light profile \"" + first + "\"; " + kProfileHelp);
            s.lightProfile = points;
            return Done(line);
        }
        while (line.More()) {
            std::string word = line.Word();
            size_t colon = word.find(':');
            unsigned long time = 0, level = 0;
            if (colon == std::string::npos || !Number(word.substr(0, colon), 0xFFFFFFFF, &time) ||
                !Number(word.substr(colon + 1), 255, &level))
                return Fail("expected a light point as milliseconds:level (level 0 to 255), not \"" + word + "\"");
            if (!points.empty() && time <= points.back().time)
                return Fail("the light points' times must rise, \"" + word + "\" does not");
            points.push_back(SimLightPoint{(uint32_t)time, (uint8_t)level});
        }
        s.lightProfile = points;
        return true;
    }

    bool Firmware(Line& line) {
        std::string word = line.Word();
        size_t dot = word.find('.');
        unsigned long major = 0, minor = 0;
        if (dot == std::string::npos || !Number(word.substr(0, dot), 255, &major) ||
            !Number(word.substr(dot + 1), 255, &minor))
            return Fail("expected the firmware version as major.minor, e.g. 1.3");
        s.firmwareMajor = (uint8_t)major;
        s.firmwareMinor = (uint8_t)minor;
        return Done(line);
    }

    bool Which(Line& line, uint32_t* which) {
        std::string word = line.Word();
        unsigned long value = 0;
        if (word == "all") {
            *which = 0;
            return true;
        }
        if (!Number(word, 0xFFFFFFFF, &value) || value == 0) return Fail("expected \"all\" or a count from 1");
        *which = (uint32_t)value;
        return true;
    }

    bool UploadFault(Line& line, SimUploadFaultKind kind) {
        SimUploadFault fault{kind, 0, 0};
        if (!Which(line, &fault.which)) return false;
        if (kind == kUploadShort) {
            unsigned long bytes = 0;
            if (!Number(line.Word(), 0xFFFFFFFF, &bytes) || bytes == 0)
                return Fail("expected the number of bytes the short upload misses");
            fault.bytes = (uint32_t)bytes;
        }
        s.uploadFaults.push_back(fault);
        return Done(line);
    }

    bool PatternFault(Line& line) {
        SimPatternFault fault{false, 0, -1};
        std::string word = line.Word();
        unsigned long value = 0;
        if (word == "all") {
            fault.all = true;
        } else if (Number(word, 0xFFFFFFFF, &value)) {
            fault.offset = (uint32_t)value;
        } else {
            return Fail("expected \"all\" or the offset of the wrong test-pattern byte");
        }
        if (line.More()) {
            if (!Number(line.Word(), 255, &value)) return Fail("expected the wrong byte's value from 0 to 255");
            fault.value = (int)value;
        }
        s.patternFaults.push_back(fault);
        return true;
    }

    bool ErrorFault(Line& line) {
        SimErrorFault fault{0, 0, false, 0, 0};
        unsigned long value = 0;
        if (!Number(line.Word(), 255, &value)) return Fail("expected the command's group code from 0 to 0xFF");
        fault.group = (uint8_t)value;
        if (!Number(line.Word(), 255, &value)) return Fail("expected the command number from 0 to 255");
        fault.number = (uint8_t)value;
        std::string kind = line.Word();
        if (kind != "cmd" && kind != "fatal") return Fail("expected \"cmd\" or \"fatal\" for the error byte");
        fault.fatal = kind == "fatal";
        if (!Number(line.Word(), 255, &value) || value == 0) return Fail("expected the error bits from 1 to 0xFF");
        fault.bits = (uint8_t)value;
        if (line.More() && !Which(line, &fault.times)) return false;
        s.errorFaults.push_back(fault);
        return Done(line);
    }

    bool Fault(Line& line) {
        std::string name = line.Word();
        if (name == "upload-refused") return UploadFault(line, kUploadRefused);
        if (name == "upload-short") return UploadFault(line, kUploadShort);
        if (name == "upload-failed") return UploadFault(line, kUploadFailed);
        if (name == "pattern") return PatternFault(line) && Done(line);
        if (name == "error") return ErrorFault(line);
        if (name == "streamstate3") {
            uint32_t which = 0;
            if (!Which(line, &which)) return false;
            s.streamState3.push_back(which);
            return Done(line);
        }
        if (name == "vanish") {
            unsigned long after = 0;
            if (!Number(line.Word(), 0x7FFFFFFF, &after))
                return Fail("expected the number of commands the camera answers before it stops");
            s.vanishAfter = (long)after;
            return Done(line);
        }
        if (name == "freeze") {
            unsigned long frame = 0;
            if (!Number(line.Word(), 0x7FFFFFFF, &frame) || frame == 0)
                return Fail("expected the number of the frame from 1 whose read-out stops");
            s.freezeAt = (long)frame;
            return Done(line);
        }
        if (name == "no-stream-interrupt") {
            s.noStreamInterrupt = true;
            return Done(line);
        }
        if (name == "detach-refused") {
            s.detachRefused = true;
            return Done(line);
        }
        return Fail("unknown fault \"" + name + "\"");
    }
};

// Cuts a comment: from a '#' that starts the line or follows a space.
// Device IDs keep theirs, since "id" takes the rest of the line.
std::string WithoutComment(const std::string& text) {
    Line line = Split(text);
    if (!line.words.empty() && line.words[0] == "port" && !RestAfter(text, "id").empty()) return text;
    for (size_t i = 0; i < text.size(); i++)
        if (text[i] == '#' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\t')) return text.substr(0, i);
    return text;
}

}  // namespace

uint8_t SimLightAt(const SimScenario& scenario, uint32_t sincePowerUp) {
    const std::vector<SimLightPoint>& points = scenario.lightProfile;
    if (points.empty()) return scenario.light;
    if (sincePowerUp <= points.front().time) return points.front().level;
    for (size_t i = 1; i < points.size(); i++) {
        const SimLightPoint& a = points[i - 1];
        const SimLightPoint& b = points[i];
        if (sincePowerUp > b.time) continue;
        int64_t span = (int64_t)b.time - a.time;
        int64_t into = (int64_t)sincePowerUp - a.time;
        return (uint8_t)(a.level + ((int64_t)b.level - a.level) * into / span);
    }
    return points.back().level;
}

void SimDefaultScenario(SimScenario* scenario) {
    *scenario = SimScenario();
    SimPort& lpt1 = scenario->ports[1];
    lpt1.present = true;
    lpt1.base = 0x378;
    lpt1.type = 0x57;
    lpt1.camera = true;
    lpt1.hasId = true;
    lpt1.id = kSimCameraDeviceId;
}

bool SimParseScenario(const std::string& text, const std::string& name, SimScenario* scenario, std::string* problem) {
    SimScenario result;
    SimDefaultScenario(&result);
    std::string what;
    Parser parser(&result, &what);
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        number++;
        Line line = Split(WithoutComment(raw));
        if (line.words.empty()) continue;
        if (!parser.ParseLine(line)) {
            *problem = name + ", line " + std::to_string(number) + ": " + what;
            return false;
        }
    }
    if (!parser.Finish()) {
        *problem = name + ": " + what;
        return false;
    }
    *scenario = result;
    return true;
}
