#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

class QSettings;

/// Most files Open Recent lists.
inline constexpr int max_recent_files = 8;

/// `recent` with `path` put first, listed once, cut to `max` entries.
QStringList with_recent(QStringList recent, const QString& path, int max = max_recent_files);

/// What the window remembers from one session to the next: window geometry, the folder last opened from,
/// recent files, the output folder, and the last burn-in and k range. Kept in a QSettings store; without
/// one nothing is remembered (the window starts as drawn).
class Settings {
  public:
    explicit Settings(std::unique_ptr<QSettings> store = nullptr);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    QByteArray geometry() const;
    void set_geometry(const QByteArray& geometry);
    QString last_folder() const;
    void set_last_folder(const QString& folder);
    QStringList recent_files() const;
    void set_recent_files(const QStringList& files);
    /// Empty: the working directory.
    QString output_folder() const;
    void set_output_folder(const QString& folder);

    /// A remembered number of a numeric field ("burn_in", "kmin", "kmax"); empty when none is.
    std::optional<double> number(const QString& field) const;
    void set_number(const QString& field, double value);

  private:
    std::unique_ptr<QSettings> store_;
};
