#pragma once

// The output folders as the impatient user's test looks at them: their files and bytes, how two folders
// differ, and what may never be found in a folder the window wrote into, whatever was done in it.

#include <map>
#include <string>

#include <QStringList>

/// The files of `folder` by name, each with its bytes; the record of optional files stands as its rows
/// without the time each was written, sorted, for the files that are there.
std::map<QString, std::string> folder_contents(const QString& folder);

/// How `got` differs from `expected`: names only in one, files whose bytes differ (with the first line that
/// differs); empty when they are the same.
QStringList differences(const std::map<QString, std::string>& got, const std::map<QString, std::string>& expected);

/// The side files' names of `runs` runs open: "_trajectories.txt", or numbered from 1.
QStringList side_file_names(int runs);

/// What the window must never leave in `folder`: a temporary file, a file that is no output of the window, a
/// side file other than `side_files` (those of the runs open, when they were opened into this folder), an
/// optional file that the folder's record does not describe as it is.
QStringList folder_faults(const QString& folder, const QStringList& side_files);
