#include "engine/datum/datum_operation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/command_line.h"
#include "cli/datum_command.h"
#include "core/number_text.h"
#include "csv_records.h"
#include "datum_jobs.h"
#include "engine/datum/transform_checks.h"
#include "engine/run/process.h"
#include "engine/run/row_store.h"
#include "engine/run/run.h"
#include "engine/writers/dat_sink.h"

namespace quorvel::engine {
namespace {

namespace fs = std::filesystem;
using cli::Environment;
using cli::RunDatumCommand;

constexpr std::string_view kParameters = testing::kZone39Parameters;
constexpr std::string_view kCommon = testing::kZone39Common;
TransformJob Transform() {
    return testing::Zone39Transform();
}
FitJob Fit() {
    return testing::Zone39Fit();
}

struct Kept : RowSink, DiagnosticSink {
    std::vector<std::string> columns;
    struct Point {
        std::uint64_t line;
        std::string name;
        std::vector<std::string> typed;
        std::vector<double> results;
        std::vector<std::string> passed;
    };
    std::vector<Point> points;
    std::vector<Diagnostic> diagnostics;

    void Begin(const std::vector<std::string>& c) override { columns = c; }
    void Encode(const RowBlock&, std::string&) const override {}
    void Take(const RowBlock& rows, std::string_view) override {
        for (const Row& r : rows) {
            const std::string_view typed[] = {r.first, r.second, r.third};
            const double results[] = {r.result1, r.result2, r.result3};
            points.push_back({r.line,
                              std::string(r.name),
                              {typed, typed + r.values},
                              {results, results + r.results},
                              {r.passed.begin(), r.passed.end()}});
        }
    }
    void Take(const Diagnostic& d) override { diagnostics.push_back(d); }

    std::vector<std::pair<Problem, std::uint64_t>> Said() const {
        std::vector<std::pair<Problem, std::uint64_t>> said;
        for (const Diagnostic& d : diagnostics) said.emplace_back(d.problem, d.line);
        return said;
    }
};

TransformOutcome RunTransformOn(const TransformJob& job, const std::string& text, Kept& kept,
                                int threads = 1) {
    StringSource in(text, 7);
    RowSink* const sinks[] = {&kept};
    return RunTransform(job, in, "in.csv", sinks, kept, {threads, 64});
}

using P = std::pair<Problem, std::uint64_t>;

// Every line of a transform's input is read as quorvel-batch reads every other file, and
// refused with the same problems, in line order, whatever the threads.
TEST(DatumOperation, TransformReadsLinesAsEveryRun) {
    const std::string text =
        "name,X,Y,note\n"
        "D01,4416191.638,39479050.950,a\n"
        "D02,4432546.724,39474346.177,b,surplus\n"
        "D03," +
        std::string(70000, '1') +
        ",39474346.177\n"
        "D04,44165\xff"
        "91.638,39479050.950\n"
        "D05,\"4416191.638,39479050.950\n"
        "D06,4426794.100\n"
        "D07,4426794.1OO,39491941.335\n"
        "D08,4426794.100,39491941.335,,,\n";
    for (int threads : {1, 3}) {
        TransformJob job = Transform();
        job.reading.header = true;
        Kept kept;
        const RunCounts counts = RunTransformOn(job, text, kept, threads).counts;
        EXPECT_EQ(counts.points, 2u);
        EXPECT_EQ(counts.rejected, 6u);
        EXPECT_EQ(kept.Said(), (std::vector<P>{{Problem::SurplusFields, 3},
                                               {Problem::LineTooLong, 4},
                                               {Problem::InvalidUtf8, 5},
                                               {Problem::UnclosedQuote, 6},
                                               {Problem::TooFewFields, 7},
                                               {Problem::NotANumber, 8}}));
        EXPECT_EQ(kept.columns, (std::vector<std::string>{"name", "X1", "Y1", "X2", "Y2", "note"}));
        ASSERT_EQ(kept.points.size(), 2u);
        EXPECT_EQ(kept.points[1].line, 9u);
        EXPECT_EQ(kept.points[1].passed, std::vector<std::string>{""});
        EXPECT_EQ(Describe(kept.diagnostics[0], job),
                  "5 fields, but the output has columns for the 4 of line 1 (the header): field "
                  "5 \"surplus\" would be lost; give line 1 as many fields (empty ones will "
                  "do), or quote a field that holds a separator");
        EXPECT_EQ(Describe(kept.diagnostics[3], job), "X1: the quote is not closed on this line");
    }
}

// A header that reads as a point is warned of in its place among the lines, after a line
// before it that is rejected, as every run's diagnostics come in input order.
TEST(DatumOperation, HeaderThatReadsAsAPointIsWarnedInItsPlace) {
    const std::string text = std::string(70000, 'x') + "\nD01,4416191.638,39479050.950\n" +
                             "D02,4432546.724,39474346.177\n";
    TransformJob transform = Transform();
    transform.reading.header = true;
    Kept kept;
    RunTransformOn(transform, text, kept);
    const std::vector<P> expected = {{Problem::LineTooLong, 1}, {Problem::HeaderReadsAsPoint, 2}};
    EXPECT_EQ(kept.Said(), expected);

    Job job;
    job.meridians.lo = 117;
    job.header = true;
    Kept projected;
    StringSource in("#\n" + text, 5);
    RowSink* const sinks[] = {&projected};
    RunJob(job, in, sinks, projected, {1, 64});
    const std::vector<P> said = projected.Said();
    ASSERT_GE(said.size(), 2u);
    EXPECT_EQ(said[0], P(Problem::LineTooLong, 2));
    EXPECT_EQ(said[1], P(Problem::HeaderReadsAsPoint, 3));
}

// The first point decides whether input and parameter file belong together: degrees where the
// file's plane metres belong refuse the run before any row is handed on.
TEST(DatumOperation, TransformRefusesAnInputOfAnotherSystemBeforeAnyRow) {
    Kept kept;
    const std::string text = "bad line\nD01,116.3,39.9\nD02,4432546.724,39474346.177\n";
    const TransformOutcome outcome = RunTransformOn(Transform(), text, kept);
    ASSERT_TRUE(outcome.refusal) << "not refused";
    const std::string& words = outcome.refusal->words;
    EXPECT_NE(words.find("in.csv:2: X1 \"116.3\", Y1 \"39.9\""), std::string::npos) << words;
    EXPECT_NE(words.find("is p.txt the parameter file"), std::string::npos);
    EXPECT_TRUE(kept.points.empty());
}

// Points far outside the file's area are counted into one warning after every line's.
TEST(DatumOperation, FarPointsAreOneWarningAtTheEnd) {
    Kept kept;
    const std::string text =
        "D01,4416191.638,39479050.950\n"
        "F1,4540600.7,39601756.0\nF2,4640600.7,39601756.0\n"
        "F3,4540600.7,39601756.x\n";
    RunTransformOn(Transform(), text, kept, 3);
    ASSERT_EQ(kept.Said(), (std::vector<P>{{Problem::NotANumber, 4}, {Problem::FarPoints, 3}}));
    EXPECT_EQ(kept.diagnostics[1].count, 2u);
    EXPECT_EQ(kept.diagnostics[1].text, "F2");
    EXPECT_NE(Describe(kept.diagnostics[1], Transform()).find("the farthest, F2 on line 3"),
              std::string::npos);
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The rows the typed API hands on are quorvel-batch's CSV records, to the last bit with --full.
TEST(DatumOperation, TransformRowsAreTheCommandsCsv) {
    const fs::path dir = fs::temp_directory_path() / ("quorvel-datum-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "p.txt") << kParameters;
    const std::string text =
        "名称,X,Y,备注\n"
        "D01,4416191.638,39479050.950,界桩\n"
        "\"D,02\",4432546.724,39474346.177\n"
        "D03,4426794.100,39491941.335,\"a \"\"b\"\"\"\n";
    std::ofstream(dir / "in.csv") << text;
    std::ostringstream out, err;
    const Environment env{0, 1, out, err, false, {}};
    const std::string p = (dir / "p.txt").string(), o = (dir / "out.csv").string(),
                      in = (dir / "in.csv").string();
    const std::string_view args[] = {"transform", "-p", p, "--header", "--full", "-o", o, in};
    ASSERT_EQ(RunDatumCommand(args, env), 0) << err.str();
    const auto records = testing::Records(Slurp(dir / "out.csv"));
    fs::remove_all(dir);

    TransformJob job = Transform();
    job.reading.header = true;
    Kept kept;
    RunTransformOn(job, text, kept, 3);
    ASSERT_EQ(records.size(), kept.points.size() + 1);
    EXPECT_EQ(records[0], kept.columns);
    // Quoted names and fields are compared where the test's plain CSV reader splits them alike.
    EXPECT_EQ(kept.points[1].name, "D,02");
    for (std::size_t i = 0; i < kept.points.size(); ++i) {
        const auto& point = kept.points[i];
        const auto& record = records[i + 1];
        if (i != 1) {
            EXPECT_EQ(record[0], point.name);
        }
        const std::size_t at = i == 1 ? 2 : 1;
        EXPECT_EQ(record[at], point.typed[0]);
        EXPECT_EQ(record[at + 1], point.typed[1]);
        EXPECT_EQ(ParseNumber(record[at + 2]), point.results[0]);
        EXPECT_EQ(ParseNumber(record[at + 3]), point.results[1]);
    }
    EXPECT_EQ(records[1][5], "界桩");
    EXPECT_EQ(records[2].back(), "");
}

// A fit reads its common points as every run reads lines: each line that does not read is
// said, and refuses the fit unless skipBadLines asks to fit without it.
TEST(DatumOperation, FitReadsCommonPointsAsEveryRun) {
    std::string text = "name,X54,Y54,X2000,Y2000\n" + std::string(kCommon) +
                       "G05,4440600.714,39501756.017,4440456.813,39501633.696,extra\n" + "G06," +
                       std::string(70000, '2') + "\n" +
                       "G07,\"4440600.714,39501756.017,4440456.813,39501633.696\n" +
                       "G08,4440600.714,39501756.017,4440456.813,\n" +
                       "G09,4440600.714,3950175\xc3(.017,4440456.813,39501633.696\n";
    FitJob job = Fit();
    job.reading.header = true;
    StringSource refused(text, 11);
    Kept kept;
    const FitOutcome refusedFit = RunFit(job, refused, "common.csv", kept, {2, 64});
    ASSERT_TRUE(refusedFit.refusal) << "not refused";
    EXPECT_NE(refusedFit.refusal->words.find("common.csv:6: 5 common points that do not read"),
              std::string::npos)
        << refusedFit.refusal->words;
    const std::vector<P> said = {{Problem::SurplusFields, 6},
                                 {Problem::LineTooLong, 7},
                                 {Problem::UnclosedQuote, 8},
                                 {Problem::EmptyValue, 9},
                                 {Problem::InvalidUtf8, 10}};
    EXPECT_EQ(kept.Said(), said);
    EXPECT_EQ(Describe(kept.diagnostics[3], job), "Y2: empty, not a number");

    job.skipBadLines = true;
    job.checks = {"G03"};
    StringSource in(text, 11);
    Kept again;
    const FitOutcome fit = RunFit(job, in, "common.csv", again, {2, 64});
    EXPECT_EQ(again.Said(), said);
    EXPECT_EQ(fit.counts.points, 4u);
    EXPECT_EQ(fit.counts.rejected, 5u);
    ASSERT_EQ(fit.points.size(), 4u);
    EXPECT_EQ(fit.points[1].name, "G02");
    EXPECT_EQ(fit.points[1].source[1], 39482022.914);
    EXPECT_EQ(fit.points[1].target[0], 4420254.500);
    EXPECT_TRUE(fit.points[2].check);
    EXPECT_EQ(fit.result.checked, 1);
}

// A header line that reads as a common point is warned of; a fit of too few points, refused.
TEST(DatumOperation, FitWarnsOfAHeaderThatReadsAndRefusesTooFewPoints) {
    FitJob job = Fit();
    job.reading.header = true;
    StringSource in(std::string(kCommon.substr(0, kCommon.find('\n') + 1)) + "G02,1,2,3,4\n");
    Kept kept;
    EXPECT_TRUE(RunFit(job, in, "c.csv", kept).refusal);
    EXPECT_EQ(kept.Said(), (std::vector<P>{{Problem::HeaderReadsAsPoint, 1}}));
}

// The command line's exit statuses over the typed runs: 1 with lines rejected, 2 for a fit
// that a bad line refuses, with nothing written.
TEST(DatumOperation, CommandExitStatuses) {
    const fs::path dir = fs::temp_directory_path() / ("quorvel-exit-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "p.txt") << kParameters;
    std::ofstream(dir / "in.csv") << "D01,4416191.638,39479050.950\nD02,x,1\n";
    std::ofstream(dir / "common.csv") << kCommon << "G9,1\n";
    const std::string p = (dir / "p.txt").string(), o = (dir / "out.csv").string();
    const std::string in = (dir / "in.csv").string(), common = (dir / "common.csv").string();
    std::ostringstream out, err;
    const Environment env{0, 1, out, err, false, {}};
    const std::string_view transform[] = {"transform", "-p", p, "-o", o, in};
    EXPECT_EQ(RunDatumCommand(transform, env), 1);
    EXPECT_NE(err.str().find(in + ":2: X1: \"x\" is not a number\n"), std::string::npos)
        << err.str();
    fs::remove(o);
    const std::string_view fit[] = {"fit",
                                    "--from",
                                    "plane:krassovsky:zone3",
                                    "--to",
                                    "plane:cgcs2000:zone3",
                                    "--model",
                                    "4",
                                    "-o",
                                    o,
                                    common};
    EXPECT_EQ(RunDatumCommand(fit, env), 2);
    EXPECT_FALSE(fs::exists(o));
    fs::remove_all(dir);
}

// The rows the window keeps of a transform with a height model, alone or beside the datum: the
// height as read and the one computed in their own columns, and replayed into the CSV exactly as
// the run writes it.
TEST(DatumOperation, RowStoreKeepsTheHeightModelsColumns) {
    const std::string height =
        "height_model = fixed\nheight_x0 = 4416000\nheight_y0 = 39479000\n"
        "height_scale = 1000\nheight_a0 = 9.5\n";
    const std::string text =
        "D01,4416191.638,39479050.950,60.25,a\nD02,4432546.724,39474346.177,,b\n";
    for (const bool datum : {true, false}) {
        TransformJob job;
        job.parameters = ReadParameterFile(datum ? std::string(kParameters) + height : height);
        job.parameterName = "p.txt";
        StringSink direct;
        RowStore store(job);
        {
            OutputBuffer out(direct);
            TransformCsvSink csv(job, out);
            RowSink* const sinks[] = {&csv, &store};
            StringSource in(text, 7);
            Kept kept;
            ASSERT_FALSE(RunTransform(job, in, "in.csv", sinks, kept, {1, 64}).refusal);
        }
        const std::size_t h = datum ? 5 : 3;
        std::vector<std::string> columns = {"name", "X", "Y", "h", "H", "field5"};
        if (datum) columns = {"name", "X1", "Y1", "X2", "Y2", "h", "H", "field5"};
        EXPECT_EQ(store.Columns(), columns);
        EXPECT_EQ(store.Cell(0, h), "60.25");
        EXPECT_EQ(store.Cell(0, h + 1), "50.7500");
        EXPECT_EQ(store.Cell(0, h + 2), "a");
        EXPECT_EQ(store.Cell(1, h), "");
        EXPECT_EQ(store.Cell(1, h + 1), "");
        EXPECT_EQ(store.Cell(1, h + 2), "b");
        StringSink replayed;
        {
            OutputBuffer out(replayed);
            TransformCsvSink csv(job, out);
            store.Replay(csv);
        }
        EXPECT_EQ(replayed.text, direct.text);
        EXPECT_NE(direct.text.find(",60.25,50.7500,a\r\n"), std::string::npos) << direct.text;
        // A CASS drawing of them: the normal height computed, the points where the file puts
        // them (a height model alone moves none).
        StringSink dat;
        {
            OutputBuffer out(dat);
            DatSink sink(job, out);
            store.Replay(sink);
        }
        EXPECT_NE(dat.text.find(datum ? ",50.7500\r\nD02,"
                                      : "D01,,39479050.9500,4416191.6380,50.7500\r\n"),
                  std::string::npos)
            << dat.text;
        EXPECT_TRUE(dat.text.ends_with(",\r\n")) << dat.text;
    }
}

}  // namespace
}  // namespace quorvel::engine
