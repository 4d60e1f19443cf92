#pragma once

// Tooltips at a readable width. Qt lays a plain-text tooltip out on one line however long it is (a
// diagnostic's reason came out a thousand pixels wide); here every tooltip of the application, whichever
// widget, item or chart shows it, wraps its words once it would be wider than tooltip_wrap_width.

#include <QObject>

class QApplication;
class QFont;

/// The widest a tooltip is laid out before its words wrap: 80 average characters of `font`, as Qt wraps a
/// rich-text tooltip (which, like a wrapped tip here, takes half that width when its lines balance better).
int tooltip_wrap_width(const QFont& font);

/// Watches the application's tooltips and wraps those wider than tooltip_wrap_width, keeping them on
/// their screen. One is installed by the Application.
class ToolTipWrapper : public QObject {
    Q_OBJECT

  public:
    explicit ToolTipWrapper(QApplication& app);
    bool eventFilter(QObject* watched, QEvent* event) override;
};
