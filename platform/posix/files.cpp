// The Windows directory, files opened by name, and profile (INI) files.
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "internal.h"

namespace {

std::mutex directoryLock;
std::string windowsDirectory;

std::string DefaultWindowsDirectory() {
    const char* home = getenv("TARN2_HOME");
    if (home && *home) return home;
    const char* user = getenv("HOME");
    if (!user || !*user) {
        struct passwd* entry = getpwuid(getuid());
        user = entry ? entry->pw_dir : "/tmp";
    }
    return std::string(user) + "/.local/share/tarn2";
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_CANTOPEN;
    }
}

struct FileObject : w32::KernelObject {
    int fd;
    bool Close() override { return ::close(fd) == 0; }
};

int DescriptorOf(HANDLE handle) {
    auto* file = static_cast<FileObject*>(w32::FindObject(handle, w32::kFile));
    return file ? file->fd : -1;
}

}  // namespace

namespace w32 {

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::string partial;
    std::stringstream parts(path);
    std::string part;
    if (path[0] == '/') partial = "/";
    while (std::getline(parts, part, '/')) {
        if (part.empty()) continue;
        partial += part;
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
        partial += "/";
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string PosixPath(const char* windowsPath) {
    std::string path = windowsPath ? windowsPath : "";
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace w32

extern "C" {

void PosixSetWindowsDirectory(const char* path) {
    std::lock_guard<std::mutex> hold(directoryLock);
    windowsDirectory = path ? path : "";
}

const char* PosixWindowsDirectory(void) {
    std::lock_guard<std::mutex> hold(directoryLock);
    if (windowsDirectory.empty()) windowsDirectory = DefaultWindowsDirectory();
    // The folder may be made later, when something is written there.
    return windowsDirectory.c_str();
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    std::string path = PosixWindowsDirectory();
    w32::MakeDirectories(path);
    if (!buffer || size < path.size() + 1) return static_cast<UINT>(path.size() + 1);
    memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<UINT>(path.size());
}

HFILE WINAPI _lcreat(LPCSTR path, int attribute) {
    if (!path) return HFILE_ERROR;
    int fd = ::open(w32::PosixPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) SetLastError(ErrorFromErrno(errno));
    return fd < 0 ? HFILE_ERROR : fd;
}

HFILE WINAPI _lopen(LPCSTR path, int mode) {
    if (!path) return HFILE_ERROR;
    int flags = (mode & 3) == OF_WRITE ? O_WRONLY : (mode & 3) == OF_READWRITE ? O_RDWR : O_RDONLY;
    int fd = ::open(w32::PosixPath(path).c_str(), flags | O_CLOEXEC);
    if (fd < 0) SetLastError(ErrorFromErrno(errno));
    return fd < 0 ? HFILE_ERROR : fd;
}

UINT WINAPI _lwrite(HFILE file, LPCSTR buffer, UINT bytes) {
    if (file < 0 || (!buffer && bytes)) return static_cast<UINT>(HFILE_ERROR);
    size_t done = 0;
    while (done < bytes) {
        ssize_t n = ::write(file, buffer + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return static_cast<UINT>(HFILE_ERROR);
        done += static_cast<size_t>(n);
    }
    return bytes;
}

UINT WINAPI _lread(HFILE file, LPVOID buffer, UINT bytes) {
    if (file < 0 || (!buffer && bytes)) return static_cast<UINT>(HFILE_ERROR);
    ssize_t n = ::read(file, buffer, bytes);
    return n < 0 ? static_cast<UINT>(HFILE_ERROR) : static_cast<UINT>(n);
}

HFILE WINAPI _lclose(HFILE file) {
    return file >= 0 && ::close(file) == 0 ? 0 : HFILE_ERROR;
}

BOOL WINAPI WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped) {
    int fd = DescriptorOf(handle);
    if (written) *written = 0;
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    UINT n = _lwrite(fd, static_cast<const char*>(buffer), bytes);
    if (n == static_cast<UINT>(HFILE_ERROR)) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    if (written) *written = n;
    return TRUE;
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped) {
    int fd = DescriptorOf(handle);
    if (read) *read = 0;
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    UINT n = _lread(fd, buffer, bytes);
    if (n == static_cast<UINT>(HFILE_ERROR)) return FALSE;
    if (read) *read = n;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE handle, LONG distance, LPLONG distanceHigh, DWORD method) {
    int fd = DescriptorOf(handle);
    int whence = method == FILE_END ? SEEK_END : method == FILE_CURRENT ? SEEK_CUR : SEEK_SET;
    off_t offset = distance;
    if (distanceHigh) offset = static_cast<off_t>((static_cast<uint64_t>(*distanceHigh) << 32) | (uint32_t)distance);
    off_t at = fd < 0 ? -1 : lseek(fd, offset, whence);
    if (at < 0) {
        SetLastError(fd < 0 ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(at) >> 32);
    return static_cast<DWORD>(at);
}

DWORD WINAPI GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
    struct stat info;
    int fd = DescriptorOf(handle);
    if (fd < 0 || fstat(fd, &info) != 0) return INVALID_FILE_SIZE;
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_size) >> 32);
    return static_cast<DWORD>(info.st_size);
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
    if (path && ::unlink(w32::PosixPath(path).c_str()) == 0) return TRUE;
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
}
}

// Opens a plain file for CreateFileA; devices are handled in devices.cpp.
HANDLE OpenPlainFile(LPCSTR name, DWORD access, DWORD creation) {
    int flags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (creation) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        default:
            break;
    }
    int fd = ::open(w32::PosixPath(name).c_str(), flags, 0644);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new FileObject;
    file->kind = w32::kFile;
    file->fd = fd;
    return w32::AddObject(file);
}
