# Quotes, the simulated market, the push feed and the formula services.
list(APPEND TTHOST_SOURCES
  data/Quote.h data/Quote.cpp
  data/PushQuoteParam.h data/PushQuoteParam.cpp
  data/FormulaTypes.h data/FormulaTypes.cpp
  data/FormulaManager.h data/FormulaManager.cpp
  data/FormulaOperateManager.h data/FormulaOperateManager.cpp
  data/TemporaryDataManager.h data/TemporaryDataManager.cpp
  market/MarketRandom.h market/OptionPricing.h
  market/FormulaEngine.h market/FormulaEngine.cpp
  market/PushHub.h market/PushHub.cpp
  market/EmbeddedMarket.h market/EmbeddedMarket_p.h market/EmbeddedMarket.cpp
  market/MarketSimulation.cpp
  market/TestMarket.h market/TestMarket.cpp)
