#include "plot/files/surface.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <cmath>
#include <memory>

#include "plot/files/png_encoder.hpp"
#include "plot/files/reproducible.hpp"

namespace detrend::plot::files {
namespace {

// Where cairo's SVG and PDF surfaces write.
cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    try {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    } catch (...) {
        return CAIRO_STATUS_NO_MEMORY;
    }
}

// One font face for the whole process: cairo keeps the fonts made from it,
// at each size, so that fontconfig is asked once and not for every picture.
cairo_font_face_t* sansFont() {
    static cairo_font_face_t* const face =
        cairo_toy_font_face_create("DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    return face;
}

struct CairoFree {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Surface = std::unique_ptr<cairo_surface_t, CairoFree>;

// The surface of a format. A PNG's surface draws into `pixels`, left
// uninitialized (the page is painted white first); the others write their
// file into `bytes` until finished.
Surface makeSurface(PlotFormat format, double height, std::unique_ptr<unsigned char[]>& pixels, std::string& bytes) {
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, pngWidth);
    const int rows = static_cast<int>(std::lround(height * pngScale));
    Surface surface;
    switch (format) {
        case PlotFormat::png:
            pixels.reset(new unsigned char[static_cast<std::size_t>(stride) * static_cast<std::size_t>(rows)]);
            surface.reset(
                cairo_image_surface_create_for_data(pixels.get(), CAIRO_FORMAT_RGB24, pngWidth, rows, stride));
            break;
        case PlotFormat::svg:
            surface.reset(cairo_svg_surface_create_for_stream(appendBytes, &bytes, pageWidth, height));
            break;
        case PlotFormat::pdf:
            surface.reset(cairo_pdf_surface_create_for_stream(appendBytes, &bytes, pageWidth, height));
            cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, fixedCreationDate);
            break;
    }
    return surface;
}

// Draws the page on the surface; cairo's status afterwards.
cairo_status_t drawOn(cairo_surface_t* surface, bool png, const std::function<void(const Canvas&)>& draw) {
    const std::unique_ptr<cairo_t, CairoFree> cr(cairo_create(surface));
    // Fixed font options, whatever fontconfig says: grey anti-aliasing (no
    // coloured fringes), and on the PNG only, where lines are not
    // anti-aliased, hinting to the pixel grid.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, png ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, png ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr.get(), options);
    cairo_font_options_destroy(options);
    if (png) {
        cairo_scale(cr.get(), pngScale, pngScale);
        cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
    }
    draw(Canvas{cr.get(), sansFont(), png});
    return cairo_status(cr.get());
}

}  // namespace

base::Result<std::string> renderPage(PlotFormat format, const std::function<void(const Canvas&)>& draw) {
    return renderPage(format, pageHeight, draw);
}

base::Result<std::string> renderPage(PlotFormat format, double height, const std::function<void(const Canvas&)>& draw) {
    if (!(height >= 1 && height <= maxPageHeight)) return base::failure("the page would be too tall to draw");
    std::string bytes;  // before the surface, which writes into it until destroyed
    const bool png = format == PlotFormat::png;
    std::unique_ptr<unsigned char[]> pixels;
    const Surface surface = makeSurface(format, height, pixels, bytes);
    cairo_status_t status = drawOn(surface.get(), png, draw);
    // An image surface keeps its pixels until destroyed; finishing the others
    // writes the rest of the file.
    if (png)
        cairo_surface_flush(surface.get());
    else
        cairo_surface_finish(surface.get());
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface.get());
    if (status != CAIRO_STATUS_SUCCESS) return base::failure(std::string("cairo: ") + cairo_status_to_string(status));
    if (png) {
        const base::Status encoded = encodePng(surface.get(), bytes);
        if (!encoded.ok()) return encoded.error();
    } else if (format == PlotFormat::pdf) {
        dropCreationDate(bytes);
    } else {
        fixSurfaceName(bytes);
    }
    return bytes;
}

}  // namespace detrend::plot::files
