#pragma once

#include "charts/MapView.h"
#include "pages/Page.h"

#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class Session;

/// The "Co-assignment map" page: the map of the last tree with its dendrogram, the order of its rows and
/// columns (the tree's leaves, average linkage, or the estimate's clusters), a note on what it shows (and
/// on the cells each pixel averages when zoomed out), the selection and a button that sends it to the set
/// picker of the Make Tree page.
class MapPage : public Page {
    Q_OBJECT

  public:
    explicit MapPage(Session& session, QWidget* parent = nullptr);

    QList<ChartView*> charts() const override { return {}; }
    Exportable* current_picture() const override;
    void reset_zoom() override;
    MapView* view() const { return view_; }

    void show_map(std::shared_ptr<const CoassignMap> map, std::shared_ptr<const TreeShape> tree,
                  const QStringList& names, const QString& source);
    /// No map: `why`.
    void clear_map(const QString& why);
    void set_names(const QStringList& names) { view_->set_names(names); }
    void show_progress(const QString& text);
    /// Clusters outlined (an estimate or a cut), told by `caption`; empty: none.
    void set_clusters(const std::vector<std::int32_t>& clusters, const QString& caption);

  signals:
    void send_to_picker(const std::vector<std::int32_t>& individuals);

  private:
    void update_note();

    MapView* view_;
    QLabel* source_;
    QComboBox* order_;
    QLabel* note_;
    QLabel* selection_;
    QPushButton* to_picker_;
    QString clusters_caption_;
};
