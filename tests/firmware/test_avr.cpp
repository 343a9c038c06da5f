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
constexpr uint8_t kPinA0 = 1 << 0;
constexpr uint8_t kPinRw = 1 << 1;
constexpr size_t kTwsr = 0xB9;
constexpr size_t kTwcr = 0xBC;
constexpr uint8_t kTwint = 1 << 7;
constexpr uint8_t kSlaWriteAcked = 0x18;
constexpr uint8_t kDataWriteAcked = 0x28;

// The board around the simulated AVR: the example's pin table, wired to the simulated parts.
class Board {
public:
    Panel panel;
    EepromBus bus;
    struct Shown {
        avr_cycle_count_t cycle;
        Panel panel;
    };
    std::vector<Shown> shown;

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

        // The two E strobes: the controllers take a byte on the falling edge.
        for (int chip = 0; chip < 2; ++chip) {
            strobes_[chip] = {this, chip, false};
            avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ('B'), 2 + chip),
                                    &Board::strobe, &strobes_[chip]);
        }
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

    // Runs until `frames` frames were shown, the program halts, or `seconds` of simulated time.
    void run(size_t frames, double seconds) {
        const auto limit = avr_cycle_count_t(seconds * kCpuHz);
        while (shown.size() < frames && avr_->cycle < limit && !halted() && !crashed())
            avr_run(avr_);
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
    Strobe strobes_[2]{};

    static void strobe(avr_irq_t*, uint32_t value, void* param) {
        auto* s = static_cast<Strobe*>(param);
        const bool falling = s->high && value == 0;
        s->high = value != 0;
        if (falling) s->board->latch(s->chip);
    }

    void latch(int chip) {
        const uint8_t control = avr_->data[kPortB];
        const uint8_t value = avr_->data[kPortD];
        if (control & kPinRw) panel.failures.push_back("a read cycle on the LCD bus");
        if (!(control & kPinA0)) {
            panel.command(chip, value);
            return;
        }
        panel.data(chip, value);
        if (panel.frameJustCompleted(chip)) shown.push_back({avr_->cycle, panel});
    }

    // The TWI master's bus events, answered by the two 24C512 as a real pair would.
    static void twi(avr_irq_t*, uint32_t value, void* param) {
        auto* b = static_cast<Board*>(param);
        avr_twi_msg_irq_t m;
        m.u.v = value;
        const auto reply = [&](uint8_t msg, uint8_t data) {
            avr_raise_irq(b->twi_ + TWI_IRQ_INPUT, avr_twi_irq_msg(msg, m.u.twi.addr, data));
        };
        if (m.u.twi.msg & TWI_COND_STOP) b->bus.stop();
        b->addressWritten_ = (m.u.twi.msg & TWI_COND_START) && !(m.u.twi.addr & 1);
        // On the chip, writing TWINT = 1 clears it until the byte is through; simavr 1.6 leaves
        // it set, and a program waiting for it would read the last byte's status.
        if (m.u.twi.msg & (TWI_COND_START | TWI_COND_WRITE | TWI_COND_READ))
            b->avr_->data[kTwcr] &= uint8_t(~kTwint);
        if (m.u.twi.msg & TWI_COND_START) {
            if (b->bus.start(m.u.twi.addr)) reply(TWI_COND_ACK, 1);
        }
        if (m.u.twi.msg & TWI_COND_WRITE) {
            if (b->bus.write(m.u.twi.data)) reply(TWI_COND_ACK, 1);
        }
        if (m.u.twi.msg & TWI_COND_READ) reply(TWI_COND_READ, b->bus.read());
    }

    // simavr 1.6 reports an acknowledged SLA+W as 0x28 (data acknowledged); the ATmega328P says
    // 0x18, and the firmware is written for the chip.
    static void twiStatus(avr_irq_t*, uint32_t value, void* param) {
        auto* b = static_cast<Board*>(param);
        if (b->addressWritten_ && value == kDataWriteAcked)
            b->avr_->data[kTwsr] = uint8_t((b->avr_->data[kTwsr] & 0x07) | kSlaWriteAcked);
        b->addressWritten_ = false;
    }
};

}  // namespace

class TestFirmwareAvr : public QObject {
    Q_OBJECT

private slots:
    void playsTheStoreInOrderAtItsInterval_data() {
        QTest::addColumn<QString>("build");
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<bool>("halts");
        QTest::addColumn<QString>("expected");
        // The builds' playback settings are fixed in cmake/firmware.cmake.
        QTest::newRow("132..136 repeated, every 40 ms")
            << "repeat" << 40 << false << "132 133 134 135 136 132 133 134 135 136 132";
        QTest::newRow("136..133 once, every 25 ms") << "once" << 25 << true << "136 135 134 133";
    }

    void playsTheStoreInOrderAtItsInterval() {
        QFETCH(QString, build);
        QFETCH(int, intervalMs);
        QFETCH(bool, halts);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const StoreImages images = makeImages("random:11", dir);
        QVERIFY(images.ok());
        Board board(QStringLiteral(DOTREEL_AVR_ELF_DIR "/dotreel-player-%1.elf").arg(build));
        QVERIFY(board.loaded());
        load(board.bus, images);

        const QStringList frames = expected.split(' ');
        // Past the last frame by two intervals: a halting build must show nothing more.
        const double seconds = 0.1 + double((frames.size() + 2) * intervalMs) / 1000.0;
        board.run(halts ? frames.size() + 1 : frames.size(), seconds);
        QVERIFY(!board.crashed());
        QCOMPARE(board.halted(), halts);
        QCOMPARE(board.shown.size(), size_t(frames.size()));

        avr_cycle_count_t worst = 0;
        for (qsizetype i = 0; i < frames.size(); ++i) {
            const Board::Shown& s = board.shown[size_t(i)];
            const std::string difference = s.panel.differenceFrom(*images.store, frames[i].toInt());
            QVERIFY2(difference.empty(), difference.c_str());
            if (i == 0) continue;
            const avr_cycle_count_t gap = s.cycle - board.shown[size_t(i) - 1].cycle;
            const avr_cycle_count_t want = avr_cycle_count_t(intervalMs) * (kCpuHz / 1000);
            const avr_cycle_count_t off = gap > want ? gap - want : want - gap;
            worst = std::max(worst, off);
            QVERIFY2(off <= kCpuHz / 1000, qPrintable(QString("frame %1 came %2 us after the last")
                                                          .arg(i)
                                                          .arg(gap / (kCpuHz / 1000000))));
        }
        for (const auto& f : board.panel.failures) qWarning("panel: %s", f.c_str());
        for (const auto& f : board.bus.failures) qWarning("eeprom: %s", f.c_str());
        QVERIFY(board.panel.failures.empty());
        QVERIFY(board.bus.failures.empty());
        qInfo("%lld frames compared; intervals within %llu us of %d ms; %d I2C transactions",
              qlonglong(frames.size()), (unsigned long long)(worst / (kCpuHz / 1000000)),
              intervalMs, board.bus.transactions);
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
