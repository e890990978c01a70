# Instrument catalogue, sectors, calendar, configuration and the market universe.
list(APPEND TTHOST_SOURCES
  data/StockKey.h data/StockKey.cpp
  data/HostClock.h data/HostClock.cpp
  data/InstrumentDetail.h data/InstrumentDetail.cpp
  data/SectorStock.h
  data/StdFile.h data/StdFile.cpp
  data/TradeCalendar.h data/TradeCalendar.cpp
  data/StockManager.h data/StockManager.cpp
  data/SectorDetail.h data/SectorDetail.cpp
  data/SectorManager.h data/SectorManager.cpp
  data/IndexManager.h data/IndexManager.cpp
  data/ExchangeClient.h data/ExchangeClient.cpp
  data/TradeOpenCloseTimeManager.h data/TradeOpenCloseTimeManager.cpp
  data/ExternalDataInfo.h
  data/ExternalDataManager.h data/ExternalDataManager.cpp
  data/ExtendDataManager.h data/ExtendDataManager.cpp
  data/BasketSetting.h
  data/UserConfig.h data/UserConfig.cpp
  data/IndexUserConfig.h data/IndexUserConfig.cpp
  data/Config.h data/Config.cpp
  market/Universe.h market/Universe.cpp market/UniverseGenerator.cpp
)
# where the market data lies when TT_DATA_DIR is not set
set_source_files_properties(data/StockManager.cpp PROPERTIES
  COMPILE_DEFINITIONS "TT_SOURCE_DATA_DIR=\"${PROJECT_SOURCE_DIR}/data\"")
