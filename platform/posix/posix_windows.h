// Driving the headless window system from a test or the host tool: what a
// person would do at the screen (click, type, scroll, drag, answer a
// message box), running the message queue and timers, compiled resources for
// a module, and a text picture of any window. The driver never calls these.
//
// Geometry: the screen is 1024 x 768 pixels. Dialog units become pixels
// with the fixed base units of 8-point "MS Sans Serif" at 96 dpi, 6 x 13:
// x pixels = x units * 6 / 4 and y pixels = y units * 13 / 8, rounded, for
// every dialog whatever its font. Frames are fixed too: a caption is 18
// pixels, a dialog or modal frame 3, a sizing frame 4, a border 1, a client
// edge 2, a window scroll bar 17.
#ifndef TARN2_POSIX_WINDOWS_H
#define TARN2_POSIX_WINDOWS_H

#include <stddef.h>

#include "w32_base.h"
#include "w32_user.h"

#ifdef __cplusplus
extern "C" {
#endif

// --- Resources -----------------------------------------------------------

// Makes `image`, a compiled resource file (.res, as the resource compiler
// writes it), the resources of `module`, replacing what it had; the bytes
// are copied. `fileName` is the module file that GetFileVersionInfoSizeA
// knows it by (may be null). Returns 1 on success; on a malformed file
// returns 0, keeps nothing and PosixLastProblem names the entry and fault.
// Dialog templates are read when a dialog is made from them.
int PosixRegisterResources(HINSTANCE module, const char* fileName, const void* image, size_t size);
// Removes what a module was given.
void PosixUnregisterResources(HINSTANCE module);
// Called by the module that carries an embedded resource file (the build
// step generates the call); `image` lies inside that module and lasts as
// long as it does.
void PosixAddEmbeddedResources(const void* image, size_t size);

// --- Running the queue ---------------------------------------------------

// Handles everything waiting for the calling thread: sent and posted
// messages, paints and window timers that are due. Returns how many
// messages it handled.
int PosixRunMessages(void);
// Lets `ms` milliseconds pass while handling messages: in virtual time the
// clock moves from timer to timer (multimedia and window timers fire in
// order); in real time it sleeps while pumping.
void PosixRunFor(DWORD ms);

// --- What a person does --------------------------------------------------

// Clicks the control `id` of `dialog` as the left mouse button would:
// focus, auto check boxes toggle, auto radios check and clear their group,
// BN_CLICKED reaches the parent. A hidden or disabled control, or one in a
// disabled dialog, ignores the click: the result is 0 then, else 1.
int PosixClick(HWND dialog, int id);
// Types `text` key by key at the end of edit `id` (each key that fits
// changes the text and sends EN_CHANGE; keys beyond the limit beep).
// "\b" in the text is a backspace. Returns 0 if the edit cannot be reached.
int PosixType(HWND dialog, int id, const char* text);
// Selects all the text of edit `id` and deletes it (one EN_CHANGE).
int PosixClearEdit(HWND dialog, int id);
// Selects all the text of edit `id` and types `text` over it.
int PosixReplaceText(HWND dialog, int id, const char* text);
// Operates scroll bar `id` (SB_HORZ controls send WM_HSCROLL, SBS_VERT ones
// WM_VSCROLL to the parent). SB_LINE* and SB_PAGE* are one click: the code,
// then SB_ENDSCROLL. SB_THUMBTRACK is a drag of the thumb to `position`:
// SB_THUMBTRACK, SB_THUMBPOSITION and SB_ENDSCROLL. Any other code is sent
// alone. Returns 0 for a hidden or disabled bar.
int PosixScroll(HWND dialog, int id, int code, int position);
// Chooses item `index` of list or combo box `id` as a click would:
// selection and LBN_SELCHANGE/CBN_SELCHANGE to the parent.
int PosixChooseItem(HWND dialog, int id, int index);
// Presses and releases a key (VK_RETURN, VK_ESCAPE, VK_TAB ...) in the
// window that has the focus, through the message queue.
void PosixPressKey(int virtualKey);
// Picks a system-menu command of `window`; a greyed or missing item does
// nothing (result 0).
int PosixSystemCommand(HWND window, UINT command);
// The left mouse button in `window`, at client coordinates (x, y). The
// cursor moves there (held inside ClipCursor's rectangle); the message goes
// to the window with the capture, if any, in its own client coordinates.
// A disabled window gets nothing. Sent messages, so handled on return.
void PosixMouseDown(HWND window, int x, int y);
void PosixMouseMove(HWND window, int x, int y);
void PosixMouseUp(HWND window, int x, int y);

// --- Message boxes -------------------------------------------------------

// Answers for the next message boxes, first in first out. With none queued
// a box gets the policy answer: the default of PosixSetMessageBoxPolicy,
// 0 meaning the box's default button.
void PosixQueueMessageBoxAnswer(int answer);
void PosixSetMessageBoxPolicy(int answer);
// Every box is printed to stderr and recorded: how many since the last
// clear, and the i-th one's text, caption, type and answer.
int PosixMessageBoxCount(void);
const char* PosixMessageBoxText(int index);
const char* PosixMessageBoxCaption(int index);
UINT PosixMessageBoxType(int index);
int PosixMessageBoxAnswer(int index);
void PosixClearMessageBoxes(void);

// --- Modal dialogs -------------------------------------------------------

// Called by every modal loop (DialogBoxParamA, nested ones too) whenever
// it has nothing left to handle, with the innermost dialog. The hook acts
// (clicks, types, lets time pass) and returns non-zero; it returns 0 when
// it has nothing more to do. A modal loop whose hook is done, or that has
// no hook, presses Escape; a dialog that stays open after that is ended
// with -1 and reported, so that nothing waits for a person who is not there.
typedef int (*PosixDialogHook)(HWND dialog, void* context);
void PosixSetDialogHook(PosixDialogHook hook, void* context);
// A hook from a script of actions, one per line or separated by ';':
//   click ID | type ID TEXT | clear ID | set ID TEXT | scroll ID CODE [POS]
//   (CODE: lineup linedown pageup pagedown thumb top bottom end)
//   | choose ID INDEX | key return|escape|tab | mouse down|move|up ID X Y
//   | wait MS | answer ok|cancel|yes|no|abort|retry|ignore | show | syscmd ID
// Steps run in order, each in whichever modal dialog is innermost when its
// turn comes. Returns 0 and a message naming the step if the script is
// malformed. `show` prints the dialog's picture to stdout.
int PosixSetDialogScript(const char* script, char* error, size_t errorSize);
// The modal dialogs open now, innermost last (count and i-th).
int PosixModalDepth(void);
HWND PosixModalDialog(int index);

// --- Looking at windows --------------------------------------------------

// A text picture of a window and its children: caption, every control with
// its kind, id, text, state and rectangle. Valid until the next call on
// this thread.
const char* PosixDescribeWindow(HWND window);
// Top-level windows that are open, newest last.
int PosixTopLevelCount(void);
HWND PosixTopLevelWindow(int index);
// The window whose caption is `caption` (newest first), or null.
HWND PosixFindWindow(const char* caption);

// Drawing calls on a window's DCs, oldest first. Ops: 'F' FillRect (the
// background erase too), 'R' FrameRect, 'B' Rectangle. Rectangles in client
// coordinates; `color` is the brush colour (0xFFFFFFFF for no brush). A fill
// of the whole client area drops what it covers.
typedef struct PosixDrawCall {
    char op;
    RECT rect;
    COLORREF color;
} PosixDrawCall;
int PosixDrawCount(HWND window);
int PosixGetDrawCall(HWND window, int index, PosixDrawCall* call);
void PosixClearDrawCalls(HWND window);
// The current cursor's name ("arrow", "wait", "cross" ...).
const char* PosixCursorName(void);
// GDI objects and DCs not yet deleted or released (leak checks).
int PosixLiveGdiObjects(void);
int PosixLiveDCs(void);
// Destroys every window (between tests) and forgets hooks, queues, timers,
// capture, clipping and message boxes.
void PosixResetWindows(void);

#ifdef __cplusplus
}
#endif

#endif
