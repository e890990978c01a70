#pragma once
// The demo terminal's main window: the host's sector tree beside a browse table that
// shows the chosen sector live from the embedded market, with indicator columns computed
// live by the host's formula service ("MA5" from the start; the row menu's "选择自定义指标"
// adds more).

#include "host/data/ColumnInfo.h"

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace TC {
class CBrowseWidget;
class CSectorDetail;
} // namespace TC

class DemoWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit DemoWindow(QWidget* parent = nullptr);
    ~DemoWindow() override;

    // Shows a sector by name; false when the host does not know it.
    bool showSector(const QString& name);
    TC::CBrowseWidget* browse() const { return m_pBrowse; }
    // The instrument last chosen in the table (events 47 and 3083).
    QString chosenInstrument() const { return m_qsChosen; }
    QString summary() const;
    // Adds an indicator column of a host formula's first line to the table (kept across
    // sector switches) and queues its computation.
    void addIndicator(const QString& formula, const QString& title);
    // Lets the user tick host formulas to add as indicator columns.
    void chooseIndicators();

private:
    void buildMenus();
    void fillTree(QTreeWidgetItem* parentItem, TC::CSectorDetail* sector, int depth);
    void updateStatus();
    bool onHostEvent(QObject* sender, int id, int a, int b, const QString& text);
    void requestIndicators();

    QTreeWidget* m_pTree;
    TC::CBrowseWidget* m_pBrowse;
    QLabel* m_pRowsLabel;
    QLabel* m_pRateLabel;
    QLabel* m_pRefreshLabel;
    QLabel* m_pChosenLabel;
    QString m_qsChosen;
    quint64 m_nLastPushes = 0;
    QElapsedTimer m_rateClock;
    QList<TC::ColumnInfo> m_indicators;
};
