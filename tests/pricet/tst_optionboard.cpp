// The T-board widget offscreen over a small market: months and rows of an underlying,
// live quotes through the whole-quote model, the information and expiry lines, tabs
// with their own layouts, side and range selection with the events sent, the month
// switch against late deliveries of the old month, and destruction while pushes arrive.
#include "pricet/COptionPriceTBrowseWidget.h"

#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/IndexMainWindowHelper.h"
#include "host/data/IndexUserConfig.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/NumberFormat.h"
#include "pricet/CHpfOptionBrowserData.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <QtTest>

#include <QAction>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <thread>

using namespace TC;
using ttmarket::TestMarket;

namespace {

struct SentEvent {
    int id, a, b;
    QString text;
    void* p;
};

ttservice::CInstrumentDetailPtr option(const QString& code, bool call, double strike, int ymd)
{
    auto d = std::make_shared<ttservice::CInstrumentDetail>();
    d->market = QStringLiteral("SHO");
    d->code = code;
    d->key = XP::nvStockKey(d->market, code);
    d->name = QStringLiteral("50ETF%1%2月%3")
                  .arg(call ? QStringLiteral("购") : QStringLiteral("沽"))
                  .arg(ymd / 100 % 100)
                  .arg(qRound(strike * 1000));
    d->type = ttservice::eInstrOption;
    d->optUnderlyingMarket = QStringLiteral("SH");
    d->optUnderlyingCode = QStringLiteral("510050");
    d->isCall = call;
    d->strike = strike;
    d->expiryYmd = ymd;
    d->expiryDate = CStockManager::dateFromYmd(ymd / 10000, ymd / 100 % 100, ymd % 100);
    d->contractUnit = 10000;
    d->histVolatility = 0.2;
    d->riskFreeRate = 0.02;
    d->preSettlement = d->refPrice = 0.1;
    d->priceStep = 0.0001;
    d->tradeUnit = 1;
    return d;
}

// Codes: 1000 + month (6 or 7) * 100 + strike index * 2 + put
QString codeOf(int month, int strikeIndex, bool put)
{
    return QString::number(10000000 + month * 100 + strikeIndex * 2 + (put ? 1 : 0));
}

const double kStrikes[] = {2.4, 2.5, 2.6};

CHpfOptionBrowserData* rowAt(COptionPriceTBrowseWidget& w, int i)
{
    return static_cast<CHpfOptionBrowserData*>(w.model()->getData(i).get());
}

int rowOfStrike(COptionPriceTBrowseWidget& w, double strike)
{
    for (int i = 0; i < w.model()->size(); ++i)
        if (std::fabs(rowAt(w, i)->m_dCallStrike - strike) < 1e-9)
            return i;
    return -1;
}

} // namespace

class TestOptionBoard : public QObject {
    Q_OBJECT

    std::vector<SentEvent> m_events;
    std::unique_ptr<COptionPriceTBrowseWidget> m_w;

    void push(const QString& market, const QString& code, const quoter::QuoterAllData& q)
    {
        QVERIFY(TestMarket::setQuote(market, code, q));
        TestMarket::firePush(market);
        m_w->slotBrowserRefreshTimeOut();
    }

    std::vector<SentEvent> eventsOf(int id) const
    {
        std::vector<SentEvent> out;
        for (const auto& e : m_events)
            if (e.id == id)
                out.push_back(e);
        return out;
    }

    void open()
    {
        m_w.reset(new COptionPriceTBrowseWidget());
        m_w->resize(1400, 500);
        m_w->show();
        QVERIFY(m_w->selectUnderlying(QStringLiteral("510050.SH")));
        QTRY_VERIFY(m_w->wholeQuoteModel()->subscriptionCount() == 2);
    }

private Q_SLOTS:
    void init()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        std::vector<ttservice::CInstrumentDetailPtr> u;
        u.push_back(TestMarket::stock("SH", "510050", "50ETF", 2.5, 0.001));
        for (int month : {6, 7}) {
            const int ymd = month == 6 ? 20240626 : 20240724;
            for (int i = 0; i < 3; ++i) {
                u.push_back(option(codeOf(month, i, false), true, kStrikes[i], ymd));
                u.push_back(option(codeOf(month, i, true), false, kStrikes[i], ymd));
            }
        }
        // bad input: expired, unparsable expiry, strike 0 and a short code
        u.push_back(option(QStringLiteral("10009901"), true, 2.5, 20240531));
        u.push_back(option(QStringLiteral("10009902"), true, 2.5, 20241399));
        u.push_back(option(QStringLiteral("10009903"), true, 0.0, 20240626));
        u.push_back(option(QStringLiteral("10009"), true, 2.7, 20240626));
        TestMarket::install(u);
        m_events.clear();
        XP::CEventSink::setHandler(
            [this](QObject*, int id, int a, int b, const QString& text, void* p) {
                m_events.push_back({id, a, b, text, p});
                return true;
            });
    }

    void cleanup()
    {
        m_w.reset();
        XP::CEventSink::clearHandler();
        TestMarket::restore();
    }

    // Months of unexpired contracts with parsable dates, the rows of the first month in
    // strike order, the expiry line and the information line.
    void monthsAndRows()
    {
        open();
        QCOMPARE(m_w->monthExpiries(), QStringList({"20240626", "20240724"}));
        QCOMPARE(m_w->selectedExpiry(), QStringLiteral("20240626"));
        QCOMPARE(m_w->optionMode(), 32);
        QCOMPARE(m_w->contractMultiplier(), 10000);
        // 2.4, 2.5, 2.6 and the strike-0 contract's own row
        QCOMPARE(m_w->model()->size(), 4);
        const int r = rowOfStrike(*m_w, 2.5);
        QVERIFY(r >= 0);
        QCOMPARE(rowAt(*m_w, r)->m_qsCallCode, codeOf(6, 1, false));
        QCOMPARE(rowAt(*m_w, r)->m_qsPutCode, codeOf(6, 1, true));
        QCOMPARE(rowAt(*m_w, r)->getText(3), QStringLiteral("欧式"));
        QVERIFY(rowOfStrike(*m_w, 2.4) < r && r < rowOfStrike(*m_w, 2.6));
        // 2024-06-07 to 2024-06-26: 19 natural days, 13 trading days
        QCOMPARE(m_w->expiryLine(),
                 QStringLiteral("到期日20240626; 剩余19个自然日,%1个交易日;合约乘数10000")
                     .arg(CStockDateHelper::getTradeDay(2024, 6, 7, 2024, 6, 26)));
        QVERIFY(m_w->infoTexts().at(0).startsWith(QStringLiteral("50ETF (历波:")));
        QVERIFY(!m_w->isOpenInterestShown());
        QVERIFY(!m_w->selectUnderlying(QString()));
        QVERIFY(!m_w->selectUnderlying(QStringLiteral("999999.SH")));
        QCOMPARE(m_w->underlyingKey(), QStringLiteral("510050.SH"));
    }

    // Index options: futures-option mode, multiplier 100, call and put of a series and
    // strike in one row, open interest in the information line.
    void indexOptions()
    {
        std::vector<ttservice::CInstrumentDetailPtr> u;
        auto index = TestMarket::stock("SH", "000300", "沪深300", 3500, 0.01);
        index->type = ttservice::eInstrIndex;
        u.push_back(index);
        for (bool call : {true, false}) {
            for (double k : {3400.0, 3500.0}) {
                auto d = option(QStringLiteral("IO2406-%1-%2")
                                    .arg(call ? QLatin1Char('C') : QLatin1Char('P'))
                                    .arg(int(k)),
                                call, k, 20240621);
                d->market = QStringLiteral("CFFEX");
                d->key = XP::nvStockKey(d->market, d->code);
                d->name = QStringLiteral("沪深300%1").arg(call ? "购" : "沽");
                d->optUnderlyingCode = QStringLiteral("000300");
                d->contractUnit = 100;
                d->priceStep = 0.2;
                u.push_back(d);
            }
        }
        TestMarket::install(u);
        m_w.reset(new COptionPriceTBrowseWidget());
        QVERIFY(m_w->selectUnderlying(QStringLiteral("000300.SH")));
        QCOMPARE(m_w->optionMode(), 1024);
        QCOMPARE(m_w->contractMultiplier(), 100);
        QVERIFY(m_w->isOpenInterestShown());
        QCOMPARE(m_w->model()->size(), 2);
        CHpfOptionBrowserData* row = rowAt(*m_w, rowOfStrike(*m_w, 3500));
        QCOMPARE(row->getKey(), QStringLiteral("IO2406_3500.0000"));
        QCOMPARE(row->m_qsCallCode, QStringLiteral("IO2406-C-3500"));
        QCOMPARE(row->m_qsPutCode, QStringLiteral("IO2406-P-3500"));
        QCOMPARE(row->getText(53), QStringLiteral("美式"));
        QVERIFY(m_w->expiryLine().endsWith(QStringLiteral("合约乘数100")));

        // digit grouping switched on while the board is open: updates still find the row
        CUserConfig* cfg = getUserConfig();
        const int flags = cfg->getSegmentedFormatFlag();
        cfg->setSegmentedFormatFlag(XP::FMT_SEGMENT);
        m_w->slotBrowserRefreshTimeOut();
        dorn::PushQuoteParam p("CFFEX");
        m_w->formulaPushQuoteBack(
            p, {QStringLiteral("IO2406-C-3500")}, {},
            {std::make_shared<quoter::QuoterAllData>(TestMarket::quote(88.4, 80.0))}, true);
        cfg->setSegmentedFormatFlag(flags);
        QCOMPARE(row->m_dCallLast, 88.4);
    }

    // A past trading day shown by the container: rows without quotes, no subscription.
    void pastTradeDate()
    {
        m_w.reset(new COptionPriceTBrowseWidget());
        m_w->setCurrentTradeDateFunc(
            []() { return int64_t(CStockManager::dateFromYmd(2024, 6, 3)); });
        QVERIFY(m_w->selectUnderlying(QStringLiteral("510050.SH")));
        QCOMPARE(m_w->model()->size(), 4);
        QCoreApplication::processEvents();
        QCOMPARE(m_w->wholeQuoteModel()->subscriptionCount(), 0);
        QCOMPARE(rowAt(*m_w, rowOfStrike(*m_w, 2.5))->getText(26), QStringLiteral("-"));
        // today's trading day is the latest
        m_w->setCurrentTradeDateFunc(
            []() { return int64_t(CStockManager::dateFromYmd(2024, 6, 7)); });
        QVERIFY(m_w->selectMonth(QStringLiteral("20240724")));
        QTRY_COMPARE(m_w->wholeQuoteModel()->subscriptionCount(), 2);
        QVERIFY(rowAt(*m_w, rowOfStrike(*m_w, 2.5))->getText(26) != QStringLiteral("-"));
    }

    // The refresh timer follows the configured interval.
    void refreshInterval()
    {
        m_w.reset(new COptionPriceTBrowseWidget());
        CIndexUserConfig* cfg = SingletonManager::getIndexUserConfig();
        const int old = cfg->getRefreshInterval();
        cfg->setRefreshInterval(old + 250);
        QTRY_COMPARE(m_w->refreshInterval(), old + 250);
        cfg->setRefreshInterval(old);
        QTRY_COMPARE(m_w->refreshInterval(), old);
    }

    // The row menu: the selected side's contract goes to the sector analysis, and the
    // selected codes to a user sector.
    void rowMenuCommands()
    {
        QTemporaryDir dir;
        qputenv("TT_USER_DIR", dir.path().toUtf8());
        const QString sector = QStringLiteral("期权测试");
        CSectorManager::instance()->addUserSector(sector);
        open();
        m_w->addSelfSectorMenu();
        const int r = rowOfStrike(*m_w, 2.5);
        int column = 27;
        m_w->handleEvent(47, 1000, r, QString(), &column);
        column = 30;
        m_w->handleEvent(47, 1000, r, QString(), &column);
        QAction* contrast = nullptr;
        QAction* add = nullptr;
        for (QAction* a : m_w->findChildren<QAction*>()) {
            if (a->text() == QStringLiteral("所属板块分析"))
                contrast = a;
            if (a->text() == sector)
                add = a;
        }
        QVERIFY(contrast && add);
        CIndexMainWindowHelper::inst()->clearRequests();
        contrast->trigger();
        QCOMPARE(CIndexMainWindowHelper::inst()->contrastRequests(),
                 QStringList{codeOf(6, 1, true)});
        add->trigger();
        const QStringList keys = CSectorManager::instance()->getSector(sector)->getStockKeys();
        CSectorManager::instance()->removeUserSector(sector);
        QVERIFY(keys.contains(XP::nvStockKey(QStringLiteral("SHO"), codeOf(6, 1, false))));
        QVERIFY(keys.contains(XP::nvStockKey(QStringLiteral("SHO"), codeOf(6, 1, true))));
        QCOMPARE(keys.size(), 2);
    }

    // Pushes reach the rows on the refresh tick: quotes, computed values, the underlying's
    // 64-bit volume, strike positions and in-the-money backgrounds.
    void liveQuotes()
    {
        open();
        quoter::QuoterAllData und = TestMarket::quote(2.55, 2.5, Q_INT64_C(3000000000));
        push("SH", "510050", und);
        QCOMPARE(m_w->underlyingPrice(), 2.55);
        QCOMPARE(m_w->infoTexts().at(1), QStringLiteral("2.5500"));
        QCOMPARE(m_w->infoTexts().at(3), QStringLiteral("3000000000"));
        QCOMPARE(m_w->infoTexts().at(4), QString()); // open interest: futures options only

        quoter::QuoterAllData q = TestMarket::quote(0.12, 0.1, 250);
        q.preSettlement = 0.1;
        push("SHO", codeOf(6, 1, false), q);
        CHpfOptionBrowserData* row = rowAt(*m_w, rowOfStrike(*m_w, 2.5));
        QCOMPARE(row->getText(26), QStringLiteral("0.1200"));
        QCOMPARE(row->getText(25), QStringLiteral("0.0200"));
        QCOMPARE(row->getText(24), QStringLiteral("20.00%"));
        QCOMPARE(row->getText(21), QStringLiteral("250"));
        QCOMPARE(row->getText(17), QStringLiteral("0.0500"));
        QCOMPARE(row->getText(16), QStringLiteral("0.0700"));
        QVERIFY(row->m_dCallImpliedVolatility > 0.1 && row->m_dCallImpliedVolatility < 0.6);
        QVERIFY(row->m_dCallDelta > 0.5 && row->m_dCallDelta < 1.0);
        QVERIFY(row->m_dCallMargin > 0 && row->m_dCallMargin < 1e5);
        QVERIFY(row->getBackgroundColor(26)); // 2.5 < 2.55: the call is in the money
        QCOMPARE(row->m_nStrikePosition, 2);
        QCOMPARE(rowAt(*m_w, rowOfStrike(*m_w, 2.6))->m_nStrikePosition, 1);

        // an untraded put without quotes shows "-", not -100 %
        quoter::QuoterAllData none = TestMarket::quote(0.0, 0.1, 0);
        for (int i = 0; i < 5; ++i)
            none.bidPrice[i] = none.askPrice[i] = 0;
        push("SHO", codeOf(6, 2, true), none);
        CHpfOptionBrowserData* put = rowAt(*m_w, rowOfStrike(*m_w, 2.6));
        QCOMPARE(put->getText(30), QStringLiteral("-"));
        QCOMPARE(put->getText(32), QStringLiteral("-"));

        // a quote of another trading day is not valid for the time: values stay unset
        quoter::QuoterAllData old = TestMarket::quote(0.2, 0.1, 10);
        old.time = TestMarket::at(2024, 6, 6, 10, 0);
        push("SHO", codeOf(6, 0, false), old);
        QCOMPARE(rowAt(*m_w, rowOfStrike(*m_w, 2.4))->getText(26), QStringLiteral("-"));
    }

    // Each tab keeps its own column layout; the parameter string carries all of them.
    void tabsKeepLayouts()
    {
        open();
        XP::IBaseTable* t = m_w->table();
        QVERIFY(t->isColumnVisible(22) && !t->isColumnVisible(12) && !t->isColumnVisible(7));
        m_w->handleEvent(5, 1, 0, QString(), nullptr);
        QCOMPARE(m_w->currentTab(), 1);
        QVERIFY(t->isColumnVisible(12) && !t->isColumnVisible(22) && t->isColumnVisible(19));
        t->setColumnWidth(19, 131);
        m_w->handleEvent(5, 0, 0, QString(), nullptr);
        t->setColumnWidth(19, 77);
        m_w->handleEvent(5, 2, 0, QString(), nullptr);
        QVERIFY(t->isColumnVisible(7) && !t->isColumnVisible(19));
        m_w->handleEvent(5, 1, 0, QString(), nullptr);
        QCOMPARE(t->columnWidth(19), 131);
        m_w->handleEvent(5, 0, 0, QString(), nullptr);
        QCOMPARE(t->columnWidth(19), 77);
        for (int c : {20, 21, 24, 26, 27, 28, 29, 30, 32, 35, 36})
            for (int tab = 0; tab < 4; ++tab)
                QVERIFY(COptionPriceTBrowseWidget::isColumnShown(tab, c));

        const QString param = m_w->getParam();
        COptionPriceTBrowseWidget other;
        other.setParam(param);
        QCOMPARE(other.currentTab(), 0);
        QCOMPARE(other.table()->columnWidth(19), 77);
        other.handleEvent(5, 1, 0, QString(), nullptr);
        QCOMPARE(other.table()->columnWidth(19), 131);
        other.setParam(QStringLiteral("{not json"));
        QCOMPARE(other.currentTab(), 1);
    }

    // Column 28 and below is the call side; a click without a column uses the last
    // clicked one; range selection adds the side's codes; events go to the host.
    void sideAndRangeSelection()
    {
        open();
        const int r = rowOfStrike(*m_w, 2.5);
        int column = 28;
        m_w->handleEvent(47, 1000, r, QString(), &column);
        QVERIFY(m_w->isCallSide());
        QCOMPARE(m_w->selectedRow(), r);
        column = 29;
        m_w->handleEvent(47, 1000, r, QString(), &column);
        QVERIFY(!m_w->isCallSide());
        m_w->handleEvent(47, 1000, r, QString(), nullptr); // the last clicked column: put
        QVERIFY(!m_w->isCallSide());
        const auto selected = eventsOf(47);
        QCOMPARE(int(selected.size()), 3);
        QCOMPARE(selected[0].text, codeOf(6, 1, false));
        QCOMPARE(selected[2].text, codeOf(6, 1, true));
        QCOMPARE(selected[2].b, r);
        QCOMPARE(int(eventsOf(3083).size()), 3);
        QCOMPARE(eventsOf(3083)[0].text, codeOf(6, 1, false));

        // a real click on a put cell reports the put's code
        const QModelIndex idx = m_w->table()->model()->index(1, 32);
        m_w->table()->scrollTo(idx);
        QTest::mouseClick(m_w->table()->viewport(), Qt::LeftButton, {},
                          m_w->table()->visualRect(idx).center());
        QCOMPARE(m_w->lastClickedColumn(), 32);
        QCOMPARE(eventsOf(47).back().text, rowAt(*m_w, 1)->m_qsPutCode);

        // range on the put side from row 0 to 2
        m_events.clear();
        m_w->handleEvent(48, 1000, 2, QStringLiteral("1"), nullptr);
        QSet<QString> puts;
        for (int i = 1; i <= 2; ++i)
            puts.insert(rowAt(*m_w, i)->m_qsPutCode);
        for (const QString& code : puts)
            QVERIFY(m_w->selectedCodes().contains(code));
        const int before = m_w->selectedCodes().size();
        column = 5;
        m_w->handleEvent(48, 1000, 3, QStringLiteral("0"), &column); // anchor 0: just the row
        QCOMPARE(m_w->selectedCodes().size(), before + 1);
        QVERIFY(m_w->selectedCodes().contains(rowAt(*m_w, 3)->m_qsCallCode));

        // open: the side's code and its instrument record
        m_w->handleEvent(49, 1000, r, QStringLiteral("30"), nullptr);
        const auto opened = eventsOf(49);
        QCOMPARE(int(opened.size()), 1);
        QCOMPARE(opened[0].text, codeOf(6, 1, true));
        QCOMPARE(static_cast<ttservice::CInstrumentDetail*>(opened[0].p)->code, codeOf(6, 1, true));

        // the month switch clears the selection
        QVERIFY(m_w->selectMonth(QStringLiteral("20240724")));
        QCOMPARE(m_w->selectedRow(), -1);
        QVERIFY(m_w->isCallSide());
        QVERIFY(m_w->selectedCodes().isEmpty());
    }

    // After a month switch a late delivery of the old month, on the GUI thread or posted
    // from a host thread, lands in no row, although the strike's row key is the same.
    void monthSwitchWithLateDelivery()
    {
        open();
        quoter::QuoterAllData und = TestMarket::quote(2.55, 2.5);
        push("SH", "510050", und);
        const auto model = m_w->wholeQuoteModel();
        // posted from a host thread before the switch, delivered after it
        std::thread host([&] {
            dorn::PushQuoteParam p("SHO");
            model->onPushQuote(
                p, {codeOf(6, 1, false)}, {QStringLiteral("SHO")},
                {std::make_shared<quoter::QuoterAllData>(TestMarket::quote(0.3, 0.1))});
        });
        host.join();
        QVERIFY(m_w->selectMonth(QStringLiteral("20240724")));
        QCOMPARE(m_w->selectedExpiry(), QStringLiteral("20240724"));
        const int r = rowOfStrike(*m_w, 2.5);
        QVERIFY(r >= 0);
        QCOMPARE(rowAt(*m_w, r)->m_qsCallCode, codeOf(7, 1, false));
        const quint64 handled = m_w->pushCount();
        QTRY_VERIFY(m_w->pushCount() > handled); // the posted delivery ran
        dorn::PushQuoteParam p("SHO");
        m_w->formulaPushQuoteBack(
            p, {codeOf(6, 1, false)}, {},
            {std::make_shared<quoter::QuoterAllData>(TestMarket::quote(0.3, 0.1))}, true);
        QVERIFY(rowAt(*m_w, r)->getText(26) != QStringLiteral("0.3000"));
        for (int i = 0; i < m_w->model()->size(); ++i)
            QVERIFY(std::fabs(rowAt(*m_w, i)->m_dCallLast - 0.3) > 1e-9);

        // the subscriptions are renewed for the new month, whose contracts do land
        QTRY_VERIFY(m_w->wholeQuoteModel()->subscriptionCount() == 2);
        quoter::QuoterAllData q = TestMarket::quote(0.15, 0.1);
        push("SHO", codeOf(7, 1, false), q);
        QCOMPARE(rowAt(*m_w, r)->getText(26), QStringLiteral("0.1500"));
    }

    // A storm of pushes from a host thread while months switch back and forth: no crash,
    // and every row only ever holds its own contracts' quotes.
    void pushStormDuringMonthSwitch()
    {
        open();
        const auto model = m_w->wholeQuoteModel();
        std::atomic<bool> stop{false};
        std::thread host([&] {
            int n = 0;
            while (!stop.load()) {
                dorn::PushQuoteParam p("SHO");
                const int month = n % 2 ? 6 : 7;
                const double price = month == 6 ? 0.06 : 0.07;
                QVector<QString> codes;
                std::vector<quoter::QuoterAllDataPtr> quotes;
                for (int i = 0; i < 3; ++i) {
                    codes.append(codeOf(month, i, false));
                    quotes.push_back(
                        std::make_shared<quoter::QuoterAllData>(TestMarket::quote(price, 0.1)));
                }
                model->onPushQuote(p, codes, {}, quotes);
                ++n;
            }
        });
        for (int i = 0; i < 20; ++i) {
            m_w->selectMonth(i % 2 ? QStringLiteral("20240626") : QStringLiteral("20240724"));
            QCoreApplication::processEvents();
        }
        stop = true;
        host.join();
        QCoreApplication::processEvents();
        const bool june = m_w->selectedExpiry() == QLatin1String("20240626");
        for (int i = 0; i < m_w->model()->size(); ++i) {
            // the storm's price of the row's month, or the market's own quote from the cache
            const CHpfOptionBrowserData* row = rowAt(*m_w, i);
            const double last = row->m_dCallLast;
            const auto cached = TestMarket::lastQuote(QStringLiteral("SHO"), row->m_qsCallCode);
            QVERIFY(cached);
            QVERIFY2(std::fabs(last - (june ? 0.06 : 0.07)) < 1e-9
                         || std::fabs(last - cached->last) < 1e-9,
                     qPrintable(QString::number(last)));
        }
    }

    // Destroyed while the feed thread pushes and a host thread delivers directly: the
    // subscriptions are released, the queue does not grow, nothing reaches the board.
    void destroyWhilePushing()
    {
        open();
        TestMarket::startFeed(2);
        const boost::shared_ptr<CWholeQuoteModel> model = m_w->wholeQuoteModel();
        std::atomic<bool> stop{false};
        std::thread host([&] {
            while (!stop.load()) {
                dorn::PushQuoteParam p("SHO");
                model->onPushQuote(
                    p, {codeOf(6, 0, false)}, {},
                    {std::make_shared<quoter::QuoterAllData>(TestMarket::quote(0.2, 0.1))});
            }
        });
        QTRY_VERIFY(m_w->pushCount() > 20);
        m_w.reset();
        QCOMPARE(model->subscriptionCount(), 0);
        const int queued = model->queuedCount();
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        stop = true;
        host.join();
        TestMarket::stopFeed();
        QCOMPARE(model->queuedCount(), queued);
        QCOMPARE(model.use_count(), 1L);
    }
};

QTEST_MAIN(TestOptionBoard)
#include "tst_optionboard.moc"
