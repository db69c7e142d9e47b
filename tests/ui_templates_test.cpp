// The resource script: every dialog template in each of its languages, the
// trace window's template and the version record, as the window system
// builds them from the module's resources.
#include <stdio.h>
#include <strings.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/posix_windows.h"
#include "test_support.h"
#include "ui/czoom.h"
#include "ui/resources/resource.h"

namespace {

struct Units {
    int x, y, width, height;
};

struct ControlSpec {
    int id;  // -1 for a control without id
    const char* className;
    DWORD type;   // the style's type bits, or ES_AUTOHSCROLL for edits
    DWORD flags;  // WS_GROUP and WS_TABSTOP
    const char* text;
    Units units;
};

struct TemplateSpec {
    int id;
    const char* caption;
    int x, y, width, height;
};

// A text by language: English, French, German, Spanish, Italian, Portuguese.
struct TextSpec {
    int id;
    const char* texts[6];
};

// Texts are Windows-1252 bytes.
const ControlSpec kCameraSettingsLayout[] = {
    {1, "Button", BS_DEFPUSHBUTTON, WS_GROUP | WS_TABSTOP, "&OK", {28, 218, 50, 14}},
    {2, "Button", BS_PUSHBUTTON, WS_GROUP | WS_TABSTOP, "&Cancel", {84, 218, 50, 14}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "Settings", {9, 4, 140, 64}},
    {-1, "Static", SS_LEFT, WS_GROUP, "&Brightness", {22, 18, 35, 10}},
    {1000, "ScrollBar", SBS_HORZ, 0, "", {60, 18, 56, 10}},
    {1001, "Edit", ES_AUTOHSCROLL, WS_TABSTOP, "", {124, 17, 19, 12}},
    {-1, "Static", SS_LEFT, WS_GROUP, "Con&trast", {22, 33, 35, 10}},
    {1004, "ScrollBar", SBS_HORZ, 0, "", {60, 33, 56, 10}},
    {1005, "Edit", ES_AUTOHSCROLL, WS_TABSTOP, "", {124, 32, 19, 12}},
    {1006, "Static", SS_LEFT, WS_GROUP, "Colo&r", {22, 48, 35, 10}},
    {1002, "ScrollBar", SBS_HORZ, 0, "", {60, 48, 56, 10}},
    {1003, "Edit", ES_AUTOHSCROLL, WS_TABSTOP, "", {124, 47, 19, 12}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "Compression Control", {9, 74, 140, 114}},
    {1008, "Button", BS_AUTORADIOBUTTON, WS_TABSTOP, "Optimize for Video &Preview", {14, 151, 114, 10}},
    {1009, "Button", BS_AUTORADIOBUTTON, 0, "Optimize for Video &Conference", {14, 167, 114, 10}},
    {-1, "Static", SS_LEFT, WS_GROUP, "&Faster Video", {19, 110, 42, 8}},
    {1010, "ScrollBar", SBS_HORZ, WS_TABSTOP, "", {37, 93, 86, 10}},
    {-1, "Static", SS_LEFT, WS_GROUP, "Better &Quality", {98, 111, 48, 10}},
    {1014, "Button", BS_PUSHBUTTON, WS_GROUP | WS_TABSTOP, "Reset &Defaults", {12, 196, 66, 14}},
    {1015, "Button", BS_PUSHBUTTON, WS_GROUP | WS_TABSTOP, "&Advanced...", {84, 196, 66, 14}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "Compression Mode", {9, 133, 140, 54}},
};
const TemplateSpec kCameraSettingsTemplates[] = {
    {103, "Camera Settings", 60, 40, 159, 239},
    {106, "Param\xE8tres cam\xE9ra", 60, 40, 159, 266},
    {109, "Kameraeinstellungen", 60, 40, 158, 271},
    {112, "Ajustes de la c\xE1mara", 60, 40, 165, 242},
    {115, "Settaggi della camera", 60, 40, 191, 247},
    {118,
     "Configura\xE7\xF5"
     "es da C\xE2mera",
     60, 40, 159, 239},
};
const TextSpec kCameraSettingsTexts[] = {
    {1, {"&OK", "&OK", "&OK", "&Aceptar", "&OK", "&OK"}},
    {2, {"&Cancel", "&Annuler", "&L\xF6schen", "&Cancelar", "&Cancellare", "&Cancelar"}},
    {-1,
     {"Settings", "R\xE9glages", "Einstellungen", "Ajustes", "Aggiustamenti",
      "Configura\xE7\xF5"
      "es"}},
    {-1, {"&Brightness", "&Brillance", "&Helligkeit", "&Brillo", "&Luminosita", "&Brilho"}},
    {-1, {"Con&trast", "Con&traste", "&Kontrast", "Con&traste", "Cont&rasto", "Con&traste"}},
    {1006, {"Colo&r", "Couleu&r", "&Farbe", "Colo&r", "Color&e", "Co&r"}},
    {-1,
     {"Compression Control", "Contr\xF4le de compression", "Komprimierregler", "Control de la compresi\xF3n",
      "Controllo condensazione", "Controle de Compress\xE3o"}},
    {1008,
     {"Optimize for Video &Preview", "Optimiser pour &vue vid\xE9o", "F\xFCr Vide&vorschau optimieren",
      "Optimizar para previsualizaci\xF3n de v\xED"
      "deo",
      "Ottimizzare per visualizzazione anticipata video",
      "Otimizar p/ &Visualiza\xE7\xE3o de V\xED"
      "deo"}},
    {1009,
     {"Optimize for Video &Conference", "Optimiser pour visio &conf\xE9rence", "F\xFCr Videokonferen&z optimieren",
      "Optimizar para v\xED"
      "deo-conferencia",
      "Ottimizzare per video&conferenza",
      "Optimizar p/ &Confer\xEAncia de V\xED"
      "deo"}},
    {-1,
     {"&Faster Video", "Vid\xE9o plus &rapide", "&Schnelleres Video",
      "&V\xED"
      "deo m\xE1s r\xE1pido",
      "&Video pi\xF9 veloce",
      "V\xED"
      "deo Mais &R\xE1pido"}},
    {-1,
     {"Better &Quality",
      "&Qualit\xE9 am\xE9lior\xE9"
      "e",
      "Bessere &Qualit\xE4t", "Mejor &calidad", "&Qualit\xE0 migliore", "Melhor &Qualidade"}},
    {1014,
     {"Reset &Defaults",
      "Remettre aux param\xE8tres par &d\xE9"
      "fault",
      "Vorgaben zur\xFC"
      "cksetzen",
      "Restaurar valores por &defecto", "Resettare ai valori impliciti",
      "Restabelecer Padr\xF5"
      "es"}},
    {1015,
     {"&Advanced...", "Ava&nc\xE9...", "&Erweitert...", "&Avanzados...", "&Avanzato...",
      "&Avan\xE7"
      "ado..."}},
    {-1,
     {"Compression Mode", "Mode compress\xE9", "Komprimiermodus", "Modo de compresi\xF3n", "Modo Condensazione",
      "Modo Comprimir"}},
};
const ControlSpec kAdvancedSettingsLayout[] = {
    {1, "Button", BS_DEFPUSHBUTTON, WS_GROUP | WS_TABSTOP, "&OK", {23, 262, 50, 14}},
    {2, "Button", BS_PUSHBUTTON, WS_GROUP | WS_TABSTOP, "&Cancel", {82, 262, 50, 14}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "", {11, 81, 64, 25}},
    {1150, "Button", BS_AUTORADIOBUTTON, WS_GROUP | WS_TABSTOP, "&Normal", {18, 23, 40, 10}},
    {1151, "Button", BS_AUTORADIOBUTTON, 0, "Me&dium", {18, 38, 38, 10}},
    {1152, "Button", BS_AUTORADIOBUTTON, 0, "&Low", {18, 53, 34, 10}},
    {1157, "Button", BS_AUTOCHECKBOX, WS_GROUP | WS_TABSTOP, "Bac&klit", {18, 90, 45, 10}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "&Banding Filter", {88, 9, 56, 72}},
    {1155, "Button", BS_AUTOCHECKBOX, WS_GROUP | WS_TABSTOP, "&Enabled", {93, 23, 44, 10}},
    {-1, "Static", SS_LEFT, WS_GROUP, "Filter Type", {93, 39, 43, 8}},
    {1161, "Button", BS_AUTORADIOBUTTON, WS_GROUP | WS_TABSTOP, "&50 Hz", {99, 50, 37, 10}},
    {1162, "Button", BS_AUTORADIOBUTTON, 0, "&60 Hz", {99, 66, 34, 10}},
    {1159, "Button", BS_GROUPBOX, WS_GROUP, "&Pan/Tilt Control", {11, 117, 134, 137}},
    {1160, "Button", BS_AUTOCHECKBOX, WS_GROUP | WS_TABSTOP, "&Zoom (Enable pan/tilt)", {22, 130, 84, 10}},
    {1158, "czoom", 0, WS_GROUP, "pan and tilt", {18, 144, 120, 102}},
    {1017, "Button", BS_AUTOCHECKBOX, WS_GROUP | WS_TABSTOP, "&Automatic", {18, 68, 46, 10}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "Li&ghting", {11, 9, 64, 97}},
};
const TemplateSpec kAdvancedSettingsTemplates[] = {
    {104, "Advanced Camera Settings", 0, 0, 155, 282},
    {107, "Param\xE8tres avanc\xE9s cam\xE9ra", 0, 0, 178, 282},
    {110, "Erweiterte Kameraeinstellungen", 0, 0, 183, 282},
    {113, "Ajustes avanzados de la c\xE1mara", 0, 0, 166, 285},
    {116, "Settaggi camera avanzati", 0, 0, 183, 282},
    {119,
     "Configura\xE7\xF5"
     "es Avan\xE7"
     "adas da C\xE2mera",
     0, 0, 155, 282},
};
const TextSpec kAdvancedSettingsTexts[] = {
    {2, {"&Cancel", "&Annuler", "&Abbrechen", "&Cancelar", "&Cancellare", "&Cancelar"}},
    {1150, {"&Normal", "&Normal", "&Normal", "&Normal", "&Normale", "&Normal"}},
    {1151,
     {"Me&dium", "Me&dium", "&Mittel", "&Media", "&Media",
      "&M\xE9"
      "dia"}},
    {1152, {"&Low", "&Bas", "&Niedrig", "&Baja", "&Bassa", "&Baixa"}},
    {1157,
     {"Bac&klit", "Eclairage de fond", "&Hintergrundbeleuchtung", "&Contraluz", "&Retroilluminazione",
      "Ilumina\xE7\xE3o de &Fundo"}},
    {-1,
     {"&Banding Filter", "Filtre de &bandes", "&Bandenfilter", "&Filtro de franjas ", "&Filtro di banda",
      "&Filtro de Faixa"}},
    {1155, {"&Enabled", "&Activ\xE9", "&Eingeschaltet", "Activado", "&Attivato", "Pronta"}},
    {-1, {"Filter Type", "Type de filtre", "Filtertyp", "Tipo de filtro", "Tipo filtro", "Tipo de filtro"}},
    {1159,
     {"&Pan/Tilt Control", "Contr\xF4le inclinaison/&panoramique ", "&Schwenk-/Kippregler",
      "&Control de panor\xE1mica/inclinaci\xF3n", "&Controllo inclinazione/panoramica",
      "&Controle de Pan/Inclina\xE7\xE3o"}},
    {1160,
     {"&Zoom (Enable pan/tilt)", "&Zoom (permet inclinaison/panoramique)", "&Zoom (schaltet schwen-ken/-kippen ein)",
      "&Zoom (Habilitar panor\xE1mica/inclinaci\xF3n)", "&Zoom (permette inclinazione/panoramica)",
      "&Zoom (Ativar pan/inclina\xE7\xE3o)"}},
    {1158,
     {"pan and tilt", "inclinaison/panoramique", "schwen-ken/-kippen", "pan and tilt", "inclinazione/panoramica",
      "pan and tilt"}},
    {1017, {"&Automatic", "&Automatique", "&Automatisch", "&Autom\xE1tica", "&Automatica", "&Autom\xE1tica"}},
    {-1, {"Li&ghting", "Eclairage", "Beleuchtung", "Iluminaci\xF3n", "Illuminazione", "Ilumina\xE7\xE3o"}},
};
const ControlSpec kVideoFormatLayout[] = {
    {1, "Button", BS_DEFPUSHBUTTON, WS_GROUP | WS_TABSTOP, "&OK", {23, 134, 50, 14}},
    {2, "Button", BS_PUSHBUTTON, WS_GROUP | WS_TABSTOP, "&Cancel", {103, 134, 50, 14}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "&Image Size", {6, 8, 81, 116}},
    {1050, "Button", BS_AUTORADIOBUTTON, WS_TABSTOP, "352 x 288", {11, 54, 43, 10}},
    {1051, "Button", BS_AUTORADIOBUTTON, 0, "320 x 240", {11, 71, 43, 10}},
    {1052, "Button", BS_AUTORADIOBUTTON, 0, "176 x 144", {11, 88, 43, 10}},
    {1053, "Button", BS_AUTORADIOBUTTON, 0, "160 x 120", {11, 105, 43, 10}},
    {1054, "Button", BS_AUTORADIOBUTTON, WS_TABSTOP, "704 x 576", {11, 20, 43, 10}},
    {1055, "Button", BS_AUTORADIOBUTTON, 0, "640 x 480", {11, 37, 43, 10}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "&RGB Format", {95, 9, 74, 63}},
    {1057, "Button", BS_AUTORADIOBUTTON, WS_TABSTOP, "24 bit RGB", {102, 24, 53, 10}},
    {1058, "Button", BS_AUTORADIOBUTTON, 0, "16 bit RGB", {102, 40, 53, 10}},
    {1059, "Button", BS_AUTORADIOBUTTON, 0, "8 bit RGB", {102, 56, 53, 10}},
    {1063, "Edit", ES_AUTOHSCROLL, WS_TABSTOP, "", {103, 100, 20, 13}},
    {-1, "Static", SS_LEFT, WS_GROUP, "x", {129, 102, 8, 8}},
    {1064, "Edit", ES_AUTOHSCROLL, WS_TABSTOP, "", {139, 100, 22, 13}},
    {1066, "Static", SS_LEFT, WS_GROUP, "(CIF)", {57, 54, 22, 8}},
    {1067, "Static", SS_LEFT, WS_GROUP, "(SIF)", {57, 71, 22, 8}},
    {-1, "Static", SS_LEFT, WS_GROUP, "(QCIF)", {57, 88, 22, 8}},
    {-1, "Static", SS_LEFT, WS_GROUP, "(QSIF)", {57, 105, 22, 8}},
    {1068, "Static", SS_LEFT, WS_GROUP, "(4CIF)", {57, 20, 22, 8}},
    {1069, "Static", SS_LEFT, WS_GROUP, "(VGA)", {57, 37, 22, 8}},
    {-1, "Button", BS_GROUPBOX, WS_GROUP, "&Custom Image Size", {94, 85, 74, 39}},
};
const TemplateSpec kVideoFormatTemplates[] = {
    {105, "Video Format", 0, 0, 175, 159},
    {108, "Format vid\xE9o", 0, 0, 181, 159},
    {111, "Videoformat", 0, 0, 175, 159},
    {114,
     "Formato de v\xED"
     "deo",
     0, 0, 181, 159},
    {117, "Formato video", 0, 0, 200, 159},
    {120,
     "Formato de v\xED"
     "deo",
     0, 0, 191, 159},
};
const TextSpec kVideoFormatTexts[] = {
    {1, {"&OK", "&OK", "&OK", "&Aceptar", "&OK", "&OK"}},
    {2, {"&Cancel", "&Annuler", "&L\xF6schen", "&Cancelar", "&Cancellare", "&Cancelar"}},
    {-1,
     {"&Image Size", "&Dimension de l'image",
      "&Bildgr\xF6\xDF"
      "e",
      "Tama\xF1o de la &imagen", "&Dimensione dell'immagine", "Tamanho da &imagem"}},
    {-1, {"&RGB Format", "&Format de l'image", "&RGB Format", "Formato de la &imagen", "&RGB formato", "&RGB Formato"}},
    {1057, {"24 bit RGB", "24 bit RGB", "24 bit RGB", "24 bit RGB", "24 bit RGB", "RGB de 24 bits"}},
    {1058, {"16 bit RGB", "16 bit RGB", "16 bit RGB", "16 bit RGB", "16 bit RGB", "RGB de 16 bits"}},
    {1059, {"8 bit RGB", "8 bit RGB", "8 bit RGB", "8 bit RGB", "8 bit RGB", "RGB de 8 bits"}},
    {-1,
     {"&Custom Image Size", "Dimension d'image",
      "&Kundenspez. Gr\xF6\xDF"
      "e",
      "Tama\xF1o a medida", "&Dimensione persona", "Tamanho Usual"}},
};
const ControlSpec kDriverSettingsLayout[] = {
    {1110, "Static", SS_LEFT, WS_GROUP, "", {81, 36, 70, 8}},
    {1109, "Static", SS_LEFT, WS_GROUP, "", {81, 23, 70, 8}},
    {1111, "Static", SS_LEFT, WS_GROUP, "", {81, 74, 70, 8}},
    {1100, "Static", SS_CENTER, WS_GROUP, "Retrieving Camera Details, please wait...", {13, 49, 146, 8}},
    {1, "Button", BS_DEFPUSHBUTTON, WS_TABSTOP, "OK", {63, 99, 50, 14}},
    {1102, "Static", SS_LEFT, WS_GROUP, "Version :", {33, 10, 30, 8}},
    {1107, "Static", SS_LEFT, WS_GROUP, "", {81, 10, 70, 8}},
    {1103, "Static", SS_LEFT, WS_GROUP, "Build Date :", {33, 23, 40, 8}},
    {1104, "Static", SS_LEFT, WS_GROUP, "Port :", {33, 36, 37, 8}},
    {1105, "Static", SS_LEFT, WS_GROUP, "Language :", {33, 75, 38, 8}},
    {1101, "Static", SS_LEFT, WS_GROUP, "Sensor :", {33, 49, 32, 8}},
    {1108, "Static", SS_LEFT, WS_GROUP, "", {81, 49, 78, 8}},
    {1113, "Static", SS_LEFT, WS_GROUP, "Firmware :", {33, 62, 36, 8}},
    {1114, "Static", SS_LEFT, WS_GROUP, "", {81, 62, 69, 7}},
};

struct TemplateSet {
    const char* name;
    const ControlSpec* layout;
    size_t layoutCount;
    const TemplateSpec* templates;
    const TextSpec* texts;
    size_t textCount;
};

#define TEMPLATE_SET(name, prefix)                                                                                \
    {                                                                                                             \
        name, prefix##Layout, sizeof prefix##Layout / sizeof prefix##Layout[0], prefix##Templates, prefix##Texts, \
            sizeof prefix##Texts / sizeof prefix##Texts[0]                                                        \
    }

const TemplateSet kSets[] = {
    TEMPLATE_SET("Camera Settings", kCameraSettings),
    TEMPLATE_SET("Advanced Camera Settings", kAdvancedSettings),
    TEMPLATE_SET("Video Format", kVideoFormat),
};

// One control as the window system's picture of a dialog lists it.
struct Child {
    std::string kind;
    int id;
    std::string text;
    RECT rect;  // client pixels
};

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

class Templates : public FreshHome {
protected:
    HINSTANCE module = GetModuleHandleA(nullptr);

    void SetUp() override {
        FreshHome::SetUp();
        static bool registered = false;
        if (!registered) registered = RegisterZoomControlClass(module);
    }
    void TearDown() override {
        PosixResetWindows();
        FreshHome::TearDown();
    }

    HWND Open(int id) { return CreateDialogParamA(module, MAKEINTRESOURCEA(id), nullptr, QuietProc, 0); }

    std::vector<Child> Children(HWND dialog) {
        std::vector<Child> children;
        std::istringstream lines(PosixDescribeWindow(dialog));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("  ", 0) != 0) continue;
            size_t open = line.find('"'), close = line.rfind('"');
            Child child;
            char kind[32];
            if (sscanf(line.c_str(), "%31s %d", kind, &child.id) != 2) continue;
            child.kind = kind;
            child.text = line.substr(open + 1, close - open - 1);
            int x, y, w, h;
            if (sscanf(line.c_str() + close + 1, " at %d,%d %dx%d", &x, &y, &w, &h) != 4) continue;
            child.rect = {x, y, x + w, y + h};
            children.push_back(child);
        }
        return children;
    }

    POINT Pixels(HWND dialog, int x, int y) {
        RECT r = {0, 0, x, y};
        MapDialogRect(dialog, &r);
        return {r.right, r.bottom};
    }
};

std::string KindOf(const ControlSpec& spec) {
    std::string name = spec.className;
    if (name == "Static") return "static";
    if (name == "Edit") return "edit";
    if (name == "ScrollBar") return "scrollbar";
    if (name == "czoom") return "czoom";
    switch (spec.type) {
        case BS_DEFPUSHBUTTON:
            return "defbutton";
        case BS_GROUPBOX:
            return "groupbox";
        case BS_AUTORADIOBUTTON:
            return "radio";
        case BS_AUTOCHECKBOX:
            return "checkbox";
        default:
            return "button";
    }
}

// The text a control has in language `language` (0 English ... 5 Portuguese).
std::string TextIn(const TemplateSet& set, const ControlSpec& spec, int language) {
    for (size_t i = 0; i < set.textCount; i++) {
        const TextSpec& t = set.texts[i];
        if (t.id == spec.id && (spec.id != -1 || std::string(t.texts[0]) == spec.text)) return t.texts[language];
    }
    return spec.text;
}

// The window system's picture shows texts in UTF-8; the templates hold
// Windows-1252, whose letters used here are the Latin-1 ones.
std::string Utf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += (char)c;
        } else {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string WindowText(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

DWORD StyleOf(HWND window) {
    return (DWORD)GetWindowLongA(window, GWL_STYLE);
}

const DWORD kDialogStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;

TEST_F(Templates, EveryTemplateHasItsCaptionStyleAndPlace) {
    std::vector<TemplateSpec> all = {{IDD_DRIVER_SETTINGS, "Video Capture Settings", 0, 0, 173, 124}};
    for (const TemplateSet& set : kSets)
        for (int language = 0; language < 6; language++) all.push_back(set.templates[language]);
    for (const TemplateSpec& spec : all) {
        SCOPED_TRACE(spec.id);
        HWND dialog = Open(spec.id);
        ASSERT_NE(dialog, nullptr) << PosixLastProblem();
        EXPECT_EQ(WindowText(dialog), spec.caption);
        EXPECT_EQ(StyleOf(dialog) & 0xFFFF00FFu, kDialogStyle);
        RECT client, window;
        GetClientRect(dialog, &client);
        GetWindowRect(dialog, &window);
        POINT size = Pixels(dialog, spec.width, spec.height);
        EXPECT_EQ(client.right, size.x);
        EXPECT_EQ(client.bottom, size.y);
        POINT place = Pixels(dialog, spec.x, spec.y);
        EXPECT_EQ(window.left, place.x);
        EXPECT_EQ(window.top, place.y);
        DestroyWindow(dialog);
    }
}

TEST_F(Templates, TheEnglishTemplatesHoldEveryControlWhereItBelongs) {
    struct English {
        int id;
        const ControlSpec* layout;
        size_t count;
    };
    std::vector<English> english = {
        {IDD_DRIVER_SETTINGS, kDriverSettingsLayout, sizeof kDriverSettingsLayout / sizeof kDriverSettingsLayout[0]}};
    for (const TemplateSet& set : kSets) english.push_back({set.templates[0].id, set.layout, set.layoutCount});
    for (const English& e : english) {
        HWND dialog = Open(e.id);
        ASSERT_NE(dialog, nullptr) << PosixLastProblem();
        std::vector<Child> children = Children(dialog);
        ASSERT_EQ(children.size(), e.count) << e.id;
        for (size_t i = 0; i < e.count; i++) {
            const ControlSpec& spec = e.layout[i];
            const Child& child = children[i];
            SCOPED_TRACE(std::to_string(e.id) + " control " + std::to_string(i) + " " + spec.text);
            EXPECT_EQ(child.id, spec.id);
            EXPECT_EQ(child.kind, KindOf(spec));
            EXPECT_EQ(child.text, spec.text);
            POINT at = Pixels(dialog, spec.units.x, spec.units.y);
            POINT size = Pixels(dialog, spec.units.width, spec.units.height);
            EXPECT_EQ(child.rect.left, at.x);
            EXPECT_EQ(child.rect.top, at.y);
            EXPECT_EQ(child.rect.right - child.rect.left, size.x);
            EXPECT_EQ(child.rect.bottom - child.rect.top, size.y);
            if (spec.id == -1) continue;
            HWND control = GetDlgItem(dialog, spec.id);
            ASSERT_NE(control, nullptr);
            char className[32] = "";
            GetClassNameA(control, className, sizeof className);
            EXPECT_EQ(strcasecmp(className, spec.className), 0) << className;
            DWORD style = StyleOf(control);
            EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), (DWORD)(WS_CHILD | WS_VISIBLE));
            EXPECT_EQ(style & (WS_GROUP | WS_TABSTOP), spec.flags);
            if (std::string(spec.className) == "Edit") {
                EXPECT_EQ(style & (WS_BORDER | ES_AUTOHSCROLL), (DWORD)(WS_BORDER | ES_AUTOHSCROLL));
            } else if (std::string(spec.className) != "czoom") {
                EXPECT_EQ(style & 0x0F, spec.type);
            }
        }
        DestroyWindow(dialog);
    }
}

TEST_F(Templates, EveryLanguageHasTheEnglishControlsWithItsOwnTextsInsideTheDialog) {
    for (const TemplateSet& set : kSets) {
        HWND englishDialog = Open(set.templates[0].id);
        ASSERT_NE(englishDialog, nullptr);
        for (int language = 0; language < 6; language++) {
            int id = set.templates[language].id;
            HWND dialog = Open(id);
            ASSERT_NE(dialog, nullptr) << PosixLastProblem();
            std::vector<Child> children = Children(dialog);
            ASSERT_EQ(children.size(), set.layoutCount) << id;
            RECT client;
            GetClientRect(dialog, &client);
            for (size_t i = 0; i < set.layoutCount; i++) {
                const ControlSpec& spec = set.layout[i];
                const Child& child = children[i];
                SCOPED_TRACE(std::to_string(id) + " control " + std::to_string(i) + " " + spec.text);
                EXPECT_EQ(child.id, spec.id);
                EXPECT_EQ(child.kind, KindOf(spec));
                EXPECT_EQ(child.text, Utf8(TextIn(set, spec, language)));
                if (spec.id != -1) {
                    EXPECT_EQ(WindowText(GetDlgItem(dialog, spec.id)), TextIn(set, spec, language));
                }
                EXPECT_GE(child.rect.left, 0);
                EXPECT_GE(child.rect.top, 0);
                EXPECT_LE(child.rect.right, client.right);
                EXPECT_LE(child.rect.bottom, client.bottom);
                if (spec.id != -1) {
                    EXPECT_EQ(StyleOf(GetDlgItem(dialog, spec.id)), StyleOf(GetDlgItem(englishDialog, spec.id)));
                }
            }
            // The dialog procedure's fourth depth choice is in no template.
            EXPECT_EQ(GetDlgItem(dialog, IDC_DEPTH_I420), nullptr);
            DestroyWindow(dialog);
        }
        DestroyWindow(englishDialog);
    }
}

TEST_F(Templates, TheTraceWindowIsAResizableFrameAroundOneUnsortedList) {
    HWND window = Open(IDD_TRACE_WINDOW);
    ASSERT_NE(window, nullptr) << PosixLastProblem();
    EXPECT_EQ(WindowText(window), "Driver Message Trace");
    DWORD style = StyleOf(window);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME),
              (DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
    EXPECT_FALSE(IsWindowVisible(window)) << "its own procedure shows it";
    RECT client;
    GetClientRect(window, &client);
    POINT size = Pixels(window, 226, 158);
    EXPECT_EQ(client.right, size.x);
    EXPECT_EQ(client.bottom, size.y);
    std::vector<Child> children = Children(window);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].id, IDC_TRACE_LIST);
    POINT at = Pixels(window, 1, 2);
    POINT extent = Pixels(window, 223, 156);
    EXPECT_EQ(children[0].rect.left, at.x);
    EXPECT_EQ(children[0].rect.top, at.y);
    EXPECT_EQ(children[0].rect.right - children[0].rect.left, extent.x);
    EXPECT_EQ(children[0].rect.bottom - children[0].rect.top, extent.y);
    HWND list = GetDlgItem(window, IDC_TRACE_LIST);
    DWORD listStyle = StyleOf(list);
    EXPECT_EQ(listStyle & (LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL),
              (DWORD)(LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL));
    // Lines keep the order they came in.
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b line"));
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a line"));
    char text[16] = "";
    SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "b line");
}

TEST_F(Templates, TheVersionRecordNamesTheDriverAndItsVersion) {
    char file[MAX_PATH] = "";
    ASSERT_GT(GetModuleFileNameA(module, file, sizeof file), 0u);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &handle);
    ASSERT_GT(size, 0u) << PosixLastProblem();
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(file, handle, size, block.data()));
    struct Field {
        const char* key;
        const char* value;
    };
    for (Field field : {Field{"FileVersion", "1.0.3.0"}, Field{"OriginalFilename", "mbktarn2u.drv"}}) {
        std::string query = std::string("\\StringFileInfo\\040904e4\\") + field.key;
        void* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), &value, &length)) << query;
        EXPECT_STREQ(static_cast<const char*>(value), field.value);
    }
}

}  // namespace
