// The demo animation that a build places beside the editor: its files, its pictures, and that a
// user's own files are never replaced.
#include <QtTest>

#include <memory>
#include <string>

#include "core/frame.h"
#include "files/framefile.h"
#include "files/hexcodec.h"
#include "platform/textfile.h"

using namespace dotreel;

namespace {

struct RunResult {
    int exitCode = -1;
    QString output;
};

RunResult runGenerator(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(DOTREEL_MAKE_DEMO), arguments);
    RunResult result;
    if (!process.waitForFinished(60000)) return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    return result;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// A frame file read back through the editor's own reading and decoding.
std::unique_ptr<FrameMemory> loadFrameFile(const QString& path) {
    FileTable files;
    files.openForInput(1, path.toStdString());
    auto bytes = std::make_unique<FrameBytes>();
    FrameFileReader(files.contents(1), path.toStdString(), *bytes).readLines();
    auto memory = std::make_unique<FrameMemory>();
    memory->fill(0);
    storeFrameBytes(*bytes, *memory);
    return memory;
}

int litDots(const FrameMemory& m, int frame) {
    int count = 0;
    for (int k = 0; k < kFrameBytes; ++k) {
        unsigned b = m[static_cast<size_t>(frame * kFrameBytes + k)];
        for (; b != 0; b >>= 1) count += static_cast<int>(b & 1u);
    }
    return count;
}

bool framesEqual(const FrameMemory& a, int fa, const FrameMemory& b, int fb) {
    return std::equal(a.begin() + fa * kFrameBytes, a.begin() + (fa + 1) * kFrameBytes,
                      b.begin() + fb * kFrameBytes);
}

bool dotLit(const FrameMemory& m, int frame, int row, int column) {
    const int index = dotIndexAt(row, column);
    return ((m[static_cast<size_t>(frame * kFrameBytes + index / 8)] >> (index % 8)) & 1) != 0;
}

}  // namespace

class TestDemoFiles : public QObject {
    Q_OBJECT

private slots:
    void writesTheThreeFilesIntoNewFolders() {
        QTemporaryDir dir;
        const RunResult run = runGenerator({"--keep-existing", dir.path()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.output.count("written: "), 3);
        QCOMPARE(QFileInfo(dir.filePath("データー/FirstData.txt")).size(), qint64(524288));
        QCOMPARE(QFileInfo(dir.filePath("データー/SecondData.txt")).size(), qint64(524288));
        QCOMPARE(readAll(dir.filePath("設定/animation.txt")), QByteArray("0\r\n47\r\n60\r\n"));
        // Nothing else, not even a temporary file, is left behind.
        QCOMPARE(QDir(dir.filePath("データー")).entryList(QDir::Files | QDir::Hidden).size(), 2);
        QCOMPARE(QDir(dir.filePath("設定")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void framesShowAnAnimationThatEndsWithTheDemo() {
        QTemporaryDir dir;
        QCOMPARE(runGenerator({"--keep-existing", dir.path()}).exitCode, 0);
        const auto image = loadFrameFile(dir.filePath("データー/FirstData.txt"));
        const auto background = loadFrameFile(dir.filePath("データー/SecondData.txt"));
        const QByteArray file = readAll(dir.filePath("データー/FirstData.txt"));
        // Written in the editor's own format: upper-case digits, CR LF after every line.
        QCOMPARE(file, QByteArray::fromStdString(formatFrameFile(*image)));

        // The editor opens on frame 0: both layers show something there already.
        QVERIFY(litDots(*image, 0) > 20);
        QVERIFY(litDots(*background, 0) > 100);
        for (int frame = 0; frame < 48; ++frame) {
            QVERIFY2(litDots(*image, frame) > 0, qPrintable(QString::number(frame)));
            QVERIFY(!framesEqual(*image, frame, *background, frame));
        }
        // It moves: consecutive frames differ.
        for (int frame = 1; frame < 48; ++frame)
            QVERIFY2(!framesEqual(*image, frame - 1, *image, frame),
                     qPrintable(QString::number(frame)));
        // Frames after the demo, and the bytes after the last frame, stay empty.
        for (int k = 48 * kFrameBytes; k < kStoreBytes; ++k) {
            QCOMPARE(int((*image)[static_cast<size_t>(k)]), 0);
            QCOMPARE(int((*background)[static_cast<size_t>(k)]), 0);
        }
        // The background frames the panel: all four corners are lit, on both halves' edges.
        for (const auto& [row, column] :
             {std::pair{0, 0}, {0, 121}, {31, 0}, {31, 121}, {0, 60}, {31, 61}})
            QVERIFY(dotLit(*background, 0, row, column));
    }

    void keepsFilesThatAreAlreadyThere() {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("データー")));
        QVERIFY(QDir().mkpath(dir.filePath("設定")));
        QFile user(dir.filePath("設定/animation.txt"));
        QVERIFY(user.open(QIODevice::WriteOnly));
        user.write("5\r\n9\r\n200\r\n");
        user.close();
        // A file under another letter case is the same file to the editor.
        QFile lower(dir.filePath("データー/firstdata.txt"));
        QVERIFY(lower.open(QIODevice::WriteOnly));
        lower.write("FF\r\n");
        lower.close();

        const RunResult run = runGenerator({"--keep-existing", dir.path()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.output.count("kept: "), 2);
        QCOMPARE(run.output.count("written: "), 1);
        QCOMPARE(readAll(dir.filePath("設定/animation.txt")), QByteArray("5\r\n9\r\n200\r\n"));
        QCOMPARE(readAll(dir.filePath("データー/firstdata.txt")), QByteArray("FF\r\n"));
        QVERIFY(!QFileInfo::exists(dir.filePath("データー/FirstData.txt")));
        QVERIFY(QFileInfo::exists(dir.filePath("データー/SecondData.txt")));

        // A second run keeps everything, the demo files it wrote included.
        const QByteArray second = readAll(dir.filePath("データー/SecondData.txt"));
        QFile::remove(dir.filePath("データー/SecondData.txt"));
        QFile edited(dir.filePath("データー/SecondData.txt"));
        QVERIFY(edited.open(QIODevice::WriteOnly));
        edited.write(second.left(4000));
        edited.close();
        const RunResult again = runGenerator({"--keep-existing", dir.path()});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.output.count("kept: "), 3);
        QCOMPARE(readAll(dir.filePath("データー/SecondData.txt")), second.left(4000));
    }

    void refusesToRunWithoutItsArguments() {
        QCOMPARE(runGenerator({}).exitCode, 2);
        QTemporaryDir dir;
        QCOMPARE(runGenerator({dir.path()}).exitCode, 2);
        QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }

    void reportsAFolderThatCannotBeCreated() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("plain"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QCOMPARE(runGenerator({"--keep-existing", dir.filePath("plain")}).exitCode, 1);
    }
};

QTEST_GUILESS_MAIN(TestDemoFiles)
#include "test_demo_files.moc"
