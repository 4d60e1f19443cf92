#include "sample/RunFollower.h"

#include "sample/ByteSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

/// Bytes of the file's start kept to tell a rewritten file: the header and the first records.
constexpr std::int64_t start_bytes_kept = 4096;

/// Reads up to `size` bytes at `offset`; the count, or -1 when reading failed.
std::int64_t read_at(int fd, char* buffer, std::size_t size, std::int64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

/// An open file descriptor, closed when it goes.
struct Fd {
    int fd;
    explicit Fd(const std::string& path) : fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

bool is_space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f'; }

/// The byte before `offset` of the file; a line end when it cannot be read (the first poll tells).
char byte_before(const std::string& path, std::int64_t offset) {
    const Fd file(path);
    char c = '\n';
    if (file.fd < 0 || read_at(file.fd, &c, 1, offset - 1) != 1) return '\n';
    return c;
}

/// True when something other than blanks lies between the last line end before `offset` and `offset`: the
/// offset is inside a line that holds text before it. Looks back 4 KiB at most (blanks alone: not inside).
bool inside_line(const std::string& path, std::int64_t offset) {
    const Fd file(path);
    if (file.fd < 0 || offset <= 0) return false;
    std::string bytes(static_cast<std::size_t>(std::min<std::int64_t>(offset, 4096)), '\0');
    const std::int64_t n =
        read_at(file.fd, bytes.data(), bytes.size(), offset - static_cast<std::int64_t>(bytes.size()));
    if (n != static_cast<std::int64_t>(bytes.size())) return false;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        if (bytes[i] == '\n' || bytes[i] == '\r') return false;
        if (!is_space(bytes[i])) return true;
    }
    return false;
}

}  // namespace

struct RunFollower::Identity {
    dev_t device = 0;
    ino_t inode = 0;
};

RunFollower::RunFollower(std::string path, ReadOptions options) : path_(std::move(path)), options_(options) {}

RunFollower::RunFollower(std::string path, const FollowStart& start, ReadOptions options)
    : path_(std::move(path)), options_(options), header_(start.header), base_(start.offset), before_(start.records) {
    // A load that ended just after the header's last number, with no white space after it, may have taken
    // a number that the end of the file cut short (the sampler was writing it), and listed a record read
    // with it: the first poll reads the file again from its start, in place of what the load read.
    if (start.records == 0 && base_ > 0 && !is_space(byte_before(path_, base_))) {
        base_ = 0;
        reread_ = true;
        return;
    }
    // The reader goes on at a record boundary, with the records still due. A record ends at the end of its
    // last line: a load that stopped inside that line (the end of the file cut it after the record's last
    // number) has the rest of the line still to skip. After the header, a record may start on its line.
    RunHeader rest = start.header;
    rest.n_obs = std::max(0, start.header.n_obs - start.records);
    reader_ = std::make_unique<ResultReader>(input_name(path_), rest, start.line, options_, start.records,
                                             start.records > 0 && inside_line(path_, base_),
                                             base_ > 0 && byte_before(path_, base_) == '\r');
    side_ = std::make_unique<std::ostringstream>();
    reader_->set_side_output(side_.get());
    skip_side_line_ = start.listed;
    complete_ = start.records >= start.header.n_obs;
    struct stat st {};
    if (stat(path_.c_str(), &st) == 0) {
        identity_ = std::make_unique<Identity>(Identity{st.st_dev, st.st_ino});
        Fd file(path_);
        if (file.fd >= 0) {
            start_bytes_.resize(static_cast<std::size_t>(std::min(start_bytes_kept, base_)));
            const std::int64_t n = read_at(file.fd, start_bytes_.data(), start_bytes_.size(), 0);
            start_bytes_.resize(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
        }
    }
}

RunFollower::~RunFollower() = default;

bool RunFollower::same_start(std::string& why) const {
    if (start_bytes_.empty()) return true;
    Fd file(path_);
    if (file.fd < 0) return true;  // told by the read that follows
    std::string now(start_bytes_.size(), '\0');
    const std::int64_t n = read_at(file.fd, now.data(), now.size(), 0);
    if (n == static_cast<std::int64_t>(now.size()) && now == start_bytes_) return true;
    why = "its start was rewritten (the run was restarted)";
    return false;
}

bool RunFollower::read_to(std::int64_t size, std::string& why) {
    Fd file(path_);
    if (file.fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    std::vector<char> buffer(1 << 20);
    std::int64_t at = base_ + reader_->bytes();
    while (at < size && !reader_->ended()) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size - at, buffer.size()));
        const std::int64_t n = read_at(file.fd, buffer.data(), want, at);
        if (n < 0) {
            why = std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        reader_->feed(buffer.data(), static_cast<std::size_t>(n));
        at += n;
    }
    if (start_bytes_.empty() && at > 0) {
        start_bytes_.resize(static_cast<std::size_t>(std::min(start_bytes_kept, at)));
        const std::int64_t n = read_at(file.fd, start_bytes_.data(), start_bytes_.size(), 0);
        start_bytes_.resize(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
    }
    return true;
}

void RunFollower::take(FollowUpdate& update) {
    update.records = reader_->take_records();
    std::string lines = side_->str();
    side_->str(std::string());
    if (skip_side_line_ && !lines.empty()) {
        const std::size_t end = lines.find('\n');
        lines.erase(0, end == std::string::npos ? lines.size() : end + 1);
        skip_side_line_ = false;
    }
    update.side_lines = std::move(lines);
    if (reader_->header_read()) header_ = before_ > 0 ? header_ : reader_->header();
    const LoadFault fault = fault_of(reader_->report().stop);
    if (fault == LoadFault::fatal || fault == LoadFault::bad_record) {
        update.kind = FollowUpdate::Kind::stopped;
        update.note = reader_->report().message;
        complete_ = true;
    } else if (reader_->header_read() && records() >= header_.n_obs) {
        update.kind = FollowUpdate::Kind::complete;
        complete_ = true;
    }
}

FollowUpdate RunFollower::restart(const std::string& why) {
    reader_ = std::make_unique<ResultReader>(input_name(path_), options_);
    side_ = std::make_unique<std::ostringstream>();
    reader_->set_side_output(side_.get());
    base_ = 0;
    before_ = 0;
    skip_side_line_ = false;
    complete_ = false;
    start_bytes_.clear();
    identity_.reset();
    FollowUpdate update = poll();
    update.from_start = true;
    if (update.kind == FollowUpdate::Kind::grew || update.kind == FollowUpdate::Kind::unchanged)
        update.kind = FollowUpdate::Kind::restarted;
    if (update.note.empty()) update.note = input_name(path_) + " is read again from its start: " + why + ".";
    return update;
}

FollowUpdate RunFollower::poll() {
    FollowUpdate update;
    if (complete_) {
        update.kind = FollowUpdate::Kind::complete;
        return update;
    }
    if (reread_) {
        reread_ = false;
        return restart("its load may have ended inside the header's last number");
    }
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0) {
        // Not there yet is waited for; there but unreadable is a fault.
        update.kind = errno == ENOENT ? FollowUpdate::Kind::waiting : FollowUpdate::Kind::stopped;
        update.note =
            (errno == ENOENT ? "Waiting for " : "Cannot read ") + input_name(path_) + ": " + std::strerror(errno) + ".";
        complete_ = update.kind == FollowUpdate::Kind::stopped;
        return update;
    }
    if (identity_ && (identity_->device != st.st_dev || identity_->inode != st.st_ino))
        return restart("another file is there now");
    if (!reader_) {
        reader_ = std::make_unique<ResultReader>(input_name(path_), options_);
        side_ = std::make_unique<std::ostringstream>();
        reader_->set_side_output(side_.get());
    }
    identity_ = std::make_unique<Identity>(Identity{st.st_dev, st.st_ino});
    const std::int64_t size = st.st_size;
    const std::int64_t read = base_ + reader_->bytes();
    if (size < read) return restart("it shrank");
    std::string why;
    if (!same_start(why)) return restart(why);
    if (size == read) return update;
    if (!read_to(size, why)) {
        update.kind = FollowUpdate::Kind::stopped;
        update.note = "Cannot read the result file " + input_name(path_) + ": " + why + ".";
        complete_ = true;
        return update;
    }
    take(update);
    if (update.kind == FollowUpdate::Kind::unchanged && update.records.get_n_samples() > 0)
        update.kind = FollowUpdate::Kind::grew;
    return update;
}
