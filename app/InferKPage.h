#pragma once

#include "app/Page.h"
#include "summary/Trajectory.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

class DiagnosticsTable;
class QBarSeries;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct TraceSeries;

/// The "Infer k" page: the result file, the output folder, the trace of k and log likelihood, and the
/// posterior of k for the burn-in typed in "Burn in" with its Bayes factor.
class InferKPage : public Page {
    Q_OBJECT

  public:
    explicit InferKPage(QWidget* parent = nullptr);
    ~InferKPage() override;

    QList<ChartView*> charts() const override;

    /// "Burn in" as typed, truncated toward zero.
    std::int32_t burn_in() const;
    double burn_in_value() const;
    void set_burn_in_value(double v);
    /// The largest burn-in the field takes (the declared number of observations after an open).
    void set_burn_in_limit(std::int32_t n_obs);
    QString posterior_name() const;
    void set_separator(char sep);

    void show_file(const QString& path);
    void show_output_folder(const QString& folder);

    /// Bars of p[1..], the chart's title and, when defined, the Bayes factor's text (else the label keeps
    /// its text); `note` (empty for none) says what the user should know about them.
    void show_posterior(const std::vector<double>& p, const QString& title, const QString& bayes, const QString& note);
    /// No posterior to show: an empty chart titled `title` and a note saying why.
    void show_no_posterior(const QString& title, const QString& note);
    /// The posterior of a file not yet loaded: empty chart, the drawn title and Bayes factor.
    void reset_posterior();

    /// The trace; with several runs (`starts`: where each run begins in `points`, then the end) each run is
    /// drawn from x = 0 in its own colour and named by `run_names` in the legend and tooltips.
    void show_trace(const std::vector<TracePoint>& points, const std::vector<std::int64_t>& starts = {},
                    const QStringList& run_names = {});
    /// Each run's posterior of k (runs[r][k]) beside the pooled bars shown; fewer than two runs: only those.
    void show_run_posteriors(const std::vector<std::vector<double>>& runs, const QStringList& run_names);
    /// A warning about the runs (records above Kmax, a file shorter than its header); empty for none.
    void set_run_warning(const QString& text);
    /// The convergence diagnostics table, between the trace and the posterior.
    DiagnosticsTable* diagnostics() const { return diagnostics_; }
    /// The output set chosen: 0 legacy, 1 tidy, 2 both.
    void show_output_set(int set);
    void clear_trace();
    std::int64_t trace_points() const;
    /// A note beside the trace (the side file could not be written, say); empty for none.
    void set_trace_note(const QString& note);
    /// Shades observations 0..b - 1 of the trace, the ones the burn-in b leaves out; b <= 0 shades nothing.
    void mark_burn_in(std::int32_t b);

  signals:
    void open_clicked();
    void save_trajectory_clicked();
    void choose_output_folder_clicked();
    /// Every change of the text of "Burn in".
    void burn_in_changed();
    void refresh_clicked();
    /// The user chose another output set (0 legacy, 1 tidy, 2 both).
    void output_set_chosen(int set);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide_output_folder();

    QLabel* Label12;
    QLabel* output_folder;
    ChartView* Chart4;
    std::unique_ptr<TraceSeries> trace_;
    std::vector<TraceSeries> run_traces_;
    QMetaObject::Connection trace_zoom_;
    QComboBox* output_set;
    DiagnosticsTable* diagnostics_;
    QLabel* run_warning;
    QLineEdit* posterior_filename;
    NumericField* spin_burn_in;
    QPushButton* calc_posterior;
    ChartView* Chart2;
    QBarSeries* Series3;
    QLabel* Label_bayes;
    QLabel* trace_note;
    QLabel* posterior_note;
    QString folder_;
};
