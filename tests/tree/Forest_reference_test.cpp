// The fast Forest against a direct transcription of the merge algorithm: an ordered multimap of
// proposals scanned in full at every step, and every set level counted by a pass over the store.
#include "sample/Simulator.h"
#include "sample/TextFormat.h"
#include "tests/tree/TreeTestUtil.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <random>

#include <gtest/gtest.h>

namespace {

using treetest::Grown;
using treetest::Row;

struct RefNode {
    int child1 = 0;
    int child2 = 0;
    int step = 0;
    float level = 5.0f;
    std::vector<int> members;
};

class ReferenceForest {
  public:
    ReferenceForest(int n, const KList& k_list, int burn_in) : n_(n), k_list_(k_list), burn_in_(burn_in) {
        for (int i = 1; i <= n; ++i) {
            RefNode& leaf = nodes_.emplace_back();
            leaf.members = {i};
            active_[i] = &leaf;
        }
    }

    void init_proposals(const Marginal& marginal) {
        const auto p = [&](int a, int b) {
            return marginal.calc_co_assi_prob({std::min(a, b), std::max(a, b)}, k_list_);
        };
        std::vector<bool> used(static_cast<std::size_t>(n_) + 1, false);
        for (int i = 1; i <= n_ - 1; ++i) {
            if (used[static_cast<std::size_t>(i)]) continue;
            double best = 0.0;
            int best_j = i;
            for (int j = 1; j <= n_; ++j)
                if (j != i && p(i, j) > best) {
                    best = p(i, j);
                    best_j = j;
                }
            double second = 0.0;
            for (int j = 1; j <= n_; ++j) {
                if (j == i || j == best_j) continue;
                if (p(best_j, j) > second) second = p(best_j, j);
                if (second > best) break;
            }
            if (best > second) {
                propose(i, best_j, static_cast<float>(best));
                used[static_cast<std::size_t>(best_j)] = true;
            } else {
                for (int j = i + 1; j <= n_; ++j) propose(i, j, static_cast<float>(p(i, j)));
            }
        }
    }

    void merge_best_proposal(int s, int id) {
        const RefNode* best = proposed_.begin()->second;
        for (const int c : {best->child1, best->child2}) {
            accepted_[c] = active_.at(c);
            active_.erase(c);
        }
        RefNode& node = nodes_.emplace_back(*best);
        node.step = s;
        active_[id] = &node;
    }

    void update_proposals(int id, const MC_Sample& store) {
        const int b1 = active_.at(id)->child1;
        const int b2 = active_.at(id)->child2;
        for (auto it = proposed_.begin(); it != proposed_.end();) {
            const RefNode* q = it->second;
            if (q->child1 == b1 || q->child1 == b2 || q->child2 == b1 || q->child2 == b2)
                it = proposed_.erase(it);
            else
                ++it;
        }
        for (const auto& [x, node] : active_)
            if (x != id) {
                RefNode& q = make_proposal(id, x);
                q.level = static_cast<float>(set_level(q.members, store));
                proposed_.emplace(q.level, &q);
            }
    }

    void close_tree(int n) { accepted_[2 * n - 1] = active_.begin()->second; }

    std::string tree() const {
        const auto root = std::prev(accepted_.end());
        return "(" + node_text(*root->second, root->first, 0) + ",O:0 );\r\n";
    }

    std::string clusters() const {
        std::string s = "n_indivs =\t" + std::to_string(n_) + "\r\n\r\n";
        for (int step = 1; step < n_; ++step) {
            const RefNode& node = *accepted_.at(n_ + step);
            s += std::to_string(step) + "\t" + general_text(node.level) + " : \t";
            for (const int m : node.members) s += std::to_string(m) + "\t";
            s += "\r\n";
        }
        return s;
    }

    const RefNode& active(int id) const { return *active_.at(id); }
    std::vector<int> active_ids() const {
        std::vector<int> ids;
        for (const auto& entry : active_) ids.push_back(entry.first);
        return ids;
    }
    const RefNode& accepted(int id) const { return *accepted_.at(id); }

  private:
    RefNode& make_proposal(int c1, int c2) {
        RefNode& q = nodes_.emplace_back();
        q.child1 = c1;
        q.child2 = c2;
        const auto& m1 = active_.at(c1)->members;
        const auto& m2 = active_.at(c2)->members;
        std::merge(m1.begin(), m1.end(), m2.begin(), m2.end(), std::back_inserter(q.members));
        return q;
    }

    void propose(int c1, int c2, float level) {
        RefNode& q = make_proposal(c1, c2);
        q.level = level;
        proposed_.emplace(level, &q);
    }

    double set_level(const std::vector<int>& members, const MC_Sample& store) const {
        long hits = 0;
        long counted = 0;
        for (int j = std::max(burn_in_, 0); j < store.get_n_samples(); ++j) {
            const auto obs = static_cast<std::uint32_t>(j);
            const int k = store.get_k_for_sample(obs);
            if (k < k_list_.front() || k > k_list_.back()) continue;
            ++counted;
            const int first = store.get_indiv_part_in_sample(obs, members.front());
            bool all = true;
            for (const int m : members) all = all && store.get_indiv_part_in_sample(obs, m) == first;
            if (all) ++hits;
        }
        return static_cast<double>(hits) / static_cast<double>(counted);
    }

    std::string node_text(const RefNode& node, int id, double x) const {
        if (node.child1 == 0 && node.child2 == 0) return std::to_string(id) + ":" + fixed_point_text(1.0 - x, '.');
        const double level = node.level;
        std::string s;
        if (node.child1 != 0) s += "(" + node_text(*accepted_.at(node.child1), node.child1, level) + " , ";
        if (node.child2 != 0) s += " " + node_text(*accepted_.at(node.child2), node.child2, level);
        return s + ")" + fixed_point_text(level, '.') + ":" + fixed_point_text(level - x, '.');
    }

    int n_;
    const KList& k_list_;
    int burn_in_;
    std::deque<RefNode> nodes_;
    std::map<int, RefNode*> active_;
    std::map<int, RefNode*> accepted_;
    std::multimap<float, RefNode*, std::greater<float>> proposed_;
};

/// The reference forest and a literal node history (each entry a copy of the one before).
Grown grow_reference(const MC_Sample& store, int n, const KList& k_list, int burn_in) {
    Marginal marginal(store.Kmax(), n);
    marginal.fill_co_assi_counts(store, burn_in, n, store.Kmax());
    ReferenceForest forest(n, k_list, burn_in);
    forest.init_proposals(marginal);
    std::vector<std::vector<std::int32_t>> entries(1);
    Grown g;
    for (int s = 1; s < n; ++s) {
        forest.merge_best_proposal(s, n + s);
        const RefNode& node = forest.active(n + s);
        std::vector<std::int32_t> entry = entries.back();
        for (const int c : {node.child1, node.child2}) {
            const auto it = std::find(entry.begin(), entry.end(), c);
            if (it != entry.end()) entry.erase(it);
        }
        entry.insert(entry.begin(), n + s);
        entries.push_back(entry);
        forest.update_proposals(n + s, store);
        g.child1.push_back(node.child1);
        g.child2.push_back(node.child2);
        g.levels.push_back(node.level);
        g.members.emplace_back(node.members.begin(), node.members.end());
        g.roots.push_back(entry);
    }
    forest.close_tree(n);
    g.tree = forest.tree();
    g.clusters = forest.clusters();
    g.heights = "t \t Node heights\r\n";
    for (int s = 1; s < n; ++s)
        g.heights += std::to_string(s) + "\t" + general_text(forest.accepted(n + s).level) + "\r\n";
    return g;
}

void expect_same(const Grown& fast, const Grown& ref, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(fast.child1, ref.child1);
    ASSERT_EQ(fast.child2, ref.child2);
    ASSERT_EQ(fast.levels, ref.levels);
    ASSERT_EQ(fast.members, ref.members);
    ASSERT_EQ(fast.roots, ref.roots);
    ASSERT_EQ(fast.tree, ref.tree);
    ASSERT_EQ(fast.clusters, ref.clusters);
    ASSERT_EQ(fast.heights, ref.heights);
}

/// Compares both on one store for a random k range and burn-in; returns false when nothing is counted.
bool compare_once(const MC_Sample& store, std::mt19937& rng, const std::string& what) {
    const int Kmax = store.Kmax();
    const int n = store.n_indivs();
    int k_from = std::uniform_int_distribution<int>(1, Kmax)(rng);
    int k_to = std::uniform_int_distribution<int>(1, Kmax)(rng);
    if (k_from > k_to) std::swap(k_from, k_to);
    KList k_list;
    // Now and then the ends of the range only: the pair counts then see fewer k than the set levels.
    if (k_to - k_from >= 2 && rng() % 4 == 0)
        k_list = {k_from, k_to};
    else
        for (int k = k_from; k <= k_to; ++k) k_list.push_back(k);
    const int burn_in = std::uniform_int_distribution<int>(0, std::max(0, store.get_n_samples() - 1))(rng);
    Marginal marginal(Kmax, n);
    marginal.fill_co_assi_counts(store, burn_in, n, Kmax);
    if (marginal.count_obs_in_k_list(k_list) == 0) return false;
    const int bound_limit = rng() % 3 == 0 ? 0 : 8192;
    const std::string detail = what + " k " + std::to_string(k_from) + ".." + std::to_string(k_to) + " (" +
                               std::to_string(k_list.size()) + " values) burn-in " + std::to_string(burn_in) +
                               " bounds " + std::to_string(bound_limit);
    expect_same(treetest::grow(store, n, k_list, burn_in, bound_limit), grow_reference(store, n, k_list, burn_in),
                detail);
    return true;
}

void compare_simulated(std::uint32_t seed, int rounds, int max_indivs, int min_obs, int max_obs, int min_compared) {
    std::mt19937 rng(seed);
    int compared = 0;
    for (int round = 0; round < rounds; ++round) {
        SimulationSettings settings;
        settings.n_indivs = std::uniform_int_distribution<int>(2, max_indivs)(rng);
        settings.n_obs = std::uniform_int_distribution<int>(min_obs, max_obs)(rng);
        settings.Kmax = std::uniform_int_distribution<int>(1, 8)(rng);
        settings.groups = std::uniform_int_distribution<int>(1, 5)(rng);
        settings.seed = rng();
        std::ostringstream text;
        simulate_run(text, settings);
        const auto store = treetest::load_store(text.str());
        for (int t = 0; t < 3; ++t) compared += compare_once(*store, rng, "simulated round " + std::to_string(round));
        if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_GT(compared, min_compared);
}

TEST(ForestReference, SimulatedRuns) { compare_simulated(20240611, 60, 40, 3, 150, 100); }

// Long runs: the byte counts of shared observations go past the point where their lanes are summed.
TEST(ForestReference, LongSimulatedRuns) { compare_simulated(99, 3, 10, 16000, 20000, 4); }

void compare_random_labels(std::uint32_t seed, int rounds, int max_indivs, int max_obs, int min_compared) {
    std::mt19937 rng(seed);
    int compared = 0;
    for (int round = 0; round < rounds; ++round) {
        const int n = std::uniform_int_distribution<int>(1, max_indivs)(rng);
        const int Kmax = std::uniform_int_distribution<int>(1, 4)(rng);
        const int n_obs = std::uniform_int_distribution<int>(1, max_obs)(rng);
        std::vector<Row> rows;
        for (int t = 0; t < n_obs; ++t) {
            Row row(static_cast<std::size_t>(n) + 1);
            const int k = std::uniform_int_distribution<int>(1, Kmax)(rng);
            row[0] = k;
            for (int i = 1; i <= n; ++i)
                row[static_cast<std::size_t>(i)] = k == 1 ? 1 : std::uniform_int_distribution<int>(0, k)(rng);
            rows.push_back(row);
        }
        const auto store = treetest::load_store(treetest::result_text(n, Kmax, rows));
        compared += compare_once(*store, rng, "labels round " + std::to_string(round));
        if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_GT(compared, min_compared);
}

// Few observations give few distinct levels, so ties decide most merges.
TEST(ForestReference, RandomLabelsWithManyTies) { compare_random_labels(7, 300, 24, 8, 150); }

// Unrelated labels over many observations: many levels close together.
TEST(ForestReference, LongRandomLabels) { compare_random_labels(11, 12, 30, 4000, 6); }

/// Rows of n individuals with k drawn from 1..k_top, labels at random but for a planted pair (1, 2).
std::vector<Row> random_rows(std::mt19937& rng, int n, int k_top, int n_obs) {
    std::vector<Row> rows;
    for (int t = 0; t < n_obs; ++t) {
        Row row(static_cast<std::size_t>(n) + 1);
        const int k = std::uniform_int_distribution<int>(1, k_top)(rng);
        row[0] = k;
        for (int i = 1; i <= n; ++i)
            row[static_cast<std::size_t>(i)] = k == 1 ? 1 : std::uniform_int_distribution<int>(0, k)(rng);
        if (k > 1 && rng() % 2 == 0) row[2] = row[1];
        rows.push_back(row);
    }
    return rows;
}

// Levels kept as 32-bit floats instead of 16-bit counts: more than 65,535 observations counted, or a k
// range reaching past the header's Kmax, where the labels count observations the pair counts leave out.
TEST(ForestReference, LevelsBeyondSixteenBitCounts) {
    struct Case {
        const char* what;
        int n, Kmax, k_top, n_obs;
        KList k_list;
        bool narrow;
    };
    const Case cases[] = {
        {"66,000 observations", 7, 3, 3, 66000, {1, 2, 3}, false},
        {"k above Kmax in the store", 12, 2, 4, 300, {1, 2, 3, 4}, false},
        {"k range ending at Kmax", 12, 2, 4, 300, {1, 2}, true},
    };
    std::mt19937 rng(5);
    for (const Case& c : cases) {
        const auto store =
            treetest::load_store(treetest::result_text(c.n, c.Kmax, random_rows(rng, c.n, c.k_top, c.n_obs)));
        Forest::Stats stats;
        expect_same(treetest::grow(*store, c.n, c.k_list, 0, 16384, &stats), grow_reference(*store, c.n, c.k_list, 0),
                    c.what);
        EXPECT_EQ(stats.narrow, c.narrow) << c.what;
    }
}

}  // namespace
