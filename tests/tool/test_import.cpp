// import: known pictures give known bytes, fitting and two-level conversion, animations, and
// the frame file's other contents kept.
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "tool/gifexport.h"
#include "toolfixtures.h"

using namespace dotreel;
using namespace fixtures;

class TestImport : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString target_;
    std::unique_ptr<FrameMemory> before_;

    std::string path(const QString& name) const { return str(dir_.filePath(name)); }

    QString savePicture(const QImage& image, const QString& name) {
        const QString p = dir_.filePath(name);
        image.save(p);
        return p;
    }

    static QImage white(int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::white);
        return image;
    }

    std::unique_ptr<FrameMemory> importOne(const QImage& image, const QStringList& options = {},
                                           int frame = 5) {
        const QString picture = savePicture(image, "p.png");
        std::vector<std::string> args{"import",     str(picture), "--into",
                                      str(target_), "--at",       std::to_string(frame)};
        for (const auto& o : options) args.push_back(str(o));
        const Run r = run(args);
        if (r.code != 0) qWarning("%s", r.err.c_str());
        return r.code == 0 ? readStore(target_) : nullptr;
    }

    static int litDots(const FrameMemory& store, int frame) {
        int n = 0;
        for (char c : frameBytes(store, frame))
            n += __builtin_popcount(static_cast<unsigned char>(c));
        return n;
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        target_ = dir_.filePath("FirstData.txt");
        before_ = patternStore();
        writeStore(target_, *before_);
    }

    void cornerDotsLandOnTheirBytesAndBits() {
        QImage image = white(122, 32);
        image.setPixel(0, 0, qRgb(0, 0, 0));     // byte 0, bit 0
        image.setPixel(0, 7, qRgb(0, 0, 0));     // byte 0, bit 7
        image.setPixel(1, 0, qRgb(0, 0, 0));     // byte 1, bit 0
        image.setPixel(0, 8, qRgb(0, 0, 0));     // byte 61 (page 1), bit 0
        image.setPixel(61, 0, qRgb(0, 0, 0));    // byte 244 (right half), bit 0
        image.setPixel(121, 31, qRgb(0, 0, 0));  // byte 487, bit 7
        const auto store = importOne(image);
        QVERIFY(store);
        std::string expected(488, '\0');
        expected[0] = static_cast<char>(0x81);
        expected[1] = 0x01;
        expected[61] = 0x01;
        expected[244] = 0x01;
        expected[487] = static_cast<char>(0x80);
        QVERIFY(frameBytes(*store, 5) == expected);
    }

    void everyOtherByteOfTheFileIsKept() {
        const auto store = importOne(white(122, 32), {}, 267);
        QVERIFY(store);
        QVERIFY(frameBytes(*store, 267) == std::string(488, '\0'));
        // Frames before and the 288 bytes after frame 267 are as they were.
        QVERIFY(std::equal(store->begin(), store->begin() + 267 * 488, before_->begin()));
        QVERIFY(std::equal(store->begin() + 268 * 488, store->begin() + kStoreBytes,
                           before_->begin() + 268 * 488));
    }

    void smallPicturesAreEnlargedWithHardEdges() {
        QImage image = white(61, 16);
        image.setPixel(0, 0, qRgb(0, 0, 0));
        const auto store = importOne(image);
        QVERIFY(store);
        // One pixel becomes the 2 x 2 dots at the top left: rows 0 and 1 of columns 0 and 1.
        QCOMPARE(static_cast<int>((*store)[5 * 488 + 0]), 0x03);
        QCOMPARE(static_cast<int>((*store)[5 * 488 + 1]), 0x03);
        QCOMPARE(litDots(*store, 5), 4);
    }

    void widePicturesKeepTheirAspectAndAreCentred() {
        QImage image(244, 32, QImage::Format_RGB32);
        image.fill(Qt::black);
        const auto store = importOne(image);
        QVERIFY(store);
        // 244 x 32 shrinks to 122 x 16, centred: rows 8..23 lit, pages 1 and 2 full.
        QCOMPARE(litDots(*store, 5), 122 * 16);
        QCOMPARE(static_cast<int>((*store)[5 * 488 + 61]), 0xFF);
        QCOMPARE(static_cast<int>((*store)[5 * 488 + 0]), 0x00);
        QCOMPARE(static_cast<int>((*store)[5 * 488 + 183]), 0x00);
    }

    void thresholdAndInvertDecideWhichGreysLight_data() {
        QTest::addColumn<int>("grey");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("lit");
        QTest::newRow("127 below default 128") << 127 << QStringList{} << true;
        QTest::newRow("128 not below 128") << 128 << QStringList{} << false;
        QTest::newRow("100 against 100") << 100 << QStringList{"--threshold", "100"} << false;
        QTest::newRow("99 against 100") << 99 << QStringList{"--threshold", "100"} << true;
        QTest::newRow("white inverted") << 255 << QStringList{"--invert"} << true;
        QTest::newRow("black inverted") << 0 << QStringList{"--invert"} << false;
    }
    void thresholdAndInvertDecideWhichGreysLight() {
        QFETCH(int, grey);
        QFETCH(QStringList, options);
        QFETCH(bool, lit);
        QImage image(122, 32, QImage::Format_RGB32);
        image.fill(qRgb(grey, grey, grey));
        const auto store = importOne(image, options);
        QVERIFY(store);
        QCOMPARE(litDots(*store, 5), lit ? kDotCount : 0);
    }

    void transparentPartsStayUnlitEitherWayRound() {
        QImage image(122, 32, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        image.setPixel(3, 3, qRgba(0, 0, 0, 255));
        QCOMPARE(litDots(*importOne(image), 5), 1);
        image.setPixel(3, 3, qRgba(255, 255, 255, 255));
        QCOMPARE(litDots(*importOne(image, {"--invert"}), 5), 1);
    }

    void ditherRendersMidGreyAsHalfTheDots() {
        QImage image(122, 32, QImage::Format_RGB32);
        image.fill(qRgb(128, 128, 128));
        const auto plain = importOne(image);
        QCOMPARE(litDots(*plain, 5), 0);
        const auto dithered = importOne(image, {"--dither"});
        const int lit = litDots(*dithered, 5);
        QVERIFY2(lit > kDotCount * 45 / 100 && lit < kDotCount * 55 / 100,
                 qPrintable(QString::number(lit)));
    }

    void everyFrameOfAnAnimatedGifAndJpegsAreRead() {
        auto source = emptyStore();
        for (int f = 0; f < 3; ++f) (*source)[static_cast<size_t>(f * 488 + f)] = 0x01;
        writeAll(dir_.filePath("anim.gif"),
                 tool::encodeGif(*source, {0, 1, 2}, tool::LcdLook{1, 0}, 100, true));
        QImage still = white(122, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 61; ++x) still.setPixel(x, y, qRgb(0, 0, 0));
        QVERIFY(still.save(dir_.filePath("half.jpg"), "JPEG", 95));
        const Run r = run(
            {"import", path("anim.gif"), path("half.jpg"), "--into", str(target_), "--at", "10"});
        QCOMPARE(r.code, 0);
        const auto store = readStore(target_);
        for (int f = 0; f < 3; ++f) QVERIFY(frameBytes(*store, 10 + f) == frameBytes(*source, f));
        QCOMPARE(litDots(*store, 13), 61 * 32);
        QCOMPARE(static_cast<int>((*store)[13 * 488 + 60]), 0xFF);
        QCOMPARE(static_cast<int>((*store)[13 * 488 + 244]), 0x00);
    }

    void runningPastTheLastFrameIsRefusedUnlessTruncated() {
        const QString a = savePicture(white(122, 32), "a.png");
        QImage black(122, 32, QImage::Format_RGB32);
        black.fill(Qt::black);
        const QString b = savePicture(black, "b.bmp");
        const std::string fileBefore = readAll(target_);
        const Run refused = run({"import", str(a), str(b), "--into", str(target_), "--at", "267"});
        QCOMPARE(refused.code, 1);
        QVERIFY(refused.err.find("--truncate") != std::string::npos);
        QVERIFY(readAll(target_) == fileBefore);
        const Run truncated =
            run({"import", str(b), str(a), "--into", str(target_), "--at", "267", "--truncate"});
        QCOMPARE(truncated.code, 0);
        QVERIFY(truncated.err.find("dropping the last 1") != std::string::npos);
        QCOMPARE(litDots(*readStore(target_), 267), kDotCount);  // b is black
    }

    void unreadablePicturesAndFilesChangeNothing() {
        writeAll(dir_.filePath("broken.png"), "\x89PNG not really");
        const std::string fileBefore = readAll(target_);
        const Run broken = run({"import", path("broken.png"), "--into", str(target_), "--at", "0"});
        QCOMPARE(broken.code, 1);
        QVERIFY(broken.err.find("broken.png") != std::string::npos);
        QVERIFY(readAll(target_) == fileBefore);

        const QString a = savePicture(white(122, 32), "a.png");
        writeAll(dir_.filePath("short.txt"), "00\r\n01\r\n");
        const Run shortFile = run({"import", str(a), "--into", path("short.txt"), "--at", "0"});
        QCOMPARE(shortFile.code, 1);
        QVERIFY(shortFile.err.find("has only 2 lines") != std::string::npos);
        QCOMPARE(readAll(dir_.filePath("short.txt")), std::string("00\r\n01\r\n"));

        const Run missing = run({"import", str(a), "--into", path("new.txt"), "--at", "0"});
        QCOMPARE(missing.code, 1);
        QVERIFY(!QFile::exists(dir_.filePath("new.txt")));
        QCOMPARE(run({"import", str(a), "--into", path("new.txt"), "--at", "0", "--create"}).code,
                 0);
        QVERIFY(*readStore(dir_.filePath("new.txt")) == *emptyStore());
    }

    void badImportArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no --at") << QStringList{"--into", "F"} << "--at FRAME";

        QTest::newRow("frame 268") << QStringList{"--into", "F", "--at", "268"} << "outside 0..267";
        QTest::newRow("threshold and dither")
            << QStringList{"--into", "F", "--at", "0", "--threshold", "9", "--dither"}
            << "do not go together";
    }
    void badImportArguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString a = savePicture(white(122, 32), "a.png");
        std::vector<std::string> argv{"import", str(a)};
        for (const auto& x : args) argv.push_back(x == "F" ? str(target_) : str(x));
        const std::string fileBefore = readAll(target_);
        const Run r = run(argv);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.find(str(message)) != std::string::npos, r.err.c_str());
        QVERIFY(readAll(target_) == fileBefore);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
