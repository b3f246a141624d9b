// quorvel-batch-pdf: quorvel-batch with the PDF report writer in the same process.
#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <memory>

#include "cli/pdf_loader.h"
#include "print/fonts.h"
#include "print/report_printer.h"

namespace quorvel::cli {

cli::PdfWriter LoadPdfWriter(std::string&) {
    return [](engine::ReportLines& lines, int fd, std::string& error) {
        // Fonts and page metrics need an application object; a command-line run has no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "quorvel-batch";
        static char* argv[] = {name, nullptr};
        // Qt's own notices (no runtime folder, font fallbacks) are not the run's business;
        // a failure comes back through `error`.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type == QtCriticalMsg || type == QtFatalMsg) {
                std::fprintf(stderr, "quorvel-batch: %s\n", qPrintable(msg));
            }
        });
        std::unique_ptr<QGuiApplication> app;
        if (QGuiApplication::instance() == nullptr) {
            app = std::make_unique<QGuiApplication>(argc, argv);
            InstallFontSubstitutions();
        }
        // Straight into the caller's temporary file, which keeps the mode of the file it
        // replaces and is removed on a signal; drawn page by page as the lines are read.
        QFile file;
        if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
            error = file.errorString().toStdString();
            return false;
        }
        QString why;
        const bool painted = WriteReportPdf([&lines](ReportLine& line) { return lines.Next(line); },
                                            QString::fromStdString(lines.Title()), file, &why);
        if (!painted || !file.flush()) {
            error = (painted ? file.errorString() : why).toStdString();
            return false;
        }
        return true;
    };
}

}  // namespace quorvel::cli
