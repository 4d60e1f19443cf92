#include "tree/Forest.h"

#include "coassign/PairCounts.h"
#include "sample/CpuFeatures.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <functional>
#include <thread>

namespace {

/// Restores the order of a heap (std::make_heap layout, greatest first under `below`) whose first element
/// has just been lowered.
template <class T, class Below>
void sift_down_top(std::vector<T>& heap, Below below) {
    const std::size_t n = heap.size();
    const T item = heap.front();
    std::size_t i = 0;
    for (;;) {
        std::size_t child = 2 * i + 1;
        if (child >= n) break;
        if (child + 1 < n && below(heap[child], heap[child + 1])) ++child;
        if (!below(item, heap[child])) break;
        heap[i] = heap[child];
        i = child;
    }
    heap[i] = item;
}

}  // namespace

Forest::Forest(std::int32_t n_indivs, const KList& k_list, std::int32_t burn_in)
    : n_indivs_(n_indivs), k_list_(&k_list), burn_in_(burn_in), threads_(std::min(2, available_cores())) {
    assert(n_indivs >= 1 && n_indivs <= 16384);
    const std::size_t ids = 2 * static_cast<std::size_t>(n_indivs);
    nodes_.resize(ids);
    where_.assign(ids, 0);
    slot_.assign(ids, -1);
    lo_.assign(ids, 1);
    hi_.assign(ids, 0);
    cache_.assign(ids * cached, 0);
    cache_size_.assign(ids, 0);
    floor_.assign(ids, 0);
    active_.reserve(static_cast<std::size_t>(n_indivs));
    for (std::int32_t i = 1; i <= n_indivs; ++i) {
        nodes_[static_cast<std::size_t>(i)].add_indiv(i);
        where_[static_cast<std::size_t>(i)] = in_active;
        slot_[static_cast<std::size_t>(i)] = i - 1;
        active_.push_back(i);
    }
}

void Forest::init_proposals(const Marginal& marginal, const Progress* progress) {
    const KList& k_list = *k_list_;
    marginal_total_ = marginal.count_obs_in_k_list(k_list);
    consecutive_ = !k_list.empty();
    for (std::size_t i = 1; i < k_list.size(); ++i) consecutive_ = consecutive_ && k_list[i] == k_list[i - 1] + 1;
    const Marginal::PairCountView view = marginal.pair_counts(k_list);
    if (view.total == 0) {
        seed([](std::int32_t, std::int32_t) { return std::uint32_t{0}; }, 0, consecutive_, progress);
    } else if (!view.cells.empty()) {
        // Counts keep their order and ties exactly; as 16-bit codes they halve the table when the
        // Marginal counts each observation once, as the labels will.
        const bool narrow = consecutive_ && view.total == marginal_total_ && view.total <= 0xFFFF;
        view.cells.visit([&](auto cells) {
            seed([cells](std::int32_t a, std::int32_t b) { return cells[pair_index(a, b)]; }, view.total, narrow,
                 progress);
        });
    } else {
        seed([&](std::int32_t a, std::int32_t b) { return marginal.pair_prob(a, b, k_list); }, -1, false, progress);
    }
}

/// count(a, b) for a < b is the pair's numerator over `total`, or its probability when total is -1.
template <class Count>
void Forest::seed(const Count& count, std::int64_t total, bool narrow, const Progress* progress) {
    using Value = decltype(count(1, 2));
    const std::int32_t n = n_indivs_;
    pairs_.reset(n, narrow, narrow ? total : 0);
    stats_.narrow = narrow;
    const auto code_of = [&](Value v) {
        if (narrow) return static_cast<std::uint32_t>(v);
        if (total == 0) return std::uint32_t{0};
        if (total < 0) return PairTable::float_bits(static_cast<float>(v));
        return PairTable::float_bits(static_cast<float>(static_cast<double>(v) / static_cast<double>(total)));
    };
    for (std::int32_t i = 1; i <= n; ++i) pairs_.set_slot(i - 1, i, pairs_.code_of_one());

    // One pass over the pairs fills the table and finds, for each individual x, its highest value v1 (at
    // the lowest partner pos1, x itself while every value is 0) and the highest value v2 over the
    // partners other than pos1. Each individual meets its partners in ascending order.
    const std::size_t size = static_cast<std::size_t>(n) + 1;
    std::vector<Value> v1(size, Value{0}), v2(size, Value{0});
    std::vector<std::int32_t> pos1(size);
    for (std::int32_t x = 1; x <= n; ++x) pos1[static_cast<std::size_t>(x)] = x;
    const auto meet = [&](std::int32_t x, std::int32_t j, Value v) {
        const auto ux = static_cast<std::size_t>(x);
        if (v > v1[ux]) {
            v2[ux] = v1[ux];
            v1[ux] = v;
            pos1[ux] = j;
        } else if (v > v2[ux]) {
            v2[ux] = v;
        }
    };
    std::vector<std::uint32_t> codes(size);
    for (std::int32_t b = 2; b <= n; ++b) {
        if (progress != nullptr && b % 64 == 0) progress->step(b / 2, n);
        // Row b's partners a < b all come here, in order, so b's own values are kept in locals.
        Value b1{0}, b2{0};
        std::int32_t b_pos = b;
        for (std::int32_t a = 1; a < b; ++a) {
            const Value v = count(a, b);
            codes[static_cast<std::size_t>(a - 1)] = code_of(v);
            meet(a, b, v);
            if (v > b1) {
                b2 = b1;
                b1 = v;
                b_pos = a;
            } else if (v > b2) {
                b2 = v;
            }
        }
        v1[static_cast<std::size_t>(b)] = b1;
        v2[static_cast<std::size_t>(b)] = b2;
        pos1[static_cast<std::size_t>(b)] = b_pos;
        pairs_.set_row_start(b - 1, codes.data(), b - 1);
    }
    pairs_.mirror_lower(progress);

    // best_j's highest value over partners other than i and best_j is v1 unless it sits at i.
    std::vector<bool> used(size, false);
    for (std::int32_t i = 1; i < n; ++i) {
        if (progress != nullptr && i % 256 == 0) progress->step(n / 2 + i / 2, n);
        const auto ui = static_cast<std::size_t>(i);
        if (used[ui]) continue;
        const Value best = v1[ui];
        const std::int32_t best_j = pos1[ui];
        const auto ub = static_cast<std::size_t>(best_j);
        const Value second = pos1[ub] != i ? v1[ub] : v2[ub];
        if (best > second) {
            lo_[ui] = hi_[ui] = best_j;
            used[ub] = true;
            cache_[ui * cached] = PairTable::key(code_of(best), best_j);
            cache_size_[ui] = 1;
            heap_.push_back(Cursor{code_of(best), i});
            stats_.proposals += 1;
        } else {
            lo_[ui] = i + 1;
            hi_[ui] = n;
            floor_[ui] = ~std::uint64_t{0};
            heap_.push_back(Cursor{code_of(best), i});
            stats_.proposals += n - i;
        }
    }
    std::make_heap(heap_.begin(), heap_.end(), ranks_below);
}

void Forest::evaluate_remembered(std::int32_t o) {
    std::uint64_t* keys = cache_.data() + static_cast<std::size_t>(o) * cached;
    const std::size_t size = cache_size_[static_cast<std::size_t>(o)];
    const std::int32_t so = slot(o);
    std::array<std::uint8_t, cached> which{};
    std::array<std::int64_t, cached> shared{};
    std::size_t m = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::int32_t x = PairTable::key_id(keys[i]);
        if (is_active(x) && !pairs_.exact(so, slot(x))) which[m++] = static_cast<std::uint8_t>(i);
    }
    // Levels are computed in any order and only ever replace bounds, so computing more of them than the
    // ranking needs changes the work, never the tree.
    auto count = [&](int half) {
        for (std::size_t t = static_cast<std::size_t>(half); t < m; t += 2)
            shared[t] = labels_.count_shared(so, slot(PairTable::key_id(keys[which[t]])));
    };
    if (second_ && m >= 2)
        second_->split(count);
    else
        count(0), count(1);
    for (std::size_t t = 0; t < m; ++t) {
        ++stats_.evaluations;
        const std::int32_t x = PairTable::key_id(keys[which[t]]);
        const std::uint32_t code = pairs_.code_of_count(shared[t], labels_.retained());
        assert(code <= pairs_.code(so, slot(x)));
        pairs_.set_code(so, slot(x), code);
        pairs_.set_exact(so, slot(x));
        keys[which[t]] = PairTable::key(code, x);
    }
    std::sort(keys, keys + size, std::greater<>());
}

std::uint64_t Forest::best_of(std::int32_t o) {
    const auto uo = static_cast<std::size_t>(o);
    std::uint64_t* keys = cache_.data() + uo * cached;
    std::size_t size = cache_size_[uo];
    std::size_t dead = 0;
    while (dead < size && !is_active(PairTable::key_id(keys[dead]))) ++dead;
    if (dead != 0) {
        std::copy(keys + dead, keys + size, keys);
        size -= dead;
    }
    if ((size == 0 || keys[0] < floor_[uo]) && floor_[uo] != 0) {
        ++stats_.scans;
        size = pairs_.row_top(slot(o), lo_[uo], hi_[uo], keys, cached, second_.get());
        floor_[uo] = size == cached ? keys[cached - 1] : 0;
    }
    cache_size_[uo] = static_cast<std::uint8_t>(size);
    return size == 0 ? 0 : keys[0];
}

void Forest::beat(const Progress* progress, std::int32_t s) {
    if (progress == nullptr) return;
    progress->check();
    const auto now = std::chrono::steady_clock::now();
    if (now - last_beat_ < std::chrono::milliseconds(250)) return;
    last_beat_ = now;
    progress->step(s - 1, n_indivs_ - 1);
}

std::uint32_t Forest::top_proposal(std::int32_t& owner, std::int32_t& partner, const Progress* progress,
                                   std::int32_t s) {
    // A step is mostly short, but can compute a great many levels (over a second at 16,384 individuals).
    for (std::uint32_t round = 1;; ++round) {
        if (round % 256 == 0) beat(progress, s);
        assert(!heap_.empty());
        Cursor& top = heap_.front();
        const std::int32_t o = top.owner;
        const std::uint64_t best = is_active(o) ? best_of(o) : 0;
        if (best == 0) {
            std::pop_heap(heap_.begin(), heap_.end(), ranks_below);
            heap_.pop_back();
            continue;
        }
        const std::uint32_t code = PairTable::key_code(best);
        if (code != top.code) {
            // Codes only fall, so the owner ranks lower than the heap thought.
            assert(code < top.code);
            top.code = code;
            sift_down_top(heap_, ranks_below);
            continue;
        }
        const std::int32_t x = PairTable::key_id(best);
        // Seeded proposals are exact; those made after a merge are exact once computed or when bounded by 0.
        if (o > n_indivs_ && !pairs_.exact(slot(o), slot(x))) {
            evaluate_remembered(o);
            continue;
        }
        owner = o;
        partner = x;
        return code;
    }
}

void Forest::merge_best_proposal(std::int32_t s, std::int32_t id, const Progress* progress) {
    std::int32_t c1 = 0;
    std::int32_t c2 = 0;
    last_beat_ = std::chrono::steady_clock::now();
    accepted_code_ = top_proposal(c1, c2, progress, s);
    assert(id == n_indivs_ + s && id > active_.back());

    for (const std::int32_t c : {c1, c2}) {
        where_[static_cast<std::size_t>(c)] = in_accepted;
        active_.erase(std::lower_bound(active_.begin(), active_.end(), c));
    }
    Node& node = nodes_[static_cast<std::size_t>(id)];
    node.set_step(s);
    node.set_children(c1, c2);
    node.set_prob_level(pairs_.level(accepted_code_));
    const Node::Cluster& m1 = *nodes_[static_cast<std::size_t>(c1)].get_cluster();
    const Node::Cluster& m2 = *nodes_[static_cast<std::size_t>(c2)].get_cluster();
    Node::Cluster& members = *node.get_cluster();
    members.resize(m1.size() + m2.size());
    std::merge(m1.begin(), m1.end(), m2.begin(), m2.end(), members.begin());
    where_[static_cast<std::size_t>(id)] = in_active;
    active_.push_back(id);
}

void Forest::update_proposals(std::int32_t id, const MC_Sample& store, const Progress* progress) {
    const KList& k_list = *k_list_;
    if (!labels_.built()) {
        if (threads_ >= 2 && n_indivs_ >= 2048) second_ = std::make_unique<SecondThread>(true);
        const std::int32_t s = id - n_indivs_;
        last_beat_ = std::chrono::steady_clock::now();
        const std::function<void()> tick = [this, progress, s] { beat(progress, s); };
        if (k_list.empty())
            labels_.build(store, n_indivs_, 1, 0, burn_in_, tick, second_.get());
        else
            labels_.build(store, n_indivs_, k_list.front(), k_list.back(), burn_in_, tick, second_.get());
        // Levels from the Marginal bound those from the labels only when both counted the same observations.
        pairs_agree_ = consecutive_ && marginal_total_ == labels_.retained();
        if (!pairs_agree_ && pairs_.narrow()) {
            // Codes held outside the table change form with it; the order they give stays the same.
            const auto wide = [this](std::uint32_t code) { return PairTable::float_bits(pairs_.level(code)); };
            for (Cursor& c : heap_) c.code = wide(c.code);
            for (std::size_t o = 0; o < cache_size_.size(); ++o) {
                for (std::size_t i = 0; i < cache_size_[o]; ++i) {
                    std::uint64_t& key = cache_[o * cached + i];
                    key = PairTable::key(wide(PairTable::key_code(key)), PairTable::key_id(key));
                }
                if (floor_[o] != 0 && floor_[o] != ~std::uint64_t{0})
                    floor_[o] = PairTable::key(wide(PairTable::key_code(floor_[o])), PairTable::key_id(floor_[o]));
            }
            pairs_.widen();
        }
        stats_.narrow = pairs_.narrow();
        stats_.bounded = pairs_agree_ && n_indivs_ <= pair_bound_limit_;
    }
    const Node& node = nodes_[static_cast<std::size_t>(id)];
    const std::int32_t sa = slot(node.get_child(1));
    const std::int32_t sb = slot(node.get_child(2));
    labels_.merge_into(sa, sb);
    slot_[static_cast<std::size_t>(id)] = sa;

    // A union shares a cluster no more often than any of its parts: the new cluster, the other cluster
    // (a leaf always does), and the unions of either child with the other cluster.
    const std::uint32_t cap = pairs_.narrow() ? accepted_code_ : PairTable::float_bits(node.get_prob_level());
    const PairTable::Bound bound = !pairs_agree_    ? PairTable::Bound::none
                                   : stats_.bounded ? PairTable::Bound::caps_rows
                                                    : PairTable::Bound::caps;
    pairs_.kill_slot(sb);
    pairs_.set_slot(sa, id, cap);
    pairs_.make_union_row(sa, sb, cap, bound, second_.get());
    if (active_.size() < 2) return;
    lo_[static_cast<std::size_t>(id)] = 1;
    hi_[static_cast<std::size_t>(id)] = id - 1;
    stats_.proposals += static_cast<std::int64_t>(active_.size()) - 1;
    floor_[static_cast<std::size_t>(id)] = ~std::uint64_t{0};
    heap_.push_back(Cursor{bound == PairTable::Bound::none ? pairs_.code_of_one() : cap, id});
    std::push_heap(heap_.begin(), heap_.end(), ranks_below);
}

void Forest::close_tree(std::int32_t n) {
    assert(!active_.empty() && active_.front() == 2 * n - 1);
    where_[static_cast<std::size_t>(2 * n - 1)] |= in_accepted;
}

const Node& Forest::get_active_node(std::int32_t id) const {
    assert(id >= 1 && id < 2 * n_indivs_ && is_active(id));
    return nodes_[static_cast<std::size_t>(id)];
}

const Node& Forest::get_accepted_node(std::int32_t id) const {
    assert(id >= 1 && id < 2 * n_indivs_ && (where_[static_cast<std::size_t>(id)] & in_accepted) != 0);
    return nodes_[static_cast<std::size_t>(id)];
}
