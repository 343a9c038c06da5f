// Simulated parts for the firmware tests: the SG12232's two SED1520 controllers, two 24C512
// EEPROMs on one I2C bus, and frame stores that reach the EEPROMs through dotreel-tool's own
// `export --split` images.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/dotgrid.h"
#include "core/frame.h"
#include "files/hexcodec.h"

namespace firmwaresim {

using dotreel::FrameMemory;

// Everything a simulated part objects to; a test fails when this is not empty.
using Failures = std::vector<std::string>;

inline std::string hex2(unsigned v) { return "0x" + dotreel::funDHChange(uint8_t(v)); }

// Simulated time, in nanoseconds: the host tests advance it through their port functions, the
// simavr test takes it from the AVR's cycle count.
using Ns = uint64_t;

// One SED1520 as the Epson manual describes it: 80 columns x 4 pages of display RAM (random at
// power-up), every command of its set, the column counter that moves on after each data write
// (except on reads in read-modify-write), the status byte, and its timing: after RES rises or a
// reset command it is busy for kResetNs, after any other write for kCycleNs, and a write that
// arrives while it is busy (or while RES is low) is lost. Anything outside the set is a failure.
class Sed1520 {
public:
    static constexpr Ns kResetNs = 1000000;  // assumed reset time, 1 ms
    static constexpr Ns kCycleNs = 1000;     // the write cycle time tCYC

    std::array<std::array<uint8_t, 80>, 4> ram{};
    int page = 3;
    int column = 0;
    int startLine = 0;
    bool displayOn = false;
    bool adcReverse = false;
    bool staticDrive = false;
    bool duty32 = true;
    bool readModifyWrite = false;
    int rmwColumn = 0;
    int writesSinceAddress = 0;  // data bytes since the last page or column set
    int lost = 0;
    int strayDotsAtDisplayOn = -1;  // lit dots the glass showed at the last display on
    bool neverReady = false;        // a broken controller: busy for good
    Ns busyUntil = 0;
    Ns resetUntil = 0;
    bool resLow = false;
    uint8_t readLatch = 0;

    explicit Sed1520(unsigned seed = 1) {
        std::mt19937 rng(seed);
        for (auto& p : ram)
            for (auto& b : p) b = uint8_t(rng());
    }

    // The segment a RAM column drives; segments 0..60 are on the glass.
    int segment(int address) const { return adcReverse ? 79 - address : address; }
    int address(int segment) const { return adcReverse ? 79 - segment : segment; }

    bool busy(Ns t) const { return neverReady || resLow || t < busyUntil; }
    bool resetting(Ns t) const { return neverReady || resLow || t < resetUntil; }

    void res(bool high, Ns t) {
        if (!high) {
            resLow = true;
            hardwareReset();
        } else if (resLow) {
            resLow = false;
            busyUntil = resetUntil = t + kResetNs;
        }
    }

    uint8_t status(Ns t) const {
        return uint8_t((busy(t) ? 0x80 : 0) | (adcReverse ? 0 : 0x40) | (displayOn ? 0 : 0x20) |
                       (resetting(t) ? 0x10 : 0));
    }

    void command(unsigned c, Ns t, Failures& failures) {
        if (busy(t)) {
            ++lost;
            failures.push_back("command " + hex2(c) + " lost: the controller is busy");
            return;
        }
        busyUntil = t + kCycleNs;
        if (c == 0xAE || c == 0xAF) {
            displayOn = c == 0xAF;
            if (displayOn) strayDotsAtDisplayOn = litDots();
        } else if ((c & 0xE0) == 0xC0) {
            startLine = int(c & 0x1F);
        } else if ((c & 0xFC) == 0xB8) {
            page = int(c & 3);
            writesSinceAddress = 0;
        } else if (c < 80) {
            column = int(c);
            writesSinceAddress = 0;
        } else if (c == 0xA0 || c == 0xA1) {
            adcReverse = c == 0xA1;
        } else if (c == 0xA4 || c == 0xA5) {
            staticDrive = c == 0xA5;
        } else if (c == 0xA8 || c == 0xA9) {
            duty32 = c == 0xA9;
        } else if (c == 0xE0) {
            readModifyWrite = true;
            rmwColumn = column;
        } else if (c == 0xEE) {
            readModifyWrite = false;
            column = rmwColumn;
        } else if (c == 0xE2) {  // start line 0, column 0, page 3; the RAM is kept
            startLine = 0;
            page = 3;
            column = 0;
            readModifyWrite = false;
            busyUntil = resetUntil = t + kResetNs;
        } else {
            failures.push_back("unknown command " + hex2(c));
        }
    }

    void data(unsigned d, Ns t, Failures& failures) {
        if (busy(t)) {
            ++lost;
            failures.push_back("data byte lost: the controller is busy");
            return;
        }
        busyUntil = t + kCycleNs;
        ram[size_t(page)][size_t(column)] = uint8_t(d);
        ++writesSinceAddress;
        if (column < 79) ++column;
    }

    // A display data read gives the latch filled by the read before (a dummy read comes first).
    uint8_t readData() {
        const uint8_t out = readLatch;
        readLatch = ram[size_t(page)][size_t(column)];
        if (!readModifyWrite && column < 79) ++column;
        return out;
    }

    int litDots() const {
        int n = 0;
        for (const auto& p : ram)
            for (int a = 0; a < 80; ++a)
                if (segment(a) <= 60) n += __builtin_popcount(p[size_t(a)]);
        return n;
    }

private:
    void hardwareReset() {
        displayOn = false;
        startLine = 0;
        staticDrive = false;
        column = 0;
        page = 3;
        duty32 = true;
        adcReverse = false;
        readModifyWrite = false;
    }
};

// How a module wires each half's 61 columns to the controller's segments 0..60.
enum class Module { Normal, Inverted };

// The SG12232: the left controller shows screen columns 0..60, the right one 61..121. On a
// normal module screen column c of a half is segment c, on an inverted one segment 60 - c.
class Panel {
public:
    std::array<Sed1520, 2> chips{Sed1520(11), Sed1520(12)};
    Module module = Module::Normal;
    Failures failures;

    void res(bool high, Ns t) {
        for (auto& c : chips) c.res(high, t);
    }
    void command(int chip, unsigned c, Ns t) { chips[size_t(chip)].command(c, t, failures); }
    void data(int chip, unsigned d, Ns t) { chips[size_t(chip)].data(d, t, failures); }
    uint8_t status(int chip, Ns t) const { return chips[size_t(chip)].status(t); }

    bool dot(int row, int column) const {
        const Sed1520& c = chips[size_t(column / dotreel::kHalfColumns)];
        const int x = column % dotreel::kHalfColumns;
        if (!c.displayOn) return false;
        if (c.staticDrive) return true;
        if (!c.duty32 && row >= 16) return false;
        const int line = (row + c.startLine) % dotreel::kRows;
        const int segment = module == Module::Normal ? x : dotreel::kHalfColumns - 1 - x;
        return (c.ram[size_t(line / 8)][size_t(c.address(segment))] >> (line % 8)) & 1;
    }

    // The frame's last byte (right controller, page 3, its 61st byte) has just been written.
    bool frameJustCompleted(int chip) const {
        const Sed1520& c = chips[size_t(chip)];
        return chip == 1 && c.displayOn && c.page == 3 &&
               c.writesSinceAddress == dotreel::kHalfColumns;
    }
    // A frame's first byte (left controller, page 0) has just been written.
    bool frameJustBegun(int chip) const {
        const Sed1520& c = chips[size_t(chip)];
        return chip == 0 && c.displayOn && c.page == 0 && c.writesSinceAddress == 1;
    }

    // Empty when the panel shows exactly the dots the editor's Bit_Convert gives frame `frame`;
    // otherwise the first dot that differs.
    std::string differenceFrom(const FrameMemory& store, int frame) const {
        auto grid = std::make_unique<dotreel::DotGrid>();
        dotreel::Bit_Convert(store, *grid, frame);
        for (int i = 0; i < dotreel::kDotCount; ++i) {
            const bool want = grid->intDot[size_t(i)] == dotreel::kDotOn;
            if (dot(dotreel::dotRow(i), dotreel::dotColumn(i)) != want)
                return "frame " + std::to_string(frame) + ": dot at row " +
                       std::to_string(dotreel::dotRow(i)) + " column " +
                       std::to_string(dotreel::dotColumn(i)) + (want ? " should be lit" : " unlit");
        }
        return {};
    }

    int litDots() const {
        int n = 0;
        for (int r = 0; r < dotreel::kRows; ++r)
            for (int c = 0; c < 2 * dotreel::kHalfColumns; ++c) n += dot(r, c);
        return n;
    }
};

// A 24C512 (Microchip DS21754): 64 KiB, a 16-bit address pointer that wraps at the chip's end,
// sequential reads, page writes that wrap within their 128-byte page and land at the STOP, after
// which the chip is busy in its write cycle for kWriteCycleNs (5 ms, the data sheet's maximum)
// and NACKs its address meanwhile. A test may make it absent or NACK its next addresses.
class Eeprom24C512 {
public:
    static constexpr Ns kWriteCycleNs = 5000000;

    explicit Eeprom24C512(int device) : device_(device), memory_(65536, 0) {}

    std::vector<uint8_t>& memory() { return memory_; }
    bool absent = false;
    int nackNext = 0;            // NACK this many more of its addresses
    bool neverFinishes = false;  // a write cycle that does not end
    Ns busyUntil = 0;
    int writeCycles = 0;

    bool start(unsigned addressByte, Ns t) {
        selected_ = false;
        if (int(addressByte >> 1) != device_ || absent) return false;
        if (t < busyUntil || (neverFinishes && writeCycles > 0)) return false;
        if (nackNext > 0) {
            --nackNext;
            return false;
        }
        selected_ = true;
        reading_ = (addressByte & 1) != 0;
        received_ = 0;
        pending_.clear();
        return true;
    }
    bool write(unsigned byte) {
        if (!selected_ || reading_) return false;
        if (received_ == 0) pointer_ = uint16_t((byte << 8) | (pointer_ & 0xFF));
        if (received_ == 1) pointer_ = uint16_t((pointer_ & 0xFF00) | byte);
        if (received_ >= 2) pending_.push_back(uint8_t(byte));
        ++received_;
        return true;
    }
    uint8_t read() {
        const uint8_t v = memory_[pointer_];
        pointer_ = uint16_t(pointer_ + 1);
        return v;
    }
    void stop(Ns t) {
        if (selected_ && !pending_.empty()) {
            const unsigned page = pointer_ & 0xFF80u;
            for (size_t i = 0; i < pending_.size(); ++i)
                memory_[page | ((pointer_ + i) & 0x7Fu)] = pending_[i];
            pointer_ = uint16_t(page | ((pointer_ + pending_.size()) & 0x7Fu));
            busyUntil = t + kWriteCycleNs;
            ++writeCycles;
        }
        pending_.clear();
        selected_ = false;
    }
    bool selected() const { return selected_; }

private:
    int device_;
    std::vector<uint8_t> memory_;
    uint16_t pointer_ = 0;
    bool selected_ = false;
    bool reading_ = false;
    int received_ = 0;
    std::vector<uint8_t> pending_;
};

// Chip 0 at 0x50, chip 1 at 0x51, as the player's examples wire them. SDA can be held low, as
// by a chip that was sending a 0 when the master reset: it lets go after `sdaHeldClocks` more
// SCL clocks (more than 9: never).
class EepromBus {
public:
    std::array<Eeprom24C512, 2> chips{Eeprom24C512(0x50), Eeprom24C512(0x51)};
    Failures failures;
    int transactions = 0;
    int sdaHeldClocks = 0;
    int holdSdaAtTransaction = -1;  // from this transaction on, hold SDA for sdaHeldLater clocks
    int sdaHeldLater = 0;
    int clocks = 0;
    int recoveries = 0;
    bool sclHeld = false;  // SCL stuck low (a missing pull-up): no bus step ever ends

    bool sdaHigh() const { return sdaHeldClocks == 0; }
    bool usable() const { return sdaHigh() && !sclHeld; }
    void clock() {
        ++clocks;
        if (sdaHeldClocks > 0 && sdaHeldClocks <= 9) --sdaHeldClocks;
    }

    // False when no chip acknowledged; the START itself is the caller's to check (sdaHigh).
    bool start(unsigned addressByte, Ns t) {
        if (transactions++ == holdSdaAtTransaction) sdaHeldClocks = sdaHeldLater;
        if (!sdaHigh()) return false;
        bool ack = false;
        for (auto& c : chips) ack = c.start(addressByte, t) || ack;
        return ack;
    }
    bool write(unsigned byte) {
        for (auto& c : chips)
            if (c.selected()) return c.write(byte);
        failures.push_back("byte written with no chip selected");
        return false;
    }
    uint8_t read() {
        for (auto& c : chips)
            if (c.selected()) return c.read();
        failures.push_back("byte read with no chip selected");
        return 0xFF;
    }
    void stop(Ns t) {
        for (auto& c : chips) c.stop(t);
    }
};

inline std::unique_ptr<FrameMemory> randomStore(unsigned seed) {
    auto store = std::make_unique<FrameMemory>();
    store->fill(0);
    std::mt19937 rng(seed);
    for (int k = 0; k < dotreel::kStoreBytes; ++k) (*store)[size_t(k)] = uint8_t(rng());
    return store;
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A frame file's bytes, decoded here from its "HH" CR LF lines; null when it is not one.
inline std::unique_ptr<FrameMemory> readFrameFile(const QString& path) {
    const QByteArray text = readFile(path);
    if (text.size() != qsizetype(dotreel::kStoreBytes) * 4) return nullptr;
    auto store = std::make_unique<FrameMemory>();
    store->fill(0);
    for (int k = 0; k < dotreel::kStoreBytes; ++k)
        (*store)[size_t(k)] = uint8_t(text.mid(k * 4, 2).toUInt(nullptr, 16));
    return store;
}

inline bool runProgram(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The frame store of a test case and the two 24C512 images dotreel-tool makes of it.
struct StoreImages {
    std::unique_ptr<FrameMemory> store;
    std::array<QByteArray, 2> chip;
    bool ok() const { return store && chip[0].size() == 65536 && chip[1].size() == 65536; }
};

// "random:SEED" or "demo" (the editor's demo animation, as its generator writes it); the frame
// file goes through `dotreel-tool export --format bin --split`.
inline StoreImages makeImages(const QString& kind, const QTemporaryDir& dir) {
    StoreImages out;
    QString frameFile = dir.filePath("store.txt");
    if (kind == "demo") {
        if (!runProgram(QStringLiteral(DOTREEL_MAKE_DEMO), {"--keep-existing", dir.path()}))
            return out;
        frameFile = QDir(dir.path()).filePath(QStringLiteral("データー/FirstData.txt"));
    } else {
        const auto random = randomStore(kind.section(':', 1).toUInt());
        QFile f(frameFile);
        if (!f.open(QIODevice::WriteOnly)) return out;
        const std::string text = dotreel::formatFrameFile(*random);
        f.write(text.data(), qint64(text.size()));
    }
    out.store = readFrameFile(frameFile);
    const QString image = dir.filePath("chip.bin");
    if (!runProgram(QStringLiteral(DOTREEL_TOOL_PATH),
                    {"export", frameFile, "--format", "bin", "--split", "--force", "-o", image}))
        return out;
    out.chip[0] = readFile(dir.filePath("chip-0.bin"));
    out.chip[1] = readFile(dir.filePath("chip-1.bin"));
    return out;
}

inline void load(EepromBus& bus, const StoreImages& images) {
    for (size_t c = 0; c < 2; ++c)
        std::copy(images.chip[c].begin(), images.chip[c].end(), bus.chips[c].memory().begin());
}

}  // namespace firmwaresim
