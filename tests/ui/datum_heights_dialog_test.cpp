// 坐标转换's height model (高程拟合) beside the datum: the residuals in the same table, refits
// with a point unticked, refusals, the parameter file against `quorvel-batch fit --height-model`
// and 转换文件 against `transform` with a height model.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <fstream>
#include <sstream>

#include "cli/command_line.h"
#include "cli/datum_command.h"
#include "core/datum.h"
#include "ui/datum_dialog.h"
#include "ui/datum_models.h"
#include "ui/file_job.h"
#include "ui/point_file_dialog.h"
#include "ui/results_model.h"
#include "ui/results_window.h"

using namespace quorvel;

namespace {

std::string ReadAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Common points over 100 km, Beijing 1954 to CGCS2000 on 117°, each with h and H after the
// coordinates: an anomaly tilted over the area, millimetres of noise, and `blunder` metres on
// P6's H. `noHeights` leaves both heights of P9 empty, `noH` only its H. With `count` points,
// 16 at most.
QString HeightPointsText(double blunder = 0, bool noHeights = false, bool noH = false,
                         int count = 10) {
    const CoordinateSystem from = ParseCoordinateSystem("plane:krassovsky:117");
    const CoordinateSystem to = ParseCoordinateSystem("plane:cgcs2000:117");
    DatumParameters p;
    p.dx = -32.4, p.dy = 118.7, p.dz = 61.2;
    p.rx = 1.83, p.ry = -0.94, p.rz = 2.71, p.ds = 4.27;
    const DatumTransform t(from, to, p);
    QString text;
    for (int i = 0; i < count; ++i) {
        const Triple s{3500000.0 + 16000.0 * (i % 4) - 28000 * (i / 4),
                       480000.0 + 36000.0 * (i % 3) + 12000 * (i / 5), 0};
        const Triple d = t.Apply(s);
        const double zeta =
            -8.5 + 2e-5 * (d[0] - 3.5e6) - 1.5e-5 * (d[1] - 5e5) + 0.004 * ((i * 7) % 5 - 2);
        const double H = 40 + 7.5 * i;
        QString h = QString::number(H + zeta, 'f', 4);
        QString normal = QString::number(H + (i == 6 ? blunder : 0), 'f', 4);
        if (i == 9 && noHeights) h.clear(), normal.clear();
        if (i == 9 && noH) normal.clear();
        text += QStringLiteral("P%1\t%2\t%3\t%4\t%5\t%6\t%7\n")
                    .arg(i)
                    .arg(s[0], 0, 'f', 4)
                    .arg(s[1], 0, 'f', 4)
                    .arg(d[0], 0, 'f', 4)
                    .arg(d[1], 0, 'f', 4)
                    .arg(h, normal);
    }
    return text;
}

int Run(std::initializer_list<std::string> args, std::string* said = nullptr) {
    std::vector<std::string> kept(args);
    std::vector<std::string_view> views(kept.begin(), kept.end());
    std::ostringstream sink;
    const int status = cli::RunDatumCommand(views, {0, 1, sink, sink, false, {}});
    if (said != nullptr) *said = sink.str();
    return status;
}

// The residual table's column headed `name`, or −1.
int Column(const ResidualModel& m, const QString& name) {
    for (int c = 0; c < m.columnCount(); ++c) {
        if (m.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == name) return c;
    }
    return -1;
}

QString Cell(const ResidualModel& m, int row, int column) {
    return m.index(row, column).data().toString();
}

}  // namespace

class DatumHeightsDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // The systems of HeightPointsText and the height model's box at `model`.
    void Choose(DatumDialog& d, int model) {
        d.SetChoices(ParseCoordinateSystem("plane:krassovsky:117"),
                     ParseCoordinateSystem("plane:cgcs2000:117"), false, DatumModel::Seven,
                     RotationConvention::CoordinateFrame);
        d.heightModelBox()->setCurrentIndex(model);
    }

  private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
    }

    // 无 by default: the points carry no height columns and nothing changes; a model adds h, H.
    void noHeightModelUntilOneIsChosen() {
        DatumDialog d;
        QCOMPARE(d.heightModelBox()->currentIndex(), 0);
        const std::size_t plain = d.points()->coordinateNames().size();
        d.heightModelBox()->setCurrentIndex(3);
        const std::vector<std::string>& names = d.points()->coordinateNames();
        QCOMPARE(names.size(), plain + 2);
        QCOMPARE(names[plain], std::string("h"));
        QCOMPARE(names[plain + 1], std::string("H"));
        // A header naming the coordinates only is still one: the heights may be empty.
        QCOMPARE(d.points()->PasteRows(QStringLiteral("点名\tX\tY\tX2\tY2\nA\t1\t2\t3\t4\n")), 1);
        QCOMPARE(d.points()->rows()[0].name, QStringLiteral("A"));
        d.points()->Clear();
        // The model is fitted over the target's plane X, Y: no choice for a geodetic target,
        // the user's back with a plane one.
        d.SetChoices(ParseCoordinateSystem("plane:krassovsky:117"),
                     ParseCoordinateSystem("geodetic:cgcs2000"), false, DatumModel::Seven,
                     RotationConvention::CoordinateFrame);
        QVERIFY(!d.heightModelBox()->isEnabled());
        QCOMPARE(d.heightModelBox()->currentIndex(), 0);
        QVERIFY(!d.heightModelBox()->toolTip().isEmpty());
        QCOMPARE(d.points()->coordinateNames().size(), plain);
        d.SetChoices(ParseCoordinateSystem("plane:krassovsky:117"),
                     ParseCoordinateSystem("plane:cgcs2000:117"), false, DatumModel::Seven,
                     RotationConvention::CoordinateFrame);
        QCOMPARE(d.heightModelBox()->currentIndex(), 3);
        d.heightModelBox()->setCurrentIndex(0);
    }

    // F5 fits both: the height columns beside the plane residuals, a blunder in H red in them
    // only, σ0 and the terms beside the datum's; unticking the blunder makes it a check point of
    // both fits, as --check does. Sixteen points: with ten, a plane's 7 redundant observations
    // cannot put one residual beyond 3 times its standard error.
    void fitsBothAndUntickingChecksInBoth() {
        DatumDialog d;
        Choose(d, 3);
        QCOMPARE(d.points()->PasteRows(HeightPointsText(0.15, false, false, 16)), 16);
        d.Compute();
        QVERIFY2(d.fit().has_value() && d.heightFit() != nullptr, qPrintable(d.message()));
        const ResidualModel& m = *d.residuals();
        const int use = Column(m, QStringLiteral("高程用途"));
        const int vH = Column(m, QStringLiteral("高程 vH (mm)"));
        const int flag = Column(m, QStringLiteral("高程标记"));
        QVERIFY(use > Column(m, QStringLiteral("平面 (mm)")) && vH == use + 1 && flag == use + 2);
        QCOMPARE(d.heightFit()->model.kind, HeightModelKind::Plane);
        QCOMPARE(Cell(m, 6, flag), QStringLiteral(">3σ0"));
        QVERIFY(m.index(6, vH).data(Qt::ForegroundRole).isValid());
        QVERIFY(!m.index(6, 2).data(Qt::ForegroundRole).isValid());  // the datum's fine
        QCOMPARE(Cell(m, 0, flag), QString());
        QVERIFY(std::abs(Cell(m, 6, vH).toDouble()) > 40);
        QString shown;
        for (const QLabel* l : d.findChildren<QLabel*>()) {
            if (l->text().contains(QStringLiteral("高程 σ0"))) shown = l->text();
        }
        QVERIFY2(shown.contains(QStringLiteral("a2 =")) && shown.contains(QStringLiteral("ΔX")),
                 qPrintable(shown));

        d.residuals()->setData(d.residuals()->index(6, 0), Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY2(d.heightFit() != nullptr, qPrintable(d.message()));
        QCOMPARE(Cell(m, 6, use), QStringLiteral("检核"));
        QCOMPARE(Cell(m, 6, 1), QStringLiteral("检核"));
        QCOMPARE(d.heightFit()->checked, 1);
        QCOMPARE(d.fit()->checked, 1);
        QVERIFY(d.heightFit()->sigma0 < 0.01);
        QVERIFY(std::abs(d.heightFit()->checkRms) > 0.08);
    }

    // A point with neither height is a datum point only, its height cells empty.
    void aPointWithoutHeightsIsADatumPointOnly() {
        DatumDialog d;
        Choose(d, 1);
        QCOMPARE(d.points()->PasteRows(HeightPointsText(0, true)), 10);
        d.Compute();
        QVERIFY2(d.heightFit() != nullptr, qPrintable(d.message()));
        QCOMPARE(d.heightFit()->points.size(), std::size_t{9});
        QCOMPARE(d.fit()->points.size(), std::size_t{10});
        // Automatic: 9 points, quadratic.
        QCOMPARE(d.heightFit()->model.kind, HeightModelKind::Quadratic);
        const int use = Column(*d.residuals(), QStringLiteral("高程用途"));
        QCOMPARE(Cell(*d.residuals(), 9, use), QString());
        QCOMPARE(Cell(*d.residuals(), 8, use), QStringLiteral("参与"));
    }

    // Refused as quorvel-batch refuses them, nothing shown as fitted: one height without the
    // other (the point named), an anomaly no Earth has, too few points for the model.
    void refusalsAreTheCommandLines() {
        struct Case {
            QString text;
            int model;
            const char* said;
        };
        const QString points = HeightPointsText();
        QString few;
        for (const QString& line : points.split(u'\n').mid(0, 5)) few += line + u'\n';
        const Case cases[] = {{HeightPointsText(0, false, true), 3, "P9"},
                              {HeightPointsText(400), 3, "P6"},
                              {few, 4, "6"}};
        for (const Case& c : cases) {
            DatumDialog d;
            Choose(d, c.model);
            d.points()->PasteRows(c.text);
            d.Compute();
            QVERIFY2(!d.HasResults() && !d.fit() && d.heightFit() == nullptr,
                     qPrintable(d.message()));
            QVERIFY2(d.message().contains(QString::fromUtf8(c.said)), qPrintable(d.message()));
            QVERIFY(!d.saveButton()->isEnabled());
            const QString file = dir_.filePath(QStringLiteral("refused.tsv"));
            std::ofstream(file.toStdString(), std::ios::binary) << c.text.toStdString();
            const std::string models[] = {"", "auto", "fixed", "plane", "quadratic"};
            std::string said;
            QCOMPARE(Run({"fit", "--from", "plane:krassovsky:117", "--to", "plane:cgcs2000:117",
                          "--height-model", models[c.model], "--quiet", file.toStdString()},
                         &said),
                     2);
            QVERIFY2(
                said.find(d.message().toStdString()) != std::string::npos,
                qPrintable(d.message() + QStringLiteral(" | ") + QString::fromStdString(said)));
        }
    }

    // 保存参数 writes `fit --height-model -p`'s file byte for byte; it loads back with the model
    // chosen, and 转换文件 gives transform's CSV with H, byte for byte.
    void savedAndConvertedAsTheCommandLine() {
        const QString points = dir_.filePath(QStringLiteral("heights.tsv"));
        std::ofstream(points.toStdString(), std::ios::binary)
            << HeightPointsText(0.10).toStdString();
        DatumDialog d;
        Choose(d, 3);
        QCOMPARE(d.points()->PasteRows(HeightPointsText(0.10)), 10);
        d.points()->SetCheck(6, true);
        d.Compute();
        QVERIFY2(d.heightFit() != nullptr, qPrintable(d.message()));
        const QString saved = dir_.filePath(QStringLiteral("window.txt"));
        QString error;
        QVERIFY2(d.SaveParametersTo(saved, error), qPrintable(error));
        const QString cli = dir_.filePath(QStringLiteral("cli.txt"));
        QCOMPARE(Run({"fit", "--from", "plane:krassovsky:117", "--to", "plane:cgcs2000:117",
                      "--height-model", "plane", "--check", "P6", "-p", cli.toStdString(), "-o",
                      dir_.filePath(QStringLiteral("residuals.csv")).toStdString(), "--quiet",
                      points.toStdString()}),
                 0);
        QVERIFY(ReadAll(cli).find("height_model = plane") != std::string::npos);
        QCOMPARE(ReadAll(saved), ReadAll(cli));

        // Loaded into a dialog with no model chosen: the file's model is.
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
        DatumDialog loaded;
        QCOMPARE(loaded.heightModelBox()->currentIndex(), 0);
        QVERIFY2(loaded.LoadParametersFrom(saved, error), qPrintable(error));
        QCOMPARE(loaded.heightModelBox()->currentIndex(), 3);
        QVERIFY(loaded.parameters()->height.has_value());

        // Points of the source system with h, the last without: H added where h is.
        const QString input = dir_.filePath(QStringLiteral("convert.csv"));
        std::ofstream(input.toStdString(), std::ios::binary)
            << "name,X,Y,h\nA1,3480000,500000,61.25\nA2,3470000,520000,\n";
        const PointFileChoice choice = GuessPointFile(input, {"X1", "Y1", "h"});
        loaded.ConvertFile(input, choice);
        QTRY_VERIFY(!loaded.Converting());
        const QList<ResultsWindow*> windows = loaded.findChildren<ResultsWindow*>();
        QCOMPARE(windows.size(), 1);
        const ResultsModel& m = *windows.front()->model();
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(m.headerData(6, Qt::Horizontal).toString(), QStringLiteral("H"));
        QVERIFY(!m.Fields(0)[6].empty() && m.Fields(1)[6].empty());
        const QString byCli = dir_.filePath(QStringLiteral("convert-cli.csv"));
        QCOMPARE(Run({"transform", "-p", saved.toStdString(), "--bom", "--header", "-o",
                      byCli.toStdString(), "--quiet", input.toStdString()}),
                 0);
        const QString exported = dir_.filePath(QStringLiteral("convert-window.csv"));
        QStringList warnings;
        QVERIFY2(
            ResultsWindow::WriteResults(windows.front()->result(), exported, &error, &warnings),
            qPrintable(error));
        QCOMPARE(ReadAll(exported), ReadAll(byCli));
        QVERIFY(ReadAll(exported).find("X2,Y2,h,H") != std::string::npos);
    }

    // A datum alone loaded: the height model shown is none, as the file's.
    void aDatumAloneLoadsWithoutAHeightModel() {
        const QString params = dir_.filePath(QStringLiteral("datum.txt"));
        std::ofstream(params.toStdString(), std::ios::binary)
            << "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\nheights = no\n"
               "dx = 1\ndy = 2\ndz = 3\n";
        DatumDialog d;
        Choose(d, 4);
        QString error;
        QVERIFY2(d.LoadParametersFrom(params, error), qPrintable(error));
        QCOMPARE(d.heightModelBox()->currentIndex(), 0);
        QCOMPARE(d.points()->coordinateNames().size(), std::size_t{4});
        QVERIFY(d.HasResults());
    }

    // A height model alone (height-fit -p) loads without touching the systems and converts
    // name, X, Y, h as transform does.
    void aHeightModelAloneLoadsAndConverts() {
        const QString params = dir_.filePath(QStringLiteral("alone.txt"));
        std::ofstream(params.toStdString(), std::ios::binary)
            << "height_model = fixed\nheight_x0 = 3500000\nheight_y0 = 500000\n"
               "height_scale = 1000\nheight_a0 = 9.5\n";
        DatumDialog d;
        const std::string target = SystemText(d.Target());
        QString error;
        QVERIFY2(d.LoadParametersFrom(params, error), qPrintable(error));
        QCOMPARE(SystemText(d.Target()), target);
        QCOMPARE(d.heightModelBox()->currentIndex(), 2);
        QVERIFY(d.convertButton()->isEnabled());
        const QString input = dir_.filePath(QStringLiteral("alone.csv"));
        std::ofstream(input.toStdString(), std::ios::binary)
            << "B1,3500100,500200,60.5\nB2,3500300,500400,70\n";
        d.ConvertFile(input, PointFileChoice{});
        QTRY_VERIFY(!d.Converting());
        const QList<ResultsWindow*> windows = d.findChildren<ResultsWindow*>();
        QCOMPARE(windows.size(), 1);
        const QString byCli = dir_.filePath(QStringLiteral("alone-cli.csv"));
        QCOMPARE(Run({"transform", "-p", params.toStdString(), "--bom", "-o", byCli.toStdString(),
                      "--quiet", input.toStdString()}),
                 0);
        const QString exported = dir_.filePath(QStringLiteral("alone-window.csv"));
        QStringList warnings;
        QVERIFY2(
            ResultsWindow::WriteResults(windows.front()->result(), exported, &error, &warnings),
            qPrintable(error));
        QCOMPARE(ReadAll(exported), ReadAll(byCli));
        QCOMPARE(windows.front()->model()->Fields(0)[4], std::string("51.0000"));
        // A CASS drawing: the points where they are, the normal height computed.
        const QString dat = dir_.filePath(QStringLiteral("alone.dat"));
        QVERIFY2(ResultsWindow::WriteResults(windows.front()->result(), dat, &error, &warnings),
                 qPrintable(error));
        QCOMPARE(ReadAll(dat), std::string("B1,,500200.0000,3500100.0000,51.0000\r\n"
                                           "B2,,500400.0000,3500300.0000,60.5000\r\n"));
        // On the map where they lie: a height model moves no point.
        const MapData map = BuildMapData(windows.front()->result());
        QCOMPARE(map.x[1], 500400.0);
        QCOMPARE(map.y[1], 3500300.0);
    }
};

QTEST_MAIN(DatumHeightsDialogTest)
#include "datum_heights_dialog_test.moc"
