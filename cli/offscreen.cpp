#include "cli/offscreen.h"

#include <cstdio>

#include <QApplication>

std::unique_ptr<QApplication> offscreen_application() {
    if (QCoreApplication::instance()) return nullptr;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "velmora-cli";
    static char* argv[] = {name, nullptr};
    // Qt's remarks about the offscreen platform (runtime folder, window hints) are not the user's.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "velmora-cli: %s\n", qPrintable(text));
    });
    return std::make_unique<QApplication>(argc, argv);
}
