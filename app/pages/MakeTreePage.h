#pragma once

#include "jobs/JobRunner.h"
#include "pages/Page.h"

#include <cstdint>
#include <vector>

#include <QStringList>

class IndividualChart;
class LevelsChart;
class QComboBox;
class Session;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;

/// The "Make Tree" page: the k range and output names of the tree, its progress, the levels of its merges,
/// the chart of one individual's co-assignment with every individual, and the set picker (two lists of
/// individuals, four buttons that move them, and the co-assignment probability of the chosen set).
class MakeTreePage : public Page {
    Q_OBJECT

  public:
    explicit MakeTreePage(Session& session, QWidget* parent = nullptr);

    QList<ChartView*> charts() const override;

    double kmin_value() const;
    double kmax_value() const;
    void set_k_values(double kmin, double kmax);
    void set_separator(char sep);

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
    /// Moves these individuals (numbers) to the chosen set, the others back to the left-hand list.
    void choose(const std::vector<std::int32_t>& individuals);

    std::vector<std::int32_t> chosen_set() const;
    int chosen_count() const;
    void show_set_probability(const QString& value, const QString& note);
    /// The probability label empty and the hint on how to choose a set.
    void reset_set_probability();

    // The set picker, as the window's handlers of old.
    int GetFirstSelection(QListWidget* list) const;
    void MoveSelected(QListWidget* list, QListWidget* items);
    QString individual_label(std::int32_t i) const;
    QListWidgetItem* individual_item(std::int32_t i) const;
    void SetButtons();
    void SetItem(QListWidget* list, int index);

  public slots:
    void IncludeBtnClick();
    void ExcludeBtnClick();
    void IncAllBtnClick();
    void ExcAllBtnClick();

  signals:
    /// After ">", "<" and ">>" have moved individuals.
    void chosen_set_changed();

  private:
    /// Hands the k range and the output names to the session, as they are now.
    void push_controls();
    void show_set_probability_of_chosen();

    Session& session_;
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
    LevelsChart* Chart1;
    QComboBox* list_indiv;
    IndividualChart* Chart3;
    QStringList names_;
    QListWidget* SrcList;
    QPushButton* IncludeBtn;
    QPushButton* ExcludeBtn;
    QPushButton* IncAllBtn;
    QPushButton* ExcAllBtn;
    QListWidget* DstList;
    QLabel* Label3;
    QLabel* Label3_note;
};
