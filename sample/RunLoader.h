#pragma once

#include "sample/ByteSource.h"
#include "sample/LoadReport.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/Progress.h"
#include "sample/ResultReader.h"
#include "sample/RunState.h"
#include "sample/Sha256.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

/// How a result file is loaded.
struct LoadOptions {
    /// A record that is not a clustering of 1..n_indivs is a bad record (ReadOptions::strict).
    bool strict = false;
    /// A bad record ends its run's loading and the records before it are used, with a warning (the
    /// window's way). False: a bad record fails the whole load (the batch tool's way without --keep-going).
    bool keep_going = true;
    /// Compute the SHA-256 of the input's bytes (LoadReport::input.sha256) as they are read, on the reading
    /// thread. Off unless asked for: hashing runs at about the speed of parsing, so it costs time whenever
    /// no second core is free (bench/load.sh measures both).
    bool digest = false;
    /// open_runs: put each run's side file in place when loading ends, unless it failed. False leaves them
    /// pending in OpenedRuns::side_files, for the caller to commit or discard.
    bool commit_side_files = true;
    /// Threads that parse a regular file (0: one per core it may run on). With more than one, a file holding at least
    /// two pieces of `piece_bytes` after its header is cut near record boundaries into pieces parsed at once, each
    /// piece taken as read only when the reading of the pieces before ends exactly where it starts and it held nothing
    /// but clean records; otherwise it is read again in order. Standard input, pipes and loads with the digest read in
    /// order. The store, side file and report never depend on these.
    int threads = 0;
    std::int64_t piece_bytes = std::int64_t{8} << 20;
};

/// Loads one result file ("-": standard input) in one pass over its bytes, in two steps so that the
/// headers of several runs can be checked before their records are read. The input is read in pieces
/// of 1 MiB into a few buffers that are reused, so memory is the store's and a few MiB.
class RunLoader {
  public:
    explicit RunLoader(std::string path, LoadOptions options = {});

    /// Opens the input and reads it until its header is read. False when loading cannot go on: the input
    /// cannot be opened or read, or its header is bad or not text; report() says which (a fatal stop).
    bool read_header();
    /// Reads the rest of the input into the store, the side file's lines to `side` (nullptr: none), then
    /// the input's end. After a bad record it reads on to the end only to count and hash the bytes, and
    /// only when options.keep_going (the records before are then used, so the digest is wanted).
    /// `progress` hears the bytes read of size_hint() (0 for a pipe) after each piece and may cancel:
    /// Cancelled then propagates and the store must be thrown away.
    void read_rest(std::ostream* side, const Progress* progress = nullptr);

    /// The header; valid after read_header() gave true.
    const RunHeader& header() const { return reader_.header(); }
    /// How loading went; complete after read_rest().
    const LoadReport& report() const { return report_; }
    /// The records read.
    MC_Sample take_store() { return reader_.take_records(); }
    std::int64_t size_hint() const { return source_.size_hint(); }
    /// The input's name in messages ("standard input" for "-").
    const std::string& name() const { return name_; }

  private:
    void update_report(bool at_end);
    /// Reads a regular file on from where the header ended in `parts` pieces at once, then leaves the
    /// sequential reading where the pieces ended; false when it cannot be moved there.
    bool read_in_parallel(int parts, const Progress* progress);
    bool read_range(ResultReader& reader, std::int64_t from, std::int64_t to, std::vector<char>& buffer,
                    const Progress* progress);

    std::string path_;
    std::string name_;
    LoadOptions options_;
    ByteSource source_;
    ResultReader reader_;
    Sha256 sha_;
    LoadReport report_;
};

/// Tells `notes` what a load reported, with `records` used and the run's n_indivs: the stop's message at
/// level error for a fatal fault and, unless `keep_going`, for a bad record (with the legacy texts
/// "FILE mc_datafile NOT found!" and "Nombre de parts > 255 !!!!"); as a warning an incomplete last
/// record, records that are not clusterings (clustering_faults_text) and text after the declared records
/// ("run.txt: the file goes on after the 2,000 records its header declares; what follows was not read.").
void report_load(const std::string& name, const LoadReport& report, std::int64_t records, std::int32_t n_indivs,
                 bool keep_going, Notices& notes);
