#include "host/data/Log.h"

#include <boost/format.hpp>
#include <log4cxx/basicconfigurator.h>
#include <log4cxx/consoleappender.h>
#include <log4cxx/fileappender.h>
#include <log4cxx/logger.h>
#include <log4cxx/logmanager.h>
#include <log4cxx/patternlayout.h>
#include <log4cxx/propertyconfigurator.h>
#include <log4cxx/xml/domconfigurator.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <vector>

namespace ttlog {

namespace {

const char* kLoggerName = "TTStdFile";
const char* kPattern = "%d{yyyy-MM-dd HH:mm:ss.SSS} %-5p [%t] %F:%L %m%n";

bool hasAppenders()
{
    auto root = log4cxx::Logger::getRootLogger();
    auto own = log4cxx::Logger::getLogger(kLoggerName);
    return !root->getAllAppenders().empty() || !own->getAllAppenders().empty();
}

void configureDefault()
{
    log4cxx::LogManager::resetConfiguration();
    auto layout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR(kPattern));
    auto console = std::make_shared<log4cxx::ConsoleAppender>(layout, LOG4CXX_STR("System.err"));
    auto root = log4cxx::Logger::getRootLogger();
    root->addAppender(console);
    root->setLevel(log4cxx::Level::getWarn());
    if (const char* file = std::getenv("TT_LOG_FILE"); file && *file) {
        log4cxx::helpers::Pool pool;
        auto appender = std::make_shared<log4cxx::FileAppender>(layout, LOG4CXX_STR(file), true);
        appender->activateOptions(pool);
        root->addAppender(appender);
    }
}

// A file appender whose file could not be opened keeps no writer and drops every record it
// gets. Each such appender is replaced by a console appender with the same layout and
// threshold, and one error line per file says so.
void replaceDeadFileAppenders()
{
    auto layout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR(kPattern));
    std::vector<std::string> dead;
    auto repair = [&](const log4cxx::LoggerPtr& logger) {
        for (const log4cxx::AppenderPtr& appender : logger->getAllAppenders()) {
            const auto file = log4cxx::cast<log4cxx::FileAppender>(appender);
            if (!file || file->getWriter())
                continue;
            auto console = std::make_shared<log4cxx::ConsoleAppender>(
                file->getLayout() ? file->getLayout() : layout, LOG4CXX_STR("System.err"));
            console->setName(file->getName());
            console->setThreshold(file->getThreshold());
            logger->removeAppender(appender);
            logger->addAppender(console);
            dead.push_back(file->getFile());
        }
    };
    repair(log4cxx::Logger::getRootLogger());
    for (const log4cxx::LoggerPtr& logger : log4cxx::LogManager::getCurrentLoggers())
        repair(logger);

    auto own = log4cxx::Logger::getLogger(kLoggerName);
    for (const std::string& file : dead)
        own->forcedLog(log4cxx::Level::getError(),
                       "[log] cannot open log file \"" + file + "\"; logging to the console",
                       LOG4CXX_LOCATION);
}

std::once_flag g_configured;

log4cxx::LoggerPtr ownLogger()
{
    static log4cxx::LoggerPtr logger = [] {
        configure();
        return log4cxx::Logger::getLogger(kLoggerName);
    }();
    return logger;
}

log4cxx::LevelPtr toLevel(Level level)
{
    switch (level) {
    case Level::Trace: return log4cxx::Level::getTrace();
    case Level::Debug: return log4cxx::Level::getDebug();
    case Level::Info: return log4cxx::Level::getInfo();
    case Level::Warn: return log4cxx::Level::getWarn();
    case Level::Error: return log4cxx::Level::getError();
    }
    return log4cxx::Level::getError();
}

} // namespace

Arg::Arg(double v)
{
    std::ostringstream os;
    os << v;
    m_text = os.str();
}

void configure()
{
    std::call_once(g_configured, [] {
        const char* path = std::getenv("TT_LOG_CONFIG");
        if (path && *path) {
            try {
                std::string p(path);
                if (p.size() > 4 && p.compare(p.size() - 4, 4, ".xml") == 0)
                    log4cxx::xml::DOMConfigurator::configure(p);
                else
                    log4cxx::PropertyConfigurator::configure(p);
            } catch (...) {
            }
        }
        // an empty or broken file reports success with no appenders
        if (!hasAppenders())
            configureDefault();
        replaceDeadFileAppenders();
    });
}

bool enabled(Level level)
{
    return ownLogger()->isEnabledFor(toLevel(level));
}

std::string format(const char* fmt, std::initializer_list<Arg> args)
{
    if (!fmt)
        return std::string();
    try {
        boost::format f(fmt);
        for (const Arg& a : args)
            f % a.text();
        return f.str();
    } catch (...) {
        return fmt;
    }
}

void write(Level level, const char* file, const char* function, int line, const char* fmt,
           std::initializer_list<Arg> args)
{
    try {
        const std::string text = format(fmt, args);
        log4cxx::spi::LocationInfo where(file, log4cxx::spi::LocationInfo::calcShortFileName(file),
                                         function, line);
        ownLogger()->forcedLog(toLevel(level), text, where);
    } catch (...) {
        // logging never throws to its caller
    }
}

} // namespace ttlog
