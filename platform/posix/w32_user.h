// Window system of the POSIX Win32 layer: windows, dialogs, controls,
// messages and drawing, headless.
#ifndef TARN2_POSIX_W32_USER_H
#define TARN2_POSIX_W32_USER_H

#include "w32_base.h"

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA, *LPWNDCLASSA;
typedef WNDCLASSA WNDCLASS;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

// Window messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETCURSOR 0x0020
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_CAPTURECHANGED 0x0215
#define WM_USER 0x0400

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_CLIENTEDGE 0x00000200L

// Show commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9

// Message boxes.
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONSTOP MB_ICONHAND
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#define MB_SETFOREGROUND 0x00010000L
#define MB_TOPMOST 0x00040000L
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

W32_EXTERN_C int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
W32_EXTERN_C HWND WINAPI GetDesktopWindow(void);
W32_EXTERN_C BOOL WINAPI IsWindow(HWND window);
W32_EXTERN_C BOOL WINAPI DestroyWindow(HWND window);
W32_EXTERN_C BOOL WINAPI PostMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
W32_EXTERN_C LRESULT WINAPI SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
W32_EXTERN_C HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc,
                                            LPARAM initParam);
W32_EXTERN_C INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc,
                                            LPARAM initParam);
W32_EXTERN_C BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
W32_EXTERN_C WORD WINAPI RegisterClassA(const WNDCLASSA* windowClass);
W32_EXTERN_C BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance);
W32_EXTERN_C LRESULT WINAPI DefWindowProcA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
#define MessageBox MessageBoxA
#define PostMessage PostMessageA
#define SendMessage SendMessageA
#define CreateDialogParam CreateDialogParamA
#define DialogBoxParam DialogBoxParamA
#define RegisterClass RegisterClassA
#define UnregisterClass UnregisterClassA
#define DefWindowProc DefWindowProcA

// ---- Dialog controls, scroll bars, timers, cursors and painting the
// driver's dialogs call (real Win32 signatures; the window system
// implements them).
#define EM_LIMITTEXT 0x00C5
#define EN_CHANGE 0x0300
#define BN_CLICKED 0
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define SB_HORZ 0
#define SB_VERT 1
#define SB_CTL 2
#define SB_LINEUP 0
#define SB_LINELEFT 0
#define SB_LINEDOWN 1
#define SB_LINERIGHT 1
#define SB_PAGEUP 2
#define SB_PAGELEFT 2
#define SB_PAGEDOWN 3
#define SB_PAGERIGHT 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_LEFT 6
#define SB_BOTTOM 7
#define SB_RIGHT 7
#define SB_ENDSCROLL 8
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define GWL_ID (-12)
#define COLOR_BTNFACE 15
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)

W32_EXTERN_C HWND WINAPI GetDlgItem(HWND dialog, int id);
W32_EXTERN_C UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
W32_EXTERN_C BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
W32_EXTERN_C BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
W32_EXTERN_C UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
W32_EXTERN_C LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);
W32_EXTERN_C BOOL WINAPI CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
W32_EXTERN_C BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check);
W32_EXTERN_C UINT WINAPI IsDlgButtonChecked(HWND dialog, int id);
W32_EXTERN_C BOOL WINAPI EnableWindow(HWND window, BOOL enable);
W32_EXTERN_C BOOL WINAPI IsWindowEnabled(HWND window);
W32_EXTERN_C BOOL WINAPI ShowWindow(HWND window, int command);
W32_EXTERN_C BOOL WINAPI IsWindowVisible(HWND window);
W32_EXTERN_C HWND WINAPI SetFocus(HWND window);
W32_EXTERN_C HWND WINAPI GetFocus(void);
W32_EXTERN_C BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
W32_EXTERN_C int WINAPI GetWindowTextA(HWND window, LPSTR text, int size);
W32_EXTERN_C LONG WINAPI GetWindowLongA(HWND window, int index);
W32_EXTERN_C BOOL WINAPI GetWindowRect(HWND window, LPRECT rectangle);
W32_EXTERN_C BOOL WINAPI GetClientRect(HWND window, LPRECT rectangle);
W32_EXTERN_C BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
W32_EXTERN_C BOOL WINAPI IsRectEmpty(const RECT* rectangle);
W32_EXTERN_C int WINAPI SetScrollPos(HWND window, int bar, int position, BOOL redraw);
W32_EXTERN_C int WINAPI GetScrollPos(HWND window, int bar);
W32_EXTERN_C BOOL WINAPI SetScrollRange(HWND window, int bar, int minimum, int maximum, BOOL redraw);
W32_EXTERN_C UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
W32_EXTERN_C BOOL WINAPI KillTimer(HWND window, UINT_PTR id);
W32_EXTERN_C HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
W32_EXTERN_C HCURSOR WINAPI SetCursor(HCURSOR cursor);
W32_EXTERN_C DWORD WINAPI GetSysColor(int index);
W32_EXTERN_C HBRUSH WINAPI CreateSolidBrush(COLORREF colour);
W32_EXTERN_C BOOL WINAPI DeleteObject(HGDIOBJ object);
W32_EXTERN_C int WINAPI FillRect(HDC dc, const RECT* rectangle, HBRUSH brush);
W32_EXTERN_C DWORD WINAPI GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out, DWORD size);
#define SetDlgItemText SetDlgItemTextA
#define GetDlgItemText GetDlgItemTextA
#define SendDlgItemMessage SendDlgItemMessageA
#define SetWindowText SetWindowTextA
#define GetWindowText GetWindowTextA
#define GetWindowLong GetWindowLongA
#define LoadCursor LoadCursorA
#define GetProfileString GetProfileStringA

#endif
