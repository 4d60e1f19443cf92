// The tree file and the node clusters file, written from a closed Forest.
#include "sample/OutputFile.h"
#include "sample/TextFormat.h"
#include "tree/Forest.h"

#include <cassert>
#include <charconv>
#include <ostream>

namespace {

void append_int(std::string& out, std::int64_t v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void append_fixed(std::string& out, double v) { out += fixed_point_text(v, '.'); }

}  // namespace

void Forest::print_accepted_nodes(std::ostream& out) const {
    std::int32_t root = 0;
    for (std::int32_t id = static_cast<std::int32_t>(where_.size()) - 1; id >= 1; --id)
        if (where_[static_cast<std::size_t>(id)] & in_accepted) {
            root = id;
            break;
        }
    assert(root != 0);

    // The subtree of a node: a leaf is "id:" F(1 - x); an internal node is "(" child1 " , " " " child2 ")"
    // F(L) ":" F(L - x), with L its level and x its parent's. Walked with an explicit stack, since a tree
    // of n individuals can be n levels deep.
    enum class Part { subtree, comma, space, close };
    struct Task {
        Part part;
        std::int32_t id;
        double parent_level;
    };
    std::string text = "(";
    std::vector<Task> tasks{{Part::subtree, root, 0.0}};
    while (!tasks.empty()) {
        const Task t = tasks.back();
        tasks.pop_back();
        switch (t.part) {
            case Part::comma:
                text += " , ";
                continue;
            case Part::space:
                text += ' ';
                continue;
            case Part::close: {
                const double level = get_accepted_node(t.id).get_prob_level();
                text += ')';
                append_fixed(text, level);
                text += ':';
                append_fixed(text, level - t.parent_level);
                continue;
            }
            case Part::subtree:
                break;
        }
        const Node& node = get_accepted_node(t.id);
        if (node.is_leaf()) {
            append_int(text, t.id);
            text += ':';
            append_fixed(text, 1.0 - t.parent_level);
            continue;
        }
        const double level = node.get_prob_level();
        tasks.push_back({Part::close, t.id, t.parent_level});
        if (node.get_child(2) != 0) {
            tasks.push_back({Part::subtree, node.get_child(2), level});
            tasks.push_back({Part::space, 0, 0.0});
        }
        if (node.get_child(1) != 0) {
            text += '(';
            tasks.push_back({Part::comma, 0, 0.0});
            tasks.push_back({Part::subtree, node.get_child(1), level});
        }
    }
    text += ",O:0 );\r\n";
    out << text;
}

bool Forest::print_accepted_nodes(const std::string& path, Notices& notes) const {
    return write_output_file(path, "Forest::print_accepted_nodes", notes,
                             [&](std::ostream& out) { print_accepted_nodes(out); });
}

void Forest::print_all_clusters(std::ostream& out) const {
    std::string text = "n_indivs =\t";
    append_int(text, n_indivs_);
    text += "\r\n\r\n";
    for (std::int32_t s = 1; s < n_indivs_; ++s) {
        const Node& node = get_accepted_node(n_indivs_ + s);
        append_int(text, s);
        text += '\t';
        append_general(text, node.get_prob_level());
        text += " : \t";
        for (const std::int16_t m : *node.get_cluster()) {
            append_int(text, m);
            text += '\t';
        }
        text += "\r\n";
        if (text.size() > (1u << 20)) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

bool Forest::print_all_clusters(const std::string& path, Notices& notes) const {
    return write_output_file(path, "Forest::print_all_clusters", notes,
                             [&](std::ostream& out) { print_all_clusters(out); });
}
