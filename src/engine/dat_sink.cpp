#include "engine/dat_sink.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "core/messages.h"
#include "core/number_text.h"
#include "engine/diagnostics.h"
#include "engine/process.h"

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

// UTF-8 to GB18030, which holds every character: nothing is lost.
void ToGb18030(std::string& text) {
    iconv_t cd = ::iconv_open("GB18030", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw IoError(
            Fill(Tr("this system cannot convert to {0}: {1}"), {"GB18030", std::strerror(errno)}));
    }
    std::string out(text.size() * 2 + 16, '\0');
    char* from = text.data();
    std::size_t left = text.size();
    char* to = out.data();
    std::size_t room = out.size();
    const std::size_t done = ::iconv(cd, &from, &left, &to, &room);
    ::iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) {
        throw IoError(
            Fill(Tr("this system cannot convert to {0}: {1}"), {"GB18030", std::strerror(errno)}));
    }
    out.resize(out.size() - room);
    text.swap(out);
}

}  // namespace

void DatSink::Begin(const std::vector<std::string>& columns) {
    columns_ = columns;
    passedFrom_ = 5 + ExtraColumnNames(job_.geodesy, job_.mode).size();
    for (std::size_t c = passedFrom_; c < columns.size(); ++c) {
        if (code_ == SIZE_MAX && NamedOneOf(columns[c], "code", "编码")) code_ = c - passedFrom_;
        if (height_ == SIZE_MAX && NamedOneOf(columns[c], "h", "高程")) height_ = c - passedFrom_;
    }
}

void DatSink::Encode(const RowBlock& rows, std::string& encoded) const {
    const auto plain = [&](const Row& row, std::string_view text, std::size_t column) {
        if (text.find_first_of(",\r\n") != std::string_view::npos) {
            throw IoError(
                Fill(Tr("line {0}: the {1} {2} holds a comma, which a CASS .dat file "
                        "cannot hold"),
                     {std::to_string(row.line), columns_[column], QuoteForMessage(text)}));
        }
        return text;
    };
    char number[kMaxResultText];
    std::string buffer;
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
        std::string_view h = height_ < row.passed.size() ? row.passed[height_] : "";
        while (!h.empty() && (h.front() == ' ' || h.front() == '\t')) h.remove_prefix(1);
        while (!h.empty() && (h.back() == ' ' || h.back() == '\t')) h.remove_suffix(1);
        if (h.empty()) {
            encoded += '0';
        } else if (const std::optional<double> v =
                       TryParseNumber(DecimalText(h, job_.decimalComma, buffer))) {
            encoded += ShortestText(*v);
        } else {
            throw IoError(Fill(
                Tr("line {0}: the {1} {2} is not a number, which a CASS .dat file "
                   "needs"),
                {std::to_string(row.line), columns_[passedFrom_ + height_], QuoteForMessage(h)}));
        }
        encoded += "\r\n";
    }
    if (!job_.encoding.empty()) ToGb18030(encoded);
}

void DatSink::Take(const RowBlock&, std::string_view encoded) {
    out_.Append(encoded);
    out_.MaybeFlush();
}

void DatSink::End() {
    out_.Flush();
}

}  // namespace quorvel::engine
