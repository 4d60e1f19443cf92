#include "reporting/ReportPdf.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("Report", text); }

QString q(const std::string& text) { return QString::fromStdString(text); }

/// The page as a column of blocks: each block asks for its height and gets a new page when it does not fit.
class PdfLayout {
  public:
    PdfLayout(QPdfWriter& pdf, QPainter& painter, QString footer)
        : pdf_(pdf), painter_(painter), footer_(std::move(footer)) {
        const double margin = 18.0 / 25.4 * pdf.resolution();
        page_ = QRectF(margin, margin, pdf.width() - 2 * margin, pdf.height() - 2.6 * margin);
        y_ = page_.top();
        draw_footer();
    }

    double width() const { return page_.width(); }
    double left() const { return page_.left(); }
    double room() const { return page_.bottom() - y_; }
    double page_height() const { return page_.height(); }

    /// Makes room for `height`: a new page when it does not fit on this one (and this one holds something).
    double take(double height) {
        if (y_ + height > page_.bottom() && y_ > page_.top()) new_page();
        const double at = y_;
        y_ += height;
        return at;
    }
    void skip(double height) { y_ = std::min(y_ + height, page_.bottom()); }

    QFont font(double pt, bool bold = false, bool italic = false) const {
        QFont f = painter_.font();
        f.setPointSizeF(pt);
        f.setBold(bold);
        f.setItalic(italic);
        return f;
    }

    /// `text` wrapped to the width, with `font`.
    void text(const QString& text, const QFont& font, double indent = 0) {
        painter_.setFont(font);
        const QRectF area(left() + indent, 0, width() - indent, 1e6);
        const QRectF needed = painter_.boundingRect(area, Qt::TextWordWrap, text);
        const double at = take(needed.height());
        painter_.drawText(QRectF(area.left(), at, area.width(), needed.height()), Qt::TextWordWrap, text);
    }

  private:
    void new_page() {
        pdf_.newPage();
        ++page_number_;
        y_ = page_.top();
        draw_footer();
    }
    void draw_footer() {
        painter_.save();
        painter_.setFont(font(7));
        painter_.setPen(QColor(90, 90, 90));
        const QRectF foot(page_.left(), page_.bottom() + 0.25 * (pdf_.height() - page_.bottom()), page_.width(),
                          QFontMetricsF(font(7), &pdf_).height());
        painter_.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, footer_);
        painter_.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, tr("Page %1").arg(page_number_));
        painter_.restore();
    }

    QPdfWriter& pdf_;
    QPainter& painter_;
    QString footer_;
    QRectF page_;
    double y_ = 0;
    int page_number_ = 1;
};

void draw_facts(PdfLayout& page, QPainter& painter, const ReportSection& s) {
    const QFont key = page.font(9, true);
    const QFont value = page.font(9);
    const double key_width = page.width() * 0.36;
    for (const auto& [what, text] : s.facts) {
        painter.setFont(value);
        const QRectF value_area(page.left() + key_width, 0, page.width() - key_width, 1e6);
        const double h_value = painter.boundingRect(value_area, Qt::TextWordWrap, q(text)).height();
        painter.setFont(key);
        const QRectF key_area(page.left(), 0, key_width - 8, 1e6);
        const double h_key = painter.boundingRect(key_area, Qt::TextWordWrap, q(what)).height();
        const double h = std::max(h_value, h_key);
        const double at = page.take(h + 2);
        painter.drawText(key_area.translated(0, at), Qt::TextWordWrap, q(what));
        painter.setFont(value);
        painter.drawText(value_area.translated(0, at), Qt::TextWordWrap, q(text));
    }
}

void draw_figure(PdfLayout& page, QPainter& painter, const ReportFigure& f) {
    const double scale = std::min(1.0, page.width() / std::max(1, f.width));
    QSizeF size(f.width * scale, f.height * scale);
    if (size.height() > page.page_height() * 0.8) size *= page.page_height() * 0.8 / size.height();
    painter.setFont(page.font(8, false, true));
    const QRectF caption_area(page.left(), 0, page.width(), 1e6);
    const double caption = painter.boundingRect(caption_area, Qt::TextWordWrap, q(f.caption)).height();
    const double at = page.take(size.height() + caption + 10);
    const QRectF target(page.left() + (page.width() - size.width()) / 2, at, size.width(), size.height());
    if (!f.svg.empty()) {
        QSvgRenderer svg(QByteArray::fromStdString(f.svg));
        svg.render(&painter, target);
    } else {
        const QImage image = QImage::fromData(QByteArray::fromStdString(f.png), "PNG");
        painter.drawImage(target, image);
    }
    painter.setFont(page.font(8, false, true));
    painter.drawText(caption_area.translated(0, at + size.height() + 4), Qt::TextWordWrap, q(f.caption));
}

/// A table whose columns share the page's width by their widest cells (the first rows measured), in a
/// font small enough for them to fit down to 6 pt; cells too wide are elided. Each page of the table
/// repeats its header.
void draw_table(PdfLayout& page, QPainter& painter, const ReportTable& t) {
    if (!t.caption.empty()) page.text(q(t.caption), page.font(8, false, true));
    const std::size_t columns = t.header.size();
    if (columns == 0) return;
    double pt = 8;
    std::vector<double> widths(columns, 0);
    for (; pt >= 6; pt -= 0.5) {
        const QFontMetricsF body(page.font(pt), painter.device());
        const QFontMetricsF head(page.font(pt, true), painter.device());
        std::fill(widths.begin(), widths.end(), 0.0);
        for (std::size_t c = 0; c < columns; ++c) widths[c] = head.horizontalAdvance(q(t.header[c]));
        for (std::size_t r = 0; r < t.rows.size() && r < 400; ++r)
            for (std::size_t c = 0; c < columns && c < t.rows[r].size(); ++c)
                widths[c] = std::max(widths[c], body.horizontalAdvance(q(t.rows[r][c])));
        double total = 0;
        for (double& w : widths) total += (w += 10);
        if (total <= page.width()) break;
    }
    double total = 0;
    for (const double w : widths) total += w;
    if (total > page.width())
        for (double& w : widths) w *= page.width() / total;
    const QFont body = page.font(std::max(pt, 6.0));
    const QFont head = page.font(std::max(pt, 6.0), true);
    const double row_height = QFontMetricsF(body, painter.device()).height() + 3;
    const auto draw_row = [&](const std::vector<std::string>& cells, const QFont& font, double at, bool header) {
        painter.setFont(font);
        const QFontMetricsF metrics(font, painter.device());
        double x = page.left();
        for (std::size_t c = 0; c < columns; ++c) {
            const QString text = c < cells.size() ? q(cells[c]) : QString();
            const bool right = c < t.numeric.size() && t.numeric[c];
            const QRectF cell(x + 4, at, widths[c] - 8, row_height);
            painter.drawText(cell, (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                             metrics.elidedText(text, Qt::ElideRight, cell.width()));
            x += widths[c];
        }
        if (header) painter.drawLine(QPointF(page.left(), at + row_height), QPointF(x, at + row_height));
    };
    // The header and the first row go together; a row that no longer fits starts a page with the header.
    for (std::size_t r = 0; r < std::max<std::size_t>(t.rows.size(), 1); ++r) {
        if (r == 0 || page.room() < row_height) {
            const double at = page.take(2 * row_height);
            draw_row(t.header, head, at, true);
            if (r < t.rows.size()) draw_row(t.rows[r], body, at + row_height, false);
            continue;
        }
        draw_row(t.rows[r], body, page.take(row_height), false);
    }
    page.skip(row_height / 2);
}

/// About how high the first block of a section is drawn: a few lines of text, its first figure, or a
/// table's caption, header and first rows.
double first_block_height(const PdfLayout& page, const ReportSection& s) {
    if (!s.facts.empty() || !s.paragraphs.empty()) return 60;
    if (!s.figures.empty()) {
        const ReportFigure& f = s.figures.front();
        return std::min(f.height * std::min(1.0, page.width() / std::max(1, f.width)), page.page_height() * 0.8) + 40;
    }
    return s.tables.empty() ? 0 : 100;
}

}  // namespace

bool write_report_pdf(const ReportInput& report, QIODevice& device, bool letter, QString* why) {
    QPdfWriter pdf(&device);
    pdf.setResolution(144);
    pdf.setPageSize(QPageSize(letter ? QPageSize::Letter : QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(q(report.title));
    pdf.setCreator(QStringLiteral("Velmora"));
    QPainter painter;
    if (!painter.begin(&pdf)) {
        if (why) *why = tr("the PDF could not be started.");
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    PdfLayout page(pdf, painter, q(report.title));
    page.text(q(report.title), page.font(16, true));
    page.text(q(report.subtitle), page.font(9));
    for (const ReportSection& s : report.sections) {
        page.skip(14);
        // A heading never ends a page: it goes with the first block that follows it.
        if (page.room() < 40 + first_block_height(page, s)) page.take(page.room() + 1);
        page.text(q(s.title), page.font(13, true));
        page.skip(4);
        draw_facts(page, painter, s);
        for (const std::string& p : s.paragraphs) page.text(q(p), page.font(9));
        for (const ReportFigure& f : s.figures) draw_figure(page, painter, f);
        for (const ReportTable& t : s.tables) draw_table(page, painter, t);
    }
    painter.end();
    return true;
}
