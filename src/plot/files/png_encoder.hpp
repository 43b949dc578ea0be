// A cairo image surface as the bytes of a PNG file, written with libpng.
#pragma once

#include <cairo.h>
#include <png.h>

#include <string>
#include <vector>

#include "base/result.hpp"

namespace detrend::plot::files {

// The colours of an image (RGB24, as cairo lays it out) as a palette and one
// palette index a pixel; false when there are more than 256 colours. The
// palette is in the order the colours are first seen, row by row.
bool toPalette(const unsigned char* data, int width, int height, int stride, std::vector<png_color>& palette,
               std::vector<unsigned char>& indices);

// The image surface (RGB24) as a PNG appended to `out`, compressed for
// speed: 8-bit palette indices when the picture has no more than 256 colours
// (lines in plain colours, grey shades of the text on white), else 8-bit RGB.
// On failure, what libpng said.
base::Status encodePng(cairo_surface_t* image, std::string& out);

}  // namespace detrend::plot::files
