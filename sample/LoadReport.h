#pragma once

#include <cstdint>
#include <string>

/// Why loading a result file ended before the declared number of records, in three classes (fault_of):
/// a fatal fault (nothing of the file is used), a bad record (the records before it are used, or the
/// whole load fails, as the caller chooses) and an incomplete last record (not a fault).
enum class LoadStop {
    none,            ///< every declared record was read, or the file ended cleanly between records
    not_found,       ///< fatal: the result file could not be opened or read
    bad_header,      ///< fatal: the header is malformed
    k_too_large,     ///< bad record: k of 255 or more
    k_too_small,     ///< bad record: k below 1
    cut_short,       ///< incomplete: the file ends inside the last record, or inside its last number
    malformed,       ///< bad record: a token that is not a number, or a number out of range
    not_text,        ///< fatal: a NUL byte, or a record longer than any record of the run can be
    changed,         ///< fatal: the file shrank while it was read
    no_memory,       ///< fatal: the store did not fit in memory
    bad_individual,  ///< bad record: an individual outside 1..n_indivs
    not_clustering,  ///< bad record (strict reading only): a record that is not a clustering of 1..n_indivs
};

/// The class of a stop.
enum class LoadFault { none, fatal, bad_record, incomplete };
LoadFault fault_of(LoadStop stop);

/// Records that are not clusterings of individuals 1..n_indivs: an individual in no cluster or in two, a
/// cluster whose line lists more individuals than it declares, or a record with k = 1 whose cluster does not
/// declare n_indivs individuals. (An empty cluster is not one: a sampler's k may count a label left empty.) They are
/// read as listed (an individual listed twice keeps its last cluster; unlisted individuals share cluster 0).
struct ClusteringFaults {
    std::int64_t records = 0;   ///< records affected (among those used, and the one that stopped a strict load)
    int first_line = 0;         ///< line of the first such record (its first line)
    std::string first_problem;  ///< what is wrong with it: "individuals 3 and 4 are in no cluster"
};

/// What was read of the input, computed from its bytes as they were read.
struct InputDigest {
    std::int64_t bytes = 0;  ///< bytes read
    std::string sha256;      ///< SHA-256 of those bytes, 64 lower-case hexadecimal digits ("" when not asked for)
    bool whole = false;      ///< the input was read to its end (else loading stopped first and the digest is of a part)
};

/// What loading a result file did, beyond the store's contents.
struct LoadReport {
    LoadStop stop = LoadStop::none;
    int line = 0;  ///< line of the problem, when there is one
    /// The side file is in place, one line per record read; false when it could not be written (reported)
    /// or none was asked for.
    bool side_file_written = false;
    /// The sentence for the stop, naming the file and the line ("" for none).
    std::string message;
    /// The side file lists a last record that is not stored (cut short after its first line was read).
    bool last_listed_unused = false;
    /// Something other than white space follows the declared records (more records than declared); it is
    /// not read.
    bool goes_on = false;
    ClusteringFaults not_clusterings;
    InputDigest input;
    /// Where the last record read in full ends in the input (bytes from its start) and the line there: where
    /// following the file goes on (RunFollower).
    std::int64_t records_end = 0;
    int records_end_line = 1;
};
