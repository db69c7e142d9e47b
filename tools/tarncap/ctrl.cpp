// tarncap ctrl: lists, reads and sets the camera controls through the
// driver's private control messages, which travel inside DVM_FORMAT SET with
// a marker; a read's answer comes back with the next GET of the current
// format. Each message carries four data bytes, and several controls may
// share one message, so a set reads the message first, changes its own
// bytes, writes it back and reads again to see what the camera took.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "media.h"

namespace {

const LONG kWriteMarker = 0x23680000;
const LONG kReadMarker = 0x68320000;
const LONG kAnswerMarker = 0x57750000;

enum Access { kReadWrite, kReadOnly, kWriteOnly };
enum Kind { kInteger, kBoolean, kMenu, kHex, kVersion };

// One control: where its value sits in the message's four data bytes (the
// bits `mask` of byte `byte`, times `scale`), its range and its meaning.
struct Control {
    const char* name;
    DWORD message;
    int byte;
    int shift;
    DWORD mask;
    long scale;
    long minimum;
    long maximum;
    long step;
    long defaultValue;
    Kind kind;
    Access access;
    const char* menu;  // "value:text" entries separated by '|'
};

const Control kControls[] = {
    {"brightness", 0x40, 0, 0, 0xFF, 1, 1, 100, 1, 50, kInteger, kReadWrite, nullptr},
    {"contrast", 0x40, 1, 0, 0xFF, 1, 1, 100, 1, 50, kInteger, kReadWrite, nullptr},
    {"colour", 0x40, 2, 0, 0xFF, 1, 1, 100, 1, 50, kInteger, kReadWrite, nullptr},
    {"compression", 0x41, 0, 0, 0x0F, 1, 0, 2, 1, 1, kMenu, kReadWrite, "0:off|1:automatic|2:fixed quality"},
    {"video_conference", 0x41, 0, 4, 0x0F, 1, 0, 1, 1, 0, kBoolean, kReadWrite, nullptr},
    {"conference_level", 0x41, 1, 0, 0xFF, 1, 0, 100, 1, 50, kInteger, kReadWrite, nullptr},
    {"preview_level", 0x41, 2, 0, 0xFF, 1, 0, 100, 1, 50, kInteger, kReadWrite, nullptr},
    {"quality", 0x41, 3, 0, 0xFF, 1, 0, 100, 1, 50, kInteger, kReadWrite, nullptr},
    {"frame_rate", 0x50, 0, 0, 0xFF, 1, 1, 5, 1, 1, kMenu, kReadWrite,
     "1:30 fps|2:25 fps|3:15 fps|4:12.5 fps|5:7.5 fps"},
    {"auto_frame_rate", 0x50, 1, 0, 0xFF, 1, 0, 1, 1, 1, kBoolean, kReadWrite, nullptr},
    {"backlight", 0x51, 1, 0, 0xFF, 1, 0, 1, 1, 0, kBoolean, kReadWrite, nullptr},
    {"banding_filter", 0x51, 2, 0, 0xFF, 1, 0, 1, 1, 1, kBoolean, kReadWrite, nullptr},
    {"mains_frequency", 0x51, 3, 0, 0xFF, 1, 0, 1, 1, 1, kMenu, kReadWrite, "0:50 Hz|1:60 Hz"},
    {"window_top", 0x52, 0, 1, 0x7F, 4, 0, 284, 4, 0, kInteger, kReadWrite, nullptr},
    {"window_bottom", 0x52, 1, 1, 0x7F, 4, 4, 288, 4, 144, kInteger, kReadWrite, nullptr},
    {"window_left", 0x52, 2, 0, 0xFF, 4, 0, 344, 8, 0, kInteger, kReadWrite, nullptr},
    {"window_right", 0x52, 3, 0, 0xFF, 4, 8, 352, 8, 176, kInteger, kReadWrite, nullptr},
    {"pan_tilt", 0x52, 1, 0, 0x01, 1, 0, 1, 1, 0, kBoolean, kReadWrite, nullptr},
    {"port_watch", 0x70, 0, 0, 0xFF, 1, 0, 1, 1, 0, kBoolean, kReadWrite, nullptr},
    {"port_event", 0x70, 1, 0, 0xFF, 1, 0, 1, 1, 0, kBoolean, kReadOnly, nullptr},
    {"frame_grabbing", 0x25, 0, 0, 0xFF, 1, 0, 1, 1, 1, kBoolean, kWriteOnly, nullptr},
    {"firmware", 0x21, 0, 0, 0xFF, 1, 0, 0xFFFF, 1, 0, kVersion, kReadOnly, nullptr},
    {"port", 0x24, 0, 0, 0xFF, 1, 1, 3, 1, 1, kInteger, kReadOnly, nullptr},
    {"port_mode", 0x24, 1, 0, 0xFF, 1, 0, 0xFF, 1, 0, kHex, kReadOnly, nullptr},
    {"driver_options", 0x24, 2, 0, 0xFFFF, 1, 0, 0xFFFF, 1, 0, kHex, kReadOnly, nullptr},
};

const char kCtrlUsage[] =
    "usage: tarncap ctrl [--list-ctrls] [--get-ctrl NAME[,NAME...]] [--set-ctrl NAME=VALUE[,NAME=VALUE...]]\n";

const Control* FindControl(const std::string& name) {
    for (const Control& c : kControls)
        if (name == c.name) return &c;
    return nullptr;
}

std::string ControlNames() {
    std::string names;
    for (const Control& c : kControls) {
        if (!names.empty()) names += ' ';
        names += c.name;
    }
    return names;
}

// The control's value in the message's data bytes. The firmware version
// has the major number in d0 and the minor in d1, so it reads as major *
// 256 + minor; driver_options spans d2 and d3.
long ValueIn(const Control& c, DWORD data) {
    if (c.kind == kVersion) return (long)((data & 0xFF) << 8 | ((data >> 8) & 0xFF));
    DWORD field = (data >> (8 * c.byte + c.shift)) & c.mask;
    return (long)field * c.scale;
}

DWORD WithValue(const Control& c, DWORD data, long value) {
    DWORD shift = (DWORD)(8 * c.byte + c.shift);
    DWORD field = (DWORD)(value / c.scale) & c.mask;
    return (data & ~(c.mask << shift)) | (field << shift);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// Accepts a number, or for flags also on/off, true/false, yes/no.
bool ParseValue(const Control& c, const std::string& text, long* value) {
    if (c.kind == kBoolean) {
        if (text == "on" || text == "true" || text == "yes") {
            *value = 1;
            return true;
        }
        if (text == "off" || text == "false" || text == "no") {
            *value = 0;
            return true;
        }
    }
    if (text.empty()) return false;
    char* end = nullptr;
    long n = strtol(text.c_str(), &end, 0);
    if (!end || *end) return false;
    *value = n;
    return true;
}

struct Setting {
    const Control* control;
    long value;
};

struct CtrlRequest {
    bool list = false;
    std::vector<const Control*> gets;
    std::vector<Setting> sets;
};

bool TakeGets(const std::string& names, CtrlRequest* request) {
    for (const std::string& name : Split(names, ',')) {
        const Control* c = FindControl(name);
        if (!c) {
            fprintf(stderr, "tarncap: unknown control '%s' (controls: %s)\n", name.c_str(), ControlNames().c_str());
            return false;
        }
        if (c->access == kWriteOnly) {
            fprintf(stderr, "tarncap: %s can only be set\n", c->name);
            return false;
        }
        request->gets.push_back(c);
    }
    return true;
}

bool TakeSets(const std::string& list, CtrlRequest* request) {
    for (const std::string& item : Split(list, ',')) {
        size_t equals = item.find('=');
        if (equals == std::string::npos) {
            fprintf(stderr, "tarncap: --set-ctrl wants NAME=VALUE, not '%s'\n", item.c_str());
            return false;
        }
        std::string name = item.substr(0, equals), text = item.substr(equals + 1);
        const Control* c = FindControl(name);
        if (!c) {
            fprintf(stderr, "tarncap: unknown control '%s' (controls: %s)\n", name.c_str(), ControlNames().c_str());
            return false;
        }
        if (c->access == kReadOnly) {
            fprintf(stderr, "tarncap: %s is read only\n", c->name);
            return false;
        }
        long value = 0;
        if (!ParseValue(*c, text, &value)) {
            fprintf(stderr, "tarncap: %s wants a number, not '%s'\n", c->name, text.c_str());
            return false;
        }
        if (value < c->minimum || value > c->maximum || (value - c->minimum) % c->step != 0) {
            fprintf(stderr, "tarncap: %s=%s is out of range (min=%ld max=%ld step=%ld)\n", c->name, text.c_str(),
                    c->minimum, c->maximum, c->step);
            return false;
        }
        for (Setting& s : request->sets)
            if (s.control == c) {
                fprintf(stderr, "tarncap: %s is set twice\n", c->name);
                return false;
            }
        request->sets.push_back({c, value});
    }
    return true;
}

bool ParseCtrl(const std::vector<std::string>& args, CtrlRequest* request) {
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        if (arg == "--list-ctrls" || arg == "-l") {
            request->list = true;
            continue;
        }
        bool get = arg == "--get-ctrl" || arg == "-C";
        bool set = arg == "--set-ctrl" || arg == "-c";
        if (!get && !set) {
            fprintf(stderr, "tarncap: ctrl does not know %s\n%s", arg.c_str(), kCtrlUsage);
            return false;
        }
        if (i + 1 >= args.size()) {
            fprintf(stderr, "tarncap: %s needs a value\n%s", arg.c_str(), kCtrlUsage);
            return false;
        }
        if (get ? !TakeGets(args[++i], request) : !TakeSets(args[++i], request)) return false;
    }
    if (!request->list && request->gets.empty() && request->sets.empty()) request->list = true;
    return true;
}

// Sends one private message; the driver answers every one with
// DV_ERR_NOTSUPPORTED, so success shows only in what is read back.
void SendPrivate(Session& session, LONG marker, DWORD message, DWORD data) {
    BITMAPINFOHEADER header;
    memset(&header, 0, sizeof header);
    header.biSize = sizeof header;
    header.biXPelsPerMeter = marker | (LONG)message;
    header.biYPelsPerMeter = (LONG)data;
    VIDEOCONFIGPARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.lpData1 = &header;
    parms.dwSize1 = sizeof header;
    Send(session.host, session.videoIn, DVM_FORMAT, VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&parms));
}

bool ReadMessage(Session& session, DWORD message, DWORD* data) {
    SendPrivate(session, kReadMarker, message, 0);
    BITMAPINFOHEADER header;
    memset(&header, 0, sizeof header);
    VIDEOCONFIGPARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.lpData1 = &header;
    parms.dwSize1 = sizeof header;
    if (Send(session.host, session.videoIn, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT,
             reinterpret_cast<LPARAM>(&parms)) != DV_ERR_OK ||
        header.biXPelsPerMeter != kAnswerMarker) {
        fprintf(stderr, "tarncap: the driver did not answer message 0x%02lx\n", (unsigned long)message);
        return false;
    }
    *data = (DWORD)header.biYPelsPerMeter;
    return true;
}

// The answers of the messages read so far, so each is read once.
struct Answers {
    std::vector<std::pair<DWORD, DWORD>> data;
    bool Find(DWORD message, DWORD* value) const {
        for (const auto& entry : data)
            if (entry.first == message) {
                *value = entry.second;
                return true;
            }
        return false;
    }
};

bool ControlValue(Session& session, Answers* answers, const Control& c, long* value) {
    DWORD data = 0;
    if (!answers->Find(c.message, &data)) {
        if (!ReadMessage(session, c.message, &data)) return false;
        answers->data.push_back({c.message, data});
    }
    *value = ValueIn(c, data);
    return true;
}

std::string ValueText(const Control& c, long value) {
    char text[32];
    if (c.kind == kVersion)
        snprintf(text, sizeof text, "%ld.%ld", value >> 8, value & 0xFF);
    else if (c.kind == kHex)
        snprintf(text, sizeof text, "0x%02lx", value);
    else
        snprintf(text, sizeof text, "%ld", value);
    return text;
}

const char* KindName(Kind kind) {
    switch (kind) {
        case kBoolean:
            return "bool";
        case kMenu:
            return "menu";
        default:
            return "int";
    }
}

int ListControls(Session& session) {
    Answers answers;
    int failures = 0;
    for (const Control& c : kControls) {
        std::string value = "(write only)";
        long v = 0;
        if (c.access != kWriteOnly) {
            if (ControlValue(session, &answers, c, &v))
                value = ValueText(c, v);
            else {
                value = "(no answer)";
                failures++;
            }
        }
        printf("%20s 0x%02lx (%s)%*s: ", c.name, (unsigned long)c.message, KindName(c.kind),
               (int)(5 - strlen(KindName(c.kind))), "");
        if (c.kind == kVersion || c.kind == kHex)
            printf("value=%s", value.c_str());
        else if (c.kind == kBoolean)
            printf("default=%ld value=%s", c.defaultValue, value.c_str());
        else
            printf("min=%ld max=%ld step=%ld default=%ld value=%s", c.minimum, c.maximum, c.step, c.defaultValue,
                   value.c_str());
        if (c.access == kReadOnly) printf(" flags=read-only");
        if (c.access == kWriteOnly) printf(" flags=write-only");
        printf("\n");
        if (c.menu)
            for (const std::string& entry : Split(c.menu, '|')) {
                size_t colon = entry.find(':');
                printf("%28s%s: %s\n", "", entry.substr(0, colon).c_str(), entry.substr(colon + 1).c_str());
            }
    }
    return failures ? 1 : 0;
}

int GetControls(Session& session, const std::vector<const Control*>& gets) {
    Answers answers;
    for (const Control* c : gets) {
        long value = 0;
        if (!ControlValue(session, &answers, *c, &value)) return 1;
        printf("%s: %s\n", c->name, ValueText(*c, value).c_str());
    }
    return 0;
}

// Writes the settings of one message on top of its current data, then
// reads it again to see whether the camera took them.
int SetMessage(Session& session, DWORD message, const std::vector<Setting>& sets) {
    DWORD data = 0;
    bool writeOnly = false;
    for (const Setting& s : sets)
        if (s.control->message == message && s.control->access == kWriteOnly) writeOnly = true;
    // The port watch is written with its event cleared, as the message
    // sets both; and its read would clear the event anyway.
    if (!writeOnly && message != 0x70 && !ReadMessage(session, message, &data)) return 1;
    for (const Setting& s : sets)
        if (s.control->message == message) data = WithValue(*s.control, data, s.value);
    SendPrivate(session, kWriteMarker, message, data);
    // A frame-rate write that changes the automatic flag changes only the
    // flag; the same write again then changes the step.
    if (message == 0x50) SendPrivate(session, kWriteMarker, message, data);
    if (writeOnly) return 0;
    DWORD after = 0;
    if (!ReadMessage(session, message, &after)) return 1;
    int status = 0;
    for (const Setting& s : sets) {
        if (s.control->message != message) continue;
        long kept = ValueIn(*s.control, after);
        if (kept != s.value) {
            fprintf(stderr, "tarncap: the camera did not take %s=%ld; it has %s\n", s.control->name, s.value,
                    ValueText(*s.control, kept).c_str());
            status = 1;
        }
    }
    return status;
}

int SetControls(Session& session, const std::vector<Setting>& sets) {
    std::vector<DWORD> messages;
    for (const Setting& s : sets) {
        bool seen = false;
        for (DWORD m : messages) seen = seen || m == s.control->message;
        if (!seen) messages.push_back(s.control->message);
    }
    int status = 0;
    for (DWORD message : messages)
        if (SetMessage(session, message, sets) != 0) status = 1;
    return status;
}

}  // namespace

bool ReadControlText(Session& session, const char* name, std::string* text) {
    const Control* c = FindControl(name);
    Answers answers;
    long value = 0;
    if (!c || c->access == kWriteOnly || !ControlValue(session, &answers, *c, &value)) return false;
    *text = ValueText(*c, value);
    return true;
}

int RunCtrl(const Options& options) {
    CtrlRequest request;
    if (!ParseCtrl(options.arguments, &request)) return 2;
    Session session;
    if (!OpenSession(options, &session)) return 1;
    int status = 0;
    if (!request.sets.empty()) status |= SetControls(session, request.sets);
    if (!request.gets.empty()) status |= GetControls(session, request.gets);
    if (request.list) status |= ListControls(session);
    CloseSession(&session);
    return status;
}
