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

/// Reads one rooted Newick tree as tree.nwk writes it ("[&R] " ... ";" LF), comments skipped.
class NewickReader {
  public:
    explicit NewickReader(std::string_view text) : s_(text) {
        EXPECT_EQ(s_.substr(0, 5), "[&R] ");
        pos_ = 5;
        const int root = parse_node();
        EXPECT_EQ(s_.substr(pos_), ";\n");
        std::vector<double> path;
        collect(root, 0.0, path);
    }
    std::vector<Leaf> leaves;                  // left to right
    std::vector<std::string> internal_labels;  // in preorder

  private:
    struct Node {
        std::string label;
        double length = 0;
        std::vector<int> children;
    };

    int parse_node() {
        const int id = static_cast<int>(nodes_.size());
        nodes_.emplace_back();
        if (peek() == '(') {
            do {
                ++pos_;
                const int c = parse_node();
                nodes_[static_cast<std::size_t>(id)].children.push_back(c);
            } while (peek() == ',');
            EXPECT_EQ(peek(), ')');
            ++pos_;
        }
        nodes_[static_cast<std::size_t>(id)].label = label();
        if (peek() == ':') {
            ++pos_;
            nodes_[static_cast<std::size_t>(id)].length = number();
        }
        return id;
    }
    void collect(int id, double down, std::vector<double>& path) {
        const Node& n = nodes_[static_cast<std::size_t>(id)];
        if (n.children.empty()) {
            Leaf leaf{n.label, down, 0.0};
            for (auto it = path.rbegin(); it != path.rend(); ++it) leaf.up += *it;
            leaves.push_back(leaf);
            return;
        }
        internal_labels.push_back(n.label);
        for (const int c : n.children) {
            const double len = nodes_[static_cast<std::size_t>(c)].length;
            path.push_back(len);
            collect(c, down + len, path);
            path.pop_back();
        }
    }
    char peek() {
        while (pos_ < s_.size() && s_[pos_] == '[') pos_ = s_.find(']', pos_) + 1;
        return pos_ < s_.size() ? s_[pos_] : '\0';
    }
    std::string label() {
        std::string out;
        if (peek() != '\'') {
            while (pos_ < s_.size() && std::string_view("(),:;[").find(s_[pos_]) == std::string_view::npos)
                out += s_[pos_++];
            return out;
        }
        for (++pos_; pos_ < s_.size(); ++pos_) {
            if (s_[pos_] == '\'' && (pos_ + 1 == s_.size() || s_[pos_ + 1] != '\'')) break;
            if (s_[pos_] == '\'') ++pos_;
            out += s_[pos_];
        }
        ++pos_;
        return out;
    }
    double number() {
        double v = 0;
        const auto res = std::from_chars(s_.data() + pos_, s_.data() + s_.size(), v);
        EXPECT_EQ(res.ec, std::errc());
        pos_ = static_cast<std::size_t>(res.ptr - s_.data());
        return v;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::vector<Node> nodes_;
};

}  // namespace tidytest
