#include <gtest/gtest.h>

#include <QStringList>
#include <QUrl>
#include <climits>
#include <string>
#include <tuple>

#include "TestSupport.h"
#include "tkl/Variant.h"

using tkl::Variant;

// Text, integer, real, truth and first character by kind: numbers truncate, texts parse.
TEST(Variant, ConversionsByKind) {
    const std::tuple<Variant, const char*, long long, double, bool, char> rows[] = {
        {Variant(), "", 0, 0, false, 0},
        {Variant(static_cast<const char*>(nullptr)), "", 0, 0, false, 0},
        {Variant("42"), "42", 42, 42, true, '4'},
        {Variant(std::string("true")), "true", 0, 0, false, 't'},
        {Variant("12a"), "12a", 0, 0, false, '1'},
        {Variant("Zürich"), "Zürich", 0, 0, false, 'Z'},
        {Variant('7'), "7", 7, 7, true, '7'},
        {Variant(2.9), "3", 2, 2.9, true, '3'},
        {Variant(-2.9), "-3", -2, -2.9, true, '-'},
        {Variant(true), "1", 1, 1, true, '1'},
        {Variant(-5L), "-5", -5, -5, true, '-'},
        {Variant(std::vector<uint8_t>{0x01, 0xAB}), "01ab", 0, 0, false, '0'},
    };
    for (const auto& [value, text, integer, real, truth, first] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(value.str(), text);
        EXPECT_EQ(value.toLongLong(), integer);
        EXPECT_DOUBLE_EQ(value.toDouble(), real);
        EXPECT_EQ(value.toBool(), truth);
        EXPECT_EQ(value.toChar(), first);
    }
    EXPECT_EQ(Variant(2.9f).toInt(), 2);  // float truncates like double
    EXPECT_FLOAT_EQ(Variant("2.5").toFloat(), 2.5f);
}

TEST(Variant, OutOfRangeNumbersSaturateAndUnsignedStayPositive) {
    EXPECT_EQ(Variant(1e20).toInt(), INT_MAX);
    EXPECT_EQ(Variant(-1e20).toLongLong(), LLONG_MIN);
    EXPECT_EQ(Variant(-1.0).toUInt(), 0u);
    EXPECT_EQ(Variant(1.8e19).toULongLong(), 18000000000000000000ULL);

    const Variant huge(18446744073709551615ULL);
    EXPECT_EQ(huge.str(), "18446744073709551615");
    EXPECT_GT(huge.toDouble(), 1.8e19);
    EXPECT_EQ(Variant(4294967295U).toInt(), -1);
}

TEST(Variant, BytesListsAndUrls) {
    EXPECT_EQ(Variant(std::vector<uint8_t>{0x01, 0xAB}).toByteArray(),
              (std::vector<uint8_t>{0x01, 0xAB}));
    EXPECT_TRUE(Variant("01ab").toByteArray().empty());

    const Variant list(QVariant(QStringList{"a", "b", "ç"}));
    EXPECT_EQ(list.str(), "a,b,ç");
    EXPECT_EQ(list.toStringList(), (std::vector<std::string>{"a", "b", "ç"}));
    EXPECT_EQ(Variant(QVariant(QUrl("http://host:8080/mon"))).str(), "http://host:8080/mon");
}

TEST(Variant, DateTimesUseLocalTime) {
    ScopedTimeZone zone(kMinusThree);
    const int64_t ms = 1614864030123LL;  // 2021-03-04T13:20:30.123Z
    EXPECT_EQ(Variant("2021/03/04 10:20:30.123").toDateTime(), ms);
    EXPECT_EQ(Variant("2021-03-04").toDateTime(), 0);
    EXPECT_EQ(Variant().toDateTime(), 0);

    Variant stamp;
    stamp.setDateTime(ms);
    EXPECT_EQ(stamp.str(), "2021/03/04 10:20:30.123");
    EXPECT_EQ(stamp.toDateTime(), ms);
    EXPECT_EQ(stamp.toLongLong(), ms);
    EXPECT_EQ(Variant(12.7).toDateTime(), 12);
}
