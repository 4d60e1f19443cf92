#include "cli/watch.h"

#include "diagnostics/Convergence.h"
#include "overview/Overview.h"
#include "sample/RunFollower.h"
#include "summary/Posterior.h"
#include "summary/RunSummary.h"
#include "tidy/TidyText.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <ostream>
#include <thread>

namespace {

std::atomic<bool> interrupted{false};

extern "C" void on_interrupt(int) { interrupted = true; }

/// What one line says.
struct WatchLine {
    std::vector<std::int64_t> draws;  ///< each run's records
    std::int32_t mode = 0;
    double mode_probability = std::nan("");
    ChainSummary k, log_likelihood;
    std::string verdict;
};

WatchLine line_of(const std::vector<MC_Sample>& runs, const std::vector<RunHeader>& headers, std::int32_t burn_in) {
    WatchLine line;
    MC_Sample pooled;
    RunHeader pool;
    std::int32_t with_records = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        line.draws.push_back(runs[r].get_n_samples());
        if (runs[r].get_n_samples() == 0) continue;
        MC_Sample copy = runs[r].without_clusterings();
        pooled.append_run(std::move(copy));
        if (with_records++ == 0) pool = headers[r];
        pool.Kmax = std::max(pool.Kmax, headers[r].Kmax);
        pool.n_obs = std::max(pool.n_obs, headers[r].n_obs);
    }
    if (with_records == 0) {
        line.verdict = "No records yet";
        return line;
    }
    if (const std::optional<Posterior> posterior = compute_posterior(pool, pooled, burn_in)) {
        const KSummary s = k_summary(*posterior);
        line.mode = s.mode;
        line.mode_probability = s.mode_probability;
    }
    const DiagnosticChains chains = diagnostic_chains(pooled, burn_in);
    line.k = summarise_chains(chains.k);
    line.log_likelihood = summarise_chains(chains.log_likelihood);
    line.verdict = convergence_verdict(line.k, line.log_likelihood, with_records).words;
    return line;
}

std::string full(double v) {
    if (std::isnan(v)) return "NA";
    std::string out;
    append_real(out, v);
    return out;
}

std::string short_number(double v) {
    if (std::isnan(v)) return "NA";
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

void print_header(std::ostream& out, std::size_t runs) {
    out << "elapsed_s";
    for (std::size_t r = 1; r <= runs; ++r) out << "\tdraws_" << r;
    out << "\tmode_k\tmode_probability\trhat_k\tess_bulk_k\tess_tail_k\trhat_log_likelihood\t"
           "ess_bulk_log_likelihood\tess_tail_log_likelihood\tverdict\n";
}

void print_line(std::ostream& out, const WatchLine& l, double elapsed, bool tsv) {
    if (tsv) {
        out << full(std::round(elapsed * 1000) / 1000);
        for (const std::int64_t d : l.draws) out << '\t' << d;
        out << '\t' << l.mode << '\t' << full(l.mode_probability);
        for (const ChainSummary* s : {&l.k, &l.log_likelihood})
            out << '\t' << full(s->rhat) << '\t' << full(s->ess_bulk) << '\t' << full(s->ess_tail);
        out << '\t' << l.verdict << '\n';
    } else {
        std::string runs;
        for (std::size_t r = 0; r < l.draws.size(); ++r) runs += (r ? ", " : "") + std::to_string(l.draws[r]);
        char time[16];
        std::snprintf(time, sizeof time, "%7.1fs", elapsed);
        out << time << "  draws " << runs << " | k = " << l.mode << " (p " << short_number(l.mode_probability)
            << ") | R-hat k " << short_number(l.k.rhat) << ", ll " << short_number(l.log_likelihood.rhat)
            << " | bulk-ESS k " << short_number(l.k.ess_bulk) << ", ll " << short_number(l.log_likelihood.ess_bulk)
            << " | tail-ESS k " << short_number(l.k.ess_tail) << ", ll " << short_number(l.log_likelihood.ess_tail)
            << " | " << l.verdict << "\n";
    }
    out.flush();
}

}  // namespace

int run_watch(const WatchOptions& options, std::ostream& out, std::ostream& err) {
    interrupted = false;
    const auto previous = std::signal(SIGINT, on_interrupt);
    const auto start = std::chrono::steady_clock::now();
    const auto seconds_since = [](std::chrono::steady_clock::time_point t) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    };
    std::vector<std::unique_ptr<RunFollower>> followers;
    for (const std::string& path : options.result_paths) followers.push_back(std::make_unique<RunFollower>(path));
    std::vector<MC_Sample> runs(followers.size());
    std::vector<RunHeader> headers(followers.size());
    std::vector<std::string> said(followers.size());  // the last note told about each run, told once
    auto last_growth = std::chrono::steady_clock::now();
    bool first = true;
    WatchLine last;
    if (options.tsv) print_header(out, followers.size());
    int status = 0;
    for (;;) {
        bool changed = first;
        bool all_complete = true;
        for (std::size_t r = 0; r < followers.size(); ++r) {
            FollowUpdate u = followers[r]->poll();
            switch (u.kind) {
                case FollowUpdate::Kind::restarted:
                case FollowUpdate::Kind::grew:
                case FollowUpdate::Kind::complete:
                    if (u.from_start) runs[r] = MC_Sample();
                    if (u.records.get_n_samples() > 0 || u.from_start) {
                        runs[r].extend(u.records.without_clusterings());
                        headers[r] = followers[r]->header();
                        changed = true;
                        last_growth = std::chrono::steady_clock::now();
                    }
                    break;
                case FollowUpdate::Kind::stopped:
                    err << "velmora-cli: error: " << u.note << "\n";
                    status = 1;
                    break;
                case FollowUpdate::Kind::waiting:
                case FollowUpdate::Kind::unchanged:
                    break;
            }
            if (!u.note.empty() && u.note != said[r] && u.kind != FollowUpdate::Kind::stopped) {
                err << "velmora-cli: " << u.note << "\n";
                said[r] = u.note;
            }
            all_complete = all_complete && followers[r]->complete();
        }
        if (status != 0) {
            std::signal(SIGINT, previous);
            return status;
        }
        if (changed) {
            last = line_of(runs, headers, options.burn_in);
            print_line(out, last, seconds_since(start), options.tsv);
        }
        first = false;
        if (all_complete) break;
        if (options.quiet_after && seconds_since(last_growth) >= *options.quiet_after) break;
        // Sleeps in short steps so that Ctrl+C is answered at once.
        const auto wake = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.every);
        while (!interrupted && std::chrono::steady_clock::now() < wake)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (interrupted) {
            print_line(out, last, seconds_since(start), options.tsv);
            std::signal(SIGINT, previous);
            return 130;
        }
    }
    std::signal(SIGINT, previous);
    return 0;
}
