// The window's file computation and settings: the stored CSV against quorvel-batch's own bytes,
// the results model, and the rules of the two dialogs.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <fstream>
#include <sstream>

#include "engine/run.h"
#include "ui/app_window.h"
#include "ui/file_compute_dialog.h"
#include "ui/main_window.h"
#include "ui/point_map.h"
#include "ui/results_model.h"
#include "ui/results_window.h"
#include "ui/settings_dialog.h"

using namespace quorvel;

namespace {

QtMessageHandler previousHandler = nullptr;

// Closes the next message box with Enter and keeps its text.
QString* AnswerNextMessageBox() {
    auto* text = new QString;
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            QTest::keyClick(box, Qt::Key_Return);
            timer->deleteLater();
        }
    });
    timer->start(5);
    return text;
}

std::string ReadAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class AppTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString WriteFile(const char* name, const std::string& text) {
        const QString path = dir_.filePath(QString::fromUtf8(name));
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        return path;
    }

    // The file through the window's job, and the bytes quorvel-batch writes with -o for the
    // command the results window shows.
    std::pair<std::shared_ptr<FileJobResult>, std::string> RunBoth(const FileComputeChoice& choice,
                                                                   const QString& path,
                                                                   const GeodesySettings& g = {}) {
        FileJob job(JobFor(choice, ProjectionOf(g)), path.toStdString());
        job.Run();
        std::shared_ptr<FileJobResult> result = job.TakeResult();
        std::vector<std::string> cli = engine::JobArguments(result->job);
        const QString out = dir_.filePath(QStringLiteral("cli.csv"));
        cli.insert(cli.end(), {"-o", out.toStdString(), "--", path.toStdString()});
        std::vector<std::string_view> views(cli.begin(), cli.end());
        std::ostringstream sink;
        engine::RunCommand(views, {0, 1, sink, sink, false, {}});
        return {result, ReadAll(out)};
    }

    // What the window exports for a result.
    std::string Exported(const FileJobResult& result) {
        const QString path = dir_.filePath(QStringLiteral("exported.csv"));
        QString error;
        if (!ResultsWindow::WriteCsv(result, path, &error)) return error.toStdString();
        return ReadAll(path);
    }

  private slots:
    void initTestCase() {
        // Offscreen windows cannot pass size hints on; every dialog would say so.
        previousHandler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (message != u"This plugin does not support propagateSizeHints()")
                    previousHandler(type, context, message);
            });
        QStandardPaths::setTestModeEnabled(true);
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
        PrepareApplication(QUORVEL_LOCALE_DIR);
    }

    void fileJobWritesWhatTheCommandLineWrites() {
        const QString path = WriteFile("水塔.csv",
                                       "name,L,B\n"
                                       "P1,116.3045,30.3030\n"
                                       "\"Hill, north\",117.2930,30.3030\n"
                                       "# comment\n"
                                       "far,129.0,0\n"
                                       "全角,１１６．３０４５,３０．３０３０\n"
                                       "bad,116.3O45,30\n");
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        choice.header = true;
        auto [result, expected] = RunBoth(choice, path);
        QVERIFY(result && result->error.empty() && !result->cancelled);
        QCOMPARE(Exported(*result), expected);
        QCOMPARE(result->counts.points, std::size_t{4});
        // The rejected line, and the warnings apart from it.
        std::vector<engine::Diagnostic> rejected;
        std::copy_if(result->diagnostics.begin(), result->diagnostics.end(),
                     std::back_inserter(rejected),
                     [](const engine::Diagnostic& d) { return !d.IsWarning(); });
        QCOMPARE(rejected.size(), std::size_t{1});
        QCOMPARE(rejected[0].line, std::uint64_t{7});
        QCOMPARE(rejected[0].text, std::string("116.3O45"));
        QCOMPARE(result->WarningCount(), std::size_t{2});  // 12° from Lo: 84 mm off
        // Their reasons in the window's language, whatever the engine's locale.
        const RejectedModel reasons(result);
        QCOMPARE(reasons.index(0, 1).data().toString(),
                 QStringLiteral("警告：传统级数在此与精确的横轴墨卡托投影相差 84 毫米，超过 1 厘米"
                                "（精确算法准确到 5 纳米）"));
        QCOMPARE(reasons.index(1, 1).data().toString(), QStringLiteral("L：\"116.3O45\" 不是数值"));
        // The map: L and B in degrees, the point 12° east of Lo outside the band.
        const MapData map = BuildMapData(*result);
        QCOMPARE(map.x.size(), std::size_t{4});
        QCOMPARE(map.x[0], 116.5125);
        QCOMPARE(map.outside, (std::vector<std::uint8_t>{0, 0, 1, 0}));

        // The report is the one quorvel-batch's --report writes for the run.
        {
            const QString txt = dir_.filePath(QStringLiteral("report.txt"));
            std::vector<std::string> args = engine::JobArguments(result->job);
            args.insert(args.end(),
                        {"--report", txt.toStdString(), "-o", "/dev/null", path.toStdString()});
            const std::vector<std::string_view> views(args.begin(), args.end());
            std::ostringstream sink;
            engine::RunCommand(views, {0, 1, sink, sink, false, {}});
            QCOMPARE(RenderReportText(ReportOf(*result)), ReadAll(txt));
        }

        // The export is those bytes, which --bom begins with the byte order mark; the model
        // shows the header without it.
        QVERIFY(expected.starts_with("\xEF\xBB\xBF"));
        const QString exported = dir_.filePath(QStringLiteral("out.csv"));
        QString error;
        QVERIFY(ResultsWindow::WriteCsv(*result, exported, &error));
        QCOMPARE(ReadAll(exported), expected);
        QCOMPARE(result->rows.Columns(), (std::vector<std::string>{"name", "L", "B", "X", "Y"}));

        // The results window: titled by the file, the counts, the map once its points are read.
        {
            ResultsWindow window(result);
            QCOMPARE(window.windowTitle(), QStringLiteral("计算结果 — 水塔.csv"));
            const QString summary = window.findChild<QLabel*>(QStringLiteral("summary"))->text();
            QVERIFY2(summary.startsWith(QStringLiteral("4 点, 1 行被拒绝，")), qPrintable(summary));
            QCOMPARE(window.table()->model()->rowCount(), 4);
            QTRY_VERIFY(window.map()->HasData());
            // Ctrl+C in the table copies the selected rows, not the current cell alone.
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            window.table()->selectRow(1);
            window.table()->selectionModel()->select(
                window.table()->model()->index(2, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QTest::keyClick(window.table(), Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QApplication::clipboard()->text(), window.model()->RowsAsText({1, 2}));
        }

        // A file saved by a Chinese Windows program, read as quorvel-batch reads it.
        const QString gb = WriteFile("gb.csv", "\xCB\xAE\xCB\xFE,116.3045,30.3030\n");
        choice.header = false;
        choice.gb18030 = true;
        auto [decoded, decodedCli] = RunBoth(choice, gb);
        QCOMPARE(Exported(*decoded), decodedCli);
        QCOMPARE(decoded->rows.Cell(0, 0), std::string("水塔"));

        // A zone change: the band's edges bracket the meridian; a point 350 km west is outside.
        const QString zone = WriteFile("zone.csv",
                                       "A,3380000,500000\n"
                                       "B,3380000,150000\n");
        choice = {};
        choice.mode = Computation::Zone;
        choice.lo = QStringLiteral("117");
        choice.ls = QStringLiteral("117");
        auto [moved, movedCli] = RunBoth(choice, zone);
        const MapData zoneMap = BuildMapData(*moved);
        QCOMPARE(zoneMap.outside, (std::vector<std::uint8_t>{0, 1}));
        QVERIFY(zoneMap.westEdge.front().first < 500000);
        QVERIFY(zoneMap.eastEdge.front().first > 500000);
    }

    // Across 180°: −179° is computed and drawn 1° east of the meridian, inside the band.
    void longitudesAcrossTheAntimeridianLieBesideTheMeridian() {
        const QString path = WriteFile("180.csv", "W,179.3,30\nE,-179,30\n");
        FileComputeChoice choice;
        choice.lo = QStringLiteral("180");
        auto [result, expected] = RunBoth(choice, path);
        QCOMPARE(result->counts.points, std::size_t{2});
        const MapData map = BuildMapData(*result);
        QCOMPARE(map.x.size(), std::size_t{2});
        QCOMPARE(map.x[0], 179.5);
        QCOMPARE(map.x[1], 181.0);
        QCOMPARE(map.outside, (std::vector<std::uint8_t>{0, 0}));
    }

    // Zones, the zone number in front of Y and the ellipsoid reach quorvel-batch's engine as its
    // own options.
    void zonesAndEllipsoidsGoToTheEngine() {
        const QString path = WriteFile("zones.csv", "P1,116.3045,30.3030\nP2,121.1,31.2\n");
        FileComputeChoice choice;
        choice.zoneWidth = 6;
        choice.zonePrefix = true;
        GeodesySettings cgcs;
        cgcs.ellipsoid = "cgcs2000";
        cgcs.method = Method::Exact;
        auto [result, expected] = RunBoth(choice, path, cgcs);
        QVERIFY2(result->error.empty(), result->error.c_str());
        QCOMPARE(Exported(*result), expected);
        QCOMPARE(result->counts.points, std::size_t{2});
        // Two zones: no one meridian on the map.
        QVERIFY(std::isnan(BuildMapData(*result).meridian));
        // The report holds the engine's points under a heading that names the ellipsoid.
        FileComputeChoice plain;
        plain.lo = QStringLiteral("117");
        FileJob labelled(JobFor(plain, {}), path.toStdString(), "CGCS2000, 精确");
        labelled.Run();
        const Report report = ReportOf(*labelled.TakeResult());
        QCOMPARE(report.lines.at(2).items.at(0).text, std::string("椭球与算法 : CGCS2000, 精确"));
        QCOMPARE(report.lines.size(), std::size_t{6 + 1 + 2});

        // In the dialog the zone number comes with the zones.
        FileComputeDialog dialog(path, QStringLiteral("CGCS2000, 精确"));
        auto* prefix = dialog.findChild<QCheckBox*>();
        auto* zones = dialog.findChildren<QComboBox*>().at(1);
        QVERIFY(!prefix->isEnabled());
        zones->setCurrentIndex(2);
        QVERIFY(prefix->isEnabled() && !dialog.loEdit()->isEnabled());
    }

    void cancelledOrUnreadableJobsSayWhy() {
        const QString path = WriteFile("c.csv", "P1,116.3045,30.3030\n");
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        FileJob cancelled(JobFor(choice, {}), path.toStdString());
        cancelled.Run([](std::uint64_t, std::uint64_t) { return false; });
        QVERIFY(cancelled.TakeResult()->cancelled);

        FileJob missing(JobFor(choice, {}),
                        dir_.filePath(QStringLiteral("none.csv")).toStdString());
        missing.Run();
        QVERIFY(!missing.TakeResult()->error.empty());
        // A meridian quorvel-batch refuses is refused here too.
        choice.lo = QStringLiteral("abc");
        QVERIFY_THROWS_EXCEPTION(engine::UsageError, JobFor(choice, {}));
    }

    void progressShowsAtOnceAndCancelLeavesNoResults() {
        std::string many;
        for (int i = 0; i < 200000; ++i) many += "P" + std::to_string(i) + ",116.3045,30.3030\n";
        const QString path = WriteFile("many.csv", many);
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        AppWindow window;
        window.show();
        window.StartJob(JobFor(choice, {}), path);
        auto* progress = window.findChild<QProgressDialog*>();
        QVERIFY(progress && progress->isVisible());
        progress->findChild<QPushButton*>()->click();
        QTRY_VERIFY(!window.Computing());
        QVERIFY(window.findChildren<ResultsWindow*>().isEmpty());
        // Left alone, the same file ends in a results window.
        window.StartJob(JobFor(choice, {}), path);
        QTRY_VERIFY_WITH_TIMEOUT(!window.Computing(), 30000);
        QCOMPARE(window.findChildren<ResultsWindow*>().size(), 1);
        QCOMPARE(window.findChild<ResultsWindow*>()->table()->model()->rowCount(), 200000);
    }

    void modelShowsFieldsAndCopiesForASpreadsheet() {
        const QString path = WriteFile("quoted.csv",
                                       "\"a\tb\",116.3045,30.3030,note\n"
                                       "\"say \"\"hi\"\"\",116.3045,30.3030,extra\n"
                                       "bad,abc,30\n");
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        FileJob job(JobFor(choice, {}), path.toStdString());
        job.Run();
        std::shared_ptr<FileJobResult> result = job.TakeResult();
        ResultsModel model(result);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), 6);
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("X"));
        QCOMPARE(model.index(1, 5).data().toString(), QStringLiteral("extra"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("say \"hi\""));
        QCOMPARE(model.index(0, 4).data().toString(), QStringLiteral("453203.4506"));
        const QString text = model.RowsAsText({0, 1});
        QVERIFY2(text.startsWith(QStringLiteral("\"a\tb\"\t116.3045\t30.3030\t3376626.6403\t")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\n\"say \"\"hi\"\"\"\t116.3045\t")));
        RejectedModel rejected(result);
        QCOMPARE(rejected.index(0, 0).data().toULongLong(), 3ull);
        QCOMPARE(SummaryText(*result), QStringLiteral("2 点, 1 行被拒绝"));
        result->counts.zoneNumbersTakenOff = 2;
        QCOMPARE(SummaryText(*result),
                 QStringLiteral("2 点, 1 行被拒绝，2 个横坐标去掉了中央子午线的带号"));
    }

    void settingsDialogRules() {
        SettingsDialog dialog{GeodesySettings{}};
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.ellipsoidBox());
        const QStringList names{"克拉索夫斯基 (北京1954)", "IAG-75 (西安1980)", "CGCS2000",
                                "WGS 84", "自定义 a 与 1/f"};
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(dialog.ellipsoidBox()->itemText(i), names[i]);
        QCOMPARE(dialog.methodBox()->currentText(), QStringLiteral("传统级数"));

        // Off Krassovsky the classic series cannot be chosen.
        auto* methods = qobject_cast<QStandardItemModel*>(dialog.methodBox()->model());
        QTest::keyClick(dialog.ellipsoidBox(), Qt::Key_Down);
        QTest::keyClick(dialog.ellipsoidBox(), Qt::Key_Down);
        QCOMPARE(dialog.settings().ellipsoid, std::string("cgcs2000"));
        QCOMPARE(dialog.settings().method, Method::Exact);
        QVERIFY(!methods->item(0)->isEnabled());
        QCOMPARE(dialog.settings().a, 6378137.0);
        dialog.ellipsoidBox()->setCurrentIndex(0);
        QVERIFY(methods->item(0)->isEnabled());

        // A custom ellipsoid out of sense keeps the dialog open; Enter accepts a sound one.
        dialog.ellipsoidBox()->setCurrentIndex(4);
        QVERIFY(dialog.aEdit()->isEnabled());
        dialog.aEdit()->setText(QStringLiteral("6378.137"));
        QString* message = AnswerNextMessageBox();
        QTest::keyClick(dialog.ellipsoidBox(), Qt::Key_Return);
        QVERIFY2(message->contains(QStringLiteral("长半轴")), qPrintable(*message));
        QVERIFY(dialog.isVisible());
        delete message;
        dialog.aEdit()->setText(QStringLiteral("6378137"));
        dialog.rfEdit()->setText(QStringLiteral("298.257"));
        QTest::keyClick(dialog.ellipsoidBox(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.settings().Describe(), QStringLiteral("a = 6378137, 1/f = 298.257, 精确"));
    }

    void settingsAreKeptAndTheTitleSaysSo() {
        QCOMPARE(WindowTitleFor({}), QStringLiteral("Quorvel"));
        GeodesySettings cgcs;
        cgcs.ellipsoid = "cgcs2000";
        cgcs.method = Method::Exact;
        QCOMPARE(WindowTitleFor(cgcs), QStringLiteral("Quorvel — CGCS2000, 精确"));

        QSettings s(dir_.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        cgcs.a = 6378137;
        cgcs.rf = 298.257222101;
        cgcs.Save(s);
        QCOMPARE(GeodesySettings::Load(s), cgcs);
        // The classic series never stand with another ellipsoid, even from an edited file.
        s.setValue(QStringLiteral("geodesy/method"), QStringLiteral("classic"));
        QCOMPARE(GeodesySettings::Load(s).method, Method::Exact);
        s.setValue(QStringLiteral("geodesy/ellipsoid"), QStringLiteral("custom"));
        s.setValue(QStringLiteral("geodesy/a"), 12);
        QVERIFY(GeodesySettings::Load(s).IsDefault());
    }

    void previewReadsTheFileAsTheEngineWill() {
        const QString gb =
            WriteFile("gbp.csv", "# survey\n\xCB\xAE\xCB\xFE,116.3045,30.3030,12.5\n");
        std::vector<PreviewLine> lines = PreviewFile(gb, false);
        QCOMPARE(lines.size(), std::size_t{1});
        QCOMPARE(lines[0].line, std::size_t{2});
        QVERIFY2(lines[0].problem.contains(QStringLiteral("GB18030")),
                 qPrintable(lines[0].problem));
        QVERIFY(LooksLikeGb18030(gb));
        QVERIFY(!LooksLikeGb18030(WriteFile("u8.csv", "水塔,116.3045,30.3030\n")));
        QVERIFY(!LooksLikeGb18030(WriteFile("bad.csv", "P\x80\xFF,116.3045,30.3030\n")));
        lines = PreviewFile(gb, true);
        QCOMPARE(lines[0].fields, (std::vector<QString>{"水塔", "116.3045", "30.3030", "12.5"}));
        QVERIFY(lines[0].problem.isEmpty());
    }

    void fileDialogChecksMeridiansAsThePromptsDo() {
        const QString path = WriteFile("d.csv", "name,X,Y\nP1,3380000,612345.678\n");
        FileComputeDialog dialog(path, QStringLiteral("默认"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.typeBox());
        QTest::keyClick(dialog.typeBox(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog.loEdit());
        QVERIFY(!dialog.lsEdit()->isEnabled());

        for (const char* bad : {"", "abc", "400"}) {
            dialog.loEdit()->setText(QString::fromUtf8(bad));
            QString* message = AnswerNextMessageBox();
            QTest::keyClick(dialog.loEdit(), Qt::Key_Return);
            QVERIFY2(message->startsWith(QStringLiteral("中央子午线 Lo：")), qPrintable(*message));
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.focusWidget(), dialog.loEdit());
            delete message;
        }
        dialog.loEdit()->setText(QStringLiteral("117"));
        QTest::keyClick(dialog.loEdit(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const FileComputeChoice c = dialog.choice();
        QVERIFY(c.mode == Computation::Inverse);
        QVERIFY(c.header);  // guessed from the words in the first line
        QCOMPARE(engine::JobArguments(JobFor(c, {})),
                 (std::vector<std::string>{"inverse", "--lo=117", "--header", "--bom"}));
    }

    void menuBarStandsAboveTheLayout() {
        AppWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Quorvel"));
        // The batches compute with the setting; the default is the classic series.
        QVERIFY(!window.calculator()->state().Projection.projection);
        GeodesySettings cgcs;
        cgcs.ellipsoid = "cgcs2000";
        cgcs.method = Method::Exact;
        window.SetGeodesy(cgcs);
        QCOMPARE(window.windowTitle(), QStringLiteral("Quorvel — CGCS2000, 精确"));
        const auto& chosen = window.calculator()->state().Projection;
        QVERIFY(chosen.projection && chosen.projection->method() == Method::Exact);
        QCOMPARE(chosen.projection->ellipsoid().a, 6378137.0);
        QCOMPARE(chosen.label, std::string("CGCS2000, 精确"));
        window.SetGeodesy({});
        QVERIFY(!window.calculator()->state().Projection.projection);

        // 关于 names the version of this build, its licence and the libraries.
        QString* about = AnswerNextMessageBox();
        window.ShowAbout();
        for (const char* part :
             {"Quorvel " QUORVEL_VERSION "<", "MIT 许可证", "Qt ", "GeographicLib "})
            QVERIFY2(about->contains(QString::fromUtf8(part)), qPrintable(*about));
        delete about;
        QStringList menus;
        for (QAction* a : window.menuBar()->actions()) menus << a->text();
        QCOMPARE(menus, (QStringList{"文件(&F)", "设置(&S)", "帮助(&H)"}));
        QStringList shortcuts;
        for (QAction* menu : window.menuBar()->actions())
            for (QAction* a : menu->menu()->actions())
                if (!a->shortcut().isEmpty()) shortcuts << a->shortcut().toString();
        QCOMPARE(shortcuts, (QStringList{"Ctrl+O", "Ctrl+Q", "F1"}));
        // The documented window starts right below the menu bar, whole.
        MainWindow* calculator = window.calculator();
        QCOMPARE(calculator->mapTo(&window, QPoint(0, 0)).y(), window.menuBar()->height());
        QVERIFY(calculator->height() >= calculator->pxY(10215));

        // A file dropped on the window opens 从文件计算 with it.
        const QString path = WriteFile("dropped.csv", "P1,116.3045,30.3030\n");
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &drop);
        QString opened;
        QTimer::singleShot(0, [&opened] {
            QTRY_VERIFY(qobject_cast<FileComputeDialog*>(QApplication::activeModalWidget()));
            auto* dialog = QApplication::activeModalWidget();
            opened = dialog->findChild<QLabel*>()->text();
            dialog->close();
        });
        QTRY_VERIFY(opened.endsWith(QStringLiteral("dropped.csv")));
    }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
