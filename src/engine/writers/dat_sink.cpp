#include "engine/writers/dat_sink.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/messages.h"
#include "core/number_text.h"
#include "engine/run/diagnostics.h"
#include "engine/run/process.h"
#include "platform/text_encoding.h"

namespace quorvel::engine {
namespace {

bool NamedOneOf(std::string_view column, std::string_view english, std::string_view chinese) {
    if (column == chinese) return true;
    if (column.size() != english.size()) return false;
    for (std::size_t i = 0; i < column.size(); ++i) {
        char c = column[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != english[i]) return false;
    }
    return true;
}

[[noreturn]] void CannotConvert(const std::string& why) {
    throw IoError(Fill(Tr("this system cannot convert to {0}: {1}"), {"GB18030", why}));
}

// "U+E78D": the code point of the UTF-8 sequence at the start of `text`.
std::string CodePointAt(std::string_view text) {
    const auto byte = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    const unsigned lead = byte(0);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    unsigned cp = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) cp = (cp << 6) | (byte(i) & 0x3Fu);
    char hex[16];
    std::snprintf(hex, sizeof hex, "U+%04X", cp);
    return hex;
}

// What in a text CASS would read as the end of a field or of a line.
std::string SeparatorName(char c) {
    if (c == '\r') return Tr("a carriage return");
    if (c == '\n') return Tr("a line feed");
    return Tr("a comma");
}

}  // namespace

DatSink::DatSink(const TransformJob& transform, OutputBuffer& out)
    : job_(own_),
      out_(out),
      head_(TransformHead(transform).size()),
      heightResult_(transform.parameters.heights),
      heightModel_(transform.parameters.height.has_value()),
      toEllipsoidal_(transform.toEllipsoidal) {
    own_.mode = Computation::Forward;
    own_.full = transform.writing.full;
    own_.decimalComma = transform.reading.decimalComma;
}

void DatSink::Begin(const std::vector<std::string>& columns) {
    columns_ = columns;
    passedFrom_ = head_ > 0 ? head_ : 5 + ExtraColumnNames(job_.geodesy, job_.mode).size();
    for (std::size_t c = passedFrom_; c < columns.size(); ++c) {
        if (code_ == SIZE_MAX && NamedOneOf(columns[c], "code", "编码")) code_ = c - passedFrom_;
        if (height_ == SIZE_MAX && NamedOneOf(columns[c], "h", "高程")) height_ = c - passedFrom_;
    }
}

void DatSink::Encode(const RowBlock& rows, std::string& encoded) const {
    const auto plain = [&](const Row& row, std::string_view text, std::size_t column) {
        if (const std::size_t at = text.find_first_of(",\r\n"); at != std::string_view::npos) {
            throw IoError(Fill(Tr("line {0}: the {1} {2} holds {3}, which a CASS .dat file "
                                  "cannot hold"),
                               {std::to_string(row.line), columns_[column], QuoteForMessage(text),
                                SeparatorName(text[at])}));
        }
        return text;
    };
    char number[kMaxResultText];
    std::string buffer;
    const std::size_t start = encoded.size();
    for (const Row& row : rows) {
        encoded += plain(row, row.name, 0);
        encoded += ',';
        if (code_ < row.passed.size())
            encoded += plain(row, row.passed[code_], passedFrom_ + code_);
        encoded += ',';
        encoded.append(number, WriteResult(number, job_.mode, row.result2, job_.full));
        encoded += ',';
        encoded.append(number, WriteResult(number, job_.mode, row.result1, job_.full));
        encoded += ',';
        if (heightModel_) {
            const double normal = toEllipsoidal_ ? row.extras.height1 : row.extras.height2;
            if (!std::isnan(normal)) {
                encoded.append(number, WriteResult(number, job_.mode, normal, job_.full));
            }
            encoded += "\r\n";
            continue;
        }
        if (heightResult_) {
            encoded.append(number, WriteResult(number, job_.mode, row.result3, job_.full));
            encoded += "\r\n";
            continue;
        }
        std::string_view h = height_ < row.passed.size() ? row.passed[height_] : "";
        while (!h.empty() && (h.front() == ' ' || h.front() == '\t')) h.remove_prefix(1);
        while (!h.empty() && (h.back() == ' ' || h.back() == '\t')) h.remove_suffix(1);
        // No height stays no height: a 0 would be a height CASS draws and contours.
        if (!h.empty()) {
            const std::optional<double> v =
                TryParseNumber(DecimalText(h, job_.decimalComma, buffer));
            if (!v) {
                throw IoError(Fill(Tr("line {0}: the {1} {2} is not a number, which a CASS .dat "
                                      "file needs"),
                                   {std::to_string(row.line), columns_[passedFrom_ + height_],
                                    QuoteForMessage(h)}));
            }
            encoded += ShortestText(*v);
        }
        encoded += "\r\n";
    }
    if (!job_.datUtf8) ToGb18030(rows, start, encoded);
}

// The rows as GB18030, which holds nearly every character; a name or code with one it does not
// hold (a few private-use ones) stops the run, naming the line and the character.
void DatSink::ToGb18030(const RowBlock& rows, std::size_t start, std::string& encoded) const {
    std::string why;
    const std::unique_ptr<platform::TextConverter> converter =
        platform::TextConverter::Open("GB18030", "UTF-8", why);
    if (converter == nullptr) CannotConvert(why);
    // Two bytes of UTF-8 become at most four of GB18030, one or three at most as many.
    std::string out((encoded.size() - start) * 2 + 16, '\0');
    const char* from = encoded.data() + start;
    std::size_t left = encoded.size() - start;
    char* to = out.data();
    std::size_t room = out.size();
    using Step = platform::TextConverter::Step;
    const Step step = converter->Convert(from, left, to, room);
    if (step != Step::Done) {
        if (step == Step::Failed) CannotConvert(converter->Error());
        if (step != Step::Invalid)
            CannotConvert(std::strerror(step == Step::Full ? E2BIG : EINVAL));
        // The row of the character: the texts come before the numbers in each.
        std::size_t at = static_cast<std::size_t>(from - encoded.data());
        std::size_t rowStart = start;
        for (const Row& row : rows) {
            const std::size_t end = encoded.find("\r\n", rowStart) + 2;
            if (at < end) {
                const bool inName = at < rowStart + row.name.size();
                const std::string_view text =
                    inName ? std::string_view(row.name) : row.passed[code_];
                throw IoError(
                    Fill(Tr("line {0}: the {1} {2} holds {3}, which GB18030 cannot "
                            "hold: change it, or write --dat-encoding utf-8"),
                         {std::to_string(row.line), columns_[inName ? 0 : passedFrom_ + code_],
                          QuoteForMessage(text), CodePointAt(from)}));
            }
            rowStart = end;
        }
        CannotConvert(std::strerror(EILSEQ));
    }
    out.resize(out.size() - room);
    encoded.replace(start, std::string::npos, out);
}

void DatSink::Take(const RowBlock&, std::string_view encoded) {
    out_.Append(encoded);
    out_.MaybeFlush();
}

void DatSink::End() {
    out_.Flush();
}

}  // namespace quorvel::engine
