#include "tidy/TreeExport.h"

#include "sample/OutputFile.h"
#include "tidy/TidyText.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <ostream>

namespace {

/// The level as the decimal its float shows, read back as a double.
double shown_level(float level) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, level);
    double v = 0.0;
    std::from_chars(buf, res.ptr, v);
    return v;
}

const Merge& merge_of(const TreeShape& shape, std::int32_t id) {
    return shape.merges[static_cast<std::size_t>(id - shape.n_indivs - 1)];
}

enum class Style { newick, nexus };

/// The tree as Newick text without the final ";". Leaves are `leaf_labels[id - 1]`. With `levels`, the
/// levels in full (by merge step) label the nodes and give the heights; else the shape's floats do.
std::string tree_text(const TreeShape& shape, const std::vector<std::string>& leaf_labels, Style style,
                      const std::vector<double>* levels = nullptr) {
    const std::int32_t n = shape.n_indivs;
    const std::int32_t root = shape.root();
    if (root == 0) return {};
    const std::vector<double> height = levels ? node_heights(shape, *levels) : node_heights(shape);
    // Walked with an explicit stack: a tree of n individuals can be n levels deep.
    struct Task {
        std::int32_t id;
        bool close;  // write ")" and the node's label and length; else open the node
    };
    std::string text;
    std::vector<Task> tasks{{root, false}};
    std::vector<std::int32_t> parent(height.size(), 0);
    while (!tasks.empty()) {
        const Task t = tasks.back();
        tasks.pop_back();
        if (t.id == -1) {
            text += ',';
            continue;
        }
        if (t.id <= n) {
            text += leaf_labels[static_cast<std::size_t>(t.id - 1)];
        } else if (!t.close) {
            const Merge& m = merge_of(shape, t.id);
            parent[static_cast<std::size_t>(m.child1)] = t.id;
            parent[static_cast<std::size_t>(m.child2)] = t.id;
            text += '(';
            tasks.push_back({t.id, true});
            tasks.push_back({m.child2, false});
            tasks.push_back({-1, false});  // the comma between the children
            tasks.push_back({m.child1, false});
            continue;
        } else {
            const float level = merge_of(shape, t.id).level;
            text += ')';
            if (levels) {
                append_real(text, (*levels)[static_cast<std::size_t>(t.id - n - 1)]);
            } else if (style == Style::newick) {
                append_real(text, level);
            } else {
                text += "[&level=";
                append_real(text, level);
                text += ']';
            }
        }
        if (t.id != root) {
            text += ':';
            const auto id = static_cast<std::size_t>(t.id);
            append_real(text, height[static_cast<std::size_t>(parent[id])] - height[id]);
        }
    }
    return text;
}

std::vector<std::string> labels(const std::vector<std::string>& names, std::string (*quote)(std::string_view)) {
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const std::string& name : names) out.push_back(quote(name));
    return out;
}

}  // namespace

std::vector<double> node_heights(const TreeShape& shape) {
    const std::int32_t n = shape.n_indivs;
    std::vector<double> height(static_cast<std::size_t>(std::max(n, 0)) + shape.merges.size() + 1, 0.0);
    for (std::size_t s = 1; s <= shape.merges.size(); ++s) {
        const Merge& m = shape.merges[s - 1];
        const double h = 1.0 - std::clamp(shown_level(m.level), 0.0, 1.0);
        height[static_cast<std::size_t>(n) + s] =
            std::max({h, height[static_cast<std::size_t>(m.child1)], height[static_cast<std::size_t>(m.child2)]});
    }
    return height;
}

std::vector<double> node_heights(const TreeShape& shape, const std::vector<double>& levels) {
    assert(levels.size() == shape.merges.size());
    const std::int32_t n = shape.n_indivs;
    std::vector<double> height(static_cast<std::size_t>(std::max(n, 0)) + shape.merges.size() + 1, 0.0);
    for (std::size_t s = 1; s <= shape.merges.size(); ++s) {
        const Merge& m = shape.merges[s - 1];
        const double h = 1.0 - std::clamp(levels[s - 1], 0.0, 1.0);
        height[static_cast<std::size_t>(n) + s] =
            std::max({h, height[static_cast<std::size_t>(m.child1)], height[static_cast<std::size_t>(m.child2)]});
    }
    return height;
}

void print_tree_newick(std::ostream& out, const TreeShape& shape, const std::vector<std::string>& names) {
    assert(static_cast<std::int32_t>(names.size()) == shape.n_indivs);
    out << "[&R] " << tree_text(shape, labels(names, newick_label), Style::newick) << ";\n";
}

bool write_tree_newick(const std::string& path, const TreeShape& shape, const std::vector<std::string>& names,
                       Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { print_tree_newick(out, shape, names); });
}

void print_average_tree_newick(std::ostream& out, const AverageTree& tree, const std::vector<std::string>& names) {
    assert(static_cast<std::int32_t>(names.size()) == tree.shape.n_indivs);
    out << "[&R] " << tree_text(tree.shape, labels(names, newick_label), Style::newick, &tree.levels) << ";\n";
}

bool write_average_tree_newick(const std::string& path, const AverageTree& tree, const std::vector<std::string>& names,
                               Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { print_average_tree_newick(out, tree, names); });
}

void print_tree_nexus(std::ostream& out, const TreeShape& shape, const std::vector<std::string>& names) {
    assert(static_cast<std::int32_t>(names.size()) == shape.n_indivs);
    const std::vector<std::string> words = labels(names, nexus_word);
    std::string text = "#NEXUS\n\nBEGIN TAXA;\n\tDIMENSIONS NTAX=" + std::to_string(names.size()) + ";\n\tTAXLABELS\n";
    for (const std::string& w : words) text += "\t\t" + w + "\n";
    text += "\t;\nEND;\n\nBEGIN TREES;\n\tTRANSLATE\n";
    std::vector<std::string> numbers;
    numbers.reserve(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        numbers.push_back(std::to_string(i + 1));
        text += "\t\t" + numbers.back() + " " + words[i] + (i + 1 < words.size() ? ",\n" : "\n");
    }
    text += "\t;\n\tTREE clusters = [&R] " + tree_text(shape, numbers, Style::nexus) + ";\nEND;\n";
    out << text;
}

bool write_tree_nexus(const std::string& path, const TreeShape& shape, const std::vector<std::string>& names,
                      Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { print_tree_nexus(out, shape, names); });
}

void print_nodes_tsv(std::ostream& out, const TreeShape& shape, const std::vector<std::string>& names) {
    const std::int32_t n = shape.n_indivs;
    assert(static_cast<std::int32_t>(names.size()) == n);
    // Each name as an item of a CSV line.
    std::vector<std::string> items;
    items.reserve(names.size());
    for (const std::string& name : names) {
        if (name.find_first_of(",\"") == std::string::npos) {
            items.push_back(name);
            continue;
        }
        std::string q = "\"";
        for (const char c : name) {
            if (c == '"') q += '"';
            q += c;
        }
        items.push_back(q + "\"");
    }
    const std::vector<double> height = node_heights(shape);
    // Members of the active clusters, ascending; they partition the individuals, so keeping them costs
    // one entry per individual however the tree is shaped.
    std::vector<std::vector<std::int32_t>> members(height.size());
    for (std::int32_t i = 1; i <= n; ++i) members[static_cast<std::size_t>(i)] = {i};

    std::string text = "node\tstep\tlevel\theight\tsize\tmembers\n";
    std::string list;
    for (std::size_t s = 1; s <= shape.merges.size(); ++s) {
        const Merge& m = shape.merges[s - 1];
        const std::size_t id = static_cast<std::size_t>(n) + s;
        std::vector<std::int32_t>& a = members[static_cast<std::size_t>(m.child1)];
        std::vector<std::int32_t>& b = members[static_cast<std::size_t>(m.child2)];
        members[id].resize(a.size() + b.size());
        std::merge(a.begin(), a.end(), b.begin(), b.end(), members[id].begin());
        std::vector<std::int32_t>().swap(a);
        std::vector<std::int32_t>().swap(b);

        append_int(text, static_cast<std::int64_t>(id));
        text += '\t';
        append_int(text, static_cast<std::int64_t>(s));
        text += '\t';
        append_real(text, m.level);
        text += '\t';
        append_real(text, height[id]);
        text += '\t';
        append_int(text, static_cast<std::int64_t>(members[id].size()));
        text += '\t';
        list.clear();
        // A comma before every member but the first, also after a member whose name is empty.
        for (std::size_t j = 0; j < members[id].size(); ++j) {
            if (j > 0) list += ',';
            list += items[static_cast<std::size_t>(members[id][j] - 1)];
        }
        append_tsv_field(text, list);
        text += '\n';
        if (text.size() >= (1 << 20)) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

bool write_nodes_tsv(const std::string& path, const TreeShape& shape, const std::vector<std::string>& names,
                     Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { print_nodes_tsv(out, shape, names); });
}
