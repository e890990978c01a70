#pragma once
// Qt model of a CBaseHighPerformanceTable: Qt row = model row index, Qt column = column
// id. Forwards the row store's notifications; persistent indexes follow sorts.
#include <QtCore/QAbstractTableModel>
#include <QtCore/QPointer>

namespace XP {

class CBaseHighPerformanceTable;
class IBaseHpfTableModel;

class CHpfTableAdapter : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CHpfTableAdapter(CBaseHighPerformanceTable* table);
    ~CHpfTableAdapter() override;

    void setSource(IBaseHpfTableModel* source);
    IBaseHpfTableModel* source() const { return m_pSource; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Column structure changes, driven by the table.
    void beginColumnReset() { beginResetModel(); }
    void endColumnReset() { endResetModel(); }
    void beginAppendColumn(int id) { beginInsertColumns(QModelIndex(), id, id); }
    void endAppendColumn() { endInsertColumns(); }
    void headerChanged(int first, int last);

private:
    void onLayoutAboutToBeChanged();
    void onLayoutChanged(const QVector<int>& oldToNew);
    void onRowsChanged(int first, int last);
    void onSourceDestroyed();

    CBaseHighPerformanceTable* m_pTable;
    QPointer<IBaseHpfTableModel> m_pSource;
    QModelIndexList m_persistent; // saved between the two layout signals
};

} // namespace XP
