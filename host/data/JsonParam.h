#pragma once
// Parameter strings: every JSON text the library reads goes through JsonParam::parse, every
// text it writes through JsonBuilder. The BSON library stays behind the pimpl: its parser
// overflows the stack on deep nesting, accepts trailing garbage and throws on bad input or on
// a typed read of the wrong type, so nothing here exposes it.

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TC {

enum class JsonType { Missing, Null, Bool, Int, Int64, Double, String, Object, Array, Other };

class JsonArray;
class JsonBuilder;
class JsonArrayBuilder;

// An owned, immutable JSON object; cheap to copy (shared). Default: the empty object {}.
// Getters never throw: a missing field or a value of another type gives the default.
// Numbers convert between int, int64 and double when the value fits exactly.
class JsonObject final {
public:
    JsonObject();
    ~JsonObject();
    JsonObject(const JsonObject&);
    JsonObject& operator=(const JsonObject&);
    JsonObject(JsonObject&&) noexcept;
    JsonObject& operator=(JsonObject&&) noexcept;

    bool isEmpty() const;
    int fieldCount() const;
    std::vector<std::string> fieldNames() const; // document order
    bool has(const std::string& name) const;
    JsonType type(const std::string& name) const;

    int getInt(const std::string& name, int def = 0) const;
    std::int64_t getInt64(const std::string& name, std::int64_t def = 0) const;
    double getDouble(const std::string& name, double def = 0.0) const;
    bool getBool(const std::string& name, bool def = false) const;
    std::string getString(const std::string& name, const std::string& def = std::string()) const;
    QString getQString(const std::string& name, const QString& def = QString()) const;
    JsonObject getObject(const std::string& name) const; // empty when missing or not an object
    JsonArray getArray(const std::string& name) const;   // empty when missing or not an array

    // strict JSON on one line, fields in insertion order; "{}" for the empty object. JSON has
    // no NaN or Infinity: non-finite doubles are written as null. Bytes that are not UTF-8 (in
    // names and strings) are written as U+FFFD. What is written parses back, as long as
    // escaping does not take the text past JsonParam::kMaxBytes.
    std::string toJson() const;
    QString toQString() const;

    // same fields in the same order with the same types and values
    bool operator==(const JsonObject& other) const;
    bool operator!=(const JsonObject& other) const { return !(*this == other); }

    struct Data;

private:
    explicit JsonObject(std::shared_ptr<const Data> d);
    std::shared_ptr<const Data> d;
    friend class JsonArray;
    friend class JsonBuilder;
    friend class JsonArrayBuilder;
    friend class JsonParam;
};

// An owned, immutable JSON array; the getters mirror JsonObject's with an index.
class JsonArray final {
public:
    JsonArray();
    ~JsonArray();
    JsonArray(const JsonArray&);
    JsonArray& operator=(const JsonArray&);
    JsonArray(JsonArray&&) noexcept;
    JsonArray& operator=(JsonArray&&) noexcept;

    int size() const;
    bool isEmpty() const { return size() == 0; }
    JsonType type(int index) const; // Missing when out of range

    int getInt(int index, int def = 0) const;
    std::int64_t getInt64(int index, std::int64_t def = 0) const;
    double getDouble(int index, double def = 0.0) const;
    bool getBool(int index, bool def = false) const;
    std::string getString(int index, const std::string& def = std::string()) const;
    QString getQString(int index, const QString& def = QString()) const;
    JsonObject getObject(int index) const;
    JsonArray getArray(int index) const;

    // the string elements, in order; other elements are skipped
    QStringList toQStringList() const;
    std::string toJson() const;

    bool operator==(const JsonArray& other) const;
    bool operator!=(const JsonArray& other) const { return !(*this == other); }

private:
    explicit JsonArray(std::shared_ptr<const JsonObject::Data> d);
    std::shared_ptr<const JsonObject::Data> d; // elements keyed "0", "1", ...
    friend class JsonObject;
    friend class JsonArrayBuilder;
    friend class JsonBuilder;
};

// Builds an object field by field, in order. Named appenders, so that a string literal never
// lands in the bool overload. A field is refused, and the others kept, when it cannot be
// written and read back: a name holding a NUL byte, a value that would nest the object deeper
// than JsonParam::kMaxDepth, or one that would take it past the 16 MiB object size. A refusal is
// logged and kept in error().
class JsonBuilder final {
public:
    JsonBuilder();
    ~JsonBuilder();
    JsonBuilder(const JsonBuilder&) = delete;
    JsonBuilder& operator=(const JsonBuilder&) = delete;

    JsonBuilder& appendInt(const std::string& name, int value);
    JsonBuilder& appendInt64(const std::string& name, std::int64_t value);
    JsonBuilder& appendDouble(const std::string& name, double value);
    JsonBuilder& appendBool(const std::string& name, bool value);
    JsonBuilder& appendNull(const std::string& name);
    JsonBuilder& appendString(const std::string& name, const std::string& value);
    JsonBuilder& appendString(const std::string& name, const char* value);
    JsonBuilder& appendString(const std::string& name, const QString& value);
    JsonBuilder& appendObject(const std::string& name, const JsonObject& value);
    JsonBuilder& appendArray(const std::string& name, const JsonArray& value);
    JsonBuilder& appendArray(const std::string& name, const JsonArrayBuilder& value);
    JsonBuilder& appendStringArray(const std::string& name, const QStringList& values);

    // false once a field was refused; error() says which and why (the first refusal)
    bool ok() const;
    std::string error() const;

    // snapshots: the builder stays usable for further appends
    JsonObject obj() const;
    std::string toJson() const;
    QString toQString() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Refuses elements as JsonBuilder refuses fields.
class JsonArrayBuilder final {
public:
    JsonArrayBuilder();
    ~JsonArrayBuilder();
    JsonArrayBuilder(const JsonArrayBuilder&) = delete;
    JsonArrayBuilder& operator=(const JsonArrayBuilder&) = delete;

    JsonArrayBuilder& appendInt(int value);
    JsonArrayBuilder& appendInt64(std::int64_t value);
    JsonArrayBuilder& appendDouble(double value);
    JsonArrayBuilder& appendBool(bool value);
    JsonArrayBuilder& appendNull();
    JsonArrayBuilder& appendString(const std::string& value);
    JsonArrayBuilder& appendString(const char* value);
    JsonArrayBuilder& appendString(const QString& value);
    JsonArrayBuilder& appendObject(const JsonObject& value);
    JsonArrayBuilder& appendArray(const JsonArray& value);

    int size() const; // elements taken
    bool ok() const;
    std::string error() const;
    JsonArray array() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    friend class JsonBuilder;
};

struct JsonParseResult {
    JsonObject object; // empty on failure
    std::string error; // why it was rejected; empty on success
    bool ok() const { return error.empty(); }
};

// The one guarded entry point for reading parameter strings. Rejects empty input, input over
// kMaxBytes, NUL bytes, nesting deeper than kMaxDepth (in the input, or in the text the object
// would be written as: Timestamp(1,2) writes two levels), NumberInt(...) outside the int range
// (the parser would wrap it), anything but a top-level object, trailing non-whitespace and
// whatever the parser refuses. Never throws.
class JsonParam final {
public:
    static constexpr std::size_t kMaxBytes = 16u * 1024u * 1024u;
    static constexpr int kMaxDepth = 64;

    static JsonParseResult parse(const char* data, std::size_t size);
    static JsonParseResult parse(const std::string& text);
    static JsonParseResult parse(const QString& text); // UTF-8

    // the nesting depth of brackets outside strings ("{}" is 1); -1 when the brackets do not
    // pair up, a string is left open or a '/' (a regex literal that could hide quotes or
    // brackets from the count) appears; stops counting once past limit
    static int nestingDepth(const char* data, std::size_t size, int limit = kMaxDepth);
};

} // namespace TC
