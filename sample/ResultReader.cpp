#include "sample/ResultReader.h"

#include "sample/ClusteringCheck.h"
#include "sample/Header.h"
#include "sample/RunChecks.h"
#include "sample/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>
#include <ostream>

namespace {

using Read = TextCursor::Read;

bool is_space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f'; }

constexpr std::size_t side_flush_bytes = 1 << 20;

}  // namespace

std::int64_t record_byte_limit(std::int32_t n_indivs) { return 64 * (std::int64_t{n_indivs} + 257) + (1 << 16); }

ResultReader::ResultReader(std::string name, ReadOptions options) : name_(std::move(name)), options_(options) {}

ResultReader::ResultReader(std::string name, const RunHeader& header, int line, ReadOptions options)
    : name_(std::move(name)), options_(options), header_(header), line_(line) {
    header_ok_ = true;
    begin_records();
}

void ResultReader::begin_records() {
    phase_ = Phase::records;
    record_limit_ = record_byte_limit(header_.n_indivs);
    store_.n_indivs_ = header_.n_indivs;
    store_.Kmax_ = header_.Kmax;
    // Never trust the header's n_obs for memory: reserve no more than the input could fill.
    const std::size_t stride = store_.stride();
    std::size_t rows = static_cast<std::size_t>(header_.n_obs);
    if (size_hint_ > 0) {
        rows = std::min(rows, static_cast<std::size_t>(size_hint_) / stride + 1);
    } else {
        rows = std::min(rows, (std::size_t{64} << 20) / stride + 1);
    }
    try {
        store_.samples_.reserve(rows * stride);
        store_.log_likelihoods_.reserve(rows);
    } catch (const std::bad_alloc&) {
        // Growing row by row will tell whether the records fit.
    }
}

void ResultReader::feed(const char* data, std::size_t size) {
    bytes_ += static_cast<std::int64_t>(size);
    report_.input.bytes = bytes_;
    if (size == 0 || phase_ == Phase::ended) return;
    last_byte_ = data[size - 1];
    const char* end = data + size;
    try {
        // An unfinished record waits in pending_: complete it with as little of the new bytes as will do,
        // then read on from the new bytes themselves.
        while (!pending_.empty() && data < end && phase_ != Phase::ended) {
            const std::size_t old = pending_.size();
            const auto take = static_cast<std::size_t>(std::min<std::ptrdiff_t>(
                end - data, std::max<std::ptrdiff_t>(1 << 16, static_cast<std::ptrdiff_t>(old))));
            pending_.append(data, take);
            data += take;
            const std::size_t consumed = parse(pending_.data(), pending_.data() + pending_.size(), false);
            offset_ += static_cast<std::int64_t>(consumed);
            if (phase_ == Phase::ended || phase_ == Phase::trailing) {
                pending_.clear();  // what follows the declared records was looked at, and is not kept
            } else if (consumed >= old) {
                data -= pending_.size() - consumed;  // what is left of pending_ is the new bytes themselves
                pending_.clear();
            } else {
                pending_.erase(0, consumed);
            }
        }
        if (pending_.empty() && data < end && phase_ != Phase::ended) {
            const std::size_t consumed = parse(data, end, false);
            offset_ += static_cast<std::int64_t>(consumed);
            if (phase_ == Phase::header || phase_ == Phase::records) pending_.assign(data + consumed, end);
        }
    } catch (const std::bad_alloc&) {
        out_of_memory();
    }
    if (phase_ == Phase::header && static_cast<std::int64_t>(pending_.size()) > header_byte_limit) {
        fatal(LoadStop::not_text, "line 1: the first " + grouped_digits(header_byte_limit) +
                                      " bytes hold no complete header; it is not a result file");
    } else if (phase_ == Phase::records && static_cast<std::int64_t>(pending_.size()) > record_limit_) {
        TextCursor c(pending_.data(), pending_.data() + pending_.size(), line_, after_cr_, true);
        c.skip_space();
        too_long(c.line());
    }
    flush_side();
}

void ResultReader::finish() {
    if (phase_ == Phase::ended) return;
    try {
        if (phase_ == Phase::header || phase_ == Phase::records) {
            const std::size_t consumed = parse(pending_.data(), pending_.data() + pending_.size(), true);
            offset_ += static_cast<std::int64_t>(consumed);
        }
    } catch (const std::bad_alloc&) {
        out_of_memory();
    }
    pending_.clear();
    pending_.shrink_to_fit();
    report_.input.whole = true;
    flush_side();
    phase_ = Phase::ended;
}

MC_Sample ResultReader::take_records() {
    MC_Sample out = std::move(store_);
    store_ = MC_Sample();
    store_.n_indivs_ = out.n_indivs_;
    store_.Kmax_ = out.Kmax_;
    out.n_samples_ = static_cast<std::int32_t>(out.log_likelihoods_.size());
    return out;
}

std::size_t ResultReader::parse(const char* begin, const char* end, bool final) {
    TextCursor c(begin, end, line_, after_cr_, !final);
    const char* committed = begin;
    const auto commit = [&] {
        committed = c.position();
        line_ = c.line();
        after_cr_ = c.after_cr();
    };
    if (phase_ == Phase::header) {
        if (!parse_header(c, begin)) return 0;
        commit();
    }
    while (phase_ == Phase::records) {
        if (records_ >= header_.n_obs) {
            phase_ = Phase::trailing;
            break;
        }
        const bool more = c.skip_space();
        commit();  // the white space before a record is read once and for all
        if (!more) break;
        record_start_ = c.position();
        record_line_ = c.line();
        listed_ = false;
        const Outcome outcome = read_record(c, end, final);
        if (outcome != Outcome::complete) break;
        commit();
    }
    // Past the declared records only whether anything follows matters: records_end stays after the last.
    if (phase_ == Phase::trailing) scan_trailing(committed, end);
    return static_cast<std::size_t>(committed - begin);
}

bool ResultReader::parse_header(TextCursor& c, const char* begin) {
    std::string why;
    switch (read_header(c, header_, why)) {
        case HeaderRead::more:
            return false;
        case HeaderRead::not_text:
            fatal(LoadStop::not_text, why);
            return false;
        case HeaderRead::invalid:
            fatal(LoadStop::bad_header, why);
            return false;
        case HeaderRead::ok:
            break;
    }
    if (!check_header(header_, why)) {
        fatal(LoadStop::bad_header, why);
        return false;
    }
    if (c.position() - begin > header_byte_limit) {
        fatal(LoadStop::not_text, "line 1: the first " + grouped_digits(header_byte_limit) +
                                      " bytes hold no complete header; it is not a result file");
        return false;
    }
    header_ok_ = true;
    begin_records();
    return true;
}

ResultReader::Outcome ResultReader::read_record(TextCursor& c, const char* end, bool final) {
    std::int32_t iteration = 0;
    double log_likelihood = 0;
    std::int32_t k = 0;
    Read r = c.read_int(iteration);
    if (r != Read::ok) return number_problem(r, c, record_line_, "the first number of a record", final);
    r = c.read_real(log_likelihood);
    if (r != Read::ok) return number_problem(r, c, c.line(), "the log likelihood of a record", final);
    r = c.read_int(k);
    if (r != Read::ok) return number_problem(r, c, c.line(), "the number of clusters k of a record", final);
    // From here on the side file lists the record, whether it is used or stops loading.
    listed_ = true;
    listed_ll_ = log_likelihood;
    listed_k_ = k;
    if (k >= 255) {
        side_line(log_likelihood, k);
        stop(LoadStop::k_too_large, record_line_,
             "a record has k = " + std::to_string(k) + "; at most 254 clusters can be stored");
        return Outcome::stopped;
    }
    if (k < 1) {
        side_line(log_likelihood, k);
        stop(LoadStop::k_too_small, record_line_,
             "a record has k = " + std::to_string(k) + "; a record needs at least 1 cluster");
        return Outcome::stopped;
    }
    r = c.skip_line();
    if (r != Read::ok) return number_problem(r, c, c.line(), "", final);

    std::uint8_t* row = open_row(k);
    ClusteringCheck check(header_.n_indivs, options_.strict || report_.not_clusterings.records == 0);
    const Outcome outcome = read_clusters(c, row, k, check, final);
    if (outcome != Outcome::complete) {
        drop_row();
        return outcome;
    }
    return finish_record(c, end, final, log_likelihood, check);
}

ResultReader::Outcome ResultReader::read_clusters(TextCursor& c, std::uint8_t* row, std::int32_t k,
                                                  ClusteringCheck& check, bool final) {
    const auto n = static_cast<std::size_t>(header_.n_indivs);
    Read r = Read::ok;
    if (k == 1) {
        std::int32_t size = 0;
        for (int i = 0; i < 2; ++i) {
            std::int32_t ignored = 0;
            c.skip_space();
            const int line = c.line();
            r = c.read_int(i == 0 ? size : ignored);
            if (r != Read::ok)
                return number_problem(r, c, line, "a number on the cluster line of a record with k = 1", final);
        }
        r = c.skip_line();
        if (r != Read::ok) return number_problem(r, c, c.line(), "", final);
        std::memset(row + 1, 1, n);
        check.whole_cluster(size);
        return Outcome::complete;
    }
    std::int64_t listed = 0;  // individuals listed, counted again when listed twice
    for (std::int32_t j = 1; j <= k; ++j) {
        std::int32_t m = 0;
        c.skip_space();
        const int count_line = c.line();
        r = c.read_int(m);
        if (r != Read::ok)
            return number_problem(r, c, count_line, "the number of individuals of cluster " + std::to_string(j), final);
        if (m < 0) {
            side_line(listed_ll_, listed_k_);
            stop(LoadStop::malformed, count_line,
                 "cluster " + std::to_string(j) + " has a negative number of individuals (" + std::to_string(m) + ")");
            return Outcome::stopped;
        }
        if (m == 0) check.empty_cluster(j);
        listed += m;
        for (std::int32_t t = 0; t < m; ++t) {
            std::int32_t x = 0;
            r = c.read_int_fast(x);
            if (r == Read::out_of_range) {
                side_line(listed_ll_, listed_k_);
                stop(LoadStop::bad_individual, c.line(),
                     "individual " + c.number_text() + " is outside 1.." + std::to_string(header_.n_indivs));
                return Outcome::stopped;
            }
            if (r != Read::ok)
                return number_problem(r, c, c.line(), "an individual of cluster " + std::to_string(j), final);
            if (x < 1 || static_cast<std::size_t>(x) > n) {
                side_line(listed_ll_, listed_k_);
                stop(LoadStop::bad_individual, c.line(),
                     "individual " + std::to_string(x) + " is outside 1.." + std::to_string(header_.n_indivs));
                return Outcome::stopped;
            }
            row[x] = static_cast<std::uint8_t>(j);
        }
        check.line_rest(j, m, c.numbers_before_line_end());
        r = c.skip_line();
        if (r != Read::ok) return number_problem(r, c, c.line(), "", final);
    }
    // Listed more often than there are individuals listed: someone is listed twice. Which is found only
    // when it is to be told, from the record's text, so that a clean record costs no more than its reading.
    const std::int64_t unlisted = check.unlisted(row);
    if (listed > header_.n_indivs - unlisted) {
        if (check.detailed()) {
            find_repeated(record_start_, c.position(), k, check);
        } else {
            check.repeated(0);
        }
    }
    return Outcome::complete;
}

void ResultReader::find_repeated(const char* begin, const char* end, std::int32_t k, ClusteringCheck& check) const {
    TextCursor c(begin, end);
    std::int32_t number = 0;
    double real = 0;
    (void)c.read_int(number);
    (void)c.read_real(real);
    (void)c.read_int(number);
    (void)c.skip_line();
    std::vector<char> seen(static_cast<std::size_t>(header_.n_indivs) + 1, 0);
    for (std::int32_t j = 1; j <= k; ++j) {
        std::int32_t m = 0;
        (void)c.read_int(m);
        for (std::int32_t t = 0; t < m; ++t) {
            std::int32_t x = 0;
            (void)c.read_int(x);
            char& s = seen[static_cast<std::size_t>(x)];
            if (s != 0) check.repeated(x);
            s = 1;
        }
        (void)c.skip_line();
    }
}

ResultReader::Outcome ResultReader::finish_record(TextCursor& c, const char* end, bool final, double log_likelihood,
                                                  ClusteringCheck& check) {
    if (c.position() - record_start_ > record_limit_) {
        drop_row();
        return too_long(record_line_);
    }
    // A file short of its records that ends without white space may have been cut inside the last number:
    // the last record is not used.
    if (final && c.position() == end && !is_space(end[-1]) && records_ + 1 < header_.n_obs) {
        drop_row();
        side_line(log_likelihood, listed_k_);
        report_.last_listed_unused = true;
        stop(LoadStop::cut_short, record_line_,
             "the file ends without a line end inside the last record, which may have been cut inside its last "
             "number, so it is not used");
        return Outcome::stopped;
    }
    if (check.faulty()) {
        ClusteringFaults& faults = report_.not_clusterings;
        if (faults.records == 0) {
            faults.first_line = record_line_;
            faults.first_problem = check.problem();
        }
        ++faults.records;
        if (options_.strict) {
            drop_row();
            side_line(log_likelihood, listed_k_);
            stop(LoadStop::not_clustering, record_line_,
                 "the record is not a clustering of individuals 1.." + std::to_string(header_.n_indivs) + ": " +
                     check.problem());
            return Outcome::stopped;
        }
    }
    store_.log_likelihoods_.push_back(log_likelihood);
    ++store_.n_samples_;
    ++records_;
    side_line(log_likelihood, listed_k_);
    return Outcome::complete;
}

ResultReader::Outcome ResultReader::number_problem(Read r, TextCursor& c, int line, const std::string& what,
                                                   bool final) {
    if (r == Read::end && !final) return Outcome::more;
    const bool listed = listed_;
    if (listed) side_line(listed_ll_, listed_k_);
    if (r == Read::not_text) {
        fatal(LoadStop::not_text, "line " + std::to_string(line) + ": the file is not text (it holds a NUL byte)");
    } else if (r == Read::end) {
        if (c.position() - record_start_ > record_limit_) return too_long(record_line_);
        report_.last_listed_unused = listed;
        stop(LoadStop::cut_short, line,
             "the file ends inside a record" + (what.empty() ? std::string() : " (expected " + what + ")"));
    } else if (r == Read::out_of_range) {
        stop(LoadStop::malformed, line, "expected " + what + ", found " + c.peek_token() + ", which is out of range");
    } else {
        stop(LoadStop::malformed, line, "expected " + what + ", found " + c.peek_token());
    }
    return Outcome::stopped;
}

void ResultReader::scan_trailing(const char* begin, const char* end) {
    if (std::memchr(begin, '\0', static_cast<std::size_t>(end - begin)) != nullptr) {
        fatal(LoadStop::not_text,
              "after its " + grouped_digits(header_.n_obs) + " records the file is not text (it holds a NUL byte)");
        return;
    }
    if (!report_.goes_on) report_.goes_on = std::any_of(begin, end, [](char ch) { return !is_space(ch); });
}

std::uint8_t* ResultReader::open_row(std::int32_t k) {
    const std::size_t offset = store_.samples_.size();
    store_.samples_.resize(offset + store_.stride(), 0);
    std::uint8_t* row = store_.samples_.data() + offset;
    row[0] = static_cast<std::uint8_t>(k);
    return row;
}

void ResultReader::drop_row() {
    const std::size_t rows = store_.log_likelihoods_.size();
    store_.samples_.resize(rows * store_.stride());
}

void ResultReader::set_side_output(std::ostream* side) {
    side_ = side;
    side_set_ = true;
    if (side_ == nullptr) side_buffer_.clear();
    flush_side();
}

void ResultReader::side_line(double log_likelihood, std::int32_t k) {
    listed_ = false;
    if (side_set_ && side_ == nullptr) return;
    append_general(side_buffer_, log_likelihood);
    side_buffer_ += '\t';
    char digits[16];
    const auto res = std::to_chars(digits, digits + sizeof digits, k);
    side_buffer_.append(digits, res.ptr);
    side_buffer_ += "\r\n";
    if (side_buffer_.size() >= side_flush_bytes) flush_side();
}

void ResultReader::flush_side() {
    if (side_ == nullptr || side_buffer_.empty()) return;
    side_->write(side_buffer_.data(), static_cast<std::streamsize>(side_buffer_.size()));
    side_buffer_.clear();
}

void ResultReader::stop(LoadStop why, int line, const std::string& text, bool after_records) {
    report_.stop = why;
    report_.line = line;
    report_.message = name_ + " line " + std::to_string(line) + ": " + text;
    if (after_records) report_.message += "; loading stopped after " + std::to_string(records_) + " observations";
    report_.message += '.';
    phase_ = Phase::ended;
}

void ResultReader::fatal(LoadStop why, const std::string& text) {
    report_.stop = why;
    report_.line = 0;
    report_.message = "The result file " + name_ + " cannot be loaded: " + text + ".";
    phase_ = Phase::ended;
}

ResultReader::Outcome ResultReader::too_long(int line) {
    fatal(LoadStop::not_text, "line " + std::to_string(line) + ": the record starting there is longer than " +
                                  grouped_digits(record_limit_) + " bytes, more than any record of " +
                                  grouped_digits(header_.n_indivs) + " individuals can be; it is not a result file");
    report_.line = line;
    return Outcome::stopped;
}

void ResultReader::out_of_memory() {
    drop_row();  // a row may have been stored without its log likelihood
    const double mb = static_cast<double>(records_ + 1) * static_cast<double>(store_.stride()) / 1e6;
    report_.stop = LoadStop::no_memory;
    report_.line = record_line_;
    report_.message = "Not enough memory to load " + name_ + ": its first " + grouped_digits(records_ + 1) +
                      " observations of " + grouped_digits(header_.n_indivs) + " individuals need " + general_text(mb) +
                      " MB.";
    phase_ = Phase::ended;
    pending_.clear();
}

LoadFault fault_of(LoadStop stop) {
    switch (stop) {
        case LoadStop::none:
            return LoadFault::none;
        case LoadStop::cut_short:
            return LoadFault::incomplete;
        case LoadStop::not_found:
        case LoadStop::bad_header:
        case LoadStop::not_text:
        case LoadStop::changed:
        case LoadStop::no_memory:
            return LoadFault::fatal;
        case LoadStop::k_too_large:
        case LoadStop::k_too_small:
        case LoadStop::malformed:
        case LoadStop::bad_individual:
        case LoadStop::not_clustering:
            return LoadFault::bad_record;
    }
    return LoadFault::fatal;
}
