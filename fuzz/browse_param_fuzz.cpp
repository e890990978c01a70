// libFuzzer targets for the browse table's parameter strings: setParam (restoring with the
// side files, which a string may name anywhere) or, with TT_FUZZ_CUSTOM_COLUMNS,
// setCustomColumnParam. Property: nothing crashes, throws or hangs, and what a table
// restored from any input writes is restored by a fresh table to the same string.
#include "browse/CBrowseWidget.h"
#include "host/data/StdFile.h"
#include "host/data/StockManager.h"
#include "host/market/TestMarket.h"

#include "fuzz/FuzzWidgets.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace TC;
using ttmarket::TestMarket;

namespace {

CBrowseWidget::InstrumentList g_list;

std::unique_ptr<CBrowseWidget> table()
{
    auto w = std::make_unique<CBrowseWidget>();
    w->setSectorName(QStringLiteral("测试板块"));
    w->setStockList(g_list, false);
    return w;
}

#ifdef TT_FUZZ_CUSTOM_COLUMNS
void restore(CBrowseWidget& w, const QString& text)
{
    w.setCustomColumnParam(text);
}
QString save(CBrowseWidget& w)
{
    return w.getCustomColumnParam();
}
#else
void restore(CBrowseWidget& w, const QString& text)
{
    w.setParam(text, true);
}
QString save(CBrowseWidget& w)
{
    return w.param(false);
}
#endif

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    const QString userDir = ttfuzz::startWidgets((*argv)[0]);
    // "1" and "2" name a value file and a field-list file, as the seeds do
    TC::stdWriteFile(userDir + QStringLiteral("/BrowseParam/1"),
                     "测试板块,MA5,600000.SH,1.5000\n测试板块,MA(5%2C10),600004.SH,2.0000", "wb");
    TC::stdWriteFile(userDir + QStringLiteral("/BrowseParam/2"), "测试板块:f1,f2", "wb");
    TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0),
                         TestMarket::stock("SH", "600004", "白云机场", 12.0)});
    for (const char* code : {"600000", "600004"})
        g_list.append(CStockManager::instance()->getInstrumentDetail(QStringLiteral("SH"),
                                                                     QString::fromLatin1(code)));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    auto first = table();
    restore(*first, text);
    const QString written = save(*first);
    auto second = table();
    restore(*second, written);
    const QString again = save(*second);
    if (again != written) {
        std::fprintf(stderr, "restore not stable\n--- first\n%s\n--- second\n%s\n",
                     written.toUtf8().constData(), again.toUtf8().constData());
        std::abort();
    }
    return 0;
}
