#pragma once
// A grid of small live panes, one per instrument of a list: code, name, latest price,
// change ratio and a line of today's minute closes. The grid shows one page of the list
// at a time, the page that holds the current instrument.

#include "host/widgets/CIndexPanelBaseWidget.h"

#include <QList>
#include <QString>
#include <QStringList>

class QGridLayout;
class QTimer;

namespace TC {

class CIndexMultiViewPane;

class CIndexMultiView final : public XP::CBaseWidget {
    Q_OBJECT
public:
    using PairParamFunc = CIndexPanelBaseWidget::PairParamFunc;
    // Quote refresh while requested.
    static constexpr int kRefreshMs = 1000;

    explicit CIndexMultiView(QWidget* parent = nullptr);
    ~CIndexMultiView() override;

    // Stock keys; a key the host does not know shows alone, without quotes. The current instrument
    // is cleared.
    void setStockList(const QStringList& keys);
    QStringList stockList() const { return m_keys; }
    // A key of the list becomes current (its page is shown); any other key clears it.
    void setCurrentStock(const QString& key);
    QString currentStock() const { return m_qsCurrent; }
    // Rows and columns, each clamped to 1..8.
    void setGrid(int rows, int cols);
    int rows() const { return m_nRows; }
    int cols() const { return m_nCols; }
    int firstShown() const { return m_nFirst; }

    // The panel's pair-parameter function: the settings of the panes the host opens from
    // the grid for an instrument.
    void setPairParamFunc(const PairParamFunc& func) { m_pairParam = func; }
    const PairParamFunc& pairParamFunc() const { return m_pairParam; }

    // Loads the shown panes' minute lines and quotes and refreshes the quotes every
    // kRefreshMs until unrequest.
    void request(bool force = false);
    void unrequest();
    bool isRequested() const;
    // Reads the latest quotes of the shown panes.
    void refreshQuotes();

    // Pane i of the grid (row-major), for the owner and tests.
    int paneCount() const { return m_panes.size(); }
    QString paneKey(int i) const;
    QString paneText(int i) const; // "code name latest ratio", as painted
    int paneLinePoints(int i) const;
    double paneLineLast(int i) const; // the line's newest price, 0 without a line
    bool paneIsCurrent(int i) const;

    void themeChanged() override;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    friend class CIndexMultiViewPane;
    void rebuildPanes();
    void fillPanes();
    void onPaneClicked(int index);

    QGridLayout* m_pGrid;
    QTimer* m_pTimer;
    QList<CIndexMultiViewPane*> m_panes;
    QStringList m_keys;
    QString m_qsCurrent;
    PairParamFunc m_pairParam;
    int m_nRows = 3;
    int m_nCols = 3;
    int m_nFirst = 0;
    bool m_bRequested = false;
};

} // namespace TC
