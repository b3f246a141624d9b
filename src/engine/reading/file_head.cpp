#include "engine/reading/file_head.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "engine/reading/text_io.h"
#include "engine/run/process.h"
#include "platform/files.h"

namespace quorvel::engine {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The bytes up to the last line break of a sample that stops inside the file, so that neither a
// cut line nor a cut character is looked at; all of them when the sample is the whole file.
std::string_view CompleteLines(const HeadBytes& head) {
    const std::string_view bytes = head.bytes;
    if (head.whole) return bytes;
    const std::size_t lf = bytes.rfind('\n');
    return lf == std::string_view::npos ? std::string_view() : bytes.substr(0, lf + 1);
}

// Text in another encoding as UTF-8, converted as a run converts its input.
std::string Decoded(std::string_view raw, const std::string& encoding) {
    StringSource source{std::string(raw)};
    DecodingSource decoding(source, encoding);
    std::string text;
    char buffer[1 << 14];
    while (const std::size_t got = decoding.Read(buffer, sizeof buffer)) text.append(buffer, got);
    return text;
}

}  // namespace

HeadBytes ReadHeadBytes(const std::string& path, std::size_t limit) {
    FdCloser file{platform::OpenToRead(path)};
    platform::FileInfo st;
    if (file.fd < 0 || !platform::InfoOf(file.fd, st)) {
        throw IoError(Fill(Tr("cannot read {0}: {1}"), {path, std::strerror(errno)}), errno);
    }
    if (st.kind == platform::FileKind::Folder) {
        throw IoError(Fill(Tr("cannot read {0}: {1}"), {path, Tr("it is a folder")}), EISDIR);
    }
    HeadBytes head;
    head.bytes.resize(limit + 1);  // one byte more tells whether the file goes on
    std::size_t got = 0;
    while (got < head.bytes.size()) {
        const long n =
            platform::ReadSome(file.fd, head.bytes.data() + got, head.bytes.size() - got);
        if (n < 0) {
            throw IoError(Fill(Tr("cannot read {0}: {1}"), {path, std::strerror(errno)}), errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    head.whole = got <= limit;
    head.bytes.resize(std::min(got, limit));
    return head;
}

std::string SniffEncoding(const HeadBytes& head) {
    if (std::string_view(head.bytes).starts_with(kUtf8Mark)) return {};
    const std::string_view text = CompleteLines(head);
    if (FindInvalidUtf8(text) == std::string_view::npos) return {};
    const std::string gb = Decoded(text, "GB18030");
    return FindInvalidUtf8(gb) == std::string::npos ? "GB18030" : "";
}

FileHead ReadHead(const HeadBytes& head, const std::string& encoding, bool decimalComma,
                  std::size_t maxLines) {
    FileHead out;
    std::string_view raw = CompleteLines(head);
    out.utf8Mark = raw.starts_with(kUtf8Mark);
    if (out.utf8Mark) raw.remove_prefix(kUtf8Mark.size());
    const std::string text =
        out.utf8Mark || encoding.empty() ? std::string(raw) : Decoded(raw, encoding);
    ParsedLine parsed;
    std::uint64_t number = 0;
    for (std::size_t at = 0; at < text.size() && out.lines.size() < maxLines;) {
        std::size_t lf = text.find('\n', at);
        if (lf == std::string::npos) lf = text.size();
        const std::string_view line(text.data() + at, lf - at);
        at = lf + 1;
        ++number;
        ParseLine(line, parsed, decimalComma);
        if (parsed.status == LineStatus::Skip) continue;
        HeadLine& h = out.lines.emplace_back();
        h.number = number;
        h.status = parsed.status;
        if (parsed.status != LineStatus::Fields) continue;
        for (std::size_t i = 0; i < parsed.count; ++i) h.fields.emplace_back(parsed.fields[i]);
    }
    return out;
}

std::size_t KeptFields(const std::vector<std::string>& fields, std::size_t needed) {
    std::size_t kept = fields.size();
    while (kept > needed && fields[kept - 1].empty()) --kept;
    return kept;
}

std::size_t KeptFields(const ParsedLine& line, std::size_t needed) {
    if (line.status != LineStatus::Fields) return 0;
    std::size_t kept = line.count;
    while (kept > needed && line.fields[kept - 1].empty()) --kept;
    return kept;
}

bool ReadsAsNumber(std::string_view field, bool decimalComma) {
    std::string buffer;
    return TryParseNumber(DecimalText(field, decimalComma, buffer)).has_value();
}

bool FirstLineIsHeader(const std::vector<HeadLine>& lines, std::span<const std::size_t> values,
                       bool decimalComma) {
    const auto numbers = [&](const HeadLine& line) {
        return line.status == LineStatus::Fields &&
               std::all_of(values.begin(), values.end(), [&](std::size_t f) {
                   return f < line.fields.size() && ReadsAsNumber(line.fields[f], decimalComma);
               });
    };
    if (lines.empty() || lines[0].status != LineStatus::Fields || numbers(lines[0])) return false;
    return std::any_of(lines.begin() + 1, lines.end(), numbers);
}

}  // namespace quorvel::engine
