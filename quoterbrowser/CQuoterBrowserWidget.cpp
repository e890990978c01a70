#include "quoterbrowser/CQuoterBrowserWidget.h"

#include "host/data/CWorkerMailbox.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/toolkit/NumberFormat.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/UiResource.h"
#include "host/toolkit/WidgetList.h"
#include "host/widgets/CIndexScrollBar.h"
#include "quoterbrowser/CWholeQuoteModel.h"
#include "quoterbrowser/QuoterBrowserPaint.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtGui/QColor>
#include <QtGui/QIcon>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtGui/QWheelEvent>

#include <boost/make_shared.hpp>

#include <algorithm>

namespace TC {

using QuoterBrowserPaint::GraphDataItem;
using QuoterBrowserPaint::GraphDataItemPtr;
using QuoterBrowserPaint::GraphPaint;

namespace {
constexpr double kEps = 1e-5;
constexpr int kFirstButton = 10;
const char* const kButtonTexts[4] = {"名称", "最新价", "涨跌幅", "涨速"};

bool isValueSort(int id)
{
    return id == GraphPaint::eSortLast || id == GraphPaint::eSortChange
           || id == GraphPaint::eSortSpeed;
}
} // namespace

// Hands the model's deliveries to the widget; the model never sees the widget's type.
class CQuoterBrowserWidget::QuoteClient final : public IWholeQuoteClient {
public:
    explicit QuoteClient(CQuoterBrowserWidget* owner) : m_pOwner(owner) {}
    void formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                              const QVector<QString>& markets,
                              const std::vector<quoter::QuoterAllDataPtr>& quotes,
                              bool last) override
    {
        m_pOwner->formulaPushQuoteBack(param, codes, markets, quotes, last);
    }

private:
    CQuoterBrowserWidget* m_pOwner;
};

CQuoterBrowserWidget::CQuoterBrowserWidget(QWidget* parent)
    : XP::CBaseWidget(parent, QStringLiteral("dorn_CQuoterBrowserWidget")),
      m_pPaint(new GraphPaint(kRowHeight)), m_mailbox(CWorkerMailbox::create(this))
{
    setFocusPolicy(Qt::StrongFocus);
    m_pBackground = XP::CUiResource::instance().getColor(QStringLiteral("ic_clr_quoterbrowser_bg"));
    createInterface();
    setMinimumWidth(kMinWidth);

    m_pRefreshTimer = new QTimer(this);
    connect(m_pRefreshTimer, SIGNAL(timeout()), this, SLOT(slotRefreshData()));

    m_pModel = CWholeQuoteModel::create();
    connect(m_pModel.get(), SIGNAL(sigHistoryCallBack()), this, SLOT(slotWholeHistoryQuoteBack()));
    m_pClient.reset(new QuoteClient(this));
    m_pModel->setQuoterClient(m_pClient.get());

    connect(this, SIGNAL(sigUpdateQuote()), this, SLOT(slotUpdateQuote()));
    connect(CSectorManager::instance(), SIGNAL(sigSectorChanged(int, QString, QString)), this,
            SLOT(slotSectorChanged(int, QString, QString)));
    m_nLastPageSize = m_nVisibleRows;
    m_pRefreshTimer->start(kRefreshMs);
}

CQuoterBrowserWidget::~CQuoterBrowserWidget()
{
    // nothing posted from a host thread may reach the widget from here on
    m_mailbox->close();
    m_pRefreshTimer->stop();
    m_pModel->setQuoterClient(nullptr); // waits for a delivery in flight
    disconnect(m_pModel.get(), nullptr, this, nullptr);
    m_pModel->unrequestAll();
    m_pModel.reset();
}

void CQuoterBrowserWidget::createInterface()
{
    m_pHeader = new XP::CWidgetList(this, Qt::Horizontal, 1);
    m_pHeader->setMargins(0, 1, 0, 1);
    m_pHeader->setFixedHeight(kHeaderHeight);
    const QString text = QStringLiteral("ic_clr_quoterbrowser_header_text");
    for (int k = 0; k < kColumns; ++k) {
        auto* button =
            new XP::CPushButton(kFirstButton + k, QString::fromUtf8(kButtonTexts[k]), m_pHeader);
        button->setBackgroundColorKeys(QStringLiteral("ic_clr_quoterbrowser_header_bg_normal"),
                                       QStringLiteral("ic_clr_quoterbrowser_header_bg_hover"),
                                       QStringLiteral("ic_clr_quoterbrowser_header_bg_selected"),
                                       QStringLiteral("ic_clr_quoterbrowser_bg"));
        button->setTextColorKeys(text, text, text, text);
        button->setFontKey(QStringLiteral("ic_fnt_quoterbrowser_text"));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        m_pHeader->addWidget(button, true);
        m_pButtons[k] = button;
    }
    m_pScrollBar = new CIndexScrollBar(Qt::Vertical, this);
    m_pScrollBar->setFixedWidth(6);
    m_pScrollBar->setMinimum(0);
    m_pScrollBar->setMaximum(0);
    m_pScrollBar->setSingleStep(kRowHeight);
    m_pScrollBar->hide();
}

XP::CPushButton* CQuoterBrowserWidget::headerButton(int id) const
{
    return id >= kFirstButton && id < kFirstButton + kColumns ? m_pButtons[id - kFirstButton]
                                                              : nullptr;
}

int CQuoterBrowserWidget::totalRows() const
{
    return m_pPaint->itemCount();
}

int CQuoterBrowserWidget::maxFirstRow() const
{
    return std::max(0, totalRows() - std::max(1, m_nVisibleRows));
}

int CQuoterBrowserWidget::selectedRow() const
{
    return m_nSelIndex < 0 ? -1 : m_nSelIndex - m_nFirstRow;
}

int CQuoterBrowserWidget::sortOrder() const
{
    return m_nSortOrders[m_nSortId - kFirstButton];
}

void CQuoterBrowserWidget::syncPainter()
{
    m_pPaint->setFirstRow(m_nFirstRow);
    m_pPaint->setSelectedRow(selectedRow());
}

void CQuoterBrowserWidget::selectIndex(int index)
{
    GraphDataItem* item = m_pPaint->item(index);
    m_pSelItem = item;
    m_nSelIndex = item ? index : -1;
    syncPainter();
}

bool CQuoterBrowserWidget::moveFirstRow(int row, bool syncScrollBar)
{
    row = std::max(0, std::min(row, maxFirstRow()));
    if (row == m_nFirstRow)
        return false;
    m_nFirstRow = row;
    syncPainter();
    if (syncScrollBar)
        m_pScrollBar->setValue(kRowHeight * row); // its event 17 finds the row unchanged
    Q_EMIT sigUpdateQuote();
    update();
    return true;
}

void CQuoterBrowserWidget::setSector(const QString& name)
{
    if (name.isEmpty()) {
        m_qsSectorName = name;
        return;
    }
    setInstruments(name, CSectorManager::instance()->getSectorStockList(name));
}

void CQuoterBrowserWidget::setInstruments(const QString& name,
                                          const QList<ttservice::CInstrumentDetailPtr>& list)
{
    m_qsSectorName = name;
    m_markets.clear();
    m_requestCodes.clear();
    std::vector<GraphDataItemPtr> items;
    items.reserve(size_t(list.size()));
    for (const ttservice::CInstrumentDetailPtr& d : list) {
        if (!d)
            continue;
        if (!m_markets.contains(d->market))
            m_markets.append(d->market);
        GraphDataItemPtr item = boost::make_shared<GraphDataItem>();
        item->qsKey = d->key.isEmpty() ? XP::nvStockKey(d->market, d->code) : d->key;
        item->qsName = d->name;
        item->qsCode = d->code;
        item->stockKey = item->qsKey.toStdString();
        item->name = d->name.toStdString();
        item->market = d->market.toStdString();
        item->code = d->code.toStdString();
        item->setPriceTick(d->priceStep);
        item->setValues(XP::isValidNumber(d->refPrice) ? d->refPrice : XP::kNoValue, 0.0, 0.0);
        m_requestCodes[item->market].push_back(item->code);
        items.push_back(std::move(item));
    }

    // the selected instrument stays selected when it is still listed
    const std::string selectedKey = m_pSelItem ? m_pSelItem->stockKey : std::string();
    m_pSelItem = nullptr;
    m_nSelIndex = -1;
    m_pPaint->setItems(items);
    if (m_bSortActive) {
        m_pPaint->setSort(m_nSortId, sortOrder());
        m_pPaint->sortItems();
    }
    m_bResortPending = false;
    m_nFirstRow = 0;
    if (!selectedKey.empty())
        m_nSelIndex = m_pPaint->indexOf(m_pSelItem = m_pPaint->findByKey(selectedKey));
    syncPainter();
    // back to the top before the range changes, so a clamped old value moves nothing
    m_pScrollBar->setValue(0);
    resizeLayout();
    m_nLastPageSize = m_nVisibleRows;

    m_pModel->unrequestAll();
    requestMarketQuotes();
    Q_EMIT sigUpdateQuote();
    resizeLayout();
    m_bLayoutDone = true;
}

void CQuoterBrowserWidget::requestMarketQuotes()
{
    m_pModel->requestWholeQuote(m_requestCodes);
}

void CQuoterBrowserWidget::request()
{
    if (m_qsSectorName.isEmpty())
        return;
    m_pModel->unrequestAll();
    requestMarketQuotes();
}

void CQuoterBrowserWidget::unrequest()
{
    m_pModel->unrequestAll();
}

void CQuoterBrowserWidget::resizeLayout()
{
    const int w = width();
    const int h = std::max(0, height());
    m_pHeader->setGeometry(0, 0, w, kHeaderHeight);
    m_nVisibleRows = h > kHeaderHeight ? (h - kHeaderHeight) / kRowHeight : 0;
    const int n = totalRows();

    m_pScrollBar->setGeometry(w - 2 - m_pScrollBar->width(), kHeaderHeight, m_pScrollBar->width(),
                              std::max(0, h - kHeaderHeight));
    m_pScrollBar->setPageStep(kRowHeight * m_nVisibleRows);
    m_pScrollBar->setSingleStep(int(m_nVisibleRows * 0.5 * kRowHeight + 0.5));
    // the bar ends where the keys end: at the last page's first row
    m_pScrollBar->setRange(0, kRowHeight * maxFirstRow());
    m_pScrollBar->setVisible(m_nVisibleRows < n);
    m_pPaint->setRows(std::min(m_nVisibleRows, n));
    m_pPaint->setNameWidth(w / 4); // the painter's four equal columns
    // a shrinking range may leave the first row past the end
    if (m_nFirstRow > maxFirstRow())
        moveFirstRow(maxFirstRow(), true);
    syncPainter();

    if (m_nVisibleRows != m_nLastPageSize) {
        m_nLastPageSize = m_nVisibleRows;
        Q_EMIT sigUpdateQuote();
    }
    update();
}

void CQuoterBrowserWidget::resizeEvent(QResizeEvent*)
{
    resizeLayout();
}

void CQuoterBrowserWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_pBackground ? *m_pBackground : QColor(12, 12, 12));
    const int top = m_pHeader ? m_pHeader->height() : kHeaderHeight;
    m_pPaint->draw(painter, QRect(0, top, width(), height() - top));
}

void CQuoterBrowserWidget::themeChanged()
{
    m_pPaint->reloadTheme();
    updateSortIcons();
    update();
}

bool CQuoterBrowserWidget::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    if (id == Event_HeaderPress && a >= kFirstButton && a < kFirstButton + kColumns) {
        onHeaderPress(a, text);
        return true;
    }
    if (id == Event_ScrollValue) {
        onScrollValue(a);
        return true;
    }
    return XP::CBaseWidget::handleEvent(id, a, b, text, p);
}

void CQuoterBrowserWidget::onHeaderPress(int id, const QString&)
{
    m_nSortId = id;
    int& order = m_nSortOrders[id - kFirstButton];
    order = order == 0 ? 1 : 0;
    m_bSortActive = true;
    m_bSortChanged = true;
    moveFirstRow(0, true);
    updateSortIcons();
    Q_EMIT sigUpdateQuote();
    // the top of the new order is selected
    selectIndex(totalRows() > 0 ? 0 : -1);
    update();
}

void CQuoterBrowserWidget::updateSortIcons()
{
    for (int k = 0; k < kColumns; ++k) {
        XP::CPushButton* button = m_pButtons[k];
        if (!m_bSortActive || kFirstButton + k != m_nSortId) {
            button->setIcon(QIcon());
            continue;
        }
        const QString key = sortOrder() == 1 ? QStringLiteral("img_table_sort_ascending")
                                             : QStringLiteral("img_table_sort_descending");
        button->setIcon(QIcon(XP::CUiResource::instance().getPixmap(key, QSize(8, 8))));
    }
}

void CQuoterBrowserWidget::slotUpdateQuote()
{
    if (m_bSortActive
        && (m_bSortChanged || m_pPaint->sortId() != m_nSortId
            || m_pPaint->sortOrder() != sortOrder())) {
        m_pPaint->setSort(m_nSortId, sortOrder());
        resortKeepingSelection();
        m_pPaint->markDirty();
    }
    m_bSortChanged = false;
}

void CQuoterBrowserWidget::resortKeepingSelection()
{
    m_pPaint->sortItems();
    m_nSelIndex = m_pPaint->indexOf(m_pSelItem);
    if (m_nSelIndex < 0)
        m_pSelItem = nullptr;
    m_bResortPending = false;
    syncPainter();
}

void CQuoterBrowserWidget::emitSigUpdateQuote()
{
    Q_EMIT sigUpdateQuote();
}

void CQuoterBrowserWidget::onScrollValue(int value)
{
    if (value < m_pScrollBar->minimum() || value > m_pScrollBar->maximum())
        return;
    moveFirstRow(int(value / double(kRowHeight) + 0.5), false);
}

void CQuoterBrowserWidget::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (totalRows() <= m_nVisibleRows)
        return; // everything fits
    const int delta = event->angleDelta().y();
    if ((delta < 0 && m_pScrollBar->value() >= m_pScrollBar->maximum())
        || (delta > 0 && m_pScrollBar->value() <= m_pScrollBar->minimum()))
        return;
    QCoreApplication::sendEvent(m_pScrollBar, event);
}

void CQuoterBrowserWidget::keyPressEvent(QKeyEvent* event)
{
    const int n = totalRows();
    const int page = std::max(1, m_nVisibleRows);
    const int f = m_nFirstRow;
    // the first row that shows an item: the paging rule's, moved just enough to show it
    auto showing = [page](int first, int index) {
        if (index < first)
            return index;
        if (index >= first + page)
            return index - page + 1;
        return first;
    };
    switch (event->key()) {
    case Qt::Key_Up: {
        const int target = m_nSelIndex - 1;
        if (m_nSelIndex < 0 || target < 0)
            break;
        // leaving the top of the page pages up, the previous item at its bottom
        const int first = showing(target < f ? f - page : f, target);
        selectIndex(target);
        moveFirstRow(first, true);
        syncPainter();
        update();
        break;
    }
    case Qt::Key_Down: {
        const int target = m_nSelIndex + 1;
        if (m_nSelIndex < 0 || target >= n)
            break;
        const int first = showing(target >= f + page ? f + page : f, target);
        selectIndex(target);
        moveFirstRow(first, true);
        syncPainter();
        update();
        break;
    }
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
        const int first = event->key() == Qt::Key_PageDown ? std::min(f + page, maxFirstRow())
                                                           : std::max(0, f - page);
        const int row = selectedRow();
        if (!moveFirstRow(first, true))
            break;
        // the selection keeps its place on the page
        if (row >= 0)
            selectIndex(std::min(n - 1, m_nFirstRow + row));
        update();
        break;
    }
    case Qt::Key_Enter:
    case Qt::Key_Return:
        m_qsSelectJson = getSelectJsonParam();
        deliverEvent(Event_EnterStock, -1, selectedRow(), m_qsSelectJson);
        logSelection();
        break;
    default: XP::CBaseWidget::keyPressEvent(event); return;
    }
    event->accept();
}

int CQuoterBrowserWidget::rowAt(int y) const
{
    // the header is no row: truncation toward 0 would make its lower half row 0
    if (y < kHeaderHeight)
        return -1;
    return (y - kHeaderHeight) / kRowHeight;
}

void CQuoterBrowserWidget::selectAt(const QPoint& pos)
{
    const int row = rowAt(pos.y());
    // rows past the visible ones or below the last item select nothing
    if (row < 0 || row >= m_nVisibleRows || m_nFirstRow + row >= totalRows())
        selectIndex(-1);
    else
        selectIndex(m_nFirstRow + row);
    m_qsSelectJson = getSelectJsonParam();
}

void CQuoterBrowserWidget::mousePressEvent(QMouseEvent* event)
{
    if (!rect().contains(event->pos())) {
        XP::CBaseWidget::mousePressEvent(event);
        return;
    }
    selectAt(event->pos());
    deliverEvent(Event_SelectStock, -1, selectedRow(), m_qsSelectJson);
    update();
    logSelection();
    event->accept();
}

void CQuoterBrowserWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    selectAt(event->pos());
    update();
    deliverEvent(Event_DoubleClick, -1, selectedRow(), m_qsSelectJson);
    event->accept();
}

void CQuoterBrowserWidget::logSelection()
{
    TT_LOG_DEBUG("(TOTAL, ROWS, START, SEL, CODE) = (%1%,  %2%, %3%, %4%, %5%)", totalRows(),
                 m_nVisibleRows, m_nFirstRow, selectedRow(), m_qsSelectJson);
}

QString CQuoterBrowserWidget::getSelectJsonParam() const
{
    const GraphDataItem* item = m_pPaint->item(m_nSelIndex);
    if (!item)
        return QStringLiteral("{}");
    JsonBuilder json;
    json.appendInt("index", m_nSelIndex)
        .appendString("CODE", item->qsKey)
        .appendString("NAME", item->qsName)
        .appendString("LATEST", item->lastText())
        .appendString("ZHANGFU", item->changeText())
        .appendString("ZHANGSU", item->speedText());
    return json.toQString();
}

QVector<QString> CQuoterBrowserWidget::getSelectStocks() const
{
    QVector<QString> keys;
    if (const GraphDataItem* item = m_pPaint->item(m_nSelIndex))
        keys.append(item->qsKey);
    return keys;
}

void CQuoterBrowserWidget::slotSectorChanged(int type, QString name, QString)
{
    if (type != CSectorManager::eStocksChanged || name != m_qsSectorName || name.isEmpty())
        return;
    TT_LOG_DEBUG("[SectorChanged]m_qsSectorName= %1%", m_qsSectorName);
    setSector(m_qsSectorName);
}

void CQuoterBrowserWidget::applyQuote(GraphDataItem& item, const quoter::QuoterAllData& q)
{
    double last = item.lastPrice;
    if (!XP::isValidNumber(q.last))
        last = XP::kNoValue;
    else if (q.last > kEps)
        last = q.last; // before the first trade the reference price stays
    const double pre = q.preClose;
    const double change = XP::isValidNumber(last) && XP::isValidNumber(pre) && pre > kEps
                              ? (last - pre) / pre
                              : XP::kNoValue;
    // the host keeps rise speeds in hundredths
    const double speed = XP::isValidNumber(q.riseSpeed1) ? q.riseSpeed1 / 100.0 : XP::kNoValue;
    if (item.setValues(last, change, speed)) {
        m_pPaint->markDirty();
        if (m_bSortActive && isValueSort(m_nSortId))
            m_bResortPending = true;
    }
}

void CQuoterBrowserWidget::formulaPushQuoteBack(dorn::PushQuoteParam& param,
                                                const QVector<QString>& codes,
                                                const QVector<QString>& markets,
                                                const std::vector<quoter::QuoterAllDataPtr>& quotes,
                                                bool last)
{
    if (QThread::currentThread() != thread()) {
        // items are written on the GUI thread only; posted calls keep their order
        m_mailbox->post([this, param, codes, markets, quotes, last]() mutable {
            formulaPushQuoteBack(param, codes, markets, quotes, last);
        });
        return;
    }
    const int n = std::min(codes.size(), int(quotes.size()));
    for (int i = 0; i < n; ++i) {
        const quoter::QuoterAllData* q = quotes[size_t(i)].get();
        if (!q)
            continue;
        if (GraphDataItem* item = m_pPaint->find(param.market, codes[i]))
            applyQuote(*item, *q);
    }
}

void CQuoterBrowserWidget::slotWholeHistoryQuoteBack()
{
    // copied under the model's cache lock: a newer request's read may be rewriting it
    std::map<std::string, QVector<QString>> codes;
    CWholeQuoteModel::QuoteMap quotes;
    m_pModel->cacheResult(codes, quotes);
    for (const auto& entry : quotes) {
        auto found = codes.find(entry.first);
        if (found == codes.end())
            continue;
        const QVector<QString>& list = found->second;
        const int n = std::min(list.size(), int(entry.second.size()));
        for (int i = 0; i < n; ++i) {
            const quoter::QuoterAllData* q = entry.second[size_t(i)].get();
            if (!q)
                continue;
            if (GraphDataItem* item = m_pPaint->find(entry.first, list[i]))
                applyQuote(*item, *q);
        }
    }
    if (m_bResortPending)
        resortKeepingSelection();
    update();
}

void CQuoterBrowserWidget::slotRefreshData()
{
    m_pModel->flushQueued();
    if (!m_bLayoutDone || !m_pPaint->isDirty())
        return;
    if (m_bResortPending)
        resortKeepingSelection();
    update();
    m_pPaint->clearDirty();
}

} // namespace TC
