// Shared pieces of the headless window system; never included by the driver.
#ifndef TARN2_POSIX_USER_INTERNAL_H
#define TARN2_POSIX_USER_INTERNAL_H

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "internal.h"
#include "posix_windows.h"

namespace w32u {

// One lock for every table of the window system. Window procedures are
// always called without it.
std::recursive_mutex& Lock();
typedef std::lock_guard<std::recursive_mutex> Hold;

enum Kind { kGeneric, kDesktop, kDialog, kButton, kStatic, kEdit, kScrollBar, kListBox, kComboBox };

struct WindowClass {
    std::string name;
    WNDPROC proc = nullptr;
    UINT style = 0;
    int classExtra = 0;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    Kind kind = kGeneric;
    bool local = false;  // a module's own class, found by its instance
    WORD atom = 0;
};

struct ScrollState {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    UINT page = 0;
};

struct ListItem {
    std::string text;
    LONG_PTR data = 0;
};

struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;
};

struct Menu {
    HMENU handle = nullptr;
    HWND owner = nullptr;
    std::vector<MenuItem> items;
};

struct Window {
    HWND handle = nullptr;
    Kind kind = kGeneric;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // top-level windows
    std::vector<HWND> children;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    HINSTANCE instance = nullptr;
    LONG_PTR userData = 0;
    std::string text;
    RECT rect = {0, 0, 0, 0};  // in the parent's client area, or the screen
    std::vector<unsigned char> extra;
    std::thread::id thread;
    bool destroyed = false;
    bool created = false;
    // Dialogs.
    bool ended = false;
    INT_PTR result = 0;
    bool modal = false;
    HWND focusSaved = nullptr;
    HWND disabledOwner = nullptr;
    // Controls.
    UINT check = 0;
    UINT buttonState = 0;
    ScrollState horizontal, vertical, control;
    int limit = 30000;
    int selectionStart = 0;
    int selectionEnd = 0;
    std::vector<ListItem> items;
    int current = -1;
    int top = 0;
    // Painting.
    bool invalid = false;
    bool erase = false;
    std::vector<PosixDrawCall> draws;
    Menu* systemMenu = nullptr;
};
typedef std::shared_ptr<Window> WindowPtr;

// The window behind a handle (also its 16-bit form), or null.
WindowPtr Find(HWND window);
// Every live window, oldest first.
std::vector<WindowPtr> AllWindows();
bool IsDialogWindow(const WindowPtr& w);
// The dialog (or top-level window) a control belongs to.
HWND TopLevelOf(HWND window);
// Client rectangle in the window's own coordinates and the offset of the
// client area inside the window rectangle.
RECT ClientRectOf(const Window& w);
POINT ClientOrigin(const Window& w);
// Screen position of the window's client area.
POINT ClientToScreenOf(HWND window);
// Registers the standard control classes once.
void RegisterStandardClasses();
std::shared_ptr<WindowClass> FindClass(const char* name, HINSTANCE instance);
// Builds a window; `initParam` is CREATESTRUCT's lpCreateParams.
HWND CreateWindowInternal(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int width,
                          int height, HWND parent, int id, HINSTANCE instance, void* initParam);
// Sends a command notification to a control's parent.
void NotifyParent(HWND control, int code);
// Window procedures of the standard controls and the dialog class.
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ScrollBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
// Scroll state of a window's bar (SB_HORZ, SB_VERT or SB_CTL), or null.
ScrollState* ScrollOf(Window& w, int bar);
// Marks a window's area invalid (whole client area).
void Invalidate(HWND window, bool erase);
// Records a drawing call on a window.
void RecordDraw(HWND window, char op, const RECT& rect, COLORREF color);
// A brush's colour, or 0xFFFFFFFF for the null brush or a bad handle.
COLORREF BrushColor(HBRUSH brush);
// Drops a window's timers and queued messages (at destruction).
void KillWindowTimers(HWND window);
// Drops a destroyed window's system menu.
void FreeSystemMenu(Window& w);
// The text rendering of Windows-1252 text as UTF-8 for a person.
std::string ToUtf8(const std::string& text);
// Dialog templates of a module.
struct ControlTemplate {
    std::string className;
    std::string text;
    int id = -1;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    const void* creationData = nullptr;  // CREATESTRUCT's lpCreateParams
};
struct DialogTemplate {
    std::string name;  // "#105" for a number, else the name
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string className;
    std::string fontName;
    int fontSize = 0;
    std::vector<ControlTemplate> controls;
};
// Finds and reads a dialog template in a module's resources; false, with
// the problem reported, if there is none or it is malformed.
bool FindDialogTemplate(HINSTANCE module, const char* name, DialogTemplate* out);
// Non-client insets (left, top, right, bottom) of a window of this style.
RECT InsetsFor(DWORD style, DWORD exStyle, Kind kind);
// Forgets focus, capture, clipping and the cursor.
void ResetInputState();
// Forgets every queued message, window timer, hook and message box.
void ResetMessageState();
void ResetDialogState();
// Retrieves the next message for this thread (posted, quit, paint, timer)
// without waiting; `remove` as PM_REMOVE.
bool RetrieveMessage(MSG* msg, HWND filter, UINT first, UINT last, bool remove);
// The next window timer of this thread that is due, as a clock value;
// false if there is none.
bool NextTimerDue(uint32_t* due);
// Handles one message the way a message loop does (dialog keys included).
void HandleMessage(MSG* msg);
// The default button id of a dialog, 0 if none.
int DefaultButtonId(HWND dialog);
// The click of a button as the mouse gives it (toggle, group, notify).
void ButtonClicked(HWND button);
// Whether the window and its parents are visible and enabled.
bool Reachable(HWND window);
// Dialog units to pixels with the fixed base units.
int DialogX(int units);
int DialogY(int units);

}  // namespace w32u

#endif
