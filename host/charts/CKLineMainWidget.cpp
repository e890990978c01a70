#include "host/charts/CKLineMainWidget.h"

#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/StockManager.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>
#include <QtGui/QWheelEvent>

#include <algorithm>
#include <cmath>

namespace TC {

using chart::isPrice;

namespace {

constexpr int kRightMargin = 4;
constexpr int kDateAxis = 18;
const int kWidths[] = {1, 2, 3, 4, 5, 7, 9, 11, 15, 19, 25, 31};
constexpr int kWidthCount = int(sizeof(kWidths) / sizeof(kWidths[0]));

QString ymdText(int64_t ms, bool full)
{
    const int ymd = CStockManager::ymdFromDate(int(ms / 1000));
    if (full)
        return QStringLiteral("%1-%2-%3")
            .arg(ymd / 10000)
            .arg(ymd / 100 % 100, 2, 10, QLatin1Char('0'))
            .arg(ymd % 100, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1/%2").arg(ymd / 10000).arg(ymd / 100 % 100, 2, 10, QLatin1Char('0'));
}

// A bar with a usable close; a missing open, high or low is mended from the others.
bool mendBar(quoter::KLineData& b)
{
    if (!isPrice(b.close))
        return false;
    if (!isPrice(b.open))
        b.open = b.close;
    const double hi = std::max(b.open, b.close), lo = std::min(b.open, b.close);
    b.high = isPrice(b.high) ? std::max(b.high, hi) : hi;
    b.low = isPrice(b.low) ? std::min(b.low, lo) : lo;
    if (b.volume < 0)
        b.volume = 0;
    return true;
}

} // namespace

CKLineMainWidget::CKLineMainWidget(QWidget* parent)
    : XP::CBaseWidget(parent, QStringLiteral("KLineMainWidget"))
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_palette.load();
}

CKLineMainWidget::~CKLineMainWidget()
{
    unrequest();
}

void CKLineMainWidget::setStock(const QString& key)
{
    if (key != m_qsKey)
        unrequest();
    m_qsKey = key;
    m_detail = key.isEmpty() ? nullptr : CStockManager::instance()->getInstrumentDetail(key);
    clear(true);
}

void CKLineMainWidget::clear(bool repaint)
{
    m_bars.clear();
    for (auto& line : m_maValues)
        line.clear();
    m_nEndOffset = 0;
    m_nCross = -1;
    m_bLayoutDirty = true;
    if (repaint)
        update();
}

void CKLineMainWidget::request(bool force)
{
    if (!m_detail || (isRequested() && !force))
        return;
    unrequest();
    const std::vector<quoter::KLineData> bars = chart::fetchBars(
        m_detail->market, m_detail->code, se::kPeriodDay, quoter::TimeSeq::TIME_START);
    setBars(bars);
    if (const quoter::QuoterAllDataPtr last =
            getLastQuoterAllDataPtr(m_detail->market, m_detail->code))
        applyQuote(*last);
    m_link = chart::PushLink::open(this, m_detail->market, m_detail->code,
                                   [this](const quoter::QuoterAllDataPtr& q) {
                                       ++m_nPushes;
                                       applyQuote(*q);
                                   });
    TT_LOG_INFO("[kline] request %1% bars:%2%", m_qsKey, int(bars.size()));
}

void CKLineMainWidget::unrequest()
{
    chart::PushLink::release(m_link);
}

bool CKLineMainWidget::isRequested() const
{
    return chart::PushLink::isOpen(m_link);
}

void CKLineMainWidget::updateView()
{
    m_bLayoutDirty = true;
    update();
}

CKLineMainWidget::UiParam CKLineMainWidget::getUiParam() const
{
    UiParam p;
    p.crossline = m_bCross;
    p.crossIndex = m_nCross;
    p.endOffset = m_nEndOffset;
    return p;
}

void CKLineMainWidget::resetUiParam()
{
    m_bCross = false;
    m_nCross = -1;
    m_nEndOffset = 0;
    updateView();
}

void CKLineMainWidget::moveToEnd()
{
    m_nEndOffset = 0;
    if (m_bCross)
        m_nCross = barCount() - 1;
    updateView();
}

void CKLineMainWidget::switchCrossline()
{
    m_bCross = !m_bCross;
    m_nCross = m_bCross ? lastVisible() : -1;
    update();
}

void CKLineMainWidget::setCrossIndex(int index)
{
    if (m_bars.empty())
        return;
    index = std::clamp(index, 0, barCount() - 1);
    m_bCross = true;
    // follow the cross line out of the view
    if (index < firstVisible())
        scrollBy(firstVisible() - index);
    else if (index > lastVisible())
        scrollBy(lastVisible() - index);
    m_nCross = index;
    update();
}

void CKLineMainWidget::scrollBy(int candles)
{
    const int next = std::clamp(m_nEndOffset + candles, 0, std::max(0, barCount() - 1));
    if (next == m_nEndOffset)
        return;
    m_nEndOffset = next;
    updateView();
}

void CKLineMainWidget::zoomBy(int steps)
{
    int i = 0;
    while (i + 1 < kWidthCount && kWidths[i] < m_nBarWidth)
        ++i;
    i = std::clamp(i + steps, 0, kWidthCount - 1);
    if (kWidths[i] == m_nBarWidth)
        return;
    m_nBarWidth = kWidths[i];
    updateView();
}

void CKLineMainWidget::setBars(const std::vector<quoter::KLineData>& bars)
{
    m_bars.clear();
    m_bars.reserve(bars.size() + 1);
    for (quoter::KLineData b : bars) {
        // oldest first, one bar a day: a repeated or older day is dropped
        if (mendBar(b) && (m_bars.empty() || b.time > m_bars.back().time))
            m_bars.push_back(b);
    }
    computeMa(0);
    m_nEndOffset = 0;
    m_nCross = m_bCross ? barCount() - 1 : -1;
    updateView();
}

void CKLineMainWidget::applyQuote(const quoter::QuoterAllData& q)
{
    if (!m_detail || !isPrice(q.last)
        || !CFormulaManager::instance()->isValidData(q.time / 1000, m_detail->market))
        return;
    const int64_t dayMs =
        int64_t(CStockManager::instance()->getLastTradingDay(m_detail->market)) * 1000;
    const bool appended = m_bars.empty() || m_bars.back().time < dayMs;
    if (!appended && m_bars.back().time > dayMs)
        return;
    if (appended) {
        quoter::KLineData b;
        b.time = dayMs;
        b.preClose = m_bars.empty() ? q.preClose : m_bars.back().close;
        b.open = isPrice(q.open) ? q.open : q.last;
        b.high = b.low = b.open;
        m_bars.push_back(b);
    }
    quoter::KLineData& b = m_bars.back();
    b.close = q.last;
    b.high = std::max({b.high, b.close, isPrice(q.high) ? q.high : b.close});
    b.low = std::min({b.low, b.close, isPrice(q.low) ? q.low : b.close});
    b.volume = std::max<int64_t>(0, q.volume);
    b.amount = q.amount;
    computeMa(m_bars.size() - 1);
    const int last = barCount() - 1;
    if (appended || m_bLayoutDirty || m_nEndOffset != 0 || !fitsScale(last)) {
        if (appended && m_bCross && m_nCross == last - 1)
            m_nCross = last;
        updateView();
        return;
    }
    // the scale holds: repaint the newest candle's column only
    const double x = barX(last);
    update(QRectF(x - pitch() * 1.5, 0, pitch() * 3, height()).toAlignedRect());
    if (m_bCross)
        update(m_priceRect.toAlignedRect().adjusted(0, 0, 0, 24));
}

void CKLineMainWidget::computeMa(size_t from)
{
    for (int l = 0; l < 3; ++l) {
        std::vector<double>& out = m_maValues[l];
        out.resize(m_bars.size(), 0.0);
        const size_t n = size_t(m_ma[l]);
        for (size_t i = from; i < m_bars.size(); ++i) {
            if (i + 1 < n) {
                out[i] = 0.0;
                continue;
            }
            double sum = 0.0;
            for (size_t k = i + 1 - n; k <= i; ++k)
                sum += m_bars[k].close;
            out[i] = sum / double(n);
        }
    }
}

double CKLineMainWidget::maValue(int line, int index) const
{
    if (line < 0 || line > 2 || index < 0 || index >= int(m_maValues[line].size()))
        return 0.0;
    return m_maValues[line][size_t(index)];
}

int CKLineMainWidget::firstVisible()
{
    ensureLayout();
    return m_nFirst;
}

int CKLineMainWidget::lastVisible()
{
    ensureLayout();
    return m_nLastVisible;
}

double CKLineMainWidget::barX(int index)
{
    ensureLayout();
    return m_priceRect.right() - (m_nLastVisible - index + 0.5) * pitch();
}

double CKLineMainWidget::priceY(double price)
{
    ensureLayout();
    return m_price.y(price);
}

QRectF CKLineMainWidget::priceRect()
{
    ensureLayout();
    return m_priceRect;
}

QRectF CKLineMainWidget::volumeRect()
{
    ensureLayout();
    return m_volumeRect;
}

bool CKLineMainWidget::fitsScale(int i) const
{
    if (i < m_nFirst || i > m_nLastVisible)
        return false;
    const quoter::KLineData& b = m_bars[size_t(i)];
    if (!m_price.contains(b.high) || !m_price.contains(b.low) || b.volume > m_dVolumeMax)
        return false;
    for (const auto& line : m_maValues) {
        if (isPrice(line[size_t(i)]) && !m_price.contains(line[size_t(i)]))
            return false;
    }
    return true;
}

void CKLineMainWidget::ensureLayout()
{
    if (!m_bLayoutDirty && m_background.size() == size().expandedTo(QSize(1, 1)))
        return;
    m_bLayoutDirty = false;
    ++m_nLayouts;
    const double w = std::max(1, width()), h = std::max(1, height());
    const chart::Panes panes = chart::splitPanes(w - kRightMargin, h - kDateAxis, m_nVolumeShare);
    m_priceRect = panes.price;
    m_volumeRect = panes.volume;
    m_leftAxis = panes.leftAxis;

    const int n = barCount();
    const int fit = std::max(1, int(m_priceRect.width()) / pitch());
    m_nEndOffset = std::clamp(m_nEndOffset, 0, std::max(0, n - 1));
    m_nLastVisible = n - 1 - m_nEndOffset;
    m_nFirst = std::max(0, m_nLastVisible - fit + 1);
    double lo = 0.0, hi = 0.0;
    double volMax = 0.0;
    bool any = false;
    for (int i = m_nFirst; i <= m_nLastVisible; ++i) {
        const quoter::KLineData& b = m_bars[size_t(i)];
        lo = any ? std::min(lo, b.low) : b.low;
        hi = any ? std::max(hi, b.high) : b.high;
        any = true;
        for (const auto& line : m_maValues) {
            if (isPrice(line[size_t(i)])) {
                lo = std::min(lo, line[size_t(i)]);
                hi = std::max(hi, line[size_t(i)]);
            }
        }
        volMax = std::max(volMax, double(b.volume));
    }
    if (any) {
        const double pad = (hi - lo) * 0.05;
        m_price.set(lo - pad, hi + pad, m_priceRect.top(), m_priceRect.bottom());
    } else {
        m_price.set(0.0, 1.0, m_priceRect.top(), m_priceRect.bottom());
    }
    m_dVolumeMax = std::max(1.0, volMax * 1.1);
    paintBackground();
}

void CKLineMainWidget::paintBackground()
{
    chart::resetBackground(m_background, size(), m_palette.background);
    QPainter p(&m_background);
    p.setFont(m_palette.font);
    const QFontMetrics fm(m_palette.font);
    const bool any = m_nLastVisible >= m_nFirst && m_nLastVisible >= 0;
    const int decimals = chart::priceDecimals(m_detail.get());
    p.setPen(m_palette.grid);
    p.drawRect(m_priceRect);
    p.drawRect(m_volumeRect);
    const QPen dotted = chart::hairline(m_palette.grid, Qt::DotLine);
    for (int k = 0; k <= 6; ++k) {
        const double y = m_priceRect.top() + m_priceRect.height() * k / 6;
        if (k > 0 && k < 6) {
            p.setPen(dotted);
            p.drawLine(QPointF(m_priceRect.left(), y), QPointF(m_priceRect.right(), y));
        }
        p.setPen(m_palette.axisText);
        const QString t =
            any ? QString::number(m_price.value(y), 'f', decimals) : QStringLiteral("-");
        chart::drawLeftLabel(p, fm, chart::labelBaseline(y, fm, m_priceRect.bottom()), t);
    }
    const QString vmax = any ? QString::number(qint64(m_dVolumeMax)) : QStringLiteral("-");
    chart::drawLeftLabel(p, fm, m_volumeRect.top() + fm.ascent(), vmax);
    if (!any) {
        p.drawText(m_priceRect, Qt::AlignCenter, QStringLiteral("-"));
        return;
    }
    // a date under the first candle of each month that has room for its label
    double lastRight = -1e9;
    int lastMonth = -1;
    const double pitchPx = pitch();
    for (int i = m_nFirst; i <= m_nLastVisible; ++i) {
        const int ymd = CStockManager::ymdFromDate(int(m_bars[size_t(i)].time / 1000));
        const int month = ymd / 100;
        if (month == lastMonth)
            continue;
        lastMonth = month;
        const double x = m_priceRect.right() - (m_nLastVisible - i + 0.5) * pitchPx;
        const QString t = ymdText(m_bars[size_t(i)].time, false);
        if (x < lastRight + 8 || x + fm.horizontalAdvance(t) > m_volumeRect.right())
            continue;
        p.setPen(dotted);
        p.drawLine(QPointF(x, m_priceRect.top()), QPointF(x, m_volumeRect.bottom()));
        p.setPen(m_palette.axisText);
        p.drawText(QPointF(x, m_volumeRect.bottom() + fm.ascent() + 2), t);
        lastRight = x + fm.horizontalAdvance(t);
    }
}

void CKLineMainWidget::paintEvent(QPaintEvent* event)
{
    ensureLayout();
    QPainter p(this);
    const QRect clip = event->rect();
    p.drawImage(clip, m_background, clip);
    if (m_nLastVisible < m_nFirst || m_nLastVisible < 0)
        return;
    const double pitchPx = pitch();
    const double right = m_priceRect.right();
    // only the candles under the repainted strip
    const int from = std::max(m_nFirst, m_nLastVisible - int((right - clip.left()) / pitchPx) - 1);
    const int to =
        std::min(m_nLastVisible, m_nLastVisible - int((right - clip.right()) / pitchPx) + 1);
    const double volBottom = m_volumeRect.bottom();
    const double volK = m_volumeRect.height() / m_dVolumeMax;
    const double bodyW = m_nBarWidth;
    for (int i = from; i <= to; ++i) {
        const quoter::KLineData& b = m_bars[size_t(i)];
        const double x = right - (m_nLastVisible - i + 0.5) * pitchPx;
        const QColor& c = b.close > b.open   ? m_palette.rise
                          : b.close < b.open ? m_palette.fall
                                             : m_palette.equal;
        const double yHigh = m_price.y(b.high), yLow = m_price.y(b.low);
        const double yOpen = m_price.y(b.open), yClose = m_price.y(b.close);
        const double xl = std::floor(x - bodyW / 2);
        if (bodyW >= 3) {
            p.fillRect(QRectF(std::floor(x), yHigh, 1, std::max(1.0, yLow - yHigh)), c);
            const double top = std::min(yOpen, yClose);
            p.fillRect(QRectF(xl, top, bodyW, std::max(1.0, std::fabs(yOpen - yClose))), c);
        } else {
            p.fillRect(QRectF(xl, yHigh, bodyW, std::max(1.0, yLow - yHigh)), c);
        }
        const double vh = std::min(m_volumeRect.height(), b.volume * volK);
        p.fillRect(QRectF(xl, volBottom - vh, bodyW, vh), c);
    }
    // the averages over the same candles, one point either side to join the strips
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setClipRect(m_priceRect.adjusted(0, 0, 1, 1));
    QPointF pts[512];
    for (int l = 0; l < 3; ++l) {
        p.setPen(chart::hairline(m_palette.ma[l]));
        const std::vector<double>& line = m_maValues[l];
        int count = 0;
        auto flush = [&]() {
            if (count > 1)
                p.drawPolyline(pts, count);
            count = 0;
        };
        for (int i = std::max(m_nFirst, from - 1); i <= std::min(m_nLastVisible, to + 1); ++i) {
            const double v = line[size_t(i)];
            if (!isPrice(v)) {
                flush();
                continue;
            }
            if (count == 512) {
                const QPointF keep = pts[511];
                flush();
                pts[count++] = keep;
            }
            pts[count++] = QPointF(right - (m_nLastVisible - i + 0.5) * pitchPx, m_price.y(v));
        }
        flush();
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setClipping(false);

    // the averages' legend
    p.setFont(m_palette.font);
    const QFontMetrics fm(m_palette.font);
    const int legendAt = m_bCross && m_nCross >= 0 ? m_nCross : m_nLastVisible;
    double lx = m_priceRect.left() + 4;
    for (int l = 0; l < 3; ++l) {
        const double v = maValue(l, legendAt);
        const QString t = QStringLiteral("MA%1 %2").arg(m_ma[l]).arg(
            isPrice(v) ? QString::number(v, 'f', 2) : QStringLiteral("-"));
        p.setPen(m_palette.ma[l]);
        p.drawText(QPointF(lx, m_priceRect.top() + fm.ascent() + 2), t);
        lx += fm.horizontalAdvance(t) + 10;
    }

    if (m_bCross && m_nCross >= m_nFirst && m_nCross <= m_nLastVisible) {
        const quoter::KLineData& b = m_bars[size_t(m_nCross)];
        const double x = right - (m_nLastVisible - m_nCross + 0.5) * pitchPx;
        chart::drawCross(p, m_palette, m_priceRect, m_volumeRect, QPointF(x, m_price.y(b.close)));
        chart::drawReadout(p, m_palette, m_priceRect, x, m_priceRect.top() + fm.height() + 6,
                           readoutText());
    }
}

QString CKLineMainWidget::readoutText() const
{
    if (!m_bCross || m_nCross < 0 || m_nCross >= barCount())
        return QString();
    const quoter::KLineData& b = m_bars[size_t(m_nCross)];
    const int decimals = chart::priceDecimals(m_detail.get());
    auto num = [decimals](double v) { return QString::number(v, 'f', decimals); };
    const double ref = m_nCross > 0 ? m_bars[size_t(m_nCross - 1)].close : b.preClose;
    const QString pct =
        isPrice(ref) ? QString::number((b.close / ref - 1.0) * 100.0, 'f', 2) + QLatin1Char('%')
                     : QStringLiteral("-");
    return QStringLiteral("%1 开 %2 高 %3 低 %4 收 %5 幅 %6 量 %7")
        .arg(ymdText(b.time, true), num(b.open), num(b.high), num(b.low), num(b.close), pct)
        .arg(b.volume);
}

void CKLineMainWidget::resizeEvent(QResizeEvent* event)
{
    m_bLayoutDirty = true;
    XP::CBaseWidget::resizeEvent(event);
}

void CKLineMainWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bCross || m_bars.empty())
        return;
    ensureLayout();
    const int fromRight = int((m_priceRect.right() - event->pos().x()) / pitch());
    const int index = std::clamp(m_nLastVisible - fromRight, m_nFirst, m_nLastVisible);
    if (index != m_nCross) {
        m_nCross = index;
        update();
    }
}

void CKLineMainWidget::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta != 0)
        zoomBy(delta > 0 ? 1 : -1);
    event->accept();
}

void CKLineMainWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        if (m_bCross)
            setCrossIndex(m_nCross - 1);
        else
            scrollBy(1);
        return;
    case Qt::Key_Right:
        if (m_bCross)
            setCrossIndex(m_nCross + 1);
        else
            scrollBy(-1);
        return;
    case Qt::Key_Up: zoomBy(1); return;
    case Qt::Key_Down: zoomBy(-1); return;
    case Qt::Key_End: moveToEnd(); return;
    case Qt::Key_Home: scrollBy(barCount()); return;
    case Qt::Key_Escape:
        if (m_bCross) {
            switchCrossline();
            return;
        }
        break;
    default: break;
    }
    XP::CBaseWidget::keyPressEvent(event); // Enter and F5 belong to the pane around
}

QString CKLineMainWidget::param(bool) const
{
    JsonArrayBuilder ma;
    for (int period : m_ma)
        ma.appendInt(period);
    JsonBuilder b;
    b.appendInt("barWidth", m_nBarWidth);
    b.appendArray("ma", ma);
    b.appendInt("volumeShare", m_nVolumeShare);
    return b.toQString();
}

void CKLineMainWidget::setParam(const QString& param)
{
    JsonObject o;
    if (!chart::parseParam(param, "[kline]", o))
        return;
    if (o.type("barWidth") == JsonType::Int) {
        const int w = o.getInt("barWidth");
        if (std::find(std::begin(kWidths), std::end(kWidths), w) != std::end(kWidths))
            m_nBarWidth = w;
    }
    if (o.type("ma") == JsonType::Array) {
        const JsonArray ma = o.getArray("ma");
        for (int l = 0; l < 3 && l < ma.size(); ++l) {
            const int period = ma.type(l) == JsonType::Int ? ma.getInt(l) : 0;
            if (period >= 1 && period <= 250)
                m_ma[l] = period;
        }
        computeMa(0);
    }
    chart::readVolumeShare(o, m_nVolumeShare);
    updateView();
}

void CKLineMainWidget::themeChanged()
{
    m_palette.load();
    updateView();
}

} // namespace TC
