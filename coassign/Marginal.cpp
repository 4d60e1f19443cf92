#include "coassign/Marginal.h"

#include "coassign/PairCounts.h"
#include "sample/CpuFeatures.h"
#include "sample/Exceptions.h"
#include "sample/OutputFile.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <numeric>
#include <ostream>
#include <thread>

std::string pairwise_cell_text(double v) {
    // "%#.5g": the decimal exponent of the value rounded to 5 digits picks the notation; fixed notation
    // keeps 4 - exponent decimals so that 5 significant digits show, trailing zeros included.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 4);
    const char* e = std::find(buf, res.ptr, 'e');
    int exp10 = 0;
    if (e != res.ptr) std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), res.ptr, exp10);
    if (e != res.ptr && exp10 >= -4 && exp10 < 5)
        res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4 - exp10);
    std::string s(buf, res.ptr);
    if (s.size() < 10) s.insert(0, 10 - s.size(), ' ');
    return s;
}

namespace {

/// "3..5" for an ascending run of k, else the entries separated by commas.
std::string k_list_text(const KList& k_list) {
    bool run = true;
    for (std::size_t i = 1; i < k_list.size(); ++i) run = run && k_list[i] == k_list[i - 1] + 1;
    if (run) return std::to_string(k_list.front()) + ".." + std::to_string(k_list.back());
    std::string s;
    for (const std::int32_t k : k_list) s += (s.empty() ? "" : ", ") + std::to_string(k);
    return s;
}

}  // namespace

Marginal::Marginal(std::int32_t Kmax, std::int32_t n_indivs)
    : Kmax_(Kmax), n_indivs_(n_indivs), threads_(available_cores()) {}

void Marginal::set_worker_threads(int threads) { threads_ = std::max(threads, 1); }

void Marginal::fill_co_assi_counts(const MC_Sample& store, std::int32_t burn_in, std::int32_t n_indivs,
                                   std::int32_t Kmax) {
    store_ = &store;
    table_.reset();
    burn_in_ = std::max<std::int32_t>(burn_in, 0);
    n_indivs_ = std::max<std::int32_t>(n_indivs, 0);
    Kmax_ = std::max<std::int32_t>(Kmax, 0);
    obs_per_k_.assign(static_cast<std::size_t>(Kmax_) + 1, 0);
    const std::uint8_t* data = store.data();
    const std::size_t stride = store.stride();
    for (const MC_Sample::Range r : store.retained_ranges(burn_in_))
        for (std::int32_t j = r.first; j < r.last; ++j) {
            const int k = data[static_cast<std::size_t>(j) * stride];
            if (k <= Kmax_) ++obs_per_k_[static_cast<std::size_t>(k)];
        }
    // Counting pairs of individuals the store does not hold would read past its rows.
    if (n_indivs_ > store.n_indivs() && store.count_retained(burn_in_) > 0)
        raise_exception("get_indiv_part_in_sample out of range !");
}

std::int64_t Marginal::count_obs_in_k_list(const KList& k_list) const {
    std::int64_t total = 0;
    for (const std::int32_t k : k_list)
        if (k >= 1 && static_cast<std::size_t>(k) < obs_per_k_.size()) total += obs_per_k_[static_cast<std::size_t>(k)];
    return total;
}

std::vector<std::int32_t> Marginal::weights_of(const KList& k_list) const {
    std::vector<std::int32_t> w(obs_per_k_.size(), 0);
    for (const std::int32_t k : k_list)
        if (k >= 1 && static_cast<std::size_t>(k) < w.size() && obs_per_k_[static_cast<std::size_t>(k)] > 0)
            ++w[static_cast<std::size_t>(k)];
    std::int32_t g = 0;
    for (const std::int32_t x : w) g = std::gcd(g, x);
    if (g > 1)
        for (std::int32_t& x : w) x /= g;
    return w;
}

const Marginal::Table& Marginal::table_for(const KList& k_list, const Progress* progress) const {
    if (table_ && table_->source == k_list) return *table_;
    std::vector<std::int32_t> weights = weights_of(k_list);
    if (table_ && table_->weights == weights) {
        table_->source = k_list;
        return *table_;
    }
    table_.reset();  // release the old counts before making new ones
    auto t = std::make_unique<Table>();
    t->source = k_list;
    t->weights = std::move(weights);
    for (std::size_t k = 1; k < t->weights.size(); ++k) t->total += std::int64_t{t->weights[k]} * obs_per_k_[k];
    if (store_ != nullptr && t->total > 0) {
        if (t->total > std::numeric_limits<std::uint32_t>::max()) {
            t->direct = true;
        } else {
            // Each counted observation is listed as often as its k's weight.
            std::vector<std::int32_t> listed;
            listed.reserve(static_cast<std::size_t>(t->total));
            const std::uint8_t* data = store_->data();
            const std::size_t stride = store_->stride();
            for (const MC_Sample::Range r : store_->retained_ranges(burn_in_))
                for (std::int32_t j = r.first; j < r.last; ++j) {
                    const std::size_t k = data[static_cast<std::size_t>(j) * stride];
                    if (k < t->weights.size()) listed.insert(listed.end(), static_cast<std::size_t>(t->weights[k]), j);
                }
            // Threads pay off only on larger counts.
            const double work = static_cast<double>(n_indivs_) * n_indivs_ / 2 * static_cast<double>(listed.size());
            t->cells = count_pair_cells(*store_, listed, n_indivs_, work < 5e7 ? 1 : threads_, std::size_t{8} << 20,
                                        true, progress);
        }
    }
    table_ = std::move(t);
    return *table_;
}

Marginal::PairCountView Marginal::pair_counts(const KList& k_list) const {
    const Table& t = table_for(k_list);
    if (t.direct || t.total == 0) return {{}, t.total};
    return {t.cells.cells(), t.total};
}

SharedPairCells Marginal::shared_pair_counts(const KList& k_list) const {
    const Table& t = table_for(k_list);
    if (t.direct || t.total == 0 || t.cells.cells().empty()) return {};
    return t.cells;
}

void Marginal::prepare(const KList& k_list, const Progress& progress) const { table_for(k_list, &progress); }

std::int64_t Marginal::pair_numerator(const Table& t, std::int32_t a, std::int32_t b) const {
    if (!t.direct) return t.cells.cells()[pair_index(a, b)];
    std::int64_t s = 0;
    const std::uint8_t* data = store_->data();
    const std::size_t stride = store_->stride();
    for (const MC_Sample::Range r : store_->retained_ranges(burn_in_))
        for (std::int32_t j = r.first; j < r.last; ++j) {
            const std::uint8_t* row = data + static_cast<std::size_t>(j) * stride;
            if (row[0] < t.weights.size() && row[a] == row[b]) s += t.weights[row[0]];
        }
    return s;
}

double Marginal::pair_prob(std::int32_t a, std::int32_t b, const KList& k_list) const {
    if (a < 1 || b <= a || b > n_indivs_) return 0.0;
    const Table& t = table_for(k_list);
    if (t.total == 0) return 0.0;
    return static_cast<double>(pair_numerator(t, a, b)) / static_cast<double>(t.total);
}

double Marginal::calc_co_assi_prob(const std::vector<std::int32_t>& members, const KList& k_list) const {
    if (members.size() != 2) return 0.0;
    return pair_prob(members[0], members[1], k_list);
}

void Marginal::print_pairwise_co_assi_probs(std::ostream& out, std::int32_t n_indivs, const KList& k_list,
                                            const Progress* progress) const {
    if (count_obs_in_k_list(k_list) == 0) return;
    const Table& t = table_for(k_list);
    const auto total = static_cast<double>(t.total);
    const std::int32_t counted = std::min(n_indivs, n_indivs_);

    // A cell is one of total + 1 quotients; when there are fewer of those than cells, each is made once.
    constexpr std::size_t width = 10;
    const std::size_t cells = n_indivs < 2 ? 0 : static_cast<std::size_t>(n_indivs) * (n_indivs - 1) / 2;
    std::string known;
    if (!t.direct && t.total < (1 << 20) && static_cast<std::size_t>(t.total) < cells) {
        known.reserve(static_cast<std::size_t>(t.total + 1) * width);
        for (std::int64_t s = 0; s <= t.total; ++s) known += pairwise_cell_text(static_cast<double>(s) / total);
    }
    const std::string zero = pairwise_cell_text(0.0);

    std::string text;
    text.reserve(1 << 20);
    for (std::int32_t i = 1; i <= n_indivs; ++i) {
        for (std::int32_t j = 1; j < i; ++j) {
            if (i > counted) {
                text += zero;
            } else {
                const std::int64_t s = pair_numerator(t, j, i);
                if (!known.empty()) {
                    text.append(known, static_cast<std::size_t>(s) * width, width);
                } else {
                    text += pairwise_cell_text(static_cast<double>(s) / total);
                }
            }
            text += '\t';
        }
        text += i == 1 ? "         1" : "    1.0000";
        text.append(static_cast<std::size_t>(n_indivs - i), '\t');
        text += "\r\n";
        if (text.size() >= (1 << 20)) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
            if (progress != nullptr) progress->step(i, n_indivs);
        }
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

bool Marginal::print_pairwise_co_assi_probs(const std::string& path, std::int32_t n_indivs, const KList& k_list,
                                            Notices& notes, const Progress* progress) const {
    if (k_list.empty()) {
        notes.report("", "The pairwise co-assignment file " + path + " was not written: the range of k is empty.");
        return false;
    }
    if (count_obs_in_k_list(k_list) == 0) {
        notes.report("", "The pairwise co-assignment file " + path +
                             " was not written: no observation from the burn-in on has k in " + k_list_text(k_list) +
                             ".");
        return false;
    }
    return write_output_file(path, "Marginal::print_pairwise_co_assi_probs", notes,
                             [&](std::ostream& out) { print_pairwise_co_assi_probs(out, n_indivs, k_list, progress); });
}
