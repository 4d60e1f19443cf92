#pragma once

#include "pages/AnchorLayout.h"

#include <QList>
#include <QTabWidget>
#include <QWidget>

class ChartView;
class Exportable;
class NumericField;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

/// Size of the tab control's client area in the drawing of the window, and how far the pages may shrink
/// below it before controls would overlap.
inline constexpr QSize design_client_size(916, 697);
inline constexpr QSize page_shrink_limit(100, 160);

/// A page of the main window. It owns its controls and charts, lays them out from the drawing (each control
/// carries its name in the drawing as object name), shows what the window hands it and tells the window
/// what the user asked for; it computes nothing.
class Page : public QWidget {
    Q_OBJECT

  public:
    explicit Page(QWidget* parent = nullptr);

    /// The page's charts; the first is the one printed when none has been clicked.
    virtual QList<ChartView*> charts() const = 0;
    /// The chart that File > Print prints: the one last clicked on this page, else the first.
    ChartView* current_chart() const;
    /// Sets the design size of the page's area (the window knows it once its tab control is built).
    void set_design_size(QSize size);
    AnchorLayout* anchors() const { return layout_; }

    /// What File > Export exports: the current chart unless the page has another main picture.
    virtual Exportable* current_picture() const;
    /// What File > Export Data writes: the numbers of current_picture() unless the page shows a table of its
    /// own. Null (either): nothing to export, and the command is disabled.
    virtual Exportable* current_numbers() const { return current_picture(); }
    /// View > Reset Zoom: every chart of the page shown whole again.
    virtual void reset_zoom();
    /// The page became the one shown (true) or another did (false).
    virtual void set_current(bool current) { current_ = current; }
    bool is_current() const { return current_; }

  signals:
    void print_requested(ChartView* chart);
    void export_requested(Exportable* picture);
    void export_data_requested(Exportable* picture);
    /// What current_picture or current_numbers give may have changed.
    void exports_changed();

  protected:
    using Share = AnchorLayout::Share;

    QLabel* add_label(const char* name, const QString& text, QRect at, Share share = {0, 0, 0, 0});
    QLabel* add_wrapped_label(const char* name, const QString& text, QRect at, Share share = {0, 0, 0, 0});
    QPushButton* add_button(const char* name, const QString& text, QRect at, Share share = {0, 0, 0, 0});
    QLineEdit* add_edit(const char* name, const QString& text, QRect at, Share share = {0, 0, 0, 0});
    NumericField* add_numeric(const char* name, double value, double min, double max, double step, QRect at,
                              Share share = {0, 0, 0, 0});
    QListWidget* add_list(const char* name, QRect at, Share share = {0, 0, 0, 0});

    /// Adds a chart made by the caller (a chart of its own kind), whose print button and context menu ask
    /// the window to print and export it.
    template <typename Chart>
    Chart* place_chart(Chart* chart, QRect at, Share share = {0, 0, 0, 0}) {
        wire_chart(chart);
        layout_->add(chart, at, share);
        return chart;
    }

  private:
    void wire_chart(ChartView* chart);
    AnchorLayout* layout_;
    bool current_ = false;
};

/// The tab control that holds the pages.
class PageTabs : public QTabWidget {
    Q_OBJECT

  public:
    using QTabWidget::QTabWidget;
    /// The size of the page area when the tab control has `size` (the control is resized to it), as its style
    /// lays the tab bar and frame out; known before the control is first shown.
    QSize page_area(QSize size);
};
