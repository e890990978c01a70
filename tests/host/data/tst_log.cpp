#include "host/data/Log.h"

#include <QtTest>
#include <log4cxx/appenderskeleton.h>
#include <log4cxx/consoleappender.h>
#include <log4cxx/fileappender.h>
#include <log4cxx/logger.h>
#include <log4cxx/logmanager.h>

#include <cstdio>
#include <mutex>
#include <unistd.h>

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
    QTemporaryDir m_dir;
    QString m_unopenable;
    QByteArray m_configureStderr; // what the process wrote to stderr while configuring

private Q_SLOTS:
    // The process is configured once, from a file whose file appender cannot open its file
    // (its directory is a regular file). stderr is captured around that first configuration.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile blocker(m_dir.filePath(QStringLiteral("not-a-directory")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_unopenable = m_dir.filePath(QStringLiteral("not-a-directory/tt.log"));
        QFile config(m_dir.filePath(QStringLiteral("log.properties")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("log4j.rootLogger=WARN, F\n"
                     "log4j.appender.F=org.apache.log4j.FileAppender\n"
                     "log4j.appender.F.File="
                     + m_unopenable.toUtf8()
                     + "\n"
                       "log4j.appender.F.layout=org.apache.log4j.PatternLayout\n"
                       "log4j.appender.F.layout.ConversionPattern=%p %m%n\n");
        config.close();
        qputenv("TT_LOG_CONFIG", config.fileName().toUtf8());

        const QString capturePath = m_dir.filePath(QStringLiteral("stderr.txt"));
        std::fflush(stderr);
        const int saved = ::dup(2);
        std::FILE* capture = std::fopen(qPrintable(capturePath), "w");
        QVERIFY(saved >= 0 && capture);
        ::dup2(::fileno(capture), 2);
        ttlog::configure();
        TT_LOG_ERROR("[probe] after configuration");
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        std::fclose(capture);
        QFile captured(capturePath);
        QVERIFY(captured.open(QIODevice::ReadOnly));
        m_configureStderr = captured.readAll();
    }

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
        const auto row = [](const char* tag, const char* fmt, const char* expected) {
            QTest::newRow(tag) << QString(fmt) << QString(expected);
        };
        row("numbered", "[tag] a:%1% b:%2%", "[tag] a:x b:42");
        row("reordered", "%2%-%1%", "42-x");
        row("too few placeholders", "only %1%", "only %1%");
        row("bad format", "broken %1", "broken %1");
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

    // records are not lost to a file appender that cannot write: a console appender takes
    // its place, and one error line names the file
    void unopenableLogFileFallsBackToConsole()
    {
        const QByteArray err = m_configureStderr;
        const QByteArray line = "cannot open log file \"" + m_unopenable.toUtf8() + "\"";
        QCOMPARE(err.count(line), 1);
        QVERIFY2(err.contains("[probe] after configuration"), err.constData());

        int consoles = 0, deadFiles = 0;
        for (const log4cxx::AppenderPtr& a : log4cxx::Logger::getRootLogger()->getAllAppenders()) {
            consoles += log4cxx::cast<log4cxx::ConsoleAppender>(a) != nullptr;
            const auto file = log4cxx::cast<log4cxx::FileAppender>(a);
            deadFiles += file && !file->getWriter();
        }
        QCOMPARE(consoles, 1);
        QCOMPARE(deadFiles, 0);
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
