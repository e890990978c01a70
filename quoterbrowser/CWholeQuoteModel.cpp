#include "quoterbrowser/CWholeQuoteModel.h"

#include "host/data/FormulaManager.h"
#include "host/data/Log.h"

#include <QtConcurrent/QtConcurrentRun>

#include <boost/weak_ptr.hpp>

namespace TC {

namespace {
// Asks the host to mark deliveries for queueing and to send whole markets.
constexpr int kQueuedOption = 1;
} // namespace

boost::shared_ptr<CWholeQuoteModel> CWholeQuoteModel::create()
{
    return boost::shared_ptr<CWholeQuoteModel>(new CWholeQuoteModel());
}

CWholeQuoteModel::CWholeQuoteModel() : m_mailbox(CWorkerMailbox::create(this))
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
    }
    cancelSubscriptions();
    m_bCancelled = false;
    m_requestMap = codesByMarket;

    const quint64 generation = m_mailbox->nextGeneration();
    CWorkerMailboxPtr mailbox = m_mailbox;
    // The posted call holds the model while it runs: a host thread dropping the last
    // reference then cannot free it under the GUI thread's feet.
    boost::weak_ptr<CWholeQuoteModel> weak = weak_from_this();
    QtConcurrent::run([mailbox, generation, codesByMarket, weak]() {
        std::vector<dorn::PushQuoteParam> params;
        params.reserve(codesByMarket.size());
        for (const auto& entry : codesByMarket)
            params.emplace_back(entry.first);
        QuoteMap quotes;
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
        // a read of an older request never overwrites the newer request's results
        std::lock_guard<std::recursive_mutex> lock(m_cacheMutex);
        m_cacheResult = std::move(quotes);
        m_codeMap = std::move(codes);
    }
    Q_EMIT sigSubWholeQuoteFinish();
}

void CWholeQuoteModel::slotSubWholeQuoteFinish()
{
    if (m_bCancelled)
        return;
    Q_EMIT sigHistoryCallBack();
    if (m_bCancelled) // a client cancelled while filling itself
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
        const int id = formulas->requestPushQuoter(param, callback, CFormulaManager::ePushAll);
        if (id > 0)
            m_subscriptions[entry.first] = id;
    }
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
}

void CWholeQuoteModel::onPushQuote(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                                   const QVector<QString>& markets,
                                   const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    if (param.queued) {
        std::lock_guard<std::recursive_mutex> lock(m_queueMutex);
        m_queue.push_back({param, codes, markets, quotes});
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

} // namespace TC
