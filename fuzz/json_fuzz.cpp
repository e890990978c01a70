// libFuzzer target for the parameter-string guard. Property: whatever parses is written as
// strict JSON (a strict reader takes it) that parses to the same object, except where JSON
// cannot say it: non-finite doubles come back as null and ill-formed UTF-8 as well-formed
// text; and writing that object again gives the same text.
// Any input may be rejected, but nothing may crash, throw or hang.
#include "host/data/JsonParam.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

[[noreturn]] void fail(const char* what, const std::string& a, const std::string& b)
{
    std::fprintf(stderr, "round trip broken: %s\n--- first\n%s\n--- second\n%s\n", what, a.c_str(),
                 b.c_str());
    std::abort();
}

// A recogniser of strict JSON (RFC 8259): the grammar here, the encoding by isUtf8. Qt's own
// reader leaks on duplicate keys, and every leak check slows the fuzzer to a crawl.
class StrictJson {
public:
    explicit StrictJson(const std::string& text) : p(text.data()), end(p + text.size()) {}
    bool accepts() { return value(0) && (skipSpace(), p == end); }

private:
    const char* p;
    const char* end;

    void skipSpace()
    {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
            ++p;
    }
    bool eat(char c)
    {
        skipSpace();
        if (p < end && *p == c) {
            ++p;
            return true;
        }
        return false;
    }
    bool digits()
    {
        const char* start = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        return p > start;
    }
    bool number()
    {
        if (p < end && *p == '-')
            ++p;
        if (p < end && *p == '0')
            ++p;
        else if (!(p < end && *p >= '1' && *p <= '9' && digits()))
            return false;
        if (p < end && *p == '.' && (++p, !digits()))
            return false;
        if (p < end && (*p == 'e' || *p == 'E')) {
            ++p;
            if (p < end && (*p == '+' || *p == '-'))
                ++p;
            return digits();
        }
        return true;
    }
    bool string()
    {
        if (!eat('"'))
            return false;
        while (p < end && *p != '"') {
            const unsigned char c = static_cast<unsigned char>(*p++);
            if (c < 0x20)
                return false;
            if (c != '\\')
                continue;
            if (p == end)
                return false;
            const char e = *p++;
            if (e == 'u') {
                for (int i = 0; i < 4; ++i, ++p) {
                    if (p == end || !std::isxdigit(static_cast<unsigned char>(*p)))
                        return false;
                }
            } else if (!std::strchr("\"\\/bfnrt", e) || e == 0) {
                return false;
            }
        }
        return eat('"');
    }
    bool literal(const char* word)
    {
        const std::size_t n = std::strlen(word);
        if (std::size_t(end - p) < n || std::memcmp(p, word, n) != 0)
            return false;
        p += n;
        return true;
    }
    bool value(int depth)
    {
        if (depth > 1000)
            return false;
        skipSpace();
        if (p == end)
            return false;
        switch (*p) {
        case '{':
            ++p;
            if (eat('}'))
                return true;
            do {
                if (!string() || !eat(':') || !value(depth + 1))
                    return false;
            } while (eat(','));
            return eat('}');
        case '[':
            ++p;
            if (eat(']'))
                return true;
            do {
                if (!value(depth + 1))
                    return false;
            } while (eat(','));
            return eat(']');
        case '"': return string();
        case 't': return literal("true");
        case 'f': return literal("false");
        case 'n': return literal("null");
        default: return number();
        }
    }
};

bool isUtf8(const std::string& s)
{
    // QString decodes ill-formed input with replacement characters, which do not re-encode
    // to the same bytes
    return QString::fromUtf8(s.data(), int(s.size())).toUtf8() == QByteArray::fromStdString(s);
}

// a string read back from the written text: the same when it was UTF-8, else a UTF-8 one
bool sameString(const std::string& before, const std::string& after)
{
    return isUtf8(before) ? before == after : isUtf8(after);
}

bool sameObject(const TC::JsonObject& a, const TC::JsonObject& b);
bool sameArray(const TC::JsonArray& a, const TC::JsonArray& b);

// one field (Container = JsonObject, Key = name) or element (JsonArray, index) of both sides
template <typename Container, typename Key>
bool sameElement(const Container& a, const Container& b, const Key& key)
{
    const TC::JsonType ta = a.type(key), tb = b.type(key);
    switch (ta) {
    case TC::JsonType::Double: {
        const double da = a.getDouble(key), db = b.getDouble(key);
        if (!std::isfinite(da))
            return tb == TC::JsonType::Null;
        return tb == ta && (da == db || (std::isnan(da) && std::isnan(db)));
    }
    case TC::JsonType::Int:
    case TC::JsonType::Int64: return tb == ta && a.getInt64(key) == b.getInt64(key);
    case TC::JsonType::Bool: return tb == ta && a.getBool(key) == b.getBool(key);
    case TC::JsonType::String: return tb == ta && sameString(a.getString(key), b.getString(key));
    case TC::JsonType::Object: return tb == ta && sameObject(a.getObject(key), b.getObject(key));
    case TC::JsonType::Array: return tb == ta && sameArray(a.getArray(key), b.getArray(key));
    default: return tb == ta; // Null, and types only the library reads: same type
    }
}

// Compares by name where names identify fields: the getters see the first of duplicate
// names only, and names that were not UTF-8 may collide once replaced, so such objects are
// compared on their field count and written form alone.
bool sameObject(const TC::JsonObject& a, const TC::JsonObject& b)
{
    const std::vector<std::string> na = a.fieldNames(), nb = b.fieldNames();
    if (na.size() != nb.size())
        return false;
    for (const std::string& n : na) {
        if (!isUtf8(n))
            return true;
    }
    if (std::set<std::string>(na.begin(), na.end()).size() != na.size())
        return true;
    if (na != nb)
        return false;
    for (const std::string& n : na) {
        if (!sameElement(a, b, n))
            return false;
    }
    return true;
}

bool sameArray(const TC::JsonArray& a, const TC::JsonArray& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (!sameElement(a, b, i))
            return false;
    }
    return true;
}

// touches every getter so that a throwing typed read would surface
void readAll(const TC::JsonObject& o, int depth)
{
    for (const std::string& name : o.fieldNames()) {
        (void)o.type(name);
        (void)o.getInt(name);
        (void)o.getInt64(name);
        (void)o.getDouble(name);
        (void)o.getBool(name);
        (void)o.getString(name);
        (void)o.getQString(name);
        if (depth < 8) {
            readAll(o.getObject(name), depth + 1);
            const TC::JsonArray a = o.getArray(name);
            for (int i = 0; i < a.size(); ++i) {
                (void)a.getInt(i);
                (void)a.getDouble(i);
                (void)a.getString(i);
                readAll(a.getObject(i), depth + 1);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TC::JsonParseResult first =
        TC::JsonParam::parse(reinterpret_cast<const char*>(data), size);
    if (!first.ok()) {
        if (!first.object.isEmpty())
            fail("failure with an object", first.error, first.object.toJson());
        return 0;
    }
    readAll(first.object, 0);
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string written = first.object.toJson();
    if (!StrictJson(written).accepts() || !isUtf8(written))
        fail("not strict JSON", input, written);
    const TC::JsonParseResult second = TC::JsonParam::parse(written);
    if (!second.ok())
        fail(second.error.c_str(), input, written);
    if (!sameObject(first.object, second.object))
        fail("objects differ", written, second.object.toJson());
    const std::string again = second.object.toJson();
    if (again != written)
        fail("texts differ", written, again);
    return 0;
}
