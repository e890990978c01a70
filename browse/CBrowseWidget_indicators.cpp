// Indicator columns: the request queue, the batch worker, laying results, the value cache
// and the live last-value subscription.
//
// One batch (the queue head's formula over every row) runs at a time on a worker thread.
// Each batch carries a sequence number; its results come back through the worker mailbox
// one instrument at a time and are laid only while that number is the running batch's, so
// dropping or restarting the head can never let an old batch write into the new head's
// cells. Cells are written as results arrive, in slices of at most a few milliseconds; the
// repaint and the header progress are coalesced by a 50 ms timer.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/BrowseEvents.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/DataDir.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaOperateManager.h"
#include "host/data/Log.h"
#include "host/data/MultiStockManager.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/data/UserConfig.h"
#include "host/toolkit/MessageBox.h"
#include "host/toolkit/NumberFormat.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace TC {

namespace {

constexpr int kPaintCoalesceMs = 50;
constexpr qint64 kSliceNs = 3000000; // GUI time one drain may spend laying results
constexpr size_t kSliceItems = 32;   // results taken from the inbox at a time
constexpr int kFirstIndicatorColumn = 3;
constexpr double kIntMaxValue = 2147483647.0;
constexpr double kEps = 1e-5;
const QChar kPairSeparator(0x1f);
const QString kAccountParam = QStringLiteral("__sys__account");
const QString kExternalMarket = QStringLiteral("ED");

std::atomic<int> g_indicatorWorkers{0};

bool meetsCondition(double v, double t, int op)
{
    if (isNoValue(v) || isNoValue(t))
        return false;
    switch (op) {
    case 0: return v - t > kEps;
    case 1: return v - t < -kEps;
    case 2: return std::fabs(v - t) <= kEps;
    default: return false;
    }
}

// The fields every request of a batch shares; market, code, id, start and account follow.
CFormulaParam batchTemplate(const CFormulaDetail& detail, const ColumnInfo& column)
{
    CFormulaParam p;
    p.formulaType = detail.type;
    p.formulaName = detail.type == 1 ? QStringLiteral("%1\\%2").arg(
                        getResourceDir() + QStringLiteral("/formula"), detail.name)
                                     : detail.name;
    p.period = column.period;
    p.requestKind = column.period == 0 ? 2 : 0; // 2: the latest trading day only
    p.startTime = quoter::TimeSeq::TIME_START2;
    p.endTime = quoter::TimeSeq::TIME_LASTED;
    p.maxCount = detail.count == 0 ? 2147483647 : detail.count;
    p.lineSetting = column.lineSetting;
    p.periodCode = 7;
    auto addParams = [&p](const std::vector<QString>& names, const std::vector<QString>& values) {
        for (size_t i = 0; i < names.size(); ++i)
            p.params.insert(names[i], i < values.size() ? values[i] : QStringLiteral("0"));
    };
    addParams(detail.paramNames, detail.paramValues);
    addParams(detail.paramNames2, detail.paramValues2);
    return p;
}

} // namespace

// --- the queue -----------------------------------------------------------------------------

void CBrowseWidget::pushBackRequestTask(ColumnInfo& column)
{
    if (column.isEmpty() || column.isQuoter())
        return; // quote columns have no formula to evaluate
    column.reset();
    d->m_requestQueue.append(column);
}

void CBrowseWidget::popBackRequestTask()
{
    if (d->m_requestQueue.isEmpty())
        return;
    stopIndicatorBatch();
    d->m_requestQueue.removeFirst();
}

void CBrowseWidget::nextReQuestTask()
{
    // a head whose columns are all gone is dropped; an empty batch keeps its head
    while (!d->m_requestQueue.isEmpty()) {
        if (requestIndex() != BatchStart::NoTarget)
            return;
        popBackRequestTask();
    }
}

const QList<ColumnInfo>& CBrowseWidget::requestQueue() const
{
    return d->m_requestQueue;
}

bool CBrowseWidget::isIndicatorBatchRunning() const
{
    return d->m_batch.seq != 0;
}

int CBrowseWidget::runningIndicatorWorkers()
{
    return g_indicatorWorkers.load();
}

int CBrowseWidget::queuedIndexOf(const ColumnInfo& column) const
{
    for (int i = 0; i < d->m_requestQueue.size(); ++i) {
        if (d->m_requestQueue[i] == column)
            return i;
    }
    return -1;
}

void CBrowseWidget::stopIndicatorBatch()
{
    CIndicatorBatch& b = d->m_batch;
    if (b.seq == 0)
        return;
    se::setStopFlag(b.stop, true);
    for (int id : b.targets) {
        if (ColumnInfo* c = findColumn(id)) {
            c->reset();
            d->m_pTable->setHeaderProgress(id, QString());
        }
    }
    TT_LOG_DEBUG("[indicator] batch %1% of %2% stopped at %3% of %4%", b.seq, b.head.title,
                 b.received, b.keys.size());
    b = CIndicatorBatch();
}

void CBrowseWidget::reviewQueueHead()
{
    if (d->m_requestQueue.isEmpty())
        return;
    if (d->m_batch.seq != 0) {
        const auto& targets = d->m_batch.targets;
        if (std::any_of(targets.begin(), targets.end(), [this](int id) { return findColumn(id); }))
            return;
    } else {
        const ColumnInfo& head = d->m_requestQueue.first();
        if (std::any_of(d->m_columnList.begin(), d->m_columnList.end(),
                        [&head](const ColumnInfo& c) { return c == head; }))
            return; // a head waiting with an empty batch stays
    }
    popBackRequestTask();
    nextReQuestTask();
}

// --- building and running a batch --------------------------------------------------------

CBrowseWidget::BatchStart CBrowseWidget::requestIndex()
{
    stopIndicatorBatch(); // a new batch supersedes any running one
    ColumnInfo& head = d->m_requestQueue.first();

    // the columns that receive the values, found by id from here on
    std::vector<int> targets;
    for (const ColumnInfo& c : d->m_columnList) {
        if (c.columnId < kFirstIndicatorColumn || c != head)
            continue;
        if (head.refreshAll) {
            targets.push_back(c.columnId);
        } else if (c.title == head.title && c.period == head.period) {
            targets.assign(1, c.columnId);
            break;
        } else if (targets.empty()) {
            targets.push_back(c.columnId); // an equal column under another title
        }
    }
    if (targets.empty())
        return BatchStart::NoTarget;

    const CFormulaDetailPtr detail =
        CFormulaOperateManager::instance()->getFormula(head.formulaName);
    const auto& rows = d->m_pModel->getAllDatas();
    CIndicatorBatch b;
    QVector<CFormulaParam> params;
    QStringList cancelled;
    if (detail) {
        const bool position = isPositionSector();
        auto* stocks = CStockManager::instance();
        const CFormulaParam shared = batchTemplate(*detail, head);
        QHash<QString, int64_t> dayStart; // by market, for period-0 columns
        params.reserve(int(rows.size()));
        b.keys.reserve(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const QString& key = static_cast<const HpfBrowserData*>(rows[i].get())->key;
            if (key.isEmpty())
                continue;
            const QString account = position ? getPositionAccount(int(i)) : QString();
            const QString pair = key + kPairSeparator + head.formulaName;
            auto requested = d->m_requestedPairs.find(pair);
            if (requested != d->m_requestedPairs.end() && !requested->isEmpty())
                cancelled.append(*requested);
            // a position row is keyed by account and instrument: ask for the instrument
            const QString stock = position ? getStock(int(i)) : key;
            QString market, code;
            if (const auto instrument = stocks->getInstrumentDetail(stock)) {
                market = instrument->market;
                code = instrument->code;
            } else if (key.startsWith(kExternalMarket, Qt::CaseInsensitive)) {
                market = kExternalMarket;
                code = key.mid(2);
            } else {
                continue; // no record: nothing to evaluate
            }
            params.append(shared);
            CFormulaParam& p = params.last();
            p.market = market;
            p.code = code;
            p.requestId = se::IdGenerator::genId(0, p.formulaName, code);
            if (head.period == 0) {
                auto day = dayStart.find(market);
                if (day == dayStart.end()) {
                    const QString dayMarket =
                        market == kExternalMarket ? QStringLiteral("SH") : market;
                    day = dayStart.insert(market,
                                          int64_t(stocks->getLastTradingDay(dayMarket)) * 1000);
                }
                p.startTime = *day;
            }
            if (!account.isEmpty())
                p.params.insert(kAccountParam, account);
            d->m_requestedPairs.insert(pair, QString());
            b.keys.push_back(key);
            b.stdKeys.push_back(stock.toStdString());
            b.accounts.push_back(account);
        }
    }
    if (!cancelled.isEmpty())
        CFormulaManager::instance()->unrequestFormulas(cancelled);
    if (params.isEmpty()) {
        TT_LOG_INFO("[indicator] %1%: empty batch (formula %2%, %3% rows), head kept", head.title,
                    detail ? QStringLiteral("found") : QStringLiteral("missing"), rows.size());
        return BatchStart::Empty;
    }

    b.seq = ++d->m_nBatchSeq;
    b.stop = std::make_shared<std::atomic<bool>>(false);
    b.targets = std::move(targets);
    b.matched.resize(b.targets.size());
    head.stopFlag = b.stop;
    for (int id : b.targets) {
        if (ColumnInfo* c = findColumn(id)) {
            c->doneCount = 0;
            c->totalCount = params.size();
            c->matchedKeys.clear();
            c->stopFlag = b.stop;
        }
    }
    b.head = head;
    d->m_batch = std::move(b);

    const quint64 seq = d->m_batch.seq;
    const se::StopFlag stop = d->m_batch.stop;
    const CWorkerMailboxPtr mailbox = d->m_mailbox;
    const std::shared_ptr<std::mutex> requestMutex = d->m_requestMutex;
    const std::shared_ptr<CIndicatorInbox> inbox = d->m_inbox;
    TT_LOG_DEBUG("[indicator] batch %1% of %2%: %3% requests", seq, head.title, params.size());
    ++g_indicatorWorkers;
    // The worker holds the mailbox, the mutex, the flag and its copy of the batch, never
    // the widget: what it posts runs on the GUI thread only while the widget lives.
    std::thread([this, seq, stop, mailbox, requestMutex, inbox, params = std::move(params)]() {
        pthread_setname_np(pthread_self(), "browseWidget");
        auto deliver = [&](int index, const se::RPCFormulaMetaResultPtr& meta,
                           const se::RPCFormulaResultPtr& result) {
            std::lock_guard<std::mutex> lock(inbox->mutex);
            inbox->items.push_back({seq, index, meta, result});
            if (!inbox->drainPosted)
                inbox->drainPosted = mailbox->post([this]() { drainIndicatorInbox(); });
        };
        {
            std::lock_guard<std::mutex> lock(*requestMutex);
            if (!se::isStopped(stop)) {
                TT_LOG_DEBUG("CBrowseWidget::requestSync start");
                CFormulaManager::instance()->requestFormulasSync2(
                    params,
                    [&](int index, int count, const se::RPCFormulaMetaResultPtr& meta,
                        const se::RPCFormulaResultPtr& result) {
                        if (index >= 0 && index < count && !se::isStopped(stop))
                            deliver(index, meta, result);
                    },
                    stop);
                TT_LOG_DEBUG("CBrowseWidget::requestSync done");
            }
            deliver(-1, nullptr, nullptr);
        }
        --g_indicatorWorkers;
    }).detach();
    return BatchStart::Started;
}

// --- laying results ----------------------------------------------------------------------

void CBrowseWidget::drainIndicatorInbox()
{
    QPointer<CBrowseWidget> self(this); // a slot of sigIndicatorBatchDone may delete it
    CIndicatorInbox& inbox = *d->m_inbox;
    std::vector<CIndicatorInbox::Item>& slice = d->m_inboxSlice;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        slice.clear();
        {
            std::lock_guard<std::mutex> lock(inbox.mutex);
            if (inbox.items.empty()) {
                inbox.drainPosted = false;
                return;
            }
            if (clock.nsecsElapsed() >= kSliceNs) {
                // the rest after the event loop had its turn (timers, paints, input)
                inbox.drainPosted = d->m_mailbox->post([this]() { drainIndicatorInbox(); });
                return;
            }
            const size_t n = std::min(kSliceItems, inbox.items.size());
            std::move(inbox.items.begin(), inbox.items.begin() + std::ptrdiff_t(n),
                      std::back_inserter(slice));
            inbox.items.erase(inbox.items.begin(), inbox.items.begin() + std::ptrdiff_t(n));
        }
        for (CIndicatorInbox::Item& item : slice) {
            if (item.index < 0)
                finishIndicatorWorker(item.seq);
            else
                layIndicatorResult(item.seq, item.index, item.meta, item.result);
            if (!self)
                return;
        }
    }
}

void CBrowseWidget::layIndicatorResult(quint64 seq, int index,
                                       const se::RPCFormulaMetaResultPtr& meta,
                                       const se::RPCFormulaResultPtr& result)
{
    CIndicatorBatch& b = d->m_batch;
    if (seq == 0 || seq != b.seq || index < 0 || index >= int(b.keys.size()))
        return; // a dropped or restarted batch
    bool listed = false;
    for (int id : b.targets)
        listed = listed || findColumn(id);
    if (!listed) {
        // every column of the head is gone
        popBackRequestTask();
        nextReQuestTask();
        return;
    }

    const int line = b.head.lineIndex;
    int dataType = -1;
    if (meta && result && line >= 0 && size_t(line) < meta->lineIndexes.size()
        && !meta->lineIndexes[size_t(line)].empty()) {
        const int typeIndex = meta->lineIndexes[size_t(line)].front();
        if (typeIndex >= 0 && size_t(typeIndex) < result->dataTypes.size())
            dataType = result->dataTypes[size_t(typeIndex)];
    }
    const bool valid = dataType != -1;
    const bool text = dataType == se::kFormulaTextType;

    // The cell's value, written once into every row of the instrument and every target.
    QVariant cell;
    double value = kNoValue;
    if (valid && text) {
        const std::vector<std::string>* series = size_t(line) < result->stringValues.size()
                                                     ? &result->stringValues[size_t(line)]
                                                     : nullptr;
        cell = series && !series->empty() ? QString::fromStdString(series->back())
                                          : QStringLiteral("_");
    } else if (valid) {
        const std::vector<double>* series = size_t(line) < result->doubleValues.size()
                                                ? &result->doubleValues[size_t(line)]
                                                : nullptr; // fewer series than lines: empty
        if (series && !series->empty()) {
            const double v = series->back();
            if (std::isfinite(v) && v != kIntMaxValue)
                value = v;
        }
        cell = value;
    }

    std::vector<HpfBrowserDataPtr>& rows = d->m_indicatorRows;
    rows.clear();
    if (valid)
        getBrowserDataByStockCode(b.stdKeys[size_t(index)], rows, b.accounts[size_t(index)]);
    const QString& key = b.keys[size_t(index)];
    const QString& sector = d->m_qsSectorName;

    for (size_t t = 0; t < b.targets.size(); ++t) {
        const int id = b.targets[t];
        ColumnInfo* c = findColumn(id);
        if (!c || c->totalCount == 0)
            continue;
        if (!b.conditionCleared && c->conditionEnabled && c->conditionReset
            && !c->conditionSector.isEmpty()) {
            // this column's earlier matches under its condition sector go; others' stay
            b.conditionCleared = true;
            d->m_conditionSectors.insert(c->conditionSector);
            auto byTitle = d->m_customIndexValues.find(c->conditionSector);
            if (byTitle != d->m_customIndexValues.end())
                byTitle->remove(c->title);
        }
        if (c->doneCount < c->totalCount)
            ++c->doneCount; // one step per result, whatever rows it found
        if (rows.empty())
            continue;
        const int slot = d->m_pModel->indicatorSlot(id);
        if (slot < 0)
            continue;
        const int kind = text ? ValueType_Text : ValueType_Double;
        if (d->m_pModel->tables().valueTypeOf(id) != kind)
            d->m_pModel->setValueType(id, kind);
        for (const HpfBrowserDataPtr& row : rows)
            row->setIndicatorValue(slot, cell);
        if (text)
            continue; // only numbers are cached
        QMap<QString, double>& cached = d->m_customIndexValues[sector][c->title];
        if (isNoValue(value))
            cached.remove(key);
        else
            cached.insert(key, value);
        if (c->conditionEnabled
            && meetsCondition(value, c->conditionThreshold, c->conditionOperator)
            && !c->conditionSector.isEmpty()) {
            d->m_customIndexValues[c->conditionSector][c->title].insert(key, value);
            if (!b.matched[t].contains(key)) {
                b.matched[t].insert(key);
                c->matchedKeys.push_back(key);
            }
        }
    }

    ++b.received;
    if (b.received >= int(b.keys.size())) {
        completeIndicatorBatch();
        return;
    }
    if (!d->m_pIndicatorPaintTimer) {
        d->m_pIndicatorPaintTimer = new QTimer(this);
        d->m_pIndicatorPaintTimer->setSingleShot(true);
        d->m_pIndicatorPaintTimer->setInterval(kPaintCoalesceMs);
        connect(d->m_pIndicatorPaintTimer, &QTimer::timeout, this,
                &CBrowseWidget::slotIndicatorPaint);
    }
    if (!d->m_pIndicatorPaintTimer->isActive())
        d->m_pIndicatorPaintTimer->start();
}

void CBrowseWidget::slotIndicatorPaint()
{
    static const QString invalid = QStringLiteral("非法值");
    bool headerChanged = false;
    for (int id : d->m_batch.targets) {
        const ColumnInfo* c = findColumn(id);
        if (!c || c->totalCount <= 0 || c->doneCount >= c->totalCount)
            continue;
        const QString fraction = XP::formatDoubleNumber(double(c->doneCount) / c->totalCount, 1,
                                                        XP::FMT_PERCENT, true, invalid);
        d->m_pTable->setHeaderProgress(id, QLatin1Char('(') + fraction + QLatin1Char(')'));
        headerChanged = true;
    }
    // A header change relays the header out and repaints the whole table after it; asking
    // for the cells as well would paint twice per tick.
    if (!headerChanged)
        d->m_pTable->updateUi();
}

void CBrowseWidget::finishIndicatorWorker(quint64 seq)
{
    if (seq == 0 || seq != d->m_batch.seq)
        return;
    // the service returned without a result for every request: the rest count as done
    TT_LOG_WARN("[indicator] batch %1% of %2% ended after %3% of %4% results", seq,
                d->m_batch.head.title, d->m_batch.received, d->m_batch.keys.size());
    completeIndicatorBatch();
}

void CBrowseWidget::completeIndicatorBatch()
{
    QPointer<CBrowseWidget> self(this);
    CIndicatorBatch b = std::move(d->m_batch);
    d->m_batch = CIndicatorBatch();
    if (d->m_pIndicatorPaintTimer)
        d->m_pIndicatorPaintTimer->stop();

    auto* sectors = CSectorManager::instance();
    const bool prompt = getUserConfig()->isPromptRunResult();
    const bool recalculate = getUserConfig()->isMultiStockRecalculate();
    bool stat = false;
    bool resort = false;
    const int sortColumn = d->m_pTable->getSortColumnID();
    for (int id : b.targets) {
        ColumnInfo* c = findColumn(id);
        if (!c)
            continue;
        if (c->conditionEnabled && !c->conditionSector.isEmpty() && !c->matchedKeys.empty()) {
            if (d->m_conditionSectors.remove(c->conditionSector))
                sectors->cleanStockFromSector(c->conditionSector, false);
            QStringList keys;
            keys.reserve(int(c->matchedKeys.size()));
            for (const QString& k : c->matchedKeys)
                keys.append(k);
            sectors->addStockListToSector(c->conditionSector, keys);
        }
        // the multi-stock window follows its sector's new matches (none: it empties on reset)
        if (c->conditionEnabled && recalculate && !c->conditionSector.isEmpty()) {
            auto* multiStock = CMultiStockManager::instance();
            if (multiStock->getSector() == c->conditionSector)
                multiStock->recalculate(c->matchedKeys, c->conditionReset);
        }
        if (c->promptResult && prompt && !c->matchedKeys.empty())
            CFormulaManager::instance()->promptRunResult(c->matchedKeys);
        // listeners of the host's signals may have closed the widget or removed the column
        if (!self)
            return;
        c = findColumn(id);
        if (!c)
            continue;
        stat = stat || c->statEnabled;
        resort = resort || sortColumn == id;
        c->reset();
        d->m_pTable->setHeaderProgress(id, QString());
    }
    if (stat)
        d->scheduleStatUpdate();
    if (resort)
        d->m_pTable->resort();
    d->m_pTable->updateUi();
    TT_LOG_DEBUG("[indicator] batch %1% of %2% complete: %3% results", b.seq, b.head.title,
                 b.received);

    if (!d->m_requestQueue.isEmpty())
        d->m_requestQueue.removeFirst();
    // sectors whose earlier matches were to go and that matched nothing this time
    for (const QString& name : qAsConst(d->m_conditionSectors))
        sectors->cleanStockFromSector(name, true);
    d->m_conditionSectors.clear();
    Q_EMIT sigIndicatorBatchDone(b.targets.empty() ? -1 : b.targets.front());
    if (self)
        nextReQuestTask();
}

// --- custom-index columns ------------------------------------------------------------------

int CBrowseWidget::addCustomIndex(ColumnInfo& column)
{
    const int id = addColumn(column);
    if (id < 0)
        return -1;
    d->m_customIndexColumns.append(column);
    return id;
}

const QList<ColumnInfo>& CBrowseWidget::customIndexColumns() const
{
    return d->m_customIndexColumns;
}

bool CBrowseWidget::isCustomIndexExist(const QString& title) const
{
    return std::any_of(d->m_customIndexColumns.begin(), d->m_customIndexColumns.end(),
                       [&title](const ColumnInfo& c) { return c.title == title; });
}

void CBrowseWidget::requestCustomIndex()
{
    if (d->m_columnList.isEmpty())
        return;
    ColumnInfo column = d->m_columnList.last();
    d->m_nHeaderColumn = column.columnId;
    if (column.columnKind == 2) {
        doUpdateStageData(column.columnId); // interval statistics have their own requests
        return;
    }
    pushBackRequestTask(column);
    if (d->m_requestQueue.size() == 1)
        nextReQuestTask();
}

void CBrowseWidget::requeAllCustomIndex()
{
    QList<ColumnInfo> queue;
    if (!d->m_requestQueue.isEmpty()) {
        ColumnInfo head = d->m_requestQueue.first();
        stopIndicatorBatch();
        head.refreshAll = true;
        head.reset();
        queue.append(head);
    }
    for (const ColumnInfo& c : d->m_customIndexColumns) {
        if (std::any_of(queue.begin(), queue.end(), [&c](const ColumnInfo& q) { return q == c; }))
            continue;
        ColumnInfo copy = c;
        copy.refreshAll = true;
        copy.reset();
        queue.append(copy);
    }
    d->m_requestQueue = queue;
    nextReQuestTask();
}

void CBrowseWidget::removeSelectCustomIndex()
{
    if (d->m_customIndexColumns.isEmpty()) {
        XP::CMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("自定义指标为空"),
                                     XP::CMessageBox::Ok);
        return;
    }
    QStringList titles;
    for (const ColumnInfo& c : d->m_customIndexColumns)
        titles.append(c.title);
    QStringList chosen;
    if (!CSimGetCheckSelectDialog::pick(this, QStringLiteral("删除自定义指标"), titles, chosen))
        return; // the widget went away during the dialog
    for (const QString& title : chosen) {
        auto it = std::find_if(d->m_customIndexColumns.begin(), d->m_customIndexColumns.end(),
                               [&title](const ColumnInfo& c) { return c.title == title; });
        if (it != d->m_customIndexColumns.end())
            removeColumnInfo(it->columnId);
    }
    if (!chosen.isEmpty())
        reviewQueueHead();
    d->m_pTable->updateUi();
}

void CBrowseWidget::slotDelSelectCustomIndex()
{
    removeSelectCustomIndex();
}

void CBrowseWidget::slotUpdateAllCustomIndex()
{
    requeAllCustomIndex();
}

void CBrowseWidget::slotEditIndex()
{
    deliverEvent(Event_SectorCommand, 0, 0, QString(), this);
}

void CBrowseWidget::slotExportIndex()
{
    deliverEvent(Event_SectorCommand, 0, 1, QString(), this);
}

// --- values --------------------------------------------------------------------------------

CBrowseWidget::CustomIndexValues& CBrowseWidget::customIndexValues()
{
    return d->m_customIndexValues;
}

const CBrowseWidget::CustomIndexValues& CBrowseWidget::customIndexValues() const
{
    return d->m_customIndexValues;
}

int CBrowseWidget::requestedPairCount() const
{
    return d->m_requestedPairs.size();
}

void CBrowseWidget::fillLastCustomIndexValue()
{
    if (d->m_nValueFillHolds > 0) {
        d->m_bValueFillPending = true;
        return;
    }
    fillUserDefinedValues();
    auto bySector = d->m_customIndexValues.constFind(d->m_qsSectorName);
    if (bySector == d->m_customIndexValues.constEnd())
        return;
    const auto& rows = d->m_pModel->getAllDatas();
    // The rows in key order, built once: each column's values (a map in the same order) are
    // then laid in one merged walk, with no look-up per cell.
    std::vector<HpfBrowserData*> byKey;
    bool sorted = false;
    for (const ColumnInfo& c : d->m_columnList) {
        // indicator columns only: a quote column may carry the same title
        if (c.columnId < kFirstIndicatorColumn || c.isQuoter()
            || !d->m_pTable->isColumnVisible(c.columnId))
            continue;
        const int slot = d->m_pModel->indicatorSlot(c.columnId);
        auto byTitle = bySector->constFind(c.title);
        if (slot < 0 || byTitle == bySector->constEnd() || byTitle->isEmpty())
            continue;
        if (!sorted) {
            byKey.reserve(rows.size());
            for (const auto& data : rows)
                byKey.push_back(static_cast<HpfBrowserData*>(data.get()));
            std::stable_sort(
                byKey.begin(), byKey.end(),
                [](const HpfBrowserData* a, const HpfBrowserData* b) { return a->key < b->key; });
            sorted = true;
        }
        auto value = byTitle->constBegin();
        const auto end = byTitle->constEnd();
        for (HpfBrowserData* row : byKey) {
            while (value != end && value.key() < row->key)
                ++value;
            if (value == end)
                break;
            if (value.key() == row->key)
                row->setIndicatorValue(slot, value.value());
        }
    }
    d->m_pTable->updateUi();
}

CBrowseWidget::ValueFillHold::ValueFillHold(CBrowseWidget* widget) : m_pWidget(widget)
{
    if (m_pWidget)
        ++m_pWidget->d->m_nValueFillHolds;
}

CBrowseWidget::ValueFillHold::~ValueFillHold()
{
    if (!m_pWidget || --m_pWidget->d->m_nValueFillHolds > 0 || !m_pWidget->d->m_bValueFillPending)
        return;
    m_pWidget->d->m_bValueFillPending = false;
    m_pWidget->fillLastCustomIndexValue();
    // a sort by a filled column applied under the hold ordered the rows without their values
    CHpfBrowserTable* table = m_pWidget->d->m_pTable;
    if (table && m_pWidget->d->m_pModel->indicatorSlot(table->getSortColumnID()) >= 0) {
        table->resort();
        table->updateUi();
    }
}

void CBrowseWidget::setColumnValue(int columnId, const QMap<QString, double>& values)
{
    const int indicator = d->m_pModel->indicatorSlot(columnId);
    const int quote = d->m_pModel->quoteSlot(columnId);
    if (indicator < 0 && quote < 0)
        return;
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        const double v = values.value(row->key, kNoValue);
        if (indicator >= 0)
            row->setIndicatorValue(indicator, v);
        else if (quote < row->quotePrecisions.size())
            row->setQuoteValue(quote, v, row->quotePrecisions[quote]);
    }
    d->m_pTable->updateUi();
}

// --- live last values ----------------------------------------------------------------------

void CBrowseWidget::requestLastIndex()
{
    if (!d->m_getTradeDate) {
        TT_LOG_WARN("[indicator] requestLastIndex: no trade-date getter");
        return;
    }
    auto* formulas = CFormulaManager::instance();
    if (d->m_nIndexRequestId != -1) {
        formulas->unrequestIndex(d->m_nIndexRequestId);
        d->m_nIndexRequestId = -1;
    }
    const quint64 seq = ++d->m_nLastIndexSeq;
    quoter::TRegionInfo region;
    region.time = int64_t(d->m_getTradeDate()) * 1000;
    const CWorkerMailboxPtr mailbox = d->m_mailbox;
    // Both callbacks may run on host threads; they reach the widget only by the mailbox. An
    // id that cannot be delivered (the widget is gone) is cancelled on the spot.
    const long long id = formulas->requestIndex(
        region,
        [this, seq, mailbox](long long requestId) {
            if (!mailbox->post([this, seq, requestId]() { requestIDcallBack(seq, requestId); }))
                CFormulaManager::instance()->unrequestIndex(requestId);
        },
        [this, seq, mailbox](const std::map<std::string, quoter::QuoterBasePtr>& values) {
            mailbox->post([this, seq, values]() {
                if (seq == d->m_nLastIndexSeq)
                    ondataIndex(values);
            });
        });
    if (seq == d->m_nLastIndexSeq)
        d->m_nIndexRequestId = id;
}

void CBrowseWidget::requestIDcallBack(quint64 seq, long long id)
{
    auto* formulas = CFormulaManager::instance();
    if (seq != d->m_nLastIndexSeq) {
        formulas->unrequestIndex(id); // superseded or cancelled meanwhile
        return;
    }
    if (d->m_nIndexRequestId != -1 && d->m_nIndexRequestId != id)
        formulas->unrequestIndex(d->m_nIndexRequestId);
    d->m_nIndexRequestId = id;
}

void CBrowseWidget::ondataIndex(const std::map<std::string, quoter::QuoterBasePtr>& values)
{
    d->m_lastIndexData = values;
    // the rows of the valued keys show them as quotes
    BrowseFetchData records;
    for (const auto& entry : values)
        records[entry.first].push_back(entry.second);
    Q_EMIT sigFetchTickDatas(records);
    Q_EMIT sigLastIndexData();
}

qint64 CBrowseWidget::lastIndexRequestId() const
{
    return d->m_nIndexRequestId;
}

const std::map<std::string, quoter::QuoterBasePtr>& CBrowseWidget::lastIndexData() const
{
    return d->m_lastIndexData;
}

} // namespace TC
