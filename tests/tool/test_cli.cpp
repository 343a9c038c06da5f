// The real program: help, exit statuses, where messages go, and info's EEPROM map.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "toolfixtures.h"

using namespace dotreel;
using namespace fixtures;

namespace {

struct Result {
    int code;
    QString out;
    QString err;
};

Result runProgram(const QStringList& args, const QString& folder = {}) {
    QProcess p;
    if (!folder.isEmpty()) p.setWorkingDirectory(folder);
    p.start(QStringLiteral(DOTREEL_TOOL_PATH), args);
    if (!p.waitForFinished(120000)) return {-1, {}, "did not finish"};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void everyCommandHasHelp_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("usage");
        QTest::newRow("--help") << QStringList{"--help"} << "Usage: dotreel-tool COMMAND";
        QTest::newRow("check") << QStringList{"check", "--help"}
                               << "Usage: dotreel-tool check FILE...";
        QTest::newRow("info") << QStringList{"info", "-h"} << "Usage: dotreel-tool info FILE";
        QTest::newRow("export") << QStringList{"export", "--help"}
                                << "Usage: dotreel-tool export FILE";
        QTest::newRow("import") << QStringList{"help", "import"}
                                << "Usage: dotreel-tool import IMAGE...";
    }
    void everyCommandHasHelp() {
        QFETCH(QStringList, args);
        QFETCH(QString, usage);
        const Result r = runProgram(args);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(usage), qPrintable(r.out));
        QVERIFY(r.err.isEmpty());
    }

    void mistakesGoToStandardErrorWithStatusTwo_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QStringList{} << "Usage: dotreel-tool COMMAND";
        QTest::newRow("unknown command") << QStringList{"convert"} << "unknown command 'convert'";
        QTest::newRow("unknown option")
            << QStringList{"info", "--fast", "x"} << "unknown option '--fast'";
        QTest::newRow("value missing")
            << QStringList{"export", "x", "--format"} << "--format needs a value";
        QTest::newRow("two files for info") << QStringList{"info", "a", "b"} << "exactly one FILE";
    }
    void mistakesGoToStandardErrorWithStatusTwo() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Result r = runProgram(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    void infoMapsUsedFramesOntoTheChips() {
        auto store = emptyStore();
        std::vector<int> used{134, 267};
        for (int f = 0; f < 38; ++f) used.push_back(f);
        for (int f : used) (*store)[static_cast<size_t>(f * 488 + 100)] = 0x10;
        (*store)[131071] = 0x01;
        writeStore(dir_.filePath("FirstData.txt"), *store);
        const Result r = runProgram({"info", "FirstData.txt"}, dir_.path());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("Used frames (holding a lit dot): 40 of 268: 0..37, 134, 267\n"),
                 qPrintable(r.out));
        QVERIFY(r.out.contains("First used frame: 0\nLast used frame: 267\n"));
        QVERIFY(r.out.contains("(130784..131071): 1 not 0\n"));
        QVERIFY(r.out.contains("frame   1: chip 0, 0x01E8..0x03CF\n"));
        QVERIFY(
            r.out.contains("frame 134: chip 0, 0xFF70..0xFFFF and chip 1, 0x0000..0x0157 (crosses "
                           "into chip 1)\n"));
        QVERIFY(r.out.contains("frame 267: chip 1, 0xFCF8..0xFEDF\n"));
        QVERIFY(!r.out.contains("frame  38:"));
        QVERIFY(r.out.contains("24C64    8192 bytes,  16 frames: 16 of the 40 used frames fit\n"));
        QVERIFY(r.out.contains("24C128  16384 bytes,  33 frames: 33 of the 40 used frames fit\n"));
        QVERIFY(r.out.contains("24C256  32768 bytes,  67 frames: all 40 used frames fit\n"));
        QVERIFY(r.out.contains("24C512  65536 bytes, 134 frames: all 40 used frames fit\n"));
    }

    void aFileNamedLikeAnOptionCanFollowDoubleDash() {
        writeStore(dir_.filePath("-odd.txt"), *patternStore());
        const Result r = runProgram({"check", "--", "-odd.txt"}, dir_.path());
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("-odd.txt: ok"));
    }

    void failuresGoToStandardErrorWithStatusOne() {
        writeAll(dir_.filePath("short.txt"), "00\r\n");
        const Result r = runProgram({"info", "short.txt"}, dir_.path());
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains("'short.txt' has only 1 lines"), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
