// Reading lines from open files by number: the right file and place whichever numbers are read in
// turn, closed, reopened, or copied with their table.
#include <QtTest>

#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/textfile.h"

using namespace dotreel;

namespace {

void writeRaw(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string readView(FileTable& files, int16_t fileNo) {
    std::string_view line;
    files.lineInput(fileNo, line);
    return std::string(line);
}

}  // namespace

class TestTextFileView : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::string path(const char* name) const { return dir_.path().toStdString() + "/" + name; }

private slots:
    void readsOfTwoNumbersInTurnKeepTheirPlaces() {
        writeRaw(path("a.txt"), "a1\r\na2\r\na3\r\n");
        writeRaw(path("b.txt"), "b1\r\nb2\r\n");
        FileTable files;
        files.openForInput(1, path("a.txt"));
        QCOMPARE(readView(files, 1), std::string("a1"));
        QCOMPARE(readView(files, 1), std::string("a2"));
        files.openForInput(2, path("b.txt"));
        QCOMPARE(readView(files, 2), std::string("b1"));
        QCOMPARE(readView(files, 1), std::string("a3"));
        QCOMPARE(readView(files, 2), std::string("b2"));
        QVERIFY_THROWS_EXCEPTION(PlatformError, readView(files, 2));
        QVERIFY_THROWS_EXCEPTION(PlatformError, readView(files, 1));
    }

    void closedNumberCannotBeReadAndReopeningReadsTheNewFile() {
        writeRaw(path("a.txt"), "a1\r\na2\r\n");
        writeRaw(path("b.txt"), "b1\r\n");
        FileTable files;
        files.openForInput(1, path("a.txt"));
        QCOMPARE(readView(files, 1), std::string("a1"));
        files.close(1);
        try {
            readView(files, 1);
            QFAIL("a closed number was read");
        } catch (const PlatformError& e) {
            QCOMPARE(e.kind(), ErrorKind::IoError);
        }
        files.openForInput(1, path("b.txt"));
        QCOMPARE(readView(files, 1), std::string("b1"));
        // Opening a number that is open starts that number over on the new file.
        files.openForInput(1, path("a.txt"));
        QCOMPARE(readView(files, 1), std::string("a1"));
    }

    void failedOpenKeepsTheOpenFileReadable() {
        writeRaw(path("a.txt"), "a1\r\na2\r\n");
        FileTable files;
        files.openForInput(1, path("a.txt"));
        QCOMPARE(readView(files, 1), std::string("a1"));
        QVERIFY_THROWS_EXCEPTION(PlatformError, files.openForInput(1, path("missing.txt")));
        QCOMPARE(readView(files, 1), std::string("a2"));
    }

    void copiedTableReadsOnItsOwn() {
        writeRaw(path("a.txt"), "a1\r\na2\r\na3\r\n");
        auto original = std::make_unique<FileTable>();
        original->openForInput(1, path("a.txt"));
        QCOMPARE(readView(*original, 1), std::string("a1"));
        FileTable copy = *original;
        QCOMPARE(readView(*original, 1), std::string("a2"));
        // The original goes away: the copy must not read through anything of it.
        original.reset();
        QCOMPARE(readView(copy, 1), std::string("a2"));
        QCOMPARE(readView(copy, 1), std::string("a3"));
    }
};

QTEST_GUILESS_MAIN(TestTextFileView)
#include "test_textfile_view.moc"
