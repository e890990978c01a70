#include "host/nats/FeedPublisher.h"

#include "host/data/Log.h"
#include "host/data/MarketBackend.h"
#include "host/data/UniverseData.h"
#include "host/nats/BusCodec.h"
#include "host/nats/BusWarn.h"
#include "host/nats/NatsLink.h"

#include <QHash>

#include <nats/nats.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace ttnats {

namespace {
constexpr size_t kChunkBytes = 256 * 1024; // well under the server's default 1 MB payload
}

bool isSubjectToken(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                        || c == '_' || c == '-' || c == '=';
        if (!ok)
            return false;
    }
    return true;
}

class FeedPublisher::Private {
public:
    struct Instrument {
        std::string market, code;
        std::string live;  // <quotePrefix>.<market>.<code>
        std::string store; // the bucket's subject of market.code
        uint64_t seq = 0;
        quoter::QuoterAllData last;
        bool hasLast = false;
    };

    FeedPublisherOptions options;
    std::shared_ptr<TC::IMarketBackend> source;
    natsConnection* conn = nullptr;
    jsCtx* js = nullptr;
    natsSubscription* requests = nullptr;
    std::string catalogueBlob;
    uint32_t catalogueChunks = 1;
    uint64_t epoch = 0;

    mutable std::mutex mutex;                             // instruments and the encode buffer
    QHash<QString, QHash<QString, Instrument*>> byMarket; // market -> code -> instrument
    std::vector<std::unique_ptr<Instrument>> instruments;
    std::unordered_map<std::string, std::unordered_map<std::string, Instrument*>> index;
    std::string buffer;
    std::vector<int> subscriptions;

    std::atomic<uint64_t> published{0}, republished{0}, skipped{0}, served{0}, badRequests{0},
        reconnects{0};
    BusWarn warn{"feed publisher"};

    // reconnect work runs on a thread of its own, off the client library's threads
    std::thread house;
    std::mutex houseMutex;
    std::condition_variable houseWake;
    bool rebuild = false;
    bool stopping = false;
    std::atomic<bool> closing{false}; // our own close: its disconnect is no fault

    std::mutex doneMutex;
    std::condition_variable done;
    bool requestsDone = false;
    bool closed = false;

    Instrument* find(const std::string& market, const std::string& code)
    {
        auto m = index.find(market);
        if (m == index.end())
            return nullptr;
        auto it = m->second.find(code);
        return it == m->second.end() ? nullptr : it->second;
    }

    // The bucket first, then the live subject, from one connection. The live copy does not
    // wait for the store: a subscriber gets it at core speed and re-reads the bucket once
    // the store has settled (see NatsBackend). Caller holds mutex.
    void sendBoth(const Instrument& in)
    {
        natsConnection_Publish(conn, in.store.c_str(), buffer.data(),
                               static_cast<int>(buffer.size()));
        natsConnection_Publish(conn, in.live.c_str(), buffer.data(),
                               static_cast<int>(buffer.size()));
    }

    // Caller holds mutex.
    void send(Instrument& in, const quoter::QuoterAllData& q)
    {
        ++in.seq;
        in.last = q;
        in.hasLast = true;
        encodeSnapshot(epoch, in.seq, in.market, in.code, q, buffer);
        sendBoth(in);
        ++published;
    }

    void onPush(const QVector<QString>& codes, const QVector<QString>& markets,
                const std::vector<quoter::QuoterAllDataPtr>& quotes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const int n = std::min<int>(codes.size(), static_cast<int>(quotes.size()));
        const QHash<QString, Instrument*>* codesOf = nullptr;
        QString lastMarket;
        for (int i = 0; i < n; ++i) {
            if (!quotes[i])
                continue;
            if (!codesOf || markets[i] != lastMarket) {
                lastMarket = markets[i];
                auto m = byMarket.constFind(lastMarket);
                codesOf = m == byMarket.constEnd() ? nullptr : &m.value();
            }
            Instrument* in = codesOf ? codesOf->value(codes[i], nullptr) : nullptr;
            if (in)
                send(*in, *quotes[i]);
        }
    }

    bool ensureBucket(std::string& error)
    {
        kvConfig cfg;
        kvConfig_Init(&cfg);
        cfg.Bucket = options.bucket.c_str();
        cfg.History = 1;
        cfg.StorageType = options.fileStorage ? js_FileStorage : js_MemoryStorage;
        cfg.Replicas = std::max(1, options.replicas);
        kvStore* kv = nullptr;
        natsStatus s = js_CreateKeyValue(&kv, js, &cfg);
        if (s != NATS_OK) {
            // an existing bucket of another configuration is used as it is
            s = js_KeyValue(&kv, js, options.bucket.c_str());
        }
        if (s != NATS_OK) {
            error = std::string("cannot create the bucket ") + options.bucket + ": "
                    + natsStatus_GetText(s);
            const char* last = nats_GetLastError(nullptr);
            if (last && *last)
                error += std::string(" (") + last + ")";
            return false;
        }
        kvStore_Destroy(kv);
        return true;
    }

    void republishAll()
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto& entry : instruments) {
            Instrument& in = *entry;
            if (!in.hasLast)
                continue;
            encodeSnapshot(epoch, in.seq, in.market, in.code, in.last, buffer);
            sendBoth(in);
            ++republished;
        }
    }

    void runHouse()
    {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(houseMutex);
                houseWake.wait(lock, [this] { return rebuild || stopping; });
                if (stopping)
                    return;
                rebuild = false;
            }
            std::string error;
            if (!ensureBucket(error)) {
                warn.note("bucket", error);
                std::unique_lock<std::mutex> lock(houseMutex);
                rebuild = true;
                houseWake.wait_for(lock, std::chrono::milliseconds(250),
                                   [this] { return stopping; });
                continue;
            }
            republishAll();
            natsConnection_FlushTimeout(conn, 2000);
            TT_LOG_INFO("[feed publisher] bucket ready after reconnect, %1% last values sent again",
                        republished.load());
        }
    }

    // --- requests ------------------------------------------------------------------------

    void reply(natsMsg* msg, const std::string& body)
    {
        const char* to = natsMsg_GetReply(msg);
        if (to && *to)
            natsConnection_Publish(conn, to, body.data(), static_cast<int>(body.size()));
    }

    void serve(natsMsg* msg)
    {
        WireRequest req;
        std::string out;
        const DecodeError e = decodeRequest(natsMsg_GetData(msg),
                                            static_cast<size_t>(natsMsg_GetDataLength(msg)), req);
        if (e != DecodeError::None) {
            ++badRequests;
            warn.note(decodeErrorName(e), "request");
            encodeError(std::string("unreadable request: ") + decodeErrorName(e), out);
            reply(msg, out);
            return;
        }
        if (req.op == RequestOp::Catalogue) {
            if (req.arg < 0 || req.arg >= catalogueChunks) {
                ++badRequests;
                encodeError("no such catalogue chunk", out);
            } else {
                const size_t from = static_cast<size_t>(req.arg) * kChunkBytes;
                const size_t size = std::min(kChunkBytes, catalogueBlob.size() - from);
                encodeCatalogueChunk(static_cast<uint32_t>(req.arg), catalogueChunks,
                                     catalogueBlob.data() + from, size, out);
            }
            ++served;
            reply(msg, out);
            return;
        }
        bool known;
        {
            std::lock_guard<std::mutex> lock(mutex);
            known = find(req.market, req.code) != nullptr;
        }
        if (!known) {
            ++badRequests;
            warn.note("request for an unknown instrument", req.market, req.code);
            encodeError("unknown instrument", out);
            reply(msg, out);
            return;
        }
        switch (req.op) {
        case RequestOp::DailyBars: encodeBars(source->dailyBars(req.market, req.code), out); break;
        case RequestOp::MinuteBars:
            encodeBars(source->minuteBars(req.market, req.code), out);
            break;
        case RequestOp::MinuteBarsOfDay:
            encodeBars(source->minuteBarsOfDay(req.market, req.code, static_cast<int>(req.arg)),
                       out);
            break;
        case RequestOp::Ticks: encodeTicks(source->ticks(req.market, req.code), out); break;
        case RequestOp::Catalogue: break;
        }
        ++served;
        reply(msg, out);
    }

    static void onRequest(natsConnection*, natsSubscription*, natsMsg* msg, void* closure)
    {
        static_cast<Private*>(closure)->serve(msg);
        natsMsg_Destroy(msg);
    }

    static void onRequestsDone(void* closure)
    {
        auto* self = static_cast<Private*>(closure);
        std::lock_guard<std::mutex> lock(self->doneMutex);
        self->requestsDone = true;
        self->done.notify_all();
    }

    static void onReconnected(natsConnection*, void* closure)
    {
        auto* self = static_cast<Private*>(closure);
        ++self->reconnects;
        {
            std::lock_guard<std::mutex> lock(self->houseMutex);
            self->rebuild = true;
        }
        self->houseWake.notify_one();
    }

    static void onDisconnected(natsConnection*, void* closure)
    {
        auto* self = static_cast<Private*>(closure);
        if (!self->closing)
            TT_LOG_WARN("[feed publisher] disconnected from %1%", self->options.url);
    }

    void shutdown()
    {
        for (int id : subscriptions)
            source->unsubscribe(id);
        subscriptions.clear();
        {
            std::lock_guard<std::mutex> lock(houseMutex);
            stopping = true;
        }
        houseWake.notify_one();
        if (house.joinable())
            house.join();
        if (requests) {
            natsSubscription_Unsubscribe(requests);
            std::unique_lock<std::mutex> lock(doneMutex);
            done.wait_for(lock, std::chrono::seconds(10), [this] { return requestsDone; });
        }
        natsSubscription_Destroy(requests);
        requests = nullptr;
        if (conn)
            natsConnection_FlushTimeout(conn, 1000);
        closeLink(conn, js, closing, doneMutex, done, closed);
    }
};

FeedPublisher::FeedPublisher() : d(std::make_unique<Private>()) {}

FeedPublisher::~FeedPublisher()
{
    d->shutdown();
}

std::unique_ptr<FeedPublisher> FeedPublisher::start(const FeedPublisherOptions& options,
                                                    std::shared_ptr<TC::IMarketBackend> source,
                                                    const TC::CUniverseData& catalogue,
                                                    std::string& error)
{
    std::unique_ptr<FeedPublisher> pub(new FeedPublisher);
    Private* p = pub->d.get();
    p->options = options;
    p->source = std::move(source);
    p->epoch = options.epoch
                   ? options.epoch
                   : static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::system_clock::now().time_since_epoch())
                                               .count());
    for (const auto& detail : catalogue.instruments) {
        if (!detail)
            continue;
        auto in = std::make_unique<Private::Instrument>();
        in->market = detail->market.toStdString();
        in->code = detail->code.toStdString();
        if (!isSubjectToken(in->market) || !isSubjectToken(in->code)) {
            ++p->skipped;
            continue;
        }
        in->live = options.quotePrefix + "." + in->market + "." + in->code;
        in->store = "$KV." + options.bucket + "." + in->market + "." + in->code;
        p->byMarket[detail->market][detail->code] = in.get();
        p->index[in->market][in->code] = in.get();
        p->instruments.push_back(std::move(in));
    }
    encodeCatalogue(catalogue, p->catalogueBlob);
    p->catalogueChunks = static_cast<uint32_t>(
        std::max<size_t>(1, (p->catalogueBlob.size() + kChunkBytes - 1) / kChunkBytes));

    natsOptions* opts = nullptr;
    natsStatus s = createLinkOptions(&opts, options.url, options.connectTimeoutMs);
    if (s == NATS_OK)
        s = natsOptions_SetReconnectWait(opts, 100);
    if (s == NATS_OK)
        s = natsOptions_SetReconnectedCB(opts, &Private::onReconnected, p);
    if (s == NATS_OK)
        s = natsOptions_SetDisconnectedCB(opts, &Private::onDisconnected, p);
    if (s == NATS_OK)
        s = natsOptions_SetClosedCB(opts, &onLinkClosed<Private>, p);
    // a publisher that outruns its socket keeps more in its buffer instead of failing
    if (s == NATS_OK)
        s = natsOptions_SetReconnectBufSize(opts, 64 * 1024 * 1024);
    if (!openLink(s, opts, options.url, &p->conn, &p->js, error)) {
        if (!p->conn)
            p->closed = true;
        return nullptr;
    }
    if (!p->ensureBucket(error))
        return nullptr;
    s = natsConnection_Subscribe(&p->requests, p->conn, options.requestSubject.c_str(),
                                 &Private::onRequest, p);
    if (s == NATS_OK)
        s = natsSubscription_SetOnCompleteCB(p->requests, &Private::onRequestsDone, p);
    // the server knows the responder before start returns: a terminal may ask at once
    if (s == NATS_OK)
        s = natsConnection_FlushTimeout(p->conn, options.connectTimeoutMs);
    if (s != NATS_OK) {
        error = std::string("cannot serve requests: ") + natsStatus_GetText(s);
        return nullptr;
    }
    p->house = std::thread([p] { p->runHouse(); });
    TT_LOG_INFO("[feed publisher] on %1%: %2% instruments (%3% skipped), catalogue %4% bytes",
                options.url, p->instruments.size(), p->skipped.load(), p->catalogueBlob.size());
    return pub;
}

int FeedPublisher::attach()
{
    if (!d->subscriptions.empty()) // attached already
        return static_cast<int>(d->subscriptions.size());
    QStringList markets;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        markets = d->byMarket.keys();
    }
    Private* p = d.get();
    for (const QString& market : markets) {
        d->subscriptions.push_back(d->source->subscribe(
            dorn::PushQuoteParam(market.toStdString()),
            [p](dorn::PushQuoteParam&, const QVector<QString>& codes, const QVector<QString>& mkts,
                const std::vector<quoter::QuoterAllDataPtr>& quotes) {
                p->onPush(codes, mkts, quotes);
            },
            TC::IMarketBackend::ePushChanged));
    }
    return markets.size();
}

bool FeedPublisher::publish(const std::string& market, const std::string& code,
                            const quoter::QuoterAllData& quote)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    Private::Instrument* in = d->find(market, code);
    if (!in)
        return false;
    d->send(*in, quote);
    return true;
}

bool FeedPublisher::publishRaw(const std::string& market, const std::string& code,
                               const std::string& bytes, bool storeOnly)
{
    if (!isSubjectToken(market) || !isSubjectToken(code))
        return false;
    const std::string store = "$KV." + d->options.bucket + "." + market + "." + code;
    const std::string live = d->options.quotePrefix + "." + market + "." + code;
    const int size = static_cast<int>(bytes.size());
    if (natsConnection_Publish(d->conn, store.c_str(), bytes.data(), size) != NATS_OK)
        return false;
    return storeOnly
           || natsConnection_Publish(d->conn, live.c_str(), bytes.data(), size) == NATS_OK;
}

bool FeedPublisher::flush(int timeoutMs)
{
    return natsConnection_FlushTimeout(d->conn, timeoutMs) == NATS_OK;
}

uint64_t FeedPublisher::epoch() const
{
    return d->epoch;
}

uint64_t FeedPublisher::sequence(const std::string& market, const std::string& code) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    Private::Instrument* in = d->find(market, code);
    return in ? in->seq : 0;
}

FeedPublisherStats FeedPublisher::stats() const
{
    FeedPublisherStats s;
    s.published = d->published;
    s.republished = d->republished;
    s.skipped = d->skipped;
    s.requests = d->served;
    s.badRequests = d->badRequests;
    s.reconnects = d->reconnects;
    return s;
}

} // namespace ttnats
