#pragma once

#include "sample/Mc_sample.h"
#include "sample/OutputNames.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// The six numbers of a result file's header.
struct RunHeader {
    std::int32_t n_indivs = 0;
    std::int32_t Kmax = 0;
    std::int32_t n_obs = 0;
    std::int32_t period = 0;
    double U = 1.0;
    double Theta = 1.0;
    /// The header of several runs pooled (pooled_header): their declared observations summed, which may
    /// pass 2^31 - 1 (n_obs then holds the sum clamped to it); -1 for one file's header.
    std::int64_t pooled_n_obs = -1;

    /// The declared observations: pooled_n_obs for a pool, else n_obs.
    std::int64_t declared_observations() const { return pooled_n_obs >= 0 ? pooled_n_obs : n_obs; }
};

/// The values an open command takes from the window (or from the batch tool's options), already
/// converted: numbers truncated toward zero, texts as typed.
struct RunParameters {
    std::string result_path;
    std::string pairwise_path = output_name::pairwise;
    std::string tree_path = output_name::tree;
    std::string heights_path = output_name::heights;
    std::string clusters_path = output_name::clusters;
    std::int32_t k_from = 1;
    std::int32_t k_to = 100;
    std::int32_t burn_in = 10;
};

/// State of the open run, owned by the window for the life of the process (the batch tool keeps one too).
struct RunState {
    std::string result_path;
    bool opened = false;
    std::string pairwise_path;
    std::string tree_path;
    std::string heights_path;
    std::string clusters_path;
    std::int32_t k_from = 0;
    std::int32_t k_to = 0;
    std::int32_t burn_in = 0;
    RunHeader header;
    /// Shared, so that a computation still running on a worker thread keeps the store it reads alive after
    /// the window has moved on to another run.
    std::shared_ptr<MC_Sample> store;
    std::string side_path;
    /// names[i - 1] names individual i; empty while the individuals have no names but their numbers.
    std::vector<std::string> names;

    /// Takes the output names, the k range and the burn-in (a burn-in below 0 as 0) of `params`.
    void capture(const RunParameters& params) {
        pairwise_path = params.pairwise_path;
        tree_path = params.tree_path;
        heights_path = params.heights_path;
        clusters_path = params.clusters_path;
        k_from = params.k_from;
        k_to = params.k_to;
        burn_in = params.burn_in < 0 ? 0 : params.burn_in;
    }
    /// The values capture took, with result_path.
    RunParameters parameters() const {
        return RunParameters{result_path, pairwise_path, tree_path, heights_path, clusters_path, k_from, k_to, burn_in};
    }
};

/// The name of individual i (1..n_indivs): its given name, or its number when the run has no names.
inline std::string name_of(const RunState& run, std::int32_t i) {
    const auto k = static_cast<std::size_t>(i - 1);
    return i >= 1 && k < run.names.size() ? run.names[k] : std::to_string(i);
}
