#include "host/data/MultiStockManager.h"

#include "host/data/Log.h"

#include <mutex>

namespace TC {

struct CMultiStockManager::Impl {
    mutable std::mutex mutex;
    QString sector;
    std::vector<Recalculation> recalculations;
};

CMultiStockManager* CMultiStockManager::instance()
{
    // never destroyed: worker threads may still call it during exit
    static CMultiStockManager* manager = new CMultiStockManager;
    return manager;
}

CMultiStockManager::CMultiStockManager() : d(std::make_unique<Impl>()) {}
CMultiStockManager::~CMultiStockManager() = default;

QString CMultiStockManager::getSector() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->sector;
}

void CMultiStockManager::setSector(const QString& name)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->sector == name)
            return;
        d->sector = name;
    }
    Q_EMIT sigSectorChanged(name);
}

void CMultiStockManager::recalculate(const std::vector<QString>& keys, bool reset)
{
    Recalculation r;
    r.keys.reserve(int(keys.size()));
    for (const QString& k : keys)
        r.keys.append(k);
    r.reset = reset;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        r.sector = d->sector;
        d->recalculations.push_back(r);
    }
    TT_LOG_INFO("[multi stock] recalculate %1% keys of %2% (reset %3%)", r.keys.size(), r.sector,
                reset);
    Q_EMIT sigRecalculated(r.keys, reset);
}

std::vector<CMultiStockManager::Recalculation> CMultiStockManager::recalculations() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->recalculations;
}

void CMultiStockManager::clearRecalculations()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->recalculations.clear();
}

} // namespace TC
