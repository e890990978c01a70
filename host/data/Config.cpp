#include "host/data/Config.h"

#include <QDir>
#include <QStandardPaths>

#include <mutex>

namespace TC {

CConfig* getConfig()
{
    static CConfig config;
    return &config;
}

CUserConfig* getUserConfig()
{
    static CUserConfig* config = [] {
        auto* c = new CUserConfig; // shared with service threads until exit, never destroyed
        c->load();
        return c;
    }();
    return config;
}

QString getDataDir()
{
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    // read every time: tests point TT_USER_DIR at a fresh temporary folder
    QString dir = qEnvironmentVariable("TT_USER_DIR");
    if (dir.isEmpty()) {
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (dir.isEmpty())
            dir = QDir::homePath() + QStringLiteral("/.local/share");
        dir += QStringLiteral("/ttbrowse");
    }
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

} // namespace TC
