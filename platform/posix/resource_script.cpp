// The resource-script reader. Two passes: a preprocessor (#include of the
// script's own headers, #define, #undef, #if/#ifdef/#ifndef/#elif/#else/
// #endif, #pragma) turns the text into tokens with macros expanded, then a
// parser reads DIALOG and DIALOGEX templates, LANGUAGE statements and the
// VERSIONINFO record and steps over every other resource. Everything is
// bounded (include depth, macro depth, expression depth), and any fault is
// reported as "FILE(LINE): what" instead of being guessed around.
//
// Control statements take the resource compiler's default styles, with
// WS_CHILD | WS_VISIBLE; a style written in the script is added to them and
// "NOT x" takes bits away:
//   LTEXT SS_LEFT|WS_GROUP, RTEXT SS_RIGHT|WS_GROUP, CTEXT SS_CENTER|WS_GROUP,
//   PUSHBUTTON BS_PUSHBUTTON|WS_TABSTOP, DEFPUSHBUTTON BS_DEFPUSHBUTTON|
//   WS_TABSTOP, CHECKBOX BS_CHECKBOX|WS_TABSTOP, AUTOCHECKBOX
//   BS_AUTOCHECKBOX|WS_TABSTOP, RADIOBUTTON BS_RADIOBUTTON|WS_TABSTOP,
//   AUTORADIOBUTTON BS_AUTORADIOBUTTON|WS_TABSTOP, STATE3 BS_3STATE|
//   WS_TABSTOP, AUTO3STATE BS_AUTO3STATE|WS_TABSTOP, GROUPBOX BS_GROUPBOX,
//   PUSHBOX BS_PUSHBOX|WS_TABSTOP, EDITTEXT ES_LEFT|WS_BORDER|WS_TABSTOP,
//   LISTBOX LBS_NOTIFY|WS_BORDER, COMBOBOX CBS_SIMPLE|WS_TABSTOP,
//   SCROLLBAR SBS_HORZ, ICON SS_ICON, CONTROL nothing more.
// A DIALOG without STYLE is WS_POPUP|WS_BORDER|WS_SYSMENU; CAPTION adds
// WS_CAPTION and FONT adds DS_SETFONT.
#include "resource_script.h"

#include <string.h>

#include <set>

namespace w32u {

namespace {

const int kMaxIncludeDepth = 16;
const int kMaxMacroDepth = 64;
const int kMaxExpressionDepth = 64;

enum TokenKind { kEnd, kIdent, kNumber, kString, kPunct };

struct Token {
    TokenKind kind = kEnd;
    std::string text;  // identifier, punctuation, or the string's bytes
    long long value = 0;
    std::string file;
    int line = 0;
};

std::string Upper(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Constant {
    const char* name;
    long long value;
};

// Names the Windows headers give a resource script.
const Constant kConstants[] = {
    {"WS_OVERLAPPED", 0},
    {"WS_POPUP", 0x80000000LL},
    {"WS_CHILD", 0x40000000},
    {"WS_MINIMIZE", 0x20000000},
    {"WS_VISIBLE", 0x10000000},
    {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000},
    {"WS_CLIPCHILDREN", 0x02000000},
    {"WS_MAXIMIZE", 0x01000000},
    {"WS_CAPTION", 0x00C00000},
    {"WS_BORDER", 0x00800000},
    {"WS_DLGFRAME", 0x00400000},
    {"WS_VSCROLL", 0x00200000},
    {"WS_HSCROLL", 0x00100000},
    {"WS_SYSMENU", 0x00080000},
    {"WS_THICKFRAME", 0x00040000},
    {"WS_SIZEBOX", 0x00040000},
    {"WS_GROUP", 0x00020000},
    {"WS_TABSTOP", 0x00010000},
    {"WS_MINIMIZEBOX", 0x00020000},
    {"WS_MAXIMIZEBOX", 0x00010000},
    {"WS_OVERLAPPEDWINDOW", 0x00CF0000},
    {"WS_POPUPWINDOW", 0x80880000LL},
    {"WS_CHILDWINDOW", 0x40000000},
    {"WS_EX_DLGMODALFRAME", 0x1},
    {"WS_EX_NOPARENTNOTIFY", 0x4},
    {"WS_EX_TOPMOST", 0x8},
    {"WS_EX_ACCEPTFILES", 0x10},
    {"WS_EX_TRANSPARENT", 0x20},
    {"WS_EX_TOOLWINDOW", 0x80},
    {"WS_EX_WINDOWEDGE", 0x100},
    {"WS_EX_CLIENTEDGE", 0x200},
    {"WS_EX_CONTEXTHELP", 0x400},
    {"WS_EX_RIGHT", 0x1000},
    {"WS_EX_CONTROLPARENT", 0x10000},
    {"WS_EX_STATICEDGE", 0x20000},
    {"WS_EX_APPWINDOW", 0x40000},
    {"DS_ABSALIGN", 0x1},
    {"DS_SYSMODAL", 0x2},
    {"DS_3DLOOK", 0x4},
    {"DS_FIXEDSYS", 0x8},
    {"DS_NOFAILCREATE", 0x10},
    {"DS_LOCALEDIT", 0x20},
    {"DS_SETFONT", 0x40},
    {"DS_MODALFRAME", 0x80},
    {"DS_NOIDLEMSG", 0x100},
    {"DS_SETFOREGROUND", 0x200},
    {"DS_CONTROL", 0x400},
    {"DS_CENTER", 0x800},
    {"DS_CENTERMOUSE", 0x1000},
    {"DS_CONTEXTHELP", 0x2000},
    {"DS_SHELLFONT", 0x48},
    {"SS_LEFT", 0},
    {"SS_CENTER", 1},
    {"SS_RIGHT", 2},
    {"SS_ICON", 3},
    {"SS_BLACKRECT", 4},
    {"SS_GRAYRECT", 5},
    {"SS_WHITERECT", 6},
    {"SS_BLACKFRAME", 7},
    {"SS_GRAYFRAME", 8},
    {"SS_WHITEFRAME", 9},
    {"SS_SIMPLE", 0xB},
    {"SS_LEFTNOWORDWRAP", 0xC},
    {"SS_ETCHEDHORZ", 0x10},
    {"SS_ETCHEDVERT", 0x11},
    {"SS_ETCHEDFRAME", 0x12},
    {"SS_NOPREFIX", 0x80},
    {"SS_NOTIFY", 0x100},
    {"SS_CENTERIMAGE", 0x200},
    {"SS_SUNKEN", 0x1000},
    {"BS_PUSHBUTTON", 0},
    {"BS_DEFPUSHBUTTON", 1},
    {"BS_CHECKBOX", 2},
    {"BS_AUTOCHECKBOX", 3},
    {"BS_RADIOBUTTON", 4},
    {"BS_3STATE", 5},
    {"BS_AUTO3STATE", 6},
    {"BS_GROUPBOX", 7},
    {"BS_USERBUTTON", 8},
    {"BS_AUTORADIOBUTTON", 9},
    {"BS_PUSHBOX", 0xA},
    {"BS_OWNERDRAW", 0xB},
    {"BS_LEFTTEXT", 0x20},
    {"BS_RIGHTBUTTON", 0x20},
    {"BS_TEXT", 0},
    {"BS_LEFT", 0x100},
    {"BS_RIGHT", 0x200},
    {"BS_CENTER", 0x300},
    {"BS_TOP", 0x400},
    {"BS_BOTTOM", 0x800},
    {"BS_VCENTER", 0xC00},
    {"BS_MULTILINE", 0x2000},
    {"BS_NOTIFY", 0x4000},
    {"BS_FLAT", 0x8000},
    {"ES_LEFT", 0},
    {"ES_CENTER", 1},
    {"ES_RIGHT", 2},
    {"ES_MULTILINE", 4},
    {"ES_UPPERCASE", 8},
    {"ES_LOWERCASE", 0x10},
    {"ES_PASSWORD", 0x20},
    {"ES_AUTOVSCROLL", 0x40},
    {"ES_AUTOHSCROLL", 0x80},
    {"ES_NOHIDESEL", 0x100},
    {"ES_OEMCONVERT", 0x400},
    {"ES_READONLY", 0x800},
    {"ES_WANTRETURN", 0x1000},
    {"ES_NUMBER", 0x2000},
    {"SBS_HORZ", 0},
    {"SBS_VERT", 1},
    {"SBS_TOPALIGN", 2},
    {"SBS_LEFTALIGN", 2},
    {"SBS_BOTTOMALIGN", 4},
    {"SBS_RIGHTALIGN", 4},
    {"SBS_SIZEBOX", 8},
    {"LBS_NOTIFY", 0x1},
    {"LBS_SORT", 0x2},
    {"LBS_NOREDRAW", 0x4},
    {"LBS_MULTIPLESEL", 0x8},
    {"LBS_OWNERDRAWFIXED", 0x10},
    {"LBS_OWNERDRAWVARIABLE", 0x20},
    {"LBS_HASSTRINGS", 0x40},
    {"LBS_USETABSTOPS", 0x80},
    {"LBS_NOINTEGRALHEIGHT", 0x100},
    {"LBS_MULTICOLUMN", 0x200},
    {"LBS_WANTKEYBOARDINPUT", 0x400},
    {"LBS_EXTENDEDSEL", 0x800},
    {"LBS_DISABLENOSCROLL", 0x1000},
    {"LBS_NODATA", 0x2000},
    {"LBS_NOSEL", 0x4000},
    {"LBS_STANDARD", 0x00A00003},
    {"CBS_SIMPLE", 1},
    {"CBS_DROPDOWN", 2},
    {"CBS_DROPDOWNLIST", 3},
    {"CBS_OWNERDRAWFIXED", 0x10},
    {"CBS_AUTOHSCROLL", 0x40},
    {"CBS_OEMCONVERT", 0x80},
    {"CBS_SORT", 0x100},
    {"CBS_HASSTRINGS", 0x200},
    {"CBS_NOINTEGRALHEIGHT", 0x400},
    {"CBS_DISABLENOSCROLL", 0x800},
    {"IDOK", 1},
    {"IDCANCEL", 2},
    {"IDABORT", 3},
    {"IDRETRY", 4},
    {"IDIGNORE", 5},
    {"IDYES", 6},
    {"IDNO", 7},
    {"IDCLOSE", 8},
    {"IDHELP", 9},
    {"IDC_STATIC", -1},
    {"VS_VERSION_INFO", 1},
    {"VS_FFI_FILEFLAGSMASK", 0x3F},
    {"VS_FF_DEBUG", 0x1},
    {"VS_FF_PRERELEASE", 0x2},
    {"VS_FF_PATCHED", 0x4},
    {"VS_FF_PRIVATEBUILD", 0x8},
    {"VS_FF_INFOINFERRED", 0x10},
    {"VS_FF_SPECIALBUILD", 0x20},
    {"VOS_UNKNOWN", 0},
    {"VOS_DOS", 0x10000},
    {"VOS_NT", 0x40000},
    {"VOS__WINDOWS16", 1},
    {"VOS__WINDOWS32", 4},
    {"VOS_DOS_WINDOWS16", 0x10001},
    {"VOS_DOS_WINDOWS32", 0x10004},
    {"VOS_NT_WINDOWS32", 0x40004},
    {"VFT_UNKNOWN", 0},
    {"VFT_APP", 1},
    {"VFT_DLL", 2},
    {"VFT_DRV", 3},
    {"VFT_FONT", 4},
    {"VFT_VXD", 5},
    {"VFT_STATIC_LIB", 7},
    {"VFT2_UNKNOWN", 0},
    {"VFT2_DRV_PRINTER", 1},
    {"VFT2_DRV_KEYBOARD", 2},
    {"VFT2_DRV_LANGUAGE", 3},
    {"VFT2_DRV_DISPLAY", 4},
    {"VFT2_DRV_MOUSE", 5},
    {"VFT2_DRV_NETWORK", 6},
    {"VFT2_DRV_SYSTEM", 7},
    {"VFT2_DRV_INSTALLABLE", 8},
    {"VFT2_DRV_SOUND", 9},
    {"VFT2_DRV_COMM", 10},
    {"LANG_NEUTRAL", 0},
    {"LANG_GERMAN", 0x07},
    {"LANG_ENGLISH", 0x09},
    {"LANG_SPANISH", 0x0A},
    {"LANG_FRENCH", 0x0C},
    {"LANG_ITALIAN", 0x10},
    {"LANG_PORTUGUESE", 0x16},
    {"SUBLANG_NEUTRAL", 0},
    {"SUBLANG_DEFAULT", 1},
    {"SUBLANG_SYS_DEFAULT", 2},
    {"SUBLANG_ENGLISH_US", 1},
    {"SUBLANG_ENGLISH_UK", 2},
    {"SUBLANG_FRENCH", 1},
    {"SUBLANG_GERMAN", 1},
    {"SUBLANG_SPANISH", 1},
    {"SUBLANG_SPANISH_MODERN", 3},
    {"SUBLANG_ITALIAN", 1},
    {"SUBLANG_PORTUGUESE", 2},
    {"SUBLANG_PORTUGUESE_BRAZILIAN", 1},
};

bool LookupConstant(const std::string& name, long long* value) {
    static const std::map<std::string, long long>* table = [] {
        auto* t = new std::map<std::string, long long>;
        for (const Constant& c : kConstants) (*t)[c.name] = c.value;
        return t;
    }();
    auto it = table->find(name);
    if (it == table->end()) return false;
    *value = it->second;
    return true;
}

// Headers of the Windows SDK a script may include; their names are known.
bool IsSystemHeader(const std::string& name) {
    static const char* const known[] = {"windows.h", "winres.h",   "afxres.h", "winresrc.h", "winver.h",
                                        "winuser.h", "commctrl.h", "winnt.h",  "ntverp.h",   "dlgs.h"};
    std::string base = Lower(BaseName(name));
    for (const char* k : known)
        if (base == k) return true;
    return false;
}

// ---------------------------------------------------------------------------
// Pass 1: the preprocessor.

class Preprocessor {
public:
    Preprocessor(const std::vector<ScriptFile>& includes, std::vector<Token>* out, std::string* error)
        : includes_(includes), out_(out), error_(error) {
        macros_["RC_INVOKED"] = {Number(1)};
        macros_["_WIN32"] = {Number(1)};
        macros_["WIN32"] = {Number(1)};
    }

    bool Run(const ScriptFile& file, int depth) {
        if (depth > kMaxIncludeDepth) return Fail(file.name, 0, "includes nested too deeply");
        // Of a header only the directives count, as with the resource compiler.
        std::string extension = Lower(file.name.substr(file.name.find_last_of('.') + 1));
        bool headerOnly = depth > 0 && (extension == "h" || extension == "hpp" || extension == "c");
        const std::string& text = file.text;
        size_t pos = 0;
        int line = 1;
        size_t conditionDepth = conditions_.size();
        while (pos < text.size()) {
            // One logical line: from here to an unescaped newline.
            size_t start = pos;
            int startLine = line;
            std::string logical;
            bool inString = false;
            bool inBlockComment = false;
            while (pos < text.size()) {
                char c = text[pos];
                if (inBlockComment) {
                    if (c == '*' && pos + 1 < text.size() && text[pos + 1] == '/') {
                        inBlockComment = false;
                        logical += ' ';
                        pos += 2;
                        continue;
                    }
                    if (c == '\n') ++line;
                    ++pos;
                    continue;
                }
                if (c == '\n') {
                    ++line;
                    ++pos;
                    if (!inString && !logical.empty() && logical.back() == '\\') {
                        logical.pop_back();
                        continue;
                    }
                    break;
                }
                if (!inString && c == '/' && pos + 1 < text.size() && text[pos + 1] == '/') {
                    while (pos < text.size() && text[pos] != '\n') ++pos;
                    continue;
                }
                if (!inString && c == '/' && pos + 1 < text.size() && text[pos + 1] == '*') {
                    inBlockComment = true;
                    pos += 2;
                    continue;
                }
                if (c == '"') inString = !inString;
                if (c != '\r') logical += c;
                ++pos;
            }
            if (inBlockComment) return Fail(file.name, startLine, "comment not closed before the end of the file");
            (void)start;
            size_t first = logical.find_first_not_of(" \t\f\v");
            if (first != std::string::npos && logical[first] == '#') {
                if (!Directive(file, startLine, logical.substr(first + 1), depth)) return false;
                continue;
            }
            if (Skipping() || headerOnly) continue;
            std::vector<Token> tokens;
            if (!Tokenize(file.name, startLine, logical, &tokens)) return false;
            for (const Token& t : tokens)
                if (!Emit(t, 0)) return false;
        }
        if (conditions_.size() != conditionDepth)
            return Fail(file.name, line, "#if without #endif before the end of the file");
        return true;
    }

private:
    struct Condition {
        bool parentActive;
        bool taking;
        bool taken;
        bool sawElse;
    };

    const std::vector<ScriptFile>& includes_;
    std::vector<Token>* out_;
    std::string* error_;
    std::map<std::string, std::vector<Token>> macros_;
    std::vector<Condition> conditions_;

    static Token Number(long long v) {
        Token t;
        t.kind = kNumber;
        t.value = v;
        t.text = std::to_string(v);
        return t;
    }

    bool Fail(const std::string& file, int line, const std::string& what) {
        *error_ = file + "(" + std::to_string(line) + "): " + what;
        return false;
    }

    bool Skipping() const { return !conditions_.empty() && !conditions_.back().taking; }

    bool Emit(const Token& t, int depth) {
        if (t.kind == kIdent) {
            auto it = macros_.find(t.text);
            if (it != macros_.end()) {
                if (depth > kMaxMacroDepth)
                    return Fail(t.file, t.line, "macro " + t.text + " expands into itself too deeply");
                for (Token expanded : it->second) {
                    expanded.file = t.file;
                    expanded.line = t.line;
                    if (!Emit(expanded, depth + 1)) return false;
                }
                return true;
            }
        }
        out_->push_back(t);
        return true;
    }

public:
    // Splits one logical line into tokens.
    bool Tokenize(const std::string& file, int line, const std::string& text, std::vector<Token>* out) {
        size_t i = 0;
        while (i < text.size()) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            if (isspace(c)) {
                ++i;
                continue;
            }
            Token t;
            t.file = file;
            t.line = line;
            if ((c == 'L' || c == 'l') && i + 1 < text.size() && text[i + 1] == '"') {
                ++i;
                c = '"';
            }
            if (c == '"') {
                t.kind = kString;
                ++i;
                bool closed = false;
                while (i < text.size()) {
                    char d = text[i];
                    if (d == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            t.text += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (d == '\\' && i + 1 < text.size()) {
                        char e = text[i + 1];
                        i += 2;
                        switch (e) {
                            case 'n':
                                t.text += '\n';
                                break;
                            case 't':
                                t.text += '\t';
                                break;
                            case 'r':
                                t.text += '\r';
                                break;
                            case 'a':
                                t.text += '\a';
                                break;
                            case '\\':
                                t.text += '\\';
                                break;
                            case '"':
                                t.text += '"';
                                break;
                            case 'x':
                            case 'X': {
                                int v = 0, n = 0;
                                while (n < 2 && i < text.size() && isxdigit(static_cast<unsigned char>(text[i]))) {
                                    v = v * 16 + (isdigit(static_cast<unsigned char>(text[i]))
                                                      ? text[i] - '0'
                                                      : tolower(static_cast<unsigned char>(text[i])) - 'a' + 10);
                                    ++i;
                                    ++n;
                                }
                                t.text += static_cast<char>(v);
                                break;
                            }
                            default:
                                if (e >= '0' && e <= '7') {
                                    int v = e - '0', n = 1;
                                    while (n < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7') {
                                        v = v * 8 + (text[i] - '0');
                                        ++i;
                                        ++n;
                                    }
                                    t.text += static_cast<char>(v);
                                } else {
                                    t.text += '\\';
                                    t.text += e;
                                }
                                break;
                        }
                        continue;
                    }
                    t.text += d;
                    ++i;
                }
                if (!closed) return Fail(file, line, "string not closed on its line");
                out->push_back(t);
                continue;
            }
            if (isdigit(c)) {
                t.kind = kNumber;
                size_t begin = i;
                unsigned long long v = 0;
                bool overflow = false;
                if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
                    i += 2;
                    if (i >= text.size() || !isxdigit(static_cast<unsigned char>(text[i])))
                        return Fail(file, line, "hexadecimal number without digits");
                    while (i < text.size() && isxdigit(static_cast<unsigned char>(text[i]))) {
                        char d = static_cast<char>(tolower(static_cast<unsigned char>(text[i])));
                        v = v * 16 +
                            static_cast<unsigned>(isdigit(static_cast<unsigned char>(d)) ? d - '0' : d - 'a' + 10);
                        overflow = overflow || v > 0xFFFFFFFFull;
                        ++i;
                    }
                } else {
                    while (i < text.size() && isdigit(static_cast<unsigned char>(text[i]))) {
                        v = v * 10 + static_cast<unsigned>(text[i] - '0');
                        overflow = overflow || v > 0xFFFFFFFFull;
                        ++i;
                    }
                }
                while (i < text.size() && (text[i] == 'L' || text[i] == 'l' || text[i] == 'U' || text[i] == 'u')) ++i;
                if (overflow) return Fail(file, line, "number " + text.substr(begin, i - begin) + " is too large");
                if (i < text.size() && (isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
                    return Fail(file, line, "malformed number " + text.substr(begin, i - begin + 1));
                t.value = static_cast<long long>(v);
                t.text = text.substr(begin, i - begin);
                out->push_back(t);
                continue;
            }
            if (isalpha(c) || c == '_') {
                t.kind = kIdent;
                while (i < text.size() && (isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_' ||
                                           text[i] == '.' || text[i] == '$'))
                    t.text += text[i++];
                out->push_back(t);
                continue;
            }
            static const char* const pairs[] = {"||", "&&", "==", "!=", "<=", ">=", "<<", ">>"};
            t.kind = kPunct;
            bool two = false;
            for (const char* p : pairs)
                if (i + 1 < text.size() && text[i] == p[0] && text[i + 1] == p[1]) {
                    t.text = p;
                    i += 2;
                    two = true;
                    break;
                }
            if (!two) {
                if (!strchr(",|&+-*/()~!<>{}=%^?:", static_cast<char>(c))) {
                    char shown[8];
                    snprintf(shown, sizeof shown, c >= 0x20 && c < 0x7F ? "'%c'" : "0x%02X", c);
                    return Fail(file, line, std::string("unexpected character ") + shown);
                }
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
            out->push_back(t);
        }
        return true;
    }

private:
    // Evaluates a #if expression.
    bool Evaluate(const std::string& file, int line, const std::vector<Token>& raw, long long* value) {
        std::vector<Token> tokens;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i].kind == kIdent && raw[i].text == "defined") {
                size_t j = i + 1;
                bool paren = j < raw.size() && raw[j].kind == kPunct && raw[j].text == "(";
                if (paren) ++j;
                if (j >= raw.size() || raw[j].kind != kIdent) return Fail(file, line, "defined needs a name");
                Token t = Number(macros_.count(raw[j].text) ? 1 : 0);
                t.file = file;
                t.line = line;
                tokens.push_back(t);
                if (paren) {
                    ++j;
                    if (j >= raw.size() || raw[j].text != ")") return Fail(file, line, "defined( without )");
                }
                i = j;
                continue;
            }
            std::vector<Token>* saved = out_;
            out_ = &tokens;
            bool ok = Emit(raw[i], 0);
            out_ = saved;
            if (!ok) return false;
        }
        size_t at = 0;
        if (!ConditionExpr(tokens, &at, value, 0)) return false;
        if (at != tokens.size()) return Fail(file, line, "unexpected " + tokens[at].text + " in #if");
        return true;
    }

    // Precedence climbing over || && == != < > <= >= + - * / % & | ^ << >>.
    static int Precedence(const std::string& op) {
        if (op == "||") return 1;
        if (op == "&&") return 2;
        if (op == "|") return 3;
        if (op == "^") return 4;
        if (op == "&") return 5;
        if (op == "==" || op == "!=") return 6;
        if (op == "<" || op == ">" || op == "<=" || op == ">=") return 7;
        if (op == "<<" || op == ">>") return 8;
        if (op == "+" || op == "-") return 9;
        if (op == "*" || op == "/" || op == "%") return 10;
        return 0;
    }

    bool ConditionExpr(const std::vector<Token>& t, size_t* at, long long* value, int minimum) {
        if (!ConditionUnary(t, at, value, 0)) return false;
        while (*at < t.size() && t[*at].kind == kPunct) {
            std::string op = t[*at].text;
            int p = Precedence(op);
            if (p == 0 || p <= minimum) break;
            ++*at;
            long long rhs;
            if (!ConditionExpr(t, at, &rhs, p)) return false;
            long long lhs = *value;
            if ((op == "/" || op == "%") && rhs == 0) return Fail(t[*at - 1].file, t[*at - 1].line, "division by 0");
            if (op == "||") *value = lhs || rhs;
            if (op == "&&") *value = lhs && rhs;
            if (op == "|") *value = lhs | rhs;
            if (op == "^") *value = lhs ^ rhs;
            if (op == "&") *value = lhs & rhs;
            if (op == "==") *value = lhs == rhs;
            if (op == "!=") *value = lhs != rhs;
            if (op == "<") *value = lhs < rhs;
            if (op == ">") *value = lhs > rhs;
            if (op == "<=") *value = lhs <= rhs;
            if (op == ">=") *value = lhs >= rhs;
            if (op == "<<") *value = (rhs >= 0 && rhs < 63) ? lhs << rhs : 0;
            if (op == ">>") *value = (rhs >= 0 && rhs < 63) ? lhs >> rhs : 0;
            if (op == "+") *value = lhs + rhs;
            if (op == "-") *value = lhs - rhs;
            if (op == "*") *value = lhs * rhs;
            if (op == "/") *value = lhs / rhs;
            if (op == "%") *value = lhs % rhs;
        }
        return true;
    }

    bool ConditionUnary(const std::vector<Token>& t, size_t* at, long long* value, int depth) {
        if (depth > kMaxExpressionDepth) return Fail("", 0, "expression nested too deeply");
        if (*at >= t.size())
            return Fail(t.empty() ? "" : t.back().file, t.empty() ? 0 : t.back().line, "expression ends too early");
        const Token& k = t[(*at)++];
        if (k.kind == kNumber) {
            *value = k.value;
            return true;
        }
        if (k.kind == kIdent) {
            *value = 0;  // an unknown name in #if is 0
            LookupConstant(k.text, value);
            return true;
        }
        if (k.kind == kPunct && (k.text == "!" || k.text == "-" || k.text == "~" || k.text == "+")) {
            if (!ConditionUnary(t, at, value, depth + 1)) return false;
            if (k.text == "!") *value = !*value;
            if (k.text == "-") *value = -*value;
            if (k.text == "~") *value = ~*value;
            return true;
        }
        if (k.kind == kPunct && k.text == "(") {
            if (!ConditionExpr(t, at, value, 0)) return false;
            if (*at >= t.size() || t[*at].text != ")") return Fail(k.file, k.line, "( without ) in #if");
            ++*at;
            return true;
        }
        return Fail(k.file, k.line, "unexpected " + k.text + " in #if");
    }

    bool Directive(const ScriptFile& file, int line, const std::string& rest, int depth) {
        size_t i = 0;
        while (i < rest.size() && isspace(static_cast<unsigned char>(rest[i]))) ++i;
        size_t begin = i;
        while (i < rest.size() && (isalnum(static_cast<unsigned char>(rest[i])) || rest[i] == '_')) ++i;
        std::string name = rest.substr(begin, i - begin);
        std::string args = rest.substr(i);
        if (name == "if" || name == "ifdef" || name == "ifndef") {
            bool active = !Skipping();
            bool taking = false;
            if (active) {
                std::vector<Token> tokens;
                if (!Tokenize(file.name, line, args, &tokens)) return false;
                if (name == "if") {
                    long long v;
                    if (!Evaluate(file.name, line, tokens, &v)) return false;
                    taking = v != 0;
                } else {
                    if (tokens.empty() || tokens[0].kind != kIdent)
                        return Fail(file.name, line, "#" + name + " needs a name");
                    taking = macros_.count(tokens[0].text) != 0;
                    if (name == "ifndef") taking = !taking;
                }
            }
            conditions_.push_back({active, taking, taking, false});
            return true;
        }
        if (name == "elif" || name == "else" || name == "endif") {
            if (conditions_.empty()) return Fail(file.name, line, "#" + name + " without #if");
            Condition& c = conditions_.back();
            if (name == "endif") {
                conditions_.pop_back();
                return true;
            }
            if (c.sawElse) return Fail(file.name, line, "#" + name + " after #else");
            if (name == "else") {
                c.sawElse = true;
                c.taking = c.parentActive && !c.taken;
                c.taken = c.taken || c.taking;
                return true;
            }
            if (!c.parentActive || c.taken) {
                c.taking = false;
                return true;
            }
            std::vector<Token> tokens;
            long long v;
            if (!Tokenize(file.name, line, args, &tokens) || !Evaluate(file.name, line, tokens, &v)) return false;
            c.taking = v != 0;
            c.taken = c.taking;
            return true;
        }
        if (Skipping()) return true;
        if (name == "define") {
            std::vector<Token> tokens;
            if (!Tokenize(file.name, line, args, &tokens)) return false;
            if (tokens.empty() || tokens[0].kind != kIdent) return Fail(file.name, line, "#define needs a name");
            size_t after = args.find(tokens[0].text) + tokens[0].text.size();
            if (after < args.size() && args[after] == '(')
                return Fail(file.name, line, "macros with parameters are not supported (" + tokens[0].text + ")");
            std::vector<Token> body(tokens.begin() + 1, tokens.end());
            macros_[tokens[0].text] = body;
            return true;
        }
        if (name == "undef") {
            std::vector<Token> tokens;
            if (!Tokenize(file.name, line, args, &tokens)) return false;
            if (tokens.empty() || tokens[0].kind != kIdent) return Fail(file.name, line, "#undef needs a name");
            macros_.erase(tokens[0].text);
            return true;
        }
        if (name == "include") {
            size_t open = args.find_first_of("\"<");
            if (open == std::string::npos) return Fail(file.name, line, "#include needs a file name");
            char close = args[open] == '"' ? '"' : '>';
            size_t end = args.find(close, open + 1);
            if (end == std::string::npos) return Fail(file.name, line, "#include file name not closed");
            std::string target = args.substr(open + 1, end - open - 1);
            std::string base = Lower(BaseName(target));
            for (const ScriptFile& inc : includes_)
                if (Lower(BaseName(inc.name)) == base) return Run(inc, depth + 1);
            if (close == '>' || IsSystemHeader(target)) return true;
            return Fail(file.name, line, "cannot find the include file " + target);
        }
        if (name == "pragma" || name == "line" || name.empty()) return true;
        if (name == "error") return Fail(file.name, line, "#error" + args);
        return Fail(file.name, line, "unknown directive #" + name);
    }
};

// ---------------------------------------------------------------------------
// Pass 2: the resource statements.

class Parser {
public:
    Parser(const std::vector<Token>& tokens, ResourceSet* out, std::string* error)
        : t_(tokens), out_(out), error_(error) {}

    bool Run() {
        while (!AtEnd()) {
            if (Keyword("LANGUAGE")) {
                long long a, b;
                if (!Expr(&a) || !Comma() || !Expr(&b)) return false;
                continue;
            }
            if (Keyword("STRINGTABLE")) {
                if (!SkipOptionsToBlock()) return false;
                continue;
            }
            const Token& nameToken = Take();
            std::string name;
            if (nameToken.kind == kNumber)
                name = "#" + std::to_string(nameToken.value & 0xFFFF);
            else if (nameToken.kind == kIdent || nameToken.kind == kString)
                name = Upper(nameToken.text);
            else
                return Fail(nameToken, "expected a resource name, found " + Shown(nameToken));
            if (AtEnd()) return Fail(nameToken, "resource " + nameToken.text + " has no type");
            const Token& type = Take();
            std::string kind = type.kind == kIdent ? Upper(type.text) : "";
            if (kind == "DIALOG" || kind == "DIALOGEX") {
                if (!Dialog(name, kind == "DIALOGEX", nameToken)) return false;
            } else if (kind == "VERSIONINFO") {
                if (!Version(type)) return false;
            } else if (type.kind == kIdent || type.kind == kNumber) {
                if (!OtherResource(type)) return false;
            } else {
                return Fail(type, "expected a resource type after " + nameToken.text + ", found " + Shown(type));
            }
        }
        return true;
    }

private:
    const std::vector<Token>& t_;
    size_t at_ = 0;
    ResourceSet* out_;
    std::string* error_;
    Token end_;

    bool AtEnd() const { return at_ >= t_.size(); }
    const Token& Peek() const { return AtEnd() ? EndToken() : t_[at_]; }
    const Token& EndToken() const {
        static Token end;
        if (!t_.empty()) {
            end.file = t_.back().file;
            end.line = t_.back().line;
        }
        return end;
    }
    const Token& Take() { return AtEnd() ? EndToken() : t_[at_++]; }

    static std::string Shown(const Token& t) {
        switch (t.kind) {
            case kEnd:
                return "the end of the script";
            case kString:
                return "\"" + t.text + "\"";
            default:
                return t.text;
        }
    }

    bool Fail(const Token& at, const std::string& what) {
        *error_ = at.file + "(" + std::to_string(at.line) + "): " + what;
        return false;
    }

    bool IsKeyword(const Token& t, const char* word) const { return t.kind == kIdent && Upper(t.text) == word; }

    bool Keyword(const char* word) {
        if (!IsKeyword(Peek(), word)) return false;
        ++at_;
        return true;
    }

    bool Punct(const char* p) {
        if (Peek().kind != kPunct || Peek().text != p) return false;
        ++at_;
        return true;
    }

    bool Comma() {
        if (Punct(",")) return true;
        return Fail(Peek(), "expected a comma, found " + Shown(Peek()));
    }

    bool IsBegin(const Token& t) const { return IsKeyword(t, "BEGIN") || (t.kind == kPunct && t.text == "{"); }
    bool IsEndOfBlock(const Token& t) const { return IsKeyword(t, "END") || (t.kind == kPunct && t.text == "}"); }

    bool Begin() {
        if (IsBegin(Peek())) {
            ++at_;
            return true;
        }
        return Fail(Peek(), "expected BEGIN, found " + Shown(Peek()));
    }

    // Steps over a block whose BEGIN is next, with everything nested in it.
    bool SkipBlock() {
        const Token& open = Peek();
        if (!Begin()) return false;
        int depth = 1;
        while (depth > 0) {
            if (AtEnd()) return Fail(open, "BEGIN without END");
            const Token& k = Take();
            if (IsBegin(k)) ++depth;
            if (IsEndOfBlock(k)) --depth;
        }
        return true;
    }

    bool SkipOptionsToBlock() {
        while (!AtEnd() && !IsBegin(Peek())) ++at_;
        return SkipBlock();
    }

    bool MemoryOption() {
        static const char* const options[] = {"DISCARDABLE", "MOVEABLE",   "FIXED",  "PURE",     "IMPURE",
                                              "PRELOAD",     "LOADONCALL", "SHARED", "NONSHARED"};
        for (const char* o : options)
            if (Keyword(o)) return true;
        return false;
    }

    bool OtherResource(const Token& type) {
        while (MemoryOption()) {
        }
        if (Peek().kind == kString) {  // a resource read from a file
            ++at_;
            return true;
        }
        while (!AtEnd() && !IsBegin(Peek())) {
            const Token& k = Peek();
            // Statements of a resource header stay on the header's lines.
            if (k.line != type.line && k.kind == kIdent && !IsKeyword(k, "LANGUAGE") &&
                !IsKeyword(k, "CHARACTERISTICS") && !IsKeyword(k, "VERSION"))
                break;
            ++at_;
        }
        if (IsBegin(Peek())) return SkipBlock();
        return Fail(type, "resource type " + type.text + " has neither a file name nor a BEGIN block");
    }

    // --- expressions ---

    bool Expr(long long* value) { return OrExpr(value, 0); }

    bool OrExpr(long long* value, int depth) {
        if (!AndExpr(value, depth)) return false;
        while (Punct("|")) {
            long long rhs;
            if (!AndExpr(&rhs, depth)) return false;
            *value |= rhs;
        }
        return true;
    }

    bool AndExpr(long long* value, int depth) {
        if (!AddExpr(value, depth)) return false;
        while (Punct("&")) {
            long long rhs;
            if (!AddExpr(&rhs, depth)) return false;
            *value &= rhs;
        }
        return true;
    }

    bool AddExpr(long long* value, int depth) {
        if (!MulExpr(value, depth)) return false;
        for (;;) {
            bool plus = Punct("+");
            if (!plus && !Punct("-")) return true;
            long long rhs;
            if (!MulExpr(&rhs, depth)) return false;
            *value = plus ? *value + rhs : *value - rhs;
        }
    }

    bool MulExpr(long long* value, int depth) {
        if (!Unary(value, depth)) return false;
        for (;;) {
            const Token& op = Peek();
            bool times = Punct("*");
            if (!times && !Punct("/")) return true;
            long long rhs;
            if (!Unary(&rhs, depth)) return false;
            if (!times && rhs == 0) return Fail(op, "division by 0");
            *value = times ? *value * rhs : *value / rhs;
        }
    }

    bool Unary(long long* value, int depth) {
        if (depth > kMaxExpressionDepth) return Fail(Peek(), "expression nested too deeply");
        const Token& k = Take();
        if (k.kind == kNumber) {
            *value = k.value;
            return true;
        }
        if (k.kind == kIdent) {
            if (LookupConstant(k.text, value)) return true;
            return Fail(k, "unknown name " + k.text);
        }
        if (k.kind == kPunct && (k.text == "-" || k.text == "~" || k.text == "+")) {
            if (!Unary(value, depth + 1)) return false;
            if (k.text == "-") *value = -*value;
            if (k.text == "~") *value = ~*value;
            return true;
        }
        if (k.kind == kPunct && k.text == "(") {
            if (!OrExpr(value, depth + 1)) return false;
            if (!Punct(")")) return Fail(Peek(), "expected ), found " + Shown(Peek()));
            return true;
        }
        return Fail(k, "expected a number, found " + Shown(k));
    }

    // A style: `base` with the written terms added and NOT terms taken away.
    bool Style(DWORD base, DWORD* style) {
        long long value = base;
        for (;;) {
            if (Keyword("NOT")) {
                long long bits;
                if (!Unary(&bits, 0)) return false;
                value &= ~bits;
            } else {
                long long bits;
                if (!AndExpr(&bits, 0)) return false;
                value |= bits;
            }
            if (!Punct("|")) break;
        }
        *style = static_cast<DWORD>(value);
        return true;
    }

    bool NextIsComma() const { return Peek().kind == kPunct && Peek().text == ","; }

    // --- dialogs ---

    bool Dialog(const std::string& name, bool extended, const Token& nameToken) {
        DialogTemplate d;
        d.name = name;
        while (MemoryOption()) {
        }
        long long x, y, cx, cy, help;
        if (!Expr(&x) || !Comma() || !Expr(&y) || !Comma() || !Expr(&cx) || !Comma() || !Expr(&cy)) return false;
        if (extended && NextIsComma() && (!Comma() || !Expr(&help))) return false;
        d.x = static_cast<int>(x);
        d.y = static_cast<int>(y);
        d.cx = static_cast<int>(cx);
        d.cy = static_cast<int>(cy);
        bool styled = false;
        DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU;
        bool caption = false, font = false;
        while (!AtEnd() && !IsBegin(Peek())) {
            const Token& k = Take();
            if (IsKeyword(k, "STYLE")) {
                if (!Style(0, &style)) return false;
                styled = true;
            } else if (IsKeyword(k, "EXSTYLE")) {
                if (!Style(0, &d.exStyle)) return false;
            } else if (IsKeyword(k, "CAPTION")) {
                if (Peek().kind != kString) return Fail(Peek(), "CAPTION needs a string");
                d.caption = Take().text;
                caption = true;
            } else if (IsKeyword(k, "FONT")) {
                long long size;
                if (!Expr(&size) || !Comma()) return false;
                if (Peek().kind != kString) return Fail(Peek(), "FONT needs a face name");
                d.fontSize = static_cast<int>(size);
                d.fontName = Take().text;
                while (NextIsComma()) {
                    long long ignored;
                    if (!Comma() || !Expr(&ignored)) return false;
                }
                font = true;
            } else if (IsKeyword(k, "CLASS")) {
                const Token& c = Take();
                if (c.kind != kString && c.kind != kIdent && c.kind != kNumber)
                    return Fail(c, "CLASS needs a class name");
                d.className = c.text;
            } else if (IsKeyword(k, "MENU")) {
                Take();
            } else if (IsKeyword(k, "LANGUAGE")) {
                long long a, b;
                if (!Expr(&a) || !Comma() || !Expr(&b)) return false;
            } else if (IsKeyword(k, "CHARACTERISTICS") || IsKeyword(k, "VERSION")) {
                long long ignored;
                if (!Expr(&ignored)) return false;
            } else {
                return Fail(k, "unexpected " + Shown(k) + " in the header of dialog " + nameToken.text);
            }
        }
        if (caption) style |= WS_CAPTION;
        if (font) style |= DS_SETFONT;
        (void)styled;
        d.style = style;
        if (!Begin()) return false;
        for (;;) {
            if (AtEnd()) return Fail(nameToken, "dialog " + nameToken.text + " has no END");
            if (IsEndOfBlock(Peek())) {
                ++at_;
                break;
            }
            ControlTemplate c;
            if (!Control(extended, &c)) return false;
            if (!extended) c.id = c.id & 0xFFFF;
            d.controls.push_back(c);
        }
        out_->dialogs.push_back(d);
        return true;
    }

    struct Statement {
        const char* keyword;
        const char* className;
        DWORD style;
        bool hasText;
    };

    bool Control(bool extended, ControlTemplate* c) {
        static const Statement statements[] = {
            {"LTEXT", "Static", SS_LEFT | WS_GROUP, true},
            {"RTEXT", "Static", SS_RIGHT | WS_GROUP, true},
            {"CTEXT", "Static", SS_CENTER | WS_GROUP, true},
            {"ICON", "Static", SS_ICON, true},
            {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP, true},
            {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true},
            {"PUSHBOX", "Button", BS_PUSHBOX | WS_TABSTOP, true},
            {"CHECKBOX", "Button", BS_CHECKBOX | WS_TABSTOP, true},
            {"AUTOCHECKBOX", "Button", BS_AUTOCHECKBOX | WS_TABSTOP, true},
            {"RADIOBUTTON", "Button", BS_RADIOBUTTON | WS_TABSTOP, true},
            {"AUTORADIOBUTTON", "Button", BS_AUTORADIOBUTTON | WS_TABSTOP, true},
            {"STATE3", "Button", BS_3STATE | WS_TABSTOP, true},
            {"AUTO3STATE", "Button", BS_AUTO3STATE | WS_TABSTOP, true},
            {"GROUPBOX", "Button", BS_GROUPBOX, true},
            {"EDITTEXT", "Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, false},
            {"LISTBOX", "ListBox", LBS_NOTIFY | WS_BORDER, false},
            {"COMBOBOX", "ComboBox", CBS_SIMPLE | WS_TABSTOP, false},
            {"SCROLLBAR", "ScrollBar", SBS_HORZ, false},
        };
        const Token& k = Take();
        if (k.kind != kIdent) return Fail(k, "expected a control statement, found " + Shown(k));
        std::string word = Upper(k.text);
        long long id, x, y, cx, cy;
        DWORD base = WS_CHILD | WS_VISIBLE;
        if (word == "CONTROL") {
            if (!Text(&c->text) || !Comma() || !Expr(&id) || !Comma()) return false;
            const Token& cls = Take();
            if (cls.kind != kString && cls.kind != kIdent) return Fail(cls, "CONTROL needs a class name");
            c->className = cls.text;
            std::string upper = Upper(cls.text);
            if (upper == "BUTTON" || upper == "EDIT" || upper == "STATIC" || upper == "LISTBOX" ||
                upper == "SCROLLBAR" || upper == "COMBOBOX")
                c->className = cls.text;
            if (!Comma() || !Style(base, &c->style) || !Comma() || !Expr(&x) || !Comma() || !Expr(&y) || !Comma() ||
                !Expr(&cx) || !Comma() || !Expr(&cy))
                return false;
            if (NextIsComma() && (!Comma() || !Style(0, &c->exStyle))) return false;
        } else {
            const Statement* s = nullptr;
            for (const Statement& candidate : statements)
                if (word == candidate.keyword) s = &candidate;
            if (!s) return Fail(k, "unknown control statement " + k.text);
            c->className = s->className;
            if (s->hasText && (!Text(&c->text) || !Comma())) return false;
            if (!Expr(&id) || !Comma() || !Expr(&x) || !Comma() || !Expr(&y)) return false;
            cx = cy = 0;
            bool sized = true;
            if (word == "ICON") sized = NextIsComma();
            if (sized && (!Comma() || !Expr(&cx) || !Comma() || !Expr(&cy))) return false;
            c->style = base | s->style;
            if (NextIsComma() && (!Comma() || !Style(base | s->style, &c->style))) return false;
            if (NextIsComma() && (!Comma() || !Style(0, &c->exStyle))) return false;
        }
        if (extended && NextIsComma()) {
            long long help;
            if (!Comma() || !Expr(&help)) return false;
        }
        if (extended && IsBegin(Peek()) && !SkipBlock()) return false;
        c->id = static_cast<int>(id);
        c->x = static_cast<int>(x);
        c->y = static_cast<int>(y);
        c->cx = static_cast<int>(cx);
        c->cy = static_cast<int>(cy);
        return true;
    }

    // A control's text: a string, or a number or name (an icon's resource).
    bool Text(std::string* text) {
        const Token& k = Take();
        if (k.kind == kString) {
            *text = k.text;
            return true;
        }
        if (k.kind == kNumber) {
            *text = "#" + std::to_string(k.value);
            return true;
        }
        if (k.kind == kIdent) {
            *text = k.text;
            return true;
        }
        return Fail(k, "expected a control text, found " + Shown(k));
    }

    // --- the version record ---

    bool FourParts(DWORD* high, DWORD* low) {
        long long v[4] = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            if (i > 0 && !NextIsComma()) break;
            if (i > 0 && !Comma()) return false;
            if (!Expr(&v[i])) return false;
        }
        *high = static_cast<DWORD>(((v[0] & 0xFFFF) << 16) | (v[1] & 0xFFFF));
        *low = static_cast<DWORD>(((v[2] & 0xFFFF) << 16) | (v[3] & 0xFFFF));
        return true;
    }

    bool Version(const Token& type) {
        VersionRecord& r = out_->version;
        if (r.present) return Fail(type, "a second VERSIONINFO");
        r.present = true;
        memset(&r.fixed, 0, sizeof r.fixed);
        r.fixed.dwSignature = VS_FFI_SIGNATURE;
        r.fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
        while (!AtEnd() && !IsBegin(Peek())) {
            const Token& k = Take();
            long long v = 0;
            if (IsKeyword(k, "FILEVERSION")) {
                if (!FourParts(&r.fixed.dwFileVersionMS, &r.fixed.dwFileVersionLS)) return false;
            } else if (IsKeyword(k, "PRODUCTVERSION")) {
                if (!FourParts(&r.fixed.dwProductVersionMS, &r.fixed.dwProductVersionLS)) return false;
            } else if (IsKeyword(k, "FILEFLAGSMASK")) {
                if (!Expr(&v)) return false;
                r.fixed.dwFileFlagsMask = static_cast<DWORD>(v);
            } else if (IsKeyword(k, "FILEFLAGS")) {
                if (!Expr(&v)) return false;
                r.fixed.dwFileFlags = static_cast<DWORD>(v);
            } else if (IsKeyword(k, "FILEOS")) {
                if (!Expr(&v)) return false;
                r.fixed.dwFileOS = static_cast<DWORD>(v);
            } else if (IsKeyword(k, "FILETYPE")) {
                if (!Expr(&v)) return false;
                r.fixed.dwFileType = static_cast<DWORD>(v);
            } else if (IsKeyword(k, "FILESUBTYPE")) {
                if (!Expr(&v)) return false;
                r.fixed.dwFileSubtype = static_cast<DWORD>(v);
            } else {
                return Fail(k, "unexpected " + Shown(k) + " in VERSIONINFO");
            }
        }
        return VersionBlock("", 0);
    }

    bool VersionBlock(const std::string& path, int depth) {
        const Token& open = Peek();
        if (depth > 8) return Fail(open, "VERSIONINFO blocks nested too deeply");
        if (!Begin()) return false;
        for (;;) {
            if (AtEnd()) return Fail(open, "BEGIN without END in VERSIONINFO");
            if (IsEndOfBlock(Peek())) {
                ++at_;
                return true;
            }
            const Token& k = Take();
            if (IsKeyword(k, "BLOCK")) {
                if (Peek().kind != kString) return Fail(Peek(), "BLOCK needs a quoted name");
                std::string name = Take().text;
                if (!VersionBlock(path + "\\" + name, depth + 1)) return false;
            } else if (IsKeyword(k, "VALUE")) {
                if (Peek().kind != kString) return Fail(Peek(), "VALUE needs a quoted key");
                std::string key = Take().text;
                if (!Comma()) return false;
                if (Peek().kind == kString) {
                    std::string value;
                    while (Peek().kind == kString) value += Take().text;
                    size_t nul = value.find('\0');
                    if (nul != std::string::npos) value.resize(nul);
                    out_->version.strings.push_back({path + "\\" + key, value});
                } else {
                    std::vector<WORD> words;
                    for (;;) {
                        long long v;
                        if (!Expr(&v)) return false;
                        words.push_back(static_cast<WORD>(v));
                        if (!NextIsComma()) break;
                        ++at_;
                    }
                    if (Lower(key) == "translation") out_->version.translations = words;
                }
            } else {
                return Fail(k, "expected BLOCK or VALUE, found " + Shown(k));
            }
        }
    }
};

}  // namespace

bool ParseResourceScript(const ScriptFile& main, const std::vector<ScriptFile>& includes, ResourceSet* out,
                         std::string* error) {
    std::vector<Token> tokens;
    Preprocessor pre(includes, &tokens, error);
    if (!pre.Run(main, 0)) return false;
    ResourceSet result;
    Parser parser(tokens, &result, error);
    if (!parser.Run()) return false;
    *out = result;
    return true;
}

}  // namespace w32u
