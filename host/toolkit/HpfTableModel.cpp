#include "host/toolkit/HpfTableModel.h"

#include "host/toolkit/NumberFormat.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace XP {

IBaseHpfTableModel::IBaseHpfTableModel(QObject* parent) : QObject(parent) {}

IBaseHpfTableModel::~IBaseHpfTableModel() = default;

int IBaseHpfTableModel::columnCount() {
    return 3;
}
QString IBaseHpfTableModel::headerText(int) {
    return QString();
}
int IBaseHpfTableModel::columnValueType(int column) {
    return column < 3 ? VT_STRING : VT_DOUBLE;
}
QString IBaseHpfTableModel::statText(int) {
    return QString();
}
bool IBaseHpfTableModel::columnFlag(int) {
    return false;
}
void IBaseHpfTableModel::onDataAdded(const IBaseHpfTableDataPtr&) {}
void IBaseHpfTableModel::onDataUpdated(const IBaseHpfTableDataPtr&) {}

void IBaseHpfTableModel::clear() {
    Q_EMIT sigAboutToReset();
    m_rows.clear();
    m_index.clear();
    Q_EMIT sigReset();
}

void IBaseHpfTableModel::rebuildIndex(int from) {
    for (int i = from; i < int(m_rows.size()); ++i)
        m_index.insert(m_rows[size_t(i)]->getKey(), i);
}

void IBaseHpfTableModel::addData(const IBaseHpfTableDataPtr& data) {
    if (!data)
        return;
    const QString key = data->getKey();
    const auto it = m_index.constFind(key);
    if (it != m_index.constEnd()) {
        const int i = it.value();
        m_rows[size_t(i)] = data;
        onDataUpdated(data);
        Q_EMIT sigRowsChanged(i, i);
        return;
    }
    const int n = size();
    Q_EMIT sigRowsAboutToBeInserted(n, n);
    m_rows.push_back(data);
    m_index.insert(key, n);
    onDataAdded(data);
    Q_EMIT sigRowsInserted();
}

void IBaseHpfTableModel::addDatas(const std::vector<IBaseHpfTableDataPtr>& datas) {
    std::vector<IBaseHpfTableDataPtr> fresh;
    QHash<QString, int> freshIndex; // maps key to index in fresh (a later duplicate wins)
    int changedFirst = INT_MAX, changedLast = -1;
    for (const IBaseHpfTableDataPtr& d : datas) {
        if (!d)
            continue;
        const QString key = d->getKey();
        const auto it = m_index.constFind(key);
        if (it != m_index.constEnd()) {
            m_rows[size_t(it.value())] = d;
            changedFirst = std::min(changedFirst, it.value());
            changedLast = std::max(changedLast, it.value());
            onDataUpdated(d);
            continue;
        }
        const auto f = freshIndex.constFind(key);
        if (f != freshIndex.constEnd()) {
            fresh[size_t(f.value())] = d;
            continue;
        }
        freshIndex.insert(key, int(fresh.size()));
        fresh.push_back(d);
    }
    if (changedLast >= 0)
        Q_EMIT sigRowsChanged(changedFirst, changedLast);
    if (fresh.empty())
        return;
    const int n = size();
    Q_EMIT sigRowsAboutToBeInserted(n, n + int(fresh.size()) - 1);
    m_rows.insert(m_rows.end(), fresh.begin(), fresh.end());
    rebuildIndex(n);
    for (const IBaseHpfTableDataPtr& d : fresh)
        onDataAdded(d);
    Q_EMIT sigRowsInserted();
}

bool IBaseHpfTableModel::updateData(const IBaseHpfTableDataPtr& data) {
    if (!data)
        return false;
    const auto it = m_index.constFind(data->getKey());
    if (it == m_index.constEnd())
        return false;
    const int i = it.value();
    m_rows[size_t(i)] = data;
    onDataUpdated(data);
    Q_EMIT sigRowsChanged(i, i);
    return true;
}

bool IBaseHpfTableModel::removeDataByKey(const QString& key) {
    const auto it = m_index.constFind(key);
    if (it == m_index.constEnd())
        return false;
    const int i = it.value();
    Q_EMIT sigRowsAboutToBeRemoved(i, i);
    m_rows.erase(m_rows.begin() + i);
    m_index.remove(key);
    rebuildIndex(i);
    Q_EMIT sigRowsRemoved();
    return true;
}

IBaseHpfTableDataPtr IBaseHpfTableModel::getData(int index) const {
    if (index < 0 || index >= size())
        return IBaseHpfTableDataPtr();
    return m_rows[size_t(index)];
}

IBaseHpfTableDataPtr IBaseHpfTableModel::getDataByKey(const QString& key) const {
    const auto it = m_index.constFind(key);
    return it == m_index.constEnd() ? IBaseHpfTableDataPtr() : m_rows[size_t(it.value())];
}

int IBaseHpfTableModel::getDataIndexByKey(const QString& key) const {
    return m_index.value(key, -1);
}

void IBaseHpfTableModel::setPinned(const QString& key, bool pinned) {
    if (pinned == m_pinned.contains(key))
        return;
    if (pinned) {
        m_pinned.insert(key);
        m_pinOrder.append(key);
    } else {
        m_pinned.remove(key);
        m_pinOrder.removeAll(key);
    }
}

void IBaseHpfTableModel::notifyValuesChanged() {
    if (!m_rows.empty())
        Q_EMIT sigRowsChanged(0, size() - 1);
}

void IBaseHpfTableModel::notifyRowChanged(int index) {
    if (index >= 0 && index < size())
        Q_EMIT sigRowsChanged(index, index);
}

namespace {

template <class T>
struct SortKey {
    T value;
    int index;
};

// Stable ordering of the valid keys; the invalid ones keep their order after them.
template <class T>
void orderKeys(std::vector<SortKey<T>>& valid, bool descending) {
    if (descending)
        std::stable_sort(valid.begin(), valid.end(), [](const SortKey<T>& a, const SortKey<T>& b) {
            return b.value < a.value;
        });
    else
        std::stable_sort(valid.begin(), valid.end(), [](const SortKey<T>& a, const SortKey<T>& b) {
            return a.value < b.value;
        });
}

template <class T, class Get, class Valid>
void collectOrder(const std::vector<IBaseHpfTableDataPtr>& rows, const std::vector<int>& members,
                  bool descending, Get get, Valid isValid, std::vector<int>& out) {
    std::vector<SortKey<T>> valid;
    std::vector<int> invalid;
    valid.reserve(members.size());
    for (int i : members) {
        T v = get(rows[size_t(i)].get());
        if (isValid(v))
            valid.push_back(SortKey<T>{std::move(v), i});
        else
            invalid.push_back(i);
    }
    orderKeys(valid, descending);
    for (const SortKey<T>& k : valid)
        out.push_back(k.index);
    out.insert(out.end(), invalid.begin(), invalid.end());
}

} // namespace

void IBaseHpfTableModel::sortRows(int column, int order) {
    const int n = size();
    if (n == 0)
        return;
    const bool descending = order != 0;
    std::vector<int> newOrder; // newOrder[newRow] = oldRow
    newOrder.reserve(size_t(n));
    std::vector<int> members;
    members.reserve(size_t(n));
    if (m_bSortByPin && !m_pinned.isEmpty()) {
        for (const QString& key : qAsConst(m_pinOrder)) {
            const int i = m_index.value(key, -1);
            if (i >= 0)
                newOrder.push_back(i);
        }
        for (int i = 0; i < n; ++i)
            if (!m_pinned.contains(m_rows[size_t(i)]->getKey()))
                members.push_back(i);
    } else {
        for (int i = 0; i < n; ++i)
            members.push_back(i);
    }

    switch (columnValueType(column)) {
    case VT_LONGLONG:
        collectOrder<qint64>(
            m_rows, members, descending,
            [column](IBaseHpfTableData* r) { return r->getLonglong(column); },
            [](qint64 v) { return v != LLONG_MAX && v != LLONG_MIN; }, newOrder);
        break;
    case VT_STRING:
        collectOrder<QString>(
            m_rows, members, descending,
            [column](IBaseHpfTableData* r) { return r->getString(column); },
            [](const QString& v) { return !v.isEmpty() && v != QLatin1String("-"); }, newOrder);
        break;
    default:
        collectOrder<double>(
            m_rows, members, descending,
            [column](IBaseHpfTableData* r) { return r->getDouble(column); },
            [](double v) { return isValidNumber(v); }, newOrder);
        break;
    }

    Q_EMIT sigLayoutAboutToBeChanged();
    std::vector<IBaseHpfTableDataPtr> sorted;
    sorted.reserve(size_t(n));
    QVector<int> oldToNew(n);
    for (int r = 0; r < n; ++r) {
        sorted.push_back(std::move(m_rows[size_t(newOrder[size_t(r)])]));
        oldToNew[newOrder[size_t(r)]] = r;
    }
    m_rows.swap(sorted);
    rebuildIndex(0);
    Q_EMIT sigLayoutChanged(oldToNew);
}

} // namespace XP
