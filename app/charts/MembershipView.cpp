#include "charts/MembershipView.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

MembershipView::MembershipView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("membership_view"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 160);
    picture_.title = membership_title();
}

void MembershipView::set_picture(const MembershipPicture& picture) {
    picture_ = picture;
    update();
}

void MembershipView::clear() {
    picture_ = MembershipPicture{};
    picture_.title = membership_title();
    update();
}

void MembershipView::set_names(const QStringList& names, const QStringList& groups) {
    picture_.names = names;
    picture_.groups = groups;
    update();
}

QString MembershipView::hover_text(QPointF at) const {
    const std::optional<std::int32_t> p = membership_position_at(QRectF(rect()), picture_, at);
    if (!p || !picture_.membership) return {};
    const Membership& m = *picture_.membership;
    const std::int32_t i = shown_individuals(picture_)[static_cast<std::size_t>(*p)];
    const auto at_name = static_cast<qsizetype>(i - 1);
    const QString name = at_name < picture_.names.size() ? picture_.names.at(at_name) : QString::number(i);
    QString text =
        tr("%1 (individual %2), cluster %3").arg(name).arg(i).arg(m.cluster[static_cast<std::size_t>(i - 1)]);
    if (at_name < picture_.groups.size()) text += tr(", group %1").arg(picture_.groups.at(at_name));
    for (const std::int32_t c : shown_clusters(picture_))
        if (m.segment(i, c) >= 0.0005)
            text += tr("\ncluster %1: %2").arg(c).arg(QString::number(m.segment(i, c), 'f', 3));
    return text;
}

void MembershipView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    draw_membership(painter, QRectF(rect()), picture_);
}

void MembershipView::mouseMoveEvent(QMouseEvent* event) {
    const QString text = hover_text(event->position());
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
    }
}

void MembershipView::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Export..."), this, [this] { emit export_requested(this); })->setEnabled(has_membership());
    menu->addAction(tr("Export Data..."), this, [this] { emit export_data_requested(this); })
        ->setEnabled(has_membership());
    menu->popup(event->globalPos());
    event->accept();
}

void MembershipView::render_picture(QPainter& painter, const QRectF& target, QSize layout) {
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / layout.width(), target.height() / layout.height());
    painter.setRenderHint(QPainter::Antialiasing);
    draw_membership(painter, QRectF(QPointF(0, 0), QSizeF(layout)), picture_);
    painter.restore();
}

std::unique_ptr<Exportable> MembershipView::figure(const FigureOptions& options) const {
    if (!picture_.membership) return nullptr;
    MembershipPicture whole = picture_;
    whole.compact = options.compact;
    whole.font_px = figure_pixels(options.font_pt);
    if (!options.title) whole.title.clear();
    if (options.title && !options.title_text.isEmpty()) whole.title = options.title_text;
    return membership_picture(whole);
}
