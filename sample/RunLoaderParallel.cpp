#include "sample/RunLoader.h"

// A regular file read in pieces parsed at once: each piece by a reader of its own started where a record
// seems to start, joined to the reading of the pieces before only when that reading ends exactly there.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

namespace {

constexpr std::size_t piece_bytes = 1 << 20;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

/// Whether the line [p, end) looks like the first line of a record: three numbers, the first and last whole,
/// the second with a sign, a point or an exponent (a log likelihood). A cluster line holds whole numbers
/// only, so it seldom looks like one; when one does, the pieces are only read again in order.
bool looks_like_record_start(const char* p, const char* end) {
    const char* tokens[4];
    const char* token_ends[4];
    int count = 0;
    while (p < end) {
        while (p < end && is_blank(*p)) ++p;
        if (p == end) break;
        if (count == 3) return false;
        tokens[count] = p;
        while (p < end && !is_blank(*p)) ++p;
        token_ends[count++] = p;
    }
    if (count != 3) return false;
    const auto whole = [](const char* b, const char* e) {
        if (b < e && (*b == '-' || *b == '+')) ++b;
        if (b == e) return false;
        for (; b < e; ++b)
            if (static_cast<unsigned char>(*b - '0') >= 10) return false;
        return true;
    };
    if (!whole(tokens[0], token_ends[0]) || !whole(tokens[2], token_ends[2])) return false;
    bool real = false;
    for (const char* c = tokens[1]; c < token_ends[1]; ++c) {
        if (*c == '.' || *c == 'e' || *c == 'E' || *c == '-') {
            real = true;
        } else if (static_cast<unsigned char>(*c - '0') >= 10 && *c != '+') {
            return false;
        }
    }
    return real;
}

/// The first line start in [near, near + window) (cut at `limit`) whose line looks like a record's first
/// line and follows a line feed; -1 when there is none or the bytes cannot be read.
std::int64_t record_start_near(const ByteSource& source, std::int64_t near, std::int64_t limit, std::int64_t window) {
    const std::int64_t from = std::max<std::int64_t>(near - 1, 0);
    const auto size = static_cast<std::size_t>(std::min(window, limit - from));
    std::vector<char> bytes(size);
    std::size_t got = 0;
    while (got < size) {
        const std::int64_t n = source.read_at(bytes.data() + got, size - got, from + static_cast<std::int64_t>(got));
        if (n <= 0) return -1;
        got += static_cast<std::size_t>(n);
    }
    const char* begin = bytes.data();
    const char* end = begin + got;
    for (const char* p = begin; p < end;) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (lf == nullptr) return -1;
        const char* line = lf + 1;
        const auto* line_end = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (line_end == nullptr) return -1;
        if (looks_like_record_start(line, line_end)) return from + (line - begin);
        p = line;
    }
    return -1;
}

/// A piece read by a reader of its own on a thread of its own.
struct Piece {
    std::unique_ptr<ResultReader> reader;
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::atomic<std::int64_t> fed{0};
    std::atomic<bool> done{false};
    bool whole = false;  // every byte of the piece was fed
    std::thread thread;
};

}  // namespace

bool RunLoader::read_range(ResultReader& reader, std::int64_t from, std::int64_t to, std::vector<char>& buffer,
                           const Progress* progress) {
    buffer.resize(piece_bytes);
    for (std::int64_t at = from; at < to && !reader.ended();) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(piece_bytes, to - at));
        const std::int64_t n = source_.read_at(buffer.data(), want, at);
        if (n <= 0) return false;
        reader.feed(buffer.data(), static_cast<std::size_t>(n));
        at += n;
        if (progress != nullptr) progress->step(reader.bytes(), source_.size_hint());
    }
    return true;
}

bool RunLoader::read_in_parallel(int parts, const Progress* progress) {
    const std::int64_t from = reader_.bytes();
    const std::int64_t to = source_.size_hint();
    const std::int64_t window = record_byte_limit(header().n_indivs) + (1 << 16);
    std::vector<std::int64_t> bounds{from};
    for (int t = 1; t < parts; ++t) {
        const std::int64_t b = record_start_near(source_, from + (to - from) / parts * t, to, window);
        if (b > bounds.back() && b < to) bounds.push_back(b);
    }
    bounds.push_back(to);
    if (bounds.size() < 3) return true;

    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<Piece>> pieces;
    // Stops and waits for the pieces' threads however this is left.
    struct Join {
        std::atomic<bool>& stop;
        std::vector<std::unique_ptr<Piece>>& pieces;
        ~Join() {
            stop = true;
            for (auto& p : pieces)
                if (p->thread.joinable()) p->thread.join();
        }
    } join{stop, pieces};
    for (std::size_t k = 1; k + 1 < bounds.size(); ++k) {
        auto& p = *pieces.emplace_back(std::make_unique<Piece>());
        p.from = bounds[k];
        p.to = bounds[k + 1];
        p.reader = std::make_unique<ResultReader>(name_, header(), 1, ReadOptions{options_.strict});
        p.reader->set_size_hint(p.to - p.from);
        auto work = [this, &p, &stop] {
            std::vector<char> buffer(piece_bytes);
            std::int64_t at = p.from;
            while (at < p.to && !p.reader->ended() && !stop) {
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(piece_bytes, p.to - at));
                const std::int64_t n = source_.read_at(buffer.data(), want, at);
                if (n <= 0) break;
                p.reader->feed(buffer.data(), static_cast<std::size_t>(n));
                at += n;
                p.fed = at - p.from;
            }
            p.whole = at == p.to;
            p.done = true;
        };
        try {
            p.thread = std::thread(work);
        } catch (const std::system_error&) {
            p.done = true;  // read in order below
        }
    }
    // The bytes parsed by every reader, for the progress.
    const auto parsed = [&] {
        std::int64_t n = reader_.bytes();
        for (const auto& p : pieces) n += p->fed;
        return std::min(n, to);
    };
    std::vector<char> buffer;
    bool readable = read_range(reader_, from, bounds[1], buffer, progress);
    for (std::size_t k = 0; k < pieces.size() && readable && !reader_.ended(); ++k) {
        Piece& p = *pieces[k];
        while (!p.done) {
            if (progress != nullptr) progress->step(parsed(), to);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (p.thread.joinable()) p.thread.join();
        if (reader_.bytes() == p.from && p.whole) reader_.continue_with(*p.reader);
        p.reader.reset();
        // The rest of the piece (all of it when it could not be taken) is read here, in order.
        readable = read_range(reader_, reader_.bytes(), p.to, buffer, progress);
    }
    return source_.skip_to(reader_.bytes());
}
