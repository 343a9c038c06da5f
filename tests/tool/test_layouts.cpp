// The display libraries' layouts: a frame of known dots on its known bytes in each, export ->
// import round trips, the XBM as Qt and ImageMagick read it, the headers as C compilers take
// them, and the arrays import refuses.
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "tool/layouts.h"
#include "toolfixtures.h"

using namespace dotreel;
using namespace fixtures;

namespace {

using Golden = std::map<int, int>;  // byte -> value; every other byte is 0

// The dots of the known frame, (row, column): the corners of a byte and of both controller
// halves, the first dot of the second page, and one in the middle.
const std::vector<std::pair<int, int>> kDots = {{0, 0}, {7, 0},  {8, 0},    {0, 1},
                                                {0, 8}, {0, 61}, {13, 100}, {31, 121}};

// The same dots by hand in each layout (see the README's pictures).
const Golden kStoreGolden{{0, 0x81},   {1, 0x01},   {8, 0x01},  {61, 0x01},
                          {244, 0x01}, {344, 0x20}, {487, 0x80}};
const Golden kU8g2Golden{{0, 0x81},   {1, 0x01},   {8, 0x01},  {61, 0x01},
                         {128, 0x01}, {228, 0x20}, {505, 0x80}};
const Golden kXbmGolden{{0, 0x03},   {1, 0x01},   {7, 0x20},  {112, 0x01},
                        {128, 0x01}, {220, 0x10}, {511, 0x02}};
const Golden kGfxGolden{{0, 0xC0},   {1, 0x80},   {7, 0x04},  {112, 0x80},
                        {128, 0x80}, {220, 0x08}, {511, 0x40}};

std::string goldenBytes(const Golden& golden, int size) {
    std::string bytes(static_cast<size_t>(size), '\0');
    for (const auto& [at, value] : golden)
        bytes[static_cast<size_t>(at)] = static_cast<char>(value);
    return bytes;
}

// The numbers of a header's array, in order ("0xHH" after the first "= {").
std::string arrayBytes(const std::string& header) {
    std::string bytes;
    const size_t start = header.find("= {");
    if (start == std::string::npos) return {};
    for (size_t at = header.find("0x", start); at != std::string::npos;
         at = header.find("0x", at + 2))
        bytes.push_back(static_cast<char>(std::stoi(header.substr(at + 2, 2), nullptr, 16)));
    return bytes;
}

bool storeDot(const FrameMemory& store, int frame, int row, int column) {
    const int k = frame * kFrameBytes + (column / 61) * 244 + (row / 8) * 61 + column % 61;
    return ((store[static_cast<size_t>(k)] >> (row % 8)) & 1) != 0;
}

// Every dot of a 122 x 32 picture against frame `frame`: dark pixels lit, light ones not.
QString compareDots(const QImage& image, const FrameMemory& store, int frame) {
    if (image.size() != QSize(kColumns, kRows))
        return QString("size %1 x %2").arg(image.width()).arg(image.height());
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            if ((qGray(image.pixel(column, row)) < 128) != storeDot(store, frame, row, column))
                return QString("dot at row %1, column %2").arg(row).arg(column);
    return {};
}

}  // namespace

class TestLayouts : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString input_;
    std::unique_ptr<FrameMemory> store_;

    std::string path(const QString& name) const { return str(dir_.filePath(name)); }

    Run exportTo(const QString& name, const QStringList& options) {
        std::vector<std::string> args{"export", str(input_), "--force", "-o", path(name)};
        for (const auto& o : options) args.push_back(str(o));
        return run(args);
    }

    Run importInto(const QString& target, const QStringList& files, const QStringList& options) {
        std::vector<std::string> args{"import"};
        for (const auto& f : files) args.push_back(path(f));
        args.insert(args.end(), {"--into", path(target), "--at", "100"});
        for (const auto& o : options) args.push_back(str(o));
        return run(args);
    }

    static int compile(const QString& folder, const QString& compiler, const QStringList& args,
                       QByteArray& errors) {
        QProcess p;
        p.setWorkingDirectory(folder);
        p.start(compiler, args);
        if (!p.waitForFinished(120000)) return -1;
        errors = p.readAllStandardError();
        return p.exitCode();
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        // Frames 4 and 6 busy around the known frame 5, so a frame out of place shows.
        store_ = patternStore();
        std::fill_n(store_->begin() + 5 * kFrameBytes, kFrameBytes, 0);
        for (const auto& [row, column] : kDots)
            (*store_)[static_cast<size_t>(5 * kFrameBytes + (column / 61) * 244 + (row / 8) * 61 +
                                          column % 61)] |= static_cast<uint8_t>(1U << (row % 8));
        input_ = dir_.filePath("FirstData.txt");
        writeStore(input_, *store_);
    }

    void knownDotsLandOnTheirBytes_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("golden");
        QTest::addColumn<QString>("drawCall");
        const auto row = [](const char* layout, const Golden& golden, const char* call) {
            const int size = golden == kStoreGolden ? kFrameBytes : 512;
            QTest::newRow(layout)
                << layout
                << QString::fromLatin1(QByteArray::fromStdString(goldenBytes(golden, size)).toHex())
                << call;
        };
        row("store", kStoreGolden, "known[i] is frame KNOWN_FIRST_FRAME + i");
        row("u8g2", kU8g2Golden, "memcpy(u8g2.getBufferPtr(), known[i], KNOWN_FRAME_BYTES)");
        row("xbm", kXbmGolden, "u8g2.drawXBM(0, 0, KNOWN_WIDTH, KNOWN_HEIGHT, known[i])");
        row("gfx", kGfxGolden, "display.drawBitmap(0, 0, known[i], KNOWN_WIDTH, KNOWN_HEIGHT, 1)");
    }
    void knownDotsLandOnTheirBytes() {
        QFETCH(QString, layout);
        QFETCH(QString, golden);
        QFETCH(QString, drawCall);
        const Run r = exportTo(
            "k.h", {"--format", "c", "--layout", layout, "--frames", "5", "--name", "known"});
        QVERIFY2(r.code == 0, r.err.c_str());
        const std::string header = readAll(dir_.filePath("k.h"));
        QCOMPARE(QString::fromLatin1(QByteArray::fromStdString(arrayBytes(header)).toHex()),
                 golden);
        QVERIFY2(header.find(str(drawCall)) != std::string::npos, header.substr(0, 900).c_str());
    }

    void xbmFileHoldsTheXbmRows() {
        QCOMPARE(exportTo("known.xbm", {"--format", "xbm", "--frames", "5"}).code, 0);
        const std::string xbm = readAll(dir_.filePath("known.xbm"));
        QVERIFY(xbm.rfind("#define known_width 122\n#define known_height 32\n"
                          "static unsigned char known_bits[] = {\n",
                          0) == 0);
        QVERIFY(arrayBytes(xbm) == goldenBytes(kXbmGolden, 512));
    }

    void exportedArraysImportBack_data() {
        QTest::addColumn<QStringList>("exportOptions");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("importOptions");
        QTest::addColumn<int>("frames");
        for (const char* layout : {"store", "u8g2", "xbm", "gfx"}) {
            QTest::newRow(layout) << QStringList{"--format", "c",        "--layout",
                                                 layout,     "--frames", "10..20"}
                                  << "a.h" << QStringList{"--layout", layout} << 11;
            QTest::newRow(qPrintable(QString(layout) + " progmem, backwards"))
                << QStringList{"--format",  "c",        "--layout", layout,
                               "--progmem", "--frames", "20..10"}
                << "a.c" << QStringList{"--layout", layout} << 11;
            QTest::newRow(qPrintable(QString(layout) + ", the layout its comment names"))
                << QStringList{"--format", "c", "--layout", layout, "--frames", "10..20"} << "a.h"
                << QStringList{} << 11;
        }
        QTest::newRow("xbm file") << QStringList{"--format", "xbm", "--frames", "10"} << "a.xbm"
                                  << QStringList{} << 1;
        QTest::newRow("xbm sheet")
            << QStringList{"--format", "xbm", "--frames", "10..15", "--sheet", "--columns", "3"}
            << "a.xbm" << QStringList{} << 6;
    }
    void exportedArraysImportBack() {
        QFETCH(QStringList, exportOptions);
        QFETCH(QString, file);
        QFETCH(QStringList, importOptions);
        QFETCH(int, frames);
        const Run e = exportTo(file, exportOptions);
        QVERIFY2(e.code == 0, e.err.c_str());
        writeStore(dir_.filePath("t.txt"), *emptyStore());
        const Run i = importInto("t.txt", {file}, importOptions);
        QVERIFY2(i.code == 0, i.err.c_str());
        QVERIFY(i.err.empty());
        const auto back = readStore(dir_.filePath("t.txt"));
        QVERIFY(back);
        const bool backwards = exportOptions.contains("20..10");
        for (int n = 0; n < frames; ++n)
            QVERIFY2(frameBytes(*back, 100 + n) == frameBytes(*store_, backwards ? 20 - n : 10 + n),
                     qPrintable(QString("frame %1").arg(100 + n)));
        QVERIFY(frameBytes(*back, 100 + frames) == std::string(kFrameBytes, '\0'));
    }

    void xbmReadByQtAndImageMagick() {
        QCOMPARE(exportTo("q.xbm", {"--format", "xbm", "--frames", "5"}).code, 0);
        QCOMPARE(exportTo("busy.xbm", {"--format", "xbm", "--frames", "6"}).code, 0);
        for (const auto& [name, frame] : {std::pair{"q.xbm", 5}, std::pair{"busy.xbm", 6}}) {
            const QImage qt(dir_.filePath(name));
            QVERIFY2(!qt.isNull(), name);
            const QString qtDiff = compareDots(qt, *store_, frame);
            QVERIFY2(qtDiff.isEmpty(), qPrintable(qtDiff));
        }
        if (QStandardPaths::findExecutable("convert").isEmpty())
            QSKIP("ImageMagick's convert is not installed");
        for (const auto& [name, frame] : {std::pair{"q.xbm", 5}, std::pair{"busy.xbm", 6}}) {
            QProcess convert;
            convert.setWorkingDirectory(dir_.path());
            convert.start("convert", {name, "png:-"});
            QVERIFY(convert.waitForFinished(60000));
            QVERIFY2(convert.exitCode() == 0, convert.readAllStandardError().constData());
            const QImage magick = QImage::fromData(convert.readAllStandardOutput(), "PNG");
            const QString diff = compareDots(magick, *store_, frame);
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        }
    }

    void headersCompile_data() {
        QTest::addColumn<QString>("compiler");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("progmem");
        const QStringList strict{"-std=c99", "-Wall", "-Wextra", "-pedantic", "-Werror"};
        for (const char* layout : {"store", "u8g2", "xbm", "gfx"}) {
            QTest::newRow(qPrintable(QString("gcc ") + layout))
                << "gcc" << strict << layout << false;
            QTest::newRow(qPrintable(QString("gcc progmem ") + layout))
                << "gcc" << strict << layout << true;
            QTest::newRow(qPrintable(QString("avr-gcc progmem ") + layout))
                << "avr-gcc" << (QStringList{"-mmcu=atmega328p", "-Os"} + strict) << layout << true;
        }
    }
    void headersCompile() {
        QFETCH(QString, compiler);
        QFETCH(QStringList, flags);
        QFETCH(QString, layout);
        QFETCH(bool, progmem);
        if (QStandardPaths::findExecutable(compiler).isEmpty())
            QSKIP(qPrintable(compiler + " is not installed"));
        QStringList options{"--format", "c",    "--layout", layout,
                            "--frames", "4..6", "--name",   "anim"};
        if (progmem) options << "--progmem";
        QCOMPARE(exportTo("anim.h", options).code, 0);
        // Reads a byte the way the firmware would: through pgm_read_byte from flash on AVR.
        writeAll(dir_.filePath("use.c"),
                 "#include \"anim.h\"\n#if defined(__AVR__)\n#include <avr/pgmspace.h>\n"
                 "#define READ(p) pgm_read_byte(p)\n#else\n#define READ(p) (*(p))\n#endif\n"
                 "typedef char frame_bytes_ok[sizeof anim[0] == ANIM_FRAME_BYTES ? 1 : -1];\n"
                 "int first(int i) { return READ(&anim[i % ANIM_FRAME_COUNT][0]); }\n");
        QByteArray errors;
        QCOMPARE(compile(dir_.path(), compiler, flags + QStringList{"-c", "use.c", "-o", "use.o"},
                         errors),
                 0);
        QVERIFY2(errors.isEmpty(), errors.constData());
        if (compiler == "avr-gcc") {
            // PROGMEM puts the frames in flash (.progmem.data), not in RAM (.data).
            QProcess objdump;
            objdump.start("avr-objdump", {"-h", dir_.filePath("use.o")});
            QVERIFY(objdump.waitForFinished(60000));
            const QString sections = objdump.readAllStandardOutput();
            QVERIFY2(sections.contains(".progmem.data"), qPrintable(sections));
        }
    }

    void aLayoutOtherThanTheFileNamesIsRefused() {
        QCOMPARE(exportTo("g.h", {"--format", "c", "--layout", "gfx", "--frames", "5"}).code, 0);
        const std::string before = readAll(input_);
        const Run r =
            run({"import", path("g.h"), "--layout", "xbm", "--into", str(input_), "--at", "0"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.find("holds layout gfx, not xbm") != std::string::npos, r.err.c_str());
        QVERIFY(readAll(input_) == before);
    }

    void handWrittenArraysAreRead() {
        // Decimal numbers, comments, suffixes and a trailing comma: how people keep arrays.
        std::string c =
            "// frames kept by hand\n#define N 1 /* = { not this } */\n"
            "const unsigned char frame[] PROGMEM = {\n";
        const std::string gfx = goldenBytes(kGfxGolden, 512);
        for (size_t k = 0; k < gfx.size(); ++k)
            c += std::to_string(static_cast<unsigned char>(gfx[k])) + (k % 3 == 0 ? "u, " : ", ") +
                 (k % 16 == 15 ? "/* row */\n" : "");
        c += "};\n";
        writeAll(dir_.filePath("hand.h"), c);
        writeStore(dir_.filePath("t.txt"), *emptyStore());
        const Run r = importInto("t.txt", {"hand.h"}, {"--layout", "gfx"});
        QVERIFY2(r.code == 0, r.err.c_str());
        QVERIFY(frameBytes(*readStore(dir_.filePath("t.txt")), 100) == frameBytes(*store_, 5));
    }

    void bitsOutsideTheDotsAreNamed() {
        std::string bytes = goldenBytes(kU8g2Golden, 512);
        bytes[125] = 0x0F;  // column 125 of page 0: u8g2 has it, the panel not
        std::string c = "static const unsigned char f[] = {";
        for (char b : bytes) c += std::to_string(static_cast<unsigned char>(b)) + ",";
        writeAll(dir_.filePath("wide.c"), c + "};\n");
        writeStore(dir_.filePath("t.txt"), *emptyStore());
        const Run r = importInto("t.txt", {"wide.c"}, {"--layout", "u8g2"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.find("4 lit bits stand for no dot") != std::string::npos, r.err.c_str());
        QVERIFY(frameBytes(*readStore(dir_.filePath("t.txt")), 100) == frameBytes(*store_, 5));
    }

    void badArraysAreRefused_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QString ones;
        for (int k = 0; k < 487; ++k) ones += "1,";
        QTest::newRow("not whole frames")
            << "a.h"
            << "const char a[] = {" + ones + "};" << QStringList{} << 1
            << "487 numbers are not a whole number of frames of 488 bytes (layout store)";
        QTest::newRow("not whole frames of u8g2")
            << "a.h"
            << "const char a[] = {" + ones + "1};" << QStringList{"--layout", "u8g2"} << 1
            << "488 numbers are not a whole number of frames of 512 bytes (layout u8g2)";
        QTest::newRow("above 255")
            << "a.c"
            << "char a[] = {\n 1,\n 0x100 };" << QStringList{} << 1 << "line 3: 0x100 is above 255";
        QTest::newRow("empty initializer")
            << "a.c"
            << "char a[] = { };" << QStringList{} << 1 << "holds no number";
        QTest::newRow("no initializer") << "a.c"
                                        << "int x;" << QStringList{} << 1 << "no array initializer";
        QTest::newRow("a word") << "a.c"
                                << "char a[] = { 1, two };" << QStringList{} << 1
                                << "'two' is not a number";
        QTest::newRow("xbm short")
            << "a.xbm"
            << "#define a_width 122\n#define a_height 32\nstatic char a_bits[] = {1};"
            << QStringList{} << 1 << "1 bytes where 122 x 32 dots take 512";
        QTest::newRow("unknown layout") << "a.h"
                                        << "char a[] = {1};" << QStringList{"--layout", "ssd1306"}
                                        << 2 << "unknown layout 'ssd1306'";
        QTest::newRow("layout without a C file")
            << "a.xbm"
            << "" << QStringList{"--layout", "gfx"} << 2 << "--layout is for C files";
    }
    void badArraysAreRefused() {
        QFETCH(QString, file);
        QFETCH(QString, content);
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(QString, message);
        writeAll(dir_.filePath(file), str(content));
        const std::string before = readAll(input_);
        std::vector<std::string> args{"import", path(file), "--into", str(input_), "--at", "0"};
        for (const auto& o : options) args.push_back(str(o));
        const Run r = run(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.find(str(message)) != std::string::npos, r.err.c_str());
        QVERIFY(readAll(input_) == before);
    }

    void exportOptionsAreChecked_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("several frames, one xbm")
            << QStringList{"--format", "xbm", "--frames", "4..6"} << "give one frame";
        QTest::newRow("layout of bin") << QStringList{"--format", "bin", "--layout", "u8g2"}
                                       << "--layout does not apply to --format bin";
        QTest::newRow("progmem of xbm") << QStringList{"--format", "xbm", "--progmem"}
                                        << "--progmem does not apply to --format xbm";
        QTest::newRow("unknown layout")
            << QStringList{"--format", "c", "--layout", "lsb"} << "unknown layout 'lsb'";
    }
    void exportOptionsAreChecked() {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        const Run r = exportTo("x", options);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.find(str(message)) != std::string::npos, r.err.c_str());
        QVERIFY(!QFile::exists(dir_.filePath("x")));
    }

    void helpListsTheLayouts() {
        for (const char* command : {"export", "import"}) {
            const Run r = run({command, "--help"});
            QCOMPARE(r.code, 0);
            for (const char* layout : {"store ", "u8g2 ", "xbm ", "gfx "})
                QVERIFY2(r.out.find(std::string("  ") + layout) != std::string::npos, command);
        }
    }
};

QTEST_GUILESS_MAIN(TestLayouts)
#include "test_layouts.moc"
