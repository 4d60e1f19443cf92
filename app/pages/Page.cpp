#include "pages/Page.h"

#include "charts/ChartView.h"
#include "pages/NumericField.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>

Page::Page(QWidget* parent) : QWidget(parent), layout_(new AnchorLayout(design_client_size, page_shrink_limit, this)) {}

ChartView* Page::current_chart() const {
    const QList<ChartView*> all = charts();
    for (ChartView* c : all)
        if (c == focusWidget()) return c;
    return all.isEmpty() ? nullptr : all.constFirst();
}

Exportable* Page::current_picture() const { return current_chart(); }

void Page::reset_zoom() {
    const QList<ChartView*> all = charts();
    for (ChartView* chart : all) chart->reset_zoom();
}

void Page::set_design_size(QSize size) { layout_->set_design_size(size); }

QLabel* Page::add_label(const char* name, const QString& text, QRect at, Share share) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    layout_->add(label, at, share, true);
    return label;
}

QLabel* Page::add_wrapped_label(const char* name, const QString& text, QRect at, Share share) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout_->add(label, at, share);
    return label;
}

QPushButton* Page::add_button(const char* name, const QString& text, QRect at, Share share) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    layout_->add(button, at, share);
    return button;
}

QLineEdit* Page::add_edit(const char* name, const QString& text, QRect at, Share share) {
    auto* edit = new QLineEdit(text, this);
    edit->setObjectName(QLatin1String(name));
    layout_->add(edit, at, share);
    return edit;
}

NumericField* Page::add_numeric(const char* name, double value, double min, double max, double step, QRect at,
                                Share share) {
    auto* field = new NumericField(this);
    field->setObjectName(QLatin1String(name));
    field->setMinimum(min);
    field->setMaximum(max);
    field->setSingleStep(step);
    field->setValue(value);
    layout_->add(field, at, share);
    return field;
}

QListWidget* Page::add_list(const char* name, QRect at, Share share) {
    auto* list = new QListWidget(this);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout_->add(list, at, share);
    return list;
}

void Page::wire_chart(ChartView* chart) {
    chart->setParent(this);
    connect(chart, &ChartView::print_requested, this, &Page::print_requested);
    connect(chart, &ChartView::export_requested, this, &Page::export_requested);
    connect(chart, &ChartView::export_data_requested, this, &Page::export_data_requested);
}

QSize PageTabs::page_area(QSize size) {
    resize(size);
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).size();
}
