// Messages the layer writes for a person, such as a damaged hive.
#include <stdio.h>

#include <mutex>
#include <string>

#include "internal.h"

namespace {
std::mutex problemLock;
std::string lastProblem;
}  // namespace

extern "C" void PosixReportProblem(const char* text) {
    std::lock_guard<std::mutex> hold(problemLock);
    lastProblem = text ? text : "";
    fprintf(stderr, "tarn2: %s\n", lastProblem.c_str());
}

extern "C" const char* PosixLastProblem(void) {
    std::lock_guard<std::mutex> hold(problemLock);
    return lastProblem.c_str();
}

extern "C" void PosixClearProblems(void) {
    std::lock_guard<std::mutex> hold(problemLock);
    lastProblem.clear();
}

namespace {
thread_local DWORD lastError = 0;
}

extern "C" DWORD WINAPI GetLastError(void) {
    return lastError;
}
extern "C" void WINAPI SetLastError(DWORD code) {
    lastError = code;
}
