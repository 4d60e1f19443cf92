#include "tree/AverageLinkage.h"

#include "coassign/PairCounts.h"
#include "sample/Exceptions.h"
#include "sample/RunChecks.h"
#include "tree/LinkageSums.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <string>

namespace {

// 128-bit products for the exact comparisons; __extension__ tells -Wpedantic it is meant.
__extension__ using u128 = unsigned __int128;

/// A cluster's best pair with the clusters of lower slot, as last found: a lower bound of that pair's key
/// (see `before`) until the cluster is scanned again.
struct Candidate {
    std::uint64_t sum = 0;     ///< S of the pair
    std::uint64_t pairs = 0;   ///< |A| |B|
    std::int32_t partner = 0;  ///< slot of the other cluster, below the cluster's own
};

/// Whether the pair (a, own slot xa) comes before (b, own slot xb) in the rule's order: larger
/// co-assignment, then lower partner (the smaller minimum), then lower own slot (the larger minimum).
bool before(const Candidate& a, std::int32_t xa, const Candidate& b, std::int32_t xb) {
    const u128 left = static_cast<u128>(a.sum) * b.pairs;
    const u128 right = static_cast<u128>(b.sum) * a.pairs;
    if (left != right) return left > right;
    if (a.partner != b.partner) return a.partner < b.partner;
    return xa < xb;
}

/// A binary heap of slots ordered by their candidates, first on top, that finds a slot's place by its id.
class SlotHeap {
  public:
    SlotHeap(const std::vector<Candidate>& candidates, std::vector<std::int32_t> slots)
        : cand_(candidates), heap_(std::move(slots)), place_(candidates.size(), 0) {
        for (std::size_t i = 0; i < heap_.size(); ++i) place_[slot(i)] = i;
        for (std::size_t i = heap_.size() / 2; i-- > 0;) down(i);
    }
    std::int32_t top() const { return heap_.front(); }
    /// The slot's candidate changed either way.
    void update(std::int32_t x) { down(up(place_[static_cast<std::size_t>(x)])); }
    /// The slot's candidate moved forward (or stayed).
    void raise(std::int32_t x) { up(place_[static_cast<std::size_t>(x)]); }
    void erase(std::int32_t x) {
        const std::size_t i = place_[static_cast<std::size_t>(x)];
        swap(i, heap_.size() - 1);
        heap_.pop_back();
        if (i < heap_.size()) update(heap_[i]);
    }

  private:
    std::size_t slot(std::size_t i) const { return static_cast<std::size_t>(heap_[i]); }
    bool first(std::size_t i, std::size_t j) const {
        return before(cand_[slot(i)], heap_[i], cand_[slot(j)], heap_[j]);
    }
    void swap(std::size_t i, std::size_t j) {
        std::swap(heap_[i], heap_[j]);
        place_[slot(i)] = i;
        place_[slot(j)] = j;
    }
    std::size_t up(std::size_t i) {
        while (i > 0 && first(i, (i - 1) / 2)) {
            swap(i, (i - 1) / 2);
            i = (i - 1) / 2;
        }
        return i;
    }
    void down(std::size_t i) {
        for (;;) {
            std::size_t best = i;
            for (const std::size_t c : {2 * i + 1, 2 * i + 2})
                if (c < heap_.size() && first(c, best)) best = c;
            if (best == i) return;
            swap(i, best);
            i = best;
        }
    }

    const std::vector<Candidate>& cand_;
    std::vector<std::int32_t> heap_;
    std::vector<std::size_t> place_;
};

std::size_t pair_at(std::int32_t a, std::int32_t b) { return a < b ? pair_index(a, b) : pair_index(b, a); }

template <class Real>
Real rounded(std::uint64_t num, std::uint64_t den) {
    if (num == 0) return Real(0);
    // q = floor(num 2^k / den) has 63 or 64 bits, at least ten more than Real keeps; its last bit is set
    // when the division leaves a remainder, so that converting q rounds as the exact quotient would.
    const int k = std::bit_width(den) + 63 - std::bit_width(num);
    const u128 scaled = static_cast<u128>(num) << k;
    const u128 q = scaled / den;
    const bool rest = q * den != scaled;
    const std::uint64_t bits = static_cast<std::uint64_t>(q) | (rest ? 1u : 0u);
    return std::ldexp(static_cast<Real>(bits), -k);
}

/// The linkage's working copy of the counts, 32-bit whatever their width.
std::vector<std::uint32_t> working_copy(const PairCells& cells, std::int32_t n) {
    try {
        return cells.visit([](auto span) { return std::vector<std::uint32_t>(span.begin(), span.end()); });
    } catch (const std::bad_alloc&) {
        raise_out_of_memory(
            "the average linkage's working copy of the pair counts of " + grouped_digits(n) + " individuals",
            static_cast<double>(cells.size()) * sizeof(std::uint32_t));
    }
}

}  // namespace

void check_linkage_input(const char* who, std::size_t cells, std::int64_t total, std::int32_t n) {
    const std::string name(who);
    if (n < 0 || n > 65536) raise_exception((name + ": " + std::to_string(n) + " individuals, not 0..65536").c_str());
    const std::size_t pairs = static_cast<std::size_t>(n) * static_cast<std::size_t>(std::max(n - 1, 0)) / 2;
    if (cells != pairs)
        raise_exception((name + ": " + std::to_string(cells) + " pair counts for " + std::to_string(n) +
                         " individuals, not " + std::to_string(pairs))
                            .c_str());
    if (n >= 2 && (total < 1 || total > std::int64_t{0xFFFFFFFF}))
        raise_exception((name + ": a total of " + std::to_string(total) + " draws, not 1..4294967295").c_str());
}

LinkageSums::LinkageSums(std::vector<std::uint32_t>&& cells) : cells_(std::move(cells)) {
    for (std::size_t at = 0; at < cells_.size(); ++at)
        if (cells_[at] == in_side) side_[at] = in_side;
}

AverageTree link_groups(LinkageSums& sums, std::vector<std::uint32_t> sizes, std::uint64_t total,
                        const Progress* progress) {
    const auto m = static_cast<std::int32_t>(sizes.size());
    AverageTree out;
    out.shape.n_indivs = m;
    if (m < 2) return out;
    const auto slots = static_cast<std::size_t>(m) + 1;
    out.shape.merges.reserve(slots - 2);
    out.levels.reserve(slots - 2);
    // A cluster lives in the slot of its lowest group (its smallest member), so slots order the clusters
    // as the tie rule does; slot 1 is never given up and has no candidate.
    std::vector<std::uint64_t> size(slots, 0);
    for (std::size_t g = 1; g < slots; ++g) size[g] = sizes[g - 1];
    std::vector<std::int32_t> active(static_cast<std::size_t>(m));
    std::iota(active.begin(), active.end(), 1);
    std::vector<std::int32_t> node(slots);
    std::iota(node.begin(), node.end(), 0);
    std::vector<Candidate> cand(slots);

    const std::int64_t units = 2 * (std::int64_t{m} - 1);
    std::int64_t done = 0;
    auto tick = [&] {
        ++done;
        if (progress && (done % 64 == 0 || done == units)) progress->step(done, units);
    };
    auto place_of = [&](std::int32_t x) {
        return static_cast<std::size_t>(std::lower_bound(active.begin(), active.end(), x) - active.begin());
    };
    // The best partner of slot x among active[0..end), the slots below x: the largest S / |Y| (|X| is
    // common), the first such.
    auto scan = [&](std::int32_t x, std::size_t end) {
        const std::size_t base = pair_index(1, x) - 1;  // pair (y, x) sits at base + y
        const std::int32_t y0 = active[0];
        Candidate best{sums.get(base + static_cast<std::size_t>(y0)), size[static_cast<std::size_t>(y0)], y0};
        for (std::size_t k = 1; k < end; ++k) {
            const std::int32_t y = active[k];
            const std::uint64_t s = sums.get(base + static_cast<std::size_t>(y));
            const std::uint64_t sy = size[static_cast<std::size_t>(y)];
            if (static_cast<u128>(s) * best.pairs > static_cast<u128>(best.sum) * sy) best = {s, sy, y};
        }
        best.pairs *= size[static_cast<std::size_t>(x)];
        cand[static_cast<std::size_t>(x)] = best;
    };

    for (std::int32_t x = 2; x <= m; ++x) {
        scan(x, static_cast<std::size_t>(x - 1));
        tick();
    }
    SlotHeap heap(cand, std::vector<std::int32_t>(active.begin() + 1, active.end()));

    for (std::int32_t step = 1; step < m; ++step) {
        // The top candidate is the best pair of all once it is current: every other candidate is a bound.
        std::int32_t hi = heap.top();
        std::int32_t lo = cand[static_cast<std::size_t>(hi)].partner;
        while (cand[static_cast<std::size_t>(hi)].sum != sums.get(pair_index(lo, hi)) ||
               cand[static_cast<std::size_t>(hi)].pairs !=
                   size[static_cast<std::size_t>(lo)] * size[static_cast<std::size_t>(hi)]) {
            scan(hi, place_of(hi));
            heap.update(hi);
            hi = heap.top();
            lo = cand[static_cast<std::size_t>(hi)].partner;
        }
        const Candidate joined = cand[static_cast<std::size_t>(hi)];
        const std::uint64_t draws_pairs = joined.pairs * total;
        out.shape.merges.push_back(Merge{node[static_cast<std::size_t>(lo)], node[static_cast<std::size_t>(hi)],
                                         rounded<float>(joined.sum, draws_pairs)});
        out.levels.push_back(rounded<double>(joined.sum, draws_pairs));
        node[static_cast<std::size_t>(lo)] = m + step;

        heap.erase(hi);
        active.erase(active.begin() + static_cast<std::ptrdiff_t>(place_of(hi)));
        size[static_cast<std::size_t>(lo)] += size[static_cast<std::size_t>(hi)];
        size[static_cast<std::size_t>(hi)] = 0;
        const std::uint64_t size_lo = size[static_cast<std::size_t>(lo)];
        // The cells of z > lo lie a row apart each: fetching them some slots ahead hides most of the wait.
        constexpr std::size_t ahead = 32;
        for (std::size_t k = 0; k < active.size(); ++k) {
            if (k + ahead < active.size()) {
                const std::int32_t w = active[k + ahead];
                if (w > lo) {
                    sums.prefetch(pair_at(lo, w));
                    sums.prefetch(pair_at(hi, w));
                }
            }
            const std::int32_t z = active[k];
            if (z == lo) continue;
            const std::size_t at_lo = pair_at(lo, z);
            const std::size_t at_hi = pair_at(hi, z);
            const std::uint64_t s = sums.get(at_lo) + sums.get(at_hi);
            sums.forget(at_hi);
            sums.set(at_lo, s);
            if (z < lo) continue;
            // The new pair may beat z's bound; a bound on a pair with hi stays a bound once hi is gone
            // and now names lo, which is at least as good a partner.
            Candidate& c = cand[static_cast<std::size_t>(z)];
            const Candidate fresh{s, size_lo * size[static_cast<std::size_t>(z)], lo};
            if (before(fresh, z, c, z)) {
                c = fresh;
                heap.raise(z);
            } else if (c.partner == hi) {
                c.partner = lo;
                heap.raise(z);
            }
        }
        if (lo != 1) {
            scan(lo, place_of(lo));
            heap.update(lo);
        }
        tick();
    }
    return out;
}

AverageTree average_linkage(std::span<const std::uint32_t> cells, std::int64_t total, std::int32_t n_indivs,
                            const Progress* progress) {
    check_linkage_input("average_linkage", cells.size(), total, n_indivs);
    LinkageSums sums(working_copy(PairCells(cells), n_indivs));
    return link_groups(sums, std::vector<std::uint32_t>(static_cast<std::size_t>(n_indivs), 1),
                       static_cast<std::uint64_t>(std::max<std::int64_t>(total, 0)), progress);
}

AverageTree average_linkage(const PairCells& cells, std::int64_t total, std::int32_t n_indivs,
                            const Progress* progress) {
    check_linkage_input("average_linkage", cells.size(), total, n_indivs);
    LinkageSums sums(working_copy(cells, n_indivs));
    return link_groups(sums, std::vector<std::uint32_t>(static_cast<std::size_t>(n_indivs), 1),
                       static_cast<std::uint64_t>(std::max<std::int64_t>(total, 0)), progress);
}

AverageTree average_linkage(std::vector<std::uint32_t>&& cells, std::int64_t total, std::int32_t n_indivs,
                            const Progress* progress) {
    check_linkage_input("average_linkage", cells.size(), total, n_indivs);
    LinkageSums sums(std::move(cells));
    cells = {};
    return link_groups(sums, std::vector<std::uint32_t>(static_cast<std::size_t>(n_indivs), 1),
                       static_cast<std::uint64_t>(std::max<std::int64_t>(total, 0)), progress);
}

double rounded_ratio(std::uint64_t num, std::uint64_t den) { return rounded<double>(num, den); }

float rounded_ratio_float(std::uint64_t num, std::uint64_t den) { return rounded<float>(num, den); }
