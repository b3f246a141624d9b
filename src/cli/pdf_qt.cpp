// quorvel-batch-pdf: quorvel-batch with the PDF report writer in the same process.
#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <memory>

#include "cli/pdf_loader.h"
#include "print/fonts.h"
#include "print/report_printer.h"

namespace quorvel::cli {

PdfWriter LoadPdfWriter(std::string&) {
    return [](const ReportData& data, const std::string& path, std::string& error) {
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
        QString why;
        // `path` is a fresh temporary file of the caller's, there to be replaced.
        if (!WriteReportPdf(BuildReport(ToReportInput(data)), QString::fromStdString(path), &why,
                            /*overwrite=*/true)) {
            error = why.toStdString();
            return false;
        }
        return true;
    };
}

}  // namespace quorvel::cli
