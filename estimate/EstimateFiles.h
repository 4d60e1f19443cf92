#pragma once

#include "estimate/Estimate.h"
#include "estimate/Membership.h"
#include "sample/Notices.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// The estimate's files: UTF-8, tab-separated, LF line ends, numbers in the C locale whatever the process
// locale. `names` gives individual i the name names[i - 1]; when empty, each individual's name is its
// number. The writers raise Exceptions before writing anything when `names` is neither empty nor one per
// individual, or when a name holds a tab, a line feed or a carriage return (the file could not be read
// back); the readers of names refuse such names, so this only guards against a caller's fault. A name
// holding a double quote is written between double quotes with each quote doubled (R and pandas undo it).

/// clustering.tsv: the header `individual name cluster within nearest_cluster nearest`, then a row per
/// individual 1..n in order. within and nearest in "%.6g" form; NA where undefined (NaN, or no nearest
/// cluster).
void write_clustering(std::ostream& out, const Estimate& estimate, const std::vector<std::string>& names);

/// estimate.txt: `key<TAB>value` lines `loss` (vi or binder), `expected_loss` ("%.9g"), `clusters`,
/// `credible_ball_radius_95` ("%.9g"), `draws` and `seed`, in that order.
void write_estimate_summary(std::ostream& out, const Estimate& estimate);

/// cut.tsv: the header `individual name cluster`, then a row per individual; cluster[i - 1] is the
/// cluster of individual i (as cut_tree gives it).
void write_cut(std::ostream& out, const std::vector<std::int32_t>& cluster, const std::vector<std::string>& names);

/// membership.tsv: the header `individual name cluster cluster_1 ... cluster_K` (K = membership.clusters),
/// then a row per individual 1..n in order: its number, name and cluster, then its segment of each cluster
/// 1..K (Membership::share) as the shortest text that reads back as the same double ("0", "1", "0.25",
/// "1e-05"). Raises Exceptions before writing anything when share does not hold n * K numbers.
void write_membership(std::ostream& out, const Membership& membership, const std::vector<std::string>& names);

/// The writers above to the file `path` through write_output_file: a file that cannot be written is
/// reported to `notes` and left as it was; true when the file is in place.
bool write_clustering_file(const std::string& path, const Estimate& estimate, const std::vector<std::string>& names,
                           Notices& notes);
bool write_estimate_file(const std::string& path, const Estimate& estimate, Notices& notes);
bool write_cut_file(const std::string& path, const std::vector<std::int32_t>& cluster,
                    const std::vector<std::string>& names, Notices& notes);
bool write_membership_file(const std::string& path, const Membership& membership, const std::vector<std::string>& names,
                           Notices& notes);
