// Which folder the editor works in, and what a new working folder is given.
#include <QtTest>

#include "app/workfolder.h"
#include "platform/appfolder.h"
#include "platform/errors.h"

using namespace dotreel;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class TestWorkFolder : public QObject {
    Q_OBJECT

private slots:
    void chooses_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<bool>("holdsData");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("sharedDemo");
        QTest::addColumn<QString>("userFolder");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("demo");
        const int given = int(WorkFolderKind::Given), beside = int(WorkFolderKind::BesideProgram),
                  user = int(WorkFolderKind::PerUser), none = int(WorkFolderKind::None);
        QTest::newRow("a named folder wins") << "/w" << true << true << ""
                                             << "/u" << given << "/w"
                                             << "/p";
        QTest::newRow("portable folder with its data") << "" << true << false << ""
                                                       << "/u" << beside << "/p"
                                                       << "";
        QTest::newRow("portable folder, data gone but writable") << "" << false << true << ""
                                                                 << "/u" << beside << "/p"
                                                                 << "";
        QTest::newRow("read-only program folder") << "" << false << false << ""
                                                  << "/u" << user << "/u"
                                                  << "";
        QTest::newRow("system install, even when bin/ is writable") << "" << false << true << "/s"
                                                                    << "/u" << user << "/u"
                                                                    << "/s";
        QTest::newRow("named folder in a system install") << "/w" << false << false << "/s"
                                                          << "/u" << given << "/w"
                                                          << "/s";
        QTest::newRow("no home at all") << "" << false << false << ""
                                        << "" << none << ""
                                        << "";
    }
    void chooses() {
        QFETCH(QString, given);
        QFETCH(bool, holdsData);
        QFETCH(bool, writable);
        QFETCH(QString, sharedDemo);
        QFETCH(QString, userFolder);
        WorkFolderFacts facts;
        facts.given = given.toStdString();
        facts.programFolder = "/p";
        facts.programFolderHoldsData = holdsData;
        facts.programFolderWritable = writable;
        facts.sharedDemo = sharedDemo.toStdString();
        facts.userFolder = userFolder.toStdString();
        const WorkFolder chosen = chooseWorkFolder(facts);
        QTEST(int(chosen.kind), "kind");
        QTEST(QString::fromStdString(chosen.path), "path");
        QTEST(QString::fromStdString(chosen.demoSource), "demo");
    }

    void userDataHomeFollowsTheConvention_data() {
        QTest::addColumn<QString>("xdg");  // "-" stands for unset
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("expected");
        QTest::newRow("default") << "-"
                                 << "/home/a"
                                 << "/home/a/.local/share";
        QTest::newRow("home with a slash") << "-"
                                           << "/home/a/"
                                           << "/home/a/.local/share";
        QTest::newRow("XDG_DATA_HOME") << "/data"
                                       << "/home/a"
                                       << "/data";
        QTest::newRow("relative XDG_DATA_HOME ignored") << "data"
                                                        << "/home/a"
                                                        << "/home/a/.local/share";
        QTest::newRow("nothing known") << "-"
                                       << ""
                                       << "";
    }
    void userDataHomeFollowsTheConvention() {
        QFETCH(QString, xdg);
        QFETCH(QString, home);
        const QByteArray x = xdg.toUtf8(), h = home.toUtf8();
        QTEST(QString::fromStdString(
                  userDataHome(xdg == "-" ? nullptr : x.constData(), h.constData())),
              "expected");
    }

    // A new folder gets the demo; one that holds work keeps it, even where files are missing.
    void aNewFolderGetsTheDemoAndWorkIsNeverReplaced() {
        QTemporaryDir dir;
        const QString demo = dir.filePath("share/dotreel");
        writeAll(demo + "/データー/FirstData.txt", "demo image");
        writeAll(demo + "/設定/animation.txt", "0\r\n47\r\n60\r\n");

        const QString fresh = dir.filePath("new/work");
        prepareWorkFolder({WorkFolderKind::PerUser, fresh.toStdString(), demo.toStdString()});
        QCOMPARE(readAll(fresh + "/データー/FirstData.txt"), QByteArray("demo image"));
        QCOMPARE(readAll(fresh + "/設定/animation.txt"), QByteArray("0\r\n47\r\n60\r\n"));

        const QString used = dir.filePath("used");
        writeAll(used + "/データー/FirstData.txt", "my drawing");
        prepareWorkFolder({WorkFolderKind::Given, used.toStdString(), demo.toStdString()});
        QCOMPARE(readAll(used + "/データー/FirstData.txt"), QByteArray("my drawing"));
        QVERIFY(!QFile::exists(used + "/設定/animation.txt"));
    }

    void aFolderThatCannotBeMadeIsReported() {
        QTemporaryDir dir;
        writeAll(dir.filePath("file"), "x");
        QVERIFY_THROWS_EXCEPTION(
            PlatformError,
            prepareWorkFolder({WorkFolderKind::Given, dir.filePath("file").toStdString(), {}}));
    }
};

QTEST_GUILESS_MAIN(TestWorkFolder)
#include "test_workfolder.moc"
