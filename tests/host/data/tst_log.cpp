#include "host/data/Log.h"

#include <QtTest>
#include <log4cxx/appenderskeleton.h>
#include <log4cxx/logger.h>

#include <mutex>

namespace {

// Collects the records that reach the "TTStdFile" logger.
class CaptureAppender : public log4cxx::AppenderSkeleton {
public:
    struct Record {
        std::string level, text, file, function;
        int line;
    };
    std::vector<Record> records;
    void close() override {}
    bool requiresLayout() const override { return false; }
    void append(const log4cxx::spi::LoggingEventPtr& e, log4cxx::helpers::Pool&) override
    {
        const auto& where = e->getLocationInformation();
        records.push_back({e->getLevel()->toString(), e->getMessage(), where.getFileName(),
                           where.getMethodName(), where.getLineNumber()});
    }
};

} // namespace

class TstLog : public QObject {
    Q_OBJECT
    std::shared_ptr<CaptureAppender> m_capture;

private Q_SLOTS:
    void init()
    {
        ttlog::configure();
        m_capture = std::make_shared<CaptureAppender>();
        auto logger = log4cxx::Logger::getLogger("TTStdFile");
        logger->addAppender(m_capture);
        logger->setLevel(log4cxx::Level::getAll());
    }
    void cleanup()
    {
        auto logger = log4cxx::Logger::getLogger("TTStdFile");
        logger->removeAppender(m_capture);
        logger->setLevel(log4cxx::Level::getWarn());
    }

    void format_data()
    {
        QTest::addColumn<QString>("fmt");
        QTest::addColumn<QString>("expected");
        QTest::newRow("numbered") << "[tag] a:%1% b:%2%"
                                  << "[tag] a:x b:42";
        QTest::newRow("reordered") << "%2%-%1%"
                                   << "42-x";
        QTest::newRow("too few placeholders") << "only %1%"
                                              << "only %1%";
        QTest::newRow("bad format") << "broken %1"
                                    << "broken %1";
    }
    void format()
    {
        QFETCH(QString, fmt);
        QFETCH(QString, expected);
        const std::string f = fmt.toStdString();
        QCOMPARE(QString::fromStdString(ttlog::format(f.c_str(), {"x", 42})), expected);
    }

    void recordCarriesLocationAndText()
    {
        TT_LOG_INFO("[browser double check] func:%1% start, stocks size:%2% ",
                    "TC::CBrowseWidget::setStockList", 5000);
        QCOMPARE(m_capture->records.size(), size_t(1));
        const auto& r = m_capture->records.front();
        QCOMPARE(r.text, std::string("[browser double check] func:TC::CBrowseWidget::setStockList "
                                     "start, stocks size:5000 "));
        QCOMPARE(r.level, std::string("INFO"));
        QVERIFY(r.file.find("tst_log.cpp") != std::string::npos);
        QVERIFY(r.function.find("recordCarriesLocationAndText") != std::string::npos);
        QVERIFY(r.line > 0);
    }

    void badArgumentsNeverThrow()
    {
        TT_LOG_WARN("%1% %2% %3%", 1);
        TT_LOG_ERROR("%1%", 1, 2, 3);
        QCOMPARE(m_capture->records.size(), size_t(2));
        QCOMPARE(m_capture->records[0].text, std::string("%1% %2% %3%"));
        QCOMPARE(m_capture->records[1].level, std::string("ERROR"));
    }

    void disabledLevelSkipsFormatting()
    {
        log4cxx::Logger::getLogger("TTStdFile")->setLevel(log4cxx::Level::getWarn());
        TT_LOG_DEBUG("[request maket back] start:formulaMarketQuoteBack: market= %1%", "SH");
        QVERIFY(m_capture->records.empty());
        QVERIFY(!ttlog::enabled(ttlog::Level::Info));
        QVERIFY(ttlog::enabled(ttlog::Level::Error));
    }

    void childLoggerReachesByAdditivity()
    {
        auto child = log4cxx::Logger::getLogger("TTStdFile.child");
        LOG4CXX_INFO(child, "from child");
        QCOMPARE(m_capture->records.size(), size_t(1));
        QCOMPARE(m_capture->records[0].text, std::string("from child"));
    }
};

QTEST_GUILESS_MAIN(TstLog)
#include "tst_log.moc"
