#pragma once
// The embedded market as the host's market backend: the catalogue from the data folder's
// universe, quotes, history and pushes from the simulator, formulas from the built-in
// engine. The demo, the benchmarks and the tests install it at start; TestMarket::install
// installs it too.

#include <memory>

namespace TC {
class IMarketBackend;
}

namespace ttmarket {

// The one embedded backend of the process.
std::shared_ptr<TC::IMarketBackend> embeddedBackend();
// Makes it the host's backend; nothing happens when it is installed already.
void installEmbeddedBackend();

} // namespace ttmarket
