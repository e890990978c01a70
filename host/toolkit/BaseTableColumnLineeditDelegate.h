#pragma once
// Line-edit delegate of an editable table column. It shows the text set per row key
// (setText), else the row's own text; committing an edit hands the text to the table,
// which delivers EV_CELL_COMMITTED and EV_CELL_COMMITTED_KEY (see CBaseHighPerformanceTable).
#include <QtCore/QHash>
#include <QtWidgets/QStyledItemDelegate>

namespace XP {

class CBaseHighPerformanceTable;

class CBaseTableColumnLineeditDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    CBaseTableColumnLineeditDelegate(CBaseHighPerformanceTable* table, int columnId);
    ~CBaseTableColumnLineeditDelegate() override;

    int columnId() const { return m_nColumnId; }
    void setText(const QString& rowKey, const QString& text);
    QString text(const QString& rowKey) const;
    bool hasText(const QString& rowKey) const { return m_texts.contains(rowKey); }
    // The text last committed by an edit.
    QString committedText() const { return m_qsCommitted; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    CBaseHighPerformanceTable* m_pTable;
    int m_nColumnId;
    QHash<QString, QString> m_texts; // maps row key to shown text
    mutable QString m_qsCommitted;
};

} // namespace XP
