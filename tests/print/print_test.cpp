#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QPageRanges>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <cmath>

#include "batch/report_input.h"
#include "print/fonts.h"
#include "print/report_printer.h"
#include "print_test_util.h"
#include "report/batch_session.h"

namespace quorvel {
namespace {

using testing::PdfLines;
using testing::PdfWord;
using testing::PdfWords;
using testing::Session;

constexpr double kMarginPt = 10 / 25.4 * 72;  // the PDF's printable area starts 10 mm in

ReportInput ForwardInput(int rows) {
    ReportInput in;
    in.mode = Computation::Forward;
    in.pointCount = rows;
    in.centralMeridian = "117";
    for (int i = 0; i < rows; ++i) {
        in.rows.push_back({"117.153", "0.5", 3380000.12345 + i, 500000.0});
    }
    return in;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

const PdfWord* FindWord(const std::vector<PdfWord>& words, const QString& text, int page = 1) {
    for (const PdfWord& w : words) {
        if (w.page == page && w.text == text) return &w;
    }
    return nullptr;
}

class PdfReport : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
};

bool DrawPdf(const Report& report, const QString& path, QString* error = nullptr) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && WriteReportPdf(report, file, error);
}

// ---------------------------------------------------------------------------------------------
// The report drawn on a PDF reads back as its lines, with every item at its column.

TEST_F(PdfReport, ReadsBackLineByLine) {
    const QString pdf = Path("r.pdf");
    QString error;
    ASSERT_TRUE(DrawPdf(BuildReport(ForwardInput(2)), pdf, &error)) << error.toStdString();
    EXPECT_EQ(PdfLines(pdf), (QStringList{
                                 "大地正算( 共2 个点 )",
                                 "中央子午线经度 : Lo= 117 ( 度,分,秒 )",
                                 "序号 L B X Y",
                                 "1 : 117.15300000 .50000000 3380000.1234 500000.0000",
                                 "2 : 117.15300000 .50000000 3380001.1234 500000.0000",
                             }));
    EXPECT_EQ(testing::PdfPageCount(pdf), 1);
}

TEST_F(PdfReport, ReportFontHasHalfWidthLatinAsTheColumnRuleNeeds) {
    QPdfWriter writer(Path("unused.pdf"));
    InstallFontSubstitutions();
    for (int size : {10, 12}) {
        QFont font(QStringLiteral("宋体"));
        font.setPointSize(size);
        const QFontMetrics fm(font, &writer);
        // A digit one column wide, a Chinese character two: otherwise values overrun columns.
        EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("0")), fm.averageCharWidth()) << size;
        EXPECT_NEAR(fm.horizontalAdvance(QStringLiteral("序")), 2 * fm.averageCharWidth(), 1)
            << size;
        EXPECT_NEAR(fm.averageCharWidth() * 72.0 / writer.resolution(), size / 2.0, 0.1) << size;
    }
}

TEST_F(PdfReport, ItemsStandAtTheirColumnsAndTheTitle1500TwipsDown) {
    const QString pdf = Path("r.pdf");
    ReportInput in = ForwardInput(1);
    in.rows[0][2] = -12345678.5;  // too wide for its gap: Y goes to column 69 of the next line
    ASSERT_TRUE(DrawPdf(BuildReport(in), pdf));
    const std::vector<PdfWord> words = PdfWords(pdf);
    auto column = [](const PdfWord* w, double cellPt) {
        return w == nullptr ? -1.0 : (w->xMin - kMarginPt) / cellPt + 1;
    };
    QPdfWriter writer(Path("unused.pdf"));
    auto cellPt = [&](int size) {
        QFont font(QStringLiteral("宋体"));
        font.setPointSize(size);
        return QFontMetrics(font, &writer).averageCharWidth() * 72.0 / writer.resolution();
    };
    const double cell10 = cellPt(10), cell12 = cellPt(12);
    const PdfWord* title = FindWord(words, "大地正算(");
    ASSERT_NE(title, nullptr);
    EXPECT_NEAR(column(title, cell12), 30, 0.15);
    // The title's line starts 1500 twips (75 pt) down.
    EXPECT_NEAR(title->yMin, kMarginPt + 75, 2);

    EXPECT_NEAR(column(FindWord(words, "中央子午线经度"), cell10), 24, 0.15);
    EXPECT_NEAR(column(FindWord(words, "序号"), cell10), 24, 0.15);
    EXPECT_NEAR(column(FindWord(words, "L"), cell10), 36, 0.15);
    EXPECT_NEAR(column(FindWord(words, "B"), cell10), 49, 0.15);
    EXPECT_NEAR(column(FindWord(words, "X"), cell10), 62, 0.15);
    EXPECT_NEAR(column(FindWord(words, "Y"), cell10), 75, 0.15);
    EXPECT_NEAR(column(FindWord(words, "117.15300000"), cell10), 30, 0.15);
    EXPECT_NEAR(column(FindWord(words, ".50000000"), cell10), 43, 0.15);
    const PdfWord* x = FindWord(words, "-12345678.5000");
    const PdfWord* y = FindWord(words, "500000.0000");
    ASSERT_NE(x, nullptr);
    ASSERT_NE(y, nullptr);
    EXPECT_NEAR(column(x, cell10), 56, 0.15);
    EXPECT_NEAR(column(y, cell10), 69, 0.15);
    EXPECT_NEAR(y->yMin - x->yMin, 10 * 1.2, 3) << "Y belongs one line below X";
}

TEST_F(PdfReport, LongReportContinuesAtTheTopOfEachPageRepeatingNothing) {
    const QString pdf = Path("long.pdf");
    const int rows = 150;
    ASSERT_TRUE(DrawPdf(BuildReport(ForwardInput(rows)), pdf));
    const int pages = testing::PdfPageCount(pdf);
    ASSERT_GE(pages, 3);

    QPdfWriter same(Path("unused.pdf"));
    same.setPageLayout(ReportPdfPage());
    EXPECT_EQ(PageCount(LayoutReportOn(BuildReport(ForwardInput(rows)), same)), pages);

    int next = 1;
    const std::vector<PdfWord> words = PdfWords(pdf);
    for (int page = 1; page <= pages; ++page) {
        const QStringList lines = PdfLines(pdf, page, page);
        ASSERT_FALSE(lines.isEmpty()) << "blank page " << page;
        const bool first = page == 1;
        EXPECT_EQ(lines.join('\n').contains(QStringLiteral("序号")), first) << page;
        EXPECT_EQ(lines.join('\n').contains(QStringLiteral("大地正算")), first) << page;
        for (const QString& line : lines.mid(first ? 3 : 0)) {
            EXPECT_TRUE(line.startsWith(QString::number(next++) + " : ")) << line.toStdString();
        }
        if (!first) {
            // The first row of a later page stands at the top, not 1500 twips down.
            double top = 1e9;
            for (const PdfWord& w : words) {
                if (w.page == page) top = std::min(top, w.yMin);
            }
            EXPECT_LT(top, kMarginPt + 12) << page;
        }
    }
    EXPECT_EQ(next, rows + 1);

    // A print dialog's page range: those pages alone, the first of them first.
    {
        QPdfWriter part(Path("part.pdf"));
        part.setPageLayout(same.pageLayout());
        QPageRanges ranges;
        ranges.addRange(2, pages);
        part.setPageRanges(ranges);
        ASSERT_TRUE(PaintReport(BuildReport(ForwardInput(rows)), part, nullptr));
    }
    EXPECT_EQ(testing::PdfPageCount(Path("part.pdf")), pages - 1);
    EXPECT_EQ(PdfLines(Path("part.pdf"), 1, 1), PdfLines(pdf, 2, 2));
}

TEST_F(PdfReport, PrintingTwiceDrawsTheSameDocument) {
    const Report report = BuildReport(ForwardInput(40));
    ASSERT_TRUE(DrawPdf(report, Path("a.pdf")));
    ASSERT_TRUE(DrawPdf(report, Path("b.pdf")));
    // The words and their boxes; the head holds the creation time, which may differ by a second.
    auto body = [this](const QString& name) {
        const QString text = testing::RunTool("pdftotext", {"-bbox", Path(name), "-"});
        return text.mid(text.indexOf(QStringLiteral("<body>")));
    };
    const QString a = body("a.pdf");
    const QString b = body("b.pdf");
    EXPECT_TRUE(a.contains(QStringLiteral("<word"))) << a.toStdString();
    EXPECT_EQ(a, b);
}

TEST_F(PdfReport, EmptyReportDrawsNothing) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_FALSE(WriteReportPdf(Report{}, buffer, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(buffer.data().isEmpty());
}

// ---------------------------------------------------------------------------------------------
// The print button with no printer reachable (CUPS_SERVER names a socket nobody listens on).

class NoPrinter : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QPrinterInfo::defaultPrinter().isNull())
            << "this test needs CUPS_SERVER to point where no scheduler listens";
        ASSERT_TRUE(home.isValid());
        savedHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override { qputenv("HOME", savedHome); }

    QTemporaryDir home;
    QByteArray savedHome;
    const QDateTime when{QDate(2026, 12, 8), QTime(14, 3, 5)};
};

TEST_F(NoPrinter, SavesANewPdfInTheDocumentsFolderAndSaysWhere) {
    ASSERT_TRUE(QDir(home.path()).mkdir("Documents"));
    const QString docs = home.filePath("Documents");
    Session s;
    s.Forward({{"A", "116.3045", "30.3030"}, {"B", "117.2930", "30.3030"}}, "117");

    const PrintResult first = PrintBatchReport(ReportInputFrom(s.state), when);
    ASSERT_EQ(first.outcome, PrintOutcome::SavedAsPdf) << first.message.toStdString();
    EXPECT_EQ(first.pdfPath, docs + "/Quorvel 大地正算 2026-12-08 14-03-05.pdf");
    EXPECT_TRUE(first.message.contains(first.pdfPath)) << first.message.toStdString();
    const QStringList lines = PdfLines(first.pdfPath);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "大地正算( 共2 个点 )");
    EXPECT_EQ(lines[4], "2 : 117.29300000 30.30300000 3376628.3754 547196.5246");

    // Same second, and a file of the user's own under the third name: neither is touched.
    const QByteArray firstBytes = ReadAll(first.pdfPath);
    ASSERT_TRUE(WriteFile(docs + "/Quorvel 大地正算 2026-12-08 14-03-05 (3).pdf", "mine"));
    const PrintResult second = PrintBatchReport(ReportInputFrom(s.state), when);
    const PrintResult third = PrintBatchReport(ReportInputFrom(s.state), when);
    EXPECT_EQ(second.pdfPath, docs + "/Quorvel 大地正算 2026-12-08 14-03-05 (2).pdf");
    EXPECT_EQ(third.pdfPath, docs + "/Quorvel 大地正算 2026-12-08 14-03-05 (4).pdf");
    EXPECT_EQ(ReadAll(first.pdfPath), firstBytes);
    EXPECT_EQ(ReadAll(docs + "/Quorvel 大地正算 2026-12-08 14-03-05 (3).pdf"), "mine");
    EXPECT_EQ(PdfLines(third.pdfPath), lines);
    EXPECT_EQ(Entries(docs).size(), 4) << Entries(docs).join(", ").toStdString();
}

TEST_F(NoPrinter, SavedFileIsMadeAsAnyNewFileOfTheUser) {
    Session s;
    s.Forward({{"A", "116.3045", "30.3030"}}, "117");
    const mode_t saved = ::umask(077);
    const PrintResult secret = PrintBatchReport(ReportInputFrom(s.state), when);
    ::umask(022);
    const PrintResult shared = PrintBatchReport(ReportInputFrom(s.state), when);
    ::umask(saved);
    ASSERT_EQ(secret.outcome, PrintOutcome::SavedAsPdf);
    ASSERT_EQ(shared.outcome, PrintOutcome::SavedAsPdf);
    const auto kOwner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                         QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFileInfo(secret.pdfPath).permissions() & (kOwner | kOthers), kOwner);
    EXPECT_EQ(QFileInfo(shared.pdfPath).permissions() & (kOwner | kOthers),
              kOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

TEST_F(NoPrinter, UsesTheHomeFolderWhenThereIsNoDocumentsFolder) {
    Session s;
    s.Zone({{"Z", "3380000", "612345.678"}}, "117", "120");
    const PrintResult r = PrintBatchReport(ReportInputFrom(s.state), when);
    ASSERT_EQ(r.outcome, PrintOutcome::SavedAsPdf) << r.message.toStdString();
    EXPECT_EQ(r.pdfPath, home.path() + "/Quorvel 座标换带 2026-12-08 14-03-05.pdf");
    EXPECT_TRUE(QFileInfo(r.pdfPath).isFile());
    EXPECT_FALSE(QFileInfo::exists(home.filePath("Documents")));
}

TEST_F(NoPrinter, NothingToPrintWritesNothing) {
    // The window says why and what to do; the printer surface only reports it.
    Session s;
    PrintResult r = PrintBatchReport(ReportInputFrom(s.state), when);
    EXPECT_EQ(r.outcome, PrintOutcome::NothingToPrint);
    EXPECT_TRUE(r.message.isEmpty());

    // A later count without a batch, a batch left with Cancel, or one that failed, leaves
    // nothing to print either.
    s.Run(4, 3, {});
    EXPECT_EQ(PrintBatchReport(ReportInputFrom(s.state), when).outcome,
              PrintOutcome::NothingToPrint);
    s.prompt.Answer({"2", "1", "", "P", testing::kCancel});
    s.batches.Command2_click();
    EXPECT_EQ(PrintBatchReport(ReportInputFrom(s.state), when).outcome,
              PrintOutcome::NothingToPrint);
    s.state.Constants = EllipsoidConstants();
    s.prompt.Answer({"3", "1", ""});
    EXPECT_ANY_THROW(s.batches.Command2_click());
    EXPECT_EQ(PrintBatchReport(ReportInputFrom(s.state), when).outcome,
              PrintOutcome::NothingToPrint);
    EXPECT_TRUE(Entries(home.path()).isEmpty()) << Entries(home.path()).join(", ").toStdString();
}

TEST_F(NoPrinter, UnwritableFolderIsReportedAsAFailure) {
    const QString missing = home.filePath("gone");
    qputenv("HOME", missing.toUtf8());
    Session s;
    s.Inverse({{"I", "3380000", "500000"}}, "117");
    const PrintResult r = PrintBatchReport(ReportInputFrom(s.state), when);
    EXPECT_EQ(r.outcome, PrintOutcome::Failed);
    EXPECT_TRUE(r.message.contains(missing)) << r.message.toStdString();
    EXPECT_TRUE(r.pdfPath.isEmpty());
}

}  // namespace
}  // namespace quorvel
