// The registry as one hive file in REGEDIT4 text, the format regedit writes
// and imports, so a person can read and edit it. Every call works under a
// file lock on the file as it is (read again only when it changed), and
// every change rewrites it whole: two processes that share the hive never
// lose each other's values.
#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"

namespace {

const LONG kKeyDeleted = 1018;

struct Value {
    std::string name;  // as written; "" is the default value
    DWORD type;
    std::string data;
};

struct Key {
    std::string path;  // as written, e.g. HKEY_LOCAL_MACHINE\SOFTWARE
    std::vector<Value> values;
};

// Keys by upper-case path: key and value names are case-insensitive.
typedef std::map<std::string, Key> Hive;

std::string Upper(const std::string& text) {
    std::string result = text;
    for (char& c : result) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return result;
}

Value* FindValue(Key& key, const std::string& name) {
    for (Value& v : key.values)
        if (strcasecmp(v.name.c_str(), name.c_str()) == 0) return &v;
    return nullptr;
}

// ---- reading the hive text ----

// The lines are views of the file's text, which outlives the parse.
struct Parser {
    std::vector<std::string_view> lines;
    size_t at = 0;
    std::string problem;
    size_t problemLine = 0;

    bool Fail(const std::string& what) {
        problem = what;
        problemLine = at + 1;
        return false;
    }
};

bool StartsWith(std::string_view text, const char* start) {
    size_t length = strlen(start);
    return text.size() >= length && strncasecmp(text.data(), start, length) == 0;
}

// Where the next '"' or '\\' is from pos on (the size if none): the only
// characters a quoted text escapes. Plain runs between them are copied
// whole, since a value may be megabytes long.
size_t NextSpecial(std::string_view text, size_t pos) {
    while (pos < text.size() && text[pos] != '"' && text[pos] != '\\') pos++;
    return pos;
}

bool ParseQuoted(std::string_view text, size_t* pos, std::string* out) {
    if (*pos >= text.size() || text[*pos] != '"') return false;
    for (size_t i = *pos + 1; i < text.size();) {
        size_t special = NextSpecial(text, i);
        if (special == text.size()) break;
        out->append(text.substr(i, special - i));
        if (text[special] == '"') {
            *pos = special + 1;
            return true;
        }
        if (special + 1 >= text.size()) break;  // a backslash that ends the line
        out->push_back(text[special + 1]);
        i = special + 2;
    }
    return false;
}

bool ParseHexBytes(Parser& p, std::string_view first, std::string* out) {
    std::string text(first);
    // Bytes may run on over lines that end in a backslash.
    while (!text.empty() && text.back() == '\\') {
        text.pop_back();
        if (p.at + 1 >= p.lines.size()) return p.Fail("a continued hex value ends the file");
        p.at++;
        text += p.lines[p.at];
    }
    std::string digits;
    for (char c : text) {
        if (isspace(static_cast<unsigned char>(c))) continue;
        if (c == ',') {
            if (digits.empty() || digits.size() > 2) return p.Fail("a hex byte is malformed");
            out->push_back(static_cast<char>(strtoul(digits.c_str(), nullptr, 16)));
            digits.clear();
        } else if (isxdigit(static_cast<unsigned char>(c))) {
            digits.push_back(c);
        } else {
            return p.Fail("a hex value holds a character that is not a hex digit");
        }
    }
    if (!digits.empty()) {
        if (digits.size() > 2) return p.Fail("a hex byte is malformed");
        out->push_back(static_cast<char>(strtoul(digits.c_str(), nullptr, 16)));
    }
    return true;
}

bool ParseValueLine(Parser& p, Key* key, Hive& hive) {
    std::string_view line = p.lines[p.at];
    if (!key) return p.Fail("a value stands before any [key] line");
    Value value;
    size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else if (!ParseQuoted(line, &pos, &value.name)) {
        return p.Fail("a value name is not a quoted string");
    }
    while (pos < line.size() && isspace(static_cast<unsigned char>(line[pos]))) pos++;
    if (pos >= line.size() || line[pos] != '=') return p.Fail("a value name is not followed by '='");
    pos++;
    while (pos < line.size() && isspace(static_cast<unsigned char>(line[pos]))) pos++;
    std::string_view rest = line.substr(pos);
    while (!rest.empty() && isspace(static_cast<unsigned char>(rest.back()))) rest.remove_suffix(1);
    if (rest == "-") {
        key->values.erase(
            std::remove_if(key->values.begin(), key->values.end(),
                           [&](const Value& v) { return strcasecmp(v.name.c_str(), value.name.c_str()) == 0; }),
            key->values.end());
        return true;
    }
    if (!rest.empty() && rest[0] == '"') {
        size_t q = 0;
        std::string text;
        text.reserve(rest.size());  // and its end
        if (!ParseQuoted(rest, &q, &text) || q != rest.size()) return p.Fail("a string value is not closed by '\"'");
        value.type = REG_SZ;
        value.data = std::move(text);
        value.data.push_back('\0');
    } else if (StartsWith(rest, "dword:")) {
        std::string digits(rest.substr(6));
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return p.Fail("a dword value is not 1 to 8 hex digits");
        uint32_t n = static_cast<uint32_t>(strtoul(digits.c_str(), nullptr, 16));
        value.type = REG_DWORD;
        for (int i = 0; i < 4; i++) value.data.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    } else if (StartsWith(rest, "hex:")) {
        value.type = REG_BINARY;
        if (!ParseHexBytes(p, rest.substr(4), &value.data)) return false;
    } else if (StartsWith(rest, "hex(")) {
        size_t close = rest.find("):");
        if (close == std::string::npos || close == 4) return p.Fail("a hex(type) value is malformed");
        std::string type(rest.substr(4, close - 4));
        if (type.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos || type.size() > 8)
            return p.Fail("a hex(type) value has a bad type");
        value.type = static_cast<DWORD>(strtoul(type.c_str(), nullptr, 16));
        if (!ParseHexBytes(p, rest.substr(close + 2), &value.data)) return false;
    } else {
        return p.Fail("a value is neither a string, dword: nor hex:");
    }
    if (Value* existing = FindValue(*key, value.name))
        *existing = std::move(value);
    else
        key->values.push_back(std::move(value));
    (void)hive;
    return true;
}

bool ParseHive(Parser& p, Hive& hive) {
    bool headerSeen = false;
    Key* key = nullptr;
    for (p.at = 0; p.at < p.lines.size(); p.at++) {
        std::string_view& line = p.lines[p.at];
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line.remove_prefix(first);
        if (line[0] == ';') continue;
        if (!headerSeen) {
            if (line != "REGEDIT4") return p.Fail("the first line is not REGEDIT4");
            headerSeen = true;
            continue;
        }
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close == std::string::npos || close < 2) return p.Fail("a key line is not closed by ']'");
            std::string path(line.substr(1, close - 1));
            if (path[0] == '-') {
                std::string gone = Upper(path.substr(1));
                for (auto it = hive.begin(); it != hive.end();)
                    it = (it->first == gone || it->first.rfind(gone + "\\", 0) == 0) ? hive.erase(it) : std::next(it);
                key = nullptr;
                continue;
            }
            Key& k = hive[Upper(path)];
            k.path = path;
            key = &k;
            continue;
        }
        if (line[0] == '"' || line[0] == '@') {
            if (!ParseValueLine(p, key, hive)) return false;
            continue;
        }
        return p.Fail("the line is neither a [key], a value nor a comment");
    }
    return true;
}

// ---- writing the hive text ----

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (size_t i = 0; i < text.size();) {
        size_t special = NextSpecial(text, i);
        out.append(text, i, special - i);
        if (special < text.size()) {
            out.push_back('\\');
            out.push_back(text[special]);
        }
        i = special + 1;
    }
    out.push_back('"');
}

void AppendHexBytes(std::string& out, const std::string& data) {
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); i++) {
        if (i) out.push_back(',');
        unsigned char byte = static_cast<unsigned char>(data[i]);
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 15]);
    }
}

void AppendValueText(std::string& out, const Value& v) {
    if (v.name.empty())
        out.push_back('@');
    else
        AppendQuoted(out, v.name);
    out.push_back('=');
    char text[24];
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; i--) n = (n << 8) | static_cast<unsigned char>(v.data[i]);
        snprintf(text, sizeof text, "dword:%08x", n);
        out += text;
    } else if (v.type == REG_SZ && !v.data.empty() && v.data.back() == '\0' && v.data.find('\0') == v.data.size() - 1 &&
               v.data.find('\n') == std::string::npos) {
        AppendQuoted(out, std::string_view(v.data.data(), v.data.size() - 1));
    } else {
        if (v.type == REG_BINARY)
            snprintf(text, sizeof text, "hex:");
        else
            snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(v.type));
        out += text;
        AppendHexBytes(out, v.data);
    }
    out.push_back('\n');
}

// ---- the file, its lock, and this process's copy ----

// The lock file beside the hive serialises the processes that share it. It
// also counts the writes, so that a change the hive file's own state might
// not show (a new file renamed into place on a reused inode, within one
// tick of the file clock, at the same size) still makes the others read it.
struct HiveFile {
    std::string path;
    int lockFd = -1;
    explicit HiveFile(bool exclusive) : path(PosixHivePath()) {
        lockFd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lockFd >= 0) flock(lockFd, exclusive ? LOCK_EX : LOCK_SH);
    }
    ~HiveFile() {
        if (lockFd >= 0) ::close(lockFd);  // releases the lock
    }
    uint64_t Writes() const {
        uint64_t count = 0;
        if (lockFd < 0 || pread(lockFd, &count, sizeof count, 0) != static_cast<ssize_t>(sizeof count)) return 0;
        return count;
    }
    // A count that cannot be written leaves the others the file's own state.
    void CountWrite() {
        uint64_t count = Writes() + 1;
        ssize_t written = lockFd >= 0 ? pwrite(lockFd, &count, sizeof count, 0) : 0;
        (void)written;
    }
};

// What tells whether the hive file changed since it was read: a write
// renames a new file into place, an editor changes the size or the times.
struct FileState {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modified = 0, changed = 0;  // nanoseconds
};

FileState StateOf(const std::string& path) {
    FileState state;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return state;
    state.exists = true;
    state.device = info.st_dev;
    state.inode = info.st_ino;
    state.size = info.st_size;
    state.modified = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    state.changed = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
    return state;
}

bool SameState(const FileState& a, const FileState& b) {
    return a.exists == b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified == b.modified && a.changed == b.changed;
}

std::mutex hivePathLock;
std::string hivePathText;
// A damaged hive is reported once per state of the file, not on every read.
std::string reportedDamage;

bool ReadWholeFile(const std::string& path, std::string* text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) == 0 && info.st_size > 0) text->reserve(static_cast<size_t>(info.st_size));
    char chunk[65536];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) text->append(chunk, static_cast<size_t>(n));
    ::close(fd);
    return true;
}

bool LoadHive(const std::string& path, Hive& hive, bool* damaged) {
    *damaged = false;
    std::string content;
    if (!ReadWholeFile(path, &content)) return true;  // no hive yet: empty
    Parser p;
    for (size_t start = 0; start < content.size();) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        p.lines.push_back(std::string_view(content).substr(start, end - start));
        start = end + 1;
    }
    if (ParseHive(p, hive)) return true;
    hive.clear();
    *damaged = true;
    char text[512];
    snprintf(text, sizeof text, "registry hive %s is damaged at line %zu: %s; it is read as empty", path.c_str(),
             p.problemLine, p.problem.c_str());
    std::lock_guard<std::mutex> hold(hivePathLock);
    if (reportedDamage != text) {
        reportedDamage = text;
        PosixReportProblem(text);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a write replaces: the hive, or the file its symbolic link names,
// so that the link stays and its target gets the values.
std::string HiveTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; hops++) {
        char link[4096];
        ssize_t n = readlink(target.c_str(), link, sizeof link - 1);
        if (n <= 0) break;
        std::string next(link, static_cast<size_t>(n));
        target = next[0] == '/' ? next : FolderOf(target) + "/" + next;
    }
    return target;
}

// Every damaged hive is kept, numbered, for a person to look into.
void KeepDamaged(const std::string& target) {
    for (int n = 1; n < 100000; n++) {
        std::string keep = target + ".damaged." + std::to_string(n);
        struct stat info;
        if (lstat(keep.c_str(), &info) == 0) continue;
        if (rename(target.c_str(), keep.c_str()) == 0) {
            std::string text = "the damaged registry hive was kept as " + keep;
            PosixReportProblem(text.c_str());
        }
        return;
    }
}

std::string HiveText(const Hive& hive) {
    size_t size = 16;
    for (const auto& entry : hive) {
        size += entry.second.path.size() + 4;
        for (const Value& v : entry.second.values) size += v.name.size() + 2 * v.data.size() + 24;
    }
    std::string text;
    text.reserve(size);
    text += "REGEDIT4\n";
    for (const auto& entry : hive) {
        text += "\n[";
        text += entry.second.path;
        text += "]\n";
        for (const Value& v : entry.second.values) AppendValueText(text, v);
    }
    return text;
}

// The text on the disk before the call returns, so that a power cut leaves
// the old hive or the new one, never an empty or partial file.
bool WriteDurably(const std::string& path, const std::string& text, mode_t mode) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = fchmod(fd, mode) == 0;
    for (size_t done = 0; ok && done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && fdatasync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

bool SaveHive(const std::string& path, const Hive& hive, bool wasDamaged) {
    std::string target = HiveTarget(path);
    if (wasDamaged) KeepDamaged(target);
    struct stat info;
    mode_t mode = stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
    std::string temp = target + ".new";
    if (!WriteDurably(temp, HiveText(hive), mode) || rename(temp.c_str(), target.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    SyncFolder(FolderOf(target));
    return true;
}

// The hive as this process last read or wrote it, and the file's state
// then. Every call used to read and parse the whole file; now it is read
// again only when the file changed.
struct HiveCopy {
    bool valid = false;
    std::string path;
    FileState state;
    uint64_t writes = 0;
    bool damaged = false;
    Hive hive;
};
std::mutex copyLock;
HiveCopy hiveCopy;

// One registry call's hold on the hive: the file lock, then this process's
// copy, brought up to date with the file.
struct HiveAccess {
    HiveFile file;
    std::lock_guard<std::mutex> hold;
    explicit HiveAccess(bool exclusive) : file(exclusive), hold(copyLock) {
        FileState now = StateOf(file.path);
        uint64_t writes = file.Writes();
        if (hiveCopy.valid && hiveCopy.path == file.path && SameState(hiveCopy.state, now) && hiveCopy.writes == writes)
            return;
        hiveCopy.hive.clear();
        LoadHive(file.path, hiveCopy.hive, &hiveCopy.damaged);
        hiveCopy.valid = true;
        hiveCopy.path = file.path;
        hiveCopy.state = now;
        hiveCopy.writes = writes;
    }
    Hive& hive() { return hiveCopy.hive; }
    // Writes the copy as it now stands; a failed write leaves the copy to
    // be read again from the file.
    bool Save() {
        if (!SaveHive(file.path, hiveCopy.hive, hiveCopy.damaged)) {
            hiveCopy.valid = false;
            return false;
        }
        file.CountWrite();
        hiveCopy.damaged = false;
        hiveCopy.state = StateOf(file.path);
        hiveCopy.writes = file.Writes();
        return true;
    }
};

struct KeyHandle {
    uint32_t magic;
    std::string path;  // upper-case full path
    REGSAM access;
};
const uint32_t kKeyMagic = 0x4B455931;
std::mutex handleLock;
std::set<KeyHandle*> handles;

const char* RootName(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (key == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (key == HKEY_USERS) return "HKEY_USERS";
    return nullptr;
}

// The full path a key handle and a sub-key name stand for, or false for a
// handle that is not a key.
bool ResolvePath(HKEY key, LPCSTR subKey, std::string* path, REGSAM* access) {
    if (const char* root = RootName(key)) {
        *path = root;
        *access = KEY_ALL_ACCESS;
    } else {
        std::lock_guard<std::mutex> hold(handleLock);
        auto* handle = reinterpret_cast<KeyHandle*>(key);
        if (!handles.count(handle) || handle->magic != kKeyMagic) return false;
        *path = handle->path;
        *access = handle->access;
    }
    std::string sub = subKey ? subKey : "";
    while (!sub.empty() && sub.front() == '\\') sub.erase(0, 1);
    while (!sub.empty() && sub.back() == '\\') sub.pop_back();
    if (!sub.empty()) *path += "\\" + sub;
    return true;
}

// The key a value call works on, if its handle allows the access needed.
LONG ValueKeyPath(HKEY key, REGSAM needed, std::string* path) {
    REGSAM access;
    if (!ResolvePath(key, nullptr, path, &access)) return ERROR_INVALID_HANDLE;
    return (access & needed) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

HKEY NewHandle(const std::string& path, REGSAM access) {
    auto* handle = new KeyHandle{kKeyMagic, Upper(path), access};
    std::lock_guard<std::mutex> hold(handleLock);
    handles.insert(handle);
    return reinterpret_cast<HKEY>(handle);
}

bool KeyExists(const Hive& hive, const std::string& path) {
    return path.find('\\') == std::string::npos || hive.count(Upper(path)) != 0;
}

}  // namespace

extern "C" {

const char* PosixHivePath(void) {
    std::string dir = PosixWindowsDirectory();
    std::lock_guard<std::mutex> hold(hivePathLock);
    hivePathText = dir + "/registry.reg";
    w32::MakeDirectories(dir);
    return hivePathText.c_str();
}

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    REGSAM parentAccess;
    if (!ResolvePath(key, subKey, &path, &parentAccess)) return ERROR_INVALID_HANDLE;
    HiveAccess access(false);
    if (!KeyExists(access.hive(), path)) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(path, desired);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                            LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    REGSAM parentAccess;
    if (!ResolvePath(key, subKey, &path, &parentAccess)) return ERROR_INVALID_HANDLE;
    if (path.find('\\') == std::string::npos) {
        *result = NewHandle(path, desired);
        if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    }
    HiveAccess access(true);
    Hive& hive = access.hive();
    bool existed = KeyExists(hive, path);
    if (!existed) {
        // Parents come into being with the key, as regedit shows them.
        size_t cut = path.find('\\');
        while (cut != std::string::npos) {
            cut = path.find('\\', cut + 1);
            std::string partial = path.substr(0, cut);
            Key& k = hive[Upper(partial)];
            if (k.path.empty()) k.path = partial;
        }
        if (!access.Save()) return ERROR_CANTWRITE;
    }
    if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(path, desired);
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize) {
    if (data && !dataSize) return ERROR_INVALID_PARAMETER;
    std::string path;
    if (LONG refused = ValueKeyPath(key, KEY_QUERY_VALUE, &path)) return refused;
    HiveAccess access(false);
    Hive& hive = access.hive();
    auto it = hive.find(Upper(path));
    if (it == hive.end()) return path.find('\\') == std::string::npos ? ERROR_FILE_NOT_FOUND : kKeyDeleted;
    Value* value = FindValue(it->second, valueName ? valueName : "");
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    DWORD needed = static_cast<DWORD>(value->data.size());
    if (!dataSize) return ERROR_SUCCESS;
    if (!data) {
        *dataSize = needed;
        return ERROR_SUCCESS;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    memcpy(data, value->data.data(), needed);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
    if (!data && dataSize) return ERROR_INVALID_PARAMETER;
    std::string path;
    if (LONG refused = ValueKeyPath(key, KEY_SET_VALUE, &path)) return refused;
    if (path.find('\\') == std::string::npos) return ERROR_ACCESS_DENIED;  // no values on a root
    HiveAccess access(true);
    Hive& hive = access.hive();
    auto it = hive.find(Upper(path));
    if (it == hive.end()) return kKeyDeleted;
    Value value{valueName ? valueName : "", type, std::string(reinterpret_cast<const char*>(data), dataSize)};
    if (Value* existing = FindValue(it->second, value.name)) {
        // The same value again leaves the file as it is.
        if (existing->type == value.type && existing->data == value.data) return ERROR_SUCCESS;
        value.name = existing->name;
        *existing = value;
    } else {
        it->second.values.push_back(value);
    }
    return access.Save() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
    std::string path;
    if (LONG refused = ValueKeyPath(key, KEY_SET_VALUE, &path)) return refused;
    HiveAccess access(true);
    Hive& hive = access.hive();
    auto it = hive.find(Upper(path));
    if (it == hive.end()) return ERROR_FILE_NOT_FOUND;
    auto& values = it->second.values;
    std::string name = valueName ? valueName : "";
    auto gone = std::remove_if(values.begin(), values.end(),
                               [&](const Value& v) { return strcasecmp(v.name.c_str(), name.c_str()) == 0; });
    if (gone == values.end()) return ERROR_FILE_NOT_FOUND;
    values.erase(gone, values.end());
    return access.Save() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG WINAPI RegCloseKey(HKEY key) {
    if (RootName(key)) return ERROR_SUCCESS;
    std::lock_guard<std::mutex> hold(handleLock);
    auto* handle = reinterpret_cast<KeyHandle*>(key);
    if (!handles.erase(handle)) return ERROR_INVALID_HANDLE;
    delete handle;
    return ERROR_SUCCESS;
}
}
