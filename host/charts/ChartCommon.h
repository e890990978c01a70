#pragma once
// Pieces the host's intraday and k-line charts share: the value-to-pixel scale, the
// trading-session minute axis, the theme palette and the push link of one instrument.

#include "host/data/Quote.h"

#include <QtCore/QString>
#include <QtCore/QVector>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QPen>

#include <QtCore/QRectF>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QFontMetrics;
class QImage;
class QObject;
class QPainter;

namespace ttservice {
struct CInstrumentDetail;
}

namespace TC {

class JsonObject;

class CWorkerMailbox;

namespace chart {

// One pixel wide whatever the transform: the raster engine draws such lines, dashed or
// antialiased, without running them through the path stroker.
inline QPen hairline(const QColor& color, Qt::PenStyle style = Qt::SolidLine)
{
    return QPen(color, 0, style);
}

// A price that can be drawn: finite and above zero.
inline bool isPrice(double v)
{
    return v > 0.0 && v < 1e300; // false for NaN as well
}

// Maps values in [lo, hi] to pixel rows [bottom, top]. A range that is empty, inverted or
// not finite is widened around its middle, so the mapping never divides by zero.
class ValueScale {
public:
    void set(double lo, double hi, double top, double bottom);
    double y(double value) const { return m_bottom - (value - m_lo) * m_k; }
    double value(double y) const { return m_lo + (m_bottom - y) / m_k; }
    double lo() const { return m_lo; }
    double hi() const { return m_hi; }
    bool contains(double v) const { return v >= m_lo && v <= m_hi; }

private:
    double m_lo = 0.0, m_hi = 1.0, m_top = 0.0, m_bottom = 1.0, m_k = 1.0;
};

// The minutes of one trading day with the breaks between sessions collapsed: slot 0 is
// the first open, slot i > 0 the minute ending i minutes of trading later.
class SessionAxis {
public:
    struct Session {
        int64_t startMs, endMs;
        int firstSlot; // slot of the session's first minute end
    };
    // The sessions of the instrument's current trading day; SH/SZ hours for a market the
    // host does not know.
    void build(const QString& market, const QString& code);
    void setSessions(const QVector<QPair<int64_t, int64_t>>& sessions);
    int slotCount() const { return m_nSlots; }
    // Slot of a bar ending at ms, or of a snapshot taken at ms (its minute's end); -1
    // outside the day. Times before the first open fall on slot 0.
    int slotOf(int64_t ms) const;
    // Wall time (ms) at a slot's end.
    int64_t timeOf(int slot) const;
    // Slots where a session starts (for the axis labels and separators).
    QVector<int> sessionStarts() const;
    const QVector<Session>& sessions() const { return m_sessions; }

private:
    QVector<Session> m_sessions;
    int m_nSlots = 1;
};

// Colours and fonts of the charts, read from the theme with fallbacks for missing keys.
struct Palette {
    QColor background, grid, axisText, priceLine, averageLine, preClose, cross, readoutBg;
    QColor rise, fall, equal;
    QColor ma[3];
    QFont font;
    void load();
};

constexpr int kLeftAxis = 62; // width of the price labels left of the plot
constexpr int kGap = 4;       // above the price pane and between the panes

// Decimals a price of the instrument is shown with: three for a tick below one cent.
int priceDecimals(const ttservice::CInstrumentDetail* detail);

// Bars of one instrument from the host's history service, from startTime to the newest.
std::vector<quoter::KLineData> fetchBars(const QString& market, const QString& code, int64_t period,
                                         int64_t startTime);

// The price pane over the volume pane, which takes volumeShare percent of the height
// above bottom; the price labels' column to the left of both.
struct Panes {
    QRectF price, volume, leftAxis;
};
Panes splitPanes(double right, double bottom, int volumeShare);

// The cached background at the widget's size, filled with the background colour.
void resetBackground(QImage& image, const QSize& widgetSize, const QColor& fill);
// Baseline of an axis label centred on y, kept inside the axis down to bottom.
double labelBaseline(double y, const QFontMetrics& fm, double bottom);
// A label ending at the left axis' inner edge.
void drawLeftLabel(QPainter& p, const QFontMetrics& fm, double baseline, const QString& text);

// The cross line at pt over the price and volume panes; no horizontal line where pt.y()
// is NaN.
void drawCross(QPainter& p, const Palette& palette, const QRectF& price, const QRectF& volume,
               const QPointF& pt);
// The readout box at top, on the side of the plot away from the cross line at x.
void drawReadout(QPainter& p, const Palette& palette, const QRectF& plot, double x, double top,
                 const QString& text);

// Parses a settings string into out; false, logged under tag, when it does not parse. An
// empty string is no change and not logged.
bool parseParam(const QString& param, const char* tag, JsonObject& out);
// The "volumeShare" member, when an int within 0..60.
void readVolumeShare(const JsonObject& o, int& share);

// Pushes of one instrument: subscribes the market, keeps only the newest snapshot of the
// code and hands it to the GUI thread. A snapshot arriving on the receiver's own thread
// is handed over at once. The link owns no widget: once closed nothing reaches the
// receiver, and a drain posted before then is dropped with the receiver.
class PushLink : public std::enable_shared_from_this<PushLink> {
public:
    using Handler = std::function<void(const quoter::QuoterAllDataPtr&)>;
    static std::shared_ptr<PushLink> open(QObject* receiver, const QString& market,
                                          const QString& code, Handler handler);
    ~PushLink();
    // Cancels the subscription (waiting for a running delivery) and drops what is pending.
    void close();
    bool isOpen() const { return m_nId > 0; }
    // Closes and drops the link, if any.
    static void release(std::shared_ptr<PushLink>& link);
    static bool isOpen(const std::shared_ptr<PushLink>& link) { return link && link->isOpen(); }

private:
    PushLink() = default;
    void deliver(const quoter::QuoterAllDataPtr& q);
    void drain();

    std::shared_ptr<CWorkerMailbox> m_mailbox;
    QObject* m_receiver = nullptr;
    QString m_market, m_code;
    Handler m_handler;
    int m_nId = -1;
    std::mutex m_mutex;
    quoter::QuoterAllDataPtr m_pending; // newest snapshot not yet handed over
};

} // namespace chart
} // namespace TC
