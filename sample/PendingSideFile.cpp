#include "sample/PendingSideFile.h"

PendingSideFile::PendingSideFile(const std::string& path, const std::string& result_name, Notices& notes)
    : path_(path) {
    if (path.empty()) return;
    if (!file_.open(path))
        notes.report("", "Cannot write the trajectory file " + path + " (" + file_.error() + "); the trace of " +
                             result_name + " cannot be shown or saved.");
}

bool PendingSideFile::commit(Notices& notes) {
    if (!file_.is_open()) return false;
    if (file_.commit()) return true;
    notes.error("", "Cannot write the trajectory file " + path_ + ": " + file_.error() + ".");
    return false;
}
