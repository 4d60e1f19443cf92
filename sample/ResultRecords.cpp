#include "sample/ClusteringCheck.h"
#include "sample/ResultReader.h"

#include <cstring>
#include <vector>

// The records of a result file: reading one from the cursor, its checks, and the ways it can end.

namespace {

using Read = TextCursor::Read;

bool is_space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f'; }

}  // namespace

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
    // A k that runs to the end of the file may have been cut there while the sampler wrote it (a
    // follower reads the whole number later): the record is not listed, as its k is not known.
    if (final && c.position() == end) {
        listed_ = false;
        return number_problem(Read::end, c, c.line(), "", final);
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
        listed += m;
        // The members are read with a copy of the cursor that nothing else sees, so that it stays in registers
        // while the row is written; the cursor takes its place back after the loop, or at a problem.
        TextCursor fast = c;
        std::int32_t t = 0;
        std::int32_t x = 0;
        for (; t < m; ++t) {
            r = fast.read_int_fast(x);
            if (r != Read::ok || x < 1 || static_cast<std::size_t>(x) > n) break;
            row[x] = static_cast<std::uint8_t>(j);
        }
        c = fast;
        if (t < m) {
            if (r == Read::out_of_range) {
                side_line(listed_ll_, listed_k_);
                stop(LoadStop::bad_individual, c.line(),
                     "individual " + c.number_text() + " is outside 1.." + std::to_string(header_.n_indivs));
                return Outcome::stopped;
            }
            if (r != Read::ok)
                return number_problem(r, c, c.line(), "an individual of cluster " + std::to_string(j), final);
            side_line(listed_ll_, listed_k_);
            stop(LoadStop::bad_individual, c.line(),
                 "individual " + std::to_string(x) + " is outside 1.." + std::to_string(header_.n_indivs));
            return Outcome::stopped;
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
