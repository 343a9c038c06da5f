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

// One SED1520: 80 columns x 4 pages of display RAM, the command set it knows, and a column
// address that moves on after each data write. A command outside that set is a failure.
class Sed1520 {
public:
    std::array<std::array<uint8_t, 80>, 4> ram{};
    int page = 0;
    int column = 0;
    int startLine = 0;
    bool displayOn = false;

    void command(unsigned c, Failures& failures) {
        if (c == 0xAE || c == 0xAF) {
            displayOn = c == 0xAF;
        } else if ((c & 0xE0) == 0xC0) {
            startLine = int(c & 0x1F);
        } else if ((c & 0xFC) == 0xB8) {
            page = int(c & 3);
        } else if (c < 80) {
            column = int(c);
        } else if (c == 0xE2) {  // reset: start line 0, page 3, column 0
            startLine = 0;
            page = 3;
            column = 0;
        } else if (c == 0xA0 || c == 0xA4 || c == 0xA9) {
            // normal column order, static drive off, 1/32 duty: the panel's only working set-up
        } else {
            failures.push_back("unknown command " + hex2(c));
        }
    }

    void data(unsigned d, Failures& failures) {
        if (column >= dotreel::kHalfColumns)
            failures.push_back("data written past the panel, column " + std::to_string(column));
        else
            ram[size_t(page)][size_t(column)] = uint8_t(d);
        if (column < 79) ++column;
    }
};

// The SG12232: the left controller shows screen columns 0..60, the right one 61..121.
class Panel {
public:
    std::array<Sed1520, 2> chips;
    Failures failures;

    void command(int chip, unsigned c) { chips[size_t(chip)].command(c, failures); }
    void data(int chip, unsigned d) { chips[size_t(chip)].data(d, failures); }

    bool dot(int row, int column) const {
        const Sed1520& c = chips[size_t(column / dotreel::kHalfColumns)];
        if (!c.displayOn) return false;
        const int line = (row + c.startLine) % dotreel::kRows;
        return (c.ram[size_t(line / 8)][size_t(column % dotreel::kHalfColumns)] >> (line % 8)) & 1;
    }

    // The frame's last byte (right controller, page 3, column 60) has just been written.
    bool frameJustCompleted(int chip) const {
        return chip == 1 && chips[1].page == 3 && chips[1].column == dotreel::kHalfColumns;
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
};

// A 24C512: 64 KiB, a 16-bit address pointer that wraps at the chip's end, sequential reads,
// and page writes that wrap within their 128-byte page and land at the stop condition.
class Eeprom24C512 {
public:
    explicit Eeprom24C512(int device) : device_(device), memory_(65536, 0) {}

    std::vector<uint8_t>& memory() { return memory_; }

    bool start(unsigned addressByte) {
        selected_ = int(addressByte >> 1) == device_;
        reading_ = (addressByte & 1) != 0;
        received_ = 0;
        pending_.clear();
        return selected_;
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
    void stop() {
        if (selected_ && !pending_.empty()) {
            const unsigned page = pointer_ & 0xFF80u;
            for (size_t i = 0; i < pending_.size(); ++i)
                memory_[page | ((pointer_ + i) & 0x7Fu)] = pending_[i];
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

// Chip 0 at 0x50, chip 1 at 0x51, as the player's examples wire them.
class EepromBus {
public:
    std::array<Eeprom24C512, 2> chips{Eeprom24C512(0x50), Eeprom24C512(0x51)};
    Failures failures;
    int transactions = 0;

    bool start(unsigned addressByte) {
        ++transactions;
        bool ack = false;
        for (auto& c : chips) ack = c.start(addressByte) || ack;
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
    void stop() {
        for (auto& c : chips) c.stop();
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
