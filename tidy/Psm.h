#pragma once

#include "coassign/Marginal.h"
#include "sample/Notices.h"
#include "sample/Progress.h"

#include <iosfwd>
#include <string>
#include <vector>

/// Writes psm.tsv, the full symmetric co-assignment matrix of the pair counts `marginal` makes for
/// k_list (the draws of the pairwise file): a header row "individual" and the names, then a row per
/// individual i = 1..n: names[i - 1] and the probability of (i, j) for j = 1..n in "%.6g" form (C
/// locale), 1 on the diagonal. n is names.size(), at most the n_indivs the Marginal was filled for; the
/// Marginal must count something for k_list. Names are TSV fields (tidy/TidyText.h).
///
/// Rows are formatted a block at a time (about 1 MB of text). With threads >= 2, threads - 1 workers
/// format blocks while the calling thread writes the blocks before them, in order; with 1 the calling
/// thread does both. The text does not depend on it. An exception from a worker reaches the caller.
/// One thread is the default: on a shared two-core machine (tidy_bench) workers made the file no faster,
/// formatting (a few nanoseconds a cell) and writing taking turns for the same cores.
///
/// `progress`, when given, hears the rows written (of n) after each block and stops the writing with
/// Cancelled when cancel is raised (the file is then left as it was).
void print_psm_tsv(std::ostream& out, const Marginal& marginal, const KList& k_list,
                   const std::vector<std::string>& names, int threads = 1, const Progress* progress = nullptr);
bool write_psm_tsv(const std::string& path, const Marginal& marginal, const KList& k_list,
                   const std::vector<std::string>& names, Notices& notes, int threads = 1,
                   const Progress* progress = nullptr);
