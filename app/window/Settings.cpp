#include "window/Settings.h"

#include <cmath>

#include <QSettings>

QStringList with_recent(QStringList recent, const QString& path, int max) {
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > max) recent.removeLast();
    return recent;
}

Settings::Settings(std::unique_ptr<QSettings> store) : store_(std::move(store)) {}

Settings::~Settings() = default;

QByteArray Settings::geometry() const {
    return store_ ? store_->value(QStringLiteral("window/geometry")).toByteArray() : QByteArray();
}

void Settings::set_geometry(const QByteArray& geometry) {
    if (store_) store_->setValue(QStringLiteral("window/geometry"), geometry);
}

QString Settings::last_folder() const {
    return store_ ? store_->value(QStringLiteral("files/last_folder")).toString() : QString();
}

void Settings::set_last_folder(const QString& folder) {
    if (store_) store_->setValue(QStringLiteral("files/last_folder"), folder);
}

QStringList Settings::recent_files() const {
    return store_ ? store_->value(QStringLiteral("files/recent")).toStringList() : QStringList();
}

void Settings::set_recent_files(const QStringList& files) {
    if (store_) store_->setValue(QStringLiteral("files/recent"), files);
}

QString Settings::output_folder() const {
    return store_ ? store_->value(QStringLiteral("files/output_folder")).toString() : QString();
}

void Settings::set_output_folder(const QString& folder) {
    if (store_) store_->setValue(QStringLiteral("files/output_folder"), folder);
}

std::optional<double> Settings::number(const QString& field) const {
    if (!store_) return std::nullopt;
    bool ok = false;
    const double v = store_->value(QStringLiteral("fields/") + field).toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

void Settings::set_number(const QString& field, double value) {
    if (store_) store_->setValue(QStringLiteral("fields/") + field, value);
}
