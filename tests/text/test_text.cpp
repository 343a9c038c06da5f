// Text in bitmap fonts: exact dots of a stamp from a font drawn in the test, offsets, line
// breaks, clipping, paint modes, marquees in every direction, the Japanese set's three faces,
// and the fonts that cannot be used.
#include <QTemporaryDir>
#include <QtTest>
#include <array>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "testfonts.h"
#include "text/font.h"
#include "text/layout.h"

using namespace dotreel;
using namespace dotreel::text;

namespace {

using Frame = std::array<uint8_t, kFrameBytes>;

QStringList picture(const Frame& frame, int top, int left, int rows, int columns) {
    QStringList out;
    for (const auto& line : support::framePicture(frame, top, left, rows, columns))
        out << QString::fromStdString(line);
    return out;
}

// Frame moved by `dx` columns and `dy` rows; what comes in is unlit.
bool movedBy(const Frame& before, const Frame& after, int dx, int dy) {
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            const int fr = r - dy;
            const int fc = c - dx;
            if (fr < 0 || fc < 0 || fr >= kRows || fc >= kColumns) continue;
            if (support::frameDot(before, fr, fc) != support::frameDot(after, r, c)) return false;
        }
    return true;
}

}  // namespace

class TestText : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::string fontPath_;
    std::unique_ptr<Font> font_;

    Frame stamped(const std::string& text, int x, int y, Paint paint = {}, uint8_t fill = 0,
                  Clipping* clipping = nullptr) {
        Frame frame{};
        frame.fill(fill);
        const Clipping c = stamp(layOut(*font_, decodeUtf8(text)), x, y, paint, frame);
        if (clipping != nullptr) *clipping = c;
        return frame;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        fontPath_ = support::writeTestFont(dir_.filePath("test.bdf").toStdString());
        font_ = Font::open(fontPath_);
    }

    void theFontsOwnMetricsAreRead() {
        QCOMPARE(font_->ascent(), 5);
        QCOMPARE(font_->descent(), 2);
        QCOMPARE(font_->height(), 7);
        QCOMPARE(font_->glyph('i').advance, 2);
        QCOMPARE(font_->glyph('A').advance, 4);
    }

    void stampsLightExactlyTheGlyphsDots_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QStringList>("rows");  // rows from 0, columns 0..11 of the frame
        // 'A' advances 4, 'i' 2: the proportional pen puts 'i' at column 4 and the next 'A' at 6.
        QTest::newRow("AiA at 0,0")
            << "AiA" << 0 << 0 << QStringList{".#..#..#....", "#.#...#.#...", "###.#.###...",
                                              "#.#.#.#.#...", "#.#.#.#.#...", "............",
                                              "............", "............", "............"};
        // The pen at (2, 1): every dot one row down and two columns right.
        QTest::newRow("A at 2,1") << "A" << 2 << 1
                                  << QStringList{"............", "...#........", "..#.#.......",
                                                 "..###.......", "..#.#.......", "..#.#.......",
                                                 "............", "............", "............"};
        // 'g' stands 2 rows below its baseline (rows 5, 6 are the descent).
        QTest::newRow("g descends")
            << "g" << 0 << 0 << QStringList{"............", "............", "###.........",
                                            "#.#.........", "###.........", "..#.........",
                                            "###.........", "............", "............"};
        // BBX 2 2 1 3: one column right of the pen, its top at the line's top.
        QTest::newRow("W offsets")
            << "W" << 0 << 0 << QStringList{".##.........", ".##.........", "............",
                                            "............", "............", "............",
                                            "............", "............", "............"};
        // BBX 3 3 -1 0 at pen 1: from column 0, on the baseline (rows 2..4).
        QTest::newRow("L left of pen")
            << "L" << 1 << 0 << QStringList{"............", "............", "#...........",
                                            "#...........", "###.........", "............",
                                            "............", "............", "............"};
        // A line break: one font height (7) lower, back at the pen's column.
        QTest::newRow("line break")
            << "i\nA" << 1 << 0
            << QStringList{".#..........", "............", ".#..........", ".#..........",
                           ".#..........", "............", "............", "..#.........",
                           ".#.#........", ".###........", ".#.#........", ".#.#........"};
        QTest::newRow("CR LF is one break")
            << "i\r\nA" << 1 << 0
            << QStringList{".#..........", "............", ".#..........", ".#..........",
                           ".#..........", "............", "............", "..#.........",
                           ".#.#........", ".###........", ".#.#........", ".#.#........"};
    }
    void stampsLightExactlyTheGlyphsDots() {
        QFETCH(QString, text);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(QStringList, rows);
        const Frame frame = stamped(text.toStdString(), x, y);
        QCOMPARE(picture(frame, 0, 0, static_cast<int>(rows.size()), 12), rows);
        // Nothing else is lit anywhere.
        int expected = 0;
        for (const auto& r : rows) expected += static_cast<int>(r.count('#'));
        QCOMPARE(support::litCount(frame), expected);
    }

    void dotsOffThePanelAreCounted_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("lit");
        QTest::newRow("inside") << "A" << 119 << 27 << 0 << 0 << 10;
        // AA from column 120: the box 120..126, five columns off; 'A' at 120..122 keeps 2 columns.
        QTest::newRow("right edge") << "AA" << 120 << 0 << 5 << 0 << 6;
        QTest::newRow("left edge") << "A" << -2 << 0 << 2 << 0 << 4;
        QTest::newRow("top edge") << "A" << 0 << -2 << 0 << 2 << 7;
        QTest::newRow("bottom edge") << "A" << 0 << 29 << 0 << 2 << 6;
        QTest::newRow("both") << "A" << 121 << 30 << 2 << 3 << 1;
        QTest::newRow("all off") << "A" << 200 << 0 << 3 << 0 << 0;
    }
    void dotsOffThePanelAreCounted() {
        QFETCH(QString, text);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, columns);
        QFETCH(int, rows);
        QFETCH(int, lit);
        Clipping clipping;
        const Frame frame = stamped(text.toStdString(), x, y, {}, 0, &clipping);
        QCOMPARE(clipping.columns, columns);
        QCOMPARE(clipping.rows, rows);
        QCOMPARE(support::litCount(frame), lit);
    }

    void paintModesKeepOrInvertTheFrame_data() {
        QTest::addColumn<bool>("over");
        QTest::addColumn<bool>("invert");
        QTest::addColumn<int>("before");  // every byte of the frame before
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("lit");
        const int a = 10;  // dots of 'A'
        // 0x01 in every byte lights rows 0, 8, 16 and 24.
        QTest::newRow("alone clears the rest")
            << false << false << 0x01 << QStringList{".#..", "#.#."} << a;
        QTest::newRow("over keeps the rest")
            << true << false << 0x01 << QStringList{"####", "#.#."} << 122 * 4 + a - 1;
        QTest::newRow("invert: dark on lit")
            << false << true << 0x00 << QStringList{"#.##", ".#.#"} << 3904 - a;
        QTest::newRow("over and invert clear")
            << true << true << 0xFF << QStringList{"#.##", ".#.#"} << 3904 - a;
    }
    void paintModesKeepOrInvertTheFrame() {
        QFETCH(bool, over);
        QFETCH(bool, invert);
        QFETCH(int, before);
        QFETCH(QStringList, rows);
        QFETCH(int, lit);
        const Frame frame = stamped("A", 0, 0, {over, invert}, static_cast<uint8_t>(before));
        QCOMPARE(picture(frame, 0, 0, 2, 4), rows);
        QCOMPARE(support::litCount(frame), lit);
    }

    void marqueesMoveByTheirStepFromEdgeToEdge_data() {
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("frames");
        // "AiA" is 9 columns by 5 rows of dots.
        QTest::newRow("left 1") << int(Direction::Left) << 1 << 122 + 9 - 1;
        QTest::newRow("left 4") << int(Direction::Left) << 4 << 32;  // 4 x 33 = 132 >= 131
        QTest::newRow("right 1") << int(Direction::Right) << 1 << 130;
        QTest::newRow("right 122") << int(Direction::Right) << 122 << 1;
        QTest::newRow("up 1") << int(Direction::Up) << 1 << 32 + 5 - 1;
        QTest::newRow("down 3") << int(Direction::Down) << 3 << 12;  // 3 x 13 = 39 >= 37
    }
    void marqueesMoveByTheirStepFromEdgeToEdge() {
        QFETCH(int, direction);
        QFETCH(int, step);
        QFETCH(int, frames);
        const TextBlock block = layOut(*font_, U"AiA");
        const auto dir = static_cast<Direction>(direction);
        const Marquee marquee{dir, step, horizontal(dir) ? 10 : 50};
        QCOMPARE(passLength(block, marquee), frames);
        std::vector<Frame> pass(static_cast<size_t>(frames));
        for (int k = 0; k < frames; ++k) {
            const auto [x, y] = marqueePen(block, marquee, k);
            stamp(block, x, y, {}, pass[static_cast<size_t>(k)]);
            QVERIFY2(support::litCount(pass[static_cast<size_t>(k)]) > 0, "no blank frame");
        }
        const int dx = dir == Direction::Left ? -step : dir == Direction::Right ? step : 0;
        const int dy = dir == Direction::Up ? -step : dir == Direction::Down ? step : 0;
        for (int k = 0; k + 1 < frames; ++k)
            QVERIFY2(
                movedBy(pass[static_cast<size_t>(k)], pass[static_cast<size_t>(k + 1)], dx, dy),
                qPrintable(QString("frame %1 to %2").arg(k).arg(k + 1)));
        // The first frame shows the text's first `step` lines at the edge it comes in by, the
        // last one its last dots at the edge it leaves by: the frame after would be blank.
        const auto [fx, fy] = marqueePen(block, marquee, 0);
        const auto [lx, ly] = marqueePen(block, marquee, frames - 1);
        switch (dir) {
            case Direction::Left:
                QCOMPARE(fx + block.left, kColumns - step);
                QVERIFY(lx + block.left + block.width > 0 && lx + block.left + block.width <= step);
                break;
            case Direction::Right:
                QCOMPARE(fx + block.left + block.width, step);
                QVERIFY(lx + block.left < kColumns && lx + block.left >= kColumns - step);
                break;
            case Direction::Up:
                QCOMPARE(fy + block.top, kRows - step);
                QVERIFY(ly + block.top + block.height > 0 && ly + block.top + block.height <= step);
                break;
            case Direction::Down:
                QCOMPARE(fy + block.top + block.height, step);
                QVERIFY(ly + block.top < kRows && ly + block.top >= kRows - step);
                break;
        }
    }

    void theJapaneseSetTakesEachCharacterFromItsFace_data() {
        QTest::addColumn<QString>("character");
        QTest::addColumn<QString>("file");
        QTest::addColumn<uint>("code");  // the face's own code
        QTest::addColumn<int>("advance");
        QTest::newRow("ASCII from ISO 8859-1") << "A"
                                               << "shnm6x12a.pcf.gz" << 0x41U << 6;
        QTest::newRow("Latin-1 from ISO 8859-1") << "é"
                                                 << "shnm6x12a.pcf.gz" << 0xE9U << 6;
        QTest::newRow("half-width kana from JIS X 0201") << "ｱ"
                                                         << "shnm6x12r.pcf.gz" << 0xB1U << 6;
        QTest::newRow("kanji from JIS X 0208") << "漢"
                                               << "shnmk12.pcf.gz" << 0x3441U << 12;
        QTest::newRow("hiragana from JIS X 0208") << "こ"
                                                  << "shnmk12.pcf.gz" << 0x2433U << 12;
        QTest::newRow("full-width A from JIS X 0208") << "Ａ"
                                                      << "shnmk12.pcf.gz" << 0x2341U << 12;
    }
    void theJapaneseSetTakesEachCharacterFromItsFace() {
        QFETCH(QString, character);
        QFETCH(QString, file);
        QFETCH(uint, code);
        QFETCH(int, advance);
        auto ja = Font::open("ja12");
        const std::u32string text = decodeUtf8(character.toStdString());
        const Glyph& g = ja->glyph(text.at(0));
        QCOMPARE(g.advance, advance);
        // The same dots as FreeType gives for the face's own code, read here without our font code.
        FT_Library library = nullptr;
        FT_Face face = nullptr;
        QCOMPARE(FT_Init_FreeType(&library), 0);
        const std::string path = std::string(kX11FontFolder) + "/" + file.toStdString();
        QCOMPARE(FT_New_Face(library, path.c_str(), 0, &face), 0);
        FT_Select_Size(face, 0);
        FT_Set_Charmap(face, face->charmaps[0]);
        QCOMPARE(FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO), 0);
        const FT_Bitmap& b = face->glyph->bitmap;
        QCOMPARE(g.width, static_cast<int>(b.width));
        QCOMPARE(g.rows, static_cast<int>(b.rows));
        QCOMPARE(g.top, face->glyph->bitmap_top);
        int lit = 0;
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x) {
                const bool on = ((b.buffer[y * b.pitch + x / 8] >> (7 - x % 8)) & 1) != 0;
                QCOMPARE(g.dots[static_cast<size_t>(y * g.width + x)] != 0, on);
                lit += on ? 1 : 0;
            }
        QVERIFY(lit > 0);
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }

    void aMixedLineAdvancesByEachFacesWidth() {
        auto ja = Font::open("ja12");
        QCOMPARE(ja->height(), 12);
        // 6 + 6 + 12: ASCII and half-width kana are half a kanji wide.
        QCOMPARE(layOut(*ja, decodeUtf8("Aｱ漢")).layoutWidth, 24);
    }

    void aMissingCharacterIsNamed_data() {
        QTest::addColumn<QString>("font");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("kanji in 5x7") << "5x7"
                                      << "a漢"
                                      << "no glyph for '漢' (U+6F22) in 5x7";
        QTest::newRow("emoji in ja12") << "ja12"
                                       << "😀"
                                       << "no glyph for '😀' (U+1F600) in ja12";
        QTest::newRow("tab in ja12") << "ja12"
                                     << "a\tb"
                                     << "no glyph for U+0009 in ja12";
        QTest::newRow("kana in test font") << "test"
                                           << "ｱ"
                                           << "no glyph for 'ｱ' (U+FF71) in ";
    }
    void aMissingCharacterIsNamed() {
        QFETCH(QString, font);
        QFETCH(QString, text);
        QFETCH(QString, message);
        const std::string name = font == "test" ? fontPath_ : font.toStdString();
        auto f = Font::open(name);
        try {
            layOut(*f, decodeUtf8(text.toStdString()));
            QFAIL("no error");
        } catch (const TextError& e) {
            const std::string expected =
                message.toStdString() + (font == "test" ? fontPath_ : std::string());
            QCOMPARE(std::string(e.what()), expected);
        }
    }

    void unusableFontsAreRefusedWithTheReason_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("contents");  // empty: the file as named
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("says");
        QTest::newRow("not a font") << "notes.txt"
                                    << "just some words\n"
                                    << 0 << "is not a font";
        QTest::newRow("missing file") << "absent.bdf"
                                      << "" << 0 << "does not exist";
        QTest::newRow("unknown name") << "jaa12"
                                      << "" << 0 << "unknown font 'jaa12'";
        QTest::newRow("truncated BDF") << "cut.bdf"
                                       << "truncated" << 0 << "cannot read font";
        QTest::newRow("bitmap font at another size") << "test.bdf"
                                                     << "" << 9 << "has bitmaps of 7 px only";
        QTest::newRow("scalable without --size")
            << "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
            << "" << 0 << "is scalable and has no bitmap strike: give its size with --size PX";
    }
    void unusableFontsAreRefusedWithTheReason() {
        QFETCH(QString, file);
        QFETCH(QString, contents);
        QFETCH(int, size);
        QFETCH(QString, says);
        std::string path = file.startsWith('/') || !file.contains('.')
                               ? file.toStdString()
                               : dir_.filePath(file).toStdString();
        if (contents == "truncated")
            support::writeRaw(path, support::testFontBdf().substr(0, 700));
        else if (!contents.isEmpty())
            support::writeRaw(path, contents.toStdString());
        try {
            auto f = Font::open(path, size);
            layOut(*f, U"AiAgWL");
            QFAIL("no error");
        } catch (const TextError& e) {
            QVERIFY2(QString(e.what()).contains(says), e.what());
        }
    }

    void aScalableFontRendersAtTheSizeGiven() {
        auto f = Font::open("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf", 12);
        const TextBlock block = layOut(*f, U"漢A");
        QVERIFY(block.height > 6 && block.height <= 12);
        QVERIFY(block.layoutWidth >= 16 && block.layoutWidth <= 20);
    }

    void textThatIsNotUtf8IsRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        QTest::newRow("lone continuation") << QByteArray("a\x80") << "byte 0x80 at byte 2";
        QTest::newRow("cut sequence") << QByteArray("\xE6\xBC") << "byte 0xE6 at byte 1";
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << "byte 0xC0 at byte 1";
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << "byte 0xED at byte 1";
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << "byte 0xF4";
    }
    void textThatIsNotUtf8IsRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        try {
            decodeUtf8(bytes.toStdString());
            QFAIL("no error");
        } catch (const TextError& e) {
            QVERIFY2(QString(e.what()).contains(says), e.what());
        }
    }

    void centringUsesTheLayoutBoxAndKeepsTheStartInSight() {
        const TextBlock block = layOut(*font_, U"AiA");  // advances 4 + 2 + 4
        QCOMPARE(centredX(block), (122 - 10) / 2);
        QCOMPARE(centredY(block), (32 - 7) / 2);
        const TextBlock wide = layOut(*font_, std::u32string(40, U'A'));
        QCOMPARE(centredX(wide), 0);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
