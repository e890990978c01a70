#pragma once
// The embedded host's end of the event bus: events that no widget consumed reach the
// application sink, and this log, once installed there, records them so that a terminal
// can follow what the widgets hand up (condition picking 3017, a new work group 3159, the
// early-warning radar 1185, multi-view layouts 3015, selections 3057 and 3059, ...) and
// tests can see it. Event 4004 (adding to a user sector on the light client: text
// {"sector": name, "stocks": [codes]}) is also carried out.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

namespace TC {

struct CHostEvent {
    int id = 0;
    int a = 0;
    int b = 0;
    QString text;
    const void* pointer = nullptr; // compared only, never dereferenced
    QPointer<QObject> sender;
};

class CHostEventLog final : public QObject {
    Q_OBJECT
public:
    enum {
        eEvAddToSector = 4004,
        eEvFilterByCondition = 3017,
        eEvCreateNewWork = 3159,
        eEvEarlyWarningRadar = 1185
    };

    static CHostEventLog* instance();

    // Becomes the application sink (replacing any other handler) / leaves it.
    void install();
    void uninstall();
    bool isInstalled() const { return m_bInstalled; }

    QList<CHostEvent> events() const { return m_events; }
    QList<CHostEvent> events(int id) const;
    int count(int id) const;
    void clear() { m_events.clear(); }

    // What the sink does with one event; true when the host handled it.
    bool receive(QObject* sender, int id, int a, int b, const QString& text, void* p);

Q_SIGNALS:
    void sigEvent(int id, int a, int b, const QString& text);

private:
    CHostEventLog() = default;
    bool m_bInstalled = false;
    QList<CHostEvent> m_events;
};

} // namespace TC
