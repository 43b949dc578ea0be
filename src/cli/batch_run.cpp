#include "cli/batch_run.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/options.hpp"
#include "cli/progress.hpp"
#include "cli/read_hint.hpp"
#include "formats/fields.hpp"
#include "formats/read_series.hpp"
#include "output/chronology_files.hpp"
#include "output/file_identity.hpp"
#include "output/output_file.hpp"
#include "output/temporary_files.hpp"
#include "pipeline/detrend_set.hpp"
#include "plot/plot_format.hpp"

#ifndef DETREND_VERSION
#error "DETREND_VERSION must give the program's version"
#endif

namespace detrend::cli {
namespace {

// The input's file name without directories and without its extension.
std::string baseName(const std::string& path) {
    if (path == "-") return "stdin";
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

// Makes directory `path` and its missing parents, as mkdir -p does; `made`
// tells whether `path` itself was missing. Returns 0 or the cause of failure
// (ENOTDIR when something else than a directory has the name).
int makeDirectory(const std::string& path, bool& made) {
    struct stat status;
    if (::stat(path.c_str(), &status) == 0) return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    const std::size_t slash = path.find_last_not_of('/') == std::string::npos
                                  ? std::string::npos
                                  : path.find_last_of('/', path.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0) {
        bool parentMade = false;
        if (const int error = makeDirectory(path.substr(0, slash), parentMade); error != 0) return error;
    }
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    made = true;
    return 0;
}

// The path of an output as the file system will resolve it, so that two
// spellings of one target compare equal before the file exists.
std::string resolvedTarget(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    char* real = ::realpath(dir.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved = std::string(real) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::free(real);
    return resolved;
}

// How messages name an input.
std::string label(const std::string& input) { return input == "-" ? "standard input" : input; }

// Where the results of one input go.
struct Targets {
    std::optional<std::string> listing, csv, chronology, statistics;
};

// The outputs of one input, opened.
struct OpenOutputs {
    std::optional<output::OutputFile> listing, csv, chronology, statistics;
};

// The cutoff as the statistics table records it: "32" or "67%".
std::string cutoffText(const pipeline::Cutoff& cutoff) {
    return cutoff.years > 0 ? std::to_string(cutoff.years) : std::to_string(cutoff.percent) + "%";
}

class BatchRun {
public:
    BatchRun(const Options& options, output::Messages& messages)
        : o_(options), messages_(messages), progress_(messages, static_cast<int>(options.inputs.size())) {
        for (const std::string& input : o_.inputs)
            if (input != "-") inputs_.add(input, output::identityOf(input));
    }

    int run() {
        if (!directoriesExist()) return 1;
        int status = 0;
        for (const std::string& input : o_.inputs) {
            try {
                if (!runInput(input)) status = 1;
            } catch (const std::bad_alloc&) {
                messages_.error(label(input) + ": not enough memory for this input");
                status = 1;
            }
            progress_.fileDone();
        }
        progress_.end();
        if (!writeStatistics()) status = 1;
        return status;
    }

private:
    // The output and plot directories, made with their parents when missing.
    bool directoriesExist() {
        for (const auto& [dir, what] : {std::pair{o_.outputDir, "output directory"}, {o_.plotDir, "plot directory"}}) {
            if (!dir) continue;
            bool made = false;
            if (const int error = makeDirectory(*dir, made); error != 0) {
                messages_.error(std::string(what) + " " + base::quoted(*dir) + ": " + std::strerror(error));
                return false;
            }
            if (made) messages_.note("made the " + std::string(what) + " " + base::quoted(*dir));
        }
        return true;
    }

    Targets targetsFor(const std::string& input) const {
        Targets t;
        const std::string base = o_.outputDir ? *o_.outputDir + "/" + baseName(input) : "";
        if (o_.outputDir) {
            t.listing = base + ".out";
            t.csv = base + ".csv";
        } else {
            t.listing = o_.output;
            t.csv = o_.csv;
            if (o_.listingToStandardOutput()) t.listing = "-";
        }
        if (o_.chronology)
            t.chronology =
                o_.chronology->empty() ? base + (o_.chronologyCrn ? "-chron.crn" : "-chron.csv") : *o_.chronology;
        // A statistics file of all inputs is written at the end.
        if (o_.statistics && o_.statistics->empty()) t.statistics = base + "-stats.csv";
        return t;
    }

    bool read(const std::string& input, formats::SeriesSet& set) {
        formats::ReadOptions options = o_.read;
        if (input != "-") options.fileName = input;  // standard input has no name
        const formats::Read<std::string> bytes = formats::readInputFile(input, o_.maxInput);
        if (refused(input, bytes)) return false;
        formats::Read<formats::SeriesSet> series = formats::readSeries(bytes.result.value(), options);
        if (refused(input, series)) return false;
        set = std::move(series.result).value();
        for (const std::string& warning : set.warnings) messages_.note(label(input) + ": " + warning);
        if (set.itemsIgnored) messages_.note(label(input) + ": " + itemsIgnoredNote(*set.itemsIgnored));
        return true;
    }

    // Whether `read` failed; if so, says why.
    template <class T>
    bool refused(const std::string& input, const formats::Read<T>& read) {
        if (read.result) return false;
        messages_.error(output::located(label(input), withHint(read.result.error(), read.hint, read.assumed)));
        return true;
    }

    // A reason when `path` may not be written for `input`.
    std::string refusal(const std::string& path, const std::string& input) const {
        if (path == "-") return {};
        if (const std::string* over = inputs_.writtenOver(path))
            return "output file \"" + path + "\" is the input file \"" + *over +
                   "\": writing it would destroy the input";
        if (const auto it = written_.find(resolvedTarget(path)); it != written_.end()) {
            if (it->second != input)
                return "output file \"" + path + "\" was already written for input \"" + it->second + "\"";
            return "output file \"" + path + "\" is named for two outputs of this input";
        }
        return {};
    }

    // Opens the outputs of `input`, unless one of them must not be written.
    bool open(const std::string& input, OpenOutputs& outputs) {
        const Targets targets = targetsFor(input);
        for (const auto& [target, file] : {std::pair{&targets.listing, &outputs.listing},
                                           {&targets.csv, &outputs.csv},
                                           {&targets.chronology, &outputs.chronology},
                                           {&targets.statistics, &outputs.statistics}}) {
            if (!*target) continue;
            const std::string& path = **target;
            if (const std::string reason = refusal(path, input); !reason.empty()) {
                messages_.error(label(input) + ": " + reason);
                return false;
            }
            if (path == "-") {
                file->emplace(STDOUT_FILENO, "standard output");
                continue;
            }
            file->emplace(path, output::Replace::whenComplete);
            if (!(*file)->opened().ok()) {
                messages_.error(label(input) + ": " + (*file)->opened().why());
                return false;
            }
            written_[resolvedTarget(path)] = input;
        }
        return true;
    }

    bool runInput(const std::string& input) {
        formats::SeriesSet set;
        if (!read(input, set)) return false;
        const pipeline::SetPlan plan = pipeline::planSet(set, o_.cutoff, label(input), messages_);
        // The outputs are opened only now that their input was read.
        OpenOutputs files;
        if (!open(input, files)) return false;
        const pipeline::SetResult result =
            pipeline::detrendSet(set, plan, outputsOf(input, files), label(input), messages_);
        if (!result.statistics) return result.complete;
        const std::string row =
            output::statisticsCsvRow(input, *result.statistics, cutoffText(o_.cutoff), output::indexName(o_.index));
        if (!files.statistics) {
            statisticsRows_ += row;
            return result.complete;
        }
        base::Status written = files.statistics->write(output::statisticsCsvHeader() + row);
        if (written.ok()) written = files.statistics->close();
        if (!written.ok()) messages_.error(label(input) + ": " + written.why());
        return result.complete && written.ok();
    }

    pipeline::SetOutputs outputsOf(const std::string& input, OpenOutputs& files) {
        pipeline::SetOutputs outputs;
        outputs.listing = files.listing ? &*files.listing : nullptr;
        outputs.csv = files.csv ? &*files.csv : nullptr;
        outputs.index = o_.index;
        if (o_.plotDir)
            outputs.plots = pipeline::PlotFiles{*o_.plotDir, *plot::parsePlotFormat(o_.plotFormat), baseName(input)};
        if (o_.chronology)
            outputs.chronology = pipeline::ChronologyFile{files.chronology ? &*files.chronology : nullptr,
                                                          o_.chronologyCrn, o_.chronologyMean, baseName(input)};
        if (o_.statistics) outputs.statistics = o_.correlation;
        outputs.jobs = o_.jobs;
        outputs.seriesDone = [&] { progress_.seriesDone(); };
        return outputs;
    }

    // The statistics of every input in one file, written at the end.
    bool writeStatistics() {
        if (!o_.statistics || o_.statistics->empty()) return true;
        const std::string& path = *o_.statistics;
        if (const std::string reason = refusal(path, ""); !reason.empty()) {
            messages_.error(reason);
            return false;
        }
        const base::Status written = output::writeWholeFile(path, output::statisticsCsvHeader() + statisticsRows_);
        if (!written.ok()) messages_.error(written.why());
        return written.ok();
    }

    const Options& o_;
    output::Messages& messages_;
    Progress progress_;
    output::InputFiles inputs_;
    std::map<std::string, std::string> written_;  // outputs written (resolvedTarget), with their input
    std::string statisticsRows_;  // for the statistics file of all inputs
};

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, output::Messages& messages) {
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    switch (parsed.action) {
        case ParsedCommandLine::Action::help: std::fputs(helpText, stdout); return 0;
        case ParsedCommandLine::Action::version: std::printf("detrend %s\n", DETREND_VERSION); return 0;
        case ParsedCommandLine::Action::usageError:
            messages.error(parsed.error);
            messages.line("Try 'detrend --help' for more information.");
            return 2;
        case ParsedCommandLine::Action::run: break;
    }
    messages.setQuiet(parsed.options.quiet);
    // A file size limit makes writes fail (EFBIG), reported as such, rather
    // than end the process; an interruption removes what is half written.
    std::signal(SIGXFSZ, SIG_IGN);
    output::temporaries::watchInterruptions();
    return BatchRun(parsed.options, messages).run();
}

}  // namespace detrend::cli
