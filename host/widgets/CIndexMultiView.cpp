#include "host/widgets/CIndexMultiView.h"

#include "host/charts/ChartCommon.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/Log.h"
#include "host/data/StockManager.h"

#include <QGridLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>

namespace TC {

namespace {
constexpr int kMaxGrid = 8;
constexpr int kRowText = 18;         // height of each of the two text lines
constexpr int kMaxQuotePoints = 600; // a line drawn from quotes alone keeps this many
} // namespace

// One instrument's tile. Everything it paints is prepared when the data change, so that
// painting builds no strings.
class CIndexMultiViewPane final : public QWidget {
public:
    CIndexMultiViewPane(CIndexMultiView* owner, int index)
        : QWidget(owner), m_owner(owner), m_nIndex(index)
    {
        setMinimumSize(60, 48);
    }

    void setStock(const QString& key)
    {
        if (key == m_qsKey)
            return;
        m_qsKey = key;
        m_detail = key.isEmpty() ? nullptr : CStockManager::instance()->getInstrumentDetail(key);
        m_dLast = m_dRef = 0.0;
        m_closes.clear();
        m_qsTitle = m_detail ? m_detail->code + QLatin1Char(' ') + m_detail->name : key;
        updateQuoteText();
    }

    void loadLine()
    {
        clearLine();
        if (!m_detail)
            return;
        chart::SessionAxis axis;
        axis.build(m_detail->market, m_detail->code);
        const int64_t start =
            axis.sessions().isEmpty() ? 0 : axis.sessions().front().startMs - 3600000;
        const std::vector<quoter::KLineData> bars =
            chart::fetchBars(m_detail->market, m_detail->code, se::kPeriodMinute, start);
        m_closes.reserve(int(bars.size()) + 1);
        for (const quoter::KLineData& b : bars) {
            if (chart::isPrice(b.close))
                m_closes.append(b.close);
        }
        // without bars the quotes draw the line
        m_bLineFromBars = !m_closes.isEmpty();
    }

    void readQuote()
    {
        if (!m_detail)
            return;
        const quoter::QuoterAllDataPtr q =
            getLastQuoterAllDataPtr(m_detail->market, m_detail->code);
        if (!q)
            return;
        const double ref = chart::isPrice(q->preClose)        ? q->preClose
                           : chart::isPrice(q->preSettlement) ? q->preSettlement
                                                              : m_detail->refPrice;
        if (q->last == m_dLast && ref == m_dRef)
            return;
        m_dLast = q->last;
        m_dRef = ref;
        // the quote moves the line's last minute (or starts the line without bars)
        if (chart::isPrice(m_dLast)) {
            if (m_closes.isEmpty() || !m_bLineFromBars) {
                if (m_closes.size() >= kMaxQuotePoints)
                    m_closes.removeFirst();
                m_closes.append(m_dLast);
            } else
                m_closes.last() = m_dLast;
        }
        updateQuoteText();
    }

    void clearLine()
    {
        m_closes.clear();
        m_bLineFromBars = false;
    }

    void setCurrent(bool on)
    {
        if (m_bCurrent != on) {
            m_bCurrent = on;
            update();
        }
    }

    const QString& key() const { return m_qsKey; }
    bool isCurrent() const { return m_bCurrent; }
    int linePoints() const { return m_closes.size(); }
    double lineLast() const { return m_closes.isEmpty() ? 0.0 : m_closes.last(); }
    QString text() const { return m_qsTitle + QLatin1Char(' ') + m_qsQuote; }

    void loadPalette() { m_palette.load(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = rect();
        p.fillRect(r, m_palette.background);
        p.setPen(chart::hairline(m_bCurrent ? m_palette.cross : m_palette.grid));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        if (m_qsKey.isEmpty())
            return;
        p.setFont(m_palette.font);
        p.setPen(m_palette.axisText);
        p.drawText(QRect(4, 0, r.width() - 8, kRowText), Qt::AlignLeft | Qt::AlignVCenter,
                   m_qsTitle);
        p.setPen(m_quoteColour);
        p.drawText(QRect(4, kRowText, r.width() - 8, kRowText), Qt::AlignLeft | Qt::AlignVCenter,
                   m_qsQuote);
        paintLine(p, QRectF(4, 2 * kRowText + 2, r.width() - 8, r.height() - 2 * kRowText - 6));
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_owner->onPaneClicked(m_nIndex);
        QWidget::mousePressEvent(event);
    }

private:
    void paintLine(QPainter& p, const QRectF& area)
    {
        if (m_closes.size() < 2 || area.height() < 4)
            return;
        double lo = m_closes.first(), hi = lo;
        for (double v : m_closes) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        if (chart::isPrice(m_dRef)) {
            lo = std::min(lo, m_dRef);
            hi = std::max(hi, m_dRef);
        }
        chart::ValueScale scale;
        scale.set(lo, hi > lo ? hi : lo + 1.0, area.top(), area.bottom());
        const double step = area.width() / double(m_closes.size() - 1);
        if (chart::isPrice(m_dRef)) {
            p.setPen(chart::hairline(m_palette.preClose, Qt::DashLine));
            p.drawLine(QPointF(area.left(), scale.y(m_dRef)),
                       QPointF(area.right(), scale.y(m_dRef)));
        }
        p.setPen(chart::hairline(m_palette.priceLine));
        QPointF prev(area.left(), scale.y(m_closes.first()));
        for (int i = 1; i < m_closes.size(); ++i) {
            const QPointF next(area.left() + step * i, scale.y(m_closes[i]));
            p.drawLine(prev, next);
            prev = next;
        }
    }

    void updateQuoteText()
    {
        if (!m_detail || !chart::isPrice(m_dLast)) {
            m_qsQuote = QStringLiteral("- -");
            m_quoteColour = m_palette.equal;
        } else {
            const int decimals = chart::priceDecimals(m_detail.get());
            QString ratio = QStringLiteral("-");
            if (chart::isPrice(m_dRef)) {
                const double pct = (m_dLast - m_dRef) / m_dRef * 100.0;
                ratio = QString::number(pct, 'f', 2) + QLatin1Char('%');
                m_quoteColour = pct > 0   ? m_palette.rise
                                : pct < 0 ? m_palette.fall
                                          : m_palette.equal;
            } else {
                m_quoteColour = m_palette.equal;
            }
            m_qsQuote = QString::number(m_dLast, 'f', decimals) + QLatin1Char(' ') + ratio;
        }
        update();
    }

    CIndexMultiView* m_owner;
    int m_nIndex;
    QString m_qsKey;
    ttservice::CInstrumentDetailPtr m_detail;
    double m_dLast = 0.0;
    double m_dRef = 0.0;
    QVector<double> m_closes;
    bool m_bLineFromBars = false;
    bool m_bCurrent = false;
    QString m_qsTitle;
    QString m_qsQuote;
    QColor m_quoteColour;
    chart::Palette m_palette;
};

CIndexMultiView::CIndexMultiView(QWidget* parent)
    : XP::CBaseWidget(parent, QStringLiteral("index_multi_view")), m_pGrid(new QGridLayout(this)),
      m_pTimer(new QTimer(this))
{
    m_pGrid->setContentsMargins(0, 0, 0, 0);
    m_pGrid->setSpacing(1);
    m_pTimer->setInterval(kRefreshMs);
    connect(m_pTimer, &QTimer::timeout, this, &CIndexMultiView::refreshQuotes);
    rebuildPanes();
}

CIndexMultiView::~CIndexMultiView() = default;

void CIndexMultiView::setStockList(const QStringList& keys)
{
    m_keys = keys;
    m_qsCurrent.clear();
    m_nFirst = 0;
    fillPanes();
}

void CIndexMultiView::setCurrentStock(const QString& key)
{
    const int at = key.isEmpty() ? -1 : m_keys.indexOf(key);
    m_qsCurrent = at >= 0 ? key : QString();
    const int page = m_nRows * m_nCols;
    const int first = at >= 0 ? at / page * page : m_nFirst;
    if (first != m_nFirst) {
        m_nFirst = first;
        fillPanes();
        return;
    }
    for (CIndexMultiViewPane* pane : qAsConst(m_panes))
        pane->setCurrent(!m_qsCurrent.isEmpty() && pane->key() == m_qsCurrent);
}

void CIndexMultiView::setGrid(int rows, int cols)
{
    rows = std::max(1, std::min(kMaxGrid, rows));
    cols = std::max(1, std::min(kMaxGrid, cols));
    if (rows == m_nRows && cols == m_nCols)
        return;
    m_nRows = rows;
    m_nCols = cols;
    rebuildPanes();
    setCurrentStock(m_qsCurrent);
}

void CIndexMultiView::rebuildPanes()
{
    qDeleteAll(m_panes);
    m_panes.clear();
    for (int r = 0; r < m_nRows; ++r) {
        for (int c = 0; c < m_nCols; ++c) {
            auto* pane = new CIndexMultiViewPane(this, m_panes.size());
            pane->loadPalette();
            m_pGrid->addWidget(pane, r, c);
            m_panes.append(pane);
        }
    }
    for (int r = 0; r < kMaxGrid; ++r)
        m_pGrid->setRowStretch(r, r < m_nRows ? 1 : 0);
    for (int c = 0; c < kMaxGrid; ++c)
        m_pGrid->setColumnStretch(c, c < m_nCols ? 1 : 0);
    fillPanes();
}

void CIndexMultiView::fillPanes()
{
    for (int i = 0; i < m_panes.size(); ++i) {
        const int at = m_nFirst + i;
        CIndexMultiViewPane* pane = m_panes[i];
        pane->setStock(at < m_keys.size() ? m_keys[at] : QString());
        pane->setCurrent(!m_qsCurrent.isEmpty() && pane->key() == m_qsCurrent);
        if (m_bRequested) {
            pane->loadLine();
            pane->readQuote();
        } else {
            pane->clearLine();
        }
    }
}

void CIndexMultiView::request(bool force)
{
    if (m_bRequested && !force)
        return;
    m_bRequested = true;
    for (CIndexMultiViewPane* pane : qAsConst(m_panes)) {
        pane->loadLine();
        pane->readQuote();
    }
    m_pTimer->start();
    TT_LOG_INFO("[multiview] request %1% instruments, first shown %2%", m_keys.size(), m_nFirst);
}

void CIndexMultiView::unrequest()
{
    m_bRequested = false;
    m_pTimer->stop();
}

bool CIndexMultiView::isRequested() const
{
    return m_bRequested;
}

void CIndexMultiView::refreshQuotes()
{
    for (CIndexMultiViewPane* pane : qAsConst(m_panes))
        pane->readQuote();
}

QString CIndexMultiView::paneKey(int i) const
{
    return i >= 0 && i < m_panes.size() ? m_panes[i]->key() : QString();
}

QString CIndexMultiView::paneText(int i) const
{
    return i >= 0 && i < m_panes.size() ? m_panes[i]->text() : QString();
}

int CIndexMultiView::paneLinePoints(int i) const
{
    return i >= 0 && i < m_panes.size() ? m_panes[i]->linePoints() : 0;
}

double CIndexMultiView::paneLineLast(int i) const
{
    return i >= 0 && i < m_panes.size() ? m_panes[i]->lineLast() : 0.0;
}

bool CIndexMultiView::paneIsCurrent(int i) const
{
    return i >= 0 && i < m_panes.size() && m_panes[i]->isCurrent();
}

void CIndexMultiView::onPaneClicked(int index)
{
    const QString key = paneKey(index);
    if (key.isEmpty())
        return;
    setCurrentStock(key);
    deliverEvent(47, 0, 0, key, nullptr);
}

void CIndexMultiView::themeChanged()
{
    for (CIndexMultiViewPane* pane : qAsConst(m_panes)) {
        pane->loadPalette();
        pane->update();
    }
}

void CIndexMultiView::hideEvent(QHideEvent* event)
{
    unrequest();
    XP::CBaseWidget::hideEvent(event);
}

} // namespace TC
