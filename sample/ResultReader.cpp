#include "sample/ResultReader.h"

// The reader's pieces and phases: what waits between pieces, the header, what follows the records, and the
// side file's lines.

#include "sample/Header.h"
#include "sample/RunChecks.h"
#include "sample/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>
#include <ostream>

namespace {

bool is_space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f'; }

constexpr std::size_t side_flush_bytes = 1 << 20;

}  // namespace

std::int64_t record_byte_limit(std::int32_t n_indivs) { return 64 * (std::int64_t{n_indivs} + 257) + (1 << 16); }

ResultReader::ResultReader(std::string name, ReadOptions options) : name_(std::move(name)), options_(options) {}

ResultReader::ResultReader(std::string name, const RunHeader& header, int line, ReadOptions options,
                           std::int32_t records_before, bool inside_line, bool after_cr)
    : name_(std::move(name)),
      options_(options),
      header_(header),
      records_before_(records_before),
      inside_line_(inside_line),
      line_(line),
      first_line_(line),
      after_cr_(after_cr) {
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

void ResultReader::set_size_hint(std::int64_t bytes) {
    size_hint_ = bytes;
    if (phase_ == Phase::records && records_ == 0 && pending_.empty()) begin_records();
}

bool ResultReader::continue_with(ResultReader& next) {
    const bool here = phase_ == Phase::records && pending_.empty() && offset_ == bytes_ && !after_cr_ && !listed_;
    const LoadReport& r = next.report_;
    const bool there = next.phase_ == Phase::records && next.options_.strict == options_.strict &&
                       next.header_.n_indivs == header_.n_indivs && next.header_.Kmax == header_.Kmax &&
                       next.header_.n_obs == header_.n_obs && r.stop == LoadStop::none &&
                       r.not_clusterings.records == 0 && !r.goes_on && !r.last_listed_unused && !next.listed_ &&
                       std::int64_t{records_} + next.records_ <= header_.n_obs;
    if (!here || !there) return false;
    try {
        if (!store_.extend(next.take_records())) return false;
    } catch (const std::bad_alloc&) {
        out_of_memory();
        return true;
    }
    records_ += next.records_;
    line_ += next.line_ - next.first_line_;
    after_cr_ = next.after_cr_;
    offset_ += next.offset_;
    bytes_ = offset_;
    report_.input.bytes = bytes_;
    if (!side_set_ || side_ != nullptr) side_buffer_ += next.side_buffer_;
    next.side_buffer_.clear();
    flush_side();
    return true;
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
    if (phase_ == Phase::records && inside_line_) {
        const TextCursor::Read r = c.skip_line();
        if (r == TextCursor::Read::end && !final) return 0;
        inside_line_ = false;
        if (r == TextCursor::Read::not_text) {
            fatal(LoadStop::not_text,
                  "line " + std::to_string(c.line()) + ": the file is not text (it holds a NUL byte)");
            return 0;
        }
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

void ResultReader::scan_trailing(const char* begin, const char* end) {
    if (std::memchr(begin, '\0', static_cast<std::size_t>(end - begin)) != nullptr) {
        fatal(LoadStop::not_text, "after its " + grouped_digits(records_before_ + header_.n_obs) +
                                      " records the file is not text (it holds a NUL byte)");
        return;
    }
    if (!report_.goes_on) report_.goes_on = std::any_of(begin, end, [](char ch) { return !is_space(ch); });
}

std::uint8_t* ResultReader::open_row(std::int32_t k) {
    // The store's bytes past its rows are zeros (ZeroedAllocator): the new row starts with every individual
    // in no cluster, and only its listed individuals are written.
    const std::size_t offset = store_.samples_.size();
    store_.samples_.resize(offset + store_.stride());
    std::uint8_t* row = store_.samples_.data() + offset;
    row[0] = static_cast<std::uint8_t>(k);
    return row;
}

void ResultReader::drop_row() {
    const std::size_t kept = store_.log_likelihoods_.size() * store_.stride();
    if (store_.samples_.size() > kept)
        std::fill(store_.samples_.begin() + static_cast<std::ptrdiff_t>(kept), store_.samples_.end(), std::uint8_t{0});
    store_.samples_.resize(kept);
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
    if (after_records)
        report_.message += "; loading stopped after " + std::to_string(records_before_ + records_) + " observations";
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
