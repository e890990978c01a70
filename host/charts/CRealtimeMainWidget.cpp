#include "host/charts/CRealtimeMainWidget.h"

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

#include <algorithm>
#include <cmath>

namespace TC {

using chart::isPrice;

namespace {

constexpr int kRightAxis = 58;
constexpr int kTimeAxis = 18;

QString hhmm(int64_t ms)
{
    // market time is Asia/Shanghai, UTC+8 without daylight saving
    const int64_t minutes = ((ms / 60000) + 8 * 60) % (24 * 60);
    return QStringLiteral("%1:%2")
        .arg(int(minutes / 60), 2, 10, QLatin1Char('0'))
        .arg(int(minutes % 60), 2, 10, QLatin1Char('0'));
}

bool isFutureLike(int type)
{
    return type == ttservice::eInstrFuture || type == ttservice::eInstrFutureOption
           || type == ttservice::eInstrOption || type == ttservice::eInstrForeignFuture;
}

} // namespace

CRealtimeMainWidget::CRealtimeMainWidget(QWidget* parent)
    : XP::CBaseWidget(parent, QStringLiteral("RealtimeMainWidget"))
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_palette.load();
    m_axis.build(QStringLiteral("SH"), QString());
    m_slots.resize(size_t(m_axis.slotCount()));
}

CRealtimeMainWidget::~CRealtimeMainWidget()
{
    unrequest();
}

void CRealtimeMainWidget::setStock(const QString& key, bool refresh)
{
    if (key != m_qsKey)
        unrequest();
    m_qsKey = key;
    m_detail = key.isEmpty() ? nullptr : CStockManager::instance()->getInstrumentDetail(key);
    if (m_detail)
        m_axis.build(m_detail->market, m_detail->code);
    else
        m_axis.build(QStringLiteral("SH"), QString());
    clear(refresh);
}

void CRealtimeMainWidget::setSessions(const QVector<QPair<int64_t, int64_t>>& sessions)
{
    m_axis.setSessions(sessions);
    clear(true);
}

void CRealtimeMainWidget::clear(bool repaint)
{
    m_slots.assign(size_t(m_axis.slotCount()), Slot());
    // room for the whole day, so a push opening a minute allocates nothing
    m_pricePts.reserve(m_axis.slotCount());
    m_avgPts.reserve(m_axis.slotCount());
    m_volRects.reserve(m_axis.slotCount());
    m_nLast = -1;
    m_nVolumeBefore = 0;
    m_dPreClose = 0.0;
    m_dFactor = 0.0;
    m_nCross = -1;
    m_bLayoutDirty = true;
    if (repaint)
        update();
}

void CRealtimeMainWidget::request(bool force)
{
    if (!m_detail || (isRequested() && !force))
        return;
    unrequest();
    const QString market = m_detail->market, code = m_detail->code;
    const int64_t start =
        m_axis.sessions().isEmpty() ? 0 : m_axis.sessions().front().startMs - 3600000;
    const std::vector<quoter::KLineData> bars =
        chart::fetchBars(market, code, se::kPeriodMinute, start);
    const quoter::QuoterAllDataPtr last = getLastQuoterAllDataPtr(market, code);
    double preClose = m_detail->refPrice;
    if (last) {
        const bool derivative = isFutureLike(m_detail->type);
        preClose = derivative && isPrice(last->preSettlement) ? last->preSettlement
                   : isPrice(last->preClose)                  ? last->preClose
                                                              : preClose;
        m_dFactor = averageFactor(last.get());
    }
    setMinuteBars(bars, preClose);
    if (last)
        applyQuote(*last);
    m_link = chart::PushLink::open(this, market, code, [this](const quoter::QuoterAllDataPtr& q) {
        ++m_nPushes;
        applyQuote(*q);
    });
    TT_LOG_INFO("[realtime] request %1% bars:%2%", m_qsKey, int(bars.size()));
}

void CRealtimeMainWidget::unrequest()
{
    chart::PushLink::release(m_link);
}

bool CRealtimeMainWidget::isRequested() const
{
    return chart::PushLink::isOpen(m_link);
}

void CRealtimeMainWidget::updateView()
{
    m_bLayoutDirty = true;
    update();
}

void CRealtimeMainWidget::resetUiParam()
{
    setCrossIndex(-1);
}

double CRealtimeMainWidget::averageFactor(const quoter::QuoterAllData* q) const
{
    // the host's own average pins the units of volume and amount
    if (q && q->volume > 0 && isPrice(q->average) && q->amount > 0)
        return q->amount / (double(q->volume) * q->average);
    if (!m_detail)
        return 0.0;
    if (isFutureLike(m_detail->type))
        return std::max(1, m_detail->tradeUnit);
    return ttservice::getStockTradeUnit(m_detail->market, m_detail->code);
}

void CRealtimeMainWidget::setMinuteBars(const std::vector<quoter::KLineData>& bars, double preClose)
{
    m_slots.assign(size_t(m_axis.slotCount()), Slot());
    m_nLast = -1;
    m_nVolumeBefore = 0;
    m_dPreClose = isPrice(preClose) ? preClose : 0.0;
    m_nCross = -1;
    if (m_dFactor <= 0.0)
        m_dFactor = averageFactor(nullptr);
    qint64 cumVolume = 0;
    double cumAmount = 0.0;
    for (const quoter::KLineData& bar : bars) {
        const int slot = m_axis.slotOf(bar.time);
        if (slot < 0 || slot < m_nLast || !isPrice(bar.close))
            continue;
        const qint64 volume = std::max<int64_t>(0, bar.volume);
        // two bars of one slot (the call auction and the first minute) add up
        if (slot > m_nLast && m_nLast >= 0)
            m_nVolumeBefore = cumVolume;
        cumVolume += volume;
        cumAmount += std::isfinite(bar.amount) ? bar.amount : 0.0;
        const double avg =
            cumVolume > 0 && m_dFactor > 0 ? cumAmount / (double(cumVolume) * m_dFactor) : 0.0;
        setSlot(slot, bar.close, avg, cumVolume - m_nVolumeBefore);
    }
    m_bLayoutDirty = true;
    update();
}

void CRealtimeMainWidget::setSlot(int slot, double price, double average, qint64 volume)
{
    // minutes without trades keep the price they had
    if (m_nLast >= 0) {
        const double carry = m_slots[size_t(m_nLast)].price;
        for (int i = m_nLast + 1; i < slot; ++i) {
            m_slots[size_t(i)].price = carry;
            m_slots[size_t(i)].average = m_slots[size_t(m_nLast)].average;
            m_slots[size_t(i)].volume = 0;
            m_slots[size_t(i)].rise = true;
        }
    }
    Slot& s = m_slots[size_t(slot)];
    const double before = slot > 0 && isPrice(m_slots[size_t(slot - 1)].price)
                              ? m_slots[size_t(slot - 1)].price
                              : m_dPreClose;
    s.price = price;
    // an average far off the price comes from units the factor got wrong: leave it out
    s.average = isPrice(average) && std::fabs(average / price - 1.0) < 0.5 ? average : 0.0;
    s.volume = std::max<qint64>(0, volume);
    s.rise = !isPrice(before) || price >= before;
    m_nLast = std::max(m_nLast, slot);
}

void CRealtimeMainWidget::applyQuote(const quoter::QuoterAllData& q)
{
    if (!isPrice(m_dPreClose)) {
        const bool derivative = m_detail && isFutureLike(m_detail->type);
        const double pc = derivative && isPrice(q.preSettlement) ? q.preSettlement : q.preClose;
        if (isPrice(pc)) {
            m_dPreClose = pc;
            m_bLayoutDirty = true;
        }
    }
    const int slot = m_axis.slotOf(q.time);
    if (slot < 0 || slot < m_nLast || !isPrice(q.last)) {
        if (m_bLayoutDirty) // the reference came with it
            update();
        return;
    }
    if (m_dFactor <= 0.0)
        m_dFactor = averageFactor(&q);
    const int oldLast = m_nLast;
    if (slot > m_nLast && m_nLast >= 0)
        m_nVolumeBefore += m_slots[size_t(m_nLast)].volume;
    const double avg = isPrice(q.average)              ? q.average
                       : q.volume > 0 && m_dFactor > 0 ? q.amount / (double(q.volume) * m_dFactor)
                                                       : 0.0;
    setSlot(slot, q.last, avg, q.volume - m_nVolumeBefore);
    if (m_bLayoutDirty || oldLast < 0 || !fitsScale(slot)) {
        m_bLayoutDirty = true;
        update();
        return;
    }
    // the scale holds: only the tail of the lines and the last volume bars move
    layoutPoints(oldLast);
    const double x0 = xOfSlot(std::max(0, oldLast - 1)) - 3;
    const double x1 = xOfSlot(slot) + 3;
    update(QRectF(x0, 0, x1 - x0, height()).toAlignedRect());
    if (m_nCross >= 0)
        update(m_priceRect.toAlignedRect().adjusted(0, 0, 0, 24)); // the readout
}

double CRealtimeMainWidget::priceAt(int slot) const
{
    return slot >= 0 && slot < int(m_slots.size()) ? m_slots[size_t(slot)].price : 0.0;
}

double CRealtimeMainWidget::averageAt(int slot) const
{
    return slot >= 0 && slot < int(m_slots.size()) ? m_slots[size_t(slot)].average : 0.0;
}

qint64 CRealtimeMainWidget::volumeAt(int slot) const
{
    return slot >= 0 && slot < int(m_slots.size()) ? m_slots[size_t(slot)].volume : 0;
}

QRectF CRealtimeMainWidget::priceRect() const
{
    const_cast<CRealtimeMainWidget*>(this)->ensureLayout();
    return m_priceRect;
}

QRectF CRealtimeMainWidget::volumeRect() const
{
    const_cast<CRealtimeMainWidget*>(this)->ensureLayout();
    return m_volumeRect;
}

QRectF CRealtimeMainWidget::rightAxisRect() const
{
    const_cast<CRealtimeMainWidget*>(this)->ensureLayout();
    return m_rightAxis;
}

double CRealtimeMainWidget::priceY(double price)
{
    ensureLayout();
    return m_price.y(price);
}

double CRealtimeMainWidget::slotX(int slot)
{
    ensureLayout();
    return xOfSlot(slot);
}

double CRealtimeMainWidget::xOfSlot(int slot) const
{
    const int n = std::max(1, m_axis.slotCount() - 1);
    return m_priceRect.left() + m_priceRect.width() * slot / n;
}

bool CRealtimeMainWidget::fitsScale(int slot) const
{
    const Slot& s = m_slots[size_t(slot)];
    if (!m_price.contains(s.price) || s.volume > m_dVolumeMax)
        return false;
    return !m_bAverage || !isPrice(s.average) || m_price.contains(s.average);
}

void CRealtimeMainWidget::ensureLayout()
{
    if (!m_bLayoutDirty && m_background.size() == size().expandedTo(QSize(1, 1)))
        return;
    m_bLayoutDirty = false;
    ++m_nLayouts;
    const QRectF all(0, 0, std::max(1, width()), std::max(1, height()));
    const double plotLeft = chart::kLeftAxis, plotRight = all.width() - kRightAxis;
    const double plotBottom = all.height() - kTimeAxis;
    const chart::Panes panes = chart::splitPanes(plotRight, plotBottom, m_nVolumeShare);
    m_priceRect = panes.price;
    m_volumeRect = panes.volume;
    m_leftAxis = panes.leftAxis;
    m_rightAxis = QRectF(QPointF(plotRight, 0), QPointF(all.width(), plotBottom));
    m_timeAxis = QRectF(QPointF(plotLeft, plotBottom), QPointF(plotRight, all.height()));

    // symmetric about the reference, which stays in the middle; 0.1 % at least so a flat
    // day still has a scale
    double ref = m_dPreClose;
    if (!isPrice(ref)) {
        for (int i = 0; i <= m_nLast && !isPrice(ref); ++i)
            ref = m_slots[size_t(i)].price;
    }
    qint64 volMax = 0;
    if (isPrice(ref)) {
        double dev = ref * 0.001;
        for (int i = 0; i <= m_nLast; ++i) {
            const Slot& s = m_slots[size_t(i)];
            if (isPrice(s.price))
                dev = std::max(dev, std::fabs(s.price - ref));
            if (m_bAverage && isPrice(s.average))
                dev = std::max(dev, std::fabs(s.average - ref));
            volMax = std::max(volMax, s.volume);
        }
        dev *= 1.08; // head room for the next pushes
        m_price.set(ref - dev, ref + dev, m_priceRect.top(), m_priceRect.bottom());
    } else {
        m_price.set(0.0, 1.0, m_priceRect.top(), m_priceRect.bottom());
    }
    m_dVolumeMax = std::max<double>(1.0, double(volMax) * 1.2);
    paintBackground();
    layoutPoints(0);
}

void CRealtimeMainWidget::layoutPoints(int from)
{
    from = std::max(0, from);
    const int n = m_nLast + 1;
    m_pricePts.resize(std::max(0, n));
    m_avgPts.resize(std::max(0, n));
    m_volRects.resize(std::max(0, n));
    const int slots = std::max(1, m_axis.slotCount() - 1);
    const double step = m_priceRect.width() / slots;
    const double barW = std::max(1.0, step - 1.0);
    const double volBottom = m_volumeRect.bottom();
    const double volK = m_volumeRect.height() / m_dVolumeMax;
    for (int i = from; i < n; ++i) {
        const Slot& s = m_slots[size_t(i)];
        const double x = xOfSlot(i);
        m_pricePts[i] = isPrice(s.price) ? QPointF(x, m_price.y(s.price)) : QPointF(x, qQNaN());
        m_avgPts[i] = isPrice(s.average) ? QPointF(x, m_price.y(s.average)) : QPointF(x, qQNaN());
        const double h = std::min(m_volumeRect.height(), s.volume * volK);
        m_volRects[i] = QRectF(x - barW / 2, volBottom - h, barW, h);
    }
}

void CRealtimeMainWidget::paintBackground()
{
    chart::resetBackground(m_background, size(), m_palette.background);
    QPainter p(&m_background);
    p.setFont(m_palette.font);
    const QFontMetrics fm(m_palette.font);
    const bool hasRef = isPrice(m_dPreClose) || m_nLast >= 0;
    const double ref = (m_price.lo() + m_price.hi()) / 2;
    const int decimals = chart::priceDecimals(m_detail.get());

    // frame and grid
    p.setPen(m_palette.grid);
    p.drawRect(m_priceRect);
    p.drawRect(m_volumeRect);
    const QPen dotted = chart::hairline(m_palette.grid, Qt::DotLine);
    for (int k = 1; k < 8; ++k) {
        if (k == 4)
            continue;
        const double y = m_priceRect.top() + m_priceRect.height() * k / 8;
        p.setPen(dotted);
        p.drawLine(QPointF(m_priceRect.left(), y), QPointF(m_priceRect.right(), y));
    }
    p.drawLine(QPointF(m_volumeRect.left(), m_volumeRect.center().y()),
               QPointF(m_volumeRect.right(), m_volumeRect.center().y()));
    // a vertical line every hour of trading, solid where a session starts
    const QVector<int> starts = m_axis.sessionStarts();
    for (int slot = 0; slot < m_axis.slotCount(); slot += 30) {
        const double x = xOfSlot(slot);
        p.setPen(starts.contains(slot) && slot > 0 ? chart::hairline(m_palette.grid) : dotted);
        p.drawLine(QPointF(x, m_priceRect.top()), QPointF(x, m_priceRect.bottom()));
        p.drawLine(QPointF(x, m_volumeRect.top()), QPointF(x, m_volumeRect.bottom()));
    }
    // the reference line
    p.setPen(chart::hairline(m_palette.preClose, Qt::DashLine));
    const double refY = m_priceRect.top() + m_priceRect.height() / 2;
    p.drawLine(QPointF(m_priceRect.left(), refY), QPointF(m_priceRect.right(), refY));

    // price labels left, percent labels right, coloured by their side of the reference
    for (int k = 0; k <= 8; ++k) {
        const double y = m_priceRect.top() + m_priceRect.height() * k / 8;
        const double v = m_price.value(y);
        const QColor& c = k < 4 ? m_palette.rise : k > 4 ? m_palette.fall : m_palette.equal;
        const double ty = chart::labelBaseline(y, fm, m_priceRect.bottom());
        p.setPen(c);
        const QString price = hasRef ? QString::number(v, 'f', decimals) : QStringLiteral("-");
        chart::drawLeftLabel(p, fm, ty, price);
        const QString pct =
            hasRef ? QString::number((v - ref) / ref * 100.0, 'f', 2) + QLatin1Char('%')
                   : QStringLiteral("-");
        p.drawText(QPointF(m_rightAxis.left() + 4, ty), pct);
    }
    // volume scale: its top and middle
    p.setPen(m_palette.axisText);
    const QString vmax = m_nLast >= 0 ? QString::number(qint64(m_dVolumeMax)) : QStringLiteral("-");
    chart::drawLeftLabel(p, fm, m_volumeRect.top() + fm.ascent(), vmax);
    // times under the volume pane
    for (int slot = 0; slot < m_axis.slotCount(); slot += 60) {
        const QString t = hhmm(m_axis.timeOf(slot));
        const double x =
            std::clamp(xOfSlot(slot) - fm.horizontalAdvance(t) / 2.0, m_timeAxis.left(),
                       m_timeAxis.right() - fm.horizontalAdvance(t));
        p.drawText(QPointF(x, m_timeAxis.top() + fm.ascent() + 2), t);
    }
    if (m_nLast < 0) {
        const QString dash = QStringLiteral("-");
        p.drawText(m_priceRect, Qt::AlignCenter, dash);
    }
}

void CRealtimeMainWidget::paintEvent(QPaintEvent* event)
{
    ensureLayout();
    QPainter p(this);
    const QRect clip = event->rect();
    p.drawImage(clip, m_background, clip);
    if (m_nLast < 0)
        return;
    // only the slots under the repainted strip
    const int slots = std::max(1, m_axis.slotCount() - 1);
    const double step = m_priceRect.width() / slots;
    const int from = std::clamp(int((clip.left() - m_priceRect.left()) / step) - 1, 0, m_nLast);
    const int to = std::clamp(int((clip.right() - m_priceRect.left()) / step) + 2, 0, m_nLast);
    for (int i = from; i <= to; ++i)
        p.fillRect(m_volRects[i], m_slots[size_t(i)].rise ? m_palette.rise : m_palette.fall);

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setClipRect(m_priceRect.adjusted(0, 0, 1, 1));
    auto drawLine = [&](const QVector<QPointF>& pts, const QColor& color) {
        p.setPen(chart::hairline(color));
        int start = -1;
        for (int i = from; i <= to + 1; ++i) {
            const bool ok = i <= to && !std::isnan(pts[i].y());
            if (ok && start < 0)
                start = i;
            if (!ok && start >= 0) {
                if (i - start > 1) {
                    p.drawPolyline(pts.constData() + start, i - start);
                } else { // a lone minute still shows where the price is
                    const QPointF& pt = pts[start];
                    p.drawLine(pt - QPointF(2, 0), pt + QPointF(2, 0));
                }
                start = -1;
            }
        }
    };
    if (m_bAverage)
        drawLine(m_avgPts, m_palette.averageLine);
    drawLine(m_pricePts, m_palette.priceLine);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setClipping(false);

    if (m_nCross >= 0 && m_nCross <= m_nLast) {
        const QPointF pt = m_pricePts[m_nCross];
        chart::drawCross(p, m_palette, m_priceRect, m_volumeRect, pt);
        chart::drawReadout(p, m_palette, m_priceRect, pt.x(), m_priceRect.top() + 2, readoutText());
    }
}

QString CRealtimeMainWidget::readoutText() const
{
    if (m_nCross < 0 || m_nCross > m_nLast)
        return QString();
    const Slot& s = m_slots[size_t(m_nCross)];
    const int decimals = chart::priceDecimals(m_detail.get());
    auto num = [decimals](double v) {
        return isPrice(v) ? QString::number(v, 'f', decimals) : QStringLiteral("-");
    };
    const QString pct =
        isPrice(s.price) && isPrice(m_dPreClose)
            ? QString::number((s.price / m_dPreClose - 1.0) * 100.0, 'f', 2) + QLatin1Char('%')
            : QStringLiteral("-");
    return QStringLiteral("%1 价 %2 均 %3 幅 %4 量 %5")
        .arg(hhmm(m_axis.timeOf(m_nCross)), num(s.price), num(s.average), pct)
        .arg(s.volume);
}

void CRealtimeMainWidget::setCrossIndex(int slot)
{
    const int next = m_nLast < 0 || slot < 0 ? -1 : std::min(slot, m_nLast);
    if (next == m_nCross)
        return;
    m_nCross = next;
    update();
}

void CRealtimeMainWidget::resizeEvent(QResizeEvent* event)
{
    m_bLayoutDirty = true;
    XP::CBaseWidget::resizeEvent(event);
}

void CRealtimeMainWidget::mouseMoveEvent(QMouseEvent* event)
{
    ensureLayout();
    if (m_nLast < 0 || !m_priceRect.united(m_volumeRect).contains(event->pos()))
        return;
    const int slots = std::max(1, m_axis.slotCount() - 1);
    const double step = m_priceRect.width() / slots;
    setCrossIndex(int(std::lround((event->pos().x() - m_priceRect.left()) / step)));
}

void CRealtimeMainWidget::leaveEvent(QEvent* event)
{
    setCrossIndex(-1);
    XP::CBaseWidget::leaveEvent(event);
}

void CRealtimeMainWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left: setCrossIndex(m_nCross < 0 ? m_nLast : std::max(0, m_nCross - 1)); return;
    case Qt::Key_Right: setCrossIndex(m_nCross < 0 ? m_nLast : m_nCross + 1); return;
    case Qt::Key_Escape:
        if (m_nCross >= 0) {
            setCrossIndex(-1);
            return;
        }
        break;
    default: break;
    }
    XP::CBaseWidget::keyPressEvent(event); // Enter and F5 belong to the pane around
}

QString CRealtimeMainWidget::param() const
{
    JsonBuilder b;
    b.appendBool("average", m_bAverage);
    b.appendInt("volumeShare", m_nVolumeShare);
    return b.toQString();
}

void CRealtimeMainWidget::setParam(const QString& param)
{
    JsonObject o;
    if (!chart::parseParam(param, "[realtime]", o))
        return;
    if (o.type("average") == JsonType::Bool)
        m_bAverage = o.getBool("average");
    chart::readVolumeShare(o, m_nVolumeShare);
    updateView();
}

void CRealtimeMainWidget::themeChanged()
{
    m_palette.load();
    updateView();
}

} // namespace TC
