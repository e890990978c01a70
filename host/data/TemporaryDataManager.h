#pragma once
// Net buying and total buy/sell per instrument, derived from the push feed while at least
// one client has switched the feed on.

#include <QObject>
#include <QString>
#include <memory>
#include <utility>

namespace TC {

class CTemporaryDataManagerPrivate;

class CTemporaryDataManager final : public QObject {
    Q_OBJECT
public:
    static CTemporaryDataManager* instance();

    // Reference-counted: each true needs one false before the feed stops, so one
    // client switching off does not stop it for another. Extra falses are ignored.
    void startOrStopNetBuying(bool start);
    bool isNetBuyingRunning() const;
    int netBuyingClients() const;

    // Net buying (buy amount minus sell amount) by code or stock key; 0 when unknown.
    double getCodeNetBuyingValue(const QString& code) const;
    // (total buy amount, total sell amount); (0, 0) when unknown.
    std::pair<double, double> getCodeTransactionValue(const QString& code) const;

    // Folds one market's push batch in; called by the feed. Emits both signals when
    // running and anything changed.
    void applyTrades(const QString& market, const QString& code, double buyAmount,
                     double sellAmount);
    void notifyBatchDone();
    void clear();

Q_SIGNALS:
    void sigSendNetBuyingChange();
    void sigSendTotalBuySellChange();

private:
    CTemporaryDataManager();
    ~CTemporaryDataManager() override;
    Q_DISABLE_COPY_MOVE(CTemporaryDataManager)
    std::unique_ptr<CTemporaryDataManagerPrivate> d;
};

} // namespace TC
