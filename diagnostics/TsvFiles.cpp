#include "diagnostics/TsvFiles.h"

#include "sample/OutputFile.h"
#include "sample/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <ostream>

void append_tsv_number(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "NA";
    } else if (std::isinf(v)) {
        out += v < 0 ? "-Inf" : "Inf";
    } else {
        append_general(out, v);
    }
}

void print_diagnostics(std::ostream& out, const std::vector<QuantitySummary>& rows) {
    std::string text = "quantity\tmean\tsd\tess_bulk\tess_tail\trhat\tmcse_mean\n";
    for (const QuantitySummary& row : rows) {
        const ChainSummary& s = row.summary;
        append_tsv_field(text, row.quantity);
        for (const double v : {s.mean, s.sd, s.ess_bulk, s.ess_tail, s.rhat, s.mcse_mean}) {
            text += '\t';
            append_tsv_number(text, v);
        }
        text += '\n';
    }
    out << text;
}

bool write_diagnostics_file(const std::string& path, const std::vector<QuantitySummary>& rows, Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { print_diagnostics(out, rows); });
}

void print_runs(std::ostream& out, const std::vector<RunRow>& runs) {
    std::string text = "run\tfile\tdraws\tretained\tmean_k\tmean_log_likelihood\tpsm_max_diff\n";
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const RunRow& row = runs[r];
        text += std::to_string(r + 1);
        text += '\t';
        append_tsv_field(text, row.file);
        text += '\t' + std::to_string(row.draws) + '\t' + std::to_string(row.retained);
        for (const double v : {row.mean_k, row.mean_log_likelihood, row.psm_max_diff}) {
            text += '\t';
            append_tsv_number(text, v);
        }
        text += '\n';
    }
    out << text;
}

bool write_runs_file(const std::string& path, const std::vector<RunRow>& runs, Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { print_runs(out, runs); });
}

void print_posterior_k_runs(std::ostream& out, const std::vector<std::vector<double>>& posterior_by_run,
                            std::int32_t Kmax) {
    std::string text = "run\tk\tposterior\n";
    for (std::size_t r = 0; r < posterior_by_run.size(); ++r) {
        const std::vector<double>& p = posterior_by_run[r];
        const bool kept_none = std::all_of(p.begin(), p.end(), [](double v) { return v == 0.0; });
        for (std::int32_t k = 1; k <= Kmax; ++k) {
            const auto i = static_cast<std::size_t>(k);
            text += std::to_string(r + 1) + '\t' + std::to_string(k) + '\t';
            if (kept_none) {
                text += "NA";
            } else {
                append_tsv_number(text, i < p.size() ? p[i] : 0.0);
            }
            text += '\n';
        }
    }
    out << text;
}

bool write_posterior_k_runs_file(const std::string& path, const std::vector<std::vector<double>>& posterior_by_run,
                                 std::int32_t Kmax, Notices& notes) {
    return write_output_file(path, "", notes,
                             [&](std::ostream& out) { print_posterior_k_runs(out, posterior_by_run, Kmax); });
}
