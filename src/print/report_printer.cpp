#include "print/report_printer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "core/atomic_file.h"
#include "core/errors.h"
#include "print/cups_queue.h"
#include "print/file_names.h"
#include "print/fonts.h"
#include "print/qt_messages.h"

namespace quorvel {
namespace {

constexpr double kStartXTwips = 2000;
constexpr double kStartYTwips = 1500;
constexpr double kTwipsPerInch = 1440;

QFont ReportFont(int pointSize) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(pointSize);
    return font;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The printer font's measures on one device, in device units.
class DeviceMetrics : public ReportMetrics {
  public:
    explicit DeviceMetrics(QPaintDevice& device) : device_(device) {}

    double ColumnWidth(int size) const override { return Metrics(size).averageCharWidth(); }
    double TextWidth(std::string_view text, int size) const override {
        return Metrics(size).horizontalAdvance(FromUtf8(text));
    }
    double LineHeight(int size) const override { return Metrics(size).lineSpacing(); }
    int Ascent(int size) const { return Metrics(size).ascent(); }

  private:
    const QFontMetrics& Metrics(int size) const {
        auto it = cache_.find(size);
        if (it == cache_.end()) {
            it = cache_.emplace(size, QFontMetrics(ReportFont(size), &device_)).first;
        }
        return it->second;
    }

    QPaintDevice& device_;
    mutable std::map<int, QFontMetrics> cache_;
};

void SetError(QString* error, const QString& text) {
    if (error != nullptr) *error = text;
}

QString ErrnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// The report drawn into a new file beside `first`, complete on disk and waiting for its name;
// null on failure.
std::unique_ptr<AtomicFile> RenderPdf(const Report& report, const QString& first, QString* error) {
    std::unique_ptr<AtomicFile> file;
    QFile out;
    QString why;
    try {
        file = std::make_unique<AtomicFile>(EngineFileName(first), AtomicFile::NewName{});
        if (!out.open(file->fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
            why = out.errorString();
        }
    } catch (const IoError& e) {
        why = ErrnoText(e.code());
    }
    if (!why.isEmpty()) {
        SetError(error,
                 QtMessage(Tr("cannot write a file in {0}: {1}"),
                           {QDir::toNativeSeparators(QFileInfo(first).absolutePath()), why}));
        return nullptr;
    }
    if (!WriteReportPdf(report, out, error)) return nullptr;
    try {
        if (!out.flush()) {
            why = out.errorString();
        } else {
            file->Finish();
        }
    } catch (const IoError& e) {
        why = ErrnoText(e.code());
    }
    if (!why.isEmpty()) {
        SetError(error, QtMessage(Tr("cannot write the PDF file: {0}"), {why}));
        return nullptr;
    }
    return file;
}

// The report's lines one at a time, as PaintReportLines reads them.
std::function<bool(ReportLine&)> LinesOf(const Report& report) {
    return [&report, next = std::size_t{0}](ReportLine& line) mutable {
        if (next == report.lines.size()) return false;
        line = report.lines[next++];
        return true;
    };
}

// The print position of the first line and the page height, in the device's units.
PageFrame FrameOf(const QPaintDevice& device) {
    PageFrame frame;
    frame.startX = kStartXTwips * device.logicalDpiX() / kTwipsPerInch;
    frame.startY = kStartYTwips * device.logicalDpiY() / kTwipsPerInch;
    frame.pageHeight = device.height();
    return frame;
}

}  // namespace

std::vector<PlacedLine> LayoutReportOn(const Report& report, QPaintDevice& device) {
    InstallFontSubstitutions();
    const DeviceMetrics metrics(device);
    const PageFrame frame = FrameOf(device);
    return PlaceReport(report, metrics, frame);
}

bool PaintReport(const Report& report, QPagedPaintDevice& device, QString* error) {
    if (report.IsEmpty()) return true;
    return PaintReportLines(LinesOf(report), device, error);
}

bool PaintReportLines(const std::function<bool(ReportLine&)>& next, QPagedPaintDevice& device,
                      QString* error) {
    InstallFontSubstitutions();
    const DeviceMetrics metrics(device);
    const PageFrame frame = FrameOf(device);
    ReportPlacer placer(metrics, frame);

    QPainter painter;
    if (!painter.begin(&device)) {
        SetError(error, QtMessage(Tr("cannot start printing")));
        return false;
    }
    // Only the pages asked for (from 1; none: all), as a print dialog's page range gives them.
    const QPageRanges ranges = device.pageRanges();
    int page = -1;  // the page drawn on
    ReportLine line;
    std::vector<PlacedLine> placed;
    while (next(line)) {
        placed.clear();
        placer.Place(line, placed);
        for (const PlacedLine& part : placed) {
            if (!ranges.isEmpty() && !ranges.contains(part.page + 1)) continue;
            if (part.page != page) {
                if (page >= 0 && !device.newPage()) {
                    SetError(error, QtMessage(Tr("cannot start a new page")));
                    painter.end();
                    return false;
                }
                page = part.page;
            }
            painter.setFont(ReportFont(part.fontSize));
            const double baseline = part.y + metrics.Ascent(part.fontSize);
            for (const PlacedItem& item : part.items) {
                painter.drawText(QPointF(item.x, baseline), FromUtf8(item.text));
            }
        }
    }
    if (!painter.end()) {
        SetError(error, QtMessage(Tr("cannot finish printing")));
        return false;
    }
    return true;
}

QPageLayout ReportPdfPage() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

bool WriteReportPdf(const std::function<bool(ReportLine&)>& next, const QString& title,
                    QIODevice& device, QString* error) {
    QPdfWriter writer(&device);
    writer.setCreator(QStringLiteral("Quorvel"));
    writer.setTitle(title);
    writer.setPageLayout(ReportPdfPage());
    return PaintReportLines(next, writer, error);
}

bool WriteReportPdf(const Report& report, QIODevice& device, QString* error) {
    if (report.IsEmpty()) {
        SetError(error, QtMessage(Tr("no results to print")));
        return false;
    }
    return WriteReportPdf(LinesOf(report), FromUtf8(report.lines.front().items.front().text),
                          device, error);
}

QString ReportPdfFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

QString ReportPdfBaseName(Computation mode, const QDateTime& when) {
    return QStringLiteral("Quorvel %1 %2")
        .arg(FromUtf8(ReportKindName(mode)), when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")));
}

namespace {

// Saves the report as a new PDF file instead of printing it; `why` says why, without a stop.
PrintResult SaveInstead(const Report& report, Computation mode, const QDateTime& now,
                        const QString& why) {
    PrintResult result;
    // A new file, rendered once and then given the first free name.
    const QString folder = ReportPdfFolder();
    const QString base = ReportPdfBaseName(mode, now);
    auto pathOf = [&](int n) {
        return QDir(folder).filePath(n == 1 ? base + QStringLiteral(".pdf")
                                            : QStringLiteral("%1 (%2).pdf").arg(base).arg(n));
    };
    QString error;
    std::unique_ptr<AtomicFile> file = RenderPdf(report, pathOf(1), &error);
    for (int n = 1; file && n <= 1000; ++n) {
        const QString path = pathOf(n);
        try {
            if (!file->PublishNew(EngineFileName(path))) {
                error = QtMessage(Tr("the file {0} exists and was not overwritten"),
                                  {QDir::toNativeSeparators(path)});
                continue;
            }
        } catch (const IoError& e) {
            error = QString::fromStdString(CannotWrite(QDir::toNativeSeparators(path).toStdString(),
                                                       ErrnoText(e.code()).toStdString()));
            break;
        }
        result.outcome = PrintOutcome::SavedAsPdf;
        result.pdfPath = path;
        result.message = QtMessage(Tr("{0}. The report was saved as a PDF file:\n{1}"),
                                   {why, QDir::toNativeSeparators(path)});
        return result;
    }
    result.outcome = PrintOutcome::Failed;
    result.message = QtMessage(
        Tr("{0}, and the report could not be saved as a PDF file either: {1}"), {why, error});
    return result;
}

QString CupsReason(const std::string& reason) {
    QString text = QString::fromStdString(reason).trimmed();
    while (text.endsWith(u'.') || text.endsWith(u'。')) text.chop(1);
    return text.isEmpty() ? QtMessage(Tr("CUPS gave no reason"))
                          : QtMessage(Tr("CUPS: {0}"), {text});
}

// Where the print system takes no files (Windows): drawn on the printer itself, which spools it.
PrintResult PrintOnPrinter(const Report& report, const QPrinterInfo& info, const QString& docName) {
    PrintResult result;
    result.printer = info.printerName();
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(docName);
    QString error;
    if (!PaintReport(report, printer, &error)) {
        result.outcome = PrintOutcome::Failed;
        result.message =
            QtMessage(Tr("Cannot print on the printer {0}: {1}"), {result.printer, error});
        return result;
    }
    result.outcome = PrintOutcome::Printed;
    return result;
}

}  // namespace

PrintResult PrintReport(const Report& report, Computation mode, const QDateTime& now) {
    PrintResult result;
    if (report.IsEmpty()) return result;

    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        return SaveInstead(report, mode, now, QtMessage(Tr("No printer is available")));
    }

    // Qt neither asks whether the queue takes jobs nor says whether it took this one: ask the
    // scheduler before, and hand it the job ourselves.
    const QString queue = info.printerName();
    const QueueStatus status = AskQueue(queue.toStdString());
    if (status.known && !status.accepting) {
        result = SaveInstead(report, mode, now,
                             QtMessage(Tr("The printer {0} does not take jobs now ({1})"),
                                       {queue, CupsReason(status.reason)}));
        result.printer = queue;
        return result;
    }
    const QString docName = QStringLiteral("Quorvel ") + FromUtf8(ReportKindName(mode));
    if (!QueueTakesFiles()) return PrintOnPrinter(report, info, docName);
    QTemporaryFile job(QDir::temp().filePath(QStringLiteral("quorvel-print-XXXXXX.pdf")));
    QString error;
    bool drawn = false;
    if (job.open()) {
        // The printer's own paper and margins, drawn into the file that becomes the job.
        QPrinter printer(info, QPrinter::HighResolution);
        printer.setDocName(docName);
        printer.setOutputFileName(job.fileName());
        drawn = PaintReport(report, printer, &error);
    } else {
        error = job.errorString();
    }
    if (!drawn) {
        result.outcome = PrintOutcome::Failed;
        result.message = QtMessage(Tr("Cannot print on the printer {0}: {1}"), {queue, error});
        return result;
    }
    const JobSubmission sent =
        SubmitJob(queue.toStdString(), EngineFileName(job.fileName()), docName.toStdString());
    if (!sent.ok) {
        result = SaveInstead(report, mode, now,
                             QtMessage(Tr("The printer {0} refused the job ({1})"),
                                       {queue, CupsReason(sent.reason)}));
        result.printer = queue;
        return result;
    }
    result.outcome = PrintOutcome::Printed;
    result.printer = queue;
    return result;
}

PrintResult PrintBatchReport(const ReportInput& input, const QDateTime& now) {
    if (!input.mode) return {};
    return PrintReport(BuildReport(input), *input.mode, now);
}

}  // namespace quorvel
