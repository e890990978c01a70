#pragma once
// The host's quote cache, push feed subscriptions, formula evaluation, history fetches
// and command sink. A process-wide singleton; every operation is safe from any thread
// and none throws.

#include "host/data/FormulaTypes.h"
#include "host/data/PushQuoteParam.h"
#include "host/data/Quote.h"

#include <QObject>
#include <QStringList>
#include <QVector>
#include <boost/function.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace TC {

class CFormulaManagerPrivate;

// One command handed to the host (basket orders, sync, prompts, custom fields).
struct CommandRecord {
    QString command;  // "sendBasketQuickOrder", "sendUpdateBasket", "synchroStockListData",
                      // "deleCustomIndex", "promptRunResult", "updateCustomField"
    QStringList args; // keys, codes or names the command carries
    int kind = 0;     // order kind (18 buy, 19 sell) where there is one
};

class CFormulaManager final : public QObject {
    Q_OBJECT
public:
    // Deliveries: the subscription's parameter (with `queued` set for option 1), the
    // codes and their markets, and the snapshots, all three parallel.
    using PushCallback = boost::function<void(dorn::PushQuoteParam&, const QVector<QString>& codes,
                                              const QVector<QString>& markets,
                                              const std::vector<quoter::QuoterAllDataPtr>& quotes)>;
    // One call per evaluated request: its index in the batch, the batch size, the results.
    using FormulaCallback =
        boost::function<void(int index, int count, const se::RPCFormulaMetaResultPtr& meta,
                             const se::RPCFormulaResultPtr& result)>;
    // Records by stock key.
    using FetchCallback =
        boost::function<void(std::map<std::string, std::vector<quoter::QuoterBasePtr>>&)>;
    using IndexIdCallback = boost::function<void(long long id)>;
    using IndexDataCallback =
        boost::function<void(const std::map<std::string, quoter::QuoterBasePtr>&)>;

    // Third argument of requestPushQuoter; any value but ePushAll means ePushChanged.
    enum EPushMode { ePushChanged = 1, ePushAll = 2 };

    static CFormulaManager* instance();

    // --- quote cache -------------------------------------------------------------------
    // For every parameter's market the snapshots of the codes listed for it, parallel to
    // those codes; an unknown code gives a null entry. Markets without a parameter are
    // not read.
    void
    subPushQuoterFromCache(const std::vector<dorn::PushQuoteParam>& params,
                           const std::map<std::string, std::vector<std::string>>& codesByMarket,
                           std::map<std::string, std::vector<quoter::QuoterAllDataPtr>>& out);
    std::vector<quoter::QuoterAllDataPtr>
    subPushQuoterFromCache(const dorn::PushQuoteParam& param,
                           const std::vector<std::string>& codes);
    std::vector<quoter::QuoterAllDataPtr> subPushQuoterFromCache(const dorn::PushQuoteParam& param,
                                                                 const QVector<QString>& codes);
    quoter::QuoterAllDataPtr lastQuote(const std::string& market, const std::string& code) const;

    // True when a snapshot time (seconds) belongs to the market's current trading day.
    bool isValidData(int64_t timeSeconds, const QString& market) const;
    bool isValidData(int64_t timeSeconds, const std::string& market) const;

    // --- push subscriptions ------------------------------------------------------------
    // Deliveries come batched per market on the feed thread (or on the thread that fires
    // a test push). ePushChanged delivers the instruments updated since the last batch,
    // ePushAll the whole market. Returns the id, > 0; -1 for an empty market or callback.
    int requestPushQuoter(const dorn::PushQuoteParam& param, PushCallback callback,
                          int mode = ePushChanged);
    // Once this returns no callback of the id starts. Called from inside a callback it
    // returns at once (the running callback finishes normally); from another thread it
    // waits for a running callback of the id to finish.
    void unrequestPushQuoter(int id, const dorn::PushQuoteParam& param);
    int pushSubscriptionCount() const;

    // --- formulas ------------------------------------------------------------------------
    // Evaluates the batch in order on the calling thread; one callback per request.
    // Checks the stop flag before each request and returns when it is set.
    void requestFormulasSync2(const QVector<CFormulaParam>& batch, FormulaCallback callback,
                              const se::StopFlag& stopFlag);
    // Evaluates one request; unknown formulas or instruments give an error result.
    se::RPCFormulaResultPtr evaluate(const CFormulaParam& param,
                                     se::RPCFormulaMetaResultPtr* meta = nullptr);
    void unrequestFormulas(const QStringList& ids);

    // --- live index values ------------------------------------------------------------
    // The id goes to idCallback before anything else; then the values of the region's
    // keys at its time go to dataCallback, now and after each push batch that touches
    // them while the request lives. Returns the id.
    long long requestIndex(const quoter::TRegionInfo& region, IndexIdCallback idCallback,
                           IndexDataCallback dataCallback);
    void unrequestIndex(long long id);

    // --- history ---------------------------------------------------------------------
    // Blocks; one callback with the records of every code that has some in the interval
    // (by stock key). Bars (KLineData) for quoterType 3001: n-minute periods from the
    // minute history (grouped within each day), whole days, se::kPeriodWeek and
    // se::kPeriodMonth from the daily bars; period 0 or another period gives none.
    // Other quoter types give the snapshots recorded in the interval. An interval that
    // ends before it starts, or lies outside the history, gives an empty map.
    void fetchCacheData(const se::RPCFetchCacheDataParam& param, FetchCallback callback);
    // Blocks; the day's snapshots (QuoterAllData) of each code for a date in seconds:
    // the recorded ones today, one a minute on earlier days with minute history, else
    // one of the stored daily values. A date not today and not in dates gives an empty map.
    void fetchTickData(const se::RPCFetchCacheDataParam& param, int date,
                       const std::vector<int>& dates, FetchCallback callback);

    // --- extended data ---------------------------------------------------------------
    // Values of a named extended data item (CExtendDataManager) by stock key, for the
    // param's keys; keys without a value are left out.
    std::map<std::string, double> getExtendShowData(const se::RPCExtendDataShowParam& param);

    // --- commands --------------------------------------------------------------------
    void sendBasketQuickOrder(const QStringList& keys, int kind);
    void sendUpdateBasket(const QString& basketName);
    void synchroStockListData(const QStringList& codes);
    // Drops the host's computed values of a custom index leaving a user sector.
    void deleCustomIndex(const QString& code);
    void promptRunResult(const std::vector<QString>& keys);
    // Records the change and emits sigUpdateCustomField.
    void updateCustomField(const QString& sector, const QString& field);
    std::vector<CommandRecord> commands() const;
    void clearCommands();

Q_SIGNALS:
    void sigUpdateCustomField(const QString& sector, const QString& field);
    void sigCommandRecorded(const QString& command);

private:
    CFormulaManager();
    ~CFormulaManager() override;
    Q_DISABLE_COPY_MOVE(CFormulaManager)

    friend class CFormulaManagerPrivate;
    std::unique_ptr<CFormulaManagerPrivate> d;
};

// The last snapshot of an instrument by stock key, or by market and code; null if none.
quoter::QuoterAllDataPtr getLastQuoterAllDataPtr(const QString& key);
quoter::QuoterAllDataPtr getLastQuoterAllDataPtr(const QString& market, const QString& code);
quoter::QuoterAllDataPtr getLastQuoterAllDataPtr(const std::string& market,
                                                 const std::string& code);

} // namespace TC
