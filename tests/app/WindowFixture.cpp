#include "tests/app/WindowFixture.h"

#include <fstream>
#include <iostream>

#include <QDir>
#include <QFile>
#include <QTest>

std::string result_text(int n_indivs, int Kmax, const std::vector<Record>& records, double U, int declared) {
    std::ostringstream out;
    out << "test run\n"
        << n_indivs << ' ' << Kmax << ' ' << (declared < 0 ? static_cast<int>(records.size()) : declared) << " 10 " << U
        << " 1\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        out << i * 10 << ' ' << records[i].log_likelihood << ' ' << records[i].clusters.size() << '\n';
        for (const auto& cluster : records[i].clusters) {
            out << cluster.size();
            for (int m : cluster) out << ' ' << m;
            out << '\n';
        }
    }
    return out.str();
}

std::vector<Record> alternating_records(int n) {
    std::vector<Record> records;
    for (int i = 0; i < n; ++i) {
        const double ll = -100.0 - i;
        records.push_back(i % 2 == 0 ? Record{ll, {{1, 2, 3, 4, 5}}} : Record{ll, {{1, 2, 3}, {4, 5}}});
    }
    return records;
}

void write_file(const QString& path, const std::string& text) {
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::trunc);
    out << text;
}

std::string read_file(const QString& path) {
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool file_exists(const QString& path) { return QFile::exists(path); }

Workspace::Workspace() : previous_(QDir::currentPath()) {
    if (!dir_.isValid() || !QDir::setCurrent(dir_.path())) QTest::qFail("no working folder", __FILE__, __LINE__);
}

Workspace::~Workspace() { QDir::setCurrent(previous_); }

QString Workspace::file(const QString& name) const { return dir_.filePath(name); }

Window::Window() {
    auto dialogs = std::make_unique<FakeDialogs>();
    fake = dialogs.get();
    form = std::make_unique<TForm1>(std::move(dialogs));
}

void Window::open(const QString& path) {
    fake->open_answers.push_back(path);
    form->Button2Click();
}

CaptureStdout::CaptureStdout() : previous_(std::cout.rdbuf(captured_.rdbuf())) {}

CaptureStdout::~CaptureStdout() { std::cout.rdbuf(previous_); }
