// tkl::String: number formatting and parsing and small text operations on
// 8-bit strings.
//
// Texts are byte strings holding UTF-8; operations that need to know about
// characters (case mapping, trimming, accents) go through QString. A null
// `const char*` argument reads as the empty text, and every `const char*`
// operation has a std::string twin. Nothing here throws: the parsers return the
// caller's default when the text is not a number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tkl/Object.h"

namespace tkl {

class TKL_API String : public Object {
public:
    String();
    ~String() override;

    // ---- Number formatting ----------------------------------------------------

    // The value in decimal, right-justified with `fill` to at least `width`
    // characters. With the fill '0' a minus sign stays in front ("-05").
    static std::string fromInt(int value, int width = 0, char fill = ' ');
    static std::string fromInt(unsigned value, int width = 0, char fill = ' ');
    static std::string fromInt(long value, int width = 0, char fill = ' ');
    static std::string fromInt(unsigned long value, int width = 0, char fill = ' ');
    static std::string fromInt(long long value, int width = 0, char fill = ' ');
    static std::string fromInt(unsigned long long value, int width = 0, char fill = ' ');

    // The value in hexadecimal without prefix, right-justified with `fill` to at
    // least `width` characters. Negative values are written as the two's
    // complement of their type's width (-1 as an int gives "ffffffff").
    static std::string toHexString(int value, int width = 0, char fill = '0',
                                   bool upperCase = false);
    static std::string toHexString(unsigned value, int width = 0, char fill = '0',
                                   bool upperCase = false);
    static std::string toHexString(long value, int width = 0, char fill = '0',
                                   bool upperCase = false);
    static std::string toHexString(unsigned long value, int width = 0, char fill = '0',
                                   bool upperCase = false);
    static std::string toHexString(long long value, int width = 0, char fill = '0',
                                   bool upperCase = false);
    static std::string toHexString(unsigned long long value, int width = 0, char fill = '0',
                                   bool upperCase = false);

    // Fixed-point text with `precision` digits after the point, or scientific
    // notation; precision 0 gives a rounded integer text (2.5 gives "3").
    static std::string fromDouble(double value, int precision = 6, bool scientific = false);
    static std::string fromDouble(float value, int precision = 6, bool scientific = false);

    // ---- Number parsing (base 10; never throw, `def` on failure) ---------------

    static int32_t toInt(const char* text, int32_t def = 0);
    static int32_t toInt(const std::string& text, int32_t def = 0);
    static long toLong(const char* text, long def = 0);
    static long toLong(const std::string& text, long def = 0);
    static long long toLongLong(const char* text, long long def = 0);
    static long long toLongLong(const std::string& text, long long def = 0);
    static uint32_t toUInt(const char* text, uint32_t def = 0);
    static uint32_t toUInt(const std::string& text, uint32_t def = 0);
    static unsigned long toULong(const char* text, unsigned long def = 0);
    static unsigned long toULong(const std::string& text, unsigned long def = 0);
    static unsigned long long toULongLong(const char* text, unsigned long long def = 0);
    static unsigned long long toULongLong(const std::string& text, unsigned long long def = 0);

    // Base 16: one trailing 'H' or 'h' is dropped first ("1FH" is 31) and a
    // leading "0x" is accepted.
    static int32_t hexToInt(const char* text, int32_t def = 0);
    static int32_t hexToInt(const std::string& text, int32_t def = 0);
    static long hexToLong(const char* text, long def = 0);
    static long hexToLong(const std::string& text, long def = 0);
    static long long hexToLongLong(const char* text, long long def = 0);
    static long long hexToLongLong(const std::string& text, long long def = 0);
    static uint32_t hexToUInt(const char* text, uint32_t def = 0);
    static uint32_t hexToUInt(const std::string& text, uint32_t def = 0);
    static unsigned long hexToULong(const char* text, unsigned long def = 0);
    static unsigned long hexToULong(const std::string& text, unsigned long def = 0);
    static unsigned long long hexToULongLong(const char* text, unsigned long long def = 0);
    static unsigned long long hexToULongLong(const std::string& text, unsigned long long def = 0);

    static float toFloat(const char* text, float def = 0);
    static float toFloat(const std::string& text, float def = 0);
    static double toDouble(const char* text, double def = 0);
    static double toDouble(const std::string& text, double def = 0);

    // ---- Text operations --------------------------------------------------------

    // White space removed at both ends.
    static std::string trim(const char* text);
    static std::string trim(const std::string& text);
    static std::string toUpper(const char* text);
    static std::string toUpper(const std::string& text);
    static std::string toLower(const char* text);
    static std::string toLower(const std::string& text);

    // Plain ASCII: compatibility decomposition, then every non-ASCII character
    // dropped, so accented letters lose their accents ("Ñandú" gives "Nandu")
    // and characters without an ASCII base disappear.
    static std::string toAscii(const char* text);
    static std::string toAscii(const std::string& text);

    // Removes `chars` from both ends, alternating front and back until nothing
    // more matches. With anyOf each character of `chars` matches on its own;
    // otherwise only the whole sequence matches.
    static std::string strip(const char* text, const char* chars, bool anyOf = true);
    static std::string strip(const std::string& text, const std::string& chars, bool anyOf = true);

    // Leading and trailing double and single quotes removed.
    static std::string unquote(const char* text);
    static std::string unquote(const std::string& text);

    // `mark` added at either end where the text lacks it; the empty text and a
    // text that is a single mark both become two marks.
    static std::string quote(const char* text, const char* mark);
    static std::string quote(const std::string& text, const std::string& mark);
    static std::string quote(const char* text);
    static std::string quote(const std::string& text);

    // printf-style formatting of any length. A null or empty pattern or a
    // formatting error gives the empty text. (No std::string twin: pass
    // `pattern.c_str()`.)
    static std::string format(const char* pattern, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 1, 2)))
#endif
        ;

    // Splits on every occurrence of the separator, keeping empty parts
    // ("a,,b" gives "a", "", "b"); the empty text gives no parts at all.
    static std::vector<std::string> split(const char* text, const char* separator);
    static std::vector<std::string> split(const std::string& text, const std::string& separator);
    static std::vector<std::string> split(const char* text, char separator);
    static std::vector<std::string> split(const std::string& text, char separator);
};

}  // namespace tkl
