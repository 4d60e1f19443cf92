// Time and peak memory of average linkage (tree/AverageLinkage.h) and of the estimate's map order
// (tree/MapOrder.h) at 1,000, 5,000 and 16,384 individuals. The pair counts are synthetic, out of 30,000
// draws as at the format's limit: planted groups of 50 whose pairs share a cluster in 77 to 83 % of the draws,
// other pairs in 2 to 8 %; and, as a case without structure, counts uniform over 0..30,000.
//
// Memory is the process's peak resident size during the call above its size before it (the counts, held
// by the caller, are not included), read from /proc/self/status after resetting the peak through
// /proc/self/clear_refs. "copy" is average_linkage on a span of the counts (it copies them), "inplace" the
// overload that takes the vector over, "order" estimate_order with the planted groups as the estimate.
//
// Usage: linkage_bench [N...]   (default 1000 5000 16384)

#include "coassign/PairCounts.h"
#include "tree/AverageLinkage.h"
#include "tree/MapOrder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t draws = 30000;

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

/// A field of /proc/self/status in kB (VmRSS, VmHWM); 0 when it cannot be read.
long status_kb(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
    return 0;
}

/// Seconds and peak memory above the start (MiB) of `work`.
std::pair<double, double> measure(const std::function<void()>& work) {
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = status_kb("VmRSS");
    const auto t0 = std::chrono::steady_clock::now();
    work();
    const double s = seconds_since(t0);
    return {s, static_cast<double>(std::max(status_kb("VmHWM") - before, 0L)) / 1024.0};
}

std::uint32_t next(std::uint32_t& h) {
    h = h * 1664525u + 1013904223u;
    return h >> 8;
}

std::vector<std::uint32_t> planted_counts(std::int32_t n) {
    std::vector<std::uint32_t> cells;
    cells.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2);
    std::uint32_t h = 12345;
    for (std::int32_t b = 2; b <= n; ++b)
        for (std::int32_t a = 1; a < b; ++a)
            cells.push_back(((a - 1) / 50 == (b - 1) / 50 ? 23100u : 600u) + next(h) % 1800);
    return cells;
}

std::vector<std::uint32_t> uniform_counts(std::int32_t n) {
    std::vector<std::uint32_t> cells(static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2);
    std::uint32_t h = 777;
    for (std::uint32_t& c : cells) c = next(h) % (draws + 1);
    return cells;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::int32_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 5000, 16384};

    std::printf("%-8s %7s %9s %9s %10s %11s %9s %9s\n", "counts", "n", "copy_s", "copy_MiB", "inplace_s", "inplace_MiB",
                "order_s", "order_MiB");
    for (const char* kind : {"planted", "uniform"}) {
        for (const std::int32_t n : sizes) {
            std::vector<std::uint32_t> cells = kind[0] == 'p' ? planted_counts(n) : uniform_counts(n);
            AverageTree tree;
            const auto copy = measure([&] { tree = average_linkage(cells, draws, n); });
            const std::vector<double> levels = tree.levels;

            std::vector<std::int32_t> planted(static_cast<std::size_t>(n));
            for (std::int32_t i = 0; i < n; ++i) planted[static_cast<std::size_t>(i)] = i / 50 + 1;
            EstimateOrder order;
            const auto by_estimate = measure([&] { order = estimate_order(cells, draws, n, planted); });

            const auto in_place = measure([&] { tree = average_linkage(std::move(cells), draws, n); });
            if (tree.levels != levels) std::printf("the two overloads disagree!\n");
            std::printf("%-8s %7d %9.3f %9.0f %10.3f %11.0f %9.3f %9.0f\n", kind, n, copy.first, copy.second,
                        in_place.first, in_place.second, by_estimate.first, by_estimate.second);
            std::fflush(stdout);
        }
    }
    return 0;
}
