#include "sample/ByteSource.h"

#include "sample/RunChecks.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

ByteSource::~ByteSource() {
    if (own_fd_ && fd_ >= 0) ::close(fd_);
}

bool ByteSource::open(const std::string& path) {
    error_.clear();
    if (path == "-") {
        fd_ = STDIN_FILENO;
        own_fd_ = false;
    } else {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            error_ = std::strerror(errno);
            return false;
        }
        own_fd_ = true;
    }
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        error_ = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error_ = "it is a directory";
        return false;
    }
    regular_ = S_ISREG(st.st_mode);
    size_hint_ = regular_ ? static_cast<std::int64_t>(st.st_size) : 0;
    return true;
}

std::int64_t ByteSource::read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error_ = std::strerror(errno);
            return -1;
        }
        if (n == 0) at_end_ = true;
        bytes_read_ += n;
        return n;
    }
}

std::int64_t ByteSource::read_at(char* buffer, std::size_t size, std::int64_t offset, std::string* why) const {
    for (;;) {
        const ssize_t n = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && why != nullptr) *why = std::strerror(errno);
        return n;
    }
}

bool ByteSource::skip_to(std::int64_t offset) {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    bytes_read_ = offset;
    return true;
}

bool ByteSource::wait_readable(int milliseconds) const {
    if (regular_) return true;
    pollfd p{fd_, POLLIN, 0};
    const int n = ::poll(&p, 1, milliseconds);
    return n != 0;  // ready, hung up, or an error that read() will tell
}

std::string input_name(const std::string& path) { return path == "-" ? "standard input" : path; }

bool read_text_file(const std::string& path, const std::string& what, std::int64_t max_bytes, std::string& text,
                    std::string& error) {
    text.clear();
    ByteSource source;
    if (!source.open(path)) {
        error = "Cannot read the " + what + " " + input_name(path) + ": " + source.error() + ".";
        return false;
    }
    char piece[1 << 16];
    for (;;) {
        const std::int64_t n = source.read(piece, sizeof piece);
        if (n < 0) {
            error = "Cannot read the " + what + " " + input_name(path) + ": " + source.error() + ".";
            return false;
        }
        if (n == 0) return true;
        if (const void* nul = std::memchr(piece, '\0', static_cast<std::size_t>(n))) {
            const auto at = static_cast<std::int64_t>(text.size()) + (static_cast<const char*>(nul) - piece) + 1;
            error = "The " + what + " " + input_name(path) + " is not text: its byte " + grouped_digits(at) +
                    " is a NUL byte.";
            return false;
        }
        if (static_cast<std::int64_t>(text.size()) + n > max_bytes) {
            error = "The " + what + " " + input_name(path) + " is longer than " + grouped_digits(max_bytes) +
                    " bytes, more than such a file can need.";
            return false;
        }
        text.append(piece, static_cast<std::size_t>(n));
    }
}
