// What the Summary page and the report ask of the session: each run's agreement with the pool, a tree and an
// estimate in one go, and the report of what is open.

#include "coassign/RunAgreement.h"
#include "reporting/ReportJob.h"
#include "sample/ByteSource.h"
#include "sample/Sha256.h"
#include "session/Session.h"

#include <fstream>
#include <thread>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

/// The size and SHA-256 of `path` as it is now; nothing when it cannot be read.
std::optional<std::pair<std::uint64_t, std::string>> digest_of(const std::string& path, const Progress& progress) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Sha256 sha;
    std::vector<char> buffer(1 << 20);
    std::uint64_t bytes = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        sha.update(std::string_view(buffer.data(), got));
        bytes += got;
        progress.check();
    }
    if (in.bad()) return std::nullopt;
    return std::pair{bytes, sha.finish_hex()};
}

}  // namespace

void Session::compare_runs() {
    command([this] {
        if (!run_.store || run_.store->n_runs() < 2) return;
        const std::shared_ptr<const MC_Sample> store = run_.store;
        const std::int32_t burn_in = std::max(0, last_burn_in_);
        const RunParameters range = parameters();
        agreements_.start<std::vector<double>>(
            tr("Comparing each run of %1 with the pool").arg(run_name()),
            [store, burn_in, range](JobControl& control) {
                const Progress progress(
                    [&control](std::int64_t done, std::int64_t total) {
                        control.report(tr("Comparing each run with the pool"), done, total);
                    },
                    control.cancel_flag());
                const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
                return psm_max_diff(*store, burn_in, range.k_from, range.k_to, threads, &progress);
            },
            [this, burn_in](std::vector<double>&& differences) { emit runs_compared(differences, burn_in); });
    });
}

void Session::make_tree_and_estimate(Loss loss, std::uint64_t seed) {
    command([&] {
        if (!run_.store || loads_.busy() || trees_.busy()) return;
        estimate_after_tree_ = std::pair{loss, seed};
        make_tree();
        if (!trees_.busy()) estimate_after_tree_.reset();
    });
}

void Session::save_report(const QString& path, Loss loss, std::uint64_t seed, bool letter, const QString& version) {
    command([&] {
        if (!run_.store) {
            emit problem(Severity::warning, tr("There is nothing to report: open a result file first."));
            return;
        }
        ReportRequest request;
        request.store = run_.store;
        const RunOutputs files = run_outputs(std::max(0, last_burn_in_));
        request.sources = files.sources;
        request.pool = run_.header;
        request.run_labels = run_labels();
        request.run_name = run_name();
        request.names = run_.names;
        request.groups = groups_;
        request.burn_in = std::max(0, last_burn_in_);
        request.k_from = files.k_from;
        request.k_to = files.k_to;
        request.estimate.loss = loss;
        request.estimate.seed = seed;
        request.provenance.version = version.toStdString();
        request.provenance.date = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
        request.provenance.settings = {
            {"Made in", "the window"},
            {"Burn-in", std::to_string(request.burn_in)},
            {"k range of the tree", std::to_string(request.k_from) + ".." + std::to_string(request.k_to)},
            {"Loss and seed of the estimate", std::string(loss_name(loss)) + ", seed " + std::to_string(seed)}};
        const QString shown = QFileInfo(path).fileName();
        reports_.start<ReportData>(
            tr("Making the report %1").arg(shown),
            [request](JobControl& control) {
                ReportData data = report_data(request, control);
                // The window read the files when it opened them; their checksums are of the files as they are now.
                const Progress progress(
                    [&control](std::int64_t done, std::int64_t total) {
                        control.report(tr("Checksums of the inputs"), done, total);
                    },
                    control.cancel_flag());
                for (const PosteriorSource& source : request.sources) {
                    const auto digest = digest_of(source.result_path, progress);
                    data.facts.provenance.inputs.push_back(ReportSource{source.result_path, digest ? digest->first : 0,
                                                                        source.stored, digest ? digest->second : ""});
                }
                return data;
            },
            [this, path, letter](ReportData&& data) {
                // The charts are widgets: the figures are drawn here, the file written on a worker.
                auto report = std::make_shared<const ReportInput>(report_content(data.facts, report_figures(data)));
                reports_.start<QString>(
                    tr("Writing the report %1").arg(QFileInfo(path).fileName()),
                    [report, path, letter](JobControl&) {
                        QString error;
                        return write_report(*report, path, letter, &error) ? QString() : error;
                    },
                    [this, path](QString&& error) {
                        if (!error.isEmpty()) {
                            emit failed(error);
                            return;
                        }
                        note(tr("The report was written to %1.").arg(QDir::toNativeSeparators(path)));
                        emit report_saved(path);
                    });
            });
    });
}
