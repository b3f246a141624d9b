// 工具 › 图幅号…: a point or a number typed and Enter, the sheet with its corners and neighbours,
// the corners' X, Y and a file's sheets against quorvel-batch sheet's, refusals, the keyboard.
#include "ui/sheet_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "cli/command_line.h"
#include "cli/sheet_command.h"

using namespace quorvel;

namespace {

std::string ReadAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// quorvel-batch sheet in process; its output is in the file -o names.
int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "sheet");
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::ostringstream sink;
    return cli::RunSheetCommand(views, {0, 1, sink, sink, false, {}});
}

QString Cell(QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text() : QString();
}

void Type(SheetDialog& d, const QString& text) {
    if (!d.isVisible()) d.show();  // Enter reaches the default button of a dialog shown
    d.input()->setFocus();
    d.input()->setText(text);  // keyClicks types Latin-1 only, not the full-width comma
    QTest::keyClick(d.input(), Qt::Key_Return);
}

}  // namespace

class SheetDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

  private slots:
    // By hand: 114°33′45″, 39°22′30″ lies on the south-west corner of 1:10,000 sheet row 96 −
    // 12150″/150″ = 15, column 2025″/225″ + 1 = 10; old J-50-14-(50).
    void pointAndEnterShowTheSheetCornersAndNeighbours() {
        SheetDialog d{GeodesySettings{}};
        d.scaleBox()->setCurrentIndex(static_cast<int>(SheetScale::K10));
        Type(d, QStringLiteral("114.3345，39.2230"));
        QCOMPARE(d.numberLabel()->text(), QStringLiteral("J50G015010"));
        QVERIFY(d.problemLabel()->text().isEmpty());
        QCOMPARE(Cell(d.cornersTable(), 0, 0), QStringLiteral("114.3345"));  // 西南 L
        QCOMPARE(Cell(d.cornersTable(), 2, 1), QStringLiteral("39.2500"));   // 东北 B
        QVERIFY(Cell(d.cornersTable(), 0, 2).isEmpty());                     // no projection
        QCOMPARE(Cell(d.neighboursTable(), 1, 1), QStringLiteral("J50G015010"));
        QCOMPARE(Cell(d.neighboursTable(), 0, 1), QStringLiteral("J50G014010"));  // north
        QCOMPARE(Cell(d.neighboursTable(), 2, 0), QStringLiteral("J50G016009"));  // south-west

        d.oldBox()->setChecked(true);
        QTest::keyClick(d.input(), Qt::Key_Return);
        QCOMPARE(d.numberLabel()->text(), QStringLiteral("J-50-14-(50)"));
        QCOMPARE(Cell(d.neighboursTable(), 1, 2), QStringLiteral("J-50-14-(51)"));  // east
    }

    // A number in either form sets the scale it is at; one that names no sheet is refused with
    // nothing of the last sheet left showing.
    void numbersTypedAndRefusals() {
        SheetDialog d{GeodesySettings{}};
        Type(d, QStringLiteral("J-50-5-B-4"));
        QCOMPARE(d.numberLabel()->text(), QStringLiteral("J50F002020"));
        QCOMPARE(d.scaleBox()->currentIndex(), static_cast<int>(SheetScale::K25));

        Type(d, QStringLiteral("J-50-144-(64)-h"));
        QVERIFY(d.numberLabel()->text().isEmpty());
        QVERIFY(d.problemLabel()->text().contains(QStringLiteral("J-50-144-(64)-h")));
        QVERIFY(Cell(d.cornersTable(), 0, 0).isEmpty());

        Type(d, QStringLiteral("117, -0.0001"));  // south of the equator
        QVERIFY(d.numberLabel()->text().isEmpty());
        QVERIFY(!d.problemLabel()->text().isEmpty());

        d.projectionBox()->setCurrentIndex(3);
        d.meridianEdit()->setText(QStringLiteral("abc"));
        Type(d, QStringLiteral("J50D001005"));
        QVERIFY(d.numberLabel()->text().isEmpty());
        QVERIFY(d.problemLabel()->text().contains(QStringLiteral("abc")));
    }

    // X, Y of the corners on the window's settings are quorvel-batch's --corners.
    void cornersOnAZoneAreTheCommandsCorners() {
        SheetDialog d{GeodesySettings{}};
        d.projectionBox()->setCurrentIndex(2);  // 6° zones
        Type(d, QStringLiteral("J50D001005"));
        QCOMPARE(d.numberLabel()->text(), QStringLiteral("J50D001005（20 带）"));
        const QString out = dir_.filePath(QStringLiteral("corners.csv"));
        QCOMPARE(Run({"--corners", "--zone", "6", "-o", out.toStdString(), "J50D001005"}), 0);
        const QStringList row =
            QString::fromStdString(ReadAll(out)).split(QStringLiteral("\r\n"))[1].split(',');
        QCOMPARE(Cell(d.cornersTable(), 0, 2), row[5]);   // X_sw
        QCOMPARE(Cell(d.cornersTable(), 1, 3), row[8]);   // Y_se
        QCOMPARE(Cell(d.cornersTable(), 3, 2), row[11]);  // X_nw
    }

    // 文件…: the file's sheets as quorvel-batch sheet --bom --neighbours writes them.
    void fileIsNumberedAsTheCommandDoes() {
        const QString input = dir_.filePath(QStringLiteral("points.csv"));
        std::ofstream(input.toStdString())
            << "P1,116.2825,39.5430,桥\nP2,117,-1\nP3,114.3345,39.2230\n";
        SheetDialog d{GeodesySettings{}};
        d.oldBox()->setChecked(true);
        const QString byWindow = dir_.filePath(QStringLiteral("window.csv"));
        QString said;
        QVERIFY2(d.NumberFile(input, byWindow, said), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral(":2:")), qPrintable(said));
        const QString byCli = dir_.filePath(QStringLiteral("cli.csv"));
        QCOMPARE(Run({"--scale", "1:50000", "--old", "--neighbours", "--bom", "--quiet", "-o",
                      byCli.toStdString(), input.toStdString()}),
                 1);
        QCOMPARE(ReadAll(byWindow), ReadAll(byCli));
        // Never over the input.
        QVERIFY(!d.NumberFile(input, input, said));
        QVERIFY(ReadAll(input).starts_with("P1,116.2825"));
    }

    // A GB18030 file and a workbook's first sheet are read as the command reads them.
    void fileInGb18030OrAWorkbook() {
        const QString gb = dir_.filePath(QStringLiteral("gb.csv"));
        std::ofstream(gb.toStdString()) << "\xB5\xE3"
                                           "1,116.2825,39.5430\n";  // 点1
        const QString workbook = QStringLiteral(QUORVEL_FIXTURES_DIR "/workbooks/points.xlsx");
        SheetDialog d{GeodesySettings{}};
        for (const auto& [input, reading] :
             {std::pair{gb, std::vector<std::string>{"--encoding", "gb18030"}},
              std::pair{workbook, std::vector<std::string>{}}}) {
            const QString byWindow = dir_.filePath(QStringLiteral("window.csv"));
            const QString byCli = dir_.filePath(QStringLiteral("cli.csv"));
            QString said;
            QVERIFY2(d.NumberFile(input, byWindow, said), qPrintable(said));
            std::vector<std::string> args = {"--scale", "1:50000", "--neighbours",     "--bom",
                                             "--quiet", "-o",      byCli.toStdString()};
            args.insert(args.end(), reading.begin(), reading.end());
            args.push_back(input.toStdString());
            Run(args);
            QCOMPARE(ReadAll(byWindow), ReadAll(byCli));
            QVERIFY(ReadAll(byWindow).find(input == gb ? "点1,116.2825,39.5430,J50E001010"
                                                       : ",J50E") != std::string::npos);
        }
    }

    // The input has the focus, Tab walks the settings in order, and the dialog fits a laptop's
    // 1366 × 768 at 125 % (1093 × 614).
    void keyboardAndSize() {
        SheetDialog d{GeodesySettings{}};
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(QApplication::focusWidget(), d.input());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), d.scaleBox());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), d.oldBox());
        // Every label's Alt key reaches its field, none is shown as a bare "&".
        for (const QLabel* label : d.findChildren<QLabel*>()) {
            if (label->text().contains('&')) QVERIFY2(label->buddy(), qPrintable(label->text()));
        }
        QTest::keyClick(&d, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), d.scaleBox());
        QVERIFY(d.frameGeometry().width() <= 1093);
        QVERIFY(d.frameGeometry().height() <= 614);
    }
};

QTEST_MAIN(SheetDialogTest)
#include "sheet_dialog_test.moc"
