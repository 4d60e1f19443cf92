// Runs the whole batch pipeline on small arbitrary inputs: load, posterior, saved trajectory, pair
// counts, pairwise file, tree and its files. The first byte picks the burn-in and the k range.

#include "sample/Exceptions.h"
#include "sample/Header.h"
#include "sample/Notices.h"
#include "sample/TextCursor.h"
#include "summary/Posterior.h"
#include "summary/Trajectory.h"
#include "tree/MakeTree.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

const std::string& work_dir() {
    static const std::string dir = [] {
        const std::string d = "/dev/shm/velmora-fuzz-" + std::to_string(::getpid());
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t control = data[0];
    const char* begin = reinterpret_cast<const char*>(data + 1);
    const char* end = reinterpret_cast<const char*>(data + size);

    TextCursor cursor(begin, end);
    RunHeader header;
    std::string why;
    if (!parse_header(cursor, header, why) || !check_header(header, why)) return 0;
    if (header.n_indivs > 200) return 0;  // keep each run small: the tree is quadratic in individuals

    const std::string dir = work_dir();
    RunState run;
    run.result_path = "fuzz";
    run.header = header;
    run.burn_in = control & 3;
    run.k_from = (control >> 2) & 7;
    run.k_to = 1 + ((control >> 5) & 7);
    run.pairwise_path = dir + "/pairwise_probs.txt";
    run.tree_path = dir + "/tree.txt";
    run.heights_path = dir + "/node_heights.txt";
    run.clusters_path = dir + "/node_clusters.txt";
    run.side_path = dir + "/_trajectories.txt";
    run.store = std::make_unique<MC_Sample>();
    Notices notes;
    try {
        run.store->fill_from_text(begin, end, "fuzz", run.side_path, notes);
        if (const auto post = compute_posterior(run.header, *run.store, run.burn_in)) {
            std::ostringstream out;
            print_posterior(out, run.result_path, run.header, *post);
        }
        save_trajectory_file(dir + "/trajectories.txt", run.side_path, notes);
        const RunParameters params = run.parameters();
        const MakeTreeResult result = make_tree(run.store.get(), params, notes);
        if (result.status == MakeTreeResult::Status::done &&
            result.levels.size() != static_cast<std::size_t>(run.header.n_indivs - 1))
            std::abort();
        for (const double level : result.levels)
            if (!(level >= 0.0 && level <= 1.0)) std::abort();
    } catch (const Exceptions&) {
        // An index out of range while loading ends the command; nothing else may throw.
    }
    return 0;
}
