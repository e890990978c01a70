#pragma once
// The browse views' share of the user configuration: quote refresh interval and the
// futures-option arbitrage filter. Listeners hear every change.

#include <QObject>
#include <functional>
#include <memory>

namespace TC {

class CIndexUserConfig final : public QObject {
    Q_OBJECT
public:
    CIndexUserConfig();
    ~CIndexUserConfig() override;

    int getRefreshInterval() const;  // ms, default 1000
    void setRefreshInterval(int ms); // values below 100 ms are raised to 100
    bool isShowFutureOptionArbitrage() const;
    void setShowFutureOptionArbitrage(bool on);

    // Returns an id for removeChangeListener; removal is safe at any time, also from
    // inside a listener.
    int addChangeListener(std::function<void()> listener);
    void removeChangeListener(int id);
    // A Qt slot ("1slotName()" / SLOT(...)) called on every change, once however often
    // it is added; a receiver that is destroyed is dropped by Qt.
    bool addChangeListener(const QObject* receiver, const char* member);
    bool removeChangeListener(const QObject* receiver);

    // "IndexUserConfig.json" in the data folder; the application's instance
    // (SingletonManager) also saves the user sectors (CSectorManager::saveUserSectors).
    bool save();
    bool load();
    void resetToDefaults();

Q_SIGNALS:
    void sigChanged();
    void sigSaved();

private:
    void notify();
    struct Impl;
    std::unique_ptr<Impl> d;
};

class SingletonManager final {
public:
    static CIndexUserConfig* getIndexUserConfig();
};

} // namespace TC
