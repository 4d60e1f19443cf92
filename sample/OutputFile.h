#pragma once

#include "sample/Notices.h"

#include <fstream>
#include <functional>
#include <iosfwd>
#include <string>

/// An output file that replaces its target only when complete: the text goes to a new file beside the
/// target, which `commit` renames over it. A file left uncommitted is removed, so a failure part-way
/// never leaves a half-written file where a good one was. Written in binary mode: "\r\n" stays as is.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Creates the temporary file beside `path`. False when that fails; `error()` says why.
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
/// empty); when it cannot be completed
/// (a full disk, say), reports that. Returns true when the file is in place.
bool write_output_file(const std::string& path, const std::string& writer_name, Notices& notes,
                       const std::function<void(std::ostream&)>& writer);
