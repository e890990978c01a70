// libFuzzer target for the parameter-string guard. Property: whatever parses writes back to
// text that parses to the same object, and writing that object again gives the same text.
// Any input may be rejected, but nothing may crash, throw or hang.
#include "host/data/JsonParam.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const char* what, const std::string& a, const std::string& b)
{
    std::fprintf(stderr, "round trip broken: %s\n--- first\n%s\n--- second\n%s\n", what, a.c_str(),
                 b.c_str());
    std::abort();
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
    const std::string written = first.object.toJson();
    const TC::JsonParseResult second = TC::JsonParam::parse(written);
    if (!second.ok())
        fail(second.error.c_str(), std::string(reinterpret_cast<const char*>(data), size), written);
    if (first.object != second.object)
        fail("objects differ", written, second.object.toJson());
    const std::string again = second.object.toJson();
    if (again != written)
        fail("texts differ", written, again);
    return 0;
}
