#include "plot/plotfile.hpp"

#include <fcntl.h>
#include <plplot.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <set>

#include "formats/fields.hpp"

namespace detrend::plot {
namespace {

// Colour map 0 entries: 0 is the background, 1 red (series), 9 blue (spline)
// and 15 black (residuals, frame, text) as in the window; 7 becomes the grid
// grey.
constexpr PLINT background = 0, red = 1, blue = 9, black = 15, grid = 7;
constexpr PLINT gridGrey = 211;

struct Device {
    const char* name;
    PLINT width, height;  // pixels for PNG, points for SVG and PDF
    const char* options;  // cairo driver options
};

Device deviceOf(PlotFormat format) {
    switch (format) {
        // Lines without anti-aliasing keep their exact colours, as in the window;
        // the text stays smooth.
        case PlotFormat::png: return {"pngcairo", 1200, 700, "graphics_anti_aliasing=1"};
        case PlotFormat::svg: return {"svgcairo", 840, 490, nullptr};
        case PlotFormat::pdf: return {"pdfcairo", 840, 490, nullptr};
    }
    return {"pngcairo", 1200, 700, nullptr};
}

bool deviceAvailable(const char* name) {
    constexpr int capacity = 128;
    const char* menuArray[capacity] = {};
    const char* names[capacity] = {};
    const char** menu = menuArray;
    const char** devices = names;
    int count = capacity;  // in: room in the arrays; out: devices listed
    plgFileDevs(&menu, &devices, &count);
    return std::any_of(names, names + std::min(count, capacity),
                       [name](const char* n) { return n != nullptr && std::strcmp(n, name) == 0; });
}

// Text for PLplot: '#' starts PLplot's escape sequences and is doubled; bytes
// that are not valid UTF-8, and control characters, become '?'.
std::string plplotText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = formats::utf8SequenceLength(text, i);
        if (length == 0 || (length == 1 && (c < 0x20 || c == 0x7F))) {
            out += '?';
            ++i;
        } else {
            if (c == '#') out += '#';
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

// Everything one picture needs, prepared before PLplot is called.
struct Picture {
    Device device;
    const char* file;
    PLFLT xmin, xmax, ymin, ymax;
    int n;
    const PLFLT* years;
    const PLFLT* series;
    const PLFLT* residual;
    const PLFLT* spline;
    const char* title;
};

// Draws n points of a line, leaving out values that are not finite (PLplot
// would pass them on to cairo); points left alone get a mark.
void drawLine(int n, const PLFLT* x, const PLFLT* y) {
    int start = 0;
    while (start < n) {
        while (start < n && !std::isfinite(y[start])) ++start;
        int end = start;
        while (end < n && std::isfinite(y[end])) ++end;
        if (end - start == 1) {
            // PLplot draws nothing for a line of one point: a small circle.
            plpoin(1, x + start, y + start, 4);
        } else if (end > start) {
            plline(end - start, x + start, y + start);
        }
        start = end;
    }
}

// The PLplot calls of one picture on the current stream. Nothing here may
// own a resource: an error of PLplot leaves this function by longjmp.
void draw(const Picture& p) {
    plsdev(p.device.name);
    plsfnam(p.file);
    plspage(0, 0, p.device.width, p.device.height, 0, 0);
    if (p.device.options != nullptr) plsetopt("drvopt", p.device.options);
    plscol0(background, 255, 255, 255);
    plscol0(black, 0, 0, 0);
    plscol0(grid, gridGrey, gridGrey, gridGrey);
    plscolbg(255, 255, 255);
    plinit();
    pladv(0);
    plschr(0, 0.85);
    // The box leaves room on the right for the legend.
    plvpor(0.08, 0.80, 0.12, 0.91);
    plwind(p.xmin, p.xmax, p.ymin, p.ymax);
    pllsty(1);
    plwidth(1);
    // Over a few years PLplot would step by half years, and label whole ones.
    const PLFLT yearStep = p.xmax - p.xmin <= 5 ? 1 : 0;
    const PLINT yearSubdivisions = yearStep == 1 ? 1 : 0;
    plcol0(grid);
    plbox("g", yearStep, yearSubdivisions, "g", 0, 0);
    plcol0(black);
    plbox("bcnst", yearStep, yearSubdivisions, "bcnstv", 0, 0);
    pllab("Year", "Value", p.title);

    plwidth(1);
    plcol0(red);
    drawLine(p.n, p.years, p.series);
    plwidth(1);
    plcol0(black);
    drawLine(p.n, p.years, p.residual);
    plwidth(2);
    plcol0(blue);
    drawLine(p.n, p.years, p.spline);

    const PLINT entries = 3;
    const PLINT kinds[entries] = {PL_LEGEND_LINE, PL_LEGEND_LINE, PL_LEGEND_LINE};
    const char* texts[entries] = {"series", "spline", "residuals"};
    const PLINT textColours[entries] = {black, black, black};
    const PLINT lineColours[entries] = {red, blue, black};
    const PLINT lineStyles[entries] = {1, 1, 1};
    const PLFLT lineWidths[entries] = {1, 2, 1};
    PLFLT width, height;
    plwidth(1);
    pllegend(&width, &height, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
             PL_POSITION_RIGHT | PL_POSITION_OUTSIDE | PL_POSITION_VIEWPORT, 0.015, 0, 0.04, background, black, 1, 0, 0,
             entries, kinds, 1.0, 0.9, 2.0, 0.0, textColours, texts, nullptr, nullptr, nullptr, nullptr, lineColours,
             lineStyles, lineWidths, nullptr, nullptr, nullptr, nullptr);
    plend1();
}

// PLplot's error handling: plexit (a fatal error) would end the process once
// its handler returns, so the handler jumps back to render instead; plabort
// (a call that could not be carried out) only reports, and the first report
// is kept.
std::jmp_buf fatalJump;
char fatalMessage[256];
char abortMessage[256];

int onFatal(const char* message) {
    std::snprintf(fatalMessage, sizeof fatalMessage, "%s", message != nullptr ? message : "");
    std::longjmp(fatalJump, 1);
}

void onAbort(const char* message) {
    if (abortMessage[0] == '\0')
        std::snprintf(abortMessage, sizeof abortMessage, "%s", message != nullptr && *message ? message : "?");
}

// Draws the picture on a stream of its own, which is ended again; the
// stream in use before stays current. Returns PLplot's error message, or an
// empty string.
std::string render(const Picture& picture) {
    PLINT previous = 0;
    plgstrm(&previous);
    fatalMessage[0] = abortMessage[0] = '\0';
    plsexit(onFatal);
    plsabort(onAbort);
    if (setjmp(fatalJump) == 0) {
        PLINT stream = -1;
        plmkstrm(&stream);
        if (stream < 0) {
            onAbort("no free PLplot stream");
        } else {
            draw(picture);  // ends the stream
        }
    } else if (setjmp(fatalJump) == 0) {
        // A fatal error inside draw: end the stream it left behind, unless
        // that fails too.
        plend1();
    }
    plsstrm(previous);
    plsexit(nullptr);
    plsabort(nullptr);
    if (fatalMessage[0] != '\0') return fatalMessage;
    return abortMessage;
}

std::string failure(const std::string& path, std::string_view reason) {
    return "cannot write plot file \"" + path + "\": " + std::string(reason);
}

std::string sanitizedName(std::string_view name) {
    std::string out(plotTitle(name));
    for (char& c : out) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.';
        if (!kept) c = '_';
    }
    return out.empty() ? "_" : out;
}

}  // namespace

std::optional<PlotFormat> parsePlotFormat(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower == "png") return PlotFormat::png;
    if (lower == "svg") return PlotFormat::svg;
    if (lower == "pdf") return PlotFormat::pdf;
    return std::nullopt;
}

std::string_view plotFormatExtension(PlotFormat format) {
    switch (format) {
        case PlotFormat::png: return "png";
        case PlotFormat::svg: return "svg";
        case PlotFormat::pdf: return "pdf";
    }
    return "png";
}

std::string plotFileTitle(std::string_view name, int cutoff) {
    return std::string(plotTitle(name)) + " - spline, 50% at " + std::to_string(cutoff) + " years";
}

std::string writePlotFile(const std::string& path, PlotFormat format, const PlotData& data,
                          std::span<const float> residual, std::string_view name, int cutoff,
                          std::string_view shownAs) {
    const auto failure = [&](const std::string& written, std::string_view reason) {
        return plot::failure(shownAs.empty() ? written : std::string(shownAs), reason);
    };
    const int n = data.n;
    if (path.empty()) return failure(path, "empty file name");
    if (n < 1) return failure(path, "no values to plot");
    if (residual.size() < static_cast<std::size_t>(n) || data.years.size() < static_cast<std::size_t>(n) ||
        data.series.size() < static_cast<std::size_t>(n) || data.spline.size() < static_cast<std::size_t>(n))
        return failure(path, "fewer values than the plot needs");
    const Device device = deviceOf(format);
    if (!deviceAvailable(device.name))
        return failure(path, std::string("PLplot has no device ") + device.name + " (package plplot-driver-cairo)");

    // PLplot opens the file for reading and writing, and retries and then
    // ends the process when it cannot; opening it first, as PLplot will,
    // also gives the reason. Only a regular file can take a picture (a FIFO
    // would block once full, a device keeps nothing).
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return failure(path, std::strerror(errno));
    struct stat opened {};
    const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    ::close(fd);
    if (!regular) return failure(path, "not a regular file");

    // PLplot widens equal bounds itself, but with a warning on standard
    // error: widen them here (by a year, and by 5% of the value).
    PLFLT xmin = data.xmin, xmax = data.xmax, ymin = data.ymin, ymax = data.ymax;
    if (!(xmin < xmax)) {
        xmin -= 1;
        xmax = xmin + 2;
    }
    if (!(std::isfinite(ymin) && std::isfinite(ymax) && ymin <= ymax)) {
        ymin = -1;
        ymax = 1;
    } else if (ymin == ymax) {
        const PLFLT half = ymin == 0 ? 1 : std::fabs(ymin) * 0.05;
        ymin -= half;
        ymax += half;
    }

    const std::vector<PLFLT> years(data.years.begin(), data.years.begin() + n);
    const std::vector<PLFLT> series(data.series.begin(), data.series.begin() + n);
    const std::vector<PLFLT> residuals(residual.begin(), residual.begin() + n);
    const std::vector<PLFLT> spline(data.spline.begin(), data.spline.begin() + n);
    const std::string title = plplotText(plotFileTitle(name, cutoff));
    // PLplot writes to standard output when the file name is "-".
    const std::string file = path == "-" ? "./-" : path;
    const Picture picture{device,        file.c_str(),     xmin,          xmax,         ymin, ymax, n, years.data(),
                          series.data(), residuals.data(), spline.data(), title.c_str()};
    const std::string error = render(picture);
    if (!error.empty()) {
        ::unlink(path.c_str());
        return failure(path, "PLplot: " + error);
    }

    struct stat written {};
    if (::stat(path.c_str(), &written) != 0) return failure(path, std::strerror(errno));
    if (!S_ISREG(written.st_mode) || written.st_size == 0) return failure(path, "nothing was written");
    return {};
}

std::vector<std::string> plotFileNames(std::string_view base, const std::vector<std::string>& seriesNames,
                                       std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    std::vector<std::string> names;
    names.reserve(seriesNames.size());
    for (const std::string& name : seriesNames) names.push_back(sanitizedName(name));
    // Every series' own name is reserved, so a generated NAME-2 never takes
    // the name of a series called NAME-2.
    const std::set<std::string> own(names.begin(), names.end());
    std::set<std::string> taken;
    for (std::string& name : names) {
        if (!taken.insert(name).second) {
            for (int k = 2;; ++k) {
                std::string candidate = name + "-" + std::to_string(k);
                if (!own.contains(candidate) && taken.insert(candidate).second) {
                    name = std::move(candidate);
                    break;
                }
            }
        }
        std::string file(base);
        if (!file.empty()) file += '-';
        name = file + name + "." + std::string(extension);
    }
    return names;
}

}  // namespace detrend::plot

// The text of the cairo devices goes through pango, whose font map keeps
// fontconfig's font set for the rest of the process: allocated once, on the
// first picture, however many follow, but not reachable from anything
// LeakSanitizer sees. Read by LeakSanitizer only, when it is linked in.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
// Without a report of the suppression used, standard error stays as the
// program wrote it.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
