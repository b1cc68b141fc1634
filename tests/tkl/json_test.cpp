#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "TestSupport.h"
#include "tkl/Json.h"

using tkl::JsonArray;
using tkl::JsonDocument;
using tkl::JsonObject;
using tkl::JsonValue;
using tkltest::TimeZone;

namespace {

JsonDocument parse(const std::string& text) {
    JsonDocument document;
    document.fromJson(text);
    return document;
}

}  // namespace

TEST(JsonValue, MissingMembersReadAsDefaults) {
    JsonObject object;
    const JsonValue missing = object.value("absent");
    EXPECT_TRUE(missing.isUndefined());
    EXPECT_EQ(missing.toString(), "");
    EXPECT_EQ(missing.toDouble(), 0);
    EXPECT_FALSE(missing.toBool());
    EXPECT_EQ(missing.toDateTime(), 0);
    EXPECT_TRUE(missing.toObject().isEmpty());
    EXPECT_TRUE(object.take("absent").isUndefined());

    JsonArray array;
    EXPECT_TRUE(array.at(0).isUndefined());
    EXPECT_TRUE(array.last().isUndefined());
    EXPECT_TRUE(array[-1].isUndefined());
    // A string is neither an object nor an array.
    EXPECT_TRUE(JsonValue("x").toObject().isEmpty());
    EXPECT_TRUE(JsonValue("x").toArray().isEmpty());
}

TEST(JsonValue, BooleansAndNumbersConvert) {
    const JsonValue flag(uint8_t(1));
    EXPECT_TRUE(flag.isDouble());
    EXPECT_TRUE(flag.toBool());
    EXPECT_FALSE(JsonValue(uint8_t(0)).toBool());
    // A C++ bool is stored as the number it promotes to.
    EXPECT_TRUE(JsonValue(true).isDouble());

    for (const char* yes : {"true", "TRUE", "True", "1"})
        EXPECT_TRUE(JsonValue(yes).toBool()) << yes;
    for (const char* no : {"false", "yes", "0", "", "10"})
        EXPECT_FALSE(JsonValue(no).toBool()) << no;

    EXPECT_EQ(JsonValue(2.6).toString(), "3");
    EXPECT_EQ(JsonValue(2.5e3).toString(), "2500");
    EXPECT_EQ(JsonValue(-7).toString(), "-7");
    EXPECT_DOUBLE_EQ(JsonValue("12.5").toDouble(), 12.5);
    EXPECT_EQ(JsonValue("12a").toDouble(), 0);
    EXPECT_EQ(JsonValue(static_cast<const char*>(nullptr)).toString(), "");

    // Unsigned 64-bit values with the top bit set stay positive.
    EXPECT_GT(JsonValue(18446744073709551615ULL).toDouble(), 1.8e19);
    EXPECT_EQ(JsonValue(4294967295U).toDouble(), 4294967295.0);

    const JsonObject parsed = parse(R"({"t":true,"f":false,"n":null})").object();
    EXPECT_EQ(parsed.value("t").toString(), "1");
    EXPECT_EQ(parsed.value("f").toDouble(), 0);
    EXPECT_TRUE(parsed.value("t").toBool());
    EXPECT_TRUE(parsed.value("n").isNull());
    EXPECT_EQ(parsed.value("n").toString(), "");

    // Parsed integers equal constructed ones.
    EXPECT_EQ(parse(R"({"a":5})").object().value("a"), JsonValue(5));
    EXPECT_NE(JsonValue(5), JsonValue("5"));
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

// Integral numbers go out digit for digit; all others with six significant
// digits; NaN and infinity as null, so the text stays JSON.
TEST(JsonObject, RequestTextNumbers) {
    const struct {
        JsonValue value;
        const char* text;
    } rows[] = {
        {91.4f, "91.4"},  // a float reading widened to double
        {230.123456, "230.123"},
        {0.5, "0.5"},
        {1.0 / 3, "0.333333"},
        {-2.75, "-2.75"},
        {1e-7, "1e-07"},
        {1234567.5, "1.23457e+06"},
        {1234567, "1234567"},
        {4294967295U, "4294967295"},
        {-2147483648LL, "-2147483648"},
        {9007199254740993ULL, "9007199254740992"},          // nearest double is 2^53
        {18446744073709551615ULL, "18446744073709551616"},  // 2^64: past 64 bits
        {-9223372036854775808.0, "-9223372036854775808"},
        {-12345678901234567890.0, "-12345678901234567168"},
        {1e300, "1e+300"},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {std::numeric_limits<double>::infinity(), "null"},
        {-std::numeric_limits<double>::infinity(), "null"},
        {uint8_t(1), "1"},
    };
    for (const auto& row : rows) {
        JsonObject object;
        object.insert("n", row.value);
        const std::string text = object.toString();
        EXPECT_EQ(text, std::string(R"({"n":)") + row.text + "}");
        EXPECT_TRUE(parse(text).isObject()) << text;
        JsonArray array;
        array.append(row.value);
        EXPECT_EQ(array.toString(), std::string("[") + row.text + "]");
    }

    // Parsed integers beyond double precision pass through unchanged.
    EXPECT_EQ(parse(R"({"id":9007199254740993})").object().toString(),
              R"({"id":9007199254740993})");
    // Six-digit text reads back into the same text.
    EXPECT_EQ(parse(R"({"v":230.123})").object().toString(), R"({"v":230.123})");
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
    EXPECT_EQ(outer.keys(), (std::vector<std::string>{"b", "inner", "list"}));
    // Parsed JSON booleans come out as numbers.
    EXPECT_EQ(parse(R"({"on":true,"off":false})").object().toString(), R"({"off":0,"on":1})");

    outer.insert("b", 2);  // replaces
    EXPECT_EQ(outer.value("b").toDouble(), 2);
    EXPECT_EQ(outer.take("b").toDouble(), 2);
    EXPECT_FALSE(outer.contains("b"));
    outer.remove(std::string("inner"));
    EXPECT_EQ(outer.size(), 1);
    EXPECT_EQ(outer.value(std::string("list")).toArray(), list);
}

TEST(JsonValue, DateTimeReadsLocalTextAndNumbers) {
    TimeZone zone("<-03>3");
    const int64_t expected = 1614864030123LL;  // 2021-03-04T13:20:30.123Z
    EXPECT_EQ(JsonValue("2021-03-04T10:20:30.123-03:00").toDateTime(), expected);
    EXPECT_EQ(JsonValue("2021-03-04T10:20:30.123Z").toDateTime(), expected);  // suffix ignored
    EXPECT_EQ(JsonValue("2021-03-04T10:20:30.123").toDateTime(), expected);
    EXPECT_EQ(JsonValue("not a date").toDateTime(), 0);
    EXPECT_EQ(JsonValue(1234.9).toDateTime(), 1234);
    EXPECT_EQ(JsonValue(-1234.9).toDateTime(), -1234);
    EXPECT_EQ(JsonValue(1e300).toDateTime(), INT64_MAX);

    JsonValue stamp;
    stamp.setDateTime(expected);
    EXPECT_EQ(stamp.toString(), "2021-03-04T10:20:30.123-03:00");
    EXPECT_EQ(stamp.toDateTime(), expected);
    stamp.setDateTime(expected, 1000);
    EXPECT_EQ(stamp.toString(), "2021-03-04T10:20:31.123-03:00");
}

// The designator follows the offset in force at the stamped moment.
TEST(JsonValue, DateTimeZoneDesignator) {
    const struct {
        const char* zone;
        int64_t ms;
        const char* text;
    } cases[] = {
        {"UTC", 0, "1970-01-01T00:00:00.000Z"},
        {"<+0530>-5:30", 0, "1970-01-01T05:30:00.000+05:30"},
        {"Europe/Berlin", 1610000000000LL, "2021-01-07T07:13:20.000+01:00"},
        {"Europe/Berlin", 1625000000000LL, "2021-06-29T22:53:20.000+02:00"},
    };
    for (const auto& c : cases) {
        TimeZone zone(c.zone);
        JsonValue stamp;
        stamp.setDateTime(c.ms);
        EXPECT_EQ(stamp.toString(), c.text);
        EXPECT_EQ(stamp.toDateTime(), c.ms) << c.text;
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
    EXPECT_EQ(array.size(), 3);

    array.set(1, "two");
    array.replace(0, 1.5);
    EXPECT_EQ(array.takeAt(2).toDouble(), 3);
    EXPECT_EQ(array.toStringList(), (std::vector<std::string>{"1.5", "\"two\""}));
    EXPECT_TRUE(array.contains("two"));
    EXPECT_FALSE(array.contains(3));
    array.removeFirst();
    EXPECT_EQ(array.first(), JsonValue("two"));

    array.fromStringList({"a\"", "b"});
    EXPECT_EQ(array.toString(), R"(["a\"","b"])");
    EXPECT_EQ(array.last().toString(), "b");
}

TEST(JsonDocument, ParsesAndSerialises) {
    JsonDocument document;
    EXPECT_TRUE(document.isNull());
    document.fromJson("{");
    EXPECT_TRUE(document.isNull());
    EXPECT_TRUE(document.object().isEmpty());
    EXPECT_TRUE(document.array().isEmpty());
    document.fromJson(nullptr);
    EXPECT_TRUE(document.isNull());

    const char* text = R"({"b":[1,2],"a":"x"} trailing)";
    document.fromJson(text, 19);  // only the object
    ASSERT_TRUE(document.isObject());
    EXPECT_EQ(document.toString(), R"({"a":"x","b":[1,2]})");
    EXPECT_EQ(document.toJson(true),
              "{\n    \"a\": \"x\",\n    \"b\": [\n        1,\n        2\n    ]\n}\n");
    EXPECT_TRUE(document.array().isEmpty());

    const JsonArray array = document.object().value("b").toArray();
    document = array;
    EXPECT_TRUE(document.isArray());
    EXPECT_EQ(document.array(), array);
}
