// 工具 › 坐标反算… and 面积计算…: legs and areas as the points are typed, the geodesic side with a
// central meridian against quorvel-batch distance's engine, refusals shown, the laptop screen.
#include "ui/measure_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/measure/measure_texts.h"
#include "ui/app_window.h"

using namespace quorvel;

namespace {

QString Cell(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text() : QString();
}

}  // namespace

class MeasureDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
    }

    // Typed by keyboard: two points give a 3-4-5 leg; a third equal to the second gives a leg
    // without azimuth, said below the table.
    void legsFollowTheTypedPoints() {
        MeasureDialog d(GeodesySettings{}, MeasureDialog::Tab::Distance);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(QApplication::focusWidget(), d.legPoints());
        QTest::keyClicks(d.legPoints(), QStringLiteral("A 3378000 39500000"));
        QTest::keyClick(d.legPoints(), Qt::Key_Return);
        QTest::keyClicks(d.legPoints(), QStringLiteral("B 3378003 39500004"));
        QCOMPARE(d.legs()->rowCount(), 1);
        QCOMPARE(d.legs()->columnCount(), 4);
        QCOMPARE(Cell(d.legs(), 0, 2), QStringLiteral("5.0000"));
        QCOMPARE(Cell(d.legs(), 0, 3), QStringLiteral("53.074837"));
        QVERIFY(d.message()->text().isEmpty());
        QTest::keyClick(d.legPoints(), Qt::Key_Return);
        QTest::keyClicks(d.legPoints(), QStringLiteral("C 3378003 39500004"));
        QCOMPARE(d.legs()->rowCount(), 2);
        QCOMPARE(Cell(d.legs(), 1, 2), QStringLiteral("0.0000"));
        QCOMPARE(Cell(d.legs(), 1, 3), QString());
        QVERIFY(d.message()->text().contains(QStringLiteral("\"C\"")));
        // Pairs: A-B only, C left over and said so.
        d.pairs()->setChecked(true);
        QCOMPARE(d.legs()->rowCount(), 1);
        QVERIFY(d.message()->text().contains(QStringLiteral("\"C\"")));
        // A line that gives no point: no legs, its line named.
        d.legPoints()->setPlainText(QStringLiteral("A 1 2\nB x 3\n"));
        QCOMPARE(d.legs()->rowCount(), 0);
        QVERIFY(d.message()->text().contains(QStringLiteral("2")));
    }

    // With a central meridian the geodesic columns are those of quorvel-batch distance --lo.
    void geodesicSideWithAMeridian() {
        GeodesySettings settings;
        settings.ellipsoid = "cgcs2000";
        settings.method = Method::Exact;
        MeasureDialog d(settings, MeasureDialog::Tab::Distance);
        const QString text = QStringLiteral("K1,3378000,39500000\nK2,3381234.568,39512345.679\n");
        d.meridian()->setText(QStringLiteral("117"));
        d.legPoints()->setPlainText(text);
        QCOMPARE(d.legs()->columnCount(), 8);
        QCOMPARE(d.legs()->rowCount(), 1);
        engine::MeasureJob m;
        m.projected = true;
        m.job.mode = Computation::Inverse;
        m.job.geodesy = ProjectionOf(settings);
        std::vector<engine::Diagnostic> warnings;
        QVERIFY(!engine::SetMeridians(m.job, std::string("117"), std::nullopt, warnings));
        engine::StringSource in(text.toStdString());
        const engine::MeasurePoints read = engine::ReadMeasurePoints(m, in);
        const std::vector<std::string> cells =
            engine::LegCells(m, read.points, engine::MeasureLegs(m, read.points).legs[0]);
        QCOMPARE(cells.size(), std::size_t{8});
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(Cell(d.legs(), 0, c).toStdString(), cells[static_cast<std::size_t>(c)]);
        }
        // The plane and the geodesic differ by the projection's scale: millimetres here.
        QVERIFY(std::fabs(Cell(d.legs(), 0, 6).toDouble()) < 20);
        // A meridian that does not read: said, nothing computed.
        d.meridian()->setText(QStringLiteral("abc"));
        QCOMPARE(d.legs()->rowCount(), 0);
        QVERIFY(!d.message()->text().isEmpty());
    }

    void areaAndItsRefusals() {
        MeasureDialog d(GeodesySettings{}, MeasureDialog::Tab::Area);
        QCOMPARE(d.tabs()->currentIndex(), 1);
        d.areaPoints()->setPlainText(QStringLiteral("A,0,0\nB,0,30\nC,40,30\nD,40,0\nA,0,0\n"));
        QVERIFY(d.areaResult()->text().contains(QStringLiteral("1200.0000")));
        QVERIFY(d.areaResult()->text().contains(QStringLiteral("1.8000")));
        QVERIFY(d.message()->text().isEmpty());
        // With a central meridian the ellipsoid's area follows on a line of its own.
        d.areaPoints()->setPlainText(QStringLiteral(
            "A,3378000,39500000\nB,3378000,39500030\nC,3378040,39500030\nD,3378040,39500000\n"));
        d.meridian()->setText(QStringLiteral("117"));
        QCOMPARE(d.areaResult()->text().count(QLatin1Char('\n')), 1);
        QVERIFY(d.areaResult()
                    ->text()
                    .section(QLatin1Char('\n'), 1)
                    .contains(QStringLiteral("1200.0")));
        d.meridian()->clear();
        d.areaPoints()->setPlainText(QStringLiteral("A,0,0\nB,10,10\nC,10,0\nD,0,10\n"));
        QVERIFY(d.areaResult()->text().isEmpty());
        QVERIFY(d.message()->text().contains(QStringLiteral("X 5.0000")));
        d.areaPoints()->setPlainText(QStringLiteral("A,0,0\nB,1,1\n"));
        QVERIFY(d.areaResult()->text().isEmpty());
        QVERIFY(!d.message()->text().isEmpty());
    }

    // A file saved by Chinese Windows programs (GB18030) reads into the current tab.
    void loadsAFileIntoTheCurrentTab() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("points.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "\xB5\xE3"
            "1,0,0\n\xB5\xE3"
            "2,3,4\n");  // 点1, 点2
        file.close();
        MeasureDialog d(GeodesySettings{}, MeasureDialog::Tab::Distance);
        QVERIFY(d.LoadFile(path));
        QCOMPARE(d.legs()->rowCount(), 1);
        QCOMPARE(Cell(d.legs(), 0, 0), QStringLiteral("点1"));
        QCOMPARE(Cell(d.legs(), 0, 2), QStringLiteral("5.0000"));
        QVERIFY(d.areaPoints()->toPlainText().isEmpty());
        QVERIFY(!d.LoadFile(dir.filePath(QStringLiteral("missing.csv"))));
        QVERIFY(!d.message()->text().isEmpty());
        QCOMPARE(d.legs()->rowCount(), 1);  // what was there stays
    }

    // A workbook's first sheet comes in as its rows, the numbers as stored, not as its zip.
    void loadsAWorkbooksFirstSheet() {
        MeasureDialog d(GeodesySettings{}, MeasureDialog::Tab::Area);
        QVERIFY(d.LoadFile(QStringLiteral(QUORVEL_FIXTURES_DIR "/workbooks/points.xlsx")));
        const QStringList lines = d.areaPoints()->toPlainText().split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 4);
        QVERIFY(lines.at(0).contains(QStringLiteral("点名")));
        QVERIFY(lines.at(1).startsWith(QStringLiteral("\"007\"")));
        QVERIFY(!lines.at(0).startsWith(QStringLiteral("PK")));
        QVERIFY(!d.LoadFile(QStringLiteral(QUORVEL_FIXTURES_DIR "/workbooks/damaged.xlsx")));
        QVERIFY(!d.message()->text().isEmpty());
    }

    // The menu's two entries open the dialog at their tab.
    void toolsMenuOpensEachTab() {
        AppWindow w;
        const QList<QAction*> actions = w.menuBar()->findChildren<QAction*>();
        for (const auto& [caption, tab] : {std::pair{"坐标反算…", 0}, std::pair{"面积计算…", 1}}) {
            QAction* action = nullptr;
            for (QAction* a : actions) {
                if (a->text() == QString::fromUtf8(caption)) action = a;
            }
            QVERIFY2(action, caption);
            action->trigger();
            const QList<MeasureDialog*> open = w.findChildren<MeasureDialog*>();
            QVERIFY(!open.isEmpty());
            QCOMPARE(open.last()->tabs()->currentIndex(), tab);
            open.last()->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void fitsALaptopScreen() {
        MeasureDialog d(GeodesySettings{}, MeasureDialog::Tab::Distance);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(d.minimumSizeHint().width() <= 1093);
        QVERIFY(d.minimumSizeHint().height() <= 614);
        QVERIFY(d.frameGeometry().height() <= 614);
    }
};

QTEST_MAIN(MeasureDialogTest)
#include "measure_dialog_test.moc"
