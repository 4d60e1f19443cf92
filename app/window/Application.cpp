#include "window/Application.h"

#include "window/Dialogs.h"
#include "window/ToolTips.h"

#include <clocale>
#include <exception>
#include <iostream>
#include <utility>

#include <QLocale>

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(app_title);
    setOrganizationName(app_title);
    std::setlocale(LC_NUMERIC, "C");
    new ToolTipWrapper(*this);
}

char locale_decimal_separator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point.at(0).unicode() < 128 ? point.at(0).toLatin1() : '.';
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        report_error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        report_error(tr("An error of an unknown kind ended the command."));
    }
    return false;
}

void Application::set_error_handler(std::function<void(const QString&)> handler) {
    error_handler_ = std::move(handler);
}

void Application::report_error(const QString& text) {
    try {
        if (error_handler_) {
            error_handler_(text);
            return;
        }
    } catch (...) {
    }
    std::cerr << text.toLocal8Bit().constData() << std::endl;
}
