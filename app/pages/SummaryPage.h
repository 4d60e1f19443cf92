#pragma once

#include "charts/ChartList.h"
#include "diagnostics/Convergence.h"
#include "estimate/Estimate.h"
#include "pages/Page.h"

#include <array>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QToolButton;
class Session;
struct ConvergenceResult;
struct MembershipData;
struct PosteriorView;
struct TreeView;

/// The "Summary" page: the three first answers of a run in words — whether the chains converged (with the
/// numbers that decided it), how many clusters (mode, mean, credible set, Bayes factor) and which
/// clustering (the last estimate, how sure, its doubtful individuals) — and small pictures of the trace,
/// the posterior, the membership chart and the map, each a button to the page that shows it in full.
class SummaryPage : public Page {
    Q_OBJECT

  public:
    /// The pictures, in the order they are shown.
    enum class Picture { trace, posterior, membership, map };

    explicit SummaryPage(Session& session, QWidget* parent = nullptr);

    QList<ChartView*> charts() const override { return {}; }
    void set_current(bool current) override;

    /// The texts shown, for the tests: the verdict and its numbers, k, the clustering.
    QString convergence_text() const;
    QString k_text() const;
    QString clustering_text() const;
    /// The picture's button (object names summary_trace, summary_posterior, summary_membership, summary_map).
    QToolButton* picture_button(Picture p) const { return pictures_[static_cast<std::size_t>(p)]; }

  signals:
    /// A picture was clicked: show the page that shows it.
    void picture_clicked(Picture picture);
    /// "Make Tree and Estimate": the tree with the Make Tree page's values, then the estimate with the
    /// Estimate page's loss and seed.
    void make_both_clicked();

  private:
    void opened();
    void show_convergence(const ConvergenceResult& result, const QStringList& run_labels);
    void show_agreement(const std::vector<double>& differences, std::int32_t burn_in);
    void update_verdict();
    void show_posterior(const PosteriorView& view);
    void show_tree(const TreeView& view);
    void show_estimate(const Estimate& estimate);
    void forget_clustering(const QString& why);
    void show_membership(const MembershipData& data);
    /// Draws the pictures marked stale, when the page is shown.
    void draw_pictures();
    void mark(Picture p);

    Session& session_;
    QLabel* verdict_;
    QLabel* convergence_;
    QLabel* k_;
    QLabel* clustering_;
    QPushButton* compare_runs_;
    QPushButton* make_both_;
    std::array<QToolButton*, 4> pictures_{};
    std::array<bool, 4> stale_{};

    /// What the verdict is made from: the last diagnostics and, with several runs, their agreement.
    std::optional<ChainSummary> k_summary_, ll_summary_;
    std::int32_t runs_ = 0;
    std::int32_t diagnostics_burn_in_ = -1;
    std::optional<std::vector<double>> agreement_;
    bool comparing_ = false;
    QString tree_source_;
    /// The clustering's text, and what came since it was made (following a run).
    QString clustering_shown_;
    QString made_from_fewer_;
    /// What the pictures are drawn from; the trace is kept shared until its picture is drawn.
    ChartData data_;
    std::shared_ptr<const std::vector<TracePoint>> trace_;
};
