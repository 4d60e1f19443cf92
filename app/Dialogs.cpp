#include "app/Dialogs.h"

#include <QAction>
#include <QChartView>
#include <QFileDialog>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>

std::optional<QString> QtDialogs::open_file(QWidget* parent, const QString& default_suffix, const QString& initial_name,
                                            const QString& folder) {
    QFileDialog dialog(parent, QString(), folder);
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

void render_chart(QPainter& painter, const QRectF& target, QChartView* view, bool stretched) {
    const QRect source = view->viewport()->rect();
    QRectF area = target;
    if (!stretched && source.width() > 0 && source.height() > 0) {
        QSizeF size = QSizeF(source.size()).scaled(target.size(), Qt::KeepAspectRatio);
        area = QRectF(target.topLeft() + QPointF((target.width() - size.width()) / 2, 0), size);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    view->render(&painter, area, source, Qt::IgnoreAspectRatio);
    painter.restore();
}
