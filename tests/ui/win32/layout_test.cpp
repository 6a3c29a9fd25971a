// The installer window's geometry and gradient without a window.
#include "ui/win32/Layout.h"

#include <gtest/gtest.h>

namespace {

using setup::win::Anchor;
using setup::win::ControlPlace;
using setup::win::GradientBands;
using setup::win::PlaceControl;
using setup::win::Rect;

TEST(InstallerLayout, GradientBandsRunFromTopToBottomColour) {
    // Below one band's height nothing is painted.
    EXPECT_TRUE(GradientBands(0xF4F1D7, 0xCABB88, 2).empty());
    // 300 pixels: 100 steps, 101 bands of 3 pixels, the last below the area.
    const auto bands = GradientBands(0xF4F1D7, 0xCABB88, 300);
    ASSERT_EQ(bands.size(), 101u);
    EXPECT_EQ(bands.front().top, 0);
    EXPECT_EQ(bands.back().top, 300);
    EXPECT_EQ(bands.front().color, 0xF4F1D7u);
    // Per channel the step is truncated toward zero in 1/128 units: red
    // (0xD7 -> 0x88) falls by 100 units a band, blue (0xF4 -> 0xCA) by 53.
    EXPECT_EQ(bands[1].color & 0xFF, (0xD7 * 128 - 100) >> 7);
    EXPECT_EQ(bands.back().color & 0xFF, (0xD7 * 128 - 100 * 100) >> 7);
    EXPECT_EQ(bands.back().color >> 16, static_cast<uint32_t>((0xF4 * 128 - 100 * 53) >> 7));
    // Rising channels and equal colours.
    const auto up = GradientBands(0x000000, 0xFFFFFF, 9);
    ASSERT_EQ(up.size(), 4u);
    EXPECT_EQ(up[3].color, 0xFFFFFFu);
    for (const auto& band : GradientBands(0x123456, 0x123456, 30))
        EXPECT_EQ(band.color, 0x123456u);
}

TEST(InstallerLayout, ControlsFollowAnchorsAndDpi) {
    const ControlPlace edit{{24, 96, 564, 30}, Anchor::Stretch};
    const ControlPlace folder{{595, 96, 33, 30}, Anchor::Right};
    const ControlPlace install{{24, 216, 177, 33}, Anchor::Left};
    // At the design width everything stays where it was drawn.
    EXPECT_EQ(PlaceControl(edit, 660, 96), (Rect{24, 96, 564, 30}));
    EXPECT_EQ(PlaceControl(folder, 660, 96), (Rect{595, 96, 33, 30}));
    // Wider: the field grows, the button keeps its distance to the right edge.
    EXPECT_EQ(PlaceControl(edit, 800, 96), (Rect{24, 96, 704, 30}));
    EXPECT_EQ(PlaceControl(folder, 800, 96), (Rect{735, 96, 33, 30}));
    EXPECT_EQ(PlaceControl(install, 800, 96), (Rect{24, 216, 177, 33}));
    // 150 %: every length scaled, the design width scaled too.
    EXPECT_EQ(PlaceControl(edit, 990, 144), (Rect{36, 144, 846, 45}));
    EXPECT_EQ(PlaceControl(folder, 990, 144), (Rect{892, 144, 50, 45}));
    // A field never gets a negative width in a narrow window.
    EXPECT_EQ(PlaceControl(edit, 50, 96).width, 0);
    // The hint area fills the rest of the client area below its top.
    EXPECT_EQ(setup::win::MemoPlace(660, 353, 96), (Rect{0, 264, 660, 89}));
    EXPECT_EQ(setup::win::MemoPlace(660, 200, 96).height, 0);
    EXPECT_EQ(setup::win::UnscaleFromDpi(setup::win::ScaleToDpi(353, 120), 120), 353);
}

} // namespace
