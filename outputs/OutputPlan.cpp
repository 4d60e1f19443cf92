#include "outputs/OutputPlan.h"

#include "sample/OpenRuns.h"

#include <filesystem>
#include <map>

std::vector<PlannedOutput> planned_outputs(const AnalysisFiles& f) {
    std::vector<PlannedOutput> out;
    const auto add = [&](const std::string& source, const std::string& name) { out.push_back({source, name}); };
    if (writes_legacy(f.set)) {
        for (std::size_t r = 0; r < f.runs; ++r) add("the side file", numbered_name(f.side, r, f.runs));
        add("--posterior", f.posterior);
        for (std::size_t r = 0; r < f.runs; ++r) add("--trajectory", numbered_name(f.trajectory, r, f.runs));
        if (f.tree) {
            add("--pairwise", f.pairwise);
            add("--tree", f.tree_name);
            add("--clusters", f.clusters);
            add("--heights", f.heights);
        }
    }
    if (writes_tidy(f.set)) {
        for (const OutputFileInfo& info : output_files()) {
            if (info.set != OutputSet::tidy) continue;
            const bool written = info.moment == OutputMoment::open || (f.tree && info.moment == OutputMoment::tree) ||
                                 (f.tree && f.estimate && info.moment == OutputMoment::estimate) ||
                                 (f.tree && f.cut && info.moment == OutputMoment::cut);
            if (written) add("the tidy file", info.name);
        }
    }
    return out;
}

std::string output_names_problem(const std::vector<PlannedOutput>& outputs) {
    std::map<std::string, const PlannedOutput*> seen;
    for (const PlannedOutput& o : outputs) {
        const std::filesystem::path p = std::filesystem::path(o.name).lexically_normal();
        if (o.name.empty() || p.is_absolute() || p.empty() || *p.begin() == ".." || p == ".")
            return o.source + " " + o.name + " is not a name inside the output folder";
        const auto [it, fresh] = seen.emplace(p.string(), &o);
        if (fresh) continue;
        const PlannedOutput& first = *it->second;
        if (first.source == o.source) return o.source + " names " + o.name + " twice";
        return first.source + " " + first.name + " and " + o.source + " " + o.name + " are the same file";
    }
    return {};
}
