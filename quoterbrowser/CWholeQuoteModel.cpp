#include "quoterbrowser/CWholeQuoteModel.h"

#include "host/data/FormulaManager.h"
#include "host/data/Log.h"

#include <QCoreApplication>
#include <QHash>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include <boost/weak_ptr.hpp>

namespace TC {

namespace {
// Asks the host to mark deliveries for queueing.
constexpr int kQueuedOption = 1;
// Deliveries of the instruments changed since the last batch.
constexpr int kPushMode = CFormulaManager::ePushChanged;
// Queued quotes an undrained queue may hold before it is coalesced; after coalescing the
// bound doubles from what is left, so coalescing costs amortised constant time per quote.
constexpr size_t kCoalesceFloor = 1 << 16;
} // namespace

boost::shared_ptr<CWholeQuoteModel> CWholeQuoteModel::create()
{
    return boost::shared_ptr<CWholeQuoteModel>(new CWholeQuoteModel(), &CWholeQuoteModel::release);
}

// A QObject must die on its own thread: the GUI thread may be delivering a posted event
// (a mailbox call, a queued signal) to it at this very moment.
void CWholeQuoteModel::release(CWholeQuoteModel* model)
{
    QThread* home = model->thread();
    const bool homeGone = !QCoreApplication::instance() || QCoreApplication::closingDown() || !home
                          || home->isFinished();
    if (QThread::currentThread() == home || homeGone) {
        // with its thread's event loop gone nothing can be delivered to it any more
        delete model;
        return;
    }
    model->deleteLater();
}

CWholeQuoteModel::CWholeQuoteModel()
    : m_nCoalesceAt(kCoalesceFloor), m_mailbox(CWorkerMailbox::create(this))
{
    connect(this, SIGNAL(sigSubWholeQuoteFinish()), this, SLOT(slotSubWholeQuoteFinish()),
            Qt::AutoConnection);
}

CWholeQuoteModel::~CWholeQuoteModel()
{
    m_mailbox->close();
    cancelSubscriptions();
}

void CWholeQuoteModel::setBrowseClient(IWholeQuoteClient* client)
{
    std::lock_guard<std::recursive_mutex> lock(m_clientMutex);
    m_pBrowseClient = client;
}

void CWholeQuoteModel::setQuoterClient(IWholeQuoteClient* client)
{
    std::lock_guard<std::recursive_mutex> lock(m_clientMutex);
    m_pQuoterClient = client;
}

void CWholeQuoteModel::setDataCallback(const DataCallback& callback)
{
    std::lock_guard<std::recursive_mutex> lock(m_clientMutex);
    m_dataCallback = callback;
}

void CWholeQuoteModel::setCacheReader(const CacheReader& reader)
{
    m_cacheReader = reader;
}

void CWholeQuoteModel::requestWholeQuote(const CodeMap& codesByMarket)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_cacheMutex);
        m_cacheResult.clear();
        m_codeMap.clear();
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_queueMutex);
        m_queue.clear();
        m_nQueuedQuotes = 0;
        m_nCoalesceAt = kCoalesceFloor;
    }
    cancelSubscriptions();
    m_bCancelled = false;
    m_bAnnounce = false;
    m_requestMap = codesByMarket;

    const quint64 generation = m_mailbox->nextGeneration();
    CWorkerMailboxPtr mailbox = m_mailbox;
    CacheReader reader = m_cacheReader;
    // The pool thread holds the mailbox and a weak reference, never the model: the
    // owner alone decides when the model goes.
    boost::weak_ptr<CWholeQuoteModel> weak = weak_from_this();
    QtConcurrent::run([mailbox, generation, codesByMarket, weak, reader]() {
        std::vector<dorn::PushQuoteParam> params;
        params.reserve(codesByMarket.size());
        for (const auto& entry : codesByMarket)
            params.emplace_back(entry.first);
        QuoteMap quotes;
        if (reader)
            reader(params, codesByMarket, quotes);
        else
            CFormulaManager::instance()->subPushQuoterFromCache(params, codesByMarket, quotes);
        std::map<std::string, QVector<QString>> codes;
        for (const auto& entry : codesByMarket) {
            auto found = quotes.find(entry.first);
            if (found == quotes.end())
                continue;
            QVector<QString>& list = codes[entry.first];
            const size_t n = std::min(entry.second.size(), found->second.size());
            list.reserve(int(n));
            for (size_t i = 0; i < n; ++i)
                list.append(QString::fromStdString(entry.second[i]));
        }
        mailbox->post(
            [weak, generation, quotes = std::move(quotes), codes = std::move(codes)]() mutable {
                if (auto self = weak.lock())
                    self->applyCacheRead(generation, std::move(quotes), std::move(codes));
            });
    });
}

void CWholeQuoteModel::applyCacheRead(quint64 generation, QuoteMap quotes,
                                      std::map<std::string, QVector<QString>> codes)
{
    if (m_bCancelled)
        return;
    if (m_mailbox->isCurrent(generation)) {
        std::lock_guard<std::recursive_mutex> lock(m_cacheMutex);
        m_cacheResult = std::move(quotes);
        m_codeMap = std::move(codes);
        m_bAnnounce = true;
    }
    // A superseded read is not announced: its clients would lay the newer request's
    // cache again over the pushes written since, and re-sort for nothing.
    Q_EMIT sigSubWholeQuoteFinish();
}

void CWholeQuoteModel::slotSubWholeQuoteFinish()
{
    if (m_bCancelled)
        return;
    if (m_bAnnounce) {
        m_bAnnounce = false;
        Q_EMIT sigHistoryCallBack();
        if (m_bCancelled) // a client cancelled while filling itself
            return;
    }
    subscribeRequested();
}

void CWholeQuoteModel::subscribeRequested()
{
    // The first read to end after a request subscribes, a superseded one included;
    // renewing held subscriptions would only open a gap in which pushes are lost.
    if (m_bSubscribed)
        return;
    cancelSubscriptions();
    boost::weak_ptr<CWholeQuoteModel> weak = weak_from_this();
    auto* formulas = CFormulaManager::instance();
    for (const auto& entry : m_requestMap) {
        dorn::PushQuoteParam param(entry.first);
        param.option = kQueuedOption;
        // the host holds only a weak reference: the model's owner decides its life
        auto callback = [weak](dorn::PushQuoteParam& p, const QVector<QString>& codes,
                               const QVector<QString>& markets,
                               const std::vector<quoter::QuoterAllDataPtr>& quotes) {
            if (auto model = weak.lock())
                model->onPushQuote(p, codes, markets, quotes);
        };
        const int id = formulas->requestPushQuoter(param, callback, kPushMode);
        if (id > 0)
            m_subscriptions[entry.first] = id;
    }
    m_bSubscribed = true;
}

void CWholeQuoteModel::unrequestAll()
{
    m_bCancelled = true;
    cancelSubscriptions();
}

void CWholeQuoteModel::cancelSubscriptions()
{
    auto* formulas = CFormulaManager::instance();
    for (const auto& entry : m_subscriptions)
        formulas->unrequestPushQuoter(entry.second, dorn::PushQuoteParam(entry.first));
    m_subscriptions.clear();
    m_bSubscribed = false;
}

void CWholeQuoteModel::onPushQuote(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                                   const QVector<QString>& markets,
                                   const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    if (param.queued) {
        std::lock_guard<std::recursive_mutex> lock(m_queueMutex);
        m_queue.push_back({param, codes, markets, quotes});
        m_nQueuedQuotes += quotes.size();
        if (m_nQueuedQuotes > m_nCoalesceAt)
            coalesceQueue();
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(m_clientMutex);
    if (m_pBrowseClient)
        m_pBrowseClient->formulaPushQuoteBack(param, codes, markets, quotes, true);
    if (m_pQuoterClient)
        m_pQuoterClient->formulaPushQuoteBack(param, codes, markets, quotes, true);
    if (m_dataCallback)
        m_dataCallback(param, codes, markets, quotes, true);
}

void CWholeQuoteModel::flushQueued()
{
    std::vector<Delivery> queue;
    {
        // deliver outside the lock: a host thread pushing while holding a lock of its
        // own must never wait on a client
        std::lock_guard<std::recursive_mutex> lock(m_queueMutex);
        queue.swap(m_queue);
        m_nQueuedQuotes = 0;
        m_nCoalesceAt = kCoalesceFloor;
    }
    for (size_t i = 0; i < queue.size(); ++i) {
        Delivery& d = queue[i];
        const bool last = i + 1 == queue.size();
        std::lock_guard<std::recursive_mutex> lock(m_clientMutex);
        if (m_pBrowseClient)
            m_pBrowseClient->formulaPushQuoteBack(d.param, d.codes, d.markets, d.quotes, last);
        if (m_pQuoterClient)
            m_pQuoterClient->formulaPushQuoteBack(d.param, d.codes, d.markets, d.quotes, last);
        if (m_dataCallback)
            m_dataCallback(d.param, d.codes, d.markets, d.quotes, last);
    }
}

// Nobody drains the queue: keep one delivery per market holding the latest quote of each
// instrument, in the order instruments were first queued. Clients end with the same
// values they would have had from the whole queue.
void CWholeQuoteModel::coalesceQueue()
{
    std::vector<Delivery> merged;
    std::map<std::string, size_t> deliveryOf;
    std::vector<QHash<QString, int>> slotOf;
    size_t kept = 0;
    for (Delivery& d : m_queue) {
        auto found = deliveryOf.find(d.param.market);
        if (found == deliveryOf.end()) {
            found = deliveryOf.emplace(d.param.market, merged.size()).first;
            merged.push_back({d.param, {}, {}, {}});
            slotOf.emplace_back();
        }
        Delivery& out = merged[found->second];
        QHash<QString, int>& slots = slotOf[found->second];
        out.param = d.param;
        const int n = std::min({d.codes.size(), d.markets.size(), int(d.quotes.size())});
        for (int i = 0; i < n; ++i) {
            auto slot = slots.constFind(d.codes[i]);
            if (slot != slots.constEnd()) {
                out.quotes[size_t(*slot)] = std::move(d.quotes[size_t(i)]);
                continue;
            }
            slots.insert(d.codes[i], out.codes.size());
            out.codes.append(d.codes[i]);
            out.markets.append(d.markets[i]);
            out.quotes.push_back(std::move(d.quotes[size_t(i)]));
            ++kept;
        }
    }
    TT_LOG_DEBUG("[whole quote] undrained queue of %1% deliveries coalesced to %2% quotes",
                 m_queue.size(), kept);
    m_queue.swap(merged);
    m_nQueuedQuotes = kept;
    m_nCoalesceAt = std::max(kCoalesceFloor, 2 * kept);
}

void CWholeQuoteModel::cacheResult(std::map<std::string, QVector<QString>>& codes,
                                   QuoteMap& quotes) const
{
    std::lock_guard<std::recursive_mutex> lock(m_cacheMutex);
    codes = m_codeMap;
    quotes = m_cacheResult;
}

std::map<std::string, QVector<QString>> CWholeQuoteModel::codeMap() const
{
    std::lock_guard<std::recursive_mutex> lock(m_cacheMutex);
    return m_codeMap;
}

int CWholeQuoteModel::subscriptionCount() const
{
    return int(m_subscriptions.size());
}

int CWholeQuoteModel::queuedCount() const
{
    std::lock_guard<std::recursive_mutex> lock(m_queueMutex);
    return int(m_queue.size());
}

int CWholeQuoteModel::queuedQuoteCount() const
{
    std::lock_guard<std::recursive_mutex> lock(m_queueMutex);
    return int(m_nQueuedQuotes);
}

} // namespace TC
