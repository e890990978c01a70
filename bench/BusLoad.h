#pragma once
// The quote-bus load shared by the bus scenarios and the headless terminal processes: a
// synthetic catalogue, a paced publisher loop and the row store a headless terminal keeps.
// Each snapshot carries its send time (monotonic ns, comparable across processes) in
// tradeCount, so the store measures publisher-to-row latency.

#include "host/data/Quote.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace TC {
struct CUniverseData;
}

namespace ttbench {

int64_t monoNs();

// n stocks alternating between SH and SZ, codes B00000, B00001, ...
TC::CUniverseData busCatalogue(int n);
std::string busMarket(int i);
std::string busCode(int i);

// Sends snapshotsPerSecond snapshots of each of n instruments for the given seconds, in
// 10 ms slices; send gets the instrument's index and its snapshot. Returns the number sent.
// sliceDone, when set, runs after each slice (an in-process feed delivers its batch there).
int64_t paceLoad(int n, int snapshotsPerSecond, double seconds,
                 const std::function<void(int, const quoter::QuoterAllData&)>& send,
                 const std::function<void()>& sliceDone = {});
// How many snapshots paceLoad sent instrument i when it sent total in all.
int sentTo(int i, int n, int64_t total);

// One row per instrument, written in place: no allocation per write.
class RowStore {
public:
    explicit RowStore(int n, int64_t expectedWrites);
    void write(const QVector<QString>& codes, const std::vector<quoter::QuoterAllDataPtr>& quotes);
    double percentileMs(double p) const;
    int64_t writes() const { return m_writes; }
    double lastOf(int i) const { return m_rows[size_t(i)].last; }

private:
    struct Row {
        double last = 0, high = 0, low = 0, bid = 0, ask = 0;
        int64_t volume = 0;
    };
    QHash<QString, int> m_index;
    std::vector<Row> m_rows;
    std::vector<int64_t> m_latencyNs; // reserved up front
    int64_t m_writes = 0;
};

// The last price the paced load gives instrument i when it sends its k-th snapshot.
double busPrice(int k);

} // namespace ttbench
