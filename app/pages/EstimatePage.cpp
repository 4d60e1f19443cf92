#include "pages/EstimatePage.h"

#include "pages/KeyedTableModel.h"
#include "pages/NumericField.h"
#include "session/Session.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

namespace {

const AnchorLayout::Share wide{0, 0, 1, 0};

TableCell number_cell(double value, double sort_key) {
    return {std::isnan(value) ? QStringLiteral("NA") : QString::number(value, 'g', 4), sort_key, true};
}

TableCell whole_cell(std::int32_t value, bool missing = false) {
    return {missing ? QStringLiteral("NA") : QString::number(value),
            missing ? std::numeric_limits<double>::infinity() : static_cast<double>(value), true};
}

TableCell blank_cell() { return {QString(), std::numeric_limits<double>::infinity(), false}; }

/// NaN sorts after every number, whichever way the column is sorted first.
double key(double v) { return std::isnan(v) ? std::numeric_limits<double>::infinity() : v; }

}  // namespace

EstimatePage::EstimatePage(Session& session, QWidget* parent) : Page(parent) {
    setObjectName(QStringLiteral("TabSheetEstimate"));
    source_ = add_wrapped_label("estimate_source", QString(), {8, 6, 890, 30}, wide);
    add_label("estimate_loss_label", tr("Loss"), {8, 46, 30, 13});
    loss_ = new QComboBox(this);
    loss_->setObjectName(QStringLiteral("estimate_loss"));
    loss_->addItem(tr("Variation of information"), static_cast<int>(Loss::vi));
    loss_->addItem(tr("Binder"), static_cast<int>(Loss::binder));
    loss_->setToolTip(
        tr("Variation of information: rewards getting the clusters right as wholes; Binder: counts pairs of "
           "individuals put together or apart wrongly"));
    anchors()->add(loss_, {40, 42, 150, 22});
    add_label("estimate_seed_label", tr("Seed"), {204, 46, 26, 13});
    seed_ = add_numeric("estimate_seed", 1, 0, 999999999, 1, {232, 42, 80, 22});
    seed_->setToolTip(tr("Seeds the random starts of the search: the same seed gives the same estimate"));
    run_ = add_button("estimate_run", tr("Estimate"), {326, 40, 80, 25});
    cancel_ = add_button("estimate_cancel", tr("Cancel"), {412, 40, 70, 25});
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("estimate_progress"));
    bar_->setRange(0, 1000);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    anchors()->add(bar_, {496, 45, 180, 16}, {0, 0, 0.5, 0});
    stage_ = add_label("estimate_stage", QString(), {684, 46, 214, 13}, {0.5, 0, 0.5, 0});
    summary_ = add_wrapped_label("estimate_summary", QString(), {8, 72, 890, 32}, wide);

    add_label("cut_label", tr("Cut"), {8, 116, 22, 13});
    cut_tree_ = new QComboBox(this);
    cut_tree_->setObjectName(QStringLiteral("cut_tree"));
    cut_tree_->addItem(tr("the tree"), static_cast<int>(CutTree::tree));
    cut_tree_->addItem(tr("the average-linkage tree"), static_cast<int>(CutTree::average));
    cut_tree_->setToolTip(
        tr("The tree: the tree of Make Tree, whose levels are the probabilities of whole sets; the "
           "average-linkage tree: its merges join the clusters of highest mean co-assignment, so a cut gives "
           "the clusters the co-assignment map shows"));
    anchors()->add(cut_tree_, {32, 112, 150, 22});
    add_label("cut_level_label", tr("at level"), {188, 116, 40, 13});
    level_ = add_numeric("cut_level", 0.5, 0, 1, 0.05, {230, 112, 60, 22});
    level_->setToolTip(tr("Individuals joined by the merges at this level or above form a cluster"));
    cut_button_ = add_button("cut_apply", tr("Cut"), {298, 110, 60, 25});
    cut_summary_ = add_wrapped_label("cut_summary", QString(), {368, 112, 530, 30}, wide);

    model_ = make_model();
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("estimate_table"));
    table_->setModel(model_);
    table_->setSortingEnabled(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(18);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->sortByColumn(doubt, Qt::AscendingOrder);
    anchors()->add(table_, {8, 146, 890, 519}, {0, 0, 1, 1});
    table_export_ = std::make_unique<PaintedPicture>(
        QStringLiteral("estimate_table"),
        [this](QPainter& painter, const QRectF& at) { table_->render(&painter, at.topLeft().toPoint()); },
        [this](TableWriter& out) { write_table(out); });

    connect(run_, &QPushButton::clicked, this, [this, &session] { session.estimate(loss(), seed()); });
    connect(cancel_, &QPushButton::clicked, &session, &Session::cancel_estimate);
    connect(cut_button_, &QPushButton::clicked, this,
            [this, &session] { session.cut(cut_level(), static_cast<CutTree>(cut_tree_->currentData().toInt())); });
    connect(&session, &Session::estimate_source, this, &EstimatePage::show_source);
    connect(&session, &Session::tree_forgotten, this,
            [this, &session] { reset(session.run().header.n_indivs, session.names()); });
    connect(&session, &Session::estimate_started, this, &EstimatePage::show_started);
    connect(&session, &Session::estimate_progress, this, &EstimatePage::show_progress);
    connect(&session, &Session::estimate_made, this, &EstimatePage::show_estimate);
    connect(&session, &Session::estimate_stopped, this, &EstimatePage::show_stopped);
    connect(&session, &Session::cut_made, this, &EstimatePage::show_cut);
    connect(&session, &Session::names_changed, this, &EstimatePage::set_names);
    connect(&session, &Session::separator_changed, this, &EstimatePage::set_separator);
    show_source(tr("Make a tree on the Make Tree page first: the estimate uses the draws of the last tree "
                   "(its burn-in and k range)."),
                false);
}

Loss EstimatePage::loss() const { return static_cast<Loss>(loss_->currentData().toInt()); }

std::uint64_t EstimatePage::seed() const { return static_cast<std::uint64_t>(std::max(0.0, seed_->value())); }

double EstimatePage::cut_level() const { return level_->value(); }

void EstimatePage::set_separator(char sep) {
    seed_->set_separator(sep);
    level_->set_separator(sep);
}

void EstimatePage::show_source(const QString& text, bool ready) {
    source_->setText(text);
    ready_ = ready;
    run_->setEnabled(ready_ && !running_);
    cut_button_->setEnabled(ready_);
    cancel_->setEnabled(running_);
}

void EstimatePage::reset(std::int32_t n, const QStringList& names) {
    n_ = n;
    names_ = names;
    estimate_.reset();
    cut_.clear();
    summary_->clear();
    cut_summary_->clear();
    stage_->clear();
    bar_->setValue(0);
    fill_table();
}

void EstimatePage::show_started() {
    running_ = true;
    bar_->setRange(0, 1000);
    bar_->setValue(0);
    stage_->setText(tr("Searching..."));
    show_source(source_->text(), ready_);
}

void EstimatePage::show_progress(const JobProgress& progress) {
    bar_->setRange(0, static_cast<int>(std::min<qint64>(progress.total, 1 << 30)));
    bar_->setValue(static_cast<int>(std::min<qint64>(progress.done, 1 << 30)));
    stage_->setText(progress.stage);
}

void EstimatePage::show_stopped(const QString& why) {
    running_ = false;
    bar_->setRange(0, 1000);
    bar_->setValue(0);
    stage_->setText(why);
    if (estimate_) {
        loss_->setCurrentIndex(loss_->findData(static_cast<int>(estimate_->loss)));
        seed_->setValue(static_cast<double>(estimate_->seed));
    }
    show_source(source_->text(), ready_);
}

void EstimatePage::show_estimate(const Estimate& estimate, const QString& summary) {
    running_ = false;
    estimate_ = estimate;
    bar_->setRange(0, 1000);
    bar_->setValue(1000);
    stage_->setText(tr("Done !"));
    summary_->setText(summary);
    show_source(source_->text(), ready_);
    fill_table();
}

void EstimatePage::show_cut(const std::vector<std::int32_t>& cut, const QString& summary) {
    cut_ = cut;
    cut_summary_->setText(summary);
    fill_table();
}

void EstimatePage::set_names(const QStringList& names) {
    names_ = names;
    fill_table();
}

KeyedTableModel* EstimatePage::make_model() {
    QStringList tips;
    for (int c = 0; c < columns; ++c) tips.append(QString());
    tips[within] = tr("Mean co-assignment probability with its cluster mates");
    tips[nearest] = tr("Mean co-assignment probability with the members of the nearest other cluster");
    tips[doubt] =
        tr("Within minus nearest (a missing value as 0): the lower, the more doubtful the individual's place");
    return new KeyedTableModel({tr("Individual"), tr("Name"), tr("Cluster"), tr("Within"), tr("Nearest cluster"),
                                tr("Nearest"), tr("Doubt"), tr("Cut cluster")},
                               tips, this);
}

void EstimatePage::fill_table() {
    const int sort_column = table_->horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder order = table_->horizontalHeader()->sortIndicatorOrder();
    const bool with_estimate = estimate_ && static_cast<std::int32_t>(estimate_->cluster.size()) == n_;
    const bool with_cut = static_cast<std::int32_t>(cut_.size()) == n_;
    std::vector<std::vector<TableCell>> rows;
    if (with_estimate || with_cut) rows.reserve(static_cast<std::size_t>(n_));
    for (std::int32_t i = 1; (with_estimate || with_cut) && i <= n_; ++i) {
        const auto at = static_cast<std::size_t>(i - 1);
        std::vector<TableCell> row(columns);
        row[individual] = whole_cell(i);
        const QString shown_name = i - 1 < names_.size() ? names_.at(i - 1) : QString::number(i);
        row[name] = TableCell{shown_name, shown_name, false};
        if (with_estimate) {
            const IndividualDoubt& d = estimate_->doubt[at];
            row[cluster] = whole_cell(estimate_->cluster[at]);
            row[within] = number_cell(d.within, key(d.within));
            row[nearest_cluster] = whole_cell(d.nearest_cluster, d.nearest_cluster == 0);
            row[nearest] = number_cell(d.nearest, key(d.nearest));
            row[doubt] = number_cell(doubt_margin(d), doubt_margin(d));
        } else {
            for (int c : {int(cluster), int(within), int(nearest_cluster), int(nearest), int(doubt)})
                row[static_cast<std::size_t>(c)] = blank_cell();
        }
        row[cut_cluster] = with_cut ? whole_cell(cut_[at]) : blank_cell();
        rows.push_back(std::move(row));
    }
    model_->set_rows(std::move(rows));
    if (!with_estimate && !with_cut) return;
    model_->sort(sort_column, order);
    emit exports_changed();
}

Exportable* EstimatePage::current_numbers() const { return model_->rowCount() > 0 ? table_export_.get() : nullptr; }

void EstimatePage::write_table(TableWriter& out) const {
    const bool with_estimate = estimate_ && static_cast<std::int32_t>(estimate_->cluster.size()) == n_;
    const bool with_cut = static_cast<std::int32_t>(cut_.size()) == n_;
    QList<int> shown{individual, name};
    if (with_estimate) shown << cluster << within << nearest_cluster << nearest << doubt;
    if (with_cut) shown << cut_cluster;
    const QStringList names{QStringLiteral("individual"),      QStringLiteral("name"),
                            QStringLiteral("cluster"),         QStringLiteral("within"),
                            QStringLiteral("nearest_cluster"), QStringLiteral("nearest"),
                            QStringLiteral("doubt"),           QStringLiteral("cut_cluster")};
    QStringList header;
    for (const int c : shown) header.append(names.at(c));
    out.header(header);
    for (int r = 0; r < model_->rowCount(); ++r) {
        for (const int c : shown) {
            const TableCell& item = model_->cell(r, c);
            if (c == name) {
                out.cell(item.text);
            } else if (item.text == QStringLiteral("NA")) {
                out.cell(std::nan(""));
            } else if (c == within || c == nearest || c == doubt) {
                out.cell(item.key.toDouble());
            } else {
                out.cell(item.text.toLongLong());
            }
        }
        out.end_row();
    }
}

std::vector<std::int32_t> EstimatePage::shown_order() const {
    std::vector<std::int32_t> order;
    order.reserve(static_cast<std::size_t>(model_->rowCount()));
    for (int r = 0; r < model_->rowCount(); ++r) order.push_back(model_->cell(r, individual).text.toInt());
    return order;
}
