// The bus wire format: every frame kind reads back what was written, and hostile bytes
// (truncations, flipped bytes, lying counts, other versions) are refused, never read
// past their end.
#include "host/data/UniverseData.h"
#include "host/nats/BusCodec.h"
#include "host/nats/BusWarn.h"

#include <QtTest>

#include <cstring>
#include <random>

using namespace ttnats;

namespace {

quoter::QuoterAllData sampleQuote()
{
    quoter::QuoterAllData q;
    q.time = 1717725600123;
    q.last = 10.57;
    q.open = 10.2;
    q.high = 10.61;
    q.low = 10.15;
    q.preClose = 10.3;
    q.amount = 1.25e9;
    q.volume = 123456789012;
    q.openInterestOrPhase = quoter::PhaseContinuous;
    for (int i = 0; i < 5; ++i) {
        q.bidPrice[i] = 10.56 - 0.01 * i;
        q.askPrice[i] = 10.57 + 0.01 * i;
        q.bidVolume[i] = 100 * (i + 1);
        q.askVolume[i] = -(i + 1); // negative integers travel too
    }
    q.riseSpeed1 = -0.35;
    q.upperLimit = 11.33;
    q.lowerLimit = 9.27;
    q.tradeCount = 4711;
    return q;
}

bool sameQuote(const quoter::QuoterAllData& a, const quoter::QuoterAllData& b)
{
    // plain data after the vtable: compare member by member through the encoder instead
    std::string x, y;
    encodeSnapshot(0, 0, "m", "c", a, x);
    encodeSnapshot(0, 0, "m", "c", b, y);
    return x == y && a.time == b.time && a.last == b.last && a.volume == b.volume
           && a.askVolume[4] == b.askVolume[4];
}

} // namespace

class TestBusCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrips()
    {
        std::string buf;
        WireSnapshot in;
        in.epoch = 1717725600000;
        in.seq = 300000;
        in.market = "SH";
        in.code = "600000";
        in.quote = sampleQuote();
        encodeSnapshot(in, buf);
        WireSnapshot out;
        QCOMPARE(int(decodeSnapshot(buf.data(), buf.size(), out)), int(DecodeError::None));
        QCOMPARE(out.epoch, in.epoch);
        QCOMPARE(out.seq, in.seq);
        QCOMPARE(out.market, in.market);
        QCOMPARE(out.code, in.code);
        QVERIFY(sameQuote(out.quote, in.quote));

        std::vector<quoter::KLineData> bars(3);
        for (int i = 0; i < 3; ++i) {
            bars[i].time = (i + 1) * 86400000LL;
            bars[i].open = 10 + i;
            bars[i].close = 10.5 + i;
            bars[i].volume = 1000 * i;
            bars[i].openInterest = -i;
        }
        encodeBars(bars, buf);
        std::vector<quoter::KLineData> barsOut;
        QCOMPARE(int(decodeBars(buf.data(), buf.size(), barsOut)), int(DecodeError::None));
        QCOMPARE(barsOut.size(), bars.size());
        for (size_t i = 0; i < bars.size(); ++i) {
            QCOMPARE(barsOut[i].time, bars[i].time);
            QCOMPARE(barsOut[i].close, bars[i].close);
            QCOMPARE(barsOut[i].volume, bars[i].volume);
            QCOMPARE(barsOut[i].openInterest, bars[i].openInterest);
        }

        encodeTicks({std::make_shared<quoter::QuoterAllData>(sampleQuote()), nullptr}, buf);
        std::vector<quoter::QuoterAllDataPtr> ticks;
        QCOMPARE(int(decodeTicks(buf.data(), buf.size(), ticks)), int(DecodeError::None));
        QCOMPARE(ticks.size(), size_t(1)); // null entries are not sent
        QVERIFY(sameQuote(*ticks[0], sampleQuote()));

        encodeRequest({RequestOp::MinuteBarsOfDay, "SZ", "000001", -1717689600}, buf);
        WireRequest req;
        QCOMPARE(int(decodeRequest(buf.data(), buf.size(), req)), int(DecodeError::None));
        QCOMPARE(int(req.op), int(RequestOp::MinuteBarsOfDay));
        QCOMPARE(req.code, std::string("000001"));
        QCOMPARE(req.arg, int64_t(-1717689600));
    }

    void snapshotIsCompact()
    {
        std::string buf;
        encodeSnapshot(1717725600000, 12345, "SH", "600000", sampleQuote(), buf);
        // 39 fields of 8 bytes would be 312; zero fields are left out and integers shrink
        QVERIFY2(buf.size() < 230, qPrintable(QString::number(buf.size())));
        quoter::QuoterAllData empty;
        encodeSnapshot(1, 1, "SH", "600000", empty, buf);
        QVERIFY2(buf.size() < 32, qPrintable(QString::number(buf.size())));
    }

    void hostileSnapshots_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("error");
        std::string good;
        encodeSnapshot(7, 8, "SH", "600000", sampleQuote(), good);
        const QByteArray g(good.data(), int(good.size()));
        auto with = [&](int at, char value) {
            QByteArray b = g;
            b[at] = value;
            return b;
        };
        QTest::newRow("empty") << QByteArray() << int(DecodeError::Truncated);
        QTest::newRow("header only") << g.left(4) << int(DecodeError::Truncated);
        QTest::newRow("other magic") << with(0, 'X') << int(DecodeError::BadMagic);
        QTest::newRow("next version")
            << with(2, char(kWireVersion + 1)) << int(DecodeError::BadVersion);
        QTest::newRow("bars frame")
            << with(3, char(FrameKind::Bars)) << int(DecodeError::WrongKind);
        QTest::newRow("one byte short") << g.left(g.size() - 1) << int(DecodeError::Truncated);
        QTest::newRow("trailing byte") << g + QByteArray(1, '\0') << int(DecodeError::Malformed);
        // the market's length byte (after magic, version, kind, epoch and a one-byte seq)
        QTest::newRow("market longer than frame")
            << with(13, char(0x7f)).left(20) << int(DecodeError::Truncated);
        QTest::newRow("empty market") << with(13, char(0)) << int(DecodeError::Malformed);
        QTest::newRow("endless varint")
            << g.left(12) + QByteArray(12, char(0xff)) << int(DecodeError::Malformed);
        std::string bars;
        encodeBars({}, bars);
        QByteArray lying(bars.data(), int(bars.size()));
        lying.chop(1);
        lying += QByteArray::fromHex("ffffff7f"); // a count of 268 million in four bytes
        QTest::newRow("lying bar count as snapshot") << lying << int(DecodeError::WrongKind);
    }

    void hostileSnapshots()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, error);
        WireSnapshot out;
        QCOMPARE(int(decodeSnapshot(bytes.constData(), size_t(bytes.size()), out)), error);
        if (QByteArray(QTest::currentDataTag()).startsWith("lying")) {
            std::vector<quoter::KLineData> bars;
            QCOMPARE(int(decodeBars(bytes.constData(), size_t(bytes.size()), bars)),
                     int(DecodeError::Malformed));
            QVERIFY(bars.empty());
        }
    }

    void everyTruncationRefused()
    {
        std::string snap, bars, ticks;
        encodeSnapshot(7, 8, "SH", "600000", sampleQuote(), snap);
        std::vector<quoter::KLineData> series(4);
        series[2].close = 3.5;
        encodeBars(series, bars);
        encodeTicks({std::make_shared<quoter::QuoterAllData>(sampleQuote())}, ticks);
        // each copy is exactly as long as the prefix, so a read past it shows under ASan
        for (size_t n = 0; n < snap.size(); ++n) {
            const std::vector<char> cut(snap.begin(), snap.begin() + long(n));
            WireSnapshot s;
            QVERIFY(decodeSnapshot(cut.data(), n, s) != DecodeError::None);
        }
        for (size_t n = 0; n < bars.size(); ++n) {
            const std::vector<char> cut(bars.begin(), bars.begin() + long(n));
            std::vector<quoter::KLineData> out;
            QVERIFY(decodeBars(cut.data(), n, out) != DecodeError::None);
            QVERIFY(out.empty());
        }
        for (size_t n = 0; n < ticks.size(); ++n) {
            const std::vector<char> cut(ticks.begin(), ticks.begin() + long(n));
            std::vector<quoter::QuoterAllDataPtr> out;
            QVERIFY(decodeTicks(cut.data(), n, out) != DecodeError::None);
        }
    }

    void randomBytesNeverRead()
    {
        // mutations of a good frame: each is either refused or reads as a whole frame
        std::string good;
        encodeSnapshot(7, 8, "SH", "600000", sampleQuote(), good);
        std::mt19937 rng(42);
        int refused = 0;
        for (int round = 0; round < 5000; ++round) {
            std::string b = good;
            const int flips = 1 + int(rng() % 4);
            for (int f = 0; f < flips; ++f)
                b[rng() % b.size()] = char(rng());
            b.resize(rng() % (b.size() + 8), char(rng()));
            WireSnapshot s;
            if (decodeSnapshot(b.data(), b.size(), s) != DecodeError::None)
                ++refused;
            else
                QVERIFY(!s.market.empty() && !s.code.empty());
        }
        QVERIFY(refused > 2500);
    }

    void catalogueRoundTrip()
    {
        TC::CUniverseData u;
        auto d = std::make_shared<ttservice::CInstrumentDetail>();
        d->market = QStringLiteral("SH");
        d->code = QStringLiteral("600000");
        d->key = QStringLiteral("600000.SH");
        d->name = QStringLiteral("浦发银行");
        d->type = ttservice::eInstrStock;
        d->isMainContract = true;
        d->strike = 2.5;
        u.instruments.push_back(d);
        u.indexMembers.insert(QStringLiteral("000300.SH"),
                              {{QStringLiteral("SH"), QStringLiteral("600000"), 1.5f}});
        u.holidaysYmd = {20240101, 20240210};
        u.industries = QStringList{QStringLiteral("银行")};
        u.themeMembers.insert(QStringLiteral("概念"), QStringList{QStringLiteral("600000.SH")});
        TC::CFuturesProduct p;
        p.product = QStringLiteral("IF");
        p.multiplier = 300;
        u.products.push_back(p);
        u.seed = 99;
        u.baseYmd = 20240607;
        std::string blob;
        encodeCatalogue(u, blob);
        TC::CUniverseData out;
        QCOMPARE(int(decodeCatalogue(blob.data(), blob.size(), out)), int(DecodeError::None));
        QCOMPARE(out.instruments.size(), size_t(1));
        QCOMPARE(out.instruments[0]->name, d->name);
        QVERIFY(out.instruments[0]->isMainContract);
        QVERIFY(out.instruments[0]->isCall); // the default travels as well
        QCOMPARE(out.indexMembers.value(QStringLiteral("000300.SH")).at(0).weight, 1.5f);
        QCOMPARE(out.holidaysYmd, u.holidaysYmd);
        QCOMPARE(out.themeMembers, u.themeMembers);
        QCOMPARE(out.products.at(0).multiplier, 300);
        QCOMPARE(out.seed, uint64_t(99));
        QCOMPARE(out.baseYmd, 20240607);
        // cut anywhere, it is refused and leaves nothing half-read
        for (size_t n = 0; n < blob.size(); n += 7) {
            const std::vector<char> cut(blob.begin(), blob.begin() + long(n));
            QVERIFY(decodeCatalogue(cut.data(), n, out) != DecodeError::None);
            QVERIFY(out.instruments.empty());
        }
    }

    void warningsAtMostOnceASecond()
    {
        BusWarn warn("test");
        for (int i = 0; i < 10000; ++i)
            warn.note("malformed", "SH");
        warn.note("unknown instrument", "SH", "999999");
        warn.flush();                          // within the same second: nothing more
        QCOMPARE(warn.records(), uint64_t(2)); // the first of each kind
    }
};

QTEST_GUILESS_MAIN(TestBusCodec)
#include "tst_buscodec.moc"
