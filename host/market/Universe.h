#pragma once
// The embedded market's instrument universe: a curated data file expanded to full
// market scale by a seeded generator. Built once per load; read-only afterwards.

#include "host/data/InstrumentDetail.h"
#include "host/data/SectorStock.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <stdexcept>
#include <vector>

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

struct CFuturesProduct {
    QString market, product, variety;
    int multiplier = 1;
    double tick = 1.0;
    double basePrice = 0.0;
    int nightCloseMin = 0; // minutes after the night's start at 21:00's midnight; 0 none
    QString months;        // "monthly", "index", "bond"
};

struct COptionSeriesRule {
    QString market;     // option market: "SHO", "SZO", or the futures exchange
    QString underlying; // underlying key, or a product code for futures options
    QString shortName;  // "50ETF", "IO", "豆粕"
    int contractUnit = 1;
    bool american = false;
    double strikeStep = 0.0; // 0: the exchange's ETF strike grid
};

struct CForeignProduct {
    QString market, product, variety;
    int multiplier = 1;
    double tick = 0.01;
    double basePrice = 0.0;
};

struct CIndexRule {
    QString key;
    int count = 0;    // 0: every stock of the universe
    QString universe; // all, SH, SZ, GEM, STAR
    int skip = 0;     // largest stocks left out (500 and 1000 style indices)
};

struct CUniverseData {
    std::vector<ttservice::CInstrumentDetailPtr> instruments;
    // index key -> constituents, weights in percent
    QHash<QString, std::vector<se::RPCSectorStock>> indexMembers;
    QVector<int> holidaysYmd;                 // ascending
    QStringList industries;                   // 申万一级, file order
    QMap<QString, QString> industryIndexCode; // industry -> sector index code (market "SI")
    QStringList conceptNames, regionNames;    // generated theme sectors
    QHash<QString, QStringList> themeMembers; // theme sector name -> stock keys
    QMap<QString, QString> foreignBoards;     // market -> board name, e.g. "纽约商业(COMEX)"
    QStringList foreignBoardOrder;            // markets in board order
    std::vector<CFuturesProduct> products;    // domestic products
    std::vector<COptionSeriesRule> optionRules;
    std::vector<CForeignProduct> foreignProducts;
    std::vector<CIndexRule> indexRules;
    QStringList tBoardUnderlyings; // keys of option underlyings
    uint64_t seed = 0;
    int baseYmd = 0;
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
