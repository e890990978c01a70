#pragma once
// One row of the option T-board: the call and the put of one series and strike side by
// side. Column 28 is the strike; column 28 - k (call) and 28 + k (put) show the same
// quantity. Doubles start at the no-value mark, integers at 2147483647.

#include "host/toolkit/HpfTableData.h"

#include <QtCore/QString>

#include <atomic>
#include <memory>

namespace ttservice {
struct CInstrumentDetail;
}

namespace TC {

class CHpfOptionBrowserData : public XP::IBaseHpfTableData {
public:
    enum { kColumnCount = 57, kStrikeColumn = 28 };
    static constexpr double kUnset = 1.7976931348623157e308;
    static constexpr int kUnsetInt = 2147483647;
    // What the calculator leaves in a value it could not compute.
    static constexpr double kNotComputed = -2147483648.0;

    CHpfOptionBrowserData(const QString& key, const QString& strikeText);
    ~CHpfOptionBrowserData() override;

    static bool isValid(double v);
    // Valid and not the calculator's failure value: what a cell shows as a number.
    static bool isShown(double v);

    // Digit-grouping flag of the number formats, shared by every row; the board keeps it
    // in step with the user configuration.
    static int segmentFlag() { return s_nSegmentFlag.load(std::memory_order_relaxed); }
    static void setSegmentFlag(int flag) { s_nSegmentFlag.store(flag, std::memory_order_relaxed); }

    // The row key of an option contract: "<series>_<strike><A>" for codes with "-",
    // "<strike><A>" otherwise; empty without option data.
    static QString rowKey(const ttservice::CInstrumentDetail* detail, int segmentFlag);
    // The strike text of a key: its last "_" piece (the whole key without "_").
    static QString strikeTextOfKey(const QString& key);
    // Static fields of one side; the exercise end date comes from the call only.
    void fillStatic(const ttservice::CInstrumentDetail& detail, bool call);

    // XP::IBaseHpfTableData
    QString getText(int column) override;
    QString getString(int column) override;
    int getInt(int column) override;
    double getDouble(int column) override;
    qint64 getLonglong(int column) override;
    const QColor* getTextColor(int column) override;
    QString getKey() override { return m_qsKey; }
    const QColor* getBackgroundColor(int column) override;

    // Address of the double shown in a column, null for the non-double columns.
    double* doubleField(int column);

    // Fields, in the record's order.
    QString m_qsExerciseStyle; // "美式" / "欧式"
    QString m_qsExerciseEndDate;
    QString m_qsCallExpiryDate;
    QString m_qsCallCode;
    QString m_qsPutCode;
    QString m_qsPutExpiryDate;
    int m_nStrikePosition = 0; // 1 nearest above the underlying, 2 nearest at or below

    double m_dCallMargin = kUnset;
    double m_dCallStrike = kUnset;
    double m_dCallContractUnit = kUnset;
    double m_dCallRho = kUnset, m_dCallVega = kUnset, m_dCallTheta = kUnset, m_dCallGamma = kUnset,
           m_dCallDelta = kUnset;
    double m_dCallRealLeverage = kUnset;
    double m_dCallLeverage = kUnset;
    double m_dCallPremiumRate = kUnset;
    double m_dCallHistVolatility = kUnset;
    double m_dCallTimeValue = kUnset;
    double m_dCallIntrinsicValue = kUnset;
    double m_dCallTheoreticalValue = kUnset;
    double m_dCallImpliedVolatility = kUnset;
    double m_dCallOpenInterest = kUnset;
    double m_dCallBid = kUnset, m_dCallAsk = kUnset;
    double m_dCallChangePercent = kUnset;
    double m_dCallChange = kUnset;
    double m_dCallLast = kUnset;

    double m_dPutLast = kUnset, m_dPutChange = kUnset, m_dPutChangePercent = kUnset;
    double m_dPutAsk = kUnset, m_dPutBid = kUnset;
    double m_dPutOpenInterest = kUnset;
    double m_dPutImpliedVolatility = kUnset, m_dPutTheoreticalValue = kUnset,
           m_dPutIntrinsicValue = kUnset, m_dPutTimeValue = kUnset;
    double m_dPutHistVolatility = kUnset;
    double m_dPutPremiumRate = kUnset, m_dPutLeverage = kUnset, m_dPutRealLeverage = kUnset;
    double m_dPutDelta = kUnset, m_dPutGamma = kUnset, m_dPutTheta = kUnset, m_dPutVega = kUnset,
           m_dPutRho = kUnset;
    double m_dPutContractUnit = kUnset;
    double m_dPutStrike = kUnset;
    double m_dPutMargin = kUnset;

    double m_dUnderlyingPrice = kUnset;
    int m_nCallVolume = kUnsetInt;
    int m_nPutVolume = kUnsetInt;
    QString m_qsStrikeText;
    QString m_qsKey;
    // The strike text right-aligned to a fixed width, so that text order is strike order.
    QString m_qsStrikeSortText;

private:
    static std::atomic<int> s_nSegmentFlag;
};

typedef boost::shared_ptr<CHpfOptionBrowserData> CHpfOptionBrowserDataPtr;

} // namespace TC
