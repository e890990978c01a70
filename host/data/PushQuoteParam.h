#pragma once
// A push subscription of one market, and direct reads of the last snapshots.

#include "host/data/Quote.h"

#include <string>

class QString;

namespace dorn {

struct PushQuoteParam {
    PushQuoteParam() = default;
    explicit PushQuoteParam(const std::string& marketName) : market(marketName) {}

    std::string market;
    // Set by the feed on deliveries of subscriptions made with option 1: the receiver
    // queues such a delivery and drains it on its own timer instead of handling it at once.
    bool queued = false;
    int option = 0;
};

// Convertible-bond conversion data; valid is false for unknown codes and non-bonds.
struct CBInfo {
    bool valid = false;
    std::string underlyingMarket;
    std::string underlyingCode;
    double conversionPrice = 0.0;
};

// The last cached snapshot of an instrument, or null.
quoter::QuoterAllDataPtr getQuoter(const std::string& market, const std::string& code);
quoter::QuoterAllDataPtr getQuoter(const QString& market, const QString& code);

// Conversion data of a convertible bond, by code (the market is found from the catalogue),
// or by market and code.
CBInfo getCBInfo(const std::string& code);
CBInfo getCBInfo(const QString& code);
CBInfo getCBInfo(const std::string& market, const std::string& code);

} // namespace dorn
