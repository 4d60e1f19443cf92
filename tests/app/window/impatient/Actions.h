#pragma once

// What an impatient user does to the window, one action at a time. Everything an action chooses (which file,
// which burn-in, which level) is drawn with the list, so that a list replays with the same meaning after
// actions are deleted from it.

#include <cstdint>
#include <vector>

#include <QString>

enum class Act {
    open,             ///< File > Open, file a
    drop,             ///< files a and b (b < 0: a alone) dropped together
    add_run,          ///< File > Add Run, file a
    remove_run,       ///< row a of the run list, then File > Remove Run
    burn_in,          ///< "Burn in" typed: a
    k_range,          ///< "For k =" a, "To k =" b
    make_tree,        ///< "Make Tree"
    make_both,        ///< the Summary page's "Make Tree and Estimate"
    estimate,         ///< loss a (0: VI, 1: Binder), seed b, "Estimate"
    cancel_estimate,  ///< the Estimate page's "Cancel"
    cut,              ///< tree a (0: the tree, 1: average linkage) at level b / 100, "Cut"
    cancel_all,       ///< the status bar's "Cancel"
    export_figure,    ///< page a, File > Export as format b (0: PNG, 1: SVG, 2: PDF)
    export_data,      ///< page a, File > Export Data as b (0: TSV, 1: CSV)
    print,            ///< File > Print
    load_names,       ///< File > Load Names, names file a (0: list, 1: table, 2: one name short)
    output_folder,    ///< File > Output Folder, folder a, replacing files there when b is 1
    output_set,       ///< "Files written": a (0: Legacy, 1: Tidy, 2: Both)
    follow,           ///< File > Follow switched
    grow,             ///< the growing run gets its next a bytes, then the followed runs are looked at
    map_order,        ///< the map's "Order": a
    page,             ///< page a shown
    pick,             ///< row a of "Indiv."
    choose_set,       ///< rows a and b moved to the chosen set
    compare_runs,     ///< the Summary page's "Compare the Runs"
    save_report,      ///< File > Save Report, as PDF when a is 1
    save_trajectory,  ///< File > Save Trajectory
    pause,            ///< the user hesitates for a milliseconds (the event loop runs meanwhile)
    close,            ///< the window closed (waiting for the work it stops), and opened again
};

struct Action {
    Act act = Act::pause;
    int a = 0;
    int b = 0;
};

/// The files the actions choose from, by number: the runs (the last one over other individuals) and the
/// names files.
inline constexpr int run_count = 5;
inline constexpr int growing_run = 3;
inline constexpr int names_count = 3;
inline constexpr int folder_count = 3;
inline constexpr int page_count = 7;

/// `count` actions drawn from `seed`; the same seed gives the same list.
std::vector<Action> draw_actions(std::uint64_t seed, int count);

/// The action as the user would say it, e.g. "type burn-in 150".
QString describe(const Action& action);
/// One action a line, numbered from 1.
QString describe(const std::vector<Action>& actions);
