#pragma once
// The instrument catalogue as a market backend hands it to the stock manager: the
// instruments with the tables the sector tree, the calendar and the trade-time service
// are built from. Plain records; read-only once published.

#include "host/data/InstrumentDetail.h"
#include "host/data/SectorStock.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <vector>

namespace TC {

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

} // namespace TC
