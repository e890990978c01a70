// Configuration, the data folder, custom indices, external and extended data.
#include "host/data/Config.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/IndexManager.h"
#include "host/data/StdFile.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TC;

class CountingReceiver : public QObject {
    Q_OBJECT
public:
    int calls = 0;
public Q_SLOTS:
    void slotOptionSettingChange() { ++calls; }
};

class TestHostConfig : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static void writeFile(const QString& path, const QByteArray& text)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

private Q_SLOTS:
    void initTestCase()
    {
        ttmarket::installEmbeddedBackend();
        QVERIFY(m_dir.isValid());
        qputenv("TT_USER_DIR", (m_dir.path() + QStringLiteral("/user")).toLocal8Bit());
    }

    void dataDirFollowsEnvironment()
    {
        const QString dir = getDataDir();
        QCOMPARE(dir, m_dir.path() + QStringLiteral("/user"));
        QVERIFY(QFileInfo(dir).isDir()); // created on first use
    }

    void stdFiles()
    {
        const QString path = getDataDir() + QStringLiteral("/BrowseParam/deep/file.csv");
        QVERIFY(stdWriteFile(path, std::string("a,b\n1,2\n"), "wb"));
        QVERIFY(stdWriteFile(path, std::string("3,4\n"), "ab"));
        std::string text;
        QVERIFY(stdReadFile(path, text));
        QCOMPARE(QString::fromStdString(text), QStringLiteral("a,b\n1,2\n3,4\n"));
        QVERIFY(!stdReadFile(getDataDir() + QStringLiteral("/missing.txt"), text));
        QVERIFY(text.empty());
        QVERIFY(!stdWriteFile(QString(), text, "wb"));
    }

    void validFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("valid");
        const auto row = [](const char* tag, const char* name, const char* valid) {
            QTest::newRow(tag) << QString(name) << QString(valid);
        };
        row("plain", "自选股", "自选股");
        row("separators", "a/b\\c", "a_b_c");
        row("climbing out", "../../etc/x", ".._.._etc_x");
        row("dots only", "..", "__");
        row("reserved characters", "a:*?\"<>|b", "a_______b");
        row("control character", "a\tb", "a_b");
        row("dots inside stay", "上证50.v2", "上证50.v2");
    }

    void validFileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, valid);
        QCOMPARE(validFileName(name), valid);
    }

    void textFileWriter_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("written");
        QTest::newRow("existing folder") << getDataDir() + QStringLiteral("/自选股.txt") << true;
        QTest::newRow("missing folder") << getDataDir() + QStringLiteral("/no/such/a.txt") << false;
        QTest::newRow("read-only file system") << QStringLiteral("/proc/tt_export.txt") << false;
        QTest::newRow("a folder's name") << getDataDir() << false;
        QTest::newRow("empty") << QString() << false;
    }

    void textFileWriter()
    {
        QFETCH(QString, path);
        QFETCH(bool, written);
        const QString content = QStringLiteral("600519\n000858");
        QCOMPARE(QWriteFile(path, content), written);
        std::string text;
        if (written) {
            QVERIFY(stdReadFile(path, text));
            QCOMPARE(QString::fromStdString(text), content);
        } else {
            QVERIFY(!QFileInfo(path).isFile());
        }
    }

    // A replacing write cut short by the file-size limit in a child process: with SIGXFSZ
    // ignored the write fails, with the default action the process dies mid-write.
    void replaceCutShortKeepsOldFile_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("write fails") << false;
        QTest::newRow("process dies mid-write") << true;
    }

    void replaceCutShortKeepsOldFile()
    {
        QFETCH(bool, killed);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("param.json"));
        const std::string old = "{\"kept\": true}\n";
        QVERIFY(stdWriteFile(path, old, "wb"));
        const std::string big(1 << 20, 'x');
        const pid_t pid = fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            std::signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
            const rlimit limit{64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
            _exit(stdWriteFile(path, big, "wb") ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        if (killed) {
            QVERIFY(WIFSIGNALED(status));
            QCOMPARE(WTERMSIG(status), SIGXFSZ);
        } else {
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 1); // reported as failed
            // and nothing of the attempt is left beside it
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"param.json"});
        }
        std::string text;
        QVERIFY(stdReadFile(path, text));
        QCOMPARE(QString::fromStdString(text), QString::fromStdString(old));
    }

    void refreshIntervalListeners()
    {
        CIndexUserConfig* c = SingletonManager::getIndexUserConfig();
        c->resetToDefaults();
        QCOMPARE(c->getRefreshInterval(), 1000);
        int a = 0, b = 0;
        const int idA = c->addChangeListener([&] { ++a; });
        const int idB = c->addChangeListener([&] { ++b; });
        QVERIFY(idA > 0 && idB > 0 && idA != idB);
        QCOMPARE(c->addChangeListener(std::function<void()>()), 0);
        c->setRefreshInterval(500);
        QCOMPARE(c->getRefreshInterval(), 500);
        QCOMPARE(a, 1);
        QCOMPARE(b, 1);
        c->setRefreshInterval(500); // unchanged: no notice
        QCOMPARE(a, 1);
        c->setRefreshInterval(5);
        QCOMPARE(c->getRefreshInterval(), 100);
        QCOMPARE(a, 2);
        c->removeChangeListener(idA);
        c->removeChangeListener(idA); // twice is harmless
        c->removeChangeListener(12345);
        c->setRefreshInterval(2000);
        QCOMPARE(a, 2);
        QCOMPARE(b, 3);
        c->removeChangeListener(idB);
    }

    void listenerRemovalFromInsideANotice()
    {
        CIndexUserConfig* c = SingletonManager::getIndexUserConfig();
        int first = 0, second = 0;
        int idSecond = 0;
        int idFirst = 0;
        idFirst = c->addChangeListener([&] {
            ++first;
            c->removeChangeListener(idFirst);  // itself
            c->removeChangeListener(idSecond); // a later one: must not be called any more
        });
        idSecond = c->addChangeListener([&] { ++second; });
        c->setShowFutureOptionArbitrage(!c->isShowFutureOptionArbitrage());
        QCOMPARE(first, 1);
        QCOMPARE(second, 0);
        c->setShowFutureOptionArbitrage(!c->isShowFutureOptionArbitrage());
        QCOMPARE(first, 1);
    }

    void slotListeners()
    {
        CIndexUserConfig* c = SingletonManager::getIndexUserConfig();
        auto* r = new CountingReceiver;
        QVERIFY(c->addChangeListener(r, SLOT(slotOptionSettingChange())));
        QVERIFY(c->addChangeListener(r, SLOT(slotOptionSettingChange()))); // unique: still once
        c->setRefreshInterval(c->getRefreshInterval() + 100);
        QCOMPARE(r->calls, 1);
        QVERIFY(c->removeChangeListener(r));
        c->setRefreshInterval(c->getRefreshInterval() + 100);
        QCOMPARE(r->calls, 1);
        QVERIFY(c->addChangeListener(r, SLOT(slotOptionSettingChange())));
        delete r; // Qt drops the connection
        c->setRefreshInterval(c->getRefreshInterval() + 100);
        QVERIFY(!c->addChangeListener(nullptr, SLOT(slotOptionSettingChange())));
    }

    void indexConfigRoundTrip()
    {
        CIndexUserConfig* c = SingletonManager::getIndexUserConfig();
        QSignalSpy saved(c, &CIndexUserConfig::sigSaved);
        c->setRefreshInterval(750);
        c->setShowFutureOptionArbitrage(true);
        QVERIFY(c->save());
        QCOMPARE(saved.count(), 1);
        QVERIFY(QFile::exists(getDataDir() + QStringLiteral("/sectors.json"))); // with it
        c->resetToDefaults();
        QCOMPARE(c->getRefreshInterval(), 1000);
        QVERIFY(c->load());
        QCOMPARE(c->getRefreshInterval(), 750);
        QVERIFY(c->isShowFutureOptionArbitrage());
        writeFile(getDataDir() + QStringLiteral("/IndexUserConfig.json"), "{\"refreshInterval\": ");
        QVERIFY(!c->load());
        QCOMPARE(c->getRefreshInterval(), 750);
        c->resetToDefaults();
    }

    void userConfigRoundTrip()
    {
        CUserConfig* u = getUserConfig();
        QVERIFY(u);
        u->resetToDefaults();
        QCOMPARE(u->getVolumeFlag(), false);
        u->setVolumeFlag(true);
        u->setSegmentedFormatFlag(3);
        u->setGreekBenchmark(1);
        double sigma = 0.2;
        QVERIFY(!u->getHistoryRate(sigma, QStringLiteral("20250122"), QStringLiteral("510050.SH")));
        QCOMPARE(sigma, 0.2);
        u->setHistoryRate(QStringLiteral("20250122"), QStringLiteral("510050.SH"), 0.31);
        u->setHistoryRate(QStringLiteral("20250122"), QStringLiteral("510300.SH"), -1); // refused
        QVERIFY(u->getHistoryRate(sigma, QStringLiteral("20250122"), QStringLiteral("510050.SH")));
        QCOMPARE(sigma, 0.31);
        CBasketSetting basket;
        basket.name = QStringLiteral("我的篮子");
        basket.accountType = 1;
        basket.entryKind = 4;
        basket.stocks.append(
            {4, QStringLiteral("SHFE"), QStringLiteral("rb2505"), QStringLiteral("螺纹钢2505")});
        u->setBasket(basket);
        u->setBasket(CBasketSetting()); // nameless: ignored
        u->setProductGroup(QStringLiteral("黑色"),
                           {QStringLiteral("rb00.SHFE"), QStringLiteral("i00.DCE")});
        u->setAccountFilter(QStringLiteral("2_310001234567"), true);
        u->setAccountFilter(QStringLiteral("1_80018888"), true);
        u->setAccountFilter(QStringLiteral("1_80018888"), false);
        CAutoRefreshParam refresh;
        refresh.autoRefresh = true;
        refresh.startTime = QStringLiteral("09:35");
        refresh.inFuturesHours = true;
        refresh.interval = 60;
        refresh.promptResult = true;
        u->setAutoRefreshParam(QStringLiteral("MA5"), refresh);
        u->setAutoRefreshParam(QString(), refresh); // untitled: ignored
        QVERIFY(u->save());
        std::string first;
        QVERIFY(stdReadFile(getDataDir() + QStringLiteral("/UserConfig.json"), first));
        QVERIFY(u->save());
        std::string second;
        QVERIFY(stdReadFile(getDataDir() + QStringLiteral("/UserConfig.json"), second));
        QCOMPARE(second, first); // saving twice gives identical text

        u->resetToDefaults();
        QVERIFY(u->getBaskets().isEmpty());
        QVERIFY(u->load());
        QCOMPARE(u->getVolumeFlag(), true);
        QCOMPARE(u->getSegmentedFormatFlag(), 3);
        QCOMPARE(u->getGreekBenchmark(), 1);
        CBasketSetting back;
        QVERIFY(u->getBasket(QStringLiteral("我的篮子"), back));
        QCOMPARE(back.accountType, 1);
        QCOMPARE(back.entryKind, 4);
        QCOMPARE(back.stocks.size(), 1);
        QCOMPARE(back.stocks.first().name, QStringLiteral("螺纹钢2505"));
        QCOMPARE(u->getBaskets().size(), 1);
        QCOMPARE(u->getProductGroups().value(QStringLiteral("黑色")).size(), 2);
        QCOMPARE(u->filteredAccounts(), QStringList({QStringLiteral("2_310001234567")}));
        QVERIFY(u->getHistoryRate(sigma, QStringLiteral("20250122"), QStringLiteral("510050.SH")));
        CAutoRefreshParam refreshBack;
        QVERIFY(u->getAutoRefreshParam(QStringLiteral("MA5"), refreshBack));
        QVERIFY(refreshBack == refresh);
        QVERIFY(!u->getAutoRefreshParam(QString(), refreshBack));

        writeFile(getDataDir() + QStringLiteral("/UserConfig.json"), "[1, 2");
        QVERIFY(!u->load());
        QCOMPARE(u->getBaskets().size(), 1); // kept
        QVERIFY(u->removeBasket(QStringLiteral("我的篮子")));
        QVERIFY(!u->removeBasket(QStringLiteral("我的篮子")));
        QVERIFY(u->removeAutoRefreshParam(QStringLiteral("MA5")));
        QVERIFY(!u->getAutoRefreshParam(QStringLiteral("MA5"), refreshBack));
        u->resetToDefaults();
    }

    void customIndexExportImport()
    {
        CIndexManager* im = CIndexManager::instance();
        im->clear();
        CCustomIndexDetail a;
        a.code = QStringLiteral("ZDY100");
        a.name = QStringLiteral("新板块指数1");
        a.priceStep = 0.01;
        a.totalShares = 5e9;
        a.floatShares = 4e9;
        a.stocks = {{QStringLiteral("SH"), QStringLiteral("600519"), 1.23},
                    {QStringLiteral("SZ"), QStringLiteral("000858"), 98.77}};
        QVERIFY(im->addIndex(a));
        CCustomIndexDetail bad = a;
        bad.code.clear();
        QVERIFY(!im->addIndex(bad));
        QVERIFY(im->isExist(QStringLiteral("新板块指数1")));
        QVERIFY(im->isExist(QStringLiteral("ZDY100")));
        QVERIFY(!im->isExist(QStringLiteral("新板块指数2")));
        QCOMPARE(im->getIndex(QStringLiteral("ZDY100.CI"))->name, a.name);
        const auto det = im->getIndexDetail(QStringLiteral("ZDY100"));
        QVERIFY(det);
        QCOMPARE(det->key, QStringLiteral("ZDY100.CI"));
        QCOMPARE(det->totalShares, 5e9);

        const QString file = m_dir.path() + QStringLiteral("/export/indices.json");
        QCOMPARE(im->exportCustomIndex({QStringLiteral("ZDY100"), QStringLiteral("none")}, file),
                 1);
        QVERIFY(im->removeIndex(QStringLiteral("ZDY100")));
        QVERIFY(!im->removeIndex(QStringLiteral("ZDY100")));
        QVERIFY(!im->getIndex(QStringLiteral("ZDY100")));
        QCOMPARE(im->importCustomIndex(file), 1);
        const auto back = im->getIndex(QStringLiteral("ZDY100"));
        QVERIFY(back);
        QCOMPARE(int(back->stocks.size()), 2);
        QCOMPARE(back->stocks[0].weight, 1.23);
        QCOMPARE(back->floatShares, 4e9);

        writeFile(file, "[{\"code\": \"ZDY200\", \"name\": \"x\"}, {\"code\": \"\"}]");
        QCOMPARE(im->importCustomIndex(file), -1); // all or nothing
        QVERIFY(!im->getIndex(QStringLiteral("ZDY200")));
        QCOMPARE(im->importCustomIndex(m_dir.path() + QStringLiteral("/nothing.json")), -1);
        QCOMPARE(im->exportCustomIndex({QStringLiteral("none")}, file), 0);
        im->clear();
        QVERIFY(im->allIndices().isEmpty());
    }

    void externalData()
    {
        CExternalDataManager* e = CExternalDataManager::instance();
        e->reset();
        CExternalCatalog* root = e->getRootCatalog();
        QVERIFY(root);
        QVERIFY(!root->getChildren().isEmpty());
        bool readOnlySeen = false;
        for (CExternalCatalog* c : root->getChildren())
            readOnlySeen = readOnlySeen || c->getType() == 2;
        QVERIFY(readOnlySeen);
        QVERIFY(e->isExist(QStringLiteral("宏观指标")));
        QVERIFY(!e->isExist(QStringLiteral("我的数据"))); // a folder, not a data set
        const QList<CExternalDataInfo*> list = e->getCatalogDataList(QStringLiteral("宏观指标"));
        QCOMPARE(list.size(), 8);
        QVERIFY(list.first()->lastTimeMs > 0);
        QCOMPARE(e->getSeries(list.first()->code).size(), 36); // monthly, three years

        QSignalSpy changed(e, &CExternalDataManager::sigDataChanged);
        QCOMPARE(e->moveData(QStringLiteral("自定义因子"),
                             {QStringLiteral("CPI01"), QStringLiteral("none")}),
                 1);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(e->getDataList(QStringLiteral("宏观指标")).size(), 7);
        QCOMPARE(e->getDataList(QStringLiteral("自定义因子")).size(), 3);
        QCOMPARE(list.first()->code, QStringLiteral("CPI01")); // handed-out entries stay valid
        QCOMPARE(e->moveData(QStringLiteral("公共数据"), {QStringLiteral("PMI01")}),
                 0); // read-only target
        QCOMPARE(e->moveData(QStringLiteral("自定义因子"), {QStringLiteral("SHIBOR")}),
                 0); // read-only source
        QVERIFY(e->removeData(QStringLiteral("PMI01"), QStringLiteral("宏观指标"), 0));
        QVERIFY(!e->removeData(QStringLiteral("PMI01"), QStringLiteral("宏观指标"), 0));
        QVERIFY(!e->removeData(QStringLiteral("SHIBOR"), QStringLiteral("公共数据"), 0));
        QVERIFY(e->getCatalogDataList(QStringLiteral("不存在")).isEmpty());

        QSignalSpy catalog(e, &CExternalDataManager::sigCatalogChange);
        QVERIFY(e->addDataSet(QStringLiteral("新数据"), QStringLiteral("我的数据")));
        QVERIFY(!e->addDataSet(QStringLiteral("新数据"), QStringLiteral("我的数据")));
        QVERIFY(!e->addDataSet(QStringLiteral("子集"),
                               QStringLiteral("宏观指标"))); // a set is no folder
        QCOMPARE(catalog.count(), 1);
        QVERIFY(e->addData(QStringLiteral("新数据"), QStringLiteral("X1"), QStringLiteral("测试"),
                           {{2000, 2.0}, {1000, 1.0}}));
        QCOMPARE(e->getDataList(QStringLiteral("新数据")).first()->lastValue, 2.0);
        QVERIFY(!e->addData(QStringLiteral("新数据"), QStringLiteral("X1"), QStringLiteral("测试"),
                            {}));
        e->reset();
    }

    void extendData()
    {
        QVERIFY(CStockManager::instance()->ensureLoaded());
        CExtendDataManager* x = CExtendDataManager::instance();
        QVERIFY(x->getExtendList().contains(QStringLiteral("总股本(亿)")));
        double v = 0;
        QVERIFY(x->getValue(QStringLiteral("总股本(亿)"), QStringLiteral("600519.SH"), v));
        QCOMPARE(v, 12.56);
        QVERIFY(x->getValue(QStringLiteral("流通市值(亿)"), QStringLiteral("600519.SH"), v));
        QCOMPARE(v, 12.56 * 1520.0);
        QVERIFY(!x->getValue(QStringLiteral("总股本(亿)"), QStringLiteral("none"), v));
        QVERIFY(!x->getValue(QStringLiteral("无此项"), QStringLiteral("600519.SH"), v));
        QVERIFY(!x->getValue(QStringLiteral("总股本(亿)"), QStringLiteral("IF00.CFFEX"), v));
    }
};

QTEST_GUILESS_MAIN(TestHostConfig)
#include "tst_hostconfig.moc"
