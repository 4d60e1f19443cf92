#pragma once

// Following a result file while the sampler writes it: each poll reads only what was added since the last
// one, leaves a record still being written for the next poll, and notices a file that shrank, was replaced
// by another or had its header rewritten (the run was restarted), which it reads again from the start.

#include "sample/Mc_sample.h"
#include "sample/ResultReader.h"
#include "sample/RunState.h"

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

/// Where a run loaded before stands, so that following it goes on from there.
struct FollowStart {
    RunHeader header;
    std::int64_t offset = 0;   ///< just after the last record read in full (LoadReport::records_end)
    int line = 1;              ///< the line there (LoadReport::records_end_line)
    std::int32_t records = 0;  ///< records stored
    /// The side file already lists the record being written (its first line was read): its line is not
    /// written again (LoadReport::last_listed_unused).
    bool listed = false;
};

/// What one poll found.
struct FollowUpdate {
    enum class Kind {
        unchanged,  ///< nothing new (a record still being written does not count)
        grew,       ///< new records, in `records`
        restarted,  ///< the file was read again from the start (see `note`): `records` holds every record
        waiting,    ///< the file is not there (yet): `note` says so
        complete,   ///< the run holds its declared records (any new ones in `records`); it is not polled again
        /// A bad record, a fatal fault or a file that cannot be read: `note` is the message; the records
        /// before it are in `records`. The run is not polled again.
        stopped,
    } kind = Kind::unchanged;
    MC_Sample records;  ///< a store of one run: the records read by this poll
    /// The file was read again from its start (`note` says why): `records` holds every record it has, to
    /// take the place of those read before; the kind is restarted, or complete or stopped when the file read
    /// again is so.
    bool from_start = false;
    /// The side file's lines of those records (restarted: the whole side file), CR LF each; only lines of
    /// records whose first line was read, each once, so a side file appended with them stays a prefix of the
    /// one a full read writes.
    std::string side_lines;
    std::string note;
};

/// Follows one result file. Not thread-safe: one thread polls it at a time.
class RunFollower {
  public:
    /// Follows `path` from its start; the file need not be there yet.
    explicit RunFollower(std::string path, ReadOptions options = {});
    /// Follows `path`, of which `start.records` records were read before. When no record was and the load
    /// ended right after the header's last number (no white space after it), the first poll reads the file
    /// again from its start (from_start), as that number may have been cut.
    RunFollower(std::string path, const FollowStart& start, ReadOptions options = {});
    ~RunFollower();
    RunFollower(const RunFollower&) = delete;
    RunFollower& operator=(const RunFollower&) = delete;

    /// Reads what the file holds beyond what was read before.
    FollowUpdate poll();
    /// Records read in full so far (since the start of the file).
    std::int32_t records() const { return before_ + (reader_ ? reader_->records() : 0); }
    /// The run's header; valid once records() > 0 or a poll read the header.
    const RunHeader& header() const { return header_; }
    bool complete() const { return complete_; }
    const std::string& path() const { return path_; }

  private:
    struct Identity;
    FollowUpdate restart(const std::string& why);
    /// Feeds the bytes of the file from where the reader is to `size`; false (and `why`) when reading failed.
    bool read_to(std::int64_t size, std::string& why);
    void take(FollowUpdate& update);
    bool same_start(std::string& why) const;

    std::string path_;
    ReadOptions options_;
    std::unique_ptr<ResultReader> reader_;
    std::unique_ptr<Identity> identity_;
    std::unique_ptr<std::ostringstream> side_;
    RunHeader header_;
    std::int64_t base_ = 0;    ///< the file offset of the reader's first byte
    std::int32_t before_ = 0;  ///< records read before the reader started
    bool skip_side_line_ = false;
    bool reread_ = false;  ///< the first poll reads the file again from its start (restart)
    bool complete_ = false;
    /// The first bytes of the file as first read, to tell a rewritten file by.
    std::string start_bytes_;
};
