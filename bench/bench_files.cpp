// How long the frame files take: reading and decoding a whole file as a load does (beside the
// floor of a plain decode), checking it, formatting a save, and writing it with and without
// flushing to disk. Prints medians; asserts nothing.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/frame.h"
#include "files/framefile.h"
#include "files/hexcodec.h"
#include "platform/textfile.h"

namespace {

using Clock = std::chrono::steady_clock;

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    times.reserve(static_cast<size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char* what, int runs, double ms) {
    std::printf("%-58s %9.3f ms  (median of %d)\n", what, ms, runs);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;

    std::string folder = (std::filesystem::temp_directory_path() / "bench_files.XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    folder += "/";
    const std::string path = folder + "FirstData.txt";

    auto memory = std::make_unique<dotreel::FrameMemory>();
    for (size_t k = 0; k < memory->size(); ++k)
        (*memory)[k] = static_cast<uint8_t>((k * 131 + k / 488) & 0xFF);
    const std::string content = dotreel::formatFrameFile(*memory);
    dotreel::writeFileAtomically(path, content, false);

    auto bytes = std::make_unique<dotreel::FrameBytes>();
    auto target = std::make_unique<dotreel::FrameMemory>();
    unsigned checksum = 0;

    // The floor: decoding 131072 lines that are known to be "HH\r\n", with no line rule at all.
    const double floor = medianMs(runs, [&] {
        const char* c = content.data();
        for (size_t k = 0; k < bytes->size(); ++k)
            (*bytes)[k] = static_cast<uint8_t>(dotreel::hexDigitValue(c[4 * k]) * 16 +
                                               dotreel::hexDigitValue(c[4 * k + 1]));
        checksum += (*bytes)[4321];
    });
    // The reader on the same buffer: every line end, odd lines and the short-file check.
    const double readDecode = medianMs(runs, [&] {
        dotreel::FrameFileReader reader(content, path, *bytes);
        reader.readLines();
        checksum += (*bytes)[12345];
    });
    const double openOnly = medianMs(runs, [&] {
        dotreel::FileTable files;
        files.openForInput(1, path);
        files.close(1);
    });
    // What a load does: the file into memory, read and decoded, stored in the frame memory.
    const double whole = medianMs(runs, [&] {
        dotreel::FileTable files;
        files.openForInput(1, path);
        dotreel::FrameFileReader reader(files.contents(1), path, *bytes);
        reader.readLines();
        files.close(1);
        dotreel::storeFrameBytes(*bytes, *target);
        checksum += (*target)[777];
    });
    // What `check` does: the same pass, counting line ends and listing odd lines.
    const double inspect = medianMs(runs, [&] {
        const dotreel::FrameFileFindings found = dotreel::inspectFrameFile(content, *bytes);
        checksum += static_cast<unsigned>(found.lineCount);
    });
    const double format = medianMs(runs, [&] {
        const std::string text = dotreel::formatFrameFile(*memory);
        checksum += static_cast<unsigned char>(text[400]);
    });
    const double writeNoFlush =
        medianMs(runs, [&] { dotreel::writeFileAtomically(path, content, false); });
    const int flushRuns = std::max(1, runs / 3);
    const double writeFlush =
        medianMs(flushRuns, [&] { dotreel::writeFileAtomically(path, content, true); });

    std::printf("frame file: %d lines, %zu bytes\n", dotreel::kStoreBytes, content.size());
    std::printf("read+decode %.3f ms, floor %.3f ms, ratio %.2f\n", readDecode, floor,
                readDecode / floor);
    report("FrameFileReader on the file's buffer (read+decode)", runs, readDecode);
    report("  floor: fixed 4-byte lines decoded, no line rule", runs, floor);
    report("open (whole file into memory)", runs, openOnly);
    report("load: open, read+decode, store into the frame memory", runs, whole);
    report("inspectFrameFile (check's pass)", runs, inspect);
    report("formatFrameFile (save text)", runs, format);
    report("writeFileAtomically without flush", runs, writeNoFlush);
    report("writeFileAtomically with fsync", flushRuns, writeFlush);
    std::printf("(checksum %u)\n", checksum);

    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
