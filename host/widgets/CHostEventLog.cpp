#include "host/widgets/CHostEventLog.h"

#include "host/data/Log.h"
#include "host/data/SectorManager.h"
#include "host/toolkit/EventWidget.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace TC {

namespace {
// Keeps the log bounded in a long-running terminal.
constexpr int kMaxEvents = 10000;
} // namespace

CHostEventLog* CHostEventLog::instance()
{
    static CHostEventLog* log = new CHostEventLog; // lives as long as the sink may call it
    return log;
}

void CHostEventLog::install()
{
    XP::CEventSink::setHandler([this](QObject* sender, int id, int a, int b, const QString& text,
                                      void* p) { return receive(sender, id, a, b, text, p); });
    m_bInstalled = true;
}

void CHostEventLog::uninstall()
{
    if (m_bInstalled)
        XP::CEventSink::clearHandler();
    m_bInstalled = false;
}

QList<CHostEvent> CHostEventLog::events(int id) const
{
    QList<CHostEvent> out;
    for (const CHostEvent& e : m_events)
        if (e.id == id)
            out.append(e);
    return out;
}

int CHostEventLog::count(int id) const
{
    int n = 0;
    for (const CHostEvent& e : m_events)
        n += e.id == id;
    return n;
}

bool CHostEventLog::receive(QObject* sender, int id, int a, int b, const QString& text, void* p)
{
    if (m_events.size() >= kMaxEvents)
        m_events.removeFirst();
    m_events.append({id, a, b, text, p, sender});
    bool handled =
        id == eEvFilterByCondition || id == eEvCreateNewWork || id == eEvEarlyWarningRadar;
    if (id == eEvAddToSector) {
        const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
        const QString sector = o.value(QStringLiteral("sector")).toString();
        QStringList codes;
        for (const QJsonValue& v : o.value(QStringLiteral("stocks")).toArray())
            if (v.isString())
                codes.append(v.toString());
        CSectorManager* m = CSectorManager::instance();
        handled = !sector.isEmpty() && m->addStockListToSector(sector, codes) > 0;
        if (handled) {
            m->updateSelfSelect(0, codes);
            m->saveUserSectors();
        } else {
            TT_LOG_WARN("[CHostEventLog] event 4004 added nothing: %1%", text.left(200));
        }
    }
    Q_EMIT sigEvent(id, a, b, text);
    return handled;
}

} // namespace TC
