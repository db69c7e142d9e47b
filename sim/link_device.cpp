// The simulated link driver, registered as the system's \\.\TARN2_0. It
// keeps the machine's parallel ports and one camera behind them, answers
// every request of the link protocol at the byte level, and runs uploads on
// in time: each request first brings the camera and the uploads up to the
// current time, so bytes arrive in the caller's buffer burst by burst while
// the caller polls. In virtual time every request costs the camera one
// millisecond, as a request on a real port takes its time, so a caller that
// polls without reading the clock still sees its frame arrive.
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <deque>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../link/protocol.h"
#include "../platform/posix/posix_control.h"
#include "../platform/win32.h"
#include "camera.h"
#include "scenario.h"
#include "sim.h"

namespace {

// An upload that nothing will ever feed (no grab, no stream, no test
// stream) fails after this long instead of running for ever.
const uint32_t kNoDataTimeout = 1000;
const uint32_t kNoFailure = 0xFFFFFFFFu;

struct Upload {
    bool active = false;
    uint8_t state = UPLOAD_IDLE;
    uint32_t bytesDone = 0;
    uint8_t* buffer = nullptr;
    uint32_t capacity = 0;
    uint32_t chunk = 0;
    bool frameData = false;
    uint32_t started = 0;
    bool haveSource = false;
    std::vector<uint8_t> source;
    uint32_t sourceTime = 0;
    uint32_t target = 0;  // bytes it will deliver
    bool overflow = false;
    uint32_t failAt = kNoFailure;
    uint32_t stallAt = kNoFailure;  // bytes after which a frozen camera sends no more
    uint32_t shortBy = 0;
    long record = -1;  // its number in the upload log
};

// How many commands and uploads the logs keep: enough for any test to
// look back over a capture, while hours of streaming keep the simulator's
// memory flat.
const size_t kHistory = 8192;

// The last kHistory records, numbered from the last clear on.
template <typename Record>
struct History {
    std::deque<Record> kept;
    long total = 0;  // records ever added since the last clear

    void Add(const Record& record) {
        kept.push_back(record);
        total++;
        if (kept.size() > kHistory) kept.pop_front();
    }
    // The record of that number, or null when it is forgotten or not yet made.
    Record* At(long index) {
        long first = total - (long)kept.size();
        return index >= first && index < total ? &kept[(size_t)(index - first)] : nullptr;
    }
    void Clear() {
        kept.clear();
        total = 0;
    }
};

struct Context {
    int port = 0;  // attached LPT number, 0 none
    bool initialised = false;
    uint8_t mode = 0;
    uint16_t parameter = 0;
    Upload upload;
};

struct Simulator {
    std::mutex lock;
    SimScenario scenario;
    bool chosen = false;
    SimCamera camera;
    std::vector<uint8_t> frame;
    bool frameReady = false;
    uint32_t frameNumber = 0;
    uint64_t drawingNanos = 0;  // CPU spent drawing and coding frames
    std::set<Context*> contexts;
    History<SimCommandRecord> commands;
    History<SimUploadRecord> uploads;
    std::vector<uint32_t> errorFaultHits;
    uint32_t uploadRequests = 0;
    long commandsAnswered = 0;
    uint64_t requests = 0;  // every request on an open handle, ever
    bool vanished = false;
    // The camera still answers commands, but the frame being read out stops
    // halfway and no frame follows it.
    bool frozen = false;
    uintptr_t lastStatusBuffer = 0;
    // The scene's light follows the scenario's profile from power-up until
    // a test sets it by hand.
    uint32_t powerUpTime = 0;
    bool followProfile = false;

    Simulator() { SimDefaultScenario(&scenario); }
};

Simulator& Sim() {
    static Simulator* simulator = new Simulator;  // outlives handles closed at exit
    return *simulator;
}

uint32_t Now() {
    return PosixClockIsVirtual() ? timeGetTime() : PosixClockNow();
}

// Bytes per millisecond for the fastest mode the link may use.
uint32_t RateFor(uint8_t mode) {
    if (mode & 0x40) return 2000;
    if (mode & 0x10) return 1000;
    if (mode & 0x04) return 500;
    if (mode & 0x02) return 200;
    return 80;
}

int CameraPort(const Simulator& s) {
    for (int port = 1; port <= 3; port++)
        if (s.scenario.ports[port].present && s.scenario.ports[port].camera) return port;
    return 0;
}

bool ReachesCamera(const Simulator& s, const Context* c) {
    return c->initialised && c->port != 0 && c->port == CameraPort(s) && !s.vanished;
}

bool Hits(uint32_t which, uint32_t count) {
    return which == 0 || which == count;
}

void PowerUp(Simulator& s) {
    const SimScenario& sc = s.scenario;
    SimCameraPowerUp(&s.camera, sc.firmwareMajor, sc.firmwareMinor, sc.systemState, sc.light);
    s.frame.clear();
    s.frameReady = false;
    s.frameNumber = 0;
    s.commands.Clear();
    s.uploads.Clear();
    s.errorFaultHits.assign(sc.errorFaults.size(), 0);
    s.uploadRequests = 0;
    s.commandsAnswered = 0;
    s.vanished = sc.vanishAfter == 0;
    s.frozen = false;
    s.lastStatusBuffer = 0;
    s.powerUpTime = Now();
    s.followProfile = !sc.lightProfile.empty();
    for (Context* c : s.contexts) *c = Context();
}

// The calling thread's CPU time: what drawing a frame costs, whatever the
// clock the simulation runs on.
uint64_t ThreadCpuNanos() {
    struct timespec now;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0;
    return (uint64_t)now.tv_sec * 1000000000u + (uint64_t)now.tv_nsec;
}

void Capture(Simulator& s) {
    s.frameNumber++;
    s.camera.framesCaptured++;
    SimUpdateExposure(&s.camera);
    uint8_t statusByte = SimFrameSettingsDiffer(&s.camera) ? 1 : 0;
    s.camera.settingsChanged = 0;
    s.frame.resize(SIM_MAX_FRAME_SIZE);
    uint64_t started = ThreadCpuNanos();
    s.frame.resize(MakeCameraFrame(&s.camera, statusByte, s.frameNumber, s.frame.data(), SIM_MAX_FRAME_SIZE));
    s.drawingNanos += ThreadCpuNanos() - started;
    s.frameReady = true;
    bool fault = false;
    for (uint32_t which : s.scenario.streamState3) fault = fault || Hits(which, s.frameNumber);
    s.camera.status[2] = fault ? SIM_STREAM_FAULT : SIM_STREAM_READY;
    if (s.scenario.freezeAt > 0 && s.frameNumber == (uint32_t)s.scenario.freezeAt) s.frozen = true;
}

void TestPattern(const Simulator& s, uint32_t count, std::vector<uint8_t>* out) {
    out->resize(count);
    for (uint32_t i = 0; i < count; i++) (*out)[i] = (uint8_t)i;
    for (const SimPatternFault& fault : s.scenario.patternFaults)
        for (uint32_t i = fault.all ? 0 : fault.offset; i < count; i++) {
            (*out)[i] = fault.value < 0 ? (uint8_t)~i : (uint8_t)fault.value;
            if (!fault.all) break;
        }
}

// Hands the upload its data once the camera has it.
bool Claim(Simulator& s, Upload& u) {
    if (s.vanished) return false;
    if (u.frameData) {
        if (!s.frameReady) return false;
        u.source.swap(s.frame);
        s.frame.clear();
        s.frameReady = false;
        s.camera.status[2] = s.camera.streamRunning ? SIM_STREAM_CAPTURING : SIM_STREAM_IDLE;
    } else {
        if (!s.camera.testStreamReady) return false;
        s.camera.testStreamReady = 0;
        TestPattern(s, u.capacity, &u.source);
    }
    u.haveSource = true;
    u.target = (uint32_t)u.source.size();
    if (u.target > u.capacity) {
        u.target = u.capacity;
        u.overflow = true;
    }
    u.target = u.shortBy >= u.target ? 0 : u.target - u.shortBy;
    if (u.failAt != kNoFailure) u.failAt = u.target / 2 / u.chunk * u.chunk;
    if (u.frameData && s.frozen) u.stallAt = u.target / 2 / u.chunk * u.chunk;
    return true;
}

bool DataExpected(const Simulator& s, const Upload& u) {
    if (s.vanished) return false;
    return u.frameData ? s.frameReady || SimCaptureExpected(&s.camera) : s.camera.testStreamReady != 0;
}

void Deliver(Upload& u, uint32_t upTo) {
    if (upTo > u.bytesDone) memcpy(u.buffer + u.bytesDone, u.source.data() + u.bytesDone, upTo - u.bytesDone);
    u.bytesDone = upTo;
}

void Progress(Simulator& s, Context* c, uint32_t now) {
    Upload& u = c->upload;
    if (!u.active || u.state == UPLOAD_IDLE || u.state == UPLOAD_FAILED) return;
    if (!u.haveSource) {
        if (Claim(s, u)) {
            u.sourceTime = now;
        } else {
            if (!DataExpected(s, u) && (uint32_t)(now - u.started) > kNoDataTimeout) u.state = UPLOAD_FAILED;
            return;
        }
    }
    uint64_t credit = (uint64_t)RateFor(c->mode) * (uint32_t)(now - u.sourceTime);
    uint32_t done = credit >= u.target ? u.target : (uint32_t)(credit / u.chunk * u.chunk);
    if (u.stallAt != kNoFailure && done >= u.stallAt) {
        // Neither done nor failed: the link driver waits for bytes that never come.
        Deliver(u, u.stallAt);
        u.state = u.stallAt == 0 ? UPLOAD_STARTED : UPLOAD_CHUNK_START;
    } else if (u.failAt != kNoFailure && done >= u.failAt) {
        Deliver(u, u.failAt);
        u.state = UPLOAD_FAILED;
    } else if (done == u.target) {
        Deliver(u, done);
        u.state = u.overflow ? UPLOAD_FAILED : UPLOAD_IDLE;
    } else {
        Deliver(u, done);
        uint32_t within = (uint32_t)(credit % u.chunk);
        if (done == 0)
            u.state = UPLOAD_STARTED;
        else if (u.target - done <= u.chunk)
            u.state = UPLOAD_FINISHING;
        else
            u.state = within < u.chunk / 2 ? UPLOAD_CHUNK_END : UPLOAD_CHUNK_START;
    }
}

void NoteUpload(Simulator& s, const Upload& u) {
    SimUploadRecord* record = s.uploads.At(u.record);
    if (!record) return;
    record->state = u.state;
    record->bytesUploaded = u.bytesDone;
}

// Brings the camera and every running upload up to the time now.
void Advance(Simulator& s, uint32_t now) {
    if (s.followProfile) s.camera.light = SimLightAt(s.scenario, now - s.powerUpTime);
    if (!s.vanished && !s.frozen && SimCaptureDue(&s.camera, now)) Capture(s);
    for (Context* c : s.contexts) {
        if (!c->upload.active) continue;
        Progress(s, c, now);
        NoteUpload(s, c->upload);
    }
}

void EndUpload(Simulator& s, Context* c) {
    NoteUpload(s, c->upload);
    c->upload.active = false;
    c->upload.state = UPLOAD_IDLE;
    c->upload.source.clear();
}

int Flag(void* out, DWORD outSize, DWORD* returned, bool success) {
    if (outSize < sizeof(LinkFlag)) return 0;
    LinkFlag flag;
    flag.success = success ? 1 : 0;
    memcpy(out, &flag, sizeof flag);
    *returned = sizeof flag;
    return 1;
}

int DeviceId(Simulator& s, Context* c, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
    if (inSize < sizeof(DeviceIdRequest) || outSize < sizeof(DeviceIdReply)) return 0;
    DeviceIdRequest request;
    memcpy(&request, in, sizeof request);
    const SimPort& port = s.scenario.ports[c->port];
    bool answers = c->initialised && port.hasId && !(port.camera && s.vanished);
    // IEEE 1284: a two-byte big-endian length (counting itself), then the text.
    char* buffer = (char*)request.buffer;
    if (!answers || !buffer || request.size < 3) {
        memset(out, 0, 4);
        *returned = 4;
        return 1;
    }
    size_t length = port.id.size();
    if (length > (size_t)request.size - 3) length = request.size - 3;
    buffer[0] = (char)((length + 2) >> 8);
    buffer[1] = (char)((length + 2) & 0xFF);
    memcpy(buffer + 2, port.id.data(), length);
    buffer[2 + length] = '\0';
    DeviceIdReply reply;
    memset(&reply, 0, sizeof reply);
    reply.text = (LinkAddress)(buffer + 2);
    memcpy(out, &reply, sizeof reply);
    *returned = sizeof reply;
    return 1;
}

// Latches the error a scenario puts on this command; true when it did.
bool InjectError(Simulator& s, uint8_t group, uint8_t number) {
    for (size_t i = 0; i < s.scenario.errorFaults.size(); i++) {
        const SimErrorFault& fault = s.scenario.errorFaults[i];
        if (fault.group != group || fault.number != number) continue;
        if (fault.times != 0 && s.errorFaultHits[i] >= fault.times) continue;
        s.errorFaultHits[i]++;
        s.camera.status[fault.fatal ? 3 : 4] |= fault.bits;
        return true;
    }
    return false;
}

int TransferMsg(Simulator& s, Context* c, uint32_t now, const void* in, DWORD inSize, void* out, DWORD outSize,
                DWORD* returned) {
    if (inSize < sizeof(MessageRequest)) return 0;
    MessageRequest request;
    memcpy(&request, in, sizeof request);
    if (request.dataLength != 0 && request.dataLength != 8) return Flag(out, outSize, returned, false);
    uint8_t* data = request.dataLength ? (uint8_t*)request.data : nullptr;
    if (request.dataLength && !data) return Flag(out, outSize, returned, false);
    SimCommandRecord record;
    memset(&record, 0, sizeof record);
    record.module = request.module;
    record.command = request.command;
    record.hasParameters = request.parameters != 0;
    if (request.parameters) memcpy(record.parameters, (const void*)request.parameters, 4);
    record.direction = request.direction;
    record.dataLength = request.dataLength;
    if (data && request.direction == 0) memcpy(record.data, data, 8);
    record.time = now;
    if (c->port != 0 && c->port == CameraPort(s) && s.scenario.vanishAfter >= 0 &&
        s.commandsAnswered >= s.scenario.vanishAfter)
        s.vanished = true;
    bool answered = ReachesCamera(s, c);
    if (answered && !InjectError(s, request.module, request.command)) {
        SimCameraCommand(&s.camera, request.module, request.command, record.parameters, request.direction, data, now);
        // A grab or stream may have started; let it be seen at once.
        Advance(s, now);
    }
    if (answered) s.commandsAnswered++;
    if (answered && data && request.direction == 1) memcpy(record.data, data, 8);
    record.answered = answered ? 1 : 0;
    if (c->port != 0 && c->port == CameraPort(s)) s.commands.Add(record);
    return Flag(out, outSize, returned, answered);
}

bool UploadFaultHits(Simulator& s, SimUploadFaultKind kind, uint32_t* bytes) {
    for (const SimUploadFault& fault : s.scenario.uploadFaults)
        if (fault.kind == kind && Hits(fault.which, s.uploadRequests)) {
            if (bytes) *bytes = fault.bytes;
            return true;
        }
    return false;
}

int StartUpload(Simulator& s, Context* c, uint32_t now, const void* in, DWORD inSize, void* out, DWORD outSize,
                DWORD* returned) {
    if (inSize < sizeof(UploadRequest)) return 0;
    UploadRequest request;
    memset(&request, 0, sizeof request);
    memcpy(&request, in, sizeof request);
    SimUploadRecord record;
    memset(&record, 0, sizeof record);
    record.streamInterrupt = request.streamInterrupt;
    record.pipelined = request.pipelined;
    record.byteCount = request.byteCount;
    record.bufferAddress = request.bufferAddress;
    record.chunkSize = request.chunkSize;
    record.frameData = request.frameData;
    record.time = now;
    Upload& u = c->upload;
    bool busy = u.active && u.state != UPLOAD_IDLE;
    bool valid = request.byteCount != 0 && request.bufferAddress != 0 && request.chunkSize != 0;
    bool carried = c->initialised && c->port == CameraPort(s) && c->port != 0 && valid && !busy;
    // Faults count the uploads that the link could have carried.
    if (carried) s.uploadRequests++;
    bool accepted = carried && !UploadFaultHits(s, kUploadRefused, nullptr) &&
                    !(request.streamInterrupt && s.scenario.noStreamInterrupt);
    record.accepted = accepted ? 1 : 0;
    s.uploads.Add(record);
    if (!accepted) return Flag(out, outSize, returned, false);
    // A fresh upload keeps the frame buffer of the last one, so that a
    // stream of pictures costs the host no allocation.
    std::vector<uint8_t> kept;
    kept.swap(u.source);
    u = Upload();
    kept.clear();
    u.source.swap(kept);
    u.active = true;
    u.state = UPLOAD_STARTED;
    u.buffer = (uint8_t*)request.bufferAddress;
    u.capacity = request.byteCount;
    u.chunk = request.chunkSize;
    u.frameData = request.frameData != 0;
    u.started = now;
    u.record = s.uploads.total - 1;
    UploadFaultHits(s, kUploadShort, &u.shortBy);
    if (UploadFaultHits(s, kUploadFailed, nullptr)) u.failAt = 0;
    Progress(s, c, now);
    NoteUpload(s, u);
    return Flag(out, outSize, returned, true);
}

int UploadStatusRequest(Simulator& s, Context* c, const void* in, DWORD inSize, void* out, DWORD outSize,
                        DWORD* returned) {
    if (inSize < sizeof(UploadStatus) || outSize < sizeof(UploadStatus) || c->port == 0) return 0;
    UploadStatus status;
    memcpy(&status, in, sizeof status);
    s.lastStatusBuffer = status.bufferAddress;
    status.uploadState = c->upload.active ? c->upload.state : UPLOAD_IDLE;
    memset(status.padding, 0, sizeof status.padding);
    status.bytesUploaded = c->upload.bytesDone;
    memcpy(out, &status, sizeof status);
    *returned = sizeof status;
    return 1;
}

int PortRequest(Simulator& s, Context* c, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                DWORD* returned) {
    const SimPort* port = c->port ? &s.scenario.ports[c->port] : nullptr;
    switch (code) {
        case IOCTL_LINK_ATTACH: {
            if (inSize < 1) return 0;
            uint8_t number = *(const uint8_t*)in;
            const SimPort* wanted = number >= 1 && number <= 3 ? &s.scenario.ports[number] : nullptr;
            if (!wanted || !wanted->present || wanted->refuse) return Flag(out, outSize, returned, false);
            if (c->upload.active) EndUpload(s, c);
            c->port = number;
            c->initialised = false;
            c->mode = wanted->type;
            return Flag(out, outSize, returned, true);
        }
        case IOCTL_LINK_INITIALISE:
            if (port) c->initialised = true;
            return Flag(out, outSize, returned, port != nullptr);
        case IOCTL_LINK_DEINITIALISE:
            if (port) {
                if (c->upload.active) EndUpload(s, c);
                c->initialised = false;
            }
            return Flag(out, outSize, returned, port != nullptr);
        case IOCTL_LINK_GET_PORT_INFO: {
            if (!port || outSize < sizeof(PortInfo)) return 0;
            PortInfo info;
            memset(&info, 0, sizeof info);
            info.baseAddress = port->base;
            info.portType = port->type;
            info.portParameter = c->parameter;
            memcpy(out, &info, sizeof info);
            *returned = sizeof info;
            return 1;
        }
        case IOCTL_LINK_SET_PORT_INFO: {
            if (inSize < sizeof(PortInfo)) return 0;
            PortInfo info;
            memcpy(&info, in, sizeof info);
            uint8_t mode = port ? (uint8_t)(info.portType & port->type) : 0;
            if (mode == 0) return Flag(out, outSize, returned, false);
            c->mode = mode;
            c->parameter = info.portParameter;
            return Flag(out, outSize, returned, true);
        }
        case IOCTL_LINK_WAKEUP:
            return Flag(out, outSize, returned, port && c->initialised);
        case IOCTL_LINK_DEVICE_ID:
            if (!port) {
                if (outSize < 4) return 0;
                memset(out, 0, 4);
                *returned = 4;
                return 1;
            }
            return DeviceId(s, c, in, inSize, out, outSize, returned);
        case IOCTL_LINK_DETACH:
            if (s.scenario.detachRefused) return Flag(out, outSize, returned, false);
            if (c->upload.active) EndUpload(s, c);
            c->port = 0;
            c->initialised = false;
            return Flag(out, outSize, returned, true);
        default:
            return 0;
    }
}

void* OpenLink(void*) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    Context* c = new Context;
    s.contexts.insert(c);
    return c;
}

int ControlLink(void* context, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    Context* c = (Context*)context;
    *returned = 0;
    if (!s.contexts.count(c)) return 0;
    s.requests++;
    uint32_t now = Now();
    Advance(s, now);
    switch (code) {
        case IOCTL_LINK_VERSION: {
            if (outSize < sizeof(LinkVersion)) return 0;
            LinkVersion version;
            memcpy(version.reserved, "SIM", 4);
            version.version = s.scenario.linkVersion;
            memcpy(out, &version, sizeof version);
            *returned = sizeof version;
            return 1;
        }
        case IOCTL_LINK_TRANSFER_MSG:
            return TransferMsg(s, c, now, in, inSize, out, outSize, returned);
        case IOCTL_LINK_START_UPLOAD:
            return StartUpload(s, c, now, in, inSize, out, outSize, returned);
        case IOCTL_LINK_ABORT_UPLOAD:
            if (c->upload.active) EndUpload(s, c);
            return Flag(out, outSize, returned, c->port != 0);
        case IOCTL_LINK_UPLOAD_STATUS:
            return UploadStatusRequest(s, c, in, inSize, out, outSize, returned);
        default:
            return PortRequest(s, c, code, in, inSize, out, outSize, returned);
    }
}

void CloseLink(void* context) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    Context* c = (Context*)context;
    if (s.contexts.erase(c) == 0) return;
    if (c->upload.active) EndUpload(s, c);
    delete c;
}

const PosixDeviceOps kLinkOps = {OpenLink, ControlLink, CloseLink};

void Install() {
    PosixSetDefaultDevice("TARN2_0", &kLinkOps, nullptr);
}

// Parses and applies a scenario; reports the problem when there is one.
bool Apply(const std::string& text, const std::string& name) {
    Simulator& s = Sim();
    SimScenario scenario;
    std::string problem;
    if (!SimParseScenario(text, name, &scenario, &problem)) {
        PosixReportProblem(problem.c_str());
        return false;
    }
    std::lock_guard<std::mutex> hold(s.lock);
    s.scenario = scenario;
    s.chosen = true;
    PowerUp(s);
    return true;
}

// The Windows program that hosts the simulator under Wine starts no other
// program, and its C library has no close-on-exec.
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

// Any error on the way fails the read: a folder opens but reads nothing,
// and must not pass for an empty scenario (the default machine).
bool ReadWholeFile(const char* path, std::string* text) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char chunk[4096];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0) text->append(chunk, static_cast<size_t>(n));
    close(fd);
    return n == 0;
}

bool LoadFile(const char* path) {
    std::string text;
    std::string name = std::string("scenario ") + path;
    if (!ReadWholeFile(path, &text)) {
        PosixReportProblem((name + ": the file cannot be read").c_str());
        return false;
    }
    return Apply(text, name);
}

}  // namespace

// The link driver is part of the simulated system: installed at the first
// open of a device, with the machine that TARN2_SIM describes. A bad
// scenario file leaves no link driver installed, so nothing runs on a
// machine that is not the one asked for.
extern "C" void PosixInstallDefaultDevices(void) {
    Simulator& s = Sim();
    bool chosen = false;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        chosen = s.chosen;
        if (!chosen) {
            s.chosen = true;
            PowerUp(s);
        }
    }
    const char* path = getenv("TARN2_SIM");
    if (!chosen && path && *path && !LoadFile(path)) return;
    Install();
}

int SimSetScenario(const char* text) {
    if (!Apply(text ? text : "", "scenario text")) return 0;
    Install();
    return 1;
}

int SimLoadScenarioFile(const char* path) {
    if (!path || !LoadFile(path)) return 0;
    Install();
    return 1;
}

void SimReset(void) {
    SimSetScenario("");
}

void SimReadCamera(SimCamera* camera) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    if (camera) *camera = s.camera;
}

void SimSetStatusByte(int index, uint8_t value) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    if (index >= 0 && index < 8) s.camera.status[index] = value;
}

void SimSetLight(uint8_t light) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    s.followProfile = false;
    s.camera.light = light;
    SimUpdateExposure(&s.camera);
}

void SimPressButton(void) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    s.camera.buttonDown = 1;
}

void SimSetVanished(int vanished) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    s.vanished = vanished != 0;
    if (!vanished) s.scenario.vanishAfter = -1;
}

int SimCommandCount(void) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    return (int)s.commands.total;
}

int SimGetCommand(int index, SimCommandRecord* record) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    const SimCommandRecord* kept = s.commands.At(index);
    if (!kept || !record) return 0;
    *record = *kept;
    return 1;
}

void SimClearLog(void) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    s.commands.Clear();
}

uint64_t SimLinkRequests(void) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.requests;
}

uint64_t SimFrameDrawingNanos(void) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.drawingNanos;
}

int SimUploadCount(void) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    return (int)s.uploads.total;
}

int SimGetUpload(int index, SimUploadRecord* record) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    const SimUploadRecord* kept = s.uploads.At(index);
    if (!kept || !record) return 0;
    *record = *kept;
    return 1;
}

uintptr_t SimLastStatusBuffer(void) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.lastStatusBuffer;
}

int SimOpenLinks(void) {
    Simulator& s = Sim();
    std::lock_guard<std::mutex> hold(s.lock);
    return (int)s.contexts.size();
}
