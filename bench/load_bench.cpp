// Loads a result file into the sample store several times and prints the best load speed.
// Usage: load_bench RESULT_FILE [REPEATS]

#include "sample/Mc_sample.h"
#include "sample/Notices.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: load_bench RESULT_FILE [REPEATS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    const auto bytes = static_cast<double>(std::filesystem::file_size(path));
    const std::string side = (std::filesystem::temp_directory_path() / "velmora_load_bench_side.txt").string();
    double best = 1e30;
    int samples = 0;
    for (int r = 0; r < repeats; ++r) {
        MC_Sample store;
        Notices notes;
        const auto start = std::chrono::steady_clock::now();
        store.fill_mc_sample(path, side, notes);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        samples = store.get_n_samples();
    }
    std::filesystem::remove(side);
    std::printf("load: %d observations, %.1f MB in %.3f s = %.0f MB/s\n", samples, bytes / 1e6, best,
                bytes / 1e6 / best);
    return 0;
}
