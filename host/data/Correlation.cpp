#include "host/data/Correlation.h"

#include "host/data/MarketBackend.h"
#include "host/data/StockKey.h"

#include <QHash>

#include <cmath>
#include <vector>

namespace TC {

namespace {
// Daily returns by bar time (ms), oldest first.
std::vector<std::pair<int64_t, double>> dailyReturns(IMarketBackend& backend, const QString& key)
{
    std::vector<std::pair<int64_t, double>> out;
    QString market, code;
    if (!XP::splitStockKey(key, &market, &code) || code.isEmpty())
        return out;
    const std::vector<quoter::KLineData> bars =
        backend.dailyBars(market.toStdString(), code.toStdString());
    for (size_t i = 1; i < bars.size(); ++i) {
        const double before = bars[i - 1].close;
        const double now = bars[i].close;
        if (before > 0 && std::isfinite(before) && std::isfinite(now))
            out.emplace_back(bars[i].time, now / before - 1.0);
    }
    return out;
}
} // namespace

QMap<QString, double> computeCorrelation(const QString& referenceKey, const QStringList& keys,
                                         int days)
{
    QMap<QString, double> out;
    const MarketBackendPtr backend = marketBackend();
    if (!backend || days < 3)
        return out;
    QHash<int64_t, double> reference;
    for (const auto& r : dailyReturns(*backend, referenceKey))
        reference.insert(r.first, r.second);
    if (reference.isEmpty())
        return out;
    for (const QString& key : keys) {
        const auto returns = dailyReturns(*backend, key);
        std::vector<std::pair<double, double>> pairs; // (reference, key), newest last
        for (auto it = returns.rbegin(); it != returns.rend() && int(pairs.size()) < days; ++it) {
            auto ref = reference.constFind(it->first);
            if (ref != reference.constEnd())
                pairs.emplace_back(*ref, it->second);
        }
        if (pairs.size() < 3)
            continue;
        double sx = 0, sy = 0;
        for (const auto& p : pairs) {
            sx += p.first;
            sy += p.second;
        }
        const double n = double(pairs.size());
        const double mx = sx / n, my = sy / n;
        double cov = 0, vx = 0, vy = 0;
        for (const auto& p : pairs) {
            cov += (p.first - mx) * (p.second - my);
            vx += (p.first - mx) * (p.first - mx);
            vy += (p.second - my) * (p.second - my);
        }
        if (vx <= 0 || vy <= 0)
            continue; // a flat series correlates with nothing
        out.insert(key, cov / std::sqrt(vx * vy));
    }
    return out;
}

} // namespace TC
