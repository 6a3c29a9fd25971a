// The installer window's geometry and background, free of drawing calls so
// that they can be tested: the controls' design places (in pixels at 96 dpi),
// their anchoring, scaling to the system's dpi, and the gradient's bands.
#pragma once

#include <cstdint>
#include <vector>

namespace setup::win {

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// Design sizes of the installer window at 96 dpi.
constexpr int kFormWidth = 668;
constexpr int kFormHeight = 380;
constexpr int kFormMinWidth = 480;
constexpr int kClientWidth = 660;
constexpr int kMemoTop = 264;

enum class Anchor {
    Left,    // keeps its place
    Right,   // keeps its distance to the right edge
    Stretch, // keeps both distances: grows with the window
};

struct ControlPlace {
    Rect design; // at 96 dpi, in a client area kClientWidth wide
    Anchor anchor;
};

// A length at 96 dpi at the system's dpi, rounded to the nearest pixel.
int ScaleToDpi(int value, int dpi);
// The opposite: a length in pixels at the system's dpi as pixels at 96 dpi.
int UnscaleFromDpi(int value, int dpi);

// Where a control lies in a client area clientWidth pixels wide (both at the
// system's dpi).
Rect PlaceControl(const ControlPlace& place, int clientWidth, int dpi);

// The hint area: from its top to the bottom of the client area, full width.
Rect MemoPlace(int clientWidth, int clientHeight, int dpi);

// One band of the background gradient: rows top .. top + 3, colour 0x00BBGGRR.
struct GradientBand {
    int top;
    uint32_t color;
};
// The bands from top to bottom colour over a client area clientHeight high:
// none below 3 pixels, otherwise clientHeight / 3 + 1 bands (the last may
// reach below the area). Each channel runs in fixed point with 7 fraction
// bits, its step truncated toward zero.
std::vector<GradientBand> GradientBands(uint32_t top, uint32_t bottom, int clientHeight);

} // namespace setup::win
