#include "tests/app/support/WindowFixture.h"

#include "pages/NumericField.h"

#include <fstream>
#include <sstream>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

std::string result_text(int n_indivs, int Kmax, const std::vector<Record>& records, double U, int declared) {
    testutil::Header header{n_indivs, Kmax, declared};
    header.U = U;
    return testutil::result_text(header, records);
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

Window::Window(std::unique_ptr<QSettings> settings) {
    auto dialogs = std::make_unique<FakeDialogs>();
    fake = dialogs.get();
    form = std::make_unique<MainWindow>(std::move(dialogs), std::move(settings));
}

QString Window::text(const char* name) const {
    QWidget* w = find(name);
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* field = qobject_cast<NumericField*>(w)) return field->findChild<QLineEdit*>()->text();
    return QStringLiteral("<no %1>").arg(QLatin1String(name));
}

void Window::set_text(const char* name, const QString& text) {
    if (auto* edit = find<QLineEdit>(name)) edit->setText(text);
}

void Window::set_number(const char* field, double value) {
    if (auto* f = find<NumericField>(field)) f->setValue(value);
}

void Window::click(const char* name) {
    if (auto* button = find<QAbstractButton>(name)) button->click();
}

QStringList Window::items(const char* list) const {
    QStringList out;
    if (auto* combo = find<QComboBox>(list)) {
        for (int i = 0; i < combo->count(); ++i) out.append(combo->itemText(i));
    } else if (auto* l = find<QListWidget>(list)) {
        for (int i = 0; i < l->count(); ++i) out.append(l->item(i)->text());
    }
    return out;
}

void Window::select(const char* list, std::initializer_list<int> rows) {
    auto* l = find<QListWidget>(list);
    l->clearSelection();
    for (int row : rows) l->item(row)->setSelected(true);
}

void Window::open(const QString& path) {
    fake->open_answers.push_back(path);
    click("Button2");
    wait();
}

void Window::make_tree() {
    click("Button1");
    wait();
}

void Window::pick(int row) {
    auto* combo = find<QComboBox>("list_indiv");
    combo->setCurrentIndex(row);
    emit combo->activated(row);
    wait();
}

bool Window::wait() {
    return QTest::qWaitFor([this] { return !form->busy(); }, 20000);
}
