#pragma once
// Row store of the high-performance table: rows in display order plus a key index.
// The model's row index is the table's display row; sorting reorders the rows in place.
// GUI thread only. No Qt Widgets here.

#include "host/toolkit/HpfTableData.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QVector>
#include <vector>

namespace XP {

class IBaseHpfTableModel : public QObject {
    Q_OBJECT
public:
    // Value type codes of columnValueType (QVariant type ids).
    enum EValueType { VT_LONGLONG = 4, VT_DOUBLE = 6, VT_STRING = 10 };

    explicit IBaseHpfTableModel(QObject* parent = nullptr);
    ~IBaseHpfTableModel() override;

    virtual int columnCount();
    virtual QString headerText(int column);
    // 10 text (getString), 4 qint64 (getLonglong), 6 double (getDouble); the base gives
    // 10 for columns 0 to 2 and 6 for the others.
    virtual int columnValueType(int column);
    // Text of the column's cell in the statistics row; empty for none.
    virtual QString statText(int column);
    virtual bool columnFlag(int column);
    // Removes every row (one reset notification).
    virtual void clear();

    // A row with the key of an existing row replaces it in place; otherwise the row is
    // appended (the model does not re-sort on row changes). Null rows are ignored.
    void addData(const IBaseHpfTableDataPtr& data);
    // One insertion notification for the whole batch; rows with known keys replace.
    void addDatas(const std::vector<IBaseHpfTableDataPtr>& datas);
    // Replaces the row of the same key; false (nothing changes) when the key is unknown.
    bool updateData(const IBaseHpfTableDataPtr& data);
    bool removeDataByKey(const QString& key);
    // Null when out of range.
    IBaseHpfTableDataPtr getData(int index) const;
    IBaseHpfTableDataPtr getDataByKey(const QString& key) const;
    // -1 when unknown.
    int getDataIndexByKey(const QString& key) const;
    const std::vector<IBaseHpfTableDataPtr>& getAllDatas() const { return m_rows; }
    int size() const { return int(m_rows.size()); }
    bool containData(const QString& key) const { return m_index.contains(key); }

    // With pin sorting on, pinned rows stay above the others in pin order whatever the
    // sort; the others sort among themselves.
    void setSortByPin(bool on) { m_bSortByPin = on; }
    bool sortByPin() const { return m_bSortByPin; }
    void setPinned(const QString& key, bool pinned);
    bool isPinned(const QString& key) const { return m_pinned.contains(key); }

    // Values of existing rows changed: one coalesced notification for all rows.
    void notifyValuesChanged();
    // One row's values changed.
    void notifyRowChanged(int index);

    // Stable sort of the rows by a column (order 0 ascending, 1 descending) comparing by
    // columnValueType; the no-value mark, NaN and the qint64 extremes sort last in both
    // orders. Emits sigLayoutAboutToBeChanged / sigLayoutChanged with the permutation.
    void sortRows(int column, int order);

Q_SIGNALS:
    void sigRowsAboutToBeInserted(int first, int last);
    void sigRowsInserted();
    void sigRowsAboutToBeRemoved(int first, int last);
    void sigRowsRemoved();
    void sigAboutToReset();
    void sigReset();
    void sigLayoutAboutToBeChanged();
    // oldToNew[oldRow] is the row's new index.
    void sigLayoutChanged(const QVector<int>& oldToNew);
    void sigRowsChanged(int first, int last);

protected:
    // Hooks for derived models, called after a row joined or was replaced.
    virtual void onDataAdded(const IBaseHpfTableDataPtr& data);
    virtual void onDataUpdated(const IBaseHpfTableDataPtr& data);

private:
    void rebuildIndex(int from);

    std::vector<IBaseHpfTableDataPtr> m_rows; // display order
    QHash<QString, int> m_index;              // maps key to index in m_rows
    QSet<QString> m_pinned;
    QVector<QString> m_pinOrder; // pinned keys in pin order
    bool m_bSortByPin = false;
};

} // namespace XP
