// The real editor before any window: its answers on the command line, and a plain refusal
// where no window can be opened.
#include <QtTest>

#include "support/program.h"

class TestStartProgram : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("display");  // "-" leaves DISPLAY unset
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("help") << QStringList{"--help"} << "-" << 0
                              << "usage: dotreel [--port PORT [--baud N]] [FOLDER]"
                              << "";
        QTest::newRow("help names the panel's options")
            << QStringList{"--help"} << "-" << 0 << "--baud N     the port's rate (default 115200)"
            << "";
        QTest::newRow("help names the folder")
            << QStringList{"/somewhere/else", "--help"} << "-" << 0
            << "Work folder: /somewhere/else (named on the command line)"
            << "";
        QTest::newRow("version") << QStringList{"--version"} << "-" << 0 << "dotreel "
                                 << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "-" << 2 << ""
                                        << "unknown option '--bogus'";
        QTest::newRow("a baud rate that is none")
            << QStringList{"--port", "p", "--baud", "fast"} << "-" << 2 << ""
            << "--baud takes a rate";
        QTest::newRow("no display") << QStringList{} << "-" << 1 << ""
                                    << "needs a graphical session";
        // A DISPLAY whose server is gone: Qt itself would abort the program.
        QTest::newRow("display that does not answer") << QStringList{} << ":29999" << 1 << ""
                                                      << "the window cannot be opened";
    }
    void answers() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, display);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME"})
            env.remove(name);
        env.insert("HOME", home.path());
        if (display != "-") env.insert("DISPLAY", display);
        const auto run = support::runProgram(DOTREEL_EDITOR, arguments, env, home.path());
        QCOMPARE(run.code, exitCode);  // -1: it crashed or hung
        QVERIFY2(run.out.contains(out), qPrintable(run.out));
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        if (exitCode == 1) QCOMPARE(run.err.count('\n'), 1);  // one line, nothing from Qt
        QCOMPARE(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestStartProgram)
#include "test_startprogram.moc"
