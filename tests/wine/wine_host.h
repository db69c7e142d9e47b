// The Windows driver run by a Windows host under Wine: loaded through
// winmm's OpenDriver as the system's video library does, with the driver
// module's three link-driver imports routed to the simulator compiled into
// this program, and its dialogs driven with real window messages.
#ifndef TARN2_TESTS_WINE_HOST_H
#define TARN2_TESTS_WINE_HOST_H

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "sim/sim.h"

// The driver module with our own reference, its link imports routed; null
// when it cannot be loaded. Unloading drops our reference, so the module
// goes once winmm has closed it too.
HMODULE LoadDriverModule();
void UnloadDriverModule();
// Without a link driver a device open goes to the system, as on a machine
// where none is installed.
void SetLinkDriverInstalled(bool installed);
int OpenLinkHandles();

// The driver's registry key, HKLM\SOFTWARE\MARBECK\TARN2, in Wine's registry.
void DeleteDriverKey();
DWORD ReadDriverValue(const char* name, DWORD fallback);
void WriteDriverValue(const char* name, DWORD value);
void WriteDriverText(const char* name, const char* text);
// A file in the Windows directory, read whole ("" when missing).
std::string WindowsFileText(const char* name);

// A user at the screen. Steps run one at a time, from a timer of this
// thread, inside whichever modal loop is running (a dialog's or a message
// box's), always on the innermost dialog. A step that answers false is
// tried again on the next tick; one that waits more than a few seconds
// fails the test, and a dialog nobody acts on is cancelled the same way.
using Step = std::function<bool(HWND dialog)>;
void Play(std::vector<Step> steps);
bool StepsDone();
// Handles this thread's messages for a while (posted trace lines, timers).
void Pump(DWORD ms);
// How many dialogs (message boxes too) this thread has created so far.
int DialogsShown();
HWND DialogItem(HWND dialog, int id);
Step Click(int id);
Step Scroll(int id, WORD code, int times = 1);
Step SetText(int id, const char* text);
Step Type(int id, const char* characters);
Step Key(int id, WORD key);
// A mouse message at (dx, dy) from the middle of the control.
Step Mouse(int id, UINT msg, int dx, int dy);
Step Expect(std::function<void(HWND dialog)> check);
// Waits until the innermost dialog's caption is this text.
Step WaitFor(const char* caption);
Step WaitShown(int id);
// Saves the innermost window, frame and all, as a 24-bit BMP, once it has
// had a moment to paint; SaveWindowPicture does it for any window at once.
Step Photograph(std::string path);
void SaveWindowPicture(HWND window, const std::string& path);
std::string ItemText(HWND dialog, int id);
bool Checked(HWND dialog, int id);
bool Enabled(HWND dialog, int id);

// One channel of the driver, opened and closed through winmm.
class WineHost : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HDRVR Open(DWORD type, DWORD* error = nullptr);
    void Close(HDRVR channel);
    void CloseAll();
    LRESULT Send(HDRVR channel, UINT msg, LPARAM lParam1 = 0, LPARAM lParam2 = 0) {
        return SendDriverMessage(channel, msg, lParam1, lParam2);
    }
    DWORD Configure(HDRVR channel, UINT msg, DWORD flags, void* data, DWORD size, DWORD* answer = nullptr);
    BITMAPINFOHEADER Current(HDRVR channel);
    DWORD SetFormat(HDRVR channel, BITMAPINFOHEADER format) {
        return Configure(channel, DVM_FORMAT, VIDEO_CONFIGURE_SET, &format, sizeof format);
    }
    // The private control messages carried in DVM_FORMAT: a write, and a
    // read fetched by the next GET (false when the driver had no answer).
    void WritePrivate(HDRVR channel, DWORD number, DWORD data);
    bool ReadPrivate(HDRVR channel, DWORD number, DWORD* data);
    DWORD ReadPrivate(HDRVR channel, DWORD number);
    // One DVM_FRAME into a buffer of the current format's size.
    std::vector<BYTE> Frame(HDRVR channel, DWORD* result = nullptr);
    std::vector<HDRVR> open;
};

// A host with the VIDEO_IN channel open.
class VideoInHost : public WineHost {
protected:
    HDRVR videoIn = nullptr;
    void SetUp() override {
        WineHost::SetUp();
        videoIn = Open(VIDEO_IN);
        ASSERT_TRUE(videoIn);
    }
};

inline DWORD Bytes(DWORD d0, DWORD d1, DWORD d2, DWORD d3) {
    return d0 | d1 << 8 | d2 << 16 | d3 << 24;
}

#endif
