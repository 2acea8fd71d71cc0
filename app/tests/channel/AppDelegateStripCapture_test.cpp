#include "ControllerFixture.h"
#include "ScreenPainting.h"
#include "shell/AppDelegate.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace kv;
using kv::channel::testing::paintFrame;

namespace {

class StripCaptureTest : public kv::channel::testing::ControllerTest {
protected:
    bool capture() {
        const bool captured = controller.captureStrip();
        fake.runLoop.runPosted();
        return captured;
    }
};

} // namespace

TEST_F(StripCaptureTest, SamplesOnePixelPerCellIntoLitAndDark) {
    paintFrame(fake.screen, 2, 1, 80.0, 0x5A, 1);
    ASSERT_TRUE(capture());
    EXPECT_EQ(controller.scanData, (std::array<std::int64_t, 12>{1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1}));
    EXPECT_EQ(controller.pixelData[0], (PixelColor{1.0, 0.0, 0.0}));
    // Samples beyond the captured image read as black.
    controller.myScanRect->width = 40.0;
    ASSERT_TRUE(capture());
    EXPECT_EQ(controller.scanData[11], 0);
    EXPECT_EQ(controller.pixelData[11], PixelColor{});
}

TEST_F(StripCaptureTest, MissingDisplaysAreReportedOncePerLoss) {
    paintFrame(fake.screen, 2, 1, 80.0, 65, 0);
    capture();
    const auto before = controller.scanData;
    fake.screen.displayCount = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(capture());
    fake.screen.displayCount = std::nullopt; // an error counts as no display
    EXPECT_FALSE(capture());
    EXPECT_EQ(controller.scanData, before);
    fake.screen.displayCount = 1;
    EXPECT_TRUE(capture());
    fake.screen.displayCount = 0;
    capture();
    const std::string line = "recordColors: No displays available.\n";
    EXPECT_EQ(fake.log.text, line + line);
}

TEST_F(StripCaptureTest, CaptureWithoutImageChangesNothing) {
    paintFrame(fake.screen, 2, 1, 80.0, 65, 1);
    fake.screen.captureFails = true;
    EXPECT_FALSE(capture());
    EXPECT_EQ(controller.scanData, (std::array<std::int64_t, 12>{}));
    EXPECT_EQ(fake.log.text, "");
}

TEST(LoadCalibration, StoredGeometryIsUsedUnlessWidthAndOffsetSumToZero) {
    struct Case {
        float width;
        std::int64_t horiz, vert;
        bool reportsMissing;
        double expectWidth;
        std::int64_t expectHoriz, expectVert;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Case& c : {Case{0.0f, 0, 0, true, 80.0, 2, 1}, Case{0.75f, 0, 7, true, 80.0, 2, 1},
                          Case{0.0f, 5, 7, false, 0.0, 5, 7}, Case{108.0f, 4, 3, false, 108.0, 4, 3},
                          Case{-4.5f, 4, 3, true, 80.0, 2, 1}, Case{nan, 4, 3, true, 80.0, 2, 1}}) {
        SCOPED_TRACE(c.width);
        fakes::FakePlatform fake;
        fake.defaults.setFloat("scanWidth", c.width);
        fake.defaults.setInteger("scanHorizOffset", c.horiz);
        fake.defaults.setInteger("scanVertOffset", c.vert);
        AppDelegate controller{fake.platform()};
        EXPECT_EQ(controller.loadCalibration(), c.reportsMissing);
        EXPECT_EQ(controller.scanWidth, c.expectWidth);
        EXPECT_EQ(controller.scanHorizOffset, c.expectHoriz);
        EXPECT_EQ(controller.scanVertOffset, c.expectVert);
    }
    fakes::FakePlatform empty;
    AppDelegate firstStart{empty.platform()};
    EXPECT_TRUE(firstStart.loadCalibration());
    EXPECT_EQ(firstStart.scanWidth, 80.0);
}
