#pragma once
// Records what reaches a log4cxx logger, for tests that check a record was (or was not)
// written: by message prefix or by level.

#include <log4cxx/appenderskeleton.h>
#include <log4cxx/logger.h>

#include <mutex>
#include <string>
#include <vector>

class LogCapture : public log4cxx::AppenderSkeleton {
public:
    void close() override {}
    bool requiresLayout() const override { return false; }
    void append(const log4cxx::spi::LoggingEventPtr& e, log4cxx::helpers::Pool&) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_records.push_back({e->getLevel()->toInt(), e->getMessage()});
    }
    // Records whose message starts with prefix.
    int count(const std::string& prefix)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int n = 0;
        for (const Record& r : m_records)
            n += r.text.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        return n;
    }
    // Records of a level.
    int count(const log4cxx::LevelPtr& level)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int n = 0;
        for (const Record& r : m_records)
            n += r.level == level->toInt() ? 1 : 0;
        return n;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_records.clear();
    }

private:
    struct Record {
        int level;
        std::string text;
    };
    std::mutex m_mutex;
    std::vector<Record> m_records;
};
