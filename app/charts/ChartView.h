#pragma once

#include "charts/ChartExport.h"
#include "charts/Navigation.h"

#include <functional>
#include <optional>

#include <QChartView>
#include <QHash>
#include <QPointF>

class QLabel;
class QMenu;

/// A flat chart on a white panel with one title line and an optional legend at the bottom, that the user
/// can zoom and pan and read values from:
/// - drag with the left button: zoom into the rectangle; the wheel, or + and -: zoom about the pointer;
/// - drag with the middle button, or with Ctrl and the left button, or the arrow keys: pan;
/// - double-click, Home or "Reset Zoom": the whole chart again;
/// - the pointer over the plot: a tooltip with the values there (see set_value_text);
/// - right-click: a menu ("Reset Zoom", "Print...", "Export...", "Export Data..."), which the window may
///   extend (context_menu).
/// A note can be laid over the plot (for an empty chart, say why), and an x interval shaded.
class ChartView : public QChartView, public Exportable, public Navigable {
    Q_OBJECT

  public:
    ChartView(const QString& name, const QString& title, bool legend, QWidget* parent = nullptr);

    QString title() const;
    void set_title(const QString& title);

    /// Text shown over the middle of the plot; empty hides it.
    void set_note(const QString& note);
    QString note() const;

    /// Shades x from `from` to `to` (axis units) across the plot, with `caption` at its top; nothing
    /// shades when empty.
    void set_shaded_range(std::optional<std::pair<double, double>> range, const QString& caption = {});
    std::optional<std::pair<double, double>> shaded_range() const { return shaded_; }

    /// The tooltip text for the point of the plot at `value` (axis units); an empty text shows no tooltip.
    void set_value_text(std::function<QString(QPointF)> text) { value_text_ = std::move(text); }
    QString value_text_at(QPointF value) const { return value_text_ ? value_text_(value) : QString(); }

    /// Whether File > Print and this chart's print button start with "Stretch to margins" on.
    bool print_stretched() const { return print_stretched_; }
    void set_print_stretched(bool on) { print_stretched_ = on; }

    /// Writes the numbers drawn (see Exportable); without one, write_data writes every point of every
    /// line or scatter series as `series,x,y` rows and every bar as `series,index,value`.
    void set_data_writer(std::function<void(TableWriter&)> writer) { data_writer_ = std::move(writer); }
    /// The name proposed for exports; the object name until one is set.
    void set_export_name(const QString& name) { export_name_ = name; }

    /// Makes this chart, new and not yet filled, a figure for a file: never on screen, laid out for the
    /// page (each chart may draw a more readable form of itself: see for_file), its text at
    /// `options.font_pt`. finish_figure, after it is filled, sets the fonts and the title.
    void begin_figure(const FigureOptions& options);
    void finish_figure();
    /// The chart is a figure for a file rather than a view on screen.
    bool for_file() const { return figure_options_.has_value(); }

    void render_picture(QPainter& painter, const QRectF& target, QSize layout) override;
    void write_data(TableWriter& out) const override;
    QString export_name() const override { return export_name_.isEmpty() ? objectName() : export_name_; }

    /// Zooms by `factor` (above 1: in) about `at`, a point of the plot in view coordinates.
    void zoom_about(double factor, QPointF at) override;
    void pan_by(QPointF pixels) override;
    void reset_zoom() override;
    QPointF zoom_centre() const override;
    double key_step() const override { return 20; }
    bool zoomed() const;

    /// The right-click menu, filled; the caller owns it.
    QMenu* build_context_menu();

  signals:
    void print_requested(ChartView* chart);
    void export_requested(Exportable* picture);
    void export_data_requested(Exportable* picture);
    /// While the right-click menu is being built: add actions to `menu` (exports, say).
    void context_menu(QMenu* menu);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

    /// Every chart the view draws (one; a chart of panels draws more), for fonts, shading and pictures.
    virtual QList<QChart*> panels() const;
    /// The margins of a figure's chart around its plot, axes, title and legend.
    virtual QMargins figure_margins() const { return QMargins(6, 4, 8, 4); }
    /// Places the panels in a view of `size` (one panel fills it).
    virtual void lay_out_panels(QSizeF size);

  private:
    QPointF value_at(QPointF view_point) const;
    /// Breaks the title into lines that fit `width` pixels (a figure's), and each axis title that is
    /// longer than its axis into two.
    void wrap_title(int width);
    void wrap_axis_titles();
    void place_note();

    QLabel* note_;
    std::optional<std::pair<double, double>> shaded_;
    QString shaded_caption_;
    std::function<QString(QPointF)> value_text_;
    std::function<void(TableWriter&)> data_writer_;
    QString export_name_;
    bool print_stretched_ = false;
    std::optional<FigureOptions> figure_options_;
    QString unwrapped_title_;
    QHash<QAbstractAxis*, QString> unwrapped_axis_titles_;
    Navigation navigation_{*this, this};
};
