#include "window/ToolTips.h"

#include <algorithm>

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>

int tooltip_wrap_width(const QFont& font) { return QFontMetrics(font).averageCharWidth() * 80; }

ToolTipWrapper::ToolTipWrapper(QApplication& app) : QObject(&app) { app.installEventFilter(this); }

bool ToolTipWrapper::eventFilter(QObject* watched, QEvent* event) {
    // Qt's tooltip is a label of its own class, laid out again (and resized) for each text it shows.
    if ((event->type() != QEvent::Resize && event->type() != QEvent::Show) || !watched->inherits("QTipLabel"))
        return false;
    auto* tip = static_cast<QLabel*>(watched);
    const QMargins m = tip->contentsMargins();
    const int room = tooltip_wrap_width(tip->font()) + m.left() + m.right() + 2 * tip->margin();
    if (tip->wordWrap() || tip->width() <= room) return false;
    // Laid out as Qt lays out a rich-text tip: at most 80 characters a line, fewer when that balances the lines.
    tip->setWordWrap(true);
    tip->resize(tip->sizeHint());
    // Laid out for its long line, it was put far to the left of the pointer: it goes back beside it, on its
    // screen, as Qt places a tip.
    if (const QScreen* screen = tip->screen()) {
        const QRect area = screen->availableGeometry();
        QPoint at = QCursor::pos() + QPoint(2, 16);
        if (at.x() + tip->width() > area.right()) at.rx() -= 4 + tip->width();
        if (at.y() + tip->height() > area.bottom()) at.ry() -= 24 + tip->height();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - tip->width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - tip->height())));
        tip->move(at);
    }
    return false;
}
