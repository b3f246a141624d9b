// Input lines: splitting any bytes into fields, and whole runs of quorvel-batch over them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"
#include "engine/reading/line_parser.h"
#include "engine/reading/text_io.h"
#include "engine/run/run.h"

namespace {

using namespace quorvel::engine;
using quorvel::cli::Options;
using quorvel::cli::ParseArguments;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool Within(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

void CheckLine(std::string_view line, ParsedLine& p) {
    ParseLine(line, p);
    if (p.status != LineStatus::Fields) return;
    Check(p.count >= 1, "a line with fields has one");
    Check(p.fields.size() == p.count, "every field is kept");
    for (std::size_t i = 0; i < p.count; ++i) {
        Check(Within(p.fields[i], line) ||
                  (i < p.storage.size() && Within(p.fields[i], p.storage[i])),
              "a field lies in its line or its own storage");
    }
    // Fields written as quorvel-batch writes CSV read back as the same fields; empty ones alone
    // are written as separators alone, a blank row, which reading skips.
    if (p.count < 2 ||
        std::all_of(p.fields.begin(), p.fields.end(), [](auto f) { return f.empty(); }))
        return;
    std::string written;
    for (std::size_t i = 0; i < p.count; ++i) {
        if (i > 0) written += ',';
        AppendCsvField(written, p.fields[i]);
    }
    std::vector<std::string> before(p.fields.begin(), p.fields.begin() + p.count);
    ParsedLine again;
    ParseLine(written, again);
    Check(again.status == LineStatus::Fields && again.count == p.count, "written fields re-read");
    for (std::size_t i = 0; i < p.count; ++i) {
        Check(again.fields[i] == before[i], "a written field reads back unchanged");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t control = data[0];
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

    // Line by line, with reads of odd sizes.
    {
        StringSource source(input, 1 + control % 7);
        LineReader reader(source, 0);
        ParsedLine parsed;
        std::string_view line;
        while (reader.Next(line) != LineReader::Result::End) CheckLine(line, parsed);
    }

    // A whole run: every line either written or rejected with a message, output well-formed.
    static constexpr std::string_view kModes[][5] = {
        {"forward", "--lo", "117", "", ""},
        {"inverse", "--lo", "117.3", "--full", ""},
        {"zone", "--lo", "117", "--ls", "120"},
    };
    std::vector<std::string_view> args;
    for (std::string_view a : kModes[control % 3]) {
        if (!a.empty()) args.push_back(a);
    }
    if (control & 0x80) args.push_back("--header");
    if (control & 0x10) args.insert(args.end(), {"--fields", "3,1,2"});
    if ((control & 0x18) == 0x08) args.push_back("--decimal-comma");
    Options options = ParseArguments(args, false);
    // Now and then worker threads and chunks of a few lines, to check the order they keep.
    options.threads = (control & 0x40) ? 2 : 1;
    options.chunkBytes = (control & 0x20) ? 16 : options.chunkBytes;
    StringSource source(input, 1 + (control >> 3) % 13);
    StringSink sink;
    OutputBuffer out(sink, 256);
    std::ostringstream err;
    ReportSpool spool;
    const RunCounts counts = quorvel::cli::ProcessPoints(options, source, "in", out, err, &spool);
    ReportData report;
    report.rows = spool.ReadAll();
    Check(report.rows.size() == counts.points && spool.Count() == counts.points,
          "every written point is in the report");
    std::size_t records = 0;
    for (std::size_t at = 0; (at = sink.text.find("\r\n", at)) != std::string::npos; at += 2) {
        ++records;
    }
    Check(records >= counts.points + 1, "a header and a record per point");
    std::size_t messages = 0;
    std::istringstream lines(err.str());
    for (std::string m; std::getline(lines, m);) {
        // "in:LINE: warning: ..." and the closing counts are warnings; the rest rejections.
        const std::size_t afterNumber = m.find_first_not_of("0123456789", 3);
        const bool warning = m.starts_with("quorvel-batch: warning: ") ||
                             (m.starts_with("in:") && afterNumber != m.npos &&
                              m.compare(afterNumber, 11, ": warning: ") == 0);
        messages += !warning;
    }
    Check(messages == counts.rejected, "one message per rejected line");
    if (!report.rows.empty())
        Check(!RenderReportText(BuildReport(ToReportInput(report))).empty(), "the report renders");
    return 0;
}
