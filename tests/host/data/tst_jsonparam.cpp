#include "host/data/JsonParam.h"

#include <QtTest>

#include <limits>
#include <thread>

using TC::JsonArray;
using TC::JsonArrayBuilder;
using TC::JsonBuilder;
using TC::JsonObject;
using TC::JsonParam;
using TC::JsonType;

namespace {

std::string nested(int depth, char open = '[', char close = ']')
{
    // {"a": [[...[]...]]} where the object itself is the first level
    std::string s = "{\"a\":";
    s += std::string(depth - 1, open);
    if (open == '{') {
        // innermost levels need keys: {"a":{"a":{...}}}
        s = "{";
        for (int i = 1; i < depth; ++i)
            s += "\"a\":{";
        s += std::string(depth, '}');
        return s;
    }
    s += std::string(depth - 1, close);
    s += "}";
    return s;
}

} // namespace

class TstJsonParam : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rejects_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << "empty input";
        QTest::newRow("whitespace only") << QByteArray("  \n ") << "parse error";
        QTest::newRow("16 MiB + 1") << QByteArray(int(JsonParam::kMaxBytes) + 1, ' ') << "16 MiB";
        QTest::newRow("NUL byte inside")
            << QByteArray("{\"a\":1}\0{\"b\":2}", 15) << "NUL byte at offset 7";
        QTest::newRow("NUL in a string")
            << QByteArray("{\"a\":\"x\0y\"}", 11) << "NUL byte at offset 7";
        QTest::newRow("depth 65 arrays")
            << QByteArray::fromStdString(nested(65)) << "nesting deeper than 64";
        QTest::newRow("depth 65 objects")
            << QByteArray::fromStdString(nested(65, '{', '}')) << "nesting deeper than 64";
        QTest::newRow("depth 5000, stack-killer")
            << QByteArray::fromStdString(nested(5000)) << "nesting deeper than 64";
        QTest::newRow("trailing garbage")
            << QByteArray("{\"a\":1}xyz") << "trailing characters at offset 7";
        QTest::newRow("second object")
            << QByteArray("{\"a\":1} {}") << "trailing characters at offset 8";
        QTest::newRow("unclosed") << QByteArray("{\"a\":1") << "unbalanced";
        QTest::newRow("mismatched") << QByteArray("{\"a\":[1}]") << "unbalanced";
        QTest::newRow("unterminated string") << QByteArray("{\"a\":\"x}") << "unbalanced";
        QTest::newRow("regex literal hiding a quote")
            << QByteArray("{\"a\":/\"/,\"b\":\"[[\"}") << "unbalanced";
        QTest::newRow("top-level array") << QByteArray("[1,2]") << "parse error";
        QTest::newRow("bare number") << QByteArray("42") << "parse error";
        QTest::newRow("missing value") << QByteArray("{\"a\":}") << "parse error";
        QTest::newRow("missing colon") << QByteArray("{\"a\" 1}") << "parse error";
        QTest::newRow("trailing comma") << QByteArray("{\"a\":1,}") << "parse error";
        QTest::newRow("subnormal number") << QByteArray("{\"a\":5e-324}") << "parse error";
        QTest::newRow("NUL escape in a key") << QByteArray("{\"a\\u0000b\":1}") << "";
    }
    void rejects()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, reason);
        const TC::JsonParseResult r =
            JsonParam::parse(input.constData(), std::size_t(input.size()));
        QVERIFY2(!r.ok(), input.left(80).constData());
        QVERIFY(r.object.isEmpty());
        QVERIFY2(QString::fromStdString(r.error).contains(reason), r.error.c_str());
    }

    void accepts_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("fields");
        QTest::newRow("empty object") << QByteArray("{}") << 0;
        QTest::newRow("surrounding whitespace") << QByteArray(" \n{\"a\":1}\r\n\t ") << 1;
        QTest::newRow("depth 64 arrays") << QByteArray::fromStdString(nested(64)) << 1;
        QTest::newRow("depth 64 objects") << QByteArray::fromStdString(nested(64, '{', '}')) << 1;
        QTest::newRow("brackets inside strings")
            << QByteArray("{\"a\":\"[[[{{{\",\"b\":'}}]]'}") << 2;
        QTest::newRow("escaped quote") << QByteArray("{\"a\":\"x\\\"[\",\"b\":2}") << 2;
        QTest::newRow("all types")
            << QByteArray("{\"i\":1,\"l\":12345678901,\"d\":1.5,\"s\":\"x\",\"b\":true,\"n\":null,"
                          "\"o\":{\"k\":2},\"a\":[1,\"y\"]}")
            << 8;
    }
    void accepts()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, fields);
        const TC::JsonParseResult r =
            JsonParam::parse(input.constData(), std::size_t(input.size()));
        QVERIFY2(r.ok(), r.error.c_str());
        QCOMPARE(r.object.fieldCount(), fields);
    }

    // 16 MiB exactly passes the size check (and then parses)
    void sizeLimitIsInclusive()
    {
        std::string big = "{\"a\":\"";
        big += std::string(JsonParam::kMaxBytes - big.size() - 2, 'x');
        big += "\"}";
        QCOMPARE(big.size(), JsonParam::kMaxBytes);
        const auto r = JsonParam::parse(big);
        QVERIFY2(r.ok() || r.error.find("16 MiB") == std::string::npos, r.error.c_str());
    }

    // the depth check must protect threads with small stacks too
    void deepInputOnSmallStackThread()
    {
        const std::string deep = nested(100000);
        std::string error;
        std::thread t([&] { error = JsonParam::parse(deep).error; });
        t.join();
        QCOMPARE(QString::fromStdString(error), QStringLiteral("nesting deeper than 64"));
    }

    void nestingDepth_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("depth");
        QTest::newRow("flat") << QByteArray("{\"a\":1}") << 1;
        QTest::newRow("sibling arrays") << QByteArray("{\"a\":[1],\"b\":[2]}") << 2;
        QTest::newRow("close without open") << QByteArray("}{") << -1;
        QTest::newRow("escaped backslash ends string")
            << QByteArray("{\"a\":\"\\\\\",\"b\":[[]]}") << 3;
    }
    void nestingDepth()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, depth);
        QCOMPARE(JsonParam::nestingDepth(input.constData(), std::size_t(input.size())), depth);
    }

    void getters()
    {
        const auto r = JsonParam::parse(std::string(
            "{\"i\":7,\"big\":4000000000,\"d\":2.5,\"whole\":3.0,\"s\":\"text\",\"b\":true,"
            "\"o\":{\"k\":\"v\"},\"a\":[10,\"x\",{\"z\":1},[5]],\"n\":null}"));
        QVERIFY2(r.ok(), r.error.c_str());
        const JsonObject& o = r.object;

        QCOMPARE(o.getInt("i"), 7);
        QCOMPARE(o.getInt64("big"), std::int64_t(4000000000LL));
        QCOMPARE(o.getInt("big", -1), -1); // does not fit an int
        QCOMPARE(o.getDouble("big"), 4000000000.0);
        QCOMPARE(o.getDouble("i"), 7.0);
        QCOMPARE(o.getInt("d", -1), -1); // fractional
        QCOMPARE(o.getInt("whole", -1), 3);
        QCOMPARE(o.getString("s"), std::string("text"));
        QCOMPARE(o.getQString("s"), QStringLiteral("text"));
        QCOMPARE(o.getBool("b"), true);
        QCOMPARE(o.getObject("o").getString("k"), std::string("v"));
        QCOMPARE(o.type("n"), JsonType::Null);
        QCOMPARE(o.type("a"), JsonType::Array);
        QCOMPARE(o.type("nothing"), JsonType::Missing);

        const JsonArray a = o.getArray("a");
        QCOMPARE(a.size(), 4);
        QCOMPARE(a.getInt(0), 10);
        QCOMPARE(a.getString(1), std::string("x"));
        QCOMPARE(a.getObject(2).getInt("z"), 1);
        QCOMPARE(a.getArray(3).getInt(0), 5);
        QCOMPARE(a.type(4), JsonType::Missing);
        QCOMPARE(a.getInt(-1, 9), 9);
        QCOMPARE(a.toQStringList(), QStringList{QStringLiteral("x")});

        std::vector<std::string> names{"i", "big", "d", "whole", "s", "b", "o", "a", "n"};
        QCOMPARE(o.fieldNames(), names);
    }

    // each typed read of a wrong type gives the default instead of throwing
    void wrongTypeGetters_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("string") << "s";
        QTest::newRow("bool") << "b";
        QTest::newRow("object") << "o";
        QTest::newRow("array") << "a";
        QTest::newRow("null") << "n";
        QTest::newRow("missing") << "zzz";
    }
    void wrongTypeGetters()
    {
        QFETCH(QString, field);
        const auto r = JsonParam::parse(
            std::string("{\"s\":\"1\",\"b\":true,\"o\":{\"x\":1},\"a\":[1],\"n\":null}"));
        QVERIFY(r.ok());
        const std::string f = field.toStdString();
        const JsonObject& o = r.object;
        if (f != "s") {
            QCOMPARE(o.getString(f, "def"), std::string("def"));
            QCOMPARE(o.getQString(f, QStringLiteral("def")), QStringLiteral("def"));
        }
        QCOMPARE(o.getInt(f, -5), -5);
        QCOMPARE(o.getInt64(f, -6), std::int64_t(-6));
        QCOMPARE(o.getDouble(f, -7.5), -7.5);
        if (f != "b")
            QCOMPARE(o.getBool(f, true), true);
        if (f != "o")
            QVERIFY(o.getObject(f).isEmpty());
        if (f != "a")
            QVERIFY(o.getArray(f).isEmpty());
    }

    void unicode()
    {
        const QString text = QStringLiteral("沪深A股 \u00e9 \U0001F600");
        JsonBuilder b;
        b.appendString("名称", text);
        const std::string json = b.toJson();
        const auto r = JsonParam::parse(json);
        QVERIFY2(r.ok(), r.error.c_str());
        QCOMPARE(r.object.getQString("名称"), text);

        // \u escapes decode to UTF-8, including a surrogate pair
        const auto e = JsonParam::parse(std::string("{\"a\":\"\\u6caa\\u6df1\"}"));
        QVERIFY2(e.ok(), e.error.c_str());
        QCOMPARE(e.object.getQString("a"), QStringLiteral("沪深"));
    }

    void builderWritesStrictJsonInOrder()
    {
        JsonArrayBuilder arr;
        arr.appendInt(1).appendString("two").appendBool(false);
        JsonBuilder inner;
        inner.appendInt("k", 3);
        JsonBuilder b;
        b.appendInt("index", 5)
            .appendString("CODE", "600000.SH")
            .appendDouble("w", 0.25)
            .appendBool("on", true)
            .appendObject("sub", inner.obj())
            .appendArray("list", arr)
            .appendStringArray("names", {QStringLiteral("a"), QStringLiteral("b")});
        QCOMPARE(
            b.toJson(),
            std::string("{ \"index\" : 5, \"CODE\" : \"600000.SH\", \"w\" : 0.25, \"on\" : true, "
                        "\"sub\" : { \"k\" : 3 }, \"list\" : [ 1, \"two\", false ], "
                        "\"names\" : [ \"a\", \"b\" ] }"));
        // a snapshot leaves the builder usable
        b.appendInt("more", 1);
        QCOMPARE(b.obj().fieldCount(), 8);
        QCOMPARE(JsonObject().toJson(), std::string("{}"));
    }

    // shortest text that reads back as the same double
    void writeDoubles_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("integral keeps its type") << 80.0 << "80.0";
        QTest::newRow("negative zero") << -0.0 << "-0.0";
        QTest::newRow("17 digits") << 0.30000000000000004 << "0.30000000000000004";
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("large") << 1e300 << "1e+300";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "Infinity";
    }
    void writeDoubles()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        JsonBuilder b;
        b.appendDouble("v", value);
        QCOMPARE(b.toQString(), QStringLiteral("{ \"v\" : ") + text + QStringLiteral(" }"));
        const auto back = JsonParam::parse(b.toJson());
        QVERIFY2(back.ok(), back.error.c_str());
        QCOMPARE(back.object.type("v"), JsonType::Double);
        QCOMPARE(back.object.getDouble("v"), value);
    }

    void int64KeepsItsValue()
    {
        JsonArrayBuilder arr;
        arr.appendInt64(7).appendInt64(-18888888888LL);
        JsonBuilder b;
        b.appendInt64("small", 5).appendInt64("big", 18888888888LL).appendArray("a", arr);
        QCOMPARE(
            b.toJson(),
            std::string("{ \"small\" : 5, \"big\" : 18888888888, \"a\" : [ 7, -18888888888 ] }"));
        const auto r = JsonParam::parse(b.toJson());
        QVERIFY2(r.ok(), r.error.c_str());
        QVERIFY(r.object == b.obj()); // the small one is stored as an int on both sides
        QCOMPARE(r.object.type("small"), JsonType::Int);
        QCOMPARE(r.object.type("big"), JsonType::Int64);
        QCOMPARE(r.object.getInt64("big"), std::int64_t(18888888888LL));
        QCOMPARE(r.object.getArray("a").getInt64(1), std::int64_t(-18888888888LL));
    }

    void builderDropsNulNames()
    {
        JsonBuilder b;
        b.appendInt(std::string("a\0b", 3), 1).appendInt("ok", 2);
        QCOMPARE(b.obj().fieldNames(), std::vector<std::string>{"ok"});
    }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("ints") << QByteArray("{\"a\":1,\"b\":-2147483648,\"c\":2147483647}");
        // found by the fuzzer: the library's {"$numberLong": "18888888888"} reads back as a double
        QTest::newRow("int64 written plainly")
            << QByteArray("{\"a\":18888888888,\"b\":[-3000000000]}");
        QTest::newRow("int64") << QByteArray(
            "{\"a\":9223372036854775807,\"b\":-9223372036854775808}");
        QTest::newRow("doubles") << QByteArray(
            "{\"a\":0.1,\"b\":1e300,\"c\":-2.5,\"d\":0.30000000000000004}");
        QTest::newRow("integral doubles")
            << QByteArray("{\"a\":1.0,\"b\":-0.0,\"c\":1e20,\"d\":2.2250738585072014e-308}");
        QTest::newRow("non-finite") << QByteArray("{\"a\":NaN,\"b\":Infinity,\"c\":-Infinity}");
        QTest::newRow("strings") << QByteArray(
            "{\"a\":\"q\\\"\\\\/\\n\\t\\u0001\",\"b\":\"\\u0000x\"}");
        QTest::newRow("nested") << QByteArray(
            "{\"a\":{\"b\":[{\"c\":[]},{}]},\"d\":null,\"e\":false}");
        QTest::newRow("unicode") << QByteArray("{\"名\":\"沪深A股\",\"e\":\"\\ud83d\\ude00\"}");
    }
    void roundTrip()
    {
        QFETCH(QByteArray, input);
        const auto first = JsonParam::parse(input.toStdString());
        QVERIFY2(first.ok(), first.error.c_str());
        const std::string written = first.object.toJson();
        const auto second = JsonParam::parse(written);
        QVERIFY2(second.ok(), (second.error + " in " + written).c_str());
        QVERIFY2(first.object == second.object, written.c_str());
        QCOMPARE(second.object.toJson(), written);
    }

    // every seed of the fuzzer, including its past crashers, keeps the round-trip property
    void fuzzCorpus_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(QStringLiteral(TT_FUZZ_CORPUS));
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        QVERIFY(files.contains(QStringLiteral("regress-int64")));
        for (const QString& f : files)
            QTest::newRow(qPrintable(f)) << dir.filePath(f);
    }
    void fuzzCorpus()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        const auto first = JsonParam::parse(data.constData(), std::size_t(data.size()));
        QVERIFY2(first.ok(), first.error.c_str());
        const auto second = JsonParam::parse(first.object.toJson());
        QVERIFY2(second.ok(), second.error.c_str());
        QVERIFY(first.object == second.object);
        QCOMPARE(second.object.toJson(), first.object.toJson());
    }

    void movedFromStaysValid()
    {
        auto r = JsonParam::parse(std::string("{\"a\":1}"));
        JsonObject moved = std::move(r.object);
        QCOMPARE(moved.getInt("a"), 1);
        QVERIFY(r.object.isEmpty()); // NOLINT: a moved-from object is specified empty
        QCOMPARE(r.object.toJson(), std::string("{}"));
    }
};

QTEST_GUILESS_MAIN(TstJsonParam)
#include "tst_jsonparam.moc"
