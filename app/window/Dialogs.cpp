#include "window/Dialogs.h"

#include <QAction>
#include <QChartView>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
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

namespace {

std::optional<QString> save_as(QWidget* parent, const QString& object_name, const QString& initial_name,
                               const QString& folder, const QStringList& filters, const QString& default_suffix) {
    QFileDialog dialog(parent, QObject::tr("Export"), folder);
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

std::optional<Dialogs::ImageChoice> QtDialogs::export_image(QWidget* parent, const QString& initial_name,
                                                            const QString& folder, const ImageSpec& proposal) {
    const std::optional<QString> path = save_as(
        parent, QStringLiteral("ExportDialog"), initial_name, folder,
        {QObject::tr("PNG image (*.png)"), QObject::tr("SVG drawing (*.svg)"), QObject::tr("PDF document (*.pdf)")},
        QStringLiteral("png"));
    if (!path) return std::nullopt;

    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ExportSizeDialog"));
    dialog.setWindowTitle(QObject::tr("Picture size"));
    auto* form = new QFormLayout(&dialog);
    const auto spin = [&dialog](int value, int min, int max, const QString& suffix) {
        auto* box = new QSpinBox(&dialog);
        box->setRange(min, max);
        box->setValue(value);
        box->setSuffix(suffix);
        return box;
    };
    QSpinBox* width = spin(proposal.size.width(), 16, 20000, QObject::tr(" px"));
    QSpinBox* height = spin(proposal.size.height(), 16, 20000, QObject::tr(" px"));
    QSpinBox* dpi = spin(proposal.dpi, 24, 2400, QObject::tr(" dpi"));
    form->addRow(QObject::tr("Width"), width);
    form->addRow(QObject::tr("Height"), height);
    form->addRow(QObject::tr("Resolution"), dpi);
    auto* note = new QLabel(QObject::tr("The chart is laid out at 96 dpi and scaled to the resolution:\n"
                                        "at 300 dpi, 3000 \u00d7 1800 px prints 10 \u00d7 6 inches."),
                            &dialog);
    form->addRow(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return ImageChoice{*path, ImageSpec{QSize(width->value(), height->value()), dpi->value()}};
}

std::optional<QString> QtDialogs::export_data(QWidget* parent, const QString& initial_name, const QString& folder) {
    return save_as(parent, QStringLiteral("ExportDataDialog"), initial_name, folder,
                   {QObject::tr("Tab-separated values (*.tsv)"), QObject::tr("Comma-separated values (*.csv)")},
                   QStringLiteral("tsv"));
}
