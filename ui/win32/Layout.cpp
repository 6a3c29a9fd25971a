#include "ui/win32/Layout.h"

namespace setup::win {

int ScaleToDpi(int value, int dpi) {
    if (dpi <= 0 || dpi == 96) return value;
    const int64_t scaled = int64_t(value) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}

int UnscaleFromDpi(int value, int dpi) {
    if (dpi <= 0 || dpi == 96) return value;
    const int64_t unscaled = int64_t(value) * 96;
    const int half = dpi / 2;
    return static_cast<int>(unscaled >= 0 ? (unscaled + half) / dpi : (unscaled - half) / dpi);
}

Rect PlaceControl(const ControlPlace& place, int clientWidth, int dpi) {
    const Rect& d = place.design;
    Rect r{ScaleToDpi(d.left, dpi), ScaleToDpi(d.top, dpi), ScaleToDpi(d.width, dpi),
           ScaleToDpi(d.height, dpi)};
    const int rightGap = ScaleToDpi(kClientWidth - (d.left + d.width), dpi);
    switch (place.anchor) {
    case Anchor::Left:
        break;
    case Anchor::Right:
        r.left = clientWidth - rightGap - r.width;
        break;
    case Anchor::Stretch:
        r.width = clientWidth - rightGap - r.left;
        if (r.width < 0) r.width = 0;
        break;
    }
    return r;
}

Rect MemoPlace(int clientWidth, int clientHeight, int dpi) {
    const int top = ScaleToDpi(kMemoTop, dpi);
    const int height = clientHeight - top;
    return Rect{0, top, clientWidth, height > 0 ? height : 0};
}

std::vector<GradientBand> GradientBands(uint32_t top, uint32_t bottom, int clientHeight) {
    std::vector<GradientBand> bands;
    const int steps = clientHeight / 3;
    if (steps <= 0) return bands;
    int32_t value[3], step[3];
    for (int c = 0; c < 3; ++c) {
        const int32_t from = static_cast<int32_t>((top >> (8 * c)) & 0xFF) * 128;
        const int32_t to = static_cast<int32_t>((bottom >> (8 * c)) & 0xFF) * 128;
        value[c] = from;
        step[c] = (to - from) / steps; // truncates toward zero
    }
    bands.reserve(static_cast<size_t>(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
        uint32_t color = 0;
        for (int c = 0; c < 3; ++c)
            color |= (static_cast<uint32_t>(value[c] >> 7) & 0xFF) << (8 * c);
        bands.push_back({3 * i, color});
        for (int c = 0; c < 3; ++c)
            value[c] += step[c];
    }
    return bands;
}

} // namespace setup::win
