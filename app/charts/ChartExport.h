#pragma once

// Pictures and the numbers behind them, written to files. Everything here draws from what it is handed
// (a chart view, or plain values that build one) and needs no window on screen, so the window's Export
// commands and a command-line plot produce the same picture.

#include <functional>
#include <iosfwd>
#include <optional>

#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

class QChartView;
class QPainter;

/// The image formats a picture is exported to, chosen by the file name's suffix.
enum class ImageFormat { png, svg, pdf };

/// png, svg or pdf by the suffix of `path` (any case); nothing for another suffix or none.
std::optional<ImageFormat> image_format_of(const QString& path);

/// How large an exported picture is. `size` is in pixels (PNG: the image; SVG: its width and height; PDF:
/// the page, at `dpi` pixels an inch). The picture is laid out at size * 96 / dpi and scaled up, so a
/// higher resolution gives the same layout with finer detail (text keeps its size relative to the page
/// when printed at that resolution). Sizes below 16 pixels a side are raised to 16; dpi to 24..2400.
struct ImageSpec {
    QSize size{1200, 750};
    int dpi = 96;
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

/// Writes `picture` to `path` in the format of its suffix (image_format_of). The file is written beside
/// its place and renamed into it when complete, so a failure leaves what was there. False with `error`
/// set (what and why) when the suffix is unknown or the file cannot be written.
bool export_image(Exportable& picture, const QString& path, const ImageSpec& spec, QString* error);

/// Writes the numbers of `picture` to `path`: CSV when the suffix is .csv (any case), else TSV; UTF-8, LF
/// line ends. Written as export_image writes; false with `error` set when it cannot be.
bool export_data(const Exportable& picture, const QString& path, QString* error);

/// Draws the chart shown by `view` into `target` (printing it): scaled to fill it when `stretched`, else as
/// large as its proportions allow, at the top of `target` and centred across it.
void render_chart(QPainter& painter, const QRectF& target, QChartView* view, bool stretched);
