#include "host/data/JsonParam.h"

#include "host/data/Log.h"

#include <mongo/bson/bson.h>
#include <mongo/bson/bson_validate.h>
#include <mongo/db/json.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace TC {

struct JsonObject::Data {
    mongo::BSONObj obj; // always owned
};

namespace {

using DataPtr = std::shared_ptr<const JsonObject::Data>;

DataPtr makeData(const mongo::BSONObj& obj)
{
    auto d = std::make_shared<JsonObject::Data>();
    d->obj = obj.getOwned();
    return d;
}

const DataPtr& emptyData()
{
    static const DataPtr empty = makeData(mongo::BSONObj());
    return empty;
}

bool hasNul(const std::string& s)
{
    return s.find('\0') != std::string::npos;
}

JsonType typeOf(const mongo::BSONElement& e)
{
    switch (e.type()) {
    case mongo::EOO: return JsonType::Missing;
    case mongo::jstNULL: return JsonType::Null;
    case mongo::Bool: return JsonType::Bool;
    case mongo::NumberInt: return JsonType::Int;
    case mongo::NumberLong: return JsonType::Int64;
    case mongo::NumberDouble: return JsonType::Double;
    case mongo::String: return JsonType::String;
    case mongo::Object: return JsonType::Object;
    case mongo::Array: return JsonType::Array;
    default: return JsonType::Other;
    }
}

// exact conversions only: a fractional double or an out-of-range number is not an int
bool toInt64(const mongo::BSONElement& e, std::int64_t& out)
{
    switch (e.type()) {
    case mongo::NumberInt: out = e._numberInt(); return true;
    case mongo::NumberLong: out = e._numberLong(); return true;
    case mongo::NumberDouble: {
        const double v = e._numberDouble();
        // 2^63 is exactly representable; anything at or beyond it overflows int64
        if (!std::isfinite(v) || v != std::trunc(v) || v < -9223372036854775808.0
            || v >= 9223372036854775808.0)
            return false;
        out = static_cast<std::int64_t>(v);
        return true;
    }
    default: return false;
    }
}

int elemInt(const mongo::BSONElement& e, int def)
{
    std::int64_t v = 0;
    if (!toInt64(e, v) || v < std::numeric_limits<int>::min()
        || v > std::numeric_limits<int>::max())
        return def;
    return static_cast<int>(v);
}

std::int64_t elemInt64(const mongo::BSONElement& e, std::int64_t def)
{
    std::int64_t v = 0;
    return toInt64(e, v) ? v : def;
}

double elemDouble(const mongo::BSONElement& e, double def)
{
    switch (e.type()) {
    case mongo::NumberInt: return e._numberInt();
    case mongo::NumberLong: return static_cast<double>(e._numberLong());
    case mongo::NumberDouble: return e._numberDouble();
    default: return def;
    }
}

bool elemBool(const mongo::BSONElement& e, bool def)
{
    return e.type() == mongo::Bool ? e.boolean() : def;
}

std::string elemString(const mongo::BSONElement& e, const std::string& def)
{
    // valuestrsize counts the terminating NUL; strings may hold NULs of their own
    return e.type() == mongo::String ? std::string(e.valuestr(), e.valuestrsize() - 1) : def;
}

QString elemQString(const mongo::BSONElement& e, const QString& def)
{
    return e.type() == mongo::String ? QString::fromUtf8(e.valuestr(), e.valuestrsize() - 1) : def;
}

// Doubles in shortest round-trip form, integral ones with ".0" so that they read back as
// doubles: the library's own writer keeps 16 digits and prints 1.0 as "1", which reads back
// as an int. Everything else is written by the library, in its layout.
void writeDouble(std::string& out, double v)
{
    if (std::isnan(v)) {
        out += "NaN";
        return;
    }
    if (std::isinf(v)) {
        out += v > 0 ? "Infinity" : "-Infinity";
        return;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    out += text;
    if (text.find_first_of(".e") == std::string_view::npos)
        out += ".0";
}

void writeObject(std::string& out, const mongo::BSONObj& obj, bool isArray)
{
    if (obj.isEmpty()) {
        out += isArray ? "[]" : "{}";
        return;
    }
    out += isArray ? "[ " : "{ ";
    bool first = true;
    mongo::BSONObjIterator it(obj);
    while (it.more()) {
        const mongo::BSONElement e = it.next();
        if (!first)
            out += ", ";
        first = false;
        if (!isArray) {
            // the library's escaper is not exported; a string element carries the name out
            mongo::BSONObjBuilder name;
            name.append("", mongo::StringData(e.fieldName()));
            out += name.done().firstElement().jsonString(mongo::Strict, false);
            out += " : ";
        }
        switch (e.type()) {
        case mongo::Object: writeObject(out, e.embeddedObject(), false); break;
        case mongo::Array: writeObject(out, e.embeddedObject(), true); break;
        case mongo::NumberDouble: writeDouble(out, e._numberDouble()); break;
        // the library writes {"$numberLong": "..."}, which its own parser reads back as a
        // double for some values; plain digits outside the int range read back as int64
        case mongo::NumberLong: out += std::to_string(e._numberLong()); break;
        default: out += e.jsonString(mongo::Strict, false); break;
        }
    }
    out += isArray ? " ]" : " }";
}

std::string writeJson(const mongo::BSONObj& obj, bool isArray)
{
    try {
        std::string out;
        out.reserve(static_cast<std::size_t>(obj.objsize()) + 16);
        writeObject(out, obj, isArray);
        return out;
    } catch (const std::exception& e) {
        TT_LOG_ERROR("[JsonParam] write failed: %1%", e.what());
    } catch (...) {
        TT_LOG_ERROR("[JsonParam] write failed");
    }
    return isArray ? "[]" : "{}";
}

mongo::BSONElement fieldAt(const mongo::BSONObj& obj, int index)
{
    if (index < 0)
        return mongo::BSONElement();
    char key[16];
    std::snprintf(key, sizeof key, "%d", index);
    return obj.getField(key);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

// ---------------------------------------------------------------------------------------------
JsonObject::JsonObject() : d(emptyData()) {}
JsonObject::JsonObject(std::shared_ptr<const Data> data) : d(data ? std::move(data) : emptyData())
{
}
JsonObject::~JsonObject() = default;
JsonObject::JsonObject(const JsonObject&) = default;
JsonObject& JsonObject::operator=(const JsonObject&) = default;
// a moved-from object stays a valid empty one
JsonObject::JsonObject(JsonObject&& o) noexcept : d(std::move(o.d))
{
    o.d = emptyData();
}
JsonObject& JsonObject::operator=(JsonObject&& o) noexcept
{
    if (this != &o) {
        d = std::move(o.d);
        o.d = emptyData();
    }
    return *this;
}

bool JsonObject::isEmpty() const
{
    return d->obj.isEmpty();
}
int JsonObject::fieldCount() const
{
    return d->obj.nFields();
}

std::vector<std::string> JsonObject::fieldNames() const
{
    std::vector<std::string> names;
    mongo::BSONObjIterator it(d->obj);
    while (it.more())
        names.emplace_back(it.next().fieldName());
    return names;
}

bool JsonObject::has(const std::string& name) const
{
    return !hasNul(name) && !d->obj.getField(name).eoo();
}

JsonType JsonObject::type(const std::string& name) const
{
    return hasNul(name) ? JsonType::Missing : typeOf(d->obj.getField(name));
}

int JsonObject::getInt(const std::string& name, int def) const
{
    return elemInt(d->obj.getField(name), def);
}
std::int64_t JsonObject::getInt64(const std::string& name, std::int64_t def) const
{
    return elemInt64(d->obj.getField(name), def);
}
double JsonObject::getDouble(const std::string& name, double def) const
{
    return elemDouble(d->obj.getField(name), def);
}
bool JsonObject::getBool(const std::string& name, bool def) const
{
    return elemBool(d->obj.getField(name), def);
}
std::string JsonObject::getString(const std::string& name, const std::string& def) const
{
    return elemString(d->obj.getField(name), def);
}
QString JsonObject::getQString(const std::string& name, const QString& def) const
{
    return elemQString(d->obj.getField(name), def);
}

JsonObject JsonObject::getObject(const std::string& name) const
{
    const mongo::BSONElement e = d->obj.getField(name);
    return e.type() == mongo::Object ? JsonObject(makeData(e.embeddedObject())) : JsonObject();
}

JsonArray JsonObject::getArray(const std::string& name) const
{
    const mongo::BSONElement e = d->obj.getField(name);
    return e.type() == mongo::Array ? JsonArray(makeData(e.embeddedObject())) : JsonArray();
}

std::string JsonObject::toJson() const
{
    return writeJson(d->obj, false);
}
QString JsonObject::toQString() const
{
    return QString::fromStdString(toJson());
}

bool JsonObject::operator==(const JsonObject& other) const
{
    return d == other.d || d->obj.binaryEqual(other.d->obj);
}

// ---------------------------------------------------------------------------------------------
JsonArray::JsonArray() : d(emptyData()) {}
JsonArray::JsonArray(std::shared_ptr<const JsonObject::Data> data)
    : d(data ? std::move(data) : emptyData())
{
}
JsonArray::~JsonArray() = default;
JsonArray::JsonArray(const JsonArray&) = default;
JsonArray& JsonArray::operator=(const JsonArray&) = default;
JsonArray::JsonArray(JsonArray&& o) noexcept : d(std::move(o.d))
{
    o.d = emptyData();
}
JsonArray& JsonArray::operator=(JsonArray&& o) noexcept
{
    if (this != &o) {
        d = std::move(o.d);
        o.d = emptyData();
    }
    return *this;
}

int JsonArray::size() const
{
    return d->obj.nFields();
}
JsonType JsonArray::type(int index) const
{
    return typeOf(fieldAt(d->obj, index));
}
int JsonArray::getInt(int index, int def) const
{
    return elemInt(fieldAt(d->obj, index), def);
}
std::int64_t JsonArray::getInt64(int index, std::int64_t def) const
{
    return elemInt64(fieldAt(d->obj, index), def);
}
double JsonArray::getDouble(int index, double def) const
{
    return elemDouble(fieldAt(d->obj, index), def);
}
bool JsonArray::getBool(int index, bool def) const
{
    return elemBool(fieldAt(d->obj, index), def);
}
std::string JsonArray::getString(int index, const std::string& def) const
{
    return elemString(fieldAt(d->obj, index), def);
}
QString JsonArray::getQString(int index, const QString& def) const
{
    return elemQString(fieldAt(d->obj, index), def);
}

JsonObject JsonArray::getObject(int index) const
{
    const mongo::BSONElement e = fieldAt(d->obj, index);
    return e.type() == mongo::Object ? JsonObject(makeData(e.embeddedObject())) : JsonObject();
}

JsonArray JsonArray::getArray(int index) const
{
    const mongo::BSONElement e = fieldAt(d->obj, index);
    return e.type() == mongo::Array ? JsonArray(makeData(e.embeddedObject())) : JsonArray();
}

QStringList JsonArray::toQStringList() const
{
    QStringList out;
    mongo::BSONObjIterator it(d->obj);
    while (it.more()) {
        const mongo::BSONElement e = it.next();
        if (e.type() == mongo::String)
            out << elemQString(e, QString());
    }
    return out;
}

std::string JsonArray::toJson() const
{
    return writeJson(d->obj, true);
}

bool JsonArray::operator==(const JsonArray& other) const
{
    return d == other.d || d->obj.binaryEqual(other.d->obj);
}

// ---------------------------------------------------------------------------------------------
struct JsonBuilder::Impl {
    mongo::BSONObjBuilder b;
};

JsonBuilder::JsonBuilder() : d(new Impl) {}
JsonBuilder::~JsonBuilder() = default;

// The builder only throws past the BSON size limit; such a field is dropped and logged.
#define TT_JSON_APPEND(name, expr)                                                                 \
    do {                                                                                           \
        if (hasNul(name)) {                                                                        \
            TT_LOG_WARN("[JsonParam] field name with a NUL byte dropped");                         \
            return *this;                                                                          \
        }                                                                                          \
        try {                                                                                      \
            expr;                                                                                  \
        } catch (const std::exception& e) {                                                        \
            TT_LOG_ERROR("[JsonParam] append %1% failed: %2%", name, e.what());                    \
        }                                                                                          \
        return *this;                                                                              \
    } while (0)

JsonBuilder& JsonBuilder::appendInt(const std::string& name, int value)
{
    TT_JSON_APPEND(name, d->b.append(name, value));
}
// An int64 that fits an int is stored as an int: JSON text cannot tell them apart, and the
// parser reads such a number back as an int.
JsonBuilder& JsonBuilder::appendInt64(const std::string& name, std::int64_t value)
{
    if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
        return appendInt(name, static_cast<int>(value));
    TT_JSON_APPEND(name, d->b.append(name, static_cast<long long>(value)));
}
JsonBuilder& JsonBuilder::appendDouble(const std::string& name, double value)
{
    TT_JSON_APPEND(name, d->b.append(name, value));
}
JsonBuilder& JsonBuilder::appendBool(const std::string& name, bool value)
{
    TT_JSON_APPEND(name, d->b.appendBool(name, value));
}
JsonBuilder& JsonBuilder::appendNull(const std::string& name)
{
    TT_JSON_APPEND(name, d->b.appendNull(name));
}
JsonBuilder& JsonBuilder::appendString(const std::string& name, const std::string& value)
{
    TT_JSON_APPEND(name, d->b.append(name, mongo::StringData(value)));
}
JsonBuilder& JsonBuilder::appendString(const std::string& name, const char* value)
{
    TT_JSON_APPEND(name, d->b.append(name, mongo::StringData(value ? value : "")));
}
JsonBuilder& JsonBuilder::appendString(const std::string& name, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    TT_JSON_APPEND(name, d->b.append(name, mongo::StringData(utf8.constData(), utf8.size())));
}
JsonBuilder& JsonBuilder::appendObject(const std::string& name, const JsonObject& value)
{
    TT_JSON_APPEND(name, d->b.append(name, value.d->obj));
}
JsonBuilder& JsonBuilder::appendArray(const std::string& name, const JsonArray& value)
{
    TT_JSON_APPEND(name, d->b.appendArray(name, value.d->obj));
}
JsonBuilder& JsonBuilder::appendArray(const std::string& name, const JsonArrayBuilder& value)
{
    return appendArray(name, value.array());
}
JsonBuilder& JsonBuilder::appendStringArray(const std::string& name, const QStringList& values)
{
    JsonArrayBuilder a;
    for (const QString& v : values)
        a.appendString(v);
    return appendArray(name, a);
}

JsonObject JsonBuilder::obj() const
{
    try {
        return JsonObject(makeData(d->b.asTempObj()));
    } catch (const std::exception& e) {
        TT_LOG_ERROR("[JsonParam] build failed: %1%", e.what());
    }
    return JsonObject();
}
std::string JsonBuilder::toJson() const
{
    return obj().toJson();
}
QString JsonBuilder::toQString() const
{
    return QString::fromStdString(toJson());
}

// ---------------------------------------------------------------------------------------------
// an array is an object keyed "0", "1", ...; an object builder keeps a temp view for snapshots
struct JsonArrayBuilder::Impl {
    mongo::BSONObjBuilder b;
    int n = 0;
    char key[16];
    const char* next()
    {
        std::snprintf(key, sizeof key, "%d", n);
        return key;
    }
};

JsonArrayBuilder::JsonArrayBuilder() : d(new Impl) {}
JsonArrayBuilder::~JsonArrayBuilder() = default;

#define TT_JSON_PUSH(expr)                                                                         \
    do {                                                                                           \
        try {                                                                                      \
            expr;                                                                                  \
            ++d->n;                                                                                \
        } catch (const std::exception& e) {                                                        \
            TT_LOG_ERROR("[JsonParam] array append failed: %1%", e.what());                        \
        }                                                                                          \
        return *this;                                                                              \
    } while (0)

JsonArrayBuilder& JsonArrayBuilder::appendInt(int value)
{
    TT_JSON_PUSH(d->b.append(d->next(), value));
}
JsonArrayBuilder& JsonArrayBuilder::appendInt64(std::int64_t value)
{
    if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
        return appendInt(static_cast<int>(value));
    TT_JSON_PUSH(d->b.append(d->next(), static_cast<long long>(value)));
}
JsonArrayBuilder& JsonArrayBuilder::appendDouble(double value)
{
    TT_JSON_PUSH(d->b.append(d->next(), value));
}
JsonArrayBuilder& JsonArrayBuilder::appendBool(bool value)
{
    TT_JSON_PUSH(d->b.appendBool(d->next(), value));
}
JsonArrayBuilder& JsonArrayBuilder::appendNull()
{
    TT_JSON_PUSH(d->b.appendNull(d->next()));
}
JsonArrayBuilder& JsonArrayBuilder::appendString(const std::string& value)
{
    TT_JSON_PUSH(d->b.append(d->next(), mongo::StringData(value)));
}
JsonArrayBuilder& JsonArrayBuilder::appendString(const char* value)
{
    TT_JSON_PUSH(d->b.append(d->next(), mongo::StringData(value ? value : "")));
}
JsonArrayBuilder& JsonArrayBuilder::appendString(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    TT_JSON_PUSH(d->b.append(d->next(), mongo::StringData(utf8.constData(), utf8.size())));
}
JsonArrayBuilder& JsonArrayBuilder::appendObject(const JsonObject& value)
{
    TT_JSON_PUSH(d->b.append(d->next(), value.d->obj));
}
JsonArrayBuilder& JsonArrayBuilder::appendArray(const JsonArray& value)
{
    TT_JSON_PUSH(d->b.appendArray(d->next(), value.d->obj));
}

int JsonArrayBuilder::size() const
{
    return d->n;
}

JsonArray JsonArrayBuilder::array() const
{
    try {
        return JsonArray(makeData(d->b.asTempObj()));
    } catch (const std::exception& e) {
        TT_LOG_ERROR("[JsonParam] array build failed: %1%", e.what());
    }
    return JsonArray();
}

// ---------------------------------------------------------------------------------------------
int JsonParam::nestingDepth(const char* data, std::size_t size, int limit)
{
    // the stack of open brackets; a closing bracket must match its opener
    std::string open;
    int maxDepth = 0;
    char quote = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (quote) {
            if (c == '\\')
                ++i; // the escaped character cannot end the string
            else if (c == quote)
                quote = 0;
            continue;
        }
        switch (c) {
        case '"':
        case '\'': // the parser takes single-quoted strings too
            quote = c;
            break;
        case '/': // a regex literal could hide quotes or brackets from this scan
            return -1;
        case '{':
        case '[':
            open.push_back(c);
            if (static_cast<int>(open.size()) > maxDepth) {
                maxDepth = static_cast<int>(open.size());
                if (maxDepth > limit)
                    return maxDepth;
            }
            break;
        case '}':
        case ']':
            if (open.empty() || open.back() != (c == '}' ? '{' : '['))
                return -1;
            open.pop_back();
            break;
        default: break;
        }
    }
    return (quote || !open.empty()) ? -1 : maxDepth;
}

JsonParseResult JsonParam::parse(const char* data, std::size_t size)
{
    JsonParseResult r;
    if (!data || size == 0) {
        r.error = "empty input";
        return r;
    }
    if (size > kMaxBytes) {
        r.error = "input larger than 16 MiB";
        return r;
    }
    if (const void* nul = std::memchr(data, '\0', size)) {
        r.error = "NUL byte at offset " + std::to_string(static_cast<const char*>(nul) - data);
        return r;
    }
    // the parser recurses per level and overflows the stack long before it fails cleanly
    const int depth = nestingDepth(data, size, kMaxDepth);
    if (depth < 0) {
        r.error = "unbalanced brackets or unterminated string";
        return r;
    }
    if (depth > kMaxDepth) {
        r.error = "nesting deeper than " + std::to_string(kMaxDepth);
        return r;
    }

    std::size_t start = 0;
    while (start < size && isSpace(data[start]))
        ++start;
    // the parser also takes a top-level array and turns it into an object keyed "0", "1", ...
    if (start == size || data[start] != '{') {
        r.error = "parse error: not an object";
        return r;
    }

    const std::string text(data, size); // the parser wants a terminated string
    try {
        int used = 0;
        mongo::BSONObj obj = mongo::fromjson(text.c_str(), &used);
        if (used < 0 || static_cast<std::size_t>(used) > size) {
            r.error = "parser overran the input";
            return r;
        }
        for (std::size_t i = static_cast<std::size_t>(used); i < size; ++i) {
            if (!isSpace(text[i])) {
                r.error = "trailing characters at offset " + std::to_string(i);
                return r;
            }
        }
        // a "\u0000" escape in a field name makes a malformed object
        if (!mongo::validateBSON(obj.objdata(), static_cast<std::uint64_t>(obj.objsize())).isOK()) {
            r.error = "parsed object is not valid BSON";
            return r;
        }
        r.object = JsonObject(makeData(obj));
    } catch (const mongo::DBException& e) {
        r.error = std::string("parse error: ") + e.what();
    } catch (const std::exception& e) {
        r.error = std::string("parse error: ") + e.what();
    } catch (...) {
        r.error = "parse error";
    }
    if (!r.ok())
        r.object = JsonObject();
    return r;
}

JsonParseResult JsonParam::parse(const std::string& text)
{
    return parse(text.data(), text.size());
}

JsonParseResult JsonParam::parse(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return parse(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

} // namespace TC
