#pragma once
// Puts a market backend's quotes on the bus: every changed snapshot of every market goes,
// with the next sequence number of its instrument, to the key-value bucket (the stored last
// value) and to "<quotePrefix>.<market>.<code>" (the live stream, which does not wait for
// the store). Catalogue, bars and ticks are served by request-reply.
//
// After a reconnect the bucket is created again if the server lost it, and every last
// value is published once more (same sequence numbers: subscribers drop the copies).

#include "host/data/Quote.h"

#include <cstdint>
#include <memory>
#include <string>

namespace TC {
class IMarketBackend;
struct CUniverseData;
} // namespace TC

namespace ttnats {

struct FeedPublisherOptions {
    std::string url = "nats://127.0.0.1:4222";
    std::string bucket = "QUOTES";
    std::string quotePrefix = "quotes";
    std::string requestSubject = "ttfeed.req";
    bool fileStorage = false; // last values survive a server restart on disk
    int replicas = 1;         // copies of the bucket in a cluster of servers
    int connectTimeoutMs = 2000;
    uint64_t epoch = 0; // the run's mark in every snapshot; 0: the start time in ms
};

struct FeedPublisherStats {
    uint64_t published = 0;   // snapshots sent
    uint64_t republished = 0; // last values sent again after reconnects
    uint64_t skipped = 0;     // instruments whose market or code cannot form a subject
    uint64_t requests = 0;    // requests served
    uint64_t badRequests = 0; // requests dropped or refused
    uint64_t reconnects = 0;
};

class FeedPublisher final {
public:
    // Connects, creates the bucket and starts serving requests for the catalogue and the
    // source's history. Null with error set on failure.
    static std::unique_ptr<FeedPublisher> start(const FeedPublisherOptions& options,
                                                std::shared_ptr<TC::IMarketBackend> source,
                                                const TC::CUniverseData& catalogue,
                                                std::string& error);
    ~FeedPublisher();

    // Subscribes to every market of the catalogue on the source: from now on each of its
    // push batches is published. Returns the number of markets; attaching again changes
    // nothing.
    int attach();
    // Publishes one snapshot with the instrument's next sequence number. False for an
    // instrument not in the catalogue.
    bool publish(const std::string& market, const std::string& code,
                 const quoter::QuoterAllData& quote);
    // Sends bytes as they are to the bucket and live subjects of market.code (tests feed it
    // bad frames); false when the pair cannot form a subject.
    // storeOnly leaves the live subject out (a live copy lost on its way).
    bool publishRaw(const std::string& market, const std::string& code, const std::string& bytes,
                    bool storeOnly = false);
    // Waits until the server has everything sent so far.
    bool flush(int timeoutMs);
    uint64_t epoch() const;
    uint64_t sequence(const std::string& market, const std::string& code) const;
    FeedPublisherStats stats() const;

    class Private;

private:
    FeedPublisher();
    std::unique_ptr<Private> d;
};

// True when text can be one token of a subject and of a bucket key.
bool isSubjectToken(const std::string& text);

} // namespace ttnats
