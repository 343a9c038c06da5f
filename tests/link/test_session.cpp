// The host side of the serial link against a scripted device on a pseudo-terminal: requests
// through a line that drops, garbles or delays bytes, a device that resets, goes silent or speaks
// another version; the port's own errors; and the live view's one pending frame.
#include <sys/file.h>

#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "link/liveview.h"
#include "link/session.h"
#include "linkdevice.h"

using dotreel::link::LinkError;
using dotreel::link::LiveView;
using dotreel::link::SerialPort;
using dotreel::link::Session;
using Kind = LinkError::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {

enum class Misbehaviour {
    None,
    Drop,
    Garble,
    GarbleAnswers,
    Delay,
    Late,
    Reset,
    Silent,
    Version,
    Deaf
};
}
Q_DECLARE_METATYPE(Misbehaviour)

namespace {

void apply(support::LinkDevice& device, Misbehaviour m) {
    switch (m) {
        case Misbehaviour::None:
            break;
        case Misbehaviour::Drop:
            device.knobs.dropEveryNth = 397;
            break;
        case Misbehaviour::Garble:
            device.knobs.garbleEveryNth = 389;
            break;
        case Misbehaviour::GarbleAnswers:
            device.knobs.garbleAnswerEveryNth = 3;
            break;
        case Misbehaviour::Delay:
            device.knobs.answerDelayMs = 120;
            break;
        // Each answer comes after the host has sent the request again: never the one awaited.
        case Misbehaviour::Late:
            device.knobs.answerDelayMs = DOTREEL_LINK_ANSWER_TIMEOUT_MS + 100;
            break;
        case Misbehaviour::Reset:
            device.knobs.resetAfter = 3;
            break;
        case Misbehaviour::Silent:
            device.knobs.neverAnswer = true;
            break;
        case Misbehaviour::Version:
            device.knobs.version = 7;
            break;
        case Misbehaviour::Deaf:
            device.knobs.stopReading = true;
            break;
    }
}

// What a Session call threw, or -1 for nothing.
template <typename Call>
int thrownKind(Call call) {
    try {
        call();
    } catch (const LinkError& e) {
        return static_cast<int>(e.kind());
    }
    return -1;
}

std::vector<uint8_t> pattern(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 31 + seed) ^ (i >> 7));
    return bytes;
}

}  // namespace

class TestSession : public QObject {
    Q_OBJECT

private slots:
    // A handful of blocks written and read back, two requests in flight, through each kind of
    // bad line, and the honest error where no retry can help.
    void blocksThroughBadLines_data() {
        QTest::addColumn<Misbehaviour>("misbehaviour");
        QTest::addColumn<int>("error");  // -1: every block must arrive intact
        QTest::newRow("clean line") << Misbehaviour::None << -1;
        QTest::newRow("drops bytes") << Misbehaviour::Drop << -1;
        QTest::newRow("garbles requests") << Misbehaviour::Garble << -1;
        QTest::newRow("late answers") << Misbehaviour::Delay << -1;
        QTest::newRow("resets mid-stream") << Misbehaviour::Reset << -1;
        QTest::newRow("never answers") << Misbehaviour::Silent << int(Kind::NoAnswer);
        QTest::newRow("answers too late") << Misbehaviour::Late << int(Kind::NoAnswer);
        QTest::newRow("stops reading") << Misbehaviour::Deaf << int(Kind::NoAnswer);
        QTest::newRow("answers always broken") << Misbehaviour::GarbleAnswers << int(Kind::Crc);
        QTest::newRow("another version") << Misbehaviour::Version << int(Kind::Version);
    }
    void blocksThroughBadLines() {
        QFETCH(Misbehaviour, misbehaviour);
        QFETCH(int, error);
        support::LinkDevice device;
        apply(device, misbehaviour);
        Session session(SerialPort::open(device.slavePath(), 115200));
        const auto data = pattern(size_t{8} * DOTREEL_LINK_BLOCK_BYTES, 5);
        const auto started = std::chrono::steady_clock::now();
        const size_t blocks = data.size() / DOTREEL_LINK_BLOCK_BYTES;
        const int thrown = thrownKind([&] {
            session.hello();
            session.writeBlocks(65536, data.data(), blocks, {});
            std::vector<uint8_t> back(data.size());
            session.readBlocks(65536, back.data(), blocks, {});
            QVERIFY(back == data);
        });
        QCOMPARE(thrown, error);
        // The bad line really cost requests, which were sent again.
        if (misbehaviour == Misbehaviour::Drop || misbehaviour == Misbehaviour::Garble ||
            misbehaviour == Misbehaviour::Reset)
            QVERIFY(session.counters().retries > 0);
        if (misbehaviour == Misbehaviour::Reset) QCOMPARE(device.resets(), 1u);
        if (error == -1) {
            const auto store = device.store();
            QVERIFY(std::equal(data.begin(), data.end(), store.begin() + 65536));
        } else {
            // A failing request gives up after its tries, never hangs on.
            QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(4));
        }
    }

    // Two requests in flight: answers are matched by their number in whatever order they come,
    // a lost one is sent again on its own, and the store ends right either way.
    void blockWindow_data() {
        QTest::addColumn<unsigned>("window");
        QTest::addColumn<int>("holdAnswer");  // the Nth request's answer comes after the next's
        QTest::addColumn<int>("loseAnswer");  // the Nth request's answer is lost
        QTest::addColumn<int>("resetAt");     // the device resets on the Nth request
        QTest::addColumn<int>("retries");     // -1: at least one
        QTest::addColumn<int>("inOrder");     // blocks finished in order: 1, 0, -1 either
        QTest::addColumn<int>("blocks");
        QTest::newRow("stop and wait") << 1u << 0 << 0 << 0 << 0 << 1 << 12;
        QTest::newRow("two in flight") << 2u << 0 << 0 << 0 << 0 << 1 << 12;
        QTest::newRow("answers out of order") << 2u << 2 << 0 << 0 << 0 << 0 << 12;
        // the block whose answer was lost finishes after the ones sent later; while it waits,
        // the request numbers of the others come round past its own
        QTest::newRow("one of two answers lost") << 2u << 0 << 3 << 0 << 1 << 0 << 600;
        QTest::newRow("reset with two in flight") << 2u << 0 << 0 << 3 << -1 << -1 << 12;
    }
    void blockWindow() {
        QFETCH(unsigned, window);
        QFETCH(int, holdAnswer);
        QFETCH(int, loseAnswer);
        QFETCH(int, resetAt);
        QFETCH(int, retries);
        QFETCH(int, inOrder);
        QFETCH(int, blocks);
        support::LinkDevice device;
        Session session(SerialPort::open(device.slavePath(), 115200));
        session.hello();
        device.knobs.holdAnswerAfter = unsigned(holdAnswer);
        device.knobs.loseAnswerAfter = unsigned(loseAnswer);
        device.knobs.resetAfter = unsigned(resetAt);
        const auto kBlocks = size_t(blocks);
        const auto data = pattern(kBlocks * DOTREEL_LINK_BLOCK_BYTES, 9);
        std::vector<size_t> order;
        session.writeBlocks(
            128, data.data(), kBlocks, [&](size_t b) { order.push_back(b); }, nullptr, window);
        if (retries >= 0)
            QCOMPARE(session.counters().retries, uint64_t(retries));
        else
            QVERIFY(session.counters().retries > 0);
        // every block once, and out of order where answers were
        QCOMPARE(order.size(), kBlocks);
        if (inOrder >= 0) QCOMPARE(std::is_sorted(order.begin(), order.end()), inOrder == 1);
        std::sort(order.begin(), order.end());
        QVERIFY(std::adjacent_find(order.begin(), order.end()) == order.end());
        const auto store = device.store();
        QVERIFY(std::equal(data.begin(), data.end(), store.begin() + 128));
        // and read back the same way
        device.knobs.holdAnswerAfter = unsigned(holdAnswer);
        device.knobs.loseAnswerAfter = unsigned(loseAnswer);
        std::vector<uint8_t> back(data.size());
        session.readBlocks(128, back.data(), kBlocks, {}, nullptr, window);
        QVERIFY(back == data);
    }

    // Stopped mid-transfer: nothing is sent after, the request in flight is still awaited, and
    // the device goes on answering.
    void stopWaitsForTheOneInFlight() {
        support::LinkDevice device;
        device.knobs.answerDelayMs = 5;
        Session session(SerialPort::open(device.slavePath(), 115200));
        std::atomic<bool> stop{false};
        const auto data = pattern(size_t{40} * DOTREEL_LINK_BLOCK_BYTES, 3);
        size_t answered = 0;
        const int thrown = thrownKind([&] {
            session.writeBlocks(
                0, data.data(), 40,
                [&](size_t) {
                    if (++answered == 4) stop = true;
                },
                &stop);
        });
        QCOMPARE(thrown, int(Kind::Cancelled));
        // blocks 0..3 answered when stopped, block 4 most likely sent already: awaited (every
        // request sent was answered and taken), then nothing more
        QVERIFY2(answered == 4 || answered == 5, qPrintable(QString::number(answered)));
        QCOMPARE(size_t(device.requests()), answered);
        QVERIFY(device.waitUntil([&] { return device.answers() == answered; }));
        const auto store = device.store();
        QVERIFY(std::equal(data.begin(),
                           data.begin() + std::ptrdiff_t(answered * DOTREEL_LINK_BLOCK_BYTES),
                           store.begin()));
        QCOMPARE(store[answered * DOTREEL_LINK_BLOCK_BYTES], uint8_t(0xFF));
        session.hello();
    }

    // A write the EEPROM refused is an error answer, named, and never taken for done.
    void deviceErrorIsNamed() {
        support::LinkDevice device;
        device.knobs.eepromStatus = 2;
        Session session(SerialPort::open(device.slavePath(), 115200));
        const auto data = pattern(DOTREEL_LINK_BLOCK_BYTES, 1);
        try {
            session.write(0, data.data(), DOTREEL_LINK_BLOCK_BYTES);
            QFAIL("a failed write was taken for done");
        } catch (const LinkError& e) {
            QCOMPARE(e.kind(), Kind::Device);
            QVERIFY2(QByteArray(e.what()).contains("EEPROM failed (no acknowledge)"), e.what());
        }
        QCOMPARE(device.store()[0], uint8_t(0xFF));
    }

    void portErrors_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("heldByAnother");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such port")
            << "/dev/ttyNoSuchPort9" << false << Kind::NoSuchPort << "no such port";
        QTest::newRow("no serial port")
            << "/dev/null" << false << Kind::NoSuchPort << "no such port";
        QTest::newRow("busy") << "" << true << Kind::Busy << "port busy";
    }
    void portErrors() {
        QFETCH(QString, name);
        QFETCH(bool, heldByAnother);
        QFETCH(Kind, kind);
        QFETCH(QString, message);
        support::LinkDevice device;
        std::string path = name.isEmpty() ? device.slavePath() : name.toStdString();
        std::optional<SerialPort> holder;
        if (heldByAnother) holder.emplace(SerialPort::open(path, 115200));
        try {
            SerialPort::open(path, 115200);
            QFAIL("opened");
        } catch (const LinkError& e) {
            QCOMPARE(e.kind(), kind);
            QVERIFY2(QString(e.what()).contains(message), e.what());
        }
        // Once the holder lets go, the port opens.
        if (heldByAnother) {
            holder.reset();
            Session(SerialPort::open(path, 115200)).hello();
        }
    }

    void cancelStopsWaiting() {
        support::LinkDevice device;
        device.knobs.neverAnswer = true;
        std::atomic<bool> cancel{false};
        Session session(SerialPort::open(device.slavePath(), 115200), &cancel);
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            cancel = true;
        });
        const auto started = std::chrono::steady_clock::now();
        const int thrown = thrownKind([&] { session.hello(); });
        canceller.join();
        QCOMPARE(thrown, int(Kind::Cancelled));
        QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::milliseconds(1500));
    }

    // The live view: the newest frame wins, equal frames are not sent twice, and a device that
    // stops reading is reported once without offer() ever blocking.
    void liveViewSendsNewestOnly() {
        support::LinkDevice device;
        device.knobs.answerDelayMs = 30;
        LiveView view;
        std::string error;
        QVERIFY2(view.connect(device.slavePath(), 115200, error), error.c_str());
        dotreel::link::PanelFrame frame{};
        for (int i = 0; i < 50; ++i) {
            frame[0] = static_cast<uint8_t>(i);
            view.offer(frame);
        }
        QVERIFY(device.waitUntil([&] {
            const auto shown = device.shown();
            return !shown.empty() && shown.back()[0] == 49;
        }));
        view.offer(frame);  // the same picture again: not sent
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto stats = view.stats();
        QCOMPARE(stats.offered, uint64_t(51));
        QVERIFY2(stats.sent < 10, "frames were queued rather than replaced");
        QCOMPARE(uint64_t(device.shown().size()), stats.sent);
        QCOMPARE(stats.sent + stats.skipped, uint64_t(50));
    }

    void liveViewReportsLostLinkOnce() {
        support::LinkDevice device;
        std::atomic<int> reports{0};
        std::string said;
        std::mutex saidMutex;
        LiveView view([&](const std::string& message) {
            const std::lock_guard lock(saidMutex);
            said = message;
            ++reports;
        });
        std::string error;
        QVERIFY(view.connect(device.slavePath(), 115200, error));
        device.knobs.stopReading = true;
        dotreel::link::PanelFrame frame{};
        const auto started = std::chrono::steady_clock::now();
        for (int i = 0; i < 2000 && reports == 0; ++i) {
            frame[1] = static_cast<uint8_t>(i);
            view.offer(frame);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        QVERIFY(device.waitUntil([&] { return reports > 0; }, 10000));
        // 2000 offers over 10 s at the most: offer() never waited on the cable.
        QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(12));
        QVERIFY(!view.connected());
        view.offer(frame);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QCOMPARE(reports.load(), 1);
        {
            const std::lock_guard lock(saidMutex);
            QVERIFY2(
                QString::fromStdString(said).contains(QString::fromStdString(device.slavePath())),
                said.c_str());
        }
        // Connecting again works once the device reads again.
        device.knobs.stopReading = false;
        QVERIFY2(view.connect(device.slavePath(), 115200, error), error.c_str());
    }

    // The cable pulled: the port hangs up, which is reported once like a silent device.
    void liveViewReportsUnplug() {
        auto device = std::make_unique<support::LinkDevice>();
        std::atomic<int> reports{0};
        LiveView view([&](const std::string&) { ++reports; });
        std::string error;
        QVERIFY(view.connect(device->slavePath(), 115200, error));
        device.reset();
        view.offer(dotreel::link::PanelFrame{});
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (reports == 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        QCOMPARE(reports.load(), 1);
        QVERIFY(!view.connected());
    }

    void liveViewClosesPromptly() {
        support::LinkDevice device;
        device.knobs.neverAnswer = true;
        auto view = std::make_unique<LiveView>();
        std::string error;
        device.knobs.neverAnswer = false;
        QVERIFY(view->connect(device.slavePath(), 115200, error));
        device.knobs.neverAnswer = true;
        view->offer(dotreel::link::PanelFrame{});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto started = std::chrono::steady_clock::now();
        view.reset();
        QVERIFY(std::chrono::steady_clock::now() - started <
                std::chrono::milliseconds(DOTREEL_LINK_ANSWER_TIMEOUT_MS));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
