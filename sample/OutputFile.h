#pragma once

#include "sample/Notices.h"

#include <fstream>
#include <functional>
#include <iosfwd>
#include <string>

/// An output file that replaces its target only when complete: the text goes to a new file beside the
/// target (temporary_name_for), which `commit` renames over it. A file left uncommitted is removed, so a
/// failure part-way never leaves a half-written file where a good one was. Written in binary mode: "\r\n"
/// stays as is. Only a regular file is ever replaced: a name that is a folder, a device, a FIFO or a socket
/// is refused, and so is a read-only file; a symbolic link is written through (its target is replaced, the
/// link stays), and the new file keeps the old one's permissions.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Creates the temporary file beside `path` (beside its target, for a symbolic link). False when that
    /// fails or `path` must not be replaced; `error()` says why.
    bool open(const std::string& path);
    bool is_open() const { return stream_.is_open(); }
    std::ostream& stream() { return stream_; }

    /// Flushes, closes and renames the file into place. False when anything failed; the target is
    /// then unchanged and `error()` says why.
    bool commit();
    /// Drops the temporary file; the target is unchanged.
    void discard();
    const std::string& error() const { return error_; }

  private:
    std::string target_;
    std::string temp_;
    std::ofstream stream_;
    std::string error_;
};

/// Writes the file `path` through `writer` with an OutputFile. When it cannot be opened, reports the
/// legacy text "Impossible to open outfile! " followed by `writer_name` (no legacy text when the name is
/// empty); when it cannot be completed (a full disk, say), reports that; both at level error. Returns true
/// when the file is in place.
bool write_output_file(const std::string& path, const std::string& writer_name, Notices& notes,
                       const std::function<void(std::ostream&)>& writer);

/// Removes the output file `path` (through a symbolic link, its target) when it is a regular file; anything
/// else is left alone. True when a file was removed.
bool remove_output_file(const std::string& path);
