// The number conversion that reads settings lines and frame-number boxes.
#include <QtTest>

#include <string>

#include "platform/errors.h"
#include "platform/number.h"

using namespace dotreel;

Q_DECLARE_METATYPE(std::string)

class TestNumber : public QObject {
    Q_OBJECT

private slots:
    void convertsDecimalTextToInteger16_data();
    void convertsDecimalTextToInteger16();
    void rejectsTextThatIsNoNumber_data();
    void rejectsTextThatIsNoNumber();
    void reportsOverflowOutsideInteger16_data();
    void reportsOverflowOutsideInteger16();
    void toNumberKeepsTheFraction();
    void roundHalfEvenOnDoubles_data();
    void roundHalfEvenOnDoubles();
    void roundToInteger32Limits();
};

void TestNumber::convertsDecimalTextToInteger16_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << std::string("12") << 12;
    QTest::newRow("zero") << std::string("0") << 0;
    QTest::newRow("leading zeros") << std::string("007") << 7;
    QTest::newRow("many leading zeros") << std::string("0000000000000000000042") << 42;
    QTest::newRow("blanks around") << std::string("  12  ") << 12;
    QTest::newRow("tabs around") << std::string("\t12\t") << 12;
    QTest::newRow("plus sign") << std::string("+5") << 5;
    QTest::newRow("minus sign") << std::string("-5") << -5;
    QTest::newRow("blank then sign") << std::string(" -5 ") << -5;
    QTest::newRow("minus zero") << std::string("-0") << 0;
    QTest::newRow("fraction down") << std::string("12.4") << 12;
    QTest::newRow("fraction up") << std::string("12.6") << 13;
    QTest::newRow("half to even down") << std::string("12.5") << 12;
    QTest::newRow("half to even up") << std::string("13.5") << 14;
    QTest::newRow("2.5 -> 2") << std::string("2.5") << 2;
    QTest::newRow("3.5 -> 4") << std::string("3.5") << 4;
    QTest::newRow("0.5 -> 0") << std::string("0.5") << 0;
    QTest::newRow("-0.5 -> 0") << std::string("-0.5") << 0;
    QTest::newRow("-1.5 -> -2") << std::string("-1.5") << -2;
    QTest::newRow("-2.5 -> -2") << std::string("-2.5") << -2;
    QTest::newRow("half with trailing zeros") << std::string("2.5000") << 2;
    QTest::newRow("just above a half") << std::string("2.5000000000000000001") << 3;
    QTest::newRow("just below a half") << std::string("1.49999999999999999999") << 1;
    QTest::newRow("point without fraction") << std::string("5.") << 5;
    QTest::newRow("fraction without whole") << std::string(".6") << 1;
    QTest::newRow("signed fraction without whole") << std::string("-.6") << -1;
    QTest::newRow("largest") << std::string("32767") << 32767;
    QTest::newRow("smallest") << std::string("-32768") << -32768;
    QTest::newRow("32767.4 rounds into range") << std::string("32767.4") << 32767;
    QTest::newRow("32767.49999... stays in range")
        << std::string("32767.49999999999999999") << 32767;
    QTest::newRow("-32768.5 rounds to even -32768") << std::string("-32768.5") << -32768;
    QTest::newRow("-32767.5 rounds to even -32768") << std::string("-32767.5") << -32768;
}

void TestNumber::convertsDecimalTextToInteger16() {
    QFETCH(std::string, text);
    QFETCH(int, expected);
    QCOMPARE(static_cast<int>(toInteger16(text)), expected);
}

void TestNumber::rejectsTextThatIsNoNumber_data() {
    QTest::addColumn<std::string>("text");
    QTest::newRow("empty") << std::string();
    QTest::newRow("blanks only") << std::string("   ");
    QTest::newRow("letters") << std::string("abc");
    QTest::newRow("two numbers") << std::string("1 2");
    QTest::newRow("hexadecimal prefix") << std::string("0x10");
    QTest::newRow("exponent") << std::string("1e3");
    QTest::newRow("point only") << std::string(".");
    QTest::newRow("minus only") << std::string("-");
    QTest::newRow("plus only") << std::string("+");
    QTest::newRow("two signs") << std::string("+-1");
    QTest::newRow("two points") << std::string("1.2.3");
    QTest::newRow("trailing letter") << std::string("12a");
    QTest::newRow("infinity") << std::string("inf");
    QTest::newRow("not a number") << std::string("nan");
    QTest::newRow("comma as point") << std::string("1,5");
    QTest::newRow("full-width digits") << std::string("１２");
    QTest::newRow("sign after blank inside") << std::string("- 5");
}

void TestNumber::rejectsTextThatIsNoNumber() {
    QFETCH(std::string, text);
    try {
        toInteger16(text);
        QFAIL("no error");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::TypeMismatch);
        QVERIFY(!e.description().empty());
    }
    try {
        toNumber(text);
        QFAIL("no error from toNumber");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::TypeMismatch);
    }
}

void TestNumber::reportsOverflowOutsideInteger16_data() {
    QTest::addColumn<std::string>("text");
    QTest::newRow("32768") << std::string("32768");
    QTest::newRow("-32769") << std::string("-32769");
    QTest::newRow("32767.5 rounds to 32768") << std::string("32767.5");
    QTest::newRow("32767.6") << std::string("32767.6");
    QTest::newRow("-32768.6") << std::string("-32768.6");
    QTest::newRow("-32768.50...01 is nearer -32769") << std::string("-32768.50000000000000001");
    QTest::newRow("100000") << std::string("100000");
    QTest::newRow("twenty digits") << std::string("99999999999999999999");
    QTest::newRow("beyond a double") << std::string(400, '9');
    QTest::newRow("negative beyond a double") << "-" + std::string(400, '9') + ".5";
}

void TestNumber::reportsOverflowOutsideInteger16() {
    QFETCH(std::string, text);
    try {
        toInteger16(text);
        QFAIL("no error");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::Overflow);
    }
}

void TestNumber::toNumberKeepsTheFraction() {
    QCOMPARE(toNumber(" 12.25 "), 12.25);
    QCOMPARE(toNumber("+3"), 3.0);
    QCOMPARE(toNumber("-0.5"), -0.5);
    // A number too small for a double is 0, not an error.
    QCOMPARE(toNumber("0." + std::string(400, '0') + "1"), 0.0);
    try {
        toNumber("1" + std::string(400, '0'));
        QFAIL("no error");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::Overflow);
    }
}

void TestNumber::roundHalfEvenOnDoubles_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("-0.5") << -0.5 << 0.0;
    QTest::newRow("-1.5") << -1.5 << -2.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("2.4") << 2.4 << 2.0;
    QTest::newRow("2.6") << 2.6 << 3.0;
    QTest::newRow("-2.6") << -2.6 << -3.0;
    QTest::newRow("whole") << 7.0 << 7.0;
}

void TestNumber::roundHalfEvenOnDoubles() {
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(roundHalfEven(value), expected);
}

void TestNumber::roundToInteger32Limits() {
    QCOMPARE(roundToInteger32(2147483647.0), 2147483647);
    QCOMPARE(roundToInteger32(-2147483648.0), static_cast<int32_t>(-2147483647 - 1));
    QCOMPARE(roundToInteger32(130784.5), 130784);
    QVERIFY_THROWS_EXCEPTION(PlatformError, roundToInteger32(2147483647.5));
    QVERIFY_THROWS_EXCEPTION(PlatformError, roundToInteger32(-2147483649.0));
}

QTEST_GUILESS_MAIN(TestNumber)
#include "test_number.moc"
