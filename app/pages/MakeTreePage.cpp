#include "pages/MakeTreePage.h"

#include "charts/IndividualChart.h"
#include "charts/LevelsChart.h"
#include "estimate/Estimate.h"
#include "pages/NumericField.h"
#include "sample/OpenRun.h"
#include "session/Session.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

namespace {

const AnchorLayout::Share fields{0, 0.25, 0, 0};
const AnchorLayout::Share middle{0.5, 0, 0, 0};
const AnchorLayout::Share picker{0.75, 0.5, 0, 0};
const AnchorLayout::Share picker_foot{0.75, 1, 0, 0};

QString hint() { return MakeTreePage::tr("Move two or more individuals to the right-hand list."); }

}  // namespace

MakeTreePage::MakeTreePage(Session& session, QWidget* parent) : Page(parent), session_(session) {
    setObjectName(QStringLiteral("TabSheet2"));
    tree_source = add_wrapped_label("tree_source", QString(), {8, 4, 212, 42});
    Button1 = add_button("Button1", tr("Make Tree"), {342, 12, 75, 25}, middle);
    Label10 = add_label("Label10", tr("Progression"), {456, 16, 55, 13}, middle);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    anchors()->add(ProgressBar1, {600, 16, 174, 16}, {0.5, 0, 0.5, 0});
    tree_stage = add_label("tree_stage", QString(), {456, 34, 318, 13}, {0.5, 0, 0.5, 0});
    QPushButton* Button5 = add_button("Button5", tr("Print"), {824, 16, 75, 25}, {1, 0, 0, 0});

    add_label("Label1", tr("For k ="), {34, 96, 33, 13}, fields);
    kmin = add_numeric("kmin", 1, 1, 9, 0.1, {78, 95, 41, 22}, fields);
    add_label("Label2", tr("To k ="), {122, 96, 31, 13}, fields);
    kmax = add_numeric("kmax", 100, 2, 100, 0.1, {155, 95, 47, 22}, fields);
    add_label("Label6", tr("Tree file"), {51, 147, 38, 13}, fields);
    Edit2 = add_edit("Edit2", QStringLiteral("tree.txt"), {117, 144, 116, 21}, fields);
    add_label("Label9", tr("Node heights :"), {37, 182, 69, 13}, fields)->setWordWrap(true);
    problevels_filename =
        add_edit("problevels_filename", QStringLiteral("node_heights.txt"), {114, 181, 119, 21}, fields);
    add_label("Label16", tr("Node clusters :"), {36, 226, 71, 13}, fields);
    cluster_filename = add_edit("cluster_filename", QStringLiteral("node_clusters.txt"), {112, 224, 121, 21}, fields);
    add_wrapped_label("Label17", tr("Pairwise co-assignement probs"), {28, 281, 77, 39}, fields);
    pairwise_co_assi_probs_filename =
        add_edit("pairwise_co_assi_probs_filename", QStringLiteral("pairwise_probs.txt"), {112, 288, 121, 21}, fields);
    Chart1 = place_chart(new LevelsChart, {224, 50, 673, 315}, {0, 0, 1, 0.5});
    Chart1->lower();

    add_label("Label7", tr("Indiv."), {17, 391, 26, 13}, {0, 0.5, 0, 0});
    Chart3 = place_chart(new IndividualChart, {4, 401, 486, 264}, {0, 0.5, 0.5, 0.5});
    list_indiv = new QComboBox(this);
    list_indiv->setObjectName(QStringLiteral("list_indiv"));
    list_indiv->setEditable(false);
    anchors()->add(list_indiv, {18, 407, 81, 21}, {0, 0.5, 0, 0});
    QPushButton* Button7 = add_button("Button7", tr("Print"), {409, 404, 75, 25}, {0.5, 0.5, 0, 0});

    SrcList = add_list("SrcList", {520, 384, 145, 265}, {0.5, 0.5, 0.25, 0.5});
    add_label("Label15", tr("Selected set of individuals :"), {728, 379, 129, 13}, picker);
    DstList = add_list("DstList", {728, 392, 145, 201}, {0.75, 0.5, 0.25, 0.5});
    // Between the top of the lists and the label below them the buttons keep their spacing in proportion.
    IncludeBtn = add_button("IncludeBtn", QStringLiteral(">"), {680, 416, 33, 17}, picker);
    ExcludeBtn = add_button("ExcludeBtn", QStringLiteral("<"), {680, 448, 33, 17}, {0.75, 0.583, 0, 0});
    IncAllBtn = add_button("IncAllBtn", QStringLiteral(">>"), {680, 496, 41, 17}, {0.75, 0.708, 0, 0});
    ExcAllBtn = add_button("ExcAllBtn", QStringLiteral("<<"), {680, 528, 41, 17}, {0.75, 0.792, 0, 0});
    add_label("Label14", tr("Co-assignement prob for chosen set :"), {672, 608, 175, 13}, picker_foot);
    Label3 = add_label("Label3", QString(), {854, 608, 32, 13}, picker_foot);
    Label3_note = add_wrapped_label("Label3_note", hint(), {672, 636, 236, 30}, {0.75, 1, 0.25, 0});

    connect(Button1, &QPushButton::clicked, &session, &Session::make_tree);
    connect(Button5, &QPushButton::clicked, this, [this] { emit print_requested(Chart1); });
    connect(Button7, &QPushButton::clicked, this, [this] { emit print_requested(Chart3); });
    connect(list_indiv, &QComboBox::activated, this, [this](int row) {
        if (row >= 0) session_.chart_individual(list_indiv->itemData(row).toInt());
    });
    connect(IncludeBtn, &QPushButton::clicked, this, &MakeTreePage::IncludeBtnClick);
    connect(ExcludeBtn, &QPushButton::clicked, this, &MakeTreePage::ExcludeBtnClick);
    connect(IncAllBtn, &QPushButton::clicked, this, &MakeTreePage::IncAllBtnClick);
    connect(ExcAllBtn, &QPushButton::clicked, this, &MakeTreePage::ExcAllBtnClick);
    connect(this, &MakeTreePage::chosen_set_changed, this, &MakeTreePage::show_set_probability_of_chosen);
    for (NumericField* field : {kmin, kmax}) connect(field, &NumericField::changed, this, &MakeTreePage::push_controls);
    for (QLineEdit* edit : {Edit2, problevels_filename, cluster_filename, pairwise_co_assi_probs_filename})
        connect(edit, &QLineEdit::textChanged, this, &MakeTreePage::push_controls);
    push_controls();

    connect(&session, &Session::commands_changed, this,
            [this] { Button1->setEnabled(!session_.load_busy() && !session_.tree_busy()); });
    connect(&session, &Session::separator_changed, this, &MakeTreePage::set_separator);
    connect(&session, &Session::opened_runs, this, [this](const OpenedView& view) {
        clear_tree(tr("No tree made yet for %1.").arg(view.name));
        Chart3->reset();
        fill_individuals(view.n_indivs);
        reset_set_probability();
    });
    connect(&session, &Session::names_changed, this, &MakeTreePage::set_names);
    connect(&session, &Session::tree_started, this, &MakeTreePage::show_tree_started);
    connect(&session, &Session::tree_progress, this, &MakeTreePage::show_tree_progress);
    connect(&session, &Session::tree_stopped, this, &MakeTreePage::show_tree_stopped);
    connect(&session, &Session::tree_made, this, [this](const TreeView& view) {
        fill_individuals(view.n_indivs);
        show_tree(view.levels, view.n_indivs, view.source);
        Chart1->show_levels(view.levels, view.draws);
    });
    connect(&session, &Session::individual_charted, Chart3, &IndividualChart::show_individual);
    connect(&session, &Session::individual_note, Chart3, &IndividualChart::show_note);
    // The individual chart takes the colours of the estimate (not of a cut), until the tree is forgotten.
    connect(&session, &Session::estimate_made, this, [this](const Estimate& e) { Chart3->set_clusters(e.cluster); });
    connect(&session, &Session::tree_forgotten, this, [this] { Chart3->set_clusters({}); });
}

void MakeTreePage::push_controls() {
    session_.set_tree_controls(truncate_field(kmin->value()), truncate_field(kmax->value()), Edit2->text(),
                               problevels_filename->text(), cluster_filename->text(),
                               pairwise_co_assi_probs_filename->text());
}

void MakeTreePage::show_set_probability_of_chosen() {
    if (chosen_count() < 2) return;
    const auto [value, note] = session_.set_probability(chosen_set());
    show_set_probability(value, note);
}

QList<ChartView*> MakeTreePage::charts() const { return {Chart1, Chart3}; }

double MakeTreePage::kmin_value() const { return kmin->value(); }
double MakeTreePage::kmax_value() const { return kmax->value(); }

void MakeTreePage::set_k_values(double from, double to) {
    kmin->setValue(from);
    kmax->setValue(to);
}

void MakeTreePage::set_separator(char sep) {
    kmin->set_separator(sep);
    kmax->set_separator(sep);
}

void MakeTreePage::show_tree_started() {
    Label10->setText(tr("Constructing tree"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    tree_stage->clear();
}

void MakeTreePage::show_tree_progress(const JobProgress& progress) {
    // A stage of unknown length shows the bar's busy animation.
    const auto total = static_cast<int>(std::min<qint64>(progress.total, 1 << 30));
    const auto done = static_cast<int>(std::min<qint64>(progress.done, 1 << 30));
    ProgressBar1->setRange(0, total);
    ProgressBar1->setValue(done);
    tree_stage->setText(progress.stage);
}

void MakeTreePage::show_tree(const std::vector<double>& levels, std::int32_t n_indivs, const QString& source) {
    Chart1->show_levels(levels);
    // With no merge step (one individual) the bar is simply full: a bar whose maximum equals its minimum
    // would show a busy animation for good.
    const int steps = std::max(n_indivs - 1, 0);
    ProgressBar1->setRange(0, std::max(steps, 1));
    ProgressBar1->setValue(std::max(steps, 1));
    tree_stage->setText(tr("Done !"));
    tree_source->setText(source);
}

void MakeTreePage::show_tree_stopped(const QString& why) {
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    tree_stage->setText(why);
}

void MakeTreePage::clear_tree(const QString& source) {
    Chart1->show_levels({});
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    Label10->setText(tr("Progression"));
    tree_stage->clear();
    tree_source->setText(source);
}

void MakeTreePage::fill_individuals(std::int32_t n) {
    list_indiv->clear();
    SrcList->clear();
    DstList->clear();
    if (names_.size() != n) names_.clear();
    for (std::int32_t i = 1; i <= n; ++i) {
        SrcList->addItem(individual_item(i));
        list_indiv->addItem(individual_label(i), i);
    }
    list_indiv->setCurrentIndex(-1);
    SetButtons();
}

QString MakeTreePage::individual_label(std::int32_t i) const {
    return i >= 1 && i <= names_.size() ? names_[i - 1] : QString::number(i);
}

QListWidgetItem* MakeTreePage::individual_item(std::int32_t i) const {
    auto* item = new QListWidgetItem(individual_label(i));
    item->setData(Qt::UserRole, i);
    if (!names_.isEmpty()) item->setToolTip(tr("Individual %1").arg(i));
    return item;
}

void MakeTreePage::set_names(const QStringList& names) {
    names_ = names;
    for (QListWidget* list : {SrcList, DstList}) {
        for (int r = 0; r < list->count(); ++r) {
            QListWidgetItem* item = list->item(r);
            const std::int32_t i = item->data(Qt::UserRole).toInt();
            item->setText(individual_label(i));
            item->setToolTip(names_.isEmpty() ? QString() : tr("Individual %1").arg(i));
        }
    }
    for (int r = 0; r < list_indiv->count(); ++r)
        list_indiv->setItemText(r, individual_label(list_indiv->itemData(r).toInt()));
    Chart3->set_names(names_);
}

void MakeTreePage::choose(const std::vector<std::int32_t>& individuals) {
    ExcAllBtnClick();
    std::vector<bool> chosen(static_cast<std::size_t>(SrcList->count()) + 1, false);
    for (std::int32_t i : individuals)
        if (i >= 1 && static_cast<std::size_t>(i) < chosen.size()) chosen[static_cast<std::size_t>(i)] = true;
    SrcList->clearSelection();
    for (int r = 0; r < SrcList->count(); ++r) {
        const int i = SrcList->item(r)->data(Qt::UserRole).toInt();
        if (i >= 1 && static_cast<std::size_t>(i) < chosen.size() && chosen[static_cast<std::size_t>(i)])
            SrcList->item(r)->setSelected(true);
    }
    MoveSelected(SrcList, DstList);
    SetButtons();
    emit chosen_set_changed();
}

std::vector<std::int32_t> MakeTreePage::chosen_set() const {
    std::vector<std::int32_t> members;
    members.reserve(static_cast<std::size_t>(DstList->count()));
    for (int i = 0; i < DstList->count(); ++i) members.push_back(DstList->item(i)->data(Qt::UserRole).toInt());
    return members;
}

int MakeTreePage::chosen_count() const { return DstList->count(); }

void MakeTreePage::show_set_probability(const QString& value, const QString& note) {
    Label3->setText(value);
    Label3_note->setText(note);
}

void MakeTreePage::reset_set_probability() { show_set_probability(QString(), hint()); }

int MakeTreePage::GetFirstSelection(QListWidget* list) const {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) return i;
    return -1;
}

void MakeTreePage::MoveSelected(QListWidget* list, QListWidget* items) {
    for (int i = list->count() - 1; i >= 0; --i) {
        if (!list->item(i)->isSelected()) continue;
        QListWidgetItem* item = list->takeItem(i);
        items->addItem(individual_item(item->data(Qt::UserRole).toInt()));
        delete item;
    }
}

void MakeTreePage::SetButtons() {
    IncludeBtn->setEnabled(SrcList->count() > 0);
    IncAllBtn->setEnabled(SrcList->count() > 0);
    ExcludeBtn->setEnabled(DstList->count() > 0);
    ExcAllBtn->setEnabled(DstList->count() > 0);
}

void MakeTreePage::SetItem(QListWidget* list, int index) {
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

void MakeTreePage::IncludeBtnClick() {
    const int index = GetFirstSelection(SrcList);
    MoveSelected(SrcList, DstList);
    SetItem(SrcList, index);
    emit chosen_set_changed();
}

void MakeTreePage::ExcludeBtnClick() {
    const int index = GetFirstSelection(DstList);
    MoveSelected(DstList, SrcList);
    SetItem(DstList, index);
    emit chosen_set_changed();
}

void MakeTreePage::IncAllBtnClick() {
    for (int i = 0; i < SrcList->count(); ++i)
        DstList->addItem(individual_item(SrcList->item(i)->data(Qt::UserRole).toInt()));
    SrcList->clear();
    SetItem(SrcList, 0);
    emit chosen_set_changed();
}

void MakeTreePage::ExcAllBtnClick() {
    for (int i = 0; i < DstList->count(); ++i)
        SrcList->addItem(individual_item(DstList->item(i)->data(Qt::UserRole).toInt()));
    DstList->clear();
    SetItem(DstList, 0);
    reset_set_probability();
}
