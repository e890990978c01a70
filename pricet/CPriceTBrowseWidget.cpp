#include "pricet/CPriceTBrowseWidget.h"

#include "browse/BrowseEvents.h"
#include "browse/CBrowseWidget.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TradeOpenCloseTimeManager.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/WidgetList.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/CQuoteMainWidget.h"

#include <QtCore/QSet>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QVBoxLayout>

#include <boost/function.hpp>

namespace TC {

using ttservice::CInstrumentDetailPtr;

namespace {

const char* const kCategoryTexts[] = {"股票",   "上交所", "深交所", "主力期货", "期货",
                                      "中金所", "上期所", "郑商所", "大商所",   "上能源"};
const char* const kSector = "T型报价板";
const char* const kListKey = "m_pUndlCodeBrowseWidget";
const char* const kCustomColumnKey = "customColumnParam";
const char* const kBoardKey = "m_pOptionPriceTBrowseWidget";
const char* const kOptionPaneKey = "m_pOptionPriceTQuoteMainWidget";
const char* const kUnderlyingPaneKey = "m_pUndlCodeQuoteMainWidget";
const char* const kCategoryKey = "category";

bool isFuturesMarket(const QString& m)
{
    return m == QLatin1String("DCE") || m == QLatin1String("INE") || m == QLatin1String("SHFE")
           || m == QLatin1String("CZCE") || m == QLatin1String("CFFEX");
}

} // namespace

QString CPriceTBrowseWidget::categoryText(int category)
{
    return category >= 0 && category <= 9 ? QString::fromUtf8(kCategoryTexts[category])
                                          : QStringLiteral("其它");
}

CPriceTBrowseWidget::InstrumentList
CPriceTBrowseWidget::filterUnderlyings(const InstrumentList& sector, int category)
{
    InstrumentList out;
    QSet<QString> seen; // main contracts stand for several underlyings; list each once
    CStockManager* sm = CStockManager::instance();
    for (const CInstrumentDetailPtr& d : sector) {
        if (!d)
            continue;
        const QString& m = d->market;
        CInstrumentDetailPtr chosen;
        switch (category) {
        case 0:
            if (m == QLatin1String("SH") || m == QLatin1String("SZ"))
                chosen = d;
            break;
        case 1:
            if (m == QLatin1String("SH"))
                chosen = d;
            break;
        case 2:
            if (m == QLatin1String("SZ"))
                chosen = d;
            break;
        case 3:
            if (isFuturesMarket(m)) {
                const QString product = d->product.isEmpty()
                                            ? CTradeOpenCloseTimeManager::productOfCode(d->code)
                                            : d->product;
                const CInstrumentDetailPtr main =
                    sm->getInstrumentDetail(m, product + QStringLiteral("00"));
                chosen = main ? main : d;
            }
            break;
        case 4:
            if (isFuturesMarket(m))
                chosen = d;
            break;
        case 5:
            if (d->code == QLatin1String("000300") || d->code == QLatin1String("000852"))
                chosen = d;
            break;
        case 6:
            if (m == QLatin1String("SHFE"))
                chosen = d;
            break;
        case 7:
            if (m == QLatin1String("CZCE"))
                chosen = d;
            break;
        case 8:
            if (m == QLatin1String("DCE"))
                chosen = d;
            break;
        default: break;
        }
        if (chosen && !seen.contains(chosen->key)) {
            seen.insert(chosen->key);
            out.append(chosen);
        }
    }
    return out;
}

CPriceTBrowseWidget::CPriceTBrowseWidget(QWidget* parent)
    : XP::CBaseWidget(parent, QStringLiteral("option_browse_widget"))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_pOuterSplit = new XP::CSplitButtonContainer(this, Qt::Horizontal);
    layout->addWidget(m_pOuterSplit);

    // left: the category bar over the list, then the underlying's quote pane
    m_pLeftSplit = new XP::CSplitButtonContainer(m_pOuterSplit, Qt::Vertical);
    m_pLeftList = new XP::CWidgetList(m_pLeftSplit, Qt::Vertical, 0);
    m_pLeftList->setMargins(0, 0, 0, 0);
    m_pCategoryGroup = new XP::CPushButtonGroup(m_pLeftList);
    m_pCategoryGroup->setFixedHeight(24);
    m_pCategoryGroup->setCheckable(true);
    m_pCategoryGroup->setButtonImageKey(QStringLiteral("ic_img_btn_option_browse"));
    m_pCategoryGroup->setButtonTextColorKeys(
        QStringLiteral("ic_clr_realtime_axis_text"), QStringLiteral("ic_clr_realtime_axis_text"),
        QStringLiteral("ic_clr_browse_equal"), QStringLiteral("ic_clr_realtime_axis_text"));
    for (int i = 0; i < kCategoryCount; ++i)
        m_pCategoryGroup->addButton(i, categoryText(i));
    m_pCategoryGroup->setChecked(0);
    m_pUndlCodeBrowseWidget =
        new CBrowseWidget(m_pLeftList, false, BrowseType_Default, kListTableId);
    m_pLeftList->addWidget(m_pCategoryGroup);
    m_pLeftList->addWidget(m_pUndlCodeBrowseWidget, true);
    m_pUndlCodeQuoteMainWidget = new CQuoteMainWidget(m_pLeftSplit);
    m_pLeftSplit->setWidgets(m_pLeftList, m_pUndlCodeQuoteMainWidget);
    m_pLeftSplit->splitter()->setSizes({700, 300});

    // right: the board over the option's quote pane
    m_pRightSplit = new XP::CSplitButtonContainer(m_pOuterSplit, Qt::Vertical);
    m_pOptionPriceTBrowseWidget = new COptionPriceTBrowseWidget(m_pRightSplit);
    m_pOptionPriceTQuoteMainWidget = new CQuoteMainWidget(m_pRightSplit);
    m_pRightSplit->setWidgets(m_pOptionPriceTBrowseWidget, m_pOptionPriceTQuoteMainWidget);
    m_pRightSplit->splitter()->setSizes({700, 300});

    m_pOuterSplit->setWidgets(m_pLeftSplit, m_pRightSplit);
    m_pOuterSplit->splitter()->setStretchFactor(0, 0);
    m_pOuterSplit->splitter()->setStretchFactor(1, 1);
    m_pOuterSplit->splitter()->setSizes({400, 1000});

    selectCategory(0);
    themeChanged();
}

CPriceTBrowseWidget::~CPriceTBrowseWidget() = default;

void CPriceTBrowseWidget::selectCategory(int category)
{
    if (category < 0 || category >= 10)
        return;
    m_nCategory = category;
    m_pCategoryGroup->setChecked(category);
    m_pOptionPriceTBrowseWidget->setCategory(category);
    const InstrumentList list = filterUnderlyings(
        CSectorManager::instance()->getSectorStockList(QString::fromUtf8(kSector)), category);
    m_pUndlCodeBrowseWidget->unrequest();
    m_pUndlCodeBrowseWidget->setStockList(list, true);
    m_pUndlCodeBrowseWidget->request();
}

void CPriceTBrowseWidget::chooseUnderlying(const QString& key)
{
    m_pUndlCodeQuoteMainWidget->setStock(key);
    // a main contract lists no options of its own: the board takes the contract it follows
    QString boardKey = key;
    if (const CInstrumentDetailPtr d = CStockManager::instance()->getInstrumentDetail(key)) {
        if (d->isContinuous && !d->mainCode.isEmpty())
            boardKey = XP::nvStockKey(d->market, d->mainCode);
    }
    m_pOptionPriceTBrowseWidget->selectUnderlying(boardKey);
}

void CPriceTBrowseWidget::chooseOption(const QString& codeOrKey)
{
    // the board names the contract by its code
    CStockManager* sm = CStockManager::instance();
    CInstrumentDetailPtr d = sm->getInstrumentDetail(codeOrKey);
    if (!d)
        d = sm->findByCode(codeOrKey);
    m_pOptionPriceTQuoteMainWidget->setStock(d ? d->key : QString());
}

bool CPriceTBrowseWidget::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    switch (id) {
    case XP::EV_BUTTON_CLICKED:
        if (a >= 0 && a < 10) {
            selectCategory(a);
            return true;
        }
        break;
    case Event_SelectStock:
        if (a == COptionPriceTBrowseWidget::kTableId)
            chooseOption(text);
        else
            chooseUnderlying(text);
        return true;
    default: break;
    }
    return XP::CBaseWidget::handleEvent(id, a, b, text, p);
}

QString CPriceTBrowseWidget::getParam(bool save)
{
    JsonBuilder b;
    b.appendString(kListKey, m_pUndlCodeBrowseWidget->param(save));
    b.appendString(kCustomColumnKey, m_pUndlCodeBrowseWidget->getCustomColumnParam());
    b.appendString(kBoardKey, m_pOptionPriceTBrowseWidget->getParam());
    b.appendString(kOptionPaneKey, m_pOptionPriceTQuoteMainWidget->getParam());
    b.appendString(kUnderlyingPaneKey, m_pUndlCodeQuoteMainWidget->getParam());
    b.appendInt(kCategoryKey, m_nCategory);
    return b.toQString();
}

void CPriceTBrowseWidget::setParam(const QString& param)
{
    if (param.isEmpty())
        return;
    const JsonParseResult r = JsonParam::parse(param);
    if (!r.ok()) {
        TT_LOG_ERROR("[option_browse_widget] bad parameter string, layout unchanged: %1%", r.error);
        return;
    }
    const JsonObject& o = r.object;
    auto text = [&o](const char* key, QString& out) {
        if (o.type(key) != JsonType::String)
            return false;
        out = o.getQString(key);
        return true;
    };
    // the category first: it refills the list, whose layout comes next
    if (o.type(kCategoryKey) == JsonType::Int) {
        const int category = o.getInt(kCategoryKey);
        if (category >= 0 && category < kCategoryCount && category != m_nCategory)
            selectCategory(category);
    }
    QString s;
    if (text(kListKey, s))
        m_pUndlCodeBrowseWidget->setParam(s, true);
    if (text(kCustomColumnKey, s))
        m_pUndlCodeBrowseWidget->setCustomColumnParam(s);
    if (text(kBoardKey, s))
        m_pOptionPriceTBrowseWidget->setParam(s);
    if (text(kOptionPaneKey, s))
        m_pOptionPriceTQuoteMainWidget->setParam(s);
    if (text(kUnderlyingPaneKey, s))
        m_pUndlCodeQuoteMainWidget->setParam(s);
}

void CPriceTBrowseWidget::themeChanged()
{
    if (!m_pOuterSplit)
        return;
    for (XP::CSplitButtonContainer* s : {m_pOuterSplit, m_pLeftSplit, m_pRightSplit})
        s->setSplitColorKey(QStringLiteral("ic_clr_mainwindow_split_background"));
    m_pCategoryGroup->setBackgroundColorKey(QStringLiteral("ic_clr_table_background"));
}

void CPriceTBrowseWidget::setGetTradeDateFunc(const boost::function<int()>& getter)
{
    m_pUndlCodeBrowseWidget->setGetTradeDateFunc(getter);
    if (getter)
        m_pOptionPriceTBrowseWidget->setCurrentTradeDateFunc(
            [getter]() -> int64_t { return getter ? getter() : 0; });
    else
        m_pOptionPriceTBrowseWidget->setCurrentTradeDateFunc(nullptr);
}

} // namespace TC
