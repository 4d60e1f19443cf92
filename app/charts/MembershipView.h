#pragma once

#include "charts/ChartExport.h"
#include "charts/MembershipDrawing.h"

#include <cstdint>

#include <QWidget>

/// The membership chart as a widget: draw_membership over its whole area. Hovering a bar tells the
/// individual, its cluster and group and its membership in each cluster; the context menu exports the
/// chart and its numbers.
class MembershipView : public QWidget, public Exportable {
    Q_OBJECT

  public:
    explicit MembershipView(QWidget* parent = nullptr);

    void set_picture(const MembershipPicture& picture);
    void clear();
    bool has_membership() const { return picture_.membership != nullptr; }
    const MembershipPicture& picture() const { return picture_; }
    /// Names the individuals anew; their groups with them (empty: none).
    void set_names(const QStringList& names, const QStringList& groups);

    /// "name (individual i), cluster c ..." for the bar under `at`; empty elsewhere.
    QString hover_text(QPointF at) const;

    void render_picture(QPainter& painter, const QRectF& target, QSize layout) override;
    void write_data(TableWriter& out) const override { write_membership_bars(out, picture_); }
    QString export_name() const override { return QStringLiteral("membership"); }
    /// The chart drawn afresh for a file with the figure's text and title.
    std::unique_ptr<Exportable> figure(const FigureOptions& options) const override;

  signals:
    void export_requested(Exportable* picture);
    void export_data_requested(Exportable* picture);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    MembershipPicture picture_;
};
