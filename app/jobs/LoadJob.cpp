#include "jobs/LoadJob.h"

#include "sample/OutputFile.h"
#include "sample/Progress.h"
#include "sample/TextFormat.h"

#include <charconv>
#include <exception>
#include <thread>

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("LoadJob", text); }

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

QStringList run_labels_of(const QStringList& files) {
    QStringList labels;
    for (const QString& f : files) labels.append(QFileInfo(f).fileName());
    for (qsizetype r = 0; r < labels.size(); ++r)
        if (labels.count(labels[r]) > 1) labels[r] = tr("%1 (run %2)").arg(labels[r]).arg(r + 1);
    return labels;
}
