// The window's file computation and settings: the stored CSV against quorvel-batch's own bytes,
// the results model, and the rules of the two dialogs.
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "cli/command.h"
#include "engine/run/run.h"
#include "engine/writers/gis_output.h"
#include "offscreen_messages.h"
#include "ui/app_window.h"
#include "ui/export_formats.h"
#include "ui/file_compute_dialog.h"
#include "ui/main_window.h"
#include "ui/point_map.h"
#include "ui/results_model.h"
#include "ui/results_window.h"
#include "ui/settings_dialog.h"

using namespace quorvel;

namespace {

// The job of a choice the test holds sound; a refusal fails the test.
engine::Job JobFor(const FileComputeChoice& choice, const engine::Geodesy& projection) {
    engine::Job job;
    if (const std::optional<engine::JobRefusal> r = MakeJob(choice, projection, job)) {
        throw std::logic_error(r->words);
    }
    return job;
}

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

// Answers the file dialogs that open next with `steps`, one each in order; a message box on the
// way is closed with Enter and its text added to `said`. Answers until the timer returned goes.
std::unique_ptr<QTimer> AnswerFileDialogs(std::vector<std::function<void(QFileDialog*)>> steps,
                                          QStringList* said) {
    auto timer = std::make_unique<QTimer>();
    auto next = std::make_shared<std::size_t>(0);
    QObject::connect(timer.get(), &QTimer::timeout, [steps, next, said] {
        QWidget* w = QApplication::activeModalWidget();
        if (w == nullptr || w->property("answered").toBool()) return;
        w->setProperty("answered", true);
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            *said << box->text();
            QTest::keyClick(box, Qt::Key_Return);
        } else if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && *next < steps.size()) {
            steps[(*next)++](dialog);
        } else {
            w->close();
        }
    });
    timer->start(5);
    return timer;
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
        cli::RunCommand(views, {0, 1, sink, sink, false, {}});
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
        quorvel::testing::SilenceOffscreenSizeHints();
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
        QCOMPARE(reasons.index(1, 1).data().toString(),
                 QStringLiteral("L：\"116.3O45\" 不是数值：第 6 个字符“O”"));
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
            cli::RunCommand(views, {0, 1, sink, sink, false, {}});
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
            QVERIFY2(summary.startsWith(QStringLiteral("4 点，1 行被拒绝，")), qPrintable(summary));
            QCOMPARE(window.table()->model()->rowCount(), 4);
            QTRY_VERIFY(window.map()->HasData());
            // Ctrl+C in the table copies the headings and the selected rows, not the current
            // cell alone.
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            window.table()->selectRow(1);
            window.table()->selectionModel()->select(
                window.table()->model()->index(2, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QTest::keyClick(window.table(), Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QApplication::clipboard()->text(),
                     window.model()->HeaderAsText() + window.model()->RowsAsText({1, 2}));
        }

        // A file saved by a Chinese Windows program, read as quorvel-batch reads it.
        const QString gb = WriteFile("gb.csv", "\xCB\xAE\xCB\xFE,116.3045,30.3030\n");
        choice.header = false;
        choice.encoding = QStringLiteral("gb18030");
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
    // 导出… writes the format the file's ending names: the CASS file that quorvel-batch
    // --format dat writes for the same job, a GeoPackage with its coordinate system; KML from
    // Beijing 1954 is refused with the reason.
    void exportWritesTheFormatOfTheFileEnding() {
        const QString path = WriteFile("cass.csv",
                                       "name,L,B,编码,H\n"
                                       "P1,116.3045,30.3030,JD,12.5\n"
                                       "山顶,117.2930,30.3030,,\n");
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        choice.header = true;
        FileJob job(JobFor(choice, ProjectionOf({})), path.toStdString());
        job.Run();
        const std::shared_ptr<FileJobResult> result = job.TakeResult();
        QVERIFY(result && result->error.empty());

        std::vector<std::string> cli = engine::JobArguments(result->job);
        std::erase(cli, "--bom");
        const QString dat = dir_.filePath(QStringLiteral("cli.dat"));
        cli.insert(cli.end(), {"--format=dat", "-o", dat.toStdString(), "--", path.toStdString()});
        const std::vector<std::string_view> views(cli.begin(), cli.end());
        std::ostringstream sink;
        QCOMPARE(cli::RunCommand(views, {0, 1, sink, sink, false, {}}), 0);
        QString error;
        QStringList warnings;
        const QString exported = dir_.filePath(QStringLiteral("导出.DAT"));
        QVERIFY2(ResultsWindow::WriteResults(*result, exported, &error, &warnings),
                 qPrintable(error));
        QCOMPARE(ReadAll(exported), ReadAll(dat));
        QVERIFY(ReadAll(dat).starts_with("P1,JD,"));

        const QString gpkg = dir_.filePath(QStringLiteral("导出.gpkg"));
        QVERIFY2(ResultsWindow::WriteResults(*result, gpkg, &error, &warnings), qPrintable(error));
        GDALAllRegister();
        GDALDatasetH ds =
            GDALOpenEx(gpkg.toUtf8().constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
        QVERIFY(ds != nullptr);
        OGRLayerH layer = GDALDatasetGetLayerByName(ds, "forward");
        QVERIFY(layer != nullptr);
        QCOMPARE(OGR_L_GetFeatureCount(layer, TRUE), GIntBig{2});
        QCOMPARE(QString(OSRGetAuthorityCode(OGR_L_GetSpatialRef(layer), nullptr)),
                 QStringLiteral("2436"));  // Beijing 1954 / 3-degree Gauss-Kruger CM 117E
        GDALClose(ds);
        QVERIFY(warnings.isEmpty());

        const QString kml = dir_.filePath(QStringLiteral("导出.kml"));
        QVERIFY(!ResultsWindow::WriteResults(*result, kml, &error, &warnings));
        QVERIFY2(error.contains(QStringLiteral("Beijing 1954")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(kml));
        // An ending of a format not written here is refused, never written as CSV.
        const QString kmz = dir_.filePath(QStringLiteral("导出.kmz"));
        QVERIFY(!ResultsWindow::WriteResults(*result, kmz, &error, &warnings));
        QVERIFY2(error.contains(QStringLiteral("kmz")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(kmz));
    }

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
        auto* zones = dialog.zoneBox();
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
        engine::Job refused;
        const std::optional<engine::JobRefusal> r = MakeJob(choice, {}, refused);
        QVERIFY(r && r->usage);
        QVERIFY2(r->words.find("\"abc\"") != std::string::npos, r->words.c_str());
    }

    // The first size is an estimate from the style; a real frame or menu bar a few pixels larger
    // (as on Windows) leaves the layout short, which brought up both scroll bars. Once shown, the
    // window takes what it lacks where the screen has room, and never the horizontal bar when
    // only the height is short.
    void windowTakesTheRoomItsLayoutLacksOnceShown() {
        AppWindow window;
        window.resize(window.size() - QSize(2, 3));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* scroll = window.findChild<QScrollArea*>(QStringLiteral("LayoutScroll"));
        QVERIFY(scroll);
        const QRect available = window.screen()->availableGeometry();
        const QSize canvas = scroll->widget()->size();
        const int menu = window.menuBar()->height();
        if (available.height() >= canvas.height() + menu && available.width() >= canvas.width()) {
            QTRY_VERIFY(window.calculator()->MissingRoom().width() <= 0 &&
                        window.calculator()->MissingRoom().height() <= 0);
            QTRY_VERIFY(!scroll->verticalScrollBar()->isVisible());
        } else {
            QTRY_VERIFY(scroll->verticalScrollBar()->isVisible());
        }
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        QVERIFY(available.contains(window.frameGeometry()));
    }

    // 取消 in the progress stops the run, leaves no results and returns to 从文件计算 with every
    // choice as it was; left alone, the same file ends in a results window.
    void cancelReturnsToTheDialogAndLeavesNoResults() {
        std::string many = "name,L,B,H\n";
        for (int i = 0; i < 300000; ++i) many += "P" + std::to_string(i) + ",116.3045,30.3030,1\n";
        const QString path = WriteFile("many.csv", many);
        AppWindow window;
        window.show();
        FileComputeChoice chosen;
        std::optional<FileComputeChoice> again;
        int step = 0;
        QTimer driver;
        connect(&driver, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<FileComputeDialog*>(QApplication::activeModalWidget());
            auto* progress = window.findChild<QProgressDialog*>();
            if (step == 0 && dialog) {
                FileComputeChoice c = dialog->choice();
                c.lo = QStringLiteral("117.3");
                c.roles[3] = ColumnRole::Drop;
                c.full = true;
                dialog->SetChoice(c);
                chosen = dialog->choice();
                QTest::keyClick(dialog->loEdit(), Qt::Key_Return);
                step = 1;
            } else if (step == 1 && progress && progress->isVisible()) {
                progress->findChild<QPushButton*>()->click();
                step = 2;
            } else if (step == 2 && dialog) {
                again = dialog->choice();
                dialog->reject();
                step = 3;
            }
        });
        driver.start(5);
        QTimer::singleShot(0, &window, [&] { window.OpenFile(path); });
        QTRY_COMPARE_WITH_TIMEOUT(step, 3, 20000);
        driver.stop();
        QVERIFY(chosen.header && chosen.full);
        QVERIFY(again && *again == chosen);
        QTRY_VERIFY(!window.Computing() && !window.findChild<QProgressDialog*>());
        QVERIFY(window.findChildren<ResultsWindow*>().isEmpty());

        window.StartJob(JobFor(chosen, {}), path);
        QTRY_COMPARE_WITH_TIMEOUT(window.findChildren<ResultsWindow*>().size(), 1, 30000);
        QCOMPARE(window.findChild<ResultsWindow*>()->table()->model()->rowCount(), 300000);
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
        // Chinese headings over the CSV's names; a field passed through without a header.
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("纵坐标 X"));
        QCOMPARE(model.headerData(5, Qt::Horizontal).toString(), QStringLiteral("字段 4"));
        QCOMPARE(result->rows.Columns().at(5), std::string("field4"));
        QCOMPARE(model.index(1, 5).data().toString(), QStringLiteral("extra"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("say \"hi\""));
        QCOMPARE(model.index(0, 4).data().toString(), QStringLiteral("453203.4506"));
        const QString text = model.RowsAsText({0, 1});
        QVERIFY2(text.startsWith(QStringLiteral("\"a\tb\"\t116.3045\t30.3030\t3376626.6403\t")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\n\"say \"\"hi\"\"\"\t116.3045\t")));
        RejectedModel rejected(result);
        QCOMPARE(rejected.index(0, 0).data().toULongLong(), 3ull);
        QCOMPARE(SummaryText(*result), QStringLiteral("2 点，1 行被拒绝"));
        result->counts.zoneNumbersTakenOff = 2;
        QCOMPARE(SummaryText(*result),
                 QStringLiteral("2 点，1 行被拒绝，2 个横坐标去掉了中央子午线的带号"));
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
        std::vector<PreviewLine> lines = PreviewFile(gb, QString());
        QCOMPARE(lines.size(), std::size_t{1});
        QCOMPARE(lines[0].line, std::size_t{2});
        QVERIFY2(lines[0].problem.contains(QStringLiteral("GB18030")),
                 qPrintable(lines[0].problem));
        QVERIFY(LooksLikeGb18030(gb));
        QVERIFY(!LooksLikeGb18030(WriteFile("u8.csv", "水塔,116.3045,30.3030\n")));
        QVERIFY(!LooksLikeGb18030(WriteFile("bad.csv", "P\x80\xFF,116.3045,30.3030\n")));
        lines = PreviewFile(gb, QStringLiteral("gb18030"));
        QCOMPARE(lines[0].fields, (std::vector<QString>{"水塔", "116.3045", "30.3030", "12.5"}));
        QVERIFY(PreviewProblem(lines[0], {0, 1, 2}, false).isEmpty());
    }

    void fileDialogChecksMeridiansAsThePromptsDo() {
        const QString path = WriteFile("d.csv", "name,X,Y\nP1,3380000,612345.678\n");
        FileComputeDialog dialog(path, QStringLiteral("默认"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.typeBox());
        QCOMPARE(dialog.typeBox()->currentIndex(), 1);  // X and Y: the inverse
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

    // The field file of the README: 点名,编码,Y,X,H in GB18030. Today's order would read 编码 as
    // a value, and "GPS" on the next line would hide the header; the names give the roles.
    // 导出 offers what the results can be written in: no CASS file or drawing for the inverse's
    // L, B; KML from Beijing 1954 asks for the parameter file (the one 坐标转换 kept offered) and
    // writes what quorvel-batch --format kml -p writes.
    void exportOffersWhatTheResultsHold() {
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        choice.mode = Computation::Inverse;
        FileJob inverse(JobFor(choice, {}),
                        WriteFile("inverse.csv", "P1,3378246.186,500000\n").toStdString());
        inverse.Run();
        const std::shared_ptr<const FileJobResult> inverseResult = inverse.TakeResult();
        QStringList filters, said;
        {
            ResultsWindow window(inverseResult);
            const auto answers = AnswerFileDialogs({[&](QFileDialog* d) {
                                                       filters = d->nameFilters();
                                                       d->reject();
                                                   }},
                                                   &said);
            window.ExportCsv();
        }
        // A name typed with an ending the results cannot be written in: refused, nothing written.
        const QString dat = dir_.filePath(QStringLiteral("inverse.dat"));
        {
            ResultsWindow window(inverseResult);
            const auto answers = AnswerFileDialogs({[&](QFileDialog* d) {
                                                       d->selectFile(dat);
                                                       static_cast<QDialog*>(d)->accept();
                                                   }},
                                                   &said);
            window.ExportCsv();
        }
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(QStringLiteral(".gpkg")), qPrintable(said[0]));
        QVERIFY(!QFileInfo::exists(dat));
        said.clear();
        const QString offered = filters.join(u' ');
        QVERIFY2(!offered.contains(QStringLiteral("*.dat")) &&
                     !offered.contains(QStringLiteral("*.dxf")),
                 qPrintable(offered));
        QVERIFY2(
            offered.contains(QStringLiteral("*.kml")) && offered.contains(QStringLiteral("*.csv")),
            qPrintable(offered));

        choice.mode = Computation::Forward;
        const QString input = WriteFile("forward.csv", "P1,116.3045,30.3030\nP2,117.1,30.4\n");
        FileJob forward(JobFor(choice, {}), input.toStdString());
        forward.Run();
        const std::shared_ptr<FileJobResult> result = forward.TakeResult();
        const QString parameters =
            WriteFile("bj54.txt",
                      "model = 7\nconvention = coordinate-frame\n"
                      "from = plane:krassovsky:117\nto = plane:cgcs2000:117\n"
                      "heights = no\ndx = -32.4\ndy = 118.7\ndz = 61.2\n"
                      "rx = 1.83\nry = -0.94\nrz = 2.71\nds = 4.27\n");
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel"))
            .setValue(QStringLiteral("datum/parameterFile"), parameters);
        const QString kml = dir_.filePath(QStringLiteral("导出.kml"));
        QStringList offeredParameters;
        {
            ResultsWindow window(result);
            const auto answers = AnswerFileDialogs({[&](QFileDialog* d) {
                                                        filters = d->nameFilters();
                                                        d->selectFile(kml);
                                                        static_cast<QDialog*>(d)->accept();
                                                    },
                                                    [&](QFileDialog* d) {
                                                        offeredParameters = d->selectedFiles();
                                                        static_cast<QDialog*>(d)->accept();
                                                    }},
                                                   &said);
            window.ExportCsv();
        }
        QVERIFY2(said.isEmpty(), qPrintable(said.join(u'\n')));
        QVERIFY(filters.join(u' ').contains(QStringLiteral("*.dat")));
        QCOMPARE(offeredParameters, QStringList{parameters});
        std::vector<std::string> cli = engine::JobArguments(result->job);
        std::erase(cli, "--bom");
        const QString byCli = dir_.filePath(QStringLiteral("cli.kml"));
        cli.insert(cli.end(), {"--format=kml", "-p", parameters.toStdString(), "-o",
                               byCli.toStdString(), "--", input.toStdString()});
        const std::vector<std::string_view> views(cli.begin(), cli.end());
        std::ostringstream sink;
        QCOMPARE(cli::RunCommand(views, {0, 1, sink, sink, false, {}}), 0);
        QVERIFY(!ReadAll(byCli).empty());
        QCOMPARE(ReadAll(kml), ReadAll(byCli));

        // Parameters for other points, or to another datum: refused in the window's words.
        const ParameterFile bj54 = engine::ReadParameters(parameters.toStdString());
        QCOMPARE(ParametersProblem(bj54, parameters, Krassovsky()), QString());
        const QString other = ParametersProblem(bj54, parameters, Xian80());
        QVERIFY2(other.contains(QStringLiteral("北京1954")) &&
                     other.contains(QStringLiteral("西安1980")),
                 qPrintable(other));
        ParameterFile toXian = bj54;
        toXian.to.ellipsoid = Xian80();
        QVERIFY(ParametersProblem(toXian, parameters, Krassovsky())
                    .contains(QStringLiteral("西安1980")));
        QCOMPARE(DatumNameInWindow(Cgcs2000()), QStringLiteral("CGCS2000"));
    }

    // 从文件计算 with 更多选项 open fits a laptop screen (the small-screen run), 计算 and 取消 in
    // sight, the focus where it was.
    void fileDialogWithMoreOptionsFitsTheScreen() {
        FileComputeDialog dialog(QStringLiteral(QUORVEL_CONTROL_POINTS), QStringLiteral("默认"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.findChild<QToolButton*>()->setChecked(true);
        QTest::qWait(20);
        const QRect room = dialog.screen()->availableGeometry();
        QVERIFY2(room.contains(dialog.frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(dialog.width()).arg(dialog.height())));
        for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
            QVERIFY(b->isVisible());
            QVERIFY(dialog.rect().contains(QRect(b->mapTo(&dialog, QPoint(0, 0)), b->size())));
        }
        QCOMPARE(dialog.focusWidget(), dialog.typeBox());
        QTest::keyClick(dialog.typeBox(), Qt::Key_Tab);
        QCOMPARE(dialog.focusWidget(), dialog.loEdit());
    }

    void headerAndRolesOfTheFieldFile() {
        const QString path = QStringLiteral(QUORVEL_CONTROL_POINTS);
        const std::vector<PreviewLine> lines = PreviewFile(path, QStringLiteral("gb18030"));
        QCOMPARE(lines.size(), std::size_t{3});
        QVERIFY(!LooksLikeHeader(lines, {0, 1, 2}, false));
        QVERIFY(LooksLikeHeader(lines, {0, 3, 2}, false));

        FileComputeDialog dialog(path, QStringLiteral("默认"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QVERIFY(dialog.screen()->availableGeometry().contains(dialog.frameGeometry()));
        QVERIFY(dialog.headerBox()->isChecked());
        QCOMPARE(dialog.encodingBox()->currentText(), QStringLiteral("GB18030"));
        QCOMPARE(dialog.columnCount(), std::size_t{5});  // the empty columns at the end go
        // X and Y columns: the inverse, which reads them, is chosen.
        QCOMPARE(dialog.typeBox()->currentIndex(), 1);
        QCOMPARE(dialog.roleBox(3)->currentText(), QStringLiteral("纵坐标 X"));
        QCOMPARE(dialog.roleBox(2)->currentText(), QStringLiteral("横坐标 Y"));
        QCOMPARE(dialog.roleBox(1)->currentText(), QStringLiteral("带入"));
        // The forward does not take X and Y for L and B: the values are left to choose, and
        // the hint says why; back to the inverse, the columns are X and Y again.
        dialog.typeBox()->setCurrentIndex(0);
        for (std::size_t i = 0; i < dialog.columnCount(); ++i) {
            QVERIFY(dialog.roleBox(i)->currentText() != QStringLiteral("经度 L"));
            QVERIFY(dialog.roleBox(i)->currentText() != QStringLiteral("纬度 B"));
        }
        QVERIFY2(dialog.findChild<QLabel*>(QStringLiteral("roles"))
                     ->text()
                     .contains(QStringLiteral("大地反算")),
                 qPrintable(dialog.findChild<QLabel*>(QStringLiteral("roles"))->text()));
        dialog.typeBox()->setCurrentIndex(2);
        QCOMPARE(dialog.roleBox(3)->currentText(), QStringLiteral("纵坐标 X1"));
        dialog.typeBox()->setCurrentIndex(1);
        QCOMPARE(dialog.roleBox(2)->currentText(), QStringLiteral("横坐标 Y"));

        // The header's names head the columns; unticked, the line is shown and refused.
        QTableWidget* preview = dialog.preview();
        QCOMPARE(preview->rowCount(), 3);  // the roles and two points
        QCOMPARE(preview->horizontalHeaderItem(1)->text(), QStringLiteral("点名"));
        dialog.headerBox()->setChecked(false);
        QCOMPARE(preview->rowCount(), 4);
        QCOMPARE(preview->horizontalHeaderItem(1)->text(), QStringLiteral("字段 1"));
        QCOMPARE(preview->item(1, preview->columnCount() - 1)->text(), QStringLiteral("不是数值"));
        dialog.headerBox()->setChecked(true);
        QCOMPARE(preview->rowCount(), 3);

        dialog.loEdit()->setText(QStringLiteral("117"));
        QCOMPARE(engine::JobArguments(JobFor(dialog.choice(), {})),
                 (std::vector<std::string>{"inverse", "--lo=117", "--fields=1,4,3",
                                           "--encoding=gb18030", "--header", "--bom"}));
        dialog.roleBox(1)->setCurrentIndex(static_cast<int>(ColumnRole::Drop));
        QCOMPARE(JobFor(dialog.choice(), {}).dropped, std::vector<std::size_t>{1});
        // Two names: refused, the focus on the roles.
        dialog.roleBox(1)->setCurrentIndex(static_cast<int>(ColumnRole::Name));
        QString* message = AnswerNextMessageBox();
        QTest::keyClick(dialog.loEdit(), Qt::Key_Return);
        QCOMPARE(*message, QStringLiteral("请为点名和两个值各选一列"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.focusWidget(), dialog.roleBox(0));
        delete message;
    }

    void rolesFromHeaderNames() {
        using R = ColumnRole;
        const auto roles = [](std::initializer_list<const char*> names, Computation mode) {
            std::vector<QString> n;
            for (const char* name : names) n.push_back(QString::fromUtf8(name));
            return RolesFromNames(n, mode);
        };
        const Computation inverse = Computation::Inverse, forward = Computation::Forward;
        QVERIFY((roles({"点名", "编码", "Y", "X", "H"}, inverse) ==
                 std::vector<R>{R::Name, R::Pass, R::Second, R::First, R::Pass}));
        QVERIFY((roles({"点号", "代码", "Y坐标", "X坐标", "高程"}, Computation::Zone) ==
                 std::vector<R>{R::Name, R::Pass, R::Second, R::First, R::Pass}));
        QVERIFY((roles({"点号", "纬度", "经度", "高程"}, forward) ==
                 std::vector<R>{R::Name, R::Second, R::First, R::Pass}));
        QVERIFY((roles({"NAME", " x ", "y", "h"}, inverse) ==
                 std::vector<R>{R::Name, R::First, R::Second, R::Pass}));
        QVERIFY((roles({"北坐标", "东坐标", "code"}, inverse) ==
                 std::vector<R>{R::First, R::Second, R::Name}));  // the first other column
        QVERIFY(!roles({"name", "X", "H"}, inverse));             // one value unnamed
        QVERIFY(!roles({"名称", "东", "北"}, inverse));
        // X and Y are no L and B, nor the reverse.
        QVERIFY(!roles({"点号", "代码", "Y坐标", "X坐标", "高程"}, forward));
        QVERIFY(!roles({"点号", "纬度", "经度"}, inverse));
    }

    // The file: 点号,代码,Y坐标,X坐标,高程 opened as 字段 1-5 with every row 不是数值.
    // Now the names give the header, the inverse and the columns of X and Y.
    void surveyorsHeaderGivesTheComputationAndItsColumns() {
        const QString path = WriteFile("survey.csv",
                                       "点号,代码,Y坐标,X坐标,高程\n"
                                       "K1,KZ,512345.678,3380000,12.5\n"
                                       "K2,GPS,512400.100,3380100,13.0\n");
        FileComputeDialog dialog(path, QStringLiteral("默认"));
        QVERIFY(dialog.headerBox()->isChecked());
        QCOMPARE(dialog.typeBox()->currentText(), QStringLiteral("大地反算"));
        QTableWidget* preview = dialog.preview();
        QCOMPARE(preview->horizontalHeaderItem(1)->text(), QStringLiteral("点号"));
        QCOMPARE(preview->rowCount(), 3);
        for (int row = 1; row < 3; ++row)
            QCOMPARE(preview->item(row, preview->columnCount() - 1)->text(), QString());
        dialog.loEdit()->setText(QStringLiteral("117"));
        QCOMPARE(engine::JobArguments(JobFor(dialog.choice(), {})),
                 (std::vector<std::string>{"inverse", "--lo=117", "--fields=1,4,3", "--header",
                                           "--bom"}));
    }

    // The choices are kept per header: another file with the same header starts with them, a
    // file with another header does not. Tab reaches every control, in the documented order.
    void choicesAreKeptPerHeaderAndTabReachesEveryControl() {
        const QString a = WriteFile("kept-a.csv", "点名,X,Y,备注\nP1,3380000,612345.678,a\n");
        const QString b = WriteFile("kept-b.csv", "点名,X,Y,备注\nQ7,3381000,512345.678,b\n");
        const QString c = WriteFile("kept-c.csv", "点名,X,Y,说明\nQ7,3381000,512345.678,b\n");
        FileComputeChoice chosen;
        {
            FileComputeDialog dialog(a, QStringLiteral("默认"));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QCOMPARE(QApplication::focusWidget(), dialog.typeBox());
            std::vector<QWidget*> chain;
            for (QWidget* w = dialog.typeBox(); chain.size() < 30;) {
                QTest::keyClick(w, Qt::Key_Tab);
                w = QApplication::focusWidget();
                if (w == dialog.typeBox()) break;
                chain.push_back(w);
            }
            const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
            std::vector<QWidget*> expected{dialog.loEdit(), dialog.zoneBox(), dialog.encodingBox(),
                                           dialog.headerBox()};
            for (std::size_t i = 0; i < dialog.columnCount(); ++i)
                expected.push_back(dialog.roleBox(i));
            expected.insert(expected.end(), {static_cast<QWidget*>(dialog.moreButton()),
                                             buttons.at(0), buttons.at(1)});
            QStringList names;
            for (QWidget* w : chain) names << QString::fromLatin1(w->metaObject()->className());
            QVERIFY2(chain == expected, qPrintable(names.join(u' ')));
            // Opened, 更多选项 comes next.
            dialog.moreButton()->setFocus();
            QTest::keyClick(dialog.moreButton(), Qt::Key_Space);
            QTest::keyClick(dialog.moreButton(), Qt::Key_Tab);
            QVERIFY(qobject_cast<QCheckBox*>(QApplication::focusWidget()));

            dialog.typeBox()->setCurrentIndex(1);
            FileComputeChoice c = dialog.choice();
            c.lo = QStringLiteral("117.3");
            c.roles[3] = ColumnRole::Drop;
            c.k0 = QStringLiteral("0.9996");
            c.scale = true;
            dialog.SetChoice(c);
            chosen = dialog.choice();
            QVERIFY(chosen == c);
            QTest::keyClick(dialog.typeBox(), Qt::Key_Return);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.job().geodesy.k0, 0.9996);
        }
        QVERIFY(FileComputeDialog(b, QStringLiteral("默认")).choice() == chosen);
        const FileComputeChoice other = FileComputeDialog(c, QStringLiteral("默认")).choice();
        // Another header: what its names suggest (X and Y: the inverse), nothing kept.
        QVERIFY(other.mode == Computation::Inverse && other.lo.isEmpty() && !other.scale);
    }

    // The results window fits the screen (also run on a 1366 x 768 laptop screen at 125 %), gives
    // the rejected lines a share of its height with whole reasons, and links table and map.
    void resultsWindowFitsAndLinksTableAndMap() {
        std::string text = "name,L,B\n";
        for (const char* p :
             {"P1,116,30", "P2,116.3,30.1", "P3,117,30.2", "P4,117.3,30.3", "P5,118,30.4"})
            text += std::string(p) + "\n";
        for (int i = 0; i < 30; ++i) text += "bad" + std::to_string(i) + ",116.3O45,30\n";
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        choice.header = true;
        FileJob job(JobFor(choice, {}), WriteFile("fit.csv", text).toStdString());
        job.Run();
        std::shared_ptr<FileJobResult> result = job.TakeResult();
        ResultsWindow window(result);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect room = window.screen()->availableGeometry();
        QVERIFY2(room.contains(window.frameGeometry()),
                 qPrintable(QStringLiteral("%1 x %2 at %3,%4 on %5 x %6")
                                .arg(window.frameGeometry().width())
                                .arg(window.frameGeometry().height())
                                .arg(window.frameGeometry().x())
                                .arg(window.frameGeometry().y())
                                .arg(room.width())
                                .arg(room.height())));
        auto* rejected = window.findChild<QTableView*>(QStringLiteral("rejected"));
        auto* stacked = window.findChild<QSplitter*>(QStringLiteral("stacked"));
        const int row = rejected->verticalHeader()->defaultSectionSize();
        QVERIFY(rejected->height() >= 3 * row);
        QVERIFY(rejected->height() <= stacked->height() / 3 + row);
        const QModelIndex reason = rejected->model()->index(0, 1);
        QCOMPARE(reason.data(Qt::ToolTipRole), reason.data());
        QCOMPARE(window.model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("经度 L"));

        QTRY_VERIFY(window.map()->HasData());
        QVERIFY(!window.map()->Empty());
        window.table()->selectRow(2);
        QCOMPARE(window.map()->selected(), std::vector<std::size_t>{2});
        QTest::mouseClick(window.map(), Qt::LeftButton, {}, window.map()->PixelOf(4).toPoint());
        const QModelIndexList rows = window.table()->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].row(), 4);
        QCOMPARE(window.map()->selected(), std::vector<std::size_t>{4});
        QCOMPARE(*window.map()->PointAt(window.map()->PixelOf(1)), std::size_t{1});

        // Packed degrees on the axes; an empty result says so.
        QCOMPARE(PointMap::AxisText(116.5125, true, 1), QStringLiteral("116.3045"));
        QCOMPARE(PointMap::AxisText(-116.5125, true, 0.01), QStringLiteral("-116.304500"));
        QCOMPARE(PointMap::AxisText(3380000.4, false, 5000), QStringLiteral("3380000"));
        FileJob none(JobFor(choice, {}), WriteFile("none.csv", "name,L,B\nx,a,b\n").toStdString());
        none.Run();
        ResultsWindow empty(none.TakeResult());
        QTRY_VERIFY(empty.map()->HasData());
        QVERIFY(empty.map()->Empty());
    }

    // Ctrl+P: a long report is asked about with 否 as the default; Qt's print dialog chooses the
    // printer or a PDF file (the last entry), and the window says what was sent where.
    void printGoesThroughQtsDialogAndSaysWhatWasSent() {
        std::string many;
        for (int i = 0; i < 5001; ++i) many += "P" + std::to_string(i) + ",116.3045,30.3030\n";
        FileComputeChoice choice;
        choice.lo = QStringLiteral("117");
        const QString pdf = dir_.filePath(QStringLiteral("报告.pdf"));
        for (const std::string& text : {many, std::string("P1,116.3045,30.3030\n")}) {
            FileJob job(JobFor(choice, {}), WriteFile("print.csv", text).toStdString());
            job.Run();
            ResultsWindow window(job.TakeResult());
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QMessageBox::StandardButton asked = QMessageBox::NoButton;
            QString told;
            int printDialogs = 0;
            QTimer driver;
            connect(&driver, &QTimer::timeout, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    if (box->icon() == QMessageBox::Question)
                        asked = box->standardButton(box->defaultButton());
                    else
                        told = box->text();
                    QTest::keyClick(box, Qt::Key_Return);
                } else if (auto* print = qobject_cast<QPrintDialog*>(modal)) {
                    ++printDialogs;
                    auto* printers = print->findChild<QComboBox*>(QStringLiteral("printers"));
                    printers->setCurrentIndex(printers->count() - 1);
                    print->findChild<QLineEdit*>(QStringLiteral("filename"))->setText(pdf);
                    print->accept();
                }
            });
            driver.start(5);
            QTest::keyClick(window.table(), Qt::Key_P, Qt::ControlModifier);
            if (text == many) {
                QCOMPARE(asked, QMessageBox::No);  // Enter declines
                QCOMPARE(printDialogs, 0);
            } else {
                QTRY_VERIFY(!told.isEmpty());
                QCOMPARE(printDialogs, 1);
                QCOMPARE(told, QStringLiteral("报告共 1 页，其中 1 页已保存为 PDF 文件：\n") + pdf);
                QCOMPARE(ReadAll(pdf).substr(0, 5), std::string("%PDF-"));
            }
        }
    }

    // Qt's own buttons and dialogs speak Chinese, as the window does.
    void qtDialogsSpeakChinese() {
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
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
        QCOMPARE(menus, (QStringList{"文件(&F)", "设置(&S)", "工具(&T)", "帮助(&H)"}));
        QStringList shortcuts;
        for (QAction* menu : window.menuBar()->actions())
            for (QAction* a : menu->menu()->actions())
                if (!a->shortcut().isEmpty()) shortcuts << a->shortcut().toString();
        QCOMPARE(shortcuts, (QStringList{"Ctrl+O", "Ctrl+Q", "Ctrl+T", "F1"}));
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
            opened = dialog->findChild<QLabel*>(QStringLiteral("file"))->text();
            dialog->close();
        });
        QTRY_VERIFY(opened.endsWith(QStringLiteral("dropped.csv")));
    }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
