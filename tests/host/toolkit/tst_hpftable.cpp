#include "host/toolkit/BaseHighPerformanceTable.h"
#include "host/toolkit/BaseTableColumnLineeditDelegate.h"
#include "host/toolkit/GlyphTextPainter.h"
#include "host/toolkit/HpfTableModel.h"
#include "host/toolkit/HpfTableParts.h"
#include "host/toolkit/NumberFormat.h"
#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtTest/QAbstractItemModelTester>
#include <QtTest/QtTest>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>
#include <boost/make_shared.hpp>
#include <climits>
#include <cmath>

using namespace XP;

namespace {

// Column 0 text (name), 1 double, 2 64-bit integer, 3 text, 4 double.
class Row : public IBaseHpfTableData {
public:
    Row(QString key, double d, qint64 l = 0, QString s = QString())
        : key(std::move(key)), d(d), l(l), s(std::move(s))
    {
    }
    QString getText(int column) override
    {
        switch (column) {
        case 0: return key;
        case 1:
        case 4: return formatDoubleNumber(d, 2, 0);
        case 2: return formatLonglongNumber(l, 0, 0);
        default: return s;
        }
    }
    QString getString(int column) override { return column == 0 ? key : s; }
    int getInt(int) override { return INT_MAX; }
    double getDouble(int) override { return d; }
    qint64 getLonglong(int) override { return l; }
    const QColor* getTextColor(int column) override
    {
        return column == 1 ? CUiResource::instance().getColor(QStringLiteral("ic_clr_browse_rise"))
                           : nullptr;
    }
    QString getKey() override { return key; }
    const QColor* getBackgroundColor(int column) override
    {
        return column == backColumn ? back : nullptr;
    }

    QString key;
    const QColor* back = nullptr; // background of cell backColumn
    int backColumn = -1;
    double d;
    qint64 l;
    QString s;
};

using RowPtr = boost::shared_ptr<Row>;

class Model : public IBaseHpfTableModel {
public:
    int columnValueType(int column) override
    {
        switch (column) {
        case 0:
        case 3: return VT_STRING;
        case 2: return VT_LONGLONG;
        default: return VT_DOUBLE;
        }
    }
    QString statText(int column) override { return column == 1 ? stat : QString(); }
    QString stat = QStringLiteral("合计");
};

RowPtr row(const QString& key, double d, qint64 l = 0, const QString& s = QString())
{
    return boost::make_shared<Row>(key, d, l, s);
}

QStringList keys(const IBaseHpfTableModel& m)
{
    QStringList out;
    for (const auto& r : m.getAllDatas())
        out << r->getKey();
    return out;
}

// Records events that reach the parent of the table.
class Parent : public CBaseWidget {
public:
    QList<QList<int>> events;
    bool handleEvent(int id, int a, int b, const QString&, void*) override
    {
        events.append({id, a, b});
        return true;
    }
};

struct Fixture {
    Parent parent;
    Model model;
    CBaseHighPerformanceTable* table;
    explicit Fixture(int columns = 5)
    {
        table = new CBaseHighPerformanceTable(7, &parent, 508);
        table->setColumnCount(columns);
        for (int c = 0; c < columns; ++c)
            table->setHeaderText(c, QStringLiteral("c%1").arg(c));
        table->setModel(&model);
        parent.resize(600, 300);
        table->resize(600, 300);
    }
};

class ScrollTable : public CBaseHighPerformanceTable {
public:
    using CBaseHighPerformanceTable::CBaseHighPerformanceTable;
    QList<QList<int>> seen;
    bool handleEvent(int id, int a, int b, const QString& t, void* p) override
    {
        seen.append({id, a});
        return CBaseHighPerformanceTable::handleEvent(id, a, b, t, p);
    }
};

} // namespace

class tst_HpfTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void modelTesterUnderChanges()
    {
        Fixture f;
        QAbstractItemModelTester tester(f.table->model(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        f.model.addData(row("A", 3));
        f.model.addDatas({row("B", 1), row("C", 2), row("D", kNoValue)});
        f.model.addData(row("B", 9)); // replace
        f.model.updateData(row("C", 5));
        f.model.notifyValuesChanged();
        f.table->sortByColumn(1, 0);
        f.table->sortByColumn(0, 1);
        QVERIFY(f.model.removeDataByKey(QStringLiteral("A")));
        QVERIFY(!f.model.removeDataByKey(QStringLiteral("A")));
        f.table->newColumnId();
        f.table->removeColumn(2);
        f.table->resort();
        f.model.clear();
        f.model.notifyValuesChanged(); // on an empty model
        f.model.addDatas({});
        f.model.addData(IBaseHpfTableDataPtr());
        QCOMPARE(f.table->rowCount(), 0);
    }

    void addDataSameKeyReplaces()
    {
        Model m;
        m.addData(row("A", 1));
        m.addData(row("B", 2));
        auto replacement = row("A", 7);
        m.addData(replacement);
        QCOMPARE(m.size(), 2);
        QCOMPARE(m.getDataIndexByKey(QStringLiteral("A")), 0);
        QCOMPARE(m.getDataByKey(QStringLiteral("A")).get(), replacement.get());
        QVERIFY(!m.updateData(row("Z", 1)));
        QCOMPARE(m.size(), 2);
    }

    void addDatasOneNotification()
    {
        Model m;
        m.addData(row("A", 1));
        QSignalSpy inserted(&m, &IBaseHpfTableModel::sigRowsAboutToBeInserted);
        QSignalSpy changed(&m, &IBaseHpfTableModel::sigRowsChanged);
        m.addDatas({row("B", 1), row("C", 1), row("A", 5), row("B", 3), row("D", 1)});
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0][0].toInt(), 1);
        QCOMPARE(inserted[0][1].toInt(), 3); // B, C, D: the second B replaced the first
        QCOMPARE(changed.count(), 1);
        QCOMPARE(keys(m), (QStringList{"A", "B", "C", "D"}));
        QCOMPARE(m.getDataByKey(QStringLiteral("B"))->getDouble(1), 3.0);
        QCOMPARE(m.getDataByKey(QStringLiteral("A"))->getDouble(1), 5.0);
    }

    void lookupsByKey()
    {
        Model m;
        m.addDatas({row("A", 1), row("B", 2), row("C", 3)});
        QVERIFY(m.containData(QStringLiteral("B")));
        QCOMPARE(m.getDataIndexByKey(QStringLiteral("nope")), -1);
        QVERIFY(!m.getDataByKey(QStringLiteral("nope")));
        QVERIFY(!m.getData(-1));
        QVERIFY(!m.getData(3));
        QVERIFY(!m.getData(999999));
        m.removeDataByKey(QStringLiteral("A"));
        QCOMPARE(m.getDataIndexByKey(QStringLiteral("B")), 0);
        QCOMPARE(m.getDataIndexByKey(QStringLiteral("C")), 1);
        QVERIFY(!m.containData(QStringLiteral("A")));
    }

    void sortDoubleNoValueLastAndStable_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("expected");
        // values: A 2, B nv, C 1, D 2, E nan, F -inf, G 1
        QTest::newRow("ascending") << 0 << QStringList{"C", "G", "A", "D", "B", "E", "F"};
        QTest::newRow("descending") << 1 << QStringList{"A", "D", "C", "G", "B", "E", "F"};
    }

    void sortDoubleNoValueLastAndStable()
    {
        QFETCH(int, order);
        QFETCH(QStringList, expected);
        Model m;
        m.addDatas({row("A", 2), row("B", kNoValue), row("C", 1), row("D", 2),
                    row("E", std::nan("")), row("F", -INFINITY), row("G", 1)});
        m.sortRows(1, order);
        QCOMPARE(keys(m), expected);
        for (int i = 0; i < m.size(); ++i)
            QCOMPARE(m.getDataIndexByKey(expected[i]), i);
    }

    void sortLonglongAndText()
    {
        Model m;
        m.addDatas({row("A", 0, 5, "b"), row("B", 0, LLONG_MAX, "a"), row("C", 0, -3, ""),
                    row("D", 0, 5, "-"), row("E", 0, LLONG_MIN, "c")});
        m.sortRows(2, 0);
        QCOMPARE(keys(m), (QStringList{"C", "A", "D", "B", "E"}));
        m.sortRows(2, 1);
        QCOMPARE(keys(m), (QStringList{"A", "D", "C", "B", "E"}));
        m.sortRows(3, 0); // empty and "-" count as no value
        QCOMPARE(keys(m), (QStringList{"B", "A", "E", "D", "C"}));
        m.sortRows(3, 1);
        QCOMPARE(keys(m), (QStringList{"E", "A", "B", "D", "C"}));
    }

    void sortByPinKeepsPinnedOnTop()
    {
        Model m;
        m.setSortByPin(true);
        m.addDatas({row("A", 1), row("B", 2), row("C", 3), row("D", 4)});
        m.setPinned(QStringLiteral("C"), true);
        m.setPinned(QStringLiteral("A"), true);
        m.sortRows(1, 1);
        QCOMPARE(keys(m), (QStringList{"C", "A", "D", "B"}));
        m.setSortByPin(false);
        m.sortRows(1, 1);
        QCOMPARE(keys(m), (QStringList{"D", "C", "B", "A"}));
    }

    void noResortOnRowChange()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 2), row("C", 3)});
        f.table->sortByColumn(1, 1);
        QCOMPARE(keys(f.model), (QStringList{"C", "B", "A"}));
        boost::static_pointer_cast<Row>(f.model.getDataByKey(QStringLiteral("A")))->d = 10;
        f.model.notifyValuesChanged();
        f.model.addData(row("D", 0.5));
        QCOMPARE(keys(f.model), (QStringList{"C", "B", "A", "D"}));
        f.table->resort();
        QCOMPARE(keys(f.model), (QStringList{"A", "C", "B", "D"}));
    }

    void headerClickSortsAndToggles()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 3), row("C", 2)});
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QHeaderView* h = f.table->horizontalHeader();
        const QPoint p(h->sectionViewportPosition(1) + 5, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(f.table->getSortColumnID(), 1);
        QCOMPARE(f.table->getSortOrder(), 1); // descending first
        QCOMPARE(keys(f.model), (QStringList{"B", "C", "A"}));
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(f.table->getSortOrder(), 0);
        QCOMPARE(keys(f.model), (QStringList{"A", "C", "B"}));
        QVERIFY(f.parent.events.isEmpty()); // 33 goes to the table itself
        f.table->clearSort();
        QCOMPARE(f.table->getSortColumnID(), -1);
    }

    void headerRightClickDeliversFiftyFive()
    {
        Fixture f;
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QHeaderView* h = f.table->horizontalHeader();
        f.table->moveColumn(3, 0);
        QTest::mouseClick(h->viewport(), Qt::RightButton, {}, QPoint(5, h->height() / 2));
        QCOMPARE(f.parent.events, (QList<QList<int>>{{55, 3, 0}}));
        QCOMPARE(f.table->getSortColumnID(), -1);
    }

    void rowClickDeliversFortySeven()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 3), row("C", 2)});
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        const QRect r = f.table->visualRect(f.table->model()->index(1, 1));
        QTest::mouseClick(f.table->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(f.parent.events.value(0), (QList<int>{47, 7, 1}));
        QCOMPARE(f.table->getSelectedRow(), 1);
        QTest::mouseDClick(f.table->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(f.parent.events.contains(QList<int>{49, 7, 1}));
    }

    void selectionSurvivesResort()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 2), row("C", 3), row("D", 4)});
        f.table->setSelectedRow(1); // B
        QCOMPARE(f.model.getData(f.table->getSelectedRow())->getKey(), QStringLiteral("B"));
        f.table->sortByColumn(1, 1);
        QCOMPARE(f.table->getSelectedRow(), 2);
        QCOMPARE(f.model.getData(f.table->getSelectedRow())->getKey(), QStringLiteral("B"));
        QCOMPARE(f.table->getSelectedRows(), QList<int>{2});
        boost::static_pointer_cast<Row>(f.model.getDataByKey(QStringLiteral("B")))->d = 100;
        f.table->resort();
        QCOMPARE(f.table->getSelectedRow(), 0);
    }

    void selectionApi()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 2), row("C", 3), row("D", 4)});
        f.table->setSelectedRow(3);
        f.table->selectionModel()->select(f.table->model()->index(0, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(f.table->getSelectedRows(), (QList<int>{0, 3}));
        QCOMPARE(f.table->getSelectedRow(), 3);
        f.table->setSelectedRow(-1);
        QCOMPARE(f.table->getSelectedRow(), -1);
        QVERIFY(f.table->getSelectedRows().isEmpty());
        f.table->setSelectedRow(999999);
        QCOMPARE(f.table->getSelectedRow(), -1);
        f.table->setSelectedRowIndex(2);
        QCOMPARE(f.table->getSelectedRow(), 2);
    }

    void columnIdsAndPositions()
    {
        Fixture f;
        f.table->moveColumn(4, 1);
        QCOMPARE(f.table->columnIdAt(1), 4);
        QCOMPARE(f.table->visualPosition(4), 1);
        QCOMPARE(f.table->visualPosition(1), 2);
        QCOMPARE(f.table->headerText(4), QStringLiteral("c4"));
        f.table->moveColumn(0, 99); // clamps to the last position
        QCOMPARE(f.table->columnIdAt(4), 0);
        f.table->setColumnVisible(2, false);
        QVERIFY(!f.table->isColumnVisible(2));
        QVERIFY(f.table->isColumnVisible(3));
        const int id = f.table->newColumnId();
        QCOMPARE(id, 5);
        QCOMPARE(f.table->visualPosition(id), 5);
        QCOMPARE(f.table->columnCount(), 6);
        QVERIFY(f.table->visualPosition(-1) < 0);
        QCOMPARE(f.table->headerText(42), QString());
    }

    void removedColumnKeepsOtherIds()
    {
        Fixture f;
        f.model.addData(row("A", 1.5, 0, "x"));
        f.table->removeColumn(1);
        QVERIFY(f.table->isColumnRemoved(1));
        QVERIFY(!f.table->isColumnVisible(1));
        QCOMPARE(f.table->visualPosition(1), -1);
        QCOMPARE(f.table->columnIdAt(1), 2);
        QCOMPARE(f.table->getItemText(0, 3), QStringLiteral("x"));
        const int id = f.table->newColumnId();
        QCOMPARE(f.table->visualPosition(id), 4); // after the live ones
        f.table->sortByColumn(1, 0);              // a removed column does not sort
        QCOMPARE(f.table->getSortColumnID(), -1);
    }

    void configRoundTrip()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 2)});
        f.table->moveColumn(3, 0);
        f.table->setColumnWidth(2, 123);
        f.table->setColumnVisible(4, false);
        f.table->sortByColumn(1, 1);
        const QString config = f.table->saveConfigStr();
        QCOMPARE(f.table->saveConfigStr(), config); // saving twice gives the same text

        Fixture g;
        g.model.addDatas({row("A", 1), row("B", 2)});
        QVERIFY(g.table->loadConfigStr(config));
        QCOMPARE(g.table->columnIdAt(0), 3);
        QCOMPARE(g.table->columnWidth(2), 123);
        QVERIFY(!g.table->isColumnVisible(4));
        QCOMPARE(g.table->getSortColumnID(), 1);
        QCOMPARE(g.table->getSortOrder(), 1);
        QCOMPARE(keys(g.model), (QStringList{"B", "A"}));
        QCOMPARE(g.table->saveConfigStr(), config);
    }

    void malformedConfigLeavesTable_data()
    {
        QTest::addColumn<QString>("config");
        QTest::newRow("empty") << QString();
        QTest::newRow("garbage") << QStringLiteral("not json at all");
        QTest::newRow("array") << QStringLiteral("[1,2,3]");
        QTest::newRow("wrong version") << QStringLiteral("{\"v\":9,\"cols\":[[0,50,1]]}");
        QTest::newRow("no columns") << QStringLiteral("{\"v\":1}");
        QTest::newRow("short entry") << QStringLiteral("{\"v\":1,\"cols\":[[0,50]]}");
        QTest::newRow("text entry") << QStringLiteral("{\"v\":1,\"cols\":[[\"0\",50,1]]}");
        QTest::newRow("negative width") << QStringLiteral("{\"v\":1,\"cols\":[[0,-5,1]]}");
        QTest::newRow("huge width") << QStringLiteral("{\"v\":1,\"cols\":[[0,999999,1]]}");
        QTest::newRow("duplicate id") << QStringLiteral("{\"v\":1,\"cols\":[[1,50,1],[1,60,1]]}");
        QTest::newRow("bad visibility") << QStringLiteral("{\"v\":1,\"cols\":[[1,50,7]]}");
        QTest::newRow("bad sort order")
            << QStringLiteral("{\"v\":1,\"cols\":[[4,50,0]],\"sort\":[1,5]}");
        QTest::newRow("truncated") << QStringLiteral("{\"v\":1,\"cols\":[[4,50,0],[3,");
    }

    void malformedConfigLeavesTable()
    {
        QFETCH(QString, config);
        Fixture f;
        f.table->moveColumn(2, 0);
        f.table->setColumnWidth(4, 77);
        f.table->sortByColumn(3, 0);
        const QString before = f.table->saveConfigStr();
        QVERIFY(!f.table->loadConfigStr(config));
        QCOMPARE(f.table->saveConfigStr(), before);
    }

    void filterHidesRows()
    {
        Fixture f;
        f.model.addDatas({row("SH600000", 1), row("SZ000001", 2), row("SH601318", 3)});
        f.table->setColumnFilter(0, QStringLiteral("sh")); // not filterable yet: ignored
        QVERIFY(!f.table->isRowHidden(1));
        f.table->setColumnFilterable(0, true);
        f.table->setColumnFilter(0, QStringLiteral("sh"));
        QVERIFY(!f.table->isRowHidden(0));
        QVERIFY(f.table->isRowHidden(1));
        QVERIFY(!f.table->isRowHidden(2));
        f.table->sortByColumn(1, 1); // the hidden row moves to index 1 -> stays hidden by key
        QCOMPARE(keys(f.model), (QStringList{"SH601318", "SZ000001", "SH600000"}));
        QVERIFY(f.table->isRowHidden(1));
        QVERIFY(!f.table->isRowHidden(2));
        f.model.addData(row("SZ300750", 4));
        QVERIFY(f.table->isRowHidden(3));
        f.table->clearFilter();
        for (int r = 0; r < f.model.size(); ++r)
            QVERIFY(!f.table->isRowHidden(r));
    }

    void paintsOnlyVisibleCells()
    {
        Fixture f(5);
        std::vector<IBaseHpfTableDataPtr> rows;
        for (int i = 0; i < 5000; ++i)
            rows.push_back(row(QStringLiteral("K%1").arg(i), i));
        f.model.addDatas(rows);
        f.table->setItemHeight(20);
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QImage image(f.parent.size(), QImage::Format_ARGB32);
        CBaseHighPerformanceTable::s_nCellTextCount = 0;
        f.parent.render(&image);
        const quint64 painted = CBaseHighPerformanceTable::s_nCellTextCount;
        const int visibleRows = f.table->getEndRow() - f.table->getStartRow() + 1;
        QVERIFY(painted > 0);
        QVERIFY2(painted <= quint64((visibleRows + 1) * 5),
                 qPrintable(
                     QStringLiteral("%1 texts for %2 visible rows").arg(painted).arg(visibleRows)));
        // a coalesced value change repaints without producing texts for hidden rows
        CBaseHighPerformanceTable::s_nCellTextCount = 0;
        f.model.notifyValuesChanged();
        f.parent.render(&image);
        QVERIFY(CBaseHighPerformanceTable::s_nCellTextCount <= quint64((visibleRows + 1) * 5));
    }

    void visibleRowRange()
    {
        Fixture f;
        QCOMPARE(f.table->getStartRow(), -1);
        QCOMPARE(f.table->getEndRow(), -1);
        std::vector<IBaseHpfTableDataPtr> rows;
        for (int i = 0; i < 200; ++i)
            rows.push_back(row(QStringLiteral("K%1").arg(i), i));
        f.model.addDatas(rows);
        f.table->setItemHeight(20);
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QCOMPARE(f.table->getStartRow(), 0);
        const int end = f.table->getEndRow();
        const int pageRows = f.table->viewport()->height() / 21;
        QVERIFY(end >= pageRows - 1 && end <= pageRows);
        f.table->setSelectedRowMove(150);
        QVERIFY(f.table->getStartRow() <= 150 && f.table->getEndRow() >= 150);
        QCOMPARE(f.table->getSelectedRow(), 150);
        const int start = f.table->getStartRow();
        f.table->setSelectedRow(5); // in place: no scrolling
        QCOMPARE(f.table->getStartRow(), start);
        QVERIFY(f.table->isVerticalScrollVisible());
        QCOMPARE(f.table->verticalScrollMaximum(), 200 * 21 - f.table->viewport()->height());
    }

    void currentRowBackgroundFollowsKey()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 2), row("C", 3)});
        f.table->setSelectionMode(QAbstractItemView::NoSelection);
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        f.table->drawCurStockBackground(0, true); // A
        f.table->sortByColumn(1, 1);              // A moves to row 2
        QImage image(f.table->viewport()->size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        f.table->viewport()->render(&image);
        const QColor cur =
            *CUiResource::instance().getColor(QStringLiteral("ic_clr_table_cur_row_background"));
        const int x = f.table->columnViewportPosition(0) + 60;
        QCOMPARE(image.pixelColor(x, f.table->rowViewportPosition(2) + 3), cur);
        QVERIFY(image.pixelColor(x, f.table->rowViewportPosition(0) + 3) != cur);
        f.table->drawCurStockBackground(-1, false);
        f.table->viewport()->render(&image);
        QVERIFY(image.pixelColor(x, f.table->rowViewportPosition(2) + 3) != cur);
    }

    void rendersSelectionCellColoursAndSplitLines()
    {
        CUiResource& res = CUiResource::instance();
        auto colour = [&res](const char* key) {
            const QColor* c = res.getColor(QString::fromLatin1(key));
            return c ? *c : QColor();
        };
        const QColor background = colour("ic_clr_table_background");
        const QColor selectedBack = colour("ic_clr_table_selected_background");
        const QColor split = colour("ic_clr_table_split_line");
        const QColor columnSplit = colour("ic_clr_table_sort_noactive_split_line");
        const QColor sortSplit = colour("ic_clr_table_sort_split_line");
        const QColor lockBack = colour("ic_clr_table_cur_row_background");
        const QColor cellBack(12, 140, 70);
        const QColor sentinel(255, 0, 255);
        const QList<QColor> distinct{background, selectedBack, split,    columnSplit,
                                     sortSplit,  lockBack,     cellBack, sentinel};
        for (int i = 0; i < distinct.size(); ++i)
            for (int j = i + 1; j < distinct.size(); ++j)
                QVERIFY2(distinct[i].isValid() && distinct[i] != distinct[j],
                         qPrintable(QString::number(i)));

        Fixture f(5);
        RowPtr coloured = row("B", 2);
        coloured->back = &cellBack;
        coloured->backColumn = 2;
        f.model.addDatas({row("A", 1), coloured, row("C", 3), row("D", 4)});
        f.table->setSplitLinesVisible(true, true);
        f.table->sortByColumn(3, 0); // text column: ties keep the order A B C D
        f.table->setLockColumnColorKey(0, QStringLiteral("ic_clr_table_cur_row_background"));
        f.table->setColumnLocked(0, true);
        f.table->setSelectedRow(3);
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QCOMPARE(f.model.getData(1)->getKey(), QStringLiteral("B"));

        // the table without its own background: only what the table paints over the viewport
        QImage image(f.table->size(), QImage::Format_ARGB32);
        image.fill(sentinel);
        f.table->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const QRect vp = f.table->viewport()->geometry();
        const int h = f.table->rowHeight(0);
        // a point in the blank right part of a cell, clear of text and column lines
        auto at = [&](int row, int column, int dy = 2) {
            const int x = vp.left() + f.table->columnViewportPosition(column)
                          + f.table->columnWidth(column) - 8;
            return image.pixelColor(x, vp.top() + f.table->rowViewportPosition(row) + dy);
        };

        QCOMPARE(at(3, 1), selectedBack); // selected row
        QCOMPARE(at(3, 4), selectedBack); // selected row, last column
        QCOMPARE(at(3, 0), selectedBack); // selected row in the locked overlay
        QCOMPARE(at(1, 2), cellBack);     // coloured cell
        QCOMPARE(at(1, 1), background);   // its neighbours
        QCOMPARE(at(1, 3), background);
        QCOMPARE(at(0, 0), lockBack);     // locked column
        QCOMPARE(at(0, 1, h - 1), split); // split line under a row
        QCOMPARE(at(3, 1, h - 1), split); // also under the selected row
        const int y = vp.top() + f.table->rowViewportPosition(2) + 2;
        const int right1 =
            vp.left() + f.table->columnViewportPosition(1) + f.table->columnWidth(1) - 1;
        QCOMPARE(image.pixelColor(right1, y), columnSplit); // column split line
        const int left3 = vp.left() + f.table->columnViewportPosition(3);
        QCOMPARE(image.pixelColor(left3, y), sortSplit); // both sides of the sort column
        QCOMPARE(image.pixelColor(left3 + f.table->columnWidth(3) - 1, y), sortSplit);
        // below the rows and right of the columns: the table background
        const int below = vp.top() + f.table->rowViewportPosition(3) + h + 5;
        QVERIFY(below < vp.bottom());
        QCOMPARE(image.pixelColor(vp.left() + 20, below), background);
        // every pixel of the viewport is painted, also after the table grew and took a
        // statistics row while shown (the locked overlay must follow the viewport)
        auto allPainted = [&]() {
            image = QImage(f.table->size(), QImage::Format_ARGB32);
            image.fill(sentinel);
            f.table->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            const QRect port = f.table->viewport()->geometry();
            for (int yy = port.top(); yy <= port.bottom(); ++yy)
                for (int xx = port.left(); xx <= port.right(); ++xx)
                    if (image.pixelColor(xx, yy) == sentinel)
                        return QStringLiteral("unpainted pixel %1,%2").arg(xx).arg(yy);
            return QString();
        };
        QCOMPARE(allPainted(), QString());
        // the row numbers below the last row: the table background too
        const QRect numbers = f.table->verticalHeader()->geometry();
        QVERIFY(numbers.width() > 2);
        QCOMPARE(image.pixelColor(numbers.center().x(), below), background);
        f.parent.resize(600, 520);
        f.table->resize(600, 520);
        f.table->setStatRowVisible(true);
        QCOMPARE(allPainted(), QString());
    }

    void glyphRunTextMatchesDrawText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("align");
        QTest::addColumn<bool>("glyphRun");
        const int left = Qt::AlignLeft | Qt::AlignVCenter,
                  right = Qt::AlignRight | Qt::AlignVCenter;
        QTest::newRow("price, right") << QStringLiteral("12.34") << right << true;
        QTest::newRow("percent, right") << QStringLiteral("-0.56%") << right << true;
        QTest::newRow("big value") << QStringLiteral("1234.57万") << right << true;
        QTest::newRow("code, left") << QStringLiteral("600000") << left << true;
        QTest::newRow("name, centred")
            << QStringLiteral("浦发银行") << int(Qt::AlignHCenter | Qt::AlignVCenter) << true;
        QTest::newRow("wider than the cell")
            << QStringLiteral("123456789012345678901234567890") << left << false;
        QTest::newRow("combining mark") << QStringLiteral("e\u0301") << left << false;
    }

    void glyphRunTextMatchesDrawText()
    {
        QFETCH(QString, text);
        QFETCH(int, align);
        QFETCH(bool, glyphRun);
        const QFont font =
            CUiResource::instance().getFont(QStringLiteral("ic_fnt_table_text_default"));
        const QRect cell(4, 0, 120, 20);
        auto render = [&](bool viaGlyphs, CGlyphTextPainter* painter) {
            QImage image(128, 20, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::black);
            QPainter p(&image);
            p.setPen(QColor(200, 200, 200));
            if (viaGlyphs) {
                painter->draw(p, font, cell, align, text);
            } else {
                p.setFont(font);
                p.drawText(cell, align, text);
            }
            return image;
        };
        CGlyphTextPainter glyphs;
        const QImage fast = render(true, &glyphs);
        const QImage reference = render(false, nullptr);
        QCOMPARE(glyphs.glyphRunCount(), quint64(glyphRun ? 1 : 0));
        int differing = 0, inked = 0;
        for (int y = 0; y < fast.height(); ++y) {
            for (int x = 0; x < fast.width(); ++x) {
                differing += fast.pixel(x, y) != reference.pixel(x, y);
                inked += reference.pixel(x, y) != qRgb(0, 0, 0);
            }
        }
        QVERIFY(inked > 0);
        QVERIFY2(differing == 0, qPrintable(QStringLiteral("%1 pixels differ").arg(differing)));
    }

    void lineEditCommitDeliversEvents()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 2)});
        auto* delegate = new CBaseTableColumnLineeditDelegate(f.table, 4);
        f.table->setColumnDelegate(4, delegate);
        const QModelIndex idx = f.table->model()->index(1, 4);
        QVERIFY(f.table->model()->flags(idx) & Qt::ItemIsEditable);
        QVERIFY(!(f.table->model()->flags(f.table->model()->index(1, 3)) & Qt::ItemIsEditable));
        QVERIFY(f.table->model()->setData(idx, QStringLiteral("3.5"), Qt::EditRole));
        QCOMPARE(f.parent.events, (QList<QList<int>>{{230, 1, 4}, {231, 1, 4}}));
        QCOMPARE(delegate->text(QStringLiteral("B")), QStringLiteral("3.5"));
        QCOMPARE(idx.data(Qt::DisplayRole).toString(), QStringLiteral("3.5"));
    }

    void statRowPinnedUnderRows()
    {
        Fixture f;
        std::vector<IBaseHpfTableDataPtr> rows;
        for (int i = 0; i < 100; ++i)
            rows.push_back(row(QStringLiteral("K%1").arg(i), i));
        f.model.addDatas(rows);
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        const int fullHeight = f.table->viewport()->height();
        f.table->setStatRowVisible(true);
        QCoreApplication::processEvents();
        auto* stat = f.table->findChild<CHpfStatRow*>();
        QVERIFY(stat && stat->isVisible());
        const int h =
            CUiResource::instance().getSize(QStringLiteral("siz_standard_table_item_height"));
        QCOMPARE(stat->height(), h);
        QCOMPARE(f.table->viewport()->height(), fullHeight - h);
        QCOMPARE(stat->y(), f.table->viewport()->geometry().bottom() + 1);
        // scrolled to the end the stat row still sits under the last row
        f.table->setVerticalScrollValue(f.table->verticalScrollMaximum());
        QCOMPARE(f.table->getEndRow(), 99);
        QCOMPARE(f.table->statText(1), QStringLiteral("合计"));
        f.table->setStatRowVisible(false);
        QCoreApplication::processEvents();
        QVERIFY(!stat->isVisible());
        QCOMPARE(f.table->viewport()->height(), fullHeight);
    }

    void lockedColumnsStayWhileScrolling()
    {
        Fixture f(12);
        f.model.addDatas({row("A", 1), row("B", 2)});
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        auto* frozen = f.table->findChildren<QTableView*>().value(0);
        QVERIFY(frozen);
        QVERIFY(!frozen->isVisible());
        f.table->moveColumn(5, 0);
        f.table->setColumnLocked(2, true);
        // a locked column leads the display order
        QCOMPARE(f.table->columnIdAt(0), 2);
        QVERIFY(frozen->isVisible());
        for (int id = 0; id < 12; ++id)
            QCOMPARE(frozen->isColumnHidden(id), id != 2);
        QCOMPARE(frozen->width(), f.table->columnWidth(2));
        f.table->horizontalScrollBar()->setValue(f.table->horizontalScrollBar()->maximum());
        QVERIFY(f.table->horizontalScrollBar()->value() > 0);
        QCOMPARE(frozen->geometry().left(), f.table->viewport()->geometry().left());
        f.table->setColumnWidth(2, 140);
        QCOMPARE(frozen->width(), 140);
        // rows hidden by a filter are hidden in the overlay too, so the rows line up
        f.table->setColumnFilterable(0, true);
        f.table->setColumnFilter(0, QStringLiteral("B"));
        QVERIFY(f.table->isRowHidden(0));
        QVERIFY(frozen->isRowHidden(0));
        f.table->clearFilter();
        QVERIFY(!frozen->isRowHidden(0));
        f.table->setColumnLocked(2, false);
        QVERIFY(!frozen->isVisible());
    }

    void scrollBarPressAndDragReachTable()
    {
        Parent parent;
        Model model;
        auto* table = new ScrollTable(3, &parent, 0);
        table->setColumnCount(2);
        table->setModel(&model);
        std::vector<IBaseHpfTableDataPtr> rows;
        for (int i = 0; i < 300; ++i)
            rows.push_back(row(QStringLiteral("K%1").arg(i), i));
        model.addDatas(rows);
        table->resize(300, 200);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QScrollBar* bar = table->verticalScrollBar();
        bar->setSliderDown(true);
        bar->triggerAction(QAbstractSlider::SliderMove); // no move yet
        bar->setSliderPosition(100);
        bar->setSliderDown(false);
        QVERIFY(table->seen.contains(QList<int>{18, 1}));
        QVERIFY(table->seen.contains(QList<int>{20, 1}));
        QVERIFY(parent.events.isEmpty());
    }

    void rowNumberColumnFollowsFlag()
    {
        Fixture f;
        f.model.addDatas({row("A", 1), row("B", 2)});
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        auto* corner = f.table->findChild<CHpfCornerTitle*>();
        QVERIFY(corner);
        QVERIFY(f.table->tableFlags() & CBaseHighPerformanceTable::TF_ROW_NUMBER); // on by default
        QVERIFY(corner->isVisible());
        f.table->setRowNumberColumn(false, QString(), QString());
        QVERIFY(!corner->isVisible());
        f.table->setRowNumberColumn(true, QStringLiteral("序号"),
                                    QStringLiteral("ic_fnt_table_number_default"));
        QCoreApplication::processEvents();
        QVERIFY(f.table->tableFlags() & CBaseHighPerformanceTable::TF_ROW_NUMBER);
        QVERIFY(f.table->verticalHeader()->isVisible());
        QVERIFY(corner->isVisible());
        QCOMPARE(f.table->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));
        f.table->removeTableFlag(CBaseHighPerformanceTable::TF_ROW_NUMBER);
        QVERIFY(!f.table->verticalHeader()->isVisible());
        QVERIFY(!corner->isVisible());
    }

    void fitsWidthsToVisibleRowsOnly()
    {
        Fixture f;
        std::vector<IBaseHpfTableDataPtr> rows;
        for (int i = 0; i < 200; ++i)
            rows.push_back(row(QStringLiteral("k%1").arg(i), i, i, QStringLiteral("x")));
        f.model.addDatas(rows);
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QVERIFY(f.table->getEndRow() < 150);
        f.table->fitColumnWidthsToVisibleRows();
        const int narrow = f.table->columnWidth(3);
        // a long text far below the page does not count
        static_cast<Row*>(rows[150].get())->s = QString(80, QLatin1Char('W'));
        f.table->fitColumnWidthsToVisibleRows();
        QCOMPARE(f.table->columnWidth(3), narrow);
        // a longer text on the page widens the column
        static_cast<Row*>(rows[2].get())->s = QStringLiteral("a somewhat longer visible text");
        f.table->fitColumnWidthsToVisibleRows();
        const int visible = f.table->columnWidth(3);
        QVERIFY(visible > narrow);
        // once the long row is on the page it counts too
        f.table->setSelectedRowMove(150);
        QVERIFY(f.table->getStartRow() <= 150 && f.table->getEndRow() >= 150);
        f.table->fitColumnWidthsToVisibleRows();
        QVERIFY(f.table->columnWidth(3) > visible);
    }

    // A fitted column shows its whole title beside the header's marks, and the whole text
    // of the statistics row, even where every visible row's text is narrower.
    void fitKeepsHeaderMarksAndStatRow()
    {
        Fixture f;
        f.model.addDatas(
            {row("A", 1, 1, QStringLiteral("x")), row("B", 2, 2, QStringLiteral("y"))});
        f.table->setHeaderText(3, QStringLiteral("目标价"));
        f.table->setColumnSettingIcon(3, true);
        f.model.stat = QStringLiteral("5079.75亿 5079.75亿");
        f.table->setStatRowVisible(true);
        f.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        f.table->fitColumnWidthsToVisibleRows();
        const auto& st = f.table->style();
        // title, both paddings, the sort and the settings marks
        const int title = QFontMetrics(st.headerFont).horizontalAdvance(QStringLiteral("目标价"));
        QVERIFY2(f.table->columnWidth(3) >= title + 2 * 4 + 2 * CHpfHeaderView::kMarkWidth,
                 qPrintable(QString::number(f.table->columnWidth(3))));
        // the sort mark's room is kept on a column that is not sorted yet
        const int plain = QFontMetrics(st.headerFont).horizontalAdvance(QStringLiteral("c2"));
        QVERIFY(f.table->columnWidth(2) >= plain + 2 * 4 + CHpfHeaderView::kMarkWidth);
        const int stat = QFontMetrics(st.statFont).horizontalAdvance(f.model.stat);
        QVERIFY2(f.table->columnWidth(1) >= stat + 2 * st.statMargin,
                 qPrintable(QString::number(f.table->columnWidth(1))));
    }
};

QTEST_MAIN(tst_HpfTable)
#include "tst_hpftable.moc"
