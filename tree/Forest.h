#pragma once

#include "coassign/Marginal.h"
#include "sample/Diagnostics.h"
#include "sample/Mc_sample.h"
#include "sample/Progress.h"
#include "tree/Node.h"
#include "tree/SharedLabels.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

/// Grows a tree of clusters over individuals 1..n_indivs by greedy agglomeration.
///
/// The level of a set of individuals is the fraction of retained observations (from burn_in on, with k
/// between the first and last entry of k_list) in which all of them share a cluster, computed in double
/// and stored as a 32-bit float; every comparison uses the float. Pairs take it from the Marginal, larger
/// sets from the stored clusterings.
///
/// Ids: leaf i is individual i; the node accepted at merge step s has id n_indivs + s; the root is
/// 2 n_indivs - 1. A proposal joins two active clusters (child1, child2). Proposals rank by descending
/// level; equal levels rank in the order they were proposed: the seeding order, then, after each merge,
/// the new cluster with every other active cluster by ascending id (the new cluster is child1).
///
/// Seeding (init_proposals), with p(a, b) the Marginal's pair probability: for each individual i from 1
/// to n_indivs - 1 not flagged as used, best_j is the partner with the strictly highest p(i, j) (the
/// lowest j on ties; i itself when every p is 0); the rival scan looks for the highest p(best_j, j) over
/// j other than i and best_j, stopping as soon as it exceeds best. When best is strictly above the rival,
/// (i, best_j) is proposed alone and best_j is flagged as used; otherwise (i, j) is proposed for every
/// j > i. A merge removes every proposal that involves either merged cluster.
///
/// The ranking is kept exactly but evaluated lazily: a proposal made after a merge enters with an upper
/// bound of its level (no set shares a cluster more often than any of its parts) and its level is computed
/// only when it reaches the top; each active cluster keeps one byte per retained observation
/// (SharedLabels) so that a level is one pass of byte compares.
class Forest {
  public:
    /// Makes the leaves. k_list is borrowed and must outlive the Forest; n_indivs is 1..16384.
    Forest(std::int32_t n_indivs, const KList& k_list, std::int32_t burn_in);
    Forest(const Forest&) = delete;
    Forest& operator=(const Forest&) = delete;

    /// Seeds the proposals from the pair probabilities of `marginal`, which must have been filled from the
    /// store later passed to update_proposals, with the same burn-in, and must outlive the Forest.
    /// `progress`, when given, hears the individuals seeded (of n_indivs) and can stop with Cancelled.
    void init_proposals(const Marginal& marginal, const Progress* progress = nullptr);
    /// Accepts the best proposal at merge step s (1..n_indivs - 1) as node id = n_indivs + s: its two
    /// clusters move from the active to the accepted nodes and the new node becomes active.
    void merge_best_proposal(std::int32_t s, std::int32_t id);
    /// After the merge that made node id: drops the proposals that involve its children and proposes the
    /// new cluster with every other active cluster. Raises what the store raises.
    void update_proposals(std::int32_t id, const MC_Sample& store);
    /// Enters the only active node, the root, among the accepted nodes under id 2n - 1 (it stays active).
    void close_tree(std::int32_t n);

    /// Node under an active id; the id must be active.
    const Node& get_active_node(std::int32_t id) const;
    /// Node under an accepted id; the id must be accepted (after close_tree every id 1..2n - 1 is).
    const Node& get_accepted_node(std::int32_t id) const;
    /// The active ids, ascending.
    const std::vector<std::int32_t>& active_ids() const { return active_; }
    std::int32_t n_indivs() const { return n_indivs_; }

    /// Tree file: the tree in Newick form on one line, "(" + subtree of the root + ",O:0 );" CR LF. A leaf
    /// is "id:" F(1 - parent level); an internal node "(" child1 " ,  " child2 ")" F(level) ":" F(level -
    /// parent level), F being the five-decimal fixed-point text with ".". Needs the closed tree.
    void print_accepted_nodes(std::ostream& out) const;
    /// Writes the tree file `path`. Reports "Impossible to open outfile! Forest::print_accepted_nodes" and returns
    /// false when it cannot.
    bool print_accepted_nodes(const std::string& path, Diagnostics& diag) const;
    /// Node clusters file: "n_indivs =\t" n, an empty line, then for each step s "s\t" level " : \t" and
    /// every member followed by a tab. Levels in "%g" form. Needs the closed tree.
    void print_all_clusters(std::ostream& out) const;
    bool print_all_clusters(const std::string& path, Diagnostics& diag) const;

    /// Pair bounds take a float per pair of individuals; they are kept only up to this many individuals
    /// (8192 unless changed before init_proposals). Without them the ranking is the same, only slower.
    void set_pair_bound_limit(std::int32_t max_indivs) { pair_bound_limit_ = max_indivs; }

    /// Counters of the work done, for benchmarks.
    struct Stats {
        std::int64_t proposals = 0;    ///< proposals made, seeding included
        std::int64_t evaluations = 0;  ///< levels computed from the label vectors
        bool bounded = false;          ///< whether pair bounds were used
    };
    const Stats& stats() const { return stats_; }

  private:
    /// A proposal (owner, other) inside the batch of its owner, the cluster named first.
    struct Entry {
        float level;         // the level when exact, else an upper bound of it
        std::uint32_t seq;   // rank in proposal order
        std::int16_t other;  // id of the second cluster
        bool exact;
    };
    /// The best remaining entry of one owner's batch, as ranked in the global heap.
    struct Cursor {
        float level;
        std::uint32_t seq;
        std::int32_t owner;
    };
    static bool ranks_below(float la, std::uint32_t sa, float lb, std::uint32_t sb) {
        return la < lb || (la == lb && sa > sb);
    }

    bool is_active(std::int32_t id) const { return (where_[static_cast<std::size_t>(id)] & in_active) != 0; }
    float exact_level(std::int32_t a, std::int32_t b);
    void push_batch(std::int32_t owner);
    /// Owner and entry of the best live proposal, computing levels as needed.
    Entry top_proposal(std::int32_t& owner);
    void build_bounds(const Marginal& marginal, const Progress* progress);
    template <class PairProb>
    void seed(const PairProb& p, const Progress* progress);
    float& bound(std::int32_t slot_a, std::int32_t slot_b) {
        return bounds_[static_cast<std::size_t>(slot_a) * static_cast<std::size_t>(n_indivs_) +
                       static_cast<std::size_t>(slot_b)];
    }

    static constexpr std::uint8_t in_active = 1;
    static constexpr std::uint8_t in_accepted = 2;

    std::int32_t n_indivs_;
    const KList* k_list_;
    std::int32_t burn_in_;
    std::vector<Node> nodes_;                  // by id, 0 unused
    std::vector<std::uint8_t> where_;          // by id: in_active / in_accepted bits
    std::vector<std::int32_t> active_;         // active ids, ascending
    std::vector<std::int32_t> slot_;           // by id: slot of an active cluster in labels_ and bounds_
    std::vector<std::vector<Entry>> batches_;  // by owner id, each a heap
    std::vector<Cursor> heap_;                 // one cursor per non-empty batch
    std::uint32_t next_seq_ = 0;
    std::int64_t marginal_total_ = -1;  // observations the Marginal counts for k_list
    bool pairs_agree_ = false;          // the Marginal and the labels count the same observations
    std::int32_t pair_bound_limit_ = 8192;
    std::vector<float> bounds_;  // by slot pair: upper bound of the level of the union
    SharedLabels labels_;
    Stats stats_;
};
