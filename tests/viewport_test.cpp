// The viewport's staging, the size rule and the commands that carry the
// staged settings to the simulated camera.
#include "camera/viewport.h"
#include "device/camera_device.h"
#include "device/device.h"
#include "sim_support.h"

static BITMAPINFOHEADER Format(LONG width, LONG height, WORD bits, DWORD compression = 0) {
    BITMAPINFOHEADER format;
    InitBitmapHeader(&format);
    SetBitmapFormat(&format, bits, compression);
    SetBitmapSize(&format, width, height);
    return format;
}

TEST(ImageSizes, AmendmentProposesTheNearestValidSize) {
    struct Case {
        LONG w, h;
        WORD bits;
        DWORD compression;
        LONG ew, eh;
        int valid;
    } cases[] = {
        {170, 142, 24, 0, 168, 144, 0}, {176, 144, 24, 0, 176, 144, 1},          {700, 570, 24, 0, 704, 568, 0},
        {800, 600, 24, 0, 704, 576, 0}, {400, 300, 16, 0, 352, 288, 0},          {3, 1, 24, 0, 8, 4, 0},
        {704, 576, 24, 0, 704, 576, 1}, {704, 576, 8, 0, 352, 288, 0},           {8, 4, 8, 0, 8, 4, 1},
        {356, 290, 24, 0, 352, 288, 0}, {360, 292, 24, 0, 368, 296, 0},          {0, 0, 24, 0, 8, 4, 0},
        {-5, -5, 24, 0, 8, 4, 0},       {640, 480, 0, FOURCC_I420, 352, 288, 0}, {12, 6, 32, 0, 12, 6, 0},
    };
    for (const Case& c : cases) {
        BITMAPINFOHEADER f = Format(c.w, c.h, c.bits, c.compression);
        LONG w = 0, h = 0;
        int valid = AmendImageSize(&f, &w, &h);
        EXPECT_EQ((Ints{valid, w, h}), (Ints{c.valid, c.ew, c.eh})) << c.w << "x" << c.h << "@" << c.bits;
    }
}

TEST(ImageSizes, TheImageSizeFollowsTheFormatCode) {
    EXPECT_EQ(Format(175, 144, 24).biSizeImage, 24u * 144 * 176 / 8);
    EXPECT_EQ(Format(176, 144, 12, FOURCC_I420).biSizeImage, 144u * 176 * 3 / 2);
    EXPECT_EQ(Format(352, 288, 16, FOURCC_YUY2).biSizeImage, 288u * 352 * 2);
    EXPECT_EQ(Format(160, 120, 9, FOURCC_YVU9).biSizeImage, 120u * 160 * 9 / 8);
    EXPECT_EQ(Format(160, 120, 8, FOURCC_PSHU).biSizeImage, 120u * 160);
    EXPECT_EQ(Format(160, 120, 12, FOURCC_IYUV).biSizeImage, 0u) << "rewritten to I420 only by the decoder set-up";
    EXPECT_EQ(Format(160, 120, 16, FOURCC_CODE('A', 'B', 'C', 'D')).biSizeImage, 0u);
    EXPECT_EQ(Format(0x7FFFFFFF, 0x7FFFFFFF, 24).biSizeImage, 0u) << "no size overflows 32 bits";
    BITMAPINFOHEADER f = Format(8, 4, 24);
    EXPECT_EQ((Ints{f.biSize, f.biPlanes, f.biXPelsPerMeter}), (Ints{40, 1, 2000}));
}

class ViewportCommands : public SimMachine {
protected:
    Viewport* viewport = nullptr;
    void SetUp() override {
        SimMachine::SetUp();
        OpenCamera();
        HighPower();
        viewport = CreateViewport();
        ASSERT_NE(viewport, nullptr);
        ASSERT_EQ(AttachViewport(viewport, link), 1);
        SimClearLog();
    }
    void TearDown() override {
        ReleaseViewport(viewport);
        SimMachine::TearDown();
    }
    std::vector<int> SentCommands() {
        std::vector<int> sent;
        for (const SimCommandRecord& r : Commands())
            if (!(r.module == 0x00 && r.command == 0x01)) sent.push_back(r.module << 8 | r.command);
        return sent;
    }
};

TEST_F(ViewportCommands, AttachSetsTheDefaultsAndTheCompressionParameters) {
    EXPECT_EQ((Ints{viewport->pending, viewport->videoSize, viewport->targetFR, viewport->targetQ, viewport->targetFps,
                    viewport->dirty}),
              (Ints{1, 1, 15, 5, 30, 0}));
    SimCamera camera = Camera();
    EXPECT_EQ(std::vector<BYTE>(camera.compressionParams, camera.compressionParams + 8),
              (std::vector<BYTE>{3, 9, 1, 3, 2, 5, 3, 2}));
}

TEST_F(ViewportCommands, NothingMarkedSendsNothing) {
    EXPECT_EQ(
        (Ints{ApplyViewportChanges(viewport), viewport->pending, SimCommandCount(), ApplyViewportChanges(viewport)}),
        (Ints{0, 0, 0, 0}));
}

TEST_F(ViewportCommands, MarkedRowsGoInOrderAndTheTargetStaysMarked) {
    SetWindow(viewport, 16, 336, 24, 264);
    EXPECT_EQ((Ints{viewport->colStart8, viewport->colEnd8, viewport->rowStart4, viewport->rowEnd4}),
              (Ints{2, 42, 6, 66}));
    viewport->dirty |= VP_DIRTY_TARGET;
    EXPECT_EQ((Ints{ApplyViewportChanges(viewport), viewport->dirty}), (Ints{1, VP_DIRTY_TARGET}));
    SimCamera camera = Camera();
    EXPECT_EQ((Ints{camera.colEnd8, camera.rowEnd4, camera.targetQ}), (Ints{42, 66, 5}));
    SimClearLog();
    SetWindow(viewport, 16, 336, 24, 264);
    EXPECT_EQ(viewport->dirty, (DWORD)VP_DIRTY_TARGET) << "an unchanged window is not marked";
}

TEST_F(ViewportCommands, CompressionModeDecidesTheThresholdCommand) {
    SetCompression(viewport, 0, -1, -1, -1);
    ApplyViewportChanges(viewport);
    SimCamera before = Camera();
    SetCompression(viewport, 2, -1, 20, 10);
    EXPECT_EQ(ApplyViewportChanges(viewport), 1);
    SimCamera after = Camera();
    EXPECT_EQ((Ints{after.compMode, after.yThreshold, after.uvThreshold}), (Ints{2, 20, 10}));
    // Automatic compression uses fixed thresholds.
    SetCompression(viewport, 1, -1, -1, -1);
    ApplyViewportChanges(viewport);
    EXPECT_EQ((Ints{Camera().yThreshold, Camera().uvThreshold}), (Ints{6, 6}));
    EXPECT_EQ(before.compMode, 0);
}

TEST_F(ViewportCommands, ACameraOutOfHighPowerFailsTheApplyAndStaysFailed) {
    ZELT_GotoLoPower(link);
    SetVideoSize(viewport, 0);
    SetWindow(viewport, 0, 176, 0, 144);
    EXPECT_EQ((Ints{ApplyViewportChanges(viewport), viewport->failed, viewport->pending,
                    (viewport->dirty & VP_DIRTY_WINDOW) != 0}),
              (Ints{0, 1, 1, 1}));
    EXPECT_EQ(SetWindow(viewport, 8, 168, 0, 144), 0) << "window changes are refused once failed";
    HighPower();
    EXPECT_EQ(ApplyViewportChanges(viewport), 0) << "only a new attach clears the failure";
    ASSERT_EQ(AttachViewport(viewport, link), 1);
    EXPECT_EQ(viewport->failed, 0u);
}

TEST_F(ViewportCommands, UncompressedApplyMarksTheRealCompressionToFollow) {
    SetCompression(viewport, 2, -1, 9, 9);
    SetVideoSize(viewport, 0);
    SetWindow(viewport, 0, 176, 0, 144);
    EXPECT_EQ((Ints{ApplyViewportUncompressed(viewport), Camera().compMode, Camera().videoSize,
                    viewport->dirty & (VP_DIRTY_FORMAT | VP_DIRTY_COMPRESSION), ApplyViewportChanges(viewport),
                    Camera().compMode}),
              (Ints{1, 0, 0, VP_DIRTY_COMPRESSION, 1, 2}));
}

TEST(CompressionTargets, PresetsAndAdaptation) {
    Viewport v = {};
    v.rowStart4 = 0;
    v.rowEnd4 = 72;
    SetCompressionPreset(&v, 0, 1, 10, 30);
    EXPECT_EQ((Ints{v.decimation, v.targetFR, v.targetQ, (v.dirty & VP_DIRTY_TARGET) != 0}), (Ints{1, 28, 64, 1}));
    Viewport c = {};
    SetCompressionPreset(&c, 1, 5, 1, 15);
    EXPECT_EQ((Ints{c.targetFR, c.targetQ, c.decimation}), (Ints{12, 16, 0}));
    // Level 1 means no compression.
    Viewport off = {};
    off.compMode = 1;
    SetCompressionPreset(&off, 0, 5, 1, 15);
    EXPECT_EQ((Ints{off.compMode, off.dirty}), (Ints{0, VP_DIRTY_COMPRESSION}));
    const BYTE captureFR[] = {1, 6, 12, 16, 20, 24, 28, 28, 28, 28};
    const BYTE conferenceQ[] = {2, 4, 6, 9, 16, 25, 36, 49, 64, 81};
    for (int level = 1; level <= 10; level++) {
        Viewport t = {};
        ComputeCompressionTarget(&t, 0, 30, level);
        EXPECT_EQ(t.targetFR, captureFR[level - 1]) << level;
        ComputeCompressionTarget(&t, 1, 30, level);
        EXPECT_EQ(t.targetQ, conferenceQ[level - 1]) << level;
    }
    Viewport untouched = {};
    ComputeCompressionTarget(&untouched, 0, 30, 11);
    EXPECT_EQ(untouched.frTargeting, 0);
    Viewport a = {};
    // {targetQ before, conference, after}; an unchanged target stays unmarked.
    const int adapt[4][3] = {{50, 0, 82}, {70, 0, 70}, {10, 1, 4}, {30, 1, 22}};
    for (const auto& row : adapt) {
        a.targetQ = (BYTE)row[0];
        a.dirty = 0;
        AdaptCompressionTarget(&a, row[1]);
        EXPECT_EQ(a.targetQ, row[2]) << row[0];
        EXPECT_EQ(a.dirty != 0, row[0] != row[2]) << row[0];
    }
}
