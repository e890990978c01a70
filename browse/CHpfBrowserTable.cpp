#include "browse/CHpfBrowserTable.h"

#include "browse/BrowseEvents.h"

#include "host/data/Config.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

namespace TC {

namespace {
constexpr int kFlagBrowseTable = 0x2000000;
} // namespace

CHpfBrowserTable::CHpfBrowserTable(int id, QWidget* parent, int menuFlags)
    : XP::CBaseHighPerformanceTable(id, parent, menuFlags), m_pClickTimer(new QTimer(this))
{
    m_pClickTimer->setSingleShot(true);
    m_pClickTimer->setInterval(kHeaderClickDelayMs);
    connect(m_pClickTimer, &QTimer::timeout, this, &CHpfBrowserTable::slotTableHeaderClick);
    addTableFlag(kFlagBrowseTable);
    const bool concise = TC::getConfig()->conciseStyle;
    setScrollBarColorKeys(concise ? QStringLiteral("ic_clr_concise_scrollbar_normal")
                                  : QStringLiteral("ic_clr_scrollbar_normal"),
                          concise ? QStringLiteral("ic_clr_concise_addsub_page_scrollbar_press")
                                  : QStringLiteral("ic_clr_addsub_page_scrollbar_press"),
                          QStringLiteral("ic_clr_scrollbar_press"),
                          QStringLiteral("ic_clr_scrollbar_hover"),
                          QStringLiteral("ic_clr_scrollbar_background"));
}

CHpfBrowserTable::~CHpfBrowserTable() = default;

bool CHpfBrowserTable::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    if (id == Event_HeaderClick) {
        if (m_bClickPending) {
            m_bClickPending = false;
            m_pClickTimer->stop();
            deliverEvent(Event_DefaultOrder);
        } else {
            m_bClickPending = true;
            m_nPendingColumn = b;
            m_pClickTimer->start();
        }
        return true;
    }
    if ((id == Event_ScrollPressed || id == Event_ScrollDragged) && a == 1) {
        Q_EMIT sigDragScollBar();
        return true;
    }
    return XP::CBaseHighPerformanceTable::handleEvent(id, a, b, text, p);
}

void CHpfBrowserTable::slotTableHeaderClick()
{
    m_bClickPending = false;
    XP::CBaseHighPerformanceTable::handleEvent(Event_HeaderClick, tableId(), m_nPendingColumn,
                                               QString(), nullptr);
}

void CHpfBrowserTable::wheelEvent(QWheelEvent* event)
{
    XP::CBaseHighPerformanceTable::wheelEvent(event);
    if (isVerticalScrollVisible())
        Q_EMIT sigWheelEvent(-1);
}

void CHpfBrowserTable::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    XP::CBaseHighPerformanceTable::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        deliverEvent(Event_Enter, tableId(), getSelectedRow(), QString());
}

QString CHpfBrowserTable::selectionText() const
{
    const QList<int> rows = getSelectedRows();
    if (rows.isEmpty())
        return QString();
    QVector<int> columns;
    for (int pos = 0; pos < columnCount(); ++pos) {
        const int id = columnIdAt(pos);
        if (id >= 0 && isColumnVisible(id))
            columns.append(id);
    }
    QString text;
    for (int i = 0; i < columns.size(); ++i) {
        if (i)
            text += QLatin1Char('\t');
        text += headerText(columns[i]);
    }
    text += QLatin1Char('\n');
    for (int row : rows) {
        for (int i = 0; i < columns.size(); ++i) {
            if (i)
                text += QLatin1Char('\t');
            text += getItemText(row, columns[i]);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

void CHpfBrowserTable::copy()
{
    const QString text = selectionText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

} // namespace TC
