// The serial link through the ATmega328P example in simavr: a whole store written and read back,
// against what the wire and the EEPROMs' write cycles need at least, and the live view's latency
// (a show request's last byte in to its answer's last byte out). Simulated time is the AVR's
// cycle count; wall time is this host's. Nothing here passes or fails on a time.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <map>

#ifdef DOTREEL_HAVE_SIMAVR
#include "firmware/simboard.h"

using namespace firmwaresim;

namespace {

constexpr double kWriteCycleS = double(Eeprom24C512::kWriteCycleNs) / 1e9;

struct Figures {
    double simS = 0;
    double wallS = 0;
    long bytes = 0;   // both ways
    long busier = 0;  // the bytes of the busier direction
    bool ok = false;
    int overflows = 0;  // bytes the firmware's receive ring had no room for
};

double wireS(long bytes, int baud) { return double(bytes) * 10.0 / baud; }

void print(const char* what, const Figures& f, int baud, int writeCycles) {
    const double least = wireS(f.bytes, baud) + writeCycles * kWriteCycleS;
    std::printf(
        "%-44s %s: simulated %.2f s, wall %.2f s; wire %.2f s (%ld bytes x 10 bits / %d baud) + "
        "%d write cycles x %.0f ms = %.2f s; simulated / that = %.3f; the busier direction's "
        "%ld bytes alone take %.2f s on the wire\n",
        what, f.ok ? "ok" : "FAILED", f.simS, f.wallS, wireS(f.bytes, baud), f.bytes, baud,
        writeCycles, kWriteCycleS * 1000, least, f.simS / least, f.busier, wireS(f.busier, baud));
}

double simSince(const SerialLine& line, avr_cycle_count_t from) {
    return double(line.outCycles.back() - from) / kCpuHz;
}

// The whole store through the test harness's own host, with no time between an answer and the
// next request, `window` requests in flight: what the firmware and the line cost, without a host
// program's turnaround.
Figures ownHost(bool verify, QTemporaryDir& dir, unsigned window) {
    Figures f;
    const StoreImages images = makeImages("random:5", dir);
    Board board(elfPath("default"));
    SerialLine line(board);
    LinkHost host(line);
    host.step = kCpuHz / 200000;  // looks at the line every 5 us
    if (!images.ok() || !board.loaded() || !line.ok()) return f;
    if (verify) load(board.bus, images);
    line.run(kCpuHz / 10);
    line.record = true;
    const auto* store = reinterpret_cast<const uint8_t*>(images.store->data());
    QElapsedTimer wall;
    wall.start();
    const avr_cycle_count_t from = board.cycle();
    const long in0 = line.bytesIn, out0 = line.bytesOut;
    bool ok = true;
    uint8_t packet[DOTREEL_LINK_MAX_PACKET];
    std::map<uint8_t, uint32_t> inFlight;  // request number: its block's address
    uint32_t next = 0;
    while (ok && (next < 131072 || !inFlight.empty())) {
        while (next < 131072 && inFlight.size() < window) {
            const uint8_t number = host.next();
            const size_t n =
                verify ? dotreel_link_encode_read(packet, number, next, 128)
                       : dotreel_link_encode_write(packet, number, next, store + next, 128);
            ok = ok && host.send(packet, n);
            inFlight[number] = next;
            next += 128;
        }
        const auto answer = host.nextAnswer(0.5);
        const auto it = answer ? inFlight.find(answer->number) : inFlight.end();
        ok = ok && it != inFlight.end() &&
             answer->type ==
                 ((verify ? DOTREEL_LINK_READ : DOTREEL_LINK_WRITE) | DOTREEL_LINK_ANSWER);
        if (ok && verify)
            ok = std::equal(store + it->second, store + it->second + 128,
                            reinterpret_cast<const uint8_t*>(answer->payload.constData()) + 4);
        if (ok) inFlight.erase(it);
    }
    f.overflows = line.ringOverflows();
    f.wallS = double(wall.nsecsElapsed()) / 1e9;
    f.simS = simSince(line, from) + double(line.uartByteCycles()) / kCpuHz;
    f.bytes = (line.bytesIn - in0) + (line.bytesOut - out0);
    f.busier = std::max(line.bytesIn - in0, line.bytesOut - out0);
    f.ok = ok &&
           (verify || (QByteArray(reinterpret_cast<const char*>(board.bus.chips[0].memory().data()),
                                  65536) == images.chip[0] &&
                       QByteArray(reinterpret_cast<const char*>(board.bus.chips[1].memory().data()),
                                  65536) == images.chip[1]));
    return f;
}

bool toolHasDevice() {
    QProcess p;
    p.start(QStringLiteral(DOTREEL_TOOL_PATH), {"device", "--help"});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The real dotreel-tool: `device upload FILE` (its read-back included) and `device verify FILE`.
Figures tool(const QStringList& args, Board& board, SerialLine& line, const QString& file) {
    Figures f;
    QProcess p;
    line.inCycles.clear();
    line.outCycles.clear();
    line.record = true;
    const long in0 = line.bytesIn, out0 = line.bytesOut;
    QElapsedTimer wall;
    wall.start();
    p.start(QStringLiteral(DOTREEL_TOOL_PATH),
            QStringList{"device"} + args + QStringList{file, "--port", line.slavePath()});
    const avr_cycle_count_t started = board.cycle();
    f.ok = p.waitForStarted(10000) && line.serve(p, 600000) == 0;
    f.wallS = double(wall.nsecsElapsed()) / 1e9;
    if (line.inCycles.empty() || line.outCycles.empty()) return f;
    // from the request's first byte in, not from the program's start-up
    (void)started;
    f.simS = simSince(line, line.inCycles.front()) + double(line.uartByteCycles()) / kCpuHz;
    f.bytes = (line.bytesIn - in0) + (line.bytesOut - out0);
    f.busier = std::max(line.bytesIn - in0, line.bytesOut - out0);
    return f;
}

void latency(QTemporaryDir& dir, const QString& build, int baud, bool playing) {
    const StoreImages images = makeImages("random:6", dir);
    Board board(elfPath(build));
    SerialLine line(board);
    LinkHost host(line);
    host.step = kCpuHz / 1000000;
    if (!images.ok() || !board.loaded() || !line.ok()) return;
    load(board.bus, images);
    line.run(kCpuHz / 10);
    const auto* store = reinterpret_cast<const uint8_t*>(images.store->data());
    double worst = 0, sum = 0;
    const int n = 20;
    for (int i = 0; i < n; ++i) {
        // with playback running, the show lands anywhere in a tick's 60 ms
        if (playing && !host.play(0, 47, 60, DOTREEL_LINK_PLAY_REPEAT)) return;
        line.run(kCpuHz / 1000 * avr_cycle_count_t(1 + i * 7 % 60));
        line.inCycles.clear();
        line.outCycles.clear();
        line.record = true;
        const auto a = host.show(store + ptrdiff_t(i * 13 % 268) * 488);
        line.record = false;
        if (!a || line.inCycles.empty() || line.outCycles.empty()) {
            std::printf("live view at %d baud: no answer\n", baud);
            return;
        }
        // the request's last byte is in the UART a byte time after it was handed in, and the
        // answer's last byte on the wire a byte time after it was written to UDR0
        const double us = double(line.outCycles.back() - line.inCycles.back()) * 1e6 / kCpuHz;
        worst = std::max(worst, us);
        sum += us;
    }
    std::printf(
        "live view at %7d baud: show request's last byte in to its answer's last byte out: "
        "mean %.0f us, worst %.0f us of simulated time (%d shows, %s); the request itself takes "
        "%.1f ms on the wire\n",
        baud, sum / n, worst, n,
        playing ? "each during playback from the EEPROMs" : "one after another",
        wireS(495, baud) * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    const int baud = 115200;
    Figures ownUpload, ownVerify;
    for (const unsigned window : {1u, 2u}) {
        ownUpload = ownHost(false, dir, window);
        ownVerify = ownHost(true, dir, window);
        std::printf("the test's own host, %u request(s) in flight (ring overflows: %d, %d)\n",
                    window, ownUpload.overflows, ownVerify.overflows);
        print("  upload 131072 bytes", ownUpload, baud, 1024);
        print("  verify 131072 bytes", ownVerify, baud, 0);
    }
    // What the tool (two requests in flight) adds to the test's own host with two in flight,
    // which sends the next request the moment an answer is in.
    const auto added = [](const Figures& tool, const Figures& own) {
        std::printf(
            "  the tool's own time: %.2f s more than the test's own host, %.2f ms a request\n",
            tool.simS - own.simS, (tool.simS - own.simS) * 1000 / 1024);
    };

    if (toolHasDevice()) {
        const StoreImages images = makeImages("random:7", dir);
        Board board(elfPath("default"));
        SerialLine line(board);
        if (images.ok() && board.loaded() && line.ok()) {
            line.run(kCpuHz / 10);
            const QString file = dir.filePath("store.txt");
            const Figures upload = tool({"upload", "--no-verify"}, board, line, file);
            print("dotreel-tool device upload --no-verify", upload, baud, 1024);
            added(upload, ownUpload);
            const Figures verify = tool({"verify"}, board, line, file);
            print("dotreel-tool device verify", verify, baud, 0);
            added(verify, ownVerify);
            print("dotreel-tool device upload (with read-back)",
                  tool({"upload"}, board, line, file), baud, 1024);
        }
    } else {
        std::printf("dotreel-tool of this build has no device command: its figures are left out\n");
    }
    for (bool playing : {false, true}) {
        latency(dir, "default", 115200, playing);
        latency(dir, "fast", 1000000, playing);
    }
    return 0;
}

#else

int main() {
    std::puts("bench_avr_link: simavr or gcc-avr is not installed; nothing measured");
    return 0;
}

#endif
