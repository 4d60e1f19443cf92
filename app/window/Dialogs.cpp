#include "window/Dialogs.h"

#include "charts/FigureSize.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QToolBar>

std::optional<QString> QtDialogs::open_file(QWidget* parent, const QString& title, const QString& default_suffix,
                                            const QString& initial_name, const QString& folder) {
    QFileDialog dialog(parent, title, folder);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(default_suffix);
    dialog.setNameFilters({initial_name, QStringLiteral("*")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::save_file(QWidget* parent, const QString& initial_name, const QString& folder) {
    QFileDialog dialog(parent, QString(), folder);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(initial_name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::choose_folder(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, QObject::tr("Output folder"), folder);
    dialog.setObjectName(QStringLiteral("FolderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void QtDialogs::message(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, app_title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool Dialogs::confirm(QWidget*, const QString&, const QString&) { return false; }

bool QtDialogs::confirm(QWidget* parent, const QString& text, const QString& accept) {
    QMessageBox box(QMessageBox::Question, app_title, text, QMessageBox::Cancel, parent);
    box.setObjectName(QStringLiteral("ConfirmBox"));
    QPushButton* go = box.addButton(accept, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == go;
}

void QtDialogs::print_preview(QWidget* parent, QChartView* chart, bool stretched) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("ChartPreviewer1"));
    dialog.setWindowTitle(app_title);

    bool stretch = stretched;
    auto* preview = dialog.findChild<QPrintPreviewWidget*>();
    if (auto* toolbar = dialog.findChild<QToolBar*>()) {
        toolbar->addSeparator();
        QAction* action = toolbar->addAction(QObject::tr("Stretch to margins"));
        action->setObjectName(QStringLiteral("stretch"));
        action->setCheckable(true);
        action->setChecked(stretched);
        QObject::connect(action, &QAction::toggled, &dialog, [&stretch, preview](bool on) {
            stretch = on;
            if (preview) preview->updatePreview();
        });
    }
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&stretch, chart](QPrinter* p) {
        QPainter painter(p);
        render_chart(painter, QRectF(QPointF(0, 0), p->pageRect(QPrinter::DevicePixel).size()), chart, stretch);
    });
    dialog.exec();
    chart->update();
}

std::optional<Dialogs::ImageChoice> Dialogs::export_image(QWidget*, const QString&, const QString&, const ImageSpec&) {
    return std::nullopt;
}

std::optional<QString> Dialogs::export_data(QWidget*, const QString&, const QString&) { return std::nullopt; }

std::optional<QString> Dialogs::save_report(QWidget*, const QString&, const QString&) { return std::nullopt; }

namespace {

std::optional<QString> save_as(QWidget* parent, const QString& object_name, const QString& initial_name,
                               const QString& folder, const QStringList& filters, const QString& default_suffix,
                               const QString& title = QObject::tr("Export")) {
    QFileDialog dialog(parent, title, folder);
    dialog.setObjectName(object_name);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(default_suffix);
    dialog.selectFile(initial_name);
    // The filter shown follows the suffix proposed, and a chosen filter gives its suffix to a bare name.
    const QString suffix = QFileInfo(initial_name).suffix().toLower();
    for (const QString& f : filters)
        if (f.contains(QStringLiteral("*.") + suffix)) dialog.selectNameFilter(f);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const qsizetype at = filter.indexOf(QStringLiteral("*."));
        if (at >= 0) dialog.setDefaultSuffix(filter.mid(at + 2, filter.indexOf(QLatin1Char(')'), at) - at - 2));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

/// The size, resolution, text and title of a picture to export, asked in one dialog; empty on cancel.
std::optional<Dialogs::ImageChoice> QtDialogs::figure_choice(QWidget* parent, const QString& path,
                                                             const ImageSpec& proposal) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ExportSizeDialog"));
    dialog.setWindowTitle(QObject::tr("Figure size"));
    auto* form = new QFormLayout(&dialog);
    const auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    auto* preset = new QComboBox(&dialog);
    named(preset, "export_preset");
    preset->addItem(QObject::tr("Custom"), QString());
    preset->addItem(QObject::tr("Single column (85 mm, 300 dpi)"), QStringLiteral("single-column"));
    preset->addItem(QObject::tr("Double column (180 mm, 300 dpi)"), QStringLiteral("double-column"));
    preset->addItem(QObject::tr("Slide (1920 \u00d7 1080 px)"), QStringLiteral("slide"));
    auto* unit = new QComboBox(&dialog);
    named(unit, "export_unit");
    unit->addItem(QObject::tr("px"), 1.0);
    unit->addItem(QObject::tr("mm"), 25.4);
    unit->addItem(QObject::tr("in"), 1.0);
    const auto length_box = [&](const char* name) {
        auto* box = new QDoubleSpinBox(&dialog);
        named(box, name);
        box->setRange(0.1, 20000);
        return box;
    };
    QDoubleSpinBox* width = length_box("export_width");
    QDoubleSpinBox* height = length_box("export_height");
    auto* dpi = new QSpinBox(&dialog);
    named(dpi, "export_dpi");
    dpi->setRange(24, 2400);
    dpi->setSuffix(QObject::tr(" dpi"));
    dpi->setValue(proposal.dpi);
    auto* font = new QDoubleSpinBox(&dialog);
    named(font, "export_font");
    font->setRange(6, 72);
    font->setDecimals(1);
    font->setSuffix(QObject::tr(" pt"));
    font->setValue(proposal.figure.font_pt);
    auto* title = new QLineEdit(proposal.figure.title_text, &dialog);
    named(title, "export_title");
    title->setPlaceholderText(QObject::tr("the chart's own title"));
    auto* no_title = new QCheckBox(QObject::tr("No title"), &dialog);
    named(no_title, "export_no_title");
    no_title->setChecked(!proposal.figure.title);
    auto* as_shown = new QCheckBox(QObject::tr("As shown on screen (zoom, selection)"), &dialog);
    named(as_shown, "export_as_shown");
    as_shown->setChecked(proposal.figure.as_shown);
    as_shown->setToolTip(QObject::tr("Unchecked, the whole chart is drawn afresh for the page, whatever the view"));

    // The lengths are kept in pixels and shown in the unit chosen, at the resolution chosen.
    auto pixels = std::make_shared<QSizeF>(proposal.size);
    const auto per_unit = [unit, dpi] {
        return unit->currentIndex() == 0 ? 1.0 : unit->currentIndex() == 1 ? dpi->value() / 25.4 : dpi->value();
    };
    const auto show_lengths = [=] {
        const QSignalBlocker a(width);
        const QSignalBlocker b(height);
        width->setDecimals(unit->currentIndex() == 0 ? 0 : 2);
        height->setDecimals(width->decimals());
        width->setValue(pixels->width() / per_unit());
        height->setValue(pixels->height() / per_unit());
    };
    show_lengths();
    QObject::connect(unit, &QComboBox::currentIndexChanged, &dialog, show_lengths);
    QObject::connect(dpi, &QSpinBox::valueChanged, &dialog, [=] {
        // A length on paper stays as it is when the resolution changes; pixels stay pixels.
        if (unit->currentIndex() != 0) *pixels = QSizeF(width->value(), height->value()) * per_unit();
    });
    const auto take_lengths = [=] {
        *pixels = QSizeF(width->value(), height->value()) * per_unit();
        const QSignalBlocker block(preset);
        preset->setCurrentIndex(0);
    };
    QObject::connect(width, &QDoubleSpinBox::valueChanged, &dialog, take_lengths);
    QObject::connect(height, &QDoubleSpinBox::valueChanged, &dialog, take_lengths);
    QObject::connect(preset, &QComboBox::currentIndexChanged, &dialog, [=](int index) {
        const std::optional<FigureSize> size = figure_preset(preset->itemData(index).toString().toStdString());
        if (!size) return;
        const QSignalBlocker a(dpi);
        dpi->setValue(size->dpi);
        font->setValue(size->font_pt);
        *pixels = QSizeF(size->width, size->height);
        const QSignalBlocker b(unit);
        unit->setCurrentIndex(index == 3 ? 0 : 1);
        show_lengths();
    });

    auto* lengths = new QHBoxLayout;
    lengths->addWidget(width);
    lengths->addWidget(new QLabel(QStringLiteral("\u00d7"), &dialog));
    lengths->addWidget(height);
    lengths->addWidget(unit);
    form->addRow(QObject::tr("Preset"), preset);
    form->addRow(QObject::tr("Size"), lengths);
    form->addRow(QObject::tr("Resolution"), dpi);
    form->addRow(QObject::tr("Text"), font);
    form->addRow(QObject::tr("Title"), title);
    form->addRow(QString(), no_title);
    form->addRow(QString(), as_shown);
    auto* note = new QLabel(QObject::tr("The figure is laid out at 96 dpi and drawn at the resolution, so its text\n"
                                        "keeps its size in points on paper."),
                            &dialog);
    form->addRow(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    FigureOptions figure;
    figure.font_pt = font->value();
    figure.title = !no_title->isChecked();
    figure.title_text = title->text();
    figure.as_shown = as_shown->isChecked();
    const QSize size(std::clamp(static_cast<int>(std::lround(pixels->width())), 16, 20000),
                     std::clamp(static_cast<int>(std::lround(pixels->height())), 16, 20000));
    return ImageChoice{path, ImageSpec{size, dpi->value(), figure}};
}

std::optional<Dialogs::ImageChoice> QtDialogs::export_image(QWidget* parent, const QString& initial_name,
                                                            const QString& folder, const ImageSpec& proposal) {
    const std::optional<QString> path = save_as(
        parent, QStringLiteral("ExportDialog"), initial_name, folder,
        {QObject::tr("PNG image (*.png)"), QObject::tr("SVG drawing (*.svg)"), QObject::tr("PDF document (*.pdf)")},
        QStringLiteral("png"));
    if (!path) return std::nullopt;

    return figure_choice(parent, *path, proposal);
}

std::optional<QString> QtDialogs::export_data(QWidget* parent, const QString& initial_name, const QString& folder) {
    return save_as(parent, QStringLiteral("ExportDataDialog"), initial_name, folder,
                   {QObject::tr("Tab-separated values (*.tsv)"), QObject::tr("Comma-separated values (*.csv)")},
                   QStringLiteral("tsv"));
}

std::optional<QString> QtDialogs::save_report(QWidget* parent, const QString& initial_name, const QString& folder) {
    return save_as(parent, QStringLiteral("SaveReportDialog"), initial_name, folder,
                   {QObject::tr("Web page, self-contained (*.html)"), QObject::tr("PDF (*.pdf)")},
                   QStringLiteral("html"), QObject::tr("Save the Report"));
}
