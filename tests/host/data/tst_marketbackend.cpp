// The host's services over the market backend: empty answers without one, every call
// routed to the installed one, subscriptions cancelled on the backend that made them.
#include "host/data/FormulaManager.h"
#include "host/data/FormulaOperateManager.h"
#include "host/data/MarketBackend.h"
#include "host/data/PushQuoteParam.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/UniverseData.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>
#include <map>
#include <mutex>

using namespace TC;

namespace {

// A backend of a few instruments with fixed quotes and bars, and one formula, DOUBLE,
// whose single line is twice the close.
class FakeBackend final : public IMarketBackend {
public:
    explicit FakeBackend(QStringList codes) : m_codes(std::move(codes)) {}

    bool loadCatalogue(const QString&, uint64_t, int, CUniverseData& out, QString&) override
    {
        ++catalogueLoads;
        for (const QString& code : m_codes) {
            auto d = std::make_shared<ttservice::CInstrumentDetail>();
            d->market = QStringLiteral("SH");
            d->code = code;
            d->name = QStringLiteral("测试") + code;
            d->key = XP::nvStockKey(d->market, d->code);
            out.instruments.push_back(d);
        }
        return true;
    }

    quoter::QuoterAllDataPtr lastQuote(const std::string& market, const std::string& code) override
    {
        if (market != "SH" || !m_codes.contains(QString::fromStdString(code)))
            return nullptr;
        auto q = std::make_shared<quoter::QuoterAllData>();
        q->last = 10.5;
        q->preClose = 10.0;
        return q;
    }

    std::vector<quoter::KLineData> dailyBars(const std::string& market,
                                             const std::string& code) override
    {
        std::vector<quoter::KLineData> bars;
        if (!lastQuote(market, code))
            return bars;
        for (int i = 0; i < 3; ++i) {
            quoter::KLineData b;
            b.time = (i + 1) * 86400000LL;
            b.open = b.high = b.low = b.close = 10.0 + i;
            bars.push_back(b);
        }
        return bars;
    }

    int subscribe(const dorn::PushQuoteParam& param, PushCallback callback, EPushMode mode) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int id = m_nextId++;
        m_subs[id] = {param, std::move(callback), mode};
        return id;
    }

    bool unsubscribe(int id) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        unsubscribed.push_back(id);
        return m_subs.erase(id) > 0;
    }

    int subscriptionCount() const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(m_subs.size());
    }

    // Delivers the market's quotes to its subscribers of that mode.
    int fire(const std::string& market, EPushMode mode)
    {
        const QVector<QString> codes = m_codes.toVector();
        const QVector<QString> markets(codes.size(), QString::fromStdString(market));
        std::vector<quoter::QuoterAllDataPtr> quotes;
        for (const QString& c : codes)
            quotes.push_back(lastQuote(market, c.toStdString()));
        int calls = 0;
        for (auto& entry : m_subs) {
            if (entry.second.param.market == market && entry.second.mode == mode) {
                dorn::PushQuoteParam param = entry.second.param;
                entry.second.callback(param, codes, markets, quotes);
                ++calls;
            }
        }
        return calls;
    }

    std::vector<QString> formulaNames() override { return {QStringLiteral("DOUBLE")}; }

    CFormulaDetailPtr formula(const QString& name) override
    {
        if (name.compare(QLatin1String("double"), Qt::CaseInsensitive) != 0)
            return nullptr;
        auto f = std::make_shared<CFormulaDetail>();
        f->name = QStringLiteral("DOUBLE");
        f->lineNames = {QStringLiteral("X2")};
        f->lineTypes = {0};
        return f;
    }

    bool evaluateFormula(const QString& name, const std::map<std::string, double>&,
                         const std::vector<quoter::KLineData>& bars, CFormulaSeries& out) override
    {
        if (name != QLatin1String("DOUBLE"))
            return false;
        out.values.assign(1, {});
        out.texts.assign(1, {});
        for (const quoter::KLineData& b : bars)
            out.values[0].push_back(2 * b.close);
        return true;
    }

    int catalogueLoads = 0;
    std::vector<int> unsubscribed;

private:
    struct Sub {
        dorn::PushQuoteParam param;
        PushCallback callback;
        EPushMode mode;
    };
    QStringList m_codes;
    mutable std::mutex m_mutex;
    std::map<int, Sub> m_subs;
    int m_nextId = 100; // unlike the ids the service hands out
};

IMarketBackend::PushCallback counter(int* calls)
{
    return [calls](dorn::PushQuoteParam&, const QVector<QString>&, const QVector<QString>&,
                   const std::vector<quoter::QuoterAllDataPtr>&) { ++*calls; };
}

} // namespace

class TestMarketBackend : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { setMarketBackend(nullptr); }

    void servicesAnswerEmptyWithoutBackend()
    {
        setMarketBackend(nullptr);
        QVERIFY(!marketBackend());
        CStockManager* sm = CStockManager::instance();
        QVERIFY(!sm->ensureLoaded());
        QVERIFY2(sm->loadError().contains(QLatin1String("backend")), qPrintable(sm->loadError()));
        QVERIFY(sm->allInstruments().empty());
        QVERIFY(!sm->getInstrumentDetail(QStringLiteral("SH"), QStringLiteral("600000")));

        QVERIFY(!getLastQuoterAllDataPtr(QStringLiteral("SH"), QStringLiteral("600000")));
        QVERIFY(!dorn::getQuoter(std::string("SH"), std::string("600000")));

        CFormulaManager* fm = CFormulaManager::instance();
        int calls = 0;
        QCOMPARE(fm->requestPushQuoter(dorn::PushQuoteParam("SH"), counter(&calls)), -1);
        QCOMPARE(fm->pushSubscriptionCount(), 0);
        const std::vector<quoter::QuoterAllDataPtr> cached = fm->subPushQuoterFromCache(
            dorn::PushQuoteParam("SH"), std::vector<std::string>{"600000", "600001"});
        QCOMPARE(cached.size(), size_t(2));
        QVERIFY(!cached[0] && !cached[1]);

        QVERIFY(!CFormulaOperateManager::instance()->getFormula(QStringLiteral("MA")));
        QVERIFY(CFormulaOperateManager::instance()->formulaNames().empty());
        CFormulaParam param;
        param.market = QStringLiteral("SH");
        param.code = QStringLiteral("600000");
        param.formulaName = QStringLiteral("MA");
        QVERIFY(fm->evaluate(param)->errorCode != 0);

        se::RPCFetchCacheDataParam fetch;
        fetch.market = "SH";
        fetch.codes = {"600000"};
        fetch.quoterType = se::kQuoterTypeBar;
        int fetched = -1;
        fm->fetchCacheData(fetch,
                           [&](std::map<std::string, std::vector<quoter::QuoterBasePtr>>& data) {
                               fetched = static_cast<int>(data.size());
                           });
        QCOMPARE(fetched, 0);
        QCOMPARE(se::IndexData::getSingleValue(QStringLiteral("600000.SH"), QStringLiteral("收盘"),
                                               86400),
                 std::numeric_limits<double>::max());

        quoter::TRegionInfo region;
        region.keys = {"600000.SH"};
        int values = -1;
        const long long id = fm->requestIndex(
            region, CFormulaManager::IndexIdCallback(),
            [&](const std::map<std::string, quoter::QuoterBasePtr>& v) { values = int(v.size()); });
        QCOMPARE(values, 0);
        fm->unrequestIndex(id);
    }

    void servicesCallTheInstalledBackend()
    {
        auto backend = std::make_shared<FakeBackend>(QStringList{"600000", "600001"});
        QSignalSpy reset(CStockManager::instance(), &CStockManager::sigUniverseReset);
        setMarketBackend(backend);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(marketBackend(), MarketBackendPtr(backend));

        CStockManager* sm = CStockManager::instance();
        QVERIFY(sm->ensureLoaded());
        QCOMPARE(backend->catalogueLoads, 1);
        QCOMPARE(int(sm->allInstruments().size()), 2);
        QVERIFY(sm->getInstrumentDetail(QStringLiteral("SH"), QStringLiteral("600001")));
        // installing the same backend again keeps what was loaded
        setMarketBackend(backend);
        QVERIFY(sm->ensureLoaded());
        QCOMPARE(backend->catalogueLoads, 1);

        const quoter::QuoterAllDataPtr q =
            getLastQuoterAllDataPtr(QStringLiteral("SH"), QStringLiteral("600000"));
        QVERIFY(q);
        QCOMPARE(q->last, 10.5);
        QVERIFY(dorn::getQuoter(QStringLiteral("SH"), QStringLiteral("600001")));
        QVERIFY(!dorn::getQuoter(QStringLiteral("SZ"), QStringLiteral("600001")));

        CFormulaManager* fm = CFormulaManager::instance();
        int changed = 0, all = 0;
        const int a = fm->requestPushQuoter(dorn::PushQuoteParam("SH"), counter(&changed));
        const int b = fm->requestPushQuoter(dorn::PushQuoteParam("SH"), counter(&all),
                                            CFormulaManager::ePushAll);
        QVERIFY(a > 0 && b > 0 && a != b);
        QCOMPARE(fm->pushSubscriptionCount(), 2);
        QCOMPARE(backend->fire("SH", IMarketBackend::ePushChanged), 1);
        QCOMPARE(backend->fire("SH", IMarketBackend::ePushAll), 1);
        QCOMPARE(changed, 1);
        QCOMPARE(all, 1);
        fm->unrequestPushQuoter(a, dorn::PushQuoteParam("SH"));
        fm->unrequestPushQuoter(a, dorn::PushQuoteParam("SH")); // twice: no second call
        QCOMPARE(backend->unsubscribed, std::vector<int>{100});
        QCOMPARE(backend->fire("SH", IMarketBackend::ePushChanged), 0);
        fm->unrequestPushQuoter(b, dorn::PushQuoteParam("SH"));
        QCOMPARE(fm->pushSubscriptionCount(), 0);

        QVERIFY(CFormulaOperateManager::instance()->getFormula(QStringLiteral("double")));
        CFormulaParam param;
        param.market = QStringLiteral("SH");
        param.code = QStringLiteral("600000");
        param.formulaName = QStringLiteral("DOUBLE");
        param.period = 0;
        const se::RPCFormulaResultPtr r = fm->evaluate(param);
        QCOMPARE(r->errorCode, 0);
        QCOMPARE(r->doubleValues.size(), size_t(1));
        QCOMPARE(r->doubleValues[0], (std::vector<double>{20.0, 22.0, 24.0}));
        param.code = QStringLiteral("999999");
        QVERIFY(fm->evaluate(param)->errorCode != 0);
    }

    void replacedBackendKeepsItsSubscriptions()
    {
        auto first = std::make_shared<FakeBackend>(QStringList{"600000"});
        auto second = std::make_shared<FakeBackend>(QStringList{"600000", "600001", "600002"});
        setMarketBackend(first);
        CFormulaManager* fm = CFormulaManager::instance();
        int calls = 0;
        const int id = fm->requestPushQuoter(dorn::PushQuoteParam("SH"), counter(&calls));
        QVERIFY(id > 0);

        setMarketBackend(second);
        // the catalogue follows the new backend
        QCOMPARE(int(CStockManager::instance()->allInstruments().size()), 3);
        QCOMPARE(fm->pushSubscriptionCount(), 0);
        fm->unrequestPushQuoter(id, dorn::PushQuoteParam("SH"));
        QCOMPARE(first->unsubscribed, std::vector<int>{100});
        QVERIFY(second->unsubscribed.empty());
        QCOMPARE(first->fire("SH", IMarketBackend::ePushChanged), 0);
        QCOMPARE(calls, 0);
    }
};

QTEST_GUILESS_MAIN(TestMarketBackend)
#include "tst_marketbackend.moc"
