// tarncap: a capture host for the TARN2 driver on POSIX. It plays the part of
// the system's video-capture library: loads the driver, sends it the driver
// messages in the order a host does, and reports what it got.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "platform/posix/posix_control.h"

static void Usage(FILE* out) {
    fprintf(out,
            "usage: tarncap [options] COMMAND [arguments]\n"
            "\n"
            "commands:\n"
            "  probe              load and enable the driver, open and close its capture\n"
            "                     channels, and report each answer\n"
            "  grab [--size WxH] [--format F] [--frames N] [--out NAME]\n"
            "                     take N single frames (DVM_FRAME, default 1) and write them\n"
            "                     as NAME.bmp (RGB) or NAME.yuv (raw planes), NAME-0001...\n"
            "                     for several; F is one of rgb24 rgb16 rgb8 i420 iyuv yv12\n"
            "                     yuy2 uyvy yvu9 (default rgb24 176x144, NAME frame)\n"
            "  formats            list the formats the driver offers, with their sizes\n"
            "  ctrl [--list-ctrls] [--get-ctrl NAME,...] [--set-ctrl NAME=VALUE,...]\n"
            "                     list the camera controls with their ranges and values, read\n"
            "                     some or set some, through the driver's private control\n"
            "                     messages; with no option, list them\n"
            "  stream --frames N | --seconds S [--size WxH] [--format F] [--rate FPS]\n"
            "         [--buffers N] [--report S] --out FILE.avi | --out -\n"
            "                     stream frames through the driver's stream engine into an\n"
            "                     AVI file of uncompressed frames, or with --out - as a\n"
            "                     YUV4MPEG2 stream on the standard output (YUV formats only),\n"
            "                     rate 1 to 30 (default 15), 4 buffers by default; prints\n"
            "                     frames delivered (and expected), skipped, stalls, the rate\n"
            "                     achieved, the CPU time per frame and the peak memory; with\n"
            "                     --report, a line of rate, CPU and memory every S seconds\n"
            "  dialog camera|advanced|format|driver [--lang L] [--do SCRIPT]\n"
            "                     open a driver dialog as a host does (DVM_DIALOG on its\n"
            "                     channel, DRV_CONFIGURE for driver), print it, play the\n"
            "                     user actions of SCRIPT in it, print it again, and show the\n"
            "                     settings stored when the camera was released. L: 0 to 5 or\n"
            "                     english french italian german spanish portuguese. SCRIPT:\n"
            "                     steps separated by ';': click ID | type ID TEXT (keys at\n"
            "                     the end) | set ID TEXT (replaces) | clear ID | scroll ID N\n"
            "                     (thumb to N) | scroll ID lineup|linedown|pageup|pagedown\n"
            "                     | mouse down|move|up ID X Y | key return|escape|tab\n"
            "                     | wait MS | answer ok|cancel|yes|no | show. A dialog the\n"
            "                     script leaves open is cancelled (Escape); end with\n"
            "                     click 1 to keep its changes\n"
            "  check              a compliance run of the driver interface: every driver and\n"
            "                     video message with good and bad parameter blocks, one line\n"
            "                     per check and \"N passed, N failed\"; exits 1 on a failure\n"
            "\n"
            "  try [--out-dir DIR]\n"
            "                     a first look at the camera: a snapshot and a five-second\n"
            "                     clip into DIR (default capture/), where they are, and the\n"
            "                     commands worth trying next (tools/run.sh runs this alone)\n"
            "\n"
            "options:\n"
            "  --driver FILE      the driver module (default mbktarn2u.drv)\n"
            "  --open STRING      the open string passed with DRV_OPEN (an .INI name, LPTn)\n"
            "  --home DIR         the Windows directory: registry hive, INI and trace files\n"
            "                     (default $TARN2_HOME, else ~/.local/share/tarn2)\n"
            "  -v, --verbose      show what the camera's bring-up prints (its link test)\n"
            "  --version          the driver's version record and tarncap's version\n"
            "  -h, --help         this text\n");
}

static const char kTarncapVersion[] = "1.1.0";

// A string of the driver module's version record (language block
// 040904e4), or "?" when it has none.
static std::string VersionString(const char* file, const char* key) {
    DWORD handle = 0, size = GetFileVersionInfoSizeA(file, &handle);
    std::vector<char> block(size);
    char query[80];
    snprintf(query, sizeof query, "\\StringFileInfo\\040904e4\\%s", key);
    LPVOID value = nullptr;
    UINT length = 0;
    if (size && GetFileVersionInfoA(file, handle, size, block.data()) &&
        VerQueryValueA(block.data(), query, &value, &length) && value && length)
        return static_cast<const char*>(value);
    return "?";
}

static int PrintVersion(const Options& options) {
    printf("tarncap %s\n", kTarncapVersion);
    Host host;
    if (!LoadDriver(host, options.driver.c_str())) {
        fprintf(stderr, "tarncap: %s\n", host.error.c_str());
        return 1;
    }
    char path[MAX_PATH] = "";
    GetModuleFileNameA(host.module, path, sizeof path);
    printf("driver %s: FileVersion %s, OriginalFilename %s\n", path, VersionString(path, "FileVersion").c_str(),
           VersionString(path, "OriginalFilename").c_str());
    UnloadDriver(host);
    return 0;
}

// Takes the value of an option that needs one.
static bool TakeValue(int argc, char** argv, int* i, std::string* value) {
    if (*i + 1 >= argc) {
        fprintf(stderr, "tarncap: %s needs a value\n", argv[*i]);
        return false;
    }
    *value = argv[++*i];
    return true;
}

int main(int argc, char** argv) {
    Options options;
    std::string command, home;
    bool version = false;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (!command.empty()) {
            options.arguments.push_back(arg);
        } else if (!strcmp(arg, "-h") || !strcmp(arg, "--help")) {
            Usage(stdout);
            return 0;
        } else if (!strcmp(arg, "-v") || !strcmp(arg, "--verbose")) {
            ShowBringUpOutput(true);
        } else if (!strcmp(arg, "--version")) {
            version = true;
        } else if (!strcmp(arg, "--driver")) {
            if (!TakeValue(argc, argv, &i, &options.driver)) return 2;
        } else if (!strcmp(arg, "--open")) {
            if (!TakeValue(argc, argv, &i, &options.openString)) return 2;
        } else if (!strcmp(arg, "--home")) {
            if (!TakeValue(argc, argv, &i, &home)) return 2;
        } else if (arg[0] == '-') {
            fprintf(stderr, "tarncap: unknown option %s (see tarncap --help)\n", arg);
            return 2;
        } else {
            command = arg;
        }
    }
    if (!home.empty()) PosixSetWindowsDirectory(home.c_str());
    // A reader that went away, or a file grown to its size limit, shows as
    // a failed write with its reason, not as the end of the process.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    if (version) return PrintVersion(options);
    if (command.empty()) {
        Usage(stderr);
        return 2;
    }
    if (command == "probe") {
        if (!options.arguments.empty()) {
            fprintf(stderr, "tarncap: probe takes no arguments\n");
            return 2;
        }
        return RunProbe(options);
    }
    if (command == "grab") return RunGrab(options);
    if (command == "ctrl") return RunCtrl(options);
    if (command == "stream") return RunStream(options);
    if (command == "dialog") return RunDialog(options);
    if (command == "check") return RunCheck(options);
    if (command == "formats") return RunFormats(options);
    if (command == "try") return RunTry(options);
    fprintf(stderr, "tarncap: unknown command %s (see tarncap --help)\n", command.c_str());
    return 2;
}
