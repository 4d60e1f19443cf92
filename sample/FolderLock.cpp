#include "sample/FolderLock.h"

#include "sample/TempNames.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool FolderLock::open_folder(const std::string& folder) {
    unlock();
    error_.clear();
    opened_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened_ < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

FolderLock::Result FolderLock::try_lock(const std::string& folder) {
    if (!open_folder(folder)) return Result::failed;
    if (::flock(opened_, LOCK_EX | LOCK_NB) == 0) {
        fd_ = opened_;
        opened_ = -1;
        return Result::locked;
    }
    const int why = errno;
    ::close(opened_);
    opened_ = -1;
    if (why == EWOULDBLOCK) return Result::busy;
    error_ = std::strerror(why);
    return Result::failed;
}

bool FolderLock::lock(const std::string& folder, const std::function<void()>& waiting) {
    const Result r = try_lock(folder);
    if (r != Result::busy) return r == Result::locked;
    if (waiting) waiting();
    if (!open_folder(folder)) return false;
    while (::flock(opened_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        error_ = std::strerror(errno);
        ::close(opened_);
        opened_ = -1;
        return false;
    }
    fd_ = opened_;
    opened_ = -1;
    return true;
}

void FolderLock::unlock() {
    if (fd_ >= 0) ::close(fd_);  // closing the only descriptor drops the lock
    if (opened_ >= 0) ::close(opened_);
    fd_ = -1;
    opened_ = -1;
}

bool folder_writable(const std::string& folder, std::string& why) {
    const std::string dir = folder.empty() ? "." : folder;
    const std::string probe = dir + "/" + temporary_name_for("velmora-write-check");
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}
