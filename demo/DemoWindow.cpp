#include "demo/DemoWindow.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaOperateManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/JsonParam.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TraderCenter.h"
#include "host/data/UserConfig.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/UiResource.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"
#include "position/CPositionBrowseWidget.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"
#include "quoterbrowser/CQuoterBrowserWidget.h"

#include <QActionGroup>
#include <QDateEdit>
#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

namespace {
constexpr int kSectorRole = Qt::UserRole + 1;
constexpr int kTreeDepth = 3; // leaves deeper than this are reached through their parents
} // namespace

DemoWindow::DemoWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("TT 行情浏览 — 演示终端"));
    auto* splitter = m_pSplitter = new QSplitter(this);
    m_pTree = new QTreeWidget(splitter);
    m_pTree->setHeaderLabel(QStringLiteral("板块"));
    m_pTree->setMinimumWidth(180);
    m_pTree->setMaximumWidth(260);
    m_pCenter = new QStackedWidget(splitter);
    m_pBrowse = new TC::CBrowseWidget(m_pCenter, false, TC::BrowseType_Default, 88);
    m_pBrowse->setIsResetSelectStock(true);
    m_pCenter->addWidget(m_pBrowse);
    m_pQuoter = new TC::CQuoterBrowserWidget(splitter);
    m_pQuoter->setMaximumWidth(320);
    m_pBrowse->addPublicMenuAction();
    splitter->addWidget(m_pTree);
    splitter->addWidget(m_pCenter);
    splitter->addWidget(m_pQuoter);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    if (TC::CSectorDetail* root = TC::CSectorManager::instance()->getRoot()) {
        for (TC::CSectorDetail* top : root->getChildren())
            fillTree(nullptr, top, 0);
    }
    connect(m_pTree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { showSector(item->data(0, kSectorRole).toString()); });

    m_pRowsLabel = new QLabel(this);
    m_pRateLabel = new QLabel(this);
    m_pRefreshLabel = new QLabel(this);
    m_pChosenLabel = new QLabel(this);
    statusBar()->addWidget(m_pRowsLabel);
    statusBar()->addWidget(m_pRateLabel);
    statusBar()->addWidget(m_pRefreshLabel);
    statusBar()->addPermanentWidget(m_pChosenLabel);
    connect(m_pBrowse, &TC::CBrowseWidget::sigRefreshed, this, [this]() {
        m_pRefreshLabel->setText(QStringLiteral("刷新 %1").arg(
            QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    });
    auto* statusTimer = new QTimer(this);
    connect(statusTimer, &QTimer::timeout, this, &DemoWindow::updateStatus);
    statusTimer->start(1000);
    m_rateClock.start();

    XP::CEventSink::setHandler([this](QObject* sender, int id, int a, int b, const QString& text,
                                      void*) { return onHostEvent(sender, id, a, b, text); });
    buildMenus();
    buildHistoryTools();
    themeChanged();
    resize(1600, 900);
    TC::ColumnInfo ma5;
    ma5.formulaName = QStringLiteral("MA");
    ma5.lineIndex = 0;
    ma5.period = 86400000;
    ma5.title = QStringLiteral("MA5");
    m_indicators.append(ma5);
    // indicator cells are empty when the columns are first fitted
    connect(m_pBrowse, &TC::CBrowseWidget::sigIndicatorBatchDone, this, &DemoWindow::fitColumns);
    if (m_pBrowse->table()) {
        m_pBrowse->table()->viewport()->installEventFilter(this);
        m_pBrowse->table()->setStatRowVisible(true); // sums and averages under the rows
    }
}

DemoWindow::~DemoWindow()
{
    XP::CEventSink::clearHandler();
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
    const QString scrollBars =
        QStringLiteral("QScrollBar{background:%1;border:none;}"
                       "QScrollBar:vertical{width:10px;}QScrollBar:horizontal{height:10px;}"
                       "QScrollBar::handle{background:%2;min-height:20px;min-width:20px;}"
                       "QScrollBar::handle:hover{background:%3;}"
                       "QScrollBar::add-line,QScrollBar::sub-line{width:0;height:0;}"
                       "QScrollBar::add-page,QScrollBar::sub-page{background:none;}")
            .arg(c("ic_clr_scrollbar_background", "#0f0f0f"),
                 c("ic_clr_scrollbar_normal", "#404040"), c("ic_clr_scrollbar_hover", "#505050"));

    // The window's palette colours what no style sheet covers (the central area's edges).
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(window));
    pal.setColor(QPalette::WindowText, QColor(text));
    setPalette(pal);

    // Style sheets go on the window's own widgets only, so the browse table keeps its own.
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
    m_pTree->setStyleSheet(QStringLiteral("QTreeView{background:%1;color:%2;border:none;outline:0;}"
                                          "QTreeView::item{padding:2px 0;}"
                                          "QTreeView::item:hover{background:%3;}"
                                          "QTreeView::item:selected{background:%4;color:%5;}"
                                          "QHeaderView::section{background:%6;color:%7;border:none;"
                                          "border-bottom:1px solid %8;padding:3px 6px;}")
                               .arg(c("ic_clr_table_background", "#0a0a0a"),
                                    c("ic_clr_table_text_default", "#b4b4b4"),
                                    c("ic_clr_table_cur_row_background", "#1e2a44"),
                                    c("ic_clr_table_selected_background", "#283c64"),
                                    c("ic_clr_table_text_selected", "#ffffff"),
                                    c("ic_clr_table_header_background", "#141414"), text,
                                    c("clr_table_split_line_header", "#2a2a2a"))
                           + scrollBars);
    m_pSplitter->setStyleSheet(QStringLiteral("QSplitter::handle{background:%1;}").arg(split));
    statusBar()->setStyleSheet(
        QStringLiteral("QStatusBar{background:%1;color:%2;border-top:1px solid %3;}"
                       "QStatusBar::item{border:none;}QLabel{color:%2;padding:0 6px;}")
            .arg(window, text, split));
}

void DemoWindow::fillTree(QTreeWidgetItem* parentItem, TC::CSectorDetail* sector, int depth)
{
    auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(m_pTree);
    item->setText(0, sector->getName());
    item->setData(0, kSectorRole, sector->getName());
    if (depth + 1 >= kTreeDepth)
        return;
    for (TC::CSectorDetail* child : sector->getChildren())
        fillTree(item, child, depth + 1);
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
}

bool DemoWindow::showSector(const QString& name)
{
    if (TC::CExternalDataManager::instance()->isExist(name))
        return showExternalData(name);
    auto* sectors = TC::CSectorManager::instance();
    TC::CSectorDetail* sector = sectors->getSector(name);
    if (!sector)
        return false;
    if (m_pPosition)
        m_pPosition->unrequest();
    if (sectors->isPositionSector(name))
        return showPositionSector(name);
    const auto list = sectors->getSectorStockList(name);
    m_pBrowse->unrequest();
    if (sectors->isParentTsector(name)) {
        m_pQuoter->setSector(name);
        showOptionPane();
        updateStatus();
        return true;
    }
    m_pCenter->setCurrentWidget(m_pBrowse);
    m_pBrowse->setSectorName(name);
    m_pBrowse->setSectorCode(sector->getCode());
    m_pBrowse->setIndexConstituentsList(!sector->getCode().isEmpty());
    m_pBrowse->resetBrowserStatus();
    m_pBrowse->resetTableColumn();
    restoreUserFields(name);
    m_pBrowse->setStockList(list, true);
    m_pBrowse->sortByRate();
    addDemoUserField(name);
    m_pBrowse->request();
    m_pQuoter->setSector(name);
    requestIndicators();
    requestStageColumns();
    updateStatus();
    if (isVisible())
        QTimer::singleShot(0, this, &DemoWindow::fitColumns);
    return true;
}

void DemoWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // after the first layout: the visible rows are known only then
    QTimer::singleShot(0, this, &DemoWindow::fitColumns);
}

void DemoWindow::fitColumns()
{
    if (m_pBrowse->table())
        m_pBrowse->table()->fitColumnWidthsToVisibleRows();
}

void DemoWindow::requestIndicators()
{
    // the column list was reset with the sector: the indicators join again
    bool added = false;
    for (TC::ColumnInfo c : m_indicators)
        added = m_pBrowse->addCustomIndex(c) >= 0 || added;
    // the first batch waits for the first painted page, so start-up shows quotes first
    if (added && m_bTablePainted)
        m_pBrowse->requestCustomIndex();
}

bool DemoWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_bTablePainted && event->type() == QEvent::Paint && m_pBrowse->table()
        && watched == m_pBrowse->table()->viewport()) {
        m_bTablePainted = true;
        watched->removeEventFilter(this);
        QTimer::singleShot(0, m_pBrowse, [browse = m_pBrowse]() { browse->requestCustomIndex(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void DemoWindow::addIndicator(const QString& formula, const QString& title)
{
    TC::ColumnInfo c;
    c.formulaName = formula;
    c.lineIndex = 0;
    c.period = 86400000;
    c.title = title;
    for (const TC::ColumnInfo& known : m_indicators) {
        if (known == c)
            return;
    }
    m_indicators.append(c);
    if (m_pBrowse->addCustomIndex(c) >= 0)
        m_pBrowse->requestCustomIndex();
}

void DemoWindow::restoreBrowseParam(const QString& param)
{
    m_pBrowse->setParam(param, true);
    for (const TC::ColumnInfo& c : m_pBrowse->customIndexColumns()) {
        if (std::none_of(m_indicators.begin(), m_indicators.end(),
                         [&c](const TC::ColumnInfo& known) { return known == c; }))
            m_indicators.append(c);
    }
}

void DemoWindow::chooseIndicators()
{
    QStringList names;
    for (const QString& name : TC::CFormulaOperateManager::instance()->formulaNames())
        names.append(name);
    QPointer<TC::CSimGetCheckSelectDialog> dialog(
        new TC::CSimGetCheckSelectDialog(QStringLiteral("选择自定义指标"), this));
    dialog->setItems(names);
    const int result = dialog->exec();
    if (!dialog)
        return;
    const QStringList chosen = result == QDialog::Accepted ? dialog->checkedItems() : QStringList();
    delete dialog.data();
    for (const QString& name : chosen)
        addIndicator(name, name);
}

bool DemoWindow::onHostEvent(QObject* sender, int id, int, int b, const QString& text)
{
    if (sender == m_pBrowse && id == 3264 && b == 3) {
        // after the row menu that sent it has closed
        QTimer::singleShot(0, this, &DemoWindow::chooseIndicators);
        return true;
    }
    if (sender == m_pQuoter) {
        // the side list sends its selected row as JSON
        if (id != 47 && id != 4003)
            return false;
        const QString key = TC::JsonParam::parse(text).object.getQString("CODE");
        if (!key.isEmpty()) {
            if (isOptionBoardShown())
                showOptionBoard(key);
            m_qsChosen = key;
            m_pChosenLabel->setText(QStringLiteral("选中 %1").arg(key));
        }
        return true;
    }
    if (id == 47 || id == 3083) {
        m_qsChosen = text;
        m_pChosenLabel->setText(QStringLiteral("选中 %1").arg(text));
        return true;
    }
    return false;
}

void DemoWindow::updateStatus()
{
    // the counts of the table on show; the option pane has none of its own
    auto* shown = qobject_cast<TC::CBrowseWidget*>(m_pCenter->currentWidget());
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

bool DemoWindow::isOptionBoardShown() const
{
    return m_pBoard && m_pCenter->currentWidget() == m_pBoard;
}

bool DemoWindow::showOptionBoard(const QString& underlyingKey)
{
    if (!m_pBoard) {
        m_pBoard = new TC::COptionPriceTBrowseWidget(m_pCenter);
        m_pCenter->addWidget(m_pBoard);
    }
    if (!m_pBoard->selectUnderlying(underlyingKey))
        return false;
    m_pCenter->setCurrentWidget(m_pBoard);
    return true;
}

bool DemoWindow::isOptionPaneShown() const
{
    return m_pPriceT && m_pCenter->currentWidget() == m_pPriceT;
}

bool DemoWindow::showOptionPane()
{
    if (!m_pPriceT) {
        m_pPriceT = new TC::CPriceTBrowseWidget(m_pCenter);
        m_pCenter->addWidget(m_pPriceT);
        // the first underlying of the category, as if clicked: its chart and its board
        TC::CBrowseWidget* list = m_pPriceT->underlyingList();
        if (list->getStockListSize() > 0) {
            list->setSelectRow(0);
            list->handleEvent(47, TC::CPriceTBrowseWidget::kListTableId, 0, QString(), nullptr);
        }
        // and the board's first call, so that both quote panes show a chart
        TC::COptionPriceTBrowseWidget* board = m_pPriceT->board();
        if (board->model()->size() > 0) {
            int callColumn = 10;
            board->handleEvent(47, TC::COptionPriceTBrowseWidget::kTableId, 0, QString(),
                               &callColumn);
        }
    }
    m_pCenter->setCurrentWidget(m_pPriceT);
    return true;
}

QString DemoWindow::summary() const
{
    if (isOptionPaneShown()) {
        return QStringLiteral("pane underlyings=%1 rows=%2 board=%3 month=%4")
            .arg(m_pPriceT->underlyingList()->getStockListSize())
            .arg(m_pPriceT->board()->model()->size())
            .arg(m_pPriceT->board()->underlyingKey(), m_pPriceT->board()->selectedExpiry());
    }
    if (isOptionBoardShown()) {
        return QStringLiteral("board=%1 month=%2 rows=%3 pushes=%4")
            .arg(m_pBoard->underlyingKey(), m_pBoard->selectedExpiry())
            .arg(m_pBoard->model()->size())
            .arg(m_pBoard->pushCount());
    }
    QString text = QStringLiteral("rows=%1 pushes=%2 refreshes=%3 sector=%4")
                       .arg(m_pBrowse->getStockListSize())
                       .arg(m_pBrowse->pushCount())
                       .arg(m_pBrowse->refreshCount())
                       .arg(m_pBrowse->getSectorName());
    if (m_nTradeDate > 0)
        text += QStringLiteral(" trade-date=%1 status=%2")
                    .arg(TC::CStockManager::ymdFromDate(m_nTradeDate))
                    .arg(m_pBrowse->getBrowserStatus());
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
    m_pBrowse->setGetTradeDateFunc([this]() {
        return m_nTradeDate > 0 ? m_nTradeDate : TC::CStockManager::instance()->getLastTradingDay();
    });

    // interval cells are empty when the columns are first fitted
    connect(m_pBrowse, &TC::CBrowseWidget::sigStageDataDone, this, &DemoWindow::fitColumns);
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
    m_pBrowse->unrequest();
    m_pBrowse->resetBrowserStatus();
    if (day == 0)
        m_pBrowse->fillQuoterFromCache();
    m_pBrowse->request();
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
    m_pBrowse->addStageColumn(setting);
}

void DemoWindow::requestStageColumns()
{
    // the column list was reset with the sector: the interval columns join again
    for (const QString& setting : qAsConst(m_stageSettings))
        m_pBrowse->addStageColumn(setting);
}

// --- external data and user-defined fields ---------------------------------------------

bool DemoWindow::showExternalData(const QString& dataSet)
{
    m_pBrowse->unrequest();
    m_pCenter->setCurrentWidget(m_pBrowse);
    m_pBrowse->setSectorName(dataSet);
    m_pBrowse->setSectorCode(QString());
    m_pBrowse->setIndexConstituentsList(false);
    m_pBrowse->setExternalColumn();
    QList<TC::CExternalDataInfo*> list =
        TC::CExternalDataManager::instance()->getCatalogDataList(dataSet);
    m_pBrowse->setDataList(list);
    m_pBrowse->request();
    updateStatus();
    if (isVisible())
        QTimer::singleShot(0, this, &DemoWindow::fitColumns);
    return true;
}

void DemoWindow::restoreUserFields(const QString& sector)
{
    // the column list was reset with the sector: the sector's fields join again
    for (const QString& field : m_pBrowse->sectorFieldMap().value(sector)) {
        TC::ColumnInfo column;
        column.formulaName = column.title = field;
        const int id = m_pBrowse->addCustomEditableColumn(column);
        if (id >= 0 && m_pBrowse->table())
            m_pBrowse->table()->moveColumn(id, 4);
    }
}

void DemoWindow::addDemoUserField(const QString& sector)
{
    if (m_bDemoFieldAdded)
        return;
    m_bDemoFieldAdded = true;
    // a target price typed for the first rows; the others show the field's default
    const QString field = QStringLiteral("目标价");
    const auto stocks = m_pBrowse->getStockList();
    for (int i = 0; i < stocks.size() && i < 5; ++i)
        se::FieldParams::setData(sector, field, stocks[i], 10.0 + i * 2.5);
    const int id = m_pBrowse->addCustomField(field, QStringLiteral("0"));
    if (id >= 0 && m_pBrowse->table())
        m_pBrowse->table()->moveColumn(id, 4); // beside the name and the first quotes
}

void DemoWindow::startTrading()
{
    // the simulated accounts trade every two seconds of market time
    auto* trader = ttservice::TraderCenter::instance();
    if (!trader->isRunning())
        trader->start(2000);
    // the product combo lists the simulated accounts' products
    TC::CUserConfig* config = TC::getUserConfig();
    if (config && config->getProductGroups().isEmpty()) {
        const auto groups = ttservice::TraderCenter::defaultProductGroups();
        for (auto it = groups.cbegin(); it != groups.cend(); ++it)
            config->setProductGroup(it.key(), it.value());
        if (m_pPosition)
            m_pPosition->updateToolBarProductGroup();
    }
}

bool DemoWindow::showPositionSector(const QString& name)
{
    if (!m_pPosition) {
        m_pPosition = new TC::CPositionBrowseWidget(m_pCenter);
        m_pPosition->setGetTradeDateFunc(
            [] { return TC::CStockManager::instance()->getLastTradingDay(QStringLiteral("SH")); });
        m_pCenter->addWidget(m_pPosition);
    }
    startTrading();
    m_pBrowse->unrequest();
    m_pCenter->setCurrentWidget(m_pPosition);
    // every account of the kind, as "全部产品" would choose
    QSet<QString> ids;
    m_pPosition->setSectorName(name, {}, false, true); // the kind, without accounts
    for (const auto& info : ttservice::TraderCenter::instance()->getAccountList())
        ids.insert(info->accountId);
    m_pPosition->setSectorName(name, ids, true, false);
    m_pPosition->request();
    m_pQuoter->setSector(name);
    updateStatus();
    return true;
}
