// Syncing many written files at once: every file and its folder, and a clear failure naming the
// file that is not there.
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "platform/errors.h"
#include "platform/syncfiles.h"

class TestSyncFiles : public QObject {
    Q_OBJECT

private slots:
    void syncsFilesInSeveralFoldersAndNamesAMissingOne() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QDir(dir.path()).mkdir("sub");
        const std::string a = dir.filePath("a.bin").toStdString();
        const std::string b = dir.filePath("sub/b.bin").toStdString();
        std::ofstream(a) << "a";
        std::ofstream(b) << "b";
        dotreel::syncFiles({a, b, a});
        const std::string missing = dir.filePath("gone.bin").toStdString();
        try {
            dotreel::syncFiles({a, missing});
            QFAIL("a missing file was synced");
        } catch (const dotreel::PlatformError& e) {
            QCOMPARE(e.kind(), dotreel::ErrorKind::FileNotFound);
            QVERIFY(std::string(e.what()).find("gone.bin") != std::string::npos);
        }
    }
};

QTEST_GUILESS_MAIN(TestSyncFiles)
#include "test_syncfiles.moc"
