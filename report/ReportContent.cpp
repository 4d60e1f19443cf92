#include "report/ReportContent.h"

#include "overview/Overview.h"
#include "tidy/TidyText.h"

#include <charconv>
#include <cmath>

namespace {

/// v in the form printf's "%.<digits>g" gives, "NA" for NaN: as the tsv files and estimate.txt write it.
std::string general(double v, int digits) {
    if (std::isnan(v)) return "NA";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    return std::string(buf, res.ptr);
}

std::string tsv_number(double v) {
    std::string out;
    append_tsv_number(out, v);
    return out;
}

std::string shortest(double v) {
    std::string out;
    append_real(out, v);
    return out;
}

std::string name_of(const ReportFacts& f, std::int32_t i) {
    const auto at = static_cast<std::size_t>(i - 1);
    return at < f.names.size() ? f.names[at] : std::to_string(i);
}

std::string percent(double p) { return general(100 * p, 3) + " %"; }

void add_figure(ReportSection& s, std::optional<ReportFigure>& figure) {
    if (figure) s.figures.push_back(std::move(*figure));
}

ReportSection convergence(const ReportFacts& f) {
    ReportSection s{"convergence", "Convergence", {}, {}, {}, {}};
    ChainSummary k, ll;
    for (const QuantitySummary& q : f.diagnostics) (q.quantity == "k" ? k : ll) = q.summary;
    std::optional<std::vector<double>> differences;
    if (f.runs.size() > 1) {
        differences.emplace();
        for (const RunRow& r : f.runs) differences->push_back(r.psm_max_diff);
    }
    const ConvergenceVerdict v =
        convergence_verdict(k, ll, static_cast<std::int32_t>(std::max<std::size_t>(f.runs.size(), 1)), differences);
    s.facts.emplace_back("Verdict", v.words);
    for (const std::string& why : v.reasons) s.paragraphs.push_back(why + ".");
    std::string numbers = "Held to: ";
    for (std::size_t i = 0; i < v.numbers.size(); ++i) numbers += (i ? "; " : "") + v.numbers[i];
    s.paragraphs.push_back(numbers + ".");
    return s;
}

ReportSection k_section(const ReportFacts& f) {
    ReportSection s{"k", "How many clusters", {}, {}, {}, {}};
    if (!f.posterior) {
        s.paragraphs.push_back("A burn-in of " + std::to_string(f.burn_in) + " leaves no observation.");
        return s;
    }
    const KSummary ks = k_summary(f.posterior->posterior);
    s.facts.emplace_back("Posterior mode of k",
                         std::to_string(ks.mode) + " (probability " + general(ks.mode_probability, 4) + ")");
    s.facts.emplace_back("Posterior mean of k", general(ks.mean, 4));
    s.facts.emplace_back("95 % credible set of k",
                         k_set_text(ks.credible_set) + " (holding " + percent(ks.credible_mass) + ")");
    const BayesFactorText bayes = bayes_factor_text(&f.posterior->posterior, '.');
    s.facts.emplace_back("Bayes factor, " + bayes.comparison, bayes.value + " (" + bayes.verdict + ")");
    s.facts.emplace_back("Draws after the burn-in", std::to_string(f.posterior->retained));
    return s;
}

ReportSection clustering(const ReportFacts& f) {
    ReportSection s{"clustering", "Which clustering", {}, {}, {}, {}};
    if (!f.estimate) {
        s.paragraphs.push_back("No estimate: " + f.no_tree);
        return s;
    }
    const ClusteringSummary c = clustering_summary(*f.estimate);
    s.facts.emplace_back("Clusters", std::to_string(c.clusters));
    s.facts.emplace_back("Loss", loss_name(c.loss));
    s.facts.emplace_back("Expected loss", general(c.expected_loss, 9));
    s.facts.emplace_back("Best draw's expected loss", general(c.best_draw_loss, 9));
    s.facts.emplace_back("95 % credible-ball radius (VI, bits)", general(c.credible_ball_radius_95, 9));
    s.facts.emplace_back("Draws", std::to_string(c.draws));
    std::string doubtful = std::to_string(c.doubtful.size());
    if (!c.doubtful.empty()) {
        doubtful += ": ";
        for (std::size_t i = 0; i < c.doubtful.size() && i < report_doubtful_shown; ++i)
            doubtful += (i ? ", " : "") + name_of(f, c.doubtful[i]);
        if (c.doubtful.size() > report_doubtful_shown) doubtful += ", \u2026";
    }
    s.facts.emplace_back("Doubtful individuals", doubtful);
    s.paragraphs.push_back(
        "An individual is doubtful when the mean co-assignment with its own cluster exceeds "
        "that with the nearest other cluster by less than " +
        general(doubt_limit, 6) + ".");
    return s;
}

ReportSection posterior(const ReportFacts& f, ReportFigures& figures) {
    ReportSection s{"posterior", "Posterior of k", {}, {}, {}, {}};
    add_figure(s, figures.posterior);
    if (!f.posterior) return s;
    const PosteriorTable& t = *f.posterior;
    ReportTable table{"Posterior of k after a burn-in of " + std::to_string(f.burn_in) + ", pooled",
                      {"k", "draws", "posterior", "prior"},
                      {},
                      {true, true, true, true}};
    for (std::int32_t k = 1; k <= t.Kmax; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const double prior = t.U == 1.0 ? 1.0 / t.Kmax : prior_of_k(t.U, k, t.Kmax);
        table.rows.push_back({std::to_string(k), std::to_string(i < t.draws.size() ? t.draws[i] : 0),
                              shortest(i < t.posterior.p.size() ? t.posterior.p[i] : 0.0),
                              std::isfinite(prior) ? shortest(prior) : "NA"});
    }
    if (f.run_posteriors.size() > 1) {
        table.header.clear();
        table.header = {"k", "draws", "posterior", "prior"};
        for (std::size_t r = 0; r < f.run_posteriors.size(); ++r) {
            table.header.push_back("run " + std::to_string(r + 1));
            table.numeric.push_back(true);
            const std::vector<double>& p = f.run_posteriors[r];
            for (std::size_t k = 1; k < table.rows.size() + 1; ++k)
                table.rows[k - 1].push_back(k < p.size() ? shortest(p[k]) : "0");
        }
    }
    s.tables.push_back(std::move(table));
    return s;
}

ReportSection diagnostics(const ReportFacts& f, ReportFigures& figures) {
    ReportSection s{"diagnostics", "Diagnostics", {}, {}, {}, {}};
    ReportTable quantities{
        "Convergence diagnostics of the runs as chains (rank-normalised split R-hat, bulk- "
        "and tail-ESS)",
        {"quantity", "mean", "sd", "ess_bulk", "ess_tail", "rhat", "mcse_mean"},
        {},
        {false, true, true, true, true, true, true}};
    for (const QuantitySummary& q : f.diagnostics)
        quantities.rows.push_back({q.quantity, tsv_number(q.summary.mean), tsv_number(q.summary.sd),
                                   tsv_number(q.summary.ess_bulk), tsv_number(q.summary.ess_tail),
                                   tsv_number(q.summary.rhat), tsv_number(q.summary.mcse_mean)});
    s.tables.push_back(std::move(quantities));
    ReportTable runs{
        "Each run against the pool (psm_max_diff: the largest difference of its pair probabilities "
        "from the pool's)",
        {"run", "file", "draws", "retained", "mean_k", "mean_log_likelihood", "psm_max_diff"},
        {},
        {true, false, true, true, true, true, true}};
    for (std::size_t r = 0; r < f.runs.size(); ++r) {
        const RunRow& row = f.runs[r];
        runs.rows.push_back({std::to_string(r + 1), row.file, std::to_string(row.draws), std::to_string(row.retained),
                             tsv_number(row.mean_k), tsv_number(row.mean_log_likelihood),
                             tsv_number(row.psm_max_diff)});
    }
    s.tables.push_back(std::move(runs));
    add_figure(s, figures.autocorrelation);
    return s;
}

ReportSection estimate(const ReportFacts& f) {
    ReportSection s{"estimate", "The estimate's individuals", {}, {}, {}, {}};
    if (!f.estimate) {
        s.paragraphs.push_back("No estimate: " + f.no_tree);
        return s;
    }
    const Estimate& e = *f.estimate;
    ReportTable table{
        "Each individual's cluster, its mean co-assignment with its own cluster (within) and with the "
        "nearest other cluster",
        {"individual", "name", "cluster", "within", "nearest_cluster", "nearest"},
        {},
        {true, false, true, true, true, true}};
    table.rows.reserve(e.cluster.size());
    for (std::size_t i = 0; i < e.cluster.size(); ++i) {
        const IndividualDoubt d = i < e.doubt.size() ? e.doubt[i] : IndividualDoubt{NAN, 0, NAN};
        const auto n = static_cast<std::int32_t>(i + 1);
        table.rows.push_back({std::to_string(n), name_of(f, n), std::to_string(e.cluster[i]), general(d.within, 6),
                              d.nearest_cluster > 0 ? std::to_string(d.nearest_cluster) : "NA",
                              general(d.nearest_cluster > 0 ? d.nearest : NAN, 6)});
    }
    s.tables.push_back(std::move(table));
    return s;
}

ReportSection provenance(const ReportFacts& f) {
    const ReportProvenance& p = f.provenance;
    ReportSection s{"provenance", "Provenance", {}, {}, {}, {}};
    s.facts.emplace_back("Made by", "Velmora " + p.version);
    s.facts.emplace_back("Date", p.date);
    for (const auto& line : p.settings) s.facts.push_back(line);
    ReportTable inputs{"The input files", {"file", "bytes", "records", "SHA-256"}, {}, {false, true, true, false}};
    for (const ReportSource& in : p.inputs)
        inputs.rows.push_back({in.path, std::to_string(in.bytes), std::to_string(in.records),
                               in.sha256.empty() ? "not computed" : in.sha256});
    s.tables.push_back(std::move(inputs));
    return s;
}

ReportSection figure_section(const char* id, const char* title, std::optional<ReportFigure>& figure,
                             const std::string& missing) {
    ReportSection s{id, title, {}, {}, {}, {}};
    if (figure)
        add_figure(s, figure);
    else if (!missing.empty())
        s.paragraphs.push_back(missing);
    return s;
}

}  // namespace

ReportInput report_content(const ReportFacts& f, ReportFigures figures) {
    ReportInput out;
    out.title = "Velmora report: " + f.run_name;
    out.subtitle = std::to_string(f.runs.size()) + (f.runs.size() == 1 ? " run, " : " runs, ") +
                   std::to_string(f.n_indivs) + " individuals, a burn-in of " + std::to_string(f.burn_in) +
                   ", the tree's draws with k in " + std::to_string(f.k_from) + ".." + std::to_string(f.k_to);
    const std::string no_tree = f.estimate ? std::string() : "No tree: " + f.no_tree;
    out.sections.push_back(convergence(f));
    out.sections.push_back(k_section(f));
    out.sections.push_back(clustering(f));
    out.sections.push_back(figure_section("trace", "Trace", figures.trace, ""));
    out.sections.push_back(posterior(f, figures));
    out.sections.push_back(diagnostics(f, figures));
    out.sections.push_back(figure_section("tree", "The tree's levels", figures.levels, no_tree));
    out.sections.push_back(figure_section("map", "Co-assignment map", figures.map, no_tree));
    out.sections.push_back(figure_section("membership", "Membership", figures.membership, no_tree));
    out.sections.push_back(estimate(f));
    out.sections.push_back(provenance(f));
    return out;
}
