#pragma once
// The descriptor of one browse-table column. A default-constructed record is the
// empty column.

#include <QString>
#include <atomic>
#include <memory>
#include <vector>

namespace TC {

struct ColumnInfo {
    QString formulaName; // "QUOTER" for quote columns, else a formula / field / data name
    int lineIndex = 0;   // quote id for "QUOTER" columns, else the output line shown
    int precision = 2;   // decimals when >= 0, a format code when negative
    int period = 0;      // data period in ms; 86400000 for quote columns
    QString title;       // header text, and the key columns are found by
    bool visible = true;
    bool flagB = false;
    bool autoRefresh = false;
    int doneCount = 0;
    int totalCount = 0;
    int columnId = -1; // table column id; 0..2 are the fixed columns
    int lineSetting = 0;
    int columnKind = 0; // 0 formula indicator, 1 extended data, 2 interval statistic
    qint64 valueA = 0;
    qint64 valueB = 0;
    int intSetting = 0;
    bool conditionEnabled = false;
    int conditionOperator = 0;
    double conditionThreshold = 0.0;
    QString conditionSector;
    bool conditionReset = false;
    QString refreshStartTime;
    bool refreshInStockHours = false;
    bool refreshInFuturesHours = false;
    int refreshInterval = 0;
    bool refreshWhenHidden = false;
    bool refreshAll = false;
    bool promptResult = false;
    int isPrivate = 0;
    std::vector<QString> matchedKeys;
    bool statEnabled = false;
    bool statAverage = false;
    // the stop flag of the batch last started for this column (one flag per batch)
    std::shared_ptr<std::atomic<bool>> stopFlag;

    // Clears the progress state of a running request. The stop flag is let go, not
    // cleared: a batch stopped through it stays stopped.
    void reset();
    bool isEmpty() const { return formulaName.isEmpty() && title.isEmpty(); }
    bool isQuoter() const;

    // Same indicator: same source, output line and kind-specific settings. Title,
    // period, visibility and progress do not count, so one indicator shown with two
    // titles or periods is still the same indicator.
    bool operator==(const ColumnInfo& other) const;
    bool operator!=(const ColumnInfo& other) const { return !(*this == other); }
};

extern const QString kQuoterFormula; // "QUOTER"

} // namespace TC
