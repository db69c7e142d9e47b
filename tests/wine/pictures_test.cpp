// Photographs of every dialog in every language it exists in, drawn by
// Wine, for the documentation (tools/screenshots.sh). Runs only when
// TARN2_PICTURES names the folder for them; each is a BMP named after the
// dialog and the language.
#include <stdlib.h>

#include "ui/resources/resource.h"
#include "wine_host.h"

namespace {

class Pictures : public WineHost {};

TEST_F(Pictures, EveryDialogInEveryLanguage) {
    const char* folder = getenv("TARN2_PICTURES");
    if (!folder || !*folder) GTEST_SKIP() << "TARN2_PICTURES names no folder";
    std::string base = std::string(folder) + "/";
    // The "Language" numbers of the start-up.
    const struct {
        DWORD number;
        const char* name;
    } languages[] = {{0, "english"}, {1, "french"}, {3, "german"}, {4, "spanish"}, {2, "italian"}, {5, "portuguese"}};
    for (const auto& language : languages) {
        SCOPED_TRACE(language.name);
        CloseAll();
        WriteDriverValue("Language", language.number);
        std::string suffix = std::string("-") + language.name + ".bmp";
        HDRVR videoIn = Open(VIDEO_IN), external = Open(VIDEO_EXTERNALIN);
        ASSERT_TRUE(videoIn && external);
        Play({Photograph(base + "video-format" + suffix), Click(IDCANCEL)});
        Send(videoIn, DVM_DIALOG, 0, 0);
        Play({Photograph(base + "camera-settings" + suffix), Click(IDC_ADVANCED),
              Photograph(base + "advanced-camera-settings" + suffix), Click(IDCANCEL), Click(IDCANCEL)});
        Send(external, DVM_DIALOG, 0, 0);
        if (language.number != 0) continue;
        // English only: the Driver Settings box and the trace window.
        Play({WaitShown(IDC_FIRMWARE), Photograph(base + "driver-settings" + suffix), Click(IDOK)});
        Send(videoIn, DRV_CONFIGURE, 0, 0);
    }
    CloseAll();
    WriteDriverValue("Language", 0);
    WriteDriverValue("DebugLevel", 0x20);
    HDRVR videoIn = Open(VIDEO_IN);
    ASSERT_TRUE(videoIn);
    Current(videoIn);
    Frame(videoIn);
    Pump(200);
    HWND trace = FindWindowA(nullptr, "Driver Message Trace");
    ASSERT_TRUE(trace);
    SaveWindowPicture(trace, base + "trace-window-english.bmp");
    Play({Click(IDNO)});
}

}  // namespace
