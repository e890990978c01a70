#pragma once
// The source of market data behind the host's services. The services (stock, formula,
// push and cache reads) ask the installed backend and keep no knowledge of where quotes
// come from: the embedded simulator is one backend, a message-bus client another.
//
//   TC::setMarketBackend(std::make_shared<MyBackend>());   // once at start-up
//
// With no backend installed every service answers empty (no instruments, null quotes,
// no bars, no formulas) and subscriptions fail with -1.
//
// Every member may be called from any thread at the same time; none may throw.

#include "host/data/FormulaTypes.h"
#include "host/data/PushQuoteParam.h"
#include "host/data/Quote.h"

#include <QString>
#include <QVector>
#include <boost/function.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace TC {

struct CUniverseData;

// One formula evaluated over a bar series: per output line one value per bar for number
// lines, one text per bar for text lines; the unused vector of a line stays empty.
struct CFormulaSeries {
    std::vector<std::vector<double>> values;
    std::vector<std::vector<std::string>> texts;
};

class IMarketBackend {
public:
    // One delivery: the subscription's parameter, the codes and their markets and the
    // snapshots, all three parallel.
    using PushCallback = boost::function<void(dorn::PushQuoteParam&, const QVector<QString>& codes,
                                              const QVector<QString>& markets,
                                              const std::vector<quoter::QuoterAllDataPtr>& quotes)>;
    // What a subscription receives per batch: the instruments changed since the last
    // batch, or the whole market.
    enum EPushMode { ePushChanged = 1, ePushAll = 2 };

    virtual ~IMarketBackend();

    // --- catalogue -----------------------------------------------------------------------
    // Fills out with the instruments and their tables for the trading day baseYmd.
    // dataDir is the host's read-only data folder (a backend may ignore it); seed 0 asks
    // for the backend's own default. False with error set when nothing could be loaded.
    virtual bool loadCatalogue(const QString& dataDir, uint64_t seed, int baseYmd,
                               CUniverseData& out, QString& error) = 0;

    // --- snapshots -----------------------------------------------------------------------
    // The last snapshot, or null for an unknown instrument.
    virtual quoter::QuoterAllDataPtr lastQuote(const std::string& market,
                                               const std::string& code) = 0;
    // out[i] is the snapshot of codes[i] or null. Backends override it to read a whole
    // list under one lock.
    virtual void lastQuotes(const std::string& market, const std::vector<std::string>& codes,
                            std::vector<quoter::QuoterAllDataPtr>& out);

    // --- history: empty when the backend keeps none ---------------------------------------
    // Daily bars, oldest first; bar time is the trading day's midnight in ms.
    virtual std::vector<quoter::KLineData> dailyBars(const std::string& market,
                                                     const std::string& code);
    // Today's one-minute bars, oldest first; bar time is the minute's end in ms.
    virtual std::vector<quoter::KLineData> minuteBars(const std::string& market,
                                                      const std::string& code);
    // One-minute bars of one trading day (date: the day's midnight in seconds), oldest
    // first; bar time is the minute's end in ms. Today's agree with minuteBars; earlier
    // days as far back as the backend keeps minutes, empty beyond.
    virtual std::vector<quoter::KLineData> minuteBarsOfDay(const std::string& market,
                                                           const std::string& code, int date);
    // Today's most recent snapshots, oldest first.
    virtual std::vector<quoter::QuoterAllDataPtr> ticks(const std::string& market,
                                                        const std::string& code);

    // --- push delivery -------------------------------------------------------------------
    // Returns an id > 0. Deliveries of one market come one batch at a time on a thread of
    // the backend's choosing.
    virtual int subscribe(const dorn::PushQuoteParam& param, PushCallback callback,
                          EPushMode mode) = 0;
    // False for an unknown id. Once it returns no callback of the id starts; from inside
    // that id's own callback it returns at once, otherwise it waits for a running one.
    virtual bool unsubscribe(int id) = 0;
    virtual int subscriptionCount() const = 0;

    // --- formulas: none when the backend evaluates none ------------------------------------
    virtual std::vector<QString> formulaNames();
    // The formula's parameters with defaults and its output lines; null when unknown.
    // Names compare case-insensitively.
    virtual CFormulaDetailPtr formula(const QString& name);
    // Evaluates over every bar; parameters missing from params take their defaults.
    // False for an unknown formula or unusable parameters.
    virtual bool evaluateFormula(const QString& name, const std::map<std::string, double>& params,
                                 const std::vector<quoter::KLineData>& bars, CFormulaSeries& out);
};

using MarketBackendPtr = std::shared_ptr<IMarketBackend>;

// Installs the backend (null uninstalls). The catalogue reloads from it on next use.
// Subscriptions made on a replaced backend stay with it until they are cancelled.
void setMarketBackend(MarketBackendPtr backend);
// The installed backend, or null. A caller keeps the returned pointer for the length of
// one operation, so a replacement never pulls a backend from under a running call.
MarketBackendPtr marketBackend();

} // namespace TC
