#include "quoterbrowser/QuoterBrowserPaint.h"

#include "host/toolkit/NumberFormat.h"
#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace TC {
namespace QuoterBrowserPaint {

namespace {
constexpr double kEps = 1e-5;
const QString kInvalidPrice = QStringLiteral("非法值");
const QString kInvalidValue = QStringLiteral("-");

// Values equal within 1e-5 must compare equal transitively, or std::sort may run off the
// list: compare them on a fixed grid instead of by their difference.
long long gridOf(double v)
{
    const double scaled = v / kEps;
    if (scaled >= 9.0e18)
        return LLONG_MAX;
    if (scaled <= -9.0e18)
        return LLONG_MIN;
    return std::llround(scaled);
}
} // namespace

void GraphDataItem::setPriceTick(double tick)
{
    priceTick = tick;
    priceDecimals = 2;
    if (std::isfinite(tick) && tick > 1e-10 && tick < 1e6) {
        const double d = std::ceil(-std::log10(tick) - 1e-9);
        priceDecimals = int(std::max(0.0, std::min(6.0, d)));
    }
    m_bTextStale = true;
}

bool GraphDataItem::setValues(double last, double changePct, double speed)
{
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    if (same(last, lastPrice) && same(changePct, changePercent) && same(speed, riseSpeed))
        return false;
    lastPrice = last;
    changePercent = changePct;
    riseSpeed = speed;
    m_bTextStale = true;
    return true;
}

void GraphDataItem::buildTexts() const
{
    if (!m_bTextStale)
        return;
    m_qsLast = XP::formatDoubleNumber(lastPrice, priceDecimals, 0, true, kInvalidPrice);
    m_qsChange = XP::formatDoubleNumber(changePercent, 2, XP::FMT_PERCENT, true, kInvalidValue);
    m_qsSpeed = XP::formatDoubleNumber(riseSpeed, 2, XP::FMT_PERCENT, true, kInvalidValue);
    m_bTextStale = false;
}

const QString& GraphDataItem::lastText() const
{
    buildTexts();
    return m_qsLast;
}

const QString& GraphDataItem::changeText() const
{
    buildTexts();
    return m_qsChange;
}

const QString& GraphDataItem::speedText() const
{
    buildTexts();
    return m_qsSpeed;
}

int signIndex(double value)
{
    if (!XP::isValidNumber(value))
        return 2;
    if (value > kEps)
        return 0;
    if (value < -kEps)
        return 1;
    return 2;
}

struct GraphPaint::Theme {
    QFont nameFont, codeFont, digitFont;
    QColor lineBg, splitter, selectedBg, name, code;
    QColor sign[3]; // rise, fall, equal
};

namespace {
QColor themeColor(const char* key, const QColor& fallback)
{
    const QColor* c = XP::CUiResource::instance().getColor(QLatin1String(key));
    return c ? *c : fallback;
}
} // namespace

GraphPaint::GraphPaint(int rowHeight) : m_nRowHeight(std::max(1, rowHeight)), m_theme(new Theme)
{
    reloadTheme();
}

void GraphPaint::reloadTheme()
{
    auto& res = XP::CUiResource::instance();
    Theme& t = *m_theme;
    t.nameFont = res.getFont(QStringLiteral("ic_fnt_quoterbrowser_name_text"));
    t.codeFont = res.getFont(QStringLiteral("ic_fnt_quoterbrowser_code_text"));
    t.digitFont = res.getFont(QStringLiteral("ic_fnt_quoterbrowser_digital_text"));
    t.lineBg = themeColor("ic_clr_quoterbrowser_line_bg", QColor(22, 22, 22));
    t.splitter = themeColor("ic_clr_quoterbrowser_splitter", QColor(32, 32, 32));
    t.selectedBg = themeColor("ic_clr_quoterbrowser_selected_line_bg", QColor(36, 52, 86));
    t.name = themeColor("ic_clr_quoterbrowser_item_name", QColor(230, 230, 230));
    t.code = themeColor("ic_clr_quoterbrowser_item_code", QColor(140, 140, 140));
    t.sign[0] = themeColor("clr_global_rise", QColor(255, 50, 50));
    t.sign[1] = themeColor("clr_global_fall", QColor(0, 230, 0));
    t.sign[2] = themeColor("clr_global_equal", QColor(210, 210, 210));
    ++m_nNameFit;
}

void GraphPaint::setNameWidth(int width)
{
    if (width == m_nNameWidth)
        return;
    m_nNameWidth = width;
    ++m_nNameFit;
}

void GraphPaint::fitName(GraphDataItem& item) const
{
    item.nShownFit = m_nNameFit;
    if (m_nNameWidth < 0)
        return;
    const QFontMetrics metrics(m_theme->nameFont);
    const int room = std::max(0, m_nNameWidth - 4); // a small margin on both sides
    item.qsShownName = metrics.horizontalAdvance(item.qsName) <= room
                           ? item.qsName
                           : metrics.elidedText(item.qsName, Qt::ElideLeft, room);
}

void GraphPaint::setItems(const std::vector<GraphDataItemPtr>& items)
{
    clear();
    m_items.reserve(items.size());
    for (const GraphDataItemPtr& item : items) {
        if (!item)
            continue;
        QHash<QString, GraphDataItem*>& codes = m_byMarket[item->market];
        if (codes.isEmpty())
            codes.reserve(int(items.size()));
        GraphDataItem*& slot = codes[item->qsCode];
        if (slot) {
            // the later instrument replaces the earlier one in its place
            for (GraphDataItemPtr& held : m_items) {
                if (held.get() == slot) {
                    held = item;
                    break;
                }
            }
        } else {
            m_items.push_back(item);
        }
        slot = item.get();
    }
    // ranks make every sort an integer sort
    std::vector<GraphDataItem*> byCode;
    byCode.reserve(m_items.size());
    for (const GraphDataItemPtr& item : m_items)
        byCode.push_back(item.get());
    std::sort(byCode.begin(), byCode.end(), [](const GraphDataItem* a, const GraphDataItem* b) {
        const int c = a->code.compare(b->code);
        return c != 0 ? c < 0 : a->market < b->market;
    });
    for (size_t i = 0; i < byCode.size(); ++i)
        byCode[i]->codeRank = int(i);
}

void GraphPaint::clear()
{
    m_items.clear();
    m_byMarket.clear();
    m_nFirstRow = 0;
}

GraphDataItem* GraphPaint::item(int index) const
{
    return index >= 0 && index < int(m_items.size()) ? m_items[size_t(index)].get() : nullptr;
}

GraphDataItem* GraphPaint::findByKey(const std::string& key) const
{
    for (const GraphDataItemPtr& item : m_items) {
        if (item->stockKey == key)
            return item.get();
    }
    return nullptr;
}

GraphDataItem* GraphPaint::find(const std::string& market, const QString& code) const
{
    auto byMarket = m_byMarket.find(market);
    if (byMarket == m_byMarket.end())
        return nullptr;
    return byMarket->second.value(code, nullptr);
}

int GraphPaint::indexOf(const GraphDataItem* item) const
{
    if (!item)
        return -1;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == item)
            return int(i);
    }
    return -1;
}

void GraphPaint::sortItems()
{
    std::vector<SortEntry>& entries = m_sortScratch;
    entries.clear();
    entries.reserve(m_items.size());
    for (GraphDataItemPtr& item : m_items) {
        double v = 0.0;
        switch (m_nSortId) {
        case eSortLast: v = item->lastPrice; break;
        case eSortChange: v = item->changePercent; break;
        case eSortSpeed: v = item->riseSpeed; break;
        default: v = double(item->codeRank); break;
        }
        const bool invalid = !XP::isValidNumber(v);
        entries.push_back({invalid ? 0 : gridOf(v), item->codeRank, invalid, std::move(item)});
    }
    const bool descending = m_nSortOrder == 0;
    std::sort(entries.begin(), entries.end(), [descending](const SortEntry& a, const SortEntry& b) {
        if (a.invalid != b.invalid)
            return b.invalid;
        if (a.key != b.key)
            return descending ? a.key > b.key : a.key < b.key;
        return descending ? a.rank > b.rank : a.rank < b.rank;
    });
    for (size_t i = 0; i < entries.size(); ++i)
        m_items[i] = std::move(entries[i].item);
    entries.clear();
}

void GraphPaint::draw(QPainter& painter, const QRect& body) const
{
    const int n = int(m_items.size());
    const int first = std::max(0, m_nFirstRow);
    // the rows that fit, plus the partly visible one below them, each only if it exists
    const int last = std::min(n - 1, first + std::max(0, m_nRows));
    if (last < first || body.isEmpty())
        return;
    const Theme& t = *m_theme;
    const int h = m_nRowHeight;
    const int cellWidth = body.width() / 4;

    painter.save();
    painter.setClipRect(body);
    painter.setRenderHint(QPainter::Antialiasing, true);

    painter.setPen(t.splitter);
    painter.setBrush(Qt::NoBrush);
    for (int i = first; i <= last; ++i) {
        const int r = i - first;
        const QRect row(body.left(), body.top() + r * h, body.width(), h);
        painter.fillRect(row, t.lineBg);
        painter.drawRect(QRectF(row).adjusted(0.5, 0.5, -0.5, -0.5));
        if (r == m_nSelectedRow)
            painter.fillRect(row.adjusted(1, 1, -1, -1), t.selectedBg);
    }

    // one pass per font keeps the painter's state changes per row to the colours
    painter.setFont(t.nameFont);
    painter.setPen(t.name);
    for (int i = first; i <= last; ++i) {
        const QRect cell(body.left(), body.top() + (i - first) * h, cellWidth, h / 2);
        GraphDataItem& item = *m_items[size_t(i)];
        if (item.nShownFit != m_nNameFit)
            fitName(item);
        painter.drawText(cell, Qt::AlignCenter,
                         item.qsShownName.isNull() ? item.qsName : item.qsShownName);
    }
    painter.setFont(t.codeFont);
    painter.setPen(t.code);
    for (int i = first; i <= last; ++i) {
        const QRect cell(body.left(), body.top() + (i - first) * h + h / 2, cellWidth, h / 2);
        painter.drawText(cell, Qt::AlignCenter, m_items[size_t(i)]->qsCode);
    }
    painter.setFont(t.digitFont);
    int pen = -1;
    for (int i = first; i <= last; ++i) {
        const GraphDataItem& item = *m_items[size_t(i)];
        const int top = body.top() + (i - first) * h;
        const double values[3] = {item.lastPrice, item.changePercent, item.riseSpeed};
        const QString* texts[3] = {&item.lastText(), &item.changeText(), &item.speedText()};
        for (int k = 0; k < 3; ++k) {
            // the last price is coloured by the change it made, the others by their sign
            const int sign = signIndex(k == 0 ? item.changePercent : values[k]);
            if (sign != pen) {
                painter.setPen(t.sign[sign]);
                pen = sign;
            }
            const QRect cell(body.left() + cellWidth * (k + 1), top, cellWidth, h);
            painter.drawText(cell, Qt::AlignCenter, *texts[k]);
        }
    }
    painter.restore();
}

} // namespace QuoterBrowserPaint
} // namespace TC
