// The host side of the serial link against the scripted player on a pseudo-terminal that paces
// every byte at the baud rate (10 bits a byte, 8N1) and takes a 24C512's write cycle for every
// page: the wall time of a full upload and of its read-back, one request in flight and two,
// against the wire time plus the write cycles that one request at a time cannot beat; and the live
// view's time from offer() to the frame taken whole by the device. Prints figures; asserts nothing.
//   bench_link [BAUD [WRITE_CYCLE_US]]     (115200 and 5000 unless given)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "link/liveview.h"
#include "link/session.h"
#include "link/transfer.h"
#include "linkdevice.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) try {
    const unsigned baud =
        argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 115200;
    const unsigned cycleUs =
        argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 5000;
    const unsigned bytesPerSecond = baud / 10;
    constexpr double kBlocks =
        static_cast<double>(DOTREEL_LINK_STORE_BYTES) / DOTREEL_LINK_BLOCK_BYTES;
    constexpr double kOverhead = DOTREEL_LINK_HEADER_BYTES + DOTREEL_LINK_CRC_BYTES;

    support::LinkDevice device;
    device.knobs.bytesPerSecond = bytesPerSecond;
    device.knobs.writeCycleUs = cycleUs;
    std::vector<uint8_t> store(DOTREEL_LINK_STORE_BYTES);
    for (size_t i = 0; i < store.size(); ++i) store[i] = static_cast<uint8_t>(i * 13 + (i >> 9));

    auto session = std::make_unique<dotreel::link::Session>(
        dotreel::link::SerialPort::open(device.slavePath(), baud));
    session->hello();
    std::printf("link at %u baud (%u bytes/s), write cycle %u us, %g blocks of %u bytes\n", baud,
                bytesPerSecond, cycleUs, kBlocks, DOTREEL_LINK_BLOCK_BYTES);

    // A write: request of 4 + 128 payload bytes, answer of 4; a read: request of 5, answer 4 + 128.
    const double writeWire =
        kBlocks * ((kOverhead + 4 + DOTREEL_LINK_BLOCK_BYTES) + (kOverhead + 4)) / bytesPerSecond +
        kBlocks * cycleUs / 1e6;
    const double readWire =
        kBlocks * ((kOverhead + 5) + (kOverhead + 4 + DOTREEL_LINK_BLOCK_BYTES)) / bytesPerSecond;

    // Stop and wait against two requests in flight.
    Clock::time_point start;
    for (const unsigned window : {1u, dotreel::link::kBlockWindow}) {
        const uint64_t retriesBefore = session->counters().retries;
        start = Clock::now();
        dotreel::link::uploadStore(*session, store.data(), {}, nullptr, window);
        const double writeWall = secondsSince(start);
        start = Clock::now();
        const auto difference =
            dotreel::link::verifyStore(*session, store.data(), {}, nullptr, window);
        const double readWall = secondsSince(start);
        std::printf("%u request(s) in flight:\n", window);
        std::printf("  upload   wall %7.2f s  wire+cycles %7.2f s  ratio %.3f\n", writeWall,
                    writeWire, writeWall / writeWire);
        std::printf("  verify   wall %7.2f s  wire        %7.2f s  ratio %.3f  (%s)\n", readWall,
                    readWire, readWall / readWire, difference ? "DIFFERS" : "equal");
        std::printf("  together wall %7.2f s  wire+cycles %7.2f s  ratio %.3f; retries %llu\n",
                    writeWall + readWall, writeWire + readWire,
                    (writeWall + readWall) / (writeWire + readWire),
                    static_cast<unsigned long long>(session->counters().retries - retriesBefore));
    }

    session.reset();  // the port is the live view's now

    // The live view: offer() to the device holding the frame, one frame at a time.
    {
        dotreel::link::LiveView view;
        std::string error;
        if (!view.connect(device.slavePath(), baud, error)) {
            std::printf("live view: %s\n", error.c_str());
            return 1;
        }
        constexpr int kFrames = 20;
        double total = 0, worst = 0;
        dotreel::link::PanelFrame frame{};
        for (int i = 0; i < kFrames; ++i) {
            frame[0] = static_cast<uint8_t>(i + 1);
            const size_t before = device.shown().size();
            start = Clock::now();
            view.offer(frame);
            device.waitUntil([&] { return device.shown().size() > before; }, 5000);
            const double ms = secondsSince(start) * 1000;
            total += ms;
            worst = std::max(worst, ms);
        }
        const double wireMs = (kOverhead + DOTREEL_LINK_FRAME_BYTES) * 1000.0 / bytesPerSecond;
        std::printf(
            "live view: offer() to the frame taken whole, mean %.1f ms, worst %.1f ms "
            "(its bytes on the wire alone: %.1f ms)\n",
            total / kFrames, worst, wireMs);
    }
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "bench_link: %s\n", e.what());
    return 1;
}
