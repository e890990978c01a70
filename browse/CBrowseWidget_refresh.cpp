// Keeping indicator columns current: the one-second auto refresh in trading hours, the
// refresh commands of the header menu and the refresh settings dialog.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/HostClock.h"
#include "host/data/Log.h"
#include "host/data/StockManager.h"
#include "host/data/UserConfig.h"
#include "host/widgets/CSetAutoRefreshDialog.h"

#include <QPointer>
#include <QTime>

#include <algorithm>

namespace TC {

namespace {

constexpr qint64 kStockLeadMs = 2100000; // stock hours open 35 minutes early
constexpr int kFuturesAfterSecond = 16 * 3600;

// True when now (seconds) lies strictly inside one of the ranges (milliseconds).
bool insideRanges(const QVector<QPair<qint64, qint64>>& ranges, qint64 now)
{
    return std::any_of(ranges.begin(), ranges.end(), [now](const QPair<qint64, qint64>& r) {
        return r.first / 1000 < now && now < r.second / 1000;
    });
}

} // namespace

void CBrowseWidget::slotAutoRefreshIndex()
{
    const bool visible = isVisible();
    const auto& custom = d->m_customIndexColumns;
    if (!visible && std::none_of(custom.begin(), custom.end(), [](const ColumnInfo& c) {
            return c.refreshWhenHidden;
        }))
        return;

    const qint64 now = HostClock::nowMs() / 1000;
    auto* stocks = CStockManager::instance();
    QVector<QPair<qint64, qint64>> stockRanges = stocks->getOpenTimeByMarket(QStringLiteral("SH"));
    // no ranges (a holiday, a service not ready) counts as closed
    if (!stockRanges.isEmpty())
        stockRanges.first().first -= kStockLeadMs;
    const bool stockOpen = insideRanges(stockRanges, now);
    const int secondOfDay = int((now + HostClock::kMarketUtcOffsetSec) % 86400);
    const bool futuresOpen =
        secondOfDay > kFuturesAfterSecond
        && insideRanges(stocks->getOpenTimeByMarket(QStringLiteral("SF")), now);
    if (!stockOpen && !futuresOpen)
        return;

    ++d->m_nAutoRefreshTicks;
    const QTime time = QTime(0, 0).addSecs(secondOfDay);
    for (const ColumnInfo& c : custom) {
        if (!c.autoRefresh || c.columnKind != 0)
            continue;
        // an empty or unreadable start time does not hold the refresh back
        QTime start = QTime::fromString(c.refreshStartTime, QStringLiteral("hh:mm"));
        if (!start.isValid())
            start = QTime::fromString(c.refreshStartTime, QStringLiteral("h:mm"));
        if (start.isValid() && time < start)
            continue;
        if (c.refreshInterval < 1 || d->m_nAutoRefreshTicks % c.refreshInterval != 0)
            continue;
        if (!visible && !c.refreshWhenHidden)
            continue;
        if (queuedIndexOf(c) >= 0)
            continue;
        if (!((c.refreshInStockHours && stockOpen) || (c.refreshInFuturesHours && futuresOpen)))
            continue;
        ColumnInfo copy = c;
        pushBackRequestTask(copy);
    }
    if (isRefreshFinish())
        nextReQuestTask();
}

bool CBrowseWidget::isRefreshFinish() const
{
    // a queued entry has a batch in progress only while it runs as the head
    return d->m_batch.seq == 0;
}

int CBrowseWidget::autoRefreshTicks() const
{
    return d->m_nAutoRefreshTicks;
}

void CBrowseWidget::setCurrentColumn(int columnId)
{
    d->m_nHeaderColumn = columnId;
}

void CBrowseWidget::setColumnAutoRefresh(int columnId)
{
    if (ColumnInfo* c = findColumn(columnId))
        c->autoRefresh = !c->autoRefresh;
    for (ColumnInfo& c : d->m_customIndexColumns) {
        if (c.columnId == columnId)
            c.autoRefresh = !c.autoRefresh;
    }
}

void CBrowseWidget::slotSetColumnAutoRefresh()
{
    setColumnAutoRefresh(d->m_nHeaderColumn);
}

void CBrowseWidget::slotVariableRefresh()
{
    const ColumnInfo* c = findColumn(d->m_nHeaderColumn);
    if (!c || c->isQuoter())
        return;
    if (c->columnKind != 0) {
        TT_LOG_INFO("[refresh] %1% (kind %2%) is refreshed by its own requests", c->title,
                    c->columnKind);
        return;
    }
    const auto& queue = d->m_requestQueue;
    if (!queue.isEmpty() && queue.first() == *c)
        return; // already running
    if (std::any_of(queue.begin(), queue.end(),
                    [c](const ColumnInfo& q) { return q == *c && q.refreshAll; }))
        return; // a queued refresh of all its columns covers it
    ColumnInfo copy = *c;
    pushBackRequestTask(copy);
    if (d->m_requestQueue.size() == 1)
        nextReQuestTask();
}

void CBrowseWidget::slotFormulaRefresh()
{
    ColumnInfo* c = findColumn(d->m_nHeaderColumn);
    if (!c || c->isQuoter() || c->columnKind == 2)
        return;
    auto& queue = d->m_requestQueue;
    if (!queue.isEmpty() && queue.first() == *c && queue.first().refreshAll)
        return;
    const bool running = !queue.isEmpty() && queue.first() == *c;
    if (running)
        stopIndicatorBatch();
    queue.erase(
        std::remove_if(queue.begin(), queue.end(), [c](const ColumnInfo& q) { return q == *c; }),
        queue.end());
    ColumnInfo copy = *c;
    copy.refreshAll = true;
    copy.reset();
    if (running) {
        if (c->columnKind == 0)
            queue.prepend(copy);
        c->reset();
    } else {
        queue.append(copy);
    }
    if (queue.size() == 1 || running)
        nextReQuestTask();
}

void CBrowseWidget::slotSetAutoRefreshTimeParam()
{
    ColumnInfo* c = findColumn(d->m_nHeaderColumn);
    if (!c)
        return;
    if (!d->m_pAutoRefreshDialog)
        d->m_pAutoRefreshDialog = new CSetAutoRefreshDialog(this);
    const int id = c->columnId;
    d->m_pAutoRefreshDialog->setWindowTitle(
        QStringLiteral("刷新设置 - %1指标 - (%2)")
            .arg(c->isPrivate != 0 ? QStringLiteral("私有") : QStringLiteral("公共"), c->title));
    c->promptResult = getUserConfig()->isPromptRunResult();
    d->m_pAutoRefreshDialog->setColumnParam(*c);
    d->m_pAutoRefreshDialog->setRefreshTime(c->refreshInterval);
    CAutoRefreshParam saved;
    if (getUserConfig()->getAutoRefreshParam(c->title, saved))
        d->m_pAutoRefreshDialog->initUIParams(saved);

    // the dialog's event loop may outlive the widget or the column
    QPointer<CBrowseWidget> self(this);
    QPointer<CSetAutoRefreshDialog> dialog(d->m_pAutoRefreshDialog);
    const int result = dialog->exec();
    if (!self || !dialog || result != QDialog::Accepted)
        return;
    c = findColumn(id);
    if (!c)
        return;
    dialog->getColumnParam(*c);
    for (ColumnInfo& entry : d->m_customIndexColumns) {
        if (entry.columnId == id)
            entry = *c;
    }
}

CSetAutoRefreshDialog* CBrowseWidget::autoRefreshDialog() const
{
    return d->m_pAutoRefreshDialog;
}

} // namespace TC
