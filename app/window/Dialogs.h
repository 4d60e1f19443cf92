#pragma once

#include "charts/ChartExport.h"

#include <optional>

#include <QMessageBox>
#include <QString>

class QChartView;
class QPainter;
class QRectF;
class QWidget;

/// Title of the application: caption of every message box and error box.
inline const QString app_title = QStringLiteral("Velmora");

/// Every modal interaction of the window. The window owns one; the program uses QtDialogs, the window
/// tests a fake that answers at once.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    /// File-open dialog titled `title` (what the file is opened for), showing `folder` (the working directory
    /// when empty). Empty when the user cancels.
    virtual std::optional<QString> open_file(QWidget* parent, const QString& title, const QString& default_suffix,
                                             const QString& initial_name, const QString& folder) = 0;
    /// File-save dialog, proposing `initial_name` in `folder` (the working directory when empty). Empty
    /// when the user cancels.
    virtual std::optional<QString> save_file(QWidget* parent, const QString& initial_name, const QString& folder) = 0;
    /// Folder chooser starting at `folder`. Empty when the user cancels.
    virtual std::optional<QString> choose_folder(QWidget* parent, const QString& folder) = 0;
    /// Modal box with an OK button, captioned with the application title.
    virtual void message(QWidget* parent, QMessageBox::Icon icon, const QString& text) = 0;
    /// Modal question captioned with the application title: `accept` (the button that goes ahead) or Cancel.
    /// True when the user goes ahead; the base answers Cancel.
    virtual bool confirm(QWidget* parent, const QString& text, const QString& accept);
    /// Modal print preview of one chart: printer choice and set-up, orientation, margins, and a switch
    /// between proportional and stretched printing, which starts as `stretched`. Prints only on request.
    virtual void print_preview(QWidget* parent, QChartView* chart, bool stretched) = 0;

    /// Where an exported picture goes and how large it is.
    struct ImageChoice {
        QString path;
        ImageSpec spec;
    };
    /// Save dialog for a picture (PNG, SVG or PDF, proposing `initial_name` in `folder`), then its size (a
    /// preset, or lengths in pixels, millimetres or inches), resolution, text size, title and whether the
    /// view is drawn as shown, starting from `proposal`. Empty when the user cancels either.
    virtual std::optional<ImageChoice> export_image(QWidget* parent, const QString& initial_name, const QString& folder,
                                                    const ImageSpec& proposal);
    /// Save dialog for the numbers of a picture (CSV or TSV). Empty when the user cancels.
    virtual std::optional<QString> export_data(QWidget* parent, const QString& initial_name, const QString& folder);
    /// Save dialog for a report (an HTML page or a PDF). Empty when the user cancels.
    virtual std::optional<QString> save_report(QWidget* parent, const QString& initial_name, const QString& folder);
};

class QtDialogs : public Dialogs {
  public:
    std::optional<QString> open_file(QWidget* parent, const QString& title, const QString& default_suffix,
                                     const QString& initial_name, const QString& folder) override;
    std::optional<QString> save_file(QWidget* parent, const QString& initial_name, const QString& folder) override;
    std::optional<QString> choose_folder(QWidget* parent, const QString& folder) override;
    void message(QWidget* parent, QMessageBox::Icon icon, const QString& text) override;
    bool confirm(QWidget* parent, const QString& text, const QString& accept) override;
    void print_preview(QWidget* parent, QChartView* chart, bool stretched) override;
    std::optional<ImageChoice> export_image(QWidget* parent, const QString& initial_name, const QString& folder,
                                            const ImageSpec& proposal) override;
    std::optional<QString> export_data(QWidget* parent, const QString& initial_name, const QString& folder) override;
    std::optional<QString> save_report(QWidget* parent, const QString& initial_name, const QString& folder) override;

  private:
    std::optional<ImageChoice> figure_choice(QWidget* parent, const QString& path, const ImageSpec& proposal);
};
