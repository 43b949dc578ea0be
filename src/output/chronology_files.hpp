// The text of a site's chronology files, built in memory: the chronology and
// statistics tables as CSV (RFC 4180), and the standard chronology in the
// Tucson decade layout of the International Tree-Ring Data Bank (Grissino-
// Mayer, H. D. and Fritts, H. C. (1997), The International Tree-Ring Data
// Bank: an enhanced global database serving the global scientific
// community, The Holocene 7, 235-238).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "numeric/chronology.hpp"
#include "numeric/running_statistics.hpp"
#include "numeric/signal_statistics.hpp"

namespace detrend::output {

// The layouts of a chronology file: CSV, or the Tucson decade layout (.crn).
enum class ChronologyFormat { csv, crn };

// Which years of a chronology are written: keep[y] for the year first + y;
// empty keeps every year.
using YearMask = std::span<const char>;

// "year,std,res,samp.depth" (then ",sss" and ",ars" when `sss` and `ars`
// hold a value per year) and one row per year of the chronology that `keep`
// keeps: numbers in their shortest form that reads back to the same double,
// NA for NaN.
std::string chronologyCsv(const numeric::Chronology& chronology, std::span<const double> sss = {}, YearMask keep = {},
                          std::span<const double> ars = {});

// The statistics table's header line and one row of it, each ending in "\n":
// file (quoted where CSV needs it), series, first, last, rbar (rbar.tot),
// eps, snr, then n.cores, n.trees, n, n.tot, n.wt, n.bt, rbar.wt, rbar.bt,
// c.eff, rbar.eff, and cutoff and index as given ("67%" or "32"; "ratio" or
// "difference"). NA stands for NaN or a missing year, Inf for +infinity.
std::string statisticsCsvHeader();
std::string statisticsCsvRow(std::string_view file, std::size_t series, const numeric::SiteStatistics& statistics,
                             std::string_view cutoff, std::string_view index);

// The running statistics table: its header, and the rows of one input's
// windows: file, start.year, mid.year, end.year, then the counts and
// correlations as in the statistics table, eps and snr.
std::string runningCsvHeader();
std::string runningCsvRows(std::string_view file, std::span<const numeric::RunningWindow> windows);

// The standard chronology in Tucson decade lines: columns 1-6 the site ID
// (cut to six bytes or padded with blanks), 7-10 the year, then ten fields
// of a four-column round(index x 1000), halves away from zero, and a
// three-column sample depth, one per year of the decade in order. The year
// is the decade's first, on the first line the chronology's first year.
// Years of the first and last decade outside the chronology, and years in it
// without an index, hold 9990 with depth 0. A decade is formed by flooring:
// it starts at 10 floor(year / 10), so -5 lies in the decade of -10 .. -1.
// Errors: a year outside -999 .. 9999, an index rounding to 9990 or more or
// to less than -999, a depth over 999. No series gives no line.
// Years that `keep` leaves out are written as years without an index; with
// `residual` the residual chronology is written instead of the standard one.
base::Result<std::string> tucsonChronology(std::string_view site, const numeric::Chronology& chronology,
                                           YearMask keep = {}, bool residual = false);

// The three header lines of a .crn, in the archive's columns: the site code
// in columns 1-6 of each and the line's number in column 8; line 1 the site
// name from column 10 and the species code in columns 62-65; line 2 the
// first and last year in columns 68-71 and 73-76. Errors: a code of no or
// more than 6 characters or with a blank, a name over 52 characters, a
// species code over 4 characters or with a blank.
base::Result<std::string> crnHeaderLines(std::string_view code, std::string_view name, std::string_view species,
                                         long first, long last);

}  // namespace detrend::output
