// export: every format read back against the store, the choice of frames, and the rules for
// output files.
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <regex>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "support/diskfiles.h"
#include "tool/eeprom.h"
#include "toolfixtures.h"

using namespace dotreel;
using namespace fixtures;

namespace {

// The bytes of a C header's array, in order, from its "0xHH" literals after the '{'.
std::string parseCArray(const std::string& header) {
    std::string bytes;
    const std::regex literal("0x([0-9A-F]{2})");
    const size_t start = header.find("] = {");
    if (start == std::string::npos) return {};
    const std::string body = header.substr(start);
    for (std::sregex_iterator it(body.begin(), body.end(), literal), end; it != end; ++it)
        bytes.push_back(static_cast<char>(std::stoi((*it)[1].str(), nullptr, 16)));
    return bytes;
}

}  // namespace

class TestExport : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<FrameMemory> store_;
    QString input_;

    std::string path(const QString& name) const { return str(dir_.filePath(name)); }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path() + "/データー");
        QDir().mkpath(dir_.path() + "/設定");
        store_ = patternStore();
        input_ = dir_.filePath("データー/FirstData.txt");
        writeStore(input_, *store_);
    }

    void binIsTheWholeStoreTrailerIncluded() {
        const Run r = run({"export", str(input_), "--format", "bin", "-o", path("all.bin")});
        QCOMPARE(r.code, 0);
        QVERIFY(readAll(dir_.filePath("all.bin")) == tool::storeBytes(*store_, 0, kStoreBytes));
    }

    void splitGivesOneImagePerLargeChip() {
        const Run r =
            run({"export", str(input_), "--format", "bin", "--split", "-o", path("e.bin")});
        QCOMPARE(r.code, 0);
        QVERIFY(readAll(dir_.filePath("e-0.bin")) == tool::storeBytes(*store_, 0, 65536));
        QVERIFY(readAll(dir_.filePath("e-1.bin")) == tool::storeBytes(*store_, 65536, 65536));
    }

    void chipImagePacksWholeFramesFromAddressZero() {
        const Run r = run({"export", str(input_), "--format", "bin", "--chip", "24c64", "--frames",
                           "100..115", "-o", path("c.bin")});
        QCOMPARE(r.code, 0);
        const std::string image = readAll(dir_.filePath("c.bin"));
        QCOMPARE(image.size(), size_t{16 * 488});
        QVERIFY(image.substr(0, 488) == frameBytes(*store_, 100));
        QVERIFY(image.substr(15 * 488) == frameBytes(*store_, 115));
    }

    void framesBeyondTheChipAreRefusedAndNothingIsWritten() {
        const Run r = run({"export", str(input_), "--format", "ihex", "--chip", "24c64", "--frames",
                           "0..16", "-o", path("c.hex")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.find("24C64 holds 16") != std::string::npos);
        QVERIFY(!QFile::exists(dir_.filePath("c.hex")));
    }

    void ihexHoldsTheSameBytesAsBin() {
        QCOMPARE(
            run({"export", str(input_), "--format", "ihex", "--split", "-o", path("h.hex")}).code,
            0);
        const std::string second = readAll(dir_.filePath("h-1.hex"));
        // Each chip image starts at its own address 0: no extended address record.
        QVERIFY(second.find(":02000004") == std::string::npos);
        QVERIFY(second.rfind(":00000001FF\r\n") == second.size() - 13);
        // Record at 0x0010 of chip 1 holds store bytes 65552..65567.
        std::string expected = ":10001000";
        unsigned sum = 0x10 + 0x00 + 0x10;
        for (int k = 65552; k < 65568; ++k) {
            expected += funDHChange((*store_)[static_cast<size_t>(k)]);
            sum += (*store_)[static_cast<size_t>(k)];
        }
        expected += funDHChange(static_cast<uint8_t>(0x100 - (sum & 0xFF)));
        QVERIFY2(second.find(expected + "\r\n") != std::string::npos, expected.c_str());
    }

    void cHeaderReadsBackToTheFrames() {
        const Run r = run({"export", str(input_), "--format", "c", "--frames", "265..267", "--name",
                           "intro", "-o", path("intro.h")});
        QCOMPARE(r.code, 0);
        const std::string header = readAll(dir_.filePath("intro.h"));
        QVERIFY(header.find("static const uint8_t intro[3][488] = {") != std::string::npos);
        QVERIFY(header.find("#define INTRO_FIRST_FRAME 265") != std::string::npos);
        QVERIFY(header.find("#ifndef INTRO_H") != std::string::npos);
        QVERIFY(parseCArray(header) == tool::packFrames(*store_, {265, 267}));
    }

    void cNamesMustBeUsableIdentifiers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << "frames" << true;
        QTest::newRow("underscore and digits") << "_anim_2" << true;
        QTest::newRow("leading digit") << "2anim" << false;
        QTest::newRow("keyword") << "static" << false;
        QTest::newRow("reserved __") << "__frames" << false;
        QTest::newRow("reserved _Upper") << "_Frames" << false;
        QTest::newRow("dash") << "my-frames" << false;
        QTest::newRow("empty") << "" << false;
    }
    void cNamesMustBeUsableIdentifiers() {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        const Run r = run({"export", str(input_), "--format", "c", "--frames", "0", "--name",
                           str(name), "-o", path("n.h")});
        QCOMPARE(r.code, accepted ? 0 : 2);
        QCOMPARE(QFile::exists(dir_.filePath("n.h")), accepted);
    }

    void pngDrawnAtScaleOneImportsBackExactly() {
        QCOMPARE(run({"export", str(input_), "--format", "png", "--frames", "40", "--scale", "1",
                      "-o", path("f.png")})
                     .code,
                 0);
        const QImage image(dir_.filePath("f.png"));
        QCOMPARE(image.size(), QSize(122, 32));
        auto target = emptyStore();
        writeStore(dir_.filePath("t.txt"), *target);
        QCOMPARE(run({"import", path("f.png"), "--into", path("t.txt"), "--at", "7"}).code, 0);
        QVERIFY(frameBytes(*readStore(dir_.filePath("t.txt")), 7) == frameBytes(*store_, 40));
    }

    void pngWithPanelBetweenDotsImportsBackExactly() {
        QCOMPARE(run({"export", str(input_), "--format", "png", "--frames", "3", "--scale", "5",
                      "--gap", "2", "-o", path("f.png")})
                     .code,
                 0);
        QCOMPARE(QImage(dir_.filePath("f.png")).size(), QSize(122 * 5 + 2, 32 * 5 + 2));
        writeStore(dir_.filePath("t.txt"), *emptyStore());
        QCOMPARE(run({"import", path("f.png"), "--into", path("t.txt"), "--at", "0"}).code, 0);
        QVERIFY(frameBytes(*readStore(dir_.filePath("t.txt")), 0) == frameBytes(*store_, 3));
    }

    void pngRangeGivesNumberedFilesAndSheetGivesOne() {
        const Run r = run(
            {"export", str(input_), "--format", "png", "--frames", "9..11", "-o", path("p.png")});
        QCOMPARE(r.code, 0);
        QCOMPARE(entries(dir_.path()), QStringList({"p-009.png", "p-010.png", "p-011.png"}));
        // The user asked for p.png and is told where the pictures went instead.
        QVERIFY2(r.out.find("wrote 3 files " + path("p-NNN.png")) != std::string::npos &&
                     r.out.find(path("p.png") + " itself is not written") != std::string::npos,
                 r.out.c_str());
        QCOMPARE(run({"export", str(input_), "--format", "png", "--frames", "0..4", "--sheet",
                      "--columns", "2", "-o", path("s.png")})
                     .code,
                 0);
        // 2 columns x 3 rows of 489 x 129 pictures, 4 pixels apart.
        QCOMPARE(QImage(dir_.filePath("s.png")).size(), QSize(2 * 489 + 4, 3 * 129 + 2 * 4));
    }

    void gifHasEveryFrameAtTheSettingsInterval() {
        writeAll(dir_.filePath("設定/animation.txt"), "12\r\n10\r\n40\r\n");
        QCOMPARE(
            run({"export", str(input_), "--format", "gif", "--scale", "1", "-o", path("a.gif")})
                .code,
            0);
        QImageReader reader(dir_.filePath("a.gif"));
        QCOMPARE(reader.imageCount(), 3);
        QCOMPARE(reader.loopCount(), -1);  // forever
        // The playback range runs backwards, 12, 11, 10; each frame reads back exactly.
        auto back = emptyStore();
        writeStore(dir_.filePath("b.txt"), *back);
        QCOMPARE(run({"import", path("a.gif"), "--into", path("b.txt"), "--at", "0"}).code, 0);
        back = readStore(dir_.filePath("b.txt"));
        QVERIFY(frameBytes(*back, 0) == frameBytes(*store_, 12));
        QVERIFY(frameBytes(*back, 2) == frameBytes(*store_, 10));
        QImageReader timing(dir_.filePath("a.gif"));
        timing.read();
        QCOMPARE(timing.nextImageDelay(), 40);
    }

    void gifPlayedOnceHasNoLoopAndTakesTheGivenInterval() {
        QCOMPARE(run({"export", str(input_), "--format", "gif", "--frames", "0..1", "--interval",
                      "250", "--once", "-o", path("o.gif")})
                     .code,
                 0);
        QImageReader reader(dir_.filePath("o.gif"));
        QCOMPARE(reader.loopCount(), 0);
        reader.read();
        QCOMPARE(reader.nextImageDelay(), 250);
    }

    void gifWithoutSettingsTakesTheEditorsDefaultInterval() {
        const Run r = run(
            {"export", str(input_), "--format", "gif", "--frames", "0..1", "-o", path("x.gif")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.find("default interval of 10 ms (choose one with --interval") !=
                     std::string::npos,
                 r.err.c_str());
        // The first frame's delay, in hundredths, from its graphic control extension (Qt's
        // reader shows such short delays as 100 ms).
        const std::string gif = readAll(dir_.filePath("x.gif"));
        const size_t control = gif.find("\x21\xF9\x04");
        QVERIFY(control != std::string::npos);
        QCOMPARE(static_cast<int>(static_cast<uint8_t>(gif[control + 4])), 1);
    }

    void gifWritesOnlyChangesAndMergesRepeatedFrames() {
        // Frames 0 and 1 equal, then 49 frames each one dot on from the one before.
        auto store = emptyStore();
        for (int f = 2; f < 51; ++f) {
            std::copy_n(store->begin() + (f - 1) * 488, 488, store->begin() + f * 488);
            (*store)[static_cast<size_t>(f * 488 + f)] = 0x01;
        }
        writeStore(input_, *store);
        QCOMPARE(run({"export", str(input_), "--format", "gif", "--frames", "0..50", "--interval",
                      "100", "-o", path("m.gif")})
                     .code,
                 0);
        QImageReader reader(dir_.filePath("m.gif"));
        QCOMPARE(reader.imageCount(), 50);
        reader.read();
        QCOMPARE(reader.nextImageDelay(), 200);
        // A whole frame of this size takes about 700 bytes; each change a small rectangle.
        QVERIFY2(QFileInfo(dir_.filePath("m.gif")).size() < 4000,
                 qPrintable(QString::number(QFileInfo(dir_.filePath("m.gif")).size())));
        writeStore(dir_.filePath("b.txt"), *emptyStore());
        QCOMPARE(run({"import", path("m.gif"), "--into", path("b.txt"), "--at", "1"}).code, 0);
        const auto back = readStore(dir_.filePath("b.txt"));
        for (int f = 1; f < 51; ++f) QVERIFY(frameBytes(*back, f) == frameBytes(*store, f));
    }

    void cHeaderCarriesThePlaybackSettings_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("macros");
        const QString play =
            "#define DOTREEL_PLAY_START 5\n#define DOTREEL_PLAY_END 2\n"
            "#define DOTREEL_PLAY_INTERVAL_MS 125\n#define DOTREEL_PLAY_REPEAT ";
        QTest::newRow("settings") << "5\r\n2\r\n125\r\n" << QStringList{} << play + "1\n";
        QTest::newRow("--once") << "5\r\n2\r\n125\r\n" << QStringList{"--once"} << play + "0\n";
        QTest::newRow("no settings file") << QString() << QStringList{} << QString();
    }
    void cHeaderCarriesThePlaybackSettings() {
        QFETCH(QString, settings);
        QFETCH(QStringList, extra);
        QFETCH(QString, macros);
        if (!settings.isNull()) writeAll(dir_.filePath("設定/animation.txt"), str(settings));
        std::vector<std::string> args{"export",   str(input_), "--format", "c",
                                      "--frames", "0..7",      "-o",       path("f.h")};
        for (const auto& a : extra) args.push_back(str(a));
        QCOMPARE(run(args).code, 0);
        const std::string header = readAll(dir_.filePath("f.h"));
        if (macros.isEmpty())
            QVERIFY(header.find("DOTREEL_PLAY") == std::string::npos);
        else
            QVERIFY2(header.find(str(macros)) != std::string::npos, header.substr(0, 1500).c_str());
        // The header as firmware would take it, in strict C.
        writeAll(dir_.filePath("use.c"),
                 "#include \"f.h\"\nint main(void) {\n#ifdef DOTREEL_PLAY_START\n"
                 "  return dotreel_frames[DOTREEL_PLAY_START][0] + DOTREEL_PLAY_REPEAT;\n#else\n"
                 "  return dotreel_frames[0][0];\n#endif\n}\n");
        QProcess gcc;
        gcc.setWorkingDirectory(dir_.path());
        gcc.start("gcc", {"-std=c99", "-Wall", "-Wextra", "-pedantic", "-Werror", "-c", "use.c",
                          "-o", "use.o"});
        QVERIFY(gcc.waitForFinished(60000));
        QVERIFY2(gcc.exitCode() == 0, gcc.readAllStandardError().constData());
    }

    void chipAloneTakesTheUsedFramesInfoCounts() {
        // 57 used frames spread over 0..112: info says they fit a 24C256, and they do.
        auto store = emptyStore();
        std::vector<int> used;
        for (int f = 0; f <= 112; f += 2) used.push_back(f);
        for (int f : used) (*store)[static_cast<size_t>(f * 488 + 7)] = static_cast<uint8_t>(f | 1);
        writeStore(input_, *store);
        const Run info = run({"info", str(input_)});
        QVERIFY2(info.out.find("24C256  32768 bytes,  67 frames: all 57 used frames fit") !=
                     std::string::npos,
                 info.out.c_str());
        const Run r = run(
            {"export", str(input_), "--format", "bin", "--chip", "24c256", "-o", path("c.bin")});
        QCOMPARE(r.code, 0);
        QVERIFY(readAll(dir_.filePath("c.bin")) == tool::packFrameList(*store, used));
        const Run small = run(
            {"export", str(input_), "--format", "bin", "--chip", "24c128", "-o", path("d.bin")});
        QCOMPARE(small.code, 1);
        QVERIFY(small.err.find("the used frames (") != std::string::npos);
    }

    void formatsIgnoreCaseAndDashIsStandardOutput_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("BIN") << "BIN"
                             << "bin";
        QTest::newRow("Ihex") << "Ihex"
                              << "ihex";
        QTest::newRow("C") << "C"
                           << "c";
    }
    void formatsIgnoreCaseAndDashIsStandardOutput() {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        const Run r =
            run({"export", str(input_), "--format", str(format), "--frames", "2..4", "-o", "-"});
        QCOMPARE(r.code, 0);
        QCOMPARE(run({"export", str(input_), "--format", str(expected), "--frames", "2..4", "-o",
                      path("file")})
                     .code,
                 0);
        QVERIFY(r.out == readAll(dir_.filePath("file")));
        QVERIFY(r.err.empty());
    }

    void failedWriteToStandardOutputFails() {
        std::ostringstream err;
        std::ostream broken(nullptr);
        QCOMPARE(tool::runTool({"info", str(input_)}, broken, err), 1);
        QVERIFY(err.str().find("cannot write to standard output") != std::string::npos);
    }

    void existingOutputIsKeptWithoutForce() {
        writeAll(dir_.filePath("e-1.bin"), "mine");
        const Run r =
            run({"export", str(input_), "--format", "bin", "--split", "-o", path("e.bin")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.find("already exists") != std::string::npos);
        QCOMPARE(readAll(dir_.filePath("e-1.bin")), std::string("mine"));
        // Checked before anything is written: the first image is not there either.
        QVERIFY(!QFile::exists(dir_.filePath("e-0.bin")));
        QCOMPARE(run({"export", str(input_), "--format", "bin", "--split", "--force", "-o",
                      path("e.bin")})
                     .code,
                 0);
        QCOMPARE(readAll(dir_.filePath("e-1.bin")).size(), size_t{65536});
    }

    void theInputIsNeverAnOutputEvenWithForce() {
        const Run r = run({"export", str(input_), "--format", "bin", "--force", "-o", str(input_)});
        QCOMPARE(r.code, 1);
        QVERIFY(*readStore(input_) == *store_);
    }

    void aFailedWriteLeavesNoPartialFile() {
        // A folder where the file should go: the rename fails after the data was written.
        QDir().mkpath(dir_.filePath("out/taken.bin"));
        const Run r =
            run({"export", str(input_), "--format", "bin", "--force", "-o", path("out/taken.bin")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.find("cannot write") != std::string::npos);
        QCOMPARE(QDir(dir_.filePath("out"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"taken.bin"}));
        QVERIFY(QFileInfo(dir_.filePath("out/taken.bin")).isDir());
    }

    // Even with --force a device or a FIFO is never swapped for a regular file, and the FIFO is
    // never opened (that would wait for a reader). As root the device is a node of our own, so
    // that a fault here can never replace /dev/null itself.
    void specialOutputsAreRefusedEvenWithForce_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("fifo") << "pipe";
        QTest::newRow("link to a device") << "device-link";
    }

    void specialOutputsAreRefusedEvenWithForce() {
        QFETCH(QString, name);
        QCOMPARE(::mkfifo(path("pipe").c_str(), 0644), 0);
        std::string device = "/dev/null";
        if (::geteuid() == 0) {
            device = path("null");
            if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                QSKIP("no device node can be made here");
        }
        QCOMPARE(::symlink(device.c_str(), path("device-link").c_str()), 0);
        const Run r = run({"export", str(input_), "--format", "bin", "--force", "-o", path(name)});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.find("not a regular file") != std::string::npos, r.err.c_str());
        QVERIFY(S_ISFIFO(support::statOf(path("pipe")).st_mode));
        QVERIFY(S_ISLNK(support::statOf(path("device-link")).st_mode));
        struct stat target {};
        QCOMPARE(::stat(device.c_str(), &target), 0);
        QVERIFY(S_ISCHR(target.st_mode));
        for (const QString& e : support::entriesOf(dir_.path())) QVERIFY(!e.startsWith('.'));
    }

    void badArgumentsAreExplained_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString in = "データー/FirstData.txt";
        QTest::newRow("no format") << QStringList{in, "-o", "x"} << 2 << "--format";
        QTest::newRow("unknown format")
            << QStringList{in, "--format", "jpg", "-o", "x"} << 2 << "unknown format 'jpg'";
        QTest::newRow("no output") << QStringList{in, "--format", "bin"} << 2 << "-o OUTPUT";
        QTest::newRow("frame past 267")
            << QStringList{in, "--format", "c", "--frames", "0..268", "-o", "x"} << 2
            << "outside 0..267";
        QTest::newRow("range text")
            << QStringList{in, "--format", "c", "--frames", "a..b", "-o", "x"} << 2
            << "not a whole number";
        QTest::newRow("option of another format")
            << QStringList{in, "--format", "bin", "--sheet", "-o", "x"} << 2
            << "--sheet does not apply to --format bin";
        QTest::newRow("split with frames")
            << QStringList{in, "--format", "bin", "--split", "--frames", "1", "-o", "x"} << 2
            << "--split";
        QTest::newRow("unknown chip")
            << QStringList{in, "--format", "bin", "--chip", "24c32", "-o", "x"} << 2
            << "unknown type '24c32'";
        QTest::newRow("gap as wide as the pitch")
            << QStringList{in, "--format", "png", "--scale", "3", "--gap", "3", "-o", "x"} << 2
            << "--gap";
        QTest::newRow("bad colour")
            << QStringList{in, "--format", "png", "--lit", "red", "-o", "x"} << 2 << "not a colour";
        QTest::newRow("option twice")
            << QStringList{in, "--format", "c", "--format", "c", "-o", "x"} << 2 << "given twice";
        QTest::newRow("picture to standard output")
            << QStringList{in, "--format", "png", "-o", "-"} << 2 << "only bin, ihex, c and xbm";
        QTest::newRow("split to standard output")
            << QStringList{in, "--format", "bin", "--split", "-o", "-"} << 2 << "two files";
        QTest::newRow("missing file")
            << QStringList{"nothing.txt", "--format", "bin", "-o", "x"} << 1 << "no such file";
    }
    void badArgumentsAreExplained() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        std::vector<std::string> argv{"export"};
        for (const auto& a : args)
            argv.push_back(a.startsWith("データー") || a == "nothing.txt" || a == "x" ? path(a)
                                                                                      : str(a));
        const Run r = run(argv);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.find(str(message)) != std::string::npos, r.err.c_str());
        QVERIFY(r.out.empty());
        QVERIFY(!QFile::exists(dir_.filePath("x")));
    }

    void emptyStoreHasNoDefaultRange() {
        writeStore(input_, *emptyStore());
        const Run r = run({"export", str(input_), "--format", "c", "-o", path("e.h")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.find("no frame holds a lit dot") != std::string::npos);
        QCOMPARE(
            run({"export", str(input_), "--format", "c", "--frames", "0", "-o", path("e.h")}).code,
            0);
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "test_export.moc"
