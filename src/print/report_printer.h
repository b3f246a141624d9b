#pragma once

#include <QDateTime>
#include <QPageLayout>
#include <QString>
#include <functional>
#include <vector>

#include "report/report.h"

class QIODevice;
class QPaintDevice;
class QPagedPaintDevice;

namespace quorvel {

// The report's lines positioned on `device`, in its units: font "宋体", print position starting
// at (2000, 1500) twips, a column as wide as the font's average character on the device, pages
// as tall as the device's printable area.
std::vector<PlacedLine> LayoutReportOn(const Report& report, QPaintDevice& device);

// Draws the report on `device`, one device page per report page, only those of its page ranges
// when it has any. An empty report begins no painter, so a printer gets no job at all. Returns
// false with `error` set when the device cannot be painted on.
bool PaintReport(const Report& report, QPagedPaintDevice& device, QString* error);

// As PaintReport for a report read line by line from `next` (false at the end), so that a
// report of any length is drawn holding one line at a time. Begins the painter even when `next`
// has no line.
bool PaintReportLines(const std::function<bool(ReportLine&)>& next, QPagedPaintDevice& device,
                      QString* error);

// The page of every PDF report: A4 portrait, 10 mm margins.
QPageLayout ReportPdfPage();

// Draws the report as a PDF, made by Quorvel and titled `title`, on ReportPdfPage() into
// `device`, open for writing; the lines as PaintReportLines reads them.
bool WriteReportPdf(const std::function<bool(ReportLine&)>& next, const QString& title,
                    QIODevice& device, QString* error);
// The same for a whole report, titled by its first item; an empty report fails.
bool WriteReportPdf(const Report& report, QIODevice& device, QString* error);

enum class PrintOutcome {
    NothingToPrint,  // no completed batch: no job, no file
    Printed,         // taken by the default printer's queue
    SavedAsPdf,      // no printer, or its queue refused the job: written as a new PDF file
    Failed,
};

struct PrintResult {
    PrintOutcome outcome = PrintOutcome::NothingToPrint;
    QString printer;  // the queue printed to, or that refused the job
    QString pdfPath;  // the file written
    QString message;  // what to tell the user; empty when there is nothing to tell
};

// Where a report is saved when there is no printer: the documents folder, or the home folder
// when there is none.
QString ReportPdfFolder();

// "Quorvel 大地正算 2026-12-08 14-03-05": what the file holds and when it was made.
QString ReportPdfBaseName(Computation mode, const QDateTime& when);

// Prints the report on the default printer without a dialog; with no printer, or when its queue
// does not accept jobs or refuses this one, saves it under a new name in ReportPdfFolder()
// (" (2)", " (3)", ... added when taken), never overwriting, and says why.
PrintResult PrintReport(const Report& report, Computation mode,
                        const QDateTime& now = QDateTime::currentDateTime());

// The print button: the report of a completed batch, as PrintReport.
PrintResult PrintBatchReport(const ReportInput& input,
                             const QDateTime& now = QDateTime::currentDateTime());

}  // namespace quorvel
