#include "bench/BenchBaseline.h"

#include <QHeaderView>
#include <QListWidget>
#include <QPainter>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>

BaselineTable::BaselineTable(const QStringList& titles)
    : m_pModel(new CountingItemModel()), m_pProxy(new QSortFilterProxyModel()),
      m_pView(new QTableView()), m_nColumns(titles.size() + 3), m_nRatioColumn(3 + 7)
{
    QStringList headers{QStringLiteral("代码"), QStringLiteral("名称"), QStringLiteral("行业")};
    headers += titles;
    m_pModel->setColumnCount(m_nColumns);
    m_pModel->setHorizontalHeaderLabels(headers);
    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->setDynamicSortFilter(true);
    m_pView->setModel(m_pProxy);
    m_pView->setSortingEnabled(true);
    m_pView->verticalHeader()->setDefaultSectionSize(20);
    m_pView->resize(1600, 900);
}

BaselineTable::~BaselineTable()
{
    delete m_pView;
    delete m_pProxy;
    delete m_pModel;
}

void BaselineTable::load(const std::vector<ttservice::CInstrumentDetailPtr>& instruments,
                         const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    // even a naive loader fills the model before handing it to the sorting proxy
    m_pProxy->setSourceModel(nullptr);
    m_pModel->removeRows(0, m_pModel->rowCount());
    m_rowOfCode.clear();
    for (size_t i = 0; i < instruments.size(); ++i) {
        const auto& d = *instruments[i];
        const int row = int(i);
        m_rowOfCode.insert(d.code, row);
        QList<QStandardItem*> items;
        items.reserve(m_nColumns);
        items << new QStandardItem(d.code) << new QStandardItem(d.name)
              << new QStandardItem(d.industry);
        for (int c = 3; c < m_nColumns; ++c)
            items << new QStandardItem();
        m_pModel->appendRow(items);
        if (i < quotes.size() && quotes[i])
            writeRow(row, *quotes[i]);
    }
    m_pProxy->setSourceModel(m_pModel);
    m_pView->sortByColumn(m_nRatioColumn, Qt::DescendingOrder);
}

void BaselineTable::writeRow(int row, const quoter::QuoterAllData& q)
{
    const double change = q.last - q.preClose;
    const double values[] = {q.open,        q.last,
                             q.high,        q.low,
                             q.amount,      double(q.volume),
                             q.preClose,    q.preClose != 0 ? change / q.preClose : 0.0,
                             change,        double(q.openInterestOrPhase),
                             q.bidPrice[0], double(q.bidVolume[0]),
                             q.askPrice[0], double(q.askVolume[0])};
    int c = 3;
    for (double v : values)
        m_pModel->setData(m_pModel->index(row, c++), v, Qt::DisplayRole);
    for (int level = 1; level < 5; ++level)
        m_pModel->setData(m_pModel->index(row, 3 + 18 + level), q.bidPrice[level], Qt::DisplayRole);
    for (int level = 1; level < 5; ++level)
        m_pModel->setData(m_pModel->index(row, 3 + 22 + level), double(q.bidVolume[level]),
                          Qt::DisplayRole);
    for (int level = 1; level < 5; ++level)
        m_pModel->setData(m_pModel->index(row, 3 + 26 + level), q.askPrice[level], Qt::DisplayRole);
    for (int level = 1; level < 5; ++level)
        m_pModel->setData(m_pModel->index(row, 3 + 30 + level), double(q.askVolume[level]),
                          Qt::DisplayRole);
    if (m_nColumns > 3 + 42) {
        m_pModel->setData(m_pModel->index(row, 3 + 40), q.volumeRatio, Qt::DisplayRole);
        m_pModel->setData(m_pModel->index(row, 3 + 41), q.riseSpeed1 / 100.0, Qt::DisplayRole);
        m_pModel->setData(m_pModel->index(row, 3 + 42), q.riseSpeed5 / 100.0, Qt::DisplayRole);
    }
}

void BaselineTable::push(const QVector<QString>& codes,
                         const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    const int n = std::min(codes.size(), int(quotes.size()));
    for (int i = 0; i < n; ++i) {
        auto it = m_rowOfCode.constFind(codes[i]);
        if (it != m_rowOfCode.constEnd() && quotes[size_t(i)])
            writeRow(*it, *quotes[size_t(i)]);
    }
}

void BaselineTable::setDynamicSort(bool on)
{
    m_pProxy->setDynamicSortFilter(on);
}

void BaselineTable::sortByRatio()
{
    m_pProxy->sort(m_nRatioColumn, Qt::DescendingOrder);
}

namespace {

enum CompactRole {
    RoleKey = Qt::UserRole + 1,
    RoleName,
    RoleCode,
    RoleLast,
    RoleChange,
    RoleSpeed,
};

class CompactItem final : public QListWidgetItem {
public:
    bool operator<(const QListWidgetItem& other) const override
    {
        return data(RoleChange).toDouble() < other.data(RoleChange).toDouble();
    }
};

// Paints name over code and three values, formatting the numbers on every paint.
class CompactDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(250, 50);
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const QRect r = option.rect;
        p->fillRect(r, option.state & QStyle::State_Selected ? QColor(36, 52, 86)
                                                             : QColor(22, 22, 22));
        p->setPen(QColor(32, 32, 32));
        p->drawRect(r.adjusted(0, 0, -1, -1));
        const int w = r.width() / 4;
        p->setPen(QColor(230, 230, 230));
        p->drawText(QRect(r.left(), r.top(), w, r.height() / 2), Qt::AlignCenter,
                    index.data(RoleName).toString());
        p->setPen(QColor(140, 140, 140));
        p->drawText(QRect(r.left(), r.top() + r.height() / 2, w, r.height() / 2), Qt::AlignCenter,
                    index.data(RoleCode).toString());
        const double change = index.data(RoleChange).toDouble();
        p->setPen(change > 1e-5    ? QColor(255, 50, 50)
                  : change < -1e-5 ? QColor(0, 230, 0)
                                   : QColor(210, 210, 210));
        const QString texts[3] = {QString::number(index.data(RoleLast).toDouble(), 'f', 2),
                                  QString::number(change * 100.0, 'f', 2) + QLatin1Char('%'),
                                  QString::number(index.data(RoleSpeed).toDouble() * 100.0, 'f', 2)
                                      + QLatin1Char('%')};
        for (int k = 0; k < 3; ++k)
            p->drawText(QRect(r.left() + w * (k + 1), r.top(), w, r.height()), Qt::AlignCenter,
                        texts[k]);
    }
};

} // namespace

BaselineCompactList::BaselineCompactList() : m_pView(new QListWidget())
{
    m_pView->setItemDelegate(new CompactDelegate(m_pView));
    m_pView->setUniformItemSizes(true);
    m_pView->resize(250, 1030);
}

BaselineCompactList::~BaselineCompactList()
{
    delete m_pView;
}

void BaselineCompactList::populate(const std::vector<ttservice::CInstrumentDetailPtr>& instruments,
                                   const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    const QString selected = selectedKey();
    m_pView->clear();
    QListWidgetItem* keep = nullptr;
    for (size_t i = 0; i < instruments.size(); ++i) {
        const auto& d = *instruments[i];
        auto* item = new CompactItem();
        item->setData(RoleKey, d.key);
        item->setData(RoleName, d.name);
        item->setData(RoleCode, d.code);
        const quoter::QuoterAllData* q = i < quotes.size() ? quotes[i].get() : nullptr;
        const double last = q ? q->last : d.refPrice;
        const double pre = q ? q->preClose : d.refPrice;
        item->setData(RoleLast, last);
        item->setData(RoleChange, pre > 0 ? (last - pre) / pre : 0.0);
        item->setData(RoleSpeed, q ? q->riseSpeed1 / 100.0 : 0.0);
        m_pView->addItem(item);
        if (d.key == selected)
            keep = item;
    }
    if (keep)
        m_pView->setCurrentItem(keep);
}

void BaselineCompactList::sortByChange()
{
    m_pView->sortItems(Qt::DescendingOrder);
}

void BaselineCompactList::selectRow(int row)
{
    m_pView->setCurrentRow(row);
}

QString BaselineCompactList::selectedKey() const
{
    const QListWidgetItem* item = m_pView->currentItem();
    return item ? item->data(RoleKey).toString() : QString();
}

int BaselineTable::addColumn(const QString& title)
{
    const int column = m_pModel->columnCount();
    m_pModel->setColumnCount(column + 1);
    m_pModel->setHorizontalHeaderItem(column, new QStandardItem(title));
    m_pView->horizontalHeader()->moveSection(m_pView->horizontalHeader()->visualIndex(column), 3);
    return column;
}

void BaselineTable::setValue(const QString& code, int column, double value)
{
    auto it = m_rowOfCode.constFind(code);
    if (it == m_rowOfCode.constEnd())
        return;
    m_pModel->setData(m_pModel->index(*it, column), value, Qt::DisplayRole);
}

SearchBaseline::SearchBaseline(const QList<ttservice::CInstrumentDetailPtr>& list)
    : m_model(list.size(), 2), m_pProxy(new QSortFilterProxyModel)
{
    for (int r = 0; r < list.size(); ++r) {
        m_model.setItem(r, 0, new QStandardItem(list[r]->code));
        m_model.setItem(r, 1, new QStandardItem(list[r]->name));
    }
    m_pProxy->setSourceModel(&m_model);
    m_pProxy->setFilterKeyColumn(-1);
}

SearchBaseline::~SearchBaseline()
{
    delete m_pProxy;
}

int SearchBaseline::apply(const QString& text)
{
    m_pProxy->setFilterRegularExpression(QRegularExpression(
        QRegularExpression::escape(text), QRegularExpression::CaseInsensitiveOption));
    return m_pProxy->rowCount();
}
