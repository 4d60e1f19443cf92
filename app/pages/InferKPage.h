#pragma once

#include "pages/Page.h"

#include <cstdint>

#include <QString>

class DiagnosticsTable;
class PosteriorChart;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Session;
class TraceChart;
struct OpenedView;
struct PosteriorView;

/// The "Infer k" page: the result file, the output folder, the trace of k and log likelihood, the
/// convergence diagnostics, and the posterior of k for the burn-in typed in "Burn in" with its Bayes factor.
class InferKPage : public Page {
    Q_OBJECT

  public:
    explicit InferKPage(Session& session, QWidget* parent = nullptr);

    QList<ChartView*> charts() const override;
    void set_current(bool current) override;

    /// "Burn in" as typed, and as a number; the window remembers it and restores it here (the empty
    /// posterior chart then names that burn-in).
    double burn_in_value() const;
    void set_burn_in_value(double v);
    /// The output set chosen: 0 legacy, 1 tidy, 2 both.
    void show_output_set(int set);
    void show_output_folder(const QString& folder);
    /// True while the trace must be drawn again when the page is shown (a tree was made meanwhile).
    bool trace_stale() const { return trace_stale_; }
    qsizetype trace_points() const;
    DiagnosticsTable* diagnostics() const { return diagnostics_; }

  signals:
    void open_clicked();
    void save_trajectory_clicked();
    void choose_output_folder_clicked();
    /// The user chose another output set (0 legacy, 1 tidy, 2 both).
    void output_set_chosen(int set);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide_output_folder();
    void show_opened(const OpenedView& view);
    void show_posterior(const PosteriorView& view);
    void show_trace();
    /// Before any run is open the posterior chart's title names the burn-in typed or restored.
    void show_starting_title();

    Session& session_;
    bool trace_stale_ = true;
    QLabel* file_label_;
    QLabel* output_folder_;
    TraceChart* trace_;
    QComboBox* output_set_;
    DiagnosticsTable* diagnostics_;
    QLabel* run_warning_;
    QLineEdit* posterior_name_;
    NumericField* burn_in_;
    QPushButton* refresh_;
    PosteriorChart* posterior_;
    QLabel* bayes_;
    QLabel* bayes_meaning_;
    QLabel* trace_note_;
    QLabel* posterior_note_;
    QString folder_;
};
