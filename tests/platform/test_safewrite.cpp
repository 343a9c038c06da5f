// Whole-file replacement on real files: what the user set on a file survives it, files the user
// may not write are refused, left-over temporary files of ours go, and a folder that cannot be
// synced makes the write fail.
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/errors.h"
#include "platform/safewrite.h"
#include "support/diskfiles.h"

using namespace dotreel;
using namespace support;

namespace {

const char* const kChildWrite = "--write-file";

// Restores the test program's umask, whatever a test sets.
struct UmaskGuard {
    mode_t saved = ::umask(022);
    ~UmaskGuard() { ::umask(saved); }
};

std::string linkOf(const std::string& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

}  // namespace

class TestSafeWrite : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        for (const QString& e : entriesOf(dir_.path())) {
            QFileInfo info(dir_.filePath(e));
            if (info.isDir() && !info.isSymLink())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }
    }

    void replacedFileKeepsModeAndOwner_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("0640") << 0640;
        QTest::newRow("0604") << 0604;
        QTest::newRow("0755") << 0755;
    }

    void replacedFileKeepsModeAndOwner() {
        QFETCH(int, mode);
        const std::string file = path("FirstData.txt");
        writeRaw(file, "old");
        QCOMPARE(::chmod(file.c_str(), static_cast<mode_t>(mode)), 0);
        // Only root can hand a file to another user; anyone keeps their own ids.
        const bool root = ::geteuid() == 0;
        if (root) QCOMPARE(::chown(file.c_str(), 4321, 4322), 0);
        const struct stat before = statOf(file);
        writeFileAtomically(file, "new");
        QCOMPARE(readRaw(file), std::string("new"));
        QCOMPARE(modeOf(file), static_cast<mode_t>(mode));
        QCOMPARE(statOf(file).st_uid, before.st_uid);
        QCOMPARE(statOf(file).st_gid, before.st_gid);
        QVERIFY(statOf(file).st_ino != before.st_ino);  // replaced, not written in place
        QCOMPARE(entriesOf(dir_.path()), QStringList{"FirstData.txt"});
    }

    void newFileModeFollowsTheUmask_data() {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("mode");
        QTest::newRow("022") << 022 << 0644;
        QTest::newRow("002") << 002 << 0664;
        QTest::newRow("077") << 077 << 0600;
    }

    void newFileModeFollowsTheUmask() {
        QFETCH(int, mask);
        QFETCH(int, mode);
        UmaskGuard guard;
        ::umask(static_cast<mode_t>(mask));
        writeFileAtomically(path("animation.txt"), "0\r\n267\r\n1\r\n");
        QCOMPARE(modeOf(path("animation.txt")), static_cast<mode_t>(mode));
    }

    // The link stays a link, naming the same file; the file it names gets the new content and
    // keeps its mode; the temporary file was made beside the target, so nothing is left over.
    void symbolicLinkStaysAndItsFileIsReplaced_data() {
        QTest::addColumn<QString>("linkText");
        QTest::addColumn<QString>("target");
        QTest::newRow("same folder") << "real.txt"
                                     << "real.txt";
        QTest::newRow("other folder, relative") << "sub/real.txt"
                                                << "sub/real.txt";
        QTest::newRow("link to a link") << "hop"
                                        << "sub/real.txt";
        QTest::newRow("dangling: the file is created") << "sub/new.txt"
                                                       << "sub/new.txt";
    }

    void symbolicLinkStaysAndItsFileIsReplaced() {
        QFETCH(QString, linkText);
        QFETCH(QString, target);
        QVERIFY(QDir(dir_.path()).mkdir("sub"));
        writeRaw(path("real.txt"), "old");
        writeRaw(path("sub/real.txt"), "old");
        ::chmod(path("sub/real.txt").c_str(), 0640);
        QCOMPARE(::symlink("sub/real.txt", path("hop").c_str()), 0);
        const std::string link = path("Data.txt");
        QCOMPARE(::symlink(linkText.toStdString().c_str(), link.c_str()), 0);

        writeFileAtomically(link, "new");
        QVERIFY(S_ISLNK(statOf(link).st_mode));
        QCOMPARE(QString::fromStdString(linkOf(link)), linkText);
        const std::string file = dir_.filePath(target).toStdString();
        QCOMPARE(readRaw(file), std::string("new"));
        if (target == "sub/real.txt") QCOMPARE(modeOf(file), mode_t(0640));
        for (const QString& folder : {dir_.path(), dir_.filePath("sub")})
            for (const QString& e : entriesOf(folder)) QVERIFY2(!e.startsWith('.'), qPrintable(e));
    }

    // Refused before anything is written, also for root: the old file and the folder stay as
    // they were. `otherUser` rows run as another user and need root to set up.
    void filesWeMayNotWriteAreRefused_data() {
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("otherUser");
        QTest::addColumn<int>("kind");
        const int denied = static_cast<int>(ErrorKind::PermissionDenied);
        QTest::newRow("read-only file") << 0444 << 0755 << false << denied;
        QTest::newRow("another user's file in a shared folder") << 0644 << 0777 << true << denied;
        QTest::newRow("folder that cannot be opened to sync") << 0666 << 0333 << true << denied;
    }

    void filesWeMayNotWriteAreRefused() {
        QFETCH(int, fileMode);
        QFETCH(int, folderMode);
        QFETCH(bool, otherUser);
        QFETCH(int, kind);
        if (otherUser && ::geteuid() != 0) QSKIP("needs root to make another user's files");
        QVERIFY(QDir(dir_.path()).mkdir("data"));
        const std::string folder = path("data");
        const std::string file = folder + "/FirstData.txt";
        writeRaw(file, "mine");
        QCOMPARE(::chmod(file.c_str(), static_cast<mode_t>(fileMode)), 0);
        QCOMPARE(::chmod(folder.c_str(), static_cast<mode_t>(folderMode)), 0);
        if (otherUser) QCOMPARE(::chmod(dir_.path().toUtf8().constData(), 0755), 0);
        const int code = exitCodeOfChild(
            [&] {
                try {
                    writeFileAtomically(file, "replaced");
                    return 100;
                } catch (const PlatformError& e) {
                    return static_cast<int>(e.kind());
                }
            },
            otherUser);
        ::chmod(folder.c_str(), 0755);
        QCOMPARE(code, kind);
        QCOMPARE(readRaw(file), std::string("mine"));
        QCOMPARE(entriesOf(dir_.filePath("data")), QStringList{"FirstData.txt"});
    }

    void leftOverTemporariesGoAndLookAlikesStay() {
        const QStringList kept{"FirstData.txt",         ".FirstData.txt.bak",
                               "FirstData.txt.Ab12Cd",  ".FirstData.txt.Ab12C",
                               ".FirstData.txt.Ab1-Cd", ".SecondData.txt.Ab12Cd"};
        for (const QString& name : kept) writeRaw(dir_.filePath(name).toStdString(), "user's");
        writeRaw(path(".FirstData.txt.Ab12Cd"), "half a save");
        writeRaw(path(".FirstData.txt.zzzzzz"), "another half");
        QVERIFY(QDir(dir_.path()).mkdir(".FirstData.txt.Dir123"));  // not a file of ours

        writeFileAtomically(path("FirstData.txt"), "saved");
        QStringList expected = kept;
        expected << ".FirstData.txt.Dir123";
        expected.sort();
        QCOMPARE(entriesOf(dir_.path()), expected);
        QCOMPARE(readRaw(path(".SecondData.txt.Ab12Cd")), std::string("user's"));
    }

    void specialFilesAreNeverReplaced() {
        QCOMPARE(::mkfifo(path("pipe").c_str(), 0644), 0);
        QCOMPARE(pathKind(path("pipe")), PathKind::Other);
        QCOMPARE(pathKind(path("missing")), PathKind::Missing);
        QVERIFY_THROWS_EXCEPTION(PlatformError, writeFileAtomically(path("pipe"), "x"));
        QVERIFY(S_ISFIFO(statOf(path("pipe")).st_mode));
        QCOMPARE(entriesOf(dir_.path()), QStringList{"pipe"});
    }

    // A failed sync of the folder after the rename: the new name may not survive a power loss,
    // so the write is not reported done. The write runs in this program started again under
    // strace, which fails the second fsync (the first is the file's own).
    void folderSyncFailureIsReported() {
        const QString strace = QStandardPaths::findExecutable("strace");
        if (strace.isEmpty()) QSKIP("strace is not installed");
        const std::string file = path("FirstData.txt");
        writeRaw(file, "old");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ASAN_OPTIONS", "detect_leaks=0");  // the leak checker cannot run traced
        p.setProcessEnvironment(env);
        p.start(strace, {"-f", "-o", "/dev/null", "-e", "trace=fsync", "-e",
                         "inject=fsync:error=EIO:when=2", QCoreApplication::applicationFilePath(),
                         kChildWrite, QString::fromStdString(file)});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), static_cast<int>(ErrorKind::IoError));
        QCOMPARE(entriesOf(dir_.path()), QStringList{"FirstData.txt"});
        QCOMPARE(readRaw(file), std::string("new"));  // renamed into place all the same
    }
};

// Started with kChildWrite and a path: one write of "new", the exit code telling the outcome
// (100 for done, else the ErrorKind).
int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == kChildWrite) {
        try {
            writeFileAtomically(argv[2], "new");
            return 100;
        } catch (const PlatformError& e) {
            return static_cast<int>(e.kind());
        }
    }
    QCoreApplication app(argc, argv);
    TestSafeWrite test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_safewrite.moc"
