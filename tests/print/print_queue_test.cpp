// Runs under tests/print/with_cups.sh: a private CUPS scheduler whose default queue copies
// each job's document to QUORVEL_PRINT_JOBS as job-<id>.pdf.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QThread>

#include "batch/report_input.h"
#include "csv_fixture.h"
#include "print/cups_queue.h"
#include "print/report_printer.h"
#include "print_test_util.h"
#include "report/batch_session.h"

namespace quorvel {
namespace {

using testing::PdfLines;
using testing::Session;

QStringList Jobs(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("job-*.pdf")}, QDir::Files, QDir::Name);
}

// A typed angle as the report shows it: the same digits, eight decimals; under ".00000000" no
// integer digit for values below one.
std::string EightDecimals(std::string typed, bool integerDigit = true) {
    if (typed.find('.') == std::string::npos) typed += '.';
    while (typed.size() - typed.find('.') - 1 < 8) typed += '0';
    if (!integerDigit && typed.starts_with("0.")) typed.erase(0, 1);
    return typed;
}

// Waits until `count` jobs have landed.
QStringList WaitForJobs(const QString& folder, int count) {
    QElapsedTimer timer;
    timer.start();
    while (Jobs(folder).size() < count && timer.elapsed() < 60000) QThread::msleep(50);
    return Jobs(folder);
}

TEST(PrintQueue, StoredBatchArrivesAtTheDefaultQueueAsTheReport) {
    const QString queue = qEnvironmentVariable("QUORVEL_PRINT_QUEUE");
    const QString jobs = qEnvironmentVariable("QUORVEL_PRINT_JOBS");
    ASSERT_FALSE(jobs.isEmpty()) << "run this under tests/print/with_cups.sh";
    ASSERT_EQ(QPrinterInfo::defaultPrinter().printerName(), queue);

    // Nothing to print: not even an empty job may reach the queue.
    Session s;
    EXPECT_EQ(PrintBatchReport(ReportInputFrom(s.state)).outcome, PrintOutcome::NothingToPrint);

    // Three points of the reference results, one of them re-entered after a refusal.
    const auto rows = testing::ReadFixture("forward.csv");
    std::vector<const testing::Row*> used;
    for (const auto& row : rows) {
        if (row.at("Lo_text") == "117" && row.at("flags").empty()) used.push_back(&row);
        if (used.size() == 3) break;
    }
    ASSERT_EQ(used.size(), 3u);
    std::vector<std::array<std::string, 3>> points;
    for (const auto* row : used) points.push_back({"P", row->at("L_text"), row->at("B_text")});
    s.Forward(points, "117");

    const PrintResult printed = PrintBatchReport(ReportInputFrom(s.state));
    ASSERT_EQ(printed.outcome, PrintOutcome::Printed) << printed.message.toStdString();
    EXPECT_EQ(printed.printer, queue);
    ASSERT_EQ(WaitForJobs(jobs, 1), QStringList{"job-1.pdf"})
        << "the first job must be the report: nothing was sent for the empty state";

    const QStringList lines = PdfLines(QDir(jobs).filePath("job-1.pdf"));
    ASSERT_EQ(lines.size(), 3 + 3) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], "大地正算( 共3 个点 )");
    EXPECT_EQ(lines[1], "中央子午线经度 : Lo= 117 ( 度,分,秒 )");
    EXPECT_EQ(lines[2], "序号 L B X Y");
    for (int i = 0; i < 3; ++i) {
        const QStringList row = lines[3 + i].split(' ');
        ASSERT_EQ(row.size(), 6) << lines[3 + i].toStdString();
        EXPECT_EQ(row[0], QString::number(i + 1));
        EXPECT_EQ(row[2].toStdString(), EightDecimals(used[i]->at("L_text")));
        EXPECT_EQ(row[3].toStdString(), EightDecimals(used[i]->at("B_text"), false));
        EXPECT_EQ(row[4].toStdString(), used[i]->at("X_text"));
        EXPECT_EQ(row[5].toStdString(), used[i]->at("Y_text"));
    }

    // A count typed later without a batch changes nothing: the same report, a second time.
    s.Run(4, 9, {});
    ASSERT_EQ(PrintBatchReport(ReportInputFrom(s.state)).outcome, PrintOutcome::Printed);
    ASSERT_EQ(WaitForJobs(jobs, 2), (QStringList{"job-1.pdf", "job-2.pdf"}));
    EXPECT_EQ(PdfLines(QDir(jobs).filePath("job-2.pdf")), lines);
}

// The queue's administration, as a person would do it with CUPS's own tools.
void Admin(const QString& tool, const QStringList& args) {
    testing::RunTool(tool, args);
}

class RefusingQueue : public ::testing::Test {
  protected:
    void SetUp() override {
        queue = qEnvironmentVariable("QUORVEL_PRINT_QUEUE");
        jobs = qEnvironmentVariable("QUORVEL_PRINT_JOBS");
        ASSERT_FALSE(jobs.isEmpty()) << "run this under tests/print/with_cups.sh";
        ASSERT_TRUE(home.isValid());
        savedHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        s.Forward({{"A", "116.3045", "30.3030"}}, "117");
        jobsBefore = Jobs(jobs).size();
    }
    void TearDown() override {
        qputenv("HOME", savedHome);
        Admin("cupsaccept", {queue});
        Admin("lpadmin", {"-p", queue, "-o", "job-k-limit=0", "-o", "job-quota-period=0"});
    }
    // Saved in the home folder instead, naming the printer and CUPS's reason.
    void ExpectSavedInstead(const PrintResult& r, const QString& said, const QString& reason) {
        ASSERT_EQ(r.outcome, PrintOutcome::SavedAsPdf) << r.message.toStdString();
        EXPECT_EQ(r.printer, queue);
        EXPECT_TRUE(r.message.contains("打印机 " + queue + " " + said)) << r.message.toStdString();
        EXPECT_TRUE(r.message.contains(reason)) << r.message.toStdString();
        EXPECT_TRUE(r.message.contains(r.pdfPath)) << r.message.toStdString();
        EXPECT_EQ(PdfLines(r.pdfPath).value(0), "大地正算( 共1 个点 )");
        QThread::msleep(500);
        EXPECT_EQ(Jobs(jobs).size(), jobsBefore);
    }

    QString queue, jobs;
    QTemporaryDir home;
    QByteArray savedHome;
    Session s;
    qsizetype jobsBefore = 0;
};

TEST_F(RefusingQueue, NotAcceptingJobs) {
    Admin("cupsreject", {"-r", "纸盒已取出", queue});
    const PrintResult r = PrintBatchReport(ReportInputFrom(s.state));
    ExpectSavedInstead(r, "目前不接受打印作业", "CUPS：纸盒已取出");

    // A job handed over all the same is refused, with the scheduler's reason.
    const JobSubmission sent =
        SubmitJob(queue.toStdString(), QFile::encodeName(r.pdfPath).toStdString(), "t");
    EXPECT_EQ(sent.jobId, 0);
    EXPECT_FALSE(sent.ok);
    EXPECT_FALSE(sent.reason.empty());
}

TEST_F(RefusingQueue, RefusingTheJob) {
    // The queue takes jobs, but this user's quota is used up by the jobs already printed.
    if (jobsBefore == 0) {
        ASSERT_EQ(PrintBatchReport(ReportInputFrom(s.state)).outcome, PrintOutcome::Printed);
        jobsBefore = WaitForJobs(jobs, 1).size();
    }
    Admin("lpadmin", {"-p", queue, "-o", "job-quota-period=86400", "-o", "job-k-limit=1"});
    ASSERT_TRUE(AskQueue(queue.toStdString()).accepting);
    ExpectSavedInstead(PrintBatchReport(ReportInputFrom(s.state)), "拒绝了打印作业", "CUPS：");
}

}  // namespace
}  // namespace quorvel
