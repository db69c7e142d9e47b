// String calls and the wsprintf family. wsprintf knows integers, characters
// and strings only; 'l' means 32 bits as on Windows, so a DWORD argument is
// read the same on every build. Output stops at 1024 bytes with its zero,
// the system's limit.
#include <ctype.h>
#include <stdarg.h>
#include <string.h>

#include "internal.h"

namespace {

const size_t kWsprintfLimit = 1024;

struct Out {
    char* buffer;
    size_t capacity;  // including the terminating zero
    size_t length;
    void Put(char c) {
        if (length + 1 < capacity) buffer[length] = c;
        if (length + 1 <= capacity) length++;
    }
};

void PutPadded(Out& out, const char* text, size_t textLength, int width, bool left, char pad) {
    size_t fill = width > 0 && static_cast<size_t>(width) > textLength ? width - textLength : 0;
    if (!left) {
        // Zero padding goes after a sign.
        if (pad == '0' && textLength > 0 && text[0] == '-') {
            out.Put('-');
            text++;
            textLength--;
        }
        for (size_t i = 0; i < fill; i++) out.Put(pad);
    }
    for (size_t i = 0; i < textLength; i++) out.Put(text[i]);
    if (left)
        for (size_t i = 0; i < fill; i++) out.Put(' ');
}

size_t FormatUnsigned(char* digits, uint32_t value, unsigned base, bool upper) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[16];
    size_t n = 0;
    do {
        reversed[n++] = set[value % base];
        value /= base;
    } while (value);
    for (size_t i = 0; i < n; i++) digits[i] = reversed[n - 1 - i];
    return n;
}

}  // namespace

namespace w32 {

int FormatV(char* buffer, size_t capacity, const char* format, va_list args) {
    Out out{buffer, capacity, 0};
    if (!format) format = "";
    for (const char* p = format; *p; p++) {
        if (*p != '%') {
            out.Put(*p);
            continue;
        }
        p++;
        bool left = false, alternate = false;
        char pad = ' ';
        for (;; p++) {
            if (*p == '-')
                left = true;
            else if (*p == '#')
                alternate = true;
            else if (*p == '0')
                pad = '0';
            else
                break;
        }
        int width = 0;
        while (isdigit(static_cast<unsigned char>(*p))) width = width * 10 + (*p++ - '0');
        int precision = -1;
        if (*p == '.') {
            p++;
            precision = 0;
            while (isdigit(static_cast<unsigned char>(*p))) precision = precision * 10 + (*p++ - '0');
        }
        bool isShort = false;
        if (*p == 'l' || *p == 'L')
            p++;
        else if (*p == 'h') {
            isShort = true;
            p++;
        }
        char text[40];
        size_t n = 0;
        switch (*p) {
            case 'd':
            case 'i': {
                int32_t v = static_cast<int32_t>(va_arg(args, int));
                if (isShort) v = static_cast<int16_t>(v);
                uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
                if (v < 0) text[n++] = '-';
                n += FormatUnsigned(text + n, magnitude, 10, false);
                PutPadded(out, text, n, width, left, pad);
                break;
            }
            case 'u':
            case 'x':
            case 'X': {
                uint32_t v = static_cast<uint32_t>(va_arg(args, unsigned int));
                if (isShort) v &= 0xFFFF;
                unsigned base = *p == 'u' ? 10 : 16;
                if (alternate && base == 16 && v) {
                    text[n++] = '0';
                    text[n++] = *p;
                }
                n += FormatUnsigned(text + n, v, base, *p == 'X');
                PutPadded(out, text, n, width, left, pad);
                break;
            }
            case 'c': {
                text[0] = static_cast<char>(va_arg(args, int));
                PutPadded(out, text, 1, width, left, ' ');
                break;
            }
            case 's': {
                const char* s = va_arg(args, const char*);
                if (!s) s = "(null)";
                size_t length = 0;
                while (s[length] && (precision < 0 || length < static_cast<size_t>(precision))) length++;
                PutPadded(out, s, length, width, left, ' ');
                break;
            }
            case '\0':
                p--;
                break;
            default:
                // Unknown conversions are written as they stand, as the
                // system's formatter does.
                out.Put(*p);
                break;
        }
    }
    if (capacity) buffer[out.length < capacity ? out.length : capacity - 1] = '\0';
    return static_cast<int>(out.length < capacity ? out.length : capacity - 1);
}

}  // namespace w32

extern "C" {

int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list args) {
    if (!out) return -1;
    return w32::FormatV(out, kWsprintfLimit, format, args);
}

int wsprintfA(LPSTR out, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(out, format, args);
    va_end(args);
    return n;
}

int WINAPI lstrlenA(LPCSTR s) {
    return s ? static_cast<int>(strlen(s)) : 0;
}

LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src) {
    if (!dst || !src) return nullptr;
    return strcpy(dst, src);
}

LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int maxLength) {
    if (!dst || !src || maxLength <= 0) return dst;
    int i = 0;
    for (; i < maxLength - 1 && src[i]; i++) dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src) {
    if (!dst || !src) return nullptr;
    return strcat(dst, src);
}

int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) {
    int r = strcmp(a ? a : "", b ? b : "");
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
    int r = strcasecmp(a ? a : "", b ? b : "");
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

LPSTR WINAPI CharUpperA(LPSTR s) {
    if (!s || IS_INTRESOURCE(s)) return s;
    for (char* p = s; *p; p++) *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    return s;
}
}
