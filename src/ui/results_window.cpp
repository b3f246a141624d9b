#include "ui/results_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageRanges>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/messages.h"
#include "engine/run/run.h"
#include "engine/writers/dat_sink.h"
#include "engine/writers/gis_output.h"
#include "engine/writers/transform_gis.h"
#include "print/file_names.h"
#include "print/qt_messages.h"
#include "print/report_printer.h"
#include "ui/export_formats.h"
#include "ui/point_map.h"
#include "ui/results_model.h"
#include "ui/results_table.h"

namespace quorvel {
namespace {

QString FileNameOf(const std::string& path) {
    return QFileInfo(QtFileName(path)).fileName();
}

// Column widths from the header, the first rows and the last (where numbered names are longest):
// measuring all of a million rows would stall the window.
void FitColumns(QTableView* table) {
    const QFontMetrics fm(table->font());
    QAbstractItemModel* model = table->model();
    const int count = model->rowCount();
    std::vector<int> rows;
    for (int r = 0; r < count && r < 100; ++r) rows.push_back(r);
    for (int r = std::max(100, count - 100); r < count; ++r) rows.push_back(r);
    for (int c = 0; c < model->columnCount(); ++c) {
        int width = fm.horizontalAdvance(model->headerData(c, Qt::Horizontal).toString()) + 24;
        for (int r : rows) {
            width =
                std::max(width, fm.horizontalAdvance(model->index(r, c).data().toString()) + 16);
        }
        table->setColumnWidth(c, std::min(width, 360));
    }
}

// The size a window may have inside `room` with the desktop's frame around it, which is not
// known before it shows: room for a title bar and borders of the usual desktops.
QSize FitInto(const QWidget* window, QSize wanted, const QRect& room) {
    const int title = std::max(32, window->style()->pixelMetric(QStyle::PM_TitleBarHeight));
    return wanted.boundedTo(room.size() - QSize(16, title + 16));
}

// A transform's rows in the CASS format, all or nothing.
bool WriteTransformDat(const engine::RowStore& rows, const engine::TransformJob& transform,
                       const QString& path, QString* error) {
    try {
        AtomicFile file(EngineFileName(path));
        engine::FdSink sink(file.fd(), path.toStdString());
        engine::OutputBuffer out(sink);
        engine::DatSink dat(transform, out);
        rows.Replay(dat);
        file.Commit();
    } catch (const std::runtime_error& e) {
        *error = QString::fromStdString(ShownMessage(e.what()));
        return false;
    }
    return true;
}

// Rows of `table` whose height `rows` lines of text take, with the header.
int RowsHeight(const QTableView* table, int rows) {
    return table->horizontalHeader()->sizeHint().height() +
           rows * table->verticalHeader()->defaultSectionSize() + 2 * table->frameWidth();
}

}  // namespace

void ShowResults(std::shared_ptr<const FileJobResult> result, QWidget* parent) {
    auto* window = new ResultsWindow(std::move(result), parent);
    window->setWindowFlag(Qt::Window);
    window->show();
    window->raise();
    window->activateWindow();
}

Report ReportOf(const FileJobResult& result) {
    if (!result.report) return {};
    // The head as quorvel-batch's report has it, with the ellipsoid and method when they are not
    // the classic series; then the engine's points.
    engine::ReportData data;
    data.mode = result.job.mode;
    data.loText = result.job.loText;
    data.lsText = result.job.lsText;
    ReportInput input = engine::ToReportInput(data);
    input.pointCount = static_cast<int>(std::min<std::size_t>(result.report->Count(), INT32_MAX));
    input.projection = result.projectionLabel;
    Report report = BuildReport(input);
    result.report->Rewind();
    std::array<ValueCell, 4> row;
    for (int number = 1; result.report->Next(row); ++number)
        report.lines.push_back(BuildPointLine(result.job.mode, number, row));
    return report;
}

QString SummaryText(const FileJobResult& result) {
    const std::size_t warnings = result.WarningCount();
    std::string text = engine::SummaryText(result.counts);
    if (warnings > 0) {
        text += Fill(TrN(", {0} warning", ", {0} warnings", warnings), {std::to_string(warnings)});
    }
    const engine::Geodesy& g = result.job.geodesy;
    if (g.distortion && !result.transform()) {
        text += '\n' + engine::DistortionSummary(result.counts.distortion, g.distortionLimit);
    }
    return QString::fromStdString(text);
}

ResultsWindow::ResultsWindow(std::shared_ptr<const FileJobResult> result, QWidget* parent)
    : QMainWindow(parent),
      result_(std::move(result)),
      model_(new ResultsModel(result_, this)),
      table_(new ResultsTable(this)),
      map_(new PointMap(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    TakeNumber();

    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Fixed row heights keep scrolling through a million rows smooth.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    FitColumns(table_);

    QTableView* rejected = nullptr;
    QSplitter* stacked = LayOut(rejected);
    AddMenuAndTools();
    ConnectMap();
    FitToScreen(rejected, stacked);
    table_->setFocus();
    if (model_->rowCount() > 0) table_->selectRow(0);
}

QSplitter* ResultsWindow::LayOut(QTableView*& rejected) {
    auto* summary = new QLabel(SummaryText(*result_), this);
    summary->setObjectName(QStringLiteral("summary"));
    QFont bold = summary->font();
    bold.setBold(true);
    summary->setFont(bold);
    QString same = QStringLiteral("同样的计算：") + QString::fromStdString(result_->commandLine);
    if (!result_->commandNote.empty()) same += u'\n' + QString::fromStdString(result_->commandNote);
    auto* command = new QLabel(same, this);
    command->setObjectName(QStringLiteral("command"));
    command->setTextInteractionFlags(Qt::TextSelectableByMouse);
    command->setWordWrap(true);

    rejected = new ResultsTable(this);
    rejected->setObjectName(QStringLiteral("rejected"));
    rejected->setModel(new RejectedModel(result_, rejected));
    rejected->verticalHeader()->setVisible(false);
    rejected->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    rejected->verticalHeader()->setDefaultSectionSize(rejected->fontMetrics().height() + 6);
    rejected->setMinimumHeight(RowsHeight(rejected, 2));
    rejected->horizontalHeader()->setStretchLastSection(true);
    rejected->setColumnWidth(0, 80);
    rejected->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rejected->setVisible(!result_->diagnostics.empty());

    auto* sideBySide = new QSplitter(Qt::Horizontal, this);
    sideBySide->addWidget(table_);
    sideBySide->addWidget(map_);
    sideBySide->setSizes({600, 380});
    auto* stacked = new QSplitter(Qt::Vertical, this);
    stacked->setObjectName(QStringLiteral("stacked"));
    stacked->setChildrenCollapsible(false);
    stacked->addWidget(sideBySide);
    stacked->addWidget(rejected);
    stacked->setStretchFactor(0, 3);
    stacked->setStretchFactor(1, 1);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(summary);
    layout->addWidget(command);
    layout->addWidget(stacked, 1);
    setCentralWidget(central);
    return stacked;
}

void ResultsWindow::TakeNumber() {
    // The lowest number no other open window of the same file and kind has: the first keeps
    // the plain title, the next are told apart as "(2)", "(3)".
    const QString base =
        (result_->transform() ? QStringLiteral("转换结果 — ") : QStringLiteral("计算结果 — ")) +
        FileNameOf(result_->path);
    std::vector<int> taken;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const auto* other = qobject_cast<const ResultsWindow*>(w);
        if (other != nullptr && other != this && other->base_ == base)
            taken.push_back(other->number_);
    }
    number_ = 1;
    while (std::find(taken.begin(), taken.end(), number_) != taken.end()) ++number_;
    base_ = base;
    setWindowTitle(number_ == 1 ? base : base + QStringLiteral(" (%1)").arg(number_));
}

void ResultsWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    // Its number is free again for the next window of the file.
    if (event->isAccepted()) base_.clear();
}

void ResultsWindow::ConnectMap() {
    // The table first: the map's points are read from the rows in the background. The window
    // waits for the thread before its map goes, and a call queued for a deleted map is dropped.
    mapper_ = std::thread([result = result_, map = map_] {
        MapData data = BuildMapData(*result);
        QMetaObject::invokeMethod(
            map, [map, data = std::move(data)]() mutable { map->SetData(std::move(data)); },
            Qt::QueuedConnection);
    });

    // Selecting rows rings their points; clicking a point selects its row.
    map_->SetNames([result = result_](std::size_t i) {
        std::vector<std::string_view> passed;
        const std::string_view name = result->rows.At(i, passed).name;
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        std::vector<std::size_t> rows;
        for (const QItemSelectionRange& range : table_->selectionModel()->selection()) {
            for (int r = range.top(); r <= range.bottom() && rows.size() < 100000; ++r)
                rows.push_back(static_cast<std::size_t>(r));
        }
        map_->SetSelected(std::move(rows));
    });
    connect(map_, &PointMap::pointClicked, this, [this](std::size_t point) {
        const int row = static_cast<int>(point);
        table_->selectRow(row);
        table_->scrollTo(model_->index(row, 0));
    });
}

void ResultsWindow::FitToScreen(QTableView* rejected, QSplitter* stacked) {
    // No larger than the screen's free area, the rejected lines with a fair share of the height:
    // all of them when they are few, a third when they are many.
    QSize size(1000, 680);
    QRect room(QPoint(0, 0), size);
    if (const QScreen* s = screen()) {
        room = s->availableGeometry();
        size = FitInto(this, size, room);
    }
    resize(size);
    move(room.center() - QPoint(size.width() / 2, (size.height() + 32) / 2));
    if (!result_->diagnostics.empty()) {
        const int height = size.height() - 130;  // below the menu, tools, summary and command
        const int wanted = RowsHeight(
            rejected, static_cast<int>(std::min<std::size_t>(result_->diagnostics.size(), 1000)));
        const int share = std::clamp(wanted, rejected->minimumHeight(), height / 3);
        stacked->setSizes({height - share, share});
    }
}

void ResultsWindow::AddMenuAndTools() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    QAction* exportCsv = menu->addAction(QStringLiteral("导出…"), this, &ResultsWindow::ExportCsv);
    exportCsv->setShortcut(QKeySequence::Save);
    QAction* copy = menu->addAction(QStringLiteral("复制"), this, &ResultsWindow::CopyRows);
    copy->setShortcut(QKeySequence::Copy);
    // The table would otherwise take Ctrl+C for its current cell alone.
    copy->setShortcutContext(Qt::WindowShortcut);
    QAction* print = menu->addAction(QStringLiteral("打印…"), this, &ResultsWindow::PrintReport);
    print->setShortcut(QKeySequence::Print);
    if (result_->transform()) {
        // The report is the projection's; nothing in it would be a transform's.
        print->setEnabled(false);
        print->setToolTip(
            QtMessage(Tr("The printed report is the projection's: it has no room "
                         "for a transform's points. Export them instead.")));
    }
    menu->addSeparator();
    QAction* close = menu->addAction(QStringLiteral("关闭"), this, &QWidget::close);
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QToolBar* tools = addToolBar(QStringLiteral("操作"));
    tools->setMovable(false);
    tools->addAction(exportCsv);
    tools->addAction(copy);
    tools->addAction(print);
}

ResultsWindow::~ResultsWindow() {
    mapper_.join();
}

bool ResultsWindow::WriteCsv(const FileJobResult& result, const QString& path, QString* error) {
    try {
        AtomicFile file(EngineFileName(path));
        engine::FdSink sink(file.fd(), path.toStdString());
        engine::OutputBuffer out(sink);
        // The mark makes Excel read the names as UTF-8.
        if (const engine::TransformJob* transform = result.transform()) {
            engine::TransformJob marked = *transform;
            marked.writing.bom = true;
            engine::TransformCsvSink csv(marked, out);
            result.rows.Replay(csv);
        } else {
            engine::Job job = result.job;
            job.bom = true;
            engine::CsvSink csv(job, out);
            result.rows.Replay(csv);
        }
        file.Commit();
    } catch (const IoError& e) {
        *error = e.code() != 0 ? QString::fromLocal8Bit(std::strerror(e.code()))
                               : QString::fromStdString(e.what());
        return false;
    }
    return true;
}

bool ResultsWindow::WriteResults(const FileJobResult& result, const QString& path, QString* error,
                                 QStringList* warnings,
                                 const std::optional<ParameterFile>& parameters,
                                 const QString& parametersPath) {
    engine::Job job = result.job;
    job.format = engine::FormatOfPath(path.toStdString());
    const std::vector<ExportFormat> formats = ExportFormats(result);
    // As -o: an ending of a format not written here (.kmz, .dbf) is never taken as CSV, nor for a
    // transform one it has no writer of (the projection's writers say why they cannot).
    std::optional<std::string> ending = engine::ForeignEnding(job.format, path.toStdString());
    if (!ending && result.transform() &&
        std::none_of(formats.begin(), formats.end(),
                     [&](const ExportFormat& f) { return f.format == job.format; })) {
        ending = QFileInfo(path).suffix().toStdString();
    }
    if (ending) {
        QStringList endings;
        for (const ExportFormat& f : formats) {
            endings << QStringLiteral(".") + QString::fromUtf8(engine::FormatName(f.format).data());
        }
        *error = QtMessage(Tr("These results cannot be written as {0}: choose one of {1}"),
                           {QString::fromStdString(*ending), endings.join(u' ')});
        return false;
    }
    if (job.format == engine::OutputFormat::Csv) return WriteCsv(result, path, error);
    const engine::OutputWarning warn = [warnings](const std::string& warning) {
        if (warnings != nullptr) *warnings << QString::fromStdString(ShownMessage(warning));
    };
    if (const engine::TransformJob* transform = result.transform()) {
        if (job.format == engine::OutputFormat::Dat)
            return WriteTransformDat(result.rows, *transform, path, error);
        try {
            engine::WriteTransformGis(result.rows, *transform, job.format, EngineFileName(path),
                                      warn);
        } catch (const std::runtime_error& e) {  // IoError
            *error = QString::fromStdString(ShownMessage(e.what()));
            return false;
        }
        return true;
    }
    job.bom = false;  // the window's CSV only
    // Such as a .dat typed for inverse results: what the format cannot hold, said as it is.
    if (const std::optional<engine::JobRefusal> r =
            engine::CheckFormat(job, parameters.has_value())) {
        *error = QString::fromStdString(ShownMessage(r->words));
        return false;
    }
    try {
        engine::WriteRows(result.rows, job, EngineFileName(path), warn, parameters,
                          parametersPath.toStdString());
    } catch (const std::runtime_error& e) {  // IoError
        *error = QString::fromStdString(ShownMessage(e.what()));
        return false;
    }
    return true;
}

QString ResultsWindow::ChooseExportFile() {
    const QFileInfo input(QtFileName(result_->path));
    QFileDialog dialog(this, QStringLiteral("导出"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Only what the results can be written in; the file's ending picks the format, the filter
    // the ending of a name typed without.
    const std::vector<ExportFormat> formats = ExportFormats(*result_);
    QStringList filters, endings;
    for (const ExportFormat& f : formats) {
        filters << ExportFilter(f.format);
        endings << QStringLiteral(".") + QString::fromUtf8(engine::FormatName(f.format).data());
    }
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const qsizetype star = filter.indexOf(QStringLiteral("(*."));
        if (star >= 0) dialog.setDefaultSuffix(filter.mid(star + 3).chopped(1));
    });
    dialog.setDirectory(input.absolutePath());
    dialog.selectFile(input.completeBaseName() + QStringLiteral("-结果.csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().constFirst();
    const engine::OutputFormat format = engine::FormatOfPath(path.toStdString());
    // An ending of a format not written here (.kmz, .dbf) is refused, never taken as CSV.
    if (engine::ForeignEnding(format, path.toStdString()) ||
        std::none_of(formats.begin(), formats.end(),
                     [format](const ExportFormat& f) { return f.format == format; })) {
        QMessageBox::warning(this, windowTitle(),
                             QtMessage(Tr("These results cannot be written as {0}: choose one "
                                          "of {1}"),
                                       {QFileInfo(path).suffix(), endings.join(u' ')}));
        return {};
    }
    for (const std::string& file : engine::OutputFiles(format, path.toStdString())) {
        if (QFileInfo(QString::fromStdString(file)).canonicalFilePath() ==
            input.canonicalFilePath()) {
            QMessageBox::warning(
                this, windowTitle(),
                QtMessage(Tr("Cannot write the results over the input file {0}"), {path}));
            return {};
        }
    }
    return path;
}

QString ResultsWindow::ChooseParameters(std::optional<ParameterFile>& parameters) {
    QSettings settings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel"));
    const QString last = settings.value(QStringLiteral("datum/parameterFile")).toString();
    const QString datum = DatumNameInWindow(result_->job.geodesy.ellipsoid);
    QFileDialog dialog(this, QtMessage(Tr("Parameter file from {0} to CGCS2000 for KML"), {datum}));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("参数文件 (*.txt *.par)"), QStringLiteral("所有文件 (*)")});
    if (!last.isEmpty()) {
        dialog.setDirectory(QFileInfo(last).absolutePath());
        dialog.selectFile(last);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().constFirst();
    QString problem;
    try {
        parameters = engine::ReadParameters(EngineFileName(path));
        problem = ParametersProblem(*parameters, path, result_->job.geodesy.ellipsoid);
    } catch (const engine::IoError& e) {
        problem = QString::fromStdString(e.what());
    }
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
        parameters.reset();
        return {};
    }
    settings.setValue(QStringLiteral("datum/parameterFile"), QFileInfo(path).absoluteFilePath());
    return path;
}

void ResultsWindow::ExportCsv() {
    const QString path = ChooseExportFile();
    if (path.isEmpty()) return;
    std::optional<ParameterFile> parameters;
    QString parametersPath;
    const engine::OutputFormat format = engine::FormatOfPath(path.toStdString());
    for (const ExportFormat& f : ExportFormats(*result_)) {
        if (f.format == format && f.needsParameters) {
            parametersPath = ChooseParameters(parameters);
            if (parametersPath.isEmpty()) return;
        }
    }
    QString error;
    QStringList warnings;
    if (!WriteResults(*result_, path, &error, &warnings, parameters, parametersPath)) {
        QMessageBox::warning(
            this, windowTitle(),
            QString::fromStdString(CannotWrite(path.toStdString(), error.toStdString())));
    } else if (!warnings.isEmpty()) {
        QMessageBox::information(this, windowTitle(), warnings.join(QLatin1Char('\n')));
    }
}

void ResultsWindow::CopyRows() {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : table_->selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty() && table_->currentIndex().isValid())
        rows.push_back(table_->currentIndex().row());
    if (rows.empty()) return;
    // The headings first, as a spreadsheet takes a pasted table.
    QApplication::clipboard()->setText(model_->HeaderAsText() + model_->RowsAsText(rows));
}

bool ResultsWindow::MayPrint() {
    const std::size_t points = result_->rows.size();
    if (points == 0) {
        QMessageBox::information(this, windowTitle(), QtMessage(Tr("No points to print.")));
        return false;
    }
    const engine::Geodesy& g = result_->job.geodesy;
    if (g.zone || g.k0 != 1 || g.falseEasting != engine::Geodesy().falseEasting) {
        // The report has room for one central meridian (two for a zone change), as the print
        // button's report and quorvel-batch's, and none for another scale or false easting.
        QMessageBox::information(
            this, windowTitle(),
            QtMessage(g.zone ? Tr("Each point was computed in its own zone, and the report has "
                                  "room for one central meridian: it cannot be printed. Export "
                                  "the CSV instead.")
                             : Tr("The report has no room for k0 and the false easting: it "
                                  "cannot be printed. Export the CSV instead.")));
        return false;
    }
    // About 50 rows a page; No unless the user says otherwise.
    return points <= 5000 ||
           QMessageBox::question(
               this, windowTitle(),
               QtMessage(Tr("The report has {0} points, about {1} pages. Print it?"),
                         {QString::number(points), QString::number(points / 50 + 1)}),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void ResultsWindow::PrintReport() {
    if (!MayPrint()) return;
    Report report;
    try {
        report = ReportOf(*result_);
    } catch (const engine::IoError& e) {
        QMessageBox::warning(this, windowTitle(),
                             QtMessage(Tr("Cannot read back the report's points: {0}"),
                                       {QString::fromStdString(e.what())}));
        return;
    }

    // Qt's print dialog: the printer, the pages, or a PDF file (the default without a printer).
    QPrinter printer(QPrinter::HighResolution);
    const QString kind =
        QString::fromUtf8(ReportKindName(result_->job.mode).data(),
                          static_cast<qsizetype>(ReportKindName(result_->job.mode).size()));
    printer.setDocName(QStringLiteral("Quorvel ") + kind);
    if (QPrinterInfo::defaultPrinter().isNull()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(
            QDir(ReportPdfFolder())
                .filePath(ReportPdfBaseName(result_->job.mode, QDateTime::currentDateTime()) +
                          QStringLiteral(".pdf")));
    }
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("打印报告"));
    if (dialog.exec() != QDialog::Accepted) return;
    Print(report, printer);
}

void ResultsWindow::Print(const Report& report, QPrinter& printer) {
    int pages = 0, sent = 0;
    for (const PlacedLine& line : LayoutReportOn(report, printer))
        pages = std::max(pages, line.page + 1);
    const QPageRanges ranges = printer.pageRanges();
    for (int page = 1; page <= pages; ++page) sent += ranges.isEmpty() || ranges.contains(page);
    if (sent == 0) {
        QMessageBox::information(this, windowTitle(),
                                 QtMessage(Tr("The report has {0} pages: none of the pages chosen "
                                              "is among them, nothing was printed."),
                                           {QString::number(pages)}));
        return;
    }
    QString error;
    if (!PaintReport(report, printer, &error)) {
        QMessageBox::warning(this, windowTitle(),
                             QtMessage(Tr("Cannot print the report: {0}"), {error}));
        return;
    }
    const bool pdf = printer.outputFormat() == QPrinter::PdfFormat;
    QMessageBox::information(
        this, windowTitle(),
        pdf ? QtMessage(Tr("{0} of the report's {1} pages were saved as a PDF file:\n{2}"),
                        {QString::number(sent), QString::number(pages),
                         QDir::toNativeSeparators(printer.outputFileName())})
            : QtMessage(Tr("{0} of the report's {1} pages were sent to the printer {2}."),
                        {QString::number(sent), QString::number(pages), printer.printerName()}));
}

}  // namespace quorvel
