#pragma once
// Warnings about dropped bus input, at most one a second per kind: a flood of bad
// messages must not become a flood of log records. Each record says how many of its kind
// were dropped since the previous one.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace ttnats {

class BusWarn final {
public:
    explicit BusWarn(std::string tag) : m_tag(std::move(tag)) {}

    // One dropped item of a kind; logs now when the kind has not logged for a second.
    // The detail texts are copied only when a record is written.
    void note(const char* kind, std::string_view detail, std::string_view detail2 = {});
    // Logs the kinds whose count grew without a record and whose second is up.
    void flush();
    // Records written so far (tests check the rate limit).
    uint64_t records() const;

private:
    struct Kind {
        std::chrono::steady_clock::time_point last;
        uint64_t silent = 0; // dropped since the last record
        std::string detail;
        bool logged = false;
    };
    void write(const std::string& kind, Kind& k);

    std::string m_tag;
    mutable std::mutex m_mutex;
    std::map<std::string, Kind, std::less<>> m_kinds;
    uint64_t m_records = 0;
};

} // namespace ttnats
