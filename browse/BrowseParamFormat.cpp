#include "browse/BrowseParamFormat.h"

#include "host/toolkit/NumberFormat.h"

#include <QtCore/QVector>

#include <charconv>
#include <cmath>
#include <cstring>

namespace TC {
namespace browseparam {

namespace {

const QString kInvalidValue = QStringLiteral("非法值");

bool isHex(ushort c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether escaping changes the text; the common case, answered without allocating.
bool needsEscape(const QChar* p, int n, bool colon)
{
    for (int i = 0; i < n; ++i) {
        const ushort c = p[i].unicode();
        if (c == ',' || c == '\n' || c == '\r' || (colon && c == ':'))
            return true;
        if (c == '%' && i + 2 < n && isHex(p[i + 1].unicode()) && isHex(p[i + 2].unicode()))
            return true;
    }
    return false;
}

void appendEscaped(QString& out, const QString& text, bool colon)
{
    const QChar* p = text.constData();
    const int n = text.size();
    if (!needsEscape(p, n, colon)) {
        out += text;
        return;
    }
    for (int i = 0; i < n; ++i) {
        const ushort c = p[i].unicode();
        if (c == ',')
            out += QLatin1String("%2C");
        else if (c == '\n')
            out += QLatin1String("%0A");
        else if (c == '\r')
            out += QLatin1String("%0D");
        else if (colon && c == ':')
            out += QLatin1String("%3A");
        else if (c == '%' && i + 2 < n && isHex(p[i + 1].unicode()) && isHex(p[i + 2].unicode()))
            out += QLatin1String("%25");
        else
            out += p[i];
    }
}

// The escaped text as UTF-8; ASCII texts (row keys, mostly) are copied without a QString.
void appendEscapedUtf8(std::string& out, const QString& text, bool colon)
{
    const QChar* p = text.constData();
    const int n = text.size();
    bool ascii = true;
    for (int i = 0; i < n && ascii; ++i)
        ascii = p[i].unicode() < 0x80;
    if (ascii && !needsEscape(p, n, colon)) {
        const size_t at = out.size();
        out.resize(at + size_t(n));
        for (int i = 0; i < n; ++i)
            out[at + size_t(i)] = char(p[i].unicode());
        return;
    }
    QString escaped;
    appendEscaped(escaped, text, colon);
    const QByteArray utf8 = escaped.toUtf8();
    out.append(utf8.constData(), size_t(utf8.size()));
}

// The escape at p (n characters left, p[0] == '%'), or a null character.
QChar escapedChar(const QChar* p, int n, bool colon)
{
    if (n < 3)
        return QChar();
    const ushort a = p[1].unicode(), b = p[2].unicode();
    if (a == '2' && b == 'C')
        return QLatin1Char(',');
    if (a == '0' && b == 'A')
        return QLatin1Char('\n');
    if (a == '0' && b == 'D')
        return QLatin1Char('\r');
    if (a == '2' && b == '5')
        return QLatin1Char('%');
    if (colon && a == '3' && b == 'A')
        return QLatin1Char(':');
    return QChar();
}

QString unescape(QStringView text, bool colon)
{
    if (!text.contains(QLatin1Char('%')))
        return text.toString();
    QString out;
    out.reserve(text.size());
    const QChar* p = text.data();
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        const QChar e = p[i] == QLatin1Char('%') ? escapedChar(p + i, n - i, colon) : QChar();
        if (e.isNull()) {
            out += p[i];
        } else {
            out += e;
            i += 2;
        }
    }
    return out;
}

QString unescapeUtf8(const char* p, size_t n, bool colon)
{
    const QString text = QString::fromUtf8(p, int(n));
    return text.contains(QLatin1Char('%')) ? unescape(text, colon) : text;
}

int toInt(const QStringRef& s)
{
    return s.toInt(nullptr, 10); // 0 when it does not convert
}

bool toBool(const QStringRef& s)
{
    return s.toInt(nullptr, 10) != 0;
}

void appendNumber(QString& out, qint64 v)
{
    out += QString::number(v);
}

void appendBool(QString& out, bool v)
{
    out += v ? QLatin1Char('1') : QLatin1Char('0');
}

void appendColumnLine(QString& out, const ColumnInfo& c, int fieldCount)
{
    const QChar sep(QLatin1Char(','));
    appendEscaped(out, c.formulaName, false);
    out += sep;
    appendNumber(out, c.lineIndex);
    out += sep;
    appendNumber(out, c.period);
    out += sep;
    appendEscaped(out, c.title, false);
    out += sep;
    appendBool(out, c.visible);
    out += sep;
    appendBool(out, c.flagB);
    out += sep;
    appendBool(out, c.autoRefresh);
    out += sep;
    appendNumber(out, c.doneCount);
    out += sep;
    appendNumber(out, c.totalCount);
    out += sep;
    appendNumber(out, c.columnId);
    out += sep;
    appendNumber(out, c.lineSetting);
    out += sep;
    appendNumber(out, c.columnKind);
    out += sep;
    appendNumber(out, c.valueA);
    out += sep;
    appendNumber(out, c.valueB);
    out += sep;
    appendNumber(out, c.intSetting);
    out += sep;
    appendBool(out, c.conditionEnabled);
    out += sep;
    appendNumber(out, c.conditionOperator);
    out += sep;
    out += QString::number(c.conditionThreshold, 'g', 6);
    out += sep;
    appendEscaped(out, c.conditionSector, false);
    out += sep;
    appendBool(out, c.conditionReset);
    out += sep;
    appendNumber(out, c.refreshInterval);
    out += sep;
    appendBool(out, c.refreshWhenHidden);
    out += sep;
    appendNumber(out, c.isPrivate);
    out += sep;
    appendEscaped(out, c.refreshStartTime, false);
    out += sep;
    appendBool(out, c.promptResult);
    out += sep;
    appendNumber(out, c.precision);
    if (fieldCount > kUserDefinedFields) {
        out += sep;
        appendBool(out, c.statEnabled);
        out += sep;
        appendBool(out, c.statAverage);
    }
}

// Calls f(begin, end) for every line of the buffer, a trailing "\r" left out.
template <typename F>
void forEachLine(const char* data, size_t size, F&& f)
{
    if (size == 0)
        return;
    const char* p = data;
    const char* end = data + size;
    while (p <= end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = nl ? nl : end;
        const char* e = lineEnd;
        if (e > p && e[-1] == '\r')
            --e;
        f(p, e);
        if (!nl)
            break;
        p = nl + 1;
    }
}

// The last ',' in [from, to), or null.
const char* lastComma(const char* from, const char* to)
{
    for (const char* p = to; p > from; --p) {
        if (p[-1] == ',')
            return p - 1;
    }
    return nullptr;
}

} // namespace

QString escapeText(const QString& text)
{
    QString out;
    appendEscaped(out, text, false);
    return out;
}

QString unescapeText(const QString& text)
{
    return unescape(text, false);
}

QString writeColumnLines(const QList<ColumnInfo>& columns, int fieldCount)
{
    QString out;
    for (int i = 0; i < columns.size(); ++i) {
        if (i > 0)
            out += QLatin1Char('\n');
        appendColumnLine(out, columns[i], fieldCount);
    }
    return out;
}

QList<ColumnInfo> readColumnLines(const QString& text, bool readThreshold)
{
    QList<ColumnInfo> out;
    const QVector<QStringRef> lines = text.splitRef(QLatin1Char('\n'));
    for (QStringRef line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QVector<QStringRef> f = line.split(QLatin1Char(','));
        const int n = f.size();
        if (n < kMinColumnFields)
            continue;
        ColumnInfo c;
        c.formulaName = unescape(f[0], false);
        c.lineIndex = toInt(f[1]);
        c.period = toInt(f[2]);
        c.title = unescape(f[3], false);
        c.visible = toBool(f[4]);
        c.flagB = toBool(f[5]);
        c.autoRefresh = toBool(f[6]);
        c.doneCount = toInt(f[7]);
        c.totalCount = toInt(f[8]);
        c.columnId = toInt(f[9]);
        if (n >= 25) {
            c.lineSetting = toInt(f[10]);
            c.columnKind = toInt(f[11]);
            c.valueA = f[12].toLongLong(nullptr, 10);
            c.valueB = f[13].toLongLong(nullptr, 10);
            c.intSetting = toInt(f[14]);
            c.conditionEnabled = toBool(f[15]);
            c.conditionOperator = toInt(f[16]);
            if (readThreshold)
                c.conditionThreshold = f[17].toDouble();
            c.conditionSector = unescape(f[18], false);
            c.conditionReset = toBool(f[19]);
            c.refreshInterval = toInt(f[20]);
            c.refreshWhenHidden = toBool(f[21]);
            c.isPrivate = toInt(f[22]);
            c.refreshStartTime = unescape(f[23], false);
            c.promptResult = toBool(f[24]);
        }
        if (n >= 26)
            c.precision = toInt(f[25]);
        if (n >= 27)
            c.statEnabled = toBool(f[26]);
        // counters of a batch that ran when the string was saved would stall the next one
        c.reset();
        out.append(c);
    }
    return out;
}

std::string writeValueFile(const ValueCache& values)
{
    static const QByteArray invalid = kInvalidValue.toUtf8();
    std::string out;
    std::string prefix;
    bool first = true;
    for (auto k = values.cbegin(); k != values.cend(); ++k) {
        for (auto t = k->cbegin(); t != k->cend(); ++t) {
            prefix.clear();
            appendEscapedUtf8(prefix, k.key(), false);
            prefix += ',';
            appendEscapedUtf8(prefix, t.key(), false);
            prefix += ',';
            if (out.capacity() - out.size() < size_t(t->size()) * (prefix.size() + 24))
                out.reserve(out.size() + size_t(t->size()) * (prefix.size() + 24));
            for (auto r = t->cbegin(); r != t->cend(); ++r) {
                if (!first)
                    out += '\n';
                first = false;
                out += prefix;
                appendEscapedUtf8(out, r.key(), false);
                out += ',';
                if (!XP::isValidNumber(r.value())) {
                    out.append(invalid.constData(), size_t(invalid.size()));
                    continue;
                }
                // a valid number formats to ASCII digits, sign and point
                const QString v = XP::formatDoubleNumber(r.value(), 4, 0, true, kInvalidValue);
                const size_t at = out.size();
                out.resize(at + size_t(v.size()));
                for (int i = 0; i < v.size(); ++i)
                    out[at + size_t(i)] = char(v[i].unicode());
            }
        }
    }
    return out;
}

int readValueFile(const char* data, std::size_t size, ValueCache& values)
{
    int taken = 0;
    // consecutive lines mostly share first key and title: keep the last ones' maps
    std::string lastHead;
    QMap<QString, double>* rows = nullptr;
    forEachLine(data, size, [&](const char* b, const char* e) {
        const char* c1 = static_cast<const char*>(std::memchr(b, ',', size_t(e - b)));
        const char* cLast = c1 ? lastComma(c1 + 1, e) : nullptr;
        const char* cPrev = cLast ? lastComma(c1 + 1, cLast) : nullptr;
        if (!cPrev) // fewer than four fields
            return;
        const char* valueBegin = cLast + 1;
        const char* keyBegin = cPrev + 1;
        const char* keyEnd = cLast;
        const char* titleEnd = cPrev;
        double v = 0.0;
        const auto parsed = std::from_chars(valueBegin, e, v);
        if (parsed.ec != std::errc() || parsed.ptr != e || !std::isfinite(v))
            return; // "非法值" and anything else that is not a number
        const size_t headSize = size_t(titleEnd - b);
        if (!rows || lastHead.size() != headSize
            || std::memcmp(lastHead.data(), b, headSize) != 0) {
            lastHead.assign(b, headSize);
            const QString key = unescapeUtf8(b, size_t(c1 - b), false);
            const QString title = unescapeUtf8(c1 + 1, size_t(titleEnd - c1 - 1), false);
            rows = &values[key][title];
        }
        // files are written in map order: a key past the last one goes in without a search
        QString key = unescapeUtf8(keyBegin, size_t(keyEnd - keyBegin), false);
        if (!rows->isEmpty() && (rows->end() - 1).key() < key)
            rows->insert(rows->cend(), key, v);
        else
            rows->insert(key, v);
        ++taken;
    });
    return taken;
}

std::string writeFieldList(const FieldLists& lists)
{
    std::string out;
    bool first = true;
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        if (it.key().isEmpty() || it->isEmpty())
            continue;
        if (!first)
            out += '\n';
        first = false;
        appendEscapedUtf8(out, it.key(), true);
        out += ':';
        for (int i = 0; i < it->size(); ++i) {
            if (i > 0)
                out += ',';
            appendEscapedUtf8(out, it->at(i), false);
        }
    }
    return out;
}

int readFieldList(const char* data, std::size_t size, FieldLists& lists)
{
    int taken = 0;
    forEachLine(data, size, [&](const char* b, const char* e) {
        const char* colon = static_cast<const char*>(std::memchr(b, ':', size_t(e - b)));
        if (!colon || colon == b)
            return;
        if (colon + 1 == e)
            return; // no field names
        QStringList fields;
        const char* p = colon + 1;
        for (;;) {
            const char* comma = static_cast<const char*>(std::memchr(p, ',', size_t(e - p)));
            const char* fieldEnd = comma ? comma : e;
            fields.append(unescapeUtf8(p, size_t(fieldEnd - p), false));
            if (!comma)
                break;
            p = comma + 1;
        }
        lists.insert(unescapeUtf8(b, size_t(colon - b), true), fields);
        ++taken;
    });
    return taken;
}

} // namespace browseparam
} // namespace TC
