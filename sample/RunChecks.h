#pragma once

#include "sample/LoadReport.h"
#include "sample/Mc_sample.h"
#include "sample/RunState.h"

#include <cstdint>
#include <string>
#include <vector>

/// Number of observations a burn-in keeps (MC_Sample::retained_ranges) whose k is above the store's Kmax.
/// The posterior of k, the pair counts and the tree leave these out.
std::int64_t count_above_Kmax(const MC_Sample& store, std::int32_t burn_in);

/// The sentence for count_above_Kmax: "3 of the 1,990 observations from the burn-in on have k above the
/// header's Kmax of 4; the posterior of k and the tree leave them out." Empty when `above` is 0.
std::string above_Kmax_text(std::int64_t above, std::int64_t retained, std::int32_t Kmax);

/// The sentence for a file that holds fewer observations than its header declares: "the file holds 1,015
/// of the 2,000 observations its header declares; the run may still be going or the file was cut".
/// Empty when stored >= declared.
std::string short_run_text(std::int64_t stored, std::int64_t declared);

/// The warnings about a run that loaded with fewer records than its header declares, as sentences (without
/// the file's name), in order: short_run_text; that the side file lists a last record that is not used
/// (report.last_listed_unused: "the trajectory file lists one observation more than was used: the last,
/// which was cut short"). Empty when neither applies.
std::vector<std::string> run_size_texts(const LoadReport& report, std::int64_t stored, std::int64_t declared);

/// The warning for a header whose U is 0 or below (or not a number): the prior of k is then no distribution
/// over 1..Kmax and the Bayes factor (0 for U = 0) means nothing. Empty when U > 0.
std::string header_U_text(const RunHeader& header);

/// v in decimal with a comma between groups of three digits: 1015 -> "1,015", -2000000 -> "-2,000,000".
std::string grouped_digits(std::int64_t v);
