// The position list beside a naive QStandardItemModel table: 2,000 positions over 20
// accounts. A full quote push into the position rows, switching the statistics mode, and
// a storm of position pushes from a trading thread.

#include "bench/BenchCommon.h"

#include "browse/CHpfBrowserDataModel.h"
#include "host/data/AccountData.h"
#include "host/data/LinkageManager.h"
#include "host/data/StockKey.h"
#include "host/data/TraderCenter.h"
#include "host/toolkit/RadioButtonGroup.h"
#include "position/CPositionBrowseWidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace ttbench {
namespace {

constexpr int kAccounts = 20;
constexpr int kPerAccount = 100;
constexpr int kTradeDate = 20000; // any day: the linkage sums are keyed by it
constexpr int kStormRate = 20;    // pushes per account and second

using ttservice::CPositionStatics;
using ttservice::CPositionStaticsPtr;

// What a Qt developer would write first: one QStandardItemModel row per position, the
// cells written one setData at a time, rows found through a hash of code to rows.
class NaivePositionTable {
public:
    enum Column { Code, Account, Last, Ratio, Volume, CanUse, MarketValue, Profit, Columns };

    NaivePositionTable() : m_model(0, Columns), m_view()
    {
        m_view.setModel(&m_model);
        m_view.resize(1600, 900);
    }
    void load(const std::vector<CPositionStaticsPtr>& records, bool byCode)
    {
        m_model.removeRows(0, m_model.rowCount());
        m_rowsOfCode.clear();
        m_rowOfKey.clear();
        m_records.clear();
        QMap<QString, QList<CPositionStaticsPtr>> groups; // code statistics: per instrument
        for (const auto& r : records)
            groups[byCode ? r->code : r->key].append(r);
        for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
            double volume = 0, canUse = 0;
            QStringList accounts;
            for (const auto& r : *it) {
                volume += r->volume;
                canUse += r->canUseVolume;
                accounts << r->accountId;
            }
            const auto& first = it->first();
            QList<QStandardItem*> items;
            items << new QStandardItem(first->code) << new QStandardItem(accounts.join(','));
            for (int c = Last; c < Columns; ++c)
                items << new QStandardItem();
            items[Volume]->setData(volume, Qt::DisplayRole);
            items[CanUse]->setData(canUse, Qt::DisplayRole);
            items[Profit]->setData(first->profitRate, Qt::DisplayRole);
            const int row = m_model.rowCount();
            m_model.appendRow(items);
            m_rowsOfCode[first->code].append(row);
            m_rowOfKey.insert(it.key(), row);
            m_records.insert(first->key, row);
        }
    }
    void push(const QVector<QString>& codes, const std::vector<quoter::QuoterAllDataPtr>& quotes)
    {
        for (int i = 0; i < codes.size(); ++i) {
            const auto rows = m_rowsOfCode.constFind(codes[i]);
            if (rows == m_rowsOfCode.constEnd() || !quotes[size_t(i)])
                continue;
            const quoter::QuoterAllData& q = *quotes[size_t(i)];
            const double ratio = q.preClose > 0 ? (q.last - q.preClose) / q.preClose : 0.0;
            const QColor colour = ratio > 0 ? Qt::red : ratio < 0 ? Qt::green : Qt::white;
            for (int row : *rows) {
                m_model.setData(m_model.index(row, Last), q.last);
                m_model.setData(m_model.index(row, Ratio), ratio);
                m_model.setData(m_model.index(row, Last), colour, Qt::ForegroundRole);
                m_model.setData(m_model.index(row, Ratio), colour, Qt::ForegroundRole);
                const double volume = m_model.index(row, Volume).data().toDouble();
                m_model.setData(m_model.index(row, MarketValue), volume * q.last);
            }
        }
    }
    // a position push, applied at once on the GUI thread
    void apply(const CPositionStatics& r)
    {
        const auto row = m_rowOfKey.constFind(r.key);
        if (row == m_rowOfKey.constEnd())
            return;
        m_model.setData(m_model.index(*row, Volume), r.volume);
        m_model.setData(m_model.index(*row, CanUse), r.canUseVolume);
        m_model.setData(m_model.index(*row, Profit), r.profitRate);
        const double last = m_model.index(*row, Last).data().toDouble();
        m_model.setData(m_model.index(*row, MarketValue), last * r.volume);
    }
    double volumeOf(const QString& key) const
    {
        const auto row = m_rowOfKey.constFind(key);
        return row == m_rowOfKey.constEnd() ? -1 : m_model.index(*row, Volume).data().toDouble();
    }

private:
    QStandardItemModel m_model;
    QTableView m_view;
    QHash<QString, QList<int>> m_rowsOfCode;
    QHash<QString, int> m_rowOfKey;
    QHash<QString, int> m_records;
};

struct PositionWorld {
    QSet<QString> ids;
    QStringList keys;
    std::vector<ttservice::CAccountDataPtr> accounts;
    std::vector<MarketFeed> feeds; // the held instruments, two push sets
    std::unique_ptr<TC::CPositionBrowseWidget> widget;
    std::unique_ptr<NaivePositionTable> baseline;
    int flip = 0;

    std::vector<CPositionStaticsPtr> allRecords() const
    {
        std::vector<CPositionStaticsPtr> out;
        for (const auto& a : accounts)
            for (const auto& p : a->getPositions())
                out.push_back(p);
        return out;
    }
};
PositionWorld* g_positions = nullptr;

PositionWorld& positionWorld()
{
    if (g_positions)
        return *g_positions;
    g_positions = new PositionWorld;
    PositionWorld& p = *g_positions;
    World& w = *g_world;
    auto* center = ttservice::TraderCenter::instance();
    auto* linkage = TC::CLinkageManager::instance();
    const int n = int(w.instruments.size());
    QSet<QString> held;
    for (int a = 0; a < kAccounts; ++a) {
        ttservice::CAccountInfo info;
        info.accountId = QStringLiteral("B%1").arg(a, 2, 10, QLatin1Char('0'));
        info.key = QStringLiteral("2_") + info.accountId;
        info.accountType = ttservice::eAccountStock;
        std::vector<CPositionStatics> positions;
        for (int j = 0; j < kPerAccount; ++j) {
            // neighbouring accounts share half their instruments: code statistics sum them
            const auto& d = w.instruments[size_t((a * kPerAccount / 2 + j) % n)];
            CPositionStatics r;
            r.market = d->market;
            r.code = d->code;
            r.name = d->name;
            const QString stockKey = XP::nvStockKey(d->market, d->code);
            r.key = info.key + QLatin1Char('|') + stockKey;
            r.volume = r.yesterdayVolume = r.canUseVolume = 100.0 * (1 + j % 9);
            r.costPrice = r.lastPrice = d->refPrice > 0 ? d->refPrice : 10.0;
            ttservice::updateDerivedValues(r);
            positions.push_back(r);
            held.insert(stockKey);
            linkage->addTrade(kTradeDate, info.key, info.accountId, stockKey, 100, r.costPrice);
        }
        center->addAccount(info, positions);
        p.ids.insert(info.accountId);
        p.keys << info.key;
        p.accounts.push_back(center->getDataCenter()->getAccountData(info.key));
    }
    for (const MarketFeed& f : w.feeds) {
        MarketFeed mine{f.market, {}, {}};
        for (int i = 0; i < f.codes.size(); ++i) {
            if (!held.contains(XP::nvStockKey(f.market, f.codes[i])))
                continue;
            mine.codes.append(f.codes[i]);
            for (int s = 0; s < 2; ++s)
                mine.quotes[s].push_back(f.quotes[s][size_t(i)]);
        }
        if (!mine.codes.isEmpty())
            p.feeds.push_back(mine);
    }
    p.widget.reset(new TC::CPositionBrowseWidget());
    p.widget->resize(1600, 900);
    p.widget->setGetTradeDateFunc([] { return kTradeDate; });
    p.widget->setSectorName(QStringLiteral("股票持仓"), p.ids, true, false);
    p.baseline.reset(new NaivePositionTable());
    p.baseline->load(p.allRecords(), false);
    return p;
}

void BM_PositionPush_Library(benchmark::State& state)
{
    PositionWorld& p = positionWorld();
    for (auto _ : state) {
        const int set = (p.flip ^= 1);
        for (const MarketFeed& f : p.feeds)
            p.widget->formulaMarketQuoteBack(f.market, f.codes, f.quotes[set], false);
    }
    state.counters["rows"] = p.widget->model()->size();
}

void BM_PositionPush_Baseline(benchmark::State& state)
{
    PositionWorld& p = positionWorld();
    for (auto _ : state) {
        const int set = (p.flip ^= 1);
        for (const MarketFeed& f : p.feeds)
            p.baseline->push(f.codes, f.quotes[set]);
    }
}

// the linkage columns of every row, as a position push or a reload recomputes them
void BM_PositionLinkage_Library(benchmark::State& state)
{
    PositionWorld& p = positionWorld();
    for (auto _ : state)
        p.widget->updatePositionDatas();
}

void BM_PositionSwitch_Library(benchmark::State& state)
{
    PositionWorld& p = positionWorld();
    int mode = p.widget->statType();
    for (auto _ : state) {
        mode ^= 1;
        p.widget->statTypeGroup()->button(mode)->click();
    }
    if (mode != TC::CPositionBrowseWidget::StatPosition)
        p.widget->statTypeGroup()->button(TC::CPositionBrowseWidget::StatPosition)->click();
}

void BM_PositionSwitch_Baseline(benchmark::State& state)
{
    PositionWorld& p = positionWorld();
    const auto records = p.allRecords();
    bool byCode = false;
    for (auto _ : state) {
        byCode = !byCode;
        p.baseline->load(records, byCode);
    }
    p.baseline->load(records, false);
}

// Every account pushes kStormRate position changes a second from a trading thread while
// the GUI thread runs its event loop; afterwards the rows must equal the service's state.
template <class Setup, class Check>
void runStorm(benchmark::State& state, Setup setup, Check check)
{
    PositionWorld& p = positionWorld();
    for (auto _ : state) {
        auto teardown = setup(p);
        std::atomic<bool> stop{false};
        std::thread trading([&] {
            auto next = std::chrono::steady_clock::now();
            unsigned step = 0;
            while (!stop) {
                for (const auto& account : p.accounts) {
                    const auto positions = account->getPositions();
                    CPositionStatics r = *positions[step % positions.size()];
                    r.volume += 100;
                    r.canUseVolume += 100;
                    ttservice::updateDerivedValues(r);
                    account->publish(r);
                }
                ++step;
                // the service's pace: kStormRate rounds a second
                next += std::chrono::milliseconds(1000 / kStormRate);
                std::this_thread::sleep_until(next);
            }
        });
        const SustainFigures f = runSustainedLoop();
        stop = true;
        trading.join();
        QCoreApplication::processEvents();
        teardown();
        state.counters["gui_busy_pct"] = f.guiBusyPct;
        state.counters["longest_stall_ms"] = double(f.longestStallMs);
        state.counters["rows_match"] = check(p) ? 1.0 : 0.0;
    }
}

bool rowsMatch(PositionWorld& p, const std::function<double(const QString&)>& volumeOf)
{
    for (const auto& record : p.allRecords()) {
        if (std::fabs(volumeOf(record->key) - record->volume) > 1e-6)
            return false;
    }
    return true;
}

void BM_PositionStorm_Library(benchmark::State& state)
{
    runStorm(
        state, [](PositionWorld&) { return [] {}; },
        [](PositionWorld& p) {
            p.widget->slotTimeout(); // the last pushes wait for the next tick
            const int column = p.widget->fieldColumn(TC::CPositionBrowseWidget::Field_Volume);
            return rowsMatch(p, [&](const QString& key) {
                const auto row = p.widget->model()->rowByKey(key);
                return row ? row->getDouble(column) : -1.0;
            });
        });
}

void BM_PositionStorm_Baseline(benchmark::State& state)
{
    runStorm(
        state,
        [](PositionWorld& p) {
            // one queued call per push, applied at once
            auto receiver = std::make_shared<QObject>();
            std::vector<int> ids;
            NaivePositionTable* table = p.baseline.get();
            QObject* r = receiver.get();
            for (const auto& account : p.accounts)
                ids.push_back(account->subscribe(
                    ttservice::eDataPositionStat,
                    [table, r](int kind, const CPositionStaticsPtr& rec) {
                        if (kind != ttservice::ePushPosition)
                            return;
                        QMetaObject::invokeMethod(
                            r, [table, rec]() { table->apply(*rec); }, Qt::QueuedConnection);
                    }));
            return [&p, ids, receiver]() {
                for (size_t i = 0; i < ids.size(); ++i)
                    p.accounts[i]->unsubscribe(ids[i]);
                QCoreApplication::processEvents();
            };
        },
        [](PositionWorld& p) {
            return rowsMatch(p, [&](const QString& key) { return p.baseline->volumeOf(key); });
        });
}

} // namespace

void registerPositionBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_PositionPush_Library", BM_PositionPush_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_PositionPush_Baseline", BM_PositionPush_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_PositionLinkage_Library", BM_PositionLinkage_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_PositionSwitch_Library", BM_PositionSwitch_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_PositionSwitch_Baseline", BM_PositionSwitch_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_PositionStorm_Library", BM_PositionStorm_Library)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_PositionStorm_Baseline", BM_PositionStorm_Baseline)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}

void releasePositionWorld()
{
    delete g_positions;
    g_positions = nullptr;
}

} // namespace ttbench
