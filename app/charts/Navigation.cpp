#include "charts/Navigation.h"

#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

bool Navigation::press(QMouseEvent* event) {
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier));
    if (!pan) return false;
    panning_ = true;
    pan_from_ = event->position();
    widget_->setCursor(Qt::ClosedHandCursor);
    return true;
}

bool Navigation::move(QMouseEvent* event) {
    if (!panning_) return false;
    const QPointF d = event->position() - pan_from_;
    pan_from_ = event->position();
    view_.pan_by(d);
    return true;
}

bool Navigation::release(QMouseEvent*) {
    if (!panning_) return false;
    panning_ = false;
    widget_->unsetCursor();
    return true;
}

bool Navigation::double_click(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    view_.reset_zoom();
    return true;
}

bool Navigation::wheel(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return false;
    view_.zoom_about(std::pow(1.25, notches), event->position());
    return true;
}

bool Navigation::key(QKeyEvent* event) {
    const double step = view_.key_step();
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            view_.zoom_about(1.25, view_.zoom_centre());
            return true;
        case Qt::Key_Minus:
            view_.zoom_about(0.8, view_.zoom_centre());
            return true;
        case Qt::Key_Left:
            view_.pan_by(QPointF(step, 0));
            return true;
        case Qt::Key_Right:
            view_.pan_by(QPointF(-step, 0));
            return true;
        case Qt::Key_Up:
            view_.pan_by(QPointF(0, step));
            return true;
        case Qt::Key_Down:
            view_.pan_by(QPointF(0, -step));
            return true;
        case Qt::Key_Home:
            view_.reset_zoom();
            return true;
        default:
            return false;
    }
}
