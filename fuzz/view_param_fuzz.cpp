// libFuzzer target for the browse view's layout string: setParam as a start-up runs it,
// on a view of the main kind over a small universe's sector tree. Property: nothing
// crashes, throws or hangs, and what a view writes after restoring any string, a fresh view
// restores and writes again unchanged. Two views per input: the restore of the input and
// the fresh view that checks what it wrote.
#include "view/CIndexBrowseView.h"

#include "host/market/TestMarket.h"

#include "fuzz/FuzzWidgets.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace TC;

namespace {

QString restoredParam(const QString& text)
{
    CIndexBrowseView view(nullptr, BrowseType_Default);
    view.setParam(text, false);
    return view.param(false);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    ttfuzz::startWidgets((*argv)[0]);
    // a few instruments of each kind keep a view cheap to build
    using ttmarket::TestMarket;
    TestMarket::install(
        {TestMarket::stock("SH", "600000", "浦发银行", 10.0),
         TestMarket::stock("SZ", "000001", "平安银行", 12.0),
         TestMarket::stock("SZ", "300750", "宁德时代", 200.0),
         TestMarket::future("SHFE", "cu2501", "沪铜2501", 70000.0, 10.0, 5),
         TestMarket::future("CFFEX", "IF2501", "沪深300股指2501", 3500.0, 0.2, 300)});
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
