#pragma once

// Pictures and the numbers behind them, written to files. Everything here draws from what it is handed
// (a chart view, or plain values that build one) and needs no window on screen, so the window's Export
// commands and a command-line plot produce the same picture.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>

#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

class QChartView;
class QIODevice;
class QPainter;

/// The image formats a picture is exported to, chosen by the file name's suffix.
enum class ImageFormat { png, svg, pdf };

/// png, svg or pdf by the suffix of `path` (any case); nothing for another suffix or none.
std::optional<ImageFormat> image_format_of(const QString& path);

/// How a picture is drawn for a file: the whole figure laid out for the page (no zoom, no selection, no
/// pointer marks) or, `as_shown`, the view as it stands on screen; the size of the figure's text in points
/// (the title a little larger) and its title: the chart's own, `title_text` instead, or none.
struct FigureOptions {
    bool as_shown = false;
    double font_pt = 8;
    bool title = true;
    QString title_text;
    /// For a page that must stay small: the map's cells and the membership chart's bars drawn as an image
    /// of the output's pixels even into a vector format, however few.
    bool compact = false;
};

/// How large an exported picture is. `size` is in pixels (PNG: the image; SVG: its width and height; PDF:
/// the page, at `dpi` pixels an inch). The picture is laid out at size * 96 / dpi and scaled up, so a
/// higher resolution gives the same layout with finer detail (text keeps its size relative to the page
/// when printed at that resolution). Sizes below 16 pixels a side are raised to 16; dpi to 24..2400.
struct ImageSpec {
    ImageSpec() = default;
    ImageSpec(QSize size_, int dpi_, FigureOptions figure_ = {}) : size(size_), dpi(dpi_), figure(std::move(figure_)) {}
    QSize size{1200, 750};
    int dpi = 96;
    FigureOptions figure;
};

/// The numbers behind a picture, written as CSV (comma-separated, RFC 4180 quoting) or TSV (tabs; a tab
/// or line break in a text becomes a space). Numbers are written in the C locale, shortest form that
/// reads back to the same double; NaN as NA.
class TableWriter {
  public:
    /// `separator`: ',' or '\t'.
    TableWriter(std::ostream& out, char separator);
    void header(const QStringList& names);
    TableWriter& cell(double value);
    TableWriter& cell(long long value);
    TableWriter& cell(int value) { return cell(static_cast<long long>(value)); }
    TableWriter& cell(const QString& text);
    void end_row();

  private:
    void separate();
    std::ostream& out_;
    char separator_;
    bool first_ = true;
};

/// A picture that can be drawn at any size and whose numbers can be written out: every chart of the
/// window, and the co-assignment map.
class Exportable {
  public:
    virtual ~Exportable() = default;
    /// Draws the picture laid out at `layout` (pixels) scaled into `target` of `painter`.
    virtual void render_picture(QPainter& painter, const QRectF& target, QSize layout) = 0;
    /// Writes exactly the numbers drawn, a header row first.
    virtual void write_data(TableWriter& out) const = 0;
    /// A file name without suffix proposed for the exports, e.g. "posterior_k".
    virtual QString export_name() const = 0;
    /// The whole figure of this picture drawn afresh for a file with `options` (what export_image writes
    /// unless the view is wanted as shown); null when the picture is its own figure.
    virtual std::unique_ptr<Exportable> figure(const FigureOptions& options) const {
        (void)options;
        return nullptr;
    }
};

/// A picture given by functions: `draw` paints it into a rectangle (laid out at its size), `data` writes its
/// numbers. For pictures drawn straight with a QPainter (the map, the dendrogram).
class PaintedPicture : public Exportable {
  public:
    PaintedPicture(QString name, std::function<void(QPainter&, const QRectF&)> draw,
                   std::function<void(TableWriter&)> data)
        : name_(std::move(name)), draw_(std::move(draw)), data_(std::move(data)) {}
    void render_picture(QPainter& painter, const QRectF& target, QSize layout) override;
    void write_data(TableWriter& out) const override { data_(out); }
    QString export_name() const override { return name_; }

  private:
    QString name_;
    std::function<void(QPainter&, const QRectF&)> draw_;
    std::function<void(TableWriter&)> data_;
};

/// Draws `picture` into `device` as export_image does, without a file of its own (a page that holds the
/// picture, a test). False with `why` set when it cannot be drawn.
bool draw_image(Exportable& picture, QIODevice& device, ImageFormat format, const ImageSpec& spec, QString* why);

/// Writes `picture` to `path` in the format of its suffix (image_format_of): its figure (Exportable::figure)
/// drawn with spec.figure, or the picture as shown when spec.figure.as_shown or it has no other figure. The file is
/// written beside its place and renamed into it when complete, so a failure leaves what was there. False with `error`
/// set (what and why) when the suffix is unknown or the file cannot be written.
bool export_image(Exportable& picture, const QString& path, const ImageSpec& spec, QString* error);

/// The text size for a font of `pt` points in a picture laid out at 96 pixels an inch, in pixels.
int figure_pixels(double pt);

/// Writes the numbers of `picture` to `path`: CSV when the suffix is .csv (any case), else TSV; UTF-8, LF
/// line ends. Written as export_image writes; false with `error` set when it cannot be.
bool export_data(const Exportable& picture, const QString& path, QString* error);

/// Draws the chart shown by `view` into `target` (printing it): scaled to fill it when `stretched`, else as
/// large as its proportions allow, at the top of `target` and centred across it.
void render_chart(QPainter& painter, const QRectF& target, QChartView* view, bool stretched);
