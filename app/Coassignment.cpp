// The co-assignment queries of the "Make Tree" page: one individual against all, and the chosen set. They
// take the burn-in and k range of the last tree (of the open, before any tree).

#include "app/Clustering.h"
#include "app/MakeTreePage.h"
#include "app/RunJobs.h"
#include "sample/TextFormat.h"

namespace {

QString nothing_to_count(const RunState& run) {
    return TForm1::tr("nothing to count: no observation from number %1 on has k in %2..%3")
        .arg(run.burn_in)
        .arg(run.k_from)
        .arg(run.k_to);
}

}  // namespace

void TForm1::list_indivChange(std::int32_t n) {
    command([&] {
        if (!run_.store) {
            make_tree_->show_individual_note(n, tr("No result file is open."));
            return;
        }
        if (n < 1 || n > run_.header.n_indivs) {
            make_tree_->show_individual_note(
                n, tr("%1 is not an individual of this run (1..%2).").arg(n).arg(run_.header.n_indivs));
            return;
        }
        const IndividualRequest request{run_.store, n, run_.k_from, run_.k_to, run_.burn_in};
        queries_.start<IndividualResult>(
            tr("Charting individual %1").arg(n),
            [request](JobControl& control) { return individual_job(request, control); },
            [this](IndividualResult&& r) {
                if (r.counted == 0) {
                    make_tree_->show_individual_note(r.n, nothing_to_count(run_) + QLatin1Char('.'));
                } else {
                    make_tree_->show_individual(r.n, r.values);
                }
            });
    });
}

void TForm1::show_set_co_assi_prob() {
    command([this] {
        if (make_tree_->chosen_count() < 2) return;
        if (!run_.store) {
            make_tree_->show_set_probability(tr("no run"), tr("Open a result file first."));
            return;
        }
        const MC_Sample::SetCount c =
            run_.store->count_set_co_assi(make_tree_->chosen_set(), run_.k_from, run_.k_to, run_.burn_in);
        if (c.counted == 0) {
            make_tree_->show_set_probability(tr("nothing to count"), nothing_to_count(run_) + QLatin1Char('.'));
            return;
        }
        const double x = static_cast<double>(c.hits) / static_cast<double>(c.counted);
        make_tree_->show_set_probability(QString::fromStdString(fixed_point_text(x, separator_)),
                                         tr("Among %1 observations.").arg(c.counted));
    });
}
