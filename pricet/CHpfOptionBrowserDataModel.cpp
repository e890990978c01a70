#include "pricet/CHpfOptionBrowserDataModel.h"

#include "host/toolkit/NumberFormat.h"
#include "pricet/CHpfOptionBrowserData.h"

namespace TC {

namespace {

// Headers of the call side, 0 to 28; the put side mirrors them.
const char* const kHeaders[] = {
    "预估保证金",   "行权价格",   "合约单位", "行权方式",   "行权终止日",  "期权到期日",
    "历波%",        "rho",        "vega",     "theta",      "gamma",       "delta",
    "真实杠杆率",   "杠杆比率",   "溢价率",   "历史波动率", "时间价值",    "内在价值",
    "期权理论价值", "隐含波动率", "持仓量",   "总量",       "买价",        "卖价",
    "涨幅",         "涨跌",       "最新价",   "合约代码",   "购<行权价>沽"};

} // namespace

CHpfOptionBrowserDataModel::CHpfOptionBrowserDataModel(QObject* parent)
    : IIndexBaseHpfTableModel(parent)
{
}

CHpfOptionBrowserDataModel::~CHpfOptionBrowserDataModel() = default;

int CHpfOptionBrowserDataModel::columnCount()
{
    return CHpfOptionBrowserData::kColumnCount;
}

QString CHpfOptionBrowserDataModel::headerText(int column)
{
    if (column < 0 || column >= CHpfOptionBrowserData::kColumnCount)
        return QString();
    const int mirrored = column <= 28 ? column : 56 - column;
    return QString::fromUtf8(kHeaders[mirrored]);
}

int CHpfOptionBrowserDataModel::columnValueType(int column)
{
    switch (column) {
    case 21:
    case 35: return 2;
    case 3:
    case 4:
    case 5:
    case 6:
    case 27:
    case 28:
    case 29:
    case 50:
    case 51:
    case 52:
    case 53: return VT_STRING;
    default: return column >= 0 && column < CHpfOptionBrowserData::kColumnCount ? VT_DOUBLE : 0;
    }
}

QString CHpfOptionBrowserDataModel::statText(int column)
{
    if (column != 20 && column != 36 && column != 21 && column != 35)
        return QString();
    const bool volume = column == 21 || column == 35;
    double sum = 0.0;
    qint64 volumes = 0;
    for (const XP::IBaseHpfTableDataPtr& row : getAllDatas()) {
        if (volume) {
            const int v = row->getInt(column);
            if (v != CHpfOptionBrowserData::kUnsetInt)
                volumes += v;
        } else {
            const double v = row->getDouble(column);
            if (CHpfOptionBrowserData::isShown(v))
                sum += v;
        }
    }
    return XP::formatDoubleNumber(volume ? double(volumes) : sum, 2, XP::FMT_BIGVALUE, true,
                                  QStringLiteral("非法值"));
}

bool CHpfOptionBrowserDataModel::columnFlag(int)
{
    return false;
}

} // namespace TC
