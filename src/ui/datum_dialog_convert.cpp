// 坐标转换's 转换文件: a file of points converted with the parameters shown, fitted or loaded,
// on a worker thread, as quorvel-batch transform converts it.
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <string>
#include <vector>

#include "core/messages.h"
#include "engine/datum/datum_operation.h"
#include "print/file_names.h"
#include "print/qt_messages.h"
#include "ui/datum_dialog.h"
#include "ui/file_job.h"
#include "ui/job_runner.h"
#include "ui/point_file_dialog.h"
#include "ui/point_preview.h"
#include "ui/results_window.h"

namespace quorvel {

void DatumDialog::ConvertPoints() {
    if (!parameters_) {
        Say(QStringLiteral("先计算参数或载入参数，再转换文件"), true);
        return;
    }
    if (Converting()) return;
    QFileDialog dialog(this, QStringLiteral("转换文件"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(PointFileFilters());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString input = dialog.selectedFiles().constFirst();
    // The columns of the source's coordinates; every other column is carried into the result.
    // With a height model, the height it converts after them (h).
    const std::vector<std::string> coordinates =
        engine::DefaultLayout(
            parameters_->from, nullptr, parameters_->heights,
            parameters_->height ? std::vector<std::string>{"h"} : std::vector<std::string>{})
            .names;
    QStringList shown;
    for (const std::string& n : coordinates) {
        const QString name = QString::fromStdString(n);
        shown << (name.endsWith(u'1') ? name.chopped(1) : name);
    }
    PointFileDialog columns(input, QStringLiteral("转换文件的各列"), coordinates, shown,
                            QStringLiteral("带入"), this);
    if (columns.exec() != QDialog::Accepted) return;
    ConvertFile(input, columns.choice());
}

engine::TransformJob DatumDialog::TransformJobFor(const PointFileChoice& choice) const {
    engine::TransformJob job;
    job.parameters = *parameters_;
    job.parameterName = parameterPath_.isEmpty() ? Tr("the parameters fitted in the dialog")
                                                 : EngineFileName(parameterPath_);
    job.reading.fields = choice.fields;
    for (std::size_t& f : job.reading.fields) ++f;  // 1-based, as --fields
    job.reading.decimalComma = choice.decimalComma;
    job.reading.header = choice.header;
    job.reading.encoding = IconvEncoding(choice.encoding);
    job.writing.bom = true;
    return job;
}

std::string DatumDialog::TransformCommand(const QString& input,
                                          const PointFileChoice& choice) const {
    std::vector<std::string> args = {
        "transform", "-p",
        parameterPath_.isEmpty() ? std::string("PARAMS") : EngineFileName(parameterPath_), "--bom"};
    const std::vector<std::string> reading = ReadingArguments(choice);
    args.insert(args.end(), reading.begin(), reading.end());
    args.insert(args.end(), {"--", EngineFileName(input)});
    return ShellCommand(args);
}

bool DatumDialog::Converting() const {
    return runner_->Running();
}

void DatumDialog::ConvertFile(const QString& input, const PointFileChoice& choice) {
    if (!parameters_ || Converting()) return;
    const std::string note =
        parameterPath_.isEmpty()
            ? Tr("PARAMS: the parameters fitted in the dialog, not saved: Save parameters… "
                 "writes them to a file.")
            : std::string();
    auto job = std::make_shared<FileJob>(TransformJobFor(choice), EngineFileName(input),
                                         TransformCommand(input, choice), note);
    job->SetSheet(choice.sheet.toStdString());
    runner_->Start(
        job, QtMessage(Tr("Computing {0} …"), {QFileInfo(input).fileName()}),
        [this](std::shared_ptr<FileJobResult> result) {
            if (!result) return;  // cancelled: the dialog as it was
            if (!result->error.empty()) {
                const QString error = QString::fromStdString(result->error);
                Say(error, true);
                auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("转换文件"), error,
                                            QMessageBox::Ok, this);
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->open();
                return;
            }
            Say(QStringLiteral("已转换 %1 个点").arg(result->rows.size()), false);
            // Results outlive the dialog, as 从文件计算's do the file's dialog.
            ShowResults(std::move(result), parentWidget() != nullptr ? parentWidget() : this);
        });
}

}  // namespace quorvel
