#include "tkl/Json.h"

#include <QDateTime>
#include <QVariant>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tkl {

namespace {

const char* const kDateTimePattern = "yyyy-MM-ddTHH:mm:ss.zzz";

QString fromUtf8(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

std::string toUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Truncates toward zero, saturating where the double lies outside int64.
int64_t truncateToInt64(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775808.0)
        return std::numeric_limits<int64_t>::max();
    if (value < -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

// A JSON string literal: quotes, backslashes and control characters escaped,
// everything else (UTF-8 included) written as it is.
void appendQuoted(std::string& out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    out += '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20) {
            out += c;
        } else if (byte >= '\b' && byte <= '\r' && byte != '\v') {
            // \b \t \n \f \r have short escapes.
            out += '\\';
            out += "btn-fr"[byte - '\b'];
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(byte));
            out += escape;
        }
    }
    out += '"';
}

// Integral numbers exactly, other numbers with six significant digits as a
// stream writes them by default (230.123456 gives 230.123, 1e-7 gives 1e-07),
// in the classic locale whatever the process's locale says, so a float
// widened to double is sent as 91.4 and not with its binary noise. Integral
// numbers beyond 64 bits get the shortest text that reads back as the same
// double. JSON has no infinity or NaN: those become null.
void appendNumber(std::string& out, const QJsonValue& value) {
    const QVariant variant = value.toVariant();
    if (variant.type() == QVariant::LongLong) {
        out += std::to_string(variant.toLongLong());
        return;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number)) {
        out += "null";
        return;
    }
    char buffer[64];
    std::to_chars_result result;
    if (std::trunc(number) == number) {
        if (number >= 0 && number < 18446744073709551616.0) {
            out += std::to_string(static_cast<unsigned long long>(number));
            return;
        }
        if (number < 0 && number >= -9223372036854775808.0) {
            out += std::to_string(static_cast<long long>(number));
            return;
        }
        result = std::to_chars(buffer, buffer + sizeof buffer, number);
    } else {
        result =
            std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 6);
    }
    out.append(buffer, result.ptr);
}

void appendValue(std::string& out, const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::Null:
            out += "null";
            break;
        case QJsonValue::Bool:
            out += value.toBool() ? '1' : '0';
            break;
        case QJsonValue::Double:
            appendNumber(out, value);
            break;
        case QJsonValue::String:
            appendQuoted(out, value.toString());
            break;
        case QJsonValue::Array:
            out += JsonArray(value.toArray()).toString();
            break;
        case QJsonValue::Object:
            out += JsonObject(value.toObject()).toString();
            break;
        default:
            out += "\"<undefined>\"";
            break;
    }
}

std::string valueText(const QJsonValue& value) {
    std::string text;
    appendValue(text, value);
    return text;
}

// "Z" for UTC, otherwise "+hh:mm" or "-hh:mm".
QString zoneDesignator(int offsetSeconds) {
    if (offsetSeconds == 0)
        return QStringLiteral("Z");
    const QChar sign = offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int magnitude = std::abs(offsetSeconds);
    return QStringLiteral("%1%2:%3")
        .arg(sign)
        .arg(magnitude / 3600, 2, 10, QLatin1Char('0'))
        .arg(magnitude % 3600 / 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

// ---- JsonValue ----

JsonValue::JsonValue() = default;
JsonValue::JsonValue(const JsonValue& other) : tkl::Object(other), value_(other.value_) {}
JsonValue::JsonValue(uint8_t value) : value_(static_cast<double>(value)) {}
JsonValue::JsonValue(double value) : value_(value) {}
JsonValue::JsonValue(int value) : value_(static_cast<double>(value)) {}
JsonValue::JsonValue(long value) : value_(static_cast<double>(value)) {}
JsonValue::JsonValue(unsigned int value) : value_(static_cast<double>(value)) {}
JsonValue::JsonValue(unsigned long value) : value_(static_cast<double>(value)) {}
JsonValue::JsonValue(long long value) : value_(static_cast<double>(value)) {}
JsonValue::JsonValue(unsigned long long value) : value_(static_cast<double>(value)) {}
JsonValue::JsonValue(const char* value) : value_(fromUtf8(value)) {}
JsonValue::JsonValue(const std::string& value) : value_(fromUtf8(value)) {}
JsonValue::JsonValue(const JsonArray& value) : value_(value.qt()) {}
JsonValue::JsonValue(const JsonObject& value) : value_(value.qt()) {}
JsonValue::JsonValue(const QJsonValue& value) : value_(value) {}
JsonValue::~JsonValue() = default;

std::string JsonValue::toString() const {
    switch (value_.type()) {
        case QJsonValue::String:
            return toUtf8(value_.toString());
        case QJsonValue::Bool:
            return value_.toBool() ? "1" : "0";
        case QJsonValue::Double:
            return toUtf8(QString::number(value_.toDouble(), 'f', 0));
        default:
            return std::string();
    }
}

QJsonValue JsonValue::value() const {
    return value_;
}

JsonValue& JsonValue::operator=(const JsonValue& other) {
    value_ = other.value_;
    return *this;
}
JsonValue& JsonValue::operator=(uint8_t value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(int value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(long value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(unsigned int value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(unsigned long value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(long long value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(unsigned long long value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(double value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(const char* value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(const std::string& value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(const JsonArray& value) {
    return *this = JsonValue(value);
}
JsonValue& JsonValue::operator=(const JsonObject& value) {
    return *this = JsonValue(value);
}

JsonValue::Type JsonValue::type() const {
    switch (value_.type()) {
        case QJsonValue::Bool:
            return Bool;
        case QJsonValue::Double:
            return Double;
        case QJsonValue::String:
            return String;
        case QJsonValue::Array:
            return Array;
        case QJsonValue::Object:
            return Object;
        case QJsonValue::Undefined:
            return Undefined;
        default:
            return Null;
    }
}

bool JsonValue::isNull() const {
    return type() == Null;
}
bool JsonValue::isBool() const {
    return value_.isBool();
}
bool JsonValue::isDouble() const {
    return value_.isDouble();
}
bool JsonValue::isString() const {
    return value_.isString();
}
bool JsonValue::isArray() const {
    return value_.isArray();
}
bool JsonValue::isObject() const {
    return value_.isObject();
}
bool JsonValue::isUndefined() const {
    return value_.isUndefined();
}

bool JsonValue::toBool() const {
    switch (value_.type()) {
        case QJsonValue::Bool:
            return value_.toBool();
        case QJsonValue::Double:
            return value_.toDouble() != 0;
        case QJsonValue::String: {
            const QString lower = value_.toString().toLower();
            return lower == QLatin1String("true") || lower == QLatin1String("1");
        }
        default:
            return false;
    }
}

double JsonValue::toDouble() const {
    switch (value_.type()) {
        case QJsonValue::Double:
            return value_.toDouble();
        case QJsonValue::Bool:
            return value_.toBool() ? 1 : 0;
        case QJsonValue::String: {
            bool ok = false;
            const double number = value_.toString().toDouble(&ok);
            return ok ? number : 0;
        }
        default:
            return 0;
    }
}

JsonArray JsonValue::toArray() const {
    return value_.isArray() ? JsonArray(value_.toArray()) : JsonArray();
}

JsonObject JsonValue::toObject() const {
    return value_.isObject() ? JsonObject(value_.toObject()) : JsonObject();
}

int64_t JsonValue::toDateTime() const {
    switch (value_.type()) {
        case QJsonValue::String: {
            const QDateTime time =
                QDateTime::fromString(value_.toString().left(23), QLatin1String(kDateTimePattern));
            return time.isValid() ? time.toMSecsSinceEpoch() : 0;
        }
        case QJsonValue::Double:
            return truncateToInt64(value_.toDouble());
        default:
            return 0;
    }
}

bool JsonValue::operator==(const JsonValue& other) const {
    return value_ == other.value_;
}
bool JsonValue::operator!=(const JsonValue& other) const {
    return !(*this == other);
}

void JsonValue::setDateTime(int64_t milliseconds, int32_t offset) {
    // The designator is the offset in force at that moment, so a summer time
    // stamp carries the summer offset even when written in winter.
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(milliseconds + offset);
    value_ = time.toString(QLatin1String(kDateTimePattern)) + zoneDesignator(time.offsetFromUtc());
}

// ---- JsonObject ----

JsonObject::JsonObject() = default;
JsonObject::JsonObject(const JsonObject& other) : Object(other), object_(other.object_) {}
JsonObject::JsonObject(const QJsonObject& object) : object_(object) {}
JsonObject::~JsonObject() = default;

std::string JsonObject::toString() const {
    std::string text = "{";
    bool first = true;
    for (auto it = object_.constBegin(); it != object_.constEnd(); ++it) {
        if (!first)
            text += ',';
        first = false;
        appendQuoted(text, it.key());
        text += ':';
        appendValue(text, it.value());
    }
    text += '}';
    return text;
}

JsonObject& JsonObject::operator=(const JsonObject& other) {
    object_ = other.object_;
    return *this;
}

std::vector<std::string> JsonObject::keys() const {
    std::vector<std::string> result;
    result.reserve(static_cast<size_t>(object_.size()));
    for (const QString& key : object_.keys())
        result.push_back(toUtf8(key));
    return result;
}

int JsonObject::size() const {
    return object_.size();
}
bool JsonObject::isEmpty() const {
    return object_.isEmpty();
}

JsonValue JsonObject::value(const char* key) const {
    return JsonValue(object_.value(fromUtf8(key)));
}
JsonValue JsonObject::value(const std::string& key) const {
    return value(key.c_str());
}

void JsonObject::insert(const char* key, const JsonValue& value) {
    object_.insert(fromUtf8(key), value.value());
}
void JsonObject::insert(const std::string& key, const JsonValue& value) {
    insert(key.c_str(), value);
}

void JsonObject::remove(const char* key) {
    object_.remove(fromUtf8(key));
}
void JsonObject::remove(const std::string& key) {
    remove(key.c_str());
}

JsonValue JsonObject::take(const char* key) {
    return JsonValue(object_.take(fromUtf8(key)));
}
JsonValue JsonObject::take(const std::string& key) {
    return take(key.c_str());
}

bool JsonObject::contains(const char* key) const {
    return object_.contains(fromUtf8(key));
}
bool JsonObject::contains(const std::string& key) const {
    return contains(key.c_str());
}

bool JsonObject::operator==(const JsonObject& other) const {
    return object_ == other.object_;
}
bool JsonObject::operator!=(const JsonObject& other) const {
    return !(*this == other);
}

// ---- JsonArray ----

JsonArray::JsonArray() = default;
JsonArray::JsonArray(const JsonArray& other) : Object(other), array_(other.array_) {}
JsonArray::JsonArray(const QJsonArray& array) : array_(array) {}
JsonArray::~JsonArray() = default;

std::string JsonArray::toString() const {
    std::string text = "[";
    for (int i = 0; i < array_.size(); ++i) {
        if (i > 0)
            text += ',';
        appendValue(text, array_.at(i));
    }
    text += ']';
    return text;
}

JsonArray& JsonArray::operator=(const JsonArray& other) {
    array_ = other.array_;
    return *this;
}

int JsonArray::size() const {
    return array_.size();
}
bool JsonArray::isEmpty() const {
    return array_.isEmpty();
}

JsonValue JsonArray::at(int index) const {
    if (index < 0 || index >= array_.size())
        return JsonValue(QJsonValue(QJsonValue::Undefined));
    return JsonValue(array_.at(index));
}

JsonValue JsonArray::first() const {
    return at(0);
}
JsonValue JsonArray::last() const {
    return at(array_.size() - 1);
}
void JsonArray::prepend(const JsonValue& value) {
    array_.prepend(value.value());
}
void JsonArray::append(const JsonValue& value) {
    array_.append(value.value());
}

void JsonArray::removeAt(int index) {
    if (index >= 0 && index < array_.size())
        array_.removeAt(index);
}

JsonValue JsonArray::takeAt(int index) {
    if (index < 0 || index >= array_.size())
        return JsonValue(QJsonValue(QJsonValue::Undefined));
    return JsonValue(array_.takeAt(index));
}

void JsonArray::removeFirst() {
    removeAt(0);
}
void JsonArray::removeLast() {
    removeAt(array_.size() - 1);
}

// Qt does not check the index of insert and replace; an index outside the
// array would write outside its storage, so such calls change nothing.
void JsonArray::insert(int index, const JsonValue& value) {
    if (index >= 0 && index <= array_.size())
        array_.insert(index, value.value());
}

void JsonArray::replace(int index, const JsonValue& value) {
    if (index >= 0 && index < array_.size())
        array_.replace(index, value.value());
}

bool JsonArray::contains(const JsonValue& value) const {
    return array_.contains(value.value());
}
JsonValue JsonArray::operator[](int index) const {
    return at(index);
}
void JsonArray::set(int index, const JsonValue& value) {
    replace(index, value);
}

bool JsonArray::operator==(const JsonArray& other) const {
    return array_ == other.array_;
}
bool JsonArray::operator!=(const JsonArray& other) const {
    return !(*this == other);
}

std::vector<std::string> JsonArray::toStringList() const {
    std::vector<std::string> result;
    result.reserve(static_cast<size_t>(array_.size()));
    for (const QJsonValue& element : array_)
        result.push_back(valueText(element));
    return result;
}

void JsonArray::fromStringList(const std::vector<std::string>& list) {
    QJsonArray array;
    for (const std::string& text : list)
        array.append(fromUtf8(text));
    array_ = array;
}

// ---- JsonDocument ----

JsonDocument::JsonDocument() = default;
JsonDocument::JsonDocument(const QJsonDocument& document) : document_(document) {}
JsonDocument::JsonDocument(const JsonDocument& other) : Object(other), document_(other.document_) {}
JsonDocument::JsonDocument(const JsonObject& object) : document_(object.qt()) {}
JsonDocument::JsonDocument(const JsonArray& array) : document_(array.qt()) {}
JsonDocument::~JsonDocument() = default;

std::string JsonDocument::toString() const {
    return toJson(false);
}

JsonDocument& JsonDocument::operator=(const JsonDocument& other) {
    document_ = other.document_;
    return *this;
}

JsonDocument& JsonDocument::operator=(const JsonObject& object) {
    document_ = QJsonDocument(object.qt());
    return *this;
}

JsonDocument& JsonDocument::operator=(const JsonArray& array) {
    document_ = QJsonDocument(array.qt());
    return *this;
}

bool JsonDocument::isEmpty() const {
    return document_.isEmpty();
}
bool JsonDocument::isArray() const {
    return document_.isArray();
}
bool JsonDocument::isObject() const {
    return document_.isObject();
}
bool JsonDocument::isNull() const {
    return document_.isNull();
}

std::string JsonDocument::toJson(bool indented) const {
    const QByteArray bytes =
        document_.toJson(indented ? QJsonDocument::Indented : QJsonDocument::Compact);
    // Cut at a NUL byte, if any.
    return std::string(bytes.constData());
}

JsonObject JsonDocument::object() const {
    return JsonObject(document_.object());
}
JsonArray JsonDocument::array() const {
    return JsonArray(document_.array());
}
void JsonDocument::setObject(const JsonObject& object) {
    document_.setObject(object.qt());
}
void JsonDocument::setArray(const JsonArray& array) {
    document_.setArray(array.qt());
}

bool JsonDocument::operator==(const JsonDocument& other) const {
    return document_ == other.document_;
}
bool JsonDocument::operator!=(const JsonDocument& other) const {
    return !(*this == other);
}

void JsonDocument::fromJson(const char* text, int length) {
    if (!text || length < 0)
        length = 0;
    // The parser copies what it keeps, so the text is read in place.
    document_ = QJsonDocument::fromJson(QByteArray::fromRawData(text ? text : "", length));
}

void JsonDocument::fromJson(const char* text) {
    fromJson(text, text ? int(std::strlen(text)) : 0);
}

void JsonDocument::fromJson(const std::string& text) {
    fromJson(text.data(), static_cast<int>(text.size()));
}

}  // namespace tkl
