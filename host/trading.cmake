# Parameter-string guard, trading data and the option calculator.
list(APPEND TTHOST_SOURCES
  data/JsonParam.h data/JsonParam.cpp
  data/AccountData.h data/AccountData.cpp
  data/TraderCenter.h data/TraderCenter.cpp
  data/LinkageManager.h data/LinkageManager.cpp
  data/TypeManager.h data/TypeManager.cpp
  data/GreekAndOptionsCalculator.h data/GreekAndOptionsCalculator.cpp)
# BSON stays behind JsonParam, the pricing library behind the calculator
list(APPEND TTHOST_PRIVATE_LIBS mongoclient QuantLib)
