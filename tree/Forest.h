#pragma once

#include "coassign/Marginal.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/Progress.h"
#include "tree/Node.h"
#include "tree/PairTable.h"
#include "tree/SecondThread.h"
#include "tree/SharedLabels.h"

#include <chrono>
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
/// The ranking is kept exactly but evaluated lazily. Every live proposal's level, or an upper bound of it
/// while it is not yet computed, sits in a table by pair of active clusters (PairTable); a proposal made
/// after a merge enters with a bound (no set shares a cluster more often than any of its parts) and its
/// level is computed only when it reaches the top. Each owner, the cluster a proposal was made for (the
/// individual seeded, or the cluster made by the merge), finds its best remaining proposal by a scan of its
/// row; a heap ranks the owners. Each active cluster keeps one byte per retained observation
/// (SharedLabels), so that a level is one pass of byte compares.
class Forest {
  public:
    /// Makes the leaves. k_list is borrowed and must outlive the Forest; n_indivs is 1..16384.
    Forest(std::int32_t n_indivs, const KList& k_list, std::int32_t burn_in);
    Forest(const Forest&) = delete;
    Forest& operator=(const Forest&) = delete;

    /// Seeds the proposals from the pair probabilities of `marginal`, which must have been filled from the
    /// store later passed to update_proposals, with the same burn-in. The Marginal is read only during the
    /// call (its pair counts for the k list are made if they are not there yet).
    /// `progress`, when given, hears the individuals seeded (of n_indivs) and can stop with Cancelled.
    void init_proposals(const Marginal& marginal, const Progress* progress = nullptr);
    /// Accepts the best proposal at merge step s (1..n_indivs - 1) as node id = n_indivs + s: its two
    /// clusters move from the active to the accepted nodes and the new node becomes active.
    /// `progress`, when given, is checked for cancel while levels are computed (it throws Cancelled; the
    /// Forest is then to be thrown away) and, when the step runs long, hears s - 1 of n_indivs - 1 again
    /// every 250 ms.
    void merge_best_proposal(std::int32_t s, std::int32_t id, const Progress* progress = nullptr);
    /// After the merge that made node id: drops the proposals that involve its children and proposes the
    /// new cluster with every other active cluster. Raises what the store raises. `progress` as for
    /// merge_best_proposal (the first call builds the label vectors, seconds at 16,384 individuals).
    void update_proposals(std::int32_t id, const MC_Sample& store, const Progress* progress = nullptr);
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
    bool print_accepted_nodes(const std::string& path, Notices& notes) const;
    /// Node clusters file: "n_indivs =\t" n, an empty line, then for each step s "s\t" level " : \t" and
    /// every member followed by a tab. Levels in "%g" form. Needs the closed tree.
    void print_all_clusters(std::ostream& out) const;
    bool print_all_clusters(const std::string& path, Notices& notes) const;

    /// Proposals after a merge are bounded by the levels of the merged clusters with the other cluster (the
    /// pair bounds) only up to this many individuals (all, 16384, unless changed before init_proposals);
    /// beyond it only by the levels of the two clusters. Either way the ranking is the same, only the work
    /// differs; memory does not depend on it.
    void set_pair_bound_limit(std::int32_t max_indivs) { pair_bound_limit_ = max_indivs; }

    /// Threads the merge loop may use (at least 1; by default 2 where two cores are free to it): with 2, a
    /// second thread updates and scans half of each long row and computes every other level of a batch.
    /// The tree does not depend on it. Set before the first merge.
    void set_threads(int threads) { threads_ = std::max(threads, 1); }

    /// Counters of the work done, for benchmarks.
    struct Stats {
        std::int64_t proposals = 0;    ///< proposals made, seeding included
        std::int64_t evaluations = 0;  ///< levels computed from the label vectors
        std::int64_t scans = 0;        ///< rows scanned for an owner's best proposal
        bool bounded = false;          ///< whether pair bounds were used
        bool narrow = false;           ///< whether levels were kept as 16-bit counts
    };
    const Stats& stats() const { return stats_; }

  private:
    /// An owner as ranked in the heap: code is at least the code of the owner's best live proposal.
    struct Cursor {
        std::uint32_t code;
        std::int32_t owner;
    };
    /// Higher codes first; equal codes go by owner, the earlier proposed first.
    static bool ranks_below(const Cursor& a, const Cursor& b) {
        return a.code < b.code || (a.code == b.code && a.owner > b.owner);
    }
    /// Proposals an owner remembers from the last scan of its row.
    static constexpr std::size_t cached = 32;

    bool is_active(std::int32_t id) const { return (where_[static_cast<std::size_t>(id)] & in_active) != 0; }
    std::int32_t slot(std::int32_t id) const { return slot_[static_cast<std::size_t>(id)]; }
    /// Computes the levels of every proposal among owner o's remembered ones that is still a bound, and
    /// puts them back in order.
    void evaluate_remembered(std::int32_t o);
    /// The key (PairTable::key) of owner o's best live proposal, 0 when it has none.
    std::uint64_t best_of(std::int32_t o);
    /// The owner and partner of the best live proposal, computing levels as needed; returns its code.
    std::uint32_t top_proposal(std::int32_t& owner, std::int32_t& partner, const Progress* progress, std::int32_t s);
    /// Checks `progress` for cancel and reports s - 1 of n_indivs - 1 when 250 ms have passed since the last.
    void beat(const Progress* progress, std::int32_t s);
    template <class Count>
    void seed(const Count& count, std::int64_t total, bool table_holds_counts, const Progress* progress);

    static constexpr std::uint8_t in_active = 1;
    static constexpr std::uint8_t in_accepted = 2;

    std::int32_t n_indivs_;
    const KList* k_list_;
    std::int32_t burn_in_;
    std::vector<Node> nodes_;            // by id, 0 unused
    std::vector<std::uint8_t> where_;    // by id: in_active / in_accepted bits
    std::vector<std::int32_t> active_;   // active ids, ascending
    std::vector<std::int32_t> slot_;     // by id: slot of an active cluster in labels_ and pairs_
    std::vector<std::int32_t> lo_, hi_;  // by owner id: its proposals are with the active clusters of ids lo..hi
    std::vector<Cursor> heap_;           // one cursor per owner that may have live proposals
    // By owner id: the best keys of the owner's row at its last scan, best first, as they are now (entries
    // whose partner has merged since are dropped when they reach the front); and the floor, above which
    // every live proposal of the owner is among them (0 when all are, all-ones before the first scan).
    std::vector<std::uint64_t> cache_;
    std::vector<std::uint8_t> cache_size_;
    std::vector<std::uint64_t> floor_;
    std::int64_t marginal_total_ = -1;  // observations the Marginal counts for k_list
    bool consecutive_ = false;          // k_list is k_from, k_from + 1, ..., k_to
    bool pairs_agree_ = false;          // the Marginal and the labels count the same observations
    std::int32_t pair_bound_limit_ = 16384;
    std::uint32_t accepted_code_ = 0;  // code of the last proposal accepted
    std::chrono::steady_clock::time_point last_beat_;
    int threads_;
    std::unique_ptr<SecondThread> second_;  // made with the labels, when threads_ >= 2 and rows are long
    PairTable pairs_;
    SharedLabels labels_;
    Stats stats_;
};
