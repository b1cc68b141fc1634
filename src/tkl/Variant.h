// tkl::Variant: one scalar, text, list or date-time value held in a QVariant,
// with conversions between the kinds that never fail.
//
// Texts cross the interface as UTF-8, date-times as milliseconds since the
// epoch (local time where calendar fields are involved). A value that cannot
// be converted gives 0, false, an empty text or an empty list.
//
// Conversions work by kind groups: booleans, signed integers (int, long long),
// unsigned integers (unsigned int, unsigned long long), floating (double,
// float), texts (char, string, string list, byte array, URL) and times (date,
// time, date-time). A floating value converts to an integer by truncation
// toward zero, saturating at the target's limits; a text is parsed as a
// decimal number; a time gives its milliseconds. Other kinds use Qt's own
// conversions.
#pragma once

#include <QVariant>
#include <cstdint>
#include <string>
#include <vector>

#include "tkl/Object.h"

namespace tkl {

class TKL_API Variant : public Object {
public:
    // Invalid: holds nothing.
    Variant();
    Variant(const Variant& other);
    // A byte array of these bytes.
    Variant(const std::vector<uint8_t>& bytes);
    Variant(int value);
    Variant(unsigned int value);
    Variant(long long value);
    Variant(unsigned long long value);
    // Stored as long long / unsigned long long.
    Variant(long value);
    Variant(unsigned long value);
    Variant(char value);
    Variant(bool value);
    Variant(float value);
    Variant(double value);
    // A string (a null pointer gives the empty string).
    Variant(const char* value);
    Variant(const std::string& value);
    explicit Variant(const QVariant& value);
    ~Variant() override;

    // The value as text:
    //   bool "1"/"0"; integers in decimal; floating rounded to an integer
    //   ("3" for 2.9); char that character; string list joined by ",";
    //   byte array in lower-case hexadecimal; times as local
    //   "yyyy/MM/dd HH:mm:ss.zzz"; URL its full text; others Qt's text.
    std::string toString() const override;

    virtual Variant& operator=(const Variant& other);
    virtual Variant& operator=(const std::vector<uint8_t>& bytes);
    virtual Variant& operator=(int value);
    virtual Variant& operator=(unsigned int value);
    virtual Variant& operator=(long long value);
    virtual Variant& operator=(unsigned long long value);
    virtual Variant& operator=(long value);
    virtual Variant& operator=(unsigned long value);
    virtual Variant& operator=(char value);
    virtual Variant& operator=(bool value);
    virtual Variant& operator=(float value);
    virtual Variant& operator=(double value);
    virtual Variant& operator=(const char* value);
    virtual Variant& operator=(const std::string& value);
    // Stores a local date-time of these milliseconds since the epoch.
    virtual void setDateTime(int64_t milliseconds);

    virtual int toInt() const;
    virtual unsigned int toUInt() const;
    virtual long toLong() const;
    virtual unsigned long toULong() const;
    virtual long long toLongLong() const;
    virtual unsigned long long toULongLong() const;
    virtual float toFloat() const;
    virtual double toDouble() const;
    // One 8-bit character: the first character of the value's text (0 when
    // there is none).
    virtual char toChar() const;
    // A number other than 0; a text is true only when it reads as a non-zero
    // integer ("true" gives false).
    virtual bool toBool() const;
    virtual std::vector<std::string> toStringList() const;
    // Milliseconds since the epoch; a text is read as local
    // "yyyy/MM/dd HH:mm:ss.zzz" (0 when it does not match).
    virtual int64_t toDateTime() const;
    // The bytes of a byte array; empty for every other kind.
    virtual std::vector<uint8_t> toByteArray() const;
    virtual Variant& operator=(const QVariant& value);
    virtual QVariant value() const;

private:
    template <typename T>
    T toInteger() const;

    QVariant value_;
};

}  // namespace tkl
