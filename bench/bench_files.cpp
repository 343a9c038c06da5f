// How long the frame files take: reading and decoding a whole file as a load does, formatting
// a save, and writing it with and without flushing to disk. Prints medians; asserts nothing.
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

    // Kept across runs, as a handler keeps its buffer for the whole read.
    std::vector<std::string> lines(dotreel::kStoreBytes);
    auto target = std::make_unique<dotreel::FrameMemory>();
    unsigned checksum = 0;

    const double whole = medianMs(runs, [&] {
        dotreel::FileTable files;
        const int16_t no = files.freeFile();
        files.openForInput(no, path);
        for (auto& line : lines) files.lineInput(no, line);
        files.close(no);
        dotreel::decodeFrameLines(lines, *target);
        checksum += (*target)[12345];
    });
    const double openOnly = medianMs(runs, [&] {
        dotreel::FileTable files;
        files.openForInput(1, path);
        files.close(1);
    });
    const double linesOnly = medianMs(runs,
                                      [&] {
                                          dotreel::FileTable files;
                                          files.openForInput(1, path);
                                          for (auto& line : lines) files.lineInput(1, line);
                                          files.close(1);
                                      }) -
                             openOnly;
    const double decodeOnly = medianMs(runs, [&] {
        dotreel::decodeFrameLines(lines, *target);
        checksum += (*target)[777];
    });
    // A fresh buffer each time, as a load into a new vector would allocate one.
    const double freshBuffer = medianMs(runs, [&] {
        std::vector<std::string> fresh(dotreel::kStoreBytes);
        dotreel::FileTable files;
        files.openForInput(1, path);
        for (auto& line : fresh) files.lineInput(1, line);
        files.close(1);
        dotreel::decodeFrameLines(fresh, *target);
        checksum += (*target)[99];
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

    std::printf("frame file: %zu lines, %zu bytes\n", lines.size(), content.size());
    report("read + decode (open, 131072 lineInput, decodeFrameLines)", runs, whole);
    report("  of which open (whole file into memory)", runs, openOnly);
    report("  of which 131072 lineInput", runs, linesOnly);
    report("  decodeFrameLines alone", runs, decodeOnly);
    report("read + decode into a freshly allocated line buffer", runs, freshBuffer);
    report("formatFrameFile (save text)", runs, format);
    report("writeFileAtomically without flush", runs, writeNoFlush);
    report("writeFileAtomically with fsync", flushRuns, writeFlush);
    std::printf("(checksum %u)\n", checksum);

    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
