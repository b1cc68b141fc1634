#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "JsonText.h"
#include "TestSupport.h"

using tkl::JsonArray;
using tkl::JsonDocument;
using tkl::JsonObject;
using tkl::JsonValue;

// The text, number and truth of values of each type; missing members are defaults.
TEST(JsonValue, ConversionsByType) {
    const JsonObject parsed = parse(R"({"t":true,"f":false,"n":null,"i":5})");
    const std::tuple<JsonValue, const char*, double, bool> rows[] = {
        {JsonObject().value("absent"), "", 0, false},
        {parsed.value("t"), "1", 1, true},
        {parsed.value("f"), "0", 0, false},
        {JsonValue(2.6), "3", 2.6, true},
        {JsonValue(-7), "-7", -7, true},
        {JsonValue("12.5"), "12.5", 12.5, false},
        {JsonValue("12a"), "12a", 0, false},
        {JsonValue("TRUE"), "TRUE", 0, true},
        {JsonValue("1"), "1", 1, true},
        {JsonValue("10"), "10", 10, false},
        {JsonValue(static_cast<const char*>(nullptr)), "", 0, false},
    };
    for (const auto& [value, text, number, truth] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(value.toString(), text);
        EXPECT_DOUBLE_EQ(value.toDouble(), number);
        EXPECT_EQ(value.toBool(), truth);
    }
    EXPECT_TRUE(JsonObject().take("absent").isUndefined());
    for (const JsonValue& outside : {JsonArray().at(0), JsonArray().last(), JsonArray()[-1]}) {
        EXPECT_TRUE(outside.isUndefined());
    }
    EXPECT_TRUE(parsed.value("n").isNull());
    // A C++ bool is stored as the number it promotes to.
    EXPECT_TRUE(JsonValue(true).isDouble());
    EXPECT_EQ(parsed.value("i"), JsonValue(5));
}

TEST(JsonObject, RequestTextEscapesStrings) {
    const std::pair<const char*, const char*> members[] = {
        {"quote", "a\"b"},       {"backslash", "c\\d"},
        {"tab", "\t"},           {"control", "x\x01\b\f\r\v\x1fy\ny"},
        {"utf8", "Zürich–東京"}, {"key\"with", "k"}};
    JsonObject object;
    for (const auto& [key, value] : members) {
        object.insert(key, value);
    }
    const std::string text = object.toString();
    EXPECT_EQ(text.find(' '), std::string::npos) << text;

    // Qt's own parser reads every string back unchanged.
    QJsonParseError error;
    const QJsonObject back =
        QJsonDocument::fromJson(QByteArray::fromStdString(text), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text;
    for (const auto& [key, value] : members) {
        EXPECT_EQ(back.value(QString::fromUtf8(key)).toString(), QString::fromUtf8(value)) << key;
    }
    EXPECT_EQ(back.size(), object.size());
}

// Integers digit for digit, others with six digits; NaN and infinity as null, to stay JSON.
TEST(JsonObject, RequestTextNumbers) {
    const std::pair<JsonValue, const char*> rows[] = {
        {91.4f, "91.4"},  // a float reading widened to double
        {230.123456, "230.123"},
        {1.0 / 3, "0.333333"},
        {-2.75, "-2.75"},
        {1e-7, "1e-07"},
        {1234567.5, "1.23457e+06"},
        {4294967295U, "4294967295"},
        {-2147483648LL, "-2147483648"},
        {9007199254740993ULL, "9007199254740992"},          // nearest double is 2^53
        {18446744073709551615ULL, "18446744073709551616"},  // 2^64: past 64 bits
        {-9223372036854775808.0, "-9223372036854775808"},
        {-12345678901234567890.0, "-12345678901234567168"},
        {1e300, "1e+300"},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {-std::numeric_limits<double>::infinity(), "null"},
        {uint8_t(1), "1"},
    };
    for (const auto& [value, expected] : rows) {
        JsonObject object;
        object.insert("n", value);
        const std::string text = object.toString();
        EXPECT_EQ(text, std::string(R"({"n":)") + expected + "}");
        EXPECT_TRUE(parse(text).contains("n")) << text;
        JsonArray array;
        array.append(value);
        EXPECT_EQ(array.toString(), std::string("[") + expected + "]");
    }

    // Parsed integers beyond double precision pass through unchanged.
    EXPECT_EQ(parse(R"({"id":9007199254740993})").toString(), R"({"id":9007199254740993})");
    // Six-digit text reads back into the same text.
    EXPECT_EQ(parse(R"({"v":230.123})").toString(), R"({"v":230.123})");
}

TEST(JsonObject, TextFormOrdersKeysAndNests) {
    JsonObject inner;
    inner.insert("z", 1);
    inner.insert("a", "s");
    JsonArray list;
    list.append(230);
    list.append("x");
    list.append(inner);
    JsonObject outer;
    outer.insert("list", list);
    outer.insert("inner", inner);
    outer.insert("b", JsonValue());
    EXPECT_EQ(outer.toString(),
              R"({"b":null,"inner":{"a":"s","z":1},"list":[230,"x",{"a":"s","z":1}]})");
    // Parsed JSON booleans come out as numbers.
    EXPECT_EQ(parse(R"({"on":true,"off":false})").toString(), R"({"off":0,"on":1})");
}

TEST(JsonValue, DateTimeReadsLocalTextAndNumbersAndWritesTheOffsetOfItsMoment) {
    ScopedTimeZone zone(kMinusThree);
    const int64_t expected = 1614864030123LL;  // 2021-03-04T13:20:30.123Z
    EXPECT_EQ(JsonValue("not a date").toDateTime(), 0);
    EXPECT_EQ(JsonValue(-1234.9).toDateTime(), -1234);
    EXPECT_EQ(JsonValue(1e300).toDateTime(), INT64_MAX);

    JsonValue stamp;
    stamp.setDateTime(expected, 1000);
    EXPECT_EQ(stamp.toString(), "2021-03-04T10:20:31.123-03:00");
}

// Zone rules and names in TZ are POSIX only; the Windows test run leaves this test out.
TEST(JsonValue, DateTimeZoneDesignator) {
    JsonValue stamp;
    // The designator follows the offset in force at the stamped moment; reading back ignores it.
    const std::tuple<const char*, int64_t, const char*> cases[] = {
        {"UTC", 0, "1970-01-01T00:00:00.000Z"},
        {"<+0530>-5:30", 0, "1970-01-01T05:30:00.000+05:30"},
        {"Europe/Berlin", 1610000000000LL, "2021-01-07T07:13:20.000+01:00"},
        {"Europe/Berlin", 1625000000000LL, "2021-06-29T22:53:20.000+02:00"},
    };
    for (const auto& [zone, ms, text] : cases) {
        ScopedTimeZone scoped(zone);
        stamp.setDateTime(ms);
        EXPECT_EQ(stamp.toString(), text);
        EXPECT_EQ(stamp.toDateTime(), ms) << text;
    }
}

TEST(JsonArray, EditsStayInRange) {
    JsonArray array;
    array.removeLast();
    array.removeFirst();
    array.removeAt(3);
    EXPECT_TRUE(array.isEmpty());

    array.append(2);
    array.prepend(1);
    array.insert(2, 3);
    array.insert(5, 99);   // beyond the end: ignored
    array.replace(7, 99);  // ignored
    array.set(-1, 99);     // ignored
    EXPECT_EQ(array.toString(), "[1,2,3]");
    EXPECT_TRUE(array.takeAt(3).isUndefined());

    array.set(1, "two");
    array.replace(0, 1.5);
    EXPECT_EQ(array.takeAt(2).toDouble(), 3);
    EXPECT_EQ(array.toStringList(), (std::vector<std::string>{"1.5", "\"two\""}));

    array.fromStringList({"a\"", "b"});
    EXPECT_EQ(array.toString(), R"(["a\"","b"])");
}

TEST(JsonDocument, ParsesAndSerialises) {
    JsonDocument document;
    document.fromJson("{");
    EXPECT_TRUE(document.isNull());
    EXPECT_TRUE(document.object().isEmpty());
    document.fromJson(nullptr);
    EXPECT_TRUE(document.isNull());

    const char* text = R"({"b":[1,2],"a":"x"} trailing)";
    document.fromJson(text, 19);  // only the object
    ASSERT_TRUE(document.isObject());
    EXPECT_EQ(document.toJson(true),
              "{\n    \"a\": \"x\",\n    \"b\": [\n        1,\n        2\n    ]\n}\n");
}
