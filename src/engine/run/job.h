#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/projection/points.h"
#include "engine/run/diagnostics.h"
#include "engine/run/refusal.h"
#include "engine/writers/output_format.h"

namespace quorvel::engine {

// Everything that decides what a file's computation writes: quorvel-batch's command line is one
// way to make it, 从文件计算's dialog another. Where the file comes from and goes to is not in it.
struct Job {
    Computation mode = Computation::Forward;
    std::string loText;  // as typed, for the report and the command line
    std::string lsText;
    Meridians meridians;
    Geodesy geodesy;
    // Reading: the 0-based fields of the name and the two values (the others are passed
    // through), a comma as the decimal point, the iconv name of the encoding (empty: UTF-8),
    // and whether the first line that is not empty or a comment is a header.
    std::array<std::size_t, 3> fields{0, 1, 2};
    // The 0-based fields, in ascending order, that are neither computed nor passed through.
    std::vector<std::size_t> dropped;
    bool decimalComma = false;
    std::string encoding;
    bool header = false;
    // Writing: results as the shortest round-trip decimal; a UTF-8 byte order mark first; the
    // format of the rows (engine/writers/output_format.h).
    bool full = false;
    bool bom = false;
    OutputFormat format = OutputFormat::Csv;
    // --format dat in UTF-8 rather than the GB18030 that CASS on Chinese Windows reads.
    bool datUtf8 = false;
    // --distortion: the 0-based field of each point's normal height; without it, the column the
    // header names H or 高程.
    std::optional<std::size_t> heightField;

    bool operator==(const Job&) const = default;
};

// The most distant of the three fields, 1-based: the fewest fields a point line may have.
inline std::size_t FieldsNeeded(const Job& job) {
    return std::max({job.fields[0], job.fields[1], job.fields[2]}) + 1;
}

// Whether input field `field` (0-based) goes to the output after the results.
inline bool PassedThrough(const Job& job, std::size_t field) {
    return field != job.fields[0] && field != job.fields[1] && field != job.fields[2] &&
           !std::binary_search(job.dropped.begin(), job.dropped.end(), field);
}

// The meridians as typed: Lo (absent with a zone width) and Ls (the zone change only), read as
// packed degrees and checked as the command line checks them. Appends a warning for a packed
// angle with 60 or more minutes or seconds. A refusal names the option.
[[nodiscard]] std::optional<JobRefusal> SetMeridians(Job& job, const std::optional<std::string>& lo,
                                                     const std::optional<std::string>& ls,
                                                     std::vector<Diagnostic>& warnings);

// Checks the settings that only make sense together (the classic method and its ellipsoid, the
// comparison, the zone prefix, k0 and the false easting).
[[nodiscard]] std::optional<JobRefusal> CheckJob(const Job& job);

// The arguments of quorvel-batch that run `job` (mode first, then the options, without a file):
// quorvel-batch reads them back to the same job.
std::vector<std::string> JobArguments(const Job& job);

// The iconv name of an encoding the user may give (utf-8, gb18030, gbk) into `iconvName`; empty
// for UTF-8.
[[nodiscard]] std::optional<JobRefusal> ReadEncoding(const std::string& text,
                                                     std::string& iconvName);
// The name ReadEncoding reads back to `iconvName`: "gb18030" for "GB18030".
std::string ReadableEncoding(const std::string& iconvName);

}  // namespace quorvel::engine
