#include <QGuiApplication>
#include <QString>
#include <memory>

#include "cli/pdf_writer.h"
#include "ui/fonts.h"
#include "ui/report_printer.h"

namespace quorvel::cli {

PdfWriter PdfWriterOfThisBuild() {
    return [](const ReportData& data, const std::string& path, std::string& error) {
        // Fonts and page metrics need an application object; a command-line run has no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "quorvel-batch";
        static char* argv[] = {name, nullptr};
        std::unique_ptr<QGuiApplication> app;
        if (QGuiApplication::instance() == nullptr) {
            app = std::make_unique<QGuiApplication>(argc, argv);
            InstallFontSubstitutions();
        }
        QString why;
        if (!WriteReportPdf(BuildReport(ToReportInput(data)), QString::fromStdString(path), &why)) {
            error = why.toStdString();
            return false;
        }
        return true;
    };
}

}  // namespace quorvel::cli
