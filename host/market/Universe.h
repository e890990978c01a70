#pragma once
// The embedded market's instrument universe: a curated data file expanded to full
// market scale by a seeded generator. Built once per load; read-only afterwards.

#include "host/data/UniverseData.h"

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace TC {

// A data file fault; the message names the file and line.
class CDataFileError : public std::runtime_error {
public:
    CDataFileError(const QString& file, int line, const QString& what);
    const QString& file() const { return m_file; }
    int line() const { return m_line; }

private:
    QString m_file;
    int m_line;
};

class CUniverse final {
public:
    static constexpr uint64_t kDefaultSeed = 20240601;

    // Reads "<dataDir>/market/instruments.txt" and "<dataDir>/market/calendar.txt",
    // then generates the rest for the trading day baseYmd. Throws CDataFileError.
    static void load(const QString& dataDir, uint64_t seed, int baseYmd, CUniverseData& out);
    // Parses the curated files only (no generation). Throws CDataFileError.
    static void loadCurated(const QString& dataDir, CUniverseData& out);
    static void generate(uint64_t seed, int baseYmd, CUniverseData& data);
};

} // namespace TC
