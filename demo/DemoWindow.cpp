#include "demo/DemoWindow.h"

#include "browse/CBrowseWidget.h"
#include "host/data/Config.h"
#include "host/data/FormulaOperateManager.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/UiResource.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"

#include <QActionGroup>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

namespace {
constexpr int kSectorRole = Qt::UserRole + 1;
constexpr int kTreeDepth = 3; // leaves deeper than this are reached through their parents
} // namespace

DemoWindow::DemoWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("TT 行情浏览 — 演示终端"));
    auto* splitter = new QSplitter(this);
    m_pTree = new QTreeWidget(splitter);
    m_pTree->setHeaderLabel(QStringLiteral("板块"));
    m_pTree->setMinimumWidth(180);
    m_pTree->setMaximumWidth(260);
    m_pBrowse = new TC::CBrowseWidget(splitter, false, 0, 88);
    m_pBrowse->setIsResetSelectStock(true);
    m_pBrowse->addPublicMenuAction();
    splitter->addWidget(m_pTree);
    splitter->addWidget(m_pBrowse);
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
    resize(1600, 900);
    TC::ColumnInfo ma5;
    ma5.formulaName = QStringLiteral("MA");
    ma5.lineIndex = 0;
    ma5.period = 86400000;
    ma5.title = QStringLiteral("MA5");
    m_indicators.append(ma5);
}

DemoWindow::~DemoWindow()
{
    XP::CEventSink::clearHandler();
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
    m_pBrowse->setSectorName(name);
    m_pBrowse->setSectorCode(sector->getCode());
    m_pBrowse->setIndexConstituentsList(!sector->getCode().isEmpty());
    m_pBrowse->resetTableColumn();
    m_pBrowse->setStockList(list, true);
    m_pBrowse->sortByRate();
    m_pBrowse->request();
    requestIndicators();
    updateStatus();
    return true;
}

void DemoWindow::requestIndicators()
{
    // the column list was reset with the sector: the indicators join again
    for (TC::ColumnInfo c : m_indicators) {
        if (m_pBrowse->addCustomIndex(c) >= 0)
            m_pBrowse->requestCustomIndex();
    }
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

QString DemoWindow::summary() const
{
    return QStringLiteral("rows=%1 pushes=%2 refreshes=%3 sector=%4")
        .arg(m_pBrowse->getStockListSize())
        .arg(m_pBrowse->pushCount())
        .arg(m_pBrowse->refreshCount())
        .arg(m_pBrowse->getSectorName());
}
