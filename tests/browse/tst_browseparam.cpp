// Persistence of the browse table: the parameter string, the value file and the field-list
// file, old strings and files, several tables and restores sharing files, names drawn over
// existing files, paths outside the parameter folder, unwritable folders and hostile strings.
#include "browse/BrowseParamFormat.h"
#include "browse/CBrowseWidget.h"

#include "BrowseTestMarket.h"
#include "LogCapture.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Config.h"
#include "host/data/FormulaTypes.h"
#include "host/data/IndexValueParam.h"
#include "host/data/JsonParam.h"
#include "host/data/StdFile.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/TestMarket.h"

#include <QtTest>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;
using Values = browseparam::ValueCache;
using Fields = browseparam::FieldLists;

namespace {

const QString kSector = QStringLiteral("测试板块");
const QStringList kCodes{"600000", "600004", "600009"};

ColumnInfo indicator(const QString& title)
{
    ColumnInfo c;
    c.formulaName = QStringLiteral("MA");
    c.period = 86400000;
    c.title = title;
    return c;
}

ColumnInfo userField(const QString& field)
{
    ColumnInfo c;
    c.formulaName = field;
    c.title = field;
    return c;
}

QString member(const QString& param, const char* key)
{
    return JsonParam::parse(param).object.getQString(key);
}

QByteArray fileText(const QString& path)
{
    std::string text;
    stdReadFile(path, text);
    return QByteArray::fromStdString(text);
}

void writeText(const QString& path, const QByteArray& text)
{
    QVERIFY(stdWriteFile(path, text.toStdString(), "wb"));
}

// With TT_FUZZ_SEED_DIR set, keeps a text the tests produced as a seed of a fuzz target.
void seed(const char* target, const QByteArray& text)
{
    const QString dir = qEnvironmentVariable("TT_FUZZ_SEED_DIR");
    if (dir.isEmpty())
        return;
    const QString name = QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex();
    stdWriteFile(dir + QLatin1Char('/') + QLatin1String(target) + QLatin1Char('/') + name,
                 text.toStdString(), "wb");
}

// A string naming the given side files, with one indicator column titled "MA5".
QString stringWithFiles(const QString& values, const QString& fields)
{
    JsonBuilder b;
    b.appendString("customs", QStringLiteral("MA,0,86400000,MA5,1,0,0,0,0,57"));
    if (!values.isNull())
        b.appendString("customIndexValueFileName", values);
    if (!fields.isNull())
        b.appendString("UserDefinedFieldFileName", fields);
    return b.toQString();
}

} // namespace

class TstBrowseParam : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    CBrowseWidget::InstrumentList m_list;
    std::shared_ptr<LogCapture> m_log;

    QString folder() const { return m_dir->path() + QStringLiteral("/BrowseParam"); }

    std::unique_ptr<CBrowseWidget> filled()
    {
        auto w = std::make_unique<CBrowseWidget>();
        w->setSectorName(kSector);
        w->setStockList(m_list, false);
        return w;
    }

    // A value file written by hand in the parameter folder.
    QString sideFile(const QString& name, const QByteArray& text)
    {
        QDir().mkpath(folder());
        const QString path = folder() + QLatin1Char('/') + name;
        writeText(path, text);
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0),
                             TestMarket::stock("SH", "600004", "白云机场", 12.0),
                             TestMarket::stock("SH", "600009", "上海机场", 30.0)});
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        for (const QString& code : kCodes)
            m_list.append(
                CStockManager::instance()->getInstrumentDetail(QStringLiteral("SH"), code));
        m_log = std::make_shared<LogCapture>();
        log4cxx::Logger::getLogger("TTStdFile")->addAppender(m_log);
    }
    void cleanupTestCase()
    {
        log4cxx::Logger::getLogger("TTStdFile")->removeAppender(m_log);
        TestMarket::restore();
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("TT_USER_DIR", m_dir->path().toUtf8());
        m_log->clear();
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << "KDJ";
        QTest::newRow("comma") << "MA(5,10)";
        QTest::newRow("newline") << "a\nb";
        QTest::newRow("percent") << "权重%";
        QTest::newRow("escape-like") << "x%2Cy";
        QTest::newRow("200 characters") << QString(200, QChar(0x6307));
        QTest::newRow("empty") << "";
    }
    void roundTrip()
    {
        QFETCH(QString, title);
        auto a = filled();
        ColumnInfo c = indicator(title);
        c.autoRefresh = true;
        c.refreshInterval = 30;
        c.refreshStartTime = QStringLiteral("09:30");
        c.conditionSector = title + QStringLiteral(":板块");
        c.conditionThreshold = 1.5;
        const int id = a->addCustomIndex(c);
        QVERIFY(id >= 0);
        ColumnInfo field = userField(title + QStringLiteral("字段"));
        QVERIFY(a->addCustomEditableColumn(field) >= 0);
        a->customIndexValues()[kSector][title][keyOf("600000")] = 1.23456;
        a->sectorFieldMap()[title + QStringLiteral(":S")] = QStringList{title, QStringLiteral("f")};
        a->setIndexValueParams(title, {SIndexValueParam{-1, 2, "n", "red", 0, 1}});
        const QString saved = a->param(true);
        seed("tt_setparam_fuzz", saved.toUtf8());
        seed("tt_customcolumn_fuzz", a->getCustomColumnParam().toUtf8());
        seed("tt_value_file_fuzz", fileText(member(saved, "customIndexValueFileName")));
        seed("tt_field_list_fuzz", fileText(member(saved, "UserDefinedFieldFileName")));

        auto b = filled();
        b->setParam(saved, true);
        QCOMPARE(b->getCustomColumnParam(), a->getCustomColumnParam());
        QCOMPARE(b->param(false), a->param(false));
        QCOMPARE(b->customIndexColumns().first().conditionSector, c.conditionSector);
        QCOMPARE(b->customIndexValues()[kSector][title][keyOf("600000")], 1.2346);
        QCOMPARE(cellText(*b, keyOf("600000"), id), QStringLiteral("1.23")); // shown at once
        QCOMPARE(b->sectorFieldMap(), a->sectorFieldMap());

        if (title == QLatin1String("KDJ")) { // texts without escapes: the unescaped format
            QCOMPARE(member(saved, "customs"),
                     QStringLiteral("MA,0,86400000,KDJ,1,0,1,0,0,%1,0,0,0,0,0,0,0,1.5,KDJ:板块,0,"
                                    "30,0,0,09:30,0,2,0,0")
                         .arg(id));
            QCOMPARE(fileText(member(saved, "customIndexValueFileName")),
                     QByteArray("测试板块,KDJ,600000.SH,1.2346"));
        }
    }

    // Columns added in turns and one removed since: each comes back under its own id, so
    // the table configuration gives each its own width.
    void layoutKeepsColumnIds()
    {
        auto a = filled();
        ColumnInfo first = indicator(QStringLiteral("MA5"));
        ColumnInfo field = userField(QStringLiteral("字段"));
        ColumnInfo second = indicator(QStringLiteral("MA10"));
        second.lineIndex = 1;
        const int removed = a->addCustomIndex(first);
        const int fieldId = a->addCustomEditableColumn(field);
        const int secondId = a->addCustomIndex(second);
        a->removeColumnInfo(removed);
        a->table()->setColumnWidth(fieldId, 111);
        a->table()->setColumnWidth(secondId, 122);
        auto b = filled();
        b->setParam(a->param(false), false);
        QCOMPARE(b->table()->columnWidth(fieldId), 111);
        QCOMPARE(b->table()->columnWidth(secondId), 122);
        QCOMPARE(b->param(false), a->param(false));
    }

    void valueFileLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<double>("value"); // NaN: no value taken
        QTest::newRow("old unescaped title")
            << QByteArray("S,MA(5,10),K,1.5000") << "MA(5,10)" << 1.5;
        QTest::newRow("escaped title")
            << QByteArray("S,MA(5%2C10),K,-2.0000") << "MA(5,10)" << -2.0;
        QTest::newRow("old escape-like") << QByteArray("S,x%2Cy,K,3") << "x,y" << 3.0;
        QTest::newRow("CRLF") << QByteArray("S,T,K,4.0000\r\n") << "T" << 4.0;
        QTest::newRow("percent before no hex") << QByteArray("S,5%,K,1") << "5%" << 1.0;
        QTest::newRow("invalid mark") << QByteArray("S,T,K,非法值") << "T" << qQNaN();
        QTest::newRow("not a number") << QByteArray("S,T,K,1.5x") << "T" << qQNaN();
        QTest::newRow("infinite") << QByteArray("S,T,K,inf") << "T" << qQNaN();
        QTest::newRow("three fields") << QByteArray("S,T,1.0") << "T" << qQNaN();
    }
    void valueFileLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, title);
        QFETCH(double, value);
        Values values;
        const int taken = browseparam::readValueFile(text.constData(), size_t(text.size()), values);
        QCOMPARE(taken, qIsNaN(value) ? 0 : 1);
        if (taken)
            QCOMPARE(values[QStringLiteral("S")][title][QStringLiteral("K")], value);
    }

    void fieldListLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("sector");
        QTest::addColumn<QStringList>("fields"); // empty: the line is not taken
        QTest::newRow("old line") << QByteArray("沪深A股:f1,f2") << "沪深A股"
                                  << QStringList{"f1", "f2"};
        QTest::newRow("colon in a field")
            << QByteArray("S:a:b,c") << "S" << QStringList{"a:b", "c"};
        QTest::newRow("escaped sector") << QByteArray("A%3AB:x%2Cy") << "A:B" << QStringList{"x,y"};
        QTest::newRow("empty name kept") << QByteArray("S:,a\r") << "S" << QStringList{"", "a"};
        QTest::newRow("no fields") << QByteArray("S:") << "S" << QStringList();
        QTest::newRow("no sector") << QByteArray(":a") << "" << QStringList();
        QTest::newRow("no colon") << QByteArray("S a") << "S a" << QStringList();
    }
    void fieldListLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, sector);
        QFETCH(QStringList, fields);
        Fields lists;
        QCOMPARE(browseparam::readFieldList(text.constData(), size_t(text.size()), lists),
                 fields.isEmpty() ? 0 : 1);
        QCOMPARE(lists.value(sector), fields);
    }

    // A string of the unescaped format: a short indicator line, the one shared field file.
    void oldStringAndFiles()
    {
        const QString values =
            sideFile(QStringLiteral("1700000000"), "测试板块,MA5,600000.SH,1.5000\n"
                                                   "测试板块,MA5,600004.SH,非法值");
        const QString shared = sideFile(QStringLiteral("UserDefinedField.csv"), "测试板块:f1,f2");
        JsonBuilder b;
        b.appendString("customs", QStringLiteral("MA,0,86400000,MA5,1,1,1,3,8,40,5,1"))
            .appendString("customIndexValueFileName", values)
            .appendString("UserDefinedFieldFileName", shared);
        seed("tt_setparam_fuzz", b.toQString().toUtf8());
        auto w = filled();
        w->setParam(b.toQString(), true);
        QCOMPARE(w->customIndexColumns().size(), 1);
        const ColumnInfo& c = w->customIndexColumns().first();
        QVERIFY(c.flagB);
        QCOMPARE(c.lineSetting, 0); // 12 fields: positions 10 on are not read
        QCOMPARE(c.columnKind, 0);
        QCOMPARE(w->customIndexValues()[kSector][QStringLiteral("MA5")].size(), 1);
        QCOMPARE(w->sectorFieldMap()[kSector], (QStringList{"f1", "f2"}));
        QCOMPARE(cellText(*w, keyOf("600000"), c.columnId), QStringLiteral("1.50"));
        QCOMPARE(cellText(*w, keyOf("600004"), c.columnId), QStringLiteral("-"));

        // the table's next save rewrites the file it restored; the shared list is not taken
        const QString again = w->param(true);
        QCOMPARE(member(again, "customIndexValueFileName"), QFileInfo(values).canonicalFilePath());
        QVERIFY(member(again, "UserDefinedFieldFileName") != QFileInfo(shared).canonicalFilePath());
        QCOMPARE(fileText(shared), QByteArray("测试板块:f1,f2")); // older strings may name it
    }

    // Saves rewrite the table's two side files in place; a table restored from the string
    // without its files (as at start-up for a table not shown) keeps their values when it
    // saves over them.
    void savesRewriteTheirFiles()
    {
        const QString title = QStringLiteral("MA5");
        QString saved;
        {
            auto a = filled();
            for (int i = 1; i <= 5; ++i) {
                a->customIndexValues()[kSector][title][keyOf("600000")] = i;
                a->sectorFieldMap()[kSector] = QStringList{QStringLiteral("f%1").arg(i)};
                const QString s = a->param(true);
                if (!saved.isEmpty()) {
                    QCOMPARE(member(s, "customIndexValueFileName"),
                             member(saved, "customIndexValueFileName"));
                    QCOMPARE(member(s, "UserDefinedFieldFileName"),
                             member(saved, "UserDefinedFieldFileName"));
                }
                saved = s;
            }
        }
        QCOMPARE(QDir(folder()).entryList(QDir::Files).size(), 2);

        auto unread = filled();
        unread->setParam(saved, false);
        unread->customIndexValues()[QStringLiteral("其他板块")][title][keyOf("600004")] = 9;
        const QString rewritten = unread->param(true);
        QCOMPARE(QDir(folder()).entryList(QDir::Files).size(), 2);
        unread.reset();

        auto b = filled();
        b->setParam(rewritten, true);
        QCOMPARE(b->customIndexValues()[kSector][title].value(keyOf("600000")), 5.0);
        QCOMPARE(b->customIndexValues()[QStringLiteral("其他板块")][title].value(keyOf("600004")),
                 9.0);
        QCOMPARE(b->sectorFieldMap().value(kSector), QStringList{QStringLiteral("f5")});
    }

    void twoTablesKeepTheirFieldLists()
    {
        QStringList saved;
        for (const QString& sector : {QStringLiteral("S1"), QStringLiteral("S2")}) {
            auto w = filled();
            w->sectorFieldMap()[sector] = QStringList{sector + QStringLiteral("字段")};
            saved.append(w->param(true));
        }
        for (int i = 0; i < 2; ++i) {
            auto w = filled();
            w->setParam(saved[i], true);
            const QString sector = QStringLiteral("S%1").arg(i + 1);
            QCOMPARE(w->sectorFieldMap().value(sector),
                     QStringList{sector + QStringLiteral("字段")});
            QCOMPARE(w->sectorFieldMap().size(), 1); // the other table's list is not there
        }
    }

    void restoringOneStringTwice()
    {
        auto a = filled();
        a->customIndexValues()[kSector][QStringLiteral("MA5")][keyOf("600000")] = 7;
        const QString saved = a->param(true);
        const QString values = member(saved, "customIndexValueFileName");
        auto b = filled();
        auto c = filled();
        b->setParam(saved, true);
        c->setParam(saved, true);
        for (CBrowseWidget* w : {b.get(), c.get()})
            QCOMPARE(w->customIndexValues()[kSector][QStringLiteral("MA5")].value(keyOf("600000")),
                     7.0);
        QVERIFY(QFile::exists(values));
        b->param(true);
        QVERIFY(QFile::exists(values)); // a still writes there
        a.reset();
        c->param(true); // it restored the file, which no live table holds now
        QVERIFY(!QFile::exists(values));
    }

    void drawnNameAlreadyExists()
    {
        const long long id = 4000000000ll; // ahead of the clock: the next draws are id + 1, ...
        CBrowseWidget::getParamNameByID(id);
        const QString taken = sideFile(QString::number(id + 1), "another string's values");
        auto w = filled();
        const QString saved = w->param(true);
        QCOMPARE(fileText(taken), QByteArray("another string's values"));
        QCOMPARE(member(saved, "customIndexValueFileName"),
                 folder() + QLatin1Char('/') + QString::number(id + 2));
        QCOMPARE(member(saved, "UserDefinedFieldFileName"),
                 folder() + QLatin1Char('/') + QString::number(id + 3)
                     + QStringLiteral("_UserDefinedField.csv"));
    }

    void sideFileOutsideTheFolder_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("absolute") << "absolute";
        QTest::newRow("relative") << "relative";
        QTest::newRow("link") << "link";
    }
    void sideFileOutsideTheFolder()
    {
        QFETCH(QString, how);
        const QString outside = m_dir->path() + QStringLiteral("/outside.csv");
        writeText(outside, "测试板块,MA5,600000.SH,1.0000");
        QDir().mkpath(folder());
        QString name = outside;
        if (how == QLatin1String("relative"))
            name = QStringLiteral("../outside.csv");
        if (how == QLatin1String("link")) {
            name = folder() + QStringLiteral("/link");
            QVERIFY(QFile::link(outside, name));
        }
        auto w = filled();
        w->setParam(stringWithFiles(name, name), true);
        QVERIFY(w->customIndexValues().isEmpty());
        QVERIFY(w->sectorFieldMap().isEmpty());
        QCOMPARE(m_log->count(log4cxx::Level::getWarn()), 2);
        w->param(true);
        QVERIFY(QFile::exists(outside));
    }

    void stringSavedMidBatch()
    {
        auto w = filled();
        w->setParam(QStringLiteral("{\"customs\":\"MA,0,86400000,MA5,1,0,0,2,3,57\"}"), false);
        const ColumnInfo& c = w->customIndexColumns().first();
        QCOMPARE(c.doneCount, 0);
        QCOMPARE(c.totalCount, 0);
        QSignalSpy done(w.get(), &CBrowseWidget::sigIndicatorBatchDone);
        w->requeAllCustomIndex();
        QVERIFY(done.wait(10000));
        QCOMPARE(w->table()->model()->headerData(c.columnId, Qt::Horizontal).toString(),
                 QStringLiteral("MA5"));
        QVERIFY(cellText(*w, keyOf("600000"), c.columnId) != QLatin1String("-"));
    }

    void unwritableFolder_data()
    {
        QTest::addColumn<bool>("readOnly"); // else the folder's name is taken by a file
        QTest::newRow("read-only") << true;
        QTest::newRow("not a folder") << false;
    }
    void unwritableFolder()
    {
        QFETCH(bool, readOnly);
        if (readOnly && geteuid() == 0)
            QSKIP("permissions do not bind root");
        if (readOnly) {
            QDir().mkpath(folder());
            QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner);
        } else {
            writeText(folder(), "");
        }
        auto w = filled();
        ColumnInfo c = indicator(QStringLiteral("MA5"));
        w->addCustomIndex(c);
        const QString saved = w->param(true);
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(m_log->count(log4cxx::Level::getError()) >= 2);
        const JsonObject o = JsonParam::parse(saved).object;
        QVERIFY(!o.has("customIndexValueFileName"));
        QVERIFY(!o.has("UserDefinedFieldFileName"));
        QVERIFY(o.has("customs"));
    }

    void malformedStrings_data()
    {
        QTest::addColumn<QString>("param");
        QTest::newRow("open brace") << "{";
        QTest::newRow("5000 nested") << QString(5000, QLatin1Char('['));
        QTest::newRow("wrong member types")
            << "{\"customs\":5,\"UserDefined\":[],\"tableconfig\":{},\"indexValueColors\":\"x\"}";
        QTest::newRow("20 MiB") << QStringLiteral("{\"customs\":\"")
                                       + QString(20 << 20, QLatin1Char('a'))
                                       + QStringLiteral("\"}");
    }
    void malformedStrings()
    {
        QFETCH(QString, param);
        auto w = filled();
        ColumnInfo c = indicator(QStringLiteral("MA5"));
        w->addCustomIndex(c);
        const QString before = w->param(false);
        w->setParam(param, true);
        w->setCustomColumnParam(param);
        QCOMPARE(w->param(false), before);
        QVERIFY(m_log->count(log4cxx::Level::getError()) >= 2);
    }
};

QTEST_MAIN(TstBrowseParam)
#include "tst_browseparam.moc"
