#include "engine/datum/datum_points.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/datum/transform_checks.h"
#include "engine/run/process.h"
#include "engine/run/refusal.h"

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
        if (text.empty() && IsHeight(k - 1)) continue;
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
        if (typed.empty() && IsHeight(k)) {
            v.read[k] = v.values[k] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
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

namespace {

// The column names of a system's coordinates, before their 1 or 2.
std::vector<std::string> CoordinateNames(const CoordinateSystem& s, bool heights) {
    std::vector<std::string> names;
    switch (s.kind) {
        case SystemKind::Plane:
            names = {"X", "Y", "H"};
            break;
        case SystemKind::Geodetic:
            names = {"L", "B", "H"};
            break;
        case SystemKind::Geocentric:
            names = {"X", "Y", "Z"};
            break;
    }
    names.resize(static_cast<std::size_t>(TypedCount(s, heights)));
    return names;
}

}  // namespace

std::size_t DatumLayout::Needed() const {
    return *std::max_element(fields.begin(), fields.end()) + 1;
}

DatumLayout DefaultLayout(const CoordinateSystem& from, const CoordinateSystem* to, bool heights,
                          const std::vector<std::string>& heightNames) {
    DatumLayout layout;
    for (const auto& [system, suffix] : {std::pair{&from, "1"}, std::pair{to, "2"}}) {
        if (system == nullptr) continue;
        for (const std::string& name : CoordinateNames(*system, heights)) {
            layout.names.push_back(name + suffix);
            layout.angles.push_back(system->kind == SystemKind::Geodetic && name != "H");
        }
        if (system == &from) layout.sourceCount = layout.names.size();
    }
    layout.names.insert(layout.names.end(), heightNames.begin(), heightNames.end());
    layout.angles.resize(layout.names.size(), false);
    layout.heightCount = heightNames.size();
    for (std::size_t k = 0; k <= layout.names.size(); ++k) layout.fields.push_back(k);
    return layout;
}

std::optional<JobRefusal> MakeLayout(std::span<const std::size_t> fields,
                                     const CoordinateSystem& from, const CoordinateSystem* to,
                                     bool heights, DatumLayout& layout,
                                     const std::vector<std::string>& heightNames) {
    DatumLayout made = DefaultLayout(from, to, heights, heightNames);
    if (fields.empty()) {
        layout = std::move(made);
        return std::nullopt;
    }
    const std::size_t count = made.fields.size();
    if (fields.size() != count) {
        std::string names = "name";
        for (const std::string& n : made.names) names += "," + n;
        std::string typed;
        for (std::size_t f : fields) typed += (typed.empty() ? "" : ",") + std::to_string(f);
        return Refuse(
            Fill(Tr("--fields: {0} gives {1} fields; these systems need {2} ({3})"),
                 {Quoted(typed), std::to_string(fields.size()), std::to_string(count), names}),
            false);
    }
    made.fields.clear();
    for (std::size_t f : fields) made.fields.push_back(f - 1);
    layout = std::move(made);
    return std::nullopt;
}

}  // namespace quorvel::engine
