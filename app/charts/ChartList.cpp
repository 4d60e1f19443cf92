#include "charts/ChartList.h"

#include "charts/AutocorrelationChart.h"
#include "charts/IndividualChart.h"
#include "charts/LevelsChart.h"
#include "charts/MapDrawing.h"
#include "charts/MapView.h"
#include "charts/MembershipDrawing.h"
#include "charts/PosteriorChart.h"
#include "charts/TraceChart.h"

#include <QPainter>

namespace {

/// A chart of kind Chart made a figure, filled by `fill` and finished.
template <typename Chart, typename Fill, typename... Args>
std::unique_ptr<Chart> figure_of(const FigureOptions& options, Fill fill, Args... args) {
    auto chart = std::make_unique<Chart>(args...);
    chart->begin_figure(options);
    fill(*chart);
    chart->finish_figure();
    return chart;
}

/// Both autocorrelation charts of the Convergence page, side by side in one picture; its numbers are
/// those of the k chart.
class AutocorrelationPair : public Exportable {
  public:
    AutocorrelationPair(std::unique_ptr<ChartView> k, std::unique_ptr<ChartView> ll)
        : k_(std::move(k)), ll_(std::move(ll)) {}
    void render_picture(QPainter& painter, const QRectF& target, QSize layout) override {
        const QSize half(layout.width() / 2, layout.height());
        const double w = target.width() / 2;
        k_->render_picture(painter, QRectF(target.left(), target.top(), w, target.height()), half);
        ll_->render_picture(painter, QRectF(target.left() + w, target.top(), w, target.height()), half);
    }
    void write_data(TableWriter& out) const override { k_->write_data(out); }
    QString export_name() const override { return QStringLiteral("autocorrelation"); }

  private:
    std::unique_ptr<ChartView> k_;
    std::unique_ptr<ChartView> ll_;
};

std::unique_ptr<Exportable> trace(const ChartData& d, const FigureOptions& o) {
    return figure_of<TraceChart>(o, [&](TraceChart& c) {
        c.show_trace(d.trace, d.run_starts, d.run_names);
        c.mark_burn_in(d.burn_in);
    });
}

std::unique_ptr<Exportable> posterior(const ChartData& d, const FigureOptions& o) {
    return figure_of<PosteriorChart>(o, [&](PosteriorChart& c) {
        c.set_title(PosteriorChart::title_for(d.burn_in));
        c.show_posterior(d.posterior, d.run_posteriors, d.run_names);
    });
}

std::unique_ptr<Exportable> autocorrelation(const ChartData& d, const FigureOptions& o) {
    auto k = figure_of<AutocorrelationChart>(
        o, [&](AutocorrelationChart& c) { c.show_curves(d.acf_k, d.run_names); }, false);
    auto ll = figure_of<AutocorrelationChart>(
        o, [&](AutocorrelationChart& c) { c.show_curves(d.acf_log_likelihood, d.run_names); }, true);
    return std::make_unique<AutocorrelationPair>(std::move(k), std::move(ll));
}

std::unique_ptr<Exportable> levels(const ChartData& d, const FigureOptions& o) {
    return figure_of<LevelsChart>(o, [&](LevelsChart& c) { c.show_levels(d.levels, d.draws); });
}

std::unique_ptr<Exportable> individual(const ChartData& d, const FigureOptions& o) {
    return figure_of<IndividualChart>(o, [&](IndividualChart& c) {
        c.set_names(d.names);
        c.set_clusters(d.clusters);
        c.show_individual(d.individual, d.individual_values);
    });
}

QString title_of(const FigureOptions& o, const QString& own) {
    if (!o.title) return QString();
    return o.title_text.isEmpty() ? own : o.title_text;
}

std::unique_ptr<Exportable> heatmap(const ChartData& d, const FigureOptions& o) {
    MapPicture picture;
    picture.map = d.map.get();
    picture.tree = d.tree.get();
    picture.names = d.names;
    picture.clusters = d.clusters;
    picture.title = title_of(o, map_title());
    picture.font_px = figure_pixels(o.font_pt);
    picture.compact = o.compact;
    auto kept = std::make_unique<KeptPicture>();
    kept->map = d.map;
    kept->tree = d.tree;
    kept->picture = map_picture(picture);
    return kept;
}

std::unique_ptr<Exportable> dendrogram(const ChartData& d, const FigureOptions& o) {
    return dendrogram_picture(*d.tree, d.names, d.clusters, title_of(o, dendrogram_title()), figure_pixels(o.font_pt));
}

std::unique_ptr<Exportable> membership(const ChartData& d, const FigureOptions& o) {
    return membership_picture(MembershipPicture{d.membership, d.membership_order, d.cluster_order, d.names, d.groups,
                                                title_of(o, membership_title()),
                                                static_cast<double>(figure_pixels(o.font_pt)), o.compact});
}

QStringList columns(std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* n : names) out.append(QLatin1String(n));
    return out;
}

}  // namespace

const std::vector<ChartEntry>& chart_list() {
    static const std::vector<ChartEntry> list{
        {"trace", "k and the log likelihood of every observation, the burn-in shaded", ChartNeeds::trace,
         columns({"observation", "k", "log_likelihood"}), trace},
        {"posterior", "the posterior distribution of k after the burn-in", ChartNeeds::posterior,
         columns({"k", "probability"}), posterior},
        {"autocorrelation", "the autocorrelation of k and of the log likelihood", ChartNeeds::convergence,
         columns({"run", "lag", "autocorrelation"}), autocorrelation},
        {"levels", "the probability levels of the tree's merges", ChartNeeds::tree, columns({"step", "level"}), levels},
        {"individual", "co-assignment of one individual (--indiv) with every other", ChartNeeds::individual,
         columns({"individual", "probability"}), individual},
        {"heatmap", "the pairwise co-assignment map, in the order of --order", ChartNeeds::map,
         columns({"row", "column", "row_individual", "column_individual", "probability"}), heatmap},
        {"membership", "each individual's membership in the estimated clusters", ChartNeeds::membership,
         columns({"individual", "name", "cluster"}), membership},
        {"tree", "the tree, with the individuals' names", ChartNeeds::tree,
         columns({"step", "node", "child1", "child2", "level", "height"}), dendrogram},
    };
    return list;
}

const ChartEntry* chart_named(std::string_view name) {
    for (const ChartEntry& e : chart_list())
        if (e.name == name) return &e;
    return nullptr;
}
