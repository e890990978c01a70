#include "pricet/COptionPriceTBrowseWidget.h"

#include "browse/BrowseEvents.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/CWorkerMailbox.h"
#include "host/data/Config.h"
#include "host/data/ExchangeClient.h"
#include "host/data/FormulaManager.h"
#include "host/data/IndexMainWindowHelper.h"
#include "host/data/IndexUserConfig.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/Log.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/toolkit/AutoExpandToolBar.h"
#include "host/toolkit/Menu.h"
#include "host/toolkit/NumberFormat.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/SimpleTextWidget.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/WidgetList.h"
#include "pricet/CHpfOptionBrowserData.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <QtCore/QDate>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QAction>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QVBoxLayout>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>

namespace TC {

using namespace optionvalues;
using ttservice::CInstrumentDetail;
using ttservice::CInstrumentDetailPtr;

namespace {

const char* const kTabTitles[] = {"行情", "指标", "风险", "信息"};
const char* const kInfoLabels[] = {
    "标的名称: ", "最新价: ", "涨跌: ", "成交量: ", "持仓量: ", "金额: "};

bool isStockMarket(const QString& market)
{
    return market == QLatin1String("SH") || market == QLatin1String("SZ")
           || market == QLatin1String("SSE") || market == QLatin1String("SZSE");
}

bool isFuturesMarket(const QString& market)
{
    return market == QLatin1String("DCE") || market == QLatin1String("INE")
           || market == QLatin1String("SHFE") || market == QLatin1String("CZCE")
           || market == QLatin1String("CFFEX");
}

QString changeColorKey(double change)
{
    if (isValid(change) && change > kEps)
        return QStringLiteral("ic_clr_browse_rise");
    if (isValid(change) && change < -kEps)
        return QStringLiteral("ic_clr_browse_fall");
    return QStringLiteral("ic_clr_browse_equal");
}

int segmentFlagOfUser()
{
    CUserConfig* cfg = getUserConfig();
    return cfg ? cfg->getSegmentedFormatFlag() : 0;
}

} // namespace

COptionPriceTBrowseWidget::COptionPriceTBrowseWidget(QWidget* parent)
    : XP::CBaseWidget(parent, QStringLiteral("option_pricet_browse_widget")),
      m_mailbox(CWorkerMailbox::create(this))
{
    CHpfOptionBrowserData::setSegmentFlag(segmentFlagOfUser());
    buildInterface();

    m_pRefreshTimer = new QTimer(this);
    connect(m_pRefreshTimer, SIGNAL(timeout()), this, SLOT(slotBrowserRefreshTimeOut()));
    CIndexUserConfig* indexConfig = SingletonManager::getIndexUserConfig();
    if (indexConfig) {
        m_nRefreshInterval = indexConfig->getRefreshInterval();
        indexConfig->addChangeListener(this, SLOT(slotOptionSettingChange()));
    }
    m_pRefreshTimer->start(m_nRefreshInterval);

    m_pWholeQuote = CWholeQuoteModel::create();
    m_pWholeQuote->setDataCallback(
        [this](dorn::PushQuoteParam& param, const QVector<QString>& codes,
               const QVector<QString>& markets, const std::vector<quoter::QuoterAllDataPtr>& quotes,
               bool last) { formulaPushQuoteBack(param, codes, markets, quotes, last); });
}

COptionPriceTBrowseWidget::~COptionPriceTBrowseWidget()
{
    // the callback is cleared under the model's client lock, which waits for a direct
    // delivery in flight; then nothing more is posted, and what was posted dies with us
    m_pWholeQuote->setDataCallback(CWholeQuoteModel::DataCallback());
    m_mailbox->close();
    m_pWholeQuote->unrequestAll();
    if (CIndexUserConfig* indexConfig = SingletonManager::getIndexUserConfig())
        indexConfig->removeChangeListener(this);
}

void COptionPriceTBrowseWidget::buildInterface()
{
    m_pList = new XP::CWidgetList(this, Qt::Vertical, 0);
    m_pList->setMargins(0, 0, 0, 0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pList);

    m_pToolBar = new XP::CAutoExpandToolBar(m_pList, QStringLiteral("ic_img_btn_group_left_tab"));
    m_pTabGroup = new XP::CPushButtonGroup(m_pToolBar);
    m_pTabGroup->setFixedWidth(160);
    m_pTabGroup->setCheckable(true);
    m_pTabGroup->setButtonImageKey(QStringLiteral("ic_img_btn_option_browse"));
    for (int i = 0; i < 4; ++i)
        m_pTabGroup->addButton(i, QString::fromUtf8(kTabTitles[i]));
    m_pTabGroup->setChecked(m_nTab);
    m_pToolBar->addWidget(m_pTabGroup);
    m_pToolBar->addSeparator();
    m_pMonthGroup = new XP::CPushButtonGroup(m_pToolBar);
    m_pMonthGroup->setCheckable(true);
    m_pToolBar->addWidget(m_pMonthGroup);
    for (int i = 0; i < 6; ++i) {
        m_pInfoLabel[i] = new XP::CSimpleTextWidget(m_pToolBar, QString::fromUtf8(kInfoLabels[i]));
        m_pInfo[i] = new XP::CSimpleTextWidget(m_pToolBar);
        m_pInfo[i]->setFontKey(QStringLiteral("fnt_default_normal_heavy_fix"));
        m_pToolBar->addWidget(m_pInfoLabel[i]);
        m_pToolBar->addWidget(m_pInfo[i]);
    }
    m_pExpiryLine = new XP::CSimpleTextWidget(m_pToolBar);
    m_pToolBar->addWidget(m_pExpiryLine);
    m_pToolBar->addStretch();
    m_pInfoLabel[4]->setText(QString()); // open interest: futures options only

    m_pModel = new CHpfOptionBrowserDataModel(this);
    m_pTable = new CHpfBrowserTable(kTableId, m_pList, kTableMenuFlags);
    m_pTable->setModel(m_pModel);
    m_pTable->setColumnCount(CHpfOptionBrowserData::kColumnCount);
    for (int c = 0; c < CHpfOptionBrowserData::kColumnCount; ++c) {
        m_pTable->setHeaderText(c, m_pModel->headerText(c));
        m_pTable->setColumnFontKey(c, QStringLiteral("ic_fnt_table_number_default"));
    }
    m_pTable->setColumnFontKey(3, QStringLiteral("ic_fnt_table_text_default"));
    m_pTable->setColumnFontKey(53, QStringLiteral("ic_fnt_table_text_default"));
    m_pTable->setRowHeightRange(16, 24);
    m_pTable->setItemHeight(20);
    m_pTable->setHorizontalScrollStep(20);
    m_pTable->addTableFlag(0x2844);
    m_pTable->setStatRowVisible(true); // open interest and volume totals
    m_pTable->sortByColumn(CHpfOptionBrowserData::kStrikeColumn, 0);
    QAction* contrast = m_pTable->addMenuAction(QStringLiteral("所属板块分析"));
    connect(contrast, SIGNAL(triggered()), this, SLOT(slotContrastSector()));
    // the table reports row clicks without the column: remember it on the press
    m_pTable->viewport()->installEventFilter(this);
    applyTabVisibility();

    m_pList->addWidget(m_pToolBar);
    m_pList->addWidget(m_pTable, true);
    themeChanged();
}

bool COptionPriceTBrowseWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pTable->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QModelIndex idx = m_pTable->indexAt(static_cast<QMouseEvent*>(event)->pos());
        if (idx.isValid())
            m_nLastClickColumn = idx.column();
    }
    return XP::CBaseWidget::eventFilter(watched, event);
}

bool COptionPriceTBrowseWidget::isColumnShown(int tab, int c)
{
    if (c == 0 || c == 56)
        return tab == 0 || tab == 3;
    if ((c >= 1 && c <= 5) || (c >= 51 && c <= 55))
        return tab == 3;
    if (c == 6 || c == 50)
        return tab <= 2;
    if ((c >= 7 && c <= 11) || (c >= 45 && c <= 49))
        return tab == 2;
    if ((c >= 12 && c <= 17) || (c >= 39 && c <= 44))
        return tab == 1;
    if (c == 18 || c == 22 || c == 23 || c == 25 || c == 31 || c == 33 || c == 34 || c == 38)
        return tab == 0;
    if (c == 19 || c == 37)
        return tab == 0 || tab == 1;
    return c >= 0 && c < CHpfOptionBrowserData::kColumnCount; // 20, 21, 24, 26..30, 32, 35, 36
}

void COptionPriceTBrowseWidget::applyTabVisibility()
{
    for (int c = 0; c < CHpfOptionBrowserData::kColumnCount; ++c)
        m_pTable->setColumnVisible(c, isColumnShown(m_nTab, c));
}

void COptionPriceTBrowseWidget::centreHorizontalScroll()
{
    QScrollBar* bar = m_pTable->horizontalScrollBar();
    bar->setValue((bar->minimum() + bar->maximum()) / 2);
}

void COptionPriceTBrowseWidget::selectTab(int tab)
{
    if (tab < 0 || tab > 3)
        return;
    m_tabLayouts[m_nTab] = m_pTable->saveConfigStr();
    m_nTab = tab;
    m_pTabGroup->setChecked(tab);
    applyTabVisibility();
    m_pTable->fitColumnWidthsToVisibleRows();
    centreHorizontalScroll();
    const auto saved = m_tabLayouts.constFind(tab);
    if (saved != m_tabLayouts.constEnd() && !saved->isEmpty())
        m_pTable->loadConfigStr(*saved);
}

void COptionPriceTBrowseWidget::setCurrentTradeDateFunc(std::function<int64_t()> func)
{
    m_tradeDateFunc = std::move(func);
}

bool COptionPriceTBrowseWidget::isOptionOfBoard(const CInstrumentDetail& d) const
{
    if (d.market == QLatin1String("SHO") || d.market == QLatin1String("SZO"))
        return true;
    return isFuturesMarket(d.market) && isTryFutureOptionInstrument(d.code);
}

bool COptionPriceTBrowseWidget::isCallContract(const CInstrumentDetail& d) const
{
    if (m_nOptionMode == eStockOption)
        return d.name.contains(QStringLiteral("购")) || d.name.contains(QLatin1Char('C'));
    return ttservice::CFtOptionDataHelper::isCallOption(d.code);
}

bool COptionPriceTBrowseWidget::selectUnderlying(const QString& key)
{
    if (key.isEmpty())
        return false;
    CStockManager* sm = CStockManager::instance();
    const CInstrumentDetailPtr und = sm->getInstrumentDetail(key);
    if (!und)
        return false;

    m_pWholeQuote->unrequestAll();
    m_qsUnderlyingKey = und->key;
    m_qsUnderlyingMarket = und->market;
    m_qsUnderlyingCode = und->code;
    m_qsUnderlyingName = und->name;
    m_dUnderlyingPrice = kUnset;
    if (und->market == QLatin1String("SH")
        && (und->code == QLatin1String("000300") || und->code == QLatin1String("000852"))) {
        m_nOptionMode = eFutureOption;
        m_nMultiplier = 100;
    } else if (m_nCategory > 2) {
        m_nOptionMode = eFutureOption;
        m_nMultiplier = und->tradeUnit;
    } else {
        m_nOptionMode = eStockOption;
        m_nMultiplier = 10000;
    }
    CExchangeClient* exchange = CExchangeClient::instance();
    QStringList keys = m_nOptionMode == eStockOption
                           ? exchange->getStockOptionMap().value(und->key)
                           : exchange->getFutureOptionMap().value(und->key);
    if (keys.isEmpty() && m_nOptionMode == eFutureOption) // index options list with stock options
        keys = exchange->getStockOptionMap().value(und->key);

    // months in expiry order; expired contracts and unparsable dates are left out
    const int today = marketToday();
    m_monthKeys.clear();
    QMap<int, QString> monthExpiry; // maps yyyymm to the month's expiry date
    for (const QString& k : qAsConst(keys)) {
        const CInstrumentDetailPtr d = sm->getInstrumentDetail(k);
        if (!d || !d->hasOptionData())
            continue;
        const int day = dayOfYmd(d->expiryYmd);
        if (day == 0 || day < today)
            continue;
        const int ym = d->expiryYmd / 100;
        if (!monthExpiry.contains(ym))
            monthExpiry.insert(ym, QString::number(d->expiryYmd));
        m_monthKeys[monthExpiry.value(ym)].append(k);
    }
    m_pMonthGroup->clear();
    m_monthButtons.clear();
    int id = kFirstMonthId;
    for (auto it = monthExpiry.constBegin(); it != monthExpiry.constEnd(); ++it, ++id) {
        m_pMonthGroup->addButton(
            id, QStringLiteral("%1年%2月").arg(it.key() / 100).arg(it.key() % 100));
        m_monthButtons.insert(id, it.value());
    }

    const QString vol =
        XP::formatDoubleNumber(und->histVolatility > 0 ? und->histVolatility : kUnset, 2,
                               XP::FMT_PERCENT, true, QStringLiteral("非法值"));
    m_pInfo[0]->setText(und->name + QStringLiteral(" (历波:%1)").arg(vol));
    const bool futures = m_nOptionMode == eFutureOption;
    // the tool bar shows whatever fits, so an item is left out by emptying it
    m_pInfoLabel[4]->setText(futures ? QString::fromUtf8(kInfoLabels[4]) : QString());
    for (int i = 1; i < 6; ++i)
        m_pInfo[i]->setText(i == 4 && !futures ? QString() : QStringLiteral("-"));

    clearMonth();
    if (!m_monthButtons.isEmpty())
        handleEvent(XP::EV_BUTTON_CLICKED, m_monthButtons.firstKey(), 0, QString(), nullptr);
    else
        writeExpiryLine();
    centreHorizontalScroll();
    return true;
}

QStringList COptionPriceTBrowseWidget::monthExpiries() const
{
    return m_monthButtons.values();
}

bool COptionPriceTBrowseWidget::selectMonth(const QString& expiryYmd)
{
    const int id = m_monthButtons.key(expiryYmd, -1);
    if (id < 0)
        return false;
    handleEvent(XP::EV_BUTTON_CLICKED, id, 0, QString(), nullptr);
    return true;
}

void COptionPriceTBrowseWidget::clearMonth()
{
    m_pModel->clear();
    m_contracts.clear();
    m_rows.clear();
    m_nSelectedRow = -1;
    m_bCallSide = true;
    m_selectedCodes.clear();
    m_pTable->clearSelection();
}

void COptionPriceTBrowseWidget::writeExpiryLine()
{
    const int ymd = m_qsExpiryDate.toInt();
    const QDate expiry(ymd / 10000, ymd / 100 % 100, ymd % 100);
    if (m_qsExpiryDate.isEmpty() || !expiry.isValid()) {
        m_pExpiryLine->setText(QString());
        return;
    }
    const QDate today = QDate(1970, 1, 1).addDays(marketToday());
    const int tradeDays = CStockDateHelper::getTradeDay(
        today.year(), today.month(), today.day(), expiry.year(), expiry.month(), expiry.day());
    m_pExpiryLine->setText(QStringLiteral("到期日%1; 剩余%2个自然日,%3个交易日;合约乘数%4")
                               .arg(m_qsExpiryDate)
                               .arg(today.daysTo(expiry))
                               .arg(tradeDays)
                               .arg(m_nMultiplier));
}

QString COptionPriceTBrowseWidget::expiryLine() const
{
    return m_pExpiryLine->text();
}

QStringList COptionPriceTBrowseWidget::infoTexts() const
{
    QStringList out;
    for (auto* w : m_pInfo)
        out.append(w->text());
    return out;
}

bool COptionPriceTBrowseWidget::isOpenInterestShown() const
{
    return !m_pInfoLabel[4]->text().isEmpty();
}

void COptionPriceTBrowseWidget::refreshEnvironment()
{
    CUserConfig* cfg = getUserConfig();
    m_env.userConfig = cfg;
    m_env.haldenMode = cfg && cfg->isHaldenClientMode();
    m_env.benchmark = cfg ? cfg->getGreekBenchmark() : 0;
    m_env.underlyingKey = m_qsUnderlyingKey;
    CCodeInfo info;
    m_env.hasMarginReference = !m_qsUnderlyingKey.isEmpty()
                               && CExchangeClient::instance()->getCodeInfo(m_qsUnderlyingKey, info);
    m_env.marginReference = m_env.hasMarginReference ? info.refPrice : 0.0;
}

void COptionPriceTBrowseWidget::buildRows(const QStringList& keys)
{
    refreshEnvironment();
    const int segment = segmentFlagOfUser();
    CHpfOptionBrowserData::setSegmentFlag(segment);
    CStockManager* sm = CStockManager::instance();
    std::map<std::string, std::vector<std::string>> codesByMarket;
    QSet<QString> markets;
    codesByMarket[m_qsUnderlyingMarket.toStdString()].push_back(m_qsUnderlyingCode.toStdString());
    markets.insert(m_qsUnderlyingMarket);

    std::vector<XP::IBaseHpfTableDataPtr> added;
    QHash<QString, boost::shared_ptr<CHpfOptionBrowserData>> byKey;
    for (const QString& k : keys) {
        const CInstrumentDetailPtr d = sm->getInstrumentDetail(k);
        if (!d || !d->hasOptionData() || !isOptionOfBoard(*d) || d->code.size() <= 5)
            continue;
        const QString rowKey = CHpfOptionBrowserData::rowKey(d.get(), segment);
        if (rowKey.isEmpty())
            continue;
        const bool call = isCallContract(*d);
        boost::shared_ptr<CHpfOptionBrowserData>& row = byKey[rowKey];
        if (!row) {
            row = boost::make_shared<CHpfOptionBrowserData>(
                rowKey, CHpfOptionBrowserData::strikeTextOfKey(rowKey));
            row->m_qsExerciseStyle =
                m_nOptionMode == eStockOption ? QStringLiteral("欧式") : QStringLiteral("美式");
            added.push_back(row);
        }
        row->fillStatic(*d, call);

        Contract c;
        c.row = row;
        c.detail = d;
        c.market = d->market;
        c.stockMarket = isStockMarket(d->market);
        COptionContract& v = c.values;
        v.call = call;
        v.american = d->american;
        v.strike = d->strike > 0 ? d->strike : kUnset;
        v.contractUnit = d->contractUnit > 0 ? d->contractUnit : kUnset;
        v.multiplier =
            d->contractUnit >= 1 && d->contractUnit < kUnsetInt ? int(d->contractUnit) : kUnsetInt;
        v.rate = std::isfinite(d->riskFreeRate) ? d->riskFreeRate : kUnset;
        v.histVolatility = d->histVolatility > 0 ? d->histVolatility : kUnset;
        v.preSettlement = d->preSettlement > 0 ? d->preSettlement : kUnset;
        v.expiryDay = dayOfYmd(d->expiryYmd);
        v.expiryText = QString::number(d->expiryYmd);
        m_contracts.insert(d->code, c);
        codesByMarket[d->market.toStdString()].push_back(d->code.toStdString());
        markets.insert(d->market);
    }
    m_pModel->addDatas(added);
    m_pTable->sortByColumn(CHpfOptionBrowserData::kStrikeColumn, 0);
    m_rows.clear();
    m_rows.reserve(size_t(m_pModel->size()));
    for (const XP::IBaseHpfTableDataPtr& r : m_pModel->getAllDatas())
        m_rows.push_back(static_cast<CHpfOptionBrowserData*>(r.get()));

    if (isLatestTradeDate(markets)) {
        fillQuoterFromCache(codesByMarket);
        m_pWholeQuote->requestWholeQuote(codesByMarket);
    }
    updateStrikePositions();
    m_pModel->notifyValuesChanged();
    m_pTable->fitColumnWidthsToVisibleRows();
}

bool COptionPriceTBrowseWidget::isLatestTradeDate(const QSet<QString>& markets) const
{
    if (!m_tradeDateFunc)
        return true;
    CStockManager* sm = CStockManager::instance();
    const int shown = CStockManager::dateOfMs(m_tradeDateFunc() * 1000);
    const int sh = sm->getLastTradingDay(QStringLiteral("SH"));
    for (const QString& market : markets) {
        const int m = sm->getLastTradingDay(market);
        if ((shown == sh && sh < m) || !(m > shown))
            return true;
    }
    return false;
}

void COptionPriceTBrowseWidget::fillQuoterFromCache(
    const std::map<std::string, std::vector<std::string>>& codes)
{
    const int64_t start = utils::clock();
    std::vector<dorn::PushQuoteParam> params;
    params.reserve(codes.size());
    for (const auto& entry : codes)
        params.emplace_back(entry.first);
    std::map<std::string, std::vector<quoter::QuoterAllDataPtr>> quotes;
    CFormulaManager::instance()->subPushQuoterFromCache(params, codes, quotes);
    for (const dorn::PushQuoteParam& p : params) {
        const auto q = quotes.find(p.market);
        const auto c = codes.find(p.market);
        if (q == quotes.end() || c == codes.end())
            continue;
        QVector<QString> codeList;
        codeList.reserve(int(c->second.size()));
        for (const std::string& code : c->second)
            codeList.append(QString::fromStdString(code));
        dorn::PushQuoteParam param = p;
        formulaPushQuoteBack(param, codeList, QVector<QString>(), q->second, true);
    }
    TT_LOG_DEBUG("[browser] fillQuoterFromCache total time:%1%",
                 (long long)(utils::clock() - start));
}

void COptionPriceTBrowseWidget::formulaPushQuoteBack(
    dorn::PushQuoteParam& param, const QVector<QString>& codes, const QVector<QString>& markets,
    const std::vector<quoter::QuoterAllDataPtr>& quotes, bool last)
{
    if (QThread::currentThread() != thread()) {
        // labels, rows and the table are the GUI thread's. Deliveries wait in order in
        // one list; only the first of a burst posts a drain, so a fast host thread does
        // not flood the event queue.
        const QString paramMarket = QString::fromStdString(param.market);
        const int n = std::min(codes.size(), int(quotes.size()));
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        const bool idle = m_pending.codes.isEmpty();
        for (int i = 0; i < n; ++i) {
            const QString& market = !paramMarket.isEmpty() ? paramMarket
                                    : i < markets.size()   ? markets[i]
                                                           : paramMarket;
            const auto it = m_pending.index.constFind(codes[i]);
            if (it != m_pending.index.constEnd() && m_pending.markets[*it] == market) {
                m_pending.quotes[size_t(*it)] = quotes[size_t(i)];
                continue;
            }
            // a code listed on two markets keeps the first in the index, the other in order
            if (it == m_pending.index.constEnd())
                m_pending.index.insert(codes[i], m_pending.codes.size());
            m_pending.codes.append(codes[i]);
            m_pending.markets.append(market);
            m_pending.quotes.push_back(quotes[size_t(i)]);
        }
        if (idle && !m_pending.codes.isEmpty())
            m_mailbox->post([this]() { drainPending(); });
        return;
    }
    ++m_nPushCount;
    const QString paramMarket =
        param.market.empty() ? QString() : QString::fromStdString(param.market);
    const int today = marketToday();
    const int n = std::min(codes.size(), int(quotes.size()));
    bool underlyingUpdated = false;
    bool any = false;
    ValidityMemo memo;
    for (int i = 0; i < n; ++i) {
        const quoter::QuoterAllData* q = quotes[size_t(i)].get();
        if (!q)
            continue;
        const QString& code = codes[i];
        const QString& market = !paramMarket.isEmpty() ? paramMarket
                                : i < markets.size()   ? markets[i]
                                                       : paramMarket;
        if (code == m_qsUnderlyingCode && market == m_qsUnderlyingMarket) {
            updateUnderlying(*q, memo);
            underlyingUpdated = true;
            continue;
        }
        const auto it = m_contracts.find(code);
        if (it == m_contracts.end() || it->market != market)
            continue;
        updateTableData(*it, *q, today, memo);
        any = true;
    }
    if (underlyingUpdated)
        updateStrikePositions();
    if (any || underlyingUpdated)
        m_pModel->notifyValuesChanged();
}

void COptionPriceTBrowseWidget::drainPending()
{
    PendingQuotes batch;
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        std::swap(batch, m_pending);
    }
    dorn::PushQuoteParam param;
    formulaPushQuoteBack(param, batch.codes, batch.markets, batch.quotes, true);
}

bool COptionPriceTBrowseWidget::isValidTime(ValidityMemo& memo, const QString& market,
                                            int64_t ms) const
{
    const int64_t second = ms / 1000;
    if (memo.market && second == memo.second && *memo.market == market)
        return memo.valid;
    memo.market = &market;
    memo.second = second;
    memo.valid = CFormulaManager::instance()->isValidData(second, market);
    return memo.valid;
}

void COptionPriceTBrowseWidget::updateUnderlying(const quoter::QuoterAllData& q, ValidityMemo& memo)
{
    CTargetPriceData snap;
    const bool valid = isValidTime(memo, m_qsUnderlyingMarket, q.time);
    parseFormulaResult(q, valid, isStockMarket(m_qsUnderlyingMarket), snap);
    m_dUnderlyingPrice = snap.m_dLast;
    const int seg = CHpfOptionBrowserData::segmentFlag();
    const QString bad = QStringLiteral("非法值");
    m_pInfo[1]->setText(XP::formatDoubleNumber(snap.m_dLast, 4, seg, true, bad));
    m_pInfo[2]->setText(XP::formatDoubleNumber(snap.m_dChange, 3, seg, true, bad));
    const QString colorKey = changeColorKey(snap.m_dChange);
    m_pInfo[1]->setTextColorKey(colorKey);
    m_pInfo[2]->setTextColorKey(colorKey);
    // the 64-bit volume: busy ETFs pass 2^31 shares
    m_pInfo[3]->setText(valid ? XP::formatLonglongNumber(q.volume, 0, seg, bad)
                              : QStringLiteral("-"));
    if (isOpenInterestShown())
        m_pInfo[4]->setText(XP::formatDoubleNumber(snap.m_dOpenInterest, 0, seg, true, bad));
    m_pInfo[5]->setText(valid ? XP::formatDoubleNumber(q.amount, 0, seg, true, bad)
                              : QStringLiteral("-"));
}

void COptionPriceTBrowseWidget::updateTableData(Contract& c, const quoter::QuoterAllData& q,
                                                int today, ValidityMemo& memo)
{
    CHpfOptionBrowserData& row = *c.row;
    const QString& code = c.detail ? c.detail->code : QString();
    // a row takes only its own contracts
    if (code != (c.values.call ? row.m_qsCallCode : row.m_qsPutCode))
        return;
    CTargetPriceData snap;
    const bool valid = isValidTime(memo, c.market, q.time);
    parseFormulaResult(q, valid, c.stockMarket, snap);
    const double days = c.values.expiryDay != 0 ? naturalDays(today, c.values.expiryDay) : 0;
    COptionResult values;
    computeOptionValues(c.values, snap, m_dUnderlyingPrice, days, m_env, m_greeks, values);
    TT_LOG_INFO(
        c.values.call
            ? "[TPrice]call: code%1%, undlPrice:%2% ExpricePrice:%3%, date:%4%, historyRate:%5%"
            : "[TPrice]put: code%1%, undlPrice:%2% ExpricePrice:%3%, date:%4%, historyRate:%5%",
        code, m_dUnderlyingPrice, c.values.strike, days, c.values.histVolatility);
    TT_LOG_INFO(c.values.call
                    ? "[TPrice]call: code%1%, Rho:%2% Vega:%3%, Theta:%4%, Gamma:%5%, Delta:%6%"
                    : "[TPrice]put: code%1%, Rho:%2% Vega:%3%, Theta:%4%, Gamma:%5%, Delta:%6%",
                code, values.rho, values.vega, values.theta, values.gamma, values.delta);
    storeOptionValues(row, c.values.call, m_dUnderlyingPrice, snap, values);
}

void COptionPriceTBrowseWidget::updateStrikePositions()
{
    TC::updateStrikePositions(m_rows, m_dUnderlyingPrice);
}

QString COptionPriceTBrowseWidget::sideCode(int row, bool call) const
{
    const XP::IBaseHpfTableDataPtr data = m_pModel->getData(row);
    if (!data)
        return QString();
    auto* r = static_cast<CHpfOptionBrowserData*>(data.get());
    return call ? r->m_qsCallCode : r->m_qsPutCode;
}

void COptionPriceTBrowseWidget::selectRow(int row, int column, bool range, int anchor)
{
    if (column >= 0)
        m_nLastClickColumn = column;
    const bool call = m_nLastClickColumn <= CHpfOptionBrowserData::kStrikeColumn;
    if (!range) {
        m_nSelectedRow = row;
        m_bCallSide = call;
        const QString code = sideCode(row, call);
        if (!code.isEmpty())
            m_selectedCodes.insert(code);
        return;
    }
    const int from = anchor == 0 ? row : std::min(anchor, row);
    const int to = anchor == 0 ? row : std::max(anchor, row);
    for (int r = std::max(0, from); r <= to && r < m_pModel->size(); ++r) {
        const QString code = sideCode(r, call);
        if (!code.isEmpty())
            m_selectedCodes.insert(code);
    }
    m_nSelectedRow = row;
    m_bCallSide = call;
}

bool COptionPriceTBrowseWidget::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    switch (id) {
    case XP::EV_BUTTON_CLICKED:
        if (a < kFirstMonthId) {
            selectTab(a);
            return true;
        }
        if (m_monthButtons.contains(a)) {
            m_qsExpiryDate = m_monthButtons.value(a);
            m_pMonthGroup->setChecked(a);
            m_pWholeQuote->unrequestAll();
            writeExpiryLine();
            clearMonth();
            m_pModel->notifyValuesChanged();
            buildRows(m_monthKeys.value(m_qsExpiryDate));
            centreHorizontalScroll();
            return true;
        }
        return false;
    case Event_SelectStock: {
        const int column = p ? *static_cast<const int*>(p) : -1;
        selectRow(b, column, false, 0);
        const QString code = sideCode(b, m_bCallSide);
        if (!code.isEmpty()) {
            deliverEvent(Event_SelectStock, a, b, code);
            deliverEvent(Event_TableStock, a, 0, code);
        }
        return true;
    }
    case Event_RangeSelect: {
        const int column = p ? *static_cast<const int*>(p) : -1;
        selectRow(b, column, true, text.toInt());
        return true;
    }
    case Event_DoubleSelectStock: {
        bool ok = false;
        const int column = text.toInt(&ok);
        if (ok && column >= 0)
            m_nLastClickColumn = column;
        const bool call = m_nLastClickColumn <= CHpfOptionBrowserData::kStrikeColumn;
        const QString code = sideCode(b, call);
        const auto it = m_contracts.constFind(code);
        if (code.isEmpty() || it == m_contracts.constEnd())
            return true;
        deliverEvent(Event_DoubleSelectStock, a, b, code, it->detail.get());
        return true;
    }
    default: break;
    }
    return XP::CBaseWidget::handleEvent(id, a, b, text, p);
}

void COptionPriceTBrowseWidget::slotBrowserRefreshTimeOut()
{
    CHpfOptionBrowserData::setSegmentFlag(segmentFlagOfUser());
    m_pWholeQuote->flushQueued();
}

void COptionPriceTBrowseWidget::slotOptionSettingChange()
{
    CIndexUserConfig* cfg = SingletonManager::getIndexUserConfig();
    if (!cfg)
        return;
    const int interval = cfg->getRefreshInterval();
    if (interval != m_nRefreshInterval) {
        m_nRefreshInterval = interval;
        m_pRefreshTimer->start(interval);
    }
}

void COptionPriceTBrowseWidget::slotContrastSector()
{
    const QString code = sideCode(m_nSelectedRow, m_bCallSide);
    if (!code.isEmpty())
        CIndexMainWindowHelper::inst()->showContrastSector(code);
}

void COptionPriceTBrowseWidget::addSelfSectorMenu()
{
    if (m_pSectorMenu)
        return;
    m_pSectorMenu = new XP::CMenu(QStringLiteral("加入自选板块"), this);
    for (CSectorDetail* sector : CSectorManager::instance()->getUserSectors()) {
        QAction* action = m_pSectorMenu->addAction(sector->getName());
        connect(action, SIGNAL(triggered()), this, SLOT(slotAddStockToSector()));
    }
    m_pTable->addMenu(m_pSectorMenu);
}

void COptionPriceTBrowseWidget::rebuildSelfSectorMenu()
{
    if (!m_pSectorMenu) {
        addSelfSectorMenu();
        return;
    }
    // the new menu takes the old one's place among the entries that followed it
    QMenu* rows = m_pTable->rowMenu();
    const QList<QAction*> entries = rows->actions();
    const int at = entries.indexOf(m_pSectorMenu->menuAction());
    QAction* before = at >= 0 ? entries.value(at + 1) : nullptr;
    rows->removeAction(m_pSectorMenu->menuAction());
    m_pSectorMenu->deleteLater(); // it may be the menu showing now
    m_pSectorMenu = nullptr;
    addSelfSectorMenu();
    if (before && m_pSectorMenu) {
        rows->removeAction(m_pSectorMenu->menuAction());
        rows->insertAction(before, m_pSectorMenu->menuAction());
    }
}

void COptionPriceTBrowseWidget::slotAddStockToSector()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action || m_selectedCodes.isEmpty())
        return;
    QStringList keys;
    for (const QString& code : qAsConst(m_selectedCodes)) {
        const auto it = m_contracts.constFind(code);
        keys.append(it != m_contracts.constEnd() && it->detail ? it->detail->key : code);
    }
    keys.sort();
    CSectorManager::instance()->addStockListToSector(action->text(), keys);
    if (CIndexUserConfig* cfg = SingletonManager::getIndexUserConfig())
        cfg->save();
}

QString COptionPriceTBrowseWidget::getParam()
{
    m_tabLayouts[m_nTab] = m_pTable->saveConfigStr();
    QJsonObject layouts;
    for (auto it = m_tabLayouts.constBegin(); it != m_tabLayouts.constEnd(); ++it)
        layouts.insert(QString::number(it.key()), it.value());
    QJsonObject root;
    root.insert(QStringLiteral("tab"), m_nTab);
    root.insert(QStringLiteral("layouts"), layouts);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

void COptionPriceTBrowseWidget::setParam(const QString& param)
{
    if (param.isEmpty())
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(param.toUtf8());
    if (!doc.isObject()) {
        TT_LOG_ERROR("[TPrice] bad parameter string: %1%", param);
        return;
    }
    const QJsonObject root = doc.object();
    const QJsonObject layouts = root.value(QStringLiteral("layouts")).toObject();
    m_tabLayouts.clear();
    for (auto it = layouts.constBegin(); it != layouts.constEnd(); ++it) {
        bool ok = false;
        const int tab = it.key().toInt(&ok);
        if (ok && tab >= 0 && tab <= 3)
            m_tabLayouts.insert(tab, it.value().toString());
    }
    const int tab = root.value(QStringLiteral("tab")).toInt(m_nTab);
    m_nTab = tab >= 0 && tab <= 3 ? tab : 0;
    m_pTabGroup->setChecked(m_nTab);
    applyTabVisibility();
    const QString saved = m_tabLayouts.value(m_nTab);
    if (!saved.isEmpty())
        m_pTable->loadConfigStr(saved);
}

void COptionPriceTBrowseWidget::themeChanged()
{
    if (!m_pTable)
        return;
    const bool concise = getConfig() && getConfig()->conciseStyle;
    m_pToolBar->setBackgroundColorKey(QStringLiteral("ic_clr_table_background"));
    m_pTable->setBackgroundColorKeys(QStringLiteral("ic_clr_table_background"),
                                     QStringLiteral("ic_clr_table_number_background"));
    m_pTable->setScrollSliderImage(QStringLiteral("img_scrollbar_slider_browse"));
    m_pTable->setSplitLineColorKeys(QStringLiteral("ic_clr_table_split_line"),
                                    QStringLiteral("ic_clr_table_sort_split_line"),
                                    QStringLiteral("ic_clr_table_sort_noactive_split_line"),
                                    concise ? QStringLiteral("ic_clr_table_split_line")
                                            : QStringLiteral("clr_table_split_line_header"));
    m_pTable->setHeaderFontKey(QStringLiteral("ic_fnt_table_text_default"));
    m_pTable->setHeaderTextColorKey(QStringLiteral("ic_clr_table_text_default"));
    m_pTable->setRowNumberColumn(true, QStringLiteral("序号"),
                                 QStringLiteral("ic_fnt_table_number_default"));
    m_pTable->setStatRowStyle(QStringLiteral("clr_table_stat_border"),
                              QStringLiteral("siz_standard_table_item_height"),
                              QStringLiteral("fnt_table_stat_text_default"),
                              QStringLiteral("siz_standard_table_stat_text_margin"));
}

} // namespace TC
