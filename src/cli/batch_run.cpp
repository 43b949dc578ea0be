#include "cli/batch_run.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/options.hpp"
#include "cli/progress.hpp"
#include "formats/read_series.hpp"
#include "output/file_identity.hpp"
#include "output/output_file.hpp"
#include "pipeline/detrend_set.hpp"
#include "plot/plotfile.hpp"

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

// How messages name an input.
std::string label(const std::string& input) { return input == "-" ? "standard input" : input; }

// Where the results of one input go.
struct Targets {
    std::optional<std::string> listing, csv;
};

// The outputs of one input, opened.
struct OpenOutputs {
    std::optional<output::OutputFile> listing, csv;
};

class BatchRun {
public:
    BatchRun(const Options& options, output::Messages& messages)
        : o_(options), messages_(messages), progress_(messages, static_cast<int>(options.inputs.size())) {
        for (const std::string& input : o_.inputs)
            if (const auto id = output::identityOf(input); id && input != "-") inputs_[*id] = input;
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
        return status;
    }

private:
    bool directoriesExist() {
        for (const auto& [dir, what] : {std::pair{o_.outputDir, "output directory"}, {o_.plotDir, "plot directory"}}) {
            if (!dir) continue;
            struct stat status;
            const int error = ::stat(dir->c_str(), &status) != 0 ? errno : S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
            if (error != 0) {
                messages_.error(std::string(what) + " \"" + *dir + "\": " + std::strerror(error));
                return false;
            }
        }
        return true;
    }

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

    bool read(const std::string& input, formats::SeriesSet& set) {
        std::string bytes;
        formats::InputError error;
        formats::ReadOptions options = o_.read;
        if (input != "-") options.fileName = input;  // standard input has no name
        if (!formats::readInputFile(input, bytes, error) || !formats::readSeries(bytes, options, set, error)) {
            messages_.error(output::located(label(input), error));
            return false;
        }
        for (const std::string& warning : set.warnings) messages_.note(label(input) + ": " + warning);
        return true;
    }

    // A reason when `path` may not be written for `input`.
    std::string refusal(const std::string& path, const std::string& input) const {
        if (path == "-") return {};
        if (const auto id = output::identityOf(path)) {
            if (const auto it = inputs_.find(*id); it != inputs_.end())
                return "output file \"" + path + "\" is the input file \"" + it->second +
                       "\": writing it would destroy the input";
            if (const auto it = written_.find(*id); it != written_.end() && it->second != input)
                return "output file \"" + path + "\" was already written for input \"" + it->second + "\"";
        }
        return {};
    }

    // Opens the outputs of `input`, unless one of them must not be written.
    bool open(const std::string& input, OpenOutputs& outputs) {
        const Targets targets = targetsFor(input);
        for (const auto& [target, file] :
             {std::pair{&targets.listing, &outputs.listing}, {&targets.csv, &outputs.csv}}) {
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
            file->emplace(path);
            if (!(*file)->opened().ok()) {
                messages_.error(label(input) + ": " + (*file)->opened().why());
                return false;
            }
            if (const auto id = output::identityOf(path)) written_[*id] = input;
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
        pipeline::SetOutputs outputs;
        outputs.listing = files.listing ? &*files.listing : nullptr;
        outputs.csv = files.csv ? &*files.csv : nullptr;
        outputs.index = o_.index;
        if (o_.plotDir)
            outputs.plots = pipeline::PlotFiles{*o_.plotDir, *plot::parsePlotFormat(o_.plotFormat), baseName(input)};
        outputs.jobs = o_.jobs;
        outputs.seriesDone = [&] { progress_.seriesDone(); };
        return pipeline::detrendSet(set, plan, outputs, label(input), messages_);
    }

    const Options& o_;
    output::Messages& messages_;
    Progress progress_;
    std::map<output::FileIdentity, std::string> inputs_;  // every input file, by identity
    std::map<output::FileIdentity, std::string> written_;  // outputs written, with their input
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
    return BatchRun(parsed.options, messages).run();
}

}  // namespace detrend::cli
