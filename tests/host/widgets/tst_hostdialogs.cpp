// The host's dialogs behind the browse view's commands, and its end of the event bus.
#include "host/data/IndexManager.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/toolkit/EventWidget.h"
#include "host/widgets/CAddSelfStockDialog.h"
#include "host/widgets/CCustomIndexSetDialog.h"
#include "host/widgets/CHostEventLog.h"
#include "host/widgets/COptionSwitchDialog.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TC;

namespace {
QStringList keysOf(const QString& sector)
{
    QStringList out;
    for (const auto& d : CSectorManager::instance()->getSectorStockList(sector))
        out.append(d->key);
    return out;
}
} // namespace

class TestHostDialogs : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_userDir;
    CSectorManager* m = nullptr;
    CIndexManager* im = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_userDir.isValid());
        qputenv("TT_USER_DIR", m_userDir.path().toLocal8Bit());
        ttmarket::installEmbeddedBackend();
        QVERIFY(CStockManager::instance()->ensureLoaded());
        m = CSectorManager::instance();
        im = CIndexManager::instance();
    }

    void cleanup()
    {
        m->cleanStockFromSector(QStringLiteral("自选股"), false);
        m->removeUserSector(QStringLiteral("长线"));
        im->clear();
    }

    void addSelfStock()
    {
        QSignalSpy selfSelect(m, &CSectorManager::sigUpdateSelfSelect);
        CAddSelfStockDialog dialog({QStringLiteral("600519"), QStringLiteral("000858")});
        QVERIFY(dialog.sectorNames().contains(QStringLiteral("自选股")));
        QCOMPARE(dialog.currentSector(), QStringLiteral("自选股"));
        QVERIFY(dialog.createSector(QStringLiteral("长线")));
        QVERIFY(!dialog.createSector(QStringLiteral("长线")));
        QVERIFY(!dialog.createSector(QStringLiteral("沪深A股")));
        QCOMPARE(dialog.currentSector(), QStringLiteral("长线"));
        dialog.accept();
        QCOMPARE(dialog.result(), 1);
        QCOMPARE(dialog.addedCount(), 2);
        QCOMPARE(keysOf(QStringLiteral("长线")),
                 (QStringList{QStringLiteral("600519.SH"), QStringLiteral("000858.SZ")}));
        QCOMPARE(selfSelect.count(), 1);
        QCOMPARE(selfSelect.at(0).at(0).toInt(), 0);
        QVERIFY(QFile::exists(m_userDir.path() + QStringLiteral("/sectors.json")));
        // nothing new: no notice
        CAddSelfStockDialog again({QStringLiteral("600519")});
        QVERIFY(again.setCurrentSector(QStringLiteral("长线")));
        again.accept();
        QCOMPARE(again.addedCount(), 0);
        QCOMPARE(selfSelect.count(), 1);
    }

    void newIndexNumbering()
    {
        const QString prefix = QStringLiteral("新板块指数");
        QCOMPARE(im->nextFreeName(prefix), prefix + QLatin1Char('1'));
        for (int n : {1, 2}) {
            CCustomIndexDetail i;
            i.code = im->nextFreeCode();
            i.name = prefix + QString::number(n);
            QVERIFY(im->addIndex(i));
        }
        QCOMPARE(im->nextFreeName(prefix), prefix + QLatin1Char('3'));
        QCOMPARE(im->nextFreeCode(), QStringLiteral("ZDY003"));
    }

    void customIndexForm_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<double>("weight"); // 0: equal weights
        QTest::addColumn<QString>("error");
        QTest::newRow("valid") << "白酒" << QStringList{"600519", "000858"} << 0.0 << "";
        QTest::newRow("no name") << "" << QStringList{"600519"} << 0.0 << "请输入指数名称";
        QTest::newRow("name taken") << "已有" << QStringList{"600519"} << 0.0 << "指数名称已存在";
        QTest::newRow("no constituents") << "空" << QStringList{"nothing"} << 0.0 << "请添加成分股";
        QTest::newRow("negative weight")
            << "负" << QStringList{"600519"} << -1.0 << "权重须为正数: 600519";
    }

    void customIndexForm()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, codes);
        QFETCH(double, weight);
        QFETCH(QString, error);
        CCustomIndexDetail taken;
        taken.code = QStringLiteral("OLD001");
        taken.name = QStringLiteral("已有");
        QVERIFY(im->addIndex(taken));
        CCustomIndexSetDialog dialog;
        QSignalSpy saved(&dialog, &CCustomIndexSetDialog::sigIndexSaved);
        dialog.clear();
        dialog.setIndexName(name);
        for (const QString& c : codes)
            dialog.addStock(c, weight);
        if (weight == 0.0)
            dialog.setEqualWeights();
        dialog.accept();
        QCOMPARE(dialog.errorText(), error);
        QCOMPARE(saved.count(), error.isEmpty() ? 1 : 0);
        QCOMPARE(dialog.result(), error.isEmpty() ? 1 : 0);
        if (!error.isEmpty())
            return;
        const CCustomIndexDetailPtr stored = im->getIndex(saved.at(0).at(0).toString());
        QVERIFY(stored);
        QCOMPARE(stored->name, name);
        QCOMPARE(int(stored->stocks.size()), 2);
        QCOMPARE(stored->stocks.at(1).code, QStringLiteral("000858"));
        QCOMPARE(stored->stocks.at(1).market, QStringLiteral("SZ"));
        QCOMPARE(stored->stocks.at(1).weight, 50.0);
    }

    void customIndexEdit()
    {
        CCustomIndexDetail idx;
        idx.code = QStringLiteral("ZDY007");
        idx.name = QStringLiteral("旧名");
        idx.priceStep = 0.001;
        idx.stocks = {{QStringLiteral("SH"), QStringLiteral("600519"), 100.0}};
        QVERIFY(im->addIndex(idx));
        CCustomIndexSetDialog dialog;
        dialog.setIndexDetail(*im->getIndex(idx.code));
        QVERIFY(!dialog.addStock(QStringLiteral("600519.SH"))); // held already
        QVERIFY(dialog.addStock(QStringLiteral("000858"), 30));
        QVERIFY(dialog.setWeight(QStringLiteral("600519"), 70));
        QVERIFY(dialog.removeStock(QStringLiteral("000858")));
        QVERIFY(dialog.addStock(QStringLiteral("000858"), 30));
        dialog.setIndexName(QStringLiteral("新名"));
        dialog.accept();
        QCOMPARE(dialog.result(), 1);
        QCOMPARE(im->allIndices().size(), 1); // replaced under its code
        const CCustomIndexDetailPtr stored = im->getIndex(idx.code);
        QCOMPARE(stored->name, QStringLiteral("新名"));
        QCOMPARE(stored->priceStep, 0.001);
        QCOMPARE(stored->stocks.at(0).weight, 70.0);
        QCOMPARE(stored->stocks.at(1).weight, 30.0);
    }

    void optionSwitchForm()
    {
        COptionSwitchDialog dialog(QStringLiteral("创建篮子"));
        dialog.addTextField(QStringLiteral("名称"), QStringLiteral("名称"));
        dialog.addChoiceField(QStringLiteral("类型"), QStringLiteral("类型"),
                              {QStringLiteral("股票篮子"), QStringLiteral("期货篮子")});
        QMap<QString, QString> data;
        QVERIFY(!dialog.getData(data)); // no name yet
        QVERIFY(data.isEmpty());
        QVERIFY(dialog.setValue(QStringLiteral("名称"), QStringLiteral("  篮子一 ")));
        QVERIFY(dialog.getData(data));
        QCOMPARE(data.value(QStringLiteral("名称")), QStringLiteral("篮子一"));
        QCOMPARE(data.value(QStringLiteral("类型")), QStringLiteral("股票篮子"));
        QVERIFY(!dialog.setValue(QStringLiteral("类型"), QStringLiteral("债券篮子")));
        QVERIFY(dialog.setValue(QStringLiteral("类型"), QStringLiteral("期货篮子")));
        QVERIFY(!dialog.setValue(QStringLiteral("未知"), QString()));
        QVERIFY(dialog.getData(data));
        QCOMPARE(data.value(QStringLiteral("类型")), QStringLiteral("期货篮子"));
    }

    void hostEvents_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("handled");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("condition picking") << 3017 << "" << true << QStringList();
        QTest::newRow("new work group") << 3159 << "" << true << QStringList();
        QTest::newRow("radar") << 1185 << "" << true << QStringList();
        QTest::newRow("other events are only recorded")
            << 3059 << "600519" << false << QStringList();
        QTest::newRow("add to a user sector")
            << 4004 << R"({"sector":"自选股","stocks":["600519","000858",7]})" << true
            << QStringList{"600519.SH", "000858.SZ"};
        QTest::newRow("add to a system sector")
            << 4004 << R"({"sector":"沪深A股","stocks":["600519"]})" << false << QStringList();
        QTest::newRow("not JSON") << 4004 << "{sector" << false << QStringList();
    }

    void hostEvents()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(bool, handled);
        QFETCH(QStringList, added);
        CHostEventLog* log = CHostEventLog::instance();
        log->clear();
        log->install();
        XP::CBaseWidget sender;
        int marker = 0;
        QCOMPARE(sender.deliverEvent(id, 1, 2, text, &marker), handled);
        log->uninstall();
        QVERIFY(!sender.deliverEvent(id, 1, 2, text, &marker)); // no longer the sink
        QCOMPARE(log->count(id), 1);
        const CHostEvent e = log->events(id).first();
        QCOMPARE(e.a, 1);
        QCOMPARE(e.b, 2);
        QCOMPARE(e.text, text);
        QCOMPARE(e.pointer, static_cast<const void*>(&marker));
        QCOMPARE(e.sender.data(), &sender);
        QCOMPARE(keysOf(QStringLiteral("自选股")), added);
    }
};

QTEST_MAIN(TestHostDialogs)
#include "tst_hostdialogs.moc"
