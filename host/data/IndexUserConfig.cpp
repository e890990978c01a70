#include "host/data/IndexUserConfig.h"

#include "host/data/Config.h"
#include "host/data/Log.h"
#include "host/data/SectorManager.h"
#include "host/data/StdFile.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <mutex>

namespace TC {

namespace {
const char* kFileName = "/IndexUserConfig.json";
constexpr int kDefaultInterval = 1000;
constexpr int kMinInterval = 100;
} // namespace

struct CIndexUserConfig::Impl {
    mutable std::recursive_mutex mutex;
    int refreshMs = kDefaultInterval;
    bool showArbitrage = false;
    int nextId = 1;
    // id -> listener; shared so a call in progress survives its removal
    std::map<int, std::shared_ptr<std::function<void()>>> listeners;
};

CIndexUserConfig::CIndexUserConfig() : d(std::make_unique<Impl>()) {}
CIndexUserConfig::~CIndexUserConfig() = default;

int CIndexUserConfig::getRefreshInterval() const
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    return d->refreshMs;
}

void CIndexUserConfig::setRefreshInterval(int ms)
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        ms = std::max(ms, kMinInterval);
        if (ms == d->refreshMs)
            return;
        d->refreshMs = ms;
    }
    notify();
}

bool CIndexUserConfig::isShowFutureOptionArbitrage() const
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    return d->showArbitrage;
}

void CIndexUserConfig::setShowFutureOptionArbitrage(bool on)
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        if (on == d->showArbitrage)
            return;
        d->showArbitrage = on;
    }
    notify();
}

int CIndexUserConfig::addChangeListener(std::function<void()> listener)
{
    if (!listener)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    const int id = d->nextId++;
    d->listeners.emplace(id, std::make_shared<std::function<void()>>(std::move(listener)));
    return id;
}

void CIndexUserConfig::removeChangeListener(int id)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    d->listeners.erase(id);
}

bool CIndexUserConfig::addChangeListener(const QObject* receiver, const char* member)
{
    if (!receiver || !member)
        return false;
    // registering twice keeps one connection
    disconnect(this, SIGNAL(sigChanged()), receiver, member);
    return static_cast<bool>(connect(this, SIGNAL(sigChanged()), receiver, member));
}

bool CIndexUserConfig::removeChangeListener(const QObject* receiver)
{
    return receiver && disconnect(this, SIGNAL(sigChanged()), receiver, nullptr);
}

void CIndexUserConfig::notify()
{
    // call outside the lock on a snapshot; skip listeners removed meanwhile
    std::vector<std::pair<int, std::shared_ptr<std::function<void()>>>> snapshot;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        snapshot.assign(d->listeners.begin(), d->listeners.end());
    }
    for (const auto& entry : snapshot) {
        {
            std::lock_guard<std::recursive_mutex> lock(d->mutex);
            if (!d->listeners.count(entry.first))
                continue;
        }
        (*entry.second)();
    }
    Q_EMIT sigChanged();
}

bool CIndexUserConfig::save()
{
    QJsonObject root;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        root.insert(QStringLiteral("refreshInterval"), d->refreshMs);
        root.insert(QStringLiteral("showFutureOptionArbitrage"), d->showArbitrage);
    }
    bool ok = writeJsonFile(getDataDir() + QLatin1String(kFileName), QJsonDocument(root));
    // the user's own sectors are part of the host's index configuration: panels that
    // edit them save through it
    if (this == SingletonManager::getIndexUserConfig())
        ok = CSectorManager::instance()->saveUserSectors() && ok;
    if (ok)
        Q_EMIT sigSaved();
    return ok;
}

bool CIndexUserConfig::load()
{
    QJsonDocument doc;
    if (!readJsonFile(getDataDir() + QLatin1String(kFileName), "IndexUserConfig", doc)
        || !doc.isObject())
        return false;
    const QJsonObject root = doc.object();
    const int ms = root.value(QStringLiteral("refreshInterval")).toInt(kDefaultInterval);
    const bool arb = root.value(QStringLiteral("showFutureOptionArbitrage")).toBool(false);
    bool changed;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        const int next = std::max(ms, kMinInterval);
        changed = next != d->refreshMs || arb != d->showArbitrage;
        d->refreshMs = next;
        d->showArbitrage = arb;
    }
    if (changed)
        notify();
    return true;
}

void CIndexUserConfig::resetToDefaults()
{
    bool changed;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        changed = d->refreshMs != kDefaultInterval || d->showArbitrage;
        d->refreshMs = kDefaultInterval;
        d->showArbitrage = false;
    }
    if (changed)
        notify();
}

CIndexUserConfig* SingletonManager::getIndexUserConfig()
{
    static CIndexUserConfig* config = [] {
        auto* c = new CIndexUserConfig; // used by widgets until exit, never destroyed
        c->load();
        return c;
    }();
    return config;
}

} // namespace TC
