// The dialog language, from the registry value "Language" as a number or
// as one of the names below.
#include <string.h>

#include "../settings/registry.h"
#include "driver.h"

const char defaultLanguageName[] = "U.S. English";

UINT cameraSettingsDialogId = 103;
UINT advancedSettingsDialogId = 104;
UINT videoFormatDialogId = 105;

typedef struct LanguageName {
    const char* name;
    int language;
} LanguageName;

// Names in the Windows ANSI code page; compared byte for byte.
static const LanguageName kNames[] = {
    {"Fran\xE7"
     "ais",
     1},
    {"French", 1},
    {"Italiano", 2},
    {"Italian", 2},
    {"Deutsch", 3},
    {"German", 3},
    {"Espa\xF1ol", 4},
    {"Spanish", 4},
    {"Portugese", 5},
    {"Portuguese", 5},
};

int SelectLanguage(void) {
    int language = (int)ReadRegDword("Language", 0);
    char name[80];
    ReadRegString("Language", defaultLanguageName, name, sizeof name);
    for (size_t i = 0; i < sizeof kNames / sizeof kNames[0]; i++)
        if (strcmp(name, kNames[i].name) == 0) return kNames[i].language;
    return language;
}

void SetDialogIds(int language) {
    // Camera Settings, Advanced Camera Settings, Video Format by language.
    static const UINT kIds[6][3] = {
        {103, 104, 105}, {106, 107, 108}, {115, 116, 117}, {109, 110, 111}, {112, 113, 114}, {118, 119, 120},
    };
    int row = language >= 1 && language <= 5 ? language : 0;
    cameraSettingsDialogId = kIds[row][0];
    advancedSettingsDialogId = kIds[row][1];
    videoFormatDialogId = kIds[row][2];
}
