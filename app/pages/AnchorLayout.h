#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

/// Lays widgets out from a drawing: at the design size every widget stands exactly at its design rectangle.
/// When the parent is larger or smaller, the difference in width (dx) and height (dy) is shared out by
/// per-widget factors: the rectangle becomes (x + x_share dx, y + y_share dy, w + w_share dx, h + h_share dy).
/// So a chart that takes half the extra height has h_share 0.5, and a button below it y_share 0.5.
class AnchorLayout : public QLayout {
  public:
    /// Shares of the extra width (x, w) and height (y, h) a widget takes.
    struct Share {
        double x;
        double y;
        double w;
        double h;
    };

    /// `design`: the parent's size in the drawing; `shrink`: how much narrower and lower than that the
    /// parent may become before controls would overlap (the minimum size is design - shrink).
    AnchorLayout(QSize design, QSize shrink, QWidget* parent = nullptr);
    ~AnchorLayout() override;

    /// Places `widget` (made a child of the parent) at `design`, moved and sized by `share`. With
    /// `fit_text` the width grows to the widget's size hint when that is wider (a label whose caption changes).
    void add(QWidget* widget, QRect design, Share share = {0, 0, 0, 0}, bool fit_text = false);
    /// The design rectangle moved and sized for a parent of `size`.
    QRect placed(QRect design, Share share, QSize size) const;
    /// Changes the design size, as when the space given to the parent at the window's design size is known
    /// only once the window around it is built.
    void set_design_size(QSize design);
    QSize design_size() const { return design_; }

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(entries_.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override { return design_; }
    QSize minimumSize() const override { return design_ - shrink_; }
    void setGeometry(const QRect& rect) override;

  private:
    struct Entry {
        QLayoutItem* item;
        QRect design;
        Share share;
        bool fit_text;
    };
    QList<Entry> entries_;
    QSize design_;
    QSize shrink_;
};
