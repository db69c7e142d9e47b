// The host side of the Wine suite: the module with its link imports routed
// to the simulator, the registry key, channels through winmm, and the user
// who acts in dialogs.
#include "wine_host.h"

#include <stdio.h>
#include <string.h>

#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include "link/protocol.h"
#include "platform/posix/posix_control.h"

namespace {

const char kDriverFile[] = "mbktarn2u.drv";
const wchar_t kDriverFileW[] = L"mbktarn2u.drv";
const char kDriverKey[] = "SOFTWARE\\MARBECK\\TARN2";

// ---- The simulated link driver behind \\.\TARN2_0 ----

// What the simulator registers (it calls PosixSetDefaultDevice), and one
// event per open handle so that handle values are the system's own.
struct Links {
    std::mutex lock;
    PosixDeviceOps ops = {};
    void* registration = nullptr;
    bool installed = true;
    bool defaultsAsked = false;
    std::map<HANDLE, void*> open;
};

Links& TheLinks() {
    static Links links;
    return links;
}

HANDLE WINAPI RoutedCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                                DWORD flags, HANDLE templateFile) {
    Links& l = TheLinks();
    bool link = name && lstrcmpiA(name, LINK_DEVICE_NAME) == 0;
    {
        std::lock_guard<std::mutex> hold(l.lock);
        link = link && l.installed;
        if (link && !l.defaultsAsked) {
            l.defaultsAsked = true;
            PosixInstallDefaultDevices();
        }
    }
    if (!link) return CreateFileA(name, access, share, security, creation, flags, templateFile);
    std::lock_guard<std::mutex> hold(l.lock);
    void* context = l.ops.open ? l.ops.open(l.registration) : nullptr;
    if (!context) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    l.open[handle] = context;
    return handle;
}

// The link request of an open handle, or false for a handle of the system.
bool LinkContext(HANDLE handle, void** context) {
    Links& l = TheLinks();
    std::lock_guard<std::mutex> hold(l.lock);
    auto it = l.open.find(handle);
    if (it == l.open.end()) return false;
    *context = it->second;
    return true;
}

BOOL WINAPI RoutedDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                  LPDWORD returned, LPOVERLAPPED overlapped) {
    void* context = nullptr;
    if (!LinkContext(device, &context))
        return DeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
    DWORD count = 0;
    int ok = TheLinks().ops.control(context, code, in, inSize, out, outSize, &count);
    if (returned) *returned = count;
    if (!ok) SetLastError(ERROR_NOT_SUPPORTED);
    return ok ? TRUE : FALSE;
}

BOOL WINAPI RoutedCloseHandle(HANDLE handle) {
    void* context = nullptr;
    if (LinkContext(handle, &context)) {
        Links& l = TheLinks();
        std::lock_guard<std::mutex> hold(l.lock);
        l.open.erase(handle);
        if (l.ops.close) l.ops.close(context);
    }
    return CloseHandle(handle);
}

// Points the module's imports of one function of KERNEL32 at ours;
// answers how many slots it changed.
int RouteImport(HMODULE module, const char* function, void* replacement) {
    BYTE* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int changed = 0;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); d->Name; d++) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), "KERNEL32.dll") != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            changed++;
        }
    }
    return changed;
}

HMODULE loadedModule = nullptr;

}  // namespace

// The simulator's few calls into the POSIX layer, answered by Windows.
extern "C" {
void PosixSetDefaultDevice(const char* name, const PosixDeviceOps* ops, void* registration) {
    Links& l = TheLinks();
    if (ops) l.ops = *ops;
    l.registration = registration;
}
int PosixClockIsVirtual(void) {
    return 0;
}
uint32_t PosixClockNow(void) {
    return timeGetTime();
}
void PosixReportProblem(const char* text) {
    fprintf(stderr, "%s\n", text);
}
}

HMODULE LoadDriverModule() {
    if (loadedModule) return loadedModule;
    HMODULE module = LoadLibraryA(kDriverFile);
    if (!module) return nullptr;
    int routed = RouteImport(module, "CreateFileA", reinterpret_cast<void*>(RoutedCreateFileA)) +
                 RouteImport(module, "DeviceIoControl", reinterpret_cast<void*>(RoutedDeviceIoControl)) +
                 RouteImport(module, "CloseHandle", reinterpret_cast<void*>(RoutedCloseHandle));
    if (routed != 3) {
        ADD_FAILURE() << "the driver's link imports: " << routed << " of 3 routed";
        FreeLibrary(module);
        return nullptr;
    }
    loadedModule = module;
    return module;
}

void UnloadDriverModule() {
    if (loadedModule) FreeLibrary(loadedModule);
    loadedModule = nullptr;
}

void SetLinkDriverInstalled(bool installed) {
    Links& l = TheLinks();
    std::lock_guard<std::mutex> hold(l.lock);
    l.installed = installed;
}

int OpenLinkHandles() {
    Links& l = TheLinks();
    std::lock_guard<std::mutex> hold(l.lock);
    return static_cast<int>(l.open.size());
}

// ---- Registry and files ----

void DeleteDriverKey() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKey);
}

DWORD ReadDriverValue(const char* name, DWORD fallback) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kDriverKey, name, RRF_RT_ANY, &type, &value, &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return fallback;
    return value;
}

static void WriteValue(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void WriteDriverValue(const char* name, DWORD value) {
    WriteValue(name, REG_DWORD, &value, sizeof value);
}

void WriteDriverText(const char* name, const char* text) {
    WriteValue(name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}

std::string WindowsFileText(const char* name) {
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    std::string file = std::string(path, length) + "\\" + name;
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---- The user ----

namespace {

const UINT kTick = 15;
const DWORD kPatience = 8000;  // ms a step may wait, or a dialog stay unattended

struct User {
    std::deque<Step> steps;
    std::vector<HWND> dialogs;  // this thread's dialogs, oldest first
    DWORD waitingSince = 0;
    HWND waitingOn = nullptr;
    bool acting = false;
    int created = 0;
};

User& TheUser() {
    static User user;
    return user;
}

bool IsDialog(HWND window) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    return strcmp(name, "#32770") == 0;
}

// The trace window is a modeless dialog that lives beside the others.
bool IsTraceWindow(HWND window) {
    return GetDlgItem(window, 1200) != nullptr;
}

HWND Innermost() {
    User& u = TheUser();
    for (auto it = u.dialogs.rbegin(); it != u.dialogs.rend(); ++it)
        if (IsWindowVisible(*it) && !IsTraceWindow(*it)) return *it;
    return nullptr;
}

LRESULT CALLBACK WatchDialogs(int code, WPARAM wParam, LPARAM lParam) {
    User& u = TheUser();
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && IsDialog(window)) {
        u.dialogs.push_back(window);
        u.created++;
    }
    if (code == HCBT_DESTROYWND)
        for (size_t i = 0; i < u.dialogs.size(); i++)
            if (u.dialogs[i] == window) u.dialogs.erase(u.dialogs.begin() + static_cast<long>(i));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Gives up on a dialog: fails the test and ends the dialog.
void GiveUp(HWND dialog, const char* why) {
    char caption[128] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    ADD_FAILURE() << why << " in \"" << caption << "\"";
    TheUser().steps.clear();
    EndDialog(dialog, IDCANCEL);
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    User& u = TheUser();
    HWND dialog = Innermost();
    if (!dialog || u.acting) return;
    if (dialog != u.waitingOn) {
        u.waitingOn = dialog;
        u.waitingSince = GetTickCount();
    }
    if (u.steps.empty()) {
        if (GetTickCount() - u.waitingSince > kPatience) GiveUp(dialog, "a dialog nobody expected stayed open");
        return;
    }
    // A step may open a nested dialog whose loop ticks again: the step is
    // taken off the list before it runs, and a waiting one is put back.
    Step step = u.steps.front();
    u.steps.pop_front();
    u.acting = true;
    bool done = step(dialog);
    u.acting = false;
    if (done) {
        u.waitingOn = nullptr;
        return;
    }
    u.steps.push_front(step);
    if (GetTickCount() - u.waitingSince > kPatience) GiveUp(dialog, "a step waited in vain");
}

}  // namespace

void Play(std::vector<Step> steps) {
    static bool watching = false;
    if (!watching) {
        SetWindowsHookExA(WH_CBT, WatchDialogs, nullptr, GetCurrentThreadId());
        SetTimer(nullptr, 0, kTick, Tick);
        watching = true;
    }
    User& u = TheUser();
    u.steps.assign(steps.begin(), steps.end());
    u.waitingOn = nullptr;
}

bool StepsDone() {
    return TheUser().steps.empty();
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

int DialogsShown() {
    return TheUser().created;
}

HWND DialogItem(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) ADD_FAILURE() << "no control " << id;
    return item;
}

Step Click(int id) {
    return [id](HWND dialog) {
        // Acting is over once the click is sent: a click that opens a
        // nested dialog returns only when that one has closed.
        TheUser().acting = false;
        SendMessageA(DialogItem(dialog, id), BM_CLICK, 0, 0);
        return true;
    };
}

Step Scroll(int id, WORD code, int times) {
    return [=](HWND dialog) {
        HWND bar = DialogItem(dialog, id);
        for (int i = 0; i < times; i++) SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(code, 0), (LPARAM)bar);
        SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), (LPARAM)bar);
        return true;
    };
}

Step SetText(int id, const char* text) {
    std::string copy = text;
    return [=](HWND dialog) {
        SendMessageA(DialogItem(dialog, id), WM_SETTEXT, 0, (LPARAM)copy.c_str());
        return true;
    };
}

Step Type(int id, const char* characters) {
    std::string copy = characters;
    return [=](HWND dialog) {
        HWND edit = DialogItem(dialog, id);
        SetFocus(edit);
        for (char c : copy) SendMessageA(edit, WM_CHAR, (WPARAM)(BYTE)c, 1);
        return true;
    };
}

Step Key(int id, WORD key) {
    return [=](HWND dialog) {
        // Through the dialog's own loop, so that the dialog manager sees it.
        HWND target = DialogItem(dialog, id);
        SetFocus(target);
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
        return true;
    };
}

Step Mouse(int id, UINT msg, int dx, int dy) {
    return [=](HWND dialog) {
        // Input as the mouse gives it: the pointer moves there and the
        // window under it gets the messages.
        HWND control = DialogItem(dialog, id);
        RECT r;
        GetClientRect(control, &r);
        POINT p = {r.right / 2 + dx, r.bottom / 2 + dy};
        ClientToScreen(control, &p);
        SetCursorPos(p.x, p.y);
        if (msg == WM_LBUTTONDOWN) mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        if (msg == WM_LBUTTONUP) mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        return true;
    };
}

Step Expect(std::function<void(HWND)> check) {
    return [=](HWND dialog) {
        check(dialog);
        return true;
    };
}

Step WaitFor(const char* caption) {
    std::string want = caption;
    return [=](HWND dialog) {
        char text[128] = "";
        GetWindowTextA(dialog, text, sizeof text);
        return want == text;
    };
}

Step WaitShown(int id) {
    return [=](HWND dialog) {
        HWND item = GetDlgItem(dialog, id);
        return item && IsWindowVisible(item);
    };
}

Step Photograph(std::string path) {
    auto since = std::make_shared<DWORD>(0);
    return [=](HWND window) {
        // A moment for the window and its controls to finish painting.
        if (!*since) *since = GetTickCount();
        if (GetTickCount() - *since < 300) return false;
        SaveWindowPicture(window, path);
        return true;
    };
}

void SaveWindowPicture(HWND window, const std::string& path) {
    // From the window's own surface, frame and children included, so that
    // nothing else on the screen gets in.
    RECT r;
    GetWindowRect(window, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC source = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, (BITMAPINFO*)&info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD size = (DWORD)((width * 3 + 3) / 4 * 4 * height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + size;
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)&file, sizeof file);
    out.write((const char*)&info, sizeof info);
    out.write((const char*)bits, size);
    EXPECT_TRUE(out.good()) << path;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
}

std::string ItemText(HWND dialog, int id) {
    char text[256] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(DialogItem(dialog, id)) != FALSE;
}

// ---- Channels ----

void WineHost::SetUp() {
    DeleteDriverKey();
    SimReset();
    SetLinkDriverInstalled(true);
    Play({});
    ASSERT_TRUE(LoadDriverModule()) << "cannot load " << kDriverFile << ": error " << GetLastError();
}

void WineHost::TearDown() {
    CloseAll();
    UnloadDriverModule();
    EXPECT_TRUE(StepsDone()) << "steps left over";
    EXPECT_EQ(OpenLinkHandles(), 0);
}

HDRVR WineHost::Open(DWORD type, DWORD* error) {
    VIDEO_OPEN_PARMS parms = {};
    parms.dwSize = sizeof parms;
    parms.fccType = mmioFOURCC('v', 'c', 'a', 'p');
    parms.dwFlags = type;
    parms.dwError = 0xDEAD;
    HDRVR channel = OpenDriver(kDriverFileW, nullptr, reinterpret_cast<LPARAM>(&parms));
    if (error) *error = parms.dwError;
    if (channel) open.push_back(channel);
    return channel;
}

void WineHost::Close(HDRVR channel) {
    for (HDRVR& c : open)
        if (c == channel) c = nullptr;
    EXPECT_TRUE(CloseDriver(channel, 0, 0));
}

void WineHost::CloseAll() {
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if (*it) CloseDriver(*it, 0, 0);
    open.clear();
}

DWORD WineHost::Configure(HDRVR channel, UINT msg, DWORD flags, void* data, DWORD size, DWORD* answer) {
    VIDEOCONFIGPARMS parms = {answer, data, size, nullptr, 0};
    return static_cast<DWORD>(Send(channel, msg, flags, reinterpret_cast<LPARAM>(&parms)));
}

BITMAPINFOHEADER WineHost::Current(HDRVR channel) {
    BITMAPINFOHEADER format = {};
    EXPECT_EQ(Configure(channel, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, &format, sizeof format),
              DV_ERR_OK);
    return format;
}

static BITMAPINFOHEADER PrivateMessage(LONG marker, DWORD number, DWORD data) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biXPelsPerMeter = marker | static_cast<LONG>(number);
    header.biYPelsPerMeter = static_cast<LONG>(data);
    return header;
}

void WineHost::WritePrivate(HDRVR channel, DWORD number, DWORD data) {
    EXPECT_EQ(SetFormat(channel, PrivateMessage(0x23680000, number, data)), DV_ERR_NOTSUPPORTED);
}

bool WineHost::ReadPrivate(HDRVR channel, DWORD number, DWORD* data) {
    EXPECT_EQ(SetFormat(channel, PrivateMessage(0x68320000, number, 0)), DV_ERR_NOTSUPPORTED);
    BITMAPINFOHEADER answer = Current(channel);
    if (answer.biXPelsPerMeter != 0x57750000) return false;
    *data = static_cast<DWORD>(answer.biYPelsPerMeter);
    return true;
}

DWORD WineHost::ReadPrivate(HDRVR channel, DWORD number) {
    DWORD data = 0xDEADBEEF;
    EXPECT_TRUE(ReadPrivate(channel, number, &data)) << "private read " << number;
    return data;
}

std::vector<BYTE> WineHost::Frame(HDRVR channel, DWORD* result) {
    BITMAPINFOHEADER format = Current(channel);
    std::vector<BYTE> buffer(format.biSizeImage ? format.biSizeImage : 1, 0xEE);
    VIDEOHDR header = {};
    header.lpData = buffer.data();
    header.dwBufferLength = static_cast<DWORD>(buffer.size());
    DWORD answer = static_cast<DWORD>(Send(channel, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header));
    if (result)
        *result = answer;
    else
        EXPECT_EQ(answer, DV_ERR_OK);
    if (answer == DV_ERR_OK) {
        EXPECT_EQ(header.dwBytesUsed, format.biSizeImage);
        EXPECT_EQ(header.dwFlags & (VHDR_DONE | VHDR_KEYFRAME), (DWORD)(VHDR_DONE | VHDR_KEYFRAME));
    }
    return buffer;
}
