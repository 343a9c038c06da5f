// The folder of the running program, from which the data and settings folders are formed.
#include <QtTest>

#include "platform/appfolder.h"

using namespace dotreel;

class TestAppFolder : public QObject {
    Q_OBJECT

private slots:
    void isTheFolderOfTheRunningExecutable() {
        const QString folder = QString::fromStdString(applicationFolder());
        QCOMPARE(QFileInfo(folder).canonicalFilePath(),
                 QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
        // The caller appends the separator itself; a doubled one would spoil every path.
        QVERIFY(!folder.endsWith('/'));
    }

    void doesNotDependOnTheCurrentFolder() {
        const std::string before = applicationFolder();
        QTemporaryDir dir;
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const std::string after = applicationFolder();
        QDir::setCurrent(cwd);
        QCOMPARE(after, before);
    }
};

QTEST_GUILESS_MAIN(TestAppFolder)
#include "test_appfolder.moc"
