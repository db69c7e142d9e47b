// The Driver Settings dialog through DRV_CONFIGURE, with and without a
// channel holding the camera; and each language's dialogs through DVM_DIALOG
// as the registry selects them.
#include "ui_dialog_support.h"

class DriverSettingsDialog : public DialogUser {
protected:
    struct Shown {
        std::vector<std::string> texts;  // caption, version, build date, port, firmware, language
        std::string sensor;
        bool detailsVisible, waitVisible;
    };
    // DRV_CONFIGURE from a configuration-only open, as a control panel sends
    // it: reads the box once its details are in, then presses OK.
    Shown ReadBox() {
        Shown shown;
        Act({[&shown](HWND d) {
            shown = {{Text(d), Text(d, IDC_VERSION), Text(d, IDC_BUILD_DATE), Text(d, IDC_PORT), Text(d, IDC_FIRMWARE),
                      Text(d, IDC_LANGUAGE)},
                     Text(d, IDC_SENSOR),
                     IsWindowVisible(GetDlgItem(d, IDC_FIRMWARE_LABEL)) != FALSE,
                     IsWindowVisible(GetDlgItem(d, IDC_RETRIEVING)) != FALSE};
            PosixClick(d, IDOK);
        }});
        EXPECT_EQ(Send(0, DRV_OPEN, 0, 0), 1);
        EXPECT_EQ(Send(1, DRV_CONFIGURE, 0, 0), 1);
        Send(1, DRV_CLOSE);
        EXPECT_TRUE(AllStepsRan());
        return shown;
    }
};

// The camera dialog (caption and Cancel), Advanced opened from it and Video
// Format, in the language the registry's number selects.
TEST_F(DriverSettingsDialog, EveryDialogOpensInTheRegistrysLanguage) {
    struct Row {
        DWORD number;
        std::vector<std::string> shown;
    };
    // clang-format off
    const Row rows[] = {
        {0, {"Camera Settings", "&Cancel", "Advanced Camera Settings", "Video Format"}},
        {1, {"Param\xE8tres cam\xE9ra", "&Annuler", "Param\xE8tres avanc\xE9s cam\xE9ra", "Format vid\xE9o"}},
        {2, {"Settaggi della camera", "&Cancellare", "Settaggi camera avanzati", "Formato video"}},
        {3, {"Kameraeinstellungen", "&L\xF6schen", "Erweiterte Kameraeinstellungen", "Videoformat"}},
        {4, {"Ajustes de la c\xE1mara", "&Cancelar", "Ajustes avanzados de la c\xE1mara", "Formato de v\xED" "deo"}},
        {5, {"Configura\xE7\xF5" "es da C\xE2mera", "&Cancelar", "Configura\xE7\xF5" "es Avan\xE7" "adas da C\xE2mera", "Formato de v\xED" "deo"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        WriteRegDword("Language", row.number);
        DWORD_PTR externalIn = Open(VIDEO_EXTERNALIN), videoIn = Open(VIDEO_IN);
        ASSERT_GT(externalIn, 1u);
        ASSERT_GT(videoIn, 1u);
        std::vector<std::string> shown;
        Show(externalIn, {[&](HWND d) {
                              shown = {Text(d), Text(d, IDCANCEL)};
                              PosixClick(d, IDC_ADVANCED);
                          },
                          [&](HWND d) {
                              shown.push_back(Text(d));
                              PosixClick(d, IDOK);
                          },
                          [](HWND d) { PosixClick(d, IDOK); }});
        Show(videoIn, {[&](HWND d) {
                 shown.push_back(Text(d));
                 PosixClick(d, IDOK);
             }});
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(Close(externalIn), 1);
        EXPECT_EQ(Close(videoIn), 1);
    }
}
