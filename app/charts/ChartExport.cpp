#include "charts/ChartExport.h"

#include "sample/Notices.h"
#include "sample/OutputFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>

#include <QChartView>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace {

QString tr(const char* text) { return QObject::tr(text); }

/// The layout size of a spec: its pixels at 96 per inch.
QSize layout_size(const ImageSpec& spec, QSize pixels) {
    const double scale = 96.0 / spec.dpi;
    return QSize(std::max(16, static_cast<int>(std::lround(pixels.width() * scale))),
                 std::max(16, static_cast<int>(std::lround(pixels.height() * scale))));
}

}  // namespace

std::optional<ImageFormat> image_format_of(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) return ImageFormat::png;
    if (suffix == QLatin1String("svg")) return ImageFormat::svg;
    if (suffix == QLatin1String("pdf")) return ImageFormat::pdf;
    return std::nullopt;
}

TableWriter::TableWriter(std::ostream& out, char separator) : out_(out), separator_(separator) {}

void TableWriter::separate() {
    if (!first_) out_.put(separator_);
    first_ = false;
}

void TableWriter::header(const QStringList& names) {
    for (const QString& n : names) cell(n);
    end_row();
}

TableWriter& TableWriter::cell(double value) {
    separate();
    if (std::isnan(value)) {
        out_ << "NA";
        return *this;
    }
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.write(buffer, r.ptr - buffer);
    return *this;
}

TableWriter& TableWriter::cell(long long value) {
    separate();
    out_ << value;
    return *this;
}

TableWriter& TableWriter::cell(const QString& text) {
    separate();
    QString t = text;
    if (separator_ == '\t') {
        for (QChar& c : t)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
    } else if (t.contains(QLatin1Char(separator_)) || t.contains(QLatin1Char('"')) || t.contains(QLatin1Char('\n')) ||
               t.contains(QLatin1Char('\r'))) {
        t.replace(QLatin1String("\""), QLatin1String("\"\""));
        t = QLatin1Char('"') + t + QLatin1Char('"');
    }
    out_ << t.toStdString();
    return *this;
}

void TableWriter::end_row() {
    out_.put('\n');
    first_ = true;
}

void PaintedPicture::render_picture(QPainter& painter, const QRectF& target, QSize layout) {
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / layout.width(), target.height() / layout.height());
    painter.setRenderHint(QPainter::Antialiasing);
    draw_(painter, QRectF(QPointF(0, 0), QSizeF(layout)));
    painter.restore();
}

bool draw_image(Exportable& picture, QIODevice& device, ImageFormat format, const ImageSpec& requested, QString* why) {
    const auto fail = [&](const QString& text) {
        if (why) *why = text;
        return false;
    };
    const std::unique_ptr<Exportable> whole = requested.figure.as_shown ? nullptr : picture.figure(requested.figure);
    Exportable& drawn_picture = whole ? *whole : picture;
    ImageSpec spec = requested;
    spec.dpi = std::clamp(spec.dpi, 24, 2400);
    spec.size = spec.size.expandedTo(QSize(16, 16));
    const QSize layout = layout_size(spec, spec.size);
    switch (format) {
        case ImageFormat::png: {
            QImage image(spec.size, QImage::Format_ARGB32_Premultiplied);
            if (image.isNull())
                return fail(tr("an image of %1 × %2 pixels does not fit in memory.")
                                .arg(spec.size.width())
                                .arg(spec.size.height()));
            image.fill(Qt::white);
            const int per_metre = static_cast<int>(std::lround(spec.dpi / 0.0254));
            image.setDotsPerMeterX(per_metre);
            image.setDotsPerMeterY(per_metre);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            drawn_picture.render_picture(painter, QRectF(QPointF(0, 0), QSizeF(spec.size)), layout);
            painter.end();
            QImageWriter writer(&device, "png");
            if (!writer.write(image)) return fail(writer.errorString());
            return true;
        }
        case ImageFormat::svg: {
            QSvgGenerator svg;
            svg.setOutputDevice(&device);
            svg.setSize(spec.size);
            svg.setViewBox(QRect(QPoint(0, 0), spec.size));
            svg.setResolution(spec.dpi);
            svg.setTitle(drawn_picture.export_name());
            QPainter painter;
            if (!painter.begin(&svg)) return fail(tr("the drawing could not be started."));
            drawn_picture.render_picture(painter, QRectF(QPointF(0, 0), QSizeF(spec.size)), layout);
            painter.end();
            return true;
        }
        case ImageFormat::pdf: {
            QPdfWriter pdf(&device);
            pdf.setResolution(spec.dpi);
            pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
            pdf.setPageSize(QPageSize(QSizeF(spec.size.width() * 72.0 / spec.dpi, spec.size.height() * 72.0 / spec.dpi),
                                      QPageSize::Point, QString(), QPageSize::ExactMatch));
            pdf.setTitle(drawn_picture.export_name());
            pdf.setCreator(QStringLiteral("Velmora"));
            QPainter painter;
            if (!painter.begin(&pdf)) return fail(tr("the drawing could not be started."));
            drawn_picture.render_picture(painter, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())), layout);
            painter.end();
            return true;
        }
    }
    return fail(tr("the format is unknown."));
}

bool export_image(Exportable& picture, const QString& path, const ImageSpec& spec, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = tr("Cannot export to %1: %2").arg(path, why);
        return false;
    };
    const std::optional<ImageFormat> format = image_format_of(path);
    if (!format) return fail(tr("the name must end in .png, .svg or .pdf."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    QString why;
    if (!draw_image(picture, file, *format, spec, &why)) return fail(why);
    if (!file.commit()) return fail(file.errorString());
    return true;
}

int figure_pixels(double pt) { return std::max(1, static_cast<int>(std::lround(pt * 96.0 / 72.0))); }

bool export_data(const Exportable& picture, const QString& path, QString* error) {
    const char separator =
        QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0 ? ',' : '\t';
    Notices notes;
    const bool ok =
        write_output_file(QFile::encodeName(path).toStdString(), std::string(), notes, [&](std::ostream& out) {
            TableWriter table(out, separator);
            picture.write_data(table);
        });
    if (!ok && error) {
        QStringList lines;
        for (const Notice& n : notes.take()) lines.append(QString::fromStdString(n.text));
        *error = tr("Cannot export the data to %1: %2").arg(path, lines.join(QLatin1Char(' ')));
    }
    return ok;
}

void render_chart(QPainter& painter, const QRectF& target, QChartView* view, bool stretched) {
    const QRect source = view->viewport()->rect();
    QRectF area = target;
    if (!stretched && source.width() > 0 && source.height() > 0) {
        QSizeF size = QSizeF(source.size()).scaled(target.size(), Qt::KeepAspectRatio);
        area = QRectF(target.topLeft() + QPointF((target.width() - size.width()) / 2, 0), size);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    view->render(&painter, area, source, Qt::IgnoreAspectRatio);
    painter.restore();
}
