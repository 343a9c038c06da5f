// text and fonts: the frames written, the rest of the file kept, refusals before any write,
// the settings, the clipping warning and the command line's mistakes.
#include <QTemporaryDir>
#include <QtTest>

#include "testfonts.h"
#include "toolfixtures.h"

using namespace dotreel;
using namespace fixtures;

namespace {

std::span<const uint8_t, kFrameBytes> frameOf(const FrameMemory& store, int frame) {
    return std::span<const uint8_t, kFrameBytes>(store.data() + frame * kFrameBytes, kFrameBytes);
}

}  // namespace

class TestText : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString target_;
    std::string font_;
    std::unique_ptr<FrameMemory> before_;

    Run text(const std::string& words, std::vector<std::string> options) {
        std::vector<std::string> args{"text", words, "--into", str(target_), "--font", font_};
        args.insert(args.end(), options.begin(), options.end());
        return run(args);
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).mkpath("データー");
        target_ = dir_.filePath("データー/FirstData.txt");
        font_ = support::writeTestFont(str(dir_.filePath("test.bdf")));
        before_ = patternStore();
        writeStore(target_, *before_);
        QFile::remove(dir_.filePath("設定/animation.txt"));
    }

    void aStampReplacesOneFrameAndKeepsTheRest() {
        const Run r = text("Ai", {"--at", "7", "--x", "1", "--y", "2"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, "wrote " + str(target_) + ": frame 7\n");
        QVERIFY(r.err.empty());
        const auto store = readStore(target_);
        QVERIFY(store);
        const std::vector<std::string> expected{".......", "..#..#.", ".#.#...", ".###.#.",
                                                ".#.#.#.", ".#.#.#.", "......."};
        QCOMPARE(support::framePicture(frameOf(*store, 7), 1, 0, 7, 7), expected);
        QCOMPARE(support::litCount(frameOf(*store, 7)), 10 + 4);
        QVERIFY(std::equal(store->begin(), store->begin() + 7 * kFrameBytes, before_->begin()));
        QVERIFY(std::equal(store->begin() + 8 * kFrameBytes, store->begin() + kStoreBytes,
                           before_->begin() + 8 * kFrameBytes));
    }

    void withoutAPositionTheTextIsCentred() {
        QCOMPARE(text("AiA", {"--at", "0"}).code, 0);
        const auto store = readStore(target_);
        // Advances 4 + 2 + 4 = 10: pen at (122 - 10) / 2 = 56; 7 rows: top at (32 - 7) / 2 = 12.
        QVERIFY(support::frameDot(frameOf(*store, 0), 12, 57));
        QVERIFY(support::frameDot(frameOf(*store, 0), 13, 56));
        QVERIFY(!support::frameDot(frameOf(*store, 0), 12, 56));
        QCOMPARE(support::litCount(frameOf(*store, 0)), 24);
    }

    void dotsOffThePanelAreDroppedWithOneWarning() {
        const Run r = text("AA\nA", {"--at", "3", "--x", "120", "--y", "27"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err,
                 "warning: 5 columns and 7 rows of the text fell off the panel; their dots are "
                 "left out\n");
    }

    void aMarqueeFillsItsPassAndSaysWhichFrames_data() {
        QTest::addColumn<QString>("direction");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::newRow("left") << "left" << 1 << 130 << -1 << 0;  // "AiA": 9 columns, 5 rows
        QTest::newRow("right by 5") << "right" << 5 << 26 << 5 << 0;
        QTest::newRow("up by 2") << "up" << 2 << 18 << 0 << -2;
        QTest::newRow("down") << "down" << 1 << 36 << 0 << 1;
    }
    void aMarqueeFillsItsPassAndSaysWhichFrames() {
        QFETCH(QString, direction);
        QFETCH(int, step);
        QFETCH(int, frames);
        QFETCH(int, dx);
        QFETCH(int, dy);
        const Run r = text(
            "AiA", {"--at", "100", "--scroll", str(direction), "--step", std::to_string(step)});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.find(": frames 100.." + std::to_string(99 + frames) + ", a marquee") !=
                     std::string::npos,
                 r.out.c_str());
        QVERIFY2(r.err.empty(), r.err.c_str());
        const auto store = readStore(target_);
        for (int k = 0; k < frames; ++k) {
            const auto frame = frameOf(*store, 100 + k);
            QCOMPARE(support::litCount(frame) > 0, true);
            if (k == 0) continue;
            const auto previous = frameOf(*store, 99 + k);
            for (int row = 0; row < kRows; ++row)
                for (int column = 0; column < kColumns; ++column) {
                    const int fr = row - dy;
                    const int fc = column - dx;
                    if (fr >= 0 && fc >= 0 && fr < kRows && fc < kColumns)
                        QCOMPARE(support::frameDot(frame, row, column),
                                 support::frameDot(previous, fr, fc));
                }
        }
        // The frame after the pass is the file's own.
        QVERIFY(frameBytes(*store, 100 + frames) == frameBytes(*before_, 100 + frames));
    }

    void aGivenFrameCountRepeatsThePass() {
        const Run r =
            text("A", {"--at", "0", "--scroll", "left", "--step", "40", "--frames", "10"});
        QCOMPARE(r.code, 0);
        const auto store = readStore(target_);
        // 'A' is 3 wide: (122 + 3) / 40 rounded up, less one: 3 frames a pass.
        for (int k = 3; k < 10; ++k) QVERIFY(frameBytes(*store, k) == frameBytes(*store, k % 3));
        QVERIFY(frameBytes(*store, 10) == frameBytes(*before_, 10));
    }

    void refusalsLeaveTheFileAsItWas_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("past frame 267")
            << QStringList{"AiA", "--at", "200", "--scroll", "left"}
            << "the marquee needs 130 frames from frame 200, past frame 267 (room for 68)";
        QTest::newRow("--frames past 267")
            << QStringList{"A", "--at", "267", "--scroll", "up", "--frames", "2"}
            << "the marquee needs 2 frames from frame 267";
        QTest::newRow("missing glyph") << QStringList{"a漢", "--at", "0", "--font", "5x7"}
                                       << "no glyph for '漢' (U+6F22) in 5x7";
        QTest::newRow("not UTF-8") << QStringList{"BADUTF8", "--at", "0"} << "is not UTF-8";
        QTest::newRow("not a font")
            << QStringList{"A", "--at", "0", "--font", "FONTFILE"} << "is not a font";
        QTest::newRow("nothing to scroll")
            << QStringList{"   ", "--at", "0", "--scroll", "left"} << "the text lights no dot";
    }
    void refusalsLeaveTheFileAsItWas() {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        const std::string notAFont = str(dir_.filePath("words.txt"));
        writeAll(QString::fromStdString(notAFont), "not a font\n");
        std::vector<std::string> args{"text"};
        for (const auto& o : options)
            args.push_back(o == "FONTFILE" ? notAFont : o == "BADUTF8" ? "a\xff" : o.toStdString());
        if (!options.contains("--font")) args.insert(args.end(), {"--font", font_});
        args.insert(args.end(), {"--into", str(target_)});
        const std::string bytes = readAll(target_);
        const Run r = run(args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.find(message.toStdString()) != std::string::npos, r.err.c_str());
        QVERIFY(r.out.empty());
        QVERIFY(readAll(target_) == bytes);
        QCOMPARE(entries(dir_.filePath("データー")), QStringList{"FirstData.txt"});
    }

    void createStartsFromAnEmptyStore() {
        target_ = dir_.filePath("データー/New.txt");
        QCOMPARE(text("A", {"--at", "0"}).code, 1);  // no such file, and no --create
        QCOMPARE(text("A", {"--at", "5", "--create", "--x", "0", "--y", "0"}).code, 0);
        const auto store = readStore(target_);
        QVERIFY(store);
        QCOMPARE(support::litCount(frameOf(*store, 5)), 10);
        // 'A' lights the page-0 bytes of columns 0..2 and nothing else.
        QCOMPARE(static_cast<long>(std::count(store->begin(), store->end(), 0)),
                 static_cast<long>(store->size()) - 3);
    }

    void settingsPlayTheMarqueeAtOnce_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("before");  // animation.txt before; empty: none
        QTest::addColumn<QString>("after");
        QTest::newRow("interval given") << QStringList{"--interval", "40"} << ""
                                        << "10\r\n139\r\n40\r\n";
        QTest::newRow("interval kept") << QStringList{} << "0\r\n5\r\n25\r\n"
                                       << "10\r\n139\r\n25\r\n";
    }
    void settingsPlayTheMarqueeAtOnce() {
        QFETCH(QStringList, options);
        QFETCH(QString, before);
        QFETCH(QString, after);
        const QString settings = dir_.filePath("設定/animation.txt");
        if (!before.isEmpty()) {
            QDir(dir_.path()).mkpath("設定");
            writeAll(settings, before.toStdString());
        }
        std::vector<std::string> args{"--at", "10", "--scroll", "left", "--settings"};
        for (const auto& o : options) args.push_back(o.toStdString());
        const Run r = text("AiA", args);
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromStdString(readAll(settings)), after);
        QVERIFY(r.out.find("start 10, end 139") != std::string::npos);
    }

    void mistakesInTheCommandLineAreUsageErrors_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("no --at") << QStringList{} << "text needs --at FRAME";
        QTest::newRow("--x across a left marquee")
            << QStringList{"--at", "0", "--scroll", "left", "--x", "3"} << "--x does not go with";
        QTest::newRow("--y across an up marquee")
            << QStringList{"--at", "0", "--scroll", "up", "--y", "3"} << "--y does not go with";
        QTest::newRow("--step alone")
            << QStringList{"--at", "0", "--step", "2"} << "--step goes with --scroll";
        QTest::newRow("--step too far up")
            << QStringList{"--at", "0", "--scroll", "up", "--step", "33"}
            << "--step: 33 is outside 1..32";
        QTest::newRow("--interval alone")
            << QStringList{"--at", "0", "--interval", "20"} << "--interval goes with --settings";
        QTest::newRow("bad direction") << QStringList{"--at", "0", "--scroll", "sideways"}
                                       << "'sideways' is not left, right, up or down";
        QTest::newRow("--at 268") << QStringList{"--at", "268"} << "--at: 268 is outside 0..267";
    }
    void mistakesInTheCommandLineAreUsageErrors() {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        std::vector<std::string> args;
        for (const auto& o : options) args.push_back(o.toStdString());
        const Run r = text("A", args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.find(message.toStdString()) != std::string::npos, r.err.c_str());
    }

    void fontsListsTheNamedFonts() {
        const Run r = run({"fonts"});
        QCOMPARE(r.code, 0);
        for (const char* name : {"5x7 ", "5x8 ", "6x10 ", "6x12 ", "6x13 ", "7x14 ", "8x13 ",
                                 "9x15 ", "10x20 ", "ja12 ", "ja14 ", "ja16 "})
            QVERIFY2(r.out.find(std::string("\n") + name) != std::string::npos, name);
        // Installed here by the run group of scripts/install-deps.
        QVERIFY(r.out.find(" no ") == std::string::npos);
        QVERIFY(r.out.find("shnm8x16a.pcf.gz shnm8x16r.pcf.gz shnmk16.pcf.gz") !=
                std::string::npos);
        QCOMPARE(run({"text", "--help"}).out.rfind("Usage: dotreel-tool text TEXT", 0), 0U);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
