#include "engine/datum_points.h"

#include <algorithm>
#include <optional>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/process.h"

namespace quorvel::engine {

Triple DatumValues::Side(std::size_t from, std::size_t count) const {
    Triple t{0, 0, 0};
    for (std::size_t k = 0; k < count; ++k) t[k] = values[from + k];
    return t;
}

DatumPointOperation::DatumPointOperation(DatumLayout layout, bool decimalComma,
                                         std::vector<std::string> head)
    : layout_(std::move(layout)), decimalComma_(decimalComma), head_(std::move(head)) {
    const std::size_t needed = layout_.Needed();
    std::vector<char> notPassed(needed, 0);
    for (std::size_t f : layout_.fields) notPassed[f] = 1;
    SetFields(needed, std::move(notPassed));
}

bool DatumPointOperation::ReadsAsPoint(const ParsedLine& p) const {
    if (p.status != LineStatus::Fields || p.count < Needed()) return false;
    std::string buffer;
    for (std::size_t k = 1; k < layout_.fields.size(); ++k) {
        const std::string_view text = TrimBlanks(p.fields[layout_.fields[k]]);
        if (!TryParseNumber(DecimalText(text, decimalComma_, buffer))) return false;
    }
    return true;
}

bool DatumPointOperation::GivesPoint(const ParsedLine& p, std::size_t kept) const {
    DatumValues v;
    Diagnostic d;
    return kept >= Needed() && ReadAt(p, kept, v, d);
}

bool DatumPointOperation::ReadAt(const ParsedLine& p, std::size_t width, DatumValues& v,
                                 Diagnostic& d) const {
    if (p.status != LineStatus::Fields) return false;
    std::size_t count = 0, fit = 0;
    std::string buffer;
    return FieldsFit(p, Needed(), {std::max(width, Needed()), 0, false}, 0, count, fit, d) &&
           ReadValues(p, v, d, buffer);
}

bool DatumPointOperation::ReadValues(const ParsedLine& p, DatumValues& v, Diagnostic& d,
                                     std::string& buffer) const {
    for (std::size_t k = 0; k < layout_.names.size(); ++k) {
        const std::string_view typed = TrimBlanks(p.fields[layout_.fields[k + 1]]);
        v.typed[k] = typed;
        const std::string_view number = DecimalText(typed, decimalComma_, buffer);
        const std::optional<double> read = TryParseNumber(number);
        if (!read) {
            d.field = k + 1;
            d.text = typed;
            d.problem = typed.empty() ? Problem::EmptyValue : Problem::NotANumber;
            try {
                ParseNumber(number);
            } catch (const OverflowError&) {
                d.problem = Problem::OutOfRange;
            } catch (const Error&) {
            }
            return false;
        }
        v.read[k] = *read;
        v.values[k] = layout_.angles[k] ? DecodePackedAngle(*read) : *read;
    }
    return true;
}

void DatumPointOperation::WarnOfExcess(const DatumValues& v, std::uint64_t line,
                                       LineReport& report) const {
    for (std::size_t k = 0; k < layout_.names.size(); ++k) {
        if (!layout_.angles[k]) continue;
        const std::optional<PackedExcessValue> excess = FindPackedExcess(v.typed[k]);
        if (!excess) continue;
        if (Diagnostic* d = report.Warn(Problem::PackedExcess, line)) {
            d->field = k + 1;
            d->text = v.typed[k];
            d->count = static_cast<std::uint64_t>(excess->amount);
            d->seconds = excess->seconds;
        }
    }
}

std::string DatumPointOperation::TypedValues(const DatumValues& v) const {
    std::string text;
    for (std::size_t k = 0; k < layout_.sourceCount; ++k) {
        if (k > 0) text += Tr(", ");
        text += layout_.names[k] + " " + QuoteForMessage(v.typed[k]);
    }
    return text;
}

}  // namespace quorvel::engine
