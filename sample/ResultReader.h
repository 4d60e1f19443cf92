#pragma once

#include "sample/LoadReport.h"
#include "sample/Mc_sample.h"
#include "sample/RunState.h"
#include "sample/TextCursor.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

class ClusteringCheck;

/// How records are judged.
struct ReadOptions {
    /// A record that is not a clustering of 1..n_indivs (ClusteringFaults) is a bad record, at which
    /// loading ends; otherwise it is read as listed and counted in the report.
    bool strict = false;
};

/// Most bytes a record of a run of n_indivs individuals may take, white space and text after its numbers
/// included: 64 for each number of the largest clustering (3 + 254 + n_indivs numbers), and 64 KiB.
/// A longer record makes the file "not text": no result file holds one, and reading it would have no
/// bound.
std::int64_t record_byte_limit(std::int32_t n_indivs);
/// Most bytes the first line and the six header numbers may take (1 MiB).
inline constexpr std::int64_t header_byte_limit = 1 << 20;

/// Reads a result file from its bytes, fed in pieces cut anywhere (inside a record, a number or a CR LF),
/// and gives exactly the store, side file and report that one read of the whole file gives. It keeps
/// only the record being read between pieces (never more than record_byte_limit bytes), so memory is
/// the store's and a growing file can be read on from where it stopped: feed what was added, and take the
/// new records with take_records().
///
/// What a record holds: its first line has a number (the iteration, unused), the log likelihood and k;
/// then k clusters, each its size m and its m members. Numbers are separated by any white space, so a
/// cluster may run over several lines; text after the last number a line needs is skipped. A record with
/// k = 1 stores every individual in cluster 1 whatever its line lists.
///
/// After a fatal fault or a bad record (LoadStop, fault_of) reading ends: later pieces are only counted.
/// After the declared n_obs records it goes on only to see whether anything but white space follows
/// (report().goes_on).
class ResultReader {
  public:
    /// `name` names the input in messages.
    explicit ResultReader(std::string name, ReadOptions options = {});
    /// Starts after the header, which is known: the first byte fed starts a record, on line `line` (from 1).
    /// For a file read from a record boundary, after `records_before` records read before: a stop's message
    /// counts those as well. With `inside_line`, the first byte fed is inside the last line of the record
    /// read before (the end of the file cut that line after the record's numbers): the rest of the line is
    /// skipped first, as that record's reading skips it. `after_cr`: the byte before the first is a carriage
    /// return, so that a line feed first ends no further line (line counts that line end already).
    ResultReader(std::string name, const RunHeader& header, int line, ReadOptions options = {},
                 std::int32_t records_before = 0, bool inside_line = false, bool after_cr = false);

    ResultReader(const ResultReader&) = delete;
    ResultReader& operator=(const ResultReader&) = delete;

    /// Where the side file's lines go (nullptr: nowhere): one per record whose first line was read (used,
    /// or the one that stopped loading), written at the end of each feed() and at finish(). Lines read
    /// before the output is set wait for it.
    void set_side_output(std::ostream* side);
    /// The input's size in bytes when known (0: unknown), to reserve the store at once (before any record
    /// is read).
    void set_size_hint(std::int64_t bytes);

    /// Reads the next `size` bytes of the input.
    void feed(const char* data, std::size_t size);
    void feed(std::string_view bytes) { feed(bytes.data(), bytes.size()); }
    /// The input has ended: reads what is left as the end of the file (a last number needs no white
    /// space after it there). Later feeds and finishes change nothing.
    void finish();

    bool header_read() const { return phase_ != Phase::header && header_ok_; }
    /// The header; valid once header_read().
    const RunHeader& header() const { return header_; }
    /// True once a fault ended reading or finish() was called.
    bool ended() const { return phase_ == Phase::ended; }
    /// How reading went so far; final after finish(). input.bytes counts the bytes fed; input.sha256 is
    /// left to the caller.
    const LoadReport& report() const { return report_; }
    /// Records read in full and stored (taken or not), from 0.
    std::int32_t records() const { return records_; }
    /// Bytes fed so far.
    std::int64_t bytes() const { return bytes_; }
    /// Offset (from the first byte fed) just after the last record read in full, or after the header: where
    /// a reader of the same file started at that record boundary would start, on line records_end_line().
    std::int64_t records_end() const { return offset_; }
    int records_end_line() const { return line_; }

    /// The records read since the last take, as a store of one run (n_indivs and Kmax of the header; empty
    /// before the header). Append them to the records taken before with MC_Sample::extend.
    MC_Sample take_records();

    /// Reads on with what `next` read: a reader of the same input, header and options, started (with the
    /// header given) on the byte where this one's fed bytes end, while its reading was under way. Takes its
    /// records, side lines and lines only when that is exactly what this reader would have read of those
    /// bytes: this one holds no unfinished record and the byte before is no carriage return, and `next`
    /// met nothing but clean records (no stop, no record that is not a clustering, no text past the
    /// declared records). Then this reader stands where `next`'s last whole record ends (records_end()
    /// there; feed on from bytes()), and `next`'s records and side lines are taken; else nothing changes and
    /// false is returned.
    /// For reading pieces of one file in parallel.
    bool continue_with(ResultReader& next);
    /// The records read and not yet taken.
    const MC_Sample& store() const { return store_; }

  private:
    enum class Phase { header, records, trailing, ended };
    enum class Outcome { complete, more, stopped };

    std::size_t parse(const char* begin, const char* end, bool final);
    bool parse_header(TextCursor& c, const char* begin);
    Outcome read_record(TextCursor& c, const char* end, bool final);
    Outcome read_clusters(TextCursor& c, std::uint8_t* row, std::int32_t k, ClusteringCheck& check, bool final);
    Outcome number_problem(TextCursor::Read r, TextCursor& c, int line, const std::string& what, bool final);
    void find_repeated(const char* begin, const char* end, std::int32_t k, ClusteringCheck& check) const;
    Outcome finish_record(TextCursor& c, const char* end, bool final, double log_likelihood, ClusteringCheck& check);
    void scan_trailing(const char* begin, const char* end);
    void begin_records();

    std::uint8_t* open_row(std::int32_t k);
    void drop_row();
    void side_line(double log_likelihood, std::int32_t k);
    void flush_side();

    void stop(LoadStop why, int line, const std::string& text, bool after_records = true);
    void fatal(LoadStop why, const std::string& text);
    Outcome too_long(int line);
    void out_of_memory();

    std::string name_;
    ReadOptions options_;
    std::ostream* side_ = nullptr;
    bool side_set_ = false;
    std::string side_buffer_;
    std::int64_t size_hint_ = 0;

    Phase phase_ = Phase::header;
    bool header_ok_ = false;
    RunHeader header_;
    std::int64_t record_limit_ = 0;
    MC_Sample store_;
    LoadReport report_;
    std::int32_t records_ = 0;
    std::int32_t records_before_ = 0;  // read by another reader before this one started
    bool inside_line_ = false;         // the rest of a record's last line comes first

    std::string pending_;      // the unfinished record (or header), from offset_
    std::int64_t offset_ = 0;  // of pending_[0]
    std::int64_t bytes_ = 0;
    int line_ = 1;           // line at offset_
    int first_line_ = 1;     // line of the first byte fed
    bool after_cr_ = false;  // the byte before offset_ is a carriage return
    char last_byte_ = '\n';  // of the input so far

    // The record being read: its first line was read (its side line is due) and where it starts.
    bool listed_ = false;
    double listed_ll_ = 0;
    std::int32_t listed_k_ = 0;
    const char* record_start_ = nullptr;
    int record_line_ = 0;
};
