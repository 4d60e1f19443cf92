#include "sample/Mc_sample.h"

#include "sample/Exceptions.h"
#include "sample/PendingSideFile.h"
#include "sample/ResultReader.h"
#include "sample/RunLoader.h"

#include <algorithm>

LoadReport MC_Sample::fill_mc_sample(const std::string& path, const std::string& side_path, Notices& notes,
                                     const Progress* progress) {
    RunLoader loader(path);
    if (!loader.read_header()) {
        report_load(loader.name(), loader.report(), 0, 0, true, notes);
        return loader.report();
    }
    PendingSideFile side(side_path, loader.name(), notes);
    loader.read_rest(side.stream(), progress);  // Cancelled leaves the side file as it was
    LoadReport report = loader.report();
    if (fault_of(report.stop) == LoadFault::fatal) {
        report_load(loader.name(), report, 0, loader.header().n_indivs, true, notes);
        return report;  // nothing of the file is used, and the side file stays as it was
    }
    *this = loader.take_store();
    report_load(loader.name(), report, n_samples_, n_indivs_, true, notes);
    report.side_file_written = side.commit(notes);
    if (report.stop == LoadStop::bad_individual) raise_exception("fill_mc_sample indiv out of range !");
    return report;
}

LoadReport MC_Sample::fill_from_text(const char* begin, const char* end, const std::string& name,
                                     const std::string& side_path, Notices& notes) {
    ResultReader reader(name);
    PendingSideFile side(side_path, name, notes);
    reader.set_side_output(side.stream());
    reader.feed(begin, static_cast<std::size_t>(end - begin));
    reader.finish();
    LoadReport report = reader.report();
    if (fault_of(report.stop) == LoadFault::fatal) {
        report_load(name, report, 0, reader.header().n_indivs, true, notes);
        return report;
    }
    *this = reader.take_records();
    report_load(name, report, n_samples_, n_indivs_, true, notes);
    report.side_file_written = side.commit(notes);
    if (report.stop == LoadStop::bad_individual) raise_exception("fill_mc_sample indiv out of range !");
    return report;
}

bool MC_Sample::extend(MC_Sample&& more) {
    if (n_samples_ == 0 && run_starts_.size() == 1) {
        *this = std::move(more);
        more = MC_Sample();
        return true;
    }
    // A poll that found nothing new hands over a store that never read a header (0 individuals): nothing
    // to add, whatever its n_indivs.
    if (more.n_samples_ == 0) {
        more = MC_Sample();
        return true;
    }
    if (more.n_indivs_ != n_indivs_) return false;
    samples_.insert(samples_.end(), more.samples_.begin(), more.samples_.end());
    log_likelihoods_.insert(log_likelihoods_.end(), more.log_likelihoods_.begin(), more.log_likelihoods_.end());
    n_samples_ += more.n_samples_;
    Kmax_ = std::max(Kmax_, more.Kmax_);
    more = MC_Sample();
    return true;
}

MC_Sample::Range MC_Sample::run(std::int32_t r) const {
    const auto i = static_cast<std::size_t>(r);
    return {run_starts_[i], i + 1 < run_starts_.size() ? run_starts_[i + 1] : n_samples_};
}

bool MC_Sample::append_run(MC_Sample&& other) {
    // A store never filled (no header: no individuals, no Kmax) takes the other's runs as they are; a run
    // that holds no observation is a run all the same, and keeps its place.
    if (n_samples_ == 0 && run_starts_.size() == 1 && n_indivs_ == 0 && Kmax_ == 0) {
        *this = std::move(other);
        other = MC_Sample();
        return true;
    }
    if (other.n_indivs_ != n_indivs_ && (n_samples_ > 0 || other.n_samples_ > 0)) return false;
    for (const std::int32_t start : other.run_starts_) run_starts_.push_back(n_samples_ + start);
    samples_.insert(samples_.end(), other.samples_.begin(), other.samples_.end());
    log_likelihoods_.insert(log_likelihoods_.end(), other.log_likelihoods_.begin(), other.log_likelihoods_.end());
    n_samples_ += other.n_samples_;
    Kmax_ = std::max(Kmax_, other.Kmax_);
    other = MC_Sample();
    return true;
}

MC_Sample MC_Sample::without_clusterings() const {
    MC_Sample out;
    out.n_indivs_ = 0;
    out.Kmax_ = Kmax_;
    out.n_samples_ = n_samples_;
    out.run_starts_ = run_starts_;
    out.log_likelihoods_ = log_likelihoods_;
    out.samples_.resize(static_cast<std::size_t>(n_samples_));
    for (std::int32_t i = 0; i < n_samples_; ++i)
        out.samples_[static_cast<std::size_t>(i)] = samples_[static_cast<std::size_t>(i) * stride()];
    return out;
}

std::optional<MC_Sample> MC_Sample::with_runs_grown(const std::vector<MC_Sample>& grown,
                                                    const std::vector<bool>& replaced) const {
    const auto runs = static_cast<std::size_t>(n_runs());
    if (grown.size() != runs || replaced.size() != runs) return std::nullopt;
    std::size_t rows = 0;
    for (std::size_t r = 0; r < runs; ++r) {
        if (grown[r].n_samples_ > 0 && grown[r].n_indivs_ != n_indivs_) return std::nullopt;
        const Range kept = run(static_cast<std::int32_t>(r));
        rows += (replaced[r] ? 0 : static_cast<std::size_t>(kept.last - kept.first)) +
                static_cast<std::size_t>(grown[r].n_samples_);
    }
    MC_Sample out;
    out.n_indivs_ = n_indivs_;
    out.Kmax_ = Kmax_;
    out.samples_.reserve(rows * stride());
    out.log_likelihoods_.reserve(rows);
    out.run_starts_.clear();
    for (std::size_t r = 0; r < runs; ++r) {
        out.run_starts_.push_back(out.n_samples_);
        const Range kept = run(static_cast<std::int32_t>(r));
        if (!replaced[r]) {
            out.samples_.insert(out.samples_.end(),
                                samples_.begin() + static_cast<std::ptrdiff_t>(kept.first * stride()),
                                samples_.begin() + static_cast<std::ptrdiff_t>(kept.last * stride()));
            out.log_likelihoods_.insert(out.log_likelihoods_.end(), log_likelihoods_.begin() + kept.first,
                                        log_likelihoods_.begin() + kept.last);
            out.n_samples_ += kept.last - kept.first;
        }
        const MC_Sample& more = grown[r];
        out.samples_.insert(out.samples_.end(), more.samples_.begin(), more.samples_.end());
        out.log_likelihoods_.insert(out.log_likelihoods_.end(), more.log_likelihoods_.begin(),
                                    more.log_likelihoods_.end());
        out.n_samples_ += more.n_samples_;
        out.Kmax_ = std::max(out.Kmax_, more.Kmax_);
    }
    if (out.run_starts_.empty()) out.run_starts_.push_back(0);
    return out;
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
