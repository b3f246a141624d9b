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
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>

#include "cli/command_line.h"
#include "cli/datum_command.h"
#include "core/datum.h"
#include "engine/run/run.h"
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
            // Last: the points have no heights for the model to be fitted to.
            {"height model", [&] { d.heightModelBox()->setCurrentIndex(1); }},
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
        d.heightModelBox()->setCurrentIndex(0);
        d.points()->Clear();
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

    // The common points' reader splits lines as quorvel-batch does: a quoted name keeps its
    // comma, a decimal comma is the number's, and a header's names give the columns in any order.
    void commonPointsReadQuotedDecimalCommaAndNamedFiles() {
        DatumDialog d;
        Choose(d);
        CommonPointsModel& m = *d.points();
        QCOMPARE(m.PasteRows(QStringLiteral("\"P, 1\",3500100.5,\"480100.25\",3500000,480200\n")),
                 1);
        QCOMPARE(m.rows()[0].name, QStringLiteral("P, 1"));
        QCOMPARE(m.rows()[0].values, (QStringList{"3500100.5", "480100.25", "3500000", "480200"}));
        QCOMPARE(m.PasteRows(QStringLiteral("Q0，1，2，3，4")), 1);
        QCOMPARE(m.rows()[1].values, (QStringList{"1", "2", "3", "4"}));
        // Named columns, the target's first: read by their names.
        m.Clear();
        QCOMPARE(m.PasteRows(QStringLiteral("Y2\tX2\t点名\tY1\tX1\n2\t1\tQ1\t4\t3\n")), 1);
        QCOMPARE(m.rows()[0].name, QStringLiteral("Q1"));
        QCOMPARE(m.rows()[0].values, (QStringList{"3", "4", "1", "2"}));

        const QString comma = dir_.filePath(QStringLiteral("comma.txt"));
        std::ofstream(comma.toStdString(), std::ios::binary)
            << "\"Q 1\";3500100,5;480100,25;3500000;480200\r\n"
               "Q2;3500200;480200;3500100,75;480300\r\n";
        PointFileChoice choice;
        choice.decimalComma = true;
        m.Clear();
        std::vector<std::uint64_t> unread;
        QCOMPARE(m.ReadFile(comma, choice, unread), 2);
        QVERIFY(unread.empty());
        QCOMPARE(m.rows()[0].name, QStringLiteral("Q 1"));
        QCOMPARE(m.rows()[0].values, (QStringList{"3500100.5", "480100.25", "3500000", "480200"}));
        QCOMPARE(m.rows()[1].values.at(2), QStringLiteral("3500100.75"));
        std::vector<CommonPoint> points;
        QString error;
        QVERIFY2(m.Points(points, error), qPrintable(error));
        QCOMPARE(points[0].source[0], 3500100.5);

        // A line that does not read is named, not dropped in silence.
        const QString bad = dir_.filePath(QStringLiteral("bad.csv"));
        std::ofstream(bad.toStdString(), std::ios::binary)
            << "P1,1,2,3,4\n\"P2,1,2,3,4\nP3,1,2,3,4\n";
        d.OpenPointsAs(bad, {});
        QCOMPARE(m.rowCount(), 2);
        QVERIFY2(d.message().contains(QStringLiteral("第 2 行")), qPrintable(d.message()));
    }

    // 打开公共点文件 and 转换文件 offer 从文件计算's role row: guessed from the header's names
    // (点号,代码,Y坐标,X坐标,高程 included), chosen by hand, kept for the next file with that
    // header; the conversion reads the file as chosen.
    void pointFilesGetColumnRolesKeptPerHeader() {
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
        const QString survey = dir_.filePath(QStringLiteral("survey.csv"));
        std::ofstream(survey.toStdString(), std::ios::binary) << "点号,代码,Y坐标,X坐标,高程\n"
                                                                 "K1,KZ,480100,3500100,12.5\n"
                                                                 "K2,GPS,480200,3500200,13.0\n";
        {
            PointFileDialog dialog(survey, QStringLiteral("转换文件"), {"X1", "Y1"},
                                   {QStringLiteral("X"), QStringLiteral("Y")},
                                   QStringLiteral("带入"));
            QVERIFY(dialog.headerBox()->isChecked());
            QCOMPARE(dialog.columnCount(), std::size_t{5});
            QCOMPARE(dialog.roleBox(0)->currentText(), QStringLiteral("点名"));
            QCOMPARE(dialog.roleBox(1)->currentText(), QStringLiteral("带入"));
            QCOMPARE(dialog.roleBox(2)->currentText(), QStringLiteral("Y"));
            QCOMPARE(dialog.roleBox(3)->currentText(), QStringLiteral("X"));
            QTableWidget* preview = dialog.preview();
            QCOMPARE(preview->horizontalHeaderItem(4)->text(), QStringLiteral("X坐标"));
            for (int row = 1; row < preview->rowCount(); ++row)
                QCOMPARE(preview->item(row, preview->columnCount() - 1)->text(), QString());
            QCOMPARE(ReadingArguments(dialog.choice()),
                     (std::vector<std::string>{"--header", "--fields", "1,4,3"}));
            // Two names: not accepted, and the hint says what is missing.
            dialog.roleBox(1)->setCurrentIndex(0);
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(dialog.rolesText().contains(QStringLiteral("请为点名、X、Y各选一列")));
            // By hand: the code is the name, and that is kept for this header.
            dialog.roleBox(0)->setCurrentIndex(3);  // 带入
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.choice().fields, (std::vector<std::size_t>{1, 3, 2}));
        }
        const QString same = dir_.filePath(QStringLiteral("same.csv"));
        std::ofstream(same.toStdString(), std::ios::binary)
            << "点号,代码,Y坐标,X坐标,高程\nK9,GPS,480900,3500900,9\n";
        PointFileDialog again(same, QStringLiteral("转换文件"), {"X1", "Y1"},
                              {QStringLiteral("X"), QStringLiteral("Y")}, QStringLiteral("带入"));
        QCOMPARE(again.choice().fields, (std::vector<std::size_t>{1, 3, 2}));
        // The common points of a fit with heights: H1 and H2 found by name too.
        const QString common = dir_.filePath(QStringLiteral("common.csv"));
        std::ofstream(common.toStdString(), std::ios::binary)
            << "name,X1,Y1,H1,X2,Y2,H2\nP1,1,2,3,4,5,6\n";
        const std::vector<std::string> six{"X1", "Y1", "H1", "X2", "Y2", "H2"};
        QCOMPARE(GuessPointFile(common, six).fields, std::vector<std::size_t>{});
        QVERIFY(GuessPointFile(common, six).header);
        QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")).clear();
    }

    // The window refuses a parameter file over 1 MiB as transform does, in its words.
    void parameterFileOverOneMebibyteIsRefusedAsTheCommandLineDoes() {
        const QString big = dir_.filePath(QStringLiteral("big.txt"));
        std::ofstream(big.toStdString(), std::ios::binary)
            << std::string((1 << 20) + 1, '#') << "\n";
        DatumDialog d;
        QString error;
        QVERIFY(!d.LoadParametersFrom(big, error));
        std::ostringstream said;
        const std::string args[] = {"transform", "-p", big.toStdString(), "--quiet", "-"};
        std::vector<std::string_view> views(std::begin(args), std::end(args));
        QCOMPARE(cli::RunDatumCommand(views, {0, 1, said, said, false, {}}), 2);
        QVERIFY2(!error.isEmpty() && said.str().find(error.toStdString()) != std::string::npos,
                 qPrintable(error + QStringLiteral(" | ") + QString::fromStdString(said.str())));
        QVERIFY(!d.parameters().has_value());
    }

    // A file with a height model, alone or beside a datum, is taken with its model shown.
    void parameterFileWithAHeightModelIsTaken() {
        const QString alone = dir_.filePath(QStringLiteral("heights.txt"));
        std::ofstream(alone.toStdString(), std::ios::binary)
            << "height_model = fixed\nheight_x0 = 1\nheight_y0 = 2\nheight_scale = 3\n"
               "height_a0 = 9.5\n";
        const QString both = dir_.filePath(QStringLiteral("both.txt"));
        std::ofstream(both.toStdString(), std::ios::binary)
            << "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\nheights = no\n"
               "dx = 1\ndy = 2\ndz = 3\nheight_model = fixed\nheight_x0 = 1\n"
               "height_y0 = 2\nheight_scale = 3\nheight_a0 = 9.5\n";
        for (const QString& path : {alone, both}) {
            DatumDialog d;
            QString error;
            QVERIFY2(d.LoadParametersFrom(path, error), qPrintable(error));
            QVERIFY(d.parameters().has_value() && d.parameters()->height.has_value());
            QVERIFY2(ParametersShown(d).contains(QStringLiteral("a0 =")),
                     qPrintable(ParametersShown(d)));
            QCOMPARE(ParametersShown(d).contains(QStringLiteral("ΔX")), path == both);
            QVERIFY(d.convertButton()->isEnabled() && !d.saveButton()->isEnabled());
        }
    }

    // A projection height on a meridian's side shows after the meridian and stays through a
    // refit; zoned coordinates, which have no field for it, are refused rather than dropped.
    void projectionHeightOfAParameterFileIsKept() {
        const QString raised = dir_.filePath(QStringLiteral("raised.txt"));
        std::ofstream(raised.toStdString(), std::ios::binary)
            << "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117.3:1070\n"
               "heights = no\ndx = 1\ndy = 2\ndz = 3\n";
        DatumDialog d;
        QString error;
        QVERIFY2(d.LoadParametersFrom(raised, error), qPrintable(error));
        QCOMPARE(d.Target().projectionHeight, 1070.0);
        QCOMPARE(SystemText(d.Target()), std::string("plane:cgcs2000:117.3:1070"));
        QCOMPARE(d.Source().projectionHeight, 0.0);

        const QString zoned = dir_.filePath(QStringLiteral("zoned.txt"));
        std::ofstream(zoned.toStdString(), std::ios::binary)
            << "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:zone3:1070\n"
               "heights = no\ndx = 1\ndy = 2\ndz = 3\n";
        DatumDialog z;
        QVERIFY(!z.LoadParametersFrom(zoned, error));
        QVERIFY2(error.contains(QStringLiteral("quorvel-batch transform")), qPrintable(error));
        QVERIFY(!z.parameters().has_value());
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
        QCOMPARE(cli::RunDatumCommand(views, {0, 1, sink, sink, false, {}}), 0);
        const std::string expected = ReadAll(cli);
        QVERIFY(expected.find("position") != std::string::npos);
        QCOMPARE(ReadAll(saved), expected);

        DatumDialog loaded;
        QVERIFY2(loaded.LoadParametersFrom(saved, error), qPrintable(error));
        QCOMPARE(loaded.Options().convention, RotationConvention::PositionVector);
        QCOMPARE(SystemText(loaded.Target()), std::string("plane:cgcs2000:117"));
        QVERIFY(loaded.parameters().has_value());
        QCOMPARE(loaded.parameters()->parameters, d.fit()->parameters);
    }

    // 转换文件 without saving the fit: the results window's CSV is transform --bom's for the
    // same file and parameters, byte for byte; DAT and GeoPackage are written, an ending of no
    // format refused.
    void convertingAFitNotSavedGivesTheCommandsRows() {
        const QString points = dir_.filePath(QStringLiteral("convert.tsv"));
        std::ofstream(points.toStdString(), std::ios::binary) << CommonPointsText().toStdString();
        DatumDialog d;
        Choose(d);
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.Compute();
        QVERIFY2(d.HasResults(), qPrintable(d.message()));
        const PointFileChoice choice = GuessPointFile(points, {"X1", "Y1"});
        QVERIFY(choice.header);
        d.ConvertFile(points, choice);
        QTRY_VERIFY(!d.Converting());
        const QList<ResultsWindow*> windows = d.findChildren<ResultsWindow*>();
        QCOMPARE(windows.size(), 1);
        const ResultsWindow& w = *windows.front();
        QVERIFY(w.windowTitle().startsWith(QStringLiteral("转换结果")));
        QCOMPARE(w.model()->rowCount(), 10);
        QCOMPARE(w.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("点名"));
        QCOMPARE(w.model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("纵坐标 X2"));
        QCOMPARE(w.model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("X2"));
        const QString command = w.findChild<QLabel*>(QStringLiteral("command"))->text();
        QVERIFY2(command.contains(QStringLiteral("transform -p PARAMS --bom --header")),
                 qPrintable(command));
        // The printed report is the projection's: off for a transform, saying why.
        for (QAction* a : w.findChild<QToolBar*>()->actions()) {
            if (a->text().startsWith(QStringLiteral("打印"))) {
                QVERIFY(!a->isEnabled() && !a->toolTip().isEmpty());
            }
        }

        QString error;
        const QString saved = dir_.filePath(QStringLiteral("convert-params.txt"));
        QVERIFY2(d.SaveParametersTo(saved, error), qPrintable(error));
        const QString byCli = dir_.filePath(QStringLiteral("convert-cli.csv"));
        const std::string transform[] = {"transform",         "-p", saved.toStdString(), "--bom",
                                         "--header",          "-o", byCli.toStdString(), "--quiet",
                                         points.toStdString()};
        std::vector<std::string_view> run(std::begin(transform), std::end(transform));
        std::ostringstream said;
        QCOMPARE(cli::RunDatumCommand(run, {0, 1, said, said, false, {}}), 0);
        const QString exported = dir_.filePath(QStringLiteral("convert-window.csv"));
        QStringList warnings;
        QVERIFY2(ResultsWindow::WriteResults(w.result(), exported, &error, &warnings),
                 qPrintable(error));
        QCOMPARE(ReadAll(exported), ReadAll(byCli));
        QVERIFY(ReadAll(exported).rfind("\xEF\xBB\xBF"
                                        "name,X1,Y1,X2,Y2",
                                        0) == 0);

        // CASS: name, no code, Y2 before X2, as the CSV has them.
        const QString dat = dir_.filePath(QStringLiteral("convert.dat"));
        QVERIFY2(ResultsWindow::WriteResults(w.result(), dat, &error, &warnings),
                 qPrintable(error));
        const std::string datText = ReadAll(dat);
        QCOMPARE(std::count(datText.begin(), datText.end(), '\n'), 10);
        const ResultsModel& m = *w.model();
        const std::string first =
            m.Fields(0)[0] + ",," + m.Fields(0)[4] + "," + m.Fields(0)[3] + ",\r\n";
        QVERIFY2(datText.rfind(first, 0) == 0, datText.c_str());
        const QString gpkg = dir_.filePath(QStringLiteral("convert.gpkg"));
        QVERIFY2(ResultsWindow::WriteResults(w.result(), gpkg, &error, &warnings),
                 qPrintable(error));
        QVERIFY(QFileInfo(gpkg).size() > 0);
        const QString kmz = dir_.filePath(QStringLiteral("convert.kmz"));
        QVERIFY(!ResultsWindow::WriteResults(w.result(), kmz, &error, &warnings));
        QVERIFY2(error.contains(QStringLiteral(".csv .dat .dxf .gpkg .shp .kml")),
                 qPrintable(error));
        QVERIFY(!QFile::exists(kmz));
    }

    // A file in GB18030 (水塔) is read as its choice says, through the engine's decoding.
    void convertsAFileInGb18030() {
        const QString gb = dir_.filePath(QStringLiteral("gb.csv"));
        std::ofstream(gb.toStdString(), std::ios::binary)
            << "name,X,Y\n\xCB\xAE\xCB\xFE,3500500,481000\n";
        DatumDialog d;
        Choose(d);
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.Compute();
        const PointFileChoice choice = GuessPointFile(gb, {"X1", "Y1"});
        QCOMPARE(choice.encoding.toLower(), QStringLiteral("gb18030"));
        d.ConvertFile(gb, choice);
        QTRY_VERIFY(!d.Converting());
        const QList<ResultsWindow*> windows = d.findChildren<ResultsWindow*>();
        QCOMPARE(windows.size(), 1);
        QCOMPARE(windows.front()->model()->Fields(0)[0], std::string("水塔"));
        QVERIFY(d.TransformCommand(gb, choice).find("--encoding GB18030 --header") !=
                std::string::npos);
    }

    // A line that does not read is listed in transform's words, as quorvel-batch says it.
    void rejectedLinesAreSaidAsTransformSaysThem() {
        const QString file = dir_.filePath(QStringLiteral("bad.csv"));
        std::ofstream(file.toStdString(), std::ios::binary)
            << "A1,3500500,481000\nA2,3500x,481000\nA3,3500600\n";
        DatumDialog d;
        Choose(d);
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.Compute();
        QString error;
        const QString saved = dir_.filePath(QStringLiteral("bad-params.txt"));
        QVERIFY2(d.SaveParametersTo(saved, error), qPrintable(error));
        d.ConvertFile(file, PointFileChoice{});
        QTRY_VERIFY(!d.Converting());
        const QList<ResultsWindow*> windows = d.findChildren<ResultsWindow*>();
        QCOMPARE(windows.size(), 1);
        const FileJobResult& r = windows.front()->result();
        QCOMPARE(r.counts.points, std::size_t{1});
        QCOMPARE(r.diagnostics.size(), std::size_t{2});
        auto* rejected = windows.front()->findChild<QTableView*>(QStringLiteral("rejected"));
        QVERIFY(rejected != nullptr);
        const std::string args[] = {"transform",
                                    "-p",
                                    saved.toStdString(),
                                    "-o",
                                    dir_.filePath(QStringLiteral("bad-out.csv")).toStdString(),
                                    file.toStdString()};
        std::vector<std::string_view> views(std::begin(args), std::end(args));
        std::ostringstream said;
        QCOMPARE(cli::RunDatumCommand(views, {0, 1, said, said, false, {}}), 1);
        for (int row = 0; row < 2; ++row) {
            const QAbstractItemModel* m = rejected->model();
            const std::string line = file.toStdString() + ":" +
                                     m->index(row, 0).data().toString().toStdString() + ": " +
                                     m->index(row, 1).data().toString().toStdString();
            QVERIFY2(said.str().find(line) != std::string::npos,
                     (line + " | " + said.str()).c_str());
        }
    }

    // Cancelled in the progress dialog: no results window, the dialog as it was.
    void cancelLeavesNoResultsWindow() {
        const QString big = dir_.filePath(QStringLiteral("big.tsv"));
        {
            std::ofstream out(big.toStdString(), std::ios::binary);
            for (int i = 0; i < 400000; ++i)
                out << 'P' << i << '\t' << 3500000 + i % 1000 << '\t' << 480000 + i % 700 << '\n';
        }
        DatumDialog d;
        Choose(d);
        QCOMPARE(d.points()->PasteRows(CommonPointsText()), 10);
        d.Compute();
        const std::string before = d.message().toStdString();
        d.ConvertFile(big, PointFileChoice{});
        QVERIFY(d.Converting());
        QProgressDialog* progress = d.findChild<QProgressDialog*>();
        QVERIFY(progress != nullptr);
        progress->cancel();
        QTRY_VERIFY(!d.Converting());
        QCoreApplication::processEvents();
        QVERIFY(d.findChildren<ResultsWindow*>().isEmpty());
        QCOMPARE(d.message().toStdString(), before);
        QVERIFY(d.HasResults());
    }

    // A file the parameters do not belong to is refused in transform's words, in a message box,
    // and nothing shows as converted.
    void refusedFileShowsTheRefusal() {
        DatumDialog fitted;
        Choose(fitted);
        QCOMPARE(fitted.points()->PasteRows(CommonPointsText()), 10);
        fitted.Compute();
        const QString saved = dir_.filePath(QStringLiteral("refuse-params.txt"));
        QString error;
        QVERIFY2(fitted.SaveParametersTo(saved, error), qPrintable(error));
        // Longitude and latitude where plane X and Y belong.
        const QString wrong = dir_.filePath(QStringLiteral("lb.csv"));
        std::ofstream(wrong.toStdString(), std::ios::binary) << "P1,39.5,116.3\nP2,39.6,116.4\n";

        DatumDialog d;
        QVERIFY2(d.LoadParametersFrom(saved, error), qPrintable(error));
        d.ConvertFile(wrong, PointFileChoice{});
        QVERIFY(d.Converting());
        QTRY_VERIFY(!d.Converting());
        QVERIFY(d.findChildren<ResultsWindow*>().isEmpty());
        QMessageBox* box = d.findChild<QMessageBox*>();
        QVERIFY2(box != nullptr && box->isVisible(), qPrintable(d.message()));
        const std::string args[] = {"transform", "-p", saved.toStdString(), "--quiet",
                                    wrong.toStdString()};
        std::vector<std::string_view> views(std::begin(args), std::end(args));
        std::ostringstream said;
        QCOMPARE(cli::RunDatumCommand(views, {0, 1, said, said, false, {}}), 2);
        QVERIFY2(
            !box->text().isEmpty() &&
                said.str().find(box->text().toStdString()) != std::string::npos,
            qPrintable(box->text() + QStringLiteral(" | ") + QString::fromStdString(said.str())));
        QCOMPARE(d.message(), box->text());
        box->close();
    }
};

QTEST_MAIN(DatumDialogTest)
#include "datum_dialog_test.moc"
