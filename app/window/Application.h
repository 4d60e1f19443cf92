#pragma once

#include <functional>

#include <QApplication>

/// The decimal separator of the user's locale when it is one ASCII character, else '.'.
char locale_decimal_separator();

/// The application object. Every event goes through `notify`, the one place where an exception that
/// escapes a command is caught: it is handed to the error handler (the window shows it in the error
/// box) and the event loop goes on.
class Application : public QApplication {
    Q_OBJECT

  public:
    /// Also keeps the C library's number formatting in the "C" locale, so that the output files are written
    /// with "." whatever the user's locale (Qt adopts the user's locale for the C library on start), and
    /// wraps every tooltip at a readable width (ToolTipWrapper).
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    /// Receives the text of each escaped exception; without one the text goes to standard error.
    void set_error_handler(std::function<void(const QString&)> handler);
    void report_error(const QString& text);

  private:
    std::function<void(const QString&)> error_handler_;
};
