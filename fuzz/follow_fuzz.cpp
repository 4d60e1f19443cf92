// Follows a result file that grows by arbitrary pieces, as `velmora-cli watch` and File > Follow do, and
// holds what the polls gather against one full read of the file as it stands (MC_Sample::fill_from_text,
// or the reader itself where a fatal fault makes fill_from_text keep nothing); and pools runs.
//
// Input: a control byte (bit 0: strict reading; bit 1: follow on from a load of the file's first bytes, as
// the window does after an open; bit 2: rewrite the file shorter, or with bit 3 replace it, and follow the
// new content; bits 4-7 and the next byte: the seed of the piece sizes), two bytes that split the rest into
// the first content and the one it is rewritten to (without a rewrite: into three runs pooled), then the
// text.
//
// Properties: after every poll the records gathered (a restart replacing those before) are a prefix of the
// full read's and the side lines a prefix of its side file, and the follower counts them; once the file
// ends with a line end, or the run is complete or stopped, they are equal (but for the side line of a last
// record still cut short), and a stop carries the full read's message. A rewritten or replaced file is
// read again from its start and then gives what a fresh read of the new content gives. Runs opened
// together (open_runs) pool what each gives read alone, run after run, unless one has a fatal fault or
// they hold different individuals.

#include "sample/Exceptions.h"
#include "sample/OpenRuns.h"
#include "sample/RunFollower.h"
#include "sample/RunLoader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

/// Stops the run, naming the line of the property that failed, so that a crash says which one.
void check(bool ok, unsigned line = __builtin_LINE()) {
    if (ok) return;
    std::fprintf(stderr, "property of line %u failed\n", line);
    std::abort();
}

const std::string& work_dir() {
    static const std::string dir = [] {
        const std::string d = "/dev/shm/velmora-follow-fuzz-" + std::to_string(::getpid());
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

void write_file(const std::string& path, const std::string& bytes, bool append) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC), 0644);
    check(fd >= 0);
    check(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Full {
    MC_Sample store;
    std::string side;
    LoadReport report;
    std::int32_t n_indivs = -1;  ///< the header's; -1 when it was not read
};

/// One read of the whole text, as an open reads it.
Full full_read(const std::string& text, const std::string& name, bool strict) {
    Full f;
    ResultReader reader(name, ReadOptions{strict});
    std::ostringstream side;
    reader.set_side_output(&side);
    reader.feed(text);
    reader.finish();
    f.store = reader.take_records();
    f.side = side.str();
    f.report = reader.report();
    if (reader.header_read()) f.n_indivs = reader.header().n_indivs;
    if (strict || fault_of(f.report.stop) == LoadFault::fatal) return f;
    // The load the window and the batch tool make must agree with the reader's.
    MC_Sample loaded;
    Notices notes;
    const std::string side_path = work_dir() + "/side.txt";
    try {
        loaded.fill_from_text(text.data(), text.data() + text.size(), name, side_path, notes);
    } catch (const Exceptions&) {
        check(f.report.stop == LoadStop::bad_individual);
    }
    check(read_file(side_path) == f.side);
    std::filesystem::remove(side_path);
    f.store = std::move(loaded);
    return f;
}

bool same_rows(const MC_Sample& a, const MC_Sample& b, std::int32_t n) {
    if (n == 0) return true;
    if (a.stride() != b.stride()) return false;
    const auto bytes = static_cast<std::size_t>(n) * a.stride();
    return std::memcmp(a.data(), b.data(), bytes) == 0 &&
           std::memcmp(a.log_likelihoods().data(), b.log_likelihoods().data(),
                       static_cast<std::size_t>(n) * sizeof(double)) == 0;
}

/// What the polls gathered so far.
struct Gathered {
    MC_Sample store;
    std::string side;
};

/// Polls once, takes the update in and checks it against a full read of `content`; true when the follower
/// is done (complete or stopped).
bool poll_and_check(RunFollower& follower, Gathered& got, const std::string& content, bool strict, bool must_equal) {
    FollowUpdate u = follower.poll();
    const std::int32_t added = u.records.get_n_samples();
    check(u.kind != FollowUpdate::Kind::waiting);
    check(u.kind != FollowUpdate::Kind::unchanged || (added == 0 && !u.from_start));
    check(u.kind != FollowUpdate::Kind::grew || added > 0);
    if (u.from_start) {
        got.store = std::move(u.records);
        got.side = u.side_lines;
    } else {
        check(got.store.extend(std::move(u.records)));
        got.side += u.side_lines;
    }
    check(follower.records() == got.store.get_n_samples());
    const Full full = full_read(content, follower.path(), strict);
    const std::int32_t n = got.store.get_n_samples();
    const bool done = u.kind == FollowUpdate::Kind::complete || u.kind == FollowUpdate::Kind::stopped;
    const LoadFault fault = fault_of(full.report.stop);
    if (fault == LoadFault::fatal) {
        // Nothing of the file is used; what the follower read before the fault is its own business, but
        // it must have stopped once it met the fault, and say why.
        if (u.kind == FollowUpdate::Kind::stopped && full.report.stop != LoadStop::bad_header)
            check(u.note == full.report.message);
        return done;
    }
    // A full read leaves out a last record when the file ends inside a number, even one of the text after
    // the record's data; a load that ended on the white space before took that record whole, and so does
    // a follower that went on from it. Then the full read of the text up to that white space is the bound.
    const MC_Sample* bound = &full.store;
    Full before_number;
    if (n > full.store.get_n_samples() && fault == LoadFault::incomplete && !must_equal) {
        const std::size_t space = content.find_last_of(" \t\r\n\v\f");
        if (space != std::string::npos) {
            before_number = full_read(content.substr(0, space + 1), follower.path(), strict);
            bound = &before_number.store;
        }
    }
    check(n <= bound->get_n_samples() && same_rows(got.store, *bound, n));
    check(full.side.compare(0, got.side.size(), got.side) == 0);
    if (done || must_equal) {
        check(n == full.store.get_n_samples());
        // A record cut short is still being written for the follower: its side line, which a full read
        // writes, comes once the record is whole.
        const std::string rest = full.side.substr(got.side.size());
        const bool pending = !done && fault == LoadFault::incomplete && full.report.last_listed_unused;
        check(rest.empty() || (pending && rest.find("\r\n") + 2 == rest.size()));
        if (n > 0) check(got.store.n_indivs() == full.store.n_indivs());
    }
    if (u.kind == FollowUpdate::Kind::stopped) check(fault == LoadFault::bad_record && u.note == full.report.message);
    if (fault == LoadFault::bad_record && must_equal) check(u.kind == FollowUpdate::Kind::stopped || done);
    return done;
}

struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// A piece size: mostly short (inside a number or a line), now and then a few records.
    std::size_t piece() {
        const std::uint64_t r = next();
        return (r & 3) == 0 ? r % 257 : r % 9;
    }
};

/// Appends `text` to the file in random pieces, polling after each; then a line end when it has none, so
/// that the last record is whole, and a last poll that must agree in full. Returns true when the follower
/// was done before the end.
bool grow(RunFollower& follower, Gathered& got, const std::string& path, std::string& content, const std::string& text,
          Random& random, bool strict) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = std::min(text.size() - at, random.piece());
        write_file(path, text.substr(at, size), true);
        content.append(text, at, size);
        at += size;
        if (poll_and_check(follower, got, content, strict, false)) return true;
    }
    if (!content.empty() && content.back() != '\n') {
        write_file(path, "\n", true);
        content += '\n';
    }
    return poll_and_check(follower, got, content, strict, true);
}

/// Opens `texts` as the runs of one analysis (open_runs) and holds the pool against each run read alone:
/// runs of different individuals are refused, a fatal fault in any run fails the pool, and otherwise run r
/// of the pooled store holds run r's records read alone, in order.
void check_pool(const std::vector<std::string>& texts, bool strict) {
    std::vector<std::string> paths;
    std::vector<Full> alone;
    bool fatal = false;
    bool differ = false;
    for (std::size_t r = 0; r < texts.size(); ++r) {
        paths.push_back(work_dir() + "/pool_" + std::to_string(r) + ".txt");
        write_file(paths.back(), texts[r], false);
        alone.push_back(full_read(texts[r], paths.back(), strict));
        fatal = fatal || fault_of(alone.back().report.stop) == LoadFault::fatal;
        differ = differ ||
                 (alone.back().n_indivs >= 0 && alone[0].n_indivs >= 0 && alone.back().n_indivs != alone[0].n_indivs);
    }
    Notices notes;
    LoadOptions options;
    options.strict = strict;
    const OpenedRuns pool = open_runs(paths, work_dir() + "/pool_side.txt", notes, 1, nullptr, options);
    for (std::size_t r = 0; r < texts.size(); ++r)
        std::filesystem::remove(numbered_name(work_dir() + "/pool_side.txt", r, texts.size()));
    if (differ)
        return check(pool.status == OpenedRuns::Status::mismatch ||
                     (fatal && pool.status == OpenedRuns::Status::unreadable));
    if (fatal) return check(pool.status == OpenedRuns::Status::unreadable);
    check(pool.status == OpenedRuns::Status::ok && pool.store->n_runs() == static_cast<std::int32_t>(texts.size()));
    for (std::size_t r = 0; r < texts.size(); ++r) {
        const MC_Sample::Range range = pool.store->run(static_cast<std::int32_t>(r));
        const MC_Sample& one = alone[r].store;
        const std::int32_t n = one.get_n_samples();
        check(range.last - range.first == n && pool.runs[r].stored == n);
        if (n == 0) continue;
        check(one.stride() == pool.store->stride());
        check(std::memcmp(pool.store->data() + static_cast<std::size_t>(range.first) * one.stride(), one.data(),
                          static_cast<std::size_t>(n) * one.stride()) == 0);
        for (std::int32_t i = 0; i < n; ++i)
            check(pool.store->log_likelihood(range.first + i) == one.log_likelihood(i));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint8_t control = data[0];
    const bool strict = control & 1;
    const bool from_load = control & 2;
    const bool rewrite = control & 4;
    const bool replace = control & 8;
    Random random{(static_cast<std::uint64_t>(control >> 4) << 8) | data[1]};
    const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
    const std::size_t split = rewrite ? std::min<std::size_t>(text.size(), data[2] | (data[3] << 8)) : text.size();
    const std::string first = text.substr(0, split);
    const std::string second = text.substr(split);
    if (!rewrite) {
        // The two bytes that split a rewrite split the text into three runs pooled instead.
        const std::size_t a = std::min<std::size_t>(text.size(), data[2] * 4u);
        const std::size_t b = std::min<std::size_t>(text.size(), a + data[3] * 4u);
        check_pool({text.substr(0, a), text.substr(a, b - a), text.substr(b)}, strict);
    }

    const std::string path = work_dir() + "/run.txt";
    std::filesystem::remove(path);
    std::string content;
    Gathered got;
    std::unique_ptr<RunFollower> follower;
    std::size_t start = 0;
    if (from_load) {
        // The window loads what the file holds at the open, then follows on from where the load stopped.
        start = std::min(first.size(), static_cast<std::size_t>(random.next() % (first.size() + 1)));
        content = first.substr(0, start);
        write_file(path, content, false);
        LoadOptions options;
        options.strict = strict;
        RunLoader loader(path, options);
        if (!loader.read_header()) return 0;
        std::ostringstream side;
        loader.read_rest(&side);
        const LoadReport& report = loader.report();
        const LoadFault fault = fault_of(report.stop);
        if (fault != LoadFault::none && fault != LoadFault::incomplete) return 0;
        got.store = loader.take_store();
        got.side = side.str();
        follower =
            std::make_unique<RunFollower>(path,
                                          FollowStart{loader.header(), report.records_end, report.records_end_line,
                                                      got.store.get_n_samples(), report.last_listed_unused},
                                          ReadOptions{strict});
        check(follower->records() == got.store.get_n_samples());
    } else {
        follower = std::make_unique<RunFollower>(path, ReadOptions{strict});
        check(follower->poll().kind == FollowUpdate::Kind::waiting);
        write_file(path, "", false);
    }
    if (grow(*follower, got, path, content, first.substr(start), random, strict)) return 0;
    if (!rewrite || content.empty()) return 0;

    // The run restarted: the file now holds other content, shorter than what was read, or is another file.
    std::string next = replace ? second : second.substr(0, std::min(second.size(), content.size() - 1));
    const std::size_t now = std::min(next.size(), static_cast<std::size_t>(random.next() % (next.size() + 1)));
    if (replace) {
        write_file(path + ".new", next.substr(0, now), false);
        std::filesystem::rename(path + ".new", path);
    } else {
        write_file(path, next.substr(0, now), false);
    }
    content = next.substr(0, now);
    FollowUpdate u = follower->poll();
    check(u.from_start);
    got.store = std::move(u.records);
    got.side = u.side_lines;
    check(follower->records() == got.store.get_n_samples());
    const Full fresh = full_read(content, path, strict);
    if (fault_of(fresh.report.stop) != LoadFault::fatal) {
        const std::int32_t n = got.store.get_n_samples();
        check(n <= fresh.store.get_n_samples() && same_rows(got.store, fresh.store, n));
        check(fresh.side.compare(0, got.side.size(), got.side) == 0);
    }
    if (u.kind == FollowUpdate::Kind::complete || u.kind == FollowUpdate::Kind::stopped) return 0;
    grow(*follower, got, path, content, next.substr(now), random, strict);
    return 0;
}
