// The position list offscreen over fixture accounts: the position columns in both
// statistics modes, the tool bar, accounts the host opens and closes, coalesced pushes,
// the no-value guards, subscriptions across reloads and destruction, and the statistics
// dialog.
#include "position/CPositionBrowseWidget.h"
#include "position/CPositionBrowserData.h"
#include "position/CSetParamDialog.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/AccountData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Config.h"
#include "host/data/LinkageManager.h"
#include "host/data/NoValue.h"
#include "host/data/TraderCenter.h"
#include "host/data/UserConfig.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/CheckBox.h"
#include "host/toolkit/ComboBox.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/RadioButtonGroup.h"
#include "host/toolkit/UiResource.h"

#include "host/toolkit/UiResource.h"
#include <QtTest>

#include <QRadioButton>

#include <atomic>
#include <thread>

using namespace TC;
using ttmarket::TestMarket;
using ttservice::CAccountInfo;
using ttservice::CPositionStatics;
using ttservice::TraderCenter;
using W = CPositionBrowseWidget;

namespace {

constexpr int kTradeDate = 1717689600; // the fixture's trading day

CPositionStatics position(const QString& accountKey, const QString& market, const QString& code,
                          double volume, double canUse, double costPrice)
{
    CPositionStatics p;
    p.accountKey = accountKey;
    p.market = market;
    p.code = code;
    p.key = accountKey + QLatin1Char('|') + code + QLatin1Char('.') + market;
    p.volume = volume;
    p.yesterdayVolume = volume;
    p.canUseVolume = canUse;
    p.costPrice = costPrice;
    p.lastPrice = costPrice;
    ttservice::updateDerivedValues(p);
    return p;
}

void addAccount(const QString& id, int type, std::vector<CPositionStatics> positions)
{
    CAccountInfo info;
    info.accountId = id;
    info.key = QString::number(type) + QLatin1Char('_') + id;
    info.accountType = type;
    info.name = id;
    for (auto& p : positions) {
        p.accountKey = info.key;
        p.key = info.key + QLatin1Char('|') + p.code + QLatin1Char('.') + p.market;
    }
    QVERIFY(TraderCenter::instance()->addAccount(info, positions));
}

ttservice::CAccountDataPtr account(const QString& key)
{
    return TraderCenter::instance()->getDataCenter()->getAccountData(key);
}

// A widget showing the fixture's stock accounts T1 and T2 (or the given ones).
std::unique_ptr<W> makeWidget(const QString& kind = QStringLiteral("股票持仓"),
                              const QSet<QString>& ids = {QStringLiteral("T1"),
                                                          QStringLiteral("T2")},
                              int statType = W::StatPosition)
{
    auto w = std::make_unique<W>();
    w->setGetTradeDateFunc([] { return kTradeDate; });
    if (statType != W::StatPosition)
        w->statTypeGroup()->button(statType)->click();
    w->setSectorName(kind, ids, true, false);
    return w;
}

double value(W& w, const QString& rowKey, int field)
{
    const HpfBrowserDataPtr row = w.model()->rowByKey(rowKey);
    return row ? row->getDouble(w.fieldColumn(field)) : -1.0;
}

} // namespace

class TstPositionWidget : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0),
                             TestMarket::stock("SH", "600036", "招商银行", 30.0),
                             TestMarket::future("SHFE", "cu2501", "沪铜2501", 70000.0, 10.0, 5)});
        TestMarket::setQuote("SH", "600000", TestMarket::quote(12.0, 10.0));
        TestMarket::setQuote("SH", "600036", TestMarket::quote(31.0, 30.0));
        TestMarket::setQuote("SHFE", "cu2501", TestMarket::quote(70100.0, 70000.0));
    }
    void init()
    {
        TraderCenter::instance()->rebuildAccounts();
        CLinkageManager::instance()->clear();
        CLinkageManager::instance()->setActive(true);
        addAccount("T1", 2,
                   {position("", "SH", "600000", 1000, 700, 10.0),
                    position("", "SH", "600036", 500, 500, 30.0)});
        addAccount("T2", 2, {position("", "SH", "600000", 300, 300, 11.0)});
        addAccount("F1", 1, {position("", "SHFE", "cu2501", 3, 1, 70000.0)});
        auto frozen = position("2_T1", "SH", "600000", 1000, 700, 10.0);
        frozen.key = QStringLiteral("2_T1|600000.SH");
        frozen.accountId = QStringLiteral("T1");
        frozen.frozenVolume = 100;
        frozen.yesterdayVolume = 800;
        account("2_T1")->resetPositions(
            {frozen, *account("2_T1")->getPosition(QStringLiteral("2_T1|600036.SH"))});
        // T1 bought and sold 600000 today; T2 did not trade
        CLinkageManager::instance()->addTrade(kTradeDate, "2_T1", "T1", "600000.SH", 200, 10.5);
        CLinkageManager::instance()->addTrade(kTradeDate, "2_T1", "T1", "600000.SH", -100, 11.0);
        // a buy booked without an amount, then a sale
        CLinkageManager::instance()->addTrade(kTradeDate, "2_T1", "T1", "600036.SH", 100, 0.0);
        CLinkageManager::instance()->addTrade(kTradeDate, "2_T1", "T1", "600036.SH", -100, 31.0);
    }
    void cleanupTestCase()
    {
        TraderCenter::instance()->stop();
        TestMarket::restore();
    }

    void columns_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("statType");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("field");
        QTest::addColumn<double>("expected"); // kNoValue: no value
        QTest::addColumn<QString>("text");    // checked when not empty

        const QString stock = QStringLiteral("股票持仓");
        const QString t1 = QStringLiteral("2_T1|600000.SH");
        const QString t2 = QStringLiteral("2_T2|600000.SH");
        auto row = [&](const char* name, int mode, const QString& key, int field, double v,
                       const QString& text = QString(), const QString& kind = QString()) {
            QTest::newRow(name) << (kind.isEmpty() ? stock : kind) << mode << key << field << v
                                << text;
        };
        row("account id as text", 0, t1, W::Field_Account, kNoValue, "T1");
        row("cost", 0, t1, W::Field_Cost, 10000);
        row("cost price", 0, t1, W::Field_CostPrice, 10.0);
        row("volume", 0, t1, W::Field_Volume, 1000);
        row("fee never set", 0, t1, W::Field_Fee, kNoValue);
        row("frozen", 0, t1, W::Field_Frozen, 100);
        row("stock can-use is the record's", 0, t1, W::Field_CanUse, 700);
        row("yesterday", 0, t1, W::Field_YesterdayVolume, 800);
        row("buy volume", 0, t1, W::Field_BuyVolume, 200);
        row("sell volume", 0, t1, W::Field_SellVolume, 100);
        row("net buy", 0, t1, W::Field_NetBuy, 100);
        row("average buy", 0, t1, W::Field_AvgBuy, 10.5);
        row("average sell", 0, t1, W::Field_AvgSell, 11.0);
        row("average ratio", 0, t1, W::Field_AvgRatio, (11.0 - 10.5) / 10.5);
        row("market value follows the last price", 0, t1, W::Field_MarketValue, 12000);
        row("buy value at the reference price", 0, t1, W::Field_BuyValue, 2000);
        row("sell value at the reference price", 0, t1, W::Field_SellValue, 1000);
        row("no buy trades: average buy 0", 0, t2, W::Field_AvgBuy, 0.0);
        row("no buy trades: ratio 0", 0, t2, W::Field_AvgRatio, 0.0);
        const QString zero = QStringLiteral("2_T1|600036.SH");
        row("zero buy amount: average buy 0", 0, zero, W::Field_AvgBuy, 0.0);
        row("zero buy amount: ratio 0, not infinity", 0, zero, W::Field_AvgRatio, 0.0);
        row("zero buy amount: average sell", 0, zero, W::Field_AvgSell, 31.0);
        row("futures can-use is the whole volume", 0, QStringLiteral("1_F1|cu2501.SHFE"),
            W::Field_CanUse, 3, QString(), QStringLiteral("期货持仓"));
        const QString code = QStringLiteral("600000.SH");
        row("two accounts one code: account count", 1, code, W::Field_Account, 2, "2");
        row("two accounts one code: summed volume", 1, code, W::Field_Volume, 1300);
        row("summed can-use", 1, code, W::Field_CanUse, 1000);
        row("summed cost", 1, code, W::Field_Cost, 10000 + 3300);
        row("no cost price for a sum", 1, code, W::Field_CostPrice, kNoValue);
        row("summed volume times the last price", 1, code, W::Field_MarketValue, 1300 * 12.0);
        row("linkage over both accounts", 1, code, W::Field_NetBuy, 100);
    }
    void columns()
    {
        QFETCH(QString, kind);
        QFETCH(int, statType);
        QFETCH(QString, row);
        QFETCH(int, field);
        QFETCH(double, expected);
        QFETCH(QString, text);
        const QSet<QString> ids = kind == QStringLiteral("期货持仓")
                                      ? QSet<QString>{QStringLiteral("F1")}
                                      : QSet<QString>{QStringLiteral("T1"), QStringLiteral("T2")};
        auto w = makeWidget(kind, ids, statType);
        QCOMPARE(w->statType(), statType);
        const HpfBrowserDataPtr data = w->model()->rowByKey(row);
        QVERIFY2(data, qPrintable(row));
        const double v = data->getDouble(w->fieldColumn(field));
        if (isNoValue(expected))
            QVERIFY2(isNoValue(v), qPrintable(QString::number(v)));
        else
            QVERIFY2(qAbs(v - expected) < 1e-6, qPrintable(QString::number(v, 'f', 6)));
        if (!text.isEmpty())
            QCOMPARE(data->getText(w->fieldColumn(field)), text);
    }

    void productComboAndRadioGroup()
    {
        auto w = makeWidget();
        QCOMPARE(w->model()->size(), 3);
        XP::CComboBox* combo = w->productCombo();
        // chosen from outside: "选中产品" stands first
        QCOMPARE(combo->itemText(0), QStringLiteral("选中产品"));

        // every stock account of the user's list: the simulated two and the fixture's two
        combo->setCurrentIndex(combo->findText(QStringLiteral("全部产品")));
        QCOMPARE(combo->findText(QStringLiteral("选中产品")), -1);
        int positions = 0;
        for (const auto& info : TraderCenter::instance()->getAccountList())
            if (info->accountType == ttservice::eAccountStock)
                positions += int(account(info->key)->getPositions().size());
        QCOMPARE(w->accounts().size(), 4);
        QCOMPARE(w->model()->size(), positions);
        QCOMPARE(w->subscriptionCount(), 4);

        // code statistics: one row per instrument
        w->statTypeGroup()->button(W::StatCode)->click();
        QCOMPARE(w->statType(), int(W::StatCode));
        QCOMPARE(w->model()->size(), w->getStockList().size());
        QVERIFY(w->model()->size() < positions);

        // "清空选中" names no group: nothing
        combo->setCurrentIndex(combo->findText(QStringLiteral("清空选中")));
        QCOMPARE(w->model()->size(), 0);
        QCOMPARE(w->subscriptionCount(), 0);

        // the mode buttons' labels follow the theme's text colour
        auto& res = XP::CUiResource::instance();
        const QString before = res.themeName();
        for (const QString theme : {QStringLiteral("light"), QStringLiteral("dark")}) {
            QVERIFY(res.loadTheme(theme));
            const QColor text = *res.getColor(QStringLiteral("ic_clr_widget_text"));
            for (int mode : {int(W::StatPosition), int(W::StatCode)})
                QCOMPARE(w->statTypeGroup()->button(mode)->palette().color(QPalette::WindowText),
                         text);
        }
        if (!before.isEmpty())
            QVERIFY(res.loadTheme(before));
    }

    // The view's reload keeps the accounts of the kind reloaded; another kind empties the list.
    void sectorReload()
    {
        auto w = makeWidget();
        w->setSectorName(QStringLiteral("股票持仓"), {}, false, true);
        QCOMPARE(w->model()->size(), 3);
        QCOMPARE(w->subscriptionCount(), 2);
        w->setSectorName(QStringLiteral("期货持仓"), {}, false, true);
        QCOMPARE(w->model()->size(), 0);
        QCOMPARE(w->subscriptionCount(), 0);
        // the same accounts chosen again from outside toggle them off
        auto again = makeWidget();
        again->setSectorName(QStringLiteral("股票持仓"), {QStringLiteral("T2")}, false, false);
        QCOMPARE(again->accounts(), QSet<QString>{QStringLiteral("T1")});
        QCOMPARE(again->model()->size(), 2);
        again->setSectorName(QStringLiteral("股票持仓"), {QStringLiteral("T1")}, false, false);
        QCOMPARE(again->model()->size(), 0);
    }

    void hostOpensAndClosesAccounts()
    {
        auto w = makeWidget();
        XP::CComboBox* combo = w->productCombo();
        combo->setCurrentIndex(combo->findText(QStringLiteral("全部产品")));
        const int before = w->model()->size();
        addAccount("T3", 2, {position("", "SH", "600036", 200, 200, 29.0)});
        QTRY_VERIFY(w->model()->rowByKey(QStringLiteral("2_T3|600036.SH")));
        QCOMPARE(w->model()->size(), before + 1);
        // another kind's account stays out
        addAccount("F2", 1, {position("", "SHFE", "cu2501", 1, 1, 70000.0)});
        QVERIFY(TraderCenter::instance()->removeAccount(QStringLiteral("2_T3")));
        QTRY_VERIFY(!w->model()->rowByKey(QStringLiteral("2_T3|600036.SH")));
        QCOMPARE(w->model()->size(), before);
        QCOMPARE(account(QStringLiteral("2_T1"))->subscriptionCount(), 1);
    }

    void burstWithinThreeSecondsChangesTheRowOnce_data()
    {
        QTest::addColumn<int>("statType");
        QTest::addColumn<QString>("row");
        QTest::addColumn<double>("before");
        QTest::addColumn<double>("after");
        QTest::newRow("position statistics")
            << int(W::StatPosition) << "2_T1|600000.SH" << 1000.0 << 1500.0;
        QTest::newRow("code statistics") << int(W::StatCode) << "600000.SH" << 1300.0 << 1800.0;
    }
    void burstWithinThreeSecondsChangesTheRowOnce()
    {
        QFETCH(int, statType);
        QFETCH(QString, row);
        QFETCH(double, before);
        QFETCH(double, after);
        auto w = makeWidget(QStringLiteral("股票持仓"),
                            {QStringLiteral("T1"), QStringLiteral("T2")}, statType);
        const QString key = QStringLiteral("2_T1|600000.SH");
        auto data = account(QStringLiteral("2_T1"));
        const quint64 applied = w->positionApplyCount();
        for (int volume = 1100; volume <= 1500; volume += 100) {
            auto p = *data->getPosition(key);
            p.volume = volume;
            data->publish(p);
        }
        QCOMPARE(value(*w, row, W::Field_Volume), before); // nothing before the timer
        w->slotTimeout();
        QCOMPARE(w->positionApplyCount(), applied + 1);
        QCOMPARE(value(*w, row, W::Field_Volume), after);
        QCOMPARE(value(*w, row, W::Field_MarketValue), after * 12.0);
        w->slotTimeout(); // nothing pending: nothing applied
        QCOMPARE(w->positionApplyCount(), applied + 1);
    }

    void noValueGuards()
    {
        auto w = makeWidget();
        auto data = account(QStringLiteral("2_T1"));
        // a closed position: no market value, the statistics row sums the other rows
        auto closed = *data->getPosition(QStringLiteral("2_T1|600036.SH"));
        closed.volume = 0;
        data->publish(closed);
        // negative volumes and an instrument the stock manager does not know
        auto negative = position("2_T1", "SH", "600036", -5, 0, 30.0);
        negative.key = QStringLiteral("2_T1|bad");
        data->publish(negative);
        auto unknown = position("2_T1", "SZ", "999999", 100, 100, 5.0);
        unknown.key = QStringLiteral("2_T1|999999.SZ");
        data->publish(unknown);
        // a push for an account gone a moment ago
        auto t2 = *account(QStringLiteral("2_T2"))->getPosition(QStringLiteral("2_T2|600000.SH"));
        w->setSectorName(QStringLiteral("股票持仓"), {QStringLiteral("T2")}, false, false);
        t2.volume = 999;
        account(QStringLiteral("2_T2"))->publish(t2);
        w->slotTimeout();

        QVERIFY(isNoValue(value(*w, QStringLiteral("2_T1|600036.SH"), W::Field_MarketValue)));
        QVERIFY(!w->model()->rowByKey(QStringLiteral("2_T1|bad")));
        QVERIFY(!w->model()->rowByKey(QStringLiteral("2_T2|600000.SH")));
        QCOMPARE(value(*w, QStringLiteral("2_T1|999999.SZ"), W::Field_Volume), 100.0);
        QVERIFY(isNoValue(value(*w, QStringLiteral("2_T1|999999.SZ"), W::Field_MarketValue)));
        w->model()->recalcStatData();
        QCOMPARE(w->model()->statText(w->fieldColumn(W::Field_MarketValue)),
                 QStringLiteral("1.20万"));

        // without a trade-date getter the linkage columns stay unset
        W plain;
        plain.setSectorName(QStringLiteral("股票持仓"), {QStringLiteral("T1")}, true, false);
        QVERIFY(isNoValue(value(plain, QStringLiteral("2_T1|600000.SH"), W::Field_BuyVolume)));
        // unknown and filtered accounts load nothing
        getUserConfig()->setAccountFilter(QStringLiteral("2_T2"), true);
        W filtered;
        filtered.setSectorName(QStringLiteral("股票持仓"),
                               {QStringLiteral("T2"), QStringLiteral("nobody")}, true, false);
        getUserConfig()->setAccountFilter(QStringLiteral("2_T2"), false);
        QCOMPARE(filtered.model()->size(), 0);
        QCOMPARE(filtered.subscriptionCount(), 0);
    }

    void fiveReloadsKeepOneSubscription()
    {
        auto w = makeWidget();
        for (int i = 0; i < 5; ++i)
            w->loadAccounts();
        auto data = account(QStringLiteral("2_T1"));
        QCOMPARE(data->subscriptionCount(), 1);
        QCOMPARE(w->subscriptionCount(), 2);
        const quint64 pushes = w->positionPushCount();
        data->publish(*data->getPosition(QStringLiteral("2_T1|600000.SH")));
        QCOMPARE(w->positionPushCount(), pushes + 2); // once per push kind, not per reload
    }

    // The trading thread keeps pushing while the widget dies: once the destructor ran no
    // callback of it is left, and pushes after that reach nothing.
    void destroyUnderPushingTradingThread()
    {
        auto w = makeWidget();
        auto data = account(QStringLiteral("2_T1"));
        std::atomic<bool> stop{false};
        std::atomic<int> published{0};
        std::thread trading([&] {
            auto p = *data->getPosition(QStringLiteral("2_T1|600000.SH"));
            while (!stop) {
                p.volume += 1;
                data->publish(p);
                ++published;
            }
        });
        QTRY_VERIFY(w->positionPushCount() > 10);
        w.reset();
        QCOMPARE(data->subscriptionCount(), 0);
        const int after = published;
        QTRY_VERIFY(published > after + 10);
        stop = true;
        trading.join();
    }

    // An indicator column is evaluated per instrument and laid into every row holding it.
    void indicatorColumnReachesEveryPositionRow()
    {
        auto w = makeWidget();
        ColumnInfo ma5;
        ma5.formulaName = QStringLiteral("MA");
        ma5.period = 86400000;
        ma5.title = QStringLiteral("MA5");
        const int column = w->addCustomIndex(ma5);
        QVERIFY(column >= 0);
        QSignalSpy done(w.get(), &CBrowseWidget::sigIndicatorBatchDone);
        w->requestCustomIndex();
        QVERIFY(done.wait(20000));
        const auto a = w->model()->rowByKey(QStringLiteral("2_T1|600000.SH"));
        const auto b = w->model()->rowByKey(QStringLiteral("2_T2|600000.SH"));
        QVERIFY(!isNoValue(a->getDouble(column)));
        QCOMPARE(b->getDouble(column), a->getDouble(column));
    }

    void statisticsDialog()
    {
        auto w = makeWidget();
        const int volume = w->fieldColumn(W::Field_Volume);
        auto run = [&](int column, std::function<void(CSetParamDialog*)> act) {
            w->handleEvent(55, column, 0, QString(), nullptr);
            w->positionHeaderMenu()->hide();
            QTimer::singleShot(0, [&w, act] { act(w->setParamDialog()); });
            w->positionHeaderMenu()->actions().first()->trigger(); // "统计设置"
        };
        // average of "持仓量" over the three rows
        run(volume, [](CSetParamDialog* dialog) {
            QVERIFY(!dialog->modeGroup()->isVisibleTo(dialog));
            dialog->enabledBox()->click();
            QVERIFY(dialog->modeGroup()->isVisibleTo(dialog));
            dialog->modeGroup()->button(CSetParamDialog::Id_Average)->click();
            dialog->okButton()->click();
        });
        QVERIFY(w->model()->hasStatColumn(volume));
        QCOMPARE(w->model()->statText(volume), QStringLiteral("600.00")); // (1000+500+300)/3
        ColumnInfo info;
        QVERIFY(w->getColumnInfo(volume, info));
        QVERIFY(info.statEnabled && info.statAverage);

        // unchecking hides the choice at once; "取消" leaves the column as it was
        run(volume, [](CSetParamDialog* dialog) {
            dialog->enabledBox()->click();
            QVERIFY(!dialog->modeGroup()->isVisibleTo(dialog));
            dialog->cancelButton()->click();
        });
        QVERIFY(w->model()->hasStatColumn(volume));
        QCOMPARE(w->statType(), int(W::StatPosition)); // the dialog's radios stay inside it

        // code, name and industry have no descriptor: no dialog
        w->handleEvent(55, 0, 0, QString(), nullptr);
        w->positionHeaderMenu()->hide();
        auto fresh = makeWidget();
        fresh->handleEvent(55, 1, 0, QString(), nullptr);
        fresh->positionHeaderMenu()->hide();
        fresh->slotSetParam();
        QVERIFY(!fresh->setParamDialog());

        // the widget going away while the dialog runs: nothing touches it afterwards
        auto doomed = makeWidget();
        W* raw = doomed.get();
        raw->handleEvent(55, volume, 0, QString(), nullptr);
        raw->positionHeaderMenu()->hide();
        QTimer::singleShot(0, [&doomed] { doomed.reset(); });
        raw->slotSetParam();
        QVERIFY(!doomed);
    }

    // Saved lines name their column by a stale id: the setting follows the title or the
    // equal column, and no other column takes it over.
    void statisticsRestoreByTitle()
    {
        auto w = makeWidget();
        const int volume = w->fieldColumn(W::Field_Volume);
        const int frozen = w->fieldColumn(W::Field_Frozen);
        const int cost = w->fieldColumn(W::Field_Cost);
        const int costPrice = w->fieldColumn(W::Field_CostPrice);
        auto line = [](const QString& formula, int index, const QString& title, int staleId,
                       int fields, bool stat, bool average) {
            QStringList f;
            for (int i = 0; i < fields; ++i)
                f << QStringLiteral("0");
            f[0] = formula;
            f[1] = QString::number(index);
            f[2] = QStringLiteral("86400000");
            f[3] = title;
            f[4] = QStringLiteral("1");
            f[9] = QString::number(staleId);
            if (fields > 26)
                f[26] = stat ? QStringLiteral("1") : QStringLiteral("0");
            if (fields > 27)
                f[27] = average ? QStringLiteral("1") : QStringLiteral("0");
            return f.join(QLatin1Char(','));
        };
        const QString customs =
            QStringList{line("QUOTER", W::Field_Volume, "持仓量", frozen, 28, true, true),
                        line("MA", 0, "MA5", cost, 28, true, true),
                        line("QUOTER", W::Field_CostPrice, "成本价", costPrice, 27, true, true),
                        QStringLiteral("short,line")}
                .join(QLatin1Char('\n'));
        const QString param =
            QStringLiteral("{\"customs\":\"%1\"}").arg(QString(customs).replace('\n', "\\n"));
        w->setParam(param, false);

        QVERIFY(w->model()->hasStatColumn(volume));
        ColumnInfo info;
        QVERIFY(w->getColumnInfo(volume, info) && info.statEnabled && info.statAverage);
        QVERIFY(!w->model()->hasStatColumn(frozen)); // the stale id's column stays as it was
        QVERIFY(w->getColumnInfo(frozen, info) && !info.statEnabled);
        QVERIFY(w->getColumnInfo(cost, info) && !info.statEnabled);
        QVERIFY(!w->model()->hasStatColumn(costPrice)); // 27 fields: no statistics setting
        int ma5 = -1;
        for (const ColumnInfo& c : w->getCurrentColumnList())
            if (c.title == QLatin1String("MA5"))
                ma5 = c.columnId;
        QVERIFY(ma5 >= 0 && ma5 != cost);
        QVERIFY(w->model()->hasStatColumn(ma5));
        QVERIFY(w->getColumnInfo(ma5, info) && info.statEnabled && info.statAverage);
        // a second restore finds the same columns and adds none
        const int columns = w->getCurrentColumnList().size();
        w->setParam(param, false);
        QCOMPARE(w->getCurrentColumnList().size(), columns);

        // through the table's string into a restarted list: the added column keeps its
        // setting; the built-in columns' settings are not saved
        auto again = makeWidget();
        again->setParam(w->param(false), false);
        int restored = -1;
        for (const ColumnInfo& c : again->getCurrentColumnList())
            if (c.title == QLatin1String("MA5"))
                restored = c.columnId;
        QVERIFY(restored >= 0);
        QVERIFY(again->getColumnInfo(restored, info) && info.statEnabled && info.statAverage);
        QVERIFY(again->model()->hasStatColumn(restored));
        QVERIFY(!again->model()->hasStatColumn(volume));
    }

    // The industry column is hidden as built and keeps what the layout says: the quote
    // table's sector rule for it does not reach the position table.
    void industryColumnRoundTrip_data()
    {
        QTest::addColumn<bool>("sectorShown");
        QTest::addColumn<bool>("industryShown");
        QTest::newRow("no sector, as built") << false << false;
        QTest::newRow("no sector, shown") << false << true;
        QTest::newRow("stock positions, as built") << true << false;
    }
    void industryColumnRoundTrip()
    {
        QFETCH(bool, sectorShown);
        QFETCH(bool, industryShown);
        auto fresh = [sectorShown] { return sectorShown ? makeWidget() : std::make_unique<W>(); };
        constexpr int kIndustry = 2;
        auto w = fresh();
        if (industryShown)
            w->setColumnVisible(kIndustry, true);
        QCOMPARE(w->table()->isColumnVisible(kIndustry), industryShown);
        const QString saved = w->param(false);

        auto again = fresh();
        again->setParam(saved, false);
        QCOMPARE(again->table()->isColumnVisible(kIndustry), industryShown);
        QCOMPARE(again->param(false), saved);
    }
};

QTEST_MAIN(TstPositionWidget)
#include "tst_positionwidget.moc"
