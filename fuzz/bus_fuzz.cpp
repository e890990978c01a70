// libFuzzer target for the quote bus decoders. Property: whatever a frame decoder accepts
// encodes back to the very same bytes (the format has one spelling per value, so a reader
// that accepted a malformed frame shows here); a catalogue that reads, reads again after
// writing (its texts are normalised to valid UTF-8). Anything may be refused; nothing may
// crash, read past the input or allocate what the input cannot hold.
#include "host/data/UniverseData.h"
#include "host/nats/BusCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void expectSame(const char* what, const std::string& again, const uint8_t* data, size_t size)
{
    if (again.size() != size || std::memcmp(again.data(), data, size) != 0) {
        std::fprintf(stderr, "%s: accepted bytes do not encode back the same\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string again;

    ttnats::WireSnapshot s;
    if (ttnats::decodeSnapshot(bytes, size, s) == ttnats::DecodeError::None) {
        ttnats::encodeSnapshot(s, again);
        expectSame("snapshot", again, data, size);
    }
    std::vector<quoter::KLineData> bars;
    if (ttnats::decodeBars(bytes, size, bars) == ttnats::DecodeError::None) {
        ttnats::encodeBars(bars, again);
        expectSame("bars", again, data, size);
    }
    std::vector<quoter::QuoterAllDataPtr> ticks;
    if (ttnats::decodeTicks(bytes, size, ticks) == ttnats::DecodeError::None) {
        ttnats::encodeTicks(ticks, again);
        expectSame("ticks", again, data, size);
    }
    ttnats::WireRequest req;
    if (ttnats::decodeRequest(bytes, size, req) == ttnats::DecodeError::None) {
        ttnats::encodeRequest(req, again);
        expectSame("request", again, data, size);
    }
    uint32_t index = 0, total = 0;
    const char* chunk = nullptr;
    size_t chunkSize = 0;
    if (ttnats::decodeCatalogueChunk(bytes, size, index, total, chunk, chunkSize)
        == ttnats::DecodeError::None) {
        if (index >= total || chunk + chunkSize != bytes + size)
            std::abort();
    }
    // the catalogue blob has no frame header: every input is a candidate
    TC::CUniverseData catalogue;
    if (ttnats::decodeCatalogue(bytes, size, catalogue) == ttnats::DecodeError::None) {
        ttnats::encodeCatalogue(catalogue, again);
        TC::CUniverseData back;
        if (ttnats::decodeCatalogue(again.data(), again.size(), back) != ttnats::DecodeError::None
            || back.instruments.size() != catalogue.instruments.size())
            std::abort();
    }
    return 0;
}
