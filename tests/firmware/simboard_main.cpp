// dotreel-simboard: the ATmega328P example's board in simavr as a serial device of its own, for
// trying the link by hand without hardware. It prints the pseudo-terminal that is the board's
// USB cable (give it to `dotreel-tool device ... --port` or `dotreel --port`), keeps to the wall
// clock as a real board does, writes what the simulated panel shows to a PBM picture after every
// frame, and on SIGINT or SIGTERM saves the two simulated 24C512 as binary images.
//
//   dotreel-simboard [--elf FILE] [--panel FILE.pbm] [--eeproms PREFIX] [--load PREFIX]
//
// --load PREFIX reads PREFIX0.bin and PREFIX1.bin into the chips first (fresh chips hold 0xFF);
// --eeproms PREFIX writes them at the end.
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <csignal>
#include <cstdarg>
#include <cstdio>

#include "firmware/simboard.h"

using namespace firmwaresim;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

// simavr's own chatter ("Loaded ... .text") would mix with the port name on standard output:
// only its errors, on standard error.
void quietLogger(avr_t*, const int level, const char* format, va_list ap) {
    if (level <= LOG_ERROR) std::vfprintf(stderr, format, ap);
}

bool writePanel(const Panel& panel, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QByteArray bytes = QByteArrayLiteral("P4\n122 32\n");
    for (int row = 0; row < dotreel::kRows; ++row) {
        uint8_t packed[16] = {};
        for (int column = 0; column < dotreel::kColumns; ++column)
            if (panel.dot(row, column)) packed[column / 8] |= uint8_t(0x80u >> (column % 8));
        bytes.append(reinterpret_cast<const char*>(packed), (dotreel::kColumns + 7) / 8);
    }
    file.write(bytes);
    return file.commit();
}

bool readChip(EepromBus& bus, int chip, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    auto& memory = bus.chips[size_t(chip)].memory();
    if (size_t(bytes.size()) != memory.size()) return false;
    std::copy(bytes.begin(), bytes.end(), memory.begin());
    return true;
}

bool writeChip(EepromBus& bus, int chip, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const auto& memory = bus.chips[size_t(chip)].memory();
    file.write(reinterpret_cast<const char*>(memory.data()), qint64(memory.size()));
    return file.commit();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString elf = elfPath(QStringLiteral("default"));
    QString panelPath, saveTo, loadFrom;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--elf" && hasValue) {
            elf = args[++i];
        } else if (args[i] == "--panel" && hasValue) {
            panelPath = args[++i];
        } else if (args[i] == "--eeproms" && hasValue) {
            saveTo = args[++i];
        } else if (args[i] == "--load" && hasValue) {
            loadFrom = args[++i];
        } else {
            std::fprintf(stderr,
                         "usage: dotreel-simboard [--elf FILE] [--panel FILE.pbm] "
                         "[--eeproms PREFIX] [--load PREFIX]\n");
            return 2;
        }
    }

    avr_global_logger_set(&quietLogger);
    Board board(elf);
    if (!board.loaded()) {
        std::fprintf(stderr, "dotreel-simboard: cannot load %s\n", qPrintable(elf));
        return 1;
    }
    for (int chip = 0; chip < 2 && !loadFrom.isEmpty(); ++chip)
        if (!readChip(board.bus, chip, QStringLiteral("%1%2.bin").arg(loadFrom).arg(chip))) {
            std::fprintf(stderr, "dotreel-simboard: %s%d.bin is not a 65536-byte image\n",
                         qPrintable(loadFrom), chip);
            return 1;
        }
    SerialLine line(board);
    if (!line.ok()) {
        std::fprintf(stderr, "dotreel-simboard: no pseudo-terminal to be had\n");
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("%s\n", qPrintable(line.slavePath()));
    std::fflush(stdout);

    // A real board keeps to the wall clock: run half a millisecond at a time, and wait whenever
    // the simulation is ahead.
    QElapsedTimer wall;
    wall.start();
    const Ns simStart = line.simNs();
    size_t frames = 0;
    while (stopRequested == 0 && !board.crashed()) {
        line.run(kCpuHz / 2000);
        if (!board.shown.empty()) {
            frames += board.shown.size();
            if (!panelPath.isEmpty() && !writePanel(board.shown.back().panel, panelPath))
                std::fprintf(stderr, "dotreel-simboard: cannot write %s\n", qPrintable(panelPath));
            board.shown.clear();
        }
        const qint64 ahead = qint64(line.simNs() - simStart) - wall.nsecsElapsed();
        if (ahead > 1000000) usleep(useconds_t(ahead / 1000));
    }
    for (const auto& f : board.panel.failures) std::fprintf(stderr, "panel: %s\n", f.c_str());
    for (const auto& f : board.bus.failures) std::fprintf(stderr, "eeprom: %s\n", f.c_str());
    std::fprintf(stderr, "dotreel-simboard: %zu frames shown, %d page writes\n", frames,
                 board.bus.chips[0].writeCycles + board.bus.chips[1].writeCycles);
    for (int chip = 0; chip < 2 && !saveTo.isEmpty(); ++chip)
        if (!writeChip(board.bus, chip, QStringLiteral("%1%2.bin").arg(saveTo).arg(chip))) {
            std::fprintf(stderr, "dotreel-simboard: cannot write %s%d.bin\n", qPrintable(saveTo),
                         chip);
            return 1;
        }
    return board.crashed() ? 1 : 0;
}
