#include "sample/InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

InputFile::~InputFile() { release(); }

void InputFile::release() {
    if (mapped_) munmap(const_cast<char*>(data_), size_);
    mapped_ = false;
    data_ = nullptr;
    size_ = 0;
    buffer_.clear();
}

void InputFile::release_before(const char* position) {
    if (!mapped_ || position <= data_) return;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const auto bytes = static_cast<std::size_t>(std::min(position, data_ + size_) - data_) / page * page;
    if (bytes > 0) madvise(const_cast<char*>(data_), bytes, MADV_DONTNEED);
}

bool InputFile::open(const std::string& path) {
    release();
    error_.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error_ = std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error_ = "it is a directory";
        ::close(fd);
        return false;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            madvise(p, static_cast<std::size_t>(st.st_size), MADV_SEQUENTIAL);
            data_ = static_cast<const char*>(p);
            size_ = static_cast<std::size_t>(st.st_size);
            mapped_ = true;
            ::close(fd);
            return true;
        }
    }
    // Pipes, empty files and anything that cannot be mapped are read into memory.
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = std::strerror(errno);
            ::close(fd);
            buffer_.clear();
            return false;
        }
        if (n == 0) break;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    data_ = buffer_.data();
    size_ = buffer_.size();
    return true;
}
