#include "tree/Forest.h"

#include <algorithm>
#include <cassert>

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
    : n_indivs_(n_indivs), k_list_(&k_list), burn_in_(burn_in) {
    assert(n_indivs >= 1 && n_indivs <= 16384);
    const std::size_t ids = 2 * static_cast<std::size_t>(n_indivs);
    nodes_.resize(ids);
    where_.assign(ids, 0);
    slot_.assign(ids, -1);
    batches_.resize(ids);
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
    if (n_indivs_ <= pair_bound_limit_) build_bounds(marginal, progress);
    // Pair probabilities are quotients hits / total with one total, so two distinct ones lie at least
    // 1 / total apart; with total below 2^22 rounding them to float keeps their order and their ties, and
    // the seeding can compare the floats of the bounds matrix instead of asking the Marginal again.
    if (!bounds_.empty() && marginal_total_ <= (std::int64_t{1} << 22)) {
        seed([this](std::int32_t a, std::int32_t b) { return static_cast<double>(bound(a - 1, b - 1)); }, progress);
    } else {
        seed(
            [&](std::int32_t a, std::int32_t b) {
                return a < b ? marginal.pair_prob(a, b, k_list) : marginal.pair_prob(b, a, k_list);
            },
            progress);
    }
}

template <class PairProb>
void Forest::seed(const PairProb& p, const Progress* progress) {
    const std::int32_t n = n_indivs_;
    std::vector<bool> used(static_cast<std::size_t>(n) + 1, false);
    for (std::int32_t i = 1; i < n; ++i) {
        if (progress != nullptr && i % 64 == 0) progress->step(i, n);
        if (used[static_cast<std::size_t>(i)]) continue;
        double best = 0.0;
        std::int32_t best_j = i;
        for (std::int32_t j = 1; j <= n; ++j) {
            if (j == i) continue;
            const double v = p(i, j);
            if (v > best) {
                best = v;
                best_j = j;
            }
        }
        double second = 0.0;
        for (std::int32_t j = 1; j <= n; ++j) {
            if (j == i || j == best_j) continue;
            const double v = p(best_j, j);
            if (v > second) second = v;
            if (second > best) break;
        }
        auto& batch = batches_[static_cast<std::size_t>(i)];
        if (best > second) {
            batch.push_back(Entry{static_cast<float>(best), next_seq_++, static_cast<std::int16_t>(best_j), true});
            used[static_cast<std::size_t>(best_j)] = true;
        } else {
            batch.reserve(static_cast<std::size_t>(n - i));
            for (std::int32_t j = i + 1; j <= n; ++j)
                batch.push_back(Entry{static_cast<float>(p(i, j)), next_seq_++, static_cast<std::int16_t>(j), true});
        }
        stats_.proposals += static_cast<std::int64_t>(batch.size());
        push_batch(i);
    }
}

void Forest::build_bounds(const Marginal& marginal, const Progress* progress) {
    const std::int32_t n = n_indivs_;
    bounds_.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 1.0f);
    // Row b first for a < b, the order in which the Marginal keeps its counts; then mirrored in tiles.
    for (std::int32_t b = 2; b <= n; ++b) {
        if (progress != nullptr && b % 256 == 0) progress->check();
        for (std::int32_t a = 1; a < b; ++a)
            bound(b - 1, a - 1) = static_cast<float>(marginal.pair_prob(a, b, *k_list_));
    }
    constexpr std::int32_t tile = 64;
    for (std::int32_t r0 = 0; r0 < n; r0 += tile)
        for (std::int32_t c0 = r0; c0 < n; c0 += tile)
            for (std::int32_t r = r0; r < std::min(n, r0 + tile); ++r)
                for (std::int32_t c = std::max(c0, r + 1); c < std::min(n, c0 + tile); ++c) bound(r, c) = bound(c, r);
}

void Forest::push_batch(std::int32_t owner) {
    auto& batch = batches_[static_cast<std::size_t>(owner)];
    if (batch.empty()) return;
    const auto below = [](const Entry& a, const Entry& b) { return ranks_below(a.level, a.seq, b.level, b.seq); };
    std::make_heap(batch.begin(), batch.end(), below);
    heap_.push_back(Cursor{batch.front().level, batch.front().seq, owner});
    std::push_heap(heap_.begin(), heap_.end(),
                   [](const Cursor& a, const Cursor& b) { return ranks_below(a.level, a.seq, b.level, b.seq); });
}

float Forest::exact_level(std::int32_t a, std::int32_t b) {
    ++stats_.evaluations;
    const std::int32_t sa = slot_[static_cast<std::size_t>(a)];
    const std::int32_t sb = slot_[static_cast<std::size_t>(b)];
    const std::int64_t counted = labels_.retained();
    const float level =
        counted == 0
            ? 0.0f
            : static_cast<float>(static_cast<double>(labels_.count_shared(sa, sb)) / static_cast<double>(counted));
    if (!bounds_.empty()) {
        assert(level <= bound(sa, sb));
        bound(sa, sb) = level;
        bound(sb, sa) = level;
    }
    return level;
}

Forest::Entry Forest::top_proposal(std::int32_t& owner) {
    const auto entry_below = [](const Entry& a, const Entry& b) { return ranks_below(a.level, a.seq, b.level, b.seq); };
    const auto cursor_below = [](const Cursor& a, const Cursor& b) {
        return ranks_below(a.level, a.seq, b.level, b.seq);
    };
    for (;;) {
        assert(!heap_.empty());
        const std::int32_t o = heap_.front().owner;
        auto& batch = batches_[static_cast<std::size_t>(o)];
        if (!is_active(o) || batch.empty()) {
            std::pop_heap(heap_.begin(), heap_.end(), cursor_below);
            heap_.pop_back();
            std::vector<Entry>().swap(batch);
            continue;
        }
        Entry& e = batch.front();
        if (!is_active(e.other)) {
            // The other cluster was merged since: the proposal is gone.
            std::pop_heap(batch.begin(), batch.end(), entry_below);
            batch.pop_back();
        } else if (!e.exact) {
            e.level = exact_level(o, e.other);
            e.exact = true;
            sift_down_top(batch, entry_below);
        } else {
            owner = o;
            return e;
        }
        // The batch's best entry changed, never for a better one: rank its cursor again.
        if (batch.empty()) {
            std::pop_heap(heap_.begin(), heap_.end(), cursor_below);
            heap_.pop_back();
            std::vector<Entry>().swap(batch);
        } else {
            heap_.front().level = batch.front().level;
            heap_.front().seq = batch.front().seq;
            sift_down_top(heap_, cursor_below);
        }
    }
}

void Forest::merge_best_proposal(std::int32_t s, std::int32_t id) {
    std::int32_t c1 = 0;
    const Entry best = top_proposal(c1);
    const std::int32_t c2 = best.other;
    assert(id == n_indivs_ + s && id > active_.back());

    for (const std::int32_t c : {c1, c2}) {
        where_[static_cast<std::size_t>(c)] = in_accepted;
        active_.erase(std::lower_bound(active_.begin(), active_.end(), c));
        std::vector<Entry>().swap(batches_[static_cast<std::size_t>(c)]);
    }
    Node& node = nodes_[static_cast<std::size_t>(id)];
    node.set_step(s);
    node.set_children(c1, c2);
    node.set_prob_level(best.level);
    const Node::Cluster& m1 = *nodes_[static_cast<std::size_t>(c1)].get_cluster();
    const Node::Cluster& m2 = *nodes_[static_cast<std::size_t>(c2)].get_cluster();
    Node::Cluster& members = *node.get_cluster();
    members.resize(m1.size() + m2.size());
    std::merge(m1.begin(), m1.end(), m2.begin(), m2.end(), members.begin());
    where_[static_cast<std::size_t>(id)] = in_active;
    active_.push_back(id);
}

void Forest::update_proposals(std::int32_t id, const MC_Sample& store) {
    const KList& k_list = *k_list_;
    if (!labels_.built()) {
        if (k_list.empty())
            labels_.build(store, n_indivs_, 1, 0, burn_in_);
        else
            labels_.build(store, n_indivs_, k_list.front(), k_list.back(), burn_in_);
        // Levels from the Marginal bound those from the labels only when both counted the same observations.
        pairs_agree_ = marginal_total_ == labels_.retained();
        if (!pairs_agree_) std::vector<float>().swap(bounds_);
        stats_.bounded = !bounds_.empty();
    }
    const Node& node = nodes_[static_cast<std::size_t>(id)];
    const std::int32_t sa = slot_[static_cast<std::size_t>(node.get_child(1))];
    const std::int32_t sb = slot_[static_cast<std::size_t>(node.get_child(2))];
    labels_.merge_into(sa, sb);
    slot_[static_cast<std::size_t>(id)] = sa;

    // A union shares a cluster no more often than any of its parts: the new cluster, the other cluster
    // (a leaf always does), and the unions of either child with the other cluster.
    const float own = node.get_prob_level();
    const bool bounded = !bounds_.empty();
    auto& batch = batches_[static_cast<std::size_t>(id)];
    batch.reserve(active_.size() - 1);
    for (const std::int32_t x : active_) {
        if (x == id) continue;
        const Node& other = nodes_[static_cast<std::size_t>(x)];
        float ub = 1.0f;
        if (pairs_agree_) ub = std::min(own, other.is_leaf() ? 1.0f : other.get_prob_level());
        if (bounded) {
            const std::int32_t sx = slot_[static_cast<std::size_t>(x)];
            ub = std::min({ub, bound(sa, sx), bound(sb, sx)});
            bound(sa, sx) = ub;
            bound(sx, sa) = ub;
        }
        batch.push_back(Entry{ub, next_seq_++, static_cast<std::int16_t>(x), false});
    }
    stats_.proposals += static_cast<std::int64_t>(batch.size());
    push_batch(id);
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
