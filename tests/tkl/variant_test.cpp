#include <gtest/gtest.h>

#include <QStringList>
#include <QUrl>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "TestSupport.h"
#include "tkl/Variant.h"

using tkl::Variant;
using tkltest::TimeZone;

TEST(Variant, InvalidGivesDefaults) {
    const Variant invalid;
    EXPECT_FALSE(invalid.value().isValid());
    // The integer conversions share one path, floats go through toDouble.
    EXPECT_EQ(invalid.toULongLong(), 0u);
    EXPECT_EQ(invalid.toFloat(), 0);
    EXPECT_EQ(invalid.toChar(), 0);
    EXPECT_FALSE(invalid.toBool());
    EXPECT_EQ(invalid.toDateTime(), 0);
    EXPECT_EQ(invalid.str(), "");
    EXPECT_TRUE(invalid.toStringList().empty());
    EXPECT_TRUE(invalid.toByteArray().empty());
}

TEST(Variant, TextsParseAsNumbers) {
    const Variant answer("42");
    EXPECT_EQ(answer.toInt(), 42);
    EXPECT_EQ(answer.toULongLong(), 42u);
    EXPECT_DOUBLE_EQ(answer.toDouble(), 42);
    EXPECT_TRUE(answer.toBool());
    EXPECT_EQ(answer.toChar(), '4');

    const Variant word(std::string("true"));
    EXPECT_EQ(word.toInt(), 0);
    EXPECT_FALSE(word.toBool());
    EXPECT_EQ(Variant("12a").toLongLong(), 0);
    EXPECT_FLOAT_EQ(Variant("2.5").toFloat(), 2.5f);
    EXPECT_EQ(Variant('7').toInt(), 7);
    EXPECT_EQ(Variant('x').str(), "x");
    EXPECT_EQ(Variant(static_cast<const char*>(nullptr)).str(), "");
    EXPECT_EQ(Variant("Zürich").str(), "Zürich");
}

TEST(Variant, NumbersTruncateAndKeepTheirSign) {
    const Variant real(2.9);
    EXPECT_EQ(real.toInt(), 2);
    EXPECT_EQ(real.str(), "3");
    EXPECT_EQ(real.toChar(), '3');
    EXPECT_EQ(Variant(-2.9).toLongLong(), -2);
    EXPECT_EQ(Variant(2.9f).toInt(), 2);  // float truncates like double
    // Out-of-range doubles saturate instead of wrapping.
    EXPECT_EQ(Variant(1e20).toInt(), INT_MAX);
    EXPECT_EQ(Variant(-1e20).toLongLong(), LLONG_MIN);
    EXPECT_EQ(Variant(-1.0).toUInt(), 0u);
    EXPECT_EQ(Variant(1.8e19).toULongLong(), 18000000000000000000ULL);

    const Variant huge(18446744073709551615ULL);
    EXPECT_EQ(huge.str(), "18446744073709551615");
    EXPECT_GT(huge.toDouble(), 1.8e19);
    EXPECT_TRUE(huge.toBool());
    EXPECT_EQ(Variant(4294967295U).toInt(), -1);
    EXPECT_EQ(Variant(-5L).str(), "-5");
    EXPECT_EQ(Variant(-5L).value().userType(), QMetaType::LongLong);
    EXPECT_EQ(Variant(5UL).value().userType(), QMetaType::ULongLong);

    const Variant flag(true);
    EXPECT_EQ(flag.str(), "1");
    EXPECT_EQ(flag.toChar(), '1');
    EXPECT_EQ(flag.toULong(), 1u);
    EXPECT_EQ(Variant(0).toBool(), false);
}

TEST(Variant, BytesListsAndUrls) {
    const Variant bytes(std::vector<uint8_t>{0x01, 0xAB});
    EXPECT_EQ(bytes.str(), "01ab");
    EXPECT_EQ(bytes.toByteArray(), (std::vector<uint8_t>{0x01, 0xAB}));
    EXPECT_EQ(bytes.toInt(), 0);
    EXPECT_TRUE(Variant("01ab").toByteArray().empty());

    const Variant list(QVariant(QStringList{"a", "b", "ç"}));
    EXPECT_EQ(list.str(), "a,b,ç");
    EXPECT_EQ(list.toStringList(), (std::vector<std::string>{"a", "b", "ç"}));

    const Variant url(QVariant(QUrl("http://host:8080/mon")));
    EXPECT_EQ(url.str(), "http://host:8080/mon");
}

TEST(Variant, DateTimesUseLocalTime) {
    TimeZone zone("<-03>3");
    const int64_t ms = 1614864030123LL;  // 2021-03-04T13:20:30.123Z
    EXPECT_EQ(Variant("2021/03/04 10:20:30.123").toDateTime(), ms);
    EXPECT_EQ(Variant("2021-03-04").toDateTime(), 0);

    Variant stamp;
    stamp.setDateTime(ms);
    EXPECT_EQ(stamp.str(), "2021/03/04 10:20:30.123");
    EXPECT_EQ(stamp.toDateTime(), ms);
    EXPECT_EQ(stamp.toLongLong(), ms);
    EXPECT_DOUBLE_EQ(stamp.toDouble(), static_cast<double>(ms));
    EXPECT_TRUE(stamp.toBool());
    EXPECT_EQ(stamp.toChar(), '1');
    EXPECT_EQ(Variant(ms).toDateTime(), ms);
    EXPECT_EQ(Variant(12.7).toDateTime(), 12);
}
