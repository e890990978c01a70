#include "host/data/FormulaTypes.h"

#include "host/data/MarketBackend.h"
#include "host/data/NoValue.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/StoredDailyValues.h"

#include <QHash>

#include <cmath>
#include <mutex>

namespace se {

int getQuoterType(const std::string& market)
{
    // one recorded-snapshot stream per kind of market; only 3001 (bars) is special
    if (market == "SH" || market == "SZ" || market == "SSE" || market == "SZSE")
        return 1;
    if (market == "CFFEX" || market == "SHFE" || market == "DCE" || market == "CZCE"
        || market == "INE" || market == "GFEX")
        return 2;
    if (market == "SHO" || market == "SZO")
        return 3;
    if (market == "HK" || market == "HGT" || market == "SGT" || market == "SSEHKEX"
        || market == "SZSEHKEX")
        return 4;
    if (market == "ED")
        return kQuoterTypeBar;
    return 5;
}

int getQuoterType(const QString& market)
{
    return getQuoterType(market.toStdString());
}

int getQuoterType(const char* market)
{
    return getQuoterType(std::string(market ? market : ""));
}

QString IdGenerator::genId(int kind, const QString& formulaName, const QString& code)
{
    return QString::number(kind) + QLatin1Char('|') + formulaName + QLatin1Char('|') + code;
}

namespace {
struct FieldStore {
    std::mutex mutex;
    // sector + '\x1f' + field + '\x1f' + key -> value
    QHash<QString, double> values;
    QHash<QString, QString> defaults;
};

FieldStore& fieldStore()
{
    static FieldStore store;
    return store;
}

QString fieldKey(const QString& sector, const QString& field, const QString& key)
{
    return sector + QChar(0x1f) + field + QChar(0x1f) + key;
}
} // namespace

double FieldParams::getData(const QString& sector, const QString& field, const QString& key)
{
    FieldStore& s = fieldStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.values.constFind(fieldKey(sector, field, key));
    if (it != s.values.constEnd())
        return it.value();
    bool ok = false;
    const double v = s.defaults.value(field).toDouble(&ok);
    return ok ? v : 0.0;
}

bool FieldParams::hasData(const QString& sector, const QString& field, const QString& key)
{
    FieldStore& s = fieldStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.values.contains(fieldKey(sector, field, key));
}

void FieldParams::setData(const QString& sector, const QString& field, const QString& key,
                          double value)
{
    FieldStore& s = fieldStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.values.insert(fieldKey(sector, field, key), value);
}

QString FieldParams::getDefault(const QString& field)
{
    FieldStore& s = fieldStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.defaults.value(field, QStringLiteral("0"));
}

void FieldParams::setDefault(const QString& field, const QString& value)
{
    FieldStore& s = fieldStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.defaults.insert(field, value);
}

void FieldParams::clear()
{
    FieldStore& s = fieldStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.values.clear();
    s.defaults.clear();
}

bool FieldParams::isValidFieldName(const QString& field, QString* why)
{
    QString reason;
    const QString name = field.trimmed();
    if (name.isEmpty())
        reason = QStringLiteral("字段名不能为空");
    else if (name.size() > kMaxFieldNameLength)
        reason = QStringLiteral("字段名不能超过%1个字符").arg(kMaxFieldNameLength);
    else if (name.contains(QLatin1Char(',')) || name.contains(QLatin1Char(':'))
             || name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        reason = QStringLiteral("字段名不能包含逗号、冒号或换行");
    if (why)
        *why = reason;
    return reason.isEmpty();
}

bool FieldParams::parseValue(const QString& text, double* value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

void setStopFlag(const StopFlag& flag, bool value)
{
    if (flag)
        flag->store(value, std::memory_order_release);
}

bool isStopped(const StopFlag& flag)
{
    return flag && flag->load(std::memory_order_acquire);
}

namespace {

double storedField(const quoter::KLineData& bar, const QString& field)
{
    if (field == QStringLiteral("最新") || field == QStringLiteral("收盘"))
        return bar.close;
    if (field == QStringLiteral("总额"))
        return bar.amount;
    if (field == QStringLiteral("总量"))
        return static_cast<double>(bar.volume);
    if (field == QStringLiteral("持仓"))
        return static_cast<double>(bar.openInterest);
    if (field == QStringLiteral("今开"))
        return bar.open;
    if (field == QStringLiteral("最高"))
        return bar.high;
    if (field == QStringLiteral("最低"))
        return bar.low;
    if (field == QStringLiteral("昨收"))
        return bar.preClose;
    return TC::kNoValue; // "总笔" and the rest are not kept for past days
}

} // namespace

double IndexData::getSingleValue(const QString& key, const QString& field, int64_t date)
{
    std::vector<double> out;
    getStoredDailyValues(key, {field}, {date}, out);
    return out.front();
}

void getStoredDailyValues(const QString& key, const std::vector<QString>& fields,
                          const std::vector<int64_t>& dates, std::vector<double>& out)
{
    out.assign(fields.size() * dates.size(), TC::kNoValue);
    QString market, code;
    if (!XP::splitStockKey(key, &market, &code) || code.isEmpty())
        return;
    const TC::MarketBackendPtr backend = TC::marketBackend();
    if (!backend)
        return;
    const std::vector<quoter::KLineData> bars =
        backend->dailyBars(market.toStdString(), code.toStdString());
    for (size_t d = 0; d < dates.size(); ++d) {
        const int day = TC::CStockManager::dateOfMs(dates[d] * 1000);
        for (auto it = bars.rbegin(); it != bars.rend(); ++it) {
            if (TC::CStockManager::dateOfMs(it->time) != day)
                continue;
            for (size_t f = 0; f < fields.size(); ++f)
                out[d * fields.size() + f] = storedField(*it, fields[f]);
            break;
        }
    }
}

} // namespace se
