#pragma once
// The browse table's view: a delayed header click (a second click within 250 ms is a
// double click that asks for the default order), the Enter key, and notices of wheel
// turns and scroll-bar drags that release the selected instrument.

#include "host/toolkit/BaseHighPerformanceTable.h"

class QTimer;

namespace TC {

class CHpfBrowserTable : public XP::CBaseHighPerformanceTable {
    Q_OBJECT
public:
    enum { kHeaderClickDelayMs = 250 };

    CHpfBrowserTable(int id, QWidget* parent, int menuFlags);
    ~CHpfBrowserTable() override;

    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;
    // Visible column titles, then each selected row's visible cells; tab separated.
    QString selectionText() const;
    // Puts selectionText() on the clipboard when rows are selected.
    void copy();
    bool isHeaderClickPending() const { return m_bClickPending; }

Q_SIGNALS:
    void sigWheelEvent(int delta);
    void sigDragScollBar();

private Q_SLOTS:
    void slotTableHeaderClick();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_bClickPending = false;
    int m_nPendingColumn = -1;
    QTimer* m_pClickTimer;
};

} // namespace TC
