// The Driver Settings dialog through DRV_CONFIGURE, with and without a
// channel holding the camera; and every language's templates opened through
// DVM_DIALOG in the language the registry selects.
#include "ui_dialog_support.h"

class DriverSettingsDialog : public DialogUser {
protected:
    // DRV_CONFIGURE from a configuration-only open, as a control panel sends it.
    LRESULT Configure() {
        EXPECT_EQ(Send(0, DRV_OPEN, 0, 0), 1);
        LRESULT result = Send(1, DRV_CONFIGURE, 0, 0);
        Send(1, DRV_CLOSE);
        return result;
    }
    struct Shown {
        std::string caption, version, date, port, sensor, firmware, language;
        bool detailsVisible = false, waitVisible = true;
    };
    // Reads the box once its details are in, then presses OK.
    void ReadBox(Shown* shown) {
        Act({[shown](HWND d) {
            shown->caption = Text(d);
            shown->version = Text(d, IDC_VERSION);
            shown->date = Text(d, IDC_BUILD_DATE);
            shown->port = Text(d, IDC_PORT);
            shown->sensor = Text(d, IDC_SENSOR);
            shown->firmware = Text(d, IDC_FIRMWARE);
            shown->language = Text(d, IDC_LANGUAGE);
            shown->detailsVisible = IsWindowVisible(GetDlgItem(d, IDC_FIRMWARE_LABEL)) != FALSE;
            shown->waitVisible = IsWindowVisible(GetDlgItem(d, IDC_RETRIEVING)) != FALSE;
            PosixClick(d, IDOK);
        }});
        EXPECT_EQ(Configure(), 1);
        EXPECT_TRUE(AllStepsRan());
    }
};

TEST_F(DriverSettingsDialog, WithAChannelOpenOnlyTheRegistryIsRead) {
    ASSERT_GT(Open(VIDEO_IN), 1u);
    WriteRegDword("FW_Version", 0x020A);
    WriteRegDword("PortType", 0x57);
    WriteRegDword("DisableDMA", 1);
    WriteRegText("Language", "Deutsch");
    int commands = SimCommandCount();
    Shown shown;
    ReadBox(&shown);
    EXPECT_EQ(SimCommandCount(), commands);  // the camera was not touched
    EXPECT_EQ(shown.caption, "Driver Settings");
    EXPECT_EQ(shown.version, "1.0.3.0");
    EXPECT_EQ(shown.date, "Jan  7 1999");
    EXPECT_EQ(shown.port, "LPT1 - ECP *");
    EXPECT_EQ(shown.firmware, "2-10");
    EXPECT_EQ(shown.language, "Deutsch");
    EXPECT_EQ(shown.sensor.size(), 3u);
    EXPECT_TRUE(shown.detailsVisible);
    EXPECT_FALSE(shown.waitVisible);
}

TEST_F(DriverSettingsDialog, AChannelOfThisProcessKeepsItsCameraWhateverTheRegistrySays) {
    DWORD_PTR channel = Open(VIDEO_IN);
    ASSERT_GT(channel, 1u);
    WriteRegDword("Initialised", 0);  // reset by someone else
    int commands = SimCommandCount();
    Shown shown;
    ReadBox(&shown);
    EXPECT_EQ(SimCommandCount(), commands);
    BITMAPINFOHEADER format;
    EXPECT_TRUE(GetImageFormat(&format));  // the channel's device is still selected
}

TEST_F(DriverSettingsDialog, WithoutAChannelTheCameraComesUpAndIsReleasedEachTime) {
    WriteRegDword("Language", 3);
    for (int i = 0; i < 2; i++) {
        WriteRegDword("Brightness", 77);
        DeleteRegValue("Contrast");
        Shown shown;
        ReadBox(&shown);
        EXPECT_EQ(shown.port.substr(0, 7), "LPT1 - ");
        EXPECT_EQ(shown.language, "German");
        EXPECT_EQ(SimOpenLinks(), 0);  // released
        // The release stored the settings the bring-up had applied.
        EXPECT_EQ(ReadRegDword("Brightness", 0), 77u);
        EXPECT_EQ(ReadRegDword("Contrast", 0), 50u);
    }
}

TEST_F(DriverSettingsDialog, ACameraThatIsNotThereIsReportedInTheSensorField) {
    ASSERT_EQ(SimSetScenario("port 1 type 0x01 id MFG:Acme;MDL:Printer;\n"), 1) << PosixLastProblem();
    Shown shown;
    ReadBox(&shown);
    EXPECT_EQ(shown.sensor, "Error initialising camera");
    EXPECT_EQ(shown.port, "");
    EXPECT_EQ(shown.firmware, "");
    EXPECT_EQ(shown.language, "U.S. English");
    EXPECT_EQ(shown.version, "1.0.3.0");
}

// Each language's three camera dialogs, as the registry selects them.
struct LanguageCase {
    DWORD number;
    const char* cameraCaption;
    const char* advancedCaption;
    const char* formatCaption;
    const char* cancel;
};

class DialogLanguages : public DialogUser, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(DialogLanguages, EveryDialogOpensWithItsLanguagesTexts) {
    const LanguageCase& c = GetParam();
    WriteRegDword("Language", c.number);
    DWORD_PTR externalIn = Open(VIDEO_EXTERNALIN);
    DWORD_PTR videoIn = Open(VIDEO_IN);
    ASSERT_GT(externalIn, 1u);
    ASSERT_GT(videoIn, 1u);
    std::string camera, advanced, format, cancel;
    Act({
        [&](HWND d) {
            camera = Text(d);
            cancel = Text(d, IDCANCEL);
            PosixClick(d, IDC_ADVANCED);
        },
        [&](HWND d) {
            advanced = Text(d);
            PosixClick(d, IDOK);
        },
        [](HWND d) { PosixClick(d, IDOK); },
    });
    EXPECT_EQ(ShowDialog(externalIn), (LRESULT)DV_ERR_OK);
    Act({[&](HWND d) {
        format = Text(d);
        PosixClick(d, IDOK);
    }});
    EXPECT_EQ(ShowDialog(videoIn), (LRESULT)DV_ERR_OK);
    EXPECT_EQ(camera, c.cameraCaption);
    EXPECT_EQ(advanced, c.advancedCaption);
    EXPECT_EQ(format, c.formatCaption);
    EXPECT_EQ(cancel, c.cancel);
}

INSTANTIATE_TEST_SUITE_P(
    SixLanguages, DialogLanguages,
    ::testing::Values(
        LanguageCase{0, "Camera Settings", "Advanced Camera Settings", "Video Format", "&Cancel"},
        LanguageCase{1, "Param\xE8tres cam\xE9ra", "Param\xE8tres avanc\xE9s cam\xE9ra", "Format vid\xE9o", "&Annuler"},
        LanguageCase{2, "Settaggi della camera", "Settaggi camera avanzati", "Formato video", "&Cancellare"},
        LanguageCase{3, "Kameraeinstellungen", "Erweiterte Kameraeinstellungen", "Videoformat", "&L\xF6schen"},
        LanguageCase{4, "Ajustes de la c\xE1mara", "Ajustes avanzados de la c\xE1mara",
                     "Formato de v\xED"
                     "deo",
                     "&Cancelar"},
        LanguageCase{5,
                     "Configura\xE7\xF5"
                     "es da C\xE2mera",
                     "Configura\xE7\xF5"
                     "es Avan\xE7"
                     "adas da C\xE2mera",
                     "Formato de v\xED"
                     "deo",
                     "&Cancelar"}));
