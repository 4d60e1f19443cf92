#include "app/Clustering.h"
#include "app/NumericField.h"
#include "sample/TextFormat.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace {

/// Runs a function when the scope ends, however it ends.
template <typename F>
class AtScopeEnd {
  public:
    explicit AtScopeEnd(F f) : f_(std::move(f)) {}
    ~AtScopeEnd() { f_(); }
    AtScopeEnd(const AtScopeEnd&) = delete;
    AtScopeEnd& operator=(const AtScopeEnd&) = delete;

  private:
    F f_;
};

}  // namespace

void TForm1::Button1Click() {
    if (tree_running_) {
        notify_user(tr("A tree is being made already."));
        return;
    }
    statusBar()->clearMessage();
    if (!run_.store) {
        dialogs_->message(this, QMessageBox::Warning,
                          tr("There is no run to make a tree from: open a result file first."));
        return;
    }
    if (!run_.trace_stale) ::clear_trace(trace_);
    run_.trace_stale = true;
    list_indiv->clear();
    SrcList->clear();
    DstList->clear();
    QStringList numbers;
    numbers.reserve(run_.header.n_indivs);
    for (std::int32_t i = 1; i <= run_.header.n_indivs; ++i) numbers.append(QString::number(i));
    SrcList->addItems(numbers);
    list_indiv->addItems(numbers);
    list_indiv->setCurrentIndex(-1);
    fill_levels(Series1, {});
    const auto on_progress = [this](TreeStage stage, std::int64_t done, std::int64_t total) {
        if (stage != TreeStage::merges) return;
        if (done == 0) {
            Label10->setText(tr("Constructing tree"));
            Label10->adjustSize();
            // A bar whose maximum equals its minimum would show a busy animation for good: with no merge step
            // (one individual) the bar is simply full.
            ProgressBar1->setRange(0, static_cast<int>(std::max<std::int64_t>(total, 1)));
            ProgressBar1->setValue(total > 0 ? 0 : 1);
            return;
        }
        ProgressBar1->setValue(static_cast<int>(done));
        QCoreApplication::processEvents();
    };
    RunParameters params;
    params.burn_in = run_.burn_in;
    params.k_from = run_.k_from;
    params.k_to = run_.k_to;
    params.pairwise_path = run_.pairwise_path;
    params.tree_path = run_.tree_path;
    params.heights_path = run_.heights_path;
    params.clusters_path = run_.clusters_path;

    // While the merge loop lets events through, nothing may replace the store, release it or write the
    // same files: the open and make-tree buttons are off, and closing waits for the end of the command.
    tree_running_ = true;
    Button1->setEnabled(false);
    Button2->setEnabled(false);
    const AtScopeEnd done([this] {
        tree_running_ = false;
        refresh_separator();
        Button1->setEnabled(true);
        Button2->setEnabled(true);
        if (close_requested_) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });

    Diagnostics diag(&std::cout);
    MakeTreeResult result;
    {
        KeepNoticesOnError keep(diag, error_notices_);
        result = make_tree(run_.store.get(), params, diag, on_progress);
    }
    if (result.status != MakeTreeResult::Status::no_run) {
        run_.k_from = result.used.k_from;
        run_.k_to = result.used.k_to;
    }
    if (result.tree_file_written) set_decimal_separator('.');
    if (close_requested_) return;
    if (result.status != MakeTreeResult::Status::done) {
        dialogs_->message(this, QMessageBox::Warning, QString::fromStdString(result.message));
        return;
    }
    fill_levels(Series1, result.levels);
    if (!result.not_written.empty()) {
        QStringList files;
        for (const std::string& f : result.not_written) files.append(QString::fromStdString(f));
        QString text = tr("These files could not be written: %1.").arg(files.join(QStringLiteral(", ")));
        for (const Notice& n : diag.take()) text += QLatin1Char('\n') + QString::fromStdString(n.text);
        dialogs_->message(this, QMessageBox::Warning, text);
    }
    dialogs_->message(this, QMessageBox::Information, tr("Done !"));
}
