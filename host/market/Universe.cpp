#include "host/market/Universe.h"

#include "host/data/StockKey.h"
#include "host/data/TradeCalendar.h"

#include <QFile>
#include <QSet>
#include <QTextStream>

#include <cmath>

namespace TC {

using ttservice::CInstrumentDetail;
using ttservice::CInstrumentDetailPtr;

CDataFileError::CDataFileError(const QString& file, int line, const QString& what)
    : std::runtime_error((line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what)
                                   : QStringLiteral("%1: %2").arg(file, what))
                             .toStdString()),
      m_file(file), m_line(line)
{
}

namespace {

// Reads a "|"-separated record file; the callback throws CDataFileError on bad records.
class CRecordReader {
public:
    explicit CRecordReader(const QString& path) : m_path(path) {}

    template <typename F>
    void forEach(F&& onRecord)
    {
        QFile file(m_path);
        if (!file.exists())
            throw CDataFileError(m_path, 0, QStringLiteral("file is missing"));
        if (!file.open(QIODevice::ReadOnly))
            throw CDataFileError(m_path, 0, QStringLiteral("cannot be read"));
        const QByteArray all = file.readAll();
        // Fields are cut from the UTF-8 bytes: '#', '|' and '\n' never occur inside a
        // multi-byte sequence, so no whole-line string is built and split per record.
        const char* const data = all.constData();
        const int size = all.size();
        int lineNo = 0;
        for (int from = 0; from <= size;) {
            int end = all.indexOf('\n', from);
            if (end < 0)
                end = size;
            m_line = ++lineNo;
            int stop = from;
            while (stop < end && data[stop] != '#')
                ++stop;
            m_fields.clear();
            bool any = false; // a non-blank character or a separator
            for (int at = from;;) {
                int bar = at;
                bool ascii = true;
                for (; bar < stop && data[bar] != '|'; ++bar)
                    ascii = ascii && uchar(data[bar]) < 0x80;
                // codes and numbers are ASCII: widened directly, no UTF-8 decoding
                QString field = (ascii ? QString::fromLatin1(data + at, bar - at)
                                       : QString::fromUtf8(data + at, bar - at))
                                    .trimmed();
                any = any || bar < stop || !field.isEmpty();
                m_fields.append(field);
                if (bar >= stop)
                    break;
                at = bar + 1;
            }
            from = end + 1;
            if (any)
                onRecord(m_fields);
        }
    }

    [[noreturn]] void fail(const QString& what) const
    {
        throw CDataFileError(m_path, m_line, what);
    }

    void expect(int count) const
    {
        if (m_fields.size() != count)
            fail(QStringLiteral("record \"%1\" needs %2 fields, has %3")
                     .arg(m_fields.value(0))
                     .arg(count)
                     .arg(m_fields.size()));
    }

    QString text(int i) const
    {
        const QString& s = m_fields.at(i);
        if (s.isEmpty())
            fail(QStringLiteral("field %1 of \"%2\" is empty").arg(i + 1).arg(m_fields.value(0)));
        return s;
    }

    double number(int i, double min, double max) const
    {
        bool ok = false;
        double v = plainDecimal(m_fields.at(i), &ok);
        if (!ok)
            v = m_fields.at(i).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < min || v > max)
            fail(QStringLiteral("field %1 of \"%2\": bad number \"%3\"")
                     .arg(i + 1)
                     .arg(m_fields.value(0), m_fields.at(i)));
        return v;
    }

    int integer(int i, int min, int max) const
    {
        bool ok = false;
        const int v = m_fields.at(i).toInt(&ok);
        if (!ok || v < min || v > max)
            fail(QStringLiteral("field %1 of \"%2\": bad integer \"%3\"")
                     .arg(i + 1)
                     .arg(m_fields.value(0), m_fields.at(i)));
        return v;
    }

    QString market(int i) const
    {
        const QString m = text(i);
        for (QChar c : m)
            if (!(c.isUpper() && c.unicode() < 128))
                fail(QStringLiteral("bad market \"%1\"").arg(m));
        return m;
    }

    QString code(int i) const
    {
        const QString c = text(i);
        for (QChar ch : c)
            if (ch.unicode() >= 128 || !(ch.isLetterOrNumber() || ch == QLatin1Char('-')))
                fail(QStringLiteral("bad code \"%1\"").arg(c));
        return c;
    }

    int line() const { return m_line; }

    // "-ddd.ddd" with at most 15 significant digits and no leading zero: the digits and
    // the power of ten are exact doubles, so one division rounds exactly as a full
    // conversion does. Anything else is left to the full conversion.
    static double plainDecimal(const QString& s, bool* ok)
    {
        *ok = false;
        const QChar* c = s.constData();
        const QChar* const end = c + s.size();
        const bool negative = c != end && *c == QLatin1Char('-');
        if (negative)
            ++c;
        if (c == end || !c->isDigit() || c->unicode() > '9'
            || (*c == QLatin1Char('0') && c + 1 != end && c[1] != QLatin1Char('.')))
            return 0;
        int64_t digits = 0;
        int count = 0, fraction = -1; // digits after the point; -1 no point
        for (; c != end; ++c) {
            const ushort u = c->unicode();
            if (u == '.' && fraction < 0) {
                fraction = 0;
                continue;
            }
            if (u < '0' || u > '9' || ++count > 15)
                return 0;
            digits = digits * 10 + (u - '0');
            if (fraction >= 0)
                ++fraction;
        }
        if (count == 0 || fraction == 0)
            return 0;
        static const double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double v = fraction > 0 ? double(digits) / kPow10[fraction] : double(digits);
        *ok = true;
        return negative ? -v : v;
    }

private:
    QString m_path;
    int m_line = 0;
    QStringList m_fields;
};

CInstrumentDetailPtr makeDetail(const QString& market, const QString& code, const QString& name,
                                int type)
{
    auto d = std::make_shared<CInstrumentDetail>();
    d->market = market;
    d->code = code;
    d->name = name;
    d->type = type;
    d->key = XP::nvStockKey(market, code);
    return d;
}

} // namespace

void CUniverse::loadCurated(const QString& dataDir, CUniverseData& out)
{
    const QString base = dataDir + QStringLiteral("/market/");

    {
        CRecordReader cal(base + QStringLiteral("calendar.txt"));
        QVector<int> holidays;
        cal.forEach([&](const QStringList& f) {
            if (f[0] != QLatin1String("holiday"))
                cal.fail(QStringLiteral("unknown record \"%1\"").arg(f[0]));
            cal.expect(3);
            const int ymd = cal.integer(1, 19000101, 21001231);
            if (!CTradeCalendar::validYmd(ymd))
                cal.fail(QStringLiteral("bad date \"%1\"").arg(f[1]));
            holidays.append(ymd);
        });
        std::sort(holidays.begin(), holidays.end());
        out.holidaysYmd = holidays;
    }

    CRecordReader rd(base + QStringLiteral("instruments.txt"));
    QHash<QString, CInstrumentDetailPtr> byKey;
    QSet<QString> industries;
    auto add = [&](const CInstrumentDetailPtr& d) {
        auto it = byKey.find(d->key);
        if (it != byKey.end())
            rd.fail(QStringLiteral("duplicate instrument \"%1\"").arg(d->key));
        byKey.insert(d->key, d);
        out.instruments.push_back(d);
    };
    auto find = [&](const QString& key) { return byKey.value(key); };
    auto needIndustry = [&](const QString& name) {
        if (!industries.contains(name))
            rd.fail(QStringLiteral("unknown industry \"%1\"").arg(name));
    };

    rd.forEach([&](const QStringList& f) {
        const QString& kind = f[0];
        if (kind == QLatin1String("industry")) {
            rd.expect(3);
            const QString name = rd.text(1);
            if (industries.contains(name))
                rd.fail(QStringLiteral("duplicate industry \"%1\"").arg(name));
            industries.insert(name);
            out.industries.append(name);
            out.industryIndexCode.insert(name, rd.code(2));
        } else if (kind == QLatin1String("stock")) {
            rd.expect(8);
            auto d = makeDetail(rd.market(1), rd.code(2), rd.text(3), ttservice::eInstrStock);
            if (d->market != QLatin1String("SH") && d->market != QLatin1String("SZ"))
                rd.fail(QStringLiteral("stocks trade on SH or SZ, not \"%1\"").arg(d->market));
            needIndustry(f[4]);
            d->industry = f[4];
            d->totalShares = rd.number(5, 0.0001, 1e6) * 1e8;
            d->floatShares = rd.number(6, 0.0001, 1e6) * 1e8;
            if (d->floatShares > d->totalShares)
                rd.fail(QStringLiteral("float shares exceed total shares"));
            d->refPrice = rd.number(7, 0.01, 1e6);
            d->tradeUnit = 100;
            add(d);
        } else if (kind == QLatin1String("index")) {
            rd.expect(8);
            auto d = makeDetail(rd.market(1), rd.code(2), rd.text(3), ttservice::eInstrIndex);
            d->refPrice = rd.number(4, 0.01, 1e7);
            d->tradeUnit = 1;
            const int count = rd.integer(5, 0, 100000);
            const QString universe = rd.text(6);
            static const QStringList kUniverses{QStringLiteral("all"), QStringLiteral("SH"),
                                                QStringLiteral("SZ"), QStringLiteral("GEM"),
                                                QStringLiteral("STAR")};
            if (!kUniverses.contains(universe))
                rd.fail(QStringLiteral("bad index universe \"%1\"").arg(universe));
            CIndexRule rule;
            rule.key = d->key;
            rule.count = count;
            rule.universe = universe;
            rule.skip = rd.integer(7, 0, 100000);
            out.indexRules.push_back(rule);
            add(d);
        } else if (kind == QLatin1String("fund")) {
            rd.expect(7);
            const QString sort = rd.text(4);
            int type = ttservice::eInstrFund;
            if (sort == QLatin1String("ETF"))
                type = ttservice::eInstrETF;
            else if (sort == QLatin1String("LOF"))
                type = ttservice::eInstrLOF;
            else
                rd.fail(QStringLiteral("bad fund kind \"%1\"").arg(sort));
            auto d = makeDetail(rd.market(1), rd.code(2), rd.text(3), type);
            d->refPrice = rd.number(5, 0.001, 1e5);
            d->priceStep = 0.001;
            d->iopvBasis = d->refPrice;
            d->variety = f[6]; // tracked index key, may be empty
            add(d);
        } else if (kind == QLatin1String("bond")) {
            rd.expect(5);
            auto d = makeDetail(rd.market(1), rd.code(2), rd.text(3), ttservice::eInstrBond);
            d->refPrice = rd.number(4, 1, 1e5);
            d->priceStep = 0.001;
            d->tradeUnit = 10;
            add(d);
        } else if (kind == QLatin1String("cb")) {
            rd.expect(9);
            auto d =
                makeDetail(rd.market(1), rd.code(2), rd.text(3), ttservice::eInstrConvertibleBond);
            d->cbUnderlyingMarket = rd.market(4);
            d->cbUnderlyingCode = rd.code(5);
            if (!find(XP::nvStockKey(d->cbUnderlyingMarket, d->cbUnderlyingCode)))
                rd.fail(QStringLiteral("unknown underlying \"%1\"")
                            .arg(XP::nvStockKey(d->cbUnderlyingMarket, d->cbUnderlyingCode)));
            d->cbConversionPrice = rd.number(6, 0.01, 1e5);
            d->refPrice = rd.number(7, 1, 1e5);
            d->priceStep = 0.001;
            d->tradeUnit = 10;
            // 1 listed; 0 an unlisted new bond (the generator gives it a future date)
            d->listDate = rd.integer(8, 0, 1) == 1 ? 0 : -1;
            add(d);
        } else if (kind == QLatin1String("hk")) {
            rd.expect(7);
            const QString code = rd.code(1);
            needIndustry(f[3]);
            const double price = rd.number(4, 0.001, 1e6);
            const double shares = rd.number(5, 0.0001, 1e6) * 1e8;
            const QStringList lines = rd.text(6).split(QLatin1Char(','));
            auto hk = makeDetail(QStringLiteral("HK"), code, rd.text(2), ttservice::eInstrHKStock);
            hk->industry = f[3];
            hk->refPrice = price;
            hk->totalShares = hk->floatShares = shares;
            hk->priceStep = 0.001;
            add(hk);
            for (const QString& line : lines) {
                if (line != QLatin1String("HGT") && line != QLatin1String("SGT"))
                    rd.fail(QStringLiteral("bad connect line \"%1\"").arg(line));
                auto c = std::make_shared<CInstrumentDetail>(*hk);
                c->market = line;
                c->key = XP::nvStockKey(line, code);
                add(c);
            }
        } else if (kind == QLatin1String("ah")) {
            rd.expect(4);
            const QString aKey = XP::nvStockKey(rd.market(1), rd.code(2));
            auto a = find(aKey);
            if (!a)
                rd.fail(QStringLiteral("unknown A share \"%1\"").arg(aKey));
            // the A share links to the connect line of its own exchange
            const QString line =
                a->market == QLatin1String("SH") ? QStringLiteral("HGT") : QStringLiteral("SGT");
            auto h = find(XP::nvStockKey(line, rd.code(3)));
            if (!h)
                rd.fail(QStringLiteral("unknown HK line \"%1\"").arg(XP::nvStockKey(line, f[3])));
            a->pairMarket = h->market;
            a->pairCode = h->code;
            h->pairMarket = a->market;
            h->pairCode = a->code;
        } else if (kind == QLatin1String("product")) {
            rd.expect(9);
            CFuturesProduct p;
            p.market = rd.market(1);
            static const QStringList kExchanges{QStringLiteral("CFFEX"), QStringLiteral("SHFE"),
                                                QStringLiteral("DCE"), QStringLiteral("CZCE"),
                                                QStringLiteral("INE")};
            if (!kExchanges.contains(p.market))
                rd.fail(QStringLiteral("unknown futures exchange \"%1\"").arg(p.market));
            p.product = rd.code(2);
            p.variety = rd.text(3);
            p.multiplier = rd.integer(4, 1, 1000000);
            p.tick = rd.number(5, 1e-6, 1e6);
            p.basePrice = rd.number(6, 1e-6, 1e9);
            const int hhmm = rd.integer(7, 0, 2359);
            if (hhmm % 100 >= 60)
                rd.fail(QStringLiteral("bad night close \"%1\"").arg(f[7]));
            // minutes from the night's 21:00 calendar day midnight; past midnight adds a day
            p.nightCloseMin =
                hhmm == 0 ? 0 : (hhmm / 100) * 60 + hhmm % 100 + (hhmm < 1200 ? 1440 : 0);
            p.months = rd.text(8);
            if (p.months != QLatin1String("monthly") && p.months != QLatin1String("index")
                && p.months != QLatin1String("bond"))
                rd.fail(QStringLiteral("bad month rule \"%1\"").arg(p.months));
            for (const auto& q : out.products)
                if (q.market == p.market && q.product == p.product)
                    rd.fail(QStringLiteral("duplicate product \"%1\"").arg(p.product));
            out.products.push_back(p);
        } else if (kind == QLatin1String("optund")) {
            rd.expect(7);
            COptionSeriesRule o;
            o.market = rd.market(1);
            o.underlying = rd.text(2);
            o.shortName = rd.text(3);
            o.contractUnit = rd.integer(4, 1, 1000000);
            const QString style = rd.text(5);
            if (style != QLatin1String("E") && style != QLatin1String("A"))
                rd.fail(QStringLiteral("bad exercise style \"%1\"").arg(style));
            o.american = style == QLatin1String("A");
            o.strikeStep = rd.number(6, 0, 1e6);
            if (o.underlying.contains(QLatin1Char('.'))) {
                if (!find(o.underlying))
                    rd.fail(QStringLiteral("unknown underlying \"%1\"").arg(o.underlying));
            } else {
                bool known = false;
                for (const auto& p : out.products)
                    known = known || (p.market == o.market && p.product == o.underlying);
                if (!known)
                    rd.fail(QStringLiteral("unknown product \"%1\"").arg(o.underlying));
            }
            if (o.strikeStep <= 0 && o.market != QLatin1String("SHO")
                && o.market != QLatin1String("SZO"))
                rd.fail(QStringLiteral("a strike step is needed outside ETF options"));
            out.optionRules.push_back(o);
        } else if (kind == QLatin1String("foreignboard")) {
            rd.expect(3);
            const QString m = rd.market(1);
            if (out.foreignBoards.contains(m))
                rd.fail(QStringLiteral("duplicate board \"%1\"").arg(m));
            out.foreignBoards.insert(m, rd.text(2));
            out.foreignBoardOrder.append(m);
        } else if (kind == QLatin1String("foreign")) {
            rd.expect(7);
            CForeignProduct p;
            p.market = rd.market(1);
            if (!out.foreignBoards.contains(p.market))
                rd.fail(QStringLiteral("unknown foreign board \"%1\"").arg(p.market));
            p.product = rd.code(2);
            p.variety = rd.text(3);
            p.multiplier = rd.integer(4, 1, 10000000);
            p.tick = rd.number(5, 1e-6, 1e6);
            p.basePrice = rd.number(6, 1e-6, 1e9);
            out.foreignProducts.push_back(p);
        } else {
            rd.fail(QStringLiteral("unknown record \"%1\"").arg(kind));
        }
    });

    if (out.industries.isEmpty())
        throw CDataFileError(base + QStringLiteral("instruments.txt"), 0,
                             QStringLiteral("no industry records"));
}

void CUniverse::load(const QString& dataDir, uint64_t seed, int baseYmd, CUniverseData& out)
{
    out = CUniverseData();
    loadCurated(dataDir, out);
    generate(seed, baseYmd, out);
}

} // namespace TC
