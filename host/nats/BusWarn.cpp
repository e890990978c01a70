#include "host/nats/BusWarn.h"

#include "host/data/Log.h"

namespace ttnats {

namespace {
constexpr std::chrono::seconds kPeriod(1);
}

void BusWarn::write(const std::string& kind, Kind& k)
{
    TT_LOG_WARN("[%1%] %2%: %3% (%4% since the last warning)", m_tag, kind, k.detail, k.silent);
    k.silent = 0;
    k.last = std::chrono::steady_clock::now();
    k.logged = true;
    ++m_records;
}

void BusWarn::note(const char* kind, std::string_view detail, std::string_view detail2)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_kinds.find(std::string_view(kind));
    if (it == m_kinds.end())
        it = m_kinds.emplace(kind, Kind()).first;
    Kind& k = it->second;
    ++k.silent;
    const auto now = std::chrono::steady_clock::now();
    if (k.logged && now - k.last < kPeriod)
        return;
    k.detail.assign(detail.data(), detail.size());
    if (!detail2.empty()) {
        k.detail.push_back('.');
        k.detail.append(detail2.data(), detail2.size());
    }
    write(it->first, k);
}

void BusWarn::flush()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = std::chrono::steady_clock::now();
    for (auto& entry : m_kinds) {
        if (entry.second.silent > 0 && now - entry.second.last >= kPeriod)
            write(entry.first, entry.second);
    }
}

uint64_t BusWarn::records() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
}

} // namespace ttnats
