// The page of a picture, in points, its colours and font sizes, and the text
// cleaned for cairo. A PNG is the same page at 1200 / 840 pixels a point, so
// that the pictures of all formats look alike.
#pragma once

#include <string>
#include <string_view>

#include "plot/files/picture.hpp"

namespace detrend::plot::files {

inline constexpr double pngScale = pngWidth / pageWidth;
// One PNG pixel in page units: the width of a thin line, in every format.
inline constexpr double pixel = 1 / pngScale;

inline constexpr double panelLeft = 80, panelRight = 686;
inline constexpr double legendGap = 12;  // between the panels and the legend
inline constexpr double topTop = 38;  // the upper panel's frame
inline constexpr double panelGap = 10;  // between the two panels
inline constexpr double lowerBottom = 432;

inline constexpr double titleSize = 13, labelSize = 11.5, tickSize = 10.5, legendSize = 10.5;
inline constexpr double majorTick = 6 * pixel, minorTick = 3 * pixel;

struct Colour {
    double r, g, b;
};
inline constexpr Colour white{1, 1, 1}, black{0, 0, 0}, red{1, 0, 0}, blue{0, 0, 1};
inline constexpr Colour gridGrey{211 / 255.0, 211 / 255.0, 211 / 255.0};
inline constexpr Colour referenceGrey{128 / 255.0, 128 / 255.0, 128 / 255.0};
// Text is a black of 3/255: its anti-aliased shades on white are the greys
// 3..255, which leave room in a PNG palette of 256 colours for pure black,
// red and blue.
inline constexpr Colour ink{3 / 255.0, 3 / 255.0, 3 / 255.0};

// A colour given as 0xRRGGBB.
constexpr Colour fromHex(unsigned rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

// `text` with every byte that does not belong to valid UTF-8, and every
// control character, replaced by '?', so that cairo takes it.
std::string displayText(std::string_view text);

}  // namespace detrend::plot::files
