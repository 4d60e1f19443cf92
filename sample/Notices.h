#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

/// How serious a notice is: a warning leaves the command's result standing; an error means the command
/// failed, or that a file it was to write was not written.
enum class NoticeLevel { warning, error };

/// One diagnostic of a command. `legacy` is the historical text written verbatim, without a line end,
/// to the standard output stream (empty when there is none); `text` is a full sentence for the user
/// that names the file and, for content, the line.
struct Notice {
    std::string legacy;
    std::string text;
    NoticeLevel level = NoticeLevel::warning;
};

/// Collects the diagnostics of a command. The window shows them and also writes the legacy texts to
/// standard output; the batch tool prints the sentences as warnings on standard error.
class Notices {
  public:
    /// `legacy_out`: where legacy texts go at once (nullptr: nowhere).
    explicit Notices(std::ostream* legacy_out = nullptr);

    void report(std::string legacy, std::string text, NoticeLevel level = NoticeLevel::warning);
    /// report() at level error.
    void error(std::string legacy, std::string text) { report(std::move(legacy), std::move(text), NoticeLevel::error); }
    const std::vector<Notice>& notices() const { return notices_; }
    bool empty() const { return notices_.empty(); }
    /// Hands out the collected notices and forgets them.
    std::vector<Notice> take();
    /// Puts notices collected elsewhere before the one at position `at` (0..size; clamped), as if they had
    /// been reported then; their legacy texts are written now.
    void insert(std::size_t at, std::vector<Notice> more);

  private:
    std::ostream* legacy_out_;
    std::vector<Notice> notices_;
};
