#include "outputs/WrittenRecord.h"

#include "outputs/OutputSet.h"
#include "sample/OutputFile.h"
#include "sample/OutputNames.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <istream>
#include <mutex>
#include <ostream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const header = "file\tbytes\tchecksum\truns\tsettings\twritten";

/// Held while a record is read and written again.
std::mutex& record_lock() {
    static std::mutex lock;
    return lock;
}

std::string field(const std::string& text) {
    std::string out = text;
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return out;
}

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type from = 0;
    while (true) {
        const auto tab = line.find('\t', from);
        fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos) return fields;
        from = tab + 1;
    }
}

/// Size and time of the last change of `path`; empty when it is not a regular file.
std::optional<std::pair<std::uintmax_t, fs::file_time_type>> stamp(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    const fs::file_time_type time = fs::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return std::pair{size, time};
}

}  // namespace

bool is_recorded_output(const std::string& name) {
    for (const OutputFileInfo& f : output_files())
        if (f.set != OutputSet::legacy && name == f.name) return true;
    return false;
}

std::vector<std::string> recorded_outputs(OutputMoment moment) {
    std::vector<std::string> names;
    for (const OutputFileInfo& f : output_files())
        if (f.set != OutputSet::legacy && f.moment == moment) names.emplace_back(f.name);
    return names;
}

std::optional<std::pair<std::uint64_t, std::string>> file_checksum(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::uint64_t hash = 14695981039346656037ULL;
    std::uint64_t bytes = 0;
    std::vector<char> buffer(1 << 20);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = in.gcount();
        for (std::streamsize i = 0; i < got; ++i) {
            hash ^= static_cast<unsigned char>(buffer[static_cast<std::size_t>(i)]);
            hash *= 1099511628211ULL;
        }
        bytes += static_cast<std::uint64_t>(got);
    }
    if (in.bad()) return std::nullopt;
    char text[17];
    static const char digits[] = "0123456789abcdef";
    for (int i = 15; i >= 0; --i) {
        text[i] = digits[hash & 0xf];
        hash >>= 4;
    }
    text[16] = '\0';
    return std::pair{bytes, std::string(text)};
}

std::string utc_now_text() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::vector<WrittenFile> describe_written(const std::string& folder, const std::vector<std::string>& names,
                                          const std::string& runs, const std::string& settings) {
    std::vector<WrittenFile> out;
    const std::string now = utc_now_text();
    for (const std::string& name : names) {
        const auto sum = file_checksum(path_in_folder(folder, name));
        if (!sum) continue;
        out.push_back(WrittenFile{name, sum->first, sum->second, runs, settings, now});
    }
    return out;
}

void print_written_record(std::ostream& out, const std::vector<WrittenFile>& files) {
    std::string text = std::string(header) + "\n";
    for (const WrittenFile& f : files)
        text += field(f.name) + '\t' + std::to_string(f.bytes) + '\t' + field(f.checksum) + '\t' + field(f.runs) +
                '\t' + field(f.settings) + '\t' + field(f.written) + '\n';
    out << text;
}

std::vector<WrittenFile> parse_written_record(std::istream& in) {
    std::vector<WrittenFile> files;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == header) continue;
        const std::vector<std::string> f = split_tabs(line);
        if (f.size() != 6 || f[0].empty() || f[1].empty() ||
            !std::all_of(f[1].begin(), f[1].end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        try {
            files.push_back(WrittenFile{f[0], std::stoull(f[1]), f[2], f[3], f[4], f[5]});
        } catch (const std::out_of_range&) {
        }
    }
    return files;
}

std::vector<WrittenFile> read_written_record(const std::string& folder) {
    std::ifstream in(path_in_folder(folder, written_record_name), std::ios::binary);
    if (!in) return {};
    return parse_written_record(in);
}

bool write_written_record(const std::string& folder, const std::vector<WrittenFile>& files, Notices& notes) {
    const std::string path = path_in_folder(folder, written_record_name);
    if (files.empty()) {
        std::error_code ignored;
        fs::remove(path, ignored);
        return true;
    }
    return write_output_file(path, "", notes, [&files](std::ostream& out) { print_written_record(out, files); });
}

std::vector<WrittenFile> with_written(std::vector<WrittenFile> record, const std::vector<WrittenFile>& added) {
    for (const WrittenFile& a : added) {
        const auto same =
            std::find_if(record.begin(), record.end(), [&a](const WrittenFile& r) { return r.name == a.name; });
        if (same == record.end()) {
            record.push_back(a);
        } else {
            *same = a;
        }
    }
    return record;
}

std::vector<WrittenFile> without_written(std::vector<WrittenFile> record, const std::vector<WrittenFile>& gone) {
    std::erase_if(record, [&gone](const WrittenFile& r) {
        return std::any_of(gone.begin(), gone.end(),
                           [&r](const WrittenFile& g) { return g.name == r.name && g.checksum == r.checksum; });
    });
    return record;
}

bool add_to_written_record(const std::string& folder, const std::vector<WrittenFile>& added, Notices& notes) {
    if (added.empty()) return true;
    const std::lock_guard<std::mutex> hold(record_lock());
    return write_written_record(folder, with_written(read_written_record(folder), added), notes);
}

bool take_from_written_record(const std::string& folder, const std::vector<WrittenFile>& gone, Notices& notes) {
    if (gone.empty()) return true;
    const std::lock_guard<std::mutex> hold(record_lock());
    return write_written_record(folder, without_written(read_written_record(folder), gone), notes);
}

std::vector<std::string> clear_written(const std::string& folder) {
    return clear_checked(folder, check_written(folder));
}

WrittenCheck check_written(const std::string& folder) {
    WrittenCheck check;
    {
        const std::lock_guard<std::mutex> hold(record_lock());
        check.entries = read_written_record(folder);
    }
    for (const WrittenFile& e : check.entries) {
        const fs::path path = path_in_folder(folder, e.name);
        const auto before = stamp(path);
        if (!before || before->first != e.bytes) continue;
        const auto sum = file_checksum(path.string());
        if (!sum || sum->first != e.bytes || sum->second != e.checksum) continue;
        // A file replaced while it was being read (a new one renamed over it) is not the one recorded.
        if (stamp(path) != before) continue;
        check.unchanged.push_back(e);
        check.stamps.push_back(*before);
    }
    return check;
}

std::vector<std::string> clear_checked(const std::string& folder, const WrittenCheck& check) {
    std::vector<std::string> removed;
    for (std::size_t i = 0; i < check.unchanged.size(); ++i) {
        const fs::path path = path_in_folder(folder, check.unchanged[i].name);
        if (stamp(path) != check.stamps[i]) continue;  // written again since the check
        std::error_code ec;
        if (fs::remove(path, ec)) removed.push_back(check.unchanged[i].name);
    }
    Notices ignored;
    take_from_written_record(folder, check.entries, ignored);
    return removed;
}

std::vector<std::string> remove_unchanged(const std::string& folder, const std::vector<WrittenFile>& entries) {
    std::vector<std::string> removed;
    for (const WrittenFile& e : entries) {
        const fs::path path = path_in_folder(folder, e.name);
        const auto before = stamp(path);
        if (!before || before->first != e.bytes) continue;
        const auto sum = file_checksum(path.string());
        if (!sum || sum->first != e.bytes || sum->second != e.checksum) continue;
        // A file replaced while it was being read (a new one renamed over it) is not the one recorded.
        if (stamp(path) != before) continue;
        std::error_code ec;
        if (fs::remove(path, ec)) removed.push_back(e.name);
    }
    return removed;
}
