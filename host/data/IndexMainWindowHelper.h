#pragma once
// The host main window's entry for requests the library hands up (sector analysis of an
// instrument). The embedded host has no main window: it records each request and announces
// it, so a terminal (or a test) can follow them.

#include <QObject>
#include <QString>
#include <QStringList>

#include <mutex>

namespace TC {

class CIndexMainWindowHelper final : public QObject {
    Q_OBJECT
public:
    static CIndexMainWindowHelper* inst();

    // Opens the analysis of the sectors an instrument belongs to; empty codes are ignored.
    void showContrastSector(const QString& code);
    // Codes of every request so far, oldest first.
    QStringList contrastRequests() const;
    // A text a panel hands up for the main window to act on (a command line, a function
    // code); recorded and announced.
    void handleText(const QString& text);
    QStringList textRequests() const;
    void clearRequests();

Q_SIGNALS:
    void sigContrastSector(const QString& code);
    void sigText(const QString& text);

private:
    CIndexMainWindowHelper() = default;
    mutable std::mutex m_mutex;
    QStringList m_contrastRequests;
    QStringList m_textRequests;
};

} // namespace TC
