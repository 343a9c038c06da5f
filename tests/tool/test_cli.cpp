// The real program: help, exit statuses, where messages go, and info's EEPROM map.
#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "hostilefiles.h"
#include "support/program.h"
#include "toolfixtures.h"

using namespace dotreel;
using namespace fixtures;

Q_DECLARE_METATYPE(support::Hostile)

namespace {

using Result = support::ProgramRun;

Result runProgram(const QStringList& args, const QString& folder = {}) {
    return support::runProgram(QStringLiteral(DOTREEL_TOOL_PATH), args, {folder, {}, {}});
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
        QTest::newRow("text") << QStringList{"text", "--help"}
                              << "Usage: dotreel-tool text TEXT --into FILE --at FRAME";
        QTest::newRow("fonts") << QStringList{"help", "fonts"} << "Usage: dotreel-tool fonts";
        QTest::newRow("device") << QStringList{"device", "--help"}
                                << "Usage: dotreel-tool device COMMAND";
        QTest::newRow("device upload") << QStringList{"device", "upload", "--help"}
                                       << "Usage: dotreel-tool device upload FILE [SETTINGS]";
        QTest::newRow("help device play")
            << QStringList{"help", "device", "play"} << "Usage: dotreel-tool device play SETTINGS";
        QTest::newRow("version") << QStringList{"--version"} << "dotreel-tool 0.";
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
        QTest::newRow("typo") << QStringList{"exprot"} << "did you mean 'export'?";
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
        QVERIFY(r.out.contains(
            "24C64    8192 bytes,  16 frames: 16 of the 40 used frames fit (--chip refuses)\n"));
        QVERIFY(r.out.contains(
            "24C128  16384 bytes,  33 frames: 33 of the 40 used frames fit (--chip refuses)\n"));
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

    // Each ends at once with status 1 and says why: no wait on a FIFO, no read of a device that
    // never ends, no gigabytes read to find out a file is no frame file.
    void hostileInputFailsAtOnce_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<support::Hostile>("kind");
        QTest::addColumn<QString>("says");
        const QString fifo = "not a regular file";
        QTest::newRow("check fifo") << "check" << support::Hostile::Fifo << fifo;
        QTest::newRow("info fifo") << "info" << support::Hostile::Fifo << fifo;
        QTest::newRow("export fifo") << "export" << support::Hostile::Fifo << fifo;
        QTest::newRow("check /dev/zero") << "check" << support::Hostile::LinkToDevZero << fifo;
        QTest::newRow("export /dev/zero") << "export" << support::Hostile::LinkToDevZero << fifo;
        QTest::newRow("check 2 GiB")
            << "check" << support::Hostile::Sparse2G << "2147483648 bytes, far larger";
        QTest::newRow("info 2 GiB")
            << "info" << support::Hostile::Sparse2G << "2147483648 bytes, far larger";
    }
    void hostileInputFailsAtOnce() {
        QFETCH(QString, command);
        QFETCH(support::Hostile, kind);
        QFETCH(QString, says);
        QVERIFY(support::makeHostile(str(dir_.filePath("hostile.txt")), kind));
        QStringList args{command, "hostile.txt"};
        if (command == "export")
            args << "--format"
                 << "bin"
                 << "-o"
                 << "out.bin";
        const Result r = runProgram(args, dir_.path());
        QCOMPARE(r.code, 1);
        QVERIFY2((r.out + r.err).contains(says), qPrintable(r.out + r.err));
        QVERIFY(!QFile::exists(dir_.filePath("out.bin")));
    }

    void settingsLinesAreQuotedSafely() {
        writeStore(dir_.filePath("FirstData.txt"), *patternStore());
        const QString settings = dir_.filePath("odd-settings.txt");
        writeAll(settings, std::string("\x1B[2J") + std::string(1, '\0') + std::string(100, '7') +
                               "\r\n2\r\n10\r\n");
        const Result r = runProgram(
            {"export", "FirstData.txt", "--format", "c", "-o", "out.h", "--settings", settings},
            dir_.path());
        QCOMPARE(r.code, 1);
        const QString all = r.out + r.err;
        QVERIFY2(all.contains("\\x1B[2J\\x00777"), qPrintable(all));
        QVERIFY2(all.contains("(105 bytes in all)"), qPrintable(all));
        QVERIFY(!all.contains(QChar(0x1B)));
    }

    void onlyPictureCommandsLoadQt_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("qt");
        QTest::newRow("--help") << QStringList{"--help"} << false;
        QTest::newRow("check") << QStringList{"check", "F.txt"} << false;
        QTest::newRow("info") << QStringList{"info", "F.txt"} << false;
        QTest::newRow("bin") << QStringList{"export", "F.txt", "--format", "bin", "-o", "o"}
                             << false;
        QTest::newRow("ihex") << QStringList{"export", "F.txt", "--format", "ihex", "-o", "o"}
                              << false;
        QTest::newRow("c") << QStringList{"export", "F.txt", "--format", "c", "-o", "o"} << false;
        QTest::newRow("png, handed over")
            << QStringList{"export", "F.txt", "--format", "PNG", "--frames", "3", "-o", "o"}
            << true;
    }
    void onlyPictureCommandsLoadQt() {
        QFETCH(QStringList, args);
        QFETCH(bool, qt);
        auto store = emptyStore();
        (*store)[3 * 488] = 1;
        writeStore(dir_.filePath("F.txt"), *store);
        QFile::remove(dir_.filePath("o"));
        const Result r = support::runProgram(QStringLiteral(DOTREEL_TOOL_PATH), args,
                                             {dir_.path(), {"LD_DEBUG=libs"}, {}});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err.contains("libQt6Gui.so"), qt);
        QCOMPARE(r.err.contains("libQt6Core.so"), qt);
    }

    void aFailedWriteToStandardOutputIsAnError() {
        writeStore(dir_.filePath("F.txt"), *patternStore());
        const Result r = support::runProgram(QStringLiteral(DOTREEL_TOOL_PATH), {"info", "F.txt"},
                                             {dir_.path(), {}, "/dev/full"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("cannot write to standard output"), qPrintable(r.err));
    }

    void pictureTroubleIsOneClearMessage_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QString>("message");
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(64, 64, QImage::Format_RGB32).save(&buffer, "PNG");
        QTest::newRow("cut short") << png.left(png.size() / 2) << "cannot read picture 'p.png'";
        // A valid header announcing 30000 x 30000 pixels, more than the reader may allocate.
        QByteArray huge = png;
        qToBigEndian<quint32>(30000, huge.data() + 16);
        qToBigEndian<quint32>(30000, huge.data() + 20);
        quint32 crc = 0xFFFFFFFFU;  // the chunk's CRC-32 over its type and data
        for (int i = 12; i < 29; ++i) {
            crc ^= static_cast<quint8>(huge[i]);
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
        qToBigEndian<quint32>(~crc, huge.data() + 29);
        QTest::newRow("too large") << huge << "too large: 30000x30000 pixels; the limit is";
    }
    void pictureTroubleIsOneClearMessage() {
        QFETCH(QByteArray, picture);
        QFETCH(QString, message);
        writeAll(dir_.filePath("p.png"), picture.toStdString());
        const Result r = runProgram({"import", "p.png", "--into", "n.txt", "--create", "--at", "0"},
                                    dir_.path());
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFile::exists(dir_.filePath("n.txt")));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
