// tarncap dialog: opens one of the driver's dialogs as a host does (DVM_DIALOG
// on the channel that owns it, DRV_CONFIGURE for the driver's own box),
// prints it, plays a script of user actions in it, prints it again, and shows
// the camera settings the driver stored when it let the camera go.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "platform/posix/posix_control.h"
#include "platform/posix/posix_windows.h"

// The Camera Settings dialog's button that opens Advanced Camera Settings.
static const char kOpenAdvanced[] = "click 1015";

enum DialogKind { kCameraDialog, kAdvancedDialog, kFormatDialog, kDriverDialog };

struct DialogRequest {
    DialogKind kind = kCameraDialog;
    bool setLanguage = false;
    DWORD language = 0;
    std::string script;
};

static const char* const kLanguageNames[] = {"english", "french", "italian", "german", "spanish", "portuguese"};

// A language by number (0 to 5, the driver's numbering) or by English name.
static bool ParseLanguage(const char* text, DWORD* language) {
    for (DWORD i = 0; i < 6; i++) {
        if (strcasecmp(text, kLanguageNames[i]) == 0) {
            *language = i;
            return true;
        }
    }
    char* end = nullptr;
    long n = strtol(text, &end, 10);
    if (!end || end == text || *end || n < 0 || n > 5) return false;
    *language = (DWORD)n;
    return true;
}

static bool ParseDialogArguments(const std::vector<std::string>& args, DialogRequest* request) {
    if (args.empty()) {
        fprintf(stderr, "tarncap: dialog wants camera, advanced, format or driver\n");
        return false;
    }
    const std::string& which = args[0];
    if (which == "camera")
        request->kind = kCameraDialog;
    else if (which == "advanced")
        request->kind = kAdvancedDialog;
    else if (which == "format")
        request->kind = kFormatDialog;
    else if (which == "driver")
        request->kind = kDriverDialog;
    else {
        fprintf(stderr, "tarncap: no dialog called %s (camera, advanced, format or driver)\n", which.c_str());
        return false;
    }
    for (size_t i = 1; i < args.size(); i++) {
        const std::string& arg = args[i];
        if ((arg == "--lang" || arg == "--do") && i + 1 >= args.size()) {
            fprintf(stderr, "tarncap: %s needs a value\n", arg.c_str());
            return false;
        }
        if (arg == "--lang") {
            if (!ParseLanguage(args[++i].c_str(), &request->language)) {
                fprintf(stderr,
                        "tarncap: --lang wants 0 to 5 or english, french, italian, german, spanish, portuguese, "
                        "not %s\n",
                        args[i].c_str());
                return false;
            }
            request->setLanguage = true;
        } else if (arg == "--do") {
            if (!request->script.empty()) request->script += ";";
            request->script += args[++i];
        } else {
            fprintf(stderr, "tarncap: dialog does not know %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

static std::string Trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

static std::vector<std::string> SplitSteps(const std::string& script) {
    std::vector<std::string> steps;
    std::string step;
    for (char c : script) {
        if (c == ';' || c == '\n') {
            if (!Trimmed(step).empty()) steps.push_back(Trimmed(step));
            step.clear();
        } else {
            step += c;
        }
    }
    if (!Trimmed(step).empty()) steps.push_back(Trimmed(step));
    return steps;
}

static bool IsNumber(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// "scroll ID N" is short for dragging the thumb to N.
static std::string ExpandStep(const std::string& step) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < step.size()) {
        size_t begin = step.find_first_not_of(" \t", at);
        if (begin == std::string::npos) break;
        size_t end = step.find_first_of(" \t", begin);
        if (end == std::string::npos) end = step.size();
        words.push_back(step.substr(begin, end - begin));
        at = end;
    }
    if (words.size() == 3 && words[0] == "scroll" && IsNumber(words[2]))
        return "scroll " + words[1] + " thumb " + words[2];
    return step;
}

// Ends a dialog: OK, Cancel, Return or Escape.
static bool IsClosingStep(const std::string& step) {
    return step == "click 1" || step == "click 2" || step == "key return" || step == "key escape";
}

// The whole script for the window system: a picture first, the user's
// steps, and a picture after them but before the step that closes the
// dialog, so that the second picture shows what the steps did.
static std::string BuildScript(const DialogRequest& request) {
    std::vector<std::string> steps = SplitSteps(request.script);
    std::string script;
    if (request.kind == kAdvancedDialog) script += std::string(kOpenAdvanced) + ";";
    script += "show";
    size_t closing = steps.size();
    if (!steps.empty() && IsClosingStep(steps.back())) closing = steps.size() - 1;
    for (size_t i = 0; i < closing; i++) script += ";" + ExpandStep(steps[i]);
    if (!steps.empty()) script += ";show";
    for (size_t i = closing; i < steps.size(); i++) script += ";" + steps[i];
    return script;
}

// Sets the registry's "Language" for the run and puts the old value back.
struct LanguageOverride {
    bool active = false;
    bool hadValue = false;
    DWORD type = 0;
    std::vector<BYTE> old;
};

static HKEY OpenDriverKey(void) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

static bool OverrideLanguage(DWORD language, LanguageOverride* saved) {
    HKEY key = OpenDriverKey();
    if (!key) {
        fprintf(stderr, "tarncap: cannot open the driver's registry key to set the language\n");
        return false;
    }
    DWORD size = 0;
    saved->hadValue = RegQueryValueExA(key, "Language", nullptr, &saved->type, nullptr, &size) == ERROR_SUCCESS;
    if (saved->hadValue) {
        saved->old.resize(size ? size : 1);
        RegQueryValueExA(key, "Language", nullptr, &saved->type, saved->old.data(), &size);
        saved->old.resize(size);
    }
    bool done = RegSetValueExA(key, "Language", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&language),
                               sizeof language) == ERROR_SUCCESS;
    RegCloseKey(key);
    saved->active = done;
    if (!done) fprintf(stderr, "tarncap: cannot set the language\n");
    return done;
}

static void RestoreLanguage(const LanguageOverride& saved) {
    if (!saved.active) return;
    HKEY key = OpenDriverKey();
    if (!key) return;
    if (saved.hadValue)
        RegSetValueExA(key, "Language", 0, saved.type, saved.old.data(), (DWORD)saved.old.size());
    else
        RegDeleteValueA(key, "Language");
    RegCloseKey(key);
}

static void PrintStoredSettings(void) {
    static const char* const kNames[] = {"Brightness",   "Contrast",    "Colour",    "Compression",   "VideoConf",
                                         "VideoConfVal", "VideoCapVal", "FrameRate", "AutoFrameRate", "MainsFreq",
                                         "Banding",      "Backlit",     "ImageCols", "ImageRows"};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        printf("stored settings: none\n");
        return;
    }
    printf("stored settings:");
    for (const char* name : kNames) {
        DWORD value = 0, type = 0, size = sizeof value;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
            type == REG_DWORD)
            printf(" %s=%lu", name, (unsigned long)value);
    }
    printf("\n");
    RegCloseKey(key);
}

// One line per box, a line break in its text shown as \n.
static void PrintMessageBoxes(void) {
    for (int i = 0; i < PosixMessageBoxCount(); i++) {
        std::string text = PosixMessageBoxText(i) ? PosixMessageBoxText(i) : "";
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
            text.replace(at, 1, "\\n");
        printf("message box \"%s\": \"%s\" -> %d\n", PosixMessageBoxCaption(i), text.c_str(), PosixMessageBoxAnswer(i));
    }
}

// The channel that owns the dialog: Camera Settings (and Advanced, opened
// from it) belong to VIDEO_EXTERNALIN, Video Format to VIDEO_IN.
static DWORD ChannelFor(DialogKind kind) {
    return kind == kFormatDialog ? VIDEO_IN : VIDEO_EXTERNALIN;
}

static int ShowChannelDialog(Host& host, const Options& options, DialogKind kind) {
    DWORD error = 0;
    DWORD type = ChannelFor(kind);
    DWORD_PTR channel = OpenChannel(host, type, options.openString.c_str(), &error);
    if (!channel) {
        fprintf(stderr, "tarncap: %s could not be opened: %s\n", ChannelName(type), OpenRefusal(type, error).c_str());
        return 1;
    }
    LRESULT result = Send(host, channel, DVM_DIALOG, 0, 0);
    printf("DVM_DIALOG %s -> %s (%ld)\n", ChannelName(type), DvErrorName((DWORD)result), (long)result);
    LRESULT closed = Send(host, channel, DRV_CLOSE, 0, 0);
    if (closed != 1) printf("DRV_CLOSE -> %ld\n", (long)closed);
    return result == DV_ERR_OK ? 0 : 1;
}

static int ShowDriverDialog(Host& host) {
    // A configuration-only open, as the system's control panel makes one.
    LRESULT id = Send(host, 0, DRV_OPEN, 0, 0);
    LRESULT result = Send(host, (DWORD_PTR)id, DRV_CONFIGURE, 0, 0);
    printf("DRV_CONFIGURE -> %ld\n", (long)result);
    Send(host, (DWORD_PTR)id, DRV_CLOSE, 0, 0);
    return result == 1 ? 0 : 1;
}

int RunDialog(const Options& options) {
    DialogRequest request;
    if (!ParseDialogArguments(options.arguments, &request)) return 2;
    std::string script = BuildScript(request);
    char problem[256] = "";
    if (!PosixSetDialogScript(script.c_str(), problem, sizeof problem)) {
        fprintf(stderr, "tarncap: %s\n", problem);
        return 2;
    }
    printf("script: %s\n", script.c_str());
    // Nobody waits at a headless dialog: time moves only as the script lets
    // it ("wait MS") and as the camera's busy waits ask for it.
    PosixClockSetVirtual(1);
    LanguageOverride language;
    if (request.setLanguage && !OverrideLanguage(request.language, &language)) return 1;
    Host host;
    int status = 1;
    if (LoadDriver(host, options.driver.c_str())) {
        Send(host, 0, DRV_LOAD, 0, 0);
        Send(host, 0, DRV_ENABLE, 0, 0);
        PosixClearMessageBoxes();
        status =
            request.kind == kDriverDialog ? ShowDriverDialog(host) : ShowChannelDialog(host, options, request.kind);
        PrintMessageBoxes();
        Send(host, 0, DRV_DISABLE, 0, 0);
        Send(host, 0, DRV_FREE, 0, 0);
        UnloadDriver(host);
        PrintStoredSettings();
    } else {
        fprintf(stderr, "tarncap: %s\n", host.error.c_str());
    }
    PosixSetDialogHook(nullptr, nullptr);
    RestoreLanguage(language);
    return status;
}
