#pragma once

// A record, kept in an output folder, of the optional files the window wrote there (the files beyond the
// legacy set: the tidy tables and trees, the estimate and the cut), saying for which runs and settings
// each was written and holding its checksum. When other runs are opened the files left from the runs
// before, still as they were written, are taken away, and nothing else is: a file changed since (by the
// user, or by another program) stays.

#include "outputs/OutputSet.h"
#include "sample/Notices.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

/// The record's name in the output folder.
inline constexpr const char* written_record_name = ".velmora-written.tsv";

/// One file the window wrote into the folder.
struct WrittenFile {
    std::string name;         ///< its name in the folder
    std::uint64_t bytes = 0;  ///< its size
    std::string checksum;     ///< 64-bit FNV-1a of its bytes, 16 lower-case hexadecimal digits
    std::string runs;         ///< the result files it was made from, separated by "; "
    std::string settings;     ///< what else it depends on, e.g. "burn-in 100; k 1 to 20; loss vi; seed 1"
    std::string written;      ///< when, in UTC: "2026-03-01T12:00:00Z"
};

/// Whether the window records a file of this name: one of output_files() outside the legacy set.
bool is_recorded_output(const std::string& name);
/// The files of `moment` that the window records, in the order output_files() lists them.
std::vector<std::string> recorded_outputs(OutputMoment moment);

/// Size and checksum (as in WrittenFile) of the file `path`; empty when it cannot be read.
std::optional<std::pair<std::uint64_t, std::string>> file_checksum(const std::string& path);

/// The time now in UTC, as WrittenFile::written has it.
std::string utc_now_text();

/// Entries for the files `names` of `folder` as they are now, each with `runs`, `settings` and the time
/// now; a file that cannot be read is left out.
std::vector<WrittenFile> describe_written(const std::string& folder, const std::vector<std::string>& names,
                                          const std::string& runs, const std::string& settings);

/// The record as text: the header "file\tbytes\tchecksum\truns\tsettings\twritten", then a line per file
/// (LF). Tabs and line ends inside a field are written as spaces.
void print_written_record(std::ostream& out, const std::vector<WrittenFile>& files);
/// Reads what print_written_record wrote; lines that are not six fields with a whole number of bytes are
/// skipped, and so is the header.
std::vector<WrittenFile> parse_written_record(std::istream& in);

/// The record of `folder` ("" or ".": the working folder); empty when there is none.
std::vector<WrittenFile> read_written_record(const std::string& folder);
/// Writes the record of `folder`, or removes it when `files` is empty. A failure is reported to `notes`.
bool write_written_record(const std::string& folder, const std::vector<WrittenFile>& files, Notices& notes);

/// `record` with `added`: an entry of a name already there is replaced where it stands, the others are
/// appended in their order.
std::vector<WrittenFile> with_written(std::vector<WrittenFile> record, const std::vector<WrittenFile>& added);
/// `record` without the entries that `gone` lists (same name and checksum).
std::vector<WrittenFile> without_written(std::vector<WrittenFile> record, const std::vector<WrittenFile>& gone);

/// Adds `added` to the record of `folder` (with_written), or takes `gone` out of it (without_written): the
/// record is read and written again under a lock that every call in this process shares, so that workers
/// and the window may record at the same time. False when the record could not be written (reported).
bool add_to_written_record(const std::string& folder, const std::vector<WrittenFile>& added, Notices& notes);
bool take_from_written_record(const std::string& folder, const std::vector<WrittenFile>& gone, Notices& notes);

/// What an open of other runs does to `folder`: every file its record lists that is still as written is
/// removed (remove_unchanged), and every entry read leaves the record (a file changed since is no longer
/// the window's). Returns the names removed.
std::vector<std::string> clear_written(const std::string& folder);

/// A file's size and last write time when it was looked at.
using FileStamp = std::pair<std::uintmax_t, std::filesystem::file_time_type>;

/// clear_written in two steps, for an open that may still be cancelled after the slow part: check_written
/// reads the record and checksums its files (removing nothing); clear_checked, once the open is accepted,
/// removes each file found unchanged whose size and time are still those it had then, and takes every
/// entry read out of the record. Returns the names removed.
struct WrittenCheck {
    std::vector<WrittenFile> entries;    ///< every entry of the record
    std::vector<WrittenFile> unchanged;  ///< the entries whose file was still as written
    std::vector<FileStamp> stamps;       ///< each unchanged file's stamp when it was checked
};
WrittenCheck check_written(const std::string& folder);
std::vector<std::string> clear_checked(const std::string& folder, const WrittenCheck& check);

/// Removes from `folder` each file of `entries` that is still as recorded: same size and checksum, and not
/// changed while it was being read. A file changed since, missing or unreadable is left alone. Returns the
/// names removed, in the order of `entries`.
std::vector<std::string> remove_unchanged(const std::string& folder, const std::vector<WrittenFile>& entries);
