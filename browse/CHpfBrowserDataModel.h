#pragma once
// The browse table's model: the rows plus the column tables every row consults.

#include "browse/BrowseColumnTables.h"
#include "browse/HpfBrowserData.h"
#include "host/toolkit/HpfTableModel.h"

#include <QMap>
#include <memory>
#include <mutex>
#include <vector>

namespace TC {

// The index widgets' common model base.
class IIndexBaseHpfTableModel : public XP::IBaseHpfTableModel {
    Q_OBJECT
public:
    using XP::IBaseHpfTableModel::IBaseHpfTableModel;
};

class CHpfBrowserDataModel : public IIndexBaseHpfTableModel {
    Q_OBJECT
public:
    explicit CHpfBrowserDataModel(QObject* parent = nullptr);
    ~CHpfBrowserDataModel() override;

    int columnCount() override;
    QString headerText(int column) override;
    int columnValueType(int column) override;
    QString statText(int column) override;

    // Column tables
    BrowseColumnTables& tables() { return *m_tables; }
    const std::shared_ptr<BrowseColumnTables>& sharedTables() const { return m_tables; }
    // Drops every column mapping (rows stay).
    void clearColumnTables();
    void setQuoteSlot(int column, int slot);
    int quoteSlot(int column) const { return m_tables->quoteSlotOf(column); }
    // One more than the largest quote slot in use.
    int nextQuoteSlot() const;
    int quoteSlotCount() const { return nextQuoteSlot(); }
    void setQuoteId(int column, int quoteId);
    int quoteId(int column) const { return m_tables->quoteIdOf(column); }
    void setValueType(int column, int type);
    // Gives the column the next indicator slot; rows grow by one value.
    void addIndicatorColumn(int column, int precision);
    int indicatorSlot(int column) const;
    int indicatorCount() const { return m_tables->indicatorCount(); }
    void dropColumn(int column);

    // Statistics row
    void addStatColumn(int column);
    void removeStatColumn(int column);
    bool hasStatColumn(int column) const { return m_statTexts.contains(column); }
    // 0 sum, 1 average
    void setStatMode(int column, int mode) { m_statModes[column] = mode; }
    void recalcStatData();

    // Rows
    // Sets the row's column tables; the row's vectors must already be sized.
    void attachRow(HpfBrowserData& row);
    // Grows a row's vectors to the model's slot counts (rows built before a column joined).
    void fitRow(HpfBrowserData& row, int columns) const;
    // Every row's quote values become the no-value mark.
    void clearValues();
    HpfBrowserDataPtr rowAt(int index) const;
    HpfBrowserDataPtr rowByKey(const QString& key) const;

    // Palette indices of the colours a row uses; see BrowseColumnTables.
    int paletteIndex(const QString& key) { return m_tables->paletteIndex(key); }
    void resolvePalette() { m_tables->resolvePalette(); }

    std::recursive_mutex& mutex() const { return m_mutex; }

private:
    std::shared_ptr<BrowseColumnTables> m_tables;
    QMap<int, QString> m_statTexts; // maps column id to its statistics-row text
    QMap<int, int> m_statModes;     // maps column id to 0 sum / 1 average
    struct StatSlot {
        int indicator; // indicator slot, or -1
        int quote;     // quote slot when there is no indicator slot, or -1
    };
    std::vector<StatSlot> m_statPlan; // per statistics column, reused by recalcStatData
    std::vector<double> m_statSums;
    mutable std::recursive_mutex m_mutex;
};

} // namespace TC
