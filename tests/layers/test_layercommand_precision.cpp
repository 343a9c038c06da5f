// Frame boxes whose texts differ only beyond a double's precision: "0.50000000000000000001"
// rounds to frame 1 and "0.5" to frame 0, yet both read as the same double. The range they name
// must still be the ordered one, never a backwards range that does nothing.
#include <QtTest/QtTest>

#include <memory>
#include <string>
#include <variant>

#include "core/frame.h"
#include "layers/layercommand.h"
#include "layertestfiles.h"

using namespace dotreel;

namespace {

std::unique_ptr<FrameMemory> patterned() {
    auto m = std::make_unique<FrameMemory>();
    for (int k = 0; k < kMemoryBytes; ++k)
        (*m)[static_cast<size_t>(k)] = static_cast<uint8_t>(1 + layertest::patternByte(k, 9) % 254);
    return m;
}

bool frameIs(const FrameMemory& m, int frame, const FrameMemory& src, int srcFrame) {
    return std::equal(m.begin() + frame * kFrameBytes, m.begin() + (frame + 1) * kFrameBytes,
                      src.begin() + srcFrame * kFrameBytes);
}

}  // namespace

class TestLayerCommandPrecision : public QObject {
    Q_OBJECT

private slots:
    void pictureOverEndsEqualAsDoublesCoversBothFrames_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("firstFrame");
        QTest::addColumn<int>("lastFrame");
        QTest::newRow("start rounds up past the end") << "0.50000000000000000001"
                                                      << "0.5" << 0 << 1;
        QTest::newRow("end rounds up past the start") << "0.5"
                                                      << "0.50000000000000000001" << 0 << 1;
        QTest::newRow("at the last frame") << "266.50000000000000000001"
                                           << "266.5" << 266 << 267;
        QTest::newRow("even half against just above it") << "2.5000000000000000000000001"
                                                         << "2.5" << 2 << 3;
    }
    void pictureOverEndsEqualAsDoublesCoversBothFrames() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, firstFrame);
        QFETCH(int, lastFrame);
        const std::string s = start.toStdString(), e = end.toStdString();
        const LayerCheck check = checkLayerCommand(LayerCommandInput{2, true, s, e, "100"});
        QVERIFY(std::holds_alternative<LayerPlan>(check));
        const LayerPlan plan = std::get<LayerPlan>(check);
        QCOMPARE(plan.first, firstFrame);
        QCOMPARE(plan.last, lastFrame);

        const auto before = patterned();
        auto memory = std::make_unique<FrameMemory>(*before);
        applyLayerPlan(*memory, plan);
        for (int f = 0; f < kFrameCount; ++f) {
            const bool inRange = f >= firstFrame && f <= lastFrame;
            QVERIFY2(frameIs(*memory, f, *before, inRange ? 100 : f),
                     qPrintable(QString("frame %1").arg(f)));
        }
        QCOMPARE((*memory)[kStoreBytes], (*before)[kStoreBytes]);
    }

    // The byte range of erase and fill was right before; it must stay so with the ends ordered
    // by frame: from half of frame 0 to half of frame 1, whichever box holds which text.
    void eraseOverEndsEqualAsDoublesKeepsItsByteRange_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("start rounds up") << "0.50000000000000000001"
                                         << "0.5";
        QTest::newRow("end rounds up") << "0.5"
                                       << "0.50000000000000000001";
    }
    void eraseOverEndsEqualAsDoublesKeepsItsByteRange() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        const std::string s = start.toStdString(), e = end.toStdString();
        const LayerCheck check = checkLayerCommand(LayerCommandInput{0, true, s, e, "0"});
        QVERIFY(std::holds_alternative<LayerPlan>(check));
        const LayerPlan plan = std::get<LayerPlan>(check);
        QCOMPARE(plan.first, 244);
        QCOMPARE(plan.last, 731);

        const auto before = patterned();
        auto memory = std::make_unique<FrameMemory>(*before);
        applyLayerPlan(*memory, plan);
        for (int k = 0; k < kMemoryBytes; ++k) {
            const auto i = static_cast<size_t>(k);
            const uint8_t want = (k >= 244 && k <= 731) ? uint8_t{0} : (*before)[i];
            if ((*memory)[i] != want) QFAIL(qPrintable(QString("byte %1").arg(k)));
        }
    }
};

QTEST_GUILESS_MAIN(TestLayerCommandPrecision)
#include "test_layercommand_precision.moc"
