#include "cli/tidy_outputs.h"

#include "cli/analyze.h"
#include "tidy/Psm.h"
#include "tidy/RunTables.h"
#include "tidy/TreeExport.h"

bool write_tidy_run_files(const std::string& out_dir, const RunState& run, const Posterior* posterior, Notices& notes) {
    bool ok = write_trace_tsv(in_dir(out_dir, trace_tsv_name), *run.store, run.burn_in, notes);
    const std::string posterior_path = in_dir(out_dir, posterior_tsv_name);
    if (posterior) {
        ok = write_posterior_tsv(posterior_path, posterior_table(run, *posterior), notes) && ok;
    } else {
        notes.report("", posterior_path + " was not written: the burn-in " + std::to_string(run.burn_in) +
                             " leaves no observation of the " + std::to_string(run.store->get_n_samples()) +
                             " stored.");
        ok = false;
    }
    return ok;
}

bool write_tidy_psm(const std::string& out_dir, const Marginal& marginal, const KList& k_list,
                    const std::vector<std::string>& names, Notices& notes) {
    return write_psm_tsv(in_dir(out_dir, psm_tsv_name), marginal, k_list, names, notes);
}

bool write_tidy_tree_files(const std::string& out_dir, const TreeShape& shape, const std::vector<std::string>& names,
                           Notices& notes) {
    bool ok = write_tree_newick(in_dir(out_dir, newick_name), shape, names, notes);
    ok = write_tree_nexus(in_dir(out_dir, nexus_name), shape, names, notes) && ok;
    ok = write_nodes_tsv(in_dir(out_dir, nodes_tsv_name), shape, names, notes) && ok;
    return ok;
}
