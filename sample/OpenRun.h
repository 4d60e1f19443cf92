#pragma once

#include "sample/Header.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/RunState.h"

/// First half of the open command, after the file was chosen: reads and checks the header of
/// `params.result_path`. On success stores the path, sets `opened`, captures the parameters (output
/// names, k range, burn-in, each already truncated toward zero) and the header values into `run`.
/// When the file cannot be read or its header is bad, reports it and changes nothing, so the run
/// open before stays as it was.
HeaderStatus begin_open(RunState& run, const RunParameters& params, Notices& notes);

/// Second half: replaces the store with a new one filled from `run.result_path`, writing the side file
/// `side_path`, then counts k from `run.burn_in` on. An Exceptions raised while loading leaves the new
/// store in `run` with the records read before it.
LoadReport load_store(RunState& run, const std::string& side_path, Notices& notes);

/// Reads a numeric field's value as the window does: truncated toward zero, clamped to 32 bits.
std::int32_t truncate_field(double value);
