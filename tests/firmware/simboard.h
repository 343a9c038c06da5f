// The ATmega328P example's board in simavr, shared by the firmware tests and the link's
// benchmark: the simulated SG12232 on its LCD pins, two simulated 24C512 on its TWI, and its UART
// joined to a pseudo-terminal, with a line that can drop, garble or delay bytes and a reset
// button, so the real dotreel-tool can talk to the simulated player.
#pragma once

#include <avr_ioport.h>
#include <avr_twi.h>
#include <avr_uart.h>
#include <fcntl.h>
#include <poll.h>
#include <sim_avr.h>
#include <sim_elf.h>
#include <sim_io.h>
#include <sim_irq.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <optional>

#include "firmware/simparts.h"

extern "C" {
#include "dotreel_link.h"
}

namespace firmwaresim {

constexpr uint32_t kCpuHz = 16000000;
// Data-space addresses of the ATmega328P's PORTB, PORTC and PORTD. The LCD's data bus: D0..D3
// on PC0..PC3, D4..D7 on PD4..PD7 (PD0, PD1 are the UART's).
constexpr size_t kPortB = 0x25;
constexpr size_t kPortC = 0x28;
constexpr size_t kPortD = 0x2B;
constexpr uint8_t kDataLow = 0x0F;
constexpr uint8_t kDataHigh = 0xF0;
constexpr size_t kRamEnd = 0x8FF;
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
        // simavr sleeps the host's thread for as long as the AVR sleeps, so that a simulation
        // keeps to the wall clock; here it runs free (SerialLine::serve paces it where a host
        // program waits on it).
        avr_->sleep = [](avr_t*, avr_cycle_count_t) {};
        std::free(firmware.flash);
        std::free(firmware.eeprom);
        staticRam_ = firmware.datasize + firmware.bsssize;
        for (uint32_t i = 0; i < firmware.symbolcount; ++i)
            symbols_[firmware.symbol[i]->symbol] = firmware.symbol[i]->addr;

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
    avr_t* avr() const { return avr_; }
    // The reset button. On the chip a reset wakes a sleeping core and makes every pin an input
    // (the AVR lets go of SDA and SCL); simavr's reset does neither by itself, and it clears
    // PINC while its pin IRQs keep their last level, so the lines' levels are raised anew.
    void reset() {
        avr_reset(avr_);
        avr_->state = cpu_Running;
        ddrC_ = 0;
        for (int pin : {4, 5})
            avr_raise_irq(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ('C'), pin), 0);
        driveSda();
    }
    // .data and .bss, as avr-size counts them.
    uint32_t staticRam() const { return staticRam_; }
    // The bytes above .bss that still hold the pattern the firmware paints at reset: never
    // reached by the stack since.
    int untouchedRam() const {
        int n = 0;
        for (size_t a = 0x100 + staticRam_; a <= kRamEnd && avr_->data[a] == 0xC5; ++a) ++n;
        return n;
    }
    // A byte of the firmware's RAM by its symbol; -1 when the ELF file has no such symbol.
    int ramByte(const std::string& name) const {
        const auto it = symbols_.find(name);
        if (it == symbols_.end() || it->second < 0x800000) return -1;
        return avr_->data[it->second - 0x800000];
    }
    int deepestStack() const { return int(kRamEnd + 1 - 0x100 - staticRam_) - untouchedRam(); }

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
    uint32_t staticRam_ = 0;
    std::map<std::string, uint32_t> symbols_;
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
                    avr_raise_irq(
                        avr_io_getirq(b->avr_, AVR_IOCTL_IOPORT_GETIRQ(bit < 4 ? 'C' : 'D'), bit),
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
        const auto value =
            uint8_t((avr_->data[kPortC] & kDataLow) | (avr_->data[kPortD] & kDataHigh));
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
inline QString elfPath(const QString& build) {
    const QByteArray dir = qgetenv("DOTREEL_AVR_ELF_DIR");
    return QStringLiteral("%1/dotreel-player-%2.elf")
        .arg(dir.isEmpty() ? QStringLiteral(DOTREEL_AVR_ELF_DIR) : QString::fromLocal8Bit(dir),
             build);
}

// The board's UART on a pseudo-terminal: what the firmware sends goes to the master side, what a
// host writes to the slave side (slavePath(), the --port of the tool) is handed to the UART one
// byte per byte time of the firmware's own baud rate, as a wire brings it. simavr's UART counts
// 11 bit times a byte (a parity bit 8N1 has not) and raises a byte's RXC a byte time after the
// byte before was read, so bytes handed in faster pile up unseen in its FIFO: the line sets its
// byte time to the chip's 10 bits and hands a byte in only once the last one was read, so a byte
// handed in is seen by the firmware exactly one byte time later (the line runs slower than a wire
// by the firmware's interrupt latency, a few percent). The faults act on the bytes of both
// directions, counted together: every dropEvery-th byte is lost, every garbleEvery-th has a bit
// flipped; the device's bytes reach the host delayNs of simulated time late; after resetAfter
// bytes in, the AVR is reset once (its RAM is lost, the 24C512 and its own EEPROM keep theirs).
class SerialLine {
public:
    int dropEvery = 0;
    int garbleEvery = 0;
    Ns delayNs = 0;
    long resetAfter = 0;
    long bytesIn = 0;   // given to the UART
    long bytesOut = 0;  // sent by the UART
    int resets = 0;
    // Called once from serve() when bytesIn reaches onBytesInAt (a Ctrl+C to the host, say).
    std::function<void()> onBytesIn;
    long onBytesInAt = 0;
    // Simulated cycle of each byte given to the UART and of each byte it sent.
    std::vector<avr_cycle_count_t> inCycles, outCycles;
    bool record = false;

    explicit SerialLine(Board& board) : board_(board), avr_(board.avr()) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const char* name = ptsname(master_);
        if (name == nullptr) return;
        slavePath_ = QString::fromLocal8Bit(name);
        // Held open so the line outlives each host that opens and closes it; raw, as a serial
        // port's bytes are.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (slave_ < 0) return;
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        // Neither echo the firmware's bytes on the console nor sleep when it polls UCSR0A.
        uint32_t flags = 0;
        avr_ioctl(avr_, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
        flags &= ~uint32_t(AVR_UART_FLAG_STDIO | AVR_UART_FLAG_POLL_SLEEP);
        avr_ioctl(avr_, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
        for (avr_io_t* io = avr_->io_port; io != nullptr; io = io->next)
            if (std::string(io->kind) == "uart") uart_ = reinterpret_cast<avr_uart_t*>(io);
        avr_irq_t* irq = avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT);
        avr_irq_register_notify(irq, &SerialLine::output, this);
        avr_irq_register_notify(
            avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XOFF),
            [](avr_irq_t*, uint32_t, void* p) { static_cast<SerialLine*>(p)->xoff_ = true; }, this);
        avr_irq_register_notify(
            avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XON),
            [](avr_irq_t*, uint32_t, void* p) {
                auto* line = static_cast<SerialLine*>(p);
                line->xoff_ = false;
                line->arm();
            },
            this);
        input_ = avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    }
    ~SerialLine() {
        if (armed_) avr_cycle_timer_cancel(avr_, &SerialLine::feed, this);
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    bool ok() const { return slave_ >= 0 && uart_ != nullptr && input_ != nullptr; }
    // The UART's time for one byte, in cycles (10 bits at its baud rate).
    avr_cycle_count_t uartByteCycles() const { return uart_->cycles_per_byte; }
    // Bytes the firmware's receive ring had no room for (its counter, read from its RAM).
    int ringOverflows() const { return board_.ramByte("rx_overflows"); }
    QString slavePath() const { return slavePath_; }
    // The host's end, for a test that plays the host itself.
    int hostFd() const { return slave_; }
    // Simulated time since the board began, in nanoseconds, across resets.
    Ns simNs() const { return Ns(avr_->cycle) * 125 / 2; }

    // Bytes in both directions between the pseudo-terminal and the simulation.
    void pump() {
        uint8_t chunk[4096];
        for (;;) {
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n <= 0) break;
            toDevice_.insert(toDevice_.end(), chunk, chunk + n);
        }
        if (!toDevice_.empty()) arm();
        while (!toHost_.empty() && toHost_.front().due <= avr_->cycle) {
            const uint8_t b = toHost_.front().byte;
            if (::write(master_, &b, 1) != 1) break;
            toHost_.pop_front();
        }
    }
    // Nothing on its way, and the device has answered since it was last spoken to and gone
    // quiet (two byte times without a byte): the host's turn.
    bool hostsTurn() const {
        return toDevice_.empty() && toHost_.empty() && lastOut_ >= lastIn_ &&
               avr_->cycle - lastOut_ > 2 * byteCycles();
    }

    // Runs the simulation about `cycles` more, moving bytes, and the reset when it is due.
    void run(avr_cycle_count_t cycles) {
        const avr_cycle_count_t until = avr_->cycle + cycles;
        while (avr_->cycle < until && !board_.crashed()) {
            uart_->cycles_per_byte = byteCycles();  // simavr works out 11 bits at each UBRR write
            for (int i = 0; i < 2000 && avr_->cycle < until; ++i) avr_run(avr_);
            pump();
            if (resetDue_) {
                resetDue_ = false;
                ++resets;
                if (armed_) avr_cycle_timer_cancel(avr_, &SerialLine::feed, this);
                armed_ = false;
                board_.reset();
                xoff_ = false;
                arm();
            }
        }
    }

    // Serves a host program until it ends: the simulation runs free while bytes are on their way
    // or the device works on a request, and no faster than the wall clock while the device waits
    // for the host, so it does not race through the time a host takes to answer (that time would
    // count many times over in the figures). The program's exit code, or -1 when it did not end
    // within `wallMs`.
    int serve(QProcess& host, int wallMs) {
        QElapsedTimer wall;
        wall.start();
        bool waiting = false;
        qint64 wallAnchor = 0;
        Ns simAnchor = 0;
        while (host.state() != QProcess::NotRunning) {
            host.waitForFinished(0);
            if (onBytesIn && bytesIn >= onBytesInAt) {
                onBytesIn();
                onBytesIn = nullptr;
            }
            if (wall.elapsed() > wallMs) {
                host.kill();
                host.waitForFinished(5000);
                return -1;
            }
            run(kCpuHz / 2000);  // 0.5 ms
            if (!hostsTurn()) {
                waiting = false;
                continue;
            }
            if (!waiting) {
                waiting = true;
                wallAnchor = wall.nsecsElapsed();
                simAnchor = simNs();
            }
            const qint64 ahead = qint64(simNs() - simAnchor) - (wall.nsecsElapsed() - wallAnchor);
            if (ahead > 0) {
                pollfd p{master_, POLLIN, 0};
                poll(&p, 1, int(ahead / 1000000) + 1);
            }
        }
        run(kCpuHz / 100);  // the last answer's bytes out of the pseudo-terminal
        return host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    }

private:
    struct Out {
        avr_cycle_count_t due;
        uint8_t byte;
    };
    Board& board_;
    avr_t* avr_;
    avr_uart_t* uart_ = nullptr;
    avr_irq_t* input_ = nullptr;
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    std::deque<uint8_t> toDevice_;
    std::deque<Out> toHost_;
    bool xoff_ = false;
    bool armed_ = false;
    bool resetDue_ = false;
    long lineBytes_ = 0;
    avr_cycle_count_t lastIn_ = 0, lastOut_ = 0;

    // One byte's time on the wire at the UART's present setting: 10 bits of 8 (U2X) or 16 clocks
    // per count of UBRR + 1.
    avr_cycle_count_t byteCycles() const {
        const unsigned ubrr = unsigned(avr_->data[0xC4]) | (unsigned(avr_->data[0xC5] & 0x0F) << 8);
        const unsigned clocks = (avr_->data[0xC0] & 0x02) ? 8 : 16;
        return avr_cycle_count_t(10) * clocks * (ubrr + 1);
    }

    // Counts a byte on the line; false when the line loses it, and flips a bit when it garbles.
    bool through(uint8_t& byte) {
        ++lineBytes_;
        if (dropEvery > 0 && lineBytes_ % dropEvery == 0) return false;
        if (garbleEvery > 0 && lineBytes_ % garbleEvery == 0)
            byte ^= uint8_t(1u << (lineBytes_ % 8));
        return true;
    }

    void arm() {
        if (armed_ || xoff_ || toDevice_.empty()) return;
        armed_ = true;
        avr_cycle_timer_register(avr_, byteCycles(), &SerialLine::feed, this);
    }

    static avr_cycle_count_t feed(avr_t* avr, avr_cycle_count_t when, void* param) {
        auto* line = static_cast<SerialLine*>(param);
        if (line->xoff_ || line->toDevice_.empty()) {
            line->armed_ = false;
            return 0;
        }
        const uart_fifo_t& fifo = line->uart_->input;
        if (fifo.read != fifo.write) return when + 16;  // the last byte not read yet
        uint8_t byte = line->toDevice_.front();
        line->toDevice_.pop_front();
        if (line->through(byte)) {
            avr_raise_irq(line->input_, byte);
            ++line->bytesIn;
            line->lastIn_ = avr->cycle;
            if (line->record) line->inCycles.push_back(avr->cycle);
            if (line->resetAfter > 0 && line->bytesIn == line->resetAfter) line->resetDue_ = true;
        }
        return when + line->byteCycles();
    }

    static void output(avr_irq_t*, uint32_t value, void* param) {
        auto* line = static_cast<SerialLine*>(param);
        auto byte = uint8_t(value);
        ++line->bytesOut;
        line->lastOut_ = line->avr_->cycle;
        if (line->record) line->outCycles.push_back(line->avr_->cycle);
        if (!line->through(byte)) return;
        line->toHost_.push_back({line->avr_->cycle + line->delayNs * 2 / 125, byte});
    }
};

// An answer of the device as it came off the line.
struct Answer {
    uint8_t type = 0;
    uint8_t number = 0;
    QByteArray payload;
    uint8_t errorCode() const { return type == DOTREEL_LINK_ERROR ? uint8_t(payload[1]) : 0; }
};

// The host end of the line, played by a test of its own: one request at a time, the answer
// matched by its number, every wait counted in simulated time.
class LinkHost {
public:
    explicit LinkHost(SerialLine& line) : line_(line) { dotreel_link_decoder_init(&decoder_); }

    // Simulated time between looks at the line: the answer is seen at most this late.
    avr_cycle_count_t step = kCpuHz / 4000;

    bool send(const uint8_t* bytes, size_t length) {
        return length > 0 && ::write(line_.hostFd(), bytes, length) == ssize_t(length);
    }
    std::optional<Answer> request(const uint8_t* packet, size_t length, double seconds = 0.5) {
        if (!send(packet, length)) return std::nullopt;
        return answer(packet[2], seconds);
    }
    std::optional<Answer> answer(uint8_t number, double seconds) {
        const Ns until = line_.simNs() + Ns(seconds * 1e9);
        while (line_.simNs() < until) {
            line_.run(step);
            uint8_t chunk[512];
            ssize_t n;
            while ((n = ::read(line_.hostFd(), chunk, sizeof chunk)) > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    dotreel_link_packet p;
                    int whole = dotreel_link_decoder_feed(&decoder_, chunk[i], &p);
                    while (whole) {
                        if (p.number == number) {
                            Answer a{
                                p.type, p.number,
                                QByteArray(reinterpret_cast<const char*>(p.payload), p.length)};
                            // drop whatever is left, as a host does after its answer
                            dotreel_link_decoder_init(&decoder_);
                            return a;
                        }
                        whole = dotreel_link_decoder_next(&decoder_, &p);
                    }
                }
            }
        }
        return std::nullopt;
    }
    // The next answer of whatever number, for a host that keeps requests in flight: answers that
    // came in the same read wait for the next call.
    std::optional<Answer> nextAnswer(double seconds) {
        const Ns until = line_.simNs() + Ns(seconds * 1e9);
        while (pending_.empty() && line_.simNs() < until) {
            line_.run(step);
            uint8_t chunk[512];
            ssize_t n;
            while ((n = ::read(line_.hostFd(), chunk, sizeof chunk)) > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    dotreel_link_packet p;
                    int whole = dotreel_link_decoder_feed(&decoder_, chunk[i], &p);
                    while (whole) {
                        pending_.push_back(
                            {p.type, p.number,
                             QByteArray(reinterpret_cast<const char*>(p.payload), p.length)});
                        whole = dotreel_link_decoder_next(&decoder_, &p);
                    }
                }
            }
        }
        if (pending_.empty()) return std::nullopt;
        Answer a = pending_.front();
        pending_.pop_front();
        return a;
    }
    uint8_t next() { return ++number_; }

    std::optional<Answer> hello() {
        const size_t n = dotreel_link_encode_hello(buffer_, next());
        return request(buffer_, n);
    }
    std::optional<Answer> write(uint32_t address, const uint8_t* data, uint8_t length) {
        const size_t n = dotreel_link_encode_write(buffer_, next(), address, data, length);
        return request(buffer_, n);
    }
    std::optional<Answer> read(uint32_t address, uint8_t length) {
        const size_t n = dotreel_link_encode_read(buffer_, next(), address, length);
        return request(buffer_, n);
    }
    std::optional<Answer> show(const uint8_t* frame) {
        const size_t n = dotreel_link_encode_show(buffer_, next(), frame);
        return request(buffer_, n);
    }
    std::optional<Answer> play(uint16_t start, uint16_t end, uint16_t interval, uint8_t flags) {
        const size_t n = dotreel_link_encode_play(buffer_, next(), start, end, interval, flags);
        return request(buffer_, n);
    }
    // Any packet, as a host with its own ideas would send it.
    std::optional<Answer> raw(uint8_t type, const QByteArray& payload) {
        const size_t n = dotreel_link_encode(buffer_, type, next(),
                                             reinterpret_cast<const uint8_t*>(payload.constData()),
                                             uint16_t(payload.size()));
        return request(buffer_, n);
    }
    std::optional<Answer> stop() {
        const size_t n = dotreel_link_encode_stop(buffer_, next());
        return request(buffer_, n);
    }

private:
    SerialLine& line_;
    dotreel_link_decoder decoder_{};
    uint8_t buffer_[DOTREEL_LINK_MAX_PACKET]{};
    uint8_t number_ = 0;
    std::deque<Answer> pending_;
};

}  // namespace firmwaresim
