#include "engine/reading/column_names.h"

#include <algorithm>
#include <array>

namespace quorvel::engine {
namespace {

// The name without blanks (ASCII and the ideographic space), a unit in brackets at its end, and
// case in its Latin letters.
std::string Plain(std::string_view name) {
    std::string s;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name.substr(i).starts_with("\xE3\x80\x80")) {
            i += 2;
            continue;
        }
        const char c = name[i];
        if (c == ' ' || c == '\t' || c == '\r') continue;
        s += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    for (const auto& [open, close] : {std::pair<std::string_view, std::string_view>{"(", ")"},
                                      {"\xEF\xBC\x88", "\xEF\xBC\x89"}}) {  // （ ）
        const std::size_t at = s.rfind(open);
        if (at != std::string::npos && at > 0 && std::string_view(s).ends_with(close)) s.resize(at);
    }
    return s;
}

struct KnownName {
    std::string_view name;
    ColumnKind kind;
};

constexpr std::array kNames{
    KnownName{"点名", ColumnKind::Name},  KnownName{"点号", ColumnKind::Name},
    KnownName{"名称", ColumnKind::Name},  KnownName{"name", ColumnKind::Name},
    KnownName{"point", ColumnKind::Name}, KnownName{"编码", ColumnKind::Code},
    KnownName{"代码", ColumnKind::Code},  KnownName{"code", ColumnKind::Code},
    KnownName{"x", ColumnKind::X},        KnownName{"x坐标", ColumnKind::X},
    KnownName{"北坐标", ColumnKind::X},   KnownName{"n", ColumnKind::X},
    KnownName{"纵坐标", ColumnKind::X},   KnownName{"y", ColumnKind::Y},
    KnownName{"y坐标", ColumnKind::Y},    KnownName{"东坐标", ColumnKind::Y},
    KnownName{"e", ColumnKind::Y},        KnownName{"横坐标", ColumnKind::Y},
    KnownName{"h", ColumnKind::Height},   KnownName{"高程", ColumnKind::Height},
    KnownName{"z", ColumnKind::Height},   KnownName{"l", ColumnKind::L},
    KnownName{"经度", ColumnKind::L},     KnownName{"b", ColumnKind::B},
    KnownName{"纬度", ColumnKind::B},
};

ColumnKind KindOf(std::string_view plain) {
    for (const KnownName& k : kNames) {
        if (k.name == plain) return k.kind;
    }
    return ColumnKind::Other;
}

bool IsCoordinate(ColumnKind k) {
    return k != ColumnKind::Other && k != ColumnKind::Name && k != ColumnKind::Code;
}

}  // namespace

ColumnName ReadColumnName(std::string_view name) {
    const std::string plain = Plain(name);
    if (const ColumnKind k = KindOf(plain); k != ColumnKind::Other) return {k, 0};
    if (plain.size() > 1 && (plain.back() == '1' || plain.back() == '2')) {
        const ColumnKind k = KindOf(std::string_view(plain).substr(0, plain.size() - 1));
        if (IsCoordinate(k)) return {k, plain.back() - '0'};
    }
    return {};
}

std::vector<ColumnName> ReadColumnNames(const std::vector<std::string>& names) {
    std::vector<ColumnName> columns;
    for (const std::string& n : names) columns.push_back(ReadColumnName(n));
    return columns;
}

std::optional<Computation> ComputationOfColumns(const std::vector<ColumnName>& columns) {
    const auto has = [&](ColumnKind k) {
        return std::any_of(columns.begin(), columns.end(),
                           [k](const ColumnName& c) { return c.kind == k; });
    };
    const bool plane = has(ColumnKind::X) && has(ColumnKind::Y);
    const bool geodetic = has(ColumnKind::L) && has(ColumnKind::B);
    if (plane == geodetic) return std::nullopt;
    return plane ? Computation::Inverse : Computation::Forward;
}

std::vector<std::string> ValueNames(Computation mode) {
    if (mode == Computation::Forward) return {"L", "B"};
    return {"X", "Y"};
}

std::optional<std::vector<std::size_t>> ColumnsOfNames(
    const std::vector<ColumnName>& columns, const std::vector<std::string>& coordinates) {
    std::vector<bool> used(columns.size(), false);
    std::vector<std::size_t> out(coordinates.size() + 1, 0);
    // Columns with the coordinate's own side first, then those without a side.
    for (std::size_t k = 0; k < coordinates.size(); ++k) {
        const ColumnName wanted = ReadColumnName(coordinates[k]);
        std::optional<std::size_t> found;
        for (const bool sided : {true, false}) {
            for (std::size_t i = 0; i < columns.size() && !found; ++i) {
                const bool side = sided ? columns[i].side == wanted.side && wanted.side != 0
                                        : columns[i].side == 0 || wanted.side == 0;
                if (!used[i] && columns[i].kind == wanted.kind && side) found = i;
            }
        }
        if (!found) return std::nullopt;
        used[*found] = true;
        out[k + 1] = *found;
    }
    const auto name = [&](ColumnKind kind) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!used[i] && (kind == ColumnKind::Other || columns[i].kind == kind)) return i;
        }
        return columns.size();
    };
    out[0] = name(ColumnKind::Name);
    if (out[0] == columns.size()) out[0] = name(ColumnKind::Other);
    if (out[0] == columns.size()) return std::nullopt;
    return out;
}

}  // namespace quorvel::engine
