#include "pages/AnchorLayout.h"

#include <algorithm>
#include <cmath>

#include <QWidget>

AnchorLayout::AnchorLayout(QSize design, QSize shrink, QWidget* parent)
    : QLayout(parent), design_(design), shrink_(shrink) {
    setContentsMargins(0, 0, 0, 0);
}

AnchorLayout::~AnchorLayout() {
    for (const Entry& e : entries_) delete e.item;
}

void AnchorLayout::add(QWidget* widget, QRect design, Share share, bool fit_text) {
    addChildWidget(widget);
    widget->setGeometry(design);
    entries_.append({new QWidgetItem(widget), design, share, fit_text});
    invalidate();
}

void AnchorLayout::addItem(QLayoutItem* item) {
    const QRect at = item->widget() ? item->widget()->geometry() : item->geometry();
    entries_.append({item, at, Share{0, 0, 0, 0}, false});
}

QLayoutItem* AnchorLayout::itemAt(int index) const {
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem* AnchorLayout::takeAt(int index) {
    if (index < 0 || index >= entries_.size()) return nullptr;
    QLayoutItem* item = entries_[index].item;
    entries_.removeAt(index);
    return item;
}

void AnchorLayout::set_design_size(QSize design) {
    design_ = design;
    invalidate();
}

QRect AnchorLayout::placed(QRect design, Share share, QSize size) const {
    const double dx = size.width() - design_.width();
    const double dy = size.height() - design_.height();
    const auto at = [](double v) { return static_cast<int>(std::lround(v)); };
    return QRect(design.x() + at(share.x * dx), design.y() + at(share.y * dy),
                 std::max(0, design.width() + at(share.w * dx)), std::max(0, design.height() + at(share.h * dy)));
}

void AnchorLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    for (const Entry& e : entries_) {
        QRect r = placed(e.design, e.share, rect.size()).translated(rect.topLeft());
        if (e.fit_text) r.setWidth(std::max(r.width(), e.item->sizeHint().width()));
        // Straight to the widget: a widget item would bound the rectangle by the size policy (a push
        // button keeps the height of its hint), and the drawing gives every height.
        if (QWidget* w = e.item->widget()) {
            w->setGeometry(r);
        } else {
            e.item->setGeometry(r);
        }
    }
}
