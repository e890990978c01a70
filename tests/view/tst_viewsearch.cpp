// The browse view's search row: what a search text keeps (codes, names, pinyin initials by
// any reading, odd texts), the one-second delay after the last keystroke and the
// immediate re-fill when the text is cleared.
#include "ViewTestFixture.h"

#include "host/toolkit/SearchTextLineEdit.h"

using namespace TC;
using namespace viewtest;

namespace {

std::vector<ttservice::CInstrumentDetailPtr> instruments()
{
    return {TestMarket::stock("SH", "601398", "工商银行", 5.0),
            TestMarket::stock("SH", "600036", "招商银行", 30.0),
            TestMarket::stock("SZ", "000001", "平安银行", 10.0),
            TestMarket::stock("SH", "600519", "贵州茅台", 1500.0),
            TestMarket::future("CFFEX", "IF2406", "沪深300股指2406", 3500.0, 0.2, 300)};
}

QList<ttservice::CInstrumentDetailPtr> universe()
{
    QList<ttservice::CInstrumentDetailPtr> list;
    for (const auto& i : instruments())
        list.append(CStockManager::instance()->getInstrumentDetail(i->key));
    return list;
}

} // namespace

class TestViewSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        TestMarket::install(instruments());
        for (const auto& detail : universe())
            QVERIFY(detail);
    }

    void cleanupTestCase() { TestMarket::restore(); }

    void filter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("codes");
        const QStringList all{"601398", "600036", "000001", "600519", "IF2406"};
        const QStringList banks{"601398", "600036", "000001"};
        QTest::newRow("empty keeps all") << QString() << all;
        QTest::newRow("lower-case code letters") << "if" << QStringList{"IF2406"};
        QTest::newRow("code digits") << "6013" << QStringList{"601398"};
        QTest::newRow("name") << "茅台" << QStringList{"600519"};
        QTest::newRow("initials") << "gzmt" << QStringList{"600519"};
        QTest::newRow("polyphonic, hang") << "YH" << banks;
        QTest::newRow("polyphonic, xing") << "yx" << banks;
        QTest::newRow("full-width letters") << QStringLiteral("ＹＨ") << banks;
        QTest::newRow("regex characters") << "[.*(" << QStringList();
        QTest::newRow("lone regex dot") << "." << QStringList();
        QTest::newRow("emoji") << QStringLiteral("银😀") << QStringList();
        QTest::newRow("200 characters") << QString(200, QLatin1Char('Y')) << QStringList();
    }

    void filter()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, codes);
        CIndexBrowseView view(nullptr, BrowseType_Default);
        view.searchEdit()->setText(text);
        auto list = universe();
        list.insert(2, nullptr); // a null entry is dropped, never read
        view.filterStockList(list);
        QStringList kept;
        for (const auto& detail : list)
            kept << (detail ? detail->code : QStringLiteral("<null>"));
        if (text.isEmpty())
            codes.insert(2, QStringLiteral("<null>")); // no text: the list is untouched
        QCOMPARE(kept, codes);
    }

    // The table re-fills one second after the last keystroke, and at once when the text
    // is cleared or the tool bar hidden.
    void delayAndClear()
    {
        CIndexBrowseView view(nullptr, BrowseType_Default);
        view.setSector(QStringLiteral("沪深A股"));
        CBrowseWidget* table = view.getBrowseWidget();
        QCOMPARE(table->getStockListSize(), 4);

        view.searchEdit()->setText(QStringLiteral("y"));
        view.searchEdit()->setText(QStringLiteral("yh"));
        QVERIFY(view.searchTimer()->isActive());
        QCOMPARE(view.searchTimer()->interval(), 1000);
        QCOMPARE(table->getStockListSize(), 4); // not yet

        QVERIFY(QMetaObject::invokeMethod(view.searchTimer(), "timeout"));
        QVERIFY(!view.searchTimer()->isActive());
        QCOMPARE(table->getStockListSize(), 3);

        view.searchEdit()->setText(QStringLiteral("yhx"));
        QVERIFY(view.searchTimer()->isActive());
        view.searchEdit()->clear();
        QVERIFY(!view.searchTimer()->isActive());
        QCOMPARE(table->getStockListSize(), 4);

        view.searchEdit()->setText(QStringLiteral("yh"));
        view.slotSearchDelayUse();
        QCOMPARE(table->getStockListSize(), 3);
        view.setToolBarVisible(false);
        QCOMPARE(view.searchEdit()->text(), QString());
        QCOMPARE(table->getStockListSize(), 4);
        QVERIFY(!view.searchEdit()->isVisibleTo(&view));
    }
};

QTEST_MAIN(TestViewSearch)
#include "tst_viewsearch.moc"
