#include "pages/MapPage.h"

#include "session/Session.h"

#include <cmath>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

MapPage::MapPage(Session& session, QWidget* parent) : Page(parent) {
    setObjectName(QStringLiteral("TabSheetMap"));
    source_ = add_wrapped_label("map_source", QString(), {8, 4, 600, 30}, {0, 0, 1, 0});
    add_label("map_order_label", tr("Order:"), {612, 12, 34, 13}, {1, 0, 0, 0});
    order_ = new QComboBox(this);
    order_->setObjectName(QStringLiteral("map_order"));
    order_->addItem(tr("Tree"), static_cast<int>(MapOrder::tree));
    order_->addItem(tr("Average linkage"), static_cast<int>(MapOrder::average));
    order_->addItem(tr("Estimate"), static_cast<int>(MapOrder::estimate));
    order_->setCurrentIndex(order_->findData(static_cast<int>(session.map_order())));
    order_->setToolTip(
        tr("Tree: the leaves of the tree of Make Tree; Average linkage: individuals that are often together "
           "stand together; Estimate: the estimate's clusters one after the other (average linkage until an "
           "estimate is made)"));
    anchors()->add(order_, {648, 8, 126, 22}, {1, 0, 0, 0});
    to_picker_ = add_button("map_to_picker", tr("Send to Set Picker"), {780, 8, 120, 25}, {1, 0, 0, 0});
    to_picker_->setToolTip(tr("Puts the selected individuals in the chosen set of the Make Tree page"));
    note_ = add_wrapped_label("map_note", QString(), {8, 36, 600, 30}, {0, 0, 1, 0});
    selection_ = add_wrapped_label("map_selection", QString(), {620, 36, 280, 30}, {1, 0, 0, 0});
    view_ = new MapView(this);
    anchors()->add(view_, {4, 70, 908, 595}, {0, 0, 1, 1});
    connect(view_, &MapView::export_requested, this, &Page::export_requested);
    connect(view_, &MapView::export_data_requested, this, &Page::export_data_requested);
    connect(view_, &MapView::view_changed, this, &MapPage::update_note);
    connect(view_, &MapView::selection_changed, this, [this] {
        const std::vector<std::int32_t> chosen = view_->selected_individuals();
        to_picker_->setEnabled(!chosen.empty());
        selection_->setText(chosen.empty()
                                ? tr("Click a cell or drag across rows to select individuals.")
                                : tr("%n individual(s) selected.", nullptr, static_cast<int>(chosen.size())));
    });
    const auto send = [this] { emit send_to_picker(view_->selected_individuals()); };
    connect(view_, &MapView::send_to_picker_requested, this, send);
    connect(to_picker_, &QPushButton::clicked, this, send);
    clear_map(
        tr("Make a tree on the Make Tree page: the map shows the co-assignment probabilities over the "
           "tree's draws, in the order of its leaves."));

    connect(&session, &Session::tree_forgotten, this, &MapPage::clear_map);
    connect(&session, &Session::map_cleared, this, &MapPage::clear_map);
    connect(&session, &Session::map_progress, this, &MapPage::show_progress);
    connect(&session, &Session::map_ready, this, &MapPage::show_map);
    connect(order_, &QComboBox::currentIndexChanged, this,
            [this, &session] { session.set_map_order(static_cast<MapOrder>(order_->currentData().toInt())); });
    connect(&session, &Session::clusters_changed, this, &MapPage::set_clusters);
    connect(&session, &Session::names_changed, this, &MapPage::set_names);
}

Exportable* MapPage::current_picture() const { return view_->has_map() ? view_ : nullptr; }

void MapPage::reset_zoom() { view_->reset_zoom(); }

void MapPage::show_map(std::shared_ptr<const CoassignMap> map, std::shared_ptr<const TreeShape> tree,
                       const QStringList& names, const QString& source) {
    source_->setText(source);
    view_->set_map(std::move(map), std::move(tree), names, map_title());
    clusters_caption_.clear();
    update_note();
    emit exports_changed();
}

void MapPage::clear_map(const QString& why) {
    source_->setText(why);
    view_->clear();
    clusters_caption_.clear();
    update_note();
    emit exports_changed();
}

void MapPage::show_progress(const QString& text) { note_->setText(text); }

void MapPage::set_clusters(const std::vector<std::int32_t>& clusters, const QString& caption) {
    view_->set_clusters(clusters);
    clusters_caption_ = caption;
    update_note();
}

void MapPage::update_note() {
    if (!view_->has_map()) {
        note_->clear();
        return;
    }
    const CoassignMap::Grid& g = view_->shown_grid();
    const QRectF v = view_->view();
    QString text = g.block > 1
                       ? tr("More individuals than pixels: each pixel shows the mean of %1 \u00d7 %1 cells "
                            "(%2 individuals shown). Zoom in to see single pairs.")
                             .arg(g.block)
                             .arg(static_cast<qint64>(std::lround(v.width())))
                       : tr("One cell a pair (%1 individuals shown).").arg(static_cast<qint64>(std::lround(v.width())));
    if (view_->map_area_layout().row_names.isEmpty())
        text += QLatin1Char(' ') + tr("Zoom in until the rows have room to see the individuals' names.");
    if (!clusters_caption_.isEmpty()) text += QLatin1Char(' ') + clusters_caption_;
    note_->setText(text);
}
