// The datum runs' refusals come back as values through the typed API, never as exceptions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/coordinate_system.h"
#include "core/parameter_file.h"
#include "datum_jobs.h"
#include "engine/datum/datum_operation.h"
#include "engine/datum/transform_checks.h"
#include "engine/reading/text_io.h"

namespace quorvel::engine {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kParameters = testing::kZone39Parameters;
constexpr std::string_view kCommon = testing::kZone39Common;
TransformJob Transform() {
    return testing::Zone39Transform();
}
FitJob Fit() {
    return testing::Zone39Fit();
}

struct Counted : RowSink, DiagnosticSink {
    bool begun = false;
    std::size_t rows = 0, diagnostics = 0;
    void Begin(const std::vector<std::string>&) override { begun = true; }
    void Encode(const RowBlock&, std::string&) const override {}
    void Take(const RowBlock& block, std::string_view) override { rows += block.size(); }
    void Take(const Diagnostic&) override { ++diagnostics; }
};

TransformOutcome TransformOn(const TransformJob& job, const std::string& text, Counted& sink,
                             int threads) {
    StringSource in(text, 7);
    RowSink* const sinks[] = {&sink};
    return RunTransform(job, in, "in.csv", sinks, sink, {threads, 64});
}

FitOutcome FitOn(const FitJob& job, const std::string& text, Counted& sink) {
    StringSource in(text, 7);
    return RunFit(job, in, "common.csv", sink, {2, 64});
}

bool Says(const std::optional<JobRefusal>& r, std::string_view words) {
    return r && !r->usage && r->words.find(words) != std::string::npos;
}

// Fields that do not fit the systems: one short or one over is refused, the exact count is not,
// and the layout is left as it was when refused.
TEST(DatumRefusals, FieldsThatDoNotFitTheSystems) {
    const CoordinateSystem from = ParseCoordinateSystem("plane:krassovsky:zone3");
    DatumLayout layout;
    layout.sourceCount = 99;
    const std::size_t shortOne[] = {1, 2}, overOne[] = {1, 2, 3, 4}, exact[] = {3, 1, 2};
    EXPECT_TRUE(Says(MakeLayout(shortOne, from, nullptr, false, layout),
                     "--fields: \"1,2\" gives 2 fields; these systems need 3 (name,X1,Y1)"));
    EXPECT_TRUE(Says(MakeLayout(overOne, from, nullptr, false, layout), "gives 4 fields"));
    EXPECT_EQ(layout.sourceCount, 99u);
    ASSERT_FALSE(MakeLayout(exact, from, nullptr, false, layout));
    EXPECT_EQ(layout.fields, (std::vector<std::size_t>{2, 0, 1}));
    EXPECT_EQ(layout.names, DefaultLayout(from, nullptr, false).names);

    // Both runs refuse them before reading a line.
    TransformJob transform = Transform();
    transform.reading.fields = {1, 2};
    Counted sink;
    const TransformOutcome t = TransformOn(transform, "D01,4416191.638,39479050.950\n", sink, 1);
    EXPECT_TRUE(Says(t.refusal, "--fields: \"1,2\""));
    FitJob fit = Fit();
    fit.reading.fields = {1, 2, 3};
    EXPECT_TRUE(Says(FitOn(fit, std::string(kCommon), sink).refusal, "need 5"));
    EXPECT_FALSE(sink.begun);
    EXPECT_EQ(sink.diagnostics, 0u);
}

// An input of another system is refused by its first point, after lines that are only rejected
// and whatever the threads; no row is handed on.
TEST(DatumRefusals, FirstPointOfAnotherSystemOnAnyThread) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "bad line " + std::to_string(i) + "\n";
    text += "D01,116.3,39.9\nD02,4432546.724,39474346.177\n";
    for (int threads : {1, 3}) {
        Counted sink;
        const TransformOutcome t = TransformOn(Transform(), text, sink, threads);
        EXPECT_TRUE(Says(t.refusal, "in.csv:41: X1 \"116.3\", Y1 \"39.9\"")) << threads;
        EXPECT_TRUE(Says(t.refusal, "is p.txt the parameter file for this input?"));
        EXPECT_EQ(sink.rows, 0u);
        EXPECT_EQ(t.counts.points, 0u);
    }
    // The same input with its first point of the file's system runs, the later point rejected.
    Counted sink;
    const std::string good = "D02,4432546.724,39474346.177\nD01,116.3,39.9\n";
    const TransformOutcome t = TransformOn(Transform(), good, sink, 3);
    EXPECT_FALSE(t.refusal);
    EXPECT_EQ(t.counts.points, 1u);
    EXPECT_EQ(t.counts.rejected, 1u);
}

// A fit's refusals: a line that does not read (not with skipBadLines), a check point no point
// is named, and too few points to fit.
TEST(DatumRefusals, FitRefusals) {
    FitJob job = Fit();
    Counted sink;
    const std::string bad = std::string(kCommon) + "G05,1\n";
    const FitOutcome badLine = FitOn(job, bad, sink);
    EXPECT_TRUE(Says(badLine.refusal, "common.csv:5: a common point that does not read"));
    job.skipBadLines = true;
    EXPECT_FALSE(FitOn(job, bad, sink).refusal);

    job.checks = {"G03", "G3"};
    EXPECT_TRUE(Says(FitOn(job, bad, sink).refusal, "--check: no common point is named"));
    job.checks = {"G03"};
    const FitOutcome checked = FitOn(job, bad, sink);
    ASSERT_FALSE(checked.refusal);
    EXPECT_EQ(checked.result.checked, 1);

    job.checks.clear();
    const FitOutcome tooFew =
        FitOn(job, std::string(kCommon.substr(0, kCommon.find('\n') + 1)), sink);
    ASSERT_TRUE(tooFew.refusal);
    EXPECT_FALSE(tooFew.refusal->usage);
    EXPECT_FALSE(tooFew.refusal->words.empty());
}

// A parameter file of 1 MiB is read whole; one byte more, a folder, or no file is refused and
// leaves the text as it was.
TEST(DatumRefusals, ParameterFileAtItsLimit) {
    const fs::path dir =
        fs::temp_directory_path() / ("quorvel-refusal-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string atLimit(1 << 20, '#');
    std::ofstream(dir / "limit.txt", std::ios::binary) << atLimit;
    std::ofstream(dir / "over.txt", std::ios::binary) << atLimit << '#';
    std::string text = "kept";
    const std::string over = (dir / "over.txt").string();
    EXPECT_TRUE(
        Says(ReadParameterText(over, text), over + ": more than 1 MiB: not a parameter file"));
    EXPECT_TRUE(ReadParameterText(dir.string(), text).has_value());
    EXPECT_TRUE(ReadParameterText((dir / "none.txt").string(), text).has_value());
    EXPECT_EQ(text, "kept");
    EXPECT_FALSE(ReadParameterText((dir / "limit.txt").string(), text));
    EXPECT_EQ(text, atLimit);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace quorvel::engine
