// The core alone, per point: decode the typed angles, project, and format as the window shows.
#include <benchmark/benchmark.h>
#include <sched.h>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "core/classic_series.h"
#include "core/gauss_kruger.h"
#include "core/number_text.h"
#include "core/packed_angle.h"

namespace {

using namespace quorvel;

const EllipsoidConstants kC = EllipsoidConstants::Load();
constexpr std::size_t kPoints = 4096;

struct Sample {
    double a, b;
};

// Points spread over a 6° zone at mid latitudes, as a surveyor's batch would be.
std::vector<Sample> Samples(double aLo, double aHi, double bLo, double bHi) {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> a(aLo, aHi), b(bLo, bHi);
    std::vector<Sample> s(kPoints);
    for (Sample& p : s) p = {a(rng), b(rng)};
    return s;
}

void PerPoint(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPoints));
    state.counters["ns/point"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kPoints,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Forward(benchmark::State& state) {
    // Packed L, B as typed: five decimals (a tenth of an arc-second).
    auto pts = Samples(114.0, 119.5959, 20.0, 50.0);
    for (Sample& p : pts) p = {std::round(p.a * 1e5) / 1e5, std::round(p.b * 1e5) / 1e5};
    const double lo = DecodePackedAngle(117);
    for (auto _ : state) {
        for (const Sample& p : pts) {
            benchmark::DoNotOptimize(
                ForwardProject(kC, DecodePackedAngle(p.b), DecodePackedAngle(p.a), lo));
        }
    }
    PerPoint(state);
}
BENCHMARK(BM_Forward);

void BM_Inverse(benchmark::State& state) {
    const auto pts = Samples(2.2e6, 5.5e6, 250000.0, 750000.0);  // X, Y
    const double lo = DecodePackedAngle(117);
    for (auto _ : state) {
        for (const Sample& p : pts) {
            const GeodeticPoint g = InverseProject(kC, p.a, p.b, lo);
            benchmark::DoNotOptimize(DegreesToPacked(g.L));
            benchmark::DoNotOptimize(DegreesToPacked(g.B));
        }
    }
    PerPoint(state);
}
BENCHMARK(BM_Inverse);

void BM_Zone(benchmark::State& state) {
    const auto pts = Samples(2.2e6, 5.5e6, 250000.0, 750000.0);
    const double lo = DecodePackedAngle(117), ls = DecodePackedAngle(120);
    for (auto _ : state) {
        for (const Sample& p : pts) benchmark::DoNotOptimize(ZoneTransform(kC, p.a, p.b, lo, ls));
    }
    PerPoint(state);
}
BENCHMARK(BM_Zone);

// The same points through the projection object: the classic series, then GeographicLib's
// exact transverse Mercator on CGCS2000 (inverse without packing, as its results are compared
// to cct's decimal degrees).
void ForwardThrough(benchmark::State& state, const GaussKruger& gk) {
    auto pts = Samples(114.0, 119.5959, 20.0, 50.0);
    for (Sample& p : pts) p = {std::round(p.a * 1e5) / 1e5, std::round(p.b * 1e5) / 1e5};
    const double lo = DecodePackedAngle(117);
    for (auto _ : state) {
        for (const Sample& p : pts) {
            benchmark::DoNotOptimize(
                gk.Forward(DecodePackedAngle(p.b), DecodePackedAngle(p.a), lo));
        }
    }
    PerPoint(state);
}

void InverseThrough(benchmark::State& state, const GaussKruger& gk) {
    const auto pts = Samples(2.2e6, 5.5e6, 250000.0, 750000.0);
    const double lo = DecodePackedAngle(117);
    for (auto _ : state) {
        for (const Sample& p : pts) benchmark::DoNotOptimize(gk.Inverse(p.a, p.b, lo));
    }
    PerPoint(state);
}

void BM_ClassicForward(benchmark::State& state) {
    ForwardThrough(state, GaussKruger(Method::Classic));
}
BENCHMARK(BM_ClassicForward);

void BM_ExactForward(benchmark::State& state) {
    ForwardThrough(state, GaussKruger(Method::Exact, Cgcs2000()));
}
BENCHMARK(BM_ExactForward);

void BM_ExactInverse(benchmark::State& state) {
    InverseThrough(state, GaussKruger(Method::Exact, Cgcs2000()));
}
BENCHMARK(BM_ExactInverse);

void BM_ExactForwardWithConvergenceAndScale(benchmark::State& state) {
    const GaussKruger gk(Method::Exact, Cgcs2000());
    const auto pts = Samples(114.0, 120.0, 20.0, 50.0);
    for (auto _ : state) {
        for (const Sample& p : pts) {
            benchmark::DoNotOptimize(gk.Forward(p.b, p.a, 117, Extras::ConvergenceAndScale));
        }
    }
    PerPoint(state);
}
BENCHMARK(BM_ExactForwardWithConvergenceAndScale);

void BM_FormatMetres(benchmark::State& state) {
    const auto pts = Samples(2.2e6, 5.5e6, 250000.0, 750000.0);
    for (auto _ : state) {
        for (const Sample& p : pts) {
            benchmark::DoNotOptimize(RoundedText(p.a, 4));
        }
    }
    PerPoint(state);
}
BENCHMARK(BM_FormatMetres);

// The cores this process may run on, as quorvel-batch's workers could use them.
int Cores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return CPU_COUNT(&set);
}

}  // namespace

// Besides each benchmark in one thread, a run's computations in a thread per core: the points a
// second that the computation alone allows on the whole machine, against wall time.
int main(int argc, char** argv) {
    const int cores = Cores();
    for (const auto& [name, fn] : {std::pair{"BM_Forward", &BM_Forward},
                                   {"BM_Inverse", &BM_Inverse},
                                   {"BM_Zone", &BM_Zone},
                                   {"BM_ExactForward", &BM_ExactForward},
                                   {"BM_ExactInverse", &BM_ExactInverse}}) {
        benchmark::RegisterBenchmark(name, fn)->Threads(cores)->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
