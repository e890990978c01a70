#pragma once
// Request and result records of the formula service and the data caches.

#include "host/data/Quote.h"

#include <QMap>
#include <QString>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace TC {

// One formula evaluation request: one formula over one instrument.
struct CFormulaParam {
    QString market;
    QString code;
    QString formulaName;
    int formulaType = 0;                              // 1 marks a script formula
    int64_t startTime = quoter::TimeSeq::TIME_START2; // ms, or a TimeSeq sentinel
    int64_t endTime = quoter::TimeSeq::TIME_LASTED;
    int requestKind = 0;       // 2: the last trading day only
    int period = 86400000;     // bar period in ms
    int maxCount = 2147483647; // most recent bars evaluated
    int lineSetting = 0;
    int periodCode = 7;
    QString requestId;
    QMap<QString, QString> params; // parameter name -> value; "__sys__account" for positions
};

// A formula of the catalogue: identity, parameters with defaults, output lines.
struct CFormulaDetail {
    QString name;
    QString description;
    int type = 0;  // 0 built-in, 1 script
    int count = 0; // bars to evaluate; 0 for all
    std::vector<QString> paramNames;
    std::vector<QString> paramValues; // defaults, parallel to paramNames (may be shorter)
    std::vector<QString> paramNames2;
    std::vector<QString> paramValues2;
    std::vector<QString> lineNames; // output lines in order
    std::vector<int> lineTypes;     // per output line: 10 text, 0 number
};
using CFormulaDetailPtr = std::shared_ptr<CFormulaDetail>;

} // namespace TC

namespace se {

// Data type of an output line whose values are texts.
constexpr int kFormulaTextType = 10;

// Per output line, the indices into RPCFormulaResult::dataTypes that describe it.
struct RPCFormulaMetaResult {
    std::vector<std::string> lineNames;
    std::vector<std::vector<int>> lineIndexes;
};

// Per output line one series of doubles and one of texts, aligned with times.
struct RPCFormulaResult {
    int errorCode = 0; // 0 ok; otherwise errorText says why and the series are empty
    std::string errorText;
    std::vector<int64_t> times; // bar times in ms
    std::vector<std::vector<double>> doubleValues;
    std::vector<std::vector<std::string>> stringValues;
    std::vector<int> dataTypes;
};

using RPCFormulaMetaResultPtr = std::shared_ptr<RPCFormulaMetaResult>;
using RPCFormulaResultPtr = std::shared_ptr<RPCFormulaResult>;

// Quoter type of the history caches: 3001 asks for bars of `period` ms; any other
// value (getQuoterType(market)) asks for the snapshots recorded in the interval.
constexpr int kQuoterTypeBar = 3001;
int getQuoterType(const std::string& market);
int getQuoterType(const QString& market);
int getQuoterType(const char* market);

// Bar periods of history fetches in ms beside the minute multiples and whole days:
// calendar weeks (Monday to Sunday) and calendar months.
constexpr int64_t kPeriodMinute = 60000;
constexpr int64_t kPeriodDay = 86400000;
constexpr int64_t kPeriodWeek = 7 * kPeriodDay;
constexpr int64_t kPeriodMonth = 30 * kPeriodDay;

// A history fetch for several codes of one market.
struct RPCFetchCacheDataParam {
    std::string market;
    std::vector<std::string> codes;
    int64_t startTime = 0; // ms, or a quoter::TimeSeq sentinel
    int64_t endTime = 0;   // ms, or a quoter::TimeSeq sentinel
    int64_t period = 0;    // bar period in ms (first setting)
    int quoterType = 0;    // second setting
    int interval = 60000;  // third setting: snapshot sampling in ms
    int lineSetting = 0;   // fourth setting: 1 leaves out the reference bar before start
    int count = 0;         // most recent records per code (no reference bar); 0 for all
};

// Extended data shown for a set of instruments at a date.
struct RPCExtendDataShowParam {
    std::string name;              // data name
    std::vector<std::string> keys; // stock keys
    int64_t time = 0;              // ms
};

// Formula request ids: the same (kind, formula, code) always gives the same id.
struct IdGenerator {
    static QString genId(int kind, const QString& formulaName, const QString& code);
};

// The user-defined field store: per sector, field and stock key a value, and a default
// value per field. Thread-safe; values are kept in memory for the process.
struct FieldParams {
    static double getData(const QString& sector, const QString& field, const QString& key);
    static bool hasData(const QString& sector, const QString& field, const QString& key);
    static void setData(const QString& sector, const QString& field, const QString& key,
                        double value);
    static QString getDefault(const QString& field); // "0" when none was set
    static void setDefault(const QString& field, const QString& value);
    static void clear();
    // Field names end up in "sector:field,field" lines, so separators and line breaks
    // are refused, as are empty and overlong names; why gets the user-facing reason.
    static constexpr int kMaxFieldNameLength = 64;
    static bool isValidFieldName(const QString& field, QString* why = nullptr);
    // A typed value or default: a finite number, surrounding blanks allowed.
    static bool parseValue(const QString& text, double* value);
};

// A stop flag shared between the caller of a long request and the service, which reads
// it on its own thread. One flag per request: a flag once set is never cleared again.
using StopFlag = std::shared_ptr<std::atomic<bool>>;
void setStopFlag(const StopFlag& flag, bool value);
bool isStopped(const StopFlag& flag);

} // namespace se

namespace se {

// Stored daily values of an instrument by field name ("最新", "总额", "总量", "持仓", "总笔",
// "今开", "最高", "最低", "昨收"); date is a trading day in seconds (any time of that day).
// Unknown keys, fields or dates give the no-value mark 1.7976931348623157e308.
struct IndexData {
    static double getSingleValue(const QString& key, const QString& field, int64_t date);
};

} // namespace se
