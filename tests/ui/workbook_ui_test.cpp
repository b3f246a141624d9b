// Excel workbooks in the window: 从文件计算 and 坐标转换 offer a workbook's sheets, show the
// sheet's rows by their numbers, and run the sheet chosen as quorvel-batch --sheet does.
#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "ui/file_compute_dialog.h"
#include "ui/file_job.h"
#include "ui/point_file_dialog.h"
#include "ui/point_preview.h"

using namespace quorvel;

namespace {

const QString kPoints = QStringLiteral(QUORVEL_FIXTURES_DIR "/workbooks/points.xlsx");

// The line numbers the preview shows, below its row of role boxes.
QStringList ShownLines(const QTableWidget& preview) {
    QStringList lines;
    for (int row = 1; row < preview.rowCount(); ++row)
        lines << (preview.item(row, 0) != nullptr ? preview.item(row, 0)->text() : QString());
    return lines;
}

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
    return items;
}

}  // namespace

class WorkbookUiTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear(); }

    void fileComputeOffersTheSheetsAndShowsTheirRows() {
        FileComputeDialog dialog(kPoints, QStringLiteral("默认"));
        QComboBox* sheets = dialog.sheetBox();
        QVERIFY(!sheets->isHidden());
        QCOMPARE(Items(*sheets), (QStringList{QStringLiteral("点位"), QStringLiteral("Second")}));
        QCOMPARE(sheets->currentIndex(), 0);
        // A workbook carries its own encoding.
        QVERIFY(!dialog.encodingBox()->isEnabled());
        QCOMPARE(dialog.choice().encoding, QString());
        // The first sheet's rows by their numbers: row 1 is seen as the header, which names the
        // columns, 3 and 5 are empty.
        QVERIFY(dialog.choice().header);
        QCOMPARE(ShownLines(*dialog.preview()),
                 (QStringList{QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("6")}));
        QCOMPARE(dialog.preview()->horizontalHeaderItem(4)->text(), QStringLiteral("备注"));
        sheets->setCurrentIndex(1);
        QCOMPARE(ShownLines(*dialog.preview()),
                 (QStringList{QStringLiteral("3"), QStringLiteral("7")}));
        QCOMPARE(dialog.choice().sheet, QStringLiteral("Second"));
        QVERIFY(!dialog.choice().header);
        // Asked again with that choice, the dialog comes back on the same sheet.
        FileComputeDialog again(kPoints, QStringLiteral("默认"));
        again.SetChoice(dialog.choice());
        QCOMPARE(again.sheetBox()->currentText(), QStringLiteral("Second"));
    }

    void textFilesHaveNoSheet() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.csv"));
        std::ofstream(path.toStdString()) << "P1,116.3045,30.3030\n";
        FileComputeDialog dialog(path, QStringLiteral("默认"));
        QVERIFY(dialog.sheetBox()->isHidden());
        QVERIFY(dialog.encodingBox()->isEnabled());
        QCOMPARE(dialog.choice().sheet, QString());
        PointFileDialog columns(path, QStringLiteral("转换文件"), {"X1", "Y1"},
                                {QStringLiteral("X"), QStringLiteral("Y")}, QStringLiteral("带入"));
        QVERIFY(columns.sheetBox()->isHidden());
        QCOMPARE(columns.choice().sheet, QString());
        QVERIFY(PointFileFilters().contains(QStringLiteral("Excel 工作簿 (*.xlsx *.xls)")));
    }

    void theSheetChosenIsRunAsTheCommandLineSays() {
        FileComputeDialog dialog(kPoints, QStringLiteral("默认"));
        dialog.sheetBox()->setCurrentIndex(1);
        FileComputeChoice choice = dialog.choice();
        choice.lo = QStringLiteral("117");
        choice.header = false;
        engine::Job job;
        QVERIFY(!MakeJob(choice, {}, job));
        FileJob run(job, kPoints.toStdString());
        run.SetSheet(choice.sheet.toStdString());
        run.Run();
        const std::unique_ptr<FileJobResult> r = run.TakeResult();
        QCOMPARE(QString::fromStdString(r->error), QString());
        QCOMPARE(r->rows.size(), std::size_t{2});
        QCOMPARE(r->counts.rejected, std::size_t{0});
        const std::string command = r->commandLine;
        QVERIFY2(command.find(" --sheet Second -- ") != std::string::npos, command.c_str());
        // The first sheet, by default, has its header rejected as quorvel-batch rejects it.
        FileJob first(job, kPoints.toStdString());
        first.Run();
        const std::unique_ptr<FileJobResult> f = first.TakeResult();
        QCOMPARE(f->counts.rejected, std::size_t{1});
        QCOMPARE(f->diagnostics.at(0).line, std::uint64_t{1});
        QVERIFY(f->commandLine.find("--sheet") == std::string::npos);
    }

    void unreadableWorkbooksAndCancelSayWhy() {
        engine::Job job;
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        QVERIFY(!MakeJob(choice, {}, job));
        FileJob damaged(job, QUORVEL_FIXTURES_DIR "/workbooks/damaged.xlsx");
        damaged.Run();
        const std::string why = damaged.TakeResult()->error;
        QVERIFY2(why.find("not an Excel workbook") != std::string::npos, why.c_str());
        FileJob unknown(job, kPoints.toStdString());
        unknown.SetSheet("Third");
        unknown.Run();
        const std::string none = unknown.TakeResult()->error;
        QVERIFY2(none.find("has no sheet \"Third\"") != std::string::npos, none.c_str());
        FileJob cancelled(job, kPoints.toStdString());
        cancelled.Run([](std::uint64_t, std::uint64_t) { return false; });
        QVERIFY(cancelled.TakeResult()->cancelled);
    }

    void pointFilesOfTransformsOfferTheSheets() {
        PointFileDialog dialog(kPoints, QStringLiteral("转换文件"), {"X1", "Y1"},
                               {QStringLiteral("X"), QStringLiteral("Y")}, QStringLiteral("带入"));
        QVERIFY(!dialog.sheetBox()->isHidden());
        QVERIFY(!dialog.encodingBox()->isEnabled());
        QVERIFY(dialog.headerBox()->isChecked());
        // The second sheet has no header: the guess follows the sheet.
        dialog.sheetBox()->setCurrentIndex(1);
        QVERIFY(!dialog.headerBox()->isChecked());
        QCOMPARE(ShownLines(*dialog.preview()),
                 (QStringList{QStringLiteral("3"), QStringLiteral("7")}));
        const PointFileChoice c = dialog.choice();
        QCOMPARE(c.sheet, QStringLiteral("Second"));
        QCOMPARE(c.encoding, QString());
        const std::vector<std::string> args = ReadingArguments(c);
        const auto at = std::find(args.begin(), args.end(), "--sheet");
        QVERIFY(at != args.end() && at + 1 != args.end() && *(at + 1) == "Second");
    }
};

QTEST_MAIN(WorkbookUiTest)
#include "workbook_ui_test.moc"
