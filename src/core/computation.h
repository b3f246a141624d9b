#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The three computations, numbered as the window's type prompt numbers them.
enum class Computation { Forward = 1, Inverse = 2, Zone = 3 };

// The computation a typed type number names; none for any other number (which starts no batch).
constexpr std::optional<Computation> ComputationOf(int number) {
    if (number < 1 || number > 3) return std::nullopt;
    return static_cast<Computation>(number);
}

// "大地正算", "大地反算" or "座标换带".
std::string_view ComputationName(Computation computation);
// The same in the language of the messages, for errors; the report keeps the Chinese name.
std::string ComputationWord(Computation computation);

}  // namespace quorvel
