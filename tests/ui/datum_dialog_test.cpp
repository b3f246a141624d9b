// 坐标转换 in the window: pasted common points, the residual model's red rows and refit, and
// the parameter file against quorvel-batch fit's own.
#include "ui/datum_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>

#include "core/datum.h"
#include "engine/datum_run.h"
#include "engine/run.h"
#include "ui/datum_convert.h"
#include "ui/datum_models.h"

using namespace quorvel;

namespace {

std::string ReadAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Ten common points over 100 km (a two-dimensional 7-parameter fit needs the area to fix its
// rotations), Beijing 1954 to CGCS2000 on 117°, with millimetres of noise and a blunder of 0.25 m
// at P6: tab-separated as a spreadsheet copies them, a header first.
// `noise` scales the few millimetres of noise on the target side.
QString CommonPointsText(double noise = 1) {
    const CoordinateSystem from = ParseCoordinateSystem("plane:krassovsky:117");
    const CoordinateSystem to = ParseCoordinateSystem("plane:cgcs2000:117");
    DatumParameters p;
    p.dx = -32.4, p.dy = 118.7, p.dz = 61.2;
    p.rx = 1.83, p.ry = -0.94, p.rz = 2.71, p.ds = 4.27;
    const DatumTransform t(from, to, p);
    QString text = QStringLiteral("点名\tX\tY\tX2\tY2\n");
    for (int i = 0; i < 10; ++i) {
        const Triple s{3500000.0 + 16000.0 * (i % 4) - 28000 * (i / 4),
                       480000.0 + 36000.0 * (i % 3) + 12000 * (i / 5), 0};
        Triple d = t.Apply(s);
        d[0] += noise * 0.004 * ((i * 7) % 5 - 2);
        d[1] += noise * 0.003 * ((i * 3) % 5 - 2);
        if (i == 6) d[0] += 0.25;
        text += QStringLiteral("P%1\t%2\t%3\t%4\t%5\n")
                    .arg(i)
                    .arg(s[0], 0, 'f', 4)
                    .arg(s[1], 0, 'f', 4)
                    .arg(d[0], 0, 'f', 4)
                    .arg(d[1], 0, 'f', 4);
    }
    return text;
}

// The dialog's widget of a type whose accessible name or text starts with `text` (for a list,
// one of whose items does).
template <typename T>
T* Find(const QWidget& d, const QString& text) {
    for (T* w : d.findChildren<T*>()) {
        if (w->accessibleName().startsWith(text)) return w;
        if constexpr (requires { w->text(); }) {
            if (w->text().startsWith(text)) return w;
        }
        if constexpr (requires { w->findText(text); }) {
            if (w->findText(text, Qt::MatchStartsWith) >= 0) return w;
        }
    }
    qFatal("no widget %s", qPrintable(text));
}

// The label showing the parameters after a fit (σ0 in its last line).
QString ParametersShown(const QWidget& d) {
    for (const QLabel* l : d.findChildren<QLabel*>()) {
        if (l->text().contains(QStringLiteral("σ0"))) return l->text();
    }
    return {};
}

}  // namespace

class DatumDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    void Choose(DatumDialog& d) {
        d.SetChoices(ParseCoordinateSystem("plane:krassovsky:117"),
                     ParseCoordinateSystem("plane:cgcs2000:117"), false, DatumModel::Seven,
                     RotationConvention::CoordinateFrame);
    }

  private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
    }

    // The target starts as CGCS2000 the first time, and as chosen last after that.
    void targetStartsAsCgcs2000UntilAnotherIsKept() {
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
        QCOMPARE(SystemText(DatumDialog().Target()), std::string("plane:cgcs2000:117"));
        QCOMPARE(SystemText(DatumDialog().Source()), std::string("plane:krassovsky:117"));
        {
            DatumDialog d;
            d.SetChoices(ParseCoordinateSystem("plane:krassovsky:117"),
                         ParseCoordinateSystem("geodetic:xian80"), false, DatumModel::Three,
                         RotationConvention::CoordinateFrame);
            d.reject();
        }
        QCOMPARE(SystemText(DatumDialog().Target()), std::string("geodetic:xian80"));
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
    }

    // Every change of what the fit depends on clears the results and what uses them; 计算参数
    // brings them back. The residual table's own untick refits at once (above).
    void changesClearTheResultsAndWhatUsesThem() {
        DatumDialog d;
        QPushButton* save = Find<QPushButton>(d, QStringLiteral("保存参数"));
        QPushButton* pipeline = Find<QPushButton>(d, QStringLiteral("复制 PROJ 管道"));
        QPushButton* convert = Find<QPushButton>(d, QStringLiteral("转换文件"));
        QComboBox* model = Find<QComboBox>(d, QStringLiteral("七参数"));
        const std::vector<std::pair<const char*, std::function<void()>>> changes = {
            {"model", [&] { model->setCurrentIndex(2); }},
            {"convention",
             [&] { Find<QComboBox>(d, QStringLiteral("坐标框架"))->setCurrentIndex(1); }},
            {"heights", [&] { Find<QCheckBox>(d, QStringLiteral("含高程"))->toggle(); }},
            {"target ellipsoid",
             [&] { Find<QComboBox>(d, QStringLiteral("目标椭球"))->setCurrentIndex(3); }},
            {"source meridian",
             [&] { Find<QLineEdit>(d, QStringLiteral("源中央子午线"))->setText("117.0"); }},
            {"edited point",
             [&] { d.points()->setData(d.points()->index(2, 1), "3500000.1", Qt::EditRole); }},
            {"check point",
             [&] {
                 d.points()->setData(d.points()->index(3, 0), Qt::Unchecked, Qt::CheckStateRole);
             }},
            {"pasted point",
             [&] { d.points()->PasteRows("Q9\t3500100\t480100\t3500000\t480200"); }},
            {"清空", [&] { Find<QPushButton>(d, QStringLiteral("清空"))->click(); }},
        };
        for (const auto& [what, change] : changes) {
            Choose(d);
            d.points()->Clear();
            QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
            d.Compute();
            QVERIFY2(d.fit().has_value(), qPrintable(d.message()));
            QVERIFY(save->isEnabled() && pipeline->isEnabled() && convert->isEnabled());
            QVERIFY(!ParametersShown(d).isEmpty());
            // The same value put back (an edit left with Enter) changes nothing.
            QVERIFY(d.points()->setData(d.points()->index(2, 1), d.points()->index(2, 1).data(),
                                        Qt::EditRole));
            QVERIFY(d.points()->setData(d.points()->index(3, 0), Qt::Checked, Qt::CheckStateRole));
            QVERIFY(d.fit().has_value() && save->isEnabled());
            change();
            QVERIFY2(!d.fit().has_value(), what);
            QVERIFY2(!d.parameters().has_value(), what);
            QVERIFY2(d.ParameterText().empty(), what);
            QVERIFY2(d.residuals()->rowCount() == 0, what);
            QVERIFY2(ParametersShown(d).isEmpty(), what);
            QVERIFY2(!save->isEnabled() && !pipeline->isEnabled() && !convert->isEnabled(), what);
        }
        // Computed again with the new settings: the results and the buttons are back.
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        model->setCurrentIndex(2);
        d.Compute();
        QVERIFY2(d.fit().has_value(), qPrintable(d.message()));
        QCOMPARE(d.fit()->parameters.model, DatumModel::Three);
        QVERIFY(d.ParameterText().find("model = 3") != std::string::npos);
        QVERIFY(save->isEnabled() && pipeline->isEnabled() && convert->isEnabled());
        // A fit that fails leaves nothing of the one before.
        for (int row = 0; row < 10; ++row) d.points()->SetCheck(row, true);
        d.Compute();
        QVERIFY(!d.fit().has_value());
        QCOMPARE(d.residuals()->rowCount(), 0);
        QVERIFY(ParametersShown(d).isEmpty());
        QVERIFY(!save->isEnabled());
    }

    void fourParameterModelCarriesNoHeights() {
        DatumDialog d;
        QCheckBox* heights = Find<QCheckBox>(d, QStringLiteral("含高程"));
        QComboBox* model = Find<QComboBox>(d, QStringLiteral("七参数"));
        model->setCurrentIndex(0);
        heights->setChecked(true);
        model->setCurrentIndex(1);  // 四参数
        QVERIFY(!heights->isChecked());
        QVERIFY(!heights->isEnabled());
        QVERIFY(!heights->toolTip().isEmpty());
        QVERIFY(!d.Options().heights);
        model->setCurrentIndex(2);  // the choice comes back
        QVERIFY(heights->isChecked() && heights->isEnabled());
        heights->setChecked(false);
        model->setCurrentIndex(1);
        model->setCurrentIndex(0);
        QVERIFY(!heights->isChecked() && heights->isEnabled());
    }

    // The verdict names the rule it applied; the standard errors carry their units.
    void verdictSaysTheRuleAndErrorsTheirUnits() {
        DatumDialog d;
        Choose(d);
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.points()->SetCheck(6, true);
        d.Compute();
        QVERIFY2(d.fit().has_value(), qPrintable(d.message()));
        QVERIFY2(d.message().contains(QStringLiteral("K = 3")), qPrintable(d.message()));
        const QStringList lines = ParametersShown(d).split(u'\n');
        QCOMPARE(lines.size(), 8);
        const QRegularExpression unit(QStringLiteral("中误差 +[0-9.]+ (m|″|ppm)$"));
        for (const QString& line : lines.mid(0, 7))
            QVERIFY2(unit.match(line).hasMatch(), qPrintable(line));
        QVERIFY2(lines[0].endsWith(QStringLiteral(" m")), qPrintable(lines[0]));
        QVERIFY2(lines[3].endsWith(QStringLiteral("″")), qPrintable(lines[3]));
        QVERIFY2(lines[6].endsWith(QStringLiteral("ppm")), qPrintable(lines[6]));

        // Points of a coarse survey (noise of decimetres): σ0 of hundreds of mm, no residual
        // beyond K times its own large standard error. No "within tolerance": the rule is said.
        Find<QComboBox>(d, QStringLiteral("七参数"))->setCurrentIndex(2);
        d.points()->Clear();
        QCOMPARE(d.points()->PasteRows(CommonPointsText(100)), 10);
        d.points()->SetCheck(6, true);
        d.Compute();
        QVERIFY2(d.fit().has_value(), qPrintable(d.message()));
        QVERIFY2(d.fit()->sigma0 > 0.1, qPrintable(QString::number(d.fit()->sigma0)));
        QVERIFY2(d.message().contains(QStringLiteral("K = 3")), qPrintable(d.message()));
        QVERIFY(!d.message().contains(QStringLiteral("限差内")));
        const QString none = d.message();
        // The blunder flagged, by the same rule.
        Find<QComboBox>(d, QStringLiteral("三参数"))->setCurrentIndex(0);
        d.points()->Clear();
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.Compute();
        QVERIFY2(d.message().contains(QStringLiteral("K = 3")), qPrintable(d.message()));
        QVERIFY(d.residuals()->Flagged(6));
        QVERIFY(d.message() != none);
    }

    // On a laptop screen (the small-screen run: 1366 x 768 at 125 %) as on any: the dialog
    // within the screen's free area after 计算参数, each table room for eight rows of text.
    void fitsTheScreenWithEightRowsATable() {
        DatumDialog d;
        Choose(d);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.Compute();
        QVERIFY2(d.fit().has_value(), qPrintable(d.message()));
        QApplication::processEvents();
        const QRect room = d.screen()->availableGeometry();
        QVERIFY2(room.contains(d.frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(d.width()).arg(d.height())));
        const QList<QTableView*> tables = d.findChildren<QTableView*>();
        QCOMPARE(tables.size(), 2);
        for (QTableView* table : tables) {
            const int row = table->verticalHeader()->defaultSectionSize();
            QVERIFY2(
                row >= table->fontMetrics().height() && row <= table->fontMetrics().height() + 8,
                qPrintable(QString::number(row)));
            QVERIFY2(table->viewport()->height() >= 8 * row,
                     qPrintable(QString::number(table->viewport()->height())));
        }
        for (const char* button : {"保存参数", "关闭"}) {
            QWidget* b = Find<QPushButton>(d, QString::fromUtf8(button));
            QVERIFY(d.rect().contains(QRect(b->mapTo(&d, QPoint(0, 0)), b->size())));
        }
    }

    void pastingRowsSkipsHeaderAndKeepsEveryValue() {
        DatumDialog d;
        Choose(d);
        CommonPointsModel& m = *d.points();
        QCOMPARE(m.columnCount(), 5);
        QApplication::clipboard()->setText(CommonPointsText());
        d.Paste();
        QCOMPARE(m.rowCount(), 10);
        QCOMPARE(m.data(m.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("P0"));
        QCOMPARE(m.data(m.index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        // Commas and blanks, CRLF, a comment, a short row: kept, and named when computed.
        QCOMPARE(m.PasteRows(QStringLiteral("# 注释\r\nQ1, 1, 2, 3, 4\r\nQ2 5 6\r\n\r\n")), 2);
        QCOMPARE(m.rowCount(), 12);
        QCOMPARE(m.data(m.index(10, 4), Qt::DisplayRole).toString(), QStringLiteral("4"));
        std::vector<CommonPoint> points;
        QString error;
        QVERIFY(!m.Points(points, error));
        QVERIFY2(error.contains(QStringLiteral("第 12 行")) && error.contains(QStringLiteral("X2")),
                 qPrintable(error));
        d.Compute();
        QVERIFY(!d.fit().has_value());
        QCOMPARE(d.message(), error);
    }

    void blunderIsRedAndUntickingRefits() {
        DatumDialog d;
        Choose(d);
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.Compute();
        QVERIFY2(d.fit().has_value(), qPrintable(d.message()));
        ResidualModel& r = *d.residuals();
        QCOMPARE(r.rowCount(), 10);
        QCOMPARE(r.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("vX (mm)"));
        int red = -1;
        for (int row = 0; row < r.rowCount(); ++row) {
            const bool isRed = r.data(r.index(row, 3), Qt::ForegroundRole).isValid();
            QCOMPARE(isRed, r.Flagged(row));
            if (isRed) {
                QCOMPARE(red, -1);
                red = row;
            }
        }
        QCOMPARE(red, 6);
        const double before = d.fit()->sigma0;
        QVERIFY(before > 0.03);

        // Unticking the red row makes it a check point and fits again at once.
        QVERIFY(r.setData(r.index(6, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(d.fit().has_value());
        QCOMPARE(d.fit()->used, 9);
        QCOMPARE(d.fit()->checked, 1);
        QVERIFY2(d.fit()->sigma0 < 0.01, qPrintable(QString::number(d.fit()->sigma0)));
        QCOMPARE(r.data(r.index(6, 1), Qt::DisplayRole).toString(), QStringLiteral("检核"));
        QCOMPARE(r.data(r.index(6, 0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(d.points()->data(d.points()->index(6, 0), Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));
        // The check point's difference still shows its blunder: about 250 mm in X.
        const double vx = r.data(r.index(6, 2), Qt::DisplayRole).toString().toDouble();
        QVERIFY2(std::abs(std::abs(vx) - 250) < 20, qPrintable(QString::number(vx)));
        QVERIFY(!r.Flagged(0));
        // Ticking it again puts it back in the fit.
        QVERIFY(r.setData(r.index(6, 0), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(d.fit()->used, 10);
        QCOMPARE(d.fit()->sigma0, before);
    }

    // The saved file is `quorvel-batch fit -p`'s for the same points and choices; it loads back.
    void savedParametersEqualTheCommandLines() {
        const QString points = dir_.filePath(QStringLiteral("points.tsv"));
        std::ofstream(points.toStdString(), std::ios::binary) << CommonPointsText().toStdString();
        DatumDialog d;
        d.SetChoices(ParseCoordinateSystem("plane:krassovsky:117"),
                     ParseCoordinateSystem("plane:cgcs2000:117"), false, DatumModel::Seven,
                     RotationConvention::PositionVector);
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.points()->SetCheck(6, true);
        d.Compute();
        QVERIFY2(d.fit().has_value(), qPrintable(d.message()));
        const QString saved = dir_.filePath(QStringLiteral("window.txt"));
        QString error;
        QVERIFY2(d.SaveParametersTo(saved, error), qPrintable(error));

        const QString cli = dir_.filePath(QStringLiteral("cli.txt"));
        const std::string args[] = {"fit",
                                    "--from",
                                    "plane:krassovsky:117",
                                    "--to",
                                    "plane:cgcs2000:117",
                                    "--convention",
                                    "position-vector",
                                    "--header",
                                    "--check",
                                    "P6",
                                    "-p",
                                    cli.toStdString(),
                                    "-o",
                                    dir_.filePath(QStringLiteral("residuals.csv")).toStdString(),
                                    "--quiet",
                                    points.toStdString()};
        std::vector<std::string_view> views(std::begin(args), std::end(args));
        std::ostringstream sink;
        QCOMPARE(engine::RunDatumCommand(views, {0, 1, sink, sink, false, {}}), 0);
        const std::string expected = ReadAll(cli);
        QVERIFY(expected.find("position") != std::string::npos);
        QCOMPARE(ReadAll(saved), expected);

        // 转换文件: the header found, the export the command's bytes.
        const QString converted = dir_.filePath(QStringLiteral("converted.csv"));
        const DatumConversion c = ConvertFile(saved, points, converted);
        QCOMPARE(c.status, 0);
        QVERIFY2(c.command.find("--header") != std::string::npos, c.command.c_str());
        ConvertedWindow window(c, converted, nullptr);
        QCOMPARE(window.rows(), 10);
        const QString exported = dir_.filePath(QStringLiteral("exported.csv"));
        QVERIFY2(window.ExportTo(exported, error), qPrintable(error));
        const QString byCli = dir_.filePath(QStringLiteral("cli.csv"));
        const std::string transform[] = {"transform",         "-p", saved.toStdString(), "--bom",
                                         "--header",          "-o", byCli.toStdString(), "--quiet",
                                         points.toStdString()};
        std::vector<std::string_view> run(std::begin(transform), std::end(transform));
        QCOMPARE(engine::RunDatumCommand(run, {0, 1, sink, sink, false, {}}), 0);
        QCOMPARE(ReadAll(exported), ReadAll(byCli));
        QVERIFY(ReadAll(exported).rfind("\xEF\xBB\xBF", 0) == 0);

        // A file in GB18030 (水塔) is read as such, and its header found.
        const QString gb = dir_.filePath(QStringLiteral("gb.csv"));
        std::ofstream(gb.toStdString(), std::ios::binary)
            << "name,X,Y\n\xCB\xAE\xCB\xFE,3500500,481000\n";
        const DatumConversion g =
            ConvertFile(saved, gb, dir_.filePath(QStringLiteral("gb-out.csv")));
        QCOMPARE(g.status, 0);
        QVERIFY2(g.command.find("--encoding GB18030 --header") != std::string::npos,
                 g.command.c_str());
        QVERIFY(ReadAll(dir_.filePath(QStringLiteral("gb-out.csv"))).find("水塔") !=
                std::string::npos);

        DatumDialog loaded;
        QVERIFY2(loaded.LoadParametersFrom(saved, error), qPrintable(error));
        QCOMPARE(loaded.Options().convention, RotationConvention::PositionVector);
        QCOMPARE(SystemText(loaded.Target()), std::string("plane:cgcs2000:117"));
        QVERIFY(loaded.parameters().has_value());
        QCOMPARE(loaded.parameters()->parameters, d.fit()->parameters);
    }
};

QTEST_MAIN(DatumDialogTest)
#include "datum_dialog_test.moc"
