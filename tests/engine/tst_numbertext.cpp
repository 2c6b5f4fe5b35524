// Number text as the windows, reports and command line show and read it.

#include "core/ConversionError.h"
#include "core/NumberText.h"

#include <QTest>

#include <cmath>

using namespace kelmo;

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void general_data();
    void general();
    void fixed_data();
    void fixed();
    void parse_data();
    void parse();
    void parseFieldNamesTheField();
    void typedNumber_data();
    void typedNumber();
    void roundTrip();
    void distance_data();
    void distance();
    void walkOfAnOddStepShowsNoNoise();
};

void TestNumberText::general_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("single");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ru decimal comma") << "ru_RU" << 12.5 << false << "12,5";
    QTest::newRow("en point") << "en_US" << 12.5 << false << "12.5";
    QTest::newRow("no grouping") << "ru_RU" << 1234567.25 << false << "1234567,25";
    QTest::newRow("no trailing zeros") << "ru_RU" << 325.0 << false << "325";
    QTest::newRow("15 digits") << "en_US" << 1.0 / 3.0 << false << "0.333333333333333";
    QTest::newRow("single 7 digits") << "en_US" << double(1.0f / 3.0f) << true << "0.3333333";
    QTest::newRow("single keeps 167") << "ru_RU" << 167.0 << true << "167";
    QTest::newRow("single probit") << "ru_RU" << double(5.25f) << true << "5,25";
}

void TestNumberText::general() {
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(bool, single);
    QFETCH(QString, expected);
    const QLocale l(locale);
    QCOMPARE(single ? numtext::generalSingle(float(value), l) : numtext::general(value, l),
             expected);
}

void TestNumberText::fixed_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");

    QTest::newRow("0.0") << 10.54 << 1 << "10,5";
    QTest::newRow("0.00") << 12.404 << 2 << "12,40";
    QTest::newRow("0.000") << 1033.6 << 3 << "1033,600";
    QTest::newRow("0.0000") << 0.00012 << 4 << "0,0001";
    QTest::newRow("big, no grouping") << 123456.0 << 1 << "123456,0";
    QTest::newRow("tiny negative has no sign") << -0.00001 << 3 << "0,000";
    QTest::newRow("negative") << -16.114 << 2 << "-16,11";
}

void TestNumberText::fixed() {
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(numtext::fixed(value, decimals, QLocale("ru_RU")), expected);
}

void TestNumberText::parse_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");

    QTest::newRow("ru comma") << "ru_RU"
                              << "12,5" << true << 12.5;
    QTest::newRow("ru point too") << "ru_RU"
                                  << "12.5" << true << 12.5;
    QTest::newRow("en point") << "en_US"
                              << "12.5" << true << 12.5;
    QTest::newRow("en comma too") << "en_US"
                                  << "12,5" << true << 12.5;
    QTest::newRow("C comma too") << "C"
                                 << "1000,5" << true << 1000.5;
    QTest::newRow("en comma negative exponent") << "en_US"
                                                << "-2,5e3" << true << -2500.0;
    QTest::newRow("en grouped with both is no number") << "en_US"
                                                       << "1,000.5" << false << 0.0;
    QTest::newRow("C two commas") << "C"
                                  << "1,2,3" << false << 0.0;
    QTest::newRow("de point is decimal, not grouping") << "de_DE"
                                                       << "1.000" << true << 1.0;
    QTest::newRow("blanks around") << "ru_RU"
                                   << "  70 " << true << 70.0;
    QTest::newRow("negative") << "ru_RU"
                              << "-3,5" << true << -3.5;
    QTest::newRow("exponent") << "en_US"
                              << "1e6" << true << 1e6;
    QTest::newRow("empty") << "ru_RU"
                           << "" << false << 0.0;
    QTest::newRow("letters") << "ru_RU"
                             << "abc" << false << 0.0;
    QTest::newRow("number then text") << "ru_RU"
                                      << "12кг" << false << 0.0;
    QTest::newRow("two separators") << "ru_RU"
                                    << "1,2,3" << false << 0.0;
    QTest::newRow("inf") << "en_US"
                         << "inf" << false << 0.0;
    QTest::newRow("nan") << "en_US"
                         << "nan" << false << 0.0;
    // Plain texts are read without the locale; these are the edges of what counts as plain, and
    // each must read as the locale's reading does.
    QTest::newRow("plus sign") << "ru_RU"
                               << "+5" << true << 5.0;
    QTest::newRow("leading zeros") << "ru_RU"
                                   << "007" << true << 7.0;
    QTest::newRow("point at the end") << "ru_RU"
                                      << "5." << true << 5.0;
    QTest::newRow("point first") << "ru_RU"
                                 << ".5" << true << 0.5;
    QTest::newRow("comma first, negative") << "en_US"
                                           << "-,5" << true << -0.5;
    QTest::newRow("exponent with plus") << "ru_RU"
                                        << "1E+05" << true << 1e5;
    QTest::newRow("comma and exponent") << "C"
                                        << "12,5e3" << true << 12500.0;
    QTest::newRow("overflow") << "ru_RU"
                              << "1e400" << false << 0.0;
    QTest::newRow("underflow") << "ru_RU"
                               << "1e-400" << false << 0.0;
    QTest::newRow("minus sign character") << "ru_RU"
                                          << "−5" << true << -5.0;
    QTest::newRow("the locale's own digits") << "ar_EG"
                                             << "١٢" << true << 12.0;
    QTest::newRow("another locale's digits") << "ru_RU"
                                             << "١٢" << false << 0.0;
    QTest::newRow("seventeen digits") << "C"
                                      << "0.10000000000000001" << true << 0.1;
}

void TestNumberText::parse() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const auto v = numtext::parse(text, QLocale(locale));
    QCOMPARE(v.has_value(), ok);
    if (ok) {
        QCOMPARE(*v, value);
    }
}

void TestNumberText::parseFieldNamesTheField() {
    try {
        numtext::parseField("сто", "Масса заряда, кг", QLocale("ru_RU"));
        QFAIL("should throw");
    } catch (const ConversionError& e) {
        QCOMPARE(e.field(), QString("Масса заряда, кг"));
        QVERIFY(QString::fromUtf8(e.what()).contains("Масса заряда, кг"));
        QVERIFY(QString::fromUtf8(e.what()).contains("сто"));
    }
}

// What the user typed comes back with the separator of the locale the rest of the screen uses.
void TestNumberText::typedNumber_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("comma in a point locale") << "C"
                                             << "1000,5"
                                             << "1000.5";
    QTest::newRow("point in a comma locale") << "ru_RU"
                                             << "1000.5"
                                             << "1000,5";
    QTest::newRow("own separator kept") << "ru_RU"
                                        << "1000,5"
                                        << "1000,5";
    QTest::newRow("typed zeros kept") << "en_US"
                                      << "1000,50"
                                      << "1000.50";
    QTest::newRow("whole number") << "C"
                                  << "4520"
                                  << "4520";
    QTest::newRow("exponent") << "ru_RU"
                              << "-1.5e3"
                              << "-1,5e3";
    QTest::newRow("blanks trimmed") << "C"
                                    << " 2,5 "
                                    << "2.5";
    QTest::newRow("not a number stays") << "C"
                                        << "1,2,3"
                                        << "1,2,3";
    QTest::newRow("empty stays") << "ru_RU"
                                 << ""
                                 << "";
}

void TestNumberText::typedNumber() {
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(numtext::typedNumber(typed, QLocale(locale)), expected);
}

void TestNumberText::roundTrip() {
    const double d = 0.1 + 0.2;
    QCOMPARE(numtext::roundTrip(d).toDouble(), d);
    QCOMPARE(numtext::roundTripSingle(167.0f), QString("167"));
    QCOMPARE(numtext::roundTripSingle(12.4f), QString("12.4"));
}

// Distances of a walk by repeated addition carry float noise; they are shown to the decimals
// of the step.
void TestNumberText::distance_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("expected");
    QTest::newRow("noise below") << "en_US" << 49.469999999999 << 0.37 << "49.47";
    QTest::newRow("noise above") << "en_US" << 410.220000000004 << 0.37 << "410.22";
    QTest::newRow("noise, comma") << "ru_RU" << 83.8800000000001 << 0.01 << "83,88";
    QTest::newRow("whole step") << "ru_RU" << 325.0 << 1.0 << "325";
    QTest::newRow("trailing zero dropped") << "en_US" << 1.5000000001 << 0.25 << "1.5";
    QTest::newRow("first distance") << "en_US" << 1.0 << 0.37 << "1";
    QTest::newRow("at most 6 decimals") << "en_US" << 2.1234567891 << 1e-9 << "2.123457";
    QTest::newRow("large, no grouping") << "ru_RU" << 12345.0000001 << 0.5 << "12345";
}

void TestNumberText::distance() {
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(double, step);
    QFETCH(QString, expected);
    QCOMPARE(numtext::distance(value, step, QLocale(locale)), expected);
}

void TestNumberText::walkOfAnOddStepShowsNoNoise() {
    // The walk as the zone run makes it: 1, 1 + s, 1 + s + s, …
    double r = 1;
    for (int i = 0; i < 5000; ++i) {
        const QString text = numtext::distance(r, 0.37, QLocale::c());
        const qsizetype point = text.indexOf(u'.');
        QVERIFY2(point < 0 || text.size() - point - 1 <= 2, qPrintable(text));
        QCOMPARE(text.toDouble(), std::round(r * 100) / 100);
        r = r + 0.37;
    }
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
