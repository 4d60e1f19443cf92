// Another output folder chosen: what the window has made so far is written there at once, in the background.

#include "session/Session.h"
#include "tidy/Names.h"

#include <filesystem>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

std::string to_path(const QString& text) { return QFile::encodeName(text).toStdString(); }

/// `path`, written into the folder `from`, as it goes into the folder `to`; a path with a folder of its own
/// (a name given as an absolute path) stays where it is.
std::string moved(const std::string& path, const std::string& from, const std::string& to) {
    const std::filesystem::path p(path);
    if (!p.has_parent_path() && (from.empty() || from == ".")) return path_in_folder(to, path);
    const std::filesystem::path f = from.empty() ? std::filesystem::path(".") : std::filesystem::path(from);
    if (p.has_parent_path() && p.parent_path().lexically_normal() == f.lexically_normal())
        return path_in_folder(to, p.filename().string());
    return path;
}

}  // namespace

FolderRequest Session::folder_request(const QString& folder) const {
    FolderRequest r;
    r.folder = to_path(folder);
    r.set = output_set_;
    r.names = run_.names;
    r.runs_text = runs_text();
    if (!run_.opened || !run_.store) return r;
    RunOutputs files = run_outputs(std::max(0, last_burn_in_));
    files.folder = r.folder;
    r.runs = TidyRunRequest{run_.store, files};
    r.run_settings = range_text(parameters());
    if (tree_shape_) {
        TreeRequest tree;
        tree.store = run_.store;
        tree.params = tree_used_;
        for (std::string* path : {&tree.params.pairwise_path, &tree.params.tree_path, &tree.params.heights_path,
                                  &tree.params.clusters_path})
            *path = moved(*path, tree_folder_, r.folder);
        tree.files =
            TreeOutputs{output_set_, r.folder, run_.names.empty() ? numbered_names(run_.header.n_indivs) : run_.names};
        r.tree = tree;
        r.tree_settings = range_text(tree_used_);
    }
    if (estimate_) {
        r.estimate = estimate_;
        r.membership = membership_;
        r.estimate_settings = estimate_settings(*estimate_);
    }
    if (!cut_.empty()) {
        r.cut = cut_;
        r.cut_settings = cut_settings(cut_level_, cut_tree_);
    }
    return r;
}

QStringList Session::outputs_in(const QString& folder) const {
    QStringList there;
    const FolderRequest request = folder_request(folder);
    for (const std::string& name : folder_files(request)) {
        const QString path = QFile::decodeName(path_in_folder(request.folder, name).c_str());
        if (QFileInfo(path).isFile()) there.append(QString::fromStdString(name));
    }
    return there;
}

void Session::write_outputs_to_folder() {
    command([this] {
        const FolderRequest request = folder_request(output_folder_);
        if (folder_files(request).empty()) return;
        folders_.start<FolderOutcome>(
            tr("Writing the outputs into %1").arg(shown_output_folder()),
            [request](JobControl& control) { return folder_job(request, control); },
            [this](FolderOutcome&& outcome) {
                note(tr("The outputs made so far were written into %1.").arg(shown_output_folder()));
                if (outcome.failures.empty()) return;
                QStringList lines{tr("Some outputs could not be written into %1:").arg(shown_output_folder())};
                for (const std::string& f : outcome.failures) lines.append(QString::fromStdString(f));
                emit problem(Severity::warning, lines.join(QLatin1Char('\n')));
            });
    });
}
