#pragma once

#include "app/Jobs.h"
#include "app/Page.h"

#include <cstdint>
#include <vector>

#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QScatterSeries;

/// The "Make Tree" page: the k range and output names of the tree, its progress, the levels of its merges,
/// the chart of one individual's co-assignment with every individual, and the set picker (two lists of
/// individuals, four buttons that move them, and the co-assignment probability of the chosen set).
class MakeTreePage : public Page {
    Q_OBJECT

  public:
    explicit MakeTreePage(QWidget* parent = nullptr);

    QList<ChartView*> charts() const override;

    double kmin_value() const;
    double kmax_value() const;
    void set_k_values(double kmin, double kmax);
    /// "For k =" and "To k =" as typed, truncated toward zero.
    std::int32_t k_from() const;
    std::int32_t k_to() const;
    QString tree_name() const;
    QString heights_name() const;
    QString clusters_name() const;
    QString pairwise_name() const;
    void set_separator(char sep);

    void set_make_tree_enabled(bool on);
    /// A tree is being made: "Constructing tree", the bar at 0.
    void show_tree_started();
    void show_tree_progress(const JobProgress& progress);
    /// A finished tree of `n_indivs` individuals: the levels of its merges, `source` (what it was made
    /// from) and "Done !".
    void show_tree(const std::vector<double>& levels, std::int32_t n_indivs, const QString& source);
    /// The command ended without a tree: `why` where the progress is told, the bar back at 0.
    void show_tree_stopped(const QString& why);
    /// No tree for the file now open; `source` says so.
    void clear_tree(const QString& source);

    /// Fills the drop-down list and the left-hand list with 1..n, empties the chosen set and sets the
    /// four buttons by what their lists hold.
    void fill_individuals(std::int32_t n);
    /// Names of the individuals (names[i - 1] names individual i) shown in the lists and the individual's
    /// chart instead of their numbers; empty: the numbers.
    void set_names(const QStringList& names);
    void show_individual(std::int32_t n, const std::vector<double>& values);
    /// The chart of individual n without points: `note` says why.
    void show_individual_note(std::int32_t n, const QString& note);
    /// Colours the individual chart's points by cluster[m - 1] (an estimate), now and for every individual
    /// charted after; empty: plain red.
    void set_point_clusters(const std::vector<std::int32_t>& cluster);
    /// Moves these individuals (numbers) to the chosen set, the others back to the left-hand list.
    void choose(const std::vector<std::int32_t>& individuals);
    /// The drawn title, no points, no note.
    void reset_individual();

    std::vector<std::int32_t> chosen_set() const;
    int chosen_count() const;
    void show_set_probability(const QString& value, const QString& note);
    /// The probability label empty and the hint on how to choose a set.
    void reset_set_probability();

    // The set picker, as the window's handlers of old.
    int GetFirstSelection(QListWidget* list) const;
    void MoveSelected(QListWidget* list, QListWidget* items);
    QString individual_label(std::int32_t i) const;
    QString individual_title_of(std::int32_t n) const;
    QListWidgetItem* individual_item(std::int32_t i) const;
    void SetButtons();
    void SetItem(QListWidget* list, int index);

  public slots:
    void IncludeBtnClick();
    void ExcludeBtnClick();
    void IncAllBtnClick();
    void ExcAllBtnClick();

  signals:
    void make_tree_clicked();
    void individual_picked(std::int32_t n);
    /// After ">", "<" and ">>" have moved individuals.
    void chosen_set_changed();

  private:
    QLabel* tree_source;
    QPushButton* Button1;
    QLabel* Label10;
    QProgressBar* ProgressBar1;
    QLabel* tree_stage;
    NumericField* kmin;
    NumericField* kmax;
    QLineEdit* Edit2;
    QLineEdit* problevels_filename;
    QLineEdit* cluster_filename;
    QLineEdit* pairwise_co_assi_probs_filename;
    ChartView* Chart1;
    QLineSeries* Series1;
    QComboBox* list_indiv;
    ChartView* Chart3;
    QScatterSeries* Series4;
    QStringList names_;
    QListWidget* SrcList;
    QPushButton* IncludeBtn;
    QPushButton* ExcludeBtn;
    QPushButton* IncAllBtn;
    QPushButton* ExcAllBtn;
    QListWidget* DstList;
    QLabel* Label3;
    QLabel* Label3_note;
    std::vector<std::int32_t> point_clusters_;
};
