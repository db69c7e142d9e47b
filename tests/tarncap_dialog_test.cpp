// tarncap dialog as a person runs it: the dialog printed before and after
// the script, what the script changed as the driver stored it, and clear
// refusals of what it cannot do.
#include <stdio.h>
#include <sys/wait.h>

#include "test_support.h"

namespace {

class TarncapDialog : public FreshHome {
protected:
    std::string output;
    int Run(const std::string& arguments) { return RunTarncap(home, "dialog " + arguments, &output); }
    size_t Count(const std::string& what) const {
        size_t count = 0;
        for (size_t at = output.find(what); at != std::string::npos; at = output.find(what, at + 1)) count++;
        return count;
    }
};

TEST_F(TarncapDialog, TheScriptDrivesTheDialogAndOkKeepsWhatItDid) {
    ASSERT_EQ(Run("camera --do 'scroll 1000 75; set 1005 30; click 1'"), 0) << output;
    EXPECT_EQ(Count("dialog \"Camera Settings\""), 2u) << output;
    EXPECT_NE(output.find("edit 1001 \"50\""), std::string::npos) << output;  // before
    EXPECT_NE(output.find("edit 1001 \"75\""), std::string::npos) << output;  // after
    EXPECT_NE(output.find("DVM_DIALOG VIDEO_EXTERNALIN -> DV_ERR_OK"), std::string::npos) << output;
    EXPECT_NE(output.find("Brightness=75 Contrast=30 Colour=50"), std::string::npos) << output;
}

TEST_F(TarncapDialog, AdvancedOpensFromTheCameraSettingsButton) {
    ASSERT_EQ(Run("advanced --do 'click 1157; click 1'"), 0) << output;
    EXPECT_EQ(Count("dialog \"Advanced Camera Settings\""), 2u) << output;
    EXPECT_NE(output.find("Backlit=1"), std::string::npos) << output;
}

TEST_F(TarncapDialog, AFormatTheCameraCannotDeliverIsAmendedOnTheWay) {
    ASSERT_EQ(Run("format --do 'set 1063 350; set 1064 250; click 1; click 1'"), 0) << output;
    EXPECT_NE(output.find("Size will be amended to nearest valid size\" -> 1"), std::string::npos) << output;
    EXPECT_NE(output.find("ImageCols=352 ImageRows=252"), std::string::npos) << output;
}

TEST_F(TarncapDialog, TheLanguageChoosesTheTemplateAndIsPutBackAfterwards) {
    ASSERT_EQ(Run("format --lang german --do 'click 2'"), 0) << output;
    EXPECT_NE(output.find("dialog \"Videoformat\""), std::string::npos) << output;
    ASSERT_EQ(Run("format --do 'click 2'"), 0) << output;
    EXPECT_NE(output.find("dialog \"Video Format\""), std::string::npos) << output;
}

TEST_F(TarncapDialog, TheDriverBoxBringsTheCameraUpByItself) {
    ASSERT_EQ(Run("driver --do 'click 1'"), 0) << output;
    EXPECT_NE(output.find("dialog \"Driver Settings\""), std::string::npos) << output;
    EXPECT_NE(output.find("static 1110 \"LPT1 - "), std::string::npos) << output;
    EXPECT_NE(output.find("DRV_CONFIGURE -> 1"), std::string::npos) << output;
    EXPECT_NE(output.find("stored settings: Brightness=50"), std::string::npos) << output;
}

TEST_F(TarncapDialog, WhatItCannotDoIsRefusedWithAReason) {
    struct Case {
        const char* arguments;
        const char* reason;
    };
    const Case cases[] = {
        {"", "dialog wants camera, advanced, format or driver"},
        {"trace", "no dialog called trace"},
        {"camera --lang 9", "--lang wants 0 to 5"},
        {"camera --lang", "--lang needs a value"},
        {"camera --do 'frobnicate 3'", "frobnicate"},
        {"camera --size 3", "dialog does not know --size"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.arguments), 2) << c.arguments;
        EXPECT_NE(output.find(c.reason), std::string::npos) << c.arguments << ": " << output;
    }
}

}  // namespace
