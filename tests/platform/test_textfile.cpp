// Sequential input files, whole-file writes that never leave a half-written file, and the
// case-insensitive file-name match.
#include <QtTest>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "hostilefiles.h"
#include "platform/errors.h"
#include "platform/textfile.h"

using namespace dotreel;

Q_DECLARE_METATYPE(ErrorKind)
Q_DECLARE_METATYPE(support::Hostile)

namespace {

void writeRaw(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string readRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every entry of a folder, hidden ones included, so that a left-over temporary file shows.
QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

ErrorKind openError(FileTable& files, const std::string& path, std::string* description) {
    try {
        files.openForInput(files.freeFile(), path);
    } catch (const PlatformError& e) {
        if (description != nullptr) *description = e.description();
        return e.kind();
    }
    throw std::runtime_error("the file opened");
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

}  // namespace

class TestTextFile : public QObject {
    Q_OBJECT

private slots:
    void readsLinesWithEveryLineEnd_data();
    void readsLinesWithEveryLineEnd();
    void emptyFileIsAtEndAtTheFirstRead();
    void readPastTheEndKeepsFailing();
    void freeFileGivesTheLowestUnusedNumber();
    void filesOpenUnderDifferentNumbersAreReadIndependently();
    void reportsOpenErrorsByKindNamingThePath();
    void readingAnUnopenedNumberFails();
    void refusesWhatIsNoFileOrFarTooLarge_data();
    void refusesWhatIsNoFileOrFarTooLarge();

    void writeCreatesANewFile();
    void writeReplacesTheWholeOldContent();
    void writeWithoutFlushGivesTheSameFile();
    void writeKeepsThePermissionsOfTheReplacedFile();
    void writeRefusesAFileWithoutWriteBits();
    void writeIntoAMissingFolderFailsAndLeavesNothing();
    void writeOverAFolderFailsAndLeavesNothing();
    void diskFullPartWayKeepsTheOldFile();

    void resolveMatchesNamesWithoutLetterCase();
    void resolveGivesOneFileForEverySpelling();
    void resolveWithoutMatchKeepsTheAskedName();
};

void TestTextFile::readsLinesWithEveryLineEnd_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::newRow("CR LF") << QByteArray("7F\r\n00\r\nff\r\n")
                           << QList<QByteArray>{"7F", "00", "ff"};
    QTest::newRow("CR") << QByteArray("7F\r00\rff\r") << QList<QByteArray>{"7F", "00", "ff"};
    QTest::newRow("lone LF") << QByteArray("7F\n00\nff\n") << QList<QByteArray>{"7F", "00", "ff"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd\r\n")
                           << QList<QByteArray>{"a", "b", "c", "d"};
    QTest::newRow("last line without end")
        << QByteArray("a\r\nlast") << QList<QByteArray>{"a", "last"};
    QTest::newRow("empty lines") << QByteArray("\r\n\r\nx\r\n") << QList<QByteArray>{"", "", "x"};
    QTest::newRow("LF CR is two line ends")
        << QByteArray("a\n\rb\r\n") << QList<QByteArray>{"a", "", "b"};
    QTest::newRow("CR CR LF is two line ends")
        << QByteArray("a\r\r\nb") << QList<QByteArray>{"a", "", "b"};
    QTest::newRow("single line end only") << QByteArray("\r\n") << QList<QByteArray>{""};
    QTest::newRow("blanks kept") << QByteArray(" 12 \r\n") << QList<QByteArray>{" 12 "};
    QTest::newRow("non-ASCII bytes kept")
        << QByteArray("データー\r\n\xff\xfe\r\n") << QList<QByteArray>{"データー", "\xff\xfe"};
}

void TestTextFile::readsLinesWithEveryLineEnd() {
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, lines);
    QTemporaryDir dir;
    const std::string path = dir.filePath("lines.txt").toStdString();
    writeRaw(path, content.toStdString());

    FileTable files;
    files.openForInput(1, path);
    std::string line;
    for (const QByteArray& expected : lines) {
        files.lineInput(1, line);
        QCOMPARE(QByteArray::fromStdString(line), expected);
    }
    QVERIFY_THROWS_EXCEPTION(PlatformError, files.lineInput(1, line));
}

void TestTextFile::emptyFileIsAtEndAtTheFirstRead() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("empty.txt").toStdString();
    writeRaw(path, "");
    FileTable files;
    files.openForInput(1, path);
    std::string line = "unchanged";
    try {
        files.lineInput(1, line);
        QFAIL("read a line from an empty file");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::EndOfFile);
        QVERIFY(e.description().find(path) != std::string::npos);
    }
}

void TestTextFile::readPastTheEndKeepsFailing() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("two.txt").toStdString();
    writeRaw(path, "1\r\n2\r\n");
    FileTable files;
    files.openForInput(3, path);
    std::string line;
    files.lineInput(3, line);
    files.lineInput(3, line);
    QCOMPARE(line, std::string("2"));
    for (int attempt = 0; attempt < 3; ++attempt) {
        try {
            files.lineInput(3, line);
            QFAIL("read past the end");
        } catch (const PlatformError& e) {
            QCOMPARE(e.kind(), ErrorKind::EndOfFile);
        }
    }
    // A failed read does not disturb the last line read.
    QCOMPARE(line, std::string("2"));
    QVERIFY(files.isOpen(3));
}

void TestTextFile::freeFileGivesTheLowestUnusedNumber() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("f.txt").toStdString();
    writeRaw(path, "x\r\n");
    FileTable files;
    QCOMPARE(files.freeFile(), int16_t(1));
    files.openForInput(files.freeFile(), path);
    QCOMPARE(files.freeFile(), int16_t(2));
    files.openForInput(files.freeFile(), path);
    files.openForInput(files.freeFile(), path);
    QCOMPARE(files.openCount(), size_t(3));
    QCOMPARE(files.freeFile(), int16_t(4));
    files.close(2);
    QCOMPARE(files.freeFile(), int16_t(2));
    QVERIFY(!files.isOpen(2));
    QVERIFY(files.isOpen(1) && files.isOpen(3));
    files.close(1);
    files.close(3);
    QCOMPARE(files.openCount(), size_t(0));
    QCOMPARE(files.freeFile(), int16_t(1));
    // A failed open takes no number.
    try {
        files.openForInput(1, dir.filePath("missing.txt").toStdString());
    } catch (const PlatformError&) {
    }
    QCOMPARE(files.openCount(), size_t(0));
    QCOMPARE(files.freeFile(), int16_t(1));
}

void TestTextFile::filesOpenUnderDifferentNumbersAreReadIndependently() {
    QTemporaryDir dir;
    const std::string a = dir.filePath("a.txt").toStdString();
    const std::string b = dir.filePath("b.txt").toStdString();
    writeRaw(a, "a1\r\na2\r\n");
    writeRaw(b, "b1\r\nb2\r\n");
    FileTable files;
    files.openForInput(1, a);
    files.openForInput(2, b);
    std::string line;
    files.lineInput(1, line);
    QCOMPARE(line, std::string("a1"));
    files.lineInput(2, line);
    QCOMPARE(line, std::string("b1"));
    files.lineInput(1, line);
    QCOMPARE(line, std::string("a2"));
    files.lineInput(2, line);
    QCOMPARE(line, std::string("b2"));
}

void TestTextFile::reportsOpenErrorsByKindNamingThePath() {
    QTemporaryDir dir;
    FileTable files;
    std::string description;

    const std::string missing = dir.filePath("missing.txt").toStdString();
    QCOMPARE(openError(files, missing, &description), ErrorKind::FileNotFound);
    QVERIFY2(description.find(missing) != std::string::npos, description.c_str());

    const std::string missingFolder = dir.filePath("データー/FirstData.txt").toStdString();
    QCOMPARE(openError(files, missingFolder, &description), ErrorKind::PathNotFound);
    QVERIFY2(description.find(dir.filePath("データー").toStdString()) != std::string::npos,
             description.c_str());

    const std::string plainFile = dir.filePath("plain").toStdString();
    writeRaw(plainFile, "x");
    QCOMPARE(openError(files, plainFile + "/FirstData.txt", &description), ErrorKind::PathNotFound);

    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const std::string folder = dir.filePath("folder").toStdString();
    const ErrorKind folderKind = openError(files, folder, &description);
    QVERIFY(folderKind != ErrorKind::EndOfFile);
    QVERIFY2(description.find(folder) != std::string::npos, description.c_str());
    QCOMPARE(files.openCount(), size_t(0));
}

void TestTextFile::refusesWhatIsNoFileOrFarTooLarge_data() {
    QTest::addColumn<support::Hostile>("kind");
    QTest::addColumn<ErrorKind>("refusal");
    QTest::newRow("fifo without a writer") << support::Hostile::Fifo << ErrorKind::NotAFile;
    QTest::newRow("link to /dev/zero") << support::Hostile::LinkToDevZero << ErrorKind::NotAFile;
    QTest::newRow("sparse 2 GiB") << support::Hostile::Sparse2G << ErrorKind::TooLarge;
    QTest::newRow("one byte over 64 MiB")
        << support::Hostile::SparseOverLimit << ErrorKind::TooLarge;
}

// Each returns at once: nothing waits on a FIFO, reads a device or a huge file.
void TestTextFile::refusesWhatIsNoFileOrFarTooLarge() {
    QFETCH(support::Hostile, kind);
    QFETCH(ErrorKind, refusal);
    QTemporaryDir dir;
    const std::string path = dir.filePath("FirstData.txt").toStdString();
    QVERIFY(support::makeHostile(path, kind));
    FileTable files;
    std::string description;
    QCOMPARE(openError(files, path, &description), refusal);
    QVERIFY2(description.find(path) != std::string::npos, description.c_str());
    if (refusal == ErrorKind::TooLarge)
        QVERIFY2(description.find(std::to_string(support::hostileSize(kind))) != std::string::npos,
                 description.c_str());
    QCOMPARE(files.openCount(), size_t(0));

    if (kind == support::Hostile::SparseOverLimit) {
        // The limit itself is still read, whole.
        QVERIFY(support::makeHostile(path, support::Hostile::SparseAtLimit));
        files.openForInput(1, path);
        QCOMPARE(files.contents(1).size(), static_cast<size_t>(kLargestInputFile));
    }
}

void TestTextFile::readingAnUnopenedNumberFails() {
    FileTable files;
    std::string line;
    QVERIFY_THROWS_EXCEPTION(PlatformError, files.lineInput(1, line));
}

void TestTextFile::writeCreatesANewFile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("new.txt").toStdString();
    writeFileAtomically(path, "00\r\nFF\r\n");
    QCOMPARE(readRaw(path), std::string("00\r\nFF\r\n"));
    QCOMPARE(entriesOf(dir.path()), QStringList{"new.txt"});
    // Readable by others like any ordinary file, not left private like a temporary file.
    QCOMPARE(modeOf(path), mode_t(0644));
}

void TestTextFile::writeReplacesTheWholeOldContent() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("Data.txt").toStdString();
    writeRaw(path, std::string(10000, 'x'));
    writeFileAtomically(path, "short\r\n");
    QCOMPARE(readRaw(path), std::string("short\r\n"));
    writeFileAtomically(path, "");
    QCOMPARE(readRaw(path), std::string());
    QCOMPARE(entriesOf(dir.path()), QStringList{"Data.txt"});
}

void TestTextFile::writeWithoutFlushGivesTheSameFile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("f.txt").toStdString();
    const std::string data(524288, 'A');
    writeFileAtomically(path, data, false);
    QCOMPARE(readRaw(path), data);
    QCOMPARE(entriesOf(dir.path()), QStringList{"f.txt"});
}

void TestTextFile::writeKeepsThePermissionsOfTheReplacedFile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("f.txt").toStdString();
    writeRaw(path, "old");
    ::chmod(path.c_str(), 0600);
    writeFileAtomically(path, "new");
    QCOMPARE(modeOf(path), mode_t(0600));
    QCOMPARE(readRaw(path), std::string("new"));
}

void TestTextFile::writeRefusesAFileWithoutWriteBits() {
    // Refused by its mode bits, so also when the program runs as root.
    QTemporaryDir dir;
    const std::string path = dir.filePath("animation.txt").toStdString();
    writeRaw(path, "0\r\n47\r\n60\r\n");
    ::chmod(path.c_str(), 0444);
    try {
        writeFileAtomically(path, "1\r\n2\r\n3\r\n");
        QFAIL("a read-only file was replaced");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::PermissionDenied);
        QVERIFY(e.description().find(path) != std::string::npos);
    }
    QCOMPARE(readRaw(path), std::string("0\r\n47\r\n60\r\n"));
    QCOMPARE(modeOf(path), mode_t(0444));
    QCOMPARE(entriesOf(dir.path()), QStringList{"animation.txt"});
}

void TestTextFile::writeIntoAMissingFolderFailsAndLeavesNothing() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("設定/animation.txt").toStdString();
    try {
        writeFileAtomically(path, "x");
        QFAIL("wrote into a missing folder");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::PathNotFound);
    }
    QVERIFY(entriesOf(dir.path()).isEmpty());
}

void TestTextFile::writeOverAFolderFailsAndLeavesNothing() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("Data.txt"));
    const std::string path = dir.filePath("Data.txt").toStdString();
    QVERIFY_THROWS_EXCEPTION(PlatformError, writeFileAtomically(path, "x"));
    QVERIFY(QFileInfo(dir.filePath("Data.txt")).isDir());
    QCOMPARE(entriesOf(dir.path()), QStringList{"Data.txt"});
}

void TestTextFile::diskFullPartWayKeepsTheOldFile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("FirstData.txt").toStdString();
    std::string old;
    for (int i = 0; i < 1000; ++i) old += "5A\r\n";
    writeRaw(path, old);
    const std::string replacement(200000, 'F');

    // The file size limit makes the write stop part-way with EFBIG, as a full disk would; it is
    // set in a child process so that it cannot touch the test program itself.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int code = 10;
        try {
            writeFileAtomically(path, replacement);
            code = 11;
        } catch (const PlatformError& e) {
            code = e.kind() == ErrorKind::DiskFull ? 0 : 12;
        } catch (...) {
            code = 13;
        }
        ::_exit(code);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readRaw(path), old);
    QCOMPARE(entriesOf(dir.path()), QStringList{"FirstData.txt"});
}

void TestTextFile::resolveMatchesNamesWithoutLetterCase() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    writeRaw(folder + "Data.txt", "x");
    QCOMPARE(resolveFileName(folder, "data.txt"), folder + "Data.txt");
    QCOMPARE(resolveFileName(folder, "Data.txt"), folder + "Data.txt");
    QCOMPARE(resolveFileName(folder, "DATA.TXT"), folder + "Data.txt");

    QTemporaryDir other;
    const std::string folder2 = other.path().toStdString() + "/";
    writeRaw(folder2 + "data.txt", "x");
    QCOMPARE(resolveFileName(folder2, "Data.txt"), folder2 + "data.txt");
    // A name that only looks alike is no match.
    QCOMPARE(resolveFileName(folder2, "data.txt2"), folder2 + "data.txt2");
}

void TestTextFile::resolveGivesOneFileForEverySpelling() {
    // With both spellings on disk, a save under "Data.txt" must be what "data.txt" reads back.
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    writeRaw(folder + "data.txt", "lower");
    writeRaw(folder + "Data.txt", "upper");
    const std::string saved = resolveFileName(folder, "Data.txt");
    QCOMPARE(resolveFileName(folder, "data.txt"), saved);
    QCOMPARE(resolveFileName(folder, "DATA.txt"), saved);
}

void TestTextFile::resolveWithoutMatchKeepsTheAskedName() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    QCOMPARE(resolveFileName(folder, "Data.txt"), folder + "Data.txt");
    QCOMPARE(resolveFileName(folder + "missing/", "data.txt"), folder + "missing/data.txt");
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "test_textfile.moc"
