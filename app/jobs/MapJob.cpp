#include "jobs/MapJob.h"

#include <QCoreApplication>

std::shared_ptr<const CoassignMap> map_job(const MapRequest& request, JobControl& control) {
    const QString stage = QCoreApplication::translate("MapJob", "Preparing the co-assignment map");
    control.report(stage, 0, 1000);
    return std::make_shared<const CoassignMap>(
        request.cells, request.total, request.order,
        [&](double f) { control.report(stage, static_cast<qint64>(f * 1000), 1000); }, control.cancel_flag());
}
