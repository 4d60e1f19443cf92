#include "sample/OpenRun.h"

#include <cmath>
#include <limits>
#include <memory>

HeaderStatus begin_open(RunState& run, const RunParameters& params, Diagnostics& diag) {
    RunHeader header;
    const HeaderStatus status = read_result_header(params.result_path, header, diag);
    if (status != HeaderStatus::ok) return status;
    run.result_path = params.result_path;
    run.opened = true;
    run.pairwise_path = params.pairwise_path;
    run.tree_path = params.tree_path;
    run.heights_path = params.heights_path;
    run.clusters_path = params.clusters_path;
    run.k_from = params.k_from;
    run.k_to = params.k_to;
    run.burn_in = params.burn_in < 0 ? 0 : params.burn_in;
    run.header = header;
    return status;
}

LoadReport load_store(RunState& run, const std::string& side_path, Diagnostics& diag) {
    run.store = std::make_unique<MC_Sample>();
    run.side_path = side_path;
    const LoadReport report = run.store->fill_mc_sample(run.result_path, side_path, diag);
    run.store->count_k(run.burn_in);
    return report;
}

std::int32_t truncate_field(double value) {
    if (std::isnan(value)) return 0;
    const double t = std::trunc(value);
    if (t >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (t <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(t);
}
