#include "estimate/Estimate.h"

#include "estimate/DrawSet.h"
#include "estimate/Exact.h"
#include "estimate/Search.h"
#include "estimate/TreeCut.h"
#include "estimate/Workers.h"
#include "sample/Exceptions.h"

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <string>

namespace {

/// Tables of one search against the search draws; the polish works against more draws and may use more.
constexpr std::size_t search_table_bytes = std::size_t{64} << 20;
constexpr std::size_t polish_table_bytes = std::size_t{256} << 20;
/// The polish draws, turned around, take at most this.
constexpr std::size_t polish_label_bytes = std::size_t{256} << 20;
/// Steps of draw-to-draw comparisons spent on finding the best draw.
constexpr double best_draw_budget = 67108864.0;  // 2^26
/// Draws ranked best against the reference draws that are then compared with every draw.
constexpr std::size_t best_draw_finalists = 4;
/// Best distinct search results polished against every draw.
constexpr std::size_t polished_finalists = 3;
/// A bound that only a fault would reach: every sweep that moves someone lowers the objective.
constexpr int max_sweeps = 1000;
/// Levels at which a tree is cut for starts.
constexpr std::array<double, 5> cut_levels{0.9, 0.7, 0.5, 0.3, 0.1};

enum Stage : std::size_t { best_draw_stage, search_stage, polish_stage, final_stage };

/// What the stages share.
struct Run {
    const MC_Sample& store;
    const std::vector<std::int32_t>& observations;
    std::int32_t n;
    Loss loss;
    int threads;
    const std::atomic<bool>* cancel;
    ProgressMeter meter;

    bool stopped() const { return cancel && cancel->load(std::memory_order_relaxed); }
    std::function<void()> poll() {
        return [this] { meter.poll(); };
    }
    const std::uint8_t* labels(std::size_t position) const {
        return store.data() + static_cast<std::size_t>(observations[position]) * store.stride() + 1;
    }
};

/// A clustering (0-based clusters by first appearance) with its exact distances to every draw.
struct Scored {
    std::vector<std::int32_t> cluster;
    std::int32_t clusters = 0;
    DrawDistances distances;
    double loss = 0.0;
};

void check_inputs(const MC_Sample& store, const std::vector<std::int32_t>& observations, std::int32_t n_indivs,
                  const TreeShape* tree) {
    if (n_indivs < 1 || n_indivs > store.n_indivs())
        raise_exception(("estimate_clustering: " + std::to_string(n_indivs) + " individuals asked of a store of " +
                         std::to_string(store.n_indivs()))
                            .c_str());
    if (observations.empty()) raise_exception("estimate_clustering: no draws to estimate from");
    for (const std::int32_t o : observations)
        if (o < 0 || o >= store.get_n_samples())
            raise_exception(("estimate_clustering: observation " + std::to_string(o) + " is outside the store (0.." +
                             std::to_string(store.get_n_samples() - 1) + ")")
                                .c_str());
    if (tree && tree->n_indivs != n_indivs)
        raise_exception(("estimate_clustering: the tree has " + std::to_string(tree->n_indivs) +
                         " individuals, the estimate " + std::to_string(n_indivs))
                            .c_str());
}

/// 0-based clusters numbered by first appearance, and how many.
std::int32_t renumber(std::vector<std::int32_t>& cluster) {
    cluster = number_by_first_appearance(cluster);
    std::int32_t k = 0;
    for (std::int32_t& c : cluster) k = std::max(k, c--);
    return k;
}

std::vector<std::int32_t> draw_clustering(const Run& run, std::size_t position) {
    const std::uint8_t* labels = run.labels(position);
    return std::vector<std::int32_t>(labels, labels + run.n);
}

Scored score_exactly(Run& run, std::vector<std::int32_t> cluster) {
    Scored s;
    s.clusters = renumber(cluster);
    s.distances = distances_to_draws(run.store, run.observations, cluster, s.clusters, run.threads, run.cancel,
                                     &run.meter.counter(), run.poll());
    s.cluster = std::move(cluster);
    s.loss = mean_loss(s.distances, run.loss);
    return s;
}

/// The draw with the lowest expected loss. All draws are ranked against reference draws, evenly spaced, as
/// many as the budget allows (every draw on small runs, so that the ranking is exact); the draws ranked
/// first are then compared with every draw.
Scored best_draw(Run& run) {
    const auto m = static_cast<std::int64_t>(run.observations.size());
    const double n = run.n + 64.0;  // a comparison costs about one step per individual and 64 more
    std::vector<std::int32_t> positions(static_cast<std::size_t>(m));
    std::iota(positions.begin(), positions.end(), 0);
    const std::int64_t refs = std::clamp<std::int64_t>(static_cast<std::int64_t>(best_draw_budget / (n * m)),
                                                       std::min<std::int64_t>(m, 16), m);
    const std::int64_t cands = std::clamp<std::int64_t>(static_cast<std::int64_t>(best_draw_budget / (n * refs)),
                                                        std::min<std::int64_t>(m, 64), m);
    const std::vector<std::int32_t> ref = evenly_spaced(positions, refs);
    const std::vector<std::int32_t> cand = evenly_spaced(positions, cands);
    const auto finalists = std::min(best_draw_finalists, cand.size());
    run.meter.start(best_draw_stage, static_cast<double>(cands * refs + static_cast<std::int64_t>(finalists) * m));

    std::vector<double> score(cand.size());
    std::vector<std::unique_ptr<DrawComparer>> comparers(static_cast<std::size_t>(run.threads));
    run_tasks(
        static_cast<std::int64_t>(cand.size()), run.threads,
        [&](std::int64_t task, int worker) {
            if (run.stopped()) return;
            std::vector<std::int32_t> c =
                draw_clustering(run, static_cast<std::size_t>(cand[static_cast<std::size_t>(task)]));
            const std::int32_t k = renumber(c);
            auto& comparer = comparers[static_cast<std::size_t>(worker)];
            if (comparer)
                comparer->reset(c, k);
            else
                comparer = std::make_unique<DrawComparer>(c, k);
            DrawDistances d;
            for (const std::int32_t r : ref) {
                const auto dist = comparer->compare(run.labels(static_cast<std::size_t>(r)));
                d.vi.push_back(dist.vi);
                d.binder.push_back(dist.binder);
            }
            score[static_cast<std::size_t>(task)] = mean_loss(d, run.loss);
            run.meter.counter().fetch_add(refs, std::memory_order_relaxed);
        },
        run.poll());
    if (run.stopped()) return {};

    std::vector<std::size_t> rank(cand.size());
    std::iota(rank.begin(), rank.end(), 0);
    std::stable_sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) { return score[a] < score[b]; });
    Scored best;
    for (std::size_t f = 0; f < finalists; ++f) {
        Scored s = score_exactly(run, draw_clustering(run, static_cast<std::size_t>(cand[rank[f]])));
        if (run.stopped()) return {};
        if (f == 0 || s.loss < best.loss) best = std::move(s);
    }
    return best;
}

/// Draws the search works on when the settings leave it open: fewer as individuals grow, so that a start
/// costs about the same.
std::int64_t auto_search_draws(std::int32_t n) {
    return std::clamp<std::int64_t>((std::int64_t{1} << 20) / n, 128, 1024);
}

struct Start {
    bool random = true;
    std::vector<std::int32_t> cluster;  // the first clustering when not random
};

struct Found {
    std::vector<std::int32_t> cluster;
    std::int64_t objective = 0;
};

/// The search proper against the draws `set`: every start sweetened and improved by zealous updates.
std::vector<Found> run_starts(Run& run, const DrawSet& set, const std::vector<Start>& starts,
                              const EstimateSettings& settings) {
    const std::int32_t max_tables = Search::max_tables_for(set, search_table_bytes);
    const double passes = 5.0 + 2.0 * std::max(settings.zealous_attempts, 0);
    run.meter.start(search_stage, static_cast<double>(starts.size()) * run.n * passes);
    std::vector<Found> found(starts.size());
    std::vector<std::unique_ptr<Search>> searches(static_cast<std::size_t>(run.threads));
    run_tasks(
        static_cast<std::int64_t>(starts.size()), run.threads,
        [&](std::int64_t task, int worker) {
            auto& search = searches[static_cast<std::size_t>(worker)];
            if (!search) search = std::make_unique<Search>(set, run.loss, max_tables, run.cancel, &run.meter.counter());
            const Start& start = starts[static_cast<std::size_t>(task)];
            Random rng = Random::for_stream(settings.seed, static_cast<std::uint64_t>(task));
            if (start.random) {
                std::vector<std::int32_t> order(static_cast<std::size_t>(run.n));
                std::iota(order.begin(), order.end(), 0);
                rng.shuffle(order);
                search->clear();
                search->allocate(order);
            } else {
                search->assign(start.cluster);
            }
            search->sweeten(rng, max_sweeps);
            search->zealous(rng, settings.zealous_attempts, max_sweeps);
            found[static_cast<std::size_t>(task)] = {search->cluster(), search->objective()};
        },
        run.poll());
    return found;
}

std::vector<Start> make_starts(const Run& run, const EstimateSettings& settings, const Scored& best,
                               const TreeShape* tree) {
    std::vector<Start> starts(static_cast<std::size_t>(std::max(settings.starts, 1)));
    starts.push_back({false, best.cluster});
    if (!tree) return starts;
    std::int32_t largest_k = 1;
    for (const std::int32_t o : run.observations)
        largest_k =
            std::max<std::int32_t>(largest_k, run.store.data()[static_cast<std::size_t>(o) * run.store.stride()]);
    std::vector<std::vector<std::int32_t>> cuts;
    for (const double level : cut_levels) {
        std::vector<std::int32_t> cut = cut_tree(*tree, level);
        const std::int32_t k = cut.empty() ? 0 : *std::max_element(cut.begin(), cut.end());
        if (k > largest_k || std::find(cuts.begin(), cuts.end(), cut) != cuts.end()) continue;
        cuts.push_back(cut);
        starts.push_back({false, std::move(cut)});
    }
    return starts;
}

/// The best distinct results of the search, best first (ties: the earlier start).
std::vector<std::vector<std::int32_t>> best_distinct(std::vector<Found> found, std::size_t count) {
    std::vector<std::size_t> rank(found.size());
    std::iota(rank.begin(), rank.end(), 0);
    std::stable_sort(rank.begin(), rank.end(),
                     [&](std::size_t a, std::size_t b) { return found[a].objective < found[b].objective; });
    std::vector<std::vector<std::int32_t>> out;
    for (const std::size_t r : rank) {
        if (out.size() == count) break;
        std::vector<std::int32_t> c = found[r].cluster;
        renumber(c);
        if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(std::move(c));
    }
    return out;
}

/// The most clusters of two or more members among the clusterings (0-based, numbered by first appearance).
std::int32_t most_tables(const std::vector<std::vector<std::int32_t>>& clusterings) {
    std::int32_t most = 1;
    for (const auto& c : clusterings) {
        std::vector<std::int32_t> members(c.size(), 0);
        for (const std::int32_t v : c) ++members[static_cast<std::size_t>(v)];
        most = std::max(most, static_cast<std::int32_t>(
                                  std::count_if(members.begin(), members.end(), [](std::int32_t m) { return m > 1; })));
    }
    return most;
}

/// One-at-a-time moves, in individual order, against the draws `set` until nobody moves.
std::vector<std::vector<std::int32_t>> polish(Run& run, const DrawSet& set,
                                              const std::vector<std::vector<std::int32_t>>& from,
                                              std::size_t table_bytes) {
    const std::int32_t max_tables = std::max(most_tables(from), Search::max_tables_for(set, table_bytes));
    std::vector<std::vector<std::int32_t>> out(from.size());
    run_tasks(
        static_cast<std::int64_t>(from.size()), run.threads,
        [&](std::int64_t task, int) {
            Search search(set, run.loss, max_tables, run.cancel, &run.meter.counter());
            search.assign(from[static_cast<std::size_t>(task)]);
            search.sweep_to_rest(max_sweeps);
            out[static_cast<std::size_t>(task)] = search.cluster();
        },
        run.poll());
    return out;
}

/// The polish draws: every draw when their labels and tables fit, else as many evenly spaced as fit.
std::int64_t polish_draws(const Run& run, const std::vector<std::vector<std::int32_t>>& from) {
    const auto m = static_cast<std::int64_t>(run.observations.size());
    double labels = 0;  // labels per draw, at most k + 1 (0 counts as a label)
    for (const std::int32_t o : run.observations)
        labels += 1.0 + run.store.data()[static_cast<std::size_t>(o) * run.store.stride()];
    labels /= static_cast<double>(m);
    const double by_labels = static_cast<double>(polish_label_bytes) / run.n;
    // Room for twice the tables the clusterings need, as moves may open more.
    const double by_tables =
        static_cast<double>(polish_table_bytes) / (2.0 * labels * 2.0 * std::max(1, most_tables(from)));
    return std::min<std::int64_t>(m, static_cast<std::int64_t>(std::min(by_labels, by_tables)));
}

Estimate finish(Run& run, const EstimateSettings& settings, Scored winner, double best_draw_loss) {
    Estimate e;
    e.loss = run.loss;
    e.seed = settings.seed;
    e.draws = static_cast<std::int64_t>(run.observations.size());
    e.best_draw_loss = best_draw_loss;
    e.expected_loss = winner.loss;
    e.clusters = winner.clusters;
    e.credible_ball_radius_95 = credible_ball_radius_95(winner.distances.vi);
    e.cluster = std::move(winner.cluster);
    for (std::int32_t& c : e.cluster) ++c;
    e.doubt = individual_doubt(run.store, run.observations, e.cluster, e.clusters, run.threads, run.cancel,
                               &run.meter.counter(), run.poll());
    if (run.stopped()) {
        e = Estimate();
        e.status = Estimate::Status::cancelled;
        return e;
    }
    run.meter.finish();
    return e;
}

Estimate cancelled() {
    Estimate e;
    e.status = Estimate::Status::cancelled;
    return e;
}

}  // namespace

const char* loss_name(Loss loss) { return loss == Loss::binder ? "binder" : "vi"; }

Estimate estimate_clustering(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                             std::int32_t n_indivs, const EstimateSettings& settings, const TreeShape* tree,
                             const EstimateProgress& progress, const std::atomic<bool>* cancel) {
    check_inputs(store, observations, n_indivs, tree);
    Run run{store,
            observations,
            n_indivs,
            settings.loss,
            thread_count(settings.threads),
            cancel,
            ProgressMeter(progress, {0.15, 0.55, 0.15, 0.15})};
    const auto m = static_cast<std::int64_t>(observations.size());

    Scored best = best_draw(run);
    if (run.stopped()) return cancelled();

    const std::int64_t search_draws = settings.search_draws > 0 ? settings.search_draws : auto_search_draws(n_indivs);
    const DrawSet set = make_draw_set(store, evenly_spaced(observations, search_draws), n_indivs, run.threads, cancel);
    if (run.stopped()) return cancelled();
    const std::vector<Start> starts = make_starts(run, settings, best, tree);
    std::vector<Found> found = run_starts(run, set, starts, settings);
    if (run.stopped()) return cancelled();
    std::vector<std::vector<std::int32_t>> finalists = best_distinct(std::move(found), polished_finalists);

    const std::int64_t polish_size = polish_draws(run, finalists);
    if (set.n_draws < m && polish_size > set.n_draws) {
        run.meter.start(polish_stage, static_cast<double>(finalists.size()) * n_indivs * 3.0);
        const DrawSet all =
            make_draw_set(store, evenly_spaced(observations, polish_size), n_indivs, run.threads, cancel);
        if (run.stopped()) return cancelled();
        finalists = polish(run, all, finalists, polish_table_bytes);
        if (run.stopped()) return cancelled();
    }

    // The exact expected loss decides, the best draw included; on equal losses the search result stays.
    Scored winner;
    run.meter.start(final_stage, static_cast<double>(finalists.size() + 1) * static_cast<double>(m));
    for (std::size_t f = 0; f < finalists.size(); ++f) {
        Scored s = score_exactly(run, finalists[f]);
        if (run.stopped()) return cancelled();
        if (f == 0 || s.loss < winner.loss) winner = std::move(s);
    }
    const double best_draw_loss = best.loss;
    if (best.loss < winner.loss) winner = std::move(best);
    return finish(run, settings, std::move(winner), best_draw_loss);
}

Estimate greedy_clustering(const MC_Sample& store, const std::vector<std::int32_t>& observations, std::int32_t n_indivs,
                           const EstimateSettings& settings, const EstimateProgress& progress,
                           const std::atomic<bool>* cancel) {
    check_inputs(store, observations, n_indivs, nullptr);
    Run run{store,
            observations,
            n_indivs,
            settings.loss,
            thread_count(settings.threads),
            cancel,
            ProgressMeter(progress, {0.15, 0.0, 0.7, 0.15})};
    Scored best = best_draw(run);
    if (run.stopped()) return cancelled();

    std::vector<std::vector<std::int32_t>> starts{best.cluster, std::vector<std::int32_t>(n_indivs, 0)};
    Random rng = Random::for_stream(settings.seed, 0);
    for (int s = 0; s < 2; ++s) {
        std::vector<std::int32_t> c =
            draw_clustering(run, static_cast<std::size_t>(rng.below(static_cast<std::int32_t>(observations.size()))));
        renumber(c);
        starts.push_back(std::move(c));
    }
    run.meter.start(polish_stage, static_cast<double>(starts.size()) * n_indivs * 4.0);
    const DrawSet all = make_draw_set(store, observations, n_indivs, run.threads, cancel);
    if (run.stopped()) return cancelled();
    const std::vector<std::vector<std::int32_t>> results = polish(run, all, starts, polish_table_bytes);
    if (run.stopped()) return cancelled();

    Scored winner;
    run.meter.start(final_stage, static_cast<double>(results.size() + 1) * static_cast<double>(observations.size()));
    for (std::size_t f = 0; f < results.size(); ++f) {
        Scored s = score_exactly(run, results[f]);
        if (run.stopped()) return cancelled();
        if (f == 0 || s.loss < winner.loss) winner = std::move(s);
    }
    const double best_draw_loss = best.loss;
    return finish(run, settings, std::move(winner), best_draw_loss);
}
