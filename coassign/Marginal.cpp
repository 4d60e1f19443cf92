#include "coassign/Marginal.h"

#include "sample/Exceptions.h"
#include "sample/OutputFile.h"

#include <algorithm>
#include <charconv>
#include <ostream>

namespace {

/// printf "%#10.5g" of v >= 0, independent of the C locale: 5 significant digits with the point and
/// trailing zeros kept, fixed notation for decimal exponents -4..4, right-aligned in 10 characters.
std::string cell_text(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 4);
    const char* e = std::find(buf, res.ptr, 'e');
    int exp10 = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), res.ptr, exp10);
    if (exp10 >= -4 && exp10 < 5) res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4 - exp10);
    std::string s(buf, res.ptr);
    if (s.size() < 10) s.insert(0, 10 - s.size(), ' ');
    return s;
}

}  // namespace

Marginal::Marginal(std::int32_t Kmax, std::int32_t n_indivs) : Kmax_(Kmax), n_indivs_(n_indivs) {}

void Marginal::fill_co_assi_counts(const MC_Sample& store, std::int32_t burn_in, std::int32_t n_indivs,
                                   std::int32_t Kmax) {
    store_ = &store;
    burn_in_ = std::max<std::int32_t>(burn_in, 0);
    n_indivs_ = std::max<std::int32_t>(n_indivs, 0);
    Kmax_ = std::max<std::int32_t>(Kmax, 0);
    obs_per_k_.assign(static_cast<std::size_t>(Kmax_) + 1, 0);
    for (std::int32_t j = burn_in_; j < store.get_n_samples(); ++j) {
        const int k = store.get_k_for_sample(static_cast<std::uint32_t>(j));
        if (k <= Kmax_) ++obs_per_k_[static_cast<std::size_t>(k)];
    }
    if (n_indivs_ > store.n_indivs() && burn_in_ < store.get_n_samples())
        raise_exception("get_indiv_part_in_sample out of range !");
}

std::int64_t Marginal::count_obs_in_k_list(const KList& k_list) const {
    std::int64_t total = 0;
    for (const std::int32_t k : k_list)
        if (k >= 1 && k <= Kmax_ && static_cast<std::size_t>(k) < obs_per_k_.size())
            total += obs_per_k_[static_cast<std::size_t>(k)];
    return total;
}

std::int64_t Marginal::pair_count(std::int32_t a, std::int32_t b, const KList& k_list) const {
    std::int64_t s = 0;
    if (store_ == nullptr || a < 1 || b <= a || b > n_indivs_) return 0;
    for (std::int32_t j = burn_in_; j < store_->get_n_samples(); ++j) {
        const auto row = store_->get_sample(static_cast<std::uint32_t>(j));
        const int k = row[0];
        if (k > Kmax_ || row[static_cast<std::size_t>(a)] != row[static_cast<std::size_t>(b)]) continue;
        s += std::count(k_list.begin(), k_list.end(), k);
    }
    return s;
}

double Marginal::pair_prob(std::int32_t a, std::int32_t b, const KList& k_list) const {
    const std::int64_t total = count_obs_in_k_list(k_list);
    if (total == 0) return 0.0;
    return static_cast<double>(pair_count(a, b, k_list)) / static_cast<double>(total);
}

double Marginal::calc_co_assi_prob(const std::vector<std::int32_t>& members, const KList& k_list) const {
    if (members.size() != 2) return 0.0;
    return pair_prob(members[0], members[1], k_list);
}

void Marginal::print_pairwise_co_assi_probs(std::ostream& out, std::int32_t n_indivs, const KList& k_list) const {
    const std::int64_t total = count_obs_in_k_list(k_list);
    if (total == 0) return;
    std::string text;
    for (std::int32_t i = 1; i <= n_indivs; ++i) {
        for (std::int32_t j = 1; j < i; ++j) {
            text += cell_text(static_cast<double>(pair_count(j, i, k_list)) / static_cast<double>(total));
            text += '\t';
        }
        text += i == 1 ? "         1" : "    1.0000";
        text.append(static_cast<std::size_t>(n_indivs - i), '\t');
        text += "\r\n";
    }
    out << text;
}

bool Marginal::print_pairwise_co_assi_probs(const std::string& path, std::int32_t n_indivs, const KList& k_list,
                                            Diagnostics& diag) const {
    if (k_list.empty()) {
        diag.report("", "The pairwise co-assignment file " + path + " was not written: the range of k is empty.");
        return false;
    }
    if (count_obs_in_k_list(k_list) == 0) {
        diag.report("", "The pairwise co-assignment file " + path +
                            " was not written: no observation from the burn-in on has its k in " +
                            std::to_string(k_list.front()) + ".." + std::to_string(k_list.back()) + ".");
        return false;
    }
    return write_output_file(path, "Marginal::print_pairwise_co_assi_probs", diag,
                             [&](std::ostream& out) { print_pairwise_co_assi_probs(out, n_indivs, k_list); });
}
