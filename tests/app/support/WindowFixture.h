#pragma once

#include "charts/ChartView.h"
#include "session/Session.h"
#include "tests/app/support/FakeDialogs.h"
#include "tests/support/CaptureStdout.h"
#include "tests/support/ResultText.h"
#include "window/MainWindow.h"

#include <memory>
#include <string>
#include <vector>

#include <QChart>
#include <QSettings>
#include <QTemporaryDir>

using testutil::CaptureStdout;
using testutil::Record;

/// A result file holding `records`; `declared` is the header's number of observations (default: all).
std::string result_text(int n_indivs, int Kmax, const std::vector<Record>& records, double U = 1.0, int declared = -1);
/// 5 individuals: even records k = 1, odd records {1, 2, 3} {4, 5}; log likelihood -100 - i.
std::vector<Record> alternating_records(int n);

void write_file(const QString& path, const std::string& text);
std::string read_file(const QString& path);
bool file_exists(const QString& path);

/// A fresh working folder for one test, current while the object lives.
class Workspace {
  public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    /// Absolute path of `name` in the folder.
    QString file(const QString& name) const;

  private:
    QTemporaryDir dir_;
    QString previous_;
};

/// The real window with a fake for its dialogs. Controls are found by their object names, as the user
/// finds them by their captions.
class Window {
  public:
    explicit Window(std::unique_ptr<QSettings> settings = nullptr);
    MainWindow* operator->() { return form.get(); }

    template <typename T = QWidget>
    T* find(const char* name) const {
        return form->findChild<T*>(QLatin1String(name));
    }
    ChartView* chart(const char* name) const { return find<ChartView>(name); }
    /// The series `name` of the chart `chart`.
    template <typename S>
    S* series(const char* chart_name, const char* name) const {
        for (QAbstractSeries* s : chart(chart_name)->chart()->series())
            if (s->objectName() == QLatin1String(name)) return qobject_cast<S*>(s);
        return nullptr;
    }
    /// Caption of a label or button, text of an edit or numeric field.
    QString text(const char* name) const;
    void set_text(const char* name, const QString& text);
    void set_number(const char* field, double value);
    void click(const char* name);
    QStringList items(const char* list) const;
    void select(const char* list, std::initializer_list<int> rows);

    /// Presses "Open Strandel result file", answers the dialog with `path` and waits for the file to load.
    void open(const QString& path);
    void make_tree();
    /// Picks row `row` of "Indiv." and waits for its chart.
    void pick(int row);
    /// Waits until no work is under way; false after 20 s.
    bool wait();

    FakeDialogs* fake;
    std::unique_ptr<MainWindow> form;
};
