#include "driver/batch.hpp"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <algorithm>
#include <map>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/batch_options.hpp"
#include "driver/csv.hpp"
#include "driver/csv_output.hpp"
#include "driver/failure.hpp"
#include "driver/free_table.hpp"
#include "driver/input_format.hpp"
#include "driver/listing.hpp"
#include "driver/output_file.hpp"
#include "driver/series_pipeline.hpp"
#include "driver/tucson.hpp"
#include "plot/plotdata.hpp"
#include "plot/plotfile.hpp"

namespace detrend {
namespace {

using Clock = std::chrono::steady_clock;

// Standard error: messages, one summary line per input and, on a terminal,
// a progress line that is rewritten in place.
class Messages {
public:
    explicit Messages(bool quiet) : quiet_(quiet), terminal_(::isatty(STDERR_FILENO) == 1) {}

    void error(const std::string& text) { write(text); }
    void info(const std::string& text) {
        if (!quiet_) write(text);
    }
    void progress(int filesDone, int files, long long seriesDone) {
        if (quiet_ || !terminal_) return;
        const auto now = Clock::now();
        if (now - start_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(100)) return;
        shown_ = now;
        std::fprintf(stderr, "\rdetrend: %d of %d files, %lld series done", filesDone, files, seriesDone);
        std::fflush(stderr);
        progressShown_ = true;
    }
    // Removes the progress line, if shown.
    void endProgress() {
        if (!progressShown_) return;
        std::fputs("\r\033[K", stderr);
        progressShown_ = false;
    }

private:
    void write(const std::string& text) {
        std::fflush(stdout);
        endProgress();
        std::fprintf(stderr, "detrend: %s\n", text.c_str());
        std::fflush(stderr);
    }

    bool quiet_, terminal_;
    bool progressShown_ = false;
    Clock::time_point start_ = Clock::now(), shown_{};
};

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator<(const FileIdentity& o) const { return device != o.device ? device < o.device : inode < o.inode; }
};

std::optional<FileIdentity> identity(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

// Reads a whole file ("-": standard input) into `bytes`; the reason on failure.
std::string readWhole(const std::string& path, std::string& bytes) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        if (!standardInput) ::close(fd);
        return std::strerror(EISDIR);
    }
    bytes.clear();
    if (S_ISREG(status.st_mode) && status.st_size > 0) bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0) break;
        if (errno == EINTR) continue;
        const int saved = errno;
        if (!standardInput) ::close(fd);
        return std::strerror(saved);
    }
    if (!standardInput) ::close(fd);
    return {};
}

// The input's file name without directories and without its extension.
std::string baseName(const std::string& path) {
    if (path == "-") return "stdin";
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

// The first year inside a series with no value, or nothing.
std::optional<long long> firstGap(const Series& s) {
    for (std::size_t i = 0; i < s.values.size(); ++i)
        if (std::isnan(s.values[i])) return s.firstYear + static_cast<long long>(i);
    return std::nullopt;
}

// Why series `s` cannot be detrended with `cutoff`, or "".
std::string skipReason(const Series& s, int cutoff) {
    if (!s.problem.empty()) return s.problem;
    if (s.values.empty()) return "it has no values";
    if (const auto gap = firstGap(s)) return "it has no value for " + std::to_string(*gap) + ", inside the series";
    const long long n = static_cast<long long>(s.values.size());
    if (cutoff >= n)
        return "the cutoff " + std::to_string(cutoff) + " is not below its length of " + std::to_string(n) +
               (n == 1 ? " year" : " years");
    return {};
}

class BatchRun {
public:
    explicit BatchRun(const BatchOptions& options) : o_(options), messages_(options.quiet) {
        for (const std::string& input : o_.inputs)
            if (const auto id = identity(input); id && input != "-") inputs_[*id] = input;
    }

    int run() {
        for (const auto& [dir, what] : {std::pair{o_.outputDir, "output directory"}, {o_.plotDir, "plot directory"}}) {
            if (!dir) continue;
            struct stat status;
            const int error = ::stat(dir->c_str(), &status) != 0 ? errno : S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
            if (error != 0) {
                messages_.error(std::string(what) + " \"" + *dir + "\": " + std::strerror(error));
                return 1;
            }
        }
        int status = 0;
        for (std::size_t i = 0; i < o_.inputs.size(); ++i) {
            try {
                if (!runInput(o_.inputs[i])) status = 1;
            } catch (const std::bad_alloc&) {
                messages_.error(display(o_.inputs[i]) + ": not enough memory for this input");
                status = 1;
            }
            ++filesDone_;
            messages_.progress(filesDone_, static_cast<int>(o_.inputs.size()), seriesDone_);
        }
        messages_.endProgress();
        return status;
    }

private:
    // What a run writes for one input.
    struct Targets {
        std::optional<std::string> listing, csv;
    };

    Targets targetsFor(const std::string& input) const {
        Targets t;
        if (o_.outputDir) {
            const std::string base = *o_.outputDir + "/" + baseName(input);
            t.listing = base + ".out";
            t.csv = base + ".csv";
        } else {
            t.listing = o_.output;
            t.csv = o_.csv;
            if (o_.listingToStandardOutput()) t.listing = "-";
        }
        return t;
    }

    // A reason when `path` may not be written for `input`.
    std::string refuseOutput(const std::string& path, const std::string& input) {
        if (path == "-") return {};
        if (const auto id = identity(path)) {
            if (const auto it = inputs_.find(*id); it != inputs_.end())
                return "output file \"" + path + "\" is the input file \"" + it->second +
                       "\": writing it would destroy the input";
            if (const auto it = written_.find(*id); it != written_.end() && it->second != input)
                return "output file \"" + path + "\" was already written for input \"" + it->second + "\"";
        }
        return {};
    }

    bool read(const std::string& input, SeriesSet& set) {
        std::string bytes;
        if (const std::string reason = readWhole(input, bytes); !reason.empty()) {
            messages_.error(display(input) + ": cannot read: " + reason);
            return false;
        }
        InputFormat format = InputFormat::table;
        switch (o_.format) {
            case InputFormatChoice::automatic: format = detectFormat(bytes); break;
            case InputFormatChoice::table: format = InputFormat::table; break;
            case InputFormatChoice::tucson: format = InputFormat::tucson; break;
            case InputFormatChoice::csv: format = InputFormat::csv; break;
        }
        InputError error;
        bool ok = false;
        switch (format) {
            case InputFormat::table: ok = readFreeTable(bytes, {o_.columns, o_.missing}, set, error); break;
            case InputFormat::tucson: ok = readTucson(bytes, set, error); break;
            case InputFormat::csv: {
                CsvOptions csv;
                csv.missing = o_.missing;
                ok = readCsv(bytes, csv, set, error);
                break;
            }
        }
        if (!ok) {
            std::string where = display(input);
            if (error.line > 0) where += ":" + std::to_string(error.line);
            if (error.line > 0 && error.column > 0) where += ":" + std::to_string(error.column);
            messages_.error(where + ": " + error.message);
            return false;
        }
        for (const std::string& warning : set.warnings) messages_.info(display(input) + ": " + warning);
        return true;
    }

    static std::string display(const std::string& input) { return input == "-" ? "standard input" : input; }

    bool runInput(const std::string& input) {
        SeriesSet set;
        if (!read(input, set)) return false;
        const Targets targets = targetsFor(input);

        // The series to detrend, each with its cutoff; the others are skipped.
        std::vector<std::size_t> usable;
        std::vector<int> cutoffs;
        int skipped = 0;
        for (std::size_t i = 0; i < set.series.size(); ++i) {
            const Series& s = set.series[i];
            const int cutoff = o_.cutoff.forLength(static_cast<long long>(s.values.size()));
            if (const std::string reason = skipReason(s, cutoff); !reason.empty()) {
                messages_.error(display(input) + ": series " + quotedName(s.name) + " skipped: " + reason);
                ++skipped;
                continue;
            }
            usable.push_back(i);
            cutoffs.push_back(cutoff);
        }

        std::vector<IndexColumn> indices;
        std::vector<std::string> plotNames;
        std::optional<plot::PlotFormat> plotFormat;
        if (o_.plotDir) {
            plotFormat = plot::parsePlotFormat(o_.plotFormat);
            std::vector<std::string> names;
            for (std::size_t i : usable) names.push_back(set.series[i].name);
            plotNames = plot::plotFileNames(baseName(input), names, plot::plotFormatExtension(*plotFormat));
        }
        std::vector<std::string> failures;
        plot::PlotData plotData(0);
        int noSpline = 0;
        // The outputs, opened only now that their input was read.
        std::optional<OutputFile> listing, csvFile;
        try {
            for (const auto& [target, file] : {std::pair{&targets.listing, &listing}, {&targets.csv, &csvFile}}) {
                if (!*target) continue;
                const std::string& path = **target;
                if (const std::string reason = refuseOutput(path, input); !reason.empty()) fail(reason);
                if (path == "-") {
                    file->emplace(STDOUT_FILENO, "standard output");
                } else {
                    file->emplace(path);
                    if (const auto id = identity(path)) written_[*id] = input;
                }
            }
            detrendInOrder(
                static_cast<int>(usable.size()), o_.jobs, 0,
                [&](int index) { return cutoffs[static_cast<std::size_t>(index)]; },
                [&](int index) {
                    return std::span<const double>(set.series[usable[static_cast<std::size_t>(index)]].values);
                },
                [&](int index, const numeric::SeriesFit& fit, const std::string& block) {
                    Series& s = set.series[usable[static_cast<std::size_t>(index)]];
                    const int cutoff = cutoffs[static_cast<std::size_t>(index)];
                    // The values are not needed after their delivery.
                    struct Release {
                        std::vector<double>& values;
                        ~Release() { std::vector<double>().swap(values); }
                    } release{s.values};
                    ++seriesDone_;
                    messages_.progress(filesDone_, static_cast<int>(o_.inputs.size()), seriesDone_);
                    if (!hasSpline(fit)) {
                        messages_.error(display(input) + ": series " + quotedName(s.name) +
                                        " skipped: no spline: " + noSplineReason(cutoff, s.values, fit));
                        ++noSpline;
                        return;
                    }
                    if (listing) listing->write(block);
                    if (targets.csv) indices.push_back(indexColumn(s, fit));
                    ratioWarning(input, s, fit);
                    if (plotFormat) {
                        const std::size_t n = fit.series.size();
                        if (plotData.years.size() < n) plotData = plot::PlotData(static_cast<int>(n));
                        plot::buildPlotData(fit.series, fit.spline, fit.residual, static_cast<int>(n),
                                            static_cast<int>(s.firstYear), 0, plotData);
                        const std::string path = *o_.plotDir + "/" + plotNames[static_cast<std::size_t>(index)];
                        const std::string reason =
                            plot::writePlotFile(path, *plotFormat, plotData, fit.residual, s.name, cutoff);
                        if (!reason.empty()) failures.push_back(reason);
                    }
                },
                // The listing block is laid out on the worker threads.
                [&](int index, const numeric::SeriesFit& fit, std::string& block) {
                    if (!listing || !hasSpline(fit)) return block.clear();
                    const Series& s = set.series[usable[static_cast<std::size_t>(index)]];
                    layoutListingBlock(block, SeriesName::from(s.name), s.firstYear, fit.series, fit.spline,
                                       fit.residual);
                });
            if (listing) listing->close();
            if (csvFile) {
                writeWideCsv(indices, [&](std::string_view piece) { csvFile->write(piece); });
                csvFile->close();
            }
        } catch (const RunEnd& end) {
            messages_.error(display(input) + ": " + end.report);
            return false;
        }
        for (const std::string& f : failures) messages_.error(display(input) + ": " + f);
        skipped += noSpline;
        const int done = static_cast<int>(usable.size()) - noSpline;
        messages_.info(display(input) + ": " + std::to_string(done) + " series" + " detrended, " +
                       std::to_string(skipped) + " skipped");
        return skipped == 0 && failures.empty();
    }

    IndexColumn indexColumn(const Series& s, const numeric::SeriesFit& fit) const {
        IndexColumn c{s.name, s.firstYear, {}};
        c.values.resize(fit.series.size());
        for (std::size_t i = 0; i < fit.series.size(); ++i) {
            c.values[i] =
                o_.index == IndexKind::difference ? fit.residual[i]
                : fit.spline[i] > 0.0f
                    ? static_cast<float>(static_cast<double>(fit.series[i]) / static_cast<double>(fit.spline[i]))
                    : std::numeric_limits<float>::quiet_NaN();
        }
        return c;
    }

    // The ratio index has no meaning where the spline is not positive.
    void ratioWarning(const std::string& input, const Series& s, const numeric::SeriesFit& fit) {
        if (o_.index != IndexKind::ratio || (!o_.csv && !o_.outputDir)) return;
        const auto years = std::count_if(fit.spline.begin(), fit.spline.end(), [](float v) { return !(v > 0.0f); });
        if (years > 0)
            messages_.error(display(input) + ": series " + quotedName(s.name) + ": the spline is not positive in " +
                            std::to_string(years) + (years == 1 ? " year" : " years") +
                            "; the ratio index is NA there");
    }

    static std::string quotedName(const std::string& name) { return "\"" + name + "\""; }

    const BatchOptions& o_;
    Messages messages_;
    std::map<FileIdentity, std::string> inputs_;  // every input file, by identity
    std::map<FileIdentity, std::string> written_;  // outputs written, with their input
    int filesDone_ = 0;
    long long seriesDone_ = 0;
};

}  // namespace

int runBatch(const std::vector<std::string>& arguments) {
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    switch (parsed.action) {
        case ParsedCommandLine::Action::help: std::fputs(batchHelp, stdout); return 0;
        case ParsedCommandLine::Action::version: std::printf("detrend %s\n", DETREND_VERSION); return 0;
        case ParsedCommandLine::Action::usageError:
            std::fprintf(stderr, "detrend: %s\nTry 'detrend --help' for more information.\n", parsed.error.c_str());
            return 2;
        case ParsedCommandLine::Action::run: break;
    }
    BatchRun run(parsed.options);
    return run.run();
}

}  // namespace detrend
