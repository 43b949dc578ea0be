// What makes cairo's SVG and PDF files differ from run to run, taken out, so
// that the same picture gives the same bytes in any run.
#pragma once

#include <string>
#include <string_view>

namespace detrend::plot::files {

// The creation date a PDF surface is given, for dropCreationDate to find:
// cairo_pdf_surface_set_metadata's form of it.
inline constexpr const char* fixedCreationDate = "2000-01-01T00:00:00Z";

// cairo 1.16 writes the time of the run as the PDF's creation date. It is
// set to fixedCreationDate instead, which is then blanked out: no date is
// better than a false one. Blanks keep the offsets in the cross-reference
// table.
void dropCreationDate(std::string& pdf);

// cairo 1.16 names the SVG's page group after a count of all the surfaces
// made in the process ("surface17"); nothing refers to it, and it gets a
// fixed name ("surface1").
void fixSurfaceName(std::string& svg);

}  // namespace detrend::plot::files
