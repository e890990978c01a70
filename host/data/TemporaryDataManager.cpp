#include "host/data/TemporaryDataManager.h"

#include "host/data/Log.h"
#include "host/data/StockKey.h"

#include <QHash>
#include <mutex>

namespace TC {

class CTemporaryDataManagerPrivate {
public:
    struct Totals {
        double buy = 0.0;
        double sell = 0.0;
    };
    mutable std::mutex mutex;
    int clients = 0;
    bool changed = false;
    QHash<QString, Totals> byCode; // code -> today's totals
};

CTemporaryDataManager* CTemporaryDataManager::instance()
{
    static CTemporaryDataManager* manager = new CTemporaryDataManager;
    return manager;
}

CTemporaryDataManager::CTemporaryDataManager() : d(new CTemporaryDataManagerPrivate) {}

CTemporaryDataManager::~CTemporaryDataManager() = default;

void CTemporaryDataManager::startOrStopNetBuying(bool start)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (start)
        ++d->clients;
    else if (d->clients > 0)
        --d->clients;
    TT_LOG_INFO("[net buying] %1%, clients %2%", start ? "start" : "stop", d->clients);
}

bool CTemporaryDataManager::isNetBuyingRunning() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->clients > 0;
}

int CTemporaryDataManager::netBuyingClients() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->clients;
}

namespace {
// Accepts a bare code or a stock key.
QString codeOf(const QString& codeOrKey)
{
    QString market, code;
    if (codeOrKey.contains(QLatin1Char('.')) && XP::splitStockKey(codeOrKey, &market, &code))
        return code;
    return codeOrKey;
}
} // namespace

double CTemporaryDataManager::getCodeNetBuyingValue(const QString& code) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    auto it = d->byCode.constFind(codeOf(code));
    return it == d->byCode.constEnd() ? 0.0 : it->buy - it->sell;
}

std::pair<double, double> CTemporaryDataManager::getCodeTransactionValue(const QString& code) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    auto it = d->byCode.constFind(codeOf(code));
    return it == d->byCode.constEnd() ? std::make_pair(0.0, 0.0)
                                      : std::make_pair(it->buy, it->sell);
}

void CTemporaryDataManager::applyTrades(const QString& market, const QString& code,
                                        double buyAmount, double sellAmount)
{
    Q_UNUSED(market)
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->clients <= 0 || (buyAmount == 0.0 && sellAmount == 0.0))
        return;
    CTemporaryDataManagerPrivate::Totals& t = d->byCode[code];
    t.buy += buyAmount;
    t.sell += sellAmount;
    d->changed = true;
}

void CTemporaryDataManager::notifyBatchDone()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->changed || d->clients <= 0)
            return;
        d->changed = false;
    }
    Q_EMIT sigSendNetBuyingChange();
    Q_EMIT sigSendTotalBuySellChange();
}

void CTemporaryDataManager::clear()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->byCode.clear();
    d->changed = false;
}

} // namespace TC
