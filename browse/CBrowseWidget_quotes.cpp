// Quote filling: the cache fill, the cache result, live pushes and the refresh tick.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/BrowseEvents.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/IndexManager.h"
#include "host/data/Log.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"

#include <QThread>

#include <cmath>
#include <limits>

namespace TC {

namespace {

constexpr double kEps = kEpsilon;
constexpr int64_t kVolumeMax = std::numeric_limits<int64_t>::max();
constexpr int kPricePrecision = 100; // marker: the instrument's price decimals

bool nearZero(double v)
{
    return std::fabs(v) < kEps;
}

bool isHongKongLine(const QString& m)
{
    return m == QLatin1String("HGT") || m == QLatin1String("SSEHKEX") || m == QLatin1String("SGT")
           || m == QLatin1String("SZSEHKEX");
}

double volumeValue(int64_t volume)
{
    return volume == kVolumeMax ? kNoValue : double(volume);
}

// Precision written with a value of quote id q (kPricePrecision: the price decimals).
int precisionOfQuote(int q, bool constituents)
{
    switch (q) {
    case QC_AVERAGE: return 2;
    case QC_TURNOVER:
    case QC_SPEED1:
    case QC_SPEED5:
    case QC_LINK_RATIO:
    case QC_DISCOUNT: return -3;
    case QC_AMOUNT:
    case QC_VOLUME: return -2;
    case QC_RATIO: return -3;
    case QC_POSITION:
    case QC_BIDVOL1:
    case QC_ASKVOL1:
    case QC_TRADE_COUNT:
    case QC_TOTAL_HANDS:
    case QC_CUR_HANDS:
    case QC_BIDVOL2:
    case QC_BIDVOL3:
    case QC_BIDVOL4:
    case QC_BIDVOL5:
    case QC_ASKVOL2:
    case QC_ASKVOL3:
    case QC_ASKVOL4:
    case QC_ASKVOL5: return 0;
    case QC_ORDER_RATIO:
    case QC_PE: return 2;
    case QC_WEIGHT: return constituents ? -2 : -4;
    case QC_TOTAL_VALUE:
    case QC_FLOAT_VALUE: return -2;
    default: return q < QC_BASE_COUNT ? kPricePrecision : 2;
    }
}

// Which reference a cell's colour compares with: 1 the pre-close, 2 zero, 0 no colour.
int colourRuleOfQuote(int q)
{
    switch (q) {
    case QC_OPEN:
    case QC_LATEST:
    case QC_HIGH:
    case QC_LOW:
    case QC_BID1:
    case QC_ASK1:
    case QC_BID2:
    case QC_BID3:
    case QC_BID4:
    case QC_BID5:
    case QC_ASK2:
    case QC_ASK3:
    case QC_ASK4:
    case QC_ASK5:
    case QC_LINK_PRICE: return 1;
    case QC_RATIO:
    case QC_CHANGE:
    case QC_SPEED1:
    case QC_SPEED5:
    case QC_LINK_RATIO: return 2;
    default: return 0;
    }
}

} // namespace

int CBrowseWidget::priceDecimalsOf(double step)
{
    if (isNoValue(step) || step == 0.0)
        return 2; // a zero step would otherwise claim no decimals
    const double tolerance = step <= 1e-5 ? 1e-6 : 1e-5;
    double s = step;
    int decimals = 0;
    while (decimals < 11 && std::fabs(s - std::round(s)) >= tolerance) {
        s *= 10.0;
        ++decimals;
    }
    return decimals;
}

void CBrowseWidget::rebuildQuoteColumnPlan()
{
    d->m_quotePlan.clear();
    for (const ColumnInfo& c : d->m_columnList) {
        if (c.columnId < 3 || !c.isQuoter())
            continue;
        const int slot = d->m_pModel->quoteSlot(c.columnId);
        if (slot < 0)
            continue;
        const int q = c.lineIndex;
        d->m_quotePlan.push_back({c.columnId, slot, q, precisionOfQuote(q, d->m_bIndexConstituents),
                                  colourRuleOfQuote(q)});
    }
}

void CBrowseWidget::requestMarketQuote(QList<QString>& markets)
{
    if (!markets.isEmpty())
        TT_LOG_INFO("[browser requestMarketQuote] request data market: %1%", markets.last());
    if (!isLatestDay(markets)) {
        TT_LOG_INFO("[browser] request local");
        updateVisibleColumn_fromLocalTick();
        return;
    }
    CWholeQuoteModel::CodeMap codes;
    for (const auto& data : d->m_pModel->getAllDatas()) {
        const auto* row = static_cast<const HpfBrowserData*>(data.get());
        codes[row->market.toStdString()].push_back(row->code.toStdString());
        if (!row->underlyingCode.isEmpty())
            codes[row->underlyingMarket.toStdString()].push_back(row->underlyingCode.toStdString());
    }
    if (codes.empty())
        return; // an empty market list requests nothing
    d->m_pWholeQuoteModel->requestWholeQuote(codes);
}

void CBrowseWidget::updateVisibleColumn_fromLocalTick()
{
    // Past trading days are filled from the local tick cache by the tick-column feature.
}

bool CBrowseWidget::isLatestDay(QList<QString>& markets)
{
    if (!d->m_getTradeDate)
        return true;
    if (markets.isEmpty())
        return false;
    auto* stocks = CStockManager::instance();
    const int t = d->m_getTradeDate();
    const int s = stocks->getLastTradingDay(QStringLiteral("SH"));
    for (const QString& market : markets) {
        const int m = stocks->getLastTradingDay(market);
        if (t == s && s < m)
            return true; // the market already rolled to the next day
        TT_LOG_INFO("[browser request time] market:%1%, tradeDate:%2%, lastDate:%3%", market, t, m);
        if (t >= m)
            return true;
    }
    return false;
}

bool CBrowseWidget::isLatestDay(QString& market)
{
    QList<QString> one{market};
    return isLatestDay(one);
}

void CBrowseWidget::fillQuoterFromCache()
{
    const int64_t start = utils::clock();
    QHash<QString, QVector<QString>> byMarket;
    QList<QString> order;
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto row = boost::static_pointer_cast<HpfBrowserData>(data);
        auto add = [&](const QString& market, const QString& code) {
            auto it = byMarket.find(market);
            if (it == byMarket.end()) {
                order.append(market);
                it = byMarket.insert(market, QVector<QString>());
            }
            it->append(code);
        };
        add(row->market, row->code);
        if (!row->underlyingCode.isEmpty())
            add(row->underlyingMarket, row->underlyingCode);
        fillStocksWeight(row);
    }
    auto* formulas = CFormulaManager::instance();
    for (const QString& market : order) {
        const QVector<QString>& codes = byMarket[market];
        const auto quotes =
            formulas->subPushQuoterFromCache(dorn::PushQuoteParam(market.toStdString()), codes);
        if (d->m_nBrowseStatus != BrowseStatus_Statistic
            && d->m_nBrowseStatus != BrowseStatus_External)
            formulaMarketQuoteBack(market, codes, quotes, false);
    }
    TT_LOG_INFO("[browser] fillQuoterFromCache total time:%1%", int64_t(utils::clock() - start));
}

void CBrowseWidget::slotWholeHistoryQuoteBack()
{
    // copied under the model's cache lock: a newer request's read may be rewriting it
    std::map<std::string, QVector<QString>> codes;
    CWholeQuoteModel::QuoteMap quotes;
    d->m_pWholeQuoteModel->cacheResult(codes, quotes);
    if (d->m_nBrowseStatus != BrowseStatus_Statistic
        && d->m_nBrowseStatus != BrowseStatus_External) {
        for (const auto& entry : quotes) {
            auto found = codes.find(entry.first);
            if (found == codes.end())
                continue;
            formulaMarketQuoteBack(QString::fromStdString(entry.first), found->second, entry.second,
                                   false);
        }
    }
    resort();
    if (!d->m_qsCurrentCode.isEmpty() && d->m_bCurRowBackground)
        drawCurStockBackground(d->m_qsCurrentCode, true);
    if (d->m_nBrowseType == BrowseType_NetBuying)
        deliverEvent(Event_FirstStock, 0, 0, getStock(0));
}

void CBrowseWidget::formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                                         const QVector<QString>&,
                                         const std::vector<quoter::QuoterAllDataPtr>& quotes, bool)
{
    d->acceptPushes(param, codes, quotes);
}

void CBrowseWidgetPrivate::acceptPushes(const dorn::PushQuoteParam& param,
                                        const QVector<QString>& codes,
                                        const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    // A push only replaces its instruments' pending snapshots: the refresh tick writes them
    // into the rows, so rows never show values in an order not yet sorted, and a host
    // pushing faster than the GUI drains holds one snapshot per instrument at most.
    const int status = m_nBrowseStatus;
    if (status == BrowseStatus_Statistic || status == BrowseStatus_External)
        return;
    ++m_nPushCount;
    m_pending.put(param.market, codes, quotes);
}

CBrowseQuoteClient::CBrowseQuoteClient(CBrowseWidget* widget, CBrowseWidgetPrivate* d)
    : m_pWidget(widget), m_pD(d), m_pOwnerThread(widget->thread())
{
}

void CBrowseQuoteClient::formulaPushQuoteBack(dorn::PushQuoteParam& param,
                                              const QVector<QString>& codes,
                                              const QVector<QString>& markets,
                                              const std::vector<quoter::QuoterAllDataPtr>& quotes,
                                              bool last)
{
    if (QThread::currentThread() == m_pOwnerThread)
        m_pWidget->formulaPushQuoteBack(param, codes, markets, quotes, last);
    else
        m_pD->acceptPushes(param, codes, quotes);
}

void CBrowseWidget::slotDrainQueued()
{
    d->m_pWholeQuoteModel->flushQueued();
}

void CBrowseWidget::applyPendingQuotes()
{
    std::vector<CPendingQuotes::Entry>& entries = d->m_pendingScratch;
    d->m_pending.take(entries);
    if (entries.empty())
        return;
    if (d->m_nBrowseStatus == BrowseStatus_Statistic
        || d->m_nBrowseStatus == BrowseStatus_External) {
        entries.clear(); // quote cells belong to the statistics or the external list
        return;
    }
    d->m_nValidSecond = -1;
    const QString* market = nullptr;
    bool shSz = false;
    bool linked = false;
    for (const CPendingQuotes::Entry& e : entries) {
        if (!market || e.market != *market) {
            market = &e.market;
            shSz = isShSzMarket(e.market);
            linked = (d->m_bAHSector && isHongKongLine(e.market)) || (d->m_bConnectSector && shSz);
            d->m_changedMarkets.insert(e.market);
        }
        if (linked)
            applyLinkedQuote(*e.quote, e.market, e.code);
        writeInstrumentQuote(e.market, e.code, *e.quote, shSz);
    }
    d->m_bChanged = true;
    entries.clear(); // keeps the capacity for the next tick
}

void CBrowseWidget::formulaMarketQuoteBack(const QString& market, const QVector<QString>& codes,
                                           const std::vector<quoter::QuoterAllDataPtr>& quotes,
                                           bool repaint)
{
    TT_LOG_DEBUG("[request maket back] start:formulaMarketQuoteBack: market= %1%", market);
    TT_LOG_DEBUG("[request maket back] open:formulaMarketQuoteBack: market= %1%", market);
    d->m_changedMarkets.insert(market);
    d->m_bChanged = true;
    formulaMarketQuoteBackExecute(market, codes, quotes, repaint);
}

void CBrowseWidget::applyLinkedQuote(const quoter::QuoterAllData& q, const QString& market,
                                     const QString& code)
{
    auto byMarket = d->m_linkedRows.constFind(market);
    if (byMarket == d->m_linkedRows.constEnd())
        return;
    auto rows = byMarket->constFind(code);
    if (rows == byMarket->constEnd())
        return;
    const double ratio = nearZero(q.preClose) ? kNoValue : (q.last - q.preClose) / q.preClose;
    for (const HpfBrowserDataPtr& row : *rows) {
        for (const auto& c : d->m_quotePlan) {
            switch (c.quoteId) {
            case QC_LINK_PRICE:
                row->setQuoteValue(c.slot, nearZero(q.last) ? kNoValue : q.last, 2);
                row->setTextColorIndex(c.column, colourIndexOf(q.last - q.preClose));
                break;
            case QC_LINK_RATIO:
                row->setQuoteValue(c.slot, ratio, -3);
                row->setTextColorIndex(c.column,
                                       isNoValue(ratio) ? d->m_nEqualIdx : colourIndexOf(ratio));
                break;
            case QC_LINK_AMOUNT:
                row->setQuoteValue(c.slot, nearZero(q.amount) ? kNoValue : q.amount, -2);
                break;
            default: break;
            }
        }
    }
}

int CBrowseWidget::colourIndexOf(double difference) const
{
    if (difference > kEps)
        return d->m_nRiseIdx;
    if (difference < -kEps)
        return d->m_nFallIdx;
    return d->m_nEqualIdx;
}

void CBrowseWidget::formulaMarketQuoteBackExecute(
    const QString& market, const QVector<QString>& codes,
    const std::vector<quoter::QuoterAllDataPtr>& quotes, bool repaint)
{
    size_t n = size_t(codes.size());
    if (n != quotes.size()) {
        TT_LOG_WARN("[formulaMarketQuoteBackExecute] market= %1% codes:%2% quotes:%3%", market,
                    codes.size(), quotes.size());
        n = std::min(n, quotes.size());
    }
    const bool linked =
        (d->m_bAHSector && isHongKongLine(market)) || (d->m_bConnectSector && isShSzMarket(market));
    if (linked) {
        for (size_t i = 0; i < n; ++i) {
            if (quotes[i])
                applyLinkedQuote(*quotes[i], market, codes[int(i)]);
        }
    }
    bool updated = false;
    const bool shSz = isShSzMarket(market);
    d->m_nValidSecond = -1; // validity is remembered within one batch only
    for (size_t i = 0; i < n; ++i) {
        if (quotes[i])
            updated |= writeInstrumentQuote(market, codes[int(i)], *quotes[i], shSz);
    }
    TT_LOG_DEBUG("[formulaMarketQuoteBackExecute]  market= %1%", market);
    if (updated && repaint && isVisible())
        d->m_pTable->updateUi();
}

bool CBrowseWidget::writeInstrumentQuote(const QString& market, const QString& code,
                                         const quoter::QuoterAllData& quote, bool shSz)
{
    // through the virtual: a derived table may hold several rows per instrument
    bool updated = false;
    const QList<HpfBrowserDataPtr> rows = getDataLastByCode(market, code);
    for (const HpfBrowserDataPtr& row : rows) {
        if (!row)
            continue;
        writeRowQuote(*row, quote, market, shSz);
        updatePositionDataByQuote(row);
        updated = true;
    }
    return updated;
}

void CBrowseWidget::writeRowQuote(HpfBrowserData& row, const quoter::QuoterAllData& q,
                                  const QString& market, bool shSz)
{
    const double N = kNoValue;
    const double pre = q.preClose;
    // a batch shares its few snapshot seconds: ask the host once per second and market
    const int64_t second = q.time / 1000;
    if (second != d->m_nValidSecond || market != d->m_qsValidMarket) {
        d->m_nValidSecond = second;
        d->m_qsValidMarket = market;
        d->m_bValidSecond = CFormulaManager::instance()->isValidData(second, market);
    }
    if (!d->m_bValidSecond && !d->m_bFetchedQuoteDate) {
        // a snapshot of another day only tells the reference price
        for (const auto& c : d->m_quotePlan) {
            if (c.quoteId == QC_PRECLOSE)
                row.setQuoteValue(c.slot, !std::isfinite(pre) || pre <= kEps ? N : pre,
                                  row.priceDecimals);
        }
        return;
    }

    const double s = row.priceStep;
    // a negative or non-finite price is bad input: it counts as no trade, never as a value
    auto usable = [](double price) { return std::isfinite(price) && price > 0.0 ? price : 0.0; };
    const double last = usable(q.last);
    const double bid1 = usable(q.bidPrice[0]);
    const double ask1 = usable(q.askPrice[0]);
    const bool preValid = std::isfinite(pre) && pre > kEps;
    double P = N, open = N, high = N, low = N;
    bool notTraded;
    if (shSz)
        notTraded = q.openInterestOrPhase == 12 || q.openInterestOrPhase == 19;
    else
        notTraded = last <= s && (bid1 > s || ask1 > s);
    if (notTraded) {
        P = !nearZero(last)   ? last
            : !nearZero(bid1) ? bid1
            : !nearZero(ask1) ? ask1
            : preValid        ? pre
                              : N;
    } else if (last > s) {
        P = last;
        open = q.open;
        high = q.high;
        low = q.low;
    }
    double change = N, ratio = N;
    // without a usable pre-close there is nothing to compare with
    if (!isNoValue(P) && preValid) {
        change = P - pre;
        ratio = change / pre;
    }

    const quoter::QuoterAllData* linked = nullptr;
    quoter::QuoterAllDataPtr linkedHolder;
    auto linkedQuote = [&]() -> const quoter::QuoterAllData* {
        if (!linked && !row.underlyingCode.isEmpty()) {
            linkedHolder = dorn::getQuoter(row.underlyingMarket, row.underlyingCode);
            linked = linkedHolder.get();
        }
        return linked;
    };

    for (const auto& c : d->m_quotePlan) {
        const int qid = c.quoteId;
        double v;
        switch (qid) {
        case QC_OPEN: v = open; break;
        case QC_LATEST: v = P; break;
        case QC_HIGH: v = high; break;
        case QC_LOW: v = low; break;
        case QC_AMOUNT: v = q.amount; break;
        case QC_VOLUME:
        case QC_TOTAL_HANDS:
        case QC_CUR_HANDS: v = volumeValue(q.volume); break;
        case QC_PRECLOSE: v = preValid ? pre : N; break;
        case QC_RATIO: v = ratio; break;
        case QC_CHANGE: v = change; break;
        case QC_POSITION: v = double(q.openInterestOrPhase); break;
        case QC_BID1: v = q.bidPrice[0]; break;
        case QC_BIDVOL1: v = volumeValue(q.bidVolume[0]); break;
        case QC_ASK1: v = q.askPrice[0]; break;
        case QC_ASKVOL1: v = volumeValue(q.askVolume[0]); break;
        case QC_BID2:
        case QC_BID3:
        case QC_BID4:
        case QC_BID5: v = q.bidPrice[qid - QC_BID2 + 1]; break;
        case QC_BIDVOL2:
        case QC_BIDVOL3:
        case QC_BIDVOL4:
        case QC_BIDVOL5: v = volumeValue(q.bidVolume[qid - QC_BIDVOL2 + 1]); break;
        case QC_ASK2:
        case QC_ASK3:
        case QC_ASK4:
        case QC_ASK5: v = q.askPrice[qid - QC_ASK2 + 1]; break;
        case QC_ASKVOL2:
        case QC_ASKVOL3:
        case QC_ASKVOL4:
        case QC_ASKVOL5: v = volumeValue(q.askVolume[qid - QC_ASKVOL2 + 1]); break;
        case QC_ORDER_RATIO:
        case QC_PE:
        case QC_TRADE_COUNT:
        case QC_AVERAGE: v = 0.0; break;
        case QC_WEIGHT: v = d->m_bIndexConstituents ? getStkWeight(row.key) : 0.0; break;
        case QC_TOTAL_VALUE:
        case QC_FLOAT_VALUE: {
            const bool noBook = (nearZero(q.bidPrice[0]) || isNoValue(q.bidPrice[0]))
                                && (nearZero(q.askPrice[0]) || isNoValue(q.askPrice[0]));
            const bool noVolume = q.volume == 0 || q.volume == kVolumeMax;
            const double price = noBook && noVolume ? pre : P;
            v = (qid == QC_TOTAL_VALUE ? row.totalShares : row.floatShares) * price;
            if (isNoValue(price) || !(price > 0.0))
                v = N;
            break;
        }
        case QC_TURNOVER:
            if (q.volume == kVolumeMax || nearZero(row.floatShares))
                v = N;
            else if (row.floatShares == 1.0 && getUserConfig()->isHaldenQuoteMode())
                v = N;
            else
                v = double(q.volume) * 100.0 / row.floatShares;
            break;
        case QC_VOLUME_RATIO: v = q.volumeRatio; break;
        case QC_SPEED1: v = q.riseSpeed1 / 100.0; break;
        case QC_SPEED5: v = q.riseSpeed5 / 100.0; break;
        case QC_LINK_PRICE: {
            const auto* u = linkedQuote();
            v = u ? u->last : N;
            break;
        }
        case QC_LINK_RATIO: {
            const auto* u = linkedQuote();
            v = u && !nearZero(u->preClose) ? (u->last - u->preClose) / u->preClose : N;
            break;
        }
        case QC_CONVERT_PRICE: v = row.conversionPrice; break;
        case QC_CONVERT_VALUE:
        case QC_CONVERT_PREMIUM: {
            const auto* u = linkedQuote();
            const double cv =
                u && !nearZero(row.conversionPrice) ? 100.0 / row.conversionPrice * u->last : N;
            if (qid == QC_CONVERT_VALUE)
                v = cv;
            else // premium rate in percent; no value without a price or a usable value
                v = isNoValue(P) || isNoValue(cv) || nearZero(cv) ? N : (P / cv - 1.0) * 100.0;
            break;
        }
        case QC_IOPV: v = q.iopv; break;
        case QC_DISCOUNT:
            v = isNoValue(P) || nearZero(q.iopv) ? N : std::fabs(P - q.iopv) / q.iopv;
            break;
        default: continue; // not written by quotes
        }
        if (nearZero(v) && qid != QC_RATIO && qid != QC_CHANGE
            && !(qid >= QC_TURNOVER && qid <= QC_SPEED5))
            v = N;
        if (!std::isfinite(v))
            v = N;
        row.setQuoteValue(c.slot, v,
                          c.precision == kPricePrecision ? row.priceDecimals : c.precision);

        if (c.colourRule != 0) {
            if (isNoValue(v)) {
                row.setTextColorIndex(c.column, d->m_nEqualIdx);
            } else {
                double reference = 0.0;
                bool comparable = true;
                if (c.colourRule == 1) {
                    if (qid == QC_LINK_PRICE) {
                        const auto* u = linkedQuote();
                        reference = u ? u->preClose : 0.0;
                    } else {
                        reference = pre;
                        comparable = preValid;
                    }
                }
                row.setTextColorIndex(c.column,
                                      comparable ? colourIndexOf(v - reference) : d->m_nEqualIdx);
            }
        }
    }
}

void CBrowseWidget::slotBrowserRefreshTimeOut()
{
    d->m_pWholeQuoteModel->flushQueued();
    applyPendingQuotes();
    if (!d->m_bChanged) {
        d->m_changedMarkets.clear();
        return;
    }
    // Linked rows are fed by markets that are not requested: any change repaints.
    if (d->m_pTable->getSortColumnID() >= 3)
        resort();
    d->m_pTable->updateUi();
    d->m_bChanged = false;
    d->m_changedMarkets.clear();
    ++d->m_nRefreshCount;
    Q_EMIT sigRefreshed();
}

void CPendingQuotes::put(const std::string& market, const QVector<QString>& codes,
                         const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    const size_t n = std::min(size_t(codes.size()), quotes.size());
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_markets.find(market);
    if (found == m_markets.end()) {
        found = m_markets.emplace(market, Market()).first;
        found->second.name = QString::fromStdString(market);
    }
    Market& m = found->second;
    for (size_t i = 0; i < n; ++i) {
        if (!quotes[i])
            continue;
        const QString& code = codes[int(i)];
        auto slot = m.slotOfCode.constFind(code);
        int index;
        if (slot == m.slotOfCode.constEnd()) {
            index = int(m_slots.size());
            m_slots.push_back({m.name, code, nullptr});
            m.slotOfCode.insert(code, index);
        } else {
            index = *slot;
        }
        Slot& s = m_slots[size_t(index)];
        if (!s.quote)
            m_dirty.push_back(index);
        s.quote = quotes[i];
    }
}

void CPendingQuotes::take(std::vector<Entry>& out)
{
    out.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int index : m_dirty) {
        Slot& s = m_slots[size_t(index)];
        out.push_back({s.market, s.code, std::move(s.quote)});
        s.quote.reset();
    }
    m_dirty.clear();
}

void CPendingQuotes::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_markets.clear();
    m_slots.clear();
    m_dirty.clear();
}

int CPendingQuotes::pendingCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_dirty.size());
}

} // namespace TC
