#include "pages/SummaryPage.h"

#include "overview/Overview.h"
#include "session/Session.h"
#include "summary/BayesFactorText.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace {

/// Runs of at most this many individuals are compared with the pool as soon as their diagnostics are in;
/// larger ones on request, as it takes a pass of pair counts over each run's draws.
constexpr std::int32_t compare_at_once_limit = 2000;

/// The picture drawn small, its text scaled down with it.
constexpr QSize thumbnail_size(208, 132);
constexpr QSize thumbnail_layout(416, 264);

QString q(const std::string& text) { return QString::fromStdString(text); }

QString number(double v, int digits = 4) {
    return std::isnan(v) ? QStringLiteral("NA") : QString::number(v, 'g', digits);
}

QFont heading_font(const QWidget* w) {
    QFont f = w->font();
    f.setBold(true);
    f.setPixelSize(13);
    return f;
}

}  // namespace

SummaryPage::SummaryPage(Session& session, QWidget* parent) : Page(parent), session_(session) {
    setObjectName(QStringLiteral("TabSheetSummary"));
    for (const auto& [name, text, y] : {std::tuple{"summary_convergence_title", tr("Convergence"), 8},
                                        std::tuple{"summary_k_title", tr("How many clusters"), 196},
                                        std::tuple{"summary_clustering_title", tr("Which clustering"), 310}})
        add_label(name, text, {8, y, 600, 18}, {0, 0, 1, 0})->setFont(heading_font(this));
    verdict_ = add_wrapped_label("summary_verdict", tr("Open a result file to see whether its chains converged."),
                                 {8, 28, 900, 20}, {0, 0, 1, 0});
    QFont verdict_font = font();
    verdict_font.setBold(true);
    verdict_->setFont(verdict_font);
    convergence_ = add_wrapped_label("summary_convergence", QString(), {8, 50, 900, 110}, {0, 0, 1, 0});
    compare_runs_ = add_button("summary_compare_runs", tr("Compare the Runs"), {8, 162, 150, 24});
    compare_runs_->setToolTip(
        tr("Counts each run's pair co-assignments and compares them with the pool's "
           "(psm_max_diff): a pass over every run's draws."));
    k_ = add_wrapped_label("summary_k", QString(), {8, 216, 900, 90}, {0, 0, 1, 0});
    clustering_ = add_wrapped_label("summary_clustering", QString(), {8, 330, 900, 120}, {0, 0, 1, 0});
    make_both_ = add_button("summary_make_both", tr("Make Tree and Estimate"), {8, 452, 180, 24});
    make_both_->setToolTip(
        tr("Makes the tree with the Make Tree page's values, then the estimate with the "
           "Estimate page's loss and seed."));
    for (QLabel* l : {convergence_, k_, clustering_, verdict_}) {
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    const std::array<std::pair<const char*, QString>, 4> pictures{
        std::pair{"summary_trace", tr("The trace: show the Infer k page")},
        std::pair{"summary_posterior", tr("The posterior of k: show the Infer k page")},
        std::pair{"summary_membership", tr("The membership chart: show the Membership page")},
        std::pair{"summary_map", tr("The co-assignment map: show the Co-assignment Map page")}};
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(pictures[i].first));
        button->setToolTip(pictures[i].second);
        button->setAutoRaise(true);
        button->setIconSize(thumbnail_size);
        button->setEnabled(false);
        anchors()->add(button, {8 + static_cast<int>(i) * 226, 486, 220, 144},
                       {static_cast<double>(i) / 4, 1, 0.25, 0});
        connect(button, &QToolButton::clicked, this, [this, i] { emit picture_clicked(static_cast<Picture>(i)); });
        pictures_[i] = button;
    }
    forget_clustering(tr("Make a tree and an estimate (or press Make Tree and Estimate) to see the clustering."));

    connect(compare_runs_, &QPushButton::clicked, this, [this] {
        comparing_ = true;
        compare_runs_->setEnabled(false);
        session_.compare_runs();
        update_verdict();
    });
    connect(make_both_, &QPushButton::clicked, this, &SummaryPage::make_both_clicked);
    connect(&session, &Session::opened_runs, this, [this] { opened(); });
    connect(&session, &Session::trace_changed, this, [this] {
        trace_ = session_.shared_trace();
        data_.run_starts = session_.run_starts();
        data_.run_names = session_.run_labels();
        mark(Picture::trace);
    });
    connect(&session, &Session::burn_in_marked, this, [this](std::int32_t b) {
        data_.burn_in = b;
        mark(Picture::trace);
    });
    connect(&session, &Session::posterior_changed, this, &SummaryPage::show_posterior);
    connect(&session, &Session::convergence_changed, this, &SummaryPage::show_convergence);
    connect(&session, &Session::runs_compared, this, &SummaryPage::show_agreement);
    connect(&session, &Session::tree_made, this, &SummaryPage::show_tree);
    connect(&session, &Session::estimate_made, this, [this](const Estimate& e, const QString&) { show_estimate(e); });
    connect(&session, &Session::tree_forgotten, this, &SummaryPage::forget_clustering);
    connect(&session, &Session::made_from_fewer, this, [this](const QString& text) {
        made_from_fewer_ = text;
        clustering_->setText(clustering_shown_ + (text.isEmpty() ? QString() : QLatin1Char('\n') + text));
    });
    connect(&session, &Session::membership_made, this, &SummaryPage::show_membership);
    connect(&session, &Session::names_changed, this, [this](const QStringList& names) { data_.names = names; });
    connect(&session, &Session::map_ready, this,
            [this](std::shared_ptr<const CoassignMap> map, std::shared_ptr<const TreeShape> tree, const QStringList&,
                   const QString&) {
                data_.map = std::move(map);
                data_.tree = std::move(tree);
                mark(Picture::map);
            });
    connect(&session, &Session::map_cleared, this, [this] {
        data_.map.reset();
        mark(Picture::map);
    });
    connect(&session, &Session::clusters_changed, this,
            [this](const std::vector<std::int32_t>& clusters, const QString&) {
                data_.clusters = clusters;
                mark(Picture::map);
            });
    connect(&session, &Session::commands_changed, this,
            [this] { make_both_->setEnabled(session_.opened() && !session_.tree_busy()); });
    make_both_->setEnabled(false);
    compare_runs_->setVisible(false);
}

void SummaryPage::set_current(bool current) {
    Page::set_current(current);
    if (current) draw_pictures();
}

QString SummaryPage::convergence_text() const { return verdict_->text() + QLatin1Char('\n') + convergence_->text(); }
QString SummaryPage::k_text() const { return k_->text(); }
QString SummaryPage::clustering_text() const { return clustering_->text(); }

void SummaryPage::opened() {
    k_summary_.reset();
    ll_summary_.reset();
    agreement_.reset();
    comparing_ = false;
    diagnostics_burn_in_ = -1;
    verdict_->setText(tr("The diagnostics are being computed."));
    convergence_->clear();
    k_->clear();
    data_ = ChartData{};
    trace_.reset();
    data_.names = session_.names();
    for (std::size_t i = 0; i < stale_.size(); ++i) mark(static_cast<Picture>(i));
}

void SummaryPage::show_convergence(const ConvergenceResult& result, const QStringList&) {
    k_summary_ = result.k;
    ll_summary_ = result.log_likelihood;
    runs_ = static_cast<std::int32_t>(result.runs.size());
    if (diagnostics_burn_in_ != result.burn_in) {
        agreement_.reset();
        comparing_ = false;
    }
    diagnostics_burn_in_ = result.burn_in;
    data_.run_posteriors.clear();
    if (runs_ > 1)
        for (const RunSummary& r : result.runs) data_.run_posteriors.push_back(r.posterior);
    mark(Picture::posterior);
    if (runs_ > 1 && !agreement_ && !comparing_ && session_.run().header.n_indivs <= compare_at_once_limit) {
        comparing_ = true;
        session_.compare_runs();
    }
    update_verdict();
}

void SummaryPage::show_agreement(const std::vector<double>& differences, std::int32_t burn_in) {
    if (burn_in != diagnostics_burn_in_) return;
    agreement_ = differences;
    comparing_ = false;
    update_verdict();
}

void SummaryPage::update_verdict() {
    if (!k_summary_ || !ll_summary_) return;
    const ConvergenceVerdict v = convergence_verdict(*k_summary_, *ll_summary_, runs_, agreement_);
    verdict_->setText(q(v.words));
    verdict_->setStyleSheet(v.kind == ConvergenceVerdict::Kind::not_yet ? QStringLiteral("color: #b35900;")
                                                                        : QStringLiteral("color: #1a7f37;"));
    QStringList lines;
    for (const std::string& why : v.reasons) lines.append(q(why) + QLatin1Char('.'));
    lines.append(tr("Held to: %1.").arg(q([&] {
        std::string all;
        for (std::size_t i = 0; i < v.numbers.size(); ++i) all += (i ? "; " : "") + v.numbers[i];
        return all;
    }())));
    if (runs_ > 1 && !agreement_)
        lines.append(comparing_ ? tr("Comparing each run's pair probabilities with the pool's…")
                                : tr("The runs' pair probabilities are not compared yet (within %1 of the pool's "
                                     "counts as agreeing): press Compare the Runs.")
                                      .arg(psm_diff_limit));
    lines.append(tr("After a burn-in of %1; R-hat at most %2, bulk- and tail-ESS at least %3.")
                     .arg(diagnostics_burn_in_)
                     .arg(rhat_limit)
                     .arg(ess_limit));
    convergence_->setText(lines.join(QLatin1Char('\n')));
    compare_runs_->setVisible(runs_ > 1 && !agreement_);
    compare_runs_->setEnabled(!comparing_);
}

void SummaryPage::show_posterior(const PosteriorView& view) {
    data_.burn_in = view.burn_in;
    if (!view.posterior) {
        data_.posterior.clear();
        k_->setText(view.note.isEmpty() ? tr("No posterior for a burn-in of %1.").arg(view.burn_in) : view.note);
        mark(Picture::posterior);
        return;
    }
    data_.posterior = view.posterior->p;
    mark(Picture::posterior);
    const KSummary s = k_summary(*view.posterior);
    const BayesFactorText bayes = bayes_factor_text(&*view.posterior, '.');
    QStringList lines;
    lines.append(tr("Posterior mode of k: %1 (probability %2); posterior mean %3.")
                     .arg(s.mode)
                     .arg(number(s.mode_probability))
                     .arg(number(s.mean)));
    lines.append(tr("95 % credible set of k: %1 (holding %2 %).")
                     .arg(q(k_set_text(s.credible_set)), number(100 * s.credible_mass, 3)));
    lines.append(tr("Bayes factor, %1: %2 (%3).").arg(q(bayes.comparison), q(bayes.value), q(bayes.verdict)));
    lines.append(tr("After a burn-in of %1.").arg(view.burn_in));
    k_->setText(lines.join(QLatin1Char('\n')));
}

void SummaryPage::show_tree(const TreeView& view) { tree_source_ = view.source; }

void SummaryPage::show_estimate(const Estimate& estimate) {
    const ClusteringSummary c = clustering_summary(estimate);
    const QStringList names = session_.names();
    QStringList doubtful;
    for (std::size_t i = 0; i < c.doubtful.size() && i < 10; ++i) {
        const std::int32_t n = c.doubtful[i];
        doubtful.append(n - 1 < names.size() ? names[n - 1] : QString::number(n));
    }
    if (c.doubtful.size() > 10) doubtful.append(QStringLiteral("…"));
    QStringList lines;
    lines.append((c.clusters == 1 ? tr("1 cluster") : tr("%1 clusters").arg(c.clusters)) +
                 tr("; expected %1 loss %2 (the best draw's %3); 95 % credible-ball radius %4 bits.")
                     .arg(QLatin1String(loss_name(c.loss)), number(c.expected_loss, 6), number(c.best_draw_loss, 6),
                          number(c.credible_ball_radius_95, 6)));
    lines.append(
        c.doubtful.empty()
            ? tr("No individual is doubtful (within − nearest below %1).").arg(doubt_limit)
            : (c.doubtful.size() == 1 ? tr("1 doubtful individual")
                                      : tr("%1 doubtful individuals").arg(c.doubtful.size())) +
                  tr(" (within − nearest below %1): %2").arg(doubt_limit).arg(doubtful.join(QStringLiteral(", "))));
    lines.append(tr("Made from %1 draws; tree: %2").arg(c.draws).arg(tree_source_));
    clustering_shown_ = lines.join(QLatin1Char('\n'));
    clustering_->setText(clustering_shown_);
}

void SummaryPage::forget_clustering(const QString& why) {
    clustering_shown_ = why;
    clustering_->setText(why);
    data_.membership.reset();
    data_.map.reset();
    data_.clusters.clear();
    mark(Picture::membership);
    mark(Picture::map);
}

void SummaryPage::show_membership(const MembershipData& data) {
    data_.membership = data.membership;
    data_.membership_order = data.order;
    data_.cluster_order = data.cluster_order;
    data_.groups = data.groups;
    mark(Picture::membership);
}

void SummaryPage::mark(Picture p) {
    stale_[static_cast<std::size_t>(p)] = true;
    if (is_current()) draw_pictures();
}

void SummaryPage::draw_pictures() {
    static constexpr std::array<std::string_view, 4> charts{"trace", "posterior", "membership", "heatmap"};
    for (std::size_t i = 0; i < charts.size(); ++i) {
        if (!stale_[i]) continue;
        stale_[i] = false;
        // The trace is copied for its picture only when the picture is drawn.
        if (i == 0) data_.trace = trace_ ? *trace_ : std::vector<TracePoint>();
        const bool have = (i == 0 && !data_.trace.empty()) || (i == 1 && !data_.posterior.empty()) ||
                          (i == 2 && data_.membership) || (i == 3 && data_.map && data_.tree);
        pictures_[i]->setEnabled(have);
        if (!have) {
            pictures_[i]->setIcon(QIcon());
            pictures_[i]->setText(tr("Nothing yet"));
            continue;
        }
        FigureOptions options;
        options.font_pt = 9;
        options.title = false;
        const std::unique_ptr<Exportable> picture = chart_named(charts[i])->build(data_, options);
        QPixmap pixmap(thumbnail_size * devicePixelRatioF());
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        pixmap.fill(Qt::white);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        picture->render_picture(painter, QRectF(QPointF(0, 0), QSizeF(thumbnail_size)), thumbnail_layout);
        painter.end();
        pictures_[i]->setIcon(QIcon(pixmap));
        pictures_[i]->setText(QString());
    }
    data_.trace.clear();
    data_.trace.shrink_to_fit();
}
