// Private control messages tunnelled through DVM_FORMAT SET on VIDEO_IN, with
// the read-back fetched by the next GET of the current format, acting on the
// simulated camera.
#include "driver_support.h"

namespace {

const DWORD kNone = 0xFFFFFFFF;

class PrivateMessages : public DriverHost {
protected:
    void SetUp() override {
        DriverHost::SetUp();
        OpenVideoIn();
    }
    // The parameter bytes of the SetFlicker commands sent since `from`.
    static std::vector<int> FlickerCommands(int from) {
        std::vector<int> sent;
        SimCommandRecord record;
        for (int i = from; SimGetCommand(i, &record); i++)
            if (record.module == ZELT_GROUP_PROCESSOR && record.command == 10)
                sent.push_back(record.parameters[0] << 8 | record.parameters[1]);
        return sent;
    }
};

// Each row, in order on one camera, writes its data (unless none) and reads
// the message back (with the data bytes `in`): the answer under the mask, or
// kNone when the read fails. A refused write shows as the earlier answer.
TEST_F(PrivateMessages, EachMessageWritesAndReadsBackItsSetting) {
    DriverOptions = OPT_BRINGUP_BOXES | OPT_NO_IRQ;
    const BITMAPINFOHEADER format = CurrentFormat(videoIn);
    // Lighting: banding goes off with the old period, then on with 50 Hz's.
    EXPECT_EQ(Camera().flickerPeriod, 76) << "the load: 60 Hz, banding on";
    int from = SimCommandCount();
    Write(0x51, Bytes(0, 0, 1, 0));
    EXPECT_EQ(FlickerCommands(from), (std::vector<int>{0x004C, 0x015C}));
    EXPECT_EQ(Camera().flickerMode, 1);
    EXPECT_EQ(Camera().flickerPeriod, 92);
    // clang-format off
    const struct { const char* name; DWORD number, write, in, read, mask; } rows[] = {
        {"firmware 1.3, the other bytes as sent",  0x21, kNone, 0xAABB0000, Bytes(1, 3, 0xBB, 0xAA), ~0u},
        {"firmware is read only",                  0x21, 0x0505, 0, Bytes(1, 3, 0, 0), ~0u},
        {"port 1, mode 0x57, the driver options",  0x24, 0x0505, 0, Bytes(1, 0x57, 0x84, 0), ~0u},
        {"pausing is write only",                  0x25, kNone, 0, kNone, 0},
        {"lighting: banding on, 50 Hz",           0x51, kNone, 0, Bytes(2, 0, 1, 0), ~0u},
        {"lighting: backlight on",                 0x51, Bytes(0x99, 1, 1, 0), 0, Bytes(2, 1, 1, 0), ~0u},
        {"lighting: no such mains",                0x51, Bytes(0, 0, 0, 2), 0, Bytes(2, 1, 1, 0), ~0u},
        {"colour",                                 0x40, Bytes(80, 20, 30, 0), 0, Bytes(80, 20, 30, 0), 0xFFFFFF},
        {"compression",                            0x41, Bytes(0x11, 70, 30, 60), 0, Bytes(0x11, 70, 30, 60), ~0u},
        {"the fixed quality is clamped",           0x41, Bytes(0x02, 50, 50, 200), 0, Bytes(0x02, 50, 50, 100), ~0u},
        {"no such mode",                           0x41, Bytes(0x03, 50, 50, 50), 0, Bytes(0x02, 50, 50, 100), ~0u},
        {"no such conference mode",                0x41, Bytes(0x21, 50, 50, 50), 0, Bytes(0x02, 50, 50, 100), ~0u},
        {"conference level over 100",              0x41, Bytes(0x01, 101, 50, 50), 0, Bytes(0x02, 50, 50, 100), ~0u},
        {"capture level over 100",                 0x41, Bytes(0x01, 50, 255, 50), 0, Bytes(0x02, 50, 50, 100), ~0u},
        {"the load's automatic rate goes off",     0x50, Bytes(3, 0, 0, 0), 0, Bytes(1, 0, 0, 0), 0xFFFF},
        {"then the step changes",                  0x50, Bytes(3, 0, 0, 0), 0xCCDD0000, Bytes(3, 0, 0xDD, 0xCC), ~0u},
        {"step 0",                                 0x50, Bytes(0, 0, 0, 0), 0, Bytes(3, 0, 0, 0), 0xFFFF},
        {"step 6",                                 0x50, Bytes(6, 0, 0, 0), 0, Bytes(3, 0, 0, 0), 0xFFFF},
        {"step 9",                                 0x50, Bytes(9, 0, 0, 0), 0, Bytes(3, 0, 0, 0), 0xFFFF},
        {"step 255",                               0x50, Bytes(255, 0, 0, 0), 0, Bytes(3, 0, 0, 0), 0xFFFF},
        {"automatic 2",                            0x50, Bytes(1, 2, 0, 0), 0, Bytes(3, 0, 0, 0), 0xFFFF},
        // The window in quarter pixels, with the pan/tilt bit; bit 0 of d0
        // says narrower and lower than the sensor.
        {"176 x 256 at (16, 32)",                  0x52, Bytes(0x10, 0x91, 0x04, 0x30), 0, Bytes(0x11, 0x91, 0x04, 0x30), ~0u},
        {"empty",                                  0x52, Bytes(0x10, 0x91, 0x30, 0x04), 0, Bytes(0x11, 0x91, 0x04, 0x30), ~0u},
        {"turned round",                           0x52, Bytes(0x10, 0x11, 0x04, 0x30), 0, Bytes(0x11, 0x91, 0x04, 0x30), ~0u},
        {"below the sensor",                       0x52, Bytes(0x10, 0xA1, 0x04, 0x30), 0, Bytes(0x11, 0x91, 0x04, 0x30), ~0u},
        {"right of the sensor",                    0x52, Bytes(0x10, 0x91, 0x04, 0x60), 0, Bytes(0x11, 0x91, 0x04, 0x30), ~0u},
        {"no width",                               0x52, Bytes(0x10, 0x91, 0x04, 0x04), 0, Bytes(0x11, 0x91, 0x04, 0x30), ~0u},
        {"176 x 288: only narrower",               0x52, Bytes(0x00, 0x91, 0x04, 0x30), 0, Bytes(0x00, 0x91, 0x04, 0x30), ~0u},
        {"176 x 144 at (16, 32)",                  0x52, Bytes(0x10, 0x59, 0x04, 0x30), 0, Bytes(0x11, 0x59, 0x04, 0x30), ~0u},
    };
    // clang-format on
    DWORD data = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.write != kNone) Write(row.number, row.write);
        EXPECT_FALSE(Fetch(&data)) << "a write has no answer";
        bool answered = Read(row.number, &data, row.in);
        EXPECT_EQ(answered, row.read != kNone);
        if (answered && row.read != kNone) {
            EXPECT_EQ(data & row.mask, row.read);
        }
    }
    SimCamera camera = Camera();
    EXPECT_EQ(camera.brightness, 80);
    EXPECT_EQ(camera.colour, 30);
    EXPECT_EQ(camera.divisorExponent, 1);
    // The last window, of the picture's own size, moves it on the sensor.
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
    camera = Camera();
    EXPECT_EQ(camera.videoSize, 1);
    EXPECT_EQ(camera.colStart8, 2);
    EXPECT_EQ(camera.colEnd8, 24);
    EXPECT_EQ(camera.rowStart4, 8);
    EXPECT_EQ(camera.rowEnd4, 44);

    // Unknown numbers fail both ways.
    for (DWORD number : {0u, 32u, 34u, 0x30u, 113u, 200u, 0xFFFFu}) {
        Write(number, 0x01010101);
        EXPECT_FALSE(Read(number, &data)) << number;
    }
    // A later read overwrites an answer that was not fetched; the marker's
    // top bit is not part of it.
    EXPECT_EQ(Private(kRead, 0x24, 0), 17u);
    EXPECT_EQ(Private(static_cast<LONG>(0x80000000u | kRead), 0x21, 0), 17u);
    ASSERT_TRUE(Fetch(&data));
    EXPECT_EQ(data & 0xFFFF, 0x0301u);
    EXPECT_EQ(memcmp(&format, &currentFormat, sizeof format), 0) << "a private message is no format";
    Write(0x50, Bytes(5, 0, 0, 0));  // the slowest step exists too
    ASSERT_TRUE(Read(0x50, &data));
    EXPECT_EQ(data & 0xFFFF, 5u);
}

}  // namespace
