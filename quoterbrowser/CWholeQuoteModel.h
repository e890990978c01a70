#pragma once
// Fetches the latest quotes of many instruments at once, then keeps them live: reads the
// host's quote cache on a pool thread, announces the result on the GUI thread, then opens
// one push subscription per market. Pushes are queued for the clients' refresh timers
// (or delivered at once when the host does not ask for queueing).
//
// The model lives on the thread that created it. A host thread may drop its last
// reference (a push callback holds one while it runs); the model is then destroyed on
// its own thread, where its posted events are delivered.

#include "host/data/CWorkerMailbox.h"
#include "host/data/PushQuoteParam.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <boost/enable_shared_from_this.hpp>
#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace TC {

// What the model calls for each delivery: codes and markets are parallel to the quotes;
// `last` marks the final delivery of one drain (always true for direct deliveries).
class IWholeQuoteClient {
public:
    virtual ~IWholeQuoteClient() = default;
    virtual void formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                                      const QVector<QString>& markets,
                                      const std::vector<quoter::QuoterAllDataPtr>& quotes,
                                      bool last) = 0;
};

class CWholeQuoteModel : public QObject, public boost::enable_shared_from_this<CWholeQuoteModel> {
    Q_OBJECT
public:
    using DataCallback = boost::function<void(dorn::PushQuoteParam&, const QVector<QString>&,
                                              const QVector<QString>&,
                                              const std::vector<quoter::QuoterAllDataPtr>&, bool)>;
    using CodeMap = std::map<std::string, std::vector<std::string>>;
    using QuoteMap = std::map<std::string, std::vector<quoter::QuoterAllDataPtr>>;
    // Reads the quote cache for the markets of the parameters (runs on a pool thread).
    using CacheReader =
        std::function<void(const std::vector<dorn::PushQuoteParam>&, const CodeMap&, QuoteMap&)>;

    // The only way to make a model: the returned pointer's last release destroys the
    // model on its own thread, whichever thread lets it go.
    static boost::shared_ptr<CWholeQuoteModel> create();
    ~CWholeQuoteModel() override;

    // Clients are not owned. Setting null (or another client) waits for a direct
    // delivery in flight, so an unregistered client is never called afterwards.
    void setBrowseClient(IWholeQuoteClient* client);
    void setQuoterClient(IWholeQuoteClient* client);
    void setDataCallback(const DataCallback& callback);
    // Replaces the host's quote cache as the source of the cache read (the default reads
    // CFormulaManager); takes effect from the next request.
    void setCacheReader(const CacheReader& reader);

    // Reads the cache, then subscribes. A read superseded by a newer request lays nothing
    // and announces nothing; it only subscribes the current request.
    void requestWholeQuote(const CodeMap& codesByMarket);
    // Cancels every subscription; a cache read still running subscribes nothing.
    void unrequestAll();
    // Hands the queued deliveries to the clients, in order; "last" on the final one. A
    // queue left undrained is coalesced to the latest quote per instrument.
    void flushQueued();

    // The push entry of the host (any thread).
    void onPushQuote(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                     const QVector<QString>& markets,
                     const std::vector<quoter::QuoterAllDataPtr>& quotes);

    // The result of the last cache read, copied under the cache lock: the codes that
    // returned quotes, and the quotes, per market.
    void cacheResult(std::map<std::string, QVector<QString>>& codes, QuoteMap& quotes) const;
    std::map<std::string, QVector<QString>> codeMap() const;
    int subscriptionCount() const;
    int queuedCount() const;
    // Quotes held by the queued deliveries.
    int queuedQuoteCount() const;

Q_SIGNALS:
    void sigHistoryCallBack();
    void sigSubWholeQuoteFinish();

public Q_SLOTS:
    void slotSubWholeQuoteFinish();

private:
    CWholeQuoteModel();
    static void release(CWholeQuoteModel* model);
    void cancelSubscriptions();
    void subscribeRequested();
    void applyCacheRead(quint64 generation, QuoteMap quotes,
                        std::map<std::string, QVector<QString>> codes);
    void coalesceQueue();

    struct Delivery {
        dorn::PushQuoteParam param;
        QVector<QString> codes;
        QVector<QString> markets;
        std::vector<quoter::QuoterAllDataPtr> quotes;
    };

    std::map<std::string, int> m_subscriptions;        // maps market to host subscription id
    CodeMap m_requestMap;                              // what was last requested
    std::map<std::string, QVector<QString>> m_codeMap; // codes the cache returned, per market
    QuoteMap m_cacheResult;
    bool m_bCancelled = false;  // an explicit unrequestAll since the last request
    bool m_bAnnounce = false;   // the current request's read is laid, not yet announced
    bool m_bSubscribed = false; // m_subscriptions hold the current request's markets
    CacheReader m_cacheReader;

    mutable std::recursive_mutex m_cacheMutex;
    mutable std::recursive_mutex m_queueMutex;
    std::vector<Delivery> m_queue;
    size_t m_nQueuedQuotes = 0;
    size_t m_nCoalesceAt = 0; // queued quotes beyond which the queue is coalesced

    std::recursive_mutex m_clientMutex; // held while clients are called from a host thread
    IWholeQuoteClient* m_pBrowseClient = nullptr;
    IWholeQuoteClient* m_pQuoterClient = nullptr;
    DataCallback m_dataCallback;

    CWorkerMailboxPtr m_mailbox;
};

typedef boost::shared_ptr<CWholeQuoteModel> CWholeQuoteModelPtr;

} // namespace TC
