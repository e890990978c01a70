// The option T-board beside a baseline that prices every contract with QuantLib on each
// refresh: one month, all months, a month switch, and the implied volatilities shown.

#include "bench/BenchCommon.h"

#include "host/data/InstrumentDetail.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/TestMarket.h"
#include "pricet/CHpfOptionBrowserData.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/OptionValues.h"

#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/pricingengines/vanilla/analyticeuropeanengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/target.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace ttbench {
namespace {

// One ETF underlying with five expiry months of 40 strikes (80 contracts a month, 400 in
// all), quoted around a volatility smile. Installed when the first option scenario runs,
// after the browse scenarios, since it replaces the market's universe.

constexpr int kOptionMonths = 5;
constexpr int kOptionStrikes = 40;
const int kOptionExpiries[kOptionMonths] = {20240626, 20240724, 20240828, 20240925, 20241225};

struct OptionContract {
    QString code;
    bool call;
    double strike;
    int expiryYmd;
};

struct OptionWorld {
    std::vector<OptionContract> contracts;
    QVector<QString> codes;                          // every contract, then the underlying
    std::vector<quoter::QuoterAllDataPtr> quotes[2]; // two sets that differ everywhere
    std::unique_ptr<TC::COptionPriceTBrowseWidget> boards[kOptionMonths]; // one per month
    int flip = 0;
};

OptionWorld* g_options = nullptr;

// About 20 % at the money, rising to about 30 % for the lowest strikes.
double smileVolatility(double spot, double strike, double)
{
    const double m = std::log(strike / spot);
    return 0.20 + 0.25 * m * m - 0.05 * m;
}

double blackScholes(bool call, double s, double k, double r, double sigma, double t)
{
    auto cdf = [](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); };
    const double d1 = (std::log(s / k) + (r + sigma * sigma / 2) * t) / (sigma * std::sqrt(t));
    const double d2 = d1 - sigma * std::sqrt(t);
    return call ? s * cdf(d1) - k * std::exp(-r * t) * cdf(d2)
                : k * std::exp(-r * t) * cdf(-d2) - s * cdf(-d1);
}

OptionWorld& optionWorld()
{
    if (g_options)
        return *g_options;
    auto* w = new OptionWorld();
    g_options = w;
    ttmarket::TestMarket::setClock(ttmarket::TestMarket::at(2024, 6, 7, 10, 30));
    std::vector<ttservice::CInstrumentDetailPtr> universe;
    universe.push_back(ttmarket::TestMarket::stock("SH", "510050", "50ETF", 2.5, 0.001));
    universe.back()->histVolatility = 0.21;
    int serial = 10007000;
    for (int m = 0; m < kOptionMonths; ++m) {
        const int ymd = kOptionExpiries[m];
        for (int i = 0; i < kOptionStrikes; ++i) {
            const double strike = 1.5 + 0.05 * i;
            for (bool call : {true, false}) {
                auto d = std::make_shared<ttservice::CInstrumentDetail>();
                d->market = QStringLiteral("SHO");
                d->code = QString::number(serial++);
                d->key = XP::nvStockKey(d->market, d->code);
                d->name = QStringLiteral("50ETF%1%2月%3")
                              .arg(call ? QStringLiteral("购") : QStringLiteral("沽"))
                              .arg(ymd / 100 % 100)
                              .arg(qRound(strike * 1000));
                d->type = ttservice::eInstrOption;
                d->optUnderlyingMarket = QStringLiteral("SH");
                d->optUnderlyingCode = QStringLiteral("510050");
                d->isCall = call;
                d->strike = strike;
                d->expiryYmd = ymd;
                d->expiryDate =
                    TC::CStockManager::dateFromYmd(ymd / 10000, ymd / 100 % 100, ymd % 100);
                d->contractUnit = 10000;
                d->histVolatility = 0.21;
                d->riskFreeRate = 0.02;
                d->priceStep = 0.0001;
                d->tradeUnit = 1;
                const double years = (TC::dayOfYmd(ymd) - TC::marketToday()) / 365.0;
                d->preSettlement = d->refPrice =
                    std::max(0.0001, blackScholes(call, 2.5, strike, 0.02,
                                                  smileVolatility(2.5, strike, years), years));
                universe.push_back(d);
                w->contracts.push_back({d->code, call, strike, ymd});
                w->codes.append(d->code);
            }
        }
    }
    ttmarket::TestMarket::install(universe);
    for (int set = 0; set < 2; ++set) {
        const double spot = set ? 2.51 : 2.50;
        for (const OptionContract& c : w->contracts) {
            const double years = (TC::dayOfYmd(c.expiryYmd) - TC::marketToday()) / 365.0;
            const double fair = blackScholes(c.call, spot, c.strike, 0.02,
                                             smileVolatility(spot, c.strike, years), years);
            // prices on the 0.0001 tick, as the exchange quotes them
            const double last = std::max(0.0001, std::round(fair * 1e4) / 1e4);
            auto q = std::make_shared<quoter::QuoterAllData>(
                ttmarket::TestMarket::quote(last, 0.1, 1000 + set));
            q->preSettlement = 0.1;
            q->bidPrice[0] = std::max(0.0001, last - 0.0005);
            q->askPrice[0] = last + 0.0005;
            w->quotes[set].push_back(q);
        }
    }
    for (int m = 0; m < kOptionMonths; ++m) {
        auto* board = new TC::COptionPriceTBrowseWidget();
        w->boards[m].reset(board);
        board->resize(1600, 600);
        board->setAttribute(Qt::WA_DontShowOnScreen);
        board->show();
        board->selectUnderlying(QStringLiteral("510050.SH"));
        board->selectMonth(QString::number(kOptionExpiries[m]));
    }
    QCoreApplication::processEvents();
    return *w;
}

// Every contract of the underlying's option market in one delivery, as the feed sends it.
void pushOptions(OptionWorld& w, int boards)
{
    const int set = (w.flip ^= 1);
    quoter::QuoterAllData und = ttmarket::TestMarket::quote(set ? 2.51 : 2.50, 2.5, 1000000);
    const QVector<QString> undCode{QStringLiteral("510050")};
    const std::vector<quoter::QuoterAllDataPtr> undQuote{
        std::make_shared<quoter::QuoterAllData>(und)};
    for (int b = 0; b < boards; ++b) {
        dorn::PushQuoteParam sh("SH");
        w.boards[b]->formulaPushQuoteBack(sh, undCode, {}, undQuote, false);
        dorn::PushQuoteParam sho("SHO");
        w.boards[b]->formulaPushQuoteBack(sho, w.codes, {}, w.quotes[set], true);
    }
}

// How a newcomer prices a board: a QuantLib option per contract per refresh, its
// implied volatility from the last price and its Greeks.
struct BaselineResult {
    double iv, delta, gamma, vega, theta, rho;
};

void pushOptionsBaseline(OptionWorld& w, int months, std::vector<BaselineResult>& out)
{
    using namespace QuantLib;
    const int set = (w.flip ^= 1);
    const double spotPrice = set ? 2.51 : 2.50;
    const Date today(7, June, 2024);
    Settings::instance().evaluationDate() = today;
    out.clear();
    const size_t n = size_t(months) * kOptionStrikes * 2;
    for (size_t i = 0; i < n; ++i) {
        const OptionContract& c = w.contracts[i];
        const double price = w.quotes[set][i]->last;
        auto spot = ext::make_shared<SimpleQuote>(spotPrice);
        Handle<YieldTermStructure> rate(
            ext::make_shared<FlatForward>(today, 0.02, Actual365Fixed()));
        Handle<YieldTermStructure> dividend(
            ext::make_shared<FlatForward>(today, 0.0, Actual365Fixed()));
        Handle<BlackVolTermStructure> vol(
            ext::make_shared<BlackConstantVol>(today, TARGET(), 0.21, Actual365Fixed()));
        auto process =
            ext::make_shared<BlackScholesMertonProcess>(Handle<Quote>(spot), dividend, rate, vol);
        const Date expiry(c.expiryYmd % 100, Month(c.expiryYmd / 100 % 100), c.expiryYmd / 10000);
        VanillaOption option(
            ext::make_shared<PlainVanillaPayoff>(c.call ? Option::Call : Option::Put, c.strike),
            ext::make_shared<EuropeanExercise>(expiry));
        option.setPricingEngine(ext::make_shared<AnalyticEuropeanEngine>(process));
        BaselineResult r{};
        try {
            r.iv = option.impliedVolatility(price, process, 1e-6, 200, 1e-4, 1.5);
        } catch (...) {
            r.iv = -1;
        }
        r.delta = option.delta();
        r.gamma = option.gamma();
        r.vega = option.vega();
        r.theta = option.theta();
        r.rho = option.rho();
        out.push_back(r);
    }
}

void BM_OptionMonth_Library(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    for (auto _ : state)
        pushOptions(w, 1);
    state.counters["contracts"] = double(w.boards[0]->model()->size() * 2);
}

void BM_OptionMonth_Baseline(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    std::vector<BaselineResult> out;
    for (auto _ : state)
        pushOptionsBaseline(w, 1, out);
    benchmark::DoNotOptimize(out.data());
    state.counters["contracts"] = double(out.size());
}

void BM_OptionAllMonths_Library(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    for (auto _ : state)
        pushOptions(w, kOptionMonths);
    state.counters["contracts"] = double(w.contracts.size());
}

void BM_OptionAllMonths_Baseline(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    std::vector<BaselineResult> out;
    for (auto _ : state)
        pushOptionsBaseline(w, kOptionMonths, out);
    benchmark::DoNotOptimize(out.data());
    state.counters["contracts"] = double(out.size());
}

// Rows rebuilt, filled from the cache and subscribed again; the pool thread's cache read
// and the subscription that follows it run between iterations.
void BM_OptionMonthSwitch_Library(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    TC::COptionPriceTBrowseWidget& board = *w.boards[0];
    int m = 0;
    for (auto _ : state) {
        m = (m + 1) % kOptionMonths;
        board.selectMonth(QString::number(kOptionExpiries[m]));
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    board.selectMonth(QString::number(kOptionExpiries[0]));
}

// Implied volatilities the board recovered from the smile, in percent (min and max), over
// the contracts priced at least 5 ticks above their zero-volatility value: closer to it
// the quote does not pin the volatility down. Also the share of contracts that show an
// implied volatility.
void BM_OptionImpliedRange_Library(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    pushOptions(w, kOptionMonths);
    double lo = 1e9, hi = -1e9;
    int shown = 0, total = 0;
    for (auto _ : state) {
        for (int b = 0; b < kOptionMonths; ++b) {
            auto* model = w.boards[b]->model();
            const double years = (TC::dayOfYmd(kOptionExpiries[b]) - TC::marketToday()) / 365.0;
            for (int i = 0; i < model->size(); ++i) {
                auto* row = static_cast<TC::CHpfOptionBrowserData*>(model->getData(i).get());
                const double s = row->m_dUnderlyingPrice;
                const double k = row->m_dCallStrike * std::exp(-0.02 * years);
                for (int side = 0; side < 2; ++side) {
                    const double v = row->getDouble(side ? 37 : 19);
                    const double last = row->getDouble(side ? 30 : 26);
                    const double floor = std::max(side ? k - s : s - k, 0.0);
                    ++total;
                    if (!TC::CHpfOptionBrowserData::isShown(v))
                        continue;
                    ++shown;
                    if (last - floor >= 0.0005) {
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                }
            }
        }
    }
    state.counters["iv_min_pct"] = lo * 100;
    state.counters["iv_max_pct"] = hi * 100;
    state.counters["iv_shown_pct"] = total ? 100.0 * shown / total : 0.0;
}

} // namespace

void registerOptionBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_OptionMonth_Library", BM_OptionMonth_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionMonth_Baseline", BM_OptionMonth_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionAllMonths_Library", BM_OptionAllMonths_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionAllMonths_Baseline", BM_OptionAllMonths_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionMonthSwitch_Library", BM_OptionMonthSwitch_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionImpliedRange_Library", BM_OptionImpliedRange_Library)
        ->Iterations(1);
}

void releaseOptionWorld()
{
    if (g_options) {
        for (auto& board : g_options->boards)
            board.reset();
    }
}

} // namespace ttbench
