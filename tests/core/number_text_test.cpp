#include "core/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "core/errors.h"
#include "core/value_cell.h"

namespace quorvel {
namespace {

TEST(ParseNumber, AcceptsDecimalTextsWithBlanksSignPointAndExponent) {
    EXPECT_EQ(ParseNumber("117"), 117);
    EXPECT_EQ(ParseNumber("  30.3030\t"), 30.303);
    EXPECT_EQ(ParseNumber("-116.3045"), -116.3045);
    EXPECT_EQ(ParseNumber("+5"), 5);
    EXPECT_EQ(ParseNumber(".5"), 0.5);
    EXPECT_EQ(ParseNumber("5."), 5);
    EXPECT_EQ(ParseNumber("3.38E6"), 3380000);
    EXPECT_EQ(ParseNumber("1e-2"), 0.01);
    EXPECT_EQ(ParseNumber("2.5e+1"), 25);
    EXPECT_EQ(ParseNumber("1e-400"), 0);  // underflow reads as zero
    EXPECT_TRUE(std::signbit(ParseNumber("-1e-400")));
    // Full-width forms, as a Chinese input method types them, and the ideographic space.
    EXPECT_EQ(ParseNumber("１１６．３０４５"), 116.3045);
    EXPECT_EQ(ParseNumber("－５"), -5);
    EXPECT_EQ(ParseNumber("＋3.38Ｅ６"), 3380000);
    EXPECT_EQ(ParseNumber("1ｅ－2"), 0.01);
    EXPECT_EQ(ParseNumber("\u3000３０\u3000"), 30);
    EXPECT_THROW(ParseNumber("１ｅ９９９"), OverflowError);
}

// Plain decimals are read without from_chars; they must come out as the very double it gives.
TEST(ReadPlainDecimal, GivesTheDoubleFromCharsGives) {
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<int> digit(0, 9), length(1, 19);
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        const int n = length(rng);
        const int point = std::uniform_int_distribution<int>(0, n)(rng);  // n: no point
        for (int k = 0; k < n; ++k) {
            if (k == point && k > 0) text += '.';
            text += static_cast<char>('0' + digit(rng));
        }
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        const std::optional<double> read = TryParseNumber(" -" + text + "\t");
        ASSERT_TRUE(read) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(*read), std::bit_cast<std::uint64_t>(-expected))
            << text;
    }
    // At the edges of the shortcut: 2^53 and one past it, 19 and 20 digits, and the forms it
    // leaves to the general reading.
    for (const char* text :
         {"9007199254740992", "9007199254740993", "900719925474099.3", "1234567890123456789",
          "12345678901234567890", "0.0000000000000000001", "5.", ".5", "+5", "-0", "1e5", "0.1"}) {
        double expected = 0;
        const std::string_view t = text[0] == '+' ? text + 1 : text;
        std::from_chars(t.data(), t.data() + t.size(), expected);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(ParseNumber(text)),
                  std::bit_cast<std::uint64_t>(expected))
            << text;
    }
    EXPECT_FALSE(ReadPlainDecimal("9007199254740993"));
    EXPECT_FALSE(ReadPlainDecimal("5."));
    EXPECT_EQ(ReadPlainDecimal(" 116.3045 ")->digits, 1163045u);
}

TEST(ParseNumber, RejectsEverythingElseAsTypeMismatch) {
    for (const char* text :
         {"",   " ",   "abc", "1,5",  "1.2.3", "--1", "+-1",    ".",     "-",      "1e",    "1e+",
          "e5", "inf", "nan", "0x10", "1 2",   "12a", "１２ａ", "1_000", "１，５", "\u3000"}) {
        EXPECT_THROW(ParseNumber(text), TypeMismatchError) << '"' << text << '"';
        EXPECT_FALSE(TryParseNumber(text).has_value()) << '"' << text << '"';
    }
}

// The character a refused text breaks at agrees with the grammar: none for a number, or for a
// text that only lacks its end.
TEST(NumberBreakAt, FindsTheFirstCharacterNoNumberContinuesWith) {
    const std::pair<const char*, std::optional<std::size_t>> cases[] = {
        {"116.3O45", 5},  {"abc", 0},
        {"1,5", 1},       {"1.2.3", 3},
        {"--1", 1},       {"+-1", 1},
        {"e5", 0},        {"0x10", 1},
        {"1 2", 2},       {"1e5 x", 4},
        {"1e5e", 3},      {"１２ａ", 6},
        {"１，５", 3},    {"", {}},
        {" ", {}},        {".", {}},
        {"-", {}},        {"1e", {}},
        {"1e+", {}},      {"\u3000", {}},
        {" 1.5e-3 ", {}}, {"１１６．３０４５", {}},
    };
    for (const auto& [text, at] : cases) EXPECT_EQ(NumberBreakAt(text), at) << '"' << text << '"';
}

TEST(ParseNumber, MagnitudeBeyondDoubleIsOverflow) {
    EXPECT_THROW(ParseNumber("1e400"), OverflowError);
    EXPECT_THROW(ParseNumber("-2e308"), OverflowError);
    EXPECT_FALSE(TryParseNumber("1e400").has_value());
}

TEST(ParseNumber, ErrorNamesTheFailureAndQuotesTheText) {
    try {
        ParseNumber("12a");
        FAIL();
    } catch (const TypeMismatchError& e) {
        EXPECT_EQ(std::string(e.what()), "类型不匹配：“12a” 不是数值");
    }
}

TEST(ToInt16, RoundsHalfToEvenWithinSixteenBits) {
    EXPECT_EQ(ParseInt16("2.5"), 2);
    EXPECT_EQ(ParseInt16("3.5"), 4);
    EXPECT_EQ(ParseInt16("-2.5"), -2);
    EXPECT_EQ(ParseInt16("2.5000001"), 3);
    EXPECT_EQ(ParseInt16("32767"), 32767);
    EXPECT_EQ(ParseInt16("-32768"), -32768);
    EXPECT_EQ(ParseInt16("-32768.5"), -32768);
    EXPECT_EQ(ParseInt16("32767.4"), 32767);
    EXPECT_THROW(ParseInt16("32767.5"), OverflowError);
    EXPECT_THROW(ParseInt16("32768"), OverflowError);
    EXPECT_THROW(ParseInt16("-32769"), OverflowError);
    EXPECT_THROW(ParseInt16("1e300"), OverflowError);
    EXPECT_THROW(ParseInt16(""), TypeMismatchError);
}

TEST(RoundHalfEven, DecidesOnTheShortestDecimalDigits) {
    EXPECT_EQ(RoundHalfEven(2.675, 2), 2.68);  // binary 2.67499999… but typed 2.675
    EXPECT_EQ(RoundHalfEven(0.125, 2), 0.12);
    EXPECT_EQ(RoundHalfEven(0.375, 2), 0.38);
    EXPECT_EQ(RoundHalfEven(3376626.64035, 4), 3376626.6404);
    EXPECT_EQ(RoundHalfEven(3376626.64045, 4), 3376626.6404);
    EXPECT_EQ(RoundHalfEven(-3376626.64035, 4), -3376626.6404);
    EXPECT_EQ(RoundHalfEven(9.99995, 4), 10.0);
    EXPECT_EQ(RoundHalfEven(0.00004, 4), 0.0);
    EXPECT_EQ(RoundHalfEven(0.00005, 4), 0.0);
    EXPECT_EQ(RoundHalfEven(0.00015, 4), 0.0002);
    EXPECT_EQ(RoundHalfEven(123.0, 4), 123.0);
    EXPECT_EQ(RoundHalfEven(1e20, 4), 1e20);
    EXPECT_TRUE(std::isnan(RoundHalfEven(std::nan(""), 4)));
}

TEST(FormatFixed, PatternsWithAndWithoutIntegerDigit) {
    EXPECT_EQ(FormatFixed(0.5, ".0000"), ".5000");
    EXPECT_EQ(FormatFixed(-0.5, ".0000"), "-.5000");
    EXPECT_EQ(FormatFixed(0.0, ".0000"), ".0000");
    EXPECT_EQ(FormatFixed(0.99995, ".0000"), "1.0000");
    EXPECT_EQ(FormatFixed(612345.678, ".0000"), "612345.6780");
    EXPECT_EQ(FormatFixed(0.5, "0.0000"), "0.5000");
    EXPECT_EQ(FormatFixed(117.153, "0.00000000"), "117.15300000");
    EXPECT_EQ(FormatFixed(1e-05, "0.0000"), "0.0000");
    EXPECT_EQ(FormatFixed(1e20, "0.00"), "100000000000000000000.00");
    EXPECT_EQ(FormatFixed(42.7, "0"), "43");
}

TEST(FormatFixed, RoundsHalfAwayFromZeroAndDropsTheSignOfZero) {
    EXPECT_EQ(FormatFixed(3380000.12345, "0.0000"), "3380000.1235");
    EXPECT_EQ(FormatFixed(-3380000.12345, "0.0000"), "-3380000.1235");
    EXPECT_EQ(FormatFixed(1.0005, "0.000"), "1.001");
    EXPECT_EQ(FormatFixed(612345.6775, "0.000"), "612345.678");
    EXPECT_EQ(FormatFixed(-0.00004, "0.0000"), "0.0000");
    EXPECT_EQ(FormatFixed(-0.0, "0.0000"), "0.0000");
    EXPECT_EQ(FormatFixed(-0.00005, "0.0000"), "-0.0001");
    EXPECT_EQ(FormatFixed(99.9999995, "0.000000"), "100.000000");
}

TEST(ValueCell, TypedTextsAreReadWhenUsedAndShownUnchangedWhenNotNumbers) {
    EXPECT_EQ(DisplayText(ValueCell("116.3045"), "0.0000000000"), " 116.3045000000");
    EXPECT_EQ(DisplayText(ValueCell("116.3045"), "0.000000"), " 116.304500");
    EXPECT_EQ(DisplayText(ValueCell("abc"), "0.0000"), " abc");
    EXPECT_EQ(DisplayText(ValueCell(""), "0.0000"), " ");
    EXPECT_EQ(DisplayText(ValueCell(3376626.6403469066), "0.0000"), " 3376626.6403");
    EXPECT_EQ(ValueCell("117.3").Format("0.00000"), "117.30000");
    EXPECT_EQ(ValueCell().Number(), 0);
    EXPECT_EQ(ValueCell(" 3.5 ").Number(), 3.5);
    EXPECT_THROW(ValueCell("x").Number(), TypeMismatchError);
    EXPECT_THROW(ValueCell("").Number(), TypeMismatchError);
}

}  // namespace
}  // namespace quorvel
