#include "jobs/FolderJob.h"

#include "jobs/StoppedWrites.h"
#include "outputs/WrittenRecord.h"
#include "sample/OutputNames.h"
#include "sample/Progress.h"

#include <filesystem>

#include <QCoreApplication>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("FolderJob", text); }

/// `path` as folder_files names it: its name when it lies in `folder`, else the path itself.
std::string shown_name(const std::string& folder, const std::string& path) {
    const std::filesystem::path p(path);
    const std::filesystem::path f = folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder);
    if (p.has_parent_path() && p.parent_path().lexically_normal() == f.lexically_normal()) return p.filename().string();
    return p.has_parent_path() ? path : p.filename().string();
}

void take(std::vector<std::string>& failures, Notices& notes) {
    for (const Notice& n : notes.take()) failures.push_back(n.text);
}

void record(const FolderRequest& request, OutputMoment moment, const std::string& settings) {
    Notices ignored;
    add_to_written_record(request.folder,
                          describe_written(request.folder, recorded_outputs(moment), request.runs_text, settings),
                          ignored);
}

}  // namespace

std::vector<std::string> folder_files(const FolderRequest& request) {
    std::vector<std::string> names;
    const auto add = [&names](const std::vector<std::string>& more) {
        names.insert(names.end(), more.begin(), more.end());
    };
    if (request.runs) {
        const RunOutputs& files = request.runs->files;
        if (writes_legacy(request.set) && files.posterior)
            names.push_back(shown_name(request.folder, path_in_folder(files.folder, files.posterior_name)));
        if (writes_tidy(request.set))
            for (const std::string& n : recorded_outputs(OutputMoment::open))
                if (files.posterior || n != "posterior_k.tsv") names.push_back(n);
    }
    if (request.tree) {
        const RunParameters& p = request.tree->params;
        if (writes_legacy(request.set))
            for (const std::string* path : {&p.pairwise_path, &p.tree_path, &p.clusters_path, &p.heights_path})
                names.push_back(shown_name(request.folder, *path));
        if (writes_tidy(request.set)) add(recorded_outputs(OutputMoment::tree));
    }
    if (request.estimate && request.membership) add(recorded_outputs(OutputMoment::estimate));
    if (!request.cut.empty()) add(recorded_outputs(OutputMoment::cut));
    return names;
}

FolderOutcome folder_job(const FolderRequest& request, JobControl& control) {
    FolderOutcome out;
    const auto check = [&control] {
        if (control.cancelled()) throw Cancelled();
    };
    Notices notes;
    if (request.runs) {
        control.report(tr("Writing the files of the runs"), 0, 0);
        RunOutputs files = request.runs->files;
        files.store = request.runs->store.get();
        if (writes_legacy(request.set) && files.posterior) write_legacy_run_files(files, notes);
        take(out.failures, notes);
        if (writes_tidy(request.set)) {
            check();
            // A job stopped part way records what it had written, as the window's other writers do.
            std::vector<std::string> failures =
                recording_stopped_writes(request.folder, recorded_outputs(OutputMoment::open), request.runs_text,
                                         request.run_settings, [&] { return tidy_run_job(*request.runs, control); });
            for (std::string& f : failures) out.failures.push_back(std::move(f));
            record(request, OutputMoment::open, request.run_settings);
        }
    }
    if (request.tree) {
        check();
        const std::vector<std::string> tidy =
            writes_tidy(request.set) ? recorded_outputs(OutputMoment::tree) : std::vector<std::string>();
        const TreeOutcome tree =
            recording_stopped_writes(request.folder, tidy, request.runs_text, request.tree_settings,
                                     [&] { return make_tree_job(*request.tree, control); });
        if (!tree.error.empty()) out.failures.push_back(tree.error);
        for (const std::string& f : tree.result.not_written) out.failures.push_back(f + ": not written");
        if (writes_tidy(request.set)) record(request, OutputMoment::tree, request.tree_settings);
    }
    if (request.estimate && request.membership) {
        check();
        control.report(tr("Writing the files of the estimate"), 0, 0);
        if (write_estimate_files(request.folder, *request.estimate, *request.membership, request.names, notes))
            record(request, OutputMoment::estimate, request.estimate_settings);
        take(out.failures, notes);
    }
    if (!request.cut.empty()) {
        check();
        if (write_cut_files(request.folder, request.cut, request.names, notes))
            record(request, OutputMoment::cut, request.cut_settings);
        take(out.failures, notes);
    }
    std::error_code ec;
    for (const std::string& name : folder_files(request))
        if (std::filesystem::exists(path_in_folder(request.folder, name), ec)) out.written.push_back(name);
    return out;
}
