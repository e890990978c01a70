#include "host/charts/ChartCommon.h"

#include "host/data/CWorkerMailbox.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/PushQuoteParam.h"
#include "host/data/StockManager.h"
#include "host/toolkit/UiResource.h"

#include <QtCore/QThread>
#include <QtGui/QFontMetrics>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>

namespace TC {
namespace chart {

void ValueScale::set(double lo, double hi, double top, double bottom)
{
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        lo = 0.0;
        hi = 1.0;
    }
    if (hi < lo)
        std::swap(lo, hi);
    if (hi - lo < 1e-9 * std::max(1.0, std::fabs(hi))) {
        // a flat range: half a percent either side, or one unit around zero
        const double pad = std::fabs(lo) > 1e-9 ? std::fabs(lo) * 0.005 : 1.0;
        lo -= pad;
        hi += pad;
    }
    if (bottom - top < 1.0)
        bottom = top + 1.0;
    m_lo = lo;
    m_hi = hi;
    m_top = top;
    m_bottom = bottom;
    m_k = (bottom - top) / (hi - lo);
}

void SessionAxis::build(const QString& market, const QString& code)
{
    CStockManager* sm = CStockManager::instance();
    QVector<CStockManager::Session> minutes = sm->getSessionMinutes(market, code);
    if (minutes.isEmpty())
        minutes = sm->getSessionMinutes(QStringLiteral("SH"));
    const int day = sm->getLastTradingDay(market);
    const int64_t dayMs = int64_t(day) * 1000;
    const int64_t nightMs = int64_t(sm->getShiftTradeDate(day, -1)) * 1000;
    QVector<QPair<int64_t, int64_t>> out;
    for (const CStockManager::Session& s : qAsConst(minutes)) {
        const int64_t base = s.night ? nightMs : dayMs;
        out.append({base + int64_t(s.openMin) * 60000, base + int64_t(s.closeMin) * 60000});
    }
    setSessions(out);
}

void SessionAxis::setSessions(const QVector<QPair<int64_t, int64_t>>& sessions)
{
    m_sessions.clear();
    int slot = 1;
    for (const auto& s : sessions) {
        if (s.second <= s.first)
            continue;
        m_sessions.append({s.first, s.second, slot});
        slot += int((s.second - s.first) / 60000);
    }
    m_nSlots = slot;
}

int SessionAxis::slotOf(int64_t ms) const
{
    constexpr int64_t kHour = 3600000;
    if (m_sessions.isEmpty())
        return -1;
    int prevLast = 0;
    for (int i = 0; i < m_sessions.size(); ++i) {
        const Session& s = m_sessions[i];
        if (ms <= s.startMs) {
            if (i > 0) // a break keeps the last minute before it
                return prevLast;
            return ms >= s.startMs - kHour ? 0 : -1; // the call auction
        }
        if (ms <= s.endMs) {
            const int64_t minute = (ms - s.startMs + 59999) / 60000; // its minute's end
            return s.firstSlot + int(std::max<int64_t>(1, minute)) - 1;
        }
        prevLast = s.firstSlot + int((s.endMs - s.startMs) / 60000) - 1;
    }
    return ms <= m_sessions.back().endMs + kHour ? prevLast : -1; // the closing snapshots
}

int64_t SessionAxis::timeOf(int slot) const
{
    if (m_sessions.isEmpty())
        return 0;
    if (slot <= 0)
        return m_sessions.front().startMs;
    for (const Session& s : m_sessions) {
        const int last = s.firstSlot + int((s.endMs - s.startMs) / 60000) - 1;
        if (slot <= last)
            return s.startMs + int64_t(slot - s.firstSlot + 1) * 60000;
    }
    return m_sessions.back().endMs;
}

QVector<int> SessionAxis::sessionStarts() const
{
    QVector<int> out;
    for (const Session& s : m_sessions)
        out.append(s.firstSlot - 1);
    return out;
}

namespace {
QColor colorOf(const char* key, const QColor& fallback)
{
    const QColor* c = XP::CUiResource::instance().getColor(QString::fromLatin1(key));
    return c ? *c : fallback;
}
} // namespace

void Palette::load()
{
    background =
        colorOf("ic_clr_realtime_background", colorOf("ic_clr_table_background", Qt::black));
    grid = colorOf("ic_clr_realtime_grid", QColor(60, 60, 60));
    axisText = colorOf("ic_clr_realtime_axis_text", QColor(150, 150, 150));
    priceLine = colorOf("ic_clr_realtime_price_line", QColor(230, 230, 230));
    averageLine = colorOf("ic_clr_realtime_average_line", QColor(240, 200, 40));
    preClose = colorOf("ic_clr_realtime_preclose_line", QColor(120, 120, 120));
    cross = colorOf("ic_clr_realtime_cross_line", QColor(200, 200, 200));
    readoutBg = colorOf("ic_clr_realtime_readout_background", background);
    rise = colorOf("ic_clr_browse_rise", QColor(255, 50, 50));
    fall = colorOf("ic_clr_browse_fall", QColor(0, 200, 0));
    equal = colorOf("ic_clr_browse_equal", QColor(200, 200, 200));
    ma[0] = colorOf("ic_clr_kline_ma5", QColor(230, 230, 230));
    ma[1] = colorOf("ic_clr_kline_ma10", QColor(240, 200, 40));
    ma[2] = colorOf("ic_clr_kline_ma20", QColor(220, 80, 220));
    font = XP::CUiResource::instance().getFont(QStringLiteral("ic_fnt_table_number_default"));
}

int priceDecimals(const ttservice::CInstrumentDetail* detail)
{
    return detail && detail->priceStep > 0 && detail->priceStep < 0.01 ? 3 : 2;
}

std::vector<quoter::KLineData> fetchBars(const QString& market, const QString& code, int64_t period,
                                         int64_t startTime)
{
    std::vector<quoter::KLineData> bars;
    se::RPCFetchCacheDataParam p;
    p.market = market.toStdString();
    p.codes = {code.toStdString()};
    p.period = period;
    p.quoterType = se::kQuoterTypeBar;
    p.lineSetting = 1; // no reference bar before the range
    p.startTime = startTime;
    p.endTime = quoter::TimeSeq::TIME_LASTED;
    CFormulaManager::instance()->fetchCacheData(
        p, [&bars](std::map<std::string, std::vector<quoter::QuoterBasePtr>>& data) {
            for (auto& entry : data) {
                for (const quoter::QuoterBasePtr& r : entry.second) {
                    if (const quoter::KLineData* k = quoter::asKLine(r.get()))
                        bars.push_back(*k);
                }
            }
        });
    return bars;
}

Panes splitPanes(double right, double bottom, int volumeShare)
{
    const double volH = std::max(0.0, (bottom - kGap) * volumeShare / 100.0);
    Panes out;
    out.price = QRectF(QPointF(kLeftAxis, kGap), QPointF(right, bottom - volH - kGap));
    out.volume = QRectF(QPointF(kLeftAxis, bottom - volH), QPointF(right, bottom));
    out.leftAxis = QRectF(QPointF(0, 0), QPointF(kLeftAxis, bottom));
    return out;
}

void resetBackground(QImage& image, const QSize& widgetSize, const QColor& fill)
{
    const QSize want = widgetSize.expandedTo(QSize(1, 1));
    if (image.size() != want)
        image = QImage(want, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
}

double labelBaseline(double y, const QFontMetrics& fm, double bottom)
{
    return std::clamp(y + fm.ascent() / 2.0 - 1, double(fm.ascent()), bottom + fm.ascent() / 2.0);
}

void drawLeftLabel(QPainter& p, const QFontMetrics& fm, double baseline, const QString& text)
{
    p.drawText(QPointF(kLeftAxis - 4 - fm.horizontalAdvance(text), baseline), text);
}

void drawCross(QPainter& p, const Palette& palette, const QRectF& price, const QRectF& volume,
               const QPointF& pt)
{
    p.setPen(hairline(palette.cross, Qt::DashLine));
    p.drawLine(QPointF(pt.x(), price.top()), QPointF(pt.x(), volume.bottom()));
    if (!std::isnan(pt.y()))
        p.drawLine(QPointF(price.left(), pt.y()), QPointF(price.right(), pt.y()));
}

void drawReadout(QPainter& p, const Palette& palette, const QRectF& plot, double x, double top,
                 const QString& text)
{
    p.setFont(palette.font);
    const QFontMetrics fm(palette.font);
    QRectF box(0, 0, fm.horizontalAdvance(text) + 10, fm.height() + 4);
    const bool atRight = x < plot.center().x();
    box.moveTopLeft(QPointF(atRight ? plot.right() - box.width() - 2 : plot.left() + 2, top));
    p.fillRect(box, palette.readoutBg);
    p.setPen(palette.cross);
    p.drawRect(box);
    p.drawText(box, Qt::AlignCenter, text);
}

bool parseParam(const QString& param, const char* tag, JsonObject& out)
{
    if (param.isEmpty())
        return false;
    JsonParseResult r = JsonParam::parse(param);
    if (!r.ok()) {
        TT_LOG_ERROR("%1% bad parameter string: %2%", tag, r.error);
        return false;
    }
    out = std::move(r.object);
    return true;
}

void readVolumeShare(const JsonObject& o, int& share)
{
    if (o.type("volumeShare") != JsonType::Int)
        return;
    const int v = o.getInt("volumeShare");
    if (v >= 0 && v <= 60)
        share = v;
}

// --- push link ---------------------------------------------------------------------------

std::shared_ptr<PushLink> PushLink::open(QObject* receiver, const QString& market,
                                         const QString& code, Handler handler)
{
    std::shared_ptr<PushLink> link(new PushLink);
    link->m_mailbox = CWorkerMailbox::create(receiver);
    link->m_receiver = receiver;
    link->m_market = market;
    link->m_code = code;
    link->m_handler = std::move(handler);
    std::weak_ptr<PushLink> weak = link;
    const QString wanted = code;
    link->m_nId = CFormulaManager::instance()->requestPushQuoter(
        dorn::PushQuoteParam(market.toStdString()),
        [weak, wanted](dorn::PushQuoteParam&, const QVector<QString>& codes,
                       const QVector<QString>&,
                       const std::vector<quoter::QuoterAllDataPtr>& quotes) {
            // the newest snapshot of the code is the last one in the batch
            const int n = std::min(codes.size(), int(quotes.size()));
            for (int i = n - 1; i >= 0; --i) {
                if (codes[i] == wanted && quotes[size_t(i)]) {
                    if (auto self = weak.lock())
                        self->deliver(quotes[size_t(i)]);
                    return;
                }
            }
        },
        CFormulaManager::ePushChanged);
    return link;
}

void PushLink::release(std::shared_ptr<PushLink>& link)
{
    if (link) {
        link->close();
        link.reset();
    }
}

PushLink::~PushLink()
{
    close();
}

void PushLink::close()
{
    if (m_nId > 0) {
        CFormulaManager::instance()->unrequestPushQuoter(
            m_nId, dorn::PushQuoteParam(m_market.toStdString()));
        m_nId = -1;
    }
    if (m_mailbox)
        m_mailbox->close();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.reset();
}

void PushLink::deliver(const quoter::QuoterAllDataPtr& q)
{
    if (m_mailbox->isClosed())
        return;
    if (QThread::currentThread() == m_receiver->thread()) {
        drain(); // keep the order: an older pending snapshot first
        m_handler(q);
        return;
    }
    bool idle = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        idle = !m_pending;
        m_pending = q;
    }
    // one drain per burst: later snapshots replace the pending one
    if (idle) {
        std::shared_ptr<PushLink> self = shared_from_this();
        m_mailbox->post([self]() { self->drain(); });
    }
}

void PushLink::drain()
{
    quoter::QuoterAllDataPtr q;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        q.swap(m_pending);
    }
    if (q && !m_mailbox->isClosed())
        m_handler(q);
}

} // namespace chart
} // namespace TC
