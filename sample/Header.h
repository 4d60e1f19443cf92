#pragma once

#include "sample/Notices.h"
#include "sample/RunState.h"
#include "sample/TextCursor.h"

#include <string>

/// Largest number of individuals a run may have: tree node ids run up to 2 x n_indivs - 1 and are 16-bit.
inline constexpr int max_n_indivs = 16384;
/// Largest Kmax accepted from a header. A record holds at most 254 clusters; a larger Kmax only adds
/// empty lines to the posterior file, and an absurd one would fill the disk with them.
inline constexpr int max_header_kmax = 100000;

enum class HeaderStatus { ok, not_found, invalid };

/// How reading a header went: read; runs past the end of a piece that more text may follow (read it again
/// from the start with more text); a value missing, not a number or out of range; a NUL byte, so the input
/// is not text.
enum class HeaderRead { ok, more, invalid, not_text };

/// Reads the header at `cursor`: skips the first line whole (it ends at LF, CR LF or a lone CR), then
/// reads n_indivs, Kmax, n_obs, period (32-bit integers) and U, Theta (reals), separated by any white
/// space. Leaves the cursor right after Theta. Unless ok, `why` is a sentence naming the value (or the
/// NUL byte) and its line; after `more` it is empty.
HeaderRead read_header(TextCursor& cursor, RunHeader& header, std::string& why);

/// read_header on a whole text: true when it gives ok.
bool parse_header(TextCursor& cursor, RunHeader& header, std::string& why);

/// Checks that the header describes a run this program can load: n_indivs in 1..16384, Kmax in
/// 1..100000, n_obs at least 0. On failure `why` names the value.
bool check_header(const RunHeader& header, std::string& why);

/// Reads the header of the result file `path` into `header`, reading no further into the file than the
/// header. When the file cannot be read, reports "FILE mc_datafile NOT found!"; when a value is bad,
/// reports which. `header` changes only on success. Loading (RunLoader) reads the header again: for a
/// FIFO or standard input, which can be read once, load with RunLoader alone.
HeaderStatus read_result_header(const std::string& path, RunHeader& header, Notices& notes);

/// As above, storing the six values into `run` on success.
HeaderStatus read_result_header(const std::string& path, RunState& run, Notices& notes);
