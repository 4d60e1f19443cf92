#pragma once

#include "app/Page.h"
#include "summary/Trajectory.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>

class QBarSeries;
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

    void show_trace(const std::vector<TracePoint>& points);
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

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide_output_folder();

    QLabel* Label12;
    QLabel* output_folder;
    ChartView* Chart4;
    std::unique_ptr<TraceSeries> trace_;
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
