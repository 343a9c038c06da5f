// dotreel-tool's exports of the whole store, each timed end to end as the command runs them
// (read the frame file, encode, write the output safely), and the encoders alone; then the real
// programs as whole processes on the demo animation, side by side with common tools doing the
// same job (xxd, objcopy, gifsicle, when installed), and the GIF sizes against gifsicle -O3.
// Prints figures; asserts nothing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
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

// Processor time (user + system) of the last program run by spawnAndWait, in milliseconds: on
// a machine shared with other work the wall-clock time mostly measures the waiting.
double lastCpuMs = 0;

// Runs a program to its end, standard output to `stdoutPath` (or /dev/null), errors dropped.
void spawnAndWait(const std::vector<std::string>& argv,
                  const std::string& stdoutPath = "/dev/null") {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        lastCpuMs = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    }
    posix_spawn_file_actions_destroy(&actions);
}

bool installed(const std::string& program) {
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
        if (access((dir + program).c_str(), X_OK) == 0) return true;
    return false;
}

long long fileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// The median wall-clock and processor times of `runs` runs of a program, in milliseconds.
struct Times {
    double wall;
    double cpu;
};
Times processTimes(int runs, const std::function<void()>& run) {
    std::vector<double> cpu;
    const double wall = medianMs(runs, [&] {
        run();
        cpu.push_back(lastCpuMs);
    });
    std::sort(cpu.begin(), cpu.end());
    return {wall, cpu[cpu.size() / 2]};
}

// One row: our whole process against the reference's, medians of `runs`.
void sideBySide(const char* what, int runs, const std::function<void()>& ours,
                const std::string& reference, const std::function<void()>& theirs) {
    const Times a = processTimes(runs, ours);
    std::printf("  %-30s %7.2f %7.2f", what, a.wall, a.cpu);
    if (!installed(reference)) {
        std::printf("   (%s not installed)\n", reference.c_str());
        return;
    }
    const Times b = processTimes(runs, theirs);
    std::printf("   %-8s %7.2f %7.2f   %5.2f %5.2f\n", reference.c_str(), b.wall, b.cpu,
                a.wall / b.wall, a.cpu / b.cpu);
}

void wholeProcesses(const std::string& folder) {
    const std::string tool = DOTREEL_TOOL_PATH;
    spawnAndWait({DOTREEL_MAKE_DEMO, "--keep-existing", folder});
    const std::string demo = folder + "/データー/FirstData.txt";
    const std::string out = folder + "/proc";
    mkdir(out.c_str(), 0755);
    const std::string bin = out + "/store.bin";
    spawnAndWait({tool, "export", demo, "--format", "bin", "--force", "-o", bin});
    const int runs = 21;
    std::printf(
        "\nwhole processes on the demo animation, median of %d runs, ms wall and cpu "
        "(user + system)\n",
        runs);
    std::printf("  %-30s %7s %7s   %-8s %7s %7s   %5s %5s\n", "dotreel-tool", "wall", "cpu", "ref.",
                "wall", "cpu", "x wall", "x cpu");
    sideBySide(
        "--help (start-up alone)", runs,
        [&] {
            spawnAndWait({tool, "--help"});
        },
        "xxd",
        [&] {
            spawnAndWait({"xxd", "-v"});
        });
    const auto xxdRevert = [&] { spawnAndWait({"xxd", "-r", "-p", demo, out + "/x.bin"}); };
    sideBySide(
        "export bin, whole store", runs,
        [&] {
            spawnAndWait(
                {tool, "export", demo, "--format", "bin", "--force", "-o", out + "/a.bin"});
        },
        "xxd", xxdRevert);
    sideBySide(
        "export ihex", runs,
        [&] {
            spawnAndWait(
                {tool, "export", demo, "--format", "ihex", "--force", "-o", out + "/a.hex"});
        },
        "objcopy",
        [&] {
            spawnAndWait({"objcopy", "-I", "binary", "-O", "ihex", bin, out + "/o.hex"});
        });
    sideBySide(
        "export c, frames 0..267", runs,
        [&] {
            spawnAndWait({tool, "export", demo, "--format", "c", "--frames", "0..267", "--force",
                          "-o", out + "/a.h"});
        },
        "xxd",
        [&] {
            spawnAndWait({"xxd", "-i", bin}, out + "/x.h");
        });
    // The display libraries' layouts against the store's own: the same frames, re-ordered bits.
    {
        const auto cExport = [&](const std::vector<std::string>& layout) {
            return processTimes(runs, [&] {
                std::vector<std::string> args{tool, "export",    demo,     "--format",
                                              "c",  "--frames",  "0..267", "--force",
                                              "-o", out + "/l.h"};
                args.insert(args.end(), layout.begin(), layout.end());
                spawnAndWait(args);
            });
        };
        const Times store = cExport({});
        for (const char* layout : {"u8g2", "xbm", "gfx"}) {
            const Times t = cExport({"--layout", layout});
            std::printf("  %-30s %7.2f %7.2f   %-8s %7.2f %7.2f   %5.2f %5.2f\n",
                        (std::string("export c --layout ") + layout).c_str(), t.wall, t.cpu,
                        "c store", store.wall, store.cpu, t.wall / store.wall, t.cpu / store.cpu);
        }
        const Times xbm = processTimes(runs, [&] {
            spawnAndWait({tool, "export", demo, "--format", "xbm", "--frames", "0..267", "--sheet",
                          "--force", "-o", out + "/s.xbm"});
        });
        std::printf("  %-30s %7.2f %7.2f\n", "export xbm, sheet of 268", xbm.wall, xbm.cpu);
    }
    sideBySide(
        "info", runs,
        [&] {
            spawnAndWait({tool, "info", demo});
        },
        "xxd", xxdRevert);
    sideBySide(
        "check", runs,
        [&] {
            spawnAndWait({tool, "check", demo});
        },
        "xxd", xxdRevert);
    const Times png = processTimes(5, [&] {
        spawnAndWait({tool, "export", demo, "--format", "png", "--frames", "0..267", "--force",
                      "-o", out + "/p.png"});
    });
    std::printf("  %-30s %7.2f %7.2f\n", "export png, 268 numbered files", png.wall, png.cpu);

    // GIF sizes: the demo, and frames of random dots (every frame changes everywhere).
    std::ofstream(out + "/random.txt", std::ios::binary) << [] {
        dotreel::FrameMemory random{};
        unsigned state = 12345;
        for (auto& b : random) {
            state = state * 1103515245U + 12345U;
            b = static_cast<uint8_t>(state >> 16);
        }
        return dotreel::formatFrameFile(random);
    }();
    std::printf("\nGIF size, frames 0..267, against gifsicle -O3 of the same GIF\n");
    for (const std::string name : {"demo", "random"}) {
        const std::string input = name == "demo" ? demo : out + "/random.txt";
        const std::string gif = out + "/" + name + ".gif";
        const double ms = medianMs(3, [&] {
            spawnAndWait({tool, "export", input, "--format", "gif", "--frames", "0..267",
                          "--interval", "60", "--force", "-o", gif});
        });
        const long long ours = fileSize(gif);
        if (!installed("gifsicle")) {
            std::printf("  %-8s %9lld bytes in %7.1f ms  (gifsicle not installed)\n", name.c_str(),
                        ours, ms);
            continue;
        }
        spawnAndWait({"gifsicle", "-O3", gif, "-o", gif + ".O3.gif"});
        const long long theirs = fileSize(gif + ".O3.gif");
        std::printf("  %-8s %9lld bytes in %7.1f ms   gifsicle -O3 %9lld bytes   ratio %5.3f\n",
                    name.c_str(), ours, ms, theirs,
                    static_cast<double>(ours) / static_cast<double>(theirs));
    }
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
    wholeProcesses(folder);
    return 0;
}
