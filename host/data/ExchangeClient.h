#pragma once
// Option lists by underlying, from the catalogue.

#include "host/data/InstrumentDetail.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace TC {

// Static data of an underlying used by the option board.
struct CCodeInfo {
    QString market, code, name;
    double refPrice = 0.0;
    double priceStep = 0.01;
    int contractMultiplier = 1;
    double histVolatility = 0.0;
};

class CExchangeClient final {
public:
    static CExchangeClient* instance();

    // underlying key -> option contract keys, ordered by expiry, strike, call first.
    // Stock options (markets "SHO"/"SZO") and index options ("CFFEX" on 000300/000852).
    QMap<QString, QStringList> getStockOptionMap();
    // Futures options keyed by the underlying future's key.
    QMap<QString, QStringList> getFutureOptionMap();
    QStringList getOptionList(const QString& underlyingKey);
    // false when the key is unknown.
    bool getCodeInfo(const QString& key, CCodeInfo& info);
    bool isCall(const QString& keyOrCode);

private:
    CExchangeClient() = default;
};

// Futures option codes: product letters, 3-4 digit month, "C"/"P" (or "-C-"), strike.
bool isTryFutureOptionInstrument(const QString& code);

} // namespace TC

namespace ttservice {
class CFtOptionDataHelper final {
public:
    static bool isFtOptionInstrument(const QString& code);
    static bool isCallOption(const QString& code);
};
} // namespace ttservice
