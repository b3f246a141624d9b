#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/projection/points.h"

namespace quorvel::engine {

struct Job;

// What a run has to say about a line or about the whole run. Rejections drop the line;
// warnings leave the results and counts as they are.
enum class Problem {
    // Rejections of a line.
    LineTooLong,      // count: the limit in bytes
    InvalidUtf8,      // count: the 1-based byte
    UnclosedQuote,    // field: the 1-based input field
    TextAfterQuote,   // field
    QuoteInUnquoted,  // field
    TooFewFields,     // count: the fields found
    SurplusFields,    // count: the fields found; field: the output's; otherLine and header: the
                      // line that set them; text: the first field that would be lost
    EmptyValue,       // field: 1 or 2, the first or second value; text
    NotANumber,       // field, text
    OutOfRange,       // field, text
    NoFiniteResult,   // text and text2: the two values
    SeriesOff,        // text and text2: the two values; value: the classic series' miss in
                      // metres, or NaN without an exact counterpart, the point lying `offset`
                      // degrees from the central meridian (`fromTarget`: from Ls)
    BeyondLimit,      // field, text, limit, value
    // Rejections of a datum transform's line (text: the source values as typed, named).
    WrongKind,     // value: their distance from the Earth's centre in metres for geocentric;
                   // count: 1 when Y seems to carry a zone number, 2 when it lacks the one
                   // its system has
    OtherZone,     // count: the point's zone, field: the zone of the 4-parameter file
    NotConverted,  // text2: why (the core's words)
    // Warnings about a line.
    PackedExcess,        // field, text; count minutes or seconds (`seconds`) of 60 or more
    SeriesMiss,          // value: the classic series' miss in metres, above 1 cm
    HeaderReadsAsPoint,  // the line skipped by --header
    // Warnings about the whole run (line 0).
    MorePackedExcess,  // count: beyond the lines listed
    SeriesMisses,      // count, value: the worst miss in metres, at `line`
    SettingExcess,     // PackedExcess of a meridian: text2 the option, text as typed
    Utf8Mark,          // text2 the input's name, text the encoding that was not used
    FarPoints,  // a datum transform's points farther outside the common points' area than its
                // size: count, value the farthest's distance from the centre in metres, line
                // and text its line and name
};

struct Diagnostic {
    Problem problem = Problem::NotANumber;
    std::uint64_t line = 0;  // 1-based input line; 0 for the whole run (but SeriesMisses)
    std::size_t field = 0;
    std::string text;
    std::string text2;
    Limit limit = Limit::None;
    double value = 0;
    std::uint64_t count = 0;
    bool seconds = false;
    std::uint64_t otherLine = 0;
    bool header = false;
    double offset = 0;
    bool fromTarget = false;

    bool IsWarning() const { return problem >= Problem::PackedExcess; }
    // Whether it speaks of the whole run rather than of its line.
    bool OfRun() const { return problem >= Problem::MorePackedExcess; }
};

// Where a run's diagnostics go, one by one in input order on the run's thread.
class DiagnosticSink {
  public:
    virtual ~DiagnosticSink() = default;
    virtual void Take(const Diagnostic& diagnostic) = 0;
};

// A file named `inputName` that starts with a UTF-8 byte order mark, read as UTF-8 rather than in
// the job's encoding.
Diagnostic Utf8Mark(const Job& job, std::string_view inputName);
Diagnostic Utf8Mark(std::string_view encoding, std::string_view inputName);

// The words of a diagnostic for `job`, without the line it is about, in the language of the
// messages (core/messages.h). A new kind is a case there with its English in Tr(), and its
// Chinese in po/zh_CN.po, which the test `messages` asks for.
std::string Describe(const Diagnostic& diagnostic, const Job& job);

// Describe, after "warning: " for a warning.
std::string DescribeMarked(const Diagnostic& diagnostic, const Job& job);

// How a run reads its lines, for the words that every run gives alike.
struct InputShape {
    std::vector<std::string_view> names;  // the name's column, then each value's
    std::vector<std::size_t> fields;      // the 0-based input field of each
    std::size_t needed = 0;               // the fewest fields a point line may have
    std::string_view encoding;            // iconv name; empty: UTF-8
};

// The words of the problems that every run words alike: a line that does not read as fields or
// has too few or too many, an empty value or one out of range, and the warnings about packed
// angles, the header line and the byte order mark. The field of a value counts the name's
// column as 0.
std::string DescribeReading(const Diagnostic& diagnostic, const InputShape& shape);

// Quotes a text for a message: control bytes escaped, long texts shortened.
std::string QuoteForMessage(std::string_view text);

}  // namespace quorvel::engine
