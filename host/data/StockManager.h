#pragma once
// Instrument catalogue and trade calendar. The universe loads on first use from the
// installed market backend (TC::setMarketBackend), which reads the host's data folder
// (TC::getResourceDir) if it needs files; a load failure or a missing backend leaves
// an empty catalogue and loadError() says why.
//
// Dates: a trading day is its midnight in Asia/Shanghai (UTC+8) as int seconds since
// the epoch. "Now" is TC::HostClock.

#include "host/data/InstrumentDetail.h"
#include "host/data/SectorStock.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <memory>
#include <vector>

namespace TC {

struct CUniverseData;

class CStockManager final : public QObject {
    Q_OBJECT
public:
    static CStockManager* instance();

    // Loads the universe if needed; false when the data files are missing or bad.
    // Contract months and listing dates follow the HostClock day of the first load:
    // tests wanting another day set the clock first or use loadFromDir.
    bool ensureLoaded();
    QString loadError() const;

    // Hash lookups; null for unknown keys.
    ttservice::CInstrumentDetailPtr getInstrumentDetail(const QString& key);
    ttservice::CInstrumentDetailPtr getInstrumentDetail(const QString& market, const QString& code);
    // A bare code that names exactly one instrument (SH before SZ for clashes), or a key.
    ttservice::CInstrumentDetailPtr findByCode(const QString& keyOrCode);
    const std::vector<ttservice::CInstrumentDetailPtr>& allInstruments();
    QStringList markets();
    QList<ttservice::CInstrumentDetailPtr> instrumentsOfMarket(const QString& market);
    // The loaded universe with its generator tables (industries, themes, boards);
    // null when loading failed. Valid until the next universe reset.
    const CUniverseData* universeData();
    // Constituents of an exchange index (key or code) with weights; empty when none.
    std::vector<se::RPCSectorStock> getSectorStock(const QString& indexKeyOrCode);

    // --- trade calendar ---
    bool isTradeDate(int date);
    // The market's current trading day at HostClock now: today on a trading day,
    // else the last one before; futures markets with night trading move to the next
    // trading day from 21:00 (and keep it through the night after a holiday eve).
    int getLastTradingDay(const QString& market = QStringLiteral("SH"));
    // The trading day |shift| trading days after (shift > 0) or before (< 0) date;
    // shift 0 gives date itself when it trades, else the next trading day.
    int getShiftTradeDate(int date, int shift);
    // Trading days in [from, to], ascending.
    QVector<int> getTradeDateList(int from, int to);
    // The sessions of the market's current trading day as absolute [start, end)
    // milliseconds since the epoch, in order (a night session first for futures).
    QVector<QPair<qint64, qint64>> getOpenTimeByMarket(const QString& market);
    // The same sessions as minutes after midnight; a night session (flagged) counts
    // from the previous trading day's midnight, so its close may pass 24*60.
    struct Session {
        int openMin;
        int closeMin;
        bool night;
    };
    QVector<Session> getSessionMinutes(const QString& market, const QString& code = QString());

    static int dateFromYmd(int y, int m, int d); // midnight UTC+8 seconds; 0 for bad dates
    static int ymdFromDate(int date);            // yyyymmdd
    static int dateOfMs(int64_t ms);             // calendar midnight holding ms

    // --- fixtures ---
    // Replaces the universe (sectors rebuild from it); holidays stay.
    void
    resetUniverseForTest(const std::vector<ttservice::CInstrumentDetailPtr>& list,
                         const QHash<QString, std::vector<se::RPCSectorStock>>& indexMembers = {});
    // Drops any test universe; the next use returns to the data files' universe.
    void restoreDefault();
    // Drops every loaded universe: the next use loads from the installed backend again.
    // setMarketBackend calls it.
    void reloadCatalogue();
    // Loads from an explicit folder (for data-file error tests); false with loadError set.
    // baseYmd 0: today's trading day at HostClock now.
    bool loadFromDir(const QString& dataDir, uint64_t seed = 0, int baseYmd = 0);
    void setHolidaysForTest(const QVector<int>& ymdList);

Q_SIGNALS:
    void sigUniverseReset();

private:
    CStockManager();
    ~CStockManager() override;
    struct Impl;
    std::unique_ptr<Impl> d;
};

class CStockDateHelper final {
public:
    // Trading days from the first date (exclusive) to the second (inclusive); negative
    // when the second is earlier.
    static int getTradeDay(int y1, int m1, int d1, int y2, int m2, int d2);
};

} // namespace TC

namespace ttservice {
// Shares per lot for volume display: 100 for SH/SZ stocks and funds, 10 for bonds,
// 1 for indices and anything unknown.
int getStockTradeUnit(const QString& market, const QString& code);
} // namespace ttservice
