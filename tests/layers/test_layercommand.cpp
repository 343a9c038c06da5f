// Erase, fill and picture-to-all over a range of frames: which bytes each touches, and which
// inputs are refused before anything changes.
#include <QtTest/QtTest>

#include <memory>
#include <random>
#include <string>
#include <variant>

#include "core/frame.h"
#include "layers/composite.h"
#include "layers/layercommand.h"
#include "layertestfiles.h"

using namespace dotreel;

namespace {

LayerCommandInput input(int16_t index, bool ticked, const char* start, const char* end,
                        const char* source = "0") {
    return LayerCommandInput{index, ticked, start, end, source};
}

// Checks, then applies to `memory` when accepted. Returns the refusal text, empty when accepted.
std::string run(FrameMemory& memory, const LayerCommandInput& in) {
    const LayerCheck check = checkLayerCommand(in);
    if (const auto* error = std::get_if<LayerInputError>(&check)) return error->message;
    applyLayerPlan(memory, std::get<LayerPlan>(check));
    return {};
}

// Bytes whose value differs between two memories, as the first and last such index (-1 if none)
// and their count.
struct Diff {
    int first = -1;
    int last = -1;
    int count = 0;
};
Diff diff(const FrameMemory& a, const FrameMemory& b) {
    Diff d;
    for (int k = 0; k < kMemoryBytes; ++k) {
        if (a[static_cast<size_t>(k)] == b[static_cast<size_t>(k)]) continue;
        if (d.first < 0) d.first = k;
        d.last = k;
        ++d.count;
    }
    return d;
}

bool frameEquals(const FrameMemory& m, int frame, const FrameMemory& src, int srcFrame) {
    return std::equal(m.begin() + frame * kFrameBytes, m.begin() + (frame + 1) * kFrameBytes,
                      src.begin() + srcFrame * kFrameBytes);
}

// A memory with no byte 0 or 255, so that every erased or filled byte shows.
std::unique_ptr<FrameMemory> midGreyMemory() {
    auto m = std::make_unique<FrameMemory>();
    for (int k = 0; k < kMemoryBytes; ++k)
        (*m)[static_cast<size_t>(k)] = static_cast<uint8_t>(1 + layertest::patternByte(k, 3) % 254);
    return m;
}

}  // namespace

class TestLayerCommand : public QObject {
    Q_OBJECT

private slots:
    void eraseAndFillTouchExactlyTheTickedByteRange_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("firstByte");
        QTest::addColumn<int>("lastByte");
        QTest::newRow("erase 3..5") << 0 << "3"
                                    << "5" << 1464 << 2927;
        QTest::newRow("fill 3..5") << 1 << "3"
                                   << "5" << 1464 << 2927;
        QTest::newRow("erase 4..4 is frame 4 only") << 0 << "4"
                                                    << "4" << 1952 << 2439;
        QTest::newRow("start after end covers the ordered range") << 0 << "5"
                                                                  << "3" << 1464 << 2927;
        QTest::newRow("fill start after end") << 1 << "267"
                                              << "0" << 0 << 130783;
        QTest::newRow("first and last frame") << 1 << "0"
                                              << "267" << 0 << 130783;
        QTest::newRow("blanks around numbers") << 0 << " 3 "
                                               << "\t5" << 1464 << 2927;
        QTest::newRow("fraction moves the start by part of a frame") << 0 << "2.5"
                                                                     << "2.5" << 1220 << 1707;
        QTest::newRow("start just below 0 stays within frame 0") << 1 << "-0.4"
                                                                 << "0" << 0 << 487;
        QTest::newRow("end just below 267.5 never reaches the bytes after frame 267")
            << 1 << "267.4"
            << "267.4" << 130491 << 130783;
        QTest::newRow("leading zeros and plus sign") << 0 << "+003"
                                                     << "005.0" << 1464 << 2927;
    }
    void eraseAndFillTouchExactlyTheTickedByteRange() {
        QFETCH(int, index);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, firstByte);
        QFETCH(int, lastByte);
        auto before = midGreyMemory();
        auto after = std::make_unique<FrameMemory>(*before);
        const std::string s = start.toStdString(), e = end.toStdString();
        QCOMPARE(run(*after, input(static_cast<int16_t>(index), true, s.c_str(), e.c_str())),
                 std::string());
        const Diff d = diff(*before, *after);
        QCOMPARE(d.first, firstByte);
        QCOMPARE(d.last, lastByte);
        QCOMPARE(d.count, lastByte - firstByte + 1);
        const uint8_t expected = index == 0 ? 0 : 255;
        QCOMPARE((*after)[static_cast<size_t>(firstByte)], expected);
        QCOMPARE((*after)[static_cast<size_t>(lastByte)], expected);
    }

    void untickedEraseAndFillCoverTheWholeStoreWithoutReadingTheBoxes_data() {
        QTest::addColumn<int>("index");
        QTest::newRow("erase") << 0;
        QTest::newRow("fill") << 1;
    }
    void untickedEraseAndFillCoverTheWholeStoreWithoutReadingTheBoxes() {
        QFETCH(int, index);
        auto memory = midGreyMemory();
        const uint8_t lastByteBefore = (*memory)[kStoreBytes];
        // Boxes holding nothing usable do not matter when the range box is not ticked.
        QCOMPARE(run(*memory, input(static_cast<int16_t>(index), false, "abc", "", "x")),
                 std::string());
        const uint8_t expected = index == 0 ? 0 : 255;
        for (int k = 0; k < kStoreBytes; ++k) QCOMPARE((*memory)[static_cast<size_t>(k)], expected);
        QCOMPARE((*memory)[kStoreBytes], lastByteBefore);
    }

    void pictureCopiesTheSourceAsItWasOverTheRange() {
        auto before = midGreyMemory();
        auto memory = std::make_unique<FrameMemory>(*before);
        QCOMPARE(run(*memory, input(2, true, "0", "20", "10")), std::string());
        for (int f = 0; f <= 20; ++f)
            QVERIFY2(frameEquals(*memory, f, *before, 10), qPrintable(QString::number(f)));
        const Diff d = diff(*before, *memory);
        QCOMPARE(d.first, 0);
        QCOMPARE(d.last, 21 * kFrameBytes - 1);
    }

    void untickedPictureFillsEveryFrameButNotTheBytesAfterTheLast() {
        auto before = midGreyMemory();
        auto memory = std::make_unique<FrameMemory>(*before);
        QCOMPARE(run(*memory, input(2, false, "bad", "bad", "0")), std::string());
        for (int f = 0; f < kFrameCount; ++f) QVERIFY(frameEquals(*memory, f, *before, 0));
        for (int k = kFrameCount * kFrameBytes; k < kMemoryBytes; ++k)
            QCOMPARE((*memory)[static_cast<size_t>(k)], (*before)[static_cast<size_t>(k)]);
    }

    void pictureRangeRoundsFractionsAndOrdersTheEnds_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("firstFrame");
        QTest::addColumn<int>("lastFrame");
        QTest::addColumn<int>("sourceFrame");
        QTest::newRow("2.5 rounds to 2") << "2.5"
                                         << "4"
                                         << "7" << 2 << 4 << 7;
        QTest::newRow("3.5 rounds to 4") << "3.5"
                                         << "5"
                                         << "7" << 4 << 5 << 7;
        QTest::newRow("start after end") << "9"
                                         << "6"
                                         << "1" << 6 << 9 << 1;
        QTest::newRow("fractional source rounds to a whole frame") << "0"
                                                                   << "1"
                                                                   << "266.5" << 0 << 1 << 266;
        QTest::newRow("last frame as source") << "100"
                                              << "100"
                                              << "267" << 100 << 100 << 267;
    }
    void pictureRangeRoundsFractionsAndOrdersTheEnds() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, source);
        QFETCH(int, firstFrame);
        QFETCH(int, lastFrame);
        QFETCH(int, sourceFrame);
        auto before = midGreyMemory();
        auto memory = std::make_unique<FrameMemory>(*before);
        const std::string s = start.toStdString(), e = end.toStdString(),
                          src = source.toStdString();
        QCOMPARE(run(*memory, input(2, true, s.c_str(), e.c_str(), src.c_str())), std::string());
        for (int f = 0; f < kFrameCount; ++f) {
            const bool inRange = f >= firstFrame && f <= lastFrame;
            QVERIFY2(frameEquals(*memory, f, *before, inRange ? sourceFrame : f),
                     qPrintable(QString("frame %1").arg(f)));
        }
    }

    void refusedInputChangesNothingAndNamesTheBox_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("box");
        QTest::newRow("start not a number") << 0 << true << "abc"
                                            << "5"
                                            << "0"
                                            << "「開始」";
        QTest::newRow("start empty") << 1 << true << ""
                                     << "5"
                                     << "0"
                                     << "「開始」";
        QTest::newRow("start below 0") << 0 << true << "-1"
                                       << "5"
                                       << "0"
                                       << "「開始」";
        QTest::newRow("start -0.6 rounds to -1") << 0 << true << "-0.6"
                                                 << "5"
                                                 << "0"
                                                 << "「開始」";
        QTest::newRow("end above 267") << 1 << true << "0"
                                       << "268"
                                       << "0"
                                       << "「終了」";
        QTest::newRow("end 267.5 rounds to 268") << 0 << true << "0"
                                                 << "267.5"
                                                 << "0"
                                                 << "「終了」";
        QTest::newRow("end in exponent form") << 0 << true << "0"
                                              << "1e2"
                                              << "0"
                                              << "「終了」";
        QTest::newRow("end hexadecimal") << 0 << true << "0"
                                         << "&H10"
                                         << "0"
                                         << "「終了」";
        QTest::newRow("end far too large") << 1 << true << "0"
                                           << "99999999999999999999999"
                                           << "0"
                                           << "「終了」";
        QTest::newRow("picture start bad") << 2 << true << "x"
                                           << "5"
                                           << "0"
                                           << "「開始」";
        QTest::newRow("picture source missing") << 2 << true << "0"
                                                << "5"
                                                << ""
                                                << "「スクロール」";
        QTest::newRow("picture source above 267 unticked") << 2 << false << "0"
                                                           << "5"
                                                           << "300"
                                                           << "「スクロール」";
        QTest::newRow("picture source negative") << 2 << false << ""
                                                 << ""
                                                 << "-3"
                                                 << "「スクロール」";
    }
    void refusedInputChangesNothingAndNamesTheBox() {
        QFETCH(int, index);
        QFETCH(bool, ticked);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, source);
        QFETCH(QString, box);
        auto before = midGreyMemory();
        auto memory = std::make_unique<FrameMemory>(*before);
        const std::string s = start.toStdString(), e = end.toStdString(),
                          src = source.toStdString();
        const std::string message = run(
            *memory, input(static_cast<int16_t>(index), ticked, s.c_str(), e.c_str(), src.c_str()));
        QVERIFY(!message.empty());
        QVERIFY2(QString::fromStdString(message).contains(box), message.c_str());
        QVERIFY2(QString::fromStdString(message).contains("0～267"), message.c_str());
        QCOMPARE(diff(*before, *memory).count, 0);
    }

    void anyInputGivesARefusalOrABoundedRange() {
        // Whatever the boxes hold, an accepted command stays within the memory and, ticked,
        // within the frames.
        std::mt19937 rng(20240611);
        const std::string alphabet = "0123456789.-+ \tex&H";
        for (int round = 0; round < 20000; ++round) {
            std::string texts[3];
            for (auto& t : texts) {
                const int len = static_cast<int>(rng() % 8);
                for (int i = 0; i < len; ++i) t += alphabet[rng() % alphabet.size()];
            }
            const auto index = static_cast<int16_t>(rng() % 3);
            const bool ticked = (rng() & 1) != 0;
            const LayerCheck check =
                checkLayerCommand({index, ticked, texts[0], texts[1], texts[2]});
            if (std::holds_alternative<LayerInputError>(check)) continue;
            const LayerPlan plan = std::get<LayerPlan>(check);
            QVERIFY(plan.first <= plan.last);
            if (plan.command == LayerCommand::Picture) {
                QVERIFY(plan.first >= 0 && plan.last <= kLastFrame);
                QVERIFY(plan.source >= 0 && plan.source <= kLastFrame);
            } else {
                QVERIFY(plan.first >= 0);
                QVERIFY(plan.last <= (ticked ? kFrameCount * kFrameBytes - 1 : kStoreBytes - 1));
            }
        }
    }

    void compositeIsTheBitwiseOrOfTheStoredBytes() {
        FrameMemory image{}, background{};
        image[0] = 0x0F;
        background[0] = 0xF0;
        image[1] = 0x81;
        background[1] = 0x01;
        background[2] = 0x42;
        image[kStoreBytes - 1] = 0x10;
        background[kStoreBytes - 1] = 0x01;
        background[kStoreBytes] = 0xFF;  // the byte no file holds is not part of a layer
        orComposite(image, background);
        QCOMPARE(image[0], uint8_t{0xFF});
        QCOMPARE(image[1], uint8_t{0x81});
        QCOMPARE(image[2], uint8_t{0x42});
        QCOMPARE(image[3], uint8_t{0x00});
        QCOMPARE(image[kStoreBytes - 1], uint8_t{0x11});
        QCOMPARE(image[kStoreBytes], uint8_t{0x00});
    }
};

QTEST_GUILESS_MAIN(TestLayerCommand)
#include "test_layercommand.moc"
