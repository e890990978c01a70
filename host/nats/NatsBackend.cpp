#include "host/nats/NatsBackend.h"

#include "host/data/Log.h"
#include "host/data/UniverseData.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/PushHub.h"
#include "host/nats/BusCodec.h"
#include "host/nats/BusWarn.h"
#include "host/nats/NatsLink.h"

#include <QRegularExpression>
#include <QUrl>

#include <nats/nats.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_map>

namespace ttnats {

namespace {

int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// All-market subscriptions get the whole market at most this often.
constexpr int64_t kAllModeIntervalMs = 200;
// A market whose re-read failed is tried again after this long.
constexpr int64_t kSnapshotRetryMs = 250;

} // namespace

// One market's quote cache. The codes are fixed by the catalogue; the held snapshot of
// each changes under the market's lock.
struct MarketState {
    struct Entry {
        QString code;
        quoter::QuoterAllDataPtr quote;
        uint64_t epoch = 0;
        uint64_t seq = 0;
        bool pending = false; // waits in changed for the next delivery
    };

    std::string name;
    QString qsName;
    mutable std::mutex mutex;
    std::unordered_map<std::string, Entry> entries;
    std::vector<Entry*> changed;
    natsSubscription* sub = nullptr;
    std::mutex trackMutex; // serialises the first tracking
    std::atomic<bool> tracked{false};
    std::atomic<bool> resnapshot{false};
    int64_t dropped = 0; // messages the client dropped for the subscription, last seen
    // delivery thread only, once tracked: when the bucket was last read, and when a read
    // is due because the store may not yet have held what the live stream had passed
    int64_t lastReadMs = 0;
    int64_t settleAt = 0;
    int64_t lastAllMs = 0;
    NatsBackend::Private* owner = nullptr;
};

class NatsBackend::Private {
public:
    NatsFeedOptions options;
    natsConnection* conn = nullptr;
    jsCtx* js = nullptr;
    TC::CUniverseData catalogue;
    std::map<std::string, std::unique_ptr<MarketState>> markets; // fixed after connect
    ttmarket::PushHub hub;

    // counters
    std::atomic<uint64_t> received{0}, applied{0}, notNewer{0}, malformed{0}, badVersion{0},
        unknown{0}, slowConsumer{0}, reconnects{0}, snapshots{0}, snapshotFailures{0},
        requestFailures{0}, deliveries{0};
    std::atomic<bool> connected{false};
    std::atomic<bool> stale{true};
    std::atomic<bool> resnapshotAll{false};
    std::atomic<bool> closing{false}; // our own close: its disconnect is no fault
    // connection changes and the delivery thread's "current again" verdict, ordered: a
    // verdict reached across a disconnect or reconnect (generation moved) is not given
    std::mutex stateMutex;
    uint64_t generation = 0;
    BusWarn warn{"nats backend"};

    // delivery thread
    std::thread worker;
    std::mutex wakeMutex;
    std::condition_variable wake;
    bool wakePending = false;
    bool stopping = false;

    // teardown: subscriptions and the connection report their last callback
    std::mutex doneMutex;
    std::condition_variable done;
    int subsAlive = 0;
    bool closed = false;

    ~Private() { shutdown(); }

    void notify()
    {
        {
            std::lock_guard<std::mutex> lock(wakeMutex);
            wakePending = true;
        }
        wake.notify_one();
    }

    // --- incoming ------------------------------------------------------------------------

    // Applies one snapshot; true when it replaced the held one.
    bool apply(MarketState& m, WireSnapshot& s)
    {
        ++received;
        bool wasEmpty = false;
        {
            std::lock_guard<std::mutex> lock(m.mutex);
            auto it = m.entries.find(s.code);
            if (it == m.entries.end()) {
                ++unknown;
                warn.note("unknown instrument", s.market, s.code);
                return false;
            }
            MarketState::Entry& e = it->second;
            if (e.quote && !isNewer(s.epoch, s.seq, e.epoch, e.seq)) {
                ++notNewer;
                return false;
            }
            e.quote = std::make_shared<quoter::QuoterAllData>(s.quote);
            e.epoch = s.epoch;
            e.seq = s.seq;
            if (!e.pending) {
                e.pending = true;
                wasEmpty = m.changed.empty();
                m.changed.push_back(&e);
            }
        }
        ++applied;
        if (wasEmpty)
            notify();
        return true;
    }

    // Decodes a frame for market m; counts and drops what cannot be read.
    void handleFrame(MarketState& m, const char* data, int size)
    {
        WireSnapshot s;
        const DecodeError e = decodeSnapshot(data, static_cast<size_t>(size), s);
        if (e != DecodeError::None) {
            ++received;
            if (e == DecodeError::BadVersion) {
                ++badVersion;
            } else {
                ++malformed;
            }
            warn.note(decodeErrorName(e), m.name);
            return;
        }
        if (s.market != m.name) {
            ++received;
            ++unknown;
            warn.note("frame of another market", s.market, s.code);
            return;
        }
        apply(m, s);
    }

    static void onMessage(natsConnection*, natsSubscription*, natsMsg* msg, void* closure)
    {
        auto* m = static_cast<MarketState*>(closure);
        Private* self = m->owner;
        if (self->options.beforeMessage)
            self->options.beforeMessage();
        self->handleFrame(*m, natsMsg_GetData(msg), natsMsg_GetDataLength(msg));
        natsMsg_Destroy(msg);
    }

    static void onSubComplete(void* closure)
    {
        Private* self = static_cast<MarketState*>(closure)->owner;
        std::lock_guard<std::mutex> lock(self->doneMutex);
        --self->subsAlive;
        self->done.notify_all();
    }

    // --- connection events (client library threads) -----------------------------------------

    static void onDisconnected(natsConnection*, void* closure)
    {
        auto* self = static_cast<Private*>(closure);
        bool wasCurrent;
        {
            std::lock_guard<std::mutex> lock(self->stateMutex);
            ++self->generation;
            self->connected = false;
            wasCurrent = !self->stale.exchange(true);
        }
        if (wasCurrent && !self->closing)
            TT_LOG_WARN("[nats backend] disconnected from %1%: the feed is stale",
                        self->options.url);
    }

    static void onReconnected(natsConnection*, void* closure)
    {
        auto* self = static_cast<Private*>(closure);
        ++self->reconnects;
        {
            std::lock_guard<std::mutex> lock(self->stateMutex);
            ++self->generation;
            self->stale = true;
            self->resnapshotAll = true;
            self->connected = true;
        }
        TT_LOG_INFO("[nats backend] reconnected to %1%, re-reading last values", self->options.url);
        self->notify();
    }

    static void onError(natsConnection*, natsSubscription* sub, natsStatus err, void* closure)
    {
        auto* self = static_cast<Private*>(closure);
        if (err != NATS_SLOW_CONSUMER) {
            self->warn.note("client error", natsStatus_GetText(err));
            return;
        }
        ++self->slowConsumer;
        for (auto& entry : self->markets) {
            if (entry.second->sub == sub) {
                self->warn.note("slow consumer", entry.first);
                entry.second->resnapshot = true;
            }
        }
        self->notify();
    }

    static int64_t reconnectDelay(natsConnection*, int attempts, void* closure)
    {
        auto* self = static_cast<Private*>(closure);
        const int shift = std::min(attempts, 16);
        int64_t delay = std::min<int64_t>(int64_t(self->options.reconnectBaseMs) << shift,
                                          self->options.reconnectMaxMs);
        // jitter keeps a floor of terminals from reconnecting in one wave
        thread_local std::minstd_rand rng(std::random_device{}());
        delay += static_cast<int64_t>(rng() % static_cast<unsigned>(delay / 5 + 1));
        return delay;
    }

    // --- last values -------------------------------------------------------------------------

    // Reads every last value of the market from the bucket. False when the bucket is
    // missing or unreachable (the held values stay).
    bool snapshot(MarketState& m)
    {
        kvStore* kv = nullptr;
        natsStatus s = js_KeyValue(&kv, js, options.bucket.c_str());
        if (s != NATS_OK) {
            ++snapshotFailures;
            warn.note("bucket missing", options.bucket);
            return false;
        }
        kvWatchOptions wo;
        kvWatchOptions_Init(&wo);
        wo.IgnoreDeletes = true;
        kvWatcher* w = nullptr;
        const std::string filter = m.name + ".>";
        s = kvStore_Watch(&w, kv, filter.c_str(), &wo);
        bool ok = s == NATS_OK;
        while (ok) {
            kvEntry* e = nullptr;
            s = kvWatcher_Next(&e, w, options.requestTimeoutMs);
            if (s != NATS_OK) {
                ok = false;
                break;
            }
            if (!e) // the initial values are all in
                break;
            handleFrame(m, static_cast<const char*>(kvEntry_Value(e)), kvEntry_ValueLen(e));
            kvEntry_Destroy(e);
        }
        if (w) {
            kvWatcher_Stop(w);
            kvWatcher_Destroy(w);
        }
        kvStore_Destroy(kv);
        if (!ok) {
            ++snapshotFailures;
            warn.note("bucket read failed", natsStatus_GetText(s));
            return false;
        }
        ++snapshots;
        m.lastReadMs = steadyMs();
        return true;
    }

    bool track(MarketState& m)
    {
        if (m.tracked)
            return true;
        std::lock_guard<std::mutex> lock(m.trackMutex);
        if (m.tracked)
            return true;
        // subscribe first, then read: a value published in between arrives on the
        // subscription, and the sequence numbers drop whichever copy comes second
        const std::string subject = options.quotePrefix + "." + m.name + ".>";
        natsSubscription* sub = nullptr;
        if (natsConnection_Subscribe(&sub, conn, subject.c_str(), &Private::onMessage, &m)
            != NATS_OK) {
            warn.note("subscribe failed", subject);
            return false;
        }
        natsSubscription_SetPendingLimits(sub, options.pendingMsgLimit, -1);
        {
            std::lock_guard<std::mutex> d(doneMutex);
            ++subsAlive;
        }
        natsSubscription_SetOnCompleteCB(sub, &Private::onSubComplete, &m);
        m.sub = sub;
        if (snapshot(m))
            m.settleAt = steadyMs() + options.settleMs;
        else
            m.resnapshot = true; // the delivery thread keeps trying
        m.tracked = true;
        notify();
        return true;
    }

    MarketState* market(const std::string& name)
    {
        auto it = markets.find(name);
        return it == markets.end() ? nullptr : it->second.get();
    }

    // The codes of a market are fixed by the catalogue: looking one up needs no lock.
    bool known(const std::string& marketName, const std::string& code)
    {
        MarketState* m = market(marketName);
        return m && m->entries.count(code) > 0;
    }

    // --- delivery thread -------------------------------------------------------------------

    void run()
    {
        QVector<QString> codes, mkts;
        std::vector<quoter::QuoterAllDataPtr> quotes;
        std::vector<MarketState::Entry*> batch;
        int64_t nextRetry = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(wakeMutex);
                wake.wait_for(lock, std::chrono::milliseconds(kAllModeIntervalMs),
                              [this] { return wakePending || stopping; });
                if (stopping)
                    return;
                wakePending = false;
            }
            const int64_t now = steadyMs();
            bool up;
            uint64_t gen;
            {
                std::lock_guard<std::mutex> lock(stateMutex);
                up = connected;
                gen = generation;
            }
            if (resnapshotAll.exchange(false)) {
                for (auto& entry : markets) {
                    if (entry.second->tracked)
                        entry.second->resnapshot = true;
                }
            }
            // A slow consumer is reported once per episode, but messages are dropped for
            // as long as it lasts: every growth of the count means values since the last
            // re-read may be lost, so the market is read again.
            for (auto& entry : markets) {
                MarketState& m = *entry.second;
                int64_t n = 0;
                if (m.tracked && natsSubscription_GetDropped(m.sub, &n) == NATS_OK
                    && n > m.dropped) {
                    m.dropped = n;
                    m.resnapshot = true;
                }
            }
            bool pendingSnapshot = false;
            if (up && now >= nextRetry) {
                for (auto& entry : markets) {
                    MarketState& m = *entry.second;
                    if (!m.tracked)
                        continue;
                    // A read for a fault (reconnect, drops) is followed by a settle read:
                    // the live stream does not wait for the store, so a value sent just
                    // before the fault may reach the bucket only after the first read.
                    // Settle and periodic reads need no follow-up.
                    bool quiet = false;
                    if (m.settleAt && now >= m.settleAt) {
                        m.settleAt = 0;
                        quiet = !m.resnapshot;
                        m.resnapshot = true;
                    } else if (now - m.lastReadMs >= options.refreshMs && !m.resnapshot) {
                        quiet = true;
                        m.resnapshot = true;
                    }
                    if (!m.resnapshot.exchange(false))
                        continue;
                    if (!snapshot(m)) {
                        m.resnapshot = true;
                        nextRetry = now + kSnapshotRetryMs;
                    } else if (!quiet) {
                        m.settleAt = now + options.settleMs;
                    }
                    pendingSnapshot = pendingSnapshot || m.resnapshot;
                }
            } else {
                for (auto& entry : markets)
                    pendingSnapshot = pendingSnapshot || entry.second->resnapshot;
            }
            if (up && !pendingSnapshot && stale) {
                std::lock_guard<std::mutex> lock(stateMutex);
                if (gen == generation && stale.exchange(false))
                    TT_LOG_INFO("[nats backend] feed current");
            }
            for (auto& entry : markets)
                deliver(*entry.second, now, batch, codes, mkts, quotes);
            warn.flush();
        }
    }

    void deliver(MarketState& m, int64_t now, std::vector<MarketState::Entry*>& batch,
                 QVector<QString>& codes, QVector<QString>& mkts,
                 std::vector<quoter::QuoterAllDataPtr>& quotes)
    {
        if (!m.tracked)
            return;
        codes.clear();
        mkts.clear();
        quotes.clear();
        {
            std::lock_guard<std::mutex> lock(m.mutex);
            batch.swap(m.changed);
            for (MarketState::Entry* e : batch) {
                e->pending = false;
                codes.push_back(e->code);
                mkts.push_back(m.qsName);
                quotes.push_back(e->quote);
            }
            batch.clear();
        }
        if (!codes.isEmpty() && hub.deliver(m.name, ttmarket::kModeChanged, codes, mkts, quotes))
            ++deliveries;
        if (now - m.lastAllMs < kAllModeIntervalMs
            || !hub.hasSubscribers(m.name, ttmarket::kModeAll))
            return;
        m.lastAllMs = now;
        codes.clear();
        mkts.clear();
        quotes.clear();
        {
            std::lock_guard<std::mutex> lock(m.mutex);
            for (auto& entry : m.entries) {
                if (!entry.second.quote)
                    continue;
                codes.push_back(entry.second.code);
                mkts.push_back(m.qsName);
                quotes.push_back(entry.second.quote);
            }
        }
        if (hub.deliver(m.name, ttmarket::kModeAll, codes, mkts, quotes))
            ++deliveries;
    }

    // --- requests ------------------------------------------------------------------------

    // Sends a request and returns the reply's bytes; empty (and counted) on failure.
    // waitForPublisher: a publisher that is starting up has no responder yet; ask again
    // until the request timeout is used up.
    bool request(const WireRequest& req, std::string& reply, bool waitForPublisher = false)
    {
        std::string body;
        encodeRequest(req, body);
        natsMsg* msg = nullptr;
        const int64_t deadline = steadyMs() + options.requestTimeoutMs;
        natsStatus s;
        for (;;) {
            s = natsConnection_Request(&msg, conn, options.requestSubject.c_str(), body.data(),
                                       static_cast<int>(body.size()), options.requestTimeoutMs);
            if (s != NATS_NO_RESPONDERS || !waitForPublisher || steadyMs() >= deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (s != NATS_OK) {
            ++requestFailures;
            warn.note("request failed", natsStatus_GetText(s));
            return false;
        }
        reply.assign(natsMsg_GetData(msg), static_cast<size_t>(natsMsg_GetDataLength(msg)));
        natsMsg_Destroy(msg);
        FrameKind kind;
        if (peekKind(reply.data(), reply.size(), kind) == DecodeError::None
            && kind == FrameKind::Error) {
            std::string message;
            decodeError(reply.data(), reply.size(), message);
            ++requestFailures;
            warn.note("request refused", message);
            return false;
        }
        return true;
    }

    std::vector<quoter::KLineData> bars(RequestOp op, const std::string& marketName,
                                        const std::string& code, int64_t arg)
    {
        std::vector<quoter::KLineData> out;
        std::string reply;
        if (!known(marketName, code) || !request({op, marketName, code, arg}, reply))
            return out;
        if (const DecodeError e = decodeBars(reply.data(), reply.size(), out);
            e != DecodeError::None) {
            ++requestFailures;
            warn.note(decodeErrorName(e), "bars reply");
        }
        return out;
    }

    bool fetchCatalogue(std::string& error)
    {
        std::string blob, reply;
        uint32_t total = 1;
        for (uint32_t i = 0; i < total; ++i) {
            if (!request({RequestOp::Catalogue, std::string(), std::string(), i}, reply, i == 0)) {
                error = "the feed publisher did not send its catalogue";
                return false;
            }
            uint32_t index = 0;
            const char* chunk = nullptr;
            size_t size = 0;
            if (decodeCatalogueChunk(reply.data(), reply.size(), index, total, chunk, size)
                    != DecodeError::None
                || index != i) {
                error = "unreadable catalogue from the feed publisher";
                return false;
            }
            blob.append(chunk, size);
        }
        if (decodeCatalogue(blob.data(), blob.size(), catalogue) != DecodeError::None
            || catalogue.instruments.empty()) {
            error = "unreadable catalogue from the feed publisher";
            return false;
        }
        for (const auto& d : catalogue.instruments) {
            if (!d)
                continue;
            const std::string name = d->market.toStdString();
            auto& m = markets[name];
            if (!m) {
                m = std::make_unique<MarketState>();
                m->name = name;
                m->qsName = d->market;
            }
            m->entries[d->code.toStdString()].code = d->code;
        }
        for (auto& entry : markets)
            entry.second->owner = this;
        return true;
    }

    void shutdown()
    {
        {
            std::lock_guard<std::mutex> lock(wakeMutex);
            stopping = true;
        }
        wake.notify_one();
        if (worker.joinable())
            worker.join();
        hub.clear();
        for (auto& entry : markets) {
            if (entry.second->sub) {
                natsSubscription_Unsubscribe(entry.second->sub);
            }
        }
        {
            // the last message callbacks finish before the states they write go away
            std::unique_lock<std::mutex> lock(doneMutex);
            done.wait_for(lock, std::chrono::seconds(10), [this] { return subsAlive == 0; });
        }
        for (auto& entry : markets) {
            if (entry.second->sub)
                natsSubscription_Destroy(entry.second->sub);
            entry.second->sub = nullptr;
        }
        closeLink(conn, js, closing, doneMutex, done, closed);
    }
};

NatsBackend::NatsBackend() : d(std::make_unique<Private>()) {}

NatsBackend::~NatsBackend() = default;

std::shared_ptr<NatsBackend> NatsBackend::connect(const NatsFeedOptions& options,
                                                  std::string& error)
{
    std::shared_ptr<NatsBackend> backend(new NatsBackend);
    Private* p = backend->d.get();
    p->options = options;
    natsOptions* opts = nullptr;
    natsStatus s = createLinkOptions(&opts, options.url, options.connectTimeoutMs);
    if (s == NATS_OK)
        s = natsOptions_SetCustomReconnectDelay(opts, &Private::reconnectDelay, p);
    if (s == NATS_OK)
        s = natsOptions_SetDisconnectedCB(opts, &Private::onDisconnected, p);
    if (s == NATS_OK)
        s = natsOptions_SetReconnectedCB(opts, &Private::onReconnected, p);
    if (s == NATS_OK)
        s = natsOptions_SetClosedCB(opts, &onLinkClosed<Private>, p);
    if (s == NATS_OK)
        s = natsOptions_SetErrorHandler(opts, &Private::onError, p);
    if (!openLink(s, opts, options.url, &p->conn, &p->js, error)) {
        if (!p->conn) // no connection: no callback will report its close
            p->closed = true;
        return nullptr;
    }
    p->connected = true;
    if (!p->fetchCatalogue(error))
        return nullptr;
    p->worker = std::thread([p] { p->run(); });
    TT_LOG_INFO("[nats backend] connected to %1%: %2% instruments in %3% markets", options.url,
                p->catalogue.instruments.size(), p->markets.size());
    return backend;
}

bool NatsBackend::loadCatalogue(const QString&, uint64_t, int, TC::CUniverseData& out, QString&)
{
    out = d->catalogue;
    return true;
}

bool NatsBackend::trackMarket(const std::string& market)
{
    MarketState* m = d->market(market);
    return m && d->track(*m);
}

quoter::QuoterAllDataPtr NatsBackend::lastQuote(const std::string& market, const std::string& code)
{
    MarketState* m = d->market(market);
    if (!m || !d->track(*m))
        return nullptr;
    std::lock_guard<std::mutex> lock(m->mutex);
    auto it = m->entries.find(code);
    return it == m->entries.end() ? nullptr : it->second.quote;
}

void NatsBackend::lastQuotes(const std::string& market, const std::vector<std::string>& codes,
                             std::vector<quoter::QuoterAllDataPtr>& out)
{
    out.assign(codes.size(), nullptr);
    MarketState* m = d->market(market);
    if (!m || !d->track(*m))
        return;
    std::lock_guard<std::mutex> lock(m->mutex);
    for (size_t i = 0; i < codes.size(); ++i) {
        auto it = m->entries.find(codes[i]);
        if (it != m->entries.end())
            out[i] = it->second.quote;
    }
}

std::vector<quoter::KLineData> NatsBackend::dailyBars(const std::string& market,
                                                      const std::string& code)
{
    return d->bars(RequestOp::DailyBars, market, code, 0);
}

std::vector<quoter::KLineData> NatsBackend::minuteBars(const std::string& market,
                                                       const std::string& code)
{
    return d->bars(RequestOp::MinuteBars, market, code, 0);
}

std::vector<quoter::KLineData> NatsBackend::minuteBarsOfDay(const std::string& market,
                                                            const std::string& code, int date)
{
    return d->bars(RequestOp::MinuteBarsOfDay, market, code, date);
}

std::vector<quoter::QuoterAllDataPtr> NatsBackend::ticks(const std::string& market,
                                                         const std::string& code)
{
    std::vector<quoter::QuoterAllDataPtr> out;
    std::string reply;
    if (!d->known(market, code) || !d->request({RequestOp::Ticks, market, code, 0}, reply))
        return out;
    if (const DecodeError e = decodeTicks(reply.data(), reply.size(), out);
        e != DecodeError::None) {
        ++d->requestFailures;
        d->warn.note(decodeErrorName(e), "ticks reply");
    }
    return out;
}

int NatsBackend::subscribe(const dorn::PushQuoteParam& param, PushCallback callback, EPushMode mode)
{
    // Registered before the market is first read, so the values of that read reach this
    // subscriber; nothing of the market is delivered until the read is done. An unknown
    // market subscribes like on the embedded backend: it just never delivers.
    const int id = d->hub.subscribe(param, std::move(callback),
                                    mode == ePushAll ? ttmarket::kModeAll : ttmarket::kModeChanged);
    if (MarketState* m = d->market(param.market))
        d->track(*m);
    return id;
}

bool NatsBackend::unsubscribe(int id)
{
    return d->hub.unsubscribe(id);
}

int NatsBackend::subscriptionCount() const
{
    return d->hub.count();
}

// Formulas are pure functions of their bars: the built-in engine evaluates them here.
std::vector<QString> NatsBackend::formulaNames()
{
    return ttmarket::embeddedBackend()->formulaNames();
}

TC::CFormulaDetailPtr NatsBackend::formula(const QString& name)
{
    return ttmarket::embeddedBackend()->formula(name);
}

bool NatsBackend::evaluateFormula(const QString& name, const std::map<std::string, double>& params,
                                  const std::vector<quoter::KLineData>& bars,
                                  TC::CFormulaSeries& out)
{
    return ttmarket::embeddedBackend()->evaluateFormula(name, params, bars, out);
}

NatsFeedStats NatsBackend::stats() const
{
    NatsFeedStats s;
    s.connected = d->connected;
    s.stale = d->stale;
    s.received = d->received;
    s.applied = d->applied;
    s.notNewer = d->notNewer;
    s.malformed = d->malformed;
    s.badVersion = d->badVersion;
    s.unknownInstrument = d->unknown;
    s.slowConsumer = d->slowConsumer;
    s.reconnects = d->reconnects;
    s.snapshots = d->snapshots;
    s.snapshotFailures = d->snapshotFailures;
    s.requestFailures = d->requestFailures;
    s.deliveries = d->deliveries;
    for (auto& entry : d->markets) {
        if (entry.second->sub) {
            int64_t dropped = 0;
            if (natsSubscription_GetDropped(entry.second->sub, &dropped) == NATS_OK)
                s.clientDropped += static_cast<uint64_t>(dropped);
        }
    }
    return s;
}

bool NatsBackend::isStale() const
{
    return d->stale;
}

std::pair<uint64_t, uint64_t> NatsBackend::sequence(const std::string& market,
                                                    const std::string& code) const
{
    auto it = d->markets.find(market);
    if (it == d->markets.end())
        return {0, 0};
    std::lock_guard<std::mutex> lock(it->second->mutex);
    auto e = it->second->entries.find(code);
    return e == it->second->entries.end() ? std::make_pair(uint64_t(0), uint64_t(0))
                                          : std::make_pair(e->second.epoch, e->second.seq);
}

bool parseFeedUrl(const QString& text, std::string& url)
{
    const QString withScheme =
        text.contains(QLatin1String("://")) ? text : QStringLiteral("nats://") + text;
    const QUrl u(withScheme, QUrl::StrictMode);
    if (!u.isValid() || u.scheme() != QLatin1String("nats") || u.host().isEmpty() || u.port() <= 0
        || !u.path().isEmpty())
        return false;
    url = QStringLiteral("nats://%1:%2").arg(u.host()).arg(u.port()).toStdString();
    return true;
}

} // namespace ttnats
