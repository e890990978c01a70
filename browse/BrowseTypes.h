#pragma once
// Enumerations shared by the browse table and the widgets built on it.

#include "host/data/NoValue.h"

#include <QString>

namespace TC {

// What the container passes as its kind. Inside the widget only the net-buying kind
// changes anything; the others name the visible-column lists of tryMoveColumnByType.
enum eBrowseType : int {
    BrowseType_Default = 0,
    BrowseType_Speed = 1,     // rise and speed columns
    BrowseType_Brief = 2,     // code, name, rise and amount only
    BrowseType_NetBuying = 3, // adds total buy, total sell and net buying, fed by the host
    BrowseType_Extend = 4,    // extended data columns first
};

// What the widget currently shows.
enum eBrowseStatus : int {
    BrowseStatus_Live = 0,
    BrowseStatus_TickLoaded = 1,
    BrowseStatus_Statistic = 2,
    BrowseStatus_External = 3,
};

// Base (0..36) and extra (37..74) quote columns.
enum EBrowserQuoterColumnID : int {
    QC_OPEN = 0,
    QC_LATEST,
    QC_HIGH,
    QC_LOW,
    QC_AMOUNT,
    QC_VOLUME,
    QC_PRECLOSE,
    QC_RATIO,
    QC_CHANGE,
    QC_POSITION,
    QC_BID1,
    QC_BIDVOL1,
    QC_ASK1,
    QC_ASKVOL1,
    QC_ORDER_RATIO,
    QC_PE,
    QC_TRADE_COUNT,
    QC_TOTAL_HANDS,
    QC_CUR_HANDS,
    QC_BID2,
    QC_BID3,
    QC_BID4,
    QC_BID5,
    QC_BIDVOL2,
    QC_BIDVOL3,
    QC_BIDVOL4,
    QC_BIDVOL5,
    QC_ASK2,
    QC_ASK3,
    QC_ASK4,
    QC_ASK5,
    QC_ASKVOL2,
    QC_ASKVOL3,
    QC_ASKVOL4,
    QC_ASKVOL5,
    QC_AVERAGE,
    QC_WEIGHT,
    QC_BASE_COUNT, // 37 base columns
    QC_TOTAL_VALUE = 37,
    QC_FLOAT_VALUE = 38,
    QC_TURNOVER = 39,
    QC_VOLUME_RATIO = 40,
    QC_SPEED1 = 41,
    QC_SPEED5 = 42,
    QC_TOTAL_BUY = 43,
    QC_TOTAL_SELL = 44,
    QC_NET_BUY = 45,
    QC_LINK_CODE = 64,
    QC_LINK_NAME = 65,
    QC_LINK_PRICE = 66,
    QC_LINK_RATIO = 67,
    QC_LINK_AMOUNT = 68,
    QC_CONVERT_PRICE = 69,
    QC_CONVERT_VALUE = 70,
    QC_CONVERT_PREMIUM = 71,
    QC_NIGHT = 72,
    QC_IOPV = 73,
    QC_DISCOUNT = 74,
    QC_ID_COUNT = 75
};

enum EBrowseTextGetColorType : int {
    BrowseColor_Code = 1,
    BrowseColor_Name = 2,
    BrowseColor_Compare = 0,
};

// QVariant type codes the model reports per column.
enum EBrowseValueType : int {
    ValueType_Double = 6,
    ValueType_Longlong = 4,
    ValueType_Text = 10,
};

constexpr double kEpsilon = 1e-5;

constexpr int kPeriodDay = 86400000;

// Shanghai and Shenzhen markets: trading phases in the integer field, volumes in lots.
inline bool isShSzMarket(const QString& market)
{
    return market == QLatin1String("SH") || market == QLatin1String("SZ")
           || market == QLatin1String("SSE") || market == QLatin1String("SZSE");
}

} // namespace TC
