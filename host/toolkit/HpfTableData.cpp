#include "host/toolkit/HpfTableData.h"

namespace XP {

IBaseHpfTableData::~IBaseHpfTableData() = default;
QString IBaseHpfTableData::getFilterQString(int column) {
    return getString(column);
}
QString IBaseHpfTableData::getDisplayUnit(int) {
    return QString();
}
int IBaseHpfTableData::getIndexFromName(const QString&) {
    return -1;
}
QString IBaseHpfTableData::getItemIconKey(int) {
    return QString();
}
QString IBaseHpfTableData::getItemIconTip(int) {
    return QString();
}
const QColor* IBaseHpfTableData::getBackgroundColor(int) {
    return nullptr;
}
double IBaseHpfTableData::getChangedValue(int) {
    return 0.0;
}
bool IBaseHpfTableData::isFlashChange(int) {
    return false;
}

} // namespace XP
