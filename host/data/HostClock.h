#pragma once
// The host's notion of "now" for market time: the wall clock, or a value that tests
// and the demo set and step. Thread-safe; read on every feed tick.

#include <cstdint>

namespace TC {

class HostClock final {
public:
    // Milliseconds since the epoch (UTC).
    static int64_t nowMs();
    static void setNowMs(int64_t ms);
    static void stepMs(int64_t deltaMs);
    static void useWallClock();
    static bool isFixed();

    // Asia/Shanghai is UTC+8 without daylight saving: market dates and times use it.
    static constexpr int64_t kMarketUtcOffsetSec = 8 * 3600;
};

} // namespace TC
