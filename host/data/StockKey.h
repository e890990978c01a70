#pragma once
// The text key of an instrument: code + "." + market, or the code alone when the
// market is empty. Every row lookup, cache and selection uses it.

#include <QString>
#include <cstdint>
#include <string>

namespace utils {
std::string nvStockKey(const std::string& market, const std::string& code);
// Monotonic milliseconds, for measuring intervals (not the market time).
int64_t clock();
} // namespace utils

namespace XP {
QString nvStockKey(const QString& market, const QString& code);
// Splits a key back into market and code; false for an empty key.
bool splitStockKey(const QString& key, QString* market, QString* code);
} // namespace XP
