// The real `dotreel-tool device` against a scripted player on a pseudo-terminal: what reaches
// the device's store and panel, uploads through a bad line, every failure's exit status and
// message, a port another program holds, and Ctrl+C in the middle of an upload.
#include <sys/file.h>
#include <csignal>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "linkdevice.h"
#include "support/program.h"
#include "toolfixtures.h"

using namespace fixtures;

namespace {

enum class Line { Clean, Drops, Garbles, Resets, Silent, BrokenAnswers, OtherVersion, BadEeprom };

void misbehave(support::LinkDevice& device, Line line) {
    switch (line) {
        case Line::Clean:
            break;
        // Rare enough that a whole store costs only a few answer time-outs.
        case Line::Drops:
            device.knobs.dropEveryNth = 40009;
            break;
        case Line::Garbles:
            device.knobs.garbleEveryNth = 50021;
            break;
        case Line::Resets:
            device.knobs.resetAfter = 700;
            break;
        case Line::Silent:
            device.knobs.neverAnswer = true;
            break;
        case Line::BrokenAnswers:
            device.knobs.garbleAnswerEveryNth = 5;
            break;
        case Line::OtherVersion:
            device.knobs.version = 2;
            break;
        case Line::BadEeprom:
            device.knobs.eepromStatus = 5;
            break;
    }
}

// What the device must hold or show afterwards.
enum class Expect { Nothing, StoreIsFile, Frame5Shown, PlayKept, PlayOnce, Stopped };

}  // namespace

Q_DECLARE_METATYPE(Line)
Q_DECLARE_METATYPE(Expect)

class TestDevice : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString file_, settings_;
    std::unique_ptr<dotreel::FrameMemory> store_ = patternStore();

    support::ProgramRun tool(QStringList args, const QString& port, QStringList env = {}) {
        args.replaceInStrings("FILE", file_);
        args.replaceInStrings("SETTINGS", settings_);
        args.replaceInStrings("PORT", port);
        return support::runProgram(QStringLiteral(DOTREEL_TOOL_PATH), args, {{}, env, {}});
    }

    bool deviceHoldsFile(const support::LinkDevice& device) const {
        const auto held = device.store();
        return std::equal(held.begin(), held.end(), store_->begin());
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        file_ = dir_.filePath("frames.txt");
        writeStore(file_, *store_);
        settings_ = dir_.filePath("animation.txt");
        writeAll(settings_, "12\r\n4\r\n40\r\n");
    }

    void commands_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Line>("line");
        QTest::addColumn<bool>("portFromEnvironment");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");  // in standard output or error
        QTest::addColumn<Expect>("expect");
        const QStringList upload{"device", "upload", "FILE", "--port", "PORT"};
        const QStringList info{"device", "info", "--port", "PORT"};

        QTest::newRow("info") << info << Line::Clean << false << 0 << "protocol:  version 1"
                              << Expect::Nothing;
        QTest::newRow("info, port from DOTREEL_PORT")
            << QStringList{"device", "info"} << Line::Clean << true << 0
            << "EEPROMs:   chip 0 (0x50) answers, chip 1 (0x51) answers" << Expect::Nothing;
        QTest::newRow("upload") << upload << Line::Clean << false << 0 << "read back and equal"
                                << Expect::StoreIsFile;
        QTest::newRow("upload, line drops bytes")
            << upload << Line::Drops << false << 0 << "read back and equal" << Expect::StoreIsFile;
        QTest::newRow("upload, line garbles bytes") << upload << Line::Garbles << false << 0
                                                    << "read back and equal" << Expect::StoreIsFile;
        QTest::newRow("upload, device resets")
            << upload << Line::Resets << false << 0 << "read back and equal" << Expect::StoreIsFile;
        QTest::newRow("upload --no-verify")
            << upload + QStringList{"--no-verify"} << Line::Clean << false << 0 << "(not read back)"
            << Expect::StoreIsFile;
        QTest::newRow("upload with settings")
            << upload + QStringList{"SETTINGS"} << Line::Clean << false << 0
            << "playing frames 12..4 every 40 ms, repeated, from every power-up on"
            << Expect::PlayKept;
        QTest::newRow("upload, EEPROM fails")
            << upload << Line::BadEeprom << false << 1
            << "the EEPROM failed (write cycle not over in 10 ms)" << Expect::Nothing;
        QTest::newRow("show") << QStringList{"device", "show", "FILE", "--frame", "5", "-p", "PORT"}
                              << Line::Clean << false << 0 << "frame 5 of" << Expect::Frame5Shown;
        QTest::newRow("play") << QStringList{"device", "play",   "--start",    "3",
                                             "--end",  "9",      "--interval", "25",
                                             "--once", "--port", "PORT"}
                              << Line::Clean << false << 0 << "frames 3..9 every 25 ms, once"
                              << Expect::PlayOnce;
        QTest::newRow("stop") << QStringList{"device", "stop", "--port", "PORT"} << Line::Clean
                              << false << 0 << "stopped" << Expect::Stopped;

        QTest::newRow("never answers")
            << info << Line::Silent << false << 1 << "no answer from PORT: is the player flashed"
            << Expect::Nothing;
        QTest::newRow("answers always broken") << info << Line::BrokenAnswers << false << 1
                                               << "keep arriving broken" << Expect::Nothing;
        QTest::newRow("another protocol version")
            << upload << Line::OtherVersion << false << 1 << "speaks link protocol version 2"
            << Expect::Nothing;
        QTest::newRow("no such port")
            << QStringList{"device", "info", "--port", "/dev/ttyNoSuchPort7"} << Line::Clean
            << false << 1 << "no such port: /dev/ttyNoSuchPort7" << Expect::Nothing;

        QTest::newRow("no port given") << QStringList{"device", "info"} << Line::Clean << false << 2
                                       << "give --port" << Expect::Nothing;
        QTest::newRow("baud the library cannot set")
            << info + QStringList{"--baud", "12345"} << Line::Clean << false << 2 << "--baud 12345"
            << Expect::Nothing;
        QTest::newRow("option of another command")
            << upload + QStringList{"--frame", "3"} << Line::Clean << false << 2
            << "--frame does not apply to 'device upload'" << Expect::Nothing;
        QTest::newRow("show without --frame")
            << QStringList{"device", "show", "FILE", "--port", "PORT"} << Line::Clean << false << 2
            << "--frame N" << Expect::Nothing;
        QTest::newRow("unknown device command")
            << QStringList{"device", "uplod", "--port", "PORT"} << Line::Clean << false << 2
            << "did you mean 'upload'?" << Expect::Nothing;
    }
    void commands() {
        QFETCH(QStringList, args);
        QFETCH(Line, line);
        QFETCH(bool, portFromEnvironment);
        QFETCH(int, code);
        QFETCH(QString, says);
        QFETCH(Expect, expect);
        support::LinkDevice device;
        misbehave(device, line);
        const QString port = QString::fromStdString(device.slavePath());
        QElapsedTimer timer;
        timer.start();
        const auto r = tool(
            args, port, portFromEnvironment ? QStringList{"DOTREEL_PORT=" + port} : QStringList{});
        QVERIFY2(r.code == code,
                 qPrintable(QString("exit %1\n%2%3").arg(r.code).arg(r.out, r.err)));
        says.replace("PORT", port);
        QVERIFY2((r.out + r.err).contains(says), qPrintable(r.out + r.err));
        // Standard error is no terminal here: one line per phase, no bar.
        if (args[1] == "upload" && code == 0) {
            QVERIFY2(r.err.contains("writing 131072 bytes to " + port + "\n"), qPrintable(r.err));
            QCOMPARE(r.err.contains("verifying 131072 bytes back from"),
                     !args.contains("--no-verify"));
            QVERIFY(!r.err.contains('\r'));
        }
        // Failing requests give up after their tries: well within the time a user would wait.
        if (code != 0) QVERIFY(timer.elapsed() < 10000);
        switch (expect) {
            case Expect::Nothing:
                break;
            case Expect::StoreIsFile:
                QVERIFY(deviceHoldsFile(device));
                break;
            case Expect::Frame5Shown: {
                const auto shown = device.shown();
                QCOMPARE(shown.size(), size_t(1));
                QCOMPARE(std::string(shown[0].begin(), shown[0].end()), frameBytes(*store_, 5));
                break;
            }
            case Expect::PlayKept:
            case Expect::PlayOnce: {
                const auto plays = device.plays();
                QCOMPARE(plays.size(), size_t(1));
                const bool kept = expect == Expect::PlayKept;
                QCOMPARE(plays[0].start, uint16_t(kept ? 12 : 3));
                QCOMPARE(plays[0].end, uint16_t(kept ? 4 : 9));
                QCOMPARE(plays[0].intervalMs, uint16_t(kept ? 40 : 25));
                QCOMPARE(plays[0].flags,
                         uint8_t(kept ? DOTREEL_LINK_PLAY_REPEAT | DOTREEL_LINK_PLAY_KEEP : 0));
                break;
            }
            case Expect::Stopped:
                QCOMPARE(device.stops(), 1u);
                break;
        }
        if (line == Line::Drops || line == Line::Garbles || line == Line::Resets)
            QVERIFY2(device.requests() > 2048, "the bad line cost no retry");
    }

    void verifyNamesTheFirstDifference() {
        support::LinkDevice device;
        std::vector<uint8_t> held(store_->begin(), store_->begin() + dotreel::kStoreBytes);
        held[0x12345] ^= 0x10;
        held[0x1FFFF] ^= 0x01;
        device.setStore(held);
        const auto r = tool({"device", "verify", "FILE", "--port", "PORT"},
                            QString::fromStdString(device.slavePath()));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("at address 0x12345 (frame 152, chip 1 byte 0x2345)"),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains("2 bytes differ"), qPrintable(r.err));
        device.setStore(
            std::vector<uint8_t>(store_->begin(), store_->begin() + dotreel::kStoreBytes));
        QCOMPARE(tool({"device", "verify", "FILE", "--port", "PORT"},
                      QString::fromStdString(device.slavePath()))
                     .code,
                 0);
    }

    void portHeldByAnotherProgram() {
        support::LinkDevice device;
        const int holder = ::open(device.slavePath().c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0);
        QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        const auto r =
            tool({"device", "info", "--port", "PORT"}, QString::fromStdString(device.slavePath()));
        ::close(holder);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("port busy"), qPrintable(r.err));
        QCOMPARE(device.requests(), 0u);
    }

    // Ctrl+C mid-upload: exit 130 with the advice, and the device goes on answering.
    void interruptedUpload() {
        support::LinkDevice device;
        device.knobs.writeCycleUs = 2000;  // slow enough to be caught in the middle
        const QString port = QString::fromStdString(device.slavePath());
        QProcess p;
        p.start(QStringLiteral(DOTREEL_TOOL_PATH), {"device", "upload", file_, "--port", port});
        QVERIFY(p.waitForStarted());
        QVERIFY(device.waitUntil([&] { return device.requests() > 100; }, 20000));
        ::kill(static_cast<pid_t>(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130);
        QVERIFY(
            p.readAllStandardError().contains("upload cancelled; the store on the device is "
                                              "incomplete, upload again"));
        QVERIFY(device.requests() < 1024);
        QVERIFY(!deviceHoldsFile(device));
        QCOMPARE(tool({"device", "info", "--port", "PORT"}, port).code, 0);
        // The next upload starts over and ends with the whole store.
        device.knobs.writeCycleUs = 0;
        QCOMPARE(tool({"device", "upload", "FILE", "--port", "PORT"}, port).code, 0);
        QVERIFY(deviceHoldsFile(device));
    }

    void listRuns() {
        const auto r = tool({"device", "list"}, {});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY(!r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "test_device.moc"
