#include "host/data/TypeManager.h"

#include "host/data/AccountData.h"
#include "host/data/GreekAndOptionsCalculator.h"
#include "host/data/InstrumentDetail.h"

#include <QHash>

namespace ttservice {

namespace {

using NameTable = QHash<QString, QHash<int, QString>>;

// enumeration name -> value -> display name
const NameTable& names()
{
    static const NameTable table = [] {
        NameTable t;
        t[QStringLiteral("EAccountType")] = {{eAccountFuture, QStringLiteral("期货")},
                                             {eAccountStock, QStringLiteral("股票")},
                                             {eAccountCredit, QStringLiteral("融资融券")},
                                             {eAccountStockOption, QStringLiteral("股票期权")},
                                             {eAccountHGT, QStringLiteral("沪港通")},
                                             {eAccountSGT, QStringLiteral("深港通")}};
        t[QStringLiteral("EPositionDirection")] = {{eDirectionLong, QStringLiteral("多头")},
                                                   {eDirectionShort, QStringLiteral("空头")}};
        t[QStringLiteral("EExerciseStyle")] = {{eExerciseEuropean, QStringLiteral("欧式")},
                                               {eExerciseAmerican, QStringLiteral("美式")}};
        t[QStringLiteral("EOptionGreekBenchmark")] = {{eGreekPerUnit, QStringLiteral("按单位")},
                                                      {eGreekPerPoint, QStringLiteral("按百分点")}};
        t[QStringLiteral("ECallPut")] = {{0, QStringLiteral("认购")}, {1, QStringLiteral("认沽")}};
        t[QStringLiteral("EInstrumentType")] = {{eInstrStock, QStringLiteral("股票")},
                                                {eInstrIndex, QStringLiteral("指数")},
                                                {eInstrFund, QStringLiteral("基金")},
                                                {eInstrETF, QStringLiteral("ETF")},
                                                {eInstrLOF, QStringLiteral("LOF")},
                                                {eInstrBond, QStringLiteral("债券")},
                                                {eInstrConvertibleBond, QStringLiteral("可转债")},
                                                {eInstrFuture, QStringLiteral("期货")},
                                                {eInstrOption, QStringLiteral("期权")},
                                                {eInstrFutureOption, QStringLiteral("期货期权")},
                                                {eInstrHKStock, QStringLiteral("港股")},
                                                {eInstrForeignFuture, QStringLiteral("外盘期货")},
                                                {eInstrSectorIndex, QStringLiteral("板块指数")},
                                                {eInstrCustomIndex, QStringLiteral("自定义指数")}};
        return t;
    }();
    return table;
}

} // namespace

QString TypeManager::getEnumItemName(const QString& enumName, int value)
{
    auto e = names().constFind(enumName);
    return e == names().constEnd() ? QString() : e->value(value);
}

} // namespace ttservice
