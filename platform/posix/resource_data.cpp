// The binary resource formats. A compiled resource file is a run of entries,
// each a header (data size, header size, type, name, language) and the
// data, aligned to 4 bytes; it starts with an empty entry. Texts inside
// the records are zero-terminated UTF-16; a name or a number (sz_Or_Ord)
// is 0xFFFF followed by the number, or a string, an empty one meaning none.
#include "resource_data.h"

#include <strings.h>

namespace w32u {

const unsigned short kCp1252High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                        0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

namespace {

const WORD kNumberMark = 0xFFFF;

// The predefined control classes a template names by number, 0x0080 on.
const char* const kControlClasses[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};

size_t Align(size_t at, size_t unit) {
    return (at + unit - 1) / unit * unit;
}

bool Fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

// Little-endian reads at a moving position, never past `size`.
struct Reader {
    const unsigned char* data;
    size_t size;
    size_t at;

    bool Has(size_t n) const { return at <= size && size - at >= n; }
    bool Word(WORD* value) {
        if (!Has(2)) return false;
        *value = static_cast<WORD>(data[at] | data[at + 1] << 8);
        at += 2;
        return true;
    }
    bool Dword(DWORD* value) {
        WORD low = 0, high = 0;
        if (!Word(&low) || !Word(&high)) return false;
        *value = low | static_cast<DWORD>(high) << 16;
        return true;
    }
    bool Short(int* value) {
        WORD w;
        if (!Word(&w)) return false;
        *value = static_cast<SHORT>(w);
        return true;
    }
    void AlignTo(size_t unit) { at = Align(at, unit); }
    // A zero-terminated UTF-16 string, in the ANSI code page.
    bool String(std::string* out) {
        size_t start = at;
        WORD c;
        do {
            if (!Word(&c)) return false;
        } while (c != 0);
        *out = AnsiFromUtf16(data + start, (at - start) / 2 - 1);
        return true;
    }
    bool NameOrNumber(ResourceId* out) {
        size_t start = at;
        WORD first;
        if (!Word(&first)) return false;
        out->named = first != kNumberMark;
        if (!out->named) return Word(&out->number);
        at = start;
        return String(&out->name);
    }
};

bool IsNone(const ResourceId& id) {
    return id.named && id.name.empty();
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

char AnsiChar(unsigned code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
    for (unsigned i = 0; i < 32; ++i)
        if (kCp1252High[i] == code) return static_cast<char>(0x80 + i);
    return '?';
}

std::string Hex(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(value >> shift) & 0xF];
    return out;
}

bool Cut(std::string* error, const std::string& where) {
    return Fail(error, "the template ends inside " + where);
}

bool ReadControl(Reader& r, bool extended, int number, ControlTemplate* c, std::string* error) {
    std::string where = "control " + std::to_string(number);
    r.AlignTo(4);
    DWORD help = 0, style = 0, exStyle = 0, id32 = 0;
    WORD id16 = 0, extra = 0;
    ResourceId cls, title;
    bool ok = extended ? r.Dword(&help) && r.Dword(&exStyle) && r.Dword(&style) : r.Dword(&style) && r.Dword(&exStyle);
    ok = ok && r.Short(&c->x) && r.Short(&c->y) && r.Short(&c->cx) && r.Short(&c->cy);
    ok = ok && (extended ? r.Dword(&id32) : r.Word(&id16));
    ok = ok && r.NameOrNumber(&cls) && r.NameOrNumber(&title) && r.Word(&extra);
    if (!ok) return Cut(error, where);
    c->style = style;
    c->exStyle = exStyle;
    c->id = extended ? static_cast<int>(id32) : id16;
    if (IsNone(cls)) return Fail(error, where + " has no class");
    if (cls.named) {
        c->className = cls.name;
    } else if (cls.number >= 0x80 && cls.number <= 0x85) {
        c->className = kControlClasses[cls.number - 0x80];
    } else {
        return Fail(error,
                    where + " names the class number " + Hex(cls.number) + ", which is none of 0x0080 to 0x0085");
    }
    // A number as the title is a resource of the module (an icon's).
    c->text = title.named ? title.name : "#" + std::to_string(title.number);
    // Creation data: in an extended template `extra` bytes follow the
    // count; in a classic one the count is the data's first word and
    // counts itself.
    c->creationData = nullptr;
    if (extra == 0) return true;
    size_t start = extended ? r.at : r.at - 2;
    if (!extended && extra < 2) return Fail(error, where + " has creation data shorter than its own size word");
    if (start > r.size || r.size - start < extra) return Cut(error, where + "'s creation data");
    c->creationData = r.data + start;
    r.at = start + extra;
    return true;
}

struct VersionNode {
    size_t end = 0;
    size_t valueAt = 0;
    size_t childrenAt = 0;
    WORD valueLength = 0;
    bool text = false;
    std::string key;
};

// The node of a version block at `at`, which must end by `limit`: its
// length, the length of its value, whether that is text, its key, the
// value and the child nodes, each part aligned to 4 bytes.
bool ReadVersionNode(const unsigned char* block, size_t at, size_t limit, VersionNode* node) {
    Reader r{block, limit, at};
    WORD length, type;
    if (!r.Word(&length) || !r.Word(&node->valueLength) || !r.Word(&type)) return false;
    if (length < 6 || length > limit - at) return false;
    r.size = at + length;
    if (!r.String(&node->key)) return false;
    r.AlignTo(4);
    node->text = type == 1;
    size_t bytes = node->text ? node->valueLength * 2u : node->valueLength;
    if (bytes == 0 && r.at > r.size) r.at = r.size;
    if (!r.Has(bytes)) return false;
    node->end = r.size;
    node->valueAt = r.at;
    node->childrenAt = Align(r.at + bytes, 4);
    return true;
}

// Whether the block starts with the root node's key, read word by word so
// that a block that is none stops the reading at its first bytes.
bool IsVersionBlock(const unsigned char* block, size_t size) {
    static const char kRootKey[] = "VS_VERSION_INFO";
    Reader r{block, size, 6};
    for (const char* p = kRootKey; p <= kRootKey + sizeof kRootKey - 1; ++p) {
        WORD c;
        if (!r.Word(&c) || c != static_cast<unsigned char>(*p)) return false;
    }
    return true;
}

}  // namespace

std::string AnsiFromUtf16(const unsigned char* text, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        unsigned code = text[2 * i] | text[2 * i + 1] << 8;
        bool high = code >= 0xD800 && code < 0xDC00;
        if (high && i + 1 < units) {
            unsigned next = text[2 * i + 2] | text[2 * i + 3] << 8;
            if (next >= 0xDC00 && next < 0xE000) ++i;  // one character, one '?'
        }
        out += AnsiChar(code);
    }
    return out;
}

bool ReadResourceFile(const unsigned char* image, size_t size, std::vector<ResourceEntry>* out, std::string* error) {
    std::vector<ResourceEntry> entries;
    size_t at = 0;
    for (int index = 0; at < size; ++index) {
        std::string where = "resource entry " + std::to_string(index) + " at byte " + std::to_string(at);
        Reader r{image, size, at};
        DWORD dataSize, headerSize;
        if (!r.Dword(&dataSize) || !r.Dword(&headerSize)) return Fail(error, where + " is cut short");
        if (headerSize < 32 || headerSize > size - at)
            return Fail(error, where + " has a header of " + std::to_string(headerSize) + " bytes, which does not fit");
        // The type and name must end inside the header.
        Reader h{image, at + headerSize, r.at};
        ResourceEntry e;
        DWORD dataVersion, version, characteristics;
        WORD memoryFlags;
        bool ok = h.NameOrNumber(&e.type) && h.NameOrNumber(&e.name);
        h.AlignTo(4);
        ok = ok && h.Dword(&dataVersion) && h.Word(&memoryFlags) && h.Word(&e.language) && h.Dword(&version) &&
             h.Dword(&characteristics);
        if (!ok) return Fail(error, where + " has a type and name that run past its header");
        if (dataSize > size - at - headerSize)
            return Fail(error, where + " has data that runs past the end of the file");
        e.type.name = Upper(e.type.name);
        e.name.name = Upper(e.name.name);
        e.data = image + at + headerSize;
        e.size = dataSize;
        // The empty entry that opens the file says it is a 32-bit one.
        if (dataSize != 0 || e.type.named || e.type.number != 0) entries.push_back(e);
        at = Align(at + headerSize + dataSize, 4);
    }
    *out = entries;
    return true;
}

bool ReadDialogTemplate(const unsigned char* data, size_t size, DialogTemplate* out, std::string* error) {
    Reader r{data, size, 0};
    DialogTemplate d;
    d.name = out->name;
    WORD version = 0, signature = 0;
    bool extended = r.Word(&version) && r.Word(&signature) && signature == kNumberMark;
    if (extended && version != 1)
        return Fail(error, "an extended template of version " + std::to_string(version) + ", where 1 is known");
    r.at = extended ? 4 : 0;
    DWORD help = 0;
    WORD count = 0;
    ResourceId menu, cls;
    bool ok = extended ? r.Dword(&help) && r.Dword(&d.exStyle) && r.Dword(&d.style)
                       : r.Dword(&d.style) && r.Dword(&d.exStyle);
    ok = ok && r.Word(&count) && r.Short(&d.x) && r.Short(&d.y) && r.Short(&d.cx) && r.Short(&d.cy);
    ok = ok && r.NameOrNumber(&menu) && r.NameOrNumber(&cls) && r.String(&d.caption);
    if (!ok) return Cut(error, "its header");
    if (!IsNone(menu)) return Fail(error, "the template names a menu, and dialogs here carry none");
    if (!IsNone(cls)) d.className = cls.named ? cls.name : "#" + std::to_string(cls.number);
    if (d.style & DS_SETFONT) {
        WORD points = 0, weight = 0, italicAndCharset = 0;
        ok = r.Word(&points) && (!extended || (r.Word(&weight) && r.Word(&italicAndCharset))) && r.String(&d.fontName);
        if (!ok) return Cut(error, "its font");
        d.fontSize = points;
    }
    for (int i = 0; i < count; ++i) {
        ControlTemplate c;
        if (!ReadControl(r, extended, i + 1, &c, error)) return false;
        d.controls.push_back(c);
    }
    *out = d;
    return true;
}

bool FindVersionValue(const unsigned char* block, size_t size, const char* path, VersionValue* out) {
    VersionNode node;
    if (!IsVersionBlock(block, size) || !ReadVersionNode(block, 0, size, &node)) return false;
    std::string rest = path ? path : "";
    while (!rest.empty()) {
        size_t slash = rest.find('\\');
        std::string part = rest.substr(0, slash);
        rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
        if (part.empty()) continue;
        bool found = false;
        for (size_t at = node.childrenAt; !found && at < node.end;) {
            VersionNode child;
            if (!ReadVersionNode(block, at, node.end, &child)) return false;
            found = strcasecmp(child.key.c_str(), part.c_str()) == 0;
            if (found) node = child;
            at = Align(child.end, 4);
        }
        if (!found) return false;
    }
    out->offset = node.valueAt;
    out->length = node.valueLength;
    out->text = node.text;
    return true;
}

}  // namespace w32u
