#include "jobs/OutputJob.h"

#include "sample/Notices.h"
#include "sample/Progress.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("OutputJob", text); }

}  // namespace

std::vector<std::string> tidy_run_job(const TidyRunRequest& request, JobControl& control) {
    control.report(tr("Writing the tidy files"), 0, 0);
    const Progress progress(
        [&control](std::int64_t done, std::int64_t total) {
            control.report(tr("Comparing the runs' pair probabilities"), done, total);
        },
        control.cancel_flag());
    RunOutputs files = request.files;
    files.store = request.store.get();
    files.progress = &progress;
    Notices notes;
    write_tidy_run_files(files, notes);
    std::vector<std::string> failures;
    for (const Notice& n : notes.take()) failures.push_back(n.text);
    return failures;
}
