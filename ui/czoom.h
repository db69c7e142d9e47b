// The "czoom" control: the camera sensor as a frame and, inside it, the part
// that the capture window covers, as a rectangle the user drags to pan and
// tilt. It only maps rectangles and positions between sensor pixels and its
// own drawing; the parent dialog talks to the camera.
#ifndef TARN2_UI_CZOOM_H
#define TARN2_UI_CZOOM_H

#include "../platform/win32.h"

#define ZOOM_CLASS_NAME "czoom"

// Private messages.
// lParam points to a POINT in sensor pixels: move the pan rectangle's
// top-left corner there. Returns 1 if adopted, 0 if refused.
#define ZM_SETPOSITION (WM_USER)
// Returns the pan position in sensor pixels: x in the low word, y in the high.
#define ZM_GETPOSITION (WM_USER + 1)
// lParam points to a RECT in sensor pixels: the pan rectangle takes its size
// at half scale, centred in the frame. No repaint. Returns 0.
#define ZM_SETSIZE (WM_USER + 2)

// Notification codes, posted to the parent as WM_COMMAND.
#define ZN_DRAGSTARTED 1044
#define ZN_MOVED 1045
#define ZN_DRAGENDED 1046

// The frame in client pixels, and the sensor it stands for at half scale.
#define ZOOM_FRAME_WIDTH 178
#define ZOOM_FRAME_HEIGHT 146

// Registers the window class for `module`; done once, when the library is
// attached to a process. Non-zero on success.
BOOL RegisterZoomControlClass(HINSTANCE module);
LRESULT CALLBACK ZoomControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

#endif
