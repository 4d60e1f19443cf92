#pragma once

// One impatient user's session, from scratch in the working folder: the inputs written, the window driven
// through a list of actions without waiting for the work they start, then all work let finish and the
// outputs held against those of a fresh window brought to the same settings.

#include "tests/app/support/WindowFixture.h"
#include "tests/app/window/impatient/Actions.h"
#include "tests/app/window/impatient/Journal.h"

#include <memory>
#include <optional>

#include <QString>

class ImpatientRun {
  public:
    /// Writes the runs, the names files and the settings into the working folder.
    ImpatientRun();
    ~ImpatientRun();
    ImpatientRun(const ImpatientRun&) = delete;
    ImpatientRun& operator=(const ImpatientRun&) = delete;

    /// Performs the actions one after the other; what went wrong, naming the action, or nothing.
    std::optional<QString> perform(const std::vector<Action>& actions);
    /// Lets every piece of work end, checks the output folders written into, has the window write the outputs
    /// made so far into a new folder and compares that folder with a fresh window's made from the same runs,
    /// names and settings (the tree, estimate and cut as they were made). What differs, or nothing.
    std::optional<QString> check();

  private:
    void open_window();
    std::optional<QString> act(const Action& action);
    std::optional<QString> close_window();
    /// An error box shown since the last look, or a fault in the order things were done.
    std::optional<QString> trouble();
    QString run_path(int r) const;
    /// The growing run with `bytes` more of its text; the whole text when `bytes` is negative.
    void grow(int bytes);
    QStringList folders() const;
    std::optional<QString> catch_up(Window& w);
    std::optional<QString> rebuild(const QString& folder);

    QString settings_path_;
    std::string growing_text_;
    std::size_t grown_ = 0;
    std::unique_ptr<Window> window_;
    std::size_t messages_seen_ = 0;
    Journal journal_;
};

/// Everything from scratch in a new working folder: the actions, then the check. What failed, or nothing.
std::optional<QString> run_impatient(const std::vector<Action>& actions);
