#include "cli/report.h"

#include "cli/offscreen.h"
#include "jobs/LoadJob.h"
#include "reporting/ReportJob.h"
#include "sample/ByteSource.h"
#include "sample/OpenRuns.h"
#include "sample/Sha256.h"
#include "tidy/Names.h"

#include <chrono>
#include <ctime>
#include <ostream>

#include <QApplication>

namespace {

/// Now, in UTC, as "2026-12-09T18:04:05Z".
std::string utc_now() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

/// The settings the report was made with, as its provenance block lists them.
std::vector<std::pair<std::string, std::string>> settings_of(const ReportOptions& o) {
    return {{"Command", o.command_line},
            {"Burn-in", std::to_string(o.burn_in)},
            {"k range of the tree", std::to_string(o.k_from) + ".." + std::to_string(o.k_to)},
            {"Loss and seed of the estimate", std::string(loss_name(o.loss)) + ", seed " + std::to_string(o.seed)}};
}

}  // namespace

int run_report(const ReportOptions& options, std::ostream& err) {
    const std::unique_ptr<QApplication> own = offscreen_application();
    try {
        Notices notes;
        LoadOptions loading;
        loading.keep_going = false;
        loading.digest = true;
        OpenedRuns opened = open_runs(options.result_paths, "", notes, 2, nullptr, loading);
        for (const Notice& n : notes.take()) err << "velmora-cli: " << n.text << "\n";
        if (opened.status != OpenedRuns::Status::ok) return 1;

        ReportRequest request;
        request.pool = pooled_header(opened.runs);
        request.store = std::shared_ptr<const MC_Sample>(std::move(opened.store));
        QStringList files;
        for (const RunInfo& run : opened.runs) {
            request.sources.push_back(PosteriorSource{run.path, run.header, run.stored});
            request.provenance.inputs.push_back(ReportSource{
                run.path, static_cast<std::uint64_t>(run.report.input.bytes), run.stored, run.report.input.sha256});
            files.append(QString::fromStdString(run.path));
        }
        request.run_labels = run_labels_of(files);
        request.run_name = request.run_labels.join(QStringLiteral(" + "));
        if (!options.names_path.empty()) {
            std::string text;
            std::string error;
            if (!read_text_file(options.names_path, "names file", names_file_byte_limit(request.pool.n_indivs), text,
                                error)) {
                err << "velmora-cli: error: " << error << "\n";
                return 1;
            }
            NamesFile names = read_names(text, input_name(options.names_path), request.pool.n_indivs);
            if (!names.ok()) {
                err << "velmora-cli: error: " << names.error << "\n";
                return 1;
            }
            request.names = std::move(names.names);
            request.groups = std::move(names.groups);
            request.provenance.inputs.push_back(ReportSource{
                options.names_path, text.size(), static_cast<std::int64_t>(request.names.size()), sha256_hex(text)});
        }
        request.burn_in = options.burn_in;
        request.k_from = options.k_from;
        request.k_to = options.k_to;
        request.estimate.loss = options.loss;
        request.estimate.seed = options.seed;
        request.provenance.version = VELMORA_VERSION;
        request.provenance.settings = settings_of(options);
        request.provenance.date = utc_now();

        JobControl control;
        const ReportData data = report_data(request, control);
        const ReportInput report = report_content(data.facts, report_figures(data));
        QString error;
        if (!write_report(report, QString::fromStdString(options.out_path), options.letter, &error)) {
            err << "velmora-cli: error: " << error.toStdString() << "\n";
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        err << "velmora-cli: error: " << e.what() << "\n";
        return 1;
    }
}
