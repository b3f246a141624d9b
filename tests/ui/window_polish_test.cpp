// What a new user of the window meets first: the results window's title, summary, table (its
// alignment, copy and keyboard focus) and map band, and the main window on a low screen.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <stdexcept>

#include "offscreen_messages.h"
#include "ui/app_window.h"
#include "ui/file_compute_dialog.h"
#include "ui/main_window.h"
#include "ui/point_map.h"
#include "ui/results_model.h"
#include "ui/results_table.h"
#include "ui/results_window.h"

using namespace quorvel;

namespace {

engine::Job JobFor(const FileComputeChoice& choice) {
    engine::Job job;
    if (const std::optional<engine::JobRefusal> r = MakeJob(choice, {}, job))
        throw std::logic_error(r->words);
    return job;
}

std::shared_ptr<FileJobResult> Run(const FileComputeChoice& choice, const QString& path) {
    FileJob job(JobFor(choice), path.toStdString());
    job.Run();
    return job.TakeResult();
}

FileComputeChoice Forward(bool header = false) {
    FileComputeChoice choice;
    choice.lo = QStringLiteral("117");
    choice.header = header;
    return choice;
}

// The widget as painted in its own pixels, whatever the screen's scale.
QImage Shot(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    widget.render(&image);
    return image;
}

bool HasLatinPunctuation(const QString& text) {
    return text.contains(u',') || text.contains(u';') || text.contains(u':');
}

}  // namespace

class WindowPolishTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString WriteFile(const QString& name, const std::string& text) {
        const QString path = dir_.filePath(name);
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        return path;
    }

  private slots:
    void initTestCase() {
        quorvel::testing::SilenceOffscreenSizeHints();
        QStandardPaths::setTestModeEnabled(true);
        PrepareApplication(QUORVEL_LOCALE_DIR);
    }

    // Each part of the summary in Chinese punctuation, whichever parts a run has: rejected
    // lines, eastings with the zone number taken off, warnings, the distortion line.
    void summaryPunctuatesChineseAsChinese() {
        const QString path = WriteFile(QStringLiteral("s.csv"),
                                       "name,L,B,H\n"
                                       "P1,116.3045,30.3030,50\n"
                                       "P2,x,30,50\n"
                                       "P3,117.6000,30.3030,\n");
        FileComputeChoice choice = Forward(true);
        std::shared_ptr<FileJobResult> result = Run(choice, path);
        QCOMPARE(result->WarningCount(), std::size_t{1});
        result->counts.zoneNumbersTakenOff = 2;
        const QString summary = SummaryText(*result);
        QCOMPARE(summary,
                 QStringLiteral("2 点，1 行被拒绝，2 个横坐标去掉了中央子午线的带号，1 条警告"));
        ResultsWindow window(result);
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("summary"))->text(), summary);

        choice.distortion = true;
        const QString measured = SummaryText(*Run(choice, path));
        QVERIFY2(measured.contains(u'\n') && measured.contains(QStringLiteral("长度变形")),
                 qPrintable(measured));
        QVERIFY2(!HasLatinPunctuation(measured), qPrintable(measured));
    }

    // Windows of one file are told apart by a number; a closed one's number is taken again,
    // and another file or a transform of the same file starts at the plain title.
    void windowsOfOneFileCarryTitlesOfTheirOwn() {
        const QString path = WriteFile(QStringLiteral("同名.csv"), "P1,116.3045,30.3030\n");
        std::shared_ptr<FileJobResult> result = Run(Forward(), path);
        const QString plain = QStringLiteral("计算结果 — 同名.csv");
        auto first = std::make_unique<ResultsWindow>(result);
        auto second = std::make_unique<ResultsWindow>(Run(Forward(), path));
        auto third = std::make_unique<ResultsWindow>(result);
        QCOMPARE(first->windowTitle(), plain);
        QCOMPARE(second->windowTitle(), plain + QStringLiteral(" (2)"));
        QCOMPARE(third->windowTitle(), plain + QStringLiteral(" (3)"));

        second->setAttribute(Qt::WA_DeleteOnClose, false);
        second->show();
        QVERIFY(second->close());
        ResultsWindow again(result);
        QCOMPARE(again.windowTitle(), plain + QStringLiteral(" (2)"));
        third.reset();
        ResultsWindow fourth(result);
        QCOMPARE(fourth.windowTitle(), plain + QStringLiteral(" (3)"));

        ResultsWindow other(Run(Forward(), WriteFile(QStringLiteral("别的.csv"), "A,116,30\n")));
        QCOMPARE(other.windowTitle(), QStringLiteral("计算结果 — 别的.csv"));
    }

    // Names, codes and notes to the left, numbers to the right: by the header's name for a
    // name or code column even when its codes are digits, else by every cell of the first and
    // last hundred rows (a text in the last row counts).
    void textLeftNumbersRight() {
        std::string text = "name,L,B,code,H,note,late\n";
        for (int i = 0; i < 250; ++i) {
            text += "P" + std::to_string(i) + ",116.3045,30.3030," + std::to_string(100 + i) +
                    ",12.5," + (i == 3 ? "钢钉" : "") + "," + (i == 249 ? "n/a" : "7") + "\n";
        }
        std::shared_ptr<FileJobResult> result =
            Run(Forward(true), WriteFile(QStringLiteral("a.csv"), text));
        ResultsModel model(result);
        QCOMPARE(model.columnCount(), 9);
        const auto left = [&](int column) {
            const int a = model.index(1, column).data(Qt::TextAlignmentRole).toInt();
            return (a & Qt::AlignHorizontal_Mask) == Qt::AlignLeft;
        };
        // name L B X Y | code H note late
        const bool expected[] = {true, false, false, false, false, true, false, true, true};
        for (int c = 0; c < 9; ++c) {
            QVERIFY2(left(c) == expected[c],
                     qPrintable(model.headerData(c, Qt::Horizontal).toString()));
            QCOMPARE(model.IsTextColumn(c), expected[c]);
        }

        // Without a header a column of digits is a number; one text among them makes it text.
        std::shared_ptr<FileJobResult> bare =
            Run(Forward(), WriteFile(QStringLiteral("b.csv"), "A,116,30,17,x1\nB,116,30,18,19\n"));
        ResultsModel unnamed(bare);
        QVERIFY(!unnamed.IsTextColumn(5));
        QVERIFY(unnamed.IsTextColumn(6));
    }

    // 复制 puts the headings as the table shows them above the rows, a field holding a tab
    // quoted as in the rows.
    void copyPutsTheHeadingsFirst() {
        std::shared_ptr<FileJobResult> result =
            Run(Forward(true), WriteFile(QStringLiteral("c.csv"),
                                         "name,L,B,\"note\tx\"\nP1,116.3045,30.3030,a\n"
                                         "P2,116.3045,30.3030,b\nP3,116.3045,30.3030,c\n"));
        ResultsWindow window(result);
        window.table()->selectRow(2);
        window.table()->selectionModel()->select(
            window.model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::clipboard()->clear();
        window.CopyRows();
        const QStringList lines = QApplication::clipboard()->text().split(u'\n');
        QCOMPARE(lines.size(), 4);  // the headings, two rows, the end of the last line
        QCOMPARE(lines[0], QStringLiteral("点名\t经度 L\t纬度 B\t纵坐标 X\t横坐标 Y\t\"note\tx\""));
        QVERIFY(lines[1].startsWith(QStringLiteral("P1\t")));
        QVERIFY(lines[2].startsWith(QStringLiteral("P3\t")));
        QCOMPARE(lines[3], QString());
    }

    // Tab and Shift+Tab leave the table and come back, its current row kept; while it has the
    // focus a frame in the highlight colour shows it, gone when the focus is elsewhere.
    void tabLeavesTheTableWhichShowsItsFocus() {
        std::shared_ptr<FileJobResult> result =
            Run(Forward(), WriteFile(QStringLiteral("t.csv"),
                                     "P1,116.3045,30.3030\nP2,116.3045,30.3030\nbad,x,1\n"));
        ResultsWindow window(result);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTableView* table = window.table();
        table->setFocus();
        QTRY_VERIFY(table->hasFocus());
        table->selectRow(1);
        const QColor highlight = table->palette().color(QPalette::Active, QPalette::Highlight);
        const auto edge = [&] {
            const QImage shot = Shot(*table->viewport());
            return QColor(shot.pixel(0, shot.height() - 1));
        };
        QCOMPARE(edge(), highlight);

        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY2(!table->hasFocus(),
                 qPrintable(QApplication::focusWidget()->metaObject()->className()));
        QCOMPARE(table->currentIndex().row(), 1);
        QVERIFY(edge() != highlight);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QVERIFY(table->hasFocus());
        QTest::keyClick(table, Qt::Key_Backtab);
        QVERIFY(!table->hasFocus());
        QVERIFY(qobject_cast<ResultsTable*>(QApplication::focusWidget()));  // the rejected lines
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(table->hasFocus());
        QCOMPARE(table->currentIndex().row(), 1);
    }

    // A zone change's band runs north-south through the whole view: shaded above and below
    // the points on both sides of the meridian, white beyond its eastern edge.
    void zoneBandRunsNorthSouth() {
        FileComputeChoice choice;
        choice.mode = Computation::Zone;
        choice.lo = choice.ls = QStringLiteral("117");
        std::shared_ptr<FileJobResult> result =
            Run(choice, WriteFile(QStringLiteral("z.csv"), "A,3380000,500000\nB,3380000,150000\n"));
        PointMap map;
        map.resize(420, 420);
        map.SetData(BuildMapData(*result));
        const QImage shot = Shot(map);
        const QColor band(235, 245, 235);
        const QPointF meridian = map.PixelOf(0);
        const QPointF west = map.PixelOf(1);  // 350 km west: outside
        const int x = static_cast<int>(meridian.x()) + 12;
        const int top = 32, bottom = map.height() - 32;
        QVERIFY(top < west.y() - 50 && bottom > west.y() + 50);
        for (int y : {top, bottom, static_cast<int>(west.y()) - 20}) {
            QCOMPARE(QColor(shot.pixel(x, y)), band);
            QCOMPARE(QColor(shot.pixel(static_cast<int>(meridian.x()) - 40, y)), band);
            QCOMPARE(QColor(shot.pixel(static_cast<int>(west.x()) + 10, y)), QColor(Qt::white));
        }
        // Zoomed out, the band ends nowhere in sight and is narrower than the view.
        map.ZoomAt(meridian, 1 / 16.0);
        const QImage far = Shot(map);
        for (int y : {top, bottom}) {
            QCOMPARE(QColor(far.pixel(static_cast<int>(map.PixelOf(0).x()) + 2, y)), band);
            QCOMPARE(QColor(far.pixel(32, y)), QColor(Qt::white));
        }
    }

    // On a low screen (1366 x 768 at 125 %) the main window shows its whole layout, the four
    // buttons below the results, without a scroll bar, within the screen: the layout rises into
    // the band above the title as far as the window lacks height, and not at all where the
    // screen has room for it (1366 x 768 at 100 %).
    void mainWindowShowsItsButtonsWithoutScrolling() {
        AppWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MainWindow* calculator = window.calculator();
        auto* scroll = calculator->findChild<QScrollArea*>(QStringLiteral("LayoutScroll"));
        QTRY_VERIFY(calculator->MissingRoom().height() <= 0);
        QVERIFY(!scroll->verticalScrollBar()->isVisible());
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        const QRect seen(QPoint(0, 0), scroll->viewport()->size());
        for (const char* name : {"Command1", "Command2", "Command3", "Command4", "Text14"}) {
            auto* w = calculator->findChild<QWidget*>(QString::fromLatin1(name));
            const QRect at(w->mapTo(scroll->viewport(), QPoint(0, 0)), w->size());
            QVERIFY2(seen.contains(at), name);
        }
        const QRect available = window.screen()->availableGeometry();
        QVERIFY(available.contains(window.frameGeometry()));

        // The full layout where it fits: the title's top edge 4440 twips down, as always.
        const int full = calculator->pxY(10215 + 240);
        auto* title = calculator->findChild<QLabel*>(QStringLiteral("Label1"));
        if (available.height() >= full + window.menuBar()->height() + 40) {
            QCOMPARE(calculator->lift(), 0);
            QCOMPARE(title->y(), calculator->pxY(4440));
        } else {
            QVERIFY(calculator->lift() > 0);
            QCOMPARE(title->y(), calculator->pxY(4440 - calculator->lift()));
            QVERIFY(calculator->promptBand().height() >= calculator->pxY(960) - 1);
        }
        // Resizing moves nothing: the bars then reach what no longer fits.
        const int lift = calculator->lift();
        window.resize(400, 300);
        QCoreApplication::processEvents();
        QCOMPARE(calculator->lift(), lift);
        QCOMPARE(title->y(), calculator->pxY(4440 - lift));
        QVERIFY(scroll->verticalScrollBar()->isVisible());
    }
};

QTEST_MAIN(WindowPolishTest)
#include "window_polish_test.moc"
