// The registry as one hive file in REGEDIT4 text, the format regedit writes
// and imports, so a person can read and edit it. Every call reads the file
// afresh and every change rewrites it whole, under a file lock: two
// processes that share the hive never lose each other's values.
#include <ctype.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
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

struct Parser {
    std::vector<std::string> lines;
    size_t at = 0;
    std::string problem;
    size_t problemLine = 0;

    bool Fail(const std::string& what) {
        problem = what;
        problemLine = at + 1;
        return false;
    }
};

bool ParseQuoted(const std::string& text, size_t* pos, std::string* out) {
    if (*pos >= text.size() || text[*pos] != '"') return false;
    for (size_t i = *pos + 1; i < text.size(); i++) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out->push_back(text[++i]);
        } else if (text[i] == '"') {
            *pos = i + 1;
            return true;
        } else {
            out->push_back(text[i]);
        }
    }
    return false;
}

bool ParseHexBytes(Parser& p, std::string text, std::string* out) {
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
    const std::string& line = p.lines[p.at];
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
    std::string rest = line.substr(pos);
    while (!rest.empty() && isspace(static_cast<unsigned char>(rest.back()))) rest.pop_back();
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
        if (!ParseQuoted(rest, &q, &text) || q != rest.size()) return p.Fail("a string value is not closed by '\"'");
        value.type = REG_SZ;
        value.data = text;
        value.data.push_back('\0');
    } else if (strncasecmp(rest.c_str(), "dword:", 6) == 0) {
        std::string digits = rest.substr(6);
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return p.Fail("a dword value is not 1 to 8 hex digits");
        uint32_t n = static_cast<uint32_t>(strtoul(digits.c_str(), nullptr, 16));
        value.type = REG_DWORD;
        for (int i = 0; i < 4; i++) value.data.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    } else if (strncasecmp(rest.c_str(), "hex:", 4) == 0) {
        value.type = REG_BINARY;
        if (!ParseHexBytes(p, rest.substr(4), &value.data)) return false;
    } else if (strncasecmp(rest.c_str(), "hex(", 4) == 0) {
        size_t close = rest.find("):");
        if (close == std::string::npos || close == 4) return p.Fail("a hex(type) value is malformed");
        std::string type = rest.substr(4, close - 4);
        if (type.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos || type.size() > 8)
            return p.Fail("a hex(type) value has a bad type");
        value.type = static_cast<DWORD>(strtoul(type.c_str(), nullptr, 16));
        if (!ParseHexBytes(p, rest.substr(close + 2), &value.data)) return false;
    } else {
        return p.Fail("a value is neither a string, dword: nor hex:");
    }
    if (Value* existing = FindValue(*key, value.name))
        *existing = value;
    else
        key->values.push_back(value);
    (void)hive;
    return true;
}

bool ParseHive(Parser& p, Hive& hive) {
    bool headerSeen = false;
    Key* key = nullptr;
    for (p.at = 0; p.at < p.lines.size(); p.at++) {
        std::string& line = p.lines[p.at];
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line = line.substr(first);
        if (line[0] == ';') continue;
        if (!headerSeen) {
            if (line != "REGEDIT4") return p.Fail("the first line is not REGEDIT4");
            headerSeen = true;
            continue;
        }
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close == std::string::npos || close < 2) return p.Fail("a key line is not closed by ']'");
            std::string path = line.substr(1, close - 1);
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

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string HexBytes(const std::string& data) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < data.size(); i++) {
        snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
        if (i) out += ",";
        out += byte;
    }
    return out;
}

std::string ValueText(const Value& v) {
    std::string name = v.name.empty() ? "@" : Quote(v.name);
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; i--) n = (n << 8) | static_cast<unsigned char>(v.data[i]);
        char text[16];
        snprintf(text, sizeof text, "dword:%08x", n);
        return name + "=" + text;
    }
    if (v.type == REG_SZ && !v.data.empty() && v.data.back() == '\0' && v.data.find('\0') == v.data.size() - 1 &&
        v.data.find('\n') == std::string::npos)
        return name + "=" + Quote(v.data.substr(0, v.data.size() - 1));
    if (v.type == REG_BINARY) return name + "=hex:" + HexBytes(v.data);
    char type[16];
    snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(v.type));
    return name + "=" + type + HexBytes(v.data);
}

// ---- the file, its lock, and the handles ----

struct HiveFile {
    int lockFd = -1;
    explicit HiveFile(bool exclusive) {
        std::string lockPath = std::string(PosixHivePath()) + ".lock";
        lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lockFd >= 0) flock(lockFd, exclusive ? LOCK_EX : LOCK_SH);
    }
    ~HiveFile() {
        if (lockFd >= 0) ::close(lockFd);  // releases the lock
    }
};

std::mutex hivePathLock;
std::string hivePathText;
// A damaged hive is reported once per state of the file, not on every read.
std::string reportedDamage;

bool LoadHive(Hive& hive, bool* damaged) {
    *damaged = false;
    std::ifstream in(PosixHivePath(), std::ios::binary);
    if (!in) return true;  // no hive yet: empty
    Parser p;
    std::string line;
    while (std::getline(in, line)) p.lines.push_back(line);
    if (ParseHive(p, hive)) return true;
    hive.clear();
    *damaged = true;
    char text[512];
    snprintf(text, sizeof text, "registry hive %s is damaged at line %zu: %s; it is read as empty", PosixHivePath(),
             p.problemLine, p.problem.c_str());
    std::lock_guard<std::mutex> hold(hivePathLock);
    if (reportedDamage != text) {
        reportedDamage = text;
        PosixReportProblem(text);
    }
    return true;
}

bool SaveHive(const Hive& hive, bool wasDamaged) {
    std::string path = PosixHivePath();
    if (wasDamaged) {
        // Keep what a person may still want from the damaged file.
        std::string keep = path + ".damaged";
        if (rename(path.c_str(), keep.c_str()) == 0) {
            std::string text = "the damaged registry hive was kept as " + keep;
            PosixReportProblem(text.c_str());
        }
    }
    std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << "REGEDIT4\n";
        for (const auto& entry : hive) {
            out << "\n[" << entry.second.path << "]\n";
            for (const Value& v : entry.second.values) out << ValueText(v) << "\n";
        }
        out.flush();
        if (!out.good()) return false;
    }
    return rename(temp.c_str(), path.c_str()) == 0;
}

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
    HiveFile lock(false);
    Hive hive;
    bool damaged;
    LoadHive(hive, &damaged);
    if (!KeyExists(hive, path)) return ERROR_FILE_NOT_FOUND;
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
    HiveFile lock(true);
    Hive hive;
    bool damaged;
    LoadHive(hive, &damaged);
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
        if (!SaveHive(hive, damaged)) return ERROR_CANTWRITE;
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
    HiveFile lock(false);
    Hive hive;
    bool damaged;
    LoadHive(hive, &damaged);
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
    HiveFile lock(true);
    Hive hive;
    bool damaged;
    LoadHive(hive, &damaged);
    auto it = hive.find(Upper(path));
    if (it == hive.end()) return kKeyDeleted;
    Value value{valueName ? valueName : "", type, std::string(reinterpret_cast<const char*>(data), dataSize)};
    if (Value* existing = FindValue(it->second, value.name)) {
        value.name = existing->name;
        *existing = value;
    } else {
        it->second.values.push_back(value);
    }
    return SaveHive(hive, damaged) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
    std::string path;
    if (LONG refused = ValueKeyPath(key, KEY_SET_VALUE, &path)) return refused;
    HiveFile lock(true);
    Hive hive;
    bool damaged;
    LoadHive(hive, &damaged);
    auto it = hive.find(Upper(path));
    if (it == hive.end()) return ERROR_FILE_NOT_FOUND;
    auto& values = it->second.values;
    std::string name = valueName ? valueName : "";
    auto gone = std::remove_if(values.begin(), values.end(),
                               [&](const Value& v) { return strcasecmp(v.name.c_str(), name.c_str()) == 0; });
    if (gone == values.end()) return ERROR_FILE_NOT_FOUND;
    values.erase(gone, values.end());
    return SaveHive(hive, damaged) ? ERROR_SUCCESS : ERROR_CANTWRITE;
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
