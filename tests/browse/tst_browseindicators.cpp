// Indicator columns of the browse table: the request queue and its batches on the worker
// thread, header progress, condition columns and sectors, what a finished batch tells the
// host, the value cache, the live last-value subscription, bad input, and destruction
// while a batch is in flight.
//
// The formula service evaluates through a gated backend: the test hands out evaluation
// permits, so a worker can be held at a known request while results it already delivered
// wait, unprocessed, in the GUI thread's queue.
#include "browse/CBrowseWidget.h"

#include "BrowseTestMarket.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/MarketBackend.h"
#include "host/data/MultiStockManager.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/UserConfig.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/MessageBox.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"

#include <QtTest>

#include <QApplication>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;

namespace {

// Delegates to the embedded market; evaluations wait for permits and may be tampered.
class GateBackend : public browsetest::ForwardingBackend {
public:
    using ForwardingBackend::ForwardingBackend;

    std::vector<QString> formulaNames() override { return m_inner->formulaNames(); }
    CFormulaDetailPtr formula(const QString& name) override { return m_inner->formula(name); }

    bool evaluateFormula(const QString& name, const std::map<std::string, double>& params,
                         const std::vector<quoter::KLineData>& bars, CFormulaSeries& out) override
    {
        double tamper = 0;
        bool tampered = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            while (m_permits == 0) {
                ++m_waiting;
                m_cv.notify_all();
                m_cv.wait(lock);
                --m_waiting;
            }
            if (m_permits > 0)
                --m_permits;
            ++m_evaluations;
            if (!bars.empty()) {
                auto it = m_tamper.find(bars.back().close);
                tampered = it != m_tamper.end();
                if (tampered)
                    tamper = it->second;
            }
        }
        const bool ok = m_inner->evaluateFormula(name, params, bars, out);
        if (ok && tampered) {
            for (auto& line : out.values) {
                if (!line.empty())
                    line.back() = tamper;
            }
        }
        return ok;
    }

    // -1: unlimited.
    void setPermits(int n)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_permits = n;
        m_cv.notify_all();
    }
    void grant(int n)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_permits = std::max(m_permits, 0) + n;
        m_cv.notify_all();
    }
    // Waits until n evaluations have run and a worker waits for the next permit.
    bool waitForHeld(int n)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                             [&] { return m_evaluations == n && m_waiting >= 1; });
    }
    int evaluations()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_evaluations;
    }
    // The last value of every line becomes v for series whose last close is close.
    void tamperLast(double close, double v)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tamper[close] = v;
    }
    // Unlimited permits, no tampering, the evaluation count back to 0.
    void reset()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_permits = -1;
        m_evaluations = 0;
        m_tamper.clear();
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_permits = -1;
    int m_waiting = 0;
    int m_evaluations = 0;
    std::map<double, double> m_tamper;
};

const QStringList kCodes = {"600000", "600004", "600009", "600010",
                            "600011", "600015", "600016", "600018"};

// MA over the last n daily closes, as the formula defines it.
double expectedMa(const QString& code, int n)
{
    const auto bars = ttmarket::EmbeddedMarket::instance()->dailyBars("SH", code.toStdString());
    if (int(bars.size()) < n)
        return std::numeric_limits<double>::quiet_NaN();
    double sum = 0;
    for (size_t i = bars.size() - size_t(n); i < bars.size(); ++i)
        sum += bars[i].close;
    return sum / n;
}

// Adds an MA column; returns its id.
int addMa(CBrowseWidget& w, const QString& title, int line, int lineSetting = 0)
{
    ColumnInfo c = maColumn(title, line, lineSetting);
    return w.addCustomIndex(c);
}

// An MA5 column that collects the rows passing op against threshold into sector.
ColumnInfo conditionColumn(int op, double threshold, const QString& sector, bool reset = false)
{
    ColumnInfo c = maColumn(QStringLiteral("MA5"), 0);
    c.conditionEnabled = true;
    c.conditionOperator = op;
    c.conditionThreshold = threshold;
    c.conditionSector = sector;
    c.conditionReset = reset;
    return c;
}

QStringList sorted(QStringList keys)
{
    std::sort(keys.begin(), keys.end());
    return keys;
}

bool near(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}

// A table filled with the test rows, with a spy on its finished batches.
struct FilledWidget : CBrowseWidget {
    explicit FilledWidget(const InstrumentList& list) { fill(list); }
    void fill(const InstrumentList& list)
    {
        setSectorName(QStringLiteral("测试板块"));
        setStockList(list, false);
    }
    QSignalSpy done{this, &CBrowseWidget::sigIndicatorBatchDone};
};

// Counts the row look-ups of laid results, also after the widget is gone.
std::atomic<int> g_lookups{0};

class CountingBrowseWidget : public FilledWidget {
public:
    using FilledWidget::FilledWidget;
    void getBrowserDataByStockCode(const std::string& key, std::vector<HpfBrowserDataPtr>& out,
                                   const QString& account) override
    {
        ++g_lookups;
        CBrowseWidget::getBrowserDataByStockCode(key, out, account);
    }
};

} // namespace

class TstBrowseIndicators : public QObject {
    Q_OBJECT
    std::shared_ptr<GateBackend> m_gate;
    CBrowseWidget::InstrumentList m_list;

    // The values cached for a column title in the test sector.
    static QMap<QString, double>& cached(CBrowseWidget& w, const QString& title)
    {
        return w.customIndexValues()[QStringLiteral("测试板块")][title];
    }

    // Queues MA5 then MA10 with permits evaluations allowed; returns their ids.
    std::pair<int, int> startMa5ThenMa10(CBrowseWidget& w, int permits)
    {
        ColumnInfo ma5 = maColumn(QStringLiteral("MA5"), 0);
        ColumnInfo ma10 = maColumn(QStringLiteral("MA10"), 1);
        const std::pair<int, int> ids{w.addCustomIndex(ma5), w.addCustomIndex(ma10)};
        m_gate->setPermits(permits);
        w.pushBackRequestTask(ma5);
        w.pushBackRequestTask(ma10);
        w.nextReQuestTask();
        return ids;
    }

    void checkMaColumn(CBrowseWidget& w, int id, int n)
    {
        for (const QString& code : kCodes)
            QVERIFY2(near(cell(w, keyOf(code), id), expectedMa(code, n)), qPrintable(code));
    }

private Q_SLOTS:
    void initTestCase()
    {
        const Instruments instruments = stocks(QStringLiteral("SH"), kCodes, 10.0);
        installMarket(instruments);
        m_gate = gateMarket<GateBackend>(instruments);
        m_list = detailsOf(instruments);
        QVERIFY(!std::isnan(expectedMa(kCodes.first(), 10)));
    }

    void cleanupTestCase()
    {
        m_gate->setPermits(-1);
        QVERIFY(indicatorWorkersDone());
        restoreMarket();
    }

    void init() { m_gate->reset(); }

    void cleanup()
    {
        m_gate->setPermits(-1);
        QVERIFY(indicatorWorkersDone());
    }

    void queueIntoBusyQueueStartsAfterHeadCompletes()
    {
        FilledWidget w(m_list);
        m_gate->setPermits(3);
        const int id5 = addMa(w, QStringLiteral("MA5"), 0);
        w.requestCustomIndex();
        QVERIFY(w.isIndicatorBatchRunning());
        const int id10 = addMa(w, QStringLiteral("MA10"), 1);
        w.requestCustomIndex();
        QCOMPARE(w.requestQueue().size(), 2);
        QCOMPARE(w.requestQueue().first().title, QStringLiteral("MA5"));

        // three of eight results laid: the header counts up, MA10 waits
        QVERIFY(m_gate->waitForHeld(3));
        QTRY_COMPARE(listed(w, id5)->doneCount, 3);
        QCOMPARE(listed(w, id5)->totalCount, kCodes.size());
        QTRY_COMPARE(headerShown(w, id5), QStringLiteral("MA5(37.5%)"));
        QCOMPARE(w.table()->headerText(id5), QStringLiteral("MA5"));
        QCOMPARE(listed(w, id10)->totalCount, 0);
        QVERIFY(near(cell(w, keyOf(kCodes[0]), id5), expectedMa(kCodes[0], 5)));

        m_gate->setPermits(-1);
        QCOMPARE(finished(w.done, 2), (QList<int>{id5, id10}));
        QVERIFY(w.requestQueue().isEmpty());
        QVERIFY(!w.isIndicatorBatchRunning());
        checkMaColumn(w, id5, 5);
        checkMaColumn(w, id10, 10);
        for (int id : {id5, id10}) {
            QCOMPARE(headerShown(w, id), listed(w, id)->title);
            QCOMPARE(listed(w, id)->doneCount, 0);
            QCOMPARE(listed(w, id)->totalCount, 0);
        }
    }

    // The head changes while its worker holds delivered results not yet laid; they are
    // released after the change and must not be laid nor counted.
    void lateResultsOfOldBatch_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("header remove") << "header remove";
        QTest::newRow("remove custom index") << "remove custom index";
        QTest::newRow("re-queue all") << "re-queue all";
        QTest::newRow("restart the running column") << "restart";
    }
    void lateResultsOfOldBatch()
    {
        QFETCH(QString, change);
        FilledWidget w(m_list);
        const auto ids = startMa5ThenMa10(w, 3);
        const int id5 = ids.first, id10 = ids.second;
        int held = 3;
        QVERIFY(m_gate->waitForHeld(held)); // three MA5 results wait in the event queue

        bool ma5Stays = true;
        if (change == QLatin1String("header remove")) {
            w.setCurrentColumn(id5);
            w.headerMenu()->actions().at(0)->trigger(); // "删除该列"
            ma5Stays = false;
        } else if (change == QLatin1String("remove custom index")) {
            // the dialog's event loop lays what was delivered so far; three more results
            // are delivered while it closes
            QTimer::singleShot(0, [this, &held] {
                auto* dialog =
                    qobject_cast<CSimGetCheckSelectDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                m_gate->grant(3);
                held += 3;
                QVERIFY(m_gate->waitForHeld(held));
                dialog->setChecked(QStringLiteral("MA5"), true);
                dialog->accept();
            });
            w.removeSelectCustomIndex();
            ma5Stays = false;
        } else if (change == QLatin1String("re-queue all")) {
            w.requeAllCustomIndex();
        } else {
            w.setCurrentColumn(id5);
            w.slotFormulaRefresh();
            QVERIFY(w.requestQueue().first().refreshAll);
        }
        QVERIFY(w.isIndicatorBatchRunning());
        // the old worker finishes its held request and stops; the new batch gets two
        m_gate->grant(1 + 2);
        QVERIFY(m_gate->waitForHeld(held + 1 + 2));
        const int running = ma5Stays ? id5 : id10;
        QTRY_COMPARE(listed(w, running)->doneCount, 2);
        QCoreApplication::processEvents(); // anything still queued is laid now
        QCOMPARE(listed(w, running)->doneCount, 2);
        if (!ma5Stays) {
            QVERIFY(!listed(w, id5));
            // the rows the new head has not had yet show no value, not MA5's numbers
            for (int i = 2; i < kCodes.size(); ++i)
                QCOMPARE(cellText(w, keyOf(kCodes[i]), id10), QStringLiteral("-"));
        }

        m_gate->setPermits(-1);
        QTRY_VERIFY(w.requestQueue().isEmpty());
        QVERIFY(indicatorWorkersDone());
        QCoreApplication::processEvents();
        if (ma5Stays)
            checkMaColumn(w, id5, 5);
        checkMaColumn(w, id10, 10);
        QCOMPARE(finished(w.done, 0), ma5Stays ? (QList<int>{id5, id10}) : QList<int>{id10});
        QCOMPARE(cached(w, QStringLiteral("MA10")).size(), kCodes.size());
    }

    void rowRemovedMidBatchDoesNotStallTheQueue()
    {
        FilledWidget w(m_list);
        const auto ids = startMa5ThenMa10(w, 2);
        QVERIFY(m_gate->waitForHeld(2));
        const QString gone = keyOf(kCodes.last());
        QVERIFY(w.model()->removeDataByKey(gone));
        m_gate->setPermits(-1);
        QCOMPARE(finished(w.done, 2), (QList<int>{ids.first, ids.second}));
        QVERIFY(w.requestQueue().isEmpty());
        for (int i = 0; i + 1 < kCodes.size(); ++i)
            QVERIFY(near(cell(w, keyOf(kCodes[i]), ids.second), expectedMa(kCodes[i], 10)));
        QVERIFY(!cached(w, QStringLiteral("MA5")).contains(gone));
    }

    void twoEqualColumnsWithRefreshAllBothComplete()
    {
        FilledWidget w(m_list);
        ColumnInfo a = maColumn(QStringLiteral("MA5"), 0);
        // addColumn refuses an equal column: both titles come with a column list
        QList<ColumnInfo> columns = w.getBaseColumnList();
        columns.append(a);
        columns.append(maColumn(QStringLiteral("均线5"), 0));
        w.setColumnList(columns);
        w.fill(m_list);
        const int idB = w.columnList()[columns.size() - 1].columnId;
        const int idA2 = w.columnList()[columns.size() - 2].columnId;
        a.refreshAll = true;
        w.pushBackRequestTask(a);
        w.nextReQuestTask();
        QCOMPARE(listed(w, idA2)->totalCount, kCodes.size());
        QCOMPARE(listed(w, idB)->totalCount, kCodes.size());
        QTRY_COMPARE(w.done.count(), 1);
        for (int id : {idA2, idB}) {
            checkMaColumn(w, id, 5);
            QCOMPARE(listed(w, id)->totalCount, 0);
        }
        QCOMPARE(headerShown(w, idB), QStringLiteral("均线5"));
        QCOMPARE(m_gate->evaluations(), kCodes.size()); // one batch for both
    }

    void badValuesShowAsNoValue_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("INT_MAX") << 2147483647.0;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    }
    void badValuesShowAsNoValue()
    {
        QFETCH(double, value);
        FilledWidget w(m_list);
        const auto bars =
            ttmarket::EmbeddedMarket::instance()->dailyBars("SH", kCodes[1].toStdString());
        m_gate->tamperLast(bars.back().close, value);
        const int id = addMa(w, QStringLiteral("MA5"), 0);
        w.requestCustomIndex();
        QTRY_COMPARE(w.done.count(), 1);
        QCOMPARE(cellText(w, keyOf(kCodes[1]), id), QStringLiteral("-"));
        QVERIFY(near(cell(w, keyOf(kCodes[0]), id), expectedMa(kCodes[0], 5)));
        QVERIFY(!cached(w, QStringLiteral("MA5")).contains(keyOf(kCodes[1])));
    }

    void unknownFormulaKeepsTheHeadUntilRemoved()
    {
        FilledWidget w(m_list);
        ColumnInfo bad = maColumn(QStringLiteral("无此指标"), 0);
        bad.formulaName = QStringLiteral("NOSUCH");
        w.addCustomIndex(bad);
        w.requestCustomIndex();
        const int id5 = addMa(w, QStringLiteral("MA5"), 0);
        w.requestCustomIndex();
        // an empty batch starts no worker and keeps its head
        QVERIFY(!w.isIndicatorBatchRunning());
        QCOMPARE(w.requestQueue().size(), 2);
        QTimer::singleShot(0, [] {
            auto* dialog =
                qobject_cast<CSimGetCheckSelectDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setChecked(QStringLiteral("无此指标"), true);
            dialog->accept();
        });
        w.removeSelectCustomIndex();
        QCOMPARE(finished(w.done, 1), QList<int>{id5});
        checkMaColumn(w, id5, 5);
    }

    void textOutputsAreShownButNotCached()
    {
        FilledWidget w(m_list);
        ColumnInfo trend = maColumn(QStringLiteral("趋势"), 0);
        trend.formulaName = QStringLiteral("TREND");
        const int id = w.addCustomIndex(trend);
        w.requestCustomIndex();
        QTRY_COMPARE(w.done.count(), 1);
        QCOMPARE(w.model()->columnValueType(id), 10);
        const QStringList trends = {QStringLiteral("上涨"), QStringLiteral("下跌"),
                                    QStringLiteral("平盘")};
        for (const QString& code : kCodes)
            QVERIFY2(trends.contains(cellText(w, keyOf(code), id)), qPrintable(code));
        QVERIFY(
            !w.customIndexValues()[QStringLiteral("测试板块")].contains(QStringLiteral("趋势")));
    }

    void hundredQueuedColumnsAllComplete()
    {
        FilledWidget w(m_list);
        QList<int> ids;
        for (int i = 0; i < 100; ++i) {
            ids.append(addMa(w, QStringLiteral("MA5_%1").arg(i), 0, i));
            w.requestCustomIndex();
        }
        QCOMPARE(finished(w.done, 100, 60000), ids);
        QVERIFY(w.requestQueue().isEmpty());
        checkMaColumn(w, ids.last(), 5);
    }

    void conditionColumnsFillTheirSector()
    {
        const QString sector = QStringLiteral("条件结果");
        auto* sectors = CSectorManager::instance();
        if (!sectors->getSector(sector))
            QVERIFY(sectors->addUserSector(sector));
        sectors->cleanStockFromSector(sector, false);
        std::vector<double> values;
        for (const QString& code : kCodes)
            values.push_back(expectedMa(code, 5));
        std::vector<double> ascending = values;
        std::sort(ascending.begin(), ascending.end());
        const double median = (ascending[3] + ascending[4]) / 2;

        FilledWidget w(m_list);
        ColumnInfo cond = conditionColumn(0 /* greater */, median, sector, true);
        const int id = w.addCustomIndex(cond);
        // another column's values cached under the condition sector's name stay
        w.customIndexValues()[sector][QStringLiteral("其他")][keyOf(kCodes[0])] = 1.0;
        w.customIndexValues()[sector][QStringLiteral("MA5")][QStringLiteral("SH|stale")] = 1.0;
        w.requestCustomIndex();
        QTRY_COMPARE(w.done.count(), 1);

        QStringList expected;
        for (size_t i = 0; i < values.size(); ++i) {
            if (values[i] > median)
                expected.append(keyOf(kCodes[int(i)]));
        }
        QCOMPARE(expected.size(), 4);
        QStringList members;
        for (const auto& detail : sectors->getSectorStockList(sector))
            members.append(getDetailQsKey(detail));
        QCOMPARE(sorted(members), sorted(expected));
        const auto& bySector = w.customIndexValues()[sector];
        // the stale match went with the reset
        QCOMPARE(sorted(bySector.value(QStringLiteral("MA5")).keys()), sorted(expected));
        QCOMPARE(bySector.value(QStringLiteral("其他")).size(), 1);

        // a stricter threshold: the sector is emptied before the new matches go in
        listed(w, id)->conditionThreshold = ascending[5];
        w.setCurrentColumn(id);
        w.slotVariableRefresh();
        QTRY_COMPARE(w.done.count(), 2);
        const int stricter = int(std::count_if(values.begin(), values.end(),
                                               [&](double v) { return v > ascending[5] + 1e-5; }));
        QVERIFY(stricter > 0 && stricter < 4);
        QCOMPARE(sectors->getSectorStockList(sector).size(), stricter);
        QCOMPARE(w.customIndexValues()[sector].value(QStringLiteral("MA5")).size(), stricter);

        // nothing matches: the sector is emptied all the same
        listed(w, id)->conditionThreshold = 1e9;
        w.slotVariableRefresh();
        QTRY_COMPARE(w.done.count(), 3);
        QVERIFY(sectors->getSectorStockList(sector).isEmpty());
    }

    void conditionTest_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<int>("matches");
        QTest::newRow("greater than everything") << 0 << 1e9 << 0;
        QTest::newRow("less than a large number") << 1 << 1e9 << 8;
        QTest::newRow("equal to nothing") << 2 << -1.0 << 0;
        QTest::newRow("unknown operator") << 7 << 0.0 << 0;
        QTest::newRow("no-value threshold") << 1 << 1.7976931348623157e308 << 0;
    }
    void conditionTest()
    {
        QFETCH(int, op);
        QFETCH(double, threshold);
        QFETCH(int, matches);
        const QString sector = QStringLiteral("条件测试");
        FilledWidget w(m_list);
        ColumnInfo cond = conditionColumn(op, threshold, sector);
        w.addCustomIndex(cond);
        w.requestCustomIndex();
        QTRY_COMPARE(w.done.count(), 1);
        QCOMPARE(w.customIndexValues().value(sector).value(QStringLiteral("MA5")).size(), matches);
    }

    void batchCompletionNotifiesHost_data()
    {
        QTest::addColumn<bool>("recalcSetting");
        QTest::addColumn<bool>("windowOnSector"); // the multi-stock window shows the sector
        QTest::addColumn<bool>("condition");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<bool>("allMatch"); // else nothing matches
        QTest::addColumn<bool>("promptColumn");
        QTest::addColumn<bool>("promptSetting");
        QTest::addColumn<bool>("recalculated");
        QTest::addColumn<bool>("prompted");
        // clang-format off
        QTest::newRow("everything on")           << true  << true  << true  << true  << true  << true  << true  << true  << true;
        QTest::newRow("keeping earlier matches") << true  << true  << true  << false << true  << true  << true  << true  << true;
        QTest::newRow("recalculation off")       << false << true  << true  << true  << true  << true  << true  << false << true;
        QTest::newRow("window on another sector")<< true  << false << true  << true  << true  << true  << true  << false << true;
        QTest::newRow("nothing matched")         << true  << true  << true  << true  << false << true  << true  << true  << false;
        QTest::newRow("prompt setting off")      << true  << true  << true  << true  << true  << true  << false << true  << false;
        QTest::newRow("column without prompt")   << true  << true  << true  << true  << true  << false << true  << true  << false;
        QTest::newRow("no condition")            << true  << true  << false << true  << true  << true  << true  << false << false;
        // clang-format on
    }
    void batchCompletionNotifiesHost()
    {
        QFETCH(bool, recalcSetting);
        QFETCH(bool, windowOnSector);
        QFETCH(bool, condition);
        QFETCH(bool, reset);
        QFETCH(bool, allMatch);
        QFETCH(bool, promptColumn);
        QFETCH(bool, promptSetting);
        QFETCH(bool, recalculated);
        QFETCH(bool, prompted);
        const QString sector = QStringLiteral("多股条件");
        auto* multiStock = CMultiStockManager::instance();
        auto* formulas = CFormulaManager::instance();
        getUserConfig()->setMultiStockRecalculate(recalcSetting);
        getUserConfig()->setPromptRunResult(promptSetting);
        multiStock->setSector(windowOnSector ? sector : QStringLiteral("别的板块"));
        multiStock->clearRecalculations();
        formulas->clearCommands();

        FilledWidget w(m_list);
        // below / above a threshold out of reach
        ColumnInfo cond = conditionColumn(allMatch ? 1 : 0, 1e9, sector, reset);
        cond.conditionEnabled = condition;
        cond.promptResult = promptColumn;
        w.addCustomIndex(cond);
        w.requestCustomIndex();
        QTRY_COMPARE(w.done.count(), 1);
        getUserConfig()->setMultiStockRecalculate(false);
        getUserConfig()->setPromptRunResult(false);
        multiStock->setSector(QString());

        QStringList matched;
        for (const QString& code : kCodes) {
            if (allMatch)
                matched.append(keyOf(code));
        }
        const auto recalculations = multiStock->recalculations();
        QCOMPARE(int(recalculations.size()), recalculated ? 1 : 0);
        if (recalculated) {
            QCOMPARE(sorted(recalculations.front().keys), sorted(matched));
            QCOMPARE(recalculations.front().reset, reset);
            QCOMPARE(recalculations.front().sector, sector);
        }
        std::vector<CommandRecord> prompts;
        for (const CommandRecord& r : formulas->commands()) {
            if (r.command == QStringLiteral("promptRunResult"))
                prompts.push_back(r);
        }
        QCOMPARE(int(prompts.size()), prompted ? 1 : 0);
        if (prompted)
            QCOMPARE(sorted(prompts.front().args), sorted(matched));
    }

    void clearEmptiesIndicatorCaches()
    {
        FilledWidget w(m_list);
        const int id = addMa(w, QStringLiteral("MA5"), 0);
        w.requestCustomIndex();
        QTRY_COMPARE(w.done.count(), 1);
        QCOMPARE(cached(w, QStringLiteral("MA5")).size(), kCodes.size());
        QCOMPARE(w.requestedPairCount(), kCodes.size());

        w.clear();
        QVERIFY(w.customIndexValues().isEmpty());
        QCOMPARE(w.requestedPairCount(), 0);
        // nothing is laid back into a rebuilt table
        w.setStockList(m_list, false);
        QCOMPARE(cellText(w, keyOf(kCodes[0]), id), QStringLiteral("-"));
    }

    void fillLastCustomIndexValueLaysIndicatorColumnsOnly()
    {
        CBrowseWidget w;
        w.setSectorName(QStringLiteral("测试板块"));
        const int id = addMa(w, QStringLiteral("MA5"), 0);
        int lastColumn = -1;
        for (const ColumnInfo& c : w.columnList()) {
            if (c.isQuoter() && c.lineIndex == 1)
                lastColumn = c.columnId; // "最新"
        }
        cached(w, QStringLiteral("MA5"))[keyOf(kCodes[0])] = 12.5;
        cached(w, QStringLiteral("最新"))[keyOf(kCodes[0])] = 99.0;
        w.customIndexValues()[QStringLiteral("别的板块")][QStringLiteral("MA5")][keyOf(kCodes[1])] =
            7.0;
        w.setStockList(m_list, false); // lays the cached values of the current sector
        QVERIFY(near(cell(w, keyOf(kCodes[0]), id), 12.5));
        QCOMPARE(cellText(w, keyOf(kCodes[1]), id), QStringLiteral("-"));
        QVERIFY(!near(cell(w, keyOf(kCodes[0]), lastColumn), 99.0));

        // a hidden column is left alone
        cached(w, QStringLiteral("MA5"))[keyOf(kCodes[0])] = 13.5;
        for (bool visible : {false, true}) {
            w.setColumnVisible(id, visible);
            w.fillLastCustomIndexValue();
            QVERIFY(near(cell(w, keyOf(kCodes[0]), id), visible ? 13.5 : 12.5));
        }
    }

    void setColumnValueWritesEveryRow()
    {
        FilledWidget w(m_list);
        const int id = addMa(w, QStringLiteral("MA5"), 0);
        w.setColumnValue(id, {{keyOf(kCodes[2]), 3.25}});
        QVERIFY(near(cell(w, keyOf(kCodes[2]), id), 3.25));
        QCOMPARE(cellText(w, keyOf(kCodes[3]), id), QStringLiteral("-"));
        w.setColumnValue(9999, {{keyOf(kCodes[2]), 1.0}}); // not in the model: nothing
    }

    void lastIndexNeedsTradeDateGetter()
    {
        CBrowseWidget w;
        w.requestLastIndex();
        QCOMPARE(w.lastIndexRequestId(), -1);

        w.setGetTradeDateFunc([] { return CStockManager::dateFromYmd(2024, 6, 7); });
        QSignalSpy data(&w, &CBrowseWidget::sigLastIndexData);
        w.requestLastIndex();
        const qint64 first = w.lastIndexRequestId();
        QVERIFY(first > 0);
        QVERIFY(data.wait(kWaitMs)); // delivered through the mailbox, not inside the call
        w.requestLastIndex();
        QVERIFY(w.lastIndexRequestId() > first);
        // cancelled before its id is seen: the id arrives late and is let go
        w.unrequest();
        QCOMPARE(w.lastIndexRequestId(), -1);
        QCoreApplication::processEvents();
        QCOMPARE(w.lastIndexRequestId(), -1);
    }

    void destroyMidBatchReachesNothing()
    {
        auto* w = new CountingBrowseWidget(m_list);
        addMa(*w, QStringLiteral("MA5"), 0);
        g_lookups = 0;
        m_gate->setPermits(2);
        w->requestCustomIndex();
        QVERIFY(m_gate->waitForHeld(2));
        QTRY_COMPARE(g_lookups.load(), 2);
        m_gate->grant(3); // three more results wait in the queue when the widget goes
        QVERIFY(m_gate->waitForHeld(5));
        delete w;
        const int evaluations = m_gate->evaluations();
        m_gate->setPermits(-1);
        QVERIFY(indicatorWorkersDone());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(g_lookups.load(), 2);
        QCOMPARE(m_gate->evaluations(), evaluations + 1); // stopped by the destructor's flag
    }
};

QTEST_MAIN(TstBrowseIndicators)
#include "tst_browseindicators.moc"
