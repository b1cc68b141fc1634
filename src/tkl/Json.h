// The JSON document model: value, object, array and document over Qt's JSON
// classes, with UTF-8 byte strings at the interface.
//
// Nothing here throws. A missing key or an index out of range reads as an
// Undefined value, a value of another kind converts to 0, false, "" or an
// empty container, and text that is not JSON parses into a null document.
// Records therefore get defaults for absent members instead of errors.
//
// Booleans are written as numbers: no constructor takes a bool (a bool
// argument becomes the int 1 or 0), and a parsed JSON boolean prints as 1 or 0
// in the text form. Readers accept true/false through toBool().
//
// The text form of JsonObject::toString() is the body of every JSON request:
// members in ascending key order, no white space, strings escaped as JSON
// does, integral numbers written exactly and other numbers with enough digits
// to read back the same double.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cstdint>
#include <string>
#include <vector>

#include "tkl/Object.h"

namespace tkl {

class JsonArray;
class JsonObject;

class TKL_API JsonValue : public Object {
public:
    enum Type {
        Null = 0,  // also any kind not listed
        Bool = 1,
        Double = 2,  // every JSON number
        String = 3,
        Array = 4,
        Object = 5,
        Undefined = 6  // a missing key or an index out of range
    };

    JsonValue();
    JsonValue(const JsonValue& other);
    JsonValue(uint8_t value);
    JsonValue(double value);
    JsonValue(int value);
    JsonValue(long value);
    JsonValue(unsigned int value);
    JsonValue(unsigned long value);
    JsonValue(long long value);
    JsonValue(unsigned long long value);
    // A null pointer gives the empty string.
    JsonValue(const char* value);
    JsonValue(const std::string& value);
    JsonValue(const JsonArray& value);
    JsonValue(const JsonObject& value);
    explicit JsonValue(const QJsonValue& value);
    ~JsonValue() override;

    // A string's text, "1"/"0" for a boolean, a number rounded to an integer
    // ("2500" for 2.5e3, "3" for 2.6); "" for anything else.
    std::string toString() const override;
    virtual QJsonValue value() const;

    virtual JsonValue& operator=(const JsonValue& other);
    virtual JsonValue& operator=(uint8_t value);
    virtual JsonValue& operator=(int value);
    virtual JsonValue& operator=(long value);
    virtual JsonValue& operator=(unsigned int value);
    virtual JsonValue& operator=(unsigned long value);
    virtual JsonValue& operator=(long long value);
    virtual JsonValue& operator=(unsigned long long value);
    virtual JsonValue& operator=(double value);
    virtual JsonValue& operator=(const char* value);
    virtual JsonValue& operator=(const std::string& value);
    virtual JsonValue& operator=(const JsonArray& value);
    virtual JsonValue& operator=(const JsonObject& value);

    virtual Type type() const;
    virtual bool isNull() const;
    virtual bool isBool() const;
    virtual bool isDouble() const;
    virtual bool isString() const;
    virtual bool isArray() const;
    virtual bool isObject() const;
    virtual bool isUndefined() const;

    // true for a true boolean, a number other than 0, or a string whose lower
    // case is "true" or "1".
    virtual bool toBool() const;
    // A number; 1/0 for a boolean; a string parsed as a number (0 if it is none).
    virtual double toDouble() const;
    virtual JsonArray toArray() const;
    virtual JsonObject toObject() const;
    // Milliseconds since the epoch. A string's first 23 characters are read as
    // local "yyyy-MM-ddTHH:mm:ss.zzz" (a zone suffix is ignored; 0 when they do
    // not match); a number is truncated toward zero; anything else gives 0.
    virtual int64_t toDateTime() const;

    virtual bool operator==(const JsonValue& other) const;
    virtual bool operator!=(const JsonValue& other) const;

    // Stores the local time of milliseconds + offset as
    // "yyyy-MM-ddTHH:mm:ss.zzz" followed by that local time's offset from UTC:
    // "Z", or "+hh:mm" / "-hh:mm".
    virtual void setDateTime(int64_t milliseconds, int32_t offset = 0);

private:
    QJsonValue value_;
};

class TKL_API JsonObject : public Object {
public:
    JsonObject();
    JsonObject(const JsonObject& other);
    explicit JsonObject(const QJsonObject& object);
    ~JsonObject() override;

    // Compact text form, also the body of JSON requests (see the top of this file).
    std::string toString() const override;

    virtual JsonObject& operator=(const JsonObject& other);
    // Keys in UTF-8, ascending.
    virtual std::vector<std::string> keys() const;
    virtual int size() const;
    virtual bool isEmpty() const;
    // The member, or an Undefined value when the key is absent.
    virtual JsonValue value(const char* key) const;
    virtual JsonValue value(const std::string& key) const;
    // Sets the member, replacing an earlier value of the key.
    virtual void insert(const char* key, const JsonValue& value);
    virtual void insert(const std::string& key, const JsonValue& value);
    virtual void remove(const char* key);
    virtual void remove(const std::string& key);
    // Removes the member and returns it (Undefined when absent).
    virtual JsonValue take(const char* key);
    virtual JsonValue take(const std::string& key);
    virtual bool contains(const char* key) const;
    virtual bool contains(const std::string& key) const;
    virtual bool operator==(const JsonObject& other) const;
    virtual bool operator!=(const JsonObject& other) const;

    const QJsonObject& qt() const { return object_; }

private:
    QJsonObject object_;
};

class TKL_API JsonArray : public Object {
public:
    JsonArray();
    JsonArray(const JsonArray& other);
    explicit JsonArray(const QJsonArray& array);
    ~JsonArray() override;

    // "[" + toStringList() joined by "," + "]".
    std::string toString() const override;

    virtual JsonArray& operator=(const JsonArray& other);
    virtual int size() const;
    virtual bool isEmpty() const;
    // The element, or Undefined when index is out of range.
    virtual JsonValue at(int index) const;
    // Undefined when the array is empty.
    virtual JsonValue first() const;
    virtual JsonValue last() const;
    virtual void prepend(const JsonValue& value);
    virtual void append(const JsonValue& value);
    // Out of range does nothing.
    virtual void removeAt(int index);
    // Out of range gives Undefined and changes nothing.
    virtual JsonValue takeAt(int index);
    virtual void removeFirst();
    virtual void removeLast();
    // index in 0..size(); the caller guarantees it.
    virtual void insert(int index, const JsonValue& value);
    // index in 0..size()-1; the caller guarantees it.
    virtual void replace(int index, const JsonValue& value);
    virtual bool contains(const JsonValue& value) const;
    virtual JsonValue operator[](int index) const;
    // index in 0..size()-1; the caller guarantees it.
    virtual void set(int index, const JsonValue& value);
    virtual bool operator==(const JsonArray& other) const;
    virtual bool operator!=(const JsonArray& other) const;
    // Each element in the text form of a member value.
    virtual std::vector<std::string> toStringList() const;
    // Replaces the content by an array of these strings.
    virtual void fromStringList(const std::vector<std::string>& list);

    const QJsonArray& qt() const { return array_; }

private:
    QJsonArray array_;
};

class TKL_API JsonDocument : public Object {
public:
    JsonDocument();
    explicit JsonDocument(const QJsonDocument& document);
    JsonDocument(const JsonDocument& other);
    explicit JsonDocument(const JsonObject& object);
    explicit JsonDocument(const JsonArray& array);
    ~JsonDocument() override;

    // toJson(false).
    std::string toString() const override;

    virtual JsonDocument& operator=(const JsonDocument& other);
    virtual JsonDocument& operator=(const JsonObject& object);
    virtual JsonDocument& operator=(const JsonArray& array);
    virtual bool isEmpty() const;
    virtual bool isArray() const;
    virtual bool isObject() const;
    virtual bool isNull() const;
    // Qt's indented (four spaces a level) or compact serialisation, in UTF-8.
    virtual std::string toJson(bool indented) const;
    // The top-level object or array; empty when the document holds the other kind.
    virtual JsonObject object() const;
    virtual JsonArray array() const;
    virtual void setObject(const JsonObject& object);
    virtual void setArray(const JsonArray& array);
    virtual bool operator==(const JsonDocument& other) const;
    virtual bool operator!=(const JsonDocument& other) const;
    // Parses UTF-8 JSON and replaces the content; text that is not JSON leaves
    // a null document. A null text or a negative length reads as empty.
    virtual void fromJson(const char* text, int length);
    virtual void fromJson(const char* text);
    virtual void fromJson(const std::string& text);

    const QJsonDocument& qt() const { return document_; }

private:
    QJsonDocument document_;
};

}  // namespace tkl
