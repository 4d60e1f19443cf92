#include "sample/OpenRun.h"

#include <cmath>
#include <limits>
#include <memory>

HeaderStatus begin_open(RunState& run, const RunParameters& params, Notices& notes) {
    RunHeader header;
    const HeaderStatus status = read_result_header(params.result_path, header, notes);
    if (status != HeaderStatus::ok) return status;
    run.result_path = params.result_path;
    run.opened = true;
    run.capture(params);
    run.header = header;
    return status;
}

LoadReport load_store(RunState& run, const std::string& side_path, Notices& notes) {
    run.store = std::make_unique<MC_Sample>();
    run.side_path = side_path;
    const LoadReport report = run.store->fill_mc_sample(run.result_path, side_path, notes);
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
