// libFuzzer targets for the readers of the browse table's side files: the value file
// (TT_FUZZ_VALUE_FILE) and the field-list file (otherwise). Property: what a reader takes
// from any input is written and read back to the same content (values to the 4 decimals
// they are written with), and nothing crashes, throws or hangs.
#include "browse/BrowseParamFormat.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace TC::browseparam;

namespace {

[[noreturn]] void fail(const char* what, const std::string& written)
{
    std::fprintf(stderr, "round trip broken: %s\n--- written\n%s\n", what, written.c_str());
    std::abort();
}

// Reads data into first, writes first and reads that back into second; the text written.
template <class Content, class Read, class Write>
std::string readWriteRead(const char* data, std::size_t size, Read read, Write write,
                          Content& first, Content& second)
{
    read(data, size, first);
    const std::string written = write(first);
    read(written.data(), written.size(), second);
    return written;
}

#ifdef TT_FUZZ_VALUE_FILE
void check(const char* data, std::size_t size)
{
    ValueCache first, second;
    const std::string written =
        readWriteRead(data, size, readValueFile, writeValueFile, first, second);
    if (first.keys() != second.keys())
        fail("first keys", written);
    for (auto k = first.cbegin(); k != first.cend(); ++k) {
        const auto& titles = second[k.key()];
        if (k->keys() != titles.keys())
            fail("titles", written);
        for (auto t = k->cbegin(); t != k->cend(); ++t) {
            const auto& rows = titles[t.key()];
            if (t->keys() != rows.keys())
                fail("row keys", written);
            for (auto r = t->cbegin(); r != t->cend(); ++r) {
                const double a = r.value(), b = rows.value(r.key());
                if (std::fabs(a - b) > 0.00005 + std::fabs(a) * 1e-12)
                    fail("values", written);
            }
        }
    }
}
#else
void check(const char* data, std::size_t size)
{
    FieldLists first, second;
    const std::string written =
        readWriteRead(data, size, readFieldList, writeFieldList, first, second);
    if (first != second)
        fail("field lists", written);
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    check(reinterpret_cast<const char*>(data), size);
    return 0;
}
