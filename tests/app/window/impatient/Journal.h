#pragma once

// What of the user's requests the window actually did, as the session's signals tell it: the runs open, the
// names, the last tree made (with the values it was asked with), the last estimate and the last cut. A
// cancelled or superseded request leaves what was there before, so this is what a fresh window has to be
// brought to for its outputs to be the same.

#include "session/Session.h"

#include <deque>
#include <optional>
#include <vector>

#include <QObject>
#include <QStringList>

/// A tree as asked: the controls' values when Make Tree started, and each run's records then.
struct TreeAsked {
    std::int32_t burn_in = 0;
    std::int32_t k_from = 1;
    std::int32_t k_to = 100;
    std::vector<std::int64_t> records;
};

struct EstimateDone {
    Loss loss = Loss::vi;
    std::uint64_t seed = 1;
};

struct CutAsked {
    CutTree tree = CutTree::tree;
    int level_percent = 50;
    int order = 0;  ///< when it was asked, counting every cut asked
};

class Journal : public QObject {
    Q_OBJECT

  public:
    /// Follows `session` (a new window: nothing is open in it yet).
    void watch(Session& session);

    /// The user is pressing "Cut" with these values; the cut made while it is pressed is this one.
    void cut_pressed(CutTree tree, int level_percent);
    void cut_released() { pressing_.reset(); }
    /// The user is loading this names file; names that arrive meanwhile are its.
    void names_pressed(const QString& path) { names_pressing_ = path; }
    void names_released() { names_pressing_.clear(); }

    QStringList runs;
    QString names_file;
    std::optional<TreeAsked> tree;
    std::optional<EstimateDone> estimate;
    std::optional<CutAsked> cut;
    /// What the window did in another order than asked, in words; empty when nothing.
    QStringList faults;

  private:
    void forget_tree();
    void cut_done(const CutAsked& asked);

    Session* session_ = nullptr;
    std::optional<TreeAsked> started_;
    std::optional<CutAsked> pressing_;
    /// Cuts of the average-linkage tree waiting for it, oldest first.
    std::deque<CutAsked> waiting_;
    int cuts_asked_ = 0;
    QString names_pressing_;
};
