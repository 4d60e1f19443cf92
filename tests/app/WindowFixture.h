#pragma once

#include "app/Clustering.h"
#include "tests/app/FakeDialogs.h"

#include <iosfwd>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <QTemporaryDir>

/// One sampled clustering: its log likelihood and its clusters' members.
struct Record {
    double log_likelihood;
    std::vector<std::vector<int>> clusters;
};

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

/// The real window with a fake for its dialogs.
class Window {
  public:
    Window();
    TForm1* operator->() { return form.get(); }
    /// Presses "Open Strandel result file" and answers the dialog with `path`.
    void open(const QString& path);

    FakeDialogs* fake;
    std::unique_ptr<TForm1> form;
};

/// Collects what is written to standard output while it lives.
class CaptureStdout {
  public:
    CaptureStdout();
    ~CaptureStdout();
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;
    std::string text() const { return captured_.str(); }

  private:
    std::ostringstream captured_;
    std::streambuf* previous_;
};
