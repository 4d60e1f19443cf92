#pragma once

#include "jobs/ConvergenceJob.h"
#include "pages/Page.h"

#include <QStringList>

class AutocorrelationChart;
class QLabel;
class Session;
class QPushButton;
class QTableWidget;

/// The "Convergence" page: the runs open (add, remove) with their draws and means, and the autocorrelation
/// of k and of the log likelihood, one curve per run.
class ConvergencePage : public Page {
    Q_OBJECT

  public:
    explicit ConvergencePage(Session& session, QWidget* parent = nullptr);

    QList<ChartView*> charts() const override;

    /// The runs open, by their files' names; nothing open when empty.
    void show_runs(const QStringList& files);
    /// Row of the run chosen in the list (from 0), -1 when none is.
    int selected_run() const;
    /// The runs' means and autocorrelations.
    void show_diagnostics(const ConvergenceResult& result, const QStringList& run_names);
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
    AutocorrelationChart* acf_k;
    AutocorrelationChart* acf_log_likelihood;
};
