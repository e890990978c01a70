#pragma once
// Correlation of instruments with a reference instrument, for the browse table's
// correlation column.

#include <QMap>
#include <QString>
#include <QStringList>

namespace TC {

// Pearson correlation of daily close-to-close returns of each key with those of the
// reference, over the last `days` trading days both have. Keys (stock keys) with fewer
// than three common returns, or with flat prices, are left out; so is everything when
// the reference has no history.
QMap<QString, double> computeCorrelation(const QString& referenceKey, const QStringList& keys,
                                         int days = 60);

} // namespace TC
