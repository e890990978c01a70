#pragma once
// One instrument of the catalogue. Shared read-only once the universe is built.

#include <QString>
#include <QVector>
#include <cstdint>
#include <memory>

namespace ttservice {

enum EInstrumentType {
    eInstrStock = 0, // SH/SZ A-share
    eInstrIndex,     // exchange index
    eInstrFund,      // closed or listed fund
    eInstrETF,
    eInstrLOF,
    eInstrBond,
    eInstrConvertibleBond,
    eInstrFuture,
    eInstrOption, // stock or index option
    eInstrFutureOption,
    eInstrHKStock, // HK stock, incl. connect lines "HGT"/"SGT"
    eInstrForeignFuture,
    eInstrSectorIndex, // sector index (codes of board "板块指数板块")
    eInstrCustomIndex,
    eInstrTypeCount
};

struct CInstrumentDetail {
    QString key; // utils/XP::nvStockKey(market, code)
    QString market, code, name;
    int type = eInstrStock;
    double priceStep = 0.01;
    double totalShares = 0.0, floatShares = 0.0;
    // futures: product code ("IF") and variety name ("沪深300"); options: series short
    // name ("50ETF", "IO") in product; funds: the tracked index key in variety
    QString product, variety;
    int deliveryYear = 0, deliveryMonth = 0;
    double refPrice = 0.0; // previous close, or previous settlement for derivatives
    int tradeUnit = 100;   // shares per lot; futures contract multiplier
    int listDate = 0;      // trading-day seconds; 0 unknown; after today = not listed yet

    bool isContinuous = false; // "00" code of a futures product
    bool isMainContract = false;
    QString mainCode; // continuous contract: the code it follows

    // paired line: A+H partner or the A share behind a connect line
    QString pairMarket, pairCode;

    // convertible bond
    QString cbUnderlyingMarket, cbUnderlyingCode;
    double cbConversionPrice = 0.0;

    // ETF/LOF: net value per unit the IOPV is derived from
    double iopvBasis = 0.0;

    QString industry; // 申万一级 sector name, empty when none

    // TC::pinyinInitials(name), filled when the catalogue is published, so that search
    // filters need not look the readings up per keystroke
    QVector<uint32_t> nameInitials;

    // options
    QString optUnderlyingMarket, optUnderlyingCode;
    bool isCall = true;
    double strike = 0.0;
    int expiryDate = 0; // trading-day seconds (see CStockManager)
    int expiryYmd = 0;  // the same date as yyyymmdd
    bool american = false;
    double contractUnit = 0.0;
    double histVolatility = 0.0; // annualised, 0.25 for 25 %
    double riskFreeRate = 0.0;   // annualised, 0.02 for 2 %
    double preSettlement = 0.0;

    bool isOption() const { return type == eInstrOption || type == eInstrFutureOption; }
    bool hasOptionData() const { return isOption() && !optUnderlyingCode.isEmpty(); }
};

using CInstrumentDetailPtr = std::shared_ptr<CInstrumentDetail>;

} // namespace ttservice

namespace TC {
// Null-safe field access: a null detail gives an empty text.
QString getDetailQsKey(const ttservice::CInstrumentDetailPtr& detail);
QString getDetailQsMarket(const ttservice::CInstrumentDetailPtr& detail);
QString getDetailQsCode(const ttservice::CInstrumentDetailPtr& detail);
QString getDetailQsName(const ttservice::CInstrumentDetailPtr& detail);
} // namespace TC
