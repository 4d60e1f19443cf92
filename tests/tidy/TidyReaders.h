#pragma once

// Readers of the tidy files' exact layout, for reading them back in tests.

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace tidytest {

/// Rows of tab-separated text: every line must end with LF alone; a field wholly in double quotes loses
/// them and has its doubled quotes undone.
inline std::vector<std::vector<std::string>> read_tsv(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the last line has no LF";
    EXPECT_EQ(text.find('\r'), std::string_view::npos) << "a CR in the text";
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::vector<std::string> fields;
        for (;;) {
            const std::size_t tab = line.find('\t');
            std::string_view f = line.substr(0, tab);
            std::string field;
            if (f.size() >= 2 && f.front() == '"' && f.back() == '"') {
                for (std::size_t i = 1; i + 1 < f.size(); ++i) {
                    field += f[i];
                    if (f[i] == '"') ++i;
                }
            } else {
                field = f;
            }
            fields.push_back(field);
            if (tab == std::string_view::npos) break;
            line.remove_prefix(tab + 1);
        }
        rows.push_back(fields);
    }
    return rows;
}

/// A leaf of a Newick tree: its label (quotes undone) and its depth, the branch lengths from the root
/// added top-down (as ape does) and bottom-up (leaf first).
struct Leaf {
    std::string label;
    double down = 0;
    double up = 0;
};

/// The leaves of one rooted tree as tree.nwk writes it ("[&R] " ... ";" LF), left to right; comments are
/// skipped. `internal_labels`, when given, gets the labels of the internal nodes in preorder.
inline std::vector<Leaf> newick_leaves(std::string_view s, std::vector<std::string>* internal_labels = nullptr) {
    EXPECT_EQ(s.substr(0, 5), "[&R] ");
    EXPECT_EQ(s.substr(s.size() - 2), ";\n");
    struct Node {
        explicit Node(int p) : parent(p) {}
        int parent;
        std::string label;
        double length = 0;
        bool leaf = true;
    };
    std::vector<Node> nodes{Node(-1)};  // in preorder: a parent comes before its children
    int at = 0;
    for (std::size_t i = 5; i < s.size() && s[i] != ';';) {
        const char c = s[i];
        if (c == '(' || c == ',') {
            if (c == '(') nodes[static_cast<std::size_t>(at)].leaf = false;
            nodes.emplace_back(c == '(' ? at : nodes[static_cast<std::size_t>(at)].parent);
            at = static_cast<int>(nodes.size()) - 1;
            ++i;
        } else if (c == ')') {
            at = nodes[static_cast<std::size_t>(at)].parent;
            ++i;
        } else if (c == '[') {
            i = s.find(']', i) + 1;
        } else if (c == ':') {
            const auto res =
                std::from_chars(s.data() + i + 1, s.data() + s.size(), nodes[static_cast<std::size_t>(at)].length);
            EXPECT_EQ(res.ec, std::errc());
            i = static_cast<std::size_t>(res.ptr - s.data());
        } else if (c == '\'') {
            std::string& label = nodes[static_cast<std::size_t>(at)].label;
            for (++i; !(s[i] == '\'' && s[i + 1] != '\''); ++i) {
                if (s[i] == '\'') ++i;
                label += s[i];
            }
            ++i;
        } else {
            for (; std::string_view("(),:;[").find(s[i]) == std::string_view::npos; ++i)
                nodes[static_cast<std::size_t>(at)].label += s[i];
        }
    }
    std::vector<double> down(nodes.size(), 0.0);
    std::vector<Leaf> leaves;
    for (std::size_t v = 1; v < nodes.size(); ++v)
        down[v] = down[static_cast<std::size_t>(nodes[v].parent)] + nodes[v].length;
    for (std::size_t v = 0; v < nodes.size(); ++v) {
        if (!nodes[v].leaf) {
            if (internal_labels) internal_labels->push_back(nodes[v].label);
            continue;
        }
        Leaf leaf{nodes[v].label, down[v], 0.0};
        for (int u = static_cast<int>(v); u > 0; u = nodes[static_cast<std::size_t>(u)].parent)
            leaf.up += nodes[static_cast<std::size_t>(u)].length;
        leaves.push_back(leaf);
    }
    return leaves;
}

}  // namespace tidytest
