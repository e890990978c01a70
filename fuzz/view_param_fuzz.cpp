// libFuzzer target for the browse view's layout string: setParam as a start-up runs it,
// on a view of the main kind over the host's sector tree. Property: nothing crashes,
// throws or hangs, and what a view restored from any input writes is restored by a fresh
// view to the same string.
#include "view/CIndexBrowseView.h"

#include "host/data/Log.h"

#include <QApplication>
#include <QTemporaryDir>

#include <log4cxx/appenderskeleton.h>
#include <log4cxx/logger.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace TC;

namespace {

// Takes every record, so that the formatting runs, and prints none.
class NullAppender : public log4cxx::AppenderSkeleton {
public:
    void close() override {}
    bool requiresLayout() const override { return false; }
    void append(const log4cxx::spi::LoggingEventPtr&, log4cxx::helpers::Pool&) override {}
};

QString restoredParam(const QString& text)
{
    CIndexBrowseView view(nullptr, BrowseType_Default);
    view.setParam(text, false);
    return view.param(false);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TT_DATA_DIR", TT_FUZZ_DATA_DIR);
    static QTemporaryDir userDir; // side files and the user configuration go in here
    qputenv("TT_USER_DIR", userDir.path().toUtf8());
    ttlog::configure();
    auto root = log4cxx::Logger::getRootLogger();
    root->removeAllAppenders();
    root->addAppender(std::make_shared<NullAppender>());
    root->setLevel(log4cxx::Level::getAll());
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    new QApplication(qtArgc, qtArgv); // lives for the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QString written = restoredParam(text);
    const QString again = restoredParam(written);
    if (again != written) {
        std::fprintf(stderr, "restore not stable\n--- first\n%s\n--- second\n%s\n",
                     written.toUtf8().constData(), again.toUtf8().constData());
        std::abort();
    }
    return 0;
}
