#include "ui/results_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "core/atomic_file.h"
#include "engine/run.h"
#include "print/qt_messages.h"
#include "print/report_printer.h"
#include "ui/point_map.h"
#include "ui/results_model.h"

namespace quorvel {
namespace {

QString FileNameOf(const std::string& path) {
    return QFileInfo(QFile::decodeName(path.c_str())).fileName();
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

// Where a saved report went, or why printing failed; silent when it printed.
void ShowPrintOutcome(QWidget* parent, const PrintResult& result) {
    if (result.outcome == PrintOutcome::SavedAsPdf) {
        QMessageBox::information(parent, parent->windowTitle(), result.message);
    } else if (result.outcome == PrintOutcome::Failed) {
        QMessageBox::warning(parent, parent->windowTitle(), result.message);
    }
}

}  // namespace

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
    return QString::fromStdString(text);
}

ResultsWindow::ResultsWindow(std::shared_ptr<const FileJobResult> result, QWidget* parent)
    : QMainWindow(parent),
      result_(std::move(result)),
      model_(new ResultsModel(result_, this)),
      table_(new QTableView(this)),
      map_(new PointMap(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("计算结果 — ") + FileNameOf(result_->path));

    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Fixed row heights keep scrolling through a million rows smooth.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    FitColumns(table_);

    auto* summary = new QLabel(SummaryText(*result_), this);
    summary->setObjectName(QStringLiteral("summary"));
    QFont bold = summary->font();
    bold.setBold(true);
    summary->setFont(bold);
    auto* command = new QLabel(
        QStringLiteral("同样的计算：") + QString::fromStdString(result_->commandLine), this);
    command->setTextInteractionFlags(Qt::TextSelectableByMouse);
    command->setWordWrap(true);

    auto* rejected = new QTableView(this);
    rejected->setObjectName(QStringLiteral("rejected"));
    rejected->setModel(new RejectedModel(result_, rejected));
    rejected->verticalHeader()->setVisible(false);
    rejected->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    rejected->horizontalHeader()->setStretchLastSection(true);
    rejected->setColumnWidth(0, 80);
    rejected->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rejected->setVisible(!result_->diagnostics.empty());

    auto* sideBySide = new QSplitter(Qt::Horizontal, this);
    sideBySide->addWidget(table_);
    sideBySide->addWidget(map_);
    sideBySide->setSizes({600, 380});
    auto* stacked = new QSplitter(Qt::Vertical, this);
    stacked->addWidget(sideBySide);
    stacked->addWidget(rejected);
    stacked->setStretchFactor(0, 4);
    stacked->setStretchFactor(1, 1);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(summary);
    layout->addWidget(command);
    layout->addWidget(stacked, 1);
    setCentralWidget(central);

    AddMenuAndTools();

    // The table first: the map's points are read from the rows in the background. The window
    // waits for the thread before its map goes, and a call queued for a deleted map is dropped.
    mapper_ = std::thread([result = result_, map = map_] {
        MapData data = BuildMapData(*result);
        QMetaObject::invokeMethod(
            map, [map, data = std::move(data)]() mutable { map->SetData(std::move(data)); },
            Qt::QueuedConnection);
    });

    resize(1000, 680);
    table_->setFocus();
    if (model_->rowCount() > 0) table_->selectRow(0);
}

void ResultsWindow::AddMenuAndTools() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    QAction* exportCsv =
        menu->addAction(QStringLiteral("导出 CSV…"), this, &ResultsWindow::ExportCsv);
    exportCsv->setShortcut(QKeySequence::Save);
    QAction* copy = menu->addAction(QStringLiteral("复制"), this, &ResultsWindow::CopyRows);
    copy->setShortcut(QKeySequence::Copy);
    // The table would otherwise take Ctrl+C for its current cell alone.
    copy->setShortcutContext(Qt::WindowShortcut);
    QAction* print = menu->addAction(QStringLiteral("打印…"), this, &ResultsWindow::PrintReport);
    print->setShortcut(QKeySequence::Print);
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
        AtomicFile file(QFile::encodeName(path).toStdString());
        engine::FdSink sink(file.fd(), path.toStdString());
        engine::OutputBuffer out(sink);
        // The mark makes Excel read the names as UTF-8.
        engine::Job job = result.job;
        job.bom = true;
        engine::CsvSink csv(job, out);
        result.rows.Replay(csv);
        file.Commit();
    } catch (const IoError& e) {
        *error = e.code() != 0 ? QString::fromLocal8Bit(std::strerror(e.code()))
                               : QString::fromStdString(e.what());
        return false;
    }
    return true;
}

void ResultsWindow::ExportCsv() {
    const QFileInfo input(QFile::decodeName(result_->path.c_str()));
    QFileDialog dialog(this, QStringLiteral("导出 CSV"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("CSV 文件 (*.csv)"), QStringLiteral("所有文件 (*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setDirectory(input.absolutePath());
    dialog.selectFile(input.completeBaseName() + QStringLiteral("-结果.csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();
    if (QFileInfo(path).canonicalFilePath() == input.canonicalFilePath()) {
        QMessageBox::warning(
            this, windowTitle(),
            QtMessage(Tr("Cannot write the results over the input file {0}"), {path}));
        return;
    }
    QString error;
    if (!WriteCsv(*result_, path, &error)) {
        QMessageBox::warning(this, windowTitle(),
                             QtMessage(Tr("cannot write {0}: {1}"), {path, error}));
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
    QApplication::clipboard()->setText(model_->RowsAsText(rows));
}

void ResultsWindow::PrintReport() {
    const std::size_t points = result_->rows.size();
    if (points == 0) {
        QMessageBox::information(this, windowTitle(), QtMessage(Tr("No points to print.")));
        return;
    }
    // About 50 rows a page.
    if (points > 5000 &&
        QMessageBox::question(this, windowTitle(),
                              QtMessage(Tr("The report has {0} points, about {1} pages. Print it?"),
                                        {QString::number(points),
                                         QString::number(points / 50 + 1)})) != QMessageBox::Yes) {
        return;
    }
    if (result_->job.geodesy.zone) {
        // The report has room for one central meridian (two for a zone change), as the print
        // button's report and quorvel-batch's; points each in its own zone have more.
        QMessageBox::information(this, windowTitle(),
                                 QtMessage(Tr("Each point was computed in its own zone, and the "
                                              "report has room for one central meridian: it "
                                              "cannot be printed. Export the CSV instead.")));
        return;
    }
    Report report;
    try {
        report = ReportOf(*result_);
    } catch (const engine::IoError& e) {
        QMessageBox::warning(this, windowTitle(),
                             QtMessage(Tr("Cannot read back the report's points: {0}"),
                                       {QString::fromStdString(e.what())}));
        return;
    }
    ShowPrintOutcome(this, quorvel::PrintReport(report, result_->job.mode));
}

}  // namespace quorvel
