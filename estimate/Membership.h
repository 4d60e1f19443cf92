#pragma once

#include "sample/Mc_sample.h"
#include "sample/Progress.h"

#include <cstdint>
#include <vector>

/// How much each individual belongs to each cluster of a clustering, over the draws: the numbers of the
/// membership chart (one bar per individual, one segment per cluster).
///
/// For individual i and cluster c, the raw segment is the mean co-assignment probability of i with the
/// members of c other than i (i is never counted with itself): the fraction of draws in which i and j hold
/// equal cluster values (0, "listed in no cluster", included, as in the pair counts), averaged over those
/// j. When i is alone in its cluster, its own segment is instead the fraction of draws in which no other
/// individual of 1..n shares i's cluster value. The segments of i are then divided by their sum, so that
/// they add up to 1; when every raw segment of i is 0 (i shares a cluster with nobody in any draw, yet its
/// cluster has other members), all its segments stay 0. A cluster number that no individual has gives
/// segments of 0.
struct Membership {
    /// cluster[i - 1]: the cluster (1..clusters) of individual i, as given.
    std::vector<std::int32_t> cluster;
    /// The largest cluster number.
    std::int32_t clusters = 0;
    /// share[(i - 1) * clusters + (c - 1)]: segment c of individual i.
    std::vector<double> share;

    std::int32_t n_indivs() const { return static_cast<std::int32_t>(cluster.size()); }
    double segment(std::int32_t individual, std::int32_t c) const {
        return share[static_cast<std::size_t>(individual - 1) * static_cast<std::size_t>(clusters) +
                     static_cast<std::size_t>(c - 1)];
    }
};

/// The membership of individuals 1..n (n = cluster.size(), at most the store's) in the clusters of
/// `cluster` (cluster[i - 1] >= 1; an estimate's Estimate::cluster, or a cut) over the draws `draws`
/// (observation numbers of `store`; one listed twice counts twice), as estimate_clustering takes them.
/// Counts are summed exactly in integers, on up to `threads` threads (0: every core); the result does not
/// depend on the number of threads. Holds n * clusters doubles, and besides at most 64 MB of counts and,
/// per thread, 1 KB a cluster.
///
/// Raises Exceptions when `draws` is empty or holds an observation outside the store, when n exceeds the
/// store's individuals, or when a cluster number is below 1. `progress`, when given, hears draws passed
/// (of the draws times the passes needed) about every 20 ms and stops the work with Cancelled when cancel
/// is raised.
Membership membership(const MC_Sample& store, const std::vector<std::int32_t>& draws,
                      const std::vector<std::int32_t>& cluster, int threads = 0, const Progress* progress = nullptr);

/// The individuals in the order the membership chart shows them: cluster by cluster, the clusters in
/// `cluster_order` (EstimateOrder::cluster_order, which puts them in the order of the co-assignment map),
/// or by ascending number when it is empty; within a cluster by their own segment, largest first, ties by
/// the lower individual number. Raises Exceptions when cluster_order is not empty and does not list every
/// cluster number that an individual has exactly once (and no other number).
std::vector<std::int32_t> membership_order(const Membership& membership,
                                           const std::vector<std::int32_t>& cluster_order = {});
