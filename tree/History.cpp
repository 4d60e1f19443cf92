#include "tree/History.h"

#include "sample/OutputFile.h"
#include "sample/TextFormat.h"

#include <cassert>
#include <ostream>

internal_node_history::internal_node_history(std::int32_t n_indivs) : n_indivs_(n_indivs) {
    const std::size_t entries = n_indivs > 0 ? static_cast<std::size_t>(n_indivs) : 0;
    step_node_.assign(entries, 0);
    merged_at_.assign(entries, 0);
    step_of_.assign(entries, 0);
}

void internal_node_history::record_merge(std::int32_t id, const Forest& forest) {
    const Node& node = forest.get_active_node(id);
    const std::int32_t s = node.get_step();
    assert(s >= 1 && s < n_indivs_ && step_node_[static_cast<std::size_t>(s)] == 0);
    step_node_[static_cast<std::size_t>(s)] = id;
    if (id > n_indivs_ && id - n_indivs_ < n_indivs_) step_of_[static_cast<std::size_t>(id - n_indivs_)] = s;
    // A child is found among the roots only when it is an internal node recorded earlier and not yet taken.
    for (const std::int32_t c : {node.get_child(1), node.get_child(2)}) {
        if (c <= n_indivs_ || c - n_indivs_ >= n_indivs_) continue;
        const std::int32_t t = step_of_[static_cast<std::size_t>(c - n_indivs_)];
        if (t != 0 && t < s && merged_at_[static_cast<std::size_t>(t)] == 0)
            merged_at_[static_cast<std::size_t>(t)] = s;
    }
}

std::int32_t internal_node_history::get_step_node(std::int32_t s) const {
    assert(s >= 1 && s < n_indivs_);
    return step_node_[static_cast<std::size_t>(s)];
}

double internal_node_history::get_step_prob_level(std::int32_t s, const Forest& forest) const {
    return static_cast<double>(forest.get_accepted_node(get_step_node(s)).get_prob_level());
}

std::vector<std::int32_t> internal_node_history::roots_after_step(std::int32_t s) const {
    std::vector<std::int32_t> roots;
    for (std::int32_t t = s; t >= 1; --t) {
        const std::int32_t m = merged_at_[static_cast<std::size_t>(t)];
        if (m == 0 || m > s) roots.push_back(step_node_[static_cast<std::size_t>(t)]);
    }
    return roots;
}

void internal_node_history::print_node_co_assi_probs(std::ostream& out, const Forest& forest,
                                                     std::int32_t n_indivs) const {
    std::string text = "t \t Node heights\r\n";
    for (std::int32_t s = 1; s < n_indivs; ++s) {
        text += std::to_string(s);
        text += '\t';
        append_general(text, get_step_prob_level(s, forest));
        text += "\r\n";
    }
    out << text;
}

bool internal_node_history::print_node_co_assi_probs(const std::string& path, const Forest& forest,
                                                     std::int32_t n_indivs, Notices& notes) const {
    return write_output_file(path, "History::print_node_co_assi_probs", notes,
                             [&](std::ostream& out) { print_node_co_assi_probs(out, forest, n_indivs); });
}
