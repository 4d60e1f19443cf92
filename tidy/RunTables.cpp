#include "tidy/RunTables.h"

#include "sample/OutputFile.h"
#include "sample/RunChecks.h"
#include "tidy/TidyText.h"

#include <algorithm>
#include <cmath>
#include <ostream>

void print_trace_tsv(std::ostream& out, const MC_Sample& store, std::int32_t burn_in) {
    const bool several = store.n_runs() > 1;
    const std::int32_t b = std::max<std::int32_t>(burn_in, 0);
    std::string text = several ? "run\t" : "";
    text += "iteration\tk\tlog_likelihood\tretained\n";
    const std::uint8_t* data = store.data();
    for (std::int32_t r = 0; r < store.n_runs(); ++r) {
        const MC_Sample::Range range = store.run(r);
        for (std::int32_t i = range.first; i < range.last; ++i) {
            if (several) {
                append_int(text, r + 1);
                text += '\t';
            }
            append_int(text, i - range.first + 1);
            text += '\t';
            append_int(text, data[static_cast<std::size_t>(i) * store.stride()]);
            text += '\t';
            append_real(text, store.log_likelihood(i));
            text += i - range.first >= b ? "\t1\n" : "\t0\n";
            if (text.size() >= (1 << 20)) {
                out << text;
                text.clear();
            }
        }
    }
    out << text;
}

bool write_trace_tsv(const std::string& path, const MC_Sample& store, std::int32_t burn_in, Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { print_trace_tsv(out, store, burn_in); });
}

PosteriorTable posterior_table(std::vector<PosteriorSource> sources, const RunHeader& pool, const MC_Sample& store,
                               std::int32_t burn_in, std::int32_t k_from, std::int32_t k_to,
                               const Posterior& posterior) {
    PosteriorTable t;
    t.sources = std::move(sources);
    t.n_indivs = pool.n_indivs;
    t.Kmax = pool.Kmax;
    t.U = pool.U;
    t.burn_in = burn_in;
    t.retained = store.count_retained(burn_in);
    t.above_Kmax = count_above_Kmax(store, burn_in);
    // The range make_tree uses: ordered, then clamped to 1..Kmax.
    t.k_from = std::max(std::min(k_from, k_to), 1);
    t.k_to = std::min(std::max(k_from, k_to), pool.Kmax);
    t.draws = posterior.draws;
    t.draws.resize(static_cast<std::size_t>(t.Kmax) + 1, 0);
    t.posterior = posterior;
    return t;
}

PosteriorTable posterior_table(const RunState& run, const Posterior& posterior) {
    return posterior_table({{run.result_path, run.header, run.store->get_n_samples()}}, run.header, *run.store,
                           run.burn_in, run.k_from, run.k_to, posterior);
}

namespace {

/// A value for a "# key: value" line: line ends would start a line that is not a comment.
std::string one_line(std::string s) {
    std::replace(s.begin(), s.end(), '\n', ' ');
    std::replace(s.begin(), s.end(), '\r', ' ');
    return s;
}

}  // namespace

void print_posterior_tsv(std::ostream& out, const PosteriorTable& t) {
    std::string text;
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) on "literal" + std::string&& here.
    const auto line = [&](const std::string& key, const std::string& value) {
        text += "# ";
        text += key;
        text += ": ";
        text += value;
        text += '\n';
    };
    const auto real = [](double v) {
        std::string s;
        append_real(s, v);
        return s;
    };
    const bool several = t.sources.size() > 1;
    if (!several && !t.sources.empty()) line("result_file", one_line(t.sources.front().result_path));
    line("individuals", std::to_string(t.n_indivs));
    line("Kmax", std::to_string(t.Kmax));
    for (std::size_t r = 0; r < t.sources.size(); ++r) {
        const PosteriorSource& s = t.sources[r];
        std::string suffix;
        if (several) suffix = '_' + std::to_string(r + 1);
        if (several) line("result_file" + suffix, one_line(s.result_path));
        line("observations_declared" + suffix, std::to_string(s.header.n_obs));
        line("observations_stored" + suffix, std::to_string(s.stored));
        line("period" + suffix, std::to_string(s.header.period));
        line("U" + suffix, real(s.header.U));
        line("Theta" + suffix, real(s.header.Theta));
    }
    line("burn_in", std::to_string(t.burn_in));
    line("draws_retained", std::to_string(t.retained));
    line("draws_above_Kmax", std::to_string(t.above_Kmax));
    line("k_range", std::to_string(t.k_from) + ".." + std::to_string(t.k_to));
    line("bayes_factor", t.posterior.bayes_factor ? real(*t.posterior.bayes_factor) : "not defined");
    text += "k\tdraws\tposterior\tprior\n";
    for (std::int32_t k = 1; k <= t.Kmax; ++k) {
        const auto i = static_cast<std::size_t>(k);
        append_int(text, k);
        text += '\t';
        append_int(text, i < t.draws.size() ? t.draws[i] : 0);
        text += '\t';
        append_real(text, i < t.posterior.p.size() ? t.posterior.p[i] : 0.0);
        text += '\t';
        const double prior = t.U == 1.0 ? 1.0 / t.Kmax : prior_of_k(t.U, k, t.Kmax);
        if (std::isfinite(prior)) {
            append_real(text, prior);
        } else {
            text += "NA";
        }
        text += '\n';
    }
    out << text;
}

bool write_posterior_tsv(const std::string& path, const PosteriorTable& table, Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { print_posterior_tsv(out, table); });
}
