#pragma once
// The host's intraday chart of one instrument: the price and average-price lines over the
// trading day's minutes (breaks collapsed), the previous close as the reference line, a
// price scale on the left and a percent scale on the right in rise and fall colours, the
// minute volumes below and a cross line with a readout under the mouse or the arrow keys.
// Today's minute bars come from the host's history service; pushes move the last minute.

#include "host/charts/ChartCommon.h"
#include "host/toolkit/EventWidget.h"

#include <QtGui/QImage>

#include <memory>
#include <vector>

namespace ttservice {
struct CInstrumentDetail;
}

namespace TC {

class CRealtimeMainWidget : public XP::CBaseWidget {
    Q_OBJECT
public:
    explicit CRealtimeMainWidget(QWidget* parent = nullptr);
    ~CRealtimeMainWidget() override;

    // The instrument by stock key; nothing is fetched until request. An unknown key shows
    // the empty chart.
    void setStock(const QString& key, bool refresh = true);
    QString stock() const { return m_qsKey; }
    // Drops the data (and with it the cross line); repaints unless told not to.
    void clear(bool repaint = true);
    // Loads today's minutes and subscribes to the pushes of the instrument.
    void request(bool force = false);
    void unrequest();
    bool isRequested() const;
    void updateView();
    // Hides the cross line.
    void resetUiParam();

    // Display settings: {"average": bool, "volumeShare": percent of the height}.
    QString param() const;
    // Members of another type are skipped; a string that does not parse changes nothing.
    void setParam(const QString& param);

    // Data entry used by request: minute bars (bar time = the minute's end) and the
    // reference close. Bars outside the session axis, or without a usable price, are left
    // out; missing minutes carry the previous price with no volume.
    void setMinuteBars(const std::vector<quoter::KLineData>& bars, double preClose);
    // A snapshot of the instrument: moves the last minute, or opens the next.
    void applyQuote(const quoter::QuoterAllData& quote);
    void setSessions(const QVector<QPair<int64_t, int64_t>>& sessions);

    // The cross line over a slot (-1 hides it).
    void setCrossIndex(int slot);
    int crossIndex() const { return m_nCross; }
    QString readoutText() const;

    // State and geometry, for the owner and tests.
    int slotCount() const { return m_axis.slotCount(); }
    int lastSlot() const { return m_nLast; }
    double preClose() const { return m_dPreClose; }
    double priceAt(int slot) const;
    double averageAt(int slot) const;
    qint64 volumeAt(int slot) const;
    bool averageShown() const { return m_bAverage; }
    int volumeShare() const { return m_nVolumeShare; }
    QRectF priceRect() const;
    QRectF volumeRect() const;
    QRectF rightAxisRect() const;
    double priceY(double price);
    double slotX(int slot);
    quint64 fullLayoutCount() const { return m_nLayouts; }
    // Pushes handled since construction.
    quint64 pushCount() const { return m_nPushes; }

    void themeChanged() override;
    QSize sizeHint() const override { return QSize(600, 400); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Slot {
        double price = 0.0;   // close of the minute; 0 until the minute is known
        double average = 0.0; // 0 when not known
        qint64 volume = 0;
        bool rise = true; // close at or above the previous minute's
    };
    void ensureLayout();
    double xOfSlot(int slot) const; // as laid out, without laying out
    void layoutPoints(int from);
    bool fitsScale(int slot) const;
    void paintBackground();
    void setSlot(int slot, double price, double average, qint64 volume);
    double averageFactor(const quoter::QuoterAllData* quote) const;

    std::shared_ptr<ttservice::CInstrumentDetail> m_detail;
    QString m_qsKey;
    std::shared_ptr<chart::PushLink> m_link;
    chart::SessionAxis m_axis;
    chart::Palette m_palette;

    std::vector<Slot> m_slots;
    int m_nLast = -1;           // last slot with data
    qint64 m_nVolumeBefore = 0; // day's volume before the last slot
    double m_dAmountBefore = 0; // day's amount before the last slot
    double m_dPreClose = 0.0;
    double m_dFactor = 0.0; // amount per unit of volume and price; 0 unknown
    bool m_bAverage = true;
    int m_nVolumeShare = 25;
    int m_nCross = -1;

    // layout cache: rebuilt when the size, the theme or the scales change
    bool m_bLayoutDirty = true;
    QImage m_background; // grid, scales and labels: redrawn only on a new layout
    QRectF m_priceRect, m_volumeRect, m_leftAxis, m_rightAxis, m_timeAxis;
    chart::ValueScale m_price;
    double m_dVolumeMax = 1.0;
    QVector<QPointF> m_pricePts, m_avgPts;
    QVector<QRectF> m_volRects;
    quint64 m_nLayouts = 0;
    quint64 m_nPushes = 0;
};

} // namespace TC
