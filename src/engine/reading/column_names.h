#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/computation.h"

namespace quorvel::engine {

// What a header line's name says its column holds, in the names surveyors give them: 点名,
// 点号, 名称 or name; 编码, 代码 or code; X, X坐标, 北坐标, N or 纵坐标; Y, Y坐标, 东坐标, E or
// 横坐标; H, 高程 or Z; L or 经度; B or 纬度. Latin letters in any case, blanks anywhere and a
// unit in brackets after the name, as "X (m)", do not count. A coordinate's name may end in 1 or
// 2, the side of a common point (X1: the source's, Y2: the target's).
enum class ColumnKind { Other, Name, Code, X, Y, Height, L, B };
struct ColumnName {
    ColumnKind kind = ColumnKind::Other;
    int side = 0;  // 1 or 2 from the name's last digit; 0 without one

    bool operator==(const ColumnName&) const = default;
};
ColumnName ReadColumnName(std::string_view name);
std::vector<ColumnName> ReadColumnNames(const std::vector<std::string>& names);

// The computation a file's columns are for: inverse for X and Y columns, forward for L and B;
// nullopt for a file with both or neither.
std::optional<Computation> ComputationOfColumns(const std::vector<ColumnName>& columns);

// The coordinates, by name, that `mode` reads from a point's two values: L and B for forward,
// X and Y for inverse and zone change.
std::vector<std::string> ValueNames(Computation mode);

// The 0-based columns of the name and of each coordinate in `coordinates` (as named by
// ValueNames or a datum layout: X1, Y1, H1, X2 ...), from a header's names. A coordinate takes
// the first column of its kind and side (a column without a side goes to the first coordinate
// of its kind still without one); a second column of a kind is left to pass through. Without a
// name column, the first column that holds no coordinate is the name. nullopt unless every
// coordinate has its column.
std::optional<std::vector<std::size_t>> ColumnsOfNames(const std::vector<ColumnName>& columns,
                                                       const std::vector<std::string>& coordinates);

}  // namespace quorvel::engine
