#include "host/market/EmbeddedMarket_p.h"

#include "host/data/HostClock.h"
#include "host/data/Log.h"
#include "host/data/StockManager.h"
#include "host/data/TemporaryDataManager.h"
#include "host/data/TradeOpenCloseTimeManager.h"
#include "host/market/OptionPricing.h"

#include <QPair>
#include <algorithm>
#include <cmath>

namespace ttmarket {

using namespace detail;

namespace {

bool isShSz(const std::string& m)
{
    return m == "SH" || m == "SZ" || m == "SSE" || m == "SZSE";
}

double roundTo(double v, double step)
{
    if (step <= 0)
        return v;
    return std::round(v / step) * step;
}

bool startsWith(const std::string& s, const char* p)
{
    return s.rfind(p, 0) == 0;
}

double futureLimit(const QString& product)
{
    static const std::map<QString, double> limits = {
        {QStringLiteral("IF"), 0.10},  {QStringLiteral("IH"), 0.10}, {QStringLiteral("IC"), 0.10},
        {QStringLiteral("IM"), 0.10},  {QStringLiteral("T"), 0.02},  {QStringLiteral("TF"), 0.012},
        {QStringLiteral("TS"), 0.005}, {QStringLiteral("TL"), 0.035}};
    auto it = limits.find(product);
    return it == limits.end() ? 0.07 : it->second;
}

// index futures follow these indices
QString indexOfFutureProduct(const QString& product)
{
    if (product == QLatin1String("IF"))
        return QStringLiteral("000300");
    if (product == QLatin1String("IH"))
        return QStringLiteral("000016");
    if (product == QLatin1String("IC"))
        return QStringLiteral("000905");
    if (product == QLatin1String("IM"))
        return QStringLiteral("000852");
    return QString();
}

} // namespace

void EmbeddedMarketPrivate::build(uint64_t newSeed)
{
    seed = newSeed;
    built = true;
    TC::CStockManager* sm = TC::CStockManager::instance();
    if (!sm->ensureLoaded())
        TT_LOG_ERROR("[market] universe not loaded: %1%", sm->loadError());
    const std::vector<ttservice::CInstrumentDetailPtr>& all = sm->allInstruments();

    std::vector<Instrument> ins;
    std::vector<Market> mks;
    std::unordered_map<std::string, int> mOf, kOf;
    ins.reserve(all.size());
    kOf.reserve(all.size());
    for (const ttservice::CInstrumentDetailPtr& detail : all) {
        if (!detail || detail->code.isEmpty())
            continue;
        Instrument in;
        in.detail = detail;
        in.market = detail->market.toStdString();
        in.code = detail->code.toStdString();
        in.key = detail->key.toStdString();
        in.qmarket = detail->market;
        in.qcode = detail->code;
        if (!kOf.emplace(keyOf(in.market, in.code), static_cast<int>(ins.size())).second)
            continue; // a duplicate key keeps its first instrument
        auto mit = mOf.find(in.market);
        if (mit == mOf.end()) {
            mit = mOf.emplace(in.market, static_cast<int>(mks.size())).first;
            Market m;
            m.name = in.market;
            m.qname = detail->market;
            mks.push_back(std::move(m));
        }
        Market& m = mks[mit->second];
        in.marketIndex = mit->second;
        in.slot = static_cast<int>(m.members.size());
        m.slotOf[in.code] = in.slot;
        m.members.push_back(static_cast<int>(ins.size()));
        ins.push_back(std::move(in));
    }

    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        instruments.swap(ins);
        markets.swap(mks);
        marketOf.swap(mOf);
        byKey.swap(kOf);
        for (Market& m : markets) {
            m.snapshots.assign(m.members.size(), nullptr);
            m.pendingFlag.assign(m.members.size(), 0);
            m.pending.clear();
            m.pending.reserve(m.members.size());
            m.allCodes.clear();
            m.allMarkets.clear();
            for (int idx : m.members) {
                m.allCodes.append(instruments[idx].qcode);
                m.allMarkets.append(m.qname);
            }
            m.codes.reserve(static_cast<int>(m.members.size()));
            m.markets.reserve(static_cast<int>(m.members.size()));
            m.quotes.reserve(m.members.size());
        }
    }
    pastDates.clear();

    for (Instrument& in : instruments)
        setupInstrument(in);
    // underlyings before the instruments that follow them
    for (int pass = 0; pass < 4; ++pass) {
        for (Instrument& in : instruments) {
            if (in.underlying >= 0)
                in.level = instruments[in.underlying].level + 1;
        }
    }
    order.resize(instruments.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return instruments[a].level < instruments[b].level; });

    const int64_t now = TC::HostClock::nowMs();
    for (Market& m : markets)
        refreshSessions(m);
    std::vector<std::pair<int, quoter::QuoterAllDataPtr>> published;
    published.reserve(instruments.size());
    for (int idx : order) {
        Instrument& in = instruments[idx];
        in.tradingDay = markets[in.marketIndex].tradingDay;
        in.anchorDay = in.tradingDay;
        initDay(in, now);
        in.anchorClose = in.preClose;
        publish(in, now, published);
    }
    std::lock_guard<std::mutex> lock(cacheMutex);
    for (auto& p : published) {
        const Instrument& in = instruments[p.first];
        markets[in.marketIndex].snapshots[in.slot] = std::move(p.second);
    }
    TT_LOG_INFO("[market] built %1% instruments in %2% markets, seed %3%",
                static_cast<long long>(instruments.size()), static_cast<long long>(markets.size()),
                static_cast<unsigned long long>(seed));
}

void EmbeddedMarketPrivate::setupInstrument(Instrument& in)
{
    const ttservice::CInstrumentDetail& d = *in.detail;
    in.rng = Rng(stableHash(in.key, seed));
    in.step = d.priceStep > 0 ? d.priceStep : 0.01;
    in.phaseField = isShSz(in.market);
    switch (d.type) {
    case ttservice::eInstrIndex:
    case ttservice::eInstrSectorIndex:
    case ttservice::eInstrCustomIndex: in.kind = Kind::Index; break;
    case ttservice::eInstrFund:
    case ttservice::eInstrETF:
    case ttservice::eInstrLOF: in.kind = Kind::Fund; break;
    case ttservice::eInstrBond: in.kind = Kind::Bond; break;
    case ttservice::eInstrConvertibleBond: in.kind = Kind::CB; break;
    case ttservice::eInstrFuture: in.kind = Kind::Future; break;
    case ttservice::eInstrOption:
    case ttservice::eInstrFutureOption: in.kind = Kind::Option; break;
    case ttservice::eInstrHKStock: in.kind = Kind::HK; break;
    case ttservice::eInstrForeignFuture: in.kind = Kind::ForeignFuture; break;
    default: in.kind = Kind::Stock; break;
    }
    Rng setup(stableHash(in.key, seed ^ 0x5E7u));
    const double u = setup.uniform();
    switch (in.kind) {
    case Kind::Stock:
        in.limitRatio = (startsWith(in.code, "300") || startsWith(in.code, "301")
                         || startsWith(in.code, "688") || startsWith(in.code, "689"))
                            ? 0.20
                            : 0.10;
        in.lot = 100;
        in.sigmaTick = 0.0012;
        in.sigmaDay = 0.022;
        in.pTrade = 0.35;
        in.baseDailyVolume = (d.floatShares > 0 ? d.floatShares : 5e8) * (0.004 + 0.02 * u);
        in.suspended = setup.uniform() < 0.004;
        break;
    case Kind::Index:
        in.hasBook = false;
        in.lot = 100;
        in.sigmaTick = 0.0004;
        in.sigmaDay = 0.012;
        in.pTrade = 1.0;
        in.baseDailyVolume = 1e9 * (1 + 9 * u);
        break;
    case Kind::Fund:
        in.limitRatio = 0.10;
        in.lot = 100;
        in.sigmaTick = 0.0006;
        in.sigmaDay = 0.012;
        in.pTrade = 0.4;
        in.baseDailyVolume = 5e7 * (0.2 + u);
        break;
    case Kind::Bond:
        in.limitRatio = 0.10;
        in.lot = 10;
        in.sigmaTick = 0.0002;
        in.sigmaDay = 0.002;
        in.pTrade = 0.1;
        in.baseDailyVolume = 1e5 * (0.2 + u);
        break;
    case Kind::CB:
        in.limitRatio = 0.20;
        in.lot = 10;
        in.sigmaTick = 0.0008;
        in.sigmaDay = 0.015;
        in.pTrade = 0.3;
        in.baseDailyVolume = 1e6 * (0.2 + u);
        in.basis = 0.05 + 0.25 * setup.uniform(); // conversion premium
        break;
    case Kind::Future:
    case Kind::ForeignFuture: {
        const QString product =
            d.product.isEmpty() ? TC::CTradeOpenCloseTimeManager::productOfCode(d.code) : d.product;
        in.limitRatio = in.kind == Kind::Future ? futureLimit(product) : 0.0;
        in.lot = 1;
        in.multiplier = d.tradeUnit > 0 ? d.tradeUnit : 10;
        in.sigmaTick = 0.0008;
        in.sigmaDay = 0.015;
        in.pTrade = 0.6;
        in.baseDailyVolume = 2e4 + 2e5 * u;
        in.continuous = d.isContinuous && !d.mainCode.isEmpty();
        if (in.kind == Kind::Future) {
            in.nightOk =
                TC::CTradeOpenCloseTimeManager::instance()->hasNightQuoter(d.market, d.code);
            if (in.continuous) {
                in.underlying = find(in.market, d.mainCode.toStdString());
            } else {
                const QString index = indexOfFutureProduct(product);
                if (!index.isEmpty()) {
                    ttservice::CInstrumentDetailPtr idx =
                        TC::CStockManager::instance()->getInstrumentDetail(QStringLiteral("SH"),
                                                                           index);
                    if (!idx)
                        idx = TC::CStockManager::instance()->findByCode(index);
                    if (idx)
                        in.underlying = find(idx->market.toStdString(), idx->code.toStdString());
                    // later deliveries trade at a discount
                    const int months =
                        d.deliveryYear > 0 ? (d.deliveryYear * 12 + d.deliveryMonth) % 12 : 0;
                    in.basis = -0.001 * (1 + months % 4) + 0.0005 * setup.normal();
                }
            }
        }
        break;
    }
    case Kind::Option:
        in.lot = 1;
        in.multiplier = d.contractUnit > 0 ? d.contractUnit : 10000;
        in.pTrade = 0.25;
        in.baseDailyVolume = 1e3 + 3e4 * u;
        in.underlying =
            find(d.optUnderlyingMarket.toStdString(), d.optUnderlyingCode.toStdString());
        in.nightOk = false;
        break;
    case Kind::HK:
        in.lot = 100;
        in.sigmaTick = 0.0012;
        in.sigmaDay = 0.02;
        in.pTrade = 0.3;
        in.baseDailyVolume = 2e7 * (0.2 + u);
        break;
    }
    if (in.kind == Kind::CB)
        in.underlying = find(d.cbUnderlyingMarket.toStdString(), d.cbUnderlyingCode.toStdString());
    if (in.underlying >= 0 && &instruments[in.underlying] == &in)
        in.underlying = -1;
    double pre = d.refPrice;
    if (!(pre > 0))
        pre = roundTo(5.0 + 45.0 * setup.uniform(), in.step);
    in.preClose = std::max(roundTo(pre, in.step), in.step);
    in.preOpenInterest = in.kind == Kind::Future || in.kind == Kind::Option
                             ? static_cast<int64_t>(in.baseDailyVolume * (0.5 + u))
                             : 0;
}

void EmbeddedMarketPrivate::refreshSessions(Market& m)
{
    TC::CStockManager* sm = TC::CStockManager::instance();
    m.tradingDay = sm->getLastTradingDay(m.qname);
    m.sessions.clear();
    const QVector<QPair<qint64, qint64>> list = sm->getOpenTimeByMarket(m.qname);
    for (const auto& s : list) {
        if (s.second > s.first)
            m.sessions.emplace_back(s.first, s.second);
    }
    if (m.sessions.empty()) {
        // unknown to the calendar: the stock day
        const int64_t base = static_cast<int64_t>(m.tradingDay) * 1000;
        m.sessions.emplace_back(base + (9 * 60 + 30) * kMinuteMs,
                                base + (11 * 60 + 30) * kMinuteMs);
        m.sessions.emplace_back(base + 13 * 60 * kMinuteMs, base + 15 * 60 * kMinuteMs);
    }
}

int64_t EmbeddedMarketPrivate::phaseAt(const Instrument& in, int64_t t, double* fraction,
                                       bool* auction) const
{
    if (auction)
        *auction = false;
    const Market& m = markets[in.marketIndex];
    const int64_t midnight = static_cast<int64_t>(m.tradingDay) * 1000;
    int64_t total = 0, done = 0, first = 0, lastEnd = 0;
    bool any = false;
    int64_t phase = quoter::PhaseMiddayBreak;
    for (const auto& s : m.sessions) {
        // night sessions open before the trading day's midnight
        if (!in.nightOk && s.first < midnight && m.sessions.back().first >= midnight)
            continue;
        if (!any)
            first = s.first;
        any = true;
        lastEnd = s.second;
        total += s.second - s.first;
        done += std::clamp<int64_t>(t - s.first, 0, s.second - s.first);
        if (t >= s.first && t < s.second)
            phase = quoter::PhaseContinuous;
    }
    if (fraction)
        *fraction = total > 0 ? static_cast<double>(done) / total : 0.0;
    if (in.suspended)
        return quoter::PhaseSuspended;
    if (alwaysOpen)
        return quoter::PhaseContinuous;
    if (!any || t < first) {
        if (auction)
            *auction = any && t >= first - kPreOpenMs;
        return quoter::PhasePreOpen;
    }
    if (t >= lastEnd)
        return quoter::PhaseClosed;
    return phase;
}

void EmbeddedMarketPrivate::fillBook(Instrument& in)
{
    for (int k = 0; k < 5; ++k) {
        in.bid[k] = in.ask[k] = 0;
        in.bidVol[k] = in.askVol[k] = 0;
    }
    if (!in.hasBook || in.suspended)
        return;
    double ref = in.last > 0 ? in.last : 0.0;
    if (ref <= 0) {
        // not traded yet: an indicative book only during the call auction
        if (in.phase != quoter::PhasePreOpen || !in.auction)
            return;
        ref = in.preClose;
    }
    const double bid1 = in.rng.uniform() < 0.5 ? ref : ref - in.step;
    for (int k = 0; k < 5; ++k) {
        const double b = roundTo(bid1 - k * in.step, in.step);
        const double a = roundTo(bid1 + (k + 1) * in.step, in.step);
        if (b >= in.step && (in.lower <= 0 || b >= in.lower - 1e-9)) {
            in.bid[k] = b;
            in.bidVol[k] = in.rng.range(1, 300) * in.lot;
        }
        if (in.upper <= 0 || a <= in.upper + 1e-9) {
            in.ask[k] = a;
            in.askVol[k] = in.rng.range(1, 300) * in.lot;
        }
    }
}

void EmbeddedMarketPrivate::derive(Instrument& in, bool preCloseToo, bool trading)
{
    const Instrument& u = instruments[in.underlying];
    const ttservice::CInstrumentDetail& d = *in.detail;
    auto price = [&](double s, double daysExtra) -> double {
        if (s <= 0)
            return 0.0;
        switch (in.kind) {
        case Kind::Option: {
            const int64_t expiryMs = static_cast<int64_t>(d.expiryDate) * 1000 + 15 * 3600 * 1000LL;
            const double years =
                std::max<double>(expiryMs - TC::HostClock::nowMs(), 0.0) / (365.0 * kDayMs)
                + daysExtra / 365.0;
            const double base = d.histVolatility > 0 ? d.histVolatility : 0.25;
            const double r = d.riskFreeRate > 0 ? d.riskFreeRate : 0.02;
            const double strike = d.strike > 0 ? d.strike : s;
            const double vol = smileVolatility(base, s, strike);
            return std::max(roundTo(blackScholes(d.isCall, s, strike, years, r, vol), in.step),
                            in.step);
        }
        case Kind::CB: {
            const double cv = d.cbConversionPrice > 0 ? 100.0 / d.cbConversionPrice * s : 100.0;
            return roundTo(std::max(cv * (1 + in.basis), 95.0 + 10 * in.basis), in.step);
        }
        default: // index futures and continuous contracts
            return roundTo(s * (1 + in.basis), in.step);
        }
    };
    if (in.continuous) {
        // a continuous contract is its main contract under another code
        const Instrument self = in;
        in.preClose = u.preClose;
        in.upper = u.upper;
        in.lower = u.lower;
        in.last = u.last;
        in.open = u.open;
        in.high = u.high;
        in.low = u.low;
        in.volume = u.volume;
        in.amount = u.amount;
        in.openInterest = u.openInterest;
        in.preOpenInterest = u.preOpenInterest;
        in.trades = u.trades;
        std::copy(u.bid, u.bid + 5, in.bid);
        std::copy(u.ask, u.ask + 5, in.ask);
        std::copy(u.bidVol, u.bidVol + 5, in.bidVol);
        std::copy(u.askVol, u.askVol + 5, in.askVol);
        in.buyAmount = u.buyAmount;
        in.sellAmount = u.sellAmount;
        in.changed = in.last != self.last || in.volume != self.volume || u.changed;
        return;
    }
    if (preCloseToo) {
        in.preClose = std::max(price(u.preClose, 1.0), in.step);
        if (in.limitRatio > 0) {
            in.upper = roundTo(in.preClose * (1 + in.limitRatio), in.step);
            in.lower = std::max(roundTo(in.preClose * (1 - in.limitRatio), in.step), in.step);
        }
    }
    if (!trading || u.last <= 0 || in.suspended)
        return;
    double p = price(u.last, 0.0);
    if (in.upper > 0)
        p = std::min(p, in.upper);
    if (in.lower > 0)
        p = std::max(p, in.lower);
    if (in.last <= 0) {
        const double o = u.open > 0 ? price(u.open, 0.0) : p;
        in.open = in.high = in.low = o;
        in.last = o;
    }
    if (std::fabs(p - in.last) > 1e-9 || in.rng.uniform() < in.pTrade * 0.3)
        trade(in, p);
}

void EmbeddedMarketPrivate::trade(Instrument& in, double price)
{
    const double before = in.last;
    in.last = price;
    in.high = std::max(in.high, price);
    in.low = in.low > 0 ? std::min(in.low, price) : price;
    const double meanLots =
        std::max(1.0, in.baseDailyVolume / static_cast<double>(in.lot) / 14400.0 / in.pTrade);
    const int64_t lots =
        1 + static_cast<int64_t>(-std::log(std::max(in.rng.uniform(), 1e-12)) * meanLots);
    const int64_t v = lots * in.lot;
    const double amt = static_cast<double>(v) * price * in.multiplier;
    in.volume += v;
    in.amount += amt;
    in.trades += std::max<int64_t>(1, lots / 3);
    if (in.kind == Kind::Future || in.kind == Kind::Option)
        in.openInterest = std::max<int64_t>(0, in.openInterest + in.rng.range(-lots, lots));
    const bool buy = price > before || (price == before && in.rng.uniform() < 0.5);
    (buy ? in.buyAmount : in.sellAmount) += amt;
    in.changed = true;
}

bool EmbeddedMarketPrivate::walk(Instrument& in)
{
    if (in.rng.uniform() >= in.pTrade)
        return false;
    if (in.last <= 0) {
        // the opening trade
        double o = roundTo(in.preClose * std::exp(in.rng.normal() * in.sigmaDay * 0.3), in.step);
        if (in.upper > 0)
            o = std::min(o, in.upper);
        if (in.lower > 0)
            o = std::max(o, in.lower);
        o = std::max(o, in.step);
        in.open = in.high = in.low = o;
        trade(in, o);
        return true;
    }
    double x = std::log(in.last / in.preClose);
    x += -kMeanReversion * x + in.sigmaTick * in.rng.normal();
    double p = roundTo(in.preClose * std::exp(x), in.step);
    if (in.upper > 0)
        p = std::min(p, in.upper);
    if (in.lower > 0)
        p = std::max(p, in.lower);
    p = std::max(p, in.step);
    trade(in, p);
    return true;
}

void EmbeddedMarketPrivate::initDay(Instrument& in, int64_t t)
{
    in.last = in.open = in.high = in.low = 0;
    in.volume = 0;
    in.amount = 0;
    in.trades = 0;
    in.buyAmount = in.sellAmount = 0;
    in.openInterest = in.preOpenInterest;
    in.bars.clear();
    in.ring.fill(nullptr);
    in.ringHead = in.ringCount = 0;
    in.lastMinute = -1;
    std::fill(std::begin(in.minuteClose), std::end(in.minuteClose), 0.0);
    in.upper = in.lower = 0;
    if (in.limitRatio > 0) {
        in.upper = roundTo(in.preClose * (1 + in.limitRatio), in.step);
        in.lower = std::max(roundTo(in.preClose * (1 - in.limitRatio), in.step), in.step);
    }
    double f = 0;
    in.phase = phaseAt(in, t, &f, &in.auction);
    if (alwaysOpen && f <= 0)
        f = 0.5;
    in.fraction = f;
    if (in.underlying >= 0) {
        derive(in, true, in.phase != quoter::PhasePreOpen || alwaysOpen);
        if (in.last > 0 && !in.continuous) {
            in.volume = static_cast<int64_t>(in.baseDailyVolume * f) / in.lot * in.lot;
            in.amount = static_cast<double>(in.volume) * (in.open + in.last) / 2 * in.multiplier;
        }
    } else if (!in.suspended && f > 0) {
        // joining a day already under way: a plausible state for the time elapsed
        auto clampP = [&](double p) {
            p = roundTo(p, in.step);
            if (in.upper > 0)
                p = std::min(p, in.upper);
            if (in.lower > 0)
                p = std::max(p, in.lower);
            return std::max(p, in.step);
        };
        in.open = clampP(in.preClose * std::exp(in.rng.normal() * in.sigmaDay * 0.3));
        in.last = clampP(in.preClose * std::exp(in.rng.normal() * in.sigmaDay * std::sqrt(f)));
        in.high = clampP(std::max(in.open, in.last) * (1 + std::fabs(in.rng.normal()) * 0.004));
        in.low = clampP(std::min(in.open, in.last) * (1 - std::fabs(in.rng.normal()) * 0.004));
        in.high = std::max({in.high, in.open, in.last});
        in.low = std::min({in.low, in.open, in.last});
        in.volume = static_cast<int64_t>(in.baseDailyVolume * f * (0.7 + 0.6 * in.rng.uniform()))
                    / in.lot * in.lot;
        if (in.volume <= 0)
            in.volume = in.lot;
        in.amount = static_cast<double>(in.volume) * (in.open + in.high + in.low + in.last) / 4
                    * in.multiplier;
        in.trades = in.volume / in.lot / 4 + 1;
    }
    if (in.suspended)
        in.phase = quoter::PhaseSuspended;
    fillBook(in);
    in.changed = true;
}

quoter::KLineData EmbeddedMarketPrivate::todayBar(const Instrument& in) const
{
    quoter::KLineData bar;
    bar.time = static_cast<int64_t>(in.tradingDay) * 1000;
    bar.open = in.open;
    bar.high = in.high;
    bar.low = in.low;
    bar.close = in.last;
    bar.preClose = in.preClose;
    bar.volume = in.volume;
    bar.amount = in.amount;
    bar.openInterest = in.openInterest;
    bar.settlement = in.volume > 0 ? in.amount / (in.volume * in.multiplier) : in.last;
    return bar;
}

void EmbeddedMarketPrivate::publish(Instrument& in, int64_t t,
                                    std::vector<std::pair<int, quoter::QuoterAllDataPtr>>& out)
{
    auto q = std::make_shared<quoter::QuoterAllData>();
    q->time = t;
    q->last = in.last;
    q->open = in.open;
    q->high = in.high;
    q->low = in.low;
    q->preClose = in.preClose;
    q->amount = in.amount;
    // SH/SZ snapshots carry volumes in lots (手), as the exchanges' quote feeds do; the
    // turnover is then volume x 100 / float shares
    const int64_t unit = in.volumeUnit();
    q->volume = in.volume / unit;
    q->openInterestOrPhase = in.phaseField ? in.phase : in.openInterest;
    std::copy(in.bid, in.bid + 5, q->bidPrice);
    std::copy(in.ask, in.ask + 5, q->askPrice);
    for (int i = 0; i < 5; ++i) {
        q->bidVolume[i] = in.bidVol[i] / unit;
        q->askVolume[i] = in.askVol[i] / unit;
    }
    if (in.kind == Kind::Fund && in.detail->iopvBasis > 0) {
        const double ratio = in.last > 0 ? in.last / in.preClose : 1.0;
        q->iopv = in.detail->iopvBasis * ratio;
    }
    if (in.kind == Kind::Future || in.kind == Kind::Option || in.kind == Kind::ForeignFuture) {
        q->preSettlement = in.detail->preSettlement > 0 ? in.detail->preSettlement : in.preClose;
        q->settlement = in.volume > 0 ? in.amount / (in.volume * in.multiplier) : 0.0;
    }
    q->average = in.volume > 0 ? in.amount / (static_cast<double>(in.volume) * in.multiplier) : 0.0;
    q->upperLimit = in.upper;
    q->lowerLimit = in.lower;
    q->preOpenInterest = in.preOpenInterest;
    q->tradeCount = in.trades;

    // minute marks for the rise speeds, and today's minute bars
    if (in.last > 0) {
        const int64_t minute = t / kMinuteMs;
        if (in.lastMinute < 0) {
            std::fill(std::begin(in.minuteClose), std::end(in.minuteClose), in.last);
        } else if (minute > in.lastMinute) {
            const double carried = in.minuteClose[in.lastMinute % 6];
            for (int64_t m = in.lastMinute + 1; m < minute && m <= in.lastMinute + 6; ++m)
                in.minuteClose[m % 6] = carried;
        }
        if (minute >= in.lastMinute) {
            in.minuteClose[minute % 6] = in.last;
            const double ref1 = in.minuteClose[(minute + 5) % 6];
            const double ref5 = in.minuteClose[(minute + 1) % 6];
            q->riseSpeed1 = ref1 > 0 ? (in.last - ref1) / ref1 * 100.0 : 0.0;
            q->riseSpeed5 = ref5 > 0 ? (in.last - ref5) / ref5 * 100.0 : 0.0;
            in.lastMinute = minute;
        }
        if (in.bars.empty() || in.bars.back().minute != minute) {
            if (in.bars.empty() || in.bars.back().minute < minute) {
                MinuteBar bar;
                bar.minute = minute;
                bar.open = bar.high = bar.low = bar.close = in.last;
                if (in.bars.empty()) {
                    // the first bar seen also holds the day before the feed watched it,
                    // so today's bars together give the snapshot's open, high and low
                    if (in.open > 0)
                        bar.open = in.open;
                    bar.high = std::max(bar.high, in.high);
                    if (in.low > 0)
                        bar.low = std::min(bar.low, in.low);
                }
                in.bars.push_back(bar);
            }
        }
        MinuteBar& bar = in.bars.back();
        if (bar.minute == minute) {
            bar.high = std::max(bar.high, in.last);
            bar.low = std::min(bar.low, in.last);
            bar.close = in.last;
            // bar volume and amount are today's totals here; bars hold the differences
            bar.volume = in.volume;
            bar.amount = in.amount;
            bar.openInterest = in.openInterest;
        }
    }
    if (in.volume > 0) {
        const double f = alwaysOpen && in.fraction <= 0 ? 0.5 : in.fraction;
        if (f > 0 && in.baseDailyVolume > 0)
            q->volumeRatio = static_cast<double>(in.volume) / (in.baseDailyVolume * f);
    }

    in.ring[in.ringHead] = q;
    in.ringHead = (in.ringHead + 1) % EmbeddedMarket::kTickDepth;
    in.ringCount = std::min(in.ringCount + 1, EmbeddedMarket::kTickDepth);
    out.emplace_back(static_cast<int>(&in - instruments.data()), std::move(q));
}

void EmbeddedMarketPrivate::simulateLocked(int64_t t)
{
    rebuildIfStale();
    TC::CStockManager* sm = TC::CStockManager::instance();
    std::vector<uint8_t>& rolled = rolledBuffer;
    rolled.assign(markets.size(), 0);
    for (size_t i = 0; i < markets.size(); ++i) {
        Market& m = markets[i];
        if (sm->getLastTradingDay(m.qname) != m.tradingDay) {
            refreshSessions(m);
            rolled[i] = 1;
        }
    }
    TC::CTemporaryDataManager* temp = TC::CTemporaryDataManager::instance();
    const bool netBuying = temp->isNetBuyingRunning();
    std::vector<std::pair<int, quoter::QuoterAllDataPtr>>& published = publishBuffer;
    published.clear();
    for (int idx : order) {
        Instrument& in = instruments[idx];
        in.changed = false;
        in.buyAmount = in.sellAmount = 0;
        if (rolled[in.marketIndex]) {
            if (in.last > 0) {
                in.pastDays.push_back(todayBar(in));
                if (in.pastDays.size() > static_cast<size_t>(EmbeddedMarket::kHistoryDays))
                    in.pastDays.erase(in.pastDays.begin());
                in.preClose = in.last;
            }
            in.preOpenInterest = in.openInterest;
            in.tradingDay = markets[in.marketIndex].tradingDay;
            initDay(in, t);
            publish(in, t, published);
            continue;
        }
        const bool wasAuction = in.auction;
        const int64_t phase = phaseAt(in, t, &in.fraction, &in.auction);
        const bool phaseChanged = phase != in.phase || wasAuction != in.auction;
        in.phase = phase;
        if (phase == quoter::PhaseContinuous) {
            if (in.underlying >= 0)
                derive(in, false);
            else
                walk(in);
            if (in.changed && !in.continuous)
                fillBook(in);
        } else if (phaseChanged) {
            fillBook(in);
            in.changed = true;
        }
        if (in.changed) {
            publish(in, t, published);
            if (netBuying && (in.buyAmount > 0 || in.sellAmount > 0))
                temp->applyTrades(in.qmarket, in.qcode, in.buyAmount, in.sellAmount);
        }
    }
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        for (auto& p : published) {
            const Instrument& in = instruments[p.first];
            markets[in.marketIndex].snapshots[in.slot] = std::move(p.second);
        }
    }
    for (auto& p : published) {
        const Instrument& in = instruments[p.first];
        Market& m = markets[in.marketIndex];
        if (!m.pendingFlag[in.slot]) {
            m.pendingFlag[in.slot] = 1;
            m.pending.push_back(in.slot);
        }
    }
    if (netBuying)
        temp->notifyBatchDone();
}

const std::vector<int>& EmbeddedMarketPrivate::datesBefore(int day)
{
    auto it = pastDates.find(day);
    if (it != pastDates.end())
        return it->second;
    TC::CStockManager* sm = TC::CStockManager::instance();
    std::vector<int> dates;
    if (day > 0) {
        const QVector<int> list = sm->getTradeDateList(day - 420 * 86400, day - 86400);
        for (int d : list) {
            if (d < day)
                dates.push_back(d);
        }
    }
    if (dates.size() > static_cast<size_t>(EmbeddedMarket::kHistoryDays))
        dates.erase(dates.begin(), dates.end() - EmbeddedMarket::kHistoryDays);
    return pastDates.emplace(day, std::move(dates)).first->second;
}

std::vector<quoter::KLineData> EmbeddedMarketPrivate::generatePast(const Instrument& in)
{
    const std::vector<int>& dates = datesBefore(in.anchorDay);
    const size_t n = dates.size();
    std::vector<quoter::KLineData> bars(n);
    if (n == 0)
        return bars;
    Rng rng(stableHash(in.key, seed ^ 0xDA17u));
    const double limit = in.limitRatio > 0 ? in.limitRatio : 0.2;
    double close = in.anchorClose;
    // walk backwards from the anchor so the last generated close is its previous close
    std::vector<double> closes(n);
    for (size_t i = n; i-- > 0;) {
        closes[i] = close;
        double r = std::clamp(rng.normal() * in.sigmaDay, -limit * 0.95, limit * 0.95);
        close = std::max(roundTo(close / (1 + r), in.step), in.step);
    }
    double pre = close;
    for (size_t i = 0; i < n; ++i) {
        quoter::KLineData& b = bars[i];
        b.time = static_cast<int64_t>(dates[i]) * 1000;
        b.preClose = pre;
        b.close = closes[i];
        b.open = std::max(
            roundTo(pre * (1 + std::clamp(rng.normal() * in.sigmaDay * 0.3, -limit, limit)),
                    in.step),
            in.step);
        b.high = roundTo(
            std::max(b.open, b.close) * (1 + std::fabs(rng.normal()) * in.sigmaDay * 0.3), in.step);
        b.low = std::max(
            roundTo(std::min(b.open, b.close) * (1 - std::fabs(rng.normal()) * in.sigmaDay * 0.3),
                    in.step),
            in.step);
        b.high = std::max({b.high, b.open, b.close});
        b.low = std::min({b.low, b.open, b.close});
        if (in.limitRatio > 0) {
            b.high = std::min(b.high, roundTo(pre * (1 + in.limitRatio), in.step));
            b.low = std::max(b.low, roundTo(pre * (1 - in.limitRatio), in.step));
            b.high = std::max({b.high, b.open, b.close});
            b.low = std::min({b.low, b.open, b.close});
        }
        b.volume =
            static_cast<int64_t>(in.baseDailyVolume * (0.5 + rng.uniform())) / in.lot * in.lot;
        b.amount =
            static_cast<double>(b.volume) * (b.open + b.high + b.low + b.close) / 4 * in.multiplier;
        b.openInterest = in.preOpenInterest;
        b.settlement = b.close;
        pre = b.close;
    }
    return bars;
}

std::vector<quoter::KLineData> EmbeddedMarketPrivate::todayMinutes(const Instrument& in) const
{
    std::vector<quoter::KLineData> out;
    out.reserve(in.bars.size());
    int64_t prevVolume = 0;
    double prevAmount = 0;
    double prevClose = in.preClose;
    bool first = true;
    const int64_t unit = in.volumeUnit();
    for (const MinuteBar& b : in.bars) {
        quoter::KLineData k;
        k.time = (b.minute + 1) * kMinuteMs;
        k.open = b.open;
        k.high = b.high;
        k.low = b.low;
        k.close = b.close;
        k.preClose = prevClose;
        // bars hold the day's running totals; published volumes are whole units, so the
        // differences are taken in units and sum to the snapshot's volume
        k.volume = b.volume / unit - (first ? 0 : prevVolume / unit);
        k.amount = first ? b.amount : b.amount - prevAmount;
        k.openInterest = b.openInterest;
        k.settlement = b.close;
        prevVolume = b.volume;
        prevAmount = b.amount;
        prevClose = b.close;
        first = false;
        out.push_back(k);
    }
    return out;
}

// A past day's minutes: a bridge from the open to the close that touches the day's high
// and low once each, volume split at random in whole units. The bars aggregate exactly to
// the day's bar (amounts up to rounding).
std::vector<quoter::KLineData> EmbeddedMarketPrivate::pastMinutes(const Instrument& in,
                                                                  const quoter::KLineData& day)
{
    const Market& m = markets[in.marketIndex];
    const int date = TC::CStockManager::dateOfMs(day.time);
    const int64_t shift = (static_cast<int64_t>(date) - m.tradingDay) * 1000;
    std::vector<int64_t> ends;
    for (const auto& s : m.sessions) {
        for (int64_t t = s.first + kMinuteMs; t <= s.second; t += kMinuteMs)
            ends.push_back(t + shift);
    }
    const size_t n = ends.size();
    std::vector<quoter::KLineData> out(n);
    if (n == 0 || day.close <= 0)
        return {};
    Rng rng(stableHash(in.key, seed ^ (0x3141u + static_cast<uint64_t>(date))));
    const double step = in.step;
    // closes: a random walk pinned at both ends, kept inside [low, high]
    // unit-variance uniform steps: the bridge needs no normal tails and they cost less
    std::vector<double> walk(n + 1, 0.0);
    for (size_t i = 1; i <= n; ++i)
        walk[i] = walk[i - 1] + (rng.uniform() - 0.5) * 3.4641016151377544;
    std::vector<double> close(n);
    const double range = std::max(day.high - day.low, step);
    for (size_t i = 0; i < n; ++i) {
        const double f = static_cast<double>(i + 1) / static_cast<double>(n);
        const double bridge = walk[i + 1] - f * walk[n];
        double p = day.open + (day.close - day.open) * f
                   + bridge * range / (2.0 * std::sqrt(static_cast<double>(n)));
        close[i] = std::clamp(roundTo(p, step), day.low, day.high);
    }
    close[n - 1] = day.close;
    size_t hi = 0, lo = 0;
    for (size_t i = 1; i < n; ++i) {
        if (close[i] > close[hi])
            hi = i;
        if (close[i] < close[lo])
            lo = i;
    }
    // volume in published units, split by random weights; the last bar takes the rest
    std::vector<double> weight(n);
    double weights = 0;
    for (size_t i = 0; i < n; ++i) {
        weight[i] = 0.2 + rng.uniform();
        weights += weight[i];
    }
    int64_t volumeLeft = day.volume;
    double amountLeft = day.amount;
    double pre = day.preClose;
    for (size_t i = 0; i < n; ++i) {
        quoter::KLineData& k = out[i];
        k.time = ends[i];
        k.open = i == 0 ? day.open : close[i - 1];
        k.close = close[i];
        k.high = std::min(day.high, std::max(k.open, k.close));
        k.low = std::max(day.low, std::min(k.open, k.close));
        k.preClose = pre;
        if (i + 1 < n) {
            k.volume =
                std::min<int64_t>(volumeLeft, static_cast<int64_t>(static_cast<double>(day.volume)
                                                                   * weight[i] / weights));
            k.amount = day.volume > 0 ? day.amount * static_cast<double>(k.volume)
                                            / static_cast<double>(day.volume)
                                      : 0.0;
        } else {
            k.volume = volumeLeft;
            k.amount = amountLeft;
        }
        volumeLeft -= k.volume;
        amountLeft -= k.amount;
        k.openInterest = day.openInterest;
        k.settlement = k.close;
        pre = k.close;
    }
    out[hi].high = day.high;
    out[lo].low = day.low;
    return out;
}

} // namespace ttmarket
