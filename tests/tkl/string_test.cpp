#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tkl/String.h"

using tkl::String;
using Parts = std::vector<std::string>;

TEST(StringNumbers, PaddingSignHexDoublesAndParsing) {
    // Decimal padding keeps the sign in front.
    EXPECT_EQ(String::fromInt(5, 3, '0'), "005");
    EXPECT_EQ(String::fromInt(12345, 3, '0'), "12345");
    EXPECT_EQ(String::fromInt(-5, 4, '0'), "-005");
    EXPECT_EQ(String::fromInt(-5, 4, ' '), "  -5");
    EXPECT_EQ(String::fromInt(static_cast<long long>(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(String::fromInt(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(String::fromInt(0u, 0, 'x'), "0");
    EXPECT_EQ(String::toHexString(255, 4, '0', true), "00FF");
    EXPECT_EQ(String::toHexString(-1), "ffffffff");
    EXPECT_EQ(String::toHexString(static_cast<long long>(-2)), "fffffffffffffffe");
    EXPECT_EQ(String::fromDouble(3.14159, 2), "3.14");
    EXPECT_EQ(String::fromDouble(2.0, 0), "2");
    EXPECT_EQ(String::fromDouble(1234.5, 2, true), "1.23e+03");

    // Invalid text gives the default; hex takes a suffix or a prefix.
    EXPECT_EQ(String::toInt("12a", 7), 7);
    EXPECT_EQ(String::toInt(static_cast<const char*>(nullptr), 7), 7);
    EXPECT_EQ(String::toInt("-42", 7), -42);
    EXPECT_EQ(String::toInt(std::string("2147483648"), 7), 7);  // out of range
    EXPECT_EQ(String::toUInt("-1", 9u), 9u);
    EXPECT_EQ(String::toULongLong("18446744073709551615"), UINT64_MAX);
    EXPECT_DOUBLE_EQ(String::toDouble("2.5e3"), 2500.0);

    EXPECT_EQ(String::hexToInt("1FH"), 31);
    EXPECT_EQ(String::hexToInt("ffh"), 255);
    EXPECT_EQ(String::hexToInt("0x1f"), 31);
    EXPECT_EQ(String::hexToInt("1FHH", -1), -1);  // only one suffix is dropped
    EXPECT_EQ(String::hexToInt("H", -1), -1);
    EXPECT_EQ(String::hexToULongLong(std::string("ffffffffffffffff")), UINT64_MAX);
}

TEST(StringText, TrimCaseAsciiAndFormat) {
    EXPECT_EQ(String::trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(String::trim(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(String::toUpper("straße é"), "STRASSE É");
    EXPECT_EQ(String::toLower("ÀB"), "àb");
    EXPECT_EQ(String::toAscii("Ñandú café ½ €uro"),
              "Nandu cafe 12 uro");  // the fraction slash is not ASCII

    // Format has no length limit.
    EXPECT_EQ(String::format("%s-%05d-%.2f", "a", 42, 1.5), "a-00042-1.50");
    EXPECT_EQ(String::format(nullptr), "");
    const std::string big(10000, 'x');
    EXPECT_EQ(String::format("[%s]", big.c_str()), "[" + big + "]");
}

TEST(StringText, StripQuoteAndSplitWorkOnWholeMarks) {
    // Strip removes units from both ends, again and again.
    EXPECT_EQ(String::unquote("\"\"'abc'\"\""), "abc");
    EXPECT_EQ(String::unquote("\"'\""), "");
    EXPECT_EQ(String::strip("xyxaxy", "xy", false), "xa");
    EXPECT_EQ(String::strip("xyxyaxy", "xy", false), "a");
    EXPECT_EQ(String::strip("--a--", "-", true), "a");
    EXPECT_EQ(String::strip("abc", "", true), "abc");
    EXPECT_EQ(String::strip(nullptr, "-"), "");
    // Quote adds missing marks only.
    EXPECT_EQ(String::quote(""), "\"\"");
    EXPECT_EQ(String::quote("\""), "\"\"");
    EXPECT_EQ(String::quote("\"abc"), "\"abc\"");
    EXPECT_EQ(String::quote("abc\""), "\"abc\"");
    EXPECT_EQ(String::quote(std::string(">"), std::string("<>")), "<>><>");
    // Split keeps empty parts.
    EXPECT_EQ(String::split("a,,b,", ','), (Parts{"a", "", "b", ""}));
    EXPECT_EQ(String::split("a::b", "::"), (Parts{"a", "b"}));
    EXPECT_EQ(String::split("aXb", "x"), (Parts{"aXb"}));
    EXPECT_EQ(String::split("", ','), Parts{});
    EXPECT_EQ(String::split(static_cast<const char*>(nullptr), ","), Parts{});
    EXPECT_EQ(String::split(std::string("é;ü"), ';'), (Parts{"é", "ü"}));
}
