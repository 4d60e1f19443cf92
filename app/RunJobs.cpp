#include "app/RunJobs.h"

#include "sample/OutputFile.h"
#include "sample/Progress.h"
#include "sample/SetQuery.h"
#include "sample/TextFormat.h"

#include <charconv>
#include <exception>
#include <thread>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("RunJobs", text); }

}  // namespace

/// The trace as the side file would hold it (log likelihoods with six significant digits), of
/// observations first..last - 1 into points[first..last).
static void trace_into(const MC_Sample& store, std::int32_t first, std::int32_t last, std::vector<TracePoint>& points) {
    std::string text;
    for (std::int32_t i = first; i < last; ++i) {
        text.clear();
        append_general(text, store.log_likelihood(i));
        TracePoint& p = points[static_cast<std::size_t>(i)];
        std::from_chars(text.data(), text.data() + text.size(), p.log_likelihood);
        p.k = store.get_k_for_sample(static_cast<std::uint32_t>(i));
    }
}

/// The whole trace, in two halves on two threads when it is long (as many cores as the loading uses).
std::vector<TracePoint> trace_of(const MC_Sample& store) {
    const std::int32_t n = store.get_n_samples();
    std::vector<TracePoint> points(static_cast<std::size_t>(n));
    if (n < 100000) {
        trace_into(store, 0, n, points);
        return points;
    }
    std::thread other([&] { trace_into(store, n / 2, n, points); });
    trace_into(store, 0, n / 2, points);
    other.join();
    return points;
}

LoadedRun load_run(const LoadRequest& request, JobControl& control) {
    LoadedRun out;
    Notices notes;
    const auto finish = [&] {
        out.notices = notes.take();
        return std::move(out);
    };
    out.header_status = read_result_header(request.result_path, out.header, notes);
    if (out.header_status != HeaderStatus::ok) return finish();

    // A side file that cannot be created is told here, with what the window does about it, and loading
    // then writes none.
    std::string side_path = request.side_path;
    {
        OutputFile probe;
        if (!probe.open(side_path)) {
            notes.report("", "Cannot write the trajectory file " + side_path + " (" + probe.error() +
                                 "); the trace is kept in memory, so it can still be shown and saved.");
            side_path.clear();
        }
        probe.discard();
    }

    const QString reading = tr("Reading %1").arg(QFileInfo(QString::fromStdString(request.result_path)).fileName());
    const Progress progress([&](std::int64_t done, std::int64_t total) { control.report(reading, done, total); },
                            control.cancel_flag());
    control.report(reading, 0, 0);
    out.store = std::make_shared<MC_Sample>();
    try {
        out.report = out.store->fill_mc_sample(request.result_path, side_path, notes, &progress);
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    out.side_file_written = out.error.empty() ? out.report.side_file_written : !side_path.empty();
    std::optional<std::vector<TracePoint>> read;
    if (out.side_file_written) {
        Notices ignored;
        read = read_side_file(side_path, ignored);
    }
    if (read) {
        out.trace = std::move(*read);
    } else {
        out.side_file_written = false;
        out.trace = trace_of(*out.store);
    }
    return finish();
}

LoadedRun load_runs(const std::vector<std::string>& paths, const std::string& side_path, JobControl& control) {
    LoadedRun out;
    Notices notes;
    const QString reading =
        QCoreApplication::translate("RunJobs", "Reading %n runs", nullptr, static_cast<int>(paths.size()));
    const Progress progress([&](std::int64_t done, std::int64_t total) { control.report(reading, done, total); },
                            control.cancel_flag());
    control.report(reading, 0, 0);
    OpenedRuns opened = open_runs(paths, side_path, notes, 2, &progress);
    out.notices = notes.take();
    out.runs = std::move(opened.runs);
    if (opened.status == OpenedRuns::Status::unreadable || opened.status == OpenedRuns::Status::mismatch) {
        out.header_status = HeaderStatus::invalid;
        return out;
    }
    out.header = pooled_header(out.runs);
    if (opened.status == OpenedRuns::Status::load_failed) {
        out.error = opened.error;
        out.store = std::make_shared<MC_Sample>();
        return out;
    }
    out.store = std::move(opened.store);
    out.trace = trace_of(*out.store);
    out.side_file_written = !side_path.empty();
    for (const RunInfo& r : out.runs) out.side_file_written = out.side_file_written && r.report.side_file_written;
    return out;
}

QString stage_text(TreeStage stage) {
    switch (stage) {
        case TreeStage::counts:
            return tr("1/5 Counting pair co-assignments");
        case TreeStage::pairwise_file:
            return tr("2/5 Writing the pairwise co-assignment file");
        case TreeStage::seeding:
            return tr("3/5 Seeding the tree");
        case TreeStage::merges:
            return tr("4/5 Merging clusters");
        case TreeStage::tree_files:
            return tr("5/5 Writing the tree files");
    }
    return {};
}

TreeOutcome make_tree_job(const TreeRequest& request, JobControl& control) {
    TreeOutcome out;
    Notices notes;
    control.report(stage_text(TreeStage::counts), 0, 0);
    // The map draws the pair counts after the tree is made.
    bool failed = false;
    const MakeTreeOutputs outputs =
        tree_outputs(request.files, notes, failed, [&out](const Marginal& marginal, const KList& k_list) {
            const Marginal::PairCountView view = marginal.pair_counts(k_list);
            if (view.cells.empty() || view.total <= 0) return;
            out.pair_cells = std::make_shared<const std::vector<std::uint32_t>>(view.cells.begin(), view.cells.end());
            out.pair_total = view.total;
        });
    try {
        out.result = make_tree(
            request.store.get(), request.params, notes,
            [&control](TreeStage stage, std::int64_t done, std::int64_t total) {
                control.report(stage_text(stage), done, total);
            },
            control.cancel_flag(), outputs);
        if (out.result.status == MakeTreeResult::Status::done) write_tree_files(request.files, out.result.shape, notes);
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    out.notices = notes.take();
    return out;
}

IndividualResult individual_job(const IndividualRequest& request, JobControl& control) {
    control.report(tr("Charting individual %1").arg(request.n), 0, 0);
    IndividualResult out;
    out.n = request.n;
    const std::vector<MC_Sample::SetCount> counts =
        count_co_assi_with_all(*request.store, request.n, request.k_from, request.k_to, request.burn_in);
    if (counts.empty()) return out;
    out.counted = counts.front().counted;
    if (out.counted == 0) return out;
    out.values.reserve(counts.size());
    for (const MC_Sample::SetCount& c : counts)
        out.values.push_back(static_cast<double>(c.hits) / static_cast<double>(c.counted));
    out.values[static_cast<std::size_t>(request.n - 1)] = 1.0;
    return out;
}
