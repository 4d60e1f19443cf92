#include "tests/app/window/impatient/Folders.h"

#include "outputs/OutputSet.h"
#include "outputs/WrittenRecord.h"
#include "tests/app/support/WindowFixture.h"

#include <algorithm>
#include <sstream>

#include <QDir>
#include <QFile>

namespace {

std::string to_path(const QString& text) { return QFile::encodeName(text).toStdString(); }

QStringList file_names(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

bool is_side_file(const QString& name) {
    return name.startsWith(QLatin1String("_trajectories")) && name.endsWith(QLatin1String(".txt"));
}

/// The first line at which `a` and `b` differ, from 1.
int first_different_line(const std::string& a, const std::string& b) {
    std::istringstream x(a);
    std::istringstream y(b);
    std::string p;
    std::string q;
    for (int line = 1;; ++line) {
        const bool more_x = static_cast<bool>(std::getline(x, p));
        const bool more_y = static_cast<bool>(std::getline(y, q));
        if (!more_x && !more_y) return line;
        if (more_x != more_y || p != q) return line;
    }
}

}  // namespace

std::map<QString, std::string> folder_contents(const QString& folder) {
    std::map<QString, std::string> out;
    const QStringList names = file_names(folder);
    for (const QString& name : names) {
        if (name != QLatin1String(written_record_name)) out[name] = read_file(QDir(folder).filePath(name));
    }
    if (!names.contains(QLatin1String(written_record_name))) return out;
    std::vector<std::string> rows;
    for (const WrittenFile& f : read_written_record(to_path(folder))) {
        if (!out.count(QString::fromStdString(f.name))) continue;
        rows.push_back(f.name + '\t' + std::to_string(f.bytes) + '\t' + f.checksum + '\t' + f.runs + '\t' + f.settings);
    }
    std::sort(rows.begin(), rows.end());
    std::string text;
    for (const std::string& row : rows) text += row + '\n';
    out[QLatin1String(written_record_name)] = text;
    return out;
}

QStringList differences(const std::map<QString, std::string>& got, const std::map<QString, std::string>& expected) {
    QStringList out;
    for (const auto& [name, bytes] : expected) {
        const auto there = got.find(name);
        if (there == got.end()) {
            out.append(QStringLiteral("%1 is missing").arg(name));
        } else if (there->second != bytes) {
            out.append(
                QStringLiteral("%1 differs from line %2 on").arg(name).arg(first_different_line(there->second, bytes)));
        }
    }
    for (const auto& [name, bytes] : got)
        if (!expected.count(name)) out.append(QStringLiteral("%1 should not be there").arg(name));
    return out;
}

QStringList side_file_names(int runs) {
    if (runs <= 0) return {};
    if (runs == 1) return {QString::fromLatin1(output_name::side_file)};
    QStringList names;
    for (int r = 1; r <= runs; ++r) names.append(QStringLiteral("_trajectories_%1.txt").arg(r));
    return names;
}

QStringList folder_faults(const QString& folder, const QStringList& side_files) {
    QStringList out;
    const QString shown = QDir(folder).dirName();
    const std::vector<WrittenFile> record = read_written_record(to_path(folder));
    for (const QString& name : file_names(folder)) {
        const std::string file = name.toStdString();
        if (name.contains(QLatin1String(".tmp-"))) {
            out.append(QStringLiteral("%1: a temporary file %2 was left").arg(shown, name));
        } else if (is_side_file(name)) {
            if (!side_files.contains(name))
                out.append(QStringLiteral("%1: the side file %2 of runs no longer open was left").arg(shown, name));
        } else if (is_recorded_output(file)) {
            const auto entry =
                std::find_if(record.begin(), record.end(), [&file](const WrittenFile& f) { return f.name == file; });
            const auto now = file_checksum(to_path(QDir(folder).filePath(name)));
            if (entry == record.end()) {
                out.append(QStringLiteral("%1: %2 is not in the record of optional files").arg(shown, name));
            } else if (!now || now->first != entry->bytes || now->second != entry->checksum) {
                out.append(QStringLiteral("%1: %2 is not as its record describes it").arg(shown, name));
            }
        } else if (name != QLatin1String(written_record_name)) {
            const auto& files = output_files();
            if (std::none_of(files.begin(), files.end(), [&file](const OutputFileInfo& f) { return file == f.name; }))
                out.append(QStringLiteral("%1: %2 is no output of the window").arg(shown, name));
        }
    }
    for (const QString& side : side_files)
        if (!QFile::exists(QDir(folder).filePath(side)))
            out.append(QStringLiteral("%1: the side file %2 of the runs open is missing").arg(shown, side));
    return out;
}
