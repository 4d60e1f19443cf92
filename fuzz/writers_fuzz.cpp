// The tidy writers and the HTML report with arbitrary names.
//
// Input: the number of individuals (1..12), each name as a length byte and its bytes, then the bytes the
// values are drawn from (clusters, doubts, shares, the tree's merges and levels).
//
// Properties: the HTML report writes every name, title and path escaped, so no marker character placed in
// them reaches the page raw. Names holding a tab or a line end are refused by the estimate's writers with
// Exceptions; any other names come back from clustering.tsv, cut.tsv and membership.tsv (read as R and
// pandas read them) with their numbers, and from the names reader when it takes them as a list; the tree's
// leaves come back from tree.nwk in the tree's order, on branch lengths that add up exactly to the root's
// height, from tree.nex's TAXLABELS, and from nodes.tsv's member lists as each node's members.

#include "estimate/EstimateFiles.h"
#include "report/ReportContent.h"
#include "sample/Exceptions.h"
#include "tidy/Names.h"
#include "tidy/TreeExport.h"
#include "writers_fuzz_reading.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace fuzz_reading;

/// Reads the input a byte at a time; 0 once it is used up.
struct Bytes {
    const std::uint8_t* at;
    const std::uint8_t* end;
    std::uint8_t next() { return at < end ? *at++ : 0; }
};

/// Markers put in every outside text: none may reach the page unescaped.
const char* const raw_markers[] = {"~<~", "~&~", "~>~", "~\"~", "~'~"};
const std::string marker = "~<~&~>~\"~'~";

void report(const std::vector<std::string>& names, Bytes& in) {
    ReportFacts f;
    f.run_name = names[0] + marker;
    f.n_indivs = static_cast<std::int32_t>(names.size());
    for (const std::string& name : names) f.names.push_back(name + marker);
    Estimate e;
    for (std::size_t i = 0; i < names.size(); ++i) {
        e.cluster.push_back(1 + in.next() % 3);
        e.clusters = std::max(e.clusters, e.cluster.back());
        e.doubt.push_back({in.next() / 255.0, static_cast<std::int32_t>(in.next() % 3), in.next() / 255.0 - 0.5});
    }
    e.draws = 10;
    f.estimate = e;
    f.provenance.version = "0";
    f.provenance.settings = {{"names", names.back() + marker}};
    f.provenance.inputs = {{names[0] + marker, 1, 1, ""}};
    const ReportInput page = report_content(f, {});
    std::ostringstream html;
    write_report_html(html, page);
    const std::string text = html.str();
    for (const char* raw : raw_markers) check(text.find(raw) == std::string::npos);
}

void clustering(const std::vector<std::string>& names, Bytes& in) {
    const std::size_t n = names.size();
    Estimate e;
    for (std::size_t i = 0; i < n; ++i) {
        e.cluster.push_back(1 + in.next() % 4);
        const std::uint8_t w = in.next();
        const auto nearest = static_cast<std::int32_t>(in.next() % 4);
        e.doubt.push_back({w == 255 ? NAN : w / 254.0, nearest, nearest == 0 ? NAN : in.next() / 253.0});
    }
    std::ostringstream out;
    write_clustering(out, e, names);
    const Table t = read_tsv(out.str());
    check(t.size() == n + 1 && t[0] == Row{"individual", "name", "cluster", "within", "nearest_cluster", "nearest"});
    for (std::size_t i = 0; i < n; ++i) {
        const Row& r = t[i + 1];
        const IndividualDoubt& d = e.doubt[i];
        check(r.size() == 6 && r[0] == std::to_string(i + 1) && r[1] == names[i]);
        check(r[2] == std::to_string(e.cluster[i]));
        check(same_6g(r[3], d.within));
        check(r[4] == (d.nearest_cluster == 0 ? "NA" : std::to_string(d.nearest_cluster)));
        check(same_6g(r[5], d.nearest_cluster == 0 ? NAN : d.nearest));
    }
    // What the names reader takes as a list, it takes back from the file's `name` column.
    std::string list;
    for (const std::string& name : names) list += name + "\n";
    const auto n_indivs = static_cast<std::int32_t>(n);
    if (!read_names(list, "list", n_indivs).ok()) return;
    const NamesFile back = read_names(out.str(), "clustering.tsv", n_indivs);
    check(back.ok() && back.names == names);
}

void cut_and_membership(const std::vector<std::string>& names, Bytes& in) {
    const std::size_t n = names.size();
    Membership m;
    m.clusters = 1 + in.next() % 3;
    for (std::size_t i = 0; i < n; ++i) {
        m.cluster.push_back(1 + in.next() % m.clusters);
        for (std::int32_t c = 0; c < m.clusters; ++c) m.share.push_back(in.next() / (1.0 + in.next()));
    }
    std::ostringstream cut;
    write_cut(cut, m.cluster, names);
    const Table c = read_tsv(cut.str());
    check(c.size() == n + 1 && c[0] == Row{"individual", "name", "cluster"});
    for (std::size_t i = 0; i < n; ++i)
        check(c[i + 1] == Row{std::to_string(i + 1), names[i], std::to_string(m.cluster[i])});

    std::ostringstream out;
    write_membership(out, m, names);
    const Table t = read_tsv(out.str());
    check(t.size() == n + 1 && t[0].size() == 3 + static_cast<std::size_t>(m.clusters));
    for (std::size_t i = 0; i < n; ++i) {
        const Row& r = t[i + 1];
        check(r.size() == t[0].size() && r[0] == std::to_string(i + 1) && r[1] == names[i]);
        check(r[2] == std::to_string(m.cluster[i]));
        for (std::int32_t k = 0; k < m.clusters; ++k)
            check(std::strtod(r[3 + static_cast<std::size_t>(k)].c_str(), nullptr) ==
                  m.segment(static_cast<std::int32_t>(i) + 1, k + 1));
    }
}

/// A tree over the names' individuals: each step joins two clusters still apart, chosen by the input, at a
/// level from the input (any order of levels: the writers raise heights where needed).
TreeShape tree_of(std::int32_t n, Bytes& in) {
    TreeShape shape{n, {}};
    std::vector<std::int32_t> active;
    for (std::int32_t i = 1; i <= n; ++i) active.push_back(i);
    for (std::int32_t s = 1; s < n; ++s) {
        const std::size_t a = in.next() % active.size();
        const std::int32_t first = active[a];
        active.erase(active.begin() + static_cast<std::ptrdiff_t>(a));
        const std::size_t b = in.next() % active.size();
        const std::int32_t second = active[b];
        active[b] = n + s;
        shape.merges.push_back({first, second, static_cast<float>(in.next() / 255.0)});
    }
    return shape;
}

void trees(const std::vector<std::string>& names, Bytes& in) {
    const auto n = static_cast<std::int32_t>(names.size());
    const TreeShape shape = tree_of(n, in);
    std::ostringstream newick;
    print_tree_newick(newick, shape, names);
    const NewickLeaves leaves = read_newick(newick.str());
    std::vector<std::string> in_order;
    for (const std::int32_t i : shape.leaf_order()) in_order.push_back(names[static_cast<std::size_t>(i) - 1]);
    check(leaves.names == in_order);
    for (const double depth : leaves.depths) check(depth == leaves.depths[0]);

    std::ostringstream nexus;
    print_tree_nexus(nexus, shape, names);
    check(read_taxlabels(nexus.str()) == names);

    std::ostringstream nodes;
    print_nodes_tsv(nodes, shape, names);
    const Table t = read_tsv(nodes.str());
    check(t.size() == static_cast<std::size_t>(n));
    for (std::int32_t s = 1; s < n; ++s) {
        const Row& r = t[static_cast<std::size_t>(s)];
        check(r.size() == 6);
        std::vector<std::string> members;
        for (const std::int32_t i : shape.members(n + s)) members.push_back(names[static_cast<std::size_t>(i) - 1]);
        check(r[4] == std::to_string(members.size()) && read_csv_line(r[5]) == members);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in{data, data + size};
    const std::size_t n = 1 + in.next() % 12;
    std::vector<std::string> names(n);
    for (std::string& name : names) {
        const std::size_t length = in.next() % 24;
        for (std::size_t i = 0; i < length; ++i) name += static_cast<char>(in.next());
    }
    report(names, in);
    bool plain = true;
    for (const std::string& name : names) plain = plain && name.find_first_of("\t\r\n") == std::string::npos;
    if (!plain) {
        bool refused = false;
        try {
            std::ostringstream out;
            write_cut(out, std::vector<std::int32_t>(n, 1), names);
        } catch (const Exceptions&) {
            refused = true;
        }
        check(refused);
        return 0;
    }
    clustering(names, in);
    cut_and_membership(names, in);
    trees(names, in);
    return 0;
}
