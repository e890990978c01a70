// The futures exchanges' tool rows (variety buttons and filter boxes), continuous
// contracts, and the lower pane of a sector index's constituents.
#include "view/CIndexBrowseView.h"

#include "browse/CBrowseWidget.h"
#include "host/data/Config.h"
#include "host/data/ExchangeClient.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/Log.h"
#include "host/data/PushQuoteParam.h"
#include "host/data/Quote.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/data/TradeOpenCloseTimeManager.h"
#include "host/toolkit/CheckBox.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/SimpleTextWidget.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/UiResource.h"
#include "host/toolkit/WidgetList.h"

#include <QFontMetrics>

#include <algorithm>

namespace TC {

namespace {

const QString kDomesticFutures = QStringLiteral("内盘期货板块");
const QString kForeignFutures = QStringLiteral("外盘期货板块");
const QString kCffex = QStringLiteral("中金所");
const QString kNavigatorFont = QStringLiteral("tc_fnt_tradetype_navigator");
constexpr int kVarietyIdSpan = 99; // ids 121..219; later varieties get no reachable id

bool isDomesticExchange(const QString& name)
{
    static const QStringList names{kCffex, QStringLiteral("郑商所"), QStringLiteral("大商所"),
                                   QStringLiteral("上期所"), QStringLiteral("能源中心")};
    return names.contains(name);
}

bool isForeignExchange(const QString& name)
{
    static const QStringList names{
        QStringLiteral("香港期货(HKFE)"),   QStringLiteral("新加坡(SGX)"),
        QStringLiteral("纽约商品(NYMEX)"),  QStringLiteral("纽约商业(COMEX)"),
        QStringLiteral("芝加哥商品(CBOT)"), QStringLiteral("芝加哥商业(CME)")};
    return names.contains(name);
}

bool hasLatinLetter(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
               || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
    });
}

bool isCjk(QChar c)
{
    return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5;
}

bool hasDigit(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

QString withoutTrailingDigits(const QString& text)
{
    int end = text.size();
    while (end > 0 && text.at(end - 1) >= QLatin1Char('0') && text.at(end - 1) <= QLatin1Char('9'))
        --end;
    return text.left(end);
}

// The latest activity of a variety, read from its continuous contract's cached quote.
struct VarietyActivity {
    QString name;
    int group = 0; // 中金所: 0 stock index futures, 1 bond futures, 2 the rest
    double amount = 0.0;
    qint64 interest = 0;
};

void sortByActivity(std::vector<VarietyActivity>& list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const VarietyActivity& a, const VarietyActivity& b) {
                         if (a.group != b.group)
                             return a.group < b.group;
                         if (a.amount != b.amount)
                             return a.amount > b.amount;
                         if (a.interest != b.interest)
                             return a.interest > b.interest;
                         return a.name < b.name;
                     });
}

} // namespace

// --- tool rows -------------------------------------------------------------------------------

void CIndexBrowseView::ensureFilterBoxes()
{
    if (!m_filterBoxes.isEmpty() || !m_pVarietyList)
        return;
    const std::pair<int, const char*> boxes[] = {{FilterOptionArbitrage, "显示期权套利品种"},
                                                 {FilterNightOnly, "仅显示夜市品种"},
                                                 {FilterContinuousOnly, "仅显示连续合约"},
                                                 {FilterMainOnly, "仅显示主力合约"}};
    for (const auto& b : boxes) {
        auto* box = new XP::CCheckBox(b.first, QString::fromUtf8(b.second), m_pVarietyList);
        box->hide();
        m_pVarietyList->addWidget(box);
        m_filterBoxes.insert(b.first, box);
    }
    m_pVarietyList->addStretch();
    load(); // the option box starts as the user last left it
}

void CIndexBrowseView::updateTopToolWidget(const QString& sectorName)
{
    // The filter boxes sit in a row of their own: the tool row hides with the variety
    // buttons (continuous or main contracts only), and the boxes must stay reachable then.
    const bool domestic = isDomesticExchange(sectorName);
    const bool foreign = !domestic && isForeignExchange(sectorName);
    ensureFilterBoxes();
    for (auto it = m_filterBoxes.constBegin(); it != m_filterBoxes.constEnd(); ++it)
        it.value()->setVisible(it.key() == FilterMainOnly ? foreign : domestic);
    if (m_pVarietyList)
        m_pVarietyList->setVisible(domestic || foreign);
    if (!domestic && !foreign && m_pVarietyGroup)
        m_pVarietyGroup->clear();
}

XP::CCheckBox* CIndexBrowseView::filterBox(int id) const
{
    return m_filterBoxes.value(id, nullptr);
}

void CIndexBrowseView::applyFuturesFilters(CSectorDetail* sector, InstrumentList& list,
                                           bool* wantVarieties)
{
    if (wantVarieties)
        *wantVarieties = true;
    if (!sector || !sector->getParent())
        return;
    const QString& parent = sector->getParent()->getName();
    auto checked = [this](int id) {
        const XP::CCheckBox* box = filterBox(id);
        return box && box->isChecked();
    };
    if (parent == kForeignFutures) {
        if (checked(FilterMainOnly)) {
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [](const InstrumentPtr& d) {
                                          return !d || !d->name.contains(QStringLiteral("主连"));
                                      }),
                       list.end());
            if (wantVarieties)
                *wantVarieties = false;
        }
        return;
    }
    if (parent != kDomesticFutures)
        return;
    const XP::CCheckBox* arbitrage = filterBox(FilterOptionArbitrage);
    const bool hideArbitrage = arbitrage && !arbitrage->isChecked();
    const bool nightOnly = checked(FilterNightOnly);
    const bool continuousOnly = checked(FilterContinuousOnly);
    if (hideArbitrage || nightOnly || continuousOnly) {
        CTradeOpenCloseTimeManager* times = CTradeOpenCloseTimeManager::instance();
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const InstrumentPtr& d) {
                                      if (!d)
                                          return true;
                                      return (hideArbitrage && isTryFutureOptionInstrument(d->code))
                                             || (nightOnly
                                                 && !times->hasNightQuoter(d->market, d->code))
                                             || (continuousOnly && !isContinuousContract(d));
                                  }),
                   list.end());
    }
    if (continuousOnly && wantVarieties)
        *wantVarieties = false;
}

// --- variety bar -----------------------------------------------------------------------------

void CIndexBrowseView::updateVarietyToolWidget(const InstrumentList& list, const QString& exchange)
{
    const bool cffex = exchange == kCffex;
    if (!m_mapVarieties.contains(exchange)) {
        // the map is made once: from the exchange's whole list, so that a search text or a
        // filter box of the first visit does not leave varieties out for good
        InstrumentList all;
        if (CSectorManager::instance()->getSector(exchange))
            all = CSectorManager::instance()->getSectorStockList(exchange);
        const InstrumentList& source = all.isEmpty() ? list : all;
        if (cffex)
            findSHVarietyFillMap(source, exchange);
        else
            findVarietyFillMap(source, exchange);
    }
    // the order follows the latest quotes, so it is taken again on every visit (the list
    // is one for the view, not one per exchange)
    m_listVarietyOrder.clear();
    if (cffex)
        fillSHContinuousContractAmount(exchange);
    else
        fillContinuousContractAmount(exchange);

    if (!m_pVarietyGroup) {
        if (!m_pTopToolList)
            return;
        // the tool row's own button group takes the varieties
        m_pVarietyGroup =
            m_pTopToolList->findChild<XP::CPushButtonGroup*>(QString(), Qt::FindDirectChildrenOnly);
        if (!m_pVarietyGroup) {
            m_pVarietyGroup = new XP::CPushButtonGroup(m_pTopToolList);
            m_pTopToolList->addWidget(m_pVarietyGroup);
        }
    }
    m_pVarietyGroup->clear();
    const QStringList names =
        m_listVarietyOrder.isEmpty() ? m_mapVarieties.value(exchange).keys() : m_listVarietyOrder;
    const bool concise = getConfig()->conciseStyle;
    const QString fontKey = concise ? QStringLiteral("ic_fnt_concise_trade_text") : kNavigatorFont;
    const QString inactive =
        concise ? QStringLiteral("clr_conciseStyle_main_trade_type_bar_text_inactive")
                : QStringLiteral("clr_main_trade_type_bar_text_inactive");
    const QString active = concise
                               ? QStringLiteral("clr_conciseStyle_main_trade_type_bar_text_active")
                               : QStringLiteral("clr_main_trade_type_bar_text_active");
    const QFontMetrics metrics(XP::CUiResource::instance().getFont(kNavigatorFont));
    int width = 0;
    for (int i = 0; i < names.size(); ++i) {
        const int w = metrics.horizontalAdvance(names.at(i)) + 10;
        XP::CPushButton* button =
            m_pVarietyGroup->addButton(kFirstVarietyId + i, names.at(i), w, 24);
        button->setImageKey(QStringLiteral("ic_img_btn_module_group"));
        button->setFontKey(fontKey);
        button->setTextColorKeys(inactive, inactive, active, inactive);
        if (concise)
            button->setBackgroundColorKeys(
                QStringLiteral("tc_clr_conciseStyle_depth_bottom_group_btn_nomal"),
                QStringLiteral("tc_clr_conciseStyle_depth_bottom_group_btn_hover"),
                QStringLiteral("tc_clr_conciseStyle_depth_bottom_group_btn_press"),
                QStringLiteral("tc_clr_conciseStyle_depth_bottom_group_btn_disable"));
        width += w;
    }
    if (!names.isEmpty())
        width += names.size() - 1;
    m_pVarietyGroup->setFixedSize(width, m_pTopToolList ? m_pTopToolList->height() : 24);
    if (m_pTopToolList)
        m_pTopToolList->setVisible(!names.isEmpty());
    if (names.size() > kVarietyIdSpan)
        TT_LOG_WARN("[variety bar] %1% has %2% varieties; those past %3% have no reachable id",
                    exchange, names.size(), kVarietyIdSpan);
}

void CIndexBrowseView::findVarietyFillMap(const InstrumentList& list, const QString& exchange)
{
    if (!m_pCurSector || m_mapVarieties.contains(exchange))
        return;
    const CSectorDetail* parent = m_pCurSector->getParent();
    const QString parentName = parent ? parent->getName() : QString();
    QMap<QString, QString>& varieties = m_mapVarieties[exchange];
    QMap<QString, QString>& continuous = m_mapVarietyContinuous[exchange];
    CStockManager* stocks = CStockManager::instance();
    for (const InstrumentPtr& d : list) {
        if (!d)
            continue;
        QString variety;
        if (parentName == kDomesticFutures) {
            const QString& text = d->variety;
            if (text.isEmpty() || isContinuousContract(d) || hasLatinLetter(text))
                continue;
            int last = -1;
            for (int i = 0; i < text.size(); ++i)
                if (isCjk(text.at(i)))
                    last = i;
            variety = last < 0 ? text : text.left(last + 1);
        } else if (parentName == kForeignFutures) {
            const QString& name = d->name;
            if (name.isEmpty() || name.contains(QStringLiteral("主连"))
                || name.contains(QStringLiteral("指数")) || name.contains(QStringLiteral("净指")))
                continue;
            variety = withoutTrailingDigits(name);
        } else {
            continue;
        }
        if (variety.isEmpty() || varieties.contains(variety))
            continue;
        varieties.insert(variety, d->key);
        if (!d->product.isEmpty())
            if (auto c = stocks->getInstrumentDetail(d->market, d->product + QStringLiteral("00")))
                continuous.insert(variety, c->key);
    }
}

void CIndexBrowseView::findSHVarietyFillMap(const InstrumentList& list, const QString& exchange)
{
    if (!m_pCurSector || m_mapVarieties.contains(exchange))
        return;
    // 中金所 lists index futures ("沪深300" ...), bond futures ("十年期国债" ...) and the
    // index options; some hosts add rolling aliases ("当月", "下季", "IF指数") that are no
    // contracts of their own. A variety is named after what it trades: "沪深300股指期货",
    // "十年期国债期货".
    static const QStringList kAliases{QStringLiteral("当月"), QStringLiteral("下月"),
                                      QStringLiteral("下季"), QStringLiteral("隔季"),
                                      QStringLiteral("连续"), QStringLiteral("指数")};
    QMap<QString, QString>& varieties = m_mapVarieties[exchange];
    QMap<QString, QString>& continuous = m_mapVarietyContinuous[exchange];
    CStockManager* stocks = CStockManager::instance();
    for (const InstrumentPtr& d : list) {
        if (!d || d->isOption() || isTryFutureOptionInstrument(d->code) || isContinuousContract(d))
            continue;
        if (std::any_of(kAliases.begin(), kAliases.end(),
                        [&d](const QString& a) { return d->name.contains(a); }))
            continue;
        QString base = d->variety.isEmpty() ? withoutTrailingDigits(d->name) : d->variety;
        if (base.isEmpty())
            base = d->product;
        if (base.isEmpty())
            continue;
        QString variety;
        if (base.contains(QStringLiteral("国债")) || base.contains(QStringLiteral("股指期货")))
            variety = base.endsWith(QStringLiteral("期货")) ? base : base + QStringLiteral("期货");
        else if (base.contains(QStringLiteral("股")))
            variety = base;
        else
            variety = base + QStringLiteral("股指期货");
        if (varieties.contains(variety))
            continue;
        varieties.insert(variety, d->key);
        if (!d->product.isEmpty())
            if (auto c = stocks->getInstrumentDetail(d->market, d->product + QStringLiteral("00")))
                continuous.insert(variety, c->key);
    }
}

void CIndexBrowseView::fillContinuousContractAmount(const QString& exchange)
{
    // most traded first: the continuous contract's amount, then its open interest
    const QMap<QString, QString> varieties = m_mapVarieties.value(exchange);
    const QMap<QString, QString> continuous = m_mapVarietyContinuous.value(exchange);
    CStockManager* stocks = CStockManager::instance();
    std::vector<VarietyActivity> order;
    order.reserve(size_t(varieties.size()));
    for (auto it = varieties.constBegin(); it != varieties.constEnd(); ++it) {
        VarietyActivity a;
        a.name = it.key();
        const auto detail = stocks->getInstrumentDetail(continuous.value(it.key(), it.value()));
        if (detail) {
            if (const quoter::QuoterAllDataPtr q = dorn::getQuoter(detail->market, detail->code)) {
                a.amount = q->amount;
                a.interest = q->openInterestOrPhase;
            }
        }
        order.push_back(a);
    }
    sortByActivity(order);
    m_listVarietyOrder.clear();
    for (const VarietyActivity& a : order)
        m_listVarietyOrder.append(a.name);
}

void CIndexBrowseView::fillSHContinuousContractAmount(const QString& exchange)
{
    // index futures before bond futures, each group by its continuous contracts' amount
    fillContinuousContractAmount(exchange);
    std::vector<VarietyActivity> order;
    for (int i = 0; i < m_listVarietyOrder.size(); ++i) {
        const QString& name = m_listVarietyOrder.at(i);
        VarietyActivity a;
        a.name = name;
        a.group = name.contains(QStringLiteral("股"))     ? 0
                  : name.contains(QStringLiteral("国债")) ? 1
                                                          : 2;
        a.amount = -i; // keeps the activity order inside a group
        order.push_back(a);
    }
    sortByActivity(order);
    m_listVarietyOrder.clear();
    for (const VarietyActivity& a : order)
        m_listVarietyOrder.append(a.name);
}

void CIndexBrowseView::jumpToVariety(const QString& name)
{
    CBrowseWidget* table = m_pCurBrowser;
    if (!table)
        return;
    const QString sector = table->getSectorName();
    const auto exchange = m_mapVarieties.constFind(sector);
    if (exchange == m_mapVarieties.constEnd())
        return;
    const auto variety = exchange->constFind(name);
    if (variety == exchange->constEnd())
        return;
    const int b = sector == kCffex ? 1 : 0;
    table->clearFilter();
    table->reSort(b, b);
    table->setCurSelectCodeMoveFirstRow(*variety);
}

bool CIndexBrowseView::isContinuousContract(const InstrumentPtr& detail) const
{
    if (!detail)
        return false;
    const QString& code = detail->code;
    const QString& product = detail->product;
    const CUserConfig* config = getUserConfig();
    if (config && config->isHaldenQuoteMode()) {
        if (code == product)
            return true;
        return !hasDigit(code.mid(product.size()))
               && !code.toUpper().contains(QStringLiteral("IDX-"));
    }
    return detail->name.contains(QStringLiteral("连续")) || code == product + QStringLiteral("00");
}

// --- sector index constituents ---------------------------------------------------------------

void CIndexBrowseView::setBKZSSector(const QString& code)
{
    if (!code.startsWith(QStringLiteral("BKZS")) || !m_pSubBrowseWidget)
        return;
    const QString bare = code.mid(4);
    InstrumentList members;
    if (m_pCurSector) {
        if (m_pCurSector->hasChildren())
            getSectorStockList(members, m_pCurSector);
        else
            members = CSectorManager::instance()->getSectorStockList(m_pCurSector->getName());
    }
    InstrumentPtr index;
    for (const InstrumentPtr& d : members) {
        if (d && (d->code == bare || d->code == code || d->key == code || d->key == bare)) {
            index = d;
            break;
        }
    }
    if (!index) {
        TT_LOG_WARN("[browser sector index] %1% is not in the current sector", code);
        return;
    }

    if (m_pSplitContainer) {
        m_bSubPanelPending = false;
        m_pSplitContainer->setHandleVisible(true);
        // a hidden pane opens as it was last left; a shown one keeps the splitter's state
        if (m_pSubPanel && !m_pSubPanel->isHidden())
            m_bLastShow = m_pSplitContainer->isSplitOpen();
        if (m_bLastShow)
            m_pSplitContainer->openSplit();
        else
            m_pSplitContainer->closeSplit();
        if (m_pSubPanel)
            m_pSubPanel->show();
    }

    QString title = index->name;
    title.remove(QStringLiteral("DY1")).remove(QStringLiteral("jy")).remove(QStringLiteral("交易"));
    if (m_pSubTitle)
        m_pSubTitle->setText(title);
    QString sectorName = title.trimmed();
    for (const QString& suffix : {QStringLiteral("JY"), QStringLiteral("加权")}) {
        if (sectorName.endsWith(suffix)) {
            sectorName.chop(suffix.size());
            break;
        }
    }
    InstrumentList constituents;
    if (CSectorDetail* s = CSectorManager::instance()->getSector(sectorName)) {
        if (s->hasChildren())
            getSectorStockList(constituents, s);
        else
            constituents = CSectorManager::instance()->getSectorStockList(sectorName);
    }
    int column = -1, order = 0;
    m_pSubBrowseWidget->getSortParam(column, order);
    m_pSubBrowseWidget->unrequest();
    m_pSubBrowseWidget->setStockList(constituents, true);
    m_pSubBrowseWidget->sortByPreParam(column, order);
    m_pSubBrowseWidget->request();
}

} // namespace TC
