#include "tkl/Variant.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QUrl>
#include <cmath>
#include <limits>

namespace tkl {

namespace {

const char* const kDateTimePattern = "yyyy/MM/dd HH:mm:ss.zzz";

enum class Kind { Bool, Signed, Unsigned, Floating, Text, Time, Other };

Kind kindOf(const QVariant& value) {
    switch (value.userType()) {
        case QMetaType::Bool:
            return Kind::Bool;
        case QMetaType::Int:
        case QMetaType::LongLong:
            return Kind::Signed;
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return Kind::Unsigned;
        case QMetaType::Double:
        case QMetaType::Float:
            return Kind::Floating;
        case QMetaType::Char:
        case QMetaType::QString:
        case QMetaType::QStringList:
        case QMetaType::QByteArray:
        case QMetaType::QUrl:
            return Kind::Text;
        case QMetaType::QDate:
        case QMetaType::QTime:
        case QMetaType::QDateTime:
            return Kind::Time;
        default:
            return Kind::Other;
    }
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

std::string toUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Truncates toward zero, saturating at T's limits; NaN gives 0.
template <typename T>
T truncateTo(double value) {
    if (std::isnan(value))
        return 0;
    if (value <= static_cast<double>(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (value >= static_cast<double>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return static_cast<T>(value);
}

// Decimal parsing and Qt's own conversion for each integer target.
template <typename T>
struct IntegerTraits;

template <>
struct IntegerTraits<int> {
    static int parse(const QString& s, bool* ok) { return s.toInt(ok); }
    static int qt(const QVariant& v) { return v.toInt(); }
};
template <>
struct IntegerTraits<unsigned int> {
    static unsigned int parse(const QString& s, bool* ok) { return s.toUInt(ok); }
    static unsigned int qt(const QVariant& v) { return v.toUInt(); }
};
template <>
struct IntegerTraits<long> {
    static long parse(const QString& s, bool* ok) { return s.toLong(ok); }
    static long qt(const QVariant& v) { return static_cast<long>(v.toLongLong()); }
};
template <>
struct IntegerTraits<unsigned long> {
    static unsigned long parse(const QString& s, bool* ok) { return s.toULong(ok); }
    static unsigned long qt(const QVariant& v) {
        return static_cast<unsigned long>(v.toULongLong());
    }
};
template <>
struct IntegerTraits<long long> {
    static long long parse(const QString& s, bool* ok) { return s.toLongLong(ok); }
    static long long qt(const QVariant& v) { return v.toLongLong(); }
};
template <>
struct IntegerTraits<unsigned long long> {
    static unsigned long long parse(const QString& s, bool* ok) { return s.toULongLong(ok); }
    static unsigned long long qt(const QVariant& v) { return v.toULongLong(); }
};

}  // namespace

Variant::Variant() = default;
Variant::Variant(const Variant& other) : Object(other), value_(other.value_) {}
Variant::Variant(const std::vector<uint8_t>& bytes) {
    *this = bytes;
}
Variant::Variant(int value) : value_(value) {}
Variant::Variant(unsigned int value) : value_(value) {}
Variant::Variant(long long value) : value_(static_cast<qlonglong>(value)) {}
Variant::Variant(unsigned long long value) : value_(static_cast<qulonglong>(value)) {}
Variant::Variant(long value) : value_(static_cast<qlonglong>(value)) {}
Variant::Variant(unsigned long value) : value_(static_cast<qulonglong>(value)) {}
Variant::Variant(char value) : value_(QVariant::fromValue(value)) {}
Variant::Variant(bool value) : value_(value) {}
Variant::Variant(float value) : value_(value) {}
Variant::Variant(double value) : value_(value) {}
Variant::Variant(const char* value) : value_(QString::fromUtf8(value ? value : "")) {}
Variant::Variant(const std::string& value) : value_(fromUtf8(value)) {}
Variant::Variant(const QVariant& value) : value_(value) {}
Variant::~Variant() = default;

std::string Variant::toString() const {
    switch (value_.userType()) {
        case QMetaType::Bool:
            return value_.toBool() ? "1" : "0";
        case QMetaType::Int:
        case QMetaType::LongLong:
            return std::to_string(value_.toLongLong());
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return std::to_string(value_.toULongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return toUtf8(QString::number(value_.toDouble(), 'f', 0));
        case QMetaType::Char:
            return std::string(1, value_.value<char>());
        case QMetaType::QStringList:
            return toUtf8(value_.toStringList().join(QLatin1Char(',')));
        case QMetaType::QByteArray:
            return value_.toByteArray().toHex().toStdString();
        case QMetaType::QDate:
        case QMetaType::QTime:
        case QMetaType::QDateTime:
            return toUtf8(QDateTime::fromMSecsSinceEpoch(toDateTime())
                              .toString(QLatin1String(kDateTimePattern)));
        case QMetaType::QUrl:
            return toUtf8(value_.toUrl().toString());
        default:
            return toUtf8(value_.toString());
    }
}

Variant& Variant::operator=(const Variant& other) {
    value_ = other.value_;
    return *this;
}

Variant& Variant::operator=(const std::vector<uint8_t>& bytes) {
    value_ =
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    return *this;
}

Variant& Variant::operator=(int value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(unsigned int value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(long long value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(unsigned long long value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(long value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(unsigned long value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(char value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(bool value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(float value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(double value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(const char* value) {
    return *this = Variant(value);
}
Variant& Variant::operator=(const std::string& value) {
    return *this = Variant(value);
}

void Variant::setDateTime(int64_t milliseconds) {
    value_ = QDateTime::fromMSecsSinceEpoch(milliseconds);
}

template <typename T>
T Variant::toInteger() const {
    switch (kindOf(value_)) {
        case Kind::Bool:
            return value_.toBool() ? 1 : 0;
        case Kind::Floating:
            return truncateTo<T>(value_.toDouble());
        case Kind::Text: {
            bool ok = false;
            const T number = IntegerTraits<T>::parse(QString::fromStdString(toString()), &ok);
            return ok ? number : 0;
        }
        case Kind::Time:
            return static_cast<T>(toDateTime());
        // Between integer kinds the value is taken modulo the target's width.
        case Kind::Signed:
        case Kind::Unsigned:
            return std::numeric_limits<T>::is_signed ? static_cast<T>(value_.toLongLong())
                                                     : static_cast<T>(value_.toULongLong());
        default:
            return IntegerTraits<T>::qt(value_);
    }
}

int Variant::toInt() const {
    return toInteger<int>();
}
unsigned int Variant::toUInt() const {
    return toInteger<unsigned int>();
}
long Variant::toLong() const {
    return toInteger<long>();
}
unsigned long Variant::toULong() const {
    return toInteger<unsigned long>();
}
long long Variant::toLongLong() const {
    return toInteger<long long>();
}
unsigned long long Variant::toULongLong() const {
    return toInteger<unsigned long long>();
}

float Variant::toFloat() const {
    if (kindOf(value_) == Kind::Text) {
        bool ok = false;
        const float number = QString::fromStdString(toString()).toFloat(&ok);
        return ok ? number : 0;
    }
    return static_cast<float>(toDouble());
}

double Variant::toDouble() const {
    switch (kindOf(value_)) {
        case Kind::Bool:
            return value_.toBool() ? 1 : 0;
        // Unsigned values keep their magnitude above 2^63.
        case Kind::Signed:
            return static_cast<double>(toLongLong());
        case Kind::Unsigned:
            return static_cast<double>(toULongLong());
        case Kind::Text: {
            bool ok = false;
            const double number = QString::fromStdString(toString()).toDouble(&ok);
            return ok ? number : 0;
        }
        case Kind::Time:
            return static_cast<double>(toDateTime());
        default:
            return value_.toDouble();
    }
}

char Variant::toChar() const {
    switch (kindOf(value_)) {
        case Kind::Other: {
            const ushort code = value_.toChar().unicode();
            return code > 255 ? 0 : static_cast<char>(code);
        }
        case Kind::Time: {
            const std::string text = std::to_string(toDateTime());
            return text[0];
        }
        default: {
            // Booleans, numbers and texts: the first character of the text.
            const std::string text = toString();
            return text.empty() ? 0 : text[0];
        }
    }
}

bool Variant::toBool() const {
    switch (kindOf(value_)) {
        case Kind::Signed:
            return toLongLong() != 0;
        case Kind::Unsigned:
            return toULongLong() != 0;
        case Kind::Floating:
            return toDouble() != 0;
        case Kind::Text:
            return toInt() != 0;
        case Kind::Time:
            return toDateTime() != 0;
        default:
            return value_.toBool();
    }
}

std::vector<std::string> Variant::toStringList() const {
    std::vector<std::string> result;
    for (const QString& text : value_.toStringList())
        result.push_back(toUtf8(text));
    return result;
}

int64_t Variant::toDateTime() const {
    switch (kindOf(value_)) {
        case Kind::Bool:
            return value_.toBool() ? 1 : 0;
        case Kind::Signed:
        case Kind::Unsigned:
            return toLongLong();
        case Kind::Floating:
            return truncateTo<int64_t>(value_.toDouble());
        case Kind::Text: {
            const QDateTime time = QDateTime::fromString(QString::fromStdString(toString()),
                                                         QLatin1String(kDateTimePattern));
            return time.isValid() ? time.toMSecsSinceEpoch() : 0;
        }
        default: {
            const QDateTime time = value_.toDateTime();
            return time.isValid() ? time.toMSecsSinceEpoch() : 0;
        }
    }
}

std::vector<uint8_t> Variant::toByteArray() const {
    if (value_.userType() != QMetaType::QByteArray)
        return {};
    const QByteArray bytes = value_.toByteArray();
    return std::vector<uint8_t>(bytes.constBegin(), bytes.constEnd());
}

Variant& Variant::operator=(const QVariant& value) {
    value_ = value;
    return *this;
}

QVariant Variant::value() const {
    return value_;
}

}  // namespace tkl
