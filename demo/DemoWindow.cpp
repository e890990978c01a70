#include "demo/DemoWindow.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/FormulaOperateManager.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/JsonParam.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/UiResource.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "quoterbrowser/CQuoterBrowserWidget.h"

#include <QActionGroup>
#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
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
    if (m_pBrowse->table())
        m_pBrowse->table()->viewport()->installEventFilter(this);
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
    auto* sectors = TC::CSectorManager::instance();
    TC::CSectorDetail* sector = sectors->getSector(name);
    if (!sector)
        return false;
    const auto list = sectors->getSectorStockList(name);
    m_pBrowse->unrequest();
    if (sectors->isParentTsector(name)) {
        // the side list holds the underlyings; the board shows the first until one is chosen
        m_pQuoter->setSector(name);
        for (const auto& stock : list) {
            if (stock && showOptionBoard(XP::nvStockKey(stock->market, stock->code)))
                break;
        }
        updateStatus();
        return true;
    }
    m_pCenter->setCurrentWidget(m_pBrowse);
    m_pBrowse->setSectorName(name);
    m_pBrowse->setSectorCode(sector->getCode());
    m_pBrowse->setIndexConstituentsList(!sector->getCode().isEmpty());
    m_pBrowse->resetTableColumn();
    m_pBrowse->setStockList(list, true);
    m_pBrowse->sortByRate();
    m_pBrowse->request();
    m_pQuoter->setSector(name);
    requestIndicators();
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
    const quint64 pushes = m_pBrowse->pushCount();
    const double seconds = std::max<qint64>(1, m_rateClock.restart()) / 1000.0;
    m_pRowsLabel->setText(QStringLiteral("行数 %1").arg(m_pBrowse->getStockListSize()));
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

QString DemoWindow::summary() const
{
    if (isOptionBoardShown()) {
        return QStringLiteral("board=%1 month=%2 rows=%3 pushes=%4")
            .arg(m_pBoard->underlyingKey(), m_pBoard->selectedExpiry())
            .arg(m_pBoard->model()->size())
            .arg(m_pBoard->pushCount());
    }
    return QStringLiteral("rows=%1 pushes=%2 refreshes=%3 sector=%4")
        .arg(m_pBrowse->getStockListSize())
        .arg(m_pBrowse->pushCount())
        .arg(m_pBrowse->refreshCount())
        .arg(m_pBrowse->getSectorName());
}
