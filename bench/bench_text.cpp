// Text into frames: a 268-frame marquee in ja16 written by dotreel-tool, the whole process,
// against dotreel-tool import of the same 268 frames as pictures; and the parts in-process
// (opening the font, the layout, drawing 268 frames). Prints figures; asserts nothing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/frame.h"
#include "text/font.h"
#include "text/layout.h"

namespace {

struct Times {
    double wall;
    double cpu;
};

// Runs a program to its end with both streams dropped; its processor time (user + system).
double spawnAndWait(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    double cpu = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return cpu;
}

// Medians of `runs` runs, in milliseconds; `work` gives its processor time (or 0).
Times median(int runs, const std::function<double()>& work) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        cpu.push_back(work());
        const auto end = std::chrono::steady_clock::now();
        wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

const char kText[] = "こんにちは Dotreel ﾄﾞｯﾄﾘｰﾙ 漢字";

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string tool = DOTREEL_TOOL_PATH;
    const std::string marquee = folder + "/marquee.txt";
    const std::string imported = folder + "/imported.txt";
    const std::vector<std::string> textCommand{tool,   "text",     kText,    "--into",  marquee,
                                               "--at", "0",        "--font", "ja16",    "--scroll",
                                               "left", "--frames", "268",    "--create"};
    spawnAndWait(textCommand);
    // The same 268 frames as pictures, one PNG each, for import to read.
    spawnAndWait({tool, "export", marquee, "--format", "png", "--frames", "0..267", "--scale", "1",
                  "-o", folder + "/p.png"});
    std::vector<std::string> importCommand{tool, "import"};
    for (int f = 0; f < dotreel::kFrameCount; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "/p-%03d.png", f);
        importCommand.push_back(folder + name);
    }
    importCommand.insert(importCommand.end(), {"--into", imported, "--at", "0", "--create"});

    const int runs = 21;
    std::printf("whole processes, median of %d runs, ms wall and cpu (user + system)\n", runs);
    const Times t = median(runs, [&] { return spawnAndWait(textCommand); });
    std::printf("  %-52s %7.2f %7.2f\n", "text, 268-frame marquee in ja16 (the aim: < 100 wall)",
                t.wall, t.cpu);
    const Times i = median(runs, [&] { return spawnAndWait(importCommand); });
    std::printf("  %-52s %7.2f %7.2f\n", "import of the same 268 frames as PNG pictures", i.wall,
                i.cpu);
    std::printf("  %-52s %7.2f\n", "text / import, wall", t.wall / i.wall);

    std::printf("\nin-process, median of %d runs, ms\n", runs);
    for (const char* name : {"ja12", "ja16", "5x7"}) {
        const Times open = median(runs, [&] {
            auto font = dotreel::text::Font::open(name);
            return 0.0;
        });
        std::printf("  open %-47s %7.3f\n", name, open.wall);
    }
    auto font = dotreel::text::Font::open("ja16");
    const std::u32string text = dotreel::text::decodeUtf8(kText);
    dotreel::text::layOut(*font, text);  // the glyphs cached, as after the first layout
    const Times layout = median(runs, [&] {
        dotreel::text::layOut(*font, text);
        return 0.0;
    });
    std::printf("  %-52s %7.3f\n", "layout of the text, glyphs cached", layout.wall);
    const auto block = dotreel::text::layOut(*font, text);
    const dotreel::text::Marquee m{dotreel::text::Direction::Left, 1, 8};
    std::vector<std::array<uint8_t, dotreel::kFrameBytes>> frames(dotreel::kFrameCount);
    const Times draw = median(runs, [&] {
        const int pass = dotreel::text::passLength(block, m);
        for (int k = 0; k < dotreel::kFrameCount; ++k) {
            const auto [x, y] = dotreel::text::marqueePen(block, m, k % pass);
            dotreel::text::stamp(block, x, y, {}, frames[static_cast<size_t>(k)]);
        }
        return 0.0;
    });
    std::printf("  %-52s %7.3f\n", "268 marquee frames drawn", draw.wall);
    return 0;
}
