#pragma once

// The report as a PDF, laid out for paper with Qt's PDF writer: the same sections, facts, paragraphs,
// figures (SVG drawn as vectors, PNG as images) and tables as the HTML page, paginated so that no figure is
// cut and every table page repeats its header.

#include "report/ReportHtml.h"

#include <QString>

class QIODevice;

/// Writes `report` to `device` on A4 paper, or US Letter when `letter`, with margins of 18 mm and the page
/// number at the foot of each page. False with `why` set when the PDF cannot be started.
bool write_report_pdf(const ReportInput& report, QIODevice& device, bool letter, QString* why);
