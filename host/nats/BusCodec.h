#pragma once
// The wire format of the quote bus: compact, versioned binary frames. Every frame starts
// with the magic "TQ", a version byte and a kind byte; a reader drops (and reports) any
// frame it cannot read in full, of another version or of another kind. Numbers are
// little-endian; integers are zigzag varints, prices raw IEEE doubles, and a snapshot
// carries only the fields that are not zero (a presence mask says which).
//
// Decoders never trust a length or count: every read is checked against the bytes left.

#include "host/data/Quote.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TC {
struct CUniverseData;
}

namespace ttnats {

constexpr uint8_t kWireVersion = 1;

enum class FrameKind : uint8_t {
    Snapshot = 1,  // one instrument's snapshot with its sequence number
    Bars = 2,      // a bar series
    Ticks = 3,     // a snapshot series
    Catalogue = 4, // one chunk of the encoded catalogue
    Request = 5,   // a history or catalogue request
    Error = 6,     // a request that could not be served
};

// Why a frame was not read; the counters of the backend are indexed by it.
enum class DecodeError : int {
    None = 0,
    Truncated,  // too short, or a length runs past the end
    BadMagic,   // not a frame of this bus
    BadVersion, // a version this reader does not know
    WrongKind,  // a frame of another kind than asked for
    Malformed,  // a field out of range (count, text, trailing bytes)
};
const char* decodeErrorName(DecodeError e);

// A snapshot as it travels: the publisher's run (its start time) and the instrument's
// sequence number within that run order the snapshots of one instrument.
struct WireSnapshot {
    uint64_t epoch = 0;
    uint64_t seq = 0;
    std::string market;
    std::string code;
    quoter::QuoterAllData quote;
};

// True when (epoch, seq) comes after (lastEpoch, lastSeq): a newer run, or a later
// snapshot of the same run.
inline bool isNewer(uint64_t epoch, uint64_t seq, uint64_t lastEpoch, uint64_t lastSeq)
{
    return epoch != lastEpoch ? epoch > lastEpoch : seq > lastSeq;
}

enum class RequestOp : uint8_t {
    Catalogue = 1,       // index: the chunk wanted
    DailyBars = 2,       // market, code
    MinuteBars = 3,      // market, code
    MinuteBarsOfDay = 4, // market, code, date (the day's midnight in seconds)
    Ticks = 5,           // market, code
};

struct WireRequest {
    RequestOp op = RequestOp::Catalogue;
    std::string market;
    std::string code;
    int64_t arg = 0; // chunk index or date
};

// Encoders append to out (cleared first), so a caller that reuses its buffer allocates
// nothing once the buffer has grown.
void encodeSnapshot(const WireSnapshot& s, std::string& out);
void encodeSnapshot(uint64_t epoch, uint64_t seq, const std::string& market,
                    const std::string& code, const quoter::QuoterAllData& q, std::string& out);
void encodeBars(const std::vector<quoter::KLineData>& bars, std::string& out);
void encodeTicks(const std::vector<quoter::QuoterAllDataPtr>& ticks, std::string& out);
void encodeRequest(const WireRequest& r, std::string& out);
void encodeError(const std::string& message, std::string& out);
// The whole catalogue as one blob, cut by the publisher into catalogue chunks.
void encodeCatalogue(const TC::CUniverseData& data, std::string& out);
void encodeCatalogueChunk(uint32_t index, uint32_t total, const char* data, size_t size,
                          std::string& out);

DecodeError decodeSnapshot(const char* data, size_t size, WireSnapshot& out);
DecodeError decodeBars(const char* data, size_t size, std::vector<quoter::KLineData>& out);
DecodeError decodeTicks(const char* data, size_t size, std::vector<quoter::QuoterAllDataPtr>& out);
DecodeError decodeRequest(const char* data, size_t size, WireRequest& out);
DecodeError decodeError(const char* data, size_t size, std::string& message);
DecodeError decodeCatalogue(const char* data, size_t size, TC::CUniverseData& out);
// chunk points into data
DecodeError decodeCatalogueChunk(const char* data, size_t size, uint32_t& index, uint32_t& total,
                                 const char*& chunk, size_t& chunkSize);
// The kind of a frame whose header reads, else the header's error.
DecodeError peekKind(const char* data, size_t size, FrameKind& kind);

} // namespace ttnats
