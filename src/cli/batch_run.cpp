#include "cli/batch_run.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>
#include <cstdio>
#include <new>

#include "cli/options.hpp"
#include "cli/progress.hpp"
#include "cli/read_hint.hpp"
#include "cli/run_plan.hpp"
#include "cli/tree_table.hpp"
#include "base/text.hpp"
#include "formats/read_series.hpp"
#include "output/chronology_files.hpp"
#include "output/naming.hpp"
#include "output/output_file.hpp"
#include "output/series_file.hpp"
#include "output/temporary_files.hpp"
#include "pipeline/crossdate_set.hpp"
#include "pipeline/detrend_set.hpp"
#include "pipeline/gaps.hpp"

#ifndef DETREND_VERSION
#error "DETREND_VERSION must give the program's version"
#endif

namespace detrend::cli {
namespace {

class BatchRun {
public:
    BatchRun(const Options& options, output::Messages& messages)
        : o_(options),
          plan_(planRun(options)),
          messages_(messages),
          progress_(messages, static_cast<int>(options.inputs.size())) {
        claims_.addInputs(o_.inputs);
    }

    int run() {
        if (!claimRunTables() || !directoriesExist()) return 1;
        int status = 0;
        for (const pipeline::InputPlan& input : plan_.inputs) {
            output::temporaries::beginInput(input.label);
            try {
                if (!runInput(input)) status = 1;
            } catch (const std::bad_alloc&) {
                messages_.error(input.label + ": not enough memory for this input");
                status = 1;
            }
            output::temporaries::endInput();
            progress_.fileDone();
        }
        progress_.end();
        if (!writeStatistics()) status = 1;
        return status;
    }

private:
    // The tables of the whole run, checked against the inputs and each other
    // and claimed before anything is written.
    bool claimRunTables() {
        for (const std::optional<std::string>& path : {plan_.statistics, plan_.running, plan_.fits}) {
            if (!path) continue;
            if (const base::Status allowed = claims_.check(*path, ""); !allowed.ok()) {
                messages_.error(allowed.why());
                return false;
            }
            claims_.claim(*path, "");
        }
        return true;
    }

    // The output and plot directories, made with their parents when missing.
    bool directoriesExist() {
        for (const auto& [dir, what] : plan_.directories) {
            const base::Result<bool> made = output::makeDirectory(dir);
            if (!made.ok()) {
                messages_.error(what + " " + base::quoted(dir) + ": " + made.why());
                return false;
            }
            if (*made) messages_.note("made the " + what + " " + base::quoted(dir));
            // Found out now, not after every input was detrended.
            if (::access(dir.c_str(), W_OK | X_OK) != 0) {
                messages_.error(what + " " + base::quoted(dir) + ": " + std::strerror(errno));
                return false;
            }
        }
        return true;
    }

    // Reads the input, with the rule of --gaps applied; `filled`: the years
    // filled, per series.
    bool read(const pipeline::InputPlan& input, formats::SeriesSet& set, std::vector<std::vector<bool>>& filled) {
        formats::ReadOptions options = o_.read;
        if (input.input != output::standardStream) options.fileName = input.input;  // standard input has no name
        const formats::Read<std::string> bytes = formats::readInputFile(input.input, o_.maxInput);
        if (refused(input, bytes)) return false;
        formats::Read<formats::SeriesSet> series = formats::readSeries(bytes.result.value(), options);
        if (refused(input, series)) return false;
        pipeline::GapsApplied applied = pipeline::applyGaps(std::move(series.result).value(), plan_.settings.gaps);
        set = std::move(applied.set);
        filled = std::move(applied.filled);
        for (const std::string& warning : set.warnings) messages_.note(input.label + ": " + warning);
        for (const std::string& note : repeatedNameNotes(set)) messages_.note(input.label + ": " + note);
        if (set.itemsIgnored) messages_.note(input.label + ": " + itemsIgnoredNote(*set.itemsIgnored));
        if (set.series.empty()) {
            messages_.error(input.label + ": no series found");
            return false;
        }
        return true;
    }

    // Whether `read` failed; if so, says why.
    template <class T>
    bool refused(const pipeline::InputPlan& input, const formats::Read<T>& read) {
        if (read.result) return false;
        messages_.error(output::located(input.label, withHint(read.result.error(), read.hint, read.assumed)));
        return true;
    }

    // What an input leaves to replace its targets with its other outputs:
    // the series file and the crossdating files, finished, and what goes to
    // standard output once they have.
    struct Finished {
        std::vector<std::unique_ptr<output::OutputFile>> files;
        std::vector<std::string> toStandardOutput;
        bool complete = true;  // every series written and crossdated
    };

    bool runInput(const pipeline::InputPlan& input) {
        formats::SeriesSet set;
        std::vector<std::vector<bool>> filled;
        if (!read(input, set, filled)) return false;
        Finished finished;
        // Years filled to detrend are written missing: a copy only when any was filled.
        formats::SeriesSet unfilled;
        const formats::SeriesSet& written =
            !input.seriesFile || filled.empty() ? set : (unfilled = pipeline::withoutFilled(set, filled));
        if (input.seriesFile && !writeSeries(input, written, finished)) return false;
        // The crossdating reads the ring widths, which the detrending
        // releases; its files replace their targets with the others.
        if (input.crossdating.any() && !crossdate(input, set, finished)) return false;
        bool detrended = true;
        bool replaced = true;
        if (plan_.settings.detrends) {
            const pipeline::SetResult result = detrend(input, set, filled, finished.files);
            detrended = result.complete;
            replaced = result.replaced;
        } else {
            replaced = commit(input, finished.files);
        }
        return replaced && writeStandardOutput(input, finished) && finished.complete && detrended;
    }

    // The crossdating files, finished into `finished`; false, with a
    // message, when one could not be written or claimed.
    bool crossdate(const pipeline::InputPlan& input, const formats::SeriesSet& set, Finished& finished) {
        if (!claimCrossdatingFiles(input)) return false;
        pipeline::CrossdatingOutcome outcome = pipeline::crossdateSet(set, plan_.settings, input, messages_);
        if (!outcome.written) return false;
        for (std::unique_ptr<output::OutputFile>& file : outcome.files) finished.files.push_back(std::move(file));
        if (outcome.toStandardOutput) finished.toStandardOutput.push_back(std::move(*outcome.toStandardOutput));
        finished.complete = finished.complete && outcome.complete;
        return true;
    }

    // Renames every finished file over its target.
    bool commit(const pipeline::InputPlan& input, const std::vector<std::unique_ptr<output::OutputFile>>& files) {
        bool committed = true;
        for (const std::unique_ptr<output::OutputFile>& file : files) {
            if (const base::Status done = file->commit(); !done.ok()) {
                messages_.error(input.label + ": " + done.why());
                committed = false;
            }
        }
        return committed;
    }

    bool writeStandardOutput(const pipeline::InputPlan& input, const Finished& finished) {
        bool written = true;
        for (const std::string& text : finished.toStandardOutput) {
            output::OutputFile out(STDOUT_FILENO, "standard output");
            if (const base::Status done = out.write(text); !done.ok()) {
                messages_.error(input.label + ": " + done.why());
                written = false;
            }
        }
        return written;
    }

    // The crossdating files claimed, and the other outputs checked against
    // them, before anything of the input is written.
    bool claimCrossdatingFiles(const pipeline::InputPlan& input) {
        base::Status allowed = pipeline::claimCrossdatingFiles(input, claims_);
        for (const std::optional<std::string>& file : input.files)
            if (allowed.ok() && file) allowed = claims_.check(*file, input.input);
        if (!allowed.ok()) messages_.error(input.label + ": " + allowed.why());
        return allowed.ok();
    }

    // The series read, written again: finished, and replaced with the
    // input's other outputs.
    bool writeSeries(const pipeline::InputPlan& input, const formats::SeriesSet& set, Finished& finished) {
        const std::string& path = *input.seriesFile;
        const auto failed = [&](const std::string& why) {
            messages_.error(input.label + ": " + why);
            return false;
        };
        if (const base::Status allowed = claims_.check(path, input.input); !allowed.ok()) return failed(allowed.why());
        // Refused before anything is written when another output of the input has its name.
        for (const std::optional<std::string>& other : input.files)
            if (other && *other != output::standardStream &&
                output::resolvedTarget(*other) == output::resolvedTarget(path))
                return failed("output file " + base::quoted(path) + " is named for two outputs of this input");
        const base::Result<output::SeriesFile> file = output::seriesFile(set, plan_.settings.seriesFormat);
        if (!file.ok()) return failed("cannot write the series to " + base::quoted(path) + ": " + file.why());
        for (const std::string& note : file->written.notes) messages_.note(input.label + ": " + note);
        const std::string where = path == output::standardStream ? std::string("standard output") : base::quoted(path);
        // An empty file would only destroy what the target held.
        if (file->series == 0) return failed("none of its series can be written to " + where);
        finished.complete = file->leftOut == 0;
        if (path == output::standardStream) {
            finished.toStandardOutput.push_back(std::move(file->written.text));
        } else {
            base::Result<std::unique_ptr<output::OutputFile>> written = output::writeFinished(path, file->written.text);
            if (!written.ok()) return failed(written.why());
            finished.files.push_back(std::move(written).value());
        }
        claims_.claim(path, input.input);
        if (!plan_.settings.detrends)
            messages_.note(input.label + ": " + std::to_string(file->series) + " series written to " + where +
                           (file->leftOut > 0 ? ", " + std::to_string(file->leftOut) + " left out" : ""));
        return true;
    }

    // `filled`: per series of the set, the years --gaps fill filled in.
    // `finished`: the files replacing their targets with the detrending's.
    pipeline::SetResult detrend(const pipeline::InputPlan& input, formats::SeriesSet& set,
                                std::vector<std::vector<bool>>& filled,
                                std::vector<std::unique_ptr<output::OutputFile>>& finished) {
        pipeline::SetPlan setPlan = pipeline::planSet(set, o_.cutoff, plan_.settings, input.label, messages_);
        if (!filled.empty())
            for (std::size_t i : setPlan.usable) setPlan.filled.push_back(std::move(filled[i]));
        pipeline::SetResult result = pipeline::detrendSet(
            set, setPlan, plan_.settings, input, claims_, messages_, [&] { progress_.seriesDone(); }, &finished);
        if (result.statistics && plan_.statistics)
            statisticsRows_ +=
                output::statisticsCsvRow(input.input, result.statistics->series, result.statistics->statistics,
                                         plan_.settings.cutoff, numeric::indexName(plan_.settings.index));
        if (result.statistics && plan_.running)
            runningRows_ += output::runningCsvRows(input.input, result.statistics->running);
        if (plan_.fits) fitsRows_ += output::fitsCsvRows(input.input, result.fits);
        return result;
    }

    // The statistics and the running statistics of every input, each in one
    // file, written at the end.
    bool writeStatistics() {
        bool written = true;
        if (plan_.statistics)
            written = writeRunTable(*plan_.statistics, output::statisticsCsvHeader() + statisticsRows_);
        if (plan_.running)
            written = writeRunTable(*plan_.running, output::runningCsvHeader() + runningRows_) && written;
        if (plan_.fits) written = writeRunTable(*plan_.fits, output::fitsCsvHeader() + fitsRows_) && written;
        return written;
    }

    // `path` was claimed before the first input.
    bool writeRunTable(const std::string& path, const std::string& text) {
        base::Status written = base::Status::success();
        if (path == output::standardStream) {
            output::OutputFile out(STDOUT_FILENO, "standard output");
            written = out.write(text);
        } else {
            written = output::writeWholeFile(path, text);
        }
        if (!written.ok()) messages_.error(written.why());
        return written.ok();
    }

    const Options& o_;
    const pipeline::RunPlan plan_;
    output::Messages& messages_;
    Progress progress_;
    output::OutputClaims claims_;
    std::string statisticsRows_, runningRows_, fitsRows_;  // for the tables of all inputs
};

// The table of trees that --ids FILE names, into the plan's settings.
bool readTreeTable(Options& options, output::Messages& messages) {
    if (options.treeIds != pipeline::TreeIdSource::table) return true;
    const formats::Read<std::string> bytes = formats::readInputFile(options.treeTable, options.maxInput);
    if (!bytes.result) {
        messages.error(output::located(options.treeTable, withHint(bytes.result.error(), bytes.hint, bytes.assumed)));
        return false;
    }
    base::Result<std::map<std::string, pipeline::TreeAndCore>> table = parseTreeTable(bytes.result.value());
    if (!table.ok()) {
        messages.error(output::located(options.treeTable, table.error()));
        return false;
    }
    options.trees = std::move(table).value();
    return true;
}

// 0 once standard output is flushed; 1, with a message, when it cannot be
// written (a full disk, a closed pipe).
int flushedStandardOutput(output::Messages& messages) {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
    messages.error(std::string("cannot write standard output: ") + std::strerror(errno));
    return 1;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, output::Messages& messages) {
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    switch (parsed.action) {
        case ParsedCommandLine::Action::help: std::fputs(helpText, stdout); return flushedStandardOutput(messages);
        case ParsedCommandLine::Action::version:
            std::printf("detrend %s\n", DETREND_VERSION);
            return flushedStandardOutput(messages);
        case ParsedCommandLine::Action::usageError:
            messages.error(parsed.error);
            messages.line("Try 'detrend --help' for more information.");
            return 2;
        case ParsedCommandLine::Action::run: break;
    }
    messages.setQuiet(parsed.options.quiet);
    Options options = parsed.options;
    if (!readTreeTable(options, messages)) return 1;
    // A file size limit makes writes fail (EFBIG), reported as such, rather
    // than end the process; an interruption removes what is half written.
    std::signal(SIGXFSZ, SIG_IGN);
    output::temporaries::watchInterruptions(messages);
    return BatchRun(options, messages).run();
}

}  // namespace detrend::cli
