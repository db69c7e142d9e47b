// Shared test scaffolding: a fresh Windows directory (and so a fresh
// registry hive) per test, and the virtual clock.
#ifndef TARN2_TESTS_SUPPORT_H
#define TARN2_TESTS_SUPPORT_H

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/posix_control.h"
#include "platform/win32.h"

// The results of a series of calls, made in the order written (a braced
// list is evaluated left to right), to compare with one EXPECT_EQ.
typedef std::vector<long long> Results;

inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The folder of the built programs: $TARN2_BIN, else the test program's
// own, so that the tests run from any working folder.
inline std::string BinFolder() {
    const char* bin = getenv("TARN2_BIN");
    if (bin && *bin) return bin;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "build/bin";
    std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

// Runs tarncap (from BinFolder) on this Windows directory with the given
// prefix of environment settings, options and command; answers its exit
// status, with everything it printed (both streams) in *output.
inline int RunTarncap(const std::string& home, const std::string& commandLine, std::string* output,
                      const std::string& environment = "") {
    std::string command = environment + BinFolder() + "/tarncap --home '" + home + "' " + commandLine + " 2>&1";
    output->clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) output->append(chunk, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A capture format as a host fills it in, size and all (tests pass wrong
// sizes on purpose).
inline BITMAPINFOHEADER HostFormat(LONG width, LONG height, WORD bits, DWORD compression, DWORD size) {
    return BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, bits, compression, size, 0, 0, 0, 0};
}

// Each test gets its own Windows directory and virtual time.
class FreshHome : public ::testing::Test {
protected:
    std::string home;
    void SetUp() override {
        char pattern[] = "/tmp/tarn2-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);  // never "/tmp": TearDown removes the home
        home = pattern;
        PosixSetWindowsDirectory(home.c_str());
        PosixClockSetVirtual(1);
        PosixClearProblems();
    }
    void TearDown() override {
        std::string command = "rm -rf '" + home + "'";
        if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << home;
    }
    std::string HomeFile(const char* name) const { return home + "/" + name; }
};

#endif
