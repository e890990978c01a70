#pragma once
// The user's configuration: number formats, volume display, option settings,
// baskets, product groups and indicator refresh settings. Guarded by a mutex; read from any thread.

#include "host/data/AutoRefreshParam.h"
#include "host/data/BasketSetting.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

namespace TC {

class CUserConfig final {
public:
    CUserConfig();
    ~CUserConfig();
    CUserConfig(const CUserConfig&) = delete;
    CUserConfig& operator=(const CUserConfig&) = delete;

    // Flags for the host number formatting (thousands separators and the like).
    int getSegmentedFormatFlag() const;
    void setSegmentedFormatFlag(int flags);
    // true: volumes are shown as shares, not divided by the trade unit.
    bool getVolumeFlag() const;
    void setVolumeFlag(bool undivided);
    bool isHaldenQuoteMode() const;
    void setHaldenQuoteMode(bool on);
    bool isHaldenClientMode() const;
    void setHaldenClientMode(bool on);
    bool isMultiStockRecalculate() const;
    void setMultiStockRecalculate(bool on);
    bool isPromptRunResult() const;
    void setPromptRunResult(bool on);

    // A user volatility for an option month of an underlying (expiry as yyyymmdd
    // text); false leaves sigma unchanged.
    bool getHistoryRate(double& sigma, const QString& expiry, const QString& underlyingKey) const;
    void setHistoryRate(const QString& expiry, const QString& underlyingKey, double sigma);
    void clearHistoryRates();
    // Underlying price basis of the Greeks: 0 last price, 1 previous settlement.
    int getGreekBenchmark() const;
    void setGreekBenchmark(int benchmark);

    // basket name -> setting
    QMap<QString, CBasketSetting> getBaskets() const;
    bool getBasket(const QString& name, CBasketSetting& out) const;
    void setBasket(const CBasketSetting& setting);
    bool removeBasket(const QString& name);
    // group name -> stock keys
    QMap<QString, QStringList> getProductGroups() const;
    void setProductGroup(const QString& name, const QStringList& keys);
    bool removeProductGroup(const QString& name);
    // Keys of the unfiltered accounts of a type in a product group: the group's accounts
    // (keys or ids), or every account of the type for an empty group ("全部产品"). A name
    // that is no group of the configuration falls back to the accounts' own group.
    QStringList getAccountKeysByProductGroup(int accountType, const QString& group) const;

    // Accounts the user hid from every position list (by account key).
    bool isAccountFilter(const QString& accountKey) const;
    void setAccountFilter(const QString& accountKey, bool filtered);
    QStringList filteredAccounts() const;

    // Refresh settings saved per indicator title; false leaves out unchanged.
    bool getAutoRefreshParam(const QString& title, CAutoRefreshParam& out) const;
    void setAutoRefreshParam(const QString& title, const CAutoRefreshParam& param);
    bool removeAutoRefreshParam(const QString& title);

    // "UserConfig.json" in the data folder. Bad files are rejected and the state kept.
    bool save() const;
    bool load();
    void resetToDefaults();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace TC
