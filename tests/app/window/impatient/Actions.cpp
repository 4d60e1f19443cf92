#include "tests/app/window/impatient/Actions.h"

#include <random>
#include <utility>

#include <QStringList>

namespace {

/// How often each action comes, out of the sum of the weights. Typing the burn-in, making trees and estimates
/// and pausing are the usual things; closing the window is rare.
const std::pair<Act, int> weights[] = {
    {Act::open, 3},
    {Act::drop, 2},
    {Act::add_run, 4},
    {Act::remove_run, 3},
    {Act::burn_in, 10},
    {Act::k_range, 3},
    {Act::make_tree, 8},
    {Act::make_both, 3},
    {Act::estimate, 8},
    {Act::cancel_estimate, 3},
    {Act::cut, 6},
    {Act::cancel_all, 4},
    {Act::export_figure, 2},
    {Act::export_data, 2},
    {Act::print, 1},
    {Act::load_names, 3},
    {Act::output_folder, 3},
    {Act::output_set, 3},
    {Act::follow, 2},
    {Act::grow, 5},
    {Act::map_order, 3},
    {Act::page, 5},
    {Act::pick, 2},
    {Act::choose_set, 1},
    {Act::compare_runs, 1},
    {Act::save_report, 1},
    {Act::save_trajectory, 1},
    {Act::pause, 8},
    {Act::close, 1},
};

const int burn_ins[] = {0, 0, 10, 20, 50, 100, 150, 200, 250, 299, 300, 400, 5000};
const int levels[] = {5, 10, 25, 40, 50, 60, 75, 90, 100};

}  // namespace

std::vector<Action> draw_actions(std::uint64_t seed, int count) {
    std::mt19937_64 gen(seed);
    const auto below = [&gen](int n) { return static_cast<int>(gen() % static_cast<std::uint64_t>(n)); };
    int total = 0;
    for (const auto& [act, weight] : weights) total += weight;
    std::vector<Action> actions;
    for (int i = 0; i < count; ++i) {
        int pick = below(total);
        Action action;
        for (const auto& [act, weight] : weights) {
            if (pick < weight) {
                action.act = act;
                break;
            }
            pick -= weight;
        }
        switch (action.act) {
            case Act::open:
            case Act::add_run:
                action.a = below(run_count);
                break;
            case Act::drop:
                action.a = below(run_count - 1);
                action.b = below(2) == 0 ? -1 : (action.a + 1 + below(run_count - 2)) % (run_count - 1);
                break;
            case Act::remove_run:
                action.a = below(4);
                break;
            case Act::burn_in:
                action.a = burn_ins[below(static_cast<int>(std::size(burn_ins)))];
                break;
            case Act::k_range:
                action.a = 1 + below(4);
                action.b = below(4) == 0 ? 100 : 2 + below(11);
                break;
            case Act::estimate:
                action.a = below(2);
                action.b = 1 + below(4);
                break;
            case Act::cut:
                action.a = below(2);
                action.b = levels[below(static_cast<int>(std::size(levels)))];
                break;
            case Act::export_figure:
                action.a = below(page_count);
                action.b = below(3);
                break;
            case Act::export_data:
                action.a = below(page_count);
                action.b = below(2);
                break;
            case Act::choose_set:
                action.a = below(30);
                action.b = below(30);
                break;
            case Act::load_names:
                action.a = below(names_count);
                break;
            case Act::output_folder:
                action.a = below(folder_count);
                action.b = below(2);
                break;
            case Act::output_set:
            case Act::map_order:
                action.a = below(3);
                break;
            case Act::grow:
                action.a = 1 + below(8000);
                break;
            case Act::page:
                action.a = below(page_count);
                break;
            case Act::pick:
                action.a = below(30);
                break;
            case Act::save_report:
                action.a = below(4) == 0 ? 1 : 0;
                break;
            case Act::pause:
                action.a = 1 + below(12);
                break;
            default:
                break;
        }
        actions.push_back(action);
    }
    return actions;
}

QString describe(const Action& action) {
    const int a = action.a;
    const int b = action.b;
    switch (action.act) {
        case Act::open:
            return QStringLiteral("open run %1").arg(a);
        case Act::drop:
            return b < 0 ? QStringLiteral("drop run %1").arg(a) : QStringLiteral("drop runs %1 and %2").arg(a).arg(b);
        case Act::add_run:
            return QStringLiteral("add run %1").arg(a);
        case Act::remove_run:
            return QStringLiteral("remove the run in row %1").arg(a);
        case Act::burn_in:
            return QStringLiteral("type burn-in %1").arg(a);
        case Act::k_range:
            return QStringLiteral("type k from %1 to %2").arg(a).arg(b);
        case Act::make_tree:
            return QStringLiteral("Make Tree");
        case Act::make_both:
            return QStringLiteral("Make Tree and Estimate");
        case Act::estimate:
            return QStringLiteral("estimate, %1 loss, seed %2")
                .arg(a == 0 ? QStringLiteral("VI") : QStringLiteral("Binder"))
                .arg(b);
        case Act::cancel_estimate:
            return QStringLiteral("cancel the estimate");
        case Act::cut:
            return QStringLiteral("cut %1 at %2")
                .arg(a == 0 ? QStringLiteral("the tree") : QStringLiteral("the average-linkage tree"))
                .arg(b / 100.0);
        case Act::cancel_all:
            return QStringLiteral("Cancel in the status bar");
        case Act::export_figure:
            return QStringLiteral("export a figure of page %1 as %2")
                .arg(a)
                .arg(QLatin1String(b == 0   ? "PNG"
                                   : b == 1 ? "SVG"
                                            : "PDF"));
        case Act::export_data:
            return QStringLiteral("export the data of page %1 as %2").arg(a).arg(QLatin1String(b == 0 ? "TSV" : "CSV"));
        case Act::print:
            return QStringLiteral("print");
        case Act::load_names:
            return QStringLiteral("load names file %1").arg(a);
        case Act::output_folder:
            return QStringLiteral("choose output folder %1%2")
                .arg(a)
                .arg(QLatin1String(b == 1 ? ", replacing" : ", keeping files there"));
        case Act::output_set:
            return QStringLiteral("files written: %1").arg(QLatin1String(a == 0 ? "Legacy" : a == 1 ? "Tidy" : "Both"));
        case Act::follow:
            return QStringLiteral("switch File > Follow");
        case Act::grow:
            return QStringLiteral("the growing run gets %1 bytes; look").arg(a);
        case Act::map_order:
            return QStringLiteral("map order %1").arg(a);
        case Act::page:
            return QStringLiteral("show page %1").arg(a);
        case Act::pick:
            return QStringLiteral("pick individual row %1").arg(a);
        case Act::choose_set:
            return QStringLiteral("move rows %1 and %2 to the chosen set").arg(a).arg(b);
        case Act::compare_runs:
            return QStringLiteral("Compare the Runs");
        case Act::save_report:
            return QStringLiteral("save the report as %1").arg(QLatin1String(a == 1 ? "PDF" : "HTML"));
        case Act::save_trajectory:
            return QStringLiteral("save the trajectory");
        case Act::pause:
            return QStringLiteral("pause %1 ms").arg(a);
        case Act::close:
            return QStringLiteral("close the window and open it again");
    }
    return QStringLiteral("?");
}

QString describe(const std::vector<Action>& actions) {
    QStringList lines;
    for (std::size_t i = 0; i < actions.size(); ++i)
        lines.append(QStringLiteral("%1. %2").arg(i + 1).arg(describe(actions[i])));
    return lines.join(QLatin1Char('\n'));
}
