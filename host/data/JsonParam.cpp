#include "host/data/JsonParam.h"

#include "host/data/Log.h"

#include <mongo/bson/bson.h>
#include <mongo/bson/bson_validate.h>
#include <mongo/db/json.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

namespace TC {

// An immutable object or array with a lookup index and its written depth, both made on first
// use. Copies of a JsonObject share one Data, so a field-by-field read indexes once.
struct JsonObject::Data {
    struct Element {
        const char* data;
        std::uint32_t nameSize;
        std::string_view name() const { return std::string_view(data + 1, nameSize); }
    };

    mongo::BSONObj obj; // always owned

    const std::vector<Element>& elements() const
    {
        std::call_once(m_indexed, [this] { buildIndex(); });
        return m_elements;
    }
    mongo::BSONElement find(std::string_view name) const;
    mongo::BSONElement at(int index) const;
    int depth() const; // nesting depth of the written text, "{}" being 1

    mutable std::atomic<int> knownDepth{-1};

private:
    void buildIndex() const;
    mutable std::once_flag m_indexed;
    mutable std::vector<Element> m_elements;
    // past this many fields a hash lookup beats comparing names in order
    static constexpr std::size_t kLinearLookup = 16;
    mutable std::unordered_map<std::string_view, std::size_t> m_byName; // first of duplicates
};

namespace {

using DataPtr = std::shared_ptr<const JsonObject::Data>;

DataPtr makeData(const mongo::BSONObj& obj, int depth = -1)
{
    auto d = std::make_shared<JsonObject::Data>();
    d->obj = obj.getOwned();
    d->knownDepth.store(depth, std::memory_order_relaxed);
    return d;
}

const DataPtr& emptyData()
{
    static const DataPtr empty = makeData(mongo::BSONObj(), 1);
    return empty;
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

// Length of the well-formed UTF-8 sequence at s (1 to 4), or 0 with `bad` set to the length
// of the maximal ill-formed subpart to replace by one U+FFFD (Unicode's recommended practice).
std::size_t utf8Sequence(const unsigned char* s, std::size_t n, std::size_t& bad)
{
    const unsigned char c = s[0];
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF; // range of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0; // overlong
        else if (c == 0xED)
            hi = 0x9F; // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90; // overlong
        else if (c == 0xF4)
            hi = 0x8F; // past U+10FFFF
    } else {
        bad = 1;
        return 0;
    }
    std::size_t i = 1;
    for (; i < len && i < n; ++i) {
        const unsigned char b = s[i];
        if (i == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF))
            break;
    }
    if (i == len)
        return len;
    bad = i;
    return 0;
}

const char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

// Text already escaped as JSON (the library's writer) with ill-formed UTF-8 replaced.
void appendUtf8(std::string& out, const char* text, std::size_t n)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    std::size_t run = 0; // start of the pending well-formed run
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        std::size_t bad = 0;
        if (const std::size_t len = utf8Sequence(s + i, n - i, bad)) {
            i += len;
            continue;
        }
        out.append(text + run, i - run);
        out += kReplacement;
        i += bad;
        run = i;
    }
    out.append(text + run, n - run);
}

// A JSON string: quotes, backslashes and control characters escaped, ill-formed UTF-8
// replaced; everything else as is.
void writeString(std::string& out, const char* text, std::size_t n)
{
    static const char kHex[] = "0123456789abcdef";
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    out += '"';
    std::size_t run = 0;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0, bad = 0;
        if (c >= 0x80 && (len = utf8Sequence(s + i, n - i, bad)) != 0) {
            i += len;
            continue;
        }
        out.append(text + run, i - run);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                const char esc[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
                out.append(esc, sizeof esc);
            } else {
                out += kReplacement;
                i += bad;
                run = i;
                continue;
            }
        }
        ++i;
        run = i;
    }
    out.append(text + run, n - run);
    out += '"';
}

// Doubles in shortest round-trip form, integral ones with ".0" so that they read back as
// doubles: the library's own writer keeps 16 digits and prints 1.0 as "1", which reads back
// as an int. JSON has no NaN or Infinity; null is what strict readers take.
void writeDouble(std::string& out, double v)
{
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    out += text;
    if (text.find_first_of(".e") == std::string_view::npos)
        out += ".0";
}

template <typename Int>
void writeInteger(std::string& out, Int v)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<std::size_t>(res.ptr - buf));
}

// Types without a JSON counterpart (dates, ids, timestamps, ...) in the library's strict
// extended form, which its parser reads back to the same type.
std::string otherJson(const mongo::BSONElement& e)
{
    return e.jsonString(mongo::Strict, false);
}

void writeObject(std::string& out, const mongo::BSONObj& obj, bool isArray, int depth)
{
    // every object is built or parsed within the limit; this keeps the recursion bounded
    if (depth > JsonParam::kMaxDepth)
        throw std::runtime_error("nesting deeper than " + std::to_string(JsonParam::kMaxDepth));
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
            writeString(out, e.fieldName(), static_cast<std::size_t>(e.fieldNameSize() - 1));
            out += " : ";
        }
        switch (e.type()) {
        case mongo::Object: writeObject(out, e.embeddedObject(), false, depth + 1); break;
        case mongo::Array: writeObject(out, e.embeddedObject(), true, depth + 1); break;
        case mongo::NumberDouble: writeDouble(out, e._numberDouble()); break;
        case mongo::NumberInt: writeInteger(out, e._numberInt()); break;
        // the library writes {"$numberLong": "..."}, which its own parser reads back as a
        // double for some values; plain digits outside the int range read back as int64
        case mongo::NumberLong: writeInteger(out, e._numberLong()); break;
        case mongo::Bool: out += e.boolean() ? "true" : "false"; break;
        case mongo::jstNULL: out += "null"; break;
        case mongo::String:
            writeString(out, e.valuestr(), static_cast<std::size_t>(e.valuestrsize() - 1));
            break;
        default: {
            const std::string text = otherJson(e);
            appendUtf8(out, text.data(), text.size());
            break;
        }
        }
    }
    out += isArray ? " ]" : " }";
}

std::string writeJson(const mongo::BSONObj& obj, bool isArray)
{
    try {
        std::string out;
        out.reserve(static_cast<std::size_t>(obj.objsize()) + 16);
        writeObject(out, obj, isArray, 1);
        return out;
    } catch (const std::exception& e) {
        TT_LOG_ERROR("[JsonParam] write failed: %1%", e.what());
    } catch (...) {
        TT_LOG_ERROR("[JsonParam] write failed");
    }
    return isArray ? "[]" : "{}";
}

// nesting depth of obj as written; stops once past limit
int writtenDepth(const mongo::BSONObj& obj, int limit)
{
    int deepest = 1;
    mongo::BSONObjIterator it(obj);
    while (it.more() && deepest <= limit) {
        const mongo::BSONElement e = it.next();
        int d = 0;
        switch (e.type()) {
        case mongo::Object:
        case mongo::Array: d = 1 + writtenDepth(e.embeddedObject(), limit - 1); break;
        case mongo::EOO:
        case mongo::jstNULL:
        case mongo::Bool:
        case mongo::NumberInt:
        case mongo::NumberLong:
        case mongo::NumberDouble:
        case mongo::String: break;
        default: {
            const std::string text = otherJson(e);
            d = 1 + JsonParam::nestingDepth(text.data(), text.size(), limit);
            if (d == 0) // unbalanced: count it as too deep rather than guess
                d = limit + 1;
            break;
        }
        }
        deepest = std::max(deepest, d);
    }
    return deepest;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isIdentChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
           || c == '$';
}

// Offset of the first NumberInt(...) outside strings whose argument lies outside the int
// range (the parser reads it as a long and truncates), or npos.
std::size_t numberIntOutOfRange(const char* data, std::size_t size)
{
    static constexpr std::string_view kName = "NumberInt";
    const std::string_view text(data, size);
    if (text.find(kName) == std::string_view::npos)
        return std::string_view::npos;
    char quote = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (c != 'N' || text.compare(i, kName.size(), kName) != 0
            || (i > 0 && isIdentChar(data[i - 1])))
            continue;
        std::size_t j = i + kName.size();
        while (j < size && isSpace(data[j]))
            ++j;
        if (j >= size || data[j] != '(')
            continue;
        ++j;
        while (j < size && isSpace(data[j]))
            ++j;
        bool negative = false;
        if (j < size && (data[j] == '-' || data[j] == '+'))
            negative = data[j++] == '-';
        std::int64_t magnitude = 0;
        for (; j < size && data[j] >= '0' && data[j] <= '9'; ++j) {
            magnitude = magnitude * 10 + (data[j] - '0');
            if (magnitude > std::int64_t(1) << 32)
                break; // out of range either way; keeps the product from overflowing
        }
        const std::int64_t limit = negative ? -std::int64_t(std::numeric_limits<int>::min())
                                            : std::int64_t(std::numeric_limits<int>::max());
        if (magnitude > limit)
            return i;
        i = j - 1;
    }
    return std::string_view::npos;
}

bool hex4(const char* p, unsigned& out)
{
    out = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = p[i];
        unsigned v;
        if (c >= '0' && c <= '9')
            v = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            v = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            v = unsigned(c - 'A' + 10);
        else
            return false;
        out = out << 4 | v;
    }
    return true;
}

// The parser turns each \u escape into UTF-8 on its own, so an escaped surrogate pair would
// become two ill-formed three-byte sequences. Pairs inside strings are decoded here, in place,
// to the four-byte sequence of their code point before the parser runs. Offsets reported past
// such a pair refer to the decoded text.
void decodeSurrogatePairs(std::string& text)
{
    if (text.find("\\u") == std::string::npos)
        return;
    std::size_t out = 0;
    char quote = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (!quote || c != '\\') {
            if (!quote && (c == '"' || c == '\''))
                quote = c;
            else if (c == quote)
                quote = 0;
            text[out++] = text[i++];
            continue;
        }
        unsigned hi = 0, lo = 0;
        if (i + 12 <= text.size() && text[i + 1] == 'u' && hex4(&text[i + 2], hi) && hi >= 0xD800
            && hi <= 0xDBFF && text[i + 6] == '\\' && text[i + 7] == 'u' && hex4(&text[i + 8], lo)
            && lo >= 0xDC00 && lo <= 0xDFFF) {
            const unsigned cp = 0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00);
            text[out++] = char(0xF0 | (cp >> 18));
            text[out++] = char(0x80 | ((cp >> 12) & 0x3F));
            text[out++] = char(0x80 | ((cp >> 6) & 0x3F));
            text[out++] = char(0x80 | (cp & 0x3F));
            i += 12;
            continue;
        }
        // any other escape: the backslash and the character it escapes
        text[out++] = text[i++];
        if (i < text.size())
            text[out++] = text[i++];
    }
    text.resize(out);
}

} // namespace

void JsonObject::Data::buildIndex() const
{
    m_elements.reserve(static_cast<std::size_t>(obj.nFields()));
    mongo::BSONObjIterator it(obj);
    while (it.more()) {
        const mongo::BSONElement e = it.next();
        m_elements.push_back({e.rawdata(), static_cast<std::uint32_t>(e.fieldNameSize() - 1)});
    }
    if (m_elements.size() > kLinearLookup) {
        m_byName.reserve(m_elements.size());
        for (std::size_t i = 0; i < m_elements.size(); ++i)
            m_byName.emplace(m_elements[i].name(), i); // keeps the first of duplicate names
    }
}

mongo::BSONElement JsonObject::Data::find(std::string_view name) const
{
    const std::vector<Element>& all = elements();
    if (all.size() > kLinearLookup) {
        const auto it = m_byName.find(name);
        return it == m_byName.end() ? mongo::BSONElement()
                                    : mongo::BSONElement(all[it->second].data);
    }
    for (const Element& e : all) {
        if (e.name() == name)
            return mongo::BSONElement(e.data);
    }
    return mongo::BSONElement();
}

// arrays are stored keyed "0", "1", ... in order, so the position is the index
mongo::BSONElement JsonObject::Data::at(int index) const
{
    const std::vector<Element>& all = elements();
    if (index < 0 || static_cast<std::size_t>(index) >= all.size())
        return mongo::BSONElement();
    return mongo::BSONElement(all[static_cast<std::size_t>(index)].data);
}

int JsonObject::Data::depth() const
{
    int d = knownDepth.load(std::memory_order_relaxed);
    if (d < 0) {
        d = writtenDepth(obj, JsonParam::kMaxDepth);
        knownDepth.store(d, std::memory_order_relaxed);
    }
    return d;
}

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
    return static_cast<int>(d->elements().size());
}

std::vector<std::string> JsonObject::fieldNames() const
{
    std::vector<std::string> names;
    names.reserve(d->elements().size());
    for (const Data::Element& e : d->elements())
        names.emplace_back(e.name());
    return names;
}

bool JsonObject::has(const std::string& name) const
{
    return !d->find(name).eoo();
}

JsonType JsonObject::type(const std::string& name) const
{
    return typeOf(d->find(name));
}

int JsonObject::getInt(const std::string& name, int def) const
{
    return elemInt(d->find(name), def);
}
std::int64_t JsonObject::getInt64(const std::string& name, std::int64_t def) const
{
    return elemInt64(d->find(name), def);
}
double JsonObject::getDouble(const std::string& name, double def) const
{
    return elemDouble(d->find(name), def);
}
bool JsonObject::getBool(const std::string& name, bool def) const
{
    return elemBool(d->find(name), def);
}
std::string JsonObject::getString(const std::string& name, const std::string& def) const
{
    return elemString(d->find(name), def);
}
QString JsonObject::getQString(const std::string& name, const QString& def) const
{
    return elemQString(d->find(name), def);
}

JsonObject JsonObject::getObject(const std::string& name) const
{
    const mongo::BSONElement e = d->find(name);
    return e.type() == mongo::Object ? JsonObject(makeData(e.embeddedObject())) : JsonObject();
}

JsonArray JsonObject::getArray(const std::string& name) const
{
    const mongo::BSONElement e = d->find(name);
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
    return static_cast<int>(d->elements().size());
}
JsonType JsonArray::type(int index) const
{
    return typeOf(d->at(index));
}
int JsonArray::getInt(int index, int def) const
{
    return elemInt(d->at(index), def);
}
std::int64_t JsonArray::getInt64(int index, std::int64_t def) const
{
    return elemInt64(d->at(index), def);
}
double JsonArray::getDouble(int index, double def) const
{
    return elemDouble(d->at(index), def);
}
bool JsonArray::getBool(int index, bool def) const
{
    return elemBool(d->at(index), def);
}
std::string JsonArray::getString(int index, const std::string& def) const
{
    return elemString(d->at(index), def);
}
QString JsonArray::getQString(int index, const QString& def) const
{
    return elemQString(d->at(index), def);
}

JsonObject JsonArray::getObject(int index) const
{
    const mongo::BSONElement e = d->at(index);
    return e.type() == mongo::Object ? JsonObject(makeData(e.embeddedObject())) : JsonObject();
}

JsonArray JsonArray::getArray(int index) const
{
    const mongo::BSONElement e = d->at(index);
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
namespace {

// Value sizes as the BSON library stores them; an element adds a type byte and the name with
// its NUL, an object its closing byte.
constexpr std::size_t kIntBytes = 4;
constexpr std::size_t kInt64Bytes = 8;
constexpr std::size_t kDoubleBytes = 8;
constexpr std::size_t kBoolBytes = 1;
constexpr std::size_t stringBytes(std::size_t n)
{
    return 4 + n + 1;
}
std::size_t objectBytes(const JsonObject::Data& d)
{
    return static_cast<std::size_t>(d.obj.objsize());
}

// What both builders share. Every limit is checked before the BSON builder is touched: past
// its own limits it throws halfway through an element, and at 16 MiB it would refuse the
// whole object on the snapshot instead of the one field.
struct BuilderState {
    mongo::BSONObjBuilder b;
    int childDepth = 0; // deepest value taken; the object is one level deeper
    std::string error;  // first refusal
    bool isArray = false;

    template <typename Append>
    void add(std::string_view name, std::size_t valueBytes, int valueDepth, Append&& append)
    {
        if (name.find('\0') != std::string_view::npos)
            return refuse(name, "name holds a NUL byte");
        if (valueDepth >= JsonParam::kMaxDepth)
            return refuse(name, "nesting deeper than " + std::to_string(JsonParam::kMaxDepth));
        const std::size_t total =
            static_cast<std::size_t>(b.len()) + 1 + name.size() + 1 + valueBytes + 1;
        if (total > static_cast<std::size_t>(mongo::BSONObjMaxUserSize))
            return refuse(name, "object would exceed 16 MiB (" + std::to_string(total) + " bytes)");
        try {
            append();
            childDepth = std::max(childDepth, valueDepth);
        } catch (const std::exception& e) {
            refuse(name, e.what());
        }
    }

    void refuse(std::string_view name, const std::string& why)
    {
        std::string what = isArray ? "element " + std::string(name)
                                   : "field \"" + std::string(name.substr(0, 40))
                                         + (name.size() > 40 ? "...\"" : "\"");
        what += ": " + why;
        TT_LOG_ERROR("[JsonParam] %1% refused", what);
        if (error.empty())
            error = std::move(what);
    }

    // a refusal inside a nested builder is a loss in this one too
    void inherit(std::string_view name, const std::string& nested)
    {
        if (!nested.empty() && error.empty())
            error =
                (isArray ? "element " : "field ") + std::string(name.substr(0, 40)) + ": " + nested;
    }

    DataPtr snapshot()
    {
        try {
            return makeData(b.asTempObj(), 1 + childDepth);
        } catch (const std::exception& e) {
            TT_LOG_ERROR("[JsonParam] build failed: %1%", e.what());
        }
        return emptyData();
    }
};

} // namespace

struct JsonBuilder::Impl : BuilderState {};

JsonBuilder::JsonBuilder() : d(new Impl) {}
JsonBuilder::~JsonBuilder() = default;

JsonBuilder& JsonBuilder::appendInt(const std::string& name, int value)
{
    d->add(name, kIntBytes, 0, [&] { d->b.append(name, value); });
    return *this;
}
// An int64 that fits an int is stored as an int: JSON text cannot tell them apart, and the
// parser reads such a number back as an int.
JsonBuilder& JsonBuilder::appendInt64(const std::string& name, std::int64_t value)
{
    if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
        return appendInt(name, static_cast<int>(value));
    d->add(name, kInt64Bytes, 0, [&] { d->b.append(name, static_cast<long long>(value)); });
    return *this;
}
JsonBuilder& JsonBuilder::appendDouble(const std::string& name, double value)
{
    d->add(name, kDoubleBytes, 0, [&] { d->b.append(name, value); });
    return *this;
}
JsonBuilder& JsonBuilder::appendBool(const std::string& name, bool value)
{
    d->add(name, kBoolBytes, 0, [&] { d->b.appendBool(name, value); });
    return *this;
}
JsonBuilder& JsonBuilder::appendNull(const std::string& name)
{
    d->add(name, 0, 0, [&] { d->b.appendNull(name); });
    return *this;
}
JsonBuilder& JsonBuilder::appendString(const std::string& name, const std::string& value)
{
    d->add(name, stringBytes(value.size()), 0,
           [&] { d->b.append(name, mongo::StringData(value)); });
    return *this;
}
JsonBuilder& JsonBuilder::appendString(const std::string& name, const char* value)
{
    const mongo::StringData text(value ? value : "");
    d->add(name, stringBytes(text.size()), 0, [&] { d->b.append(name, text); });
    return *this;
}
JsonBuilder& JsonBuilder::appendString(const std::string& name, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    const mongo::StringData text(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    d->add(name, stringBytes(text.size()), 0, [&] { d->b.append(name, text); });
    return *this;
}
JsonBuilder& JsonBuilder::appendObject(const std::string& name, const JsonObject& value)
{
    d->add(name, objectBytes(*value.d), value.d->depth(), [&] { d->b.append(name, value.d->obj); });
    return *this;
}
JsonBuilder& JsonBuilder::appendArray(const std::string& name, const JsonArray& value)
{
    d->add(name, objectBytes(*value.d), value.d->depth(),
           [&] { d->b.appendArray(name, value.d->obj); });
    return *this;
}
JsonBuilder& JsonBuilder::appendArray(const std::string& name, const JsonArrayBuilder& value)
{
    d->inherit(name, value.error());
    return appendArray(name, value.array());
}
JsonBuilder& JsonBuilder::appendStringArray(const std::string& name, const QStringList& values)
{
    JsonArrayBuilder a;
    for (const QString& v : values)
        a.appendString(v);
    return appendArray(name, a);
}

bool JsonBuilder::ok() const
{
    return d->error.empty();
}
std::string JsonBuilder::error() const
{
    return d->error;
}

JsonObject JsonBuilder::obj() const
{
    return JsonObject(d->snapshot());
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
// an array is an object keyed "0", "1", ...
struct JsonArrayBuilder::Impl : BuilderState {
    Impl() { isArray = true; }
    int n = 0;
    char key[16];
    std::string_view next()
    {
        const int len = std::snprintf(key, sizeof key, "%d", n);
        return std::string_view(key, static_cast<std::size_t>(len));
    }
    template <typename Append>
    void push(std::size_t valueBytes, int valueDepth, Append&& append)
    {
        const int before = b.len();
        add(next(), valueBytes, valueDepth, append);
        if (b.len() != before)
            ++n;
    }
};

JsonArrayBuilder::JsonArrayBuilder() : d(new Impl) {}
JsonArrayBuilder::~JsonArrayBuilder() = default;

JsonArrayBuilder& JsonArrayBuilder::appendInt(int value)
{
    d->push(kIntBytes, 0, [&] { d->b.append(d->key, value); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendInt64(std::int64_t value)
{
    if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
        return appendInt(static_cast<int>(value));
    d->push(kInt64Bytes, 0, [&] { d->b.append(d->key, static_cast<long long>(value)); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendDouble(double value)
{
    d->push(kDoubleBytes, 0, [&] { d->b.append(d->key, value); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendBool(bool value)
{
    d->push(kBoolBytes, 0, [&] { d->b.appendBool(d->key, value); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendNull()
{
    d->push(0, 0, [&] { d->b.appendNull(d->key); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendString(const std::string& value)
{
    d->push(stringBytes(value.size()), 0, [&] { d->b.append(d->key, mongo::StringData(value)); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendString(const char* value)
{
    const mongo::StringData text(value ? value : "");
    d->push(stringBytes(text.size()), 0, [&] { d->b.append(d->key, text); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendString(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    const mongo::StringData text(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    d->push(stringBytes(text.size()), 0, [&] { d->b.append(d->key, text); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendObject(const JsonObject& value)
{
    d->push(objectBytes(*value.d), value.d->depth(), [&] { d->b.append(d->key, value.d->obj); });
    return *this;
}
JsonArrayBuilder& JsonArrayBuilder::appendArray(const JsonArray& value)
{
    d->push(objectBytes(*value.d), value.d->depth(),
            [&] { d->b.appendArray(d->key, value.d->obj); });
    return *this;
}

int JsonArrayBuilder::size() const
{
    return d->n;
}
bool JsonArrayBuilder::ok() const
{
    return d->error.empty();
}
std::string JsonArrayBuilder::error() const
{
    return d->error;
}

JsonArray JsonArrayBuilder::array() const
{
    return JsonArray(d->snapshot());
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

    if (const std::size_t at = numberIntOutOfRange(data, size); at != std::string::npos) {
        r.error = "NumberInt out of the int range at offset " + std::to_string(at);
        return r;
    }

    std::string text(data, size); // the parser wants a terminated string
    decodeSurrogatePairs(text);
    try {
        int used = 0;
        mongo::BSONObj obj = mongo::fromjson(text.c_str(), &used);
        if (used < 0 || static_cast<std::size_t>(used) > text.size()) {
            r.error = "parser overran the input";
            return r;
        }
        for (std::size_t i = static_cast<std::size_t>(used); i < text.size(); ++i) {
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
        // Timestamp(1,2) is a scalar here and two levels in the text it is written as
        const int depth = writtenDepth(obj, kMaxDepth);
        if (depth > kMaxDepth) {
            r.error = "nesting deeper than " + std::to_string(kMaxDepth) + " when written";
            return r;
        }
        r.object = JsonObject(makeData(obj, depth));
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
