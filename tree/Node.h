#pragma once

#include <cstdint>
#include <vector>

/// One cluster of the tree of clusters: a leaf (one individual), a proposed merge of two clusters, or an
/// accepted internal node. The node does not know its own id; the Forest assigns ids (leaf i has id i, the
/// node accepted at merge step s has id n_indivs + s).
class Node {
  public:
    /// Member individuals (1..n_indivs), ascending without repeats for every node the Forest makes.
    using Cluster = std::vector<std::int16_t>;

    /// Ids of the two clusters joined; both 0 for a leaf.
    void set_children(std::int32_t c1, std::int32_t c2) {
        child1_ = c1;
        child2_ = c2;
    }
    /// which = 1 gives the first child, 2 the second; any other value gives -1.
    std::int32_t get_child(int which) const { return which == 1 ? child1_ : which == 2 ? child2_ : -1; }
    bool is_leaf() const { return child1_ == 0 && child2_ == 0; }

    /// Merge step (1..n_indivs - 1) at which an accepted internal node was formed; 0 otherwise.
    void set_step(std::int32_t s) { step_ = s; }
    std::int32_t get_step() const { return step_; }

    /// Probability that all members share one cluster, stored as a 32-bit float. Starts at 5.0, a value no
    /// probability reaches; leaves keep it.
    void set_prob_level(float level) { prob_level_ = level; }
    float get_prob_level() const { return prob_level_; }

    /// Puts the single individual of a leaf. A node that already has members stays unchanged and writes
    /// "This cluster is occupied !" (no line end) to standard output; returns false then.
    bool add_indiv(std::int32_t indiv);
    std::int32_t cluster_size() const { return static_cast<std::int32_t>(cluster_.size()); }
    /// Replaces the members by a copy of *src; a null src changes nothing.
    void copy_cluster(const Cluster* src);
    Cluster* get_cluster() { return &cluster_; }
    const Cluster* get_cluster() const { return &cluster_; }

  private:
    std::int32_t child1_ = 0;
    std::int32_t child2_ = 0;
    std::int32_t step_ = 0;
    float prob_level_ = 5.0f;
    Cluster cluster_;
};
