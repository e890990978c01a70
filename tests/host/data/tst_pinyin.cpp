// Pinyin initials: the generated readings table, matching rules and the market's names.
#include "EmbeddedCatalogue.h"
#include "host/data/IndexManager.h"
#include "host/data/Pinyin.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"

#include <QtTest>

using namespace TC;

class TestPinyin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        const QString error = loadEmbeddedCatalogue();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void matching_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        const auto row = [](const char* tag, const QString& key, const char* text, bool expected) {
            QTest::newRow(tag) << key << QString(text) << expected;
        };
        row("initials", "ZGPA", "中国平安", true);
        row("lower case", "zgpa", "中国平安", true);
        row("full-width letters", "ＹＨ", "银行", true);
        row("polyphonic: hang", "YH", "银行", true);
        row("polyphonic: xing", "YX", "银行", true);
        row("no such reading", "YZ", "银行", false);
        row("inside the name", "PA", "中国平安", true);
        row("letters in the name", "AG", "A股", true);
        row("digits match themselves", "300", "沪深300", true);
        row("digits with initials", "HS300", "沪深300", true);
        row("digit is no letter", "HSS", "沪深300", false);
        row("longer than the text", "ZGPAY", "中国平安", false);
        row("empty key", "", "银行", true);
        row("empty text", "Y", "", false);
        row("regex characters", ".*", "银行", false);
        row("regex characters literal", "(A)", "X(A)", true);
        row("emoji", "\U0001F600", "银行\U0001F600", true);
        row("emoji does not match letters", "\U0001F600", "银行", false);
        row("200 characters", QString(200, QLatin1Char('Y')), "银行", false);
        row("supplementary-plane character", "H", "\U00020000", true);
    }

    void matching()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QCOMPARE(isInByPy(key, text), expected);
        QCOMPARE(CPinyinKey(key).matches(pinyinInitials(text)), expected);
        // a long text takes the allocating path
        const QString padded = QString(70, QLatin1Char('-')) + text;
        QCOMPARE(CPinyinKey(key).matches(padded), expected);
    }

    void prefixAndAbbreviation()
    {
        const PinyinInitials bank = pinyinInitials(QStringLiteral("招商银行"));
        QVERIFY(CPinyinKey(QStringLiteral("ZS")).isPrefixOf(bank));
        QVERIFY(!CPinyinKey(QStringLiteral("YH")).isPrefixOf(bank));
        QVERIFY(CPinyinKey(QStringLiteral("YH")).matches(bank));
        // the preferred reading of each character
        QCOMPARE(pinyinAbbreviation(QStringLiteral("银行ETF")), QStringLiteral("YXETF"));
        QCOMPARE(pinyinAbbreviation(QStringLiteral("ｅ")), QStringLiteral("E"));
        QCOMPARE(pinyinLetters(U'行'), (1u << ('H' - 'A')) | (1u << ('X' - 'A')));
        QCOMPARE(pinyinLetters(U'A'), 0u);
    }

    // Every Han character of the catalogue's and the sector tree's names has readings, and
    // every instrument carries its precomputed initials.
    void marketNamesAreCovered()
    {
        QSet<QChar> missing;
        int han = 0;
        auto check = [&](const QString& name) {
            for (const QChar c : name)
                if (c.script() == QChar::Script_Han) {
                    ++han;
                    if (!pinyinLetters(c.unicode()))
                        missing.insert(c);
                }
        };
        for (const auto& d : CStockManager::instance()->allInstruments()) {
            check(d->name);
            QCOMPARE(d->nameInitials, pinyinInitials(d->name));
        }
        std::function<void(CSectorDetail*)> walk = [&](CSectorDetail* s) {
            check(s->getName());
            for (CSectorDetail* c : s->getChildren())
                walk(c);
        };
        walk(CSectorManager::instance()->getRoot());
        QVERIFY(han > 10000);
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringList(missing.begin(), missing.end()).join(QLatin1Char(' '))));
    }

    void customIndicesCarryInitials()
    {
        CCustomIndexDetail idx;
        idx.code = QStringLiteral("ZDY901");
        idx.name = QStringLiteral("新能源指数");
        QVERIFY(CIndexManager::instance()->addIndex(idx));
        const auto d = CIndexManager::instance()->getIndexDetail(idx.code);
        QVERIFY(d);
        QVERIFY(isInByPy(QStringLiteral("XNY"), d->nameInitials));
        CIndexManager::instance()->removeIndex(idx.code);
    }
};

QTEST_GUILESS_MAIN(TestPinyin)
#include "tst_pinyin.moc"
