#include "app/Clustering.h"
#include "sample/TextFormat.h"

#include <algorithm>
#include <utility>

#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScatterSeries>

namespace {

/// The k interval of the window's queries: the run's k range in order, so a range captured reversed
/// still names the values between its two ends.
std::pair<std::int32_t, std::int32_t> query_k_range(const RunState& run) {
    return {std::min(run.k_from, run.k_to), std::max(run.k_from, run.k_to)};
}

QString nothing_to_count(const RunState& run) {
    const auto [from, to] = query_k_range(run);
    return TForm1::tr("nothing to count: no observation from number %1 on has k in %2..%3")
        .arg(run.burn_in)
        .arg(from)
        .arg(to);
}

}  // namespace

void TForm1::list_indivChange() {
    if (list_indiv->currentIndex() < 0) return;
    const int n = list_indiv->currentText().toInt();
    Series4->clear();
    QString title = tr("Posterior prob of co-assignement for Indiv ") + QString::number(n) + tr(" with the others");
    if (!run_.store) {
        set_chart_title(Chart3, title + tr(": no result file is open"));
        return;
    }
    if (n < 1 || n > run_.header.n_indivs) {
        set_chart_title(Chart3,
                        title + tr(": %1 is not an individual of this run (1..%2)").arg(n).arg(run_.header.n_indivs));
        return;
    }
    const auto [from, to] = query_k_range(run_);
    std::vector<double> values(static_cast<std::size_t>(run_.header.n_indivs), 1.0);
    for (std::int32_t m = 1; m <= run_.header.n_indivs; ++m) {
        if (m == n) continue;
        const MC_Sample::SetCount c =
            run_.store->count_set_co_assi({std::min(n, m), std::max(n, m)}, from, to, run_.burn_in);
        if (c.counted == 0) {
            set_chart_title(Chart3, title + QStringLiteral(": ") + nothing_to_count(run_));
            return;
        }
        values[static_cast<std::size_t>(m - 1)] = static_cast<double>(c.hits) / static_cast<double>(c.counted);
    }
    fill_coassignment(Series4, values);
    set_chart_title(Chart3, title);
}

void TForm1::show_set_co_assi_prob() {
    if (DstList->count() < 2) return;
    if (!run_.store) {
        Label3->setText(tr("no run"));
        Label3_note->setText(tr("Open a result file first."));
        return;
    }
    std::vector<std::int32_t> members;
    QStringList left_out;
    for (int i = 0; i < DstList->count(); ++i) {
        const int m = DstList->item(i)->text().toInt();
        if (m >= 1 && m <= run_.header.n_indivs) {
            members.push_back(m);
        } else {
            left_out.append(QString::number(m));
        }
    }
    const QString out_note = left_out.isEmpty() ? QString()
                                                : tr("Left out, not individuals of this run (1..%1): %2.")
                                                      .arg(run_.header.n_indivs)
                                                      .arg(left_out.join(QStringLiteral(", ")));
    if (members.size() < 2) {
        Label3->setText(tr("none"));
        Label3_note->setText(out_note + tr(" Fewer than two individuals remain."));
        return;
    }
    const auto [from, to] = query_k_range(run_);
    const MC_Sample::SetCount c = run_.store->count_set_co_assi(members, from, to, run_.burn_in);
    if (c.counted == 0) {
        Label3->setText(tr("nothing to count"));
        Label3_note->setText((out_note + QLatin1Char(' ') + nothing_to_count(run_) + QLatin1Char('.')).trimmed());
        return;
    }
    const double x = static_cast<double>(c.hits) / static_cast<double>(c.counted);
    Label3->setText(QString::fromStdString(fixed_point_text(x, decimal_separator())));
    Label3_note->setText(out_note);
}

int TForm1::GetFirstSelection(QListWidget* list) const {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) return i;
    return -1;
}

void TForm1::MoveSelected(QListWidget* list, QListWidget* items) {
    for (int i = list->count() - 1; i >= 0; --i) {
        if (!list->item(i)->isSelected()) continue;
        QListWidgetItem* item = list->takeItem(i);
        items->addItem(item->text());
        delete item;
    }
}

void TForm1::SetButtons() {
    IncludeBtn->setEnabled(SrcList->count() > 0);
    IncAllBtn->setEnabled(SrcList->count() > 0);
    ExcludeBtn->setEnabled(DstList->count() > 0);
    ExcAllBtn->setEnabled(DstList->count() > 0);
}

void TForm1::SetItem(QListWidget* list, int index) {
    list->setFocus();
    if (list->count() > 0) {
        if (index == -1) {
            index = 0;
        } else if (index > list->count() - 1) {
            index = list->count() - 1;
        }
        list->item(index)->setSelected(true);
        list->setCurrentItem(list->item(index), QItemSelectionModel::NoUpdate);
    }
    SetButtons();
}

void TForm1::IncludeBtnClick() {
    const int index = GetFirstSelection(SrcList);
    MoveSelected(SrcList, DstList);
    SetItem(SrcList, index);
    show_set_co_assi_prob();
}

void TForm1::ExcludeBtnClick() {
    const int index = GetFirstSelection(DstList);
    MoveSelected(DstList, SrcList);
    SetItem(DstList, index);
    show_set_co_assi_prob();
}

void TForm1::IncAllBtnClick() {
    for (int i = 0; i < SrcList->count(); ++i) DstList->addItem(SrcList->item(i)->text());
    SrcList->clear();
    SetItem(SrcList, 0);
    show_set_co_assi_prob();
}

void TForm1::ExcAllBtnClick() {
    for (int i = 0; i < DstList->count(); ++i) SrcList->addItem(DstList->item(i)->text());
    DstList->clear();
    SetItem(DstList, 0);
    Label3->setText(QString());
    Label3_note->setText(QString());
}
