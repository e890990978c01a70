#include "host/data/JsonParam.h"

#include <QJsonDocument>
#include <QJsonParseError>
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

// {"a":[[...value...]]} with the value inside `arrays` arrays
QByteArray inArrays(int arrays, const char* value)
{
    return "{\"a\":" + QByteArray(arrays, '[') + value + QByteArray(arrays, ']') + "}";
}

QString strictJsonError(const std::string& text)
{
    QJsonParseError error;
    QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    return error.error == QJsonParseError::NoError ? QString() : error.errorString();
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
        // the parser reads NumberInt's argument as a long and truncates it to an int
        QTest::newRow("NumberInt past int max")
            << QByteArray("{\"a\":NumberInt(2147483648)}") << "NumberInt out of the int range";
        QTest::newRow("NumberInt below int min")
            << QByteArray("{\"a\":NumberInt(-2147483649)}") << "NumberInt out of the int range";
        QTest::newRow("NumberInt wrapping to zero")
            << QByteArray("{\"b\":1,\"a\":NumberInt( 4294967296 )}")
            << "NumberInt out of the int range at offset 11";
        // a timestamp is written as {"$timestamp":{...}}: two levels more than it was read
        QTest::newRow("timestamp written past depth 64")
            << inArrays(62, "Timestamp(1,2)") << "nesting deeper than 64 when written";
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
        QTest::newRow("timestamp written at depth 64") << inArrays(61, "Timestamp(1,2)") << 1;
        QTest::newRow("NumberInt in a string")
            << QByteArray("{\"a\":\"NumberInt(2147483648)\"}") << 1;
        QTest::newRow("NumberInt as a name") << QByteArray("{NumberInt:4294967296}") << 1;
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
        QTest::newRow("strings") << QByteArray(
            "{\"a\":\"q\\\"\\\\/\\n\\t\\u0001\",\"b\":\"\\u0000x\"}");
        QTest::newRow("nested") << QByteArray(
            "{\"a\":{\"b\":[{\"c\":[]},{}]},\"d\":null,\"e\":false}");
        QTest::newRow("unicode") << QByteArray("{\"名\":\"沪深A股\",\"e\":\"\\ud83d\\ude00\"}");
        // the parser encodes each half of an escaped pair alone; the guard joins them first
        QTest::newRow("surrogate pairs")
            << QByteArray("{\"\\uD83D\\uDE00\":'\\ud83d\\ude00 x \\u00e9\\ud834\\udd1e'}");
        QTest::newRow("escaped backslash before u") << QByteArray("{\"a\":\"\\\\ud83d\\\\ude00\"}");
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

    // JSON has no NaN or Infinity and is UTF-8: what the parser takes beyond that is written
    // as null and U+FFFD, in text a strict parser reads and that writes back unchanged
    void writesStrictJson_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("NaN") << QByteArray("{\"a\":NaN}") << QByteArray("{ \"a\" : null }");
        QTest::newRow("negative NaN, fuzz crasher")
            << QByteArray("{\"c\":-NaN}") << QByteArray("{ \"c\" : null }");
        QTest::newRow("infinities") << QByteArray("{\"a\":Infinity,\"b\":[-Infinity]}")
                                    << QByteArray("{ \"a\" : null, \"b\" : [ null ] }");
        QTest::newRow("stray byte")
            << QByteArray("{\"a\":\"x\xffy\"}") << QByteArray("{ \"a\" : \"x\xEF\xBF\xBDy\" }");
        QTest::newRow("truncated sequence in a name")
            << QByteArray("{\"\xe6\xb2\":1}") << QByteArray("{ \"\xEF\xBF\xBD\" : 1 }");
        QTest::newRow("overlong slash") << QByteArray("{\"a\":\"\xc0\xaf\"}")
                                        << QByteArray("{ \"a\" : \"\xEF\xBF\xBD\xEF\xBF\xBD\" }");
        QTest::newRow("past U+10FFFF")
            << QByteArray("{\"a\":\"\xf4\x90\x80\x80\"}")
            << QByteArray("{ \"a\" : \"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\" }");
        // the parser encodes a lone surrogate escape as the three bytes of a surrogate
        QTest::newRow("lone surrogate escape")
            << QByteArray("{\"a\":\"\\ud800!\"}")
            << QByteArray("{ \"a\" : \"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!\" }");
        QTest::newRow("well-formed kept")
            << QByteArray("{\"a\":\"\xf0\x9f\x98\x80\xe6\xb2\xaa\xc3\xa9\x7f\"}")
            << QByteArray("{ \"a\" : \"\xf0\x9f\x98\x80\xe6\xb2\xaa\xc3\xa9\x7f\" }");
        QTest::newRow("control characters")
            << QByteArray("{\"a\":\"\\u0001\\u001f\\b\\f\\n\\r\\t\\\"\\\\\"}")
            << QByteArray("{ \"a\" : \"\\u0001\\u001f\\b\\f\\n\\r\\t\\\"\\\\\" }");
        QTest::newRow("NumberInt at the int range's ends")
            << QByteArray("{\"a\":NumberInt(2147483647),\"b\":NumberInt(-2147483648)}")
            << QByteArray("{ \"a\" : 2147483647, \"b\" : -2147483648 }");
    }
    void writesStrictJson()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, written);
        const auto first = JsonParam::parse(input.constData(), std::size_t(input.size()));
        QVERIFY2(first.ok(), first.error.c_str());
        const std::string text = first.object.toJson();
        QCOMPARE(QByteArray::fromStdString(text), written);
        QCOMPARE(strictJsonError(text), QString());
        const auto second = JsonParam::parse(text);
        QVERIFY2(second.ok(), second.error.c_str());
        QCOMPARE(second.object.toJson(), text);
    }

    // the builder holds objects to the depth the parser reads: nesting 40000 levels stops at
    // the limit with the nesting value refused, so deep nesting neither crashes the writer
    // nor writes what cannot be read back
    void builderRefusesNestingPastReadLimit_data()
    {
        QTest::addColumn<bool>("arrays");
        QTest::newRow("objects") << false;
        QTest::newRow("arrays") << true;
    }
    void builderRefusesNestingPastReadLimit()
    {
        QFETCH(bool, arrays);
        const int levels = 40000;
        JsonObject deepest;
        JsonArray deepestArray;
        int accepted = 0;
        std::string firstError;
        bool ok = true;
        for (int i = 0; i < levels && ok; ++i) {
            if (arrays) {
                JsonArrayBuilder b;
                b.appendArray(deepestArray);
                ok = b.ok();
                if (ok)
                    deepestArray = b.array();
                else
                    firstError = b.error();
            } else {
                JsonBuilder b;
                b.appendObject("a", deepest);
                ok = b.ok();
                if (ok)
                    deepest = b.obj();
                else
                    firstError = b.error();
            }
            accepted += ok ? 1 : 0;
        }
        QCOMPARE(accepted, JsonParam::kMaxDepth - 1); // the innermost value is one level
        QVERIFY2(firstError.find("nesting deeper than 64") != std::string::npos,
                 firstError.c_str());

        const std::string written = arrays ? deepestArray.toJson() : deepest.toJson();
        QCOMPARE(JsonParam::nestingDepth(written.data(), written.size(), 1000),
                 JsonParam::kMaxDepth);
        if (!arrays) {
            const auto back = JsonParam::parse(written);
            QVERIFY2(back.ok(), back.error.c_str());
            QVERIFY(back.object == deepest);
        }
    }

    // a field that would take the object past 16 MiB is refused alone; the rest stays
    void builderRefusesFieldPastSizeLimit_data()
    {
        QTest::addColumn<int>("firstSize");
        QTest::addColumn<int>("secondSize");
        QTest::addColumn<QStringList>("kept");
        const int mib = 1024 * 1024;
        const QString small = QStringLiteral("small"), first = QStringLiteral("first"),
                      second = QStringLiteral("second"), after = QStringLiteral("after");
        QTest::newRow("one field over 16 MiB")
            << 16 * mib + 1 << 0 << QStringList{small, second, after};
        QTest::newRow("two that add up past 16 MiB")
            << 9 * mib << 9 * mib << QStringList{small, first, after};
        QTest::newRow("two that fit")
            << 8 * mib << 7 * mib << QStringList{small, first, second, after};
    }
    void builderRefusesFieldPastSizeLimit()
    {
        QFETCH(int, firstSize);
        QFETCH(int, secondSize);
        QFETCH(QStringList, kept);
        JsonBuilder b;
        b.appendInt("small", 1)
            .appendString("first", std::string(std::size_t(firstSize), 'x'))
            .appendString("second", std::string(std::size_t(secondSize), 'y'))
            .appendInt("after", 2);
        const bool refused = kept.size() < 4;
        QCOMPARE(b.ok(), !refused);
        if (refused) {
            const QString error = QString::fromStdString(b.error());
            QVERIFY2(error.contains(QStringLiteral("16 MiB")), qPrintable(error));
            QVERIFY2(!kept.contains(error.section('"', 1, 1)), qPrintable(error));
        }
        const JsonObject o = b.obj();
        QStringList names;
        for (const std::string& n : o.fieldNames())
            names << QString::fromStdString(n);
        QCOMPARE(names, kept);
        QCOMPARE(o.getInt("small"), 1);
        QCOMPARE(o.getInt("after"), 2);
    }

    // an array builder refuses the same way, and a builder taking that array reports it
    void arrayBuilderRefusalCarriesOver()
    {
        JsonArrayBuilder a;
        a.appendString("kept").appendString(std::string(JsonParam::kMaxBytes, 'x')).appendInt(3);
        QVERIFY(!a.ok());
        QCOMPARE(a.size(), 2);
        QCOMPARE(a.array().getString(0), std::string("kept"));
        QCOMPARE(a.array().getInt(1), 3);
        JsonBuilder b;
        b.appendArray("list", a);
        QVERIFY(!b.ok());
        QVERIFY2(b.error().find("list") != std::string::npos, b.error().c_str());
        QCOMPARE(b.obj().getArray("list").size(), 2);
    }

    // lookups by name go through an index built once per object; the semantics stay those of
    // a scan in order: the first of duplicate names wins, an unknown name is missing
    void lookupByName_data()
    {
        QTest::addColumn<int>("fields");
        QTest::newRow("3, scanned") << 3;
        QTest::newRow("17, indexed") << 17;
        QTest::newRow("50000") << 50000;
    }
    void lookupByName()
    {
        QFETCH(int, fields);
        JsonBuilder b;
        for (int i = 0; i < fields; ++i)
            b.appendInt("f" + std::to_string(i), i);
        b.appendInt("f0", -1).appendInt("f" + std::to_string(fields - 1), -2);
        const auto parsed = JsonParam::parse(b.toJson());
        QVERIFY2(parsed.ok(), parsed.error.c_str());
        for (const JsonObject& o : {b.obj(), parsed.object}) {
            QCOMPARE(o.fieldCount(), fields + 2);
            int mismatches = 0;
            for (int i = 0; i < fields; ++i)
                mismatches += o.getInt("f" + std::to_string(i), -9) != i;
            QCOMPARE(mismatches, 0);
            QCOMPARE(o.type("f" + std::to_string(fields)), JsonType::Missing);
            QCOMPARE(o.getInt("f", -9), -9);
            QVERIFY(!o.has(std::string("f0\0", 3)));
            QVERIFY(!o.has(std::string()));
        }
    }

    // arrays are read by position the same way
    void arrayByIndex()
    {
        const int n = 50000;
        JsonArrayBuilder a;
        for (int i = 0; i < n; ++i)
            a.appendInt(i);
        const JsonArray arr = a.array();
        QCOMPARE(arr.size(), n);
        int mismatches = 0;
        for (int i = 0; i < n; ++i)
            mismatches += arr.getInt(i, -9) != i;
        QCOMPARE(mismatches, 0);
        QCOMPARE(arr.type(n), JsonType::Missing);
        QCOMPARE(arr.type(-1), JsonType::Missing);
    }

    // every seed of the fuzzer, including its past crashers, writes strict JSON that reads back
    // and writes again unchanged
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
        const std::string written = first.object.toJson();
        QCOMPARE(strictJsonError(written), QString());
        const auto second = JsonParam::parse(written);
        QVERIFY2(second.ok(), second.error.c_str());
        QCOMPARE(second.object.toJson(), written);
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
