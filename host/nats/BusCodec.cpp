#include "host/nats/BusCodec.h"

#include "host/data/UniverseData.h"

#include <cstring>

namespace ttnats {

namespace {

constexpr char kMagic0 = 'T';
constexpr char kMagic1 = 'Q';
constexpr size_t kMaxText = 255;         // market and code
constexpr size_t kMaxLongText = 1 << 16; // catalogue texts
constexpr uint64_t kMaxCount = 1 << 20;  // elements of any list

// --- writer --------------------------------------------------------------------------------

void header(FrameKind kind, std::string& out)
{
    out.clear();
    out.push_back(kMagic0);
    out.push_back(kMagic1);
    out.push_back(static_cast<char>(kWireVersion));
    out.push_back(static_cast<char>(kind));
}

void putU(uint64_t v, std::string& out)
{
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7f) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

void putI(int64_t v, std::string& out)
{
    putU((static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63), out);
}

void putD(double v, std::string& out)
{
    char b[8];
    std::memcpy(b, &v, 8); // little-endian hosts only, like the rest of the terminal
    out.append(b, 8);
}

void putFixed64(uint64_t v, std::string& out)
{
    char b[8];
    std::memcpy(b, &v, 8);
    out.append(b, 8);
}

void putS(const char* s, size_t n, std::string& out)
{
    putU(n, out);
    out.append(s, n);
}

void putS(const std::string& s, std::string& out)
{
    putS(s.data(), s.size(), out);
}

void putQ(const QString& s, std::string& out)
{
    const QByteArray utf8 = s.toUtf8();
    putS(utf8.constData(), static_cast<size_t>(utf8.size()), out);
}

// --- reader --------------------------------------------------------------------------------

struct Reader {
    const char* p;
    const char* end;
    DecodeError error = DecodeError::None;

    bool fail(DecodeError e)
    {
        if (error == DecodeError::None)
            error = e;
        p = end;
        return false;
    }
    bool ok() const { return error == DecodeError::None; }
    size_t left() const { return static_cast<size_t>(end - p); }

    uint64_t u()
    {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (p >= end) {
                fail(DecodeError::Truncated);
                return 0;
            }
            const auto b = static_cast<uint8_t>(*p++);
            // one spelling per value: no padding zero groups, nothing beyond 64 bits
            if ((b == 0 && shift > 0) || (shift == 63 && b > 1)) {
                fail(DecodeError::Malformed);
                return 0;
            }
            v |= static_cast<uint64_t>(b & 0x7f) << shift;
            if (!(b & 0x80))
                return v;
        }
        fail(DecodeError::Malformed); // more than ten bytes
        return 0;
    }
    int64_t i()
    {
        const uint64_t z = u();
        return static_cast<int64_t>((z >> 1) ^ (~(z & 1) + 1));
    }
    double d()
    {
        if (left() < 8) {
            fail(DecodeError::Truncated);
            return 0.0;
        }
        double v;
        std::memcpy(&v, p, 8);
        p += 8;
        return v;
    }
    uint64_t fixed64()
    {
        if (left() < 8) {
            fail(DecodeError::Truncated);
            return 0;
        }
        uint64_t v;
        std::memcpy(&v, p, 8);
        p += 8;
        return v;
    }
    bool bytes(size_t max, const char*& s, size_t& n)
    {
        n = u();
        if (!ok())
            return false;
        if (n > max)
            return fail(DecodeError::Malformed);
        if (n > left())
            return fail(DecodeError::Truncated);
        s = p;
        p += n;
        return true;
    }
    void text(std::string& out)
    {
        const char* s;
        size_t n;
        if (bytes(kMaxText, s, n))
            out.assign(s, n);
    }
    QString qtext()
    {
        const char* s;
        size_t n;
        if (!bytes(kMaxLongText, s, n))
            return QString();
        return QString::fromUtf8(s, static_cast<int>(n));
    }
    int32_t i32()
    {
        const int64_t v = i();
        if (v < INT32_MIN || v > INT32_MAX)
            fail(DecodeError::Malformed);
        return static_cast<int32_t>(v);
    }
    size_t count(size_t minBytesEach)
    {
        const uint64_t n = u();
        // a count the remaining bytes cannot hold is a lie: refuse before reserving
        if (ok() && (n > kMaxCount || n * minBytesEach > left()))
            fail(DecodeError::Malformed);
        return ok() ? static_cast<size_t>(n) : 0;
    }
};

DecodeError openFrame(Reader& r, FrameKind want)
{
    if (r.left() < 4)
        return DecodeError::Truncated;
    if (r.p[0] != kMagic0 || r.p[1] != kMagic1)
        return DecodeError::BadMagic;
    if (static_cast<uint8_t>(r.p[2]) != kWireVersion)
        return DecodeError::BadVersion;
    if (static_cast<uint8_t>(r.p[3]) != static_cast<uint8_t>(want))
        return DecodeError::WrongKind;
    r.p += 4;
    return DecodeError::None;
}

DecodeError closeFrame(Reader& r)
{
    if (r.ok() && r.p != r.end)
        r.fail(DecodeError::Malformed); // trailing bytes
    return r.error;
}

// --- snapshot fields -------------------------------------------------------------------------
// The field order is part of the wire format: append only, and bump kWireVersion when a
// field changes meaning.

template <typename Q, typename D, typename I>
void forEachField(Q& q, D onDouble, I onInt)
{
    int n = 0;
    onDouble(n++, q.last);
    onDouble(n++, q.open);
    onDouble(n++, q.high);
    onDouble(n++, q.low);
    onDouble(n++, q.preClose);
    onDouble(n++, q.amount);
    onInt(n++, q.volume);
    onInt(n++, q.openInterestOrPhase);
    for (int k = 0; k < 5; ++k) {
        onDouble(n++, q.bidPrice[k]);
        onDouble(n++, q.askPrice[k]);
        onInt(n++, q.bidVolume[k]);
        onInt(n++, q.askVolume[k]);
    }
    onDouble(n++, q.iopv);
    onDouble(n++, q.volumeRatio);
    onDouble(n++, q.riseSpeed1);
    onDouble(n++, q.riseSpeed5);
    onDouble(n++, q.settlement);
    onDouble(n++, q.preSettlement);
    onDouble(n++, q.average);
    onDouble(n++, q.upperLimit);
    onDouble(n++, q.lowerLimit);
    onInt(n++, q.preOpenInterest);
    onInt(n++, q.tradeCount);
}
constexpr int kQuoteFields = 39;

void putQuoteBody(const quoter::QuoterAllData& q, std::string& out)
{
    putI(q.time, out);
    uint64_t mask = 0;
    forEachField(
        q, [&](int n, double v) { mask |= v != 0.0 ? uint64_t(1) << n : 0; },
        [&](int n, int64_t v) { mask |= v != 0 ? uint64_t(1) << n : 0; });
    putU(mask, out);
    forEachField(
        q,
        [&](int n, double v) {
            if (mask & (uint64_t(1) << n))
                putD(v, out);
        },
        [&](int n, int64_t v) {
            if (mask & (uint64_t(1) << n))
                putI(v, out);
        });
}

// A field marked present holds no zero: zeros are left out, so each value has one spelling.
template <typename T>
T nonZero(Reader& r, T v)
{
    if (v == T(0))
        r.fail(DecodeError::Malformed);
    return v;
}

void readQuoteBody(Reader& r, quoter::QuoterAllData& q)
{
    q = quoter::QuoterAllData();
    q.time = r.i();
    const uint64_t mask = r.u();
    if (mask >> kQuoteFields)
        r.fail(DecodeError::Malformed);
    forEachField(
        q,
        [&](int n, double& v) {
            if (mask & (uint64_t(1) << n))
                v = nonZero(r, r.d());
        },
        [&](int n, int64_t& v) {
            if (mask & (uint64_t(1) << n))
                v = nonZero(r, r.i());
        });
}

template <typename B, typename D, typename I>
void forEachBarField(B& b, D onDouble, I onInt)
{
    onDouble(0, b.open);
    onDouble(1, b.high);
    onDouble(2, b.low);
    onDouble(3, b.close);
    onDouble(4, b.preClose);
    onInt(5, b.volume);
    onDouble(6, b.amount);
    onInt(7, b.openInterest);
    onDouble(8, b.settlement);
}
constexpr int kBarFields = 9;

bool validCode(const std::string& s)
{
    return !s.empty(); // texts are bounded by the reader; subjects are checked by the bus
}

} // namespace

const char* decodeErrorName(DecodeError e)
{
    switch (e) {
    case DecodeError::None: return "none";
    case DecodeError::Truncated: return "truncated";
    case DecodeError::BadMagic: return "bad magic";
    case DecodeError::BadVersion: return "unknown version";
    case DecodeError::WrongKind: return "wrong kind";
    case DecodeError::Malformed: return "malformed";
    }
    return "unknown";
}

DecodeError peekKind(const char* data, size_t size, FrameKind& kind)
{
    if (size < 4)
        return DecodeError::Truncated;
    if (data[0] != kMagic0 || data[1] != kMagic1)
        return DecodeError::BadMagic;
    if (static_cast<uint8_t>(data[2]) != kWireVersion)
        return DecodeError::BadVersion;
    kind = static_cast<FrameKind>(static_cast<uint8_t>(data[3]));
    return DecodeError::None;
}

void encodeSnapshot(uint64_t epoch, uint64_t seq, const std::string& market,
                    const std::string& code, const quoter::QuoterAllData& q, std::string& out)
{
    header(FrameKind::Snapshot, out);
    putFixed64(epoch, out);
    putU(seq, out);
    putS(market, out);
    putS(code, out);
    putQuoteBody(q, out);
}

void encodeSnapshot(const WireSnapshot& s, std::string& out)
{
    encodeSnapshot(s.epoch, s.seq, s.market, s.code, s.quote, out);
}

DecodeError decodeSnapshot(const char* data, size_t size, WireSnapshot& out)
{
    Reader r{data, data + size};
    if (const DecodeError e = openFrame(r, FrameKind::Snapshot); e != DecodeError::None)
        return e;
    out.epoch = r.fixed64();
    out.seq = r.u();
    r.text(out.market);
    r.text(out.code);
    if (r.ok() && (!validCode(out.market) || !validCode(out.code)))
        r.fail(DecodeError::Malformed);
    readQuoteBody(r, out.quote);
    return closeFrame(r);
}

void encodeBars(const std::vector<quoter::KLineData>& bars, std::string& out)
{
    header(FrameKind::Bars, out);
    putU(bars.size(), out);
    for (const quoter::KLineData& b : bars) {
        putI(b.time, out);
        uint32_t mask = 0;
        forEachBarField(
            b, [&](int n, double v) { mask |= v != 0.0 ? 1u << n : 0; },
            [&](int n, int64_t v) { mask |= v != 0 ? 1u << n : 0; });
        putU(mask, out);
        forEachBarField(
            b,
            [&](int n, double v) {
                if (mask & (1u << n))
                    putD(v, out);
            },
            [&](int n, int64_t v) {
                if (mask & (1u << n))
                    putI(v, out);
            });
    }
}

DecodeError decodeBars(const char* data, size_t size, std::vector<quoter::KLineData>& out)
{
    out.clear();
    Reader r{data, data + size};
    if (const DecodeError e = openFrame(r, FrameKind::Bars); e != DecodeError::None)
        return e;
    const size_t n = r.count(2);
    out.reserve(n);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        quoter::KLineData b;
        b.time = r.i();
        const uint64_t mask = r.u();
        if (mask >> kBarFields)
            r.fail(DecodeError::Malformed);
        forEachBarField(
            b,
            [&](int f, double& v) {
                if (mask & (1u << f))
                    v = nonZero(r, r.d());
            },
            [&](int f, int64_t& v) {
                if (mask & (1u << f))
                    v = nonZero(r, r.i());
            });
        out.push_back(b);
    }
    const DecodeError e = closeFrame(r);
    if (e != DecodeError::None)
        out.clear();
    return e;
}

void encodeTicks(const std::vector<quoter::QuoterAllDataPtr>& ticks, std::string& out)
{
    header(FrameKind::Ticks, out);
    size_t n = 0;
    for (const auto& t : ticks)
        n += t != nullptr;
    putU(n, out);
    for (const auto& t : ticks) {
        if (t)
            putQuoteBody(*t, out);
    }
}

DecodeError decodeTicks(const char* data, size_t size, std::vector<quoter::QuoterAllDataPtr>& out)
{
    out.clear();
    Reader r{data, data + size};
    if (const DecodeError e = openFrame(r, FrameKind::Ticks); e != DecodeError::None)
        return e;
    const size_t n = r.count(2);
    out.reserve(n);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        auto q = std::make_shared<quoter::QuoterAllData>();
        readQuoteBody(r, *q);
        out.push_back(std::move(q));
    }
    const DecodeError e = closeFrame(r);
    if (e != DecodeError::None)
        out.clear();
    return e;
}

void encodeRequest(const WireRequest& req, std::string& out)
{
    header(FrameKind::Request, out);
    out.push_back(static_cast<char>(req.op));
    putS(req.market, out);
    putS(req.code, out);
    putI(req.arg, out);
}

DecodeError decodeRequest(const char* data, size_t size, WireRequest& out)
{
    Reader r{data, data + size};
    if (const DecodeError e = openFrame(r, FrameKind::Request); e != DecodeError::None)
        return e;
    if (r.left() < 1)
        return DecodeError::Truncated;
    const auto op = static_cast<uint8_t>(*r.p++);
    if (op < static_cast<uint8_t>(RequestOp::Catalogue)
        || op > static_cast<uint8_t>(RequestOp::Ticks))
        return DecodeError::Malformed;
    out.op = static_cast<RequestOp>(op);
    r.text(out.market);
    r.text(out.code);
    out.arg = r.i();
    return closeFrame(r);
}

void encodeError(const std::string& message, std::string& out)
{
    header(FrameKind::Error, out);
    putS(message.data(), std::min(message.size(), kMaxText), out);
}

DecodeError decodeError(const char* data, size_t size, std::string& message)
{
    Reader r{data, data + size};
    if (const DecodeError e = openFrame(r, FrameKind::Error); e != DecodeError::None)
        return e;
    r.text(message);
    return closeFrame(r);
}

void encodeCatalogueChunk(uint32_t index, uint32_t total, const char* data, size_t size,
                          std::string& out)
{
    header(FrameKind::Catalogue, out);
    putU(index, out);
    putU(total, out);
    out.append(data, size);
}

DecodeError decodeCatalogueChunk(const char* data, size_t size, uint32_t& index, uint32_t& total,
                                 const char*& chunk, size_t& chunkSize)
{
    Reader r{data, data + size};
    if (const DecodeError e = openFrame(r, FrameKind::Catalogue); e != DecodeError::None)
        return e;
    const uint64_t i = r.u();
    const uint64_t t = r.u();
    if (!r.ok())
        return r.error;
    if (t == 0 || t > 4096 || i >= t)
        return DecodeError::Malformed;
    index = static_cast<uint32_t>(i);
    total = static_cast<uint32_t>(t);
    chunk = r.p;
    chunkSize = r.left();
    return DecodeError::None;
}

// --- catalogue -----------------------------------------------------------------------------

namespace {

void putInstrument(const ttservice::CInstrumentDetail& d, std::string& out)
{
    putQ(d.key, out);
    putQ(d.market, out);
    putQ(d.code, out);
    putQ(d.name, out);
    putI(d.type, out);
    putD(d.priceStep, out);
    putD(d.totalShares, out);
    putD(d.floatShares, out);
    putQ(d.product, out);
    putQ(d.variety, out);
    putI(d.deliveryYear, out);
    putI(d.deliveryMonth, out);
    putD(d.refPrice, out);
    putI(d.tradeUnit, out);
    putI(d.listDate, out);
    putU((d.isContinuous ? 1 : 0) | (d.isMainContract ? 2 : 0) | (d.isCall ? 4 : 0)
             | (d.american ? 8 : 0),
         out);
    putQ(d.mainCode, out);
    putQ(d.pairMarket, out);
    putQ(d.pairCode, out);
    putQ(d.cbUnderlyingMarket, out);
    putQ(d.cbUnderlyingCode, out);
    putD(d.cbConversionPrice, out);
    putD(d.iopvBasis, out);
    putQ(d.industry, out);
    putQ(d.optUnderlyingMarket, out);
    putQ(d.optUnderlyingCode, out);
    putD(d.strike, out);
    putI(d.expiryDate, out);
    putI(d.expiryYmd, out);
    putD(d.contractUnit, out);
    putD(d.histVolatility, out);
    putD(d.riskFreeRate, out);
    putD(d.preSettlement, out);
}

void readInstrument(Reader& r, ttservice::CInstrumentDetail& d)
{
    d.key = r.qtext();
    d.market = r.qtext();
    d.code = r.qtext();
    d.name = r.qtext();
    d.type = r.i32();
    if (d.type < 0 || d.type >= ttservice::eInstrTypeCount)
        r.fail(DecodeError::Malformed);
    d.priceStep = r.d();
    d.totalShares = r.d();
    d.floatShares = r.d();
    d.product = r.qtext();
    d.variety = r.qtext();
    d.deliveryYear = r.i32();
    d.deliveryMonth = r.i32();
    d.refPrice = r.d();
    d.tradeUnit = r.i32();
    d.listDate = r.i32();
    const uint64_t flags = r.u();
    d.isContinuous = flags & 1;
    d.isMainContract = flags & 2;
    d.isCall = flags & 4;
    d.american = flags & 8;
    d.mainCode = r.qtext();
    d.pairMarket = r.qtext();
    d.pairCode = r.qtext();
    d.cbUnderlyingMarket = r.qtext();
    d.cbUnderlyingCode = r.qtext();
    d.cbConversionPrice = r.d();
    d.iopvBasis = r.d();
    d.industry = r.qtext();
    d.optUnderlyingMarket = r.qtext();
    d.optUnderlyingCode = r.qtext();
    d.strike = r.d();
    d.expiryDate = r.i32();
    d.expiryYmd = r.i32();
    d.contractUnit = r.d();
    d.histVolatility = r.d();
    d.riskFreeRate = r.d();
    d.preSettlement = r.d();
}

void putList(const QStringList& l, std::string& out)
{
    putU(static_cast<uint64_t>(l.size()), out);
    for (const QString& s : l)
        putQ(s, out);
}

QStringList readList(Reader& r)
{
    QStringList l;
    const size_t n = r.count(1);
    for (size_t k = 0; k < n && r.ok(); ++k)
        l << r.qtext();
    return l;
}

void putMap(const QMap<QString, QString>& m, std::string& out)
{
    putU(static_cast<uint64_t>(m.size()), out);
    for (auto it = m.cbegin(); it != m.cend(); ++it) {
        putQ(it.key(), out);
        putQ(it.value(), out);
    }
}

void readMap(Reader& r, QMap<QString, QString>& m)
{
    const size_t n = r.count(2);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        const QString key = r.qtext();
        m.insert(key, r.qtext());
    }
}

// The fields futures and foreign products share, in the order both are sent.
template <class Product>
void putProductHead(const Product& p, std::string& out)
{
    putQ(p.market, out);
    putQ(p.product, out);
    putQ(p.variety, out);
    putI(p.multiplier, out);
    putD(p.tick, out);
    putD(p.basePrice, out);
}

template <class Product>
void readProductHead(Reader& r, Product& p)
{
    p.market = r.qtext();
    p.product = r.qtext();
    p.variety = r.qtext();
    p.multiplier = r.i32();
    p.tick = r.d();
    p.basePrice = r.d();
}

} // namespace

void encodeCatalogue(const TC::CUniverseData& u, std::string& out)
{
    out.clear(); // the blob travels inside catalogue chunks, which carry the header
    putU(u.instruments.size(), out);
    for (const auto& d : u.instruments)
        putInstrument(d ? *d : ttservice::CInstrumentDetail(), out);
    putU(static_cast<uint64_t>(u.indexMembers.size()), out);
    for (auto it = u.indexMembers.cbegin(); it != u.indexMembers.cend(); ++it) {
        putQ(it.key(), out);
        putU(it.value().size(), out);
        for (const se::RPCSectorStock& s : it.value()) {
            putQ(s.market, out);
            putQ(s.code, out);
            putD(s.weight, out);
        }
    }
    putU(static_cast<uint64_t>(u.holidaysYmd.size()), out);
    for (int ymd : u.holidaysYmd)
        putI(ymd, out);
    putList(u.industries, out);
    putMap(u.industryIndexCode, out);
    putList(u.conceptNames, out);
    putList(u.regionNames, out);
    putU(static_cast<uint64_t>(u.themeMembers.size()), out);
    for (auto it = u.themeMembers.cbegin(); it != u.themeMembers.cend(); ++it) {
        putQ(it.key(), out);
        putList(it.value(), out);
    }
    putMap(u.foreignBoards, out);
    putList(u.foreignBoardOrder, out);
    putU(u.products.size(), out);
    for (const TC::CFuturesProduct& p : u.products) {
        putProductHead(p, out);
        putI(p.nightCloseMin, out);
        putQ(p.months, out);
    }
    putU(u.optionRules.size(), out);
    for (const TC::COptionSeriesRule& o : u.optionRules) {
        putQ(o.market, out);
        putQ(o.underlying, out);
        putQ(o.shortName, out);
        putI(o.contractUnit, out);
        putU(o.american ? 1 : 0, out);
        putD(o.strikeStep, out);
    }
    putU(u.foreignProducts.size(), out);
    for (const TC::CForeignProduct& p : u.foreignProducts)
        putProductHead(p, out);
    putU(u.indexRules.size(), out);
    for (const TC::CIndexRule& i : u.indexRules) {
        putQ(i.key, out);
        putI(i.count, out);
        putQ(i.universe, out);
        putI(i.skip, out);
    }
    putList(u.tBoardUnderlyings, out);
    putU(u.seed, out);
    putI(u.baseYmd, out);
}

DecodeError decodeCatalogue(const char* data, size_t size, TC::CUniverseData& u)
{
    u = TC::CUniverseData();
    Reader r{data, data + size};
    size_t n = r.count(8);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        auto d = std::make_shared<ttservice::CInstrumentDetail>();
        readInstrument(r, *d);
        u.instruments.push_back(std::move(d));
    }
    n = r.count(2);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        const QString key = r.qtext();
        const size_t m = r.count(10);
        std::vector<se::RPCSectorStock> members;
        for (size_t j = 0; j < m && r.ok(); ++j) {
            se::RPCSectorStock s;
            s.market = r.qtext();
            s.code = r.qtext();
            s.weight = static_cast<float>(r.d());
            members.push_back(s);
        }
        u.indexMembers.insert(key, std::move(members));
    }
    n = r.count(1);
    for (size_t k = 0; k < n && r.ok(); ++k)
        u.holidaysYmd.push_back(r.i32());
    u.industries = readList(r);
    readMap(r, u.industryIndexCode);
    u.conceptNames = readList(r);
    u.regionNames = readList(r);
    n = r.count(2);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        const QString key = r.qtext();
        u.themeMembers.insert(key, readList(r));
    }
    readMap(r, u.foreignBoards);
    u.foreignBoardOrder = readList(r);
    n = r.count(20);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        TC::CFuturesProduct p;
        readProductHead(r, p);
        p.nightCloseMin = r.i32();
        p.months = r.qtext();
        u.products.push_back(p);
    }
    n = r.count(13);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        TC::COptionSeriesRule o;
        o.market = r.qtext();
        o.underlying = r.qtext();
        o.shortName = r.qtext();
        o.contractUnit = r.i32();
        o.american = r.u() != 0;
        o.strikeStep = r.d();
        u.optionRules.push_back(o);
    }
    n = r.count(20);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        TC::CForeignProduct p;
        readProductHead(r, p);
        u.foreignProducts.push_back(p);
    }
    n = r.count(4);
    for (size_t k = 0; k < n && r.ok(); ++k) {
        TC::CIndexRule i;
        i.key = r.qtext();
        i.count = r.i32();
        i.universe = r.qtext();
        i.skip = r.i32();
        u.indexRules.push_back(i);
    }
    u.tBoardUnderlyings = readList(r);
    u.seed = r.u();
    u.baseYmd = r.i32();
    const DecodeError e = closeFrame(r);
    if (e != DecodeError::None)
        u = TC::CUniverseData();
    return e;
}

} // namespace ttnats
