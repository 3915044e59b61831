// The front-panel picture carried in the program: its format and size, and that the LCD
// window and the two keys are drawn where the renderer and the button table put them.
#include <gtest/gtest.h>

#include <cstdint>

#include "host/reset.h"
#include "host/shell.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/panel_bmp.h"

namespace {

using panel_bmp::Rgb;

int Luma(Rgb c) {
    return (299 * c.r + 587 * c.g + 114 * c.b) / 1000;
}
bool Blue(Rgb c) {
    return c.b >= c.r + 50 && c.b >= c.g + 40;
}

class PanelPictureTest : public ::testing::Test {
protected:
    panel_bmp::Picture picture;
    void SetUp() override {
        ResetSimulator();
        InitLcdView();
        picture = panel_bmp::Carried();
        ASSERT_TRUE(picture.ok) << "resources/panel.bmp carried as a 24-bit BMP";
    }
    void TearDown() override { ResetSimulator(); }
};

TEST_F(PanelPictureTest, UncompressedBottomUp24BitOfTheWindowSize) {
    EXPECT_EQ(PanelBmpData[0], 'B');
    EXPECT_EQ(PanelBmpData[1], 'M');
    EXPECT_EQ(picture.fileSize, PanelBmpDataSize);
    EXPECT_EQ(picture.width, 251);
    EXPECT_EQ(picture.height, 444) << "positive: rows stored bottom up";
    EXPECT_EQ(picture.planes, 1u);
    EXPECT_EQ(picture.bitsPerPixel, 24u);
    EXPECT_EQ(picture.compression, 0u);
    EXPECT_EQ(PanelBmpDataSize, picture.pixelOffset + 756u * 444u) << "rows padded to 756 bytes";
    EXPECT_EQ(PanelWidth, 251);
    EXPECT_EQ(PanelHeight, 444);
}

TEST_F(PanelPictureTest, BlueFrameSurroundsTheLcdWindow) {
    const int left = LcdRect.left, top = LcdRect.top;
    const int right = left + LcdRect.width - 1, bottom = top + LcdRect.height - 1;
    ASSERT_EQ(right, 216);
    ASSERT_EQ(bottom, 178);
    // Rings 1 to 7 pixels outside the window are blue all round; 12 pixels out is the face.
    for (int d = 1; d <= 12; d += (d == 7 ? 5 : 1)) {
        int blue = 0, ring = 0;
        for (int x = left - d; x <= right + d; ++x)
            for (int y : {top - d, bottom + d}) ++ring, blue += Blue(picture.At(x, y));
        for (int y = top - d + 1; y <= bottom + d - 1; ++y)
            for (int x : {left - d, right + d}) ++ring, blue += Blue(picture.At(x, y));
        if (d <= 7)
            EXPECT_EQ(blue, ring) << "ring " << d;
        else
            EXPECT_EQ(blue, 0) << "ring " << d;
    }
}

TEST_F(PanelPictureTest, KeySquaresLieOnTheButtonTable) {
    for (const ButtonRecord& b : ButtonTable) {
        // The dark outline runs exactly along the record's edges, lighter on both sides.
        auto checkEdge = [&](int x, int y, int inX, int inY, int outX, int outY) {
            const int edge = Luma(picture.At(x, y));
            EXPECT_LT(edge, 50) << "button " << b.index << " edge at " << x << "," << y;
            EXPECT_GT(Luma(picture.At(inX, inY)), edge + 40) << "inside " << inX << "," << inY;
            EXPECT_GT(Luma(picture.At(outX, outY)), edge + 40) << "outside " << outX << "," << outY;
        };
        for (int y = b.top + 1; y < b.bottom; ++y) {
            checkEdge(b.left, y, b.left + 1, y, b.left - 1, y);
            checkEdge(b.right, y, b.right - 1, y, b.right + 1, y);
        }
        for (int x = b.left + 1; x < b.right; ++x) {
            checkEdge(x, b.top, x, b.top + 1, x, b.top - 1);
            checkEdge(x, b.bottom, x, b.bottom - 1, x, b.bottom + 1);
        }
        // The sensitive interior is the key cap, free of outline.
        int dark = 0;
        for (int y = b.top + 1; y < b.bottom; ++y)
            for (int x = b.left + 1; x < b.right; ++x) dark += Luma(picture.At(x, y)) < 50;
        EXPECT_EQ(dark, 0) << "button " << b.index;
    }
}

}  // namespace
