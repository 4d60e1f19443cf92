#pragma once

// The zoom and pan gestures every chart and the map share, in one place.

#include <QPointF>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class QWidget;

/// A view that can be zoomed and panned.
class Navigable {
  public:
    virtual ~Navigable() = default;
    /// Zooms by `factor` (above 1: in) about `at`, a point of the view in widget coordinates.
    virtual void zoom_about(double factor, QPointF at) = 0;
    /// Moves the part shown by `pixels` (a drag to the right shows what lay to the left).
    virtual void pan_by(QPointF pixels) = 0;
    virtual void reset_zoom() = 0;
    /// Where + and - zoom about, and how far an arrow key pans, in widget pixels.
    virtual QPointF zoom_centre() const = 0;
    virtual double key_step() const = 0;
};

/// Turns the user's gestures into zooms and pans of a Navigable:
/// - the wheel, or + and -: zoom by 1.25 a notch about the pointer (the centre for keys);
/// - drag with the middle button, or with Ctrl and the left button, or the arrow keys: pan;
/// - double-click, or Home: the whole view again.
/// Each handler returns true when it took the event (the view then accepts it and does nothing more).
class Navigation {
  public:
    explicit Navigation(Navigable& view, QWidget* widget) : view_(view), widget_(widget) {}

    bool press(QMouseEvent* event);
    bool move(QMouseEvent* event);
    bool release(QMouseEvent* event);
    bool double_click(QMouseEvent* event);
    bool wheel(QWheelEvent* event);
    bool key(QKeyEvent* event);
    bool panning() const { return panning_; }

  private:
    Navigable& view_;
    QWidget* widget_;
    bool panning_ = false;
    QPointF pan_from_;
};
