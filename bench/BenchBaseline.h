#pragma once
// The naive baseline a Qt developer would write first: QStandardItemModel behind a
// QSortFilterProxyModel with dynamic sorting, in a QTableView, one setData per cell.

#include "host/data/InstrumentDetail.h"
#include "host/data/Quote.h"

#include <QHash>
#include <QList>
#include <QStandardItemModel>
#include <QString>
#include <QStringList>
#include <vector>

class QListWidget;
class QSortFilterProxyModel;
class QTableView;

class CountingItemModel final : public QStandardItemModel {
public:
    using QStandardItemModel::QStandardItemModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        ++dataCalls;
        return QStandardItemModel::data(index, role);
    }
    mutable quint64 dataCalls = 0;
};

// The naive search: code and name in a QStandardItemModel behind a QSortFilterProxyModel
// whose filter is an escaped, case-insensitive regular expression (no pinyin).
class SearchBaseline {
public:
    explicit SearchBaseline(const QList<ttservice::CInstrumentDetailPtr>& list);
    ~SearchBaseline();
    // Rows kept for one search text.
    int apply(const QString& text);

private:
    QStandardItemModel m_model;
    QSortFilterProxyModel* m_pProxy;
};

class BaselineTable {
public:
    explicit BaselineTable(const QStringList& titles);
    ~BaselineTable();

    // Rows for the instruments, each filled from its snapshot.
    void load(const std::vector<ttservice::CInstrumentDetailPtr>& instruments,
              const std::vector<quoter::QuoterAllDataPtr>& quotes);
    // Writes one snapshot per instrument, cell by cell.
    void push(const QVector<QString>& codes, const std::vector<quoter::QuoterAllDataPtr>& quotes);
    void setDynamicSort(bool on);
    // Appends a value column shown right after the fixed columns; returns its model column.
    int addColumn(const QString& title);
    // One cell of an instrument's row; unknown codes are skipped.
    void setValue(const QString& code, int column, double value);
    void sortByRatio();

    QTableView* view() const { return m_pView; }
    CountingItemModel* model() const { return m_pModel; }
    QSortFilterProxyModel* proxy() const { return m_pProxy; }
    int ratioColumn() const { return m_nRatioColumn; }

private:
    void writeRow(int row, const quoter::QuoterAllData& q);

    CountingItemModel* m_pModel;
    QSortFilterProxyModel* m_pProxy;
    QTableView* m_pView;
    QHash<QString, int> m_rowOfCode; // maps code to model row
    int m_nColumns;
    int m_nRatioColumn;
};

// The naive compact list: a QListWidget with a painting delegate, re-populated with every
// delivery (the selection restored by key), sorted with QListWidget::sortItems.
class BaselineCompactList {
public:
    BaselineCompactList();
    ~BaselineCompactList();

    // One item per instrument with its snapshot's values; quotes parallel to instruments.
    void populate(const std::vector<ttservice::CInstrumentDetailPtr>& instruments,
                  const std::vector<quoter::QuoterAllDataPtr>& quotes);
    void sortByChange();
    void selectRow(int row);
    QString selectedKey() const;
    QListWidget* view() const { return m_pView; }

private:
    QListWidget* m_pView;
};
