// The ATmega328P example running in simavr: two simulated 24C512 on its TWI pins hold
// dotreel-tool's --split images, the simulated SG12232 hangs on its bus pins, and every frame the
// panel shows must be the store's frame, in the player's order, one interval apart.
#include <QCoreApplication>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "firmware/simparts.h"

#ifdef DOTREEL_HAVE_SIMAVR
#include <avr_ioport.h>
#include <avr_twi.h>
#include <sim_avr.h>
#include <sim_elf.h>
#include <sim_io.h>
#include <sim_irq.h>

using namespace firmwaresim;

namespace {

constexpr uint32_t kCpuHz = 16000000;
// Data-space addresses of the ATmega328P's PORTB and PORTD.
constexpr size_t kPortB = 0x25;
constexpr size_t kPortD = 0x2B;
constexpr size_t kDdrC = 0x27;
constexpr uint8_t kPinA0 = 1 << 0;
constexpr uint8_t kPinRw = 1 << 1;
constexpr uint8_t kPinSda = 1 << 4;
constexpr uint8_t kPinScl = 1 << 5;
constexpr size_t kTwsr = 0xB9;
constexpr size_t kTwcr = 0xBC;
constexpr uint8_t kTwint = 1 << 7;
constexpr uint8_t kSlaWriteAcked = 0x18;
constexpr uint8_t kDataWriteAcked = 0x28;
constexpr uint8_t kSlaWriteNacked = 0x20;
constexpr uint8_t kDataWriteNacked = 0x30;

// The board around the simulated AVR: the example's pin table, wired to the simulated parts.
class Board {
public:
    Panel panel;
    EepromBus bus;
    struct Shown {
        avr_cycle_count_t cycle;
        avr_cycle_count_t writeCycles;  // from the frame's first byte to its last
        Panel panel;
    };
    std::vector<Shown> shown;
    std::vector<avr_cycle_count_t> ledOn;  // rising edges of the LED
    int stops = 0;                         // STOP conditions made by hand (bus recovery)

    explicit Board(const QString& elfPath) {
        elf_firmware_t firmware{};
        if (elf_read_firmware(elfPath.toLocal8Bit().constData(), &firmware) != 0) return;
        avr_ = avr_make_mcu_by_name("atmega328p");
        if (avr_ == nullptr) return;
        avr_init(avr_);
        avr_->log = LOG_ERROR;
        firmware.frequency = kCpuHz;
        avr_load_firmware(avr_, &firmware);
        std::free(firmware.flash);

        // The two E strobes: the controllers take a byte on the falling edge, and drive the
        // status on D0..D7 while E is high in a read cycle.
        for (int chip = 0; chip < 2; ++chip) {
            strobes_[chip] = {this, chip, false};
            avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ('B'), 2 + chip),
                                    &Board::strobe, &strobes_[chip]);
        }
        avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ('B'), 4), &Board::res,
                                this);
        avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ('B'), 5), &Board::led,
                                this);
        avr_irq_register_notify(
            avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ('C'), IOPORT_IRQ_DIRECTION_ALL),
            &Board::directionC, this);
        static const char* names[] = {"twi.in", "twi.out"};
        twi_ = avr_alloc_irq(&avr_->irq_pool, 0, 2, names);
        avr_irq_register_notify(twi_ + TWI_IRQ_OUTPUT, &Board::twi, this);
        avr_connect_irq(twi_ + TWI_IRQ_INPUT,
                        avr_io_getirq(avr_, AVR_IOCTL_TWI_GETIRQ(0), TWI_IRQ_INPUT));
        avr_connect_irq(avr_io_getirq(avr_, AVR_IOCTL_TWI_GETIRQ(0), TWI_IRQ_OUTPUT),
                        twi_ + TWI_IRQ_OUTPUT);
        avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_TWI_GETIRQ(0), TWI_IRQ_STATUS),
                                &Board::twiStatus, this);
    }
    ~Board() {
        if (avr_ == nullptr) return;
        avr_free_irq(twi_, 2);
        avr_terminate(avr_);
        std::free(avr_);
    }
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    bool loaded() const { return avr_ != nullptr; }
    bool halted() const { return avr_->state == cpu_Done; }
    bool crashed() const { return avr_->state == cpu_Crashed; }
    avr_cycle_count_t cycle() const { return avr_->cycle; }

    // Runs until `frames` frames were shown, the program halts, or `seconds` of simulated time.
    void run(size_t frames, double seconds) {
        driveSda();
        const auto limit = avr_cycle_count_t(seconds * kCpuHz);
        while (shown.size() < frames && avr_->cycle < limit && !halted() && !crashed())
            avr_run(avr_);
    }
    // The LED's code: its blinks within 1.2 s of the first (a code's blinks are 300 ms apart,
    // the codes 1 s apart); 0 when it never lit.
    int ledCode() const {
        int n = 0;
        for (avr_cycle_count_t c : ledOn) n += c - ledOn.front() < kCpuHz * 12 / 10;
        return n;
    }

private:
    struct Strobe {
        Board* board;
        int chip;
        bool high;
    };
    avr_t* avr_ = nullptr;
    avr_irq_t* twi_ = nullptr;
    bool addressWritten_ = false;
    avr_cycle_count_t frameBegun_ = 0;
    uint8_t ddrC_ = 0;
    Strobe strobes_[2]{};

    Ns now() const { return Ns(avr_->cycle) * 125 / 2; }

    // SDA as the pins see it: low while a chip or the AVR's own DDR bit pulls it down.
    void driveSda() {
        const bool high = bus.sdaHigh() && !(ddrC_ & kPinSda);
        avr_raise_irq(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ('C'), 4), high ? 1 : 0);
        avr_raise_irq(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ('C'), 5),
                      (ddrC_ & kPinScl) ? 0 : 1);
    }

    static void strobe(avr_irq_t*, uint32_t value, void* param) {
        auto* s = static_cast<Strobe*>(param);
        const bool falling = s->high && value == 0;
        const bool rising = !s->high && value != 0;
        s->high = value != 0;
        Board* b = s->board;
        const uint8_t control = b->avr_->data[kPortB];
        if (control & kPinRw) {
            if (rising && !(control & kPinA0)) {
                const uint8_t status = b->panel.status(s->chip, b->now());
                for (int bit = 0; bit < 8; ++bit)
                    avr_raise_irq(avr_io_getirq(b->avr_, AVR_IOCTL_IOPORT_GETIRQ('D'), bit),
                                  (status >> bit) & 1);
            }
            if (rising && (control & kPinA0))
                b->panel.failures.push_back("a display data read: the player never reads RAM");
            return;
        }
        if (falling) b->latch(s->chip);
    }

    static void res(avr_irq_t*, uint32_t value, void* param) {
        auto* b = static_cast<Board*>(param);
        b->panel.res(value != 0, b->now());
    }

    static void led(avr_irq_t*, uint32_t value, void* param) {
        auto* b = static_cast<Board*>(param);
        if (value != 0) b->ledOn.push_back(b->avr_->cycle);
    }

    // Bus recovery by hand: SCL and SDA as open drain through DDRC. A clock is SCL let go; a
    // STOP is SDA let go while SCL is high.
    static void directionC(avr_irq_t*, uint32_t value, void* param) {
        auto* b = static_cast<Board*>(param);
        const uint8_t was = b->ddrC_;
        b->ddrC_ = uint8_t(value);
        if ((was & kPinScl) && !(value & kPinScl)) b->bus.clock();
        if ((was & kPinSda) && !(value & kPinSda) && !(value & kPinScl)) {
            ++b->stops;
            b->bus.stop(b->now());
        }
        b->driveSda();
    }

    void latch(int chip) {
        const uint8_t control = avr_->data[kPortB];
        const uint8_t value = avr_->data[kPortD];
        if (!(control & kPinA0)) {
            panel.command(chip, value, now());
            return;
        }
        panel.data(chip, value, now());
        if (panel.frameJustBegun(chip)) frameBegun_ = avr_->cycle;
        if (panel.frameJustCompleted(chip))
            shown.push_back({avr_->cycle, avr_->cycle - frameBegun_, panel});
    }

    // The TWI master's bus events, answered by the two 24C512 as a real pair would.
    static void twi(avr_irq_t*, uint32_t value, void* param) {
        auto* b = static_cast<Board*>(param);
        avr_twi_msg_irq_t m;
        m.u.v = value;
        const auto reply = [&](uint8_t msg, uint8_t data) {
            avr_raise_irq(b->twi_ + TWI_IRQ_INPUT, avr_twi_irq_msg(msg, m.u.twi.addr, data));
        };
        if (m.u.twi.msg & TWI_COND_STOP) b->bus.stop(b->now());
        b->addressWritten_ = (m.u.twi.msg & TWI_COND_START) && !(m.u.twi.addr & 1);
        // On the chip, writing TWINT = 1 clears it until the byte is through; simavr 1.6 leaves
        // it set, and a program waiting for it would read the last byte's status.
        if (m.u.twi.msg & (TWI_COND_START | TWI_COND_WRITE | TWI_COND_READ))
            b->avr_->data[kTwcr] &= uint8_t(~kTwint);
        if (m.u.twi.msg & TWI_COND_START) {
            if (b->bus.start(m.u.twi.addr, b->now())) reply(TWI_COND_ACK, 1);
            b->driveSda();
        }
        if (m.u.twi.msg & TWI_COND_WRITE) {
            if (b->bus.write(m.u.twi.data)) reply(TWI_COND_ACK, 1);
        }
        if (m.u.twi.msg & TWI_COND_READ) reply(TWI_COND_READ, b->bus.read());
    }

    // simavr 1.6 reports an SLA+W as a data byte: 0x28 for acknowledged, 0x30 for not; the
    // ATmega328P says 0x18 and 0x20, and the firmware is written for the chip. With SDA or SCL held
    // low the TWI cannot make its START or clock a byte: the step never ends (TWINT stays clear).
    static void twiStatus(avr_irq_t*, uint32_t value, void* param) {
        auto* b = static_cast<Board*>(param);
        if (b->addressWritten_ && (value == kDataWriteAcked || value == kDataWriteNacked))
            b->avr_->data[kTwsr] =
                uint8_t((b->avr_->data[kTwsr] & 0x07) |
                        (value == kDataWriteAcked ? kSlaWriteAcked : kSlaWriteNacked));
        b->addressWritten_ = false;
        if (!b->bus.usable()) avr_cycle_timer_register(b->avr_, 1, &Board::holdTwint, b);
    }
    static avr_cycle_count_t holdTwint(avr_t* avr, avr_cycle_count_t, void*) {
        avr->data[kTwcr] &= uint8_t(~kTwint);
        return 0;
    }
};

// The ELF files of the builds: cmake/firmware.cmake's, or another folder's (DOTREEL_AVR_ELF_DIR in
// the environment), so the same checks can be run on any build of the example.
QString elfPath(const QString& build) {
    const QByteArray dir = qgetenv("DOTREEL_AVR_ELF_DIR");
    return QStringLiteral("%1/dotreel-player-%2.elf")
        .arg(dir.isEmpty() ? QStringLiteral(DOTREEL_AVR_ELF_DIR) : QString::fromLocal8Bit(dir),
             build);
}

}  // namespace

Q_DECLARE_METATYPE(Module)

class TestFirmwareAvr : public QObject {
    Q_OBJECT

private slots:
    void playsTheStoreInOrderAtItsInterval_data() {
        QTest::addColumn<QString>("build");
        QTest::addColumn<Module>("module");
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<bool>("halts");
        QTest::addColumn<QString>("expected");
        // The builds' playback settings are fixed in cmake/firmware.cmake.
        QTest::newRow("132..136 repeated, every 40 ms")
            << "repeat" << Module::Normal << 40 << false
            << "132 133 134 135 136 132 133 134 135 136 132";
        QTest::newRow("136..133 once, every 25 ms")
            << "once" << Module::Normal << 25 << true << "136 135 134 133";
        QTest::newRow("inverted mapping on an inverted module")
            << "inverted" << Module::Inverted << 40 << false << "132 133 134 135 136 132";
        QTest::newRow("busy poll (R/W wired)")
            << "busypoll" << Module::Normal << 40 << false << "132 133 134 135 136 132";
    }

    // Every frame whole and right, one interval apart, on a panel that loses what comes while it
    // resets or is busy; each frame written within 5 ms of simulated time from its first byte to
    // its last (no slow tearing).
    void playsTheStoreInOrderAtItsInterval() {
        QFETCH(QString, build);
        QFETCH(Module, module);
        QFETCH(int, intervalMs);
        QFETCH(bool, halts);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const StoreImages images = makeImages("random:11", dir);
        QVERIFY(images.ok());
        Board board(elfPath(build));
        QVERIFY(board.loaded());
        board.panel.module = module;
        load(board.bus, images);

        const QStringList frames = expected.split(' ');
        // Past the last frame by two intervals: a halting build must show nothing more.
        const double seconds = 0.1 + double((frames.size() + 2) * intervalMs) / 1000.0;
        board.run(halts ? frames.size() + 1 : frames.size(), seconds);
        QVERIFY(!board.crashed());
        for (const auto& f : board.panel.failures) qWarning("panel: %s", f.c_str());
        for (const auto& f : board.bus.failures) qWarning("eeprom: %s", f.c_str());
        QCOMPARE(board.halted(), halts);
        QCOMPARE(board.shown.size(), size_t(frames.size()));

        avr_cycle_count_t worst = 0;
        avr_cycle_count_t longestWrite = 0;
        for (qsizetype i = 0; i < frames.size(); ++i) {
            const Board::Shown& s = board.shown[size_t(i)];
            const std::string difference = s.panel.differenceFrom(*images.store, frames[i].toInt());
            QVERIFY2(difference.empty(), difference.c_str());
            longestWrite = std::max(longestWrite, s.writeCycles);
            if (i == 0) continue;
            const avr_cycle_count_t gap = s.cycle - board.shown[size_t(i) - 1].cycle;
            const avr_cycle_count_t want = avr_cycle_count_t(intervalMs) * (kCpuHz / 1000);
            const avr_cycle_count_t off = gap > want ? gap - want : want - gap;
            worst = std::max(worst, off);
            QVERIFY2(off <= kCpuHz / 1000,
                     qPrintable(QString("frame %1 came %2 us after the last, written in %3 us")
                                    .arg(i)
                                    .arg(gap / (kCpuHz / 1000000))
                                    .arg(s.writeCycles / (kCpuHz / 1000000))));
        }
        qInfo(
            "%lld frames compared; intervals within %llu us of %d ms; %d I2C transactions; "
            "a frame written in at most %llu us",
            qlonglong(frames.size()), (unsigned long long)(worst / (kCpuHz / 1000000)), intervalMs,
            board.bus.transactions, (unsigned long long)(longestWrite / (kCpuHz / 1000000)));
        QVERIFY(board.panel.failures.empty());
        QVERIFY(board.bus.failures.empty());
        for (const Sed1520& c : board.panel.chips) QCOMPARE(c.strayDotsAtDisplayOn, 0);
        QCOMPARE(board.ledCode(), 0);
        QVERIFY2(longestWrite < 5 * kCpuHz / 1000, "a frame took 5 ms or more to write");
    }

    void busFaultsAreRecoveredOrShown_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("frames");  // of 132 133 134 ... shown before it stops, or 6
        QTest::addColumn<int>("code");    // the LED's blinks, 0 for none
        QTest::addColumn<int>("stops");   // bus recoveries (STOP made by hand), at least
        QTest::newRow("SDA held at power-up, freed by 5 clocks") << "held:5" << 6 << 0 << 1;
        QTest::newRow("SDA held for good") << "held:100" << 0 << 3 << 1;
        QTest::newRow("SDA held later, freed by 4 clocks") << "later:4" << 6 << 0 << 2;
        QTest::newRow("SDA held later, for good") << "later:100" << 2 << 3 << 2;
        QTest::newRow("chip 1 absent") << "absent" << 2 << 2 << 3;
        QTest::newRow("chip 1 NACKs once") << "nack" << 6 << 0 << 2;
        QTest::newRow("SCL held low") << "scl" << 0 << 4 << 3;
    }

    // The example on a bus that misbehaves: it frees a held bus at start-up and after a time-out,
    // tries a failed read again, and where nothing helps stops with the frame on show and
    // blinks the reason on the LED (2: no answer, 3: SDA held, 4: time-out), never hanging.
    void busFaultsAreRecoveredOrShown() {
        QFETCH(QString, fault);
        QFETCH(int, frames);
        QFETCH(int, code);
        QFETCH(int, stops);
        QTemporaryDir dir;
        const StoreImages images = makeImages("random:11", dir);
        QVERIFY(images.ok());
        Board board(elfPath("repeat"));
        QVERIFY(board.loaded());
        load(board.bus, images);
        const int clocks = fault.section(':', 1).toInt();
        if (fault.startsWith("held")) board.bus.sdaHeldClocks = clocks;
        if (fault.startsWith("later")) {
            board.bus.holdSdaAtTransaction = 4;  // frame 134's first read
            board.bus.sdaHeldLater = clocks;
        }
        if (fault == "absent") board.bus.chips[1].absent = true;
        if (fault == "nack") board.bus.chips[1].nackNext = 1;
        if (fault == "scl") board.bus.sclHeld = true;

        board.run(6, 0.1 + 0.04 * 6 + (code ? 1.5 : 0.0));
        QVERIFY(!board.crashed());
        QCOMPARE(board.shown.size(), size_t(frames));
        const char* order[] = {"132", "133", "134", "135", "136", "132"};
        for (int i = 0; i < frames; ++i)
            QCOMPARE(board.shown[size_t(i)].panel.differenceFrom(*images.store, atoi(order[i])),
                     std::string());
        QCOMPARE(board.ledCode(), code);
        QVERIFY2(board.stops >= stops, qPrintable(QString::number(board.stops)));
        QVERIFY(board.panel.failures.empty());
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TestFirmwareAvr test;
    return QTest::qExec(&test, argc, argv);
}

#else

// Without simavr or gcc-avr the test cannot run; CTest reports it as skipped, never passed.
int main() {
    std::puts("SKIP: simavr (libsimavr-dev, libelf-dev) or gcc-avr is not installed");
    return 77;
}

#endif

#ifdef DOTREEL_HAVE_SIMAVR
#include "test_avr.moc"
#endif
