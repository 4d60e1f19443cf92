#pragma once

#include "sample/Notices.h"
#include "sample/OutputFile.h"

#include <iosfwd>
#include <string>

/// A run's trajectory side file, written while the run loads. It is an output like the others: its lines
/// go to a temporary file beside its name, which replaces the file of that name only on commit(), so a
/// load that fails leaves the side file of the run loaded before. Destroyed uncommitted, it is discarded.
class PendingSideFile {
  public:
    /// Creates the temporary file for `path` ("" for none). When that fails, reports it to `notes` (naming
    /// `result_name`, the result file whose trace it holds) and stream() is null.
    PendingSideFile(const std::string& path, const std::string& result_name, Notices& notes);

    /// Where the side file's lines go; null when there is no side file.
    std::ostream* stream() { return file_.is_open() ? &file_.stream() : nullptr; }
    bool is_open() const { return file_.is_open(); }
    const std::string& path() const { return path_; }

    /// Puts the file in place: true when it is there. A failure is reported to `notes` at level error.
    /// Without a file (none asked for, or it could not be created) false, reporting nothing.
    bool commit(Notices& notes);
    /// Removes the temporary file; the file of that name stays as it was.
    void discard() { file_.discard(); }

  private:
    std::string path_;
    OutputFile file_;
};
