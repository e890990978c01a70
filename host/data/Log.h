#pragma once
// Logging to the log4cxx logger "TTStdFile". Texts are boost::format strings with
// numbered placeholders (%1%, %2%, ...). Formatting happens only when the level is
// enabled, and a bad format never throws out of a log call (the raw text is logged).

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace ttlog {

enum class Level { Trace, Debug, Info, Warn, Error };

// One formatting argument, converted to text the way an ostream would print it.
class Arg {
public:
    Arg(const char* s) : m_text(s ? s : "") {}
    Arg(const std::string& s) : m_text(s) {}
    Arg(const QString& s) : m_text(s.toStdString()) {}
    Arg(bool v) : m_text(v ? "1" : "0") {}
    Arg(int v) : m_text(std::to_string(v)) {}
    Arg(unsigned v) : m_text(std::to_string(v)) {}
    Arg(long v) : m_text(std::to_string(v)) {}
    Arg(unsigned long v) : m_text(std::to_string(v)) {}
    Arg(long long v) : m_text(std::to_string(v)) {}
    Arg(unsigned long long v) : m_text(std::to_string(v)) {}
    Arg(double v);
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

bool enabled(Level level);
void write(Level level, const char* file, const char* function, int line, const char* format,
           std::initializer_list<Arg> args);
// Applies the arguments to a boost::format string; on a bad format or a wrong
// argument count returns the format text unchanged.
std::string format(const char* format, std::initializer_list<Arg> args);

// Configures log4cxx once: from the file named by TT_LOG_CONFIG when it yields
// appenders, otherwise the default (console, WARN and above; plus a file appender
// when TT_LOG_FILE names a file). A file appender that cannot open its file is
// replaced by a console appender, with one error record naming the file. Safe to
// call repeatedly.
void configure();

} // namespace ttlog

#define TT_LOG(level, fmt, ...)                                                                    \
    do {                                                                                           \
        if (::ttlog::enabled(level))                                                               \
            ::ttlog::write(level, __FILE__, __PRETTY_FUNCTION__, __LINE__, fmt, {__VA_ARGS__});    \
    } while (0)

#define TT_LOG_TRACE(fmt, ...) TT_LOG(::ttlog::Level::Trace, fmt, ##__VA_ARGS__)
#define TT_LOG_DEBUG(fmt, ...) TT_LOG(::ttlog::Level::Debug, fmt, ##__VA_ARGS__)
#define TT_LOG_INFO(fmt, ...) TT_LOG(::ttlog::Level::Info, fmt, ##__VA_ARGS__)
#define TT_LOG_WARN(fmt, ...) TT_LOG(::ttlog::Level::Warn, fmt, ##__VA_ARGS__)
#define TT_LOG_ERROR(fmt, ...) TT_LOG(::ttlog::Level::Error, fmt, ##__VA_ARGS__)
