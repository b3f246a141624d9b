// quorvel-batch's text path in one thread, per point: reading a line (splitting it and reading
// its two numbers) and writing its CSV record, on lines made as bench/cli_bench.sh makes them.
// Computing is core_bench's; cli_bench.sh sets the three beside a whole run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/krassovsky_constants.h"
#include "core/number_text.h"
#include "engine/projection/points.h"
#include "engine/reading/line_parser.h"
#include "engine/run/job.h"
#include "engine/run/process.h"
#include "engine/run/rows.h"

namespace {

using namespace quorvel;

constexpr std::size_t kLines = 4096;

// Forward: L and B as packed degrees to a thousandth of an arc-second (116.3045123); plane: X
// and Y to 4 decimals. Names as long as most of a million-point file's (P123456).
std::vector<std::string> Lines(bool forward) {
    std::mt19937_64 rng(42);
    auto below = [&rng](int n) {
        return static_cast<int>(std::uniform_int_distribution<int>(0, n - 1)(rng));
    };
    std::uniform_real_distribution<double> x(2.2e6, 5.5e6), y(250000.0, 750000.0);
    std::vector<std::string> lines;
    char text[96];
    for (std::size_t i = 0; i < kLines; ++i) {
        const int name = 500000 + static_cast<int>(i);
        if (forward) {
            const int ld = 114 + below(6), lm = below(60), lt = below(60000);
            const int bd = 20 + below(30), bm = below(60), bt = below(60000);
            std::snprintf(text, sizeof text, "P%d,%d.%02d%05d,%d.%02d%05d", name, ld, lm, lt, bd,
                          bm, bt);
        } else {
            const double X = x(rng), Y = y(rng);
            std::snprintf(text, sizeof text, "P%d,%.4f,%.4f", name, X, Y);
        }
        lines.emplace_back(text);
    }
    return lines;
}

void PerPoint(benchmark::State& state, std::size_t points = kLines) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points));
    state.counters["ns/point"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(points),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// As a run reads a point line: its fields, then the two values trimmed and read as numbers.
void Read(benchmark::State& state, bool forward) {
    const std::vector<std::string> lines = Lines(forward);
    engine::ParsedLine parsed;
    for (auto _ : state) {
        for (const std::string& line : lines) {
            engine::ParseLine(line, parsed);
            benchmark::DoNotOptimize(TryParseNumber(TrimBlanks(parsed.fields[1])));
            benchmark::DoNotOptimize(TryParseNumber(TrimBlanks(parsed.fields[2])));
        }
    }
    PerPoint(state);
}

void BM_ReadForward(benchmark::State& state) {
    Read(state, true);
}
BENCHMARK(BM_ReadForward);

// Inverse and zone read the same plane lines.
void BM_ReadPlane(benchmark::State& state) {
    Read(state, false);
}
BENCHMARK(BM_ReadPlane);

// The records of a block, one after another, with the rows filled as the run fills them: the
// typed texts and the unrounded results of the window's computation. Refused points, which a
// run does not write, are left out.
void Write(benchmark::State& state, Computation mode) {
    const std::vector<std::string> lines = Lines(mode == Computation::Forward);
    engine::Job job;
    job.mode = mode;
    job.meridians = {117, 120};
    const EllipsoidConstants constants = EllipsoidConstants::Load();
    std::vector<engine::Row> rows;
    std::size_t room = 0;
    for (const std::string& line : lines) {
        const std::string_view text = line;
        const std::size_t a = text.find(','), b = text.find(',', a + 1);
        engine::Row row;
        row.line = rows.size() + 1;
        row.name = text.substr(0, a);
        row.first = text.substr(a + 1, b - a - 1);
        row.second = text.substr(b + 1);
        const engine::RowResult r =
            engine::ComputeRow(mode, constants, job.meridians, row.first, row.second);
        if (r.status != engine::RowStatus::Ok) continue;
        row.result1 = r.first;
        row.result2 = r.second;
        rows.push_back(row);
        room += engine::CsvRecordSize(row);
    }
    std::vector<char> out(room);
    for (auto _ : state) {
        char* p = out.data();
        for (const engine::Row& row : rows) p = engine::WriteCsvRecord(p, job, row);
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
    }
    PerPoint(state, rows.size());
}

void BM_WriteForward(benchmark::State& state) {
    Write(state, Computation::Forward);
}
BENCHMARK(BM_WriteForward);

void BM_WriteInverse(benchmark::State& state) {
    Write(state, Computation::Inverse);
}
BENCHMARK(BM_WriteInverse);

void BM_WriteZone(benchmark::State& state) {
    Write(state, Computation::Zone);
}
BENCHMARK(BM_WriteZone);

}  // namespace

BENCHMARK_MAIN();
