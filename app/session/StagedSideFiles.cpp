#include "session/StagedSideFiles.h"

#include "sample/OpenRuns.h"

#include <atomic>
#include <filesystem>

namespace {

/// Each load's side files get a prefix of their own, so that one dropped load removing what it staged
/// never touches another's.
std::string next_prefix() {
    static std::atomic<unsigned long long> loads{0};
    return ".loading-" + std::to_string(++loads) + "-";
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

StagedSideFiles::StagedSideFiles(const std::string& side_path, std::size_t runs) : runs_(runs) {
    if (side_path.empty()) return;
    const std::filesystem::path p(side_path);
    const std::string name = p.filename().string();
    const std::string folder = side_path.substr(0, side_path.size() - name.size());
    const std::string prefix = next_prefix();
    staged_ = folder + prefix + name;
    // The prefix as it stands in a path: after the folder's separator, or at the start of a bare name.
    separator_ = folder.empty() ? std::string() : std::string(1, folder.back());
    prefix_ = separator_ + prefix;
}

StagedSideFiles::~StagedSideFiles() {
    if (staged_.empty()) return;
    std::error_code ignored;
    for (std::size_t r = 0; r < runs_; ++r) std::filesystem::remove(numbered_name(staged_, r, runs_), ignored);
}

std::string StagedSideFiles::in_place(const std::string& staged) const {
    if (staged_.empty()) return staged;
    std::string out = staged;
    const std::size_t at = out.rfind(prefix_);
    if (at != std::string::npos) out.replace(at, prefix_.size(), separator_);
    return out;
}

void StagedSideFiles::put_in_place() const {
    if (staged_.empty()) return;
    for (std::size_t r = 0; r < runs_; ++r) {
        const std::string staged = numbered_name(staged_, r, runs_);
        std::error_code ignored;
        if (std::filesystem::exists(staged, ignored)) std::filesystem::rename(staged, in_place(staged), ignored);
    }
}

void StagedSideFiles::rename_in(std::vector<Notice>& notices) const {
    if (staged_.empty()) return;
    for (Notice& n : notices) {
        replace_all(n.text, prefix_, separator_);
        replace_all(n.legacy, prefix_, separator_);
    }
}
