// The settings file's fields: the verdict on a line or box text, the reading of the file's
// lines, and its text as saved.
#include <QtTest>

#include <string>

#include "files/settingsfile.h"

using namespace dotreel;

Q_DECLARE_METATYPE(SettingsField)
Q_DECLARE_METATYPE(SettingsProblem)

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void verdictOnOneText_data() {
        QTest::addColumn<SettingsField>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<SettingsProblem>("problem");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("stopsStartUp");
        QTest::addColumn<QString>("range");  // the range it breaks
        using F = SettingsField;
        using P = SettingsProblem;
        QTest::newRow("blanks, leading zeros")
            << F::Start << " 007 " << P::None << 7 << false << "";
        QTest::newRow("half to even") << F::End << "12.5" << P::None << 12 << false << "";
        QTest::newRow("no number") << F::End << "abc" << P::NotANumber << 0 << true << "";
        QTest::newRow("empty interval") << F::Interval << "" << P::NotANumber << 0 << true << "";
        QTest::newRow("frame overflow")
            << F::Start << "40000" << P::Overflow << 0 << true << "-32768..32767";
        QTest::newRow("interval overflow")
            << F::Interval << "40000" << P::Overflow << 0 << true << "1..1000";
        QTest::newRow("frame 268")
            << F::Start << "268" << P::OutOfRange << 268 << false << "0..267";
        QTest::newRow("frame -1") << F::End << "-1" << P::OutOfRange << -1 << false << "0..267";
        QTest::newRow("interval 0")
            << F::Interval << "0" << P::OutOfRange << 0 << true << "1..1000";
        QTest::newRow("interval 1000") << F::Interval << "1000" << P::None << 1000 << false << "";
    }
    void verdictOnOneText() {
        QFETCH(SettingsField, field);
        QFETCH(QString, text);
        QFETCH(SettingsProblem, problem);
        QFETCH(int, value);
        QFETCH(bool, stopsStartUp);
        QFETCH(QString, range);
        const SettingsVerdict v = checkSettingsText(field, text.toStdString());
        QCOMPARE(v.problem, problem);
        if (problem == SettingsProblem::None || problem == SettingsProblem::OutOfRange)
            QCOMPARE(int(v.value), value);
        QCOMPARE(v.stopsStartUp(), stopsStartUp);
        if (!range.isEmpty())
            QCOMPARE(QString("%1..%2").arg(v.brokenRange().low).arg(v.brokenRange().high), range);
    }

    void fileGivesItsFirstThreeLinesAndCountsTheRest() {
        const SettingsFileLines file = readSettingsFile("5\n47\r\nx\r\nextra");
        QCOMPARE(file.lineCount, 4L);
        QCOMPARE(file.texts[1], std::string_view("47"));
        QCOMPARE(int(file.verdicts[1].value), 47);
        QCOMPARE(file.verdicts[2].problem, SettingsProblem::NotANumber);
        QCOMPARE(file.ends.lf, 1L);
        QVERIFY(file.ends.lastOpen);

        const SettingsFileLines shortFile = readSettingsFile("5\r\n47\r\n");
        QCOMPARE(shortFile.lineCount, 2L);
        QCOMPARE(shortFile.verdicts[2].problem, SettingsProblem::Missing);
        QVERIFY(shortFile.verdicts[2].stopsStartUp());
    }

    void savedTextHoldsTheTextsAsTheyStand() {
        QCOMPARE(formatSettingsFile("0", "47", "60"), std::string("0\r\n47\r\n60\r\n"));
        QCOMPARE(formatSettingsFile(" 007", "", "1e3"), std::string(" 007\r\n\r\n1e3\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settingsfile.moc"
