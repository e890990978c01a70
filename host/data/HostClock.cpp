#include "host/data/HostClock.h"

#include <atomic>
#include <chrono>

namespace TC {

namespace {
std::atomic<bool> s_fixed{false};
std::atomic<int64_t> s_nowMs{0};

int64_t wallMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}
} // namespace

int64_t HostClock::nowMs()
{
    return s_fixed.load(std::memory_order_acquire) ? s_nowMs.load(std::memory_order_acquire)
                                                   : wallMs();
}

void HostClock::setNowMs(int64_t ms)
{
    s_nowMs.store(ms, std::memory_order_release);
    s_fixed.store(true, std::memory_order_release);
}

void HostClock::stepMs(int64_t deltaMs)
{
    if (!s_fixed.load(std::memory_order_acquire))
        setNowMs(wallMs());
    s_nowMs.fetch_add(deltaMs, std::memory_order_acq_rel);
}

void HostClock::useWallClock()
{
    s_fixed.store(false, std::memory_order_release);
}

bool HostClock::isFixed()
{
    return s_fixed.load(std::memory_order_acquire);
}

} // namespace TC
