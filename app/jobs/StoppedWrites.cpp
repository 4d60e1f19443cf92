#include "jobs/StoppedWrites.h"

#include "outputs/WrittenRecord.h"
#include "sample/Notices.h"
#include "sample/OutputNames.h"

#include <algorithm>

void record_stopped_writes(const std::string& folder, const std::vector<std::string>& names, const std::string& runs,
                           const std::string& settings) {
    const std::vector<WrittenFile> record = read_written_record(folder);
    std::vector<std::string> changed;
    for (const std::string& name : names) {
        const auto now = file_checksum(path_in_folder(folder, name));
        if (!now) continue;
        const auto entry =
            std::find_if(record.begin(), record.end(), [&name](const WrittenFile& f) { return f.name == name; });
        if (entry == record.end() || entry->bytes != now->first || entry->checksum != now->second)
            changed.push_back(name);
    }
    if (changed.empty()) return;
    Notices ignored;
    add_to_written_record(folder, describe_written(folder, changed, runs, settings), ignored);
}
