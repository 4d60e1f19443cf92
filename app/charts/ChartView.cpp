#include "charts/ChartView.h"

#include "charts/Axes.h"

#include <algorithm>
#include <cmath>

#include <QAbstractBarSeries>
#include <QAbstractSeries>
#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QValueAxis>
#include <QWheelEvent>
#include <QXYSeries>

ChartView::ChartView(const QString& name, const QString& title, bool legend, QWidget* parent)
    : QChartView(new QChart, parent), note_(new QLabel(this)) {
    setObjectName(name);
    QChart* c = chart();
    c->setTitle(title);
    QFont title_font = c->titleFont();
    title_font.setPixelSize(12);
    title_font.setBold(false);
    c->setTitleFont(title_font);
    c->setBackgroundBrush(Qt::white);
    c->setBackgroundRoundness(0);
    c->setDropShadowEnabled(false);
    c->setPlotAreaBackgroundVisible(false);
    c->setMargins(QMargins(4, 2, 4, 2));
    c->layout()->setContentsMargins(0, 0, 0, 0);
    c->legend()->setVisible(legend);
    c->legend()->setAlignment(Qt::AlignBottom);
    setFrameShape(QFrame::NoFrame);
    setRubberBand(QChartView::RectangleRubberBand);
    // Zooms, pans and new values move the axes' labels and the shading drawn over the plot: the whole view is
    // painted again each time, so that nothing of the picture before stays behind.
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    // Files dropped on a chart open in the window, which takes the drop once the chart refuses it.
    setAcceptDrops(false);

    note_->setObjectName(name + QStringLiteral("_note"));
    note_->setWordWrap(true);
    note_->setAlignment(Qt::AlignCenter);
    note_->setAttribute(Qt::WA_TransparentForMouseEvents);
    note_->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(255, 255, 255, 220); color: #404040; "
                       "border: 1px solid #c0c0c0; padding: 4px; }"));
    note_->hide();
}

QString ChartView::title() const { return chart()->title(); }

void ChartView::set_title(const QString& title) {
    chart()->setTitle(title);
    unwrapped_title_ = QString();
}

void ChartView::set_note(const QString& note) {
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    place_note();
}

QString ChartView::note() const { return note_->text(); }

void ChartView::place_note() {
    const int w = std::max(60, std::min(width() - 16, 320));
    note_->setFixedWidth(w);
    note_->adjustSize();
    note_->move((width() - note_->width()) / 2, (height() - note_->height()) / 2);
}

void ChartView::set_shaded_range(std::optional<std::pair<double, double>> range, const QString& caption) {
    shaded_ = range;
    shaded_caption_ = caption;
    viewport()->update();
}

QPointF ChartView::value_at(QPointF view_point) const {
    const QPointF in_chart = chart()->mapFromScene(mapToScene(view_point.toPoint()));
    return chart()->mapToValue(in_chart);
}

void ChartView::zoom_about(double factor, QPointF at) {
    const QRectF plot = chart()->plotArea();
    const QPointF p = chart()->mapFromScene(mapToScene(at.toPoint()));
    if (!plot.contains(p) || factor <= 0) return;
    const QPointF from = p - (p - plot.topLeft()) / factor;
    round_ticks(chart());
    chart()->zoomIn(QRectF(from, plot.size() / factor));
}

void ChartView::reset_zoom() { ::reset_zoom(chart()); }

bool ChartView::zoomed() const { return chart()->isZoomed(); }

QMenu* ChartView::build_context_menu() {
    auto* menu = new QMenu(this);
    QAction* reset = menu->addAction(tr("Reset Zoom"), this, &ChartView::reset_zoom);
    reset->setEnabled(zoomed());
    menu->addAction(tr("Print..."), this, [this] { emit print_requested(this); });
    menu->addSeparator();
    menu->addAction(tr("Export..."), this, [this] { emit export_requested(this); })
        ->setObjectName(QStringLiteral("actionExportChart"));
    menu->addAction(tr("Export Data..."), this, [this] { emit export_data_requested(this); })
        ->setObjectName(QStringLiteral("actionExportChartData"));
    emit context_menu(menu);
    return menu;
}

void ChartView::pan_by(QPointF pixels) {
    round_ticks(chart());
    chart()->scroll(-pixels.x(), pixels.y());
}

QPointF ChartView::zoom_centre() const { return mapFromScene(chart()->mapToScene(chart()->plotArea().center())); }

void ChartView::mousePressEvent(QMouseEvent* event) {
    // The right button opens the menu; the chart view alone would zoom out on it.
    if (navigation_.press(event) || event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    if (navigation_.move(event)) {
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton || !value_text_) return;
    const QPointF in_chart = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    const QString text = chart()->plotArea().contains(in_chart) ? value_text_(value_at(event->position())) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
    }
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (navigation_.release(event) || event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    // The release of a drag zooms into its rectangle; a click zooms nowhere and leaves the ticks as they were.
    const bool was_zoomed = chart()->isZoomed();
    if (event->button() == Qt::LeftButton) round_ticks(chart());
    QChartView::mouseReleaseEvent(event);
    if (!was_zoomed && !chart()->isZoomed()) ::reset_zoom(chart());
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (navigation_.double_click(event)) {
        event->accept();
        return;
    }
    QChartView::mouseDoubleClickEvent(event);
}

void ChartView::wheelEvent(QWheelEvent* event) {
    if (navigation_.wheel(event)) {
        event->accept();
    } else {
        event->ignore();
    }
}

void ChartView::keyPressEvent(QKeyEvent* event) {
    if (navigation_.key(event)) {
        event->accept();
        return;
    }
    QChartView::keyPressEvent(event);
}

void ChartView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = build_context_menu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

QList<QChart*> ChartView::panels() const { return {chart()}; }

void ChartView::lay_out_panels(QSizeF size) { chart()->setGeometry(QRectF(QPointF(0, 0), size)); }

void ChartView::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    lay_out_panels(QSizeF(viewport()->size()));
    place_note();
}

void ChartView::drawForeground(QPainter* painter, const QRectF& rect) {
    QChartView::drawForeground(painter, rect);
    if (!shaded_ || chart()->series().isEmpty()) return;
    QAbstractSeries* series = chart()->series().constFirst();
    const double left = chart()->mapToScene(chart()->mapToPosition(QPointF(shaded_->first, 0), series)).x();
    const double right = chart()->mapToScene(chart()->mapToPosition(QPointF(shaded_->second, 0), series)).x();
    painter->save();
    const QList<QChart*> all = panels();
    for (QChart* panel : all) {
        if (!panel->isVisible()) continue;
        const QRectF plot = panel->mapRectToScene(panel->plotArea());
        const QRectF band =
            QRectF(QPointF(std::min(left, right), plot.top()), QPointF(std::max(left, right), plot.bottom()))
                .intersected(plot);
        if (band.isEmpty()) continue;
        painter->fillRect(band, QColor(90, 90, 90, 40));
        const int caption_px = for_file() ? figure_pixels(figure_options_->font_pt) : 10;
        if (panel == chart() && !shaded_caption_.isEmpty() && (for_file() || band.width() > 30)) {
            painter->setPen(QColor(70, 70, 70));
            QFont f = painter->font();
            f.setPixelSize(caption_px);
            painter->setFont(f);
            QRectF at = band.adjusted(3, 2, -2, 0);
            at.setWidth(std::max(at.width(), QFontMetricsF(f).horizontalAdvance(shaded_caption_) + 2));
            painter->drawText(at, Qt::AlignLeft | Qt::AlignTop, shaded_caption_);
        }
    }
    painter->restore();
}

void ChartView::begin_figure(const FigureOptions& options) {
    figure_options_ = options;
    setAttribute(Qt::WA_DontShowOnScreen);
    QFont font = QApplication::font();
    font.setPixelSize(figure_pixels(options.font_pt));
    setFont(font);
}

void ChartView::wrap_title(int width) {
    if (unwrapped_title_.isNull()) unwrapped_title_ = chart()->title();
    const QFontMetricsF metrics(chart()->titleFont());
    const double room = width - 24;
    const QStringList words = unwrapped_title_.split(QLatin1Char(' '));
    QStringList lines;
    QString line;
    for (const QString& word : words) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(longer) > room) {
            lines.append(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty()) lines.append(line);
    chart()->setTitle(lines.join(QStringLiteral("<br>")));
}

void ChartView::wrap_axis_titles() {
    for (QChart* panel : panels()) {
        const QRectF plot = panel->plotArea();
        for (QAbstractAxis* axis : panel->axes()) {
            if (!unwrapped_axis_titles_.contains(axis)) unwrapped_axis_titles_.insert(axis, axis->titleText());
            const QString title = unwrapped_axis_titles_.value(axis);
            const double room = axis->orientation() == Qt::Horizontal ? plot.width() : plot.height();
            const int space = static_cast<int>(title.lastIndexOf(QLatin1Char(' '), title.size() / 2 + 1));
            if (space <= 0 || QFontMetricsF(axis->titleFont()).horizontalAdvance(title) <= room) continue;
            axis->setTitleText(title.left(space) + QStringLiteral("<br>") + title.mid(space + 1));
        }
    }
}

void ChartView::finish_figure() {
    if (!figure_options_) return;
    const FigureOptions& o = *figure_options_;
    QFont text = font();
    text.setPixelSize(figure_pixels(o.font_pt));
    text.setBold(false);
    QFont heading = text;
    heading.setPixelSize(figure_pixels(o.font_pt * 1.2));
    chart()->setTitleFont(heading);
    if (!o.title) {
        set_title(QString());
    } else if (!o.title_text.isEmpty()) {
        set_title(o.title_text.toHtmlEscaped());
    }
    const QList<QChart*> all_panels = panels();
    for (QChart* c : all_panels) {
        c->legend()->setFont(text);
        const QList<QAbstractAxis*> axes = c->axes();
        for (QAbstractAxis* axis : axes) {
            axis->setLabelsFont(text);
            axis->setTitleFont(text);
        }
        const QList<QAbstractSeries*> all = c->series();
        for (QAbstractSeries* series : all) {
            if (auto* bars = qobject_cast<QAbstractBarSeries*>(series))
                for (QBarSet* set : bars->barSets()) set->setLabelFont(text);
            // Lines a little finer than on screen, as a printed figure takes them.
            if (auto* line = qobject_cast<QLineSeries*>(series)) {
                QPen pen = line->pen();
                pen.setWidthF(1.0);
                line->setPen(pen);
            }
        }
        // Room around the plot for the larger text of a figure.
        c->setMargins(figure_margins());
    }
}

void ChartView::render_picture(QPainter& painter, const QRectF& target, QSize layout) {
    // The chart is laid out again at the size asked for and put back afterwards; nothing is painted on
    // screen in between, as the event loop does not run.
    const QSize old = size();
    const auto lay_out = [this](QSize to, QSize from) {
        resize(to);
        QResizeEvent event(to, from);
        QCoreApplication::sendEvent(this, &event);
        // A view never shown does not pass its size on to the chart.
        lay_out_panels(QSizeF(to));
        for (QChart* panel : panels())
            if (panel->layout()) panel->layout()->activate();
    };
    // A figure's title breaks into lines rather than being cut, and its axes keep as many labels as their
    // room at this size takes.
    if (for_file()) wrap_title(layout.width());
    if (layout != old) lay_out(layout, old);
    if (for_file()) {
        for (QChart* panel : panels()) refit_ticks(panel);
        wrap_axis_titles();
        lay_out_panels(QSizeF(layout));
        for (QChart* panel : panels())
            if (panel->layout()) panel->layout()->activate();
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The scene is drawn straight from the chart's own rectangle, which needs no view laid out on screen;
    // the shading is drawn over it as the view draws it.
    QRectF source = chart()->sceneBoundingRect();
    for (QChart* panel : panels())
        if (panel->isVisible()) source = source.united(panel->sceneBoundingRect());
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / source.width(), target.height() / source.height());
    painter.translate(-source.topLeft());
    scene()->render(&painter, source, source, Qt::IgnoreAspectRatio);
    drawForeground(&painter, source);
    painter.restore();
    if (!note_->text().isEmpty() && note_->isVisibleTo(this)) {
        // The note is a widget over the view, which render does not draw.
        const double sx = target.width() / layout.width();
        const double sy = target.height() / layout.height();
        const QRectF box(target.left() + note_->x() * sx, target.top() + note_->y() * sy, note_->width() * sx,
                         note_->height() * sy);
        painter.setPen(QColor(0xc0, 0xc0, 0xc0));
        painter.setBrush(QColor(255, 255, 255, 220));
        painter.drawRect(box);
        painter.setPen(QColor(0x40, 0x40, 0x40));
        QFont f = note_->font();
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(note_->fontInfo().pixelSize() * sy))));
        painter.setFont(f);
        painter.drawText(box.adjusted(4 * sx, 4 * sy, -4 * sx, -4 * sy), Qt::AlignCenter | Qt::TextWordWrap,
                         note_->text());
    }
    painter.restore();
    if (layout != old) lay_out(old, layout);
}

void ChartView::write_data(TableWriter& out) const {
    if (data_writer_) {
        data_writer_(out);
        return;
    }
    out.header({QStringLiteral("series"), QStringLiteral("x"), QStringLiteral("y")});
    const QList<QAbstractSeries*> all = chart()->series();
    for (QAbstractSeries* s : all) {
        if (auto* xy = qobject_cast<QXYSeries*>(s)) {
            const QList<QPointF> points = xy->points();
            for (const QPointF& p : points) {
                out.cell(xy->name()).cell(p.x()).cell(p.y());
                out.end_row();
            }
        } else if (auto* bars = qobject_cast<QAbstractBarSeries*>(s)) {
            const QList<QBarSet*> sets = bars->barSets();
            for (QBarSet* set : sets)
                for (int i = 0; i < set->count(); ++i) {
                    out.cell(set->label()).cell(i).cell(set->at(i));
                    out.end_row();
                }
        }
    }
}
