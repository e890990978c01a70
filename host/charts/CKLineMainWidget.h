#pragma once
// The host's daily k-line chart of one instrument: candlesticks in rise and fall colours
// with three moving averages (5, 10 and 20 days by default) and a volume pane, scrolled
// and zoomed with the keys and the wheel, and a cross line with a readout. Only the
// candles in view are drawn. The daily bars come from the host's history service; pushes
// move today's candle.

#include "host/charts/ChartCommon.h"
#include "host/toolkit/EventWidget.h"

#include <QtGui/QImage>

#include <memory>
#include <vector>

namespace ttservice {
struct CInstrumentDetail;
}

namespace TC {

class CKLineMainWidget : public XP::CBaseWidget {
    Q_OBJECT
public:
    // What the user changed while looking; resetUiParam returns it to the start.
    struct UiParam {
        bool crossline = false;
        int crossIndex = -1;
        int endOffset = 0; // candles hidden to the right of the view
    };

    explicit CKLineMainWidget(QWidget* parent = nullptr);
    ~CKLineMainWidget() override;

    void setStock(const QString& key);
    QString stock() const { return m_qsKey; }
    void clear(bool repaint = true);
    // Loads the daily bars and subscribes to the pushes of the instrument.
    void request(bool force = false);
    void unrequest();
    bool isRequested() const;
    void updateView();

    UiParam getUiParam() const;
    void resetUiParam();
    // Shows the newest candle at the right edge.
    void moveToEnd();
    // Turns the cross line on (over the newest candle in view) or off.
    void switchCrossline();
    void setCrossIndex(int index);
    QString readoutText() const;
    // Scrolls by candles (positive: towards older ones); zooms by steps (positive: wider).
    void scrollBy(int candles);
    void zoomBy(int steps);

    // Settings: {"barWidth": pixels, "ma": [n1, n2, n3], "volumeShare": percent}.
    QString param(bool save = false) const;
    // Members of another type are skipped; a string that does not parse changes nothing.
    void setParam(const QString& param);

    // Data entry used by request: daily bars, oldest first. Bars without a usable price
    // are left out.
    void setBars(const std::vector<quoter::KLineData>& bars);
    // A snapshot: moves today's candle or opens a new one.
    void applyQuote(const quoter::QuoterAllData& quote);

    // State and geometry, for the owner and tests.
    int barCount() const { return int(m_bars.size()); }
    const quoter::KLineData& bar(int index) const { return m_bars[size_t(index)]; }
    double maValue(int line, int index) const;
    int maPeriod(int line) const { return m_ma[line]; }
    int barWidth() const { return m_nBarWidth; }
    int firstVisible();
    int lastVisible();
    double barX(int index); // the candle's centre
    double priceY(double price);
    QRectF priceRect();
    QRectF volumeRect();
    quint64 fullLayoutCount() const { return m_nLayouts; }
    // Pushes handled since construction.
    quint64 pushCount() const { return m_nPushes; }

    void themeChanged() override;
    QSize sizeHint() const override { return QSize(600, 400); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void computeMa(size_t from);
    void ensureLayout();
    void paintBackground();
    int pitch() const { return m_nBarWidth + std::max(1, m_nBarWidth / 3); }
    bool fitsScale(int index) const;

    std::shared_ptr<ttservice::CInstrumentDetail> m_detail;
    QString m_qsKey;
    std::shared_ptr<chart::PushLink> m_link;
    chart::Palette m_palette;

    std::vector<quoter::KLineData> m_bars;
    std::vector<double> m_maValues[3]; // 0 where a line has too few bars
    int m_ma[3] = {5, 10, 20};
    int m_nBarWidth = 7;
    int m_nVolumeShare = 25;
    int m_nEndOffset = 0;
    bool m_bCross = false;
    int m_nCross = -1;

    bool m_bLayoutDirty = true;
    QImage m_background; // grid, scales and labels: redrawn only on a new layout
    QRectF m_priceRect, m_volumeRect, m_leftAxis;
    chart::ValueScale m_price;
    double m_dVolumeMax = 1.0;
    int m_nFirst = 0, m_nLastVisible = -1;
    quint64 m_nLayouts = 0;
    quint64 m_nPushes = 0;
};

} // namespace TC
