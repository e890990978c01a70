// Interval statistic (stage) columns, the speed column and the weight/ratio column move.
//
// A refresh fetches the interval's bars per market on worker threads, the visible rows'
// requests first. Workers only fetch and convert; each delivery comes back through the
// worker mailbox stamped with the refresh's generation, so a delivery of an earlier
// refresh, of a removed column or for a destroyed widget is never laid. The statistics
// are computed on the GUI thread as deliveries are laid.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/FormulaManager.h"
#include "host/data/Log.h"
#include "host/data/StockManager.h"
#include "host/toolkit/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace TC {

namespace {

constexpr double kEps = 1e-5;
constexpr int kStageKind = 2;
constexpr int kStageFields = 6;
constexpr qint64 kMsPerSecond = 1000;
constexpr qint64 kSecondsMax = std::numeric_limits<qint64>::max() / kMsPerSecond;
constexpr size_t kStageChunk = 1000; // instruments a stage delivery carries
const QString kStageFormula = QStringLiteral("STAGE");

// Statistic types of a stage column.
enum StageType {
    ST_High = 0,
    ST_Low = 1,
    ST_Volume = 2,
    ST_Change = 3,
    ST_Ratio = 4,
    ST_Amount = 5,
    ST_High2 = 6
};

bool usablePrice(double v)
{
    return std::isfinite(v) && !isNoValue(v) && v > kEps;
}

// The statistic of one instrument's bars; false when fewer than two bars are usable (the
// cell keeps its value). b[0] only gives the reference close.
bool stageValue(const std::vector<quoter::QuoterBasePtr>& records, int type, double& out)
{
    const quoter::KLineData* first = nullptr;
    const quoter::KLineData* last = nullptr;
    int n = 0;
    double high = -std::numeric_limits<double>::infinity();
    double low = std::numeric_limits<double>::infinity();
    double amount = 0.0;
    int64_t volume = 0;
    for (const quoter::QuoterBasePtr& r : records) {
        const quoter::KLineData* bar = quoter::asKLine(r.get());
        if (!bar)
            continue;
        if (n++ == 0) {
            first = bar;
            continue;
        }
        last = bar;
        if (usablePrice(bar->high))
            high = std::max(high, bar->high);
        if (usablePrice(bar->low))
            low = std::min(low, bar->low);
        if (std::isfinite(bar->amount) && !isNoValue(bar->amount))
            amount += bar->amount;
        volume += bar->volume;
    }
    if (n < 2)
        return false;
    switch (type) {
    case ST_High:
    case ST_High2: out = std::isfinite(high) ? high : kNoValue; break;
    case ST_Low: out = std::isfinite(low) ? low : kNoValue; break;
    case ST_Volume: out = double(volume); break;
    case ST_Change:
    case ST_Ratio: {
        // a reference or a close without value compares with nothing
        const double ref = first->close;
        const double close = last->close;
        if (!usablePrice(ref) || !usablePrice(close))
            out = kNoValue;
        else
            out = type == ST_Change ? close - ref : (close - ref) / ref;
        break;
    }
    case ST_Amount: out = amount; break;
    default: out = 0.0; break;
    }
    return true;
}

// Folds b[1] ... b[n-1] of every instrument into one bar after the reference bar: highest
// usable high, lowest usable low, summed volume and amount, the last close. Every statistic
// comes out as from the whole interval, and the GUI thread lays two bars an instrument.
void foldStageBars(BrowseFetchData& data)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto& entry : data) {
        std::vector<quoter::QuoterBasePtr>& records = entry.second;
        if (records.size() <= 2)
            continue;
        auto folded = std::make_shared<quoter::KLineData>();
        double high = -std::numeric_limits<double>::infinity();
        double low = std::numeric_limits<double>::infinity();
        for (size_t i = 1; i < records.size(); ++i) {
            const quoter::KLineData* bar = quoter::asKLine(records[i].get());
            if (!bar)
                continue;
            if (usablePrice(bar->high))
                high = std::max(high, bar->high);
            if (usablePrice(bar->low))
                low = std::min(low, bar->low);
            if (std::isfinite(bar->amount) && !isNoValue(bar->amount))
                folded->amount += bar->amount;
            folded->volume += bar->volume;
            folded->close = bar->close;
            folded->time = bar->time;
        }
        folded->high = std::isfinite(high) ? high : nan;
        folded->low = std::isfinite(low) ? low : nan;
        records.resize(1);
        records.push_back(std::move(folded));
    }
}

int precisionOfStage(int type)
{
    switch (type) {
    case ST_Ratio: return -3;
    case ST_Volume:
    case ST_Amount: return -2;
    default: return 2;
    }
}

} // namespace

// --- interval statistic columns --------------------------------------------------------------

void CBrowseWidget::addStageColumn(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() < kStageFields) {
        TT_LOG_WARN("[browser stage] column setting \"%1%\" has %2% fields, needs %3%", text,
                    fields.size(), kStageFields);
        return;
    }
    bool ok[5];
    const qint64 start = fields[0].trimmed().toLongLong(&ok[0]);
    const qint64 end = fields[1].trimmed().toLongLong(&ok[1]);
    const int setting = fields[2].trimmed().toInt(&ok[2]);
    const qint64 seconds = fields[3].trimmed().toLongLong(&ok[3]);
    const int type = fields[4].trimmed().toInt(&ok[4]);
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; })) {
        TT_LOG_WARN("[browser stage] column setting \"%1%\": a numeric field does not parse", text);
        return;
    }
    if (seconds < 0 || seconds * kMsPerSecond > std::numeric_limits<qint32>::max() || start < 0
        || end < 0 || start > kSecondsMax || end > kSecondsMax) {
        TT_LOG_WARN("[browser stage] column setting \"%1%\": a time is out of range", text);
        return;
    }
    ColumnInfo column;
    column.formulaName = kStageFormula;
    column.columnKind = kStageKind;
    column.valueA = start;
    column.valueB = end;
    column.lineSetting = setting;
    column.period = int(seconds * kMsPerSecond);
    column.intSetting = type;
    column.title = fields.mid(kStageFields - 1).join(QLatin1Char(','));
    column.precision = precisionOfStage(type);
    column.isPrivate = 1;

    int id = -1;
    for (ColumnInfo& c : d->m_columnList) {
        if (c == column) {
            column.columnId = id = c.columnId;
            c = column;
            break;
        }
    }
    if (id >= 0) {
        for (ColumnInfo& c : d->m_customIndexColumns) {
            if (c == column) {
                c = column;
                break;
            }
        }
        d->m_pTable->setHeaderText(id, column.title);
    } else {
        id = addColumn(column);
        if (id < 0)
            return;
    }
    reSort(id, 1);
    doUpdateStageData(id);
}

void CBrowseWidget::updateStageColumn()
{
    QVector<int> ids;
    for (const ColumnInfo& c : d->m_columnList) {
        if (c.columnKind == kStageKind)
            ids.append(c.columnId);
    }
    for (int id : ids)
        doUpdateStageData(id);
}

void CBrowseWidget::doUpdateStageData(int columnId)
{
    ColumnInfo* column = findColumn(columnId);
    if (!column || column->columnKind != kStageKind || !d->m_pModel || d->m_pModel->size() == 0)
        return;

    se::RPCFetchCacheDataParam shared;
    shared.startTime = column->valueA * kMsPerSecond; // both bounded by addStageColumn
    shared.endTime = column->valueB * kMsPerSecond;
    shared.period = column->period;
    shared.interval = 60000;
    shared.lineSetting = column->lineSetting;

    const int first = d->m_pTable->getStartRow();
    const int last = d->m_pTable->getEndRow();
    auto* stocks = CStockManager::instance();
    QMap<QString, se::RPCFetchCacheDataParam> visible, others;
    QMap<QString, QStringList> visibleKeys;
    const auto& rows = d->m_pModel->getAllDatas();
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto* row = static_cast<const HpfBrowserData*>(rows[i].get());
        const ttservice::CInstrumentDetailPtr detail = stocks->getInstrumentDetail(row->key);
        if (!detail)
            continue;
        const bool shown = int(i) >= first && int(i) <= last;
        auto& requests = shown ? visible : others;
        auto it = requests.find(detail->market);
        if (it == requests.end()) {
            it = requests.insert(detail->market, shared);
            it->market = detail->market.toStdString();
            it->quoterType =
                shared.period != 0 ? se::kQuoterTypeBar : se::getQuoterType(detail->market);
        }
        it->codes.push_back(detail->code.toStdString());
        if (shown)
            visibleKeys[detail->market].append(row->key);
    }

    // a new refresh: progress from zero, deliveries of the earlier one dropped
    CStageRun& run = d->m_stageRuns[columnId];
    run = CStageRun();
    run.generation = ++d->m_nStageSeq;
    for (auto it = visible.constBegin(); it != visible.constEnd(); ++it) {
        const QStringList& keys = visibleKeys[it.key()];
        run.requestKeys.push_back(keys);
        for (const QString& key : keys)
            run.pendingVisible.insert(key);
    }
    run.requestKeys.resize(size_t(visible.size() + others.size()));
    run.openRequests = visible.size() + others.size();
    column->reset();
    column->totalCount = run.pendingVisible.size();
    d->m_pTable->setHeaderProgress(columnId, QString());
    countStageProgress(columnId, 0); // 0% until the first visible rows are laid
    TT_LOG_DEBUG("[browser stage] %1%: refresh %2%, %3% visible of %4% rows", column->title,
                 run.generation, column->totalCount, rows.size());

    const quint64 generation = run.generation;
    const CWorkerMailboxPtr mailbox = d->m_mailbox;
    int request = 0;
    for (const auto* requests : {&visible, &others}) {
        for (const se::RPCFetchCacheDataParam& param : *requests) {
            const int index = request++;
            const bool started = startBrowseWorker(
                "browseStage", [this, mailbox, param, columnId, generation, index]() {
                    doFetchStageData(this, mailbox, param, columnId, generation, index);
                });
            if (!started)
                finishStageRequest(columnId, generation, index); // counts as answered
        }
    }
}

void CBrowseWidget::doFetchStageData(CBrowseWidget* self, const CWorkerMailboxPtr& mailbox,
                                     const se::RPCFetchCacheDataParam& param, int columnId,
                                     quint64 generation, int request)
{
    BrowseFetchData data;
    CFormulaManager::instance()->fetchCacheData(param,
                                                [&data](BrowseFetchData& r) { data.swap(r); });
    // quote records where bars are needed; the column check is the GUI thread's
    fetchDataQuoteToKLineData(data);
    foldStageBars(data);
    // deliveries of a bounded size, so laying one never holds the GUI thread for long; the
    // last one ends the request
    for (;;) {
        BrowseFetchData chunk;
        while (!data.empty() && chunk.size() < kStageChunk)
            chunk.insert(data.extract(data.begin()));
        const bool last = data.empty();
        const bool posted = mailbox->post(
            [self, columnId, generation, request, last, chunk = std::move(chunk)]() mutable {
                self->queueFetchJob(
                    [self, columnId, generation, request, last, chunk = std::move(chunk)]() {
                        self->deliverStageData(columnId, generation, request, chunk, last);
                    });
            });
        if (last || !posted)
            return;
    }
}

void CBrowseWidget::deliverStageData(int columnId, quint64 generation, int request,
                                     const BrowseFetchData& data, bool last)
{
    auto run = d->m_stageRuns.find(columnId);
    if (run == d->m_stageRuns.end() || run->generation != generation)
        return; // an earlier refresh
    const ColumnInfo* column = findColumn(columnId);
    if (!column || column->columnKind != kStageKind) {
        d->m_stageRuns.erase(run); // the column went: the rest of its refresh goes too
        return;
    }
    if (!data.empty())
        Q_EMIT sigFetchDatas(data, FetchKind_Stage, columnId);
    if (last)
        finishStageRequest(columnId, generation, request);
}

void CBrowseWidget::countStageProgress(int columnId, int answered)
{
    ColumnInfo* c = findColumn(columnId);
    if (!c || answered < 0 || c->totalCount <= 0)
        return;
    c->doneCount += answered;
    if (c->doneCount < c->totalCount) {
        static const QString invalid = QStringLiteral("非法值");
        const QString fraction = XP::formatDoubleNumber(double(c->doneCount) / c->totalCount, 1,
                                                        XP::FMT_PERCENT, true, invalid);
        d->m_pTable->setHeaderProgress(columnId, QLatin1Char('(') + fraction + QLatin1Char(')'));
    } else {
        c->reset();
        d->m_pTable->setHeaderProgress(columnId, QString());
    }
}

void CBrowseWidget::finishStageRequest(int columnId, quint64 generation, int request)
{
    auto run = d->m_stageRuns.find(columnId);
    if (run == d->m_stageRuns.end() || run->generation != generation)
        return;
    // visible keys the request gave no bars for count as answered too
    int answered = 0;
    if (request >= 0 && size_t(request) < run->requestKeys.size()) {
        for (const QString& key : run->requestKeys[size_t(request)])
            answered += run->pendingVisible.remove(key) ? 1 : 0;
        run->requestKeys[size_t(request)].clear();
    }
    const bool done = --run->openRequests <= 0;
    if (done)
        d->m_stageRuns.erase(run);
    countStageProgress(columnId, answered);
    if (done) {
        TT_LOG_DEBUG("[browser stage] column %1%: refresh %2% done", columnId, generation);
        Q_EMIT sigStageDataDone(columnId);
    }
}

void CBrowseWidget::onFetchStageData(const BrowseFetchData& data, int columnId)
{
    const ColumnInfo* column = findColumn(columnId);
    if (!column || column->columnKind != kStageKind) {
        TT_LOG_DEBUG("[browser stage] delivery for column %1% dropped: no stage column", columnId);
        return;
    }
    const int type = column->intSetting;
    const int slot = d->m_pModel->indicatorSlot(columnId);
    auto run = d->m_stageRuns.find(columnId);
    int answered = 0;
    for (const auto& entry : data) {
        const QString key = QString::fromStdString(entry.first);
        if (run != d->m_stageRuns.end())
            answered += run->pendingVisible.remove(key) ? 1 : 0;
        double value = kNoValue;
        if (slot < 0 || !stageValue(entry.second, type, value))
            continue; // fewer than two bars: the cell keeps its value
        const auto row = d->m_pModel->rowByKey(key);
        if (!row)
            continue;
        row->setIndicatorValue(slot, value);
        if (type == ST_Ratio)
            row->setTextColorIndex(columnId,
                                   isNoValue(value) ? d->m_nEqualIdx : colourIndexOf(value));
    }
    countStageProgress(columnId, answered);
    if (d->m_pTable->getSortColumnID() == columnId)
        resort();
    d->m_pTable->updateUi();
}

// --- speed column ------------------------------------------------------------------------

void CBrowseWidget::addSpeedColumn(ColumnInfo column)
{
    for (const ColumnInfo& c : d->m_columnList) {
        if (c == column) {
            d->m_nSpeedColumn = c.columnId;
            return;
        }
    }
    const int id = d->m_pTable->newColumnId();
    d->m_pTable->setColumnFontKey(id, numberFontKey());
    // a value slot of its own, as indicator columns have: setColumnValue writes it
    d->m_pModel->addIndicatorColumn(id, column.precision);
    d->m_pTable->setHeaderText(id, column.title);
    column.columnId = id;
    d->m_columnList.append(column);
    if (!column.isQuoter())
        d->m_indicatorColumns.append(column);
    d->m_nSpeedColumn = id;
    d->m_pTable->setColumnTextAlignment(id, XP::AlignRight);
    const int bound = columnIdBound();
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        d->m_pModel->fitRow(*row, bound);
        row->setTextColorIndex(id, d->m_nEqualIdx);
    }
}

void CBrowseWidget::setSpeedValue(const QMap<QString, double>& values)
{
    if (d->m_nSpeedColumn >= 0)
        setColumnValue(d->m_nSpeedColumn, values);
}

int CBrowseWidget::speedColumn() const
{
    return d->m_nSpeedColumn;
}

void CBrowseWidget::moveWeightAndZhangfu()
{
    std::vector<const ColumnInfo*> byId;
    for (const ColumnInfo& c : d->m_columnList)
        byId.push_back(&c);
    std::sort(byId.begin(), byId.end(),
              [](const ColumnInfo* a, const ColumnInfo* b) { return a->columnId < b->columnId; });
    auto firstTitled = [&byId](const QString& title) {
        auto it = std::find_if(byId.begin(), byId.end(),
                               [&title](const ColumnInfo* c) { return c->title == title; });
        return it == byId.end() ? -1 : (*it)->columnId;
    };
    const int ratio = firstTitled(QStringLiteral("涨幅"));
    if (ratio >= 0 && d->m_pTable->columnIdAt(2) >= 0) {
        d->m_pTable->moveColumn(ratio, 2);
        return;
    }
    const int turnover = firstTitled(QStringLiteral("换手率"));
    if (turnover >= 0 && d->m_pTable->columnIdAt(6) >= 0)
        d->m_pTable->moveColumn(turnover, 6);
}

} // namespace TC
