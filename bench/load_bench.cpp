// Loads a result file into the sample store several times and prints the best load speed: as the window
// loads it (fill_mc_sample, writing the side file), then in one pass with the SHA-256 of its bytes.
// Usage: load_bench RESULT_FILE [REPEATS]

#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/RunLoader.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

/// The best of `repeats` timings of `load`, in seconds; `samples` gets what the last one stored.
double best_of(int repeats, const std::function<std::int32_t()>& load, std::int32_t& samples) {
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        samples = load();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: load_bench RESULT_FILE [REPEATS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    const auto bytes = static_cast<double>(std::filesystem::file_size(path));
    const std::string side = (std::filesystem::temp_directory_path() / "velmora_load_bench_side.txt").string();
    std::int32_t samples = 0;
    const double plain = best_of(
        repeats,
        [&] {
            MC_Sample store;
            Notices notes;
            store.fill_mc_sample(path, side, notes);
            return store.get_n_samples();
        },
        samples);
    std::filesystem::remove(side);
    std::printf("load: %d observations, %.1f MB in %.3f s = %.0f MB/s\n", samples, bytes / 1e6, plain,
                bytes / 1e6 / plain);
    const double hashed = best_of(
        repeats,
        [&] {
            LoadOptions options;
            options.digest = true;
            RunLoader loader(path, options);
            if (loader.read_header()) loader.read_rest(nullptr);
            return loader.take_store().get_n_samples();
        },
        samples);
    std::printf("load with SHA-256: %d observations, %.1f MB in %.3f s = %.0f MB/s\n", samples, bytes / 1e6, hashed,
                bytes / 1e6 / hashed);
    return 0;
}
