#include "sample/OutputFile.h"

#include "sample/OutputNames.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_counter{0};

std::string temp_name_for(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return dir + "." + base + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(g_counter++);
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
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temp_name_for(path);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error_ = std::strerror(errno);
            return false;
        }
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
        notes.report(writer_name.empty() ? std::string() : "Impossible to open outfile! " + writer_name,
                     "Cannot write the file " + path + ": " + file.error() + ".");
        return false;
    }
    writer(file.stream());
    if (!file.commit()) {
        notes.report("", "Cannot write the file " + path + ": " + file.error() + "; the file was left as it was.");
        return false;
    }
    return true;
}

std::string path_in_folder(const std::string& folder, const std::string& name) {
    if (name.empty() || name.front() == '/' || folder.empty() || folder == ".") return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}
