// `cmake --install` into a fresh prefix, in both layouts: the files land where the layout says,
// both programs run from there, the editor picks the right working folder, the entry validates.
#include <QImage>
#include <QStandardPaths>
#include <QtTest>

#include "support/program.h"

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void installs_data() {
        QTest::addColumn<QStringList>("component");
        QTest::addColumn<QString>("bin");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("icons");
        QTest::addColumn<QString>("demo");
        QTest::addColumn<QString>("workFolder");  // PREFIX and HOME stand for the two folders
        QTest::newRow("portable") << QStringList{} << ""
                                  << "dotreel.desktop"
                                  << "icons/hicolor"
                                  << ""
                                  << "PREFIX (beside the program";
        QTest::newRow("system") << QStringList{"--component", "system"} << "bin/"
                                << "share/applications/dotreel.desktop"
                                << "share/icons/hicolor"
                                << "share/dotreel/"
                                << "HOME/.local/share/dotreel (your own";
    }
    void installs() {
        QFETCH(QStringList, component);
        QFETCH(QString, bin);
        QFETCH(QString, entry);
        QFETCH(QString, icons);
        QFETCH(QString, demo);
        QFETCH(QString, workFolder);
        QTemporaryDir prefixDir, home;
        const QString prefix = prefixDir.path() + "/";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XDG_DATA_HOME");
        env.insert("HOME", home.path());

        const auto install = support::runProgram(
            CMAKE_COMMAND,
            QStringList{"--install", DOTREEL_BUILD_DIR, "--prefix", prefix} + component, env);
        QVERIFY2(install.code == 0, qPrintable(install.err));

        for (const char* size : {"16", "24", "32", "48", "64", "128", "256"}) {
            const QImage icon(prefix + icons + "/" + size + "x" + size + "/apps/dotreel.png");
            QCOMPARE(icon.width(), QString(size).toInt());
        }
        QVERIFY(QFile::exists(prefix + icons + "/scalable/apps/dotreel.svg"));
        QVERIFY(QFile::exists(prefix + demo + "設定/animation.txt"));
        QCOMPARE(QFile::exists(prefix + "データー"), demo.isEmpty());  // never straight into /usr

        QFile desktop(prefix + entry);
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        QVERIFY(desktop.readAll().contains("\nExec=" + (prefix + bin + "dotreel").toUtf8() + "\n"));
        const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
        if (!validator.isEmpty()) {
            const auto check = support::runProgram(validator, {prefix + entry}, env);
            QVERIFY2(check.code == 0 && check.out.isEmpty(), qPrintable(check.out + check.err));
        }

        // Both programs, started from elsewhere.
        const auto help =
            support::runProgram(prefix + bin + "dotreel", {"--help"}, env, home.path());
        QCOMPARE(help.code, 0);
        const QString expected =
            QString(workFolder).replace("PREFIX", prefixDir.path()).replace("HOME", home.path());
        QVERIFY2(help.out.contains("Work folder: " + expected), qPrintable(help.out));
        const auto tool = support::runProgram(prefix + bin + "dotreel-tool",
                                              {"check", prefix + demo + "データー/FirstData.txt"},
                                              env, home.path());
        QVERIFY2(tool.code == 0, qPrintable(tool.out + tool.err));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
