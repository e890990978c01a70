#include "host/toolkit/BaseTable.h"

namespace XP {

IBaseTable::~IBaseTable() = default;

} // namespace XP
