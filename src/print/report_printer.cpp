#include "print/report_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "print/cups_queue.h"
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

// Read without setting it, which would change it for a moment for every thread.
mode_t CurrentUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (!line.startsWith("Umask:")) continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok) return static_cast<mode_t>(mask);
        }
    }
    return 077;  // unknown: keep the file private
}

// The report drawn into a temporary file in `folder`, flushed to disk; null on failure.
std::unique_ptr<QTemporaryFile> RenderPdfToTemporary(const Report& report, const QString& folder,
                                                     QString* error) {
    auto file = std::make_unique<QTemporaryFile>(
        QDir(folder).filePath(QStringLiteral(".quorvel-report-XXXXXX.part")));
    if (!file->open()) {
        SetError(error, QtMessage(Tr("cannot write a file in {0}: {1}"),
                                  {QDir::toNativeSeparators(folder), file->errorString()}));
        return nullptr;
    }
    {
        QPdfWriter writer(file.get());
        writer.setCreator(QStringLiteral("Quorvel"));
        writer.setTitle(FromUtf8(report.lines.front().items.front().text));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        if (!PaintReport(report, writer, error)) return nullptr;
    }
    // A file that lands in the user's folder gets the permissions any new file of theirs gets.
    if (!file->flush() || ::fchmod(file->handle(), 0666 & ~CurrentUmask()) != 0 ||
        ::fsync(file->handle()) != 0) {
        SetError(error, QtMessage(Tr("cannot write the PDF file: {0}"), {file->errorString()}));
        return nullptr;
    }
    return file;
}

enum class Published { Done, Taken, Failed };

// Moves the finished temporary file to `target`. Without `overwrite`, an existing target is
// never replaced: a hard link fails atomically when the name is taken, so no race with another
// writer can clobber a file.
Published Publish(QTemporaryFile& file, const QString& target, bool overwrite, QString* error) {
    const QByteArray from = QFile::encodeName(file.fileName());
    const QByteArray to = QFile::encodeName(target);
    if (overwrite) {
        if (std::rename(from.constData(), to.constData()) != 0) {
            SetError(error, QtMessage(Tr("cannot write {0}: {1}"),
                                      {QDir::toNativeSeparators(target), ErrnoText(errno)}));
            return Published::Failed;
        }
        file.setAutoRemove(false);
        return Published::Done;
    }
    if (::link(from.constData(), to.constData()) == 0) return Published::Done;
    const int err = errno;
    if (err != EEXIST && !QFileInfo::exists(target)) {
        // A file system without hard links: check and move, the best it allows.
        if (std::rename(from.constData(), to.constData()) == 0) {
            file.setAutoRemove(false);
            return Published::Done;
        }
        SetError(error, QtMessage(Tr("cannot write {0}: {1}"),
                                  {QDir::toNativeSeparators(target), ErrnoText(errno)}));
        return Published::Failed;
    }
    SetError(error, QtMessage(Tr("the file {0} exists and was not overwritten"),
                              {QDir::toNativeSeparators(target)}));
    return Published::Taken;
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
    std::size_t next = 0;
    return PaintReportLines(
        [&](ReportLine& line) {
            if (next == report.lines.size()) return false;
            line = report.lines[next++];
            return true;
        },
        device, error);
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

bool WriteReportPdf(const Report& report, const QString& path, QString* error, bool overwrite) {
    if (report.IsEmpty()) {
        SetError(error, QtMessage(Tr("no results to print")));
        return false;
    }
    const QFileInfo info(path);
    std::unique_ptr<QTemporaryFile> file = RenderPdfToTemporary(report, info.absolutePath(), error);
    if (!file) return false;
    return Publish(*file, info.absoluteFilePath(), overwrite, error) == Published::Done;
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
    QString error;
    std::unique_ptr<QTemporaryFile> file = RenderPdfToTemporary(report, folder, &error);
    for (int n = 1; file && n <= 1000; ++n) {
        const QString name =
            n == 1 ? base + QStringLiteral(".pdf") : QStringLiteral("%1 (%2).pdf").arg(base).arg(n);
        const QString path = QDir(folder).filePath(name);
        const Published p = Publish(*file, path, false, &error);
        if (p == Published::Taken) continue;
        if (p == Published::Failed) break;
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
        SubmitJob(queue.toStdString(), QFile::encodeName(job.fileName()).toStdString(),
                  docName.toStdString());
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
