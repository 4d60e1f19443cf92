#pragma once

#include "sample/Notices.h"
#include "tree/Forest.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

/// Follows the merge loop of a Forest: after each merge step s it records which internal nodes are roots
/// of the forest, the node formed at step s first, then the older roots newest first. Once the tree is
/// closed it gives the level of the node formed at each step: the height at which the tree joins its two
/// clusters.
///
/// The lists are not copied step by step: entry s is the list of entry s - 1 without the two children
/// of step s, with the new node in front, so it is rebuilt from the nodes recorded and the step at which
/// each was merged.
class internal_node_history {
  public:
    /// For a forest of n_indivs individuals (none recorded when n_indivs is below 1).
    explicit internal_node_history(std::int32_t n_indivs);

    /// Records merge step s, where id (= n_indivs + s) is the node just accepted and still active in
    /// `forest`. Steps are recorded once each, in increasing order.
    void record_merge(std::int32_t id, const Forest& forest);
    /// Id of the node formed at step s (1..n_indivs - 1), once recorded.
    std::int32_t get_step_node(std::int32_t s) const;
    /// Level of the node formed at step s, widened from its 32-bit float; the forest must be closed.
    double get_step_prob_level(std::int32_t s, const Forest& forest) const;
    /// The internal roots after step s (0..n_indivs - 1; empty for 0), in the order described above.
    std::vector<std::int32_t> roots_after_step(std::int32_t s) const;

    /// Node heights file: "t \t Node heights", then one line per step s: s, a tab and the level in "%g"
    /// form. Lines end with CR LF. The forest must be closed.
    void print_node_co_assi_probs(std::ostream& out, const Forest& forest, std::int32_t n_indivs) const;
    /// Writes the file `path`; reports "Impossible to open outfile! History::print_node_co_assi_probs" and
    /// returns false when it cannot.
    bool print_node_co_assi_probs(const std::string& path, const Forest& forest, std::int32_t n_indivs,
                                  Notices& notes) const;

  private:
    std::int32_t n_indivs_;
    std::vector<std::int32_t> step_node_;  // by step: the node recorded; 0 when not yet recorded
    std::vector<std::int32_t> merged_at_;  // by step: the step whose node took the node of this step; 0 while a root
    std::vector<std::int32_t> step_of_;    // by id - n_indivs: the step that recorded the id, 0 if none
};
