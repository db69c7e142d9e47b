// Profile (INI) files. A bare file name is looked for in the Windows
// directory, as the system does; a path is taken as it stands.
#include <ctype.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "internal.h"

namespace {

std::string ProfilePath(const char* fileName) {
    std::string name = fileName ? fileName : "win.ini";
    if (name.find('\\') == std::string::npos && name.find('/') == std::string::npos)
        return std::string(PosixWindowsDirectory()) + "/" + name;
    return w32::PosixPath(name.c_str());
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isspace(static_cast<unsigned char>(text[begin]))) begin++;
    while (end > begin && isspace(static_cast<unsigned char>(text[end - 1]))) end--;
    return text.substr(begin, end - begin);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool IsSection(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

bool SplitKey(const std::string& line, std::string* key, std::string* value) {
    size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    *key = Trim(line.substr(0, equals));
    *value = Trim(line.substr(equals + 1));
    return !key->empty();
}

bool FindValue(const char* section, const char* key, const char* fileName, std::string* value) {
    if (!section || !key) return false;
    std::string current;
    bool inSection = false;
    for (const std::string& line : ReadLines(ProfilePath(fileName))) {
        std::string name, k;
        if (IsSection(line, &name)) {
            inSection = strcasecmp(name.c_str(), section) == 0;
            continue;
        }
        if (inSection && SplitKey(line, &k, value) && strcasecmp(k.c_str(), key) == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" {

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
    std::string value;
    // An empty value is no value.
    if (!FindValue(section, key, fileName, &value) || value.empty()) return static_cast<UINT>(defaultValue);
    // As Windows reads it: white space, a sign, a number in decimal or
    // with the prefix 0x, 0o or 0b, up to the first other character, kept
    // to 32 bits; a negative number is returned as it is, not as 0.
    const char* p = value.c_str();
    while (isspace(static_cast<unsigned char>(*p))) p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') p++;
    uint32_t base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X' || p[1] == 'o' || p[1] == 'O' || p[1] == 'b' || p[1] == 'B')) {
        base = (p[1] == 'x' || p[1] == 'X') ? 16 : (p[1] == 'o' || p[1] == 'O') ? 8 : 2;
        p += 2;
    }
    uint32_t n = 0;
    for (;; p++) {
        int digit = isdigit(static_cast<unsigned char>(*p))    ? *p - '0'
                    : isxdigit(static_cast<unsigned char>(*p)) ? tolower(static_cast<unsigned char>(*p)) - 'a' + 10
                                                               : 99;
        if (digit >= static_cast<int>(base)) break;
        n = n * base + static_cast<uint32_t>(digit);
    }
    return negative ? 0 - n : n;
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out, DWORD size,
                                      LPCSTR fileName) {
    if (!out || size == 0) return 0;
    std::string value;
    if (!FindValue(section, key, fileName, &value)) value = defaultValue ? defaultValue : "";
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    memcpy(out, value.data(), n);
    out[n] = '\0';
    return static_cast<DWORD>(n);
}

// The user's profile is win.ini in the Windows directory.
DWORD WINAPI GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out, DWORD size) {
    return GetPrivateProfileStringA(section, key, defaultValue, out, size, "win.ini");
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (!section) return FALSE;
    std::string path = ProfilePath(fileName);
    std::vector<std::string> lines = ReadLines(path);
    std::vector<std::string> result;
    bool inSection = false, sectionSeen = false, written = false;
    for (const std::string& line : lines) {
        std::string name, k, v;
        if (IsSection(line, &name)) {
            if (inSection && !written && key && value) {
                result.push_back(std::string(key) + "=" + value);
                written = true;
            }
            inSection = strcasecmp(name.c_str(), section) == 0;
            sectionSeen = sectionSeen || inSection;
            if (inSection && !key) continue;  // deleting the whole section
            result.push_back(line);
            continue;
        }
        if (inSection && !key) continue;
        if (inSection && SplitKey(line, &k, &v) && strcasecmp(k.c_str(), key) == 0) {
            if (value && !written) result.push_back(std::string(key) + "=" + value);
            written = true;
            continue;
        }
        result.push_back(line);
    }
    if (key && value && !written) {
        if (!inSection) result.push_back("[" + std::string(section) + "]");
        result.push_back(std::string(key) + "=" + value);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return FALSE;
    for (const std::string& line : result) out << line << "\r\n";
    return out.good() ? TRUE : FALSE;
}
}
