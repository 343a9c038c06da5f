// The editor's command line and the check for a graphical session, as plain logic.
#include <QtTest>

#include "app/commandline.h"

using namespace dotreel;
using Action = EditorCommand::Action;

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("folder");
        QTest::newRow("nothing") << QStringList{} << int(Action::Run) << "";
        QTest::newRow("a folder") << QStringList{"work"} << int(Action::Run) << "work";
        QTest::newRow("help wins over a folder")
            << QStringList{"work", "--help", "--bogus"} << int(Action::Help) << "work";
        QTest::newRow("short help") << QStringList{"-h"} << int(Action::Help) << "";
        QTest::newRow("version") << QStringList{"--version"} << int(Action::Version) << "";
        QTest::newRow("unknown option") << QStringList{"--frame=3"} << int(Action::Refuse) << "";
        QTest::newRow("Qt's own option") << QStringList{"-platform"} << int(Action::Refuse) << "";
        QTest::newRow("two folders") << QStringList{"a", "b"} << int(Action::Refuse) << "";
        QTest::newRow("empty folder name") << QStringList{""} << int(Action::Refuse) << "";
        QTest::newRow("folder after --") << QStringList{"--", "-odd"} << int(Action::Run) << "-odd";
        QTest::newRow("a lone dash is a folder") << QStringList{"-"} << int(Action::Run) << "-";
    }
    void parses() {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, folder);
        std::vector<std::string> args;
        for (const QString& a : arguments) args.push_back(a.toStdString());
        const EditorCommand command = parseEditorCommandLine(args);
        QCOMPARE(int(command.action), action);
        QCOMPARE(QString::fromStdString(command.folder), folder);
        QCOMPARE(command.problem.empty(), action != int(Action::Refuse));
    }

    // The panel's port: --port wins over DOTREEL_PORT; a bad or missing value refuses to start.
    void portAndBaud_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment");  // "-" stands for unset
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("port");
        QTest::addColumn<unsigned>("baud");
        QTest::addColumn<QString>("folder");
        const int run = int(Action::Run), refuse = int(Action::Refuse);
        QTest::newRow("no port") << QStringList{"w"} << "-" << run << "" << 115200u << "w";
        QTest::newRow("--port PORT") << QStringList{"--port", "/dev/ttyUSB0", "w"} << "-" << run
                                     << "/dev/ttyUSB0" << 115200u << "w";
        QTest::newRow("--port=PORT, --baud=N")
            << QStringList{"--port=/dev/ttyACM1", "--baud=1000000"} << "-" << run << "/dev/ttyACM1"
            << 1000000u << "";
        QTest::newRow("folder before --baud N") << QStringList{"w", "--baud", "9600", "--port", "p"}
                                                << "-" << run << "p" << 9600u << "w";
        QTest::newRow("DOTREEL_PORT")
            << QStringList{} << "/dev/ttyUSB3" << run << "/dev/ttyUSB3" << 115200u << "";
        QTest::newRow("--port wins over DOTREEL_PORT")
            << QStringList{"--port", "/dev/a"} << "/dev/b" << run << "/dev/a" << 115200u << "";
        QTest::newRow("empty DOTREEL_PORT") << QStringList{} << "" << run << "" << 115200u << "";
        QTest::newRow("--port without a value")
            << QStringList{"--port"} << "-" << refuse << "" << 115200u << "";
        QTest::newRow("--port=") << QStringList{"--port="} << "-" << refuse << "" << 115200u << "";
        QTest::newRow("--baud zero")
            << QStringList{"--baud", "0"} << "-" << refuse << "" << 115200u << "";
        QTest::newRow("--baud words")
            << QStringList{"--baud=fast"} << "-" << refuse << "" << 115200u << "";
        QTest::newRow("--baud past the highest")
            << QStringList{"--baud", "4000001"} << "-" << refuse << "" << 115200u << "";
        QTest::newRow("--baud with a sign")
            << QStringList{"--baud", "+9600"} << "-" << refuse << "" << 115200u << "";
        QTest::newRow("--portal is no option")
            << QStringList{"--portal"} << "-" << refuse << "" << 115200u << "";
        QTest::newRow("help names the folder after a port")
            << QStringList{"--port", "p", "w", "--help"} << "-" << int(Action::Help) << ""
            << 115200u << "w";
    }
    void portAndBaud() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(int, action);
        QFETCH(QString, port);
        QFETCH(unsigned, baud);
        QFETCH(QString, folder);
        std::vector<std::string> args;
        for (const QString& a : arguments) args.push_back(a.toStdString());
        const QByteArray env = environment.toUtf8();
        const EditorCommand command =
            parseEditorCommandLine(args, environment == "-" ? nullptr : env.constData());
        QCOMPARE(int(command.action), action);
        QCOMPARE(QString::fromStdString(command.port), port);
        QCOMPARE(command.baud, baud);
        QCOMPARE(QString::fromStdString(command.folder), folder);
        if (action == int(Action::Refuse)) QVERIFY(command.problem.find('\n') == std::string::npos);
    }

    void needsADisplay_data() {
        QTest::addColumn<QString>("platform");  // "-" stands for unset
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<bool>("refused");
        QTest::newRow("nothing set") << "-"
                                     << "-"
                                     << "-" << true;
        QTest::newRow("empty DISPLAY") << "-"
                                       << ""
                                       << "-" << true;
        QTest::newRow("X display") << "-"
                                   << ":0"
                                   << "-" << false;
        QTest::newRow("Wayland") << "-"
                                 << "-"
                                 << "wayland-0" << false;
        QTest::newRow("xcb wants X") << "xcb"
                                     << "-"
                                     << "wayland-0" << true;
        QTest::newRow("wayland wants Wayland") << "wayland"
                                               << ":0"
                                               << "-" << true;
        QTest::newRow("either of a list") << "wayland;xcb"
                                          << ":0"
                                          << "-" << false;
        QTest::newRow("offscreen needs none") << "offscreen"
                                              << "-"
                                              << "-" << false;
    }
    void needsADisplay() {
        QFETCH(QString, platform);
        QFETCH(QString, display);
        QFETCH(QString, wayland);
        QFETCH(bool, refused);
        const auto value = [](const QString& s, QByteArray& keep) -> const char* {
            keep = s.toUtf8();
            return s == "-" ? nullptr : keep.constData();
        };
        QByteArray p, d, w;
        const std::string problem = missingDisplayProblem(value(platform, p), value(display, d),
                                                          value(wayland, w), "dotreel");
        QCOMPARE(!problem.empty(), refused);
        if (refused) {
            QVERIFY(problem.find("xvfb-run -a dotreel") != std::string::npos);
            QVERIFY(problem.find('\n') == std::string::npos);
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
