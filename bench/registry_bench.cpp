// The registry hive with one value of 1 MB in it, the size at which every
// call used to cost a read and parse of the whole file: a read (from this
// process's copy), the first read after the file changed (a parse), and a
// write (the whole text written, synced and renamed into place).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/posix/posix_control.h"
#include "settings/registry.h"

namespace {

std::string HiveFolder(const char* which) {
    std::string folder = std::string("/tmp/tarn2-bench-hive-") + which + "-" + std::to_string(getpid());
    PosixSetWindowsDirectory(folder.c_str());
    std::ofstream(PosixHivePath(), std::ios::binary | std::ios::trunc)
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\n\"Brightness\"=dword:00000032\n\"Big\"=\""
        << std::string(1 << 20, 'x') << "\"\n";
    return folder;
}

void Remove(const std::string& folder) {
    std::string command = "rm -rf '" + folder + "'";
    if (system(command.c_str()) != 0) return;
}

void Read(benchmark::State& state) {
    std::string folder = HiveFolder("read");
    for (auto _ : state) benchmark::DoNotOptimize(ReadRegDword("Brightness", 0));
    Remove(folder);
}

// Two hives taken in turn: every read finds the file changed.
void FirstRead(benchmark::State& state) {
    std::string a = HiveFolder("a"), b = HiveFolder("b");
    int turn = 0;
    for (auto _ : state) {
        PosixSetWindowsDirectory((turn++ & 1 ? a : b).c_str());
        benchmark::DoNotOptimize(ReadRegDword("Brightness", 0));
    }
    Remove(a);
    Remove(b);
}

void Write(benchmark::State& state) {
    std::string folder = HiveFolder("write");
    DWORD value = 0;
    for (auto _ : state) WriteRegDword("Brightness", ++value);
    Remove(folder);
}

}  // namespace

BENCHMARK(Read)->Name("registry/1MB/read");
BENCHMARK(FirstRead)->Name("registry/1MB/first_read")->Unit(benchmark::kMillisecond);
BENCHMARK(Write)->Name("registry/1MB/write")->Unit(benchmark::kMillisecond)->UseRealTime();
