#include "bench/BusLoad.h"

#include "host/data/StockKey.h"
#include "host/data/UniverseData.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace ttbench {

int64_t monoNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string busMarket(int i)
{
    return i % 2 ? "SZ" : "SH";
}

std::string busCode(int i)
{
    char code[16];
    std::snprintf(code, sizeof code, "B%05d", i);
    return code;
}

double busPrice(int k)
{
    return 10.0 + (k % 1000) * 0.01;
}

TC::CUniverseData busCatalogue(int n)
{
    TC::CUniverseData u;
    for (int i = 0; i < n; ++i) {
        auto d = std::make_shared<ttservice::CInstrumentDetail>();
        d->market = QString::fromStdString(busMarket(i));
        d->code = QString::fromStdString(busCode(i));
        d->key = XP::nvStockKey(d->market, d->code);
        d->name = d->code;
        d->refPrice = 10.0;
        u.instruments.push_back(d);
    }
    return u;
}

int sentTo(int i, int n, int64_t total)
{
    return int(total / n + (i < total % n ? 1 : 0));
}

int64_t paceLoad(int n, int snapshotsPerSecond, double seconds,
                 const std::function<void(int, const quoter::QuoterAllData&)>& send,
                 const std::function<void()>& sliceDone)
{
    constexpr int kSliceMs = 10;
    const int slices = std::max(1, int(seconds * 1000 / kSliceMs));
    const int64_t perSlice = int64_t(n) * snapshotsPerSecond * kSliceMs / 1000;
    quoter::QuoterAllData q;
    q.preClose = 10.0;
    q.openInterestOrPhase = quoter::PhaseContinuous;
    std::vector<int> sent(size_t(n), 0);
    int64_t total = 0, next = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int s = 0; s < slices; ++s) {
        for (int64_t k = 0; k < perSlice; ++k) {
            const int i = int(next++ % n);
            q.last = busPrice(++sent[size_t(i)]);
            q.high = q.last + 0.1;
            q.low = q.last - 0.1;
            q.bidPrice[0] = q.last - 0.01;
            q.askPrice[0] = q.last + 0.01;
            q.volume = 100 * sent[size_t(i)];
            q.tradeCount = monoNs(); // the send stamp
            send(i, q);
            ++total;
        }
        if (sliceDone)
            sliceDone();
        // pacing a publisher is the one place a bench sleeps: the rate is the scenario
        std::this_thread::sleep_until(start + std::chrono::milliseconds(kSliceMs * (s + 1)));
    }
    return total;
}

RowStore::RowStore(int n, int64_t expectedWrites) : m_rows(size_t(n))
{
    for (int i = 0; i < n; ++i)
        m_index.insert(QString::fromStdString(busCode(i)), i);
    m_latencyNs.reserve(size_t(expectedWrites + expectedWrites / 4));
}

void RowStore::write(const QVector<QString>& codes,
                     const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    const int64_t now = monoNs();
    for (int k = 0; k < codes.size(); ++k) {
        const auto it = m_index.constFind(codes[k]);
        const quoter::QuoterAllData* q = quotes[size_t(k)].get();
        if (it == m_index.constEnd() || !q)
            continue;
        Row& r = m_rows[size_t(it.value())];
        r.last = q->last;
        r.high = q->high;
        r.low = q->low;
        r.bid = q->bidPrice[0];
        r.ask = q->askPrice[0];
        r.volume = q->volume;
        if (m_latencyNs.size() < m_latencyNs.capacity())
            m_latencyNs.push_back(now - q->tradeCount);
        ++m_writes;
    }
}

double RowStore::percentileMs(double p) const
{
    if (m_latencyNs.empty())
        return -1;
    std::vector<int64_t> v = m_latencyNs;
    const size_t at = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size())));
    std::nth_element(v.begin(), v.begin() + long(at), v.end());
    return double(v[at]) / 1e6;
}

} // namespace ttbench
