#include "sample/OutputFile.h"

#include "sample/OutputNames.h"
#include "sample/TempNames.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

/// What `path` names in the end, through symbolic links (at most 40, as the system follows them): the link
/// itself when it leads nowhere readable. False with `why` for a loop.
bool resolve_links(const std::string& path, std::string& resolved, std::string& why) {
    resolved = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(resolved.c_str(), target, sizeof target - 1);
        if (n < 0) return true;
        const std::string link(target, static_cast<std::size_t>(n));
        resolved = !link.empty() && link.front() == '/' ? link : folder_of(resolved) + link;
    }
    why = "its symbolic links go round in a loop";
    return false;
}

const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

/// Why the existing file `target` must not be replaced ("" when it may be, or does not exist).
std::string replace_problem(const std::string& target, mode_t& mode, bool& exists) {
    struct stat st {};
    exists = ::stat(target.c_str(), &st) == 0;
    if (!exists) return {};
    mode = st.st_mode;
    if (!S_ISREG(st.st_mode)) return std::string("it is ") + kind_of(st.st_mode) + ", not a file to replace";
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return "it is read-only";
    return {};
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const std::string& path) {
    discard();
    error_.clear();
    target_ = path;
    if (path.empty()) {
        error_ = "no file name was given";
        return false;
    }
    if (!resolve_links(path, target_, error_)) return false;
    mode_t mode = 0;
    bool exists = false;
    error_ = replace_problem(target_, mode, exists);
    if (!error_.empty()) {
        error_ += "; it was left as it is";
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder_of(target_) + temporary_name_for(target_.substr(folder_of(target_).size()));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error_ = std::strerror(errno);
            return false;
        }
        if (exists) (void)::fchmod(fd, mode & 07777);  // the new file keeps the old one's permissions
        ::close(fd);
        stream_.open(name, std::ios::binary | std::ios::trunc);
        if (!stream_.is_open()) {
            error_ = "the file could not be opened for writing";
            std::remove(name.c_str());
            return false;
        }
        temp_ = std::move(name);
        return true;
    }
    error_ = "no temporary file name was free";
    return false;
}

bool OutputFile::commit() {
    if (!stream_.is_open()) {
        if (error_.empty()) error_ = "the file was not open";
        return false;
    }
    stream_.flush();
    const bool written = stream_.good();
    stream_.close();
    if (!written || stream_.fail()) {
        error_ = "writing failed (is the disk full?)";
        discard();
        return false;
    }
    // The target may have changed since open: still never replace anything but a regular file.
    mode_t mode = 0;
    bool exists = false;
    const std::string problem = replace_problem(target_, mode, exists);
    if (!problem.empty()) {
        error_ = problem + "; it was left as it is";
        discard();
        return false;
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = std::strerror(errno);
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void OutputFile::discard() {
    if (stream_.is_open()) stream_.close();
    if (!temp_.empty()) {
        std::remove(temp_.c_str());
        temp_.clear();
    }
}

bool write_output_file(const std::string& path, const std::string& writer_name, Notices& notes,
                       const std::function<void(std::ostream&)>& writer) {
    OutputFile file;
    if (!file.open(path)) {
        notes.error(writer_name.empty() ? std::string() : "Impossible to open outfile! " + writer_name,
                    "Cannot write the file " + path + ": " + file.error() + ".");
        return false;
    }
    writer(file.stream());
    if (!file.commit()) {
        notes.error("", "Cannot write the file " + path + ": " + file.error() + "; the file was left as it was.");
        return false;
    }
    return true;
}

bool remove_output_file(const std::string& path) {
    std::string target;
    std::string why;
    if (!resolve_links(path, target, why)) return false;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return ::unlink(target.c_str()) == 0;
}

std::string path_in_folder(const std::string& folder, const std::string& name) {
    if (name.empty() || name.front() == '/' || folder.empty() || folder == ".") return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}
