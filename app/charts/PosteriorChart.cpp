#include "charts/PosteriorChart.h"

#include "charts/Axes.h"
#include "charts/Palette.h"

#include <algorithm>
#include <cmath>

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLegend>
#include <QValueAxis>

PosteriorChart::PosteriorChart(QWidget* parent)
    : ChartView(QStringLiteral("Chart2"), starting_title(), false, parent), series_(new QBarSeries) {
    const QColor red = run_colour(0, 1);
    auto* set = new QBarSet(QString());
    set->setColor(red);
    set->setBorderColor(red.darker(150));
    set->setLabelColor(Qt::black);
    series_->setObjectName(QStringLiteral("Series3"));
    series_->append(set);
    series_->setBarWidth(0.7);
    series_->setLabelsVisible(true);
    series_->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series_->setLabelsPrecision(3);
    series_->setLabelsAngle(-90);
    QChart* c = chart();
    c->addSeries(series_);
    QValueAxis* x = integer_axis(c, Qt::AlignBottom, 10);
    x->setRange(0.5, 1.5);
    x->setTitleText(tr("k"));
    auto* y = new QValueAxis;
    y->setRange(0, 1);
    y->setLabelFormat(QStringLiteral("%.2f"));
    y->setTitleText(tr("Posterior probability"));
    c->addAxis(y, Qt::AlignLeft);
    series_->attachAxis(x);
    series_->attachAxis(y);
    set_tooltip({});
    set_export_name(QStringLiteral("posterior_k"));
    // The numbers are the pooled bars, then each run's when they stand beside them.
    QBarSeries* series = series_;
    set_data_writer([series](TableWriter& out) {
        const QList<QBarSet*> sets = series->barSets();
        QStringList header{QStringLiteral("k"), QStringLiteral("probability")};
        for (qsizetype r = 1; r < sets.size(); ++r) header.append(QStringLiteral("run_%1").arg(r));
        out.header(header);
        for (int k = 1; k < sets.constFirst()->count(); ++k) {
            out.cell(k);
            for (const QBarSet* set : sets) out.cell(set->at(k));
            out.end_row();
        }
    });
}

QString PosteriorChart::title_for(std::int32_t burn_in) {
    return tr("Posterior distribution of k (burn in = %1 )").arg(burn_in);
}

QString PosteriorChart::starting_title() { return starting_title(1000); }

QString PosteriorChart::starting_title(std::int32_t burn_in) {
    return tr("Posterior distribution of k (burn in = %1)").arg(burn_in);
}

void PosteriorChart::show_posterior(const std::vector<double>& p, const std::vector<std::vector<double>>& runs,
                                    const QStringList& run_names) {
    p_ = p;
    runs_ = runs;
    names_ = run_names;
    while (series_->count() > 1) series_->remove(series_->barSets().constLast());
    QBarSet* pooled = series_->barSets().constFirst();
    const int last = std::min<int>(static_cast<int>(p.size()) - 1, max_charted_k);
    // Bars stand at the index of their value on a value axis; index 0 (k = 0) stays outside the range shown.
    QList<qreal> values;
    values.reserve(last + 1);
    values.append(0);
    double top = 0;
    for (int k = 1; k <= last; ++k) {
        values.append(p[static_cast<std::size_t>(k)]);
        top = std::max(top, p[static_cast<std::size_t>(k)]);
    }
    ::reset_zoom(chart());
    pooled->remove(0, pooled->count());
    if (last >= 1) pooled->append(values);
    // A figure ends its k axis after the last k drawn with a bar; the window shows every k of the run.
    int shown_last = std::max(last, 1);
    if (for_file()) {
        int drawn = 1;
        for (int k = 1; k <= last; ++k) {
            bool any = p[static_cast<std::size_t>(k)] > 0;
            for (const auto& run : runs) any = any || (static_cast<std::size_t>(k) < run.size() && run[k] > 0);
            if (any) drawn = k;
        }
        shown_last = std::min(shown_last, drawn + 1);
    }
    set_fitted_range(attached_axis(series_, Qt::Horizontal), 0.5, shown_last + 0.5);
    // Room above the tallest bar for its value, written upright above it.
    QValueAxis* y = attached_axis(series_, Qt::Vertical);
    // The axis ends at the first round step above it, with a tick at each step (at most 5 intervals).
    const double room = top > 0 ? top * 1.3 : 1.0;
    const double step = round_step(room, 5);
    const double steps = std::max(1.0, std::ceil(room / step - 1e-9));
    y->setRange(0, steps * step);
    y->setTickCount(static_cast<int>(steps) + 1);

    const bool several = runs.size() > 1;
    // The pool is red like a single run's bars; beside runs drawn in their colours it turns dark grey.
    const QColor pooled_colour = several ? QColor(70, 70, 70) : run_colour(0, 1);
    pooled->setColor(pooled_colour);
    pooled->setBorderColor(pooled_colour.darker(150));
    pooled->setLabel(several ? tr("Pooled") : QString());
    chart()->legend()->setVisible(several);
    // Several sets side by side leave no room for the values above the bars: the tooltip gives them.
    series_->setLabelsVisible(!several);
    if (!several) {
        set_tooltip({});
        return;
    }
    for (std::size_t r = 0; r < runs.size(); ++r) {
        auto* set = new QBarSet(tr("Run %1").arg(r + 1));
        const QColor colour = run_colour(static_cast<int>(r), static_cast<int>(runs.size()));
        set->setColor(colour);
        set->setBorderColor(colour.darker(150));
        QList<qreal> run_values;
        for (qsizetype k = 0; k < pooled->count(); ++k)
            run_values.append(
                k >= 1 && static_cast<std::size_t>(k) < runs[r].size() ? runs[r][static_cast<std::size_t>(k)] : 0.0);
        set->append(run_values);
        series_->append(set);
    }
    set_tooltip(QStringList{tr("Pooled")} + run_names);
}

void PosteriorChart::show_run_posteriors(const std::vector<std::vector<double>>& runs, const QStringList& run_names) {
    const std::vector<double> pooled = p_;
    show_posterior(pooled, runs, run_names);
}

std::vector<double> PosteriorChart::bars() const {
    const QBarSet* set = series_->barSets().constFirst();
    std::vector<double> out;
    for (int i = 1; i < set->count(); ++i) out.push_back(set->at(i));
    return out;
}

void PosteriorChart::set_tooltip(const QStringList& set_names) {
    QBarSeries* series = series_;
    set_value_text([series, set_names](QPointF at) {
        const QList<QBarSet*> sets = series->barSets();
        const double k = std::round(at.x());
        if (sets.isEmpty() || k < 1 || k >= static_cast<double>(sets.constFirst()->count())) return QString();
        const auto i = static_cast<qsizetype>(k);
        if (sets.size() == 1)
            return tr("k = %1\nposterior probability = %2").arg(i).arg(value_text(sets.constFirst()->at(i)));
        QStringList lines{tr("k = %1, posterior probability").arg(i)};
        for (qsizetype s = 0; s < sets.size(); ++s)
            lines.append(
                QStringLiteral("%1: %2").arg(set_names.value(s, sets[s]->label())).arg(sets[s]->at(i), 0, 'g', 6));
        return lines.join(QLatin1Char('\n'));
    });
}

std::unique_ptr<Exportable> PosteriorChart::figure(const FigureOptions& options) const {
    auto chart = std::make_unique<PosteriorChart>();
    chart->begin_figure(options);
    chart->set_title(title());
    chart->show_posterior(p_, runs_, names_);
    chart->finish_figure();
    return chart;
}
