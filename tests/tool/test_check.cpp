// check: what it reports about frame files and "animation.txt", and its exit status.
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "tool/checkfile.h"
#include "toolfixtures.h"

using namespace dotreel;
using namespace fixtures;

namespace {

// A frame file of `count` lines "00", each ended by `end`.
std::string frameText(long count, const std::string& end = "\r\n") {
    std::string text;
    text.reserve(static_cast<size_t>(count) * 4);
    for (long i = 0; i < count; ++i) text += "00" + end;
    return text;
}

// Line `number` (1-based) of a CR LF frame text replaced.
void replaceLine(std::string& text, long number, const std::string& line) {
    text.replace(static_cast<size_t>(number - 1) * 4, 2, line);
}

}  // namespace

class TestCheck : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    tool::CheckReport check(const std::string& text, const QString& name = "FirstData.txt") {
        writeAll(dir_.filePath(name), text);
        return tool::checkFile(str(dir_.filePath(name)));
    }

private slots:
    void aFileAsTheEditorWritesItIsClean() {
        const auto r = check(formatFrameFile(*patternStore()));
        QVERIFY(r.errors.empty() && r.warnings.empty());
        QCOMPARE(r.lineCount, 131072L);
        const Run run = fixtures::run({"check", str(dir_.filePath("FirstData.txt"))});
        QCOMPARE(run.code, 0);
        QVERIFY(run.out.find(": ok (frame file, 131072 lines, CR LF)") != std::string::npos);
    }

    void badLinesAreListedByNumberAndCounted() {
        std::string text = frameText(131072);
        // Lower-case digits are still two hexadecimal digits (a warning); the rest are not.
        replaceLine(text, 3, "a0");
        replaceLine(text, 5, "G1");
        replaceLine(text, 131072, "0x");
        text.insert(static_cast<size_t>(99) * 4, "7");  // line 100 reads "700"
        const auto r = check(text);
        QCOMPARE(r.badLineCount, 3L);
        QCOMPARE(r.firstBadLines.size(), size_t{3});
        QCOMPARE(r.firstBadLines[0].number, 5L);
        QCOMPARE(r.firstBadLines[1].number, 100L);
        QCOMPARE(QString::fromStdString(r.firstBadLines[1].text), QString("700"));
        QCOMPARE(r.firstBadLines[2].number, 131072L);
        const std::string shown = tool::formatReport(r);
        QVERIFY2(shown.find("line 5: \"G1\" reads as 0x01") != std::string::npos, shown.c_str());
        QVERIFY(shown.find("line 131072: \"0x\" reads as 0x00") != std::string::npos);
        QCOMPARE(r.warnings.size(), size_t{1});
        QVERIFY(r.warnings[0].find("1 line has lower-case hexadecimal digits (first at line 3)") !=
                std::string::npos);
    }

    void onlyTheFirstFewBadLinesAreListed() {
        std::string text = frameText(131072);
        for (long n = 1; n <= 25; ++n) replaceLine(text, n * 2, "zz");
        const auto r = check(text);
        QCOMPARE(r.badLineCount, 25L);
        QCOMPARE(r.firstBadLines.size(), tool::kListedBadLines);
        QCOMPARE(r.firstBadLines.back().number, 20L);
        QVERIFY(tool::formatReport(r).find("and 15 more") != std::string::npos);
    }

    void lineCountMustBeExact_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("message");
        QTest::newRow("one short") << 131071 << "131071 lines; a frame file needs 131072";
        QTest::newRow("one extra") << 131073 << "ignores the other 1";
        QTest::newRow("empty") << 0 << "the file is empty";
    }
    void lineCountMustBeExact() {
        QFETCH(int, lines);
        QFETCH(QString, message);
        const auto r = check(frameText(lines));
        QCOMPARE(r.lineCount, static_cast<long>(lines));
        QCOMPARE(r.errors.size(), size_t{1});
        QVERIFY2(r.errors[0].find(str(message)) != std::string::npos, r.errors[0].c_str());
        QCOMPARE(fixtures::run({"check", str(dir_.filePath("FirstData.txt"))}).code, 1);
    }

    void lineEndsOtherThanCrLfAreReportedButCountedAsTheEditorReads() {
        const auto lf = check(frameText(131072, "\n"));
        QCOMPARE(lf.lineCount, 131072L);
        QCOMPARE(lf.ends.lf, 131072L);
        QCOMPARE(lf.ends.firstOddLine, 1L);
        QVERIFY(lf.errors.empty());
        QCOMPARE(lf.warnings.size(), size_t{1});

        std::string mixed = frameText(131072);
        mixed.replace(static_cast<size_t>(9) * 4 + 2, 2, "\r");  // line 10 ends in a lone CR
        mixed.pop_back();
        mixed.pop_back();  // the last line has no end at all
        const auto r = check(mixed);
        QCOMPARE(r.lineCount, 131072L);
        QCOMPARE(r.badLineCount, 0L);
        QCOMPARE(r.ends.cr, 1L);
        QVERIFY(r.ends.lastOpen);
        QCOMPARE(r.ends.firstOddLine, 10L);
        QVERIFY(r.warnings.back().find("1 lone CR, the last line has none (first at line 10)") !=
                std::string::npos);
    }

    void settingsAreCheckedAsTheEditorStartsUp_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");  // the one error, or one warning "warning: ..."
        QTest::newRow("clean, normalised numbers allowed") << "0\r\n047\r\n 60 \r\n"
                                                           << "";
        QTest::newRow("backwards range is fine") << "200\r\n100\r\n1000\r\n"
                                                 << "";
        QTest::newRow("short") << "0\r\n47\r\n"
                               << "2 lines; the settings need 3";
        QTest::newRow("not a number") << "0\r\nend\r\n60\r\n"
                                      << "line 2 (end frame): \"end\" is not a number";
        QTest::newRow("empty interval") << "0\r\n47\r\n\r\n"
                                        << "line 3 (interval): \"\" is not a number";
        QTest::newRow("overflow") << "40000\r\n47\r\n60\r\n"
                                  << "line 1 (start frame): \"40000\" is outside -32768..32767";
        QTest::newRow("interval overflow states the interval's range")
            << "0\r\n47\r\n40000\r\n"
            << "line 3 (interval): \"40000\" is outside 1..1000, so the editor's start-up fails";
        QTest::newRow("interval 0") << "0\r\n47\r\n0\r\n"
                                    << "0 is outside 1..1000";
        QTest::newRow("interval 1001") << "0\r\n47\r\n1001\r\n"
                                       << "1001 is outside 1..1000";
        QTest::newRow("start 268") << "268\r\n47\r\n60\r\n"
                                   << "268 is outside 0..267";
        QTest::newRow("lone LF") << "0\n47\n60\n"
                                 << "warning: 3 lone LF";
    }
    void settingsAreCheckedAsTheEditorStartsUp() {
        QFETCH(QString, text);
        QFETCH(QString, problem);
        const auto r = check(str(text), "Animation.TXT");
        QVERIFY(r.settings);
        const bool warning = problem.startsWith("warning: ");
        const std::vector<std::string>& found = warning ? r.warnings : r.errors;
        QVERIFY2(r.errors.size() + r.warnings.size() == (problem.isEmpty() ? 0 : 1),
                 tool::formatReport(r).c_str());
        if (!problem.isEmpty())
            QVERIFY2(found.at(0).find(str(problem.remove("warning: "))) != std::string::npos,
                     found[0].c_str());
    }

    void warningsLeaveTheExitStatusAlone_data() {
        QTest::addColumn<QString>("change");  // what is done to a clean file
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");
        QTest::newRow("lone LF") << "lf" << 0 << ": ok, 1 warning (frame file, 131072 lines)";
        QTest::newRow("lone CR") << "cr" << 0 << "  - warning: line ends: 131071 CR LF, 1 lone CR";
        QTest::newRow("lower case") << "lower" << 0 << "  - warning: 1 line has lower-case";
        QTest::newRow("bad line and lone LF") << "bad+lf" << 1 << ": 1 error, 1 warning\n";
    }
    void warningsLeaveTheExitStatusAlone() {
        QFETCH(QString, change);
        QFETCH(int, code);
        QFETCH(QString, shown);
        std::string text = frameText(131072, change.contains("lf") ? "\n" : "\r\n");
        if (change == "cr") text.erase(4 * 5 + 3, 1);  // line 6 ends in a lone CR
        if (change == "lower") replaceLine(text, 7, "ab");
        if (change.startsWith("bad")) text.replace(0, 2, "zz");
        writeAll(dir_.filePath("FirstData.txt"), text);
        const Run run = fixtures::run({"check", str(dir_.filePath("FirstData.txt"))});
        QCOMPARE(run.code, code);
        QVERIFY2(run.out.find(str(shown)) != std::string::npos, run.out.c_str());
    }

    void aBinaryFileGivesAShortReport_data() {
        QTest::addColumn<bool>("lineEnds");
        QTest::newRow("one 5 MB line") << false;
        QTest::newRow("5 MB with line ends") << true;
    }
    void aBinaryFileGivesAShortReport() {
        QFETCH(bool, lineEnds);
        std::string bytes(5u << 20, '\0');
        uint32_t x = 12345;
        for (char& c : bytes) {
            x = x * 1103515245u + 12345u;
            c = static_cast<char>(x >> 24);
            if (!lineEnds && (c == '\r' || c == '\n')) c = 'x';
        }
        writeAll(dir_.filePath("FirstData.txt"), bytes);
        const Run run = fixtures::run({"check", str(dir_.filePath("FirstData.txt"))});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.out.size() < 3000, run.out.c_str());
        if (!lineEnds)
            QVERIFY2(run.out.find("... (5242880 bytes in all) reads as") != std::string::npos,
                     run.out.c_str());
        else
            QVERIFY2(run.out.find(" more\n") != std::string::npos, run.out.c_str());
    }

    // export, info and import --into read lines that are not two hexadecimal digits as the
    // editor does, and say so once: the first such line and how many there are.
    void oddLinesAreReadAsTheEditorReadsThemWithOneWarning_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("odd");  // put at `line` (and at the last line when count 2)
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("byte");  // what the editor reads at `line`
        QTest::addColumn<QString>("shown");
        for (const char* command : {"export", "info", "import"}) {
            const std::string c = command;
            QTest::newRow((c + ": zz twice").c_str())
                << command << "zz" << 3 << 2 << 0x00 << "has 2 lines that are not";
            QTest::newRow((c + ": a lone 5").c_str())
                << command << "5" << 4 << 1 << 0x50 << "has 1 line that is not";
            QTest::newRow((c + ": a 10 MB line").c_str())
                << command << "long" << 2 << 1 << 0xAA
                << "line 2, \"" + QString(40, 'A') + "\"... (10485760 bytes in all), read as 0xAA";
            QTest::newRow((c + ": clean").c_str()) << command << "" << 2 << 0 << 0x00 << "";
        }
    }
    void oddLinesAreReadAsTheEditorReadsThemWithOneWarning() {
        QFETCH(QString, command);
        QFETCH(QString, odd);
        QFETCH(int, line);
        QFETCH(int, count);
        QFETCH(int, byte);
        QFETCH(QString, shown);
        std::string text = frameText(131072);
        const std::string oddText = odd == "long" ? std::string(10u << 20, 'A') : str(odd);
        if (count == 2) replaceLine(text, 131072, oddText);
        if (count > 0) replaceLine(text, line, oddText);
        const QString file = dir_.filePath("FirstData.txt");
        writeAll(file, text);
        const QString output = dir_.filePath("out.bin");
        QFile::remove(output);
        std::vector<std::string> args{str(command), str(file)};
        if (command == "export") args = {"export", str(file), "--format", "bin", "-o", str(output)};
        if (command == "import") {
            QImage white(4, 4, QImage::Format_RGB32);
            white.fill(Qt::white);
            QVERIFY(white.save(dir_.filePath("white.png")));
            args = {"import", str(dir_.filePath("white.png")), "--into", str(file), "--at", "100"};
        }
        const Run r = fixtures::run(args);
        QCOMPARE(r.code, 0);
        QVERIFY(
            fixtures::run({str(command), "--help"}).out.find("'dotreel-tool check FILE' lists") !=
            std::string::npos);
        const QString err = QString::fromStdString(r.err);
        QCOMPARE(err.count("warning:"), count == 0 ? 0 : 1);
        if (count > 0) {
            const QString hex = QString::number(byte, 16).toUpper().rightJustified(2, '0');
            const QString first =
                odd == "long" ? shown
                              : QString("line %1, \"%2\", read as 0x%3").arg(line).arg(odd, hex);
            for (const QString& part : {first, shown, QString("dotreel-tool check")})
                QVERIFY2(err.contains(part), qPrintable(err + " lacks " + part));
        }
        // Read as the editor reads it; import writes the file back as those bytes.
        if (command == "export")
            QCOMPARE(static_cast<uint8_t>(readAll(output).at(static_cast<size_t>(line - 1))),
                     static_cast<uint8_t>(byte));
        if (command == "import") {
            const auto imported = readStore(file);
            QVERIFY(imported != nullptr);
            QCOMPARE((*imported)[static_cast<size_t>(line - 1)], static_cast<uint8_t>(byte));
        }
    }

    void helpSaysWhatIsAnErrorAndWhatAWarning() {
        const Run run = fixtures::run({"check", "--help"});
        QCOMPARE(run.code, 0);
        for (const char* part : {"Errors (", "Warnings (", "start frame and end frame 0..267",
                                 "interval 1..1000 ms", "a lone LF", "lower-case"})
            QVERIFY2(run.out.find(part) != std::string::npos, part);
    }

    void oneBadFileAmongSeveralMakesTheRunFail() {
        writeAll(dir_.filePath("good.txt"), formatFrameFile(*patternStore()));
        writeAll(dir_.filePath("animation.txt"), "0\r\n1\r\n2\r\n");
        const Run good = fixtures::run(
            {"check", str(dir_.filePath("good.txt")), str(dir_.filePath("animation.txt"))});
        QCOMPARE(good.code, 0);
        const Run bad = fixtures::run(
            {"check", str(dir_.filePath("good.txt")), str(dir_.filePath("missing.txt"))});
        QCOMPARE(bad.code, 1);
        QVERIFY(bad.out.find("missing.txt: 1 error\n  - cannot read") != std::string::npos);
        QCOMPARE(fixtures::run({"check"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCheck)
#include "test_check.moc"
