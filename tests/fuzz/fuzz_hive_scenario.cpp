// Fuzz target: the two hand-edited text files, the registry hive (through the driver's registry calls) and the
// simulator's scenario. A damaged hive reads as empty, is kept aside when next written and never hands the
// driver more than its buffer holds; a bad scenario is refused whole with what is wrong.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_control.h"
#include "platform/win32.h"
#include "settings/registry.h"
#include "sim/scenario.h"

namespace {

std::string homes[2];
unsigned turn = 0;

// The damaged hives the registry keeps aside, one per damaged input.
void RemoveKeptHives(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (struct dirent* entry = readdir(dir))
        if (strncmp(entry->d_name, "registry.reg.damaged", 20) == 0) unlink((folder + "/" + entry->d_name).c_str());
    closedir(dir);
}

void WriteHive(const uint8_t* data, size_t size) {
    FILE* file = fopen(PosixHivePath(), "wb");
    if (!file) abort();
    if (size && fwrite(data, 1, size, file) != size) abort();
    fclose(file);
}

// What the driver reads at start-up and the bring-up writes back.
void ReadAsTheDriverDoes(void) {
    static const char* const dwords[] = {"DebugLevel", "CaptureUsage", "VideoInUsage", "LPTPort", "Compression"};
    for (const char* name : dwords) ReadRegDword(name, 7);
    char text[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    DWORD length = ReadRegString("IniFile", "mbkzelt.ini", text, sizeof text);
    // The copy always ends inside the buffer.
    if (length > sizeof text || memchr(text, '\0', sizeof text) == nullptr) abort();

    // The raw calls with a buffer of each size up to a little more than a dword, and none.
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD room = 0; room <= 6; room++) {
        BYTE* buffer = room ? (BYTE*)malloc(room) : nullptr;
        DWORD size = room, type = 0;
        LONG result = RegQueryValueExA(key, "Brightness", nullptr, &type, buffer, room ? &size : nullptr);
        if (result == ERROR_SUCCESS && room && size > room) abort();
        free(buffer);
    }
    DWORD needed = 0;
    RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &needed);
    RegCloseKey(key);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (std::string& home : homes) {
        char pattern[] = "/tmp/tarn2-fuzz-hive-XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir) abort();
        home = dir;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    // Two folders in turn: a hive rewritten at the same size within a file-clock tick would not look changed.
    const std::string& home = homes[turn++ & 1];
    PosixSetWindowsDirectory(home.c_str());
    RemoveKeptHives(home);
    WriteHive(data, size);
    ReadAsTheDriverDoes();
    // A write over whatever was there (a damaged hive is kept aside) and a read back.
    WriteRegDword("Initialised", 0x12345678);
    if (ReadRegDword("Initialised", 0) != 0x12345678) abort();
    ReadAsTheDriverDoes();

    SimScenario scenario;
    SimDefaultScenario(&scenario);
    std::string problem;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (SimParseScenario(text, "fuzz", &scenario, &problem)) {
        for (uint32_t t : {0u, 1u, 4000u, 5000u, 25000u, 0xFFFFFFFFu}) SimLightAt(scenario, t);
    } else if (problem.empty()) {
        abort();  // a refusal always says why
    }
    return 0;
}
