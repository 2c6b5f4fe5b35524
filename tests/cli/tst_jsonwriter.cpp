// The JSON that kelmo-calc prints: strings escaped, numbers in their shortest exact form, commas
// only between elements.

#include "cli/JsonWriter.h"

#include <QTest>

#include <cmath>
#include <limits>

using kelmo::cli::JsonWriter;

class TestJsonWriter : public QObject {
    Q_OBJECT

private slots:
    void strings_data();
    void strings();
    void numbersAndNesting();
};

void TestJsonWriter::strings_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("plain") << QStringLiteral("Здания") << QByteArray(R"({"s":"Здания"})");
    QTest::newRow("quote and backslash")
        << QStringLiteral("a\"b\\c") << QByteArray(R"({"s":"a\"b\\c"})");
    QTest::newRow("named controls")
        << QStringLiteral("1\n2\t3\r") << QByteArray(R"({"s":"1\n2\t3\r"})");
    QTest::newRow("other controls")
        << QString(QChar(1)) + QChar(0x1f) << QByteArray(R"({"s":"\u0001\u001f"})");
    QTest::newRow("escape at both ends")
        << QStringLiteral("\"Цех\"") << QByteArray(R"({"s":"\"Цех\""})");
    QTest::newRow("empty") << QString() << QByteArray(R"({"s":""})");
}

void TestJsonWriter::strings() {
    QFETCH(QString, value);
    QFETCH(QByteArray, json);
    JsonWriter w;
    w.beginObject();
    w.string("s", value);
    w.endObject();
    QCOMPARE(w.text(), json);
}

void TestJsonWriter::numbersAndNesting() {
    JsonWriter w;
    w.beginObject();
    w.number("d", 0.1);
    w.integer("i", -42);
    w.key("f");
    w.singleNumber(167.0f);
    w.number("inf", std::numeric_limits<double>::infinity());
    w.null("n");
    w.numbers("a", {1.5, 1e-300});
    w.beginArray("rows");
    for (int i = 0; i < 2; ++i) {
        w.beginObject();
        w.integer("k", i);
        w.endObject();
    }
    w.endArray();
    w.singleNumbers("e", {});
    w.endObject();
    QCOMPARE(w.text(), QByteArray(R"({"d":0.1,"i":-42,"f":167,"inf":null,"n":null,)"
                                  R"("a":[1.5,1e-300],"rows":[{"k":0},{"k":1}],"e":[]})"));
}

QTEST_APPLESS_MAIN(TestJsonWriter)
#include "tst_jsonwriter.moc"
