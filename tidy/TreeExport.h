#pragma once

#include "sample/Notices.h"
#include "tree/AverageLinkage.h"
#include "tree/TreeShape.h"

#include <iosfwd>
#include <string>
#include <vector>

// The tree of clusters for other programs: Newick, NEXUS and a table of its internal nodes. Leaves carry
// the individuals' names (names[i - 1] names individual i; names.size() is the tree's n_indivs).

/// Height of every node, by id (index 0 unused): leaves 0, the node of merge step s (id n_indivs + s)
/// 1 - level, the level read as the decimal its float shows (0.6666667f gives 1 - 0.6666667) and kept to
/// [0, 1]; a node is raised to its children's heights should a level exceed one of theirs. For x in
/// [0, 1], 1 - x in double arithmetic is a multiple of 2^-53, so every height lies on that grid in
/// [0, 1] and so do the differences of heights and their sums along any path: the branch lengths written
/// below add up to exactly the root's height on every path from the root to a leaf, whatever order a
/// reader adds them in.
std::vector<double> node_heights(const TreeShape& shape);

/// Writes tree.nwk: "[&R] " then the rooted tree in Newick and ";" LF. A leaf is its name as a Newick
/// label (tidy/TidyText.h newick_label); an internal node "(" child1 "," child2 ")" followed by its level
/// (shortest text of the float); every node but the root then ":" and its branch length, the parent's
/// height minus its own. One individual gives "[&R] NAME;".
void print_tree_newick(std::ostream& out, const TreeShape& shape, const std::vector<std::string>& names);
bool write_tree_newick(const std::string& path, const TreeShape& shape, const std::vector<std::string>& names,
                       Notices& notes);

/// Heights as above from levels given in full: levels[s - 1] (a double, as AverageTree::levels holds) for
/// the node of merge step s, height 1 - level kept to [0, 1] and raised to its children's heights should a
/// level exceed one of theirs (never for average linkage). The same grid argument holds: the tree written
/// from them is exactly ultrametric.
std::vector<double> node_heights(const TreeShape& shape, const std::vector<double>& levels);

/// Writes tree_average.nwk: the average-linkage tree as tree.nwk writes a tree ("[&R] ", leaves named by
/// newick_label, ";" LF), but each internal node is labelled with its level in full (shortest text of the
/// double in tree.levels) and heights are 1 - that level, so branch lengths are exact to the double.
/// One individual gives "[&R] NAME;".
void print_average_tree_newick(std::ostream& out, const AverageTree& tree, const std::vector<std::string>& names);
bool write_average_tree_newick(const std::string& path, const AverageTree& tree, const std::vector<std::string>& names,
                               Notices& notes);

/// Writes tree.nex: "#NEXUS", a TAXA block listing the names, and a TREES block whose TRANSLATE table maps
/// 1..n to the names (one entry a line), then "TREE clusters = [&R] " and the tree as in tree.nwk, with
/// the leaves given by number and each internal node's level as a "[&level=...]" comment in place of its
/// label. Names are NEXUS words (tidy/TidyText.h nexus_word).
void print_tree_nexus(std::ostream& out, const TreeShape& shape, const std::vector<std::string>& names);
bool write_tree_nexus(const std::string& path, const TreeShape& shape, const std::vector<std::string>& names,
                      Notices& notes);

/// Writes nodes.tsv: "node\tstep\tlevel\theight\tsize\tmembers", then a row per internal node in merge
/// order: its id (n_indivs + step), the step (1..n_indivs - 1), the level (shortest text of the float),
/// the height (node_heights), the number of members and the members' names by ascending individual,
/// separated by commas. A name holding a comma or a double quote is put in double quotes with inner
/// quotes doubled, so the members read as one line of CSV; the field as a whole is then a TSV field
/// (tidy/TidyText.h append_tsv_field) and reaches read.delim or pandas as that CSV line.
void print_nodes_tsv(std::ostream& out, const TreeShape& shape, const std::vector<std::string>& names);
bool write_nodes_tsv(const std::string& path, const TreeShape& shape, const std::vector<std::string>& names,
                     Notices& notes);
