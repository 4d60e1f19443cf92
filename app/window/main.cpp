#include "window/Application.h"
#include "window/Dialogs.h"
#include "window/MainWindow.h"

#include <exception>
#include <memory>

#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTimer>

int main(int argc, char** argv) {
    Application app(argc, argv);
    try {
        MainWindow form(std::make_unique<QtDialogs>(), std::make_unique<QSettings>());
        if (const QScreen* screen = form.screen()) form.fit_to(screen->availableGeometry());
        form.show();
        const QStringList args = Application::arguments();
        if (args.size() > 1) {
            // Through the event loop, so an error while opening reaches the error box like any command's.
            const QString path = args.at(1);
            QTimer::singleShot(0, &form, [&form, path] { form.open_result_files({path}); });
        }
        Application::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, app_title, QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
