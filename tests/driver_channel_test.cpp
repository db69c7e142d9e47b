// The channel dispatcher, format negotiation and the start-up, through
// DriverProc on opened channels.
#include "driver_support.h"
#include "sim/sim.h"

namespace {

class Channel : public DriverHost {
protected:
    DWORD_PTR videoIn = 0, external = 0;
    void SetUp() override {
        DriverHost::SetUp();
        videoIn = Open(VIDEO_IN);
        external = Open(VIDEO_EXTERNALIN);
        ASSERT_GT(videoIn, 1u);
        ASSERT_GT(external, 1u);
    }
    LRESULT Config(DWORD_PTR channel, UINT msg, DWORD flags, VIDEOCONFIGPARMS* parms) {
        return Send(channel, msg, flags, reinterpret_cast<LPARAM>(parms));
    }
};

TEST_F(Channel, QueriesAnswerWithoutACamera) {
    DWORD word = 12345;
    EXPECT_EQ(Send(videoIn, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(&word)), DV_ERR_OK);
    EXPECT_EQ(word, 80u);
    EXPECT_EQ(Send(videoIn, DVM_GETVIDEOAPIVER, 0), DV_ERR_PARAM1);
    char text[16] = "junk";
    VIDEO_GETERRORTEXT_PARMS error = {5, text, sizeof text};
    EXPECT_EQ(Send(videoIn, DVM_GETERRORTEXT, reinterpret_cast<LPARAM>(&error)), DV_ERR_OK);
    EXPECT_STREQ(text, "");
    error.dwLength = 0;
    EXPECT_EQ(Send(videoIn, DVM_GETERRORTEXT, reinterpret_cast<LPARAM>(&error)), DV_ERR_NOTSUPPORTED);
    error.dwLength = 16;
    error.lpText = nullptr;
    EXPECT_EQ(Send(videoIn, DVM_GETERRORTEXT, reinterpret_cast<LPARAM>(&error)), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_GETERRORTEXT, 0), DV_ERR_NOTSUPPORTED);
}

TEST_F(Channel, UnsupportedAndUnknownMessagesAreRefused) {
    for (UINT msg :
         std::initializer_list<UINT>{DVM_CONFIGURESTORAGE, DVM_GET_CHANNEL_CAPS, DVM_UPDATE, DVM_PALETTERGB555,
                                     DVM_SRC_RECT, DVM_DST_RECT, 0x4190u, 0x0800u, 0x1006u, 0xFFFFu}) {
        EXPECT_EQ(Send(videoIn, msg, 1, 2), DV_ERR_NOTSUPPORTED) << std::hex << msg;
        EXPECT_EQ(Send(external, msg, 1, 2), DV_ERR_NOTSUPPORTED) << std::hex << msg;
    }
    // The stream range reaches the stream engine, which refuses the
    // external channel whatever the message.
    for (UINT msg = DVM_STREAM_MSG_START; msg <= DVM_STREAM_MSG_END; msg += 7)
        EXPECT_EQ(Send(external, msg, 0, 0), DV_ERR_NOTSUPPORTED);
}

TEST_F(Channel, DialogQueriesShowNothing) {
    EXPECT_EQ(Send(videoIn, DVM_DIALOG, 0, VIDEO_DLG_QUERY), DV_ERR_OK);
    EXPECT_EQ(Send(external, DVM_DIALOG, 0, VIDEO_DLG_QUERY), DV_ERR_OK);
}

TEST_F(Channel, SingleFramesCheckTheHeaderFirst) {
    BYTE buffer[64];
    VIDEOHDR header;
    memset(&header, 0, sizeof header);
    header.lpData = buffer;
    header.dwBufferLength = sizeof buffer;
    header.dwFlags = VHDR_PREPARED;
    VIDEOHDR before = header;
    EXPECT_EQ(Send(external, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(memcmp(&header, &before, sizeof header), 0);
    EXPECT_EQ(Send(videoIn, DVM_FRAME, 0), DV_ERR_PARAM1);
    header.dwBufferLength = 0;
    EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_PARAM1);
    header.dwBufferLength = sizeof buffer;
    header.lpData = nullptr;
    EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_PARAM1);
    // A buffer smaller than the picture: the grab fails and the header is
    // left as it was.
    header.lpData = buffer;
    EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_SYNC);
    EXPECT_EQ(memcmp(&header, &before, sizeof header), 0);
}

TEST_F(Channel, FormatMessagesFollowTheirFlagWords) {
    BITMAPINFOHEADER format;
    memset(&format, 0x5A, sizeof format);
    DWORD answer = 0;
    VIDEOCONFIGPARMS parms = {&answer, &format, 39, nullptr, 0};
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x2010, &parms), DV_ERR_SIZEFIELD);
    EXPECT_EQ(reinterpret_cast<BYTE*>(&format)[0], 0x5A);  // nothing copied
    parms.dwSize1 = 40;
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x2010, &parms), DV_ERR_OK);
    EXPECT_EQ(memcmp(&format, &currentFormat, sizeof format), 0);
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x2001, &parms), DV_ERR_OK);
    EXPECT_EQ(answer, 50u);
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0xA000, &parms), DV_ERR_OK);
    for (DWORD flags : {0x1010u, 0x9000u, 0x2000u, 0u, 0x3000u})
        EXPECT_EQ(Config(videoIn, DVM_FORMAT, flags, &parms), DV_ERR_NOTSUPPORTED) << std::hex << flags;
    // The current format again: accepted without asking the device.
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, &parms), DV_ERR_OK);
    // A private message is always answered "not supported".
    BITMAPINFOHEADER marked = format;
    marked.biXPelsPerMeter = static_cast<LONG>(0xA3680021u);  // write marker with bit 31, message 33
    parms.lpData1 = &marked;
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, &parms), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(memcmp(&format, &currentFormat, sizeof format), 0);
    // Short or missing requests are refused unread.
    parms.dwSize1 = 20;
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, &parms), DV_ERR_SIZEFIELD);
    parms.lpData1 = nullptr;
    parms.dwSize1 = 40;
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, &parms), DV_ERR_PARAM1);
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, nullptr), DV_ERR_PARAM2);
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x2001, nullptr), DV_ERR_PARAM2);
    // Only the VIDEO_IN channel negotiates.
    EXPECT_EQ(Config(external, DVM_FORMAT, 0x2010, &parms), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Config(external, DVM_PALETTE, 0xA000, &parms), DV_ERR_NOTSUPPORTED);
}

TEST_F(Channel, PaletteMessagesFollowTheirFlagWords) {
    BYTE palette[4 + 256 * 4] = {0};  // a LOGPALETTE of 256 entries
    DWORD answer = 77;
    VIDEOCONFIGPARMS parms = {&answer, palette, sizeof palette, nullptr, 0};
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x0001, &parms), DV_ERR_OK);
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x2001, &parms), DV_ERR_OK);
    EXPECT_NE(answer, 77u);
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1010, &parms), DV_ERR_OK);  // SET with CURRENT is a SET here
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x2000, &parms), DV_ERR_OK);
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x9000, &parms), DV_ERR_OK);
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0xA000, &parms), DV_ERR_OK);
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x2002, &parms), DV_ERR_NOTSUPPORTED);
    // A palette whose header claims more entries than its block holds is
    // refused before anything reads them.
    palette[1] = 0x03;  // version 0x300
    palette[3] = 0x01;  // 256 entries
    parms.dwSize1 = 4 + 255 * 4;
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1000, &parms), DV_ERR_SIZEFIELD);
    parms.dwSize1 = 3;
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1000, &parms), DV_ERR_SIZEFIELD);
    parms.lpData1 = nullptr;
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1000, &parms), DV_ERR_PARAM1);
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1000, nullptr), DV_ERR_PARAM1);
}

class Startup : public DriverHost {
protected:
    void OpenWith(const char* openString) {
        DWORD_PTR channel = Open(VIDEO_IN, openString);
        ASSERT_GT(channel, 1u) << openString;
        ASSERT_EQ(Close(channel), 1);
    }
};

TEST_F(Startup, TheOpenStringNamesTheIniFileAndThePort) {
    OpenWith("");
    EXPECT_STREQ(iniPath, "mbkzelt.ini");
    EXPECT_EQ(portNumber, 1u);                        // none preferred: the first port
    ASSERT_EQ(SimSetScenario("port 2 camera\n"), 1);  // the camera where the string says
    OpenWith("lpt2 c:\\cam\\MySet.Ini");
    EXPECT_STREQ(iniPath, "c:\\cam\\MySet.Ini");
    EXPECT_EQ(portNumber, 2u);
    WriteRegDword("LPTPort", 3);
    ASSERT_EQ(SimSetScenario("port 3 camera\n"), 1);
    OpenWith("LPT4");
    EXPECT_EQ(portNumber, 3u);
    OpenWith("x.inifile y");
    EXPECT_STREQ(iniPath, "x.ini");
    std::string tooLong(300, 'a');
    tooLong += " LPT2 b.ini";
    OpenWith(tooLong.c_str());
    EXPECT_STREQ(iniPath, "mbkzelt.ini");  // keywords are not searched in so long a string
    EXPECT_EQ(portNumber, 3u);
    DWORD_PTR channel = Open(VIDEO_IN, nullptr);  // a null string reads as empty
    EXPECT_GT(channel, 1u);
}

TEST_F(Startup, OptionsComeFromTheRegistry) {
    WriteRegDword("DebugLevel", 0x10004);
    WriteRegDword("DisableECP", 1);
    WriteRegDword("DisableDMA", 2);
    WriteRegDword("DisableFDMA", 0);
    WriteRegDword("DisableIRQ", 5);
    OpenWith("");
    EXPECT_EQ(DriverOptions, OPT_BRINGUP_BOXES | OPT_NO_ECP | OPT_NO_DMA | OPT_NO_IRQ);
}

TEST_F(Startup, TheLanguageChoosesTheDialogs) {
    struct Case {
        bool asNumber;
        DWORD number;
        const char* name;
        UINT camera, advanced, format;
    } cases[] = {
        {false, 0, nullptr, 103, 104, 105},
        {true, 3, nullptr, 109, 110, 111},
        {true, 7, nullptr, 103, 104, 105},
        {true, 5, nullptr, 118, 119, 120},
        {false, 0, "german", 103, 104, 105},
        {false, 0, "Portugese", 118, 119, 120},
        {false, 0,
         "Fran\xE7"
         "ais",
         106, 107, 108},
        {false, 0, "Espa\xF1ol", 112, 113, 114},
        {false, 0, "Italian", 115, 116, 117},
        {false, 0, "Deutsch", 109, 110, 111},
    };
    for (const Case& c : cases) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegDeleteValueA(key, "Language");
        if (c.asNumber) RegSetValueExA(key, "Language", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.number), 4);
        if (c.name)
            RegSetValueExA(key, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.name),
                           static_cast<DWORD>(strlen(c.name) + 1));
        RegCloseKey(key);
        OpenWith("");
        EXPECT_EQ(cameraSettingsDialogId, c.camera) << (c.name ? c.name : "number");
        EXPECT_EQ(advancedSettingsDialogId, c.advanced);
        EXPECT_EQ(videoFormatDialogId, c.format);
    }
}

}  // namespace
