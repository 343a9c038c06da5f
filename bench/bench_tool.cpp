// dotreel-tool's exports of the whole store, each timed end to end as the command runs them
// (read the frame file, encode, write the output safely), and the encoders alone. Prints
// figures; asserts nothing.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "files/hexcodec.h"
#include "tool/cheader.h"
#include "tool/commands.h"
#include "tool/eeprom.h"
#include "tool/gifexport.h"
#include "tool/store.h"

namespace {

// The median of several runs, in milliseconds.
double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string input = folder + "/FirstData.txt";

    // Every frame busy, so no encoder gets an easy ride.
    dotreel::FrameMemory store{};
    for (size_t k = 0; k < static_cast<size_t>(dotreel::kStoreBytes); ++k)
        store[k] = static_cast<uint8_t>((k * 131 + k / 488 * 17) & 0xFF);
    std::ofstream(input, std::ios::binary) << dotreel::formatFrameFile(store);

    const int runs = 9;
    auto command = [&](std::vector<std::string> args) {
        return [args] {
            std::ostringstream out, err;
            if (dotreel::tool::runTool(args, out, err) != 0)
                std::fprintf(stderr, "%s", err.str().c_str());
        };
    };
    std::printf("median of %d runs, whole store of 268 frames\n", runs);
    std::printf("  load frame file alone          %8.2f ms\n",
                medianMs(runs, [&] { (void)dotreel::tool::loadStore(input); }));
    for (const char* format : {"bin", "ihex", "c"}) {
        const std::string out = folder + "/out." + format;
        std::vector<std::string> args{"export", input, "--format", format, "--force", "-o", out};
        if (std::string(format) == "c") {
            args.push_back("--frames");
            args.push_back("0..267");
        }
        std::printf("  export --format %-4s (command) %8.2f ms\n", format,
                    medianMs(runs, command(args)));
    }
    std::printf("  export --format gif  (command) %8.2f ms\n",
                medianMs(runs, command({"export", input, "--format", "gif", "--frames", "0..267",
                                        "--interval", "60", "--force", "-o", folder + "/a.gif"})));

    const std::string bytes = dotreel::tool::storeBytes(store, 0, dotreel::kStoreBytes);
    std::printf("  Intel HEX encoding alone       %8.2f ms\n",
                medianMs(runs, [&] { (void)dotreel::tool::formatIntelHex(bytes); }));
    std::printf("  C header encoding alone        %8.2f ms\n", medianMs(runs, [&] {
                    (void)dotreel::tool::formatCHeader(store, {0, 267}, "frames", "x");
                }));
    std::vector<int> all(268);
    for (int f = 0; f < 268; ++f) all[static_cast<size_t>(f)] = f;
    std::printf("  GIF encoding alone, 268 frames %8.2f ms\n", medianMs(3, [&] {
                    (void)dotreel::tool::encodeGif(store, all, dotreel::tool::LcdLook{}, 60, true);
                }));
    return 0;
}
