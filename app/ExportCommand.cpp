// Export... and Export Data...: a picture of the window, or its numbers, written to a file the user names.

#include "app/Clustering.h"

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>

void TForm1::export_picture(Exportable* picture) {
    command([&] {
        if (picture == nullptr) return;
        ImageSpec proposal;
        proposal.size = QSize(static_cast<int>(settings_.number(QStringLiteral("export_width")).value_or(1200)),
                              static_cast<int>(settings_.number(QStringLiteral("export_height")).value_or(750)));
        proposal.dpi = static_cast<int>(settings_.number(QStringLiteral("export_dpi")).value_or(96));
        const std::optional<Dialogs::ImageChoice> choice = dialogs_->export_image(
            this, picture->export_name() + QLatin1Char('.') + export_suffix_, shown_output_folder(), proposal);
        if (!choice) return;
        settings_.set_number(QStringLiteral("export_width"), choice->spec.size.width());
        settings_.set_number(QStringLiteral("export_height"), choice->spec.size.height());
        settings_.set_number(QStringLiteral("export_dpi"), choice->spec.dpi);
        QString error;
        if (!export_image(*picture, choice->path, choice->spec, &error)) {
            dialogs_->message(this, QMessageBox::Warning, error);
            return;
        }
        export_suffix_ = QFileInfo(choice->path).suffix().toLower();
        notify_user(tr("Exported to %1.").arg(QDir::toNativeSeparators(choice->path)));
    });
}

void TForm1::export_picture_data(Exportable* picture) {
    command([&] {
        if (picture == nullptr) return;
        const std::optional<QString> path =
            dialogs_->export_data(this, picture->export_name() + QStringLiteral(".tsv"), shown_output_folder());
        if (!path) return;
        QString error;
        if (!export_data(*picture, *path, &error)) {
            dialogs_->message(this, QMessageBox::Warning, error);
            return;
        }
        notify_user(tr("Exported the numbers to %1.").arg(QDir::toNativeSeparators(*path)));
    });
}
