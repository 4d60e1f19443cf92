#pragma once

#include "app/Dialogs.h"
#include "app/charts.h"
#include "sample/Diagnostics.h"
#include "sample/RunState.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <QMainWindow>

class NumericField;
class QBarSeries;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QProgressBar;
class QPushButton;
class QScatterSeries;
class QTabWidget;

/// The main window: both tab pages with their controls and charts, and the state of the open run.
/// Controls carry their names as object names; handlers are named after their control and event.
class TForm1 : public QMainWindow {
    Q_OBJECT

  public:
    explicit TForm1(std::unique_ptr<Dialogs> dialogs, QWidget* parent = nullptr);
    ~TForm1() override;

    Dialogs& dialogs() { return *dialogs_; }
    const RunState& run() const { return run_; }
    /// The open command after the file has been chosen.
    void open_result_file(const QString& path);
    /// Shows the error box for an exception that ended a command, with the notices that command left.
    void show_error(const QString& what);

    // Infer k
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QLabel* Label11;
    QLabel* Label12;
    QPushButton* Button2;
    QChartView* Chart4;
    QLineSeries* Series5;
    QLineSeries* Series6;
    QPushButton* Button3;
    QPushButton* Button4;
    QLabel* Label5;
    QLineEdit* posterior_filename;
    QLabel* Label4;
    NumericField* spin_burn_in;
    QPushButton* calc_posterior;
    QChartView* Chart2;
    QBarSeries* Series3;
    QPushButton* Button6;
    QLabel* Label8;
    QLabel* Label_bayes;

    // Make Tree
    QWidget* TabSheet2;
    QPushButton* Button1;
    QLabel* Label10;
    QProgressBar* ProgressBar1;
    QPushButton* Button5;
    QLabel* Label1;
    NumericField* kmin;
    QLabel* Label2;
    NumericField* kmax;
    QLabel* Label6;
    QLineEdit* Edit2;
    QLabel* Label9;
    QLineEdit* problevels_filename;
    QLabel* Label16;
    QLineEdit* cluster_filename;
    QLabel* Label17;
    QLineEdit* pairwise_co_assi_probs_filename;
    QChartView* Chart1;
    QLineSeries* Series1;
    QLabel* Label7;
    QComboBox* list_indiv;
    QChartView* Chart3;
    QScatterSeries* Series4;
    QPushButton* Button7;
    QListWidget* SrcList;
    QPushButton* IncludeBtn;
    QPushButton* ExcludeBtn;
    QPushButton* IncAllBtn;
    QPushButton* ExcAllBtn;
    QLabel* Label15;
    QListWidget* DstList;
    QLabel* Label14;
    QLabel* Label3;
    /// Says which numbers of the chosen set were left out of the last set query, or why there was none.
    QLabel* Label3_note;

  public slots:
    void FormCreate();
    void Button2Click();
    void spin_burn_inChange();
    void calc_posteriorClick();
    void Button4Click();
    void PageControl1Change(int index);
    void Button3Click();
    void Button6Click();
    void Button5Click();
    void Button7Click();
    void list_indivChange();
    void IncludeBtnClick();
    void ExcludeBtnClick();
    void IncAllBtnClick();
    void ExcAllBtnClick();
    void Button1Click();

    int GetFirstSelection(QListWidget* list) const;
    void MoveSelected(QListWidget* list, QListWidget* items);
    void SetButtons();
    void SetItem(QListWidget* list, int index);
    void show_set_co_assi_prob();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    /// Hands the notices of a command to the error box when an exception ends that command.
    class KeepNoticesOnError {
      public:
        KeepNoticesOnError(Diagnostics& diag, std::vector<Notice>& target);
        ~KeepNoticesOnError();
        KeepNoticesOnError(const KeepNoticesOnError&) = delete;
        KeepNoticesOnError& operator=(const KeepNoticesOnError&) = delete;

      private:
        Diagnostics& diag_;
        std::vector<Notice>& target_;
        int uncaught_;
    };

    void build_infer_k_page();
    void build_make_tree_page();
    RunParameters read_run_parameters(const QString& path) const;
    void write_posterior(std::int32_t b, Diagnostics& diag);
    bool load_trace(Diagnostics& diag);
    void clear_trace();
    void fill_individuals(QListWidget* list) const;
    void notify_user(const QString& text);
    void show_notices(Diagnostics& diag, QMessageBox::Icon icon, const QString& intro = QString());
    void refresh_separator();
    void FormClose();

    std::unique_ptr<Dialogs> dialogs_;
    RunState run_;
    TraceSeries trace_;
    std::vector<Notice> error_notices_;
    bool tree_running_ = false;
    bool close_requested_ = false;
};
