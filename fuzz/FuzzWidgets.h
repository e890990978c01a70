#pragma once
// Start-up of the fuzz targets that build widgets: offscreen Qt over the project's data
// folder, a user folder of their own, and a log that formats every record but prints none
// (a console line per rejected input would slow the fuzzer to a crawl).
#include "host/data/Log.h"

#include <QApplication>
#include <QTemporaryDir>

#include <log4cxx/appenderskeleton.h>
#include <log4cxx/logger.h>

#include <memory>

namespace ttfuzz {

class NullAppender : public log4cxx::AppenderSkeleton {
public:
    void close() override {}
    bool requiresLayout() const override { return false; }
    void append(const log4cxx::spi::LoggingEventPtr&, log4cxx::helpers::Pool&) override {}
};

// Returns the user folder; it and the application live for the process.
inline QString startWidgets(char* argv0)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TT_DATA_DIR", TT_FUZZ_DATA_DIR);
    static QTemporaryDir userDir;
    qputenv("TT_USER_DIR", userDir.path().toUtf8());
    ttlog::configure();
    auto root = log4cxx::Logger::getRootLogger();
    root->removeAllAppenders();
    root->addAppender(std::make_shared<NullAppender>());
    root->setLevel(log4cxx::Level::getAll());
    static int qtArgc = 1;
    static char* qtArgv[] = {argv0, nullptr};
    new QApplication(qtArgc, qtArgv);
    return userDir.path();
}

} // namespace ttfuzz
