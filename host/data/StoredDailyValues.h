#pragma once
// Batch reads of the stored daily values (se::IndexData).

#include <QString>
#include <cstdint>
#include <vector>

namespace se {

// Several fields of several dates (seconds) from one read of the instrument's history, as
// IndexData::getSingleValue answers them one at a time: out gets fields.size() values per
// date, dates in the order given.
void getStoredDailyValues(const QString& key, const std::vector<QString>& fields,
                          const std::vector<int64_t>& dates, std::vector<double>& out);

} // namespace se
