#pragma once

#include "app/ConvergenceJobs.h"
#include "app/Page.h"

#include <QStringList>

class QLabel;
class QPushButton;
class QTableWidget;

/// The "Convergence" page: the runs open (add, remove) with their draws and means, and the autocorrelation
/// of k and of the log likelihood, one curve per run.
class ConvergencePage : public Page {
    Q_OBJECT

  public:
    explicit ConvergencePage(QWidget* parent = nullptr);

    QList<ChartView*> charts() const override;

    /// The runs open, by their files' names; nothing open when empty.
    void show_runs(const QStringList& files);
    /// Row of the run chosen in the list (from 0), -1 when none is.
    int selected_run() const;
    /// The runs' means and autocorrelations; `flagged`: how many diagnostics the Infer k page flags.
    void show_diagnostics(const ConvergenceResult& result, const QStringList& run_names, int flagged);
    /// Nothing computed (yet): empty tables and charts, `note` saying why.
    void clear_diagnostics(const QString& note);

  signals:
    void add_run_clicked();
    void remove_run_clicked();

  private:
    void update_buttons();

    QTableWidget* run_table;
    QPushButton* remove_run;
    QLabel* diagnostics_note;
    ChartView* acf_k;
    ChartView* acf_log_likelihood;
};
