#pragma once

#include "charts/ChartExport.h"
#include "estimate/Estimate.h"
#include "jobs/JobRunner.h"
#include "pages/Page.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class KeyedTableModel;
class QTableView;
class Session;

/// The "Estimate" page: the point estimate of the clustering over the draws of the last tree (loss, seed,
/// Estimate / Cancel, progress, and what came out), a cut of that tree or of its average-linkage tree at a
/// level, and a table of the
/// individuals (name, estimated cluster, within, nearest cluster, nearest, doubt, cluster of the cut),
/// sorted by doubt until the user sorts by another column.
class EstimatePage : public Page {
    Q_OBJECT

  public:
    /// Table columns, in order.
    enum Column { individual, name, cluster, within, nearest_cluster, nearest, doubt, cut_cluster, columns };

    explicit EstimatePage(Session& session, QWidget* parent = nullptr);

    QList<ChartView*> charts() const override { return {}; }
    /// The table as it is shown (rows in their order, the columns that hold something), while it has rows.
    Exportable* current_numbers() const override;

    Loss loss() const;
    std::uint64_t seed() const;
    double cut_level() const;
    void set_separator(char sep);

    /// What the estimate is made from, or what it needs; `ready` enables Estimate and Cut.
    void show_source(const QString& text, bool ready);
    /// Individuals 1..n with these names (empty: their numbers); forgets the estimate and the cut.
    void reset(std::int32_t n, const QStringList& names);
    /// Names the individuals anew, keeping the estimate and the cut shown.
    void set_names(const QStringList& names);
    void show_started();
    void show_progress(const JobProgress& progress);
    /// The search ended without an estimate: `why`, the bar back at 0, and the loss and seed of the estimate
    /// still shown (if any) back in their boxes.
    void show_stopped(const QString& why);
    void show_estimate(const Estimate& estimate, const QString& summary);
    /// cut[i - 1] is the cluster of individual i at the level asked for.
    void show_cut(const std::vector<std::int32_t>& cut, const QString& summary);

    QTableView* table() const { return table_; }
    /// Individual numbers in the order the table shows them.
    std::vector<std::int32_t> shown_order() const;

  private:
    void fill_table();
    /// An empty table model with the columns' titles and tooltips.
    KeyedTableModel* make_model();
    void write_table(TableWriter& out) const;

    QLabel* source_;
    QComboBox* loss_;
    NumericField* seed_;
    QPushButton* run_;
    QPushButton* cancel_;
    QProgressBar* bar_;
    QLabel* stage_;
    QLabel* summary_;
    NumericField* level_;
    QComboBox* cut_tree_;
    QPushButton* cut_button_;
    QLabel* cut_summary_;
    QTableView* table_;
    KeyedTableModel* model_;
    bool ready_ = false;
    bool running_ = false;
    std::int32_t n_ = 0;
    QStringList names_;
    std::optional<Estimate> estimate_;
    std::vector<std::int32_t> cut_;
    std::unique_ptr<PaintedPicture> table_export_;
};
