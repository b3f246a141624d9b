#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "engine/reading/text_io.h"
#include "engine/run/diagnostics.h"
#include "engine/run/job.h"
#include "engine/run/rows.h"
#include "engine/run/run_loop.h"
#include "engine/writers/report_spool.h"

namespace quorvel::engine {

// Reads points line by line and computes them as `job` says. Every sink of `rows` gets every
// computed row and `diagnostics` every rejection and warning, in input order; memory stays
// bounded whatever the input's size. Warnings of a kind are handed on for their first ten
// lines, then counted in a diagnostic of the whole run. Throws IoError when reading fails, and
// whatever a sink throws.
RunCounts RunJob(const Job& job, ByteSource& in, std::span<RowSink* const> rows,
                 DiagnosticSink& diagnostics, const RunTuning& tuning = {});

// The CSV quorvel-batch writes: a byte order mark with `bom`, the header, one record per row.
class CsvSink : public RowSink {
  public:
    CsvSink(const Job& job, OutputBuffer& out) : job_(job), out_(out) {}
    void Begin(const std::vector<std::string>& columns) override;
    void Encode(const RowBlock& rows, std::string& encoded) const override;
    void Take(const RowBlock& rows, std::string_view encoded) override;
    void End() override;

  private:
    const Job& job_;
    OutputBuffer& out_;
};

// The points of the printed report, kept in a spool: the typed values with a decimal comma made
// a point, and the unrounded results.
class ReportSink : public RowSink {
  public:
    ReportSink(const Job& job, ReportSpool& spool) : job_(job), spool_(spool) {}
    void Begin(const std::vector<std::string>&) override {}
    void Encode(const RowBlock& rows, std::string& encoded) const override;
    void Take(const RowBlock& rows, std::string_view encoded) override;

  private:
    const Job& job_;
    ReportSpool& spool_;
};

// Diagnostics as quorvel-batch prints them: "NAME:LINE: reason", "NAME:LINE: warning: ..." and
// "quorvel-batch: warning: ..." for the whole run, each on its line, worded by `describe`
// (without "warning: "), by Describe(d, job) for a job.
class PrintedDiagnostics : public DiagnosticSink {
  public:
    using Words = std::function<std::string(const Diagnostic&)>;
    PrintedDiagnostics(Words describe, std::ostream& err, std::string_view inputName)
        : describe_(std::move(describe)), err_(err), inputName_(inputName) {}
    PrintedDiagnostics(const Job& job, std::ostream& err, std::string_view inputName)
        : PrintedDiagnostics([&job](const Diagnostic& d) { return Describe(d, job); }, err,
                             inputName) {}
    void Take(const Diagnostic& diagnostic) override;

  private:
    Words describe_;
    std::ostream& err_;
    std::string inputName_;
};

// RunJob with the CSV (the CASS file for --format dat) into `out`, the diagnostics printed to
// `err`, and the points into `report` when given.
RunCounts ProcessPoints(const Job& job, ByteSource& in, std::string_view inputName,
                        OutputBuffer& out, std::ostream& err, ReportSpool* report,
                        const RunTuning& tuning = {});

// The same with the rows into `rows` rather than a CSV.
RunCounts ProcessPoints(const Job& job, ByteSource& in, std::string_view inputName, RowSink& rows,
                        std::ostream& err, ReportSpool* report, const RunTuning& tuning = {});

// A row's CSV record with its line end; needs CsvRecordSize bytes.
std::size_t CsvRecordSize(const Row& row);
char* WriteCsvRecord(char* out, const Job& job, const Row& row);

// The value text as the core reads it: with a decimal comma, a comma is the point.
std::string_view DecimalTextWithComma(std::string_view text, std::string& buffer);
inline std::string_view DecimalText(std::string_view text, bool decimalComma, std::string& buffer) {
    return decimalComma ? DecimalTextWithComma(text, buffer) : text;
}

}  // namespace quorvel::engine
