// External data sets in the browse view (shown as sectors, moved between, deleted while
// shown), indicator templates, and indicator columns picked in the host's dialog.
#include "ViewTestFixture.h"

#include "host/data/ColumnInfo.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/StdFile.h"
#include "host/widgets/COptionTextListDialog.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "host/widgets/CSelectIndicatorsDialog.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"

using namespace TC;
using namespace viewtest;

namespace {

const QString kMacro = QStringLiteral("宏观指标");
const QString kFactors = QStringLiteral("自定义因子");

QStringList codesOf(CBrowseWidget* table)
{
    QStringList out;
    for (int row = 0; row < table->model()->size(); ++row)
        out.append(table->model()->rowAt(row)->code);
    out.sort();
    return out;
}

QStringList setCodes(const QString& set)
{
    QStringList out;
    for (const auto& e : CExternalDataManager::instance()->getDataList(set))
        out.append(e->code);
    out.sort();
    return out;
}

QStringList columnTitles(CBrowseWidget* table)
{
    QStringList out;
    for (const ColumnInfo& c : table->customIndexColumns())
        out.append(c.title);
    for (const ColumnInfo& c : table->userDefinedColumns())
        out.append(c.title);
    return out;
}

} // namespace

class TstViewExternal : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_chosenFile; // what the file chooser answers

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(setUp(m_dir, true));
        answerDialogs(&m_chosenFile);
    }
    void cleanupTestCase()
    {
        clearAnswers();
        TestMarket::restore();
    }
    void init()
    {
        CExternalDataManager::instance()->reset();
        se::FieldParams::clear();
    }

    // --- data sets -------------------------------------------------------------------------

    void moveAndRemoveRefetch()
    {
        auto view = makeView();
        view->setExternal(kMacro);
        CBrowseWidget* table = view->mainBrowseWidget();
        QCOMPARE(view->getBrowseWidget(), table);
        QCOMPARE(table->getBrowserStatus(), int(BrowseStatus_External));
        QCOMPARE(codesOf(table), setCodes(kMacro));

        // the read-only set is offered nowhere
        QMenu menu;
        view->createExternalMenu(CExternalDataManager::instance()->getRootCatalog(), &menu);
        QCOMPARE(texts(menu.actions()), (QStringList{"我的数据", kMacro, kFactors}));

        selectRows(table, {"CPI01", "PMI01"});
        menu.actions().at(2)->trigger();
        QVERIFY(setCodes(kFactors).contains(QStringLiteral("CPI01")));
        QVERIFY(setCodes(kFactors).contains(QStringLiteral("PMI01")));
        // the shown set was fetched again at once, after a move and after a removal
        QCOMPARE(codesOf(table), setCodes(kMacro));
        QVERIFY(!codesOf(table).contains(QStringLiteral("CPI01")));
        selectRows(table, {"GDP01"});
        view->slotRemoveFromOAExternal();
        QVERIFY(!setCodes(kMacro).contains(QStringLiteral("GDP01")));
        QCOMPARE(codesOf(table), setCodes(kMacro));
    }

    void deletedSet()
    {
        auto* manager = CExternalDataManager::instance();
        QVERIFY(manager->addDataSet(QStringLiteral("临时数据"), QStringLiteral("我的数据")));
        QVERIFY(manager->addData(QStringLiteral("临时数据"), QStringLiteral("TMP01"),
                                 QStringLiteral("临时序列"), {{0, 1.0}}));
        auto view = makeView();
        view->setExternal(QStringLiteral("临时数据"));
        CBrowseWidget* table = view->mainBrowseWidget();
        QCOMPARE(codesOf(table), QStringList{"TMP01"});

        manager->reset(); // the set is gone
        view->setExternal(QStringLiteral("临时数据"));
        QCOMPARE(table->getSectorName(), QStringLiteral("临时数据"));
        view->slotExternalChanged(1, QStringLiteral("临时数据"));
        QVERIFY(table->getStockList().isEmpty());
        view->setExternal(kMacro);
        QCOMPARE(codesOf(table), setCodes(kMacro));
    }

    void barButtonFollowsTheCatalogue()
    {
        auto view = makeView();
        CCombinPushButton* button =
            view->sectorTabControl()->buttonByRootText(QStringLiteral("外部数据"));
        QVERIFY(button);
        auto items = [button] { return texts(button->items()); };
        const QStringList sets{"我的数据", kMacro, kFactors};
        QCOMPARE(items(), sets);
        QVERIFY(CExternalDataManager::instance()->addDataSet(QStringLiteral("新数据"),
                                                             QStringLiteral("我的数据")));
        view->slotExternalChanged(0, QString());
        QCOMPARE(items(), QStringList(sets) << QStringLiteral("新数据"));
        QCOMPARE(button->curText(), QStringLiteral("   - "));
        // choosing an item opens the set in the main table
        QVERIFY(button->chooseItem(kFactors));
        QCOMPARE(view->mainBrowseWidget()->getSectorName(), kFactors);
        QCOMPARE(codesOf(view->mainBrowseWidget()), setCodes(kFactors));
        // only additions are announced (kinds above 1 change nothing)
        button->setCurText(kFactors);
        view->slotExternalChanged(2, kFactors);
        QCOMPARE(button->curText(), kFactors);
    }

    // --- templates -------------------------------------------------------------------------

    void templateRoundTrip()
    {
        auto view = makeView(QStringLiteral("沪深A股"));
        CBrowseWidget* table = view->getBrowseWidget();
        ColumnInfo ma;
        ma.formulaName = QStringLiteral("MA");
        ma.title = QStringLiteral("MA5");
        ma.period = 86400000;
        QVERIFY(table->addCustomIndex(ma) >= 0);
        QVERIFY(table->addCustomField(QStringLiteral("评级"), QStringLiteral("3")) >= 0);
        const QStringList columns = columnTitles(table);

        m_chosenFile = m_dir.filePath(QStringLiteral("tpl.txt"));
        view->slotExportExternalCustomTpl();
        QCOMPARE(XP::CMessageBox::lastText(), QStringLiteral("导出完成"));

        auto other = makeView(QStringLiteral("沪深A股"));
        other->slotImportExternalCustomTpl();
        QCOMPARE(XP::CMessageBox::lastText(), QStringLiteral("导入完成"));
        QCOMPARE(columnTitles(other->getBrowseWidget()), columns);

        // a folder cannot be written as a file
        m_chosenFile = m_dir.path();
        view->slotExportExternalCustomTpl();
        QVERIFY(XP::CMessageBox::lastText().startsWith(QStringLiteral("导出失败")));
    }

    void templateImportFailures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not JSON") << QByteArray("customs: MA5");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("20 MiB") << QByteArray("{\"customs\":\"") + QByteArray(20 << 20, 'a')
                                       + QByteArray("\"}");
        QTest::newRow("5000 deep") << QByteArray(5000, '[') + QByteArray(5000, ']');
        QTest::newRow("5000 deep object")
            << QByteArray("{\"a\":") + QByteArray(5000, '[') + QByteArray(5000, ']') + "}";
    }
    void templateImportFailures()
    {
        QFETCH(QByteArray, content);
        m_chosenFile = m_dir.filePath(QStringLiteral("bad.txt"));
        QVERIFY(stdWriteFile(m_chosenFile, content.toStdString()));
        auto view = makeView(QStringLiteral("沪深A股"));
        CBrowseWidget* table = view->getBrowseWidget();
        QVERIFY(table->addCustomField(QStringLiteral("评级"), QStringLiteral("3")) >= 0);
        const QStringList before = columnTitles(table);
        XP::CMessageBox::information(nullptr, QString(), QString()); // clears the last text
        view->slotImportExternalCustomTpl();
        QVERIFY2(XP::CMessageBox::lastText().startsWith(QStringLiteral("导入失败")),
                 qPrintable(XP::CMessageBox::lastText()));
        QCOMPARE(columnTitles(table), before);

        // a missing file is a failure too; a cancelled chooser says nothing
        m_chosenFile = m_dir.filePath(QStringLiteral("missing.txt"));
        view->slotImportExternalCustomTpl();
        QVERIFY(XP::CMessageBox::lastText().startsWith(QStringLiteral("导入失败")));
        XP::CMessageBox::information(nullptr, QString(), QString());
        m_chosenFile.clear();
        view->slotImportExternalCustomTpl();
        QVERIFY(XP::CMessageBox::lastText().isEmpty());
    }

    // --- picked indicator columns ----------------------------------------------------------

    void extendedDataColumns()
    {
        auto view = makeView(QStringLiteral("深证A股"));
        const QString name = CExtendDataManager::instance()->getExtendList().first();
        QTimer::singleShot(0, [name] {
            auto* dialog =
                qobject_cast<CSimGetCheckSelectDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setChecked(name, true);
            dialog->accept();
        });
        view->slotAddExtendData();
        const QList<ColumnInfo>& added = view->mainBrowseWidget()->customIndexColumns();
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().title, name);
        QCOMPARE(added.first().columnKind, 1);
        QCOMPARE(added.first().conditionSector, QStringLiteral("深证A股"));
    }

    void customFieldColumn()
    {
        auto view = makeView(QStringLiteral("沪深A股"));
        QSignalSpy told(CFormulaManager::instance(), &CFormulaManager::sigUpdateCustomField);
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<COptionTextListDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->sectorName(), QStringLiteral("沪深A股"));
            QVERIFY(dialog->addField(QStringLiteral("目标价"), QStringLiteral("12.5")));
            dialog->accept();
        });
        view->slotAddCustomField();
        QCOMPARE(columnTitles(view->getBrowseWidget()), QStringList{"目标价"});
        QCOMPARE(se::FieldParams::getDefault(QStringLiteral("目标价")), QStringLiteral("12.5"));
        QCOMPARE(told.count(), 1);
    }

    void userColumnsByName()
    {
        auto view = makeView(QStringLiteral("沪深A股"));
        CBrowseWidget* table = view->mainBrowseWidget();
        view->addCustomColumn(QStringLiteral("评分"));
        view->addCustomColumn(QStringLiteral("评分")); // once only
        QCOMPARE(columnTitles(table), QStringList{"评分"});
        view->updateCustomColumn(QStringLiteral("评分"), QStringLiteral("得分"));
        QCOMPARE(columnTitles(table), QStringList{"得分"});
        view->updateCustomColumn(QStringLiteral("不存在"), QStringLiteral("别名"));
        QCOMPARE(columnTitles(table), QStringList{"得分"});
    }

    void pickedIndicatorColumn_data()
    {
        QTest::addColumn<QString>("sector");
        QTest::addColumn<QString>("condition");
        QTest::newRow("top level") << QStringLiteral("沪深A股") << QStringLiteral("沪深A股");
        QTest::newRow("under a group") << QStringLiteral("深证A股") << QStringLiteral("A股分类");
    }
    void pickedIndicatorColumn()
    {
        QFETCH(QString, sector);
        QFETCH(QString, condition);
        auto view = makeView(sector);
        view->slotSelectCustomIndex();
        auto* dialog = view->findChild<CSelectIndicatorsDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->formulaNames().isEmpty());
        QVERIFY(dialog->chooseFormula(dialog->formulaNames().first()));
        dialog->setTitle(QStringLiteral("选中指标"));
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        const QList<ColumnInfo>& added = view->mainBrowseWidget()->customIndexColumns();
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().title, QStringLiteral("选中指标"));
        QCOMPARE(added.first().formulaName, dialog->formulaNames().first());
        QCOMPARE(added.first().conditionSector, condition);
        // the dialog is made once
        view->slotSelectCustomIndex();
        QCOMPARE(view->findChildren<CSelectIndicatorsDialog*>().size(), 1);
    }
};

QTEST_MAIN(TstViewExternal)
#include "tst_viewexternal.moc"
