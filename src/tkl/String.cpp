#include "tkl/String.h"

#include <QString>
#include <QStringList>

#include <cstdarg>
#include <cstdio>
#include <type_traits>

namespace tkl {

namespace {

const std::string& orEmpty(const char* text, std::string& holder) {
    holder = text ? text : "";
    return holder;
}

QString qs(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Right-justifies `digits` to `width` with `fill`. A zero fill goes between the
// sign and the digits so that -5 padded to three places reads "-05".
std::string justify(std::string digits, bool negative, int width, char fill) {
    const size_t len = digits.size() + (negative ? 1 : 0);
    const size_t pad = width > 0 && static_cast<size_t>(width) > len ? width - len : 0;
    if (negative && fill == '0') {
        return "-" + std::string(pad, fill) + digits;
    }
    return std::string(pad, fill) + (negative ? "-" : "") + digits;
}

template <typename T>
std::string decimal(T value, int width, char fill) {
    using U = std::make_unsigned_t<T>;
    const bool negative = value < 0;
    // Negate in the unsigned type so that the smallest value does not overflow.
    U magnitude = negative ? U(0) - static_cast<U>(value) : static_cast<U>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return justify(std::move(digits), negative, width, fill);
}

template <typename T>
std::string hex(T value, int width, char fill, bool upperCase) {
    const char* alphabet = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    auto bits = static_cast<std::make_unsigned_t<T>>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), alphabet[bits & 0xF]);
        bits >>= 4;
    } while (bits != 0);
    return justify(std::move(digits), false, width, fill);
}

// Runs one of QString's checked conversions and falls back to `def`.
template <typename T, typename Convert>
T parse(const std::string& text, T def, Convert convert) {
    if (text.empty()) {
        return def;
    }
    bool ok = false;
    const T value = convert(qs(text), &ok);
    return ok ? value : def;
}

// Hexadecimal texts may carry one trailing 'H' or 'h' ("1FH").
std::string dropHexSuffix(const std::string& text) {
    if (!text.empty() && (text.back() == 'H' || text.back() == 'h')) {
        return text.substr(0, text.size() - 1);
    }
    return text;
}

}  // namespace

String::String() = default;
String::~String() = default;

// ---- Number formatting ------------------------------------------------------------

std::string String::fromInt(int value, int width, char fill) {
    return decimal(value, width, fill);
}
std::string String::fromInt(unsigned value, int width, char fill) {
    return decimal(value, width, fill);
}
std::string String::fromInt(long value, int width, char fill) {
    return decimal(value, width, fill);
}
std::string String::fromInt(unsigned long value, int width, char fill) {
    return decimal(value, width, fill);
}
std::string String::fromInt(long long value, int width, char fill) {
    return decimal(value, width, fill);
}
std::string String::fromInt(unsigned long long value, int width, char fill) {
    return decimal(value, width, fill);
}

std::string String::toHexString(int value, int width, char fill, bool upperCase) {
    return hex(value, width, fill, upperCase);
}
std::string String::toHexString(unsigned value, int width, char fill, bool upperCase) {
    return hex(value, width, fill, upperCase);
}
std::string String::toHexString(long value, int width, char fill, bool upperCase) {
    return hex(value, width, fill, upperCase);
}
std::string String::toHexString(unsigned long value, int width, char fill, bool upperCase) {
    return hex(value, width, fill, upperCase);
}
std::string String::toHexString(long long value, int width, char fill, bool upperCase) {
    return hex(value, width, fill, upperCase);
}
std::string String::toHexString(unsigned long long value, int width, char fill, bool upperCase) {
    return hex(value, width, fill, upperCase);
}

std::string String::fromDouble(double value, int precision, bool scientific) {
    return utf8(QString::number(value, scientific ? 'e' : 'f', precision));
}
std::string String::fromDouble(float value, int precision, bool scientific) {
    return fromDouble(static_cast<double>(value), precision, scientific);
}

// ---- Number parsing -------------------------------------------------------------------

#define TKL_STRING_PARSER(NAME, TYPE, PREPARE, CALL)                                               \
    TYPE String::NAME(const std::string& text, TYPE def) {                                         \
        return parse<TYPE>(PREPARE(text), def, [](const QString& s, bool* ok) { return s.CALL; }); \
    }                                                                                              \
    TYPE String::NAME(const char* text, TYPE def) {                                                \
        return text ? NAME(std::string(text), def) : def;                                          \
    }

#define TKL_AS_IS(text) (text)

TKL_STRING_PARSER(toInt, int32_t, TKL_AS_IS, toInt(ok, 10))
TKL_STRING_PARSER(toLong, long, TKL_AS_IS, toLong(ok, 10))
TKL_STRING_PARSER(toLongLong, long long, TKL_AS_IS, toLongLong(ok, 10))
TKL_STRING_PARSER(toUInt, uint32_t, TKL_AS_IS, toUInt(ok, 10))
TKL_STRING_PARSER(toULong, unsigned long, TKL_AS_IS, toULong(ok, 10))
TKL_STRING_PARSER(toULongLong, unsigned long long, TKL_AS_IS, toULongLong(ok, 10))
TKL_STRING_PARSER(hexToInt, int32_t, dropHexSuffix, toInt(ok, 16))
TKL_STRING_PARSER(hexToLong, long, dropHexSuffix, toLong(ok, 16))
TKL_STRING_PARSER(hexToLongLong, long long, dropHexSuffix, toLongLong(ok, 16))
TKL_STRING_PARSER(hexToUInt, uint32_t, dropHexSuffix, toUInt(ok, 16))
TKL_STRING_PARSER(hexToULong, unsigned long, dropHexSuffix, toULong(ok, 16))
TKL_STRING_PARSER(hexToULongLong, unsigned long long, dropHexSuffix, toULongLong(ok, 16))
TKL_STRING_PARSER(toFloat, float, TKL_AS_IS, toFloat(ok))
TKL_STRING_PARSER(toDouble, double, TKL_AS_IS, toDouble(ok))

#undef TKL_AS_IS
#undef TKL_STRING_PARSER

// ---- Text operations ----------------------------------------------------------------

std::string String::trim(const std::string& text) {
    return utf8(qs(text).trimmed());
}
std::string String::trim(const char* text) {
    std::string s;
    return trim(orEmpty(text, s));
}

std::string String::toUpper(const std::string& text) {
    return utf8(qs(text).toUpper());
}
std::string String::toUpper(const char* text) {
    std::string s;
    return toUpper(orEmpty(text, s));
}

std::string String::toLower(const std::string& text) {
    return utf8(qs(text).toLower());
}
std::string String::toLower(const char* text) {
    std::string s;
    return toLower(orEmpty(text, s));
}

std::string String::toAscii(const std::string& text) {
    const QString decomposed = qs(text).normalized(QString::NormalizationForm_KD);
    std::string out;
    out.reserve(static_cast<size_t>(decomposed.size()));
    for (const QChar c : decomposed) {
        if (c.unicode() < 0x80) {
            out.push_back(static_cast<char>(c.unicode()));
        }
    }
    return out;
}
std::string String::toAscii(const char* text) {
    std::string s;
    return toAscii(orEmpty(text, s));
}

std::string String::strip(const std::string& text, const std::string& chars, bool anyOf) {
    std::string out = text;
    if (out.empty() || chars.empty()) {
        return out;
    }
    auto frontMatch = [&]() -> size_t {
        if (anyOf) {
            return chars.find(out.front()) != std::string::npos ? 1 : 0;
        }
        return out.compare(0, chars.size(), chars) == 0 ? chars.size() : 0;
    };
    auto backMatch = [&]() -> size_t {
        if (anyOf) {
            return chars.find(out.back()) != std::string::npos ? 1 : 0;
        }
        return out.size() >= chars.size() &&
                       out.compare(out.size() - chars.size(), chars.size(), chars) == 0
                   ? chars.size()
                   : 0;
    };
    bool removed = true;
    while (!out.empty() && removed) {
        removed = false;
        if (const size_t n = frontMatch()) {
            out.erase(0, n);
            removed = true;
        }
        if (out.empty()) {
            break;
        }
        if (const size_t n = backMatch()) {
            out.erase(out.size() - n);
            removed = true;
        }
    }
    return out;
}
std::string String::strip(const char* text, const char* chars, bool anyOf) {
    std::string s, c;
    return strip(orEmpty(text, s), orEmpty(chars, c), anyOf);
}

std::string String::unquote(const std::string& text) {
    return strip(text, "\"'", true);
}
std::string String::unquote(const char* text) {
    std::string s;
    return unquote(orEmpty(text, s));
}

std::string String::quote(const std::string& text, const std::string& mark) {
    if (text.empty() || text == mark) {
        return mark + mark;
    }
    std::string out;
    out.reserve(text.size() + 2 * mark.size());
    if (text.compare(0, mark.size(), mark) != 0) {
        out += mark;
    }
    out += text;
    if (text.size() < mark.size() ||
        text.compare(text.size() - mark.size(), mark.size(), mark) != 0) {
        out += mark;
    }
    return out;
}
std::string String::quote(const char* text, const char* mark) {
    std::string s, m;
    return quote(orEmpty(text, s), orEmpty(mark, m));
}
std::string String::quote(const std::string& text) {
    return quote(text, "\"");
}
std::string String::quote(const char* text) {
    return quote(text, "\"");
}

std::string String::format(const char* pattern, ...) {
    if (!pattern || !*pattern) {
        return {};
    }
    va_list args;
    va_start(args, pattern);
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, pattern, measure);
    va_end(measure);
    std::string out;
    if (needed > 0) {
        out.resize(static_cast<size_t>(needed) + 1);
        const int written = std::vsnprintf(&out[0], out.size(), pattern, args);
        out.resize(written == needed ? static_cast<size_t>(needed) : 0);
    }
    va_end(args);
    return out;
}

std::vector<std::string> String::split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    if (text.empty()) {
        return parts;
    }
    const QStringList list = qs(text).split(qs(separator), Qt::KeepEmptyParts, Qt::CaseSensitive);
    parts.reserve(static_cast<size_t>(list.size()));
    for (const QString& part : list) {
        parts.push_back(utf8(part));
    }
    return parts;
}
std::vector<std::string> String::split(const char* text, const char* separator) {
    std::string s, sep;
    return split(orEmpty(text, s), orEmpty(separator, sep));
}
std::vector<std::string> String::split(const std::string& text, char separator) {
    return split(text, std::string(1, separator));
}
std::vector<std::string> String::split(const char* text, char separator) {
    std::string s;
    return split(orEmpty(text, s), std::string(1, separator));
}

}  // namespace tkl
