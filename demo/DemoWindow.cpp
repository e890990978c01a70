#include "demo/DemoWindow.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Config.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/JsonParam.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/data/TraderCenter.h"
#include "host/data/UserConfig.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/HpfTableModel.h"
#include "host/toolkit/UiResource.h"
#include "position/CPositionBrowseWidget.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"
#include "quoterbrowser/CQuoterBrowserWidget.h"
#include "view/CIndexBrowseView.h"

#include <QActionGroup>
#include <QDateEdit>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTime>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int kFollowMs = 200; // how soon the side list and columns follow a sector switch
const QString kTargetField = QStringLiteral("目标价"); // the demo's editable field
} // namespace

DemoWindow::DemoWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("TT 行情浏览 — 演示终端"));
    auto* splitter = m_pSplitter = new QSplitter(this);
    m_pView = new TC::CIndexBrowseView(splitter, TC::BrowseType_Default);
    m_pView->setStarrtSmartShow(true);
    m_pQuoter = new TC::CQuoterBrowserWidget(splitter);
    m_pQuoter->setMaximumWidth(320);
    splitter->addWidget(m_pView);
    splitter->addWidget(m_pQuoter);
    splitter->setStretchFactor(0, 1);
    setCentralWidget(splitter);

    m_pRowsLabel = new QLabel(this);
    m_pRateLabel = new QLabel(this);
    m_pRefreshLabel = new QLabel(this);
    m_pChosenLabel = new QLabel(this);
    statusBar()->addWidget(m_pRowsLabel);
    statusBar()->addWidget(m_pRateLabel);
    statusBar()->addWidget(m_pRefreshLabel);
    statusBar()->addPermanentWidget(m_pChosenLabel);
    TC::CBrowseWidget* table = mainTable();
    connect(table, &TC::CBrowseWidget::sigRefreshed, this, [this]() {
        m_pRefreshLabel->setText(QStringLiteral("刷新 %1").arg(
            QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    });
    auto* statusTimer = new QTimer(this);
    connect(statusTimer, &QTimer::timeout, this, [this]() {
        updateStatus();
        // a trade rewrites a position row's averages and amounts in place, with no signal
        // and no new row: the position table's few rows are fitted again each second
        if (m_pView->currentBrowserKind() == TC::CIndexBrowseView::KindPosition && !m_bUserSized)
            fitColumns();
    });
    statusTimer->start(1000);
    m_rateClock.start();
    auto* followTimer = new QTimer(this);
    connect(followTimer, &QTimer::timeout, this, &DemoWindow::followView);
    followTimer->start(kFollowMs);

    XP::CEventSink::setHandler([this](QObject* sender, int id, int a, int b, const QString& text,
                                      void*) { return onHostEvent(sender, id, a, b, text); });
    buildMenus();
    buildHistoryTools();
    themeChanged();
    resize(1600, 900);
    // indicator and interval cells are empty when the columns are first fitted
    connect(table, &TC::CBrowseWidget::sigIndicatorBatchDone, this, &DemoWindow::fitColumns);
    connect(table, &TC::CBrowseWidget::sigStageDataDone, this, &DemoWindow::fitColumns);
    if (table->table()) {
        table->table()->viewport()->installEventFilter(this);
        table->table()->setStatRowVisible(true); // sums and averages under the rows
    }
}

DemoWindow::~DemoWindow()
{
    XP::CEventSink::clearHandler();
}

TC::CBrowseWidget* DemoWindow::mainTable() const
{
    return m_pView->mainBrowseWidget();
}

void DemoWindow::themeChanged()
{
    XP::CUiResource& res = XP::CUiResource::instance();
    auto c = [&res](const char* key, const char* fallback) {
        const QColor* colour = res.getColor(QString::fromLatin1(key));
        return colour ? colour->name() : QString::fromLatin1(fallback);
    };
    const QString window = c("ic_clr_widget_background", "#0e0e0e");
    const QString text = c("ic_clr_widget_text", "#c8c8c8");
    const QString split = c("ic_clr_mainwindow_split_background", "#1a1a1a");

    // The window's palette colours what no style sheet covers (the central area's edges).
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(window));
    pal.setColor(QPalette::WindowText, QColor(text));
    setPalette(pal);

    // Style sheets go on the window's own widgets only, so the view keeps its own.
    menuBar()->setStyleSheet(
        QStringLiteral("QMenuBar{background:%1;color:%2;border-bottom:1px solid %3;}"
                       "QMenuBar::item{background:transparent;padding:3px 10px;}"
                       "QMenuBar::item:selected{background:%4;color:%5;}"
                       "QMenu{background:%6;color:%2;border:1px solid %3;}"
                       "QMenu::item{padding:4px 24px 4px 20px;}"
                       "QMenu::item:selected{background:%4;color:%5;}"
                       "QMenu::item:disabled{color:%7;}"
                       "QMenu::separator{height:1px;background:%3;margin:3px 6px;}")
            .arg(window, c("ic_clr_menu_text", "#d0d0d0"), split,
                 c("ic_clr_menu_selected_background", "#283c64"),
                 c("ic_clr_table_text_selected", "#ffffff"), c("ic_clr_menu_background", "#1a1a1a"),
                 c("ic_clr_menu_disabled_text", "#5a5a5a")));
    m_pSplitter->setStyleSheet(QStringLiteral("QSplitter::handle{background:%1;}").arg(split));
    statusBar()->setStyleSheet(
        QStringLiteral("QStatusBar{background:%1;color:%2;border-top:1px solid %3;}"
                       "QStatusBar::item{border:none;}QLabel{color:%2;padding:0 6px;}"
                       "QDateEdit{background:%1;color:%2;border:1px solid %3;padding:1px 4px;}")
            .arg(window, text, split));
}

void DemoWindow::buildMenus()
{
    QMenu* settings = menuBar()->addMenu(QStringLiteral("设置"));
    QMenu* theme = settings->addMenu(QStringLiteral("主题"));
    auto* themes = new QActionGroup(this);
    for (const auto& entry : {std::make_pair(QStringLiteral("深色"), QStringLiteral("dark")),
                              std::make_pair(QStringLiteral("浅色"), QStringLiteral("light"))}) {
        QAction* action = theme->addAction(entry.first);
        action->setCheckable(true);
        action->setChecked(XP::CUiResource::instance().themeName() == entry.second);
        themes->addAction(action);
        const QString name = entry.second;
        connect(action, &QAction::triggered, this,
                [name]() { XP::CUiResource::instance().loadTheme(name); });
    }
    QMenu* refresh = settings->addMenu(QStringLiteral("刷新间隔"));
    auto* intervals = new QActionGroup(this);
    const int current = TC::SingletonManager::getIndexUserConfig()->getRefreshInterval();
    for (int ms : {250, 500, 1000, 2000, 3000}) {
        QAction* action = refresh->addAction(QStringLiteral("%1 毫秒").arg(ms));
        action->setCheckable(true);
        action->setChecked(ms == current);
        intervals->addAction(action);
        connect(action, &QAction::triggered, this,
                [ms]() { TC::SingletonManager::getIndexUserConfig()->setRefreshInterval(ms); });
    }
    QAction* toolBar = settings->addAction(QStringLiteral("显示搜索栏"));
    toolBar->setCheckable(true);
    toolBar->setChecked(true);
    connect(toolBar, &QAction::toggled, m_pView, &TC::CIndexBrowseView::setToolBarVisible);
    QAction* sectorBar = settings->addAction(QStringLiteral("显示板块栏"));
    sectorBar->setCheckable(true);
    sectorBar->setChecked(true);
    connect(sectorBar, &QAction::toggled, m_pView, &TC::CIndexBrowseView::setButtonCtrlVisible);

    QMenu* indicators = menuBar()->addMenu(QStringLiteral("指标"));
    // the same command as the row menu's, after the menu that sent it has closed
    connect(
        indicators->addAction(QStringLiteral("选择自定义指标")), &QAction::triggered, this,
        [this]() { QTimer::singleShot(0, m_pView, &TC::CIndexBrowseView::slotSelectCustomIndex); });
}

bool DemoWindow::showSector(const QString& name)
{
    auto* sectors = TC::CSectorManager::instance();
    if (TC::CExternalDataManager::instance()->isExist(name)) {
        m_pView->setExternal(name);
    } else if (!sectors->getSector(name)) {
        return false;
    } else if (sectors->isPositionSector(name)) {
        m_pView->setPositionSector(name, {}, false, true);
    } else {
        m_pView->setSector(name); // requests by itself when the view is visible
        followView();
        return true;
    }
    if (m_pView->isVisible())
        m_pView->request(false);
    followView();
    return true;
}

void DemoWindow::restoreView(const QString& param)
{
    m_pView->setParam(param, false);
    followView();
}

void DemoWindow::addStartColumns()
{
    TC::CBrowseWidget* table = mainTable();
    TC::ColumnInfo ma5;
    ma5.formulaName = QStringLiteral("MA");
    ma5.lineIndex = 0;
    ma5.period = 86400000;
    ma5.title = QStringLiteral("MA5");
    table->addCustomIndex(ma5);
    const int id = table->addCustomField(kTargetField, QStringLiteral("0"));
    if (id >= 0 && table->table())
        table->table()->moveColumn(id, 4); // beside the name and the first quotes
    if (m_bTablePainted)
        requestIndicators();
}

void DemoWindow::seedTargetPrices()
{
    // the host keeps typed field values for the process only: the demo types a target
    // price for the first rows of 沪深A股 on every start; the others show the default
    const QString sector = QStringLiteral("沪深A股");
    auto stocks = TC::CSectorManager::instance()->getSectorStockList(sector);
    // the first rows by code, as the table first shows them
    std::sort(stocks.begin(), stocks.end(),
              [](const ttservice::CInstrumentDetailPtr& a,
                 const ttservice::CInstrumentDetailPtr& b) { return a->code < b->code; });
    for (int i = 0; i < stocks.size() && i < 5; ++i)
        se::FieldParams::setData(sector, kTargetField, stocks[i]->key, 10.0 + i * 2.5);
}

void DemoWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // after the first layout: the visible rows are known only then
    QTimer::singleShot(0, this, &DemoWindow::fitColumns);
}

void DemoWindow::fitColumns()
{
    TC::CBrowseWidget* table = m_pView->getBrowseWidget();
    if (!table || !table->table())
        return;
    m_bFitting = true;
    table->table()->fitColumnWidthsToVisibleRows();
    m_bFitting = false;
}

void DemoWindow::watchUserResize()
{
    QObject::disconnect(m_resizeWatch);
    m_bUserSized = false;
    TC::CBrowseWidget* table = m_pView->getBrowseWidget();
    if (!table || !table->table())
        return;
    m_resizeWatch =
        connect(table->table()->horizontalHeader(), &QHeaderView::sectionResized, this, [this]() {
            if (!m_bFitting)
                m_bUserSized = true;
        });
}

QString DemoWindow::shownName(bool* external) const
{
    // a data set leaves the view's sector as it was: the table knows the set's name
    const TC::CBrowseWidget* table = m_pView->getBrowseWidget();
    const QString tableName = table ? table->getSectorName() : QString();
    const bool set = m_pView->currentBrowserKind() == TC::CIndexBrowseView::KindMain
                     && !tableName.isEmpty() && tableName != m_pView->getCurrentSector()
                     && TC::CExternalDataManager::instance()->isExist(tableName);
    if (external)
        *external = set;
    return set ? tableName : m_pView->getCurrentSector();
}

int DemoWindow::shownRows() const
{
    const TC::CBrowseWidget* table = m_pView->getBrowseWidget();
    const XP::IBaseHpfTableModel* model =
        table && table->table() ? table->table()->hpfModel() : nullptr;
    return model ? model->size() : 0;
}

void DemoWindow::followView()
{
    const QString sector = shownName();
    const QObject* table = m_pView->getBrowseWidget();
    if (sector != m_qsShownSector || table != m_pShownTable) {
        m_qsShownSector = sector;
        if (table != m_pShownTable)
            watchUserResize();
        m_pShownTable = table;
        m_nShownRows = shownRows();
        onSectorShown();
        return;
    }
    // rows that arrive later (positions as the accounts trade, a data set's rows) change
    // what the side list lists and what the columns must fit
    const int rows = shownRows();
    if (rows != m_nShownRows) {
        m_nShownRows = rows;
        showSideList();
        if (isVisible())
            QTimer::singleShot(0, this, &DemoWindow::fitColumns);
    }
    // a search re-applies the sector, which resets the table's columns: the interval
    // columns join again
    if (m_stageSettings.isEmpty()
        || m_pView->currentBrowserKind() != TC::CIndexBrowseView::KindMain)
        return;
    const QList<TC::ColumnInfo>& columns = mainTable()->columnList();
    for (const QString& setting : qAsConst(m_stageSettings)) {
        const QString title = setting.section(QLatin1Char(','), 5);
        if (std::none_of(columns.begin(), columns.end(),
                         [&title](const TC::ColumnInfo& c) { return c.title == title; }))
            m_pView->addStageColumn(setting);
    }
}

void DemoWindow::showSideList()
{
    bool external = false;
    const QString name = shownName(&external);
    if (!external && m_pView->currentBrowserKind() != TC::CIndexBrowseView::KindPosition) {
        if (!name.isEmpty() && name != m_pQuoter->getSector())
            m_pQuoter->setSector(name);
        return;
    }
    // a position sector lists its holdings, a data set the rows that are instruments
    QList<ttservice::CInstrumentDetailPtr> list;
    if (TC::CBrowseWidget* table = m_pView->getBrowseWidget()) {
        TC::CStockManager* stocks = TC::CStockManager::instance();
        for (const QString& key : table->getStockList())
            if (ttservice::CInstrumentDetailPtr detail = stocks->getInstrumentDetail(key))
                list.append(detail);
    }
    m_pQuoter->setInstruments(name, list);
}

void DemoWindow::onSectorShown()
{
    showSideList();
    switch (m_pView->currentBrowserKind()) {
    case TC::CIndexBrowseView::KindPosition: startTrading(); break;
    case TC::CIndexBrowseView::KindPriceT: primeOptionPane(); break;
    default:
        // the table's columns were reset with the sector: the interval columns join again,
        // and the indicator columns the view carried over compute for the new rows
        for (const QString& setting : qAsConst(m_stageSettings))
            m_pView->addStageColumn(setting);
        if (m_bTablePainted)
            requestIndicators();
        break;
    }
    updateStatus();
    if (isVisible())
        QTimer::singleShot(0, this, &DemoWindow::fitColumns);
}

void DemoWindow::requestIndicators()
{
    TC::CBrowseWidget* table = mainTable();
    if (!table->customIndexColumns().isEmpty())
        table->requeAllCustomIndex();
}

bool DemoWindow::eventFilter(QObject* watched, QEvent* event)
{
    TC::CBrowseWidget* table = mainTable();
    if (!m_bTablePainted && event->type() == QEvent::Paint && table->table()
        && watched == table->table()->viewport()) {
        // the first batch waits for the first painted page, so start-up shows quotes first
        m_bTablePainted = true;
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, &DemoWindow::requestIndicators);
    }
    return QMainWindow::eventFilter(watched, event);
}

bool DemoWindow::onHostEvent(QObject* sender, int id, int, int, const QString& text)
{
    if (sender == m_pQuoter) {
        // the side list sends its selected row as JSON
        if (id != 47 && id != 4003)
            return false;
        const QString key = TC::JsonParam::parse(text).object.getQString("CODE");
        if (!key.isEmpty()) {
            m_qsChosen = key;
            m_pChosenLabel->setText(QStringLiteral("选中 %1").arg(key));
        }
        return true;
    }
    // the view announces the row chosen in any of its tables (3059), a table its current row
    if ((id == 3059 || id == 3083) && !text.isEmpty()) {
        m_qsChosen = text;
        m_pChosenLabel->setText(QStringLiteral("选中 %1").arg(text));
        return true;
    }
    return false;
}

void DemoWindow::updateStatus()
{
    // the counts of the table on show; the option pane has none of its own
    TC::CBrowseWidget* shown = m_pView->currentBrowserKind() == TC::CIndexBrowseView::KindPriceT
                                   ? nullptr
                                   : m_pView->getBrowseWidget();
    m_pRowsLabel->setVisible(shown);
    m_pRateLabel->setVisible(shown);
    if (!shown)
        return;
    const quint64 pushes = shown->pushCount();
    if (shown != m_pStatusSource) {
        m_pStatusSource = shown;
        m_nLastPushes = pushes;
    }
    const double seconds = std::max<qint64>(1, m_rateClock.restart()) / 1000.0;
    m_pRowsLabel->setText(QStringLiteral("行数 %1").arg(shown->getStockListSize()));
    m_pRateLabel->setText(
        QStringLiteral("推送 %1/秒").arg(double(pushes - m_nLastPushes) / seconds, 0, 'f', 1));
    m_nLastPushes = pushes;
}

void DemoWindow::primeOptionPane()
{
    TC::CPriceTBrowseWidget* pane = m_pView->priceTBrowseWidget();
    if (!pane || m_bPanePrimed)
        return;
    m_bPanePrimed = true;
    // the first underlying of the category, as if clicked: its chart and its board
    TC::CBrowseWidget* list = pane->underlyingList();
    if (list->getStockListSize() > 0) {
        list->setSelectRow(0);
        list->handleEvent(47, TC::CPriceTBrowseWidget::kListTableId, 0, QString(), nullptr);
    }
    // and the board's first call, so that both quote panes show a chart
    TC::COptionPriceTBrowseWidget* board = pane->board();
    if (board->model()->size() > 0) {
        int callColumn = 10;
        board->handleEvent(47, TC::COptionPriceTBrowseWidget::kTableId, 0, QString(), &callColumn);
    }
}

QString DemoWindow::summary() const
{
    const int kind = m_pView->currentBrowserKind();
    TC::CPriceTBrowseWidget* pane = m_pView->priceTBrowseWidget();
    if (kind == TC::CIndexBrowseView::KindPriceT && pane) {
        return QStringLiteral("sector=%1 pane underlyings=%2 rows=%3 board=%4 month=%5")
            .arg(m_pView->getCurrentSector())
            .arg(pane->underlyingList()->getStockListSize())
            .arg(pane->board()->model()->size())
            .arg(pane->board()->underlyingKey(), pane->board()->selectedExpiry());
    }
    TC::CBrowseWidget* table = m_pView->getBrowseWidget();
    if (!table)
        return QStringLiteral("no table");
    QString text = QStringLiteral("sector=%1 kind=%2 rows=%3 pushes=%4 refreshes=%5 columns=%6")
                       .arg(m_pView->getCurrentSector())
                       .arg(kind)
                       .arg(table->getStockListSize())
                       .arg(table->pushCount())
                       .arg(table->refreshCount())
                       .arg(table->columnList().size());
    if (m_nTradeDate > 0)
        text += QStringLiteral(" trade-date=%1 status=%2")
                    .arg(TC::CStockManager::ymdFromDate(m_nTradeDate))
                    .arg(table->getBrowserStatus());
    return text;
}

void DemoWindow::buildHistoryTools()
{
    auto* stocks = TC::CStockManager::instance();
    const int ymd = TC::CStockManager::ymdFromDate(stocks->getLastTradingDay());
    const QDate today(ymd / 10000, ymd / 100 % 100, ymd % 100);
    m_pDateEdit = new QDateEdit(today, this);
    m_pDateEdit->setCalendarPopup(true);
    m_pDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_pDateEdit->setMaximumDate(today);
    m_pDateEdit->setToolTip(QStringLiteral("交易日：今天为实时行情，更早的交易日显示当日数据"));
    statusBar()->addPermanentWidget(m_pDateEdit);
    connect(m_pDateEdit, &QDateEdit::dateChanged, this, &DemoWindow::setTradeDate);
    // the view hands the getter to every table it holds
    m_pView->setCurrentTradeDateFunc([this]() {
        return m_nTradeDate > 0 ? m_nTradeDate : TC::CStockManager::instance()->getLastTradingDay();
    });

    QMenu* columns = menuBar()->addMenu(QStringLiteral("区间统计"));
    connect(columns->addAction(QStringLiteral("添加20日区间涨幅")), &QAction::triggered, this,
            [this]() { addStageColumn(20); });
    connect(columns->addAction(QStringLiteral("添加60日区间涨幅")), &QAction::triggered, this,
            [this]() { addStageColumn(60); });
}

void DemoWindow::setTradeDate(const QDate& date)
{
    auto* stocks = TC::CStockManager::instance();
    const int today = stocks->getLastTradingDay();
    int day = TC::CStockManager::dateFromYmd(date.year(), date.month(), date.day());
    if (day <= 0 || day >= today) {
        day = 0;
    } else if (!stocks->isTradeDate(day)) {
        day = stocks->getShiftTradeDate(day, -1);
    }
    if (m_pDateEdit && m_pDateEdit->date() != date) {
        const QSignalBlocker quiet(m_pDateEdit);
        m_pDateEdit->setDate(date);
    }
    if (day == m_nTradeDate)
        return;
    m_nTradeDate = day;
    // back to live: the rows take the cache's snapshots again before the pushes go on
    m_pView->unrequest();
    m_pView->resetBrowserStatus();
    if (day == 0 && m_pView->currentBrowserKind() == TC::CIndexBrowseView::KindMain)
        mainTable()->fillQuoterFromCache();
    m_pView->request(false);
}

void DemoWindow::addStageColumn(int days)
{
    auto* stocks = TC::CStockManager::instance();
    const int end = m_nTradeDate > 0 ? m_nTradeDate : stocks->getLastTradingDay();
    const int start = stocks->getShiftTradeDate(end, -(days - 1));
    const QString setting =
        QStringLiteral("%1,%2,0,86400,4,%3日涨幅").arg(start).arg(end).arg(days);
    if (!m_stageSettings.contains(setting))
        m_stageSettings.append(setting);
    m_pView->addStageColumn(setting);
}

void DemoWindow::startTrading()
{
    // the simulated accounts trade every two seconds of market time
    auto* trader = ttservice::TraderCenter::instance();
    if (!trader->isRunning())
        trader->start(2000);
    // the product combo lists the simulated accounts' products
    TC::CUserConfig* config = TC::getUserConfig();
    TC::CPositionBrowseWidget* position = m_pView->positionBrowseWidget();
    if (config && config->getProductGroups().isEmpty()) {
        const auto groups = ttservice::TraderCenter::defaultProductGroups();
        for (auto it = groups.cbegin(); it != groups.cend(); ++it)
            config->setProductGroup(it.key(), it.value());
        if (position)
            position->updateToolBarProductGroup();
    }
    if (!position)
        return;
    // every account of the kind, as "全部产品" would choose
    QSet<QString> ids;
    for (const auto& info : trader->getAccountList())
        ids.insert(info->accountId);
    const QString kind = position->getSectorName();
    position->setSectorName(kind.isEmpty() ? m_qsShownSector : kind, ids, true, false);
    if (m_pView->isVisible())
        position->request();
}
