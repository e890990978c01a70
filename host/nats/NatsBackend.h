#pragma once
// The host's market backend over a NATS message bus. Quotes come from the snapshots a
// feed publisher puts on "<prefix>.<market>.<code>"; the last value of every instrument
// is read from the publisher's JetStream key-value bucket before a market's subscription
// delivers; the catalogue, bars and ticks are asked of the publisher by request-reply.
// Formulas are evaluated here, over the bars the bus delivers.
//
//   std::string error;
//   auto bus = ttnats::NatsBackend::connect(options, error);   // null + error on failure
//   TC::setMarketBackend(bus);
//
// Pushes go out on the backend's own delivery thread, one market's batch at a time,
// exactly like the embedded backend's. Every snapshot carries its publisher run and a
// per-instrument sequence number; a snapshot not newer than the one held is dropped, so
// a late or replayed value never replaces a newer one. Bad input is dropped and counted
// with a warning at most once a second per kind.
//
// The live stream does not wait for the bucket's store (that wait costs tens of
// milliseconds under load), so a market is read once more when the store has settled
// after each first read or recovery read, and every refresh interval besides.
//
// Faults: when the connection drops the feed turns stale (last values are kept), the
// client reconnects with exponential backoff, resubscribes and re-reads the last values;
// the feed is current again once every market it carries was re-read. A subscription that
// falls behind (slow consumer) has its market re-read too.

#include "host/data/MarketBackend.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ttnats {

struct NatsFeedOptions {
    std::string url = "nats://127.0.0.1:4222";
    std::string bucket = "QUOTES";      // key-value bucket of last values
    std::string quotePrefix = "quotes"; // snapshots on <quotePrefix>.<market>.<code>
    std::string requestSubject = "ttfeed.req";
    int connectTimeoutMs = 2000;
    int requestTimeoutMs = 5000;
    int reconnectBaseMs = 100; // first reconnect delay, doubled per attempt
    int reconnectMaxMs = 4000;
    // messages a market's subscription may hold before the client drops (slow consumer)
    int pendingMsgLimit = 500000;
    // the read after a first or recovery read, once the store has caught up
    int settleMs = 1000;
    // anti-entropy: every market is read again this often
    int refreshMs = 30000;
    // Runs on a subscription's thread before each message is handled; tests stall it to
    // make the client a slow consumer.
    std::function<void()> beforeMessage;
};

struct NatsFeedStats {
    bool connected = false;
    bool stale = true;              // disconnected, or not yet re-read since the last reconnect
    uint64_t received = 0;          // snapshots that arrived (bus and key-value reads)
    uint64_t applied = 0;           // of them newer than what was held
    uint64_t notNewer = 0;          // dropped: not newer than what was held (replays, late copies)
    uint64_t malformed = 0;         // dropped: truncated or unreadable frames
    uint64_t badVersion = 0;        // dropped: an encoding version this client does not read
    uint64_t unknownInstrument = 0; // dropped: not in the catalogue, or subject mismatch
    uint64_t slowConsumer = 0;      // times a subscription fell behind
    uint64_t clientDropped = 0;     // messages the client library dropped for it
    uint64_t reconnects = 0;
    uint64_t snapshots = 0;        // market re-reads from the key-value bucket
    uint64_t snapshotFailures = 0; // bucket missing or unreachable
    uint64_t requestFailures = 0;  // history requests unanswered or unreadable
    uint64_t deliveries = 0;       // push batches delivered
};

class NatsBackend final : public TC::IMarketBackend {
public:
    // Connects, fetches the catalogue and starts the delivery thread. Null with error set
    // when the server refuses or the publisher does not answer.
    static std::shared_ptr<NatsBackend> connect(const NatsFeedOptions& options, std::string& error);
    ~NatsBackend() override;

    bool loadCatalogue(const QString& dataDir, uint64_t seed, int baseYmd, TC::CUniverseData& out,
                       QString& error) override;
    quoter::QuoterAllDataPtr lastQuote(const std::string& market, const std::string& code) override;
    void lastQuotes(const std::string& market, const std::vector<std::string>& codes,
                    std::vector<quoter::QuoterAllDataPtr>& out) override;
    std::vector<quoter::KLineData> dailyBars(const std::string& market,
                                             const std::string& code) override;
    std::vector<quoter::KLineData> minuteBars(const std::string& market,
                                              const std::string& code) override;
    std::vector<quoter::KLineData> minuteBarsOfDay(const std::string& market,
                                                   const std::string& code, int date) override;
    std::vector<quoter::QuoterAllDataPtr> ticks(const std::string& market,
                                                const std::string& code) override;
    int subscribe(const dorn::PushQuoteParam& param, PushCallback callback,
                  EPushMode mode) override;
    bool unsubscribe(int id) override;
    int subscriptionCount() const override;
    std::vector<QString> formulaNames() override;
    TC::CFormulaDetailPtr formula(const QString& name) override;
    bool evaluateFormula(const QString& name, const std::map<std::string, double>& params,
                         const std::vector<quoter::KLineData>& bars,
                         TC::CFormulaSeries& out) override;

    // Reads the market's last values and subscribes to it, once; later calls return at
    // once. False for a market the catalogue does not list.
    bool trackMarket(const std::string& market);
    NatsFeedStats stats() const;
    bool isStale() const;
    // The run and sequence number of the snapshot held for an instrument (0, 0 for none).
    std::pair<uint64_t, uint64_t> sequence(const std::string& market,
                                           const std::string& code) const;

    class Private;

private:
    NatsBackend();
    std::unique_ptr<Private> d;
};

// Parses "nats://host:port" (the scheme may be left out). False for anything else.
bool parseFeedUrl(const QString& text, std::string& url);

} // namespace ttnats
