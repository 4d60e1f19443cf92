#include "sample/Mc_sample.h"

#include "sample/Exceptions.h"
#include "sample/Header.h"
#include "sample/InputFile.h"
#include "sample/OutputFile.h"
#include "sample/TextCursor.h"
#include "sample/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>

namespace {

/// The side file, buffered, committed when filling ends however it ends (an exception included), so it
/// holds the lines of every record read so far.
class SideWriter {
  public:
    SideWriter(const std::string& path, const std::string& result_path, Notices& notes) : diag_(notes) {
        if (path.empty()) return;
        if (!file_.open(path)) {
            diag_.report("", "Cannot write the trajectory file " + path + " (" + file_.error() + "); the trace of " +
                                 result_path + " cannot be shown or saved.");
        }
        path_ = path;
        buffer_.reserve(1 << 16);
    }
    ~SideWriter() { finish(); }
    SideWriter(const SideWriter&) = delete;
    SideWriter& operator=(const SideWriter&) = delete;

    void line(double log_likelihood, int k) {
        if (!file_.is_open()) return;
        append_general(buffer_, log_likelihood);
        buffer_ += '\t';
        char digits[16];
        const auto res = std::to_chars(digits, digits + sizeof digits, k);
        buffer_.append(digits, res.ptr);
        buffer_ += "\r\n";
        if (buffer_.size() >= (1 << 16)) flush();
    }

    /// Puts the side file in place with the lines written so far; true when it is there. Later calls,
    /// and a discarded file, change nothing and give false.
    bool finish() {
        if (!file_.is_open() || discarded_ || finished_) return false;
        finished_ = true;
        flush();
        if (file_.commit()) return true;
        diag_.report("", "Cannot write the trajectory file " + path_ + ": " + file_.error() + ".");
        return false;
    }

    /// Leaves the side file as it was before loading began.
    void discard() {
        discarded_ = true;
        file_.discard();
    }

  private:
    void flush() {
        file_.stream().write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }

    Notices& diag_;
    OutputFile file_;
    std::string path_;
    std::string buffer_;
    bool discarded_ = false;
    bool finished_ = false;
};

}  // namespace

LoadReport MC_Sample::fill_mc_sample(const std::string& path, const std::string& side_path, Notices& notes,
                                     const Progress* progress) {
    InputFile file;
    if (!file.open(path)) {
        notes.report("FILE mc_datafile NOT found!", "Cannot read the result file " + path + ": " + file.error() + ".");
        return LoadReport{LoadStop::not_found, 0};
    }
    // Pages already read are handed back as loading goes, so a large file does not stay in memory
    // beside the store.
    return fill(
        file.begin(), file.end(), path, side_path, notes,
        [&file](const char* position) { file.release_before(position); }, progress);
}

LoadReport MC_Sample::fill_from_text(const char* begin, const char* end, const std::string& name,
                                     const std::string& side_path, Notices& notes) {
    return fill(begin, end, name, side_path, notes, {}, nullptr);
}

LoadReport MC_Sample::fill(const char* begin, const char* end, const std::string& path, const std::string& side_path,
                           Notices& notes, const std::function<void(const char*)>& consumed, const Progress* progress) {
    constexpr std::ptrdiff_t release_every = 32 << 20;
    constexpr std::ptrdiff_t report_every = 1 << 20;
    const char* released = begin;
    const char* reported = begin;
    TextCursor c(begin, end);
    RunHeader h;
    std::string why;
    if (!parse_header(c, h, why) || !check_header(h, why)) {
        notes.report("", "The result file " + path + " cannot be loaded: " + why + ".");
        return LoadReport{LoadStop::bad_header, c.line()};
    }

    SideWriter side(side_path, path, notes);
    n_indivs_ = h.n_indivs;
    Kmax_ = h.Kmax;
    const std::size_t stride = this->stride();
    // Never trust the header's n_obs for memory: reserve no more than the file could fill.
    samples_.reserve(
        std::min(static_cast<std::size_t>(h.n_obs) * stride, static_cast<std::size_t>(end - begin) + stride));
    log_likelihoods_.reserve(samples_.capacity() / stride);

    const auto n = static_cast<std::size_t>(n_indivs_);
    LoadReport report;
    std::int32_t records = 0;  // records stored so far
    const auto stop = [&](LoadStop why_stop, int line, const std::string& text, const char* legacy = "") {
        report = LoadReport{why_stop, line};
        notes.report(legacy, path + " line " + std::to_string(line) + ": " + text + "; loading stopped after " +
                                 std::to_string(records) + " observations.");
    };
    // A number that could not be read: at the end of the file the record is cut short, otherwise malformed.
    const auto bad_number = [&](TextCursor::Read r, int line, const std::string& token, const std::string& what) {
        if (r == TextCursor::Read::end) {
            stop(LoadStop::cut_short, line, "the file ends inside a record (expected " + what + ")");
        } else if (r == TextCursor::Read::out_of_range) {
            stop(LoadStop::malformed, line, "expected " + what + ", found " + token + ", which is out of range");
        } else {
            stop(LoadStop::malformed, line, "expected " + what + ", found " + token);
        }
    };

    try {
        while (records < h.n_obs) {
            if (!c.skip_space()) break;  // the file ends cleanly between records
            if (consumed && c.position() - released >= release_every) {
                released = c.position();
                consumed(released);
            }
            if (progress != nullptr && c.position() - reported >= report_every) {
                reported = c.position();
                try {
                    progress->step(reported - begin, end - begin);
                } catch (const Cancelled&) {
                    side.discard();
                    throw;
                }
            }
            const int record_line = c.line();
            std::int32_t iteration = 0;
            double log_likelihood = 0;
            std::int32_t k = 0;
            TextCursor::Read r = c.read_int(iteration);
            if (r != TextCursor::Read::ok) {
                bad_number(r, record_line, c.peek_token(), "the first number of a record");
                break;
            }
            r = c.read_real(log_likelihood);
            if (r != TextCursor::Read::ok) {
                bad_number(r, c.line(), c.peek_token(), "the log likelihood of a record");
                break;
            }
            r = c.read_int(k);
            if (r != TextCursor::Read::ok) {
                bad_number(r, c.line(), c.peek_token(), "the number of clusters k of a record");
                break;
            }
            side.line(log_likelihood, k);
            if (k >= 255) {
                stop(LoadStop::k_too_large, record_line,
                     "a record has k = " + std::to_string(k) + "; at most 254 clusters can be stored",
                     "Nombre de parts > 255 !!!!");
                break;
            }
            if (k < 1) {
                stop(LoadStop::k_too_small, record_line,
                     "a record has k = " + std::to_string(k) + "; a record needs at least 1 cluster");
                break;
            }
            c.skip_line();

            const std::size_t offset = samples_.size();
            samples_.resize(offset + stride, 0);
            std::uint8_t* row = samples_.data() + offset;
            row[0] = static_cast<std::uint8_t>(k);
            bool complete = true;
            if (k == 1) {
                for (int i = 0; i < 2 && complete; ++i) {
                    std::int32_t ignored = 0;
                    c.skip_space();
                    const int line = c.line();
                    r = c.read_int(ignored);
                    if (r != TextCursor::Read::ok) {
                        bad_number(r, line, c.peek_token(), "a number on the cluster line of a record with k = 1");
                        complete = false;
                    }
                }
                if (complete) {
                    std::memset(row + 1, 1, n);
                    c.skip_line();
                }
            } else {
                for (int j = 1; j <= k && complete; ++j) {
                    std::int32_t m = 0;
                    c.skip_space();
                    const int count_line = c.line();
                    r = c.read_int(m);
                    if (r != TextCursor::Read::ok) {
                        bad_number(r, count_line, c.peek_token(),
                                   "the number of individuals of cluster " + std::to_string(j));
                        complete = false;
                        break;
                    }
                    if (m < 0) {
                        stop(LoadStop::malformed, count_line,
                             "cluster " + std::to_string(j) + " has a negative number of individuals (" +
                                 std::to_string(m) + ")");
                        complete = false;
                        break;
                    }
                    for (std::int32_t t = 0; t < m; ++t) {
                        std::int32_t x = 0;
                        r = c.read_int_fast(x);
                        if (r != TextCursor::Read::ok) {
                            bad_number(r, c.line(), c.peek_token(), "an individual of cluster " + std::to_string(j));
                            complete = false;
                            break;
                        }
                        if (x < 1 || static_cast<std::size_t>(x) > n) {
                            const int line = c.line();
                            samples_.resize(offset);
                            n_samples_ = static_cast<std::int32_t>(samples_.size() / stride);
                            notes.report("", path + " line " + std::to_string(line) + ": individual " +
                                                 std::to_string(x) + " is outside 1.." + std::to_string(n_indivs_) +
                                                 "; loading stopped after " + std::to_string(n_samples_) +
                                                 " observations.");
                            raise_exception("fill_mc_sample indiv out of range !");
                        }
                        row[x] = static_cast<std::uint8_t>(j);
                    }
                    if (complete) c.skip_line();
                }
            }
            if (!complete) {
                samples_.resize(offset);
                break;
            }
            log_likelihoods_.push_back(log_likelihood);
            ++records;
        }
    } catch (const std::bad_alloc&) {
        // A row may have been stored without its log likelihood: keep only whole observations.
        const std::size_t rows = std::min(samples_.size() / stride, log_likelihoods_.size());
        samples_.resize(rows * stride);
        log_likelihoods_.resize(rows);
        n_samples_ = static_cast<std::int32_t>(rows);
        notes.report("", "Not enough memory to load " + path + " beyond " + std::to_string(n_samples_) +
                             " observations; loading stopped.");
        report = LoadReport{LoadStop::malformed, c.line()};
    }
    n_samples_ = static_cast<std::int32_t>(samples_.size() / stride);
    report.side_file_written = side.finish();
    return report;
}

MC_Sample::Range MC_Sample::run(std::int32_t r) const {
    const auto i = static_cast<std::size_t>(r);
    return {run_starts_[i], i + 1 < run_starts_.size() ? run_starts_[i + 1] : n_samples_};
}

bool MC_Sample::append_run(MC_Sample&& other) {
    if (other.n_indivs_ != n_indivs_ && n_samples_ > 0) return false;
    if (n_samples_ == 0 && run_starts_.size() == 1) {
        // An empty store takes the other's runs as they are.
        *this = std::move(other);
        other = MC_Sample();
        return true;
    }
    for (const std::int32_t start : other.run_starts_) run_starts_.push_back(n_samples_ + start);
    samples_.insert(samples_.end(), other.samples_.begin(), other.samples_.end());
    log_likelihoods_.insert(log_likelihoods_.end(), other.log_likelihoods_.begin(), other.log_likelihoods_.end());
    n_samples_ += other.n_samples_;
    Kmax_ = std::max(Kmax_, other.Kmax_);
    other = MC_Sample();
    return true;
}

std::vector<MC_Sample::Range> MC_Sample::retained_ranges(std::int32_t burn_in) const {
    const std::int32_t b = std::max<std::int32_t>(burn_in, 0);
    std::vector<Range> ranges;
    for (std::int32_t r = 0; r < n_runs(); ++r) {
        const Range whole = run(r);
        if (whole.last - whole.first > b) ranges.push_back({whole.first + b, whole.last});
    }
    return ranges;
}

std::int64_t MC_Sample::count_retained(std::int32_t burn_in) const {
    std::int64_t n = 0;
    for (const Range r : retained_ranges(burn_in)) n += r.last - r.first;
    return n;
}

std::vector<std::int32_t> MC_Sample::retained_observations(std::int32_t burn_in, std::int32_t k_from,
                                                           std::int32_t k_to) const {
    std::vector<std::int32_t> out;
    const std::size_t stride = this->stride();
    for (const Range r : retained_ranges(burn_in))
        for (std::int32_t i = r.first; i < r.last; ++i) {
            const int k = samples_[static_cast<std::size_t>(i) * stride];
            if (k >= k_from && k <= k_to) out.push_back(i);
        }
    return out;
}

std::vector<std::int64_t> MC_Sample::k_histogram(std::int32_t burn_in) const {
    std::vector<std::int64_t> counts(static_cast<std::size_t>(Kmax_) + 1, 0);
    const std::size_t stride = this->stride();
    for (const Range r : retained_ranges(burn_in))
        for (std::int32_t i = r.first; i < r.last; ++i) {
            const int k = samples_[static_cast<std::size_t>(i) * stride];
            if (k <= Kmax_) ++counts[static_cast<std::size_t>(k)];
        }
    return counts;
}

std::span<const std::uint8_t> MC_Sample::get_sample(std::uint32_t i) const {
    if (i >= static_cast<std::uint32_t>(n_samples_)) raise_exception("get_sample out of range !");
    return {samples_.data() + i * stride(), stride()};
}

int MC_Sample::get_k_for_sample(std::uint32_t i) const {
    if (i >= static_cast<std::uint32_t>(n_samples_)) raise_exception("get_k_for_sample out of range !");
    return samples_[i * stride()];
}

int MC_Sample::get_indiv_part_in_sample(std::uint32_t i, std::int32_t indiv) const {
    if (i >= static_cast<std::uint32_t>(n_samples_) || indiv < 0 || indiv > n_indivs_)
        raise_exception("get_indiv_part_in_sample out of range !");
    return samples_[i * stride() + static_cast<std::size_t>(indiv)];
}
