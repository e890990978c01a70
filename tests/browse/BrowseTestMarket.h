#pragma once
// Set-up shared by the browse tests: stocks installed on the embedded market at a fixed
// clock, a backend that forwards to it for gates to build on, and waits on fetch workers.

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/MarketBackend.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/TestMarket.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>

namespace browsetest {

constexpr int kWaitMs = 10000;

using Instruments = std::vector<ttservice::CInstrumentDetailPtr>;

inline QString keyOf(const QString& market, const QString& code)
{
    return XP::nvStockKey(market, code);
}
// The key of an SH code.
inline QString keyOf(const QString& code)
{
    return keyOf(QStringLiteral("SH"), code);
}

// The row's number in a column; NaN without such a row.
inline double cell(TC::CBrowseWidget& w, const QString& key, int column)
{
    const TC::HpfBrowserDataPtr row = w.model()->rowByKey(key);
    return row ? row->getDouble(column) : std::numeric_limits<double>::quiet_NaN();
}

// Stocks of one market at one price, each named by its code.
inline Instruments stocks(const QString& market, const QStringList& codes, double price)
{
    Instruments out;
    for (const QString& code : codes)
        out.push_back(ttmarket::TestMarket::stock(market, code, code, price));
    return out;
}

// The instruments on the embedded market, its clock at 2024-06-07 10:00.
inline void installMarket(const Instruments& instruments)
{
    ttmarket::TestMarket::setClock(ttmarket::TestMarket::at(2024, 6, 7, 10, 0));
    ttmarket::TestMarket::install(instruments);
}

// The stock manager's details of the instruments, in order.
inline TC::CBrowseWidget::InstrumentList detailsOf(const Instruments& instruments)
{
    TC::CBrowseWidget::InstrumentList list;
    for (const auto& i : instruments)
        list.append(TC::CStockManager::instance()->getInstrumentDetail(i->market, i->code));
    return list;
}

// Puts a Gate over the installed backend. Installing it drops the catalogue, so the test
// universe goes in again.
template <class Gate>
std::shared_ptr<Gate>
gateMarket(const Instruments& instruments,
           const QHash<QString, std::vector<se::RPCSectorStock>>& members = {})
{
    auto gate = std::make_shared<Gate>(TC::marketBackend());
    TC::setMarketBackend(gate);
    TC::CStockManager::instance()->resetUniverseForTest(instruments, members);
    return gate;
}

// The column showing a base quote id; -1 without one.
inline int quoteColumn(TC::CBrowseWidget& w, int quoteId)
{
    for (const TC::ColumnInfo& c : w.columnList()) {
        if (c.isQuoter() && c.lineIndex == quoteId)
            return c.columnId;
    }
    return -1;
}

// The column of a title; -1 without one.
inline int columnIdOf(TC::CBrowseWidget& w, const QString& title)
{
    for (const TC::ColumnInfo& c : w.columnList()) {
        if (c.title == title)
            return c.columnId;
    }
    return -1;
}

// The listed descriptor of a column; null without one.
inline TC::ColumnInfo* listed(TC::CBrowseWidget& w, int id)
{
    for (const TC::ColumnInfo& c : w.columnList()) {
        if (c.columnId == id)
            return const_cast<TC::ColumnInfo*>(&c);
    }
    return nullptr;
}

// The row's text in a column.
inline QString cellText(TC::CBrowseWidget& w, const QString& key, int column)
{
    const TC::HpfBrowserDataPtr row = w.model()->rowByKey(key);
    return row ? row->getText(column) : QStringLiteral("<no row>");
}

// The column's header as the table shows it, progress included.
inline QString headerShown(TC::CBrowseWidget& w, int id)
{
    return w.table()->model()->headerData(id, Qt::Horizontal).toString();
}

// A daily MA indicator column showing one line of the formula.
inline TC::ColumnInfo maColumn(const QString& title, int line, int lineSetting = 0)
{
    TC::ColumnInfo c;
    c.formulaName = QStringLiteral("MA");
    c.lineIndex = line;
    c.lineSetting = lineSetting;
    c.title = title;
    c.period = 86400000;
    return c;
}

// The columns of the finished indicator batches, in order, once n have finished.
inline QList<int> finished(QSignalSpy& done, int n, int timeoutMs = kWaitMs)
{
    (void)QTest::qWaitFor([&] { return done.count() >= n; }, timeoutMs);
    QList<int> ids;
    for (const QList<QVariant>& args : done)
        ids.append(args[0].toInt());
    return ids;
}

// The embedded backend back in place of a gate, and the market as before the test.
inline void restoreMarket()
{
    ttmarket::installEmbeddedBackend();
    ttmarket::TestMarket::restore();
}

// Every fetch worker of the process has ended.
inline bool fetchWorkersDone()
{
    return QTest::qWaitFor([] { return TC::CBrowseWidget::runningFetchWorkers() == 0; }, kWaitMs);
}

// Every indicator worker of the process has ended.
inline bool indicatorWorkersDone()
{
    return QTest::qWaitFor([] { return TC::CBrowseWidget::runningIndicatorWorkers() == 0; },
                           kWaitMs);
}

// Forwards everything but formulas to the backend it wraps; gates override what they hold.
class ForwardingBackend : public TC::IMarketBackend {
public:
    explicit ForwardingBackend(TC::MarketBackendPtr inner) : m_inner(std::move(inner)) {}

    bool loadCatalogue(const QString& dir, uint64_t seed, int ymd, TC::CUniverseData& out,
                       QString& error) override
    {
        return m_inner->loadCatalogue(dir, seed, ymd, out, error);
    }
    quoter::QuoterAllDataPtr lastQuote(const std::string& m, const std::string& c) override
    {
        return m_inner->lastQuote(m, c);
    }
    void lastQuotes(const std::string& m, const std::vector<std::string>& codes,
                    std::vector<quoter::QuoterAllDataPtr>& out) override
    {
        m_inner->lastQuotes(m, codes, out);
    }
    std::vector<quoter::KLineData> dailyBars(const std::string& m, const std::string& c) override
    {
        return m_inner->dailyBars(m, c);
    }
    std::vector<quoter::KLineData> minuteBars(const std::string& m, const std::string& c) override
    {
        return m_inner->minuteBars(m, c);
    }
    std::vector<quoter::QuoterAllDataPtr> ticks(const std::string& m, const std::string& c) override
    {
        return m_inner->ticks(m, c);
    }
    int subscribe(const dorn::PushQuoteParam& p, PushCallback cb, EPushMode mode) override
    {
        return m_inner->subscribe(p, std::move(cb), mode);
    }
    bool unsubscribe(int id) override { return m_inner->unsubscribe(id); }
    int subscriptionCount() const override { return m_inner->subscriptionCount(); }

protected:
    TC::MarketBackendPtr m_inner;
};

} // namespace browsetest
